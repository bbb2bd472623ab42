#include "skerrow/Src/Sound/SoundEngine.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/dsound/dsound_testing.h"
#include "skerrow/Src/Sound/ModulePlayer.h"
#include "skerrow/tests/sound/s3m_writer.h"

namespace {

// No test needs a sound card: without one, the dummy driver still runs the mixer.
[[maybe_unused]] const bool kDummyAudio = setenv("SDL_AUDIODRIVER", "dummy", 0) == 0;


struct Wav {
    uint16_t tag = 1, channels = 1;
    uint32_t rate = 44100;
    uint16_t blockAlign = 2;
    std::vector<uint8_t> data;
    uint32_t claimedSize = 0;   // 0: the real size
    bool listChunk = false;
};

std::vector<uint8_t> Build(const Wav& w)
{
    std::vector<uint8_t> f;
    auto tag = [&](const char* t) {
        for (int i = 0; i < 4; ++i) f.push_back(uint8_t(t[i]));
    };
    auto u16 = [&](uint32_t v) { f.push_back(uint8_t(v)); f.push_back(uint8_t(v >> 8)); };
    auto u32 = [&](uint32_t v) { u16(v & 0xffff); u16(v >> 16); };
    tag("RIFF");
    u32(0);
    tag("WAVE");
    tag("fmt ");
    u32(16);
    u16(w.tag);
    u16(w.channels);
    u32(w.rate);
    u32(w.rate * w.blockAlign);
    u16(w.blockAlign);
    u16(w.channels ? w.blockAlign * 8 / w.channels : 16);
    if (w.listChunk) {
        tag("LIST");
        u32(4);
        tag("INFO");
    }
    tag("data");
    u32(w.claimedSize ? w.claimedSize : uint32_t(w.data.size()));
    f.insert(f.end(), w.data.begin(), w.data.end());
    return f;
}

Wav Constant(int frames, int16_t value)
{
    Wav w;
    for (int i = 0; i < frames; ++i) {
        w.data.push_back(uint8_t(value & 0xff));
        w.data.push_back(uint8_t((value >> 8) & 0xff));
    }
    return w;
}

SampleHandle Load(const Wav& w, int noDuplicates = 0)
{
    auto image = Build(w);
    return LoadSample(image.data(), image.size(), noDuplicates);
}

std::vector<int16_t> Mix(int frames)
{
    std::vector<int16_t> out(size_t(frames) * 2);
    EXPECT_TRUE(DirectSoundMixFrames(out.data(), frames));
    return out;
}

// Each test starts from a fresh engine on a paused device that mixes only when asked.
class SoundEngineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ReleaseSoundEngine();
        DirectSoundSetManualMixing(true);
        SetSampleVolume(100);
        SetMusicVolume(100);
        SetReverseStereo(0);
        ASSERT_EQ(InitSoundEngine(), 0);
        ASSERT_EQ(SetOutputFormat(44100, 1, 1, 1), 0);
    }
    void TearDown() override
    {
        ReleaseSoundEngine();
        DirectSoundSetManualMixing(false);
    }
};

s3mtest::Module Tune(int patterns)
{
    s3mtest::Module m;
    m.samples.push_back(s3mtest::SineSample());
    m.patterns.clear();
    m.orders.clear();
    for (int p = 0; p < patterns; ++p) {
        std::vector<s3mtest::Cell> cells;
        for (int r = 0; r < 64; r += 4) cells.push_back({r, 0, s3mtest::Note(4 + (r / 4) % 3, (r + p) % 12), 1, 40 + r / 4, 0, 0});
        for (int r = 2; r < 64; r += 8) cells.push_back({r, 1, s3mtest::Note(3, r % 12), 1, -1, s3mtest::Cmd('H'), 0x46});
        m.patterns.push_back(cells);
        m.orders.push_back(uint8_t(p));
    }
    return m;
}

}  // namespace

TEST(SoundVolume, AttenuationTable)
{
    EXPECT_EQ(VolumeToAttenuation(0), -10000);
    EXPECT_EQ(VolumeToAttenuation(1), -3000);
    EXPECT_EQ(VolumeToAttenuation(2), -2549);
    EXPECT_EQ(VolumeToAttenuation(10), -1500);
    EXPECT_EQ(VolumeToAttenuation(50), -451);
    EXPECT_EQ(VolumeToAttenuation(70), -231);
    EXPECT_EQ(VolumeToAttenuation(99), -6);
    EXPECT_EQ(VolumeToAttenuation(100), 0);
    // Out of range: clamped, never the logarithm of a negative number.
    EXPECT_EQ(VolumeToAttenuation(-5), -10000);
    EXPECT_EQ(VolumeToAttenuation(250), 0);
}

