// The dialog layer without a display: templates, control messages, ending,
// and the display modes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/dialog/dialog.h"

namespace {

const DialogItemTemplateEx kItems[] = {
    {0, 0, WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON | WS_TABSTOP, 5, 5, 40, 14, IDOK, "button", "OK"},
    {0, 0, WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX | WS_TABSTOP, 5, 25, 10, 10, 10, "BUTTON", nullptr},
    {0, 0, WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST | WS_TABSTOP, 5, 40, 60, 80, 11, "combobox", nullptr},
    {0, 0, WS_CHILD | WS_VISIBLE | SS_RIGHT, 5, 60, 60, 10, -1, "static", "Label"},
};
const DialogTemplateEx kTemplate = {
    1, 0xFFFF, 0, 0, WS_POPUP | WS_CAPTION, 0, 0, 100, 80, nullptr, nullptr, "Test", 8, 0, 0, 0, "Tahoma", kItems, 4};

std::vector<std::string> g_log;

INT_PTR Proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        g_log.push_back("init " + std::to_string(lParam));
        SendDlgItemMessageA(dialog, 11, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("a"));
        SendDlgItemMessageA(dialog, 11, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("b"));
        return TRUE;
    }
    if (message == WM_COMMAND) {
        g_log.push_back("command " + std::to_string(LOWORD(wParam)) + " " + std::to_string(HIWORD(wParam)));
        if (LOWORD(wParam) == IDOK)
            EndDialog(dialog, 7);
    }
    return FALSE;
}

TEST(DialogLayer, ControlsAndEnding)
{
    platform::RegisterDialogTemplate(200, &kTemplate);
    g_log.clear();
    HWND d = platform::CreateDialogForTesting(200, Proc, 42);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(g_log, (std::vector<std::string>{"init 42"}));

    EXPECT_EQ(SendDlgItemMessageA(d, 11, CB_GETCOUNT, 0, 0), 2);
    EXPECT_EQ(SendDlgItemMessageA(d, 11, CB_GETCURSEL, 0, 0), CB_ERR);
    EXPECT_EQ(SendDlgItemMessageA(d, 11, CB_SETCURSEL, 1, 0), 1);
    EXPECT_EQ(SendDlgItemMessageA(d, 11, CB_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(SendDlgItemMessageA(d, 11, CB_SETCURSEL, 5, 0), CB_ERR);  // out of range clears
    EXPECT_EQ(SendDlgItemMessageA(d, 11, CB_GETCURSEL, 0, 0), CB_ERR);

    EXPECT_EQ(SendDlgItemMessageA(d, 10, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    platform::ClickDialogItem(d, 10);
    EXPECT_EQ(SendDlgItemMessageA(d, 10, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(g_log.back(), "command 10 0");

    // A disabled control takes no clicks.
    EXPECT_FALSE(EnableWindow(GetDlgItem(d, 10), FALSE));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(d, 10)));
    platform::ClickDialogItem(d, 10);
    EXPECT_EQ(SendDlgItemMessageA(d, 10, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_TRUE(EnableWindow(GetDlgItem(d, 10), TRUE));

    EXPECT_EQ(GetDlgItem(d, 999), nullptr);
    EXPECT_EQ(SendDlgItemMessageA(d, 999, BM_GETCHECK, 0, 0), 0);

    INT_PTR result = 0;
    EXPECT_FALSE(platform::DialogEnded(d, &result));
    platform::ClickDialogItem(d, IDOK);
    EXPECT_TRUE(platform::DialogEnded(d, &result));
    EXPECT_EQ(result, 7);
    platform::DestroyDialogForTesting(d);
}

TEST(DialogLayer, UnknownTemplateOrNoDisplay)
{
    EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(12345), nullptr, Proc, 0), -1);
    EXPECT_EQ(platform::CreateDialogForTesting(12345, Proc, 0), nullptr);
}

TEST(DialogLayer, DisplayModes)
{
    // SDL's own list: the offscreen driver has one mode (of no size).
    DEVMODEA m{};
    ASSERT_TRUE(EnumDisplaySettingsA(nullptr, 0, &m));
    EXPECT_EQ(m.dmBitsPerPel % 8, 0u);
    EXPECT_FALSE(EnumDisplaySettingsA("\\\\.\\DISPLAY2", 0, &m));

    DEVMODEA a{};
    a.dmBitsPerPel = 32;
    a.dmPelsWidth = 640;
    a.dmPelsHeight = 480;
    platform::SetDisplayModesForTesting({a});
    ASSERT_TRUE(EnumDisplaySettingsA(nullptr, 0, &m));
    EXPECT_EQ(m.dmPelsWidth, 640u);
    EXPECT_FALSE(EnumDisplaySettingsA(nullptr, 1, &m));
}

}  // namespace
