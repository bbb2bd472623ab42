#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/d3dx8/d3dx8shader.h"

using namespace vs_tokens;

namespace {

// Reads the token stream back into text, written independently of the assembler's tables.
std::string Register(DWORD t, bool source)
{
    const DWORD type = (t & kRegTypeMask) >> kRegTypeShift, n = t & kRegNumMask;
    std::string r;
    switch (type) {
    case Temp: r = "r" + std::to_string(n); break;
    case Input: r = "v" + std::to_string(n); break;
    case Const: r = (t & kRelativeAddress) ? "c[a0.x + " + std::to_string(n) + "]" : "c" + std::to_string(n); break;
    case Address: r = "a0"; break;
    case RastOut: r = n == 0 ? "oPos" : n == 1 ? "oFog" : "oPts"; break;
    case AttrOut: r = "oD" + std::to_string(n); break;
    case TexCrdOut: r = "oT" + std::to_string(n); break;
    default: r = "?";
    }
    if (!source) {
        const DWORD mask = (t >> kWriteMaskShift) & 0xF;
        if (mask != 0xF) {
            r += '.';
            for (int i = 0; i < 4; ++i)
                if (mask & (1u << i)) r += "xyzw"[i];
        }
        return r;
    }
    const DWORD swz = (t & kSwizzleMask) >> kSwizzleShift;
    if (swz != 0xE4) {
        r += '.';
        for (int i = 0; i < 4; ++i) r += "xyzw"[(swz >> (2 * i)) & 3];
    }
    if (t & kSrcModNeg) r = "-" + r;
    return r;
}

std::string Disassemble(const std::vector<DWORD>& tokens)
{
    static const std::pair<DWORD, const char*> names[] = {
        {Nop, "nop"},   {Mov, "mov"},   {Add, "add"},   {Sub, "sub"},     {Mad, "mad"},     {Mul, "mul"},
        {Rcp, "rcp"},   {Rsq, "rsq"},   {Dp3, "dp3"},   {Dp4, "dp4"},     {Min, "min"},     {Max, "max"},
        {Slt, "slt"},   {Sge, "sge"},   {Exp, "exp"},   {Log, "log"},     {Lit, "lit"},     {Dst, "dst"},
        {Frc, "frc"},   {M4x4, "m4x4"}, {M4x3, "m4x3"}, {M3x4, "m3x4"},   {M3x3, "m3x3"},   {M3x2, "m3x2"},
        {ExpP, "expp"}, {LogP, "logp"}, {Def, "def"}};
    std::string out = "vs." + std::to_string((tokens[0] >> 8) & 0xFF) + "." + std::to_string(tokens[0] & 0xFF) + "\n";
    size_t i = 1;
    while (i < tokens.size() && tokens[i] != kEnd) {
        const DWORD op = tokens[i++] & kOpcodeMask;
        const char* name = "?";
        for (auto& n : names)
            if (n.first == op) name = n.second;
        out += name;
        if (op == Def) {
            out += " " + Register(tokens[i++], false);
            for (int k = 0; k < 4; ++k) {
                float f;
                std::memcpy(&f, &tokens[i++], 4);
                char buf[32];
                std::snprintf(buf, sizeof buf, ", %g", f);
                out += buf;
            }
        } else {
            bool first = true;
            while (i < tokens.size() && (tokens[i] & kParamBit) && tokens[i] != kEnd) {
                out += first ? " " : ", ";
                out += Register(tokens[i], !first);
                first = false;
                ++i;
            }
        }
        out += "\n";
    }
    return out;
}

struct Result {
    HRESULT hr;
    std::vector<DWORD> tokens;
    std::string errors;
    std::vector<DWORD> constants;
};

Result Assemble(const std::string& text)
{
    Result r;
    LPD3DXBUFFER code = nullptr, errors = nullptr, constants = nullptr;
    r.hr = D3DXAssembleShader(text.data(), static_cast<UINT>(text.size()), 0, &constants, &code, &errors);
    if (code) {
        const DWORD* p = static_cast<const DWORD*>(code->GetBufferPointer());
        r.tokens.assign(p, p + code->GetBufferSize() / 4);
        EXPECT_EQ(code->Release(), 0u);
    }
    if (errors) {
        r.errors = static_cast<const char*>(errors->GetBufferPointer());
        errors->Release();
    }
    if (constants) {
        const DWORD* p = static_cast<const DWORD*>(constants->GetBufferPointer());
        r.constants.assign(p, p + constants->GetBufferSize() / 4);
        constants->Release();
    }
    return r;
}

TEST(VsAssembler, MorphProgramRoundTrips)
{
    const std::string source = R"(vs.1.1
; blend two key frames and light them
#define WEIGHTS c8
/* c0-c3: world x view x projection
   c4: light direction */
mul r0, v0, WEIGHTS.x
mad r0, v3, WEIGHTS.y, r0
m4x4 oPos, r0, c0
mul r1, v1, WEIGHTS.x      // normals too
mad r1.xyz, v4, WEIGHTS.yyyy, r1
dp3 r2.x, r1, -c4
max r2.x, r2.x, c7.x
mul r3, r2.x, c6
add oD0, r3, c5
mov oT0.xy, v2
)";
    Result r = Assemble(source);
    ASSERT_EQ(r.hr, S_OK) << r.errors;
    EXPECT_EQ(r.tokens.front(), 0xFFFE0101u);
    EXPECT_EQ(r.tokens.back(), 0x0000FFFFu);
    EXPECT_EQ(Disassemble(r.tokens),
              "vs.1.1\n"
              "mul r0, v0, c8.xxxx\n"
              "mad r0, v3, c8.yyyy, r0\n"
              "m4x4 oPos, r0, c0\n"
              "mul r1, v1, c8.xxxx\n"
              "mad r1.xyz, v4, c8.yyyy, r1\n"
              "dp3 r2.x, r1, -c4\n"
              "max r2.x, r2.xxxx, c7.xxxx\n"
              "mul r3, r2.xxxx, c6\n"
              "add oD0, r3, c5\n"
              "mov oT0.xy, v2\n");
    // Exact tokens of one instruction: dp3 r2.x, r1, -c4.
    const std::vector<DWORD> dp3 = {0x00000008u, 0x80010002u, 0x80E40001u, 0xA1E40004u};
    EXPECT_NE(std::search(r.tokens.begin(), r.tokens.end(), dp3.begin(), dp3.end()), r.tokens.end());
}

