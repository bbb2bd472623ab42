#include "platform/win32/png_file.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

bool PlatformWritePng(const std::string& path, int width, int height, int channels,
                      const std::vector<uint8_t>& pixels, std::string& why)
{
    if (width <= 0 || height <= 0 || (channels != 3 && channels != 4) ||
        pixels.size() < static_cast<size_t>(width) * height * channels) {
        why = "no " + std::to_string(width) + " x " + std::to_string(height) + " picture to write to " + path;
        return false;
    }
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) {
        why = "cannot create " + path + ": " + strerror(errno);
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        fclose(f);
        why = "cannot write " + path;
        return false;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 channels == 4 ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const size_t stride = static_cast<size_t>(width) * channels;
    for (int y = 0; y < height; ++y) png_write_row(png, const_cast<png_bytep>(pixels.data() + y * stride));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    if (fclose(f) != 0) {
        why = "cannot finish " + path;
        return false;
    }
    return true;
}
