// The DirectPlay stand-in on loopback: what the games rely on of sessions, search, players,
// delivery, buffers and closing, and what happens when the other side goes away.
#include "dplay8_test_support.h"

#include "platform/dplay8/dxerr8.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <atomic>
#include <cstring>

using namespace dplay8_test;

namespace {

class DirectPlay : public ::testing::Test {
protected:
    void SetUp() override
    {
        UseOwnPortRange();
        CoInitialize(nullptr);
    }
    void TearDown() override { CoUninitialize(); }
};

DPNID PlayerNamed(TestPeer& p, const std::wstring& name)
{
    for (auto& s : p.Of(DPN_MSGID_CREATE_PLAYER))
        if (s.name == name) return s.player;
    return 0;
}

std::vector<DPNID> CreatedOrder(TestPeer& p)
{
    std::vector<DPNID> ids;
    for (auto& s : p.Of(DPN_MSGID_CREATE_PLAYER)) ids.push_back(s.player);
    return ids;
}

}  // namespace

TEST_F(DirectPlay, ClassesProviderAndAddressesAreThereThroughCom)
{
    TestPeer p;
    DWORD size = 0, count = 0;
    EXPECT_EQ(DPNERR_BUFFERTOOSMALL, p.peer->EnumServiceProviders(nullptr, nullptr, nullptr, &size, &count, 0));
    std::vector<uint8_t> buffer(size);
    auto* info = reinterpret_cast<DPN_SERVICE_PROVIDER_INFO*>(buffer.data());
    ASSERT_EQ(S_OK, p.peer->EnumServiceProviders(nullptr, nullptr, info, &size, &count, 0));
    ASSERT_EQ(1u, count);
    EXPECT_EQ(CLSID_DP8SP_TCPIP, info->guid);
    EXPECT_STREQ(L"DirectPlay8 TCP/IP Service Provider", info->pwszName);

    DPN_SP_CAPS caps{};
    caps.dwSize = sizeof caps;
    ASSERT_EQ(S_OK, p.peer->GetSPCaps(&CLSID_DP8SP_TCPIP, &caps, 0));
    EXPECT_GT(caps.dwDefaultEnumRetryInterval, 0u);
    GUID other = NewGuid();
    EXPECT_EQ(DPNERR_DOESNOTEXIST, p.peer->GetSPCaps(&other, &caps, 0));

    IDirectPlay8Address* a = NewAddress();
    DWORD port = 4321;
    ASSERT_EQ(S_OK, a->AddComponent(DPNA_KEY_PORT, &port, sizeof port, DPNA_DATATYPE_DWORD));
    EXPECT_EQ(DPNERR_INVALIDPARAM, a->AddComponent(DPNA_KEY_PORT, L"x", 2 * sizeof(wchar_t), DPNA_DATATYPE_STRING));
    IDirectPlay8Address* copy = nullptr;
    ASSERT_EQ(S_OK, a->Duplicate(&copy));
    a->Release();
    GUID sp{};
    EXPECT_EQ(S_OK, copy->GetSP(&sp));
    EXPECT_EQ(CLSID_DP8SP_TCPIP, sp);
    DWORD got = 0, gotSize = 2, type = 0;
    EXPECT_EQ(DPNERR_BUFFERTOOSMALL, copy->GetComponentByName(DPNA_KEY_PORT, &got, &gotSize, &type));
    EXPECT_EQ(sizeof(DWORD), gotSize);
    EXPECT_EQ(S_OK, copy->GetComponentByName(DPNA_KEY_PORT, &got, &gotSize, &type));
    EXPECT_EQ(4321u, got);
    EXPECT_EQ(DPNERR_DOESNOTEXIST, copy->GetComponentByName(DPNA_KEY_HOSTNAME, &got, &gotSize, &type));
    copy->Release();

    // No lobby program exists: no connection is handed over, availability is accepted, and
    // asking for a lobby connection's settings fails.
    IDirectPlay8LobbiedApplication* lobby = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_DirectPlay8LobbiedApplication, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_IDirectPlay8LobbiedApplication, reinterpret_cast<void**>(&lobby)));
    DPNHANDLE connection = 77;
    ASSERT_EQ(S_OK, lobby->Initialize(nullptr, [](void*, DWORD, void*) { return S_OK; }, &connection, 0));
    EXPECT_EQ(0u, connection);
    EXPECT_EQ(S_OK, lobby->SetAppAvailable(TRUE, 0));
    DWORD settingsSize = 0;
    EXPECT_EQ(DPNERR_INVALIDHANDLE, lobby->GetConnectionSettings(1, nullptr, &settingsSize, 0));
    EXPECT_EQ(DPNERR_INVALIDHANDLE, p.peer->RegisterLobby(1, lobby, DPNLOBBY_REGISTER));
    EXPECT_EQ(S_OK, lobby->Close(0));
    lobby->Release();
    EXPECT_STREQ("DPNERR_SESSIONFULL", DXGetErrorString8(DPNERR_SESSIONFULL));
}

