// The computer opponent's choices: restarts taken after their waits, shots by zone, passes to the
// best open team-mate, positioning, and targets kept on the pitch and finite.
#include "match_rules_support.h"

#include "fenwolt/Game/Match/BallFlight.h"
#include "fenwolt/Game/Match/Computer.h"
#include "fenwolt/Game/Match/Rules.h"
#include "fenwolt/common/Utilities.h"

#include <cmath>
#include <vector>

using namespace rulestest;

namespace {

constexpr float PI = 3.14159265f;

bool TargetAt(int32_t p, float x, float z, float tolerance = 1e-3f)
{
    const D3DVECTOR& t = MatchPlayers[p].moveTarget;
    return std::fabs(t.x - x) <= tolerance && std::fabs(t.z - z) <= tolerance;
}

class ComputerTest : public RulesTest {
protected:
    void SetUp() override
    {
        RulesTest::SetUp();
        ParkEveryone();
    }
    // A restart of the computer's waiting at the ball, which `taker` holds.
    void ComputerRestart(int32_t state, int32_t taker, float x, float z)
    {
        MatchStopState = state;
        RestartSide = 1;
        RestrictedFirst = 0, RestrictedEnd = 11;
        RestartPending = 1;
        if (state == STOP_THROW_IN)
            ThrowInPending = 1;
        else
            DeadBallKickPending = 1;
        PlacePlayer(taker, x, z);
        GiveBall(taker);
        LastTouchSide = 1;
    }
    // Planning turns until the holder kicks; 0 when he never does within `limit`.
    int32_t TurnsUntilKick(int32_t limit = 12)
    {
        for (int32_t turn = 1; turn <= limit; ++turn) {
            RunComputerTurn();
            if (BallInFlight) return turn;
        }
        return 0;
    }
};

// --- Restarts ---------------------------------------------------------------------------------------
TEST_F(ComputerTest, CornerOnTheFourthTurn)
{
    ComputerRestart(STOP_CORNER, 20, 4.8f, 4.88f);
    EXPECT_EQ(TurnsUntilKick(), 4);
    EXPECT_EQ(SetPieceTaker, 21);
    // Into the box on the far side.
    EXPECT_FLOAT_EQ(TheBall.aimPoint.x, 17.5f);
    EXPECT_FLOAT_EQ(TheBall.aimPoint.z, 62.08f);
    EXPECT_EQ(LastTouchSide, 2);
}

TEST_F(ComputerTest, FreeKickOnTheSixthTurn)
{
    ComputerRestart(STOP_FOUL, 16, 70.f, 20.f);
    EXPECT_EQ(TurnsUntilKick(), 6);
    EXPECT_EQ(SetPieceTaker, 17);
    EXPECT_EQ(ShotClass, 0);
}

TEST_F(ComputerTest, APassToATeamMateRunningOntoTheBallGoesToWhereHeStands)
{
    // A substitute may share his formation spot with the taker: the team-mate's run ends on the
    // ball's own spot, and a pass there would never leave it.
    ComputerRestart(STOP_FOUL, 20, 80.f, 44.f);
    PlacePlayer(21, 80.8f, 44.3f);
    MatchPlayers[21].moveTarget = D3DVECTOR{80.f, 0.f, 44.f};
    AIPass(20, 21, 1);
    const D3DVECTOR ball = BallAt();
    EXPECT_NEAR(TheBall.aimPoint.x, 80.8f, 1e-4f);
    EXPECT_NEAR(TheBall.aimPoint.z, 44.3f, 1e-4f);
    EXPECT_GT(std::hypot(TheBall.aimPoint.x - ball.x, TheBall.aimPoint.z - ball.z), 0.5f);
}

TEST_F(ComputerTest, ThrowInOnTheThirdTurn)
{
    ComputerRestart(STOP_THROW_IN, 14, 40.f, 4.4f);
    RunComputerTurn();
    // While he waits he faces into the pitch.
    EXPECT_FLOAT_EQ(Model(14).Rotation.y, PI);
    EXPECT_EQ(BallInFlight, 0);
    EXPECT_EQ(TurnsUntilKick(), 2);
    EXPECT_EQ(MatchPlayers[14].action, ANIM_THROW_IN);
    EXPECT_EQ(SetPieceTaker, 15);
    EXPECT_FLOAT_EQ(TheBall.loft, 7.0f);
}

TEST_F(ComputerTest, GoalKickAndOffsideFreeKickOnTheFourthTurn)
{
    ComputerRestart(STOP_GOAL_KICK, AWAY_KEEPER, GOAL_KICK_HIGH_X, GOAL_KICK_LOW_Z);
    EXPECT_EQ(TurnsUntilKick(), 4);
    ResetMatch();
    ParkEveryone();
    ComputerRestart(STOP_OFFSIDE, 13, 90.f, 30.f);
    EXPECT_EQ(TurnsUntilKick(), 4);
}

TEST_F(ComputerTest, ATakerWaitsHisFullTurnsWhateverHisCounterHeld)
{
    // Counted up while dribbling earlier, then the player went for a corner's ball.
    MatchPlayers[20].aiCounter = 7;
    MatchStopState = STOP_CORNER;
    RestartSide = 1;
    RestartPending = DeadBallKickPending = 1;
    PlaceBall(4.8f, BALL_REST_HEIGHT, 4.88f);
    PlacePlayer(20, 8.f, 8.f);
    RunComputerTurn();  // nobody holds the ball yet
    PlacePlayer(20, 4.8f, 4.88f);
    GiveBall(20);
    EXPECT_EQ(TurnsUntilKick(), 4);
}

TEST_F(ComputerTest, EveryRestartOfTheComputersIsGoneFor)
{
    struct Case {
        int32_t state;
        float x, z;
    };
    // For the goal kick a defender stands between the ball and the goal, nearer than the keeper:
    // the keeper is neither the nearest nor the goal-side player.
    const Case cases[] = {{STOP_THROW_IN, 40.f, 4.4f},
                          {STOP_CORNER, 4.8f, 4.88f},
                          {STOP_GOAL_KICK, GOAL_KICK_HIGH_X, GOAL_KICK_LOW_Z},
                          {STOP_OFFSIDE, 80.f, 30.f},
                          {STOP_FOUL, 70.f, 60.f}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.state);
        ResetMatch();
        ParkEveryone();
        MatchStopState = c.state;
        RestartSide = 1;
        RestrictedFirst = 0, RestrictedEnd = 11;
        RestartPending = 1;
        PlaceBall(c.x, BALL_REST_HEIGHT, c.z);
        // A home player stands nearest the ball, kept away by the restart.
        PlacePlayer(5, c.x + 1.f, c.z < 42.f ? c.z + 1.f : c.z - 1.f);
        PlacePlayer(AWAY_KEEPER, 110.f, 42.f);
        if (c.state == STOP_GOAL_KICK) {
            PlacePlayer(13, 111.f, 35.f);
            PlacePlayer(AWAY_KEEPER, 113.f, 50.f);
        }
        RunComputerTurn();
        const int32_t taker = c.state == STOP_GOAL_KICK ? AWAY_KEEPER : NearestComputerToBall;
        EXPECT_TRUE(TargetAt(taker, c.x, c.z)) << "taker " << taker << " goes to " << MatchPlayers[taker].moveTarget.x
                                               << ", " << MatchPlayers[taker].moveTarget.z;
        EXPECT_TRUE(MatchStateFinite());
    }
}

