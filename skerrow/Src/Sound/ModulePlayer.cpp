#include "skerrow/Src/Sound/ModulePlayer.h"

#include "platform/win32/byte_order.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Periods of one octave, octave 0, in 1/16 of the classic units (C = 1712 x 16).
const int kNoteTable[12] = {27392, 25855, 24403, 23034, 21741, 20521,
                            19369, 18282, 17256, 16287, 15373, 14510};
// The period at which a sample plays at its C2Spd: middle C, 428 x 16.
constexpr int64_t kReferencePeriod = 6848;

// Fine-tune C2Spd values for S2y.
const int kFineTune[16] = {7895, 7941, 7985, 8046, 8107, 8169, 8232, 8280,
                           8363, 8413, 8463, 8529, 8581, 8651, 8723, 8757};

// 16.16 factors for 0..15 semitones up (arpeggio).
int SemitoneFactor(int n)
{
    static int table[16];
    static bool ready = [] {
        for (int i = 0; i < 16; ++i) table[i] = int(std::lround(65536.0 * std::pow(2.0, -i / 12.0)));
        return true;
    }();
    (void)ready;
    return table[n & 15];
}

// The four modulation waveforms, -127..127: sine, ramp down, square, and a fixed noise.
int Wave(int which, int phase)
{
    static int tables[4][64];
    static bool ready = [] {
        uint32_t seed = 0x1234567u;
        for (int i = 0; i < 64; ++i) {
            tables[0][i] = int(std::lround(127.0 * std::sin(2.0 * 3.14159265358979323846 * i / 64.0)));
            tables[1][i] = 127 - (i * 254) / 63;
            tables[2][i] = i < 32 ? 127 : -127;
            seed = seed * 1103515245u + 12345u;
            tables[3][i] = int((seed >> 16) % 255) - 127;
        }
        return true;
    }();
    (void)ready;
    return tables[which & 3][phase & 63];
}

constexpr uint32_t kMaxSampleLength = 1u << 20;  // keeps 22.10 positions inside 31 bits
constexpr uint32_t kMaxC2Spd = 1u << 19;         // Hz
constexpr uint32_t kMaxStep = 1u << 28;          // 22.10: far beyond any audible pitch
constexpr int kMaxPeriod = 0x7fff * 16;

enum { CmdA = 1, CmdB, CmdC, CmdD, CmdE, CmdF, CmdG, CmdH, CmdI, CmdJ, CmdK, CmdL, CmdM,
       CmdN, CmdO, CmdP, CmdQ, CmdR, CmdS, CmdT, CmdU, CmdV };

}  // namespace

ModulePlayer::ModulePlayer(const void* image, size_t size, int rate, int bits16, int stereo,
                           int interpolation)
    : rate_(std::clamp(rate, 1000, 192000)), bits16_(bits16 != 0), stereo_(stereo != 0),
      interpolation_(interpolation != 0)
{
    if (image && Load(static_cast<const uint8_t*>(image), size)) state = StateLoaded;
    else Unload();
}

