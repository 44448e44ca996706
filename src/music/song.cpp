#include "music/song.h"

#include <algorithm>
#include <initializer_list>
#include <memory>
#include <thread>

#include "music/filter_chain.h"
#include "music/instruments.h"
#include "music/song_workers.h"
#include "music/sound_math.h"
#include "music/synthesis.h"

using sound::TruncU32;

namespace SongParts {

namespace {

float F(std::int32_t n)
{
    return NoteFrequency(n);
}
SampleBuffer G(float v)
{
    return SampleBuffer(v);
}

}  // namespace

// ---- 1. Plucks ----

SampleBuffer PluckEnvelope()
{
    SampleBuffer e = Envelope5(200, 50, 1.0f, 1000, 100, 0.4f, S - 1350);
    e.LowPass(G(1000.0f));
    return e;
}

SampleBuffer Pluck(std::int32_t n, const SampleBuffer& pluckEnvelope)
{
    return SinePluck(S, F(n)) * pluckEnvelope;
}

Plucks MakePlucks(const SampleBuffer& env)
{
    return Plucks{Pluck(-12, env), Pluck(-9, env), Pluck(-5, env), Pluck(-17, env)};
}

// ---- 2. Figures ----

namespace {

// A part and the step it starts on, mixed in at a gain.
struct Entry {
    const SampleBuffer* part;
    std::uint32_t step;
    float gain = 1.0f;
};

// steps steps of silence with the parts mixed in, in the order given.
SampleBuffer Arrange(std::uint32_t steps, std::initializer_list<Entry> entries)
{
    SampleBuffer r(steps * S);
    for (const Entry& e : entries)
        r.MixAt(*e.part, e.step * S, e.gain, 1.0f);
    return r;
}

}  // namespace

SampleBuffer Figure1(const Plucks& p)
{
    return Arrange(4, {{&p.c4, 0}, {&p.g3, 2}});
}

SampleBuffer Figure2(const Plucks& p)
{
    return Arrange(4, {{&p.c4, 0}, {&p.ds4, 1}, {&p.g3, 2}});
}

SampleBuffer Figure3(const Plucks& p)
{
    return Arrange(4, {{&p.c4, 0}, {&p.ds4, 1}, {&p.c4, 2}, {&p.g3, 3}});
}

SampleBuffer Figure4(const Plucks& p)
{
    return Arrange(4, {{&p.c4, 0}, {&p.g4, 1}, {&p.c4, 2}, {&p.g3, 3}});
}

// ---- 3. Phrases ----

SampleBuffer PhraseOf(const SampleBuffer* const figures[8])
{
    SampleBuffer r(32 * S);
    for (std::uint32_t k = 0; k < 8; ++k)
        r.MixAt(*figures[k], 4 * k * S);
    return r;
}

namespace {
SampleBuffer PhraseFromNumbers(const Figures& f, const int (&numbers)[8])
{
    const SampleBuffer* const byNumber[5] = {nullptr, &f.f1, &f.f2, &f.f3, &f.f4};
    const SampleBuffer* figures[8];
    for (int k = 0; k < 8; ++k)
        figures[k] = byNumber[numbers[k]];
    return PhraseOf(figures);
}
}  // namespace

SampleBuffer Phrase1(const Figures& f)
{
    return PhraseFromNumbers(f, {1, 1, 1, 1, 2, 1, 1, 1});
}
SampleBuffer Phrase2(const Figures& f)
{
    return PhraseFromNumbers(f, {2, 1, 1, 1, 2, 1, 2, 1});
}
SampleBuffer Phrase3(const Figures& f)
{
    return PhraseFromNumbers(f, {2, 1, 2, 1, 3, 2, 3, 2});
}
SampleBuffer Phrase4(const Figures& f)
{
    return PhraseFromNumbers(f, {3, 3, 3, 3, 3, 3, 3, 3});
}
SampleBuffer Phrase5(const Figures& f)
{
    return PhraseFromNumbers(f, {4, 4, 4, 4, 4, 4, 4, 4});
}

// ---- 4. Drums ----

SampleBuffer Kick()
{
    return SweepHit(60.0f, 30.0f, 16000, 0.8f, 0.05f);
}
SampleBuffer FillHit()
{
    return SweepHit(80.0f, 70.0f, 16000, 0.4f, 0.15f);
}
SampleBuffer EndHit()
{
    return SweepHit(120.0f, 100.0f, 11000, 0.2f, 0.95f);
}
SampleBuffer LongSnare()
{
    return Snare(110.0f, 105.0f, 41000, 10000.0f);
}
SampleBuffer ShortSnare()
{
    return Snare(110.0f, 105.0f, 11000, 10000.0f);
}

SampleBuffer Beat(const SampleBuffer& kick, const SampleBuffer& fillHit, const SampleBuffer& shortSnare,
                  const SampleBuffer& endHit, const SampleBuffer& longSnare)
{
    return DrumPattern(kick, fillHit, shortSnare, endHit, longSnare, 2 * S);
}

// ---- 5. Gate, pads and chords ----

SampleBuffer Gate()
{
    SampleBuffer g = Ramp(16000, 1.0f, 0.0f) * Ramp(8000, 1.0f, 0.0f) * Ramp(4000, 1.0f, 0.0f);
    g.Saturate(0.3f);
    return g;
}

SampleBuffer Pad(std::int32_t n, const SampleBuffer& gate)
{
    return SawPad(32 * S, F(n)) * gate;
}

SampleBuffer Chord(const SampleBuffer& padP, const SampleBuffer& padQ)
{
    SampleBuffer c;
    c.Mix(padP);
    c.MixAt(padQ, 2 * S);
    return c;
}

SampleBuffer PadSequence(const SampleBuffer& chord1, const SampleBuffer& chord2, const SampleBuffer& chord3,
                         const SampleBuffer& chord4)
{
    SampleBuffer s;
    s.MixAt(chord1, 0 * S);
    s.MixAt(chord2, 32 * S);
    s.MixAt(chord3, 64 * S);
    s.MixAt(chord4, 96 * S);
    s *= G(2.0f);
    s.LowPass(G(4000.0f));
    s.MixAt(s, 200, 0.3f);
    return s;
}

SampleBuffer Beat4(const SampleBuffer& beat)
{
    SampleBuffer b;
    for (std::uint32_t at : {0u, 32u, 64u, 96u})
        b.MixAt(beat, at * S);
    b *= G(0.5f);
    return b;
}

// ---- 6. Melody ----

SampleBuffer LeadEnvelope()
{
    SampleBuffer e = Envelope5(12 * S, S, 1.0f, S, S, 0.0f, S);
    e.LowPass(G(100.0f));
    return e;
}

SampleBuffer Lead(std::int32_t n, const SampleBuffer& leadEnvelope)
{
    return LeadBell(16 * S, F(n)) * leadEnvelope;
}

const std::int32_t kMelodyNotes[8] = {31, 26, 27, 22, 19, 14, 15, 10};

SampleBuffer Melody(const SampleBuffer* const leads[8])
{
    static const std::uint32_t kAt[8] = {0, 4, 16, 20, 32, 36, 48, 52};
    SampleBuffer m;
    for (int k = 0; k < 8; ++k)
        m.MixAt(*leads[k], kAt[k] * S, 1.0f);
    const SampleBuffer edge(20000.0f);
    FilterChain(m).HighPass(edge).LowPass(edge).Apply();
    m.AppendConstant(2 * S, 0.0f);
    m.MixAt(m, 2 * S, 0.5f);
    return m;
}

// ---- 7. Bass line ----

SampleBuffer BassNote(int index)
{
    static const std::int32_t kNotes[4] = {-36, -19, -38, -21};
    static const std::uint32_t kSteps[4] = {64, 64, 64, 32};
    return PadNote(S, kSteps[index], F(kNotes[index]));
}

SampleBuffer BassLine(const SampleBuffer* const notes[4])
{
    static const std::uint32_t kAt[4] = {0, 32, 64, 96};
    SampleBuffer b;
    for (int k = 0; k < 4; ++k)
        b.MixAt(*notes[k], kAt[k] * S, 0.5f);
    b.AddAwayFromZero(0.02f);
    const SampleBuffer low(15000.0f), high(900.0f);
    FilterChain(b).LowPass(low).HighPass(high).Apply();
    b *= G(1.2f);
    return b;
}

// ---- 8, 9. Fade-in and section A ----

SampleBuffer FadeIn()
{
    return Ramp(32 * S, 0.0f, 1.0f);
}

SampleBuffer SectionA(const SectionAParts& p)
{
    SampleBuffer a;
    a.MixAt(*p.bassLine, 0 * S, 0.8f);
    a.MixAt(*p.bassLine, 128 * S, 0.8f);
    a.MixAt(*p.chord2 * *p.fadeIn, 32 * S);
    a.MixAt(*p.chord3, 64 * S);
    a.MixAt(*p.chord4, 96 * S);
    a.MixAt(*p.phrase4 * *p.fadeIn, 96 * S, 0.5f);
    a.MixAt(*p.padSequence, 128 * S);
    a.MixAt(*p.beat4, 128 * S);
    a.MixAt(*p.phrase1, 128 * S, 0.5f);
    a.MixAt(*p.phrase1, 160 * S, 0.5f);
    a.MixAt(*p.phrase5, 192 * S, 0.5f);
    a.MixAt(*p.phrase4, 224 * S, 0.5f);
    a.MixAt(*p.melody, 0 * S, 1.8f);
    a.MixAt(*p.melody, 64 * S, 1.8f);
    a.MixAt(*p.melody, 128 * S, 1.8f);
    a.MixAt(*p.melody, 196 * S, 1.8f);
    return a;
}

// ---- 10. Themes ----

SampleBuffer ThemeNote(std::int32_t n, std::uint32_t steps)
{
    return PadNote(S, steps, F(n));
}

SampleBuffer ThemeBase(const SampleBuffer* const notes[5])
{
    // N(-12, 16) at 0, N(-17, 16) at 16, N(-12, 8) at 28, N(-24, 32) at 0, N(-29, 32) at 32.
    static const std::uint32_t kAt[5] = {0, 16, 28, 0, 32};
    SampleBuffer t;
    for (int k = 0; k < 5; ++k)
        t.MixAt(*notes[k], kAt[k] * S);
    return t;
}

SampleBuffer Theme(const SampleBuffer& base, const SampleBuffer& noteAt32, const SampleBuffer& noteAt48)
{
    SampleBuffer t(base);
    t.MixAt(noteAt32, 32 * S);
    t.MixAt(noteAt48, 48 * S);
    return t;
}

SampleBuffer HoldFade()
{
    SampleBuffer h;
    h.AppendRamp(16 * S, 1.0f, 1.0f);
    h.AppendRamp(14 * S, 1.0f, 0.0f);
    return h;
}

const ThemeDNote kThemeDNotes[14] = {
    {-5, 9, 0, 1.0f, false},    {-10, 9, 8, 1.0f, false},   {-9, 9, 16, 1.0f, false},  {-10, 9, 24, 1.0f, false},
    {-12, 25, 32, 1.0f, false}, {-7, 9, 30, 0.5f, false},   {-10, 9, 56, 1.0f, false}, {-12, 24, 64, 1.0f, true},
    {-24, 17, 0, 1.0f, false},  {-26, 16, 16, 1.0f, false}, {-28, 9, 32, 1.0f, false}, {-31, 9, 40, 1.0f, false},
    {-29, 17, 48, 1.0f, false}, {-31, 24, 65, 1.0f, true},
};

SampleBuffer ThemeD(const SampleBuffer* const notes[14], const SampleBuffer& holdFade)
{
    SampleBuffer d;
    for (int k = 0; k < 14; ++k) {
        const ThemeDNote& n = kThemeDNotes[k];
        if (n.holdFade) {
            d.MixAt(*notes[k] * holdFade, n.at * S, n.gain);
        } else {
            d.MixAt(*notes[k], n.at * S, n.gain);
        }
    }
    return d;
}

// ---- 11. Sweep ----

SampleBuffer Trapezoid()
{
    SampleBuffer t = Ramp(32 * S, 0.0f, 1.0f);
    t.AppendConstant(64 * S, 1.0f);
    t.AppendRamp(32 * S, 1.0f, 0.0f);
    return t;
}

SampleBuffer SweepNoise()
{
    return BandNoise(128 * S, 7000.0f, 0.0f, 0.0f);
}
SampleBuffer SweepModulation()
{
    return BandNoise(128 * S, 0.5f, 0.0f, 0.0f);
}

SampleBuffer Sweep(const SampleBuffer& noise, const SampleBuffer& modulation, const SampleBuffer& trapezoid)
{
    return noise * (modulation + G(0.12f)) * trapezoid;
}

SampleBuffer Sweep()
{
    return Sweep(SweepNoise(), SweepModulation(), Trapezoid());
}

// ---- 12. Drops ----

SampleBuffer Boom()
{
    return SweepHit(120.0f, 30.0f, 4 * S, 0.2f, 0.05f) * G(0.4f);
}

SampleBuffer Drop1(const SampleBuffer& boom)
{
    SampleBuffer d = DetunedSaws(9 * S, F(-36)) * Envelope5(4000, 8 * S + 1000, 0.5f, 1000, 1000, 0.2f, 1000);
    d.Mix(boom);
    d.AppendConstant(8 * S, 0.0f);
    d.MixAt(d, TruncU32(double(float(S)) * 3.0), 0.2f);
    d.Saturate(0.8f);
    return d;
}

SampleBuffer Drop2(const SampleBuffer& boom)
{
    SampleBuffer d = DetunedSaws(16 * S, F(-36)) * Envelope5(4000, 15 * S + 1000, 0.5f, 1000, 1000, 0.2f, 1000);
    d.Mix(boom);
    d.AppendConstant(8 * S, 0.0f);
    d.MixAt(d, 24000, 0.2f);
    d.Saturate(1.0f);
    return d;
}

// ---- 13. Section B ----

SampleBuffer SectionB(const SampleBuffer& themeA, const SampleBuffer& themeB, const SampleBuffer& themeC,
                      const SampleBuffer& themeD, const SampleBuffer& drop1)
{
    SampleBuffer b;
    b.MixAt(themeA, 0 * S);
    b.MixAt(themeB, 64 * S);
    b.MixAt(themeC, 128 * S);
    b.MixAt(themeD, 192 * S);
    b.MixAt(drop1, 0 * S);
    b.MixAt(drop1, 64 * S);
    b.MixAt(drop1, 128 * S);
    b.MixAt(drop1, 192 * S);
    return b;
}

// ---- 14. Intro ----

SampleBuffer IntroPhrases(const SampleBuffer& phrase1, const SampleBuffer& phrase2, const SampleBuffer& phrase3)
{
    return Arrange(128, {{&phrase1, 0}, {&phrase1, 32}, {&phrase2, 64}, {&phrase3, 96}});
}

SampleBuffer LatePhrases(const SampleBuffer& phrase4, const SampleBuffer& phrase5)
{
    return Arrange(128, {{&phrase4, 0}, {&phrase5, 32}, {&phrase4, 64}, {&phrase5, 96}});
}

SampleBuffer IntroRise(const SampleBuffer& introPhrases)
{
    return introPhrases * Ramp(128 * S, 0.0f, 1.0f);
}

SampleBuffer IntroBody(const SampleBuffer& introRise, const SampleBuffer& latePhrases, const SampleBuffer& drop1,
                       const SampleBuffer& drop2)
{
    return Arrange(256, {{&introRise, 0, 0.7f},
                         {&latePhrases, 128, 0.7f},
                         {&drop1, 128},
                         {&drop1, 160},
                         {&drop1, 192},
                         {&drop1, 208},
                         {&drop1, 224},
                         {&drop2, 240}});
}

SampleBuffer Intro(const SampleBuffer& introBody, const SampleBuffer& sweep)
{
    SampleBuffer i(introBody);
    i.MixAt(sweep, 0 * S);
    i.MixAt(sweep, 144 * S);
    i.MixAt(i, 2000, 0.1f);
    i.MixAt(i, 4000, 0.2f);
    i.MixAt(i, TruncU32(double(float(S)) * 1.5), 0.2f);
    return i;
}

// ---- 15, 16. Song and master gain ----

SampleBuffer SongMix(const SampleBuffer& intro, const SampleBuffer& sectionA, const SampleBuffer& sectionB,
                     const SampleBuffer& sweep, SongWorkers* workers)
{
    struct Entry {
        const SampleBuffer* sound;
        std::uint32_t at;
        float gain;
    };
    const Entry mixes[6] = {{&intro, 0 * S, 1.0f},   {&sectionA, 256 * S, 0.8f}, {&sectionB, 544 * S, 1.0f},
                            {&sweep, 720 * S, 1.0f}, {&sweep, 480 * S, 1.0f},    {&sweep, 224 * S, 1.0f}};
    if (!workers) {
        SampleBuffer song;
        for (const Entry& e : mixes)
            song.MixAt(*e.sound, e.at, e.gain);
        return song;
    }
    // The same mixes into the grown song (mixing into the zeros that growth
    // adds is mixing into nothing), a stretch of samples per job.
    std::uint32_t length = 0;
    for (const Entry& e : mixes)
        length = std::max(length, e.at + e.sound->size);
    auto song = std::make_shared<SampleBuffer>(length);
    constexpr std::uint32_t kStretches = 16;
    const std::uint32_t stretch = (length + kStretches - 1) / kStretches;
    SongWorkers::Sound jobs[kStretches];
    for (std::uint32_t k = 0; k < kStretches; ++k) {
        const std::uint32_t lo = std::min(length, k * stretch), hi = std::min(length, lo + stretch);
        jobs[k] = workers->Spawn([&mixes, song, lo, hi] {
            for (const Entry& e : mixes) {
                const std::uint32_t from = std::max(lo, e.at), to = std::min(hi, e.at + e.sound->size);
                if (from < to) {
                    sound::MixKernel(song->data + from, e.sound->data + (from - e.at), to - from, e.gain, 1.0f);
                }
            }
            return SampleBuffer();
        });
    }
    for (const auto& job : jobs)
        workers->Get(job);
    return std::move(*song);
}

namespace {

// The master gain, and when highPassCutoff is set the high-pass after it, in
// one pass (the high-pass takes each gained sample as it comes).
void MasterGainPass(SampleBuffer& song, const float* highPassCutoff)
{
    // Sample by sample, without the song-long temporaries:
    //   Power = Song x Song, then LowPass({0.5});
    //   Gain = {0.3 repeated} - Power = {0.3} + Power x {-1}, then x {3};
    //   Song x Gain;
    //   then HighPass({cutoff}), its state started at the first gained sample.
    if (song.size == 0)
        return;
    const float k = float(1.0 / double(float(g_sampleRate)));
    const float a = 0.5f * k;
    const double ad = a, oneMinusA = 1.0 - double(a);
    const float h = highPassCutoff ? *highPassCutoff * k : 0.0f;
    const double hd = h, oneMinusH = 1.0 - double(h);
    float state = song[0] * song[0];
    float highState = 0.0f;
    for (std::uint32_t i = 0; i < song.size; ++i) {
        const float s = song[i];
        const float squared = s * s;
        state = float(double(squared) * ad + oneMinusA * double(state));
        const float power = float(double(squared) * 0.0 + double(state) * 1.0);
        const float negated = power * -1.0f;
        const float gain = (0.3f + negated) * 3.0f;
        const float gained = s * gain;
        if (!highPassCutoff) {
            song[i] = gained;
            continue;
        }
        if (i == 0)
            highState = gained;
        highState = float(double(gained) * hd + oneMinusH * double(highState));
        song[i] = float(double(gained) * 1.0 + double(highState) * -1.0);
    }
}

}  // namespace

void MasterGain(SampleBuffer& song)
{
    MasterGainPass(song, nullptr);
}

void MasterGainAndHighPass(SampleBuffer& song, float cutoff)
{
    MasterGainPass(song, &cutoff);
}

}  // namespace SongParts