TEST_F(ComputerTest, KeeperNearestTheBallDefends)
{
    PlaceBall(100.f, BALL_REST_HEIGHT, 42.f);
    PlacePlayer(AWAY_KEEPER, 103.f, 42.f);
    RunComputerTurn();
    EXPECT_EQ(NearestToBall, AWAY_KEEPER);
    EXPECT_TRUE(TargetAt(AWAY_KEEPER, 100.f, 42.f));
}

TEST_F(ComputerTest, PenaltyWaitsForAClearArea)
{
    ComputerRestart(STOP_FOUL, 20, PENALTY_SPOT_LOW_X, CENTRE_Z);
    PenaltyEnd = PENALTY_LOW_END;
    PlacePlayer(19, 12.f, 30.f);  // a team-mate in the area
    for (int32_t turn = 1; turn <= 8; ++turn) {
        RunComputerTurn();
        EXPECT_EQ(BallInFlight, 0) << turn;
        // He is sent out of the area.
        EXPECT_GE(MatchPlayers[19].moveTarget.x, PENALTY_AREA_LOW_X) << turn;
    }
    PlacePlayer(19, 30.f, 30.f);
    RunComputerTurn();
    EXPECT_EQ(BallInFlight, 1);
    EXPECT_EQ(ShotClass, 2);
}

