#include "fenwolt/Game/GameApp.h"
#include "fenwolt/Game/Engine/SpriteStates.h"
#include "fenwolt/Game/Engine/Textures.h"

#include "fenwolt/common/Utilities.h"
#include "platform/d3dx8/d3dx8tex.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {
constexpr uint32_t TEXT_VERTICES = 1800;
constexpr uint32_t PICTURE_VERTICES = 6;

// Batch drawing: the texture last set, and the stage-0 texture from before the batch.
IDirect3DTexture8* g_batchTexture = nullptr;
bool g_batchTextureSet = false;
IDirect3DBaseTexture8* g_batchPrevious = nullptr;

void CountDraw(uint32_t triangles)
{
    if (!TheAppConstructed()) return;
    ++TheApp.DrawCallCount;
    TheApp.TriangleCount += (int32_t)triangles;
}

void RecordOne(IDirect3DDevice8* d, DWORD& token)
{
    token = 0;
    if (FAILED(d->BeginStateBlock())) return;
    d->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    d->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    d->SetRenderState(D3DRS_ALPHAREF, 8);
    d->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
    d->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
    d->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    d->SetRenderState(D3DRS_ZENABLE, FALSE);
    d->SetRenderState(D3DRS_STENCILENABLE, FALSE);
    d->SetRenderState(D3DRS_CLIPPING, TRUE);
    d->SetRenderState(D3DRS_EDGEANTIALIAS, FALSE);
    d->SetRenderState(D3DRS_CLIPPLANEENABLE, 0);
    d->SetRenderState(D3DRS_VERTEXBLEND, D3DVBF_DISABLE);
    d->SetRenderState(D3DRS_FOGENABLE, FALSE);
    d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    d->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    d->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    d->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    d->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    d->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_POINT);
    d->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_POINT);
    d->SetTextureStageState(0, D3DTSS_MIPFILTER, D3DTEXF_NONE);
    d->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
    d->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
    d->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    d->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    if (FAILED(d->EndStateBlock(&token))) token = 0;
}

void WriteQuad(ScreenVertex* v, float l, float t, float w, float h, uint32_t colour, float tu0, float tv0, float tu1,
               float tv1)
{
    const float r = l + w, b = t + h;
    v[0] = MakeScreenVertex(l, b, 0.9f, 1.f, colour, tu0, tv1);
    v[1] = MakeScreenVertex(l, t, 0.9f, 1.f, colour, tu0, tv0);
    v[2] = MakeScreenVertex(r, b, 0.9f, 1.f, colour, tu1, tv1);
    v[3] = MakeScreenVertex(r, t, 0.9f, 1.f, colour, tu1, tv0);
    v[4] = MakeScreenVertex(r, b, 0.9f, 1.f, colour, tu1, tv1);
    v[5] = MakeScreenVertex(l, t, 0.9f, 1.f, colour, tu0, tv0);
}
}  // namespace

bool RecordSpriteStateBlocks(IDirect3DDevice8* device, DWORD& savedBlock, DWORD& drawBlock)
{
    DeleteSpriteStateBlocks(device, savedBlock, drawBlock);
    if (!device) return false;
    RecordOne(device, savedBlock);
    RecordOne(device, drawBlock);
    if (!savedBlock || !drawBlock) {
        DebugOutLine("Sprite state blocks could not be recorded");
        DeleteSpriteStateBlocks(device, savedBlock, drawBlock);
        return false;
    }
    return true;
}

void DeleteSpriteStateBlocks(IDirect3DDevice8* device, DWORD& savedBlock, DWORD& drawBlock)
{
    if (device && savedBlock) device->DeleteStateBlock(savedBlock);
    if (device && drawBlock) device->DeleteStateBlock(drawBlock);
    savedBlock = drawBlock = 0;
}

// ---------------------------------------------------------------------------------------------
Sprite::Sprite() = default;

Sprite::~Sprite()
{
    ReleaseVideoObjects();
    DestroyDeviceObjects();
}

IDirect3DTexture8* Sprite::CurrentTexture() const
{
    if (IsText) return Font ? Font->Texture : nullptr;
    if (FromMeshSlot) return Mesh ? Mesh->Texture0() : nullptr;
    return Texture;
}

