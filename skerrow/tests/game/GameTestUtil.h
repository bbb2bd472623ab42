// Shared set-up of the gameplay tests: a clean play state with an empty level of a given
// height, and helpers to place blocks and balls.
#pragma once

#include <cstring>

#include "../engine/TestUtil.h"
#include "platform/win32/crt_rand.h"
#include "skerrow/Src/Input.h"
#include "skerrow/Src/game/Gameplay.h"
#include "skerrow/Src/game/Resources.h"

inline void ResetPlay(int height = 100, int blockTypes = 3)
{
    static bool tables = (BuildStartupTables(), true);
    (void)tables;
    ResetCampaign();
    g_game.levelNumber = 1;
    LevelState fresh;
    g_level = fresh;
    g_level.blockTypeCount = blockTypes;
    std::memset(g_blockTypes, 0, sizeof g_blockTypes);
    // Type 1 takes one hit, type 2 two, type 3 is indestructible.
    g_blockTypes[0] = BlockType{1, 10, {1, 2, 3, 4, 5}};
    g_blockTypes[1] = BlockType{2, 25, {1, 2, 3, 4, 5}};
    g_blockTypes[2] = BlockType{0, 0, {1, 2, 3, 4, 5}};
    ResizeGrid(height);
    g_level.scrollOffset = 0;
    for (Ball& b : g_balls) b = Ball{};
    for (Enemy& e : g_enemies) e = Enemy{};
    std::memset(g_capsules, 0, sizeof g_capsules);
    std::memset(g_bullets, 0, sizeof g_bullets);
    std::memset(g_particles, 0, sizeof g_particles);
    std::memset(g_pickedEffects, 0, sizeof g_pickedEffects);
    g_settings = GameSettings{};
    FrameCounter() = 1;
    g_input = InputState{};
    srand(1234);
}

inline Ball& PlaceBall(float x, float y, float angle, float speed = 1.0f)
{
    g_balls[0] = Ball{};
    Ball& b = g_balls[0];
    b.active = 1;
    b.position = b.previous = Vector2(x, y);
    b.angle = angle;
    b.speed = speed;
    b.lastColumn = static_cast<int>(x) / kCellWidth;
    b.lastRow = (g_level.scrollOffset + static_cast<int>(y)) / kCellHeight;
    return b;
}

// Gives an item an active effect as if it had been used from the inventory.
inline void Activate(int id)
{
    AddToInventory(id);
    for (InventorySlot& s : g_game.inventory)
        if (s.id == id) {
            s.active = 1;
            s.ticksLeft = s.duration = 1000;
        }
}

// One tick of input: the keys held this tick (DIK codes) and the mouse movement.
inline void FeedInput(std::initializer_list<int> keys, int dx = 0, int dy = 0, bool left = false)
{
    uint8_t state[256] = {};
    for (int k : keys) state[k] = 0x80;
    DIMOUSESTATE mouse{};
    mouse.lX = dx;
    mouse.lY = dy;
    mouse.rgbButtons[0] = left ? 0x80 : 0;
    ProcessInputStates(state, &mouse, 0);
}
