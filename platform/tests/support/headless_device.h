// A window and a device set-up shared by the tests and benchmarks that draw headless.
#pragma once

#include "platform/d3d8/d3d8.h"
#include "platform/win32/win32.h"

#include <cstdint>
#include <vector>

// A visible window whose client area is 800 x 600 whatever frame `style` asks for. All such
// windows share one class, registered on first use.
HWND CreateTestWindow(const char* title, DWORD style = WS_POPUP);

// Windowed 800 x 600 back buffer of X8R8G8B8, discarded on present, for `window`.
D3DPRESENT_PARAMETERS WindowedParams(HWND window, bool depth = true, D3DFORMAT depthFormat = D3DFMT_D24S8);

// The back buffer as rows of RGB bytes, top row first; false (and `rgb` empty) when the device
// is not the stand-in's own or cannot read back.
bool ReadFrame(IDirect3DDevice8* device, int& width, int& height, std::vector<uint8_t>& rgb);
