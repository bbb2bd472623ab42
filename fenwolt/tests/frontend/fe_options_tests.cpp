// The options record and its file (missing, short, hostile, round trip, a write that fails), the
// slider's ends and the switches of both options screens.
#include "fe_a_support.h"
#include "fe_records_support.h"

#include "fenwolt/Game/FrontEnd/FileReplace.h"
#include "fenwolt/Game/FrontEnd/Options.h"
#include "fenwolt/Game/GameApp.h"
#include "fenwolt/Game/Match/Hud.h"
#include "fenwolt/Game/Match/MatchRecords.h"
#include "fenwolt/Game/Engine/Shadows.h"
#include "fenwolt/Game/Engine/Sprites.h"

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

std::vector<uint8_t> ImageOf(const OptionsRecord& o)
{
    std::vector<uint8_t> bytes(sizeof(o));
    std::memcpy(bytes.data(), &o, sizeof(o));
    return bytes;
}

void PutInt(std::vector<uint8_t>& image, size_t offset, int32_t value) { std::memcpy(&image[offset], &value, 4); }

std::vector<uint8_t> FileBytes(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

class OptionsFileTest : public FrontEndATest {
protected:
    void SetUp() override
    {
        FrontEndATest::SetUp();
        if (HasFatalFailure()) return;
        TheApp.DepthStencilFormat = D3DFMT_D24S8;
    }
    void TearDown() override
    {
        Options = OptionsRecord{};
        TextureQuality = 0;
        FrontEndATest::TearDown();
    }
};

}  // namespace

TEST_F(OptionsFileTest, WithoutAFileTheDefaultsHoldAndA16BitDepthBufferTurnsShadowsOff)
{
    Options.volume = 3;
    InitOptions();
    EXPECT_EQ(Options.musicOn, 1);
    EXPECT_EQ(Options.effectsOn, 1);
    EXPECT_EQ(Options.volume, 100);
    EXPECT_EQ(Options.ShowCrowd, 1);
    EXPECT_EQ(Options.PlayerInfoPanel, 1);
    EXPECT_EQ(Options.shadowsOn, 1);
    EXPECT_EQ(Options.reservedCycle, 2);
    EXPECT_EQ(ShadowOption, 1);
    EXPECT_FALSE(LoadOptions());

    TheApp.DepthStencilFormat = D3DFMT_D16;
    InitOptions();
    EXPECT_EQ(Options.shadowsOn, 0);
    // The file's word does not override it.
    std::vector<uint8_t> image = ImageOf(OptionsRecord{});
    dir.Write("saves/fenwolt.opt", image);
    InitOptions();
    EXPECT_EQ(Options.shadowsOn, 0);
    EXPECT_EQ(ShadowOption, 0);
}

TEST_F(OptionsFileTest, AShortFileReplacesOnlyTheBytesItHolds)
{
    OptionsRecord stored;
    stored.musicOn = 0;
    stored.effectsOn = 0;
    stored.volume = 40;
    std::vector<uint8_t> image = ImageOf(stored);
    image.resize(26);  // up to half of the volume
    dir.Write("saves/fenwolt.opt", image);
    InitOptions();
    EXPECT_EQ(Options.musicOn, 0);
    EXPECT_EQ(Options.effectsOn, 0);
    EXPECT_EQ(Options.volume, 40) << "the low bytes of 40 over the default's high bytes";
    EXPECT_EQ(Options.PlayerInfoPanel, 1);
    EXPECT_EQ(Options.ShowCrowd, 1);

    dir.Write("saves/fenwolt.opt", std::string());
    InitOptions();
    EXPECT_EQ(Options.musicOn, 1);
    // A longer file gives its first 56 bytes.
    image = ImageOf(stored);
    image.resize(100, 0xEE);
    dir.Write("saves/fenwolt.opt", image);
    InitOptions();
    EXPECT_EQ(Options.volume, 40);
}

