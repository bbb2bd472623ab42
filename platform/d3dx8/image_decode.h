// Picture decoding for the texture loader, apart from any device: TGA (true colour, grey and
// colour-mapped, raw and run-length) and JPEG (through the ijl calls) into 32-bit ARGB pixels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace d3dx_detail {

enum class ImageKind { Tga, Jpeg };

struct Image {
    uint32_t width = 0, height = 0;
    std::vector<uint32_t> argb;  // row 0 is the top row
    ImageKind kind = ImageKind::Tga;
    uint32_t bitsPerPixel = 0;  // as stored in the file
    bool hasAlpha = false;      // the file carries an alpha channel (32-bit, or 16-bit with its bit)
};

// The largest width or height accepted, so that a header cannot demand gigabytes.
constexpr uint32_t kMaxImageSide = 16384;

bool DecodeTga(const uint8_t* data, size_t size, Image& out, std::string& error);
bool DecodeJpeg(const uint8_t* data, size_t size, Image& out, std::string& error);
// JPEG when the data starts with the JPEG start-of-image marker, otherwise TGA.
bool DecodeImage(const uint8_t* data, size_t size, Image& out, std::string& error);

}  // namespace d3dx_detail
