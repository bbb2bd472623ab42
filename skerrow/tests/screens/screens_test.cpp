#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "GameProcess.h"
#include "ScreenHarness.h"

namespace {

class Screens : public ScreensSuite {
protected:
    void SetUp() override
    {
        ScreensSuite::SetUp();
        if (HasFatalFailure()) return;
        ResetCampaign();
        g_level.grid.clear();
        g_level.height = 200;
        g_clickedButtonId = 0;
    }
};

void CompleteLevels(int first, int last)
{
    for (int i = first; i <= last; ++i) {
        g_game.levels[i - 1].completed = 1;
        g_game.levels[i - 1].revealed = 1;
    }
}

// Screen point of a level's node for the map's current scroll.
bool NodeOnScreen(int level, int* x, int* y)
{
    float scale;
    return NodeScreen::NodePosition(g_game.levels[level - 1], g_nodeScreenInstance.scroll, x, y, &scale) != 0;
}

}  // namespace

TEST_F(Screens, NewCampaignRevealsLevelOneAfterThirtyFrames)
{
    StartAt(&g_menuScreenInstance);
    Frame();
    SaveShot("menu");
    EXPECT_GT(LitPixels(), 10000);
    ClickAt(456, 199);  // NEW GAME
    ASSERT_EQ(GetCurrentScreen(), &g_nodeScreenInstance);
    EXPECT_EQ(g_game.lives, 8);
    EXPECT_EQ(g_game.money, 150);
    const LevelInfo& one = g_game.levels[0];
    EXPECT_EQ(one.opening, 1);
    EXPECT_EQ(one.available, 0);
    for (int i = 1; i < kLevelCount; ++i) EXPECT_EQ(g_game.levels[i].available + g_game.levels[i].opening, 0) << i;
    Frames(31);
    EXPECT_EQ(one.opening, 0);
    EXPECT_EQ(one.available, 1);
    EXPECT_EQ(one.revealed, 1);
    Frames(80);
    SaveShot("map");
    // The reveal happens once: the map shown again keeps the node available, not opening.
    NodeScreen::ComputeLevelStates();
    EXPECT_EQ(one.opening, 0);
    EXPECT_EQ(one.available, 1);
}

namespace {
// The back-buffer pixels of a square around (cx, cy), row by row.
std::vector<uint16_t> PixelsAround(int cx, int cy, int half)
{
    std::vector<uint16_t> out;
    uint16_t* pixels = nullptr;
    int pitch = 0;
    if (!LockSurface(g_display.backBuffer, &pixels, &pitch)) return out;
    for (int y = cy - half; y < cy + half; ++y)
        for (int x = cx - half; x < cx + half; ++x) out.push_back(pixels[y * pitch + x]);
    UnlockSurface(g_display.backBuffer);
    return out;
}
}  // namespace

// Each of the eight planet pictures, open and locked, is a picture of its own: none is the
// empty frame, and no two locked ones are the same.
TEST_F(Screens, EveryPlanetPictureIsDrawnOpenAndLocked)
{
    StartAt(&g_nodeScreenInstance);
    Frame();
    FillScreenRect(0, 0, 640, 480, 0);
    std::vector<std::vector<uint16_t>> locked;
    for (int p = 0; p < 8; ++p) {
        EXPECT_EQ(NodeScreen::DarkPlanetFrame(p), p + 1);
        for (int open = 0; open < 2; ++open) {
            const int x = 50 + 75 * p, y = open ? 200 : 300;
            g_nodeScreenInstance.DrawPlanet(p, open != 0, x, y, 1.0f, 0.0f);
            const std::vector<uint16_t> shown = PixelsAround(x, y, 24);
            int lit = 0;
            for (uint16_t px : shown) lit += px != 0;
            // A planet of radius 17 covers some 900 pixels.
            EXPECT_GT(lit, 600) << "picture " << p << (open ? " open" : " locked");
            if (!open) locked.push_back(shown);
        }
    }
    for (int a = 0; a < 8; ++a)
        for (int b = a + 1; b < 8; ++b) EXPECT_NE(locked[a], locked[b]) << "pictures " << a << " and " << b;
    SaveShot("map-planets");
}

TEST_F(Screens, AvailabilityFollowsRequiresInBothEpisodes)
{
    NodeScreen::ComputeLevelStates();
    EXPECT_EQ(g_game.levels[1].opening, 0);  // level 2 needs level 1
    CompleteLevels(1, 1);
    NodeScreen::ComputeLevelStates();
    EXPECT_EQ(g_game.levels[1].opening, 1);
    EXPECT_EQ(g_game.levels[1].requirementsMet, 1);
    // Level 51 names level 50 as it is; episode 2's later levels count from level 51.
    CompleteLevels(1, 49);
    NodeScreen::ComputeLevelStates();
    EXPECT_EQ(g_game.levels[50].requirementsMet, 0);
    CompleteLevels(50, 50);
    NodeScreen::ComputeLevelStates();
    EXPECT_EQ(g_game.levels[50].requirementsMet, 1);
    EXPECT_EQ(g_game.levels[51].requirementsMet, 0);  // level 52 needs 51, not 1
    ASSERT_GE(g_game.levels[51].prerequisiteCount, 1);
    EXPECT_EQ(g_game.levels[51].prerequisites[0], 50);
    CompleteLevels(51, 51);
    NodeScreen::ComputeLevelStates();
    EXPECT_EQ(g_game.levels[51].requirementsMet, 1);
    EXPECT_EQ(g_game.levels[51].opening, 1);
}

