#include "music/synthesis.h"

#include <algorithm>
#include <cmath>

#include "music/sound_math.h"

using sound::TruncU32;

std::uint32_t g_sampleRate = 44100;
const std::uint16_t g_noteFrequencies[12] = {4186, 4435, 4699, 4978, 5274, 5588, 5920, 6272, 6645, 7040, 7459, 7902};

namespace {

float SampleRate()
{
    return float(g_sampleRate);
}

// Positive remainder of a signed cell index.
std::uint32_t CellIndex(std::int64_t k, std::uint32_t size)
{
    std::int64_t r = k % std::int64_t(size);
    if (r < 0)
        r += size;
    return std::uint32_t(r);
}

// The integer part of a position: truncation for positions at or above 0 (the
// low 32 bits), the floor below 0 so that negative positions read the right
// cells of the cyclically extended signal. Below -2^32 the floor keeps only
// its remainder by 2^32, as positive positions keep their low 32 bits: the
// conversion stays in range and a read loop spans at most 2^33 cells.
std::int64_t CellOf(float p)
{
    if (p >= 0.0f)
        return std::int64_t(TruncU32(p));
    if (!std::isfinite(p))
        return 0;
    double cell = std::floor(double(p));
    if (cell < -4294967296.0)
        cell = std::fmod(cell, 4294967296.0);
    return std::int64_t(cell);
}

// Saw-style phase wrap: while phase > 1, phase = phase - 2. Below 2^25 every
// subtraction is exact, so the loop's end is phase - 2n with n the number of
// subtractions, computed at once for large steps; a phase that subtracting 2
// no longer moves is reduced directly, so a huge step cannot loop for ever.
// (A sum or difference of two floats evaluated in double and rounded to float
// is the float sum, so the float operators give the recipe's bits.)
inline float WrapPhase(float phase)
{
    while (phase > 1.0f) {
        if (phase > 3.0f && phase < 33554432.0f) {
            const double n = std::ceil((double(phase) - 1.0) / 2.0);
            return float(double(phase) - 2.0 * n);
        }
        const float next = phase - 2.0f;
        if (next == phase)
            return float(std::fmod(double(phase) + 1.0, 2.0) - 1.0);
        phase = next;
    }
    return phase;
}

}  // namespace

float NoteFrequency(std::int32_t n)
{
    float scale = 0.125f;
    while (n < 0) {
        n += 12;
        scale = float(double(scale) / 2.0);
    }
    while (n >= 12) {
        n -= 12;
        scale = float(double(scale) * 2.0);
    }
    return float(double(float(g_noteFrequencies[n])) * double(scale));
}

double Sine(float x)
{
    return std::sin(double(x));
}

SampleBuffer SawWave(std::uint32_t count, float f)
{
    SampleBuffer r(count);
    const float step = float(double(f) * 2.0 / double(SampleRate()));
    if (!std::isfinite(step))
        return r;  // silent rather than an endless wrap
    float phase = -1.0f;
    for (std::uint32_t k = 0; k < count; ++k) {
        phase = WrapPhase(phase + step);
        r.data[k] = phase;
    }
    return r;
}

void MixSawWaves(SampleBuffer& target, float f, const double* factors, const float* gains, int count)
{
    if (count > kMaxMixedSaws) {
        for (int m = 0; m < count; ++m)
            target.MixAt(SawWave(target.size, float(double(f) * factors[m])), 0, gains[m]);
        return;
    }
    float step[kMaxMixedSaws], phase[kMaxMixedSaws], gain[kMaxMixedSaws];
    int live = 0;
    for (int m = 0; m < count; ++m) {
        const float freq = float(double(f) * factors[m]);
        const float st = float(double(freq) * 2.0 / double(SampleRate()));
        if (!std::isfinite(st)) {
            // A silent saw (SawWave's answer to such a step): mixing its zeros
            // changes a sample only through its gain, whatever its place.
            target.MixAt(SampleBuffer(target.size), 0, gains[m]);
            continue;
        }
        step[live] = st;
        phase[live] = -1.0f;
        gain[live] = gains[m];
        ++live;
    }
    // Block by block: the saws' phases for a block, one chain per saw, then
    // each saw mixed into the block, sample chains side by side.
    bool singleWrap = true;
    for (int m = 0; m < live; ++m)
        singleWrap = singleWrap && step[m] < 2.0f;
    constexpr std::uint32_t kBlock = 256;
    float saw[kMaxMixedSaws][kBlock];
    float* x = target.data;
    for (std::uint32_t start = 0; start < target.size; start += kBlock) {
        const std::uint32_t n = std::min(kBlock, target.size - start);
        if (singleWrap) {
            // Steps below 2 wrap at most once a sample: the wrap needs no loop.
            for (std::uint32_t j = 0; j < n; ++j) {
                for (int m = 0; m < live; ++m) {
                    const float p = phase[m] + step[m];
                    phase[m] = p > 1.0f ? p - 2.0f : p;
                    saw[m][j] = phase[m];
                }
            }
        } else {
            for (std::uint32_t j = 0; j < n; ++j) {
                for (int m = 0; m < live; ++m) {
                    phase[m] = WrapPhase(phase[m] + step[m]);
                    saw[m][j] = phase[m];
                }
            }
        }
        float* out = x + start;
        for (int m = 0; m < live; ++m)
            sound::MixKernel(out, saw[m], n, gain[m], 1.0f);
    }
}

