#include "fenwolt/Game/Engine/EngineTables.h"
#include "fenwolt/Game/Engine/SpriteStates.h"

#include "fenwolt/common/Utilities.h"
#include "fenwolt/data/GlyphWidths.h"
#include "platform/d3dx8/d3dx8tex.h"

#include <cstdio>
#include <cstring>

namespace {
constexpr int FONT_VERTICES = 1800;
constexpr int GLYPHS_PER_ROW = 20;
constexpr float NOMINAL_SHEET_HEIGHT = 256.f;
}  // namespace

int GetGlyphWidth(int fontKind, int character)
{
    const int code = character & 0xFF;
    switch (fontKind) {
    case 1: return fwdata::kGlyphWidthsMedium[code];
    case 2: return fwdata::kGlyphWidthsSmall[code];
    default: return fwdata::kGlyphWidthsLarge[code];
    }
}

BitmapFont::BitmapFont() = default;

BitmapFont::~BitmapFont()
{
    ReleaseVideoObjects();
    DestroyDeviceObjects();
}

void BitmapFont::BuildGlyphTable(int kind)
{
    Kind = kind;
    const bool small = kind == 1 || kind == 2;
    CellWidth = small ? 24 : 32;
    CellHeight = small ? 16 : 24;
    const float nominalWidth = small ? 512.f : 1024.f;
    int column = 12, row = 1;
    for (int code = 32; code <= 254; ++code) {
        float* g = Glyphs[code - 32];
        g[0] = (float)(column * CellWidth) / nominalWidth;
        g[1] = (float)(row * CellHeight) / NOMINAL_SHEET_HEIGHT;
        g[2] = (float)(column * CellWidth + CellWidth) / nominalWidth;
        g[3] = (float)(row * CellHeight + CellHeight) / NOMINAL_SHEET_HEIGHT;
        if (++column == GLYPHS_PER_ROW) {
            column = 0;
            ++row;
        }
    }
}

HRESULT BitmapFont::CreateDeviceObjects(IDirect3DDevice8* device, const char* file, int kind)
{
    DestroyDeviceObjects();
    Device = device;
    std::snprintf(Name, sizeof(Name), "%s", file ? file : "");
    std::snprintf(GlyphSheetFile, sizeof(GlyphSheetFile), "%s", file ? file : "");
    BuildGlyphTable(kind);
    const bool small = kind == 1 || kind == 2;
    SheetWidth = small ? 512 : 1024;
    SheetHeight = 256;
    if (!device) return E_FAIL;
    D3DCAPS8 caps{};
    if (SUCCEEDED(device->GetDeviceCaps(&caps)) && caps.MaxTextureWidth > 0 &&
        (DWORD)SheetWidth > caps.MaxTextureWidth) {
        SheetWidth = SheetHeight = (int32_t)caps.MaxTextureWidth;
        DebugOutLine("Font Texture too large for card");
    }
    HRESULT hr = D3DXCreateTextureFromFileA(device, file, &Texture);
    if (FAILED(hr)) {
        Texture = nullptr;
        DebugOutPair("Failed to load font", file ? file : "");
        return hr;
    }
    return S_OK;
}

HRESULT BitmapFont::RestoreVideoResources()
{
    if (!Device) return E_FAIL;
    ReleaseVideoObjects();
    if (FAILED(Device->CreateVertexBuffer(FONT_VERTICES * sizeof(ScreenVertex), D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY,
                                          0, D3DPOOL_DEFAULT, &VertexBuffer))) {
        VertexBuffer = nullptr;
        return E_FAIL;
    }
    RecordSpriteStateBlocks(Device, SavedBlock, DrawBlock);
    return S_OK;
}

void BitmapFont::ReleaseVideoObjects()
{
    if (VertexBuffer) VertexBuffer->Release();
    VertexBuffer = nullptr;
    if (Device) DeleteSpriteStateBlocks(Device, SavedBlock, DrawBlock);
}

void BitmapFont::DestroyDeviceObjects()
{
    if (Texture) Texture->Release();
    Texture = nullptr;
    // The state blocks die with the device: forget them rather than delete them later on a
    // device that is gone.
    if (!VertexBuffer) SavedBlock = DrawBlock = 0;
    if (!VertexBuffer) Device = nullptr;
}

HRESULT BitmapFont::DrawText(float x, float y, uint32_t colour, const char* text, uint32_t flags)
{
    if (!Device || !VertexBuffer || !text) return E_FAIL;
    IDirect3DBaseTexture8* previous = nullptr;
    Device->GetTexture(0, &previous);
    if (SavedBlock) Device->CaptureStateBlock(SavedBlock);
    if (DrawBlock) Device->ApplyStateBlock(DrawBlock);
    Device->SetTexture(0, Texture);
    Device->SetVertexShader(SCREEN_VERTEX_FVF);
    Device->SetStreamSource(0, VertexBuffer, sizeof(ScreenVertex));
    if (flags & 4) {
        Device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
        Device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
    }
    ScreenVertex* v = nullptr;
    HRESULT hr = VertexBuffer->Lock(0, 0, reinterpret_cast<BYTE**>(&v), D3DLOCK_DISCARD);
    uint32_t used = 0;
    const float cellW = (float)CellWidth, cellH = (float)CellHeight;
    if (SUCCEEDED(hr))
        LayOutText(x, y, text, [&](float gx, float gy, const float* g) {
            const float l = gx - 0.5f, t = gy - 0.5f, r = l + cellW, b = t + cellH;
            v[used++] = MakeScreenVertex(l, b, 0.9f, 1.f, colour, g[0], g[3]);
            v[used++] = MakeScreenVertex(l, t, 0.9f, 1.f, colour, g[0], g[1]);
            v[used++] = MakeScreenVertex(r, b, 0.9f, 1.f, colour, g[2], g[3]);
            v[used++] = MakeScreenVertex(r, t, 0.9f, 1.f, colour, g[2], g[1]);
            v[used++] = MakeScreenVertex(r, b, 0.9f, 1.f, colour, g[2], g[3]);
            v[used++] = MakeScreenVertex(l, t, 0.9f, 1.f, colour, g[0], g[1]);
            if (used > FONT_VERTICES - 6) {
                VertexBuffer->Unlock();
                Device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, used / 3);
                used = 0;
                hr = VertexBuffer->Lock(0, 0, reinterpret_cast<BYTE**>(&v), D3DLOCK_DISCARD);
            }
            return SUCCEEDED(hr);
        });
    if (SUCCEEDED(hr)) {
        VertexBuffer->Unlock();
        if (used) Device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, used / 3);
    }
    if (SavedBlock) Device->ApplyStateBlock(SavedBlock);
    Device->SetTexture(0, previous);
    if (previous) previous->Release();
    return hr;
}

HRESULT BitmapFont::DrawShadowedText(float x, float y, const char* text)
{
    DrawText(x + ShadowOffsetX, y + ShadowOffsetY, ShadowColour, text, DrawFlags);
    return DrawText(x, y, TextColour, text, DrawFlags);
}
