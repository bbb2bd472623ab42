// The receiver's control roll and the header and volley factors, pinned to their exact values:
// the generator is seeded so that the roll is known, and each rule is probed on both sides of
// its edge.
#include "match_core_support.h"

#include "fenwolt/Game/Match/Banners.h"
#include "fenwolt/Game/Match/BallFlight.h"
#include "fenwolt/Game/Match/TurnEngine.h"
#include "fenwolt/common/Utilities.h"
#include "platform/win32/crt_rand.h"

#include <cmath>

using namespace matchcore;

namespace {

constexpr float FACE_PLUS_X = 4.712389f;
constexpr int32_t RECEIVER = 3;   // home
constexpr int32_t OPPONENT = 14;  // away

// A seed whose first RandomBelow(100) is exactly `roll`.
uint32_t SeedRolling(int roll)
{
    for (uint32_t s = 1; s < 1000000; ++s) {
        srand(s);
        if (RandomBelow(100) == roll) return s;
    }
    ADD_FAILURE() << "no seed rolls " << roll;
    return 1;
}

class BallRollTest : public MatchCoreTest {
protected:
    // The ball runs along z 42 from x 30 towards (destinationX, 42) at the receiver standing on
    // (35, 42), whose nearest opponent stands at (35, opponentZ); his Control is `control` and
    // the control roll is `roll`. True when he brings the ball under control, false when it
    // glances off him.
    bool Controls(float destinationX, float control, int roll, float opponentZ = 45.f)
    {
        ClearArea(0.f, 42.f, 200.f);
        PlacePlayer(RECEIVER, 35.f, 42.f, FACE_PLUS_X);
        PlacePlayer(OPPONENT, 35.f, opponentZ, FACE_PLUS_X);
        MatchPlayers[RECEIVER].attributes[ATTR_CONTROL] = control;
        PlaceBall(30.f, BALL_REST_HEIGHT, 42.f);
        TheBall.destination = D3DVECTOR{destinationX, BALL_REST_HEIGHT, 42.f};
        TheBall.aimPoint = TheBall.destination;
        TheBall.loft = 0.f;
        ShotClass = 0;
        BallInFlight = 1;
        BallHolder = LastHolder = 0;
        StartMovingPhase(PHASE_HOME_MOVES);
        SetStep(0.01f);  // small steps: the ball cannot pass him between two of them
        srand(SeedRolling(roll));
        for (int i = 0; i < 400 && BallInFlight && BallHolder == 0; ++i) UpdateBall();
        EXPECT_EQ(BallHolder, RECEIVER + 1) << "the ball reached him";
        return !BallInFlight;
    }
    // The ball at height `y` 2 units in front of player 7, on its way 4 further on, meets his head
    // or foot: the length of its new course, and the ticker codes that reported it.
    float HeadOrVolleyLength(float y)
    {
        ResetEventTicker();
        ClearArea(40.f, 42.f, 80.f);
        PlacePlayer(7, 38.f, 42.f, FACE_PLUS_X);
        PlaceBall(40.f, y, 42.f);
        TheBall.destination = D3DVECTOR{44.f, BALL_REST_HEIGHT, 42.f};
        TheBall.aimPoint = TheBall.destination;
        HeadOrVolley(7);
        EXPECT_NEAR(TheBall.destination.z, 42.f, 1e-4f);
        return TheBall.destination.x - 40.f;
    }
    static float CourseLeft(float y) { return std::sqrt(16.f + (y - BALL_REST_HEIGHT) * (y - BALL_REST_HEIGHT)); }
    static bool TickerShows(int32_t code) { return EventFlags[code] != 0; }
    static bool AnyTickerLine()
    {
        for (uint8_t used : TickerLineInUse)
            if (used) return true;
        return false;
    }
};

}  // namespace

TEST_F(BallRollTest, TheControlRollIsLoweredBy25WithinFiveOfTheDestination15WithinTenAnd5WithinTwenty)
{
    // The roll is 60 each time; the receiver controls the ball when his Control reaches the
    // lowered roll, and not one point below it.
    const struct {
        float destinationX;
        int lowered;
    } bands[] = {{37.f, 25}, {42.f, 15}, {52.f, 5}, {60.f, 0}};
    for (const auto& band : bands) {
        const float edge = (float)(60 - band.lowered);
        EXPECT_TRUE(Controls(band.destinationX, edge, 60)) << "destination x " << band.destinationX;
        EXPECT_FALSE(Controls(band.destinationX, edge - 1.f, 60)) << "destination x " << band.destinationX;
    }
}

TEST_F(BallRollTest, AReceiverWithRoomAroundHimHasTheRollLoweredByFiveMore)
{
    // The same reception near the destination with the nearest opponent 6 away: 60 - 25 - 5.
    EXPECT_TRUE(Controls(37.f, 30.f, 60, 48.f));
    EXPECT_FALSE(Controls(37.f, 29.f, 60, 48.f));
}

TEST_F(BallRollTest, HeaderVolleyAndTheBandBetweenSendTheBallOnByTheirFactors)
{
    // Above three quarters of the head height: Heading + 2.5, "Headed by".
    MatchPlayers[7].attributes[ATTR_HEADING] = 0.4f;
    MatchPlayers[7].attributes[ATTR_VOLLEY] = 0.3f;
    const float head = MatchPlayers[7].headHeight;
    float y = head * 0.9f;
    EXPECT_NEAR(HeadOrVolleyLength(y), CourseLeft(y) * (0.4f + 2.5f), 1e-3f);
    EXPECT_TRUE(TickerShows(EVENT_HEADED));
    EXPECT_FALSE(TickerShows(EVENT_VOLLEY));
    // Below half of it: Volley + 3.0, "Volley by".
    y = head * 0.4f;
    EXPECT_NEAR(HeadOrVolleyLength(y), CourseLeft(y) * (0.3f + 3.0f), 1e-3f);
    EXPECT_TRUE(TickerShows(EVENT_VOLLEY));
    EXPECT_FALSE(TickerShows(EVENT_HEADED));
    // Between the two: 1.75 whatever his abilities, and nothing in the ticker.
    y = head * 0.6f;
    EXPECT_NEAR(HeadOrVolleyLength(y), CourseLeft(y) * 1.75f, 1e-3f);
    EXPECT_FALSE(TickerShows(EVENT_HEADED));
    EXPECT_FALSE(TickerShows(EVENT_VOLLEY));
    EXPECT_FALSE(AnyTickerLine());
    EXPECT_EQ(LastKicker, 7);
}
