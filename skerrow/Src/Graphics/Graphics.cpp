#include "skerrow/Src/Graphics/Graphics.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/dinput/dinput.h"
#include "platform/win32/win32.h"
#include "skerrow/Src/Bitmap.h"
#include "skerrow/Src/FileSystem.h"
#include "skerrow/Src/Log.h"
#include "skerrow/Src/Tables.h"

DisplayState g_display;
int g_clipScreenWidth = 640;
int g_clipScreenHeight = 480;

namespace {

const char kSourcePath[] = "Src\\Graphics\\Graphics.cpp";

template <class T>
void ReleaseObject(T*& object)
{
    if (object) object->Release();
    object = nullptr;
}

HRESULT CALLBACK AcceptTextureFormat(LPDDPIXELFORMAT, LPVOID) { return D3DENUMRET_OK; }

// The window's client area in screen coordinates: where the windowed present goes.
void TakeClientRect(HWND window, RECT* out)
{
    RECT client = {0, 0, 0, 0};
    if (!window || !GetClientRect(window, &client)) {
        *out = {0, 0, 0, 0};
        return;
    }
    POINT topLeft = {client.left, client.top}, bottomRight = {client.right, client.bottom};
    ClientToScreen(window, &topLeft);
    ClientToScreen(window, &bottomRight);
    *out = {topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
}

DDPIXELFORMAT Format16(bool is555)
{
    DDPIXELFORMAT f{};
    f.dwSize = sizeof f;
    f.dwFlags = DDPF_RGB;
    f.dwRGBBitCount = 16;
    f.dwRBitMask = is555 ? 0x7C00 : 0xF800;
    f.dwGBitMask = is555 ? 0x03E0 : 0x07E0;
    f.dwBBitMask = 0x001F;
    return f;
}

// Every Init failure ends here: nothing half-built may survive for DXFlip or the activation path.
int FailInit()
{
    Graphics::Shutdown();
    return 0;
}

}  // namespace

int GetDirectXVersion(int32_t* version, int32_t* platform)
{
    int32_t v = 0;
    int32_t p = 0;
    OSVERSIONINFOA os{};
    os.dwOSVersionInfoSize = sizeof os;
    if (!GetVersionExA(&os)) {
        if (version) *version = 0;
        if (platform) *platform = 0;
        return 0;
    }
    if (os.dwPlatformId == VER_PLATFORM_WIN32_NT) {
        p = 2;
        if (os.dwMajorVersion <= 4) {
            // Before version 5 the family had no DirectDraw worth probing: DirectInput decides.
            if (os.dwMajorVersion == 4) {
                v = 0x200;
                LPDIRECTINPUT7A input = nullptr;
                if (FAILED(DirectInputCreateEx(nullptr, DIRECTINPUT_VERSION, IID_IDirectInput7A,
                                               reinterpret_cast<LPVOID*>(&input), nullptr))) {
                    OutputDebugStringA("Couldn't GetProcAddress DInputCreate\r\n");
                } else {
                    input->Release();
                    v = 0x300;
                }
            }
            if (version) *version = v;
            if (platform) *platform = p;
            return 1;
        }
    } else {
        p = 1;
    }
    LPDIRECTDRAW ddraw = nullptr;
    if (FAILED(DirectDrawCreate(nullptr, &ddraw, nullptr))) {
        OutputDebugStringA("Couldn't create DDraw\r\n");
        if (version) *version = 0;
        if (platform) *platform = 0;
        return 0;
    }
    v = 0x100;
    IUnknown* dd2 = nullptr;
    if (FAILED(ddraw->QueryInterface(IID_IDirectDraw2, reinterpret_cast<void**>(&dd2)))) {
        OutputDebugStringA("Couldn't QI DDraw2\r\n");
    } else {
        dd2->Release();
        v = 0x200;
        LPDIRECTINPUT7A input = nullptr;
        if (FAILED(DirectInputCreateEx(nullptr, DIRECTINPUT_VERSION, IID_IDirectInput7A, reinterpret_cast<LPVOID*>(&input), nullptr))) {
            OutputDebugStringA("Couldn't GetProcAddress DInputCreate\r\n");
        } else {
            input->Release();
            v = 0x300;
            LPDIRECTDRAWSURFACE7 surface = nullptr;
            DDSURFACEDESC2 desc{};
            desc.dwSize = sizeof desc;
            desc.dwFlags = DDSD_CAPS;
            desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
            if (FAILED(ddraw->SetCooperativeLevel(nullptr, DDSCL_NORMAL))) {
                OutputDebugStringA("Couldn't Set coop level\r\n");
                v = 0;
            } else if (FAILED(ddraw->CreateSurface(&desc, &surface, nullptr))) {
                OutputDebugStringA("Couldn't CreateSurface\r\n");
                v = 0;
            } else {
                IUnknown* s = nullptr;
                if (SUCCEEDED(surface->QueryInterface(IID_IDirectDrawSurface3, reinterpret_cast<void**>(&s)))) {
                    s->Release();
                    v = 0x500;
                    if (SUCCEEDED(surface->QueryInterface(IID_IDirectDrawSurface4, reinterpret_cast<void**>(&s)))) {
                        s->Release();
                        // This game never uses the music interfaces that came with DirectX 6.1;
                        // the surface interfaces of that release stand for them.
                        v = 0x601;
                        LPDIRECTDRAW7 dd7 = nullptr;
                        if (SUCCEEDED(DirectDrawCreateEx(nullptr, reinterpret_cast<LPVOID*>(&dd7), IID_IDirectDraw7, nullptr))) {
                            dd7->Release();
                            v = 0x700;
                        }
                    }
                }
                surface->Release();
            }
        }
    }
    ddraw->Release();
    if (version) *version = v;
    if (platform) *platform = p;
    return 1;
}

int HasMmx()
{
#if defined(__x86_64__) || defined(__i386__)
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d)) return 0;
    return (d >> 23) & 1;
