// The dialog manager: its tables and its hooks into the core, templates, the making of dialogs, and
// the calls programs make on dialogs and their controls. What the controls do, the keyboard and the
// mouse, the window procedure and the modal loop, frames, script lines and test hooks have files of
// their own beside this one.
#include "platform/dialogs/dialogs.h"

#include "platform/dialogs/dialogs_internal.h"
#include "platform/win32/platform_internal.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace dialogs_detail;

namespace dialogs_detail {

// The tables below are never destroyed: a program's static objects may still destroy their
// dialogs while it exits, after tables destroyed in order would be gone.
// Dialogs by window; the records themselves are used on their own thread only.
std::map<HWND, std::unique_ptr<Dialog>>& g_dialogs = *new std::map<HWND, std::unique_ptr<Dialog>>;
std::vector<std::unique_ptr<Dialog>>& g_graveyard = *new std::vector<std::unique_ptr<Dialog>>;  // destroyed, freed when no call is running on them
int g_wndProcDepth = 0;

// What other threads may look up, under g_handleMutex.
std::mutex g_handleMutex;
std::map<HWND, ControlEntry>& g_controls = *new std::map<HWND, ControlEntry>;
std::map<HWND, std::thread::id>& g_dialogOwners = *new std::map<HWND, std::thread::id>;

std::function<void(HWND)> g_driver;
std::function<void()> g_ticker;
std::deque<PendingAction>& g_actions = *new std::deque<PendingAction>;

}  // namespace dialogs_detail

