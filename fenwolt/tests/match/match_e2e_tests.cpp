// A whole match on the headless device over the real data set: two managers, scripted, from the
// kick-off to full time and on to the result screen, drawn as the game draws it, with
// screenshots of a pass and a shot in flight (written beside the build for a look).
#include "fenwolt/tests/match/match_screen_support.h"

#include "fenwolt/Game/FrontEnd/Competition.h"
#include "fenwolt/Game/Engine/Camera.h"
#include "fenwolt/Game/GameApp.h"
#include "fenwolt/Game/FrontEnd/Options.h"
#include "fenwolt/Game/Match/Hud.h"
#include "fenwolt/Game/Match/MatchScreen.h"
#include "fenwolt/Game/Match/Previews.h"
#include "fenwolt/Game/Match/TurnEngine.h"
#include "fenwolt/Game/Screens.h"
#include "fenwolt/Game/Engine/Sprites.h"
#include "platform/tests/support/headless_device.h"
#include "platform/tests/support/png_reading.h"
#include "platform/win32/platform_internal.h"
#include "platform/tests/support/test_requirements.h"

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
    if (!app.Open(true)) SKIP_WITHOUT("a GL device") << app.error;
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

// Pixels inside a rectangle of the frame that are not grass green.
double NotGrassShare(const Shot& s, int x0, int y0, int x1, int y1)
{
    size_t other = 0, all = 0;
    for (int y = y0; y < y1 && y < s.height; ++y)
        for (int x = x0; x < x1 && x < s.width; ++x) {
            const size_t i = 3 * ((size_t)y * (size_t)s.width + (size_t)x);
            const int r = s.rgb[i], g = s.rgb[i + 1], b = s.rgb[i + 2];
            other += !(g > r + 15 && g > b + 15);
            ++all;
        }
    return all ? (double)other / (double)all : 0.0;
}

// Pixels of the frame in the orange of the kick arrows.
size_t ArrowPixels(const Shot& s)
{
    size_t n = 0;
    for (size_t i = 0; i + 2 < s.rgb.size(); i += 3) n += s.rgb[i] > 200 && s.rgb[i + 1] > 90 && s.rgb[i + 1] < 190 && s.rgb[i + 2] < 80;
    return n;
}

