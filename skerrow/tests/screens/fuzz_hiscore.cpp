// Any bytes as a hiscore file: refused, or ten terminated names.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "skerrow/Src/game/HiscoreTable.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    HiscoreEntry table[kHiscoreRows];
    if (DecodeHiscores(data, size, table)) {
        for (HiscoreEntry& e : table) {
            if (std::strlen(e.name) >= sizeof e.name) std::abort();
            EditHiscoreName(e, 'x');
            EditHiscoreName(e, 8);
        }
        InsertHiscore(table, size > 0 ? data[0] * 1000 : 1);
    }
    return 0;
}
