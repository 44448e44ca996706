#include "support/minify.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct MinifyCase {
    const char* input;
    const char* output;
};

// \n stands for a line feed and \t for a tab, as in the format's own table.
const MinifyCase kCases[] = {
    {"  float  x =  1 ;  ", "float x=1;"},
    {"[editor]\nint width = 800;\n", "[editor]int width=800;"},
    {"a // note\nb", "a b"},
    {"a// note\nb", "ab"},
    {"a/* x */b", "ab"},
    {"a /* x */ b", "a b"},
    {"a/* */ b", "a b"},
    {"/*/ b */c", "b*/c"},
    {"x / y", "x/ y"},
    {"1.5 -2 +3", "1.5 -2 +3"},
    {"1 - 2", "1 - 2"},
    {"x = a, b;", "x=a,b;"},
    {"a\tb\nc", "a b c"},
    {"#define X 1\nfloat a;", "#define X 1\nfloat a;"},
    {"a;#x\nb", "a;\n#x\nb"},
    {"a b #x\nc", "a b\n#x\n c"},
    {"a#x", "a\n#x\n"},
    {"a//x", "a"},
    {"a/*x", "a"},
    {"a/", "a/"},
    // Quotes give no protection.
    {"\"my  file.txt\"", "\"my file.txt\""},
    {"\"a//b\";\nc", "\"ac"},
    {"", ""},
    {" \t\r\n // only a comment\n /* and a block */ ", ""},
    {"a#x\nc", "a\n#x\nc"},
    {"#x\r\n", "#x\r\n"},
    // A # line keeps its comments and blanks unchanged.
    {"#x // y /* z\n", "#x // y /* z\n"},
    // CR LF line ends are whitespace like LF.
    {"int a = 1;\r\nint b = 2;\r\n", "int a=1;int b=2;"},
    // Form feed and vertical tab are ordinary characters, bytes above 127 are not words.
    {"a \f b", "a\fb"},
    {"a \xC3\xA9 b", "a\xC3\xA9"
                     "b"},
    {"_x .y", "_x .y"},
    // "/*/" closes; a lone "/*" at the end takes nothing more.
    {"a/*/b", "ab"},
    {"a/*", "a"},
    {"/", "/"},
};

TEST(MinifyText, Table)
{
    for (const MinifyCase& c : kCases) {
        EXPECT_EQ(MinifyText(c.input), std::string(c.output)) << "input: \"" << c.input << "\"";
    }
}

TEST(MinifyText, NulByteIsOrdinary)
{
    const std::string input("a \0 b", 5);
    EXPECT_EQ(MinifyText(input), std::string("a\0b", 3));
}

TEST(IsWordChar, Classes)
{
    for (int c = 0; c < 256; ++c) {
        const char ch = static_cast<char>(c);
        const bool expected = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
                              c == '.' || c == '-' || c == '+';
        EXPECT_EQ(IsWordChar(ch), expected) << "byte " << c;
    }
}

}  // namespace
