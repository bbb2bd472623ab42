// What stands between the match camera's eye and what it looks at. A footballer, his number
// board or the arrow over the ball that comes close in front of the eye must not fill the
// picture: at each kick-off view of league matches (the ball key, each arrow, the view behind a
// player) and all through every preset held at every edge and corner of the screen. And the eye
// stays on the pitch side of the advertising boards and never looks at what it follows through a
// goal's net from behind it. Measured on the scene's own draw list and the instances' boxes as
// drawn, and once by rendering.
#include "fenwolt/tests/match/match_screen_support.h"

#include "fenwolt/Game/Engine/Camera.h"
#include "fenwolt/Game/Engine/Scene.h"
#include "fenwolt/Game/FrontEnd/Options.h"
#include "fenwolt/Game/GameApp.h"
#include "fenwolt/Game/Match/MatchHelpers.h"
#include "fenwolt/Game/Match/MatchScreen.h"
#include "fenwolt/Game/Match/TurnEngine.h"
#include "fenwolt/common/AppFramework.h"
#include "platform/d3dx8/d3dx8math.h"
#include "platform/tests/support/headless_device.h"
#include "platform/win32/platform_internal.h"

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

struct Box {
    D3DVECTOR lo, hi;
};

// The instance's box where it is drawn: its mesh's box through its world matrix.
Box WorldBox(int index)
{
    ModelInstance& m = TheApp.InstanceTable[index];
    if (!m.MatrixValid) ComputeInstanceWorldMatrix(index, false);
    Box b{{1e9f, 1e9f, 1e9f}, {-1e9f, -1e9f, -1e9f}};
    for (int c = 0; c < 8; ++c) {
        const D3DXVECTOR3 corner{c & 1 ? m.UnscaledBoxMax.x : m.UnscaledBoxMin.x,
                                 c & 2 ? m.UnscaledBoxMax.y : m.UnscaledBoxMin.y,
                                 c & 4 ? m.UnscaledBoxMax.z : m.UnscaledBoxMin.z};
        D3DXVECTOR3 w;
        D3DXVec3TransformCoord(&w, &corner, reinterpret_cast<const D3DXMATRIX*>(&m.WorldMatrix));
        b.lo = D3DVECTOR{std::fmin(b.lo.x, w.x), std::fmin(b.lo.y, w.y), std::fmin(b.lo.z, w.z)};
        b.hi = D3DVECTOR{std::fmax(b.hi.x, w.x), std::fmax(b.hi.y, w.y), std::fmax(b.hi.z, w.z)};
    }
    return b;
}

bool Named(const ModelInstance& m, const char* mesh) { return std::strcmp(m.Name, mesh) == 0; }

// The pieces of the match that stand up on the pitch and move: footballers, their number boards
// and the arrows over the ball and the heads.
bool StandsUpAndMoves(const ModelInstance& m)
{
    return Named(m, "xdata\\player.x") || Named(m, "xdata\\number.x") || Named(m, "xdata\\arrowd.x") ||
           Named(m, "xdata\\arrowup.x") || Named(m, "xdata\\arrow.x");
}

void ViewAndProjection(D3DXMATRIX& view, D3DXMATRIX& projection)
{
    const D3DXVECTOR3 eye{CameraEye.x, CameraEye.y, CameraEye.z}, at{CameraTarget.x, CameraTarget.y, CameraTarget.z},
        up{CameraUp.x, CameraUp.y, CameraUp.z};
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    D3DXMatrixPerspectiveFovLH(&projection, FieldOfView, ProjectionAspect, NearPlane, FarPlane);
}

