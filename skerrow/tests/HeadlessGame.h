// The game's display opened headless on the software back buffer, its tables built and the
// generated data set mounted with the shared resources loaded: what every in-process run of
// real screens needs first. Once per process.
#pragma once

#include <string>

#include "platform/win32/platform_internal.h"
#include "skerrow/Src/Graphics/Graphics.h"
#include "skerrow/Src/ResourceLocator.h"
#include "skerrow/Src/Tables.h"
#include "skerrow/Src/game/Gameplay.h"
#include "skerrow/Src/game/Resources.h"

inline LRESULT CALLBACK HeadlessGameProc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcA(h, m, w, l); }

inline bool StartHeadlessGame()
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
    const std::string data = std::string(BUILD_ROOT) + "/data/skerrow/";
    if (!AddSearchPath((data + "Ombrelit.dat").c_str(), "DATA\\", 1)) return false;
    if (!AddSearchPath((data + "Ombrelit.lng").c_str(), "LANG\\", 1)) return false;
    LoadSettings();
    LoadStrings();
    LoadItemTimes();
    LoadResources();
    ready = true;
    return true;
}
