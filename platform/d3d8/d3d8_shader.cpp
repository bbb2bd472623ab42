// vs.1.1 vertex shaders: the declaration read into stream inputs, the token stream translated
// into an ARB vertex program, and drawing through it.
#include "platform/d3d8/d3d8_internal.h"
#include "platform/win32/platform_internal.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {
constexpr size_t kMaxDeclarationTokens = 512;
constexpr size_t kMaxFunctionTokens = 8192;

enum RegType : DWORD { kTemp = 0, kInput = 1, kConst = 2, kAddress = 3, kRastOut = 4, kAttrOut = 5, kTexCrdOut = 6 };
enum Op : DWORD {
    kNop = 0, kMov = 1, kAdd = 2, kSub = 3, kMad = 4, kMul = 5, kRcp = 6, kRsq = 7, kDp3 = 8, kDp4 = 9,
    kMin = 10, kMax = 11, kSlt = 12, kSge = 13, kExp = 14, kLog = 15, kLit = 16, kDst = 17, kFrc = 19,
    kM4x4 = 20, kM4x3 = 21, kM3x4 = 22, kM3x3 = 23, kM3x2 = 24, kExpP = 78, kLogP = 79, kDef = 81,
};

UINT InputSize(DWORD type)
{
    switch (type) {
    case D3DVSDT_FLOAT1: return 4;
    case D3DVSDT_FLOAT2: return 8;
    case D3DVSDT_FLOAT3: return 12;
    case D3DVSDT_FLOAT4: return 16;
    case D3DVSDT_D3DCOLOR:
    case D3DVSDT_UBYTE4:
    case D3DVSDT_SHORT2: return 4;
    case D3DVSDT_SHORT4: return 8;
    default: return 0;
    }
}

int SourceCount(DWORD op)
{
    switch (op) {
    case kNop: return 0;
    case kMov: case kRcp: case kRsq: case kExp: case kLog: case kLit: case kFrc: case kExpP: case kLogP: return 1;
    case kMad: return 3;
    case kAdd: case kSub: case kMul: case kDp3: case kDp4: case kMin: case kMax: case kSlt: case kSge: case kDst:
    case kM4x4: case kM4x3: case kM3x4: case kM3x3: case kM3x2: return 2;
    default: return -1;
    }
}

std::string Mask(DWORD token, DWORD regType, DWORD regNum)
{
    // Fog and point size are scalars in an ARB program.
    if (regType == kRastOut && regNum != 0) return ".x";
    DWORD m = (token >> 16) & 0xF;
    if (m == 0xF || m == 0) return "";
    std::string s = ".";
    if (m & 1) s += 'x';
    if (m & 2) s += 'y';
    if (m & 4) s += 'z';
    if (m & 8) s += 'w';
    return s;
}

class Translator {
public:
    bool Run(const std::vector<DWORD>& t, std::string& program, std::string& error,
             std::vector<std::pair<DWORD, std::array<float, 4>>>& defs)
    {
        body_.clear();
        size_t i = 1;  // after the version token
        while (i < t.size()) {
            DWORD tok = t[i];
            if (tok == 0x0000FFFF) break;
            DWORD op = tok & 0xFFFF;
            if (op == 0xFFFE) {
                i += 1 + ((tok >> 16) & 0x7FFF);
                continue;
            }
            ++i;
            if (op == kDef) {
                if (i + 5 > t.size()) return Fail(error, "def runs past the end");
                std::array<float, 4> v;
                std::memcpy(v.data(), &t[i + 1], 16);
                DWORD reg = t[i] & 0x7FF;
                if (reg >= 96) return Fail(error, "def outside c0..c95");
                defs.push_back({reg, v});
                i += 5;
                continue;
            }
            int sources = SourceCount(op);
            if (sources < 0) return Fail(error, "unknown instruction " + std::to_string(op));
            if (op == kNop) continue;
            if (i + 1 + sources > t.size()) return Fail(error, "instruction runs past the end");
            for (int k = 0; k <= sources; ++k)
                if (!(t[i + k] & 0x80000000u)) return Fail(error, "parameter token without its marker");
            if (!Instruction(op, &t[i], sources, error)) return false;
            i += 1 + sources;
        }
        program = "!!ARBvp1.0\nTEMP R0, R1, R2, R3, R4, R5, R6, R7, R8, R9, R10, R11, P;\nADDRESS A0;\n"
                  "PARAM C[96] = { program.env[0..95] };\n";
        for (DWORD v = 0; v < 16; ++v)
            if (usedInputs_ & (1u << v)) program += "ATTRIB V" + std::to_string(v) + " = vertex.attrib[" + std::to_string(v) + "];\n";
        program += body_;
        // Direct3D's clip z runs 0..w: z' = 2z - w for OpenGL.
        program += "MOV result.position.xyw, P;\nMAD result.position.z, P.z, {2,2,2,2}.x, -P.w;\nEND\n";
        return true;
    }

private:
    bool Fail(std::string& error, const std::string& why)
    {
        error = why;
        return false;
    }

