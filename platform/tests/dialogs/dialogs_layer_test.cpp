// Modeless dialogs beside a program window, timers, messages from other threads, list and edit
// controls, push-like check boxes, Enter and Escape, message boxes, the modal loop, FreeType
// text and the script's dialog lines.
#include "platform/dialogs/dialogs_testing.h"
#include "platform/dialogs/dialog_text.h"
#include "platform/dialogs/dialogs_internal.h"
#include "platform/win32/platform_internal.h"
#include "platform/win32/win32_testing.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <set>
#include <thread>

namespace {

constexpr int kList = 100, kEdit = 101, kPush = 102, kOther = 103, kCheck = 104, kStatus = 105;

struct Seen {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
};
std::vector<Seen> g_dialogSeen;
std::vector<Seen> g_gameSeen;
std::function<void(HWND, UINT, WPARAM, LPARAM)> g_onMessage;

INT_PTR CALLBACK RecordingDialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_INITDIALOG || msg == WM_COMMAND || msg == WM_TIMER || msg == WM_DESTROY || msg >= WM_APP) {
        g_dialogSeen.push_back({msg, wParam, lParam});
        if (g_onMessage) g_onMessage(dialog, msg, wParam, lParam);
        return TRUE;
    }
    return FALSE;
}

LRESULT CALLBACK GameWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    g_gameSeen.push_back({msg, wParam, lParam});
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

DialogTemplate LayerTemplate(bool visible = true)
{
    using K = DialogControlKind;
    DialogTemplate t{"Layer", 360, 260, {}};
    t.Visible = visible;
    t.Items = {
        {K::ListBox, kList, "", 10, 10, 200, 88},
        {K::Edit, kEdit, "", 10, 110, 200, 24},
        {K::CheckBox, kPush, "Start Search", 220, 10, 120, 26, false, BS_PUSHLIKE},
        {K::Button, kOther, "O&ther", 220, 44, 120, 26},
        {K::CheckBox, kCheck, "&Check", 220, 80, 120, 22},
        {K::Static, kStatus, "Status line", 10, 150, 330, 18},
        {K::DefButton, IDOK, "OK", 180, 220, 80, 26},
        {K::Button, IDCANCEL, "Cancel", 270, 220, 80, 26},
    };
    return t;
}

int CountSeen(const std::vector<Seen>& seen, UINT msg, WPARAM wParam)
{
    int n = 0;
    for (const Seen& s : seen)
        if (s.msg == msg && s.wParam == wParam) ++n;
    return n;
}

std::vector<int> Commands()
{
    std::vector<int> ids;
    for (const Seen& s : g_dialogSeen)
        if (s.msg == WM_COMMAND) ids.push_back(static_cast<int>(s.wParam));
    return ids;
}

class DialogLayerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(PlatformInit());
        g_dialogSeen.clear();
        g_gameSeen.clear();
        g_onMessage = nullptr;
        Drain();
    }
    void TearDown() override
    {
        DialogSetTestDriver(nullptr);
        DialogSetTestTicker(nullptr);
        g_onMessage = nullptr;
        for (HWND d : DialogTestOpenDialogs()) DestroyWindow(d);
        if (game && IsWindow(game)) DestroyWindow(game);
        PlatformClearScript();
        PlatformSetFixedStep(0);
        PlatformRecordMessageBoxes(false);
        Drain();
    }
    static void Drain()
    {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
    }
    HWND MakeGameWindow()
    {
        static bool registered = false;
        if (!registered) {
            WNDCLASSA wc{};
            wc.lpfnWndProc = GameWindowProc;
            wc.lpszClassName = "LayerTestGame";
            registered = RegisterClassA(&wc) != 0;
        }
        game = CreateWindowExA(0, "LayerTestGame", "Game", WS_OVERLAPPEDWINDOW, 0, 0, 640, 480, nullptr, nullptr,
                               nullptr, nullptr);
        ShowWindow(game, SW_SHOW);
        return game;
    }
    HWND MakeModeless(bool visible = true)
    {
        DialogTemplate t = LayerTemplate(visible);
        return CreateDialogIndirectParamA(nullptr, &t, nullptr, RecordingDialogProc, 77);
    }
    // Posts a left click (down and up) at dialog pixels.
    static void PostClick(HWND dialog, int x, int y)
    {
        PostMessageA(dialog, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
        PostMessageA(dialog, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    }
    static void PostChars(HWND dialog, const std::string& text)
    {
        for (char c : text) PostMessageA(dialog, WM_CHAR, static_cast<unsigned char>(c), 1);
    }
    HWND game = nullptr;
};

TEST_F(DialogLayerTest, ModelessDialogLivesBesideTheProgramWindow)
{
    MakeGameWindow();
    HWND dialog = MakeModeless(false);
    ASSERT_NE(dialog, nullptr);
    ASSERT_EQ(g_dialogSeen.size(), 1u);
    EXPECT_EQ(g_dialogSeen[0].msg, static_cast<UINT>(WM_INITDIALOG));
    EXPECT_EQ(g_dialogSeen[0].lParam, 77);
    EXPECT_TRUE(IsWindow(dialog));
    EXPECT_FALSE(IsWindowVisible(dialog)) << "a template without WS_VISIBLE stays hidden";
    ShowWindow(dialog, SW_SHOW);
    EXPECT_TRUE(IsWindowVisible(dialog));

    // Both windows get their posted messages through one loop.
    PostMessageA(game, WM_USER + 1, 29000, 0);
    PostMessageA(dialog, WM_APP, 5, 0);
    EXPECT_TRUE(DialogTestWaitFor(
        [&] { return CountSeen(g_gameSeen, WM_USER + 1, 29000) == 1 && CountSeen(g_dialogSeen, WM_APP, 5) == 1; },
        2000));

    // Controls are windows for the core's calls.
    HWND list = GetDlgItem(dialog, kList);
    HWND push = GetDlgItem(dialog, kPush);
    EXPECT_TRUE(IsWindow(list));
    EXPECT_TRUE(IsWindowVisible(list));
    EXPECT_EQ(SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("first")), 0);
    EXPECT_EQ(DialogTestEntries(dialog, kList), std::vector<std::string>{"first"});
    ShowWindow(push, SW_HIDE);
    EXPECT_FALSE(IsWindowVisible(push));
    EXPECT_FALSE(DialogTestClick(dialog, kPush)) << "a hidden control takes no click";
    ShowWindow(push, SW_SHOW);
    EnableWindow(push, FALSE);
    EXPECT_FALSE(IsWindowEnabled(push));
    EXPECT_FALSE(DialogTestClick(dialog, kPush));
    EnableWindow(push, TRUE);
    EXPECT_TRUE(DialogTestClick(dialog, kPush));
    SetWindowTextA(dialog, "Renamed - Multiplayer Games");
    EXPECT_EQ(DialogTestTitle(dialog), "Renamed - Multiplayer Games");
    SetWindowTextA(GetDlgItem(dialog, kStatus), "Status changed");
    EXPECT_EQ(DialogTestText(dialog, kStatus), "Status changed");

    EXPECT_TRUE(DestroyWindow(dialog));
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_FALSE(IsWindow(list)) << "the controls go with their dialog";
    EXPECT_EQ(GetDlgItem(dialog, kList), nullptr);
    EXPECT_EQ(g_dialogSeen.back().msg, static_cast<UINT>(WM_DESTROY));
    EXPECT_TRUE(IsWindow(game));
}

TEST_F(DialogLayerTest, TimersTickAfterPostedMessagesAndStopWhenKilledOrDestroyed)
{
    HWND dialog = MakeModeless();
    ASSERT_NE(dialog, nullptr);
    const auto set = std::chrono::steady_clock::now();
    EXPECT_EQ(SetTimer(dialog, 7, 20, nullptr), 7u);
    for (int i = 0; i < 3; ++i) PostMessageA(dialog, WM_APP + 1, i, 0);
    // Four ticks, however long a busy machine takes to deliver them.
    EXPECT_TRUE(DialogTestWaitFor([] { return CountSeen(g_dialogSeen, WM_TIMER, 7) >= 4; }, 60000));
    const int ticks = CountSeen(g_dialogSeen, WM_TIMER, 7);
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - set);
    // Never more than one a period of the time that passed, with the tick that may have come as
    // the wait looked: periods missed while nobody took messages are not caught up.
    EXPECT_LE(ticks, elapsed.count() / 20 + 1) << "missed periods are not caught up";
    // The posted messages came before the first tick, although the timer was already running.
    size_t firstTick = 0, lastPosted = 0;
    for (size_t i = 0; i < g_dialogSeen.size(); ++i) {
        if (g_dialogSeen[i].msg == WM_TIMER && !firstTick) firstTick = i;
        if (g_dialogSeen[i].msg == WM_APP + 1) lastPosted = i;
    }
    EXPECT_LT(lastPosted, firstTick);

    EXPECT_TRUE(KillTimer(dialog, 7));
    DialogTestPump(20);
    int after = CountSeen(g_dialogSeen, WM_TIMER, 7);
    DialogTestPump(120);
    EXPECT_EQ(CountSeen(g_dialogSeen, WM_TIMER, 7), after);
    EXPECT_FALSE(KillTimer(dialog, 7));

    auto noProc = [](HWND, UINT, UINT_PTR, DWORD) {};
    EXPECT_EQ(SetTimer(dialog, 8, 20, noProc), 0u) << "timer procedures are not provided";
    SetTimer(dialog, 9, 20, nullptr);
    DestroyWindow(dialog);
    EXPECT_FALSE(KillTimer(dialog, 9)) << "a destroyed window's timers are gone";
}

