// The games on a desktop with a window manager (openbox on Xvfb), driven as a person would with
// xdotool: Skerrow's ship reaches both walls however the pointer rested when the level began;
// keys tapped without a hold count; a window dragged across the game in the background leaves
// nothing behind; and a full-screen game (Skerrow, and Fenwolt after Alt+Enter) that another
// program is activated over leaves the display to it and takes it back when activated again. On
// screens smaller than their windows ask for (800 x 600, 640 x 480, a panel along the bottom),
// both games' windows lie inside the desktop's usable area, and a click on their lowest button acts.
// Minimised from full screen by the manager, either game stays minimised and rests until it is
// activated again, full screen once more; Fenwolt's window maximised shows its picture scaled and
// takes clicks there; each of its connection dialogs opens in one place and takes the first click.
// Screenshots of the root window are kept in <build>/desktop-shots for a person to look at.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include <unistd.h>

#include <fstream>
#include <sstream>

#include "window_manager.h"
#include "xvfb_display.h"
#include "platform/tests/support/test_requirements.h"

namespace fs = std::filesystem;
using namespace desktop;

namespace {

constexpr int kScreenW = 1280, kScreenH = 1024;

class Desktop : public XvfbTest {
protected:
    explicit Desktop(int width = kScreenW, int height = kScreenH) : XvfbTest(width, height, "the window-manager test")
    {
    }

    void SetUp() override
    {
        XvfbTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        const std::string openbox = FindProgram("openbox");
        if (openbox.empty())
            SKIP_WITHOUT("openbox") << "needs openbox on PATH (tools/install-deps.sh installs it); the desktop with a window "
                            "manager did not run";
        hold = std::make_unique<DisplayHold>(display.Name());
        ASSERT_TRUE(hold->Held()) << "no connection to " << display.Name();
        fs::create_directories(root / "config");
        windowManager = Start({openbox}, Environment({{"DISPLAY", display.Name()},
                                                      {"XDG_CONFIG_HOME", (root / "config").string()},
                                                      {"XDG_CACHE_HOME", (root / "config").string()}}),
                              {}, (root / "openbox.log").string());
        ASSERT_TRUE(WaitFor([&] { return WindowManagerRunning(display.Name()); })) << FileText(root / "openbox.log");
    }
    void TearDown() override
    {
        game.Kill();
        windowManager.Kill();
        hold.reset();
        XvfbTest::TearDown();
    }

    bool Screenshot(const std::string& name, Shot& shot) const { return XvfbTest::Screenshot("wm-" + name, shot); }

    // The visible window of that title (an anchored pattern), 0 when there is none.
    unsigned long WindowId(const std::string& title) const
    {
        return std::strtoul(WindowNamed(title).c_str(), nullptr, 10);
    }
    WindowPlace PlaceOf(unsigned long window) const
    {
        WindowPlace place;
        FindWindowPlace(display.Name(), window, place);
        return place;
    }
    void Activate(unsigned long window) { Xdotool({"windowactivate", "--sync", std::to_string(window)}); }
    void MoveWindow(unsigned long window, int x, int y)
    {
        Xdotool({"windowmove", "--sync", std::to_string(window), std::to_string(x), std::to_string(y)});
    }

    // --- Skerrow -------------------------------------------------------------------------------
    // Skerrow up to its menu, its window found, the pointer its own.
    void StartSkerrowMenu(bool fullscreen)
    {
        StartSkerrow(fullscreen);
        ASSERT_TRUE(WaitForLog("Screen switched to MenuScreen")) << FileText(root / "game.out");
        // The game does not wait for the window manager to put its window on the screen.
        ASSERT_TRUE(WaitFor([&] { return (skerrow = WindowId(kSkerrowTitle)) != 0; })) << "the window was never shown";
        // The game owns the pointer once its window is active and its mouse acquired.
        ASSERT_TRUE(WaitFor([&] { return PointerGrabbed(display.Name()); })) << "the pointer stayed free";
        const WindowPlace place = PlaceOf(skerrow);
        picture = Picture(Rect{place.x, place.y, place.width, place.height}, 640, 480);
    }

