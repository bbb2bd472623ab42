#include "fenwolt/Game/Engine/EngineTables.h"
#include "fenwolt/Game/Engine/Textures.h"

#include "fenwolt/common/Utilities.h"
#include "platform/d3dx8/d3dx8mesh.h"
#include "platform/d3dx8/d3dx8tex.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr size_t NPOS = (size_t)-1;
// The own arrays address vertices with 16-bit indices.
constexpr long MAX_MESH_VERTICES = 65536;
constexpr long MAX_MESH_FACES = 1 << 20;
constexpr long MAX_FACE_CORNERS = 64;

enum class Dialect { Lws2x, PolyTrans, Plain };

// A read-only cursor over the file text; every step stays inside it.
class TextScanner {
public:
    TextScanner(const char* data, size_t size) : data_(data), size_(size) {}

    size_t Find(size_t from, const char* what) const
    {
        if (from >= size_) return NPOS;
        size_t n = std::strlen(what);
        for (size_t i = from; i + n <= size_; ++i)
            if (std::memcmp(data_ + i, what, n) == 0) return i;
        return NPOS;
    }
    size_t SkipToNumber(size_t from, bool allowMinus = true) const
    {
        for (size_t i = from; i < size_; ++i) {
            char c = data_[i];
            if ((c >= '0' && c <= '9') || (allowMinus && c == '-')) return i;
        }
        return NPOS;
    }
    // The text from `from` up to the first of the terminators; `next` is one past it.
    bool Field(size_t from, const char* terminators, std::string& out, size_t& next) const
    {
        if (from >= size_) return false;
        for (size_t i = from; i < size_; ++i) {
            if (std::strchr(terminators, data_[i]) && data_[i] != 0) {
                out.assign(data_ + from, i - from);
                next = i + 1;
                return true;
            }
        }
        return false;
    }
    bool ReadFloat(size_t& pos, const char* terminators, float& value) const
    {
        std::string text;
        if (!Field(pos, terminators, text, pos)) return false;
        value = (float)std::strtod(text.c_str(), nullptr);
        return true;
    }
    bool ReadInt(size_t& pos, const char* terminators, long& value) const
    {
        std::string text;
        if (!Field(pos, terminators, text, pos)) return false;
        value = std::strtol(text.c_str(), nullptr, 10);
        return true;
    }
    size_t Size() const { return size_; }

private:
    const char* data_;
    size_t size_;
};

void Fail(const char* message, const char* name) { DebugOutPair(message, name ? name : ""); }

template <class T>
void ReleaseAndNull(T*& p)
{
    if (p) p->Release();
    p = nullptr;
}

}  // namespace

XFileMesh::XFileMesh(const char* initialName)
{
    std::snprintf(Name, sizeof(Name), "%s", initialName ? initialName : "");
}

XFileMesh::~XFileMesh() { Destroy(); }

void XFileMesh::FreeArrays()
{
    delete[] Vertices;
    Vertices = nullptr;
    delete[] Indices;
    Indices = nullptr;
    VertexCount = 0;
    IndexCount = 0;
}

void XFileMesh::ReleaseTextures()
{
    if (Textures) {
        for (uint32_t i = 0; i < TextureSlots; ++i) ReleaseAndNull(Textures[i]);
        delete[] Textures;
    }
    Textures = nullptr;
    TextureSlots = 0;
}

