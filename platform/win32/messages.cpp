// The message queue: posting, sending (also from other threads), taking and dispatching messages,
// the quit, and the pump that turns SDL's events, the script's input and messages sent from other
// threads into messages.
#include "platform/win32/message_queue.h"
#include "platform/win32/window_table.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

using namespace platform_detail;

namespace platform_detail {
std::mutex queueMutex;
std::condition_variable queueChanged;
std::deque<MSG> queue;
bool quitPending = false;
int quitCode = 0;
}  // namespace platform_detail

namespace {
// Window procedures run for messages that were sent rather than posted (activation, say):
// WaitMessage returns after one of them, as the caller's state may have changed.
std::atomic<uint64_t> sentRun{0};

DWORD lastMessageTime = 0;

struct SentMessage {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    std::promise<LRESULT> result;
};
std::deque<std::shared_ptr<SentMessage>> sentMessages;

void ProcessSentMessages()
{
    for (;;) {
        std::shared_ptr<SentMessage> sent;
        {
            std::lock_guard<std::mutex> lock(queueMutex);
            if (sentMessages.empty()) return;
            sent = sentMessages.front();
            sentMessages.pop_front();
        }
        sent->result.set_value(SendNow(sent->hwnd, sent->message, sent->wParam, sent->lParam));
    }
}

bool Matches(const MSG& m, HWND hwnd, UINT lo, UINT hi)
{
    if (hwnd == reinterpret_cast<HWND>(static_cast<intptr_t>(-1))) {
        if (m.hwnd) return false;
    } else if (hwnd && m.hwnd != hwnd) {
        return false;
    }
    if (lo == 0 && hi == 0) return true;
    return m.message >= lo && m.message <= hi;
}

// Takes a waiting message; no idle bookkeeping (shared by Peek and Get).
bool TakeMessage(LPMSG msg, HWND hwnd, UINT lo, UINT hi, bool remove)
{
    std::lock_guard<std::mutex> lock(queueMutex);
    for (auto it = queue.begin(); it != queue.end(); ++it)
        if (Matches(*it, hwnd, lo, hi)) {
            *msg = *it;
            lastMessageTime = it->time;
            if (remove) queue.erase(it);
            return true;
        }
    if (quitPending && ((lo == 0 && hi == 0) || (WM_QUIT >= lo && WM_QUIT <= hi))) {
        *msg = MSG{};
        msg->message = WM_QUIT;
        msg->wParam = static_cast<WPARAM>(quitCode);
        msg->time = timeGetTime();
        if (remove) quitPending = false;
        return true;
    }
    return TakeDueTimer(msg, hwnd, lo, hi, remove);
}

}  // namespace

namespace {
std::mutex handlerMutex;
std::vector<std::pair<int, std::function<bool(const void*)>>> eventHandlers;
int nextHandlerId = 1;

bool OfferToHandlers(const SDL_Event& event)
{
    std::vector<std::function<bool(const void*)>> handlers;
    {
        std::lock_guard<std::mutex> lock(handlerMutex);
        for (auto& h : eventHandlers) handlers.push_back(h.second);
    }
    for (auto& h : handlers)
        if (h(&event)) return true;
    return false;
}
}  // namespace

int PlatformAddEventHandler(std::function<bool(const void*)> handler)
{
    std::lock_guard<std::mutex> lock(handlerMutex);
    eventHandlers.emplace_back(nextHandlerId, std::move(handler));
    return nextHandlerId++;
}

void PlatformRemoveEventHandler(int id)
{
    std::lock_guard<std::mutex> lock(handlerMutex);
    eventHandlers.erase(std::remove_if(eventHandlers.begin(), eventHandlers.end(),
                                       [&](const auto& h) { return h.first == id; }),
                        eventHandlers.end());
}

namespace platform_detail {
void DeliverSignals();  // signals.cpp
}

void platform_detail::PumpEvents()
{
    if (!IsMainThread()) return;
    DeliverSignals();
    if (videoReady) {
        SDL_Event event;
        while (SDL_PollEvent(&event)) {
            if (OfferToHandlers(event)) continue;
            if (event.type == SDL_WINDOWEVENT)
                HandleWindowEvent(&event.window);
            else
                HandleInputEvent(&event);
        }
        AskAgainForPendingMaps();
    }
    DeliverScriptEvents();
    ProcessSentMessages();
}

// ---------------------------------------------------------------------------------------------
// Messages
void platform_detail::QueueMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, DWORD modifiers)
{
    int bx = 0, by = 0;
    PlatformMousePosition(bx, by);
    MSG m{hwnd, message, wParam, lParam, timeGetTime(), {bx, by}, modifiers};
    if (hwnd) {
        POINT o = ClientOrigin(hwnd);
        m.pt.x += o.x;
        m.pt.y += o.y;
    }
    {
        std::lock_guard<std::mutex> lock(queueMutex);
        // Moves not yet taken are combined, as the desktop does: a program that is slow to
        // read its queue sees where the mouse is, not where it was.
        if (message == WM_MOUSEMOVE && !queue.empty() && queue.back().message == WM_MOUSEMOVE &&
            queue.back().hwnd == hwnd && queue.back().wParam == wParam)
            queue.back() = m;
        else
            queue.push_back(m);
    }
    queueChanged.notify_all();
}

LRESULT platform_detail::SendNow(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto w = Find(hwnd);
    if (!w && IsChildWindow(hwnd)) return ChildWindows()->send(hwnd, message, wParam, lParam);
    if (!w || !w->proc) return 0;
    ++sentRun;
    return w->proc(hwnd, message, wParam, lParam);
}

