// The module player against libopenmpt: the same order and row at every moment, pitch within
// 15 cents and the same loudness envelope. Intended differences, checked as such:
// - At the end of a song the reference renders a short tail; the player stops at the end of
//   the last row, which is where the sound engine's stream takes over with silence.
// - The reference ends a song where it would start to repeat (a jump back); the player keeps
//   looping, as game music should. Comparisons stop where the reference ends.
// - Stereo samples play their left half only (stereo.s3m): the envelope differs there.
// - AdLib channels (NOP.s3m) are silent: the player mixes samples only.
// - The overall level differs by a constant factor: the envelope is compared after a fitted gain.
// - Sliding up, the reference stops at a period of 16 classic units (about 7 kHz for the test
//   sample here); the player slides on to period 1, as its rules say (PeriodLimit.s3m).
// - Dxy with both digits set and neither 0 nor F is ignored (K and L alike), and I (tremor) and
//   Q (retrigger) have no effect; the reference plays them (ParamMemory.s3m).
// - A note without a command restarts its sample at 0; the reference reuses the last sample
//   offset (OxxMemory.s3m, which is silent there and sounds here).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "skerrow/Src/Sound/ModulePlayer.h"
#include "skerrow/tests/sound/openmpt_reference.h"
#include "skerrow/tests/sound/s3m_writer.h"
#include "platform/tests/support/test_requirements.h"

using namespace s3mtest;

namespace {

constexpr int kRate = 44100;

std::vector<uint8_t> ReadModule(const std::string& name)
{
    std::ifstream in(SOURCE_ROOT "/../shared/testdata/s3m/" + name, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Pitch of a stereo block from its upward zero crossings (interpolated), in Hz; 0 when there
// are too few to tell.
double Pitch(const std::vector<int16_t>& st)
{
    size_t frames = st.size() / 2;
    double first = -1, last = -1;
    int n = 0;
    for (size_t i = 1; i < frames; ++i) {
        double a = st[2 * (i - 1)] + st[2 * (i - 1) + 1], b = st[2 * i] + st[2 * i + 1];
        if (a < 0 && b >= 0) {
            double t = double(i - 1) + (-a) / (b - a);
            if (first < 0) first = t;
            last = t;
            ++n;
        }
    }
    return n < 4 ? 0.0 : (n - 1) / (last - first) * kRate;
}

double Rms(const std::vector<int16_t>& st)
{
    double e = 0;
    for (int16_t v : st) e += double(v) * v;
    return st.empty() ? 0 : std::sqrt(e / double(st.size()));
}

// Relative distance of two envelopes after the best gain on the second.
double EnvelopeError(const std::vector<double>& a, const std::vector<double>& b)
{
    double ab = 0, bb = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        ab += a[i] * b[i];
        bb += b[i] * b[i];
    }
    if (bb == 0) return 0;
    double g = ab / bb, err = 0, ref = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        err += (a[i] - g * b[i]) * (a[i] - g * b[i]);
        ref += a[i] * a[i];
    }
    return ref == 0 ? 0 : std::sqrt(err / ref);
}

struct Blocks {
    std::vector<double> pitchMine, pitchRef, rmsMine, rmsRef;
};

// Renders both in blocks of `frames` (ticks, in the tests) for `count` blocks.
Blocks RenderBoth(const std::vector<uint8_t>& image, int frames, int count)
{
    Blocks out;
    ModulePlayer mine(image.data(), image.size(), kRate, 1, 1, 1);
    ReferencePlayer ref(image, kRate);
    EXPECT_EQ(mine.state, ModulePlayer::StateLoaded);
    EXPECT_TRUE(ref.Loaded());
    if (mine.state != ModulePlayer::StateLoaded || !ref.Loaded()) return out;
    std::vector<int16_t> a(size_t(frames) * 2), b(size_t(frames) * 2);
    for (int i = 0; i < count; ++i) {
        if (mine.Render(a.data(), frames * 4, nullptr) < frames) break;
        if (ref.Read(b.data(), size_t(frames)) < size_t(frames)) break;
        out.pitchMine.push_back(Pitch(a));
        out.pitchRef.push_back(Pitch(b));
        out.rmsMine.push_back(Rms(a));
        out.rmsRef.push_back(Rms(b));
    }
    return out;
}

// One channel, a looped sine sample, a note on row 0 and the effect on rows 1..7 (or as given).
std::vector<uint8_t> EffectModule(std::vector<Cell> cells, int volume = 32)
{
    Module m;
    m.samples.push_back(SineSample());
    m.channelSettings = {0};
    m.patterns[0] = {{0, 0, Note(5, 0), 1, volume, 0, 0}};
    for (const Cell& c : cells) {
        if (c.row == 0) {  // a command beside the note
            m.patterns[0][0].command = c.command;
            m.patterns[0][0].info = c.info;
        } else {
            m.patterns[0].push_back(c);
        }
    }
    m.patterns[0].push_back({12, 0, 254, 0, -1, 0, 0});
    return Write(m);
}

std::vector<Cell> Rows(int command, int info, int from = 1, int to = 7)
{
    std::vector<Cell> cells;
    for (int r = from; r <= to; ++r) cells.push_back({r, 0, 255, 0, -1, command, info});
    return cells;
}

void ExpectSamePitch(const std::vector<uint8_t>& image, const std::string& what)
{
    Blocks b = RenderBoth(image, 882, 12 * 6);
    ASSERT_FALSE(b.pitchMine.empty()) << what;
    int compared = 0;
    for (size_t i = 0; i < b.pitchMine.size(); ++i) {
        if (b.pitchMine[i] <= 0 || b.pitchRef[i] <= 0) continue;
        ++compared;
        double cents = 1200.0 * std::log2(b.pitchMine[i] / b.pitchRef[i]);
        EXPECT_LT(std::abs(cents), 15.0) << what << ", tick " << i << ": " << b.pitchMine[i] << " Hz against "
                                         << b.pitchRef[i] << " Hz";
    }
    EXPECT_GT(compared, 40) << what;
}

}  // namespace

