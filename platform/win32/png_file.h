// The one PNG writer: the platform's screenshots (PlatformWriteRgbPng) and the pictures that the
// data generators and tools write. It needs libpng alone, not SDL, so that programs of their own
// can link it (platform_png); the games reach it only through the screenshots.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// `pixels` holds `height` rows of `width` pixels, top row first, without padding; a pixel is
// `channels` bytes, 3 for RGB or 4 for RGBA, 8 bits each. Writes them to `path` as given (the
// name is not mapped). False when there is no such picture or the file cannot be written, with
// the reason in `why` ("cannot create <path>: <error>", ...).
bool PlatformWritePng(const std::string& path, int width, int height, int channels,
                      const std::vector<uint8_t>& pixels, std::string& why);
