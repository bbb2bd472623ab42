// The nine sound effects, synthesised: 22050 Hz, 16-bit mono PCM with the "data" chunk right
// behind "fmt " (the game's loader accepts nothing else).
#include "skerrow/data/GenCommon.h"

#include <algorithm>

namespace gen {
namespace {

constexpr int kRate = 22050;
constexpr double kTau = 6.283185307179586;

std::vector<uint8_t> EncodeWav(const std::vector<double>& s) {
    std::vector<uint8_t> out;
    auto put = [&](uint32_t v, int n) {
        for (int i = 0; i < n; ++i) out.push_back(uint8_t(v >> (8 * i)));
    };
    auto tag = [&](const char* t) {
        for (int i = 0; i < 4; ++i) out.push_back(uint8_t(t[i]));
    };
    const uint32_t dataBytes = uint32_t(s.size() * 2);
    tag("RIFF");
    put(36 + dataBytes, 4);
    tag("WAVE");
    tag("fmt ");
    put(16, 4);
    put(1, 2);
    put(1, 2);
    put(kRate, 4);
    put(kRate * 2, 4);
    put(2, 2);
    put(16, 2);
    tag("data");
    put(dataBytes, 4);
    double peak = 1e-9;
    for (double v : s) peak = std::max(peak, std::fabs(v));
    const double gain = 0.85 / peak;
    for (double v : s) put(uint32_t(uint16_t(int16_t(std::lround(std::clamp(v * gain, -1.0, 1.0) * 32767)))), 2);
    return out;
}

// Sweeping oscillator: frequency from f0 to f1 (exponentially), wave 0 sine, 1 square, 2 saw.
void Tone(std::vector<double>& s, double start, double len, double f0, double f1, int wave,
          double amp, double attack, double decay) {
    double phase = 0;
    const int a = int(start * kRate), n = int(len * kRate);
    if (int(s.size()) < a + n) s.resize(size_t(a + n), 0.0);
    for (int i = 0; i < n; ++i) {
        const double t = double(i) / n;
        const double f = f0 * std::pow(f1 / f0, t);
        phase += f / kRate;
        const double p = phase - std::floor(phase);
        double v = wave == 0 ? std::sin(kTau * p) : wave == 1 ? (p < 0.5 ? 0.6 : -0.6) : (2 * p - 1) * 0.6;
        const double env = std::min(1.0, i / (attack * kRate + 1)) * std::exp(-decay * i / kRate);
        s[size_t(a + i)] += v * env * amp;
    }
}

void Noise(std::vector<double>& s, double start, double len, double amp, double decay, double lowpass,
           uint32_t seed) {
    Rng rng(seed);
    const int a = int(start * kRate), n = int(len * kRate);
    if (int(s.size()) < a + n) s.resize(size_t(a + n), 0.0);
    double y = 0;
    for (int i = 0; i < n; ++i) {
        y += (rng.Signed() - y) * lowpass;
        s[size_t(a + i)] += y * amp * std::exp(-decay * i / kRate);
    }
}

void FadeOut(std::vector<double>& s) {
    const size_t n = std::min<size_t>(s.size(), 200);
    for (size_t i = 0; i < n; ++i) s[s.size() - 1 - i] *= double(i) / n;
}

}  // namespace

void MakeSounds(DataSet& ds) {
    std::vector<double> s;

    Tone(s, 0, 0.09, 1400, 900, 1, 0.6, 0.001, 35);
    Tone(s, 0, 0.09, 2100, 1800, 0, 0.4, 0.001, 45);
    Noise(s, 0, 0.02, 0.4, 150, 0.8, 1);
    FadeOut(s);
    ds.Add("HitBlock.wav", EncodeWav(s));

    s.clear();
    for (double f : {620.0, 1010.0, 1730.0, 2650.0}) Tone(s, 0, 0.35, f, f * 0.98, 0, 0.4, 0.001, 14);
    Noise(s, 0, 0.03, 0.5, 120, 0.9, 2);
    FadeOut(s);
    ds.Add("HitSolid.wav", EncodeWav(s));

    s.clear();
    {
        const int n = int(0.3 * kRate);
        s.assign(size_t(n), 0.0);
        double phase = 0;
        for (int i = 0; i < n; ++i) {
            const double t = double(i) / kRate;
            const double f = 300 + 180 * std::sin(kTau * 14 * t) * std::exp(-8 * t) + 250 * std::exp(-12 * t);
            phase += f / kRate;
            s[size_t(i)] = std::sin(kTau * phase) * std::exp(-9 * t);
        }
    }
    FadeOut(s);
    ds.Add("Spring.wav", EncodeWav(s));

    s.clear();
    Tone(s, 0, 0.18, 2400, 300, 1, 0.5, 0.001, 12);
    Tone(s, 0, 0.18, 1800, 250, 0, 0.5, 0.001, 12);
    FadeOut(s);
    ds.Add("Fire.wav", EncodeWav(s));

    s.clear();
    {
        const double notes[] = {523.25, 659.25, 783.99, 1046.5};
        for (int i = 0; i < 4; ++i) Tone(s, i * 0.06, 0.2, notes[i], notes[i], 1, 0.4, 0.002, 10);
    }
    FadeOut(s);
    ds.Add("Activate.wav", EncodeWav(s));

    s.clear();
    {
        const double notes[] = {659.25, 587.33, 523.25, 392.0, 261.63};
        for (int i = 0; i < 5; ++i) Tone(s, i * 0.14, i == 4 ? 0.6 : 0.16, notes[i], i == 4 ? notes[i] * 0.7 : notes[i], 1, 0.4, 0.004, i == 4 ? 3 : 6);
    }
    FadeOut(s);
    ds.Add("LifeLoss.wav", EncodeWav(s));

    s.clear();
    Noise(s, 0, 0.35, 0.8, 10, 0.35, 3);
    Tone(s, 0, 0.25, 1200, 150, 2, 0.4, 0.001, 9);
    FadeOut(s);
    ds.Add("KillEnemy.wav", EncodeWav(s));

    s.clear();
    Noise(s, 0, 1.1, 1.0, 4, 0.12, 4);
    Noise(s, 0, 0.3, 0.5, 12, 0.6, 5);
    Tone(s, 0, 0.7, 90, 35, 0, 0.9, 0.002, 5);
    FadeOut(s);
    ds.Add("Explosion.wav", EncodeWav(s));

    s.clear();
    {
        const int n = int(0.3 * kRate);
        s.assign(size_t(n), 0.0);
        double phase = 0;
        for (int i = 0; i < n; ++i) {
            const double t = double(i) / kRate;
            phase += (180 + 60 * std::sin(kTau * 30 * t)) / kRate;
            const double p = phase - std::floor(phase);
            s[size_t(i)] = ((2 * p - 1) * 0.6 + 0.3 * std::sin(kTau * phase * 3.01)) * std::exp(-7 * t);
        }
    }
    FadeOut(s);
    ds.Add("barrier.wav", EncodeWav(s));
}

}  // namespace gen
