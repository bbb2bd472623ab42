#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "fake_device.h"
#include "platform/d3dx8/d3dx8mesh.h"

namespace {

// Two materials: the first triangle red with a texture, the others blue.
const std::string kTwoMaterials = R"(xof 0303txt 0032
Mesh {
 4; 0;0;0;, 1;0;0;, 0;1;0;, 1;1;0;;
 3; 3;0,1,2;, 3;1,3,2;, 3;0,2,3;;
 MeshNormals { 1; 0;0;-1;; 3; 3;0,0,0;, 3;0,0,0;, 3;0,0,0;; }
 MeshTextureCoords { 4; 0;0;, 1;0;, 0;1;, 1;1;; }
 MeshMaterialList { 2; 3; 0, 1, 1;;
   Material { 1;0;0;1;; 5; 0;0;0;; 0;0;0;; TextureFilename { "red.tga"; } }
   Material { 0;0;1;0.5;; 0; 0;0;0;; 0;0;0;; }
 }
}
)";

struct MeshTest : ::testing::Test {
    FakeDevice* device = new FakeDevice;
    int resourcesBefore = Stats().liveResources;
    void TearDown() override
    {
        EXPECT_EQ(device->Release(), 0u);
        EXPECT_EQ(Stats().liveResources, resourcesBefore) << "a buffer or texture leaked";
    }
    HRESULT Load(const std::string& text, DWORD options, LPD3DXMESH* mesh, LPD3DXBUFFER* materials = nullptr,
                 DWORD* count = nullptr, LPD3DXBUFFER* adjacency = nullptr)
    {
        return D3DXLoadMeshFromXInMemory(reinterpret_cast<const BYTE*>(text.data()), static_cast<DWORD>(text.size()),
                                         options, device, adjacency, materials, count, mesh);
    }
};

TEST_F(MeshTest, LoadFillsDeviceBuffersAndMaterials)
{
    LPD3DXMESH mesh = nullptr;
    LPD3DXBUFFER materials = nullptr;
    DWORD count = 0;
    ASSERT_EQ(Load(kTwoMaterials, D3DXMESH_SYSTEMMEM, &mesh, &materials, &count), S_OK);
    EXPECT_EQ(mesh->GetFVF(), DWORD(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1));
    EXPECT_EQ(mesh->GetNumVertices(), 4u);
    EXPECT_EQ(mesh->GetNumFaces(), 3u);

    IDirect3DVertexBuffer8* vb = nullptr;
    ASSERT_EQ(mesh->GetVertexBuffer(&vb), S_OK);
    D3DVERTEXBUFFER_DESC vdesc;
    vb->GetDesc(&vdesc);
    EXPECT_EQ(vdesc.Pool, D3DPOOL_SYSTEMMEM);
    EXPECT_EQ(vdesc.Size, 4u * 32u);
    vb->Release();

    BYTE* bytes = nullptr;
    ASSERT_EQ(mesh->LockVertexBuffer(D3DLOCK_READONLY, &bytes), S_OK);
    float v3[8];
    std::memcpy(v3, bytes + 3 * 32, 32);
    mesh->UnlockVertexBuffer();
    EXPECT_EQ(v3[0], 1.0f);
    EXPECT_EQ(v3[1], 1.0f);
    EXPECT_EQ(v3[5], -1.0f);  // normal z
    EXPECT_EQ(v3[6], 1.0f);   // tu
    EXPECT_EQ(v3[7], 1.0f);   // tv

    ASSERT_EQ(mesh->LockIndexBuffer(D3DLOCK_READONLY, &bytes), S_OK);
    uint16_t idx[9];
    std::memcpy(idx, bytes, sizeof idx);
    mesh->UnlockIndexBuffer();
    EXPECT_EQ(idx[3], 1);
    EXPECT_EQ(idx[4], 3);
    EXPECT_EQ(idx[5], 2);

    ASSERT_EQ(count, 2u);
    ASSERT_NE(materials, nullptr);
    auto* m = static_cast<D3DXMATERIAL*>(materials->GetBufferPointer());
    EXPECT_EQ(m[0].MatD3D.Diffuse.r, 1.0f);
    EXPECT_EQ(m[0].MatD3D.Power, 5.0f);
    ASSERT_NE(m[0].pTextureFilename, nullptr);
    EXPECT_STREQ(m[0].pTextureFilename, "red.tga");
    // The name lives inside the buffer it came in.
    EXPECT_GE(reinterpret_cast<BYTE*>(m[0].pTextureFilename), static_cast<BYTE*>(materials->GetBufferPointer()));
    EXPECT_LT(reinterpret_cast<BYTE*>(m[0].pTextureFilename),
              static_cast<BYTE*>(materials->GetBufferPointer()) + materials->GetBufferSize());
    EXPECT_EQ(m[1].MatD3D.Diffuse.a, 0.5f);
    EXPECT_EQ(m[1].pTextureFilename, nullptr);
    EXPECT_EQ(materials->Release(), 0u);
    EXPECT_EQ(mesh->Release(), 0u);
}

