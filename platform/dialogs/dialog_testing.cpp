// Test hooks: tests act on dialogs as a user would and read what the dialogs show.
#include "platform/dialogs/dialogs_internal.h"
#include "platform/dialogs/dialogs_testing.h"
#include "platform/win32/platform_internal.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

using namespace dialogs_detail;
using dialog_text::Canvas;

void DialogSetTestDriver(std::function<void(HWND dialog)> driver) { g_driver = std::move(driver); }

void DialogSetTestTicker(std::function<void()> ticker) { g_ticker = std::move(ticker); }

namespace {
Control* TestControl(HWND dialog, int id, Dialog*& d)
{
    d = FindDialog(dialog);
    if (!Alive(d)) return nullptr;
    return FindItem(d, id);
}

void Redraw(Dialog* d)
{
    if (Alive(d)) InvalidateRect(d->hwnd, nullptr, FALSE);
}
}  // namespace

bool DialogTestSelect(HWND dialog, int id, int index)
{
    Dialog* d;
    Control* c = TestControl(dialog, id, d);
    bool ok = c && Select(d, c, index);
    Redraw(d);
    return ok;
}

bool DialogTestDoubleClick(HWND dialog, int id, int index)
{
    Dialog* d;
    Control* c = TestControl(dialog, id, d);
    if (!c || c->kind != DialogControlKind::ListBox || !Focusable(c) || index < 0 ||
        index >= static_cast<int>(c->items.size()))
        return false;
    if (index != c->cursel) Select(d, c, index);
    if (Alive(d) && !d->ended) Notify(d, c, LBN_DBLCLK);
    Redraw(d);
    return true;
}

bool DialogTestClick(HWND dialog, int id)
{
    Dialog* d;
    Control* c = TestControl(dialog, id, d);
    bool ok = c && Click(d, c);
    Redraw(d);
    return ok;
}

bool DialogTestType(HWND dialog, int id, const std::string& text)
{
    Dialog* d;
    Control* c = TestControl(dialog, id, d);
    if (!c || c->kind != DialogControlKind::Edit || !Focusable(c) || d->ended) return false;
    ReplaceEditText(d, c, text);
    Redraw(d);
    return true;
}

void DialogTestKey(HWND dialog, DialogKey key)
{
    Dialog* d = FindDialog(dialog);
    if (!Alive(d)) return;
    static const int vks[] = {VK_TAB, VK_TAB, VK_UP, VK_DOWN, VK_LEFT, VK_RIGHT, VK_RETURN, VK_ESCAPE, VK_SPACE};
    KeyDown(d, vks[static_cast<int>(key)], key == DialogKey::ShiftTab);
    Redraw(d);
}

bool DialogTestPostKey(HWND dialog, int id, int vk)
{
    Dialog* d = FindDialog(dialog);
    if (!Alive(d)) return false;
    if (id) {
        Control* c = FindItem(d, id);
        if (!c || !Focusable(c)) return false;
        SetFocusTo(d, c);
    }
    PostMessageA(dialog, WM_KEYDOWN, static_cast<WPARAM>(vk), 1);
    PostMessageA(dialog, WM_KEYUP, static_cast<WPARAM>(vk), static_cast<LPARAM>(0xC0000001u));
    return true;
}

int DialogTestFocus(HWND dialog)
{
    Dialog* d = FindDialog(dialog);
    Control* f = Alive(d) ? Focused(d) : nullptr;
    return f ? f->id : 0;
}

std::vector<std::string> DialogTestEntries(HWND dialog, int id)
{
    Dialog* d;
    Control* c = TestControl(dialog, id, d);
    return c ? c->items : std::vector<std::string>();
}

std::vector<std::string> DialogTestCutEntries(HWND dialog, int id)
{
    Dialog* d;
    Control* c = TestControl(dialog, id, d);
    std::vector<std::string> cut;
    if (!c) return cut;
    const bool combo = c->kind == DialogControlKind::ComboBox;
    for (const std::string& item : c->items) {
        const int width = dialog_text::TextWidth(item, false);
        if (width > EntryTextRoom(c, false) || (combo && width > EntryTextRoom(c, true))) cut.push_back(item);
    }
    return cut;
}

std::string DialogTestText(HWND dialog, int id)
{
    Dialog* d;
    Control* c = TestControl(dialog, id, d);
    return c ? c->text : std::string();
}

bool DialogTestIsVisible(HWND dialog, int id)
{
    Dialog* d = FindDialog(dialog);
    if (!Alive(d) || !IsWindowVisible(dialog)) return false;
    if (id == 0) return true;
    Control* c = FindItem(d, id);
    return c && c->visible;
}

int DialogTestTopIndex(HWND dialog, int id)
{
    Dialog* d;
    Control* c = TestControl(dialog, id, d);
    return c ? c->top : -1;
}

bool DialogTestEnded(HWND dialog)
{
    Dialog* d = FindDialog(dialog);
    return !Alive(d) || d->ended;
}

std::string DialogTestTitle(HWND dialog)
{
    Dialog* d = FindDialog(dialog);
    if (!d) return std::string();
    SDL_Window* window = PlatformSdlWindow(dialog);
    const char* title = window ? SDL_GetWindowTitle(window) : nullptr;
    return title ? std::string(title) : d->title;
}

std::vector<HWND> DialogTestOpenDialogs()
{
    std::vector<std::pair<uint64_t, HWND>> open;
    for (auto& [h, d] : g_dialogs)
        if (Alive(d.get())) open.emplace_back(d->order, h);
    std::sort(open.begin(), open.end());
    std::vector<HWND> out;
    for (auto& o : open) out.push_back(o.second);
    return out;
}

bool DialogTestPump(DWORD ms)
{
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    do {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                if (msg.hwnd)
                    PostMessageA(msg.hwnd, WM_QUIT, msg.wParam, msg.lParam);
                else
                    PostQuitMessage(static_cast<int>(msg.wParam));
                return false;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    } while (std::chrono::steady_clock::now() < until);
    return true;
}

bool DialogTestWaitFor(const std::function<bool()>& done, DWORD timeoutMs)
{
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (done()) return true;
        if (std::chrono::steady_clock::now() >= until) return false;
        if (!DialogTestPump(5)) return done();
    }
}

bool DialogTestRender(HWND dialog, int& width, int& height, std::vector<uint8_t>& rgb)
{
    Dialog* d = FindDialog(dialog);
    if (!Alive(d)) return false;
    Canvas cv;
    RenderClient(d, cv);
    width = cv.w;
    height = cv.h;
    rgb = std::move(cv.rgb);
    return true;
}

bool DialogTestRenderFramed(HWND dialog, int& width, int& height, std::vector<uint8_t>& rgb)
{
    Dialog* d = FindDialog(dialog);
    if (!Alive(d)) return false;
    Canvas cv;
    RenderFramed(d, DialogTestTitle(dialog), true, cv);
    width = cv.w;
    height = cv.h;
    rgb = std::move(cv.rgb);
    return true;
}
