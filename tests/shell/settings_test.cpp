// Start-up settings: the editor section over the defaults, and the file
// read from the working directory.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "common/scratch_folder.h"
#include "platform/system/console.h"
#include "shell/settings.h"
#include "support/config.h"
#include "support/minify.h"

namespace {

struct Result {
    Settings s;
    StartupValues v;
    std::string output;
};

Result Apply(const std::string& text)
{
    Result r{};
    SetDefaultSettings(r.s);
    ConsoleCapture console;
    config reader(MinifyText(text));
    ApplyStartupConfig(reader, r.s, r.v);
    r.output = console.Text();
    return r;
}

TEST(StartupSettings, DefaultsWithoutAnEditorSection)
{
    for (const char* text : {"", "[editor]", "[other] int width = 5;"}) {
        Result r = Apply(text);
        EXPECT_EQ(r.s.width, 1600) << text;
        EXPECT_EQ(r.s.height, 900);
        EXPECT_EQ(r.s.bpp, 32);
        EXPECT_EQ(r.s.windowed, 1);
        EXPECT_EQ(r.s.vsync, 1);
        EXPECT_EQ(r.s.music, 1);
        EXPECT_EQ(r.s.alwaysOnTop, 0);
        EXPECT_EQ(r.v.windowX, 100);
        EXPECT_EQ(r.v.windowY, 0);
        EXPECT_EQ(r.v.consoleX, 100);
        EXPECT_EQ(r.v.consoleY, 500);
        EXPECT_EQ(r.v.consoleWidth, 720);
        EXPECT_EQ(r.v.consoleHeight, 480);
        EXPECT_FALSE(r.v.startWhenLoaded);
        EXPECT_EQ(r.output, "");
    }
}

TEST(StartupSettings, Keys)
{
    Result r = Apply(R"(
        [editor]
        int2 windowSize = 800;            // the height stays
        int2 windowPosition = 30 40;
        int2 consolePosition = 1 2;
        int2 consoleSize = 3 4;
        int bpp = 16;
        bool windowed = false;
        bool vsync = false;
        bool music = false;
        bool startWhenLoaded = true;
        bool alwaysOnTop = true;
        int positionY = 7;
    )");
    EXPECT_EQ(r.s.width, 800);
    EXPECT_EQ(r.s.height, 900);
    EXPECT_EQ(r.v.windowX, 30);
    EXPECT_EQ(r.v.windowY, 7);
    EXPECT_EQ(r.v.consoleX, 1);
    EXPECT_EQ(r.v.consoleY, 2);
    EXPECT_EQ(r.v.consoleWidth, 3);
    EXPECT_EQ(r.v.consoleHeight, 4);
    EXPECT_EQ(r.s.bpp, 16);
    EXPECT_EQ(r.s.windowed, 0);
    EXPECT_EQ(r.s.vsync, 0);
    EXPECT_EQ(r.s.music, 0);
    EXPECT_TRUE(r.v.startWhenLoaded);
    EXPECT_EQ(r.s.alwaysOnTop, 1);
    EXPECT_EQ(r.output, "");
}

TEST(StartupSettings, LaterEntriesAndSectionsOverride)
{
    Result r = Apply(R"(
        [editor] int2 windowSize = 640 480; int width = 1024; int positionX = 5;
        [other] int height = 1;
        [editor] int2 windowPosition = 9 10; float height = 700;
    )");
    EXPECT_EQ(r.s.width, 1024);
    EXPECT_EQ(r.s.height, 700);  // the type word is not looked at
    EXPECT_EQ(r.v.windowX, 9);
    EXPECT_EQ(r.v.windowY, 10);
}

TEST(StartupSettings, UnknownNamesWarnOnlyWithAValue)
{
    EXPECT_EQ(Apply("[editor] int fancy = 3;").output, "frameworkmain warning: unrecognised paramter fancy\n");
    EXPECT_EQ(Apply("[editor] int fancy = ;").output, "");
    EXPECT_EQ(Apply("[other] int fancy = 3;").output, "");
    // A valueless known key changes nothing.
    Result r = Apply("[editor] int width = ;");
    EXPECT_EQ(r.s.width, 1600);
}

class StartupFile : public ::testing::Test {
protected:
    ScratchFolder folder;
    std::filesystem::path previous, dir = folder.root;
    void SetUp() override
    {
        previous = std::filesystem::current_path();
        std::filesystem::current_path(dir);
    }
    void TearDown() override { std::filesystem::current_path(previous); }
    Result Read()
    {
        Result r{};
        r.s.width = -1;
        ConsoleCapture console;
        ReadStartupSettings(r.s, r.v);
        r.output = console.Text();
        return r;
    }
};

TEST_F(StartupFile, MissingFileWarnsAndKeepsTheDefaults)
{
    Result r = Read();
    EXPECT_NE(r.output.find("frameworkmain warning: cannot read config.quoconfig"), std::string::npos) << r.output;
    // One console line: the system's CR LF of the reason is not carried into it.
    EXPECT_EQ(r.output.find('\r'), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find('\n'), r.output.size() - 1) << r.output;
    EXPECT_EQ(r.s.width, 1600);
    EXPECT_EQ(r.s.height, 900);
    EXPECT_EQ(r.s.music, 1);
}

TEST_F(StartupFile, ReadsTheFileOfTheWorkingDirectory)
{
    std::ofstream("config.quoconfig") << "[editor] int2 windowSize = 320 200; bool music = false;";
    Result r = Read();
    EXPECT_EQ(r.s.width, 320);
    EXPECT_EQ(r.s.height, 200);
    EXPECT_EQ(r.s.music, 0);
}

TEST(StartupSettings, SizesOutOfRangeFallBackToTheDefaults)
{
    struct Case {
        const char* text;
        int width, height;
        bool warns;
    } cases[] = {
        {"[editor] int2 windowSize = 320 200;", 320, 200, false},
        {"[editor] int2 windowSize = 1 16384;", 1, 16384, false},
        {"[editor] int2 windowSize = 0 -5;", 1600, 900, true},
        {"[editor] int width = 99999999; int height = 16385;", 1600, 900, true},
    };
    for (const Case& c : cases) {
        Result r{};
        ConsoleCapture console;
        ApplyStartupText(c.text, r.s, r.v);
        r.output = console.Text();
        EXPECT_EQ(r.s.width, c.width) << c.text;
        EXPECT_EQ(r.s.height, c.height) << c.text;
        EXPECT_EQ(r.output.find("is out of range") != std::string::npos, c.warns) << r.output;
    }
}

}  // namespace
