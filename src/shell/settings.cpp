#include "shell/settings.h"

#include <cstdio>
#include <string>

#include "platform/system/console.h"
#include "support/config.h"
#include "support/minify.h"
#include "support/path_text.h"
#include "support/reloadable_file.h"

Settings g_settings;

void SetDefaultSettings(Settings& settings)
{
    settings.width = 1600;
    settings.height = 900;
    settings.bpp = 32;
    settings.alwaysOnTop = 0;
    settings.windowed = 1;
    settings.vsync = 1;
    settings.music = 1;
}

namespace {

// The keys of two values: each value is optional.
void ReadPair(config& reader, int& first, int& second)
{
    if (reader.NextValue())
        first = reader.GetInt();
    if (reader.NextValue())
        second = reader.GetInt();
}

void ApplyParameter(config& reader, Settings& s, StartupValues& v)
{
    const std::string& name = reader.GetName();
    if (name == "windowSize") {
        ReadPair(reader, s.width, s.height);
        return;
    }
    if (name == "windowPosition") {
        ReadPair(reader, v.windowX, v.windowY);
        return;
    }
    if (name == "consolePosition") {
        ReadPair(reader, v.consoleX, v.consoleY);
        return;
    }
    if (name == "consoleSize") {
        ReadPair(reader, v.consoleWidth, v.consoleHeight);
        return;
    }
    if (!reader.NextValue())
        return;
    if (name == "width")
        s.width = reader.GetInt();
    else if (name == "height")
        s.height = reader.GetInt();
    else if (name == "bpp")
        s.bpp = reader.GetInt();
    else if (name == "windowed")
        s.windowed = reader.GetBool() ? 1 : 0;
    else if (name == "vsync")
        s.vsync = reader.GetBool() ? 1 : 0;
    else if (name == "music")
        s.music = reader.GetBool() ? 1 : 0;
    else if (name == "startWhenLoaded")
        v.startWhenLoaded = reader.GetBool();
    else if (name == "alwaysOnTop")
        s.alwaysOnTop = reader.GetBool() ? 1 : 0;
    else if (name == "positionX")
        v.windowX = reader.GetInt();
    else if (name == "positionY")
        v.windowY = reader.GetInt();
    else
        ConsolePrintf("frameworkmain warning: unrecognised paramter %s\n", name.c_str());
}

void CheckSide(const char* name, int& side, int fallback)
{
    if (side >= 1 && side <= kMaxWindowSide)
        return;
    ConsolePrintf("frameworkmain warning: %s %d is out of range (1 to %d), using %d\n", name, side, kMaxWindowSide,
                  fallback);
    side = fallback;
}

}  // namespace

void ApplyStartupConfig(config& reader, Settings& settings, StartupValues& startup)
{
    while (reader.NextSection()) {
        if (reader.GetSection() != "editor")
            continue;
        while (reader.NextParameter())
            ApplyParameter(reader, settings, startup);
    }
}

void ApplyStartupText(const std::string& text, Settings& settings, StartupValues& startup)
{
    SetDefaultSettings(settings);
    config reader(MinifyText(text));
    ApplyStartupConfig(reader, settings, startup);
    CheckSide("width", settings.width, 1600);
    CheckSide("height", settings.height, 900);
}

void ReadStartupSettings(Settings& settings, StartupValues& startup)
{
    std::string text;
    try {
        WinApi::ReloadableTextFile& file = g_fileCache.Get("config.quoconfig");
        file.Update();
        text = file.GetText();
    } catch (const WinApi::WinApiException& e) {
        ConsolePrintf("frameworkmain warning: cannot read config.quoconfig (%s), using the default settings\n",
                      WithoutLineEnds(e.message).c_str());
    }
    ApplyStartupText(text, settings, startup);
}
