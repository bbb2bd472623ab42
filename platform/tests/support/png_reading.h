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
