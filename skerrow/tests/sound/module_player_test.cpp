#include "skerrow/Src/Sound/ModulePlayer.h"
#include "platform/tests/support/test_requirements.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>

#include "skerrow/tests/sound/s3m_writer.h"

using namespace s3mtest;

namespace {

ModulePlayer Load(const std::vector<uint8_t>& image, int rate = 44100, int bits16 = 1, int stereo = 1,
                  int interpolation = 1)
{
    return ModulePlayer(image.data(), image.size(), rate, bits16, stereo, interpolation);
}

// Renders whole ticks, one at a time, and records the (order, row) each tick plays.
std::vector<std::pair<int, int>> TickPositions(ModulePlayer& p, int maxTicks)
{
    std::vector<std::pair<int, int>> out;
    std::vector<int16_t> buf(44100 * 2);
    for (int i = 0; i < maxTicks; ++i) {
        p.ProcessTick();
        if (p.Ended()) break;
        out.emplace_back(p.OrderPosition(), p.Row());
        int frames = p.FramesLeftInTick();
        EXPECT_EQ(p.Render(buf.data(), frames * 4, nullptr), frames);
    }
    return out;
}

Module OneNote(int volumeColumn = -1)
{
    Module m;
    m.samples.push_back(SineSample());
    m.patterns[0].push_back({0, 0, Note(5, 0), 1, volumeColumn, 0, 0});
    return m;
}

}  // namespace

TEST(ModulePlayerLoad, RefusesWhatIsNotAModule)
{
    std::vector<uint8_t> image = Write(OneNote());
    std::memcpy(image.data() + 44, "SCRX", 4);
    EXPECT_EQ(Load(image).state, ModulePlayer::StateCreated);
    // Cut short anywhere: never loaded past the end, never a crash.
    image = Write(OneNote());
    for (size_t n : {size_t(0), size_t(50), size_t(96), size_t(100)}) {
        std::vector<uint8_t> cut(image.begin(), image.begin() + long(n));
        ModulePlayer p = Load(cut);
        std::vector<int16_t> buf(200);
        EXPECT_EQ(p.Render(buf.data(), 400, nullptr), 0);
    }
    EXPECT_EQ(Load(image).state, ModulePlayer::StateLoaded);
}

TEST(ModulePlayerLoad, ReadsHeaderSamplesAndPans)
{
    Module m = OneNote();
    m.channelSettings = {0, 255, 9, 20, 3};  // a gap and an AdLib channel in between
    m.pans = {0x0, -1, 2, -1, -1};
    m.samples[0].volume = 80;  // above 64
    m.samples[0].loopEnd = 100000;  // past the sample's end
    ModulePlayer p = Load(Write(m));
    ASSERT_EQ(p.state, ModulePlayer::StateLoaded);
    EXPECT_EQ(p.channelCount, 3);
    EXPECT_EQ(p.channelPan[0], 0);  // pan byte given
    EXPECT_EQ(p.channelPan[1], 2);
    EXPECT_EQ(p.channelPan[2], 3);  // default for settings 0..7
    ASSERT_EQ(p.instruments.size(), 1u);
    const ModuleInstrument& ins = p.instruments[0];
    EXPECT_EQ(ins.volume, 256);
    EXPECT_EQ(ins.length, 256u);
    EXPECT_EQ(ins.loopEnd, 256u);
    EXPECT_EQ(ins.c2spd, 8363u << 10);
    // Unsigned bytes become signed; one extra sample repeats the last.
    ASSERT_EQ(ins.data.size(), 257u);
    EXPECT_EQ(ins.data[0], int8_t(m.samples[0].data[0] - 128));
    EXPECT_EQ(ins.data[256], ins.data[255]);
}

