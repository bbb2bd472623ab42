// The information panel's three sizes, the substitution rules of managers and computer, the
// bench slots and their search, edge scrolling and the order of the players by distance.
#include "fenwolt/tests/match/match_screen_support.h"

#include "fenwolt/Game/FrontEnd/Competition.h"
#include "fenwolt/Game/FrontEnd/Options.h"
#include "fenwolt/Game/GameApp.h"
#include "fenwolt/Game/Engine/Instances.h"
#include "fenwolt/Game/Match/Banners.h"
#include "fenwolt/Game/Match/Hud.h"
#include "fenwolt/Game/Match/MatchScreen.h"
#include "fenwolt/Game/Engine/Sprites.h"
#include "platform/tests/support/test_requirements.h"

#include <gtest/gtest.h>

using namespace matchdrive;

namespace {

bool Visible(unsigned handle)
{
    const Sprite* s = SpriteAt(handle);
    return s && s->IsVisible();
}

class HudTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!app.Open(false)) SKIP_WITHOUT("a GL device") << app.error;
        StartMatch(MatchOptions{});
        ResetEventTicker();
    }
    MatchApp app;
};

TEST_F(HudTest, EachPanelSizeShowsItsFrameAndColumns)
{
    ShowInfoPanelGroup(1);
    for (unsigned h = 1100; h <= 1102; ++h) EXPECT_TRUE(Visible(h)) << h;
    for (unsigned h = 1103; h <= 1108; ++h) EXPECT_FALSE(Visible(h)) << h;
    for (unsigned h = 1150; h <= 1155; ++h) EXPECT_TRUE(Visible(h)) << h;
    for (unsigned h = 1156; h <= 1170; ++h) EXPECT_FALSE(Visible(h)) << h;
    EXPECT_EQ(InfoPanelShown, 1);

    ShowInfoPanelGroup(2);
    for (unsigned h = 1103; h <= 1105; ++h) EXPECT_TRUE(Visible(h)) << h;
    for (unsigned h = 1100; h <= 1102; ++h) EXPECT_FALSE(Visible(h)) << h;
    for (unsigned h = 1150; h <= 1159; ++h) EXPECT_TRUE(Visible(h)) << h;
    for (unsigned h = 1160; h <= 1170; ++h) EXPECT_FALSE(Visible(h)) << h;

    ShowInfoPanelGroup(3);
    for (unsigned h = 1106; h <= 1108; ++h) EXPECT_TRUE(Visible(h)) << h;
    for (unsigned h = 1150; h <= 1170; ++h) EXPECT_TRUE(Visible(h)) << h;
    // Lines are labels: never clickable.
    EXPECT_FALSE(SpriteAt(1160)->IsActive());

    ShowInfoPanelGroup(0);
    for (unsigned h = 1100; h <= 1170; ++h) EXPECT_FALSE(Visible(h)) << h;
    EXPECT_EQ(InfoPanelShown, 0);
}

TEST_F(HudTest, AgainstTheComputerThePanelShowsOnlyInTheHomePlanningPhase)
{
    Options.PlayerInfoPanel = 2;
    TurnPhase = PHASE_HOME_PLANS;
    ShowPlayerInfoPanel();
    EXPECT_TRUE(Visible(1103));
    TurnPhase = PHASE_AWAY_PLANS;
    ShowPlayerInfoPanel();
    EXPECT_FALSE(Visible(1103));
    EXPECT_FALSE(Visible(1150));
    MatchSetup.managers = 2;
    ShowPlayerInfoPanel();
    EXPECT_TRUE(Visible(1103));
    MatchSetup.managers = 1;
    // The icons: the ball for its holder, the out-of-play icon instead for a player who is down.
    TurnPhase = PHASE_HOME_PLANS;
    SelectedPlayer = 9;
    BallHolder = 10;
    MatchPlayers[9].turnsDown = 0;
    MatchPlayers[9].energy = 100.f;
    ShowPlayerInfoPanel();
    EXPECT_TRUE(Visible(SPRITE_ICON_BALL));
    EXPECT_FALSE(Visible(SPRITE_ICON_DOWN));
    EXPECT_FALSE(Visible(SPRITE_ICON_TIRED));
    MatchPlayers[9].turnsDown = 1;
    MatchPlayers[9].energy = 100.f - MatchPlayers[9].attributes[ATTR_STAMINA] - 1.f;
    ShowPlayerInfoPanel();
    EXPECT_FALSE(Visible(SPRITE_ICON_BALL));
    EXPECT_TRUE(Visible(SPRITE_ICON_DOWN));
    EXPECT_TRUE(Visible(SPRITE_ICON_TIRED));
}

