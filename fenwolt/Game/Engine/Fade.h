// The screen fade: a black rectangle, opaque at first, drawn over everything and turning
// transparent over a given time.
#pragma once

#include "platform/d3d8/d3d8.h"

struct FadeColourValue {
    float r, g, b, a;
};

extern float FadeTimer;     // seconds since the fade started; 0 = no fade running
extern float FadeDuration;  // seconds
extern FadeColourValue FadeColour;
extern IDirect3DVertexBuffer8* FadeQuad;

// Pre-transformed vertex of the fade quad (28 bytes: x, y, z, rhw, colour, tu, tv).
struct FadeVertex {
    float x, y, z, rhw;
    DWORD colour;
    float tu, tv;
};
constexpr DWORD FADE_VERTEX_FORMAT = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

HRESULT CreateFadeQuad(IDirect3DDevice8* device);
void ReleaseFadeQuad();
void StartFadeIn(float startTime, float duration);
void SetFadeRect(float left, float top, float right, float bottom);
void SetFadeRectFullScreen();
void UpdateFade(float elapsedSeconds);
// The alpha the quad is drawn with now (0..1); 0 when no fade runs.
float CurrentFadeAlpha();
void RenderFade(IDirect3DDevice8* device);
// The rectangle the quad covers now (left, top, right, bottom).
void GetFadeRect(float out[4]);
