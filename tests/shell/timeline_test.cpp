// The frame loop's timeline without a window: the state tables, the keys in
// their order, the music calls, and the status text.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "platform/window/window.h"
#include "shell/timeline.h"

namespace {

struct Fake {
    std::vector<std::string> calls;
    DWORD musicPosition = 0;
    TimelineCalls Calls()
    {
        return TimelineCalls{
            [this] { calls.push_back("Load"); },
            [this](DWORD p) { calls.push_back("Seek " + std::to_string(static_cast<int>(p))); },
            [this] { calls.push_back("Stop"); },
            [this] {
                calls.push_back("Position");
                return musicPosition;
            },
        };
    }
};

struct Keys {
    BYTE down[256] = {};
    BYTE pressed[256] = {};
};

// One frame of ms milliseconds from the state given.
FrameState Frame(FrameState s, long ms, const Keys& k, Fake& fake)
{
    AdvanceTimeline(s, s.currentClock + ms, k.down, k.pressed, fake.Calls());
    return s;
}

FrameState State(bool running, bool musicSync, int position = 1000)
{
    FrameState s;
    s.running = running;
    s.musicSync = musicSync;
    s.position = position;
    s.previousClock = s.currentClock = 5000;
    return s;
}

TEST(Timeline, FrameSteps)
{
    struct Case {
        long ms;
        int samples;
    } cases[] = {{0, 0}, {5, 220}, {15, 662}, {16, 706}, {1000, 44100}, {-5, -220}, {200, 8820}};
    for (const Case& c : cases)
        EXPECT_EQ(FrameStepSamples(c.ms), c.samples) << c.ms;
    // 5 ms is 220.5 samples: the half goes to the even neighbour.
    EXPECT_EQ(FrameStepSamples(5), 220);
    // Huge clock jumps saturate instead of overflowing.
    EXPECT_EQ(FrameStepSamples(std::numeric_limits<long>::max() / 2), std::numeric_limits<int>::max());
}

TEST(Timeline, StateTable)
{
    // (running, musicSync), key, new state, music calls. F4 and Space only.
    struct Case {
        bool running, sync;
        int key;
        bool newRunning, newSync;
        std::vector<std::string> calls;
    } cases[] = {
        {false, false, VK_F4, false, true, {}},
        {false, false, VK_SPACE, true, false, {"Stop"}},
        {true, false, VK_F4, true, true, {"Seek 1000", "Position"}},
        {true, false, VK_SPACE, false, false, {}},
        {false, true, VK_F4, false, false, {}},
        {false, true, VK_SPACE, true, true, {"Seek 1000", "Position"}},
        {true, true, VK_F4, true, false, {"Stop"}},
        {true, true, VK_SPACE, false, true, {"Stop"}},
    };
    for (const Case& c : cases) {
        Fake fake;
        fake.musicPosition = 1000;
        Keys k;
        k.pressed[c.key] = 1;
        FrameState s = Frame(State(c.running, c.sync), 0, k, fake);
        EXPECT_EQ(s.running, c.newRunning) << c.running << c.sync << c.key;
        EXPECT_EQ(s.musicSync, c.newSync) << c.running << c.sync << c.key;
        // Once running and following, a frame without a scrub key reads the player.
        EXPECT_EQ(fake.calls, c.calls) << c.running << c.sync << c.key;
    }
}

TEST(Timeline, WherePositionComesFrom)
{
    Keys none;
    Fake fake;
    // Paused: only keys move it.
    EXPECT_EQ(Frame(State(false, false), 16, none, fake).position, 1000);
    EXPECT_EQ(Frame(State(false, true), 16, none, fake).position, 1000);
    // Running and free: the clock.
    EXPECT_EQ(Frame(State(true, false), 16, none, fake).position, 1706);
    EXPECT_TRUE(fake.calls.empty());
    // Running and following: the player.
    fake.musicPosition = 123456;
    EXPECT_EQ(Frame(State(true, true), 16, none, fake).position, 123456);
    EXPECT_EQ(fake.calls, (std::vector<std::string>{"Position"}));
}

TEST(Timeline, ScrubKeys)
{
    // From 1000 with a 16 ms step of 706 samples, running and free.
    struct Case {
        std::vector<int> down;
        bool backspace;
        int position;
    } cases[] = {
        {{}, false, 1706},
        {{VK_RIGHT}, false, 1706},  // same step as not holding it
        {{VK_LEFT}, false, 294},    // backwards at normal speed
        {{VK_UP}, false, 1000 - 16 * 706},
        {{VK_DOWN}, false, 1000 + 16 * 706},
        {{VK_LEFT, VK_RIGHT}, false, 1706},          // Right wins
        {{VK_UP, VK_DOWN}, false, 1000 + 16 * 706},  // Down wins
        {{VK_LEFT, VK_RIGHT, VK_UP}, false, 1000 - 16 * 706},
        {{}, true, 0},
        {{VK_LEFT}, true, 294},  // the arrow wins over Backspace
    };
    for (const Case& c : cases) {
        Keys k;
        for (int key : c.down)
            k.down[key] = 1;
        k.pressed[VK_BACK] = c.backspace;
        Fake fake;
        EXPECT_EQ(Frame(State(true, false), 16, k, fake).position, c.position) << &c - cases;
    }
}

TEST(Timeline, ScrubWhileFollowingSeeks)
{
    Keys k;
    k.down[VK_RIGHT] = 1;
    Fake fake;
    fake.musicPosition = 777;
    FrameState s = Frame(State(true, true), 16, k, fake);
    EXPECT_EQ(s.position, 1706);
    EXPECT_EQ(fake.calls, (std::vector<std::string>{"Seek 1706"}));
    // A frame whose step is 0 reads the player instead.
    fake.calls.clear();
    s = Frame(s, 0, k, fake);
    EXPECT_EQ(s.position, 777);
    EXPECT_EQ(fake.calls, (std::vector<std::string>{"Position"}));
    // With the output closed the player says 0.
    fake.musicPosition = 0;
    EXPECT_EQ(Frame(State(true, true), 16, Keys{}, fake).position, 0);
}

TEST(Timeline, BackspaceInEveryState)
{
    for (int st = 0; st < 4; ++st) {
        Keys k;
        k.pressed[VK_BACK] = 1;
        Fake fake;
        fake.musicPosition = 5;
        FrameState s = Frame(State(st & 1, st & 2), 16, k, fake);
        EXPECT_EQ(s.position, 0) << st;
        if (st == 3) {
            EXPECT_EQ(fake.calls, (std::vector<std::string>{"Seek 0"}));
        }
    }
    // Already at 0 while following: nothing to seek, the player is read.
    Keys k;
    k.pressed[VK_BACK] = 1;
    Fake fake;
    fake.musicPosition = 5;
    EXPECT_EQ(Frame(State(true, true, 0), 16, k, fake).position, 5);
    EXPECT_EQ(fake.calls, (std::vector<std::string>{"Position"}));
}

TEST(Timeline, F4ThenSpaceInOneFrame)
{
    Keys k;
    k.pressed[VK_F4] = 1;
    k.pressed[VK_SPACE] = 1;
    Fake fake;
    FrameState s = Frame(State(true, false), 16, k, fake);
    EXPECT_FALSE(s.running);
    EXPECT_TRUE(s.musicSync);
    EXPECT_EQ(fake.calls, (std::vector<std::string>{"Seek 1000", "Stop"}));
}

TEST(Timeline, ReloadAndClock)
{
    Keys k;
    k.pressed[VK_F5] = 1;
    Fake fake;
    FrameState s = Frame(State(false, false), 15, k, fake);
    EXPECT_EQ(fake.calls, (std::vector<std::string>{"Load"}));
    EXPECT_EQ(s.previousClock, 5000);
    EXPECT_EQ(s.currentClock, 5015);
    EXPECT_EQ(s.frameStep, 662);
}

TEST(Timeline, PausedLeftGoesNegativeAndPositionsWrap)
{
    Keys k;
    k.down[VK_LEFT] = 1;
    Fake fake;
    EXPECT_EQ(Frame(State(false, false, 0), 16, k, fake).position, -706);
    k.down[VK_LEFT] = 0;
    k.down[VK_DOWN] = 1;
    int top = std::numeric_limits<int>::max();
    EXPECT_EQ(Frame(State(false, false, top), 1, k, fake).position,
              static_cast<int>(static_cast<unsigned>(top) + 16u * 44u));
}

std::string Status(int position, int scene = 0, float unitsPerSample = 1.0f / 11025.0f)
{
    char text[1024];
    WriteStatusText(
        text, sizeof text, position, [scene](DWORD) { return scene; },
        [unitsPerSample](DWORD p) { return static_cast<float>(p) * unitsPerSample; });
    return text;
}

TEST(Timeline, StatusText)
{
    EXPECT_EQ(Status(0), " scene: 0, time: 0.00 seconds 0.00 units");
    EXPECT_EQ(Status(46305, 2), " scene: 2, time: 1.05 seconds 4.20 units");
    EXPECT_EQ(Status(44100 * 12 + 13230, -1), " scene: -1, time: 12.30 seconds 49.20 units");
    // Negative positions: a minus sign and the absolute value.
    EXPECT_EQ(Status(-46305, -1), " scene: -1, time: -1.05 seconds -4.20 units");
    EXPECT_EQ(Status(-100, -1), " scene: -1, time: 0.00 seconds -0.01 units");
    EXPECT_EQ(Status(std::numeric_limits<int>::min(), -1).substr(0, 25), " scene: -1, time: -48695.");
    // A unit of 0 samples: no number, and no undefined conversion.
    EXPECT_EQ(Status(0, -1, std::nanf("")), " scene: -1, time: 0.00 seconds nan units");
    EXPECT_EQ(Status(5, -1, std::numeric_limits<float>::infinity()), " scene: -1, time: 0.00 seconds inf units");
}

TEST(Timeline, StatusTextIsBounded)
{
    char text[16];
    std::memset(text, 'x', sizeof text);
    WriteStatusText(
        text, 10, 46305, [](DWORD) { return 1; }, [](DWORD) { return 1.0f; });
    EXPECT_EQ(std::string(text), " scene: 1");
    EXPECT_EQ(text[10], 'x');
}

}  // namespace
