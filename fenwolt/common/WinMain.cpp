// Process entry: the application object is built here, at start-up, rather than by static
// construction, so that file, COM and sound set-up run after the platform is ready.
#include "fenwolt/Game/DataSetCheck.h"
#include "fenwolt/Game/GameApp.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    // Without the files it cannot be played with, the game says which and goes no further.
    if (!DataSetUsable()) return 1;
    ConstructTheApp();
    // A start that failed has told the player why in its message box; the exit says it failed.
    const int exitCode = SUCCEEDED(TheApp.Create(instance)) ? TheApp.Run() : 1;
    DestroyTheApp();
    return exitCode;
}
