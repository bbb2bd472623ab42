#include "skerrow/Src/game/GameState.h"

#include <algorithm>
#include <cstring>

#include "skerrow/Src/game/App.h"

const char* const g_itemNames[ITEM_COUNT] = {
    "ITEM_NONE",        "ITEM_CREDIT1",        "ITEM_CREDIT2",     "ITEM_BALL",         "ITEM_WIDE_BUSTER",
    "ITEM_INCREASE_SPEED", "ITEM_DECREASE_SPEED", "ITEM_ADD_BALL", "ITEM_CANNON",       "ITEM_FREE_FLY",
    "ITEM_PIERCING",    "ITEM_CREDITS_ATTRACTOR", "ITEM_SCREAMER", "ITEM_SNIPER",       "ITEM_TIMEZIP",
    "ITEM_BALL_ATTRACTOR", "ITEM_RUBBER",      "ITEM_SHADOW",      "ITEM_BOMB",         "ITEM_TIMEBOMB",
    "ITEM_INVISIBLE",   "ITEM_DETONATOR",      "ITEM_SHIELD"};

GameState g_game;
InventorySlot g_pickedEffects[kInventorySlots];
Ball g_balls[kMaxBalls];
Enemy g_enemies[kMaxEnemies];
Capsule g_capsules[kMaxCapsules];
Bullet g_bullets[kMaxBullets];
Particle g_particles[kMaxParticles];
BlockType g_blockTypes[kMaxBlockTypes];
LevelState g_level;

int32_t& FrameCounter() { return g_app.frameCounter; }

int IsEffectActive(int id)
{
    if (id == ITEM_NONE) return 0;
    for (int i = 0; i < kInventorySlots; ++i) {
        if (g_game.inventory[i].id == id && g_game.inventory[i].active) return 1;
        if (g_pickedEffects[i].id == id && g_pickedEffects[i].active) return 1;
    }
    return 0;
}

void DeactivateEffect(int id)
{
    for (int i = 0; i < kInventorySlots; ++i) {
        if (g_game.inventory[i].id == id) g_game.inventory[i].active = 0;
        if (g_pickedEffects[i].id == id) g_pickedEffects[i].active = 0;
    }
}

int AddToInventory(int id)
{
    if (id <= ITEM_NONE || id >= ITEM_COUNT) return 0;
    for (InventorySlot& s : g_game.inventory)
        if (s.id == id) {
            if (s.count < INT16_MAX) ++s.count;
            return 1;
        }
    for (InventorySlot& s : g_game.inventory)
        if (s.id == 0) {
            s = InventorySlot{static_cast<int16_t>(id), 1, 0, 0, 0, 0};
            return 1;
        }
    return 0;
}

BlockCell* GetBlockCell(int column, int row)
{
    if (column < 0 || column >= kGridColumns || row < 0 || row >= g_level.height) return nullptr;
    size_t i = static_cast<size_t>(row) * kGridColumns + static_cast<size_t>(column);
    if (i >= g_level.grid.size()) return nullptr;
    return &g_level.grid[i];
}

void SetBlock(int column, int row, int type)
{
    BlockCell* cell = GetBlockCell(column, row);
    if (!cell) return;
    // Type 0 clears the cell; a type without a [Block type N] section is no block at all
    // (there is no hit counter to give it).
    if (type <= 0 || type > g_level.blockTypeCount || type > kMaxBlockTypes) {
        cell->type = 0;
        cell->hits = 0;
        return;
    }
    cell->type = static_cast<uint16_t>(type);
    cell->hits = static_cast<uint16_t>(std::clamp(g_blockTypes[type - 1].hitCounter, 0, 65535));
}

int FramePingPong(int period)
{
    if (period <= 0) return 0;
    int32_t f = FrameCounter();
    if (f < 0) f = -f;
    return ((f / period) & 1) ? f % period : period - f % period;
}

void ResetCampaign()
{
    g_game.score = 0;
    g_game.lives = 8;
    g_game.money = 150;
    std::memset(g_game.inventory, 0, sizeof g_game.inventory);
    std::memset(g_game.levels, 0, sizeof g_game.levels);
}

void ResizeGrid(int height)
{
    g_level.height = std::clamp(height, kMinLevelHeight, kMaxLevelHeight);
    g_level.grid.assign(static_cast<size_t>(g_level.height) * kGridColumns, BlockCell{0, 0, 0});
}
