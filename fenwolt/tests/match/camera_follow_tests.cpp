// The match camera, frame by frame, through whole scripted matches: lofted and bent passes,
// shots, restarts and the computer's turns; a ball left hanging in the air; the mouse resting at
// each of the screen's edges; focuses on the corner flags; cycling through the players; and every
// camera key pressed over and over. Whatever happens the camera stays within the bounds the match
// gives it (over the pitch, between floor and ceiling, within its zoom range and never looking
// straight down), its eye stays in the stadium's open bowl, clear of the stands by more than the
// near plane reaches, and a focus keeps the view it starts from.
#include "fenwolt/tests/match/match_screen_support.h"

#include "fenwolt/Game/Engine/Camera.h"
#include "fenwolt/Game/FrontEnd/Options.h"
#include "fenwolt/Game/GameApp.h"
#include "fenwolt/Game/Match/MatchHelpers.h"
#include "fenwolt/Game/Match/MatchScreen.h"
#include "fenwolt/Game/Match/TurnEngine.h"
#include "fenwolt/common/AppFramework.h"
#include "platform/d3dx8/d3dx8math.h"
#include "platform/tests/support/headless_device.h"
#include "platform/tests/support/png_reading.h"
#include "platform/win32/platform_internal.h"
#include "platform/tests/support/test_requirements.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using namespace matchdrive;
using namespace matchgeo;

namespace {

constexpr float kStep = 1.f / 30.f;

// The ground the stands and their crowds cover, as the stadium's list placed them.
struct Footprint {
    float x0, z0, x1, z1;
};
std::vector<Footprint> StandFootprints()
{
    std::vector<Footprint> stands;
    for (const ModelInstance& m : TheApp.InstanceTable) {
        if (!m.InUse || (!std::strstr(m.Name, "stand") && !std::strstr(m.Name, "crowd"))) continue;
        Footprint f{1e9f, 1e9f, -1e9f, -1e9f};
        for (const D3DVECTOR& p : m.BoxPoints[1]) {
            f.x0 = std::fmin(f.x0, p.x);
            f.z0 = std::fmin(f.z0, p.z);
            f.x1 = std::fmax(f.x1, p.x);
            f.z1 = std::fmax(f.z1, p.z);
        }
        stands.push_back(f);
    }
    return stands;
}

// How far from the eye the near plane's corners lie: nearer than that to a stand, the near plane
// cuts into it and the picture shows its inside.
float NearPlaneReach()
{
    const float t = std::tan(FieldOfView * 0.5f);
    return NearPlane * std::sqrt(1.f + t * t * (1.f + ProjectionAspect * ProjectionAspect));
}

// The eye's ground distance from the nearest stand's footprint; negative over a stand (by how
// far it is in).
float StandClearance(const D3DVECTOR& eye, const std::vector<Footprint>& stands)
{
    float least = 1e9f;
    for (const Footprint& f : stands) {
        const float dx = std::fmax(f.x0 - eye.x, eye.x - f.x1), dz = std::fmax(f.z0 - eye.z, eye.z - f.z1);
        const float clearance = dx > 0.f || dz > 0.f ? std::hypot(std::fmax(dx, 0.f), std::fmax(dz, 0.f))
                                                     : std::fmax(dx, dz);
        least = std::fmin(least, clearance);
    }
    return least;
}

// The view the camera's eye has of what it looks at: distance and angle below the horizontal.
struct View {
    float distance, pitch;
};
View ViewOf(const D3DVECTOR& eye, const D3DVECTOR& target)
{
    return View{SpaceDistance(eye, target), std::atan2(eye.y - target.y, GroundDistance(eye, target))};
}

// The camera's presets, each set up from the first planning phase as a manager reaches it.
enum class Preset { Overhead, Wide, Low, Behind, Heading };
const Preset kPresets[] = {Preset::Overhead, Preset::Wide, Preset::Low, Preset::Behind, Preset::Heading};
const char* Name(Preset p)
{
    switch (p) {
    case Preset::Overhead: return "overhead";
    case Preset::Wide: return "wide";
    case Preset::Low: return "low";
    case Preset::Behind: return "behind";
    case Preset::Heading: return "heading";
    }
    return "?";
}

struct Edge {
    const char* name;
    int x, y;
};
// The pointer on each edge, the bottom one also just below the window (the position stays on
// the last row the window reports).
const Edge kEdges[] = {{"bottom", 400, 599}, {"top", 400, 0}, {"left", 0, 300}, {"right", 799, 300}};

struct Corner {
    const char* name;
    float x, z;
};
const Corner kCorners[] = {{"low x, low z", GOAL_LINE_LOW_X, TOUCHLINE_LOW_Z},
                           {"low x, high z", GOAL_LINE_LOW_X, TOUCHLINE_HIGH_Z},
                           {"high x, low z", GOAL_LINE_HIGH_X, TOUCHLINE_LOW_Z},
                           {"high x, high z", GOAL_LINE_HIGH_X, TOUCHLINE_HIGH_Z}};

// The HUD's bands and corners, left out of the 3D view's measures.
bool UnderHud(int x, int y) { return y < 90 || y >= 575 || (x >= 690 && y >= 340) || (x < 145 && y >= 460); }

// Share of the 3D view in 8 x 8 blocks of one flat grey (not white): what the inside or the back
// of a model looks like, and little else (the stands' concrete in a band).
double FlatGreyShare(const std::vector<uint8_t>& rgb, int width, int height)
{
    int flat = 0, blocks = 0;
    for (int by = 0; by + 8 <= height; by += 8)
        for (int bx = 0; bx + 8 <= width; bx += 8) {
            if (UnderHud(bx, by)) continue;
            ++blocks;
            bool grey = true;
            double sum = 0.0, squares = 0.0;
            for (int y = by; y < by + 8; ++y)
                for (int x = bx; x < bx + 8; ++x) {
                    const uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
                    grey = grey && std::max({p[0], p[1], p[2]}) - std::min({p[0], p[1], p[2]}) <= 24;
                    const double l = 0.3 * p[0] + 0.59 * p[1] + 0.11 * p[2];
                    sum += l;
                    squares += l * l;
                }
            const double mean = sum / 64.0;
            flat += grey && mean < 200.0 && squares / 64.0 - mean * mean < 36.0;
        }
    return blocks ? (double)flat / blocks : 0.0;
}

// Share of the 3D view's pixels that are grass.
double GrassShare(const std::vector<uint8_t>& rgb, int width, int height)
{
    int grass = 0, pixels = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            if (UnderHud(x, y)) continue;
            const uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
            ++pixels;
            grass += p[1] > p[0] + 15 && p[1] > p[2] + 15;
        }
    return pixels ? (double)grass / pixels : 0.0;
}

