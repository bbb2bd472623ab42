#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "fenwolt/Game/Engine/Sound.h"
#include "platform/dmusic/dmusic.h"
#include "platform/dmusic/dmusic_testing.h"
#include "platform/tests/dmusic/sound_builders.h"
#include "platform/tests/support/test_requirements.h"

using namespace sound_builders;
using dmusic_testing::EventKind;
namespace fs = std::filesystem;

namespace {

std::vector<std::pair<int32_t, uint32_t>> Commands;
void RecordCommand(int32_t command, uint32_t parameter) { Commands.push_back({command, parameter}); }

// A working directory holding the game's sound files (all but "wav\post.wav"), and the
// sound player started in it on the manual clock.
class SoundPlayerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        old_ = fs::current_path();
        dir_ = fs::temp_directory_path() / ("fenwolt_sound_" + std::to_string(getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_ / "wav");
        const char* effects[] = {"gasp", "whistle", "shoot", "kick", "head", "crowd",
                                 "boo",  "cheer",   "whistlel", nullptr, "foul"};
        for (int i = 0; i < 11; ++i) {
            if (!effects[i]) continue;
            ASSERT_TRUE(WriteFile((dir_ / "wav" / (std::string(effects[i]) + ".wav")).string(),
                                  MakeConstantWave(22050, 2205, int16_t(1000 * (i + 1)))));
        }
        // Music: two quarters at 480 ticks per quarter (the file says 60 beats per minute).
        std::vector<uint8_t> track = TempoEvent(0, 60);
        Append(track, TwoNoteTrack(480, 480));
        for (const char* name : {"dvxtitle.mid", "qn002.mid", "qn003.mid"})
            ASSERT_TRUE(WriteFile((dir_ / "wav" / name).string(), MakeMidi(1, 480, {track})));
        fs::current_path(dir_);

        musicOn_ = 1;
        effectsOn_ = 1;
        volume_ = 100;
        BindSoundOptions({&musicOn_, &effectsOn_, &volume_});
        BindSoundCommandPoster(&RecordCommand);
        Commands.clear();
        MusicTempo = 100;
        LastNotifiedSound = SOUND_NONE;
        dmusic_testing::UseManualClock(true);
        InitSoundPlayer();
        LoadSounds();
        ASSERT_NE(GetSoundPerformance(), nullptr);
        dmusic_testing::TakeEvents(GetSoundPerformance());
    }

    void TearDown() override
    {
        ShutdownSoundPlayer();
        dmusic_testing::UseManualClock(false);
        BindSoundOptions({});
        BindSoundCommandPoster(nullptr);
        fs::current_path(old_);
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }

    std::vector<float> Render(size_t frames) { return dmusic_testing::Render(GetSoundPerformance(), frames); }
    std::vector<dmusic_testing::Event> Events() { return dmusic_testing::TakeEvents(GetSoundPerformance()); }

    // The segments started since the last look, as sound ids, with how they were started.
    std::vector<std::pair<SoundId, bool>> Starts()
    {
        std::vector<std::pair<SoundId, bool>> out;
        for (auto& e : Events())
            if (e.kind == EventKind::SegmentStart) out.push_back({FindSoundBySegment(e.segment), e.secondary});
        return out;
    }

    fs::path old_;
    fs::path dir_;
    int32_t musicOn_ = 1;
    int32_t effectsOn_ = 1;
    int32_t volume_ = 100;
};

using Start = std::pair<SoundId, bool>;

}  // namespace

TEST_F(SoundPlayerTest, LoadsEveryFileThatExistsAndIgnoresTheMissingOne)
{
    for (SoundId id = 0; id < SOUND_COUNT; ++id) {
        if (id == SOUND_POST)
            EXPECT_EQ(GetSoundSegment(id), nullptr);
        else
            EXPECT_NE(GetSoundSegment(id), nullptr) << SoundTable[id];
    }
    EXPECT_EQ(FindSoundBySegment(GetSoundSegment(SOUND_CHEER)), SOUND_CHEER);
    EXPECT_EQ(FindSoundBySegment(nullptr), SOUND_NONE);
    // Every operation on the missing sound does nothing.
    PlaySecondarySound(SOUND_POST, true);
    PlayPrimarySound(SOUND_POST, false);
    EXPECT_EQ(StopSound(SOUND_POST), 0);
    EXPECT_FALSE(IsSoundPlaying(SOUND_POST));
    EXPECT_TRUE(Starts().empty());
    // Ids outside the table, negative ones included, are refused.
    PlaySecondarySound(-1, true);
    PlaySecondarySound(SOUND_NONE, true);
    PlayPrimarySound(-3, true);
    EXPECT_EQ(StopSound(-1), 0);
    EXPECT_EQ(StopSound(SOUND_NONE), 0);
    EXPECT_TRUE(Starts().empty());
}