// --- Shots ----------------------------------------------------------------------------------------------
int32_t ShotsOutOf(int32_t trials, int32_t holder, float x, float z)
{
    int32_t shots = 0;
    for (int32_t trial = 1; trial <= trials; ++trial) {
        // Seeds spread over the generator's range: small seeds start it with small draws.
        ResetMatch((uint32_t)trial * 2654435761u);
        ParkEveryone();
        PlacePlayer(holder, x, z);
        GiveBall(holder);
        RunComputerTurn();
        if (BallInFlight && ShotClass == 2) ++shots;
    }
    return shots;
}

TEST_F(ComputerTest, ZoneNearestTheGoalAlwaysShoots)
{
    EXPECT_EQ(ShotsOutOf(100, 12, 10.f, 42.f), 100);  // a defender
    EXPECT_EQ(ShotsOutOf(100, 20, 14.f, 30.f), 100);  // an attacker
    EXPECT_FLOAT_EQ(TheBall.aimPoint.x, 3.7f);
}

TEST_F(ComputerTest, ShotOddsByRoleAndZone)
{
    // About one in eleven for a defender in the outer zone, one in three for a midfielder in the
    // middle zone, one in two for an attacker there.
    const int32_t def = ShotsOutOf(2200, 12, 30.f, 42.f);
    EXPECT_GT(def, 150);
    EXPECT_LT(def, 250);
    const int32_t mid = ShotsOutOf(900, 17, 20.f, 42.f);
    EXPECT_GT(mid, 240);
    EXPECT_LT(mid, 360);
    const int32_t att = ShotsOutOf(600, 20, 20.f, 42.f);
    EXPECT_GT(att, 250);
    EXPECT_LT(att, 350);
    // Outside the zones nobody shoots from far.
    EXPECT_EQ(ShotsOutOf(100, 20, 45.f, 42.f), 0);
    EXPECT_EQ(ShotsOutOf(100, 20, 20.f, 20.f), 0);
}

TEST_F(ComputerTest, ShootsAtTheGoalItAttacks)
{
    CheatPass = 2;  // every kick lands where it was aimed, loft unchanged
    PlacePlayer(20, 20.f, 42.f);
    GiveBall(20);
    AIShoot(20);
    EXPECT_FLOAT_EQ(TheBall.aimPoint.x, 3.7f);
    bool listed = false;
    for (float z : ShotTargets) listed = listed || z == TheBall.aimPoint.z;
    EXPECT_TRUE(listed);
    EXPECT_FLOAT_EQ(TheBall.loft, 0.7f);
    EXPECT_FLOAT_EQ(TheBall.bendZ, 1.0f);
    EXPECT_EQ(MatchPlayers[20].action, ANIM_SHOOT);
    EXPECT_EQ(BallInFlight, 1);

    ResetMatch();
    CheatPass = 2;
    GoalSideTable[1] = 1, GoalSideTable[2] = 0;  // second half
    PlacePlayer(20, 100.f, 50.f);
    GiveBall(20);
    AIShoot(20);
    EXPECT_FLOAT_EQ(TheBall.aimPoint.x, 115.57f);
    EXPECT_FLOAT_EQ(TheBall.bendZ, -1.0f);
}

