// The display: DirectDraw 7 surfaces, the 16-bit pixel format, presenting, screenshots.
// One display per process; every operation logs its failures and returns 1 or 0.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/ddraw/d3d7.h"
#include "platform/ddraw/ddraw.h"

namespace Graphics {
int Init(int width, int height, int fullScreen);
void Shutdown();
}  // namespace Graphics

// The game's screen size, used by ClipToScreen (set by the process entry).
extern int g_clipScreenWidth;
extern int g_clipScreenHeight;

struct DisplayState {
    HWND window = nullptr;
    RECT windowRect = {0, 0, 0, 0};
    int width = 0, height = 0, depth = 16;
    int fullScreen = 0;
    // Full screen with a 16-bit mode and a flip chain; otherwise the back buffer is an off-screen
    // surface blitted onto the window.
    int flipChain = 0;
    LPDIRECTDRAW7 ddraw = nullptr;
    LPDIRECTDRAWSURFACE7 primary = nullptr;
    LPDIRECTDRAWSURFACE7 backBuffer = nullptr;
    DDPIXELFORMAT pixelFormat = {};
    int is555 = 0;
    int backBufferPitch = 0;
    RECT clipRect = {0, 0, 0, 0};
    int32_t redTable[256] = {}, greenTable[256] = {}, blueTable[256] = {};
    LPDIRECT3D7 d3d = nullptr;
    LPDIRECT3DDEVICE7 d3dDevice = nullptr;
    int32_t screenshotCounter = 0;
    int32_t lastFreeVideoMemory = 0;
    int hasVideoMemoryReference = 0;
};
extern DisplayState g_display;

int GetDirectXVersion(int32_t* version, int32_t* platform);
int HasMmx();
int DXCreateSurface(int width, int height, LPDIRECTDRAWSURFACE7* out, DWORD caps);
int LoadSurfaceFromFile(const char* path, LPDIRECTDRAWSURFACE7* out, int inSystemMemory);
int LockSurface(LPDIRECTDRAWSURFACE7 surface, uint16_t** pixels, int* pitchPixels);
int UnlockSurface(LPDIRECTDRAWSURFACE7 surface);
void DXFlip(int waitForVerticalBlank);
void SetColorKey(LPDIRECTDRAWSURFACE7 surface, uint16_t pixel);
int BlitToBackBuffer(int x, int y, LPDIRECTDRAWSURFACE7 source, RECT* sourceRect, DWORD flags);
int BlitToSurface(int x, int y, LPDIRECTDRAWSURFACE7 source, RECT* sourceRect, LPDIRECTDRAWSURFACE7 dest);
void ClipToScreen(int* x, int* y, RECT* src);
void DrawLinePixels(uint16_t* pixels, int pitch, int x0, int y0, int x1, int y1, uint16_t color);
// The frame just shown as the next "screen%02d.pcx" that no file holds yet (the counter starts
// at 0 each run and skips the taken numbers); a picture that cannot be written leaves no file
// and is logged.
void SaveScreenshot();
// The PCX picture of the screenshots: 3 planes of 8 bits, run-length encoded.
std::vector<unsigned char> EncodePcx(const uint16_t* pixels, int width, int height, int pitch);
// Writes it as the new file `name`: 1 when written, 0 (errno EEXIST) when the name is taken.
int WritePcx(const uint16_t* pixels, int width, int height, int pitch, const char* name);
const char* GetDDErrorName(HRESULT hr);
void LogVideoMemory(int reset);
uint16_t MakePixelColor(int r, int g, int b);
uint16_t MakePixelColorRgb(uint32_t rgb);
uint16_t PackPixel(int r, int g, int b);
uint16_t PackPixelRgb(uint32_t rgb);
// Fills one channel's table (0 red, 1 green, 2 blue) for the current pixel format; one call per
// channel once the format is known.
void BuildColorChannelTable(int channel);
