// Offside, fouls and penalties, keeping clear at a restart, and what a foul costs the victim.
#include "match_rules_support.h"

#include "fenwolt/Game/FrontEnd/Competition.h"
#include "fenwolt/Game/Match/Rules.h"

#include <cmath>

using namespace rulestest;

namespace {

// --- Offside ---------------------------------------------------------------------------------------
// The home side defends the low-x goal (the first half); its keeper at x 6 and one defender at 20
// are the two last, so the line is 20 unless the ball is nearer the goal.
class OffsideTest : public RulesTest {
protected:
    void SetUp() override
    {
        RulesTest::SetUp();
        ParkEveryone();
        PlacePlayer(0, 6.f, 42.f);
        PlacePlayer(1, 20.f, 30.f);
        LastTouchSide = 2;
        LastHolder = 0;
        PlaceBall(40.f, BALL_REST_HEIGHT, 42.f);
    }
};

TEST_F(OffsideTest, LevelIsOnsideBeyondIsOff)
{
    PlacePlayer(19, 20.f, 40.f);
    PlacePlayer(20, 19.9f, 44.f);
    MarkOffsidePlayers();
    EXPECT_EQ(MatchPlayers[19].offside, 0);
    EXPECT_EQ(MatchPlayers[20].offside, 1);
    // Nobody of the home side is judged after an away kick.
    for (int32_t p = 0; p < SIDE_SIZE; ++p) EXPECT_EQ(MatchPlayers[p].offside, 0);
}

TEST_F(OffsideTest, BehindTheBallIsOnside)
{
    PlaceBall(15.f, BALL_REST_HEIGHT, 42.f);
    PlacePlayer(20, 17.f, 44.f);  // beyond the defender, behind the ball
    PlacePlayer(19, 14.f, 40.f);  // beyond both
    MarkOffsidePlayers();
    EXPECT_EQ(MatchPlayers[20].offside, 0);
    EXPECT_EQ(MatchPlayers[19].offside, 1);
}

TEST_F(OffsideTest, NeverInOwnHalf)
{
    // The home side pushed up into the away half: the line stops at halfway.
    for (int32_t p = 0; p < SIDE_SIZE; ++p) PlacePlayer(p, 70.f + (float)p, 10.f + 6.f * (float)p);
    PlaceBall(80.f, BALL_REST_HEIGHT, 42.f);
    PlacePlayer(19, 62.f, 40.f);
    PlacePlayer(20, 58.f, 44.f);
    MarkOffsidePlayers();
    EXPECT_EQ(MatchPlayers[19].offside, 0);
    EXPECT_EQ(MatchPlayers[20].offside, 1);
}

TEST_F(OffsideTest, LastHolderIsNeverFlagged)
{
    PlacePlayer(20, 10.f, 44.f);
    LastHolder = 21;
    MarkOffsidePlayers();
    EXPECT_EQ(MatchPlayers[20].offside, 0);
}

TEST_F(OffsideTest, JudgedAtTheKick)
{
    PlacePlayer(19, 25.f, 40.f);  // onside at the kick
    PlacePlayer(20, 15.f, 44.f);  // offside at the kick
    MarkOffsidePlayers();
    // After the kick the onside one runs beyond the line, the offside one comes back.
    PlacePlayer(19, 10.f, 40.f);
    PlacePlayer(20, 30.f, 44.f);
    EXPECT_FALSE(CallOffsideOnReceive(19));
    EXPECT_EQ(MatchStopState, STOP_IN_PLAY);

    MarkOffsidePlayers();  // a new kick with them where they now stand
    PlacePlayer(20, 30.f, 44.f);
    PlacePlayer(19, 10.f, 40.f);
    MarkOffsidePlayers();
    PlacePlayer(19, 35.f, 40.f);
    EXPECT_TRUE(CallOffsideOnReceive(19));
    EXPECT_EQ(MatchStopState, STOP_OFFSIDE);
    EXPECT_EQ(RestartSide, 0);
    EXPECT_EQ(RestrictedFirst, 11);
    EXPECT_EQ(RestrictedEnd, 22);
    EXPECT_FLOAT_EQ(KeepAwayDistance, 10.f);
    EXPECT_FLOAT_EQ(BallAt().x, 35.f);
    EXPECT_FLOAT_EQ(BallAt().z, 40.f);
    EXPECT_EQ(BallHolder, 0);
    EXPECT_EQ(DeadBallKickPending, 1);
    EXPECT_EQ(RestartPending, 1);
}

TEST_F(OffsideTest, FlagIsSpentOnceThePassIsReceived)
{
    PlacePlayer(20, 15.f, 44.f);
    MarkOffsidePlayers();
    ASSERT_EQ(MatchPlayers[20].offside, 1);
    // A home defender intercepts; later the flagged attacker wins the loose ball.
    EXPECT_FALSE(CallOffsideOnReceive(1));
    EXPECT_FALSE(CallOffsideOnReceive(20));
    EXPECT_EQ(MatchStopState, STOP_IN_PLAY);
}

TEST_F(OffsideTest, NotDuringAStoppage)
{
    PlacePlayer(20, 15.f, 44.f);
    MatchStopState = STOP_THROW_IN;
    MarkOffsidePlayers();
    EXPECT_EQ(MatchPlayers[20].offside, 0);
    MatchPlayers[20].offside = 1;
    EXPECT_FALSE(CallOffsideOnReceive(20));
    EXPECT_EQ(MatchStopState, STOP_THROW_IN);
}

TEST_F(OffsideTest, SecondHalfMirrors)
{
    // Ends changed: the home side defends the high-x goal.
    Half = 2;
    GoalSideTable[1] = 1, GoalSideTable[2] = 0;
    ParkEveryone();
    PlacePlayer(0, 112.f, 42.f);
    PlacePlayer(1, 100.f, 30.f);
    PlaceBall(80.f, BALL_REST_HEIGHT, 42.f);
    PlacePlayer(19, 100.f, 40.f);
    PlacePlayer(20, 100.1f, 44.f);
    PlacePlayer(18, 15.f, 44.f);  // deep in the low-x half, which the away side now defends
    MarkOffsidePlayers();
    EXPECT_EQ(MatchPlayers[19].offside, 0);
    EXPECT_EQ(MatchPlayers[20].offside, 1);
    EXPECT_EQ(MatchPlayers[18].offside, 0);
}

TEST_F(OffsideTest, NobodysKickJudgesBothSides)
{
    LastTouchSide = 0;
    PlacePlayer(20, 15.f, 44.f);
    // The away side defends the high-x goal with its last two at 112 and 100.
    PlacePlayer(11, 112.f, 42.f);
    PlacePlayer(12, 100.f, 30.f);
    PlacePlayer(9, 101.f, 40.f);
    MarkOffsidePlayers();
    EXPECT_EQ(MatchPlayers[20].offside, 1);
    EXPECT_EQ(MatchPlayers[9].offside, 1);
    LastTouchSide = 1;
    MarkOffsidePlayers();
    EXPECT_EQ(MatchPlayers[20].offside, 0);
    EXPECT_EQ(MatchPlayers[9].offside, 1);
}

// --- Fouls and penalties ---------------------------------------------------------------------------
class FoulTest : public RulesTest {
protected:
    void SetUp() override
    {
        RulesTest::SetUp();
        ParkEveryone();
    }
};

TEST_F(FoulTest, FoulInTheAttackedAreaIsAPenalty)
{
    PlacePlayer(20, 10.f, 40.f);  // the away side attacks the low-x goal
    PlacePlayer(3, 11.f, 40.f);
    AwardFoul(3, 20);
    EXPECT_EQ(MatchStopState, STOP_FOUL);
    EXPECT_EQ(PenaltyEnd, PENALTY_LOW_END);
    EXPECT_EQ(RestartSide, 1);
    EXPECT_EQ(RestrictedFirst, 0);
    EXPECT_EQ(RestrictedEnd, 11);
    EXPECT_FLOAT_EQ(BallAt().x, PENALTY_SPOT_LOW_X);
    EXPECT_FLOAT_EQ(BallAt().z, CENTRE_Z);
    EXPECT_FLOAT_EQ(RestartSpot.x, PENALTY_SPOT_LOW_X);
    EXPECT_FLOAT_EQ(KeepAwayDistance, 10.f);
    const RestartState r = CurrentRestartState();
    EXPECT_EQ(r.deadBallKickPending, 1);
    EXPECT_EQ(r.restartPending, 1);
    EXPECT_EQ(r.throwInPending, 0);
    EXPECT_EQ(r.penaltyEnd, PENALTY_LOW_END);
    EXPECT_EQ(TeamSquads[0].players[3].lastMatch.foulsDone, 1);
    EXPECT_EQ(TeamSquads[1].players[9].lastMatch.haveBeenFouled, 1);
    // The victim stops where he was brought down.
    EXPECT_FLOAT_EQ(MatchPlayers[20].moveTarget.x, 10.f);
    EXPECT_FLOAT_EQ(MatchPlayers[20].moveTarget.z, 40.f);
}

TEST_F(FoulTest, FoulInOwnAreaIsAFreeKickWhereItHappened)
{
    PlacePlayer(13, 110.f, 40.f);  // the away side defends the high-x goal
    PlacePlayer(9, 109.f, 40.f);
    AwardFoul(9, 13);
    EXPECT_EQ(PenaltyEnd, 0);
    EXPECT_EQ(RestartSide, 1);
    EXPECT_FLOAT_EQ(BallAt().x, 110.f);
    EXPECT_FLOAT_EQ(BallAt().z, 40.f);

    // The home side fouled in the high-x area it attacks: a penalty at that end for the away side
    // is impossible, and a home player fouled there gets one.
    ResetMatch();
    ParkEveryone();
    PlacePlayer(9, 105.f, 45.f);
    AwardFoul(15, 9);
    EXPECT_EQ(PenaltyEnd, PENALTY_HIGH_END);
    EXPECT_EQ(RestartSide, 0);
    EXPECT_FLOAT_EQ(BallAt().x, PENALTY_SPOT_HIGH_X);
}

TEST_F(FoulTest, FreeKickBeyondALineIsTakenInside)
{
    // Brought down in the goal mouth behind the line: the kick is taken on the pitch, and no goal.
    PlacePlayer(20, 3.f, 42.f);
    AwardFoul(2, 20);
    EXPECT_EQ(HomeGoals + AwayGoals, 0);
    EXPECT_EQ(GoalInProgress, 0);
    EXPECT_EQ(ClassifyPosition(BallAt()), BALL_IN_PLAY);
    EXPECT_EQ(PenaltyEnd, PENALTY_LOW_END);

    ResetMatch();
    ParkEveryone();
    PlacePlayer(20, 30.f, 2.f);  // beyond the touchline
    AwardFoul(2, 20);
    EXPECT_EQ(ClassifyPosition(BallAt()), BALL_IN_PLAY);
    EXPECT_EQ(PenaltyEnd, 0);
}

TEST_F(FoulTest, KeepingClearAtAPenalty)
{
    PlacePlayer(20, 10.f, 40.f);
    AwardFoul(3, 20);
    ASSERT_EQ(PenaltyEnd, PENALTY_LOW_END);
    PlacePlayer(4, 20.f, 70.f);  // in the area's depth, far from the spot
    PlacePlayer(5, 22.f, 42.f);  // outside the area, within 10 of the spot
    PlacePlayer(6, 30.f, 42.f);
    PlacePlayer(18, 20.f, 42.f);  // the awarded side may stand anywhere
    EXPECT_TRUE(ClearPenaltyBox(4));
    EXPECT_TRUE(ClearPenaltyBox(5));
    EXPECT_FALSE(ClearPenaltyBox(6));
    EXPECT_FALSE(ClearPenaltyBox(18));

    PlacePlayer(0, 12.f, 30.f);
    PlacePlayer(1, 18.f, 50.f);
    PositionForSetPiece();
    EXPECT_FLOAT_EQ(MatchPlayers[0].moveTarget.x, GOAL_LINE_LOW_X);
    EXPECT_FLOAT_EQ(MatchPlayers[0].moveTarget.z, CENTRE_Z);
    EXPECT_FLOAT_EQ(MatchPlayers[1].moveTarget.x, 23.94f);
    EXPECT_FLOAT_EQ(MatchPlayers[1].moveTarget.z, 50.f);
    // Player 5 steps KeepAwayDistance + 1 further away from the spot.
    const D3DVECTOR& t = MatchPlayers[5].moveTarget;
    const float dx = 22.f - PENALTY_SPOT_LOW_X, dz = 42.f - CENTRE_Z;
    const float len = std::sqrt(dx * dx + dz * dz);
    EXPECT_NEAR(t.x, 22.f + dx / len * 11.f, 1e-4f);
    EXPECT_NEAR(t.z, 42.f + dz / len * 11.f, 1e-4f);
    EXPECT_FLOAT_EQ(MatchPlayers[6].moveTarget.x, 30.f);
}

TEST_F(FoulTest, PlayerOnTheSpotStepsAwayWithoutNaN)
{
    PlacePlayer(15, 40.f, 30.f);
    AwardFoul(3, 15);  // a free kick for the away side at (40, 30)
    ASSERT_EQ(PenaltyEnd, 0);
    PlacePlayer(4, 40.f, 30.f);
    PositionForSetPiece();
    const float step = 11.f / std::sqrt(2.f);
    EXPECT_NEAR(MatchPlayers[4].moveTarget.x, 40.f + step, 1e-4f);
    EXPECT_NEAR(MatchPlayers[4].moveTarget.z, 30.f + step, 1e-4f);
    EXPECT_TRUE(MatchStateFinite());
}

// --- What a foul costs ----------------------------------------------------------------------------
TEST_F(FoulTest, EnergyNeverFallsBelowOne)
{
    PlacePlayer(15, 40.f, 30.f);
    MatchPlayers[15].energy = 5.f;
    AwardFoul(3, 15);
    EXPECT_FLOAT_EQ(MatchPlayers[15].energy, 1.0f);
    ResetMatch();
    ParkEveryone();
    MatchPlayers[15].energy = 60.f;
    AwardFoul(3, 15);
    // Knocked or hurt, never more than ten lost and never below the floor.
    EXPECT_TRUE(MatchPlayers[15].energy == 50.f || MatchPlayers[15].energy == 1.f);
}

TEST_F(FoulTest, KeepersAreNeverKnockedOrInjured)
{
    for (uint32_t seed = 1; seed <= 400; ++seed) {
        ResetMatch(seed);
        ParkEveryone();
        const int32_t keeper = seed % 2 ? AWAY_KEEPER : HOME_KEEPER;
        const float stamina = MatchPlayers[keeper].attributes[ATTR_STAMINA];
        AwardFoul(keeper == AWAY_KEEPER ? 9 : 20, keeper);
        EXPECT_FLOAT_EQ(MatchPlayers[keeper].energy, 90.f);
        EXPECT_FLOAT_EQ(MatchPlayers[keeper].attributes[ATTR_STAMINA], stamina);
        EXPECT_FLOAT_EQ(MatchPlayers[keeper].energyCeiling, 100.f);
        EXPECT_EQ(InjuryCount[0] + InjuryCount[1], 0);
    }
}

TEST_F(FoulTest, AtMostThreeInjuriesASide)
{
    MatchSetup.managers = 2;  // no computer substitutions: the injured stay on to be looked at
    int32_t injured = 0, knocks = 0;
    const int32_t fouls = 3000;
    for (int32_t i = 0; i < fouls; ++i) {
        const int32_t victim = 12 + i % 10;
        MatchPlayer& m = MatchPlayers[victim];
        m.attributes[ATTR_STAMINA] = 70.f;
        m.energy = m.energyCeiling = 100.f;
        const int32_t before = InjuryCount[1];
        AwardFoul(5, victim);
        if (InjuryCount[1] > before) {
            ++injured;
            EXPECT_FLOAT_EQ(m.attributes[ATTR_STAMINA], 10.f);
            EXPECT_FLOAT_EQ(m.energy, 1.f);
            EXPECT_FLOAT_EQ(m.energyCeiling, 10.f);
        } else if (m.attributes[ATTR_STAMINA] == 65.f) {
            ++knocks;
        } else {
            EXPECT_FLOAT_EQ(m.attributes[ATTR_STAMINA], 70.f);
        }
        EXPECT_LE(InjuryCount[1], 3);
    }
    EXPECT_EQ(injured, 3);
    EXPECT_EQ(InjuryCount[0], 0);
    // One foul in ten knocks.
    EXPECT_GT(knocks, fouls / 10 - 90);
    EXPECT_LT(knocks, fouls / 10 + 90);
}

TEST_F(FoulTest, KnocksStopAtStamina25)
{
    int32_t knocked = 0;
    for (uint32_t seed = 1; seed <= 300; ++seed) {
        ResetMatch(seed);
        ParkEveryone();
        InjuryCount[1] = 3;  // no injuries left to deal
        MatchPlayers[14].attributes[ATTR_STAMINA] = 25.f;
        MatchPlayers[15].attributes[ATTR_STAMINA] = 30.f;
        AwardFoul(3, 14);
        EXPECT_FLOAT_EQ(MatchPlayers[14].attributes[ATTR_STAMINA], 25.f);
        AwardFoul(3, 15);
        if (MatchPlayers[15].attributes[ATTR_STAMINA] == 25.f) ++knocked;
    }
    EXPECT_GT(knocked, 10);
    EXPECT_LT(knocked, 60);
}

TEST_F(FoulTest, BadIndicesAreIgnored)
{
    AwardFoul(-1, 5);
    AwardFoul(3, 22);
    EXPECT_EQ(MatchStopState, STOP_IN_PLAY);
    EXPECT_FALSE(CallOffsideOnReceive(22));
    EXPECT_FALSE(ClearPenaltyBox(-3));
}

}  // namespace
