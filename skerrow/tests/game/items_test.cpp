#include <gtest/gtest.h>

#include "GameTestUtil.h"

namespace {

class Items : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetPlay();
        for (int id = 0; id < ITEM_COUNT; ++id) SetItemActiveTime(id, 1000);
    }
    ScratchDir dir_;
};

TEST_F(Items, CapsulesSteerOnlyWhileFalling)
{
    Activate(ITEM_CREDITS_ATTRACTOR);
    g_level.paddleX = 600;
    g_capsules[0] = Capsule{ITEM_CREDIT2, 0, 100, 100, 0, -3};
    FrameCounter() = 1;
    UpdateCapsules();
    EXPECT_EQ(g_capsules[0].dx, 0) << "a rising capsule is not steered";
    g_capsules[0].dy = 2;
    UpdateCapsules();
    EXPECT_EQ(g_capsules[0].dx, 1);
    for (int i = 0; i < 10; ++i) UpdateCapsules();
    EXPECT_EQ(g_capsules[0].dx, 4) << "steering is capped";
}

TEST_F(Items, CatchingPaysAndInvisibleDoublesCreditsOnly)
{
    g_level.paddleX = 320;
    g_level.paddleY = 375;
    g_capsules[0] = Capsule{ITEM_CREDIT1, 0, 300, 365, 0, 0};
    FrameCounter() = 1;
    UpdateCapsules();
    EXPECT_EQ(g_capsules[0].id, 0);
    EXPECT_EQ(g_game.money, 155);
    Activate(ITEM_INVISIBLE);
    CollectCapsule(ITEM_CREDIT1);
    CollectCapsule(ITEM_CREDIT2);
    EXPECT_EQ(g_game.money, 155 + 10 + 2);
    CollectCapsule(ITEM_CANNON);
    int cannons = 0;
    for (const InventorySlot& s : g_game.inventory) cannons += s.id == ITEM_CANNON ? s.count : 0;
    EXPECT_EQ(cannons, 1);
    EXPECT_EQ(g_level.newItem, 1);
    // A capsule that leaves the screen is freed.
    g_capsules[1] = Capsule{ITEM_CREDIT2, 0, 10, 479, 0, 5};
    UpdateCapsules();
    EXPECT_EQ(g_capsules[1].id, 0);
}

TEST_F(Items, SlotUsedTwiceStaysUntilItsEffectEnds)
{
    SetItemActiveTime(ITEM_CANNON, 3);
    AddToInventory(ITEM_CANNON);
    AddToInventory(ITEM_CANNON);
    UseInventorySlot(0);
    UseInventorySlot(0);
    EXPECT_EQ(g_game.inventory[0].count, 0);
    EXPECT_EQ(g_game.inventory[0].id, ITEM_CANNON);
    UseInventorySlot(0);  // nothing left
    for (int i = 0; i < 2; ++i) UpdateEffectTimers();
    EXPECT_EQ(IsEffectActive(ITEM_CANNON), 1);
    EXPECT_EQ(g_game.inventory[0].id, ITEM_CANNON);
    UpdateEffectTimers();
    EXPECT_EQ(IsEffectActive(ITEM_CANNON), 0);
    UpdateEffectTimers();
    EXPECT_EQ(g_game.inventory[0].id, 0);
}

TEST_F(Items, ZeroActiveTimeStillEnds)
{
    SetItemActiveTime(ITEM_SNIPER, 0);
    AddToInventory(ITEM_SNIPER);
    UseInventorySlot(0);
    UpdateEffectTimers();
    UpdateEffectTimers();
    EXPECT_EQ(IsEffectActive(ITEM_SNIPER), 0);
    EXPECT_EQ(g_game.inventory[0].id, 0);
}

TEST_F(Items, InstantActions)
{
    PlaceBall(100, 100, 90, 3);
    AddToInventory(ITEM_INCREASE_SPEED);
    g_game.inventory[0].count = 5;
    for (int i = 0; i < 5; ++i) UseInventorySlot(0);
    EXPECT_FLOAT_EQ(g_balls[0].speed, 5.0f);
    ChangeBallSpeed(-10);
    EXPECT_FLOAT_EQ(g_balls[0].speed, 2.0f);
    AddBallBeside();
    EXPECT_TRUE(g_balls[1].active);
    AddShadowBall();
    EXPECT_TRUE(g_balls[2].active);
    EXPECT_FLOAT_EQ(g_balls[2].position.x, 540.0f);
    for (int c = 0; c < 20; ++c)
        for (int r = 0; r < 40; ++r) SetBlock(c, r, 1);
    DetonateView();
    for (int c = 0; c < 20; ++c) {
        EXPECT_EQ(GetBlockCell(c, 24)->type, 0);
        EXPECT_EQ(GetBlockCell(c, 25)->type, 1) << "only the 25 rows in view";
    }
}

