// Files through the path mapping: the games name their files with '\' and in whatever letter
// case their authors typed, against a data set whose names are fixed on disk.
#include "platform/win32/detail.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

using namespace platform_detail;

namespace {

bool Exists(const std::string& path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

bool EqualNoCase(const char* a, const char* b)
{
    for (; *a && *b; ++a, ++b)
        if (tolower(static_cast<unsigned char>(*a)) != tolower(static_cast<unsigned char>(*b)))
            return false;
    return *a == *b;
}

// The entry of `dir` that matches `name` regardless of case; several candidates: the first in
// byte order, so the choice does not depend on the directory's order.
[[gnu::noinline]] bool FindNoCase(const std::string& dir, const std::string& name, std::string& found)
{
    DIR* d = opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return false;
    std::vector<std::string> matches;
    while (dirent* entry = readdir(d))
        if (EqualNoCase(entry->d_name, name.c_str())) matches.emplace_back(entry->d_name);
    closedir(d);
    if (matches.empty()) return false;
    std::sort(matches.begin(), matches.end());
    found = matches.front();
    return true;
}

DWORD ErrorFromErrno(int e)
{
    switch (e) {
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM: return ERROR_ACCESS_DENIED;
    case EROFS: return ERROR_WRITE_PROTECT;
    case EEXIST: return ERROR_FILE_EXISTS;
    case EMFILE:
    case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return ERROR_DISK_FULL;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    default: return ERROR_INVALID_FUNCTION;
    }
}

// Opens `path` as a regular file only. Anything else (a FIFO, a device, a socket) is reported as
// missing: reading one would wait for a writer that never comes, or never end. The open itself
// must not wait either (a FIFO's open blocks until its other end is opened), so it is made
// non-blocking, judged on the descriptor it gave (a check by name before opening could be
// overtaken), and made blocking again for the reads and writes that follow. A directory is
// reported as such (EISDIR), as the callers tell it apart.
int OpenRegularFile(const std::string& path, int flags, mode_t mode)
{
    int fd = open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC, mode);
    if (fd < 0) {
        // A FIFO opened for writing with nobody reading it refuses the open outright.
        if (errno == ENXIO) errno = ENOENT;
        return -1;
    }
    struct stat st{};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int why = S_ISDIR(st.st_mode) ? EISDIR : ENOENT;
        close(fd);
        errno = why;
        return -1;
    }
    const int status = fcntl(fd, F_GETFL);
    if (status < 0 || fcntl(fd, F_SETFL, status & ~O_NONBLOCK) != 0) {
        const int why = errno;
        close(fd);
        errno = why;
        return -1;
    }
    return fd;
}

// The open(2) flags of a C stdio mode ("r", "wb", "a+", "r+b", ...); -1 for a mode it is not.
int FlagsOfMode(const char* mode)
{
    int flags;
    switch (mode[0]) {
    case 'r': flags = 0; break;
    case 'w': flags = O_CREAT | O_TRUNC; break;
    case 'a': flags = O_CREAT | O_APPEND; break;
    default: return -1;
    }
    const bool update = strchr(mode, '+') != nullptr;
    flags |= update ? O_RDWR : mode[0] == 'r' ? O_RDONLY : O_WRONLY;
    if (mode[0] != 'r' && strchr(mode, 'x')) flags |= O_EXCL;
    return flags;
}

struct FileObject : KernelObject {
    FileObject() : KernelObject(Kind::File) {}
    int fd = -1;
    ~FileObject() override
    {
        if (fd >= 0) close(fd);
    }
};

}  // namespace

// Reading and creating resolve alike: what exists is found in any case, what does not keeps
// the case it was given. The flag states the caller's intent.
std::string PlatformMapPath(const char* name, bool /*forCreate*/)
{
    if (!name) return std::string();
    std::string path(name);
    std::replace(path.begin(), path.end(), '\\', '/');

    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t slash = path.find('/', start);
        if (slash == std::string::npos) slash = path.size();
        if (slash > start) parts.push_back(path.substr(start, slash - start));
        start = slash + 1;
    }
    bool absolute = !path.empty() && path[0] == '/';
    std::string result = absolute ? "/" : "";
    bool resolving = true;  // once a directory is missing, the rest stays as given
    for (size_t i = 0; i < parts.size(); ++i) {
        const std::string& part = parts[i];
        std::string candidate = result + part;
        std::string chosen = part;
        if (part != "." && part != ".." && resolving && !Exists(candidate)) {
            std::string found;
            if (FindNoCase(result, part, found)) {
                chosen = found;
            } else {
                resolving = false;  // a new name keeps the case it was given
            }
        }
        result.append(chosen);
        if (i + 1 < parts.size()) result.push_back('/');
    }
    if (result.empty()) return std::string(absolute ? "/" : ".");
    return result;
}

