#include "skerrow/Src/Bitmap.h"

#include <cstring>
#include <new>

#include "skerrow/Src/Log.h"
#include "skerrow/Src/ResourceLocator.h"
#include "platform/win32/byte_order.h"

int g_pixelFormat555 = 0;

namespace {

// No picture of the game comes near this; it keeps a hostile header from asking for gigabytes.
const int32_t kMaxDimension = 16384;
const int64_t kMaxPixels = 32 * 1024 * 1024;

// A 16-bit x555 pixel of a file in the display's layout.
uint16_t X555ToDisplay(uint16_t p)
{
    if (g_pixelFormat555) return p & 0x7FFF;
    uint16_t r = (p >> 10) & 31, g = (p >> 5) & 31, b = p & 31;
    return static_cast<uint16_t>(r << 11 | ((g << 1) | (g >> 4)) << 5 | b);
}

uint32_t X555ToRgb(uint16_t p)
{
    uint32_t r = (p >> 10) & 31, g = (p >> 5) & 31, b = p & 31;
    r = r << 3 | r >> 2;
    g = g << 3 | g >> 2;
    b = b << 3 | b >> 2;
    return r << 16 | g << 8 | b;
}

}  // namespace

void Bitmap::Free()
{
    delete[] pixels;
    delete[] palette;
    pixels = nullptr;
    palette = nullptr;
    width = height = bpp = paletteColors = dataSize = 0;
}

int Bitmap::Create(int32_t w, int32_t h, int32_t depth)
{
    Free();
    if (w <= 0 || h <= 0 || w > kMaxDimension || h > kMaxDimension || static_cast<int64_t>(w) * h > kMaxPixels)
        return 0;
    if (depth != 8 && depth != 16 && depth != 32) return 0;
    int64_t bytes = static_cast<int64_t>(w) * h * (depth / 8);
    pixels = new (std::nothrow) unsigned char[static_cast<size_t>(bytes)];
    if (!pixels) return 0;
    if (depth == 8) {
        palette = new (std::nothrow) uint32_t[256]();
        if (!palette) {
            Free();
            return 0;
        }
    }
    width = w;
    height = h;
    bpp = depth;
    dataSize = static_cast<int32_t>(bytes);
    return 1;
}

int Bitmap::Load(const char* path)
{
    char* data = LoadResourceFile(path, 1);
    if (!data) {
        LogMessage("Bitmap::Load( %s ) is absent\n", path ? path : "(null)");
        return 0;
    }
    int ok = DecodeImage(reinterpret_cast<const unsigned char*>(data), GetLastResourceSize());
    FreeResourceBuffer(data);
    return ok;
}

int Bitmap::DecodeImage(const unsigned char* data, int32_t size)
{
    Free();
    if (!data || size <= 0) return 0;
    if (data[0] == 0x0A) return DecodePcx(data, size);
    if (size >= 2 && data[0] == 'B' && data[1] == 'M') return DecodeBmp(data, size);
    return DecodeTga(data, size);
}