TEST_F(DirectPlay, SearchFindsOnlySessionsOfTheSameApplication)
{
    const GUID ours = NewGuid(), theirs = NewGuid();
    TestPeer host, stranger, searcher;
    ASSERT_EQ(S_OK, host.Host(ours, 2, L"Ours"));
    ASSERT_EQ(S_OK, stranger.Host(theirs, 2, L"Theirs"));
    DPNHANDLE search = searcher.Search(ours, 3, 100, 300);
    ASSERT_TRUE(searcher.WaitFor([&](const Seen& s) { return s.id == DPN_MSGID_ASYNC_OP_COMPLETE; }));
    EXPECT_EQ(search, searcher.Last(DPN_MSGID_ASYNC_OP_COMPLETE).handle);
    EXPECT_EQ(S_OK, searcher.Last(DPN_MSGID_ASYNC_OP_COMPLETE).hr);
    auto answers = searcher.Of(DPN_MSGID_ENUM_HOSTS_RESPONSE);
    ASSERT_FALSE(answers.empty());
    for (auto& a : answers) {
        EXPECT_EQ(ours, a.application);
        EXPECT_EQ(L"Ours", a.name);
        EXPECT_EQ(2u, a.maxPlayers);
        EXPECT_EQ(1u, a.currentPlayers);
        EXPECT_EQ(L"127.0.0.1", a.hostName);
    }
    // The answers arrive on the worker thread, and nothing follows the completion.
    EXPECT_NE(std::this_thread::get_id(), answers[0].thread);
    EXPECT_EQ(DPN_MSGID_ASYNC_OP_COMPLETE, searcher.All().back().id);

    // An endless search runs until cancelled, and says so.
    searcher.Forget();
    search = searcher.Search(ours);
    ASSERT_TRUE(searcher.WaitFor([](const Seen& s) { return s.id == DPN_MSGID_ENUM_HOSTS_RESPONSE; }));
    EXPECT_EQ(S_OK, searcher.peer->CancelAsyncOperation(search, 0));
    ASSERT_TRUE(searcher.WaitFor([](const Seen& s) { return s.id == DPN_MSGID_ASYNC_OP_COMPLETE; }));
    EXPECT_EQ(DPNERR_USERCANCEL, searcher.Last(DPN_MSGID_ASYNC_OP_COMPLETE).hr);
    EXPECT_EQ(DPNERR_INVALIDHANDLE, searcher.peer->CancelAsyncOperation(search, 0));

    // Joining with the other application's GUID is refused by the host.
    Seen answer = searcher.Last(DPN_MSGID_ENUM_HOSTS_RESPONSE);
    EXPECT_EQ(DPNERR_INVALIDAPPLICATION, searcher.ConnectTo(theirs, GUID{}, answer.port));
}

