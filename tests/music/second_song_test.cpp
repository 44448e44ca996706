#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "music/music_player.h"
#include "music/second_song.h"
#include "music/synthesis.h"
#include "samples.h"

namespace {

std::uint64_t PcmHash(const SampleBuffer& song)
{
    std::vector<std::int16_t> pcm(song.size);
    ConvertToPcm(song.data, song.size, pcm.data());
    std::uint64_t h = 14695981039346656037ull;
    const auto* b = reinterpret_cast<const unsigned char*>(pcm.data());
    for (std::size_t i = 0; i < pcm.size() * 2; ++i)
        h = (h ^ b[i]) * 1099511628211ull;
    return h;
}

// FNV-1a 64 of the second song's PCM.
constexpr std::uint64_t kSong2PcmHash = 0x37b7ceb182d35e91ull;

}  // namespace

TEST(SecondSong, PartLengths)
{
    const SampleBuffer riff = Song2Riff(13230.0009765625f);
    ASSERT_EQ(riff.size, 846720u);
    EXPECT_EQ(Song2Chords(13230).size, 1862200u);
    EXPECT_EQ(SineOrgan8(1234, 440.0f).size, 1234u);
    EXPECT_EQ(Arpeggio3(100, SampleBuffer(1.0f), SampleBuffer(2.0f), SampleBuffer(3.0f), 0).size, 0u);

    SampleBuffer arp = Arpeggio3(100, SampleBuffer(1.0f), SampleBuffer(2.0f), SampleBuffer(3.0f), 1);
    ASSERT_EQ(arp.size, 201u);
    for (std::uint32_t i = 0; i < arp.size; ++i) {
        const float expected = i == 0 ? 1.0f : i == 100 ? 2.0f : i == 200 ? 3.0f : 0.0f;
        EXPECT_EQ(arp[i], expected) << i;
    }
    SampleBuffer three(std::uint32_t(300));
    EXPECT_EQ(Arpeggio3(100, three, three, three, 5).size, 1700u);  // 17 steps
}

TEST(SecondSong, SawChordStaysWithinItsRange)
{
    for (float f : {30.0f, 311.125f, 5000.0f}) {
        const SampleBuffer c = SawChord7(20000, f);
        ASSERT_EQ(c.size, 20000u);
        for (std::uint32_t i = 0; i < c.size; ++i)
            ASSERT_LE(std::fabs(c[i]), 0.7f + 1e-6f) << f << " " << i;
    }
}

TEST(SecondSong, WholeSongRendersBitIdenticallyOnAnyNumberOfThreads)
{
    const SampleBuffer song = ComposeSong2(1);
    ASSERT_EQ(song.size, 4402360u);
    bool finite = true;
    for (std::uint32_t i = 0; i < song.size && finite; ++i)
        finite = std::isfinite(song[i]);
    EXPECT_TRUE(finite);
    const std::uint64_t hash = PcmHash(song);
    EXPECT_EQ(hash, kSong2PcmHash) << std::hex << "0x" << hash;

    // The first part holds only the arpeggios with their echo.
    SampleBuffer arps = Song2Arpeggios(13230);
    ASSERT_EQ(arps.size, 859950u);
    arps.MixAt(arps, 10000, 0.2f, 0.8f);
    ASSERT_EQ(arps.size, 869950u);
    EXPECT_EQ(std::memcmp(song.data, arps.data, 846720 * sizeof(float)), 0);

    const SampleBuffer parallel = ComposeSong2(8);
    ASSERT_EQ(parallel.size, song.size);
    EXPECT_EQ(std::memcmp(parallel.data, song.data, std::size_t(song.size) * 4), 0);
}
