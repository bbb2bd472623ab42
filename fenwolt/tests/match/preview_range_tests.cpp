// The move and kick previews: dot counts and spacing, the reach of a player in one moving phase
// with turning and tiredness, loft and bend from the mouse drag (and that the flight uses what
// the preview shows), no number that is not a number for paths of no length, and the HUD
// button pairs.
#include "fenwolt/tests/match/match_screen_support.h"

#include "fenwolt/Game/FrontEnd/Competition.h"
#include "fenwolt/Game/GameApp.h"
#include "fenwolt/Game/Engine/Instances.h"
#include "fenwolt/Game/Match/BallFlight.h"
#include "fenwolt/Game/Match/MatchHelpers.h"
#include "fenwolt/Game/Match/MatchScreen.h"
#include "fenwolt/Game/Match/Previews.h"
#include "fenwolt/Game/Match/TurnEngine.h"
#include "fenwolt/Game/Engine/Sprites.h"
#include "platform/tests/support/test_requirements.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace matchdrive;

namespace {

constexpr float PI = 3.14159265f;

class PreviewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!app.Open(false)) SKIP_WITHOUT("a GL device") << app.error;
        StartMatch(MatchOptions{});
        KickOffPending = 0;
    }
    // Player p stands at (x, z) facing `heading`, ordered to (tx, tz).
    static void Place(int32_t p, float x, float z, float heading, float tx, float tz)
    {
        ModelInstance* m = PlayerModel(p);
        m->Position = D3DVECTOR{x, 0.f, z};
        m->Rotation.y = heading;
        MatchPlayers[p].moveTarget = D3DVECTOR{tx, 0.f, tz};
    }
    static int VisibleDots(int slot, std::vector<D3DVECTOR>* at = nullptr)
    {
        int n = 0;
        for (int i = 0; i < PATH_DOTS; ++i) {
            const ModelInstance* d = InstanceAt(PathDotModels[slot][i]);
            if (d && d->Visible) {
                ++n;
                if (at) at->push_back(d->Position);
            }
        }
        return n;
    }
    MatchApp app;
};

TEST_F(PreviewTest, DotsAreCountedAndSpacedByTheLengthOfTheRun)
{
    TurnPhase = PHASE_HOME_PLANS;
    SelectedPlayer = 9;
    Place(2, 20.f, 20.f, 3.f * PI / 2.f, 50.f, 20.f);  // 30 away
    Place(3, 20.f, 30.f, 3.f * PI / 2.f, 23.f, 30.f);  // 3 away
    Place(4, 20.f, 40.f, 3.f * PI / 2.f, 20.5f, 40.f);  // 0.5 away
    Place(5, 20.f, 50.f, 3.f * PI / 2.f, 20.f, 50.f);  // standing on his target
    ShowMoveRange(false);
    std::vector<D3DVECTOR> dots;
    EXPECT_EQ(VisibleDots(2, &dots), 20);
    for (size_t i = 0; i < dots.size(); ++i) EXPECT_NEAR(dots[i].x, 20.f + 1.5f * (float)i, 1e-4f);
    dots.clear();
    EXPECT_EQ(VisibleDots(3, &dots), 4);
    for (size_t i = 0; i < dots.size(); ++i) EXPECT_NEAR(dots[i].x, 20.f + 0.75f * (float)i, 1e-4f);
    EXPECT_EQ(VisibleDots(4), 1);
    dots.clear();
    EXPECT_EQ(VisibleDots(5, &dots), 1);
    for (const D3DVECTOR& d : dots) EXPECT_TRUE(std::isfinite(d.x) && std::isfinite(d.z)) << "a run of no length";
    EXPECT_EQ(InstanceAt(MoveTargetMarkerModels[5])->Visible, 0);
    EXPECT_EQ(InstanceAt(MoveTargetMarkerModels[2])->Visible, 1);
    EXPECT_FLOAT_EQ(InstanceAt(MoveTargetMarkerModels[2])->Position.x, 50.f);
    // The selected player standing on his target shows nothing at all.
    SelectedPlayer = 5;
    ShowMoveRange(false);
    EXPECT_EQ(VisibleDots(5), 0);
    ShowMoveRange(true);
    for (int slot = 0; slot < SIDE_SIZE; ++slot) EXPECT_EQ(VisibleDots(slot), 0);
}