TEST_F(DialogLayerTest, ModalLoopPumpsTheProgramWindowAndTakesMessagesAndTheEndFromAnotherThread)
{
    MakeGameWindow();
    HWND other = MakeModeless();
    DialogSetTestTicker([] {});
    std::thread sender;
    g_onMessage = [&](HWND dialog, UINT msg, WPARAM, LPARAM) {
        if (msg != WM_INITDIALOG || dialog == other) return;
        // While the modal loop runs: the program's notifications and a quit meant for another
        // window's loop, the program's keys, and a worker thread's messages and end.
        PostMessageA(game, WM_USER + 1, 29001, 0);
        PostMessageA(game, WM_KEYDOWN, VK_SPACE, 1);
        PostMessageA(other, WM_QUIT, 3, 0);
        sender = std::thread([dialog] {
            for (int i = 0; i < 100; ++i) PostMessageA(dialog, WM_APP + 2, i, 0);
            EndDialog(dialog, 42);
        });
    };
    DialogTemplate t = LayerTemplate();
    INT_PTR result = DialogBoxIndirectParamA(nullptr, &t, game, RecordingDialogProc, 0);
    sender.join();
    EXPECT_EQ(result, 42);
    std::vector<WPARAM> order;
    for (const Seen& s : g_dialogSeen)
        if (s.msg == WM_APP + 2) order.push_back(s.wParam);
    ASSERT_EQ(order.size(), 100u);
    for (size_t i = 0; i < order.size(); ++i) EXPECT_EQ(order[i], i);
    EXPECT_EQ(CountSeen(g_gameSeen, WM_USER + 1, 29001), 1) << "notifications keep flowing";
    EXPECT_EQ(CountSeen(g_gameSeen, WM_KEYDOWN, VK_SPACE), 0) << "no input reaches the program meanwhile";
    // The other window's quit waits for its own loop.
    MSG msg{};
    ASSERT_TRUE(PeekMessageA(&msg, other, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 3u);
}

TEST_F(DialogLayerTest, ControlMessagesFromAnotherThreadRunOnTheDialogsThread)
{
    HWND dialog = MakeModeless();
    HWND list = GetDlgItem(dialog, kList);
    std::atomic<bool> done{false};
    LRESULT index = -2, count = -2;
    std::thread worker([&] {
        index = SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("from a worker"));
        SendDlgItemMessageA(dialog, kList, LB_SETITEMDATA, 0, 1234);
        count = SendDlgItemMessageA(dialog, kList, LB_GETCOUNT, 0, 0);
        EnableWindow(GetDlgItem(dialog, kOther), FALSE);
        done = true;
    });
    EXPECT_TRUE(DialogTestWaitFor([&] { return done.load(); }, 3000));
    worker.join();
    EXPECT_EQ(index, 0);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(SendDlgItemMessageA(dialog, kList, LB_GETITEMDATA, 0, 0), 1234);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, kOther)));
}

