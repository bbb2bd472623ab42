// Placement lists over arbitrary text, into a small instance table.
#include "fenwolt/Game/Engine/PlacementLists.h"

#include <cstddef>
#include <cstdint>

namespace {
ModelInstance g_table[16];

int Create(const char*, const char*, float, float, float, float, float, float, float)
{
    for (int i = 0; i < 16; ++i) {
        if (!g_table[i].InUse) {
            g_table[i] = ModelInstance{};
            g_table[i].InUse = 1;
            return i;
        }
    }
    return INSTANCE_NONE;
}

int Free(int i)
{
    g_table[i].InUse = 0;
    return 1;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    PlacementInstanceHooks hooks;
    hooks.Create = Create;
    hooks.Free = Free;
    SetPlacementInstanceHooks(hooks);
    LoadModelListInto(g_table, 16, reinterpret_cast<const char*>(data), size);
    return 0;
}