    bool Dest(DWORD tok, std::string& out, std::string& error)
    {
        DWORD type = (tok >> 28) & 7, num = tok & 0x7FF;
        switch (type) {
        case kTemp:
            if (num > 11) return Fail(error, "temporary register beyond r11");
            out = "R" + std::to_string(num);
            break;
        case kAddress: out = "A0"; break;
        case kRastOut:
            if (num == 0) out = "P";
            else if (num == 1) out = "result.fogcoord";
            else if (num == 2) out = "result.pointsize";
            else return Fail(error, "bad rasteriser output");
            break;
        case kAttrOut:
            if (num > 1) return Fail(error, "colour output beyond oD1");
            out = num == 0 ? "result.color" : "result.color.secondary";
            break;
        case kTexCrdOut:
            if (num > 7) return Fail(error, "texture output beyond oT7");
            out = "result.texcoord[" + std::to_string(num) + "]";
            break;
        default: return Fail(error, "register not writable");
        }
        return true;
    }

    // A source register, `offset` added to its number (matrix rows).
    bool Source(DWORD tok, DWORD offset, std::string& out, std::string& error, int scalarComponent = -1)
    {
        DWORD type = (tok >> 28) & 7, num = (tok & 0x7FF) + offset;
        std::string name;
        switch (type) {
        case kTemp:
            if (num > 11) return Fail(error, "temporary register beyond r11");
            name = "R" + std::to_string(num);
            break;
        case kInput:
            if (num > 15) return Fail(error, "input register beyond v15");
            usedInputs_ |= 1u << num;
            name = "V" + std::to_string(num);
            break;
        case kConst:
            if (tok & 0x2000) {
                if (num > 95) return Fail(error, "relative constant offset beyond c95");
                name = "C[A0.x+" + std::to_string(num) + "]";
            } else {
                if (num > 95) return Fail(error, "constant register beyond c95");
                name = "C[" + std::to_string(num) + "]";
            }
            break;
        default: return Fail(error, "register not readable");
        }
        static const char kComp[4] = {'x', 'y', 'z', 'w'};
        DWORD sw = (tok >> 16) & 0xFF;
        std::string swizzle;
        if (scalarComponent >= 0) {
            swizzle = std::string(".") + kComp[(sw >> (2 * scalarComponent)) & 3];
        } else if (sw != 0xE4) {
            swizzle = ".";
            for (int c = 0; c < 4; ++c) swizzle += kComp[(sw >> (2 * c)) & 3];
        }
        DWORD mod = (tok >> 24) & 0xF;
        if (mod != 0 && mod != 1) return Fail(error, "source modifier other than negation");
        out = (mod == 1 ? "-" : "") + name + swizzle;
        return true;
    }