TEST_F(Screens, LostLevelCostsNothingAndWonLevelOpensTheShop)
{
    StartAt(&g_menuScreenInstance);
    LoadLevelList(1);
    Frames(31);
    g_game.inventory[0] = InventorySlot{ITEM_CANNON, 2, 0, 0, 0, 0};
    g_nodeScreenInstance.StartLevel(1);
    ASSERT_EQ(GetCurrentScreen(), &g_gameScreen);
    g_game.lives = 1;
    g_game.money = 999;
    g_game.score = 4321;
    g_game.inventory[0].count = 0;
    g_gameScreen.ReturnToPreviousScreen(0);
    ASSERT_EQ(GetCurrentScreen(), &g_nodeScreenInstance);
    EXPECT_EQ(g_game.lives, 8);
    EXPECT_EQ(g_game.money, 150);
    EXPECT_EQ(g_game.score, 0);
    EXPECT_EQ(g_game.inventory[0].count, 2);

    g_nodeScreenInstance.StartLevel(1);
    g_game.score = 500;
    g_game.levels[0].completed = 1;
    g_gameScreen.ReturnToPreviousScreen(1);
    EXPECT_EQ(GetCurrentScreen(), &g_shopScreen);
    EXPECT_EQ(g_game.score, 500);
    EXPECT_EQ(g_screenDepth, 3);  // menu, map, shop over the map
}

TEST_F(Screens, HundredthLevelLeadsThroughTheShopToTheBossAndALostFightBackToTheMap)
{
    StartAt(&g_menuScreenInstance);
    LoadLevelList(1);
    CompleteLevels(1, 99);
    NodeScreen::ComputeLevelStates();
    g_nodeScreenInstance.StartLevel(100);
    g_game.levels[99].completed = 1;
    g_gameScreen.ReturnToPreviousScreen(1);
    ASSERT_EQ(GetCurrentScreen(), &g_shopScreen);
    Key(DIK_ESCAPE);
    ASSERT_EQ(GetCurrentScreen(), &g_bossScreenInstance);
    Frames(40);
    SaveShot("boss");
    EXPECT_GT(LitPixels(), 10000);
    g_game.lives = 0;
    g_game.money = 1;
    // The exit prompt confirmed: back on the map, the campaign as it was, and no new fight.
    Key(DIK_ESCAPE);
    Key(DIK_Y);
    ASSERT_EQ(GetCurrentScreen(), &g_nodeScreenInstance);
    EXPECT_EQ(g_game.lives, g_nodeScreenInstance.snapshot.lives);
    EXPECT_EQ(g_game.money, g_nodeScreenInstance.snapshot.money);
    Frames(3);
    EXPECT_EQ(GetCurrentScreen(), &g_nodeScreenInstance);
    // The shop's way back leads to the fight again.
    g_shopScreen.SwitchScreen(0);
    Key(DIK_ESCAPE);
    EXPECT_EQ(GetCurrentScreen(), &g_bossScreenInstance);
}

// A fight lost with the last ball: the map it leads back to has no planet left, says so, and its
// START leads into the fight again from the campaign of before.
TEST_F(Screens, LostFightLeavesTheMapAWayBackIntoIt)
{
    StartAt(&g_menuScreenInstance);
    LoadLevelList(1);
    CompleteLevels(1, 100);
    g_game.lives = 0;
    g_game.money = 40;
    g_nodeScreenInstance.SwitchScreen(0);
    ASSERT_EQ(GetCurrentScreen(), &g_bossScreenInstance);
    // Launch, then keep the paddle on the far side from the ball until the fight is over.
    int frame = 0;
    for (; frame < 20000 && GetCurrentScreen() == &g_bossScreenInstance; ++frame) {
        int away = g_level.paddleX;
        for (const Ball& b : g_balls)
            if (b.active) away = b.position.x < 320.0f ? 600 : 40;
        uint8_t keys[256] = {};
        if ((g_level.ballOnPaddle || g_level.levelOver) && (frame & 1)) keys[DIK_SPACE] = 0x80;
        DIMOUSESTATE mouse{};
        mouse.lX = away - g_level.paddleX;
        ProcessInputStates(keys, &mouse, 0);
        ++FrameCounter();
        ProcessCurrentScreen();
    }
    ASSERT_EQ(GetCurrentScreen(), &g_nodeScreenInstance) << "after " << frame << " frames";
    EXPECT_EQ(g_game.money, 40);
    Frames(40);
    SaveShot("map-all-done");
    EXPECT_EQ(GetCurrentScreen(), &g_nodeScreenInstance);
    EXPECT_STRNE(g_nodeScreenInstance.PromptText(), g_strings.Get("Level"));
    EXPECT_STRNE(g_nodeScreenInstance.PromptText(), "");
    ClickAt(108, 404);  // START
    ASSERT_EQ(GetCurrentScreen(), &g_bossScreenInstance);
    EXPECT_EQ(g_bossScreenInstance.health, 300);
    EXPECT_EQ(g_game.money, 40);
}

