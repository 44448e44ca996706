#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "music/instruments.h"
#include "music/music_player.h"
#include "music/song.h"
#include "music/song_workers.h"
#include "music/synthesis.h"
#include "platform/system/console.h"
#include "samples.h"

using namespace SongParts;

namespace {

std::uint64_t Fnv1a(const std::vector<std::int16_t>& pcm)
{
    std::uint64_t h = 14695981039346656037ull;
    const auto* b = reinterpret_cast<const unsigned char*>(pcm.data());
    for (std::size_t i = 0; i < pcm.size() * 2; ++i)
        h = (h ^ b[i]) * 1099511628211ull;
    return h;
}

std::vector<std::int16_t> Pcm(const SampleBuffer& song)
{
    std::vector<std::int16_t> pcm(song.size);
    ConvertToPcm(song.data, song.size, pcm.data());
    return pcm;
}

// FNV-1a 64 of the whole song's little-endian PCM. Any change to the sound
// changes it.
constexpr std::uint64_t kSongPcmHash = 0x8bd62a385354ad4bull;

}  // namespace

TEST(Song, PartLengths)
{
    const Plucks plucks = MakePlucks(PluckEnvelope());
    EXPECT_EQ(plucks.c4.size, S);
    Figures f{Figure1(plucks), Figure2(plucks), Figure3(plucks), Figure4(plucks)};
    for (const SampleBuffer* fig : {&f.f1, &f.f2, &f.f3, &f.f4})
        EXPECT_EQ(fig->size, 32000u);
    const SampleBuffer phrase1 = Phrase1(f);
    for (const SampleBuffer& p : {phrase1, Phrase2(f), Phrase3(f), Phrase4(f), Phrase5(f)})
        EXPECT_EQ(p.size, 256000u);

    const SampleBuffer kick = Kick(), fillHit = FillHit(), endHit = EndHit(), longSnare = LongSnare(),
                       shortSnare = ShortSnare();
    EXPECT_EQ(kick.size, 16000u);
    EXPECT_EQ(fillHit.size, 16000u);
    EXPECT_EQ(endHit.size, 11000u);
    EXPECT_EQ(longSnare.size, 20500u);
    EXPECT_EQ(shortSnare.size, 5500u);
    const SampleBuffer beat = Beat(kick, fillHit, shortSnare, endHit, longSnare);
    EXPECT_EQ(beat.size, 256000u);
    EXPECT_EQ(Beat4(beat).size, 128 * S);
    EXPECT_EQ(PluckEnvelope().size, S);
    EXPECT_EQ(LeadEnvelope().size, 16 * S);

    const SampleBuffer gate = Gate();
    EXPECT_EQ(gate.size, 16000u);
    const SampleBuffer pad = Pad(-12, gate);
    EXPECT_EQ(pad.size, 32 * S);
    const SampleBuffer chord = Chord(pad, pad);
    EXPECT_EQ(chord.size, 34 * S);
    EXPECT_EQ(PadSequence(chord, chord, chord, chord).size, 1040200u);

    const SampleBuffer lead = Lead(31, LeadEnvelope());
    EXPECT_EQ(lead.size, 16 * S);
    const SampleBuffer* leads[8] = {&lead, &lead, &lead, &lead, &lead, &lead, &lead, &lead};
    EXPECT_EQ(Melody(leads).size, 576000u);

    const SampleBuffer bass[4] = {BassNote(0), BassNote(1), BassNote(2), BassNote(3)};
    EXPECT_EQ(bass[0].size, 69 * S);
    EXPECT_EQ(bass[3].size, 37 * S);
    const SampleBuffer* bassNotes[4] = {&bass[0], &bass[1], &bass[2], &bass[3]};
    EXPECT_EQ(BassLine(bassNotes).size, 1064000u);
    EXPECT_EQ(FadeIn().size, 32 * S);

    EXPECT_EQ(HoldFade().size, 30 * S);
    EXPECT_EQ(Trapezoid().size, 128 * S);
    EXPECT_EQ(Boom().size, 32000u);
    const SampleBuffer drop1 = Drop1(Boom());
    EXPECT_EQ(drop1.size, 160000u);
    EXPECT_EQ(Drop2(Boom()).size, 216000u);
    const SampleBuffer introPhrases = IntroPhrases(phrase1, phrase1, phrase1);
    EXPECT_EQ(introPhrases.size, 128 * S);
    EXPECT_EQ(LatePhrases(phrase1, phrase1).size, 128 * S);
    EXPECT_EQ(IntroRise(introPhrases).size, 128 * S);
}

