#include "test_support.h"

std::vector<SeenMessage>& Seen()
{
    static std::vector<SeenMessage> seen;
    return seen;
}

LRESULT CALLBACK TestWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    Seen().push_back({hwnd, message, wParam, lParam});
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

HWND MakeTestWindow(DWORD style)
{
    static bool registered = false;
    if (!registered) {
        WNDCLASSA wc{};
        wc.lpfnWndProc = TestWindowProc;
        wc.lpszClassName = "Platform Test Window";
        wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        registered = RegisterClassA(&wc) != 0;
    }
    RECT r{0, 0, 800, 600};
    AdjustWindowRectEx(&r, style, FALSE, 0);
    return CreateWindowExA(0, "Platform Test Window", "test", style, 100, 50, r.right - r.left,
                           r.bottom - r.top, nullptr, nullptr, nullptr, nullptr);
}

std::vector<MSG> DrainMessages(HWND hwnd, HACCEL accel)
{
    std::vector<MSG> out;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            out.push_back(msg);
            break;
        }
        if (accel && hwnd && TranslateAcceleratorA(hwnd, accel, &msg)) continue;
        out.push_back(msg);
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return out;
}

std::vector<SeenMessage> SeenOf(UINT message)
{
    std::vector<SeenMessage> out;
    for (auto& s : Seen())
        if (s.message == message) out.push_back(s);
    return out;
}

void PlatformTest::SetUp()
{
    Seen().clear();
    PlatformClearScript();
    PlatformSetFixedStep(0);
    ASSERT_TRUE(PlatformInit());
}

void PlatformTest::TearDown()
{
    PlatformShutdown();
    PlatformClearScript();
    PlatformSetFixedStep(0);
    PlatformSetFrameReader(nullptr);
    PlatformSetKeyListener(nullptr);
    PlatformRecordMessageBoxes(false);
    PlatformClearRecordedMessageBoxes();
    Seen().clear();
}