// --- Passes ----------------------------------------------------------------------------------------------
TEST_F(ComputerTest, PasserNeverPassesToHimself)
{
    // Everyone else is crowded by opponents far away; the passer stands alone.
    PlacePlayer(15, 80.f, 42.f);
    GiveBall(15);
    int32_t k = 0;
    for (int32_t p = 0; p < PLAYER_COUNT; ++p) {
        if (p == 15) continue;
        PlacePlayer(p, 28.f + (float)(k % 5), 40.f + (float)(k / 5));
        ++k;
    }
    AICleverPass(15);
    bool passerListed = false;
    for (const PassCandidate& c : PassCandidates) {
        if (c.player != 15) continue;
        passerListed = true;
        EXPECT_EQ(c.distanceToGoal, 9999.f);
        EXPECT_EQ(c.distanceToPasser, 9999.f);
    }
    EXPECT_TRUE(passerListed);
    EXPECT_EQ(PassCandidates[0].player, 15);  // he scores best of all ...
    EXPECT_EQ(BallInFlight, 1);                // ... and still passes to someone else
    EXPECT_LT(TheBall.aimPoint.x, 40.f);
}

TEST_F(ComputerTest, AllLanesBlockedStillPassesToTheBest)
{
    PlacePlayer(15, 60.f, 42.f);
    GiveBall(15);
    PlacePlayer(3, 60.f, 42.f);  // an opponent on the ball closes every lane
    PlacePlayer(12, 75.f, 20.f);
    PlacePlayer(16, 45.f, 30.f);
    PlacePlayer(20, 35.f, 50.f);
    AICleverPass(15);
    const int32_t best = PassCandidates[0].player != 15 ? PassCandidates[0].player : PassCandidates[1].player;
    for (const PassCandidate& c : PassCandidates) {
        if (c.player != 15) {
            EXPECT_TRUE(IsPassBlocked(15, c.player, true)) << c.player;
        }
    }
    EXPECT_EQ(BallInFlight, 1);
    EXPECT_FLOAT_EQ(TheBall.aimPoint.x, Model(best).Position.x);
    EXPECT_FLOAT_EQ(TheBall.aimPoint.z, Model(best).Position.z);
    // Scores are in order.
    for (int32_t i = 0; i + 1 < PASS_CANDIDATE_COUNT; ++i)
        EXPECT_GE(PassCandidates[i].score, PassCandidates[i + 1].score);
}

TEST_F(ComputerTest, OpenLaneIsPreferredOverABlockedOne)
{
    PlacePlayer(15, 60.f, 42.f);
    GiveBall(15);
    // The best-placed team-mate, towards the goal, is behind an opponent just ahead of the ball;
    // the next best stands clear behind the passer.
    PlacePlayer(3, 58.5f, 42.f);
    PlacePlayer(20, 40.f, 42.f);
    PlacePlayer(16, 75.f, 42.f);
    for (int32_t p = 11; p < PLAYER_COUNT; ++p)
        if (p != 15 && p != 16 && p != 20) PlacePlayer(p, 100.f + (float)(p % 5), 10.f + 5.f * (float)(p - 11));
    EXPECT_TRUE(IsPassBlocked(15, 20, true));
    EXPECT_FALSE(IsPassBlocked(15, 16, true));
    AICleverPass(15);
    EXPECT_EQ(PassCandidates[0].player, 20);
    EXPECT_FLOAT_EQ(TheBall.aimPoint.x, 75.f);
}

TEST_F(ComputerTest, LaneToAPlayerOnTheBallIsNoLaneAtAll)
{
    PlacePlayer(15, 60.f, 42.f);
    GiveBall(15);
    PlacePlayer(16, 60.f, 42.f);
    EXPECT_FALSE(IsPassBlocked(15, 16, false));
    AIPass(15, 16, 2);  // a cross to a player on the ball
    EXPECT_TRUE(MatchStateFinite());
}

