#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

#include "music/sample_buffer.h"
#include "samples.h"

TEST(SampleBuffer, ConstructionAndStorage)
{
    const std::uint32_t before = g_sampleBuffersDestroyed;
    {
        SampleBuffer empty;
        EXPECT_EQ(empty.size, 0u);
        EXPECT_EQ(empty.capacity, 0u);
        EXPECT_EQ(empty.data, nullptr);
    }
    EXPECT_EQ(g_sampleBuffersDestroyed - before, 1u);

    SampleBuffer value(2.5f);
    EXPECT_EQ(value.data, &value.inlineSample);
    EXPECT_EQ(value[0], 2.5f);
    SampleBuffer one(std::uint32_t(1));
    EXPECT_EQ(one.data, &one.inlineSample);
    EXPECT_EQ(one[0], 0.0f);

    SampleBuffer moved(std::move(value));
    EXPECT_EQ(moved.data, &moved.inlineSample);
    EXPECT_EQ(moved[0], 2.5f);
    EXPECT_EQ(value.data, nullptr);

    SampleBuffer zeros(std::uint32_t(5));
    EXPECT_EQ(zeros.size, 5u);
    EXPECT_EQ(zeros.capacity, 5u);
    for (std::uint32_t i = 0; i < 5; ++i)
        EXPECT_EQ(zeros[i], 0.0f);
}

TEST(SampleBuffer, CopyHasCapacityEqualToSize)
{
    SampleBuffer b = Buf({1, 2});
    b.Reserve(10);
    ASSERT_EQ(b.capacity, 10u);
    EXPECT_TRUE(TailIsZero(b));
    SampleBuffer c(b);
    EXPECT_EQ(c.capacity, 2u);
    ExpectSamples(c, {1, 2});
}

TEST(SampleBuffer, SelfAssignmentAndSelfMoveKeepTheBuffer)
{
    SampleBuffer b = Buf({1, 2, 3});
    SampleBuffer& alias = b;
    b = alias;
    ExpectSamples(b, {1, 2, 3});
    b = std::move(alias);
    ExpectSamples(b, {1, 2, 3});
    SampleBuffer one(4.0f);
    SampleBuffer& oneAlias = one;
    one = std::move(oneAlias);
    EXPECT_EQ(one.data, &one.inlineSample);
    EXPECT_EQ(one[0], 4.0f);
}

TEST(SampleBuffer, SubRangeAndConcatenate)
{
    ExpectSamples(SampleBuffer(Buf({1, 2, 3}), 2, 3), {3, 0, 0});
    ExpectSamples(SampleBuffer(Buf({1, 2, 3}), 5, 2), {0, 0});
    ExpectSamples(Concatenate(Buf({1}), Buf({2, 3})), {1, 2, 3});
}

TEST(SampleBuffer, CyclicArithmetic)
{
    struct Case {
        const char* name;
        SampleBuffer result;
        std::initializer_list<float> expected;
    };
    Case cases[] = {
        {"{1,2,3}x{10,100}", Buf({1, 2, 3}) * Buf({10, 100}), {10, 200, 30}},
        {"{1,2}x{10,100,1000}", Buf({1, 2}) * Buf({10, 100, 1000}), {10000, 200}},
        {"{1,2}+{10,20,30}", Buf({1, 2}) + Buf({10, 20, 30}), {41, 22}},
        {"{4,5}x{0.5}", Buf({4, 5}) * SampleBuffer(0.5f), {2, 2.5f}},
        {"{1,2,3}-{1}", Buf({1, 2, 3}) - SampleBuffer(1.0f), {0, 1, 2}},
        {"-{1,-2}", -Buf({1, -2}), {-1, 2}},
        {"{1,2,3,4}x{2,3}", Buf({1, 2, 3, 4}) * Buf({2, 3}), {2, 6, 6, 12}},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        ExpectSamples(c.result, c.expected);
    }
}

TEST(SampleBuffer, CyclicOperationsWithAnEmptyOperandDoNothing)
{
    SampleBuffer b = Buf({1, 2});
    b.MultiplyCyclic(SampleBuffer());
    b.AddCyclic(SampleBuffer());
    ExpectSamples(b, {1, 2});
    SampleBuffer e;
    e.MultiplyCyclic(Buf({3, 4}));
    e.AddCyclic(Buf({3, 4}));
    EXPECT_EQ(e.size, 0u);
    EXPECT_EQ(e.data, nullptr);
    EXPECT_EQ(SampleBuffer().AtCyclic(7), 0.0f);
    EXPECT_EQ(Buf({1, 2, 3}).AtCyclic(7), 2.0f);
}