TEST(MatchEndToEnd, ThePlanningScreensOnTheDevice)
{
    MatchApp app;
    if (!app.Open(true)) SKIP_WITHOUT("a GL device") << app.error;
    MatchOptions o;
    o.seed = 12;
    o.managers = 2;
    StartMatch(o);
    const std::filesystem::path out = std::filesystem::path(BUILD_ROOT);
    // The kick-off, both sides' first turn, and the home side plans again in open play.
    for (int turn = 0; turn < 2; ++turn) {
        EndTurn();
        for (int i = 0; i < 200 && TurnPhase != (turn == 0 ? PHASE_AWAY_PLANS : PHASE_HOME_PLANS); ++i)
            Frame(1.f / 30.f);
    }
    ASSERT_EQ(TurnPhase, PHASE_HOME_PLANS);
    ASSERT_EQ(MatchStopState, STOP_IN_PLAY);
    ASSERT_EQ(KickOffPending, 0);
    ASSERT_TRUE(BallHolder >= 1 && BallHolder <= SIDE_SIZE) << "the home side has the ball";
    const int32_t kicker = BallHolder - 1;

    // The large information panel on the selected player.
    Options.PlayerInfoPanel = 3;
    Select(kicker);
    Frame(1.f / 30.f);
    const Shot hud = DrawAndRead();
    ASSERT_TRUE(PlatformWriteRgbPng((out / "match_hud_large_panel.png").string(), hud.width, hud.height, hud.rgb));
    EXPECT_GT(NotGrassShare(hud, 12, 470, 520, 595), 0.9) << "the panel covers the bottom left";

    // A kick aimed with the mouse dragged up and sideways: lofted and bent arrows. The bend is
    // the kicker's skill (the default squads barely bend the ball): this one bends it well.
    MatchPlayers[kicker].attributes[ATTR_BEND] = 10.f;
    ToggleKickAim();
    ASSERT_EQ(KickAimMode, 1);
    const ModelInstance* taker = PlayerModel(kicker);
    const D3DVECTOR aim{taker->Position.x + 22.f, 0.f, taker->Position.z - 6.f};
    OrderPitchPress(aim, 400, 300);
    OrderPitchDrag(aim, 380, 260);
    // Seen from the side of the kick's path.
    CameraTarget = D3DVECTOR{taker->Position.x + 11.f, 1.f, taker->Position.z - 3.f};
    CameraEye = D3DVECTOR{CameraTarget.x - 2.f, 8.f, CameraTarget.z + 34.f};
    KeepCameraWhereItIs();
    Frame(1.f / 30.f);
    EXPECT_GT(TheBall.loft, 9.f);
    EXPECT_GT(std::hypot(TheBall.bendX, TheBall.bendZ), 3.f);
    // Every arrow of the kick is shown, the path's end in the colour of a kick beyond 10 units.
    for (int i = 0; i < KICK_ARROWS; ++i) EXPECT_TRUE(InstanceAt(KickArrowModels[i])->Visible) << i;
    EXPECT_EQ(InstanceAt(KickArrowModels[KICK_ARROWS - 1])->TextureMeshIndex, ArrowTextures[1]);
    const Shot kick = DrawAndRead();
    ASSERT_TRUE(PlatformWriteRgbPng((out / "match_kick_preview.png").string(), kick.width, kick.height, kick.rgb));
    EXPECT_GT(ArrowPixels(kick), 300u) << "the arrows of the kick are drawn";
    OrderPitchRelease(aim, 380, 260);
    ASSERT_EQ(BallInFlight, 1);

    // A jump ordered on another player, facing toward the near touchline, seen from behind him.
    const int32_t other = kicker == 7 ? 6 : 7;
    const D3DVECTOR at = PlayerModel(other)->Position;
    OrderJump(other, at.x + 1.f, at.z - 8.f);
    ASSERT_EQ(MatchPlayers[other].stance, 2);
    CameraTarget = at;
    CameraEye = D3DVECTOR{at.x - 9.f, at.y + 6.f, at.z + 3.f};
    KeepCameraWhereItIs();
    Frame(1.f / 30.f);
    const Shot jump = DrawAndRead();
    ASSERT_TRUE(PlatformWriteRgbPng((out / "match_jump_and_facing.png").string(), jump.width, jump.height, jump.rgb));

    // The substitution panel for the selected player.
    Select(6);
    ToggleSubstitutionMode(true);
    ASSERT_EQ(SubstitutionMode, 1);
    Frame(1.f / 30.f);
    const Shot sub = DrawAndRead();
    ASSERT_TRUE(PlatformWriteRgbPng((out / "match_substitution.png").string(), sub.width, sub.height, sub.rgb));
    EXPECT_GT(NotGrassShare(sub, 12, 270, 520, 395), 0.9) << "the substitution panel above the information panel";
    // "Perform Substitution", clicked as the manager clicks it.
    const Sprite* perform = SpriteAt(SPRITE_SUB_PERFORM);
    ASSERT_NE(perform, nullptr);
    MouseX = (int)(perform->ScreenRect.left + perform->ScreenRect.right) / 2;
    MouseY = (int)(perform->ScreenRect.top + perform->ScreenRect.bottom) / 2;
    HandleMatchMessage(WM_LBUTTONDOWN);
    EXPECT_EQ(SubstitutionMode, 0);
    EXPECT_EQ(SubstitutionsMade[0], 1);
    Frame(1.f / 30.f);
    const Shot after = DrawAndRead();
    ASSERT_TRUE(PlatformWriteRgbPng((out / "match_after_substitution.png").string(), after.width, after.height, after.rgb));
}

}  // namespace
