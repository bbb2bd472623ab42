// The sound engine: WAV samples played through DirectSound buffers (duplicated so that one
// sample can sound several times at once) and one S3M module streamed as music, refilled by a
// multimedia timer every 100 ms. Operations return 0 on success or a code with a last-error text.
#pragma once

#include <cstddef>

#include "platform/dsound/dsound.h"

typedef int SampleHandle;

int InitSoundEngine();
int CreateDirectSound(HWND window, const WAVEFORMATEX* format);
// Stops the music and releases every sample, buffer and the DirectSound object; the engine is
// then not activated until InitSoundEngine succeeds again.
void ReleaseSoundEngine();

SampleHandle LoadSample(const void* image, size_t size, int noDuplicates);
int PlaySample(SampleHandle handle, int volume, int pan);
void SetSampleVolume(int percent);
int GetSampleVolume();
void SetMusicVolume(int percent);
int GetMusicVolume();
void SetReverseStereo(int reverse);
int GetReverseStereo();
int SetOutputFormat(int rate, int bits16, int stereo, int interpolation);

int PlayModule(const void* image, size_t size);
int StopModule();
int SetModuleOption(int value);
// Fills the music stream behind the play cursor; the timer calls it every 100 ms.
void StreamFill();

const char* GetSoundError();
int VolumeToAttenuation(int volume);
