// PLATFORM_SCRIPT files come from outside the program: any bytes must parse or be refused
// with a line number, never crash.
#include "platform/win32/platform_internal.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string text(reinterpret_cast<const char*>(data), size);
    std::string error;
    if (!PlatformLoadScript(text, "fuzz", error) && error.rfind("fuzz:", 0) != 0) __builtin_trap();
    PlatformClearScript();
    return 0;
}
