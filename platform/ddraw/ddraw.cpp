#include "platform/ddraw/ddraw.h"

#include <SDL.h>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/ddraw/d3d7.h"
#include "platform/ddraw/ddraw_testing.h"
#include "platform/win32/platform_internal.h"

const IID IID_IDirectDraw = {0x6C14DB80, 0xA733, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
const IID IID_IDirectDraw2 = {0xB3A6F3E0, 0x2B43, 0x11CF, {0xA2, 0xDE, 0x00, 0xAA, 0x00, 0xB9, 0x33, 0x56}};
const IID IID_IDirectDraw7 = {0x15E65EC0, 0x3B9C, 0x11D2, {0xB9, 0x2F, 0x00, 0x60, 0x97, 0x97, 0xEA, 0x5B}};
const IID IID_IDirectDrawSurface = {0x6C14DB81, 0xA733, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
const IID IID_IDirectDrawSurface3 = {0xDA044E00, 0x69B2, 0x11D0, {0xA1, 0xD5, 0x00, 0xAA, 0x00, 0xB8, 0xDF, 0xBB}};
const IID IID_IDirectDrawSurface4 = {0x0B2B8630, 0xAD35, 0x11D0, {0x8E, 0xA6, 0x00, 0x60, 0x97, 0x97, 0xEA, 0x5B}};
const IID IID_IDirectDrawSurface7 = {0x06675A80, 0x3B9B, 0x11D2, {0xB9, 0x2F, 0x00, 0x60, 0x97, 0x97, 0xEA, 0x5B}};
const IID IID_IDirect3D7 = {0xF5049E77, 0x4861, 0x11D2, {0xA4, 0x07, 0x00, 0xA0, 0xC9, 0x06, 0x29, 0xA8}};
const IID IID_IDirect3DHALDevice = {0x84E63DE0, 0x46AA, 0x11CF, {0x81, 0x6F, 0x00, 0x00, 0xC0, 0x20, 0x15, 0x6E}};

namespace {

const DWORD kVideoMemory = 64u * 1024 * 1024;

struct Settings {
    bool use555 = false;
    int desktopBpp = 32;
    std::map<std::string, HRESULT> failNext;
    bool envRead = false;
};

Settings& Config()
{
    static Settings s;
    if (!s.envRead) {
        s.envRead = true;
        const char* v = std::getenv("PLATFORM_DDRAW_555");
        if (v && v[0] == '1') s.use555 = true;
    }
    return s;
}

// Fails loudly when a test asked this operation to fail.
bool InjectedFailure(const char* operation, HRESULT& result)
{
    auto& m = Config().failNext;
    auto it = m.find(operation);
    if (it == m.end()) return false;
    result = it->second;
    m.erase(it);
    PlatformTrace("ddraw: %s fails as requested (0x%08X)\n", operation, static_cast<unsigned>(result));
    return true;
}

DDPIXELFORMAT MakeFormat(int bpp, bool use555)
{
    DDPIXELFORMAT f{};
    f.dwSize = sizeof f;
    f.dwFlags = DDPF_RGB;
    f.dwRGBBitCount = static_cast<DWORD>(bpp);
    if (bpp == 16) {
        if (use555) {
            f.dwRBitMask = 0x7C00;
            f.dwGBitMask = 0x03E0;
            f.dwBBitMask = 0x001F;
        } else {
            f.dwRBitMask = 0xF800;
            f.dwGBitMask = 0x07E0;
            f.dwBBitMask = 0x001F;
        }
    } else {
        f.dwRBitMask = 0x00FF0000;
        f.dwGBitMask = 0x0000FF00;
        f.dwBBitMask = 0x000000FF;
    }
    return f;
}

bool SameFormat(const DDPIXELFORMAT& a, const DDPIXELFORMAT& b)
{
    return a.dwRGBBitCount == b.dwRGBBitCount && a.dwRBitMask == b.dwRBitMask && a.dwGBitMask == b.dwGBitMask &&
           a.dwBBitMask == b.dwBBitMask;
}

// Any supported pixel to 0xRRGGBB, channels widened by repeating their top bits.
uint32_t ToRgb(const DDPIXELFORMAT& f, uint32_t p)
{
    if (f.dwRGBBitCount == 32) return p & 0xFFFFFF;
    uint32_t r, g, b = p & 31;
    if (f.dwGBitMask == 0x07E0) {
        r = p >> 11 & 31;
        g = p >> 5 & 63;
        g = g << 2 | g >> 4;
    } else {
        r = p >> 10 & 31;
        g = p >> 5 & 31;
        g = g << 3 | g >> 2;
    }
    r = r << 3 | r >> 2;
    b = b << 3 | b >> 2;
    return r << 16 | g << 8 | b;
}

struct Presented {
    std::mutex lock;
    int width = 0, height = 0;
    std::vector<uint32_t> rgb;
    uint64_t count = 0;
    bool readerSet = false;
} g_presented;

// 16-bit pixels to 0xRRGGBB by table: a present converts every pixel of the frame, 77 times a
// second for a game's whole session.
const uint32_t* RgbTable(const DDPIXELFORMAT& f)
{
    static std::vector<uint32_t> t565, t555;
    std::vector<uint32_t>& t = f.dwGBitMask == 0x07E0 ? t565 : t555;
    if (t.empty()) {
        t.resize(65536);
        for (uint32_t p = 0; p < 65536; ++p) t[p] = ToRgb(f, p);
    }
    return t.data();
}

// The texture a window's picture is uploaded to, kept with the SDL window (it goes with the
// window and its renderer) and made again when the picture's size changes.
const char kPictureTexture[] = "ddraw picture";

// The last picture shown in each SDL window (by window id), with where it went: a game that
// draws the same frame again (an idle menu, 77 times a second) is not scaled and shown again
// unless the window lost or moved its picture meanwhile.
struct Shown {
    std::vector<uint32_t> rgb;
    SDL_Rect dst{};
    int drawableW = 0, drawableH = 0;
    uint64_t damage = 0;
};
std::map<Uint32, Shown> g_shown;
std::atomic<uint64_t> g_windowShows{0};

// True when the frame in g_presented must be shown again in `window` at `dst`; remembers it.
bool PictureChanged(SDL_Window* window, SDL_Renderer* renderer, const SDL_Rect& dst)
{
    const Uint32 id = SDL_GetWindowID(window);
    if (!g_shown.count(id)) {
        for (auto it = g_shown.begin(); it != g_shown.end();)
            it = SDL_GetWindowFromID(it->first) ? std::next(it) : g_shown.erase(it);
    }
    Shown& last = g_shown[id];
    int dw = 0, dh = 0;
    SDL_GetRendererOutputSize(renderer, &dw, &dh);
    const uint64_t damage = PlatformPictureDamage();
    std::lock_guard<std::mutex> guard(g_presented.lock);
    const bool same = last.damage == damage && last.drawableW == dw && last.drawableH == dh && last.dst.x == dst.x &&
                      last.dst.y == dst.y && last.dst.w == dst.w && last.dst.h == dst.h && last.rgb == g_presented.rgb;
    if (same) return false;
    last.rgb = g_presented.rgb;
    last.dst = dst;
    last.drawableW = dw;
    last.drawableH = dh;
    last.damage = damage;
    ++g_windowShows;
    return true;
}

// Where a window's picture goes in it: the letterbox of PlatformPresentRect.
SDL_Rect PictureRect(HWND hwnd)
{
    const RECT r = PlatformPresentRect(hwnd);
    return SDL_Rect{r.left, r.top, r.right - r.left, r.bottom - r.top};
}

// The window's picture texture shown at `dst`, the rest of the window black.
void ShowTexture(SDL_Renderer* renderer, SDL_Texture* texture, const SDL_Rect& dst)
{
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
    SDL_RenderCopy(renderer, texture, nullptr, dst.w > 0 && dst.h > 0 ? &dst : nullptr);
    SDL_RenderPresent(renderer);
}

// Puts a window's last picture back where something uncovered it: a program draws nothing while
// it is in the background, and a window dragged across it must not leave copies of itself behind
// (the desktop keeps each window's picture, as a compositing one does).
bool ShowLastPictureOnExpose(const void* raw)
{
    const auto& e = *static_cast<const SDL_Event*>(raw);
    if (e.type != SDL_WINDOWEVENT || e.window.event != SDL_WINDOWEVENT_EXPOSED) return false;
    SDL_Window* window = SDL_GetWindowFromID(e.window.windowID);
    SDL_Renderer* renderer = window ? SDL_GetRenderer(window) : nullptr;
    auto* texture = window ? static_cast<SDL_Texture*>(SDL_GetWindowData(window, kPictureTexture)) : nullptr;
    HWND hwnd = PlatformWindowFromSdl(window);
    if (renderer && texture && hwnd) ShowTexture(renderer, texture, PictureRect(hwnd));
    return false;  // the window's own handling of the event goes on
}

SDL_Texture* PictureTexture(SDL_Window* window, SDL_Renderer* renderer, int w, int h)
{
    static const int exposures = PlatformAddEventHandler(ShowLastPictureOnExpose);
    (void)exposures;
    auto* texture = static_cast<SDL_Texture*>(SDL_GetWindowData(window, kPictureTexture));
    int tw = 0, th = 0;
    if (texture && SDL_QueryTexture(texture, nullptr, nullptr, &tw, &th) == 0 && tw == w && th == h) return texture;
    if (texture) SDL_DestroyTexture(texture);
    texture = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, w, h);
    SDL_SetWindowData(window, kPictureTexture, texture);
    return texture;
}

class DirectDraw;
class Surface;

class Clipper : public RefCounted<IDirectDrawClipper> {
public:
    HRESULT SetHWnd(DWORD, HWND hwnd) override
    {
        hwnd_ = hwnd;
        return DD_OK;
    }
    HRESULT GetHWnd(HWND* hwnd) override
    {
        if (!hwnd) return DDERR_INVALIDPARAMS;
        *hwnd = hwnd_;
        return DD_OK;
    }
    HWND hwnd_ = nullptr;
};

struct Memory {
    std::vector<uint8_t> bytes;
};

class Surface : public RefCounted<IDirectDrawSurface7> {
public:
    Surface(DirectDraw* owner, int w, int h, const DDPIXELFORMAT& format, DWORD caps);
    ~Surface() override;

    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        if (!out) return E_POINTER;
        if (iid == IID_IDirectDrawSurface7 || iid == IID_IDirectDrawSurface4 || iid == IID_IDirectDrawSurface3 ||
            iid == IID_IDirectDrawSurface) {
            AddRef();
            *out = static_cast<IDirectDrawSurface7*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }

    HRESULT Lock(LPRECT rect, LPDDSURFACEDESC2 desc, DWORD flags, HANDLE) override
    {
        if (!desc) return DDERR_INVALIDPARAMS;
        if (locked_) return DDERR_SURFACEBUSY;
        RECT r = {0, 0, width_, height_};
        if (rect) {
            if (!Inside(*rect)) return DDERR_INVALIDRECT;
            r = *rect;
        }
        FillDesc(desc);
        desc->lpSurface = Row(r.top) + r.left * BytesPerPixel();
        desc->dwFlags |= DDSD_LPSURFACE;
        locked_ = true;
        return DD_OK;
    }
    HRESULT Unlock(LPRECT) override
    {
        if (!locked_) return DDERR_NOTLOCKED;
        locked_ = false;
        return DD_OK;
    }
    HRESULT Blt(LPRECT destRect, IDirectDrawSurface7* source, LPRECT sourceRect, DWORD flags, LPDDBLTFX fx) override;
    HRESULT BltFast(DWORD x, DWORD y, IDirectDrawSurface7* source, LPRECT sourceRect, DWORD flags) override;
    HRESULT Flip(IDirectDrawSurface7* target, DWORD flags) override;
    HRESULT GetFlipStatus(DWORD) override { return DD_OK; }
    HRESULT GetAttachedSurface(LPDDSCAPS2 caps, IDirectDrawSurface7** out) override
    {
        if (!caps || !out) return DDERR_INVALIDPARAMS;
        *out = nullptr;
        if ((caps->dwCaps & DDSCAPS_BACKBUFFER) && !chain_.empty()) {
            chain_[0]->AddRef();
            *out = chain_[0];
            return DD_OK;
        }
        return DDERR_NOTFOUND;
    }
    HRESULT SetColorKey(DWORD flags, LPDDCOLORKEY key) override
    {
        if (!(flags & DDCKEY_SRCBLT)) {
            PlatformTrace("ddraw: only source colour keys are supported (flags 0x%X)\n", static_cast<unsigned>(flags));
            return DDERR_UNSUPPORTED;
        }
        if (!key) {
            hasKey_ = false;
            return DD_OK;
        }
        key_ = *key;
        hasKey_ = true;
        return DD_OK;
    }
    HRESULT GetColorKey(DWORD, LPDDCOLORKEY key) override
    {
        if (!key) return DDERR_INVALIDPARAMS;
        if (!hasKey_) return DDERR_NOCOLORKEY;
        *key = key_;
        return DD_OK;
    }
    HRESULT GetCaps(LPDDSCAPS2 caps) override
    {
        if (!caps) return DDERR_INVALIDPARAMS;
        *caps = {};
        caps->dwCaps = caps_;
        return DD_OK;
    }
    HRESULT GetSurfaceDesc(LPDDSURFACEDESC2 desc) override
    {
        if (!desc) return DDERR_INVALIDPARAMS;
        FillDesc(desc);
        return DD_OK;
    }
    HRESULT GetPixelFormat(LPDDPIXELFORMAT format) override
    {
        if (!format) return DDERR_INVALIDPARAMS;
        *format = format_;
        return DD_OK;
    }
    HRESULT SetClipper(IDirectDrawClipper* clipper) override
    {
        if (clipper) clipper->AddRef();
        if (clipper_) clipper_->Release();
        clipper_ = static_cast<Clipper*>(clipper);
        return DD_OK;
    }
    HRESULT IsLost() override { return DD_OK; }
    HRESULT Restore() override { return DD_OK; }

    int BytesPerPixel() const { return static_cast<int>(format_.dwRGBBitCount / 8); }
    uint8_t* Row(int y) { return memory_->bytes.data() + static_cast<size_t>(y) * pitch_; }
    bool Inside(const RECT& r) const
    {
        return r.left < r.right && r.top < r.bottom && r.left >= 0 && r.top >= 0 && r.right <= width_ &&
               r.bottom <= height_;
    }
    uint32_t Get(int x, int y)
    {
        uint8_t* p = Row(y) + x * BytesPerPixel();
        if (BytesPerPixel() == 2) {
            uint16_t v;
            std::memcpy(&v, p, 2);
            return v;
        }
        uint32_t v;
        std::memcpy(&v, p, 4);
        return v;
    }
    void Put(int x, int y, uint32_t v)
    {
        uint8_t* p = Row(y) + x * BytesPerPixel();
        if (BytesPerPixel() == 2) {
            uint16_t s = static_cast<uint16_t>(v);
            std::memcpy(p, &s, 2);
        } else {
            std::memcpy(p, &v, 4);
        }
    }
    void FillDesc(LPDDSURFACEDESC2 desc) const
    {
        std::memset(desc, 0, sizeof *desc);
        desc->dwSize = sizeof *desc;
        desc->dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT;
        desc->dwWidth = static_cast<DWORD>(width_);
        desc->dwHeight = static_cast<DWORD>(height_);
        desc->lPitch = pitch_;
        desc->ddpfPixelFormat = format_;
        desc->ddsCaps.dwCaps = caps_;
        if (hasKey_) {
            desc->dwFlags |= DDSD_CKSRCBLT;
            desc->ddckCKSrcBlt = key_;
        }
    }
    void Present();
    // Shows `region` of `from` in the window and counts the frame.
    static void PresentRegion(HWND hwnd, Surface* from, const RECT& region);

    DirectDraw* owner_;
    int width_, height_;
    LONG pitch_;
    DDPIXELFORMAT format_;
    DWORD caps_;
    std::shared_ptr<Memory> memory_;
    bool locked_ = false;
    bool hasKey_ = false;
    DDCOLORKEY key_{};
    Clipper* clipper_ = nullptr;
    std::vector<Surface*> chain_;  // the primary's back buffers, in flip order (refs held)
    bool isPrimary_ = false;
};

class Direct3DDevice : public RefCounted<IDirect3DDevice7> {
public:
    explicit Direct3DDevice(Surface* target) : target_(target) { target_->AddRef(); }
    ~Direct3DDevice() override { target_->Release(); }
    HRESULT GetCaps(D3DDEVICEDESC7* desc) override
    {
        if (!desc) return DDERR_INVALIDPARAMS;
        *desc = {};
        desc->dwMinTextureWidth = desc->dwMinTextureHeight = 1;
        desc->dwMaxTextureWidth = desc->dwMaxTextureHeight = 2048;
        desc->wMaxTextureBlendStages = desc->wMaxSimultaneousTextures = 8;
        return DD_OK;
    }
    HRESULT SetRenderState(DWORD state, DWORD value) override
    {
        renderStates_[state] = value;
        return DD_OK;
    }
    HRESULT GetRenderState(DWORD state, LPDWORD value) override
    {
        if (!value) return DDERR_INVALIDPARAMS;
        auto it = renderStates_.find(state);
        *value = it == renderStates_.end() ? 0 : it->second;
        return DD_OK;
    }
    HRESULT SetTextureStageState(DWORD stage, DWORD type, DWORD value) override
    {
        if (stage >= 8) return DDERR_INVALIDPARAMS;
        stageStates_[{stage, type}] = value;
        return DD_OK;
    }
    HRESULT GetTextureStageState(DWORD stage, DWORD type, LPDWORD value) override
    {
        if (!value || stage >= 8) return DDERR_INVALIDPARAMS;
        auto it = stageStates_.find({stage, type});
        *value = it == stageStates_.end() ? 0 : it->second;
        return DD_OK;
    }
    HRESULT EnumTextureFormats(LPD3DENUMPIXELFORMATSCALLBACK callback, LPVOID context) override
    {
        if (!callback) return DDERR_INVALIDPARAMS;
        DDPIXELFORMAT formats[] = {MakeFormat(16, false), MakeFormat(16, true), MakeFormat(32, false)};
        for (DDPIXELFORMAT& f : formats)
            if (callback(&f, context) == D3DENUMRET_CANCEL) break;
        return DD_OK;
    }

private:
    Surface* target_;
    std::map<DWORD, DWORD> renderStates_;
    std::map<std::pair<DWORD, DWORD>, DWORD> stageStates_;
};

class Direct3D : public RefCounted<IDirect3D7> {
public:
    HRESULT CreateDevice(REFCLSID type, LPDIRECTDRAWSURFACE7 surface, LPDIRECT3DDEVICE7* out) override
    {
        if (!out || !surface) return DDERR_INVALIDPARAMS;
        *out = nullptr;
        HRESULT injected;
        if (InjectedFailure("CreateDevice", injected)) return injected;
        if (type != IID_IDirect3DHALDevice) {
            PlatformTrace("ddraw: only the HAL device exists\n");
            return DDERR_INVALIDPARAMS;
        }
        Surface* s = static_cast<Surface*>(surface);
        if (!(s->caps_ & DDSCAPS_3DDEVICE)) return DDERR_INVALIDCAPS;
        *out = new Direct3DDevice(s);
        return DD_OK;
    }
};

class DirectDraw : public RefCounted<IDirectDraw7> {
public:
    DirectDraw()
    {
        int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
        desktopWidth_ = w > 0 ? w : 1024;
        desktopHeight_ = h > 0 ? h : 768;
        RestoreMode();
    }
    ~DirectDraw() override
    {
        if (fullscreen_ && window_) PlatformSetFullscreen(window_, false);
    }

    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (iid == IID_IDirectDraw7 || iid == IID_IDirectDraw2 || iid == IID_IDirectDraw) {
            AddRef();
            *out = static_cast<IDirectDraw7*>(this);
            return S_OK;
        }
        if (iid == IID_IDirect3D7) {
            *out = static_cast<IDirect3D7*>(new Direct3D);
            return S_OK;
        }
        return E_NOINTERFACE;
    }

    HRESULT SetCooperativeLevel(HWND hwnd, DWORD flags) override
    {
        bool exclusive = (flags & DDSCL_EXCLUSIVE) && (flags & DDSCL_FULLSCREEN);
        if (!exclusive && !(flags & DDSCL_NORMAL)) return DDERR_INVALIDPARAMS;
        if (hwnd && !PlatformSdlWindow(hwnd)) {
            PlatformTrace("ddraw: SetCooperativeLevel with an unknown window\n");
            return DDERR_INVALIDPARAMS;
        }
        if (exclusive && !hwnd) return DDERR_INVALIDPARAMS;
        if (fullscreen_ && window_ && (!exclusive || hwnd != window_)) PlatformSetFullscreen(window_, false);
        if (exclusive && !fullscreen_) {
            if (!PlatformSetFullscreen(hwnd, true)) return DDERR_NOEXCLUSIVEMODE;
        }
        fullscreen_ = exclusive;
        window_ = hwnd;
        cooperative_ = true;
        return DD_OK;
    }
    HRESULT SetDisplayMode(DWORD width, DWORD height, DWORD bpp, DWORD, DWORD) override
    {
        if (!cooperative_) return DDERR_NOCOOPERATIVELEVELSET;
        if (!fullscreen_) return DDERR_NOEXCLUSIVEMODE;
        HRESULT injected;
        if (InjectedFailure("SetDisplayMode", injected)) return injected;
        if ((bpp != 16 && bpp != 32) || width == 0 || height == 0 || width > 4096 || height > 4096)
            return DDERR_UNSUPPORTEDMODE;
        modeWidth_ = static_cast<int>(width);
        modeHeight_ = static_cast<int>(height);
        mode_ = MakeFormat(static_cast<int>(bpp), Config().use555);
        return DD_OK;
    }
    HRESULT RestoreDisplayMode() override
    {
        RestoreMode();
        return DD_OK;
    }
    HRESULT GetDisplayMode(LPDDSURFACEDESC2 desc) override
    {
        if (!desc) return DDERR_INVALIDPARAMS;
        std::memset(desc, 0, sizeof *desc);
        desc->dwSize = sizeof *desc;
        desc->dwFlags = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT | DDSD_PITCH;
        desc->dwWidth = static_cast<DWORD>(modeWidth_);
        desc->dwHeight = static_cast<DWORD>(modeHeight_);
        desc->lPitch = static_cast<LONG>(modeWidth_ * mode_.dwRGBBitCount / 8);
        desc->ddpfPixelFormat = mode_;
        return DD_OK;
    }
    HRESULT CreateSurface(LPDDSURFACEDESC2 desc, IDirectDrawSurface7** out, IUnknown* outer) override;
    HRESULT CreateClipper(DWORD, IDirectDrawClipper** out, IUnknown*) override
    {
        if (!out) return DDERR_INVALIDPARAMS;
        *out = nullptr;
        HRESULT injected;
        if (InjectedFailure("CreateClipper", injected)) return injected;
        *out = new Clipper;
        return DD_OK;
    }
    HRESULT GetAvailableVidMem(LPDDSCAPS2, LPDWORD total, LPDWORD free) override
    {
        if (total) *total = kVideoMemory;
        if (free) *free = kVideoMemory > videoUsed_ ? kVideoMemory - videoUsed_ : 0;
        return DD_OK;
    }
    HRESULT WaitForVerticalBlank(DWORD, HANDLE) override { return DD_OK; }

    void RestoreMode()
    {
        modeWidth_ = desktopWidth_;
        modeHeight_ = desktopHeight_;
        mode_ = MakeFormat(Config().desktopBpp, Config().use555);
    }

    HWND window_ = nullptr;
    bool fullscreen_ = false;
    bool cooperative_ = false;
    bool primaryExists_ = false;
    int desktopWidth_, desktopHeight_;
    int modeWidth_ = 0, modeHeight_ = 0;
    DDPIXELFORMAT mode_{};
    DWORD videoUsed_ = 0;
};

Surface::Surface(DirectDraw* owner, int w, int h, const DDPIXELFORMAT& format, DWORD caps)
    : owner_(owner), width_(w), height_(h), format_(format), caps_(caps), memory_(std::make_shared<Memory>())
{
    // Rows are aligned to 32 bytes, so that code which assumes pitch = width x 2 shows its fault
    // on odd widths.
    pitch_ = static_cast<LONG>((w * BytesPerPixel() + 31) & ~31);
    memory_->bytes.assign(static_cast<size_t>(pitch_) * h, 0);
    owner_->AddRef();
    if (caps_ & DDSCAPS_VIDEOMEMORY) owner_->videoUsed_ += static_cast<DWORD>(memory_->bytes.size());
}

Surface::~Surface()
{
    for (Surface* s : chain_) s->Release();
    if (clipper_) clipper_->Release();
    if (caps_ & DDSCAPS_VIDEOMEMORY) {
        DWORD bytes = static_cast<DWORD>(memory_->bytes.size());
        owner_->videoUsed_ = owner_->videoUsed_ > bytes ? owner_->videoUsed_ - bytes : 0;
    }
    if (isPrimary_) owner_->primaryExists_ = false;
    owner_->Release();
}

HRESULT DirectDraw::CreateSurface(LPDDSURFACEDESC2 desc, IDirectDrawSurface7** out, IUnknown* outer)
{
    if (!desc || !out || outer) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    HRESULT injected;
    if (InjectedFailure("CreateSurface", injected)) return injected;
    DWORD caps = (desc->dwFlags & DDSD_CAPS) ? desc->ddsCaps.dwCaps : DDSCAPS_OFFSCREENPLAIN;
    if (caps & DDSCAPS_PRIMARYSURFACE) {
        if (!cooperative_) return DDERR_NOCOOPERATIVELEVELSET;
        if (primaryExists_) return DDERR_PRIMARYSURFACEALREADYEXISTS;
        int backBuffers = 0;
        if (caps & DDSCAPS_FLIP) {
            if (!(desc->dwFlags & DDSD_BACKBUFFERCOUNT) || desc->dwBackBufferCount == 0 ||
                desc->dwBackBufferCount > 3 || !(caps & DDSCAPS_COMPLEX))
                return DDERR_INVALIDPARAMS;
            if (!fullscreen_) return DDERR_NOEXCLUSIVEMODE;
            backBuffers = static_cast<int>(desc->dwBackBufferCount);
        }
        DWORD memCaps = (caps & DDSCAPS_SYSTEMMEMORY) ? 0 : DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM;
        Surface* primary = new Surface(this, modeWidth_, modeHeight_, mode_, caps | memCaps | DDSCAPS_FRONTBUFFER);
        primary->isPrimary_ = true;
        primaryExists_ = true;
        for (int i = 0; i < backBuffers; ++i) {
            DWORD backCaps = (caps & ~(DDSCAPS_PRIMARYSURFACE | DDSCAPS_FRONTBUFFER)) | memCaps;
            if (i == 0) backCaps |= DDSCAPS_BACKBUFFER;
            primary->chain_.push_back(new Surface(this, modeWidth_, modeHeight_, mode_, backCaps));
        }
        *out = primary;
        return DD_OK;
    }
    if (!(desc->dwFlags & DDSD_WIDTH) || !(desc->dwFlags & DDSD_HEIGHT) || desc->dwWidth == 0 ||
        desc->dwHeight == 0 || desc->dwWidth > 8192 || desc->dwHeight > 8192)
        return DDERR_INVALIDPARAMS;
    DDPIXELFORMAT format = mode_;
    if (desc->dwFlags & DDSD_PIXELFORMAT) {
        format = desc->ddpfPixelFormat;
        if (!(format.dwRGBBitCount == 16 && (format.dwGBitMask == 0x07E0 || format.dwGBitMask == 0x03E0)) &&
            !(format.dwRGBBitCount == 32 && format.dwGBitMask == 0xFF00)) {
            PlatformTrace("ddraw: unsupported surface pixel format (%u bits)\n",
                          static_cast<unsigned>(format.dwRGBBitCount));
            return DDERR_INVALIDPIXELFORMAT;
        }
        format = MakeFormat(static_cast<int>(format.dwRGBBitCount), format.dwGBitMask == 0x03E0);
    }
    DWORD memCaps = (caps & DDSCAPS_SYSTEMMEMORY) ? 0 : DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM;
    DWORD bytes = desc->dwWidth * desc->dwHeight * format.dwRGBBitCount / 8;
    if (memCaps && bytes > kVideoMemory - std::min(videoUsed_, kVideoMemory)) {
        if (caps & DDSCAPS_VIDEOMEMORY) return DDERR_OUTOFVIDEOMEMORY;
        memCaps = 0;  // the driver puts it in system memory when video memory is full
    }
    Surface* s = new Surface(this, static_cast<int>(desc->dwWidth), static_cast<int>(desc->dwHeight), format,
                             (caps & ~(DDSCAPS_VIDEOMEMORY | DDSCAPS_SYSTEMMEMORY)) | (memCaps ? memCaps : DDSCAPS_SYSTEMMEMORY));
    if (desc->dwFlags & DDSD_CKSRCBLT) {
        s->key_ = desc->ddckCKSrcBlt;
        s->hasKey_ = true;
    }
    *out = s;
    return DD_OK;
}

HRESULT Surface::BltFast(DWORD x, DWORD y, IDirectDrawSurface7* source, LPRECT sourceRect, DWORD flags)
{
    if (!source) return DDERR_INVALIDPARAMS;
    Surface* src = static_cast<Surface*>(source);
    if (flags & DDBLTFAST_DESTCOLORKEY) {
        PlatformTrace("ddraw: destination colour keys are not supported\n");
        return DDERR_UNSUPPORTED;
    }
    if (locked_ || src->locked_) return DDERR_SURFACEBUSY;
    if (!SameFormat(format_, src->format_)) return DDERR_INVALIDPIXELFORMAT;
    RECT s = sourceRect ? *sourceRect : RECT{0, 0, src->width_, src->height_};
    if (!src->Inside(s)) return DDERR_INVALIDRECT;
    // Positions are unsigned here: a negative one arrives as a huge value and is refused.
    if (x > static_cast<DWORD>(width_) || y > static_cast<DWORD>(height_)) return DDERR_INVALIDRECT;
    RECT d = {static_cast<LONG>(x), static_cast<LONG>(y), static_cast<LONG>(x) + (s.right - s.left),
              static_cast<LONG>(y) + (s.bottom - s.top)};
    if (!Inside(d)) return DDERR_INVALIDRECT;
    const bool keyed = (flags & DDBLTFAST_SRCCOLORKEY) != 0;
    if (keyed && !src->hasKey_) return DDERR_NOCOLORKEY;
    const int w = s.right - s.left, h = s.bottom - s.top, bpp = BytesPerPixel();
    const bool overlapDown = src == this && d.top > s.top;
    for (int row = 0; row < h; ++row) {
        int r = overlapDown ? h - 1 - row : row;
        uint8_t* dst = Row(d.top + r) + d.left * bpp;
        const uint8_t* from = src->Row(s.top + r) + s.left * bpp;
        if (!keyed) {
            std::memmove(dst, from, static_cast<size_t>(w) * bpp);
        } else if (bpp == 2) {
            const uint16_t lo = static_cast<uint16_t>(src->key_.dwColorSpaceLowValue);
            const uint16_t hi = static_cast<uint16_t>(std::max(src->key_.dwColorSpaceHighValue, src->key_.dwColorSpaceLowValue));
            const uint16_t* f = reinterpret_cast<const uint16_t*>(from);
            uint16_t* t = reinterpret_cast<uint16_t*>(dst);
            if (src == this) {
                std::vector<uint16_t> tmp(f, f + w);
                for (int i = 0; i < w; ++i)
                    if (tmp[i] < lo || tmp[i] > hi) t[i] = tmp[i];
            } else if (lo == hi) {
                int i = 0;
#ifdef __SSE2__
                // Eight pixels at a time: keep the destination where the source is the key.
                const __m128i key = _mm_set1_epi16(static_cast<short>(lo));
                for (; i + 8 <= w; i += 8) {
                    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(f + i));
                    const __m128i old = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + i));
                    const __m128i m = _mm_cmpeq_epi16(v, key);
                    _mm_storeu_si128(reinterpret_cast<__m128i*>(t + i),
                                     _mm_or_si128(_mm_and_si128(m, old), _mm_andnot_si128(m, v)));
                }
#endif
                for (; i < w; ++i) {
                    const uint16_t v = f[i];
                    const uint16_t keep = static_cast<uint16_t>(-static_cast<int>(v == lo));
                    t[i] = static_cast<uint16_t>((t[i] & keep) | (v & ~keep));
                }
            } else {
                for (int i = 0; i < w; ++i)
                    if (f[i] < lo || f[i] > hi) t[i] = f[i];
            }
        } else {
            for (int i = 0; i < w; ++i) {
                uint32_t v = src->Get(s.left + i, s.top + r) & 0xFFFFFF;
                if (v < src->key_.dwColorSpaceLowValue || v > src->key_.dwColorSpaceHighValue)
                    Put(d.left + i, d.top + r, v);
            }
        }
    }
    return DD_OK;
}