#else
    return 0;
#endif
}

void BuildColorChannelTable(int channel)
{
    int32_t* table = channel == 0 ? g_display.redTable : channel == 1 ? g_display.greenTable : g_display.blueTable;
    for (int i = 0; i < 256; ++i) {
        if (channel == 0)
            table[i] = g_display.is555 ? (i / 8) << 10 : (i / 8) << 11;
        else if (channel == 1)
            table[i] = g_display.is555 ? (i / 8) << 5 : (i / 4) << 5;
        else
            table[i] = i / 8;
    }
}

int Graphics::Init(int width, int height, int fullScreen)
{
    // A second Init without Shutdown would leak the old display; start from nothing.
    if (g_display.ddraw) Shutdown();
    g_display.window = GetForegroundWindow();
    g_display.width = width;
    g_display.height = height;
    g_display.depth = 16;
    g_display.fullScreen = fullScreen;
    LogMessage("Graphics::Init( %d,%d,%d )\n", width, height, 16);
    LogMessage("Fullscreen = %d\n", fullScreen);
    TakeClientRect(g_display.window, &g_display.windowRect);

    HRESULT hr = DirectDrawCreateEx(nullptr, reinterpret_cast<LPVOID*>(&g_display.ddraw), IID_IDirectDraw7, nullptr);
    if (FAILED(hr)) {
        LogMessage("Error: DirectDrawCreateEx-> %s\n", GetDDErrorName(hr));
        return FailInit();
    }
    hr = g_display.ddraw->SetCooperativeLevel(g_display.window,
                                              fullScreen ? DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN : DDSCL_NORMAL);
    if (FAILED(hr)) {
        LogMessage("Error: SetCooperativeLevel-> %s\n", GetDDErrorName(hr));
        return FailInit();
    }
    if (fullScreen) {
        hr = g_display.ddraw->SetDisplayMode(static_cast<DWORD>(width), static_cast<DWORD>(height), 16, 0, 0);
        if (FAILED(hr)) LogMessage("DX Error %s at %s->, %d\n", GetDDErrorName(hr), kSourcePath, __LINE__);
    }
    DDSURFACEDESC2 mode{};
    mode.dwSize = sizeof mode;
    hr = g_display.ddraw->GetDisplayMode(&mode);
    bool mode16 = SUCCEEDED(hr) && mode.ddpfPixelFormat.dwRGBBitCount == 16 &&
                  mode.dwWidth == static_cast<DWORD>(width) && mode.dwHeight == static_cast<DWORD>(height);
    if (SUCCEEDED(hr) && mode.ddpfPixelFormat.dwRGBBitCount == 16) {
        g_display.pixelFormat = mode.ddpfPixelFormat;
    } else {
        // A desktop of another depth: the game's surfaces stay 16-bit 565 and the present
        // converts, instead of 16-bit rows landing in 32-bit surfaces.
        g_display.pixelFormat = Format16(false);
    }
    g_display.is555 = g_display.pixelFormat.dwGBitMask != 0x07E0;
    g_pixelFormat555 = g_display.is555;
    for (int channel = 0; channel < 3; ++channel) BuildColorChannelTable(channel);
    // Flipping needs the mode the game asked for; otherwise the window path presents by blit.
    g_display.flipChain = fullScreen && mode16;
    if (fullScreen && !mode16) LogMessage("Display mode is not %dx%dx16: presenting by blit\n", width, height);

    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    if (g_display.flipChain) {
        desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
        desc.dwBackBufferCount = 2;
        desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_3DDEVICE | DDSCAPS_VIDEOMEMORY;
    } else {
        desc.dwFlags = DDSD_CAPS;
        desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_3DDEVICE | DDSCAPS_VIDEOMEMORY;
    }
    hr = g_display.ddraw->CreateSurface(&desc, &g_display.primary, nullptr);
    if (FAILED(hr)) {
        LogMessage("Error: CreatePrimarySurface-> %s\n", GetDDErrorName(hr));
        return FailInit();
    }
    if (g_display.flipChain) {
        DDSCAPS2 caps{};
        caps.dwCaps = DDSCAPS_BACKBUFFER;
        hr = g_display.primary->GetAttachedSurface(&caps, &g_display.backBuffer);
        if (FAILED(hr)) {
            LogMessage("Error: GetAttachedSurface->%s\n", GetDDErrorName(hr));
            return FailInit();
        }
    } else {
        LPDIRECTDRAWCLIPPER clipper = nullptr;
        hr = g_display.ddraw->CreateClipper(0, &clipper, nullptr);
        if (FAILED(hr)) {
            LogMessage("Error: DXCreateClipper-> %s\n", GetDDErrorName(hr));
            return FailInit();
        }
        clipper->SetHWnd(0, g_display.window);
        g_display.primary->SetClipper(clipper);
        clipper->Release();
        DDSURFACEDESC2 back{};
        back.dwSize = sizeof back;
        back.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
        back.dwWidth = static_cast<DWORD>(width);
        back.dwHeight = static_cast<DWORD>(height);
        back.ddpfPixelFormat = g_display.pixelFormat;
        back.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE;
        hr = g_display.ddraw->CreateSurface(&back, &g_display.backBuffer, nullptr);
        if (FAILED(hr)) {
            LogMessage("Error: Create offscreen surface %s\n", GetDDErrorName(hr));
            return FailInit();
        }
    }
    g_display.clipRect = {0, 0, width, height};
    {
        DDSURFACEDESC2 locked{};
        locked.dwSize = sizeof locked;
        hr = g_display.backBuffer->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr);
        if (FAILED(hr)) {
            LogMessage("Error: Lock surface (define lPitch) %s\n", GetDDErrorName(hr));
            return FailInit();
        }
        g_display.backBufferPitch = locked.lPitch / 2;
        g_display.backBuffer->Unlock(nullptr);
    }
    hr = g_display.ddraw->QueryInterface(IID_IDirect3D7, reinterpret_cast<void**>(&g_display.d3d));
    if (FAILED(hr)) {
        LogMessage("Error: QueryInterface for IDirect3D failed-> %s\n", GetDDErrorName(hr));
        return FailInit();
    }
    hr = g_display.d3d->CreateDevice(IID_IDirect3DHALDevice, g_display.backBuffer, &g_display.d3dDevice);
    if (FAILED(hr)) {
        LogMessage("Error: CreateDevice for IDirect3DDevice3 failed -> %s\n", GetDDErrorName(hr));
        return FailInit();
    }
    D3DDEVICEDESC7 caps{};
    g_display.d3dDevice->GetCaps(&caps);
    LPDIRECT3DDEVICE7 dev = g_display.d3dDevice;
    dev->SetRenderState(D3DRENDERSTATE_ZENABLE, 0);
    dev->SetRenderState(D3DRENDERSTATE_DITHERENABLE, 1);
    dev->SetRenderState(D3DRENDERSTATE_EDGEANTIALIAS, 0);
    dev->SetRenderState(D3DRENDERSTATE_ALPHATESTENABLE, 1);
    dev->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 1);
    dev->SetRenderState(D3DRENDERSTATE_SPECULARENABLE, 0);
    dev->SetRenderState(D3DRENDERSTATE_LIGHTING, 0);
    dev->SetRenderState(D3DRENDERSTATE_AMBIENT, 0);
    dev->SetRenderState(D3DRENDERSTATE_SHADEMODE, D3DSHADE_GOURAUD);
    for (DWORD stage = 0; stage < 8; ++stage) {
        dev->SetTextureStageState(stage, D3DTSS_MAGFILTER, D3DTFG_LINEAR);
        dev->SetTextureStageState(stage, D3DTSS_MINFILTER, D3DTFN_LINEAR);
        dev->SetTextureStageState(stage, D3DTSS_ADDRESSU, D3DTADDRESS_MIRROR);
        dev->SetTextureStageState(stage, D3DTSS_ADDRESSV, D3DTADDRESS_MIRROR);
    }
    dev->EnumTextureFormats(AcceptTextureFormat, nullptr);
    LogVideoMemory(1);
    return 1;
}

