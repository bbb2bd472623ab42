// Level files from outside: the INI text up to the first NUL byte, the block grid after it.
// The level is loaded and a few ticks are played with a ball flying through it.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/win32/crt_rand.h"
#include "skerrow/Src/Input.h"
#include "FuzzScratch.h"
#include "skerrow/Src/ResourceLocator.h"
#include "skerrow/Src/game/Gameplay.h"

namespace {
bool Setup()
{
    EnterFuzzScratch("level", "Episode1/Levels");
    g_levelSeed = 5;
    return true;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static bool ready = Setup();
    if (!ready) return 0;
    const uint8_t* nul = size ? static_cast<const uint8_t*>(std::memchr(data, 0, size)) : nullptr;
    const size_t textSize = nul ? static_cast<size_t>(nul - data) : size;
    WriteFuzzFile("Episode1/Levels/Level05", data, textSize);
    if (nul)
        WriteFuzzFile("Episode1/Levels/Level05.map", nul + 1, size - textSize - 1);
    else
        std::remove("Episode1/Levels/Level05.map");
    ResetCampaign();
    LoadLevel(5);
    g_level.ballOnPaddle = 0;
    AddBall(Vector2(320, 200), 100, 5);
    AddBall(Vector2(20, 10), 250, 5);
    for (int i = 0; i < 40; ++i) {
        ++FrameCounter();
        MoveBalls();
        UpdateCapsules();
        UpdateBullets();
    }
    ExplodeAt(320, 10);
    DetonateView();
    g_level.scrollOffset = 0;
    ExplodeAt(0, 0);
    return 0;
}
