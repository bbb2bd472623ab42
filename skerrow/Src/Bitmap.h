// An image in memory, decoded from PCX, BMP or TGA, and converted to the display's 16-bit
// layout before it is copied into a surface.
#pragma once

#include <cstdint>

// The 16-bit layout of the display: 1 for x555, 0 for 565. Set by Graphics::Init.
extern int g_pixelFormat555;

class Bitmap {
public:
    Bitmap() = default;
    ~Bitmap() { Free(); }
    Bitmap(const Bitmap&) = delete;
    Bitmap& operator=(const Bitmap&) = delete;

    // Pixel contents undefined; an 8-bit image gets a zeroed palette. 0 on a size that cannot
    // be an image of the game.
    int Create(int32_t width, int32_t height, int32_t bpp);
    int Load(const char* path);
    // Chooses the decoder from the first bytes; 0 when the data is not a supported image.
    int DecodeImage(const unsigned char* data, int32_t size);
    // Box filter from a source of any depth into this image's size and depth (shrink or keep).
    int ResampleFrom(const Bitmap& source);
    void Free();

    int32_t width = 0;
    int32_t height = 0;
    int32_t bpp = 0;
    uint32_t* palette = nullptr;
    int32_t paletteColors = 0;
    unsigned char* pixels = nullptr;
    int32_t dataSize = 0;

    uint32_t Pixel32(int32_t x, int32_t y) const;
    uint16_t Pixel16(int32_t x, int32_t y) const;

private:
    int DecodePcx(const unsigned char* data, int32_t size);
    int DecodeBmp(const unsigned char* data, int32_t size);
    int DecodeTga(const unsigned char* data, int32_t size);
};