TEST_F(SoundPlayerTest, MusicSwitchGatesMusicButNotEffects)
{
    musicOn_ = 0;
    PlayPrimarySound(SOUND_TITLE_MUSIC, true);
    PlaySecondarySound(SOUND_MATCH_MUSIC_1, true);
    PlaySecondarySound(SOUND_KICK, false);
    EXPECT_EQ(Starts(), (std::vector<Start>{{SOUND_KICK, true}}));
    EXPECT_FALSE(IsSoundPlaying(SOUND_TITLE_MUSIC));
    EXPECT_FALSE(IsSoundPlaying(SOUND_MATCH_MUSIC_1));
    EXPECT_TRUE(IsSoundPlaying(SOUND_KICK));

    musicOn_ = 1;
    effectsOn_ = 0;
    PlaySecondarySound(SOUND_CHEER, true);
    PlaySecondarySound(SOUND_MATCH_MUSIC_1, false);
    PlayPrimarySound(SOUND_TITLE_MUSIC, false);
    EXPECT_EQ(Starts(), (std::vector<Start>{{SOUND_MATCH_MUSIC_1, true}, {SOUND_TITLE_MUSIC, false}}));
}

TEST_F(SoundPlayerTest, RestartDecidesWhetherAPlayingEffectStartsAgain)
{
    PlaySecondarySound(SOUND_WHISTLE, false);
    PlaySecondarySound(SOUND_WHISTLE, false);
    EXPECT_EQ(Starts().size(), 1u);
    PlaySecondarySound(SOUND_WHISTLE, true);
    EXPECT_EQ(Starts().size(), 1u);
    // Both instances sound: the whistle's level (2000 / 32768) twice.
    auto out = Render(64);
    EXPECT_NEAR(out[0], 2 * 2000 / 32768.0, 1e-3);
    // A playing primary is not started again either.
    PlayPrimarySound(SOUND_TITLE_MUSIC, false);
    PlayPrimarySound(SOUND_TITLE_MUSIC, false);
    EXPECT_EQ(Starts().size(), 1u);
}

TEST_F(SoundPlayerTest, VolumeMapsToHundredthsOfADecibelAndIsClamped)
{
    auto volumes = [&] {
        std::vector<double> v;
        for (auto& e : Events())
            if (e.kind == EventKind::Volume) v.push_back(e.value);
        return v;
    };
    SetSoundVolume(50);
    SetSoundVolume(100);
    SetSoundVolume(0);
    SetSoundVolume(150);
    SetSoundVolume(-5);
    EXPECT_EQ(volumes(), (std::vector<double>{-1250, 0, -2500, 0, -2500}));
    // Playing applies the options volume first.
    volume_ = 80;
    PlaySecondarySound(SOUND_GASP, false);
    auto events = Events();
    ASSERT_GE(events.size(), 2u);
    EXPECT_EQ(events[0].kind, EventKind::Volume);
    EXPECT_EQ(events[0].value, -500);
    EXPECT_EQ(events[1].kind, EventKind::SegmentStart);
    auto out = Render(64);
    EXPECT_NEAR(out[0], 1000 / 32768.0 * std::pow(10.0, -500 / 2000.0), 1e-4);
}

TEST_F(SoundPlayerTest, MusicPlaysAtTheForcedTempo)
{
    MusicTempo = 170;
    PlayPrimarySound(SOUND_TITLE_MUSIC, false);
    auto events = Events();
    std::vector<EventKind> kinds;
    for (auto& e : events) kinds.push_back(e.kind);
    ASSERT_EQ(kinds, (std::vector<EventKind>{EventKind::Volume, EventKind::Tempo, EventKind::SegmentStart}));
    EXPECT_EQ(events[1].value, 170);
    EXPECT_EQ(events[2].value, 170);  // the file's own 60 is ignored
    Render(44100);
    std::vector<uint64_t> notes;
    for (auto& e : Events())
        if (e.kind == EventKind::NoteOn) notes.push_back(e.frame);
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_NEAR(double(notes[1] - notes[0]), 44100.0 * 60 / 170, 64);

    // Every play of a music id sends the tempo again, an effect never does.
    MusicTempo = 100;
    PlaySecondarySound(SOUND_MATCH_MUSIC_2, false);
    PlaySecondarySound(SOUND_HEAD, false);
    std::vector<double> tempos;
    for (auto& e : Events())
        if (e.kind == EventKind::Tempo) tempos.push_back(e.value);
    EXPECT_EQ(tempos, (std::vector<double>{100}));
}

