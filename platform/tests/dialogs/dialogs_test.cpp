#include "platform/dialogs/dialogs_testing.h"
#include "platform/win32/platform_internal.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>

namespace {

constexpr int kLabel = 10, kCombo = 20, kList = 21, kCheck = 30, kRadioA = 31, kRadioB = 32, kRadioC = 33,
              kEdit = 40, kOther = 50;

struct Command {
    int id;
    int code;
    LPARAM lParam;
};

struct Recorder {
    std::vector<Command> commands;
    LPARAM initParam = 0;
    WPARAM initFocus = 0;
    std::function<void(HWND)> onInit;
    std::function<void(HWND, int id, int code)> onCommand;
};
Recorder* g_rec = nullptr;

INT_PTR CALLBACK RecordingProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_INITDIALOG) {
        g_rec->initParam = lParam;
        g_rec->initFocus = wParam;
        SendDlgItemMessageA(dialog, kCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("alpha"));
        SendDlgItemMessageA(dialog, kCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("beta"));
        SendDlgItemMessageA(dialog, kCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("gamma"));
        SendDlgItemMessageA(dialog, kCombo, CB_SETCURSEL, 0, 0);
        if (g_rec->onInit) g_rec->onInit(dialog);
        return TRUE;
    }
    if (msg == WM_COMMAND) {
        int id = LOWORD(wParam), code = HIWORD(wParam);
        g_rec->commands.push_back({id, code, lParam});
        if (g_rec->onCommand) g_rec->onCommand(dialog, id, code);
        if (id == IDOK) EndDialog(dialog, 100 + (int)SendDlgItemMessageA(dialog, kCombo, CB_GETCURSEL, 0, 0));
        if (id == IDCANCEL) EndDialog(dialog, IDCANCEL);
        return TRUE;
    }
    return FALSE;
}

DialogTemplate TestTemplate()
{
    using K = DialogControlKind;
    DialogTemplate t{"Test", 400, 300, {}};
    t.Items = {
        {K::Static, kLabel, "&Pick:", 10, 10, 80, 24},
        {K::ComboBox, kCombo, "", 100, 10, 200, 24},
        {K::ListBox, kList, "", 100, 40, 200, 64},
        {K::CheckBox, kCheck, "&Check", 10, 110, 150, 22},
        {K::RadioButton, kRadioA, "A", 10, 140, 60, 22},
        {K::RadioButton, kRadioB, "B", 80, 140, 60, 22},
        {K::RadioButton, kRadioC, "C", 150, 140, 60, 22, true},
        {K::Edit, kEdit, "", 10, 170, 200, 24},
        {K::Button, kOther, "Other", 10, 250, 80, 30, true},
        {K::DefButton, IDOK, "OK", 200, 250, 80, 30},
        {K::Button, IDCANCEL, "Cancel", 300, 250, 80, 30},
    };
    return t;
}

class DialogTest : public ::testing::Test {
protected:
    Recorder rec;
    DialogTemplate tpl = TestTemplate();
    void SetUp() override { g_rec = &rec; }
    void TearDown() override
    {
        DialogSetTestDriver(nullptr);
        g_rec = nullptr;
    }
    INT_PTR Run(std::function<void(HWND)> driver, LPARAM param = 0)
    {
        DialogSetTestDriver(std::move(driver));
        return DialogBoxIndirectParamA(nullptr, &tpl, nullptr, RecordingProc, param);
    }
};

