#include "music/sound_math.h"

namespace sound {

// Each kernel is built for AVX2 as well as the baseline and picked at load
// time; the per-sample arithmetic is the same in both.
#define SOUND_KERNEL __attribute__((target_clones("avx2", "default")))

SOUND_KERNEL
void ScaleInPlace(float* x, std::uint32_t n, float v)
{
    for (std::uint32_t i = 0; i < n; ++i)
        x[i] = x[i] * v;
}

SOUND_KERNEL
void OffsetInPlace(float* x, std::uint32_t n, float v)
{
    for (std::uint32_t i = 0; i < n; ++i)
        x[i] = x[i] + v;
}

SOUND_KERNEL
void MultiplyInPlace(float* x, const float* y, std::uint32_t n)
{
    for (std::uint32_t i = 0; i < n; ++i)
        x[i] = x[i] * y[i];
}

SOUND_KERNEL
void AddInPlace(float* x, const float* y, std::uint32_t n)
{
    for (std::uint32_t i = 0; i < n; ++i)
        x[i] = x[i] + y[i];
}

SOUND_KERNEL
void MixKernel(float* __restrict dst, const float* __restrict src, std::uint32_t n, float gain, float ownGain)
{
    const double g = gain, o = ownGain;
    for (std::uint32_t i = 0; i < n; ++i) {
        dst[i] = float(double(src[i]) * g + double(dst[i]) * o);
    }
}

SOUND_KERNEL
void MixKernelAliased(float* x, std::uint32_t n, float gain, float ownGain)
{
    const double g = gain, o = ownGain;
    for (std::uint32_t i = 0; i < n; ++i)
        x[i] = float(double(x[i]) * g + double(x[i]) * o);
}

}  // namespace sound
