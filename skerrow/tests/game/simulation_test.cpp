#include <gtest/gtest.h>

#include "GameTestUtil.h"
#include "skerrow/Src/game/Screen.h"

namespace {

class Play : public ::testing::Test {
protected:
    void SetUp() override { ResetPlay(); }
    ScratchDir dir_;
};

TEST_F(Play, InventoryAndEffectFlags)
{
    g_game.inventory[3].active = 1;  // an empty slot flagged active
    EXPECT_EQ(IsEffectActive(ITEM_NONE), 0);
    EXPECT_EQ(AddToInventory(ITEM_NONE), 0);
    for (int id = 4; id < 14; ++id) EXPECT_EQ(AddToInventory(id), 1);
    EXPECT_EQ(AddToInventory(ITEM_SHIELD), 0) << "an eleventh different item has no slot";
    for (const InventorySlot& s : g_game.inventory) EXPECT_NE(s.id, ITEM_SHIELD);
    EXPECT_EQ(AddToInventory(5), 1);
    EXPECT_EQ(g_game.inventory[1].count, 2);
    g_game.inventory[1].active = 1;
    g_pickedEffects[0] = InventorySlot{ITEM_SHIELD, 0, 1, 5, 5, 0};
    EXPECT_EQ(IsEffectActive(5), 1);
    EXPECT_EQ(IsEffectActive(ITEM_SHIELD), 1);
    DeactivateEffect(ITEM_SHIELD);
    EXPECT_EQ(IsEffectActive(ITEM_SHIELD), 0);
}

TEST_F(Play, SetBlockKeepsToTheTypeTable)
{
    SetBlock(0, 0, 2);
    EXPECT_EQ(GetBlockCell(0, 0)->type, 2);
    EXPECT_EQ(GetBlockCell(0, 0)->hits, 2);
    SetBlock(0, 0, 0);
    EXPECT_EQ(GetBlockCell(0, 0)->type, 0);
    SetBlock(1, 0, 200);  // no [Block type 200]
    EXPECT_EQ(GetBlockCell(1, 0)->type, 0);
    SetBlock(-1, 0, 1);
    SetBlock(20, 0, 1);
    SetBlock(0, g_level.height, 1);
    EXPECT_EQ(GetBlockCell(20, 0), nullptr);
    EXPECT_EQ(GetBlockCell(0, -1), nullptr);
    EXPECT_EQ(GetBlockCell(0, g_level.height), nullptr);
}

TEST_F(Play, PaddleBounceAngles)
{
    g_level.paddleX = 320;
    g_level.paddleY = 375;
    Ball& b = PlaceBall(320, 372, 270);
    b.previous = Vector2(320, 371);
    BounceOffPaddle(b);
    EXPECT_FLOAT_EQ(b.angle, 90.0f);
    Ball& c = PlaceBall(359, 372, 250);
    c.previous = c.position;
    BounceOffPaddle(c);
    EXPECT_NEAR(c.angle, 31.5f, 0.01f);
    // A rising ball is not turned, and a ball beside the paddle is not touched.
    Ball& d = PlaceBall(330, 372, 60);
    BounceOffPaddle(d);
    EXPECT_NEAR(d.angle, 60.0f, 0.01f);
    Ball& e = PlaceBall(361, 372, 270);
    BounceOffPaddle(e);
    EXPECT_FLOAT_EQ(e.angle, 270.0f);
}

TEST_F(Play, ReflectionsOffWallsAndBack)
{
    Ball& b = PlaceBall(100, 100, 30, 3);
    Reflect(b, 0, 0);
    EXPECT_FLOAT_EQ(b.angle, 150.0f);
    b.angle = 200;
    Reflect(b, 0, 0);
    EXPECT_FLOAT_EQ(b.angle, 340.0f);
    b.angle = 30;
    Reflect(b, 1, 0);
    EXPECT_FLOAT_EQ(b.angle, 330.0f);
    for (int i = 0; i < 50; ++i) {
        b.angle = 30;
        Reflect(b, 2, 30);
        EXPECT_GE(b.angle, 200.0f);
        EXPECT_LT(b.angle, 220.0f);
    }
    for (int i = 0; i < 50; ++i) {
        b.angle = 350;
        Reflect(b, 0, 100);
        EXPECT_GE(b.angle, 0.0f);
        EXPECT_LT(b.angle, 360.0f);
    }
}

TEST_F(Play, BlockHitsByKind)
{
    // Diagonal entry with both neighbours empty: thrown back.
    SetBlock(5, 10, 2);
    Ball& b = PlaceBall(170, 170, 45, 1);
    HitBlock(*GetBlockCell(5, 10), b, 5, 10, 1, -1);
    EXPECT_EQ(GetBlockCell(5, 10)->hits, 1);
    EXPECT_GE(b.angle, 215.0f);
    EXPECT_LT(b.angle, 235.0f);
    // From below (row change only): mirrored in y; the block breaks on its last hit and scores.
    b.angle = 60;
    const int score = g_game.score;
    HitBlock(*GetBlockCell(5, 10), b, 5, 10, 0, -1);
    EXPECT_EQ(GetBlockCell(5, 10)->type, 0);
    EXPECT_EQ(g_game.score, score + 25);
    // Indestructible: hit, bounced, never harmed.
    SetBlock(6, 10, 3);
    b.angle = 0;
    HitBlock(*GetBlockCell(6, 10), b, 6, 10, 1, 0);
    EXPECT_EQ(GetBlockCell(6, 10)->type, 3);
    EXPECT_EQ(GetBlockCell(6, 10)->hits, 0);
    EXPECT_GE(b.angle, 180.0f);
    EXPECT_LE(b.angle, 226.0f);
    // Piercing: destroyed and no bounce.
    Activate(ITEM_PIERCING);
    SetBlock(7, 10, 2);
    b.angle = 80;
    HitBlock(*GetBlockCell(7, 10), b, 7, 10, 0, -1);
    EXPECT_EQ(GetBlockCell(7, 10)->type, 0);
    EXPECT_FLOAT_EQ(b.angle, 80.0f);
}

TEST_F(Play, BombOnIndestructibleBlockNearTheTop)
{
    g_level.scrollOffset = 0;
    for (int c = 0; c < 20; ++c) SetBlock(c, 0, 3);
    SetBlock(5, 1, 1);
    Activate(ITEM_BOMB);
    Ball& b = PlaceBall(150, 16, 90, 1);
    MoveBalls();
    const BlockCell* hit = GetBlockCell(4, 0);
    EXPECT_EQ(hit->type, 0) << "the explosion takes the block it hit";
    EXPECT_NE(hit->hits, 65535);
    EXPECT_EQ(GetBlockCell(5, 1)->type, 0);
    EXPECT_EQ(GetBlockCell(15, 0)->type, 3) << "far blocks stay";
    EXPECT_EQ(IsEffectActive(ITEM_BOMB), 0);
    (void)b;
}

TEST_F(Play, BallPushedIntoABlockMovesDown)
{
    SetBlock(3, 10, 3);
    Ball& b = PlaceBall(100, 164, 0, 1);  // inside row 10
    MoveBalls();
    EXPECT_GE(b.position.y, 172.0f);
}

TEST_F(Play, LosingBallsAndLives)
{
    g_game.lives = 3;
    Ball& b = PlaceBall(100, 399, 270, 2);
    MoveBalls();
    EXPECT_EQ(b.active, 0);
    FeedInput({});
    UpdateGame();
    EXPECT_EQ(g_game.lives, 2);
    EXPECT_EQ(g_level.ballOnPaddle, 1);
    g_game.lives = 0;
    g_level.ballOnPaddle = 0;
    FeedInput({});
    UpdateGame();
    EXPECT_EQ(g_level.levelOver, 1);
    EXPECT_EQ(g_level.levelFailed, 1);
}

TEST_F(Play, ScrollingEveryFrameOrEverySecond)
{
    ResetPlay(200);
    g_level.scrollOffset = 1000;
    g_level.scrollSpeed = 1;
    g_settings.scrollSpeed = 1;
    g_game.lives = 5;
    PlaceBall(320, 100, 80, 1);
    for (int i = 0; i < 10; ++i) {
        FeedInput({});
        ++FrameCounter();
        UpdateGame();
    }
    EXPECT_EQ(g_level.scrollOffset, 990);
    g_settings.scrollSpeed = 0;
    for (int i = 0; i < 10; ++i) {
        FeedInput({});
        ++FrameCounter();
        UpdateGame();
    }
    EXPECT_EQ(g_level.scrollOffset, 985);
    Activate(ITEM_TIMEZIP);
    for (int i = 0; i < 10; ++i) {
        FeedInput({});
        ++FrameCounter();
        UpdateGame();
    }
    EXPECT_EQ(g_level.scrollOffset, 985);
}

TEST_F(Play, LevelCompletesAtTheTopUnlessBoss)
{
    g_level.scrollOffset = 0;
    PlaceBall(320, 10, 90, 0);
    FeedInput({});
    UpdateGame();
    EXPECT_EQ(g_level.levelOver, 1);
    EXPECT_EQ(g_game.levels[0].completed, 1);
    EXPECT_EQ(g_level.levelFailed, 0);
}

TEST_F(Play, LaunchAndPaddleLimits)
{
    g_level.ballOnPaddle = 1;
    FeedInput({DIK_SPACE}, 1000, 0);
    UpdateGame();
    EXPECT_EQ(g_level.ballOnPaddle, 0);
    EXPECT_EQ(g_level.paddleX, 640 - 2 - 40);
    EXPECT_EQ(g_level.paddleY, 375);
    EXPECT_TRUE(g_balls[0].active);
    EXPECT_FLOAT_EQ(g_balls[0].speed, 3.0f);
    FeedInput({}, -2000, -300);
    UpdateGame();
    EXPECT_EQ(g_level.paddleX, 40);
    EXPECT_EQ(g_level.paddleY, 375);
    Activate(ITEM_FREE_FLY);
    FeedInput({}, 0, -300);
    UpdateGame();
    EXPECT_EQ(g_level.paddleY, 245);
}

TEST_F(Play, PauseAndExitPromptStopTheClock)
{
    FrameCounter() = 50;
    FeedInput({DIK_PAUSE});
    UpdateGame();
    EXPECT_EQ(g_level.paused, 1);
    EXPECT_EQ(FrameCounter(), 49);
    FeedInput({DIK_ESCAPE});
    UpdateGame();
    EXPECT_EQ(g_level.paused, 0);
    FeedInput({});
    FeedInput({DIK_ESCAPE});
    UpdateGame();
    EXPECT_EQ(g_level.exitPrompt, 1);
    FeedInput({DIK_PAUSE});
    UpdateGame();
    EXPECT_EQ(g_level.paused, 0) << "pause and the exit prompt exclude each other";
    FeedInput({DIK_N});
    UpdateGame();
    EXPECT_EQ(g_level.exitPrompt, 0);
}

TEST_F(Play, AngleOfAndPingPong)
{
    EXPECT_FLOAT_EQ(AngleOf(Vector2(0, 0)), 90.0f);
    EXPECT_NEAR(AngleOf(Vector2(0, -1)), 90.0f, 1e-4);
    EXPECT_NEAR(AngleOf(Vector2(0, 1)), 270.0f, 1e-4);
    EXPECT_NEAR(AngleOf(Vector2(-1, 0)), 180.0f, 1e-4);
    FrameCounter() = 10;
    EXPECT_EQ(FramePingPong(180), 170);
    FrameCounter() = 190;
    EXPECT_EQ(FramePingPong(180), 10);
}

}  // namespace

