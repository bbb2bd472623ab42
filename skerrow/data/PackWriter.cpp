#include "skerrow/data/PackWriter.h"

#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <limits>
#include <set>

namespace {

constexpr size_t kHeaderSize = 256;
constexpr size_t kEntryHeaderSize = 22;
// The reader reads up to 256 bytes at each name offset and refuses fewer than 14; keep a full
// read's worth of bytes behind the last name so any reader of the chain is satisfied.
constexpr size_t kTailReserve = 256;

void PutLe32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    out[at] = uint8_t(v);
    out[at + 1] = uint8_t(v >> 8);
    out[at + 2] = uint8_t(v >> 16);
    out[at + 3] = uint8_t(v >> 24);
}

std::string LowerAscii(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return s;
}

bool Fail(std::string* error, const std::string& message) {
    if (error) *error = message;
    return false;
}

}  // namespace

bool BuildPackArchive(const std::vector<PackWriterEntry>& entries, const std::string& prefix,
                      std::vector<uint8_t>& out, std::string* error) {
    constexpr size_t kLimit = size_t(std::numeric_limits<int32_t>::max());
    out.assign(kHeaderSize, 0);
    // Bytes 0..33 and the name field are not read by the game; a recognisable signature helps
    // a person who opens the file.
    static const char kSignature[] = "Skerrow pack archive\r\n\x1a";
    std::memcpy(out.data(), kSignature, sizeof kSignature - 1);
    if (entries.size() > kLimit) return Fail(error, "too many entries");
    PutLe32(out, 34, uint32_t(kHeaderSize));
    PutLe32(out, 38, uint32_t(entries.size()));
    const std::string field = prefix.substr(0, 127);
    std::memcpy(out.data() + 42, field.data(), field.size());

    std::set<std::string> seen;
    size_t lastNameOffset = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
        const PackWriterEntry& e = entries[i];
        std::string name = prefix + e.name;
        for (char& c : name)
            if (c == '/') c = '\\';
        if (e.name.empty()) return Fail(error, "entry " + std::to_string(i) + " has no name");
        if (name.size() > kPackMaxNameLength)
            return Fail(error, "name longer than 255 characters: " + name);
        if (name.find('\0') != std::string::npos)
            return Fail(error, "name holds a NUL character: entry " + std::to_string(i));
        if (!seen.insert(LowerAscii(name)).second)
            return Fail(error, "name stored twice (letter case ignored): " + name);
        if (e.data.size() > kLimit) return Fail(error, "file too large: " + name);

        uLongf packedSize = compressBound(uLong(e.data.size()));
        std::vector<uint8_t> packed(packedSize);
        // An empty source still needs a valid pointer for zlib.
        static const Bytef kEmpty = 0;
        int rc = compress2(packed.data(), &packedSize, e.data.empty() ? &kEmpty : e.data.data(),
                           uLong(e.data.size()), Z_BEST_COMPRESSION);
        if (rc != Z_OK) return Fail(error, "zlib could not compress " + name);
        packed.resize(packedSize);

        const size_t entryAt = out.size();
        const size_t nameAt = entryAt + kEntryHeaderSize;
        const size_t next = nameAt + name.size() + 1 + packed.size();
        if (next + kTailReserve > kLimit) return Fail(error, "archive larger than 2 GiB");
        out.resize(next, 0);
        PutLe32(out, entryAt + 0, uint32_t(nameAt));
        PutLe32(out, entryAt + 4, uint32_t(i));
        // The last entry points past the end; the reader stops by the count, never by the link.
        PutLe32(out, entryAt + 8, i + 1 < entries.size() ? uint32_t(next) : 0u);
        PutLe32(out, entryAt + 12, uint32_t(e.data.size()));
        PutLe32(out, entryAt + 16, uint32_t(packed.size()));
        std::memcpy(out.data() + nameAt, name.data(), name.size());
        out[nameAt + name.size()] = 0;
        std::memcpy(out.data() + nameAt + name.size() + 1, packed.data(), packed.size());
        lastNameOffset = nameAt;
    }
    if (!entries.empty() && out.size() < lastNameOffset + kTailReserve)
        out.resize(lastNameOffset + kTailReserve, 0);
    return true;
}

bool WritePackArchive(const std::string& path, const std::vector<PackWriterEntry>& entries,
                      const std::string& prefix, std::string* error) {
    std::vector<uint8_t> bytes;
    if (!BuildPackArchive(entries, prefix, bytes, error)) return false;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return Fail(error, "cannot create " + path);
    const bool wrote = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    const bool closed = std::fclose(f) == 0;
    if (!wrote || !closed) {
        std::remove(path.c_str());
        return Fail(error, "cannot write " + path);
    }
    return true;
}