TEST_F(PreviewTest, DotsWithinReachUseTheReachTexture)
{
    TurnPhase = PHASE_HOME_PLANS;
    Place(2, 20.f, 20.f, 3.f * PI / 2.f, 50.f, 20.f);  // facing the target already
    MatchPlayers[2].attributes[ATTR_SPEED] = 6.f;
    MatchPlayers[2].energy = 100.f;
    ShowMoveRange(false);
    for (int i = 0; i < PATH_DOTS; ++i) {
        const int expected = (float)i * 1.5f <= 6.f ? DotTextures[1] : DotTextures[0];
        EXPECT_EQ(InstanceAt(PathDotModels[2][i])->TextureMeshIndex, expected) << i;
    }
    // Facing away with a slow turn: nothing is within reach.
    Place(2, 20.f, 20.f, PI / 2.f, 50.f, 20.f);
    MatchPlayers[2].attributes[ATTR_TURN] = 0.1f;
    ShowMoveRange(false);
    // Only the dot at his feet (0 along the path) counts as reached.
    for (int i = 1; i < PATH_DOTS; ++i) EXPECT_EQ(InstanceAt(PathDotModels[2][i])->TextureMeshIndex, DotTextures[0]);
    EXPECT_EQ(InstanceAt(PathDotModels[2][0])->TextureMeshIndex, DotTextures[1]);
}

TEST_F(PreviewTest, NoDotsDuringTheComputersPlanning)
{
    TurnPhase = PHASE_AWAY_PLANS;
    Place(14, 80.f, 20.f, 0.f, 60.f, 20.f);
    ShowMoveRange(false);
    for (int slot = 0; slot < SIDE_SIZE; ++slot) EXPECT_EQ(VisibleDots(slot), 0);
    MatchSetup.managers = 2;
    ShowMoveRange(false);
    EXPECT_EQ(VisibleDots(3), 20);
    MatchSetup.managers = 1;
    TurnPhase = PHASE_HOME_MOVES;
    ShowMoveRange(false);
    for (int slot = 0; slot < SIDE_SIZE; ++slot) EXPECT_EQ(VisibleDots(slot), 0);
}

TEST_F(PreviewTest, ReachCountsTheTurnTheBallAndTiredness)
{
    const int32_t p = 4;
    MatchPlayer& m = MatchPlayers[p];
    m.attributes[ATTR_SPEED] = 5.f;
    m.attributes[ATTR_DRIBBLE] = 3.f;
    m.attributes[ATTR_TURN] = 0.5f;
    m.attributes[ATTR_CLOSE_CONTROL] = 0.25f;
    m.attributes[ATTR_STAMINA] = 70.f;
    m.energy = 100.f;
    BallHolder = 0;
    // Facing +x (3pi/2) toward a target along +x: no turn.
    Place(p, 20.f, 20.f, 3.f * PI / 2.f, 40.f, 20.f);
    EXPECT_NEAR(ReachThisTurn(p), 5.f, 1e-4f);
    // Facing -x: half a turn at pi per second takes the whole phase.
    Place(p, 20.f, 20.f, PI / 2.f, 40.f, 20.f);
    EXPECT_NEAR(ReachThisTurn(p), 0.f, 1e-4f);
    // A quarter turn takes half a second: half the run.
    Place(p, 20.f, 20.f, 0.f, 40.f, 20.f);
    EXPECT_NEAR(ReachThisTurn(p), 2.5f, 1e-3f);
    // Toward -x the wanted facing is pi/2; a facing 2pi away is the same facing.
    Place(p, 40.f, 20.f, PI / 2.f + 2.f * PI, 20.f, 20.f);
    EXPECT_NEAR(ReachThisTurn(p), 5.f, 1e-3f);
    // The ball holder dribbles and turns with Close Control.
    BallHolder = p + 1;
    Place(p, 20.f, 20.f, 3.f * PI / 2.f, 40.f, 20.f);
    EXPECT_NEAR(ReachThisTurn(p), 3.f * 0.7f, 1e-4f);
    Place(p, 20.f, 20.f, 0.f, 40.f, 20.f);
    EXPECT_NEAR(ReachThisTurn(p), 0.f, 1e-4f) << "a quarter turn at Close Control 0.25 takes the phase";
    BallHolder = 0;
    // Tired players cover less.
    Place(p, 20.f, 20.f, 3.f * PI / 2.f, 40.f, 20.f);
    const struct {
        float energy, factor;
    } tired[] = {{29.f, 0.75f}, {60.f, 1.0f}, {25.f, 0.75f}, {24.f, 0.67f}, {10.f, 0.67f}, {9.f, 0.5f}};
    m.attributes[ATTR_STAMINA] = 40.f;
    for (const auto& t : tired) {
        m.energy = t.energy;
        EXPECT_NEAR(ReachThisTurn(p), 5.f * t.factor, 1e-4f) << t.energy;
    }
    m.attributes[ATTR_STAMINA] = 30.f;
    m.energy = 60.f;
    EXPECT_NEAR(ReachThisTurn(p), 4.5f, 1e-4f);
    m.energy = 100.f;
    // Standing on his target, or ordered to jump: no reach; never a number that is not one.
    Place(p, 20.f, 20.f, 0.f, 20.f, 20.f);
    EXPECT_EQ(ReachThisTurn(p), 0.f);
    Place(p, 20.f, 20.f, 0.f, 30.f, 20.f);
    m.moveTarget.y = 0.4f;
    EXPECT_EQ(ReachThisTurn(p), 0.f);
    m.moveTarget.y = 0.f;
    m.attributes[ATTR_TURN] = 0.f;
    EXPECT_EQ(ReachThisTurn(p), 0.f);
    EXPECT_EQ(ReachThisTurn(PLAYER_NONE), 0.f);
}

