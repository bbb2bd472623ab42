// The .anx reader over arbitrary bytes, for a mesh of 64 vertices, into every slot.
#include "fenwolt/Game/Engine/VertexAnimation.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static ModelVertex mesh[64] = {};
    const int slot = size > 0 ? data[0] % 18 : 0;  // 17 is out of range
    LoadAnimationData(nullptr, data, size, mesh, 64, slot, "fuzz.anx");
    ModelInstance m;
    m.InUse = 1;
    ResetInstanceAnimations(m);
    m.AnimationSlot = slot;
    m.AnimSecondsPerTick[slot % ANIMATION_SLOT_COUNT] = 0.001f;
    StepModelAnimation(m, 1000.0f);
    FreeAllAnimations();
    return 0;
}