// Where a point shows in the 800 x 600 picture of the present camera; false behind the eye.
bool OnScreen(const D3DVECTOR& point)
{
    D3DXMATRIX view, projection;
    const D3DXVECTOR3 eye{CameraEye.x, CameraEye.y, CameraEye.z}, at{CameraTarget.x, CameraTarget.y, CameraTarget.z},
        up{0.f, 1.f, 0.f};
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    D3DXMatrixPerspectiveFovLH(&projection, FieldOfView, 800.f / 600.f, NearPlane, FarPlane);
    const D3DVIEWPORT8 viewport{0, 0, 800, 600, 0.f, 1.f};
    const D3DXVECTOR3 p{point.x, point.y, point.z};
    D3DXVECTOR3 out;
    D3DXVec3Project(&out, &p, &viewport, &projection, &view, nullptr);
    return out.z > 0.f && out.z < 1.f && out.x >= 0.f && out.x < 800.f && out.y >= 0.f && out.y < 600.f;
}

class MatchCameraTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!app.Open(false)) SKIP_WITHOUT("a GL device") << app.error;
    }
    void TearDown() override { app.Close(); }

    static void Key(uint32_t key)
    {
        LastMessageParam = key;
        HandleMatchMessage(WM_KEYDOWN);
    }
    static void MouseAt(int x, int y)
    {
        MouseX = x;
        MouseY = y;
        HandleMatchMessage(WM_MOUSEMOVE);
    }
    // Empty when the camera the frame is drawn with is within the bounds. (The wanted camera is
    // only an aim, brought within them before the camera eases toward it.)
    static std::string CameraFault()
    {
        char what[200] = "";
        const float clearance = StandClearance(CameraEye, StandFootprints());
        if (!CameraInBounds(CameraEye, CameraTarget) || clearance < NearPlaneReach() - 0.05f)
            std::snprintf(what, sizeof what, "eye (%.2f %.2f %.2f) target (%.2f %.2f %.2f), %.2f from the stands",
                          CameraEye.x, CameraEye.y, CameraEye.z, CameraTarget.x, CameraTarget.y, CameraTarget.z,
                          clearance);
        return what;
    }
    // Steps until the camera stands on the wanted one (at most `limit` frames); the frames taken.
    static int Settle(float step, int limit = 600)
    {
        int frames = 0;
        while (frames < limit && (SpaceDistance(CameraEye, WantedCameraEye) > 0.f ||
                                  SpaceDistance(CameraTarget, WantedCameraTarget) > 0.f)) {
            Frame(step);
            ++frames;
        }
        return frames;
    }
    // A match at its first planning phase with the camera on the preset, settled.
    static void StartWith(Preset preset, float step)
    {
        MatchOptions o;
        o.beginnersCamera = preset == Preset::Overhead || preset == Preset::Wide;
        StartMatch(o);
        MouseAt(400, 300);
        Settle(step);
        switch (preset) {
        case Preset::Wide: Key('S'); break;
        case Preset::Behind: Key('0'); break;
        case Preset::Heading: Key(VK_UP); break;
        default: break;
        }
        Settle(step);
    }
    static bool StepUntilPhase(int32_t phase, int limit = 6000)
    {
        for (int i = 0; i < limit && TurnPhase != phase; ++i) Frame(kStep);
        return TurnPhase == phase;
    }
    MatchApp app;
};