TEST_F(SoundPlayerTest, EndOfAPieceReachesTheScreenAndClearsItsFlag)
{
    MusicTempo = 120;  // the piece lasts one second
    PlayPrimarySound(SOUND_MATCH_MUSIC_1, false);
    EXPECT_EQ(Starts().size(), 1u);
    EXPECT_TRUE(IsSoundPlaying(SOUND_MATCH_MUSIC_1));
    EXPECT_TRUE(PollSoundEvents());
    EXPECT_EQ(Commands, (std::vector<std::pair<int32_t, uint32_t>>{{SOUND_NOTIFY_COMMAND, 0}}));
    // The start names its sound too.
    EXPECT_EQ(LastNotifiedSound, SOUND_MATCH_MUSIC_1);
    Commands.clear();
    LastNotifiedSound = SOUND_NONE;
    EXPECT_FALSE(PollSoundEvents());

    Render(22050);
    EXPECT_FALSE(PollSoundEvents());
    EXPECT_TRUE(IsSoundPlaying(SOUND_MATCH_MUSIC_1));
    Render(30000);
    EXPECT_TRUE(PollSoundEvents());
    EXPECT_EQ(Commands, (std::vector<std::pair<int32_t, uint32_t>>{{SOUND_NOTIFY_COMMAND, 2}, {SOUND_NOTIFY_COMMAND, 1}}));
    EXPECT_EQ(LastNotifiedSound, SOUND_MATCH_MUSIC_1);
    EXPECT_FALSE(IsSoundPlaying(SOUND_MATCH_MUSIC_1));
    EXPECT_FALSE(PollSoundEvents());
    // Finished, it may play again.
    PlayPrimarySound(SOUND_MATCH_MUSIC_1, false);
    EXPECT_EQ(Starts().size(), 1u);
}

TEST_F(SoundPlayerTest, LoopedPrimaryKeepsPlayingUntilStopped)
{
    MusicTempo = 240;  // half a second a pass
    PlayPrimarySound(SOUND_TITLE_MUSIC, true);
    Render(44100 * 3);
    EXPECT_TRUE(PollSoundEvents());
    EXPECT_TRUE(IsSoundPlaying(SOUND_TITLE_MUSIC));
    for (auto& c : Commands) {
        EXPECT_NE(c.second, 1u);
        EXPECT_NE(c.second, 2u);
    }
    EXPECT_GE(Commands.size(), 6u);  // the start and the loops
    Commands.clear();
    EXPECT_EQ(StopSound(SOUND_TITLE_MUSIC), 1);
    EXPECT_FALSE(IsSoundPlaying(SOUND_TITLE_MUSIC));
    EXPECT_TRUE(PollSoundEvents());
    EXPECT_EQ(Commands, (std::vector<std::pair<int32_t, uint32_t>>{{SOUND_NOTIFY_COMMAND, 4}}));
    EXPECT_EQ(LastNotifiedSound, SOUND_TITLE_MUSIC);
}

TEST_F(SoundPlayerTest, NewPrimaryAbortsTheOldOneAndSecondariesCarryOn)
{
    PlayPrimarySound(SOUND_TITLE_MUSIC, true);
    PlaySecondarySound(SOUND_CROWD, false);
    PlayPrimarySound(SOUND_MATCH_MUSIC_2, true);
    EXPECT_EQ(Starts(), (std::vector<Start>{{SOUND_TITLE_MUSIC, false}, {SOUND_CROWD, true}, {SOUND_MATCH_MUSIC_2, false}}));
    EXPECT_TRUE(PollSoundEvents());
    EXPECT_FALSE(IsSoundPlaying(SOUND_TITLE_MUSIC));
    EXPECT_TRUE(IsSoundPlaying(SOUND_CROWD));
    EXPECT_TRUE(IsSoundPlaying(SOUND_MATCH_MUSIC_2));
    ASSERT_EQ(Commands.size(), 4u);
    EXPECT_EQ(Commands[2].second, 4u);  // the title music's abort comes before the new start

    StopAllSounds();
    for (SoundId id = 0; id < SOUND_COUNT; ++id) EXPECT_FALSE(IsSoundPlaying(id));
    auto out = Render(4096);
    double peak = 0;
    for (float v : out) peak = std::max(peak, double(std::fabs(v)));
    EXPECT_EQ(peak, 0.0);
}

