// The settings dialog: its procedure on a dialog without a toolkit, as a
// table of cases, and the real dialog on a private X display.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "desktop.h"
#include "platform/dialog/dialog.h"
#include "shell/settings_dialog.h"

namespace {

DEVMODEA Mode(DWORD w, DWORD h, DWORD bpp = 32, DWORD hz = 60)
{
    DEVMODEA m{};
    m.dmSize = sizeof m;
    m.dmBitsPerPel = bpp;
    m.dmPelsWidth = w;
    m.dmPelsHeight = h;
    m.dmDisplayFrequency = hz;
    return m;
}

Settings Record(int width = 1024, int height = 768)
{
    Settings s{};
    s.width = width;
    s.height = height;
    s.bpp = 32;
    s.windowed = 1;
    s.vsync = 1;
    s.music = 1;
    s.alwaysOnTop = 0;
    return s;
}

class SettingsDialog : public ::testing::Test {
protected:
    HWND dialog = nullptr;
    Settings settings = Record();

    void Open(const std::vector<DEVMODEA>& modes)
    {
        platform::SetDisplayModesForTesting(modes);
        RegisterSettingsDialog();
        g_dialogSettings = &settings;
        dialog = platform::CreateDialogForTesting(kSettingsDialogResource, SettingsDialogProc, 0);
        ASSERT_NE(dialog, nullptr);
    }
    void TearDown() override
    {
        if (dialog)
            platform::DestroyDialogForTesting(dialog);
    }
    std::vector<std::string> Listed() const
    {
        std::vector<std::string> out;
        for (int i = 0; i < g_modeCount; ++i)
            out.push_back(std::to_string(g_modes[i].width) + " * " + std::to_string(g_modes[i].height));
        return out;
    }
    LRESULT Selection() const { return SendDlgItemMessageA(dialog, kResolutionBox, CB_GETCURSEL, 0, 0); }
    bool Checked(int id) const { return SendDlgItemMessageA(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED; }
    bool Enabled(int id) const { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }
    INT_PTR Ended() const
    {
        INT_PTR result = -2;
        return platform::DialogEnded(dialog, &result) ? result : -2;
    }
};

TEST_F(SettingsDialog, ListsModesOfTheDepthAndSelectsTheLastMatch)
{
    settings = Record(800, 600);
    Open({Mode(800, 600, 32, 60), Mode(800, 600, 32, 75), Mode(800, 600, 32, 85), Mode(640, 480, 16), Mode(1024, 768),
          Mode(800, 600)});
    // One size at three rates in a row is listed once; met again later, again.
    EXPECT_EQ(Listed(), (std::vector<std::string>{"800 * 600", "1024 * 768", "800 * 600"}));
    EXPECT_EQ(SendDlgItemMessageA(dialog, kResolutionBox, CB_GETCOUNT, 0, 0), 3);
    EXPECT_EQ(Selection(), 2);
    EXPECT_FALSE(Checked(kFullscreenBox));
    EXPECT_TRUE(Enabled(kAlwaysOnTopBox));
    EXPECT_TRUE(Checked(kVsyncBox));
    EXPECT_TRUE(Checked(kMusicBox));
}

TEST_F(SettingsDialog, FullscreenBoxGovernsAlwaysOnTop)
{
    settings.windowed = 0;
    Open({Mode(1024, 768)});
    EXPECT_TRUE(Checked(kFullscreenBox));
    EXPECT_FALSE(Enabled(kAlwaysOnTopBox));
    platform::ClickDialogItem(dialog, kFullscreenBox);  // off
    EXPECT_FALSE(Checked(kFullscreenBox));
    EXPECT_TRUE(Enabled(kAlwaysOnTopBox));
    platform::ClickDialogItem(dialog, kAlwaysOnTopBox);
    EXPECT_TRUE(Checked(kAlwaysOnTopBox));
    platform::ClickDialogItem(dialog, kFullscreenBox);  // on again: cleared and disabled
    EXPECT_FALSE(Checked(kAlwaysOnTopBox));
    EXPECT_FALSE(Enabled(kAlwaysOnTopBox));
}

TEST_F(SettingsDialog, RunWritesTheChoice)
{
    settings.windowed = 0;
    settings.bpp = 32;
    Open({Mode(800, 600), Mode(1024, 768), Mode(1600, 900)});
    SendDlgItemMessageA(dialog, kResolutionBox, CB_SETCURSEL, 2, 0);
    platform::ClickDialogItem(dialog, kFullscreenBox);  // windowed now
    platform::ClickDialogItem(dialog, kVsyncBox);       // off
    platform::ClickDialogItem(dialog, IDOK);
    EXPECT_EQ(Ended(), 1);
    EXPECT_EQ(settings.width, 1600);
    EXPECT_EQ(settings.height, 900);
    EXPECT_EQ(settings.windowed, 1);
    EXPECT_EQ(settings.vsync, 0);
    EXPECT_EQ(settings.music, 1);
    EXPECT_EQ(settings.alwaysOnTop, 0);
    EXPECT_EQ(settings.bpp, 32);
}

TEST_F(SettingsDialog, CancelLeavesTheRecord)
{
    Open({Mode(800, 600), Mode(1024, 768)});
    Settings before = settings;
    SendDlgItemMessageA(dialog, kResolutionBox, CB_SETCURSEL, 0, 0);
    platform::ClickDialogItem(dialog, kFullscreenBox);
    platform::ClickDialogItem(dialog, kMusicBox);
    platform::ClickDialogItem(dialog, IDCANCEL);
    EXPECT_EQ(Ended(), 0);
    EXPECT_EQ(settings.width, before.width);
    EXPECT_EQ(settings.windowed, before.windowed);
    EXPECT_EQ(settings.music, before.music);
}

TEST_F(SettingsDialog, RunWithoutASelectionKeepsTheSize)
{
    settings = Record(1234, 567);
    Open({Mode(800, 600), Mode(640, 480, 16)});
    EXPECT_EQ(Selection(), CB_ERR);
    platform::ClickDialogItem(dialog, IDOK);
    EXPECT_EQ(settings.width, 1234);
    EXPECT_EQ(settings.height, 567);
}

TEST_F(SettingsDialog, NoModeOfTheDepthLeavesAnEmptyList)
{
    settings.bpp = 24;
    Open({Mode(800, 600), Mode(1024, 768)});
    EXPECT_EQ(g_modeCount, 0);
    EXPECT_EQ(Selection(), CB_ERR);
}

TEST_F(SettingsDialog, AlwaysOnTopStartsFromTheRecord)
{
    settings.alwaysOnTop = 1;
    Open({Mode(1024, 768)});
    EXPECT_TRUE(Checked(kAlwaysOnTopBox));
    platform::ClickDialogItem(dialog, IDOK);
    EXPECT_EQ(settings.alwaysOnTop, 1);
}

TEST_F(SettingsDialog, ASecondShowingListsAfresh)
{
    Open({Mode(800, 600), Mode(1024, 768)});
    platform::DestroyDialogForTesting(dialog);
    dialog = platform::CreateDialogForTesting(kSettingsDialogResource, SettingsDialogProc, 0);
    EXPECT_EQ(g_modeCount, 2);
    EXPECT_EQ(Selection(), 1);
    SendDlgItemMessageA(dialog, kResolutionBox, CB_SETCURSEL, 0, 0);
    platform::ClickDialogItem(dialog, IDOK);
    EXPECT_EQ(settings.width, 800);
}

TEST_F(SettingsDialog, StoresAtMost4097Modes)
{
    std::vector<DEVMODEA> many;
    for (DWORD i = 0; i < 5000; ++i)
        many.push_back(Mode(100 + i, 100));
    Open(many);
    EXPECT_EQ(g_modeCount, 4097);
}

// The real dialog: a box clicked and Run pressed with the mouse.
TEST(SettingsDialogOnScreen, ClickVsyncThenRun)
{
    for (const char* tool : {"Xvfb", "xdotool"})
        ASSERT_TRUE(desktop::HaveProgram(tool)) << tool << " is missing (scripts/install-deps.sh installs it)";
    desktop::Xvfb x;
    ASSERT_TRUE(x.ok());
    setenv("DISPLAY", x.display().c_str(), 1);
    platform::SetDisplayModesForTesting({Mode(800, 600), Mode(1280, 1024)});

    Settings s = Record(1280, 1024);
    std::string clicked;
    std::thread user([&] {
        std::string id = desktop::Window::Find(x, "Kelmarith", 20);
        if (id.empty())
            return;
        desktop::Pause(0.3);
        // Dialog units are 1.5 by 1.625 pixels: the vsync box at (95, 63),
        // Run at (7, 90).
        x.Run("xdotool mousemove --window " + id + " 150 110 click 1");
        desktop::Pause(0.3);
        x.Run("xdotool mousemove --window " + id + " 40 155 click 1");
        clicked = id;
    });
    INT_PTR result = ShowSettingsDialog(&s);
    user.join();
    ASSERT_FALSE(clicked.empty()) << "the dialog did not show";
    EXPECT_EQ(result, 1);
    EXPECT_EQ(s.vsync, 0);
    EXPECT_EQ(s.music, 1);
    EXPECT_EQ(s.width, 1280);
    EXPECT_EQ(s.height, 1024);
    EXPECT_EQ(s.windowed, 1);
}

}  // namespace