FILE* PlatformFopen(const char* name, const char* mode)
{
    if (!name || !mode) {
        errno = EINVAL;
        return nullptr;
    }
    const int flags = FlagsOfMode(mode);
    if (flags < 0) {
        errno = EINVAL;
        return nullptr;
    }
    const int fd = OpenRegularFile(PlatformMapPath(name, (flags & O_CREAT) != 0), flags, 0644);
    if (fd < 0) return nullptr;
    FILE* file = fdopen(fd, mode);
    if (!file) {
        const int why = errno;
        close(fd);
        errno = why;
    }
    return file;
}

HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD, LPSECURITY_ATTRIBUTES, DWORD disposition,
                   DWORD, HANDLE)
{
    if (!name || !*name) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    int flags = 0;
    if ((access & GENERIC_READ) && (access & GENERIC_WRITE))
        flags |= O_RDWR;
    else if (access & GENERIC_WRITE)
        flags |= O_WRONLY;
    else
        flags |= O_RDONLY;
    switch (disposition) {
    case CREATE_NEW: flags |= O_CREAT | O_EXCL; break;
    case CREATE_ALWAYS: flags |= O_CREAT | O_TRUNC; break;
    case OPEN_EXISTING: break;
    case OPEN_ALWAYS: flags |= O_CREAT; break;
    case TRUNCATE_EXISTING: flags |= O_TRUNC; break;
    default: SetLastError(ERROR_INVALID_PARAMETER); return INVALID_HANDLE_VALUE;
    }
    std::string path = PlatformMapPath(name, (flags & O_CREAT) != 0);
    bool existed = Exists(path);
    int fd = OpenRegularFile(path, flags, 0644);
    if (fd < 0) {
        // A folder cannot be opened as a file: the system refuses it as access denied.
        SetLastError(errno == EISDIR ? ERROR_ACCESS_DENIED : ErrorFromErrno(errno));
        return INVALID_HANDLE_VALUE;
    }
    auto* file = new FileObject;
    file->fd = fd;
    HANDLE handle = RegisterHandle(file);
    // As the system reports it: opening over an existing file with these dispositions.
    SetLastError((existed && (disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS))
                     ? ERROR_ALREADY_EXISTS
                     : ERROR_SUCCESS);
    return handle;
}