void Graphics::Shutdown()
{
    ReleaseObject(g_display.d3dDevice);
    ReleaseObject(g_display.d3d);
    if (g_display.fullScreen && g_display.ddraw) {
        HRESULT hr = g_display.ddraw->RestoreDisplayMode();
        if (FAILED(hr)) LogMessage("DX Error %s at %s->, %d\n", GetDDErrorName(hr), kSourcePath, __LINE__);
    }
    ReleaseObject(g_display.backBuffer);
    ReleaseObject(g_display.primary);
    ReleaseObject(g_display.ddraw);
    g_display.flipChain = 0;
}

void LogVideoMemory(int reset)
{
    if (!g_display.ddraw) return;
    DDSCAPS2 caps{};
    caps.dwCaps = DDSCAPS_VIDEOMEMORY | DDSCAPS_OFFSCREENPLAIN;
    DWORD total = 0, free = 0;
    if (FAILED(g_display.ddraw->GetAvailableVidMem(&caps, &total, &free))) return;
    if (reset || !g_display.hasVideoMemoryReference) {
        g_display.lastFreeVideoMemory = static_cast<int32_t>(free);
        g_display.hasVideoMemoryReference = 1;
    }
    LogMessage("Video memory-> Free:%d Used:%d Diff:%d\n", static_cast<int>(free), static_cast<int>(total - free),
               static_cast<int>(g_display.lastFreeVideoMemory - static_cast<int32_t>(free)));
    g_display.lastFreeVideoMemory = static_cast<int32_t>(free);
}