TEST_F(Items, TimeBombsFromBlocksCountDownAndExplode)
{
    SetBlock(10, 5, 1);
    GetBlockCell(10, 5)->capsule = ITEM_TIMEBOMB;
    SetBlock(7, 5, 2);
    DestroyBlock(*GetBlockCell(10, 5), 0, 10, 5);
    ASSERT_EQ(g_capsules[0].id, ITEM_TIMEBOMB);
    EXPECT_EQ(g_capsules[0].timer, 40);
    g_capsules[0].dy = 0;
    g_level.paddleX = 0;
    for (int i = 0; i < 40 && g_capsules[0].id; ++i) {
        FrameCounter() = 1;
        g_capsules[0].dy = 0;
        g_capsules[0].dx = 0;
        UpdateCapsules();
    }
    EXPECT_EQ(g_capsules[0].id, 0);
    EXPECT_EQ(GetBlockCell(7, 5)->type, 0) << "the explosion reaches 150 pixels";
}

TEST_F(Items, TimeBombItemDropsOnTheNextHit)
{
    Activate(ITEM_TIMEBOMB);
    SetBlock(3, 3, 2);
    Ball& b = PlaceBall(100, 60, 270, 1);
    HitBlock(*GetBlockCell(3, 3), b, 3, 3, 0, 1);
    EXPECT_EQ(IsEffectActive(ITEM_TIMEBOMB), 0);
    int bombs = 0;
    for (const Capsule& c : g_capsules) bombs += (c.id == ITEM_TIMEBOMB && c.timer == 40);
    EXPECT_EQ(bombs, 1);
}

TEST_F(Items, ParticlesCapped)
{
    EXPECT_EQ(SpawnParticles(10, 10, 251, 1, 1.0f), 250);
    EXPECT_EQ(SpawnParticles(10, 10, 1, 1, 1.0f), 0);
    EXPECT_EQ(AddParticle(1, 1, 3, 2), nullptr);
    for (int i = 0; i < 120; ++i) UpdateParticles(0);
    int used = 0;
    for (const Particle& p : g_particles) used += p.type != 0;
    EXPECT_EQ(used, 0);
    // Type 0 particles are real particles, not free slots.
    EXPECT_EQ(SpawnParticles(10, 10, 3, 0, 4.0f), 3);
    EXPECT_EQ(SpawnParticles(10, 10, 1, 1, 4.0f), 1);
    EXPECT_EQ(g_particles[3].type, 1);
}

TEST_F(Items, EnemiesSpawnLeaveAndDie)
{
    g_level.enemyPeriod = 500;
    FrameCounter() = 500;
    UpdateEnemies(1);
    int alive = 0;
    for (const Enemy& e : g_enemies) alive += e.type != 0;
    EXPECT_EQ(alive, 1);
    FrameCounter() = 1000;
    Activate(ITEM_SCREAMER);
    UpdateEnemies(1);
    alive = 0;
    for (const Enemy& e : g_enemies) alive += e.type != 0;
    EXPECT_EQ(alive, 1) << "no spawn while the screamer runs";
    for (int i = 0; i < 200; ++i) UpdateEnemies(1);
    for (const Enemy& e : g_enemies) EXPECT_EQ(e.type, 0) << "enemies fly off";

    DeactivateEffect(ITEM_SCREAMER);
    SpawnEnemy(100, 100, 2);
    const int score = g_game.score;
    Ball& b = PlaceBall(105, 102, 0, 1);
    MoveBalls();
    EXPECT_EQ(g_enemies[0].state, ENEMY_DYING);
    EXPECT_EQ(g_game.score, score + 150);
    b.position = Vector2(100, 100);
    b.angle = 0;
    MoveBalls();
    EXPECT_EQ(g_game.score, score + 150) << "a dying enemy is not killed twice by a ball";
    g_bullets[0] = Bullet{1, 100, 105};
    UpdateBullets();
    EXPECT_EQ(g_game.score, score + 300) << "a bullet hits it again";
    for (int i = 0; i < 15; ++i) UpdateEnemies(0);
    EXPECT_EQ(g_enemies[0].type, 0);
}

TEST_F(Items, BulletsBreakBlocks)
{
    Activate(ITEM_CANNON);
    g_level.paddleX = 320;
    g_level.paddleY = 375;
    FireCannon();
    EXPECT_TRUE(g_bullets[0].active && g_bullets[1].active);
    SetBlock(9, 20, 1);
    g_bullets[2] = Bullet{1, 300, 340};
    for (int i = 0; i < 10; ++i) UpdateBullets();
    EXPECT_EQ(GetBlockCell(9, 20)->type, 0);
    EXPECT_EQ(g_bullets[2].active, 0);
}

TEST_F(Items, BackdropObjectOffTheRightEdgeIsFreed)
{
    g_backObjects.slots[0] = BackObject{1, 0, 0, Vector2(668, 200), 3.0f, 0.0f};
    g_backObjects.lastTileSet = g_level.backTileSet;
    g_backObjects.lastSpawnFrame = FrameCounter();
    UpdateBackdrop();
    EXPECT_EQ(g_backObjects.slots[0].active, 0);
}

}  // namespace
