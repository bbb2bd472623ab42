// A headless, deterministic driver of the game screen: the real data set, the software back
// buffer, a seeded generator and input fed tick by tick, with a hash of the play state.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "../HeadlessGame.h"
#include "GameTestUtil.h"
#include "platform/win32/platform_internal.h"
#include "skerrow/Src/Graphics/Graphics.h"
#include "skerrow/Src/ResourceLocator.h"
#include "skerrow/Src/game/App.h"
#include "skerrow/Src/game/GameScreen.h"

// The screen the level returns to (the level map, in the whole game).
class ReturnScreen : public Screen {
public:
    const char* GetName() override { return "NodeScreen"; }
    void InitSurfaces() override {}
    void ReleaseSurfaces() override {}
    void OnDisplay(Screen*, int32_t argument) override { result = argument; }
    int32_t Process() override { return 1; }
    int32_t result = -1;
};

// Display, tables and shared resources, once per process.
inline bool StartHarnessDisplay() { return StartHeadlessGame(); }

inline void HashBytes(uint64_t& h, const void* data, size_t n)
{
    const unsigned char* p = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 1099511628211ull;
}

inline uint64_t PlayStateHash()
{
    uint64_t h = 1469598103934665603ull;
    for (const Ball& b : g_balls) {
        HashBytes(h, &b.active, sizeof b.active);
        if (!b.active) continue;
        HashBytes(h, &b.position, sizeof b.position);
        HashBytes(h, &b.angle, sizeof b.angle);
        HashBytes(h, &b.speed, sizeof b.speed);
    }
    for (const BlockCell& c : g_level.grid) HashBytes(h, &c, sizeof c);
    HashBytes(h, &g_game.score, sizeof g_game.score);
    HashBytes(h, &g_game.lives, sizeof g_game.lives);
    HashBytes(h, &g_game.money, sizeof g_game.money);
    for (const Capsule& c : g_capsules) {
        HashBytes(h, &c.id, sizeof c.id);
        HashBytes(h, &c.x, sizeof c.x);
        HashBytes(h, &c.y, sizeof c.y);
    }
    for (const Enemy& e : g_enemies) {
        HashBytes(h, &e.type, sizeof e.type);
        HashBytes(h, &e.position, sizeof e.position);
    }
    HashBytes(h, &g_level.scrollOffset, sizeof g_level.scrollOffset);
    HashBytes(h, &FrameCounter(), sizeof(int32_t));
    return h;
}

struct RunResult {
    int ticks = 0;
    int completed = -1;  // the argument the level handed back, -1 while still running
    uint64_t finalHash = 0;
    std::vector<uint64_t> hashes;
};

// The bot: launches whenever a ball waits and keeps the paddle under the lowest descending ball
// (slightly off centre, changing now and then, so the ball does not keep one line).
inline void BotInput(int tick)
{
    int target = g_level.paddleX;
    float lowest = -1.0f;
    for (const Ball& b : g_balls) {
        if (!b.active) continue;
        const bool descending = b.angle > 180.0f;
        if (descending && b.position.y > lowest) {
            lowest = b.position.y;
            target = static_cast<int>(b.position.x) + ((tick / 97) % 5 - 2) * 9;
        }
    }
    const bool launch = g_level.ballOnPaddle && (tick & 1);
    const bool leave = g_level.levelOver && (tick & 1);
    std::initializer_list<int> none = {};
    std::initializer_list<int> space = {DIK_SPACE};
    FeedInput(launch || leave ? space : none, target - g_level.paddleX, 0);
}

// Plays level n from its start with `seed` until it is left or `maxTicks` pass. Every
// `hashEvery` ticks the state hash is kept; `shot` may save pictures.
inline RunResult PlayLevel(int n, unsigned seed, int maxTicks, int hashEvery,
                           const std::function<void(int tick)>& shot = nullptr,
                           const std::function<void(int tick)>& input = BotInput)
{
    static ReturnScreen back;
    g_currentScreen = nullptr;
    g_screenDepth = 0;
    back.SwitchScreen(0);
    back.result = -1;
    g_input = InputState{};
    std::memset(g_particles, 0, sizeof g_particles);
    ClearBackdrop();
    g_backObjects.lastTileSet = -1;
    ResetCampaign();
    g_levelSeed = seed;
    LoadLevel(n);
    g_levelSeed = 0;
    srand(seed);
    g_gameScreen.SwitchScreen(0);
    RunResult r;
    for (int tick = 0; tick < maxTicks; ++tick) {
        ++FrameCounter();
        input(tick);
        ProcessCurrentScreen();
        if (shot) shot(tick);
        if (hashEvery > 0 && tick % hashEvery == 0) r.hashes.push_back(PlayStateHash());
        r.ticks = tick + 1;
        if (GetCurrentScreen() != &g_gameScreen) break;
    }
    r.completed = back.result;
    r.finalHash = PlayStateHash();
    return r;
}
