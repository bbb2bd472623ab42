// Skerrow on a real X server, as a person meets it, in a window shown at a scale other than 1 and
// in full screen (640 x 480 letterboxed on a larger display): the game's cursor stays under the
// real pointer whether xdotool moves it to a point (as a tablet or a virtual machine's pointer
// does) or by an amount (as a mouse does), up to every edge; the pointer moved in steps to a
// menu button and clicked (in the window a click without a hold, as a touchpad's tap; in full
// screen held for about 100 ms) opens the next screen (its log line); after another program had
// the focus the game is back at once, without waiting for input. Screenshots of the root window
// are kept in <build>/desktop-shots for a person to look at.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <vector>

#include "xvfb_display.h"

namespace fs = std::filesystem;
using namespace desktop;

namespace {

constexpr int kScreenW = 1280, kScreenH = 1024;

class XServer : public XvfbTest {
protected:
    XServer() : XvfbTest(kScreenW, kScreenH, "the pointer test") {}

    // Where the game's 640 x 480 picture is on the screen, once its window is shown.
    bool FindPicture(Picture& p)
    {
        std::string id;
        Rect window;
        if (!WaitFor([&] { return !(id = WindowNamed(kSkerrowTitle)).empty(); }) || !WindowRect(id, window))
            return false;
        p = Picture(window, 640, 480);
        return true;
    }

    // Where the real pointer is on the screen.
    bool PointerAt(int& x, int& y)
    {
        const std::string out = Xdotool({"getmouselocation"});
        return std::sscanf(out.c_str(), "x:%d y:%d", &x, &y) == 2;
    }

    // The tip of the game's cursor on the screen: the top-left corner of what changed between a
    // picture with the cursor far away and one with it near (ex, ey), looked for within `radius`.
    static bool CursorTip(const Shot& away, const Shot& here, int ex, int ey, int radius, int& tipX, int& tipY)
    {
        tipX = tipY = INT32_MAX;
        for (int y = std::max(0, ey - radius); y < std::min(kScreenH, ey + radius); ++y)
            for (int x = std::max(0, ex - radius); x < std::min(kScreenW, ex + radius); ++x) {
                if (Shot::Difference(here.At(x, y), away.At(x, y)) <= 90) continue;
                tipX = std::min(tipX, x);
                tipY = std::min(tipY, y);
            }
        return tipX != INT32_MAX;
    }

    // Whether a picture shows the menu with the game's cursor parked on the big planet with its
    // tip at (150, 330): the planet's brown beside the cursor and the cursor's pale blue on it.
    static bool ParkedOnThePlanet(const Shot& s, const Picture& p)
    {
        const uint8_t* planet = s.At(p.ScreenX(120), p.ScreenY(335));
        if (planet[0] < planet[2] + 40) return false;
        int cursor = 0;
        for (int y = p.ScreenY(332); y < p.ScreenY(346); ++y)
            for (int x = p.ScreenX(150); x < p.ScreenX(158); ++x) {
                const uint8_t* c = s.At(x, y);
                cursor += c[2] > 200 && c[2] > c[0] + 60;
            }
        return cursor >= 10;
    }