int XFileMesh::ParseText(const char* data, size_t size, const char* name)
{
    FreeArrays();
    // The text ends at its first NUL byte.
    size_t length = 0;
    while (length < size && data[length] != 0) ++length;
    TextScanner s(data, length);

    Dialect dialect = Dialect::Plain;
    size_t marker = s.Find(0, "LWS2X");
    if (marker != NPOS && marker <= 50)
        dialect = Dialect::Lws2x;
    else if (s.Find(0, "PolyTrans") != NPOS)
        dialect = Dialect::PolyTrans;

    size_t start = 0;
    if (dialect != Dialect::Plain) {
        size_t first = s.Find(0, "Header");
        if (first == NPOS) return Fail("Failed to find Header in", name), 0;
        size_t second = s.Find(first + 1, "Header");
        if (second == NPOS) return Fail("Failed to find 2nd Header in", name), 0;
        start = second;
    }

    size_t mesh = s.Find(start, "Mesh ");
    size_t brace = mesh == NPOS ? NPOS : s.Find(mesh, "{");
    if (brace == NPOS) return Fail("Failed to find Mesh in", name), 0;
    size_t pos = s.SkipToNumber(brace, false);
    long vertexCount = 0;
    if (pos == NPOS || !s.ReadInt(pos, ";", vertexCount)) return Fail("Failed to find Mesh in", name), 0;
    if (vertexCount < 1 || vertexCount > MAX_MESH_VERTICES) return Fail("Bad vertex count in", name), 0;
    --pos;  // on the count's ';'

    switch (dialect) {
    case Dialect::Lws2x: pos += 4; break;
    case Dialect::PolyTrans: pos = s.Find(pos, "vertices"); break;
    case Dialect::Plain: break;
    }
    if (pos == NPOS) return Fail("Failed to find Mesh in", name), 0;

    size_t coords = s.Find(0, "MeshTextureCoords");
    if (coords != NPOS) {
        switch (dialect) {
        case Dialect::Lws2x: coords += 28; break;
        case Dialect::PolyTrans: coords = s.Find(0, "texture coords"); break;
        case Dialect::Plain: coords = s.Find(coords, ";"); break;
        }
    }
    if (coords == NPOS || coords >= s.Size()) return Fail("Failed to find Coords in", name), 0;

    std::vector<ModelVertex> vertices((size_t)vertexCount);
    for (auto& v : vertices) {
        pos = s.SkipToNumber(pos);
        if (pos == NPOS || !s.ReadFloat(pos, ";", v.x) || !s.ReadFloat(pos, ";", v.y) || !s.ReadFloat(pos, ";", v.z))
            return Fail("Too few vertices in", name), 0;
        coords = s.SkipToNumber(coords);
        if (coords == NPOS || !s.ReadFloat(coords, ";", v.tu) || !s.ReadFloat(coords, ";", v.tv))
            return Fail("Too few texture coordinates in", name), 0;
        v.nx = 0.f;
        v.ny = 0.f;
        v.nz = -1.f;
    }

    pos = s.SkipToNumber(pos, false);
    long faceCount = 0;
    if (pos == NPOS || !s.ReadInt(pos, ";", faceCount)) return Fail("Failed to find faces in", name), 0;
    if (faceCount < 1 || faceCount > MAX_MESH_FACES) return Fail("Bad face count in", name), 0;
    --pos;
    switch (dialect) {
    case Dialect::Lws2x: pos += 4; break;
    case Dialect::PolyTrans: pos = s.Find(pos, "faces"); break;
    case Dialect::Plain: pos = s.Find(pos, ";"); break;
    }
    if (pos == NPOS) return Fail("Failed to find faces in", name), 0;

    size_t normals = s.Find(pos, "MeshNormals {");
    if (normals == NPOS) return Fail("Failed to find normals in", name), 0;
    normals = s.SkipToNumber(normals);
    long normalCountRaw = 0;
    if (normals == NPOS || !s.ReadInt(normals, ";", normalCountRaw)) return Fail("Failed to find normals in", name), 0;
    const long normalCount = (uint16_t)normalCountRaw;
    if (dialect == Dialect::PolyTrans) normals = s.Find(normals, "s");
    if (normals != NPOS) normals = s.SkipToNumber(normals);
    std::vector<D3DVECTOR> normalList((size_t)normalCount);
    for (auto& n : normalList) {
        if (normals == NPOS || !s.ReadFloat(normals, ";", n.x)) return Fail("Too few normals in", name), 0;
        normals = s.SkipToNumber(normals);
        if (normals == NPOS || !s.ReadFloat(normals, ";", n.y)) return Fail("Too few normals in", name), 0;
        normals = s.SkipToNumber(normals);
        if (normals == NPOS || !s.ReadFloat(normals, ";", n.z)) return Fail("Too few normals in", name), 0;
        normals = s.SkipToNumber(normals);
    }
    if (normals != NPOS) normals = s.Find(normals, dialect == Dialect::PolyTrans ? "s" : ";");

    std::vector<uint16_t> indices((size_t)faceCount * 3);
    for (long f = 0; f < faceCount; ++f) {
        long corners = 0, a = 0, b = 0, c = 0;
        pos = s.SkipToNumber(pos);
        if (pos == NPOS || !s.ReadInt(pos, ",;", corners) || !s.ReadInt(pos, ",;", a) || !s.ReadInt(pos, ",;", b) ||
            !s.ReadInt(pos, ",;", c))
            return Fail("Too few faces in", name), 0;
        if (corners != 3) Fail("Warning: non triangle in", name);
        if (corners < 3 || corners > MAX_FACE_CORNERS) return Fail("Bad face in", name), 0;
        // The further corners of a polygon are passed over so that the next face starts clean.
        for (long k = 3; k < corners; ++k) {
            long ignored = 0;
            if (!s.ReadInt(pos, ",;", ignored)) return Fail("Too few faces in", name), 0;
        }
        long na = 0, nb = 0, nc = 0, normalCorners = 0;
        if (normals != NPOS) normals = s.SkipToNumber(normals);
        if (normals == NPOS || !s.ReadInt(normals, ",;", normalCorners) || !s.ReadInt(normals, ",;", na) ||
            !s.ReadInt(normals, ",;", nb) || !s.ReadInt(normals, ",;", nc))
            return Fail("Too few normal faces in", name), 0;
        if (normalCorners != 3) Fail("Warning: non triangle n in", name);
        if (normalCorners < 3 || normalCorners > MAX_FACE_CORNERS) return Fail("Bad normal face in", name), 0;
        for (long k = 3; k < normalCorners; ++k) {
            long ignored = 0;
            if (!s.ReadInt(normals, ",;", ignored)) return Fail("Too few normal faces in", name), 0;
        }
        const long corner[3] = {a, b, c}, normal[3] = {na, nb, nc};
        for (int k = 0; k < 3; ++k) {
            if (corner[k] < 0 || corner[k] >= vertexCount || normal[k] < 0 || normal[k] >= normalCount)
                return Fail("Face index out of range in", name), 0;
            indices[(size_t)f * 3 + k] = (uint16_t)corner[k];
            const D3DVECTOR& n = normalList[(size_t)normal[k]];
            ModelVertex& v = vertices[(size_t)corner[k]];
            v.nx = n.x;
            v.ny = n.y;
            v.nz = n.z;
        }
    }

    Vertices = new ModelVertex[vertices.size()];
    std::memcpy(Vertices, vertices.data(), vertices.size() * sizeof(ModelVertex));
    VertexCount = (int32_t)vertices.size();
    Indices = new uint16_t[indices.size()];
    std::memcpy(Indices, indices.data(), indices.size() * sizeof(uint16_t));
    IndexCount = (int32_t)indices.size();
    return 1;
}

