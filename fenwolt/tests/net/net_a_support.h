// The network tests' bench (header only and without GoogleTest: the fuzz target uses it too): the
// game's globals with the application object but no window or device, notifications recorded as
// the current screen would get them, and received bytes fed through DirectPlay's message handler
// as DirectPlay would.
#pragma once

#include "fenwolt/Game/GameApp.h"
#include "fenwolt/Game/Engine/Instances.h"
#include "fenwolt/Game/Match/MatchRecords.h"
#include "fenwolt/Game/Network/GameMessages.h"
#include "fenwolt/Game/Network/NetState.h"
#include "fenwolt/Game/FrontEnd/Competition.h"
#include "fenwolt/Game/Match/Hud.h"
#include "fenwolt/Game/Match/MatchScreen.h"
#include "fenwolt/Game/ScreenSlots.h"
#include "fenwolt/common/Utilities.h"

#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

// ResetNetGlobals: the application object, cleared records and network state, and a screen
// that records the notifications it gets (Notifications, with OnNotify called at each while the
// globals are as the screen then sees them). Receive hands bytes to DirectPlayMessageHandler as
// a DPN_MSGID_RECEIVE. GlobalsHash covers everything a game message may write.
namespace net_a {

inline std::vector<uint32_t>& Notifications()
{
    static std::vector<uint32_t> seen;
    return seen;
}

inline std::function<void(uint32_t)>& OnNotify()
{
    static std::function<void(uint32_t)> hook;
    return hook;
}

inline void RecordNotification(int32_t message)
{
    if (message != (int32_t)WM_NET_NOTIFY) return;
    Notifications().push_back(LastMessageParam);
    if (OnNotify()) OnNotify()(LastMessageParam);
}

inline void Hash(uint64_t& h, const void* p, size_t n)
{
    const uint8_t* b = static_cast<const uint8_t*>(p);
    for (size_t i = 0; i < n; ++i) h = (h ^ b[i]) * 1099511628211ull;
}

inline void ResetNetGlobals()
{
    ConstructTheApp();
    DiscardNetworkMessages();
    Notifications().clear();
    OnNotify() = nullptr;
    std::memset(MatchPlayers, 0, sizeof MatchPlayers);
    std::memset(&TheBall, 0, sizeof TheBall);
    for (int i = 0; i < 50; ++i)
        if (ModelInstance* m = InstanceAt(i)) *m = ModelInstance{};
    for (int32_t& f : FacingArrowModels) f = INSTANCE_NONE;
    ResetChat();
    Net.isHost = 1;
    Net.messagePlayer = 0;
    Net.wizard = nullptr;
    Net.stage = nullptr;
    Net.peer = nullptr;
    Net.playerCount = 0;
    Net.opponent = 0;
    Net.displaySwitched = 0;
    MatchSetup = MatchSettings{};
    IncomingEndTurnCode = IncomingEndTurnValue = OutgoingEndTurnCode = OutgoingEndTurnValue = 0;
    SetScreenMessageHandler(RecordNotification);
}

inline void ReleaseNetGlobals()
{
    DiscardNetworkMessages();
    ResetScreenHandlers();
    NetworkGameActive = false;
    DestroyTheApp();
}

inline HRESULT Receive(const std::vector<uint8_t>& bytes, DPNID from = 0x1234)
{
    std::vector<uint8_t> copy = bytes;
    DPNMSG_RECEIVE m{sizeof(DPNMSG_RECEIVE), from, nullptr, copy.empty() ? nullptr : copy.data(),
                     (DWORD)copy.size(), 1};
    return DirectPlayMessageHandler(nullptr, DPN_MSGID_RECEIVE, &m);
}

inline uint64_t GlobalsHash()
{
    uint64_t h = 1469598103934665603ull;
    Hash(h, MatchPlayers, sizeof MatchPlayers);
    Hash(h, &TheBall, sizeof TheBall);
    Hash(h, TeamSquads, sizeof TeamSquads);
    Hash(h, TeamNames, sizeof TeamNames);
    Hash(h, &MatchSetup, sizeof MatchSetup);
    Hash(h, SharedRandomTable, sizeof SharedRandomTable);
    Hash(h, &SharedRandomIndex, sizeof SharedRandomIndex);
    Hash(h, &Chat, sizeof Chat);
    const int32_t scalars[] = {HomeGoals, AwayGoals, Minute, Second, LastScoringSide, ShotClass, BallInFlight,
                               SelectedPlayer, BenchSlot, IncomingEndTurnCode, IncomingEndTurnValue,
                               SubstitutionsMade[0], SubstitutionsMade[1]};
    Hash(h, scalars, sizeof scalars);
    for (int i = 0; i < 50; ++i)
        if (const ModelInstance* m = InstanceAt(i)) {
            Hash(h, &m->Position, sizeof m->Position);
            Hash(h, &m->Rotation, sizeof m->Rotation);
        }
    return h;
}

}  // namespace net_a