TEST(ModulePlayerLoad, LongOrderListsKeepTheirFirst256)
{
    Module m = OneNote();
    m.orders.assign(300, 0);
    ModulePlayer p = Load(Write(m));
    ASSERT_EQ(p.state, ModulePlayer::StateLoaded);
    EXPECT_EQ(p.orderCount, 256);
    ASSERT_EQ(p.instruments.size(), 1u);  // the tables after the orders are still found
    EXPECT_EQ(p.instruments[0].length, 256u);
    auto ticks = TickPositions(p, 1000000);
    EXPECT_EQ(ticks.size(), size_t(256 * 64 * 6));
}

TEST(ModulePlayerLoad, SampleLengthIsCutToTheFile)
{
    Module m = OneNote();
    m.samples[0].lengthOverride = 0x7fffffff;
    std::vector<uint8_t> image = Write(m);
    ModulePlayer p = Load(image);
    ASSERT_EQ(p.state, ModulePlayer::StateLoaded);
    EXPECT_LE(p.instruments[0].length, image.size());
    std::vector<int16_t> buf(44100 * 2);
    EXPECT_EQ(p.Render(buf.data(), int(buf.size() * 2), nullptr), 44100);
}

TEST(ModulePlayerLoad, SixteenBitSamplesKeepTheirHighByte)
{
    Module m = OneNote();
    m.samples[0].sixteenBit = true;
    m.samples[0].loop = false;
    m.samples[0].data = {0x34, 0x90, 0xff, 0x10};  // 0x9034, 0x10ff unsigned
    ModulePlayer p = Load(Write(m));
    ASSERT_EQ(p.instruments[0].length, 2u);
    EXPECT_EQ(p.instruments[0].data[0], int8_t(0x90 - 128));
    EXPECT_EQ(p.instruments[0].data[1], int8_t(0x10 - 128));
}

TEST(ModulePlayerTiming, TicksAndRowsFollowSpeedAndTempo)
{
    ModulePlayer p = Load(Write(OneNote()));
    p.ProcessTick();
    EXPECT_EQ(p.FramesLeftInTick(), 882);
    // A row of speed 6 lasts 5292 frames: row 1 begins exactly there.
    std::vector<int16_t> buf(5292 * 2 + 2);
    ModulePlayer q = Load(Write(OneNote()));
    q.Render(buf.data(), 5292 * 4, nullptr);
    EXPECT_EQ(q.Row(), 0);
    q.Render(buf.data(), 4, nullptr);
    EXPECT_EQ(q.Row(), 1);
    // Tempo 0 in the header would make endless ticks: the default 125 stands instead.
    Module m = OneNote();
    m.tempo = 0;
    m.speed = 0;
    ModulePlayer r = Load(Write(m));
    r.ProcessTick();
    EXPECT_EQ(r.Tempo(), 125);
    EXPECT_EQ(r.Speed(), 6);
    EXPECT_EQ(r.FramesLeftInTick(), 882);
}

TEST(ModulePlayerTiming, SongStartsAtOrderZeroAndSkipsMarkers)
{
    Module m = OneNote();
    m.patterns.push_back({});
    m.orders = {254, 1, 254, 0, 255, 1};
    ModulePlayer p = Load(Write(m));
    auto ticks = TickPositions(p, 100000);
    ASSERT_FALSE(ticks.empty());
    EXPECT_EQ(ticks.front(), std::make_pair(1, 0));  // order 0 is a marker; order 1 plays first
    EXPECT_EQ(ticks.back(), std::make_pair(3, 63));  // the 255 ends the song
    EXPECT_EQ(ticks.size(), size_t(2 * 64 * 6));
    EXPECT_TRUE(p.Ended());
    std::vector<int16_t> buf(100);
    EXPECT_EQ(p.Render(buf.data(), 200, nullptr), 0);

    Module plain = OneNote();
    ModulePlayer q = Load(Write(plain));
    EXPECT_EQ(TickPositions(q, 1).front(), std::make_pair(0, 0));
}

