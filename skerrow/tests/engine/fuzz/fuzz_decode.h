// What every image decoder target checks once its signature has been forced onto the input.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "skerrow/Src/Bitmap.h"

inline void DecodeAndTouchEveryPixel(const std::vector<unsigned char>& bytes)
{
    Bitmap image;
    if (image.DecodeImage(bytes.data(), static_cast<int32_t>(bytes.size()))) {
        // A decoder that claims success must have filled its whole block.
        uint32_t sum = 0;
        for (int32_t y = 0; y < image.height; ++y)
            for (int32_t x = 0; x < image.width; ++x) sum += image.Pixel32(x, y);
        if (image.width <= 0 || image.height <= 0) std::abort();
        (void)sum;
    }
}
