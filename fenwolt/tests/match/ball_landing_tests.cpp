// Where a flight ends: on the ground, at a player's feet, or with the referee (a goal or the ball
// out of play) - never up in the air. A ball left hanging where nobody can reach it once the
// moving phase is over ruins the rest of the match.
#include "match_core_support.h"

#include "fenwolt/tests/match/match_screen_support.h"

#include "fenwolt/Game/Match/BallFlight.h"
#include "fenwolt/Game/Match/MatchHelpers.h"
#include "fenwolt/Game/Match/TurnEngine.h"
#include "fenwolt/common/Utilities.h"
#include "platform/tests/support/test_requirements.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <string>

using namespace matchgeo;

namespace {

constexpr float FACE_PLUS_X = 4.712389f;

class BallLandingTest : public MatchCoreTest {
protected:
    // The ball in flight from `from` to `to` in home's moving phase, nobody near its track.
    void Fly(const D3DVECTOR& from, const D3DVECTOR& to, float loft, int32_t shotClass, float step)
    {
        matchcore::ClearArea((from.x + to.x) * 0.5f, (from.z + to.z) * 0.5f, 80.f);
        matchcore::PlaceBall(from.x, from.y, from.z);
        TheBall.kickStart = TheBall.groundPoint = from;
        TheBall.destination = to;
        TheBall.loft = loft;
        TheBall.bendX = TheBall.bendZ = 0.f;
        ShotClass = shotClass;
        BallInFlight = 1;
        LastHolder = 0;
        matchcore::StartMovingPhase(PHASE_HOME_MOVES);
        matchcore::SetStep(step);
    }
    // The match steps until the moving phase is over (the turn engine ends it once the ball
    // stands on its destination); false when it never ends.
    bool StepToPhaseEnd(int limit = 2000)
    {
        for (int i = 0; i < limit && TurnPhase == PHASE_HOME_MOVES; ++i) matchcore::StepMatch(false);
        return TurnPhase != PHASE_HOME_MOVES;
    }
    static const ModelInstance& Ball() { return matchcore::BallInstance(); }
};

// The kick that hung (whole match of seed 19 at 01:25, 1/30 s steps): a keeper's shot from his
// own area at the far goal, a poor one that fell 57.5 units away on the pitch, lofted 8.65. The
// track is a whole number of steps long; rounding left the ball a hair short of its destination
// on what should have been its last step, the moving phase ended on it, and the ball stayed at
// the shot's full height, 8.77 up, to full time.
TEST_F(BallLandingTest, ThePoorLoftedShotThatHungLandsOnTheGround)
{
    const D3DVECTOR from{0x1.786adcp+4f, 0x1.e7b5f2p-4f, 0x1.410ddap+5f};
    const D3DVECTOR to{0x1.3b1fd8p+6f, 0.f, 0x1.838b8ep+4f};
    TheBall.radius = 0x1.0ef34ep-3f;
    Fly(from, to, 0x1.14e148p+3f, 1, 1.f / 30.f);
    ASSERT_TRUE(StepToPhaseEnd());
    EXPECT_FALSE(BallInFlight);
    EXPECT_EQ(BallHolder, 0);
    EXPECT_FLOAT_EQ(Ball().Position.y, BALL_REST_HEIGHT) << "the ball is left in the air";
    EXPECT_TRUE(Vec3EqualXZ(Ball().Position, to));
}

// Any course whose step stops within a hair of its destination: the ball lands there, on the
// ground, and the flight is over - a pass, a shot at the goal, lofted or not.
TEST_F(BallLandingTest, AStepEndingAHairShortOfTheDestinationIsTheLastOne)
{
    struct Case {
        float fromX, toX, loft;
        int32_t shotClass;
    } cases[] = {{40.f, 60.f, 3.f, 0}, {40.f, 60.f, 3.f, 1}, {100.f, 115.5f, 4.f, 1}, {40.f, 60.f, 0.f, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.fromX << " -> " << c.toX << " loft " << c.loft << " shot " << c.shotClass);
        Fly(D3DVECTOR{c.fromX, BALL_REST_HEIGHT, 42.f}, D3DVECTOR{c.toX, BALL_REST_HEIGHT, 42.f}, c.loft, c.shotClass,
            0.02f);
        // The ground point put where the next step leaves it 0.0005 short.
        const float speed = c.shotClass > 0 ? BALL_SHOT_SPEED : 5.0f;
        const float d = c.shotClass > 0 ? speed * 0.02f + 0.0005f : (5.0f * 0.02f + 0.0005f) / (1.f - 0.02f);
        TheBall.groundPoint.x = c.toX - d;
        matchcore::BallInstance().Position.x = TheBall.groundPoint.x;
        UpdateBall();
        EXPECT_FALSE(BallInFlight);
        EXPECT_FLOAT_EQ(Ball().Position.x, c.toX);
        EXPECT_FLOAT_EQ(Ball().Position.y, BALL_REST_HEIGHT);
    }
}

// A swing along the track can carry the ball over its destination before the track gets there:
// standing on it, the ball has arrived and comes down, instead of ending the phase in mid-swing.
TEST_F(BallLandingTest, ABendThatCarriesTheBallOntoItsDestinationLandsIt)
{
    Fly(D3DVECTOR{30.f, BALL_REST_HEIGHT, 42.f}, D3DVECTOR{50.f, BALL_REST_HEIGHT, 42.f}, 2.f, 0, 0.1f);
    // From 40 a pass moves 1.5 (ten units left: 15 units/s); 8.5 remain, a fold of 0.425.
    TheBall.groundPoint.x = 40.f;
    matchcore::BallInstance().Position.x = 40.f;
    TheBall.bendX = -8.5f / std::sin(0.425f * HALF_PI);
    UpdateBall();
    EXPECT_FALSE(BallInFlight);
    EXPECT_NEAR(Ball().Position.x, 50.f, 1e-3f);
    EXPECT_FLOAT_EQ(Ball().Position.y, BALL_REST_HEIGHT);
}

// A shot keeps rising to its end only on its way over a goal line. A poor shot that falls short
// on the pitch, or one headed back into play, comes down onto its destination like a pass: its
// height is highest half way and back at the ground at the end, where a player can take it.
TEST_F(BallLandingTest, AShotThatEndsOnThePitchComesDownOntoIt)
{
    Fly(D3DVECTOR{30.f, BALL_REST_HEIGHT, 42.f}, D3DVECTOR{70.f, BALL_REST_HEIGHT, 42.f}, 4.f, 1, 0.02f);
    float highest = 0.f, highestAt = 0.f, last = 0.f;
    while (BallInFlight) {
        UpdateBall();
        if (Ball().Position.y > highest) {
            highest = Ball().Position.y;
            highestAt = Ball().Position.x;
        }
        if (BallInFlight) last = Ball().Position.y;
    }
    EXPECT_NEAR(highestAt, 50.f, 0.6f);
    EXPECT_NEAR(highest, 0.70711f * 4.f + BALL_REST_HEIGHT, 0.01f);
    EXPECT_LT(last, 0.5f) << "the ball is coming down at the end";
    EXPECT_FLOAT_EQ(Ball().Position.y, BALL_REST_HEIGHT);

    // A shot headed on: from the middle of its new track the ball only falls.
    Fly(D3DVECTOR{30.f, BALL_REST_HEIGHT, 42.f}, D3DVECTOR{60.f, BALL_REST_HEIGHT, 42.f}, 4.f, 1, 0.02f);
    matchcore::PlacePlayer(7, 39.f, 42.f, FACE_PLUS_X);
    matchcore::PlaceBall(40.f, 1.0f, 42.f);
    TheBall.groundPoint = D3DVECTOR{40.f, BALL_REST_HEIGHT, 42.f};
    BallHolder = LastHolder = 8;  // he has just won the ball in the air
    HeadOrVolley(7);
    ASSERT_LT(TheBall.destination.x, GOAL_LINE_HIGH_X);
    float previous = 1e9f;
    while (BallInFlight) {
        UpdateBall();
        ASSERT_LE(Ball().Position.y, previous + 1e-5f) << "x " << Ball().Position.x;
        previous = Ball().Position.y;
    }
    EXPECT_FLOAT_EQ(Ball().Position.y, BALL_REST_HEIGHT);
}

// Whole matches against the computer, the home side's ball holder kicking anywhere on the pitch,
// lofted up to a hundred units and bent, or shooting at either goal, at the frame steps a match
// runs with (the network's 1/30 s, the developer's constant 0.05 s, and 0.02 s). Whenever a
// moving phase ends, the ball is no higher than it lies on the ground: loose where players can
// reach it, or at its holder's feet.
TEST(BallLandingMatches, NoMovingPhaseEndsWithTheBallUpInTheAir)
{
    matchdrive::MatchApp app;
    if (!app.Open(false)) SKIP_WITHOUT("a GL device") << app.error;
    constexpr uint32_t kSeeds = 40;
    const float steps[] = {1.f / 30.f, 0.05f, 0.02f};
    int matches = 0, phaseEnds = 0, loftedShots = 0, lofted = 0;
    for (const float step : steps) {
        for (uint32_t seed = 1; seed <= kSeeds; ++seed) {
            matchdrive::MatchOptions o;
            o.seed = seed;
            o.minutesPerHalf = 4;
            matchdrive::StartMatch(o);
            std::mt19937 rng(seed * 7919u);
            std::uniform_real_distribution<float> x(0.f, 119.f), z(0.f, 84.f);
            int32_t seen = -1, last = TurnPhase;
            bool acted = false;
            float planned = 0.f;
            int64_t frames = 0;
            while (MatchStopState != STOP_FULL_TIME && frames < 100000) {
                if (TurnPhase != seen) {
                    seen = TurnPhase;
                    acted = false;
                    planned = 0.f;
                }
                if (!acted && TurnPhase == PHASE_HOME_PLANS && MatchStopState != STOP_KICK_OFF && !GoalInProgress &&
                    planned >= 0.5f) {
                    const int32_t holder = BallHolder - 1;
                    if (BallHolder > 0 && holder < SIDE_SIZE && !KickOffPending && rng() % 3 != 0) {
                        const int32_t loft = (int32_t)(rng() % 400);
                        if (rng() % 3 == 0) {
                            matchdrive::OrderKick(holder, rng() % 2 ? 116.f : 3.f, 42.f, loft);
                            loftedShots += loft > 20;
                        } else {
                            matchdrive::OrderKick(holder, x(rng), z(rng), loft, (int32_t)(rng() % 101) - 50);
                            lofted += loft > 20;
                        }
                    } else {
                        matchdrive::PlayHomeTurn(seed % 2 ? matchdrive::HomeScript::Random : matchdrive::HomeScript::Chasing,
                                                 rng);
                    }
                    matchdrive::EndTurn();
                    acted = true;
                }
                matchdrive::Frame(step);
                planned += step;
                ++frames;
                if ((last == PHASE_HOME_MOVES || last == PHASE_AWAY_MOVES) && TurnPhase != last) {
                    ++phaseEnds;
                    const ModelInstance* ball = BallModel();
                    ASSERT_NE(ball, nullptr);
                    ASSERT_LE(ball->Position.y, BALL_REST_HEIGHT + 1e-3f)
                        << "step " << step << ", seed " << seed << ", " << Minute << ":" << Second << ", holder "
                        << BallHolder << ", stop " << MatchStopState << ", ball at (" << ball->Position.x << ", "
                        << ball->Position.z << ")";
                }
                last = TurnPhase;
            }
            EXPECT_EQ(MatchStopState, STOP_FULL_TIME) << "step " << step << ", seed " << seed;
            ++matches;
        }
    }
    // The scripts did what they are here for.
    EXPECT_GT(loftedShots, 100);
    EXPECT_GT(lofted, 300);
    std::printf("[          ] %d matches, %d moving phases ended, %d lofted shots and %d lofted passes\n", matches,
                phaseEnds, loftedShots, lofted);
}

}  // namespace
