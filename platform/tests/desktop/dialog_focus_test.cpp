// Fenwolt on a real X server without a window manager, driven as a person would (xdotool):
// Ctrl+F2 opens the device dialog, over the game also when the game was full screen; once it is
// closed (Escape, its Cancel button, or Enter with nothing changed) the keys reach the game's
// window again without anybody giving it the focus: Alt+Enter switches between the window and
// full screen, Alt+X ends the program. While the dialog opened from full screen is up, the game's
// window shows its last picture wherever the dialog moves away from. Screenshots of the root
// window are kept in <build>/desktop-shots.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "platform/tests/support/program_folder.h"
#include "xvfb_display.h"

namespace fs = std::filesystem;
using namespace desktop;

namespace {

constexpr int kScreenW = 1024, kScreenH = 768;

class DialogFocus : public XvfbTest {
protected:
    DialogFocus() : XvfbTest(kScreenW, kScreenH, "the keyboard test") {}

    // A key combination pressed on the keyboard, whichever window has the focus.
    void Press(const std::string& keys) { Xdotool({"key", "--delay", "60", keys}); }

    template <class Condition>
    static bool WaitFor(Condition condition, double seconds)
    {
        const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (std::chrono::steady_clock::now() < until) {
            if (condition()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

    // The visible window of that title (an anchored pattern), or empty.
    std::string WindowNamed(const std::string& title)
    {
        const std::string out = Xdotool({"search", "--onlyvisible", "--name", title});
        return out.substr(0, out.find('\n'));
    }

    bool GameWindowSize(int& w, int& h)
    {
        const std::string id = WindowNamed("^Dorvanix: Quillane$");
        if (id.empty()) return false;
        const std::string out = Xdotool({"getwindowgeometry", id});
        const size_t at = out.find("Geometry: ");
        return at != std::string::npos && std::sscanf(out.c_str() + at, "Geometry: %dx%d", &w, &h) == 2;
    }
    bool FullScreen()
    {
        int w = 0, h = 0;
        return GameWindowSize(w, h) && w == kScreenW && h == kScreenH;
    }
    bool Windowed()
    {
        int w = 0, h = 0;
        return GameWindowSize(w, h) && w == 800 && h == 600;
    }
    bool DialogOpen() { return !WindowNamed("^Select Device$").empty(); }

    struct Rect {
        int x = 0, y = 0, w = 0, h = 0;
    };
    // Where a window lies on the screen (its client area, as X has it).
    bool WindowRect(const std::string& id, Rect& r)
    {
        const std::string out = Xdotool({"getwindowgeometry", id});
        const size_t at = out.find("Position: "), size = out.find("Geometry: ");
        return at != std::string::npos && size != std::string::npos &&
               std::sscanf(out.c_str() + at, "Position: %d,%d", &r.x, &r.y) == 2 &&
               std::sscanf(out.c_str() + size, "Geometry: %dx%d", &r.w, &r.h) == 2;
    }

    void StartFenwolt()
    {
        const fs::path data = fs::path(BUILD_ROOT) / "data" / "fenwolt";
        ASSERT_TRUE(fs::exists(data / "interface")) << "build the fenwolt-data target first";
        folder = root / "game";
        fs::create_directories(folder / "dat");
        fs::create_directories(folder / "saves");
        FillProgramFolder(data, folder);
        // The switch file that keeps the game in a window.
        WriteText(folder / "dat" / "window.dat", "");
        game = Start({FENWOLT_BINARY}, DisplayEnvironment(), folder.string(), (root / "game.out").string());
        ASSERT_GT(game.pid, 0);
        ASSERT_TRUE(WaitFor([&] { return Windowed(); }, 60)) << FileText(root / "game.out");
        // The intro and the title are under way; the keys below act whatever the screen.
        std::this_thread::sleep_for(std::chrono::seconds(2));
    }

    // Ctrl+F2, then the dialog closed with `key`, or with a click on its Cancel button when
    // `key` is empty; the game is in a window afterwards.
    void DeviceDialogClosedWith(const std::string& key, const std::string& shot)
    {
        Press("ctrl+F2");
        ASSERT_TRUE(WaitFor([&] { return DialogOpen(); }, 20)) << "Ctrl+F2 opened no dialog";
        std::this_thread::sleep_for(std::chrono::milliseconds(600));
        EXPECT_TRUE(display.Screenshot(shots / ("fenwolt-dialog-" + shot + ".png")));
        if (key.empty()) {
            // The dialog lies over the game: the pointer on its Cancel button finds the button.
            Xdotool({"mousemove", "--window", WindowNamed("^Select Device$"), "402", "285"});
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            Xdotool({"click", "1"});
        } else {
            Press(key);
        }
        ASSERT_TRUE(WaitFor([&] { return !DialogOpen(); }, 20))
            << (key.empty() ? "a click on Cancel" : key) << " did not close the dialog";
        EXPECT_TRUE(Windowed());
    }

    // Alt+Enter, typed with nothing else done since the dialog closed, reaches the game.
    void AltEnterSwitchesTo(bool fullScreen, const std::string& after)
    {
        Press("alt+Return");
        EXPECT_TRUE(WaitFor([&] { return fullScreen ? FullScreen() : Windowed(); }, 20))
            << "Alt+Enter after " << after << " did not reach the game";
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        EXPECT_TRUE(display.Screenshot(shots / ("fenwolt-after-" + after + ".png")));
    }

};

}  // namespace

TEST_F(DialogFocus, KeysReachTheGameAgainAfterTheDeviceDialogCloses)
{
    StartFenwolt();
    if (HasFatalFailure()) return;

    DeviceDialogClosedWith("Escape", "cancelled");
    if (HasFatalFailure()) return;
    AltEnterSwitchesTo(true, "cancel");

    // From full screen Ctrl+F2 goes back to the window first and opens the dialog over it.
    DeviceDialogClosedWith("", "from-full-screen");
    if (HasFatalFailure()) return;
    AltEnterSwitchesTo(true, "cancel-button");

    // Enter is OK, with nothing changed.
    DeviceDialogClosedWith("Return", "unchanged");
    if (HasFatalFailure()) return;
    AltEnterSwitchesTo(true, "ok");
    AltEnterSwitchesTo(false, "ok-twice");

    Press("alt+x");
    EXPECT_EQ(game.Wait(20), 0) << "Alt+X did not end the program\n" << FileText(root / "game.out");
}

TEST_F(DialogFocus, TheWindowUnderTheDeviceDialogIsPaintedWhereTheDialogLeaves)
{
    StartFenwolt();
    if (HasFatalFailure()) return;
    // The start menu, with the pointer off the game's window so that nothing lights up.
    Press("Return");
    Press("Return");
    Xdotool({"mousemove", std::to_string(kScreenW - 2), std::to_string(kScreenH - 2)});
    const std::string gameWindow = WindowNamed("^Dorvanix: Quillane$");
    Rect window;
    ASSERT_TRUE(WindowRect(gameWindow, window));
    std::vector<uint8_t> menu, shot;
    // The menu once it stands still: two screenshots a moment apart that agree.
    auto windowPixel = [&](const std::vector<uint8_t>& rgb, const Rect& w, int x, int y) {
        return &rgb[((size_t)(w.y + y) * kScreenW + (size_t)(w.x + x)) * 3];
    };
    auto meanDifference = [&](const std::vector<uint8_t>& a, const Rect& wa, const std::vector<uint8_t>& b,
                              const Rect& wb, const Rect& area) {
        long sum = 0, n = 0;
        for (int y = area.y; y < area.y + area.h; ++y)
            for (int x = area.x; x < area.x + area.w; ++x, ++n)
                for (int c = 0; c < 3; ++c) sum += std::abs(windowPixel(a, wa, x, y)[c] - windowPixel(b, wb, x, y)[c]);
        return n ? (double)sum / (double)(3 * n) : 0.0;
    };
    const Rect whole{0, 0, window.w, window.h};
    ASSERT_TRUE(WaitFor(
        [&] {
            std::vector<uint8_t> before = menu;
            if (!display.Screenshot(shots / "fenwolt-menu-under-dialog.png", &menu)) return false;
            return !before.empty() && meanDifference(before, window, menu, window, whole) < 0.5;
        },
        30))
        << "the start menu never stood still";

    Press("alt+Return");
    ASSERT_TRUE(WaitFor([&] { return FullScreen(); }, 20));
    Press("ctrl+F2");
    ASSERT_TRUE(WaitFor([&] { return DialogOpen() && Windowed(); }, 20)) << "Ctrl+F2 opened no dialog over the window";
    const std::string dialog = WindowNamed("^Select Device$");
    Rect before, back;
    ASSERT_TRUE(WindowRect(dialog, before));
    ASSERT_TRUE(WindowRect(gameWindow, back));
    // The dialog goes to the top left corner of the screen; the lower right quarter of where it
    // stood is the game's window again.
    Xdotool({"windowmove", dialog, "0", "0"});
    const Rect uncovered{before.x + before.w / 2 - back.x, before.y + before.h / 2 - back.y, before.w / 2,
                         before.h / 2};
    ASSERT_GT(before.x + before.w / 2, before.w) << "the dialog would still cover the area";
    ASSERT_GE(uncovered.x, 0);
    ASSERT_GE(uncovered.y, 0);
    ASSERT_LE(uncovered.x + uncovered.w, back.w);
    ASSERT_LE(uncovered.y + uncovered.h, back.h);
    double difference = 255.0;
    const bool painted = WaitFor(
        [&] {
            if (!display.Screenshot(shots / "fenwolt-dialog-moved-off.png", &shot)) return false;
            difference = meanDifference(menu, window, shot, back, uncovered);
            return difference < 8.0;
        },
        20);
    EXPECT_TRUE(painted) << "where the dialog stood the window shows no menu (mean difference " << difference
                         << "); see the screenshots in " << shots;

    Press("Escape");
    EXPECT_TRUE(WaitFor([&] { return !DialogOpen(); }, 20));
    Press("alt+x");
    EXPECT_EQ(game.Wait(20), 0) << FileText(root / "game.out");
}
