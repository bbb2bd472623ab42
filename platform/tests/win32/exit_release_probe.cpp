// A program whose static object lets go of what it holds only as the program exits: an event, a
// mutex, a thread timer and a library, all taken in main, after the object itself was made. Its
// destructor runs after every table the platform made on first use would have been destroyed in
// order; the program exits 0 only when each release still found what it released.
#include "platform/win32/platform_internal.h"

#include <cstdio>
#include <cstdlib>

namespace {

int Entry() { return 0; }

struct HeldUntilExit {
    HANDLE event = nullptr, mutex = nullptr;
    UINT_PTR timer = 0;
    HMODULE library = nullptr;

    ~HeldUntilExit()
    {
        const bool released = CloseHandle(event) && CloseHandle(mutex) && KillTimer(nullptr, timer) &&
                              FreeLibrary(library);
        // The exit status is already set; only _Exit can still change it.
        if (!released) {
            std::fprintf(stderr, "a release at exit failed (error %lu)\n", (unsigned long)GetLastError());
            std::_Exit(3);
        }
    }
} held;

}  // namespace

int main()
{
    PlatformRegisterLibrary("exitprobe.dll", {{"Entry", reinterpret_cast<FARPROC>(&Entry)}});
    held.event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    held.mutex = CreateMutexA(nullptr, FALSE, nullptr);
    held.timer = SetTimer(nullptr, 0, 1000, nullptr);
    held.library = LoadLibraryA("exitprobe.dll");
    if (!held.event || !held.mutex || !held.timer || !held.library) {
        std::fprintf(stderr, "could not take what the test releases at exit\n");
        return 2;
    }
    return 0;
}
