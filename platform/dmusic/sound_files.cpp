#include "platform/dmusic/sound_files.h"

#include "platform/win32/byte_order.h"

#include <algorithm>
#include <cstring>

namespace dmusic_files {

namespace {

uint32_t ReadBE32(const uint8_t* p) { return (uint32_t(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3]; }
uint16_t ReadBE16(const uint8_t* p) { return uint16_t((p[0] << 8) | p[1]); }

// Large enough for minutes of audio, small enough that a lying header cannot exhaust memory.
constexpr size_t kMaxWaveFrames = size_t(kMixRate) * 60 * 10;
constexpr size_t kMaxMidiEvents = 4u << 20;
constexpr uint32_t kMaxTick = 0x7FFFFFFF;

float SampleAt(const uint8_t* p, int bits)
{
    switch (bits) {
    case 8: return (int(p[0]) - 128) / 128.0f;
    case 16: return int16_t(LoadLe16(p)) / 32768.0f;
    case 24: {
        int32_t v = int32_t((uint32_t(p[0]) << 8) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 24)) >> 8;
        return float(v / 8388608.0);
    }
    default: return float(int32_t(LoadLe32(p)) / 2147483648.0);
    }
}

}  // namespace

bool ParseWave(const uint8_t* data, size_t size, WaveSound& out, std::string& error)
{
    out = WaveSound{};
    if (!data || size < 12 || std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "WAVE", 4) != 0) {
        error = "not a RIFF WAVE file";
        return false;
    }
    size_t end = size;
    uint32_t riffSize = LoadLe32(data + 4);
    if (riffSize >= 4 && size_t(riffSize) + 8 < end) end = size_t(riffSize) + 8;

    bool haveFormat = false;
    int channels = 0, bits = 0, blockAlign = 0;
    uint32_t rate = 0;
    const uint8_t* samples = nullptr;
    size_t sampleBytes = 0;
    size_t pos = 12;
    while (pos + 8 <= end) {
        const uint8_t* chunk = data + pos;
        uint32_t length = LoadLe32(chunk + 4);
        size_t bodyAt = pos + 8;
        if (length > end - bodyAt) {
            error = "chunk runs past the end of the file";
            return false;
        }
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (length < 16) {
                error = "format chunk too short";
                return false;
            }
            const uint8_t* f = data + bodyAt;
            uint16_t tag = LoadLe16(f);
            if (tag == 0xFFFE) {
                // Extensible: the real format is the first word of the sub-format GUID.
                if (length < 40 || LoadLe16(f + 16) < 22) {
                    error = "extensible format chunk too short";
                    return false;
                }
                tag = LoadLe16(f + 24);
            }
            if (tag != 1) {
                error = "not PCM (format tag " + std::to_string(tag) + ")";
                return false;
            }
            channels = LoadLe16(f + 2);
            rate = LoadLe32(f + 4);
            blockAlign = LoadLe16(f + 12);
            bits = LoadLe16(f + 14);
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            samples = data + bodyAt;
            sampleBytes = length;
        }
        pos = bodyAt + length + (length & 1);
    }
    if (!haveFormat) {
        error = "no format chunk";
        return false;
    }
    if (!samples) {
        error = "no data chunk";
        return false;
    }
    if (channels < 1 || channels > 2) {
        error = "unsupported channel count " + std::to_string(channels);
        return false;
    }
    if (bits != 8 && bits != 16 && bits != 24 && bits != 32) {
        error = "unsupported sample size " + std::to_string(bits);
        return false;
    }
    if (rate < 1000 || rate > 192000) {
        error = "unsupported sample rate " + std::to_string(rate);
        return false;
    }
    if (blockAlign != channels * bits / 8) {
        error = "block alignment does not match the format";
        return false;
    }

    size_t sourceFrames = sampleBytes / size_t(blockAlign);
    double step = double(rate) / kMixRate;
    size_t outFrames = sourceFrames == 0 ? 0 : size_t(double(sourceFrames) / step);
    if (outFrames > kMaxWaveFrames) {
        error = "sound too long";
        return false;
    }
    out.sourceRate = int(rate);
    out.sourceChannels = channels;
    out.sourceBits = bits;
    out.frames.resize(outFrames * 2);
    int bytesPerSample = bits / 8;
    auto frameSample = [&](size_t frame, int channel) {
        const uint8_t* p = samples + frame * size_t(blockAlign) + size_t(channel % channels) * bytesPerSample;
        return SampleAt(p, bits);
    };
    for (size_t i = 0; i < outFrames; ++i) {
        double src = double(i) * step;
        size_t a = size_t(src);
        if (a >= sourceFrames) a = sourceFrames - 1;
        size_t b = std::min(a + 1, sourceFrames - 1);
        float t = float(src - double(a));
        for (int c = 0; c < 2; ++c) {
            float sa = frameSample(a, c);
            float sb = frameSample(b, c);
            out.frames[i * 2 + c] = sa + (sb - sa) * t;
        }
    }
    return true;
}

double MidiSong::TempoAt(uint32_t tick) const
{
    uint32_t micros = 500000;
    for (const TempoChange& t : tempos) {
        if (t.tick > tick) break;
        micros = t.microsPerQuarter;
    }
    return 60000000.0 / micros;
}

