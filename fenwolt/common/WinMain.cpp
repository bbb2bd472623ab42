// Process entry: the application object is built here, at start-up, rather than by static
// construction, so that file, COM and sound set-up run after the platform is ready.
#include "fenwolt/Game/DataSetCheck.h"
#include "fenwolt/Game/GameApp.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    // Without the files it cannot be played with, the game says which and goes no further.
    if (!DataSetUsable()) return 1;
    ConstructTheApp();
    int exitCode = 0;
    if (SUCCEEDED(TheApp.Create(instance))) exitCode = TheApp.Run();
    DestroyTheApp();
    return exitCode;
}
