// Message boxes: recorded for tests, shown by the dialogs when they are linked, else by SDL, and
// written to stderr where there is no display.
#include "platform/win32/detail.h"
#include "platform/win32/win32_testing.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

using namespace platform_detail;

namespace {
std::mutex boxMutex;
bool recordBoxes = false;
std::vector<PlatformMessageBox> recordedBoxes;
}  // namespace

void PlatformRecordMessageBoxes(bool record)
{
    std::lock_guard<std::mutex> lock(boxMutex);
    recordBoxes = record;
}

std::vector<PlatformMessageBox> PlatformRecordedMessageBoxes()
{
    std::lock_guard<std::mutex> lock(boxMutex);
    return recordedBoxes;
}

void PlatformClearRecordedMessageBoxes()
{
    std::lock_guard<std::mutex> lock(boxMutex);
    recordedBoxes.clear();
}

namespace {
bool HasDisplay()
{
    const char* driver = getenv("SDL_VIDEODRIVER");
    if (driver && (!strcmp(driver, "offscreen") || !strcmp(driver, "dummy") || !strcmp(driver, "evdev")))
        return false;
    const char* x = getenv("DISPLAY");
    const char* wl = getenv("WAYLAND_DISPLAY");
    return (x && *x) || (wl && *wl);
}

int FirstButton(UINT type)
{
    switch (type & 0xF) {
    case MB_ABORTRETRYIGNORE: return IDABORT;
    case MB_YESNOCANCEL:
    case MB_YESNO: return IDYES;
    case MB_RETRYCANCEL: return IDRETRY;
    default: return IDOK;
    }
}
}  // namespace

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    if (!caption) caption = "Error";
    if (!text) text = "";
    {
        std::lock_guard<std::mutex> lock(boxMutex);
        if (recordBoxes) {
            PlatformMessageBox box{};
            box.owner = owner;
            snprintf(box.text, sizeof box.text, "%s", text);
            snprintf(box.caption, sizeof box.caption, "%s", caption);
            box.type = type;
            recordedBoxes.push_back(box);
            return FirstButton(type);
        }
    }
    {
        int answer = 0;
        if (IsMainThread() && MessageBoxFromProvider(owner, text, caption, type, answer)) return answer;
    }
    if (!HasDisplay()) {
        fprintf(stderr, "[message box] %s: %s\n", caption, text);
        return FirstButton(type);
    }
    struct Button {
        int id;
        const char* label;
    };
    std::vector<Button> buttons;
    switch (type & 0xF) {
    case MB_OKCANCEL: buttons = {{IDOK, "OK"}, {IDCANCEL, "Cancel"}}; break;
    case MB_ABORTRETRYIGNORE: buttons = {{IDABORT, "Abort"}, {IDRETRY, "Retry"}, {IDIGNORE, "Ignore"}}; break;
    case MB_YESNOCANCEL: buttons = {{IDYES, "Yes"}, {IDNO, "No"}, {IDCANCEL, "Cancel"}}; break;
    case MB_YESNO: buttons = {{IDYES, "Yes"}, {IDNO, "No"}}; break;
    case MB_RETRYCANCEL: buttons = {{IDRETRY, "Retry"}, {IDCANCEL, "Cancel"}}; break;
    default: buttons = {{IDOK, "OK"}}; break;
    }
    std::vector<SDL_MessageBoxButtonData> data;
    for (size_t i = 0; i < buttons.size(); ++i) {
        Uint32 flags = 0;
        if (i == 0) flags |= SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
        if (buttons[i].id == IDCANCEL || buttons.size() == 1) flags |= SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
        data.push_back(SDL_MessageBoxButtonData{flags, buttons[i].id, buttons[i].label});
    }
    Uint32 icon = SDL_MESSAGEBOX_INFORMATION;
    if ((type & 0xF0) == MB_ICONERROR) icon = SDL_MESSAGEBOX_ERROR;
    else if ((type & 0xF0) == MB_ICONWARNING) icon = SDL_MESSAGEBOX_WARNING;
    SDL_MessageBoxData box{icon, owner ? PlatformSdlWindow(owner) : nullptr, caption, text,
                           static_cast<int>(data.size()), data.data(), nullptr};
    int pressed = 0;
    // The box needs the pointer that a program's exclusive mouse may hold.
    SuspendMouseCapture(true);
    const int shown = SDL_ShowMessageBox(&box, &pressed);
    SuspendMouseCapture(false);
    if (shown != 0) {
        fprintf(stderr, "[message box] %s: %s\n", caption, text);
        return FirstButton(type);
    }
    return pressed < 0 ? (buttons.size() > 1 ? IDCANCEL : IDOK) : pressed;
}