    // The pointer to a pixel of the game's picture, and a click there (down and up at once).
    void ClickAt(double px, double py)
    {
        Xdotool({"mousemove", std::to_string(picture.ScreenX(px)), std::to_string(picture.ScreenY(py))});
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        Xdotool({"click", "1"});
    }

    // From the menu to the first level: NEW GAME, the lit planet, then START clicked near its
    // left end, the far left of the map.
    void StartFirstLevel()
    {
        const size_t maps = LogCount("Screen switched to NodeScreen"), levels = LogCount("Screen switched to GameScreen");
        ClickAt(456, 199);
        ASSERT_TRUE(WaitForLog("Screen switched to NodeScreen", maps + 1)) << "NEW GAME did not open the map";
        // The planet is revealed some frames after the map opens: picked again until START takes.
        ASSERT_TRUE(WaitFor([&] {
            ClickAt(320, 300);
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            ClickAt(76, 404);
            return WaitForLog("Screen switched to GameScreen", levels + 1, 2);
        })) << "START did not start the level";
        ASSERT_EQ(LogCount("Screen switched to GameScreen"), levels + 1);
    }

    // The ship's span in picture pixels (left and right end of its body), from a screenshot: the
    // longest run of its grey-blue hull in the rows it flies in. False when none is seen.
    bool ShipSpan(const Shot& shot, double& left, double& right) const
    {
        int bestA = 0, bestB = -1;
        for (int py = 355; py < 392; ++py) {
            const int sy = picture.ScreenY(py);
            int start = -1, last = -100;
            const auto close = [&] {
                if (start >= 0 && last - start > bestB - bestA) {
                    bestA = start;
                    bestB = last;
                }
            };
            for (int sx = picture.ScreenX(0); sx < picture.ScreenX(640); ++sx) {
                const uint8_t* p = shot.At(sx, sy);
                if (p[0] + p[1] + p[2] <= 400 || p[2] < p[0]) continue;
                if (sx - last > 3) {
                    close();
                    start = sx;
                }
                last = sx;
            }
            close();
        }
        if ((bestB - bestA) / picture.scale < 40) return false;
        left = picture.PictureX(bestA);
        right = picture.PictureX(bestB);
        return true;
    }

    // Waits until the ship's middle is within a few pixels of `x`; false with where it was.
    bool ShipReaches(double x, const std::string& shot, double& middle)
    {
        middle = -1;
        return WaitFor(
            [&] {
                Shot s;
                double l = 0, r = 0;
                if (!Screenshot(shot, s) || !ShipSpan(s, l, r)) return false;
                middle = (l + r) / 2;
                return std::fabs(middle - x) <= 6;
            });
    }