TEST_F(ComputerTest, PassKinds)
{
    CheatPass = 2;
    PlacePlayer(15, 60.f, 42.f);
    GiveBall(15);
    // Kind 0: at his feet, lofted by distance.
    PlacePlayer(16, 60.f, 67.f);
    AIPass(15, 16, 0);
    EXPECT_FLOAT_EQ(TheBall.aimPoint.x, 60.f);
    EXPECT_FLOAT_EQ(TheBall.aimPoint.z, 67.f);
    EXPECT_FLOAT_EQ(TheBall.loft, 7.0f);
    EXPECT_EQ(ShotClass, 0);
    EXPECT_EQ(MatchPlayers[15].action, ANIM_PASS);
    EXPECT_EQ(LastTouchSide, 2);

    // Kind 1: where he runs, no further than a quarter second of his speed.
    GiveBall(15);
    PlacePlayer(16, 60.f, 50.f);
    MatchPlayers[16].moveTarget = D3DVECTOR{60.f, 0.f, 70.f};
    const float reach = MatchPlayers[16].attributes[ATTR_SPEED] * 0.25f;
    AIPass(15, 16, 1);
    EXPECT_FLOAT_EQ(TheBall.aimPoint.z, 50.f + reach);
    EXPECT_EQ(TheBall.loft, 0.f);
    if (PendingKickGood) {
        EXPECT_FLOAT_EQ(MatchPlayers[16].moveTarget.z, 50.f + reach);
    }
    // The passer stands.
    EXPECT_TRUE(TargetAt(15, 60.f, 42.f));

    // Kind 2: a cross through him, twice as far.
    GiveBall(15);
    PlacePlayer(16, 60.f, 52.f);
    AIPass(15, 16, 2);
    EXPECT_NEAR(TheBall.aimPoint.z, 42.f + 2.f * std::sqrt(100.f + std::pow(BALL_REST_HEIGHT, 2.f)), 1e-3f);
    EXPECT_FLOAT_EQ(TheBall.loft, 1.57f);

    // Kind 3: a corner into the box.
    PlacePlayer(15, 114.2f, 79.2f);
    GiveBall(15);
    AIPass(15, 16, 3);
    EXPECT_FLOAT_EQ(TheBall.aimPoint.x, 101.55f);
    EXPECT_FLOAT_EQ(TheBall.aimPoint.z, 22.08f);
    EXPECT_FLOAT_EQ(TheBall.loft, 5.0f);
}

TEST_F(ComputerTest, KickOffPass)
{
    PlacePlayer(20, CENTRE_X, CENTRE_Z);
    PlacePlayer(21, CENTRE_X, 40.08f);
    GiveBall(20);
    KickOffPending = 1;
    KickOffPartner = 22;
    // The computer's turn leaves the kick-off to the automatic pass.
    RunComputerTurn();
    EXPECT_EQ(BallInFlight, 0);
    EXPECT_TRUE(TargetAt(20, CENTRE_X, CENTRE_Z));
    EXPECT_TRUE(TargetAt(21, CENTRE_X, 40.08f));
    PlayKickOffPass();
    EXPECT_EQ(BallInFlight, 1);
    EXPECT_FLOAT_EQ(TheBall.aimPoint.z, 40.08f);
    EXPECT_EQ(TheBall.loft, 0.f);
}

// --- Positioning and housekeeping ------------------------------------------------------------------
TEST_F(ComputerTest, TargetsAreClampedInsideThePitchButNotTheKeepers)
{
    const D3DVECTOR outside[] = {{120.f, 0, 40.f}, {-3.f, 0, 40.f}, {60.f, 0, 90.f}, {60.f, 0, 0.f}};
    const D3DVECTOR inside[] = {{109.55f, 0, 40.f}, {9.5f, 0, 40.f}, {60.f, 0, 76.54f}, {60.f, 0, 7.58f}};
    for (int32_t i = 0; i < 4; ++i) {
        MatchPlayers[12 + i].moveTarget = outside[i];
        ClampTargetToPitch(12 + i);
        EXPECT_TRUE(TargetAt(12 + i, inside[i].x, inside[i].z)) << i;
    }
    for (int32_t p = 11; p < PLAYER_COUNT; ++p) MatchPlayers[p].moveTarget = D3DVECTOR{130.f, 0.f, -10.f};
    MatchStopState = STOP_CORNER;
    ClampComputerTargets();
    EXPECT_TRUE(TargetAt(15, 130.f, -10.f));  // restarts are not clamped
    MatchStopState = STOP_IN_PLAY;
    ClampComputerTargets();
    EXPECT_TRUE(TargetAt(AWAY_KEEPER, 130.f, -10.f));
    for (int32_t p = 12; p < PLAYER_COUNT; ++p) EXPECT_TRUE(TargetAt(p, 109.55f, 7.58f)) << p;
}

