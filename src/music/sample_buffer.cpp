#include "music/sample_buffer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>

#include "music/sound_math.h"

std::atomic<std::uint32_t> g_sampleBuffersDestroyed{0};

namespace {

// A request whose byte size does not fit in 32 bits is refused loudly rather
// than allocating short.
std::uint32_t CheckedCount(std::uint64_t count)
{
    if (count > 0x3FFFFFFFull) {
        throw std::length_error("SampleBuffer: sample count exceeds 32-bit byte size");
    }
    return static_cast<std::uint32_t>(count);
}

float* AllocateZeroed(std::uint32_t count)
{
    void* p = std::calloc(count, sizeof(float));
    if (!p)
        throw std::bad_alloc();
    return static_cast<float*>(p);
}

}  // namespace

SampleBuffer::SampleBuffer(std::uint32_t count)
{
    Allocate(count);
}

SampleBuffer::SampleBuffer(float value)
{
    Allocate(1);
    inlineSample = value;
}

SampleBuffer::SampleBuffer(const SampleBuffer& other)
{
    Allocate(other.size);
    CopySamples(other);
}

SampleBuffer::SampleBuffer(SampleBuffer&& other) noexcept
{
    TakeStorage(other);
}

SampleBuffer::SampleBuffer(const SampleBuffer& other, std::uint32_t start, std::uint32_t count)
{
    Allocate(count);
    const std::uint64_t end = std::min<std::uint64_t>(std::uint64_t(start) + count, other.size);
    for (std::uint64_t i = start; i < end; ++i)
        data[i - start] = other.data[i];
}

SampleBuffer::~SampleBuffer()
{
    Free();
    g_sampleBuffersDestroyed.fetch_add(1, std::memory_order_relaxed);
}

SampleBuffer& SampleBuffer::operator=(const SampleBuffer& other)
{
    if (this == &other)
        return *this;
    Allocate(other.size);
    CopySamples(other);
    return *this;
}

SampleBuffer& SampleBuffer::operator=(SampleBuffer&& other) noexcept
{
    if (this == &other)
        return *this;
    Free();
    TakeStorage(other);
    return *this;
}

void SampleBuffer::Allocate(std::uint32_t count)
{
    CheckedCount(count);
    Free();
    if (count == 0)
        return;
    if (count == 1) {
        inlineSample = 0.0f;
        data = &inlineSample;
    } else {
        data = AllocateZeroed(count);
    }
    size = capacity = count;
}

void SampleBuffer::CopySamples(const SampleBuffer& other)
{
    if (size)
        std::memcpy(data, other.data, size_t(size) * sizeof(float));
}

void SampleBuffer::Free()
{
    if (data && data != &inlineSample)
        std::free(data);
    data = nullptr;
    size = capacity = 0;
}

void SampleBuffer::Reallocate(std::uint32_t count)
{
    CheckedCount(count);
    const std::uint32_t keep = std::min(size, count);
    float* const old = data;
    const bool oldHeap = old && old != &inlineSample;
    if (count == 0) {
        if (oldHeap)
            std::free(old);
        data = nullptr;
    } else if (count == 1) {
        const float v = keep ? old[0] : 0.0f;
        if (oldHeap)
            std::free(old);
        inlineSample = v;
        data = &inlineSample;
    } else if (oldHeap) {
        // Growing in place where the allocator can; the samples past the kept
        // ones are zeroed, so the result equals fresh zeroed storage.
        void* p = std::realloc(old, size_t(count) * sizeof(float));
        if (!p)
            throw std::bad_alloc();
        data = static_cast<float*>(p);
        std::memset(data + keep, 0, size_t(count - keep) * sizeof(float));
    } else {
        float* fresh = AllocateZeroed(count);
        if (keep)
            fresh[0] = old[0];  // the old storage held at most inlineSample
        data = fresh;
    }
    size = keep;
    capacity = count;
}

void SampleBuffer::Reserve(std::uint32_t count)
{
    if (capacity < count)
        Reallocate(count);
}

void SampleBuffer::TakeStorage(SampleBuffer& other)
{
    size = other.size;
    capacity = other.capacity;
    inlineSample = other.inlineSample;
    data = other.data == &other.inlineSample ? &inlineSample : other.data;
    other.data = nullptr;
    other.size = other.capacity = 0;
}

void SampleBuffer::Truncate(std::uint32_t count)
{
    if (count >= size)
        return;
    std::memset(data + count, 0, size_t(size - count) * sizeof(float));
    size = count;
}

float SampleBuffer::AtCyclic(std::uint32_t i) const
{
    if (size == 0)
        return 0.0f;
    return data[i % size];
}