    bool Instruction(DWORD op, const DWORD* p, int sources, std::string& error)
    {
        std::string dst, s[3];
        if (!Dest(p[0], dst, error)) return false;
        DWORD dstType = (p[0] >> 28) & 7, dstNum = p[0] & 0x7FF;
        std::string mask = Mask(p[0], dstType, dstNum);
        bool scalar = op == kRcp || op == kRsq || op == kExp || op == kLog || op == kExpP || op == kLogP;
        if (dstType == kAddress) {
            if (op != kMov) return Fail(error, "only mov writes a0");
            if (!Source(p[1], 0, s[0], error, 0)) return false;
            body_ += "ARL A0.x, " + s[0] + ";\n";
            return true;
        }
        int rows = 0;
        const char* rowOp = "DP4";
        switch (op) {
        case kM4x4: rows = 4; break;
        case kM4x3: rows = 3; break;
        case kM3x4: rows = 4; rowOp = "DP3"; break;
        case kM3x3: rows = 3; rowOp = "DP3"; break;
        case kM3x2: rows = 2; rowOp = "DP3"; break;
        default: break;
        }
        if (rows) {
            if (!Source(p[1], 0, s[0], error)) return false;
            DWORD m = (p[0] >> 16) & 0xF;
            static const char* kRow[4] = {".x", ".y", ".z", ".w"};
            for (int r = 0; r < rows; ++r) {
                if (!(m & (1u << r))) continue;
                if (!Source(p[2], (DWORD)r, s[1], error)) return false;
                body_ += std::string(rowOp) + " " + dst + kRow[r] + ", " + s[0] + ", " + s[1] + ";\n";
            }
            return true;
        }
        for (int k = 0; k < sources; ++k)
            if (!Source(p[1 + k], 0, s[k], error, scalar ? 3 : -1)) return false;
        const char* name = nullptr;
        switch (op) {
        case kMov: name = "MOV"; break;
        case kAdd: name = "ADD"; break;
        case kSub: name = "SUB"; break;
        case kMad: name = "MAD"; break;
        case kMul: name = "MUL"; break;
        case kRcp: name = "RCP"; break;
        case kRsq: name = "RSQ"; break;
        case kDp3: name = "DP3"; break;
        case kDp4: name = "DP4"; break;
        case kMin: name = "MIN"; break;
        case kMax: name = "MAX"; break;
        case kSlt: name = "SLT"; break;
        case kSge: name = "SGE"; break;
        case kExp: name = "EX2"; break;
        case kLog: name = "LG2"; break;
        case kExpP: name = "EXP"; break;
        case kLogP: name = "LOG"; break;
        case kLit: name = "LIT"; break;
        case kDst: name = "DST"; break;
        case kFrc: name = "FRC"; break;
        default: return Fail(error, "unknown instruction");
        }
        body_ += std::string(name) + " " + dst + mask;
        for (int k = 0; k < sources; ++k) body_ += ", " + s[k];
        body_ += ";\n";
        return true;
    }

    std::string body_;
    uint32_t usedInputs_ = 0;
};

void ExpandInput(const uint8_t* src, DWORD type, float out[4])
{
    out[0] = out[1] = out[2] = 0.f;
    out[3] = 1.f;
    switch (type) {
    case D3DVSDT_FLOAT4: std::memcpy(out, src, 16); break;
    case D3DVSDT_FLOAT3: std::memcpy(out, src, 12); break;
    case D3DVSDT_FLOAT2: std::memcpy(out, src, 8); break;
    case D3DVSDT_FLOAT1: std::memcpy(out, src, 4); break;
    case D3DVSDT_D3DCOLOR:  // bytes B, G, R, A give (R, G, B, A)
        out[0] = src[2] / 255.f;
        out[1] = src[1] / 255.f;
        out[2] = src[0] / 255.f;
        out[3] = src[3] / 255.f;
        break;
    case D3DVSDT_UBYTE4:
        for (int i = 0; i < 4; ++i) out[i] = src[i];
        break;
    case D3DVSDT_SHORT2:
    case D3DVSDT_SHORT4: {
        int16_t v[4] = {0, 0, 0, 1};
        std::memcpy(v, src, type == D3DVSDT_SHORT2 ? 4 : 8);
        for (int i = 0; i < 4; ++i) out[i] = v[i];
        break;
    }
    default: break;
    }
}
}  // namespace