SampleBuffer SquareWave(std::uint32_t count, float f)
{
    SampleBuffer r(count);
    const float step = float(double(f) * 2.0 / double(SampleRate()));
    if (!std::isfinite(step))
        return r;
    float phase = 0.0f;
    for (std::uint32_t k = 0; k < count; ++k) {
        phase = WrapPhase(phase + step);
        r.data[k] = phase > 0.0f ? 1.0f : 0.0f;
    }
    return r;
}

SampleBuffer SineWave(std::uint32_t count, float f)
{
    SampleBuffer r(count);
    const double fd = f;
    const double rate = double(SampleRate());
    for (std::uint32_t k = 0; k < count; ++k) {
        const float arg = float(((double(float(k)) * 355.0) / 113.0) * fd / rate * 2.0);
        r.data[k] = float(Sine(arg));
    }
    return r;
}

SampleBuffer Waveshape(const SampleBuffer& a, const SampleBuffer& table)
{
    SampleBuffer r(a);
    r.Waveshape(table);
    return r;
}

SampleBuffer ReadWavetable(const SampleBuffer& increments, const SampleBuffer& table)
{
    return ReadWavetable(increments, table, 0.0f);
}

SampleBuffer ReadWavetable(const SampleBuffer& increments, const SampleBuffer& table, float startPhase)
{
    SampleBuffer r(increments);
    r.ReadWavetable(table, startPhase);
    return r;
}

SampleBuffer ReadByDoubleIntegration(const SampleBuffer& increments, const SampleBuffer& table)
{
    return ReadByDoubleIntegration(increments, table, 0.0f, 0.0f);
}

SampleBuffer ReadByDoubleIntegration(const SampleBuffer& increments, const SampleBuffer& table, float velocity)
{
    return ReadByDoubleIntegration(increments, table, velocity, 0.0f);
}

SampleBuffer ReadByDoubleIntegration(const SampleBuffer& increments, const SampleBuffer& table, float velocity,
                                     float position)
{
    SampleBuffer r(increments);
    r.ReadByDoubleIntegration(table, velocity, position);
    return r;
}

SampleBuffer SilenceEffect(SampleBuffer, SampleBuffer)
{
    return SampleBuffer(0.0f);
}
SampleBuffer SilenceEffect(SampleBuffer, SampleBuffer, float)
{
    return SampleBuffer(0.0f);
}
SampleBuffer SilenceEffect(SampleBuffer, SampleBuffer, float, float)
{
    return SampleBuffer(0.0f);
}

// ---- SampleBuffer members of the building blocks ----

SampleBuffer& SampleBuffer::OnePoleFilter(const SampleBuffer& cutoffs, float wet, float dry)
{
    if (size == 0 || cutoffs.size == 0)
        return *this;
    float state = data[0];
    const float k = float(1.0 / double(SampleRate()));
    const double w = wet, d = dry;
    if (cutoffs.size == 1) {
        const float a = cutoffs.data[0] * k;
        const double ad = a, oneMinusA = 1.0 - double(a);
        for (std::uint32_t i = 0; i < size; ++i) {
            const double x = data[i];
            state = float(x * ad + oneMinusA * double(state));
            data[i] = float(x * d + double(state) * w);
        }
        return *this;
    }
    for (std::uint32_t i = 0; i < size; ++i) {
        const float a = cutoffs.data[i % cutoffs.size] * k;
        const double x = data[i];
        state = float(x * double(a) + (1.0 - double(a)) * double(state));
        data[i] = float(x * d + double(state) * w);
    }
    return *this;
}

SampleBuffer& SampleBuffer::BoxFilter(const SampleBuffer& cutoffs, float wet, float dry)
{
    if (cutoffs.size == 0)
        return *this;
    const double rate = SampleRate();
    for (std::uint32_t i = 0; i < size; ++i) {
        const float width = float(rate / double(cutoffs.data[i % cutoffs.size]));
        const float end = float(double(float(i)) + double(width));
        data[i] = float(double(AverageOver(float(i), end)) * double(wet) + double(data[i]) * double(dry));
    }
    return *this;
}