TEST_F(Screens, BossFallsAfterItsHitsThenMoneyAndLivesBecomeScore)
{
    StartAt(&g_menuScreenInstance);
    g_bossScreenInstance.SwitchScreen(0);
    BossScreen& boss = g_bossScreenInstance;
    EXPECT_EQ(boss.health, 300);
    ASSERT_FALSE(g_level.grid.empty());  // the arena has its own (empty) grid
    boss.bossX = 320;
    boss.bossY = 200;
    int hits = 0;
    while (boss.state != BOSS_DEFEATED && hits < 400) {
        for (Ball& b : g_balls) b = Ball{};
        g_balls[0].active = 1;
        g_balls[0].position = Vector2(320.0f, 240.5f);  // at the box's bottom edge, going up
        g_balls[0].angle = 90.0f;
        g_balls[0].speed = 1.0f;
        boss.BossCollisions();
        ++hits;
        boss.RunBossState();
    }
    EXPECT_EQ(hits, 301);
    EXPECT_EQ(boss.health, 0);

    g_game.money = 35;
    g_game.lives = 2;
    g_game.score = 0;
    std::vector<int> money;
    int frames = 0;
    while (GetCurrentScreen() == &boss && frames < 1000) {
        ++boss.frameCounter;
        ++frames;
        const int before = g_game.money;
        if (boss.RunBossState()) break;
        if (g_game.money != before) money.push_back(g_game.money);
        if (g_game.money == 0 && g_game.lives == 0 && g_game.score == 3020) break;
    }
    EXPECT_EQ(money, (std::vector<int>{25, 15, 5, 0}));
    EXPECT_EQ(g_game.score, 3020);
    int wait = 0;
    while (GetCurrentScreen() == &boss && wait < 200) {
        ++boss.frameCounter;
        ++wait;
        boss.RunBossState();
    }
    EXPECT_EQ(wait, 100);
    EXPECT_EQ(GetCurrentScreen(), &g_happyScreen);
}

namespace {
int ActiveBackObjects()
{
    int n = 0;
    for (const BackObject& o : g_backObjects.slots) n += o.active;
    return n;
}
}  // namespace

// Objects drift over the sky of every level, not only of the first: after a long level the
// next one's sky is as full as the first's.
TEST_F(Screens, BackgroundObjectsDriftOverEveryLevelNotOnlyTheFirst)
{
    StartAt(&g_menuScreenInstance);
    LoadLevelList(1);
    for (int level = 1; level <= 2; ++level) {
        g_levelSeed = 5;
        g_nodeScreenInstance.StartLevel(level);
        g_levelSeed = 0;
        ASSERT_EQ(GetCurrentScreen(), &g_gameScreen);
        // Long enough for the objects of a level before to have drifted away.
        Frames(600);
        int shown = 0;
        for (int frame = 0; frame < 200; ++frame) {
            Frame();
            shown += ActiveBackObjects() > 0;
        }
        EXPECT_GT(shown, 150) << "frames of 200 with an object in the sky of level " << level;
        Frames(2400);  // the level played on, over three minutes in all
        Key(DIK_ESCAPE);
        Key(DIK_Y);
        ASSERT_EQ(GetCurrentScreen(), &g_nodeScreenInstance);
    }
}

