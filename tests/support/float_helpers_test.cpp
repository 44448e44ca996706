#include "support/float_helpers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

namespace {

constexpr float kQuarterPi = 0.7853982f;

std::uint16_t ControlWord()
{
    std::uint16_t word = 0;
    asm volatile("fnstcw %0" : "=m"(word));
    return word;
}

void SetControlWord(std::uint16_t word)
{
    asm volatile("fldcw %0" : : "m"(word));
}

TEST(FloatHelpers, Values)
{
    struct Case {
        const char* what;
        float (*helper)(float);
        float x;
        float expected;
        float tolerance;
    };
    const float inf = std::numeric_limits<float>::infinity();
    const Case cases[] = {
        {"tan 0", FpuTan, 0.0f, 0.0f, 0.0f},
        {"tan pi/4", FpuTan, kQuarterPi, 1.0f, 1e-6f},
        {"atan 1", FpuAtan, 1.0f, kQuarterPi, 0.0f},
        {"atan 0", FpuAtan, 0.0f, 0.0f, 0.0f},
        {"atan -1e30", FpuAtan, -1e30f, -1.5707964f, 1e-7f},
        {"log2 8", FpuLog2, 8.0f, 3.0f, 0.0f},
        {"log2 1", FpuLog2, 1.0f, 0.0f, 0.0f},
        {"log2 0", FpuLog2, 0.0f, -inf, 0.0f},
        {"sqrt 2", FpuSqrt, 2.0f, 1.4142135f, 0.0f},
        {"abs -3", FpuAbs, -3.5f, 3.5f, 0.0f},
        {"sin pi/2", FpuSin, 1.5707964f, 1.0f, 0.0f},
        {"sin 0", FpuSin, 0.0f, 0.0f, 0.0f},
        {"cos 0", FpuCos, 0.0f, 1.0f, 0.0f},
        {"cos pi", FpuCos, 3.1415927f, -1.0f, 0.0f},
        {"acos 1", FastAcos, 1.0f, 0.0f, 0.0f},
        {"acos 0", FastAcos, 0.0f, 1.5707288f, 0.0f},
        {"acos -1", FastAcos, -1.0f, static_cast<float>(3.14159265358979), 0.0f},
        {"acos 0.5", FastAcos, 0.5f, 1.0471513f, 1e-7f},
    };
    for (const Case& c : cases) {
        const float got = c.helper(c.x);
        if (std::isinf(c.expected)) {
            EXPECT_EQ(got, c.expected) << c.what;
        } else {
            EXPECT_NEAR(got, c.expected, c.tolerance) << c.what;
        }
    }
    EXPECT_NEAR(FastAcos(0.5f), std::acos(0.5), 0.00005);
}

TEST(FloatHelpers, InvalidOperationsGiveNaN)
{
    EXPECT_TRUE(std::isnan(FpuSqrt(-1.0f)));
    EXPECT_TRUE(std::isnan(FpuLog2(-1.0f)));
    EXPECT_TRUE(std::isnan(FastAcos(1.5f)));
    EXPECT_TRUE(std::isnan(FastAcos(std::numeric_limits<float>::quiet_NaN())));
    const float absZero = FpuAbs(-0.0f);
    EXPECT_EQ(absZero, 0.0f);
    EXPECT_FALSE(std::signbit(absZero));
}

TEST(FloatHelpers, PolarAngle)
{
    struct Case {
        float x, y, expected;
    };
    const Case cases[] = {
        {1.0f, 1.0f, kQuarterPi},   {1.0f, -1.0f, 5.2146018f}, {-1.0f, 1.0f, 2.2146018f},
        {-1.0f, -1.0f, 3.7853982f}, {0.0f, 1.0f, 1.5707964f},  {0.0f, -1.0f, 6.0f - 1.5707964f},
        {1.0f, 0.0f, 0.0f},
    };
    for (const Case& c : cases) {
        EXPECT_NEAR(PolarAngle(c.x, c.y), c.expected, 1e-6f) << c.x << ", " << c.y;
    }
    EXPECT_TRUE(std::isnan(PolarAngle(0.0f, 0.0f)));
}

TEST(FloatHelpers, LeaveTheUnitInItsInitialState)
{
    const std::uint16_t initial = 0x037F;  // all masked, extended precision, nearest
    const std::uint16_t callerModes[] = {
        0x0C7F,  // round toward zero, single precision
        0x027F,  // double precision
        0x077F,  // round down
    };
    float (*helpers[])(float) = {FpuSin, FpuCos, FpuTan, FpuAtan, FpuSqrt, FpuAbs, FpuLog2};
    for (std::uint16_t mode : callerModes) {
        for (auto helper : helpers) {
            SetControlWord(mode);
            helper(0.5f);
            EXPECT_EQ(ControlWord(), initial) << std::hex << mode;
        }
    }
    SetControlWord(initial);
}

}  // namespace
