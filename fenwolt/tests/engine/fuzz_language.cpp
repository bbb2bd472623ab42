#include "fenwolt/Game/Engine/Texts.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ResetTextPools();
    LoadTextResource(reinterpret_cast<const char*>(data), size);
    for (int i = 0; i < TextEntryCount; ++i)
        if (std::strlen(GetText((TextId)i)) > TEXT_MAX_LENGTH) __builtin_trap();
    return 0;
}
