// The mouse cursor: its shape (the system's shapes and the program's cursor resources), whether
// it shows (ShowCursor's counter), and the capture of the mouse.
#include "platform/win32/window_table.h"

#include <SDL.h>

#include <map>

using namespace platform_detail;

namespace {
int cursorCounter = 0;
std::map<int, PlatformCursorShape> cursorResources;
struct CursorTag {
    PlatformCursorShape shape;
};
CursorTag systemCursors[5] = {{PlatformCursorShape::Arrow}, {PlatformCursorShape::Hand},
                              {PlatformCursorShape::IBeam}, {PlatformCursorShape::Wait},
                              {PlatformCursorShape::Cross}};
// The pointer starts as the arrow, as on the desktop; SetCursor(NULL) hides it.
HCURSOR currentCursor = reinterpret_cast<HCURSOR>(&systemCursors[0]);
SDL_Cursor* sdlCursors[5] = {};
}  // namespace

void platform_detail::SetCursorShown()
{
    if (!videoReady) return;
    bool show = cursorCounter >= 0 && currentCursor != nullptr;
    if (show) {
        auto* tag = reinterpret_cast<CursorTag*>(currentCursor);
        int index = static_cast<int>(tag - systemCursors);
        if (index >= 0 && index < 5) {
            static const SDL_SystemCursor ids[5] = {SDL_SYSTEM_CURSOR_ARROW, SDL_SYSTEM_CURSOR_HAND,
                                                    SDL_SYSTEM_CURSOR_IBEAM, SDL_SYSTEM_CURSOR_WAIT,
                                                    SDL_SYSTEM_CURSOR_CROSSHAIR};
            if (!sdlCursors[index]) sdlCursors[index] = SDL_CreateSystemCursor(ids[index]);
            if (sdlCursors[index]) SDL_SetCursor(sdlCursors[index]);
        }
    }
    SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
}

void platform_detail::ResetCursors()
{
    for (auto*& c : sdlCursors)
        if (c) {
            SDL_FreeCursor(c);
            c = nullptr;
        }
    cursorCounter = 0;
    currentCursor = reinterpret_cast<HCURSOR>(&systemCursors[0]);
}

int ShowCursor(BOOL show)
{
    cursorCounter += show ? 1 : -1;
    SetCursorShown();
    return cursorCounter;
}

HCURSOR SetCursor(HCURSOR cursor)
{
    HCURSOR old = currentCursor;
    currentCursor = cursor;
    SetCursorShown();
    return old;
}

HCURSOR GetCursor() { return currentCursor; }

void PlatformRegisterCursorResource(int id, PlatformCursorShape shape) { cursorResources[id] = shape; }

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name)
{
    if (!IS_INTRESOURCE(name)) {
        PlatformTrace("LoadCursorA: named cursor resources are not provided (\"%s\")", name ? name : "");
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    int id = static_cast<int>(reinterpret_cast<ULONG_PTR>(name));
    if (!instance) {
        switch (id) {
        case 32512: return reinterpret_cast<HCURSOR>(&systemCursors[0]);  // IDC_ARROW
        case 32649: return reinterpret_cast<HCURSOR>(&systemCursors[1]);  // IDC_HAND
        case 32513: return reinterpret_cast<HCURSOR>(&systemCursors[2]);  // IDC_IBEAM
        case 32514: return reinterpret_cast<HCURSOR>(&systemCursors[3]);  // IDC_WAIT
        case 32515: return reinterpret_cast<HCURSOR>(&systemCursors[4]);  // IDC_CROSS
        default: break;
        }
    } else {
        auto it = cursorResources.find(id);
        if (it != cursorResources.end())
            return reinterpret_cast<HCURSOR>(&systemCursors[static_cast<int>(it->second)]);
    }
    PlatformTrace("LoadCursorA: no cursor %d%s", id, instance ? " among the program's resources" : "");
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
}

HICON LoadIconA(HINSTANCE, LPCSTR)
{
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
}

HWND SetCapture(HWND hwnd)
{
    if (videoReady) SDL_CaptureMouse(hwnd ? SDL_TRUE : SDL_FALSE);
    return nullptr;
}

BOOL ReleaseCapture()
{
    if (videoReady) SDL_CaptureMouse(SDL_FALSE);
    return TRUE;
}
