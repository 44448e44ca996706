#pragma once
// Forward-only pull parser of the system's text format: [section] headers and
// "type name = values ;" parameters. Input is MinifyText's output. Bad input
// prints "config warning: ..." on the console and is skipped; nothing throws.
#include <string>

class config {
public:
    explicit config(const std::string& text);
    ~config();

    void Restart();
    bool NextSection();
    bool NextParameter();
    bool NextValue();

    const std::string& GetSection() const { return section; }
    const std::string& GetName() const { return name; }
    const std::string& GetTypeName() const { return typeName; }
    const std::string& GetValue() const { return value; }
    // Numbers are read in the C locale whatever the process's locale is;
    // integers saturate to the int range.
    int GetInt() const;
    float GetFloat() const;
    bool GetBool() const;
    std::string GetString() const;

    // Whether the whole raw value is what a getter reads: an integer (sign
    // and digits), a decimal number (1, -0.5, .5, 1e3; no nan, inf or hex)
    // that a float holds, true / false / an integer, a quoted string.
    bool IsInt() const;
    bool IsFloat() const;
    bool IsBool() const;
    bool IsQuoted() const;
    // The getters for readers: a value that is not of the kind asked for is
    // said ("config warning: name value in [section] is not ..., using
    // fallback"; a decimal number too large for a float "is not within the
    // range of a float") and the fallback is returned; any other value reads exactly
    // as the plain getter reads it.
    int IntOr(int fallback) const;
    float FloatOr(float fallback) const;
    bool BoolOr(bool fallback) const;
    std::string StringOr(const std::string& fallback) const;
    // The warning of those getters: what the value is not, and what is used.
    void WarnUnreadable(const char* expected, const std::string& used) const;

    int pos;  // index of the character after the current one
    int length;
    std::string section;
    std::string name;
    std::string typeName;
    std::string value;  // raw: a quoted value keeps its quotes
    std::string text;
    char cur;  // the character at pos - 1; 0 once the text is used up

private:
    bool UsedUp() const { return pos > length; }
    void Advance();
    void SkipSpace();
    void WarnEndOfFileAfter() const;
};

// Drops the first character, then copies up to the next double quote.
std::string UnquoteString(const std::string& quoted);
// a-z, A-Z, 0-9, underscore.
bool IsIdentifierChar(char c);
// Blank, LF, tab, CR.
bool IsSpace(char c);
