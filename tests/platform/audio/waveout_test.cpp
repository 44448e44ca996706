#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "common/wait.h"
#include "platform/audio/waveout.h"
#include "platform/system/console.h"

namespace {

using namespace std::chrono_literals;

const WAVEFORMATEX kFormat = {WAVE_FORMAT_PCM, 1, 44100, 88200, 2, 16, 0};

DWORD Position(HWAVEOUT h, UINT type = TIME_SAMPLES)
{
    MMTIME t = {};
    t.wType = type;
    EXPECT_EQ(waveOutGetPosition(h, &t, sizeof t), MMRESULT(MMSYSERR_NOERROR));
    return t.u.sample;
}

using testwait::WaitFor;

// A header that plays pcm in an endless loop.
WAVEHDR LoopingHeader(std::vector<std::int16_t>& pcm)
{
    WAVEHDR header = {};
    header.lpData = reinterpret_cast<char*>(pcm.data());
    header.dwBufferLength = DWORD(pcm.size() * 2);
    header.dwFlags = WHDR_BEGINLOOP | WHDR_ENDLOOP;
    header.dwLoops = 0xFFFFFFFFu;
    return header;
}

}  // namespace

TEST(WaveOut, RefusesWhatItDoesNotDo)
{
    HWAVEOUT h = nullptr;
    WAVEFORMATEX eightBit = kFormat;
    eightBit.wBitsPerSample = 8;
    EXPECT_EQ(waveOutOpen(&h, WAVE_MAPPER, &eightBit, 0, 0, CALLBACK_NULL), MMRESULT(WAVERR_BADFORMAT));
    WAVEFORMATEX notPcm = kFormat;
    notPcm.wFormatTag = 3;
    EXPECT_EQ(waveOutOpen(&h, WAVE_MAPPER, &notPcm, 0, 0, CALLBACK_NULL), MMRESULT(WAVERR_BADFORMAT));
    EXPECT_EQ(waveOutOpen(&h, WAVE_MAPPER, &kFormat, 1, 0, 0x30000u), MMRESULT(MMSYSERR_INVALPARAM));
    EXPECT_EQ(waveOutOpen(nullptr, WAVE_MAPPER, &kFormat, 0, 0, CALLBACK_NULL), MMRESULT(MMSYSERR_INVALPARAM));
    MMTIME t = {};
    EXPECT_EQ(waveOutGetPosition(nullptr, &t, sizeof t), MMRESULT(MMSYSERR_INVALHANDLE));
    EXPECT_EQ(waveOutReset(nullptr), MMRESULT(MMSYSERR_INVALHANDLE));
}

