// Windows and the message queue: creation, geometry, posting from other threads, quit,
// sending, destruction, activation, message boxes.
#include "test_support.h"

#include <SDL.h>

#include <atomic>
#include <cstdlib>
#include <chrono>
#include <thread>

namespace {
class Messages : public PlatformTest {};

size_t IndexOf(UINT message)
{
    for (size_t i = 0; i < Seen().size(); ++i)
        if (Seen()[i].message == message) return i;
    return SIZE_MAX;
}
}  // namespace

TEST_F(Messages, CreationAnnouncesTheWindowAndActivatesTheApplication)
{
    HWND hwnd = MakeTestWindow();
    ASSERT_NE(hwnd, nullptr);
    EXPECT_TRUE(IsWindow(hwnd));
    // Created, sized to its client area, then shown and activated (the application first).
    ASSERT_NE(IndexOf(WM_CREATE), SIZE_MAX);
    EXPECT_EQ(IndexOf(WM_GETMINMAXINFO), 0u);  // asked first, with a real structure to fill
    ASSERT_NE(IndexOf(WM_SIZE), SIZE_MAX);
    ASSERT_NE(IndexOf(WM_ACTIVATEAPP), SIZE_MAX);
    EXPECT_LT(IndexOf(WM_CREATE), IndexOf(WM_SIZE));
    EXPECT_LT(IndexOf(WM_SIZE), IndexOf(WM_ACTIVATEAPP));
    EXPECT_LT(IndexOf(WM_ACTIVATEAPP), IndexOf(WM_ACTIVATE));
    auto size = SeenOf(WM_SIZE);
    EXPECT_EQ(LOWORD(size[0].lParam), 800);
    EXPECT_EQ(HIWORD(size[0].lParam), 600);
    EXPECT_EQ(SeenOf(WM_ACTIVATEAPP)[0].wParam, static_cast<WPARAM>(TRUE));
    EXPECT_EQ(GetForegroundWindow(), hwnd);
    EXPECT_NE(PlatformSdlWindow(hwnd), nullptr);
    EXPECT_EQ(PlatformMainWindow(), hwnd);

    // Showing it again activates nothing a second time.
    Seen().clear();
    ShowWindow(hwnd, SW_SHOW);
    EXPECT_TRUE(SeenOf(WM_ACTIVATEAPP).empty());
}

TEST_F(Messages, UnregisteredClassAndChildWindowsFailLoudly)
{
    SetLastError(0);
    EXPECT_EQ(CreateWindowExA(0, "no such class", "x", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                              nullptr),
              nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));
    HWND parent = MakeTestWindow();
    EXPECT_EQ(CreateWindowExA(0, "Platform Test Window", "child", WS_CHILD, 0, 0, 10, 10, parent, nullptr,
                              nullptr, nullptr),
              nullptr);
}

TEST_F(Messages, RectanglesFollowTheStyle)
{
    // The framework's windowed style: popup with caption and minimise box.
    DWORD style = 0x90C20000;
    RECT r{0, 0, 800, 600};
    AdjustWindowRectEx(&r, style, FALSE, 0);
    EXPECT_LT(r.left, 0);
    EXPECT_LT(r.top, r.left);  // the caption makes the top larger than the sides
    HWND hwnd = CreateWindowExA(0, "Platform Test Window", "t", style, 10, 20, r.right - r.left,
                                r.bottom - r.top, nullptr, nullptr, nullptr, nullptr);
    if (!hwnd) {
        MakeTestWindow();  // registers the class on first use
        hwnd = CreateWindowExA(0, "Platform Test Window", "t", style, 10, 20, r.right - r.left,
                               r.bottom - r.top, nullptr, nullptr, nullptr, nullptr);
    }
    ASSERT_NE(hwnd, nullptr);
    RECT client, window;
    GetClientRect(hwnd, &client);
    GetWindowRect(hwnd, &window);
    EXPECT_EQ(client.right, 800);
    EXPECT_EQ(client.bottom, 600);
    EXPECT_EQ(window.left, 10);
    EXPECT_EQ(window.top, 20);
    POINT p{0, 0};
    ClientToScreen(hwnd, &p);
    EXPECT_EQ(p.x, 10 - r.left);
    EXPECT_EQ(p.y, 20 - r.top);
    ScreenToClient(hwnd, &p);
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(p.y, 0);

    // Moving reports the new client origin; resizing the new client size.
    Seen().clear();
    MoveWindow(hwnd, 0, 0, window.right - window.left, window.bottom - window.top, TRUE);
    EXPECT_EQ(SeenOf(WM_MOVE).size(), 1u);
    EXPECT_TRUE(SeenOf(WM_SIZE).empty());
    SetWindowPos(hwnd, HWND_NOTOPMOST, 0, 0, 640 + (window.right - window.left - 800),
                 480 + (window.bottom - window.top - 600), SWP_NOMOVE);
    ASSERT_EQ(SeenOf(WM_SIZE).size(), 1u);
    EXPECT_EQ(LOWORD(SeenOf(WM_SIZE)[0].lParam), 640);
    EXPECT_EQ(HIWORD(SeenOf(WM_SIZE)[0].lParam), 480);

    // The full-screen style (no frame): the same outer rectangle is all client.
    SetWindowLongA(hwnd, GWL_STYLE, static_cast<LONG>(WS_POPUP | WS_VISIBLE | WS_SYSMENU));
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(hwnd, GWL_STYLE)), static_cast<DWORD>(0x90080000));
    GetWindowRect(hwnd, &window);
    GetClientRect(hwnd, &client);
    EXPECT_EQ(client.right, window.right - window.left);

    RECT desktop;
    ASSERT_TRUE(GetWindowRect(GetDesktopWindow(), &desktop));
    EXPECT_EQ(desktop.right, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(desktop.bottom, GetSystemMetrics(SM_CYSCREEN));
}

