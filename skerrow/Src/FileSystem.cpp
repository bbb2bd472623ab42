#include "skerrow/Src/FileSystem.h"

#include "skerrow/Src/Log.h"

#include <cerrno>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
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
    case 'w': flags = O_WRONLY | O_CREAT | O_TRUNC; break;
    case 'a': flags = O_WRONLY | O_CREAT | O_APPEND; break;
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

int WriteGameFileWhole(const char* name, const void* data, size_t size)
{
    const std::string path = ResolveGamePath(name);
    const std::string temporary = path + ".tmp";
    std::FILE* f = OpenRegularFile(temporary, "wb");
    if (!f) {
        const int error = errno;
        LogMessage("Can't write %s: %s\n", temporary.c_str(), std::strerror(error));
        errno = error;
        return 0;
    }
    // The cause of the first step that failed is what the caller is told through errno (a full
    // disk mostly shows only when the buffered bytes go out at the close).
    int error = 0;
    auto cause = [] { return errno ? errno : EIO; };
    errno = 0;
    if (std::fwrite(data, 1, size, f) != size) error = cause();
    if (std::fclose(f) != 0 && !error) error = cause();
    if (!error && std::rename(temporary.c_str(), path.c_str()) != 0) error = cause();
    if (error) {
        LogMessage("Can't write %s: %s\n", path.c_str(), std::strerror(error));
        std::remove(temporary.c_str());
        errno = error;
        return 0;
    }
    return 1;
}