int DXCreateSurface(int width, int height, LPDIRECTDRAWSURFACE7* out, DWORD caps)
{
    if (!out) return 0;
    *out = nullptr;
    if (!g_display.ddraw) {
        LogMessage("Error: DXCreateSurface-> %s\n", GetDDErrorName(DDERR_NOTINITIALIZED));
        return 0;
    }
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    // The format is given explicitly: the display's own may not be 16-bit.
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    desc.dwWidth = static_cast<DWORD>(width);
    desc.dwHeight = static_cast<DWORD>(height);
    desc.ddpfPixelFormat = g_display.pixelFormat;
    desc.ddsCaps.dwCaps = caps;
    HRESULT hr = g_display.ddraw->CreateSurface(&desc, out, nullptr);
    if (FAILED(hr)) {
        LogMessage("Error: DXCreateSurface-> %s\n", GetDDErrorName(hr));
        *out = nullptr;
        return 0;
    }
    DDSCAPS2 got{};
    (*out)->GetCaps(&got);
    int bytes = width * height * 2;
    if (got.dwCaps & DDSCAPS_SYSTEMMEMORY)
        LogMessage("Surface has been created (%dx%dx16bit) == %d bytes [system]\n", width, height, bytes);
    else
        LogMessage("Surface has been created (%dx%dx16bit) == %d bytes [%s]\n", width, height, bytes,
                   (got.dwCaps & DDSCAPS_NONLOCALVIDMEM) ? "agp" : "vram");
    LogVideoMemory(0);
    return 1;
}