namespace {

struct TrackReader {
    const uint8_t* p;
    const uint8_t* end;
    bool ReadVarLen(uint32_t& value)
    {
        value = 0;
        for (int i = 0; i < 4; ++i) {
            if (p >= end) return false;
            uint8_t b = *p++;
            value = (value << 7) | (b & 0x7F);
            if (!(b & 0x80)) return true;
        }
        return false;  // more than four bytes
    }
};

struct PendingEvent {
    MidiEvent event;
    uint32_t order;
};

}  // namespace

bool ParseMidi(const uint8_t* data, size_t size, MidiSong& out, std::string& error)
{
    out = MidiSong{};
    if (!data || size < 14 || std::memcmp(data, "MThd", 4) != 0) {
        error = "not a standard MIDI file";
        return false;
    }
    uint32_t headerLength = ReadBE32(data + 4);
    if (headerLength < 6 || headerLength > size - 8) {
        error = "damaged header";
        return false;
    }
    int format = ReadBE16(data + 8);
    int tracks = ReadBE16(data + 10);
    int division = ReadBE16(data + 12);
    if (format > 1) {
        error = "unsupported MIDI format " + std::to_string(format);
        return false;
    }
    if (division & 0x8000) {
        error = "SMPTE time division is not supported";
        return false;
    }
    if (division == 0) {
        error = "zero time division";
        return false;
    }
    if (tracks == 0) {
        error = "no tracks";
        return false;
    }
    out.format = format;
    out.division = division;

    std::vector<PendingEvent> events;
    std::vector<std::pair<TempoChange, uint32_t>> tempos;
    uint32_t order = 0;
    size_t pos = 8 + size_t(headerLength);
    int found = 0;
    while (found < tracks && pos + 8 <= size) {
        uint32_t length = ReadBE32(data + pos + 4);
        size_t bodyAt = pos + 8;
        if (length > size - bodyAt) {
            error = "track runs past the end of the file";
            return false;
        }
        if (std::memcmp(data + pos, "MTrk", 4) != 0) {
            pos = bodyAt + length;  // an unknown chunk is skipped
            continue;
        }
        ++found;
        TrackReader r{data + bodyAt, data + bodyAt + length};
        uint32_t tick = 0;
        uint8_t running = 0;
        bool ended = false;
        while (!ended && r.p < r.end) {
            uint32_t delta;
            if (!r.ReadVarLen(delta)) {
                error = "damaged delta time";
                return false;
            }
            if (delta > kMaxTick - tick) {
                error = "song too long";
                return false;
            }
            tick += delta;
            if (r.p >= r.end) {
                error = "event missing after delta time";
                return false;
            }
            uint8_t status = *r.p;
            if (status & 0x80) {
                ++r.p;
            } else {
                if (!running) {
                    error = "data byte without a status";
                    return false;
                }
                status = running;
            }
            if (status == 0xFF) {
                if (r.p >= r.end) {
                    error = "damaged meta event";
                    return false;
                }
                uint8_t type = *r.p++;
                uint32_t len;
                if (!r.ReadVarLen(len) || len > size_t(r.end - r.p)) {
                    error = "damaged meta event";
                    return false;
                }
                if (type == 0x51 && len == 3) {
                    uint32_t micros = (uint32_t(r.p[0]) << 16) | (r.p[1] << 8) | r.p[2];
                    if (micros > 0) tempos.push_back({TempoChange{tick, micros}, order++});
                } else if (type == 0x2F) {
                    ended = true;
                }
                r.p += len;
                running = 0;
            } else if (status == 0xF0 || status == 0xF7) {
                uint32_t len;
                if (!r.ReadVarLen(len) || len > size_t(r.end - r.p)) {
                    error = "damaged system exclusive event";
                    return false;
                }
                r.p += len;
                running = 0;
            } else if (status >= 0xF0) {
                error = "unexpected status byte in a file";
                return false;
            } else {
                running = status;
                int needed = (status & 0xE0) == 0xC0 ? 1 : 2;  // program change and channel pressure
                if (size_t(r.end - r.p) < size_t(needed)) {
                    error = "truncated channel event";
                    return false;
                }
                MidiEvent e;
                e.tick = tick;
                e.status = status;
                e.data1 = r.p[0] & 0x7F;
                e.data2 = needed == 2 ? (r.p[1] & 0x7F) : 0;
                if ((r.p[0] & 0x80) || (needed == 2 && (r.p[1] & 0x80))) {
                    error = "status byte where a data byte belongs";
                    return false;
                }
                r.p += needed;
                if (events.size() >= kMaxMidiEvents) {
                    error = "too many events";
                    return false;
                }
                events.push_back({e, order++});
            }
        }
        out.lengthTicks = std::max(out.lengthTicks, tick);
        pos = bodyAt + length;
    }
    if (found == 0) {
        error = "no track chunk";
        return false;
    }
    out.trackCount = found;
    std::stable_sort(events.begin(), events.end(),
                     [](const PendingEvent& a, const PendingEvent& b) { return a.event.tick < b.event.tick; });
    std::stable_sort(tempos.begin(), tempos.end(),
                     [](const auto& a, const auto& b) { return a.first.tick < b.first.tick; });
    out.events.reserve(events.size());
    for (const PendingEvent& e : events) out.events.push_back(e.event);
    for (const auto& t : tempos) out.tempos.push_back(t.first);
    return true;
}

}  // namespace dmusic_files