int Bitmap::DecodePcx(const unsigned char* data, int32_t size)
{
    if (size < 128) return 0;
    int32_t w = static_cast<int16_t>(LoadLe16(data + 8)) - static_cast<int16_t>(LoadLe16(data + 4)) + 1;
    int32_t h = static_cast<int16_t>(LoadLe16(data + 10)) - static_cast<int16_t>(LoadLe16(data + 6)) + 1;
    int planes = data[65];
    if (data[3] != 8 || (planes != 1 && planes != 3)) return 0;
    // Encoders pad plane lines to an even length and say so here; a field smaller than the
    // width is damage and the width stands.
    int32_t lineBytes = LoadLe16(data + 66);
    if (lineBytes < w) lineBytes = w;
    int32_t dataEnd = size;
    if (planes == 1) {
        if (size < 128 + 768) return 0;
        dataEnd = size - 768;
    }
    if (!Create(w, h, planes == 1 ? 8 : 32)) return 0;
    const int32_t rowBytes = lineBytes * planes;
    unsigned char* row = new (std::nothrow) unsigned char[static_cast<size_t>(rowBytes)];
    if (!row) {
        Free();
        return 0;
    }
    int32_t pos = 128;
    for (int32_t y = 0; y < h; ++y) {
        int32_t n = 0;
        while (n < rowBytes) {
            if (pos >= dataEnd) {
                delete[] row;
                Free();
                return 0;
            }
            unsigned char b = data[pos++];
            if ((b & 0xC0) == 0xC0) {
                int count = b & 0x3F;
                if (pos >= dataEnd) {
                    delete[] row;
                    Free();
                    return 0;
                }
                unsigned char v = data[pos++];
                // A run past the row's end is cut there.
                while (count-- > 0 && n < rowBytes) row[n++] = v;
            } else {
                row[n++] = b;
            }
        }
        if (planes == 1) {
            std::memcpy(pixels + static_cast<size_t>(y) * w, row, static_cast<size_t>(w));
        } else {
            uint32_t* out = reinterpret_cast<uint32_t*>(pixels) + static_cast<size_t>(y) * w;
            for (int32_t x = 0; x < w; ++x)
                out[x] = 0xFF000000u | static_cast<uint32_t>(row[x]) << 16 |
                         static_cast<uint32_t>(row[lineBytes + x]) << 8 | row[2 * lineBytes + x];
        }
    }
    delete[] row;
    if (planes == 1) {
        const unsigned char* pal = data + size - 768;
        for (int i = 0; i < 256; ++i)
            palette[i] = 0xFF000000u | static_cast<uint32_t>(pal[i * 3]) << 16 |
                         static_cast<uint32_t>(pal[i * 3 + 1]) << 8 | pal[i * 3 + 2];
        paletteColors = 256;
    }
    return 1;
}

int Bitmap::DecodeBmp(const unsigned char* data, int32_t size)
{
    if (size < 54) return 0;
    uint32_t offset = LoadLe32(data + 10);
    uint32_t infoSize = LoadLe32(data + 14);
    int32_t w = static_cast<int32_t>(LoadLe32(data + 18));
    int32_t h = static_cast<int32_t>(LoadLe32(data + 22));
    int depth = LoadLe16(data + 28);
    uint32_t compression = LoadLe32(data + 30);
    uint32_t colorsUsed = LoadLe32(data + 46);
    if (infoSize < 40 || infoSize > static_cast<uint32_t>(size) - 14) return 0;
    bool topDown = h < 0;
    if (topDown) {
        if (h == INT32_MIN) return 0;
        h = -h;
    }
    if (depth != 8 && depth != 24 && depth != 32) return 0;
    const bool rle8 = compression == 1 && depth == 8 && !topDown;
    if (rle8) {
    } else if (compression == 3 && depth == 32) {
        // Bit fields are accepted when they describe the plain B, G, R byte order.
        // The masks follow the 40-byte part of the header in every header version.
        const uint32_t masksAt = 54;
        if (masksAt + 12 > static_cast<uint32_t>(size)) return 0;
        if (LoadLe32(data + masksAt) != 0x00FF0000u || LoadLe32(data + masksAt + 4) != 0x0000FF00u ||
            LoadLe32(data + masksAt + 8) != 0x000000FFu)
            return 0;
    } else if (compression != 0) {
        return 0;
    }
    if (w <= 0 || h <= 0 || w > kMaxDimension || h > kMaxDimension) return 0;
    int bytesPerPixel = depth / 8;
    int64_t stride = (static_cast<int64_t>(w) * bytesPerPixel + 3) & ~static_cast<int64_t>(3);
    if (offset > static_cast<uint32_t>(size)) return 0;
    if (!rle8 && static_cast<int64_t>(offset) + stride * h > size) return 0;
    if (!Create(w, h, depth == 8 ? 8 : 32)) return 0;
    if (depth == 8) {
        uint32_t colors = colorsUsed == 0 || colorsUsed > 256 ? 256 : colorsUsed;
        // The palette follows the info header, whatever its version.
        uint32_t palAt = 14 + infoSize;
        uint32_t available = palAt < offset ? (offset - palAt) / 4 : 0;
        if (colors > available) colors = available;
        for (uint32_t i = 0; i < colors; ++i) palette[i] = LoadLe32(data + palAt + i * 4);
        paletteColors = static_cast<int32_t>(colors);
    }
    if (rle8) {
        // Pixels the stream skips keep index 0.
        std::memset(pixels, 0, static_cast<size_t>(dataSize));
        int64_t pos = offset;
        int32_t x = 0, row = 0;
        auto put = [&](unsigned char v) {
            if (x < w && row < h) pixels[static_cast<size_t>(h - 1 - row) * w + x] = v;
            ++x;
        };
        while (pos + 1 < size && row < h) {
            unsigned char count = data[pos], value = data[pos + 1];
            pos += 2;
            if (count) {
                for (int i = 0; i < count; ++i) put(value);
            } else if (value == 0) {
                x = 0;
                ++row;
            } else if (value == 1) {
                break;
            } else if (value == 2) {
                if (pos + 1 >= size) break;
                x += data[pos];
                row += data[pos + 1];
                pos += 2;
            } else {
                if (pos + value > size) break;
                for (int i = 0; i < value; ++i) put(data[pos + i]);
                pos += value + (value & 1);
            }
        }
        return 1;
    }
    for (int32_t y = 0; y < h; ++y) {
        const unsigned char* src = data + offset + stride * y;
        int32_t target = topDown ? y : h - 1 - y;
        if (depth == 8) {
            std::memcpy(pixels + static_cast<size_t>(target) * w, src, static_cast<size_t>(w));
        } else {
            uint32_t* out = reinterpret_cast<uint32_t*>(pixels) + static_cast<size_t>(target) * w;
            for (int32_t x = 0; x < w; ++x) {
                const unsigned char* p = src + x * bytesPerPixel;
                out[x] = static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                         static_cast<uint32_t>(p[2]) << 16;
            }
        }
    }
    return 1;
}