bool ModulePlayer::Load(const uint8_t* p, size_t size)
{
    if (size < 96 || std::memcmp(p + 44, "SCRM", 4) != 0) return false;
    std::memcpy(songName, p, 28);
    orderCount = LoadLe16(p + 32);
    instrumentCount = LoadLe16(p + 34);
    patternCount = LoadLe16(p + 36);
    flags = LoadLe16(p + 38);
    trackerVersion = LoadLe16(p + 40);
    fileFormat = LoadLe16(p + 42);
    initialGlobalVolume = std::min<int>(p[48], 64);
    initialSpeed = p[49];
    initialTempo = p[50];
    masterVolume = p[51];
    defaultPan = p[53];
    special = LoadLe16(p + 62);
    // The tables lie in the file at their full sizes, but an order or cell can only name 256
    // orders, 255 instruments and 254 patterns: what lies beyond is never played.
    const size_t fileOrders = size_t(orderCount), fileInstruments = size_t(instrumentCount),
                 filePatterns = size_t(patternCount);
    orderCount = std::min(orderCount, 256);
    instrumentCount = std::min(instrumentCount, 255);
    patternCount = std::min(patternCount, 254);

    // Enabled channel settings map onto consecutive mixer channels, whatever gaps lie between.
    int channelMap[kMaxChannels];
    channelCount = 0;
    for (int i = 0; i < kMaxChannels; ++i) {
        uint8_t setting = p[64 + i];
        channelMap[i] = -1;
        if (setting < 16) {
            channelMap[i] = channelCount;
            channelPan[channelCount] = setting < 8 ? 3 : 13;
            ++channelCount;
        }
    }
    size_t at = 96;
    if (at + fileOrders + 2 * fileInstruments + 2 * filePatterns > size) return false;
    orders.assign(p + at, p + at + orderCount);
    at += fileOrders;
    const uint8_t* insPointers = p + at;
    at += 2 * fileInstruments;
    const uint8_t* patPointers = p + at;
    at += 2 * filePatterns;
    if (defaultPan == 252 && at + 32 <= size) {
        for (int i = 0; i < kMaxChannels; ++i)
            if (channelMap[i] >= 0 && (p[at + i] & 0x20)) channelPan[channelMap[i]] = p[at + i] & 15;
    }

    instruments.assign(size_t(instrumentCount), ModuleInstrument{});
    for (int i = 0; i < instrumentCount; ++i) {
        ModuleInstrument& ins = instruments[size_t(i)];
        size_t off = size_t(LoadLe16(insPointers + 2 * i)) * 16;
        if (off == 0 || off + 80 > size) continue;  // missing or cut off: plays nothing
        const uint8_t* h = p + off;
        ins.type = h[0];
        std::memcpy(ins.name, h + 48, 28);
        ins.volume = std::min<int>(h[28], 64) * 4;
        ins.flags = h[31];
        ins.c2spd = std::min(LoadLe32(h + 32), kMaxC2Spd) << 10;
        if (std::memcmp(h + 76, "SCRS", 4) != 0 || ins.type != 1) continue;
        size_t dataOff = ((size_t(h[13]) << 16) | LoadLe16(h + 14)) * 16;
        uint32_t length = LoadLe32(h + 16);
        const int width = (ins.flags & 4) ? 2 : 1;
        size_t available = dataOff < size ? (size - dataOff) / size_t(width) : 0;
        length = uint32_t(std::min<size_t>({length, available, kMaxSampleLength}));
        if (length == 0) continue;
        ins.length = length;
        ins.data.resize(length + 1);
        // Format 1 stores signed samples, format 2 unsigned; 16-bit samples keep their high byte.
        const int bias = fileFormat == 1 ? 0 : 128;
        for (uint32_t k = 0; k < length; ++k) {
            int v = p[dataOff + size_t(k) * width + (width - 1)];
            ins.data[k] = int8_t(uint8_t(v - bias));
        }
        ins.data[length] = ins.data[length - 1];
        if (ins.flags & 1) {
            uint32_t lb = LoadLe32(h + 20), le = std::min(LoadLe32(h + 24), length);
            if (lb < le) {
                ins.loopBegin = lb;
                ins.loopEnd = le;
            }
        }
    }

    patterns.assign(size_t(patternCount), std::vector<PatternCell>());
    for (int i = 0; i < patternCount; ++i) {
        auto& cells = patterns[size_t(i)];
        cells.assign(size_t(kRowsPerPattern) * size_t(std::max(channelCount, 1)), PatternCell{});
        size_t off = size_t(LoadLe16(patPointers + 2 * i)) * 16;
        if (off == 0 || off + 2 > size) continue;  // an empty pattern
        size_t end = std::min(size, off + 2 + LoadLe16(p + off));
        size_t q = off + 2;
        uint8_t lastInfo[kMaxChannels] = {};
        int row = 0;
        while (row < kRowsPerPattern && q < end) {
            uint8_t what = p[q++];
            if (what == 0) {
                ++row;
                continue;
            }
            int ch = what & 31;
            size_t need = ((what & 0x20) ? 2 : 0) + ((what & 0x40) ? 1 : 0) + ((what & 0x80) ? 2 : 0);
            if (q + need > end) break;
            PatternCell cell;
            if (what & 0x20) {
                uint8_t note = p[q], ins = p[q + 1];
                q += 2;
                if (note == 254) cell.note = 254;
                else if (note < 254 && (note & 15) < 12 && (note >> 4) < 10 && note != 0) cell.note = note;
                // 255 or an impossible note: no note; the instrument alone still counts.
                cell.instrument = ins;
            }
            if (what & 0x40) cell.volume = std::min<uint8_t>(p[q++], 64);
            if (what & 0x80) {
                cell.command = p[q];
                cell.info = p[q + 1];
                q += 2;
                if (cell.info == 0 && cell.command != CmdC) cell.info = lastInfo[ch];
                else lastInfo[ch] = cell.info;
            }
            if (channelMap[ch] >= 0) cells[size_t(row) * size_t(channelCount) + size_t(channelMap[ch])] = cell;
        }
    }

    channels_.assign(size_t(channelCount), Channel{});
    for (int i = 0; i < channelCount; ++i) channels_[size_t(i)].pan = channelPan[i];
    speed_ = (initialSpeed >= 1 && initialSpeed < 255) ? initialSpeed : 6;
    tempo_ = initialTempo >= 32 ? initialTempo : 125;
    globalVolume_ = initialGlobalVolume;
    orderPos_ = -1;  // the first row wraps into order 0
    row_ = kRowsPerPattern - 1;
    tickCountdown_ = 0;
    tickFramesLeft_ = 0;
    ended_ = false;
    return true;
}

