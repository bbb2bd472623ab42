// Helpers shared by the platform core's tests: a recording window procedure, a scratch
// directory, and a clean platform for every test.
#pragma once

#include "platform/tests/support/file_contents.h"
#include "platform/tests/support/scratch_directory.h"
#include "platform/win32/platform_internal.h"
#include "platform/win32/win32_testing.h"

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
    const std::string& Path() const { return path_; }
    void WriteFile(const std::string& relative, const std::string& content) { dir_.Write(relative, content); }
    std::string ReadFile(const std::string& relative) const { return FileText(relative); }

private:
    ScratchDirectory dir_{"win32-test"};
    std::string path_ = dir_.Path().string();
};