TEST_F(MeshTest, DrawSubsetDrawsOnlyThatAttributesTriangles)
{
    LPD3DXMESH mesh = nullptr;
    ASSERT_EQ(Load(kTwoMaterials, D3DXMESH_MANAGED, &mesh), S_OK);
    ASSERT_EQ(mesh->DrawSubset(1), S_OK);
    ASSERT_EQ(device->draws.size(), 1u);
    EXPECT_EQ(device->draws[0].startIndex, 3u);
    EXPECT_EQ(device->draws[0].primitiveCount, 2u);
    EXPECT_EQ(device->draws[0].numVertices, 4u);
    EXPECT_EQ(device->draws[0].stride, 32u);
    EXPECT_EQ(device->draws[0].shader, mesh->GetFVF());
    device->draws.clear();
    ASSERT_EQ(mesh->DrawSubset(7), S_OK);  // no such attribute: nothing drawn
    EXPECT_TRUE(device->draws.empty());

    // Changing the attributes changes the runs drawn.
    DWORD* attributes = nullptr;
    ASSERT_EQ(mesh->LockAttributeBuffer(0, &attributes), S_OK);
    attributes[1] = 0;
    mesh->UnlockAttributeBuffer();
    DWORD ranges = 0;
    mesh->GetAttributeTable(nullptr, &ranges);
    EXPECT_EQ(ranges, 2u);
    mesh->DrawSubset(0);
    ASSERT_EQ(device->draws.size(), 1u);
    EXPECT_EQ(device->draws[0].primitiveCount, 2u);
    mesh->Release();
}

TEST_F(MeshTest, CloneConvertsFormatPoolAndIndexSize)
{
    LPD3DXMESH mesh = nullptr, clone = nullptr;
    ASSERT_EQ(Load(kTwoMaterials, D3DXMESH_SYSTEMMEM, &mesh), S_OK);
    const DWORD fvf = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;
    ASSERT_EQ(mesh->CloneMeshFVF(D3DXMESH_32BIT, fvf, device, &clone), S_OK);
    EXPECT_EQ(clone->GetFVF(), fvf);
    EXPECT_EQ(clone->GetOptions(), DWORD(D3DXMESH_32BIT));
    IDirect3DIndexBuffer8* ib = nullptr;
    clone->GetIndexBuffer(&ib);
    D3DINDEXBUFFER_DESC idesc;
    ib->GetDesc(&idesc);
    ib->Release();
    EXPECT_EQ(idesc.Format, D3DFMT_INDEX32);
    EXPECT_EQ(idesc.Pool, D3DPOOL_DEFAULT);

    BYTE* bytes = nullptr;
    clone->LockVertexBuffer(0, &bytes);
    float pos[3];
    uint32_t diffuse;
    float uv[2];
    std::memcpy(pos, bytes + 3 * 24, 12);
    std::memcpy(&diffuse, bytes + 3 * 24 + 12, 4);
    std::memcpy(uv, bytes + 3 * 24 + 16, 8);
    clone->UnlockVertexBuffer();
    EXPECT_EQ(pos[0], 1.0f);
    EXPECT_EQ(diffuse, 0u);  // absent from the source: zero
    EXPECT_EQ(uv[0], 1.0f);
    EXPECT_EQ(uv[1], 1.0f);

    clone->LockIndexBuffer(0, &bytes);
    uint32_t idx[9];
    std::memcpy(idx, bytes, sizeof idx);
    clone->UnlockIndexBuffer();
    EXPECT_EQ(idx[4], 3u);
    clone->DrawSubset(1);
    ASSERT_EQ(device->draws.size(), 1u);
    EXPECT_EQ(device->draws[0].startIndex, 3u);
    clone->Release();
    mesh->Release();
}

