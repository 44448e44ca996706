#include "music/second_song.h"

#include <thread>

#include "music/filter_chain.h"
#include "music/instruments.h"
#include "music/song_workers.h"
#include "music/sound_math.h"
#include "music/synthesis.h"

using sound::TruncU32;
using Sound = SongWorkers::Sound;

namespace {

float NF(std::int32_t n)
{
    return NoteFrequency(n);
}

// A worker pool for the song's parts, or none (everything inline).
SongWorkers*& CurrentWorkers()
{
    thread_local SongWorkers* workers = nullptr;
    return workers;
}

// The arpeggio notes, in the order the recipe makes them.
const std::int32_t kArpNotes[11] = {-4, -2, 0, 3, 5, 7, 10, 12, 14, 15, 19};

int ArpIndex(std::int32_t n)
{
    for (int k = 0; k < 11; ++k)
        if (kArpNotes[k] == n)
            return k;
    return 0;
}

SampleBuffer ArpeggiosFrom(std::uint32_t beat, const SampleBuffer* const notes[11])
{
    auto N = [&](std::int32_t n) -> const SampleBuffer& { return *notes[ArpIndex(n)]; };
    SampleBuffer arps;
    arps.MixAt(Arpeggio3(beat, N(3), N(10), N(19), 5), 0);
    arps.MixAt(Arpeggio3(beat, N(-2), N(5), N(14), 5), 16 * beat);
    arps.MixAt(Arpeggio3(beat, N(0), N(7), N(15), 5), 32 * beat);
    arps.MixAt(Arpeggio3(beat, N(-4), N(3), N(12), 5), 48 * beat);
    return arps;
}

SampleBuffer ArpEnvelope(std::uint32_t beat)
{
    return Envelope5(32, 32, 0.5f, beat - 64, beat, 0.1f, beat);
}

SampleBuffer ChordEnvelope(std::uint32_t beat)
{
    const std::uint32_t U = 2 * beat;
    SampleBuffer envelope = Envelope5(4 * U, 4 * U, 1.0f, 2 * U, 2 * U, 0.8f, 10 * U);
    envelope *= envelope;
    return envelope;
}

const std::int32_t kChordNotes[6] = {3, -9, -2, 2, -10, -5};
// Offset (in U), first chord (speed1), second chord (speed2).
struct ChordRow {
    std::uint32_t at;
    std::int32_t first, second;
};
const ChordRow kChordRows[4] = {{0, 3, -2}, {16, 2, -5}, {32, -2, -9}, {48, -5, -10}};

SampleBuffer Layer(const SampleBuffer& speed1, const SampleBuffer& first, const SampleBuffer& speed2,
                   const SampleBuffer& second, const SampleBuffer& envelope)
{
    return (ReadWavetable(speed1, first) + ReadWavetable(speed2, second)) * envelope;
}

SampleBuffer ChordsFrom(std::uint32_t beat, const SampleBuffer* const layers[4])
{
    const std::uint32_t U = 2 * beat;
    SampleBuffer out(*layers[0]);
    for (int r = 1; r < 4; ++r)
        out.MixAt(*layers[r], kChordRows[r].at * U);
    out.MixAt(out, 10000, 0.1f, 0.9f);
    const SampleBuffer cutoff(8000.0f);
    FilterChain(out).LowPass(cutoff).HighPass(cutoff).Apply();  // LowPassed, then HighPassed
    return out;
}

}  // namespace

SampleBuffer SineOrgan8(std::uint32_t count, float f)
{
    static const double kFactors[8] = {0.999, 1.999, 1.001, 1.002, 2.00317, 0.50117, 0.50107, 4.0007};
    static const float kGains[8] = {0.4f, 0.4f, 0.4f, 0.4f, 0.4f, 0.2f, 0.2f, 0.1f};
    SampleBuffer out(count);
    for (int k = 0; k < 8; ++k)
        out.MixAt(SineWave(count, float(double(f) * kFactors[k])), 0, kGains[k]);
    out.LowPassed(SampleBuffer(1000.0f));
    return out;
}

SampleBuffer SawChord7(std::uint32_t count, float f)
{
    // sum = s(1) + s(1.0173), then + s(0.98), + s(2.01), + s(2) (f + f),
    // + s(1.998) and + s(0.997), each sum a new buffer: the same samples as
    // mixing the saws into zeros in this order (x + y = x * 1 + y * 1, and
    // float(f * 1) = f, float(f * 2) = f + f).
    static const double kFactors[7] = {1.0, 1.0173, 0.98, 2.01, 2.0, 1.998, 0.997};
    static const float kGains[7] = {1, 1, 1, 1, 1, 1, 1};
    SampleBuffer sum(count);
    MixSawWaves(sum, f, kFactors, kGains, 7);
    return sum * SampleBuffer(0.1f);
}

SampleBuffer Arpeggio3(std::uint32_t step, SampleBuffer a, SampleBuffer b, SampleBuffer c, std::uint32_t repeats)
{
    SampleBuffer r;
    for (std::uint32_t k = 0; k < repeats; ++k) {
        r.MixAt(a, 3 * k * step);
        r.MixAt(b, (3 * k + 1) * step);
        r.MixAt(c, (3 * k + 2) * step);
    }
    return r;
}

SampleBuffer Song2Riff(float beat)
{
    static const std::int32_t kNotes[4] = {3, -2, 0, -4};
    const std::uint32_t noteLength = TruncU32(double(beat) * 16.0);
    SampleBuffer increments;
    for (std::int32_t n : kNotes)
        increments.AppendConstant(noteLength, float(double(NF(n)) / 440.0));
    increments.LowPassed(SampleBuffer(10.0f));
    const SampleBuffer table = SineWave(44100, 55.0f) + SineWave(44100, 110.0f);
    increments.ReadWavetable(table, 0.0f);
    increments.LowPassed(SampleBuffer(1000.0f));
    return increments;
}