// However fast a ball flies, whichever way the boss drifts and wherever in its frame the ball
// meets an edge, a ball sent at the boss strikes it once and leaves by the side it came from:
// it is never inside the boss at the end of a frame.
TEST_F(Screens, BallsSentAtTheBossAtEverySpeedBounceOffTheSideTheyCameFrom)
{
    StartAt(&g_menuScreenInstance);
    g_bossScreenInstance.SwitchScreen(0);
    BossScreen& boss = g_bossScreenInstance;
    srand(11);
    const Vector2 outward[4] = {Vector2(-1, 0), Vector2(1, 0), Vector2(0, -1), Vector2(0, 1)};
    const char* const names[4] = {"left", "right", "top", "bottom"};
    int trials = 0, failures = 0;
    for (int side = 0; side < 4; ++side)
        for (int tenths = 20; tenths <= 50; ++tenths)  // every ball speed from 2 to 5
            for (int offset = 0; offset < 10; ++offset)
                for (int tilt : {-30, 0, 30})
                    for (float drift : {-1.0f, 1.0f}) {
                        ++trials;
                        const Vector2 n = outward[side];
                        const float speed = static_cast<float>(tenths) / 10.0f;
                        boss.bossX = 320;
                        boss.bossY = 200;
                        boss.velocity = Vector2(2.0f * drift, 1.0f * drift);
                        boss.health = 300;
                        for (Ball& b : g_balls) b = Ball{};
                        for (Enemy& e : g_enemies) e = Enemy{};
                        g_level.ballOnPaddle = 0;
                        FrameCounter() = 1;
                        Ball& ball = g_balls[0];
                        ball.active = 1;
                        ball.speed = speed;
                        ball.angle = AngleOf(Vector2(-n.x, -n.y)) + static_cast<float>(tilt);
                        ball.position = Vector2(320.0f + n.x * (42.0f + offset), 200.0f + n.y * (42.0f + offset));
                        ball.previous = ball.position;
                        std::string fault;
                        int frame = 0, hitFrame = -1;
                        for (; frame < 40 && fault.empty(); ++frame) {
                            Frame();
                            const Vector2 d = ball.position - Vector2(static_cast<float>(boss.bossX), static_cast<float>(boss.bossY));
                            if (std::fabs(d.x) <= 40.0f && std::fabs(d.y) <= 40.0f) fault = "inside the boss";
                            else if (boss.health < 300 && hitFrame < 0) {
                                hitFrame = frame;
                                const Vector2 away = Direction(ball.angle);
                                if (boss.health != 299) fault = "more than one hit";
                                else if (d.x * n.x + d.y * n.y <= 40.0f) fault = "put out on another side";
                                else if (away.x * n.x + away.y * n.y <= 0.0f) fault = "not bounced";
                            } else if (hitFrame >= 0 && frame > hitFrame + 5) {
                                break;
                            }
                        }
                        if (fault.empty() && hitFrame < 0) fault = "never hit";
                        if (fault.empty() && boss.health != 299) fault = "hit again on the way out";
                        if (!fault.empty() && ++failures <= 5)
                            ADD_FAILURE() << names[side] << " side, speed " << speed << ", " << offset << " px further, tilt "
                                          << tilt << ", boss drifting " << drift << ": " << fault << " in frame " << frame;
                    }
    EXPECT_EQ(failures, 0) << "of " << trials << " balls";
}

TEST_F(Screens, BossShotFreezesThePaddleOncePerPass)
{
    StartAt(&g_menuScreenInstance);
    g_bossScreenInstance.SwitchScreen(0);
    BossScreen& boss = g_bossScreenInstance;
    boss.shots[0].active = 1;
    boss.shots[0].position = Vector2(320.0f, 340.0f);
    boss.shots[0].velocity = Vector2(0.0f, 12.0f);  // one pixel a frame
    int freezes = 0;
    for (int i = 0; i < 100; ++i) {
        g_level.paddleFreeze = 0;
        boss.UpdateShots(0);
        freezes += g_level.paddleFreeze == 100;
    }
    EXPECT_EQ(freezes, 1);
    EXPECT_EQ(boss.shots[0].active, 1);
}

// The boss's rhythm comes from its animations: each volley is one shot per gun, so a frozen
// paddle is not hit again before it thaws, and a paddle that never moves, hit by every volley,
// is still free most of the fight.
TEST_F(Screens, BossVolleysLeaveEvenAStillPaddleFreeMostOfTheFight)
{
    StartAt(&g_menuScreenInstance);
    g_bossScreenInstance.SwitchScreen(0);
    BossScreen& boss = g_bossScreenInstance;
    srand(7);
    g_level.paddleX = 320;
    g_level.paddleY = 375;
    g_level.paddleWidth = 80;
    const int ticks = 20000;
    int frozen = 0, volleys = 0, hits = 0;
    std::vector<int> perVolley;
    int32_t lastState = boss.state;
    for (int t = 0; t < ticks; ++t) {
        ++boss.frameCounter;
        frozen += g_level.paddleFreeze > 0;
        if (g_level.paddleFreeze) --g_level.paddleFreeze;
        const bool wasActive[2] = {boss.shots[0].active != 0, boss.shots[1].active != 0};
        boss.MoveBoss();
        boss.RunBossState();
        if (boss.state == BOSS_FIRE && lastState != BOSS_FIRE) {
            ++volleys;
            perVolley.push_back(0);
        }
        for (int gun = 0; gun < 2; ++gun)
            if (boss.shots[gun].active && !wasActive[gun] && !perVolley.empty()) ++perVolley.back();
        const int before = g_level.paddleFreeze;
        boss.UpdateShots(0);
        hits += g_level.paddleFreeze == 100 && before != 100;
        lastState = boss.state;
    }
    ASSERT_GT(volleys, 10);
    for (size_t v = 0; v < perVolley.size(); ++v) EXPECT_EQ(perVolley[v], 2) << "volley " << v;
    EXPECT_GE(hits, volleys);  // aimed shots do not miss a paddle that stands still
    EXPECT_LT(frozen * 4, ticks) << frozen << " of " << ticks << " ticks frozen, " << volleys << " volleys";
}

