// Skerrow on a real X server, as a person meets it: the real pointer moved in steps with
// xdotool to a menu button, pressed and released for about 100 ms, in a window shown at a scale
// other than 1 and in full screen (640 x 480 letterboxed on a larger display). The next screen
// must come (its log line), and screenshots of the root window are kept in
// <build>/desktop-shots for a person to look at.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <vector>

#include "desktop_process.h"
#include "root_window.h"

namespace fs = std::filesystem;
using namespace desktop;

namespace {

constexpr int kScreenW = 1280, kScreenH = 1024;

// An X server of its own for the test, on the display number it picks itself.
class VirtualDisplay {
public:
    bool Start(const std::string& xvfb, const fs::path& log)
    {
        int fds[2];
        if (pipe(fds) != 0) return false;
        server_ = desktop::Start({xvfb, "-displayfd", std::to_string(fds[1]), "-screen", "0",
                                  std::to_string(kScreenW) + "x" + std::to_string(kScreenH) + "x24", "-nolisten", "tcp"},
                                 Environment({}), {}, log.string(), fds[1]);
        close(fds[1]);
        std::string number;
        char c;
        // Xvfb writes its display number once it accepts clients.
        while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
        close(fds[0]);
        if (number.empty()) return false;
        name_ = ":" + number;
        return true;
    }
    ~VirtualDisplay() { server_.Kill(); }
    const std::string& Name() const { return name_; }

    bool Screenshot(const fs::path& path, std::vector<uint8_t>* rgb = nullptr) const
    {
        return RootWindowScreenshot(name_, path.string(), rgb);
    }

private:
    Child server_;
    std::string name_;
};

class XServer : public ::testing::Test {
protected:
    void SetUp() override
    {
        xvfb = FindProgram("Xvfb");
        xdotool = FindProgram("xdotool");
        if (xvfb.empty() || xdotool.empty())
            GTEST_SKIP() << "needs Xvfb and xdotool on PATH (tools/install-deps.sh installs both: packages xvfb, "
                            "xdotool); the pointer test on a real X server did not run";
        root = fs::path(BUILD_ROOT) / "desktop-runs" /
               (std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "-" +
                std::to_string(getpid()));
        fs::remove_all(root);
        fs::create_directories(root);
        shots = fs::path(BUILD_ROOT) / "desktop-shots";
        fs::create_directories(shots);
        ASSERT_TRUE(display.Start(xvfb, root / "xvfb.log")) << FileText(root / "xvfb.log");
    }
    void TearDown() override
    {
        game.Kill();
        std::error_code ec;
        if (!HasFailure()) fs::remove_all(root, ec);
    }

    std::vector<std::string> DisplayEnvironment()
    {
        return Environment({{"DISPLAY", display.Name()},
                            {"SDL_VIDEODRIVER", "x11"},
                            {"SDL_AUDIODRIVER", "dummy"},
                            {"XDG_RUNTIME_DIR", root.string()}});
    }

    // xdotool with its arguments; its standard output.
    std::string Xdotool(const std::vector<std::string>& args)
    {
        std::vector<std::string> argv{xdotool};
        argv.insert(argv.end(), args.begin(), args.end());
        desktop::Run(argv, DisplayEnvironment(), {}, (root / "xdotool.out").string(), 20);
        return FileText(root / "xdotool.out");
    }

    // Skerrow in a folder of its own with the data packs, full screen or not, sound off.
    void StartSkerrow(bool fullscreen)
    {
        folder = root / "game";
        fs::create_directories(folder);
        const fs::path data = fs::path(BUILD_ROOT) / "data" / "skerrow";
        for (const char* pack : {"Ombrelit.dat", "Ombrelit.lng"}) fs::create_symlink(data / pack, folder / pack);
        WriteText(folder / "Ombrelit.ini",
                  std::string("[Settings]\nFullscreen = ") + (fullscreen ? "1" : "0") + "\nSound enable = 0\n");
        game = Start({SKERROW_BINARY}, DisplayEnvironment(), folder.string(), (root / "game.out").string());
        ASSERT_GT(game.pid, 0);
    }

    static size_t Count(const std::string& text, const std::string& what)
    {
        size_t n = 0;
        for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
        return n;
    }

    void PressEscape()
    {
        Xdotool({"keydown", "Escape"});
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        Xdotool({"keyup", "Escape"});
    }

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