SampleBuffer Song2Arpeggios(std::uint32_t beat)
{
    const SampleBuffer envelope = ArpEnvelope(beat);
    SongWorkers* w = CurrentWorkers();
    Sound notes[11];
    SampleBuffer inlineNotes[11];
    const SampleBuffer* n[11];
    for (int k = 0; k < 11; ++k) {
        const float f = NF(kArpNotes[k]);
        if (w) {
            notes[k] = w->Spawn([&envelope, f] { return SineOrgan8(envelope.size, f) * envelope; });
        } else {
            inlineNotes[k] = SineOrgan8(envelope.size, f) * envelope;
        }
    }
    for (int k = 0; k < 11; ++k)
        n[k] = w ? &w->Get(notes[k]) : &inlineNotes[k];
    return ArpeggiosFrom(beat, n);
}

SampleBuffer Song2Chords(std::uint32_t beat)
{
    const SampleBuffer envelope = ChordEnvelope(beat);
    const std::uint32_t L = envelope.size;
    SongWorkers* w = CurrentWorkers();
    // Inline, every part is made at once, in the recipe's order.
    SampleBuffer chords[6], speeds[2], layers[4];
    Sound chordJobs[6], speedJobs[2], layerJobs[4];
    auto spawn = [w](std::function<SampleBuffer()> f) { return w ? w->Spawn(std::move(f)) : SongWorkers::Sound(); };
    for (int k = 0; k < 6; ++k) {
        const float f = NF(kChordNotes[k]);
        if (w)
            chordJobs[k] = spawn([L, f] { return SawChord7(L, f); });
        else
            chords[k] = SawChord7(L, f);
    }
    auto speed1 = [L] { return SineWave(L, 1.0f) * SampleBuffer(0.005f) + SampleBuffer(1.0f); };
    auto speed2 = [L] { return SineWave(L, 0.6f) * SampleBuffer(0.01f) + SampleBuffer(1.0f); };
    if (w) {
        speedJobs[0] = spawn(speed1);
        speedJobs[1] = spawn(speed2);
    } else {
        speeds[0] = speed1();
        speeds[1] = speed2();
    }
    auto chordOf = [&](std::int32_t n) -> const SampleBuffer& {
        int k = 0;
        while (kChordNotes[k] != n)
            ++k;
        return w ? w->Get(chordJobs[k]) : chords[k];
    };
    auto speedOf = [&](int k) -> const SampleBuffer& { return w ? w->Get(speedJobs[k]) : speeds[k]; };
    for (int r = 0; r < 4; ++r) {
        const ChordRow row = kChordRows[r];
        auto layer = [&, row] {
            return Layer(speedOf(0), chordOf(row.first), speedOf(1), chordOf(row.second), envelope);
        };
        if (w)
            layerJobs[r] = spawn(layer);
        else
            layers[r] = layer();
    }
    const SampleBuffer* l[4];
    for (int r = 0; r < 4; ++r)
        l[r] = w ? &w->Get(layerJobs[r]) : &layers[r];
    return ChordsFrom(beat, l);
}

SampleBuffer ComposeSong2(unsigned workerCount)
{
    SongWorkers workers(workerCount);
    SongWorkers* w = workerCount > 1 ? &workers : nullptr;
    SongWorkers*& current = CurrentWorkers();
    SongWorkers* const saved = current;
    current = w;
    struct Restore {
        SongWorkers*& slot;
        SongWorkers* value;
        ~Restore() { slot = value; }
    } restore{current, saved};

    const float beat = 13230.0009765625f;
    const float part = float(double(beat) * 64.0);
    auto run = [&](std::function<SampleBuffer()> f) {
        return w ? w->Spawn([f, w] {
            CurrentWorkers() = w;
            return f();
        })
                 : Sound();
    };
    SampleBuffer riff, arps, chords;
    Sound riffJob, arpsJob, chordsJob;
    auto makeRiff = [beat] { return Song2Riff(beat); };
    auto makeArps = [] {
        SampleBuffer a = Song2Arpeggios(13230);
        a.MixAt(a, 10000, 0.2f, 0.8f);
        return a;
    };
    auto makeChords = [beat] { return Song2Chords(TruncU32(beat)); };
    if (w) {
        chordsJob = run(makeChords);
        arpsJob = run(makeArps);
        riffJob = run(makeRiff);
    } else {
        riff = makeRiff();
        arps = makeArps();
        chords = makeChords();
    }
    const SampleBuffer& r = w ? w->Get(riffJob) : riff;
    const SampleBuffer& a = w ? w->Get(arpsJob) : arps;
    const SampleBuffer& c = w ? w->Get(chordsJob) : chords;

    SampleBuffer song;
    song.Mix(a);
    song.MixAt(a, TruncU32(double(part) * 1.0));
    song.MixAt(a, TruncU32(double(part) + double(part)));
    song.MixAt(r, TruncU32(double(part) * 1.0), 0.17f);
    song.MixAt(r, TruncU32(double(part) + double(part)), 0.17f);
    song.MixAt(c, TruncU32(double(part) * 1.0), 0.1f);
    song.MixAt(c, TruncU32(double(part) * 3.0), 0.1f);
    return song;
}

SampleBuffer ComposeSong2()
{
    const unsigned n = std::thread::hardware_concurrency();
    return ComposeSong2(n ? n : 1);
}
