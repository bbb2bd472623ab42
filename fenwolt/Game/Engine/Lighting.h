// The scene's one directional key light and the three blending set-ups (opaque, alpha,
// additive), switched through a cache so that repeated requests cost nothing.
#pragma once

#include "platform/d3d8/d3d8.h"

#include <cstdint>

constexpr int LIGHT_SLOT_COUNT = 50;

struct LightSlot {
    D3DLIGHT8 Light;
    int32_t InUse;
};
extern LightSlot LightSlots[LIGHT_SLOT_COUNT];

enum BlendMode : int32_t { BLEND_OPAQUE = 0, BLEND_ALPHA = 1, BLEND_ADDITIVE = 2 };
// The mode last set; BLEND_UNKNOWN after someone changed the blending states behind the cache,
// so that the next request of any mode reaches the device.
constexpr int32_t BLEND_UNKNOWN = -1;
extern int32_t BlendModeCache;

// Fog is never switched on in this game; the scene drawing reads the switch.
extern bool FogEnabled;

// The key light's direction as set on the device (not normalised).
constexpr D3DVECTOR KEY_LIGHT_DIRECTION{0.5f, -0.5f, -0.5f};

void InitLights(IDirect3DDevice8* device);
void SetBlendMode(IDirect3DDevice8* device, const D3DCAPS8& caps, int32_t mode);
// For code that sets the blending states directly: the next SetBlendMode request reaches the
// device whatever its mode.
void ForgetBlendMode();