int Sprite::Create(IDirect3DDevice8* device, const char* file, bool fromMeshSlot, const RECT& source,
                   int textureWidth, int textureHeight, bool active, bool visible)
{
    if (Device) Destroy();
    Device = device;
    std::snprintf(Name, sizeof(Name), "%s", file ? file : "");
    SetActive(active);
    SetVisible(visible);
    IsText = 0;
    Font = nullptr;
    GlyphSheet = nullptr;
    FromMeshSlot = 0;
    Mesh = nullptr;
    TexInfo = TextureTargetInfo{};
    TextureWidth = textureWidth;
    TextureHeight = textureHeight;
    if (!device) return 1;
    D3DCAPS8 caps{};
    if (SUCCEEDED(device->GetDeviceCaps(&caps))) {
        bool clamped = false;
        if (caps.MaxTextureWidth && (DWORD)TextureWidth > caps.MaxTextureWidth) {
            TextureWidth = (int32_t)caps.MaxTextureWidth;
            clamped = true;
        }
        if (caps.MaxTextureHeight && (DWORD)TextureHeight > caps.MaxTextureHeight) {
            TextureHeight = (int32_t)caps.MaxTextureHeight;
            clamped = true;
        }
        if (clamped) DebugOutPair("Sprite Texture too large for card", Name);
    }
    int result = 0;
    if (!fromMeshSlot && file != PictureFile) std::snprintf(PictureFile, sizeof(PictureFile), "%s", file ? file : "");
    if (fromMeshSlot) {
        int slot = TheAppConstructed() ? TheApp.FindMeshByName(file) : MESH_NONE;
        if (slot >= MESH_COUNT || slot < 0 || !TheApp.MeshTable[slot]) {
            Device = nullptr;
            DebugOutPair("Sprite Texture not found in Memory", Name);
            return 1;
        }
        FromMeshSlot = 1;
        MeshSlot = slot;
        Mesh = TheApp.MeshTable[slot];
    } else if (!file || LoadImageIntoSpriteTexture(*this, device, file) != 0) {
        TexInfo = TextureTargetInfo{};
        if (Texture) Texture->Release();
        Texture = nullptr;
        if (!file || FAILED(D3DXCreateTextureFromFileA(device, file, &Texture))) {
            Texture = nullptr;
            result = 1;
        }
    }
    Width = (float)(source.right - source.left);
    Height = (float)(source.bottom - source.top);
    const float tw = TextureWidth > 0 ? (float)TextureWidth : 1.f;
    const float th = TextureHeight > 0 ? (float)TextureHeight : 1.f;
    Tu0 = (float)source.left / tw;
    Tv0 = (float)source.top / th;
    Tu1 = ((float)source.left + Width) / tw;
    Tv1 = ((float)source.top + Height) / th;
    if (!VertexBuffer) RestoreVideoResources();
    return result;
}

int Sprite::CreateText(IDirect3DDevice8* device, BitmapFont* font, bool active, bool visible)
{
    if (Device) Destroy();
    Device = device;
    Font = font;
    IsText = 1;
    FromMeshSlot = 0;
    Mesh = nullptr;
    DrawnWithShadow = 0;
    TriangleCount = 0;
    GlyphSheet = font ? font->Texture : nullptr;
    std::snprintf(Name, sizeof(Name), "%s", font ? font->Name : "");
    SetActive(active);
    SetVisible(visible);
    // A picture's six-vertex buffer cannot hold text.
    if (VertexBuffer && VertexCapacity < TEXT_VERTICES) ReleaseVideoObjects();
    if (!VertexBuffer) RestoreVideoResources();
    return 0;
}

HRESULT Sprite::SetPosition(float x, float y)
{
    if (!Device || !VertexBuffer || IsText || VertexCapacity < PICTURE_VERTICES) return E_FAIL;
    X = x;
    Y = y;
    ScreenVertex* v = nullptr;
    if (FAILED(VertexBuffer->Lock(0, 0, reinterpret_cast<BYTE**>(&v), D3DLOCK_DISCARD)) || !v) return E_FAIL;
    float tu0 = Tu0, tv0 = Tv0, tu1 = Tu1, tv1 = Tv1, w, h;
    const TextureTargetInfo* padded = nullptr;
    if (FromMeshSlot && Mesh && Mesh->TexInfo.Padded)
        padded = &Mesh->TexInfo;
    else if (!FromMeshSlot && TexInfo.Padded)
        padded = &TexInfo;
    if (padded) {
        tu0 *= padded->ScaleU;
        tu1 *= padded->ScaleU;
        tv0 *= padded->ScaleV;
        tv1 *= padded->ScaleV;
        w = Width;
        h = Height;
    } else {
        w = (tu1 - tu0) * (float)TextureWidth;
        h = (tv1 - tv0) * (float)TextureHeight;
    }
    WriteQuad(v, x - 0.5f, y - 0.5f, w, h, 0xFFFFFFFF, tu0, tv0, tu1, tv1);
    VertexBuffer->Unlock();
    TriangleCount = 2;
    NeedsRewrite = 1;
    ScreenRect = RECT{(LONG)x, (LONG)y, (LONG)(x + w), (LONG)(y + h)};
    return S_OK;
}

