// The device's own cursor in full screen: a Win32 cursor turned into a 32-bit image with alpha.
#pragma once

#include "platform/d3d8/d3d8.h"
#include "platform/win32/win32.h"

#include <cstdint>
#include <vector>

// The cursor's bitmaps as 32-bit pixels, rows bottom-up as GetDIBits gives them. A monochrome
// cursor has no colour pixels and a mask twice the image height (AND mask over XOR image).
struct CursorBitmaps {
    uint32_t hotX = 0, hotY = 0;
    uint32_t width = 0;
    uint32_t maskHeight = 0;
    std::vector<uint32_t> mask;    // width x maskHeight
    std::vector<uint32_t> colour;  // width x maskHeight for a colour cursor; empty: monochrome
};

// Top-down ARGB image of the cursor: 0xFF000000 | colour where the mask is 0, transparent
// elsewhere. Empty when the bitmaps are inconsistent.
std::vector<uint32_t> BuildDeviceCursorImage(const CursorBitmaps& bitmaps, uint32_t& height);

// Turns the bitmaps into an A8R8G8B8 image surface and gives it to the device with the hot spot.
HRESULT SetDeviceCursorFromBitmaps(IDirect3DDevice8* device, const CursorBitmaps& bitmaps);

// The same for a cursor handle: needs the cursor's icon information, which the Win32 layer of
// this build does not offer, so it fails (E_FAIL) as a failed GetIconInfo would.
HRESULT SetDeviceCursor(IDirect3DDevice8* device, HCURSOR cursor);
