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
static_assert(offsetof(OptionsRecord, shadowsOn) == 36);
static_assert(offsetof(OptionsRecord, ShowCrowd) == 40);
static_assert(offsetof(OptionsRecord, BeginnersCamera) == 44);
static_assert(offsetof(OptionsRecord, PitchLevelView) == 48);
static_assert(offsetof(OptionsRecord, PlayerInfoPanel) == 52);

extern OptionsRecord Options;
