#include "platform/win32/sound_notice.h"

#include <dlfcn.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "platform/win32/win32.h"

namespace {

// The sound library's error handler: the place it names, its message and the error it carries.
void SoundLibraryMessage(const char* file, int line, const char* function, int error, const char* format, ...)
{
    if (!PlatformDebugOutputEnabled()) return;
    char text[768];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    PlatformSoundTrace("ALSA lib", "%s:%d:(%s) %s%s%s", file ? file : "?", line, function ? function : "?", text,
                       error ? ": " : "", error ? std::strerror(error < 0 ? -error : error) : "");
}

}  // namespace

void PlatformSoundTrace(const char* source, const char* format, ...)
{
    if (!PlatformDebugOutputEnabled()) return;
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    char line[1100];
    std::snprintf(line, sizeof line, "%s: %s\n", source, text);
    OutputDebugStringA(line);
}

void PlatformReportNoSoundDevice()
{
    static std::atomic<bool> said{false};
    if (said.exchange(true)) return;
    std::fputs("No sound device could be opened: the game runs without sound.\n", stderr);
}

void PlatformRouteSoundLibraryMessages()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // SDL loads the library itself when it tries that driver; loading it first is the same
        // library, so the handler set here is the one its messages meet. It stays loaded: SDL
        // may open the device again at any time. Without the library there is nothing to route.
        void* library = dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL);
        if (!library) return;
        using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
        using SetHandler = int (*)(Handler);
        if (auto set = reinterpret_cast<SetHandler>(dlsym(library, "snd_lib_error_set_handler")))
            set(&SoundLibraryMessage);
    });
}
