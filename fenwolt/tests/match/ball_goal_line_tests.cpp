// Shots at the goal through the match screen's own step, with the goal frames its scene placed:
// the referee rules on the ball where its course meets the goal line - over the bar or wide of a
// post is out of play (a goal kick, or a corner when a defender touched it last), under the bar
// between the posts is a goal - and a ball whose course meets a post or the crossbar before the
// line rebounds from it; all at every frame step a match runs with, whichever step the line or
// the frame is met on, the last one included.
#include "fenwolt/tests/match/match_screen_support.h"

#include "fenwolt/Game/Match/MatchHelpers.h"
#include "fenwolt/Game/Match/MatchScreen.h"
#include "fenwolt/Game/Match/Rules.h"
#include "fenwolt/Game/Match/TurnEngine.h"
#include "platform/tests/support/test_requirements.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <sstream>
#include <string>
#include <vector>

using namespace matchgeo;

namespace {

// The steps a match runs with: 60 and 50 frames a second, the network's fixed 1/30 s, the
// frame time factor's 0.04 s and the developer's constant 0.05 s.
constexpr float STEPS[] = {1.f / 60.f, 0.02f, 1.f / 30.f, 0.04f, 0.05f};
// Kept clear of the bar and the posts, so that no shot of the grid is a matter of rounding.
constexpr float MARGIN = 0.02f;
// Ground distance between the points at which a course is judged.
constexpr float FINE = 0.001f;

enum class AtTheLine { OverTheBar, WideOfAPost, InTheMouth, OnTheFrame, TooClose };

struct Shot {
    D3DVECTOR from, to;
    float loft;
    float bendX = 0.f, bendZ = 0.f;
    // What the kick's aim made it (ShotClass); below 0 the aim was `to`.
    int32_t shotClass = -1;
};

struct Result {
    bool goal = false;
    int32_t stop = STOP_IN_PLAY;
    int32_t restartSide = -1;
    D3DVECTOR ball{};
    bool flying = false;
    int rebounds = 0;
    D3DVECTOR firstRebound{};        // where the ball was when its course first turned
    D3DVECTOR reboundDestination{};  // and where it was sent
};

// A shot's course as the flight lays it down, worked out here on its own: a straight ground
// track with the loft's sine above it (rising to the end of a shot whose end lies over a goal
// line, else peaking half way) and the bend's sine beside it (out most half way).
struct Course {
    D3DVECTOR from, to;
    float loft, bendX, bendZ;
    bool risesToItsEnd;
    float Length() const { return std::hypot(to.x - from.x, to.z - from.z); }
    D3DVECTOR At(float s) const
    {
        const float total = Length();
        const float f = total > 0.f ? s / total : 1.f;
        D3DVECTOR p{from.x + (to.x - from.x) * f, BALL_REST_HEIGHT, from.z + (to.z - from.z) * f};
        const float rise = risesToItsEnd ? f : (f <= 0.5f ? f : 1.f - f);
        if (loft > 0.f) p.y = loft * std::sin(rise * HALF_PI) + BALL_REST_HEIGHT;
        const float swing = std::sin((f <= 0.5f ? f : 1.f - f) * HALF_PI);
        p.x -= bendX * swing;
        p.z -= bendZ * swing;
        return p;
    }
};

// The ball (half-size q) at p touches a post or a crossbar of either goal.
bool TouchesFrame(const D3DVECTOR& p, float q)
{
    for (int32_t b = 2; b < 8; ++b) {
        const GoalFrameBox& f = GoalFrameBoxes[b];
        if (p.x - q <= f.max.x && p.y - q <= f.max.y && p.z - q <= f.max.z && p.x + q >= f.min.x &&
            p.z + q >= f.min.z && p.y + q >= f.min.y)
            return true;
    }
    return false;
}

bool OverGoalLine(const D3DVECTOR& p, float q) { return p.x - q < GOAL_LINE_LOW_X || p.x + q >= GOAL_LINE_HIGH_X; }

class GoalLineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!app_.Open(false)) SKIP_WITHOUT("a GL device") << app_.error;
        matchdrive::StartMatch(matchdrive::MatchOptions{});
        ASSERT_EQ(GoalSideTable[1], 0) << "the home side attacks the high-x goal in the first half";
        radius_ = TheBall.radius;
        ASSERT_GT(radius_, 0.f);
        // The frames the scene placed, measured from their meshes: the posts stand just outside
        // the mouth and the bar on its height, at both ends.
        for (int32_t b = 2; b < 8; ++b) ASSERT_TRUE(GoalFrameBoxes[b].valid) << "box " << b;
        ASSERT_NEAR(GoalFrameBoxes[2].max.z, GOAL_MOUTH_LOW_Z, 1e-3f);
        ASSERT_NEAR(GoalFrameBoxes[4].min.y, CROSSBAR_HEIGHT, 1e-3f);
        ASSERT_NEAR(GoalFrameBoxes[7].min.y, CROSSBAR_HEIGHT, 1e-3f);
    }

    // The first ground distance along the course at which the test holds; -1 when it never does
    // before the course's end. Only the last stretch before the goal lines is looked at finely.
    template <class Test>
    static float FirstAlong(const Course& c, Test holds)
    {
        const float total = c.Length();
        float s = 0.f;
        // Coarsely up to two units short of a goal line's neighbourhood, then finely.
        while (s < total) {
            const D3DVECTOR p = c.At(s);
            if (p.x < GOAL_LINE_LOW_X + 3.f || p.x > GOAL_LINE_HIGH_X - 3.f) break;
            s += 0.25f;
        }
        for (s = std::fmax(0.f, s - 0.5f); s <= total; s += FINE)
            if (holds(c.At(s))) return s;
        return holds(c.At(total)) ? total : -1.f;
    }

    // Where a course stands at the goal line: over the bar, wide, in the mouth or on the frame,
    // each with room to spare, or too close to one of those to call.
    AtTheLine Judge(const Course& c) const
    {
        const float r = radius_;
        auto never = [](float s) { return s < 0.f ? 1e9f : s; };
        const float crossEarliest = never(FirstAlong(c, [&](const D3DVECTOR& p) { return OverGoalLine(p, r + MARGIN); }));
        const float crossLatest = never(FirstAlong(c, [&](const D3DVECTOR& p) { return OverGoalLine(p, r - MARGIN); }));
        const float frameEarliest = never(FirstAlong(c, [&](const D3DVECTOR& p) { return TouchesFrame(p, r + MARGIN); }));
        const float frameLatest = never(FirstAlong(c, [&](const D3DVECTOR& p) { return TouchesFrame(p, r - MARGIN); }));
        if (frameLatest < 1e9f && frameLatest + 0.01f < crossEarliest) return AtTheLine::OnTheFrame;
        if (frameEarliest < 1e9f && frameEarliest <= crossLatest + 0.01f) return AtTheLine::TooClose;
        const float crossing = FirstAlong(c, [&](const D3DVECTOR& p) { return OverGoalLine(p, r); });
        if (crossing < 0.f) return AtTheLine::TooClose;
        const D3DVECTOR at = c.At(crossing);
        const float bottom = at.y - r;
        if (bottom > CROSSBAR_HEIGHT + MARGIN) return AtTheLine::OverTheBar;
        if (bottom > CROSSBAR_HEIGHT - MARGIN) return AtTheLine::TooClose;
        if (at.z - r < GOAL_MOUTH_LOW_Z - MARGIN || at.z + r > GOAL_MOUTH_HIGH_Z + MARGIN)
            return AtTheLine::WideOfAPost;
        if (at.z - r >= GOAL_MOUTH_LOW_Z + MARGIN && at.z + r < GOAL_MOUTH_HIGH_Z - MARGIN)
            return AtTheLine::InTheMouth;
        return AtTheLine::TooClose;
    }

    // A shot's course: a shot aimed beyond a goal line rises all the way to it.
    Course CourseOf(const Shot& s) const
    {
        const bool beyond = s.to.x - radius_ < GOAL_LINE_LOW_X || s.to.x + radius_ >= GOAL_LINE_HIGH_X;
        const int32_t shot = s.shotClass >= 0 ? s.shotClass : ClassifyTarget(s.to);
        return Course{s.from, s.to, s.loft, s.bendX, s.bendZ, shot > 0 && beyond};
    }
    AtTheLine Judge(const Shot& s) const { return Judge(CourseOf(s)); }

    // Open play early in the first half, nobody near the ball's course, the side `lastTouch`
    // (1 home, 2 away) the last to have touched it, `side` (0 home, 1 away) to plan.
    static void OpenPlay(int32_t side, int32_t lastTouch)
    {
        MatchStopState = STOP_IN_PLAY;
        GoalInProgress = 0;
        RestartPending = TakerHasBall = DeadBallKickPending = ThrowInPending = KickOffPending = 0;
        BallHolder = LastHolder = 0;
        BallInFlight = 0;
        TeamGoals[0] = TeamGoals[1] = 0;
        // Every shot early in the first half: the ends stay as they are.
        Minute = Second = 0;
        LastTouchSide = lastTouch;
        LastKicker = side * SIDE_SIZE + 9;
        TurnPhase = side == 0 ? PHASE_HOME_PLANS : PHASE_AWAY_PLANS;
        PhaseTimer = 0.f;
        WaitingForBall = 0;
        for (int32_t p = 0; p < PLAYER_COUNT; ++p) {
            ModelInstance* m = PlayerModel(p);
            m->Position = D3DVECTOR{20.f + 3.f * (float)p, 0.f, 2.f};
            MatchPlayers[p].moveTarget = m->Position;
            MatchPlayers[p].stance = 0;
            MatchPlayers[p].turnsDown = 0;
        }
    }

    // The side shoots in its moving phase.
    static void Kick(int32_t side, const Shot& s, int32_t lastTouch)
    {
        OpenPlay(side, lastTouch);
        TurnPhase = side == 0 ? PHASE_HOME_MOVES : PHASE_AWAY_MOVES;
        ModelInstance* ball = BallModel();
        ball->Position = TheBall.kickStart = TheBall.groundPoint = s.from;
        TheBall.destination = TheBall.aimPoint = s.to;
        TheBall.loft = s.loft;
        TheBall.bendX = s.bendX;
        TheBall.bendZ = s.bendZ;
        ShotClass = s.shotClass >= 0 ? s.shotClass : ClassifyTarget(s.to);
        BallInFlight = 1;
    }

    // The match run until the flight ends; a course that turns in flight (nobody is near it)
    // is a rebound.
    static Result Fly(float step)
    {
        Result r;
        for (int i = 0; i < 2000 && BallInFlight && MatchStopState == STOP_IN_PLAY; ++i) {
            const D3DVECTOR before = TheBall.destination;
            matchdrive::Frame(step);
            if (BallInFlight && (TheBall.destination.x != before.x || TheBall.destination.z != before.z)) {
                if (r.rebounds++ == 0) {
                    r.firstRebound = BallModel()->Position;
                    r.reboundDestination = TheBall.destination;
                }
            }
        }
        const ModelInstance* ball = BallModel();
        r.goal = GoalInProgress != 0 || TeamGoals[0] + TeamGoals[1] > 0;
        r.stop = MatchStopState;
        r.restartSide = RestartSide;
        r.ball = ball->Position;
        r.flying = BallInFlight != 0;
        return r;
    }

    // The shot in open play, the match run until the flight ends.
    static Result Play(int32_t side, const Shot& s, int32_t lastTouch, float step)
    {
        Kick(side, s, lastTouch);
        return Fly(step);
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

    // The grid's shots of one end with their verdicts, judged once for every step.
    std::vector<std::pair<Shot, AtTheLine>> JudgedShots(bool highEnd, const float* lofts, int loftCount)
    {
        std::vector<std::pair<Shot, AtTheLine>> out;
        ForEachShot(highEnd, lofts, loftCount, [&](const Shot& s) { out.emplace_back(s, Judge(s)); });
        return out;
    }

    static std::string Describe(const Shot& s, float step, const Result& r)
    {
        std::ostringstream o;
        o << "step " << step << ": (" << s.from.x << ", " << s.from.z << ") -> (" << s.to.x << ", " << s.to.z
          << ") loft " << s.loft << " bend (" << s.bendX << ", " << s.bendZ << "): goal " << r.goal << ", stop "
          << r.stop << ", restart side " << r.restartSide << ", rebounds " << r.rebounds << ", ball (" << r.ball.x
          << ", " << r.ball.y << ", " << r.ball.z << ")";
        return o.str();
    }

    matchdrive::MatchApp app_;
    float radius_ = 0.f;
};

