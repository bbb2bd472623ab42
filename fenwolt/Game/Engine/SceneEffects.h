// The scene effects' part in the application's device life and frame: one call for each step,
// so that the application object needs to know no more of them.
#pragma once

#include "platform/d3d8/d3d8.h"

// After device creation and after every reset: vertex shaders, the fade quad, the key light.
void RestoreSceneEffects(IDirect3DDevice8* device);
// Before a reset: vertex shaders and the fade quad go.
void ReleaseSceneEffects(IDirect3DDevice8* device);
// When the device goes: the shadow scratch block.
void DestroySceneEffects();
// Every frame from the update: the fade's clock (real elapsed seconds).
void UpdateSceneEffects(float elapsedSeconds);
// Every frame after the sprites: the fade.
void RenderSceneEffects(IDirect3DDevice8* device);
// At start-up (before anything is loaded) and at close.
void StartSceneEffects();
void ShutdownSceneEffects();
