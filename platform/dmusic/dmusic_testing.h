// Test controls of the DirectMusic layer: a recording back end whose clock the test steps by
// hand, and the log of what the performance did (for tests only; the games never include this).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/dmusic/dmusic.h"

namespace dmusic_testing {

// With the manual clock on, performances initialised afterwards open no audio device: sound
// is produced only by Render, and the performance records its events.
void UseManualClock(bool manual);

// Renders `frames` stereo frames (interleaved, -1..1) on a performance using the manual clock.
std::vector<float> Render(IDirectMusicPerformance8* performance, size_t frames);

enum class EventKind {
    SegmentStart,  // secondary says how; value = beats per minute for MIDI, 0 for a wave
    SegmentLoop,
    SegmentEnd,
    SegmentAbort,
    NoteOn,        // channel (synthesiser channel), key
    Tempo,         // value = beats per minute now in force
    Volume,        // value = hundredths of a decibel set on a path
};

struct Event {
    uint64_t frame = 0;  // output frame at which it happened
    EventKind kind = EventKind::SegmentStart;
    const IDirectMusicSegment8* segment = nullptr;
    bool secondary = false;
    int channel = 0;
    int key = 0;
    double value = 0;
};

// The most segment notifications that ever waited at once for the program to take them.
size_t NotificationHighWater(IDirectMusicPerformance8* performance);

// The events recorded since the last call, oldest first.
std::vector<Event> TakeEvents(IDirectMusicPerformance8* performance);

// The SoundFont that audio paths load for MIDI (default: the General MIDI one).
void SetSoundFontPath(const std::string& path);

}  // namespace dmusic_testing
