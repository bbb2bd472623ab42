#include "fenwolt/Game/Engine/Textures.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    DecodedPicture picture;
    if (DecodeTga(data, size, picture) && picture.Pixels.size() != (size_t)picture.Width * picture.Height) __builtin_trap();
    return 0;
}