void ModulePlayer::Unload()
{
    patterns.clear();
    patterns.shrink_to_fit();
    instruments.clear();
    instruments.shrink_to_fit();
    channels_.clear();
    ended_ = true;
}

// Enters the first playable order at or after `order`; false ends the song.
bool ModulePlayer::EnterOrder(int order)
{
    while (order >= 0 && order < orderCount && orders[size_t(order)] == 254) ++order;
    if (order < 0 || order >= orderCount || orders[size_t(order)] >= patternCount) {
        ended_ = true;
        return false;
    }
    orderPos_ = order;
    pattern_ = orders[size_t(order)];
    return true;
}

void ModulePlayer::NewRow()
{
    if (jumpOrder_ >= 0 || breakRow_ >= 0) {
        int order = jumpOrder_ >= 0 ? jumpOrder_ : orderPos_ + 1;
        int row = breakRow_ >= 0 ? breakRow_ : 0;
        jumpOrder_ = breakRow_ = -1;
        if (!EnterOrder(order)) return;
        row_ = row;
    } else {
        row_ = (row_ + 1) & 63;
        if (row_ == 0 && !EnterOrder(orderPos_ + 1)) return;
    }
    const auto& cells = patterns[size_t(pattern_)];
    for (int i = 0; i < channelCount; ++i)
        RowCell(channels_[size_t(i)], cells[size_t(row_) * size_t(channelCount) + size_t(i)]);
}

int ModulePlayer::SlideAmount(const Channel& c, int units) const
{
    // units x C2Spd / 8363 in internal periods, multiplied before dividing so that slides on
    // samples below 8363 Hz do not vanish.
    return int(int64_t(units) * kPeriodScale * int64_t(c.c2spd) / (1024 * 8363));
}