    bool WaitForLog(const std::string& line, double seconds)
    {
        const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (std::chrono::steady_clock::now() < until) {
            if (FileText(folder / "Log.txt").find(line) != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

    // The size of the game's window on the screen.
    bool WindowSize(int& w, int& h)
    {
        const std::string out =
            Xdotool({"search", "--sync", "--onlyvisible", "--name", "^Ombrelit QRN$", "getwindowgeometry"});
        const size_t at = out.find("Geometry: ");
        return at != std::string::npos && std::sscanf(out.c_str() + at, "Geometry: %dx%d", &w, &h) == 2;
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

    // From the menu, the pointer to NEW GAME and a click of about 100 ms; the level map follows.
    void ClickNewGame(const std::string& mode)
    {
        ASSERT_TRUE(WaitForLog("Screen switched to MenuScreen", 30)) << FileText(root / "game.out");
        int w = 0, h = 0;
        ASSERT_TRUE(WindowSize(w, h));
        // Screen pixels per picture pixel: the 640 x 480 picture fills the window, letterboxed.
        const double scale = std::min(w / 640.0, h / 480.0);
        EXPECT_GT(std::fabs(scale - 1.0), 0.1) << mode << ": window " << w << "x" << h;
        // The game owns the pointer once its window is active and its mouse acquired.
        ASSERT_TRUE(WaitFor([&] { return PointerGrabbed(display.Name()); }, 10)) << mode << ": the pointer stayed free";
        // The game's cursor into the top-left corner first (it stops there), then to the button
        // at (456, 199) of the picture: the pointer moves as far as the button is on screen.
        MovePointer(-900, -900);
        MovePointer(static_cast<int>(std::lround(456 * scale)), static_cast<int>(std::lround(199 * scale)));
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        std::vector<uint8_t> menu, map;
        EXPECT_TRUE(display.Screenshot(shots / (mode + "-menu.png"), &menu));
        Xdotool({"mousedown", "1"});
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        Xdotool({"mouseup", "1"});
        ASSERT_TRUE(WaitForLog("Screen switched to NodeScreen", 10))
            << mode << ": the click on NEW GAME did not reach the button\n"
            << FileText(folder / "Log.txt");
        std::this_thread::sleep_for(std::chrono::milliseconds(700));
        ASSERT_TRUE(display.Screenshot(shots / (mode + "-map.png"), &map));
        // What the person sees changed: most of the picture is the map now.
        ASSERT_EQ(menu.size(), map.size());
        size_t changed = 0;
        for (size_t i = 0; i < map.size(); i += 3)
            changed += std::abs(int(map[i]) - int(menu[i])) + std::abs(int(map[i + 1]) - int(menu[i + 1])) +
                           std::abs(int(map[i + 2]) - int(menu[i + 2])) >
                       48;
        const size_t picture = static_cast<size_t>(640 * scale) * static_cast<size_t>(480 * scale);
        EXPECT_GT(changed, picture / 4) << mode;

        // Another program takes the focus: the game is deactivated and gives the pointer back;
        // focused again, it takes it again.
        {
            OtherClientWindow other(display.Name());
            Xdotool({"windowfocus", "--sync", std::to_string(other.Id())});
            EXPECT_TRUE(WaitFor([&] { return !PointerGrabbed(display.Name()); }, 10)) << mode << ": pointer kept";
            EXPECT_TRUE(WaitForLog("Release...", 5)) << mode;
            const std::string game = Xdotool({"search", "--name", "^Ombrelit QRN$"});
            Xdotool({"windowfocus", "--sync", game.substr(0, game.find('\n'))});
            EXPECT_TRUE(WaitFor([&] { return PointerGrabbed(display.Name()); }, 10)) << mode << ": pointer not taken back";
            EXPECT_TRUE(WaitForLog("Activate...", 5)) << mode;
        }
        // Escape, held as a finger would (the game samples the keyboard once a frame): back to
        // the menu, then out of the game. A press made while the game was still reloading after
        // its activation may go unseen, as on the system it was made for: pressed again then.
        const size_t menus = Count(FileText(folder / "Log.txt"), "Screen switched to MenuScreen");
        for (int i = 0; i < 3 && Count(FileText(folder / "Log.txt"), "Screen switched to MenuScreen") == menus; ++i) {
            PressEscape();
            WaitFor([&] { return Count(FileText(folder / "Log.txt"), "Screen switched to MenuScreen") > menus; }, 3);
        }
        for (int i = 0; i < 3 && game.Running(); ++i) {
            PressEscape();
            WaitFor([&] { return !game.Running(); }, 3);
        }
        EXPECT_EQ(game.Wait(10), 0) << FileText(root / "game.out");
    }

    std::string xvfb, xdotool;
    fs::path root, shots, folder;
    VirtualDisplay display;
    Child game;
};

}  // namespace

TEST_F(XServer, PointerReachesAMenuButtonInAScaledWindow)
{
    StartSkerrow(false);
    ClickNewGame("window");
}

TEST_F(XServer, PointerReachesAMenuButtonInFullScreen)
{
    StartSkerrow(true);
    ClickNewGame("fullscreen");
}