int XFileMesh::ParseTextFile(const char* file)
{
    FreeArrays();
    DWORD size = 0;
    HGLOBAL block = ReadWholeFile(file, &size);
    if (!block) return 0;
    const char* text = static_cast<const char*>(GlobalLock(block));
    int result = text ? ParseText(text, size, file) : 0;
    if (text) GlobalUnlock(block);
    GlobalFree(block);
    return result;
}

HRESULT BuildMeshBuffers(IDirect3DDevice8* device, XFileMesh* mesh, bool rebuild)
{
    if (!device || !mesh || mesh->VertexCount < 1 || mesh->IndexCount < 1 || !mesh->Vertices || !mesh->Indices)
        return E_FAIL;
    if (mesh->VertexBuffer && !rebuild) return S_OK;
    ReleaseAndNull(mesh->VertexBuffer);
    ReleaseAndNull(mesh->IndexBuffer);
    const UINT vertexBytes = (UINT)mesh->VertexCount * sizeof(ModelVertex);
    if (FAILED(device->CreateVertexBuffer(vertexBytes, D3DUSAGE_WRITEONLY, MODEL_VERTEX_FVF, D3DPOOL_MANAGED,
                                          &mesh->VertexBuffer)))
        return E_FAIL;
    BYTE* data = nullptr;
    if (FAILED(mesh->VertexBuffer->Lock(0, vertexBytes, &data, 0))) {
        ReleaseAndNull(mesh->VertexBuffer);
        return E_FAIL;
    }
    std::memcpy(data, mesh->Vertices, vertexBytes);
    mesh->VertexBuffer->Unlock();
    const UINT indexBytes = (UINT)mesh->IndexCount * sizeof(uint16_t);
    if (FAILED(device->CreateIndexBuffer(indexBytes, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED,
                                         &mesh->IndexBuffer)) ||
        FAILED(mesh->IndexBuffer->Lock(0, indexBytes, &data, 0))) {
        ReleaseAndNull(mesh->IndexBuffer);
        ReleaseAndNull(mesh->VertexBuffer);
        return E_FAIL;
    }
    std::memcpy(data, mesh->Indices, indexBytes);
    mesh->IndexBuffer->Unlock();
    return S_OK;
}

