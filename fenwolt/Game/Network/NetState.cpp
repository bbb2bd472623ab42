#include "fenwolt/Game/Network/NetState.h"

NetState Net;

// Fixed for the game: both computers must search and join with the same one.
const GUID NetApplicationGuid = {0xcca9eb8f, 0xa9fc, 0x4fdf, {0x87, 0xaf, 0x9b, 0x34, 0xcf, 0xd3, 0x9d, 0xc9}};

bool IsLocalSideToPlan(int32_t turnPhase)
{
    if (!NetworkGameActive) return true;
    return Net.isHost ? turnPhase == 0 : turnPhase == 2;
}

void AddPlayerRecordRef(PlayerRecord* record)
{
    if (record) InterlockedIncrement(&record->refCount);
}

void ReleasePlayerRecord(PlayerRecord* record)
{
    if (record && InterlockedDecrement(&record->refCount) < 1) delete record;
}