TEST_F(Screens, ShopPricesSellingAndTheExchange)
{
    ASSERT_EQ(LoadShopItems(), 1);
    for (int id = 1; id < ITEM_COUNT; ++id) EXPECT_EQ(g_shopItems[id].sellPrice, g_shopItems[id].price * 8 / 10) << id;
    EXPECT_EQ(ShelfItem(0), ITEM_CREDIT1);
    EXPECT_EQ(ShelfItem(1), ITEM_BALL);
    EXPECT_EQ(ShelfItem(20), ITEM_SHIELD);
    EXPECT_EQ(ShelfPlace(ITEM_CREDIT2), -1);

    g_shopItems[ITEM_CREDIT1].price = 10;
    g_game.money = 5;
    g_game.score = 12;
    EXPECT_EQ(BuyItem(ITEM_CREDIT1), 1);
    EXPECT_EQ(g_game.money, 6);
    EXPECT_EQ(g_game.score, 2);
    // Money never buys score points' worth: the exchange needs the points.
    g_game.money = 1000;
    EXPECT_EQ(CanBuy(ITEM_CREDIT1), 0);
    EXPECT_EQ(BuyItem(ITEM_CREDIT1), 0);
    EXPECT_EQ(g_game.score, 2);

    g_shopItems[ITEM_BALL].price = 50;
    EXPECT_EQ(BuyItem(ITEM_BALL), 1);
    EXPECT_EQ(g_game.lives, 9);
    EXPECT_EQ(g_game.money, 950);
    EXPECT_EQ(g_game.inventory[0].id, 0);

    for (int i = 0; i < kInventorySlots; ++i) g_game.inventory[i] = InventorySlot{static_cast<int16_t>(ITEM_WIDE_BUSTER + i), 1, 0, 0, 0, 0};
    g_game.money = 1000;
    EXPECT_EQ(BuyItem(ITEM_SHIELD), 0);  // an eleventh different item
    EXPECT_EQ(g_game.money, 1000);
    EXPECT_EQ(BuyItem(ITEM_WIDE_BUSTER), 1);
    EXPECT_EQ(g_game.inventory[0].count, 2);

    // Selling the detonator only sells it: there is no level (nor grid) to blow up.
    ResetCampaign();
    g_level.grid.clear();
    g_shopItems[ITEM_DETONATOR].price = 15;
    g_shopItems[ITEM_DETONATOR].sellPrice = 15 * 8 / 10;
    g_game.inventory[3] = InventorySlot{ITEM_DETONATOR, 1, 0, 0, 0, 0};
    const int score = g_game.score;
    EXPECT_EQ(SellInventorySlot(3), 1);
    EXPECT_EQ(g_game.money, 150 + 12);
    EXPECT_EQ(g_game.score, score);
    EXPECT_EQ(g_game.inventory[3].id, 0);
    EXPECT_EQ(SellInventorySlot(3), 0);
}

TEST_F(Screens, ShopScreenBuysSellsAndLeaves)
{
    StartAt(&g_menuScreenInstance);
    LoadLevelList(1);
    g_shopScreen.SwitchScreen(0);
    Frame();
    const int price = g_shopItems[ITEM_CANNON].price;
    int x = (ShelfPlace(ITEM_CANNON) % 7) * 85 + 40 + 25, y = (ShelfPlace(ITEM_CANNON) / 7) * 60 + 80 + 25;
    ClickAt(x, y);
    EXPECT_EQ(g_shopScreen.selectedItem, ITEM_CANNON);
    Frames(120);
    ClickAt(545, 286);  // BUY
    EXPECT_EQ(g_game.money, 150 - price);
    EXPECT_EQ(g_game.inventory[0].id, ITEM_CANNON);
    Frames(5);
    SaveShot("shop");
    ClickAt(197, 447);  // the first inventory slot, where the HUD shows it
    EXPECT_EQ(g_shopScreen.selectedSlot, 0);
    Frames(60);
    SaveShot("shop-sell");
    ClickAt(545, 326);  // SELL
    EXPECT_EQ(g_game.money, 150 - price + g_shopItems[ITEM_CANNON].sellPrice);
    EXPECT_EQ(g_game.inventory[0].id, 0);
    EXPECT_EQ(g_shopScreen.selectedSlot, -1);
    ClickAt(545, 366);  // BACK
    EXPECT_EQ(GetCurrentScreen(), &g_nodeScreenInstance);
}

TEST_F(Screens, OptionsSlidersStayWithinPercents)
{
    EXPECT_EQ(SliderVolume(380, 120), 50);
    EXPECT_EQ(SliderVolume(300, 120), 0);
    EXPECT_EQ(SliderVolume(639, 122), 100);
    StartAt(&g_menuScreenInstance);
    ClickAt(456, 179 + 144 + 20);  // OPTIONS
    ASSERT_EQ(GetCurrentScreen(), &g_optionsScreenInstance);
    ClickAt(380, 160);
    EXPECT_EQ(g_settings.musicVolume, 50);
    for (int i = 0; i < 60; ++i) {
        g_cursorX = 460;
        g_cursorY = 160;
        Frame({}, true);  // m100 held: + 2 a frame, never above 100
    }
    Frame();
    EXPECT_EQ(g_settings.musicVolume, 100);
    const int vanishing = g_settings.vanishing;
    ClickAt(200, 268);
    EXPECT_EQ(g_settings.vanishing, !vanishing);
    Frames(2);
    SaveShot("options");
    ClickAt(320, 445);  // quit
    EXPECT_EQ(GetCurrentScreen(), &g_menuScreenInstance);
    g_settings.vanishing = vanishing;
}

