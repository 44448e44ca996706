#include "support/float_helpers.h"

// Each helper loads x, applies one x87 instruction in the unit's extended
// precision, stores the result rounded to float and resets the unit (finit),
// so that no register, flag, rounding or precision mode outlives the call.
// The whole x87 stack is declared clobbered because finit empties it.
#define QUORVELAN_X87_CLOBBERS "st", "st(1)", "st(2)", "st(3)", "st(4)", "st(5)", "st(6)", "st(7)"

float FpuSin(float x)
{
    float result;
    asm volatile("flds %1\n\tfsin\n\tfstps %0\n\tfinit" : "=m"(result) : "m"(x) : QUORVELAN_X87_CLOBBERS);
    return result;
}

float FpuCos(float x)
{
    float result;
    asm volatile("flds %1\n\tfcos\n\tfstps %0\n\tfinit" : "=m"(result) : "m"(x) : QUORVELAN_X87_CLOBBERS);
    return result;
}

float FpuTan(float x)
{
    float result;
    // fptan pushes 1.0 above the tangent; drop it.
    asm volatile("flds %1\n\tfptan\n\tfstp %%st(0)\n\tfstps %0\n\tfinit"
                 : "=m"(result)
                 : "m"(x)
                 : QUORVELAN_X87_CLOBBERS);
    return result;
}

float FpuAtan(float x)
{
    float result;
    // fpatan takes atan(st(1) / st(0)): here atan(x / 1).
    asm volatile("flds %1\n\tfld1\n\tfpatan\n\tfstps %0\n\tfinit" : "=m"(result) : "m"(x) : QUORVELAN_X87_CLOBBERS);
    return result;
}

float FpuSqrt(float x)
{
    float result;
    asm volatile("flds %1\n\tfsqrt\n\tfstps %0\n\tfinit" : "=m"(result) : "m"(x) : QUORVELAN_X87_CLOBBERS);
    return result;
}

float FpuAbs(float x)
{
    float result;
    asm volatile("flds %1\n\tfabs\n\tfstps %0\n\tfinit" : "=m"(result) : "m"(x) : QUORVELAN_X87_CLOBBERS);
    return result;
}

float FpuLog2(float x)
{
    float result;
    // fyl2x takes st(1) * log2(st(0)): here 1 * log2(x).
    asm volatile("fld1\n\tflds %1\n\tfyl2x\n\tfstps %0\n\tfinit" : "=m"(result) : "m"(x) : QUORVELAN_X87_CLOBBERS);
    return result;
}

float FastAcos(float x)
{
    float n = x < 0.0f ? 1.0f : 0.0f;
    float a = FpuAbs(x);
    float r = -0.0187293f;
    r = r * a;
    r = static_cast<float>(r + 0.074261);
    r = r * a;
    r = static_cast<float>(r - 0.2121144);
    r = r * a;
    r = static_cast<float>(r + 1.5707288);
    r = r * FpuSqrt(1.0f - a);
    r = static_cast<float>(r - 2.0 * n * r);
    return static_cast<float>(n * 3.14159265358979 + r);
}

float PolarAngle(float x, float y)
{
    float r;
    if (x >= 0.0f) {
        r = FpuAtan(y / x);
        if (r < 0.0f) {
            r = static_cast<float>(r + 6.0);
        }
    } else {
        r = static_cast<float>(FpuAtan(y / x) + 3.0);
    }
    return r;
}
