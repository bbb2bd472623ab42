// An X server of a test's own (Xvfb, without a window manager) on the display number it picks
// itself, and xdotool run against it.
#pragma once

#include "desktop_process.h"
#include "root_window.h"
#include "platform/tests/support/test_requirements.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "platform/tests/support/program_folder.h"

namespace desktop {

// A rectangle on the screen, as X has a window's client area.
struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
};

// A screenshot of a whole display: the pixel (r, g, b) at a screen point, black outside it.
struct Shot {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
    const uint8_t* At(int x, int y) const
    {
        static const uint8_t black[3] = {};
        const size_t i = (static_cast<size_t>(y) * width + x) * 3;
        return x < 0 || y < 0 || x >= width || y >= height || i + 2 >= rgb.size() ? black : &rgb[i];
    }
    static int Difference(const uint8_t* a, const uint8_t* b)
    {
        return std::abs(a[0] - b[0]) + std::abs(a[1] - b[1]) + std::abs(a[2] - b[2]);
    }
    // The share of the pixels of an area that are black or nearly.
    double DarkShare(const Rect& area) const
    {
        size_t dark = 0, all = 0;
        for (int y = area.y; y < area.y + area.h; ++y)
            for (int x = area.x; x < area.x + area.w; ++x) {
                const uint8_t* p = At(x, y);
                ++all;
                dark += p[0] + p[1] + p[2] < 30;
            }
        return all ? static_cast<double>(dark) / all : 1.0;
    }
};

// Where a game's picture of width x height is on the screen: it fills the window's client area,
// letterboxed.
struct Picture {
    int width = 0, height = 0;
    double scale = 1.0;   // screen pixels per picture pixel
    double x = 0, y = 0;  // the picture's top-left corner on the screen
    Picture() = default;
    Picture(const Rect& window, int w, int h)
        : width(w), height(h), scale(std::min(static_cast<double>(window.w) / w, static_cast<double>(window.h) / h)),
          x(window.x + (window.w - w * scale) / 2), y(window.y + (window.h - h * scale) / 2)
    {
    }
    int ScreenX(double px) const { return static_cast<int>(std::lround(x + px * scale)); }
    int ScreenY(double py) const { return static_cast<int>(std::lround(y + py * scale)); }
    double PictureX(int sx) const { return (sx - x) / scale; }
    // The picture pixel under a screen pixel, kept within the picture (as a game keeps its cursor).
    int PixelX(int sx) const { return std::clamp(static_cast<int>(std::floor(PictureX(sx))), 0, width - 1); }
    int PixelY(int sy) const { return std::clamp(static_cast<int>(std::floor((sy - y) / scale)), 0, height - 1); }
    Rect OnScreen() const { return {ScreenX(0), ScreenY(0), ScreenX(width) - ScreenX(0), ScreenY(height) - ScreenY(0)}; }
};

class XvfbDisplay {
public:
    XvfbDisplay(int width, int height) : width_(width), height_(height) {}
    ~XvfbDisplay() { server_.Kill(); }
    XvfbDisplay(const XvfbDisplay&) = delete;
    XvfbDisplay& operator=(const XvfbDisplay&) = delete;

