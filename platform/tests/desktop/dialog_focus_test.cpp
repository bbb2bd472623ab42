// Fenwolt on a real X server without a window manager, driven as a person would (xdotool):
// Ctrl+F2 opens the device dialog, over the game also when the game was full screen; once it is
// closed (Escape, its Cancel button, or Enter with nothing changed) the keys reach the game's
// window again without anybody giving it the focus: Alt+Enter switches between the window and
// full screen, Alt+X ends the program. While the dialog opened from full screen is up, the game's
// window shows its last picture wherever the dialog moves away from. Screenshots of the root
// window are kept in <build>/desktop-shots.
#include <gtest/gtest.h>

#include "xvfb_display.h"

namespace fs = std::filesystem;
using namespace desktop;

namespace {

constexpr int kScreenW = 1024, kScreenH = 768;

class DialogFocus : public XvfbTest {
protected:
    DialogFocus() : XvfbTest(kScreenW, kScreenH, "the keyboard test") {}

    bool FullScreen() const { return WindowSized(kFenwoltTitle, 0, 0); }
    bool Windowed() const { return WindowSized(kFenwoltTitle, 800, 600); }
    bool DialogOpen() const { return !WindowNamed("^Select Device$").empty(); }

    // Ctrl+F2, then the dialog closed with `key`, or with a click on its Cancel button when
    // `key` is empty; the game is in a window afterwards.
    void DeviceDialogClosedWith(const std::string& key, const std::string& shot)
    {
        ASSERT_TRUE(HoldUntil("ctrl+F2", [&] { return DialogOpen(); })) << "Ctrl+F2 opened no dialog";
        std::this_thread::sleep_for(std::chrono::milliseconds(600));
        Shot picture;
        EXPECT_TRUE(Screenshot("fenwolt-dialog-" + shot, picture));
        // From the dialog the keyboard goes straight back to the game: keys typed as the dialog
        // leaves are not lost.
        FocusWatch focus(display.Name());
        if (key.empty()) {
            // The dialog lies over the game: the pointer on its Cancel button finds the button.
            Xdotool({"mousemove", "--window", WindowNamed("^Select Device$"), "402", "285"});
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            Xdotool({"click", "1"});
        } else {
            Press(key);
        }
        ASSERT_TRUE(WaitFor([&] { return !DialogOpen(); }))
            << (key.empty() ? "a click on Cancel" : key) << " did not close the dialog";
        EXPECT_TRUE(Windowed());
        ASSERT_TRUE(WaitFor([&] { return HasFocus(kFenwoltTitle); })) << "the game's window never had the keyboard back";
        EXPECT_FALSE(focus.FocusWentNowhere()) << "the keyboard was with no window between the dialog and the game";
    }

    // Alt+Enter, typed with nothing else done since the dialog closed, reaches the game (typed
    // once the game's window has the keyboard).
    void AltEnterSwitchesTo(bool fullScreen, const std::string& after)
    {
        ASSERT_TRUE(WaitFor([&] { return HasFocus(kFenwoltTitle); })) << "the game's window lost the keyboard";
        Press("alt+Return");
        EXPECT_TRUE(WaitFor([&] { return fullScreen ? FullScreen() : Windowed(); }))
            << "Alt+Enter after " << after << " did not reach the game";
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        Shot picture;
        EXPECT_TRUE(Screenshot("fenwolt-after-" + after, picture));
    }

};

}  // namespace

TEST_F(DialogFocus, KeysReachTheGameAgainAfterTheDeviceDialogCloses)
{
    StartFenwolt();
    if (HasFatalFailure()) return;
    // The intro and the title are under way; the keys below act whatever the screen.

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
    EXPECT_EQ(game.Wait(Patience), 0) << "Alt+X did not end the program\n" << FileText(root / "game.out");
}

TEST_F(DialogFocus, TheWindowUnderTheDeviceDialogIsPaintedWhereTheDialogLeaves)
{
    StartFenwolt();
    if (HasFatalFailure()) return;
    // The start menu, with the pointer off the game's window so that nothing lights up.
    Press("Return");
    Press("Return");
    Xdotool({"mousemove", std::to_string(kScreenW - 2), std::to_string(kScreenH - 2)});
    const std::string gameWindow = WindowNamed(kFenwoltTitle);
    Rect window;
    ASSERT_TRUE(WindowRect(gameWindow, window));
    Shot menu, shot;
    // The mean difference between two screenshots over an area of the game's window, wherever
    // the window stood in each.
    auto meanDifference = [&](const Shot& a, const Rect& wa, const Shot& b, const Rect& wb, const Rect& area) {
        long sum = 0, n = 0;
        for (int y = area.y; y < area.y + area.h; ++y)
            for (int x = area.x; x < area.x + area.w; ++x, ++n)
                sum += Shot::Difference(a.At(wa.x + x, wa.y + y), b.At(wb.x + x, wb.y + y));
        return n ? (double)sum / (double)(3 * n) : 0.0;
    };
    // The mean blue of the menu's sky: about 60 while the menu fades in, near 160 once it is in.
    auto skyBlue = [&](const Shot& s) {
        long sum = 0, n = 0;
        for (int y = 20; y < 80; ++y)
            for (int x = 10; x < 200; ++x, ++n) sum += s.At(window.x + x, window.y + y)[2];
        return n ? (double)sum / (double)n : 0.0;
    };
    // The menu once it has faded in and stands still: two screenshots in a row that agree.
    const Rect whole{0, 0, window.w, window.h};
    ASSERT_TRUE(WaitFor([&] {
        const Shot before = menu;
        if (!Screenshot("fenwolt-menu-under-dialog", menu)) return false;
        return skyBlue(menu) > 140 && !before.rgb.empty() && meanDifference(before, window, menu, window, whole) < 0.5;
    })) << "the start menu never stood still";

    Press("alt+Return");
    ASSERT_TRUE(WaitFor([&] { return FullScreen(); }));
    ASSERT_TRUE(HoldUntil("ctrl+F2", [&] { return DialogOpen() && Windowed(); }))
        << "Ctrl+F2 opened no dialog over the window";
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
    const bool painted = WaitFor([&] {
        if (!Screenshot("fenwolt-dialog-moved-off", shot)) return false;
        difference = meanDifference(menu, window, shot, back, uncovered);
        return difference < 8.0;
    });
    EXPECT_TRUE(painted) << "where the dialog stood the window shows no menu (mean difference " << difference
                         << "); see the screenshots in " << shots;

    Press("Escape");
    EXPECT_TRUE(WaitFor([&] { return !DialogOpen(); }));
    Press("alt+x");
    EXPECT_EQ(game.Wait(Patience), 0) << FileText(root / "game.out");
}
