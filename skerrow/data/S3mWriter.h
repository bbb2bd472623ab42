// Writer of Scream Tracker 3 modules (the format the game's module player reads): header,
// order list, instrument and pattern parapointers, channel pans, 8-bit PCM instruments and
// packed patterns of 64 rows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct S3mCell {
    uint8_t note = 0;     // 0 none, 254 note cut, else octave << 4 | semitone
    uint8_t inst = 0;     // 1-based, 0 none
    uint8_t vol = 255;    // 0..64, 255 none
    uint8_t cmd = 0;      // 1 = 'A' ... 22 = 'V', 0 none
    uint8_t info = 0;
};

struct S3mPattern {
    explicit S3mPattern(int channels) : channels(channels), cells(size_t(64) * channels) {}
    S3mCell& At(int row, int ch) { return cells[size_t(row) * channels + ch]; }
    int channels;
    std::vector<S3mCell> cells;
};

struct S3mSample {
    std::string name;
    std::vector<int8_t> data;
    bool loop = false;
    uint32_t loopBegin = 0, loopEnd = 0;
    uint8_t volume = 64;
    uint32_t c2spd = 8363;
};

struct S3mSong {
    std::string name;
    int speed = 6, tempo = 125;
    int globalVolume = 64, masterVolume = 48;
    std::vector<uint8_t> pans;  // 0..15 per channel; the channel count is pans.size() (at most 16)
    std::vector<uint8_t> orders;
    std::vector<S3mSample> samples;
    std::vector<S3mPattern> patterns;
};

constexpr uint8_t S3mCommand(char letter) { return uint8_t(letter - 'A' + 1); }
constexpr uint8_t S3mNote(int octave, int semitone) { return uint8_t((octave << 4) | semitone); }

// Empty on a song the format cannot hold (too many channels, instruments, patterns or orders,
// a cell naming a missing instrument, or an oversized file); the message says why.
std::vector<uint8_t> WriteS3m(const S3mSong& song, std::string* error);
