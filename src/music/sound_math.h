#pragma once
// Small numeric helpers and element-wise kernels of the synthesiser. Each
// kernel computes exactly the stated per-sample expression (double where the
// recipe says so, rounded once to float), so vectorising it keeps every bit.
#include <cmath>
#include <cstdint>

namespace sound {

// e truncated toward zero, the low 32 bits of the integer taken unsigned.
// Non-finite values give 0.
inline std::uint32_t TruncU32(double e)
{
    if (!std::isfinite(e))
        return 0;
    if (std::fabs(e) < 9.2e18)
        return static_cast<std::uint32_t>(static_cast<std::int64_t>(e));
    // Past the 64-bit range every double is a whole number: take it mod 2^32.
    double r = std::fmod(e, 4294967296.0);
    if (r < 0)
        r += 4294967296.0;
    return static_cast<std::uint32_t>(r);
}

// x[i] = x[i] * v
void ScaleInPlace(float* x, std::uint32_t n, float v);
// x[i] = x[i] + v
void OffsetInPlace(float* x, std::uint32_t n, float v);
// x[i] = x[i] * y[i] (y may be x)
void MultiplyInPlace(float* x, const float* y, std::uint32_t n);
// x[i] = x[i] + y[i] (y may be x)
void AddInPlace(float* x, const float* y, std::uint32_t n);
// dst[i] = float(src[i] * gain + dst[i] * ownGain) in double; no overlap.
void MixKernel(float* __restrict dst, const float* __restrict src, std::uint32_t n, float gain, float ownGain);
// The same with src == dst.
void MixKernelAliased(float* x, std::uint32_t n, float gain, float ownGain);

}  // namespace sound
