#include "support/config.h"
#include "platform/system/console.h"

#include <locale.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "support/path_text.h"

namespace {

// atoi in the C locale, saturated to the int range instead of overflowing.
int ParseInt(const std::string& value)
{
    const char* p = value.c_str();
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) {
        ++p;
    }
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    std::int64_t magnitude = 0;
    const std::int64_t limit = negative ? -static_cast<std::int64_t>(INT_MIN) : INT_MAX;
    for (; *p >= '0' && *p <= '9'; ++p) {
        magnitude = magnitude * 10 + (*p - '0');
        if (magnitude >= limit) {
            magnitude = limit;
        }
    }
    return static_cast<int>(negative ? -magnitude : magnitude);
}

// atof in the C locale: a decimal point is a full stop whatever the user's
// locale says.
double ParseDouble(const std::string& value)
{
    static locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return cLocale == static_cast<locale_t>(0) ? std::strtod(value.c_str(), nullptr)
                                               : strtod_l(value.c_str(), nullptr, cLocale);
}

// An optional sign and one digit or more, nothing else.
bool IsIntText(const std::string& value)
{
    std::size_t i = 0;
    if (i < value.size() && (value[i] == '+' || value[i] == '-')) {
        ++i;
    }
    if (i == value.size()) {
        return false;
    }
    for (; i < value.size(); ++i) {
        if (value[i] < '0' || value[i] > '9') {
            return false;
        }
    }
    return true;
}

// A decimal number as the text format writes it: an optional sign, digits
// with an optional full stop (at least one digit on either side of it), and
// an optional exponent. strtod takes more (blanks before, nan, inf, hex),
// none of which a file writes as a number.
bool IsDecimalText(const std::string& value)
{
    std::size_t i = 0;
    const std::size_t n = value.size();
    auto digits = [&] {
        const std::size_t start = i;
        while (i < n && value[i] >= '0' && value[i] <= '9') {
            ++i;
        }
        return i - start;
    };
    if (i < n && (value[i] == '+' || value[i] == '-')) {
        ++i;
    }
    std::size_t mantissa = digits();
    if (i < n && value[i] == '.') {
        ++i;
        mantissa += digits();
    }
    if (mantissa == 0) {
        return false;
    }
    if (i < n && (value[i] == 'e' || value[i] == 'E')) {
        ++i;
        if (i < n && (value[i] == '+' || value[i] == '-')) {
            ++i;
        }
        if (digits() == 0) {
            return false;
        }
    }
    return i == n;
}

std::string FloatText(float value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(value));
    return text;
}

}  // namespace

bool IsIdentifierChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

bool IsSpace(char c)
{
    return c == ' ' || c == '\n' || c == '\t' || c == '\r';
}

std::string UnquoteString(const std::string& quoted)
{
    std::string result;
    for (std::size_t i = 1; i < quoted.size() && quoted[i] != '"'; ++i) {
        result += quoted[i];
    }
    return result;
}

config::config(const std::string& minified) : pos(0), length(0), cur(0)
{
    text = minified;
    // Longer texts are not read: the cursor is an int.
    length = text.size() > static_cast<std::size_t>(INT_MAX - 1) ? INT_MAX - 1 : static_cast<int>(text.size());
    Restart();
}

config::~config() = default;

void config::Restart()
{
    pos = 1;
    cur = length > 0 ? text[0] : 0;
    section.clear();
    name.clear();
    typeName.clear();
    value.clear();
}

void config::Advance()
{
    if (UsedUp()) {
        return;
    }
    cur = pos < length ? text[static_cast<std::size_t>(pos)] : 0;
    ++pos;
}

void config::SkipSpace()
{
    while (!UsedUp() && IsSpace(cur)) {
        Advance();
    }
}

bool config::NextSection()
{
    section.clear();
    name.clear();
    typeName.clear();
    value.clear();
    while (!UsedUp() && cur != '[') {
        Advance();
    }
    if (!UsedUp()) {
        Advance();
    }
    if (UsedUp()) {
        return false;
    }
    while (!UsedUp() && cur != ']') {
        section += cur;
        Advance();
    }
    if (!UsedUp() && cur == ']') {
        return true;
    }
    ConsoleWrite("config warning: [ is not closed and reached end of file\n");
    return false;
}

