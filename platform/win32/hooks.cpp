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
    std::function<bool(int&, int&, std::vector<uint8_t>&, bool)> screenshotOverlay;
};

Hooks& TheHooks()
{
    static Hooks* hooks = new Hooks;  // never destroyed: windows may be used until the very end
    return *hooks;
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
    Hooks& h = TheHooks();
    std::lock_guard<std::mutex> lock(h.mutex);
    h.messageBoxProvider = std::move(provider);
}

void PlatformSetScriptDialogHandler(std::function<void(int, int, const std::string&, const std::string&)> handler)
{
    Hooks& h = TheHooks();
    std::lock_guard<std::mutex> lock(h.mutex);
    h.scriptDialogHandler = std::move(handler);
}

void PlatformSetScreenshotOverlay(std::function<bool(int&, int&, std::vector<uint8_t>&, bool)> overlay)
{
    Hooks& h = TheHooks();
    std::lock_guard<std::mutex> lock(h.mutex);
    h.screenshotOverlay = std::move(overlay);
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
    Hooks& h = TheHooks();
    std::function<bool(HWND, const char*, const char*, UINT, int&)> provider;
    {
        std::lock_guard<std::mutex> lock(h.mutex);
        provider = h.messageBoxProvider;
    }
    return provider && provider(owner, text, caption, type, answer);
}

void platform_detail::HandScriptDialogAction(int line, int controlId, const std::string& action,
                                             const std::string& argument)
{
    Hooks& h = TheHooks();
    std::function<void(int, int, const std::string&, const std::string&)> handler;
    {
        std::lock_guard<std::mutex> lock(h.mutex);
        handler = h.scriptDialogHandler;
    }
    if (handler)
        handler(line, controlId, action, argument);
    else
        PlatformTrace("script line %d: `dialog` needs a program with dialogs; ignored", line);
}

bool platform_detail::OverlayScreenshot(int& w, int& h, std::vector<uint8_t>& rgb, bool haveFrame)
{
    Hooks& hooks = TheHooks();
    std::function<bool(int&, int&, std::vector<uint8_t>&, bool)> overlay;
    {
        std::lock_guard<std::mutex> lock(hooks.mutex);
        overlay = hooks.screenshotOverlay;
    }
    if (!overlay) return haveFrame;
    return overlay(w, h, rgb, haveFrame);
}
