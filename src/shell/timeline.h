#pragma once
// The timeline of the frame loop: keys, clock and music turned into the
// playback position of each frame, and the status text of the caption.
#include <cstddef>
#include <functional>

#include "platform/system/types.h"

struct FrameState {
    int position = 0;  // music samples at 44100 per second; may go below 0
    bool running = false;
    bool musicSync = false;
    long previousClock = 0;  // milliseconds
    long currentClock = 0;
    int frameStep = 0;  // samples between the last two clock readings
    char statusText[1024] = {};
};

// What the timeline calls outside the shell: the intro's reload and the
// music control.
struct TimelineCalls {
    std::function<void()> load;
    std::function<void(DWORD)> seekMusic;
    std::function<void()> stopMusic;
    std::function<DWORD()> getMusicPosition;
};

// Milliseconds to samples, rounded to nearest, halves to even.
int FrameStepSamples(long milliseconds);

// One frame's timeline: takes the clock reading, reacts to F5, F4, Space,
// Backspace and the arrows, and sets the new position.
void AdvanceTimeline(FrameState& state, long clockNow, const BYTE keyDown[256], const BYTE keyPressed[256],
                     const TimelineCalls& calls);

// " scene: S, time: T seconds U units"; a negative position shows a minus
// sign and the time of its absolute value.
void WriteStatusText(char* text, std::size_t size, int position, const std::function<int(DWORD)>& findSceneIndex,
                     const std::function<float(DWORD)>& timeInUnits);
