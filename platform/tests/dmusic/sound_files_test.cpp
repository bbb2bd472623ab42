#include <gtest/gtest.h>

#include "platform/dmusic/sound_files.h"
#include "platform/tests/dmusic/sound_builders.h"

using namespace dmusic_files;
using namespace sound_builders;

namespace {

bool Wave(const std::vector<uint8_t>& bytes, WaveSound& out, std::string& error)
{
    return ParseWave(bytes.data(), bytes.size(), out, error);
}

bool Midi(const std::vector<uint8_t>& bytes, MidiSong& out, std::string& error)
{
    return ParseMidi(bytes.data(), bytes.size(), out, error);
}

}  // namespace

TEST(WaveReader, ConvertsPcmFormatsToStereoAtTheMixRate)
{
    WaveSound w;
    std::string error;
    // 16-bit mono at half the mix rate: twice as many frames, level kept, both sides equal.
    ASSERT_TRUE(Wave(MakeConstantWave(22050, 1000, 16384), w, error)) << error;
    EXPECT_EQ(w.FrameCount(), 2000u);
    EXPECT_NEAR(w.frames[0], 0.5f, 1e-4);
    EXPECT_NEAR(w.frames[1999 * 2 + 1], 0.5f, 1e-4);

    // 8-bit stereo at the mix rate: unsigned samples, channels kept apart.
    std::vector<uint8_t> s = {255, 0, 128, 64};
    ASSERT_TRUE(Wave(MakeWaveRaw(1, 44100, 2, 8, s), w, error)) << error;
    ASSERT_EQ(w.FrameCount(), 2u);
    EXPECT_NEAR(w.frames[0], 127 / 128.0f, 1e-4);
    EXPECT_NEAR(w.frames[1], -1.0f, 1e-4);
    EXPECT_NEAR(w.frames[2], 0.0f, 1e-4);
    EXPECT_NEAR(w.frames[3], -0.5f, 1e-4);

    // 24-bit mono, negative value.
    std::vector<uint8_t> s24 = {0x00, 0x00, 0xC0};
    ASSERT_TRUE(Wave(MakeWaveRaw(1, 44100, 1, 24, s24), w, error)) << error;
    EXPECT_NEAR(w.frames[0], -0.5f, 1e-6);
}

TEST(WaveReader, AcceptsExtensiblePcmAndSkipsPaddedChunks)
{
    std::vector<uint8_t> b = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
    // An odd-sized chunk before the format: its pad byte must be skipped.
    Append(b, {'L', 'I', 'S', 'T', 3, 0, 0, 0, 'a', 'b', 'c', 0});
    Append(b, {'f', 'm', 't', ' ', 40, 0, 0, 0});
    PutLE(b, 0xFFFE, 2);
    PutLE(b, 1, 2);
    PutLE(b, 44100, 4);
    PutLE(b, 88200, 4);
    PutLE(b, 2, 2);
    PutLE(b, 16, 2);
    PutLE(b, 22, 2);  // extension size
    PutLE(b, 16, 2);  // valid bits
    PutLE(b, 4, 4);   // channel mask
    PutLE(b, 1, 2);   // sub-format: PCM
    for (int i = 0; i < 14; ++i) b.push_back(0);
    Append(b, {'d', 'a', 't', 'a', 4, 0, 0, 0, 0x00, 0x40, 0x00, 0xC0});
    uint32_t riff = uint32_t(b.size() - 8);
    for (int i = 0; i < 4; ++i) b[4 + i] = uint8_t(riff >> (8 * i));

    WaveSound w;
    std::string error;
    ASSERT_TRUE(Wave(b, w, error)) << error;
    ASSERT_EQ(w.FrameCount(), 2u);
    EXPECT_NEAR(w.frames[0], 0.5f, 1e-4);
    EXPECT_NEAR(w.frames[2], -0.5f, 1e-4);
}

TEST(WaveReader, RefusesWhatIsNotPlainPcmOrIsDamaged)
{
    WaveSound w;
    std::string error;
    std::vector<uint8_t> pcm = {0, 0, 0, 0};
    EXPECT_FALSE(Wave(MakeWaveRaw(3, 44100, 1, 32, pcm), w, error));  // float
    EXPECT_NE(error.find("not PCM"), std::string::npos);
    EXPECT_FALSE(Wave(MakeWaveRaw(2, 44100, 1, 4, pcm), w, error));  // ADPCM
    EXPECT_FALSE(Wave(MakeWaveRaw(1, 44100, 6, 16, std::vector<uint8_t>(12)), w, error));
    EXPECT_FALSE(Wave(MakeWaveRaw(1, 44100, 1, 12, pcm), w, error));
    EXPECT_FALSE(Wave(MakeWaveRaw(1, 0, 1, 16, pcm), w, error));
    EXPECT_FALSE(Wave(MakeWaveRaw(1, 44100, 2, 16, pcm, 2), w, error));  // block alignment lies

    std::vector<uint8_t> good = MakeConstantWave(44100, 100, 1000);
    std::vector<uint8_t> cut(good.begin(), good.end() - 20);
    EXPECT_FALSE(Wave(cut, w, error));
    EXPECT_NE(error.find("past the end"), std::string::npos);

    std::vector<uint8_t> noData(good.begin(), good.begin() + 36);
    EXPECT_FALSE(Wave(noData, w, error));
    EXPECT_FALSE(Wave({}, w, error));
    std::vector<uint8_t> notRiff = good;
    notRiff[0] = 'X';
    EXPECT_FALSE(Wave(notRiff, w, error));

    // A data chunk that claims four gigabytes.
    std::vector<uint8_t> huge = good;
    for (int i = 0; i < 4; ++i) huge[40 + i] = 0xFF;
    EXPECT_FALSE(Wave(huge, w, error));
}

