#include "skerrow/Src/FileSystem.h"

#include "skerrow/Src/Log.h"

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <ctime>

#include <dirent.h>
#include <fnmatch.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool Exists(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

// The entry of dir whose name equals component ignoring case; the component itself when none.
std::string MatchComponent(const std::string& dir, const std::string& component)
{
    std::string exact = dir.empty() ? component : dir + "/" + component;
    if (Exists(exact)) return component;
    DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return component;
    std::string found = component;
    while (dirent* e = ::readdir(d)) {
        if (::strcasecmp(e->d_name, component.c_str()) == 0) {
            found = e->d_name;
            break;
        }
    }
    ::closedir(d);
    return found;
}

// Opens `path` only when it is a regular file. The open itself does not wait (a FIFO would
// block it until a writer or reader came, hanging the game with no window), and the check is
// made on what was opened, so nothing can be put in its place between a look and the open.
std::FILE* OpenRegularFile(const std::string& path, const char* mode)
{
    int flags = 0;
    switch (mode[0]) {
    case 'r': flags = O_RDONLY; break;
    // A file is written only as itself: a link put in its place is not followed to another file.
    case 'w': flags = O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW; break;
    case 'a': flags = O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW; break;
    default: return nullptr;
    }
    const int fd = ::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0) return nullptr;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return nullptr;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::FILE* f = ::fdopen(fd, mode);
    if (!f) ::close(fd);
    return f;
}

}  // namespace

std::string ResolveGamePath(const char* name)
{
    if (!name) return std::string();
    std::string path(name);
    for (char& c : path)
        if (c == '\\') c = '/';
    std::string result;
    bool absolute = !path.empty() && path[0] == '/';
    if (absolute) result = "/";
    size_t pos = 0;
    while (pos <= path.size()) {
        size_t slash = path.find('/', pos);
        if (slash == std::string::npos) slash = path.size();
        std::string component = path.substr(pos, slash - pos);
        pos = slash + 1;
        if (component.empty()) continue;
        std::string dir = result;
        if (dir.size() > 1 && dir.back() == '/') dir.pop_back();
        std::string matched = (component == "." || component == "..") ? component : MatchComponent(dir, component);
        if (!result.empty() && result.back() != '/') result += "/";
        result += matched;
    }
    return result;
}

std::FILE* OpenGameFile(const char* name, const char* mode)
{
    if (!name || !*name || !mode) return nullptr;
    return OpenRegularFile(ResolveGamePath(name), mode);
}

namespace {

// Six characters no one can guess ahead of a write: the name of a temporary is taken only once
// it is created, so a guess that came first merely costs another try.
std::string UnguessableSuffix()
{
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    unsigned char bytes[6] = {};
    if (::getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bytes)) {
        static unsigned counter = 0;
        timespec now{};
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        uint64_t v = static_cast<uint64_t>(now.tv_nsec) * 2654435761u ^ static_cast<uint64_t>(::getpid()) << 20 ^ ++counter;
        for (unsigned char& b : bytes) {
            b = static_cast<unsigned char>(v);
            v = v >> 8 | v << 56;
        }
    }
    std::string suffix;
    for (unsigned char b : bytes) suffix += kAlphabet[b % (sizeof kAlphabet - 1)];
    return suffix;
}

const char kTemporaryMark[] = ".tmp";

// True when `entry` names a temporary of a file whose name matches `base` (a name, or a
// pattern such as screen*.pcx, in any letter case): base.tmp (as writes once named them) or
// base.tmp-XXXXXX.
bool IsTemporaryOf(const char* entry, const std::string& base)
{
    std::string name(entry);
    const size_t mark = name.rfind(kTemporaryMark);
    if (mark == std::string::npos || mark == 0) return false;
    const std::string rest = name.substr(mark + sizeof kTemporaryMark - 1);
    if (!rest.empty()) {
        if (rest.size() != 7 || rest[0] != '-') return false;
        for (size_t i = 1; i < rest.size(); ++i)
            if (!std::isalnum(static_cast<unsigned char>(rest[i]))) return false;
    }
    return ::fnmatch(base.c_str(), name.substr(0, mark).c_str(), FNM_CASEFOLD | FNM_PERIOD) == 0;
}

}  // namespace