TEST(ModulePlayerTiming, JumpsAndBreaks)
{
    Module m = OneNote();
    m.patterns = {{{5, 0, 255, 0, -1, Cmd('C'), 0x12}}, {{20, 0, 255, 0, -1, Cmd('C'), 0x99}}, {}};
    m.orders = {0, 1, 2};
    ModulePlayer p = Load(Write(m));
    auto ticks = TickPositions(p, 100000);
    // Order 0 rows 0..5, then order 1 from row 12 to 20, then order 2 from row 0 (C99 is past
    // the pattern's end), then the end of the list.
    std::vector<std::pair<int, int>> rows;
    for (size_t i = 0; i < ticks.size(); i += 6) rows.push_back(ticks[i]);
    ASSERT_EQ(rows.size(), size_t(6 + 9 + 64));
    EXPECT_EQ(rows[5], std::make_pair(0, 5));
    EXPECT_EQ(rows[6], std::make_pair(1, 12));
    EXPECT_EQ(rows[14], std::make_pair(1, 20));
    EXPECT_EQ(rows[15], std::make_pair(2, 0));

    // B to an order past the list ends the song instead of reading beyond it.
    Module b = OneNote();
    b.patterns[0].push_back({3, 1, 255, 0, -1, Cmd('B'), 200});
    ModulePlayer q = Load(Write(b));
    EXPECT_EQ(TickPositions(q, 100000).size(), size_t(4 * 6));
}

TEST(ModulePlayerEffects, SpeedTempoVolumeAndGlobalVolume)
{
    Module m = OneNote(64);
    m.patterns[0].push_back({1, 1, 255, 0, -1, Cmd('A'), 3});
    m.patterns[0].push_back({2, 1, 255, 0, -1, Cmd('T'), 150});
    m.patterns[0].push_back({3, 1, 255, 0, -1, Cmd('V'), 200});
    ModulePlayer p = Load(Write(m));
    auto ticks = TickPositions(p, 6 + 3 + 3 + 1);
    EXPECT_EQ(p.Speed(), 3);
    EXPECT_EQ(p.Tempo(), 150);
    EXPECT_EQ(p.FramesLeftInTick(), 0);
    EXPECT_EQ(p.GlobalVolume(), 64);  // capped
    EXPECT_EQ(ticks[6], std::make_pair(0, 1));
    EXPECT_EQ(ticks[9], std::make_pair(0, 2));
    p.ProcessTick();
    EXPECT_EQ(p.FramesLeftInTick(), 44100 * 5 / 300);
}

TEST(ModulePlayerEffects, PitchFromNoteAndC2Spd)
{
    Module m = OneNote();
    m.samples[0].c2spd = 4000;  // below 8363: slides must still move
    m.patterns[0].push_back({1, 0, 255, 0, -1, Cmd('E'), 0x10});
    ModulePlayer p = Load(Write(m));
    p.ProcessTick();
    // C-5 is one octave above the sample's own rate: the step is 2 x 4000 / 44100 in 22.10.
    EXPECT_NEAR(p.ChannelStep(0), 2.0 * 4000 / 44100 * 1024, 1.0);
    int period = p.ChannelPeriod(0);
    for (int i = 0; i < 7; ++i) p.ProcessTick();  // row 1, tick 1: one slide step
    EXPECT_GT(p.ChannelPeriod(0), period);
    EXPECT_NEAR(p.ChannelPeriod(0) - period, 16.0 * 16 * 4000 / 8363, 1.0);
}

TEST(ModulePlayerEffects, HostileNotesAndSlidesStayInRange)
{
    Module m = OneNote();
    m.patterns[0] = {{0, 0, 0xC5, 1, -1, 0, 0},    // octave 12: no note
                     {1, 0, 0x4E, 1, -1, 0, 0},    // semitone 14: no note
                     {2, 0, Note(9, 11), 1, -1, Cmd('F'), 0xDF},
                     {3, 0, 255, 0, -1, Cmd('H'), 0xFF},
                     {4, 0, Note(0, 0) | 0x10, 1, -1, Cmd('E'), 0xDF}};
    ModulePlayer p = Load(Write(m));
    p.ProcessTick();
    EXPECT_EQ(p.ChannelPeriod(0), 0);  // nothing sounds before a valid note
    std::vector<int16_t> buf(5292 * 2);
    for (int row = 0; row < 8; ++row) {
        p.Render(buf.data(), int(buf.size() * 2), nullptr);
        EXPECT_GE(p.ChannelPeriod(0), 0);
    }
    EXPECT_GT(p.ChannelPeriod(0), 0);
}

