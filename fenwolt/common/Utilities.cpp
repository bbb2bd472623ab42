#include "fenwolt/common/Utilities.h"

#include "platform/win32/crt_rand.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

DWORD LoadedTextSize = 0;
char* LoadedTextPointer = nullptr;
HGLOBAL LoadedTextHandle = nullptr;

int32_t SharedRandomTable[SHARED_RANDOM_COUNT];
int32_t SharedRandomIndex = 0;
bool UseSharedRandom = false;
bool NetworkGameActive = false;
int32_t LastRandom = 0;

extern int32_t MouseX, MouseY;

namespace {
SharedRandomTableSender g_tableSender = nullptr;
}

// ---------------------------------------------------------------------------------------------
bool FileExists(const char* path)
{
    if (!path) return false;
    HANDLE f = CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    CloseHandle(f);
    return true;
}

HGLOBAL ReadWholeFile(const char* path, DWORD* sizeOut)
{
    if (!path) return nullptr;
    HANDLE f = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return nullptr;
    DWORD size = GetFileSize(f, nullptr);
    if (size == 0 || size == INVALID_FILE_SIZE || size > 0x7FFFFFF0u) {
        CloseHandle(f);
        return nullptr;
    }
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, (SIZE_T)size + 1);
    if (!block) {
        CloseHandle(f);
        return nullptr;
    }
    void* p = GlobalLock(block);
    DWORD read = 0;
    BOOL ok = p && ReadFile(f, p, size, &read, nullptr) && read == size;
    GlobalUnlock(block);
    CloseHandle(f);
    if (!ok) {
        GlobalFree(block);
        return nullptr;
    }
    if (sizeOut) *sizeOut = size;
    return block;
}

int LoadTextFile(const char* path)
{
    FreeLoadedTextFile();
    DWORD size = 0;
    HGLOBAL block = ReadWholeFile(path, &size);
    if (!block) return 0;
    LoadedTextHandle = block;
    LoadedTextSize = size;
    LoadedTextPointer = static_cast<char*>(GlobalLock(block));
    return LoadedTextPointer ? 1 : 0;
}

void FreeLoadedTextFile()
{
    if (LoadedTextHandle) {
        GlobalUnlock(LoadedTextHandle);
        GlobalFree(LoadedTextHandle);
    }
    LoadedTextHandle = nullptr;
    LoadedTextPointer = nullptr;
    LoadedTextSize = 0;
}

