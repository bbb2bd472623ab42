// Test and set-up controls of the DirectDraw stand-in (not for game code).
#pragma once

#include "platform/ddraw/ddraw.h"

#include <cstdint>
#include <vector>

// The 16-bit layout that 16-bit display modes use: x555 when true, 565 (the default) when
// false. The environment variable PLATFORM_DDRAW_555=1 sets it at start.
void PlatformDDrawUse555(bool use555);
// The desktop's depth before any SetDisplayMode (32 by default; 16 for a 16-bit desktop).
void PlatformDDrawSetDesktopDepth(int bpp);
// Makes the next call of the named operation fail with `result`: "SetDisplayMode",
// "CreateDevice", "CreateSurface", "CreateClipper", "DirectDrawCreateEx". An empty name clears.
void PlatformDDrawFailNext(const char* operation, HRESULT result);
// The last image presented to a window: its pixels as 0xRRGGBB, top-down. False when nothing
// was presented yet.
bool PlatformDDrawLastPresented(int& width, int& height, std::vector<uint32_t>& rgb);
// Frames presented by this stand-in.
uint64_t PlatformDDrawPresentCount();
// Frames actually scaled and shown in a window. A frame equal to the one the window shows is
// not shown again, unless the window lost or moved its picture since (PlatformPictureDamage).
uint64_t PlatformDDrawWindowShows();