TEST_F(PreviewTest, DraggingUpLiftsAndDraggingSidewaysBendsTheKick)
{
    const int32_t kicker = 9;
    BallHolder = kicker + 1;
    GiveBallToPlayer(kicker);
    const ModelInstance* ball = BallModel();
    TheBall.aimPoint = D3DVECTOR{ball->Position.x + 30.f, 0.f, ball->Position.z};
    TheBall.bendRefMouseX = 400;
    TheBall.bendRefMouseY = 300;
    TheBall.bendMouseX = 400;
    TheBall.bendMouseY = 260;
    BendAiming = 1;
    ShotClass = 0;
    ShowKickPreview(false);
    EXPECT_FLOAT_EQ(TheBall.loft, 10.0f) << "40 pixels up";
    // The pass peaks half way at 0.7071 of the loft.
    const ModelInstance* mid = InstanceAt(KickArrowModels[10]);
    EXPECT_NEAR(mid->Position.y - ball->Position.y, 10.f * 0.70710678f, 1e-3f);
    EXPECT_EQ(InstanceAt(KickArrowModels[19])->Visible, 1);
    EXPECT_EQ(InstanceAt(KickArrowModels[19])->TextureMeshIndex, ArrowTextures[1]);
    EXPECT_EQ(InstanceAt(KickArrowModels[3])->TextureMeshIndex, ArrowTextures[0]);
    // 20 pixels sideways: a bend of 10 across the line of the kick.
    TheBall.bendMouseY = 300;
    TheBall.bendMouseX = 380;
    ShowKickPreview(false);
    EXPECT_EQ(TheBall.loft, 0.f);
    EXPECT_NEAR(std::sqrt(TheBall.bendX * TheBall.bendX + TheBall.bendZ * TheBall.bendZ), 10.f, 1e-4f);
    EXPECT_NEAR(TheBall.bendX, 0.f, 1e-4f) << "the bend is across a kick along x";
    // A kick of no length has no direction but no number that is not one either.
    TheBall.aimPoint = ball->Position;
    ShowKickPreview(false);
    EXPECT_TRUE(std::isfinite(TheBall.bendX) && std::isfinite(TheBall.bendZ));
    for (int i = 0; i < KICK_ARROWS; ++i) {
        const ModelInstance* a = InstanceAt(KickArrowModels[i]);
        EXPECT_TRUE(std::isfinite(a->Position.x) && std::isfinite(a->Position.y) && std::isfinite(a->Position.z));
    }
    ShowKickPreview(true);
    for (int i = 0; i < KICK_ARROWS; ++i) EXPECT_EQ(InstanceAt(KickArrowModels[i])->Visible, 0);
}

TEST_F(PreviewTest, TheFlightUsesTheBendThePreviewShowed)
{
    // A kicker with Bend 5: the drag is scaled to a fifth by ClampBend before the preview reads it.
    const int32_t kicker = 9;
    MatchPlayers[kicker].attributes[ATTR_BEND] = 5.f;
    BallHolder = kicker + 1;
    GiveBallToPlayer(kicker);
    const ModelInstance* ball = BallModel();
    OrderKick(kicker, ball->Position.x + 25.f, ball->Position.z, 40, 20);
    ASSERT_EQ(BallInFlight, 1);
    const float shownX = TheBall.bendX, shownZ = TheBall.bendZ, shownLoft = TheBall.loft;
    const int32_t offset = TheBall.bendRefMouseX - TheBall.bendMouseX;
    EXPECT_EQ(offset, 4) << "20 pixels at Bend 5 of 25";
    EXPECT_NEAR(std::sqrt(shownX * shownX + shownZ * shownZ), 0.5f * (float)offset, 1e-4f);
    EXPECT_FLOAT_EQ(shownLoft, 10.f);
    // The flight starts with what the preview showed.
    ShowKickPreview(false);
    EXPECT_FLOAT_EQ(TheBall.bendX, shownX);
    EXPECT_FLOAT_EQ(TheBall.bendZ, shownZ);
}