TEST_F(MatchCameraTest, TheMatchTurnsTheBoundsOnAroundThePitch)
{
    StartMatch(MatchOptions{});
    ASSERT_TRUE(FieldCamera.Bounded);
    EXPECT_NEAR(FieldCamera.FieldLength, 2.f * CENTRE_X, 1e-4);
    EXPECT_NEAR(FieldCamera.FieldWidth, 2.f * CENTRE_Z, 1e-4);
    // The match's own views are all within them: the kick-off, the beginners' view, behind a
    // player, a heading, the overview.
    EXPECT_EQ(CameraFault(), "");
    CameraBehindPlayer(9);
    EXPECT_TRUE(CameraInBounds(WantedCameraEye, WantedCameraTarget));
    for (uint32_t key : {VK_UP, VK_RIGHT, VK_DOWN, VK_LEFT}) {
        SetCameraHeading(3, key);
        EXPECT_TRUE(CameraInBounds(WantedCameraEye, WantedCameraTarget)) << key;
    }
    SetOverviewCamera();
    EXPECT_TRUE(CameraInBounds(WantedCameraEye, WantedCameraTarget));
    MatchOptions beginners;
    beginners.beginnersCamera = true;
    StartMatch(beginners);
    EXPECT_EQ(CameraFault(), "");
}

// Whole matches against the computer: the home side's ball holder kicks anywhere on the pitch,
// lofted up to a hundred units and bent either way, or shoots, or the script plays on.
TEST_F(MatchCameraTest, TheCameraStaysWithinItsBoundsEveryFrameOfWholeMatches)
{
    int lofted = 0, shots = 0, restarts = 0;
    int64_t frames = 0;
    float sharpest = 0.f;
    for (uint32_t seed = 1; seed <= 8; ++seed) {
        MatchOptions o;
        o.seed = seed;
        o.minutesPerHalf = 4;
        StartMatch(o);
        std::mt19937 rng(seed * 7919u);
        std::uniform_real_distribution<float> x(0.f, 119.f), z(0.f, 84.f);
        int32_t seen = -1;
        bool acted = false, wasRestart = false;
        float planned = 0.f, lastHeading = 0.f;
        int64_t steps = 0;
        while (MatchStopState != STOP_FULL_TIME && steps < 60000) {
            if (TurnPhase != seen) {
                seen = TurnPhase;
                acted = false;
                planned = 0.f;
            }
            // The manager looks for a second before he acts, so that the camera eases on.
            if (!acted && TurnPhase == PHASE_HOME_PLANS && MatchStopState != STOP_KICK_OFF && !GoalInProgress &&
                planned >= 1.f) {
                const int32_t holder = BallHolder - 1;
                if (BallHolder > 0 && holder < SIDE_SIZE && !KickOffPending && rng() % 3 != 0) {
                    if (rng() % 4 == 0) {
                        OrderKick(holder, rng() % 2 ? 116.f : 3.f, 42.f, (int32_t)(rng() % 200));
                        ++shots;
                    } else {
                        const int32_t loft = (int32_t)(rng() % 400);
                        OrderKick(holder, x(rng), z(rng), loft, (int32_t)(rng() % 101) - 50);
                        lofted += loft > 100;
                    }
                } else {
                    PlayHomeTurn(seed % 2 ? HomeScript::Random : HomeScript::Chasing, rng);
                }
                EndTurn();
                acted = true;
            }
            Frame(kStep);
            planned += kStep;
            ++steps;
            const bool restart = MatchStopState >= STOP_THROW_IN && MatchStopState != STOP_KICK_OFF &&
                                 MatchStopState != STOP_FULL_TIME;
            restarts += restart && !wasRestart;
            wasRestart = restart;
            const std::string fault = CameraFault();
            ASSERT_EQ(fault, "") << "seed " << seed << ", step " << steps << ", " << (int)Minute << ":" << (int)Second
                                 << ", phase " << TurnPhase << ", stop " << MatchStopState;
            // The view turns about what it looks at, it never flips round from one frame to the
            // next (an eye passing over its target shows the pitch's lines spinning).
            const float heading = std::atan2(CameraEye.z - CameraTarget.z, CameraEye.x - CameraTarget.x);
            if (steps > 1) {
                const float turn = std::fabs(WrapAngle(heading - lastHeading));
                ASSERT_LT(turn, HALF_PI) << "seed " << seed << ", step " << steps << ", phase " << TurnPhase;
                sharpest = std::fmax(sharpest, turn);
            }
            lastHeading = heading;
        }
        EXPECT_EQ(MatchStopState, STOP_FULL_TIME) << "seed " << seed;
        frames += steps;
    }
    // The scripts did what they are here for.
    EXPECT_GT(lofted, 10);
    EXPECT_GT(shots, 5);
    EXPECT_GT(restarts, 5);
    EXPECT_GT(frames, 50000);
    std::printf("[          ] %lld frames; the sharpest turn of the view in one frame %.2f rad\n", (long long)frames,
                sharpest);
}

