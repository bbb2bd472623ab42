// Helpers shared by the platform core's tests: a recording window procedure, a scratch
// directory, and a clean platform for every test.
#pragma once

#include "platform/win32/platform_internal.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

struct SeenMessage {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// Every message that reaches TestWindowProc, in order.
std::vector<SeenMessage>& Seen();
// Records, then answers as DefWindowProcA does.
LRESULT CALLBACK TestWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// Registers the test class once per process and creates a visible 800 x 600 client window.
HWND MakeTestWindow(DWORD style = WS_OVERLAPPEDWINDOW | WS_VISIBLE);
// Dispatches everything waiting (accelerators of `accel` first, when given); the messages
// dispatched, in order.
std::vector<MSG> DrainMessages(HWND hwnd = nullptr, HACCEL accel = nullptr);
// Messages of one kind among `seen`.
std::vector<SeenMessage> SeenOf(UINT message);

class PlatformTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};

// A fresh directory that becomes the working directory for the test's lifetime.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    const std::string& Path() const { return path_; }
    void WriteFile(const std::string& relative, const std::string& content);
    std::string ReadFile(const std::string& relative) const;

private:
    std::string path_;
    std::string previous_;
};
