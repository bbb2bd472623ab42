#include "fenwolt/Game/FrontEnd/FileReplace.h"

#include "fenwolt/common/Utilities.h"
#include "platform/win32/win32.h"

#include <cstdio>
#include <string>

bool ReplaceFileWhole(const char* name, const char* temporary, const void* data, size_t size)
{
    CreateDirectoryA("saves", nullptr);
    HANDLE file = CreateFileA(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        DebugOutPair("Cannot create", temporary);
        return false;
    }
    DWORD written = 0;
    bool ok = WriteFile(file, data, (DWORD)size, &written, nullptr) && written == size;
    ok = FlushFileBuffers(file) && ok;
    ok = CloseHandle(file) && ok;
    if (ok) {
        const std::string from = PlatformMapPath(temporary, false);
        const std::string to = PlatformMapPath(name, true);
        ok = std::rename(from.c_str(), to.c_str()) == 0;
    }
    if (!ok) {
        DeleteFileA(temporary);
        DebugOutPair("Cannot write", name);
    }
    return ok;
}
