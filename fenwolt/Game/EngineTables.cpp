#include "fenwolt/Game/EngineTables.h"

#include "fenwolt/common/Utilities.h"

#include <cstdio>
#include <cstring>

namespace {
template <class T>
void ReleaseAndNull(T*& p)
{
    if (p) p->Release();
    p = nullptr;
}
}  // namespace

void Sprite::ReleaseVertexBuffer() { ReleaseAndNull(VertexBuffer); }
void Sprite::ReleaseTexture() { ReleaseAndNull(Texture); }
void BitmapFont::ReleaseVertexBuffer() { ReleaseAndNull(VertexBuffer); }
void BitmapFont::ReleaseTexture() { ReleaseAndNull(Texture); }
void ModelInstance::ReleaseDeviceBuffers()
{
    ReleaseAndNull(DeviceBuffers[0]);
    ReleaseAndNull(DeviceBuffers[1]);
}

XFileMesh::XFileMesh() { std::snprintf(Name, sizeof(Name), "CD3DFile_Mesh"); }

HRESULT XFileMesh::CreateWithTextParse(IDirect3DDevice8*, const char* file)
{
    DebugTrace("XFileMesh: no mesh reader in this build for %s\n", file ? file : "(null)");
    return E_NOTIMPL;
}

HRESULT XFileMesh::CreatePlaceholder(IDirect3DDevice8*, const char* textureFile)
{
    DebugTrace("XFileMesh: no texture holder in this build for %s\n", textureFile ? textureFile : "(null)");
    return E_NOTIMPL;
}

HRESULT XFileMesh::RestoreDeviceMesh(IDirect3DDevice8*) { return Loaded ? S_OK : E_FAIL; }
void XFileMesh::ReleaseDeviceMesh() {}

void XFileMesh::Destroy()
{
    Loaded = false;
    std::snprintf(Name, sizeof(Name), "CD3DFile_Mesh");
}
