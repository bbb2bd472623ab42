#include "fenwolt/Game/Engine/Instances.h"
#include "engine_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {
const char* kPlain =
    "xof 0302txt 0032\n"
    "Mesh tri {\n"
    " 3;\n"
    " 0.0;0.0;0.0;,\n"
    " 1.5;0.0;0.0;,\n"
    " 0.0;-2.0;0.25;;\n"
    " 1;\n"
    " 3;0,1,2;;\n"
    " MeshNormals {\n"
    "  2;\n"
    "  0.0;0.0;-1.0;,\n"
    "  0.0;1.0;0.0;;\n"
    "  1;\n"
    "  3;0,1,1;;\n"
    " }\n"
    " MeshTextureCoords {\n"
    "  3;\n"
    "  0.0;0.0;,\n"
    "  1.0;0.0;,\n"
    "  0.0;1.0;;\n"
    " }\n"
    "}\n";

const char* kPolyTrans =
    "xof 0302txt 0032\n"
    "template Header { <3D82AB43-62DA-11cf-AB39-0020AF71E433> WORD major; }\n"
    "// exported by PolyTrans\n"
    "Header { 1; 0; 1; }\n"
    "Mesh tri {\n"
    " 3; // vertices\n"
    " 0.0;0.0;0.0;,\n"
    " 1.5;0.0;0.0;,\n"
    " 0.0;-2.0;0.25;;\n"
    " 1; // faces\n"
    " 3;0,1,2;;\n"
    " MeshNormals {\n"
    "  2; // normals\n"
    "  0.0;0.0;-1.0;,\n"
    "  0.0;1.0;0.0;;\n"
    "  1; // faces\n"
    "  3;0,1,1;;\n"
    " }\n"
    " MeshTextureCoords {\n"
    "  3; // texture coords\n"
    "  0.0;0.0;,\n"
    "  1.0;0.0;,\n"
    "  0.0;1.0;;\n"
    " }\n"
    "}\n";

const char* kLws2x =
    "xof 0302txt 0032\n"
    "// LWS2X\n"
    "template Header { <3D82AB43-62DA-11cf-AB39-0020AF71E433> }\n"
    "Header { 1; 0; 1; }\n"
    "Mesh tri {\n"
    " 3;\n"
    "    0.0;0.0;0.0;,\n"
    " 1.5;0.0;0.0;,\n"
    " 0.0;-2.0;0.25;;\n"
    " 1;\n"
    "    3;0,1,2;;\n"
    " MeshNormals {\n"
    "  2;\n"
    "  0.0;0.0;-1.0;,\n"
    "  0.0;1.0;0.0;;\n"
    "  1;\n"
    "  3;0,1,1;;\n"
    " }\n"
    " MeshTextureCoords {\n"
    " 3;\n"
    "          0.0;0.0;,\n"
    "  1.0;0.0;,\n"
    "  0.0;1.0;;\n"
    " }\n"
    "}\n";

void ExpectTriangle(const XFileMesh& m)
{
    ASSERT_EQ(m.VertexCount, 3);
    ASSERT_EQ(m.IndexCount, 3);
    EXPECT_FLOAT_EQ(m.Vertices[1].x, 1.5f);
    EXPECT_FLOAT_EQ(m.Vertices[2].y, -2.0f);
    EXPECT_FLOAT_EQ(m.Vertices[2].z, 0.25f);
    EXPECT_FLOAT_EQ(m.Vertices[1].tu, 1.0f);
    EXPECT_FLOAT_EQ(m.Vertices[2].tv, 1.0f);
    EXPECT_EQ(m.Indices[0], 0);
    EXPECT_EQ(m.Indices[2], 2);
    // Vertex 0 takes normal 0; vertices 1 and 2 normal 1.
    EXPECT_FLOAT_EQ(m.Vertices[0].nz, -1.0f);
    EXPECT_FLOAT_EQ(m.Vertices[1].ny, 1.0f);
    EXPECT_FLOAT_EQ(m.Vertices[2].ny, 1.0f);
}

int Parse(XFileMesh& m, const std::string& text) { return m.ParseText(text.data(), text.size(), "test.x"); }
}  // namespace