TEST_F(ComputerTest, RandomScenesGiveFiniteTargetsOnThePitch)
{
    for (uint32_t seed = 1; seed <= 300; ++seed) {
        ResetMatch(seed);
        auto coin = [](int32_t n) { return RandomBelow(n); };
        for (int32_t p = 0; p < PLAYER_COUNT; ++p) {
            PlacePlayer(p, 5.f + (float)coin(109), 5.f + (float)coin(74));
            MatchPlayers[p].moveCounterA = coin(3);
            MatchPlayers[p].moveCounterB = coin(13);
            MatchPlayers[p].energy = (float)coin(101);
        }
        // Now and then a player stands exactly where another one does, or on the ball.
        if (seed % 3 == 0) PlacePlayer(14, Model(3).Position.x, Model(3).Position.z);
        PlaceBall(5.f + (float)coin(109), BALL_REST_HEIGHT, 5.f + (float)coin(74));
        if (seed % 4 == 0) PlacePlayer(17, BallAt().x, BallAt().z);
        const int32_t holder = coin(4) == 0 ? -1 : coin(PLAYER_COUNT);
        if (holder >= 0) GiveBall(holder);
        GoalSideTable[2] = (int32_t)(seed % 2);
        GoalSideTable[1] = 1 - GoalSideTable[2];
        RunComputerTurn();
        ASSERT_TRUE(MatchStateFinite()) << seed;
        for (int32_t p = 12; p < PLAYER_COUNT; ++p) {
            const D3DVECTOR& t = MatchPlayers[p].moveTarget;
            EXPECT_TRUE(t.x > GOAL_LINE_LOW_X && t.x < GOAL_LINE_HIGH_X) << seed << " player " << p << " x " << t.x;
            EXPECT_TRUE(t.z > TOUCHLINE_LOW_Z && t.z < TOUCHLINE_HIGH_Z) << seed << " player " << p << " z " << t.z;
        }
    }
}

TEST_F(ComputerTest, SidestepGoesRoundWithoutNaN)
{
    PlacePlayer(15, 50.f, 40.f);
    PlacePlayer(5, 51.f, 40.f);
    MatchPlayers[5].moveTarget = D3DVECTOR{40.f, 0.f, 40.f};  // moving
    // Blocked while standing on his own target: nowhere to go round to.
    MatchPlayers[15].moveCounterA = 2;
    MatchPlayers[15].moveCounterB = 8;
    AISidestep();
    EXPECT_TRUE(TargetAt(15, 50.f, 40.f));
    EXPECT_TRUE(MatchStateFinite());

    // Blocked on his way: he steps 5 to the side (a quarter turn).
    MatchPlayers[15].moveTarget = D3DVECTOR{70.f, 0.f, 40.f};
    AISidestep();
    const D3DVECTOR& t = MatchPlayers[15].moveTarget;
    EXPECT_NEAR(std::hypot(t.x - 50.f, t.z - 40.f), 5.f, 1e-4f);
    EXPECT_NEAR(t.x, 50.f, 1e-4f);

    // Round the home ball holder only half as far.
    GiveBall(5);
    MatchPlayers[15].moveTarget = D3DVECTOR{70.f, 0.f, 40.f};
    MatchPlayers[15].moveCounterB = 0;
    AISidestep();
    EXPECT_TRUE(TargetAt(15, 52.5f, 40.f));
}