// The side a kick curls to. Dragging the mouse left of where the bend started (b > 0) swings the
// ball across its line, most at half way, by 0.7071 b: to -z on a kick toward +x and to +z on
// one toward -x; on a kick with any run along z the bend is negated when the ball lies below its
// aim in z, so kicks toward +z and toward -z both swing to -x. Dragging right swings the other
// way. The ball's bend, the preview's arrows and the flight itself all go to that side.
TEST_F(PreviewTest, TheKickCurlsToTheSideTheDragGivesWhicheverWayItIsAimed)
{
    const float h = 0.70710678f;
    struct Case {
        float dx, dz;    // the kick's direction
        int32_t pixels;  // dragged left of the bend's start (negative: right)
        float sideX, sideZ;
    };
    const Case cases[] = {
        {0.f, 1.f, 20, -1.f, 0.f}, {0.f, -1.f, 20, -1.f, 0.f}, {0.f, 1.f, -20, 1.f, 0.f}, {0.f, -1.f, -20, 1.f, 0.f},
        {1.f, 0.f, 20, 0.f, -1.f}, {-1.f, 0.f, 20, 0.f, 1.f},  {1.f, 0.f, -20, 0.f, 1.f},  {h, h, 20, -h, h},
        {h, -h, 20, -h, -h},       {-h, h, 20, -h, -h},        {-h, -h, 20, -h, h},        {h, h, -20, h, -h},
    };
    // Bend 10 of 25 turns a drag of 20 pixels into 8, a bend of 4: 2.83 across at half way.
    const float swing = 4.f * 0.70710678f;
    const int32_t kicker = 9;
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "toward (" << c.dx << ", " << c.dz << "), " << c.pixels << " pixels");
        TurnPhase = PHASE_HOME_PLANS;
        MatchStopState = STOP_IN_PLAY;
        BallInFlight = 0;
        for (int32_t p = 0; p < PLAYER_COUNT; ++p) Place(p, 20.f + 3.f * (float)p, 2.f, 0.f, 20.f + 3.f * (float)p, 2.f);
        const D3DVECTOR at{CENTRE_X, 0.f, CENTRE_Z};
        const D3DVECTOR aim{at.x + 30.f * c.dx, 0.f, at.z + 30.f * c.dz};
        Place(kicker, at.x, at.z, matchgeo::ReduceAngle(matchgeo::BearingAlong(c.dx, c.dz) + PI), at.x, at.z);
        MatchPlayer& k = MatchPlayers[kicker];
        k.attributes[ATTR_BEND] = 10.f;
        for (int a = ATTR_PASS_SHORT; a <= ATTR_PASS_LONG; ++a) k.attributes[a] = 100.f;
        BallHolder = LastHolder = kicker + 1;
        GiveBallToPlayer(kicker);
        OrderKick(kicker, aim.x, aim.z, 0, c.pixels);
        ASSERT_EQ(BallInFlight, 1);
        ASSERT_NEAR(TheBall.destination.x, aim.x, 1e-3f) << "a good kick";
        ASSERT_NEAR(TheBall.destination.z, aim.z, 1e-3f);

        // The bend the flight will take pulls the ball the other way from the side it swings to.
        EXPECT_NEAR(TheBall.bendX, -4.f * c.sideX, 1e-4f);
        EXPECT_NEAR(TheBall.bendZ, -4.f * c.sideZ, 1e-4f);

        // The preview: the middle arrow of the twenty lies half way along, off the line.
        ShowKickPreview(false);
        const ModelInstance* mid = InstanceAt(KickArrowModels[10]);
        EXPECT_NEAR(mid->Position.x - (at.x + 15.f * c.dx), swing * c.sideX, 1e-3f);
        EXPECT_NEAR(mid->Position.z - (at.z + 15.f * c.dz), swing * c.sideZ, 1e-3f);

        // The flight: the ball never strays to the other side and is furthest out half way.
        EndTurn();
        float most = 0.f, least = 0.f, mostAlong = 0.f;
        for (int i = 0; i < 400 && BallInFlight; ++i) {
            Frame(0.02f);
            const ModelInstance* ball = BallModel();
            const float ox = ball->Position.x - TheBall.groundPoint.x, oz = ball->Position.z - TheBall.groundPoint.z;
            const float across = ox * c.sideX + oz * c.sideZ;
            if (across > most) {
                most = across;
                mostAlong = (TheBall.groundPoint.x - at.x) * c.dx + (TheBall.groundPoint.z - at.z) * c.dz;
            }
            least = std::fmin(least, across);
        }
        EXPECT_EQ(BallInFlight, 0) << "the ball came to rest";
        EXPECT_NEAR(most, swing, 0.05f);
        EXPECT_NEAR(mostAlong, 15.f, 0.6f);
        EXPECT_GT(least, -1e-3f);
    }
}

