// Hooks through which other stand-ins (the dialogs) extend the core: child windows, message
// boxes, script lines for dialogs and what script screenshots show. The table is made on first
// use, so a stand-in may register from its own static initialisers.
#include "platform/win32/detail.h"

#include <mutex>

using namespace platform_detail;

namespace {
struct Hooks {
    std::mutex mutex;
    PlatformChildWindows childWindows;
    bool haveChildWindows = false;
    std::function<bool(HWND, const char*, const char*, UINT, int&)> messageBoxProvider;
    std::function<void(int, int, const std::string&, const std::string&)> scriptDialogHandler;
    std::function<bool()> scriptDialogWaiting;
    std::function<bool(int&, int&, std::vector<uint8_t>&, bool)> screenshotOverlay;
};

Hooks& TheHooks()
{
    static Hooks* hooks = new Hooks;  // never destroyed: windows may be used until the very end
    return *hooks;
}

// Hooks are called on a copy taken under the lock, never under it: a hook may call back into
// the core.
template <class T>
T Copy(T Hooks::*member)
{
    Hooks& h = TheHooks();
    std::lock_guard<std::mutex> lock(h.mutex);
    return h.*member;
}

template <class T>
void Set(T Hooks::*member, T value)
{
    Hooks& h = TheHooks();
    std::lock_guard<std::mutex> lock(h.mutex);
    h.*member = std::move(value);
}
}  // namespace

void PlatformSetChildWindows(PlatformChildWindows children)
{
    Hooks& h = TheHooks();
    std::lock_guard<std::mutex> lock(h.mutex);
    h.childWindows = std::move(children);
    h.haveChildWindows = h.childWindows.owns && h.childWindows.send && h.childWindows.show &&
                         h.childWindows.isVisible && h.childWindows.focus;
}

void PlatformSetMessageBoxProvider(std::function<bool(HWND, const char*, const char*, UINT, int&)> provider)
{
    Set(&Hooks::messageBoxProvider, std::move(provider));
}

void PlatformSetScriptDialogHandler(std::function<void(int, int, const std::string&, const std::string&)> handler)
{
    Set(&Hooks::scriptDialogHandler, std::move(handler));
}

void PlatformSetScriptDialogWaiting(std::function<bool()> waiting)
{
    Set(&Hooks::scriptDialogWaiting, std::move(waiting));
}

void PlatformSetScreenshotOverlay(std::function<bool(int&, int&, std::vector<uint8_t>&, bool)> overlay)
{
    Set(&Hooks::screenshotOverlay, std::move(overlay));
}

bool platform_detail::IsChildWindow(HWND hwnd)
{
    Hooks& h = TheHooks();
    std::function<bool(HWND)> owns;
    {
        std::lock_guard<std::mutex> lock(h.mutex);
        if (!h.haveChildWindows || !hwnd) return false;
        owns = h.childWindows.owns;
    }
    return owns(hwnd);
}

// The stand-in registers its child windows once, before it hands out any handle, and never
// changes them, so the table stays valid once a handle was claimed.
const PlatformChildWindows* platform_detail::ChildWindows()
{
    Hooks& h = TheHooks();
    std::lock_guard<std::mutex> lock(h.mutex);
    return h.haveChildWindows ? &h.childWindows : nullptr;
}

bool platform_detail::MessageBoxFromProvider(HWND owner, const char* text, const char* caption, UINT type,
                                             int& answer)
{
    const auto provider = Copy(&Hooks::messageBoxProvider);
    return provider && provider(owner, text, caption, type, answer);
}

void platform_detail::HandScriptDialogAction(int line, int controlId, const std::string& action,
                                             const std::string& argument)
{
    const auto handler = Copy(&Hooks::scriptDialogHandler);
    if (handler)
        handler(line, controlId, action, argument);
    else
        PlatformTrace("script line %d: `dialog` needs a program with dialogs; ignored", line);
}

bool platform_detail::ScriptDialogWaiting()
{
    const auto waiting = Copy(&Hooks::scriptDialogWaiting);
    return waiting && waiting();
}

bool platform_detail::OverlayScreenshot(int& w, int& h, std::vector<uint8_t>& rgb, bool haveFrame)
{
    const auto overlay = Copy(&Hooks::screenshotOverlay);
    return overlay ? overlay(w, h, rgb, haveFrame) : haveFrame;
}