// The wanted eye straight across the point the camera looks at: the straight way would take the
// eye over it, where the view spins; it goes round it instead and gets there.
TEST_F(MatchCameraTest, AnEyeSentAcrossItsTargetGoesRoundIt)
{
    StartMatch(MatchOptions{});
    ASSERT_EQ(TurnPhase, PHASE_HOME_PLANS);
    const D3DVECTOR spot{CENTRE_X, 0.f, CENTRE_Z};
    CameraTarget = WantedCameraTarget = spot;
    CameraEye = D3DVECTOR{spot.x - 13.f, 2.7f, spot.z};
    WantedCameraEye = D3DVECTOR{spot.x + 13.f, 2.7f, spot.z};
    float last = std::atan2(CameraEye.z - CameraTarget.z, CameraEye.x - CameraTarget.x);
    int frames = 0;
    while (frames < 300 && SpaceDistance(CameraEye, WantedCameraEye) > 0.f) {
        Frame(kStep);
        ++frames;
        ASSERT_EQ(CameraFault(), "") << frames;
        const float heading = std::atan2(CameraEye.z - CameraTarget.z, CameraEye.x - CameraTarget.x);
        ASSERT_LT(std::fabs(WrapAngle(heading - last)), 0.2f) << frames;
        last = heading;
    }
    EXPECT_LT(frames, 300) << "the eye got to the other side";
    EXPECT_EQ(CameraTarget.x, spot.x);
}

// A ball left above the ground where nobody can reach it: every moving phase the camera follows
// it up there, every planning phase it goes back to a player. The eye must not come back from
// each trip higher over the player than it went.
TEST_F(MatchCameraTest, ABallLeftInTheAirDoesNotLiftTheCameraTurnAfterTurn)
{
    MatchOptions o;
    o.seed = 4;
    StartMatch(o);
    EndTurn();
    ASSERT_TRUE(StepUntilPhase(PHASE_AWAY_PLANS));
    ASSERT_TRUE(StepUntilPhase(PHASE_HOME_PLANS));
    ASSERT_EQ(MatchStopState, STOP_IN_PLAY);
    ModelInstance* ball = BallModel();
    ASSERT_NE(ball, nullptr);
    // Four units up over the halfway line, at rest: out of every player's reach.
    BallHolder = 0;
    BallInFlight = 0;
    ball->Position = D3DVECTOR{CENTRE_X, 4.f, CENTRE_Z + 20.f};
    TheBall.destination = TheBall.aimPoint = TheBall.kickStart = TheBall.groundPoint = ball->Position;
    Options.FollowBallAtEndTurn = 1;
    Options.CentrePlayerWhenSelected = 1;

    float first = 0.f, highest = 0.f;
    for (int turn = 0; turn < 8; ++turn) {
        ASSERT_TRUE(StepUntilPhase(PHASE_HOME_PLANS)) << turn;
        // The planning phase's focus on the selected player, eased to the end.
        for (int i = 0; i < 90; ++i) Frame(kStep);
        ASSERT_EQ(CameraFault(), "") << turn;
        const float rise = CameraEye.y - CameraTarget.y;
        if (turn == 0) first = rise;
        highest = std::fmax(highest, rise);
        EndTurn();
        ASSERT_TRUE(StepUntilPhase(PHASE_HOME_MOVES)) << turn;
        ASSERT_NEAR(BallModel()->Position.y, 4.f, 1e-4) << "the ball still hangs";
    }
    EXPECT_LE(highest, first + 0.01f) << "the eye climbed by the ball's height every turn";
    EXPECT_LT(highest, 6.f);
}

