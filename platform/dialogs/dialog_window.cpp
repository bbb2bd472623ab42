// The dialog's window: its procedure, which turns the core's messages into what the dialog does, and
// the loop of a modal dialog.
#include "platform/dialogs/dialogs_internal.h"
#include "platform/win32/platform_internal.h"

#include <functional>
#include <vector>

using namespace dialogs_detail;

namespace {

bool AcceptsInput(HWND hwnd)
{
    Dialog* d = FindDialog(hwnd);
    if (!d) {
        ControlEntry e;
        if (!LookUpControl(hwnd, e)) return false;
        d = e.d;
    }
    return Alive(d) && d->enabled;
}

bool IsInputMessage(UINT message)
{
    return (message >= WM_KEYFIRST && message <= WM_KEYLAST) || (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST);
}

}  // namespace

namespace dialogs_detail {

LRESULT CALLBACK DialogWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    Dialog* d = FindDialog(hwnd);
    if (!d) {
        if (msg == WM_CLOSE) return 0;  // never destroyed behind the program's back
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
    ++g_wndProcDepth;
    struct Leave {
        ~Leave()
        {
            --g_wndProcDepth;
            Bury();
        }
    } leave;
    switch (msg) {
    case MsgCall: return (*reinterpret_cast<std::function<LRESULT()>*>(lParam))();
    case MsgEndDialog:
        if (!d->destroyed) {
            d->ended = true;
            d->result = static_cast<INT_PTR>(wParam);
            if (!d->modal) ShowWindow(hwnd, SW_HIDE);
        }
        return 0;
    case MsgFrameTick: FrameTick(); return 0;
    case MsgRunActions: RunActions(); return 0;
    case WM_PAINT:
        Present(d);
        return 0;
    case WM_ERASEBKGND: return 1;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        if (!d->enabled || d->destroyed) return 0;
        if (msg == WM_SYSKEYDOWN) {
            if (wParam == VK_F4) SendCommand(d, IDCANCEL);
            else if ((wParam >= 'A' && wParam <= 'Z') || (wParam >= '0' && wParam <= '9'))
                MnemonicKey(d, static_cast<char>(wParam));
            else
                return DefWindowProcA(hwnd, msg, wParam, lParam);
        } else {
            KeyDown(d, static_cast<int>(wParam), (GetKeyState(VK_SHIFT) & 0x8000) != 0);
        }
        if (Alive(d)) InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case WM_CHAR:
        if (!d->enabled || d->destroyed) return 0;
        CharTyped(d, static_cast<unsigned>(wParam & 0xFF));
        if (Alive(d)) InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case WM_KEYUP:
    case WM_SYSKEYUP:
    case WM_SYSCHAR: return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (!d->enabled || d->destroyed) return 0;
        MouseDown(d, static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam)));
        if (Alive(d)) InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case WM_LBUTTONUP:
        if (d->destroyed) return 0;
        MouseUp(d, static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam)));
        if (Alive(d)) InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case WM_MOUSEMOVE:
        MouseMove(d, static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam)));
        if (d->dirty) InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case WM_MOUSEWHEEL: {
        if (!d->enabled) return 0;
        POINT p{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))};
        ScreenToClient(hwnd, &p);
        int notches = static_cast<SHORT>(HIWORD(wParam)) / 120;
        Control* target = nullptr;
        for (auto& c : d->controls)
            if (c->visible && c->kind == DialogControlKind::ListBox && Inside(c.get(), p.x, p.y, c->h)) target = c.get();
        if (!target && Focused(d) && IsList(Focused(d))) target = Focused(d);
        if (target) {
            ScrollList(d, target, -3 * notches);
            InvalidateRect(hwnd, nullptr, FALSE);
        }
        return 0;
    }
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP: return 0;
    case WM_CLOSE: {
        // The close box: the procedure may take it, else it is Cancel.
        if (!d->enabled || d->destroyed) return 0;
        INT_PTR taken = d->proc ? d->proc(hwnd, msg, wParam, lParam) : FALSE;
        if (!taken && Alive(d)) SendCommand(d, IDCANCEL);
        return 0;
    }
    case WM_NEXTDLGCTL:
        if (lParam) {
            Dialog* owner;
            Control* c;
            if (ControlHere(reinterpret_cast<HWND>(wParam), owner, c) && owner == d) SetFocusTo(d, c);
        } else {
            MoveFocus(d, wParam ? -1 : 1);
        }
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case WM_TIMER:
        if (wParam == IdleTimerId) {
            if (d->modal && !d->ended && NobodyCanAnswer()) {
                PlatformTrace("dialogs: \"%s\" has no display or script to answer it; cancelled", d->title.c_str());
                d->ended = true;
                d->result = IDCANCEL;
            }
            return 0;
        }
        break;
    case WM_DESTROY:
        if (d->proc) d->proc(hwnd, msg, wParam, lParam);
        d->destroyed = true;
        if (d->surface) d->surface = nullptr;
        return 0;
    case WM_NCDESTROY:
        d->destroyed = true;
        ForgetDialog(d);
        return 0;
    default: break;
    }
    if (d->destroyed || !d->proc) return DefWindowProcA(hwnd, msg, wParam, lParam);
    INT_PTR handled = d->proc(hwnd, msg, wParam, lParam);
    if (msg == WM_TIMER || msg == WM_COMMAND || msg >= WM_USER) {
        if (Alive(d) && d->dirty) InvalidateRect(hwnd, nullptr, FALSE);
        return handled;
    }
    return handled ? handled : DefWindowProcA(hwnd, msg, wParam, lParam);
}

