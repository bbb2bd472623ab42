// The game's DirectPlay handler in a real loopback session: player records and the count, what
// is sent when, the other player leaving, and cleaning up.
#include "net_a_fixture.h"

#include "fenwolt/Game/Network/Multi.h"
#include "platform/tests/dplay8/dplay8_test_support.h"

#include <thread>

using namespace net_a;
using dplay8_test::TestPeer;

namespace {

class GameSessionTest : public NetGlobalsTest {
protected:
    void SetUp() override
    {
        NetGlobalsTest::SetUp();
        dplay8_test::UseOwnPortRange();
        application = dplay8_test::NewGuid();
        InitializeCriticalSection(&Net.playerListLock);
        Net.playerListLockMade = true;
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_DirectPlay8Peer, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectPlay8Peer,
                                         reinterpret_cast<void**>(&Net.peer)));
        ASSERT_EQ(S_OK, Net.peer->Initialize(nullptr, DirectPlayMessageHandler, 0));
        NetworkGameActive = true;
        Net.sessionSetUp = 1;
    }
    void TearDown() override
    {
        CleanupDirectPlay();
        NetGlobalsTest::TearDown();
    }

    void HostGame()
    {
        IDirectPlay8Address* device = dplay8_test::NewAddress();
        DPN_APPLICATION_DESC desc{};
        desc.dwSize = sizeof desc;
        desc.guidApplication = application;
        desc.dwMaxPlayers = NET_SESSION_PLAYERS;
        DPN_PLAYER_INFO info{};
        info.dwSize = sizeof info;
        info.dwInfoFlags = DPNINFO_NAME;
        info.pwszName = const_cast<wchar_t*>(L"A name longer than fourteen");
        ASSERT_EQ(S_OK, Net.peer->SetPeerInfo(&info, nullptr, nullptr, DPNSETPEERINFO_SYNC));
        ASSERT_EQ(S_OK, Net.peer->Host(&desc, &device, 1, nullptr, nullptr, nullptr, 0));
        device->Release();
        Net.isHost = 1;
    }

    // Runs the main thread's side until `done`, or a minute: a loaded machine may keep
    // DirectPlay's threads waiting for seconds.
    bool Until(const std::function<bool()>& done)
    {
        for (int i = 0; i < 6000; ++i) {
            ProcessNetworkMessages();
            if (done()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    GUID application{};
};

std::vector<uint8_t> Message(int32_t type) { return BuildGameMessage(type); }

}  // namespace

TEST_F(GameSessionTest, PlayersAreCountedAndRecordedAndOnlyTheOtherLeavingIsNews)
{
    HostGame();
    EXPECT_EQ(1, Net.playerCount);
    void* context = nullptr;
    DPNID me = 0;
    {
        // The local record: the name cut to 14 characters, the host's flags.
        TestPeer guest;
        guest.SetName(L"Guest");
        ASSERT_EQ(S_OK, guest.Join(application));
        ASSERT_TRUE(Until([] { return Net.playerCount == 2; }));
        for (auto& c : guest.Of(DPN_MSGID_CREATE_PLAYER))
            if (c.reason & DPNPLAYER_HOST) me = c.player;
        ASSERT_EQ(S_OK, Net.peer->GetPlayerContext(me, &context, 0));
        auto* record = static_cast<PlayerRecord*>(context);
        EXPECT_STREQ("A name longer ", record->name);
        EXPECT_EQ((DWORD)(DPNPLAYER_LOCAL | DPNPLAYER_HOST), record->flags);
        EXPECT_EQ(1, record->refCount);
        ASSERT_EQ(S_OK, Net.peer->GetPlayerContext(guest.LocalId(), &context, 0));
        EXPECT_STREQ("Guest", static_cast<PlayerRecord*>(context)->name);
        EXPECT_EQ(0, static_cast<PlayerRecord*>(context)->slot);
        EXPECT_TRUE(notifications.empty());
    }  // the guest closes
    ASSERT_TRUE(Until([] { return Net.playerCount == 1; }));
    ASSERT_TRUE(Until([&] { return !notifications.empty(); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ProcessNetworkMessages();
    EXPECT_EQ((std::vector<uint32_t>{NOTIFY_PLAYER_LEFT}), notifications);
    // Our own player going with the session is not the other player leaving.
    CleanupDirectPlay();
    ProcessNetworkMessages();
    EXPECT_EQ(1u, notifications.size());
    EXPECT_EQ(0, Net.playerCount);
    EXPECT_FALSE(NetworkGameActive);
    EXPECT_EQ(0, Net.sessionSetUp);
    EXPECT_EQ(nullptr, Net.peer);
}

TEST_F(GameSessionTest, NothingIsSentWithoutTheOtherComputerAndEverythingAfter)
{
    HostGame();
    SendGameMessage(GAME_MSGID_READY);  // nobody there yet
    TestPeer guest;
    ASSERT_EQ(S_OK, guest.Join(application));
    ASSERT_TRUE(Until([] { return Net.playerCount == 2; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(0u, guest.Count(DPN_MSGID_RECEIVE));
    OutgoingEndTurnCode = END_TURN_AGREE;
    OutgoingEndTurnValue = 77;
    SendGameMessage(GAME_MSGID_END_TURN);
    SendGameMessage(GAME_MSGID_READY);
    ASSERT_TRUE(guest.WaitUntil([&] { return guest.Count(DPN_MSGID_RECEIVE) == 2; }));
    auto got = guest.Of(DPN_MSGID_RECEIVE);
    EXPECT_EQ(Message(GAME_MSGID_END_TURN), got[0].data);
    EXPECT_EQ((std::vector<uint8_t>{9, 0, 0, 0}), got[1].data);

    // And the other way: checked, queued, applied with its notification.
    guest.Send(DPNID_ALL_PLAYERS_GROUP, {14, 0, 0, 0, 1, 0, 0, 0, 5, 0, 0, 0});
    guest.Send(DPNID_ALL_PLAYERS_GROUP, {14, 0, 0, 0, 1, 0, 0});  // short: dropped
    ASSERT_TRUE(Until([&] { return !notifications.empty(); }));
    EXPECT_EQ(END_TURN_REQUEST, IncomingEndTurnCode);
    EXPECT_EQ(5, IncomingEndTurnValue);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ProcessNetworkMessages();
    EXPECT_EQ((std::vector<uint32_t>{NOTIFY_END_TURN}), notifications);
}

TEST_F(GameSessionTest, AHostThatGoesAwayIsNoticedByTheGuestOnce)
{
    Net.isHost = 0;
    auto host = std::make_unique<TestPeer>();
    ASSERT_EQ(S_OK, host->Host(application, NET_SESSION_PLAYERS));
    IDirectPlay8Address* device = dplay8_test::NewAddress();
    IDirectPlay8Address* where = dplay8_test::NewAddress();
    DPN_APPLICATION_DESC desc{};
    desc.dwSize = sizeof desc;
    desc.guidApplication = application;
    // Find it as the wizard would.
    DPNHANDLE search = host->Search(application);  // the host's own search shows its port
    ASSERT_TRUE(host->WaitFor([](const dplay8_test::Seen& s) { return s.id == DPN_MSGID_ENUM_HOSTS_RESPONSE; }));
    host->peer->CancelAsyncOperation(search, 0);
    DWORD port = host->Last(DPN_MSGID_ENUM_HOSTS_RESPONSE).port;
    where->AddComponent(DPNA_KEY_PORT, &port, sizeof port, DPNA_DATATYPE_DWORD);
    DPNHANDLE connect = 0;
    ASSERT_EQ(DPNSUCCESS_PENDING,
              Net.peer->Connect(&desc, where, device, nullptr, nullptr, nullptr, 0, nullptr, nullptr, &connect, 0));
    device->Release();
    where->Release();
    ASSERT_TRUE(Until([] { return Net.playerCount == 2; }));
    host.reset();  // the host closes its session
    ASSERT_TRUE(Until([] { return Net.sessionEndedResult == NET_SESSION_ENDED; }));
    ASSERT_TRUE(Until([&] { return !notifications.empty(); }));
    EXPECT_EQ(1, Net.playerCount);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ProcessNetworkMessages();
    EXPECT_EQ((std::vector<uint32_t>{NOTIFY_PLAYER_LEFT}), notifications);
}

TEST_F(GameSessionTest, NothingArrivesForAScreenBeingBuiltUntilItIsReleased)
{
    HoldNetworkMessages(true);
    Receive(Message(GAME_MSGID_READY));
    NotifyMainWindow();  // a window kept as it was: nothing to say
    Net.displaySwitched = 1;
    NotifyMainWindow();
    ProcessNetworkMessages();
    EXPECT_TRUE(notifications.empty());
    HoldNetworkMessages(false);
    ProcessNetworkMessages();
    EXPECT_EQ((std::vector<uint32_t>{NOTIFY_READY, NOTIFY_SESSION_STARTED}), notifications);
    // What was still waiting when the session closed is forgotten with it.
    Receive(Message(GAME_MSGID_PHASE_DONE));
    CleanupDirectPlay();
    ProcessNetworkMessages();
    EXPECT_EQ(2u, notifications.size());
}