void ModulePlayer::RowCell(Channel& c, const PatternCell& cell)
{
    const int cmd = cell.command, info = cell.info, x = info >> 4, y = info & 15;
    c.volumeSlide = 0;
    c.periodSlide = 0;
    c.tonePorta = false;
    c.vibPrev = c.vibOn;
    c.vibOn = false;
    c.tremPrev = c.tremOn;
    c.tremOn = false;
    c.arpeggio = -1;
    c.noteCut = -1;
    if (c.period) c.period = c.basePeriod;  // vibrato and arpeggio offsets last one row

    if (cell.instrument && cell.instrument <= instrumentCount) {
        c.pendingInstrument = cell.instrument;
        // An instrument without a note resets the volume, as trackers do.
        c.volume = instruments[size_t(cell.instrument - 1)].volume;
    }
    if (cell.note == 254) {
        c.active = false;
    } else if (cell.note) {
        int period = (kNoteTable[cell.note & 15] * 4) >> (cell.note >> 4);
        bool porta = (cmd == CmdG || cmd == CmdL) && c.period > 0 && c.sample;
        if (c.pendingInstrument) {
            const ModuleInstrument& ins = instruments[size_t(c.pendingInstrument - 1)];
            c.volume = ins.volume;
            if (c.pendingInstrument != c.instrument || !c.sample) {
                c.instrument = c.pendingInstrument;
                c.sample = &ins;
                c.length = ins.length << 10;
                c.loopBegin = ins.loopBegin << 10;
                c.loopEnd = ins.loopEnd << 10;
                c.c2spd = ins.c2spd;
                if (!porta) c.position = 0;
            }
        }
        if (porta) {
            c.targetPeriod = period;
        } else if (c.sample) {
            c.period = c.basePeriod = period;
            c.position = 0;
            c.active = c.sample->length > 0;
        }
    }
    if (cell.volume != 255) c.volume = std::min<int>(cell.volume, 64) * 4;

    switch (cmd) {
    case CmdA:
        if (info >= 1 && info <= 31) speed_ = info;
        else if (info >= 32) tempo_ = info;
        break;
    case CmdB:
        jumpOrder_ = info;
        if (breakRow_ < 0) breakRow_ = 0;
        break;
    case CmdC: {
        int r = x * 10 + y;
        breakRow_ = r < kRowsPerPattern ? r : 0;
        break;
    }
    case CmdD:
    case CmdK:
    case CmdL:
        if (y == 0 && x) c.volumeSlide = 4 * x;
        else if (x == 0 && y) c.volumeSlide = -4 * y;
        else if (y == 15 && x) c.volume = std::min(256, c.volume + 4 * x);
        else if (x == 15 && y) c.volume = std::max(0, c.volume - 4 * y);
        if (cmd == CmdK) {
            c.vibOn = true;
            c.vibFine = false;  // K continues a plain vibrato whatever came before
        }
        if (cmd == CmdL) c.tonePorta = true;
        break;
    case CmdE:
    case CmdF: {
        int v = info ? info : c.lastSlide;
        c.lastSlide = v;
        int sign = cmd == CmdE ? 1 : -1;
        if (v >= 0xF0) c.basePeriod += sign * SlideAmount(c, v & 15);
        else if (v >= 0xE0) c.basePeriod += sign * SlideAmount(c, v & 15) / 4;
        else c.periodSlide = sign * SlideAmount(c, v);
        if (c.period) {
            c.basePeriod = std::clamp(c.basePeriod, 1, kMaxPeriod);
            c.period = c.basePeriod;
        } else {
            c.basePeriod = 0;
        }
        break;
    }
    case CmdG:
        if (info) c.portaSpeed = info;
        c.tonePorta = true;
        break;
    case CmdH:
    case CmdU:
        if (x) c.vibSpeed = x;
        if (y) c.vibDepth = y;
        c.vibFine = cmd == CmdU;
        c.vibOn = true;
        if (!c.vibPrev) c.vibPhase = 0;
        break;
    case CmdJ:
        c.arpeggio = info;
        break;
    case CmdO:
        if (c.sample && uint32_t(info) * 256 < c.sample->length && cell.note && cell.note != 254)
            c.position = uint32_t(info) * 256 << 10;
        break;
    case CmdR:
        if (x) c.tremSpeed = x;
        if (y) c.tremDepth = y;
        c.tremOn = true;
        if (!c.tremPrev) c.tremPhase = 0;
        break;
    case CmdS:
        if (x == 2) c.c2spd = uint32_t(kFineTune[y]) << 10;
        else if (x == 3) c.vibWave = y & 3;
        else if (x == 4) c.tremWave = y & 3;
        else if (x == 0xC) c.noteCut = y + 1;
        break;
    case CmdT:
        if (info >= 32) tempo_ = info;
        break;
    case CmdV:
        globalVolume_ = std::min(info, 64);
        break;
    default:
        break;
    }
}

void ModulePlayer::TickChannel(Channel& c)
{
    const bool first = tick_ == 0;
    if (!first && c.volumeSlide) c.volume = std::clamp(c.volume + c.volumeSlide, 0, 256);
    if (c.noteCut > 0 && --c.noteCut == 0) c.volume = 0;
    int volume = c.volume;
    if (c.period) {
        // Modulation uses the phase the tick starts with; the phase moves on after every tick
        // but a row's first. The depths are those trackers use: a tremolo of depth d swings
        // the volume by 2d of 64, a vibrato the period by 2d classic units (d / 2 when fine).
        if (c.tremOn) {
            volume = std::clamp(volume + c.tremDepth * 8 * Wave(c.tremWave, c.tremPhase) / 127, 0, 256);
            if (!first) c.tremPhase = (c.tremPhase + c.tremSpeed) & 63;
        }
        if (c.tonePorta && !first && c.targetPeriod) {
            int speed = SlideAmount(c, c.portaSpeed);
            if (c.basePeriod < c.targetPeriod) c.basePeriod = std::min(c.basePeriod + speed, c.targetPeriod);
            else c.basePeriod = std::max(c.basePeriod - speed, c.targetPeriod);
        }
        if (!first && c.periodSlide) c.basePeriod = std::clamp(c.basePeriod + c.periodSlide, 1, kMaxPeriod);
        int period = c.basePeriod;
        if (c.vibOn) {
            int delta = c.vibDepth * Wave(c.vibWave, c.vibPhase) * kPeriodScale * 2 / 127;
            period += c.vibFine ? delta / 4 : delta;
            if (!first) c.vibPhase = (c.vibPhase + c.vibSpeed) & 63;
        }
        if (c.arpeggio >= 0) {
            int n = tick_ % 3 == 1 ? (c.arpeggio >> 4) : tick_ % 3 == 2 ? (c.arpeggio & 15) : 0;
            period = int(int64_t(period) * SemitoneFactor(n) >> 16);
        }
        c.period = std::clamp(period, 1, kMaxPeriod);
        uint64_t step = uint64_t(c.c2spd) * kReferencePeriod / (uint64_t(c.period) * uint64_t(rate_));
        c.step = uint32_t(std::min<uint64_t>(step, kMaxStep));
    }
    c.effectiveVolume = volume * globalVolume_ / std::max<int>(option, 1);
    // Pan 0..15 divides the volume between the sides; together they keep the volume's level.
    c.leftVolume = c.effectiveVolume * (15 - c.pan) * 8 / 15;
    c.rightVolume = c.effectiveVolume * c.pan * 8 / 15;
}

