#include "skerrow/Src/ResourceLocator.h"

#include <zlib.h>

#include <cstring>
#include <new>
#include <strings.h>

#include "skerrow/Src/FileSystem.h"
#include "platform/win32/byte_order.h"

ResourceLocator g_resourceLocator;

namespace {

const int kMaxName = 255;
// An entry header is 22 bytes, then at least the name's NUL.
const int64_t kMinEntryBytes = 23;
// Larger files than this are not data of the game; refusing them keeps a hostile size from
// asking for gigabytes.
const int32_t kMaxFileSize = 256 * 1024 * 1024;

int32_t ReadInt32(const unsigned char* p) { return static_cast<int32_t>(LoadLe32(p)); }

bool ReadAt(std::FILE* f, int64_t offset, void* out, size_t size, size_t* got)
{
    if (std::fseek(f, static_cast<long>(offset), SEEK_SET) != 0) return false;
    *got = std::fread(out, 1, size, f);
    return true;
}

char* NewBufferWithTwoZeros(int32_t size)
{
    char* buffer = new (std::nothrow) char[static_cast<size_t>(size) + 2];
    if (buffer) {
        buffer[size] = 0;
        buffer[size + 1] = 0;
    }
    return buffer;
}

}  // namespace

int PackArchive::Open(const char* fileName)
{
    Close();
    if (!fileName) return 0;
    file_ = OpenGameFile(fileName, "rb");
    if (!file_) return 0;
    fileName_ = fileName;
    if (fileName_.size() > kMaxName) fileName_.resize(kMaxName);
    std::fseek(file_, 0, SEEK_END);
    fileSize_ = std::ftell(file_);
    size_t got = 0;
    if (fileSize_ < 256 || !ReadAt(file_, 0, header_, sizeof header_, &got) || got != sizeof header_) {
        Close();
        return 0;
    }
    int64_t entry = static_cast<uint32_t>(ReadInt32(header_ + 34));
    int32_t count = ReadInt32(header_ + 38);
    // Every entry needs at least a header and a name's NUL inside the file.
    if (count < 0 || count > fileSize_ / kMinEntryBytes) {
        Close();
        return 0;
    }
    entries_.reserve(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) {
        unsigned char head[22];
        if (entry < 0 || entry + 22 > fileSize_ || !ReadAt(file_, entry, head, sizeof head, &got) || got != 22) {
            Close();
            return 0;
        }
        int64_t nameOffset = static_cast<uint32_t>(ReadInt32(head));
        int64_t next = static_cast<uint32_t>(ReadInt32(head + 8));
        int32_t unpacked = ReadInt32(head + 12);
        int32_t packed = ReadInt32(head + 16);
        char name[kMaxName + 1];
        if (nameOffset >= fileSize_ || !ReadAt(file_, nameOffset, name, kMaxName + 1, &got) || got == 0) {
            Close();
            return 0;
        }
        // The name must end inside what was read: a name without NUL is damage, not a name.
        const void* nul = std::memchr(name, 0, got);
        if (!nul) {
            Close();
            return 0;
        }
        size_t nameLength = static_cast<const char*>(nul) - name;
        PackEntry e;
        e.name.assign(name, nameLength);
        e.dataOffset = entry + 23 + static_cast<int64_t>(nameLength);
        e.unpackedSize = unpacked;
        e.packedSize = packed;
        if (unpacked < 0 || unpacked > kMaxFileSize || packed < 0 || e.dataOffset + packed > fileSize_) {
            Close();
            return 0;
        }
        entries_.push_back(std::move(e));
        entry = next;
    }
    return 1;
}

char* PackArchive::FindEntry(const char* name, int* size)
{
    if (!file_ || !name) return nullptr;
    const PackEntry* found = nullptr;
    for (const PackEntry& e : entries_) {
        if (::strcasecmp(e.name.c_str(), name) == 0) {
            found = &e;
            break;
        }
    }
    if (!found) return nullptr;
    if (found->unpackedSize == 0) {
        // An empty file may be stored without any zlib stream at all.
        if (size) *size = 0;
        return NewBufferWithTwoZeros(0);
    }
    std::vector<unsigned char> packed(static_cast<size_t>(found->packedSize));
    size_t got = 0;
    if (!ReadAt(file_, found->dataOffset, packed.data(), packed.size(), &got) || got != packed.size())
        return nullptr;
    char* out = NewBufferWithTwoZeros(found->unpackedSize);
    if (!out) return nullptr;
    uLongf length = static_cast<uLongf>(found->unpackedSize);
    int rc = ::uncompress(reinterpret_cast<Bytef*>(out), &length, packed.data(), static_cast<uLong>(packed.size()));
    // Damaged data would otherwise come back as a buffer of whatever uncompress left behind.
    if (rc != Z_OK || length != static_cast<uLongf>(found->unpackedSize)) {
        delete[] out;
        return nullptr;
    }
    if (size) *size = found->unpackedSize;
    return out;
}

