#include <gtest/gtest.h>

#include <string>

#include "platform/d3dx8/xfile_text.h"

using d3dx_detail::ParseTextX;
using d3dx_detail::XMeshData;

namespace {

const char* kQuad = R"(xof 0303txt 0032
// a comment
template Mesh { <3D82AB44-62DA-11cf-AB39-0020AF71E433> DWORD nVertices; [...] }
Header { 1; 0; 1; }
# another comment
Mesh quad {
  4;
  0.0; 0.0; 0.0;,
  1.0; 0.0; 0.0;,
  1.0; 1.0; 0.0;,
  0.0; 1.0; -2.5e-1;;
  1;
  4; 0, 1, 2, 3;;
  MeshTextureCoords { 4; 0.0; 1.0;, 1.0; 1.0;, 1.0; 0.0;, 0.0; 0.0;; }
  MeshMaterialList { 1; 1; 0;;
    Material { 0.5; 0.25; 1.0; 0.75;; 8.0; 0.1; 0.2; 0.3;; 0.0; 0.0; 0.0;;
      TextureFilename { "kit\\home.tga"; }
    }
  }
}
)";

XMeshData Parse(const std::string& text, bool expectOk = true)
{
    XMeshData out;
    std::string error;
    const bool ok = ParseTextX(text.data(), text.size(), out, error);
    EXPECT_EQ(ok, expectOk) << error;
    if (!ok) {
        EXPECT_FALSE(error.empty());
    }
    return out;
}

TEST(XFileText, QuadIsFannedIntoTwoTrianglesWithCoordinatesAndMaterial)
{
    XMeshData m = Parse(kQuad);
    ASSERT_EQ(m.VertexCount(), 4u);
    ASSERT_EQ(m.TriangleCount(), 2u);
    EXPECT_EQ(m.indices, (std::vector<uint32_t>{0, 1, 2, 0, 2, 3}));
    EXPECT_EQ(m.positions[11], -0.25f);
    EXPECT_FALSE(m.hasNormals);
    ASSERT_TRUE(m.hasTexcoords);
    EXPECT_EQ(m.texcoords[1], 1.0f);
    ASSERT_EQ(m.materials.size(), 1u);
    EXPECT_EQ(m.materials[0].diffuse[1], 0.25f);
    EXPECT_EQ(m.materials[0].diffuse[3], 0.75f);
    EXPECT_EQ(m.materials[0].power, 8.0f);
    EXPECT_EQ(m.materials[0].specular[2], 0.3f);
    EXPECT_EQ(m.materials[0].texture, "kit\\\\home.tga");
    EXPECT_EQ(m.attributes, (std::vector<uint32_t>{0, 0}));
}

TEST(XFileText, CornersWithDifferentNormalsBecomeSeparateVertices)
{
    // Two triangles sharing the edge 1-2, each with its own face normal.
    const std::string text = R"(xof 0303txt 0032
Mesh {
 4; 0;0;0;, 1;0;0;, 0;1;0;, 1;1;1;;
 2; 3;0,1,2;, 3;2,1,3;;
 MeshNormals { 2; 0;0;-1;, 0;1;0;;
   2; 3;0,0,0;, 3;1,1,1;; }
}
)";
    XMeshData m = Parse(text);
    ASSERT_TRUE(m.hasNormals);
    // Vertices 1 and 2 are first used with normal 0; the second face needs copies with normal 1.
    ASSERT_EQ(m.VertexCount(), 6u);
    EXPECT_EQ(m.indices, (std::vector<uint32_t>{0, 1, 2, 4, 5, 3}));
    EXPECT_EQ(m.normals[3 * 3 + 1], 1.0f);  // vertex 3 takes normal 1
    EXPECT_EQ(m.normals[4 * 3 + 1], 1.0f);  // copy of vertex 2
    EXPECT_EQ(m.positions[4 * 3 + 1], 1.0f);
    EXPECT_EQ(m.positions[5 * 3], 1.0f);   // copy of vertex 1
    EXPECT_EQ(m.normals[1 * 3 + 2], -1.0f);
}

TEST(XFileText, FramesApplyTheirTransformsAndMeshesMerge)
{
    const std::string text = R"(xof 0303txt 0032
Material Red { 1;0;0;1;; 0; 0;0;0;; 0;0;0;; }
Frame Root {
  FrameTransformMatrix { 1,0,0,0, 0,1,0,0, 0,0,1,0, 10,0,0,1;; }
  Frame Child {
    FrameTransformMatrix { 2,0,0,0, 0,2,0,0, 0,0,2,0, 0,5,0,1;; }
    Mesh { 3; 1;0;0;, 0;1;0;, 0;0;1;; 1; 3;0,1,2;;
      MeshMaterialList { 1; 1; 0;; { Red } } }
  }
  Mesh { 3; 0;0;0;, 0;0;0;, 0;0;0;; 1; 3;0,1,2;; }
}
)";
    XMeshData m = Parse(text);
    ASSERT_EQ(m.VertexCount(), 6u);
    // Child: scaled by 2, moved up 5, then the root's move of 10 along x.
    EXPECT_EQ(m.positions[0], 12.0f);
    EXPECT_EQ(m.positions[1], 5.0f);
    EXPECT_EQ(m.positions[4], 7.0f);
    // The root's own mesh only moves along x.
    EXPECT_EQ(m.positions[9], 10.0f);
    EXPECT_EQ(m.indices[3], 3u);
    // The referenced material comes from the top level; the mesh without a list gets a default.
    ASSERT_EQ(m.materials.size(), 2u);
    EXPECT_EQ(m.materials[0].diffuse[1], 0.0f);
    EXPECT_EQ(m.attributes, (std::vector<uint32_t>{0, 1}));
}

