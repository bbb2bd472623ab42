// Any bytes as a save file: the reader either refuses them or yields an in-range record.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "skerrow/Src/game/SaveFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    SaveGameRecord r;
    if (DecodeSaveFile(data, size, &r)) {
        if (std::strlen(r.title) > static_cast<size_t>(kSaveTitleMax) || r.lives < 0 || r.money < 0) std::abort();
        for (const InventorySlot& s : r.inventory)
            if (s.id < 0 || s.id >= ITEM_COUNT) std::abort();
    }
    // The digest is unkeyed, so a hostile record can always be made valid: do so and check too.
    if (size >= static_cast<size_t>(kSaveRecordSize)) {
        SaveGameRecord forged;
        std::memcpy(&forged, data, sizeof forged);
        uint8_t file[kSaveFileSize];
        EncodeSaveFile(forged, file);
        if (!DecodeSaveFile(file, sizeof file, &r)) std::abort();
        if (std::strlen(r.title) > static_cast<size_t>(kSaveTitleMax) || r.lives < 0 || r.score < 0) std::abort();
        GameState game{};
        ApplySaveRecord(r, game);
    }
    return 0;
}
