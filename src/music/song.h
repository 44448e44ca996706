#pragma once
// The system's soundtrack: 848 steps of 8000 samples (6,784,000 samples,
// about 153.8 s), built by one fixed recipe over the instruments. Every call
// gives the same samples.
#include <cstdint>

#include "music/sample_buffer.h"

class SongWorkers;

SampleBuffer ComposeSong();
// ComposeSong, then a 20 Hz high-pass over the whole song.
SampleBuffer RenderSong();

// The same, with the song's independent parts spread over workerCount threads
// (1: all on the calling thread). The samples do not depend on the count.
SampleBuffer ComposeSong(unsigned workerCount);
SampleBuffer RenderSong(unsigned workerCount);

// The named parts of the recipe, each a function of the parts it is made of,
// so that each can be built and measured on its own.
namespace SongParts {

constexpr std::uint32_t S = 8000;  // one step, in samples

struct Plucks {
    SampleBuffer c4, ds4, g4, g3;  // Pluck(-12), Pluck(-9), Pluck(-5), Pluck(-17)
};
struct Figures {
    SampleBuffer f1, f2, f3, f4;
};

SampleBuffer PluckEnvelope();
SampleBuffer Pluck(std::int32_t n, const SampleBuffer& pluckEnvelope);
Plucks MakePlucks(const SampleBuffer& pluckEnvelope);
SampleBuffer Figure1(const Plucks& p);
SampleBuffer Figure2(const Plucks& p);
SampleBuffer Figure3(const Plucks& p);
SampleBuffer Figure4(const Plucks& p);
// Zeros(32 steps) with eight figures at steps 0, 4, ..., 28.
SampleBuffer PhraseOf(const SampleBuffer* const figures[8]);
SampleBuffer Phrase1(const Figures& f);
SampleBuffer Phrase2(const Figures& f);
SampleBuffer Phrase3(const Figures& f);
SampleBuffer Phrase4(const Figures& f);
SampleBuffer Phrase5(const Figures& f);

SampleBuffer Kick();
SampleBuffer FillHit();
SampleBuffer EndHit();
SampleBuffer LongSnare();
SampleBuffer ShortSnare();
SampleBuffer Beat(const SampleBuffer& kick, const SampleBuffer& fillHit, const SampleBuffer& shortSnare,
                  const SampleBuffer& endHit, const SampleBuffer& longSnare);

SampleBuffer Gate();
SampleBuffer Pad(std::int32_t n, const SampleBuffer& gate);
// Pad(p) at 0, Pad(q) at step 2.
SampleBuffer Chord(const SampleBuffer& padP, const SampleBuffer& padQ);
SampleBuffer PadSequence(const SampleBuffer& chord1, const SampleBuffer& chord2, const SampleBuffer& chord3,
                         const SampleBuffer& chord4);
SampleBuffer Beat4(const SampleBuffer& beat);

SampleBuffer LeadEnvelope();
SampleBuffer Lead(std::int32_t n, const SampleBuffer& leadEnvelope);
// The eight leads in the order of the melody's table: notes 31, 26, 27, 22,
// 19, 14, 15, 10.
extern const std::int32_t kMelodyNotes[8];
SampleBuffer Melody(const SampleBuffer* const leads[8]);

// The bass line's notes: PadNote(S, steps, f(n)) for (-36, 64), (-19, 64),
// (-38, 64), (-21, 32).
SampleBuffer BassNote(int index);
SampleBuffer BassLine(const SampleBuffer* const notes[4]);

SampleBuffer FadeIn();
struct SectionAParts {
    const SampleBuffer *bassLine, *chord2, *chord3, *chord4, *phrase1, *phrase4, *phrase5, *padSequence, *beat4,
        *melody, *fadeIn;
};
SampleBuffer SectionA(const SectionAParts& p);

// N(n, steps): PadNote(S, steps, f(n)).
SampleBuffer ThemeNote(std::int32_t n, std::uint32_t steps);
SampleBuffer ThemeBase(const SampleBuffer* const notes[5]);
// A copy of the base with its notes at 32 and 48.
SampleBuffer Theme(const SampleBuffer& base, const SampleBuffer& noteAt32, const SampleBuffer& noteAt48);
SampleBuffer HoldFade();
// The fourteen notes of ThemeD, in the order of its table.
struct ThemeDNote {
    std::int32_t n;
    std::uint32_t steps;
    std::uint32_t at;
    float gain;
    bool holdFade;
};
extern const ThemeDNote kThemeDNotes[14];
SampleBuffer ThemeD(const SampleBuffer* const notes[14], const SampleBuffer& holdFade);

SampleBuffer Trapezoid();
SampleBuffer SweepNoise();       // BandNoise(128 S, 7000, 0, 0)
SampleBuffer SweepModulation();  // BandNoise(128 S, 0.5, 0, 0)
SampleBuffer Sweep(const SampleBuffer& noise, const SampleBuffer& modulation, const SampleBuffer& trapezoid);
SampleBuffer Sweep();

SampleBuffer Boom();
SampleBuffer Drop1(const SampleBuffer& boom);
SampleBuffer Drop2(const SampleBuffer& boom);

SampleBuffer SectionB(const SampleBuffer& themeA, const SampleBuffer& themeB, const SampleBuffer& themeC,
                      const SampleBuffer& themeD, const SampleBuffer& drop1);

SampleBuffer IntroPhrases(const SampleBuffer& phrase1, const SampleBuffer& phrase2, const SampleBuffer& phrase3);
SampleBuffer LatePhrases(const SampleBuffer& phrase4, const SampleBuffer& phrase5);
SampleBuffer IntroRise(const SampleBuffer& introPhrases);
SampleBuffer IntroBody(const SampleBuffer& introRise, const SampleBuffer& latePhrases, const SampleBuffer& drop1,
                       const SampleBuffer& drop2);
SampleBuffer Intro(const SampleBuffer& introBody, const SampleBuffer& sweep);

// With workers, stretches of the song are mixed side by side (each sample
// still takes its six mixes in order).
SampleBuffer SongMix(const SampleBuffer& intro, const SampleBuffer& sectionA, const SampleBuffer& sectionB,
                     const SampleBuffer& sweep, SongWorkers* workers = nullptr);
// The slow gain stage, in place.
void MasterGain(SampleBuffer& song);
// MasterGain, then HighPass({cutoff}), in one pass.
void MasterGainAndHighPass(SampleBuffer& song, float cutoff);

}  // namespace SongParts
