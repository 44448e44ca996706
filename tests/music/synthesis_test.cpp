#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>

#include "music/synthesis.h"
#include "samples.h"

TEST(Synthesis, NoteFrequency)
{
    const struct {
        int n;
        float hz;
    } cases[] = {{0, 523.25f},  {-3, 440.0f},     {9, 880.0f},        {-12, 261.625f},    {12, 1046.5f},
                 {31, 3136.0f}, {-36, 65.40625f}, {-38, 58.2734375f}, {-28, 103.828125f}, {27, 2489.0f}};
    for (auto c : cases)
        EXPECT_EQ(NoteFrequency(c.n), c.hz) << "note " << c.n;
}

TEST(Synthesis, Oscillators)
{
    ExpectSamples(SawWave(6, 11025.0f), {-0.5f, 0, 0.5f, 1, -0.5f, 0});
    ExpectSamples(SquareWave(6, 11025.0f), {1, 1, 0, 0, 1, 1});
    SampleBuffer sine = SineWave(5, 11025.0f);
    ASSERT_EQ(sine.size, 5u);
    EXPECT_EQ(sine[0], 0.0f);
    EXPECT_EQ(sine[1], 1.0f);
    EXPECT_NEAR(sine[2], -3.26e-7f, 0.01e-7f);
    EXPECT_EQ(sine[3], -1.0f);
    EXPECT_NEAR(sine[4], 6.52e-7f, 0.01e-7f);
    EXPECT_NE(sine[2], 0.0f);  // 355/113 and the float argument, not 0
    ExpectSamples(SineWave(3, 11025.0f), {0, 1, sine[2]});
}

