#pragma once
// The rendered song as 16-bit mono PCM at 44100 samples per second, played
// as one looping buffer. Positions are 32-bit sample counts from the song's
// first sample. Everything here is called from the main thread only.
#include <cstdint>

#include "platform/audio/waveout.h"

extern std::int16_t* g_musicSamples;
extern std::uint32_t g_musicBytes;
extern std::uint32_t g_musicStartSample;
extern bool g_musicOpen;
extern HWAVEOUT g_waveOut;
extern WAVEHDR g_waveHeader;
extern WAVEFORMATEX g_waveFormat;

// Renders and converts the song the first time; later calls convert nothing.
void GenerateSong();
double GetSongProgress();

void OpenMusic();
void PlayMusic();
void StopMusic();
void SeekMusic(std::uint32_t position);
std::uint32_t GetMusicPosition();

bool SoundDeviceOpen(void* data, std::uint32_t byteLength);
void SoundDevicePlay();
void SoundDeviceClose();
std::uint32_t SoundDeviceGetPosition();

// Converts float samples to PCM: x * 32000 clamped to +-32000, rounded to
// nearest even; NaN becomes 0.
void ConvertToPcm(const float* samples, std::uint32_t count, std::int16_t* out);

// Test seam: plays the given PCM in place of the rendered song (the buffer is
// borrowed and must outlive playback). GenerateSong then renders nothing.
void UseMusicSamples(std::int16_t* samples, std::uint32_t count);