int LoadSurfaceFromFile(const char* path, LPDIRECTDRAWSURFACE7* out, int inSystemMemory)
{
    if (!out) return 0;
    *out = nullptr;
    Bitmap image;
    if (!image.Load(path)) {
        LogMessage("Can't load file '%s'\n", path ? path : "(null)");
        return 0;
    }
    if (image.width & 1) LogMessage("Warning dwSizeX even\n");
    Bitmap converted;
    if (!converted.Create(image.width, image.height, 16) || !converted.ResampleFrom(image)) {
        LogMessage("Can't load file '%s'\n", path);
        return 0;
    }
    LPDIRECTDRAWSURFACE7 surface = nullptr;
    DWORD caps = DDSCAPS_OFFSCREENPLAIN | (inSystemMemory ? DDSCAPS_SYSTEMMEMORY : 0);
    if (!DXCreateSurface(image.width, image.height, &surface, caps)) return 0;
    uint16_t* pixels = nullptr;
    int pitch = 0;
    if (!LockSurface(surface, &pixels, &pitch)) {
        surface->Release();
        return 0;
    }
    for (int y = 0; y < image.height; ++y)
        std::memcpy(pixels + static_cast<size_t>(y) * pitch, converted.pixels + static_cast<size_t>(y) * image.width * 2,
                    static_cast<size_t>(image.width) * 2);
    UnlockSurface(surface);
    *out = surface;
    return 1;
}

int LockSurface(LPDIRECTDRAWSURFACE7 surface, uint16_t** pixels, int* pitchPixels)
{
    if (!surface || !pixels || !pitchPixels) return 0;
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    if (FAILED(surface->Lock(nullptr, &desc, DDLOCK_WAIT | DDLOCK_NOSYSLOCK, nullptr))) return 0;
    *pixels = static_cast<uint16_t*>(desc.lpSurface);
    *pitchPixels = desc.lPitch / 2;
    if (surface == g_display.backBuffer) g_display.backBufferPitch = *pitchPixels;
    return 1;
}

int UnlockSurface(LPDIRECTDRAWSURFACE7 surface)
{
    if (surface) surface->Unlock(nullptr);
    return 1;
}