SampleBuffer& SampleBuffer::Saturate(float amount)
{
    const double am = amount;
    for (std::uint32_t i = 0; i < size; ++i) {
        const float x = data[i];
        const float s = x < 0.0f ? -1.0f : 1.0f;
        float t = x * s;
        t = 1.0f - t;
        t = t * t;
        t = 1.0f - t;
        const float y = t * s;
        data[i] = float(double(x) + (double(y) - double(x)) * am);
    }
    return *this;
}

SampleBuffer& SampleBuffer::ClipTop(float amount)
{
    const float limit = float(1.0 - 2.0 * double(amount));
    for (std::uint32_t i = 0; i < size; ++i) {
        if (data[i] > limit)
            data[i] = limit;
    }
    return *this;
}

SampleBuffer& SampleBuffer::AddAwayFromZero(float amount)
{
    for (std::uint32_t i = 0; i < size; ++i) {
        const float x = data[i];
        data[i] = x < 0.0f ? x - amount : x + amount;
    }
    return *this;
}

SampleBuffer& SampleBuffer::Waveshape(const SampleBuffer& table)
{
    for (std::uint32_t i = 0; i < size; ++i)
        data[i] = table.InterpolateCyclic(data[i]);
    return *this;
}

SampleBuffer& SampleBuffer::ReadWavetable(const SampleBuffer& table, float startPhase)
{
    double phase = startPhase;
    for (std::uint32_t i = 0; i < size; ++i) {
        const double next = phase + double(data[i]);
        data[i] = table.AverageOver(float(phase), float(next));
        phase = next;
    }
    return *this;
}

SampleBuffer& SampleBuffer::ReadByDoubleIntegration(const SampleBuffer& table, float velocity, float position)
{
    double v = velocity, p = position;
    for (std::uint32_t i = 0; i < size; ++i) {
        v = v + double(data[i]);
        p = p + v;
        data[i] = table.InterpolateCyclic(float(p));
    }
    return *this;
}

float SampleBuffer::Integrate(float a, float b) const
{
    if (size == 0)
        return 0.0f;
    const std::int64_t ia = CellOf(a), ib = CellOf(b);
    const float fs = float(size);
    const bool direct = a >= 0.0f && b >= 0.0f && a < fs && b < fs;
    auto x = [&](std::int64_t k) { return direct ? data[k] : data[CellIndex(k, size)]; };
    if (ia == ib)
        return float(double(x(ia)) * (double(b) - double(a)));
    float acc = float(double(x(ia)) * (double(float(ia + 1)) - double(a)));
    for (std::int64_t k = ia + 1; k < ib; ++k)
        acc = acc + x(k);
    return float(double(acc) + double(x(ib)) * (double(b) - double(float(ib))));
}

float SampleBuffer::AverageOver(float a, float b) const
{
    if (a == b) {
        // An empty interval: the value of the cell it sits in.
        if (size == 0)
            return 0.0f;
        return data[CellIndex(CellOf(a), size)];
    }
    return float(double(Integrate(a, b)) / (double(b) - double(a)));
}

float SampleBuffer::Sum(std::uint32_t from, std::uint32_t to) const
{
    if (size == 0)
        return 0.0f;
    const bool direct = from < size && to < size;
    float acc = 0.0f;
    for (std::uint32_t i = from; i < to; ++i)
        acc = (direct ? data[i] : data[i % size]) + acc;
    return acc;
}

float SampleBuffer::Average(std::uint32_t from, std::uint32_t to) const
{
    return float(double(Sum(from, to)) / double(float(std::uint32_t(to - from))));
}

float SampleBuffer::InterpolateCyclic(float p) const
{
    if (size == 0)
        return 0.0f;
    const std::int64_t cell = CellOf(p);
    const float w = float(double(p) - double(float(cell)));
    std::uint32_t i, j;
    if (cell >= 0) {
        const std::uint32_t u = std::uint32_t(cell);
        j = std::uint32_t(u + 1) % size;
        i = u % size;
    } else {
        i = CellIndex(cell, size);
        j = CellIndex(cell + 1, size);
    }
    return float(double(data[i]) + (double(data[j]) - double(data[i])) * double(w));
}

float SampleBuffer::InterpolateClamped(float p) const
{
    if (size == 0)
        return 0.0f;
    if (!(p >= 0.0f))
        return data[0];  // below the buffer (or NaN): the first sample
    const std::uint32_t i = TruncU32(p);
    if (i >= size || p >= float(size))
        return data[size - 1];
    std::uint32_t j = i + 1;
    if (j >= size)
        j = size - 1;
    const float w = float(double(p) - double(float(i)));
    return float(double(data[i]) + (double(data[j]) - double(data[i])) * double(w));
}
