#include "platform/system/console.h"
#include "support/config.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "support/minify.h"

namespace {

struct Parameter {
    std::string section;
    std::string typeName;
    std::string name;
    std::vector<std::string> values;
};

// The calling pattern of every reader: sections, parameters, all values.
std::vector<Parameter> ReadAll(const std::string& text, std::string* warnings = nullptr)
{
    ConsoleCapture capture;
    std::vector<Parameter> result;
    config c(text);
    while (c.NextSection()) {
        while (c.NextParameter()) {
            Parameter p{c.GetSection(), c.GetTypeName(), c.GetName(), {}};
            while (c.NextValue()) {
                p.values.push_back(c.GetValue());
            }
            result.push_back(p);
        }
    }
    if (warnings != nullptr) {
        *warnings = capture.Text();
    }
    return result;
}

TEST(Config, EmptyTextHasNoSection)
{
    ConsoleCapture capture;
    config c("");
    EXPECT_FALSE(c.NextSection());
    EXPECT_EQ(capture.Text(), "");
}

TEST(Config, SectionHeaders)
{
    struct Case {
        const char* text;
        bool found;
        const char* section;
        const char* warning;
    };
    const Case cases[] = {
        {"[editor]", true, "editor", ""},
        {"[editor", false, "editor", "config warning: [ is not closed and reached end of file\n"},
        {"[]", true, "", ""},
        {"[a b]", true, "a b", ""},
        {"junk[s]", true, "s", ""},
        {"[", false, "", ""},
        {"abc", false, "", ""},
    };
    for (const Case& k : cases) {
        ConsoleCapture capture;
        config c(k.text);
        EXPECT_EQ(c.NextSection(), k.found) << k.text;
        EXPECT_EQ(c.GetSection(), k.section) << k.text;
        EXPECT_EQ(capture.Text(), k.warning) << k.text;
    }
}

TEST(Config, ParametersAndValues)
{
    std::string warnings;
    auto params = ReadAll("x=1;[s]float a=;float b=2;", &warnings);
    ASSERT_EQ(params.size(), 2u);
    EXPECT_EQ(params[0].name, "a");
    EXPECT_TRUE(params[0].values.empty());
    EXPECT_EQ(params[1].typeName, "float");
    EXPECT_EQ(params[1].name, "b");
    EXPECT_EQ(params[1].values, std::vector<std::string>{"2"});
    EXPECT_EQ(warnings, "");

    params = ReadAll("[s]float a=1[t]float b=2;", &warnings);
    ASSERT_EQ(params.size(), 2u);
    EXPECT_EQ(params[0].section, "s");
    EXPECT_EQ(params[0].values, std::vector<std::string>{"1"});
    EXPECT_EQ(params[1].section, "t");
    EXPECT_EQ(params[1].values, std::vector<std::string>{"2"});
    EXPECT_EQ(warnings, "");

    params = ReadAll("[s]float3 v=1 2,5 \"q r\"\"z\";", &warnings);
    ASSERT_EQ(params.size(), 1u);
    EXPECT_EQ(params[0].values, (std::vector<std::string>{"1", "2,5", "\"q r\"", "\"z\""}));
    EXPECT_EQ(warnings, "");
}

TEST(Config, Warnings)
{
    struct Case {
        const char* text;
        const char* warnings;
        std::size_t parameters;  // read by the full reading pattern
    };
    const Case cases[] = {
        {"[s]a=1;", "config warning: you forgot typename or parameter name for a in [s]\n", 1},
        {"[s]float a b=1;float c=2;", "config warning: unexpected char b after float a in [s]\n", 0},
        {"[s]float a.b=1;", "config warning: unexpected char . after float a in [s]\n", 0},
        {"[s]float a;", "config warning: unexpected char ; after float a in [s]\n", 0},
        {"[s]float", "config warning: unexpected end of file near float in [s]\n", 0},
        {"[s]float a", "config warning: unexpected end of file near float a in [s]\n", 0},
        {"[s]float a=12",
         "config warning: unexpected end of file after float a in [s]\n"
         "config warning: unexpected end of file after float a in [s]\n",
         1},
        {"[s]float a=\"x\"", "config warning: unexpected end of file after float a in [s]\n", 1},
        {"[s]float a=\"x",
         "config warning: unexpected end of file after float a in [s]\n"
         "config warning: unexpected end of file after float a in [s]\n",
         1},
        {"[s]float a=1;\n#x y\nfloat b=2;float c=3;", "config warning: unexpected char f after x y in [s]\n", 1},
        // The error skip does not know quotes: the "[" inside opens a section.
        {"[s]float a b=\"[t]\";int c=1;", "config warning: unexpected char b after float a in [s]\n", 1},
    };
    for (const Case& k : cases) {
        std::string warnings;
        auto params = ReadAll(k.text, &warnings);
        EXPECT_EQ(warnings, k.warnings) << k.text;
        EXPECT_EQ(params.size(), k.parameters) << k.text;
    }
}

TEST(Config, OneWordHeaderKeepsItsValue)
{
    auto params = ReadAll("[s]a=1;");
    ASSERT_EQ(params.size(), 1u);
    EXPECT_EQ(params[0].name, "a");
    EXPECT_EQ(params[0].typeName, "");
    EXPECT_EQ(params[0].values, std::vector<std::string>{"1"});
}

TEST(Config, ReaderOfFewerValuesLosesTheSection)
{
    ConsoleCapture capture;
    config c("[s]float a=1 2;float b=3;");
    ASSERT_TRUE(c.NextSection());
    ASSERT_TRUE(c.NextParameter());
    ASSERT_TRUE(c.NextValue());
    EXPECT_EQ(c.GetInt(), 1);
    EXPECT_FALSE(c.NextParameter());
    EXPECT_EQ(capture.Text(), "config warning: you forgot typename or parameter name for 2 in [s]\n"
                              "config warning: unexpected char ; after  2 in [s]\n");
    EXPECT_EQ(c.cur, ';');
}

TEST(Config, QuoteEndsAtFirstQuoteBackslashNoEscape)
{
    auto params = ReadAll("[s]string f=\"d\\\"e\";");
    ASSERT_EQ(params.size(), 1u);
    ASSERT_EQ(params[0].values, (std::vector<std::string>{"\"d\\\"", "e\""}));
    EXPECT_EQ(UnquoteString(params[0].values[0]), "d\\");
}

TEST(Config, UnquoteString)
{
    struct Case {
        std::string in;
        std::string out;
    };
    const Case cases[] = {
        {"\"shader.hlsl\"", "shader.hlsl"},
        {"abc", "bc"},
        {"\"cut off", "cut off"},
        {"\"dir\\new.hlsl\"", "dir\\new.hlsl"},
        {"\"a\"b", "a"},
        {"\"", ""},
        {"", ""},
    };
    for (const Case& k : cases) {
        EXPECT_EQ(UnquoteString(k.in), k.out) << k.in;
    }
}

config ValueConfig(const std::string& raw)
{
    config c("[s]t v=" + raw + ";");
    c.NextSection();
    c.NextParameter();
    c.NextValue();
    return c;
}

TEST(Config, Getters)
{
    struct Case {
        const char* raw;
        int asInt;
        float asFloat;
        bool asBool;
    };
    const Case cases[] = {
        {"true", 0, 0.0f, true},
        {"false", 0, 0.0f, false},
        {"1", 1, 1.0f, true},
        {"0", 0, 0.0f, false},
        {"yes", 0, 0.0f, false},
        {"True", 0, 0.0f, false},
        {"12abc", 12, 12.0f, true},
        {"-1.5", -1, -1.5f, true},
        {"+7", 7, 7.0f, true},
        {"\"3\"", 0, 0.0f, false},
        {"1e3", 1, 1000.0f, true},
        // Integers saturate instead of overflowing.
        {"99999999999", 2147483647, 99999999999.0f, true},
        {"-99999999999", -2147483647 - 1, -99999999999.0f, true},
        {"2147483647", 2147483647, 2147483647.0f, true},
        {"-2147483648", -2147483647 - 1, -2147483648.0f, true},
        {"4294967296", 2147483647, 4294967296.0f, true},
    };
    for (const Case& k : cases) {
        config c = ValueConfig(k.raw);
        EXPECT_EQ(c.GetValue(), k.raw);
        EXPECT_EQ(c.GetInt(), k.asInt) << k.raw;
        EXPECT_EQ(c.GetFloat(), k.asFloat) << k.raw;
        EXPECT_EQ(c.GetBool(), k.asBool) << k.raw;
    }
    EXPECT_EQ(ValueConfig("\"shader.hlsl\"").GetString(), "shader.hlsl");
}

// The readers' getters: a value of the kind asked for reads as the plain
// getter reads it, anything else warns and gives the fallback.
TEST(Config, CheckedGettersWarnAndFallBack)
{
    struct Case {
        const char* raw;
        bool isInt, isFloat, isBool, isQuoted;
    };
    const Case cases[] = {
        {"0", true, true, true, false},
        {"-12", true, true, true, false},
        {"+7", true, true, true, false},
        {"007", true, true, true, false},
        {"99999999999", true, true, true, false},  // saturates, as GetInt does
        {"-1.5", false, true, false, false},
        {".5", false, true, false, false},
        {"5.", false, true, false, false},
        {"1e3", false, true, false, false},
        {"inf", false, false, false, false},  // strtod reads these three; no file writes them as numbers
        {"nan", false, false, false, false},
        {"0x10", false, false, false, false},
        {"true", false, false, true, false},
        {"false", false, false, true, false},
        {"ture", false, false, false, false},
        {"True", false, false, false, false},
        {"yes", false, false, false, false},
        {"12abc", false, false, false, false},
        {"1,5", false, false, false, false},
        {"1.5f", false, false, false, false},
        {"-", false, false, false, false},
        {"+", false, false, false, false},
        {"\x0b"
         "5",
         false, false, false, false},  // strtod would pass over the vertical tab
        {"\"3\"", false, false, false, true},
        {"\"plasma.hlsl\"", false, false, false, true},
        {"plasma.hlsl", false, false, false, false},
    };
    for (const Case& k : cases) {
        config c = ValueConfig(k.raw);
        ASSERT_EQ(c.GetValue(), k.raw);
        EXPECT_EQ(c.IsInt(), k.isInt) << k.raw;
        EXPECT_EQ(c.IsFloat(), k.isFloat) << k.raw;
        EXPECT_EQ(c.IsBool(), k.isBool) << k.raw;
        EXPECT_EQ(c.IsQuoted(), k.isQuoted) << k.raw;

        ConsoleCapture console;
        const int asInt = c.IntOr(-77);
        const float asFloat = c.FloatOr(-7.5f);
        const bool asBool = c.BoolOr(true);
        const std::string asString = c.StringOr("d.hlsl");
        EXPECT_EQ(asInt, k.isInt ? c.GetInt() : -77) << k.raw;
        if (k.isFloat && std::isnan(c.GetFloat()))
            EXPECT_TRUE(std::isnan(asFloat)) << k.raw;
        else
            EXPECT_EQ(asFloat, k.isFloat ? c.GetFloat() : -7.5f) << k.raw;
        EXPECT_EQ(asBool, k.isBool ? c.GetBool() : true) << k.raw;
        EXPECT_EQ(asString, k.isQuoted ? c.GetString() : "d.hlsl") << k.raw;
        const std::string v = std::string("config warning: v ") + k.raw + " in [s] is not ";
        const std::string expected = (k.isInt ? "" : v + "a whole number, using -77\n") +
                                     (k.isFloat ? "" : v + "a number, using -7.5\n") +
                                     (k.isBool ? "" : v + "true or false, using true\n") +
                                     (k.isQuoted ? "" : v + "in double quotes, using \"d.hlsl\"\n");
        EXPECT_EQ(console.Text(), expected) << k.raw;
    }
}

// What each kind of key makes of a value: the number forms that a file
// writes (1, -0.5, .5, 1e3) and what is not one, as the console says it.
TEST(Config, EachKindOfKeyWarnsWithWhatTheValueIsNot)
{
    struct Case {
        const char* raw;
        const char* intWarning;  // nullptr: read, no warning
        const char* floatWarning;
        const char* boolWarning;
        float asFloat;  // when read as a float
    };
    const char* notWhole = "a whole number, using 7";
    const char* notNumber = "a number, using 2.5";
    const char* tooLarge = "within the range of a float, using 2.5";
    const char* notBool = "true or false, using true";
    const Case cases[] = {
        {"1", nullptr, nullptr, nullptr, 1.0f},
        {"-0.5", notWhole, nullptr, notBool, -0.5f},
        {".5", notWhole, nullptr, notBool, 0.5f},
        {"1e3", notWhole, nullptr, notBool, 1000.0f},
        {"-1E-3", notWhole, nullptr, notBool, -0.001f},
        {"3.4e38", notWhole, nullptr, notBool, 3.4e38f},
        {"1e-50", notWhole, nullptr, notBool, 0.0f},  // below the float range: read as 0
        {"abc", notWhole, notNumber, notBool, 0},
        {"x16", notWhole, notNumber, notBool, 0},
        {"nan", notWhole, notNumber, notBool, 0},
        {"NAN", notWhole, notNumber, notBool, 0},
        {"-nan", notWhole, notNumber, notBool, 0},
        {"inf", notWhole, notNumber, notBool, 0},
        {"-Infinity", notWhole, notNumber, notBool, 0},
        {"0x10", notWhole, notNumber, notBool, 0},
        {"0x1p3", notWhole, notNumber, notBool, 0},
        {"1e", notWhole, notNumber, notBool, 0},
        {"1e+", notWhole, notNumber, notBool, 0},
        {".", notWhole, notNumber, notBool, 0},
        {"-.e1", notWhole, notNumber, notBool, 0},
        {"1.5.2", notWhole, notNumber, notBool, 0},
        {"1e39", notWhole, tooLarge, notBool, 0},
        {"-1e39", notWhole, tooLarge, notBool, 0},
        {"1e400", notWhole, tooLarge, notBool, 0},
        {"3.5e38", notWhole, tooLarge, notBool, 0},
        {"1000000000000000000000000000000000000000", nullptr, tooLarge, nullptr, 0},
        {"true", notWhole, notNumber, nullptr, 0},
        {"2", nullptr, nullptr, nullptr, 2.0f},
    };
    for (const Case& k : cases) {
        config c = ValueConfig(k.raw);
        ASSERT_EQ(c.GetValue(), k.raw);
        const std::string v = std::string("config warning: v ") + k.raw + " in [s] is not ";
        const auto said = [&](const char* warning) { return warning ? v + warning + "\n" : std::string(); };
        ConsoleCapture console;
        c.IntOr(7);
        EXPECT_EQ(console.Text(), said(k.intWarning)) << k.raw;
        console.Clear();
        const float asFloat = c.FloatOr(2.5f);
        EXPECT_EQ(console.Text(), said(k.floatWarning)) << k.raw;
        EXPECT_EQ(asFloat, k.floatWarning ? 2.5f : k.asFloat) << k.raw;
        EXPECT_EQ(c.IsFloat(), k.floatWarning == nullptr) << k.raw;
        console.Clear();
        c.BoolOr(true);
        EXPECT_EQ(console.Text(), said(k.boolWarning)) << k.raw;
    }
}

TEST(Config, UnreadableValueInTheWarningIsCut)
{
    const std::string raw(500, 'x');
    config c = ValueConfig(raw);
    ConsoleCapture console;
    EXPECT_EQ(c.IntOr(3), 3);
    EXPECT_EQ(console.Text(), "config warning: v " + raw.substr(0, 200) +
                                  "\xE2\x80\xA6 (500 characters) in [s] is not "
                                  "a whole number, using 3\n");
}

TEST(Config, GettersDoNotMoveTheCursor)
{
    config c("[s]t v=5 6;");
    ASSERT_TRUE(c.NextSection());
    ASSERT_TRUE(c.NextParameter());
    ASSERT_TRUE(c.NextValue());
    const int pos = c.pos;
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(c.GetInt(), 5);
        EXPECT_EQ(c.GetFloat(), 5.0f);
        EXPECT_TRUE(c.GetBool());
        EXPECT_EQ(c.GetString(), "");
    }
    EXPECT_EQ(c.pos, pos);
    ASSERT_TRUE(c.NextValue());
    EXPECT_EQ(c.GetInt(), 6);
    EXPECT_FALSE(c.NextValue());
}

