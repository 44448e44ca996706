#pragma once
// Synthesis building blocks: note frequencies, oscillators, effects that ignore
// their inputs, and the free forms of the table readers. The in-place filters,
// shapers and reads are members of SampleBuffer (sample_buffer.h).
#include <cstdint>

#include "music/sample_buffer.h"

extern std::uint32_t g_sampleRate;
extern const std::uint16_t g_noteFrequencies[12];

// Note 0 is 523.25 Hz, 12 notes to the octave.
float NoteFrequency(std::int32_t n);
// sin x in double, not rounded to float.
double Sine(float x);

SampleBuffer SawWave(std::uint32_t count, float f);
SampleBuffer SineWave(std::uint32_t count, float f);
SampleBuffer SquareWave(std::uint32_t count, float f);

// target.MixAt(SawWave(target.size, float(f * factors[i])), 0, gains[i]) for
// i = 0 .. count - 1 in order, made in one pass over the target (the saws'
// phase chains overlap in time; every sample comes out the same). At most
// kMaxMixedSaws saws.
constexpr int kMaxMixedSaws = 16;
void MixSawWaves(SampleBuffer& target, float f, const double* factors, const float* gains, int count);

SampleBuffer Waveshape(const SampleBuffer& a, const SampleBuffer& table);
SampleBuffer ReadWavetable(const SampleBuffer& increments, const SampleBuffer& table);
SampleBuffer ReadWavetable(const SampleBuffer& increments, const SampleBuffer& table, float startPhase);
SampleBuffer ReadByDoubleIntegration(const SampleBuffer& increments, const SampleBuffer& table);
SampleBuffer ReadByDoubleIntegration(const SampleBuffer& increments, const SampleBuffer& table, float velocity);
SampleBuffer ReadByDoubleIntegration(const SampleBuffer& increments, const SampleBuffer& table, float velocity,
                                     float position);

SampleBuffer SilenceEffect(SampleBuffer a, SampleBuffer b);
SampleBuffer SilenceEffect(SampleBuffer a, SampleBuffer b, float p);
SampleBuffer SilenceEffect(SampleBuffer a, SampleBuffer b, float p, float q);
