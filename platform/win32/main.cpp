// The process entry: the platform first, then the game's WinMain, then an orderly shutdown.
#include "platform/win32/platform_internal.h"

#include <string>

int main(int argc, char** argv)
{
    if (!PlatformLoadScriptFromEnvironment()) return 2;
    if (!PlatformInit()) return 1;
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) commandLine += ' ';
        commandLine += argv[i];
    }
    int code = WinMain(reinterpret_cast<HINSTANCE>(GetModuleHandleA(nullptr)), nullptr, commandLine.data(),
                       SW_SHOWDEFAULT);
    int missing = PlatformPendingScreenshots();
    PlatformShutdown();
    if (missing > 0) {
        fprintf(stderr, "PLATFORM_SCRIPT: %d screenshot(s) were not written (the program ended at frame %llu)\n",
                missing, static_cast<unsigned long long>(PlatformFrameCount()));
        if (code == 0) code = 3;
    }
    return code;
}
