#include <gtest/gtest.h>

#include "music/filter_chain.h"
#include "music/synthesis.h"
#include "samples.h"

TEST(FilterChain, EqualsTheFiltersOneAfterTheOther)
{
    SampleBuffer input = SawWave(5000, 97.0f);
    input.MixAt(SineWave(5000, 3001.0f), 0, 0.5f);
    const SampleBuffer c1(20000.0f), c2(1000.0f), c3(7000.0f), sweep = Buf({100, 5000, 20000});
    const struct {
        const char* name;
        int count;
        const SampleBuffer* cutoffs[4];
        float wet[4], dry[4];
    } cases[] = {
        {"low", 1, {&c1}, {1}, {0}},
        {"low high", 2, {&c1, &c2}, {1, -1}, {0, 1}},
        {"band noise", 4, {&c3, &c3, &c3, &c3}, {0.9f, -0.9f, 0.9f, -0.9f}, {0.1f, 1, 0.1f, 1}},
        {"varying cutoff", 2, {&sweep, &c2}, {1, -1}, {0, 1}},
    };
    for (const auto& c : cases) {
        SampleBuffer expected(input), fused(input);
        FilterChain chain(fused);
        for (int k = 0; k < c.count; ++k) {
            expected.OnePoleFilter(*c.cutoffs[k], c.wet[k], c.dry[k]);
            chain.OnePoleFilter(*c.cutoffs[k], c.wet[k], c.dry[k]);
        }
        chain.Apply();
        EXPECT_EQ(Samples(fused), Samples(expected)) << c.name;
    }
    SampleBuffer empty;
    FilterChain(empty).LowPass(c1).HighPass(c2).Apply();
    EXPECT_EQ(empty.size, 0u);
}
