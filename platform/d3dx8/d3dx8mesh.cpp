#include "platform/d3dx8/d3dx8mesh.h"

#include <cstring>
#include <map>
#include <new>
#include <string>
#include <tuple>
#include <utility>
#include <unordered_map>
#include <vector>

#include "platform/d3dx8/d3dx8_internal.h"
#include "platform/d3dx8/xfile_text.h"

using d3dx_detail::Trace;

namespace {

constexpr size_t kMaxMeshFileBytes = 64u * 1024 * 1024;

UINT TexCoordFloats(DWORD fvf, UINT set)
{
    switch ((fvf >> (16 + set * 2)) & 3) {
    case D3DFVF_TEXTUREFORMAT1: return 1;
    case D3DFVF_TEXTUREFORMAT3: return 3;
    case D3DFVF_TEXTUREFORMAT4: return 4;
    default: return 2;
    }
}

// Byte offsets of the components of a vertex format; -1 where the format has none.
struct FvfLayout {
    int position = -1, positionBytes = 0, normal = -1, diffuse = -1, specular = -1;
    int tex[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
    UINT texFloats[8] = {};
    UINT stride = 0;

    explicit FvfLayout(DWORD fvf)
    {
        UINT off = 0;
        switch (fvf & D3DFVF_POSITION_MASK) {
        case D3DFVF_XYZ: positionBytes = 12; break;
        case D3DFVF_XYZRHW: positionBytes = 16; break;
        case D3DFVF_XYZB1: positionBytes = 16; break;
        case D3DFVF_XYZB2: positionBytes = 20; break;
        case D3DFVF_XYZB3: positionBytes = 24; break;
        case D3DFVF_XYZB4: positionBytes = 28; break;
        case D3DFVF_XYZB5: positionBytes = 32; break;
        default: break;
        }
        if (positionBytes) {
            position = 0;
            off = static_cast<UINT>(positionBytes);
        }
        if (fvf & D3DFVF_NORMAL) { normal = static_cast<int>(off); off += 12; }
        if (fvf & D3DFVF_PSIZE) off += 4;
        if (fvf & D3DFVF_DIFFUSE) { diffuse = static_cast<int>(off); off += 4; }
        if (fvf & D3DFVF_SPECULAR) { specular = static_cast<int>(off); off += 4; }
        UINT sets = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
        if (sets > 8) sets = 8;
        for (UINT i = 0; i < sets; ++i) {
            tex[i] = static_cast<int>(off);
            texFloats[i] = TexCoordFloats(fvf, i);
            off += texFloats[i] * 4;
        }
        stride = positionBytes ? off : 0;
    }
};

void CopyComponent(BYTE* dst, int dstOff, const BYTE* src, int srcOff, size_t dstBytes, size_t srcBytes)
{
    if (dstOff < 0) return;
    if (srcOff < 0) {
        std::memset(dst + dstOff, 0, dstBytes);
        return;
    }
    std::memcpy(dst + dstOff, src + srcOff, dstBytes < srcBytes ? dstBytes : srcBytes);
    if (dstBytes > srcBytes) std::memset(dst + dstOff + srcBytes, 0, dstBytes - srcBytes);
}

class Mesh final : public RefCounted<ID3DXMesh> {
public:
    Mesh(IDirect3DDevice8* device, DWORD options, DWORD fvf, DWORD faces, DWORD vertices)
        : device_(device), options_(options), fvf_(fvf), faces_(faces), vertices_(vertices), stride_(FvfLayout(fvf).stride),
          attributes_(faces, 0)
    {
        device_->AddRef();
    }
    ~Mesh() override
    {
        if (vb_) vb_->Release();
        if (ib_) ib_->Release();
        device_->Release();
    }