TEST(ModulePlayerEffects, InstrumentWithoutNoteResetsVolumeWithoutRestriking)
{
    Module m;
    Sample s;
    for (int i = 0; i < 20000; ++i) s.data.push_back(uint8_t(i % 2 ? 228 : 28));  // no loop
    m.samples.push_back(s);
    m.patterns[0] = {{0, 0, Note(4, 0), 1, 16, 0, 0}, {1, 0, 255, 1, -1, 0, 0}};
    ModulePlayer p = Load(Write(m));
    std::vector<int16_t> row(5292 * 2);
    auto level = [&] {
        double e = 0;
        for (int16_t v : row) e += std::abs(v);
        return e;
    };
    p.Render(row.data(), int(row.size() * 2), nullptr);
    double quiet = level();
    p.Render(row.data(), int(row.size() * 2), nullptr);
    EXPECT_NEAR(level() / quiet, 4.0, 0.1);  // volume 16 back to the instrument's 64
    // 20000 samples at 8363 Hz end after about 105600 frames: a restruck note would run on.
    std::vector<int16_t> rest(120000 * 2);
    p.Render(rest.data(), int(rest.size() * 2), nullptr);
    for (size_t i = 2 * (106000 - 2 * 5292); i < rest.size(); ++i) ASSERT_EQ(rest[i], 0) << i / 2;
}

TEST(ModulePlayerMixer, LoudChannelsSaturateInsteadOfWrapping)
{
    Module m;
    Sample s;
    s.data.assign(1000, 255);  // the largest positive value
    s.loop = true;
    s.loopEnd = 1000;
    m.samples.push_back(s);
    m.channelSettings = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
    for (int c = 0; c < 16; ++c) m.patterns[0].push_back({0, c, Note(4, 0), 1, 64, 0, 0});
    ModulePlayer p = Load(Write(m));
    p.option = 1;  // the loudest divisor there is
    std::vector<int16_t> buf(882 * 2);
    ASSERT_EQ(p.Render(buf.data(), int(buf.size() * 2), nullptr), 882);
    EXPECT_EQ(buf[100], 32767);
    EXPECT_EQ(buf[101], 32767);

    ModulePlayer q = Load(Write(m), 44100, 0, 0, 0);  // 8-bit mono
    q.option = 1;
    std::vector<uint8_t> b8(882);
    ASSERT_EQ(q.Render(b8.data(), 882, nullptr), 882);
    EXPECT_EQ(b8[100], 255);
}

TEST(ModulePlayerMixer, PanSplitsTheVolumeAndLevelsFollow)
{
    Module m = OneNote(64);
    m.channelSettings = {0, 1};
    m.pans = {0, 15};
    m.patterns[0].push_back({0, 1, Note(5, 0), 1, 32, 0, 0});
    ModulePlayer p = Load(Write(m));
    std::vector<int16_t> buf(882 * 2);
    std::vector<uint8_t> l0(44100), l1(44100);
    uint8_t* levels[2] = {l0.data(), l1.data()};
    ASSERT_EQ(p.Render(buf.data(), int(buf.size() * 2), levels), 882);
    double left = 0, right = 0;
    long sum0 = 0, sum1 = 0;
    for (int i = 0; i < 882; ++i) {
        left += std::abs(buf[2 * i]);
        right += std::abs(buf[2 * i + 1]);
        sum0 += l0[size_t(i)];
        sum1 += l1[size_t(i)];
    }
    // Channel 0 (pan 0, full volume) fills the left only; channel 1 the right at half volume.
    EXPECT_NEAR(right / left, 0.5, 0.02);
    EXPECT_GT(sum0, sum1);
    EXPECT_GT(sum1, 0);
}