TEST_F(DirectPlay, AFullSessionRefusesAFurtherPlayerUntilThereIsRoom)
{
    const GUID app = NewGuid();
    TestPeer host, first, second;
    ASSERT_EQ(S_OK, host.Host(app, 2));
    ASSERT_EQ(S_OK, first.Join(app));
    EXPECT_EQ(DPNERR_SESSIONFULL, second.Join(app));
    EXPECT_EQ(0u, second.Count(DPN_MSGID_CREATE_PLAYER));
    // The search still shows the full session, and the refused peer may try again.
    DWORD size = 0;
    ASSERT_EQ(DPNERR_BUFFERTOOSMALL, host.peer->GetApplicationDesc(nullptr, &size, 0));
    std::vector<uint8_t> buffer(size);
    auto* desc = reinterpret_cast<DPN_APPLICATION_DESC*>(buffer.data());
    desc->dwSize = sizeof *desc;
    ASSERT_EQ(S_OK, host.peer->GetApplicationDesc(desc, &size, 0));
    EXPECT_EQ(2u, desc->dwCurrentPlayers);
    desc->dwMaxPlayers = 3;
    ASSERT_EQ(S_OK, host.peer->SetApplicationDesc(desc, 0));
    EXPECT_EQ(S_OK, second.Join(app));
    EXPECT_EQ(DPNERR_NOTHOST, first.peer->SetApplicationDesc(desc, 0));
    // The guests learn of the new limit.
    size = (DWORD)buffer.size();
    ASSERT_TRUE(first.WaitUntil([&] {
        return first.peer->GetApplicationDesc(desc, &size, 0) == S_OK && desc->dwMaxPlayers == 3;
    }));
}

TEST_F(DirectPlay, PlayersAreCreatedInJoinOrderBeforeTheirMessages)
{
    const GUID app = NewGuid();
    TestPeer host, first, second;
    host.SetName(L"Host");
    first.SetName(L"First");
    second.SetName(L"Second");
    // The host greets every newcomer from inside the newcomer's CREATE_PLAYER.
    host.hook = [&](DWORD id, void* message) {
        if (id == DPN_MSGID_CREATE_PLAYER) {
            auto* m = static_cast<DPNMSG_CREATE_PLAYER*>(message);
            if (m->pvPlayerContext != host.LocalMarker()) host.Send(m->dpnidPlayer, Bytes("welcome"));
        }
        return S_OK;
    };
    ASSERT_EQ(S_OK, host.Host(app, 0));
    ASSERT_EQ(1u, host.Count(DPN_MSGID_CREATE_PLAYER));  // before Host returned
    ASSERT_EQ(S_OK, first.Join(app));
    ASSERT_EQ(S_OK, second.Join(app));
    ASSERT_TRUE(second.WaitFor([](const Seen& s) { return s.id == DPN_MSGID_RECEIVE; }));
    ASSERT_TRUE(first.WaitUntil([&] { return first.Count(DPN_MSGID_CREATE_PLAYER) == 3; }));
    ASSERT_TRUE(host.WaitUntil([&] { return host.Count(DPN_MSGID_CREATE_PLAYER) == 3; }));

    const DPNID h = PlayerNamed(host, L"Host"), f = PlayerNamed(host, L"First"), s = PlayerNamed(host, L"Second");
    EXPECT_EQ((std::vector<DPNID>{h, f, s}), CreatedOrder(host));
    EXPECT_EQ((std::vector<DPNID>{f, h, s}), CreatedOrder(first));
    EXPECT_EQ((std::vector<DPNID>{s, h, f}), CreatedOrder(second));
    // The same ids everywhere, and the flags say who is local and who hosts.
    EXPECT_EQ(h, PlayerNamed(second, L"Host"));
    EXPECT_EQ(f, PlayerNamed(second, L"First"));
    for (auto& c : second.Of(DPN_MSGID_CREATE_PLAYER)) {
        const DWORD expected = c.player == s ? DPNPLAYER_LOCAL : c.player == h ? DPNPLAYER_HOST : 0;
        EXPECT_EQ(expected, c.reason) << c.player;
    }
    // The joining side sees all its players, then the completion, then the host's greeting.
    auto all = second.All();
    std::vector<DWORD> ids;
    for (auto& e : all)
        if (e.id != DPN_MSGID_ENUM_HOSTS_RESPONSE && e.id != DPN_MSGID_ASYNC_OP_COMPLETE) ids.push_back(e.id);
    EXPECT_EQ((std::vector<DWORD>{DPN_MSGID_CREATE_PLAYER, DPN_MSGID_CREATE_PLAYER, DPN_MSGID_CREATE_PLAYER,
                                  DPN_MSGID_CONNECT_COMPLETE, DPN_MSGID_RECEIVE}),
              ids);
    // Contexts set in CREATE_PLAYER come back with the player's messages and from GetPlayerContext.
    void* context = nullptr;
    EXPECT_EQ(S_OK, second.peer->GetPlayerContext(s, &context, 0));
    EXPECT_EQ(second.LocalMarker(), context);
    EXPECT_EQ(DPNERR_INVALIDPLAYER, second.peer->GetPlayerContext(0x12345678, &context, 0));
}

