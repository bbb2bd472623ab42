#include "d3d8_test_support.h"

#include <cstring>
#include <vector>

namespace {
// Hand-assembled vs.1.1 tokens, so that these tests need nothing but the device.
constexpr DWORD kParam = 0x80000000u;
DWORD Dst(DWORD type, DWORD num, DWORD mask = 0xF) { return kParam | (type << 28) | num | (mask << 16); }
DWORD Src(DWORD type, DWORD num, DWORD swizzle = 0xE4, bool neg = false)
{
    return kParam | (type << 28) | num | (swizzle << 16) | (neg ? 0x01000000u : 0u);
}
enum : DWORD { T = 0, V = 1, C = 2, A = 3, RAST = 4, ATTR = 5 };
constexpr DWORD kXXXX = 0x00, kYYYY = 0x55;

struct Shader {
    std::vector<DWORD> t{0xFFFE0101u};
    Shader& Op(DWORD op, std::initializer_list<DWORD> params)
    {
        t.push_back(op);
        t.insert(t.end(), params);
        return *this;
    }
    Shader& Def(DWORD reg, float a, float b, float c, float d)
    {
        t.push_back(81);
        t.push_back(Dst(C, reg));
        float v[4] = {a, b, c, d};
        for (float f : v) {
            DWORD bits;
            std::memcpy(&bits, &f, 4);
            t.push_back(bits);
        }
        return *this;
    }
    Shader& Comment()
    {
        t.push_back(0xFFFEu | (2u << 16));
        t.push_back(0x0000FFFFu);  // an END look-alike inside a comment is not the end
        t.push_back(0x12345678u);
        return *this;
    }
    const DWORD* End()
    {
        t.push_back(0x0000FFFFu);
        return t.data();
    }
};

struct ClipVertex {
    float x, y, z;
};

class ShaderTest : public DeviceTest {
protected:
    void SetUp() override
    {
        DeviceTest::SetUp();
        if (HasFatalFailure()) return;
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.f, 0);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
        device->SetVertexShaderConstant(0, identity, 4);
    }
    void Expect(int x, int y, int r, int g, int b)
    {
        Rgb p = PixelAt(device, x, y);
        EXPECT_NEAR(p.r, r, 1) << "at " << x << "," << y;
        EXPECT_NEAR(p.g, g, 1) << "at " << x << "," << y;
        EXPECT_NEAR(p.b, b, 1) << "at " << x << "," << y;
    }
    // The lower-left quarter of the target in clip coordinates.
    void Quarter(ClipVertex out[6], float z)
    {
        ClipVertex q[6] = {{-1, -1, z}, {-1, 0, z}, {0, -1, z}, {0, -1, z}, {-1, 0, z}, {0, 0, z}};
        std::memcpy(out, q, sizeof(q));
    }
    const DWORD declaration[4] = {D3DVSD_STREAM(0), D3DVSD_REG(0, D3DVSDT_FLOAT3), D3DVSD_END()};
};

// dp4 oPos.{x,y,z,w}, v0, c0..c3 ; mov oD0, c4
const DWORD* TransformAndColour(Shader& s)
{
    for (DWORD row = 0; row < 4; ++row) s.Op(9, {Dst(RAST, 0, 1u << row), Src(V, 0), Src(C, row)});
    return s.Comment().Op(1, {Dst(ATTR, 0), Src(C, 4)}).End();
}
}  // namespace

TEST_F(ShaderTest, ProgramTransformsAndColoursWithItsConstants)
{
    Shader s;
    DWORD handle = 0;
    ASSERT_EQ(device->CreateVertexShader(declaration, TransformAndColour(s), &handle, 0), D3D_OK);
    EXPECT_GE(handle, 0x10000u);
    ASSERT_EQ(device->SetVertexShader(handle), D3D_OK);
    float colour[4] = {0.f, 1.f, 0.5f, 1.f};
    device->SetVertexShaderConstant(4, colour, 1);
    ClipVertex v[6];
    Quarter(v, 0.5f);
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(ClipVertex)), D3D_OK);
    Expect(100, 500, 0, 255, 128);
    Expect(600, 100, 0, 0, 0);
    ASSERT_EQ(device->DeleteVertexShader(handle), D3D_OK);
    EXPECT_EQ(device->SetVertexShader(handle), D3DERR_INVALIDCALL);
}