// The share of the 800 x 600 picture a box covers (its corners nearer than the near plane taken
// at the near plane); 0 when it lies wholly behind it.
double PictureShare(const Box& b)
{
    D3DXMATRIX view, projection;
    ViewAndProjection(view, projection);
    const float yScale = projection._22, xScale = projection._11;
    float x0 = 1e9f, y0 = 1e9f, x1 = -1e9f, y1 = -1e9f;
    bool ahead = false;
    for (int c = 0; c < 8; ++c) {
        const D3DXVECTOR3 corner{c & 1 ? b.hi.x : b.lo.x, c & 2 ? b.hi.y : b.lo.y, c & 4 ? b.hi.z : b.lo.z};
        D3DXVECTOR3 v;
        D3DXVec3TransformCoord(&v, &corner, &view);
        ahead = ahead || v.z > NearPlane;
        const float depth = std::fmax(v.z, NearPlane);
        const float px = 400.f + 400.f * v.x * xScale / depth, py = 300.f - 300.f * v.y * yScale / depth;
        x0 = std::fmin(x0, px);
        x1 = std::fmax(x1, px);
        y0 = std::fmin(y0, py);
        y1 = std::fmax(y1, py);
    }
    if (!ahead) return 0.0;
    const double w = std::clamp(x1, 0.f, 800.f) - std::clamp(x0, 0.f, 800.f);
    const double h = std::clamp(y1, 0.f, 600.f) - std::clamp(y0, 0.f, 600.f);
    return w * h / (800.0 * 600.0);
}

// The scene engine's draw list for the present camera, as a frame would build it (without a
// device nothing is drawn, but the list is the one a device would draw).
void BuildDrawList()
{
    D3DXMATRIX view, projection;
    ViewAndProjection(view, projection);
    TheApp.SceneMatrices[1] = view;
    TheApp.SceneMatrices[2] = projection;
    DrawScene();
}

bool Drawn(int index)
{
    for (int k = 0; k < DrawCount; ++k)
        if (DrawList[k] == index && DrawListFlags[k]) return true;
    return false;
}

// The most of the picture that one drawn footballer, number board or arrow covers, of those close
// to the eye (in the near half of the way to the look-at point) and not what the camera looks at
// (within a unit of the look-at point on the ground), and which.
struct Cover {
    double share = 0.0;
    std::string what;
    float distance = 0.f;
};
Cover LargestCover(bool buildList = true)
{
    if (buildList) BuildDrawList();
    Cover worst;
    for (int i = 0; i < INSTANCE_COUNT; ++i) {
        const ModelInstance& m = TheApp.InstanceTable[i];
        if (!m.InUse || !m.InScene || !StandsUpAndMoves(m) || !Drawn(i)) continue;
        if (GroundDistance(m.Position, CameraTarget) < 1.f) continue;
        if (SpaceDistance(m.Position, CameraEye) > 0.5f * SpaceDistance(CameraTarget, CameraEye)) continue;
        const double share = PictureShare(WorldBox(i));
        if (share > worst.share) {
            worst.share = share;
            worst.what = m.Name;
            worst.distance = SpaceDistance(m.Position, CameraEye);
        }
    }
    return worst;
}

// A cover of more than this share of the picture hides it: a footballer about five units from
// the eye covers this much.
constexpr double kHidesThePicture = 0.06;

// The boards and the goals as the stadium placed them.
std::vector<Box> BoxesOf(const char* mesh)
{
    std::vector<Box> boxes;
    for (int i = 0; i < INSTANCE_COUNT; ++i)
        if (TheApp.InstanceTable[i].InUse && Named(TheApp.InstanceTable[i], mesh)) boxes.push_back(WorldBox(i));
    return boxes;
}

// Behind a board: beyond the face it turns to the pitch, along its length (and a little past
// its ends).
bool BehindABoard(const D3DVECTOR& eye, const std::vector<Box>& boards)
{
    for (const Box& b : boards) {
        const bool alongX = b.hi.x - b.lo.x > b.hi.z - b.lo.z;
        if (alongX) {
            if (eye.x < b.lo.x - 2.f || eye.x > b.hi.x + 2.f) continue;
            if (b.lo.z > CENTRE_Z ? eye.z > b.lo.z : eye.z < b.hi.z) return true;
        } else {
            if (eye.z < b.lo.z - 2.f || eye.z > b.hi.z + 2.f) continue;
            if (b.lo.x > CENTRE_X ? eye.x > b.lo.x : eye.x < b.hi.x) return true;
        }
    }
    return false;
}