// ---- The recipe ----

namespace {

// Steps 1 to 15 of the recipe: the song before its master gain.
SampleBuffer ComposeSongMix(unsigned workerCount)
{
    using namespace SongParts;
    using Sound = SongWorkers::Sound;
    SongWorkers w(workerCount);
    auto get = [&w](const Sound& s) -> const SampleBuffer& { return w.Get(s); };
    // The sweep and the drops lead the longest chain (intro, song, master
    // gain), so they are queued first; the order of the queue changes no
    // sample.

    // 11. Sweep.
    Sound sweepNoise = w.Spawn([] { return SweepNoise(); });
    Sound sweepModulation = w.Spawn([] { return SweepModulation(); });
    Sound trapezoid = w.Spawn([] { return Trapezoid(); });
    Sound sweep = w.Spawn([&] { return Sweep(get(sweepNoise), get(sweepModulation), get(trapezoid)); });

    // 12. Drops, each with its own boom.
    Sound drop1 = w.Spawn([] { return Drop1(Boom()); });
    Sound drop2 = w.Spawn([] { return Drop2(Boom()); });

    // 1-3. Plucks, figures, phrases.
    Sound pluckEnvelope = w.Spawn([] { return PluckEnvelope(); });
    Sound plucks[4];
    const std::int32_t pluckNotes[4] = {-12, -9, -5, -17};
    for (int k = 0; k < 4; ++k) {
        const std::int32_t n = pluckNotes[k];
        plucks[k] = w.Spawn([&, n] { return Pluck(n, get(pluckEnvelope)); });
    }
    auto figures = std::make_shared<Figures>();
    Sound phrases[5];
    Sound figuresReady = w.Spawn([&, figures] {
        Plucks p{get(plucks[0]), get(plucks[1]), get(plucks[2]), get(plucks[3])};
        figures->f1 = Figure1(p);
        figures->f2 = Figure2(p);
        figures->f3 = Figure3(p);
        figures->f4 = Figure4(p);
        return SampleBuffer();
    });
    SampleBuffer (*const phraseBuilders[5])(const Figures&) = {Phrase1, Phrase2, Phrase3, Phrase4, Phrase5};
    for (int k = 0; k < 5; ++k) {
        auto build = phraseBuilders[k];
        phrases[k] = w.Spawn([&, figures, build] {
            get(figuresReady);
            return build(*figures);
        });
    }

    // 4. Drums.
    Sound kick = w.Spawn([] { return Kick(); });
    Sound fillHit = w.Spawn([] { return FillHit(); });
    Sound endHit = w.Spawn([] { return EndHit(); });
    Sound longSnare = w.Spawn([] { return LongSnare(); });
    Sound shortSnare = w.Spawn([] { return ShortSnare(); });
    Sound beat = w.Spawn([&] { return Beat(get(kick), get(fillHit), get(shortSnare), get(endHit), get(longSnare)); });

    // 5. Gate, pads, chords. Pad(-19) sounds in two chords; its samples are
    // the same each time, so it is made once.
    Sound gate = w.Spawn([] { return Gate(); });
    const std::int32_t padNotes[7] = {-12, -19, -24, -17, -14, -21, -31};
    Sound pads[7];
    for (int k = 0; k < 7; ++k) {
        const std::int32_t n = padNotes[k];
        pads[k] = w.Spawn([&, n] { return Pad(n, get(gate)); });
    }
    Sound chord1 = w.Spawn([&] { return Chord(get(pads[0]), get(pads[1])); });
    Sound chord2 = w.Spawn([&] { return Chord(get(pads[2]), get(pads[3])); });
    Sound chord3 = w.Spawn([&] { return Chord(get(pads[4]), get(pads[5])); });
    Sound chord4 = w.Spawn([&] { return Chord(get(pads[1]), get(pads[6])); });
    Sound padSequence = w.Spawn([&] { return PadSequence(get(chord1), get(chord2), get(chord3), get(chord4)); });
    Sound beat4 = w.Spawn([&] { return Beat4(get(beat)); });

    // 6. Melody.
    Sound leadEnvelope = w.Spawn([] { return LeadEnvelope(); });
    Sound leads[8];
    for (int k = 0; k < 8; ++k) {
        const std::int32_t n = kMelodyNotes[k];
        leads[k] = w.Spawn([&, n] { return Lead(n, get(leadEnvelope)); });
    }
    Sound melody = w.Spawn([&] {
        const SampleBuffer* l[8];
        for (int k = 0; k < 8; ++k)
            l[k] = &get(leads[k]);
        return Melody(l);
    });

    // 7. Bass line.
    Sound bassNotes[4];
    for (int k = 0; k < 4; ++k)
        bassNotes[k] = w.Spawn([k] { return BassNote(k); });
    Sound bassLine = w.Spawn([&] {
        const SampleBuffer* n[4];
        for (int k = 0; k < 4; ++k)
            n[k] = &get(bassNotes[k]);
        return BassLine(n);
    });

    // 8, 9. Fade-in and section A.
    Sound fadeIn = w.Spawn([] { return FadeIn(); });
    Sound sectionA = w.Spawn([&] {
        SectionAParts p{&get(bassLine),   &get(chord2),     &get(chord3),     &get(chord4),
                        &get(phrases[0]), &get(phrases[3]), &get(phrases[4]), &get(padSequence),
                        &get(beat4),      &get(melody),     &get(fadeIn)};
        return SectionA(p);
    });

    // 10. Themes.
    static const std::int32_t baseNotes[5][2] = {{-12, 16}, {-17, 16}, {-12, 8}, {-24, 32}, {-29, 32}};
    Sound base[5];
    for (int k = 0; k < 5; ++k) {
        const std::int32_t n = baseNotes[k][0];
        const std::uint32_t steps = std::uint32_t(baseNotes[k][1]);
        base[k] = w.Spawn([n, steps] { return ThemeNote(n, steps); });
    }
    Sound themeBase = w.Spawn([&] {
        const SampleBuffer* n[5];
        for (int k = 0; k < 5; ++k)
            n[k] = &get(base[k]);
        return ThemeBase(n);
    });
    // ThemeB, ThemeC, ThemeA: notes at 32 and 48.
    static const std::int32_t themeNotes[3][2] = {{-7, -10}, {-4, -7}, {-9, -10}};
    Sound themes[3];
    for (int t = 0; t < 3; ++t) {
        const std::int32_t n32 = themeNotes[t][0], n48 = themeNotes[t][1];
        Sound a = w.Spawn([n32] { return ThemeNote(n32, 17); });
        Sound b = w.Spawn([n48] { return ThemeNote(n48, 17); });
        themes[t] = w.Spawn([&, a, b] { return Theme(get(themeBase), get(a), get(b)); });
    }
    Sound holdFade = w.Spawn([] { return HoldFade(); });
    Sound themeDNotes[14];
    for (int k = 0; k < 14; ++k) {
        const ThemeDNote n = kThemeDNotes[k];
        themeDNotes[k] = w.Spawn([n] { return ThemeNote(n.n, n.steps); });
    }
    Sound themeD = w.Spawn([&] {
        const SampleBuffer* n[14];
        for (int k = 0; k < 14; ++k)
            n[k] = &get(themeDNotes[k]);
        return ThemeD(n, get(holdFade));
    });

    // 13. Section B.
    Sound sectionB =
        w.Spawn([&] { return SectionB(get(themes[2]), get(themes[0]), get(themes[1]), get(themeD), get(drop1)); });

    // 14. Intro.
    Sound introPhrases = w.Spawn([&] { return IntroPhrases(get(phrases[0]), get(phrases[1]), get(phrases[2])); });
    Sound latePhrases = w.Spawn([&] { return LatePhrases(get(phrases[3]), get(phrases[4])); });
    Sound introRise = w.Spawn([&] { return IntroRise(get(introPhrases)); });
    Sound introBody = w.Spawn([&] { return IntroBody(get(introRise), get(latePhrases), get(drop1), get(drop2)); });
    Sound intro = w.Spawn([&] { return Intro(get(introBody), get(sweep)); });

    // 15. Song (the master gain follows in the caller).
    return SongMix(get(intro), get(sectionA), get(sectionB), get(sweep), &w);
}

}  // namespace

SampleBuffer ComposeSong(unsigned workerCount)
{
    SampleBuffer song = ComposeSongMix(workerCount);
    SongParts::MasterGain(song);
    return SampleBuffer(song);
}

// ComposeSong, then HighPass({20}) over the whole song: the high-pass runs in
// the master gain's pass, and the song is not copied on the way.
SampleBuffer RenderSong(unsigned workerCount)
{
    SampleBuffer song = ComposeSongMix(workerCount);
    SongParts::MasterGainAndHighPass(song, 20.0f);
    return song;
}

namespace {
unsigned AllCores()
{
    const unsigned n = std::thread::hardware_concurrency();
    return n ? n : 1;
}
}  // namespace

SampleBuffer ComposeSong()
{
    return ComposeSong(AllCores());
}
SampleBuffer RenderSong()
{
    return RenderSong(AllCores());
}