TEST_F(DialogTest, SelectionNotifiesTheProcedureAndOkEndsWithItsValue)
{
    HWND seen = nullptr;
    HWND comboHandle = nullptr;
    INT_PTR result = Run(
        [&](HWND d) {
            seen = d;
            comboHandle = GetDlgItem(d, kCombo);
            EXPECT_EQ(GetDlgCtrlID(comboHandle), kCombo);
            EXPECT_TRUE(DialogTestSelect(d, kCombo, 2));
            EXPECT_FALSE(DialogTestSelect(d, kCombo, 3));
            EXPECT_FALSE(DialogTestSelect(d, 999, 0));
            EXPECT_TRUE(DialogTestClick(d, IDOK));
        },
        1234);
    EXPECT_EQ(result, 102);
    EXPECT_EQ(rec.initParam, 1234);
    ASSERT_EQ(rec.commands.size(), 2u);
    EXPECT_EQ(rec.commands[0].id, kCombo);
    EXPECT_EQ(rec.commands[0].code, CBN_SELCHANGE);
    EXPECT_EQ(rec.commands[0].lParam, reinterpret_cast<LPARAM>(comboHandle));
    EXPECT_EQ(rec.commands[1].id, IDOK);
    EXPECT_EQ(rec.commands[1].code, BN_CLICKED);
    // The dialog and its controls are gone once it has returned.
    EXPECT_EQ(GetDlgItem(seen, kCombo), nullptr);
    EXPECT_FALSE(EndDialog(seen, 1));
}

TEST_F(DialogTest, ListMessagesKeepEntriesDataAndSelectionConsistent)
{
    Run([&](HWND d) {
        EXPECT_EQ(SendDlgItemMessageA(d, kList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("one")), 0);
        EXPECT_EQ(SendDlgItemMessageA(d, kList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("two")), 1);
        EXPECT_EQ(SendDlgItemMessageA(d, kCombo, CB_GETCOUNT, 0, 0), 3);
        EXPECT_EQ(SendDlgItemMessageA(d, kCombo, CB_SETITEMDATA, 1, 77), 0);
        EXPECT_EQ(SendDlgItemMessageA(d, kCombo, CB_GETITEMDATA, 1, 0), 77);
        EXPECT_EQ(SendDlgItemMessageA(d, kCombo, CB_GETITEMDATA, 0, 0), 0);
        EXPECT_EQ(SendDlgItemMessageA(d, kCombo, CB_GETITEMDATA, 3, 0), CB_ERR);
        EXPECT_EQ(SendDlgItemMessageA(d, kCombo, CB_SETITEMDATA, (WPARAM)-1, 5), CB_ERR);

        char text[16] = "";
        EXPECT_EQ(SendDlgItemMessageA(d, kCombo, CB_GETLBTEXTLEN, 2, 0), 5);
        EXPECT_EQ(SendDlgItemMessageA(d, kCombo, CB_GETLBTEXT, 2, reinterpret_cast<LPARAM>(text)), 5);
        EXPECT_STREQ(text, "gamma");

        // Deleting before the selection keeps the same entry selected; deleting it clears it.
        SendDlgItemMessageA(d, kCombo, CB_SETCURSEL, 2, 0);
        EXPECT_EQ(SendDlgItemMessageA(d, kCombo, CB_DELETESTRING, 0, 0), 2);
        EXPECT_EQ(SendDlgItemMessageA(d, kCombo, CB_GETCURSEL, 0, 0), 1);
        EXPECT_EQ(SendDlgItemMessageA(d, kCombo, CB_GETITEMDATA, 0, 0), 77);
        SendDlgItemMessageA(d, kCombo, CB_DELETESTRING, 1, 0);
        EXPECT_EQ(SendDlgItemMessageA(d, kCombo, CB_GETCURSEL, 0, 0), CB_ERR);

        // An out-of-range selection is refused and leaves nothing selected.
        SendDlgItemMessageA(d, kCombo, CB_SETCURSEL, 0, 0);
        EXPECT_EQ(SendDlgItemMessageA(d, kCombo, CB_SETCURSEL, 9, 0), CB_ERR);
        EXPECT_EQ(SendDlgItemMessageA(d, kCombo, CB_GETCURSEL, 0, 0), CB_ERR);

        SendDlgItemMessageA(d, kCombo, CB_RESETCONTENT, 0, 0);
        EXPECT_EQ(SendDlgItemMessageA(d, kCombo, CB_GETCOUNT, 0, 0), 0);
        EXPECT_TRUE(DialogTestEntries(d, kCombo).empty());
        EXPECT_EQ((DialogTestEntries(d, kList)), (std::vector<std::string>{"one", "two"}));

        // List messages mean nothing to a check box, nor button messages to a list.
        EXPECT_EQ(SendDlgItemMessageA(d, kCheck, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("x")), 0);
        EXPECT_EQ(SendDlgItemMessageA(d, kList, BM_SETCHECK, BST_CHECKED, 0), CB_ERR);
        EXPECT_EQ(SendDlgItemMessageA(d, 999, CB_GETCOUNT, 0, 0), 0);
    });
    EXPECT_TRUE(rec.commands.empty());
}

