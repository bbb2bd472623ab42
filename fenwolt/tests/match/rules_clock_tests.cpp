// The match clock: turns, stoppages, added time, half time and full time; formation spots in
// either half.
#include "match_rules_support.h"

#include "fenwolt/Game/FrontEnd/Competition.h"
#include "fenwolt/Game/Match/Rules.h"

#include <string>

using namespace rulestest;

namespace {

std::string Clock(int32_t minute, int32_t second)
{
    char text[32];
    FormatMatchClock(text, sizeof(text), minute, second);
    return text;
}

TEST_F(RulesTest, ClockReadsMinutesAndSecondsInTwoDigitsAtLeast)
{
    EXPECT_EQ(Clock(0, 0), "00:00");
    EXPECT_EQ(Clock(7, 5), "07:05");
    EXPECT_EQ(Clock(45, 30), "45:30");
    EXPECT_EQ(Clock(105, 0), "105:00");
}

TEST_F(RulesTest, EachFullTurnInPlayAddsFiveSeconds)
{
    for (int i = 0; i < 11; ++i) ClockStep();
    EXPECT_EQ(Minute, 0);
    EXPECT_EQ(Second, 55);
    const float energy = MatchPlayers[4].energy;
    ClockStep();
    EXPECT_EQ(Minute, 1);
    EXPECT_EQ(Second, 0);
    // Every minute tires everyone by one.
    EXPECT_FLOAT_EQ(MatchPlayers[4].energy, energy - 1.f);
    EXPECT_FLOAT_EQ(MatchPlayers[15].energy, energy - 1.f);
}

TEST_F(RulesTest, AStoppageAddsTimeForFiveTurnsOnly)
{
    MatchStopState = STOP_THROW_IN;
    for (int i = 1; i <= 5; ++i) {
        ClockStep();
        EXPECT_EQ(Second, 5 * i) << i;
    }
    ClockStep();
    ClockStep();
    EXPECT_EQ(Second, 25);
    EXPECT_EQ(StoppageTurns, 7);
    // Play resumed: the count starts again.
    MatchStopState = STOP_IN_PLAY;
    ClockStep();
    EXPECT_EQ(Second, 30);
    EXPECT_EQ(StoppageTurns, 0);
    MatchStopState = STOP_CORNER;
    ClockStep();
    EXPECT_EQ(Second, 35);
}

TEST_F(RulesTest, ARestartThatFollowsAnotherAddsItsOwnTime)
{
    // A throw-in waits six turns: five add time, the sixth nothing.
    PlaceBall(40.f, BALL_REST_HEIGHT, 79.7f);
    LastTouchSide = 2;
    AwardThrowIn();
    for (int i = 0; i < 6; ++i) ClockStep();
    EXPECT_EQ(Second, 25);
    // The throw goes straight out over the goal line: the corner is a stoppage of its own and
    // its turns add time again, so a chain of restarts never stops the clock.
    PlaceBall(4.2f, BALL_REST_HEIGHT, 30.f);
    LastTouchSide = 1;
    AwardCorner();
    EXPECT_EQ(StoppageTurns, 0);
    ClockStep();
    EXPECT_EQ(Second, 30);
}

TEST_F(RulesTest, KickOffAddsNothing)
{
    MatchStopState = STOP_KICK_OFF;
    for (int i = 0; i < 20; ++i) ClockStep();
    EXPECT_EQ(Minute, 0);
    EXPECT_EQ(Second, 0);
}

TEST_F(RulesTest, AddedTimeStopsTwoMinutesBeforeTheEndOfTheHalf)
{
    Minute = 42, Second = 50;
    AddClockSteps(30);
    EXPECT_EQ(Minute, 43);
    EXPECT_EQ(Second, 0);
    AddClockSteps(30);
    EXPECT_EQ(Minute, 43);
    EXPECT_EQ(Second, 0);

    Minute = 20, Second = 40;
    AddClockSteps(30);
    EXPECT_EQ(Minute, 21);
    EXPECT_EQ(Second, 10);

    Half = 2;
    Minute = 87, Second = 50;
    AddClockSteps(30);
    EXPECT_EQ(Minute, 88);
    EXPECT_EQ(Second, 0);
    AddClockSteps(30);
    EXPECT_EQ(Minute, 88);
    Minute = 43, Second = 0;  // second-half limit is 88, not 43
    AddClockSteps(30);
    EXPECT_EQ(Second, 30);

    Half = 3;
    Minute = 90, Second = 0;
    AddClockSteps(30);
    EXPECT_EQ(Second, 0);
}

TEST_F(RulesTest, HalfTimeChangesEnds)
{
    FirstKickOffSide = 0;
    Minute = 44, Second = 55;
    const float awayDefenderX = FormationX(12);
    ClockStep();
    EXPECT_EQ(Minute, 45);
    EXPECT_EQ(Second, 0);
    EXPECT_EQ(Half, 2);
    EXPECT_EQ(GoalSideTable[1], 1);
    EXPECT_EQ(GoalSideTable[2], 0);
    EXPECT_EQ(LowGoalScorerSide(), 0);
    // The away side kicks off the second half after a home kick-off in the first.
    EXPECT_EQ(KickOffPhase, PHASE_AWAY_PLANS);
    EXPECT_EQ(MatchStopState, STOP_KICK_OFF);
    EXPECT_EQ(KickOffPending, 1);
    EXPECT_EQ(StoppageTurns, 0);
    EXPECT_EQ(RestartPending, 0);
    // Both sides walk to their mirrored spots.
    EXPECT_NEAR(FormationX(12), 2.f * CENTRE_X - awayDefenderX, 1e-4f);
    EXPECT_FLOAT_EQ(MatchPlayers[12].moveTarget.x, FormationX(12));
    // The walk-in to the kick-off is a kick-off: the clock stands.
    ClockStep();
    EXPECT_EQ(Minute, 45);
    EXPECT_EQ(Second, 0);
}

TEST_F(RulesTest, SecondHalfKickOffGoesToTheOtherSide)
{
    FirstKickOffSide = 1;
    Minute = 44, Second = 55;
    ClockStep();
    EXPECT_EQ(KickOffPhase, PHASE_HOME_PLANS);
}

TEST_F(RulesTest, HalfTimeInTheMiddleOfAStoppageDropsTheRestart)
{
    MatchStopState = STOP_FOUL;
    PenaltyEnd = PENALTY_LOW_END;
    RestartPending = DeadBallKickPending = 1;
    Minute = 44, Second = 55;
    ClockStep();
    EXPECT_EQ(Half, 2);
    EXPECT_EQ(MatchStopState, STOP_KICK_OFF);
    EXPECT_EQ(PenaltyEnd, 0);
    EXPECT_EQ(RestartPending, 0);
    EXPECT_EQ(DeadBallKickPending, 0);
}

TEST_F(RulesTest, FullTimeOnceAtTwiceTheLength)
{
    Half = 2;
    GoalSideTable[1] = 1, GoalSideTable[2] = 0;
    Minute = 89, Second = 55;
    ClockStep();
    EXPECT_EQ(Minute, 90);
    EXPECT_EQ(Half, 3);
    EXPECT_EQ(MatchStopState, STOP_FULL_TIME);
    EXPECT_EQ(PhaseTimer, 0.f);
    // Nothing after full time moves the clock or starts the full-time pause again.
    PhaseTimer = 3.f;
    for (int i = 0; i < 30; ++i) ClockStep();
    EndMatch();
    EXPECT_EQ(Minute, 90);
    EXPECT_EQ(Second, 0);
    EXPECT_EQ(PhaseTimer, 3.f);
    EXPECT_EQ(GoalSideTable[2], 0);
}

TEST_F(RulesTest, AWholeMatchOfTurns)
{
    // Three-minute halves: in play every turn except the kick-off walk-in after half time.
    MatchSetup.minutesPerHalf = 3;
    int32_t turns = 0, halfTimeAt = -1, fullTimeAt = -1;
    while (Half < 3 && turns < 1000) {
        ClockStep();
        ++turns;
        if (Half == 2 && halfTimeAt < 0) {
            halfTimeAt = turns;
            EXPECT_EQ(Minute, 3);
            MatchStopState = STOP_IN_PLAY;  // the walk-in is over
        }
        if (Half == 3) fullTimeAt = turns;
    }
    EXPECT_EQ(halfTimeAt, 36);
    EXPECT_EQ(fullTimeAt, 72);
    EXPECT_EQ(Minute, 6);
    EXPECT_EQ(Second, 0);
}

TEST_F(RulesTest, FormationSpotsForEitherHalf)
{
    MatchPlayers[12].formationX = 23.0f;
    MatchPlayers[12].formationZ = 23.0f;
    MatchPlayers[1].formationX = 23.0f;
    EXPECT_FLOAT_EQ(FormationX(12), 95.0f);
    EXPECT_FLOAT_EQ(FormationX(1), 23.0f);
    EXPECT_FLOAT_EQ(FormationZ(12), 23.0f);
    Half = 2;
    EXPECT_NEAR(FormationX(12), 23.94f, 1e-4f);
    EXPECT_NEAR(FormationX(1), 95.94f, 1e-4f);
    EXPECT_NEAR(FormationZ(12), 61.16f, 1e-4f);
    // The match over, the ends stay as they were in the second half.
    Half = 3;
    EXPECT_NEAR(FormationX(12), 23.94f, 1e-4f);
}

TEST_F(RulesTest, BallHalfFollowsTheEnds)
{
    PlaceBall(30.f, BALL_REST_HEIGHT, 40.f);
    EXPECT_TRUE(IsBallInYourHalf(0));
    EXPECT_FALSE(IsBallInYourHalf(1));
    PlaceBall(CENTRE_X, BALL_REST_HEIGHT, 40.f);
    EXPECT_FALSE(IsBallInYourHalf(0));
    EXPECT_TRUE(IsBallInYourHalf(1));
    GoalSideTable[1] = 1, GoalSideTable[2] = 0;
    EXPECT_TRUE(IsBallInYourHalf(0));
    EXPECT_FALSE(IsBallInYourHalf(1));
}

}  // namespace