TEST(Song, ThemeLengthsAndHoldFade)
{
    const SampleBuffer base[5] = {ThemeNote(-12, 16), ThemeNote(-17, 16), ThemeNote(-12, 8), ThemeNote(-24, 32),
                                  ThemeNote(-29, 32)};
    const SampleBuffer* b[5] = {&base[0], &base[1], &base[2], &base[3], &base[4]};
    const SampleBuffer themeBase = ThemeBase(b);
    EXPECT_EQ(themeBase.size, 69 * S);
    const SampleBuffer themeA = Theme(themeBase, ThemeNote(-9, 17), ThemeNote(-10, 17));
    EXPECT_EQ(themeA.size, 560000u);

    SampleBuffer notes[14];
    const SampleBuffer* n[14];
    for (int k = 0; k < 14; ++k) {
        notes[k] = ThemeNote(kThemeDNotes[k].n, kThemeDNotes[k].steps);
        n[k] = &notes[k];
    }
    const SampleBuffer holdFade = HoldFade();
    EXPECT_EQ(ThemeD(n, holdFade).size, 752000u);

    // A 24-step note is 29 steps and the fade 30: the fade's last step wraps
    // back onto the note's first step, which is multiplied twice.
    const SampleBuffer note = ThemeNote(-12, 24);
    const SampleBuffer faded = note * holdFade;
    ASSERT_EQ(faded.size, 29 * S);
    EXPECT_FLOAT_EQ(holdFade[29 * S], 1.0f / 14.0f);
    for (std::uint32_t i : {1000u, 5000u, 7999u}) {
        EXPECT_EQ(faded[i], note[i] * holdFade[i] * holdFade[29 * S + i]) << i;
    }
    EXPECT_EQ(faded[20 * S], note[20 * S] * holdFade[20 * S]);
}

TEST(Song, SectionsAndIntro)
{
    const SampleBuffer beat = Beat(Kick(), FillHit(), ShortSnare(), EndHit(), LongSnare());
    const SampleBuffer gate = Gate();
    const SampleBuffer pad = Pad(-24, gate);
    const SampleBuffer chord = Chord(pad, pad);
    const SampleBuffer padSequence = PadSequence(chord, chord, chord, chord);
    const Plucks plucks = MakePlucks(PluckEnvelope());
    Figures f{Figure1(plucks), Figure2(plucks), Figure3(plucks), Figure4(plucks)};
    const SampleBuffer phrase = Phrase1(f);
    SampleBuffer melody(std::uint32_t(576000));
    melody[0] = 1.0f;  // a marker: the melody's first sample
    SampleBuffer bass(std::uint32_t(1064000));
    const SampleBuffer beat4 = Beat4(beat);
    const SampleBuffer fadeIn = FadeIn();
    SectionAParts p{&bass, &chord, &chord, &chord, &phrase, &phrase, &phrase, &padSequence, &beat4, &melody, &fadeIn};
    const SampleBuffer sectionA = SectionA(p);
    EXPECT_EQ(sectionA.size, 2144000u);

    // Chord2 x FadeIn: the last two steps of the chord are scaled by the
    // ramp's start again.
    const SampleBuffer faded = chord * fadeIn;
    for (std::uint32_t i : {256000u, 260000u, 271999u}) {
        EXPECT_EQ(faded[i], chord[i] * fadeIn[i - 256000]) << i;
        EXPECT_LE(std::fabs(faded[i]), std::fabs(chord[i]) / 16.0f) << i;
    }

    // Melody markers: at steps 0, 64, 128 and 196 of the section.
    SampleBuffer silentChord(std::uint32_t(34 * S)), silentPhrase(std::uint32_t(256000)),
        silentSequence(std::uint32_t(1040200)), silentBeat4(std::uint32_t(128 * S));
    SectionAParts markers{&bass,         &silentChord,    &silentChord, &silentChord, &silentPhrase, &silentPhrase,
                          &silentPhrase, &silentSequence, &silentBeat4, &melody,      &fadeIn};
    const SampleBuffer marked = SectionA(markers);
    EXPECT_EQ(marked[1568000], 1.8f);
    EXPECT_EQ(marked[1536000], 0.0f);
    EXPECT_EQ(marked[128 * S], 1.8f);

    SampleBuffer theme(std::uint32_t(560000)), themeD(std::uint32_t(752000));
    const SampleBuffer drop1 = Drop1(Boom());
    EXPECT_EQ(SectionB(theme, theme, theme, themeD, drop1).size, 2288000u);

    const SampleBuffer sweep(std::uint32_t(1024000));
    SampleBuffer rise(std::uint32_t(128 * S)), late(std::uint32_t(128 * S));
    const SampleBuffer body = IntroBody(rise, late, drop1, Drop2(Boom()));
    EXPECT_EQ(body.size, 267 * S);
    const SampleBuffer intro = Intro(body, sweep);
    EXPECT_EQ(intro.size, 2194000u);

    const SampleBuffer a(std::uint32_t(2144000)), b(std::uint32_t(2288000));
    EXPECT_EQ(SongMix(intro, a, b, sweep).size, 6784000u);
}