BOOL ReadFile(HANDLE handle, LPVOID buffer, DWORD toRead, LPDWORD readOut, LPOVERLAPPED ov)
{
    if (readOut) *readOut = 0;
    auto* file = static_cast<FileObject*>(LookUpHandle(handle, KernelObject::Kind::File));
    if (!file) return FALSE;
    if (ov) {
        PlatformTrace("ReadFile: overlapped reads are not supported");
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    if (!buffer && toRead) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DWORD total = 0;
    while (total < toRead) {
        ssize_t n = read(file->fd, static_cast<uint8_t*>(buffer) + total, toRead - total);
        if (n < 0) {
            if (errno == EINTR) continue;
            SetLastError(ErrorFromErrno(errno));
            if (readOut) *readOut = total;
            return FALSE;
        }
        if (n == 0) break;
        total += static_cast<DWORD>(n);
    }
    if (readOut) *readOut = total;
    return TRUE;
}

BOOL WriteFile(HANDLE handle, LPCVOID buffer, DWORD toWrite, LPDWORD writtenOut, LPOVERLAPPED ov)
{
    if (writtenOut) *writtenOut = 0;
    auto* file = static_cast<FileObject*>(LookUpHandle(handle, KernelObject::Kind::File));
    if (!file) return FALSE;
    if (ov) {
        PlatformTrace("WriteFile: overlapped writes are not supported");
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    if (!buffer && toWrite) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DWORD total = 0;
    while (total < toWrite) {
        ssize_t n = write(file->fd, static_cast<const uint8_t*>(buffer) + total, toWrite - total);
        if (n < 0) {
            if (errno == EINTR) continue;
            SetLastError(ErrorFromErrno(errno));
            if (writtenOut) *writtenOut = total;
            return FALSE;
        }
        total += static_cast<DWORD>(n);
    }
    if (writtenOut) *writtenOut = total;
    return TRUE;
}

DWORD GetFileSize(HANDLE handle, LPDWORD high)
{
    auto* file = static_cast<FileObject*>(LookUpHandle(handle, KernelObject::Kind::File));
    struct stat st;
    if (!file || fstat(file->fd, &st) != 0) {
        if (file) SetLastError(ErrorFromErrno(errno));
        return INVALID_FILE_SIZE;
    }
    uint64_t size = static_cast<uint64_t>(st.st_size);
    if (high) *high = static_cast<DWORD>(size >> 32);
    SetLastError(NO_ERROR);
    return static_cast<DWORD>(size);
}

DWORD SetFilePointer(HANDLE handle, LONG distance, LONG* distanceHigh, DWORD method)
{
    auto* file = static_cast<FileObject*>(LookUpHandle(handle, KernelObject::Kind::File));
    if (!file) return INVALID_SET_FILE_POINTER;
    int whence = method == FILE_BEGIN ? SEEK_SET : method == FILE_CURRENT ? SEEK_CUR
               : method == FILE_END   ? SEEK_END : -1;
    if (whence < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    off_t offset = distanceHigh
                       ? static_cast<off_t>((static_cast<uint64_t>(static_cast<uint32_t>(*distanceHigh)) << 32) |
                                            static_cast<uint32_t>(distance))
                       : static_cast<off_t>(distance);
    off_t pos = lseek(file->fd, offset, whence);
    if (pos < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);  // negative positions, as the system refuses them
        return INVALID_SET_FILE_POINTER;
    }
    if (distanceHigh) *distanceHigh = static_cast<LONG>(static_cast<uint64_t>(pos) >> 32);
    SetLastError(NO_ERROR);
    return static_cast<DWORD>(pos);
}

BOOL FlushFileBuffers(HANDLE handle)
{
    auto* file = static_cast<FileObject*>(LookUpHandle(handle, KernelObject::Kind::File));
    if (!file) return FALSE;
    if (fsync(file->fd) != 0) {
        SetLastError(ErrorFromErrno(errno));
        return FALSE;
    }
    return TRUE;
}

BOOL DeleteFileA(LPCSTR name)
{
    if (!name) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    if (unlink(PlatformMapPath(name, false).c_str()) != 0) {
        SetLastError(ErrorFromErrno(errno));
        return FALSE;
    }
    return TRUE;
}

BOOL CreateDirectoryA(LPCSTR name, LPSECURITY_ATTRIBUTES)
{
    if (!name) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    std::string path = PlatformMapPath(name, true);
    if (mkdir(path.c_str(), 0755) != 0) {
        SetLastError(errno == EEXIST ? ERROR_ALREADY_EXISTS : ErrorFromErrno(errno));
        return FALSE;
    }
    return TRUE;
}

DWORD GetFileAttributesA(LPCSTR name)
{
    struct stat st;
    if (!name || stat(PlatformMapPath(name, false).c_str(), &st) != 0) {
        SetLastError(name ? ErrorFromErrno(errno) : ERROR_PATH_NOT_FOUND);
        return INVALID_FILE_ATTRIBUTES;
    }
    DWORD attributes = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : 0;
    if (!(st.st_mode & S_IWUSR)) attributes |= FILE_ATTRIBUTE_READONLY;
    return attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
}

DWORD GetCurrentDirectoryA(DWORD size, LPSTR buffer)
{
    char cwd[4096];
    if (!getcwd(cwd, sizeof cwd)) {
        SetLastError(ErrorFromErrno(errno));
        return 0;
    }
    DWORD needed = static_cast<DWORD>(strlen(cwd));
    if (!buffer || size <= needed) return needed + 1;
    memcpy(buffer, cwd, needed + 1);
    return needed;
}
