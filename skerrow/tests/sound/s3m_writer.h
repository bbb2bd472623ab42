// Writes small S3M modules for the tests: one effect at a time, with samples the test makes.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace s3mtest {

struct Sample {
    std::vector<uint8_t> data;  // unsigned 8-bit
    bool loop = false;
    uint32_t loopBegin = 0, loopEnd = 0;
    int volume = 64;
    uint32_t c2spd = 8363;
    bool sixteenBit = false;    // data then holds little-endian unsigned 16-bit pairs
    uint32_t lengthOverride = 0;  // when non-zero, the header claims this length
};

struct Cell {
    int row = 0, channel = 0;
    int note = 255;  // 255 none, 254 cut, else octave << 4 | semitone
    int instrument = 0;
    int volume = -1;
    int command = 0;  // 1 = A ...
    int info = 0;
};

struct Module {
    int speed = 6, tempo = 125, globalVolume = 64;
    std::vector<uint8_t> orders{0, 255};
    std::vector<Sample> samples;
    std::vector<std::vector<Cell>> patterns{{}};
    std::vector<uint8_t> channelSettings{0, 8};
    std::vector<int> pans;  // per channel setting, -1 keeps the default
    uint16_t fileFormat = 2;
};

inline int Note(int octave, int semitone) { return (octave << 4) | semitone; }
inline int Cmd(char letter) { return letter - 'A' + 1; }

// A looped sample holding `cycles` sine periods over `length` samples.
inline Sample SineSample(int length = 256, int cycles = 8, int volume = 64)
{
    Sample s;
    for (int i = 0; i < length; ++i)
        s.data.push_back(uint8_t(128 + int(100.0 * __builtin_sin(6.283185307179586 * cycles * i / length))));
    s.loop = true;
    s.loopBegin = 0;
    s.loopEnd = uint32_t(length);
    s.volume = volume;
    return s;
}

inline std::vector<uint8_t> Write(const Module& m)
{
    std::vector<uint8_t> f(96, 0);
    auto put16 = [&](size_t at, uint32_t v) { f[at] = uint8_t(v); f[at + 1] = uint8_t(v >> 8); };
    auto put32 = [&](size_t at, uint32_t v) { put16(at, v & 0xffff); put16(at + 2, v >> 16); };
    std::memcpy(f.data(), "test module", 11);
    f[28] = 0x1a;
    f[29] = 16;
    put16(32, uint32_t(m.orders.size()));
    put16(34, uint32_t(m.samples.size()));
    put16(36, uint32_t(m.patterns.size()));
    put16(40, 0x1320);
    put16(42, m.fileFormat);
    std::memcpy(f.data() + 44, "SCRM", 4);
    f[48] = uint8_t(m.globalVolume);
    f[49] = uint8_t(m.speed);
    f[50] = uint8_t(m.tempo);
    f[51] = 0xB0;
    f[53] = 252;
    for (int i = 0; i < 32; ++i) f[size_t(64 + i)] = i < int(m.channelSettings.size()) ? m.channelSettings[size_t(i)] : 255;
    f.insert(f.end(), m.orders.begin(), m.orders.end());
    size_t insTable = f.size();
    f.resize(f.size() + 2 * m.samples.size());
    size_t patTable = f.size();
    f.resize(f.size() + 2 * m.patterns.size());
    size_t panAt = f.size();
    f.resize(f.size() + 32);
    for (size_t i = 0; i < m.pans.size() && i < 32; ++i)
        if (m.pans[i] >= 0) f[panAt + i] = uint8_t(0x20 | m.pans[i]);
    auto align = [&] { while (f.size() % 16) f.push_back(0); };
    for (size_t i = 0; i < m.samples.size(); ++i) {
        const Sample& s = m.samples[i];
        align();
        size_t h = f.size();
        put16(insTable + 2 * i, uint32_t(h / 16));
        f.resize(h + 80);
        f[h] = 1;
        uint32_t len = s.lengthOverride ? s.lengthOverride : uint32_t(s.data.size() / (s.sixteenBit ? 2 : 1));
        put32(h + 16, len);
        put32(h + 20, s.loopBegin);
        put32(h + 24, s.loopEnd);
        f[h + 28] = uint8_t(s.volume);
        f[h + 31] = uint8_t((s.loop ? 1 : 0) | (s.sixteenBit ? 4 : 0));
        put32(h + 32, s.c2spd);
        std::memcpy(f.data() + h + 76, "SCRS", 4);
        align();
        size_t d = f.size();
        f[h + 13] = uint8_t((d / 16) >> 16);
        put16(h + 14, uint32_t((d / 16) & 0xffff));
        f.insert(f.end(), s.data.begin(), s.data.end());
    }
    for (size_t p = 0; p < m.patterns.size(); ++p) {
        align();
        size_t at = f.size();
        put16(patTable + 2 * p, uint32_t(at / 16));
        f.resize(at + 2);
        for (int row = 0; row < 64; ++row) {
            for (const Cell& c : m.patterns[p]) {
                if (c.row != row) continue;
                uint8_t what = uint8_t(c.channel & 31);
                bool noteIns = c.note != 255 || c.instrument;
                if (noteIns) what |= 0x20;
                if (c.volume >= 0) what |= 0x40;
                if (c.command) what |= 0x80;
                f.push_back(what);
                if (noteIns) {
                    f.push_back(uint8_t(c.note));
                    f.push_back(uint8_t(c.instrument));
                }
                if (c.volume >= 0) f.push_back(uint8_t(c.volume));
                if (c.command) {
                    f.push_back(uint8_t(c.command));
                    f.push_back(uint8_t(c.info));
                }
            }
            f.push_back(0);
        }
        put16(at, uint32_t(f.size() - at - 2));
    }
    return f;
}

}  // namespace s3mtest