TEST_F(HudTest, AFourthSubstitutionIsRefusedAndABenchPlayerComesOnOnce)
{
    Options.PlayerInfoPanel = 1;
    const int32_t players[3] = {3, 6, 8};
    int32_t used[3];
    for (int k = 0; k < 3; ++k) {
        SelectedPlayer = players[k];
        ToggleSubstitutionMode(true);
        ASSERT_EQ(SubstitutionMode, 1);
        EXPECT_EQ(Options.PlayerInfoPanel, 3) << "the panel shows large while substituting";
        EXPECT_TRUE(Visible(SPRITE_SUB_PERFORM));
        EXPECT_TRUE(SpriteAt(SPRITE_SUB_PERFORM)->IsActive());
        EXPECT_FALSE(Visible(SPRITE_CAPTION_END_TURN));
        used[k] = BenchSlot;
        for (int j = 0; j < k; ++j) EXPECT_NE(used[k], used[j]) << "a bench player offered twice";
        const int32_t minute = Minute, second = Second;
        PerformSubstitution();
        ToggleSubstitutionMode(false);
        EXPECT_EQ(MatchPlayers[players[k]].squadSlot, used[k]);
        EXPECT_EQ(MatchPlayers[players[k]].numberTexture, used[k]);
        EXPECT_EQ(MatchPlayers[players[k]].energy, 100.f);
        EXPECT_GT(Minute * 60 + Second, minute * 60 + second) << "a substitution adds time";
        EXPECT_EQ(Options.PlayerInfoPanel, 1) << "the size comes back";
        EXPECT_TRUE(Visible(SPRITE_CAPTION_END_TURN));
        // The bench slot offered next has not been used.
        EXPECT_EQ(BenchSlotUsed[0][BenchSlot], 0);
    }
    EXPECT_EQ(SubstitutionsMade[0], 3);
    EXPECT_EQ(BenchSlotUsed[0][used[0]], 1);
    EXPECT_EQ(TeamSquads[0].players[used[0]].gamesPlayed, 1);
    ClearEventFlags();
    SelectedPlayer = 4;
    const uint64_t before = HashMatch();
    ToggleSubstitutionMode(true);
    EXPECT_EQ(SubstitutionMode, 0);
    EXPECT_EQ(EventFlags[EVENT_NO_MORE_SUBS], 1);
    EXPECT_EQ(TickerLineInUse[0], 1);
    // Even called directly a fourth substitution changes nothing.
    PerformSubstitution();
    EXPECT_EQ(HashMatch(), before);
    EXPECT_EQ(SubstitutionsMade[0], 3);
    // The away side has its own three.
    SelectedPlayer = 15;
    ToggleSubstitutionMode(true);
    EXPECT_EQ(SubstitutionMode, 1);
    EXPECT_EQ(BenchSlotUsed[1][BenchSlot], 0);
}

TEST_F(HudTest, TheBenchSearchEndsWhenEveryBenchPlayerHasPlayed)
{
    for (int32_t s = FIRST_BENCH_SLOT; s <= LAST_BENCH_SLOT; ++s) BenchSlotUsed[0][s] = 1;
    EXPECT_EQ(NextUnusedBenchSlot(0, FIRST_BENCH_SLOT, +1), -1);
    EXPECT_EQ(NextUnusedBenchSlot(0, LAST_BENCH_SLOT, -1), -1);
    SelectedPlayer = 2;
    ToggleSubstitutionMode(true);
    EXPECT_EQ(SubstitutionMode, 0);
    // A used slot is never offered: the search skips it both ways and wraps.
    BenchSlotUsed[0][13] = 0;
    EXPECT_EQ(NextUnusedBenchSlot(0, 15, +1), 13);
    EXPECT_EQ(NextUnusedBenchSlot(0, 11, -1), 13);
    BenchSlotUsed[0][11] = 0;
    EXPECT_EQ(NextUnusedBenchSlot(0, 15, +1), 11);
    EXPECT_EQ(NextUnusedBenchSlot(0, 13, -1), 11);
    EXPECT_EQ(NextUnusedBenchSlot(0, 13, +1), 11);
    // A bench slot out of range (a damaged save) still leads into the bench.
    EXPECT_EQ(NextUnusedBenchSlot(0, -40, +1) >= FIRST_BENCH_SLOT, true);
}