// The mouse left at the screen's right edge, over the end of the Pass button or off the window:
// the view scrolls to the pitch's edge and stops there, through planning and moving phases, and
// the ball key brings it back once the mouse has left the edge.
TEST_F(MatchCameraTest, TheEdgeScrollStopsAtThePitchsEdgeAndTheBallKeyBringsTheViewBack)
{
    MatchOptions o;
    o.seed = 9;
    o.managers = 2;
    StartMatch(o);
    MouseAt(799, 425);
    float farthest = 0.f;
    for (int i = 0; i < 2400; ++i) {
        if ((TurnPhase == PHASE_HOME_PLANS || TurnPhase == PHASE_AWAY_PLANS) && MatchStopState != STOP_KICK_OFF &&
            i % 150 == 149)
            EndTurn();
        Frame(kStep);
        ASSERT_EQ(CameraFault(), "") << "frame " << i;
        farthest = std::fmax(farthest, std::fabs(CameraTarget.x - CENTRE_X) + std::fabs(CameraTarget.z - CENTRE_Z));
    }
    EXPECT_GT(farthest, 30.f) << "the view did scroll";
    ASSERT_TRUE(StepUntilPhase(TurnPhase == PHASE_HOME_MOVES || TurnPhase == PHASE_HOME_PLANS ? PHASE_AWAY_PLANS
                                                                                             : PHASE_HOME_PLANS));
    MouseAt(400, 300);
    Key(VK_BACK);
    const D3DVECTOR ball = BallModel()->Position;
    int frames = 0;
    while (frames < 600 && SpaceDistance(CameraTarget, ball) > 0.01f) {
        Frame(kStep);
        ++frames;
    }
    EXPECT_LT(frames, 600) << "the view went back to the ball";
}

// Each camera key held down for hundreds of presses, from the default and the beginners' views.
TEST_F(MatchCameraTest, TheCameraKeysCannotTakeTheCameraOutOfItsBounds)
{
    for (bool beginners : {false, true}) {
        MatchOptions o;
        o.beginnersCamera = beginners;
        StartMatch(o);
        const uint32_t keys[] = {VK_DECIMAL, VK_NUMPAD8, VK_NUMPAD6, VK_ADD,      VK_NUMPAD9, VK_MULTIPLY,
                                 VK_NUMPAD0, VK_NUMPAD2, VK_NUMPAD4, VK_SUBTRACT, VK_NUMPAD7, VK_DIVIDE};
        for (uint32_t key : keys)
            for (int press = 0; press < 300; ++press) {
                Key(key);
                ASSERT_EQ(CameraFault(), "") << "key " << key << ", press " << press;
                if (press % 10 == 0) Frame(kStep);
            }
        // Zooming still works within the range: up high, a press brings the eye one step nearer.
        StartMatch(o);
        for (int i = 0; i < 20; ++i) Key(VK_ADD);
        const float before = SpaceDistance(CameraEye, CameraTarget);
        Key(VK_NUMPAD0);
        EXPECT_NEAR(SpaceDistance(CameraEye, CameraTarget), before - 1.f, 1e-3) << beginners;
    }
}