TEST(XFileText, MaterialListShorterThanFacesRepeatsItsLastIndex)
{
    const std::string text = R"(xof 0303txt 0032
Mesh { 4; 0;0;0;, 1;0;0;, 0;1;0;, 1;1;0;; 3; 3;0,1,2;, 3;1,3,2;, 3;0,2,3;;
  MeshMaterialList { 2; 2; 1, 0;; Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; } }
}
)";
    XMeshData m = Parse(text);
    EXPECT_EQ(m.attributes, (std::vector<uint32_t>{1, 0, 0}));
    ASSERT_EQ(m.materials.size(), 2u);  // the second, unnamed in the file, is white
    EXPECT_EQ(m.materials[1].diffuse[0], 1.0f);
}

TEST(XFileText, HostileAndDamagedFilesFailCleanly)
{
    const char* cases[] = {
        "",
        "xof 0303bin 0032 binary bytes follow",
        "xof 0303txt 0032\nMesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,5;; }",            // index past vertices
        "xof 0303txt 0032\nMesh { 999999999; 0;0;0;; 0;; }",                               // count beyond the file
        "xof 0303txt 0032\nMesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 2;0,1;; }",               // face of two corners
        "xof 0303txt 0032\nMesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;",               // unclosed
        "xof 0303txt 0032\nMesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;\n"
        " MeshNormals { 1; 0;0;1;; 1; 3;0,0,4;; } }",                                        // normal index out of range
        "xof 0303txt 0032\nMesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;\n"
        " MeshNormals { 1; 0;0;1;; 2; 3;0,0,0;, 3;0,0,0;; } }",                              // more normal faces than faces
        "xof 0303txt 0032\nMesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;\n"
        " MeshTextureCoords { 2; 0;0;, 1;1;; } }",                                           // too few coordinates
        "xof 0303txt 0032\nMesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;\n"
        " MeshMaterialList { 1; 1; 3;; } }",                                                 // material index out of range
        "xof 0303txt 0032\nMesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;\n"
        " MeshMaterialList { 1; 1; 0;; { Missing } } }",                                      // unknown reference
        "xof 0303txt 0032\nMesh { 3; 0;0;0;, 1e99;0;0;, 0;1;0;; 1; 3;0,1,2;; }",          // float overflow
        "xof 0303txt 0032\nMesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,-2;; }",            // negative index
        "xof 0303txt 0032\nTexture { \"unterminated; }",
    };
    for (const char* c : cases) {
        SCOPED_TRACE(c);
        XMeshData m = Parse(c, false);
        EXPECT_EQ(m.VertexCount(), 0u);
    }
}

TEST(XFileText, DeepNestingIsRefusedRatherThanOverflowingTheStack)
{
    std::string text = "xof 0303txt 0032\n";
    for (int i = 0; i < 5000; ++i) text += "Frame {";
    Parse(text, false);
}

TEST(XFileText, ExporterCommentsAndHeaderTemplatesAreIgnored)
{
    // The layouts two exporters write: a marker comment near the top, a Header template and a
    // Header object, and counts annotated with comments.
    const std::string lws = R"(xof 0302txt 0032
// LWS2X exporter output
template Header { <3D82AB43-62DA-11cf-AB39-0020AF71E433> WORD major; WORD minor; DWORD flags; }
Header { 1; 0; 1; }
Mesh Body {
    3;
    0.000000;0.000000;0.000000;,
    1.000000;0.000000;0.000000;,
    0.000000;1.000000;0.000000;;
    1;
    3;0,1,2;;
    MeshNormals { 1; 0.000000;0.000000;-1.000000;; 1; 3;0,0,0;; }
    MeshTextureCoords { 3; 0.000000;0.000000;, 1.000000;0.000000;, 0.000000;1.000000;; }
}
)";
    const std::string poly = R"(xof 0303txt 0032
# PolyTrans export
Header { 1; 0; 1; }
Mesh Body {
  3; // 3 vertices
  0.0;0.0;0.0;, 1.0;0.0;0.0;, 0.0;1.0;0.0;;
  1; // 1 faces
  3;0,1,2;;
  MeshTextureCoords {
    3; // 3 texture coords
    0.0;0.0;, 1.0;0.0;, 0.0;1.0;;
  }
  MeshNormals { 1; // 1 normals
    0.0;0.0;-1.0;; 1; 3;0,0,0;; }
}
)";
    for (const std::string& text : {lws, poly}) {
        XMeshData m = Parse(text);
        EXPECT_EQ(m.VertexCount(), 3u);
        EXPECT_EQ(m.TriangleCount(), 1u);
        EXPECT_TRUE(m.hasNormals);
        EXPECT_TRUE(m.hasTexcoords);
    }
}

TEST(XFileText, FileWithoutMeshParsesEmpty)
{
    XMeshData m = Parse("xof 0303txt 0032\nHeader { 1; 0; 1; }\n");
    EXPECT_EQ(m.TriangleCount(), 0u);
}

}  // namespace
