#pragma once
// The second song: 4,402,360 samples (99.8 s) in beats of 13230 samples and
// parts of 64 beats: organ arpeggios with an echo, a bass riff read through a
// sine table, and slow saw chords whose reading speed wobbles. Nothing in the
// system plays it.
#include <cstdint>

#include "music/sample_buffer.h"

SampleBuffer ComposeSong2();
// The same, with independent parts spread over workerCount threads.
SampleBuffer ComposeSong2(unsigned workerCount);

SampleBuffer Song2Riff(float beat);
SampleBuffer Song2Arpeggios(std::uint32_t beat);
SampleBuffer Song2Chords(std::uint32_t beat);
SampleBuffer Arpeggio3(std::uint32_t step, SampleBuffer a, SampleBuffer b, SampleBuffer c, std::uint32_t repeats);
SampleBuffer SineOrgan8(std::uint32_t count, float f);
SampleBuffer SawChord7(std::uint32_t count, float f);
