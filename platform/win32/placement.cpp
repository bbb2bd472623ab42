// Where a window is on the screen: its frame and client area, the place it takes on the desktop
// (fitted inside the screen, shown by a window manager), the back buffer it presents and how that
// is letterboxed into it, and full screen.
#include "platform/win32/window_table.h"

#include <SDL.h>

#include <algorithm>
#include <cstdint>
#include <mutex>

using namespace platform_detail;

namespace platform_detail {

void Insets(DWORD style, DWORD exStyle, bool menu, RECT& insets)
{
    int border = 0;
    if (style & WS_THICKFRAME)
        border = GetSystemMetrics(SM_CXFRAME);
    else if ((style & WS_CAPTION) == WS_CAPTION || (style & WS_DLGFRAME))
        border = GetSystemMetrics(SM_CXDLGFRAME);
    else if (style & WS_BORDER)
        border = GetSystemMetrics(SM_CXBORDER);
    insets.left = insets.right = insets.bottom = border;
    insets.top = border;
    if ((style & WS_CAPTION) == WS_CAPTION) insets.top += GetSystemMetrics(SM_CYCAPTION);
    if (menu) insets.top += GetSystemMetrics(SM_CYMENU);
    (void)exStyle;
}

RECT ClientRectOf(const Window& w)
{
    RECT in;
    Insets(w.style, w.exStyle, w.menu != nullptr, in);
    RECT client{w.rect.left + in.left, w.rect.top + in.top, w.rect.right - in.right,
                w.rect.bottom - in.bottom};
    if (client.right < client.left) client.right = client.left;
    if (client.bottom < client.top) client.bottom = client.top;
    return client;
}

void ScreenSize(int& w, int& h)
{
    w = 1024;
    h = 768;
    SDL_DisplayMode mode;
    if (videoReady && SDL_GetDesktopDisplayMode(0, &mode) == 0 && mode.w > 0 && mode.h > 0) {
        w = mode.w;
        h = mode.h;
    }
}

// Where a window's client area goes on the screen (x, y, width, height): where the program put it,
// at its size, when that fits the desktop's usable area (the screen less its panels) with the
// window manager's frame around it. Otherwise it is moved as little as keeps it inside, and a
// window whose picture is scaled to its client area (one with a back buffer) is shown at the
// largest scale that fits: on a small screen all of the picture and the frame's buttons can be
// reached. Pixels drawn one for one (a dialog's) are never scaled.
SDL_Rect ScreenPlace(const Window& w)
{
    const RECT client = ClientRectOf(w);
    SDL_Rect r{client.left, client.top, std::max<int>(1, client.right - client.left),
               std::max<int>(1, client.bottom - client.top)};
    SDL_Rect usable{};
    const int display = w.sdl ? std::max(0, SDL_GetWindowDisplayIndex(w.sdl)) : 0;
    if (!videoReady || SDL_GetDisplayUsableBounds(display, &usable) != 0 || usable.w <= 0 || usable.h <= 0) return r;
    RECT frame{};
    // Until the manager has framed the window, a frame like this system's own stands in for it.
    if (!w.sdl || !WindowManagerFrame(w.sdl, frame)) Insets(w.style, w.exStyle, w.menu != nullptr, frame);
    const int roomW = usable.w - frame.left - frame.right, roomH = usable.h - frame.top - frame.bottom;
    if (w.bbWidth > 0 && w.bbHeight > 0 && roomW > 0 && roomH > 0 && (r.w > roomW || r.h > roomH)) {
        // One scale both ways: the window keeps its shape.
        if (static_cast<int64_t>(roomW) * r.h <= static_cast<int64_t>(roomH) * r.w) {
            r.h = std::max(1, static_cast<int>(static_cast<int64_t>(r.h) * roomW / r.w));
            r.w = roomW;
        } else {
            r.w = std::max(1, static_cast<int>(static_cast<int64_t>(r.w) * roomH / r.h));
            r.h = roomH;
        }
    }
    // One still too large keeps its top-left corner, and so its caption, inside.
    r.x = std::max<int>(usable.x + frame.left, std::min<int>(r.x, usable.x + usable.w - frame.right - r.w));
    r.y = std::max<int>(usable.y + frame.top, std::min<int>(r.y, usable.y + usable.h - frame.bottom - r.h));
    return r;
}

// Takes the window's place on the screen (ScreenPlace). The notional rectangle moves with it: the
// program's client area is where the window is on the screen.
void TakePlace(Window& w)
{
    w.placed = ScreenPlace(w);
    const RECT client = ClientRectOf(w);
    OffsetRect(&w.rect, w.placed.x - client.left, w.placed.y - client.top);
}

// A window whose picture is scaled to its client area (one with a back buffer) that the user
// cannot resize: a window manager may still maximise it, and it then shows its picture scaled,
// as in full screen, while the program keeps the size it chose.
bool ScaledByManager(const Window& w)
{
    return w.bbWidth > 0 && w.bbHeight > 0 && !(w.style & WS_THICKFRAME) && (w.style & WS_CAPTION) == WS_CAPTION;
}

// What the window manager may do with the window and which buttons its frame shows, as the style
// says: a sizing border resizes, a window that scales its picture maximises, a minimise box
// minimises. Closing is always offered: the games end on it.
void OfferStyleControls(const Window& w)
{
    if (!w.sdl || w.fullscreen || (w.style & WS_CAPTION) != WS_CAPTION) return;
    const bool scaled = ScaledByManager(w);
    SDL_SetWindowResizable(w.sdl, (w.style & WS_THICKFRAME) || scaled ? SDL_TRUE : SDL_FALSE);
    OfferFrameControls(w.sdl, (w.style & WS_MINIMIZEBOX) != 0, (w.style & WS_MAXIMIZEBOX) || scaled,
                       (w.style & WS_THICKFRAME) || scaled);
}

// Brings the SDL window (windowed) to its place, without sending messages.
void ApplyGeometry(Window& w)
{
    if (!w.sdl || w.fullscreen) return;
    // Maximised, it has the size and place the window manager gave it until it is restored.
    if (SDL_GetWindowFlags(w.sdl) & SDL_WINDOW_MAXIMIZED) {
        OfferStyleControls(w);
        return;
    }
    TakePlace(w);
    const SDL_Rect place = w.placed;
    // Only what differs is asked for: on X11 a size request also raises a fixed-size window,
    // which (re-applied while a move settles) would bury a dialog opened over it.
    int sw = 0, sh = 0, sx = 0, sy = 0;
    SDL_GetWindowSize(w.sdl, &sw, &sh);
    if (sw != place.w || sh != place.h) SDL_SetWindowSize(w.sdl, place.w, place.h);
    // Where the client area really is: a window manager that framed the window after SDL placed
    // it put its frame, not its client area, where SDL asked, and SDL may not know that yet.
    if (!ClientOriginOnScreen(w.sdl, sx, sy)) SDL_GetWindowPosition(w.sdl, &sx, &sy);
    if ((sx != place.x || sy != place.y) && !MoveClientOnScreen(w.sdl, place.x, place.y))
        SDL_SetWindowPosition(w.sdl, place.x, place.y);
    SDL_SetWindowBordered(w.sdl, (w.style & WS_CAPTION) == WS_CAPTION ? SDL_TRUE : SDL_FALSE);
    OfferStyleControls(w);
}

// Places the window again once what its place depends on is known (its back buffer, the frame
// the manager gave it). The program hears of a move as of one the user made.
void PlaceAgain(HWND hwnd, Window& w)
{
    const RECT before = ClientRectOf(w);
    ApplyGeometry(w);
    const RECT after = ClientRectOf(w);
    if (after.left != before.left || after.top != before.top)
        QueueMessage(hwnd, WM_MOVE, 0, MAKELPARAM(after.left, after.top), 0);
}

void SetRectAndNotify(HWND hwnd, const RECT& rect)
{
    auto w = Find(hwnd);
    if (!w) return;
    RECT oldClient = ClientRectOf(*w);
    w->rect = rect;
    ApplyGeometry(*w);
    RECT client = ClientRectOf(*w);
    if (client.left != oldClient.left || client.top != oldClient.top)
        SendNow(hwnd, WM_MOVE, 0, MAKELPARAM(client.left, client.top));
    if (client.right - client.left != oldClient.right - oldClient.left ||
        client.bottom - client.top != oldClient.bottom - oldClient.top)
        SendNow(hwnd, WM_SIZE, SIZE_RESTORED,
                MAKELPARAM(client.right - client.left, client.bottom - client.top));
}

// Puts the SDL window on the screen (and, given `restore`, out of the task bar). Under a window
// manager a window is on the screen once the manager maps it, which SDL would wait for: a manager
// that is busy starting, or that lost the request, held the program there for good, its window
// never shown and its game never started. The request is made without waiting instead, and made
// again while it goes unanswered (PumpEvents); SDL learns of the map from its events.
void ShowSdlWindow(Window& w, bool restore)
{
    if ((SDL_GetWindowFlags(w.sdl) & SDL_WINDOW_HIDDEN) && RequestMapWithoutWaiting(w.sdl)) {
        w.mapPending = true;
        w.mapAskedAt = SDL_GetTicks();
        return;
    }
    SDL_ShowWindow(w.sdl);
    if (restore) SDL_RestoreWindow(w.sdl);
}

// A window manager may drop a map request (one that arrives while it starts up does, now and
// then): a shown window still waiting for its map after a second asks again.
void AskAgainForPendingMaps()
{
    std::lock_guard<std::recursive_mutex> lock(windowMutex);
    const uint32_t now = SDL_GetTicks();
    for (auto& [h, w] : windows) {
        if (!w->mapPending || !w->sdl || !w->visible || w->minimized || w->destroying) continue;
        if (!SDL_TICKS_PASSED(now, w->mapAskedAt + 1000)) continue;
        w->mapAskedAt = now;
        RequestMapWithoutWaiting(w->sdl);
    }
}

}  // namespace platform_detail

