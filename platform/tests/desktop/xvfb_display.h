// An X server of a test's own (Xvfb, without a window manager) on the display number it picks
// itself, and xdotool run against it.
#pragma once

#include "desktop_process.h"
#include "root_window.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace desktop {

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
            GTEST_SKIP() << "needs Xvfb and xdotool on PATH (tools/install-deps.sh installs both: packages xvfb, "
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
        desktop::Run(argv, EnvironmentOn(on), {}, (root / "xdotool.out").string(), 20);
        return FileText(root / "xdotool.out");
    }

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
