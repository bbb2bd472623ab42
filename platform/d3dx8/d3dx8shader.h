// The vertex shader assembler: vs.1.0 / vs.1.1 source text to the Direct3D 8 token stream that
// CreateVertexShader takes.
#pragma once

#include "platform/d3dx8/d3dx8core.h"

#define D3DXASM_DEBUG (1 << 0)
#define D3DXASM_SKIPVALIDATION (1 << 1)

// Assembles `srcDataLen` bytes of source (no terminator needed; a NUL ends the text early).
// Accepted: the version line "vs.1.0" or "vs.1.1"; the instructions nop mov add sub mad mul rcp
// rsq dp3 dp4 min max slt sge exp log lit dst frc m4x4 m4x3 m3x4 m3x3 m3x2 expp logp and def;
// registers v0-v15, r0-r11, c0-c95 (also c[n], c[a0.x + n]), a0.x, oPos, oD0-oD1, oT0-oT7,
// oFog, oPts; write masks, swizzles (one to four components) and negation; comments after ';'
// or '//' and between '/*' and '*/'; object-like "#define NAME text".
// On success *compiledShader holds the tokens (version first, 0x0000FFFF last). On failure the
// result is D3DXERR_INVALIDDATA, *compiledShader is null and *compilationErrors holds one line
// per error, "(line): error: text", NUL-terminated. With `constants` given, the def'd constants
// also come back as vertex-shader declaration tokens (D3DVSD_CONST), or null when there are none.
HRESULT D3DXAssembleShader(LPCVOID srcData, UINT srcDataLen, DWORD flags, LPD3DXBUFFER* constants,
                           LPD3DXBUFFER* compiledShader, LPD3DXBUFFER* compilationErrors);

// Token values of the stream, for readers of it (the device's translator, tests).
namespace vs_tokens {
constexpr DWORD kEnd = 0x0000FFFF;
constexpr DWORD kCommentOpcode = 0xFFFE;   // low word; high word = length in tokens
constexpr DWORD kOpcodeMask = 0x0000FFFF;
constexpr DWORD kParamBit = 0x80000000u;   // set in every parameter token
constexpr DWORD kRegNumMask = 0x00000FFF;
constexpr DWORD kRegTypeShift = 28, kRegTypeMask = 0x70000000u;
constexpr DWORD kWriteMaskShift = 16, kWriteMaskAll = 0x000F0000u;
constexpr DWORD kSwizzleShift = 16, kSwizzleMask = 0x00FF0000u, kNoSwizzle = 0x00E40000u;
constexpr DWORD kSrcModShift = 24, kSrcModMask = 0x0F000000u, kSrcModNeg = 0x01000000u;
constexpr DWORD kRelativeAddress = 0x00002000u;  // source indexed by a0.x

enum RegType : DWORD { Temp = 0, Input = 1, Const = 2, Address = 3, RastOut = 4, AttrOut = 5, TexCrdOut = 6 };
enum RastOutReg : DWORD { Position = 0, Fog = 1, PointSize = 2 };

enum Opcode : DWORD {
    Nop = 0, Mov = 1, Add = 2, Sub = 3, Mad = 4, Mul = 5, Rcp = 6, Rsq = 7, Dp3 = 8, Dp4 = 9, Min = 10,
    Max = 11, Slt = 12, Sge = 13, Exp = 14, Log = 15, Lit = 16, Dst = 17, Frc = 19, M4x4 = 20, M4x3 = 21,
    M3x4 = 22, M3x3 = 23, M3x2 = 24, ExpP = 78, LogP = 79, Def = 81,
};
}  // namespace vs_tokens
