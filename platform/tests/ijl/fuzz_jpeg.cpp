// JPEG streams through the ijl calls the game's own texture loader makes: parameters, then the
// whole image as B, G, R into a buffer of exactly the announced size.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/ijl/ijl.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    JPEG_CORE_PROPERTIES p;
    if (ijlInit(&p) != IJL_OK) return 0;
    p.JPGBytes = const_cast<BYTE*>(data);
    p.JPGSizeBytes = static_cast<DWORD>(size);
    if (ijlRead(&p, IJL_JBUFF_READPARAMS) == IJL_OK && uint64_t(p.JPGWidth) * p.JPGHeight <= (1u << 22)) {
        std::vector<BYTE> bgr(size_t(p.JPGWidth) * p.JPGHeight * 3);
        p.DIBWidth = p.JPGWidth;
        p.DIBHeight = static_cast<INT>(p.JPGHeight);
        p.DIBChannels = 3;
        p.DIBColor = IJL_BGR;
        p.DIBBytes = bgr.data();
        ijlRead(&p, IJL_JBUFF_READWHOLEIMAGE);
    }
    ijlFree(&p);
    return 0;
}
