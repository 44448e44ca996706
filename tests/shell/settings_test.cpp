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

// A value that cannot be read is said, with the entry and the value, and the
// key's default is taken; values that read are kept.
TEST(StartupSettings, UnreadableValuesWarnAndTakeTheDefault)
{
    struct Case {
        const char* entry;
        const char* warning;  // nullptr: none
        int width, height, windowX, vsync;
        bool startWhenLoaded;
    } cases[] = {
        {"bool startWhenLoaded = ture;", "startWhenLoaded ture in [editor] is not true or false, using false", 1600,
         900, 100, 1, false},
        {"bool vsync = flase;", "vsync flase in [editor] is not true or false, using true", 1600, 900, 100, 1, false},
        {"bool vsync = \"false\";", "vsync \"false\" in [editor] is not true or false, using true", 1600, 900, 100, 1,
         false},
        {"bool vsync = 0;", nullptr, 1600, 900, 100, 0, false},
        {"bool startWhenLoaded = 2;", nullptr, 1600, 900, 100, 1, true},
        {"int width = 80o;", "width 80o in [editor] is not a whole number, using 1600", 1600, 900, 100, 1, false},
        {"int width = 800.5;", "width 800.5 in [editor] is not a whole number, using 1600", 1600, 900, 100, 1, false},
        {"int2 windowSize = 800 6OO;", "windowSize 6OO in [editor] is not a whole number, using 900", 800, 900, 100, 1,
         false},
        {"int2 windowSize = x 600;", "windowSize x in [editor] is not a whole number, using 1600", 1600, 600, 100, 1,
         false},
        {"int2 windowPosition = 5,6;", "windowPosition 5,6 in [editor] is not a whole number, using 100", 1600, 900,
         100, 1, false},
        {"int positionX = +20;", nullptr, 1600, 900, 20, 1, false},
        {"int positionX = -20;", nullptr, 1600, 900, -20, 1, false},
    };
    for (const Case& c : cases) {
        Result r{};
        ConsoleCapture console;
        ApplyStartupText(std::string("[editor] ") + c.entry, r.s, r.v);
        const std::string output = console.Text();
        EXPECT_EQ(output, c.warning ? std::string("config warning: ") + c.warning + "\n" : "") << c.entry;
        EXPECT_EQ(r.s.width, c.width) << c.entry;
        EXPECT_EQ(r.s.height, c.height) << c.entry;
        EXPECT_EQ(r.v.windowX, c.windowX) << c.entry;
        EXPECT_EQ(r.s.vsync, c.vsync) << c.entry;
        EXPECT_EQ(r.v.startWhenLoaded, c.startWhenLoaded) << c.entry;
    }
}

// A file of which nothing is understood is said once; a file that is empty,
// only comments, or an editor section of its own gives the defaults quietly.
TEST(StartupSettings, ATextWithNothingReadableIsSaid)
{
    static const char png[] = "\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\x02\x80\xff\xfe";
    const std::string binary(png, sizeof png - 1);
    struct Case {
        std::string text;
        const char* output;
    } cases[] = {
        {"", ""},
        {"  \n// only a comment\n/* and another */\n", ""},
        {"[editor]", ""},
        {"[editor] int fancy = 1;", "frameworkmain warning: unrecognised paramter fancy\n"},
        {binary, "config warning: config.quoconfig: nothing readable in it (0 of 3 lines understood), using the "
                 "defaults\n"},
        {"garbage", "config warning: config.quoconfig: nothing readable in it (0 of 1 line understood), using the "
                    "defaults\n"},
        // The reader's own warnings about such a text are not shown.
        {"\x7f"
         "ELF\x02\x01 [\x03 name",
         "config warning: config.quoconfig: nothing readable in it (0 of 1 line "
         "understood), using the defaults\n"},
        {"[editor] bool music = true; [x", "config warning: [ is not closed and reached end of file\n"},
        {"[scene]\nstring shaderFile = \"plasma.hlsl\";\n\n[shader]\nfloat zoom = 3;\n",
         "config warning: config.quoconfig: nothing readable in it (0 of 4 lines understood), using the defaults\n"},
        {"int2 windowSize = 800 600;  // no [editor] above\n",
         "config warning: config.quoconfig: nothing readable in it (0 of 1 line understood), using the defaults\n"},
        {"[Editor] int width = 800;",
         "config warning: config.quoconfig: nothing readable in it (0 of 1 line understood), using the defaults\n"},
    };
    for (const Case& c : cases) {
        Result r{};
        ConsoleCapture console;
        ApplyStartupText(c.text, r.s, r.v);
        EXPECT_EQ(console.Text(), c.output) << c.text;
        EXPECT_EQ(r.s.width, 1600) << c.text;
        EXPECT_EQ(r.s.music, 1) << c.text;
        EXPECT_FALSE(r.v.startWhenLoaded) << c.text;
    }
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
