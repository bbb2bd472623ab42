// Script lines for dialogs (`dialog <id> click|text|select|dblclick|key`) carried out on the dialog
// that shows the control, and the open dialogs drawn over the program's picture in screenshots.
#include "platform/dialogs/dialogs_internal.h"
#include "platform/dialogs/dialogs_testing.h"
#include "platform/win32/platform_internal.h"

#include <SDL.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

using namespace dialogs_detail;
using dialog_text::Canvas;

namespace {
// A script's dialog line waits this long for its control, the script standing still meanwhile: it
// may wait on another program (the other computer of a two-computer run), which a busy machine
// may hold back for minutes. A line for a dialog that never comes is dropped at last, so that the
// rest of the script still runs.
constexpr DWORD ActionPatienceMs = 300000;

// The dialog that takes an action on control `id`: the frontmost open one that shows it enabled
// (and, to choose an entry, has that entry).
Dialog* ActionTarget(const PendingAction& a, Control*& control)
{
    const int id = a.id;
    int entry = -1;
    if (a.action == "select" || a.action == "dblclick") entry = std::atoi(a.argument.c_str());
    Dialog* best = nullptr;
    for (auto& [h, dp] : g_dialogs) {
        Dialog* d = dp.get();
        if (!Alive(d) || d->ended || !d->enabled || !d->initialised || !IsWindowVisible(h)) continue;
        Control* c = FindItem(d, id);
        if (!c || !c->visible || !c->enabled) continue;
        if (entry >= 0 && (!IsList(c) || entry >= static_cast<int>(c->items.size()))) continue;
        if (!best || d->order > best->order) {
            best = d;
            control = c;
        }
    }
    return best;
}

bool PerformAction(Dialog* d, Control* c, const PendingAction& a)
{
    if (a.action == "click") {
        if (!IsButton(c)) {
            PlatformTrace("script line %d: control %d is no button", a.line, a.id);
            return false;
        }
        return Click(d, c);
    }
    if (a.action == "text") {
        if (c->kind != DialogControlKind::Edit) {
            PlatformTrace("script line %d: control %d is no edit control", a.line, a.id);
            return false;
        }
        ReplaceEditText(d, c, a.argument);
        return true;
    }
    if (a.action == "select" || a.action == "dblclick") {
        int index = std::atoi(a.argument.c_str());
        if (!IsList(c) || index < 0 || index >= static_cast<int>(c->items.size())) {
            PlatformTrace("script line %d: control %d has no entry %d", a.line, a.id, index);
            return false;
        }
        if (index != c->cursel || a.action == "select") Select(d, c, index);
        SetFocusTo(d, c);
        if (a.action == "dblclick" && Alive(d) && !d->ended) Notify(d, c, LBN_DBLCLK);
        return true;
    }
    if (a.action == "key") {
        int vk = 0;
        // Single letters and digits are their own codes; names are looked up by the core.
        static const std::map<std::string, int> names = {
            {"VK_RETURN", VK_RETURN}, {"VK_ESCAPE", VK_ESCAPE}, {"VK_TAB", VK_TAB},     {"VK_SPACE", VK_SPACE},
            {"VK_UP", VK_UP},         {"VK_DOWN", VK_DOWN},     {"VK_LEFT", VK_LEFT},   {"VK_RIGHT", VK_RIGHT},
            {"VK_HOME", VK_HOME},     {"VK_END", VK_END},       {"VK_PRIOR", VK_PRIOR}, {"VK_NEXT", VK_NEXT},
            {"VK_BACK", VK_BACK},     {"VK_DELETE", VK_DELETE}, {"VK_F4", VK_F4}};
        auto it = names.find(a.argument);
        if (it != names.end())
            vk = it->second;
        else if (a.argument.size() == 1 && std::isalnum(static_cast<unsigned char>(a.argument[0])))
            vk = std::toupper(static_cast<unsigned char>(a.argument[0]));
        if (!vk) {
            PlatformTrace("script line %d: key %s is not one a dialog takes", a.line, a.argument.c_str());
            return false;
        }
        return DialogTestPostKey(d->hwnd, c->id, vk);
    }
    PlatformTrace("script line %d: unknown dialog action \"%s\"", a.line, a.action.c_str());
    return false;
}

}  // namespace

