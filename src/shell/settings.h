#pragma once
// The start-up settings from config.quoconfig.
#include <string>

#include "platform/system/types.h"

class config;

struct Settings {
    int width;
    int height;
    int bpp;
    int windowed;
    int vsync;
    int music;
    int alwaysOnTop;
    HINSTANCE hInstance;
};

extern Settings g_settings;

// Values that only the start-up reads.
struct StartupValues {
    int windowX = 100;
    int windowY = 0;
    int consoleX = 100;
    int consoleY = 500;
    int consoleWidth = 720;
    int consoleHeight = 480;
    bool startWhenLoaded = false;
};

// Largest window side accepted from the file.
constexpr int kMaxWindowSide = 16384;

// The defaults before the file is applied; hInstance is left alone.
void SetDefaultSettings(Settings& settings);

// Applies every editor section of the reader over the current values.
// Returns how much was understood: editor headers and entries of known keys.
int ApplyStartupConfig(config& reader, Settings& settings, StartupValues& startup);

// The defaults, then the editor sections of the file's text, then the check
// of the window size: a side below 1 or above kMaxWindowSide warns and takes
// its default. A text of which nothing is understood is said.
void ApplyStartupText(const std::string& text, Settings& settings, StartupValues& startup);

// ApplyStartupText on config.quoconfig of the working directory, read
// through the file cache; a missing file is a warning and the defaults.
void ReadStartupSettings(Settings& settings, StartupValues& startup);