TEST(Song, SweepLength)
{
    EXPECT_EQ(Sweep().size, 1024000u);
}

TEST(Song, WholeSongRendersBitIdenticallyOnAnyNumberOfThreads)
{
    // Rendered once on one thread and once on all cores: the same samples.
    const SampleBuffer song = RenderSong(1);
    ASSERT_EQ(song.size, 6784000u);
    bool finite = true;
    for (std::uint32_t i = 0; i < song.size && finite; ++i)
        finite = std::isfinite(song[i]);
    EXPECT_TRUE(finite);
    EXPECT_EQ(song[0], 0.0f);

    const std::vector<std::int16_t> pcm = Pcm(song);
    const std::uint64_t hash = Fnv1a(pcm);
    EXPECT_EQ(hash, kSongPcmHash) << std::hex << "0x" << hash;

    const SampleBuffer parallel = RenderSong(8);
    ASSERT_EQ(parallel.size, song.size);
    EXPECT_EQ(Fnv1a(Pcm(parallel)), hash);
    EXPECT_EQ(std::memcmp(parallel.data, song.data, std::size_t(song.size) * 4), 0);
}

TEST(Song, MasterGainEqualsItsRecipe)
{
    SampleBuffer song = SawWave(20000, 3.0f);
    song.MixAt(SineWave(20000, 440.0f), 0, 0.7f);
    SampleBuffer expected(song);
    SampleBuffer power = expected * expected;
    power.LowPass(SampleBuffer(0.5f));
    SampleBuffer level;
    level.AppendConstant(expected.size, 0.3f);
    SampleBuffer gain = level - power;
    gain *= SampleBuffer(3.0f);
    expected *= gain;
    MasterGain(song);
    EXPECT_EQ(Samples(song), Samples(expected));
}

TEST(Song, MasterGainAndHighPassEqualsBothInTurn)
{
    SampleBuffer song = SawWave(20000, 3.0f);
    song.MixAt(SineWave(20000, 440.0f), 0, 0.7f);
    song.MixAt(SampleBuffer(0.4f), 0);  // a start away from 0
    SampleBuffer expected(song);
    MasterGain(expected);
    expected.HighPass(SampleBuffer(20.0f));
    MasterGainAndHighPass(song, 20.0f);
    EXPECT_EQ(Samples(song), Samples(expected));
}

TEST(Song, GenerateSongRendersOnceAndSaysSo)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // In a fresh process, where no song has been generated yet.
    EXPECT_EXIT(
        {
            ConsoleCapture console;
            GenerateSong();
            const std::string first = console.Text();
            console.Clear();
            GenerateSong();
            const std::string second = console.Text();
            std::vector<std::int16_t> pcm(g_musicSamples, g_musicSamples + g_musicBytes / 2);
            const bool ok = first == "Audio: generating song\nAudio: finished generating song\n" && second.empty() &&
                            g_musicBytes == 2u * 6784000u && Fnv1a(pcm) == kSongPcmHash &&
                            g_sampleBuffersDestroyed == 489u;
            std::fprintf(stderr, ok ? "generated as expected\n" : "unexpected: [%s] [%s] %u\n", first.c_str(),
                         second.c_str(), g_musicBytes);
            _exit(ok ? 0 : 1);
        },
        testing::ExitedWithCode(0), "generated as expected");
}

TEST(Song, SongMixInStretchesEqualsMixingInTurn)
{
    SampleBuffer intro = SawWave(2194000, 3.0f), a = SawWave(2144000, 5.0f), b = SawWave(2288000, 7.0f),
                 sweep = SawWave(1024000, 11.0f);
    const SampleBuffer expected = SongMix(intro, a, b, sweep);
    SongWorkers workers(4);
    const SampleBuffer parallel = SongMix(intro, a, b, sweep, &workers);
    ASSERT_EQ(parallel.size, 6784000u);
    EXPECT_EQ(std::memcmp(parallel.data, expected.data, std::size_t(expected.size) * 4), 0);
}
