#include "fenwolt/Game/Network/GameMessages.h"

#include "fenwolt/Game/Network/NetState.h"

int32_t OutgoingEndTurnCode = 0, OutgoingEndTurnValue = 0;
int32_t IncomingEndTurnCode = 0, IncomingEndTurnValue = 0;

namespace {
int32_t messagePlayer = 0;
}

bool SendGameMessage(int32_t type)
{
    // A session that holds only this computer (or none at all) has nobody to tell.
    if (Net.playerCount <= 1) return true;
    (void)type;
    (void)messagePlayer;
    return true;
}

bool SendGameMessageFor(int32_t type, int32_t player)
{
    messagePlayer = player;
    return SendGameMessage(type);
}

#include "fenwolt/Game/Unfinished.h"

ChatHistory Chat;

void AddChatLine() { UNFINISHED(); }
void ScrollChat(bool) { UNFINISHED(); }
