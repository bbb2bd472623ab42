// Vertex animations: sequences of whole vertex-position frames of one mesh, read from .anx
// files into a store of 17 slots, and the per-instance frame clocks that step through them.
#pragma once

#include "fenwolt/Game/Engine/EngineTables.h"

#include <cstddef>
#include <cstdint>

constexpr int ANIMATION_SLOT_COUNT = 17;
constexpr int MAX_ANIMATION_FRAMES = 100;
constexpr uint32_t ANX_VERSION = 7;
constexpr int32_t RENDER_KIND_MORPH = 5;

struct AnimationSlotData {
    uint32_t VertexCount = 0;
    uint32_t HeaderWord = 0;
    uint32_t FrameCount = 0;  // F of the file; a file with F = 0 still holds one frame
    int32_t Durations[MAX_ANIMATION_FRAMES] = {};
    uint32_t TrailerWord = 0;
    ModelVertex* Frames[MAX_ANIMATION_FRAMES] = {};
    IDirect3DVertexBuffer8* Buffers[MAX_ANIMATION_FRAMES] = {};

    // Frames held in memory: max(F, 1) once loaded, 0 for an empty slot.
    uint32_t StoredFrames() const { return Frames[0] ? (FrameCount > 0 ? FrameCount : 1) : 0; }
};
extern AnimationSlotData AnimationStore[ANIMATION_SLOT_COUNT];

void ClearAnimationStore();
// Frees the slot's frames and releases its vertex buffers.
void FreeAnimationSlot(int slot);
void FreeAllAnimations();
// A change of device: the frames' buffers go with the old device, the frames stay in memory and
// get new buffers on the new one.
void ReleaseAnimationBuffers();
void RestoreAnimationBuffers(IDirect3DDevice8* device);

// 1 on success, 0 on failure. A file that cannot be read or is malformed (wrong version, more
// than 100 frames, more vertices than the mesh, a negative duration, too short) leaves the
// slot as it was; a failed allocation or buffer creation leaves it empty.
int LoadAnimationFile(const char* file, int meshIndex, int slot);
int LoadAnimationFileForMesh(IDirect3DDevice8* device, const char* file, const XFileMesh& mesh, int slot);
// The same over bytes in memory; the mesh supplies normals and texture coordinates. With a
// null device only the system-memory frames are built.
int LoadAnimationData(IDirect3DDevice8* device, const uint8_t* data, size_t size, const ModelVertex* meshVertices,
                      uint32_t meshVertexCount, int slot, const char* nameForTrace);

// Starts the twelve match animations of an instance at their first frames and selects the
// morph effect for it.
void ResetInstanceAnimations(ModelInstance& instance);
// Advances one instance's frame clock of its current slot by `elapsedSeconds`.
void StepModelAnimation(ModelInstance& instance, float elapsedSeconds);
// Every in-use, animating instance of the application's table.
void StepInstanceAnimations(float elapsedSeconds);
void StepInstanceAnimations(ModelInstance* instances, int count, float elapsedSeconds);

// The slot's frame buffer for a frame, or null when the slot, frame or buffer does not exist.
IDirect3DVertexBuffer8* AnimationFrameBuffer(int slot, int frame);
// The slot's frame in memory, or null.
const ModelVertex* AnimationFrameVertices(int slot, int frame);