TEST_F(DirectPlay, LoopBackOnlyWithoutNoLoopBackAndRelayBetweenGuests)
{
    const GUID app = NewGuid();
    TestPeer host, first, second;
    int marker = 0;
    host.contextForPlayers = first.contextForPlayers = second.contextForPlayers = &marker;
    first.SetName(L"First");
    ASSERT_EQ(S_OK, host.Host(app, 0));
    ASSERT_EQ(S_OK, first.Join(app));
    ASSERT_EQ(S_OK, second.Join(app));
    ASSERT_TRUE(second.WaitUntil([&] { return second.Count(DPN_MSGID_CREATE_PLAYER) == 3; }));
    const DPNID firstId = first.LocalId();

    ASSERT_EQ(S_OK, first.Send(DPNID_ALL_PLAYERS_GROUP, Bytes("quiet"), DPNSEND_NOLOOPBACK));
    ASSERT_EQ(S_OK, first.Send(DPNID_ALL_PLAYERS_GROUP, Bytes("loud"), DPNSEND_GUARANTEED));
    ASSERT_TRUE(host.WaitUntil([&] { return host.Count(DPN_MSGID_RECEIVE) == 2; }));
    ASSERT_TRUE(second.WaitUntil([&] { return second.Count(DPN_MSGID_RECEIVE) == 2; }));
    ASSERT_TRUE(first.WaitUntil([&] { return first.Count(DPN_MSGID_RECEIVE) == 1; }));
    EXPECT_EQ(Bytes("loud"), first.Last(DPN_MSGID_RECEIVE).data);
    EXPECT_EQ(firstId, first.Last(DPN_MSGID_RECEIVE).player);
    EXPECT_EQ(Bytes("quiet"), second.Of(DPN_MSGID_RECEIVE)[0].data);
    EXPECT_EQ(firstId, second.Of(DPN_MSGID_RECEIVE)[0].player);
    EXPECT_EQ(&marker, second.Of(DPN_MSGID_RECEIVE)[0].context);

    // To one guest from another: through the host, but only to him.
    ASSERT_EQ(S_OK, second.Send(firstId, Bytes("direct")));
    ASSERT_TRUE(first.WaitUntil([&] { return first.Count(DPN_MSGID_RECEIVE) == 2; }));
    EXPECT_EQ(Bytes("direct"), first.Last(DPN_MSGID_RECEIVE).data);
    EXPECT_EQ(second.LocalId(), first.Last(DPN_MSGID_RECEIVE).player);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(2u, host.Count(DPN_MSGID_RECEIVE));
    // To oneself always arrives, and nobody else gets it.
    ASSERT_EQ(S_OK, host.Send(host.LocalId(), Bytes("self"), DPNSEND_NOLOOPBACK));
    ASSERT_TRUE(host.WaitUntil([&] { return host.Count(DPN_MSGID_RECEIVE) == 3; }));
    EXPECT_EQ(DPNERR_INVALIDPLAYER, host.Send(0x7777, Bytes("nobody")));
    EXPECT_EQ(DPNERR_INVALIDPARAM, host.Send(DPNID_ALL_PLAYERS_GROUP, {}));
}