TEST_F(Messages, PostFromAnotherThreadWakesGetMessage)
{
    HWND hwnd = MakeTestWindow();
    DrainMessages();
    std::thread poster([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_TRUE(PostMessageA(hwnd, WM_APP + 1, 11, 22));
        EXPECT_TRUE(PostMessageA(nullptr, WM_APP + 2, 33, 44));  // a thread message
    });
    MSG msg;
    ASSERT_GT(GetMessageA(&msg, nullptr, 0, 0), 0);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_APP + 1));
    EXPECT_EQ(msg.hwnd, hwnd);
    EXPECT_EQ(msg.wParam, 11u);
    EXPECT_EQ(msg.lParam, 22);
    ASSERT_GT(GetMessageA(&msg, nullptr, 0, 0), 0);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_APP + 2));
    EXPECT_EQ(msg.hwnd, nullptr);
    poster.join();
}

TEST_F(Messages, ManyThreadsPostingLoseNothing)
{
    HWND hwnd = MakeTestWindow();
    DrainMessages();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([=] {
            for (int i = 0; i < 500; ++i) PostMessageA(hwnd, WM_USER, static_cast<WPARAM>(t), i);
        });
    int lastOf[4] = {-1, -1, -1, -1};
    int received = 0;
    MSG msg;
    while (received < 2000 && GetMessageA(&msg, hwnd, WM_USER, WM_USER) > 0) {
        ASSERT_LT(msg.wParam, 4u);
        // Each thread's messages arrive in the order it posted them.
        EXPECT_EQ(msg.lParam, lastOf[msg.wParam] + 1);
        lastOf[msg.wParam] = static_cast<int>(msg.lParam);
        ++received;
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(received, 2000);
}

TEST_F(Messages, QuitComesAfterWaitingMessagesAndCarriesItsCode)
{
    HWND hwnd = MakeTestWindow();
    DrainMessages();
    PostQuitMessage(7);
    PostMessageA(hwnd, WM_USER, 1, 0);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER));
    ASSERT_GT(GetMessageA(&msg, nullptr, 0, 0), 0);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER));
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), 0);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 7u);
    // Taken once.
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(Messages, PeekFiltersByWindowAndRange)
{
    HWND a = MakeTestWindow();
    HWND b = MakeTestWindow();
    DrainMessages();
    PostMessageA(a, WM_USER + 1, 0, 0);
    PostMessageA(b, WM_USER + 2, 0, 0);
    PostMessageA(a, WM_USER + 3, 0, 0);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, b, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 2));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_USER + 3, WM_USER + 3, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 3));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 1));
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(Messages, SendFromAnotherThreadRunsOnTheWindowsThread)
{
    static std::thread::id procThread;
    static HWND target;
    struct Local {
        static LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l)
        {
            if (m == WM_USER + 9) {
                procThread = std::this_thread::get_id();
                return static_cast<LRESULT>(w * 2);
            }
            return DefWindowProcA(h, m, w, l);
        }
    };
    WNDCLASSA wc{};
    wc.lpfnWndProc = Local::Proc;
    wc.lpszClassName = "send test";
    RegisterClassA(&wc);
    target = CreateWindowExA(0, "send test", "s", WS_POPUP | WS_VISIBLE, 0, 0, 64, 64, nullptr, nullptr,
                             nullptr, nullptr);
    ASSERT_NE(target, nullptr);
    std::atomic<LRESULT> result{0};
    std::thread sender([&] { result = SendMessageA(target, WM_USER + 9, 21, 0); });
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    MSG msg;
    while (result == 0 && std::chrono::steady_clock::now() < until) PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);
    sender.join();
    EXPECT_EQ(result, 42);
    EXPECT_EQ(procThread, std::this_thread::get_id());
    // On its own thread the procedure runs at once.
    EXPECT_EQ(SendMessageA(target, WM_USER + 9, 5, 0), 10);
    UnregisterClassA("send test", nullptr);
}

