// Test controls of the Win32 core: message boxes recorded instead of shown, so that a test can
// read what a program told its user (for tests and benchmarks only; the games never include this).
#pragma once

#include "platform/win32/win32.h"

#include <vector>

// While on, MessageBoxA shows nothing: it records the box and answers with its first button.
void PlatformRecordMessageBoxes(bool record);
struct PlatformMessageBox {
    HWND owner;
    char text[1024];
    char caption[256];
    UINT type;
};
// The boxes recorded so far, oldest first.
std::vector<PlatformMessageBox> PlatformRecordedMessageBoxes();
void PlatformClearRecordedMessageBoxes();