HRESULT Surface::Blt(LPRECT destRect, IDirectDrawSurface7* source, LPRECT sourceRect, DWORD flags, LPDDBLTFX fx)
{
    if (locked_) return DDERR_SURFACEBUSY;
    RECT d = destRect ? *destRect : RECT{0, 0, width_, height_};
    if (d.left >= d.right || d.top >= d.bottom) return DDERR_INVALIDRECT;
    if (flags & DDBLT_COLORFILL) {
        if (!fx) return DDERR_INVALIDPARAMS;
        if (!Inside(d)) return DDERR_INVALIDRECT;
        for (int y = d.top; y < d.bottom; ++y)
            for (int x = d.left; x < d.right; ++x) Put(x, y, fx->dwFillColor);
        return DD_OK;
    }
    if (!source) return DDERR_INVALIDPARAMS;
    Surface* src = static_cast<Surface*>(source);
    if (src->locked_) return DDERR_SURFACEBUSY;
    RECT s = sourceRect ? *sourceRect : RECT{0, 0, src->width_, src->height_};
    if (!src->Inside(s)) return DDERR_INVALIDRECT;
    const bool keyed = (flags & DDBLT_KEYSRC) != 0;
    if (keyed && !src->hasKey_) return DDERR_NOCOLORKEY;

    // The visible part of the destination: a clipper's window, else the whole surface, which
    // the rectangle must then lie inside.
    RECT visible = {0, 0, width_, height_};
    HWND presentTo = nullptr;
    RECT clientOnScreen = {0, 0, 0, 0};
    if (clipper_ && clipper_->hwnd_) {
        RECT client;
        POINT origin = {0, 0};
        if (GetClientRect(clipper_->hwnd_, &client) && ClientToScreen(clipper_->hwnd_, &origin)) {
            OffsetRect(&client, origin.x, origin.y);
            clientOnScreen = client;
            RECT clipped;
            if (!IntersectRect(&clipped, &client, &visible)) clipped = {0, 0, 0, 0};
            visible = clipped;
            if (isPrimary_) presentTo = clipper_->hwnd_;
        }
    } else if (!Inside(d)) {
        return DDERR_INVALIDRECT;
    }
    if (!SameFormat(format_, src->format_) && !isPrimary_) return DDERR_INVALIDPIXELFORMAT;
    // The usual present covers the window's client area exactly: the source is shown at its own
    // size (the window scales it), pixel for pixel what was drawn.
    if (presentTo && !keyed && d.left == clientOnScreen.left && d.top == clientOnScreen.top &&
        d.right == clientOnScreen.right && d.bottom == clientOnScreen.bottom) {
        PresentRegion(presentTo, src, s);
        return DD_OK;
    }
    const int dw = d.right - d.left, dh = d.bottom - d.top;
    const int sw = s.right - s.left, sh = s.bottom - s.top;
    const bool convert = !SameFormat(format_, src->format_);
    const DDPIXELFORMAT target = format_;
    if (!convert && BytesPerPixel() == 2) {
        const uint32_t lo = src->key_.dwColorSpaceLowValue;
        const uint32_t hi = std::max(src->key_.dwColorSpaceHighValue, lo);
        const int x0 = std::max(d.left, visible.left), x1 = std::min(d.right, visible.right);
        std::vector<int> columns(static_cast<size_t>(std::max(0, x1 - x0)));
        for (int x = x0; x < x1; ++x)
            columns[static_cast<size_t>(x - x0)] = s.left + static_cast<int>(static_cast<int64_t>(x - d.left) * sw / dw);
        for (int y = std::max(d.top, visible.top); y < std::min(d.bottom, visible.bottom); ++y) {
            const int sy = s.top + static_cast<int>(static_cast<int64_t>(y - d.top) * sh / dh);
            const uint16_t* from = reinterpret_cast<const uint16_t*>(src->Row(sy));
            uint16_t* to = reinterpret_cast<uint16_t*>(Row(y));
            for (int x = x0; x < x1; ++x) {
                const uint16_t v = from[columns[static_cast<size_t>(x - x0)]];
                if (keyed && v >= lo && v <= hi) continue;
                to[x] = v;
            }
        }
        if (presentTo) PresentRegion(presentTo, this, visible);
        return DD_OK;
    }
    for (int y = std::max(d.top, visible.top); y < std::min(d.bottom, visible.bottom); ++y) {
        const int sy = s.top + static_cast<int>(static_cast<int64_t>(y - d.top) * sh / dh);
        for (int x = std::max(d.left, visible.left); x < std::min(d.right, visible.right); ++x) {
            const int sx = s.left + static_cast<int>(static_cast<int64_t>(x - d.left) * sw / dw);
            uint32_t v = src->Get(sx, sy);
            if (keyed && v >= src->key_.dwColorSpaceLowValue &&
                v <= std::max(src->key_.dwColorSpaceHighValue, src->key_.dwColorSpaceLowValue))
                continue;
            if (convert) {
                uint32_t rgb = ToRgb(src->format_, v);
                if (target.dwRGBBitCount == 32)
                    v = rgb;
                else if (target.dwGBitMask == 0x07E0)
                    v = (rgb >> 19 & 31) << 11 | (rgb >> 10 & 63) << 5 | (rgb >> 3 & 31);
                else
                    v = (rgb >> 19 & 31) << 10 | (rgb >> 11 & 31) << 5 | (rgb >> 3 & 31);
            }
            Put(x, y, v);
        }
    }
    if (presentTo) PresentRegion(presentTo, this, visible);
    return DD_OK;
}

