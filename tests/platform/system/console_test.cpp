#include "platform/system/console.h"

#include <gtest/gtest.h>

#include "common/terminal_output.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

TEST(Console, CaptureTakesBothChannelsApart)
{
    ConsoleCapture console;
    ConsoleWrite("one\n");
    ConsolePrintf("%s %d\n", "two", 2);
    ConsoleErrorPrintf("three\n");
    ConsoleWrite("four\n", ConsoleChannel::Error);
    EXPECT_EQ(console.Text(), "one\ntwo 2\n");
    EXPECT_EQ(console.ErrorText(), "three\nfour\n");
    console.Clear();
    EXPECT_EQ(console.Text(), "");
    EXPECT_EQ(console.ErrorText(), "");
}

TEST(Console, TheInnermostCaptureReceivesTheText)
{
    ConsoleCapture outer;
    {
        ConsoleCapture inner;
        ConsoleWrite("inner\n");
        EXPECT_EQ(inner.Text(), "inner\n");
    }
    ConsoleWrite("outer\n");
    EXPECT_EQ(outer.Text(), "outer\n");
}

TEST(Console, FormattedTextLongerThanAnyBufferArrivesWhole)
{
    const std::string name(100000, 'n');
    ConsoleCapture console;
    ConsolePrintf("reading file %s\n", name.c_str());
    EXPECT_EQ(console.Text(), "reading file " + name + "\n");
}

TEST(Console, EmbeddedZeroBytesAreKept)
{
    ConsoleCapture console;
    ConsoleWrite(std::string_view("a\0b", 3));
    EXPECT_EQ(console.Text(), std::string("a\0b", 3));
}

}  // namespace

namespace {

TEST(Console, ControlBytesAreEscapedForTheTerminal)
{
    struct Case {
        std::string text;
        std::string shown;
    } cases[] = {
        {"plain text\n", "plain text\n"},
        {"a\tb\n", "a\tb\n"},                                                    // tab and line feed stay
        {"\x1b[2J", "\\x1b[2J"},                                                 // ESC: clears the screen
        {"\x1b]0;title\x07", "\\x1b]0;title\\x07"},                              // ESC ] ... BEL: sets the title
        {"one\rtwo\n", "one\\x0dtwo\n"},                                         // CR: overwrites the line
        {"del\x7f", "del\\x7f"},                                                 // DEL
        {std::string("a\0b", 3), "a\\x00b"},                                     // NUL
        {"\x01\x1f\x20", "\\x01\\x1f "},                                         // the ends of the control range
        {"gr\xc3\xbc\xc3\x9f \xe2\x80\xa6", "gr\xc3\xbc\xc3\x9f \xe2\x80\xa6"},  // UTF-8 passes unchanged
        {"\x80\xff", "\x80\xff"},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(EscapeControlBytes(c.text), c.shown) << c.shown;
}

TEST(Console, TheTerminalReceivesTheEscapedText)
{
    const std::string written = WrittenToTerminal([] {
        ConsoleWrite("a\x1b[2Jb\n");
        ConsolePrintf("%s\n", "c\x07");
        ConsoleWrite("plain\n");
    });
    EXPECT_EQ(written, "a\\x1b[2Jb\nc\\x07\nplain\n");
}

TEST(Console, ACaptureReceivesTheTextAsWritten)
{
    ConsoleCapture console;
    ConsoleWrite("a\x1b[2Jb\n");
    EXPECT_EQ(console.Text(), "a\x1b[2Jb\n");
}

}  // namespace