TEST(Synthesis, OscillatorsWithNonFiniteOrHugeStepsEnd)
{
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const auto start = std::chrono::steady_clock::now();
    for (float f : {inf, -inf, nan, 1e30f, 3e38f}) {
        SampleBuffer saw = SawWave(64, f);
        SampleBuffer square = SquareWave(64, f);
        EXPECT_EQ(saw.size, 64u);
        EXPECT_EQ(square.size, 64u);
        for (std::uint32_t i = 0; i < 64; ++i) {
            EXPECT_FALSE(saw[i] > 1.0f) << f;
        }
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(Synthesis, OscillatorsWithLargeStepsWrapAsTheLoopDoes)
{
    // Steps of thousands to millions of periods a sample: the wrap takes its
    // result at once, and it is the one of subtracting 2 until the phase is
    // at most 1.
    for (float f : {44100.0f, 1.3e5f, 2.2e8f, 7e11f}) {
        const float step = float(double(f) * 2.0 / 44100.0);
        const std::uint32_t n = f > 1e10f ? 3 : 16;
        float saw = -1.0f, square = 0.0f;
        const SampleBuffer saws = SawWave(n, f), squares = SquareWave(n, f);
        for (std::uint32_t k = 0; k < n; ++k) {
            saw = saw + step;
            while (saw > 1.0f)
                saw = saw - 2.0f;
            square = square + step;
            while (square > 1.0f)
                square = square - 2.0f;
            EXPECT_EQ(saws[k], saw) << f << " sample " << k;
            EXPECT_EQ(squares[k], square > 0.0f ? 1.0f : 0.0f) << f << " sample " << k;
        }
    }
}

TEST(Synthesis, OnePoleFilters)
{
    const SampleBuffer half(22050.0f);
    const SampleBuffer full(44100.0f);
    ExpectSamples(Buf({0, 1, 1, 1}).LowPass(half), {0, 0.5f, 0.75f, 0.875f});
    ExpectSamples(Buf({0, 1, 1, 1}).HighPass(half), {0, 0.5f, 0.25f, 0.125f});
    ExpectSamples(Buf({0.3f, 0.3f, 0.3f}).LowPass(SampleBuffer(500.0f)), {0.3f, 0.3f, 0.3f});
    ExpectSamples(Buf({0.3f, 0.3f, 0.3f}).HighPass(SampleBuffer(500.0f)), {0, 0, 0});
    ExpectSamples(Buf({0.1f, -0.7f, 0.4f}).LowPass(full), {0.1f, -0.7f, 0.4f});
    ExpectSamples(Buf({0.1f, -0.7f, 0.4f}).HighPassed(full), {0, 0, 0});
    // A cutoff per sample, read cyclically: 44100 passes, 22050 halves.
    ExpectSamples(Buf({0, 1, 1, 1}).LowPass(Buf({44100, 22050})), {0, 0.5f, 1, 0.5f * 1 + 0.5f * 1});
}

TEST(Synthesis, FiltersIgnoreEmptyBuffersAndEmptyCutoffs)
{
    SampleBuffer empty;
    empty.LowPass(SampleBuffer(100.0f));
    empty.BoxLowPass(SampleBuffer(100.0f));
    EXPECT_EQ(empty.size, 0u);
    ExpectSamples(Buf({1, 2}).LowPass(SampleBuffer()), {1, 2});
    ExpectSamples(Buf({1, 2}).BoxLowPass(SampleBuffer()), {1, 2});
}

TEST(Synthesis, BoxFilter)
{
    ExpectSamples(Buf({1, 3, 5, 7}).BoxLowPass(SampleBuffer(22050.0f)), {2, 4, 6, 4.5f});
    ExpectSamples(Buf({1, 3, 5, 7}).BoxHighPass(SampleBuffer(22050.0f)), {-1, -1, -1, 4});
}

TEST(Synthesis, Shapers)
{
    ExpectSamples(Buf({0.25f, 0.5f, 1, 2, 3, -0.5f}).Saturate(1.0f), {0.4375f, 0.75f, 1, 0, -3, -0.75f});
    ExpectSamples(Buf({0.5f}).Saturate(0.5f), {0.625f});
    ExpectSamples(Buf({0.5f, -2}).Saturate(0.0f), {0.5f, -2});
    ExpectSamples(Buf({0, -0.2f, 0.2f}).AddAwayFromZero(0.1f), {0.1f, -0.2f - 0.1f, 0.2f + 0.1f});
    ExpectSamples(Buf({0.2f, 0.7f, -3}).ClipTop(0.25f), {0.2f, 0.5f, -3});
    ExpectSamples(Buf({0.5f, 2.25f, 3.5f}).Waveshape(Buf({0, 10, 20, 30})), {5, 22.5f, 15});
    ExpectSamples(Waveshape(Buf({1.5f}), Buf({0, 10, 20})), {15});
}

TEST(Synthesis, IntegralsAndAverages)
{
    const SampleBuffer b = Buf({1, 2, 3, 4});
    EXPECT_EQ(b.Integrate(0.5f, 2.5f), 4.0f);
    EXPECT_EQ(b.Integrate(1.25f, 1.75f), 1.0f);
    EXPECT_EQ(b.AverageOver(0.5f, 2.5f), 2.0f);
    EXPECT_EQ(b.AverageOver(1.25f, 1.75f), 2.0f);
    EXPECT_EQ(b.AverageOver(3.0f, 4.0f), 4.0f);
    EXPECT_EQ(b.AverageOver(3.5f, 4.5f), 2.5f);
    EXPECT_EQ(b.Sum(1, 3), 5.0f);
    EXPECT_EQ(b.Sum(2, 6), 3.0f + 4 + 1 + 2);  // cyclic past the end
    EXPECT_EQ(b.Average(1, 3), 2.5f);
    EXPECT_EQ(SampleBuffer().Sum(0, 3), 0.0f);
}

TEST(Synthesis, EmptyIntervalsAndNegativePositionsStayInside)
{
    const SampleBuffer b = Buf({1, 2, 3, 4});
    // An empty interval gives the value of its cell, not NaN.
    EXPECT_EQ(b.AverageOver(2.5f, 2.5f), 3.0f);
    EXPECT_EQ(b.AverageOver(5.0f, 5.0f), 2.0f);
    EXPECT_EQ(SampleBuffer().AverageOver(1.0f, 1.0f), 0.0f);
    // Negative positions read the cyclically extended signal.
    EXPECT_EQ(b.Integrate(-1.0f, 0.0f), 4.0f);
    EXPECT_EQ(b.Integrate(-0.5f, 0.5f), 2.5f);
    EXPECT_EQ(b.AverageOver(-4.0f, 0.0f), 2.5f);
    EXPECT_EQ(b.InterpolateCyclic(-0.5f), 2.5f);
    EXPECT_EQ(b.InterpolateCyclic(-4.75f), 3.25f);
    EXPECT_EQ(b.InterpolateClamped(-3.0f), 1.0f);
    EXPECT_EQ(b.InterpolateClamped(4.0f), 4.0f);
    EXPECT_EQ(b.InterpolateClamped(1e9f), 4.0f);
    // Far below 0 the cell keeps its remainder by 2^32, as far above 0 it
    // keeps its low 32 bits: the read spans one cell, not 10^19 of them.
    EXPECT_EQ(b.Integrate(-1e19f, 0.0f), 1e19f);
    EXPECT_EQ(b.AverageOver(-1e19f, 0.0f), 1.0f);
    EXPECT_EQ(b.InterpolateCyclic(-1e30f), -1e30f);
    EXPECT_EQ(SampleBuffer().InterpolateCyclic(1.0f), 0.0f);
    EXPECT_EQ(SampleBuffer().InterpolateClamped(1.0f), 0.0f);
}

TEST(Synthesis, Interpolation)
{
    const SampleBuffer b = Buf({0, 10, 20, 30});
    EXPECT_EQ(b.InterpolateCyclic(2.25f), 22.5f);
    EXPECT_EQ(b.InterpolateCyclic(3.5f), 15.0f);
    EXPECT_EQ(b.InterpolateCyclic(5.5f), 15.0f);
    EXPECT_EQ(b.InterpolateClamped(3.5f), 30.0f);
    EXPECT_EQ(b.InterpolateClamped(1.5f), 15.0f);
}

TEST(Synthesis, TableReaders)
{
    const SampleBuffer table = Buf({5, 6, 7});
    SampleBuffer ones(std::uint32_t(5));
    for (std::uint32_t i = 0; i < 5; ++i)
        ones[i] = 1.0f;
    ExpectSamples(ReadWavetable(ones, table), {5, 6, 7, 5, 6});
    SampleBuffer halves(std::uint32_t(6));
    for (std::uint32_t i = 0; i < 6; ++i)
        halves[i] = 0.5f;
    ExpectSamples(ReadWavetable(halves, Buf({0, 1})), {0, 0, 1, 1, 0, 0});
    ExpectSamples(ReadWavetable(halves, Buf({0, 1}), 0.5f), {0, 1, 1, 0, 0, 1});
    // Twice as fast: each output averages two table samples.
    ExpectSamples(ReadWavetable(Buf({2, 2}), Buf({1, 3, 5, 7})), {2, 6});
    // Double integration: velocity 1 from position 0 steps through the table.
    ExpectSamples(ReadByDoubleIntegration(Buf({1, 0, 0}), Buf({0, 10, 20, 30})), {10, 20, 30});
    ExpectSamples(ReadByDoubleIntegration(Buf({0, 0}), Buf({0, 10, 20, 30}), 0.5f), {5, 10});
    ExpectSamples(ReadByDoubleIntegration(Buf({0, 0}), Buf({0, 10, 20, 30}), 0.5f, 3.0f), {15, 0});
    const SampleBuffer increments = Buf({1, 1});
    ReadWavetable(increments, table);
    ExpectSamples(increments, {1, 1});  // the free form leaves its argument alone
}

TEST(Synthesis, SilenceEffects)
{
    ExpectSamples(SilenceEffect(Buf({1, 2}), Buf({3})), {0});
    ExpectSamples(SilenceEffect(Buf({1, 2}), Buf({3}), 1.0f), {0});
    ExpectSamples(SilenceEffect(Buf({1, 2}), Buf({3}), 1.0f, 2.0f), {0});
}

TEST(Synthesis, MixSawWavesEqualsMixingEachSaw)
{
    const double factors[5] = {0.99, 2.017, 16.0417, 400.0, 1e30};
    const float gains[5] = {1.0f, 0.5f, 0.25f, 0.3f, 0.7f};
    for (float f : {58.27f, 1046.5f, 22050.0f}) {
        SampleBuffer expected(std::uint32_t(3000));
        for (int m = 0; m < 5; ++m)
            expected.MixAt(SawWave(3000, float(double(f) * factors[m])), 0, gains[m]);
        SampleBuffer fused(std::uint32_t(3000));
        MixSawWaves(fused, f, factors, gains, 5);
        EXPECT_EQ(Samples(fused), Samples(expected)) << f;
    }
}