int CreateFileExclusively(const std::string& path)
{
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
}

int CreateTemporaryFor(const std::string& path, std::string* temporary)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = path + kTemporaryMark + "-" + UnguessableSuffix();
        const int fd = CreateFileExclusively(name);
        if (fd >= 0) {
            if (temporary) *temporary = name;
            return fd;
        }
        if (errno != EEXIST) return -1;
    }
    errno = EEXIST;
    return -1;
}

void ClearStaleTemporaries(const char* name)
{
    const std::string path = ResolveGamePath(name);
    if (path.empty()) return;
    const size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    DIR* d = ::opendir(dir.c_str());
    if (!d) return;
    while (dirent* e = ::readdir(d)) {
        if (!IsTemporaryOf(e->d_name, base)) continue;
        const std::string stale = dir + "/" + e->d_name;
        struct stat st;
        if (::lstat(stale.c_str(), &st) != 0 || !(S_ISREG(st.st_mode) || S_ISLNK(st.st_mode))) continue;
        if (::unlink(stale.c_str()) == 0) LogMessage("Removed %s, left by a write that was cut short\n", stale.c_str());
    }
    ::closedir(d);
}

int WriteWholeAndSync(int fd, const void* data, size_t size)
{
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, p, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return 0;
        }
        if (n == 0) {
            errno = EIO;
            return 0;
        }
        p += n;
        size -= static_cast<size_t>(n);
    }
    // On the disk before it takes the real file's name: a crash then leaves the old file or the
    // new one, never an empty one.
    return ::fsync(fd) == 0 ? 1 : 0;
}

namespace {

// Writes `data` whole into a new temporary beside `path`, brought to the disk and closed: 0 with
// its name in `temporary`, else the cause (errno value), the temporary gone and the failure
// logged.
int WriteTemporary(const std::string& path, const void* data, size_t size, std::string* temporary)
{
    const int fd = CreateTemporaryFor(path, temporary);
    int error = fd < 0 ? errno : 0;
    if (fd >= 0) {
        // The cause of the first step that failed is what the caller is told.
        auto cause = [] { return errno ? errno : EIO; };
        errno = 0;
        if (!WriteWholeAndSync(fd, data, size)) error = cause();
        if (::close(fd) != 0 && !error) error = cause();
        if (error) ::unlink(temporary->c_str());
    }
    if (error) LogMessage("Can't write %s: %s\n", path.c_str(), std::strerror(error));
    return error;
}

}  // namespace

int WriteGameFileWhole(const char* name, const void* data, size_t size)
{
    const std::string path = ResolveGamePath(name);
    ClearStaleTemporaries(name);
    std::string temporary;
    int error = WriteTemporary(path, data, size, &temporary);
    if (!error && std::rename(temporary.c_str(), path.c_str()) != 0) {
        error = errno ? errno : EIO;
        LogMessage("Can't write %s: %s\n", path.c_str(), std::strerror(error));
        ::unlink(temporary.c_str());
    }
    errno = error;
    return error ? 0 : 1;
}

int WriteNewGameFile(const char* name, const void* data, size_t size)
{
    const std::string path = ResolveGamePath(name);
    std::string temporary;
    int error = WriteTemporary(path, data, size, &temporary);
    if (error) {
        errno = error;
        return 0;
    }
    // A link takes the name only while it is free; where the disk has no links, a rename that
    // does not replace does the same.
    if (::link(temporary.c_str(), path.c_str()) != 0) {
        error = errno;
        if (error == EPERM || error == ENOTSUP || error == ENOSYS) {
            if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) == 0) return 1;
            error = errno;
        }
    }
    ::unlink(temporary.c_str());
    if (error && error != EEXIST) LogMessage("Can't write %s: %s\n", path.c_str(), std::strerror(error));
    errno = error;
    return error ? 0 : 1;
}
