// The table of the ten best scores and its file "Ombrelit.hsc": ten 24-byte entries in rank
// order, a 20-byte name and a little-endian int32 score each, no header.
#pragma once

#include <cstddef>
#include <cstdint>

struct HiscoreEntry {
    char name[20];
    int32_t score;
};
static_assert(sizeof(HiscoreEntry) == 24, "entries are stored byte for byte");

const int kHiscoreRows = 10;
const int kHiscoreFileSize = kHiscoreRows * 24;
const int kHiscoreNameMax = 11;
extern const char* const kHiscoreFileName;

void DefaultHiscores(HiscoreEntry* table);
// 1 when `data` is exactly one table (names are then terminated); 0 leaves `table` untouched.
int DecodeHiscores(const uint8_t* data, size_t size, HiscoreEntry* table);
// The file's table, or the default table when it is missing or not exactly 240 bytes.
void LoadHiscores(HiscoreEntry* table);
// Writes through a temporary file and a rename; 1 when the whole table reached the disk.
int WriteHiscores(const HiscoreEntry* table);
// Puts `score` above the first lower row (equal scores stay above it), the rows below move
// down and the row gets an empty name. The row index, or -1 when the score enters nowhere.
int InsertHiscore(HiscoreEntry* table, int32_t score);
// Name entry on a row: Backspace removes, a printable character is appended while the name is
// shorter than 11 characters. 1 when the key was Enter.
int EditHiscoreName(HiscoreEntry& entry, uint8_t character);
