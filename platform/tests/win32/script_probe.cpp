// A minimal program on the platform's entry point for the script tests: one window, a frame
// loop that "presents" a picture whose colour is the frame number, and the events it receives
// written to stdout.
#include "platform/win32/platform_internal.h"

#include <cstdio>

namespace {
LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: printf("frame %llu key %u\n", (unsigned long long)PlatformFrameCount(), (unsigned)wParam); break;
    case WM_CHAR: printf("frame %llu char %u\n", (unsigned long long)PlatformFrameCount(), (unsigned)wParam); break;
    case WM_COMMAND: printf("frame %llu command %u\n", (unsigned long long)PlatformFrameCount(), LOWORD(wParam)); break;
    case WM_LBUTTONDOWN:
        printf("frame %llu click %d %d\n", (unsigned long long)PlatformFrameCount(), GET_X_LPARAM(lParam),
               GET_Y_LPARAM(lParam));
        break;
    case WM_DESTROY: PostQuitMessage(5); return 0;
    default: break;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}
}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show)
{
    WNDCLASSA wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = instance;
    wc.lpszClassName = "probe";
    RegisterClassA(&wc);
    HWND hwnd = CreateWindowExA(0, "probe", "probe", WS_POPUP, 0, 0, 64, 48, nullptr, nullptr, instance, nullptr);
    if (!hwnd) return 1;
    ShowWindow(hwnd, show);
    PlatformSetBackBufferSize(hwnd, 64, 48);
    PlatformSetFrameReader([](int& w, int& h, std::vector<uint8_t>& rgb) {
        w = 4;
        h = 2;
        rgb.assign(w * h * 3, static_cast<uint8_t>(PlatformFrameCount()));
        return true;
    });
    HACCEL accel = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(113));
    MSG msg;
    for (;;) {
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) break;
            if (TranslateAcceleratorA(hwnd, accel, &msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        } else {
            PlatformFramePresented();
            if (PlatformFrameCount() > 1000) return 9;  // the script never ended the run
        }
    }
    printf("exit %llu\n", (unsigned long long)PlatformFrameCount());
    fflush(stdout);
    return static_cast<int>(msg.wParam) == 5 ? 0 : 8;
}
