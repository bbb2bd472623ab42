#include "skerrow/Src/FileSystem.h"

#include "skerrow/Src/Log.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

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
    if (!name || !*name) return nullptr;
    std::string path = ResolveGamePath(name);
    return std::fopen(path.c_str(), mode);
}

int WriteGameFileWhole(const char* name, const void* data, size_t size)
{
    const std::string path = ResolveGamePath(name);
    const std::string temporary = path + ".tmp";
    std::FILE* f = std::fopen(temporary.c_str(), "wb");
    if (!f) {
        LogMessage("Can't write %s\n", temporary.c_str());
        return 0;
    }
    const bool written = std::fwrite(data, 1, size, f) == size;
    const bool closed = std::fclose(f) == 0;
    if (!written || !closed || std::rename(temporary.c_str(), path.c_str()) != 0) {
        LogMessage("Can't write %s\n", path.c_str());
        std::remove(temporary.c_str());
        return 0;
    }
    return 1;
}