TEST_F(ShaderTest, ClipDepthRunsFromZeroAsInDirect3D)
{
    Shader s;
    DWORD handle = 0;
    ASSERT_EQ(device->CreateVertexShader(declaration, TransformAndColour(s), &handle, 0), D3D_OK);
    device->SetVertexShader(handle);
    float colour[4] = {1.f, 1.f, 1.f, 1.f};
    device->SetVertexShaderConstant(4, colour, 1);
    ClipVertex v[6];
    Quarter(v, -0.5f);  // in front of the near plane for Direct3D
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(ClipVertex));
    Expect(100, 500, 0, 0, 0);
    Quarter(v, 0.05f);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(ClipVertex));
    Expect(100, 500, 255, 255, 255);
    device->DeleteVertexShader(handle);
}

TEST_F(ShaderTest, TwoStreamsBlendWithDefinedWeightsThroughAMatrix)
{
    // The morph effect's shape: r0 = v0 * c8.x + v3 * c8.y; m4x4 oPos, r0, c0; colour from a def.
    const DWORD decl[] = {D3DVSD_STREAM(0), D3DVSD_REG(0, D3DVSDT_FLOAT3), D3DVSD_STREAM(1),
                          D3DVSD_REG(3, D3DVSDT_FLOAT3), D3DVSD_END()};
    Shader s;
    s.Def(9, 1.f, 0.f, 0.f, 1.f)
        .Op(5, {Dst(T, 0), Src(V, 0), Src(C, 8, kXXXX)})
        .Op(4, {Dst(T, 0), Src(V, 3), Src(C, 8, kYYYY), Src(T, 0)})
        .Op(20, {Dst(RAST, 0), Src(T, 0), Src(C, 0)})
        .Op(1, {Dst(ATTR, 0), Src(C, 9)});
    DWORD handle = 0;
    ASSERT_EQ(device->CreateVertexShader(decl, s.End(), &handle, 0), D3D_OK);
    IDirect3DVertexBuffer8* streams[2] = {};
    ClipVertex a[6], b[6];
    Quarter(a, 0.5f);
    Quarter(b, 0.5f);
    for (auto& v : b) v.x += 1.f;  // the second key frame lies one quarter to the right
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(device->CreateVertexBuffer(sizeof(a), 0, 0, D3DPOOL_MANAGED, &streams[i]), D3D_OK);
        BYTE* data = nullptr;
        streams[i]->Lock(0, 0, &data, 0);
        std::memcpy(data, i == 0 ? a : b, sizeof(a));
        streams[i]->Unlock();
        device->SetStreamSource(i, streams[i], sizeof(ClipVertex));
    }
    device->SetVertexShader(handle);
    float weights[4] = {0.f, 1.f, 0.f, 0.f};  // all of the second frame
    device->SetVertexShaderConstant(8, weights, 1);
    ASSERT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2), D3D_OK);
    Expect(500, 500, 255, 0, 0);
    Expect(100, 500, 0, 0, 0);
    // Without the second stream the draw is refused.
    device->SetStreamSource(1, nullptr, 0);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2), D3DERR_INVALIDCALL);
    for (auto* vb : streams) vb->Release();
    device->DeleteVertexShader(handle);
}

