// Pictures the programs wrote, read back for the tests to compare (link PNG::PNG).
#pragma once

#include <png.h>

#include <cstdint>
#include <filesystem>
#include <vector>

// Rows of RGB byte triples, top row first; false, with `rgb` empty, when the file is no PNG.
inline bool ReadRgbPng(const std::filesystem::path& path, std::vector<uint8_t>& rgb, int& width, int& height)
{
    rgb.clear();
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    image.format = PNG_FORMAT_RGB;
    rgb.assign(PNG_IMAGE_SIZE(image), 0);
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) {
        rgb.clear();
        return false;
    }
    width = static_cast<int>(image.width);
    height = static_cast<int>(image.height);
    return true;
}

// How many pixels of an RGB picture `width` pixels wide, in the rectangle [x0, x1) x [y0, y1),
// `keep(r, g, b)` holds for.
template <class Keep>
int CountPixels(const std::vector<uint8_t>& rgb, int width, int x0, int y0, int x1, int y1, Keep keep)
{
    int count = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            const uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
            count += keep(p[0], p[1], p[2]) ? 1 : 0;
        }
    return count;
}

// Text drawn in white, as the games' captions and messages are.
inline bool IsWhiteText(uint8_t r, uint8_t g, uint8_t b) { return r > 220 && g > 220 && b > 220; }