int Bitmap::DecodeTga(const unsigned char* data, int32_t size)
{
    if (size < 18) return 0;
    int idLength = data[0];
    int mapType = data[1];
    int type = data[2];
    int mapFirst = LoadLe16(data + 3);
    int mapLength = LoadLe16(data + 5);
    int mapEntryBits = data[7];
    int32_t w = LoadLe16(data + 12);
    int32_t h = LoadLe16(data + 14);
    int depth = data[16];
    bool topDown = (data[17] & 0x20) != 0;
    if (type != 1 && type != 2 && type != 9 && type != 10) return 0;
    bool mapped = type == 1 || type == 9;
    if (!mapType) mapLength = 0;
    int mapEntryBytes = (mapEntryBits + 7) / 8;
    int64_t pixelStart = 18 + idLength + static_cast<int64_t>(mapLength) * mapEntryBytes;
    if (pixelStart > size) return 0;
    if (mapped) {
        if (depth != 8 || (mapEntryBits != 15 && mapEntryBits != 16 && mapEntryBits != 24 && mapEntryBits != 32))
            return 0;
    } else if (depth != 15 && depth != 16 && depth != 24 && depth != 32) {
        return 0;
    }
    int bytesPerPixel = (depth + 7) / 8;
    int outDepth = mapped ? 8 : (depth <= 16 ? 16 : 32);
    if (!Create(w, h, outDepth)) return 0;
    if (mapped) {
        const unsigned char* map = data + 18 + idLength;
        for (int i = 0; i < mapLength && mapFirst + i < 256; ++i) {
            const unsigned char* e = map + static_cast<size_t>(i) * mapEntryBytes;
            uint32_t c;
            if (mapEntryBytes == 2)
                c = X555ToRgb(LoadLe16(e));
            else
                c = static_cast<uint32_t>(e[0]) | static_cast<uint32_t>(e[1]) << 8 | static_cast<uint32_t>(e[2]) << 16;
            palette[mapFirst + i] = c;
        }
        paletteColors = mapLength < 256 ? mapLength : 256;
    }
    // Pixels are decoded as one stream; the row order is applied when storing, so run-length
    // packets that cross a row end decode as their writer meant.
    const int64_t total = static_cast<int64_t>(w) * h;
    const int outBytes = outDepth / 8;
    auto store = [&](int64_t index, const unsigned char* p) {
        int64_t y = index / w, x = index % w;
        int64_t row = topDown ? y : h - 1 - y;
        unsigned char* out = pixels + (row * w + x) * outBytes;
        switch (bytesPerPixel) {
        case 1:
            out[0] = p[0];
            break;
        case 2: {
            uint16_t v = X555ToDisplay(LoadLe16(p));
            std::memcpy(out, &v, 2);
            break;
        }
        case 3: {
            uint32_t v = static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16;
            std::memcpy(out, &v, 4);
            break;
        }
        default:
            std::memcpy(out, p, 4);
            break;
        }
    };
    int64_t pos = pixelStart;
    if (type == 1 || type == 2) {
        if (pos + total * bytesPerPixel > size) {
            Free();
            return 0;
        }
        for (int64_t i = 0; i < total; ++i) store(i, data + pos + i * bytesPerPixel);
        return 1;
    }
    int64_t i = 0;
    while (i < total) {
        if (pos >= size) {
            Free();
            return 0;
        }
        unsigned char header = data[pos++];
        int64_t count = (header & 0x7F) + 1;
        if (count > total - i) count = total - i;
        if (header & 0x80) {
            if (pos + bytesPerPixel > size) {
                Free();
                return 0;
            }
            for (int64_t k = 0; k < count; ++k) store(i++, data + pos);
            pos += bytesPerPixel;
        } else {
            if (pos + count * bytesPerPixel > size) {
                Free();
                return 0;
            }
            for (int64_t k = 0; k < count; ++k) {
                store(i++, data + pos);
                pos += bytesPerPixel;
            }
        }
    }
    return 1;
}