HRESULT Surface::Flip(IDirectDrawSurface7* target, DWORD)
{
    if (!isPrimary_ || chain_.empty()) return DDERR_NOTFLIPPABLE;
    if (target) {
        PlatformTrace("ddraw: Flip to a chosen surface is not supported\n");
        return DDERR_UNSUPPORTED;
    }
    if (locked_) return DDERR_SURFACEBUSY;
    for (Surface* s : chain_)
        if (s->locked_) return DDERR_SURFACEBUSY;
    // The memory moves along the chain: the first back buffer becomes visible, the primary's
    // old image goes to the end of the chain.
    std::shared_ptr<Memory> shown = chain_[0]->memory_;
    for (size_t i = 0; i + 1 < chain_.size(); ++i) chain_[i]->memory_ = chain_[i + 1]->memory_;
    chain_.back()->memory_ = memory_;
    memory_ = shown;
    Present();
    return DD_OK;
}

void Surface::Present()
{
    if (!owner_->window_) return;
    PresentRegion(owner_->window_, this, RECT{0, 0, width_, height_});
}

void Surface::PresentRegion(HWND hwnd, Surface* from, const RECT& region)
{
    const int w = region.right - region.left, h = region.bottom - region.top;
    if (w <= 0 || h <= 0) return;
    {
        std::lock_guard<std::mutex> guard(g_presented.lock);
        g_presented.width = w;
        g_presented.height = h;
        g_presented.rgb.resize(static_cast<size_t>(w) * h);
        if (from->BytesPerPixel() == 2) {
            const uint32_t* table = RgbTable(from->format_);
            for (int y = 0; y < h; ++y) {
                const uint8_t* row = from->Row(region.top + y) + region.left * 2;
                uint32_t* out = &g_presented.rgb[static_cast<size_t>(y) * w];
                for (int x = 0; x < w; ++x) {
                    uint16_t v;
                    std::memcpy(&v, row + x * 2, 2);
                    out[x] = table[v];
                }
            }
        } else {
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    g_presented.rgb[static_cast<size_t>(y) * w + x] =
                        ToRgb(from->format_, from->Get(region.left + x, region.top + y));
        }
        ++g_presented.count;
        if (!g_presented.readerSet) {
            g_presented.readerSet = true;
            PlatformSetFrameReader([](int& rw, int& rh, std::vector<uint8_t>& rgb) {
                std::lock_guard<std::mutex> g(g_presented.lock);
                if (g_presented.rgb.empty()) return false;
                rw = g_presented.width;
                rh = g_presented.height;
                rgb.resize(g_presented.rgb.size() * 3);
                for (size_t i = 0; i < g_presented.rgb.size(); ++i) {
                    rgb[i * 3] = static_cast<uint8_t>(g_presented.rgb[i] >> 16);
                    rgb[i * 3 + 1] = static_cast<uint8_t>(g_presented.rgb[i] >> 8);
                    rgb[i * 3 + 2] = static_cast<uint8_t>(g_presented.rgb[i]);
                }
                return true;
            });
        }
    }
    SDL_Window* window = PlatformSdlWindow(hwnd);
    if (window) {
        PlatformSetBackBufferSize(hwnd, w, h);
        SDL_Renderer* renderer = SDL_GetRenderer(window);
        if (!renderer) renderer = SDL_CreateRenderer(window, -1, 0);
        if (!renderer) renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
        if (!renderer) {
            PlatformTrace("ddraw: no SDL renderer for the window: %s\n", SDL_GetError());
        } else {
            SDL_Texture* texture = PictureTexture(window, renderer, w, h);
            const SDL_Rect dst = PictureRect(hwnd);
            if (!texture) {
                PlatformTrace("ddraw: cannot create the presentation texture: %s\n", SDL_GetError());
            } else if (PictureChanged(window, renderer, dst)) {
                {
                    std::lock_guard<std::mutex> guard(g_presented.lock);
                    SDL_UpdateTexture(texture, nullptr, g_presented.rgb.data(), w * 4);
                }
                ShowTexture(renderer, texture, dst);
            }
        }
    }
    PlatformFramePresented();
}

}  // namespace

