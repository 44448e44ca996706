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

// What a value that cannot be read falls back to.
Settings Defaults()
{
    Settings d{};
    SetDefaultSettings(d);
    return d;
}

// The keys of two values: each value is optional.
void ReadPair(config& reader, int& first, int& second, int firstDefault, int secondDefault)
{
    if (reader.NextValue())
        first = reader.IntOr(firstDefault);
    if (reader.NextValue())
        second = reader.IntOr(secondDefault);
}

// True for an entry of a known key (a one-value key only with its value).
bool ApplyParameter(config& reader, Settings& s, StartupValues& v)
{
    static const Settings d = Defaults();
    static const StartupValues dv;
    const std::string& name = reader.GetName();
    if (name == "windowSize") {
        ReadPair(reader, s.width, s.height, d.width, d.height);
        return true;
    }
    if (name == "windowPosition") {
        ReadPair(reader, v.windowX, v.windowY, dv.windowX, dv.windowY);
        return true;
    }
    if (name == "consolePosition") {
        ReadPair(reader, v.consoleX, v.consoleY, dv.consoleX, dv.consoleY);
        return true;
    }
    if (name == "consoleSize") {
        ReadPair(reader, v.consoleWidth, v.consoleHeight, dv.consoleWidth, dv.consoleHeight);
        return true;
    }
    if (!reader.NextValue())
        return false;
    if (name == "width")
        s.width = reader.IntOr(d.width);
    else if (name == "height")
        s.height = reader.IntOr(d.height);
    else if (name == "bpp")
        s.bpp = reader.IntOr(d.bpp);
    else if (name == "windowed")
        s.windowed = reader.BoolOr(d.windowed != 0) ? 1 : 0;
    else if (name == "vsync")
        s.vsync = reader.BoolOr(d.vsync != 0) ? 1 : 0;
    else if (name == "music")
        s.music = reader.BoolOr(d.music != 0) ? 1 : 0;
    else if (name == "startWhenLoaded")
        v.startWhenLoaded = reader.BoolOr(dv.startWhenLoaded);
    else if (name == "alwaysOnTop")
        s.alwaysOnTop = reader.BoolOr(d.alwaysOnTop != 0) ? 1 : 0;
    else if (name == "positionX")
        v.windowX = reader.IntOr(dv.windowX);
    else if (name == "positionY")
        v.windowY = reader.IntOr(dv.windowY);
    else {
        ConsolePrintf("frameworkmain warning: unrecognised paramter %s\n", name.c_str());
        return false;
    }
    return true;
}

// Lines holding more than whitespace.
int CountLines(const std::string& text)
{
    int lines = 0;
    bool blank = true;
    for (char c : text) {
        if (c == '\n') {
            lines += blank ? 0 : 1;
            blank = true;
        } else if (c != ' ' && c != '\t' && c != '\r') {
            blank = false;
        }
    }
    return lines + (blank ? 0 : 1);
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

int ApplyStartupConfig(config& reader, Settings& settings, StartupValues& startup)
{
    int understood = 0;
    while (reader.NextSection()) {
        if (reader.GetSection() != "editor")
            continue;
        ++understood;
        while (reader.NextParameter())
            if (ApplyParameter(reader, settings, startup))
                ++understood;
    }
    return understood;
}

void ApplyStartupText(const std::string& text, Settings& settings, StartupValues& startup)
{
    SetDefaultSettings(settings);
    const std::string minified = MinifyText(text);
    config reader(minified);
    // A file of other text (binary, or another file saved over it) would
    // otherwise give the defaults without a word; what the reader says about
    // such a file is noise, so it is said in one line instead.
    std::string said, saidOnErrors;
    int understood = 0;
    {
        ConsoleCapture reading;
        understood = ApplyStartupConfig(reader, settings, startup);
        said = reading.Text();
        saidOnErrors = reading.ErrorText();
    }
    if (understood == 0 && !minified.empty()) {
        const int lines = CountLines(text);
        ConsolePrintf("config warning: config.quoconfig: nothing readable in it (0 of %d line%s understood), using the "
                      "defaults\n",
                      lines, lines == 1 ? "" : "s");
    } else {
        ConsoleWrite(said);
        ConsoleWrite(saidOnErrors, ConsoleChannel::Error);
    }
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
