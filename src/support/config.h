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
