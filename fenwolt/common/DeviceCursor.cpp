#include "fenwolt/common/DeviceCursor.h"

#include "fenwolt/common/Utilities.h"

#include <cstring>

std::vector<uint32_t> BuildDeviceCursorImage(const CursorBitmaps& b, uint32_t& height)
{
    height = 0;
    bool monochrome = b.colour.empty();
    uint32_t h = monochrome ? b.maskHeight / 2 : b.maskHeight;
    size_t maskPixels = (size_t)b.width * b.maskHeight;
    if (b.width == 0 || h == 0 || b.mask.size() != maskPixels || (!monochrome && b.colour.size() != maskPixels))
        return {};
    std::vector<uint32_t> image((size_t)b.width * h);
    for (uint32_t y = 0; y < h; ++y) {
        // Monochrome: the XOR image is the lower half of the mask bitmap, i.e. its first rows
        // bottom-up; the AND mask is the upper half.
        uint32_t colourRow = h - 1 - y;
        uint32_t maskRow = monochrome ? b.maskHeight - 1 - y : h - 1 - y;
        for (uint32_t x = 0; x < b.width; ++x) {
            uint32_t colour = monochrome ? b.mask[(size_t)colourRow * b.width + x]
                                         : b.colour[(size_t)colourRow * b.width + x];
            uint32_t mask = b.mask[(size_t)maskRow * b.width + x] & 0x00FFFFFF;
            image[(size_t)y * b.width + x] = mask == 0 ? (0xFF000000u | (colour & 0x00FFFFFF)) : 0u;
        }
    }
    height = h;
    return image;
}

HRESULT SetDeviceCursorFromBitmaps(IDirect3DDevice8* device, const CursorBitmaps& bitmaps)
{
    if (!device) return E_FAIL;
    uint32_t h = 0;
    std::vector<uint32_t> image = BuildDeviceCursorImage(bitmaps, h);
    if (image.empty()) return E_FAIL;
    IDirect3DSurface8* surface = nullptr;
    HRESULT hr = device->CreateImageSurface(bitmaps.width, h, D3DFMT_A8R8G8B8, &surface);
    if (FAILED(hr)) return hr;
    D3DLOCKED_RECT locked;
    hr = surface->LockRect(&locked, nullptr, 0);
    if (SUCCEEDED(hr)) {
        for (uint32_t y = 0; y < h; ++y)
            std::memcpy(static_cast<uint8_t*>(locked.pBits) + (size_t)y * locked.Pitch,
                        image.data() + (size_t)y * bitmaps.width, (size_t)bitmaps.width * 4);
        surface->UnlockRect();
        hr = device->SetCursorProperties(bitmaps.hotX, bitmaps.hotY, surface);
    }
    surface->Release();
    return hr;
}

HRESULT SetDeviceCursor(IDirect3DDevice8* device, HCURSOR cursor)
{
    DebugTrace("SetDeviceCursor: no icon information for cursor %p\n", (void*)cursor);
    return E_FAIL;
}
