#include "fenwolt/Game/FrontEnd/Options.h"

#include "fenwolt/Game/FrontEnd/ConfirmBox.h"
#include "fenwolt/Game/FrontEnd/FileReplace.h"
#include "fenwolt/Game/FrontEnd/GameType.h"
#include "fenwolt/Game/GameApp.h"
#include "fenwolt/Game/Match/Banners.h"
#include "fenwolt/Game/Match/Hud.h"
#include "fenwolt/Game/Match/MatchRecords.h"
#include "fenwolt/Game/Match/Previews.h"
#include "fenwolt/Game/Match/TurnEngine.h"
#include "fenwolt/Game/Screens.h"
#include "fenwolt/Game/Engine/Shadows.h"
#include "fenwolt/Game/Engine/Sound.h"
#include "fenwolt/Game/Engine/Sprites.h"
#include "fenwolt/Game/Engine/Texts.h"
#include "fenwolt/common/Utilities.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>

OptionsRecord Options;
uint8_t OptionsOpenedFromStartMenu = 0;

namespace {

enum : TextId {
    TEXT_SOUND = 294,
    TEXT_MUSIC = 295,
    TEXT_EFFECTS = 296,
    TEXT_VOLUME = 297,
    TEXT_RETURN = 303,
    TEXT_MUSIC_OFF = 304,
    TEXT_MUSIC_ON = 305,
    TEXT_SWITCH_ON = 306,
    TEXT_SWITCH_OFF = 307,
};

// The options screen reached from the start menu.
enum OptionsSprite : unsigned {
    OPT_HEADING = 201,
    OPT_MUSIC_LABEL = 202,
    OPT_EFFECTS_LABEL = 203,
    OPT_VOLUME_LABEL = 205,
    OPT_OTHER = 206,
    OPT_MUSIC = 209,
    OPT_EFFECTS = 210,
    OPT_CROWD_LABEL = 216,
    OPT_CROWD = 217,
    OPT_CREDITS = 219,
    OPT_RETURN = 220,
    OPT_BAR = 321,
    OPT_KNOB = 323,
};

// The in-match options pop-up.
enum GameOptionsSprite : unsigned {
    GOPT_BACKGROUND = 1500,
    GOPT_HEADING = 1501,
    GOPT_MUSIC_LABEL = 1502,
    GOPT_EFFECTS_LABEL = 1503,
    GOPT_VOLUME_LABEL = 1505,
    GOPT_MUSIC = 1506,
    GOPT_EFFECTS = 1507,
    GOPT_OTHER = 1509,
    GOPT_CROWD_LABEL = 1510,
    GOPT_CROWD = 1511,
    GOPT_BAR = 1512,
    GOPT_KNOB = 1513,
    GOPT_BEGINNERS_LABEL = 1514,
    GOPT_FOLLOW_LABEL = 1515,
    GOPT_CENTRE_LABEL = 1516,
    GOPT_PITCH_LABEL = 1517,
    GOPT_PANEL_LABEL = 1518,
    GOPT_BEGINNERS = 1519,
    GOPT_FOLLOW = 1520,
    GOPT_CENTRE = 1521,
    GOPT_PITCH = 1522,
    GOPT_PANEL = 1523,
    GOPT_RETURN = 1620,
};

// The slider: the bar's picture is 168 pixels wide from x 402; 160 pixels of mouse travel from
// x 400 give the volume 0..100.
constexpr float SLIDER_LEFT = 400.f;
constexpr int32_t SLIDER_BAR_LEFT = 402;
constexpr int32_t SLIDER_RIGHT = 560;
constexpr float PIXELS_PER_VOLUME_STEP = 1.6f;

int32_t Flipped(int32_t value) { return value ? 0 : 1; }
uint8_t Flipped(uint8_t value) { return value ? 0 : 1; }

// Every on/off switch reads "On" while its value is non-zero.
const char* SwitchText(int32_t value) { return GetText(value ? TEXT_SWITCH_ON : TEXT_SWITCH_OFF); }

void CreateSlider(unsigned bar, unsigned knob, float barY, float knobY)
{
    SpriteImageWidth = 256;
    SpriteImageHeight = 256;
    CreateImageSprite(bar, 402.f, barY, 168.f, 8.f, "interface\\controls.tga", MakeRect(2, 134, 170, 142), 0);
    CreateImageSprite(knob, VolumeKnobX(Options.volume), knobY, 11.f, 26.f, "interface\\controls.tga",
                      MakeRect(122, 228, 133, 254), 0);
}

void PressSlider(unsigned knob, float knobY)
{
    Options.volume = VolumeForMouseX(MouseX);
    PlaceSprite(knob, VolumeKnobX(Options.volume), knobY);
    ApplySoundVolume();
}

void ToggleMusic()
{
    Options.musicOn = Flipped(Options.musicOn);
    if (Options.musicOn)
        PlaySecondarySound(SOUND_MATCH_MUSIC_2, false);
    else
        StopSound(SOUND_MATCH_MUSIC_2);
}

void ShowSwitchTexts()
{
    UseGreenTextColours();
    SetSpriteText(OPT_MUSIC, GetText(Options.musicOn ? TEXT_MUSIC_ON : TEXT_MUSIC_OFF));
    SetSpriteText(OPT_EFFECTS, SwitchText(Options.effectsOn));
    SetSpriteText(OPT_CROWD, SwitchText(Options.ShowCrowd));
}

const char* PanelSizeText(int32_t size)
{
    static const char* const kSizes[4] = {"Off", "Small", "Medium", "Full"};
    return size >= 0 && size <= 3 ? kSizes[size] : kSizes[0];
}

void ShowGameSwitchTexts()
{
    UseGreenTextColours();
    SetSpriteText(GOPT_MUSIC, GetText(Options.musicOn ? TEXT_MUSIC_ON : TEXT_MUSIC_OFF));
    SetSpriteText(GOPT_EFFECTS, SwitchText(Options.effectsOn));
    SetSpriteText(GOPT_CROWD, SwitchText(Options.ShowCrowd));
    SetSpriteText(GOPT_BEGINNERS, SwitchText(Options.BeginnersCamera));
    SetSpriteText(GOPT_FOLLOW, SwitchText(Options.FollowBallAtEndTurn));
    SetSpriteText(GOPT_CENTRE, SwitchText(Options.CentrePlayerWhenSelected));
    SetSpriteText(GOPT_PITCH, SwitchText(Options.PitchLevelView));
    SetSpriteText(GOPT_PANEL, PanelSizeText(Options.PlayerInfoPanel));
}

// The highlight that follows the mouse over the buttons of an options screen.
template <size_t N>
void HoverAmong(const unsigned (&buttons)[N])
{
    const SpriteHandle hit = TheApp.HitTestSprites();
    HoverSprite(hit, std::find(std::begin(buttons), std::end(buttons), hit) != std::end(buttons));
}

// The match's text colours while the pop-up's own are set.
void RunInMatchColours(void (*what)())
{
    const TextColourScheme mine = TextColours;
    TextColours = ScreenBelowTextColours;
    what();
    TextColours = mine;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
void NormaliseOptions(OptionsRecord& o)
{
    o.musicOn = o.musicOn ? 1 : 0;
    o.effectsOn = o.effectsOn ? 1 : 0;
    o.volume = std::clamp<int32_t>(o.volume, 0, 100);
    o.textureQuality = std::clamp<int32_t>(o.textureQuality, 0, 1);
    o.shadowsOn = std::clamp<int32_t>(o.shadowsOn, 0, 2);
    o.ShowCrowd = o.ShowCrowd ? 1 : 0;
    o.BeginnersCamera = o.BeginnersCamera ? 1 : 0;
    o.FollowBallAtEndTurn = o.FollowBallAtEndTurn ? 1 : 0;
    o.CentrePlayerWhenSelected = o.CentrePlayerWhenSelected ? 1 : 0;
    o.PitchLevelView = o.PitchLevelView ? 1 : 0;
    o.PlayerInfoPanel = std::clamp<int32_t>(o.PlayerInfoPanel, 0, 3);
    // Shadows on a 16-bit depth buffer stay off whatever the file says.
    if (TheAppConstructed() && TheApp.DepthStencilFormat == (uint32_t)D3DFMT_D16) o.shadowsOn = 0;
}

void ReadOptionsImage(OptionsRecord& record, const uint8_t* data, size_t size)
{
    if (!data) return;
    if (size > OPTIONS_FILE_SIZE) size = OPTIONS_FILE_SIZE;
    // Only the bytes present replace the record's; a field cut short mixes the file's low bytes
    // with the high bytes it held.
    OptionsRecord in = record;
    std::memcpy(&in, data, size);
    // Switches: any non-zero value is on.
    auto takeSwitch = [&](size_t offset, auto& field, auto incoming) {
        if (size > offset) field = incoming ? 1 : 0;
    };
    // Values with a range: one outside it takes the nearer end (a volume of -1000 is silence,
    // never the loudest).
    auto takeRange = [](int32_t& field, int32_t incoming, int32_t low, int32_t high) {
        field = std::clamp(incoming, low, high);
    };
    takeSwitch(offsetof(OptionsRecord, musicOn), record.musicOn, in.musicOn);
    takeSwitch(offsetof(OptionsRecord, effectsOn), record.effectsOn, in.effectsOn);
    // Fields no screen offers are kept as the file has them.
    record.reservedToggle = in.reservedToggle;
    record.reserved0 = in.reserved0;
    record.renderSetting = in.renderSetting;
    record.reservedCycle = in.reservedCycle;
    record.reserved1 = in.reserved1;
    record.padding = in.padding;
    takeRange(record.volume, in.volume, 0, 100);
    takeRange(record.textureQuality, in.textureQuality, 0, 1);
    takeRange(record.shadowsOn, in.shadowsOn, 0, 2);
    takeSwitch(offsetof(OptionsRecord, ShowCrowd), record.ShowCrowd, in.ShowCrowd);
    takeSwitch(offsetof(OptionsRecord, BeginnersCamera), record.BeginnersCamera, in.BeginnersCamera);
    takeSwitch(offsetof(OptionsRecord, FollowBallAtEndTurn), record.FollowBallAtEndTurn, in.FollowBallAtEndTurn);
    takeSwitch(offsetof(OptionsRecord, CentrePlayerWhenSelected), record.CentrePlayerWhenSelected,
               in.CentrePlayerWhenSelected);
    takeSwitch(offsetof(OptionsRecord, PitchLevelView), record.PitchLevelView, in.PitchLevelView);
    takeRange(record.PlayerInfoPanel, in.PlayerInfoPanel, 0, 3);
}

void ApplyOptions()
{
    SoundOptionFields fields;
    fields.musicOn = &Options.musicOn;
    fields.effectsOn = &Options.effectsOn;
    fields.volume = &Options.volume;
    BindSoundOptions(fields);
    TextureQuality = Options.textureQuality;
    ShadowOption = Options.shadowsOn;
    ApplySoundVolume();
}

void SetTextureQualityOption(int32_t quality)
{
    Options.textureQuality = quality == 1 ? 1 : 0;
    TextureQuality = Options.textureQuality;
}

void InitOptions()
{
    Options = OptionsRecord{};
    if (TheAppConstructed() && TheApp.DepthStencilFormat == (uint32_t)D3DFMT_D16) Options.shadowsOn = 0;
    LoadOptions();
    NormaliseOptions(Options);
    ApplyOptions();
}

bool LoadOptions()
{
    HANDLE file = CreateFileA(OPTIONS_FILE, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    uint8_t image[OPTIONS_FILE_SIZE];
    DWORD total = 0;
    while (total < sizeof(image)) {
        DWORD got = 0;
        if (!ReadFile(file, image + total, (DWORD)sizeof(image) - total, &got, nullptr) || got == 0) break;
        total += got;
    }
    CloseHandle(file);
    ReadOptionsImage(Options, image, total);
    NormaliseOptions(Options);
    ApplySoundVolume();
    return true;
}

bool SaveOptions()
{
    // What is written is what the next start will use: every value within its range.
    NormaliseOptions(Options);
    // A failed write leaves the old settings as they were.
    return ReplaceFileWhole(OPTIONS_FILE, &Options, sizeof(Options));
}

void SaveOptionsOnClose()
{
    if (ScreenMessageHandler == OptionsMessageHandler || ScreenMessageHandler == GameOptionsMessageHandler)
        SaveOptions();
}

int32_t VolumeForMouseX(int32_t mouseX)
{
    // The bar begins two pixels right of the slider's zero: its first pixels give 0 as well.
    if (mouseX <= SLIDER_BAR_LEFT) return 0;
    if (mouseX >= SLIDER_RIGHT) return 100;
    return (int32_t)((float)(mouseX - (int32_t)SLIDER_LEFT) / PIXELS_PER_VOLUME_STEP);
}

float VolumeKnobX(int32_t volume)
{
    if (volume < 0) volume = 0;
    if (volume > 100) volume = 100;
    return (float)volume * PIXELS_PER_VOLUME_STEP + SLIDER_LEFT;
}

// ---------------------------------------------------------------------------------------------
void BuildOptionsScreen()
{
    ResetHover();
    PlaySecondarySound(SOUND_MATCH_MUSIC_2, false);
    SetScreenMessageHandler(OptionsMessageHandler);
    CreateFullScreenSprite(0, "interface\\plain.jpg");

    UseWhiteTextColours();
    CreateLabel(OPT_HEADING, 266.f, 106.f, GetText(TEXT_SOUND), 0);
    CreateLabel(OPT_MUSIC_LABEL, 258.f, 140.f, GetText(TEXT_MUSIC), 0);
    CreateLabel(OPT_EFFECTS_LABEL, 258.f, 168.f, GetText(TEXT_EFFECTS), 0);
    CreateLabel(OPT_VOLUME_LABEL, 258.f, 196.f, GetText(TEXT_VOLUME), 0);
    CreateLabel(OPT_OTHER, 266.f, 230.f, "OTHER", 0);
    CreateLabel(OPT_CROWD_LABEL, 258.f, 258.f, "Show Crowd", 0);

    UseGreenTextColours();
    CreateTextSprite(OPT_MUSIC, 400.f, 142.f, 0, GetText(Options.musicOn ? TEXT_MUSIC_ON : TEXT_MUSIC_OFF), 0);
    CreateTextSprite(OPT_EFFECTS, 400.f, 170.f, 0, SwitchText(Options.effectsOn), 0);
    CreateTextSprite(OPT_CROWD, 530.f, 260.f, 0, SwitchText(Options.ShowCrowd), 0);
    CreateTextSprite(OPT_CREDITS, 400.f, 320.f, 0, "Credits", 1);
    CreateTextSprite(OPT_RETURN, 650.f, 550.f, 0, GetText(TEXT_RETURN), 0);
    CreateSlider(OPT_BAR, OPT_KNOB, 205.f, 195.f);
    ShowSwitchTexts();
}

void OptionsMessageHandler(int32_t message)
{
    if (message == WM_MOUSEMOVE) {
        static const unsigned kButtons[] = {OPT_MUSIC, OPT_EFFECTS, OPT_CROWD, OPT_CREDITS, OPT_RETURN, OPT_BAR};
        HoverAmong(kButtons);
        return;
    }
    if (message != WM_LBUTTONDOWN) return;
    switch (TheApp.HitTestSprites()) {
    case OPT_BAR:
        PressSlider(OPT_KNOB, 195.f);
        return;
    case OPT_MUSIC:
        ToggleMusic();
        ShowSwitchTexts();
        return;
    case OPT_EFFECTS:
        Options.effectsOn = Flipped(Options.effectsOn);
        ShowSwitchTexts();
        return;
    case OPT_CROWD:
        Options.ShowCrowd = Flipped(Options.ShowCrowd);
        ShowSwitchTexts();
        return;
    case OPT_RETURN:
        SaveOptions();
        StopSound(SOUND_MATCH_MUSIC_2);
        SetScreen(ScreenId::StartMenu);
        return;
    case OPT_CREDITS:
        SaveOptions();
        StopSound(SOUND_MATCH_MUSIC_2);
        SetScreen(ScreenId::Credits);
        return;
    default:
        return;
    }
}

// ---------------------------------------------------------------------------------------------
void BuildGameOptionsScreen()
{
    ResetHover();
    ScreenBelowTextColours = TextColours;
    MatchScreenActive = 0;
    SceneVisible = false;
    PlaySecondarySound(SOUND_MATCH_MUSIC_2, false);
    SetScreenMessageHandler(GameOptionsMessageHandler);
    CreateFullScreenSprite(GOPT_BACKGROUND, "interface\\plain.jpg");

    UseWhiteTextColours();
    CreateLabel(GOPT_HEADING, 266.f, 56.f, GetText(TEXT_SOUND), 0);
    CreateLabel(GOPT_MUSIC_LABEL, 258.f, 90.f, GetText(TEXT_MUSIC), 0);
    CreateLabel(GOPT_EFFECTS_LABEL, 258.f, 118.f, GetText(TEXT_EFFECTS), 0);
    CreateLabel(GOPT_VOLUME_LABEL, 258.f, 146.f, GetText(TEXT_VOLUME), 0);
    CreateLabel(GOPT_OTHER, 266.f, 180.f, "OTHER", 0);
    CreateLabel(GOPT_CROWD_LABEL, 400.f, 208.f, "Show Crowd", 32);
    CreateLabel(GOPT_BEGINNERS_LABEL, 435.f, 238.f, "Beginners Camera Mode", 32);
    CreateLabel(GOPT_FOLLOW_LABEL, 435.f, 268.f, "Follow Ball at End Turn", 32);
    CreateLabel(GOPT_CENTRE_LABEL, 435.f, 298.f, "Centre Player When Selected", 32);
    CreateLabel(GOPT_PITCH_LABEL, 435.f, 328.f, "Pitch Level View", 32);
    CreateLabel(GOPT_PANEL_LABEL, 435.f, 358.f, "Player Info Panel", 32);

    UseGreenTextColours();
    CreateTextSprite(GOPT_MUSIC, 400.f, 92.f, 0, GetText(Options.musicOn ? TEXT_MUSIC_ON : TEXT_MUSIC_OFF), 0);
    CreateTextSprite(GOPT_EFFECTS, 400.f, 120.f, 0, SwitchText(Options.effectsOn), 0);
    CreateTextSprite(GOPT_CROWD, 470.f, 210.f, 0, SwitchText(Options.ShowCrowd), 0);
    CreateTextSprite(GOPT_BEGINNERS, 470.f, 238.f, 0, SwitchText(Options.BeginnersCamera), 0);
    CreateTextSprite(GOPT_FOLLOW, 470.f, 268.f, 0, SwitchText(Options.FollowBallAtEndTurn), 0);
    CreateTextSprite(GOPT_CENTRE, 470.f, 298.f, 0, SwitchText(Options.CentrePlayerWhenSelected), 0);
    CreateTextSprite(GOPT_PITCH, 470.f, 328.f, 0, SwitchText(Options.PitchLevelView), 0);
    CreateTextSprite(GOPT_PANEL, 470.f, 358.f, 0, PanelSizeText(Options.PlayerInfoPanel), 0);
    CreateTextSprite(GOPT_RETURN, 650.f, 570.f, 0, GetText(TEXT_RETURN), 0);
    CreateSlider(GOPT_BAR, GOPT_KNOB, 155.f, 145.f);
    ShowGameSwitchTexts();
}

void GameOptionsMessageHandler(int32_t message)
{
    if (message == WM_MOUSEMOVE) {
        static const unsigned kButtons[] = {GOPT_MUSIC, GOPT_EFFECTS, GOPT_CROWD,  GOPT_BAR,   GOPT_BEGINNERS,
                                            GOPT_FOLLOW, GOPT_CENTRE, GOPT_PITCH, GOPT_PANEL, GOPT_RETURN};
        HoverAmong(kButtons);
        return;
    }
    if (message != WM_LBUTTONDOWN) return;
    switch (TheApp.HitTestSprites()) {
    case GOPT_BAR:
        PressSlider(GOPT_KNOB, 145.f);
        return;
    case GOPT_MUSIC:
        ToggleMusic();
        break;
    case GOPT_EFFECTS:
        Options.effectsOn = Flipped(Options.effectsOn);
        break;
    case GOPT_CROWD:
        Options.ShowCrowd = Flipped(Options.ShowCrowd);
        ApplyModelKindVisibility();
        break;
    case GOPT_BEGINNERS:
        Options.BeginnersCamera = Flipped(Options.BeginnersCamera);
        SetOverviewCamera();
        RunInMatchColours(ShowTurnBanner);
        break;
    case GOPT_FOLLOW:
        Options.FollowBallAtEndTurn = Flipped(Options.FollowBallAtEndTurn);
        break;
    case GOPT_CENTRE:
        Options.CentrePlayerWhenSelected = Flipped(Options.CentrePlayerWhenSelected);
        if (Options.CentrePlayerWhenSelected) Options.PitchLevelView = 1;
        break;
    case GOPT_PITCH:
        Options.PitchLevelView = Options.PitchLevelView >= 1 ? 0 : Options.PitchLevelView + 1;
        if (Options.PitchLevelView == 0) Options.CentrePlayerWhenSelected = 0;
        break;
    case GOPT_PANEL:
        // The panel below is put to its new size when the pop-up gives the match back.
        Options.PlayerInfoPanel =
            Options.PlayerInfoPanel >= 3 || Options.PlayerInfoPanel < 0 ? 0 : Options.PlayerInfoPanel + 1;
        ForceSceneResort();
        break;
    case GOPT_RETURN: {
        SaveOptions();
        StopSound(SOUND_MATCH_MUSIC_2);
        if (Options.musicOn == 0)
            StopSound(SOUND_CROWD);
        else
            PlayPrimarySound(SOUND_CROWD, true);
        const uint8_t panelWasShown = InfoPanelShown;
        CloseSystemMenu();
        // Closing the pop-up gives back the flags the sprites had when it opened; the info panel
        // takes the size chosen since, with no column of the old size left over.
        if (!SubstitutionMode && panelWasShown) {
            if (Options.PlayerInfoPanel == 0)
                HideInfoPanelGroups();
            else
                ShowInfoPanelGroup(Options.PlayerInfoPanel);
        }
        return;
    }
    default:
        return;
    }
    ShowGameSwitchTexts();
}
