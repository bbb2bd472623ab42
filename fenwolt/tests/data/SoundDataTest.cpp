// Sound effects and music of the generated data set.
#include <gtest/gtest.h>

#include <cmath>

#include "DataReaders.h"

using namespace fwcheck;

namespace {
double Rms(const std::vector<int16_t>& s, size_t from, size_t to) {
    double sum = 0;
    for (size_t i = from; i < to; ++i) sum += double(s[i]) * s[i];
    return to > from ? std::sqrt(sum / double(to - from)) : 0.0;
}
}  // namespace

TEST(FenwoltSoundData, EffectsArePlayablePcm) {
    struct Expect { const char* file; double minSec, maxSec; };
    const Expect effects[] = {{"wav\\gasp.wav", 0.5, 2.5},    {"wav\\whistle.wav", 0.2, 1.0},
                              {"wav\\shoot.wav", 0.1, 1.0},   {"wav\\kick.wav", 0.1, 1.0},
                              {"wav\\head.wav", 0.1, 1.0},    {"wav\\crowd.wav", 3.0, 20.0},
                              {"wav\\boo.wav", 1.0, 4.0},     {"wav\\cheer.wav", 1.5, 5.0},
                              {"wav\\whistlel.wav", 0.8, 3.0}, {"wav\\post.wav", 0.3, 2.0},
                              {"wav\\foul.wav", 0.3, 2.0}};
    for (const auto& e : effects) {
        SCOPED_TRACE(e.file);
        Wav w = ParseWav(ReadBytes(Resolve(DataRoot(), e.file)));
        ASSERT_EQ(w.error, "");
        EXPECT_EQ(w.format, 1);
        EXPECT_EQ(w.channels, 1);
        EXPECT_EQ(w.bits, 16);
        EXPECT_EQ(w.rate, 22050);
        double sec = double(w.samples.size()) / w.rate;
        EXPECT_GE(sec, e.minSec);
        EXPECT_LE(sec, e.maxSec);
        EXPECT_GT(Rms(w.samples, 0, w.samples.size()), 1000.0);   // audible
        int clipped = 0;
        for (int16_t s : w.samples) clipped += (s == 32767 || s == -32768);
        EXPECT_LT(clipped, 10);
    }
}

// The crowd plays looped under the whole match: its end must lead into its start without a
// click, and it must not fade at either end.
TEST(FenwoltSoundData, CrowdLoopsWithoutASeam) {
    Wav w = ParseWav(ReadBytes(Resolve(DataRoot(), "wav\\crowd.wav")));
    ASSERT_EQ(w.error, "");
    const auto& s = w.samples;
    ASSERT_GT(s.size(), 2205u);
    double typicalStep = 0;
    for (size_t i = 1; i < s.size(); ++i) typicalStep += std::fabs(double(s[i]) - s[i - 1]);
    typicalStep /= double(s.size() - 1);
    EXPECT_LT(std::fabs(double(s.front()) - s.back()), 4 * typicalStep + 200);
    double head = Rms(s, 0, 2205), tail = Rms(s, s.size() - 2205, s.size()), whole = Rms(s, 0, s.size());
    EXPECT_GT(head, 0.5 * whole);
    EXPECT_GT(tail, 0.5 * whole);
}

TEST(FenwoltSoundData, WhistleSoundsLikeAWhistle) {
    // most of the energy near 3 kHz: count zero crossings
    Wav w = ParseWav(ReadBytes(Resolve(DataRoot(), "wav\\whistle.wav")));
    ASSERT_EQ(w.error, "");
    size_t crossings = 0;
    for (size_t i = 1; i < w.samples.size(); ++i) crossings += (w.samples[i - 1] < 0) != (w.samples[i] < 0);
    double freq = crossings / 2.0 / (double(w.samples.size()) / w.rate);
    EXPECT_GT(freq, 2000.0);
    EXPECT_LT(freq, 4500.0);
}

TEST(FenwoltSoundData, MusicIsGeneralMidiWithBandAndDrums) {
    for (const char* f : {"wav\\dvxtitle.mid", "wav\\qn002.mid", "wav\\qn003.mid"}) {
        SCOPED_TRACE(f);
        Midi m = ParseMidi(ReadBytes(Resolve(DataRoot(), f)));
        ASSERT_EQ(m.error, "");
        EXPECT_EQ(m.format, 1);
        EXPECT_GE(m.tracks, 4);
        EXPECT_EQ(m.noteOns, m.noteOffs);
        EXPECT_GT(m.notesPerChannel[9], 50);   // drums on channel 10
        int melodic = 0;
        for (int ch = 0; ch < 16; ++ch)
            if (ch != 9 && m.notesPerChannel[size_t(ch)] > 16) ++melodic;
        EXPECT_GE(melodic, 3);                 // melody, harmony and bass
        EXPECT_GE(m.programs.size(), 3u);
        double seconds = double(m.lastTick) / m.division * m.tempo / 1e6;
        EXPECT_GT(seconds, 20.0);
        EXPECT_LT(seconds, 120.0);
    }
}

// Every melodic note belongs to one major key: no stray semitones in melody, chords or bass.
TEST(FenwoltSoundData, MusicStaysInItsKey) {
    const int major[7] = {0, 2, 4, 5, 7, 9, 11};
    for (const char* f : {"wav\\dvxtitle.mid", "wav\\qn002.mid", "wav\\qn003.mid"}) {
        SCOPED_TRACE(f);
        Midi m = ParseMidi(ReadBytes(Resolve(DataRoot(), f)));
        ASSERT_EQ(m.error, "");
        bool someKey = false;
        for (int tonic = 0; tonic < 12 && !someKey; ++tonic) {
            int outside = 0;
            for (int pc = 0; pc < 12; ++pc) {
                bool in = false;
                for (int d : major) in = in || (tonic + d) % 12 == pc;
                if (!in) outside += m.pitchClasses[size_t(pc)];
            }
            someKey = outside == 0;
        }
        EXPECT_TRUE(someKey);
    }
}
