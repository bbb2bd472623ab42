// Every data file is read through one global locator: pack archives (many zlib-compressed
// files in one) and plain directory prefixes, searched in the order they were added.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct PackEntry {
    std::string name;
    int64_t dataOffset = 0;
    int32_t unpackedSize = 0;
    int32_t packedSize = 0;
};

class PackArchive {
public:
    PackArchive() = default;
    ~PackArchive() { Close(); }
    PackArchive(const PackArchive&) = delete;
    PackArchive& operator=(const PackArchive&) = delete;

    // Reads the header and the whole entry table; 0 when the file is missing or damaged.
    int Open(const char* fileName);
    // A new buffer of the unpacked size plus two zero bytes, or null when the name is not in
    // the pack or its data do not inflate to exactly the stored size.
    char* FindEntry(const char* name, int* size);
    void Close();

    const std::vector<PackEntry>& Entries() const { return entries_; }
    const std::string& FileName() const { return fileName_; }

private:
    std::string fileName_;
    std::FILE* file_ = nullptr;
    int64_t fileSize_ = 0;
    unsigned char header_[256] = {};
    std::vector<PackEntry> entries_;
};

struct SearchEntry {
    PackArchive* pack = nullptr;
    std::string prefix;
    int32_t flags = 0;
    int32_t number = 0;
};

class ResourceLocator {
public:
    ResourceLocator() = default;
    ~ResourceLocator() { Clear(); }
    ResourceLocator(const ResourceLocator&) = delete;
    ResourceLocator& operator=(const ResourceLocator&) = delete;

    // Returns the opened pack, or for a directory entry its number cast to a pointer, or
    // null when nothing was added.
    void* AddSearchPath(const char* file, const char* prefix, int32_t flags);
    char* LoadResourceFile(const char* name, int searchOnly);
    int ReadResourceFile(const char* name, void* buffer, int bufferSize, int searchOnly);
    int GetLastResourceSize() const { return lastSize_; }
    // Removes every entry; only tests need this, the game mounts once per run.
    void Clear();
    const std::vector<SearchEntry>& Entries() const { return entries_; }

private:
    char* LoadPlainFile(const char* name);

    std::vector<SearchEntry> entries_;
    int32_t count_ = 0;
    int32_t lastSize_ = 0;
};

extern ResourceLocator g_resourceLocator;

// The locator's operations on the global instance.
void* AddSearchPath(const char* file, const char* prefix, int32_t flags);
char* LoadResourceFile(const char* name, int searchOnly);
int ReadResourceFile(const char* name, void* buffer, int bufferSize, int searchOnly);
int GetLastResourceSize();
void FreeResourceBuffer(void* buffer);
