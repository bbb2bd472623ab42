// An X server of a test's own (Xvfb, without a window manager) on the display number it picks
// itself, and xdotool run against it.
#pragma once

#include "desktop_process.h"
#include "root_window.h"

#include <string>
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

}  // namespace desktop