    HRESULT Init()
    {
        const D3DPOOL vbPool = (options_ & D3DXMESH_VB_SYSTEMMEM) ? D3DPOOL_SYSTEMMEM
                               : (options_ & D3DXMESH_VB_MANAGED) ? D3DPOOL_MANAGED
                                                                  : D3DPOOL_DEFAULT;
        const D3DPOOL ibPool = (options_ & D3DXMESH_IB_SYSTEMMEM) ? D3DPOOL_SYSTEMMEM
                               : (options_ & D3DXMESH_IB_MANAGED) ? D3DPOOL_MANAGED
                                                                  : D3DPOOL_DEFAULT;
        DWORD vbUsage = 0, ibUsage = 0;
        if (options_ & D3DXMESH_VB_WRITEONLY) vbUsage |= D3DUSAGE_WRITEONLY;
        if (options_ & D3DXMESH_VB_DYNAMIC) vbUsage |= D3DUSAGE_DYNAMIC;
        if (options_ & D3DXMESH_VB_SOFTWAREPROCESSING) vbUsage |= D3DUSAGE_SOFTWAREPROCESSING;
        if (options_ & D3DXMESH_IB_WRITEONLY) ibUsage |= D3DUSAGE_WRITEONLY;
        if (options_ & D3DXMESH_IB_DYNAMIC) ibUsage |= D3DUSAGE_DYNAMIC;
        if (options_ & D3DXMESH_IB_SOFTWAREPROCESSING) ibUsage |= D3DUSAGE_SOFTWAREPROCESSING;
        HRESULT hr = device_->CreateVertexBuffer(vertices_ * stride_, vbUsage, fvf_, vbPool, &vb_);
        if (FAILED(hr)) return hr;
        const bool wide = (options_ & D3DXMESH_32BIT) != 0;
        return device_->CreateIndexBuffer(faces_ * 3 * (wide ? 4 : 2), ibUsage, wide ? D3DFMT_INDEX32 : D3DFMT_INDEX16,
                                          ibPool, &ib_);
    }

    HRESULT DrawSubset(DWORD attribId) override
    {
        RebuildRanges();
        bool streamsSet = false;
        for (const D3DXATTRIBUTERANGE& r : ranges_) {
            if (r.AttribId != attribId) continue;
            if (!streamsSet) {
                HRESULT hr = device_->SetVertexShader(fvf_);
                if (SUCCEEDED(hr)) hr = device_->SetStreamSource(0, vb_, stride_);
                if (SUCCEEDED(hr)) hr = device_->SetIndices(ib_, 0);
                if (FAILED(hr)) return hr;
                streamsSet = true;
            }
            HRESULT hr = device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, vertices_, r.FaceStart * 3, r.FaceCount);
            if (FAILED(hr)) return hr;
        }
        return S_OK;
    }
    DWORD GetNumFaces() override { return faces_; }
    DWORD GetNumVertices() override { return vertices_; }
    DWORD GetFVF() override { return fvf_; }
    DWORD GetOptions() override { return options_; }
    HRESULT GetDevice(IDirect3DDevice8** device) override
    {
        if (!device) return D3DERR_INVALIDCALL;
        device_->AddRef();
        *device = device_;
        return S_OK;
    }
    HRESULT GetVertexBuffer(IDirect3DVertexBuffer8** buffer) override
    {
        if (!buffer) return D3DERR_INVALIDCALL;
        vb_->AddRef();
        *buffer = vb_;
        return S_OK;
    }
    HRESULT GetIndexBuffer(IDirect3DIndexBuffer8** buffer) override
    {
        if (!buffer) return D3DERR_INVALIDCALL;
        ib_->AddRef();
        *buffer = ib_;
        return S_OK;
    }
    HRESULT LockVertexBuffer(DWORD flags, BYTE** data) override { return vb_->Lock(0, 0, data, flags); }
    HRESULT UnlockVertexBuffer() override { return vb_->Unlock(); }
    HRESULT LockIndexBuffer(DWORD flags, BYTE** data) override { return ib_->Lock(0, 0, data, flags); }
    HRESULT UnlockIndexBuffer() override { return ib_->Unlock(); }
    HRESULT LockAttributeBuffer(DWORD, DWORD** data) override
    {
        if (!data) return D3DERR_INVALIDCALL;
        *data = attributes_.data();
        rangesValid_ = false;
        return S_OK;
    }
    HRESULT UnlockAttributeBuffer() override
    {
        rangesValid_ = false;
        return S_OK;
    }
    HRESULT GetAttributeTable(D3DXATTRIBUTERANGE* table, DWORD* size) override
    {
        if (!size) return D3DERR_INVALIDCALL;
        RebuildRanges();
        if (table) {
            const DWORD n = *size < ranges_.size() ? *size : static_cast<DWORD>(ranges_.size());
            for (DWORD i = 0; i < n; ++i) table[i] = ranges_[i];
        }
        *size = static_cast<DWORD>(ranges_.size());
        return S_OK;
    }

    HRESULT CloneMeshFVF(DWORD options, DWORD fvf, IDirect3DDevice8* device, LPD3DXMESH* clone) override;