TEST(ModuleAgainstReference, PitchOfSingleEffects)
{
    ExpectSamePitch(EffectModule({}), "plain note");
    ExpectSamePitch(EffectModule(Rows(Cmd('E'), 0x08)), "E08 slide down");
    ExpectSamePitch(EffectModule(Rows(Cmd('F'), 0x03, 1, 4)), "F03 slide up");
    ExpectSamePitch(EffectModule(Rows(Cmd('E'), 0xF4)), "EF4 fine slide");
    ExpectSamePitch(EffectModule(Rows(Cmd('F'), 0xE8)), "FE8 extra-fine slide");
    ExpectSamePitch(EffectModule(Rows(Cmd('H'), 0x48)), "H48 vibrato");
    ExpectSamePitch(EffectModule(Rows(Cmd('U'), 0x6C)), "U6C fine vibrato");
    ExpectSamePitch(EffectModule(Rows(Cmd('J'), 0x37)), "J37 arpeggio");
    std::vector<Cell> waves = Rows(Cmd('H'), 0x58);
    waves.push_back({0, 0, 255, 0, -1, Cmd('S'), 0x32});  // square
    ExpectSamePitch(EffectModule(waves), "S32 square vibrato");
    std::vector<Cell> porta = {{2, 0, Note(5, 7), 1, -1, Cmd('G'), 0x10}};
    for (const Cell& c : Rows(Cmd('G'), 0, 3, 8)) porta.push_back(c);
    ExpectSamePitch(EffectModule(porta), "G10 tone portamento");
    std::vector<Cell> vibslide = Rows(Cmd('H'), 0x46, 1, 3);
    for (const Cell& c : Rows(Cmd('K'), 0x02, 4, 8)) vibslide.push_back(c);
    ExpectSamePitch(EffectModule(vibslide), "K after H");
    ExpectSamePitch(EffectModule({{1, 0, Note(5, 0), 1, -1, Cmd('S'), 0x24}}), "S24 fine tune");
}

