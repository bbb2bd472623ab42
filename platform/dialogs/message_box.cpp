// Message boxes as dialogs of this layer, so that they look like the others and can be worked
// by control id (IDOK, IDCANCEL, IDYES, IDNO, ...) from tests and scripts.
#include "platform/dialogs/dialogs_internal.h"
#include "platform/win32/platform_internal.h"

#include <algorithm>

namespace dialogs_detail {

namespace {

struct BoxButton {
    int id;
    const char* label;
};

std::vector<BoxButton> ButtonsOf(UINT type)
{
    switch (type & 0xF) {
    case MB_OKCANCEL: return {{IDOK, "OK"}, {IDCANCEL, "Cancel"}};
    case MB_ABORTRETRYIGNORE: return {{IDABORT, "&Abort"}, {IDRETRY, "&Retry"}, {IDIGNORE, "&Ignore"}};
    case MB_YESNOCANCEL: return {{IDYES, "&Yes"}, {IDNO, "&No"}, {IDCANCEL, "Cancel"}};
    case MB_YESNO: return {{IDYES, "&Yes"}, {IDNO, "&No"}};
    case MB_RETRYCANCEL: return {{IDRETRY, "&Retry"}, {IDCANCEL, "Cancel"}};
    default: return {{IDOK, "OK"}};
    }
}

struct BoxState {
    std::vector<BoxButton> buttons;
    int defaultId;
};

INT_PTR CALLBACK BoxProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam)
{
    static thread_local std::vector<BoxState*> open;
    if (msg == WM_INITDIALOG) {
        auto* state = reinterpret_cast<BoxState*>(lParam);
        open.push_back(state);
        SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, state->defaultId)), TRUE);
        return FALSE;
    }
    if (msg == WM_DESTROY) {
        if (!open.empty()) open.pop_back();
        return FALSE;
    }
    if (msg != WM_COMMAND || open.empty()) return FALSE;
    BoxState* state = open.back();
    int id = LOWORD(wParam);
    for (const BoxButton& b : state->buttons)
        if (b.id == id) {
            EndDialog(dialog, id);
            return TRUE;
        }
    // Escape and the close box: Cancel where the box has it, OK where OK is all there is;
    // a Yes/No question must be answered.
    if (id == IDCANCEL && state->buttons.size() == 1) {
        EndDialog(dialog, state->buttons[0].id);
        return TRUE;
    }
    return TRUE;
}

}  // namespace

bool ShowMessageBox(HWND owner, const char* text, const char* caption, UINT type, int& answer)
{
    if (NobodyCanAnswer()) return false;  // the core writes it out and answers as documented
    BoxState state;
    state.buttons = ButtonsOf(type);
    size_t defaultIndex = (type & MB_DEFBUTTON2) && state.buttons.size() > 1 ? 1 : 0;
    state.defaultId = state.buttons[defaultIndex].id;

    const int margin = 14, buttonW = 80, buttonH = 24, gap = 8;
    const int lh = dialog_text::LineHeight();
    std::vector<std::string> lines = dialog_text::WrapText(text ? text : "", 420);
    int textW = 0;
    for (const std::string& l : lines) textW = std::max(textW, dialog_text::TextWidth(l, false));
    int buttonsW = static_cast<int>(state.buttons.size()) * (buttonW + gap) - gap;
    int width = std::max({textW + 2 * margin, buttonsW + 2 * margin, 220});
    int textH = std::max(1, static_cast<int>(lines.size())) * lh;
    int height = margin + textH + margin + buttonH + margin;

    DialogTemplate t{caption ? caption : "", width, height, {}};
    // One static per line, a literal '&' doubled so that it is not taken as a mnemonic mark.
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string escaped;
        for (char ch : lines[i]) {
            escaped += ch;
            if (ch == '&') escaped += '&';
        }
        t.Items.push_back({DialogControlKind::Static, -1, escaped, margin, margin + static_cast<int>(i) * lh, textW + 4, lh});
    }
    int x = (width - buttonsW) / 2;
    for (size_t i = 0; i < state.buttons.size(); ++i) {
        t.Items.push_back({i == defaultIndex ? DialogControlKind::DefButton : DialogControlKind::Button,
                           state.buttons[i].id, state.buttons[i].label, x, height - margin - buttonH, buttonW, buttonH});
        x += buttonW + gap;
    }
    HWND parent = owner && IsWindow(owner) ? owner : nullptr;
    INT_PTR result = DialogBoxIndirectParamA(nullptr, &t, parent, BoxProc, reinterpret_cast<LPARAM>(&state));
    if (result <= 0) return false;  // no window: the core answers
    // Ended without an answer (nobody left to give one): the core's rule, the first button.
    bool isButton = false;
    for (const BoxButton& b : state.buttons) isButton = isButton || b.id == result;
    answer = isButton ? static_cast<int>(result) : state.buttons[0].id;
    return true;
}

}  // namespace dialogs_detail
