#include "platform/system/console.h"

#include <gtest/gtest.h>

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