BOOL PostMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (hwnd && !IsWindow(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    MSG m{hwnd, message, wParam, lParam, timeGetTime(), {0, 0}, CurrentModifiers()};
    {
        std::lock_guard<std::mutex> lock(queueMutex);
        queue.push_back(m);
    }
    queueChanged.notify_all();
    return TRUE;
}

LRESULT SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto w = Find(hwnd);
    if (!w && IsChildWindow(hwnd)) return ChildWindows()->send(hwnd, message, wParam, lParam);
    if (!w || w->destroying) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (std::this_thread::get_id() == w->owner) return SendNow(hwnd, message, wParam, lParam);
    auto sent = std::make_shared<SentMessage>();
    sent->hwnd = hwnd;
    sent->message = message;
    sent->wParam = wParam;
    sent->lParam = lParam;
    auto result = sent->result.get_future();
    {
        std::lock_guard<std::mutex> lock(queueMutex);
        sentMessages.push_back(sent);
    }
    queueChanged.notify_all();
    return result.get();
}

void PostQuitMessage(int exitCode)
{
    {
        std::lock_guard<std::mutex> lock(queueMutex);
        quitPending = true;
        quitCode = exitCode;
    }
    queueChanged.notify_all();
}

BOOL PeekMessageA(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags)
{
    if (!msg) return FALSE;
    PumpEvents();
    if (TakeMessage(msg, hwnd, filterMin, filterMax, (removeFlags & PM_REMOVE) != 0)) return TRUE;
    NoteIdlePoll();
    return FALSE;
}

BOOL GetMessageA(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax)
{
    if (!msg) return -1;
    if (hwnd && hwnd != reinterpret_cast<HWND>(static_cast<intptr_t>(-1)) && !IsWindow(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return -1;
    }
    for (;;) {
        PumpEvents();
        if (TakeMessage(msg, hwnd, filterMin, filterMax, true)) return msg->message != WM_QUIT;
        std::unique_lock<std::mutex> lock(queueMutex);
        if (!queue.empty() || quitPending || !sentMessages.empty()) continue;
        // SDL has no wake-up of its own for posted messages: wait briefly, then poll it again.
        queueChanged.wait_for(lock, std::chrono::milliseconds(videoReady ? 5 : 50));
    }
}

BOOL WaitMessage()
{
    for (;;) {
        const uint64_t before = sentRun;
        PumpEvents();
        // A message sent to a window while waiting (the application activated again) wakes the
        // caller too: it is no posted message, yet the caller has work to do now.
        if (sentRun != before) return TRUE;
        std::unique_lock<std::mutex> lock(queueMutex);
        if (!queue.empty() || quitPending) return TRUE;
        queueChanged.wait_for(lock, std::chrono::milliseconds(videoReady ? 5 : 50));
    }
}

DWORD GetMessageTime() { return lastMessageTime; }

BOOL TranslateMessage(const MSG* msg)
{
    // Text arrives from SDL's text input as WM_CHAR already; the keys that type no text but do
    // produce a character on the desktop (Return, Backspace, Tab, Escape, Ctrl+letter) are
    // made here.
    if (!msg || msg->message != WM_KEYDOWN) return FALSE;
    int ch = -1;
    switch (msg->wParam) {
    case VK_RETURN: ch = '\r'; break;
    case VK_BACK: ch = 8; break;
    case VK_TAB: ch = '\t'; break;
    case VK_ESCAPE: ch = 27; break;
    default:
        if ((msg->lPrivate & MK_CONTROL) && !(msg->lPrivate & FALT) && msg->wParam >= 'A' && msg->wParam <= 'Z')
            ch = static_cast<int>(msg->wParam - 'A' + 1);
        break;
    }
    if (ch < 0) return FALSE;
    // Next in line, right behind its key, as the desktop does.
    MSG c = *msg;
    c.message = WM_CHAR;
    c.wParam = static_cast<WPARAM>(ch);
    c.lParam = msg->lParam & 0x7FFFFFFF;
    {
        std::lock_guard<std::mutex> lock(queueMutex);
        queue.push_front(c);
    }
    queueChanged.notify_all();
    return TRUE;
}

LRESULT DispatchMessageA(const MSG* msg)
{
    if (!msg || !msg->hwnd) return 0;
    if (!IsWindow(msg->hwnd)) return 0;
    if (msg->message == WM_PAINT) ValidateRect(msg->hwnd, nullptr);
    return SendNow(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

LRESULT CallWindowProcA(WNDPROC proc, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return proc ? proc(hwnd, message, wParam, lParam) : 0;
}

LRESULT DefWindowProcA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_NCCREATE: return TRUE;
    case WM_CLOSE: DestroyWindow(hwnd); return 0;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE) SendMessageA(hwnd, WM_CLOSE, 0, 0);
        else if ((wParam & 0xFFF0) == SC_MINIMIZE) ShowWindow(hwnd, SW_MINIMIZE);
        else if ((wParam & 0xFFF0) == SC_RESTORE) ShowWindow(hwnd, SW_RESTORE);
        return 0;
    case WM_SYSKEYDOWN:
        if (wParam == VK_F4 && (lParam & (1 << 29))) SendMessageA(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        return 0;
    case WM_NCHITTEST: return HTCLIENT;
    case WM_NCACTIVATE: return TRUE;
    case WM_MOUSEACTIVATE: return 1;
    case WM_ERASEBKGND: return 1;
    case WM_SETCURSOR:
        // Without a class cursor the shape is left as it is: the program sets its own.
        if (LOWORD(lParam) == HTCLIENT) {
            auto w = Find(hwnd);
            if (w && w->classCursor) SetCursor(w->classCursor);
        }
        return FALSE;
    case WM_GETMINMAXINFO:
    default: return 0;
    }
}