HRESULT Sprite::WriteTextPass(ScreenVertex* v, uint32_t& used, float x, float y, uint32_t colour, const char* text,
                              bool widenRect)
{
    if (!Font) return E_FAIL;
    const float cellW = (float)Font->CellWidth, cellH = (float)Font->CellHeight;
    const float sheetW = (float)(Font->Kind == 1 || Font->Kind == 2 ? 512 : 1024), sheetH = 256.f;
    Font->LayOutText(x, y, text, [&](float gx, float gy, const float* g) {
        if (used + 6 > VertexCapacity) return false;
        WriteQuad(v + used, gx - 0.5f, gy - 0.5f, (g[2] - g[0]) * sheetW, (g[3] - g[1]) * sheetH, colour, g[0], g[1],
                  g[2], g[3]);
        used += 6;
        TriangleCount += 2;
        if (widenRect) {
            ScreenRect.left = std::min(ScreenRect.left, (LONG)gx);
            ScreenRect.right = std::max(ScreenRect.right, (LONG)(gx + cellW));
            ScreenRect.top = std::min(ScreenRect.top, (LONG)gy);
            ScreenRect.bottom = std::max(ScreenRect.bottom, (LONG)(gy + cellH));
        }
        return true;
    });
    return S_OK;
}

HRESULT Sprite::SetText(float x, float y, const char* text)
{
    if (!Device || !VertexBuffer || !IsText || !Font) return E_FAIL;
    if (!text) text = "";
    X = x;
    Y = y;
    if (text != Text) std::snprintf(Text, sizeof(Text), "%s", text);
    DrawnWithShadow = 1;
    OwnTextColour = Font->TextColour;
    OwnShadowColour = Font->ShadowColour;
    ScreenRect = RECT{6000, 8000, 0, 0};
    TriangleCount = 0;
    ScreenVertex* v = nullptr;
    if (FAILED(VertexBuffer->Lock(0, 0, reinterpret_cast<BYTE**>(&v), D3DLOCK_DISCARD)) || !v) return E_FAIL;
    uint32_t used = 0;
    WriteTextPass(v, used, x + Font->ShadowOffsetX, y + Font->ShadowOffsetY, Font->ShadowColour, Text, false);
    WriteTextPass(v, used, x, y, Font->TextColour, Text, true);
    VertexBuffer->Unlock();
    NeedsRewrite = 1;
    return S_OK;
}

HRESULT Sprite::SetTextColoured(float x, float y, uint32_t colour, const char* text)
{
    if (!Device || !VertexBuffer || !IsText || !Font) return E_FAIL;
    if (!text) text = "";
    X = x;
    Y = y;
    if (text != Text) std::snprintf(Text, sizeof(Text), "%s", text);
    OwnTextColour = colour;
    ScreenRect = RECT{6000, 8000, 0, 0};
    TriangleCount = 0;
    ScreenVertex* v = nullptr;
    if (FAILED(VertexBuffer->Lock(0, 0, reinterpret_cast<BYTE**>(&v), D3DLOCK_DISCARD)) || !v) return E_FAIL;
    uint32_t used = 0;
    WriteTextPass(v, used, x, y, colour, Text, true);
    VertexBuffer->Unlock();
    NeedsRewrite = 1;
    return S_OK;
}

HRESULT Sprite::SetTextDefaultColour(float x, float y, const char* text)
{
    if (!Font) return 0;
    return SetTextColoured(x, y, Font->TextColour, text);
}

int Sprite::ReloadTexture(IDirect3DDevice8* device, const char* file)
{
    if (FromMeshSlot || IsText || !device) return 0;
    if (file != PictureFile) std::snprintf(PictureFile, sizeof(PictureFile), "%s", file ? file : "");
    if (Texture) Texture->Release();
    Texture = nullptr;
    if (!file || LoadImageIntoSpriteTexture(*this, device, file) != 0) {
        TexInfo = TextureTargetInfo{};
        if (!file || FAILED(D3DXCreateTextureFromFileA(device, file, &Texture))) {
            Texture = nullptr;
            return 1;
        }
    }
    return 0;
}