namespace {

class Leaving : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetPlay();
        g_currentScreen = nullptr;
        g_screenDepth = 0;
        root_.SwitchScreen(0);
        play_.SwitchScreen(0);
        g_settings.musicVolume = 3;
        std::snprintf(g_sounds.musicName, sizeof g_sounds.musicName, "fl3.s3m");
    }
    void TearDown() override
    {
        g_currentScreen = nullptr;
        g_screenDepth = 0;
        g_sounds.musicName[0] = 0;
    }
    struct Stub : Screen {
        const char* GetName() override { return "Stub"; }
        void InitSurfaces() override {}
        void ReleaseSurfaces() override {}
        void OnDisplay(Screen*, int32_t a) override { argument = a; }
        int32_t Process() override { return 1; }
        int32_t argument = -1;
    };
    ScratchDir dir_;
    Stub root_, play_;
};

TEST_F(Leaving, FadeOutRestoresVolumeAndForgetsTheMusic)
{
    EndLevel(1);
    FeedInput({DIK_SPACE});
    UpdateGame();
    EXPECT_EQ(g_level.leaveRequested, 1);
    EXPECT_EQ(GetGameMusicVolume(), 2);
    for (int i = 0; i < 3; ++i) {
        FeedInput({});
        UpdateGame();
    }
    EXPECT_EQ(GetCurrentScreen(), &root_);
    EXPECT_EQ(root_.argument, 1);
    EXPECT_EQ(GetGameMusicVolume(), 3);
    EXPECT_STREQ(g_sounds.musicName, "") << "the map's music starts again";
}

TEST_F(Leaving, ExitPromptDuringTheFadeRestoresVolume)
{
    EndLevel(0);
    FeedInput({DIK_SPACE});
    UpdateGame();
    EXPECT_EQ(GetGameMusicVolume(), 2);
    FeedInput({DIK_ESCAPE});
    EXPECT_EQ(UpdateGame(), 1);
    EXPECT_EQ(g_level.exitPrompt, 1);
    FeedInput({DIK_Y});
    EXPECT_EQ(UpdateGame(), 0);
    EXPECT_EQ(GetCurrentScreen(), &root_);
    EXPECT_EQ(root_.argument, 0);
    EXPECT_EQ(GetGameMusicVolume(), 3);
}

}  // namespace