namespace {

// The cyclic rule: step s combines x[s mod n] with y[s mod m], for s from 0 to
// max(n, m) - 1. A one-sample y and one of equal length take their own
// (vectorised) kernels; the steps touch the same samples in the same order.
// (float(x op y) of two floats is the float result, so the float operators
// give the recipe's bits.)
template <class Op, class ScalarKernel, class ElementKernel>
void CyclicSteps(float* x, std::uint32_t n, const float* y, std::uint32_t m, Op op, ScalarKernel scalar,
                 ElementKernel elementWise)
{
    if (n == 0 || m == 0)
        return;
    if (m == 1)
        return scalar(x, n, y[0]);
    if (m == n)
        return elementWise(x, y, n);
    const std::uint32_t steps = std::max(n, m);
    std::uint32_t i = 0, j = 0;
    for (std::uint32_t s = 0; s < steps; ++s) {
        x[i] = op(x[i], y[j]);
        if (++i == n)
            i = 0;
        if (++j == m)
            j = 0;
    }
}

}  // namespace

SampleBuffer& SampleBuffer::MultiplyCyclic(const SampleBuffer& other)
{
    CyclicSteps(
        data, size, other.data, other.size, [](float a, float b) { return a * b; }, sound::ScaleInPlace,
        sound::MultiplyInPlace);
    return *this;
}

SampleBuffer& SampleBuffer::AddCyclic(const SampleBuffer& other)
{
    CyclicSteps(
        data, size, other.data, other.size, [](float a, float b) { return a + b; }, sound::OffsetInPlace,
        sound::AddInPlace);
    return *this;
}

SampleBuffer operator*(const SampleBuffer& a, const SampleBuffer& b)
{
    SampleBuffer r(a);
    r.MultiplyCyclic(b);
    return r;
}

SampleBuffer operator+(const SampleBuffer& a, const SampleBuffer& b)
{
    SampleBuffer r(a);
    r.AddCyclic(b);
    return r;
}

SampleBuffer operator-(const SampleBuffer& a)
{
    return a * SampleBuffer(-1.0f);
}

SampleBuffer operator-(const SampleBuffer& a, const SampleBuffer& b)
{
    return a + (-b);
}

SampleBuffer& SampleBuffer::MixAt(const SampleBuffer& other, std::uint32_t offset, float gain, float ownGain)
{
    const std::uint32_t n = other.size;
    const std::uint32_t newSize = CheckedCount(std::max<std::uint64_t>(size, std::uint64_t(offset) + n));
    const bool self = &other == this;
    Reserve(newSize);
    // Read through the (possibly moved) storage.
    const float* src = other.data;
    float* dst = data + offset;
    if (self && offset < n) {
        // A recursive echo: sample i + offset reads sample i, already written
        // when i >= offset. Blocks no longer than offset do not overlap.
        std::uint32_t i = 0;
        if (offset == 0) {
            sound::MixKernelAliased(dst, n, gain, ownGain);
        } else {
            while (i < n) {
                const std::uint32_t len = std::min(offset, n - i);
                sound::MixKernel(dst + i, src + i, len, gain, ownGain);
                i += len;
            }
        }
    } else if (n) {
        sound::MixKernel(dst, src, n, gain, ownGain);
    }
    size = newSize;
    return *this;
}

SampleBuffer& SampleBuffer::AppendConstant(std::uint32_t count, float value)
{
    if (count == 0)
        return *this;
    const std::uint32_t newSize = CheckedCount(std::uint64_t(size) + count);
    Reserve(newSize);
    std::fill(data + size, data + newSize, value);
    size = newSize;
    return *this;
}

SampleBuffer& SampleBuffer::AppendRamp(std::uint32_t count, float a, float b)
{
    if (count == 0)
        return *this;
    const std::uint32_t newSize = CheckedCount(std::uint64_t(size) + count);
    Reserve(newSize);
    const double span = double(b) - double(a);
    const double n = double(float(count));
    float* out = data + size;
    for (std::uint32_t k = 0; k < count; ++k) {
        out[k] = float(double(a) + span * double(float(k)) / n);
    }
    size = newSize;
    return *this;
}

SampleBuffer& SampleBuffer::AppendRampFromLast(std::uint32_t count, float b)
{
    const float last = size ? data[size - 1] : 0.0f;
    return AppendRamp(count, last, b);
}

SampleBuffer Concatenate(const SampleBuffer& a, const SampleBuffer& b)
{
    SampleBuffer r(CheckedCount(std::uint64_t(a.size) + b.size));
    if (a.size)
        std::memcpy(r.data, a.data, size_t(a.size) * sizeof(float));
    if (b.size)
        std::memcpy(r.data + a.size, b.data, size_t(b.size) * sizeof(float));
    return r;
}