TEST_F(Screens, HelpPagesStayWithinTheFour)
{
    StartAt(&g_menuScreenInstance);
    ClickAt(456, 179 + 192 + 20);  // INSTRUCTIONS
    ASSERT_EQ(GetCurrentScreen(), &g_helpScreen);
    Key(DIK_LEFT);
    EXPECT_EQ(g_helpScreen.page, 0);
    EXPECT_GT(std::strlen(g_helpScreen.text), 10u);
    SaveShot("help1");
    Key(DIK_RIGHT);
    EXPECT_EQ(g_helpScreen.page, 1);
    SaveShot("help2");
    ClickAt(555, 455);  // next
    EXPECT_EQ(g_helpScreen.page, 2);
    SaveShot("help3");
    Key(DIK_NEXT);
    Key(DIK_NEXT);
    EXPECT_EQ(g_helpScreen.page, 3);
    SaveShot("help4");
    ClickAt(10, 10, true);
    EXPECT_EQ(GetCurrentScreen(), &g_menuScreenInstance);
}

TEST_F(Screens, EndingThenNameEntryWhoseEnterDoesNotLeave)
{
    std::remove(kHiscoreFileName);
    StartAt(&g_menuScreenInstance);
    g_game.score = 65000;
    g_happyScreen.SwitchScreen(0);
    Frames(20);
    Key(DIK_A);  // too early to skip
    EXPECT_EQ(GetCurrentScreen(), &g_happyScreen);
    Frames(200);
    SaveShot("ending");
    Key(DIK_A);
    ASSERT_EQ(GetCurrentScreen(), &g_hiscoreScreen);
    EXPECT_EQ(g_hiscoreScreen.editedRow, 4);
    for (char c : std::string("Pilot")) SendKeyToScreen(static_cast<WPARAM>(c), 0);
    Frames(2);
    SaveShot("hiscores-entry");
    Key(DIK_B);  // typing keys do not leave
    EXPECT_EQ(GetCurrentScreen(), &g_hiscoreScreen);
    SendKeyToScreen(13, 0);
    Frame({DIK_RETURN});
    Frame({DIK_RETURN});
    Frame();
    EXPECT_EQ(GetCurrentScreen(), &g_hiscoreScreen);
    EXPECT_EQ(g_hiscoreScreen.editedRow, -1);
    Frames(100);
    SaveShot("hiscores");
    HiscoreEntry t[kHiscoreRows];
    LoadHiscores(t);
    EXPECT_STREQ(t[4].name, "Pilot");
    EXPECT_EQ(t[4].score, 65000);
    Key(DIK_SPACE);
    EXPECT_EQ(GetCurrentScreen(), &g_menuScreenInstance);
    EXPECT_EQ(g_screenDepth, 1);
}

// The brightest pixel (by r + g + b) of a back-buffer rectangle, as 8-bit channels.
static void BrightestPixel(int x0, int y0, int x1, int y1, int* r, int* g, int* b)
{
    uint16_t* pixels = nullptr;
    int pitch = 0;
    *r = *g = *b = 0;
    if (!LockSurface(g_display.backBuffer, &pixels, &pitch)) return;
    int best = -1;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            const uint16_t p = pixels[y * pitch + x];
            const int pr = (g_display.is555 ? (p >> 10 & 31) : (p >> 11 & 31)) * 255 / 31;
            const int pg = g_display.is555 ? (p >> 5 & 31) * 255 / 31 : (p >> 5 & 63) * 255 / 63;
            const int pb = (p & 31) * 255 / 31;
            if (pr + pg + pb > best) {
                best = pr + pg + pb;
                *r = pr;
                *g = pg;
                *b = pb;
            }
        }
    UnlockSurface(g_display.backBuffer);
}

// The table's colours are 0xRRGGBB: white at the top, then cyans, yellows, oranges and reds;
// none of the rows may come out as the dark blue of a 16-bit reading of those values.
TEST_F(Screens, HiscoreRowsRunFromWhiteThroughCyanAndYellowToRed)
{
    std::remove(kHiscoreFileName);
    StartAt(&g_menuScreenInstance);
    HiscoreScreen::SetScorePending(0);
    g_hiscoreScreen.SwitchScreen(0);
    Frames(2);
    SaveShot("hiscores-colours");
    struct Expected {
        int row;
        bool red, green, blue;  // channels that are high (> 190); the others stay low (< 80)
    };
    const Expected rows[] = {{0, true, true, true},   {1, false, true, true},  {3, true, true, false},
                             {4, true, true, false},  {7, true, false, false}, {8, true, false, false},
                             {9, true, false, false}};
    for (const Expected& e : rows) {
        int r, g, b;
        // The row's y is its text's baseline.
        BrightestPixel(210, 165 + 16 * e.row - 13, 431, 165 + 16 * e.row + 2, &r, &g, &b);
        EXPECT_EQ(r > 190, e.red) << "row " << e.row << ": " << r << "," << g << "," << b;
        EXPECT_EQ(g > 190, e.green) << "row " << e.row << ": " << r << "," << g << "," << b;
        EXPECT_EQ(b > 190, e.blue) << "row " << e.row << ": " << r << "," << g << "," << b;
        if (!e.red) {
            EXPECT_LT(r, 80) << "row " << e.row;
        }
        if (!e.green) {
            EXPECT_LT(g, 80) << "row " << e.row;
        }
        if (!e.blue) {
            EXPECT_LT(b, 80) << "row " << e.row;
        }
    }
    // Orange: red high, green between, blue low.
    int r, g, b;
    BrightestPixel(210, 165 + 16 * 6 - 13, 431, 165 + 16 * 6 + 2, &r, &g, &b);
    EXPECT_GT(r, 190);
    EXPECT_GT(g, 120);
    EXPECT_LT(g, 200);
    EXPECT_LT(b, 80);
}