TEST_F(OptionsFileTest, AHostileFileIsRangeCheckedFieldByField)
{
    std::vector<uint8_t> image = ImageOf(OptionsRecord{});
    PutInt(image, offsetof(OptionsRecord, musicOn), 2);
    PutInt(image, offsetof(OptionsRecord, effectsOn), -7);
    PutInt(image, offsetof(OptionsRecord, volume), 1000);
    PutInt(image, offsetof(OptionsRecord, textureQuality), 9);
    PutInt(image, offsetof(OptionsRecord, shadowsOn), -1);
    PutInt(image, offsetof(OptionsRecord, ShowCrowd), 0x7FFFFFFF);
    image[offsetof(OptionsRecord, BeginnersCamera)] = 0xFF;
    image[offsetof(OptionsRecord, FollowBallAtEndTurn)] = 0;
    PutInt(image, offsetof(OptionsRecord, PitchLevelView), 5);
    PutInt(image, offsetof(OptionsRecord, PlayerInfoPanel), 7);
    PutInt(image, offsetof(OptionsRecord, renderSetting), 12345);
    dir.Write("saves/fenwolt.opt", image);
    InitOptions();
    EXPECT_EQ(Options.musicOn, 1);
    EXPECT_EQ(Options.effectsOn, 1);
    // A number out of its range takes the nearer end of it.
    EXPECT_EQ(Options.volume, 100);
    EXPECT_EQ(Options.textureQuality, 1);
    EXPECT_EQ(Options.shadowsOn, 0);
    EXPECT_EQ(Options.ShowCrowd, 1);
    EXPECT_EQ(Options.BeginnersCamera, 1);
    EXPECT_EQ(Options.FollowBallAtEndTurn, 0);
    EXPECT_EQ(Options.PitchLevelView, 1);
    EXPECT_EQ(Options.PlayerInfoPanel, 3);
    EXPECT_EQ(Options.renderSetting, 12345) << "a field no screen offers is kept as stored";

    // A stored 2 switches off with one press, as any other "on".
    SetScreen(ScreenId::Options);
    SendToScreen(WM_LBUTTONDOWN, CentreX(209), CentreY(209));
    EXPECT_EQ(Options.musicOn, 0);
    EXPECT_EQ(TextOf(209), "Off");
}

// The nearer end, never the default nor the far end: a volume of -1000 is silence.
TEST_F(OptionsFileTest, NumbersOutOfRangeAreReadAndWrittenAtTheirNearerEnd)
{
    const struct {
        int32_t volume, panel, shadows;
        int32_t wantVolume, wantPanel, wantShadows;
    } cases[] = {{-1000, -1, -5, 0, 0, 0},
                 {INT32_MIN, INT32_MIN, INT32_MIN, 0, 0, 0},
                 {INT32_MAX, INT32_MAX, INT32_MAX, 100, 3, 2},
                 {101, 4, 3, 100, 3, 2},
                 {37, 2, 1, 37, 2, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.volume);
        std::vector<uint8_t> image = ImageOf(OptionsRecord{});
        PutInt(image, offsetof(OptionsRecord, volume), c.volume);
        PutInt(image, offsetof(OptionsRecord, PlayerInfoPanel), c.panel);
        PutInt(image, offsetof(OptionsRecord, shadowsOn), c.shadows);
        dir.Write("saves/fenwolt.opt", image);
        InitOptions();
        EXPECT_EQ(Options.volume, c.wantVolume);
        EXPECT_EQ(Options.PlayerInfoPanel, c.wantPanel);
        EXPECT_EQ(Options.shadowsOn, c.wantShadows);
        EXPECT_FLOAT_EQ(VolumeKnobX(Options.volume), 400.f + 1.6f * (float)c.wantVolume);
    }

    // What is written is in range too, whatever the record held.
    Options.volume = -1000;
    Options.PlayerInfoPanel = 9;
    Options.textureQuality = -3;
    ASSERT_TRUE(SaveOptions());
    const std::vector<uint8_t> written = FileBytes("saves/fenwolt.opt");
    ASSERT_EQ(written.size(), 56u);
    OptionsRecord stored;
    std::memcpy(&stored, written.data(), sizeof stored);
    EXPECT_EQ(stored.volume, 0);
    EXPECT_EQ(stored.PlayerInfoPanel, 3);
    EXPECT_EQ(stored.textureQuality, 0);
}

// Closing the window writes the options when an options screen takes the input, as its way back
// does; on any other screen it writes nothing.
TEST_F(OptionsFileTest, ClosingOverAnOptionsScreenWritesTheOptions)
{
    InitOptions();
    SetScreen(ScreenId::StartMenu);
    SaveOptionsOnClose();
    EXPECT_FALSE(std::filesystem::exists("saves/fenwolt.opt"));

    SetScreen(ScreenId::Options);
    SendToScreen(WM_LBUTTONDOWN, CentreX(217), CentreY(217));  // Show Crowd: Off
    SaveOptionsOnClose();
    ASSERT_TRUE(std::filesystem::exists("saves/fenwolt.opt"));
    EXPECT_EQ(FileBytes("saves/fenwolt.opt"), ImageOf(Options));
    EXPECT_EQ(Options.ShowCrowd, 0);

    std::filesystem::remove("saves/fenwolt.opt");
    SetScreen(ScreenId::StartMenu);
    OpenPopupScreen(ScreenId::GameOptions);
    Options.FollowBallAtEndTurn = 0;
    SaveOptionsOnClose();
    EXPECT_EQ(FileBytes("saves/fenwolt.opt"), ImageOf(Options));
    ClosePopupScreen();
}

