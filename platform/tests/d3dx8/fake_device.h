// An in-memory device for the D3DX tests: buffers and textures keep their bytes where the test
// can read them, draws are recorded, and capabilities and formats are whatever the test sets.
#pragma once

#include <cstring>
#include <set>
#include <vector>

#include "failing_d3d8.h"

struct FakeStats {
    int liveResources = 0;
};
inline FakeStats& Stats()
{
    static FakeStats s;
    return s;
}

template <class Base>
struct FakeResource : RefCounted<Base> {
    FakeResource() { ++Stats().liveResources; }
    ~FakeResource() override { --Stats().liveResources; }
    HRESULT GetDevice(IDirect3DDevice8**) override { return D3DERR_INVALIDCALL; }
    DWORD SetPriority(DWORD) override { return 0; }
    DWORD GetPriority() override { return 0; }
    void PreLoad() override {}
};

template <class Base, class Desc>
struct FakeBuffer : FakeResource<Base> {
    std::vector<BYTE> bytes;
    Desc desc{};
    int locks = 0;
    D3DRESOURCETYPE GetType() override { return desc.Type; }
    HRESULT Lock(UINT offset, UINT size, BYTE** data, DWORD) override
    {
        if (offset > bytes.size()) return D3DERR_INVALIDCALL;
        ++locks;
        *data = bytes.data() + offset;
        return S_OK;
    }
    HRESULT Unlock() override
    {
        if (locks == 0) return D3DERR_INVALIDCALL;
        --locks;
        return S_OK;
    }
    HRESULT GetDesc(Desc* d) override
    {
        *d = desc;
        return S_OK;
    }
};
using FakeVertexBuffer = FakeBuffer<IDirect3DVertexBuffer8, D3DVERTEXBUFFER_DESC>;
using FakeIndexBuffer = FakeBuffer<IDirect3DIndexBuffer8, D3DINDEXBUFFER_DESC>;

inline UINT BytesPerPixel(D3DFORMAT f)
{
    switch (f) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8: return 4;
    case D3DFMT_R8G8B8: return 3;
    case D3DFMT_L8:
    case D3DFMT_A8: return 1;
    default: return 2;
    }
}

struct FakeTexture : FakeResource<IDirect3DTexture8> {
    struct Level {
        UINT width, height, pitch;
        std::vector<BYTE> bytes;
        bool locked = false;
    };
    std::vector<Level> levels;
    D3DFORMAT format;
    D3DPOOL pool;

    FakeTexture(UINT w, UINT h, UINT count, D3DFORMAT f, D3DPOOL p) : format(f), pool(p)
    {
        for (UINT i = 0; i < count; ++i) {
            // Rows padded beyond the picture, so that a writer ignoring the pitch is caught.
            const UINT pitch = w * BytesPerPixel(f) + 12;
            levels.push_back({w, h, pitch, std::vector<BYTE>(size_t(pitch) * h, 0xCD)});
            w = w > 1 ? w / 2 : 1;
            h = h > 1 ? h / 2 : 1;
        }
    }
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_TEXTURE; }
    DWORD SetLOD(DWORD) override { return 0; }
    DWORD GetLOD() override { return 0; }
    DWORD GetLevelCount() override { return static_cast<DWORD>(levels.size()); }
    HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* d) override
    {
        if (level >= levels.size()) return D3DERR_INVALIDCALL;
        *d = {format, D3DRTYPE_SURFACE, 0, pool, 0, D3DMULTISAMPLE_NONE, levels[level].width, levels[level].height};
        return S_OK;
    }
    HRESULT GetSurfaceLevel(UINT, IDirect3DSurface8**) override { return D3DERR_INVALIDCALL; }
    HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD) override
    {
        if (level >= levels.size() || rect || levels[level].locked) return D3DERR_INVALIDCALL;
        levels[level].locked = true;
        locked->Pitch = static_cast<INT>(levels[level].pitch);
        locked->pBits = levels[level].bytes.data();
        return S_OK;
    }
    HRESULT UnlockRect(UINT level) override
    {
        if (level >= levels.size() || !levels[level].locked) return D3DERR_INVALIDCALL;
        levels[level].locked = false;
        return S_OK;
    }
    HRESULT AddDirtyRect(const RECT*) override { return S_OK; }

    uint32_t Pixel32(UINT level, UINT x, UINT y) const
    {
        uint32_t v;
        std::memcpy(&v, levels[level].bytes.data() + size_t(y) * levels[level].pitch + x * 4, 4);
        return v;
    }
    uint16_t Pixel16(UINT level, UINT x, UINT y) const
    {
        uint16_t v;
        std::memcpy(&v, levels[level].bytes.data() + size_t(y) * levels[level].pitch + x * 2, 2);
        return v;
    }
};