TEST(ModuleAgainstReference, VolumeEnvelopesOfSingleEffects)
{
    struct Case {
        const char* what;
        std::vector<Cell> cells;
    };
    std::vector<Case> cases = {
        {"D04 slide down", Rows(Cmd('D'), 0x04)},
        {"D30 slide up", Rows(Cmd('D'), 0x30)},
        {"DF2 fine down", Rows(Cmd('D'), 0xF2)},
        {"D3F fine up", Rows(Cmd('D'), 0x3F)},
        {"R48 tremolo", Rows(Cmd('R'), 0x48)},
        {"volume column", {{2, 0, 255, 0, 10, 0, 0}, {4, 0, 255, 0, 60, 0, 0}}},
        {"SC3 note cut", {{2, 0, Note(5, 0), 1, -1, Cmd('S'), 0xC3}}},
        {"V20 global volume", {{3, 0, 255, 0, -1, Cmd('V'), 0x20}}},
        {"instrument alone", {{2, 0, 255, 1, -1, 0, 0}}},
    };
    for (const Case& c : cases) {
        Blocks b = RenderBoth(EffectModule(c.cells), 882, 12 * 6);
        ASSERT_FALSE(b.rmsMine.empty()) << c.what;
        EXPECT_LT(EnvelopeError(b.rmsMine, b.rmsRef), 0.12) << c.what;
    }
}

TEST(ModuleAgainstReference, RealModulesKeepTheSameOrderAndRowTiming)
{
    for (const char* name : {"inside_out.s3m", "mm2flash.s3m", "stereo.s3m", "PortaAfterArp.s3m",
                             "PeriodLimit.s3m", "ParamMemory.s3m", "OxxMemory.s3m",
                             "VibratoTypeChange.s3m", "NOP.s3m"}) {
        auto image = ReadModule(name);
        if (image.empty()) SKIP_WITHOUT("the test modules of shared/testdata/s3m");
        ModulePlayer mine(image.data(), image.size(), kRate, 1, 1, 1);
        ReferencePlayer ref(image, kRate);
        ASSERT_TRUE(ref.Loaded()) << name;
        std::vector<int16_t> a(128), b(128);
        long chunks = 0, differ = 0;
        for (; chunks < kRate * 60 / 64; ++chunks) {
            int got = mine.Render(a.data(), 256, nullptr);
            size_t gotRef = ref.Read(b.data(), 64);
            if (got < 64 || gotRef < 64) break;
            if (mine.OrderPosition() != ref.Order() || mine.Row() != ref.Row()) ++differ;
        }
        EXPECT_EQ(differ, 0) << name;
        EXPECT_GT(chunks, 1000) << name;
    }
}

TEST(ModuleAgainstReference, RealModulesHaveTheSameEnvelope)
{
    for (const char* name : {"inside_out.s3m", "mm2flash.s3m", "PortaAfterArp.s3m"}) {
        auto image = ReadModule(name);
        if (image.empty()) SKIP_WITHOUT("the test modules of shared/testdata/s3m");
        Blocks b = RenderBoth(image, kRate / 10, 400);
        ASSERT_GT(b.rmsMine.size(), 10u) << name;
        double error = EnvelopeError(b.rmsMine, b.rmsRef);
        RecordProperty(name, std::to_string(error));
        std::printf("%s: envelope distance %.3f\n", name, error);
        EXPECT_LT(error, 0.25) << name;
    }
    // A module made to cancel itself stays silent here too.
    for (const char* name : {"VibratoTypeChange.s3m"}) {
        auto image = ReadModule(name);
        Blocks b = RenderBoth(image, kRate / 10, 400);
        for (size_t i = 0; i < b.rmsMine.size(); ++i) EXPECT_LT(b.rmsMine[i], 150) << name << " block " << i;
    }
}