TEST(MidiReader, ReadsFormatZeroWithRunningStatusAndTempo)
{
    std::vector<uint8_t> t = TempoEvent(0, 90);
    // Note on, then running status note on with velocity 0 (a note off), then a sysex.
    Append(t, {0x00, 0x91, 60, 100});
    Append(t, Vlq(240));
    Append(t, {60, 0});
    Append(t, {0x00, 0xF0, 0x03, 0x7E, 0x7F, 0xF7});
    Append(t, TempoEvent(240, 150));
    Append(t, {0x10, 0xE1, 0x00, 0x40});
    MidiSong song;
    std::string error;
    ASSERT_TRUE(Midi(MakeMidi(0, 480, {t}), song, error)) << error;
    EXPECT_EQ(song.division, 480);
    ASSERT_EQ(song.events.size(), 3u);
    EXPECT_EQ(song.events[1].tick, 240u);
    EXPECT_EQ(song.events[1].status, 0x91);
    EXPECT_EQ(song.events[1].data2, 0);
    EXPECT_EQ(song.events[2].tick, 496u);
    EXPECT_EQ(song.events[2].status, 0xE1);
    EXPECT_EQ(song.lengthTicks, 496u);
    EXPECT_NEAR(song.TempoAt(0), 90.0, 0.01);
    EXPECT_NEAR(song.TempoAt(479), 90.0, 0.01);
    EXPECT_NEAR(song.TempoAt(480), 150.0, 0.01);
}

TEST(MidiReader, MergesFormatOneTracksInTimeOrder)
{
    std::vector<uint8_t> a = {0x00, 0x90, 60, 100};
    Append(a, Vlq(100));
    Append(a, {0x80, 60, 0});
    std::vector<uint8_t> b = {0x32, 0x95, 40, 90};  // tick 50
    Append(b, Vlq(950));                          // tick 1000
    Append(b, {0x85, 40, 0});
    // An unknown chunk between the tracks is skipped.
    std::vector<uint8_t> file = MakeMidi(1, 96, {a});
    Append(file, {'X', 'T', 'R', 'A', 0, 0, 0, 2, 1, 2});
    std::vector<uint8_t> second = MakeMidi(1, 96, {b});
    file.insert(file.end(), second.begin() + 14, second.end());
    file[11] = 2;  // two tracks

    MidiSong song;
    std::string error;
    ASSERT_TRUE(Midi(file, song, error)) << error;
    EXPECT_EQ(song.trackCount, 2);
    ASSERT_EQ(song.events.size(), 4u);
    EXPECT_EQ(song.events[0].tick, 0u);
    EXPECT_EQ(song.events[1].tick, 50u);
    EXPECT_EQ(song.events[1].status, 0x95);
    EXPECT_EQ(song.events[2].tick, 100u);
    EXPECT_EQ(song.events[3].tick, 1000u);
    EXPECT_EQ(song.lengthTicks, 1000u);
    EXPECT_NEAR(song.TempoAt(500), 120.0, 0.01);
}

TEST(MidiReader, RefusesUnsupportedAndDamagedFiles)
{
    MidiSong song;
    std::string error;
    std::vector<uint8_t> note = {0x00, 0x90, 60, 100};
    EXPECT_FALSE(Midi(MakeMidi(2, 96, {note}), song, error));
    EXPECT_NE(error.find("format 2"), std::string::npos);
    EXPECT_FALSE(Midi(MakeMidi(0, 0xE728, {note}), song, error));  // SMPTE
    EXPECT_FALSE(Midi(MakeMidi(0, 0, {note}), song, error));

    std::vector<uint8_t> good = MakeMidi(0, 96, {note});
    std::vector<uint8_t> cut(good.begin(), good.end() - 3);
    EXPECT_FALSE(Midi(cut, song, error));

    // A delta time of five bytes.
    EXPECT_FALSE(Midi(MakeMidi(0, 96, {{0x81, 0x81, 0x81, 0x81, 0x01, 0x90, 60, 100}}), song, error));
    // A data byte with no status before it.
    EXPECT_FALSE(Midi(MakeMidi(0, 96, {{0x00, 60, 100}}), song, error));
    // A meta event whose length runs past the track.
    EXPECT_FALSE(Midi(MakeMidi(0, 96, {{0x00, 0xFF, 0x01, 0x7F, 'a'}}), song, error));
    // A status byte inside a channel event.
    EXPECT_FALSE(Midi(MakeMidi(0, 96, {{0x00, 0x90, 0x90, 100}}), song, error));
    // A system real-time byte does not belong in a file.
    EXPECT_FALSE(Midi(MakeMidi(0, 96, {{0x00, 0xF8}}), song, error));
    // No track at all.
    std::vector<uint8_t> header(good.begin(), good.begin() + 14);
    EXPECT_FALSE(Midi(header, song, error));
    EXPECT_FALSE(Midi({'M', 'T', 'h', 'd'}, song, error));
}

TEST(MidiReader, RefusesTicksThatWouldOverflow)
{
    std::vector<uint8_t> t;
    for (int i = 0; i < 20; ++i) Append(t, {0xFF, 0xFF, 0xFF, 0x7F, 0x90, 60, 1});
    MidiSong song;
    std::string error;
    EXPECT_FALSE(Midi(MakeMidi(0, 96, {t}), song, error));
    EXPECT_NE(error.find("too long"), std::string::npos);
}