void CentreWindow(HWND window, HWND other)
{
    RECT w, o;
    if (!GetWindowRect(window, &w) || !GetWindowRect(other, &o)) return;
    LONG ww = w.right - w.left, wh = w.bottom - w.top;
    LONG ow = o.right - o.left, oh = o.bottom - o.top;
    if (ow < ww || oh < wh) return;
    SetWindowPos(window, nullptr, o.left + (ow - ww) / 2, o.top + (oh - wh) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CentreCursorInWindow(HWND window)
{
    RECT r;
    if (!GetWindowRect(window, &r)) return;
    SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

bool IsMouseInRect(int left, int top, int right, int bottom)
{
    return MouseX >= left && MouseX <= right && MouseY >= top && MouseY <= bottom;
}

bool IsKeyDown(int virtualKey) { return (GetAsyncKeyState(virtualKey) & 0x8000) != 0; }

// ---------------------------------------------------------------------------------------------
namespace {
// value * n / 32768 in 64 bits, so that any n is safe; outside 0..n-1 gives 0.
int32_t Scale(int32_t value, int32_t n)
{
    int64_t r = (int64_t)value * n / 32768;
    return (r < 0 || r >= n) ? 0 : (int32_t)r;
}
}  // namespace

int32_t LocalRandomBelow(int32_t n)
{
    if (n < 2) return 0;
    return Scale(rand(), n);
}

int32_t SharedRandomBelow(int32_t n)
{
    if (n < 2) return 0;
    if (SharedRandomIndex < 0 || SharedRandomIndex >= SHARED_RANDOM_COUNT) SharedRandomIndex = 0;
    int32_t v = SharedRandomTable[SharedRandomIndex];
    SharedRandomIndex = (SharedRandomIndex + 1) % SHARED_RANDOM_COUNT;
    return Scale(v, n);
}

int32_t RandomBelow(int32_t n)
{
    LastRandom = (UseSharedRandom && NetworkGameActive) ? SharedRandomBelow(n) : LocalRandomBelow(n);
    return LastRandom;
}

void SetSharedRandomTableSender(SharedRandomTableSender sender) { g_tableSender = sender; }

void FillSharedRandomTable()
{
    for (int i = 0; i < SHARED_RANDOM_COUNT; ++i) SharedRandomTable[i] = rand();
    SharedRandomIndex = 0;
    if (g_tableSender) g_tableSender(SharedRandomTable, SHARED_RANDOM_COUNT);
}

// ---------------------------------------------------------------------------------------------
bool FloatsEqual(float a, float b) { return std::fabs(a - b) < 0.001f; }
bool Vec3Equal(const D3DVECTOR& a, const D3DVECTOR& b)
{
    return FloatsEqual(a.x, b.x) && FloatsEqual(a.y, b.y) && FloatsEqual(a.z, b.z);
}
bool Vec3EqualXZ(const D3DVECTOR& a, const D3DVECTOR& b) { return FloatsEqual(a.x, b.x) && FloatsEqual(a.z, b.z); }
bool Vec3Finite(const D3DVECTOR& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

void SetIdentityMatrix(D3DMATRIX& m)
{
    std::memset(&m, 0, sizeof(m));
    m._11 = m._22 = m._33 = m._44 = 1.f;
}

void SetRotateXMatrix(D3DMATRIX& m, float angle)
{
    SetIdentityMatrix(m);
    float c = std::cos(angle), s = std::sin(angle);
    m._22 = c;
    m._23 = s;
    m._32 = -s;
    m._33 = c;
}

void SetRotateYMatrix(D3DMATRIX& m, float angle)
{
    SetIdentityMatrix(m);
    float c = std::cos(angle), s = std::sin(angle);
    m._11 = c;
    m._13 = -s;
    m._31 = s;
    m._33 = c;
}

void SetRotateZMatrix(D3DMATRIX& m, float angle)
{
    SetIdentityMatrix(m);
    float c = std::cos(angle), s = std::sin(angle);
    m._11 = c;
    m._12 = s;
    m._21 = -s;
    m._22 = c;
}

HRESULT VectorMatrixMultiply(D3DVECTOR& out, const D3DVECTOR& p, const D3DMATRIX& m)
{
    float x = p.x * m._11 + p.y * m._21 + p.z * m._31 + m._41;
    float y = p.x * m._12 + p.y * m._22 + p.z * m._32 + m._42;
    float z = p.x * m._13 + p.y * m._23 + p.z * m._33 + m._43;
    float w = p.x * m._14 + p.y * m._24 + p.z * m._34 + m._44;
    if (std::fabs(w) < 0.00001f) return E_INVALIDARG;
    out.x = x / w;
    out.y = y / w;
    out.z = z / w;
    return S_OK;
}

void MatrixMultiply(D3DMATRIX& out, const D3DMATRIX& a, const D3DMATRIX& b)
{
    // Row vectors: v * (a * b) applies a first. Worked on a copy, so out may alias a or b.
    D3DMATRIX r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] + a.m[i][3] * b.m[3][j];
    out = r;
}

D3DVECTOR CrossProduct(const D3DVECTOR& a, const D3DVECTOR& b)
{
    return D3DVECTOR{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

namespace {
D3DVECTOR Sub(const D3DVECTOR& a, const D3DVECTOR& b) { return D3DVECTOR{a.x - b.x, a.y - b.y, a.z - b.z}; }
float Dot(const D3DVECTOR& a, const D3DVECTOR& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
D3DVECTOR Normalised(const D3DVECTOR& v)
{
    float len = std::sqrt(Dot(v, v));
    if (len == 0.f) return D3DVECTOR{0.f, 0.f, 0.f};
    return D3DVECTOR{v.x / len, v.y / len, v.z / len};
}
}  // namespace

void TriangleNormal(D3DVECTOR& out, const D3DVECTOR& a, const D3DVECTOR& b, const D3DVECTOR& c)
{
    out = Normalised(CrossProduct(Sub(b, a), Sub(c, a)));
}

float AngleBetween(const D3DVECTOR& u, const D3DVECTOR& v)
{
    float d = Dot(Normalised(u), Normalised(v));
    // Rounding can push the dot product of parallel vectors just past 1.
    if (d > 1.f) d = 1.f;
    if (d < -1.f) d = -1.f;
    return std::acos(d);
}

bool IntersectSegmentTriangle(const D3DVECTOR& p0, const D3DVECTOR& p1, const D3DVECTOR& a, const D3DVECTOR& b,
                              const D3DVECTOR& c, D3DVECTOR& out)
{
    D3DVECTOR n;
    TriangleNormal(n, a, b, c);
    D3DVECTOR d = Sub(p1, p0);
    float denominator = Dot(n, d);
    if (std::fabs(denominator) < 0.00001f) return false;
    float t = Dot(n, Sub(a, p0)) / denominator;
    if (t < 0.f || t > 1.f) return false;
    out = D3DVECTOR{p0.x + t * d.x, p0.y + t * d.y, p0.z + t * d.z};
    return true;
}

HRESULT InvertAffineMatrix(D3DMATRIX& out, const D3DMATRIX& m)
{
    if (std::fabs(m._14) > 0.001f || std::fabs(m._24) > 0.001f || std::fabs(m._34) > 0.001f ||
        std::fabs(m._44 - 1.f) > 0.001f)
        return E_INVALIDARG;
    // Inverse of the upper 3x3 by cofactors, then the translation carried through it.
    float a = m._11, b = m._12, c = m._13, d = m._21, e = m._22, f = m._23, g = m._31, h = m._32, i = m._33;
    float det = a * (e * i - f * h) - b * (d * i - f * g) + c * (d * h - e * g);
    if (std::fabs(det) < 1e-12f) return E_INVALIDARG;
    float k = 1.f / det;
    D3DMATRIX r;
    SetIdentityMatrix(r);
    r._11 = (e * i - f * h) * k;
    r._12 = (c * h - b * i) * k;
    r._13 = (b * f - c * e) * k;
    r._21 = (f * g - d * i) * k;
    r._22 = (a * i - c * g) * k;
    r._23 = (c * d - a * f) * k;
    r._31 = (d * h - e * g) * k;
    r._32 = (b * g - a * h) * k;
    r._33 = (a * e - b * d) * k;
    r._41 = -(m._41 * r._11 + m._42 * r._21 + m._43 * r._31);
    r._42 = -(m._41 * r._12 + m._42 * r._22 + m._43 * r._32);
    r._43 = -(m._41 * r._13 + m._42 * r._23 + m._43 * r._33);
    out = r;
    return S_OK;
}

// ---------------------------------------------------------------------------------------------
namespace {
// Windows-1252's characters 0x80..0x9F; 0 where the code page has none.
const wchar_t kCp1252High[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                 0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
}

void ConvertGenericStringToWide(wchar_t* out, const char* in, int length)
{
    if (!out || !in || length == 0) return;
    int room = length < 0 ? (int)std::strlen(in) + 1 : length;
    int i = 0;
    for (; i < room - 1 && in[i]; ++i) {
        unsigned char ch = (unsigned char)in[i];
        wchar_t w = ch;
        if (ch >= 0x80 && ch <= 0x9F) w = kCp1252High[ch - 0x80] ? kCp1252High[ch - 0x80] : L'?';
        out[i] = w;
    }
    out[i] = 0;
}

void ConvertWideStringToGeneric(char* out, const wchar_t* in, int length)
{
    if (!out || !in || length == 0) return;
    int room = length;
    if (length < 0) {
        room = 1;
        while (in[room - 1]) ++room;
    }
    int i = 0;
    for (; i < room - 1 && in[i]; ++i) {
        wchar_t w = in[i];
        char ch = '?';
        if (w < 0x80 || (w >= 0xA0 && w <= 0xFF)) {
            ch = (char)w;
        } else {
            for (int k = 0; k < 32; ++k)
                if (kCp1252High[k] == w) ch = (char)(0x80 + k);
        }
        out[i] = ch;
    }
    out[i] = 0;
}

void DebugPrintFloat(const char* label, float value) { DebugTrace("%s: %.2f\n", label, value); }
void DebugPrintInt(const char* label, int value) { DebugTrace("%s: %d\n", label, value); }
void DebugOutLine(const char* text) { DebugTrace("%s\n", text ? text : ""); }
void DebugOutPair(const char* a, const char* b) { DebugTrace("%s %s\n", a ? a : "", b ? b : ""); }

void DebugTrace(const char* format, ...)
{
    char buffer[513];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof(buffer), format, args);
    va_end(args);
    OutputDebugStringA(buffer);
}