HRESULT Sprite::Render()
{
    if (!Device) return E_FAIL;
    if (!VertexBuffer || TriangleCount == 0) return S_OK;
    BeginBatch();
    DrawInBatch();
    EndBatch();
    return S_OK;
}

void Sprite::BeginBatch()
{
    if (!Device) return;
    g_batchPrevious = nullptr;
    Device->GetTexture(0, &g_batchPrevious);
    if (SavedBlock) Device->CaptureStateBlock(SavedBlock);
    if (SpriteBlock) Device->ApplyStateBlock(SpriteBlock);
    g_batchTexture = nullptr;
    g_batchTextureSet = false;
}

void Sprite::DrawInBatch()
{
    if (!Device || !VertexBuffer || TriangleCount == 0) return;
    IDirect3DTexture8* texture = CurrentTexture();
    if (!g_batchTextureSet || texture != g_batchTexture) {
        Device->SetTexture(0, texture);
        g_batchTexture = texture;
        g_batchTextureSet = true;
    }
    Device->SetVertexShader(SCREEN_VERTEX_FVF);
    Device->SetStreamSource(0, VertexBuffer, sizeof(ScreenVertex));
    Device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, TriangleCount);
    CountDraw(TriangleCount);
}

void Sprite::EndBatch()
{
    if (!Device) return;
    if (SavedBlock) Device->ApplyStateBlock(SavedBlock);
    Device->SetTexture(0, g_batchPrevious);
    if (g_batchPrevious) g_batchPrevious->Release();
    g_batchPrevious = nullptr;
    g_batchTexture = nullptr;
    g_batchTextureSet = false;
}

HRESULT Sprite::RestoreVideoResources()
{
    if (!Device) return E_FAIL;
    if (VertexBuffer) VertexBuffer->Release();
    VertexBuffer = nullptr;
    const uint32_t vertices = IsText ? TEXT_VERTICES : PICTURE_VERTICES;
    if (FAILED(Device->CreateVertexBuffer(vertices * sizeof(ScreenVertex), D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, 0,
                                          D3DPOOL_DEFAULT, &VertexBuffer))) {
        VertexBuffer = nullptr;
        VertexCapacity = 0;
        return E_FAIL;
    }
    VertexCapacity = vertices;
    RecordSpriteStateBlocks(Device, SavedBlock, SpriteBlock);
    // After a device reset the quads written before are gone: write them again so that a
    // windowed reset (which triggers no refresh of the sprites) leaves them drawable.
    if (NeedsRewrite) {
        if (!IsText) {
            SetPosition(X, Y);
        } else if (DrawnWithShadow && Font) {
            // In the colours it was written in, not in those the shared font has been given since.
            const uint32_t fontText = Font->TextColour, fontShadow = Font->ShadowColour;
            Font->TextColour = OwnTextColour;
            Font->ShadowColour = OwnShadowColour;
            SetText(X, Y, Text);
            Font->TextColour = fontText;
            Font->ShadowColour = fontShadow;
        } else {
            SetTextColoured(X, Y, OwnTextColour, Text);
        }
    }
    return S_OK;
}

void Sprite::ReleaseVideoObjects()
{
    if (VertexBuffer) VertexBuffer->Release();
    VertexBuffer = nullptr;
    VertexCapacity = 0;
    TriangleCount = 0;
    if (Device) DeleteSpriteStateBlocks(Device, SavedBlock, SpriteBlock);
    SavedBlock = SpriteBlock = 0;
}

void Sprite::DestroyDeviceObjects()
{
    if (Texture) Texture->Release();
    Texture = nullptr;
    Device = nullptr;
    NeedsRewrite = 0;
    AwaitingDevice = 0;
}

void Sprite::LeaveDevice()
{
    const bool created = Device != nullptr;
    ReleaseVideoObjects();
    if (Texture) Texture->Release();
    Texture = nullptr;
    GlyphSheet = nullptr;
    Device = nullptr;
    if (created) AwaitingDevice = 1;
}

void Sprite::JoinDevice(IDirect3DDevice8* device)
{
    if (!AwaitingDevice || !device) return;
    AwaitingDevice = 0;
    Device = device;
    if (IsText)
        GlyphSheet = Font ? Font->Texture : nullptr;
    else if (!FromMeshSlot && PictureFile[0] && ReloadTexture(device, PictureFile) != 0)
        DebugOutPair("Sprite Texture not read again", PictureFile);
}

void Sprite::Destroy()
{
    ReleaseVideoObjects();
    DestroyDeviceObjects();
}