POINT platform_detail::ClientOrigin(HWND hwnd)
{
    auto w = Find(hwnd);
    if (!w) return POINT{0, 0};
    RECT c = ClientRectOf(*w);
    return POINT{c.left, c.top};
}

BOOL ClientToScreen(HWND hwnd, LPPOINT point)
{
    if (!point || (!IsWindow(hwnd) && hwnd != DesktopHandle())) return FALSE;
    if (hwnd == DesktopHandle()) return TRUE;
    POINT o = ClientOrigin(hwnd);
    point->x += o.x;
    point->y += o.y;
    return TRUE;
}

BOOL ScreenToClient(HWND hwnd, LPPOINT point)
{
    if (!point || (!IsWindow(hwnd) && hwnd != DesktopHandle())) return FALSE;
    if (hwnd == DesktopHandle()) return TRUE;
    POINT o = ClientOrigin(hwnd);
    point->x -= o.x;
    point->y -= o.y;
    return TRUE;
}

void PlatformSetBackBufferSize(HWND hwnd, int width, int height)
{
    auto w = Find(hwnd);
    if (!w) return;
    if (w->bbWidth == std::max(0, width) && w->bbHeight == std::max(0, height)) return;
    w->bbWidth = std::max(0, width);
    w->bbHeight = std::max(0, height);
    // Its picture is scaled to the window from now on: a window too large for the screen can
    // be shown smaller.
    if (IsMainThread() && VideoReady()) PlaceAgain(hwnd, *w);
}

