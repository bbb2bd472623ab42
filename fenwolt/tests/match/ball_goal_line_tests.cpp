// Shots at the goal through the match screen's own step: the referee rules on the ball where its
// course meets the goal line - over the bar or wide of a post is out of play (a goal kick, or a
// corner when a defender touched it last), under the bar between the posts is a goal - at every
// frame step a match runs with, whichever step the line is crossed on, the last one included.
#include "fenwolt/tests/match/match_screen_support.h"

#include "fenwolt/Game/Match/MatchHelpers.h"
#include "fenwolt/Game/Match/Rules.h"
#include "fenwolt/Game/Match/TurnEngine.h"
#include "platform/tests/support/test_requirements.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>

using namespace matchgeo;

namespace {

// The steps a match runs with: 60 and 50 frames a second, the network's fixed 1/30 s, the
// frame time factor's 0.04 s and the developer's constant 0.05 s.
constexpr float STEPS[] = {1.f / 60.f, 0.02f, 1.f / 30.f, 0.04f, 0.05f};
// Kept clear of the bar and the posts, so that no shot of the grid is a matter of rounding.
constexpr float MARGIN = 0.02f;

enum class AtTheLine { OverTheBar, WideOfAPost, InTheMouth, TooClose };

struct Shot {
    D3DVECTOR from, to;
    float loft;
};

struct Result {
    bool goal = false;
    int32_t stop = STOP_IN_PLAY;
    int32_t restartSide = -1;
    D3DVECTOR ball{};
    bool flying = false;
};

class GoalLineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!app_.Open(false)) SKIP_WITHOUT("a GL device") << app_.error;
        matchdrive::StartMatch(matchdrive::MatchOptions{});
        ASSERT_EQ(GoalSideTable[1], 0) << "the home side attacks the high-x goal in the first half";
        radius_ = TheBall.radius;
        ASSERT_GT(radius_, 0.f);
    }

    // The straight course of a shot, rising to its end beyond the line: where the ball's edge
    // meets the line, its height and its place across the mouth.
    AtTheLine Judge(const Shot& s, bool highEnd) const
    {
        const float lineX = highEnd ? GOAL_LINE_HIGH_X - radius_ : GOAL_LINE_LOW_X + radius_;
        const float t = (lineX - s.from.x) / (s.to.x - s.from.x);
        const float bottom = s.loft * std::sin(t * HALF_PI) + BALL_REST_HEIGHT - radius_;
        const float z = s.from.z + t * (s.to.z - s.from.z);
        if (bottom > CROSSBAR_HEIGHT + MARGIN) return AtTheLine::OverTheBar;
        if (bottom > CROSSBAR_HEIGHT - MARGIN) return AtTheLine::TooClose;
        if (z - radius_ < GOAL_MOUTH_LOW_Z - MARGIN || z + radius_ > GOAL_MOUTH_HIGH_Z + MARGIN)
            return AtTheLine::WideOfAPost;
        if (z - radius_ >= GOAL_MOUTH_LOW_Z + MARGIN && z + radius_ < GOAL_MOUTH_HIGH_Z - MARGIN)
            return AtTheLine::InTheMouth;
        return AtTheLine::TooClose;
    }

    // The side shoots in its moving phase, nobody near the ball's course, the side `lastTouch`
    // (1 home, 2 away) the last to have touched it.
    static void Kick(int32_t side, const Shot& s, int32_t lastTouch)
    {
        MatchStopState = STOP_IN_PLAY;
        GoalInProgress = 0;
        RestartPending = TakerHasBall = DeadBallKickPending = ThrowInPending = KickOffPending = 0;
        BallHolder = LastHolder = 0;
        TeamGoals[0] = TeamGoals[1] = 0;
        // Every shot early in the first half: the ends stay as they are.
        Minute = Second = 0;
        LastTouchSide = lastTouch;
        LastKicker = side * SIDE_SIZE + 9;
        TurnPhase = side == 0 ? PHASE_HOME_MOVES : PHASE_AWAY_MOVES;
        PhaseTimer = 0.f;
        WaitingForBall = 0;
        for (int32_t p = 0; p < PLAYER_COUNT; ++p) {
            ModelInstance* m = PlayerModel(p);
            m->Position = D3DVECTOR{20.f + 3.f * (float)p, 0.f, 2.f};
            MatchPlayers[p].moveTarget = m->Position;
            MatchPlayers[p].stance = 0;
        }
        ModelInstance* ball = BallModel();
        ball->Position = TheBall.kickStart = TheBall.groundPoint = s.from;
        TheBall.destination = TheBall.aimPoint = s.to;
        TheBall.loft = s.loft;
        TheBall.bendX = TheBall.bendZ = 0.f;
        ShotClass = ClassifyTarget(s.to);
        BallInFlight = 1;
    }

    // The shot in open play, the match run until the flight ends.
    static Result Play(int32_t side, const Shot& s, int32_t lastTouch, float step)
    {
        Kick(side, s, lastTouch);
        for (int i = 0; i < 2000 && BallInFlight && MatchStopState == STOP_IN_PLAY; ++i) matchdrive::Frame(step);
        const ModelInstance* ball = BallModel();
        Result r;
        r.goal = GoalInProgress != 0 || TeamGoals[0] + TeamGoals[1] > 0;
        r.stop = MatchStopState;
        r.restartSide = RestartSide;
        r.ball = ball->Position;
        r.flying = BallInFlight != 0;
        return r;
    }

    // Shots from across the edge of the area at points spread over the shot box of one end.
    template <class Each>
    void ForEachShot(bool highEnd, const float* lofts, int loftCount, Each each)
    {
        const float x0 = highEnd ? SHOT_BOX_HIGH_X0 : SHOT_BOX_LOW_X0;
        const float x1 = highEnd ? SHOT_BOX_HIGH_X1 : SHOT_BOX_LOW_X1;
        for (int ax = 0; ax < 7; ++ax)
            for (int az = 0; az < 5; ++az)
                for (int f = 0; f < 6; ++f)
                    for (int l = 0; l < loftCount; ++l) {
                        const float fromX = 82.f + 3.5f * (float)f;
                        Shot s;
                        s.from = D3DVECTOR{highEnd ? fromX : 119.05f - fromX, BALL_REST_HEIGHT, 20.f + 9.f * (float)f};
                        s.to = D3DVECTOR{x0 + (x1 - x0) * (float)ax / 6.f, BALL_REST_HEIGHT,
                                         SHOT_BOX_Z0 + (SHOT_BOX_Z1 - SHOT_BOX_Z0) * (float)az / 4.f};
                        s.loft = lofts[l];
                        each(s);
                    }
    }

    static std::string Describe(const Shot& s, float step, const Result& r)
    {
        std::ostringstream o;
        o << "step " << step << ": (" << s.from.x << ", " << s.from.z << ") -> (" << s.to.x << ", " << s.to.z
          << ") loft " << s.loft << ": goal " << r.goal << ", stop " << r.stop << ", restart side " << r.restartSide
          << ", ball (" << r.ball.x << ", " << r.ball.y << ", " << r.ball.z << ")";
        return o.str();
    }

    matchdrive::MatchApp app_;
    float radius_ = 0.f;
};