    bool Start(const std::string& xvfb, const std::filesystem::path& log)
    {
        int fds[2];
        if (pipe(fds) != 0) return false;
        server_ = desktop::Start({xvfb, "-displayfd", std::to_string(fds[1]), "-screen", "0",
                                  std::to_string(width_) + "x" + std::to_string(height_) + "x24", "-nolisten", "tcp"},
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
    const std::string& Name() const { return name_; }
    int Width() const { return width_; }
    int Height() const { return height_; }

    bool Screenshot(const std::filesystem::path& path, std::vector<uint8_t>* rgb = nullptr) const
    {
        return RootWindowScreenshot(name_, path.string(), rgb);
    }
    bool Screenshot(const std::filesystem::path& path, Shot& shot) const
    {
        shot.width = width_;
        shot.height = height_;
        shot.rgb.clear();
        return Screenshot(path, &shot.rgb);
    }

private:
    int width_, height_;
    Child server_;
    std::string name_;
};

// A test on an X server of its own: Xvfb and xdotool found (the test is skipped, saying what did
// not run, without them), a folder of its own for the runs under <build>/desktop-runs, and the
// screenshots kept in <build>/desktop-shots for a person to look at.
class XvfbTest : public ::testing::Test {
protected:
    XvfbTest(int width, int height, const char* what) : display(width, height), what_(what) {}

    void SetUp() override
    {
        xvfb = FindProgram("Xvfb");
        xdotool = FindProgram("xdotool");
        if (xvfb.empty() || xdotool.empty())
            SKIP_WITHOUT("Xvfb or xdotool") << "needs Xvfb and xdotool on PATH (tools/install-deps.sh installs both: packages xvfb, "
                            "xdotool); "
                         << what_ << " on a real X server did not run";
        root = std::filesystem::path(BUILD_ROOT) / "desktop-runs" /
               (std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "-" +
                std::to_string(getpid()));
        std::filesystem::remove_all(root);
        std::filesystem::create_directories(root);
        shots = std::filesystem::path(BUILD_ROOT) / "desktop-shots";
        std::filesystem::create_directories(shots);
        ASSERT_TRUE(display.Start(xvfb, root / "xvfb.log")) << FileText(root / "xvfb.log");
    }
    void TearDown() override
    {
        game.Kill();
        std::error_code ec;
        if (!HasFailure()) std::filesystem::remove_all(root, ec);
    }

    std::vector<std::string> DisplayEnvironment() const { return EnvironmentOn(display); }
    // The environment of a program on `on`, with `more` settings of the test's.
    std::vector<std::string> EnvironmentOn(const XvfbDisplay& on, std::map<std::string, std::string> more = {}) const
    {
        more.insert({{"DISPLAY", on.Name()},
                     {"SDL_VIDEODRIVER", "x11"},
                     {"SDL_AUDIODRIVER", "dummy"},
                     {"XDG_RUNTIME_DIR", root.string()}});
        return Environment(more);
    }

    // xdotool with its arguments, on the test's display or on `on`; its standard output.
    std::string Xdotool(const std::vector<std::string>& args) const { return XdotoolOn(display, args); }
    std::string XdotoolOn(const XvfbDisplay& on, const std::vector<std::string>& args) const
    {
        std::vector<std::string> argv{xdotool};
        argv.insert(argv.end(), args.begin(), args.end());
        desktop::Run(argv, EnvironmentOn(on), {}, (root / "xdotool.out").string(), Patience);
        return FileText(root / "xdotool.out");
    }

    // A key combination pressed and let go at once, on whichever window has the focus.
    void Press(const std::string& keys) const { PressOn(display, keys); }
    void PressOn(const XvfbDisplay& on, const std::string& keys) const { XdotoolOn(on, {"key", "--delay", "60", keys}); }

    // The keys held down for a second, let go for a second, and again until `done`. A game that
    // samples its keyboard once a frame sees a press where one of its frames found the keys up and
    // a later one found them down, however long its frames take on a busy machine; false when it
    // never got there.
    template <class Condition>
    bool HoldUntil(const std::string& keys, Condition done)
    {
        return WaitFor([&] {
            Xdotool({"keydown", keys});
            const bool reached = WaitFor(done, 1);
            Xdotool({"keyup", keys});
            return reached || WaitFor(done, 1);
        });
    }

    // The first visible window whose title matches the pattern (anchored as a person wants it),
    // or empty.
    std::string WindowNamed(const std::string& title) const { return WindowNamedOn(display, title); }
    std::string WindowNamedOn(const XvfbDisplay& on, const std::string& title) const
    {
        return FirstLine(XdotoolOn(on, {"search", "--onlyvisible", "--name", title}));
    }
    // Where a window lies on the screen (its client area, as X has it).
    bool WindowRect(const std::string& id, Rect& r) const { return WindowRectOn(display, id, r); }
    bool WindowRectOn(const XvfbDisplay& on, const std::string& id, Rect& r) const
    {
        if (id.empty()) return false;
        const std::string out = XdotoolOn(on, {"getwindowgeometry", id});
        const size_t at = out.find("Position: "), size = out.find("Geometry: ");
        return at != std::string::npos && size != std::string::npos &&
               std::sscanf(out.c_str() + at, "Position: %d,%d", &r.x, &r.y) == 2 &&
               std::sscanf(out.c_str() + size, "Geometry: %dx%d", &r.w, &r.h) == 2;
    }
    // Whether the window of that title is w x h; a size of 0 x 0 means the whole display.
    bool WindowSized(const std::string& title, int w, int h) const { return WindowSizedOn(display, title, w, h); }
    bool WindowSizedOn(const XvfbDisplay& on, const std::string& title, int w, int h) const
    {
        Rect r;
        return WindowRectOn(on, WindowNamedOn(on, title), r) && r.w == (w ? w : on.Width()) &&
               r.h == (h ? h : on.Height());
    }
    // Whether the window of that title has X's input focus: keys typed now go to it.
    bool HasFocus(const std::string& title) const
    {
        const std::string id = WindowNamed(title);
        return !id.empty() && FirstLine(Xdotool({"getwindowfocus"})) == id;
    }
    static std::string FirstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

    // A screenshot of the test's display, kept in the shots folder as <name>.png.
    bool Screenshot(const std::string& name, Shot& shot) const
    {
        return display.Screenshot(shots / (name + ".png"), shot);
    }

    // How often the game's log (Log.txt in its folder) has that line, and a wait until it has it
    // `count` times.
    size_t LogCount(const std::string& line) const
    {
        const std::string text = FileText(folder / "Log.txt");
        size_t n = 0;
        for (size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1)) ++n;
        return n;
    }
    bool WaitForLog(const std::string& line, size_t count = 1, double seconds = Patience)
    {
        return WaitFor([&] { return LogCount(line) >= count; }, seconds);
    }

#ifdef SKERROW_BINARY
    // Skerrow in a folder of its own with the data packs, full screen or not, sound off.
    void StartSkerrow(bool fullscreen)
    {
        folder = root / "game";
        std::filesystem::create_directories(folder);
        const std::filesystem::path data = std::filesystem::path(BUILD_ROOT) / "data" / "skerrow";
        for (const char* pack : {"Ombrelit.dat", "Ombrelit.lng"})
            std::filesystem::create_symlink(data / pack, folder / pack);
        WriteText(folder / "Ombrelit.ini",
                  std::string("[Settings]\nFullscreen = ") + (fullscreen ? "1" : "0") + "\nSound enable = 0\n");
        game = Start({SKERROW_BINARY}, DisplayEnvironment(), folder.string(), (root / "game.out").string());
        ASSERT_GT(game.pid, 0);
    }
    static constexpr const char* kSkerrowTitle = "^Ombrelit QRN$";
#endif

#ifdef FENWOLT_BINARY
    // Fenwolt in a player folder of its own, started in a window (the switch file that keeps it
    // there, or the one that also offers the two-computer game), until its window is shown: at the
    // 800 x 600 it asks for, unless `fullSize` is false (a screen too small for that).
    void StartFenwolt(bool fullSize = true, bool twoComputers = false)
    {
        const std::filesystem::path data = std::filesystem::path(BUILD_ROOT) / "data" / "fenwolt";
        ASSERT_TRUE(std::filesystem::exists(data / "interface")) << "build the fenwolt-data target first";
        folder = root / "game";
        std::filesystem::create_directories(folder / "dat");
        std::filesystem::create_directories(folder / "saves");
        FillProgramFolder(data, folder);
        WriteText(folder / "dat" / (twoComputers ? "multi.dat" : "window.dat"), "");
        game = Start({FENWOLT_BINARY}, DisplayEnvironment(), folder.string(), (root / "game.out").string());
        ASSERT_GT(game.pid, 0);
        ASSERT_TRUE(WaitFor([&] {
            return fullSize ? WindowSized(kFenwoltTitle, 800, 600) : !WindowNamed(kFenwoltTitle).empty();
        })) << FileText(root / "game.out");
    }
    static constexpr const char* kFenwoltTitle = "^Dorvanix: Quillane$";
#endif

    // How long a program may take to get somewhere on a busy machine before a test gives up on it.
    static constexpr double Patience = 120;

    // Looks at `condition` until it holds, for at most `seconds`: a bound for a program that never
    // gets there, not a time it must keep (the machine may be busy).
    template <class Condition>
    static bool WaitFor(Condition condition, double seconds = Patience)
    {
        const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (!condition()) {
            if (std::chrono::steady_clock::now() >= until) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return true;
    }

    std::string xvfb, xdotool;
    std::filesystem::path root, shots, folder;
    XvfbDisplay display;
    Child game;

private:
    const char* what_;
};

}  // namespace desktop
