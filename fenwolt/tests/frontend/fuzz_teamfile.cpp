// Saved-team files of any content: read, checked, and when accepted written back and read again.
#include "fenwolt/Game/FrontEnd/Saves.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TeamFile team{};
    if (!ParseTeamFile(data, size, team)) return 0;
    if (strnlen(team.teamName, sizeof team.teamName) >= sizeof team.teamName) std::abort();
    for (const SquadPlayer& p : team.squad.players)
        if (strnlen(p.name, sizeof p.name) > 14) std::abort();
    char label[SLOT_LABEL_SIZE];
    FormatTeamSlotLabel(label, team);
    if (strnlen(label, sizeof label) >= sizeof label) std::abort();
    uint8_t bytes[TeamFile::kSize];
    EncodeTeamFile(team, bytes);
    TeamFile again{};
    if (!ParseTeamFile(bytes, sizeof bytes, again)) std::abort();
    uint8_t second[TeamFile::kSize];
    EncodeTeamFile(again, second);
    if (std::memcmp(bytes, second, sizeof bytes) != 0) std::abort();
    return 0;
}