    // After each way of moving the pointer the game's cursor is drawn with its tip under it (to a
    // few picture pixels), also after pushing against each edge of the picture and coming back
    // from it: the cursor reached that edge with the pointer. Points on the menu's plain
    // background, away from its buttons.
    void CursorFollowsThePointer(const std::string& mode, const Picture& picture)
    {
        // The tip's pixel is the arrow's dark outline, which the comparison may not tell from the
        // background: the first pixel found lies up to a picture pixel or two below and right of
        // it, never above or left of the picture pixel under the pointer (one screen pixel for
        // the rounding of the scaled picture's edges).
        const double below = 2 * picture.scale + 1, above = 1;
        const auto near = [&](int t, int e) { return t >= e - above && t <= e + below; };
        const int radius = static_cast<int>(40 * picture.scale);
        // The cursor parked on the big planet: the picture to compare with, once the game shows
        // its menu with the cursor there (not a picture from before the menu, or with the cursor
        // still where the pointer was).
        Xdotool({"mousemove", std::to_string(picture.ScreenX(150)), std::to_string(picture.ScreenY(330))});
        Shot away;
        ASSERT_TRUE(WaitFor([&] { return Screenshot(mode + "-cursor-parked", away) && ParkedOnThePlanet(away, picture); }))
            << mode << ": the menu never showed the cursor on the planet";
        const auto check = [&](const std::string& step) {
            int px = 0, py = 0;
            ASSERT_TRUE(PointerAt(px, py));
            // The tip is drawn at the picture pixel under the pointer.
            const int ex = picture.ScreenX(picture.PixelX(px)), ey = picture.ScreenY(picture.PixelY(py));
            Shot here;
            bool found = false;
            int tx = 0, ty = 0;
            // The game draws the cursor where it is at its next frame: pictures are taken until
            // one shows it there.
            WaitFor([&] {
                found = Screenshot(mode + "-cursor-" + step, here) &&
                        CursorTip(away, here, ex, ey, radius, tx, ty);
                return found && near(tx, ex) && near(ty, ey);
            });
            ASSERT_TRUE(found) << mode << ", " << step << ": no cursor near the pointer at " << px << "," << py;
            EXPECT_TRUE(near(tx, ex)) << mode << ", " << step << ": tip x " << tx << " for the pointer at " << px << ","
                                      << py << ", picture pixel at " << ex;
            EXPECT_TRUE(near(ty, ey)) << mode << ", " << step << ": tip y " << ty << " for the pointer at " << px << ","
                                      << py << ", picture pixel at " << ey;
        };
        const auto moveTo = [&](int x, int y) { Xdotool({"mousemove", std::to_string(x), std::to_string(y)}); };
        const auto moveBy = [&](double dx, double dy) {
            Xdotool({"mousemove_relative", "--", std::to_string(static_cast<int>(std::lround(dx * picture.scale))),
                     std::to_string(static_cast<int>(std::lround(dy * picture.scale)))});
        };
        // To points, as a pointer that reports where it is.
        moveTo(picture.ScreenX(40), picture.ScreenY(160));
        check("to-left");
        moveTo(picture.ScreenX(600), picture.ScreenY(60));
        check("to-top-right");
        // By amounts, as a mouse: the cursor moves as far as the pointer, in picture pixels.
        moveBy(-48, 30);
        check("by-amount");
        // Against each edge (the pointer asked to go far beyond it), then back in a little.
        moveTo(0, picture.ScreenY(160));
        moveBy(30, 0);
        check("from-left-edge");
        moveTo(kScreenW - 1, picture.ScreenY(60));
        moveBy(-30, 0);
        check("from-right-edge");
        moveTo(picture.ScreenX(600), 0);
        moveBy(0, 30);
        check("from-top-edge");
        moveTo(picture.ScreenX(250), kScreenH - 1);
        moveBy(0, -20);
        check("from-bottom-edge");
    }

    // Moves the real pointer by (dx, dy) screen pixels in steps of at most 12 pixels, as a hand
    // would, letting the game see each step.
    void MovePointer(int dx, int dy)
    {
        const int steps = std::max(1, (std::max(std::abs(dx), std::abs(dy)) + 11) / 12);
        int doneX = 0, doneY = 0;
        for (int i = 1; i <= steps; ++i) {
            const int x = dx * i / steps, y = dy * i / steps;
            Xdotool({"mousemove_relative", "--", std::to_string(x - doneX), std::to_string(y - doneY)});
            doneX = x;
            doneY = y;
            std::this_thread::sleep_for(std::chrono::milliseconds(8));
        }
    }