// Each keypad key from one camera over the centre spot, looking along +z (+x on the screen's
// right): it moves the eye, the look-at point or both the way its key says, by the size it says.
TEST_F(MatchCameraTest, EachCameraKeyMovesTheCameraItsOwnWay)
{
    StartMatch(MatchOptions{});
    TheApp.ElapsedTime = 0.1f;  // the orbit keys turn by pi x the frame time
    const D3DVECTOR target{CENTRE_X, 0.f, CENTRE_Z}, eye{CENTRE_X, 15.f, CENTRE_Z - 25.f};
    const float distance = SpaceDistance(eye, target);
    const float turn = 25.f * std::sin(PI * 0.1f), forward = 25.f / distance;
    struct Move {
        uint32_t key;
        const char* name;
        D3DVECTOR eye, target;  // where each goes, from where it was
    };
    const D3DVECTOR zoom{0.f, -15.f / distance, 25.f / distance}, none{0.f, 0.f, 0.f};
    const float swing = 25.f - 25.f * std::cos(PI * 0.1f);
    const Move moves[] = {
        {VK_NUMPAD0, "0 (nearer)", zoom, none},
        {VK_DECIMAL, ". (farther)", {-zoom.x, -zoom.y, -zoom.z}, none},
        {VK_NUMPAD8, "8 (forward)", {0.f, 0.f, forward}, {0.f, 0.f, forward}},
        {VK_NUMPAD2, "2 (back)", {0.f, 0.f, -forward}, {0.f, 0.f, -forward}},
        {VK_NUMPAD6, "6 (right)", {1.f, 0.f, 0.f}, {1.f, 0.f, 0.f}},
        {VK_NUMPAD4, "4 (left)", {-1.f, 0.f, 0.f}, {-1.f, 0.f, 0.f}},
        {VK_NUMPAD3, "3 (eye up)", {0.f, 1.f, 0.f}, none},
        {VK_ADD, "+ (eye up)", {0.f, 1.f, 0.f}, none},
        {VK_NUMPAD1, "1 (eye down)", {0.f, -1.f, 0.f}, none},
        {VK_SUBTRACT, "- (eye down)", {0.f, -1.f, 0.f}, none},
        {VK_NUMPAD9, "9 (eye round to its left)", {-turn, 0.f, swing}, none},
        {VK_NUMPAD7, "7 (eye round to its right)", {turn, 0.f, swing}, none},
        {VK_MULTIPLY, "* (view turns right)", none, {turn, 0.f, -swing}},
        {VK_DIVIDE, "/ (view turns left)", none, {-turn, 0.f, -swing}},
    };
    auto expectMoved = [](const char* what, const D3DVECTOR& from, const D3DVECTOR& by, const D3DVECTOR& now) {
        EXPECT_NEAR(now.x - from.x, by.x, 1e-3f) << what;
        EXPECT_NEAR(now.y - from.y, by.y, 1e-3f) << what;
        EXPECT_NEAR(now.z - from.z, by.z, 1e-3f) << what;
    };
    for (const Move& m : moves) {
        CameraEye = WantedCameraEye = eye;
        CameraTarget = WantedCameraTarget = target;
        ASSERT_EQ(CameraFault(), "");
        Key(m.key);
        expectMoved((std::string("eye, key ") + m.name).c_str(), eye, m.eye, CameraEye);
        expectMoved((std::string("look-at point, key ") + m.name).c_str(), target, m.target, CameraTarget);
    }
}

// The pointer held on each edge for ten seconds in every preset, at the 40 ms step of a loaded
// machine: the view scrolls to the stands and stops there, its eye never over them.
TEST_F(MatchCameraTest, EachEdgeHeldForTenSecondsStopsAtTheStandsInEveryPreset)
{
    const float step = 0.04f;
    for (Preset preset : kPresets)
        for (const Edge& edge : kEdges) {
            StartWith(preset, step);
            const D3DVECTOR start = CameraTarget;
            const std::vector<Footprint> stands = StandFootprints();
            ASSERT_EQ(stands.size(), 8u) << "four stands and their crowds";
            MouseAt(edge.x, edge.y);
            float least = 1e9f, scrolled = 0.f;
            std::string fault;
            for (int frame = 0; frame < 250; ++frame) {
                Frame(step);
                least = std::fmin(least, StandClearance(CameraEye, stands));
                scrolled = std::fmax(scrolled, GroundDistance(CameraTarget, start));
                if (fault.empty() && !CameraFault().empty()) fault = "frame " + std::to_string(frame) + ": " + CameraFault();
            }
            std::printf("[          ] %-8s %-6s eye (%7.2f %5.2f %7.2f), least clearance from the stands %6.2f\n",
                        Name(preset), edge.name, CameraEye.x, CameraEye.y, CameraEye.z, least);
            EXPECT_EQ(fault, "") << Name(preset) << ", " << edge.name;
            EXPECT_GT(scrolled, 10.f) << Name(preset) << ", " << edge.name << ": the view did scroll";
        }
}

