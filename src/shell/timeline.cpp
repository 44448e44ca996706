#include "shell/timeline.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/window/window.h"

namespace {

// Positions wrap as 32-bit numbers instead of overflowing.
int Add(int a, std::int64_t b)
{
    return static_cast<int>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}

// Nearest integer, halves to even (the default rounding mode), held within
// the int range so that no conversion is undefined.
int RoundToInt(double value)
{
    double r = std::nearbyint(value);
    if (!(r >= -2147483648.0))
        return r != r ? 0 : INT32_MIN;
    if (r > 2147483647.0)
        return INT32_MAX;
    return static_cast<int>(r);
}

// Hundredths as "12.30", "-1.05"; "inf" or "nan" for values that are no number.
std::string TwoDecimals(double hundredths)
{
    if (std::isnan(hundredths))
        return "nan";
    if (std::isinf(hundredths))
        return hundredths < 0 ? "-inf" : "inf";
    double r = std::nearbyint(hundredths);
    bool negative = r < 0;
    double magnitude = std::fabs(r);
    if (magnitude >= 9.0e18)
        magnitude = 9.0e18;
    auto h = static_cast<unsigned long long>(magnitude);
    char text[48];
    std::snprintf(text, sizeof text, "%s%llu.%02llu", negative && h != 0 ? "-" : "", h / 100, h % 100);
    return text;
}

}  // namespace

int FrameStepSamples(long milliseconds)
{
    float ms = static_cast<float>(milliseconds);
    return RoundToInt(static_cast<double>(ms) / 1000.0 * 44100.0);
}

void AdvanceTimeline(FrameState& s, long clockNow, const BYTE keyDown[256], const BYTE keyPressed[256],
                     const TimelineCalls& calls)
{
    s.previousClock = s.currentClock;
    s.currentClock = clockNow;

    if (keyPressed[VK_F5])
        calls.load();

    if (keyPressed[VK_F4]) {
        s.musicSync = !s.musicSync;
        if (s.running) {
            if (s.musicSync)
                calls.seekMusic(static_cast<DWORD>(s.position));
            else
                calls.stopMusic();
        }
    }

    if (keyPressed[VK_SPACE]) {
        s.running = !s.running;
        if (s.running) {
            if (s.musicSync)
                calls.seekMusic(static_cast<DWORD>(s.position));
            else
                calls.stopMusic();
        } else if (s.musicSync) {
            calls.stopMusic();
        }
    }

    s.frameStep = FrameStepSamples(s.currentClock - s.previousClock);

    int candidate = s.position;
    if (s.running && !s.musicSync)
        candidate = Add(s.position, s.frameStep);
    if (keyPressed[VK_BACK])
        candidate = 0;
    if (keyDown[VK_LEFT])
        candidate = Add(s.position, -static_cast<std::int64_t>(s.frameStep));
    if (keyDown[VK_RIGHT])
        candidate = Add(s.position, s.frameStep);
    if (keyDown[VK_UP])
        candidate = Add(s.position, -16 * static_cast<std::int64_t>(s.frameStep));
    if (keyDown[VK_DOWN])
        candidate = Add(s.position, 16 * static_cast<std::int64_t>(s.frameStep));

    if (s.running && s.musicSync) {
        if (candidate != s.position) {
            s.position = candidate;
            calls.seekMusic(static_cast<DWORD>(s.position));
        } else {
            s.position = static_cast<int>(calls.getMusicPosition());
        }
    } else {
        s.position = candidate;
    }
}

void WriteStatusText(char* text, std::size_t size, int position, const std::function<int(DWORD)>& findSceneIndex,
                     const std::function<float(DWORD)>& timeInUnits)
{
    bool negative = position < 0;
    std::int64_t magnitude = negative ? -static_cast<std::int64_t>(position) : position;
    float samples = static_cast<float>(magnitude);
    double seconds = static_cast<double>(samples) / 44100.0 * 100.0;
    double units = static_cast<double>(timeInUnits(static_cast<DWORD>(magnitude))) * 100.0;
    if (negative) {
        seconds = -seconds;
        units = -units;
    }
    int scene = findSceneIndex(static_cast<DWORD>(position));
    std::snprintf(text, size, " scene: %d, time: %s seconds %s units", scene, TwoDecimals(seconds).c_str(),
                  TwoDecimals(units).c_str());
}
