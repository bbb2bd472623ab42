// The six music modules, composed here: a drum kit, bass, arpeggiated chords, a lead melody
// built from motifs over a chord progression, and an echo of the lead; each song loops back
// to its first section with a jump.
#include "skerrow/data/GenCommon.h"
#include "skerrow/data/S3mWriter.h"

#include <algorithm>
#include <stdexcept>

namespace gen {
namespace {

constexpr double kTau = 6.283185307179586;
constexpr uint32_t kC2Spd = 16744;  // one 64-sample cycle at C-4 is middle C

enum Inst { kKick = 1, kSnare, kHat, kBass, kLead, kPad, kBell };
enum Chan { chKick, chSnare, chHat, chBass, chArp, chLead, chEcho, chPad, kChannels };

int8_t Clip(double v) { return int8_t(std::lround(std::clamp(v, -1.0, 1.0) * 127)); }

// Samples use the whole 8-bit range: the player's mix is quiet otherwise.
void Normalise(S3mSample& s) {
    int peak = 1;
    for (int8_t v : s.data) peak = std::max(peak, std::abs(int(v)));
    for (int8_t& v : s.data) v = int8_t(std::clamp(int(std::lround(v * 127.0 / peak)), -127, 127));
}

S3mSample Cycle(const std::string& name, int wave, uint8_t volume) {
    // 16 identical cycles so the loop stays long enough for the mixer.
    S3mSample s;
    s.name = name;
    s.c2spd = kC2Spd;
    s.volume = volume;
    for (int k = 0; k < 16 * 64; ++k) {
        const double p = (k % 64) / 64.0;
        double v = 0;
        switch (wave) {
            case 0: for (int h = 1; h <= 9; ++h) v += std::sin(kTau * h * p) / h * 0.55; break;          // saw-like
            case 1: v = (p < 0.3 ? 0.55 : -0.55) * 0.9 + 0.1 * std::sin(kTau * p); break;                // pulse
            default: v = 0.6 * std::sin(kTau * p) + 0.2 * std::sin(kTau * 2 * p) + 0.1 * std::sin(kTau * 3 * p); break;
        }
        s.data.push_back(Clip(v));
    }
    s.loop = true;
    s.loopBegin = 0;
    s.loopEnd = uint32_t(s.data.size());
    Normalise(s);
    return s;
}

S3mSample Drum(const std::string& name, int kind) {
    S3mSample s;
    s.name = name;
    s.c2spd = kC2Spd;
    Rng rng(uint32_t(kind + 11));
    const int n = kind == 0 ? 5000 : kind == 1 ? 4200 : 1400;
    double phase = 0, y = 0, prev = 0;
    for (int i = 0; i < n; ++i) {
        const double t = double(i) / kC2Spd;
        double v = 0;
        if (kind == 0) {
            phase += (45 + 110 * std::exp(-t * 30)) / kC2Spd;
            v = std::sin(kTau * phase) * std::exp(-t * 9) + (i < 40 ? rng.Signed() * 0.3 : 0);
        } else if (kind == 1) {
            phase += 190.0 / kC2Spd;
            y += (rng.Signed() - y) * 0.6;
            v = 0.45 * std::sin(kTau * phase) * std::exp(-t * 25) + 0.8 * y * std::exp(-t * 14);
        } else {
            const double r = rng.Signed();
            v = (r - prev) * 0.6 * std::exp(-t * 45);
            prev = r;
        }
        s.data.push_back(Clip(v));
    }
    Normalise(s);
    return s;
}

S3mSample Bell() {
    S3mSample s;
    s.name = "bell";
    s.c2spd = kC2Spd;
    const int n = 14000;
    for (int i = 0; i < n; ++i) {
        const double t = double(i) / kC2Spd, p = i / 64.0;
        const double v = 0.6 * std::sin(kTau * p) * std::exp(-t * 2.5) + 0.25 * std::sin(kTau * p * 2.76) * std::exp(-t * 5) +
                         0.15 * std::sin(kTau * p * 5.4) * std::exp(-t * 9);
        s.data.push_back(Clip(v));
    }
    Normalise(s);
    return s;
}

struct Style {
    const char* file;
    const char* title;
    int root;          // semitone of the key (0 = C)
    bool minor;
    int tempo;
    int chords[2][4];  // scale degrees (0-based) of the two progressions
    int kickPattern;   // 0 four on the floor, 1 broken, 2 half time
    int bassPattern;
    bool bellLead;
    int leadWave;      // 0 saw, 1 pulse, 2 soft
    uint32_t seed;
    int sections[10];  // 0 intro, 1 A, 2 B, 3 breakdown; -1 ends
};

const Style kStyles[] = {
    {"fl1.s3m", "Ombrelit QRN - first flight", 9, true, 136, {{0, 5, 2, 6}, {3, 4, 0, 0}}, 0, 0, false, 1, 101, {0, 1, 1, 2, 1, 3, 2, 1, -1}},
    {"fl2.s3m", "Ombrelit QRN - drift", 2, true, 128, {{0, 3, 6, 2}, {5, 6, 4, 4}}, 1, 1, false, 0, 202, {0, 1, 2, 1, 3, 2, 2, 1, -1}},
    {"fl3.s3m", "Ombrelit QRN - launch", 4, true, 142, {{0, 6, 5, 6}, {3, 5, 4, 4}}, 0, 2, false, 1, 303, {0, 1, 1, 2, 2, 1, 3, 1, -1}},
    {"fl4.s3m", "Ombrelit QRN - blue orbit", 0, false, 124, {{0, 4, 5, 3}, {3, 4, 1, 4}}, 1, 0, false, 2, 404, {0, 1, 2, 1, 2, 3, 1, -1}},
    {"arc_z.s3m", "Ombrelit QRN - star map", 5, true, 108, {{0, 5, 3, 4}, {5, 6, 0, 4}}, 2, 1, true, 2, 505, {0, 1, 2, 1, 3, 2, -1}},
    {"arc3.s3m", "Ombrelit QRN - homecoming", 7, false, 100, {{0, 5, 3, 4}, {3, 4, 0, 0}}, 2, 2, true, 2, 606, {0, 1, 2, 1, 2, 1, -1}},
};

int ScaleNote(const Style& st, int degree) {
    static const int kMinor[] = {0, 2, 3, 5, 7, 8, 10}, kMajor[] = {0, 2, 4, 5, 7, 9, 11};
    const int oct = degree >= 0 ? degree / 7 : -((-degree + 6) / 7);
    const int d = degree - oct * 7;
    return st.root + oct * 12 + (st.minor ? kMinor[d] : kMajor[d]);
}

uint8_t NoteByte(int semitonesFromC0) {
    const int n = std::clamp(semitonesFromC0, 0, 9 * 12 + 11);
    return S3mNote(n / 12, n % 12);
}

void Put(S3mPattern& p, int row, int ch, uint8_t note, uint8_t inst, uint8_t vol, char cmd = 0, uint8_t info = 0) {
    S3mCell& c = p.At(row, ch);
    c.note = note;
    c.inst = inst;
    c.vol = vol;
    if (cmd) {
        c.cmd = S3mCommand(cmd);
        c.info = info;
    }
}

// A bar's melody: a rhythm (onsets on 16 steps) and a contour (scale steps between
// notes). Each bar starts on the chord tone nearest to where the last bar ended; notes on
// the beat snap to the chord, the others pass between: the tune repeats its shape but
// follows the harmony.
struct Motif {
    std::vector<int> steps;
    std::vector<int> moves;
};

Motif MakeMotif(Rng& rng) {
    static const char* const kRhythms[] = {"x.x.x...x.x.x...", "x..x..x.x...x...", "x...x.x.x.x.x...",
                                           "x.xxx...x...x.x.", "x.....x.x.x.x...", "x..x..x...x.xx..",
                                           "x.x.x.x.x...x...", "x..x..x.x.x.x..."};
    static const int kMoves[] = {1, 1, 1, -1, -1, -1, 2, -2, 3, -3, 0};
    Motif m;
    const std::string r = kRhythms[rng.Below(int(std::size(kRhythms)))];
    for (int i = 0; i < 16; ++i)
        if (r[i] == 'x') {
            m.steps.push_back(i);
            m.moves.push_back(m.moves.empty() ? 0 : kMoves[rng.Below(int(std::size(kMoves)))]);
        }
    return m;
}

int NearestChordTone(int degree, int chord) {
    int best = chord, bestDist = 99;
    for (int oct = -1; oct <= 2; ++oct)
        for (int t : {0, 2, 4}) {
            const int d = chord + t + oct * 7;
            if (std::abs(d - degree) < bestDist) {
                bestDist = std::abs(d - degree);
                best = d;
            }
        }
    return best;
}

S3mPattern MakePattern(const Style& st, int section, int variation, const Motif motifs[2]) {
    S3mPattern p(kChannels);
    const int prog = section == 2 ? 1 : 0;
    const bool drums = section != 3;
    const bool lead = section == 1 || section == 2;
    int melody = 4;  // where the tune stands, in scale degrees
    // Looping instruments ring until stopped: silence what this section leaves unused.
    if (!lead) p.At(0, chEcho).note = 254;
    if (section == 0) {
        p.At(0, chLead).note = 254;
        p.At(0, chPad).note = 254;
    }
    for (int bar = 0; bar < 4; ++bar) {
        const int base = bar * 16;
        const int chordDeg = st.chords[prog][bar];
        const int chordRoot = ScaleNote(st, chordDeg);
        const int third = ScaleNote(st, chordDeg + 2) - chordRoot, fifth = ScaleNote(st, chordDeg + 4) - chordRoot;

        // Drums.
        if (drums) {
            for (int s = 0; s < 16; ++s) {
                const int row = base + s;
                const bool kick = st.kickPattern == 0 ? s % 4 == 0
                                  : st.kickPattern == 1 ? (s == 0 || s == 6 || s == 10)
                                                        : (s == 0 || (s == 10 && bar % 2));
                if (kick) Put(p, row, chKick, NoteByte(48), kKick, 64);
                const bool snare = st.kickPattern == 2 ? s == 8 : (s == 4 || s == 12);
                if (snare && section != 0) Put(p, row, chSnare, NoteByte(48), kSnare, 48);
                if (section == 0 && bar == 3 && s >= 8 && s % 2 == 0) Put(p, row, chSnare, NoteByte(48), kSnare, uint8_t(24 + s * 2));
                if (s % 2 == 0 || (st.kickPattern == 0 && section == 1)) Put(p, row, chHat, NoteByte(60), kHat, s % 4 == 2 ? 30 : 18);
            }
        }
        // Bass: eighth notes around the chord root, octave 2.
        static const int kBassLines[3][8] = {{0, 0, 12, 0, 0, 12, 0, 7}, {0, -1, 0, 7, 0, -1, 12, 7}, {0, 0, 0, 0, 7, 7, 12, 12}};
        for (int e = 0; e < 8; ++e) {
            const int off = kBassLines[st.bassPattern][e];
            if (off < 0) continue;
            if (section == 3 && e % 4) continue;
            Put(p, base + e * 2, chBass, NoteByte(24 + chordRoot + off), kBass, section == 3 ? 36 : 44);
        }
        // Chords: an arpeggio held over the bar, and a soft pad an octave lower.
        Put(p, base, chArp, NoteByte(48 + chordRoot), kLead, section == 0 ? 14 : 20, 'J', uint8_t((third << 4) | fifth));
        for (int s = 1; s < 16; ++s) {
            S3mCell& c = p.At(base + s, chArp);
            c.cmd = S3mCommand('J');
            c.info = uint8_t((third << 4) | fifth);
        }
        if (section != 0) {
            Put(p, base, chPad, NoteByte(36 + chordRoot + third), kPad, section == 3 ? 40 : 26);
        }
        // Lead: the section's motif, moved onto the chord; the last bar resolves.
        if (lead) {
            const Motif& m = motifs[section == 2 ? 1 : 0];
            int deg = NearestChordTone(melody, chordDeg);
            for (size_t k = 0; k < m.steps.size(); ++k) {
                if (k > 0) deg += m.moves[k] * ((variation && bar >= 2) ? -1 : 1);
                if (m.steps[k] % 4 == 0) deg = NearestChordTone(deg, chordDeg);
                deg = std::clamp(deg, -3, 10);
                if (bar == 3 && k + 1 == m.steps.size()) deg = NearestChordTone(deg, 0);
                const int note = 48 + ScaleNote(st, deg);
                const int row = base + m.steps[k];
                const bool longNote = k + 1 == m.steps.size() || m.steps[k + 1] - m.steps[k] >= 3;
                Put(p, row, chLead, NoteByte(note), st.bellLead ? kBell : kLead, 48, longNote ? 'H' : 0, 0x34);
                const int echoRow = row + 3;
                if (echoRow < 64)
                    Put(p, echoRow, chEcho, NoteByte(note + 12), st.bellLead ? kBell : kLead, 14);
            }
            melody = deg;
        } else if (section == 3) {
            for (int s = 0; s < 16; s += 4) {
                const int deg = st.chords[prog][bar] + (s / 4) * 2;
                Put(p, base + s, chLead, NoteByte(72 + ScaleNote(st, deg)), kBell, 28);
            }
        }
    }
    return p;
}

std::vector<uint8_t> Compose(const Style& st) {
    Rng rng(st.seed);
    S3mSong song;
    song.name = st.title;
    song.speed = 6;
    song.tempo = st.tempo;
    song.pans = {7, 8, 10, 7, 4, 11, 3, 12};
    song.samples = {Drum("kick", 0), Drum("snare", 1), Drum("hat", 2), Cycle("bass", 0, 64),
                    Cycle("lead", st.leadWave, 64), Cycle("pad", 2, 64), Bell()};
    Motif motifs[2] = {MakeMotif(rng), MakeMotif(rng)};
    // One pattern per section kind, plus a varied A; the order list walks the sections.
    const int kinds = 4;
    for (int k = 0; k < kinds; ++k) song.patterns.push_back(MakePattern(st, k, 0, motifs));
    song.patterns.push_back(MakePattern(st, 1, 1, motifs));
    int count = 0, aSeen = 0;
    for (int i = 0; i < 10 && st.sections[i] >= 0; ++i) {
        int pat = st.sections[i];
        if (pat == 1 && aSeen++ % 2 == 1) pat = 4;
        song.orders.push_back(uint8_t(pat));
        ++count;
    }
    // The last order's pattern jumps back to the second order at its final row: the music
    // loops for as long as a screen plays it. The jump lives in a copy so other orders of
    // that pattern play through.
    S3mPattern last = song.patterns[song.orders.back()];
    S3mCell& jump = last.At(63, chKick);
    jump.cmd = S3mCommand('B');
    jump.info = 1;
    song.patterns.push_back(last);
    song.orders.back() = uint8_t(song.patterns.size() - 1);
    std::string error;
    std::vector<uint8_t> bytes = WriteS3m(song, &error);
    if (bytes.empty()) throw std::runtime_error(std::string("module ") + st.file + ": " + error);
    return bytes;
}

}  // namespace

void MakeMusic(DataSet& ds) {
    for (const Style& st : kStyles) ds.Add(st.file, Compose(st));
}

}  // namespace gen