    // From the menu, the pointer to NEW GAME and a click, held for about 100 ms or not at all;
    // the level map follows.
    void ClickNewGame(const std::string& mode, bool hold)
    {
        ASSERT_TRUE(WaitForLog("Screen switched to MenuScreen")) << FileText(root / "game.out");
        Picture picture;
        ASSERT_TRUE(FindPicture(picture));
        const double scale = picture.scale;
        EXPECT_GT(std::fabs(scale - 1.0), 0.1) << mode << ": scale " << scale;
        // The game owns the pointer once its window is active and its mouse acquired.
        ASSERT_TRUE(WaitFor([&] { return PointerGrabbed(display.Name()); })) << mode << ": the pointer stayed free";
        CursorFollowsThePointer(mode, picture);
        if (HasFatalFailure()) return;
        // The pointer to the picture's top-left corner first, then in steps to the button at
        // (456, 199) of the picture: it moves as far as the button is on screen.
        Xdotool({"mousemove", std::to_string(picture.ScreenX(0)), std::to_string(picture.ScreenY(0))});
        MovePointer(static_cast<int>(std::lround(456 * scale)), static_cast<int>(std::lround(199 * scale)));
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        Shot menu, map;
        EXPECT_TRUE(Screenshot(mode + "-menu", menu));
        if (hold) {
            Xdotool({"mousedown", "1"});
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            Xdotool({"mouseup", "1"});
        } else {
            // Down and up at once, between two of the game's frames.
            Xdotool({"click", "1"});
        }
        ASSERT_TRUE(WaitForLog("Screen switched to NodeScreen"))
            << mode << ": the click on NEW GAME did not reach the button\n"
            << FileText(folder / "Log.txt");
        // What the person sees changes: most of the picture is the map once it is drawn.
        const size_t area = static_cast<size_t>(640 * scale) * static_cast<size_t>(480 * scale);
        size_t changed = 0;
        WaitFor([&] {
            if (!Screenshot(mode + "-map", map)) return false;
            changed = 0;
            for (int y = 0; y < kScreenH; ++y)
                for (int x = 0; x < kScreenW; ++x) changed += Shot::Difference(map.At(x, y), menu.At(x, y)) > 48;
            return changed > area / 4;
        });
        EXPECT_GT(changed, area / 4) << mode;

        // Another program takes the focus: the game is deactivated and gives the pointer back;
        // focused again, it takes it again.
        {
            OtherClientWindow other(display.Name());
            Xdotool({"windowfocus", "--sync", std::to_string(other.Id())});
            EXPECT_TRUE(WaitFor([&] { return !PointerGrabbed(display.Name()); })) << mode << ": pointer kept";
            EXPECT_TRUE(WaitForLog("Release...")) << mode;
            const size_t shown = LogCount("Call NodeScreen::InitSurfaces()");
            Xdotool({"windowfocus", "--sync", FirstLine(Xdotool({"search", "--name", kSkerrowTitle}))});
            EXPECT_TRUE(WaitFor([&] { return PointerGrabbed(display.Name()); })) << mode << ": pointer not taken back";
            EXPECT_TRUE(WaitForLog("Activate...")) << mode;
            // Its pictures made again, the game shows the map with no key pressed and the pointer
            // still: not the black "Loading..." picture of the activation, which would stay until
            // some input came.
            ASSERT_TRUE(WaitFor([&] { return LogCount("Call NodeScreen::InitSurfaces()") > shown; })) << mode;
            Shot back;
            bool mapShown = false;
            WaitFor([&] {
                mapShown = Screenshot(mode + "-map-after-focus", back) && back.DarkShare(picture.OnScreen()) < 0.5;
                return mapShown;
            });
            ASSERT_TRUE(mapShown) << mode << ": " << back.DarkShare(picture.OnScreen()) << " of the picture dark";
        }
        // Escape, the game reloaded: back to the menu, then out of the game.
        const size_t menus = LogCount("Screen switched to MenuScreen");
        EXPECT_TRUE(HoldUntil("Escape", [&] { return LogCount("Screen switched to MenuScreen") > menus; })) << mode;
        EXPECT_TRUE(HoldUntil("Escape", [&] { return !game.Running(); })) << mode;
        EXPECT_EQ(game.Wait(Patience), 0) << FileText(root / "game.out");
    }
};

}  // namespace

TEST_F(XServer, PointerReachesAMenuButtonInAScaledWindow)
{
    StartSkerrow(false);
    ClickNewGame("window", false);
}

TEST_F(XServer, PointerReachesAMenuButtonInFullScreen)
{
    StartSkerrow(true);
    ClickNewGame("fullscreen", true);
}
