// Where the ball is: the lines and the goal mouth at the ball's radius, the penalty areas, the
// restart every exit gives, goals, the goal frame and the classification of players.
#include "match_rules_support.h"

#include "fenwolt/Game/GameApp.h"
#include "fenwolt/Game/Match/BallFlight.h"
#include "fenwolt/Game/Match/MatchScreen.h"
#include "fenwolt/Game/Match/Rules.h"

#include <cmath>
#include <limits>

using namespace rulestest;

namespace {

// A radius whose sums and differences with the pitch values are exact in float.
constexpr float R = 0.25f;

class LinesTest : public RulesTest {
protected:
    void SetUp() override
    {
        RulesTest::SetUp();
        TheBall.radius = R;
    }
    int32_t Classify(float x, float y, float z) { return ClassifyBallPosition(D3DVECTOR{x, y, z}); }
};

TEST_F(LinesTest, GoalLinesAreCrossedBelowTheLowLineAndAtTheHighLine)
{
    EXPECT_EQ(Classify(GOAL_LINE_LOW_X + R, 0.5f, 20.f), BALL_IN_PLAY);
    EXPECT_EQ(Classify(GOAL_LINE_LOW_X + R - 0.01f, 0.5f, 20.f), BALL_OVER_LOW_GOAL_LINE);
    EXPECT_EQ(Classify(GOAL_LINE_HIGH_X - R - 0.01f, 0.5f, 20.f), BALL_IN_PLAY);
    EXPECT_EQ(Classify(GOAL_LINE_HIGH_X - R, 0.5f, 20.f), BALL_OVER_HIGH_GOAL_LINE);
}

TEST_F(LinesTest, TouchlinesFollowTheSameRule)
{
    EXPECT_EQ(Classify(60.f, 0.5f, TOUCHLINE_LOW_Z + R), BALL_IN_PLAY);
    EXPECT_EQ(Classify(60.f, 0.5f, TOUCHLINE_LOW_Z + R - 0.01f), BALL_OVER_TOUCHLINE);
    EXPECT_EQ(Classify(60.f, 0.5f, TOUCHLINE_HIGH_Z - R - 0.01f), BALL_IN_PLAY);
    EXPECT_EQ(Classify(60.f, 0.5f, TOUCHLINE_HIGH_Z - R), BALL_OVER_TOUCHLINE);
}

TEST_F(LinesTest, GoalMouthEdgesAtTheBallsRadius)
{
    const float x = GOAL_LINE_LOW_X - 1.0f;
    // Inside the low post: the ball's near side on the post's line is in.
    EXPECT_EQ(Classify(x, 0.5f, GOAL_MOUTH_LOW_Z + R), BALL_GOAL_GIVEN);
    GoalInProgress = 0, MatchStopState = STOP_IN_PLAY;
    EXPECT_EQ(Classify(x, 0.5f, GOAL_MOUTH_LOW_Z + R - 0.01f), BALL_OVER_LOW_GOAL_LINE);
    // The far post: touching its line is out.
    EXPECT_EQ(Classify(x, 0.5f, GOAL_MOUTH_HIGH_Z - R), BALL_OVER_LOW_GOAL_LINE);
    EXPECT_EQ(Classify(x, 0.5f, GOAL_MOUTH_HIGH_Z - R - 0.01f), BALL_GOAL_GIVEN);
    GoalInProgress = 0, MatchStopState = STOP_IN_PLAY;
    // The crossbar: the ball's bottom at the bar's height is over it.
    EXPECT_EQ(Classify(x, CROSSBAR_HEIGHT + R, 42.f), BALL_OVER_LOW_GOAL_LINE);
    EXPECT_EQ(Classify(x, CROSSBAR_HEIGHT + R - 0.01f, 42.f), BALL_GOAL_GIVEN);
}

TEST_F(LinesTest, PenaltyAreasAtTheBallsRadius)
{
    Classify(PENALTY_AREA_LOW_X + R, 0.2f, 42.f);
    EXPECT_EQ(BallInBox, BOX_NONE);
    Classify(PENALTY_AREA_LOW_X + R - 0.01f, 0.2f, 42.f);
    EXPECT_EQ(BallInBox, BOX_LOW);
    Classify(PENALTY_AREA_HIGH_X - R, 0.2f, 42.f);
    EXPECT_EQ(BallInBox, BOX_HIGH);
    Classify(PENALTY_AREA_HIGH_X - R - 0.01f, 0.2f, 42.f);
    EXPECT_EQ(BallInBox, BOX_NONE);
    Classify(10.f, 0.2f, PENALTY_AREA_LOW_Z - R);
    EXPECT_EQ(BallInBox, BOX_LOW);
    Classify(10.f, 0.2f, PENALTY_AREA_LOW_Z - R - 0.01f);
    EXPECT_EQ(BallInBox, BOX_NONE);
    Classify(110.f, 0.2f, PENALTY_AREA_HIGH_Z + R - 0.01f);
    EXPECT_EQ(BallInBox, BOX_HIGH);
    Classify(110.f, 0.2f, PENALTY_AREA_HIGH_Z + R);
    EXPECT_EQ(BallInBox, BOX_NONE);
    // A ball over a line is in no area.
    Classify(10.f, 0.2f, TOUCHLINE_LOW_Z);
    EXPECT_EQ(BallInBox, BOX_NONE);
}

// --- The restart for every exit ------------------------------------------------------------------
struct Exit {
    const char* name;
    float x, z;
    int32_t end;  // 0 touchline, 1 low-x goal line, 2 high-x goal line
};

const Exit kExits[] = {
    {"low touchline", 40.f, 3.f, 0},     {"high touchline", 80.f, 81.f, 0},
    {"low goal line near z 30", 3.f, 30.f, 1}, {"low goal line near z 60", 3.f, 60.f, 1},
    {"high goal line near z 30", 116.f, 30.f, 2}, {"high goal line near z 60", 116.f, 60.f, 2},
};

TEST_F(LinesTest, EveryExitEveryLastTouchEveryEnd)
{
    for (const Exit& e : kExits) {
        for (int32_t lowScorer = 0; lowScorer <= 1; ++lowScorer) {
            for (int32_t lastTouch = 0; lastTouch <= 2; ++lastTouch) {
                SCOPED_TRACE(testing::Message() << e.name << ", low-x goal scored by " << lowScorer
                                                << ", last touch " << lastTouch);
                ResetMatch();
                TheBall.radius = R;
                GoalSideTable[1] = 1 - lowScorer;
                GoalSideTable[2] = lowScorer;
                LastTouchSide = lastTouch;
                BallHolder = 5;
                PlaceBall(e.x, BALL_REST_HEIGHT, e.z);
                BallInFlight = 1;
                CheckBallOut();

                EXPECT_EQ(RestartPending, 1);
                EXPECT_EQ(BallHolder, 0);
                EXPECT_EQ(TakerHasBall, 0);
                EXPECT_EQ(BallInFlight, 0);
                EXPECT_EQ(GoalInProgress, 0);
                EXPECT_EQ(RestrictedFirst, RestartSide == 0 ? 11 : 0);
                EXPECT_EQ(RestrictedEnd, RestartSide == 0 ? 22 : 11);
                // A side that touched the ball last never restarts it.
                if (lastTouch != 0) {
                    EXPECT_NE(RestartSide, lastTouch - 1);
                }
                const D3DVECTOR ball = BallAt();
                EXPECT_FLOAT_EQ(RestartSpot.x, ball.x);
                EXPECT_FLOAT_EQ(RestartSpot.z, ball.z);
                EXPECT_EQ(RestartSpot.y, 0.f);
                EXPECT_FLOAT_EQ(ball.y, BALL_REST_HEIGHT);

                if (e.end == 0) {
                    EXPECT_EQ(MatchStopState, STOP_THROW_IN);
                    EXPECT_EQ(RestartSide, lastTouch == 1 ? 1 : 0);
                    EXPECT_FLOAT_EQ(KeepAwayDistance, 3.0f);
                    EXPECT_EQ(ThrowInPending, 1);
                    EXPECT_EQ(DeadBallKickPending, 0);
                    EXPECT_FLOAT_EQ(ball.x, e.x);
                    EXPECT_FLOAT_EQ(ball.z, e.z);
                    continue;
                }
                EXPECT_EQ(ThrowInPending, 0);
                EXPECT_EQ(DeadBallKickPending, 1);
                // The side scoring at this end attacks it: a corner is its, a goal kick the other's.
                const int32_t attacker = e.end == 1 ? lowScorer : 1 - lowScorer;
                const bool attackerTouchedLast = lastTouch == attacker + 1;
                const bool defenderTouchedLast = lastTouch == 2 - attacker;
                if (attackerTouchedLast) {
                    EXPECT_EQ(MatchStopState, STOP_GOAL_KICK);
                }
                if (defenderTouchedLast) {
                    EXPECT_EQ(MatchStopState, STOP_CORNER);
                }
                ASSERT_TRUE(MatchStopState == STOP_CORNER || MatchStopState == STOP_GOAL_KICK);
                if (MatchStopState == STOP_CORNER) {
                    EXPECT_EQ(RestartSide, attacker);
                    EXPECT_FLOAT_EQ(KeepAwayDistance, 5.0f);
                    EXPECT_FLOAT_EQ(ball.z, e.z < CENTRE_Z ? 4.88f : 79.24f);
                    EXPECT_FLOAT_EQ(ball.x, e.end == 1 ? e.x + 0.3f : e.x - 0.3f);
                } else {
                    EXPECT_EQ(RestartSide, 1 - attacker);
                    EXPECT_FLOAT_EQ(KeepAwayDistance, 15.0f);
                    EXPECT_FLOAT_EQ(ball.x, e.end == 1 ? 9.63f : 109.36f);
                    EXPECT_FLOAT_EQ(ball.z, e.z < CENTRE_Z ? 33.47f : 50.73f);
                }
                EXPECT_FLOAT_EQ(TheBall.destination.x, ball.x);
                EXPECT_FLOAT_EQ(TheBall.destination.z, ball.z);
            }
        }
    }
}

TEST_F(LinesTest, LowGoalLineWithHomeDefendingIt)
{
    // The home side defends the low-x goal: its own touch gives the away side a corner; the away
    // side's touch, or nobody's, a goal kick to the home side.
    GoalSideTable[1] = 0, GoalSideTable[2] = 1;
    LastTouchSide = 1;
    PlaceBall(3.f, BALL_REST_HEIGHT, 20.f);
    CheckBallOut();
    EXPECT_EQ(MatchStopState, STOP_CORNER);
    EXPECT_EQ(RestartSide, 1);

    for (int32_t touch : {2, 0}) {
        ResetMatch();
        LastTouchSide = touch;
        PlaceBall(3.f, BALL_REST_HEIGHT, 20.f);
        CheckBallOut();
        EXPECT_EQ(MatchStopState, STOP_GOAL_KICK) << touch;
        EXPECT_EQ(RestartSide, 0) << touch;
    }
}

TEST_F(LinesTest, BallBackInPlayResumes)
{
    MatchStopState = STOP_GOAL;  // a stoppage that the ball in play ends
    RestartPending = 1;
    PlaceBall(60.f, BALL_REST_HEIGHT, 40.f);
    CheckBallOut();
    EXPECT_EQ(MatchStopState, STOP_IN_PLAY);
    EXPECT_EQ(RestartPending, 0);
}

// --- Goals ---------------------------------------------------------------------------------------------
TEST_F(LinesTest, GoalAtTheLineCreditsTheScorer)
{
    GoalSideTable[1] = 0, GoalSideTable[2] = 1;
    LastKicker = 9;
    TeamSquads[0].players[9].lastMatch.attemptsOnGoal = 0;
    PlaceBall(GOAL_LINE_HIGH_X - R, 0.5f, 42.f);
    EXPECT_EQ(ClassifyBallPosition(BallAt()), BALL_GOAL_GIVEN);
    EXPECT_EQ(HomeGoals, 1);
    EXPECT_EQ(AwayGoals, 0);
    EXPECT_EQ(LastScoringSide, 0);
    EXPECT_EQ(GoalInProgress, 1);
    EXPECT_EQ(MatchStopState, STOP_GOAL);
    EXPECT_EQ(TeamSquads[0].players[9].lastMatch.goalsScored, 1);
    // A goal is an attempt, even if the kick was not counted as one.
    EXPECT_EQ(TeamSquads[0].players[9].lastMatch.attemptsOnGoal, 1);
    EXPECT_EQ(BallInFlight, 0);
    EXPECT_FLOAT_EQ(BallAt().y, BALL_REST_HEIGHT);
    EXPECT_EQ(TheBall.loft, 0.f);

    // A second signal while the goal is being celebrated changes nothing.
    CheckGoal(GOAL_LOW_X);
    CheckGoal(GOAL_HIGH_X);
    EXPECT_EQ(HomeGoals, 1);
    EXPECT_EQ(AwayGoals, 0);
}

TEST_F(LinesTest, GoalJustShortOfTheLineIsNot)
{
    PlaceBall(GOAL_LINE_HIGH_X - R - 0.01f, 0.5f, 42.f);
    EXPECT_EQ(ClassifyBallPosition(BallAt()), BALL_IN_PLAY);
    PlaceBall(GOAL_LINE_LOW_X + R, 0.5f, 42.f);
    EXPECT_EQ(ClassifyBallPosition(BallAt()), BALL_IN_PLAY);
    EXPECT_EQ(HomeGoals + AwayGoals, 0);
    PlaceBall(GOAL_LINE_LOW_X + R - 0.01f, 0.5f, 42.f);
    EXPECT_EQ(ClassifyBallPosition(BallAt()), BALL_GOAL_GIVEN);
    EXPECT_EQ(AwayGoals, 1);  // the away side scores in the low-x goal in the first half
}

TEST_F(LinesTest, OwnGoalNeverDrivesAttemptsBelowZero)
{
    GoalSideTable[1] = 0, GoalSideTable[2] = 1;
    LastKicker = 13;  // an away defender, into the high-x goal the home side attacks
    SquadStats& s = TeamSquads[1].players[2].lastMatch;
    s.attemptsOnGoal = 0;
    CheckGoal(GOAL_HIGH_X);
    EXPECT_EQ(HomeGoals, 1);
    EXPECT_EQ(s.goalsScored, 0);
    EXPECT_EQ(s.attemptsOnGoal, 0);

    ResetMatch();
    LastKicker = 13;
    TeamSquads[1].players[2].lastMatch.attemptsOnGoal = 2;
    CheckGoal(GOAL_HIGH_X);
    EXPECT_EQ(TeamSquads[1].players[2].lastMatch.attemptsOnGoal, 1);
}

TEST_F(LinesTest, BallWhollyInsideTheGoalIsAGoal)
{
    SetGoalFrameBoxes();
    // Deep in the low-x net, never seen crossing the line.
    PlaceBall(3.0f, 1.0f, 42.f);
    EXPECT_EQ(FindGoalEntered(), GOAL_LOW_X);
    CheckGoal(0);
    EXPECT_EQ(AwayGoals, 1);

    ResetMatch();
    SetGoalFrameBoxes();
    PlaceBall(116.0f, 1.0f, 42.f);
    EXPECT_EQ(FindGoalEntered(), GOAL_HIGH_X);
    // Half in the high-x net: touching is not inside.
    PlaceBall(GOAL_LINE_HIGH_X, 1.0f, 42.f);
    EXPECT_EQ(FindGoalEntered(), 0);
    EXPECT_TRUE(IsBallTouchingBox(1));
    CheckGoal(0);
    EXPECT_EQ(HomeGoals + AwayGoals, 0);
}

TEST_F(LinesTest, GoalFrameHitsOnlyNearTheirGoal)
{
    SetGoalFrameBoxes();
    PlaceBall(4.5f, 1.0f, 38.1f);  // on the low-x left post
    EXPECT_TRUE(CheckGoalFrameHit());
    PlaceBall(114.55f, 2.6f, 42.f);  // under the high-x crossbar
    EXPECT_TRUE(CheckGoalFrameHit());
    PlaceBall(4.0f, 1.0f, 42.f);  // in the mouth, clear of the frame
    EXPECT_FALSE(CheckGoalFrameHit());
    PlaceBall(60.f, 0.2f, 42.f);
    EXPECT_FALSE(CheckGoalFrameHit());
}

// The scene places the frame models by their meshes' origin, a corner of the pitch, far from the
// goals their boxes stand on: where a goal is near is measured from its boxes.
TEST_F(LinesTest, GoalFrameHitsWhereverItsModelsStand)
{
    SetGoalFrameBoxes();
    for (int32_t b = 0; b < 8; ++b) {
        const bool high = b == 1 || b >= 5;
        TheApp.InstanceTable[GoalFrameModels[b]].Position = high ? D3DVECTOR{119.05f, 0.f, 85.38f} : D3DVECTOR{0, 0, 0};
    }
    PlaceBall(4.5f, 1.0f, 38.1f);  // on the low-x left post
    EXPECT_TRUE(CheckGoalFrameHit());
    PlaceBall(4.5f, 2.6f, 44.f);  // under the low-x crossbar
    EXPECT_TRUE(CheckGoalFrameHit());
    PlaceBall(114.55f, 1.0f, 47.2f);  // on the high-x right post
    EXPECT_TRUE(CheckGoalFrameHit());
    PlaceBall(4.0f, 1.0f, 42.f);
    EXPECT_FALSE(CheckGoalFrameHit());
}

// A ball moving along a straight piece of its course meets the frame where it first touches it,
// however long the piece: one that would pass through a post between its two ends meets it too.
TEST_F(LinesTest, AMovingBallMeetsTheFrameWhereItFirstTouchesIt)
{
    SetGoalFrameBoxes();
    float along = -1.f;
    // Straight at the low-x left post (x 4.3..4.7) from 2.0 in front of it: its edge meets the
    // post's face when the centre is at 4.7 + R.
    ASSERT_TRUE(FindGoalFrameContact(D3DVECTOR{6.7f + R, 1.f, 38.1f}, D3DVECTOR{2.7f + R, 1.f, 38.1f}, along));
    EXPECT_NEAR(along, 0.5f, 1e-5f);
    // Through the whole post and out of the other side in one piece.
    ASSERT_TRUE(FindGoalFrameContact(D3DVECTOR{5.7f + R, 1.f, 38.1f}, D3DVECTOR{3.3f - R, 1.f, 38.1f}, along));
    EXPECT_NEAR(along, 1.f / 2.9f, 1e-5f);
    // Rising into the high-x bar from under it, level with the line.
    ASSERT_TRUE(FindGoalFrameContact(D3DVECTOR{114.55f, 2.0f, 42.f}, D3DVECTOR{114.55f, 2.6f, 42.f}, along));
    EXPECT_NEAR(along, (2.56f - R - 2.0f) / 0.6f, 1e-4f);
    // In through the mouth, clear of both posts and the bar; and past the outside of a post.
    EXPECT_FALSE(FindGoalFrameContact(D3DVECTOR{8.f, 1.f, 42.f}, D3DVECTOR{1.f, 1.f, 42.f}, along));
    EXPECT_FALSE(FindGoalFrameContact(D3DVECTOR{8.f, 1.f, 37.9f - R}, D3DVECTOR{1.f, 1.f, 37.9f - R}, along));
    // Over the bar.
    EXPECT_FALSE(FindGoalFrameContact(D3DVECTOR{8.f, 2.8f + R, 42.f}, D3DVECTOR{1.f, 2.8f + R, 42.f}, along));
    // A ball that touches the frame where it starts is coming off it.
    EXPECT_FALSE(FindGoalFrameContact(D3DVECTOR{4.5f, 1.f, 38.1f}, D3DVECTOR{6.5f, 1.f, 38.1f}, along));
    // No frame, no contact; nothing that is not a number meets anything.
    EXPECT_FALSE(FindGoalFrameContact(D3DVECTOR{NAN, 1.f, 38.1f}, D3DVECTOR{2.f, 1.f, 38.1f}, along));
    BuildGoalFrames();
    EXPECT_FALSE(FindGoalFrameContact(D3DVECTOR{6.7f, 1.f, 38.1f}, D3DVECTOR{2.7f, 1.f, 38.1f}, along));
}

// A frame step of no sensible length, or a course of none, beside the frame: the flight still
// takes its step and ends with every value a number.
TEST_F(LinesTest, AnAbsurdStepBesideTheFrameStillEnds)
{
    SetGoalFrameBoxes();
    TurnPhase = PHASE_HOME_MOVES;
    for (const float far : {200.f, 1e30f}) {
        for (const float step : {1e30f, std::numeric_limits<float>::infinity()}) {
            PlaceBall(110.f, BALL_REST_HEIGHT, 38.1f);
            TheBall.kickStart = TheBall.groundPoint = BallAt();
            TheBall.destination = D3DVECTOR{far, BALL_REST_HEIGHT, 38.1f};
            TheBall.loft = 1e30f;
            BallInFlight = 1;
            matchcore::SetStep(step);
            UpdateBall();
            UpdateBall();
            EXPECT_TRUE(MatchStateFinite()) << far << ", step " << step;
        }
    }
    matchcore::SetStep(0.05f);
}

TEST_F(LinesTest, MissingGoalFramesNeverScoreOrRebound)
{
    BuildGoalFrames();  // no instances at all
    for (const GoalFrameBox& b : GoalFrameBoxes) EXPECT_FALSE(b.valid);
    PlaceBall(3.0f, 1.0f, 42.f);
    EXPECT_EQ(FindGoalEntered(), 0);
    EXPECT_FALSE(CheckGoalFrameHit());
    for (int32_t b = 0; b < 8; ++b) EXPECT_FALSE(IsBallTouchingBox(b));
    EXPECT_FALSE(IsBallInsideGoalBox(-1));
    EXPECT_FALSE(IsBallInsideGoalBox(8));
}

TEST_F(LinesTest, GoalFramesComeFromTheMeshBoundsInTheWorld)
{
    // A unit-ish box mesh placed twice: as is at the low-x end and turned half round at the
    // high-x end, the way the second goal is mirrored.
    XFileMesh* mesh = TheApp.MeshTable[MESH_COUNT - 1];
    ModelVertex corners[2] = {{-1.f, 0.f, -4.f, 0, 1, 0, 0, 0}, {1.f, 2.5f, 4.f, 0, 1, 0, 0, 0}};
    mesh->Vertices = new ModelVertex[2]{corners[0], corners[1]};
    mesh->VertexCount = 2;
    for (int32_t b = 0; b < 2; ++b) {
        ModelInstance& m = TheApp.InstanceTable[FIRST_FRAME_INSTANCE + b];
        m = ModelInstance{};
        m.InUse = 1;
        m.MeshIndex = MESH_COUNT - 1;
        m.Flags = 8;  // placed by its origin
        m.Position = b == 0 ? D3DVECTOR{3.5f, 0.f, 42.f} : D3DVECTOR{115.5f, 0.f, 42.f};
        m.Rotation = b == 0 ? D3DVECTOR{0, 0, 0} : D3DVECTOR{0, 3.14159265f, 0};
        GoalFrameModels[b] = FIRST_FRAME_INSTANCE + b;
    }
    BuildGoalFrames();
    delete[] mesh->Vertices;
    mesh->Vertices = nullptr;
    mesh->VertexCount = 0;

    ASSERT_TRUE(GoalFrameBoxes[0].valid);
    ASSERT_TRUE(GoalFrameBoxes[1].valid);
    EXPECT_NEAR(GoalFrameBoxes[0].min.x, 2.5f, 1e-4f);
    EXPECT_NEAR(GoalFrameBoxes[0].max.x, 4.5f, 1e-4f);
    EXPECT_NEAR(GoalFrameBoxes[0].min.z, 38.f, 1e-4f);
    EXPECT_NEAR(GoalFrameBoxes[0].max.y, 2.5f, 1e-4f);
    // The turned box still has its minimum below its maximum on every axis.
    EXPECT_NEAR(GoalFrameBoxes[1].min.x, 114.5f, 1e-4f);
    EXPECT_NEAR(GoalFrameBoxes[1].max.x, 116.5f, 1e-4f);
    EXPECT_NEAR(GoalFrameBoxes[1].min.z, 38.f, 1e-3f);
    EXPECT_NEAR(GoalFrameBoxes[1].max.z, 46.f, 1e-3f);
    for (int32_t b = 2; b < 8; ++b) EXPECT_FALSE(GoalFrameBoxes[b].valid);

    PlaceBall(115.5f, 1.0f, 42.f);
    EXPECT_EQ(FindGoalEntered(), GOAL_HIGH_X);
}

// --- Players are classified, never refereed ------------------------------------------------------
TEST_F(LinesTest, StrikerBehindTheGoalLineNeverScoresAtAPenalty)
{
    // A penalty for the home side at the high-x end, its striker parked in the goal mouth behind
    // the line.
    ParkEveryone();
    MatchStopState = STOP_FOUL;
    PenaltyEnd = PENALTY_HIGH_END;
    RestartSide = 0;
    PlacePlayer(9, 103.0f, 42.0f);
    PlacePlayer(10, 115.5f, 42.0f);
    BallInBox = BOX_HIGH;
    PlaceBall(PENALTY_SPOT_HIGH_X, BALL_REST_HEIGHT, CENTRE_Z);

    EXPECT_FALSE(PenaltyAreaCrowded());
    EXPECT_EQ(HomeGoals + AwayGoals, 0);
    EXPECT_EQ(GoalInProgress, 0);
    EXPECT_EQ(MatchStopState, STOP_FOUL);
    EXPECT_EQ(BallInBox, BOX_HIGH);

    EXPECT_EQ(ClassifyPosition(Model(10).Position), BALL_OVER_HIGH_GOAL_LINE);
    EXPECT_EQ(PenaltyAreaAt(Model(10).Position), BOX_NONE);
    EXPECT_EQ(PenaltyAreaAt(Model(9).Position), BOX_HIGH);
    EXPECT_EQ(HomeGoals + AwayGoals, 0);
    EXPECT_EQ(BallInBox, BOX_HIGH);

    // A second team-mate in the area crowds it.
    PlacePlayer(8, 100.0f, 30.0f);
    EXPECT_TRUE(PenaltyAreaCrowded());
}

TEST_F(LinesTest, DamagedRadiusCountsAsAPoint)
{
    TheBall.radius = std::nanf("");
    EXPECT_EQ(Classify(GOAL_LINE_LOW_X + 0.01f, 0.2f, 20.f), BALL_IN_PLAY);
    EXPECT_EQ(Classify(GOAL_LINE_LOW_X - 0.01f, 0.2f, 20.f), BALL_OVER_LOW_GOAL_LINE);
}

}  // namespace