TEST(VsAssembler, EveryInstructionAndRegisterKind)
{
    const std::string source =
        "vs.1.0\n"
        "def c90, 1.5, -2, 0, 0.25\n"
        "add r0, v0, c1\nsub r0, r0, v15\nrcp r1.w, r0.w\nrsq r1.x, r0.z\ndp4 oPos.x, v0, c[0]\n"
        "min r2, r0, r1\nslt r3, r0, r1.wzyx\nsge r3, r0, r1\nexpp r4, r0.x\nlogp r4, r0.y\n"
        "lit r5, r0\ndst r6, r0, r1\nm3x3 r7.xyz, v1, c10\nmov a0.x, r0.x\nmov oT7, c[a0.x + 12]\n"
        "mov oD1, -v2.zx\nmov oFog.x, r0\nmov oPts.x, r0\nm4x3 r8.xyz, v0, c20\nm3x4 r9, v0, c24\n"
        "m3x2 r10.xy, v0, c28\nfrc r11, r0\nnop\nexp r1, r0.x\nlog r1, r0.x\n";
    Result r = Assemble(source);
    ASSERT_EQ(r.hr, S_OK) << r.errors;
    EXPECT_EQ(r.tokens.front(), 0xFFFE0100u);
    const std::string text = Disassemble(r.tokens);
    EXPECT_NE(text.find("def c90, 1.5, -2, 0, 0.25\n"), std::string::npos) << text;
    EXPECT_NE(text.find("mov oT7, c[a0.x + 12]\n"), std::string::npos) << text;
    EXPECT_NE(text.find("mov oD1, -v2.zxxx\n"), std::string::npos) << text;
    EXPECT_NE(text.find("slt r3, r0, r1.wzyx\n"), std::string::npos) << text;
    EXPECT_NE(text.find("mov a0.x, r0.xxxx\n"), std::string::npos) << text;
    EXPECT_NE(text.find("m3x2 r10.xy, v0, c28\nfrc r11, r0\nnop\nexp"), std::string::npos) << text;
    // The def also comes back as a declaration fragment.
    ASSERT_EQ(r.constants.size(), 5u);
    EXPECT_EQ(r.constants[0], D3DVSD_CONST(90, 1));
    float f;
    std::memcpy(&f, &r.constants[1], 4);
    EXPECT_EQ(f, 1.5f);
}