TEST(Config, MinifiedFileEndToEnd)
{
    const std::string file = "// start-up\r\n"
                             "[editor]\r\n"
                             "int width = 1280; /* px */\r\n"
                             "int height = 720;\r\n"
                             "bool vsync = false;\r\n"
                             "float speed = 0.25;\r\n"
                             "string intro = \"intro.quointro\";\r\n";
    auto params = ReadAll(MinifyText(file));
    ASSERT_EQ(params.size(), 5u);
    EXPECT_EQ(params[0].name, "width");
    EXPECT_EQ(params[0].values, std::vector<std::string>{"1280"});
    EXPECT_EQ(params[3].values, std::vector<std::string>{"0.25"});
    EXPECT_EQ(params[4].values, std::vector<std::string>{"\"intro.quointro\""});
}

// A locale whose decimal separator is a comma: installed, or generated from
// the locale sources into a private folder (LOCPATH).
bool UseCommaLocale()
{
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "de_DE"}) {
        if (std::setlocale(LC_ALL, name) != nullptr) {
            return true;
        }
    }
    const char* binaryDir = std::getenv("QUORVELAN_BINARY_DIR");
    std::string root = std::string(binaryDir != nullptr ? binaryDir : "/tmp") + "/test-locales";
    // Generated once per build folder. glibc remembers a failed lookup, so the
    // locale is made before it is first asked for under LOCPATH.
    const std::string generated = root + "/de_DE.UTF-8";
    if (access(generated.c_str(), F_OK) != 0) {
        // localedef may report warnings through its exit status and still succeed.
        std::string command =
            "mkdir -p '" + root + "' && localedef -c -i de_DE -f UTF-8 '" + generated + "' >/dev/null 2>&1";
        (void)std::system(command.c_str());
    }
    setenv("LOCPATH", root.c_str(), 1);
    return std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
}