void PackArchive::Close()
{
    if (file_) std::fclose(file_);
    file_ = nullptr;
    fileSize_ = 0;
    entries_.clear();
}

void* ResourceLocator::AddSearchPath(const char* file, const char* prefix, int32_t flags)
{
    if (!file) return nullptr;
    PackArchive* pack = nullptr;
    if (flags & 1) {
        pack = new PackArchive;
        if (!pack->Open(file)) {
            delete pack;
            pack = nullptr;
            if (!(flags & 2)) return nullptr;
        }
    }
    ++count_;
    SearchEntry entry;
    entry.pack = pack;
    entry.prefix = prefix ? prefix : "";
    entry.flags = flags;
    entry.number = count_;
    entries_.push_back(entry);
    if (pack) return pack;
    return reinterpret_cast<void*>(static_cast<intptr_t>(count_));
}

char* ResourceLocator::LoadPlainFile(const char* name)
{
    std::FILE* f = OpenGameFile(name, "rb");
    if (!f) return nullptr;
    // A directory opens on Linux but is not a file.
    if (std::fseek(f, 0, SEEK_END) != 0) {
        std::fclose(f);
        return nullptr;
    }
    long size = std::ftell(f);
    if (size < 0 || size > kMaxFileSize) {
        std::fclose(f);
        return nullptr;
    }
    std::fseek(f, 0, SEEK_SET);
    char* buffer = NewBufferWithTwoZeros(static_cast<int32_t>(size));
    if (!buffer) {
        std::fclose(f);
        return nullptr;
    }
    size_t got = std::fread(buffer, 1, static_cast<size_t>(size), f);
    std::fclose(f);
    if (got != static_cast<size_t>(size)) {
        delete[] buffer;
        return nullptr;
    }
    lastSize_ = static_cast<int32_t>(size);
    return buffer;
}

char* ResourceLocator::LoadResourceFile(const char* name, int searchOnly)
{
    if (!name) return nullptr;
    if (!searchOnly) {
        if (char* buffer = LoadPlainFile(name)) return buffer;
    }
    for (const SearchEntry& entry : entries_) {
        std::string full = entry.prefix + name;
        if (full.size() > kMaxName) full.resize(kMaxName);
        if (entry.pack) {
            int size = 0;
            if (char* buffer = entry.pack->FindEntry(full.c_str(), &size)) {
                lastSize_ = size;
                return buffer;
            }
            continue;
        }
        if (char* buffer = LoadPlainFile(full.c_str())) return buffer;
        if (char* buffer = LoadPlainFile(name)) return buffer;
    }
    return nullptr;
}

int ResourceLocator::ReadResourceFile(const char* name, void* buffer, int bufferSize, int searchOnly)
{
    char* data = LoadResourceFile(name, searchOnly);
    if (!data) return 0;
    int n = lastSize_ < bufferSize ? lastSize_ : bufferSize;
    if (n > 0 && buffer) std::memcpy(buffer, data, static_cast<size_t>(n));
    delete[] data;
    return 1;
}

void ResourceLocator::Clear()
{
    for (SearchEntry& e : entries_) delete e.pack;
    entries_.clear();
    count_ = 0;
    lastSize_ = 0;
}

void* AddSearchPath(const char* file, const char* prefix, int32_t flags)
{
    return g_resourceLocator.AddSearchPath(file, prefix, flags);
}
char* LoadResourceFile(const char* name, int searchOnly) { return g_resourceLocator.LoadResourceFile(name, searchOnly); }
int ReadResourceFile(const char* name, void* buffer, int bufferSize, int searchOnly)
{
    return g_resourceLocator.ReadResourceFile(name, buffer, bufferSize, searchOnly);
}
int GetLastResourceSize() { return g_resourceLocator.GetLastResourceSize(); }
void FreeResourceBuffer(void* buffer) { delete[] static_cast<char*>(buffer); }