TEST(WaveOut, OpenPlayResetClose)
{
    std::vector<std::int16_t> pcm(4410, 100);
    WAVEHDR header = LoopingHeader(pcm);

    HWAVEOUT h = nullptr;
    ASSERT_EQ(waveOutOpen(&h, WAVE_MAPPER, &kFormat, 0, 0, CALLBACK_NULL), MMRESULT(MMSYSERR_NOERROR));
    ASSERT_NE(h, nullptr);
    HWAVEOUT second = nullptr;
    EXPECT_EQ(waveOutOpen(&second, WAVE_MAPPER, &kFormat, 0, 0, CALLBACK_NULL), MMRESULT(MMSYSERR_ALLOCATED));
    WAVEFORMATEX otherRate = kFormat;
    otherRate.nSamplesPerSec = 22050;
    EXPECT_EQ(waveOutOpen(&second, WAVE_MAPPER, &otherRate, 0, 0, CALLBACK_NULL), MMRESULT(WAVERR_BADFORMAT));

    EXPECT_EQ(waveOutWrite(h, &header, sizeof header), MMRESULT(WAVERR_UNPREPARED));
    EXPECT_EQ(waveOutPrepareHeader(h, &header, sizeof header), MMRESULT(MMSYSERR_NOERROR));
    EXPECT_TRUE(header.dwFlags & WHDR_PREPARED);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(Position(h), 0u);  // prepared, not playing

    EXPECT_EQ(waveOutWrite(h, &header, sizeof header), MMRESULT(MMSYSERR_NOERROR));
    EXPECT_TRUE(header.dwFlags & WHDR_INQUEUE);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_TRUE(WaitFor([&] { return Position(h) > 4410u; }));  // on through the loop's repetitions
    const DWORD p = Position(h);
    // No faster than real time (a chunk of slack for the device's buffer).
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_LT(p, DWORD(seconds * 44100.0) + 2048u);
    EXPECT_GE(Position(h), p);
    MMTIME bytes = {};
    bytes.wType = TIME_BYTES;
    EXPECT_EQ(waveOutGetPosition(h, &bytes, sizeof bytes), MMRESULT(MMSYSERR_NOERROR));
    EXPECT_EQ(bytes.wType, UINT(TIME_BYTES));
    EXPECT_GE(bytes.u.cb, 2 * p);

    EXPECT_EQ(waveOutReset(h), MMRESULT(MMSYSERR_NOERROR));
    EXPECT_FALSE(header.dwFlags & WHDR_INQUEUE);
    EXPECT_TRUE(header.dwFlags & WHDR_DONE);
    EXPECT_EQ(Position(h), 0u);
    EXPECT_EQ(waveOutClose(h), MMRESULT(MMSYSERR_NOERROR));

    // Opening again is a state change of the same device, and quick.
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(waveOutOpen(&h, WAVE_MAPPER, &kFormat, 0, 0, CALLBACK_NULL), MMRESULT(MMSYSERR_NOERROR));
        waveOutPrepareHeader(h, &header, sizeof header);
        waveOutWrite(h, &header, sizeof header);
        waveOutReset(h);
        waveOutClose(h);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
}

TEST(WaveOut, AHeaderWithoutLoopFlagsPlaysOnce)
{
    std::vector<std::int16_t> pcm(441, 7);
    WAVEHDR header = {};
    header.lpData = reinterpret_cast<char*>(pcm.data());
    header.dwBufferLength = DWORD(pcm.size() * 2);
    HWAVEOUT h = nullptr;
    ASSERT_EQ(waveOutOpen(&h, WAVE_MAPPER, &kFormat, 0, 0, CALLBACK_NULL), MMRESULT(MMSYSERR_NOERROR));
    waveOutPrepareHeader(h, &header, sizeof header);
    waveOutWrite(h, &header, sizeof header);
    EXPECT_TRUE(WaitFor([&] { return (header.dwFlags & WHDR_DONE) != 0; }));
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(Position(h), 441u);
    // Twice with two loops.
    header.dwFlags = WHDR_PREPARED | WHDR_BEGINLOOP | WHDR_ENDLOOP;
    header.dwLoops = 2;
    waveOutReset(h);
    waveOutWrite(h, &header, sizeof header);
    EXPECT_TRUE(WaitFor([&] { return (header.dwFlags & WHDR_DONE) != 0; }));
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(Position(h), 882u);
    waveOutReset(h);
    waveOutClose(h);
}

TEST(WaveOut, FallsBackToTheDummyDriverWhenNoDeviceOpens)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
            ConsoleCapture console;
            std::vector<std::int16_t> pcm(4410, 1);
            WAVEHDR header = LoopingHeader(pcm);
            HWAVEOUT h = nullptr;
            if (waveOutOpen(&h, WAVE_MAPPER, &kFormat, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR)
                _exit(2);
            waveOutPrepareHeader(h, &header, sizeof header);
            waveOutWrite(h, &header, sizeof header);
            std::this_thread::sleep_for(150ms);
            MMTIME t = {};
            t.wType = TIME_SAMPLES;
            waveOutGetPosition(h, &t, sizeof t);
            waveOutReset(h);
            waveOutClose(h);
            // A second open says nothing more.
            waveOutOpen(&h, WAVE_MAPPER, &kFormat, 0, 0, CALLBACK_NULL);
            waveOutClose(h);
            const std::string said = console.Text();
            std::fprintf(stderr, "%s[position advanced: %s]\n", said.c_str(), t.u.sample > 0 ? "yes" : "no");
            std::fflush(stderr);
            _exit(0);
        },
        testing::ExitedWithCode(0), "^waveOut: no sound device could be opened[^\n]*\n\\[position advanced: yes\\]");
}