void ModulePlayer::ProcessTick()
{
    if (state < StateLoaded || ended_) return;
    if (tickCountdown_ <= 0) {
        tick_ = 0;
        NewRow();
        if (ended_) return;
        tickCountdown_ = speed_;
    } else {
        ++tick_;
    }
    --tickCountdown_;
    for (auto& c : channels_) TickChannel(c);
    // A tick lasts rate x 5 / (tempo x 2) frames, the fraction dropped as trackers do.
    tickFramesLeft_ = std::max(1, rate_ * 5 / (tempo_ * 2));
}

void ModulePlayer::MixChunk(int32_t* acc, int frames, uint8_t** levels, int levelOffset)
{
    const int outChannels = stereo_ ? 2 : 1;
    for (int ci = 0; ci < channelCount; ++ci) {
        Channel& c = channels_[size_t(ci)];
        uint8_t* level = levels ? levels[ci] : nullptr;
        if (!c.active || !c.sample || !c.period || c.length == 0) {
            if (level)
                for (int i = 0; i < frames && levelOffset + i < rate_; ++i) level[levelOffset + i] = 0;
            continue;
        }
        const int8_t* data = c.sample->data.data();
        const int lv = c.leftVolume, rv = c.rightVolume, mv = (lv + rv) / 2;
        for (int i = 0; i < frames; ++i) {
            if (!c.active) {
                if (level && levelOffset + i < rate_) level[levelOffset + i] = 0;
                continue;
            }
            // Checked before reading: a porta onto a shorter sample may leave the position
            // beyond its end.
            if (c.loopEnd && c.position >= c.loopEnd) {
                c.position = c.loopBegin + (c.position - c.loopBegin) % (c.loopEnd - c.loopBegin);
            } else if (c.position >= c.length) {
                c.active = false;
                if (level && levelOffset + i < rate_) level[levelOffset + i] = 0;
                continue;
            }
            uint32_t idx = c.position >> 10;
            int s = data[idx];
            if (interpolation_) {
                int b = data[idx + 1];
                s = s + ((int(c.position & 0x3FF) * (b - s)) >> 10);
            }
            int32_t* f = acc + size_t(i) * outChannels;
            int contribution;
            if (stereo_) {
                int l = (s * lv) >> 6, r = (s * rv) >> 6;
                f[0] += l;
                f[1] += r;
                contribution = std::abs(l) + std::abs(r);
            } else {
                int m = (s * mv) >> 6;
                f[0] += m;
                contribution = 2 * std::abs(m);
            }
            if (level && levelOffset + i < rate_) level[levelOffset + i] = uint8_t(std::min(255, contribution >> 5));
            c.position += c.step;
        }
    }
}

int ModulePlayer::Render(void* out, int bytes, uint8_t** levels)
{
    const int frameBytes = (stereo_ ? 2 : 1) * (bits16_ ? 2 : 1);
    if (!out || bytes <= 0) return 0;
    const int frames = bytes / frameBytes;
    std::memset(out, bits16_ ? 0 : 0x80, size_t(bytes));
    if (state < StateLoaded) return 0;
    const int outChannels = stereo_ ? 2 : 1;
    int done = 0;
    while (done < frames && !ended_) {
        if (tickFramesLeft_ <= 0) {
            ProcessTick();
            if (ended_) break;
        }
        int chunk = std::min(tickFramesLeft_, frames - done);
        accum_.assign(size_t(chunk) * outChannels, 0);
        MixChunk(accum_.data(), chunk, levels, done);
        const size_t n = size_t(chunk) * outChannels;
        if (bits16_) {
            int16_t* o = static_cast<int16_t*>(out) + size_t(done) * outChannels;
            for (size_t i = 0; i < n; ++i) o[i] = int16_t(std::clamp(accum_[i], -32768, 32767));
        } else {
            uint8_t* o = static_cast<uint8_t*>(out) + size_t(done) * outChannels;
            for (size_t i = 0; i < n; ++i) o[i] = uint8_t(std::clamp(accum_[i] >> 8, -128, 127) + 128);
        }
        tickFramesLeft_ -= chunk;
        done += chunk;
    }
    return done;
}
