// The element types of the application object's tables: sprites, bitmap fonts, meshes and model
// instances, with the two vertex layouts the engine writes itself.
#pragma once

#include "platform/d3d8/d3d8.h"

#include <cstdint>

struct ID3DXMesh;

typedef uint16_t SpriteHandle;
constexpr int SPRITE_COUNT = 2000;
constexpr SpriteHandle SPRITE_NONE = 2000;
constexpr int MESH_COUNT = 1000;
constexpr int MESH_NONE = 1000;
constexpr int INSTANCE_COUNT = 2500;
constexpr int INSTANCE_NONE = 2500;
constexpr int FONT_COUNT = 3;
// The glyph sheets of fonts 0, 1 and 2.
constexpr const char* FONT_SHEET_FILES[FONT_COUNT] = {"interface\\Font1E.tga", "interface\\Font1F.tga",
                                                      "interface\\Font1G.tga"};

// VISIBLE and ACTIVE of a sprite live in its Flags word.
enum SpriteFlag : uint32_t {
    SPRITE_VISIBLE = 1u << 0,
    SPRITE_ACTIVE = 1u << 1,
};

// Pre-transformed vertex of sprites, glyphs and the fade (28 bytes).
struct ScreenVertex {
    float x, y, z, rhw;
    uint32_t colour;
    float tu, tv;
};
static_assert(sizeof(ScreenVertex) == 28, "ScreenVertex layout");
constexpr DWORD SCREEN_VERTEX_FVF = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

// Vertex of the meshes' own arrays and buffers (32 bytes).
struct ModelVertex {
    float x, y, z;
    float nx, ny, nz;
    float tu, tv;
};
static_assert(sizeof(ModelVertex) == 32, "ModelVertex layout");
constexpr DWORD MODEL_VERTEX_FVF = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1;

inline ScreenVertex MakeScreenVertex(float x, float y, float z, float rhw, uint32_t colour, float tu, float tv)
{
    return ScreenVertex{x, y, z, rhw, colour, tu, tv};
}
inline ModelVertex MakeModelVertex(const D3DVECTOR& p, const D3DVECTOR& n, float tu, float tv)
{
    return ModelVertex{p.x, p.y, p.z, n.x, n.y, n.z, tu, tv};
}

// What the own TGA/JPEG loader writes beside the texture pointer it fills.
struct TextureTargetInfo {
    uint32_t FromOwnLoader = 0;  // the picture is in the texture
    int32_t TextureWidth = 0, TextureHeight = 0;
    int32_t Levels = 0;
    int32_t Format = 0;
    float ScaleU = 1.f, ScaleV = 1.f;  // picture size / texture size
    uint32_t Padded = 0;               // the texture is larger than the picture
};

class BitmapFont;
class XFileMesh;

// One screen-space item: a picture quad or a run of glyph quads, written once when placed and
// drawn every frame from its own vertex buffer.
class Sprite {
public:
    Sprite();
    ~Sprite();
    Sprite(const Sprite&) = delete;
    Sprite& operator=(const Sprite&) = delete;