namespace {
// Keeps the first material of a load, its ambient colour made its diffuse one.
void KeepFirstMaterial(XFileMesh& mesh, ID3DXBuffer* materials, DWORD count)
{
    mesh.MaterialCount = count > 1 ? 1 : count;
    if (materials && mesh.MaterialCount == 1 && materials->GetBufferSize() >= sizeof(D3DXMATERIAL)) {
        const auto* first = static_cast<const D3DXMATERIAL*>(materials->GetBufferPointer());
        mesh.Materials = new D3DMATERIAL8[1];
        mesh.Materials[0] = first->MatD3D;
        mesh.Materials[0].Ambient = mesh.Materials[0].Diffuse;
        mesh.Textures = new IDirect3DTexture8*[1]{nullptr};
        mesh.TextureSlots = 1;
    } else {
        mesh.MaterialCount = 0;
    }
}
}  // namespace

HRESULT XFileMesh::CreateWithTextParse(IDirect3DDevice8* device, const char* file)
{
    if (!file) return E_INVALIDARG;
    Destroy();
    ID3DXBuffer* materials = nullptr;
    DWORD count = 0;
    HRESULT hr = D3DXLoadMeshFromX(file, D3DXMESH_SYSTEMMEM, device, nullptr, &materials, &count, &SystemMesh);
    if (FAILED(hr)) {
        SystemMesh = nullptr;
        ReleaseAndNull(materials);
        return hr;
    }
    std::snprintf(Name, sizeof(Name), "%s", file);
    KeepFirstMaterial(*this, materials, count);
    ReleaseAndNull(materials);
    // A file the own parser cannot read has no arrays to draw from: the slot stays empty.
    if (!ParseTextFile(file) || FAILED(BuildMeshBuffers(device, this, true))) {
        Destroy();
        return E_FAIL;
    }
    BuffersBuilt = 1;
    Loaded = true;
    return S_OK;
}

int XFileMesh::CreatePlaceholder(IDirect3DDevice8* device, const char* textureFile)
{
    Destroy();
    ID3DXBuffer* materials = nullptr;
    DWORD count = 0;
    HRESULT hr = D3DXLoadMeshFromX("xdata\\dummy.x", D3DXMESH_SYSTEMMEM, device, nullptr, &materials, &count,
                                   &SystemMesh);
    if (FAILED(hr)) {
        SystemMesh = nullptr;
        ReleaseAndNull(materials);
        return (int)hr;
    }
    std::snprintf(Name, sizeof(Name), "%s", textureFile ? textureFile : "");
    KeepFirstMaterial(*this, materials, count);
    ReleaseAndNull(materials);
    if (!Textures) {
        Destroy();
        return -1;
    }
    Placeholder = true;
    if (textureFile && textureFile[0]) {
        std::snprintf(TextureFile, sizeof(TextureFile), "%s", textureFile);
        // A holder whose texture could not be read by either loader holds nothing useful.
        if (LoadTexture0(device, true) != S_OK) {
            DebugOutPair("Failed to load texture", textureFile);
            Destroy();
            return -1;
        }
    }
    Loaded = true;
    return 0;
}

HRESULT XFileMesh::LoadTexture0(IDirect3DDevice8* device, bool ownLoaderFirst)
{
    if (!Textures || TextureSlots == 0) return E_FAIL;
    ReleaseAndNull(Textures[0]);
    TextureFromOwnLoader = ownLoaderFirst && LoadImageIntoMeshTexture(*this, device, TextureFile) == 0;
    if (!TextureFromOwnLoader) {
        TexInfo = TextureTargetInfo{};
        ReleaseAndNull(Textures[0]);
        if (FAILED(D3DXCreateTextureFromFileA(device, TextureFile, &Textures[0]))) Textures[0] = nullptr;
    }
    return Textures[0] ? S_OK : E_FAIL;
}

