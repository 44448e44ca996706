#include "music/music_player.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "music/sample_buffer.h"
#include "music/song.h"
#include "platform/system/console.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

std::int16_t* g_musicSamples = nullptr;
std::uint32_t g_musicBytes = 0;
std::uint32_t g_musicStartSample = 0;
bool g_musicOpen = false;
HWAVEOUT g_waveOut = nullptr;
WAVEHDR g_waveHeader = {nullptr, 0, 0, 0, WHDR_BEGINLOOP | WHDR_ENDLOOP, 0xFFFFFFFFu, nullptr, 0};
WAVEFORMATEX g_waveFormat = {WAVE_FORMAT_PCM, 1, 44100, 88200, 2, 16, 0};

namespace {

inline std::int16_t PcmSample(float x)
{
    float v = float(double(x) * 32000.0);
    if (v > 32000.0f) {
        v = 32000.0f;
    } else if (v < -32000.0f) {
        v = -32000.0f;
    }
    if (std::isnan(v))
        return 0;
    // Round to nearest, ties to even (the default rounding mode).
    return static_cast<std::int16_t>(static_cast<std::int32_t>(std::nearbyint(v)));
}

}  // namespace

void ConvertToPcm(const float* samples, std::uint32_t count, std::int16_t* out)
{
    std::uint32_t i = 0;
#if defined(__SSE2__)
    // The same steps four samples at a time: the product is exact in double,
    // so the float product equals it rounded; min and max are ordered so that
    // NaN passes the clamp, and the conversion turns NaN into 0x80000000,
    // whose low 16 bits are 0.
    const __m128 scale = _mm_set1_ps(32000.0f);
    const __m128 hi = _mm_set1_ps(32000.0f);
    const __m128 lo = _mm_set1_ps(-32000.0f);
    for (; i + 8 <= count; i += 8) {
        __m128 a = _mm_mul_ps(_mm_loadu_ps(samples + i), scale);
        __m128 b = _mm_mul_ps(_mm_loadu_ps(samples + i + 4), scale);
        a = _mm_max_ps(lo, _mm_min_ps(hi, a));
        b = _mm_max_ps(lo, _mm_min_ps(hi, b));
        __m128i ia = _mm_cvtps_epi32(a);
        __m128i ib = _mm_cvtps_epi32(b);
        // Keep the low 16 bits of each value (sign-extend them for the pack).
        ia = _mm_srai_epi32(_mm_slli_epi32(ia, 16), 16);
        ib = _mm_srai_epi32(_mm_slli_epi32(ib, 16), 16);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packs_epi32(ia, ib));
    }
#endif
    for (; i < count; ++i)
        out[i] = PcmSample(samples[i]);
}

void GenerateSong()
{
    if (!g_musicSamples) {
        ConsolePrintf("Audio: generating song\n");
        {
            SampleBuffer song = RenderSong();
            const std::uint32_t n = song.size;
            g_musicSamples = static_cast<std::int16_t*>(std::malloc(std::size_t(n) * 2 + 2));
            if (!g_musicSamples)
                std::abort();
            g_musicBytes = 2 * n;
            ConvertToPcm(song.data, n, g_musicSamples);
            ConsolePrintf("Audio: finished generating song\n");
        }
    }
    g_sampleBuffersDestroyed = 489;
}

double GetSongProgress()
{
    return double(g_sampleBuffersDestroyed.load()) / 488.0;
}

void UseMusicSamples(std::int16_t* samples, std::uint32_t count)
{
    g_musicSamples = samples;
    g_musicBytes = 2 * count;
}

void OpenMusic()
{
    GenerateSong();
    if (!g_musicOpen) {
        // Opening on the whole song: positions count from its first sample
        // again, whatever an earlier seek left here.
        g_musicStartSample = 0;
        g_musicOpen = SoundDeviceOpen(g_musicSamples, g_musicBytes);
    }
}

void PlayMusic()
{
    if (g_musicOpen)
        SoundDevicePlay();
}

void StopMusic()
{
    if (g_musicOpen) {
        SoundDeviceClose();
        g_musicOpen = false;
    }
}

void SeekMusic(std::uint32_t position)
{
    GenerateSong();
    if (g_musicOpen)
        StopMusic();
    if (std::int32_t(position) < 0 || 2ull * position >= g_musicBytes)
        position = 0;
    g_musicStartSample = position;
    g_musicOpen = SoundDeviceOpen(g_musicSamples + position, g_musicBytes - 2 * position);
    PlayMusic();
}

std::uint32_t GetMusicPosition()
{
    if (!g_musicOpen)
        return 0;
    return SoundDeviceGetPosition() + g_musicStartSample;
}

bool SoundDeviceOpen(void* data, std::uint32_t byteLength)
{
    g_waveHeader.lpData = static_cast<char*>(data);
    g_waveHeader.dwBufferLength = byteLength;
    if (waveOutOpen(&g_waveOut, WAVE_MAPPER, &g_waveFormat, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) {
        return false;
    }
    waveOutPrepareHeader(g_waveOut, &g_waveHeader, sizeof(WAVEHDR));
    return true;
}

void SoundDevicePlay()
{
    waveOutWrite(g_waveOut, &g_waveHeader, sizeof(WAVEHDR));
}

void SoundDeviceClose()
{
    waveOutReset(g_waveOut);
    waveOutClose(g_waveOut);
}

std::uint32_t SoundDeviceGetPosition()
{
    MMTIME time = {};
    time.wType = TIME_SAMPLES;
    waveOutGetPosition(g_waveOut, &time, sizeof(MMTIME));
    return time.u.sample;
}
