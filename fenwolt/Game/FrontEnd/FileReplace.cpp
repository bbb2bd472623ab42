#include "fenwolt/Game/FrontEnd/FileReplace.h"

#include "fenwolt/common/Utilities.h"
#include "platform/win32/win32.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

namespace {

WriteFault FaultOfError(DWORD error)
{
    switch (error) {
    case ERROR_DISK_FULL: return WriteFault::NoSpace;
    case ERROR_ACCESS_DENIED: return WriteFault::NoPermission;
    case ERROR_WRITE_PROTECT: return WriteFault::ReadOnlyDisk;
    default: return WriteFault::Other;
    }
}

WriteFault FaultOfErrno(int error)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return WriteFault::NoSpace;
    case EACCES:
    case EPERM: return WriteFault::NoPermission;
    case EROFS: return WriteFault::ReadOnlyDisk;
    default: return WriteFault::Other;
    }
}

constexpr const char* kTemporaryMark = ".tmp";

}  // namespace

std::string TemporaryNameOf(const char* name)
{
    return std::string(name) + kTemporaryMark + "." + std::to_string((long)getpid());
}

bool ReplaceFileWhole(const char* name, const void* data, size_t size, WriteFault* why)
{
    const std::string temporaryName = TemporaryNameOf(name);
    const char* temporary = temporaryName.c_str();
    WriteFault fault = WriteFault::None;
    // A saves folder that cannot be made is why its file cannot be created either.
    const bool folderThere = CreateDirectoryA("saves", nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
    const DWORD folderError = GetLastError();
    // Made new, never opened over what is there: a link planted at the temporary's name would
    // otherwise take the data to its target, and the rename would then put the link in the
    // file's place. What stands there (left by an earlier process of the same number, or
    // planted) goes first, a link removed, not followed; should something take the name again
    // before the file is made, the making fails.
    DeleteFileA(temporary);
    HANDLE file = CreateFileA(temporary, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        if (why) *why = FaultOfError(folderThere ? GetLastError() : folderError);
        DebugOutPair("Cannot create", temporary);
        return false;
    }
    // The first failure is the one that tells why; what fails after it follows from it.
    auto failed = [&](BOOL ok) {
        if (!ok && fault == WriteFault::None) fault = FaultOfError(GetLastError());
        return !ok;
    };
    DWORD written = 0;
    failed(WriteFile(file, data, (DWORD)size, &written, nullptr));
    failed(FlushFileBuffers(file));
    failed(CloseHandle(file));
    if (fault == WriteFault::None) {
        const std::string from = PlatformMapPath(temporary, false);
        const std::string to = PlatformMapPath(name, true);
        if (std::rename(from.c_str(), to.c_str()) != 0) fault = FaultOfErrno(errno);
    }
    if (fault != WriteFault::None) {
        DeleteFileA(temporary);
        DebugOutPair("Cannot write", name);
    }
    if (why) *why = fault;
    return fault == WriteFault::None;
}

void RemoveLeftoverTemporariesOf(const char* name)
{
    namespace fs = std::filesystem;
    const fs::path file = PlatformMapPath(name, true);
    const std::string prefix = file.filename().string() + kTemporaryMark;
    std::error_code error;
    fs::directory_iterator entries(file.parent_path().empty() ? fs::path(".") : file.parent_path(), error);
    for (; !error && entries != fs::directory_iterator(); entries.increment(error)) {
        const std::string entryName = entries->path().filename().string();
        if (entryName.compare(0, prefix.size(), prefix) != 0) continue;
        std::error_code kind;
        if (entries->symlink_status(kind).type() == fs::file_type::directory) continue;
        fs::remove(entries->path(), kind);
    }
}

const char* WriteFaultText(WriteFault fault)
{
    switch (fault) {
    case WriteFault::None: return "";
    case WriteFault::NoSpace: return "There is no space left on the disk.";
    case WriteFault::NoPermission: return "There is no permission to write it.";
    case WriteFault::ReadOnlyDisk: return "The disk is read-only.";
    default: return "The file could not be written.";
    }
}
