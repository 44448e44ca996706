#pragma once
// Wave output in the shape of the WINMM waveOut calls the music makes, over
// SDL2 audio. One SDL device is opened on the first waveOutOpen and kept for
// the life of the process; open, write, reset and close only change its state
// (under SDL_LockAudioDevice), so none of them waits for the device to drain.
//
// What it does not do: several devices or handles at once (a second open while
// one is open fails with MMSYSERR_ALLOCATED), formats other than 16-bit PCM
// mono/stereo, a queue of more than one header, callbacks, volume, pause,
// restart, pitch or playback-rate control. Structures are laid out for this
// platform (64-bit pointers), not Windows' 32-bit layout.
//
// When no sound device can be opened, SDL's "dummy" driver is used instead, so
// that positions still advance with time; this is said once on the console.
#include <cstdint>

#include "platform/system/types.h"

typedef UINT MMRESULT;
struct HWAVEOUT__;
typedef HWAVEOUT__* HWAVEOUT;

#define MMSYSERR_NOERROR 0
#define MMSYSERR_ERROR 1
#define MMSYSERR_INVALHANDLE 5
#define MMSYSERR_NODRIVER 6
#define MMSYSERR_ALLOCATED 4
#define MMSYSERR_INVALPARAM 11
#define WAVERR_BADFORMAT 32
#define WAVERR_UNPREPARED 34

#define WAVE_MAPPER ((UINT)-1)
#define CALLBACK_NULL 0x00000000u
#define WAVE_FORMAT_PCM 1

#define WHDR_DONE 0x00000001u
#define WHDR_PREPARED 0x00000002u
#define WHDR_BEGINLOOP 0x00000004u
#define WHDR_ENDLOOP 0x00000008u
#define WHDR_INQUEUE 0x00000010u

#define TIME_MS 0x0001u
#define TIME_SAMPLES 0x0002u
#define TIME_BYTES 0x0004u

#pragma pack(push, 1)
struct WAVEFORMATEX {
    WORD wFormatTag;
    WORD nChannels;
    DWORD nSamplesPerSec;
    DWORD nAvgBytesPerSec;
    WORD nBlockAlign;
    WORD wBitsPerSample;
    WORD cbSize;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18, "WAVEFORMATEX is 18 bytes");

struct WAVEHDR {
    char* lpData;
    DWORD dwBufferLength;
    DWORD dwBytesRecorded;
    std::uintptr_t dwUser;
    DWORD dwFlags;
    DWORD dwLoops;
    WAVEHDR* lpNext;
    std::uintptr_t reserved;
};

struct MMTIME {
    UINT wType;
    union {
        DWORD ms;
        DWORD sample;
        DWORD cb;
        DWORD ticks;
        struct {
            BYTE hour, min, sec, frame, fps, dummy;
            BYTE pad[2];
        } smpte;
        struct {
            DWORD songptrpos;
        } midi;
    } u;
};
static_assert(sizeof(MMTIME) == 12, "MMTIME is 12 bytes");

// Opens the (one) wave output on the given format; callback and instance are
// accepted only as 0 with CALLBACK_NULL.
MMRESULT waveOutOpen(HWAVEOUT* handle, UINT deviceId, const WAVEFORMATEX* format, std::uintptr_t callback,
                     std::uintptr_t instance, DWORD flags);
// Marks the header prepared.
MMRESULT waveOutPrepareHeader(HWAVEOUT handle, WAVEHDR* header, UINT headerSize);
// Starts playing the header's bytes; a header flagged WHDR_BEGINLOOP and
// WHDR_ENDLOOP is played dwLoops times (the buffer is read in place).
MMRESULT waveOutWrite(HWAVEOUT handle, WAVEHDR* header, UINT headerSize);
// Stops playback and marks the header done; the position starts again at 0.
MMRESULT waveOutReset(HWAVEOUT handle);
MMRESULT waveOutClose(HWAVEOUT handle);
// Samples played since the open, counted across loop repetitions and wrapping
// at 32 bits (TIME_SAMPLES; TIME_BYTES and TIME_MS are also answered).
MMRESULT waveOutGetPosition(HWAVEOUT handle, MMTIME* time, UINT timeSize);