TEST_F(DialogTest, DisabledControlsTakeNoInputAndGiveUpTheFocus)
{
    Run([&](HWND d) {
        EXPECT_FALSE(DialogTestClick(d, kRadioC));
        EXPECT_FALSE(DialogTestClick(d, kOther));
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(d, kOther)));

        ASSERT_TRUE(DialogTestSelect(d, kCombo, 1));
        EXPECT_EQ(DialogTestFocus(d), kCombo);
        EXPECT_FALSE(EnableWindow(GetDlgItem(d, kCombo), FALSE));
        EXPECT_NE(DialogTestFocus(d), kCombo);
        EXPECT_FALSE(DialogTestSelect(d, kCombo, 0));
        EXPECT_TRUE(EnableWindow(GetDlgItem(d, kCombo), TRUE));  // it was disabled
        EXPECT_TRUE(DialogTestSelect(d, kCombo, 0));

        // Enter and Escape still work while the OK button is disabled: Escape cancels.
        EnableWindow(GetDlgItem(d, IDOK), FALSE);
        DialogTestKey(d, DialogKey::Enter);
        EXPECT_EQ(rec.commands.back().id, kCombo);
        DialogTestKey(d, DialogKey::Escape);
    });
    ASSERT_FALSE(rec.commands.empty());
    EXPECT_EQ(rec.commands.back().id, IDCANCEL);
    EXPECT_FALSE(EnableWindow(nullptr, TRUE));
}

TEST_F(DialogTest, KeyboardMovesFocusSelectsAndPressesAsUsersExpect)
{
    INT_PTR result = Run([&](HWND d) {
        // The first control that takes the focus has it; labels and disabled controls are skipped.
        EXPECT_EQ(DialogTestFocus(d), kCombo);
        DialogTestKey(d, DialogKey::Tab);
        EXPECT_EQ(DialogTestFocus(d), kList);
        DialogTestKey(d, DialogKey::ShiftTab);
        DialogTestKey(d, DialogKey::ShiftTab);
        EXPECT_EQ(DialogTestFocus(d), IDCANCEL);  // wrapped round
        DialogTestKey(d, DialogKey::Tab);
        EXPECT_EQ(DialogTestFocus(d), kCombo);

        DialogTestKey(d, DialogKey::Down);
        DialogTestKey(d, DialogKey::Down);
        DialogTestKey(d, DialogKey::Down);  // already on the last entry: nothing
        EXPECT_EQ(SendDlgItemMessageA(d, kCombo, CB_GETCURSEL, 0, 0), 2);
        DialogTestKey(d, DialogKey::Up);
        EXPECT_EQ(SendDlgItemMessageA(d, kCombo, CB_GETCURSEL, 0, 0), 1);

        DialogTestKey(d, DialogKey::Tab);
        DialogTestKey(d, DialogKey::Tab);
        EXPECT_EQ(DialogTestFocus(d), kCheck);
        DialogTestKey(d, DialogKey::Space);
        EXPECT_EQ(IsDlgButtonChecked(d, kCheck), (UINT)BST_CHECKED);
        DialogTestKey(d, DialogKey::Space);
        EXPECT_EQ(IsDlgButtonChecked(d, kCheck), (UINT)BST_UNCHECKED);

        // Arrows move the check within a radio group, never onto a disabled button.
        DialogTestKey(d, DialogKey::Tab);
        EXPECT_EQ(DialogTestFocus(d), kRadioA);
        DialogTestKey(d, DialogKey::Space);
        DialogTestKey(d, DialogKey::Right);
        EXPECT_EQ(IsDlgButtonChecked(d, kRadioA), 0u);
        EXPECT_EQ(IsDlgButtonChecked(d, kRadioB), (UINT)BST_CHECKED);
        DialogTestKey(d, DialogKey::Right);
        EXPECT_EQ(IsDlgButtonChecked(d, kRadioB), (UINT)BST_CHECKED);
        EXPECT_EQ(IsDlgButtonChecked(d, kRadioC), 0u);

        // Enter away from any button presses the default button.
        DialogTestKey(d, DialogKey::Tab);
        EXPECT_EQ(DialogTestFocus(d), kEdit);
        DialogTestKey(d, DialogKey::Enter);
    });
    EXPECT_EQ(result, 101);
    std::vector<int> changes;
    for (const Command& c : rec.commands)
        if (c.id == kCombo) changes.push_back(c.code);
    EXPECT_EQ(changes.size(), 3u);  // two steps down and one up; the refused step notifies nothing
}