TEST_F(GoalLineTest, ShotsOverTheBarOrWideAreOutWhicheverStepCrossesTheLine)
{
    const float lofts[] = {3.5f, 5.f, 8.f, 14.f, 30.f, 0.f, 1.5f};
    for (const bool highEnd : {true, false}) {
        const auto shots = JudgedShots(highEnd, lofts, 7);
        const int32_t attackers = highEnd ? 0 : 1, defenders = 1 - attackers;
        for (const float step : STEPS) {
            int over = 0, wide = 0, wrong = 0, n = 0;
            std::string first;
            for (const auto& [s, at] : shots) {
                if (at != AtTheLine::OverTheBar && at != AtTheLine::WideOfAPost) continue;
                (at == AtTheLine::OverTheBar ? over : wide) += 1;
                // Every other shot took a defender's touch on its way: a corner, not a goal kick.
                const bool deflected = ++n % 2 == 0;
                const Result r = Play(attackers, s, (deflected ? defenders : attackers) + 1, step);
                const bool right =
                    !r.goal && !r.flying && r.rebounds == 0 && std::fabs(r.ball.y - BALL_REST_HEIGHT) < 1e-4f &&
                    (deflected ? r.stop == STOP_CORNER && r.restartSide == attackers &&
                                     (r.ball.z == CORNER_LOW_Z || r.ball.z == CORNER_HIGH_Z)
                               : r.stop == STOP_GOAL_KICK && r.restartSide == defenders &&
                                     r.ball.x == (highEnd ? GOAL_KICK_HIGH_X : GOAL_KICK_LOW_X));
                if (!right && wrong++ == 0) first = Describe(s, step, r);
            }
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
    for (const bool highEnd : {true, false}) {
        const auto shots = JudgedShots(highEnd, lofts, 5);
        const int32_t attackers = highEnd ? 0 : 1;
        for (const float step : STEPS) {
            int in = 0, wrong = 0;
            std::string first;
            for (const auto& [s, at] : shots) {
                if (at != AtTheLine::InTheMouth) continue;
                ++in;
                const Result r = Play(attackers, s, attackers + 1, step);
                const bool right =
                    r.goal && r.stop == STOP_GOAL && TeamGoals[attackers] == 1 && !r.flying && r.rebounds == 0;
                if (!right && wrong++ == 0) first = Describe(s, step, r);
            }
            EXPECT_GT(in, 300);
            EXPECT_EQ(wrong, 0) << (highEnd ? "high" : "low") << "-x end, " << in << " shots; first: " << first;
        }
    }
}

// Where the ball met the frame: touching it, short of the line, and sent back onto the pitch.
::testing::AssertionResult ReboundedOffTheFrame(const Result& r, float radius, bool highEnd)
{
    if (r.rebounds < 1) return ::testing::AssertionFailure() << "went through the frame";
    if (r.goal) return ::testing::AssertionFailure() << "scored off the frame";
    if (!TouchesFrame(r.firstRebound, radius + MARGIN))
        return ::testing::AssertionFailure() << "turned clear of the frame";
    if (OverGoalLine(r.firstRebound, radius - MARGIN)) return ::testing::AssertionFailure() << "turned over the line";
    const float back = highEnd ? r.firstRebound.x - r.reboundDestination.x : r.reboundDestination.x - r.firstRebound.x;
    if (!(back > 0.f)) return ::testing::AssertionFailure() << "sent on into the goal";
    return ::testing::AssertionSuccess();
}

// Shots whose straight course meets a post or the crossbar before the line: the top of the ball
// under the bar, its bottom on the bar, or its side on a post. Each rebounds where it meets the
// frame, on whichever step that is, the one that would have crossed the line included.
TEST_F(GoalLineTest, ShotsThatMeetAPostOrTheBarRebound)
{
    const float lofts[] = {0.f, 2.1f, 2.3f, 2.5f, 2.7f, 2.9f, 3.1f};
    for (const bool highEnd : {true, false}) {
        const auto shots = JudgedShots(highEnd, lofts, 7);
        const int32_t attackers = highEnd ? 0 : 1;
        for (const float step : STEPS) {
            int met = 0, wrong = 0;
            std::string first;
            for (const auto& [s, at] : shots) {
                if (at != AtTheLine::OnTheFrame) continue;
                ++met;
                const Result r = Play(attackers, s, attackers + 1, step);
                const auto right = ReboundedOffTheFrame(r, radius_, highEnd);
                if (!right && wrong++ == 0) first = Describe(s, step, r) + ": " + right.message();
            }
            EXPECT_GT(met, 100);
            EXPECT_EQ(wrong, 0) << (highEnd ? "high" : "low") << "-x end, " << met << " shots; first: " << first;
        }
    }
}

// Lofted and bent shots at both goals through the orders a manager gives: the kicker aims into
// the goal, drags up and sideways, releases, and ends the turn. A course that meets the frame
// before the line rebounds off it and never scores; the rest are ruled at the line as before.
// A long hitch of a frame is among the steps: nothing passes through a post between two frames.
TEST_F(GoalLineTest, LoftedAndBentShotsMeetTheFrameOrAreRuledAtTheLine)
{
    matchdrive::MatchOptions twoManagers;
    twoManagers.managers = 2;
    matchdrive::StartMatch(twoManagers);
    const float steps[] = {1.f / 60.f, 0.02f, 1.f / 30.f, 0.04f, 0.05f, 0.25f};
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> unit(0.f, 1.f);
    struct Aimed {
        float fromX, fromZ, aimX, aimZ;
        int32_t loftPixels, bendPixels;
    };
    std::vector<Aimed> aims;
    for (int i = 0; i < 1200; ++i) {
        const bool high = i % 2 == 0;
        const float d = 8.f + 20.f * unit(rng), a = -1.f + 2.f * unit(rng);
        const float line = high ? GOAL_LINE_HIGH_X : GOAL_LINE_LOW_X;
        const float x0 = high ? SHOT_BOX_HIGH_X0 : SHOT_BOX_LOW_X0, x1 = high ? SHOT_BOX_HIGH_X1 : SHOT_BOX_LOW_X1;
        Aimed s;
        s.fromX = high ? line - d * std::cos(a) : line + d * std::cos(a);
        s.fromZ = CENTRE_Z + d * std::sin(a);
        s.aimX = x0 + (x1 - x0) * unit(rng);
        s.aimZ = SHOT_BOX_Z0 + (SHOT_BOX_Z1 - SHOT_BOX_Z0) * unit(rng);
        s.loftPixels = (int32_t)(unit(rng) * 24.f);
        s.bendPixels = (int32_t)(unit(rng) * 51.f) - 25;
        aims.push_back(s);
    }
    // Each shot aimed once: the kick's grading draws from the generator, so its course is
    // judged as it was ordered and then played again from that state at every step.
    struct Ordered {
        Shot shot;
        bool high;
        AtTheLine at;
    };
    std::vector<Ordered> ordered;
    for (const Aimed& s : aims) {
        const bool high = s.aimX > CENTRE_X;
        const int32_t kicker = (high ? 0 : SIDE_SIZE) + 9;
        OpenPlay(high ? 0 : 1, high ? 1 : 2);
        ModelInstance* body = PlayerModel(kicker);
        body->Position = D3DVECTOR{s.fromX, 0.f, s.fromZ};
        MatchPlayers[kicker].moveTarget = body->Position;
        body->Rotation.y = ReduceAngle(BearingAlong(s.aimX - s.fromX, s.aimZ - s.fromZ) + PI);
        for (int k = ATTR_SHOOT_SHORT; k <= ATTR_SHOOT_LONG; ++k) MatchPlayers[kicker].attributes[k] = 100.f;
        MatchPlayers[kicker].attributes[ATTR_BEND] = 10.f;
        BallHolder = LastHolder = kicker + 1;
        GiveBallToPlayer(kicker);
        matchdrive::OrderKick(kicker, s.aimX, s.aimZ, s.loftPixels, s.bendPixels);
        ASSERT_EQ(BallInFlight, 1) << "the kick was ordered";
        if (ShotClass == 0) continue;
        Shot shot{TheBall.kickStart, TheBall.destination, TheBall.loft, TheBall.bendX, TheBall.bendZ, ShotClass};
        ordered.push_back(Ordered{shot, high, Judge(shot)});
    }
    int counted[5] = {};
    for (const Ordered& o : ordered) counted[(int)o.at] += 1;
    EXPECT_GT(counted[(int)AtTheLine::OnTheFrame], 40);
    EXPECT_GT(counted[(int)AtTheLine::OverTheBar], 100);
    EXPECT_GT(counted[(int)AtTheLine::InTheMouth], 100);
    EXPECT_GT(counted[(int)AtTheLine::WideOfAPost], 10);

    for (const float step : steps) {
        int wrong[5] = {};
        std::string first;
        for (const Ordered& o : ordered) {
            const int32_t side = o.high ? 0 : 1;
            OpenPlay(side, side + 1);
            ModelInstance* ball = BallModel();
            ball->Position = TheBall.kickStart = TheBall.groundPoint = o.shot.from;
            TheBall.destination = o.shot.to;
            TheBall.loft = o.shot.loft;
            TheBall.bendX = o.shot.bendX;
            TheBall.bendZ = o.shot.bendZ;
            ShotClass = o.shot.shotClass;
            BallInFlight = 1;
            matchdrive::EndTurn();
            const Result r = Fly(step);
            bool right = true;
            switch (o.at) {
            case AtTheLine::OnTheFrame: right = (bool)ReboundedOffTheFrame(r, radius_, o.high); break;
            case AtTheLine::InTheMouth: right = r.goal && r.rebounds == 0; break;
            case AtTheLine::OverTheBar:
            case AtTheLine::WideOfAPost:
                right = !r.goal && r.rebounds == 0 && (r.stop == STOP_GOAL_KICK || r.stop == STOP_CORNER);
                break;
            case AtTheLine::TooClose: break;
            }
            if (!right && wrong[(int)o.at]++ == 0) first = Describe(o.shot, step, r);
        }
        EXPECT_EQ(wrong[(int)AtTheLine::OnTheFrame], 0)
            << "of " << counted[(int)AtTheLine::OnTheFrame] << " on the frame; first: " << first;
        EXPECT_EQ(wrong[(int)AtTheLine::InTheMouth], 0) << "under the bar, not counted; first: " << first;
        EXPECT_EQ(wrong[(int)AtTheLine::OverTheBar], 0) << "over the bar, not out; first: " << first;
        EXPECT_EQ(wrong[(int)AtTheLine::WideOfAPost], 0) << "wide, not out; first: " << first;
    }
}

// The frame is where the scene's goal models put it, though those models stand on the pitch's
// corners with the goals' geometry carried by their meshes: a ball touching either post or the
// bar of either goal touches the frame; the middle of the mouth and the pitch do not.
TEST_F(GoalLineTest, TheFrameTheScenePlacedIsTouchedAtItsPostsAndBar)
{
    const float r = radius_;
    struct Spot {
        float x, y, z;
    };
    const Spot touching[] = {
        {GOAL_LINE_LOW_X + r, 1.f, GOAL_MOUTH_LOW_Z - 0.06f},  {GOAL_LINE_LOW_X + r, 1.f, GOAL_MOUTH_HIGH_Z + 0.06f},
        {GOAL_LINE_LOW_X + r, CROSSBAR_HEIGHT, 42.f},          {GOAL_LINE_HIGH_X - r, 1.f, GOAL_MOUTH_LOW_Z - 0.06f},
        {GOAL_LINE_HIGH_X - r, 1.f, GOAL_MOUTH_HIGH_Z + 0.06f}, {GOAL_LINE_HIGH_X - r, CROSSBAR_HEIGHT + r, 44.f},
    };
    ModelInstance* ball = BallModel();
    for (const Spot& s : touching) {
        ball->Position = D3DVECTOR{s.x, s.y, s.z};
        EXPECT_TRUE(CheckGoalFrameHit()) << s.x << ", " << s.y << ", " << s.z;
    }
    const Spot clear[] = {{GOAL_LINE_LOW_X + r, 1.f, 42.f}, {GOAL_LINE_HIGH_X - r, 1.f, 42.f},
                          {GOAL_LINE_LOW_X + r, 3.2f, 42.f}, {CENTRE_X, BALL_REST_HEIGHT, CENTRE_Z},
                          {GOAL_LINE_LOW_X + 0.5f, 1.f, GOAL_MOUTH_LOW_Z - 0.06f}};
    for (const Spot& s : clear) {
        ball->Position = D3DVECTOR{s.x, s.y, s.z};
        EXPECT_FALSE(CheckGoalFrameHit()) << s.x << ", " << s.y << ", " << s.z;
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