TEST_F(Screens, SaveIntoASlotAndLoadItBack)
{
    for (int i = 1; i <= 10; ++i) std::remove(("game" + std::to_string(i) + ".sav").c_str());
    StartAt(&g_menuScreenInstance);
    LoadLevelList(1);
    Frames(31);
    CompleteLevels(5, 5);
    g_game.money = 321;
    ClickAt(397, 441);  // SAVE
    ASSERT_EQ(GetCurrentScreen(), &g_saveScreen);
    ClickAt(260, 170 + 16 * 2 + 5);
    EXPECT_EQ(g_saveScreen.editedSlot, 2);
    EXPECT_STREQ(g_saveScreen.title, "");
    for (char c : std::string("Seventeen letters!")) SendKeyToScreen(static_cast<WPARAM>(c), 0);
    EXPECT_EQ(std::strlen(g_saveScreen.title), 16u);
    Frames(2);
    SaveShot("save");
    SendKeyToScreen(13, 0);
    Frame();
    EXPECT_EQ(GetCurrentScreen(), &g_nodeScreenInstance);
    EXPECT_EQ(std::filesystem::file_size("game3.sav"), 280u);

    // A slot whose file cannot be written (a folder holds its name) keeps its old listing and
    // leaves nothing claimed.
    std::filesystem::create_directory("game4.sav");
    ClickAt(397, 441);
    ClickAt(260, 170 + 16 * 3 + 5);
    SendKeyToScreen('x', 0);
    SendKeyToScreen(13, 0);
    Frame();
    EXPECT_EQ(GetCurrentScreen(), &g_saveScreen);
    EXPECT_EQ(g_saveScreen.valid[3], 0);
    EXPECT_NE(std::string(g_saveScreen.listing[3]).find(g_strings.Get("EmptySlot")), std::string::npos);
    std::filesystem::remove("game4.sav");
    // The failed write ended the editing (and said so under the slots).
    EXPECT_EQ(g_saveScreen.editedSlot, -1);
    EXPECT_NE(g_saveScreen.notice, nullptr);
    // A named slot offers its old title.
    ClickAt(260, 170 + 16 * 2 + 5);
    EXPECT_STREQ(g_saveScreen.title, "Seventeen letter");
    Key(DIK_ESCAPE);
    Key(DIK_ESCAPE);
    EXPECT_EQ(GetCurrentScreen(), &g_nodeScreenInstance);

    ResetCampaign();
    StartAt(&g_menuScreenInstance);
    ClickAt(456, 179 + 48 + 20);  // LOAD GAME
    ASSERT_EQ(GetCurrentScreen(), &g_loadScreen);
    Frames(2);
    SaveShot("load");
    ClickAt(260, 170 + 16 * 5 + 5);  // an empty slot loads nothing
    EXPECT_EQ(GetCurrentScreen(), &g_loadScreen);
    ClickAt(260, 170 + 16 * 2 + 5);
    ASSERT_EQ(GetCurrentScreen(), &g_nodeScreenInstance);
    EXPECT_EQ(g_game.money, 321);
    EXPECT_EQ(g_game.levels[4].completed, 1);
    EXPECT_EQ(g_game.levels[4].revealed, 1);
    EXPECT_EQ(g_screenDepth, 2);
}

TEST_F(Screens, LoadedCampaignWithEveryLevelDoneFightsOnAnEmptyArena)
{
    SaveGameRecord r;
    GameState g{};
    g.lives = 3;
    g.money = 20;
    for (LevelInfo& l : g.levels) l.completed = 1;
    g.inventory[0] = InventorySlot{ITEM_DETONATOR, 1, 0, 0, 0, 0};
    BuildSaveRecord(g, "done", &r);
    ASSERT_EQ(WriteSaveSlot(8, r), 1);
    StartAt(&g_menuScreenInstance);
    g_loadScreen.SwitchScreen(0);
    ClickAt(260, 170 + 16 * 8 + 5);
    ASSERT_EQ(GetCurrentScreen(), &g_bossScreenInstance);
    for (int i = 0; i < 200; ++i) BotFrame(i);
    EXPECT_EQ(GetCurrentScreen(), &g_bossScreenInstance);
    // Leaving the fight keeps the loaded campaign (no level was ever started).
    g_game.lives = 0;
    Key(DIK_ESCAPE);
    Key(DIK_Y);
    ASSERT_EQ(GetCurrentScreen(), &g_nodeScreenInstance);
    EXPECT_EQ(g_game.lives, 3);
    EXPECT_EQ(g_game.money, 20);
    EXPECT_EQ(g_game.inventory[0].id, ITEM_DETONATOR);
    std::remove("game9.sav");
}

