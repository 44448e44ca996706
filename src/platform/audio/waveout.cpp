#include "platform/audio/waveout.h"
#include "platform/system/console.h"

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

// The wave output: one SDL device, opened once and kept; the handle's open,
// play, reset and close are state changes made under the device lock.
namespace {

constexpr int kChunkSamples = 512;  // device buffer: about 11.6 ms at 44100 Hz

struct WaveOut {
    SDL_AudioDeviceID device = 0;
    SDL_AudioSpec spec = {};
    // Guarded by the device lock from here on.
    bool open = false;
    WAVEHDR* header = nullptr;  // the playing header, or null
    DWORD readByte = 0;         // next byte of the header to play
    DWORD loopsLeft = 0;
    DWORD played = 0;         // samples handed to the device since the open
    Uint64 lastCallback = 0;  // performance counter at the last hand-over
    DWORD lastChunk = 0;      // samples handed over then
    int channels = 1;
};

WaveOut g_out;

}  // namespace

// The one handle there is; its address is all a caller sees.
struct HWAVEOUT__ {
    int unused;
};

namespace {

HWAVEOUT__ g_handle;

void FillAudio(void*, Uint8* stream, int len)
{
    WaveOut& w = g_out;
    const int frameBytes = 2 * w.channels;
    int offset = 0;
    if (w.open && w.header) {
        WAVEHDR* h = w.header;
        const DWORD length = h->dwBufferLength - h->dwBufferLength % DWORD(frameBytes);
        while (offset < len && length > 0) {
            const DWORD n = std::min<DWORD>(DWORD(len - offset), length - w.readByte);
            std::memcpy(stream + offset, h->lpData + w.readByte, n);
            offset += int(n);
            w.readByte += n;
            if (w.readByte >= length) {
                w.readByte = 0;
                const bool loops = (h->dwFlags & (WHDR_BEGINLOOP | WHDR_ENDLOOP)) == (WHDR_BEGINLOOP | WHDR_ENDLOOP);
                if (!loops || w.loopsLeft <= 1) {
                    h->dwFlags = (h->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
                    w.header = nullptr;
                    break;
                }
                --w.loopsLeft;
            }
        }
        w.played += DWORD(offset / frameBytes);
    }
    if (offset < len)
        std::memset(stream + offset, 0, size_t(len - offset));
    w.lastChunk = DWORD(offset / frameBytes);
    w.lastCallback = SDL_GetPerformanceCounter();
}

bool OpenDevice(const WAVEFORMATEX& f)
{
    SDL_AudioSpec want = {};
    want.freq = int(f.nSamplesPerSec);
    want.format = AUDIO_S16LSB;
    want.channels = Uint8(f.nChannels);
    want.samples = kChunkSamples;
    want.callback = FillAudio;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {
        g_out.device = SDL_OpenAudioDevice(nullptr, 0, &want, &g_out.spec, 0);
        if (g_out.device)
            return true;
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    // No sound device: SDL's dummy driver keeps time without one.
    static bool said = false;
    if (!said) {
        said = true;
        ConsolePrintf("waveOut: no sound device could be opened (%s); playing silently\n", SDL_GetError());
    }
    SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        return false;
    g_out.device = SDL_OpenAudioDevice(nullptr, 0, &want, &g_out.spec, 0);
    return g_out.device != 0;
}

bool IsOurs(HWAVEOUT h)
{
    return h == &g_handle && g_out.device != 0;
}

}  // namespace

MMRESULT waveOutOpen(HWAVEOUT* handle, UINT, const WAVEFORMATEX* format, std::uintptr_t callback,
                     std::uintptr_t instance, DWORD flags)
{
    if (!handle || !format)
        return MMSYSERR_INVALPARAM;
    if (callback || instance || flags != CALLBACK_NULL)
        return MMSYSERR_INVALPARAM;
    if (format->wFormatTag != WAVE_FORMAT_PCM || format->wBitsPerSample != 16 ||
        (format->nChannels != 1 && format->nChannels != 2) || format->nSamplesPerSec == 0) {
        return WAVERR_BADFORMAT;
    }
    if (!g_out.device) {
        if (!OpenDevice(*format))
            return MMSYSERR_NODRIVER;
        g_out.channels = format->nChannels;
        SDL_PauseAudioDevice(g_out.device, 0);
    }
    // The device keeps the format of its first open.
    if (int(format->nSamplesPerSec) != g_out.spec.freq || format->nChannels != g_out.spec.channels) {
        return WAVERR_BADFORMAT;
    }
    SDL_LockAudioDevice(g_out.device);
    const bool busy = g_out.open;
    if (!busy) {
        g_out.open = true;
        g_out.header = nullptr;
        g_out.readByte = 0;
        g_out.played = 0;
        g_out.lastChunk = 0;
    }
    SDL_UnlockAudioDevice(g_out.device);
    if (busy)
        return MMSYSERR_ALLOCATED;
    *handle = &g_handle;
    return MMSYSERR_NOERROR;
}

namespace {
// The checks every header call starts with: our handle and a header.
MMRESULT CheckHeaderCall(HWAVEOUT h, const WAVEHDR* header)
{
    if (!IsOurs(h))
        return MMSYSERR_INVALHANDLE;
    if (!header)
        return MMSYSERR_INVALPARAM;
    return MMSYSERR_NOERROR;
}
}  // namespace

MMRESULT waveOutPrepareHeader(HWAVEOUT h, WAVEHDR* header, UINT)
{
    if (const MMRESULT check = CheckHeaderCall(h, header); check != MMSYSERR_NOERROR)
        return check;
    SDL_LockAudioDevice(g_out.device);
    header->dwFlags |= WHDR_PREPARED;
    SDL_UnlockAudioDevice(g_out.device);
    return MMSYSERR_NOERROR;
}

MMRESULT waveOutWrite(HWAVEOUT h, WAVEHDR* header, UINT)
{
    if (const MMRESULT check = CheckHeaderCall(h, header); check != MMSYSERR_NOERROR)
        return check;
    if (!(header->dwFlags & WHDR_PREPARED))
        return WAVERR_UNPREPARED;
    SDL_LockAudioDevice(g_out.device);
    MMRESULT result = MMSYSERR_NOERROR;
    if (!g_out.open) {
        result = MMSYSERR_INVALHANDLE;
    } else {
        header->dwFlags = (header->dwFlags & ~WHDR_DONE) | WHDR_INQUEUE;
        g_out.header = header;
        g_out.readByte = 0;
        g_out.loopsLeft = header->dwLoops ? header->dwLoops : 1;
        g_out.lastChunk = 0;
        g_out.lastCallback = SDL_GetPerformanceCounter();
    }
    SDL_UnlockAudioDevice(g_out.device);
    return result;
}

MMRESULT waveOutReset(HWAVEOUT h)
{
    if (!IsOurs(h))
        return MMSYSERR_INVALHANDLE;
    SDL_LockAudioDevice(g_out.device);
    if (g_out.header)
        g_out.header->dwFlags = (g_out.header->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
    g_out.header = nullptr;
    g_out.readByte = 0;
    g_out.played = 0;
    g_out.lastChunk = 0;
    SDL_UnlockAudioDevice(g_out.device);
    return MMSYSERR_NOERROR;
}

MMRESULT waveOutClose(HWAVEOUT h)
{
    if (!IsOurs(h))
        return MMSYSERR_INVALHANDLE;
    SDL_LockAudioDevice(g_out.device);
    g_out.open = false;
    g_out.header = nullptr;
    g_out.played = 0;
    g_out.lastChunk = 0;
    SDL_UnlockAudioDevice(g_out.device);
    return MMSYSERR_NOERROR;
}

MMRESULT waveOutGetPosition(HWAVEOUT h, MMTIME* time, UINT timeSize)
{
    if (!IsOurs(h))
        return MMSYSERR_INVALHANDLE;
    if (!time || timeSize < sizeof(MMTIME))
        return MMSYSERR_INVALPARAM;
    SDL_LockAudioDevice(g_out.device);
    // The samples handed over before the last chunk have sounded; the last
    // chunk is taken to sound from its hand-over on, at the sample rate.
    DWORD position = 0;
    if (g_out.open) {
        const DWORD before = g_out.played - g_out.lastChunk;
        const double elapsed =
            double(SDL_GetPerformanceCounter() - g_out.lastCallback) / double(SDL_GetPerformanceFrequency());
        double inChunk = elapsed * g_out.spec.freq;
        if (inChunk > g_out.lastChunk)
            inChunk = g_out.lastChunk;
        if (inChunk < 0)
            inChunk = 0;
        position = before + DWORD(inChunk);
    }
    SDL_UnlockAudioDevice(g_out.device);
    switch (time->wType) {
    case TIME_BYTES: time->u.cb = position * DWORD(2 * g_out.channels); break;
    case TIME_MS: time->u.ms = DWORD(double(position) * 1000.0 / g_out.spec.freq); break;
    default:
        time->wType = TIME_SAMPLES;
        time->u.sample = position;
        break;
    }
    return MMSYSERR_NOERROR;
}
