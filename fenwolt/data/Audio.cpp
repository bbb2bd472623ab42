#include "fenwolt/data/Audio.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <stdexcept>

#include "fenwolt/data/Image.h"

namespace fwdata {

namespace {
constexpr float kPi = 3.14159265358979f;
constexpr float kRate = float(kSampleRate);

using Buffer = std::vector<float>;

Buffer Silence(float seconds) { return Buffer(size_t(seconds * kRate), 0.0f); }

Buffer WhiteNoise(float seconds, uint32_t seed) {
    Rng r(seed);
    Buffer b(size_t(seconds * kRate));
    for (auto& s : b) s = r.Unit() * 2.0f - 1.0f;
    return b;
}

// RBJ biquad band-pass (constant peak gain).
struct Biquad {
    float b0, b1, b2, a1, a2, x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    static Biquad BandPass(float freq, float q) {
        float w = 2 * kPi * freq / kRate, alpha = std::sin(w) / (2 * q), a0 = 1 + alpha;
        return {alpha / a0, 0, -alpha / a0, -2 * std::cos(w) / a0, (1 - alpha) / a0};
    }
    static Biquad LowPass(float freq, float q) {
        float w = 2 * kPi * freq / kRate, alpha = std::sin(w) / (2 * q), c = std::cos(w), a0 = 1 + alpha;
        return {(1 - c) / 2 / a0, (1 - c) / a0, (1 - c) / 2 / a0, -2 * c / a0, (1 - alpha) / a0};
    }
    static Biquad HighPass(float freq, float q) {
        float w = 2 * kPi * freq / kRate, alpha = std::sin(w) / (2 * q), c = std::cos(w), a0 = 1 + alpha;
        return {(1 + c) / 2 / a0, -(1 + c) / a0, (1 + c) / 2 / a0, -2 * c / a0, (1 - alpha) / a0};
    }
    float Run(float x) {
        float y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1; x1 = x; y2 = y1; y1 = y;
        return y;
    }
};

Buffer Filter(const Buffer& in, Biquad f) {
    Buffer out(in.size());
    for (size_t i = 0; i < in.size(); ++i) out[i] = f.Run(in[i]);
    return out;
}

void MixInto(Buffer& dst, const Buffer& src, float gain, float at = 0.0f) {
    size_t off = size_t(at * kRate);
    if (dst.size() < off + src.size()) dst.resize(off + src.size(), 0.0f);
    for (size_t i = 0; i < src.size(); ++i) dst[off + i] += src[i] * gain;
}

// Attack, hold, exponential release.
float Envelope(float t, float attack, float hold, float release) {
    if (t < attack) return t / attack;
    if (t < attack + hold) return 1.0f;
    return std::exp(-(t - attack - hold) / release);
}

void Normalize(Buffer& b, float peak) {
    float m = 0;
    for (float s : b) m = std::max(m, std::fabs(s));
    if (m > 0)
        for (float& s : b) s *= peak / m;
}

// A referee's pea whistle: a bright tone warbled by the pea, with breath noise.
Buffer Whistle(float seconds, uint32_t seed) {
    Buffer b(size_t(seconds * kRate));
    Rng r(seed);
    float phase = 0;
    Biquad breath = Biquad::BandPass(3100, 3);
    for (size_t i = 0; i < b.size(); ++i) {
        float t = float(i) / kRate;
        float trill = std::sin(2 * kPi * 38.0f * t);
        float f = 2950.0f + 140.0f * trill + 60.0f * std::sin(2 * kPi * 5.0f * t);
        phase += 2 * kPi * f / kRate;
        float tone = std::sin(phase) + 0.25f * std::sin(2 * phase) + 0.08f * std::sin(3 * phase);
        float am = 0.75f + 0.25f * trill;
        float env = std::min(1.0f, t / 0.015f) * std::min(1.0f, (seconds - t) / 0.05f);
        b[i] = (tone * am * 0.8f + breath.Run(r.Unit() * 2 - 1) * 0.5f) * env;
    }
    return b;
}

// A ball being struck: a falling low thump and a short slap of leather.
Buffer Thump(float f0, float f1, float length, float slap, float slapFreq, uint32_t seed) {
    Buffer b(size_t(length * kRate));
    Rng r(seed);
    Biquad slapF = Biquad::BandPass(slapFreq, 1.2f);
    float phase = 0;
    for (size_t i = 0; i < b.size(); ++i) {
        float t = float(i) / kRate;
        float f = f1 + (f0 - f1) * std::exp(-t / 0.03f);
        phase += 2 * kPi * f / kRate;
        float body = std::sin(phase) * Envelope(t, 0.002f, 0.01f, 0.06f);
        float click = slapF.Run(r.Unit() * 2 - 1) * Envelope(t, 0.0005f, 0.003f, 0.012f) * slap;
        b[i] = body + click;
    }
    return b;
}

// One voice of a crowd: a buzzy tone through two vowel formants, gliding in pitch.
Buffer Voice(float seconds, float f0, float f1, float formant1, float formant2, float attack, float release,
             uint32_t seed) {
    Buffer raw(size_t(seconds * kRate));
    Rng r(seed);
    float phase = 0, vib = r.Range(4.5f, 6.5f);
    for (size_t i = 0; i < raw.size(); ++i) {
        float t = float(i) / kRate, k = t / seconds;
        float f = (f0 + (f1 - f0) * std::sin(k * kPi * 0.5f)) * (1 + 0.012f * std::sin(2 * kPi * vib * t));
        phase += f / kRate;
        phase -= std::floor(phase);
        float saw = 2 * phase - 1 + (r.Unit() - 0.5f) * 0.3f;
        raw[i] = saw * Envelope(t, attack, seconds - attack - release * 2, release);
    }
    Buffer a = Filter(raw, Biquad::BandPass(formant1, 4)), b = Filter(raw, Biquad::BandPass(formant2, 5));
    for (size_t i = 0; i < a.size(); ++i) a[i] = a[i] + 0.6f * b[i];
    return a;
}

Buffer CrowdVoices(float seconds, int count, float lo, float hi, float glide, float f1, float f2, float spread,
                   uint32_t seed) {
    Buffer out = Silence(seconds + spread);
    Rng r(seed);
    for (int v = 0; v < count; ++v) {
        float f0 = r.Range(lo, hi), len = seconds * r.Range(0.7f, 1.0f);
        MixInto(out, Voice(len, f0, f0 * glide, f1 * r.Range(0.9f, 1.1f), f2 * r.Range(0.9f, 1.1f), len * 0.2f,
                           len * 0.25f, seed + uint32_t(v) * 31u),
                1.0f, r.Range(0, spread));
    }
    return out;
}

Buffer Murmur(float seconds, uint32_t seed) {
    Buffer n = WhiteNoise(seconds, seed);
    Buffer a = Filter(n, Biquad::BandPass(450, 0.8f)), b = Filter(n, Biquad::BandPass(1400, 1.2f));
    Rng r(seed + 5);
    float target = 0.7f, level = 0.7f;
    for (size_t i = 0; i < n.size(); ++i) {
        if (i % 2205 == 0) target = r.Range(0.55f, 1.0f);
        level += (target - level) * 0.0004f;
        n[i] = (a[i] + 0.5f * b[i]) * level;
    }
    return n;
}

// The loop crossfades its tail into its head, so the last sample leads into the first.
Buffer CrowdLoop(uint32_t seed) {
    const float seconds = 6.0f, fade = 0.75f;
    Buffer b = Murmur(seconds + fade, seed);
    MixInto(b, CrowdVoices(1.2f, 6, 180, 320, 1.2f, 600, 1100, 4.5f, seed + 1), 0.12f, 0.3f);
    MixInto(b, CrowdVoices(0.9f, 4, 250, 400, 1.3f, 700, 1300, 4.0f, seed + 2), 0.1f, 1.5f);
    b.resize(size_t((seconds + fade) * kRate), 0.0f);
    const size_t n = size_t(seconds * kRate), f = size_t(fade * kRate);
    Buffer out(n);
    for (size_t i = 0; i < n; ++i) out[i] = b[i];
    for (size_t i = 0; i < f; ++i) {
        float w = float(i) / float(f);
        out[i] = b[i] * w + b[n + i] * (1 - w);
    }
    return out;
}

Buffer Clang(uint32_t seed) {
    Buffer b = Thump(160, 80, 1.2f, 0.8f, 2500, seed);
    const float partials[][3] = {{523, 1.0f, 0.5f}, {1437, 0.6f, 0.35f}, {2213, 0.45f, 0.25f}, {3371, 0.3f, 0.15f},
                                 {4790, 0.2f, 0.08f}};
    for (size_t i = 0; i < b.size(); ++i) {
        float t = float(i) / kRate, s = 0;
        for (const auto& p : partials) s += std::sin(2 * kPi * p[0] * t) * p[1] * std::exp(-t / p[2]);
        b[i] = b[i] * 0.8f + s * 0.5f * std::min(1.0f, t / 0.001f);
    }
    return b;
}

std::vector<int16_t> ToPcm(Buffer b, float peak) {
    Normalize(b, peak);
    std::vector<int16_t> out(b.size());
    for (size_t i = 0; i < b.size(); ++i)
        out[i] = int16_t(std::lround(std::clamp(b[i], -1.0f, 1.0f) * 32767.0f));
    return out;
}

// ------------------------------------------------------------------ MIDI
struct MidiEvent {
    uint32_t tick;
    int order;   // note-offs before note-ons at the same tick
    std::vector<unsigned char> data;
};

class Track {
public:
    void Note(uint32_t tick, uint32_t len, int ch, int note, int vel) {
        note = std::clamp(note, 0, 127);
        ev_.push_back({tick, 1, {uint8_t(0x90 | ch), uint8_t(note), uint8_t(std::clamp(vel, 1, 127))}});
        ev_.push_back({tick + std::max(1u, len), 0, {uint8_t(0x80 | ch), uint8_t(note), 0}});
    }
    void Program(uint32_t tick, int ch, int prog) { ev_.push_back({tick, 0, {uint8_t(0xC0 | ch), uint8_t(prog)}}); }
    void Control(uint32_t tick, int ch, int cc, int v) {
        ev_.push_back({tick, 0, {uint8_t(0xB0 | ch), uint8_t(cc), uint8_t(v)}});
    }
    void Meta(uint32_t tick, int type, std::vector<unsigned char> d) {
        std::vector<unsigned char> e = {0xFF, uint8_t(type), uint8_t(d.size())};
        e.insert(e.end(), d.begin(), d.end());
        ev_.push_back({tick, 0, e});
    }
    std::vector<unsigned char> Encode() const {
        auto ev = ev_;
        std::stable_sort(ev.begin(), ev.end(), [](const MidiEvent& a, const MidiEvent& b) {
            return a.tick != b.tick ? a.tick < b.tick : a.order < b.order;
        });
        std::vector<unsigned char> body;
        uint32_t last = 0;
        auto vlq = [&body](uint32_t v) {
            unsigned char buf[5];
            int n = 0;
            buf[n++] = uint8_t(v & 0x7F);
            while (v >>= 7) buf[n++] = uint8_t(0x80 | (v & 0x7F));
            while (n) body.push_back(buf[--n]);
        };
        for (const auto& e : ev) {
            vlq(e.tick - last);
            last = e.tick;
            body.insert(body.end(), e.data.begin(), e.data.end());
        }
        vlq(0);
        body.insert(body.end(), {0xFF, 0x2F, 0x00});
        std::vector<unsigned char> out = {'M', 'T', 'r', 'k'};
        uint32_t n = uint32_t(body.size());
        for (int i = 3; i >= 0; --i) out.push_back(uint8_t(n >> (8 * i)));
        out.insert(out.end(), body.begin(), body.end());
        return out;
    }

private:
    std::vector<MidiEvent> ev_;
};

constexpr uint32_t kQ = 480;   // ticks per quarter note

struct Style {
    const char* file;
    int tempo;                      // beats per minute written into the file
    int key;                        // MIDI note of the tonic (around middle C)
    std::vector<int> progression;   // scale degrees 0..6, one chord per bar
    int bars;
    int leadProgram, padProgram, bassProgram, compProgram;
    bool drive;                     // busier drums and comping
    uint32_t seed;
};

const int kMajor[7] = {0, 2, 4, 5, 7, 9, 11};

int ScaleNote(int key, int degree) {   // degree may run beyond 0..6
    int oct = degree >= 0 ? degree / 7 : -((6 - degree) / 7);
    int d = degree - oct * 7;
    return key + oct * 12 + kMajor[d];
}

std::vector<unsigned char> Compose(const Style& st) {
    Rng r(st.seed);
    Track meta, lead, pad, bass, comp, drums;
    uint32_t usPerQuarter = uint32_t(60000000 / st.tempo);
    meta.Meta(0, 0x51, {uint8_t(usPerQuarter >> 16), uint8_t(usPerQuarter >> 8), uint8_t(usPerQuarter)});
    meta.Meta(0, 0x58, {4, 2, 24, 8});
    lead.Program(0, 0, st.leadProgram);
    pad.Program(0, 1, st.padProgram);
    bass.Program(0, 2, st.bassProgram);
    comp.Program(0, 3, st.compProgram);
    lead.Control(0, 0, 7, 112);
    pad.Control(0, 1, 7, 80);
    bass.Control(0, 2, 7, 105);
    comp.Control(0, 3, 7, 78);
    pad.Control(0, 1, 91, 60);
    lead.Control(0, 0, 91, 40);
    const uint32_t bar = kQ * 4;
    // two melodic motifs (rhythm + contour), reused so the tune has phrases a listener can follow
    struct Motif { std::vector<uint32_t> on; std::vector<uint32_t> len; std::vector<int> step; };
    auto makeMotif = [&r](int variant) {
        Motif m;
        static const uint32_t rhythms[3][8] = {{0, 2, 4, 6, 8, 12, 0, 0}, {0, 3, 4, 6, 8, 10, 12, 0},
                                               {0, 2, 3, 4, 8, 11, 12, 14}};
        static const int counts[3] = {6, 7, 8};
        int k = variant % 3;
        for (int i = 0; i < counts[k]; ++i) {
            m.on.push_back(rhythms[k][i] * (kQ / 4));
            uint32_t next = i + 1 < counts[k] ? rhythms[k][i + 1] : 16;
            m.len.push_back((next - rhythms[k][i]) * (kQ / 4));
            m.step.push_back(r.Below(5) - 2);
        }
        return m;
    };
    Motif motifs[2] = {makeMotif(int(st.seed)), makeMotif(int(st.seed) + 1)};
    int melodyDegree = 7;   // one octave above the tonic
    for (int b = 0; b < st.bars; ++b) {
        uint32_t t0 = uint32_t(b) * bar;
        int deg = st.progression[size_t(b) % st.progression.size()];
        int root = ScaleNote(st.key, deg) - 12;
        int third = ScaleNote(st.key, deg + 2), fifth = ScaleNote(st.key, deg + 4);
        bool last = b == st.bars - 1;
        // pad: the triad held through the bar
        for (int n : {ScaleNote(st.key, deg), third, fifth}) pad.Note(t0, bar - 10, 1, n, 62);
        // bass: root on the beats, walking through fifth, octave and the step below in the key
        if (last) {
            bass.Note(t0, bar, 2, root - 12, 110);
        } else {
            const int steps[8] = {0, 0, 4, 0, 7, 0, 4, 3};   // scale steps above the chord's root
            for (int i = 0; i < 8; ++i) {
                if (!st.drive && (i % 2)) continue;
                bass.Note(t0 + uint32_t(i) * kQ / 2, kQ / 2 - 20, 2, ScaleNote(st.key, deg + steps[i]) - 24,
                          i % 2 ? 88 : 108);
            }
        }
        // comping: off-beat chord stabs
        if (!last)
            for (int i = 0; i < 4; ++i) {
                uint32_t at = t0 + uint32_t(i) * kQ + (st.drive ? kQ / 2 : 0);
                for (int n : {third, fifth, ScaleNote(st.key, deg + 7)}) comp.Note(at, kQ / 3, 3, n, 70);
            }
        // melody: the motif of the phrase, notes pulled to the chord on strong beats
        const Motif& m = motifs[(b / 2) % 4 == 2 ? 1 : 0];
        if (last) {
            lead.Note(t0, bar, 0, ScaleNote(st.key, 7), 100);
        } else if (b % 2 == 0 || (b / 2) % 2 == 1) {
            for (size_t i = 0; i < m.on.size(); ++i) {
                melodyDegree = std::clamp(melodyDegree + m.step[i], 4, 12);
                if (m.on[i] % kQ == 0) {   // strong beat: nearest chord tone
                    int best = melodyDegree, bestDist = 99;
                    for (int cand = melodyDegree - 2; cand <= melodyDegree + 2; ++cand) {
                        int rel = ((cand - deg) % 7 + 7) % 7;
                        if ((rel == 0 || rel == 2 || rel == 4) && std::abs(cand - melodyDegree) < bestDist) {
                            best = cand;
                            bestDist = std::abs(cand - melodyDegree);
                        }
                    }
                    melodyDegree = best;
                }
                lead.Note(t0 + m.on[i], m.len[i] - 30, 0, ScaleNote(st.key, melodyDegree), 92 + (m.on[i] % kQ == 0 ? 14 : 0));
            }
        } else {   // answer bar: a held chord tone
            lead.Note(t0, bar / 2, 0, fifth + 12, 96);
            lead.Note(t0 + bar / 2, bar / 2 - 40, 0, third + 12, 90);
            melodyDegree = deg + 9;
        }
        // drums (channel 10): kick, snare, hats, a crash to open each phrase and fills
        auto hit = [&drums](uint32_t at, int note, int vel) { drums.Note(at, kQ / 8, 9, note, vel); };
        if (b % 4 == 0) hit(t0, 49, 110);
        if (last) {
            hit(t0, 36, 120);
            hit(t0, 49, 120);
            continue;
        }
        for (int i = 0; i < 8; ++i) hit(t0 + uint32_t(i) * kQ / 2, st.drive ? 42 : 44, i % 2 ? 62 : 80);
        hit(t0, 36, 115);
        hit(t0 + 2 * kQ, 36, 105);
        if (st.drive) hit(t0 + 2 * kQ + kQ / 2, 36, 90);
        hit(t0 + kQ, 38, 105);
        hit(t0 + 3 * kQ, 38, 110);
        if (b % 4 == 3)
            for (int i = 0; i < 4; ++i) hit(t0 + 3 * kQ + uint32_t(i) * kQ / 4, i < 2 ? 48 : 45, 90 + i * 6);
    }
    Track tracks[] = {meta, lead, pad, bass, comp, drums};
    std::vector<unsigned char> out = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 6, uint8_t(kQ >> 8), uint8_t(kQ & 255)};
    for (const auto& t : tracks) {
        auto e = t.Encode();
        out.insert(out.end(), e.begin(), e.end());
    }
    return out;
}

}  // namespace