TEST_F(Screens, NewGamePlaysLevelOneThenTheShop)
{
    StartAt(&g_menuScreenInstance);
    ClickAt(456, 199);
    Frames(31);
    int x, y;
    ASSERT_TRUE(NodeOnScreen(1, &x, &y));
    ClickAt(x - 6, y - 10);
    EXPECT_EQ(g_nodeScreenInstance.selected, 0);
    Frames(80);
    SaveShot("map-selected");
    ClickAt(108, 404);  // START
    ASSERT_EQ(GetCurrentScreen(), &g_gameScreen);
    int tick = 0;
    for (; tick < 40000 && GetCurrentScreen() == &g_gameScreen; ++tick) {
        BotFrame(tick);
        if (tick == 300) SaveShot("level1");
    }
    ASSERT_EQ(GetCurrentScreen(), &g_shopScreen) << "after " << tick << " ticks";
    EXPECT_EQ(g_game.levels[0].completed, 1);
    Key(DIK_ESCAPE);
    ASSERT_EQ(GetCurrentScreen(), &g_nodeScreenInstance);
    Frames(40);
    EXPECT_EQ(g_game.levels[1].available, 1);  // level 2 revealed
    SaveShot("map-after-level1");
    // Saved into slot 3 through the save screen.
    std::remove("game3.sav");
    ClickAt(397, 441);
    ASSERT_EQ(GetCurrentScreen(), &g_saveScreen);
    ClickAt(260, 170 + 16 * 2 + 5);
    for (char c : std::string("Level one")) SendKeyToScreen(static_cast<WPARAM>(c), 0);
    SendKeyToScreen(13, 0);
    Frame();
    ASSERT_EQ(GetCurrentScreen(), &g_nodeScreenInstance);
    ASSERT_EQ(std::filesystem::file_size("game3.sav"), 280u);
#ifdef SKERROW_MENU_WIRED
    // The program itself, started again: the menu's LOAD GAME, slot 3, and the map shows the
    // campaign with level 1 completed.
    const std::string dir = MakeGameFolder("load-level1");
    std::filesystem::copy_file("game3.sav", dir + "/game3.sav");
    const int code = RunGame(dir, "20 screenshot menu.png\n"
                                  "25 click 456 247\n"
                                  "40 screenshot load.png\n"
                                  "45 click 260 207\n"
                                  "120 screenshot map.png\n"
                                  "130 key VK_ESCAPE\n"
                                  "150 key VK_ESCAPE\n"
                                  "400 quit\n");
    EXPECT_EQ(code, 0);
    const std::string log = ReadText(dir + "/Log.txt");
    const size_t load = log.find("Screen switched to LoadScreen");
    ASSERT_NE(load, std::string::npos) << log;
    EXPECT_NE(log.find("Screen switched to NodeScreen", load), std::string::npos) << log;
    EXPECT_TRUE(std::filesystem::exists(dir + "/map.png"));
#endif
}

#ifdef SKERROW_MENU_WIRED
// The program from its menu with the mouse and the keyboard: a new game, the map, the save
// screen with a typed title into slot 3, back to the menu and out; started again, the slot is
// listed and loads.
TEST_F(Screens, ProgramStartsInTheMenuSavesAndLoads)
{
    const std::string dir = MakeGameFolder("new-save-load");
    int code = RunGame(dir, "10 screenshot menu.png\n"
                            "15 click 456 199\n"
                            "60 screenshot map.png\n"
                            "65 click 397 441\n"
                            "80 click 260 207\n"
                            "85 text Pilot\n"
                            "90 key VK_RETURN\n"
                            "100 screenshot map2.png\n"
                            "110 key VK_ESCAPE\n"
                            "130 key VK_ESCAPE\n"
                            "400 quit\n");
    EXPECT_EQ(code, 0);
    SaveGameRecord record;
    const std::string bytes = ReadText(dir + "/game3.sav");
    ASSERT_EQ(DecodeSaveFile(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &record), 1);
    EXPECT_STREQ(record.title, "Pilot");
    EXPECT_EQ(record.lives, 8);
    EXPECT_EQ(record.money, 150);
    EXPECT_TRUE(std::filesystem::exists(dir + "/Ombrelit.ini"));

    code = RunGame(dir, "15 click 456 247\n"
                        "30 screenshot load.png\n"
                        "35 click 260 207\n"
                        "80 screenshot map.png\n"
                        "90 key VK_ESCAPE\n"
                        "110 key VK_ESCAPE\n"
                        "400 quit\n");
    EXPECT_EQ(code, 0);
    const std::string log = ReadText(dir + "/Log.txt");
    EXPECT_NE(log.find("Screen switched to LoadScreen"), std::string::npos) << log;
    EXPECT_NE(log.find("Screen switched to NodeScreen"), std::string::npos) << log;
}
#endif