TEST_F(ComputerTest, TurnAngles)
{
    const float a = 1.0f;
    const float expected[13] = {a,          a + PI / 4,      a - PI / 4,      a - 3 * PI / 4, a + 3 * PI / 4,
                                a + 5 * PI / 8, a - 5 * PI / 8, a + PI,          a + PI / 2,     a - PI / 2,
                                a - 3 * PI / 8, a + 3 * PI / 8, a};
    for (int32_t k = 0; k <= 12; ++k) EXPECT_NEAR(TurnAngleFor(a, k), expected[k], 1e-5f) << k;
}

TEST_F(ComputerTest, ZoneTests)
{
    // The computer attacks the low-x goal in the first half.
    PlaceBall(15.05f, BALL_REST_HEIGHT, 27.63f);
    EXPECT_EQ(ShootingZone(BALL_TARGET, 1), 3);
    EXPECT_EQ(ShootingZone(BALL_TARGET, 0), 0);
    PlaceBall(25.f, BALL_REST_HEIGHT, 55.18f);
    EXPECT_EQ(ShootingZone(BALL_TARGET, 1), 2);
    PlaceBall(35.f, BALL_REST_HEIGHT, 55.19f);
    EXPECT_EQ(ShootingZone(BALL_TARGET, 1), 0);
    PlaceBall(107.5f, BALL_REST_HEIGHT, 42.f);
    EXPECT_EQ(ShootingZone(BALL_TARGET, 0), 3);
    PlaceBall(90.f, BALL_REST_HEIGHT, 42.f);
    EXPECT_EQ(ShootingZone(BALL_TARGET, 0), 1);
    PlacePlayer(13, 20.f, 40.f);
    EXPECT_EQ(ShootingZone(13, 1), 2);

    PlaceBall(10.f, BALL_REST_HEIGHT, 42.f);
    EXPECT_TRUE(IsBallNearGoalLine(1));
    EXPECT_FALSE(IsBallNearGoalLine(0));
    EXPECT_TRUE(IsBallInAttackBoxZone(1));
    EXPECT_FALSE(IsBallInOwnBoxZone(1));
    EXPECT_TRUE(IsBallInOwnBoxZone(0));
    PlacePlayer(13, 30.f, 40.f);
    EXPECT_TRUE(IsBallAheadOfPlayer(1, 13));
    EXPECT_FALSE(IsBallAheadOfPlayer(0, 13));

    PlaceBall(60.f, BALL_REST_HEIGHT, 20.f);
    PlacePlayer(13, 60.f, 30.f);
    EXPECT_TRUE(IsBallWideOnFlank(13));
    EXPECT_TRUE(IsBallOnSameFlank(13));
    PlacePlayer(13, 60.f, 50.f);
    EXPECT_FALSE(IsBallWideOnFlank(13));
    EXPECT_FALSE(IsBallOnSameFlank(13));
}

