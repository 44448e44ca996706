#pragma once
// A modal dialog over the start-up settings: resolution, full screen,
// always on top, vertical sync and music. Nothing in the program opens it.
#include "platform/system/types.h"
#include "shell/settings.h"

struct DisplayMode {
    int width;
    int height;
};

constexpr int kMaxListedModes = 4097;

extern Settings* g_dialogSettings;
extern int g_modeCount;
extern DisplayMode g_modes[kMaxListedModes];

// 1 after Run, 0 after Cancel, -1 when the dialog cannot be shown.
INT_PTR ShowSettingsDialog(Settings* settings);
INT_PTR SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The dialog's resource number and control identifiers.
constexpr int kSettingsDialogResource = 101;
constexpr int kResolutionBox = 1001;
constexpr int kFullscreenBox = 1003;
constexpr int kAlwaysOnTopBox = 1004;
constexpr int kVsyncBox = 1005;
constexpr int kMusicBox = 1006;

// Makes resource 101 known to the dialog layer (ShowSettingsDialog does it).
void RegisterSettingsDialog();