void PlatformGetBackBufferSize(HWND hwnd, int& width, int& height)
{
    width = height = 0;
    auto w = Find(hwnd);
    if (!w) return;
    if (w->bbWidth > 0 && w->bbHeight > 0) {
        width = w->bbWidth;
        height = w->bbHeight;
        return;
    }
    RECT c = ClientRectOf(*w);
    width = c.right - c.left;
    height = c.bottom - c.top;
}

RECT PlatformPresentRect(HWND hwnd)
{
    auto w = Find(hwnd);
    if (!w || !w->sdl) return RECT{0, 0, 0, 0};
    int dw = 0, dh = 0;
    SDL_GL_GetDrawableSize(w->sdl, &dw, &dh);
    if (dw <= 0 || dh <= 0) SDL_GetWindowSize(w->sdl, &dw, &dh);
    int bw, bh;
    PlatformGetBackBufferSize(hwnd, bw, bh);
    if (bw <= 0 || bh <= 0 || dw <= 0 || dh <= 0) return RECT{0, 0, dw, dh};
    // Largest rectangle of the back buffer's shape; integer arithmetic keeps it exact when the
    // sizes match.
    int64_t w1 = dw, h1 = static_cast<int64_t>(dw) * bh / bw;
    if (h1 > dh) {
        h1 = dh;
        w1 = static_cast<int64_t>(dh) * bw / bh;
    }
    int left = static_cast<int>((dw - w1) / 2), top = static_cast<int>((dh - h1) / 2);
    return RECT{left, top, left + static_cast<int>(w1), top + static_cast<int>(h1)};
}

