// Every read of pixel data is checked against the end of the file: a header that promises more
// pixels than the file holds fails as truncated, and run-length packets never write past the
// picture.
#include "platform/d3dx8/image_decode.h"

#include <cstring>

#include "platform/ijl/ijl.h"
#include "platform/win32/byte_order.h"

namespace d3dx_detail {
namespace {

inline uint32_t Argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) { return (a << 24) | (r << 16) | (g << 8) | b; }

inline uint32_t Expand5(uint32_t v) { return (v << 3) | (v >> 2); }

// One stored pixel of `bytes` bytes as ARGB. 15/16-bit pixels are X1R5G5B5 (A1R5G5B5 with
// `alphaBit`); 8-bit pixels are grey.
uint32_t PixelToArgb(const uint8_t* p, uint32_t bytes, bool alphaBit)
{
    switch (bytes) {
    case 1: return Argb(255, p[0], p[0], p[0]);
    case 2: {
        const uint32_t w = LoadLe16(p);
        const uint32_t a = alphaBit ? ((w & 0x8000) ? 255u : 0u) : 255u;
        return Argb(a, Expand5((w >> 10) & 31), Expand5((w >> 5) & 31), Expand5(w & 31));
    }
    case 3: return Argb(255, p[2], p[1], p[0]);
    default: return Argb(p[3], p[2], p[1], p[0]);
    }
}

}  // namespace

bool DecodeTga(const uint8_t* data, size_t size, Image& out, std::string& error)
{
    out = Image();
    if (size < 18) {
        error = "TGA header is truncated";
        return false;
    }
    const uint32_t idLength = data[0], mapType = data[1], type = data[2];
    const uint32_t mapFirst = LoadLe16(data + 3), mapLength = LoadLe16(data + 5), mapBits = data[7];
    const uint32_t width = LoadLe16(data + 12), height = LoadLe16(data + 14), bits = data[16], desc = data[17];
    const bool rle = type >= 9;
    const uint32_t baseType = rle ? type - 8 : type;
    if (baseType < 1 || baseType > 3 || (type > 3 && type < 9) || type > 11) {
        error = "unsupported TGA image type " + std::to_string(type);
        return false;
    }
    if (width == 0 || height == 0 || width > kMaxImageSide || height > kMaxImageSide) {
        error = "TGA picture size out of range";
        return false;
    }
    const bool mapped = baseType == 1, grey = baseType == 3;
    if ((mapped && (bits != 8 && bits != 16)) || (grey && bits != 8) ||
        (baseType == 2 && bits != 15 && bits != 16 && bits != 24 && bits != 32)) {
        error = "unsupported TGA depth " + std::to_string(bits) + " for type " + std::to_string(type);
        return false;
    }
    if (mapped && (mapType != 1 || (mapBits != 15 && mapBits != 16 && mapBits != 24 && mapBits != 32))) {
        error = "colour-mapped TGA without a usable colour map";
        return false;
    }
    const uint32_t attributeBits = desc & 0x0F;
    const size_t mapEntryBytes = (mapBits + 7) / 8;
    size_t pos = 18 + idLength;
    std::vector<uint32_t> palette;
    if (mapType != 0) {
        const size_t mapBytes = size_t(mapLength) * mapEntryBytes;
        if (pos + mapBytes > size) {
            error = "TGA colour map is truncated";
            return false;
        }
        if (mapped) {
            palette.resize(mapLength);
            for (uint32_t i = 0; i < mapLength; ++i)
                palette[i] = PixelToArgb(data + pos + i * mapEntryBytes, static_cast<uint32_t>(mapEntryBytes),
                                         mapBits == 16 && attributeBits > 0);
        }
        pos += mapBytes;
    }
    if (pos > size) {
        error = "TGA header is truncated";
        return false;
    }

    const uint32_t pixelBytes = (bits + 7) / 8;
    const bool alphaBit = (bits == 16 && attributeBits > 0);
    auto convert = [&](const uint8_t* p) -> uint32_t {
        if (!mapped) return PixelToArgb(p, pixelBytes, alphaBit);
        const uint32_t index = pixelBytes == 1 ? p[0] : LoadLe16(p);
        // An index outside the map shows as opaque black.
        if (index < mapFirst || index - mapFirst >= palette.size()) return Argb(255, 0, 0, 0);
        return palette[index - mapFirst];
    };

    const size_t total = size_t(width) * height;
    // Checked before allocating: raw data needs every pixel, run-length data at least one
    // packet of two bytes per 128 pixels.
    if ((!rle && total * pixelBytes > size - pos) || (rle && total > (size - pos) / 2 * 128 + 128)) {
        error = "TGA pixel data is truncated";
        return false;
    }
    std::vector<uint32_t> stream(total);
    if (!rle) {
        for (size_t i = 0; i < total; ++i) stream[i] = convert(data + pos + i * pixelBytes);
    } else {
        // Packets may run on from one row into the next (as many writers produce them); nothing
        // is ever written past the last pixel.
        size_t written = 0;
        while (written < total) {
            if (pos >= size) {
                error = "TGA run-length data is truncated";
                return false;
            }
            const uint32_t header = data[pos++];
            const size_t count = (header & 0x7F) + 1;
            const size_t take = count < total - written ? count : total - written;
            if (header & 0x80) {
                if (pixelBytes > size - pos) {
                    error = "TGA run-length data is truncated";
                    return false;
                }
                const uint32_t value = convert(data + pos);
                pos += pixelBytes;
                for (size_t i = 0; i < take; ++i) stream[written++] = value;
            } else {
                if (count * pixelBytes > size - pos) {
                    error = "TGA run-length data is truncated";
                    return false;
                }
                for (size_t i = 0; i < take; ++i) stream[written++] = convert(data + pos + i * pixelBytes);
                pos += count * pixelBytes;
            }
        }
    }

    const bool topDown = (desc & 0x20) != 0, rightToLeft = (desc & 0x10) != 0;
    out.width = width;
    out.height = height;
    out.argb.resize(total);
    for (uint32_t row = 0; row < height; ++row) {
        const uint32_t y = topDown ? row : height - 1 - row;
        for (uint32_t col = 0; col < width; ++col) {
            const uint32_t x = rightToLeft ? width - 1 - col : col;
            out.argb[size_t(y) * width + x] = stream[size_t(row) * width + col];
        }
    }
    out.kind = ImageKind::Tga;
    out.bitsPerPixel = bits;
    out.hasAlpha = bits == 32 || alphaBit || (mapped && (mapBits == 32 || (mapBits == 16 && attributeBits > 0)));
    return true;
}