    uint32_t CreationFlags = 0;
    char Name[80] = {};
    IDirect3DDevice8* Device = nullptr;  // null: not created (never drawn, never hit)
    IDirect3DTexture8* Texture = nullptr;
    IDirect3DVertexBuffer8* VertexBuffer = nullptr;
    uint32_t VertexCapacity = 0;  // vertices the buffer holds
    XFileMesh* Mesh = nullptr;
    uint32_t TriangleCount = 0;
    int32_t TextureWidth = 0, TextureHeight = 0;
    float Width = 0.f, Height = 0.f;
    float Tu0 = 0.f, Tv0 = 0.f, Tu1 = 0.f, Tv1 = 0.f;
    uint8_t FromMeshSlot = 0;
    int32_t MeshSlot = 0;
    TextureTargetInfo TexInfo;
    uint32_t IsText = 0;
    uint32_t DrawnWithShadow = 0;
    BitmapFont* Font = nullptr;
    IDirect3DTexture8* GlyphSheet = nullptr;
    // The colours the text was last written in (the shadow's only when drawn with one).
    uint32_t OwnTextColour = 0xFFFFFFFF;
    uint32_t OwnShadowColour = 0xFF000000;
    float X = 0.f, Y = 0.f;
    char Text[300] = {};
    uint32_t Flags = 0;  // SPRITE_VISIBLE | SPRITE_ACTIVE
    RECT ScreenRect{0, 0, 0, 0};
    DWORD SavedBlock = 0, SpriteBlock = 0;
    // The quads were written and must be written again into a re-created vertex buffer.
    uint8_t NeedsRewrite = 0;
    // Sprites that carry a 3D mesh (drawn by the scene's sprite-model pass).
    uint8_t Is3D[2] = {0, 0};
    D3DVECTOR Position3D{0, 0, 0}, Rotation3D{0, 0, 0}, Scale3D{1, 1, 1};
    // The picture file the texture was read from (the cursor sprites' is set before they are
    // created), and their source rectangle.
    char PictureFile[260] = {};
    RECT Source{0, 0, 0, 0};
    // Created on a device that went away: JoinDevice makes it again on the next one.
    uint8_t AwaitingDevice = 0;

    bool IsVisible() const { return (Flags & SPRITE_VISIBLE) != 0; }
    bool IsActive() const { return (Flags & SPRITE_ACTIVE) != 0; }
    void SetVisible(bool on) { Flags = on ? (Flags | SPRITE_VISIBLE) : (Flags & ~SPRITE_VISIBLE); }
    void SetActive(bool on) { Flags = on ? (Flags | SPRITE_ACTIVE) : (Flags & ~SPRITE_ACTIVE); }

    // 0 on success, 1 when no picture was obtained.
    int Create(IDirect3DDevice8* device, const char* file, bool fromMeshSlot, const RECT& source, int textureWidth,
               int textureHeight, bool active, bool visible);
    int CreateText(IDirect3DDevice8* device, BitmapFont* font, bool active, bool visible);
    HRESULT SetPosition(float x, float y);
    HRESULT SetText(float x, float y, const char* text);
    HRESULT SetTextColoured(float x, float y, uint32_t colour, const char* text);
    HRESULT SetTextDefaultColour(float x, float y, const char* text);
    int ReloadTexture(IDirect3DDevice8* device, const char* file);
    HRESULT Render();
    void BeginBatch();
    void DrawInBatch();
    void EndBatch();
    HRESULT RestoreVideoResources();
    void ReleaseVideoObjects();
    void DestroyDeviceObjects();
    void Destroy();
    // A change of device: the sprite gives up its device objects but stays created, and on the
    // new device reads its picture again (text sprites take their font's new sheet); the next
    // RestoreVideoResources writes its quads again.
    void LeaveDevice();
    void JoinDevice(IDirect3DDevice8* device);
    // The texture drawn on stage 0 for this sprite right now (may be null).
    IDirect3DTexture8* CurrentTexture() const;

    // Kept for the application object's release loops.
    void ReleaseVertexBuffer() { ReleaseVideoObjects(); }
    void ReleaseTexture() { DestroyDeviceObjects(); }

private:
    HRESULT WriteTextPass(ScreenVertex* v, uint32_t& used, float x, float y, uint32_t colour, const char* text,
                          bool widenRect);
};

int GetGlyphWidth(int fontKind, int character);

// One of the three glyph-sheet fonts.
class BitmapFont {
public:
    BitmapFont();
    ~BitmapFont();
    BitmapFont(const BitmapFont&) = delete;
    BitmapFont& operator=(const BitmapFont&) = delete;

    char Name[80] = {};
    IDirect3DDevice8* Device = nullptr;
    IDirect3DTexture8* Texture = nullptr;
    IDirect3DVertexBuffer8* VertexBuffer = nullptr;
    int32_t SheetWidth = 0, SheetHeight = 0;
    int32_t CellWidth = 0, CellHeight = 0;
    float Glyphs[223][4] = {};  // tu0, tv0, tu1, tv1 of codes 32..254
    int32_t Kind = 0;
    DWORD SavedBlock = 0, DrawBlock = 0;
    uint32_t TextColour = 0xFFFFFF00;
    uint32_t ShadowColour = 0xFF191900;
    float ShadowOffsetX = 2.f, ShadowOffsetY = 2.f;
    uint32_t DrawFlags = 0;  // 4 = filtered drawing
    char GlyphSheetFile[260] = {};

