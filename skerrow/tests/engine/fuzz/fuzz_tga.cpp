// The TGA decoder on arbitrary bytes: the signature is forced so every input reaches it.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "skerrow/Src/Bitmap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > (1u << 24)) return 0;
    std::vector<unsigned char> bytes(data, data + size);
    if (size && bytes[0] == 0x0A) bytes[0] = 0;
    if (size >= 2 && bytes[0] == 'B' && bytes[1] == 'M') bytes[0] = 0;
    Bitmap image;
    if (image.DecodeImage(bytes.data(), static_cast<int32_t>(bytes.size()))) {
        // Touch every pixel: a decoder that claims success must have filled its whole block.
        uint32_t sum = 0;
        for (int32_t y = 0; y < image.height; ++y)
            for (int32_t x = 0; x < image.width; ++x) sum += image.Pixel32(x, y);
        if (image.width <= 0 || image.height <= 0) std::abort();
        (void)sum;
    }
    return 0;
}