TEST_F(GoalLineTest, ShotsOverTheBarOrWideAreOutWhicheverStepCrossesTheLine)
{
    const float lofts[] = {3.5f, 5.f, 8.f, 14.f, 30.f, 0.f, 1.5f};
    for (const float step : STEPS) {
        for (const bool highEnd : {true, false}) {
            const int32_t attackers = highEnd ? 0 : 1, defenders = 1 - attackers;
            int over = 0, wide = 0, wrong = 0, n = 0;
            std::string first;
            ForEachShot(highEnd, lofts, 7, [&](const Shot& s) {
                const AtTheLine at = Judge(s, highEnd);
                if (at != AtTheLine::OverTheBar && at != AtTheLine::WideOfAPost) return;
                (at == AtTheLine::OverTheBar ? over : wide) += 1;
                // Every other shot took a defender's touch on its way: a corner, not a goal kick.
                const bool deflected = ++n % 2 == 0;
                const Result r = Play(attackers, s, (deflected ? defenders : attackers) + 1, step);
                const bool right =
                    !r.goal && !r.flying && std::fabs(r.ball.y - BALL_REST_HEIGHT) < 1e-4f &&
                    (deflected ? r.stop == STOP_CORNER && r.restartSide == attackers &&
                                     (r.ball.z == CORNER_LOW_Z || r.ball.z == CORNER_HIGH_Z)
                               : r.stop == STOP_GOAL_KICK && r.restartSide == defenders &&
                                     r.ball.x == (highEnd ? GOAL_KICK_HIGH_X : GOAL_KICK_LOW_X));
                if (!right && wrong++ == 0) first = Describe(s, step, r);
            });
            EXPECT_GT(over, 300);
            EXPECT_GT(wide, 20);
            EXPECT_EQ(wrong, 0) << (highEnd ? "high" : "low") << "-x end, " << over << " over the bar and " << wide
                                << " wide; first: " << first;
        }
    }
}

TEST_F(GoalLineTest, ShotsUnderTheBarBetweenThePostsScore)
{
    const float lofts[] = {0.f, 1.f, 1.8f, 2.4f, 3.5f};
    for (const float step : STEPS) {
        for (const bool highEnd : {true, false}) {
            const int32_t attackers = highEnd ? 0 : 1;
            int in = 0, wrong = 0;
            std::string first;
            ForEachShot(highEnd, lofts, 5, [&](const Shot& s) {
                if (Judge(s, highEnd) != AtTheLine::InTheMouth) return;
                ++in;
                const Result r = Play(attackers, s, attackers + 1, step);
                const bool right = r.goal && r.stop == STOP_GOAL && TeamGoals[attackers] == 1 && !r.flying;
                if (!right && wrong++ == 0) first = Describe(s, step, r);
            });
            EXPECT_GT(in, 300);
            EXPECT_EQ(wrong, 0) << (highEnd ? "high" : "low") << "-x end, " << in << " shots; first: " << first;
        }
    }
}

// A free kick a hair from the goal line, struck into the net: the line is crossed on the kick's
// first step, while the restart is still being taken. The goal stands and its banner with it.
TEST_F(GoalLineTest, ARestartKickStraightIntoTheNetIsAGoal)
{
    for (const float step : STEPS) {
        const Shot s{D3DVECTOR{GOAL_LINE_HIGH_X - radius_ - 0.05f, BALL_REST_HEIGHT, 42.f},
                     D3DVECTOR{115.5f, BALL_REST_HEIGHT, 42.f}, 0.f};
        Kick(0, s, 1);
        MatchStopState = STOP_FOUL;
        RestartSide = 0;
        RestrictedFirst = SIDE_SIZE;
        RestrictedEnd = PLAYER_COUNT;
        RestartPending = TakerHasBall = DeadBallKickPending = 1;
        matchdrive::Frame(step);
        EXPECT_EQ(TeamGoals[0], 1) << "step " << step;
        EXPECT_EQ(MatchStopState, STOP_GOAL) << "step " << step;
        EXPECT_EQ(GoalInProgress, 1) << "step " << step;
    }
}

}  // namespace
