// Fenwolt on a real X server without a window manager, driven as a person would (xdotool):
// Ctrl+F2 opens the device dialog, over the game also when the game was full screen; once it is
// closed (Escape, its Cancel button, or Enter with nothing changed) the keys reach the game's
// window again without anybody giving it the focus: Alt+Enter switches between the window and
// full screen, Alt+X ends the program. Screenshots of the root window are kept in
// <build>/desktop-shots.
#include <gtest/gtest.h>

#include <cstdio>

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
        ASSERT_TRUE(WaitFor([&] { return Windowed(); })) << FileText(root / "game.out");
        // The intro and the title are under way; the keys below act whatever the screen.
        std::this_thread::sleep_for(std::chrono::seconds(2));
    }

    // Ctrl+F2, then the dialog closed with `key`, or with a click on its Cancel button when
    // `key` is empty; the game is in a window afterwards.
    void DeviceDialogClosedWith(const std::string& key, const std::string& shot)
    {
        Press("ctrl+F2");
        ASSERT_TRUE(WaitFor([&] { return DialogOpen(); })) << "Ctrl+F2 opened no dialog";
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
        ASSERT_TRUE(WaitFor([&] { return !DialogOpen(); }))
            << (key.empty() ? "a click on Cancel" : key) << " did not close the dialog";
        EXPECT_TRUE(Windowed());
    }

    // Alt+Enter, typed with nothing else done since the dialog closed, reaches the game.
    void AltEnterSwitchesTo(bool fullScreen, const std::string& after)
    {
        Press("alt+Return");
        EXPECT_TRUE(WaitFor([&] { return fullScreen ? FullScreen() : Windowed(); }))
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
    EXPECT_EQ(game.Wait(Patience), 0) << "Alt+X did not end the program\n" << FileText(root / "game.out");
}
