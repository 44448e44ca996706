#include "support/random.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(Random, SequencesFromState0)
{
    Random r{0};
    EXPECT_EQ(r.Next(), 408360806);
    EXPECT_EQ(r.Next(), 115509215);
    EXPECT_EQ(r.Next(), 911304891);

    g_random.state = 0;
    EXPECT_EQ(RandomNext(), 408360806);
    EXPECT_EQ(RandomNext(), 1017413024);
    EXPECT_EQ(RandomNext(), 1707175547);
}

TEST(Random, Steps)
{
    struct Case {
        std::uint32_t from, to;
    };
    const Case cases[] = {{1u, 408344269u}, {0xFFFFFFFFu, 1739106880u}};
    for (const Case& c : cases) {
        Random r{c.from};
        r.Step();
        EXPECT_EQ(r.state, c.to) << c.from;
    }
    Random a{7}, b{7};
    a.Skip(0);
    EXPECT_EQ(a.state, 7u);
    a.Skip(51);
    for (int i = 0; i < 51; ++i) {
        b.Step();
    }
    EXPECT_EQ(a.state, b.state);
}

TEST(Random, FixedPointSeed)
{
    Random r{0};
    r.Seed(123459876u);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(r.Next(), 123459876);
    }
    RandomSeed(123459876u);
    EXPECT_EQ(g_random.state, 123459876u);
}

TEST(Random, StateStaysInRangeForAnyStart)
{
    for (std::uint32_t start : {0u, 1u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFEu, 0xFFFFFFFFu}) {
        Random r{start};
        for (int i = 0; i < 1000; ++i) {
            EXPECT_GE(r.Next(), 0) << start;
        }
    }
}

TEST(Random, Range)
{
    struct Case {
        int first, second, expected;
    };
    const Case cases[] = {
        {5, 5, 12467},
        {10, 1, 124630},
        {1, 10, -99695},
        // Wraps around in 32 bits instead of overflowing.
        {2147483647, -2147483647 - 1, static_cast<int>(12462u * 0u + 2147483647u)},
        {-2147483647 - 1, 2147483647, static_cast<int>(12462u * 2u + 0x80000000u)},
    };
    for (const Case& c : cases) {
        g_random.state = 0;
        EXPECT_EQ(RandomRange(c.first, c.second), c.expected) << c.first << ", " << c.second;
    }
}

}  // namespace
