// Text .x files, as D3DXLoadMeshFromX reads them, loaded into an in-memory device.
#include <cstddef>
#include <cstdint>

#include "fake_device.h"
#include "platform/d3dx8/d3dx8mesh.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FakeDevice* device = new FakeDevice;
    LPD3DXMESH mesh = nullptr;
    LPD3DXBUFFER materials = nullptr, adjacency = nullptr;
    DWORD count = 0;
    if (SUCCEEDED(D3DXLoadMeshFromXInMemory(data, static_cast<DWORD>(size), D3DXMESH_SYSTEMMEM, device, &adjacency,
                                            &materials, &count, &mesh))) {
        for (DWORD i = 0; i <= count; ++i) mesh->DrawSubset(i);
        LPD3DXMESH clone = nullptr;
        if (SUCCEEDED(mesh->CloneMeshFVF(D3DXMESH_MANAGED, D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1, device, &clone)))
            clone->Release();
        mesh->Release();
        if (materials) materials->Release();
        if (adjacency) adjacency->Release();
    }
    device->Release();
    return 0;
}
