#include "fenwolt/Game/Engine/Lighting.h"

#include <cstring>

LightSlot LightSlots[LIGHT_SLOT_COUNT];
int32_t BlendModeCache = BLEND_OPAQUE;
bool FogEnabled = false;

void InitLights(IDirect3DDevice8* device)
{
    for (LightSlot& slot : LightSlots) slot.InUse = 0;
    D3DLIGHT8& key = LightSlots[0].Light;
    std::memset(&key, 0, sizeof key);
    key.Type = D3DLIGHT_DIRECTIONAL;
    key.Diffuse = D3DCOLORVALUE{0.91f, 0.91f, 0.91f, 0.91f};
    key.Ambient = D3DCOLORVALUE{0.7f, 0.7f, 0.7f, 0.7f};
    key.Direction = KEY_LIGHT_DIRECTION;
    if (!device) return;
    device->SetLight(0, &key);
    LightSlots[0].InUse = 1;
    device->LightEnable(0, TRUE);
    device->SetRenderState(D3DRS_LIGHTING, TRUE);
    device->SetRenderState(D3DRS_AMBIENT, 0);
}

void SetBlendMode(IDirect3DDevice8* device, const D3DCAPS8& caps, int32_t mode)
{
    if (mode == BlendModeCache || !device) return;
    BlendModeCache = mode;
    switch (mode) {
    case BLEND_ALPHA:
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        if (caps.AlphaCmpCaps & D3DPCMPCAPS_GREATEREQUAL) {
            device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
            device->SetRenderState(D3DRS_ALPHAREF, 8);
            device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
        }
        break;
    case BLEND_ADDITIVE:
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
        device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
        break;
    default:
        device->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
        break;
    }
}

void ForgetBlendMode() { BlendModeCache = BLEND_UNKNOWN; }
