// Readers for the two kinds of file a segment is made from: RIFF WAVE (PCM only) and standard
// MIDI files (formats 0 and 1). Both take untrusted bytes and either succeed or say why not.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace dmusic_files {

// Every segment is mixed at this rate, in stereo.
constexpr int kMixRate = 44100;

struct WaveSound {
    int sourceRate = 0;
    int sourceChannels = 0;
    int sourceBits = 0;
    // Interleaved stereo frames at kMixRate, -1..1.
    std::vector<float> frames;
    size_t FrameCount() const { return frames.size() / 2; }
};

// PCM 8, 16, 24 or 32 bits, one or two channels (the extensible header with a PCM sub-format
// counts as PCM). Anything else, or a damaged file, is refused with a reason.
bool ParseWave(const uint8_t* data, size_t size, WaveSound& out, std::string& error);

struct MidiEvent {
    uint32_t tick = 0;
    uint8_t status = 0;  // a channel message: 0x80..0xEF
    uint8_t data1 = 0;
    uint8_t data2 = 0;
};

struct TempoChange {
    uint32_t tick = 0;
    uint32_t microsPerQuarter = 500000;
};

struct MidiSong {
    int format = 0;
    int trackCount = 0;
    int division = 0;  // ticks per quarter note
    std::vector<MidiEvent> events;     // all tracks merged, in time order
    std::vector<TempoChange> tempos;   // the file's own tempo map, in time order
    uint32_t lengthTicks = 0;          // the latest end of any track

    // The file's tempo (beats per minute) in force at a tick; 120 before any tempo event.
    double TempoAt(uint32_t tick) const;
};

// Formats 0 and 1 with a ticks-per-quarter division; format 2 and SMPTE time are refused.
bool ParseMidi(const uint8_t* data, size_t size, MidiSong& out, std::string& error);

}  // namespace dmusic_files