TEST_F(OptionsFileTest, LeavingWritesTheRecordWholeAndAFailedWriteKeepsTheOldFile)
{
    InitOptions();
    Options.volume = 55;
    Options.PlayerInfoPanel = 3;
    Options.FollowBallAtEndTurn = 0;
    SetScreen(ScreenId::Options);
    SendToScreen(WM_LBUTTONDOWN, CentreX(220), CentreY(220));
    EXPECT_EQ(CurrentScreenId, (int32_t)ScreenId::StartMenu);
    const std::vector<uint8_t> written = FileBytes("saves/fenwolt.opt");
    EXPECT_EQ(written, ImageOf(Options));
    EXPECT_FALSE(std::filesystem::exists(TemporaryNameOf("saves/fenwolt.opt")));

    Options = OptionsRecord{};
    InitOptions();
    EXPECT_EQ(Options.volume, 55);
    EXPECT_EQ(Options.PlayerInfoPanel, 3);
    EXPECT_EQ(Options.FollowBallAtEndTurn, 0);

    // The new file cannot be made: the old one stays as it was.
    std::filesystem::create_directory(TemporaryNameOf("saves/fenwolt.opt"));
    Options.volume = 5;
    EXPECT_FALSE(SaveOptions());
    EXPECT_EQ(FileBytes("saves/fenwolt.opt"), written);
    std::filesystem::remove(TemporaryNameOf("saves/fenwolt.opt"));

    // No saves folder at all: it is made.
    std::filesystem::remove_all("saves");
    EXPECT_TRUE(SaveOptions());
    EXPECT_EQ(FileBytes("saves/fenwolt.opt").size(), 56u);
}

// Every field of the record, each with a value of its own, is saved, given another value and
// loaded back: each must come back as it was saved, in its own place. The switches take their
// turn over as many rounds as it takes to tell every two of them apart.
TEST_F(OptionsFileTest, EveryFieldComesBackAsItWasSavedAndInItsOwnPlace)
{
    const RoundTripResult r =
        RoundTripEveryField([](FieldVisitor& visit) { WalkOptions(visit, Options); }, SaveOptions, LoadOptions);
    EXPECT_EQ(r.faults, "");
    EXPECT_EQ(r.fields, 17);
}

TEST_F(OptionsFileTest, TheSliderReachesBothEnds)
{
    EXPECT_EQ(VolumeForMouseX(0), 0);
    EXPECT_EQ(VolumeForMouseX(400), 0);
    EXPECT_EQ(VolumeForMouseX(402), 0);
    EXPECT_EQ(VolumeForMouseX(480), 50);
    EXPECT_EQ(VolumeForMouseX(559), 99);
    EXPECT_EQ(VolumeForMouseX(560), 100);
    EXPECT_EQ(VolumeForMouseX(800), 100);
    EXPECT_FLOAT_EQ(VolumeKnobX(0), 400.f);
    EXPECT_FLOAT_EQ(VolumeKnobX(100), 560.f);

    InitOptions();
    SetScreen(ScreenId::Options);
    const Sprite* bar = SpriteAt(321);
    ASSERT_TRUE(Created(321));
    // The bar's first and last pixels.
    SendToScreen(WM_LBUTTONDOWN, bar->ScreenRect.left, CentreY(321));
    EXPECT_EQ(Options.volume, 0);
    EXPECT_FLOAT_EQ(SpriteAt(323)->X, 400.f);
    SendToScreen(WM_LBUTTONDOWN, bar->ScreenRect.right, CentreY(321));
    EXPECT_EQ(Options.volume, 100);
    EXPECT_FLOAT_EQ(SpriteAt(323)->X, 560.f);
}

TEST_F(OptionsFileTest, TheSwitchesShowOnWhileTheirValueIsOn)
{
    InitOptions();
    SetScreen(ScreenId::Options);
    EXPECT_EQ(TextOf(209), "On");
    EXPECT_EQ(TextOf(210), "On");
    EXPECT_EQ(TextOf(217), "On");
    SendToScreen(WM_LBUTTONDOWN, CentreX(210), CentreY(210));
    SendToScreen(WM_LBUTTONDOWN, CentreX(217), CentreY(217));
    EXPECT_EQ(Options.effectsOn, 0);
    EXPECT_EQ(Options.ShowCrowd, 0);
    EXPECT_EQ(TextOf(210), "Off");
    EXPECT_EQ(TextOf(217), "Off");
}

