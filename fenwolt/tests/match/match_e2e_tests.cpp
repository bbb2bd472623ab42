// A whole match on the headless device over the real data set: two managers, scripted, from the
// kick-off to full time and on to the result screen, drawn as the game draws it, with
// screenshots of a pass and a shot in flight (written beside the build for a look).
#include "fenwolt/tests/match/match_screen_support.h"

#include "fenwolt/Game/FrontEnd/Competition.h"
#include "fenwolt/Game/GameApp.h"
#include "fenwolt/Game/Match/MatchScreen.h"
#include "fenwolt/Game/Match/TurnEngine.h"
#include "fenwolt/Game/Screens.h"
#include "platform/tests/support/headless_device.h"
#include "platform/tests/support/png_reading.h"
#include "platform/win32/platform_internal.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace matchdrive;

namespace {

struct Shot {
    std::vector<uint8_t> rgb;
    int width = 0, height = 0;
};

Shot DrawAndRead()
{
    Shot s;
    TheApp.RenderFrame();
    ReadFrame(TheApp.Device, s.width, s.height, s.rgb);
    TheApp.Device->Present(nullptr, nullptr, nullptr, nullptr);
    return s;
}

// Share of pixels that look like grass, and how many distinct colours the frame has.
void Describe(const Shot& s, double& grass, int& colours)
{
    size_t green = 0;
    std::vector<bool> seen(1 << 15, false);
    colours = 0;
    for (size_t i = 0; i + 2 < s.rgb.size(); i += 3) {
        const int r = s.rgb[i], g = s.rgb[i + 1], b = s.rgb[i + 2];
        green += g > r + 15 && g > b + 15;
        const int key = (r >> 3) << 10 | (g >> 3) << 5 | (b >> 3);
        if (!seen[key]) {
            seen[key] = true;
            ++colours;
        }
    }
    grass = s.rgb.empty() ? 0.0 : (double)green / (double)(s.rgb.size() / 3);
}

TEST(MatchEndToEnd, TwoManagersPlayAWholeMatchOnTheDeviceWithAPassAndAShotInFlight)
{
    MatchApp app;
    if (!app.Open(true)) GTEST_SKIP() << app.error;
    MatchOptions o;
    o.seed = 31;
    o.managers = 2;
    o.minutesPerHalf = 8;
    StartMatch(o);
    ASSERT_EQ(CurrentScreenId, (int32_t)ScreenId::Match);
    const float step = 1.f / 30.f;
    std::mt19937 rng(5);
    int32_t seen = -1;
    bool acted = false, passShot = false, shotShot = false;
    const std::filesystem::path out = std::filesystem::path(BUILD_ROOT);
    int64_t frames = 0;
    const Shot first = DrawAndRead();
    while (MatchStopState != STOP_FULL_TIME && frames < 200000) {
        if (TurnPhase != seen) {
            seen = TurnPhase;
            acted = false;
        }
        const bool planning = MatchStopState != STOP_KICK_OFF && !GoalInProgress;
        if (!acted && planning && (TurnPhase == PHASE_HOME_PLANS || TurnPhase == PHASE_AWAY_PLANS)) {
            const int32_t side = TurnPhase == PHASE_HOME_PLANS ? 0 : 1;
            const int32_t holder = BallHolder - 1;
            if (passShot && !shotShot && BallHolder > 0 && IsPlayerOfSide(side, holder) && !KickOffPending &&
                MatchStopState == STOP_IN_PLAY) {
                // A shot from wherever he stands, to see one in flight.
                const bool high = GoalSideTable[1] == side;
                OrderKick(holder, high ? 116.0f : 3.0f, 42.5f, 8);
            } else {
                PlaySideSimply(side, rng, true);
            }
            EndTurn();
            acted = true;
        }
        Frame(step);
        ++frames;
        ASSERT_EQ(CheckInvariants(), "") << "frame " << frames;
        const ModelInstance* ball = BallModel();
        const bool moving = TurnPhase == PHASE_HOME_MOVES || TurnPhase == PHASE_AWAY_MOVES;
        const float travelled = ball ? std::hypot(ball->Position.x - TheBall.kickStart.x,
                                                  ball->Position.z - TheBall.kickStart.z)
                                     : 0.f;
        bool shoot = false;
        if (moving && BallInFlight && BallHolder == 0 && travelled > 3.f && travelled < 14.f) {
            if (ShotClass == 0 && TheBall.loft > 0.f && !passShot) {
                passShot = shoot = true;
                const Shot s = DrawAndRead();
                ASSERT_TRUE(PlatformWriteRgbPng((out / "match_pass_in_flight.png").string(), s.width, s.height, s.rgb));
                double grass;
                int colours;
                Describe(s, grass, colours);
                EXPECT_GT(grass, 0.2) << "the pitch fills much of the view";
                EXPECT_GT(colours, 40) << "players, ball, HUD and pitch";
            } else if (ShotClass > 0 && !shotShot) {
                shotShot = shoot = true;
                const Shot s = DrawAndRead();
                ASSERT_TRUE(PlatformWriteRgbPng((out / "match_shot_in_flight.png").string(), s.width, s.height, s.rgb));
                double grass;
                int colours;
                Describe(s, grass, colours);
                EXPECT_GT(grass, 0.2);
                EXPECT_GT(colours, 40);
            }
        }
        if (!shoot && frames % 15 == 0) DrawAndRead();
    }
    ASSERT_EQ(MatchStopState, STOP_FULL_TIME) << "no full time after " << frames << " frames";
    EXPECT_EQ(Half, 3);
    EXPECT_TRUE(passShot) << "no lofted pass was seen in flight";
    EXPECT_TRUE(shotShot) << "no shot was seen in flight";
    const Shot end = DrawAndRead();
    ASSERT_TRUE(PlatformWriteRgbPng((out / "match_full_time.png").string(), end.width, end.height, end.rgb));
    ASSERT_TRUE(PlatformWriteRgbPng((out / "match_kick_off.png").string(), first.width, first.height, first.rgb));
    // Full time waits 5.1 s, adds the season totals once and shows the exhibition result.
    const int32_t played = TeamSquads[0].players[0].gamesPlayed;
    for (int i = 0; i < 200 && CurrentScreenId == (int32_t)ScreenId::Match; ++i) {
        Frame(step);
        if (CurrentScreenId == (int32_t)ScreenId::Match) DrawAndRead();
    }
    EXPECT_EQ(CurrentScreenId, (int32_t)ScreenId::ExhibitionResult);
    EXPECT_EQ(TeamSquads[0].players[0].gamesPlayed, played + 1);
    EXPECT_EQ(MatchScreenActive, 0);
}

}  // namespace
