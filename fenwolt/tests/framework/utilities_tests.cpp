#include "fenwolt/Game/GameApp.h"
#include "fenwolt/common/AppFramework.h"
#include "fenwolt/common/Utilities.h"
#include "framework_test_support.h"

#include <cmath>
#include <cstring>

namespace {
D3DMATRIX Translation(float x, float y, float z)
{
    D3DMATRIX m;
    SetIdentityMatrix(m);
    m._41 = x;
    m._42 = y;
    m._43 = z;
    return m;
}
}  // namespace

TEST(MatrixTest, MultiplyAppliesTheFirstMatrixFirstEvenWhenAliased)
{
    D3DMATRIX rotate, move = Translation(10.f, 0.f, 0.f), out;
    SetRotateYMatrix(rotate, 3.14159265f / 2.f);
    MatrixMultiply(out, rotate, move);  // rotate about y, then move along x
    D3DVECTOR p{1.f, 0.f, 0.f}, r{};
    ASSERT_EQ(VectorMatrixMultiply(r, p, out), S_OK);
    EXPECT_NEAR(r.x, 10.f, 1e-5f);
    EXPECT_NEAR(r.z, -1.f, 1e-5f);  // D3DX's y rotation takes +x to -z
    MatrixMultiply(rotate, rotate, move);
    EXPECT_EQ(std::memcmp(&rotate, &out, sizeof(out)), 0);
}

TEST(MatrixTest, ProjectionOntoTheEyePlaneIsRefused)
{
    D3DMATRIX projection{};
    projection._11 = projection._22 = projection._33 = 1.f;
    projection._34 = 1.f;  // w = z
    D3DVECTOR out{7.f, 7.f, 7.f};
    EXPECT_EQ(VectorMatrixMultiply(out, D3DVECTOR{1.f, 2.f, 0.f}, projection), E_INVALIDARG);
    EXPECT_EQ(out.x, 7.f);
    ASSERT_EQ(VectorMatrixMultiply(out, D3DVECTOR{2.f, 4.f, 2.f}, projection), S_OK);
    EXPECT_FLOAT_EQ(out.x, 1.f);
    EXPECT_FLOAT_EQ(out.y, 2.f);
}

TEST(MatrixTest, AffineInverseUndoesTheMatrixAndRejectsProjections)
{
    D3DMATRIX rotate, m, inverse, product;
    SetRotateXMatrix(rotate, 0.7f);
    MatrixMultiply(m, rotate, Translation(3.f, -2.f, 5.f));
    ASSERT_EQ(InvertAffineMatrix(inverse, m), S_OK);
    MatrixMultiply(product, m, inverse);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) EXPECT_NEAR(product.m[i][j], i == j ? 1.f : 0.f, 1e-5f);
    m._34 = 0.5f;
    EXPECT_EQ(InvertAffineMatrix(inverse, m), E_INVALIDARG);
}

TEST(GeometryTest, SegmentAgainstTrianglePlane)
{
    D3DVECTOR a{0, 0, 0}, b{0, 0, 1}, c{1, 0, 0}, hit{};
    // Parallel to the plane y = 0: no hit.
    EXPECT_FALSE(IntersectSegmentTriangle({0, 1, 0}, {5, 1, 5}, a, b, c, hit));
    // Ending exactly on the plane (t = 1) hits.
    ASSERT_TRUE(IntersectSegmentTriangle({3, 2, 3}, {3, 0, 3}, a, b, c, hit));
    EXPECT_FLOAT_EQ(hit.y, 0.f);
    EXPECT_FLOAT_EQ(hit.x, 3.f);  // the plane is tested, not the triangle's edges
    EXPECT_FALSE(IntersectSegmentTriangle({3, 2, 3}, {3, 1, 3}, a, b, c, hit));
    D3DVECTOR n{};
    TriangleNormal(n, a, b, c);
    EXPECT_FLOAT_EQ(n.y, 1.f);
    EXPECT_NEAR(AngleBetween({1, 0, 0}, {2, 0, 0}), 0.f, 1e-3f);  // no NaN from rounding
    EXPECT_NEAR(AngleBetween({1, 0, 0}, {0, 0, 3}), 3.14159265f / 2.f, 1e-5f);
}

