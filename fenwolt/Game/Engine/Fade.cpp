#include "fenwolt/Game/Engine/Fade.h"

#include "fenwolt/Game/Engine/Lighting.h"

#include <algorithm>
#include <cstdio>

float FadeTimer = 0.0f;
float FadeDuration = 0.0f;
FadeColourValue FadeColour{0.f, 0.f, 0.f, 1.f};
IDirect3DVertexBuffer8* FadeQuad = nullptr;

namespace {

constexpr UINT kQuadBytes = 6 * sizeof(FadeVertex);
static_assert(sizeof(FadeVertex) == 28, "the quad's stride is 28 bytes");

// A narrowed rectangle belongs to the one fade started after it: when that fade ends (or the
// quad is rebuilt) the rectangle is the whole screen again, so a later fade that does not
// narrow it covers the whole screen.
float g_rect[4] = {0.f, 0.f, 800.f, 600.f};

void WriteRect(FadeVertex* v, const float* rect)
{
    const float l = rect[0], t = rect[1], r = rect[2], b = rect[3];
    const float pos[6][2] = {{l, t}, {r, t}, {r, b}, {l, t}, {r, b}, {l, b}};
    for (int i = 0; i < 6; ++i) {
        v[i].x = pos[i][0];
        v[i].y = pos[i][1];
        v[i].z = 0.0f;
        // rhw 1: a pre-transformed vertex with rhw 0 has an infinite w, which drivers treat
        // differently (some draw nothing).
        v[i].rhw = 1.0f;
    }
}

BYTE Channel(float v) { return (BYTE)std::clamp((int)(v * 255.0f + 0.5f), 0, 255); }

}  // namespace

HRESULT CreateFadeQuad(IDirect3DDevice8* device)
{
    FadeTimer = 0.0f;
    ReleaseFadeQuad();
    g_rect[0] = 0.f;
    g_rect[1] = 0.f;
    g_rect[2] = 800.f;
    g_rect[3] = 600.f;
    if (!device) return E_FAIL;
    HRESULT hr = device->CreateVertexBuffer(kQuadBytes, D3DUSAGE_WRITEONLY, FADE_VERTEX_FORMAT, D3DPOOL_MANAGED, &FadeQuad);
    if (FAILED(hr) || !FadeQuad) {
        std::fprintf(stderr, "fade: could not create the fade quad (0x%08x)\n", (unsigned)hr);
        FadeQuad = nullptr;
        return FAILED(hr) ? hr : E_FAIL;
    }
    BYTE* data = nullptr;
    if (FAILED(FadeQuad->Lock(0, kQuadBytes, &data, 0)) || !data) return E_FAIL;
    auto* v = reinterpret_cast<FadeVertex*>(data);
    const float uv[6][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 0}, {1, 1}, {0, 1}};
    for (int i = 0; i < 6; ++i) {
        v[i].colour = 0xC8000000u;
        v[i].tu = uv[i][0];
        v[i].tv = uv[i][1];
    }
    WriteRect(v, g_rect);
    FadeQuad->Unlock();
    return S_OK;
}

void ReleaseFadeQuad()
{
    if (FadeQuad) FadeQuad->Release();
    FadeQuad = nullptr;
}

void StartFadeIn(float startTime, float duration)
{
    FadeTimer = startTime;
    FadeDuration = duration;
    FadeColour = FadeColourValue{0.f, 0.f, 0.f, 1.f};
}

void SetFadeRect(float left, float top, float right, float bottom)
{
    g_rect[0] = left;
    g_rect[1] = top;
    g_rect[2] = right;
    g_rect[3] = bottom;
    if (!FadeQuad) return;
    BYTE* data = nullptr;
    if (FAILED(FadeQuad->Lock(0, kQuadBytes, &data, 0)) || !data) return;
    WriteRect(reinterpret_cast<FadeVertex*>(data), g_rect);
    FadeQuad->Unlock();
}

void SetFadeRectFullScreen() { SetFadeRect(0.f, 0.f, 800.f, 600.f); }

void UpdateFade(float elapsedSeconds)
{
    if (!(FadeTimer > 0.0f)) return;
    FadeTimer += elapsedSeconds;
    if (FadeTimer > FadeDuration) {
        FadeTimer = 0.0f;
        SetFadeRectFullScreen();
    }
}

float CurrentFadeAlpha()
{
    if (!(FadeTimer > 0.0f) || !(FadeDuration > 0.0f)) return 0.0f;
    const float strength = (FadeDuration - FadeTimer) / FadeDuration;
    return std::clamp(strength * FadeColour.a, 0.0f, 1.0f);
}

void RenderFade(IDirect3DDevice8* device)
{
    if (!(FadeTimer > 0.0f) || !FadeQuad || !device) return;
    const float alpha = CurrentFadeAlpha();
    BYTE* data = nullptr;
    if (FAILED(FadeQuad->Lock(0, kQuadBytes, &data, 0)) || !data) return;
    const DWORD colour = ((DWORD)Channel(alpha) << 24) | ((DWORD)Channel(FadeColour.r) << 16) |
                         ((DWORD)Channel(FadeColour.g) << 8) | (DWORD)Channel(FadeColour.b);
    auto* v = reinterpret_cast<FadeVertex*>(data);
    for (int i = 0; i < 6; ++i) v[i].colour = colour;
    FadeQuad->Unlock();

    // The quad's colour comes from its vertices alone, whatever the sprites or the scene left
    // in the stages: keep what they set and put it back afterwards.
    DWORD colourOp = 0, colourArg = 0, alphaOp = 0, alphaArg = 0, stage1Op = 0, zEnable = 0, alphaTest = 0;
    device->GetTextureStageState(0, D3DTSS_COLOROP, &colourOp);
    device->GetTextureStageState(0, D3DTSS_COLORARG1, &colourArg);
    device->GetTextureStageState(0, D3DTSS_ALPHAOP, &alphaOp);
    device->GetTextureStageState(0, D3DTSS_ALPHAARG1, &alphaArg);
    device->GetTextureStageState(1, D3DTSS_COLOROP, &stage1Op);
    device->GetRenderState(D3DRS_ZENABLE, &zEnable);
    device->GetRenderState(D3DRS_ALPHATESTENABLE, &alphaTest);

    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
    device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    device->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device->SetVertexShader(FADE_VERTEX_FORMAT);
    device->SetStreamSource(0, FadeQuad, sizeof(FadeVertex));
    device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2);

    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    device->SetRenderState(D3DRS_ALPHATESTENABLE, alphaTest);
    device->SetRenderState(D3DRS_ZENABLE, zEnable);
    device->SetTextureStageState(0, D3DTSS_COLOROP, colourOp);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, colourArg);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, alphaOp);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, alphaArg);
    device->SetTextureStageState(1, D3DTSS_COLOROP, stage1Op);
    // The blending states were changed behind the blend-mode cache.
    ForgetBlendMode();
}

void GetFadeRect(float out[4])
{
    for (int i = 0; i < 4; ++i) out[i] = g_rect[i];
}