TEST(Config, NumbersIgnoreTheLocale)
{
    ASSERT_TRUE(UseCommaLocale()) << "no locale with a decimal comma is installed or can be generated "
                                     "(scripts/install-deps.sh generates de_DE.UTF-8)";
    const std::string decimalPoint = std::localeconv()->decimal_point;
    EXPECT_EQ(decimalPoint, ",");
    config c = ValueConfig("-1.5");
    const float asFloat = c.GetFloat();
    const int asInt = c.GetInt();
    config comma = ValueConfig("2,5");
    const float commaFloat = comma.GetFloat();
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(asFloat, -1.5f);
    EXPECT_EQ(asInt, -1);
    EXPECT_EQ(commaFloat, 2.0f);
}

TEST(Config, IdentifierAndSpaceClasses)
{
    for (int c = 0; c < 256; ++c) {
        const char ch = static_cast<char>(c);
        const bool identifier = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
        const bool space = c == ' ' || c == '\n' || c == '\t' || c == '\r';
        EXPECT_EQ(IsIdentifierChar(ch), identifier) << c;
        EXPECT_EQ(IsSpace(ch), space) << c;
    }
}

TEST(Config, NulInTextIsNotTheEnd)
{
    const std::string text("[s]int a=1;\0int b=2;", 20);
    auto params = ReadAll(text);
    ASSERT_EQ(params.size(), 2u);
    EXPECT_EQ(params[1].name, "b");
}

}  // namespace
