// The computer's orders pinned to their exact values: where its attackers and wide midfielders
// run while it has the ball in its own half, positioning mode 9, the shot odds by role and zone
// (with the generator seeded on both sides of each edge), and the minutes from which it
// substitutes tired players.
#include "match_rules_support.h"

#include "fenwolt/Game/Match/BallFlight.h"
#include "fenwolt/Game/Match/Computer.h"
#include "fenwolt/Game/Match/Hud.h"
#include "fenwolt/Game/Match/Rules.h"
#include "fenwolt/common/Utilities.h"
#include "platform/win32/crt_rand.h"

using namespace rulestest;

namespace {

// A seed whose first rand() is exactly `value`.
uint32_t SeedDrawing(int value)
{
    for (uint32_t s = 1; s < 10000000; ++s) {
        srand(s);
        if (rand() == value) return s;
    }
    ADD_FAILURE() << "no seed draws " << value;
    return 1;
}

class ComputerOrdersTest : public RulesTest {
protected:
    void SetUp() override
    {
        RulesTest::SetUp();
        ParkEveryone();
    }
    // The computer's defender 12 holds the ball at (x, z) in open play; the home side is parked
    // far away in the middle of the pitch, so he carries the ball himself.
    void ComputerHasTheBallAt(float x, float z)
    {
        PlacePlayer(12, x, z);
        GiveBall(12);
        LastTouchSide = 2;
    }
    static float TargetX(int32_t p) { return MatchPlayers[p].moveTarget.x; }
};

}  // namespace

TEST_F(ComputerOrdersTest, WithTheBallInItsOwnHalfItsAttackersRun25AheadOfIt)
{
    ComputerHasTheBallAt(90.f, 42.f);
    ASSERT_TRUE(IsBallInYourHalf(COMPUTER_SIDE));
    RunComputerTurn();
    // The computer attacks the low-x goal: ahead is towards lower x.
    for (int32_t p : {20, 21}) {
        ASSERT_EQ(MatchPlayers[p].role, ROLE_ATT) << p;
        EXPECT_FLOAT_EQ(TargetX(p), 90.f - 25.f) << p;
    }
}

TEST_F(ComputerOrdersTest, WithTheBallInItsOwnHalfAWideMidfielderRuns17AheadAwayFromTheBallsFlankAnd7OnIt)
{
    ComputerHasTheBallAt(90.f, 42.f);
    RunComputerTurn();
    // Parked at z 40 (the ball's flank, below the centre line) and z 46 (the other).
    ASSERT_EQ(MatchPlayers[16].role, ROLE_MID);
    ASSERT_EQ(MatchPlayers[16].wingFlag, 1);
    ASSERT_EQ(MatchPlayers[17].role, ROLE_MID);
    ASSERT_EQ(MatchPlayers[17].wingFlag, 1);
    ASSERT_TRUE(IsBallOnSameFlank(16));
    ASSERT_FALSE(IsBallOnSameFlank(17));
    EXPECT_FLOAT_EQ(TargetX(16), 90.f - 7.f);
    EXPECT_FLOAT_EQ(TargetX(17), 90.f - 17.f);
}

TEST_F(ComputerOrdersTest, ModeNineMovesTheFormationSpot19AwayFromTheHalfwayLine)
{
    PlaceBall(40.f, BALL_REST_HEIGHT, 30.f);
    for (int32_t p : {3, 9, 14, 20}) {
        const float fx = FormationX(p), fz = FormationZ(p);
        AIPosition(p, 9);
        EXPECT_FLOAT_EQ(TargetX(p), fx >= 59.47f ? fx + 19.f : fx - 19.f) << p;
        EXPECT_FLOAT_EQ(MatchPlayers[p].moveTarget.z, fz) << p;
    }
    // Both sides of the halfway line are among them.
    EXPECT_LT(FormationX(9), 59.47f);
    EXPECT_GE(FormationX(14), 59.47f);
}

TEST_F(ComputerOrdersTest, ShotOddsByRoleAndZoneAreExactlyOneDrawInTheirNumber)
{
    // RandomBelow(n) is 0 for the generator's values 0 .. 32767 / n and not above: one draw on
    // each side of that edge tells n from its neighbours (a defender's one in eleven shoots on
    // 2978 and not on 2979; one in ten or twelve would move the edge to 3276 or 2730).
    auto shoots = [&](int32_t holder, float x, int draw) {
        ParkEveryone();
        PlacePlayer(holder, x, 42.f);
        GiveBall(holder);
        LastTouchSide = 2;
        BallInFlight = 0;
        ShotClass = 0;
        srand(SeedDrawing(draw));
        AIBallHolderDecision(holder);
        return BallInFlight && ShotClass == 2;
    };
    const struct {
        int32_t holder, role;
        float x;  // zone 2 at 20, zone 1 at 30 (the computer attacks the low-x goal)
        int32_t n;
    } odds[] = {{20, ROLE_ATT, 20.f, 2}, {17, ROLE_MID, 20.f, 3}, {12, ROLE_DEF, 20.f, 5},
                {20, ROLE_ATT, 30.f, 3}, {17, ROLE_MID, 30.f, 7}, {12, ROLE_DEF, 30.f, 11}};
    for (const auto& o : odds) {
        ASSERT_EQ(MatchPlayers[o.holder].role, o.role);
        PlaceBall(o.x, BALL_REST_HEIGHT, 42.f);
        ASSERT_EQ(ShootingZone(27, COMPUTER_SIDE), o.x < 25.f ? 2 : 1);
        const int edge = 32767 / o.n;
        EXPECT_TRUE(shoots(o.holder, o.x, 0)) << "role " << o.role << " at x " << o.x;
        EXPECT_TRUE(shoots(o.holder, o.x, edge)) << "role " << o.role << " at x " << o.x;
        EXPECT_FALSE(shoots(o.holder, o.x, edge + 1)) << "role " << o.role << " at x " << o.x;
    }
}

TEST_F(ComputerOrdersTest, TiredPlayersGoOffFromMinute70ThenFrom75ThenFrom80)
{
    MatchPlayers[19].energy = 5.f;
    MatchPlayers[18].energy = 5.f;
    MatchPlayers[15].energy = 5.f;
    const int32_t firstMinute[3] = {70, 75, 80};
    for (int32_t made = 0; made < 3; ++made) {
        Minute = firstMinute[made] - 1;
        AISubstitutions();
        EXPECT_EQ(SubstitutionsMade[1], made) << "minute " << Minute;
        Minute = firstMinute[made];
        AISubstitutions();
        EXPECT_EQ(SubstitutionsMade[1], made + 1) << "minute " << Minute;
    }
    // The last tired player goes first each time.
    EXPECT_GE(MatchPlayers[19].squadSlot, 11);
    EXPECT_GE(MatchPlayers[18].squadSlot, 11);
    EXPECT_GE(MatchPlayers[15].squadSlot, 11);
    // Three is the most.
    MatchPlayers[14].energy = 5.f;
    Minute = 89;
    AISubstitutions();
    EXPECT_EQ(SubstitutionsMade[1], 3);
}