    std::vector<DWORD>& Attributes() { return attributes_; }
    UINT Stride() const { return stride_; }

private:
    void RebuildRanges()
    {
        if (rangesValid_) return;
        ranges_.clear();
        for (DWORD f = 0; f < faces_; ++f) {
            if (ranges_.empty() || ranges_.back().AttribId != attributes_[f])
                ranges_.push_back({attributes_[f], f, 0, 0, vertices_});
            ++ranges_.back().FaceCount;
        }
        rangesValid_ = true;
    }

    IDirect3DDevice8* device_;
    DWORD options_, fvf_, faces_, vertices_;
    UINT stride_;
    IDirect3DVertexBuffer8* vb_ = nullptr;
    IDirect3DIndexBuffer8* ib_ = nullptr;
    std::vector<DWORD> attributes_;
    std::vector<D3DXATTRIBUTERANGE> ranges_;
    bool rangesValid_ = false;
};

HRESULT CreateMesh(DWORD faces, DWORD vertices, DWORD options, DWORD fvf, IDirect3DDevice8* device, Mesh** out)
{
    *out = nullptr;
    if (!device || faces == 0 || vertices == 0 || FvfLayout(fvf).stride == 0) return D3DERR_INVALIDCALL;
    if (!(options & D3DXMESH_32BIT) && vertices > 65536) return D3DERR_INVALIDCALL;
    if (faces > 0x3FFFFFFFu / 4 || static_cast<uint64_t>(vertices) * FvfLayout(fvf).stride > 0x7FFFFFFFu)
        return D3DERR_INVALIDCALL;
    Mesh* mesh = new (std::nothrow) Mesh(device, options, fvf, faces, vertices);
    if (!mesh) return E_OUTOFMEMORY;
    HRESULT hr = mesh->Init();
    if (FAILED(hr)) {
        mesh->Release();
        return hr;
    }
    *out = mesh;
    return S_OK;
}

HRESULT Mesh::CloneMeshFVF(DWORD options, DWORD fvf, IDirect3DDevice8* device, LPD3DXMESH* clone)
{
    if (!clone) return D3DERR_INVALIDCALL;
    *clone = nullptr;
    Mesh* copy = nullptr;
    HRESULT hr = CreateMesh(faces_, vertices_, options, fvf, device ? device : device_, &copy);
    if (FAILED(hr)) return hr;

    BYTE *src = nullptr, *dst = nullptr;
    if (FAILED(hr = vb_->Lock(0, 0, &src, D3DLOCK_READONLY))) {
        copy->Release();
        return hr;
    }
    if (FAILED(hr = copy->LockVertexBuffer(0, &dst))) {
        vb_->Unlock();
        copy->Release();
        return hr;
    }
    const FvfLayout from(fvf_), to(fvf);
    for (DWORD v = 0; v < vertices_; ++v) {
        const BYTE* s = src + size_t(v) * from.stride;
        BYTE* d = dst + size_t(v) * to.stride;
        CopyComponent(d, to.position, s, from.position, size_t(to.positionBytes), size_t(from.positionBytes));
        CopyComponent(d, to.normal, s, from.normal, 12, 12);
        CopyComponent(d, to.diffuse, s, from.diffuse, 4, 4);
        CopyComponent(d, to.specular, s, from.specular, 4, 4);
        for (int t = 0; t < 8; ++t)
            CopyComponent(d, to.tex[t], s, from.tex[t], to.texFloats[t] * 4u, from.texFloats[t] * 4u);
    }
    vb_->Unlock();
    copy->UnlockVertexBuffer();

    if (FAILED(hr = ib_->Lock(0, 0, &src, D3DLOCK_READONLY))) {
        copy->Release();
        return hr;
    }
    if (FAILED(hr = copy->LockIndexBuffer(0, &dst))) {
        ib_->Unlock();
        copy->Release();
        return hr;
    }
    const bool fromWide = (options_ & D3DXMESH_32BIT) != 0, toWide = (options & D3DXMESH_32BIT) != 0;
    for (size_t i = 0; i < size_t(faces_) * 3; ++i) {
        uint32_t index;
        if (fromWide) {
            std::memcpy(&index, src + i * 4, 4);
        } else {
            uint16_t narrow;
            std::memcpy(&narrow, src + i * 2, 2);
            index = narrow;
        }
        if (toWide) {
            std::memcpy(dst + i * 4, &index, 4);
        } else {
            const uint16_t narrow = static_cast<uint16_t>(index);
            std::memcpy(dst + i * 2, &narrow, 2);
        }
    }
    ib_->Unlock();
    copy->UnlockIndexBuffer();
    copy->Attributes() = attributes_;
    *clone = copy;
    return S_OK;
}

// For each edge of each face, the face across it (0xFFFFFFFF: none); vertices at the same
// position count as one.
void ComputeAdjacency(const d3dx_detail::XMeshData& data, std::vector<DWORD>& adjacency)
{
    const size_t faces = data.TriangleCount();
    adjacency.assign(faces * 3, 0xFFFFFFFFu);
    std::map<std::tuple<float, float, float>, uint32_t> firstAt;
    std::vector<uint32_t> rep(data.VertexCount());
    for (uint32_t v = 0; v < rep.size(); ++v) {
        auto key = std::make_tuple(data.positions[v * 3], data.positions[v * 3 + 1], data.positions[v * 3 + 2]);
        rep[v] = firstAt.emplace(key, v).first->second;
    }
    std::unordered_map<uint64_t, uint32_t> open;  // directed-free edge -> face * 3 + edge
    for (uint32_t f = 0; f < faces; ++f)
        for (uint32_t e = 0; e < 3; ++e) {
            uint32_t a = rep[data.indices[f * 3 + e]], b = rep[data.indices[f * 3 + (e + 1) % 3]];
            if (a > b) std::swap(a, b);
            const uint64_t key = (uint64_t(a) << 32) | b;
            auto it = open.find(key);
            if (it == open.end()) {
                open.emplace(key, f * 3 + e);
            } else {
                adjacency[f * 3 + e] = it->second / 3;
                adjacency[it->second] = f;
                open.erase(it);
            }
        }
}

HRESULT BuildMaterials(const d3dx_detail::XMeshData& data, LPD3DXBUFFER* materials)
{
    size_t bytes = data.materials.size() * sizeof(D3DXMATERIAL);
    for (const auto& m : data.materials)
        if (!m.texture.empty()) bytes += m.texture.size() + 1;
    HRESULT hr = D3DXCreateBuffer(static_cast<DWORD>(bytes), materials);
    if (FAILED(hr)) return hr;
    auto* out = static_cast<D3DXMATERIAL*>((*materials)->GetBufferPointer());
    char* strings = reinterpret_cast<char*>(out + data.materials.size());
    for (size_t i = 0; i < data.materials.size(); ++i) {
        const auto& m = data.materials[i];
        D3DMATERIAL8& d = out[i].MatD3D;
        d.Diffuse = {m.diffuse[0], m.diffuse[1], m.diffuse[2], m.diffuse[3]};
        d.Ambient = {0, 0, 0, 0};
        d.Specular = {m.specular[0], m.specular[1], m.specular[2], 1.0f};
        d.Emissive = {m.emissive[0], m.emissive[1], m.emissive[2], 1.0f};
        d.Power = m.power;
        out[i].pTextureFilename = nullptr;
        if (!m.texture.empty()) {
            std::memcpy(strings, m.texture.c_str(), m.texture.size() + 1);
            out[i].pTextureFilename = strings;
            strings += m.texture.size() + 1;
        }
    }
    return S_OK;
}

}  // namespace

