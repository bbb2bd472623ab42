#include "skerrow/Src/game/App.h"

#include "platform/winmm/mmsystem.h"
#include "skerrow/Src/Graphics/Graphics.h"
#include "skerrow/Src/IniFile.h"
#include "skerrow/Src/Input.h"
#include "skerrow/Src/Log.h"
#include "skerrow/Src/Tables.h"
#include "skerrow/Src/game/Screen.h"
#ifdef SKERROW_HAVE_SOUND
#include "skerrow/Src/Sound/SoundEngine.h"
#endif

AppState g_app;

namespace {
const char kClassName[] = "Ombrelit QRN DirectX class";
const char kTitle[] = "Ombrelit QRN";
}  // namespace

uint32_t GetTimeMs() { return timeGetTime(); }

int CheckSingleInstance(const char* mutexName)
{
    HANDLE mutex = CreateMutexA(nullptr, TRUE, mutexName);
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        if (mutex) CloseHandle(mutex);
        return 0;
    }
    g_app.instanceMutex = mutex;
    return 1;
}

int RegisterWindowClass(HINSTANCE instance)
{
    WNDCLASSA wc{};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(0));
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = nullptr;
    wc.lpszMenuName = nullptr;
    wc.lpszClassName = kClassName;
    return RegisterClassA(&wc) != 0;
}

int CreateMainWindow(HINSTANCE instance, int showCommand)
{
    DWORD style = g_app.fullscreen ? WS_POPUP : WS_OVERLAPPEDWINDOW;
    int width = g_app.screenWidth + 2 * GetSystemMetrics(SM_CXFRAME);
    int height = g_app.screenHeight + 2 * GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYMENU);
    HWND hwnd = CreateWindowExA(0, kClassName, kTitle, style, CW_USEDEFAULT, CW_USEDEFAULT, width, height, nullptr,
                                nullptr, instance, nullptr);
    if (!hwnd) return 0;
    g_app.mainWindow = hwnd;
    ShowWindow(hwnd, showCommand);
    UpdateWindow(hwnd);
    GetWindowRect(hwnd, &g_app.windowRect);
    return 1;
}

void ReadDisplaySettings()
{
    IniFile ini("Ombrelit.ini", 0);
    g_app.fullscreen = ini.GetInt("Settings", "Fullscreen", 1);
    g_app.soundEnabled = ini.GetInt("Settings", "Sound enable", 0);
}

int InitDirectX(int fullscreen)
{
    int32_t version = 0, platform = 0;
    GetDirectXVersion(&version, &platform);
    if (version < 0x700) {
        MessageBoxA(g_app.mainWindow, "You must have DirectX 7.0 or higher", "Warning", MB_OK);
        return 0;
    }
    timeBeginPeriod(1);
    if (!Graphics::Init(640, 480, fullscreen)) return 0;
    if (!InitInput(1)) return 0;
    if (g_display.is555) {
        PixelFormatShifts.red = 10;
        PixelFormatShifts.green = 5;
    } else {
        PixelFormatShifts.red = 11;
        PixelFormatShifts.green = 6;
    }
    ConvertColorTable();
    g_app.graphicsReady = 1;
    return 1;
}

int InitSound()
{
    if (g_app.initSound) return g_app.initSound();
    if (!g_app.soundEnabled) return 1;
#ifdef SKERROW_HAVE_SOUND
    if (InitSoundEngine() == 0) return 1;
#endif
    LogMessage("Sound init failed\n");
    g_app.soundEnabled = 0;
    return 0;
}

int InitGame()
{
    g_app.frameCounter = 0;
    if (g_app.loadResources) g_app.loadResources();
    SwitchScreenIfOther(g_firstScreen, 0);
    return 1;
}

int FrameDue(uint32_t now, uint32_t last) { return now - last > 12u ? 1 : 0; }

uint32_t FrameMark(uint32_t now, uint32_t last)
{
    const uint32_t due = last + 13u;
    return now - due < 13u ? due : now;
}

void RunFrame()
{
    uint32_t t = GetTimeMs();
    if (!FrameDue(t, g_app.lastFrameTime)) return;
    g_app.lastFrameTime = FrameMark(t, g_app.lastFrameTime);
    ++g_app.frameCounter;
    PollInput();
    ProcessCurrentScreen();
    if (g_display.ddraw) DXFlip(g_app.waitForVerticalBlank);
    if (WasKeyPressed(DIK_SYSRQ)) SaveScreenshot();
}

void QuitApplication()
{
    if (g_app.mainWindow) SendMessageA(g_app.mainWindow, WM_DESTROY, 0, 0);
}

namespace {

void OnActivateApp(WPARAM wParam)
{
    g_app.active = static_cast<int32_t>(wParam);
    if (g_app.quit || !g_app.graphicsReady) return;
    AcquireInput(g_app.active);
    if (g_app.active && !g_app.restored) {
        LogMessage("fAppActive = %d\n", g_app.active);
        LogMessage("bFullScreen = %d\n", g_app.fullscreen);
        LogMessage("Activate...\n\n");
        if (Graphics::Init(640, 480, g_app.fullscreen)) {
            if (g_app.loadGameSprites) g_app.loadGameSprites();
            SetScreenSurfaces(1);
        }
        g_app.restored = 1;
        g_app.released = 0;
    } else if (!g_app.active && !g_app.released) {
        LogMessage("fAppActive = %d\n", g_app.active);
        LogMessage("Release...\n\n");
        LogMessage("bFullScreen = %d\n", g_app.fullscreen);
        if (g_app.fullscreen) {
            LogMessage("FullScreen -> Restore display mode\n");
            if (g_display.ddraw) {
                g_display.ddraw->RestoreDisplayMode();
                g_display.ddraw->SetCooperativeLevel(g_app.mainWindow, DDSCL_NORMAL);
            }
        }
        if (g_app.releaseGameSprites) g_app.releaseGameSprites();
        // The screen's surfaces go before the display that made them.
        SetScreenSurfaces(0);
        Graphics::Shutdown();
        g_app.restored = 0;
        g_app.released = 1;
    }
}

}  // namespace

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SETCURSOR:
        SetCursor(nullptr);
        return 0;
    case WM_DESTROY:
        g_app.quit = 1;
        PostQuitMessage(0);
        return 0;
    case WM_MOVE:
        if (!g_app.fullscreen) {
            GetWindowRect(hwnd, &g_app.windowRect);
            RECT client;
            GetClientRect(hwnd, &client);
            POINT a = {client.left, client.top}, b = {client.right, client.bottom};
            ClientToScreen(hwnd, &a);
            ClientToScreen(hwnd, &b);
            g_app.clientRect = {a.x, a.y, b.x, b.y};
        }
        return 0;
    case WM_KEYDOWN:
        return 0;
    case WM_CHAR:
        SendKeyToScreen(wParam, lParam);
        return 0;
    case WM_ACTIVATEAPP:
        OnActivateApp(wParam);
        return 0;
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}