uint32_t Bitmap::Pixel32(int32_t x, int32_t y) const
{
    size_t index = static_cast<size_t>(y) * width + x;
    switch (bpp) {
    case 8:
        return palette[pixels[index]] & 0x00FFFFFF;
    case 16: {
        uint16_t p;
        std::memcpy(&p, pixels + index * 2, 2);
        uint32_t r, g, b;
        if (g_pixelFormat555) {
            r = (p >> 10 & 31) << 3;
            g = (p >> 5 & 31) << 3;
        } else {
            r = (p >> 11 & 31) << 3;
            g = (p >> 5 & 63) << 2;
        }
        b = (p & 31) << 3;
        return r << 16 | g << 8 | b;
    }
    default: {
        uint32_t p;
        std::memcpy(&p, pixels + index * 4, 4);
        return p & 0x00FFFFFF;
    }
    }
}

uint16_t Bitmap::Pixel16(int32_t x, int32_t y) const
{
    uint16_t p;
    std::memcpy(&p, pixels + (static_cast<size_t>(y) * width + x) * 2, 2);
    return p;
}

int Bitmap::ResampleFrom(const Bitmap& source)
{
    if (!pixels || !source.pixels || (bpp != 16 && bpp != 32)) return 0;
    const size_t count = static_cast<size_t>(width) * height;
    struct Sum {
        uint32_t r, g, b, n;
    };
    Sum* sums = new (std::nothrow) Sum[count]();
    if (!sums) return 0;
    const float ratioX = static_cast<float>(width) / static_cast<float>(source.width);
    const float ratioY = static_cast<float>(height) / static_cast<float>(source.height);
    float fy = 0.0f;
    for (int32_t i = 0; i < source.height; ++i, fy += ratioY) {
        int32_t ty = static_cast<int32_t>(fy);
        if (ty >= height) ty = height - 1;
        float fx = 0.0f;
        for (int32_t j = 0; j < source.width; ++j, fx += ratioX) {
            int32_t tx = static_cast<int32_t>(fx);
            if (tx >= width) tx = width - 1;
            uint32_t c = source.Pixel32(j, i);
            Sum& s = sums[static_cast<size_t>(ty) * width + tx];
            s.r += c >> 16 & 0xFF;
            s.g += c >> 8 & 0xFF;
            s.b += c & 0xFF;
            ++s.n;
        }
    }
    for (size_t k = 0; k < count; ++k) {
        const Sum& s = sums[k];
        // A target pixel that received nothing (an enlargement) stays black rather than
        // dividing by zero.
        uint32_t r = s.n ? s.r / s.n : 0, g = s.n ? s.g / s.n : 0, b = s.n ? s.b / s.n : 0;
        if (bpp == 16) {
            uint16_t p = g_pixelFormat555 ? static_cast<uint16_t>((r >> 3) << 10 | (g >> 3) << 5 | b >> 3)
                                          : static_cast<uint16_t>((r >> 3) << 11 | (g >> 2) << 5 | b >> 3);
            std::memcpy(pixels + k * 2, &p, 2);
        } else {
            uint32_t p = r << 16 | g << 8 | b;
            std::memcpy(pixels + k * 4, &p, 4);
        }
    }
    delete[] sums;
    return 1;
}