TEST(SampleBuffer, MixAtGrowsTheTarget)
{
    SampleBuffer a = Buf({1, 2});
    a.MixAt(Buf({5}), 4);
    ExpectSamples(a, {1, 2, 0, 0, 5});
    SampleBuffer b = Buf({1, 1, 1});
    b.MixAt(Buf({1}), 1, 2.0f, 0.5f);
    ExpectSamples(b, {1, 2.5f, 1});
    SampleBuffer c = Buf({1});
    c.MixAt(SampleBuffer(), 3);
    ExpectSamples(c, {1, 0, 0});
    EXPECT_TRUE(TailIsZero(c));
    SampleBuffer d = Buf({1, 2});
    d.Append(Buf({3}));
    ExpectSamples(d, {1, 2, 3});
}

TEST(SampleBuffer, MixAtEvaluatesInDoubleAndRoundsOnce)
{
    // Values whose float-by-float evaluation (two rounded products, a rounded
    // sum) gives 0.107179575; the whole expression in double gives 0.107179567.
    SampleBuffer target(0.236088976f);
    target.MixAt(SampleBuffer(0.146755889f), 0, 0.0923385918f, 0.396580726f);
    EXPECT_EQ(target[0], 0.107179567f);
    EXPECT_NE(target[0], 0.107179575f);
}

TEST(SampleBuffer, MixedIntoItselfBecomesARecursiveEcho)
{
    SampleBuffer a = Buf({1, 0, 0, 0});
    ASSERT_EQ(a.capacity, a.size);  // growth must move the storage
    a.MixAt(a, 2, 0.5f);
    ExpectSamples(a, {1, 0, 0.5f, 0, 0.25f, 0});

    // An echo with a long buffer and a short delay: y[k] = x[k] + g y[k - d].
    SampleBuffer x(std::uint32_t(100));
    for (std::uint32_t i = 0; i < 100; ++i)
        x[i] = float(i % 7) - 3.0f;
    SampleBuffer y(x);
    y.MixAt(y, 5, 0.25f, 0.75f);
    ASSERT_EQ(y.size, 105u);
    std::vector<float> ref(105, 0.0f);
    for (std::uint32_t k = 0; k < 105; ++k) {
        const float xk = k < 100 ? x[k] : 0.0f;
        ref[k] = k < 5 ? xk : float(double(ref[k - 5]) * 0.25 + double(xk) * 0.75);
    }
    EXPECT_EQ(Samples(y), ref);
}

TEST(SampleBuffer, Appends)
{
    SampleBuffer a = Buf({7});
    a.AppendConstant(0, 1.0f);
    a.AppendRamp(0, 1.0f, 0.0f);
    ExpectSamples(a, {7});
    SampleBuffer r;
    r.AppendRamp(4, 1.0f, 0.0f);
    ExpectSamples(r, {1, 0.75f, 0.5f, 0.25f});
    SampleBuffer s;
    s.AppendRamp(4, 0.0f, 1.0f);
    s.AppendConstant(2, 3.0f);
    s.AppendRampFromLast(2, 5.0f);
    ExpectSamples(s, {0, 0.25f, 0.5f, 0.75f, 3, 3, 3, 4});
    SampleBuffer e;
    e.AppendRampFromLast(2, 1.0f);
    ExpectSamples(e, {0, 0.5f});
}

TEST(SampleBuffer, TruncateZeroesTheTail)
{
    SampleBuffer a = Buf({1, 2, 3, 4});
    a.Truncate(2);
    EXPECT_EQ(a.size, 2u);
    EXPECT_TRUE(TailIsZero(a));
    a.MixAt(Buf({0}), 3);  // regrowing over the old samples must see zeros
    ExpectSamples(a, {1, 2, 0, 0});
}

TEST(SampleBuffer, SizesPast32BitBytesFailLoudly)
{
    SampleBuffer a = Buf({1});
    EXPECT_THROW(a.MixAt(Buf({1}), 0x40000000u), std::length_error);
    EXPECT_THROW(a.AppendConstant(0xFFFFFFFFu, 0.0f), std::length_error);
    EXPECT_THROW(SampleBuffer(std::uint32_t(0x40000000u)), std::length_error);
    ExpectSamples(a, {1});
}