HRESULT DirectDrawCreateEx(GUID* driver, LPVOID* out, REFIID iid, IUnknown* outer)
{
    if (!out) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    if (outer) return DDERR_INVALIDPARAMS;
    if (driver) return DDERR_INVALIDDIRECTDRAWGUID;
    if (iid != IID_IDirectDraw7) return DDERR_INVALIDPARAMS;
    HRESULT injected;
    if (InjectedFailure("DirectDrawCreateEx", injected)) return injected;
    *out = static_cast<IDirectDraw7*>(new DirectDraw);
    return DD_OK;
}

HRESULT DirectDrawCreate(GUID* driver, LPDIRECTDRAW* out, IUnknown* outer)
{
    if (!out) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    if (outer) return DDERR_INVALIDPARAMS;
    if (driver) return DDERR_INVALIDDIRECTDRAWGUID;
    *out = new DirectDraw;
    return DD_OK;
}

void PlatformDDrawUse555(bool use555) { Config().use555 = use555; }
void PlatformDDrawSetDesktopDepth(int bpp) { Config().desktopBpp = bpp == 16 ? 16 : 32; }
void PlatformDDrawFailNext(const char* operation, HRESULT result)
{
    if (!operation || !*operation) {
        Config().failNext.clear();
        return;
    }
    Config().failNext[operation] = result;
}
bool PlatformDDrawLastPresented(int& width, int& height, std::vector<uint32_t>& rgb)
{
    std::lock_guard<std::mutex> guard(g_presented.lock);
    if (g_presented.rgb.empty()) return false;
    width = g_presented.width;
    height = g_presented.height;
    rgb = g_presented.rgb;
    return true;
}
uint64_t PlatformDDrawWindowShows() { return g_windowShows.load(); }

uint64_t PlatformDDrawPresentCount()
{
    std::lock_guard<std::mutex> guard(g_presented.lock);
    return g_presented.count;
}