struct FakeDirect3D : FailingDirect3D8 {
    std::set<D3DFORMAT>* formats;
    explicit FakeDirect3D(std::set<D3DFORMAT>* f) : formats(f) {}
    HRESULT CheckDeviceFormat(UINT, D3DDEVTYPE, D3DFORMAT, DWORD, D3DRESOURCETYPE type, D3DFORMAT f) override
    {
        return (type == D3DRTYPE_TEXTURE && formats->count(f)) ? S_OK : D3DERR_NOTAVAILABLE;
    }
};

struct DrawCall {
    DWORD shader;
    UINT stride;
    UINT minIndex, numVertices, startIndex, primitiveCount;
};

struct FakeDevice : FailingDirect3DDevice8 {
    D3DCAPS8 caps{};
    std::set<D3DFORMAT> formats{D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_R5G6B5, D3DFMT_X1R5G5B5, D3DFMT_A1R5G5B5,
                                D3DFMT_A4R4G4B4};
    bool failCreateTexture = false;
    int texturesCreated = 0;
    std::vector<DrawCall> draws;
    DWORD shader = 0;
    UINT stride = 0;
    IDirect3DVertexBuffer8* stream = nullptr;
    IDirect3DIndexBuffer8* indices = nullptr;

    FakeDevice()
    {
        caps.TextureCaps = D3DPTEXTURECAPS_MIPMAP;
        caps.MaxTextureWidth = caps.MaxTextureHeight = 2048;
    }
    HRESULT GetDeviceCaps(D3DCAPS8* out) override
    {
        *out = caps;
        return S_OK;
    }
    HRESULT GetDirect3D(IDirect3D8** d3d) override
    {
        *d3d = new FakeDirect3D(&formats);
        return S_OK;
    }
    HRESULT GetCreationParameters(D3DDEVICE_CREATION_PARAMETERS* p) override
    {
        *p = {0, D3DDEVTYPE_HAL, nullptr, 0};
        return S_OK;
    }
    HRESULT GetDisplayMode(D3DDISPLAYMODE* m) override
    {
        *m = {800, 600, 60, D3DFMT_X8R8G8B8};
        return S_OK;
    }
    HRESULT CreateTexture(UINT w, UINT h, UINT levels, DWORD, D3DFORMAT f, D3DPOOL pool, IDirect3DTexture8** out) override
    {
        if (failCreateTexture || w == 0 || h == 0 || !formats.count(f)) return D3DERR_INVALIDCALL;
        UINT full = 1;
        for (UINT m = w > h ? w : h; m > 1; m >>= 1) ++full;
        *out = new FakeTexture(w, h, levels == 0 || levels > full ? full : levels, f, pool);
        ++texturesCreated;
        return S_OK;
    }
    HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool, IDirect3DVertexBuffer8** out) override
    {
        auto* b = new FakeVertexBuffer;
        b->bytes.assign(length, 0);
        b->desc = {D3DFMT_VERTEXDATA, D3DRTYPE_VERTEXBUFFER, usage, pool, length, fvf};
        *out = b;
        return S_OK;
    }
    HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool, IDirect3DIndexBuffer8** out) override
    {
        auto* b = new FakeIndexBuffer;
        b->bytes.assign(length, 0);
        b->desc = {format, D3DRTYPE_INDEXBUFFER, usage, pool, length};
        *out = b;
        return S_OK;
    }
    HRESULT SetVertexShader(DWORD handle) override
    {
        shader = handle;
        return S_OK;
    }
    HRESULT SetStreamSource(UINT, IDirect3DVertexBuffer8* b, UINT s) override
    {
        stream = b;
        stride = s;
        return S_OK;
    }
    HRESULT SetIndices(IDirect3DIndexBuffer8* b, UINT) override
    {
        indices = b;
        return S_OK;
    }
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, UINT minIndex, UINT numVertices, UINT startIndex, UINT count) override
    {
        if (type != D3DPT_TRIANGLELIST || !stream || !indices) return D3DERR_INVALIDCALL;
        draws.push_back({shader, stride, minIndex, numVertices, startIndex, count});
        return S_OK;
    }
};