bool platform_detail::GetPresentGeometry(HWND hwnd, PresentGeometry& g)
{
    auto w = Find(hwnd);
    if (!w || !w->sdl) return false;
    g = PresentGeometry{};
    SDL_GetWindowSize(w->sdl, &g.ww, &g.wh);
    SDL_GL_GetDrawableSize(w->sdl, &g.dw, &g.dh);
    if (g.dw <= 0 || g.dh <= 0) {
        g.dw = g.ww;
        g.dh = g.wh;
    }
    g.picture = PlatformPresentRect(hwnd);
    PlatformGetBackBufferSize(hwnd, g.bw, g.bh);
    g.pw = g.picture.right - g.picture.left;
    g.ph = g.picture.bottom - g.picture.top;
    return g.ww > 0 && g.wh > 0 && g.pw > 0 && g.ph > 0 && g.bw > 0 && g.bh > 0;
}

bool platform_detail::WindowToBackBuffer(HWND hwnd, int wx, int wy, int& bx, int& by)
{
    PresentGeometry g;
    if (!GetPresentGeometry(hwnd, g)) return false;
    // Window coordinates to drawable pixels (they differ on high-density displays).
    int64_t px = static_cast<int64_t>(wx) * g.dw / g.ww, py = static_cast<int64_t>(wy) * g.dh / g.wh;
    int64_t x = (px - g.picture.left) * g.bw, y = (py - g.picture.top) * g.bh;
    // Floor division so that points left of or above the picture stay negative.
    bx = static_cast<int>(x >= 0 ? x / g.pw : -((-x + g.pw - 1) / g.pw));
    by = static_cast<int>(y >= 0 ? y / g.ph : -((-y + g.ph - 1) / g.ph));
    return true;
}

bool platform_detail::BackBufferToWindow(HWND hwnd, int bx, int by, int& wx, int& wy)
{
    PresentGeometry g;
    if (!GetPresentGeometry(hwnd, g)) return false;
    // The first drawable pixel, then the first window pixel, that WindowToBackBuffer takes back
    // to this back-buffer pixel (rounding up where it rounds down).
    const auto up = [](int64_t a, int64_t b) { return a >= 0 ? (a + b - 1) / b : -(-a / b); };
    const int64_t px = g.picture.left + up(static_cast<int64_t>(bx) * g.pw, g.bw);
    const int64_t py = g.picture.top + up(static_cast<int64_t>(by) * g.ph, g.bh);
    wx = static_cast<int>(up(px * g.ww, g.dw));
    wy = static_cast<int>(up(py * g.wh, g.dh));
    return true;
}

bool PlatformSetFullscreen(HWND hwnd, bool fullscreen)
{
    auto w = Find(hwnd);
    if (!w) {
        PlatformTrace("PlatformSetFullscreen: %p is not a window", static_cast<void*>(hwnd));
        return false;
    }
    if (w->fullscreen == fullscreen) return true;
    if (fullscreen) {
        w->windowedRect = w->rect;
        if (w->sdl) {
            // Full screen is the window manager's to carry out; with none (a bare X server)
            // the request goes unheard, so the window first covers the display by itself.
            SDL_Rect display{0, 0, 0, 0};
            if (SDL_GetDisplayBounds(std::max(0, SDL_GetWindowDisplayIndex(w->sdl)), &display) == 0 && display.w > 0) {
                SDL_SetWindowBordered(w->sdl, SDL_FALSE);
                SDL_SetWindowPosition(w->sdl, display.x, display.y);
                SDL_SetWindowSize(w->sdl, display.w, display.h);
            }
        }
        if (w->sdl && SDL_SetWindowFullscreen(w->sdl, SDL_WINDOW_FULLSCREEN_DESKTOP) != 0)
            PlatformTrace("full screen: SDL refused (%s); the window stays as it is", SDL_GetError());
        w->fullscreen = true;
        int sw, sh;
        ScreenSize(sw, sh);
        RECT in;
        Insets(w->style, w->exStyle, w->menu != nullptr, in);
        w->rect = RECT{-in.left, -in.top, sw + in.right, sh + in.bottom};
    } else {
        if (w->sdl && SDL_SetWindowFullscreen(w->sdl, 0) != 0)
            PlatformTrace("leaving full screen: SDL refused (%s)", SDL_GetError());
        w->fullscreen = false;
        w->rect = w->windowedRect;
        w->settleUntil = SDL_GetTicks() + 500;
        // A minimised window takes its place when it is shown again: resizing or moving it now
        // raises it, and a window manager takes a raise as a wish to have it back.
        if (!w->minimized) ApplyGeometry(*w);
    }
    return true;
}

bool PlatformIsFullscreen(HWND hwnd)
{
    auto w = Find(hwnd);
    return w && w->fullscreen;
}