namespace dialogs_detail {

void RunActions()
{
    while (!g_actions.empty()) {
        PendingAction a = g_actions.front();
        Control* c = nullptr;
        Dialog* d = ActionTarget(a, c);
        if (!d) {
            if (std::chrono::steady_clock::now() - a.queued < std::chrono::milliseconds(ActionPatienceMs)) return;
            PlatformTrace("script line %d: no open dialog showed control %d enabled within %u s; \"%s\" dropped",
                          a.line, a.id, static_cast<unsigned>(ActionPatienceMs / 1000), a.action.c_str());
            g_actions.pop_front();
            continue;
        }
        // Taken off first: the action may run a nested dialog that carries out the next ones.
        g_actions.pop_front();
        PerformAction(d, c, a);
    }
}

void WakeActions()
{
    HWND target = g_pumpTarget.load();
    if (target && !g_actions.empty()) PostMessageA(target, MsgRunActions, 0, 0);
}

void QueueAction(int line, int id, const std::string& action, const std::string& argument)
{
    g_actions.push_back(PendingAction{line, id, action, argument, std::chrono::steady_clock::now()});
    WakeActions();
}

// --- Screenshots ------------------------------------------------------------------------------
bool OverlayDialogs(int& w, int& h, std::vector<uint8_t>& rgb, bool haveFrame)
{
    std::vector<Dialog*> shown;
    for (auto& [hwnd, d] : g_dialogs)
        if (Alive(d.get()) && IsWindowVisible(hwnd)) shown.push_back(d.get());
    if (shown.empty()) return haveFrame;
    std::sort(shown.begin(), shown.end(), [](Dialog* a, Dialog* b) { return a->order < b->order; });
    // Everything in notional screen coordinates of the client areas.
    HWND main = PlatformMainWindow();
    bool mainIsDialog = main && FindDialog(main) != nullptr;
    POINT origin{0, 0};
    Canvas cv;
    if (haveFrame && main && !mainIsDialog) {
        ClientToScreen(main, &origin);
        cv.w = w;
        cv.h = h;
        cv.rgb = std::move(rgb);
        cv.NoClip();
    } else {
        // No picture of the program's: the dialogs on a plain desktop.
        long left = LONG_MAX, top = LONG_MAX, right = LONG_MIN, bottom = LONG_MIN;
        for (Dialog* d : shown) {
            POINT p{0, 0};
            ClientToScreen(d->hwnd, &p);
            left = std::min<long>(left, p.x - FrameWidth);
            top = std::min<long>(top, p.y - FrameWidth - CaptionHeight);
            right = std::max<long>(right, p.x + d->w + FrameWidth);
            bottom = std::max<long>(bottom, p.y + d->h + FrameWidth);
        }
        const int margin = 16;
        origin = POINT{static_cast<LONG>(left - margin), static_cast<LONG>(top - margin)};
        cv.Reset(static_cast<int>(right - left) + 2 * margin, static_cast<int>(bottom - top) + 2 * margin, 0x3A6EA5);
    }
    HWND active = GetActiveWindow();
    for (Dialog* d : shown) {
        POINT p{0, 0};
        ClientToScreen(d->hwnd, &p);
        SDL_Window* window = PlatformSdlWindow(d->hwnd);
        std::string title = window && SDL_GetWindowTitle(window) ? SDL_GetWindowTitle(window) : d->title;
        Canvas framed;
        RenderFramed(d, title, d->hwnd == active, framed);
        cv.Paste(framed, static_cast<int>(p.x - origin.x) - FrameWidth,
                 static_cast<int>(p.y - origin.y) - FrameWidth - CaptionHeight);
    }
    w = cv.w;
    h = cv.h;
    rgb = std::move(cv.rgb);
    return true;
}

}  // namespace dialogs_detail

void DialogQueueAction(int id, const std::string& action, const std::string& argument)
{
    QueueAction(0, id, action, argument);
}

int DialogPendingActions() { return static_cast<int>(g_actions.size()); }
