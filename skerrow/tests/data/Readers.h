// Small independent readers of the game's formats, written for the tests from the formats
// themselves (not from the generator), so a writer fault cannot hide behind a matching reader.
#pragma once

#include "platform/tests/support/file_contents.h"

#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace testread {

inline uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
    return at + 4 <= b.size() ? uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
                                    uint32_t(b[at + 3]) << 24
                              : 0xFFFFFFFFu;
}
inline uint16_t Le16(const std::vector<uint8_t>& b, size_t at) {
    return at + 2 <= b.size() ? uint16_t(b[at] | b[at + 1] << 8) : 0xFFFF;
}

inline std::vector<uint8_t> ReadFile(const std::string& path) { return FileBytes(path); }

struct PackFile {
    std::string name;
    std::vector<uint8_t> data;
    uint32_t packedSize = 0;
};

// Walks the entry chain as the game does: header offset at 34, count at 38, each entry's name
// at its own offset, data right behind the name; at least 14 bytes must follow every name.
inline bool ParsePack(const std::vector<uint8_t>& b, std::vector<PackFile>& out, std::string& why) {
    out.clear();
    if (b.size() < 256) return why = "short header", false;
    uint32_t e = Le32(b, 34);
    const uint32_t count = Le32(b, 38);
    for (uint32_t i = 0; i < count; ++i) {
        if (size_t(e) + 22 > b.size()) return why = "entry header beyond the file", false;
        const uint32_t nameAt = Le32(b, e), next = Le32(b, e + 8), size = Le32(b, e + 12),
                       packed = Le32(b, e + 16);
        if (size_t(nameAt) + 14 > b.size()) return why = "fewer than 14 bytes after a name", false;
        size_t len = 0;
        while (nameAt + len < b.size() && b[nameAt + len] && len < 256) ++len;
        PackFile f;
        f.name.assign(reinterpret_cast<const char*>(b.data()) + nameAt, len);
        const size_t dataAt = size_t(e) + 23 + len;
        if (dataAt + packed > b.size()) return why = "data beyond the file: " + f.name, false;
        f.data.resize(size);
        uLongf dest = size;
        if (uncompress(f.data.data(), &dest, b.data() + dataAt, packed) != Z_OK || dest != size)
            return why = "bad zlib data: " + f.name, false;
        f.packedSize = packed;
        out.push_back(std::move(f));
        e = next;
    }
    return true;
}

inline std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return s;
}

// Lines as the INI reader sees them: split at LF, CR dropped.
inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::string cur;
    for (char c : text) {
        if (c == '\r') continue;
        if (c == '\n') {
            lines.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!cur.empty()) lines.push_back(cur);
    return lines;
}

// The key lookup rule: the section's header is the first line where the section name starts
// at the second character; then the first line whose text before '=' contains the key wins.
// Returns the line index too, so a test can see which line answered.
inline std::optional<std::pair<std::string, int>> IniFind(const std::string& text, const std::string& section,
                                                          const std::string& key) {
    const std::vector<std::string> lines = Lines(text);
    size_t i = 0;
    for (; i < lines.size(); ++i)
        if (lines[i].find(section) == 1) break;
    if (i == lines.size()) return std::nullopt;
    for (++i; i < lines.size(); ++i) {
        const std::string& l = lines[i];
        if (!l.empty() && l[0] == '[') return std::nullopt;
        const size_t k = l.find(key);
        if (k == std::string::npos) continue;
        const size_t eq = l.find('=');
        if (eq == std::string::npos) return std::nullopt;
        if (k >= eq) continue;
        std::string v = l.substr(eq + 1);
        v.erase(0, v.find_first_not_of(' '));
        while (!v.empty() && v.back() == ' ') v.pop_back();
        if (v.empty()) return std::nullopt;
        return std::make_pair(v, int(i));
    }
    return std::nullopt;
}

inline std::string Ini(const std::string& text, const std::string& section, const std::string& key) {
    auto r = IniFind(text, section, key);
    return r ? r->first : std::string();
}

struct Image {
    int w = 0, h = 0;
    bool ok = false;
};

// TGA type 2 (24 or 32 bit) or BMP 24-bit: size and whether the pixel data fits the file.
inline Image ImageInfo(const std::vector<uint8_t>& b) {
    Image im;
    if (b.size() >= 54 && b[0] == 'B' && b[1] == 'M') {
        im.w = int(Le32(b, 18));
        im.h = int(Le32(b, 22));
        const size_t stride = (size_t(im.w) * 3 + 3) & ~size_t(3);
        im.ok = Le16(b, 28) == 24 && Le32(b, 10) + stride * im.h <= b.size();
        return im;
    }
    if (b.size() < 18) return im;
    im.w = Le16(b, 12);
    im.h = Le16(b, 14);
    const int depth = b[16];
    im.ok = b[2] == 2 && (depth == 24 || depth == 32) &&
            18 + size_t(b[0]) + size_t(im.w) * im.h * depth / 8 <= b.size();
    return im;
}

}  // namespace testread