namespace {
// Calls WaitMessage; true when it came back by itself. A watchdog posts a message after ten
// seconds so that a WaitMessage that would never come back ends the test rather than hanging it.
bool WaitMessageReturnsByItself(HWND hwnd)
{
    std::atomic<bool> returned{false}, watchdogPosted{false};
    std::thread watchdog([&] {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!returned && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (!returned) {
            watchdogPosted = true;
            PostMessageA(hwnd, WM_APP + 7, 0, 0);
        }
    });
    WaitMessage();
    returned = true;
    watchdog.join();
    return !watchdogPosted;
}

void PushWindowEvent(HWND hwnd, Uint8 event)
{
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.event = event;
    e.window.windowID = SDL_GetWindowID(PlatformSdlWindow(hwnd));
    ASSERT_EQ(SDL_PushEvent(&e), 1);
}
}  // namespace

// A program that waits for messages while inactive, as the games do, is woken by its activation
// and by a message another thread sends, though neither puts anything in its queue.
TEST_F(Messages, WaitMessageReturnsAfterAMessageWasSentToAWindow)
{
    HWND hwnd = MakeTestWindow();
    DrainMessages();
    PushWindowEvent(hwnd, SDL_WINDOWEVENT_FOCUS_LOST);
    DrainMessages();
    ASSERT_EQ(GetForegroundWindow(), nullptr);
    Seen().clear();
    PushWindowEvent(hwnd, SDL_WINDOWEVENT_FOCUS_GAINED);
    EXPECT_TRUE(WaitMessageReturnsByItself(hwnd));
    const auto activations = SeenOf(WM_ACTIVATEAPP);
    ASSERT_EQ(activations.size(), 1u);
    EXPECT_EQ(activations[0].wParam, static_cast<WPARAM>(TRUE));
    DrainMessages();

    Seen().clear();
    std::thread sender([&] { SendMessageA(hwnd, WM_USER + 5, 0, 0); });
    EXPECT_TRUE(WaitMessageReturnsByItself(hwnd));
    sender.join();
    EXPECT_EQ(SeenOf(WM_USER + 5).size(), 1u);
    DrainMessages();
}

TEST_F(Messages, CloseDestroysAndTheWindowsMessagesAreDropped)
{
    HWND hwnd = MakeTestWindow();
    DrainMessages();
    Seen().clear();
    PostMessageA(hwnd, WM_USER, 0, 0);
    // DefWindowProc's answer to WM_CLOSE destroys the window.
    SendMessageA(hwnd, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(hwnd));
    ASSERT_EQ(SeenOf(WM_DESTROY).size(), 1u);
    // The last shown window going away deactivates the application before it is destroyed.
    ASSERT_EQ(SeenOf(WM_ACTIVATEAPP).size(), 1u);
    EXPECT_EQ(SeenOf(WM_ACTIVATEAPP)[0].wParam, 0u);
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    // Stale handles are refused, not followed.
    EXPECT_FALSE(PostMessageA(hwnd, WM_USER, 0, 0));
    EXPECT_EQ(SendMessageA(hwnd, WM_USER, 0, 0), 0);
    EXPECT_FALSE(DestroyWindow(hwnd));
    RECT r;
    EXPECT_FALSE(GetWindowRect(hwnd, &r));
    EXPECT_EQ(GetMessageA(&msg, hwnd, 0, 0), -1);
}

TEST_F(Messages, UpdateWindowPaintsWhatIsPendingAtOnce)
{
    HWND hwnd = MakeTestWindow();
    DrainMessages();
    Seen().clear();
    InvalidateRect(hwnd, nullptr, FALSE);
    InvalidateRect(hwnd, nullptr, FALSE);  // one paint, however often invalidated
    UpdateWindow(hwnd);
    EXPECT_EQ(SeenOf(WM_PAINT).size(), 1u);
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE));
}