TEST_F(DialogTest, RadioAndTextHelpers)
{
    Run([&](HWND d) {
        EXPECT_TRUE(CheckRadioButton(d, kRadioA, kRadioC, kRadioC));
        EXPECT_EQ(IsDlgButtonChecked(d, kRadioC), (UINT)BST_CHECKED);
        EXPECT_TRUE(DialogTestClick(d, kRadioA));
        EXPECT_EQ(IsDlgButtonChecked(d, kRadioC), 0u);
        EXPECT_EQ(IsDlgButtonChecked(d, kRadioA), (UINT)BST_CHECKED);

        EXPECT_TRUE(SetDlgItemTextA(d, kEdit, "player one"));
        char small[7];
        std::memset(small, 'x', sizeof(small));
        EXPECT_EQ(GetDlgItemTextA(d, kEdit, small, sizeof(small)), 6u);
        EXPECT_STREQ(small, "player");
        char buffer[32];
        EXPECT_EQ(GetDlgItemTextA(d, kCombo, buffer, sizeof(buffer)), 5u);
        EXPECT_STREQ(buffer, "alpha");
        EXPECT_EQ(GetDlgItemTextA(d, 999, buffer, sizeof(buffer)), 0u);
        EXPECT_STREQ(buffer, "");
        EXPECT_FALSE(SetDlgItemTextA(d, 999, "x"));
    });
}

TEST_F(DialogTest, BackspaceAndDeleteEraseBesideTheCaretOrAllTheSelectedText)
{
    Run([&](HWND d) {
        auto text = [&] {
            char b[32];
            GetDlgItemTextA(d, kEdit, b, sizeof b);
            return std::string(b);
        };
        auto key = [&](int vk) { SendMessageA(d, WM_KEYDOWN, static_cast<WPARAM>(vk), 1); };
        auto backspace = [&] { SendMessageA(d, WM_CHAR, 8, 0); };
        auto changes = [&] {
            return std::count_if(rec.commands.begin(), rec.commands.end(),
                                 [](const Command& c) { return c.id == kEdit && c.code == EN_CHANGE; });
        };
        ASSERT_TRUE(DialogTestType(d, kEdit, "abcd"));
        backspace();
        EXPECT_EQ(text(), "abc");
        key(VK_HOME);
        key(VK_DELETE);
        EXPECT_EQ(text(), "bc");
        const auto before = changes();
        backspace();  // nothing before the caret
        key(VK_END);
        key(VK_DELETE);  // nothing after it
        EXPECT_EQ(text(), "bc");
        EXPECT_EQ(changes(), before) << "nothing erased, nothing told";
        key(VK_LEFT);
        backspace();
        EXPECT_EQ(text(), "c");
        // Coming back to the edit by the keyboard selects all its text: either key takes it all.
        DialogTestKey(d, DialogKey::Tab);
        DialogTestKey(d, DialogKey::ShiftTab);
        key(VK_DELETE);
        EXPECT_EQ(text(), "");
        ASSERT_TRUE(DialogTestType(d, kEdit, "xy"));
        DialogTestKey(d, DialogKey::Tab);
        DialogTestKey(d, DialogKey::ShiftTab);
        backspace();
        EXPECT_EQ(text(), "");
        EXPECT_EQ(changes(), before + 4);
    });
}

