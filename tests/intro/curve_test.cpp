#include "intro/curve.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

using IntroModel::Curve;

namespace {

Curve MakeCurve(std::initializer_list<float> keys)
{
    Curve c;
    for (float k : keys)
        c.AddKey(k);
    return c;
}

struct CurveCase {
    std::vector<float> keys;
    float t;
    float expected;
};

// Keys placed hard against unreadable pages on both sides: a read of any key
// outside the array ends the test program with a fault.
class GuardedKeys {
public:
    GuardedKeys()
    {
        page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
        base = static_cast<char*>(mmap(nullptr, 3 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        mprotect(base, page, PROT_NONE);
        mprotect(base + 2 * page, page, PROT_NONE);
    }
    ~GuardedKeys() { munmap(base, 3 * page); }
    // The keys at the start of the readable page (nothing readable before them).
    const float* AtStart(const std::vector<float>& keys)
    {
        std::memcpy(base + page, keys.data(), keys.size() * sizeof(float));
        return reinterpret_cast<const float*>(base + page);
    }
    // The keys at the end of the readable page (nothing readable after them).
    const float* AtEnd(const std::vector<float>& keys)
    {
        char* at = base + 2 * page - keys.size() * sizeof(float);
        std::memcpy(at, keys.data(), keys.size() * sizeof(float));
        return reinterpret_cast<const float*>(at);
    }

private:
    std::size_t page = 0;
    char* base = nullptr;
};

}  // namespace

TEST(Curve, EvaluatesTheWorkedExamplesAndKeyCounts)
{
    const CurveCase cases[] = {
        // keys 1, 3, 2: linear outside, spline segments inside
        {{1, 3, 2}, -0.25f, 0.0f},
        {{1, 3, 2}, 0.0f, 1.0f},
        {{1, 3, 2}, 0.25f, 2.1875f},
        {{1, 3, 2}, 0.5f, 3.0f},
        {{1, 3, 2}, 0.75f, 2.6875f},
        {{1, 3, 2}, 1.0f, 2.0f},
        {{1, 3, 2}, 1.25f, 1.5f},
        // two keys: a straight line through both
        {{4, 8}, -0.25f, 3.0f},
        {{4, 8}, 0.0f, 4.0f},
        {{4, 8}, 0.5f, 6.0f},
        {{4, 8}, 1.0f, 8.0f},
        {{4, 8}, 1.25f, 9.0f},
        // one key: constant, also outside 0..1
        {{7}, -3.0f, 7.0f},
        {{7}, 0.5f, 7.0f},
        {{7}, 12.0f, 7.0f},
        // no keys: 0
        {{}, -2.0f, 0.0f},
        {{}, 0.0f, 0.0f},
        {{}, 3.5f, 0.0f},
        // keys are hit exactly at j / (n - 1)
        {{5, -1, 2, 9, 4}, 0.0f, 5.0f},
        {{5, -1, 2, 9, 4}, 0.25f, -1.0f},
        {{5, -1, 2, 9, 4}, 0.5f, 2.0f},
        {{5, -1, 2, 9, 4}, 0.75f, 9.0f},
        {{5, -1, 2, 9, 4}, 1.0f, 4.0f},
        // past the end: the line of the last two keys
        {{5, -1, 2, 9, 4}, 1.25f, -1.0f},
    };
    for (const CurveCase& c : cases) {
        Curve curve(c.keys);
        EXPECT_FLOAT_EQ(curve.Evaluate(c.t), c.expected) << "keys " << c.keys.size() << " t " << c.t;
    }
}

// Between the keys, where the tangents show. Key j sits at x = j = t * (n - 1);
// a segment from key i to key i + 1 with u = x - i is
//   0.5 * (2 p1 + (p2 - p0) u + (2 p0 - 5 p1 + 4 p2 - p3) u^2 + (-p0 + 3 p1 - 3 p2 + p3) u^3)
// with p0..p3 = keys i - 1 .. i + 2, and a mirrored key 2 k0 - k1 before the
// first key and 2 k[n-1] - k[n-2] after the last.
TEST(Curve, EvaluatesBetweenTheKeysFromTheirTangents)
{
    const CurveCase cases[] = {
        // 5, -1, 2, 9, 4; first segment, p = 11, 5, -1, 2: coefficients 10, -12, -9, 9;
        // u = 1/2: (10 - 6 - 9/4 + 9/8) / 2 = 1.4375
        {{5, -1, 2, 9, 4}, 0.125f, 1.4375f},
        // interior segment 1, p = 5, -1, 2, 9: coefficients -2, -3, 14, -5
        // u = 1/4: (-2 - 3/4 + 14/16 - 5/64) / 2 = -0.9765625
        {{5, -1, 2, 9, 4}, 0.3125f, -0.9765625f},
        // u = 1/2: (-2 - 3/2 + 14/4 - 5/8) / 2 = -0.3125
        {{5, -1, 2, 9, 4}, 0.375f, -0.3125f},
        // u = 3/4: (-2 - 9/4 + 14 * 9/16 - 5 * 27/64) / 2 = 0.7578125
        {{5, -1, 2, 9, 4}, 0.4375f, 0.7578125f},
        // interior segment 2, p = -1, 2, 9, 4: coefficients 4, 10, 20, -16
        // u = 1/4: (4 + 10/4 + 20/16 - 16/64) / 2 = 3.75
        {{5, -1, 2, 9, 4}, 0.5625f, 3.75f},
        // u = 1/2: (4 + 5 + 5 - 2) / 2 = 6
        {{5, -1, 2, 9, 4}, 0.625f, 6.0f},
        // u = 3/4: (4 + 30/4 + 20 * 9/16 - 16 * 27/64) / 2 = 8
        {{5, -1, 2, 9, 4}, 0.6875f, 8.0f},
        // last segment, p = 2, 9, 4, -1: coefficients 18, 2, -24, 12;
        // u = 1/2: (18 + 1 - 6 + 3/2) / 2 = 7.25
        {{5, -1, 2, 9, 4}, 0.875f, 7.25f},
        // 1, 3, 2, 6; the one interior segment, p = 1, 3, 2, 6: coefficients 6, 1, -11, 8;
        // u = 1/2: (6 + 1/2 - 11/4 + 1) / 2 = 2.375
        {{1, 3, 2, 6}, 0.5f, 2.375f},
    };
    for (const CurveCase& c : cases) {
        Curve curve(c.keys);
        EXPECT_FLOAT_EQ(curve.Evaluate(c.t), c.expected) << "keys " << c.keys.size() << " t " << c.t;
    }
}

TEST(Curve, ScaleFollowsEveryAddedKey)
{
    Curve c;
    EXPECT_EQ(c.scale, 0.0f);
    c.AddKey(1);
    EXPECT_EQ(c.scale, 1.0f);
    c.AddKey(3);
    EXPECT_EQ(c.scale, 1.0f);
    c.AddKey(2);
    EXPECT_EQ(c.scale, 2.0f);
    EXPECT_EQ(Curve(std::vector<float>{1, 2, 3, 4}).scale, 3.0f);
    EXPECT_EQ(Curve::SegmentCount({}), 0.0f);
}

TEST(Curve, IsContinuousWhereTheSplineMeetsTheLines)
{
    const Curve c = MakeCurve({1, 3, 2, 6});
    const float eps = 1e-3f;
    for (float t : {0.0f, 1.0f}) {
        const float below = c.Evaluate(t - eps), at = c.Evaluate(t), above = c.Evaluate(t + eps);
        // Same slope on both sides: the second difference vanishes.
        EXPECT_NEAR((above - at) - (at - below), 0.0f, 1e-4f) << "t " << t;
    }
}

TEST(Curve, NonFiniteTimesGiveNaNAndReadNothingOutsideTheKeys)
{
    GuardedKeys guard;
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::vector<float> keys = {1, 3, 2, 5};
    for (const float* k : {guard.AtStart(keys), guard.AtEnd(keys)}) {
        for (float x : {nan, inf, -inf}) {
            // Must neither fault nor pick a segment from a wild index.
            const float v = SampleCatmullRom(x, k, 4);
            EXPECT_FALSE(std::isfinite(v)) << x;
            EXPECT_FALSE(std::isfinite(SampleCubic(x, k, 4))) << x;
            EXPECT_FALSE(std::isfinite(SampleLinear(x, k, 4))) << x;
        }
        // The last segments read up to the last key and no further.
        EXPECT_FLOAT_EQ(SampleCatmullRom(2.0f, k, 4), 2.0f);
        EXPECT_FLOAT_EQ(SampleCatmullRom(3.0f, k, 4), 5.0f);
        EXPECT_FLOAT_EQ(SampleCatmullRom(2.5f, k, 4), CatmullRom(0.5f, 3, 2, 5, 8));
        EXPECT_FLOAT_EQ(SampleCatmullRom(0.0f, k, 4), 1.0f);
    }
    for (std::initializer_list<float> keyList : {std::initializer_list<float>{}, {4.0f, 8.0f}, {1.0f, 3.0f, 2.0f}}) {
        const Curve c = MakeCurve(keyList);
        for (float t : {nan, inf, -inf})
            EXPECT_TRUE(std::isnan(c.Evaluate(t))) << keyList.size() << " keys, t " << t;
    }
    // A single key is a constant, at any time.
    for (float t : {nan, inf, -inf})
        EXPECT_EQ(MakeCurve({7.0f}).Evaluate(t), 7.0f) << t;
}

TEST(CurveHelpers, FloorFractAbsLerp)
{
    const std::pair<float, float> floors[] = {
        {1.5f, 1.0f},   {2.5f, 2.0f},        {-0.5f, -1.0f}, {-1.5f, -2.0f}, {3.0f, 3.0f},
        {-3.0f, -3.0f}, {0.49999997f, 0.0f}, {-0.0f, 0.0f},  {3e9f, 3e9f},   {-3e9f, -3e9f},
    };
    for (auto [x, expected] : floors)
        EXPECT_EQ(Floor(x), expected) << x;
    EXPECT_TRUE(std::isnan(Floor(std::numeric_limits<float>::quiet_NaN())));
    EXPECT_EQ(Floor(std::numeric_limits<float>::infinity()), std::numeric_limits<float>::infinity());
    EXPECT_FLOAT_EQ(Fract(2.25f), 0.25f);
    EXPECT_FLOAT_EQ(Fract(-0.25f), 0.75f);
    EXPECT_EQ(Abs(-2.0f), 2.0f);
    EXPECT_EQ(Abs(2.0f), 2.0f);
    EXPECT_EQ(Lerp(0.25f, 2.0f, 6.0f), 3.0f);
}

TEST(CurveHelpers, CatmullRomMeetsItsEndPoints)
{
    EXPECT_EQ(CatmullRom(0.0f, -1, 1, 3, 2), 1.0f);
    EXPECT_EQ(CatmullRom(1.0f, -1, 1, 3, 2), 3.0f);
    EXPECT_EQ(CatmullRom(0.5f, -1, 1, 3, 2), 2.1875f);
}

TEST(CurveHelpers, CubicAndInverses)
{
    const float k[] = {1, 3, 2};
    // The cubic's fraction is Fract(x) in every segment, so the last key
    // position falls back to the start of the last segment.
    EXPECT_FLOAT_EQ(SampleCubic(0.0f, k, 3), 1.0f);
    EXPECT_FLOAT_EQ(SampleCubic(1.0f, k, 3), 3.0f);
    EXPECT_FLOAT_EQ(SampleCubic(2.0f, k, 3), 3.0f);
    EXPECT_FLOAT_EQ(SampleCubic(-0.5f, k, 3), 0.0f);
    EXPECT_FLOAT_EQ(CubicInterpolate(0.5f, 0, 1, 2, 3), 1.5f);

    const float rising[] = {0, 2, 4};
    EXPECT_FLOAT_EQ(InvertLinear(3.0f, rising, 3), 1.5f);
    EXPECT_FLOAT_EQ(InvertLinear(1.0f, rising, 3), 0.5f);
    EXPECT_FLOAT_EQ(InvertLinear(5.0f, rising, 3), 2.5f);
    const float line[] = {0, 1, 2, 3};
    EXPECT_NEAR(InvertCatmullRom(1.5f, line, 4), 1.5f, 1e-5f);
    const float curved[] = {0, 1, 4, 9};
    const float x = InvertCatmullRom(2.5f, curved, 4);
    EXPECT_NEAR(SampleCatmullRom(x, curved, 4), 2.5f, 0.1f);
}