TEST_F(DialogLayerTest, ListKeepsDataSelectionAndTopLineAndKnowsDoubleClicks)
{
    HWND dialog = MakeModeless();
    for (int i = 0; i < 12; ++i) {
        std::string text = "line " + std::to_string(i);
        LRESULT at = SendDlgItemMessageA(dialog, kList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
        SendDlgItemMessageA(dialog, kList, LB_SETITEMDATA, at, 1000 + i);
    }
    EXPECT_EQ(SendDlgItemMessageA(dialog, kList, LB_GETCOUNT, 0, 0), 12);
    EXPECT_EQ(SendDlgItemMessageA(dialog, kList, LB_SETCURSEL, 5, 0), 5);
    SendDlgItemMessageA(dialog, kList, LB_DELETESTRING, 0, 0);
    EXPECT_EQ(SendDlgItemMessageA(dialog, kList, LB_GETCURSEL, 0, 0), 4) << "the same entry stays chosen";
    EXPECT_EQ(SendDlgItemMessageA(dialog, kList, LB_GETITEMDATA, 4, 0), 1005);
    EXPECT_EQ(SendDlgItemMessageA(dialog, kList, LB_GETITEMDATA, 11, 0), LB_ERR);

    // The top line goes no further than the last full page (the list shows 4 or 5 rows).
    EXPECT_EQ(SendDlgItemMessageA(dialog, kList, LB_SETTOPINDEX, 10, 0), 0);
    LRESULT top = SendDlgItemMessageA(dialog, kList, LB_GETTOPINDEX, 0, 0);
    EXPECT_GT(top, 4);
    EXPECT_LE(top, 10);
    EXPECT_EQ(SendDlgItemMessageA(dialog, kList, LB_SETTOPINDEX, 40, 0), LB_ERR);
    SendDlgItemMessageA(dialog, kList, LB_SETTOPINDEX, 0, 0);

    // Two quick clicks on one row: a choice, then a double click; a click elsewhere is not.
    g_dialogSeen.clear();
    int rowY = 10 + 2 + dialog_text::LineHeight() + 2 + 4;  // inside the second row
    PostClick(dialog, 40, rowY);
    PostClick(dialog, 40, rowY);
    PostClick(dialog, 40, 14);
    DialogTestPump(60);
    std::vector<int> codes;
    for (const Seen& s : g_dialogSeen)
        if (s.msg == WM_COMMAND && LOWORD(s.wParam) == kList) codes.push_back(HIWORD(s.wParam));
    EXPECT_EQ(codes, (std::vector<int>{LBN_SELCHANGE, LBN_DBLCLK, LBN_SELCHANGE}));
    EXPECT_EQ(SendDlgItemMessageA(dialog, kList, LB_GETCURSEL, 0, 0), 0);
    EXPECT_TRUE(DialogTestDoubleClick(dialog, kList, 3));
    EXPECT_EQ(HIWORD(g_dialogSeen.back().wParam), LBN_DBLCLK);

    SendDlgItemMessageA(dialog, kList, LB_RESETCONTENT, 0, 0);
    EXPECT_EQ(SendDlgItemMessageA(dialog, kList, LB_GETCURSEL, 0, 0), LB_ERR);
    EXPECT_FALSE(DialogTestDoubleClick(dialog, kList, 0));
}

// A list scrolled down (by its scroll bar's arrow, as a player does, or by the program) takes a
// click on a row as the entry shown there, and a double click picks that same entry: the games
// list of a search with more sessions than fit joins the game the player pointed at.
TEST_F(DialogLayerTest, AClickInAScrolledListPicksTheEntryUnderThePointer)
{
    HWND dialog = MakeModeless();
    for (int i = 0; i < 12; ++i) {
        std::string text = "session " + std::to_string(i);
        SendDlgItemMessageA(dialog, kList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    auto listCodes = [] {
        std::vector<int> codes;
        for (const Seen& s : g_dialogSeen)
            if (s.msg == WM_COMMAND && LOWORD(s.wParam) == kList) codes.push_back(HIWORD(s.wParam));
        return codes;
    };
    const int row = dialog_text::LineHeight() + 2;
    const int rowY = 10 + 2 + row / 2;  // the middle of the first row shown
    // The scroll bar's lower arrow, at the list's right edge and bottom, moves the list one line.
    for (int i = 0; i < 3; ++i) PostClick(dialog, 10 + 200 - 8, 10 + 88 - 6);
    ASSERT_TRUE(DialogTestWaitFor([&] { return DialogTestTopIndex(dialog, kList) == 3; }, 5000))
        << "top line " << DialogTestTopIndex(dialog, kList);
    EXPECT_EQ(SendDlgItemMessageA(dialog, kList, LB_GETCURSEL, 0, 0), LB_ERR) << "scrolling picks nothing";

    g_dialogSeen.clear();
    PostClick(dialog, 40, rowY + row);  // the second row shown: entry 4
    PostClick(dialog, 40, rowY + row);
    ASSERT_TRUE(DialogTestWaitFor([&] { return listCodes().size() == 2; }, 5000));
    EXPECT_EQ(listCodes(), (std::vector<int>{LBN_SELCHANGE, LBN_DBLCLK}));
    EXPECT_EQ(SendDlgItemMessageA(dialog, kList, LB_GETCURSEL, 0, 0), 4);

    // Scrolled by the program to its last page: a click on the first row shown is the top line.
    SendDlgItemMessageA(dialog, kList, LB_SETTOPINDEX, 11, 0);
    const LRESULT top = SendDlgItemMessageA(dialog, kList, LB_GETTOPINDEX, 0, 0);
    ASSERT_GT(top, 4);
    g_dialogSeen.clear();
    PostClick(dialog, 40, rowY);
    ASSERT_TRUE(DialogTestWaitFor([&] { return !listCodes().empty(); }, 5000));
    EXPECT_EQ(listCodes(), (std::vector<int>{LBN_SELCHANGE}));
    EXPECT_EQ(SendDlgItemMessageA(dialog, kList, LB_GETCURSEL, 0, 0), top);
}

// A combo box's dropped list shows eight entries, scrolled to the chosen one: a click on its first
// row picks the entry shown there.
TEST_F(DialogLayerTest, AClickInAScrolledDropDownPicksTheEntryUnderThePointer)
{
    constexpr int kCombo = 106;
    DialogTemplate t{"Combo", 300, 300, {{DialogControlKind::ComboBox, kCombo, "", 10, 10, 200, 24}}};
    HWND dialog = CreateDialogIndirectParamA(nullptr, &t, nullptr, RecordingDialogProc, 0);
    ASSERT_NE(dialog, nullptr);
    for (int i = 0; i < 12; ++i) {
        std::string text = "kit " + std::to_string(i);
        SendDlgItemMessageA(dialog, kCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    SendDlgItemMessageA(dialog, kCombo, CB_SETCURSEL, 11, 0);
    g_dialogSeen.clear();
    PostClick(dialog, 100, 20);  // drops the list: entries 4 to 11
    PostClick(dialog, 100, 10 + dialogs_detail::ComboBoxHeight() + 1 + dialogs_detail::ListRowHeight() / 2);
    ASSERT_TRUE(DialogTestWaitFor([] { return CountSeen(g_dialogSeen, WM_COMMAND, MAKEWPARAM(kCombo, CBN_SELCHANGE)); },
                                  5000));
    EXPECT_EQ(SendDlgItemMessageA(dialog, kCombo, CB_GETCURSEL, 0, 0), 4);
}

TEST_F(DialogLayerTest, EditTakesNoMoreThanItsLimitFromTheKeyboard)
{
    HWND dialog = MakeModeless();
    SendDlgItemMessageA(dialog, kEdit, EM_LIMITTEXT, 5, 0);
    PostMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, kEdit)), TRUE);
    PostChars(dialog, "abcdefgh");
    DialogTestPump(40);
    EXPECT_EQ(DialogTestText(dialog, kEdit), "abcde");
    PostMessageA(dialog, WM_CHAR, 8, 1);  // backspace
    PostChars(dialog, "Z");
    DialogTestPump(40);
    EXPECT_EQ(DialogTestText(dialog, kEdit), "abcdZ");
    int changes = 0;
    for (const Seen& s : g_dialogSeen)
        if (s.msg == WM_COMMAND && s.wParam == MAKEWPARAM(kEdit, EN_CHANGE)) ++changes;
    EXPECT_EQ(changes, 7);

    // The program may set more than the user may type; reading is bounded by the buffer.
    SetDlgItemTextA(dialog, kEdit, "0123456789");
    char text[4];
    EXPECT_EQ(GetDlgItemTextA(dialog, kEdit, text, sizeof text), 3u);
    EXPECT_STREQ(text, "012");
    // Tabbing into the edit selects its text: typing replaces it.
    EXPECT_TRUE(DialogTestType(dialog, kEdit, "xy"));
    EXPECT_EQ(DialogTestText(dialog, kEdit), "xy");
}

TEST_F(DialogLayerTest, PushLikeCheckBoxTogglesAndLooksPressed)
{
    HWND dialog = MakeModeless();
    int w, h;
    std::vector<uint8_t> up, down;
    ASSERT_TRUE(DialogTestRender(dialog, w, h, up));
    EXPECT_TRUE(DialogTestClick(dialog, kPush));
    EXPECT_EQ(IsDlgButtonChecked(dialog, kPush), static_cast<UINT>(BST_CHECKED));
    ASSERT_TRUE(DialogTestRender(dialog, w, h, down));
    EXPECT_NE(up, down);
    // The top-left corner of the button: light when raised, dark when pressed.
    size_t corner = (static_cast<size_t>(10) * w + 220) * 3;
    EXPECT_GT(up[corner], 200);
    EXPECT_LT(down[corner], 150);
    CheckDlgButton(dialog, kPush, BST_UNCHECKED);
    std::vector<uint8_t> again;
    DialogTestRender(dialog, w, h, again);
    EXPECT_EQ(IsDlgButtonChecked(dialog, kPush), static_cast<UINT>(BST_UNCHECKED));
    // The space bar presses the focused one.
    DialogTestKey(dialog, DialogKey::Space);
    EXPECT_EQ(IsDlgButtonChecked(dialog, kPush), static_cast<UINT>(BST_CHECKED));
    EXPECT_EQ(Commands(), (std::vector<int>{MAKEWPARAM(kPush, BN_CLICKED), MAKEWPARAM(kPush, BN_CLICKED)}));
}

TEST_F(DialogLayerTest, EnterEscapeCloseBoxAndMnemonicsAsUsersExpect)
{
    HWND dialog = MakeModeless();
    auto lastCommand = [] { return Commands().empty() ? -1 : LOWORD(Commands().back()); };
    // Enter in the edit presses the default button.
    DialogTestPostKey(dialog, kEdit, VK_RETURN);
    DialogTestPump(30);
    EXPECT_EQ(lastCommand(), IDOK);
    // Enter on another push button presses that one.
    DialogTestPostKey(dialog, kOther, VK_RETURN);
    DialogTestPump(30);
    EXPECT_EQ(lastCommand(), kOther);
    // Escape and the close box are Cancel, unless the Cancel button is disabled.
    DialogTestPostKey(dialog, kEdit, VK_ESCAPE);
    PostMessageA(dialog, WM_CLOSE, 0, 0);
    DialogTestPump(30);
    EXPECT_EQ(Commands().size(), 4u);
    EXPECT_EQ(lastCommand(), IDCANCEL);
    EXPECT_TRUE(IsWindow(dialog)) << "the close box leaves the ending to the procedure";
    EnableWindow(GetDlgItem(dialog, IDCANCEL), FALSE);
    DialogTestPostKey(dialog, kEdit, VK_ESCAPE);
    DialogTestPump(30);
    EXPECT_EQ(Commands().size(), 4u);
    // Alt+letter presses the control with that mnemonic.
    PostMessageA(dialog, WM_SYSKEYDOWN, 'C', 1 << 29);
    DialogTestPump(30);
    EXPECT_EQ(IsDlgButtonChecked(dialog, kCheck), static_cast<UINT>(BST_CHECKED));
    // A disabled dialog takes no keys.
    EnableWindow(dialog, FALSE);
    DialogTestPostKey(dialog, kEdit, VK_RETURN);
    DialogTestPump(30);
    EXPECT_EQ(Commands().size(), 5u);
}

TEST_F(DialogLayerTest, MessageBoxesAreDialogsWithTheirButtonsAndKeys)
{
    std::vector<std::string> titles;
    DialogSetTestDriver([&](HWND box) {
        titles.push_back(DialogTestTitle(box));
        if (GetDlgItem(box, IDNO)) {
            EXPECT_TRUE(IsWindow(GetDlgItem(box, IDYES)));
            EXPECT_EQ(DialogTestFocus(box), titles.size() == 2 ? IDNO : IDYES);
            DialogTestKey(box, DialogKey::Escape);  // a question must be answered
            if (titles.size() == 1) DialogTestClick(box, IDNO);
            else DialogTestKey(box, DialogKey::Enter);
        } else {
            DialogTestKey(box, DialogKey::Escape);
        }
    });
    EXPECT_EQ(MessageBoxA(nullptr, "Do you want to reject Kit?", "DirectPlay Multiplayer Stage", MB_YESNO), IDNO);
    EXPECT_EQ(MessageBoxA(nullptr, "Again?", "Stage", MB_YESNO | MB_DEFBUTTON2), IDNO);
    EXPECT_EQ(MessageBoxA(nullptr, "The game was canceled.", "DirectPlay Multiplayer Stage", MB_OK), IDOK);
    EXPECT_EQ(titles, (std::vector<std::string>{"DirectPlay Multiplayer Stage", "Stage", "DirectPlay Multiplayer Stage"}));
    // Recording still answers with the first button without showing anything.
    DialogSetTestDriver([&](HWND) { ADD_FAILURE() << "a recorded box is not shown"; });
    PlatformRecordMessageBoxes(true);
    PlatformClearRecordedMessageBoxes();
    EXPECT_EQ(MessageBoxA(nullptr, "Q?", "C", MB_YESNO), IDYES);
    ASSERT_EQ(PlatformRecordedMessageBoxes().size(), 1u);
}

// The keyboard is where the player was before: closing a box without an owner gives it back to
// the window that was active when the box opened, closing a dialog gives it back to its owner.
TEST_F(DialogLayerTest, ClosingABoxOrADialogGivesTheKeyboardBackToTheWindowBelow)
{
    HWND window = MakeGameWindow();
    SetForegroundWindow(window);
    ASSERT_EQ(GetFocus(), window);
    HWND shown = nullptr;
    DialogSetTestDriver([&](HWND box) {
        shown = box;
        EXPECT_EQ(GetForegroundWindow(), box);
        EXPECT_NE(GetFocus(), window);
        DialogTestKey(box, DialogKey::Escape);
    });
    g_gameSeen.clear();
    EXPECT_EQ(MessageBoxA(nullptr, "The game was canceled.", "Stage", MB_OK), IDOK);
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(GetForegroundWindow(), window);
    EXPECT_EQ(GetFocus(), window);
    EXPECT_EQ(CountSeen(g_gameSeen, WM_ACTIVATE, WA_ACTIVE), 1);
    int focusMessages = 0;
    for (const Seen& seen : g_gameSeen) focusMessages += seen.msg == WM_SETFOCUS;
    EXPECT_EQ(focusMessages, 1);

    DialogSetTestDriver([&](HWND dialog) {
        EXPECT_EQ(GetForegroundWindow(), dialog);
        EndDialog(dialog, IDCANCEL);
    });
    DialogTemplate t = LayerTemplate();
    g_gameSeen.clear();
    EXPECT_EQ(DialogBoxIndirectParamA(nullptr, &t, window, RecordingDialogProc, 0), IDCANCEL);
    EXPECT_EQ(GetForegroundWindow(), window);
    EXPECT_EQ(GetFocus(), window);
    EXPECT_EQ(CountSeen(g_gameSeen, WM_ACTIVATE, WA_ACTIVE), 1);
}

// A modeless dialog that goes while it has the keyboard, destroyed or hidden, gives it back to
// the window below as well; so does a dialog that had a box of its own over it in between.
TEST_F(DialogLayerTest, AModelessDialogGoingOrADialogThatHadABoxOverItGiveTheKeyboardBack)
{
    HWND window = MakeGameWindow();
    SetForegroundWindow(window);
    for (bool destroy : {true, false}) {
        HWND modeless = MakeModeless();
        ASSERT_EQ(GetForegroundWindow(), modeless);
        if (destroy)
            DestroyWindow(modeless);
        else
            EndDialog(modeless, IDOK);
        EXPECT_EQ(GetForegroundWindow(), window) << (destroy ? "destroyed" : "hidden");
        EXPECT_EQ(GetFocus(), window) << (destroy ? "destroyed" : "hidden");
        if (IsWindow(modeless)) DestroyWindow(modeless);
    }

    int shown = 0;
    DialogSetTestDriver([&](HWND dialog) {
        if (shown++ > 0) {
            DialogTestKey(dialog, DialogKey::Escape);  // the box
            return;
        }
        EXPECT_EQ(MessageBoxA(dialog, "Unable to join game.", "DirectPlay Sample", MB_OK), IDOK);
        EXPECT_EQ(GetForegroundWindow(), dialog) << "back from the box";
        EndDialog(dialog, IDCANCEL);
    });
    DialogTemplate t = LayerTemplate();
    EXPECT_EQ(DialogBoxIndirectParamA(nullptr, &t, nullptr, RecordingDialogProc, 0), IDCANCEL);
    EXPECT_EQ(shown, 2);
    EXPECT_EQ(GetForegroundWindow(), window);
    EXPECT_EQ(GetFocus(), window);
}

TEST_F(DialogLayerTest, AMessageBoxLeftWhenTheScriptRunsOutIsAnsweredAsWithoutADisplay)
{
    std::string error;
    ASSERT_TRUE(PlatformLoadScript("20 move 1 1\n", "s", error)) << error;
    uint64_t frames = PlatformFrameCount();
    EXPECT_EQ(MessageBoxA(nullptr, "Do you want to reject Kit?", "Stage", MB_YESNO), IDYES);
    EXPECT_GE(PlatformFrameCount(), frames + 20) << "the box waited for the script";
    EXPECT_EQ(MessageBoxA(nullptr, "Without a script", "Stage", MB_OK), IDOK);
}

// Red levels between the ink and the face: what anti-aliased text leaves at the edges of glyphs.
int GreyLevels(const std::vector<uint8_t>& rgb, int w, int x0, int y0, int x1, int y1)
{
    std::set<int> levels;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            const uint8_t* p = &rgb[(static_cast<size_t>(y) * w + x) * 3];
            if (p[0] > 20 && p[0] < 190) levels.insert(p[0]);
        }
    return static_cast<int>(levels.size());
}

TEST_F(DialogLayerTest, TextIsDrawnWithFreeTypeInProportionalGlyphs)
{
    ASSERT_TRUE(dialog_text::UsingFreeType()) << "fonts-dejavu-core provides the dialog font";
    EXPECT_LT(dialog_text::TextWidth("iiii"), dialog_text::TextWidth("WWWW"));
    EXPECT_EQ(dialog_text::TextWidth("&Cancel"), dialog_text::TextWidth("Cancel"));
    EXPECT_GE(dialog_text::LineHeight(), 12);
    EXPECT_LE(dialog_text::LineHeight(), 18);

    HWND dialog = MakeModeless();
    SetWindowTextA(dialog, "Dorvanix: MultiMachine Setup - Multiplayer Games");
    SetDlgItemTextA(dialog, kStatus, "Waiting for more players to join.");
    SendDlgItemMessageA(dialog, kList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("Quillane (1/2) (3ms)"));
    SendDlgItemMessageA(dialog, kList, LB_SETCURSEL, 0, 0);
    int w, h;
    std::vector<uint8_t> rgb;
    ASSERT_TRUE(DialogTestRender(dialog, w, h, rgb));
    EXPECT_GT(GreyLevels(rgb, w, 10, 150, 340, 168), 10) << "the status line is anti-aliased";
    ASSERT_TRUE(DialogTestRenderFramed(dialog, w, h, rgb));
    EXPECT_EQ(w, 360 + 6);
    std::filesystem::create_directories(std::string(BUILD_ROOT) + "/screens");
    EXPECT_TRUE(PlatformWriteRgbPng(std::string(BUILD_ROOT) + "/screens/dialog_layer.png", w, h, rgb));
}

TEST_F(DialogLayerTest, ScriptLinesWorkDialogsByControlIdAndKeepFramesCounting)
{
    std::string error;
    EXPECT_FALSE(PlatformLoadScript("1 dialog x click\n", "s", error));
    EXPECT_NE(error.find("s:1"), std::string::npos);
    EXPECT_FALSE(PlatformLoadScript("1 dialog 5 jump\n", "s", error));
    EXPECT_FALSE(PlatformLoadScript("\n2 dialog 5 select\n", "s", error));
    EXPECT_NE(error.find("s:2"), std::string::npos);
    EXPECT_FALSE(PlatformLoadScript("1 dialog 5 key VK_NOPE\n", "s", error));
    EXPECT_FALSE(PlatformLoadScript("1 dialog 5 click now\n", "s", error));

    std::filesystem::create_directories(std::string(BUILD_ROOT) + "/screens");
    std::string shot = std::string(BUILD_ROOT) + "/screens/dialog_script.png";
    std::filesystem::remove(shot);
    // The actions wait for their controls: the list gets its entries only after a while.
    ASSERT_TRUE(PlatformLoadScript("2 dialog 101 text Kestrel\n"
                                   "3 dialog 100 select 1\n"
                                   "12 screenshot " + shot + "\n"
                                   "14 dialog 102 click\n"
                                   "15 dialog 1 click\n",
                                   "s", error))
        << error;
    uint64_t framesBefore = PlatformFrameCount();
    g_onMessage = [](HWND dialog, UINT msg, WPARAM, LPARAM) {
        if (msg == WM_INITDIALOG) SetTimer(dialog, 3, 60, nullptr);
        if (msg == WM_TIMER) {
            KillTimer(dialog, 3);
            SendDlgItemMessageA(dialog, kList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("alpha"));
            SendDlgItemMessageA(dialog, kList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("beta"));
        }
        if (msg == WM_COMMAND && LOWORD(g_dialogSeen.back().wParam) == IDOK) {
            EXPECT_EQ(DialogTestText(dialog, kEdit), "Kestrel");
            EXPECT_EQ(SendDlgItemMessageA(dialog, kList, LB_GETCURSEL, 0, 0), 1);
            EXPECT_EQ(IsDlgButtonChecked(dialog, kPush), static_cast<UINT>(BST_CHECKED));
            EndDialog(dialog, IDOK);
        }
    };
    DialogTemplate t = LayerTemplate();
    EXPECT_EQ(DialogBoxIndirectParamA(nullptr, &t, nullptr, RecordingDialogProc, 0), IDOK);
    EXPECT_GE(PlatformFrameCount(), framesBefore + 15) << "dialog frames counted while the modal loop ran";
    EXPECT_TRUE(std::filesystem::exists(shot)) << "the screenshot shows the dialog on a plain desktop";
    EXPECT_EQ(DialogPendingActions(), 0);
}

// A line that waits for its control holds the script: the screenshot two frames after it is taken
// two frames after the click, however long the button took to show (the clock moves meanwhile,
// so the timer that shows it fires).
TEST_F(DialogLayerTest, TheScriptStandsStillWhileADialogLineWaitsForItsControl)
{
    PlatformSetFixedStep(10);
    std::filesystem::create_directories(std::string(BUILD_ROOT) + "/screens");
    const std::string shot = std::string(BUILD_ROOT) + "/screens/dialog_script_held.png";
    std::filesystem::remove(shot);
    std::string error;
    ASSERT_TRUE(PlatformLoadScript("2 dialog 102 click\n4 screenshot " + shot + "\n8 dialog 1 click\n", "s", error))
        << error;
    int shotsDueWhenShown = -1;
    g_onMessage = [&](HWND dialog, UINT msg, WPARAM, LPARAM) {
        if (msg == WM_INITDIALOG) {
            ShowWindow(GetDlgItem(dialog, kPush), SW_HIDE);
            SetTimer(dialog, 4, 300, nullptr);
        }
        if (msg == WM_TIMER) {
            KillTimer(dialog, 4);
            shotsDueWhenShown = PlatformPendingScreenshots();
            ShowWindow(GetDlgItem(dialog, kPush), SW_SHOW);
        }
        if (msg == WM_COMMAND && LOWORD(g_dialogSeen.back().wParam) == IDOK) EndDialog(dialog, IDOK);
    };
    DialogTemplate t = LayerTemplate();
    EXPECT_EQ(DialogBoxIndirectParamA(nullptr, &t, nullptr, RecordingDialogProc, 0), IDOK);
    EXPECT_EQ(shotsDueWhenShown, 1) << "the screenshot waited for the click";
    EXPECT_EQ(Commands(), (std::vector<int>{kPush, IDOK}));
    EXPECT_TRUE(std::filesystem::exists(shot));
    EXPECT_EQ(PlatformPendingScreenshots(), 0);
}

// The dialog frames go on for the dialog left below one that went with a frame tick on its way
// to it (posted by the pump, not yet taken), as a box closed by an answer may.
TEST_F(DialogLayerTest, FramesGoOnForTheDialogBelowOneThatWentWithATickOnItsWay)
{
    HWND below = MakeModeless();
    HWND above = MakeModeless();
    ASSERT_NE(below, nullptr);
    ASSERT_NE(above, nullptr);
    int ticks = 0;
    DialogSetTestTicker([&] { ++ticks; });
    DialogTestPump(0);
    // The next tick goes to the newest dialog: seen in the queue, and left there.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    MSG msg;
    while (!PeekMessageA(&msg, above, 0, 0, PM_NOREMOVE) && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_TRUE(PeekMessageA(&msg, above, 0, 0, PM_NOREMOVE)) << "no frame tick for the newest dialog";
    DestroyWindow(above);
    const int before = ticks;
    EXPECT_TRUE(DialogTestWaitFor([&] { return ticks >= before + 2; }, 60000))
        << "no frames for the dialog below after the one above went";
    DestroyWindow(below);
}

TEST_F(DialogLayerTest, DialogFramesMoveTheFixedClockSoTimersFire)
{
    PlatformSetFixedStep(10);
    DialogSetTestTicker([] {});
    DWORD start = timeGetTime();
    g_onMessage = [](HWND dialog, UINT msg, WPARAM wParam, LPARAM) {
        if (msg == WM_INITDIALOG) SetTimer(dialog, 5, 200, nullptr);
        if (msg == WM_TIMER && wParam == 5) EndDialog(dialog, 9);
    };
    DialogTemplate t = LayerTemplate();
    EXPECT_EQ(DialogBoxIndirectParamA(nullptr, &t, nullptr, RecordingDialogProc, 0), 9);
    EXPECT_GE(timeGetTime() - start, 200u);
}

}  // namespace
