// The first screens: the intro (eleven falling letter blocks, then the title picture), the
// credits and the two information pages. The start menu is in StartMenu.h.
#pragma once

#include <cstdint>

constexpr int32_t INTRO_BLOCK_COUNT = 11;
// The block scene: the blocks spin and fall for this long, then stop spinning and settle ...
constexpr float INTRO_SPIN_SECONDS = 6.0f;
// ... and the title picture follows after this long.
constexpr float INTRO_BLOCK_SECONDS = 11.7f;
// The title picture stays this long without input (counted once per program run).
constexpr float INTRO_TITLE_SECONDS = 10.0f;

struct IntroState {
    int32_t stage;  // 0 blocks, 1 title picture
    float elapsed;  // seconds of the block scene
    float spin;     // radians added this frame
    int32_t blocks[INTRO_BLOCK_COUNT];  // model instances
    float fallSpeed[INTRO_BLOCK_COUNT];
    float fallAcceleration[INTRO_BLOCK_COUNT];
    uint8_t labelShown;
    float titleCountdown;  // never reset
};
extern IntroState Intro;

void BuildIntroScreen();
void IntroMessageHandler(int32_t message);
void IntroUpdateHandler(float step);
// One frame of the block scene's motion (the update handler's stage 0 without the switch).
void StepIntroBlocks(float step);

void BuildCreditsScreen();
void CreditsMessageHandler(int32_t message);
void BuildInfoPage1Screen();
void BuildInfoPage2Screen();
void InfoPageMessageHandler(int32_t message);