TEST(ModulePlayerMixer, InterpolationAndOutputFormatsAgree)
{
    std::vector<uint8_t> image = Write(OneNote());
    std::vector<int16_t> stereo16(4410 * 2), mono16(4410);
    std::vector<uint8_t> stereo8(4410 * 2);
    ModulePlayer a = Load(image, 44100, 1, 1, 1), b = Load(image, 44100, 1, 0, 1),
                 c = Load(image, 44100, 0, 1, 1), d = Load(image, 44100, 1, 1, 0);
    ASSERT_EQ(a.Render(stereo16.data(), 4410 * 4, nullptr), 4410);
    ASSERT_EQ(b.Render(mono16.data(), 4410 * 2, nullptr), 4410);
    ASSERT_EQ(c.Render(stereo8.data(), 4410 * 2, nullptr), 4410);
    std::vector<int16_t> plain(4410 * 2);
    ASSERT_EQ(d.Render(plain.data(), 4410 * 4, nullptr), 4410);
    double diff = 0, energy = 0;
    for (int i = 0; i < 4410; ++i) {
        int mix = (stereo16[size_t(2 * i)] + stereo16[size_t(2 * i + 1)]) / 2;
        EXPECT_NEAR(mono16[size_t(i)], mix, 40);
        EXPECT_NEAR((int(stereo8[size_t(2 * i)]) - 128) * 256, stereo16[size_t(2 * i)], 300);
        diff += std::abs(plain[size_t(2 * i)] - stereo16[size_t(2 * i)]);
        energy += std::abs(stereo16[size_t(2 * i)]);
    }
    // Without interpolation the wave steps: close to the smooth one, but not the same.
    EXPECT_GT(diff, 0);
    EXPECT_LT(diff / energy, 0.2);
}

TEST(ModulePlayerMixer, SamplesWithoutLoopStopAndNoteCutsSilence)
{
    Module m = OneNote();
    m.samples[0].loop = false;
    m.samples[0].loopEnd = 0;
    ModulePlayer p = Load(Write(m));
    std::vector<int16_t> buf(4410 * 2);
    p.Render(buf.data(), int(buf.size() * 2), nullptr);
    // 256 samples at 2 x 8363 Hz last about 673 frames.
    EXPECT_NE(buf[600 * 2], 0);
    for (int i = 700; i < 4410; ++i) ASSERT_EQ(buf[size_t(2 * i)], 0) << i;

    Module cut = OneNote();
    cut.patterns[0][0].command = Cmd('S');
    cut.patterns[0][0].info = 0xC1;  // cut after 2 ticks
    ModulePlayer q = Load(Write(cut));
    q.Render(buf.data(), int(buf.size() * 2), nullptr);
    EXPECT_NE(buf[100 * 2], 0);
    for (int i = 882 * 2 + 10; i < 4410; ++i) ASSERT_EQ(buf[size_t(2 * i)], 0) << i;
}

TEST(ModulePlayerRealModules, LoadAndRenderEveryTestModule)
{
    for (const char* name : {"inside_out.s3m", "mm2flash.s3m", "stereo.s3m", "PortaAfterArp.s3m"}) {
        std::ifstream in(std::string(SOURCE_ROOT "/../shared/testdata/s3m/") + name, std::ios::binary);
        if (!in) SKIP_WITHOUT("the test modules of shared/testdata/s3m");
        std::vector<uint8_t> image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ModulePlayer p = Load(image);
        ASSERT_EQ(p.state, ModulePlayer::StateLoaded) << name;
        std::vector<int16_t> buf(44100 * 2);
        EXPECT_EQ(p.Render(buf.data(), int(buf.size() * 2), nullptr), 44100) << name;
        double energy = 0;
        for (int16_t v : buf) energy += double(v) * v;
        EXPECT_GT(energy, 0) << name;
    }
}