    // The real pointer moved by (dx, dy) screen pixels in steps, as a hand moves a mouse.
    void MovePointerBy(int dx, int dy)
    {
        const int steps = std::max(1, std::max(std::abs(dx), std::abs(dy)) / 40);
        for (int i = 0; i < steps; ++i) {
            Xdotool({"mousemove_relative", "--", std::to_string(dx / steps), std::to_string(dy / steps)});
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    // Another program's window activated over a full-screen game: the game is minimised and
    // leaves the whole display to it, nothing of its picture left anywhere; activated again, it
    // covers the display with its picture once more (and, given `activations`, counts one more).
    void AnotherProgramOverFullScreen(unsigned long gameWindow, const std::string& name,
                                      const std::function<size_t()>& activations = {})
    {
        OtherClientWindow other(display.Name());
        const unsigned long otherId = other.Id();
        ASSERT_TRUE(WaitFor([&] { return PlaceOf(otherId).viewable; }));
        MoveWindow(otherId, 500, 400);
        Activate(otherId);
        EXPECT_TRUE(WaitFor([&] { return PlaceOf(gameWindow).minimised; }))
            << name << ": still on the display at " << PlaceOf(gameWindow).width << "x" << PlaceOf(gameWindow).height;
        const WindowPlace o = PlaceOf(otherId);
        Shot shot;
        // The desktop is black but for the other window (its frame included).
        const auto leftAlone = [&] {
            if (!Screenshot(name + "-other-active", shot)) return false;
            size_t lit = 0;
            for (int y = 0; y < kScreenH; y += 2)
                for (int x = 0; x < kScreenW; x += 2) {
                    if (x >= o.x - 30 && x < o.x + o.width + 30 && y >= o.y - 40 && y < o.y + o.height + 30) continue;
                    const uint8_t* p = shot.At(x, y);
                    lit += p[0] + p[1] + p[2] >= 30;
                }
            return lit < 50;
        };
        EXPECT_TRUE(WaitFor(leftAlone)) << name << ": the game's picture is still shown";

        const size_t before = activations ? activations() : 0;
        Activate(gameWindow);
        EXPECT_TRUE(WaitFor(
            [&] {
                const WindowPlace p = PlaceOf(gameWindow);
                return p.viewable && !p.minimised && p.width == kScreenW && p.height == kScreenH;
            }))
            << name << ": not full screen again: " << PlaceOf(gameWindow).width << "x" << PlaceOf(gameWindow).height;
        if (activations) {
            EXPECT_TRUE(WaitFor([&] { return activations() > before; })) << name;
        }
        const Rect all{0, 0, kScreenW, kScreenH};
        EXPECT_TRUE(WaitFor([&] { return Screenshot(name + "-back", shot) && shot.DarkShare(all) < 0.5; }))
            << name << ": " << shot.DarkShare(all) << " of the display dark";
    }

    // The processor time the game has used so far, in seconds (0 when it cannot be read).
    double GameCpuSeconds() const
    {
        std::ifstream stat("/proc/" + std::to_string(game.pid) + "/stat");
        std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
        const size_t end = text.rfind(')');
        if (end == std::string::npos) return 0;
        std::istringstream fields(text.substr(end + 2));
        std::string field;
        double user = 0, system = 0;
        // After the name: state, then 10 fields up to the user and system times.
        for (int i = 0; i < 13 && fields >> field; ++i) {
            if (i == 11) user = std::atof(field.c_str());
            if (i == 12) system = std::atof(field.c_str());
        }
        return (user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
    }

    // A full-screen game minimised by the window manager (as its task bar or a key would) stays
    // minimised and rests, using a small share of a processor where it drew frames before;
    // activated again it covers the display with its picture once more. `deactivations` counts
    // the game's own notes of losing the activation (none to look at: an empty function).
    void MinimisedFromFullScreen(unsigned long gameWindow, const std::string& name,
                                 const std::function<size_t()>& deactivations = {})
    {
        const int screenW = display.Width(), screenH = display.Height();
        const size_t before = deactivations ? deactivations() : 0;
        Xdotool({"windowminimize", std::to_string(gameWindow)});
        ASSERT_TRUE(WaitFor([&] { return PlaceOf(gameWindow).minimised; })) << name << ": never minimised";
        if (deactivations) {
            EXPECT_TRUE(WaitFor([&] { return deactivations() > before; })) << name << ": not deactivated";
        }
        // It took the game well under a second to undo it: three seconds of looking catch that.
        const double cpuBefore = GameCpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        bool stayed = true;
        while (std::chrono::steady_clock::now() - start < std::chrono::seconds(3)) {
            const WindowPlace p = PlaceOf(gameWindow);
            stayed = stayed && p.minimised && !p.viewable;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_TRUE(stayed) << name << ": the game came back from the task bar by itself";
        // Drawing it kept a processor busy or near it; resting, a few hundredths.
        EXPECT_LT(GameCpuSeconds() - cpuBefore, 0.4 * wall) << name << ": still drawing while minimised";

        Activate(gameWindow);
        EXPECT_TRUE(WaitFor([&] {
            const WindowPlace p = PlaceOf(gameWindow);
            return p.viewable && !p.minimised && p.width == screenW && p.height == screenH;
        })) << name << ": not full screen again: " << PlaceOf(gameWindow).width << "x" << PlaceOf(gameWindow).height;
        Shot shot;
        const Rect all{0, 0, screenW, screenH};
        EXPECT_TRUE(WaitFor([&] { return Screenshot(name + "-back-from-minimised", shot) && shot.DarkShare(all) < 0.5; }))
            << name << ": " << shot.DarkShare(all) << " of the display dark";
    }

    // A person's click: the pointer there, a moment's rest, the button held for a tenth of a second.
    void PressAndRelease(int x, int y)
    {
        Xdotool({"mousemove", std::to_string(x), std::to_string(y)});
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        Xdotool({"mousedown", "1"});
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        Xdotool({"mouseup", "1"});
    }

    std::unique_ptr<DisplayHold> hold;
    Child windowManager;
    unsigned long skerrow = 0;
    Picture picture;
};

// A full HD screen: full screen shows 640 x 480 at 2.25 and 800 x 600 at 1.8, pillarboxed.
class FullHdDesktop : public Desktop {
protected:
    FullHdDesktop() : Desktop(1920, 1080) {}
};

// A screen smaller than the games' windows ask for, with a panel along its bottom (when given a
// height) that leaves them less room still.
struct SmallScreen {
    int width, height, panel;
};

void PrintTo(const SmallScreen& s, std::ostream* out) { *out << s.width << "x" << s.height << "+panel" << s.panel; }

class SmallDesktop : public Desktop, public ::testing::WithParamInterface<SmallScreen> {
protected:
    SmallDesktop() : Desktop(GetParam().width, GetParam().height) {}

    void SetUp() override
    {
        Desktop::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        const int panelHeight = GetParam().panel;
        if (panelHeight) panel = std::make_unique<BottomPanel>(display.Name(), panelHeight);
        ASSERT_TRUE(WaitFor([&] {
            if (panel) panel->Show();
            return FindUsableArea(display.Name(), usable) && usable.height == display.Height() - panelHeight;
        })) << "the window manager never took the panel's room off the desktop";
    }
    void TearDown() override
    {
        panel.reset();
        Desktop::TearDown();
    }

    // Whether the window, framed by the manager, lies with its frame inside the usable area.
    bool FramedInsideUsableArea(unsigned long window, WindowPlace& place) const
    {
        place = PlaceOf(window);
        return place.viewable && place.frameTop > 0 && place.x - place.frameLeft >= usable.x &&
               place.y - place.frameTop >= usable.y &&
               place.x + place.width + place.frameRight <= usable.x + usable.width &&
               place.y + place.height + place.frameBottom <= usable.y + usable.height;
    }
    std::string Describe(const WindowPlace& p) const
    {
        return "client area " + std::to_string(p.width) + "x" + std::to_string(p.height) + " at (" +
               std::to_string(p.x) + ", " + std::to_string(p.y) + "), frame " + std::to_string(p.frameLeft) + "/" +
               std::to_string(p.frameTop) + "/" + std::to_string(p.frameRight) + "/" +
               std::to_string(p.frameBottom) + "; usable area " + std::to_string(usable.width) + "x" +
               std::to_string(usable.height) + " at (" + std::to_string(usable.x) + ", " + std::to_string(usable.y) +
               ")";
    }
    // The window of that title placed inside the usable area, at the client size it asks for
    // (asked.w x asked.h) or as large as fits there; its picture (of width x height) found in it.
    void ExpectFits(const std::string& title, const Rect& asked, int width, int height, const std::string& name)
    {
        WindowPlace place;
        EXPECT_TRUE(WaitFor([&] { return FramedInsideUsableArea(WindowId(title), place); }))
            << name << ": " << Describe(place);
        EXPECT_TRUE((place.width == asked.w && place.height == asked.h) ||
                    place.frameLeft + place.width + place.frameRight == usable.width ||
                    place.frameTop + place.height + place.frameBottom == usable.height)
            << name << " is smaller than it need be: " << Describe(place);
        picture = Picture(Rect{place.x, place.y, place.width, place.height}, width, height);
        Shot shot;
        Screenshot(name + "-" + std::to_string(display.Width()) + "-panel" + std::to_string(GetParam().panel), shot);
    }
    // Clicks at a pixel of the picture until `done`, each click given a moment to act; false when
    // none ever did.
    bool ClickUntil(double px, double py, const std::function<bool()>& done)
    {
        return WaitFor([&] {
            ClickAt(px, py);
            return WaitFor(done, 2);
        });
    }

    std::unique_ptr<BottomPanel> panel;
    UsableArea usable;
};

// A desktop whose window manager, not yet announced, drops the first map request of every window,
// as one that is still starting up now and then does.
class ForgetfulDesktop : public XvfbTest {
protected:
    ForgetfulDesktop() : XvfbTest(kScreenW, kScreenH, "the forgetful window-manager test") {}

    void SetUp() override
    {
        XvfbTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        windowManager = std::make_unique<ForgetfulWindowManager>(display.Name());
        ASSERT_TRUE(windowManager->Running()) << "no window manager of the test's own on " << display.Name();
    }
    void TearDown() override
    {
        game.Kill();
        windowManager.reset();
        XvfbTest::TearDown();
    }

    std::unique_ptr<ForgetfulWindowManager> windowManager;
};

}  // namespace

// The game does not hang on the request that went unanswered: it starts its menu meanwhile, and
// asks again, so that its window comes to the screen.
TEST_F(ForgetfulDesktop, SkerrowStartsThoughItsFirstMapRequestWasDropped)
{
    StartSkerrow(false);
    ASSERT_TRUE(WaitForLog("Screen switched to MenuScreen")) << "the game never reached its menu";
    EXPECT_TRUE(WaitFor([&] { return !WindowNamed(kSkerrowTitle).empty(); })) << "its window was never shown";
    EXPECT_GE(windowManager->MapRequests(), 2);
}

TEST_F(ForgetfulDesktop, FenwoltStartsThoughItsFirstMapRequestWasDropped)
{
    StartFenwolt();
    if (HasFatalFailure()) return;
    EXPECT_GE(windowManager->MapRequests(), 2);
}

// A level puts the ship in the middle; the pointer rested on START, at the far left of the map.
// Pushed to the left wall (by a mouse's steps) and to the right one (as a tablet puts it), the
// ship goes as far as the pointer: to each wall.
TEST_F(Desktop, SkerrowShipReachesBothWallsWhereverThePointerRested)
{
    StartSkerrowMenu(false);
    if (HasFatalFailure()) return;
    StartFirstLevel();
    if (HasFatalFailure()) return;
    double middle = 0;
    ASSERT_TRUE(ShipReaches(320, "ship-start", middle)) << "the ship is not shown in the middle: " << middle;
    MovePointerBy(-picture.ScreenX(640), 0);
    EXPECT_TRUE(ShipReaches(40, "ship-left", middle)) << "the ship stopped at " << middle << ", not at the left wall";
    Xdotool({"mousemove", std::to_string(kScreenW - 1), std::to_string(picture.ScreenY(370))});
    EXPECT_TRUE(ShipReaches(598, "ship-right", middle)) << "the ship stopped at " << middle << ", not at the right wall";
}

// The keyboard is read once a frame; a key tapped as xdotool taps it (down and up at once, well
// within a frame) counts all the same: Escape leaves the help screen each time.
TEST_F(Desktop, SkerrowCountsKeysTappedWithoutAHold)
{
    StartSkerrowMenu(false);
    if (HasFatalFailure()) return;
    int left = 0;
    const int taps = 6;
    for (int i = 0; i < taps; ++i) {
        const size_t helps = LogCount("Screen switched to HelpScreen"), menus = LogCount("Screen switched to MenuScreen");
        // A click soon after the last one is a double click, which no button takes: clicked
        // again until the help opens.
        ASSERT_TRUE(WaitFor([&] {
            ClickAt(456, 390);
            return WaitForLog("Screen switched to HelpScreen", helps + 1, 2);
        })) << "HELP did not open the help";
        ASSERT_EQ(LogCount("Screen switched to HelpScreen"), helps + 1);
        Xdotool({"key", "Escape"});
        // A tap the game missed is never answered; a quarter of the patience is a bound for that,
        // far beyond the frames of a busy machine.
        if (WaitForLog("Screen switched to MenuScreen", menus + 1, Patience / 4)) {
            ++left;
            continue;
        }
        // Missed: held down as a finger would, to go on from the menu.
        ASSERT_TRUE(HoldUntil("Escape", [&] { return LogCount("Screen switched to MenuScreen") > menus; }));
    }
    EXPECT_EQ(left, taps) << "tapped Escape left the help screen " << left << " times out of " << taps;
}

// In a window, in the background: another program's window dragged across the game leaves no
// copies of itself on it; the game shows its last picture wherever it was uncovered.
TEST_F(Desktop, SkerrowWindowInTheBackgroundKeepsItsPicture)
{
    StartSkerrowMenu(false);
    if (HasFatalFailure()) return;
    const WindowPlace g = PlaceOf(skerrow);
    const size_t released = LogCount("Release...");
    OtherClientWindow other(display.Name());
    const unsigned long otherId = other.Id();
    ASSERT_TRUE(WaitFor([&] { return PlaceOf(otherId).viewable; }));
    MoveWindow(otherId, g.x + g.width + 100, g.y + g.height + 100);
    Activate(otherId);
    ASSERT_TRUE(WaitForLog("Release...", released + 1)) << "the game was not deactivated";
    Shot before, after;
    ASSERT_TRUE(Screenshot("background-before", before));
    for (int x = g.x + g.width; x > g.x - 250; x -= 60) MoveWindow(otherId, x, g.y + g.height / 3);
    MoveWindow(otherId, g.x + g.width + 100, g.y + g.height + 100);
    double changed = 1;
    EXPECT_TRUE(WaitFor(
        [&] {
            if (!Screenshot("background-after", after)) return false;
            size_t n = 0;
            for (int y = g.y; y < g.y + g.height; ++y)
                for (int x = g.x; x < g.x + g.width; ++x) n += Shot::Difference(before.At(x, y), after.At(x, y)) > 48;
            changed = static_cast<double>(n) / (static_cast<double>(g.width) * g.height);
            return changed < 0.01;
        }))
        << changed << " of the game's window changed";
}

TEST_F(Desktop, SkerrowFullScreenGivesTheDisplayToAnotherProgramActivatedOverIt)
{
    StartSkerrowMenu(true);
    if (HasFatalFailure()) return;
    ASSERT_EQ(PlaceOf(skerrow).width, kScreenW);
    AnotherProgramOverFullScreen(skerrow, "skerrow", [&] { return LogCount("Activate..."); });
    // And it plays on: the pointer is the game's again.
    EXPECT_TRUE(WaitFor([&] { return PointerGrabbed(display.Name()); }));
}

TEST_F(Desktop, FenwoltFullScreenGivesTheDisplayToAnotherProgramActivatedOverIt)
{
    StartFenwolt();
    if (HasFatalFailure()) return;
    const unsigned long fenwolt = WindowId(kFenwoltTitle);
    Activate(fenwolt);
    Press("alt+Return");
    ASSERT_TRUE(WaitFor([&] { return PlaceOf(fenwolt).width == kScreenW && PlaceOf(fenwolt).height == kScreenH; }))
        << "Alt+Enter did not put the game in full screen";
    AnotherProgramOverFullScreen(fenwolt, "fenwolt");
}

// On a small screen each game's window is placed, and where it must scaled, to lie inside the
// desktop's usable area with its frame, and the lowest button of its menu takes a click.
INSTANTIATE_TEST_SUITE_P(Screens, SmallDesktop,
                         ::testing::Values(SmallScreen{800, 600, 0}, SmallScreen{640, 480, 0}, SmallScreen{800, 600, 48}),
                         [](const ::testing::TestParamInfo<SmallScreen>& info) {
                             return std::to_string(info.param.width) + "x" + std::to_string(info.param.height) +
                                    (info.param.panel ? "WithPanel" : "");
                         });

TEST_P(SmallDesktop, SkerrowWindowFitsAndQuitTakesAClick)
{
    StartSkerrowMenu(false);
    if (HasFatalFailure()) return;
    // It asks for an outer 800 x 600 (the frame this system draws around a resizable window
    // taken off): its 640 x 480 picture shown larger.
    ExpectFits(kSkerrowTitle, Rect{0, 0, 792, 573}, 640, 480, "skerrow-fits");
    EXPECT_TRUE(ClickUntil(456, 438, [&] { return !game.Running(); })) << "QUIT took no click";
    EXPECT_EQ(game.code, 0);
}

TEST_P(SmallDesktop, FenwoltWindowFitsAndExitTakesAClick)
{
    StartFenwolt(false);
    if (HasFatalFailure()) return;
    ExpectFits(kFenwoltTitle, Rect{0, 0, 800, 600}, 800, 600, "fenwolt-fits");
    // Where the box that asks whether to quit stands, it is a dark blue; the menu there is the
    // pitch's green (the intro a black).
    const auto boxShown = [&] {
        Shot shot;
        if (!Screenshot("fenwolt-quit-box", shot)) return false;
        const uint8_t* p = shot.At(picture.ScreenX(250), picture.ScreenY(380));
        return p[2] > p[1] + 10 && p[2] > p[0] + 20;
    };
    // The first clicks take the intro on to the start menu, whose EXIT then asks; Yes ends it.
    ASSERT_TRUE(ClickUntil(700, 310, boxShown)) << "EXIT took no click";
    EXPECT_TRUE(ClickUntil(305, 312, [&] { return !game.Running(); })) << "Yes took no click";
    EXPECT_EQ(game.code, 0);
}

TEST_F(FullHdDesktop, SkerrowMinimisedFromFullScreenStaysMinimisedUntilActivated)
{
    StartSkerrowMenu(true);
    if (HasFatalFailure()) return;
    ASSERT_EQ(PlaceOf(skerrow).width, display.Width());
    const size_t activations = LogCount("Activate...");
    MinimisedFromFullScreen(skerrow, "skerrow", [&] { return LogCount("Release..."); });
    // Activated again, it plays on with the pointer its own.
    EXPECT_TRUE(WaitForLog("Activate...", activations + 1)) << FileText(folder / "Log.txt");
    EXPECT_TRUE(WaitFor([&] { return PointerGrabbed(display.Name()); }));
}

TEST_F(FullHdDesktop, FenwoltMinimisedFromFullScreenStaysMinimisedUntilActivated)
{
    StartFenwolt();
    if (HasFatalFailure()) return;
    const unsigned long fenwolt = WindowId(kFenwoltTitle);
    Activate(fenwolt);
    Press("alt+Return");
    ASSERT_TRUE(WaitFor([&] {
        return PlaceOf(fenwolt).width == display.Width() && PlaceOf(fenwolt).height == display.Height();
    })) << "Alt+Enter did not put the game in full screen";
    MinimisedFromFullScreen(fenwolt, "fenwolt");
    Press("alt+x");
    EXPECT_EQ(game.Wait(Patience), 0) << FileText(root / "game.out");
}

// The manager's maximise (the button its frame shows) makes Fenwolt's window larger and the
// picture with it, as full screen does: a click on EXIT where it is now shown asks whether to
// quit. Restored, the window has its 800 x 600 again.
TEST_F(Desktop, FenwoltMaximisedShowsItsPictureScaledAndTakesClicksThere)
{
    StartFenwolt();
    if (HasFatalFailure()) return;
    const unsigned long fenwolt = WindowId(kFenwoltTitle);
    AskToMaximise(display.Name(), fenwolt, true);
    ASSERT_TRUE(WaitFor([&] { return Maximised(display.Name(), fenwolt) && PlaceOf(fenwolt).height > 700; }))
        << "not maximised: " << PlaceOf(fenwolt).width << "x" << PlaceOf(fenwolt).height;
    const WindowPlace big = PlaceOf(fenwolt);
    picture = Picture(Rect{big.x, big.y, big.width, big.height}, 800, 600);
    EXPECT_GT(picture.scale, 1.2);
    Shot shot;
    // The start menu's pitch fills the lower part of the scaled picture, its green up to the corners.
    const auto scaledMenu = [&] {
        if (!Screenshot("fenwolt-maximised", shot)) return false;
        const uint8_t* left = shot.At(picture.ScreenX(12), picture.ScreenY(585));
        const uint8_t* right = shot.At(picture.ScreenX(788), picture.ScreenY(585));
        return left[1] > left[0] + 30 && right[1] > right[0] + 30;
    };
    // Where the box that asks whether to quit stands, it is a dark blue.
    const auto boxShown = [&] {
        if (!Screenshot("fenwolt-maximised-quit-box", shot)) return false;
        const uint8_t* p = shot.At(picture.ScreenX(250), picture.ScreenY(380));
        return p[2] > p[1] + 10 && p[2] > p[0] + 20;
    };
    // The first clicks take the intro on to the start menu, whose EXIT then asks.
    ASSERT_TRUE(WaitFor([&] {
        ClickAt(700, 310);
        return WaitFor(boxShown, 2);
    })) << "EXIT took no click in the scaled picture";
    EXPECT_TRUE(WaitFor(scaledMenu)) << "the menu is not shown scaled to the maximised window";
    AskToMaximise(display.Name(), fenwolt, false);
    WindowPlace p;
    EXPECT_TRUE(WaitFor([&] {
        p = PlaceOf(fenwolt);
        return !Maximised(display.Name(), fenwolt) && p.width == 800 && p.height == 600;
    })) << "restored to " << p.width << "x" << p.height;
    // Yes, where the box stands in the window of its own size again, ends the game.
    picture = Picture(Rect{p.x, p.y, p.width, p.height}, 800, 600);
    EXPECT_TRUE(WaitFor([&] {
        ClickAt(305, 312);
        return WaitFor([&] { return !game.Running(); }, 2);
    })) << "Yes took no click";
    EXPECT_EQ(game.code, 0);
}

// Each time the two-computer game is chosen, the connection dialog opens at one place, centred
// over the game's window, and a person's one click on its player's name (aimed where it stands
// there) puts the keyboard in that field: End and a letter go to the name, and OK goes on to
// the list of games, as the provider stayed chosen in the list below.
TEST_F(Desktop, FenwoltConnectionDialogOpensInOnePlaceAndTakesTheFirstClick)
{
    StartFenwolt(true, true);
    if (HasFatalFailure()) return;
    const unsigned long fenwolt = WindowId(kFenwoltTitle);
    const WindowPlace g = PlaceOf(fenwolt);
    picture = Picture(Rect{g.x, g.y, g.width, g.height}, 800, 600);
    // The dialog's client area (380 x 262) centred over the game's (800 x 600); its name field at
    // (12, 30), 356 x 22.
    const int dialogX = g.x + (800 - 380) / 2, dialogY = g.y + (600 - 262) / 2;
    for (int round = 0; round < 4; ++round) {
        const std::string name = "round " + std::to_string(round + 1);
        unsigned long dialog = 0;
        // The intro, the title and the start menu take clicks on the way to the game-type menu.
        ASSERT_TRUE(WaitFor([&] {
            ClickAt(170, 308);  // START
            std::this_thread::sleep_for(std::chrono::milliseconds(700));
            ClickAt(400, 190);  // the two-computer exhibition
            return WaitFor([&] { return (dialog = WindowId("Multiplayer Connect$")) != 0; }, 3);
        })) << name << ": the connection dialog never opened";
        WindowPlace d;
        ASSERT_TRUE(WaitFor([&] {
            d = PlaceOf(dialog);
            return d.viewable && d.frameTop > 0;
        }));
        EXPECT_NEAR(d.x, dialogX, 2) << name;
        EXPECT_NEAR(d.y, dialogY, 2) << name;
        PressAndRelease(dialogX + 190, dialogY + 41);
        Xdotool({"key", "--delay", "60", "End"});
        Xdotool({"type", "--delay", "60", "X"});
        Xdotool({"key", "Return"});
        EXPECT_TRUE(WaitFor([&] { return WindowId("Multiplayer Games$") != 0; }))
            << name << ": OK did not go on to the games" << (WindowId("Lobby Connection Status") ? " (End chose the lobby)" : "");
        // Escape quits the wizard from either dialog: back to the start menu.
        ASSERT_TRUE(WaitFor([&] {
            Xdotool({"key", "Escape"});
            return WaitFor([&] { return WindowNamed("Multiplayer|Lobby").empty(); }, 2);
        })) << name << ": the dialogs did not close";
    }
    Press("alt+x");
    EXPECT_EQ(game.Wait(Patience), 0) << FileText(root / "game.out");
}
