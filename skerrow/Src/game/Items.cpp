#include <cstdlib>
#include <cstring>

#include "platform/win32/crt_rand.h"
#include "skerrow/Src/IniFile.h"
#include "skerrow/Src/game/Gameplay.h"
#include "skerrow/Src/game/Resources.h"

namespace {
int32_t g_itemTimes[ITEM_COUNT] = {};
int g_itemTimesLoaded = 0;
}  // namespace

void SetItemActiveTime(int id, int ticks)
{
    if (id < 0 || id >= ITEM_COUNT) return;
    // The other items keep what the file (or its absence) gives them.
    if (!g_itemTimesLoaded) LoadItemTimes();
    g_itemTimes[id] = ticks;
}

void LoadItemTimes()
{
    IniFile ini("Items.txt", 1);
    for (int id = 0; id < ITEM_COUNT; ++id) g_itemTimes[id] = ini.GetInt(g_itemNames[id], "Active time", 1000);
    g_itemTimesLoaded = 1;
}

int ItemActiveTime(int id)
{
    if (!g_itemTimesLoaded) LoadItemTimes();
    if (id < 0 || id >= ITEM_COUNT) return 1000;
    // The timers are 16-bit and count down to 0: a time of 0 or less would never end.
    int t = g_itemTimes[id];
    if (t < 1) t = 1;
    if (t > INT16_MAX) t = INT16_MAX;
    return t;
}

void SpawnCapsule(int x, int y, int id, int timer)
{
    for (Capsule& c : g_capsules) {
        if (c.id) continue;
        c.id = static_cast<uint16_t>(id);
        c.timer = timer;
        c.x = x;
        c.y = y;
        c.dx = rand() % 4 - 2;
        c.dy = -(2 + rand() % 3);
        return;
    }
}

void CollectCapsule(int id)
{
    const int doubled = IsEffectActive(ITEM_INVISIBLE) ? 2 : 1;
    if (id == ITEM_CREDIT1) {
        g_game.money += 5 * doubled;
    } else if (id == ITEM_CREDIT2) {
        g_game.money += 1 * doubled;
    } else {
        AddToInventory(id);
        g_level.newItem = 1;
    }
}

void UpdateCapsules()
{
    for (Capsule& c : g_capsules) {
        if (!c.id) continue;
        --c.timer;
        if (c.id == ITEM_TIMEBOMB && c.timer == 0) {
            ExplodeAt(c.x, c.y);
            c.id = 0;
            continue;
        }
        if ((FrameCounter() & 15) == 0) ++c.dy;
        c.y += c.dy;
        if (IsEffectActive(ITEM_CREDITS_ATTRACTOR) && c.dy > 0) {
            if (c.x < g_level.paddleX) ++c.dx;
            if (c.x > g_level.paddleX) --c.dx;
            if (c.dx < -4) c.dx = -4;
            if (c.dx > 4) c.dx = 4;
        }
        c.x += c.dx;
        if (std::abs(g_level.paddleX - c.x - 20) < g_level.paddleWidth / 2 &&
            std::abs(g_level.paddleY - c.y - 10) < g_level.paddleHeight / 2) {
            const int id = c.id;
            c.id = 0;
            CollectCapsule(id);
        } else if (c.y > 480) {
            c.id = 0;
        }
    }
}

void ChangeBallSpeed(int delta)
{
    for (Ball& b : g_balls) {
        if (!b.active) continue;
        b.speed += static_cast<float>(delta);
        if (b.speed < 2.0f) b.speed = 2.0f;
        if (b.speed > 5.0f) b.speed = 5.0f;
    }
}

namespace {
Ball* FirstBallInPlay()
{
    for (Ball& b : g_balls)
        if (b.active) return &b;
    return nullptr;
}
}  // namespace

void AddBallBeside()
{
    Ball* b = FirstBallInPlay();
    if (!b) return;
    const int angle = (static_cast<int>(b->angle) + rand() % 90 - 45 + 360) % 360;
    AddBall(b->position, static_cast<float>(angle), 3.0f);
}

void AddShadowBall()
{
    Ball* b = FirstBallInPlay();
    if (!b) return;
    const Vector2 v = Direction(b->angle) * b->speed;
    AddBall(Vector2(640.0f - b->position.x, b->position.y), AngleOf(Vector2(-v.x, v.y)), 3.0f);
}

void DetonateView()
{
    PlayGameSound(SND_EXPLOSION, 50);
    const int base = g_level.scrollOffset / kCellHeight;
    for (int n = 10; n >= 0; --n)
        for (int j = 0; j < 25; ++j) {
            const int row = base + j;
            if (row < 0 || row >= g_level.height) continue;
            const int columns[2] = {n, 19 - n};
            for (int c : columns) {
                BlockCell* cell = GetBlockCell(c, row);
                if (cell && cell->type) DestroyBlock(*cell, rand() % 5, c, row);
            }
        }
}

void UseInventorySlot(int slot)
{
    if (slot < 0 || slot >= kInventorySlots) return;
    InventorySlot& s = g_game.inventory[slot];
    if (s.count <= 0 || s.id <= 0) return;
    PlayGameSound(SND_ACTIVATE, 50);
    switch (s.id) {
    case ITEM_INCREASE_SPEED: ChangeBallSpeed(1); break;
    case ITEM_DECREASE_SPEED: ChangeBallSpeed(-1); break;
    case ITEM_ADD_BALL: AddBallBeside(); break;
    case ITEM_SHADOW: AddShadowBall(); break;
    case ITEM_DETONATOR: DetonateView(); break;
    default: break;
    }
    s.active = 1;
    s.ticksLeft = s.duration = static_cast<int16_t>(ItemActiveTime(s.id));
    s.elapsed = 0;
    --s.count;
}

namespace {
void TickSlot(InventorySlot& s)
{
    if (s.id && s.count <= 0 && !IsEffectActive(s.id)) s.id = 0;
    if (!s.active) return;
    if (s.elapsed < INT16_MAX) ++s.elapsed;
    --s.ticksLeft;
    if (s.ticksLeft <= 0) {
        s.ticksLeft = 0;
        s.active = 0;
    }
}
}  // namespace

void UpdateEffectTimers()
{
    for (InventorySlot& s : g_game.inventory) TickSlot(s);
    for (InventorySlot& s : g_pickedEffects) TickSlot(s);
}
