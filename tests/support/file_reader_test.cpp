#include "platform/system/console.h"
#include "support/file_reader.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "common/scratch_folder.h"
#include "platform/system/types.h"

namespace {

class FileReaderTest : public ::testing::Test {
protected:
    std::string Make(const std::string& content)
    {
        std::string path = dir + "/f" + std::to_string(count++);
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }

    ScratchFolder folder;
    const std::string dir = folder.root.string();
    int count = 0;
};

TEST_F(FileReaderTest, ReadInt)
{
    struct Case {
        const char* content;
        std::vector<int> values;
    };
    const Case cases[] = {
        {"12 34 ", {12, 34}}, {"abc-7;", {-7}},  {"-12", {-12}},      {"- 12", {12}},
        {"x-12", {-12}},      {"007,8", {7, 8}}, {"4294967297", {1}},  // 32-bit wrap-around
        {"", {0, 0}},                                                  // the end gives 0 instead of waiting for a digit
        {"no digits", {0}},   {"5", {5, 0}},
    };
    for (const Case& c : cases) {
        FileReader reader(Make(c.content).c_str());
        for (int expected : c.values) {
            EXPECT_EQ(reader.ReadInt(), expected) << c.content;
        }
        reader.Close();
    }
}

TEST_F(FileReaderTest, ReadByteGivesZeroAtTheEnd)
{
    FileReader reader(Make("ab").c_str());
    EXPECT_EQ(reader.ReadByte(), 'a');
    EXPECT_EQ(reader.ReadByte(), 'b');
    EXPECT_EQ(reader.ReadByte(), 0);
    EXPECT_EQ(reader.ReadByte(), 0);
    reader.Close();
}

TEST_F(FileReaderTest, FailedOpenAndCloseShowBoxesAndReadNothing)
{
    const std::string missing = dir + "/missing";
    ConsoleCapture console;
    FileReader reader(missing.c_str());
    EXPECT_EQ(reader.file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(reader.ReadByte(), 0);
    EXPECT_EQ(reader.ReadInt(), 0);
    reader.Close();
    const std::string shown = console.ErrorText();
    EXPECT_NE(shown.find("Failed to Open File"), std::string::npos) << shown;
    EXPECT_NE(shown.find(missing), std::string::npos) << shown;
    EXPECT_NE(shown.find("Failed to Close File"), std::string::npos) << shown;
    EXPECT_NE(shown.find("Couln't close handle."), std::string::npos) << shown;
}

TEST_F(FileReaderTest, SecondCloseFailsSafely)
{
    FileReader reader(Make("1").c_str());
    HANDLE opened = reader.file;
    reader.Close();
    ConsoleCapture console;
    reader.Close();
    EXPECT_NE(console.ErrorText().find("Failed to Close File"), std::string::npos);
    EXPECT_EQ(reader.file, opened);
    EXPECT_EQ(reader.ReadByte(), 0);
}

TEST(IsDigit, Classes)
{
    for (int c = 0; c < 256; ++c) {
        EXPECT_EQ(IsDigit(static_cast<char>(c)), c >= '0' && c <= '9') << c;
    }
}

}  // namespace