    HRESULT CreateDeviceObjects(IDirect3DDevice8* device, const char* file, int kind);
    HRESULT RestoreVideoResources();
    void ReleaseVideoObjects();
    void DestroyDeviceObjects();
    HRESULT DrawText(float x, float y, uint32_t colour, const char* text, uint32_t flags);
    HRESULT DrawShadowedText(float x, float y, const char* text);
    // Builds the glyph table for a kind (also used without a device).
    void BuildGlyphTable(int kind);
    // Walks `text` from (x, y): a line feed goes back to x one cell lower; other control codes
    // and 255 take no room. `glyph(x, y, uv)` sees each glyph the sheet holds, with its tu0, tv0,
    // tu1, tv1, and gives false to stop the walk.
    template <class GlyphFn>
    void LayOutText(float x, float y, const char* text, GlyphFn&& glyph) const
    {
        const float startX = x;
        for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
            const int c = *p;
            if (c == 10) {
                x = startX;
                y += (float)CellHeight;
                continue;
            }
            if (c < 32 || c == 255) continue;
            const float* g = Glyphs[c - 32];
            // Cells below the sheet (codes 200 and above of the large font) hold no glyph.
            if (g[3] <= 1.f && !glyph(x, y, g)) return;
            x += (float)GetGlyphWidth(Kind, c);
        }
    }

    void ReleaseVertexBuffer() { ReleaseVideoObjects(); }
    void ReleaseTexture() { DestroyDeviceObjects(); }
};

// A slot of the mesh table: a mesh read from a text .x file or a holder of one texture.
class XFileMesh {
public:
    explicit XFileMesh(const char* initialName = "CD3DFile_Mesh");
    virtual ~XFileMesh();
    XFileMesh(const XFileMesh&) = delete;
    XFileMesh& operator=(const XFileMesh&) = delete;

    char Name[512];
    ID3DXMesh* SystemMesh = nullptr;
    ID3DXMesh* DeviceMesh = nullptr;
    uint32_t MaterialCount = 0;
    D3DMATERIAL8* Materials = nullptr;
    IDirect3DTexture8** Textures = nullptr;
    uint32_t TextureSlots = 0;  // entries of Textures
    TextureTargetInfo TexInfo;
    int32_t VertexCount = 0;
    ModelVertex* Vertices = nullptr;
    int32_t IndexCount = 0;
    uint16_t* Indices = nullptr;
    uint32_t BuffersBuilt = 0;
    IDirect3DVertexBuffer8* VertexBuffer = nullptr;
    IDirect3DIndexBuffer8* IndexBuffer = nullptr;
    bool Loaded = false;  // the slot holds a mesh or a texture holder
    // What the slot was made from, so that a new device can be given the same content: a
    // texture holder's geometry is the dummy mesh; the texture file, and whether the own loader
    // read it.
    bool Placeholder = false;
    char TextureFile[260] = {};
    bool TextureFromOwnLoader = false;
    // Loaded on a device that went away: JoinDevice loads its device objects again.
    bool AwaitingDevice = false;

