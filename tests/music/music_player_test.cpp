#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "common/wait.h"
#include "music/music_player.h"
#include "music/sample_buffer.h"
#include "platform/system/console.h"

namespace {

using namespace std::chrono_literals;

std::vector<std::int16_t> Convert(const std::vector<float>& x)
{
    std::vector<std::int16_t> out(x.size());
    ConvertToPcm(x.data(), std::uint32_t(x.size()), out.data());
    return out;
}

// A small song of distinct, non-zero samples 1, 2, ..., n.
std::vector<std::int16_t>& SmallSong(std::uint32_t n)
{
    static std::vector<std::int16_t> samples;
    samples.resize(n);
    for (std::uint32_t i = 0; i < n; ++i)
        samples[i] = std::int16_t(i + 1);
    UseMusicSamples(samples.data(), n);
    return samples;
}

std::uint32_t PositionAfter(std::chrono::milliseconds wait)
{
    std::this_thread::sleep_for(wait);
    return GetMusicPosition();
}

using testwait::WaitFor;

}  // namespace

TEST(Pcm, Rounding)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    auto at = [](float v) { return v / 32000.0f; };
    const struct {
        float x;
        std::int16_t pcm;
    } cases[] = {
        {1.0f, 32000}, {-1.0f, -32000}, {2.0f, 32000},   {-3.0f, -32000}, {0.0f, 0},
        {nan, 0},      {-nan, 0},       {inf, 32000},    {-inf, -32000},  {at(0.5f), 0},
        {at(1.5f), 2}, {at(2.5f), 2},   {at(3.5f), 4},   {at(-2.5f), -2}, {at(-3.5f), -4},
        {at(2.4f), 2}, {at(2.6f), 3},   {at(-2.6f), -3}, {0.5f, 16000},   {1.0001f, 32000},
    };
    // The ties are ties after the product.
    for (float tie : {0.5f, 1.5f, 2.5f, 3.5f, -2.5f, -3.5f})
        ASSERT_EQ(float(double(at(tie)) * 32000.0), tie);
    // One at a time (the scalar path) and all together (the vector path).
    std::vector<float> all;
    for (const auto& c : cases) {
        EXPECT_EQ(Convert({c.x})[0], c.pcm) << c.x;
        all.push_back(c.x);
    }
    const std::vector<std::int16_t> pcm = Convert(all);
    for (std::size_t i = 0; i < all.size(); ++i)
        EXPECT_EQ(pcm[i], cases[i].pcm) << all[i];
}

TEST(MusicPlayer, GenerateSongWithSamplesInPlaceRendersNothing)
{
    SmallSong(100);
    g_sampleBuffersDestroyed = 5;
    ConsoleCapture console;
    GenerateSong();
    EXPECT_EQ(console.Text(), "");
    EXPECT_EQ(g_sampleBuffersDestroyed.load(), 489u);
    EXPECT_DOUBLE_EQ(GetSongProgress(), 489.0 / 488.0);
}

TEST(MusicPlayer, ClosedDeviceDoesNothing)
{
    SmallSong(1000);
    StopMusic();
    PlayMusic();
    EXPECT_FALSE(g_musicOpen);
    EXPECT_EQ(GetMusicPosition(), 0u);
}

TEST(MusicPlayer, OpenDoesNotPlayAndPlayAdvances)
{
    SmallSong(44100);
    OpenMusic();
    ASSERT_TRUE(g_musicOpen);
    EXPECT_EQ(PositionAfter(60ms), 0u);
    PlayMusic();
    EXPECT_TRUE(WaitFor([] { return GetMusicPosition() > 0; }));
    const std::uint32_t p1 = GetMusicPosition();
    // A second open neither reopens nor restarts.
    OpenMusic();
    EXPECT_TRUE(WaitFor([&] { return GetMusicPosition() > p1; }));
    StopMusic();
    EXPECT_FALSE(g_musicOpen);
    EXPECT_EQ(GetMusicPosition(), 0u);
}

TEST(MusicPlayer, SeeksOutsideTheSongStartAtZero)
{
    const std::uint32_t n = 44100;
    SmallSong(n);
    for (std::uint32_t position : {n, n + 7, 0x80000000u, 0xFFFFFFFFu}) {
        SeekMusic(position);
        ASSERT_TRUE(g_musicOpen);
        EXPECT_EQ(g_musicStartSample, 0u) << position;
        EXPECT_LT(GetMusicPosition(), n / 2) << position;
        EXPECT_EQ(g_waveHeader.lpData, reinterpret_cast<char*>(g_musicSamples));
        EXPECT_EQ(g_waveHeader.dwBufferLength, 2 * n);
    }
    StopMusic();
}