TEST(XFileParse, ThreeDialectsReadTheSameTriangle)
{
    for (const char* text : {kPlain, kPolyTrans, kLws2x}) {
        XFileMesh m;
        ASSERT_EQ(Parse(m, text), 1) << text;
        ExpectTriangle(m);
    }
}

TEST(XFileParse, HeaderRulesOfTheMarkedDialects)
{
    XFileMesh m;
    // A marked file without its second Header fails; the plain dialect needs none.
    std::string oneHeader = kPolyTrans;
    oneHeader.erase(oneHeader.find("template Header"), std::string("template Header").size());
    EXPECT_EQ(Parse(m, oneHeader), 0);
    EXPECT_EQ(m.VertexCount, 0);
    // The marker counts only within the first 51 bytes: further on, the file is plain.
    std::string late = std::string("xof 0302txt 0032\n") + std::string(40, ' ') + "LWS2X\n" + (kPlain + 17);
    ASSERT_GE(late.find("LWS2X"), 51u);
    ASSERT_EQ(Parse(m, late), 1);
    ExpectTriangle(m);
}

TEST(XFileParse, PolygonsUseTheirFirstThreeCornersAndTheNextFaceStaysInStep)
{
    std::string text = kPlain;
    text.replace(text.find(" 1;\n 3;0,1,2;;"), std::string(" 1;\n 3;0,1,2;;").size(), " 2;\n 4;0,1,2,0;,\n 3;2,1,0;;");
    text.replace(text.find("  1;\n  3;0,1,1;;"), std::string("  1;\n  3;0,1,1;;").size(), "  2;\n  4;0,1,1,1;,\n  3;1,1,0;;");
    XFileMesh m;
    ASSERT_EQ(Parse(m, text), 1);
    ASSERT_EQ(m.IndexCount, 6);
    EXPECT_EQ(m.Indices[3], 2);
    EXPECT_EQ(m.Indices[5], 0);
    // The last corner naming vertex 0 gave it normal 0.
    EXPECT_FLOAT_EQ(m.Vertices[0].nz, -1.0f);
}

TEST(XFileParse, HostileCountsAndIndicesFailWithoutTouchingMemory)
{
    XFileMesh m;
    std::string badIndex = kPlain;
    badIndex.replace(badIndex.find("3;0,1,2;;"), 9, "3;0,1,7;;");
    EXPECT_EQ(Parse(m, badIndex), 0);
    std::string badNormal = kPlain;
    badNormal.replace(badNormal.find("3;0,1,1;;"), 9, "3;0,1,9;;");
    EXPECT_EQ(Parse(m, badNormal), 0);
    std::string negative = kPlain;
    negative.replace(negative.find("3;0,1,2;;"), 9, "3;0,-1,2;;");
    EXPECT_EQ(Parse(m, negative), 0);
    // More vertices announced than written: the parser stops at the end of the text.
    std::string manyVertices = kPlain;
    manyVertices.replace(manyVertices.find(" 3;\n 0.0"), 3, " 60000;");
    EXPECT_EQ(Parse(m, manyVertices), 0);
    std::string hugeCount = kPlain;
    hugeCount.replace(hugeCount.find(" 3;\n 0.0"), 3, " 99999999;");
    EXPECT_EQ(Parse(m, hugeCount), 0);
    // Cut anywhere, the text never parses past its end.
    for (size_t cut = 0; cut < std::string(kPlain).size() - 20; cut += 7) EXPECT_EQ(Parse(m, std::string(kPlain, cut)), 0) << cut;
    EXPECT_EQ(m.Vertices, nullptr);
    EXPECT_EQ(m.VertexCount, 0);
}

// ---------------------------------------------------------------------------------------------
using MeshTableTest = EngineAppTest;

