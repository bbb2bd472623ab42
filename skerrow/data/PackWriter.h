// Writer of the game's pack archives: one file holding many zlib-compressed files, laid out
// exactly as the resource locator's pack reader walks it (a 256-byte header, then a chain of
// entry headers, each followed by its NUL-terminated name and its data).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct PackWriterEntry {
    std::string name;            // stored as given (the caller puts the prefix in front)
    std::vector<uint8_t> data;   // the file's bytes, uncompressed
};

// Longest name the reader can look up (prefix + name, at most 255 characters).
constexpr size_t kPackMaxNameLength = 255;

// Builds the whole archive in memory. Every entry's stored name is prefix + entry.name, with
// '/' turned into '\' so that names given as host paths match the game's lookups. Fails (false
// and a message in *error) on an empty or over-long name, a name with a NUL, a name that
// repeats an earlier one (letter case ignored, as the reader compares), or sizes beyond int32.
// The output depends only on the entries and their order: the same input gives the same bytes.
bool BuildPackArchive(const std::vector<PackWriterEntry>& entries, const std::string& prefix,
                      std::vector<uint8_t>& out, std::string* error);

// BuildPackArchive and then write the bytes to path (replacing it). False with a message on any
// failure, including a short write.
bool WritePackArchive(const std::string& path, const std::vector<PackWriterEntry>& entries,
                      const std::string& prefix, std::string* error);