HRESULT Direct3DDevice8Impl::CreateVertexShader(const DWORD* declaration, const DWORD* function, DWORD* handle,
                                                DWORD)
{
    if (!declaration || !handle) return D3D8Fail(D3DERR_INVALIDCALL, "CreateVertexShader", "null argument");
    if (!function) return NotBuilt("CreateVertexShader(fixed-function declaration)");
    if (!gl_.hasVertexPrograms) return D3D8Fail(D3DERR_NOTAVAILABLE, "CreateVertexShader", "no ARB vertex programs");
    VertexShader shader;
    // The declaration: stream selections, register loads, skips and constants, then END.
    UINT stream = 0, offset = 0;
    size_t i = 0;
    for (;; ++i) {
        if (i >= kMaxDeclarationTokens) return D3D8Fail(D3DERR_INVALIDCALL, "CreateVertexShader", "declaration without END");
        DWORD tok = declaration[i];
        shader.declaration.push_back(tok);
        if (tok == D3DVSD_END()) break;
        DWORD kind = tok >> D3DVSD_TOKENTYPESHIFT;
        if (kind == D3DVSD_TOKEN_NOP) continue;
        if (kind == D3DVSD_TOKEN_STREAM) {
            stream = tok & 0xF;
            offset = 0;
        } else if (kind == D3DVSD_TOKEN_STREAMDATA) {
            if (tok & 0x10000000u) {
                offset += 4 * ((tok >> 16) & 0xF);
            } else {
                DWORD type = (tok >> 16) & 0xF, reg = tok & 0x1F;
                if (InputSize(type) == 0 || reg > 15)
                    return D3D8Fail(D3DERR_INVALIDCALL, "CreateVertexShader", "bad register in the declaration");
                shader.inputs.push_back(ShaderInput{stream, offset, type, reg});
                offset += InputSize(type);
            }
        } else if (kind == D3DVSD_TOKEN_CONSTMEM) {
            DWORD count = (tok >> 25) & 0xF, addr = tok & 0x7F;
            if (addr + count > (DWORD)kShaderConstants || i + 4 * count >= kMaxDeclarationTokens)
                return D3D8Fail(D3DERR_INVALIDCALL, "CreateVertexShader", "declared constants out of range");
            for (DWORD c = 0; c < count; ++c) {
                std::array<float, 4> v;
                for (int k = 0; k < 4; ++k) {
                    DWORD bits = declaration[++i];
                    shader.declaration.push_back(bits);
                    std::memcpy(&v[k], &bits, 4);
                }
                shader.constants.push_back({addr + c, v});
            }
        } else {
            return D3D8Fail(D3DERR_INVALIDCALL, "CreateVertexShader", "declaration token not supported");
        }
    }
    if (shader.inputs.empty()) return D3D8Fail(D3DERR_INVALIDCALL, "CreateVertexShader", "no inputs declared");
    // The function: version, instructions, END.
    if ((function[0] & 0xFFFF0000u) != 0xFFFE0000u || (function[0] & 0xFFFF) > 0x0101)
        return D3D8Fail(D3DERR_INVALIDCALL, "CreateVertexShader", "not a vs.1.0/vs.1.1 program");
    for (size_t k = 0;; ++k) {
        if (k >= kMaxFunctionTokens) return D3D8Fail(D3DERR_INVALIDCALL, "CreateVertexShader", "program without END");
        shader.function.push_back(function[k]);
        if (k > 0 && function[k] == 0x0000FFFF) break;
        if (k > 0 && (function[k] & 0xFFFF) == 0xFFFE && !(function[k] & 0x80000000u)) {
            // Comments can hold anything, END included: copy them whole.
            DWORD length = (function[k] >> 16) & 0x7FFF;
            if (k + length >= kMaxFunctionTokens)
                return D3D8Fail(D3DERR_INVALIDCALL, "CreateVertexShader", "comment runs past the limit");
            for (DWORD c = 0; c < length; ++c) shader.function.push_back(function[++k]);
        }
    }
    std::string text, error;
    Translator translator;
    if (!translator.Run(shader.function, text, error, shader.constants))
        return D3D8Fail(D3DERR_INVALIDCALL, "CreateVertexShader", error.c_str());
    MakeCurrent();
    while (glGetError() != GL_NO_ERROR) {
    }
    gl_.GenPrograms(1, &shader.program);
    gl_.BindProgram(GL_VERTEX_PROGRAM_ARB, shader.program);
    gl_.ProgramString(GL_VERTEX_PROGRAM_ARB, GL_PROGRAM_FORMAT_ASCII_ARB, (GLsizei)text.size(), text.c_str());
    GLint errorPos = -1;
    glGetIntegerv(GL_PROGRAM_ERROR_POSITION_ARB, &errorPos);
    if (errorPos != -1 || glGetError() != GL_NO_ERROR) {
        const char* why = reinterpret_cast<const char*>(glGetString(GL_PROGRAM_ERROR_STRING_ARB));
        PlatformTrace("Direct3D8: vertex program rejected at %d: %s", errorPos, why ? why : "");
        gl_.DeletePrograms(1, &shader.program);
        return D3D8Fail(D3DERR_INVALIDCALL, "CreateVertexShader", "the translated program was rejected");
    }
    DWORD h = 0x10000u | (nextShader_++ << 1) | 1u;
    shaders_[h] = std::move(shader);
    *handle = h;
    return D3D_OK;
}