TEST(SoundNotActivated, EverythingSucceedsQuietlyAndVolumesAreKept)
{
    ReleaseSoundEngine();
    auto wav = Build(Constant(10, 100));
    EXPECT_EQ(LoadSample(wav.data(), wav.size(), 0), 1);
    EXPECT_EQ(LoadSample(wav.data(), wav.size(), 0), 2);
    EXPECT_EQ(PlaySample(0, 100, 50), 0);
    EXPECT_EQ(PlayModule(wav.data(), wav.size()), 0);
    EXPECT_EQ(StopModule(), 0);
    SetSampleVolume(-5);
    SetMusicVolume(250);
    EXPECT_EQ(GetSampleVolume(), 0);
    EXPECT_EQ(GetMusicVolume(), 100);
    SetSampleVolume(70);
    ASSERT_EQ(InitSoundEngine(), 0);
    EXPECT_EQ(GetSampleVolume(), 70);
    ReleaseSoundEngine();
    SetSampleVolume(100);
}

TEST_F(SoundEngineTest, WavFilesAreCheckedBeforeAnythingIsRead)
{
    EXPECT_EQ(Load(Constant(10, 100)), 0);
    Wav list = Constant(10, 100);
    list.listChunk = true;
    EXPECT_EQ(Load(list), -1);
    EXPECT_STREQ(GetSoundError(), "Not a WAV file");
    Wav noChannels = Constant(10, 100);
    noChannels.channels = 0;
    EXPECT_EQ(Load(noChannels), -1);
    Wav compressed = Constant(10, 100);
    compressed.tag = 2;
    EXPECT_EQ(Load(compressed), -1);
    Wav oddBlock = Constant(10, 100);
    oddBlock.blockAlign = 3;
    EXPECT_EQ(Load(oddBlock), -1);
    auto image = Build(Constant(10, 100));
    EXPECT_EQ(LoadSample(image.data(), 30, 0), -1);  // cut inside the header
    EXPECT_EQ(LoadSample(image.data(), 44, 0), 1);   // the data is cut off: a silent sample

    // A data size beyond the file: only the bytes the file holds play.
    Wav liar = Constant(20, 1000);
    liar.claimedSize = 0x7ffffff0;
    SampleHandle h = Load(liar);
    ASSERT_EQ(h, 2);
    ASSERT_EQ(PlaySample(h, 100, 50), 0);
    auto out = Mix(40);
    EXPECT_EQ(out[2 * 19], 1000);
    EXPECT_EQ(out[2 * 20], 0);
    EXPECT_EQ(out[2 * 39], 0);
}

TEST_F(SoundEngineTest, HandlesRunOut)
{
    auto image = Build(Constant(4, 100));
    for (int i = 0; i < 100; ++i) ASSERT_EQ(LoadSample(image.data(), image.size(), 0), i);
    EXPECT_EQ(LoadSample(image.data(), image.size(), 0), -1);
    EXPECT_STREQ(GetSoundError(), "Not enougth handles for sample");
    EXPECT_EQ(PlaySample(100, 100, 50), 4);
    EXPECT_STREQ(GetSoundError(), "Invalid handle");
    EXPECT_EQ(PlaySample(-1, 100, 50), 4);
}

TEST_F(SoundEngineTest, PlaySampleLevelAndPan)
{
    SampleHandle h = Load(Constant(1000, 10000));
    SetSampleVolume(70);
    ASSERT_EQ(PlaySample(h, 100, 50), 0);
    auto out = Mix(2);
    int expected = int(std::lround(10000 * std::pow(10.0, -231 / 2000.0)));
    EXPECT_EQ(out[0], expected);
    EXPECT_EQ(out[1], expected);
    Mix(1000);
    ASSERT_EQ(PlaySample(h, 100, 0), 0);  // hard left
    out = Mix(2);
    EXPECT_EQ(out[0], expected);
    EXPECT_EQ(out[1], 0);
    Mix(1000);
    SetReverseStereo(1);
    ASSERT_EQ(PlaySample(h, 100, 0), 0);  // reversed: hard right
    out = Mix(2);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1], expected);
    Mix(1000);
    ASSERT_EQ(PlaySample(h, 0, 50), 0);
    out = Mix(2);
    EXPECT_EQ(out[0], 0);
}

