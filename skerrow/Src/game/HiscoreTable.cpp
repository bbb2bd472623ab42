#include "skerrow/Src/game/HiscoreTable.h"

#include <cstdio>
#include <cstring>

#include "skerrow/Src/FileSystem.h"
#include "skerrow/Src/ResourceLocator.h"

const char* const kHiscoreFileName = "Ombrelit.hsc";

void DefaultHiscores(HiscoreEntry* table)
{
    static const char* const names[kHiscoreRows] = {"Orvik", "Sphere",   "Hemisphere", "Tor",  "Cube",
                                                     "Pyramid", "Triangle", "Plane",      "Line", "Dot"};
    for (int i = 0; i < kHiscoreRows; ++i) {
        std::memset(&table[i], 0, sizeof table[i]);
        std::snprintf(table[i].name, sizeof table[i].name, "%s", names[i]);
        table[i].score = 100000 - 10000 * i;
    }
}

int DecodeHiscores(const uint8_t* data, size_t size, HiscoreEntry* table)
{
    if (!data || size != static_cast<size_t>(kHiscoreFileSize)) return 0;
    for (int i = 0; i < kHiscoreRows; ++i) {
        const uint8_t* p = data + 24 * i;
        std::memcpy(table[i].name, p, 20);
        table[i].name[19] = 0;
        table[i].score = static_cast<int32_t>(p[20] | (uint32_t(p[21]) << 8) | (uint32_t(p[22]) << 16) |
                                              (uint32_t(p[23]) << 24));
    }
    return 1;
}

void LoadHiscores(HiscoreEntry* table)
{
    char* data = LoadResourceFile(kHiscoreFileName, 0);
    const int size = data ? GetLastResourceSize() : 0;
    if (!data || size <= 0 || !DecodeHiscores(reinterpret_cast<const uint8_t*>(data), static_cast<size_t>(size), table))
        DefaultHiscores(table);
    if (data) FreeResourceBuffer(data);
}

int WriteHiscores(const HiscoreEntry* table)
{
    uint8_t bytes[kHiscoreFileSize];
    for (int i = 0; i < kHiscoreRows; ++i) {
        uint8_t* p = bytes + 24 * i;
        std::memcpy(p, table[i].name, 20);
        const uint32_t s = static_cast<uint32_t>(table[i].score);
        for (int k = 0; k < 4; ++k) p[20 + k] = static_cast<uint8_t>(s >> (8 * k));
    }
    return WriteGameFileWhole(kHiscoreFileName, bytes, sizeof bytes);
}

int InsertHiscore(HiscoreEntry* table, int32_t score)
{
    if (score <= 0) return -1;
    for (int row = 0; row < kHiscoreRows; ++row) {
        if (table[row].score >= score) continue;
        for (int k = kHiscoreRows - 1; k > row; --k) table[k] = table[k - 1];
        std::memset(&table[row], 0, sizeof table[row]);
        table[row].score = score;
        return row;
    }
    return -1;
}

int EditHiscoreName(HiscoreEntry& entry, uint8_t character)
{
    if (character == 13) return 1;
    entry.name[sizeof entry.name - 1] = 0;
    size_t n = std::strlen(entry.name);
    if (character == 8) {
        if (n > 0) entry.name[n - 1] = 0;
    } else if (character > 31 && n < static_cast<size_t>(kHiscoreNameMax)) {
        entry.name[n] = static_cast<char>(character);
        entry.name[n + 1] = 0;
    }
    return 0;
}
