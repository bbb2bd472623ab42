// Small helpers used across the game: files, windows and the mouse, random numbers (with the
// table shared with the other computer in network play), float comparison, matrix and plane
// geometry, string conversion and debugger output.
#pragma once

#include "platform/d3d8/d3d8types.h"
#include "platform/win32/win32.h"

#include <cstdint>

// --- Files and windows -----------------------------------------------------------------------
bool FileExists(const char* path);
// The whole file in a zero-filled movable global block (unlocked), followed by at least one
// zero byte; null for a missing or empty file or a failed allocation.
HGLOBAL ReadWholeFile(const char* path, DWORD* sizeOut);
// The same into LoadedTextSize / LoadedTextPointer (locked) / LoadedTextHandle; 1 or 0.
int LoadTextFile(const char* path);
void FreeLoadedTextFile();
extern DWORD LoadedTextSize;
extern char* LoadedTextPointer;
extern HGLOBAL LoadedTextHandle;

void CentreWindow(HWND window, HWND other);
void CentreCursorInWindow(HWND window);
bool IsMouseInRect(int left, int top, int right, int bottom);
bool IsKeyDown(int virtualKey);

// --- Random numbers ----------------------------------------------------------------------------
constexpr int SHARED_RANDOM_COUNT = 50;
extern int32_t SharedRandomTable[SHARED_RANDOM_COUNT];
extern int32_t SharedRandomIndex;
extern bool UseSharedRandom;
// Set while a two-computer game is running (owned by the network match).
extern bool NetworkGameActive;
extern int32_t LastRandom;

int32_t RandomBelow(int32_t n);
int32_t LocalRandomBelow(int32_t n);
int32_t SharedRandomBelow(int32_t n);
// Sends the table to the other computer once that link exists (game message 6).
typedef void (*SharedRandomTableSender)(const int32_t* table, int count);
void SetSharedRandomTableSender(SharedRandomTableSender sender);
void FillSharedRandomTable();

// --- Float comparison ----------------------------------------------------------------------------
bool FloatsEqual(float a, float b);
bool Vec3Equal(const D3DVECTOR& a, const D3DVECTOR& b);
bool Vec3EqualXZ(const D3DVECTOR& a, const D3DVECTOR& b);
// No coordinate is infinite or not a number.
bool Vec3Finite(const D3DVECTOR& v);

// --- Matrices and vectors (row vectors, translation in the fourth row) ------------------------
void SetIdentityMatrix(D3DMATRIX& m);
void SetRotateXMatrix(D3DMATRIX& m, float angle);
void SetRotateYMatrix(D3DMATRIX& m, float angle);
void SetRotateZMatrix(D3DMATRIX& m, float angle);
HRESULT VectorMatrixMultiply(D3DVECTOR& out, const D3DVECTOR& point, const D3DMATRIX& m);
// out = a then b: a point multiplied by out is the point multiplied by a, then by b.
void MatrixMultiply(D3DMATRIX& out, const D3DMATRIX& a, const D3DMATRIX& b);
D3DVECTOR CrossProduct(const D3DVECTOR& a, const D3DVECTOR& b);
void TriangleNormal(D3DVECTOR& out, const D3DVECTOR& a, const D3DVECTOR& b, const D3DVECTOR& c);
float AngleBetween(const D3DVECTOR& u, const D3DVECTOR& v);
bool IntersectSegmentTriangle(const D3DVECTOR& p0, const D3DVECTOR& p1, const D3DVECTOR& a, const D3DVECTOR& b,
                              const D3DVECTOR& c, D3DVECTOR& out);
HRESULT InvertAffineMatrix(D3DMATRIX& out, const D3DMATRIX& m);

// --- Strings and debugger output -------------------------------------------------------------
// Windows-1252 <-> UTF-16. `length` is the room in the output in characters, the terminator
// included; -1 means the whole input and its terminator. The output is always terminated.
void ConvertGenericStringToWide(wchar_t* out, const char* in, int length);
void ConvertWideStringToGeneric(char* out, const wchar_t* in, int length);
void DebugPrintFloat(const char* label, float value);
void DebugPrintInt(const char* label, int value);
void DebugOutLine(const char* text);
void DebugOutPair(const char* a, const char* b);
void DebugTrace(const char* format, ...) __attribute__((format(printf, 1, 2)));
