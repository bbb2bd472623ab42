#include "skerrow/data/S3mWriter.h"

#include <algorithm>
#include <cstring>

namespace {

void Put16(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    out[at] = uint8_t(v);
    out[at + 1] = uint8_t(v >> 8);
}
void Put32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    Put16(out, at, v & 0xFFFF);
    Put16(out, at + 2, v >> 16);
}
void Align16(std::vector<uint8_t>& out) {
    while (out.size() % 16) out.push_back(0);
}
bool Fail(std::string* error, const char* why) {
    if (error) *error = why;
    return false;
}

bool Check(const S3mSong& song, std::string* error) {
    if (song.pans.empty() || song.pans.size() > 16) return Fail(error, "1 to 16 channels");
    if (song.samples.size() > 99) return Fail(error, "at most 99 instruments");
    if (song.patterns.empty() || song.patterns.size() > 200) return Fail(error, "1 to 200 patterns");
    if (song.orders.empty() || song.orders.size() > 255) return Fail(error, "1 to 255 orders");
    if (song.speed < 1 || song.speed > 31 || song.tempo < 33 || song.tempo > 255)
        return Fail(error, "speed or tempo out of range");
    for (const S3mPattern& p : song.patterns) {
        if (p.channels != int(song.pans.size())) return Fail(error, "pattern width differs");
        for (const S3mCell& c : p.cells) {
            if (c.inst > song.samples.size()) return Fail(error, "cell names a missing instrument");
            if (c.vol != 255 && c.vol > 64) return Fail(error, "volume above 64");
            if (c.cmd > 26) return Fail(error, "unknown command");
            // An instrument without a note would replay the channel's last note in the player.
            if (c.inst && !c.note) return Fail(error, "instrument without a note");
            if (c.note != 0 && c.note != 254 && ((c.note & 15) > 11 || (c.note >> 4) > 9))
                return Fail(error, "bad note");
        }
    }
    for (const S3mSample& s : song.samples)
        if (s.loop && (s.loopEnd > s.data.size() || s.loopBegin >= s.loopEnd))
            return Fail(error, "loop outside the sample");
    return true;
}

}  // namespace

std::vector<uint8_t> WriteS3m(const S3mSong& song, std::string* error) {
    if (!Check(song, error)) return {};
    const size_t insCount = song.samples.size(), patCount = song.patterns.size();
    std::vector<uint8_t> orders = song.orders;
    if (orders.size() % 2) orders.push_back(255);  // the order count is kept even

    std::vector<uint8_t> out(96, 0);
    std::memcpy(out.data(), song.name.data(), std::min<size_t>(song.name.size(), 27));
    out[28] = 0x1A;
    out[29] = 16;  // module type
    Put16(out, 32, uint32_t(orders.size()));
    Put16(out, 34, uint32_t(insCount));
    Put16(out, 36, uint32_t(patCount));
    Put16(out, 38, 0);
    Put16(out, 40, 0x1320);
    Put16(out, 42, 2);  // samples stored unsigned
    std::memcpy(out.data() + 44, "SCRM", 4);
    out[48] = uint8_t(song.globalVolume);
    out[49] = uint8_t(song.speed);
    out[50] = uint8_t(song.tempo);
    out[51] = uint8_t(0x80 | (song.masterVolume & 0x7F));  // stereo
    out[52] = 16;
    out[53] = 252;  // channel pans follow the parapointers
    for (int ch = 0; ch < 32; ++ch) out[64 + ch] = 255;  // unused
    // Distinct settings per channel: left ones 0..7, right ones 8..15, in channel order.
    int left = 0, right = 8;
    for (size_t ch = 0; ch < song.pans.size(); ++ch) out[64 + ch] = uint8_t(song.pans[ch] < 8 ? left++ : right++);
    if (left > 8 || right > 16) {
        Fail(error, "too many channels on one side");
        return {};
    }
    out.insert(out.end(), orders.begin(), orders.end());
    const size_t insPtrAt = out.size();
    out.resize(out.size() + 2 * insCount + 2 * patCount, 0);
    const size_t patPtrAt = insPtrAt + 2 * insCount;
    for (int ch = 0; ch < 32; ++ch)
        out.push_back(ch < int(song.pans.size()) ? uint8_t(0x20 | (song.pans[ch] & 15)) : 0);

    // Instrument headers, then their sample data.
    std::vector<size_t> insAt(insCount);
    for (size_t i = 0; i < insCount; ++i) {
        Align16(out);
        insAt[i] = out.size();
        Put16(out, insPtrAt + 2 * i, uint32_t(out.size() / 16));
        out.resize(out.size() + 80, 0);
    }
    for (size_t i = 0; i < insCount; ++i) {
        const S3mSample& s = song.samples[i];
        Align16(out);
        const size_t dataAt = out.size();
        if (dataAt / 16 > 0xFFFFFF) {
            Fail(error, "module too large");
            return {};
        }
        for (int8_t v : s.data) out.push_back(uint8_t(int(v) + 128));
        const size_t h = insAt[i];
        out[h] = 1;
        const std::string file = s.name.substr(0, 12);
        std::memcpy(out.data() + h + 1, file.data(), file.size());
        out[h + 13] = uint8_t((dataAt / 16) >> 16);
        Put16(out, h + 14, uint32_t((dataAt / 16) & 0xFFFF));
        Put32(out, h + 16, uint32_t(s.data.size()));
        Put32(out, h + 20, s.loop ? s.loopBegin : 0);
        Put32(out, h + 24, s.loop ? s.loopEnd : 0);
        out[h + 28] = std::min<uint8_t>(s.volume, 64);
        out[h + 30] = 0;
        out[h + 31] = s.loop ? 1 : 0;
        Put32(out, h + 32, s.c2spd);
        std::memcpy(out.data() + h + 48, s.name.data(), std::min<size_t>(s.name.size(), 27));
        std::memcpy(out.data() + h + 76, "SCRS", 4);
    }

    for (size_t p = 0; p < patCount; ++p) {
        Align16(out);
        Put16(out, patPtrAt + 2 * p, uint32_t(out.size() / 16));
        const size_t start = out.size();
        out.push_back(0);
        out.push_back(0);
        S3mPattern pat = song.patterns[p];
        for (int row = 0; row < 64; ++row) {
            for (int ch = 0; ch < pat.channels; ++ch) {
                const S3mCell& c = pat.At(row, ch);
                uint8_t what = uint8_t(ch);
                if (c.note || c.inst) what |= 0x20;
                if (c.vol != 255) what |= 0x40;
                if (c.cmd) what |= 0x80;
                if (what == ch) continue;
                out.push_back(what);
                if (what & 0x20) {
                    out.push_back(c.note ? c.note : 255);
                    out.push_back(c.inst);
                }
                if (what & 0x40) out.push_back(c.vol);
                if (what & 0x80) {
                    out.push_back(c.cmd);
                    out.push_back(c.info);
                }
            }
            out.push_back(0);
        }
        Put16(out, start, uint32_t(out.size() - start));
    }
    return out;
}