HRESULT XFileMesh::ReplaceTexture(IDirect3DDevice8* device, const char* file)
{
    ReleaseTextures();
    TextureSlots = MaterialCount > 0 ? MaterialCount : 1;
    Textures = new IDirect3DTexture8*[TextureSlots]();
    TextureFromOwnLoader = false;
    std::snprintf(TextureFile, sizeof(TextureFile), "%s", file ? file : "");
    if (!file) return S_OK;
    TexInfo = TextureTargetInfo{};
    if (FAILED(D3DXCreateTextureFromFileA(device, file, &Textures[0]))) {
        Textures[0] = nullptr;
        DebugOutPair("Failed to load texture", file);
        return E_FAIL;
    }
    return S_OK;
}

HRESULT XFileMesh::RestoreVideoResources(IDirect3DDevice8* device)
{
    if (!device || !SystemMesh) return E_FAIL;
    ReleaseAndNull(DeviceMesh);
    if (FAILED(SystemMesh->CloneMeshFVF(0, SystemMesh->GetFVF(), device, &DeviceMesh))) {
        DeviceMesh = nullptr;
        return E_FAIL;
    }
    return S_OK;
}

int XFileMesh::ReleaseDeviceMesh()
{
    ReleaseAndNull(DeviceMesh);
    return 0;
}

int XFileMesh::Destroy()
{
    ReleaseAndNull(DeviceMesh);
    ReleaseTextures();
    delete[] Materials;
    Materials = nullptr;
    ReleaseAndNull(SystemMesh);
    FreeArrays();
    ReleaseAndNull(VertexBuffer);
    ReleaseAndNull(IndexBuffer);
    MaterialCount = 0;
    BuffersBuilt = 0;
    TexInfo = TextureTargetInfo{};
    Loaded = false;
    Placeholder = false;
    TextureFile[0] = 0;
    TextureFromOwnLoader = false;
    AwaitingDevice = false;
    std::snprintf(Name, sizeof(Name), "CD3DFile_Mesh");
    return 0;
}

void XFileMesh::LeaveDevice()
{
    ReleaseAndNull(DeviceMesh);
    ReleaseAndNull(SystemMesh);
    ReleaseAndNull(VertexBuffer);
    ReleaseAndNull(IndexBuffer);
    for (uint32_t i = 0; Textures && i < TextureSlots; ++i) ReleaseAndNull(Textures[i]);
    if (Loaded) AwaitingDevice = true;
}

HRESULT XFileMesh::JoinDevice(IDirect3DDevice8* device)
{
    if (!AwaitingDevice || !device) return S_OK;
    AwaitingDevice = false;
    // Only the first material of the file is kept, and the slot has it already.
    ID3DXBuffer* materials = nullptr;
    DWORD count = 0;
    const char* geometry = Placeholder ? "xdata\\dummy.x" : Name;
    HRESULT hr = D3DXLoadMeshFromX(geometry, D3DXMESH_SYSTEMMEM, device, nullptr, &materials, &count, &SystemMesh);
    ReleaseAndNull(materials);
    if (FAILED(hr)) {
        SystemMesh = nullptr;
        DebugOutPair("Failed to load mesh again", geometry);
        return hr;
    }
    if (Vertices && FAILED(BuildMeshBuffers(device, this, true))) {
        DebugOutPair("Failed to build mesh buffers again", Name);
        return E_FAIL;
    }
    if (TextureFile[0] && LoadTexture0(device, TextureFromOwnLoader) != S_OK) {
        DebugOutPair("Failed to load texture again", TextureFile);
        return E_FAIL;
    }
    return S_OK;
}

HRESULT XFileMesh::SetMaterial0(IDirect3DDevice8* device)
{
    if (!DeviceMesh || !device) return E_FAIL;
    if (Materials && MaterialCount > 0) return device->SetMaterial(&Materials[0]);
    return S_OK;
}

HRESULT XFileMesh::SetTexture0(IDirect3DDevice8* device, XFileMesh* textureMesh)
{
    if (!DeviceMesh || !device) return E_FAIL;
    return device->SetTexture(0, textureMesh ? textureMesh->Texture0() : nullptr);
}

HRESULT XFileMesh::DrawSubset0()
{
    if (!DeviceMesh) return E_FAIL;
    return DeviceMesh->DrawSubset(0);
}