bool DecodeJpeg(const uint8_t* data, size_t size, Image& out, std::string& error)
{
    out = Image();
    if (size == 0 || size > 0xFFFFFFFFu) {
        error = "JPEG data of unusable size";
        return false;
    }
    JPEG_CORE_PROPERTIES props;
    ijlInit(&props);
    props.JPGBytes = const_cast<BYTE*>(data);
    props.JPGSizeBytes = static_cast<DWORD>(size);
    IJLERR rc = ijlRead(&props, IJL_JBUFF_READPARAMS);
    if (rc != IJL_OK) {
        ijlFree(&props);
        error = std::string("JPEG header: ") + ijlErrorStr(rc);
        return false;
    }
    if (props.JPGWidth > kMaxImageSide || props.JPGHeight > kMaxImageSide) {
        ijlFree(&props);
        error = "JPEG picture size out of range";
        return false;
    }
    const uint32_t width = props.JPGWidth, height = props.JPGHeight;
    // No JPEG stream packs more than a few hundred pixels into a byte; a header that claims far
    // more is refused before its picture memory is allocated.
    if (uint64_t(width) * height > uint64_t(size) * 4096 + 65536) {
        ijlFree(&props);
        error = "JPEG picture size implausible for its data";
        return false;
    }
    std::vector<BYTE> bgr(size_t(width) * height * 3);
    props.DIBWidth = width;
    props.DIBHeight = static_cast<INT>(height);
    props.DIBChannels = 3;
    props.DIBColor = IJL_BGR;
    props.DIBPadBytes = 0;
    props.DIBBytes = bgr.data();
    rc = ijlRead(&props, IJL_JBUFF_READWHOLEIMAGE);
    ijlFree(&props);
    if (rc != IJL_OK) {
        error = std::string("JPEG data: ") + ijlErrorStr(rc);
        return false;
    }
    out.width = width;
    out.height = height;
    out.argb.resize(size_t(width) * height);
    for (size_t i = 0; i < out.argb.size(); ++i) out.argb[i] = Argb(255, bgr[i * 3 + 2], bgr[i * 3 + 1], bgr[i * 3]);
    out.kind = ImageKind::Jpeg;
    out.bitsPerPixel = 24;
    out.hasAlpha = false;
    return true;
}

bool DecodeImage(const uint8_t* data, size_t size, Image& out, std::string& error)
{
    if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) return DecodeJpeg(data, size, out, error);
    return DecodeTga(data, size, out, error);
}

}  // namespace d3dx_detail