void DXFlip(int waitForVerticalBlank)
{
    if (!g_display.primary || !g_display.backBuffer) return;
    if (g_display.flipChain) {
        while (g_display.primary->GetFlipStatus(DDGFS_ISFLIPDONE) == DDERR_WASSTILLDRAWING) {
        }
        HRESULT hr = g_display.primary->Flip(nullptr, DDFLIP_WAIT | (waitForVerticalBlank ? 0 : DDFLIP_NOVSYNC));
        if (FAILED(hr) && hr != DDERR_SURFACELOST) LogMessage("Error: DXFlip (fullscreen) %s\n", GetDDErrorName(hr));
        return;
    }
    if (waitForVerticalBlank && g_display.ddraw) g_display.ddraw->WaitForVerticalBlank(DDWAITVB_BLOCKEND, nullptr);
    // The window may have moved since Init: present where it is now.
    TakeClientRect(g_display.window, &g_display.windowRect);
    RECT src = {0, 0, g_display.width, g_display.height};
    HRESULT hr = g_display.primary->Blt(&g_display.windowRect, g_display.backBuffer, &src, DDBLT_WAIT, nullptr);
    if (FAILED(hr) && hr != DDERR_SURFACELOST) LogMessage("Error: DXFlip (window blitting) %s\n", GetDDErrorName(hr));
}

void SetColorKey(LPDIRECTDRAWSURFACE7 surface, uint16_t pixel)
{
    if (!surface) return;
    DDCOLORKEY key = {pixel, pixel};
    surface->SetColorKey(DDCKEY_SRCBLT, &key);
}

int BlitToBackBuffer(int x, int y, LPDIRECTDRAWSURFACE7 source, RECT* sourceRect, DWORD flags)
{
    if (!g_display.backBuffer || !source) return 0;
    return SUCCEEDED(g_display.backBuffer->BltFast(static_cast<DWORD>(x), static_cast<DWORD>(y), source, sourceRect, flags)) ? 1 : 0;
}

int BlitToSurface(int x, int y, LPDIRECTDRAWSURFACE7 source, RECT* sourceRect, LPDIRECTDRAWSURFACE7 dest)
{
    if (!dest || !source) return 0;
    return SUCCEEDED(dest->BltFast(static_cast<DWORD>(x), static_cast<DWORD>(y), source, sourceRect, 0)) ? 1 : 0;
}

void ClipToScreen(int* x, int* y, RECT* src)
{
    const int w = g_clipScreenWidth, h = g_clipScreenHeight;
    if (*x > w) {
        *x = w;
        *src = {0, 0, 0, 0};
    }
    if (*y > h) {
        *y = h;
        *src = {0, 0, 0, 0};
    }
    if (*x < 0) {
        src->left -= *x;
        *x = 0;
    }
    if (*x + (src->right - src->left) > w) src->right -= *x + (src->right - src->left) - w;
    if (*y < 0) {
        src->top -= *y;
        *y = 0;
    }
    if (*y + (src->bottom - src->top) > h) src->bottom -= *y + (src->bottom - src->top) - h;
    // A draw wholly off the left or top edge would otherwise leave left > right: make it empty.
    if (src->left > src->right) src->left = src->right;
    if (src->top > src->bottom) src->top = src->bottom;
}

void DrawLinePixels(uint16_t* pixels, int pitch, int x0, int y0, int x1, int y1, uint16_t color)
{
    if (!pixels) return;
    if (y1 < y0) {
        std::swap(x0, x1);
        std::swap(y0, y1);
    }
    const RECT& clip = g_display.clipRect;
    auto plot = [&](int x, int y) {
        if (x >= clip.left && x < clip.right && y >= clip.top && y < clip.bottom)
            pixels[static_cast<size_t>(y) * pitch + x] = color;
    };
    int dx = x1 - x0, step = 1;
    if (dx < 0) {
        dx = -dx;
        step = -1;
    }
    const int dy = y1 - y0;
    int x = x0, y = y0;
    if (dx < dy) {
        int error = dy / 2;
        for (int i = 0; i <= dy; ++i) {
            plot(x, y);
            ++y;
            error -= dx;
            if (error < 0) {
                error += dy;
                x += step;
            }
        }
    } else {
        int error = dx / 2;
        for (int i = 0; i <= dx; ++i) {
            plot(x, y);
            x += step;
            if (error - dy >= 0) {
                error -= dy;
            } else {
                error = error - dy + dx;
                ++y;
            }
        }
    }
}