TEST_F(PreviewTest, AKickTowardAGoalLineCrossesItsPlane)
{
    GiveBallToPlayer(9);
    ModelInstance* ball = BallModel();
    ball->Position = D3DVECTOR{100.f, BALL_REST_HEIGHT, 40.f};
    TheBall.aimPoint = D3DVECTOR{120.f, 0.f, 42.f};
    EXPECT_TRUE(KickCrossesGoalMouth());
    EXPECT_NEAR(GoalMouthCrossing.x, GOAL_LINE_HIGH_X, 1e-3f);
    TheBall.aimPoint = D3DVECTOR{110.f, 0.f, 42.f};
    EXPECT_FALSE(KickCrossesGoalMouth());
    ball->Position = D3DVECTOR{10.f, BALL_REST_HEIGHT, 40.f};
    TheBall.aimPoint = D3DVECTOR{1.f, 0.f, 70.f};
    EXPECT_TRUE(KickCrossesGoalMouth());
    EXPECT_NEAR(GoalMouthCrossing.x, GOAL_LINE_LOW_X, 1e-3f);
}

TEST_F(PreviewTest, ButtonPairsAreTheCaptionAndPictureTheBuilderMade)
{
    for (unsigned h : {100u, 1000u, 101u, 1001u, 102u, 1002u, 1003u, 1004u}) ShowSprite(h);
    ShowSprite(1903);
    ShowSprite(1904);
    EnableButtonPair(SPRITE_CAPTION_SUBSTITUTE, false);
    EXPECT_FALSE(SpriteAt(1003)->IsVisible());
    EXPECT_FALSE(SpriteAt(1004)->IsVisible());
    EXPECT_TRUE(SpriteAt(1903)->IsVisible()) << "a pop-up's handle is not the substitute's twin";
    EXPECT_TRUE(SpriteAt(1904)->IsVisible());
    EnableButtonPair(SPRITE_BUTTON_SUBSTITUTE, true);
    EXPECT_TRUE(SpriteAt(1003)->IsVisible());
    EXPECT_TRUE(SpriteAt(1004)->IsVisible());
    EnableButtonPair(SPRITE_CAPTION_PASS, false);
    EXPECT_FALSE(SpriteAt(101)->IsVisible());
    EXPECT_FALSE(SpriteAt(1001)->IsVisible());
    EXPECT_TRUE(SpriteAt(100)->IsVisible());
    // Ids that are not a button pair change nothing.
    EnableButtonPair(1005, false);
    EnableButtonPair(5, false);
    EXPECT_TRUE(SpriteAt(1904)->IsVisible());
    HideSprite(1903);
    HideSprite(1904);
}

TEST_F(PreviewTest, TheSkyTurnsWithTheFrameTimeAndTheBallArrowFollowsTheBall)
{
    ModelInstance* sky = InstanceAt(SkyDomeModel);
    ASSERT_NE(sky, nullptr);
    sky->Rotation.y = 0.f;
    TheApp.ElapsedTime = 2.f;
    SpinModel();
    EXPECT_FLOAT_EQ(sky->Rotation.y, 0.025f);
    ModelInstance* ball = BallModel();
    ball->Position = D3DVECTOR{33.f, 1.f, 44.f};
    ShowBallArrow(true);
    const ModelInstance* arrow = InstanceAt(TheBall.markerModel);
    EXPECT_EQ(arrow->Visible, 1);
    EXPECT_FLOAT_EQ(arrow->Position.y, 3.5f);
    EXPECT_FLOAT_EQ(arrow->Position.x, 33.f);
    ShowBallArrow(false);
    EXPECT_EQ(arrow->Visible, 0);
}

}  // namespace