// The morph effect draws its meshes indexed through a program: the start index holds there too.
TEST_F(ShaderTest, IndexedDrawingThroughAProgramBeginsAtItsStartIndex)
{
    Shader s;
    DWORD handle = 0;
    ASSERT_EQ(device->CreateVertexShader(declaration, TransformAndColour(s), &handle, 0), D3D_OK);
    device->SetVertexShader(handle);
    float colour[4] = {1.f, 1.f, 1.f, 1.f};
    device->SetVertexShaderConstant(4, colour, 1);
    ClipVertex quarters[12];
    Quarter(quarters, 0.5f);
    Quarter(quarters + 6, 0.5f);
    for (int i = 6; i < 12; ++i) quarters[i].x += 1.f;  // the lower-right quarter
    IDirect3DVertexBuffer8* vb = nullptr;
    IDirect3DIndexBuffer8* ib = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(sizeof(quarters), 0, 0, D3DPOOL_MANAGED, &vb), D3D_OK);
    ASSERT_EQ(device->CreateIndexBuffer(12 * 2, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib), D3D_OK);
    BYTE* data = nullptr;
    vb->Lock(0, 0, &data, 0);
    std::memcpy(data, quarters, sizeof(quarters));
    vb->Unlock();
    ib->Lock(0, 0, &data, 0);
    for (uint16_t i = 0; i < 12; ++i) std::memcpy(data + 2 * i, &i, 2);
    ib->Unlock();
    device->SetStreamSource(0, vb, sizeof(ClipVertex));
    device->SetIndices(ib, 0);
    ASSERT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 12, 6, 2), D3D_OK);
    Expect(500, 500, 255, 255, 255);
    Expect(100, 500, 0, 0, 0);
    device->SetIndices(nullptr, 0);
    device->SetStreamSource(0, nullptr, 0);
    ib->Release();
    vb->Release();
    device->DeleteVertexShader(handle);
}

TEST_F(ShaderTest, RelativeAddressingReadsTheIndexedConstant)
{
    Shader s;
    for (DWORD row = 0; row < 4; ++row) s.Op(9, {Dst(RAST, 0, 1u << row), Src(V, 0), Src(C, row)});
    s.Op(1, {Dst(A, 0, 1), Src(C, 10, kXXXX)});
    s.Op(1, {Dst(ATTR, 0), Src(C, 20) | 0x2000u});
    DWORD handle = 0;
    ASSERT_EQ(device->CreateVertexShader(declaration, s.End(), &handle, 0), D3D_OK);
    device->SetVertexShader(handle);
    float index[4] = {2.f, 0.f, 0.f, 0.f};
    float blue[4] = {0.f, 0.f, 1.f, 1.f};
    device->SetVertexShaderConstant(10, index, 1);
    device->SetVertexShaderConstant(22, blue, 1);
    ClipVertex v[6];
    Quarter(v, 0.5f);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(ClipVertex));
    Expect(100, 500, 0, 0, 255);
    device->DeleteVertexShader(handle);
}

TEST_F(ShaderTest, MalformedProgramsAndDeclarationsAreRefused)
{
    DWORD handle = 0;
    Shader bad;
    bad.t[0] = 0xFFFF0101u;  // a pixel shader version
    EXPECT_EQ(device->CreateVertexShader(declaration, bad.End(), &handle, 0), D3DERR_INVALIDCALL);
    Shader unknown;
    unknown.Op(200, {Dst(T, 0), Src(V, 0)});
    EXPECT_EQ(device->CreateVertexShader(declaration, unknown.End(), &handle, 0), D3DERR_INVALIDCALL);
    Shader temp;
    temp.Op(1, {Dst(T, 12), Src(V, 0)});  // r12 does not exist
    EXPECT_EQ(device->CreateVertexShader(declaration, temp.End(), &handle, 0), D3DERR_INVALIDCALL);
    Shader constant;
    constant.Op(1, {Dst(T, 0), Src(C, 96)});
    EXPECT_EQ(device->CreateVertexShader(declaration, constant.End(), &handle, 0), D3DERR_INVALIDCALL);
    Shader missingParam;
    missingParam.t.push_back(1);
    missingParam.t.push_back(Dst(T, 0));
    missingParam.t.push_back(0x00000001u);  // not a parameter token
    EXPECT_EQ(device->CreateVertexShader(declaration, missingParam.End(), &handle, 0), D3DERR_INVALIDCALL);
    const DWORD badDecl[] = {D3DVSD_STREAM(0), D3DVSD_REG(20, D3DVSDT_FLOAT3), D3DVSD_END()};
    Shader ok;
    EXPECT_EQ(device->CreateVertexShader(badDecl, TransformAndColour(ok), &handle, 0), D3DERR_INVALIDCALL);
    std::vector<DWORD> endless(600, D3DVSD_NOP());
    EXPECT_EQ(device->CreateVertexShader(endless.data(), ok.t.data(), &handle, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetVertexShaderConstant(95, declaration, 2), D3DERR_INVALIDCALL);
}