TEST_F(DirectPlay, PendingBuffersStayUntilReturned)
{
    const GUID app = NewGuid();
    TestPeer host, guest;
    std::mutex kept;
    std::vector<std::pair<DPNHANDLE, uint8_t*>> held;
    guest.hook = [&](DWORD id, void* message) -> HRESULT {
        if (id != DPN_MSGID_RECEIVE) return S_OK;
        auto* m = static_cast<DPNMSG_RECEIVE*>(message);
        if (m->pReceiveData[0] != 'k') return S_OK;
        std::lock_guard<std::mutex> lock(kept);
        held.push_back({m->hBufferHandle, m->pReceiveData});
        return DPNSUCCESS_PENDING;
    };
    ASSERT_EQ(S_OK, host.Host(app, 2));
    ASSERT_EQ(S_OK, guest.Join(app));
    std::vector<uint8_t> big(3000, 'k');
    ASSERT_EQ(S_OK, host.Send(DPNID_ALL_PLAYERS_GROUP, big));
    ASSERT_EQ(S_OK, host.Send(DPNID_ALL_PLAYERS_GROUP, Bytes("free")));
    ASSERT_EQ(S_OK, host.Send(DPNID_ALL_PLAYERS_GROUP, Bytes("keep")));
    ASSERT_TRUE(guest.WaitUntil([&] { return guest.Count(DPN_MSGID_RECEIVE) == 3; }));
    auto receives = guest.Of(DPN_MSGID_RECEIVE);
    // A buffer handed back at once is gone: returning it is an error.
    EXPECT_EQ(DPNERR_INVALIDHANDLE, guest.peer->ReturnBuffer(receives[1].handle, 0));
    std::lock_guard<std::mutex> lock(kept);
    ASSERT_EQ(2u, held.size());
    // Later traffic does not reuse a kept buffer.
    for (int i = 0; i < 50; ++i) host.Send(DPNID_ALL_PLAYERS_GROUP, std::vector<uint8_t>(3000, 'x'));
    ASSERT_TRUE(guest.WaitUntil([&] { return guest.Count(DPN_MSGID_RECEIVE) == 53; }));
    EXPECT_EQ(big, std::vector<uint8_t>(held[0].second, held[0].second + big.size()));
    EXPECT_EQ(0, memcmp(held[1].second, "keep", 4));
    EXPECT_EQ(S_OK, guest.peer->ReturnBuffer(held[0].first, 0));
    EXPECT_EQ(DPNERR_INVALIDHANDLE, guest.peer->ReturnBuffer(held[0].first, 0));
    // The other stays held through Close and is still returnable afterwards.
    guest.peer->Close(0);
    EXPECT_EQ(S_OK, guest.peer->ReturnBuffer(held[1].first, 0));
}

