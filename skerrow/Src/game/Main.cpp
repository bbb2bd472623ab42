// The Skerrow process entry.
#include "platform/winmm/mmsystem.h"
#include "skerrow/Src/Graphics/Graphics.h"
#include "skerrow/Src/Input.h"
#include "skerrow/Src/Log.h"
#include "skerrow/Src/ResourceLocator.h"
#include "skerrow/Src/Tables.h"
#include "skerrow/Src/game/App.h"
#ifdef SKERROW_HAVE_GAMEPLAY
#include "skerrow/Src/game/DataSetCheck.h"
#include "skerrow/Src/game/Resources.h"
#endif
#ifdef SKERROW_HAVE_SCREENS
#include "skerrow/Src/game/Screens.h"
#endif
#ifdef SKERROW_HAVE_SOUND
#include "skerrow/Src/Sound/SoundEngine.h"
#endif

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    if (!CheckSingleInstance("Ombrelit.exe running")) return 0;
    OpenLog();
    g_app.screenWidth = 640;
    g_app.screenHeight = 480;
    g_clipScreenWidth = 640;
    g_clipScreenHeight = 480;
    AddSearchPath("Ombrelit.dat", "DATA\\", 3);
    AddSearchPath("Ombrelit.lng", "LANG\\", 3);
#ifdef SKERROW_HAVE_GAMEPLAY
    // Before any window: a data set the game cannot run on is told in a box of its own, not
    // shown as a black or empty screen.
    std::string fault;
    if (!CheckDataSet(&fault)) {
        MessageBoxA(nullptr, fault.c_str(), "Ombrelit QRN", MB_OK | MB_ICONERROR);
        return -1;
    }
    ClearLeftTemporaries();
    LoadSettings();
    BuildStartupTables();
    LoadStrings();
    g_app.fullscreen = g_settings.fullscreen;
    g_app.soundEnabled = g_settings.soundEnable;
    g_app.loadResources = LoadResources;
    g_app.loadGameSprites = LoadGameSprites;
    g_app.releaseGameSprites = ReleaseGameSprites;
    g_app.initSound = InitGameSound;
#else
    ReadDisplaySettings();
    BuildStartupTables();
#endif
    RegisterWindowClass(instance);
    CreateMainWindow(instance, showCommand);
    // Our own window: the foreground one may belong to another program.
    if (g_app.mainWindow) MoveWindow(g_app.mainWindow, 0, 0, 800, 600, TRUE);
    timeBeginPeriod(1);
    SetThreadExecutionState(ES_CONTINUOUS | ES_DISPLAY_REQUIRED | ES_SYSTEM_REQUIRED);
    SetCursor(nullptr);
    if (!InitDirectX(g_app.fullscreen)) return -1;
    // Without a sound device the game is still a game: it plays silent (the failure is logged).
    InitSound();
#ifdef SKERROW_HAVE_SCREENS
    InstallScreens();
    g_firstScreen = &g_menuScreenInstance;
#endif
    InitGame();

    MSG msg{};
    while (!g_app.quit) {
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            if (!GetMessageA(&msg, nullptr, 0, 0)) return static_cast<int>(msg.wParam);
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        } else if (g_app.active) {
            RunFrame();
        } else {
            WaitMessage();
        }
    }
    Graphics::Shutdown();
#ifdef SKERROW_HAVE_GAMEPLAY
    SaveSettings();
#endif
#ifdef SKERROW_HAVE_SOUND
    // After the settings, which read the volumes from the engine.
    ReleaseSoundEngine();
#endif
    ShutdownInput();
    // The ordinary way out ends with the code given to PostQuitMessage, not with the parameter
    // of whatever message happened to be dispatched last (a key code after Escape).
    return 0;
}