INT_PTR RunModal(HWND hwnd)
{
    Dialog* d = FindDialog(hwnd);
    if (!d) return -1;
    HWND owner = d->owner;
    Dialog* ownerDialog = FindDialog(owner);
    bool ownerWasEnabled = ownerDialog && ownerDialog->enabled;
    if (ownerDialog) EnableWindow(owner, FALSE);

    if (!d->ended) {
        if (g_driver) {
            auto driver = g_driver;
            driver(hwnd);
            d = FindDialog(hwnd);
            if (d && !d->ended) {
                PlatformTrace("dialogs: \"%s\" was still open when its test driver returned; cancelled",
                              d->title.c_str());
                d->ended = true;
                d->result = IDCANCEL;
            }
        } else {
            SetTimer(hwnd, IdleTimerId, IdleCheckMs, nullptr);
            std::vector<MSG> laterQuits;  // quits addressed to other windows' loops
            bool programQuit = false;
            WPARAM quitCode = 0;
            while ((d = FindDialog(hwnd)) && Alive(d) && !d->ended) {
                MSG msg{};
                BOOL got = GetMessageA(&msg, nullptr, 0, 0);
                if (got == -1) break;
                if (!got || msg.message == WM_QUIT) {
                    if (msg.hwnd && msg.hwnd != hwnd) {
                        if (IsWindow(msg.hwnd)) laterQuits.push_back(msg);
                        continue;
                    }
                    if (!msg.hwnd) {
                        programQuit = true;
                        quitCode = msg.wParam;
                    }
                    d->ended = true;
                    d->result = IDCANCEL;
                    break;
                }
                if (IsInputMessage(msg.message) && !AcceptsInput(msg.hwnd)) continue;
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
            if (IsWindow(hwnd)) KillTimer(hwnd, IdleTimerId);
            for (const MSG& m : laterQuits)
                if (IsWindow(m.hwnd)) PostMessageA(m.hwnd, WM_QUIT, m.wParam, m.lParam);
            // The program is closing: its own loop gets the quit back.
            if (programQuit) PostQuitMessage(static_cast<int>(quitCode));
        }
    }
    d = FindDialog(hwnd);
    INT_PTR result = d ? d->result : IDCANCEL;
    // Enabled again first: the owner is where the keyboard goes back to when the dialog goes.
    if (ownerDialog && FindDialog(owner) == ownerDialog && ownerWasEnabled) EnableWindow(owner, TRUE);
    if (IsWindow(hwnd)) DestroyWindow(hwnd);
    Bury();
    return result;
}

}  // namespace dialogs_detail
