#include "net_a_support.h"

#include "fenwolt/Game/FrontEnd/Competition.h"
#include "fenwolt/Game/Match/Hud.h"
#include "fenwolt/Game/Match/MatchScreen.h"
#include "fenwolt/Game/ScreenSlots.h"
#include "fenwolt/common/Utilities.h"

#include <cstring>

namespace net_a {

std::vector<uint32_t> NetGlobalsTest::notifications;
std::function<void(uint32_t)> NetGlobalsTest::onNotify;

namespace {
void RecordNotification(int32_t message)
{
    if (message != (int32_t)WM_NET_NOTIFY) return;
    NetGlobalsTest::notifications.push_back(LastMessageParam);
    if (NetGlobalsTest::onNotify) NetGlobalsTest::onNotify(LastMessageParam);
}

void Hash(uint64_t& h, const void* p, size_t n)
{
    const uint8_t* b = static_cast<const uint8_t*>(p);
    for (size_t i = 0; i < n; ++i) h = (h ^ b[i]) * 1099511628211ull;
}
}  // namespace

void NetGlobalsTest::SetUp()
{
    ConstructTheApp();
    DiscardNetworkMessages();
    notifications.clear();
    onNotify = nullptr;
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
    MatchSetup = MatchSettings{};
    IncomingEndTurnCode = IncomingEndTurnValue = OutgoingEndTurnCode = OutgoingEndTurnValue = 0;
    SetScreenMessageHandler(RecordNotification);
}

void NetGlobalsTest::TearDown()
{
    DiscardNetworkMessages();
    ResetScreenHandlers();
    NetworkGameActive = false;
    DestroyTheApp();
}

HRESULT Receive(const std::vector<uint8_t>& bytes, DPNID from)
{
    std::vector<uint8_t> copy = bytes;
    DPNMSG_RECEIVE m{sizeof(DPNMSG_RECEIVE), from, nullptr, copy.empty() ? nullptr : copy.data(),
                     (DWORD)copy.size(), 1};
    return DirectPlayMessageHandler(nullptr, DPN_MSGID_RECEIVE, &m);
}

uint64_t GlobalsHash()
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
