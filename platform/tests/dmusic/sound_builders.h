// Builders of small WAV and MIDI files for the sound tests.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

namespace sound_builders {

inline void PutLE(std::vector<uint8_t>& b, uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i) b.push_back(uint8_t(v >> (8 * i)));
}
inline void PutBE(std::vector<uint8_t>& b, uint32_t v, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i) b.push_back(uint8_t(v >> (8 * i)));
}

// A RIFF WAVE file with a fmt chunk of the given tag and the raw sample bytes.
inline std::vector<uint8_t> MakeWaveRaw(uint16_t tag, int rate, int channels, int bits,
                                        const std::vector<uint8_t>& samples, int blockAlign = -1)
{
    if (blockAlign < 0) blockAlign = channels * bits / 8;
    std::vector<uint8_t> b = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' '};
    PutLE(b, 16, 4);
    PutLE(b, tag, 2);
    PutLE(b, uint32_t(channels), 2);
    PutLE(b, uint32_t(rate), 4);
    PutLE(b, uint32_t(rate * blockAlign), 4);
    PutLE(b, uint32_t(blockAlign), 2);
    PutLE(b, uint32_t(bits), 2);
    b.insert(b.end(), {'d', 'a', 't', 'a'});
    PutLE(b, uint32_t(samples.size()), 4);
    b.insert(b.end(), samples.begin(), samples.end());
    if (samples.size() & 1) b.push_back(0);
    uint32_t riff = uint32_t(b.size() - 8);
    for (int i = 0; i < 4; ++i) b[4 + i] = uint8_t(riff >> (8 * i));
    return b;
}

// 16-bit mono PCM holding a constant level (so mixing sums are easy to check).
inline std::vector<uint8_t> MakeConstantWave(int rate, size_t frames, int16_t level)
{
    std::vector<uint8_t> s;
    for (size_t i = 0; i < frames; ++i) PutLE(s, uint16_t(level), 2);
    return MakeWaveRaw(1, rate, 1, 16, s);
}

// 16-bit mono PCM sine.
inline std::vector<uint8_t> MakeSineWave(int rate, size_t frames, double hz, double amplitude)
{
    std::vector<uint8_t> s;
    for (size_t i = 0; i < frames; ++i)
        PutLE(s, uint16_t(int16_t(std::lround(std::sin(6.283185307179586 * hz * double(i) / rate) * amplitude * 32767))), 2);
    return MakeWaveRaw(1, rate, 1, 16, s);
}

// A standard MIDI file; each track is raw event bytes (delta times included) without the
// end-of-track event, which is appended.
inline std::vector<uint8_t> MakeMidi(int format, int division, std::initializer_list<std::vector<uint8_t>> tracks)
{
    std::vector<uint8_t> b = {'M', 'T', 'h', 'd'};
    PutBE(b, 6, 4);
    PutBE(b, uint32_t(format), 2);
    PutBE(b, uint32_t(tracks.size()), 2);
    PutBE(b, uint32_t(division), 2);
    for (const auto& t : tracks) {
        b.insert(b.end(), {'M', 'T', 'r', 'k'});
        PutBE(b, uint32_t(t.size() + 4), 4);
        b.insert(b.end(), t.begin(), t.end());
        b.insert(b.end(), {0x00, 0xFF, 0x2F, 0x00});
    }
    return b;
}

// Variable-length quantity.
inline std::vector<uint8_t> Vlq(uint32_t v)
{
    std::vector<uint8_t> out;
    uint8_t bytes[5];
    int n = 0;
    do {
        bytes[n++] = uint8_t(v & 0x7F);
        v >>= 7;
    } while (v);
    for (int i = n - 1; i >= 0; --i) out.push_back(uint8_t(bytes[i] | (i ? 0x80 : 0)));
    return out;
}

inline void Append(std::vector<uint8_t>& a, const std::vector<uint8_t>& b) { a.insert(a.end(), b.begin(), b.end()); }

// One track: a piano note of `key` at tick 0 and another at `secondTick`, each one quarter
// (division ticks) long; the song ends at secondTick + division.
inline std::vector<uint8_t> TwoNoteTrack(uint32_t division, uint32_t secondTick, int key = 60)
{
    std::vector<uint8_t> t = {0x00, 0xC0, 0x00, 0x00, 0x90, uint8_t(key), 100};
    Append(t, Vlq(division));
    Append(t, {0x80, uint8_t(key), 0});
    Append(t, Vlq(secondTick - division));
    Append(t, {0x90, uint8_t(key + 7), 100});
    Append(t, Vlq(division));
    Append(t, {0x80, uint8_t(key + 7), 0});
    return t;
}

inline std::vector<uint8_t> TempoEvent(uint32_t delta, uint32_t bpm)
{
    uint32_t micros = 60000000u / bpm;
    std::vector<uint8_t> t = Vlq(delta);
    Append(t, {0xFF, 0x51, 0x03, uint8_t(micros >> 16), uint8_t(micros >> 8), uint8_t(micros)});
    return t;
}

inline bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace sound_builders