TEST(MusicPlayer, SeekPlaysFromThePositionAndKeepsCounting)
{
    const std::uint32_t n = 441;  // 10 ms
    SmallSong(n);
    SeekMusic(n - 1);  // the last sample, looping
    EXPECT_EQ(g_musicStartSample, n - 1);
    EXPECT_EQ(g_waveHeader.dwBufferLength, 2u);
    EXPECT_GE(GetMusicPosition(), n - 1);
    EXPECT_TRUE(WaitFor([&] { return GetMusicPosition() > n; }));  // counts on through the repetitions
    SeekMusic(100);
    EXPECT_EQ(g_waveHeader.lpData, reinterpret_cast<char*>(g_musicSamples + 100));
    EXPECT_EQ(g_waveHeader.dwBufferLength, 2 * (n - 100));
    EXPECT_GE(GetMusicPosition(), 100u);
    // An open after a seek and a stop counts from the song's start again.
    StopMusic();
    OpenMusic();
    EXPECT_EQ(g_musicStartSample, 0u);
    EXPECT_EQ(GetMusicPosition(), 0u);
    EXPECT_EQ(g_waveHeader.lpData, reinterpret_cast<char*>(g_musicSamples));
    PlayMusic();
    EXPECT_TRUE(WaitFor([] { return GetMusicPosition() > 0; }));
    StopMusic();
}

TEST(MusicPlayer, SeeksEveryFrameKeepThePlayerResponsive)
{
    SmallSong(44100);
    for (std::uint32_t i = 0; i < 200; ++i)
        SeekMusic(i * 100);
    EXPECT_EQ(g_musicStartSample, 19900u);
    EXPECT_GE(GetMusicPosition(), 19900u);
    StopMusic();
}

TEST(MusicPlayer, DiskDriverPlaysTheSongFromTheSeekPosition)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // The child re-runs this body: it takes the file name from the parent.
    if (!std::getenv("QUORVELAN_TEST_DISK_AUDIO_FILE")) {
        const std::string name = testing::TempDir() + "quorvelan_disk_audio_" + std::to_string(getpid()) + ".raw";
        setenv("QUORVELAN_TEST_DISK_AUDIO_FILE", name.c_str(), 1);
    }
    const std::string file = std::getenv("QUORVELAN_TEST_DISK_AUDIO_FILE");
    const std::uint32_t n = 3000, seek = 2500;
    // The child process plays through SDL's disk driver, which writes what it
    // is given to a file.
    EXPECT_EXIT(
        {
            setenv("SDL_AUDIODRIVER", "disk", 1);
            setenv("SDL_DISKAUDIOFILE", file.c_str(), 1);
            SmallSong(n);
            SeekMusic(seek);
            std::this_thread::sleep_for(300ms);
            SeekMusic(n - 1);  // the last sample, alone in a loop
            std::this_thread::sleep_for(200ms);
            StopMusic();
            std::this_thread::sleep_for(50ms);
            std::fflush(nullptr);
            _exit(0);
        },
        testing::ExitedWithCode(0), "");
    std::ifstream in(file, std::ios::binary);
    ASSERT_TRUE(in) << file;
    std::vector<std::int16_t> played;
    std::int16_t s;
    while (in.read(reinterpret_cast<char*>(&s), 2))
        played.push_back(s);
    std::remove(file.c_str());
    // The song's samples are never 0, so the silence before, between the
    // seeks and after can be dropped.
    std::vector<std::int16_t> sound;
    for (std::int16_t v : played)
        if (v != 0)
            sound.push_back(v);
    // Then: samples seek+1, ..., n (the song's values) looping, then the last
    // one, n, over and over.
    std::size_t tail = sound.size();
    while (tail > 0 && sound[tail - 1] == std::int16_t(n))
        --tail;
    ASSERT_GT(tail, std::size_t(2 * (n - seek))) << "too little was played from the first seek";
    ASSERT_GT(sound.size() - tail, std::size_t(1000)) << "too little was played from the second seek";
    for (std::size_t i = 0; i < tail; ++i) {
        const std::int16_t expected = std::int16_t(seek + 1 + i % (n - seek));
        ASSERT_EQ(sound[i], expected) << "sample " << i;
    }
}
