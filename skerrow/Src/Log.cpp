#include "skerrow/Src/Log.h"

#include <cstdarg>
#include <cstdio>
#include <ctime>

#include "platform/win32/win32.h"
#include "skerrow/Src/FileSystem.h"

namespace {
// Every line the game writes is short; longer texts are cut, never overrun.
char g_logBuffer[4096];
const char kLogName[] = "Log.txt";
}  // namespace

void OpenLog()
{
    // Through the file layer: a FIFO or a folder named Log.txt must not hold the start up.
    std::FILE* f = OpenGameFile(kLogName, "w");
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::snprintf(g_logBuffer, sizeof g_logBuffer, "Log start: %02d/%02d/%04d %02d:%02d \n", local.tm_mon + 1,
                  local.tm_mday, local.tm_year + 1900, local.tm_hour, local.tm_min);
    if (f) {
        std::fputs(g_logBuffer, f);
        std::fclose(f);
    }
}

void LogMessage(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::vsnprintf(g_logBuffer, sizeof g_logBuffer, format, args);
    va_end(args);
    OutputDebugStringA(g_logBuffer);
    // The formatted text is written as it stands: a '%' from an argument must not be
    // formatted a second time.
    if (std::FILE* f = OpenGameFile(kLogName, "a")) {
        std::fputs(g_logBuffer, f);
        std::fclose(f);
    }
}
