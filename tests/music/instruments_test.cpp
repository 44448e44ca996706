#include <gtest/gtest.h>

#include "music/instruments.h"
#include "music/synthesis.h"
#include "samples.h"

TEST(Instruments, HashNoise)
{
    EXPECT_EQ(HashNoise(0.0f), -1.0f);
    EXPECT_EQ(HashNoise(1.0f), float(3974.0 / 32767.0 - 1.0));
    EXPECT_FLOAT_EQ(HashNoise(1.0f), -0.87871945f);
    EXPECT_EQ(HashNoise(2.0f), float(36970.0 / 32767.0 - 1.0));
    EXPECT_FLOAT_EQ(HashNoise(2.0f), 0.1282693f);
    EXPECT_EQ(HashNoise(1000.0f), float(40664.0 / 32767.0 - 1.0));
    EXPECT_EQ(HashNoise(1.75f), HashNoise(1.0f));  // the key is truncated
}

TEST(Instruments, SampleHoldNoise)
{
    // Hold 2 (11025 Hz): the first value lasts 3 samples, later ones 2.
    SampleBuffer n = SampleHoldNoise(9, 11025.0f);
    const std::uint32_t key = 9 + 11025;
    ExpectSamples(n, {HashNoise(float(key)), HashNoise(float(key)), HashNoise(float(key)), HashNoise(float(key + 1)),
                      HashNoise(float(key + 1)), HashNoise(float(key + 2)), HashNoise(float(key + 2)),
                      HashNoise(float(key + 3)), HashNoise(float(key + 3))});
    // Hold 1 (22050 Hz): the first value lasts 2 samples, then one each.
    SampleBuffer m = SampleHoldNoise(4, 22050.0f);
    const std::uint32_t k2 = 4 + 22050;
    ExpectSamples(m, {HashNoise(float(k2)), HashNoise(float(k2)), HashNoise(float(k2 + 1)), HashNoise(float(k2 + 2))});
    // 1024000 samples at 7000 Hz start at key 1031000.
    SampleBuffer s = SampleHoldNoise(1024000, 7000.0f);
    EXPECT_EQ(s[0], HashNoise(1031000.0f));
}

TEST(Instruments, Envelope5)
{
    SampleBuffer e = Envelope5(200, 50, 1.0f, 1000, 100, 0.4f, 6650);
    ASSERT_EQ(e.size, 8000u);
    EXPECT_EQ(e[0], 0.0f);
    for (std::uint32_t i : {200u, 225u, 249u})
        EXPECT_EQ(e[i], 1.0f) << i;
    EXPECT_EQ(e[250], 1.0f);  // the decay starts at the peak
    for (std::uint32_t i : {1250u, 1300u, 1349u})
        EXPECT_EQ(e[i], 0.4f) << i;
    EXPECT_EQ(e[1350], 0.4f);
    EXPECT_GT(e[7999], 0.0f);
    EXPECT_NEAR(e[7999], 0.4 / 6650, 1e-9);
    EXPECT_EQ(Envelope5(0, 0, 1.0f, 0, 0, 0.5f, 0).size, 0u);
}

TEST(Instruments, Lengths)
{
    const struct {
        const char* name;
        SampleBuffer sound;
        std::uint32_t length;
    } cases[] = {
        {"Tick(4.5, 0.2)", Tick(4.5f, 0.2f), 2200},
        {"CombSquare(900, 80, 0.332)", CombSquare(900.0f, 80, 0.332f), 2100},
        {"SweepHit short", SweepHit(60.0f, 30.0f, 1000, 0.5f, 0.1f), 2200},
        {"SweepHit even", SweepHit(60.0f, 30.0f, 16000, 0.8f, 0.05f), 16000},
        {"SweepHit odd", SweepHit(60.0f, 30.0f, 16001, 0.8f, 0.05f), 16000},
        {"Snare long", Snare(110.0f, 105.0f, 41000, 10000.0f), 20500},
        {"Snare short", Snare(110.0f, 105.0f, 11000, 10000.0f), 5500},
        {"DetunedSaws", DetunedSaws(1234, 65.4f), 1234},
        {"SawPad", SawPad(1234, 65.4f), 1234},
        {"SawPad4", SawPad4(1234, 65.4f), 1234},
        {"SinePluck", SinePluck(1234, 261.0f), 1234},
        {"LeadBell", LeadBell(1234, 1568.0f), 1234},
        {"PadNote 64", PadNote(8000, 64, 65.4f), 552000},
        {"PadNote 8", PadNote(8000, 8, 65.4f), 104000},
        {"BandNoise", BandNoise(777, 7000.0f, 0.0f, 0.0f), 777},
        {"NoiseHit", NoiseHit(3000.0f, 555), 555},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.sound.size, c.length) << c.name;
}

TEST(Instruments, OddSweepHitWrapsEnvelopeOntoFirstSample)
{
    // With an odd length the body is one sample short of the envelope, so the
    // envelope's last sample multiplies the body's first one again.
    SampleBuffer even = SweepHit(60.0f, 30.0f, 16000, 0.0f, 0.0f);
    SampleBuffer odd = SweepHit(60.0f, 30.0f, 16001, 0.0f, 0.0f);
    ASSERT_EQ(odd.size, 16000u);
    EXPECT_EQ(odd[100] == even[100], false);  // different envelope, different sound
    EXPECT_NEAR(odd[0], 0.0f, 1e-6f);         // envelope's last value is ~0
}

TEST(Instruments, DrumPattern)
{
    const std::uint32_t slot = 16000;
    SampleBuffer kick(1.0f), fill(2.0f), fillSnare(std::uint32_t(40000)), end(4.0f), snare(8.0f);
    for (std::uint32_t i = 0; i < fillSnare.size; ++i)
        fillSnare[i] = 16.0f;
    SampleBuffer bar = DrumPattern(kick, fill, fillSnare, end, snare, slot);
    ASSERT_EQ(bar.size, 256000u);
    EXPECT_TRUE(TailIsZero(bar));
    const struct {
        std::uint32_t at;
        float value;
    } hits[] = {{0, 1},        {3 * slot, 1},       {4 * slot, 8},       {5 * slot, 2},  {7 * slot, 1},
                {8 * slot, 1}, {9 * slot, 1},       {11 * slot, 1},      {12 * slot, 8}, {14 * slot, 2},
                {232000, 16},  {15 * slot, 16 + 4}, {15 * slot + 1, 16}, {1, 0},         {231999, 0},
                {255999, 16}};
    for (auto h : hits)
        EXPECT_EQ(bar[h.at], h.value) << "sample " << h.at;
}

TEST(Instruments, SameArgumentsSameSamples)
{
    EXPECT_EQ(Samples(Snare(110.0f, 105.0f, 3000, 10000.0f)), Samples(Snare(110.0f, 105.0f, 3000, 10000.0f)));
    EXPECT_EQ(Samples(BandNoise(500, 0.5f, 0.1f, 0.2f)), Samples(BandNoise(500, 0.5f, 0.1f, 0.2f)));
}