// Whether the straight line from a to b passes through the box.
bool SegmentMeetsBox(const D3DVECTOR& a, const D3DVECTOR& b, const Box& box)
{
    float enter = 0.f, leave = 1.f;
    const float from[3] = {a.x, a.y, a.z}, by[3] = {b.x - a.x, b.y - a.y, b.z - a.z};
    const float lo[3] = {box.lo.x, box.lo.y, box.lo.z}, hi[3] = {box.hi.x, box.hi.y, box.hi.z};
    for (int k = 0; k < 3; ++k) {
        if (std::fabs(by[k]) < 1e-9f) {
            if (from[k] < lo[k] || from[k] > hi[k]) return false;
            continue;
        }
        float t0 = (lo[k] - from[k]) / by[k], t1 = (hi[k] - from[k]) / by[k];
        if (t0 > t1) std::swap(t0, t1);
        enter = std::fmax(enter, t0);
        leave = std::fmin(leave, t1);
        if (enter > leave) return false;
    }
    return true;
}

// From behind a goal (beyond the face it turns to the pitch), looking at a point in front of it
// through its frame or net.
bool LooksThroughAGoal(const D3DVECTOR& eye, const D3DVECTOR& target, const std::vector<Box>& goals)
{
    for (const Box& g : goals) {
        const bool lowEnd = g.hi.x < CENTRE_X;
        const float face = lowEnd ? g.hi.x : g.lo.x;
        const bool behind = lowEnd ? eye.x < face : eye.x > face;
        const bool inFront = lowEnd ? target.x > face : target.x < face;
        if (behind && inFront && SegmentMeetsBox(eye, target, g)) return true;
    }
    return false;
}

// The camera's presets, each set up from the first planning phase as a manager reaches it.
enum class Preset { Overhead, Wide, Low, Behind, Up, Right, Down, Left };
const Preset kPresets[] = {Preset::Overhead, Preset::Wide,  Preset::Low,  Preset::Behind,
                           Preset::Up,       Preset::Right, Preset::Down, Preset::Left};
const char* Name(Preset p)
{
    switch (p) {
    case Preset::Overhead: return "overhead";
    case Preset::Wide: return "wide";
    case Preset::Low: return "low";
    case Preset::Behind: return "behind";
    case Preset::Up: return "up";
    case Preset::Right: return "right";
    case Preset::Down: return "down";
    case Preset::Left: return "left";
    }
    return "?";
}

struct Pointer {
    const char* name;
    int x, y;
};
const Pointer kPointers[] = {{"bottom", 400, 599},       {"top", 400, 0},           {"left", 0, 300},
                             {"right", 799, 300},        {"top left", 0, 0},        {"top right", 799, 0},
                             {"bottom left", 0, 599},    {"bottom right", 799, 599}};

void Key(uint32_t key)
{
    LastMessageParam = key;
    HandleMatchMessage(WM_KEYDOWN);
}

void MouseAt(int x, int y)
{
    MouseX = x;
    MouseY = y;
    HandleMatchMessage(WM_MOUSEMOVE);
}

// Steps until the camera stands on the wanted one (at most `limit` frames).
void Settle(float step, int limit = 600)
{
    for (int frames = 0; frames < limit && (SpaceDistance(CameraEye, WantedCameraEye) > 0.f ||
                                            SpaceDistance(CameraTarget, WantedCameraTarget) > 0.f);
         ++frames)
        Frame(step);
}

void StartWith(Preset preset, float step, int32_t gameMode = 0, uint32_t seed = 1)
{
    MatchOptions o;
    o.seed = seed;
    o.gameMode = gameMode;
    o.beginnersCamera = preset == Preset::Overhead || preset == Preset::Wide;
    StartMatch(o);
    MouseAt(400, 300);
    // When the computer kicks off, the manager's first look is once its kick-off is played.
    for (int i = 0; i < 3000 && TurnPhase != PHASE_HOME_PLANS; ++i) Frame(step);
    Settle(step);
    switch (preset) {
    case Preset::Wide: Key('S'); break;
    case Preset::Behind: Key('0'); break;
    case Preset::Up: Key(VK_UP); break;
    case Preset::Right: Key(VK_RIGHT); break;
    case Preset::Down: Key(VK_DOWN); break;
    case Preset::Left: Key(VK_LEFT); break;
    default: break;
    }
    Settle(step);
}

// Seeds of league matches, three in which the home side kicks off and three the away side.
std::vector<uint32_t> LeagueSeeds()
{
    std::vector<uint32_t> seeds;
    int found[2] = {0, 0};
    for (uint32_t seed = 1; seed < 200 && (found[0] < 3 || found[1] < 3); ++seed) {
        MatchOptions o;
        o.seed = seed;
        o.gameMode = 2;
        StartMatch(o);
        int& side = found[FirstKickOffSide == 0 ? 0 : 1];
        if (side < 3) {
            ++side;
            seeds.push_back(seed);
        }
    }
    EXPECT_EQ(found[0], 3);
    EXPECT_EQ(found[1], 3);
    return seeds;
}

class ClearViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!app.Open(false)) GTEST_SKIP() << app.error;
    }
    void TearDown() override { app.Close(); }
    MatchApp app;
};

// The rule itself, on a camera held still over a footballer looked at from eleven units: a team
// mate three units in front of the eye and his number board are left out of the frame, as long
// as they stand there; one farther off, the one looked at and one at his side are drawn; so is
// one behind the point looked at when the eye comes close to it; and the stadium never gives way.
TEST_F(ClearViewTest, OnlyWhatStandsCloseInFrontOfTheEyeGivesWay)
{
    MatchOptions o;
    StartMatch(o);
    auto put = [](int32_t player, float x, float z) {
        ModelInstance* m = PlayerModel(player);
        m->Position = D3DVECTOR{x, 0.f, z};
        m->MatrixValid = 0;
        m->Moved = 1;
        ModelInstance* plate = InstanceAt(MatchPlayers[player].numberMarkerModel);
        plate->Position = D3DVECTOR{x, 1.27f, z};
        plate->MatrixValid = 0;
        plate->Moved = 1;
    };
    auto drawn = [](int32_t player) { return Drawn(MatchPlayers[player].model); };
    auto plateDrawn = [](int32_t player) { return Drawn(MatchPlayers[player].numberMarkerModel); };
    CameraEye = D3DVECTOR{30.f, 2.7f, 42.f};
    CameraTarget = D3DVECTOR{41.f, 0.f, 42.f};
    put(9, 41.f, 42.f);    // looked at
    put(3, 33.f, 42.f);    // three units in front of the eye
    put(4, 36.5f, 46.f);   // seven units off
    put(6, 40.5f, 42.6f);  // at the side of the one looked at
    BuildDrawList();
    EXPECT_FALSE(drawn(3));
    EXPECT_FALSE(plateDrawn(3));
    EXPECT_TRUE(drawn(4));
    EXPECT_TRUE(drawn(9));
    EXPECT_TRUE(plateDrawn(9));
    EXPECT_TRUE(drawn(6));
    // The camera stands still while he walks on, and back.
    put(3, 37.f, 42.f);
    BuildDrawList();
    EXPECT_TRUE(drawn(3));
    EXPECT_TRUE(plateDrawn(3));
    put(3, 32.5f, 41.5f);
    BuildDrawList();
    EXPECT_FALSE(drawn(3));
    // Zoomed in to two units: one a unit behind the point looked at is not between.
    CameraEye = D3DVECTOR{39.f, 1.f, 42.f};
    put(3, 42.f, 42.f);
    BuildDrawList();
    EXPECT_TRUE(drawn(3));
    // The stadium's pieces never give way, however near the eye comes to them.
    for (const ModelInstance& m : TheApp.InstanceTable) {
        if (m.InUse && m.Kind == 11) {
            EXPECT_FALSE(m.Flags & INSTANCE_FLAG_GIVES_WAY_TO_EYE) << m.Name;
        }
    }
}

// League matches, so that either side may kick off, in both camera modes: each key that sets a
// view at the kick-off, pressed on its own, the camera then settled.
TEST_F(ClearViewTest, NoFootballerOrNumberBoardFillsAKickOffView)
{
    struct KeyView {
        const char* name;
        uint32_t key;
    };
    const KeyView keys[] = {{"kick-off", 0},     {"Backspace", VK_BACK}, {"Enter", VK_RETURN}, {"Up", VK_UP},
                            {"Right", VK_RIGHT}, {"Down", VK_DOWN},      {"Left", VK_LEFT},    {"0", '0'}};
    const std::vector<uint32_t> seeds = LeagueSeeds();
    int views = 0, covered = 0;
    for (bool beginners : {false, true})
        for (uint32_t seed : seeds)
            for (const KeyView& k : keys) {
                StartWith(beginners ? Preset::Overhead : Preset::Low, 0.04f, 2, seed);
                if (k.key) Key(k.key);
                Settle(0.04f);
                const Cover c = LargestCover();
                ++views;
                if (c.share >= kHidesThePicture) {
                    ++covered;
                    std::printf("[          ] %s, seed %u, %s: %s %.2f from the eye covers %.0f %% of the picture\n",
                                beginners ? "beginners" : "manager", seed, k.name, c.what.c_str(), c.distance,
                                c.share * 100.0);
                }
                EXPECT_LT(c.share, kHidesThePicture) << (beginners ? "beginners" : "manager") << ", seed " << seed
                                                     << ", " << k.name << ": " << c.what;
            }
    std::printf("[          ] %d of %d kick-off views covered\n", covered, views);
}

