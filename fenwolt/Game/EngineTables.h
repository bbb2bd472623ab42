// The element types of the application object's tables. Each holds what the game already uses
// of it; the sprite, font, mesh and instance code extends them in place.
#pragma once

#include "platform/d3d8/d3d8.h"

#include <cstdint>

typedef uint16_t SpriteHandle;
constexpr int SPRITE_COUNT = 2000;
constexpr SpriteHandle SPRITE_NONE = 2000;
constexpr int MESH_COUNT = 1000;
constexpr int MESH_NONE = 1000;
constexpr int INSTANCE_COUNT = 2500;
constexpr int FONT_COUNT = 3;

enum SpriteFlag : uint32_t {
    SPRITE_VISIBLE = 1u << 0,
    SPRITE_ACTIVE = 1u << 1,
};

struct Sprite {
    uint32_t Flags = 0;
    float X = 0.f, Y = 0.f;
    int Width = 0, Height = 0;
    RECT Source{0, 0, 0, 0};
    char PictureFile[260] = {};
    IDirect3DTexture8* Texture = nullptr;
    IDirect3DVertexBuffer8* VertexBuffer = nullptr;

    bool IsVisible() const { return (Flags & SPRITE_VISIBLE) != 0; }
    // The device objects go; the sprite's layout and text stay.
    void ReleaseVertexBuffer();
    void ReleaseTexture();
};

struct BitmapFont {
    char GlyphSheetFile[260] = {};
    IDirect3DTexture8* Texture = nullptr;
    IDirect3DVertexBuffer8* VertexBuffer = nullptr;
    void ReleaseVertexBuffer();
    void ReleaseTexture();
};

// A slot of the mesh table: a mesh read from a text .x file or a holder of one texture.
class XFileMesh {
public:
    XFileMesh();
    char Name[260];
    bool Loaded = false;

    // Reads a text .x file into this slot. The reader comes with the mesh table; until then
    // this fails with a trace.
    HRESULT CreateWithTextParse(IDirect3DDevice8* device, const char* file);
    HRESULT CreatePlaceholder(IDirect3DDevice8* device, const char* textureFile);
    HRESULT RestoreDeviceMesh(IDirect3DDevice8* device);
    void ReleaseDeviceMesh();
    // Frees the content (safe to call twice); the slot object stays.
    void Destroy();
};

struct ModelInstance {
    uint8_t InUse = 0;
    IDirect3DVertexBuffer8* DeviceBuffers[2] = {nullptr, nullptr};
    void ReleaseDeviceBuffers();
};