std::vector<unsigned char> EncodePcx(const uint16_t* pixels, int width, int height, int pitch)
{
    std::vector<unsigned char> out(128, 0);
    out[0] = 0x0A;
    out[1] = 5;
    out[2] = 1;
    out[3] = 8;
    out[8] = static_cast<unsigned char>((width - 1) & 0xFF);
    out[9] = static_cast<unsigned char>((width - 1) >> 8);
    out[10] = static_cast<unsigned char>((height - 1) & 0xFF);
    out[11] = static_cast<unsigned char>((height - 1) >> 8);
    out[65] = 3;
    out[66] = static_cast<unsigned char>(width & 0xFF);
    out[67] = static_cast<unsigned char>(width >> 8);
    const bool is555 = g_display.is555;
    std::vector<unsigned char> line(static_cast<size_t>(width));
    for (int y = 0; y < height; ++y) {
        const uint16_t* row = pixels + static_cast<size_t>(y) * pitch;
        for (int plane = 0; plane < 3; ++plane) {
            for (int x = 0; x < width; ++x) {
                uint16_t p = row[x];
                int c;
                if (plane == 0)
                    c = is555 ? (p >> 10) & 31 : (p >> 11) & 31;
                else if (plane == 1)
                    c = is555 ? (p >> 5) & 31 : (p >> 6) & 31;
                else
                    c = p & 31;
                line[x] = static_cast<unsigned char>(c * 8 + 7);
            }
            int x = 0;
            while (x < width) {
                int n = 1;
                while (x + n < width && n < 63 && line[x + n] == line[x]) ++n;
                out.push_back(static_cast<unsigned char>(0xC0 + n));
                out.push_back(line[x]);
                x += n;
            }
        }
    }
    return out;
}

int WritePcx(const uint16_t* pixels, int width, int height, int pitch, const char* name)
{
    const std::vector<unsigned char> bytes = EncodePcx(pixels, width, height, pitch);
    return WriteNewGameFile(name, bytes.data(), bytes.size());
}

void SaveScreenshot()
{
    if (!g_display.ddraw || !g_display.backBuffer) return;
    LPDIRECTDRAWSURFACE7 copy = nullptr;
    if (!DXCreateSurface(g_display.width, g_display.height, &copy, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY)) return;
    // After a flip the frame just drawn is the visible one; the back buffer holds an older frame.
    LPDIRECTDRAWSURFACE7 shown = g_display.flipChain ? g_display.primary : g_display.backBuffer;
    RECT all = {0, 0, g_display.width, g_display.height};
    std::vector<unsigned char> bytes;
    if (SUCCEEDED(copy->BltFast(0, 0, shown, &all, DDBLTFAST_WAIT))) {
        uint16_t* pixels = nullptr;
        int pitch = 0;
        if (LockSurface(copy, &pixels, &pitch)) {
            bytes = EncodePcx(pixels, g_display.width, g_display.height, pitch);
            UnlockSurface(copy);
        }
    }
    copy->Release();
    if (bytes.empty()) return;
    // The pictures of earlier runs (and anything else of those names) stay: the next number
    // that is free is taken, and taken only by a whole picture.
    for (int tries = 0; tries < 10000; ++tries) {
        char name[32];
        std::snprintf(name, sizeof name, "screen%02d.pcx", static_cast<int>(g_display.screenshotCounter++));
        if (WriteNewGameFile(name, bytes.data(), bytes.size())) {
            LogMessage("Screenshot saved to %s\n", name);
            return;
        }
        if (errno != EEXIST) {
            LogMessage("Screenshot not saved: %s\n", std::strerror(errno));
            --g_display.screenshotCounter;
            return;
        }
    }
    LogMessage("Screenshot not saved: no free screenNN.pcx name\n");
}