TEST_F(DirectPlay, CloseWaitsForCallbacksAndDestroysEveryPlayerLocalLast)
{
    const GUID app = NewGuid();
    TestPeer host, guest;
    std::atomic<bool> inCallback{false}, callbackDone{false};
    guest.hook = [&](DWORD id, void* message) -> HRESULT {
        if (id == DPN_MSGID_RECEIVE && static_cast<DPNMSG_RECEIVE*>(message)->pReceiveData[0] == 's') {
            inCallback = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            // Close from inside a callback would wait for itself.
            EXPECT_EQ(DPNERR_NOTALLOWED, guest.peer->Close(0));
            callbackDone = true;
        }
        return S_OK;
    };
    ASSERT_EQ(S_OK, host.Host(app, 2));
    ASSERT_EQ(S_OK, guest.Join(app));
    const DPNID me = guest.LocalId();
    ASSERT_NE(0u, me);
    host.Send(DPNID_ALL_PLAYERS_GROUP, Bytes("slow"));
    ASSERT_TRUE(guest.WaitUntil([&] { return inCallback.load(); }));
    ASSERT_EQ(S_OK, guest.peer->Close(0));
    EXPECT_TRUE(callbackDone);
    auto destroyed = guest.Of(DPN_MSGID_DESTROY_PLAYER);
    ASSERT_EQ(2u, destroyed.size());
    EXPECT_EQ(me, destroyed[1].player);
    EXPECT_EQ(guest.LocalMarker(), destroyed[1].context);
    EXPECT_EQ((DWORD)DPNDESTROYPLAYERREASON_NORMAL, destroyed[0].reason);
    EXPECT_EQ(0u, guest.Count(DPN_MSGID_TERMINATE_SESSION));
    // Nothing is delivered after Close, and the calls say the object is closed.
    const size_t seen = guest.All().size();
    host.Send(DPNID_ALL_PLAYERS_GROUP, Bytes("late"));
    EXPECT_EQ(DPNERR_UNINITIALIZED, guest.Send(DPNID_ALL_PLAYERS_GROUP, Bytes("x")));
    EXPECT_EQ(DPNERR_UNINITIALIZED, guest.peer->Close(0));
    // The host saw a normal departure.
    ASSERT_TRUE(host.WaitFor([](const Seen& s) { return s.id == DPN_MSGID_DESTROY_PLAYER; }));
    EXPECT_EQ(me, host.Last(DPN_MSGID_DESTROY_PLAYER).player);
    EXPECT_EQ((DWORD)DPNDESTROYPLAYERREASON_NORMAL, host.Last(DPN_MSGID_DESTROY_PLAYER).reason);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(seen, guest.All().size());
    // The object can be initialised again and joins again.
    ASSERT_EQ(S_OK, guest.peer->Initialize(&guest, [](void*, DWORD, void*) { return S_OK; }, 0));
    EXPECT_EQ(S_OK, guest.peer->Close(0));
}

TEST_F(DirectPlay, AHostThatLeavesEndsTheSessionForTheGuest)
{
    const GUID app = NewGuid();
    TestPeer guest;
    DPNID hostId;
    {
        TestPeer host;
        ASSERT_EQ(S_OK, host.Host(app, 2));
        ASSERT_EQ(S_OK, guest.Join(app));
        hostId = host.LocalId();
        // The host's last words arrive before it goes.
        host.Send(DPNID_ALL_PLAYERS_GROUP, Bytes("bye"));
        ASSERT_EQ(S_OK, host.peer->Close(0));
    }
    ASSERT_TRUE(guest.WaitFor([](const Seen& s) { return s.id == DPN_MSGID_TERMINATE_SESSION; }, 3000));
    auto all = guest.All();
    std::vector<DWORD> tail;
    for (auto& e : all)
        if (e.id == DPN_MSGID_RECEIVE || e.id == DPN_MSGID_DESTROY_PLAYER || e.id == DPN_MSGID_TERMINATE_SESSION)
            tail.push_back(e.id);
    EXPECT_EQ((std::vector<DWORD>{DPN_MSGID_RECEIVE, DPN_MSGID_DESTROY_PLAYER, DPN_MSGID_TERMINATE_SESSION}), tail);
    EXPECT_EQ(hostId, guest.Last(DPN_MSGID_DESTROY_PLAYER).player);
    EXPECT_EQ(DPNERR_HOSTTERMINATEDSESSION, guest.Last(DPN_MSGID_TERMINATE_SESSION).hr);
    EXPECT_EQ(DPNERR_NOCONNECTION, guest.Send(DPNID_ALL_PLAYERS_GROUP, Bytes("anyone?")));
    ASSERT_EQ(S_OK, guest.peer->Close(0));
    EXPECT_EQ(guest.LocalId(), guest.Last(DPN_MSGID_DESTROY_PLAYER).player);
}

