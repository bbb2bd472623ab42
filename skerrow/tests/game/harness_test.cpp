#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "Harness.h"

namespace {

class Harness : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(StartHarnessDisplay()) << "needs the data set in " BUILD_ROOT "/data/skerrow"; }
};

TEST_F(Harness, SameSeedSameScriptSameGame)
{
    const RunResult a = PlayLevel(3, 4242, 1500, 50);
    const RunResult b = PlayLevel(3, 4242, 1500, 50);
    ASSERT_EQ(a.hashes.size(), b.hashes.size());
    EXPECT_EQ(a.hashes, b.hashes);
    EXPECT_EQ(a.finalHash, b.finalHash);
    const RunResult c = PlayLevel(3, 4243, 1500, 50);
    EXPECT_NE(a.finalHash, c.finalHash);
}

TEST_F(Harness, BotPlaysFirstAndLastLevelsOfBothEpisodes)
{
    const std::string dir = std::string(BUILD_ROOT) + "/skerrow-game-shots";
    std::filesystem::create_directories(dir);
    for (int level : {1, 50, 51, 100}) {
        char name[64];
        std::snprintf(name, sizeof name, "%s/level%03d", dir.c_str(), level);
        const std::string base = name;
        int overAt = -1;
        const RunResult r = PlayLevel(level, 1000u + static_cast<unsigned>(level), 200000, 0, [&](int tick) {
            if (tick == 300 || tick == 3000) SaveBackBufferPng(base + "_" + std::to_string(tick) + ".png");
            if (g_level.levelOver && overAt < 0) overAt = tick;
            if (overAt >= 0 && tick == overAt + 30) {
                SaveBackBufferPng(base + "_end.png");
                if (getenv("HARNESS_TRACE"))
                    std::fprintf(stderr, "end: font %d finished %d anim %d frame %d\n", g_sprites->fonts[0].IsLoaded(),
                                 g_sprites->tpanelAnim.IsFinished(), g_sprites->tpanelAnim.CurrentIndex(),
                                 g_sprites->tpanelAnim.CurrentFrame());
            }
            if (getenv("HARNESS_TRACE") && tick % 2000 == 0) {
                std::fprintf(stderr, "level %d tick %d scroll %d lives %d balls:", level, tick, g_level.scrollOffset, g_game.lives);
                for (const Ball& b : g_balls)
                    if (b.active) std::fprintf(stderr, " (%.0f,%.0f a%.0f s%.1f)", b.position.x, b.position.y, b.angle, b.speed);
                std::fprintf(stderr, "\n");
            }
        });
        EXPECT_EQ(r.completed, 1) << "level " << level << " after " << r.ticks << " ticks, lives " << g_game.lives
                                  << ", scroll " << g_level.scrollOffset;
        EXPECT_EQ(g_game.levels[level - 1].completed, 1);
        EXPECT_GT(g_game.score, 0);
    }
}

TEST_F(Harness, ScreenDrawsPlayViewPanelAndMessages)
{
    PlayLevel(2, 7, 120, 0);
    {
        // Background tiles fill the play view; blocks, paddle and ball add their colours.
        uint16_t* p = nullptr;
        int pitch = 0;
        ASSERT_EQ(LockSurface(g_display.backBuffer, &p, &pitch), 1);
        std::vector<int> seen(65536, 0);
        int distinct = 0, black = 0;
        for (int y = 0; y < 400; ++y)
            for (int x = 0; x < 640; ++x) {
                const uint16_t v = p[y * pitch + x];
                black += v == 0;
                if (!seen[v]++) ++distinct;
            }
        UnlockSurface(g_display.backBuffer);
        EXPECT_LT(black, 640 * 400 / 10);
        EXPECT_GT(distinct, 200);
    }
    // The exit prompt stops play and shows its panel.
    PlayLevel(2, 7, 60, 0, nullptr, [](int tick) {
        FeedInput(tick == 5 ? std::initializer_list<int>{DIK_ESCAPE} : std::initializer_list<int>{}, 0, 0);
    });
    EXPECT_EQ(g_level.exitPrompt, 1);
    EXPECT_EQ(GetCurrentScreen(), &g_gameScreen);
    SaveBackBufferPng(std::string(BUILD_ROOT) + "/skerrow-game-shots/exit_prompt.png");
    // Y leaves the level as abandoned.
    const RunResult r = PlayLevel(2, 7, 60, 0, nullptr, [](int tick) {
        const int key = tick == 5 ? DIK_ESCAPE : tick == 10 ? DIK_Y : 0;
        FeedInput(key ? std::initializer_list<int>{key} : std::initializer_list<int>{}, 0, 0);
    });
    EXPECT_EQ(r.completed, 0);
    EXPECT_LT(r.ticks, 60);
    // The panel lies at the bottom; the progress shows 0 at the start.
    EXPECT_EQ(LevelProgress(), 0);
    uint16_t* p = nullptr;
    int pitch = 0;
    ASSERT_EQ(LockSurface(g_display.backBuffer, &p, &pitch), 1);
    int lit = 0;
    for (int y = 400; y < 480; ++y)
        for (int x = 0; x < 640; ++x) lit += p[y * pitch + x] != 0;
    UnlockSurface(g_display.backBuffer);
    EXPECT_GT(lit, 640 * 40);
}

