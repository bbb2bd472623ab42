// The program's settings: one 56-byte record stored whole in "saves\fenwolt.opt". The options
// screens edit it; the sound player, the renderer and the match read its fields directly.
#pragma once

#include <cstddef>
#include <cstdint>

struct OptionsRecord {
    int32_t musicOn = 1;
    int32_t effectsOn = 1;
    int32_t reservedToggle = 1;
    int32_t reserved0 = 1;
    int32_t renderSetting = 0;
    int32_t reservedCycle = 2;
    int32_t volume = 100;  // 0..100
    int32_t textureQuality = 0;
    int32_t reserved1 = 0;
    int32_t shadowsOn = 1;
    int32_t ShowCrowd = 1;
    uint8_t BeginnersCamera = 1;
    uint8_t FollowBallAtEndTurn = 1;
    uint8_t CentrePlayerWhenSelected = 1;
    uint8_t padding = 0;
    int32_t PitchLevelView = 0;  // 0..1
    int32_t PlayerInfoPanel = 1;  // 0 off, 1 small, 2 medium, 3 full
};
static_assert(sizeof(OptionsRecord) == 56, "the options file is the 56-byte record");
static_assert(offsetof(OptionsRecord, volume) == 24);
static_assert(offsetof(OptionsRecord, textureQuality) == 28);
static_assert(offsetof(OptionsRecord, shadowsOn) == 36);
static_assert(offsetof(OptionsRecord, ShowCrowd) == 40);
static_assert(offsetof(OptionsRecord, BeginnersCamera) == 44);
static_assert(offsetof(OptionsRecord, PitchLevelView) == 48);
static_assert(offsetof(OptionsRecord, PlayerInfoPanel) == 52);

extern OptionsRecord Options;

constexpr const char* OPTIONS_FILE = "saves\\fenwolt.opt";
constexpr size_t OPTIONS_FILE_SIZE = sizeof(OptionsRecord);

// Set by the start menu when it opens the options screen.
extern uint8_t OptionsOpenedFromStartMenu;

// The defaults (shadows off on a 16-bit depth buffer), then the file over them. Called once
// while the application is created.
void InitOptions();
// Reads the options file over the record; true when the file was read. A file shorter than the
// record replaces only the fields it holds; a value out of its range takes the nearer end of it.
bool LoadOptions();
// Writes the record; true on success. The old file stays whole when the new one cannot be
// written completely.
bool SaveOptions();
// Closing the window while an options screen takes the input leaves that screen: its settings
// are written as its way back writes them.
void SaveOptionsOnClose();
// The file image over the record: the bytes present replace theirs, each field range-checked.
void ReadOptionsImage(OptionsRecord& record, const uint8_t* data, size_t size);
// Forces the record's fields into their ranges, each to its nearer end (on/off switches to 0 or
// 1, the volume to 0..100, the panel size to 0..3), and the depth buffer's shadow limit.
void NormaliseOptions(OptionsRecord& record);
// Hands the settings to the engine: sound (bound live), texture quality, shadows.
void ApplyOptions();
// The intro's texture-quality reset, kept in step with the engine.
void SetTextureQualityOption(int32_t quality);

// The volume for a press on the slider bar at mouse x (both ends reachable), and the knob's x.
int32_t VolumeForMouseX(int32_t mouseX);
float VolumeKnobX(int32_t volume);

// ScreenId::Options, reached from the start menu.
void BuildOptionsScreen();
void OptionsMessageHandler(int32_t message);
// The pop-up ScreenId::GameOptions over the match.
void BuildGameOptionsScreen();
void GameOptionsMessageHandler(int32_t message);
