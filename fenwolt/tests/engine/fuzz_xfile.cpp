#include "fenwolt/Game/Engine/EngineTables.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    XFileMesh mesh;
    if (mesh.ParseText(reinterpret_cast<const char*>(data), size, "fuzz.x")) {
        for (int i = 0; i < mesh.IndexCount; ++i)
            if (mesh.Indices[i] >= mesh.VertexCount) __builtin_trap();
    }
    return 0;
}