// Every preset with the pointer held twenty seconds on each edge and in each corner of the
// screen, at the 40 ms step of a loaded machine: frame by frame the eye stays on the pitch side
// of every board and never looks through a goal from behind it, and no footballer or number
// board close in front of it fills the picture.
TEST_F(ClearViewTest, EveryPresetAtEveryEdgeAndCornerKeepsTheEyeClear)
{
    const float step = 0.04f;
    int frames = 0, behindBoards = 0, throughGoals = 0, covered = 0, looked = 0;
    for (Preset preset : kPresets)
        for (const Pointer& pointer : kPointers) {
            StartWith(preset, step);
            const std::vector<Box> boards = BoxesOf("xdata\\boards.x"), goals = BoxesOf("xdata\\goal.x");
            ASSERT_EQ(boards.size(), 8u);
            ASSERT_EQ(goals.size(), 2u);
            MouseAt(pointer.x, pointer.y);
            int boardFrames = 0, goalFrames = 0, coverFrames = 0;
            Cover worst;
            for (int frame = 0; frame < 500; ++frame) {
                Frame(step);
                ++frames;
                boardFrames += BehindABoard(CameraEye, boards);
                goalFrames += LooksThroughAGoal(CameraEye, CameraTarget, goals);
                if (frame % 5 == 4) {
                    const Cover c = LargestCover();
                    ++looked;
                    coverFrames += c.share >= kHidesThePicture;
                    if (c.share > worst.share) worst = c;
                }
            }
            behindBoards += boardFrames;
            throughGoals += goalFrames;
            covered += coverFrames;
            if (boardFrames || goalFrames || coverFrames)
                std::printf("[          ] %-8s %-12s eye (%7.2f %5.2f %7.2f): %d frames behind a board, %d through a "
                            "goal, %d covered (worst %.0f %%, %s %.2f from the eye)\n",
                            Name(preset), pointer.name, CameraEye.x, CameraEye.y, CameraEye.z, boardFrames, goalFrames,
                            coverFrames, worst.share * 100.0, worst.what.c_str(), worst.distance);
            EXPECT_EQ(boardFrames, 0) << Name(preset) << ", " << pointer.name;
            EXPECT_EQ(goalFrames, 0) << Name(preset) << ", " << pointer.name;
            EXPECT_EQ(coverFrames, 0) << Name(preset) << ", " << pointer.name;
        }
    std::printf("[          ] %d frames: %d with the eye behind a board, %d looking through a goal; %d of %d looked at "
                "covered\n",
                frames, behindBoards, throughGoals, covered, looked);
}

// In the overview, N cycles the selection round to the keeper, whom the camera then looks at
// from the ball's side of him: over his goal, never through its net; and a ball kicked into the
// net is followed from the pitch's side.
TEST_F(ClearViewTest, TheOverviewOfAKeeperLooksOverHisGoal)
{
    const float step = 0.04f;
    StartWith(Preset::Wide, step);
    const std::vector<Box> goals = BoxesOf("xdata\\goal.x");
    int presses = 0;
    while (SelectedPlayer != 0 && presses < SIDE_SIZE) {
        Key('N');
        ++presses;
    }
    ASSERT_EQ(SelectedPlayer, 0);
    int through = 0;
    for (int i = 0; i < 300; ++i) {
        Frame(step);
        through += LooksThroughAGoal(CameraEye, CameraTarget, goals);
    }
    std::printf("[          ] the keeper seen from (%.2f %.2f %.2f), %d frames through the net\n", CameraEye.x,
                CameraEye.y, CameraEye.z, through);
    EXPECT_EQ(through, 0);
    EXPECT_LT(GroundDistance(CameraTarget, PlayerModel(0)->Position), 0.01f) << "the camera is on him";
}