TEST_F(DirectPlay, AKilledHostIsNoticedAtOnce)
{
    const GUID app = NewGuid();
    Probe probe("host", app);
    ASSERT_TRUE(probe.Ready());
    TestPeer guest;
    ASSERT_EQ(S_OK, guest.Join(app));
    ASSERT_TRUE(guest.WaitFor([](const Seen& s) { return s.id == DPN_MSGID_RECEIVE; }));
    probe.Signal(SIGKILL);
    ASSERT_TRUE(guest.WaitFor([](const Seen& s) { return s.id == DPN_MSGID_TERMINATE_SESSION; }, 2000));
    EXPECT_EQ(DPNERR_CONNECTIONLOST, guest.Last(DPN_MSGID_TERMINATE_SESSION).hr);
    EXPECT_EQ((DWORD)DPNDESTROYPLAYERREASON_CONNECTIONLOST, guest.Last(DPN_MSGID_DESTROY_PLAYER).reason);
}

TEST_F(DirectPlay, AKilledGuestIsDestroyedAndTheSessionGoesOn)
{
    const GUID app = NewGuid();
    TestPeer host;
    ASSERT_EQ(S_OK, host.Host(app, 2));
    Probe probe("join", app);
    ASSERT_TRUE(probe.Ready());
    ASSERT_TRUE(host.WaitUntil([&] { return host.Count(DPN_MSGID_CREATE_PLAYER) == 2; }));
    probe.Signal(SIGKILL);
    ASSERT_TRUE(host.WaitFor([](const Seen& s) { return s.id == DPN_MSGID_DESTROY_PLAYER; }, 2000));
    EXPECT_EQ((DWORD)DPNDESTROYPLAYERREASON_CONNECTIONLOST, host.Last(DPN_MSGID_DESTROY_PLAYER).reason);
    EXPECT_EQ(0u, host.Count(DPN_MSGID_TERMINATE_SESSION));
    // The seat is free again.
    TestPeer next;
    EXPECT_EQ(S_OK, next.Join(app));
}

TEST_F(DirectPlay, ASilentPeerIsFoundByTheKeepAlivesWithinSeconds)
{
    const GUID app = NewGuid();
    Probe probe("host", app);
    ASSERT_TRUE(probe.Ready());
    TestPeer guest;
    ASSERT_EQ(S_OK, guest.Join(app));
    // A stopped process keeps its sockets open: only the silence tells.
    probe.Signal(SIGSTOP);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(guest.WaitFor([](const Seen& s) { return s.id == DPN_MSGID_TERMINATE_SESSION; }, 9000));
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::seconds(3));
    EXPECT_EQ(DPNERR_CONNECTIONLOST, guest.Last(DPN_MSGID_TERMINATE_SESSION).hr);
    probe.Signal(SIGCONT);
}

TEST_F(DirectPlay, MessagesArriveCompleteAndInOrderUnderLoad)
{
    const GUID app = NewGuid();
    TestPeer host, first, second;
    ASSERT_EQ(S_OK, host.Host(app, 3));
    ASSERT_EQ(S_OK, first.Join(app));
    ASSERT_EQ(S_OK, second.Join(app));
    ASSERT_TRUE(first.WaitUntil([&] { return first.Count(DPN_MSGID_CREATE_PLAYER) == 3; }));
    constexpr uint32_t N = 20000;
    auto flood = [&](TestPeer& p, uint8_t tag) {
        for (uint32_t i = 0; i < N; ++i) {
            std::vector<uint8_t> m(8 + (i % 300), tag);
            memcpy(m.data(), &i, 4);
            ASSERT_EQ(S_OK, p.Send(DPNID_ALL_PLAYERS_GROUP, m));
        }
    };
    std::thread a([&] { flood(first, 'A'); }), b([&] { flood(second, 'B'); }), c([&] { flood(host, 'H'); });
    a.join();
    b.join();
    c.join();
    auto check = [&](TestPeer& p, std::vector<uint8_t> expectTags) {
        ASSERT_TRUE(p.WaitUntil([&] { return p.Count(DPN_MSGID_RECEIVE) == N * expectTags.size(); }, 60000))
            << p.Count(DPN_MSGID_RECEIVE);
        std::map<uint8_t, uint32_t> next;
        for (auto& r : p.Of(DPN_MSGID_RECEIVE)) {
            uint32_t i;
            memcpy(&i, r.data.data(), 4);
            const uint8_t tag = r.data[4];
            ASSERT_EQ(next[tag], i) << "from " << tag;
            ASSERT_EQ(8 + (i % 300), r.data.size());
            ++next[tag];
        }
    };
    check(host, {'A', 'B'});
    check(first, {'B', 'H'});
    check(second, {'A', 'H'});
}