// Backspace on the ball at each corner flag in every preset, then a player standing behind the
// flag focused with Enter and the selection cycled on: the eye keeps out of the stands, and the
// ball stays in the picture. Scrolled away and back on the ball at the centre spot, the view is
// the preset's again: the view drawn in at the stands is never taken for the chosen one.
TEST_F(MatchCameraTest, AFocusOnEachCornerFlagKeepsTheEyeInTheBowlAndTheBallInView)
{
    const float step = 0.04f;
    for (Preset preset : kPresets)
        for (const Corner& corner : kCorners) {
            StartWith(preset, step);
            const View chosen = ViewOf(CameraEye, CameraTarget);
            const std::vector<Footprint> stands = StandFootprints();
            ModelInstance* ball = BallModel();
            ASSERT_NE(ball, nullptr);
            BallHolder = 0;
            ball->Position = D3DVECTOR{corner.x, BALL_REST_HEIGHT, corner.z};
            ball->MatrixValid = 0;
            TheBall.destination = TheBall.aimPoint = TheBall.kickStart = TheBall.groundPoint = ball->Position;
            // The selected player stands just outside the flag, as a corner taker does.
            const float outX = corner.x < CENTRE_X ? -1.f : 1.f, outZ = corner.z < CENTRE_Z ? -1.f : 1.f;
            ModelInstance* taker = PlayerModel(SelectedPlayer);
            ASSERT_NE(taker, nullptr);
            taker->Position = D3DVECTOR{corner.x + 1.5f * outX, 0.f, corner.z + 1.5f * outZ};
            taker->MatrixValid = 0;
            float least = 1e9f;
            std::string fault;
            auto run = [&](int frames) {
                for (int i = 0; i < frames; ++i) {
                    Frame(step);
                    least = std::fmin(least, StandClearance(CameraEye, stands));
                    if (fault.empty() && !CameraFault().empty()) fault = CameraFault();
                }
            };
            Key(VK_BACK);
            run(300);
            const D3DVECTOR onBall = CameraEye;
            EXPECT_TRUE(OnScreen(D3DVECTOR{corner.x, BALL_REST_HEIGHT, corner.z}))
                << Name(preset) << ", " << corner.name << ": the flag in view";
            Key(VK_RETURN);
            run(150);
            for (int press = 0; press < 3; ++press) {
                Key('N');
                run(10);
            }
            run(150);
            MouseAt(400, 0);
            run(25);
            MouseAt(400, 300);
            ball->Position = D3DVECTOR{CENTRE_X, BALL_REST_HEIGHT, CENTRE_Z};
            Key(VK_BACK);
            run(400);
            const View back = ViewOf(CameraEye, CameraTarget);
            std::printf("[          ] %-8s %-14s eye on the ball (%6.2f %5.2f %6.2f), least clearance %6.2f, "
                        "back at the centre %.2f at %.1f deg\n",
                        Name(preset), corner.name, onBall.x, onBall.y, onBall.z, least, back.distance,
                        back.pitch * 180.f / PI);
            EXPECT_EQ(fault, "") << Name(preset) << ", " << corner.name;
            EXPECT_NEAR(back.distance / chosen.distance, 1.f, 0.01f) << Name(preset) << ", " << corner.name;
            EXPECT_NEAR(back.pitch / chosen.pitch, 1.f, 0.01f) << Name(preset) << ", " << corner.name;
        }
}