TEST_F(MeshTest, AdjacencyLinksFacesAcrossSharedEdges)
{
    LPD3DXMESH mesh = nullptr;
    LPD3DXBUFFER adjacency = nullptr;
    ASSERT_EQ(Load(kTwoMaterials, D3DXMESH_SYSTEMMEM, &mesh, nullptr, nullptr, &adjacency), S_OK);
    ASSERT_EQ(adjacency->GetBufferSize(), 9u * 4u);
    const DWORD* a = static_cast<const DWORD*>(adjacency->GetBufferPointer());
    // Face 0 (0,1,2): edge 1-2 meets face 1 (1,3,2), edge 2-0 meets face 2 (0,2,3).
    EXPECT_EQ(a[0], 0xFFFFFFFFu);
    EXPECT_EQ(a[1], 1u);
    EXPECT_EQ(a[2], 2u);
    EXPECT_EQ(a[5], 0u);
    adjacency->Release();
    mesh->Release();
}

TEST_F(MeshTest, FailuresReportErrorsAndLeaveNothingBehind)
{
    LPD3DXMESH mesh = reinterpret_cast<LPD3DXMESH>(0x1);
    LPD3DXBUFFER materials = reinterpret_cast<LPD3DXBUFFER>(0x1);
    DWORD count = 99;
    EXPECT_EQ(Load("xof 0303txt 0032\nMesh { 3; 0;0;0;; }", 0, &mesh, &materials, &count), D3DXERR_INVALIDDATA);
    EXPECT_EQ(mesh, nullptr);
    EXPECT_EQ(materials, nullptr);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(Load("xof 0303txt 0032\nHeader { 1; 0; 1; }", 0, &mesh), D3DXERR_LOADEDMESHHASNODATA);
    EXPECT_EQ(D3DXLoadMeshFromX("no/such/file.x", 0, device, nullptr, nullptr, nullptr, &mesh), D3DXERR_INVALIDDATA);
    EXPECT_EQ(mesh, nullptr);
    EXPECT_EQ(Load(kTwoMaterials, 0, &mesh), S_OK);
    mesh->Release();
}

TEST_F(MeshTest, LoadsFromAFileNamedWithBackslashes)
{
    const std::string dir = std::string(BUILD_ROOT) + "/d3dx8_mesh_test";
    std::filesystem::create_directories(dir + "/XData");
    std::ofstream(dir + "/XData/Tri.x") << "xof 0303txt 0032\nMesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; }\n";
    LPD3DXMESH mesh = nullptr;
    DWORD count = 5;
    ASSERT_EQ(D3DXLoadMeshFromX((dir + "/xdata\\tri.x").c_str(), D3DXMESH_SYSTEMMEM, device, nullptr, nullptr, &count,
                                &mesh),
              S_OK);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(mesh->GetFVF(), DWORD(D3DFVF_XYZ));
    EXPECT_EQ(D3DXGetFVFVertexSize(mesh->GetFVF()), 12u);
    mesh->Release();
}

}  // namespace
