// The loading screen: a picture and a progress line while the match's meshes and textures load
// on the main thread, then the switch to the match. The resource-list loader draws a frame after
// every file, and each of those frames runs the progress handler. In a network game both
// computers load and the match starts when both have finished.
#pragma once

#include <cstddef>
#include <cstdint>

struct LoadingState {
    float waitTime;          // seconds since the screen was built
    uint8_t switched;        // the match screen has been set
    uint8_t peerReady;       // network: the other computer has finished (or was told so)
    int32_t loadersPending;  // loading passes begun and not finished
    float startDelay;        // 10.0 at program start, never reset
};
extern LoadingState Loading;

// Seconds the picture stands before loading begins.
constexpr float LOADING_WAIT_SECONDS = 2.0f;

void BuildLoadingScreen();
void LoadingWaitHandler(float step);
void LoadingProgressHandler(float step);
void LoadingMessageHandler(int32_t message);

// The progress in percent shown for `done` of `total` steps: 99 and more show as 100, a total
// of 0 (nothing to load) as 100, never more than 100.
int32_t LoadingPercent(uint32_t done, uint32_t total);
// The progress line: the language's format with its "%d" replaced by the percent (no other
// directive of the text is interpreted), then one "." per percent; cut to fit `size`.
void FormatLoadingLine(char* out, size_t size, const char* format, int32_t percent);