TEST_F(ComputerTest, PositionModes)
{
    PlaceBall(80.f, BALL_REST_HEIGHT, 70.f);
    const int32_t p = 14;  // a central defender, formation (95, 34) in the first half
    MatchPlayers[p].moveTarget.y = 0.5f;
    AIPosition(p, 0);
    EXPECT_TRUE(TargetAt(p, FormationX(p), FormationZ(p)));
    EXPECT_EQ(MatchPlayers[p].moveTarget.y, 0.f);
    AIPosition(p, 1);
    EXPECT_TRUE(TargetAt(p, 80.f, 70.f));
    AIPosition(p, 10);
    EXPECT_TRUE(TargetAt(p, FormationX(p) - 35.f, FormationZ(p)));
    AIPosition(p, 2);
    EXPECT_TRUE(TargetAt(p, FormationX(p), FormationZ(p) + 1.5f));
    AIPosition(p, 5);
    EXPECT_TRUE(TargetAt(p, FormationX(p), 39.f));
    AIPosition(p, 20);
    EXPECT_TRUE(TargetAt(p, Model(p).Position.x, Model(p).Position.z));
    PlacePlayer(3, 33.f, 44.f);  // his opposite number
    AIPosition(p, 21);
    EXPECT_TRUE(TargetAt(p, 31.f, 44.f));
    PlaceBall(2.f, BALL_REST_HEIGHT, 70.f);
    AIPosition(p, 3);
    EXPECT_TRUE(TargetAt(p, 6.5f, FormationZ(p)));
    // The wall: 11 from the ball towards the middle of its own goal line.
    PlaceBall(103.55f, BALL_REST_HEIGHT, CENTRE_Z);
    AIPosition(p, 19);
    EXPECT_TRUE(TargetAt(p, 114.55f, CENTRE_Z));
    PlaceBall(GOAL_LINE_HIGH_X, BALL_REST_HEIGHT, CENTRE_Z);
    AIPosition(p, 19);
    EXPECT_TRUE(MatchStateFinite());
    // Attackers at a corner go furthest forward.
    AIPosition(20, 17);
    EXPECT_TRUE(TargetAt(20, FormationX(20) - (65.f - 2.f * 1.5f), FormationZ(20)));
    // In the second half the same modes mirror.
    Half = 2;
    GoalSideTable[1] = 1, GoalSideTable[2] = 0;
    AIPosition(p, 10);
    EXPECT_TRUE(TargetAt(p, FormationX(p) + 35.f, FormationZ(p)));
    AIOffset = 10.f;
    AIPosition(p, 14);
    EXPECT_TRUE(TargetAt(p, FormationX(p) + 45.f, FormationZ(p)));
}

TEST_F(ComputerTest, StaysOnside)
{
    PlacePlayer(0, 6.f, 42.f);
    PlacePlayer(1, 20.f, 30.f);
    PlaceBall(40.f, BALL_REST_HEIGHT, 42.f);
    MatchPlayers[20].moveTarget = D3DVECTOR{10.f, 0.f, 40.f};
    MatchPlayers[19].moveTarget = D3DVECTOR{30.f, 0.f, 40.f};
    AIStayOnside();
    EXPECT_NEAR(MatchPlayers[20].moveTarget.x, 20.2f, 1e-4f);
    EXPECT_FLOAT_EQ(MatchPlayers[19].moveTarget.x, 30.f);
    MatchStopState = STOP_CORNER;
    MatchPlayers[20].moveTarget.x = 10.f;
    AIStayOnside();
    EXPECT_FLOAT_EQ(MatchPlayers[20].moveTarget.x, 10.f);
}

TEST_F(ComputerTest, StandingPlayersFaceUpfieldAndGetReadyToHead)
{
    PlaceBall(60.f, BALL_REST_HEIGHT, 42.f);
    PlacePlayer(16, 80.f, 30.f);
    Model(16).Rotation.y = 3 * PI / 2;  // facing his own goal
    PlacePlayer(17, 70.f, 30.f);
    Model(17).Rotation.y = PI / 2;  // already facing the goal he attacks
    AIFaceUpfield();
    EXPECT_EQ(MatchPlayers[16].stance, 1);
    EXPECT_NEAR(MatchPlayers[16].facePoint.x, 79.f, 1e-4f);
    EXPECT_NEAR(MatchPlayers[16].facePoint.z, 30.f, 1e-4f);
    EXPECT_EQ(MatchPlayers[17].stance, 0);

    PlacePlayer(18, 12.f, 42.f);  // in the area the computer attacks
    PlacePlayer(19, 30.f, 42.f);
    AIPrepareHeaders();
    EXPECT_NEAR(MatchPlayers[18].moveTarget.y, MatchPlayers[18].attributes[ATTR_HEADING] * 0.87f, 1e-5f);
    EXPECT_EQ(MatchPlayers[19].moveTarget.y, 0.f);
}

TEST_F(ComputerTest, LandsEveryoneInTheAir)
{
    Model(4).Position.y = 0.6f;
    Model(18).Position.y = 0.01f;
    LandAllPlayers();
    EXPECT_EQ(Model(4).Position.y, 0.f);
    EXPECT_EQ(Model(18).Position.y, 0.f);
}

}  // namespace