TEST_F(MeshTableTest, EveryMeshOfTheDataSetLoadsWithItsOwnBuffers)
{
    int loaded = 0;
    for (const auto& entry : std::filesystem::directory_iterator(DataSetDir() / "xdata")) {
        if (entry.path().extension() != ".x") continue;
        std::string name = "xdata\\" + entry.path().filename().string();
        int slot = LoadMesh(name.c_str());
        ASSERT_LT(slot, MESH_NONE) << name;
        const XFileMesh& m = *TheApp.MeshTable[slot];
        EXPECT_EQ(m.BuffersBuilt, 1u);
        EXPECT_NE(m.VertexBuffer, nullptr);
        EXPECT_NE(m.DeviceMesh, nullptr);
        EXPECT_LE(m.MaterialCount, 1u);
        EXPECT_EQ(std::string(m.Name), name);
        ++loaded;
    }
    EXPECT_GT(loaded, 15);
    EXPECT_EQ(TheApp.FindMeshByName("xdata\\ball.x") < MESH_NONE, true);
    EXPECT_EQ(TheApp.FindMeshByName("xdata\\nothing.x"), MESH_NONE);
}

TEST_F(MeshTableTest, FailuresReportFailureAndLeaveTheSlotEmpty)
{
    dir.Write("own/bad.x", std::string(kPlain).replace(std::string(kPlain).find("3;0,1,2;;"), 9, "3;0,1,5;;"));
    XFileMesh* slot = TheApp.MeshTable[TheApp.MeshCount];
    EXPECT_TRUE(FAILED(slot->CreateWithTextParse(TheApp.Device, "own\\bad.x")));
    EXPECT_FALSE(slot->Loaded);
    EXPECT_EQ(slot->VertexBuffer, nullptr);
    EXPECT_TRUE(FAILED(slot->CreateWithTextParse(TheApp.Device, "xdata\\missing.x")));
    // A texture holder whose picture neither loader can read is not a success.
    EXPECT_NE(slot->CreatePlaceholder(TheApp.Device, "textures\\missing.tga"), 0);
    EXPECT_FALSE(slot->Loaded);
    ASSERT_EQ(slot->CreatePlaceholder(TheApp.Device, "textures\\ball.tga"), 0);
    EXPECT_NE(slot->Texture0(), nullptr);
    EXPECT_TRUE(FAILED(slot->ReplaceTexture(TheApp.Device, "textures\\missing.tga")));
    EXPECT_EQ(slot->Texture0(), nullptr);
    EXPECT_EQ(slot->ReplaceTexture(TheApp.Device, "textures\\ball.tga"), S_OK);
    EXPECT_NE(slot->Texture0(), nullptr);
    // Without its device mesh the slot refuses to draw.
    slot->ReleaseDeviceMesh();
    EXPECT_EQ(slot->DrawSubset0(), E_FAIL);
    EXPECT_EQ(slot->SetMaterial0(TheApp.Device), E_FAIL);
}

TEST_F(MeshTableTest, AFileWithSeveralMaterialsKeepsOne)
{
    std::string text = kPlain;
    text.replace(text.find(" MeshNormals"), 0,
                 " MeshMaterialList {\n  3;\n  1;\n  0;;\n"
                 "  Material { 1.0;0.0;0.0;1.0;; 0.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;; }\n"
                 "  Material { 0.0;1.0;0.0;1.0;; 0.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;; }\n"
                 "  Material { 0.0;0.0;1.0;1.0;; 0.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;; }\n }\n");
    dir.Write("own/three.x", text);
    int slot = LoadMesh("own\\three.x");
    ASSERT_LT(slot, MESH_NONE);
    const XFileMesh& m = *TheApp.MeshTable[slot];
    EXPECT_EQ(m.MaterialCount, 1u);
    EXPECT_EQ(m.TextureSlots, 1u);
    EXPECT_FLOAT_EQ(m.Materials[0].Diffuse.r, 1.0f);
    EXPECT_FLOAT_EQ(m.Materials[0].Ambient.r, 1.0f);
}

