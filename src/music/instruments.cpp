#include "music/instruments.h"

#include "music/filter_chain.h"
#include "music/sound_math.h"
#include "music/synthesis.h"

using sound::TruncU32;

SampleBuffer Ramp(std::uint32_t count, float a, float b)
{
    SampleBuffer r;
    r.AppendRamp(count, a, b);
    return r;
}

SampleBuffer SweepHit(float p1, float p2, std::uint32_t length, float drive, float noiseGain)
{
    const float ratio = float(double(p1) / double(p2));
    SampleBuffer table = SineWave(TruncU32(double(float(length)) * double(ratio)), p2);
    SampleBuffer envelope = Ramp(length, 1.0f, 0.0f);
    envelope *= envelope;
    const float k = float((double(ratio) * 3.0 + 1.0) * 0.25);
    const std::uint32_t half = length / 2;
    SampleBuffer body;
    body.AppendRamp(half, ratio, k);
    body.AppendRamp(half, k, 1.0f);
    body.ReadWavetable(table, 0.0f);
    body.Saturate(drive);
    body *= envelope;
    body.Mix(Tick(4.5f, 0.2f));
    SampleBuffer noise =
        BandNoise(length, float(double(p1) * 100.0), 0.0f, 0.0f) * envelope * envelope * SampleBuffer(noiseGain);
    return body + noise;
}

SampleBuffer Tick(float a, float b)
{
    SampleBuffer c = CombSquare(float(double(a) * 200.0), TruncU32(double(b) * 400.0), 0.332f);
    c.AppendConstant(100, 0.0f);
    c.LowPass(SampleBuffer(8000.0f));
    return c;
}

SampleBuffer CombSquare(float f, std::uint32_t length, float feedback)
{
    SampleBuffer s = SquareWave(length, f);
    s.AppendConstant(2000, 0.0f);
    s.MixAt(s, 20, feedback);
    s.HighPass(SampleBuffer(f));
    return s;
}

SampleBuffer Snare(float f1, float f2, std::uint32_t length, float noiseFrequency)
{
    SampleBuffer body = SweepHit(f1, f2, length / 2, 0.0f, 0.3f);
    SampleBuffer noise = BandNoise(length, noiseFrequency, 0.1f, 0.1f) +
                         BandNoise(length, float(double(noiseFrequency) * 2.0), 0.1f, 0.1f);
    noise = noise + BandNoise(length, float(double(noiseFrequency) * 0.5), 0.0f, 0.0f);
    SampleBuffer decay = Ramp(length, 1.0f, 0.0f);
    decay *= decay;
    decay *= decay;
    noise *= decay;
    noise.AppendConstant(1000, 0.0f);
    return body + noise;
}

SampleBuffer DetunedSaws(std::uint32_t length, float f)
{
    static const double kFactors[7] = {0.99, 0.987, 1.0231, 1.0317, 2.0231, 4.0417, 8.0417};
    static const float kGains[7] = {1, 1, 1, 1, 1, 1, 1};
    // Mixed in this order (the order sets the rounding of the sums).
    SampleBuffer out(length);
    MixSawWaves(out, f, kFactors, kGains, 7);
    out.Saturate(0.5f);
    out.AddAwayFromZero(1.3f);
    out *= SampleBuffer(0.25f);
    const SampleBuffer low(2000.0f), high(20.0f);
    FilterChain(out).LowPass(low).HighPass(high).Apply();
    return out;
}

namespace {

// Detuned saws at the given gains, scaled to level, then band-limited to
// 1 kHz .. 20 kHz.
SampleBuffer FilteredSawPad(std::uint32_t length, float f, const double* factors, const float* gains, int count,
                            float level)
{
    SampleBuffer out(length);
    MixSawWaves(out, f, factors, gains, count);
    out *= SampleBuffer(level);
    const SampleBuffer low(20000.0f), high(1000.0f);
    FilterChain(out).LowPass(low).HighPass(high).Apply();
    return out;
}

}  // namespace

SampleBuffer SawPad(std::uint32_t length, float f)
{
    static const double kFactors[9] = {0.99, 0.989, 1.0131, 1.0207, 2.017, 2.01, 4.001, 8.0417, 16.0417};
    static const float kGains[9] = {1, 1, 1, 1, 1, 1, 0.5f, 0.5f, 0.25f};
    return FilteredSawPad(length, f, kFactors, kGains, 9, 0.125f);
}

SampleBuffer SawPad4(std::uint32_t length, float f)
{
    static const double kFactors[4] = {0.99, 0.999, 1.0131, 1.0117};
    static const float kGains[4] = {1, 1, 1, 1};
    return FilteredSawPad(length, f, kFactors, kGains, 4, 0.25f);
}

