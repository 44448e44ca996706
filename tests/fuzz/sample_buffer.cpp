// The sample buffer on arbitrary sequences of operations over four buffers:
// construction, copies and moves (onto themselves too), size changes, appends,
// mixing at offsets (into itself too), cyclic arithmetic between buffers of
// any lengths including empty ones, and the integrating, summing and
// interpolating reads at any positions. Every buffer is shadowed by a plain
// vector that follows the step-by-step recipe, and after each operation the
// samples must match bit for bit and the storage rules must hold (size within
// capacity, one sample inline, a zero tail). The fused paths (filter chains,
// mixed saws) are checked against the operations they stand for. Sizes stay
// at most 1 << 16 samples and read spans short, so that a run stays fast.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <utility>
#include <vector>

#include "music/filter_chain.h"
#include "music/sample_buffer.h"
#include "music/synthesis.h"

namespace {

constexpr std::uint32_t kMaxSamples = 1u << 16;
constexpr std::uint32_t kMaxGenerated = 1u << 10;  // oscillators, filters, table reads
constexpr int kSlots = 4;

using Model = std::vector<float>;

// Says which check failed, then stops the run.
void Fail(int line)
{
    std::fprintf(stderr, "sample_buffer check failed at line %d\n", line);
    __builtin_trap();
}
#define Check(condition) ((condition) ? void(0) : Fail(__LINE__))

bool Same(float a, float b)
{
    if (std::isnan(a) || std::isnan(b))
        return std::isnan(a) && std::isnan(b);
    return std::memcmp(&a, &b, sizeof a) == 0;
}

void CheckStorage(const SampleBuffer& b)
{
    Check(b.size <= b.capacity);
    Check((b.data == nullptr) == (b.capacity == 0));
    Check((b.data == &b.inlineSample) == (b.capacity == 1));
    for (std::uint32_t i = b.size; i < b.capacity; ++i) {
        std::uint32_t bits;
        std::memcpy(&bits, &b.data[i], sizeof bits);
        Check(bits == 0);
    }
}

void CheckSamples(const SampleBuffer& b, const Model& m)
{
    CheckStorage(b);
    Check(b.size == m.size());
    for (std::uint32_t i = 0; i < b.size; ++i)
        Check(Same(b.data[i], m[i]));
}

float Value(FuzzedDataProvider& in)
{
    static const float kSpecial[] = {0.0f,
                                     -0.0f,
                                     1.0f,
                                     -1.0f,
                                     0.5f,
                                     2.0f,
                                     1e-30f,
                                     1e-45f,
                                     1e30f,
                                     -1e30f,
                                     3e38f,
                                     std::numeric_limits<float>::infinity(),
                                     -std::numeric_limits<float>::infinity(),
                                     std::numeric_limits<float>::quiet_NaN()};
    switch (in.ConsumeIntegralInRange<int>(0, 2)) {
    case 0: return kSpecial[in.ConsumeIntegralInRange<std::size_t>(0, std::size(kSpecial) - 1)];
    case 1: {
        const std::uint32_t bits = in.ConsumeIntegral<std::uint32_t>();
        float v;
        std::memcpy(&v, &bits, sizeof v);
        return v;
    }
    default: return in.ConsumeFloatingPointInRange<float>(-4.0f, 4.0f);
    }
}

// A count that keeps a buffer of `used` samples within the bound.
std::uint32_t Count(FuzzedDataProvider& in, std::uint32_t used)
{
    const std::uint32_t room = used < kMaxSamples ? kMaxSamples - used : 0;
    switch (in.ConsumeIntegralInRange<int>(0, 7)) {
    case 0: return in.ConsumeIntegralInRange<std::uint32_t>(0, room);
    case 1:
    case 2: return in.ConsumeIntegralInRange<std::uint32_t>(0, std::min(room, 1024u));
    default: return in.ConsumeIntegralInRange<std::uint32_t>(0, std::min(room, 8u));
    }
}

// A position near a buffer of n samples, or one of the far ones.
float Position(FuzzedDataProvider& in, std::uint32_t n)
{
    static const float kFar[] = {-1e30f,
                                 -1e19f,
                                 -5e9f,
                                 -4294967296.0f,
                                 -1.5f,
                                 4294967040.0f,
                                 5e9f,
                                 1e19f,
                                 1e30f,
                                 std::numeric_limits<float>::infinity(),
                                 -std::numeric_limits<float>::infinity(),
                                 std::numeric_limits<float>::quiet_NaN()};
    if (in.ConsumeIntegralInRange<int>(0, 7) == 0) {
        return kFar[in.ConsumeIntegralInRange<std::size_t>(0, std::size(kFar) - 1)];
    }
    const float reach = 4.0f * float(n) + 8.0f;
    return in.ConsumeFloatingPointInRange<float>(-reach, reach);
}

// --- The recipe, step by step, on vectors ---

void ModelCyclic(Model& x, const Model& y, bool multiply)
{
    const std::size_t n = x.size(), m = y.size();
    if (n == 0 || m == 0)
        return;
    std::size_t i = 0, j = 0;
    for (std::size_t s = 0; s < std::max(n, m); ++s) {
        x[i] = multiply ? float(double(x[i]) * double(y[j])) : float(double(x[i]) + double(y[j]));
        if (++i == n)
            i = 0;
        if (++j == m)
            j = 0;
    }
}

// other == nullptr: x mixed into itself.
void ModelMixAt(Model& x, const Model* other, std::uint32_t offset, float gain, float ownGain)
{
    const std::size_t m = other ? other->size() : x.size();
    x.resize(std::max<std::size_t>(x.size(), offset + m), 0.0f);
    for (std::size_t i = 0; i < m; ++i) {
        const float src = other ? (*other)[i] : x[i];
        x[offset + i] = float(double(src) * double(gain) + double(x[offset + i]) * double(ownGain));
    }
}

void ModelAppendRamp(Model& x, std::uint32_t count, float a, float b)
{
    for (std::uint32_t k = 0; k < count; ++k) {
        x.push_back(float(double(a) + (double(b) - double(a)) * double(float(k)) / double(float(count))));
    }
}

// Integrate for positions at or above 0 below 2^32.
float ModelIntegrate(const Model& x, float a, float b)
{
    const std::uint32_t n = std::uint32_t(x.size());
    const std::uint32_t ia = std::uint32_t(a), ib = std::uint32_t(b);
    const bool direct = a < float(n) && b < float(n);
    auto at = [&](std::uint32_t k) { return direct ? x[k] : x[k % n]; };
    if (ia == ib)
        return float(double(at(ia)) * (double(b) - double(a)));
    float acc = float(double(at(ia)) * (double(float(ia + 1)) - double(a)));
    for (std::uint32_t k = ia + 1; k < ib; ++k)
        acc = float(double(acc) + double(at(k)));
    return float(double(acc) + double(at(ib)) * (double(b) - double(float(ib))));
}

float ModelInterpolateCyclic(const Model& x, float p)
{
    const std::uint32_t n = std::uint32_t(x.size());
    std::uint32_t i = std::uint32_t(p);
    const float w = float(double(p) - double(float(i)));
    const std::uint32_t j = (i + 1) % n;
    i = i % n;
    return float(double(x[i]) + (double(x[j]) - double(x[i])) * double(w));
}

struct Slots {
    SampleBuffer buffer[kSlots];
    Model model[kSlots];
};

void Operate(FuzzedDataProvider& in, Slots& s)
{
    const int t = in.ConsumeIntegralInRange<int>(0, kSlots - 1);
    const int o = in.ConsumeIntegralInRange<int>(0, kSlots - 1);
    SampleBuffer& b = s.buffer[t];
    Model& m = s.model[t];
    const SampleBuffer& other = s.buffer[o];
    const Model& om = s.model[o];
    switch (in.ConsumeIntegralInRange<int>(0, 24)) {
    case 0: {  // a fresh buffer of zeros, or of one value
        if (in.ConsumeBool()) {
            const std::uint32_t n = Count(in, 0);
            b = SampleBuffer(n);
            m.assign(n, 0.0f);
        } else {
            const float v = Value(in);
            b = SampleBuffer(v);
            m.assign(1, v);
        }
        break;
    }
    case 1: {  // write samples
        if (b.size == 0)
            break;
        const int writes = in.ConsumeIntegralInRange<int>(1, 16);
        for (int k = 0; k < writes; ++k) {
            const std::uint32_t i = in.ConsumeIntegralInRange<std::uint32_t>(0, b.size - 1);
            const float v = Value(in);
            b[i] = v;
            m[i] = v;
        }
        break;
    }
    case 2:  // copy assignment, onto itself too
        b = other;
        m = std::vector<float>(om);
        if (o != t)
            Check(b.capacity == b.size);
        break;
    case 3: {  // move assignment, onto itself too
        SampleBuffer& source = s.buffer[o];
        const Model kept = om;
        b = std::move(source);
        m = kept;
        if (o != t) {
            Check(source.data == nullptr && source.size == 0 && source.capacity == 0);
            s.model[o].clear();
        }
        break;
    }
    case 4: {  // copy and move construction
        SampleBuffer copy(other);
        Check(copy.capacity == copy.size);
        CheckSamples(copy, om);
        SampleBuffer moved(std::move(copy));
        Check(copy.data == nullptr);
        CheckSamples(moved, om);
        b = std::move(moved);
        m = std::vector<float>(om);
        break;
    }
    case 5: {  // sub-range construction
        const std::uint32_t start = in.ConsumeBool() ? in.ConsumeIntegral<std::uint32_t>()
                                                     : in.ConsumeIntegralInRange<std::uint32_t>(0, other.size + 4);
        const std::uint32_t count = Count(in, 0);
        SampleBuffer sub(other, start, count);
        Model sm(count, 0.0f);
        for (std::uint64_t i = start; i < std::min<std::uint64_t>(std::uint64_t(start) + count, om.size()); ++i)
            sm[i - start] = om[i];
        CheckSamples(sub, sm);
        b = std::move(sub);
        m = sm;
        break;
    }
    case 6: {  // lower the size
        const std::uint32_t n = in.ConsumeIntegralInRange<std::uint32_t>(0, b.size);
        b.Truncate(n);
        m.resize(n);
        break;
    }
    case 7: {  // reserve
        const std::uint32_t n = Count(in, 0);
        const std::uint32_t before = b.capacity;
        b.Reserve(n);
        Check(b.capacity == std::max(before, n));
        break;
    }
    case 8: {  // reallocate to any count
        const std::uint32_t n = Count(in, 0);
        b.Reallocate(n);
        Check(b.capacity == n);
        if (m.size() > n)
            m.resize(n);
        break;
    }
    case 9: {  // append a constant
        const std::uint32_t n = Count(in, b.size);
        const float v = Value(in);
        b.AppendConstant(n, v);
        m.insert(m.end(), n, v);
        break;
    }
    case 10: {  // append a ramp, or one from the last sample
        const std::uint32_t n = Count(in, b.size);
        const float to = Value(in);
        if (in.ConsumeBool()) {
            const float from = Value(in);
            b.AppendRamp(n, from, to);
            ModelAppendRamp(m, n, from, to);
        } else {
            const float last = m.empty() ? 0.0f : m.back();
            b.AppendRampFromLast(n, to);
            ModelAppendRamp(m, n, last, to);
        }
        break;
    }
    case 11: {  // mix at an offset, into itself too
        const std::uint32_t n = other.size;
        const std::uint32_t limit = n < kMaxSamples ? kMaxSamples - n : 0;
        const std::uint32_t offset = in.ConsumeBool()
                                         ? in.ConsumeIntegralInRange<std::uint32_t>(0, std::min(limit, 64u))
                                         : in.ConsumeIntegralInRange<std::uint32_t>(0, limit);
        const int form = in.ConsumeIntegralInRange<int>(0, 3);
        const float gain = form >= 2 ? Value(in) : 1.0f;
        const float ownGain = form == 3 ? Value(in) : 1.0f;
        if (form == 1 && b.size > limit)
            break;
        const std::uint32_t at = form == 1 ? b.size : offset;
        const Model copy = om;
        if (form == 0) {
            b.MixAt(other, offset);
        } else if (form == 1) {
            b.Append(other);
        } else if (form == 2) {
            b.MixAt(other, offset, gain);
        } else {
            b.MixAt(other, offset, gain, ownGain);
        }
        ModelMixAt(m, o == t ? nullptr : &copy, at, gain, ownGain);
        break;
    }
    case 12: {  // a mix or append past 32-bit byte sizes fails and changes nothing
        const std::uint32_t n = other.size;
        const std::uint32_t offset =
            in.ConsumeIntegralInRange<std::uint32_t>(0x40000000u - std::min(n, 0x40000000u), 0xFFFFFFFFu);
        bool threw = false;
        try {
            if (in.ConsumeBool()) {
                b.MixAt(other, offset, Value(in), Value(in));
            } else {
                b.AppendConstant(std::max(offset, 0x40000000u - b.size), Value(in));
            }
        } catch (const std::length_error&) {
            threw = true;
        }
        Check(threw);
        break;
    }
    case 13: {  // cyclic product or sum in place, with itself too
        const bool multiply = in.ConsumeBool();
        const Model copy = om;
        if (multiply) {
            b *= other;
        } else {
            b.AddCyclic(other);
        }
        ModelCyclic(m, copy, multiply);
        break;
    }
    case 14: {  // the free operators
        const Model left = m, right = om;
        Model expected = left;
        SampleBuffer result;
        switch (in.ConsumeIntegralInRange<int>(0, 3)) {
        case 0:
            result = b * other;
            ModelCyclic(expected, right, true);
            break;
        case 1:
            result = b + other;
            ModelCyclic(expected, right, false);
            break;
        case 2: {
            result = b - other;
            Model negated = right;
            ModelCyclic(negated, {-1.0f}, true);
            ModelCyclic(expected, negated, false);
            break;
        }
        default:
            result = -b;
            ModelCyclic(expected, {-1.0f}, true);
            break;
        }
        CheckSamples(result, expected);
        CheckSamples(b, left);
        break;
    }
    case 15: {  // concatenation
        if (b.size + other.size > kMaxSamples)
            break;
        SampleBuffer c = Concatenate(b, other);
        Model cm = m;
        cm.insert(cm.end(), om.begin(), om.end());
        CheckSamples(c, cm);
        b = std::move(c);
        m = cm;
        break;
    }
    case 16: {  // cyclic element reads
        const std::uint32_t i = in.ConsumeIntegral<std::uint32_t>();
        const float v = b.AtCyclic(i);
        Check(m.empty() ? v == 0.0f : Same(v, m[i % m.size()]));
        break;
    }
    case 17: {  // integrals and averages over short spans, anywhere
        const float a = Position(in, b.size);
        const float span = in.ConsumeBool() ? 0.0f : in.ConsumeFloatingPointInRange<float>(-2.0f, 64.0f);
        const float e = float(double(a) + double(span));
        const float integral = b.Integrate(a, e);
        const float average = b.AverageOver(a, e);
        if (!m.empty() && a >= 0.0f && e >= a && e < 2147483648.0f) {
            Check(Same(integral, ModelIntegrate(m, a, e)));
            if (e > a)
                Check(Same(average, float(double(ModelIntegrate(m, a, e)) / (double(e) - double(a)))));
            if (e == a)
                Check(Same(average, m[std::uint32_t(a) % m.size()]));
        }
        // Nothing to integrate: 0, divided by the span (NaN for a NaN span).
        if (m.empty())
            Check(integral == 0.0f && (average == 0.0f || std::isnan(average)));
        break;
    }
    case 18: {  // sums and averages over short index ranges
        const std::uint32_t from = in.ConsumeBool() ? in.ConsumeIntegral<std::uint32_t>()
                                                    : in.ConsumeIntegralInRange<std::uint32_t>(0, b.size + 4);
        const std::uint32_t to = from + in.ConsumeIntegralInRange<std::uint32_t>(0, 256);
        const float sum = b.Sum(from, to);
        volatile float average = b.Average(from, to);
        (void)average;
        if (!m.empty() && from <= to) {
            const bool direct = from < m.size() && to < m.size();
            float acc = 0.0f;
            for (std::uint32_t i = from; i < to; ++i)
                acc = float(double(direct ? m[i] : m[i % m.size()]) + double(acc));
            Check(Same(sum, acc));
        }
        break;
    }
    case 19: {  // interpolating reads, anywhere
        const float p = Position(in, b.size);
        const float cyclic = b.InterpolateCyclic(p);
        const float clamped = b.InterpolateClamped(p);
        if (!m.empty() && p >= 0.0f && p < 4294967296.0f)
            Check(Same(cyclic, ModelInterpolateCyclic(m, p)));
        if (!m.empty() && p >= 0.0f && p < float(m.size())) {
            const std::uint32_t i = std::uint32_t(p);
            const std::uint32_t j = std::min<std::uint32_t>(i + 1, std::uint32_t(m.size()) - 1);
            const float w = float(double(p) - double(float(i)));
            Check(Same(clamped, float(double(m[i]) + (double(m[j]) - double(m[i])) * double(w))));
        }
        if (m.empty())
            Check(cyclic == 0.0f && clamped == 0.0f);
        break;
    }
    case 20: {  // table reads with increments of a few samples
        if (b.size > kMaxGenerated || o == t)
            break;  // a table is only read
        for (std::uint32_t i = 0; i < b.size; ++i) {
            if (!(std::fabs(b[i]) <= 8.0f))
                b[i] = m[i] = 1.0f;
        }
        const float start = Position(in, other.size);
        const float startPhase = std::fabs(start) < 1e6f ? start : 0.0f;
        switch (in.ConsumeIntegralInRange<int>(0, 2)) {
        case 0: {
            b.ReadWavetable(other, startPhase);
            double phase = startPhase;
            for (float& x : m) {
                const double next = phase + double(x);
                x = other.AverageOver(float(phase), float(next));
                phase = next;
            }
            break;
        }
        case 1: {
            const float velocity = in.ConsumeFloatingPointInRange<float>(-4.0f, 4.0f);
            b.ReadByDoubleIntegration(other, velocity, startPhase);
            double v = velocity, p = startPhase;
            for (float& x : m) {
                v += double(x);
                p += v;
                x = other.InterpolateCyclic(float(p));
            }
            break;
        }
        default:
            b.Waveshape(other);
            for (float& x : m)
                x = other.InterpolateCyclic(x);
            break;
        }
        break;
    }
    case 21: {  // one-pole filters, alone and chained, any cutoffs
        if (b.size > kMaxGenerated)
            break;
        const int stages = in.ConsumeIntegralInRange<int>(1, FilterChain::kMaxStages);
        SampleBuffer fused(b);
        FilterChain chain(fused);
        for (int k = 0; k < stages; ++k) {
            const float wet = Value(in), dry = Value(in);
            // Cutoffs are only read: never the buffer being filtered.
            const SampleBuffer& cutoffs = s.buffer[(t + in.ConsumeIntegralInRange<int>(1, kSlots - 1)) % kSlots];
            b.OnePoleFilter(cutoffs, wet, dry);
            chain.OnePoleFilter(cutoffs, wet, dry);
        }
        chain.Apply();
        m = Model(b.data, b.data + b.size);
        CheckSamples(fused, m);
        break;
    }
    case 22: {  // box filters with windows of up to 16 samples
        if (b.size > kMaxGenerated || other.size > 64)
            break;
        SampleBuffer cutoffs(other);
        for (std::uint32_t i = 0; i < cutoffs.size; ++i) {
            if (cutoffs[i] > 0.0f && cutoffs[i] < 2756.25f)
                cutoffs[i] = 2756.25f;
        }
        b.BoxFilter(cutoffs, Value(in), Value(in));
        m = Model(b.data, b.data + b.size);
        break;
    }
    case 23: {  // oscillators at any frequency
        const std::uint32_t n = in.ConsumeIntegralInRange<std::uint32_t>(0, kMaxGenerated);
        const float f = Value(in);
        switch (in.ConsumeIntegralInRange<int>(0, 2)) {
        case 0: b = SawWave(n, f); break;
        case 1: b = SquareWave(n, f); break;
        default: b = SineWave(n, f); break;
        }
        Check(b.size == n);
        for (std::uint32_t i = 0; i < n; ++i)
            Check(!(b[i] > 1.0f));
        m = Model(b.data, b.data + b.size);
        break;
    }
    default: {  // saws mixed in one pass equal saws mixed one by one
        if (b.size > kMaxGenerated)
            break;
        const int count = in.ConsumeIntegralInRange<int>(1, kMaxMixedSaws + 1);
        std::vector<double> factors(count);
        std::vector<float> gains(count);
        for (int k = 0; k < count; ++k) {
            factors[k] = in.ConsumeBool() ? double(Value(in)) : in.ConsumeFloatingPointInRange<double>(0.0, 64.0);
            gains[k] = Value(in);
        }
        const float f = Value(in);
        SampleBuffer expected(b);
        for (int k = 0; k < count; ++k)
            expected.MixAt(SawWave(expected.size, float(double(f) * factors[k])), 0, gains[k]);
        MixSawWaves(b, f, factors.data(), gains.data(), count);
        m = Model(expected.data, expected.data + expected.size);
        break;
    }
    }
    // Only the two buffers named can have changed.
    CheckSamples(s.buffer[t], s.model[t]);
    CheckSamples(s.buffer[o], s.model[o]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    Slots slots;
    for (int step = 0; step < 64 && in.remaining_bytes() > 0; ++step)
        Operate(in, slots);
    return 0;
}
