// Two copies of Fenwolt, each on an X server of its own without a window manager (two computers,
// over loopback), go through the connection wizard and the staging area by control id until both
// show the set-up screen of the two-computer exhibition, the guest in its window, the host from
// full screen. With the connection dialogs closed the game window has the keyboard on both,
// without anybody giving it the focus: Alt+X typed on each display ends that program.
// Screenshots of both root windows are kept in <build>/desktop-shots.
#include <gtest/gtest.h>

#include "fenwolt/tests/net/two_computer_runs.h"
#include "platform/tests/support/test_ports.h"
#include "xvfb_display.h"

namespace fs = std::filesystem;
using namespace desktop;

namespace {

constexpr int kScreenW = 1024, kScreenH = 768;

class ConnectionFocus : public XvfbTest {
protected:
    ConnectionFocus()
        : XvfbTest(kScreenW, kScreenH, "the keyboard test after the connection dialogs"),
          guestDisplay(kScreenW, kScreenH)
    {
    }

    void SetUp() override
    {
        XvfbTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ASSERT_TRUE(guestDisplay.Start(xvfb, root / "xvfb-guest.log")) << FileText(root / "xvfb-guest.log");
        ASSERT_TRUE(MakeTwoComputerFolders(root)) << "build the fenwolt-data target first";
    }
    void TearDown() override
    {
        guest.Kill();
        XvfbTest::TearDown();
    }

    // One computer on its display, scripted into the stage, in its window or switched to full
    // screen first (then the set-up shows its dialogs in the window and goes back to full screen
    // once they are over); its output in run.log.
    Child StartComputer(bool host, const XvfbDisplay& on, bool windowed)
    {
        const fs::path dir = root / (host ? "host" : "guest");
        WriteText(dir / "script.txt", (windowed ? "" : "100 key alt+VK_RETURN\n") + ScriptIntoTheStage(host));
        return Start({FENWOLT_BINARY},
                     EnvironmentOn(on, {{"PLATFORM_SCRIPT", "script.txt"},
                                        {"PLATFORM_FIXED_STEP_MS", "20"},
                                        {"PLATFORM_DEBUG_OUTPUT", "1"},
                                        {"PLATFORM_DPLAY8_PORT", OwnPortText()}}),
                     dir.string(), (dir / "run.log").string());
    }

    std::string Log(bool host) const { return FileText(root / (host ? "host" : "guest") / "run.log"); }

    std::string FocusOn(const XvfbDisplay& on) const { return FirstLine(XdotoolOn(on, {"getwindowfocus"})); }

    // Once the set-up is over on that computer: no dialog is left, a game that was full screen is
    // full screen again, the game window has the keyboard focus, and Alt+X typed on the display
    // reaches the game, which ends.
    void KeysReachTheGame(bool host, const XvfbDisplay& on, Child& program, bool windowed)
    {
        const char* who = host ? "host" : "guest";
        const auto through = [&] { return Log(host).find("Net: the other manager is player") != std::string::npos; };
        // Both programs play a thousand frames or so of their scripts on the way, which a busy
        // machine may stretch over minutes: the wait ends when the program gets there or ends.
        WaitFor([&] { return through() || !program.Running(); }, kThroughTheDialogs);
        ASSERT_TRUE(through()) << who << " did not get through the connection dialogs"
                               << (program.Running() ? "" : " (it ended)") << "\n"
                               << Log(host);
        EXPECT_TRUE(WaitFor([&] { return WindowNamedOn(on, "Multiplayer").empty(); }))
            << who << ": a connection dialog is still shown";
        if (!windowed) {
            EXPECT_TRUE(WaitFor([&] { return WindowSizedOn(on, kFenwoltTitle, 0, 0); })) << who << ": not full screen again";
        }
        const std::string game = WindowNamedOn(on, kFenwoltTitle);
        ASSERT_FALSE(game.empty()) << who << ": no game window";
        ASSERT_TRUE(WaitFor([&] { return FocusOn(on) == game; }))
            << who << ": the keyboard focus is on \"" << FocusOn(on) << "\", not on the game's window " << game;
        EXPECT_TRUE(on.Screenshot(shots / (std::string("fenwolt-set-up-") + who + ".png")));
        PressOn(on, "alt+x");
        EXPECT_EQ(program.Wait(Patience), 0) << who << ": Alt+X on the set-up screen did not end the program\n"
                                               << Log(host);
    }

    static constexpr double kThroughTheDialogs = 600;

    XvfbDisplay guestDisplay;
    Child guest;  // the host is `game`
};

}  // namespace

TEST_F(ConnectionFocus, BothGameWindowsHaveTheKeyboardOnceTheConnectionDialogsClose)
{
    game = StartComputer(true, display, false);
    guest = StartComputer(false, guestDisplay, true);
    ASSERT_GT(game.pid, 0);
    ASSERT_GT(guest.pid, 0);
    KeysReachTheGame(false, guestDisplay, guest, true);
    if (HasFatalFailure()) return;
    KeysReachTheGame(true, display, game, false);
}
