#include "platform/tests/support/headless_device.h"

#include "platform/d3d8/d3d8_internal.h"

namespace {

LRESULT CALLBACK TestWindowProc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcA(h, m, w, l); }

constexpr const char* kClassName = "Headless Test Window";

}  // namespace

HWND CreateTestWindow(const char* title, DWORD style)
{
    static bool registered = false;
    if (!registered) {
        WNDCLASSA wc{};
        wc.lpfnWndProc = TestWindowProc;
        wc.lpszClassName = kClassName;
        if (!RegisterClassA(&wc)) return nullptr;
        registered = true;
    }
    RECT rc{0, 0, 800, 600};
    AdjustWindowRectEx(&rc, style, FALSE, 0);
    return CreateWindowExA(0, kClassName, title, style | WS_VISIBLE, 0, 0, rc.right - rc.left, rc.bottom - rc.top,
                           nullptr, nullptr, nullptr, nullptr);
}

D3DPRESENT_PARAMETERS WindowedParams(HWND window, bool depth, D3DFORMAT depthFormat)
{
    D3DPRESENT_PARAMETERS p{};
    p.Windowed = TRUE;
    p.BackBufferFormat = D3DFMT_X8R8G8B8;
    p.BackBufferWidth = 800;
    p.BackBufferHeight = 600;
    p.BackBufferCount = 1;
    p.SwapEffect = D3DSWAPEFFECT_DISCARD;
    p.hDeviceWindow = window;
    p.EnableAutoDepthStencil = depth ? TRUE : FALSE;
    p.AutoDepthStencilFormat = depthFormat;
    return p;
}

bool ReadFrame(IDirect3DDevice8* device, int& width, int& height, std::vector<uint8_t>& rgb)
{
    auto* impl = dynamic_cast<Direct3DDevice8Impl*>(device);
    if (impl && impl->ReadBackBuffer(width, height, rgb)) return true;
    rgb.clear();
    return false;
}