SampleBuffer SinePluck(std::uint32_t length, float f)
{
    SampleBuffer s = SineWave(length, f);
    const SampleBuffer low(4000.0f), high(1000.0f);
    FilterChain(s).LowPass(low).HighPass(high).Apply();
    return s;
}

SampleBuffer LeadBell(std::uint32_t length, float f)
{
    static const double kFactors[4] = {0.999, 1.999, 1.001, 2.00317};
    SampleBuffer out(length);
    for (double m : kFactors)
        out.MixAt(SineWave(length, float(double(f) * m)), 0, 0.4f);
    out.LowPassed(SampleBuffer(1000.0f));
    return out;
}

SampleBuffer PadNote(std::uint32_t step, std::uint32_t steps, float f)
{
    return SawPad((steps + 5) * step, f) *
           Envelope5(4 * step, (steps - 4) * step, 1.0f, step, 2 * step, 0.25f, 2 * step);
}

SampleBuffer Envelope5(std::uint32_t attack, std::uint32_t hold, float peak, std::uint32_t decay, std::uint32_t sustain,
                       float level, std::uint32_t release)
{
    SampleBuffer e;
    e.AppendRamp(attack, 0.0f, peak);
    e.AppendConstant(hold, peak);
    e.AppendRamp(decay, peak, level);
    e.AppendConstant(sustain, level);
    e.AppendRamp(release, level, 0.0f);
    return e;
}

SampleBuffer DrumPattern(const SampleBuffer& kick, const SampleBuffer& fillHit, const SampleBuffer& fillSnare,
                         const SampleBuffer& endHit, const SampleBuffer& snare, std::uint32_t slot)
{
    SampleBuffer r(16 * slot);
    r.MixAt(kick, 0 * slot, 1.0f);
    r.MixAt(kick, 3 * slot, 1.0f);
    r.MixAt(snare, 4 * slot, 1.0f);
    r.MixAt(snare, 5 * slot, 0.25f);
    r.MixAt(endHit, 7 * slot, 0.25f);
    r.MixAt(kick, 8 * slot, 1.0f);
    r.MixAt(kick, 9 * slot, 1.0f);
    r.MixAt(kick, 11 * slot, 1.0f);
    r.MixAt(snare, 12 * slot, 1.0f);
    r.MixAt(fillHit, 14 * slot, 1.0f);
    r.MixAt(fillSnare, TruncU32(double(float(slot)) * 14.5), 1.0f);
    r.MixAt(endHit, 15 * slot, 1.0f);
    // One bar exactly: what ran past the sixteenth slot is dropped (and the
    // dropped samples zeroed, as a buffer's tail must be).
    r.Truncate(16 * slot);
    return r;
}

SampleBuffer SampleHoldNoise(std::uint32_t length, float f)
{
    SampleBuffer out(length);
    const float hold = float(double(float(g_sampleRate)) / double(f) / 2.0);
    std::uint32_t key = TruncU32(double(float(length)) + double(f));
    float counter = 0.0f;
    float value = HashNoise(float(key));
    for (std::uint32_t i = 0; i < length; ++i) {
        out.data[i] = value;
        counter = counter + 1.0f;
        if (counter > hold) {
            counter = counter - hold;
            key = key + 1;
            value = HashNoise(float(key));
        }
    }
    return out;
}

SampleBuffer BandNoise(std::uint32_t length, float f, float lowShare, float dryShare)
{
    SampleBuffer x = SampleHoldNoise(length, f);
    const SampleBuffer cutoff(f);
    const float lowWet = float(1.0 - double(dryShare));
    const float highWet = float(double(lowShare) - 1.0);
    FilterChain(x)
        .OnePoleFilter(cutoff, lowWet, dryShare)
        .OnePoleFilter(cutoff, highWet, 1.0f)
        .OnePoleFilter(cutoff, lowWet, dryShare)
        .OnePoleFilter(cutoff, highWet, 1.0f)
        .Apply();
    return x;
}

float HashNoise(float x)
{
    const std::uint32_t k = TruncU32(x);
    const std::uint32_t u = (k * k + 74135719u) * k;
    const std::uint64_t w = (std::uint64_t(u) + 7124211423ull) * std::uint64_t(k);
    const std::uint32_t m = std::uint32_t(w & 0xFFFEu);
    return float(double(m) / 32767.0 - 1.0);
}

SampleBuffer NoiseHit(float f, std::uint32_t length)
{
    SampleBuffer decay = Ramp(length, 1.0f, 0.0f);
    decay *= decay;
    decay *= decay;
    return BandNoise(length, f, 0.0f, 0.5f) * decay;
}