TEST_F(SoundEngineTest, DuplicatesLetASampleSoundSeveralTimes)
{
    SampleHandle h = Load(Constant(100, 1000));
    SampleHandle solo = Load(Constant(100, 1000), 1);
    for (int i = 0; i < 4; ++i) ASSERT_EQ(PlaySample(h, 100, 50), 0);
    EXPECT_EQ(Mix(1)[0], 4000);
    Mix(200);
    ASSERT_EQ(PlaySample(solo, 100, 50), 0);
    ASSERT_EQ(PlaySample(solo, 100, 50), 0);  // dropped: it still sounds
    EXPECT_EQ(Mix(1)[0], 1000);
    Mix(200);
    // 99 duplicates at most; once they have finished they are released and the next plays.
    for (int i = 0; i < 100; ++i) ASSERT_EQ(PlaySample(h, 1, 50), 0);
    EXPECT_EQ(PlaySample(h, 1, 50), 1);
    EXPECT_STREQ(GetSoundError(), "Not enougth handles to play sample");
    Mix(200);
    EXPECT_EQ(PlaySample(h, 100, 50), 0);
    EXPECT_EQ(Mix(1)[0], 1000);
}

TEST_F(SoundEngineTest, ModuleStartAndStopCodes)
{
    EXPECT_EQ(SetModuleOption(42), 2);
    EXPECT_STREQ(GetSoundError(), "Module not loaded");
    EXPECT_EQ(StopModule(), 2);
    EXPECT_STREQ(GetSoundError(), "Module already stopped");
    std::vector<uint8_t> junk(200, 7);
    EXPECT_EQ(PlayModule(junk.data(), junk.size()), 1);
    EXPECT_STREQ(GetSoundError(), "Error loading module");
    // A failed module leaves nothing behind: the next one plays.
    auto image = s3mtest::Write(Tune(2));
    ASSERT_EQ(PlayModule(image.data(), image.size()), 0);
    EXPECT_EQ(PlayModule(image.data(), image.size()), 2);
    EXPECT_STREQ(GetSoundError(), "Module already playing");
    EXPECT_EQ(SetOutputFormat(22050, 1, 1, 1), 1);
    EXPECT_EQ(SetModuleOption(42), 0);
    EXPECT_EQ(StopModule(), 0);
    EXPECT_EQ(StopModule(), 2);
    EXPECT_EQ(SetOutputFormat(22050, 0, 0, 1), 0);
    ASSERT_EQ(PlayModule(image.data(), image.size()), 0);
    EXPECT_EQ(StopModule(), 0);
}

// The stream, fed as the play cursor moves, carries exactly what one Render gives, whatever
// the timer's rhythm, and falls silent after the song's end.
TEST_F(SoundEngineTest, StreamCarriesTheRenderedSongExactly)
{
    auto image = s3mtest::Write(Tune(3));
    ModulePlayer reference(image.data(), image.size(), 44100, 1, 1, 1);
    const int songFrames = 3 * 64 * 6 * 882;
    std::vector<int16_t> expected(size_t(songFrames + 44100) * 2, 0);
    ASSERT_EQ(reference.Render(expected.data(), int(expected.size() * 2), nullptr), songFrames);

    SetModuleOption(0);
    ASSERT_EQ(PlayModule(image.data(), image.size()), 0);
    std::vector<int16_t> heard;
    const int steps[] = {4410, 441, 13000, 2205, 7000, 4410, 100};
    size_t k = 0;
    while (heard.size() < expected.size()) {
        int frames = std::min<int>(steps[k++ % 7], int(expected.size() - heard.size()) / 2);
        auto out = Mix(frames);
        heard.insert(heard.end(), out.begin(), out.end());
        StreamFill();
    }
    size_t firstDiff = 0;
    while (firstDiff < heard.size() && heard[firstDiff] == expected[firstDiff]) ++firstDiff;
    EXPECT_EQ(firstDiff, heard.size()) << "first difference at frame " << firstDiff / 2;
    EXPECT_EQ(StopModule(), 0);
}

TEST_F(SoundEngineTest, MusicVolumeAppliesToThePlayingStream)
{
    auto image = s3mtest::Write(Tune(1));
    ASSERT_EQ(PlayModule(image.data(), image.size()), 0);
    auto loud = Mix(4410);
    SetMusicVolume(0);
    auto quiet = Mix(4410);
    double energy = 0;
    for (int16_t v : loud) energy += std::abs(v);
    EXPECT_GT(energy, 0);
    for (int16_t v : quiet) ASSERT_EQ(v, 0);
    EXPECT_EQ(StopModule(), 0);
}

// With the device pulling sound in real time and the timer filling the stream, stopping must
// wait for a fill in progress before the player goes (the sanitizers see it if it does not).
TEST(SoundEngineLive, StartAndStopWhileTheTimerFills)
{
    ReleaseSoundEngine();
    DirectSoundSetManualMixing(false);
    ASSERT_EQ(InitSoundEngine(), 0);
    ASSERT_EQ(SetOutputFormat(44100, 1, 1, 1), 0);
    auto image = s3mtest::Write(Tune(2));
    for (int i = 0; i < 4; ++i) {
        ASSERT_EQ(PlayModule(image.data(), image.size()), 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(150 + 40 * i));
        ASSERT_EQ(StopModule(), 0);
    }
    ReleaseSoundEngine();
}