    HRESULT CreateWithTextParse(IDirect3DDevice8* device, const char* file);
    // 0, or -1 when the holder mesh carried no material (no texture array).
    int CreatePlaceholder(IDirect3DDevice8* device, const char* textureFile);
    HRESULT ReplaceTexture(IDirect3DDevice8* device, const char* textureFile);
    // 1 parsed, 0 failed (nothing kept).
    int ParseTextFile(const char* file);
    // The same over bytes already in memory (the name is for the traces).
    int ParseText(const char* data, size_t size, const char* nameForTrace);
    HRESULT RestoreVideoResources(IDirect3DDevice8* device);
    HRESULT RestoreDeviceMesh(IDirect3DDevice8* device) { return RestoreVideoResources(device); }
    int ReleaseDeviceMesh();
    int Destroy();
    // A change of device: the device objects go (system mesh, device mesh, buffers, textures)
    // while the slot keeps its name, arrays and material; JoinDevice reads the files again on
    // the new device.
    void LeaveDevice();
    HRESULT JoinDevice(IDirect3DDevice8* device);
    HRESULT SetMaterial0(IDirect3DDevice8* device);
    HRESULT SetTexture0(IDirect3DDevice8* device, XFileMesh* textureMesh);
    HRESULT DrawSubset0();
    IDirect3DTexture8* Texture0() const { return Textures && TextureSlots > 0 ? Textures[0] : nullptr; }

private:
    void FreeArrays();
    void ReleaseTextures();
    // Reads TextureFile into texture 0, with the own picture loader first when asked.
    HRESULT LoadTexture0(IDirect3DDevice8* device, bool ownLoaderFirst);
};

// Builds (or with rebuild, re-creates) the mesh's own vertex and index buffers from its arrays.
HRESULT BuildMeshBuffers(IDirect3DDevice8* device, XFileMesh* mesh, bool rebuild);

constexpr int ANIMATION_CHANNELS = 17;

// A placed copy of a mesh. The match reads and writes these fields directly.
struct ModelInstance {
    uint8_t InUse = 0;
    int32_t RenderKind = 0;
    int32_t MeshIndex = MESH_NONE;
    int32_t TextureMeshIndex = MESH_NONE;
    int32_t CastsShadow = 0;
    D3DVECTOR Position{0, 0, 0};
    D3DVECTOR Rotation{0, 0, 0};
    D3DVECTOR Scale{1, 1, 1};
    D3DVECTOR SpareVector{0, 0, 0};
    char Name[260] = {};
    char TextureFile[260] = {};
    D3DMATRIX WorldMatrix{};
    uint8_t MatrixValid = 0;
    uint8_t Moved = 0;
    int32_t Id = -1;
    int32_t Kind = 0;
    uint8_t Translucent = 0;
    uint8_t Visible = 0;
    uint8_t NeverCull = 0;
    uint8_t Animating = 0;
    int32_t AnimationSlot = 0;
    int32_t AnimCurrentFrame[ANIMATION_CHANNELS] = {};
    int32_t AnimNextFrame[ANIMATION_CHANNELS] = {};
    float AnimBlend[ANIMATION_CHANNELS] = {};
    float AnimTimeInFrame[ANIMATION_CHANNELS] = {};
    float AnimSecondsPerTick[ANIMATION_CHANNELS] = {};
    int32_t AnimationLoopLimit = 0;
    int32_t AnimationLoopsDone = 0;
    int32_t SpareCounter = 0;
    float BoundingRadius = 0.f;
    D3DVECTOR BoundingCentre{0, 0, 0};
    D3DVECTOR BoxMin{0, 0, 0}, BoxMax{0, 0, 0};
    D3DVECTOR UnscaledBoxMin{0, 0, 0}, UnscaledBoxMax{0, 0, 0};
    float GroundOffset = 0.f;
    uint32_t Flags = 0;  // 8: keep the bounding centre in x and z
    int32_t UserValues[10] = {};
    int32_t LevelOfDetail = 0;
    D3DVECTOR BoxPoints[2][12] = {};  // model space, world space
    // [0] spare, [1] the shadow vertex buffer.
    IDirect3DVertexBuffer8* DeviceBuffers[2] = {nullptr, nullptr};
    float ShadowScale = 1.f;
    D3DVECTOR CreationPosition{0, 0, 0};
    float ShadowHeightOffset = 0.f;
    uint8_t ExtraFlags[3] = {0, 1, 0};
    uint8_t Billboard = 0;
    uint8_t InScene = 0;
    // Shadow bookkeeping of the shadow pass.
    uint8_t ShadowDirty = 0;
    D3DVECTOR ShadowPosition{0, 0, 0};

    void ReleaseDeviceBuffers();
};