UINT D3DXGetFVFVertexSize(DWORD fvf) { return FvfLayout(fvf).stride; }

HRESULT D3DXCreateMeshFVF(DWORD numFaces, DWORD numVertices, DWORD options, DWORD fvf, IDirect3DDevice8* device,
                          LPD3DXMESH* mesh)
{
    if (!mesh) return D3DERR_INVALIDCALL;
    Mesh* m = nullptr;
    HRESULT hr = CreateMesh(numFaces, numVertices, options, fvf, device, &m);
    *mesh = m;
    return hr;
}

HRESULT D3DXLoadMeshFromXInMemory(const BYTE* bytes, DWORD size, DWORD options, IDirect3DDevice8* device,
                                  LPD3DXBUFFER* adjacency, LPD3DXBUFFER* materials, DWORD* numMaterials,
                                  LPD3DXMESH* mesh)
{
    if (adjacency) *adjacency = nullptr;
    if (materials) *materials = nullptr;
    if (numMaterials) *numMaterials = 0;
    if (!mesh || !device || (!bytes && size)) return D3DERR_INVALIDCALL;
    *mesh = nullptr;

    d3dx_detail::XMeshData data;
    std::string error;
    if (!d3dx_detail::ParseTextX(reinterpret_cast<const char*>(bytes), size, data, error)) {
        Trace("D3DXLoadMeshFromX", error);
        return D3DXERR_INVALIDDATA;
    }
    if (data.TriangleCount() == 0) {
        Trace("D3DXLoadMeshFromX", "the file holds no triangles");
        return D3DXERR_LOADEDMESHHASNODATA;
    }
    if (!(options & D3DXMESH_32BIT) && data.VertexCount() > 65535) {
        Trace("D3DXLoadMeshFromX", "more than 65535 vertices need D3DXMESH_32BIT");
        return D3DXERR_INVALIDDATA;
    }
    const DWORD fvf = D3DFVF_XYZ | (data.hasNormals ? D3DFVF_NORMAL : 0) | (data.hasTexcoords ? D3DFVF_TEX1 : 0);
    Mesh* m = nullptr;
    HRESULT hr = CreateMesh(static_cast<DWORD>(data.TriangleCount()), static_cast<DWORD>(data.VertexCount()), options,
                            fvf, device, &m);
    if (FAILED(hr)) {
        Trace("D3DXLoadMeshFromX", "the device refused the mesh buffers");
        return hr;
    }

    BYTE* dst = nullptr;
    if (FAILED(hr = m->LockVertexBuffer(0, &dst))) {
        m->Release();
        return hr;
    }
    const UINT stride = m->Stride();
    for (size_t v = 0; v < data.VertexCount(); ++v) {
        float* out = reinterpret_cast<float*>(dst + v * stride);
        std::memcpy(out, &data.positions[v * 3], 12);
        out += 3;
        if (data.hasNormals) {
            std::memcpy(out, &data.normals[v * 3], 12);
            out += 3;
        }
        if (data.hasTexcoords) std::memcpy(out, &data.texcoords[v * 2], 8);
    }
    m->UnlockVertexBuffer();
    if (FAILED(hr = m->LockIndexBuffer(0, &dst))) {
        m->Release();
        return hr;
    }
    for (size_t i = 0; i < data.indices.size(); ++i) {
        if (options & D3DXMESH_32BIT) {
            std::memcpy(dst + i * 4, &data.indices[i], 4);
        } else {
            const uint16_t narrow = static_cast<uint16_t>(data.indices[i]);
            std::memcpy(dst + i * 2, &narrow, 2);
        }
    }
    m->UnlockIndexBuffer();
    m->Attributes().assign(data.attributes.begin(), data.attributes.end());

    if (materials && !data.materials.empty()) {
        if (FAILED(hr = BuildMaterials(data, materials))) {
            m->Release();
            return hr;
        }
    }
    if (numMaterials) *numMaterials = static_cast<DWORD>(data.materials.size());
    if (adjacency) {
        std::vector<DWORD> adj;
        ComputeAdjacency(data, adj);
        if (FAILED(hr = D3DXCreateBuffer(static_cast<DWORD>(adj.size() * sizeof(DWORD)), adjacency))) {
            if (materials && *materials) {
                (*materials)->Release();
                *materials = nullptr;
            }
            m->Release();
            return hr;
        }
        std::memcpy((*adjacency)->GetBufferPointer(), adj.data(), adj.size() * sizeof(DWORD));
    }
    *mesh = m;
    return S_OK;
}

HRESULT D3DXLoadMeshFromX(LPCSTR filename, DWORD options, IDirect3DDevice8* device, LPD3DXBUFFER* adjacency,
                          LPD3DXBUFFER* materials, DWORD* numMaterials, LPD3DXMESH* mesh)
{
    if (adjacency) *adjacency = nullptr;
    if (materials) *materials = nullptr;
    if (numMaterials) *numMaterials = 0;
    if (mesh) *mesh = nullptr;
    std::vector<unsigned char> bytes;
    if (!d3dx_detail::ReadWholeFile(filename, bytes, kMaxMeshFileBytes)) {
        Trace("D3DXLoadMeshFromX", std::string("cannot read ") + (filename ? filename : "(null)"));
        return D3DXERR_INVALIDDATA;
    }
    HRESULT hr = D3DXLoadMeshFromXInMemory(bytes.data(), static_cast<DWORD>(bytes.size()), options, device, adjacency,
                                           materials, numMaterials, mesh);
    if (FAILED(hr)) Trace("D3DXLoadMeshFromX", std::string("failed on ") + filename);
    return hr;
}