namespace {

int g_belowMessages = 0;
void BelowHandler(int32_t) { ++g_belowMessages; }

// The in-match options over a stand-in for the match: its HUD panel in its three sizes.
class GameOptionsTest : public OptionsFileTest {
protected:
    void SetUp() override
    {
        OptionsFileTest::SetUp();
        if (HasFatalFailure()) return;
        InitOptions();
        SetScreen(4);
        UseWhiteTextColours();
        for (unsigned h = SPRITE_PANEL_SMALL; h <= SPRITE_PANEL_LARGE + 2; ++h)
            CreateTextSprite(h, 10.f, 467.f + (float)(h - SPRITE_PANEL_SMALL), 2, "panel", 0);
        for (unsigned h = SPRITE_ICON_BALL; h <= SPRITE_ICON_DOWN; ++h) CreateTextSprite(h, 120.f, 480.f, 2, "i", 0);
        for (unsigned h = SPRITE_INFO_FIRST; h <= SPRITE_INFO_LAST; ++h) CreateTextSprite(h, 20.f, 500.f, 2, "line", 0);
        SubstitutionMode = 0;
        Options.PlayerInfoPanel = 3;
        ShowInfoPanelGroup(3);
        SetScreenMessageHandler(BelowHandler);
        MatchScreenActive = 1;
    }
    static void Press(unsigned handle) { SendToScreen(WM_LBUTTONDOWN, CentreX(handle), CentreY(handle)); }
    static std::vector<int> PanelFlags()
    {
        std::vector<int> all = SpriteFlags();
        return std::vector<int>(all.begin() + SPRITE_PANEL_SMALL, all.begin() + SPRITE_INFO_LAST + 1);
    }
};

}  // namespace

TEST_F(GameOptionsTest, CentrePlayerAndPitchLevelViewFollowEachOtherAndTheSwitchesRead)
{
    Options.CentrePlayerWhenSelected = 0;
    Options.PitchLevelView = 0;
    OpenPopupScreen(ScreenId::GameOptions);
    EXPECT_EQ(TextOf(1519), "On");
    EXPECT_EQ(TextOf(1521), "Off");
    EXPECT_EQ(TextOf(1522), "Off");
    EXPECT_EQ(TextOf(1523), "Full");
    Press(1521);
    EXPECT_EQ(Options.CentrePlayerWhenSelected, 1);
    EXPECT_EQ(Options.PitchLevelView, 1);
    EXPECT_EQ(TextOf(1521), "On");
    EXPECT_EQ(TextOf(1522), "On");
    Press(1522);
    EXPECT_EQ(Options.PitchLevelView, 0);
    EXPECT_EQ(Options.CentrePlayerWhenSelected, 0);
    Press(1520);
    EXPECT_EQ(Options.FollowBallAtEndTurn, 0);
    EXPECT_EQ(TextOf(1520), "Off");
    // The panel size cycles through its four values.
    Press(1523);
    EXPECT_EQ(Options.PlayerInfoPanel, 0);
    EXPECT_EQ(TextOf(1523), "Off");
    Press(1523);
    EXPECT_EQ(TextOf(1523), "Small");
    EXPECT_EQ(g_belowMessages, 0);
}

TEST_F(GameOptionsTest, ClosingRestoresTheMatchWithThePanelAtItsNewSize)
{
    const std::vector<int> before = SpriteFlags();
    OpenPopupScreen(ScreenId::GameOptions);
    Press(1523);  // 3 -> 0
    Press(1523);  // -> 1, small
    Press(1620);
    EXPECT_FALSE(PopupOpen);
    EXPECT_EQ(MatchScreenActive, 1);
    EXPECT_TRUE(SceneVisible);
    EXPECT_EQ(ScreenMessageHandler, BelowHandler);
    EXPECT_EQ(FileBytes("saves/fenwolt.opt"), ImageOf(Options));
    // Only the small frame and the first column: nothing of the full panel comes back.
    for (unsigned h = SPRITE_PANEL_SMALL; h <= SPRITE_PANEL_LARGE + 2; ++h)
        EXPECT_EQ(Visible(h), h < SPRITE_PANEL_MEDIUM) << h;
    for (unsigned h = SPRITE_INFO_FIRST; h <= SPRITE_INFO_LAST; ++h)
        EXPECT_EQ(Visible(h), h <= SPRITE_INFO_FIRST + 5) << h;
    // Everything else of the screen below is as it was.
    std::vector<int> after = SpriteFlags();
    for (unsigned h = SPRITE_PANEL_SMALL; h <= SPRITE_INFO_LAST; ++h) after[h] = before[h];
    EXPECT_EQ(after, before);

    // Back to the full size: the same flags as before the first opening.
    OpenPopupScreen(ScreenId::GameOptions);
    Press(1523);
    Press(1523);
    Press(1620);
    EXPECT_EQ(SpriteFlags(), before);

    // Off: the panel goes.
    OpenPopupScreen(ScreenId::GameOptions);
    Press(1523);
    Press(1620);
    for (unsigned h = SPRITE_PANEL_SMALL; h <= SPRITE_INFO_LAST; ++h) EXPECT_FALSE(Visible(h)) << h;
    EXPECT_EQ(InfoPanelShown, 0);
}
