#include "shell/settings_dialog.h"

#include <cstdio>

#include "platform/dialog/dialog.h"

Settings* g_dialogSettings;
int g_modeCount;
DisplayMode g_modes[kMaxListedModes];

namespace {

const DialogItemTemplateEx kItems[] = {
    {0, 0, WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON | WS_TABSTOP, 7, 90, 50, 14, IDOK, "button", "Run"},
    {0, 0, WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON | WS_TABSTOP, 128, 90, 50, 14, IDCANCEL, "button", "Cancel"},
    {0, 0, WS_CHILD | WS_VISIBLE | SS_RIGHT | WS_GROUP, 20, 22, 65, 10, -1, "static", "Resolution:"},
    {0, 0, WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 95, 20, 75, 125, kResolutionBox,
     "combobox", nullptr},
    {0, 0, WS_CHILD | WS_VISIBLE | SS_RIGHT | WS_GROUP, 20, 36, 65, 10, -1, "static", "Fullscreen:"},
    {0, 0, WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX | WS_TABSTOP, 95, 36, 9, 10, kFullscreenBox, "button", nullptr},
    {0, 0, WS_CHILD | WS_VISIBLE | SS_RIGHT | WS_GROUP, 20, 49, 65, 10, -1, "static", "Always on top:"},
    {0, 0, WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX | WS_TABSTOP, 95, 49, 10, 10, kAlwaysOnTopBox, "button", nullptr},
    {0, 0, WS_CHILD | WS_VISIBLE | SS_RIGHT | WS_GROUP, 20, 63, 65, 10, -1, "static", "Vertical sync:"},
    {0, 0, WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX | WS_TABSTOP, 95, 63, 11, 10, kVsyncBox, "button", nullptr},
    {0, 0, WS_CHILD | WS_VISIBLE | SS_RIGHT | WS_GROUP, 25, 76, 60, 10, -1, "static", "Muzak:"},
    {0, 0, WS_CHILD | WS_VISIBLE | SS_CENTER | WS_GROUP, 5, 8, 175, 10, -1, "static", "<fill demo/intro name>"},
    {0, 0, WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX | WS_TABSTOP, 95, 76, 14, 10, kMusicBox, "button", nullptr},
};

const DialogTemplateEx kTemplate = {
    1,
    0xFFFF,
    0,
    0,
    static_cast<DWORD>(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_CENTER),
    0,
    0,
    186,
    111,
    nullptr,
    nullptr,
    "Kelmarith",
    8,
    0,
    0,
    0,
    "Tahoma",
    kItems,
    static_cast<int>(sizeof kItems / sizeof kItems[0]),
};

bool Checked(HWND dialog, int id)
{
    return SendDlgItemMessageA(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Check(HWND dialog, int id, bool checked)
{
    SendDlgItemMessageA(dialog, id, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void InitDialog(HWND dialog)
{
    Settings& s = *g_dialogSettings;
    // Each showing lists the modes afresh, so that list positions and
    // stored entries match.
    g_modeCount = 0;
    DEVMODEA mode{};
    mode.dmSize = sizeof mode;
    for (DWORD number = 0; g_modeCount <= 4096 && EnumDisplaySettingsA(nullptr, number, &mode); ++number) {
        if (static_cast<int>(mode.dmBitsPerPel) != s.bpp)
            continue;
        int w = static_cast<int>(mode.dmPelsWidth), h = static_cast<int>(mode.dmPelsHeight);
        if (g_modeCount != 0 && g_modes[g_modeCount - 1].width == w && g_modes[g_modeCount - 1].height == h)
            continue;
        g_modes[g_modeCount] = DisplayMode{w, h};
        ++g_modeCount;
        char text[64];
        std::snprintf(text, sizeof text, "%d * %d", w, h);
        SendDlgItemMessageA(dialog, kResolutionBox, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }
    for (int i = 0; i < g_modeCount; ++i)
        if (g_modes[i].width == s.width && g_modes[i].height == s.height)
            SendDlgItemMessageA(dialog, kResolutionBox, CB_SETCURSEL, static_cast<WPARAM>(i), 0);

    // The always-on-top box starts as the record has it, so Run keeps it.
    Check(dialog, kAlwaysOnTopBox, s.alwaysOnTop != 0);
    if (s.windowed == 0) {
        Check(dialog, kFullscreenBox, true);
        EnableWindow(GetDlgItem(dialog, kAlwaysOnTopBox), FALSE);
    }
    if (s.vsync != 0)
        Check(dialog, kVsyncBox, true);
    if (s.music != 0)
        Check(dialog, kMusicBox, true);
}

void Run(HWND dialog)
{
    Settings& s = *g_dialogSettings;
    auto selection = static_cast<int>(SendDlgItemMessageA(dialog, kResolutionBox, CB_GETCURSEL, 0, 0));
    // No selection keeps the record's size.
    if (selection >= 0 && selection < g_modeCount) {
        s.width = g_modes[selection].width;
        s.height = g_modes[selection].height;
    }
    s.windowed = Checked(dialog, kFullscreenBox) ? 0 : 1;
    s.alwaysOnTop = Checked(dialog, kAlwaysOnTopBox) ? 1 : 0;
    s.vsync = Checked(dialog, kVsyncBox) ? 1 : 0;
    s.music = Checked(dialog, kMusicBox) ? 1 : 0;
    EndDialog(dialog, 1);
}

}  // namespace

void RegisterSettingsDialog()
{
    platform::RegisterDialogTemplate(kSettingsDialogResource, &kTemplate);
}

INT_PTR ShowSettingsDialog(Settings* settings)
{
    RegisterSettingsDialog();
    g_dialogSettings = settings;
    return DialogBoxParamA(settings->hInstance, MAKEINTRESOURCEA(kSettingsDialogResource), GetForegroundWindow(),
                           SettingsDialogProc, 0);
}

INT_PTR SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG) {
        InitDialog(dialog);
        return TRUE;
    }
    if (message == WM_COMMAND) {
        switch (LOWORD(wParam)) {
        case IDOK: Run(dialog); break;
        case IDCANCEL: EndDialog(dialog, 0); break;
        case kFullscreenBox:
            if (Checked(dialog, kFullscreenBox)) {
                Check(dialog, kAlwaysOnTopBox, false);
                EnableWindow(GetDlgItem(dialog, kAlwaysOnTopBox), FALSE);
            } else {
                EnableWindow(GetDlgItem(dialog, kAlwaysOnTopBox), TRUE);
            }
            break;
        default: break;
        }
    }
    return FALSE;
}