TEST_F(Messages, AltF4AsksToClose)
{
    HWND hwnd = MakeTestWindow();
    DrainMessages();
    Seen().clear();
    DefWindowProcA(hwnd, WM_SYSKEYDOWN, VK_F4, 1 << 29);
    EXPECT_EQ(SeenOf(WM_SYSCOMMAND).size(), 1u);
    EXPECT_EQ(SeenOf(WM_CLOSE).size(), 1u);
    EXPECT_FALSE(IsWindow(hwnd));
}

TEST_F(Messages, MinimiseAndRestoreReportTheirSize)
{
    HWND hwnd = MakeTestWindow();
    DrainMessages();
    Seen().clear();
    ShowWindow(hwnd, SW_MINIMIZE);
    ASSERT_EQ(SeenOf(WM_SIZE).size(), 1u);
    EXPECT_EQ(SeenOf(WM_SIZE)[0].wParam, static_cast<WPARAM>(SIZE_MINIMIZED));
    EXPECT_TRUE(IsIconic(hwnd));
    ShowWindow(hwnd, SW_RESTORE);
    ASSERT_EQ(SeenOf(WM_SIZE).size(), 2u);
    EXPECT_EQ(SeenOf(WM_SIZE)[1].wParam, static_cast<WPARAM>(SIZE_RESTORED));
    EXPECT_FALSE(IsIconic(hwnd));
}

TEST_F(Messages, FullScreenLetterboxesTheBackBuffer)
{
    HWND hwnd = MakeTestWindow();
    PlatformSetBackBufferSize(hwnd, 800, 600);
    RECT before;
    GetWindowRect(hwnd, &before);
    ASSERT_TRUE(PlatformSetFullscreen(hwnd, true));
    EXPECT_TRUE(PlatformIsFullscreen(hwnd));
    RECT present = PlatformPresentRect(hwnd);
    int w = present.right - present.left, h = present.bottom - present.top;
    ASSERT_GT(w, 0);
    // 4:3 kept, centred, touching two opposite edges of the drawable.
    EXPECT_NEAR(static_cast<double>(w) / h, 4.0 / 3.0, 0.01);
    EXPECT_TRUE(present.left == 0 || present.top == 0);
    ASSERT_TRUE(PlatformSetFullscreen(hwnd, false));
    RECT after;
    GetWindowRect(hwnd, &after);
    EXPECT_EQ(after.left, before.left);
    EXPECT_EQ(after.right, before.right);
    EXPECT_FALSE(PlatformSetFullscreen(reinterpret_cast<HWND>(0x1234), true));
}

TEST_F(Messages, FullScreenTogglesAreNoUserResize)
{
    // The framework resets its device when the user resizes the frame; switching modes must
    // not look like that, however often it happens.
    HWND hwnd = MakeTestWindow();
    PlatformSetBackBufferSize(hwnd, 800, 600);
    DrainMessages();
    RECT before;
    GetWindowRect(hwnd, &before);
    Seen().clear();
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(PlatformSetFullscreen(hwnd, true));
        DrainMessages();
        SDL_Delay(5);
        DrainMessages();
        ASSERT_TRUE(PlatformSetFullscreen(hwnd, false));
        DrainMessages();
        SDL_Delay(5);
        DrainMessages();
    }
    EXPECT_TRUE(SeenOf(WM_EXITSIZEMOVE).empty());
    EXPECT_TRUE(SeenOf(WM_SIZE).empty());
    RECT after, client;
    GetWindowRect(hwnd, &after);
    GetClientRect(hwnd, &client);
    EXPECT_EQ(after.left, before.left);
    EXPECT_EQ(after.bottom, before.bottom);
    EXPECT_EQ(client.right, 800);
    EXPECT_EQ(client.bottom, 600);
}