namespace {

uint64_t g_nextOrder = 1;
auto& g_templates = *new std::map<std::string, DialogTemplate>;
uintptr_t g_nextHandle = 0xD1A10000u;
ATOM g_class = 0;

HWND NewHandle() { return reinterpret_cast<HWND>(g_nextHandle++); }

// --- Registration with the core ---------------------------------------------------------------
bool ShowControl(Dialog* d, Control* c, int cmdShow)
{
    bool was = c->visible;
    c->visible = cmdShow != SW_HIDE;
    if (!c->visible) {
        c->dropped = false;
        RepairFocus(d);
    }
    d->dirty = true;
    return was;
}

void RegisterWithCore()
{
    static bool done = false;
    if (done) return;
    done = true;
    PlatformChildWindows children;
    children.owns = [](HWND h) {
        std::lock_guard<std::mutex> lock(g_handleMutex);
        return g_controls.count(h) != 0;
    };
    children.send = [](HWND h, UINT msg, WPARAM wParam, LPARAM lParam) -> LRESULT {
        return DialogSendMessage(h, msg, wParam, lParam);
    };
    children.show = [](HWND h, int cmd) -> BOOL {
        LRESULT was = FALSE;
        OnControl(h, was, [cmd](Dialog* d, Control* c) { return ShowControl(d, c, cmd); });
        return static_cast<BOOL>(was);
    };
    children.isVisible = [](HWND h) -> BOOL {
        LRESULT visible = FALSE;
        OnControl(h, visible, [](Dialog* d, Control* c) { return c->visible && IsWindowVisible(d->hwnd); });
        return static_cast<BOOL>(visible);
    };
    children.focus = [](HWND h) -> HWND {
        LRESULT old = 0;
        OnControl(h, old, [](Dialog* d, Control* c) {
            Control* before = Focused(d);
            SetFocusTo(d, c);
            SetFocus(d->hwnd);
            return reinterpret_cast<LRESULT>(before ? before->hwnd : nullptr);
        });
        return reinterpret_cast<HWND>(old);
    };
    PlatformSetChildWindows(std::move(children));
    PlatformSetMessageBoxProvider(ShowMessageBox);
    PlatformSetScriptDialogHandler([](int line, int id, const std::string& action, const std::string& argument) {
        QueueAction(line, id, action, argument);
    });
    PlatformSetScriptDialogWaiting([] { return !g_actions.empty(); });
    PlatformSetScreenshotOverlay(OverlayDialogs);
}

// Script lines may come before the first dialog: the hooks are in place from the start.
const bool g_registeredAtStart = (RegisterWithCore(), true);

bool RegisterClassOnce()
{
    if (g_class) return true;
    WNDCLASSA wc{};
    wc.lpfnWndProc = DialogWindowProc;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = ClassName;
    g_class = RegisterClassA(&wc);
    if (!g_class) PlatformTrace("dialogs: the dialog window class cannot be registered");
    return g_class != 0;
}

std::string TemplateKey(LPCSTR name)
{
    if (!name) return std::string();
    if (IS_INTRESOURCE(name)) return "#" + std::to_string(reinterpret_cast<uintptr_t>(name));
    return std::string(name);
}

// The template registered under that name, null with a trace when there is none.
const DialogTemplate* RegisteredTemplate(LPCSTR name)
{
    auto it = g_templates.find(TemplateKey(name));
    if (it != g_templates.end()) return &it->second;
    PlatformTrace("dialogs: no dialog template %s", TemplateKey(name).c_str());
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
}

bool ValidTemplate(const DialogTemplate* t, DLGPROC proc, const char* call)
{
    if (!t || !proc) {
        PlatformTrace("dialogs: %s without a %s", call, t ? "procedure" : "template");
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    if (t->Width <= 0 || t->Height <= 0 || t->Width > 4096 || t->Height > 4096) {
        PlatformTrace("dialogs: \"%s\" has an unusable size %d x %d", t->Title.c_str(), t->Width, t->Height);
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    return true;
}

// Makes the window and its controls and runs WM_INITDIALOG. Null on failure; for a modal
// dialog the caller runs the loop.
HWND MakeDialog(HINSTANCE instance, const DialogTemplate* t, HWND parent, DLGPROC proc, LPARAM param, bool modal)
{
    RegisterWithCore();
    if (!RegisterClassOnce()) return nullptr;
    // Without this SDL may draw window surfaces through a GL context of its own, which would
    // take the current context away from the Direct3D stand-in on this thread.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    auto owned = std::make_unique<Dialog>();
    Dialog* d = owned.get();
    d->proc = proc;
    d->owner = parent;
    d->modal = modal;
    d->thread = std::this_thread::get_id();
    d->title = t->Title;
    d->w = t->Width;
    d->h = t->Height;
    for (const DialogItemTemplate& item : t->Items) {
        auto c = std::make_unique<Control>();
        c->hwnd = NewHandle();
        c->kind = item.Kind;
        c->id = item.Id;
        c->text = item.Text;
        c->caret = c->text.size();
        c->x = item.X;
        c->y = item.Y;
        c->w = item.Width;
        c->h = item.Height;
        c->enabled = !item.Disabled;
        c->visible = !item.Hidden;
        c->pushLike = (item.Style & BS_PUSHLIKE) != 0 && item.Kind == DialogControlKind::CheckBox;
        d->controls.push_back(std::move(c));
    }
    // Centred on the owner, else on the program's window, else on the screen.
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    RECT outer{0, 0, t->Width, t->Height};
    AdjustWindowRect(&outer, style, FALSE);
    int ow = outer.right - outer.left, oh = outer.bottom - outer.top;
    RECT around{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    HWND centreOn = parent && IsWindow(parent) ? parent : PlatformMainWindow();
    if (centreOn) GetWindowRect(centreOn, &around);
    int x = (around.left + around.right - ow) / 2, y = (around.top + around.bottom - oh) / 2;
    HWND hwnd = CreateWindowExA(0, ClassName, t->Title.c_str(), style, x, y, ow, oh, parent, nullptr, instance, nullptr);
    if (!hwnd) {
        PlatformTrace("dialogs: no window for \"%s\"", t->Title.c_str());
        return nullptr;
    }
    d->hwnd = hwnd;
    d->order = g_nextOrder++;
    {
        std::lock_guard<std::mutex> lock(g_handleMutex);
        for (auto& c : d->controls) g_controls[c->hwnd] = ControlEntry{hwnd, d->thread, d, c.get()};
        g_dialogOwners[hwnd] = d->thread;
    }
    g_dialogs[hwnd] = std::move(owned);
    RetargetPump();
    StartPump();

    MoveFocus(d, 1);
    Control* first = Focused(d);
    ++g_wndProcDepth;
    proc(hwnd, WM_INITDIALOG, first ? reinterpret_cast<WPARAM>(first->hwnd) : 0, param);
    --g_wndProcDepth;
    if (!IsWindow(hwnd) || !Alive(FindDialog(hwnd))) {
        Bury();
        return nullptr;
    }
    d->initialised = true;
    RepairFocus(d);
    if (!(modal && d->ended) && (modal || t->Visible)) ShowWindow(hwnd, SW_SHOW);
    InvalidateRect(hwnd, nullptr, FALSE);
    WakeActions();
    return hwnd;
}

}  // namespace

// --- Lookups shared with the other files of the layer ------------------------------------------
Dialog* dialogs_detail::FindDialog(HWND hwnd)
{
    auto it = g_dialogs.find(hwnd);
    return it == g_dialogs.end() ? nullptr : it->second.get();
}

Control* dialogs_detail::FindItem(Dialog* d, int id)
{
    if (!d) return nullptr;
    for (auto& c : d->controls)
        if (c->id == id) return c.get();
    return nullptr;
}

bool dialogs_detail::NobodyCanAnswer()
{
    return Headless() && !g_driver && !g_ticker && PlatformPendingScriptEvents() == 0 && g_actions.empty();
}

namespace dialogs_detail {

// Runs `f` on the thread of the dialog: at once on it, else through the dialog's queue
// (waiting until that thread's next message call has run it).
LRESULT OnDialogThread(HWND dialog, std::thread::id owner, const std::function<LRESULT()>& f)
{
    if (std::this_thread::get_id() == owner) return f();
    std::function<LRESULT()> copy = f;
    return SendMessageA(dialog, MsgCall, 0, reinterpret_cast<LPARAM>(&copy));
}

bool LookUpControl(HWND control, ControlEntry& entry)
{
    std::lock_guard<std::mutex> lock(g_handleMutex);
    auto it = g_controls.find(control);
    if (it == g_controls.end()) return false;
    entry = it->second;
    return true;
}

bool LookUpDialogOwner(HWND dialog, std::thread::id& owner)
{
    std::lock_guard<std::mutex> lock(g_handleMutex);
    auto it = g_dialogOwners.find(dialog);
    if (it == g_dialogOwners.end()) return false;
    owner = it->second;
    return true;
}

// On the control's thread: its record, or null when it went away meanwhile.
bool ControlHere(HWND control, Dialog*& d, Control*& c)
{
    ControlEntry entry;
    if (!LookUpControl(control, entry) || !Alive(entry.d)) return false;
    d = entry.d;
    c = entry.c;
    return true;
}

// Frees the records of destroyed dialogs once no call is running on them.
void Bury()
{
    if (g_wndProcDepth == 0) g_graveyard.clear();
}

void ForgetDialog(Dialog* d)
{
    {
        std::lock_guard<std::mutex> lock(g_handleMutex);
        for (auto& c : d->controls) g_controls.erase(c->hwnd);
        g_dialogOwners.erase(d->hwnd);
    }
    auto it = g_dialogs.find(d->hwnd);
    if (it != g_dialogs.end()) {
        g_graveyard.push_back(std::move(it->second));
        g_dialogs.erase(it);
    }
    RetargetPump();
    if (g_dialogs.empty()) {
        // Joined now rather than at exit; a new dialog starts it again.
        StopPump();
    }
}

}  // namespace dialogs_detail

// --- Public calls -----------------------------------------------------------------------------
INT_PTR DialogBoxIndirectParamA(HINSTANCE instance, const DialogTemplate* dialogTemplate, HWND parent, DLGPROC proc,
                                LPARAM param)
{
    if (!ValidTemplate(dialogTemplate, proc, "DialogBoxIndirectParamA")) return -1;
    // A copy: the procedure may register templates (this one too) while the dialog runs.
    DialogTemplate copy = *dialogTemplate;
    HWND hwnd = MakeDialog(instance, &copy, parent, proc, param, true);
    if (!hwnd) return -1;
    return RunModal(hwnd);
}

void RegisterDialogTemplate(LPCSTR name, const DialogTemplate& dialogTemplate)
{
    g_templates[TemplateKey(name)] = dialogTemplate;
}

INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND parent, DLGPROC proc, LPARAM param)
{
    const DialogTemplate* t = RegisteredTemplate(templateName);
    return t ? DialogBoxIndirectParamA(instance, t, parent, proc, param) : -1;
}

HWND CreateDialogIndirectParamA(HINSTANCE instance, const DialogTemplate* dialogTemplate, HWND parent, DLGPROC proc,
                                LPARAM param)
{
    if (!ValidTemplate(dialogTemplate, proc, "CreateDialogIndirectParamA")) return nullptr;
    DialogTemplate copy = *dialogTemplate;
    return MakeDialog(instance, &copy, parent, proc, param, false);
}

HWND CreateDialogParamA(HINSTANCE instance, LPCSTR templateName, HWND parent, DLGPROC proc, LPARAM param)
{
    const DialogTemplate* t = RegisteredTemplate(templateName);
    return t ? CreateDialogIndirectParamA(instance, t, parent, proc, param) : nullptr;
}

BOOL EndDialog(HWND dialog, INT_PTR result)
{
    std::thread::id owner;
    if (!LookUpDialogOwner(dialog, owner)) {
        PlatformTrace("dialogs: EndDialog on an unknown dialog");
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (std::this_thread::get_id() != owner) {
        // Another thread (a network callback) must not touch the dialog nor wait for its thread:
        // the end is carried out by the dialog's own loop.
        return PostMessageA(dialog, MsgEndDialog, static_cast<WPARAM>(result), 0);
    }
    Dialog* d = FindDialog(dialog);
    if (!Alive(d)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    d->ended = true;
    d->result = result;
    if (!d->modal) ShowWindow(dialog, SW_HIDE);
    return TRUE;
}

HWND GetDlgItem(HWND dialog, int id)
{
    std::thread::id owner;
    if (!LookUpDialogOwner(dialog, owner)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    return reinterpret_cast<HWND>(OnDialogThread(dialog, owner, [dialog, id]() -> LRESULT {
        Control* c = FindItem(FindDialog(dialog), id);
        if (!c) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return reinterpret_cast<LRESULT>(c ? c->hwnd : nullptr);
    }));
}

int GetDlgCtrlID(HWND control)
{
    ControlEntry e;
    if (!LookUpControl(control, e)) return 0;
    return e.c->id;  // ids never change
}

LRESULT DialogSendMessage(HWND control, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (!OnControl(control, result, [=](Dialog* d, Control* c) {
            LRESULT r = ControlMessage(d, c, message, wParam, lParam);
            if (Alive(d)) InvalidateRect(d->hwnd, nullptr, FALSE);
            return r;
        })) {
        PlatformTrace("dialogs: message 0x%04X to an unknown control", message);
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    }
    return result;
}

LRESULT SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam)
{
    HWND control = GetDlgItem(dialog, id);
    if (!control) {
        PlatformTrace("dialogs: no control %d for message 0x%04X", id, message);
        return 0;
    }
    return DialogSendMessage(control, message, wParam, lParam);
}

BOOL EnableWindow(HWND window, BOOL enable)
{
    LRESULT wasDisabled = FALSE;
    if (OnControl(window, wasDisabled, [enable](Dialog* d, Control* c) -> LRESULT {
            const BOOL was = !c->enabled;
            c->enabled = enable != FALSE;
            if (!c->enabled) {
                c->dropped = false;
                c->held = false;
                if (d->pressed == c) d->pressed = nullptr;
                RepairFocus(d);
            }
            d->dirty = true;
            InvalidateRect(d->hwnd, nullptr, FALSE);
            return was;
        }))
        return static_cast<BOOL>(wasDisabled);
    std::thread::id owner;
    if (LookUpDialogOwner(window, owner)) {
        return static_cast<BOOL>(OnDialogThread(window, owner, [=]() -> LRESULT {
            Dialog* d = FindDialog(window);
            if (!Alive(d)) return FALSE;
            BOOL wasDisabled = !d->enabled;
            d->enabled = enable != FALSE;
            if (!d->enabled && d->pressed) {
                d->pressed->held = false;
                d->pressed = nullptr;
            }
            return wasDisabled;
        }));
    }
    PlatformTrace("dialogs: EnableWindow on a window that is no dialog nor control");
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
}

BOOL IsWindowEnabled(HWND window)
{
    LRESULT enabled = FALSE;
    if (OnControl(window, enabled, [](Dialog*, Control* c) { return c->enabled; })) return static_cast<BOOL>(enabled);
    std::thread::id owner;
    if (LookUpDialogOwner(window, owner)) {
        return static_cast<BOOL>(OnDialogThread(window, owner, [=]() -> LRESULT {
            Dialog* d = FindDialog(window);
            return Alive(d) && d->enabled;
        }));
    }
    return IsWindow(window);
}

BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text)
{
    HWND control = GetDlgItem(dialog, id);
    if (!control) return FALSE;
    return DialogSendMessage(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) ? TRUE : FALSE;
}

UINT GetDlgItemTextA(HWND dialog, int id, LPSTR text, int size)
{
    if (!text || size <= 0) return 0;
    text[0] = 0;
    LRESULT copied = 0;
    OnControl(GetDlgItem(dialog, id), copied, [=](Dialog*, Control* c) -> LRESULT {
        // A drop-down list reads as its chosen entry.
        const std::string& s =
            c->kind == DialogControlKind::ComboBox && c->cursel >= 0 ? c->items[c->cursel] : c->text;
        size_t n = std::min(s.size(), static_cast<size_t>(size) - 1);
        std::memcpy(text, s.data(), n);
        text[n] = 0;
        return static_cast<LRESULT>(n);
    });
    return static_cast<UINT>(copied);
}

BOOL CheckRadioButton(HWND dialog, int firstId, int lastId, int checkId)
{
    std::thread::id owner;
    if (!LookUpDialogOwner(dialog, owner)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return static_cast<BOOL>(OnDialogThread(dialog, owner, [=]() -> LRESULT {
        Dialog* d = FindDialog(dialog);
        if (!Alive(d)) return FALSE;
        for (auto& c : d->controls)
            if (c->id >= firstId && c->id <= lastId && IsButton(c.get()))
                c->check = c->id == checkId ? BST_CHECKED : BST_UNCHECKED;
        d->dirty = true;
        InvalidateRect(dialog, nullptr, FALSE);
        return TRUE;
    }));
}

BOOL CheckDlgButton(HWND dialog, int id, UINT check)
{
    HWND control = GetDlgItem(dialog, id);
    ControlEntry e;
    if (!control || !LookUpControl(control, e) || !IsButton(e.c)) return FALSE;
    DialogSendMessage(control, BM_SETCHECK, check, 0);
    return TRUE;
}

UINT IsDlgButtonChecked(HWND dialog, int id)
{
    HWND control = GetDlgItem(dialog, id);
    ControlEntry e;
    if (!control || !LookUpControl(control, e) || !IsButton(e.c)) return 0;
    return static_cast<UINT>(DialogSendMessage(control, BM_GETCHECK, 0, 0));
}

UINT GetDoubleClickTime() { return 500; }
