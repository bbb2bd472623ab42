// Test access to the DirectSound mixer. With manual mixing on, the audio device is paused and
// nothing is mixed unless a test asks for it, so that cursors move exactly as far as the test
// mixes: the output can be compared frame by frame against computed references.
#pragma once

#include <cstdint>

#include "platform/dsound/dsound.h"

void DirectSoundSetManualMixing(bool manual);
// Mixes `frames` frames of the device format (16-bit, the primary buffer's channel count) into
// out, advancing every playing buffer. Returns false when no DirectSound object exists.
bool DirectSoundMixFrames(int16_t* out, int frames);
// Marks every secondary buffer lost, as when another program takes the device.
void DirectSoundLoseBuffers();