TEST_F(HudTest, TheComputerSubstitutesTheInjuredAtOnceAndTheTiredLate)
{
    MatchPlayers[17].energyCeiling = 10.f;
    Minute = 10;
    AISubstitutions();
    EXPECT_EQ(SubstitutionsMade[1], 1);
    EXPECT_EQ(MatchPlayers[17].energyCeiling, 100.f);
    EXPECT_GE(MatchPlayers[17].squadSlot, FIRST_BENCH_SLOT);

    // A tired player waits for minute 75 for the second substitution.
    MatchPlayers[19].energy = 5.f;
    Minute = 74;
    AISubstitutions();
    EXPECT_EQ(SubstitutionsMade[1], 1);
    Minute = 75;
    AISubstitutions();
    EXPECT_EQ(SubstitutionsMade[1], 2);
    EXPECT_GE(MatchPlayers[19].squadSlot, FIRST_BENCH_SLOT);
    // The manager's selection and bench slot stay.
    EXPECT_EQ(SelectedPlayer, 9);

    // Two managers: the computer makes none.
    MatchSetup.managers = 2;
    MatchPlayers[14].energyCeiling = 10.f;
    AISubstitutions();
    EXPECT_EQ(SubstitutionsMade[1], 2);
    MatchSetup.managers = 1;
}

TEST_F(HudTest, TheMouseAtTheBorderScrollsAndACornerScrollsSideways)
{
    const struct {
        int x, y, direction;
    } cases[] = {{400, 300, 0}, {400, 1, 8}, {400, 599, 2}, {1, 300, 4}, {799, 300, 6}, {799, 0, 6}, {0, 599, 4}};
    for (const auto& c : cases) {
        MouseX = c.x;
        MouseY = c.y;
        UpdateEdgeScroll();
        EXPECT_EQ(EdgeScrollDirection, c.direction) << c.x << "," << c.y;
    }
    MouseX = 799;
    MouseY = 300;
    UpdateEdgeScroll();
    const D3DVECTOR eye = CameraEye;
    ApplyEdgeScroll();
    EXPECT_NE(CameraEye.x + CameraEye.z, eye.x + eye.z);
    EXPECT_EQ(WantedCameraEye.x, CameraEye.x) << "the camera stays where it was scrolled";
}

TEST_F(HudTest, ThePlayersOfTheSideToMoveAreOrderedByDistanceToTheBall)
{
    TurnPhase = PHASE_AWAY_PLANS;
    SortByDistanceToBall();
    for (int i = 0; i < SIDE_SIZE; ++i) {
        EXPECT_GE(DistanceOrder[i], SIDE_SIZE);
        if (i) {
            EXPECT_LE(DistanceOrderDistance[i - 1], DistanceOrderDistance[i]);
        }
    }
    EXPECT_EQ(SelectionCycleIndex, 0);
    // Equal distances keep index order.
    TurnPhase = PHASE_HOME_PLANS;
    ModelInstance* ball = BallModel();
    ball->Position = D3DVECTOR{50.f, BALL_REST_HEIGHT, 40.f};
    for (int32_t p : {4, 2}) {
        PlayerModel(p)->Position = D3DVECTOR{53.f, 0.f, 44.f};
    }
    SortByDistanceToBall();
    int first = -1, second = -1;
    for (int i = 0; i < SIDE_SIZE; ++i) {
        if (DistanceOrder[i] == 2) first = i;
        if (DistanceOrder[i] == 4) second = i;
    }
    EXPECT_EQ(second, first + 1);
}

TEST_F(HudTest, NumberMarkersFollowTheirPlayersButNotTheKeepers)
{
    ModelInstance* body = PlayerModel(5);
    body->Position = D3DVECTOR{30.f, 0.f, 20.f};
    body->Rotation.y = 1.0f;
    body->MatrixValid = 0;
    PlaceNumberMarkers(false);
    const ModelInstance* marker = InstanceAt(MatchPlayers[5].numberMarkerModel);
    ASSERT_NE(marker, nullptr);
    EXPECT_FLOAT_EQ(marker->Position.x, 30.f);
    EXPECT_FLOAT_EQ(marker->Position.y, 1.27f);
    EXPECT_FLOAT_EQ(marker->Rotation.y, 1.0f + 3.14159265f);
    EXPECT_EQ(InstanceAt(MatchPlayers[0].numberMarkerModel)->Visible, 0);
    // A model whose matrix is up to date is left alone unless forced.
    body->MatrixValid = 1;
    body->Position.x = 31.f;
    PlaceNumberMarker(5, false);
    EXPECT_FLOAT_EQ(marker->Position.x, 30.f);
    PlaceNumberMarker(5, true);
    EXPECT_FLOAT_EQ(marker->Position.x, 31.f);
}

}  // namespace
