#include "fenwolt/Game/Engine/VertexAnimation.h"

#include "fenwolt/Game/GameApp.h"
#include "fenwolt/common/Utilities.h"

#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

AnimationSlotData AnimationStore[ANIMATION_SLOT_COUNT];

namespace {

constexpr size_t kHeaderBytes = 16;

uint32_t ReadWord(const uint8_t* p) { return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24; }

float ReadFloat(const uint8_t* p)
{
    uint32_t bits = ReadWord(p);
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

bool ValidSlot(int slot) { return slot >= 0 && slot < ANIMATION_SLOT_COUNT; }

// One managed vertex buffer for each frame in memory; false (with a trace) when one cannot be
// made or filled, the buffers made so far staying in the slot for its release.
bool CreateFrameBuffers(IDirect3DDevice8* device, AnimationSlotData& s, const char* name)
{
    const UINT bytes = s.VertexCount * (UINT)sizeof(ModelVertex);
    for (uint32_t f = 0; f < s.StoredFrames(); ++f) {
        IDirect3DVertexBuffer8* buffer = nullptr;
        if (FAILED(device->CreateVertexBuffer(bytes, D3DUSAGE_WRITEONLY, MODEL_VERTEX_FVF, D3DPOOL_MANAGED, &buffer)) ||
            !buffer) {
            DebugOutPair("Could not create animation buffer", name);
            return false;
        }
        s.Buffers[f] = buffer;
        BYTE* dst = nullptr;
        if (FAILED(buffer->Lock(0, bytes, &dst, 0)) || !dst) {
            DebugOutPair("Could not fill animation buffer", name);
            return false;
        }
        std::memcpy(dst, s.Frames[f], bytes);
        buffer->Unlock();
    }
    return true;
}

void FreeFrames(ModelVertex** frames, int count)
{
    for (int i = 0; i < count; ++i) {
        std::free(frames[i]);
        frames[i] = nullptr;
    }
}

}  // namespace

void ClearAnimationStore()
{
    for (AnimationSlotData& s : AnimationStore) {
        for (int f = 0; f < MAX_ANIMATION_FRAMES; ++f) {
            s.Frames[f] = nullptr;
            s.Buffers[f] = nullptr;
        }
    }
}

void FreeAnimationSlot(int slot)
{
    if (!ValidSlot(slot)) return;
    AnimationSlotData& s = AnimationStore[slot];
    FreeFrames(s.Frames, MAX_ANIMATION_FRAMES);
    for (IDirect3DVertexBuffer8*& b : s.Buffers) {
        if (b) b->Release();
        b = nullptr;
    }
    s.VertexCount = 0;
    s.FrameCount = 0;
    std::memset(s.Durations, 0, sizeof s.Durations);
}

void FreeAllAnimations()
{
    for (int i = 0; i < ANIMATION_SLOT_COUNT; ++i) FreeAnimationSlot(i);
}

int LoadAnimationData(IDirect3DDevice8* device, const uint8_t* data, size_t size, const ModelVertex* meshVertices,
                      uint32_t meshVertexCount, int slot, const char* name)
{
    if (!name) name = "";
    if (!ValidSlot(slot)) {
        DebugOutPair("Bad animation slot", name);
        return 0;
    }
    if (!data || size < kHeaderBytes || ReadWord(data) != ANX_VERSION) {
        DebugOutPair("Bad animation file version", name);
        return 0;
    }
    const uint32_t vertexCount = ReadWord(data + 4);
    const uint32_t headerWord = ReadWord(data + 8);
    const uint32_t frameCount = ReadWord(data + 12);
    if (frameCount > (uint32_t)MAX_ANIMATION_FRAMES) {
        DebugOutPair("Too many animation frames", name);
        return 0;
    }
    if (vertexCount == 0 || vertexCount > meshVertexCount || !meshVertices) {
        DebugOutPair("Animation does not fit its mesh", name);
        return 0;
    }
    const size_t durationsEnd = kHeaderBytes + 4 * (size_t)frameCount;
    const uint32_t storedFrames = frameCount > 0 ? frameCount : 1;
    const size_t frameBytes = 12 * (size_t)vertexCount;
    if (size < durationsEnd + 4 || (size - durationsEnd - 4) / frameBytes < storedFrames) {
        DebugOutPair("Animation file too short", name);
        return 0;
    }
    int32_t durations[MAX_ANIMATION_FRAMES] = {};
    for (uint32_t f = 0; f < frameCount; ++f) {
        durations[f] = (int32_t)ReadWord(data + kHeaderBytes + 4 * f);
        if (durations[f] < 0) {
            DebugOutPair("Negative animation frame duration", name);
            return 0;
        }
    }

    // The file is whole: only now does the slot give up what it held.
    FreeAnimationSlot(slot);
    AnimationSlotData& s = AnimationStore[slot];
    s.VertexCount = vertexCount;
    s.HeaderWord = headerWord;
    s.FrameCount = frameCount;
    std::memcpy(s.Durations, durations, sizeof durations);
    s.TrailerWord = ReadWord(data + durationsEnd);

    const uint8_t* positions = data + durationsEnd + 4;
    for (uint32_t f = 0; f < storedFrames; ++f) {
        auto* frame = static_cast<ModelVertex*>(std::calloc(vertexCount, sizeof(ModelVertex)));
        if (!frame) {
            DebugOutPair("Out of memory for animation", name);
            FreeAnimationSlot(slot);
            return 0;
        }
        for (uint32_t v = 0; v < vertexCount; ++v) {
            const uint8_t* p = positions + frameBytes * f + 12 * v;
            frame[v] = meshVertices[v];
            frame[v].x = ReadFloat(p);
            frame[v].y = ReadFloat(p + 4);
            frame[v].z = ReadFloat(p + 8);
        }
        s.Frames[f] = frame;
    }
    if (!device) return 1;
    if (!CreateFrameBuffers(device, s, name)) {
        FreeAnimationSlot(slot);
        return 0;
    }
    return 1;
}

void ReleaseAnimationBuffers()
{
    for (AnimationSlotData& s : AnimationStore)
        for (IDirect3DVertexBuffer8*& b : s.Buffers) {
            if (b) b->Release();
            b = nullptr;
        }
}

void RestoreAnimationBuffers(IDirect3DDevice8* device)
{
    if (!device) return;
    for (int slot = 0; slot < ANIMATION_SLOT_COUNT; ++slot) {
        AnimationSlotData& s = AnimationStore[slot];
        if (s.StoredFrames() == 0 || s.Buffers[0]) continue;
        // A slot whose buffers cannot be made is emptied, and is then loaded again when needed.
        if (!CreateFrameBuffers(device, s, "an animation on the new device")) FreeAnimationSlot(slot);
    }
}

int LoadAnimationFileForMesh(IDirect3DDevice8* device, const char* file, const XFileMesh& mesh, int slot)
{
    if (!file || !ValidSlot(slot)) return 0;
    DWORD size = 0;
    HGLOBAL block = ReadWholeFile(file, &size);
    if (!block) {
        DebugOutPair("Could not open animation", file);
        return 0;
    }
    int result = 0;
    if (const auto* data = static_cast<const uint8_t*>(GlobalLock(block))) {
        result = LoadAnimationData(device, data, size, mesh.Vertices,
                                   mesh.VertexCount > 0 ? (uint32_t)mesh.VertexCount : 0u, slot, file);
        GlobalUnlock(block);
    }
    GlobalFree(block);
    return result;
}

int LoadAnimationFile(const char* file, int meshIndex, int slot)
{
    if (!TheAppConstructed() || meshIndex < 0 || meshIndex >= MESH_COUNT || !TheApp.MeshTable[meshIndex]) {
        DebugOutPair("No mesh for animation", file ? file : "");
        return 0;
    }
    return LoadAnimationFileForMesh(TheApp.Device, file, *TheApp.MeshTable[meshIndex], slot);
}

void ResetInstanceAnimations(ModelInstance& m)
{
    for (int s = 0; s < 12; ++s) {
        m.AnimCurrentFrame[s] = 0;
        m.AnimBlend[s] = 1.0f;
        m.AnimTimeInFrame[s] = 0.0f;
        m.AnimNextFrame[s] = (s == 1 || s == 2 || s == 5 || s == 7 || s == 8 || s == 11) ? 1 : 0;
        m.AnimSecondsPerTick[s] = s == 4 ? 10.0f : s == 11 ? 0.01f : 0.02f;
    }
    m.RenderKind = RENDER_KIND_MORPH;
    m.Animating = 1;
    m.ShadowHeightOffset = 0.0f;
}

void StepModelAnimation(ModelInstance& m, float elapsed)
{
    const int s = m.AnimationSlot;
    if (!ValidSlot(s)) return;
    const AnimationSlotData& slot = AnimationStore[s];
    const int frames = (int)slot.FrameCount;
    if (frames <= 0 || !slot.Frames[0]) return;
    int32_t& current = m.AnimCurrentFrame[s];
    int32_t& next = m.AnimNextFrame[s];
    // Frame numbers come from saves and the other computer too: keep them inside the slot.
    if (current < 0 || current >= frames) current = 0;
    if (next < 0 || next >= frames) next = 0;
    const float secondsPerTick = m.AnimSecondsPerTick[s];
    // A clock without a positive tick length, or standing on an empty frame, does not run
    // (stepping it could never use the time up).
    if (!(secondsPerTick > 0.0f) || slot.Durations[current] <= 0 || !std::isfinite(elapsed)) return;

    float& time = m.AnimTimeInFrame[s];
    time += elapsed;
    if (!std::isfinite(time)) time = 0.0f;

    // Whole passes through the animation bring every frame back where it was: skip them at
    // once so that a long frame time cannot turn into a long loop.
    double cycle = 0.0;
    for (int f = 0; f < frames; ++f) cycle += (double)slot.Durations[f] * secondsPerTick;
    if (cycle > 0.0 && time > cycle) {
        const double passes = std::floor(time / cycle);
        time = (float)(time - passes * cycle);
        const double loops = (double)m.AnimationLoopsDone + passes;
        m.AnimationLoopsDone = loops > (double)INT32_MAX ? INT32_MAX : (int32_t)loops;
    }

    for (int guard = 0; guard < 4 * MAX_ANIMATION_FRAMES + 4; ++guard) {
        const float length = (float)slot.Durations[current] * secondsPerTick;
        if (!(length < time)) break;
        if (length > 0.0f) {
            const float left = time - length;
            // A frame too short to change the time any more would never let the loop end.
            time = left < time ? left : 0.0f;
        }
        if (++current >= frames) {
            current = 0;
            if (m.AnimationLoopsDone < INT32_MAX) ++m.AnimationLoopsDone;
        }
        if (++next >= frames) next = 0;
    }
    const float length = (float)slot.Durations[current] * secondsPerTick;
    if (length > 0.0f) m.AnimBlend[s] = 1.0f - time / length;
    if (m.AnimationLoopLimit > 0 && m.AnimationLoopsDone >= m.AnimationLoopLimit) {
        current = 0;
        next = 0;
    }
}

void StepInstanceAnimations(ModelInstance* instances, int count, float elapsed)
{
    for (int i = 0; i < count; ++i) {
        if (instances[i].InUse && instances[i].Animating) StepModelAnimation(instances[i], elapsed);
    }
}

void StepInstanceAnimations(float elapsed)
{
    if (!TheAppConstructed()) return;
    StepInstanceAnimations(TheApp.InstanceTable, INSTANCE_COUNT, elapsed);
}

IDirect3DVertexBuffer8* AnimationFrameBuffer(int slot, int frame)
{
    if (!ValidSlot(slot) || frame < 0 || (uint32_t)frame >= AnimationStore[slot].StoredFrames()) return nullptr;
    return AnimationStore[slot].Buffers[frame];
}

const ModelVertex* AnimationFrameVertices(int slot, int frame)
{
    if (!ValidSlot(slot) || frame < 0 || (uint32_t)frame >= AnimationStore[slot].StoredFrames()) return nullptr;
    return AnimationStore[slot].Frames[frame];
}
