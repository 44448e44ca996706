#pragma once
// Instruments: each turns a few numbers into one finished sound, built in a
// fixed order from the sample buffer and the synthesis blocks. None keeps
// state; equal arguments give equal samples.
#include <cstdint>

#include "music/sample_buffer.h"

SampleBuffer SweepHit(float p1, float p2, std::uint32_t length, float drive, float noiseGain);
SampleBuffer Tick(float a, float b);
SampleBuffer CombSquare(float f, std::uint32_t length, float feedback);
SampleBuffer Snare(float f1, float f2, std::uint32_t length, float noiseFrequency);
SampleBuffer DetunedSaws(std::uint32_t length, float f);
SampleBuffer SawPad(std::uint32_t length, float f);
SampleBuffer SawPad4(std::uint32_t length, float f);
SampleBuffer SinePluck(std::uint32_t length, float f);
SampleBuffer LeadBell(std::uint32_t length, float f);
SampleBuffer PadNote(std::uint32_t step, std::uint32_t steps, float f);
SampleBuffer Envelope5(std::uint32_t attack, std::uint32_t hold, float peak, std::uint32_t decay, std::uint32_t sustain,
                       float level, std::uint32_t release);
SampleBuffer DrumPattern(const SampleBuffer& kick, const SampleBuffer& fillHit, const SampleBuffer& fillSnare,
                         const SampleBuffer& endHit, const SampleBuffer& snare, std::uint32_t slot);
SampleBuffer SampleHoldNoise(std::uint32_t length, float f);
SampleBuffer BandNoise(std::uint32_t length, float f, float lowShare, float dryShare);
float HashNoise(float x);
SampleBuffer NoiseHit(float f, std::uint32_t length);

// Ramp(n, a -> b): an empty buffer extended by AppendRamp(n, a, b).
SampleBuffer Ramp(std::uint32_t count, float a, float b);