TEST(ComparisonTest, FloatAndVectorEquality)
{
    EXPECT_TRUE(FloatsEqual(1.f, 1.0009f));
    EXPECT_FALSE(FloatsEqual(1.f, 1.002f));
    EXPECT_TRUE(Vec3EqualXZ({1, 5, 2}, {1, -5, 2}));
    EXPECT_FALSE(Vec3Equal({1, 5, 2}, {1, -5, 2}));
}

TEST(MouseTest, RectangleTestIncludesItsEdges)
{
    MouseX = 100;
    MouseY = 50;
    EXPECT_TRUE(IsMouseInRect(0, 0, 100, 50));
    EXPECT_TRUE(IsMouseInRect(100, 50, 200, 60));
    EXPECT_FALSE(IsMouseInRect(0, 0, 99, 50));
    EXPECT_FALSE(IsMouseInRect(0, 51, 200, 60));
}

TEST(StringTest, CodePageConversionKeepsWindows1252AndTerminates)
{
    wchar_t wide[8];
    ConvertGenericStringToWide(wide, "A\x80\xE9", -1);
    EXPECT_EQ(wide[0], L'A');
    EXPECT_EQ(wide[1], (wchar_t)0x20AC);
    EXPECT_EQ(wide[2], (wchar_t)0xE9);
    EXPECT_EQ(wide[3], 0);
    char narrow[3];
    ConvertWideStringToGeneric(narrow, L"\x20AC\x00E9xyz", 3);  // room for two and the terminator
    EXPECT_EQ((unsigned char)narrow[0], 0x80);
    EXPECT_EQ((unsigned char)narrow[1], 0xE9);
    EXPECT_EQ(narrow[2], 0);
    ConvertGenericStringToWide(nullptr, "x", -1);  // null arguments do nothing
}

TEST(FileTest, WholeFileIsZeroTerminatedAndEmptyFilesGiveNothing)
{
    ScratchDirectory dir;
    dir.Write("Data/List.txt", "abc");
    dir.Write("empty.txt", "");
    DWORD size = 0;
    HGLOBAL block = ReadWholeFile("data\\list.TXT", &size);  // any letter case, either separator
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(size, 3u);
    const char* text = static_cast<const char*>(GlobalLock(block));
    EXPECT_STREQ(text, "abc");
    GlobalUnlock(block);
    GlobalFree(block);
    EXPECT_EQ(ReadWholeFile("empty.txt", &size), nullptr);
    EXPECT_EQ(ReadWholeFile("missing.txt", nullptr), nullptr);
    EXPECT_TRUE(FileExists("DATA\\list.txt"));
    EXPECT_FALSE(FileExists("data\\other.txt"));
    EXPECT_EQ(LoadTextFile("data/list.txt"), 1);
    EXPECT_EQ(LoadedTextSize, 3u);
    EXPECT_STREQ(LoadedTextPointer, "abc");
    FreeLoadedTextFile();
    EXPECT_EQ(LoadTextFile("missing.txt"), 0);
}

TEST(FileTest, MediaFilesAreFoundByTheirOwnNameOrReportedMissing)
{
    ScratchDirectory dir;
    dir.Write("Media/ball.x", "x");
    char path[MAX_PATH];
    EXPECT_EQ(FindMediaFile("media\\BALL.x", path), S_OK);
    EXPECT_STREQ(path, "media\\BALL.x");
    // No SDK media directory in the registry: the name comes back with a failure.
    EXPECT_EQ(FindMediaFile("missing.x", path), E_FAIL);
    EXPECT_STREQ(path, "missing.x");
    EXPECT_EQ(FindMediaFile(nullptr, path), E_INVALIDARG);
    EXPECT_EQ(FindMediaFile("ball.x", nullptr), E_INVALIDARG);
}