TEST_F(DialogTest, ADriverThatLeavesTheDialogOpenGetsCancel)
{
    EXPECT_EQ(Run([](HWND) {}), IDCANCEL);
    DialogSetTestDriver([](HWND) {});
    EXPECT_EQ(DialogBoxIndirectParamA(nullptr, nullptr, nullptr, RecordingProc, 0), -1);
    EXPECT_EQ(DialogBoxIndirectParamA(nullptr, &tpl, nullptr, nullptr, 0), -1);
    DialogTemplate huge = tpl;
    huge.Width = 100000;
    EXPECT_EQ(DialogBoxIndirectParamA(nullptr, &huge, nullptr, RecordingProc, 0), -1);
}

TEST_F(DialogTest, TemplatesAreFoundByResourceIdOrName)
{
    RegisterDialogTemplate(MAKEINTRESOURCEA(321), tpl);
    RegisterDialogTemplate("NAMED", tpl);
    DialogSetTestDriver([](HWND d) { DialogTestClick(d, IDOK); });
    EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(321), nullptr, RecordingProc, 0), 100);
    EXPECT_EQ(DialogBoxParamA(nullptr, "NAMED", nullptr, RecordingProc, 0), 100);
    EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(322), nullptr, RecordingProc, 0), -1);
}

TEST_F(DialogTest, EndingInsideInitReturnsWithoutWaiting)
{
    rec.onInit = [](HWND d) { EndDialog(d, 55); };
    bool driven = false;
    EXPECT_EQ(Run([&](HWND) { driven = true; }), 55);
    EXPECT_FALSE(driven);
}

// Counts the dark (text and mark) pixels inside a rectangle.
int InkIn(const std::vector<uint8_t>& rgb, int width, int x0, int y0, int x1, int y1)
{
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            const uint8_t* p = &rgb[((size_t)y * width + x) * 3];
            if (p[0] + p[1] + p[2] < 150) ++n;
        }
    return n;
}

TEST_F(DialogTest, PictureShowsLabelsChecksAndTheChosenEntry)
{
    Run([&](HWND d) {
        int w = 0, h = 0;
        std::vector<uint8_t> rgb;
        ASSERT_TRUE(DialogTestRender(d, w, h, rgb));
        ASSERT_EQ(w, 400);
        ASSERT_EQ(h, 300);
        ASSERT_EQ(rgb.size(), (size_t)w * h * 3);
        EXPECT_GT(InkIn(rgb, w, 10, 10, 90, 34), 40);   // "Pick:" is written
        EXPECT_EQ(InkIn(rgb, w, 10, 200, 90, 240), 0);  // empty face stays empty
        int before = InkIn(rgb, w, 13, 147, 21, 155);   // inside radio A's box
        DialogTestClick(d, kRadioA);
        ASSERT_TRUE(DialogTestRender(d, w, h, rgb));
        EXPECT_GT(InkIn(rgb, w, 13, 147, 21, 155), before);

        // White (the entry box) with dark text where the chosen entry sits; a different entry
        // draws differently.
        std::vector<uint8_t> first = rgb;
        SendDlgItemMessageA(d, kCombo, CB_SETCURSEL, 2, 0);
        ASSERT_TRUE(DialogTestRender(d, w, h, rgb));
        EXPECT_NE(first, rgb);
    });
}

// Entries too wide for the box (or for a list's rows) are the ones reported cut; a combo box's
// dropped list is as wide as the box, so what fits the box beside the drop button fits there too.
TEST_F(DialogTest, EntriesWiderThanTheirControlAreReportedCut)
{
    const std::string wide = "An entry far too long for a box two hundred pixels wide";
    Run([&](HWND d) {
        EXPECT_TRUE(DialogTestCutEntries(d, kCombo).empty());
        SendDlgItemMessageA(d, kCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str()));
        SendDlgItemMessageA(d, kList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("one"));
        SendDlgItemMessageA(d, kList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str()));
        EXPECT_EQ(DialogTestCutEntries(d, kCombo), std::vector<std::string>{wide});
        EXPECT_EQ(DialogTestCutEntries(d, kList), std::vector<std::string>{wide});
        EXPECT_TRUE(DialogTestCutEntries(d, 999).empty());
        DialogTestClick(d, IDCANCEL);
    });
}