namespace {
// The columns the ship's picture reaches as the game draws it, alone on a black screen.
void ShipColumns(int* first, int* last)
{
    uint16_t* p = nullptr;
    int pitch = 0;
    ASSERT_EQ(LockSurface(g_display.backBuffer, &p, &pitch), 1);
    for (int y = 0; y < 480; ++y) std::memset(p + y * pitch, 0, 640 * sizeof(uint16_t));
    UnlockSurface(g_display.backBuffer);
    g_level.previousPaddleX = g_level.paddleX;  // no exhaust
    g_level.ballOnPaddle = 0;
    DrawPaddleAndBalls();
    ASSERT_EQ(LockSurface(g_display.backBuffer, &p, &pitch), 1);
    *first = 640;
    *last = -1;
    for (int y = 340; y < 400; ++y)
        for (int x = 0; x < 640; ++x)
            if (p[y * pitch + x]) {
                *first = std::min(*first, x);
                *last = std::max(*last, x);
            }
    UnlockSurface(g_display.backBuffer);
}
}  // namespace

// Pushed to either side as far as it goes, the ship as drawn meets the wall, narrow or wide.
TEST_F(Harness, TheShipMeetsEachWallAtItsLimit)
{
    for (int wide = 0; wide < 2; ++wide)
        for (int push : {-2000, 2000}) {
            PlayLevel(1, 11, 12, 0, nullptr, [&](int tick) {
                if (tick == 1 && wide) AddToInventory(ITEM_WIDE_BUSTER);
                const int key = tick == 2 && wide ? DIK_1 : 0;
                FeedInput(key ? std::initializer_list<int>{key} : std::initializer_list<int>{}, tick > 4 ? push : 0, 0);
            });
            ASSERT_EQ(IsEffectActive(ITEM_WIDE_BUSTER), wide);
            const int half = wide ? 60 : 40;
            ASSERT_EQ(g_level.paddleX, push < 0 ? half : 640 - 2 - half) << "wide " << wide;
            int first = 0, last = 0;
            ShipColumns(&first, &last);
            if (push < 0)
                EXPECT_EQ(first, 0) << "wide " << wide;
            else
                EXPECT_EQ(last, 639) << "wide " << wide;
            SaveBackBufferPng(std::string(BUILD_ROOT) + "/skerrow-game-shots/ship_" + (wide ? "wide_" : "") +
                              (push < 0 ? "left" : "right") + ".png");
            // The picture is no more than a pixel wider on each side than the ship that plays.
            EXPECT_GE(first, g_level.paddleX - half - 1);
            EXPECT_LE(last, g_level.paddleX + half + 1);
        }
}

TEST_F(Harness, TextBatchKeepsItsFirstFont)
{
    TrueTypeFont& a = g_sprites->fonts[0];
    TrueTypeFont& b = g_sprites->fonts[1];
    BeginText(&a, 16);
    BeginText(&b, 30);
    EXPECT_EQ(g_currentFont, &a);
    EXPECT_EQ(a.Size(), 16);
    EndText();
    EXPECT_EQ(IsTextBatchOpen(), 0);
    EndText();
    EXPECT_EQ(IsTextBatchOpen(), 0);
}

}  // namespace