HRESULT Direct3DDevice8Impl::DeleteVertexShader(DWORD handle)
{
    auto it = shaders_.find(handle);
    if (it == shaders_.end()) return D3D8Fail(D3DERR_INVALIDCALL, "DeleteVertexShader", "unknown handle");
    MakeCurrent();
    gl_.DeletePrograms(1, &it->second.program);
    shaders_.erase(it);
    if (vertexShader_ == handle) vertexShader_ = 0;
    return D3D_OK;
}

HRESULT Direct3DDevice8Impl::DrawWithShader(const VertexShader& shader, D3DPRIMITIVETYPE type,
                                            const uint8_t* const* streamData, const UINT* strides, UINT vertexCount,
                                            const std::vector<uint32_t>* indices, const char* call)
{
    MakeCurrent();
    std::vector<std::vector<float>> arrays(shader.inputs.size());
    for (size_t n = 0; n < shader.inputs.size(); ++n) {
        const ShaderInput& in = shader.inputs[n];
        if (!streamData[in.stream]) return D3D8Fail(D3DERR_INVALIDCALL, call, "a declared stream is not set");
        if (in.offset + InputSize(in.type) > strides[in.stream])
            return D3D8Fail(D3DERR_INVALIDCALL, call, "declaration reaches past the stream's stride");
        arrays[n].resize((size_t)vertexCount * 4);
        for (UINT v = 0; v < vertexCount; ++v)
            ExpandInput(streamData[in.stream] + (size_t)v * strides[in.stream] + in.offset, in.type,
                        &arrays[n][(size_t)v * 4]);
    }
    SetupStages(false, 0);
    glDisable(GL_LIGHTING);
    glEnable(GL_VERTEX_PROGRAM_ARB);
    gl_.BindProgram(GL_VERTEX_PROGRAM_ARB, shader.program);
    for (int c = 0; c < kShaderConstants; ++c)
        gl_.ProgramEnvParameter4fv(GL_VERTEX_PROGRAM_ARB, (GLuint)c, shaderConstants_[c]);
    for (size_t n = 0; n < shader.inputs.size(); ++n) {
        gl_.EnableVertexAttribArray(shader.inputs[n].reg);
        gl_.VertexAttribPointer(shader.inputs[n].reg, 4, GL_FLOAT, GL_FALSE, 0, arrays[n].data());
    }
    GLenum mode = GL_TRIANGLES;
    switch (type) {
    case D3DPT_POINTLIST: mode = GL_POINTS; break;
    case D3DPT_LINELIST: mode = GL_LINES; break;
    case D3DPT_LINESTRIP: mode = GL_LINE_STRIP; break;
    case D3DPT_TRIANGLESTRIP: mode = GL_TRIANGLE_STRIP; break;
    case D3DPT_TRIANGLEFAN: mode = GL_TRIANGLE_FAN; break;
    default: break;
    }
    if (indices)
        glDrawElements(mode, (GLsizei)indices->size(), GL_UNSIGNED_INT, indices->data());
    else
        glDrawArrays(mode, 0, (GLsizei)vertexCount);
    for (auto& in : shader.inputs) gl_.DisableVertexAttribArray(in.reg);
    glDisable(GL_VERTEX_PROGRAM_ARB);
    return D3D_OK;
}