TEST(VsAssembler, ErrorsAreReportedWithLineNumbersAndNoCode)
{
    const std::string source =
        "vs.1.1\n"
        "mov r0, v0\n"
        "mvo r1, v0\n"            // 3: unknown instruction
        "add r1, v0\n"            // 4: operand count
        "mov r12, v0\n"           // 5: temporary out of range
        "mov v0, r0\n"            // 6: input written
        "mad r0, c1, v0, c2\n"    // 7: two constants
        "mov r0.yx, v0\n"         // 8: mask out of order
        "mov r0, v0.xyzwx\n"      // 9: swizzle too long
        "mov r0, oPos\n"          // 10: output read
        "mov r0, c96\n"           // 11: constant out of range
        "add a0.x, r0, r0\n"      // 12: only mov writes a0
        "mov r0., v0\n"           // 13: empty mask
        "mov r0, v0.\n"           // 14: empty swizzle
        "mov r0, c[a0.x + ]\n"    // 15: incomplete index
        "#include \"x.h\"\n";     // 16: unsupported directive
    Result r = Assemble(source);
    EXPECT_EQ(r.hr, D3DXERR_INVALIDDATA);
    EXPECT_TRUE(r.tokens.empty());
    for (int line = 3; line <= 16; ++line)
        EXPECT_NE(r.errors.find("(" + std::to_string(line) + "): error: "), std::string::npos) << "line " << line << "\n"
                                                                                                   << r.errors;
    EXPECT_EQ(r.errors.find("(2)"), std::string::npos);
    EXPECT_EQ(r.errors.find("(1)"), std::string::npos);
}

TEST(VsAssembler, VersionLineAndLengthRules)
{
    EXPECT_EQ(Assemble("mov r0, v0\n").hr, D3DXERR_INVALIDDATA);
    EXPECT_EQ(Assemble("").hr, D3DXERR_INVALIDDATA);
    EXPECT_EQ(Assemble("vs.2.0\nmov r0, v0\n").hr, D3DXERR_INVALIDDATA);
    EXPECT_EQ(Assemble("vs.1.1\nvs.1.1\n").hr, D3DXERR_INVALIDDATA);
    // A final line without a line break still counts.
    Result last = Assemble("vs.1.1\nmov oPos, v0");
    ASSERT_EQ(last.hr, S_OK);
    EXPECT_EQ(last.tokens.size(), 5u);
    // 128 slots fit, 129 do not.
    std::string longer = "vs.1.1\n";
    for (int i = 0; i < 32; ++i) longer += "m4x4 r0, v0, c0\n";
    EXPECT_EQ(Assemble(longer).hr, S_OK);
    EXPECT_EQ(Assemble(longer + "mov r0, v0\n").hr, D3DXERR_INVALIDDATA);
    // The length given bounds the text: what lies beyond is not read.
    const char text[] = "vs.1.1\nmov r0, v0\ngarbage here";
    LPD3DXBUFFER code = nullptr;
    EXPECT_EQ(D3DXAssembleShader(text, 18, 0, nullptr, &code, nullptr), S_OK);
    ASSERT_NE(code, nullptr);
    code->Release();
}

}  // namespace
