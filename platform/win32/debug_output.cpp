// The debugger's channel. On the desktop a program's traces reach a debugger when one is
// attached and nobody otherwise; a player starting a game from a terminal never sees them.
// PLATFORM_DEBUG_OUTPUT=1 makes the terminal (stderr) the debugger. Kept apart from the
// windowing code so that the games' file readers and tools can trace without SDL.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/win32/win32.h"

bool PlatformDebugOutputEnabled()
{
    // Read at every call: a test or a wrapper may set it after the program started.
    const char* value = std::getenv("PLATFORM_DEBUG_OUTPUT");
    return value && std::strcmp(value, "1") == 0;
}

void OutputDebugStringA(LPCSTR text)
{
    if (text && PlatformDebugOutputEnabled()) std::fputs(text, stderr);
}
