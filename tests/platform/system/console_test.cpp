#include "platform/system/console.h"

#include <gtest/gtest.h>

#include "common/terminal_output.h"

#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

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
        // C1 controls in UTF-8, U+0080 to U+009F: CSI (U+009B) starts a command too.
        {"a\xc2\x9bKb", "a\\xc2\\x9bKb"},  // CSI K: erases the line
        {"\xc2\x80\xc2\x9f", "\\xc2\\x80\\xc2\\x9f"},
        {"\xc2\x9dl;title\xc2\x9c", "\\xc2\\x9dl;title\\xc2\\x9c"},  // OSC ... ST: a terminal command
        {"\xc2\xa0\xc2\x7f", "\xc2\xa0\xc2\\x7f"},                   // U+00A0 is no control; C2 before DEL
        {"\xc2", "\xc2"},                                            // a lead byte that the text ends in
        {"\xc3\x9b\xe2\x80\x9b", "\xc3\x9b\xe2\x80\x9b"},            // 9B inside other characters
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
    EXPECT_EQ(WrittenToTerminal([] { ConsoleWrite("[\xc2\x9bK]\n"); }), "[\\xc2\\x9bK]\n");
}

// Whatever read the output went away: the text is dropped, the process goes
// on (SIGPIPE would end it), and later text reaches an output that works.
TEST(Console, AClosedOutputDropsTheTextAndTheProcessGoesOn)
{
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGPIPE, SIG_DFL);  // as a process starts
        int ends[2];
        if (pipe(ends) != 0)
            _exit(3);
        close(ends[0]);
        dup2(ends[1], STDOUT_FILENO);
        dup2(ends[1], STDERR_FILENO);
        ConsoleWrite("to nobody\n");
        ConsoleErrorPrintf("to nobody %d\n", 2);
        ConsoleWrite("again\n");
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 0);
}

TEST(Console, ACaptureReceivesTheTextAsWritten)
{
    ConsoleCapture console;
    ConsoleWrite("a\x1b[2Jb\n");
    EXPECT_EQ(console.Text(), "a\x1b[2Jb\n");
}

}  // namespace
