// The game's display opened headless on the software back buffer, its tables built and the
// generated data set mounted with the shared resources loaded: what every in-process run of
// real screens needs first. Once per process.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/win32/platform_internal.h"
#include "skerrow/Src/Graphics/Graphics.h"
#include "skerrow/Src/ResourceLocator.h"
#include "skerrow/Src/Tables.h"
#include "skerrow/Src/game/Gameplay.h"
#include "skerrow/Src/game/Resources.h"

inline LRESULT CALLBACK HeadlessGameProc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcA(h, m, w, l); }

// `data`: the folder of the data packs, the build's own data set when none is given.
inline bool StartHeadlessGame(std::string data = {})
{
    static bool ready = false;
    if (ready) return true;
    PlatformInit();
    WNDCLASSA wc{};
    wc.lpfnWndProc = HeadlessGameProc;
    wc.lpszClassName = "SkerrowHeadlessGame";
    RegisterClassA(&wc);
    HWND window = CreateWindowExA(0, "SkerrowHeadlessGame", "headless", WS_OVERLAPPEDWINDOW, 0, 0, 640, 480,
                                  nullptr, nullptr, nullptr, nullptr);
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
    g_clipScreenWidth = 640;
    g_clipScreenHeight = 480;
    if (Graphics::Init(640, 480, 0) != 1) return false;
    PixelFormatShifts.red = g_display.is555 ? 10 : 11;
    PixelFormatShifts.green = g_display.is555 ? 5 : 6;
    BuildStartupTables();
    ConvertColorTable();
    g_resourceLocator.Clear();
    if (data.empty()) data = std::string(BUILD_ROOT) + "/data/skerrow";
    data += '/';
    if (!AddSearchPath((data + "Ombrelit.dat").c_str(), "DATA\\", 1)) return false;
    if (!AddSearchPath((data + "Ombrelit.lng").c_str(), "LANG\\", 1)) return false;
    LoadSettings();
    LoadStrings();
    LoadItemTimes();
    LoadResources();
    ready = true;
    return true;
}

// The back buffer as an RGB PNG, for a person to look at.
inline bool SaveBackBufferPng(const std::string& path)
{
    uint16_t* pixels = nullptr;
    int pitch = 0;
    if (!LockSurface(g_display.backBuffer, &pixels, &pitch)) return false;
    std::vector<uint8_t> rgb(640 * 480 * 3);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) {
            const uint16_t p = pixels[y * pitch + x];
            const int r = g_display.is555 ? (p >> 10 & 31) : (p >> 11 & 31);
            const int g = g_display.is555 ? (p >> 5 & 31) << 1 : (p >> 5 & 63);
            const int b = p & 31;
            uint8_t* o = &rgb[(y * 640 + x) * 3];
            o[0] = static_cast<uint8_t>(r << 3 | r >> 2);
            o[1] = static_cast<uint8_t>(g << 2 | g >> 4);
            o[2] = static_cast<uint8_t>(b << 3 | b >> 2);
        }
    UnlockSurface(g_display.backBuffer);
    return PlatformWriteRgbPng(path, 640, 480, rgb);
}