// The same by rendering: the bottom edge held in each arrow's view, and the boards' share of the
// picture (the pixels that change when they are taken out of the scene) in its lower quarter;
// the kick-off views of a league match kept as pictures.
TEST(ClearViewPicture, NoBoardCoversTheLowerQuarterAtTheBottomEdge)
{
    MatchApp app;
    if (!app.Open(true)) GTEST_SKIP() << app.error;
    const float step = 0.04f;
    auto grab = [](std::vector<uint8_t>& rgb) {
        TheApp.RenderFrame();
        int width = 0, height = 0;
        const bool read = ReadFrame(TheApp.Device, width, height, rgb);
        TheApp.Device->Present(nullptr, nullptr, nullptr, nullptr);
        return read && width == 800 && height == 600;
    };
    auto keep = [](const std::string& name, const std::vector<uint8_t>& rgb) {
        PlatformWriteRgbPng((std::filesystem::path(BUILD_ROOT) / ("clear_view_" + name + ".png")).string(), 800, 600,
                            rgb);
    };
    auto showBoards = [](bool show) {
        for (int i = 0; i < INSTANCE_COUNT; ++i)
            if (TheApp.InstanceTable[i].InUse && Named(TheApp.InstanceTable[i], "xdata\\boards.x"))
                SetInstanceVisible(i, show);
        ForceSceneRebuild();
    };
    for (Preset preset : {Preset::Up, Preset::Right, Preset::Down, Preset::Left}) {
        StartWith(preset, step);
        MouseAt(400, 599);
        for (int i = 0; i < 400; ++i) Frame(step);
        std::vector<uint8_t> with, without;
        ASSERT_TRUE(grab(with));
        showBoards(false);
        ASSERT_TRUE(grab(without));
        showBoards(true);
        keep(std::string("bottom_") + Name(preset), with);
        // The lower quarter of the 3D view, left of the buttons and right of the player panel.
        int changed = 0, pixels = 0;
        for (int y = 450; y < 575; ++y)
            for (int x = 145; x < 690; ++x) {
                const uint8_t* a = &with[(static_cast<size_t>(y) * 800 + x) * 3];
                const uint8_t* b = &without[(static_cast<size_t>(y) * 800 + x) * 3];
                ++pixels;
                changed += std::abs(a[0] - b[0]) + std::abs(a[1] - b[1]) + std::abs(a[2] - b[2]) > 30;
            }
        const double share = (double)changed / pixels;
        std::printf("[          ] %-6s bottom edge: eye (%.2f %.2f %.2f), the boards cover %.1f %% of the lower "
                    "quarter\n",
                    Name(preset), CameraEye.x, CameraEye.y, CameraEye.z, share * 100.0);
        EXPECT_LT(share, 0.02) << Name(preset);
    }
    // The keeper in the overview, as N reaches him.
    StartWith(Preset::Wide, step);
    for (int presses = 0; SelectedPlayer != 0 && presses < SIDE_SIZE; ++presses) Key('N');
    for (int i = 0; i < 300; ++i) Frame(step);
    std::vector<uint8_t> keeper;
    ASSERT_TRUE(grab(keeper));
    keep("overview_keeper", keeper);

    struct KeyView {
        const char* name;
        uint32_t key;
    };
    const std::vector<uint32_t> seeds = LeagueSeeds();
    for (size_t n : {size_t(0), seeds.size() - 1})
        for (const KeyView& k : {KeyView{"backspace", VK_BACK}, KeyView{"up", VK_UP}, KeyView{"right", VK_RIGHT},
                                 KeyView{"down", VK_DOWN}, KeyView{"left", VK_LEFT}}) {
            const uint32_t seed = seeds[n];
            StartWith(Preset::Low, step, 2, seed);
            Key(k.key);
            Settle(step);
            std::vector<uint8_t> rgb;
            ASSERT_TRUE(grab(rgb));
            const Cover c = LargestCover(false);  // the list the frame was drawn from
            keep(std::string("kickoff_") + (FirstKickOffSide == 0 ? "home_" : "away_") + k.name, rgb);
            EXPECT_LT(c.share, kHidesThePicture) << k.name << ", seed " << seed << ": " << c.what;
        }
}

}  // namespace