// The real window: events reach the dialog through SDL while the program's messages keep flowing.
TEST_F(DialogTest, WindowTakesKeysFromItsOwnSdlWindow)
{
    ASSERT_TRUE(PlatformInit());
    // SDL numbers windows in creation order: the dialog's window comes next after the probe.
    SDL_Window* probe = SDL_CreateWindow("probe", 0, 0, 16, 16, SDL_WINDOW_HIDDEN);
    ASSERT_NE(probe, nullptr);
    Uint32 dialogWindow = SDL_GetWindowID(probe) + 1;
    SDL_DestroyWindow(probe);

    rec.onInit = [dialogWindow](HWND) {
        for (SDL_Keycode key : {SDLK_DOWN, SDLK_DOWN, SDLK_RETURN}) {
            SDL_Event e{};
            e.type = SDL_KEYDOWN;
            e.key.windowID = dialogWindow;
            e.key.state = SDL_PRESSED;
            e.key.keysym.sym = key;
            e.key.keysym.scancode = SDL_GetScancodeFromKey(key);
            SDL_PushEvent(&e);
        }
    };
    DialogSetTestDriver(nullptr);
    INT_PTR result = DialogBoxIndirectParamA(nullptr, &tpl, nullptr, RecordingProc, 0);
    EXPECT_EQ(result, 102);
}

TEST_F(DialogTest, MouseOpensTheDropDownPicksAnEntryAndPressesOk)
{
    ASSERT_TRUE(PlatformInit());
    SDL_Window* probe = SDL_CreateWindow("probe", 0, 0, 16, 16, SDL_WINDOW_HIDDEN);
    ASSERT_NE(probe, nullptr);
    Uint32 dialogWindow = SDL_GetWindowID(probe) + 1;
    SDL_DestroyWindow(probe);

    rec.onInit = [dialogWindow](HWND) {
        auto click = [dialogWindow](int x, int y) {
            for (Uint32 type : {SDL_MOUSEBUTTONDOWN, SDL_MOUSEBUTTONUP}) {
                SDL_Event e{};
                e.type = type;
                e.button.windowID = dialogWindow;
                e.button.button = SDL_BUTTON_LEFT;
                e.button.x = x;
                e.button.y = y;
                SDL_PushEvent(&e);
            }
        };
        click(150, 20);   // opens the drop-down over the list box below it
        click(150, 81);   // its third row
        click(240, 262);  // pressed on OK but released outside: nothing
        SDL_Event e{};
        e.type = SDL_MOUSEBUTTONDOWN;
        e.button.windowID = dialogWindow;
        e.button.button = SDL_BUTTON_LEFT;
        e.button.x = 310;
        e.button.y = 262;
        SDL_PushEvent(&e);
        e.type = SDL_MOUSEBUTTONUP;
        e.button.x = 10;
        e.button.y = 290;
        SDL_PushEvent(&e);
        click(240, 265);  // OK
    };
    DialogSetTestDriver(nullptr);
    EXPECT_EQ(DialogBoxIndirectParamA(nullptr, &tpl, nullptr, RecordingProc, 0), 102);
    std::vector<int> ids;
    for (const Command& c : rec.commands) ids.push_back(c.id);
    EXPECT_EQ(ids, (std::vector<int>{kCombo, IDOK}));
}

TEST_F(DialogTest, WithoutADisplayAnUnansweredDialogEndsAsCancel)
{
    ASSERT_TRUE(PlatformInit());
    DialogSetTestDriver(nullptr);
    EXPECT_EQ(DialogBoxIndirectParamA(nullptr, &tpl, nullptr, RecordingProc, 0), IDCANCEL);
    EXPECT_TRUE(rec.commands.empty());
}

TEST_F(DialogTest, QuitWhileOpenCancelsAndIsHandedBack)
{
    ASSERT_TRUE(PlatformInit());
    rec.onInit = [](HWND) { PostQuitMessage(7); };
    DialogSetTestDriver(nullptr);
    EXPECT_EQ(DialogBoxIndirectParamA(nullptr, &tpl, nullptr, RecordingProc, 0), IDCANCEL);
    MSG msg{};
    bool quit = false;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        if (msg.message == WM_QUIT) {
            quit = true;
            EXPECT_EQ(msg.wParam, 7u);
        }
    EXPECT_TRUE(quit);
}

}  // namespace
