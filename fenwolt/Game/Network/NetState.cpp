#include "fenwolt/Game/Network/NetState.h"

NetState Net;

bool IsLocalSideToPlan(int32_t turnPhase)
{
    if (!NetworkGameActive) return true;
    return Net.isHost ? turnPhase == 0 : turnPhase == 2;
}

#include "fenwolt/Game/Unfinished.h"

void CleanupDirectPlay() { UNFINISHED(); }