TEST_F(MeshTableTest, InstancesTakeBoundsFromTheirMesh)
{
    int mesh = LoadMesh("xdata\\bvorne.x");
    ASSERT_LT(mesh, MESH_NONE);
    int a = CreateModelInstance("xdata\\bvorne.x", "", 10.f, 0.f, 0.f, 0.f, 0.f, 0.f, 2.f);
    ASSERT_EQ(a, 0);
    ModelInstance& m = TheApp.InstanceTable[a];
    EXPECT_EQ(m.RenderKind, 1);
    EXPECT_EQ(m.Id, 0);
    EXPECT_EQ(m.TextureMeshIndex, MESH_NONE);
    // The intro's letter block has edge 10 centred on its origin: x spans -5..5, and only the
    // vertices at or above the ground count in y, here the top face at 5.
    EXPECT_FLOAT_EQ(m.UnscaledBoxMin.x, -5.f);
    EXPECT_FLOAT_EQ(m.UnscaledBoxMax.x, 5.f);
    EXPECT_FLOAT_EQ(m.UnscaledBoxMin.y, 5.f);
    EXPECT_FLOAT_EQ(m.BoxMax.x, 10.f);
    EXPECT_GT(m.BoundingRadius, 0.f);
    EXPECT_FALSE(std::isnan(m.BoundingRadius));
    EXPECT_FLOAT_EQ(m.WorldMatrix._41, 10.f);
    EXPECT_FLOAT_EQ(m.WorldMatrix._11, 2.f);
    // World box points never lie below the ground.
    for (const D3DVECTOR& p : m.BoxPoints[1]) EXPECT_GE(p.y, 0.f);
    EXPECT_EQ(FindInstanceByName("xdata\\bvorne.x"), a);
    int b = CreateModelInstance("xdata\\bvorne.x", "", 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 1.f);
    EXPECT_EQ(FindNthInstanceByName("xdata\\bvorne.x", 2), b);
    EXPECT_EQ(FindNthInstanceByName("xdata\\bvorne.x", 0), a);
    EXPECT_EQ(FindNthInstanceByName("xdata\\bvorne.x", 3), INSTANCE_NONE);
    EXPECT_EQ(CreateModelInstance("xdata\\unknown.x", "", 0, 0, 0, 0, 0, 0, 1), INSTANCE_NONE);
    // Out-of-range indices are refused.
    EXPECT_EQ(FreeModelInstance(-1), 0);
    EXPECT_EQ(FreeModelInstance(2500), 0);
    EXPECT_FALSE(SetInstanceSkinByIndex(-3, "textures\\ball.tga"));
    SetInstanceVisible(5000, true);
    ScaleInstanceBoundsByIndex(-1, 2.f);
    EXPECT_EQ(FreeModelInstance(a), 1);
    EXPECT_EQ(FindInstanceByName("xdata\\bvorne.x"), b);
}

TEST_F(MeshTableTest, TheTableHoldsTwentyFiveHundredInstances)
{
    ASSERT_LT(LoadMesh("xdata\\squarecf.x"), MESH_NONE);
    for (int i = 0; i < INSTANCE_COUNT; ++i)
        ASSERT_EQ(CreateModelInstance("xdata\\squarecf.x", "", (float)i, 0, 0, 0, 0, 0, 1), i);
    EXPECT_EQ(CreateModelInstance("xdata\\squarecf.x", "", 0, 0, 0, 0, 0, 0, 1), INSTANCE_NONE);
    EXPECT_FLOAT_EQ(TheApp.InstanceTable[2499].Position.x, 2499.f);
}

TEST(InstanceGeometry, WorldMatrixComposesRotationsScaleAndTranslation)
{
    D3DMATRIX m;
    ComposeWorldMatrix(m, D3DVECTOR{0, 1.5707964f, 0}, D3DVECTOR{2, 2, 2}, D3DVECTOR{5, 6, 7});
    // A point on +x turned a quarter about y (left-handed: towards -z), doubled, moved.
    D3DVECTOR out{};
    ASSERT_EQ(VectorMatrixMultiply(out, D3DVECTOR{1, 0, 0}, m), S_OK);
    EXPECT_NEAR(out.x, 5.f, 1e-5);
    EXPECT_NEAR(out.y, 6.f, 1e-5);
    EXPECT_NEAR(out.z, 5.f, 1e-5);
}

TEST(InstanceGeometry, SphereOfAMeshWithoutIndicesIsFinite)
{
    XFileMesh mesh;
    ModelInstance instance;
    instance.BoxMin = D3DVECTOR{-1, 0, -1};
    instance.BoxMax = D3DVECTOR{1, 2, 1};
    ComputeInstanceBoundingSphere(instance, mesh);
    EXPECT_FALSE(std::isnan(instance.BoundingRadius));
    EXPECT_FLOAT_EQ(instance.BoundingRadius, std::sqrt(12.f) / 2.f);
}