std::vector<unsigned char> EncodeWav(const std::vector<int16_t>& samples, int rate) {
    std::vector<unsigned char> out;
    auto u32 = [&out](uint32_t v) { for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i))); };
    auto u16 = [&out](uint16_t v) { out.push_back(uint8_t(v)); out.push_back(uint8_t(v >> 8)); };
    uint32_t dataBytes = uint32_t(samples.size() * 2);
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    u32(36 + dataBytes);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    u32(16);
    u16(1);
    u16(1);
    u32(uint32_t(rate));
    u32(uint32_t(rate) * 2);
    u16(2);
    u16(16);
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    u32(dataBytes);
    for (int16_t s : samples) u16(uint16_t(s));
    return out;
}

std::vector<Sound> BuildSounds() {
    std::vector<Sound> out;
    // a gasp: the crowd's rising "ooh" that falls away
    {
        Buffer b = CrowdVoices(1.1f, 14, 190, 330, 1.35f, 520, 900, 0.12f, 100);
        MixInto(b, Filter(WhiteNoise(1.2f, 101), Biquad::BandPass(800, 0.7f)), 0.05f);
        for (size_t i = 0; i < b.size(); ++i) b[i] *= Envelope(float(i) / kRate, 0.12f, 0.3f, 0.25f);
        out.push_back({"wav\\gasp.wav", ToPcm(b, 0.8f), false});
    }
    out.push_back({"wav\\whistle.wav", ToPcm(Whistle(0.45f, 200), 0.85f), false});
    out.push_back({"wav\\shoot.wav", ToPcm(Thump(150, 45, 0.4f, 0.9f, 1600, 300), 0.95f), false});
    out.push_back({"wav\\kick.wav", ToPcm(Thump(115, 55, 0.28f, 0.5f, 1300, 400), 0.8f), false});
    {
        Buffer b = Filter(Thump(190, 95, 0.22f, 0.25f, 700, 500), Biquad::LowPass(1800, 0.7f));
        out.push_back({"wav\\head.wav", ToPcm(b, 0.75f), false});
    }
    out.push_back({"wav\\crowd.wav", ToPcm(CrowdLoop(600), 0.55f), true});
    {   // boo: low voices on "oo", long and sour
        Buffer b = CrowdVoices(2.4f, 18, 95, 160, 0.9f, 330, 700, 0.25f, 700);
        MixInto(b, Filter(WhiteNoise(2.6f, 701), Biquad::LowPass(500, 0.7f)), 0.08f);
        out.push_back({"wav\\boo.wav", ToPcm(b, 0.8f), false});
    }
    {   // cheer: a roar that swells and fades, bright voices on "ay"
        Buffer b = Filter(WhiteNoise(3.2f, 800), Biquad::BandPass(1100, 0.6f));
        for (size_t i = 0; i < b.size(); ++i) b[i] *= Envelope(float(i) / kRate, 0.25f, 0.9f, 0.8f);
        MixInto(b, CrowdVoices(2.6f, 20, 260, 480, 1.25f, 750, 1800, 0.3f, 801), 0.9f);
        MixInto(b, Whistle(0.3f, 802), 0.04f, 1.1f);
        out.push_back({"wav\\cheer.wav", ToPcm(b, 0.85f), false});
    }
    {   // long whistle: two short pips and a long blast
        Buffer b = Silence(1.7f);
        MixInto(b, Whistle(0.22f, 900), 1.0f, 0.0f);
        MixInto(b, Whistle(0.22f, 901), 1.0f, 0.32f);
        MixInto(b, Whistle(1.05f, 902), 1.0f, 0.64f);
        out.push_back({"wav\\whistlel.wav", ToPcm(b, 0.85f), false});
    }
    out.push_back({"wav\\post.wav", ToPcm(Clang(1000), 0.85f), false});
    {   // foul: a thud of bodies and two sharp blasts of the whistle
        Buffer b = Silence(0.9f);
        MixInto(b, Filter(Thump(90, 50, 0.3f, 0.6f, 500, 1100), Biquad::LowPass(900, 0.7f)), 1.0f);
        MixInto(b, Whistle(0.16f, 1101), 0.8f, 0.3f);
        MixInto(b, Whistle(0.2f, 1102), 0.8f, 0.55f);
        out.push_back({"wav\\foul.wav", ToPcm(b, 0.85f), false});
    }
    return out;
}

std::vector<MidiPiece> BuildMusic() {
    // General MIDI programs (0-based): 61 brass section, 48 strings, 33 fingered bass,
    // 4 electric piano, 81 saw lead, 38 synth bass, 29 overdriven guitar, 56 trumpet, 0 piano, 52 choir
    const Style styles[] = {
        {"wav\\dvxtitle.mid", 112, 60, {0, 4, 5, 3, 0, 4, 3, 4}, 17, 61, 48, 33, 0, false, 11},
        {"wav\\qn002.mid", 128, 67, {0, 5, 3, 4, 0, 5, 1, 4}, 24, 81, 4, 38, 29, true, 22},
        {"wav\\qn003.mid", 100, 62, {0, 4, 5, 3, 1, 4, 0, 4}, 24, 56, 52, 33, 0, false, 33},
    };
    std::vector<MidiPiece> out;
    for (const auto& st : styles) out.push_back({st.file, Compose(st)});
    return out;
}

}  // namespace fwdata