// The game's generated data set, when it has been built: every sound loads.
TEST(SoundPlayerData, LoadsTheGeneratedDataSet)
{
    fs::path data = fs::path(BUILD_ROOT) / "data" / "fenwolt";
    if (!fs::exists(data / "wav") && !fs::exists(data / "WAV")) SKIP_WITHOUT("the generated data set") << "build the fenwolt-data target";
    fs::path old = fs::current_path();
    fs::current_path(data);
    dmusic_testing::UseManualClock(true);
    InitSoundPlayer();
    LoadSounds();
    for (SoundId id = 0; id < SOUND_COUNT; ++id) EXPECT_NE(GetSoundSegment(id), nullptr) << SoundTable[id];
    ShutdownSoundPlayer();
    dmusic_testing::UseManualClock(false);
    fs::current_path(old);
}

// Through SDL's disk driver: title music really comes out of the audio device.
TEST(SoundPlayerOutput, TitleMusicIsAudible)
{
    fs::path old = fs::current_path();
    fs::path dir = fs::temp_directory_path() / ("fenwolt_sound_disk_" + std::to_string(getpid()));
    fs::create_directories(dir / "wav");
    std::vector<uint8_t> track = {0x00, 0xC0, 0x00};
    for (int i = 0; i < 8; ++i) {
        Append(track, {0x00, 0x90, uint8_t(60 + i), 110});
        Append(track, Vlq(240));
        Append(track, {0x80, uint8_t(60 + i), 0});
    }
    ASSERT_TRUE(WriteFile((dir / "wav" / "dvxtitle.mid").string(), MakeMidi(0, 480, {track})));
    fs::path raw = dir / "out.raw";
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", raw.c_str(), 1);
    fs::current_path(dir);
    BindSoundOptions({});
    InitSoundPlayer();
    LoadSounds();
    ASSERT_NE(GetSoundSegment(SOUND_TITLE_MUSIC), nullptr);
    MusicTempo = 170;
    PlayPrimarySound(SOUND_TITLE_MUSIC, true);
    // The driver writes in real time: 700 ms of it, and on a loaded machine as long as it takes
    // for the file to hold a few tenths of a second of sound (a minute at most).
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    for (int i = 0; i < 600 && (!fs::exists(raw) || fs::file_size(raw) < 65536); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ShutdownSoundPlayer();
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    fs::current_path(old);

    std::ifstream in(raw, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GE(bytes.size(), 8192u);
    double sumSquares = 0;
    size_t count = bytes.size() / 4;
    for (size_t i = 0; i < count; ++i) {
        float v;
        std::memcpy(&v, bytes.data() + i * 4, 4);
        sumSquares += double(v) * v;
    }
    EXPECT_GT(std::sqrt(sumSquares / double(count)), 0.005);
    std::error_code ec;
    fs::remove_all(dir, ec);
}

// Without a working audio device the set-up fails part way; the game goes on, silent.
TEST(SoundPlayerFailure, NoAudioDeviceLeavesTheGameRunningSilently)
{
    fs::path old = fs::current_path();
    fs::path dir = fs::temp_directory_path() / ("fenwolt_sound_none_" + std::to_string(getpid()));
    fs::create_directories(dir / "wav");
    ASSERT_TRUE(WriteFile((dir / "wav" / "kick.wav").string(), MakeConstantWave(44100, 100, 1000)));
    fs::current_path(dir);
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    BindSoundOptions({});
    BindSoundCommandPoster(&RecordCommand);
    Commands.clear();
    InitSoundPlayer();
    LoadSounds();
    EXPECT_NE(GetSoundSegment(SOUND_KICK), nullptr);
    PlaySecondarySound(SOUND_KICK, true);
    PlayPrimarySound(SOUND_TITLE_MUSIC, true);
    SetSoundVolume(40);
    EXPECT_FALSE(PollSoundEvents());
    EXPECT_EQ(StopSound(SOUND_KICK), 1);
    StopAllSounds();
    ShutdownSoundPlayer();
    EXPECT_TRUE(Commands.empty());
    BindSoundCommandPoster(nullptr);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    fs::current_path(old);
    std::error_code ec;
    fs::remove_all(dir, ec);
}