TEST_F(DirectPlay, HostileBytesOnTheWireAreDroppedSafely)
{
    const GUID app = NewGuid();
    TestPeer host, guest;
    ASSERT_EQ(S_OK, host.Host(app, 2));
    DPNHANDLE search = guest.Search(app);
    ASSERT_TRUE(guest.WaitFor([](const Seen& s) { return s.id == DPN_MSGID_ENUM_HOSTS_RESPONSE; }));
    guest.peer->CancelAsyncOperation(search, 0);
    const DWORD port = guest.Last(DPN_MSGID_ENUM_HOSTS_RESPONSE).port;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons((uint16_t)port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);

    // Garbage to the search port, then a stream that claims an enormous frame, a frame before
    // any greeting, and a greeting cut short.
    int udp = socket(AF_INET, SOCK_DGRAM, 0);
    for (int i = 0; i < 50; ++i) {
        std::vector<uint8_t> junk(i * 7 % 600, (uint8_t)(i * 31));
        sendto(udp, junk.data(), junk.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    }
    close(udp);
    const std::vector<std::vector<uint8_t>> streams = {
        {0xFF, 0xFF, 0xFF, 0x7F, 6},
        {9, 0, 0, 0, 6, 1, 2, 3, 4, 5, 6, 7, 8},
        {10, 0, 0, 0, 1, 'D', 'P', '8', 'S', 1, 0, 0},
    };
    for (auto& bytes : streams) {
        int tcp = socket(AF_INET, SOCK_STREAM, 0);
        ASSERT_EQ(0, connect(tcp, reinterpret_cast<sockaddr*>(&to), sizeof to));
        ASSERT_EQ((ssize_t)bytes.size(), send(tcp, bytes.data(), bytes.size(), MSG_NOSIGNAL));
        char sink[16];
        timeval tv{3, 0};
        setsockopt(tcp, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
        EXPECT_LE(recv(tcp, sink, sizeof sink, 0), 0);  // the host hangs up (or the greeting times out)
        close(tcp);
    }
    // None of that became a player, and a real guest still gets in.
    EXPECT_EQ(1u, host.Count(DPN_MSGID_CREATE_PLAYER));
    EXPECT_EQ(S_OK, guest.Join(app));
}

TEST_F(DirectPlay, JoiningNobodyFailsThroughTheCompletion)
{
    TestPeer guest;
    // A port nobody listens on: the connection is refused.
    int probe = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof sa;
    bind(probe, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    getsockname(probe, reinterpret_cast<sockaddr*>(&sa), &len);
    close(probe);
    EXPECT_EQ(DPNERR_NORESPONSE, guest.ConnectTo(NewGuid(), GUID{}, ntohs(sa.sin_port)));
    EXPECT_EQ(0u, guest.Count(DPN_MSGID_CREATE_PLAYER));
    EXPECT_EQ(DPNERR_NOCONNECTION, guest.Send(DPNID_ALL_PLAYERS_GROUP, Bytes("x")));
}
