#pragma once
// Sample buffers for the music tests: made from a list, read back as a
// vector, compared sample by sample.
#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#include "music/sample_buffer.h"

inline SampleBuffer Buf(std::initializer_list<float> values)
{
    SampleBuffer b(std::uint32_t(values.size()));
    std::uint32_t i = 0;
    for (float v : values)
        b[i++] = v;
    return b;
}

inline std::vector<float> Samples(const SampleBuffer& b)
{
    return std::vector<float>(b.data, b.data + b.size);
}

// Exact comparison, or within tol when tol > 0.
inline void ExpectSamples(const SampleBuffer& b, std::initializer_list<float> expected, float tol = 0.0f)
{
    ASSERT_EQ(b.size, expected.size());
    std::uint32_t i = 0;
    for (float e : expected) {
        if (tol > 0.0f) {
            EXPECT_NEAR(b[i], e, tol) << "sample " << i;
        } else {
            EXPECT_EQ(b[i], e) << "sample " << i;
        }
        ++i;
    }
}

// Every sample from size to capacity is 0.0.
inline bool TailIsZero(const SampleBuffer& b)
{
    for (std::uint32_t i = b.size; i < b.capacity; ++i)
        if (b.data[i] != 0.0f)
            return false;
    return true;
}