const char* GetDDErrorName(HRESULT hr)
{
    switch (hr) {
    case DD_OK: return "";
    case DDERR_UNSUPPORTED: return "DDERR_UNSUPPORTED";
    case DDERR_GENERIC: return "DDERR_GENERIC";
    case E_HANDLE: return "E_HANDLE";
    case DDERR_OUTOFMEMORY: return "DDERR_OUTOFMEMORY";
    case DIERR_NOTINITIALIZED: return "DIERR_NOTINITIALIZED";
    case DDERR_INVALIDPARAMS: return "DDERR_INVALIDPARAMS";
    case DDERR_EXCEPTION: return "DDERR_EXCEPTION";
    case DDERR_INCOMPATIBLEPRIMARY: return "DDERR_INCOMPATIBLEPRIMARY";
    case DDERR_INVALIDCAPS: return "DDERR_INVALIDCAPS";
    case DDERR_INVALIDOBJECT: return "DDERR_INVALIDOBJECT";
    case DDERR_INVALIDPIXELFORMAT: return "DDERR_INVALIDPIXELFORMAT";
    case DDERR_INVALIDRECT: return "DDERR_INVALIDRECT";
    case DDERR_NOALPHAHW: return "DDERR_NOALPHAHW";
    case DDERR_NOCOOPERATIVELEVELSET: return "DDERR_NOCOOPERATIVELEVELSET";
    case DDERR_NOEXCLUSIVEMODE: return "DDERR_NOEXCLUSIVEMODE";
    case DDERR_NOFLIPHW: return "DDERR_NOFLIPHW";
    case DDERR_NOOVERLAYHW: return "DDERR_NOOVERLAYHW";
    case DDERR_NOZBUFFERHW: return "DDERR_NOZBUFFERHW";
    case DDERR_OUTOFVIDEOMEMORY: return "DDERR_OUTOFVIDEOMEMORY";
    case DDERR_SURFACEBUSY: return "DDERR_SURFACEBUSY";
    case DDERR_SURFACELOST: return "DDERR_SURFACELOST";
    case DDERR_WASSTILLDRAWING: return "DDERR_WASSTILLDRAWING";
    case DDERR_INVALIDDIRECTDRAWGUID: return "DDERR_INVALIDDIRECTDRAWGUID";
    case DDERR_DIRECTDRAWALREADYCREATED: return "DDERR_DIRECTDRAWALREADYCREATED";
    case DDERR_NODIRECTDRAWHW: return "DDERR_NODIRECTDRAWHW";
    case DDERR_PRIMARYSURFACEALREADYEXISTS: return "DDERR_PRIMARYSURFACEALREADYEXISTS";
    case DDERR_NOEMULATION: return "DDERR_NOEMULATION";
    case DDERR_NOBLTHW: return "DDERR_NOBLTHW";
    case DDERR_UNSUPPORTEDMODE: return "DDERR_UNSUPPORTEDMODE";
    case DDERR_NOMIPMAPHW: return "DDERR_NOMIPMAPHW";
    default: return "Not defined error";
    }
}

uint16_t MakePixelColor(int r, int g, int b)
{
    return static_cast<uint16_t>(g_display.redTable[r & 255] | g_display.greenTable[g & 255] | g_display.blueTable[b & 255]);
}

uint16_t MakePixelColorRgb(uint32_t rgb)
{
    return MakePixelColor(static_cast<int>(rgb >> 16 & 255), static_cast<int>(rgb >> 8 & 255), static_cast<int>(rgb & 255));
}

uint16_t PackPixel(int r, int g, int b)
{
    return static_cast<uint16_t>(r << PixelFormatShifts.red | g << PixelFormatShifts.green | b);
}

uint16_t PackPixelRgb(uint32_t rgb)
{
    return PackPixel(static_cast<int>(rgb >> 19 & 31), static_cast<int>(rgb >> 11 & 31), static_cast<int>(rgb >> 3 & 31));
}