// A full-screen program that another program takes the focus from is told it is inactive, then
// minimised, leaving the display to the other; with the focus back it is restored (still full
// screen) and active again. A program in a window stays where it is.
TEST_F(Messages, FullScreenProgramLosingTheFocusIsMinimisedUntilItHasItAgain)
{
    HWND hwnd = MakeTestWindow();
    PlatformSetBackBufferSize(hwnd, 800, 600);
    ASSERT_TRUE(PlatformSetFullscreen(hwnd, true));
    DrainMessages();
    Seen().clear();
    PushWindowEvent(hwnd, SDL_WINDOWEVENT_FOCUS_LOST);
    DrainMessages();
    EXPECT_EQ(GetForegroundWindow(), nullptr);
    EXPECT_TRUE(IsIconic(hwnd));
    EXPECT_TRUE(PlatformIsFullscreen(hwnd));
    std::vector<std::pair<UINT, WPARAM>> told;
    for (const auto& m : Seen())
        if (m.message == WM_ACTIVATEAPP || m.message == WM_SIZE) told.emplace_back(m.message, m.wParam);
    EXPECT_EQ(told, (std::vector<std::pair<UINT, WPARAM>>{{WM_ACTIVATEAPP, FALSE}, {WM_SIZE, SIZE_MINIMIZED}}));

    Seen().clear();
    PushWindowEvent(hwnd, SDL_WINDOWEVENT_FOCUS_GAINED);
    DrainMessages();
    EXPECT_EQ(GetForegroundWindow(), hwnd);
    EXPECT_FALSE(IsIconic(hwnd));
    EXPECT_TRUE(PlatformIsFullscreen(hwnd));
    ASSERT_EQ(SeenOf(WM_SIZE).size(), 1u);
    EXPECT_EQ(SeenOf(WM_SIZE)[0].wParam, static_cast<WPARAM>(SIZE_RESTORED));
    ASSERT_EQ(SeenOf(WM_ACTIVATEAPP).size(), 1u);
    EXPECT_EQ(SeenOf(WM_ACTIVATEAPP)[0].wParam, static_cast<WPARAM>(TRUE));

    ASSERT_TRUE(PlatformSetFullscreen(hwnd, false));
    PushWindowEvent(hwnd, SDL_WINDOWEVENT_FOCUS_LOST);
    DrainMessages();
    EXPECT_EQ(GetForegroundWindow(), nullptr);
    EXPECT_FALSE(IsIconic(hwnd));
}

TEST_F(Messages, MessageBoxesAreRecordedOrWrittenWithoutBlocking)
{
    PlatformRecordMessageBoxes(true);
    EXPECT_EQ(MessageBoxA(nullptr, "Could not reset the Direct3D device.", "Caption", MB_ICONERROR), IDOK);
    EXPECT_EQ(MessageBoxA(nullptr, "Sure?", "Q", MB_YESNO), IDYES);
    auto boxes = PlatformRecordedMessageBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_STREQ(boxes[0].text, "Could not reset the Direct3D device.");
    EXPECT_STREQ(boxes[0].caption, "Caption");
    EXPECT_EQ(boxes[0].type, static_cast<UINT>(MB_ICONERROR));
    PlatformRecordMessageBoxes(false);
    // Headless (the tests run with the offscreen driver): written to stderr, answered at once.
    testing::internal::CaptureStderr();
    EXPECT_EQ(MessageBoxA(nullptr, "You must have DirectX 7.0 or higher", "Warning", MB_OK), IDOK);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Warning"), std::string::npos);
    EXPECT_NE(err.find("You must have DirectX 7.0 or higher"), std::string::npos);
    EXPECT_EQ(PlatformRecordedMessageBoxes().size(), 2u);
}

// With no debugger listening the traces go nowhere; the switch makes the terminal the debugger.
TEST_F(Messages, DebuggerOutputIsSilentUnlessSwitchedOn)
{
    const char* saved = std::getenv("PLATFORM_DEBUG_OUTPUT");
    std::string restore = saved ? saved : "";
    unsetenv("PLATFORM_DEBUG_OUTPUT");
    testing::internal::CaptureStderr();
    OutputDebugStringA("Couldn't LoadLibrary DDraw\r\n");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

    setenv("PLATFORM_DEBUG_OUTPUT", "0", 1);
    testing::internal::CaptureStderr();
    OutputDebugStringA("not for the terminal\n");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

    setenv("PLATFORM_DEBUG_OUTPUT", "1", 1);
    testing::internal::CaptureStderr();
    OutputDebugStringA("Couldn't LoadLibrary DDraw\r\n");
    OutputDebugStringA(nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Couldn't LoadLibrary DDraw\r\n");

    // Errors that end a program are no debugger output: they reach the player regardless.
    unsetenv("PLATFORM_DEBUG_OUTPUT");
    testing::internal::CaptureStderr();
    EXPECT_EQ(MessageBoxA(nullptr, "You must have DirectX 7.0 or higher", "Warning", MB_OK), IDOK);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("You must have DirectX 7.0 or higher"), std::string::npos);
    if (saved) setenv("PLATFORM_DEBUG_OUTPUT", restore.c_str(), 1);
}