namespace {

TEST_F(Harness, EditorPaintsMirrorsFillsAndSaves)
{
    ScratchDir scratch;
    PlayLevel(4, 11, 1, 0);
    g_gameScreen.editorAllowed = 1;
    auto tick = [](std::initializer_list<int> keys, int dx = 0, int dy = 0, bool left = false) {
        ++FrameCounter();
        FeedInput(keys, dx, dy, left);
        g_gameScreen.Process();
    };
    tick({DIK_F5});
    ASSERT_EQ(g_level.editorOn, 1);
    const int frame = FrameCounter();
    const int scroll = g_level.scrollOffset;
    for (BlockCell& c : g_level.grid) c = BlockCell{0, 0, 0};
    // The cursor starts at (320, 200): move it to column 2 and paint with a mirror.
    tick({DIK_LSHIFT}, -250, 0, true);
    const int row = (g_level.scrollOffset + 200) / kCellHeight;
    EXPECT_EQ(GetBlockCell(2, row)->type, 1);
    EXPECT_EQ(GetBlockCell(17, row)->type, 1);
    EXPECT_EQ(GetBlockCell(3, row)->type, 0);
    tick({DIK_LCONTROL}, 0, 16, true);
    for (int c = 0; c < 20; ++c) EXPECT_EQ(GetBlockCell(c, row + 1)->type, 1);
    tick({}, 0, 0, false);
    tick({}, 0, 0, false);
    tick({DIK_LCONTROL}, 0, 0, false);
    EXPECT_EQ(FrameCounter(), frame) << "play stands still while editing";
    EXPECT_EQ(scroll, g_level.scrollOffset);
    tick({DIK_F2});
    const std::vector<uint8_t> saved = ReadFileBytes("Episode1/Levels/Level04.map");
    ASSERT_EQ(saved.size(), g_level.grid.size());
    EXPECT_EQ(saved[static_cast<size_t>(row) * 20 + 17], 1);
    tick({DIK_F8});
    for (const BlockCell& c : g_level.grid) ASSERT_EQ(c.type, 0);
    tick({DIK_F5});
    EXPECT_EQ(g_level.editorOn, 0);
    g_gameScreen.editorAllowed = 0;
}

}  // namespace

namespace {

int LitPixels(int y0, int y1)
{
    uint16_t* p = nullptr;
    int pitch = 0;
    if (!LockSurface(g_display.backBuffer, &p, &pitch)) return -1;
    int lit = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = 0; x < 640; ++x) lit += p[y * pitch + x] != 0;
    UnlockSurface(g_display.backBuffer);
    return lit;
}

TEST_F(Harness, InvisibleBlocksAreNotDrawnButStillHit)
{
    PlayLevel(2, 7, 2, 0);
    const int first = g_level.scrollOffset / kCellHeight;
    for (BlockCell& c : g_level.grid) c = BlockCell{0, 0, 0};
    for (Enemy& e : g_enemies) e = Enemy{};
    for (int c = 0; c < 20; ++c) SetBlock(c, first + 10, 1);
    FillScreenRect(0, 0, 640, 480, 0);
    DrawBlocks();
    EXPECT_GT(LitPixels(0, 400), 20 * 32 * 10);
    Activate(ITEM_INVISIBLE);
    FillScreenRect(0, 0, 640, 480, 0);
    DrawBlocks();
    EXPECT_EQ(LitPixels(0, 400), 0);
    Ball& b = PlaceBall(100, 10 * 16 + 40, 90, 3);
    for (int i = 0; i < 20; ++i) MoveBalls();
    EXPECT_EQ(GetBlockCell(3, first + 10)->type, 0);
    (void)b;
}

}  // namespace

// The check the map makes before a level starts passes every level of the data set.
TEST_F(Harness, EveryLevelOfTheDataSetPassesTheMapsCheck)
{
    for (int n = 1; n <= kLevelCount; ++n) {
        std::string why;
        EXPECT_EQ(CheckLevelFiles(n, &why), 1) << "level " << n << ": " << why;
    }
}
