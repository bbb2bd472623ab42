// Test controls of the Direct3D 8 stand-in: what it offers, so that tests can exercise a program's
// fall-backs, and how often it paced presents (for tests and benchmarks only; the games never
// include this).
#pragma once

#include <cstdint>

#include "platform/d3d8/d3d8.h"

// What the stand-in offers. By default one adapter with an 800 x 600 mode in X8R8G8B8 (the desktop
// format) and R5G6B5, HAL and REF devices, D24S8, D16 and D32 depth buffers, windowed rendering.
// Tests switch parts off to exercise a program's fall-backs; the settings apply to Direct3D objects
// created afterwards.
struct D3D8StandInConfig {
    bool offerRef = true;
    bool offerHal = true;
    bool offerD24S8 = true;
    bool offerD16 = true;
    bool offerD32 = true;
    bool halCanRenderWindowed = true;
    bool offer800x600 = true;
    bool offer16BitMode = true;
    bool halHardwareTnL = true;
    DWORD halVertexShaderVersion = D3DVS_VERSION(1, 1);
    bool failCreateHal = false;  // CreateDevice on HAL fails (exercises the fall-back to REF)
};
D3D8StandInConfig& D3D8StandInSettings();
void D3D8ResetStandInSettings();
// Presents that were paced to the display's refresh (windows, and full screen with the default
// or one-frame interval; never on the fixed-step clock), since the process started.
uint64_t D3D8RefreshWaits();