// N pressed twenty times at random points of the ease, in each preset that follows the
// selection: the eye keeps the preset's distance and angle to what it looks at, frame by frame,
// and Backspace and Enter keep it too. (The keepers stand well out of their goals, so that no
// view behind a player meets the stands and comes nearer there.)
TEST_F(MatchCameraTest, CyclingThroughThePlayersKeepsTheView)
{
    const float step = 0.04f;
    for (Preset preset : {Preset::Wide, Preset::Low}) {
        StartWith(preset, step);
        ASSERT_TRUE(Options.CentrePlayerWhenSelected);
        for (int32_t keeper : {0, SIDE_SIZE}) {
            ModelInstance* m = PlayerModel(keeper);
            ASSERT_NE(m, nullptr);
            m->Position.x = keeper == 0 ? 25.f : 94.f;
            m->MatrixValid = 0;
        }
        const View chosen = ViewOf(CameraEye, CameraTarget);
        std::mt19937 rng(17);
        float drift = 0.f, tilt = 0.f;
        auto look = [&] {
            ASSERT_TRUE(CameraInBounds(WantedCameraEye, WantedCameraTarget)) << "a view that meets no stand";
            const View v = ViewOf(CameraEye, CameraTarget);
            drift = std::fmax(drift, std::fabs(v.distance / chosen.distance - 1.f));
            tilt = std::fmax(tilt, std::fabs(v.pitch / chosen.pitch - 1.f));
        };
        for (int press = 0; press < 20; ++press) {
            Key('N');
            for (int i = (int)(rng() % 25); i >= 0; --i) {
                Frame(step);
                look();
            }
        }
        Settle(step);
        look();
        const View after = ViewOf(CameraEye, CameraTarget);
        for (uint32_t key : {VK_BACK, VK_RETURN}) {
            Key(key);
            Settle(step);
            look();
        }
        std::printf("[          ] %-8s chosen view %.2f at %.1f deg; after 20 presses %.2f at %.1f deg; worst drift "
                    "%.1f %% in distance, %.1f %% in angle\n",
                    Name(preset), chosen.distance, chosen.pitch * 180.f / PI, after.distance, after.pitch * 180.f / PI,
                    drift * 100.f, tilt * 100.f);
        EXPECT_LT(drift, 0.03f) << Name(preset);
        EXPECT_LT(tilt, 0.03f) << Name(preset);
    }
}

// The same edges and corner flags drawn by the game on the headless device: no flat grey wall,
// and the pitch in the picture (the inside of a stand is no grey, but no grass either).
TEST(MatchCameraPicture, NoEdgeOrCornerFlagShowsAGreyWall)
{
    MatchApp app;
    if (!app.Open(true)) SKIP_WITHOUT("a GL device") << app.error;
    const float step = 0.04f;
    auto look = [](const std::string& name) {
        TheApp.RenderFrame();
        std::vector<uint8_t> rgb;
        int width = 0, height = 0;
        const bool read = ReadFrame(TheApp.Device, width, height, rgb);
        TheApp.Device->Present(nullptr, nullptr, nullptr, nullptr);
        EXPECT_TRUE(read) << name;
        if (!read) return;
        PlatformWriteRgbPng((std::filesystem::path(BUILD_ROOT) / ("camera_" + name + ".png")).string(), width, height,
                            rgb);
        const double grey = FlatGreyShare(rgb, width, height), grass = GrassShare(rgb, width, height);
        std::printf("[          ] %-28s %5.1f %% flat grey, %5.1f %% grass\n", name.c_str(), grey * 100.0, grass * 100.0);
        EXPECT_LT(grey, 0.2) << name;
        EXPECT_GT(grass, 0.25) << name;
    };
    auto mouse = [](int x, int y) {
        MouseX = x;
        MouseY = y;
        HandleMatchMessage(WM_MOUSEMOVE);
    };
    auto start = [&](Preset preset) {
        MatchOptions o;
        o.beginnersCamera = preset != Preset::Low;
        StartMatch(o);
        mouse(400, 300);
        if (preset == Preset::Wide) {
            LastMessageParam = 'S';
            HandleMatchMessage(WM_KEYDOWN);
        }
        for (int i = 0; i < 200; ++i) Frame(step);
    };
    for (Preset preset : {Preset::Overhead, Preset::Wide, Preset::Low}) {
        for (const Edge& edge : kEdges) {
            start(preset);
            mouse(edge.x, edge.y);
            for (int i = 0; i < 250; ++i) Frame(step);
            mouse(400, 300);
            look(std::string(Name(preset)) + "_" + edge.name);
        }
        for (const Corner& corner : kCorners) {
            start(preset);
            ModelInstance* ball = BallModel();
            ASSERT_NE(ball, nullptr);
            BallHolder = 0;
            ball->Position = D3DVECTOR{corner.x, BALL_REST_HEIGHT, corner.z};
            ball->MatrixValid = 0;
            TheBall.destination = TheBall.aimPoint = TheBall.kickStart = TheBall.groundPoint = ball->Position;
            LastMessageParam = VK_BACK;
            HandleMatchMessage(WM_KEYDOWN);
            for (int i = 0; i < 300; ++i) Frame(step);
            look(std::string(Name(preset)) + "_corner_" + (corner.x < CENTRE_X ? "lowx" : "highx") +
                 (corner.z < CENTRE_Z ? "_lowz" : "_highz"));
        }
    }
}

}  // namespace
