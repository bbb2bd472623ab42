// The BMP decoder on arbitrary bytes: the signature is forced so every input reaches it.
#include <cstdint>
#include <vector>

#include "fuzz_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > (1u << 24)) return 0;
    std::vector<unsigned char> bytes(data, data + size);
    if (size >= 2) {
        bytes[0] = 'B';
        bytes[1] = 'M';
    }
    DecodeAndTouchEveryPixel(bytes);
    return 0;
}