bool config::NextParameter()
{
    name.clear();
    typeName.clear();
    value.clear();
    while (!UsedUp() && cur != '[' && !IsIdentifierChar(cur)) {
        Advance();
    }
    if (UsedUp() || cur == '[') {
        return false;
    }
    while (!UsedUp() && IsIdentifierChar(cur)) {
        typeName += cur;
        Advance();
    }
    SkipSpace();
    if (UsedUp()) {
        ConsoleWrite(std::string("config warning: unexpected end of file near ") + typeName + " in [" + section +
                     "]\n");
        return false;
    }
    if (IsIdentifierChar(cur)) {
        while (!UsedUp() && IsIdentifierChar(cur)) {
            name += cur;
            Advance();
        }
        SkipSpace();
        if (UsedUp()) {
            ConsoleWrite(std::string("config warning: unexpected end of file near ") + typeName + " " + name + " in [" +
                         section + "]\n");
            return false;
        }
    } else {
        ConsoleWrite(std::string("config warning: you forgot typename or parameter name for ") + typeName + " in [" +
                     section + "]\n");
        name = std::move(typeName);
        typeName.clear();
    }
    if (cur == '=') {
        Advance();
        return true;
    }
    ConsoleWrite(std::string("config warning: unexpected char ") + cur + " after " + typeName + " " + name + " in [" +
                 section + "]\n");
    while (!UsedUp() && cur != ';' && cur != '[') {
        Advance();
    }
    return false;
}

// The text ended where a value, or the ";" of the list, was expected.
void config::WarnEndOfFileAfter() const
{
    ConsoleWrite(std::string("config warning: unexpected end of file after ") + typeName + " " + name + " in [" +
                 section + "]\n");
}

bool config::NextValue()
{
    value.clear();
    if (cur == ';' || cur == '[') {
        return false;
    }
    SkipSpace();
    if (UsedUp()) {
        WarnEndOfFileAfter();
        return false;
    }
    if (cur == ';' || cur == '[') {
        return false;
    }
    if (cur == '"') {
        value += cur;
        Advance();
        while (!UsedUp() && cur != '"') {
            value += cur;
            Advance();
        }
        if (!UsedUp()) {
            value += cur;
            Advance();
            return true;
        }
        WarnEndOfFileAfter();
        return true;
    }
    while (!UsedUp() && !IsSpace(cur) && cur != ';' && cur != '[') {
        value += cur;
        Advance();
    }
    if (UsedUp()) {
        WarnEndOfFileAfter();
    }
    return true;
}

int config::GetInt() const
{
    return ParseInt(value);
}

float config::GetFloat() const
{
    return static_cast<float>(ParseDouble(value));
}

bool config::GetBool() const
{
    if (value == "true") {
        return true;
    }
    if (value == "false") {
        return false;
    }
    return ParseInt(value) != 0;
}

std::string config::GetString() const
{
    return UnquoteString(value);
}

bool config::IsInt() const
{
    return IsIntText(value);
}

bool config::IsFloat() const
{
    // A number beyond the float range would reach the shaders as infinity.
    return IsDecimalText(value) && std::isfinite(GetFloat());
}

bool config::IsBool() const
{
    return value == "true" || value == "false" || IsIntText(value);
}

bool config::IsQuoted() const
{
    return !value.empty() && value[0] == '"';
}

void config::WarnUnreadable(const char* expected, const std::string& used) const
{
    ConsoleWrite(std::string("config warning: ") + name + " " + PathForMessage(value) + " in [" + section +
                 "] is not " + expected + ", using " + used + "\n");
}

int config::IntOr(int fallback) const
{
    if (IsInt()) {
        return GetInt();
    }
    WarnUnreadable("a whole number", std::to_string(fallback));
    return fallback;
}

float config::FloatOr(float fallback) const
{
    if (IsFloat()) {
        return GetFloat();
    }
    WarnUnreadable(IsDecimalText(value) ? "within the range of a float" : "a number", FloatText(fallback));
    return fallback;
}

bool config::BoolOr(bool fallback) const
{
    if (IsBool()) {
        return GetBool();
    }
    WarnUnreadable("true or false", fallback ? "true" : "false");
    return fallback;
}

std::string config::StringOr(const std::string& fallback) const
{
    if (IsQuoted()) {
        return GetString();
    }
    WarnUnreadable("in double quotes", "\"" + PathForMessage(fallback) + "\"");
    return fallback;
}
