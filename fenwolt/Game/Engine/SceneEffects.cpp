#include "fenwolt/Game/Engine/SceneEffects.h"

#include "fenwolt/Game/Engine/Fade.h"
#include "fenwolt/Game/Engine/Lighting.h"
#include "fenwolt/Game/Engine/ShaderEffects.h"
#include "fenwolt/Game/Engine/Shadows.h"
#include "fenwolt/Game/Engine/VertexAnimation.h"

void RestoreSceneEffects(IDirect3DDevice8* device)
{
    LoadShaders(device);
    CreateFadeQuad(device);
    InitLights(device);
}

void ReleaseSceneEffects(IDirect3DDevice8* device)
{
    ReleaseShaders(device);
    ReleaseFadeQuad();
}

void DestroySceneEffects() { FreeShadowScratch(); }

void UpdateSceneEffects(float elapsedSeconds)
{
    if (FadeTimer > 0.0f) UpdateFade(elapsedSeconds);
}

void RenderSceneEffects(IDirect3DDevice8* device)
{
    if (FadeTimer > 0.0f) RenderFade(device);
}

void StartSceneEffects() { ClearAnimationStore(); }

void ShutdownSceneEffects()
{
    FreeAllAnimations();
    FreeShadowScratch();
}
