// What the wizard and staging-area tests share: a port range of this process's own on loopback,
// the code under test with its DirectPlay peer and the game's message handler, a second peer
// standing for the other computer (it speaks the stage messages byte by byte), and a way for a
// test's "user" thread to act on dialogs that live on the main thread.
#pragma once

#include "platform/tests/support/test_ports.h"
#include "fenwolt/Game/Network/GameMessages.h"
#include "fenwolt/Game/Network/Multi.h"
#include "fenwolt/Game/Network/NetStage.h"
#include "fenwolt/Game/Network/NetState.h"
#include "fenwolt/common/Utilities.h"
#include "fenwolt/common/netconnect.h"
#include "net_a_support.h"
#include "platform/dialogs/dialogs_testing.h"
#include "platform/dplay8/dplay8.h"
#include "platform/win32/platform_internal.h"
#include "platform/win32/win32_testing.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace net_b {

// Every test process searches and hosts in a port range of its own, so that tests running side
// by side never see each other's sessions. Nothing leaves 127.0.0.1.
inline void UseOwnPorts()
{
    char base[16];
    std::snprintf(base, sizeof base, "%d", OwnPortBase());
    setenv("PLATFORM_DPLAY8_PORT", base, 1);
    unsetenv("PLATFORM_DPLAY8_LAN");
}

// How long a wait for the other side (a message, a dialog, the main thread) may last before a
// test gives up: a bound for what never comes, generous for a busy machine, not a time anything
// must keep.
constexpr int PatienceMs = 60000;

inline bool WaitUntil(const std::function<bool()>& done, int timeoutMs = PatienceMs)
{
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

inline std::wstring Wide(const char* text)
{
    std::wstring w;
    for (const char* p = text; *p; ++p) w.push_back(static_cast<unsigned char>(*p));
    return w;
}

inline IDirectPlay8Address* TcpAddress()
{
    IDirectPlay8Address* address = nullptr;
    if (FAILED(CoCreateInstance(CLSID_DirectPlay8Address, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectPlay8Address,
                                reinterpret_cast<void**>(&address))))
        return nullptr;
    address->SetSP(&CLSID_DP8SP_TCPIP);
    return address;
}

inline HRESULT SetName(IDirectPlay8Peer* peer, const char* name)
{
    std::wstring w = Wide(name);
    DPN_PLAYER_INFO info{};
    info.dwSize = sizeof info;
    info.dwInfoFlags = DPNINFO_NAME;
    info.pwszName = w.data();
    return peer->SetPeerInfo(&info, nullptr, nullptr, DPNSETPEERINFO_SYNC);
}

inline HRESULT HostOn(IDirectPlay8Peer* peer, const char* session, DWORD maxPlayers, const char* player)
{
    HRESULT hr = SetName(peer, player);
    if (FAILED(hr)) return hr;
    std::wstring name = Wide(session);
    DPN_APPLICATION_DESC desc{};
    desc.dwSize = sizeof desc;
    desc.guidApplication = NetApplicationGuid;
    desc.dwMaxPlayers = maxPlayers;
    desc.pwszSessionName = name.data();
    IDirectPlay8Address* device = TcpAddress();
    hr = peer->Host(&desc, &device, 1, nullptr, nullptr, nullptr, 0);
    device->Release();
    return hr;
}

inline DWORD SessionMaxPlayers(IDirectPlay8Peer* peer)
{
    DWORD size = 0;
    if (peer->GetApplicationDesc(nullptr, &size, 0) != DPNERR_BUFFERTOOSMALL) return 0xFFFFFFFF;
    std::vector<BYTE> buffer(size);
    auto* desc = reinterpret_cast<DPN_APPLICATION_DESC*>(buffer.data());
    desc->dwSize = sizeof(DPN_APPLICATION_DESC);
    if (FAILED(peer->GetApplicationDesc(desc, &size, 0))) return 0xFFFFFFFF;
    return desc->dwMaxPlayers;
}

// --- Stage messages as bytes --------------------------------------------------------------
inline std::vector<uint8_t> Bytes(const void* p, size_t n)
{
    const auto* b = static_cast<const uint8_t*>(p);
    return std::vector<uint8_t>(b, b + n);
}
inline std::vector<uint8_t> SlotMessage(int32_t id, int32_t slot)
{
    StageMsgSlot m{id, slot};
    return Bytes(&m, sizeof m);
}
inline std::vector<uint8_t> BareMessage(int32_t id)
{
    StageMsgHeader m{id};
    return Bytes(&m, sizeof m);
}
inline std::vector<uint8_t> ChatMessage(const char* text)
{
    StageMsgChat m{};
    m.id = STAGE_MSGID_CHAT;
    std::snprintf(m.text, sizeof m.text, "%s", text);
    return Bytes(&m, sizeof m);
}
// A table as a host sends it: slot 0 the host, slot 1 the guest (or open), ready bits as given.
inline StageData Table(const char* hostName, bool hostReady, const char* guestName, bool guestReady, DWORD guestId)
{
    StageData d{};
    d.id = STAGE_MSGID_SETSTAGEDATA;
    for (StageSlot& s : d.slots) {
        s.status = SLOT_CLOSED;
        s.dpnid = SLOT_NO_PLAYER;
    }
    d.slots[0].status = SLOT_PLAYER | (hostReady ? SLOT_READY : 0);
    d.slots[0].dpnid = 0;
    std::snprintf(d.slots[0].name, sizeof d.slots[0].name, "%s", hostName);
    if (guestName) {
        d.slots[1].status = SLOT_PLAYER | (guestReady ? SLOT_READY : 0);
        d.slots[1].dpnid = guestId;
        std::snprintf(d.slots[1].name, sizeof d.slots[1].name, "%s", guestName);
    } else {
        d.slots[1].status = SLOT_OPEN;
    }
    return d;
}

// --- The other computer -------------------------------------------------------------------
class FakePeer {
public:
    struct Message {
        DPNID from;
        std::vector<uint8_t> bytes;
        int32_t Id() const
        {
            int32_t id = 0;
            if (bytes.size() >= 4) std::memcpy(&id, bytes.data(), 4);
            return id;
        }
    };

    FakePeer()
    {
        CoCreateInstance(CLSID_DirectPlay8Peer, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectPlay8Peer,
                         reinterpret_cast<void**>(&peer_));
        if (peer_) peer_->Initialize(this, &FakePeer::Handler, 0);
    }
    ~FakePeer()
    {
        Close();
        if (peer_) peer_->Release();
    }
    FakePeer(const FakePeer&) = delete;
    FakePeer& operator=(const FakePeer&) = delete;

    IDirectPlay8Peer* Peer() { return peer_; }
    HRESULT Host(const char* session, DWORD maxPlayers, const char* player)
    {
        return HostOn(peer_, session, maxPlayers, player);
    }

    // Searches loopback for the game's session of that name and joins it as `player`.
    HRESULT Join(const char* session, const char* player, int timeoutMs = PatienceMs)
    {
        HRESULT hr = SetName(peer_, player);
        if (FAILED(hr)) return hr;
        std::wstring wanted = Wide(session);
        DPN_APPLICATION_DESC query{};
        query.dwSize = sizeof query;
        query.guidApplication = NetApplicationGuid;
        IDirectPlay8Address* host = TcpAddress();
        IDirectPlay8Address* device = TcpAddress();
        DPNHANDLE search = 0;
        hr = peer_->EnumHosts(&query, host, device, nullptr, 0, INFINITE, 0, INFINITE, nullptr, &search, 0);
        host->Release();
        device->Release();
        if (FAILED(hr) && hr != DPNSUCCESS_PENDING) return hr;
        bool found = WaitUntil(
            [&] {
                std::lock_guard<std::mutex> lock(mu_);
                for (auto& f : found_)
                    if (f.name == wanted) return true;
                return false;
            },
            timeoutMs);
        peer_->CancelAsyncOperation(search, 0);
        if (!found) return DPNERR_NORESPONSE;
        Found target;
        {
            std::lock_guard<std::mutex> lock(mu_);
            for (auto& f : found_)
                if (f.name == wanted) target = f;
        }
        DPN_APPLICATION_DESC desc = target.desc;
        desc.pwszSessionName = target.name.data();
        desc.pwszPassword = nullptr;
        desc.pvReservedData = nullptr;
        desc.dwReservedDataSize = 0;
        desc.pvApplicationReservedData = nullptr;
        desc.dwApplicationReservedDataSize = 0;
        connected_ = false;
        DPNHANDLE handle = 0;
        hr = peer_->Connect(&desc, target.host, target.device, nullptr, nullptr, nullptr, 0, nullptr, nullptr, &handle, 0);
        if (FAILED(hr) && hr != DPNSUCCESS_PENDING) return hr;
        if (!WaitUntil([&] { return connected_.load(); }, timeoutMs)) return DPNERR_TIMEDOUT;
        return connectResult_;
    }

    HRESULT Send(DPNID to, const std::vector<uint8_t>& bytes, DWORD flags = 0)
    {
        std::vector<uint8_t> copy = bytes;
        DPN_BUFFER_DESC buffer{static_cast<DWORD>(copy.size()), copy.data()};
        DPNHANDLE handle = 0;
        return peer_->SendTo(to, &buffer, 1, 0, nullptr, &handle, flags);
    }
    HRESULT SendToOthers(const std::vector<uint8_t>& bytes) { return Send(Other(), bytes); }

    void Close()
    {
        if (peer_ && !closed_) {
            peer_->Close(0);
            closed_ = true;
        }
        std::lock_guard<std::mutex> lock(mu_);
        for (auto& f : found_) {
            if (f.host) f.host->Release();
            if (f.device) f.device->Release();
        }
        found_.clear();
    }

    std::vector<Message> Received()
    {
        std::lock_guard<std::mutex> lock(mu_);
        return received_;
    }
    std::vector<Message> ReceivedWithId(int32_t id)
    {
        std::vector<Message> out;
        for (Message& m : Received())
            if (m.Id() == id) out.push_back(m);
        return out;
    }
    bool WaitForMessage(int32_t id, size_t count = 1, int timeoutMs = PatienceMs)
    {
        return WaitUntil([&] { return ReceivedWithId(id).size() >= count; }, timeoutMs);
    }
    DPNID LocalId()
    {
        std::lock_guard<std::mutex> lock(mu_);
        return localId_;
    }
    // The one other player (the computer under test).
    DPNID Other()
    {
        std::lock_guard<std::mutex> lock(mu_);
        for (auto& p : players_)
            if (p.id != localId_) return p.id;
        return 0;
    }
    bool WaitForOther(int timeoutMs = PatienceMs)
    {
        return WaitUntil([&] { return Other() != 0; }, timeoutMs);
    }
    bool Terminated() const { return terminated_; }

private:
    struct Player {
        DPNID id;
        std::string name;
    };
    struct Found {
        std::wstring name;
        DPN_APPLICATION_DESC desc{};
        IDirectPlay8Address* host = nullptr;
        IDirectPlay8Address* device = nullptr;
    };

    static HRESULT Handler(void* context, DWORD id, void* message)
    {
        return static_cast<FakePeer*>(context)->Handle(id, message);
    }
    HRESULT Handle(DWORD id, void* message)
    {
        switch (id) {
        case DPN_MSGID_CREATE_PLAYER: {
            auto* m = static_cast<DPNMSG_CREATE_PLAYER*>(message);
            DWORD size = 0;
            peer_->GetPeerInfo(m->dpnidPlayer, nullptr, &size, 0);
            std::vector<BYTE> buffer(std::max<size_t>(size, sizeof(DPN_PLAYER_INFO)));
            auto* info = reinterpret_cast<DPN_PLAYER_INFO*>(buffer.data());
            info->dwSize = sizeof(DPN_PLAYER_INFO);
            std::string name;
            DWORD flags = 0;
            if (SUCCEEDED(peer_->GetPeerInfo(m->dpnidPlayer, info, &size, 0))) {
                flags = info->dwPlayerFlags;
                for (const WCHAR* p = info->pwszName; p && *p; ++p) name.push_back(static_cast<char>(*p));
            }
            std::lock_guard<std::mutex> lock(mu_);
            if (flags & DPNPLAYER_LOCAL) localId_ = m->dpnidPlayer;
            players_.push_back({m->dpnidPlayer, name});
            break;
        }
        case DPN_MSGID_DESTROY_PLAYER: {
            auto* m = static_cast<DPNMSG_DESTROY_PLAYER*>(message);
            std::lock_guard<std::mutex> lock(mu_);
            for (auto it = players_.begin(); it != players_.end(); ++it)
                if (it->id == m->dpnidPlayer) {
                    players_.erase(it);
                    break;
                }
            break;
        }
        case DPN_MSGID_RECEIVE: {
            auto* m = static_cast<DPNMSG_RECEIVE*>(message);
            std::lock_guard<std::mutex> lock(mu_);
            received_.push_back({m->dpnidSender, std::vector<uint8_t>(m->pReceiveData, m->pReceiveData + m->dwReceiveDataSize)});
            break;
        }
        case DPN_MSGID_CONNECT_COMPLETE:
            connectResult_ = static_cast<DPNMSG_CONNECT_COMPLETE*>(message)->hResultCode;
            connected_ = true;
            break;
        case DPN_MSGID_ENUM_HOSTS_RESPONSE: {
            auto* m = static_cast<DPNMSG_ENUM_HOSTS_RESPONSE*>(message);
            Found f;
            for (const WCHAR* p = m->pApplicationDescription->pwszSessionName; p && *p; ++p) f.name.push_back(*p);
            f.desc = *m->pApplicationDescription;
            m->pAddressSender->Duplicate(&f.host);
            if (m->pAddressDevice) m->pAddressDevice->Duplicate(&f.device);
            std::lock_guard<std::mutex> lock(mu_);
            found_.push_back(std::move(f));
            break;
        }
        case DPN_MSGID_TERMINATE_SESSION: terminated_ = true; break;
        default: break;
        }
        return S_OK;
    }

    IDirectPlay8Peer* peer_ = nullptr;
    bool closed_ = false;
    std::mutex mu_;
    DPNID localId_ = 0;
    std::vector<Player> players_;
    std::vector<Message> received_;
    std::vector<Found> found_;
    std::atomic<bool> connected_{false};
    std::atomic<HRESULT> connectResult_{0};
    std::atomic<bool> terminated_{false};
};

// --- The computer under test --------------------------------------------------------------
// The wizard and the stage with their peer, wired to the game's DirectPlay handler as the
// two-computer set-up wires them.
class UnderTest {
public:
    UnderTest()
    {
        net_a::ResetNetGlobals();
        InitializeCriticalSection(&Net.playerListLock);
        Net.playerListLockMade = true;
        Net.closing = false;
        wizard = new ConnectionWizard(nullptr, NET_APPLICATION_NAME, &NetApplicationGuid);
        stage = new NetStage(nullptr, NET_APPLICATION_NAME);
        Net.wizard = wizard;
        Net.stage = stage;
        MakePeer();
    }
    ~UnderTest()
    {
        DropPeer();
        Net.wizard = nullptr;
        Net.stage = nullptr;
        delete wizard;
        delete stage;
        DeleteCriticalSection(&Net.playerListLock);
        Net.playerListLockMade = false;
        net_a::ReleaseNetGlobals();
    }
    // New DirectPlay objects, as the set-up makes them before each wizard run.
    void MakePeer()
    {
        DropPeer();
        Net.closing = false;
        CoCreateInstance(CLSID_DirectPlay8Peer, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectPlay8Peer,
                         reinterpret_cast<void**>(&peer));
        CoCreateInstance(CLSID_DirectPlay8LobbiedApplication, nullptr, CLSCTX_INPROC_SERVER,
                         IID_IDirectPlay8LobbiedApplication, reinterpret_cast<void**>(&lobby));
        Net.peer = peer;
        Net.lobbiedApplication = lobby;
        wizard->Init(peer, lobby);
        stage->Init(peer);
        peer->Initialize(this, &UnderTest::Handler, 0);
        DPNHANDLE connection = 0;
        lobby->Initialize(nullptr, DirectPlayLobbyMessageHandler, &connection, 0);
    }
    void DropPeer()
    {
        if (!peer) return;
        Net.closing = true;
        peer->Close(0);
        peer->Release();
        if (lobby) {
            lobby->Close(0);
            lobby->Release();
        }
        peer = nullptr;
        lobby = nullptr;
        Net.peer = nullptr;
        Net.lobbiedApplication = nullptr;
        DiscardNetworkMessages();
        Net.playerCount = 0;
    }
    HRESULT Host(const char* session, DWORD maxPlayers, const char* player)
    {
        return HostOn(peer, session, maxPlayers, player);
    }

    // How many answers from `session` to the searches of the computer under test came in after
    // the last one from `last`.
    int AnswersAfter(const std::string& last, const std::string& session)
    {
        std::lock_guard<std::mutex> lock(answersMutex_);
        int n = 0;
        for (auto it = answers_.rbegin(); it != answers_.rend() && *it != last; ++it) n += *it == session;
        return n;
    }

    ConnectionWizard* wizard = nullptr;
    NetStage* stage = nullptr;
    IDirectPlay8Peer* peer = nullptr;
    IDirectPlay8LobbiedApplication* lobby = nullptr;

private:
    // The game's handler, with the sessions that answered a search noted on the way.
    static HRESULT Handler(void* context, DWORD id, void* message)
    {
        if (id == DPN_MSGID_ENUM_HOSTS_RESPONSE) {
            std::string name;
            for (const WCHAR* p = static_cast<DPNMSG_ENUM_HOSTS_RESPONSE*>(message)->pApplicationDescription->pwszSessionName;
                 p && *p; ++p)
                name.push_back(static_cast<char>(*p));
            auto* self = static_cast<UnderTest*>(context);
            std::lock_guard<std::mutex> lock(self->answersMutex_);
            self->answers_.push_back(std::move(name));
        }
        return DirectPlayMessageHandler(nullptr, id, message);
    }

    std::mutex answersMutex_;
    std::vector<std::string> answers_;
};

// --- The user, on a thread of his own -----------------------------------------------------
// Dialogs belong to the main thread, which is busy in the code under test's message loop. The
// user's steps run on another thread and hand what touches dialogs to the main thread, which
// carries them out at its dialog frames (DialogSetTestTicker) or in Finish.
class User {
public:
    explicit User(std::function<void(User&)> steps)
    {
        DialogSetTestTicker([this] { RunQueued(); });
        thread_ = std::thread([this, steps] {
            steps(*this);
            done_ = true;
        });
    }
    ~User() { Finish(); }

    // Runs `f` on the main thread and returns its result (a default value if the main thread
    // does not get to it in time).
    template <class F>
    auto OnMain(F f) -> decltype(f())
    {
        using R = decltype(f());
        auto task = std::make_shared<std::packaged_task<R()>>(f);
        auto future = task->get_future();
        {
            std::lock_guard<std::mutex> lock(mu_);
            queue_.push_back([task] { (*task)(); });
        }
        if (future.wait_for(std::chrono::milliseconds(PatienceMs)) != std::future_status::ready) {
            ADD_FAILURE() << "the main thread did not take the user's step";
            return R();
        }
        return future.get();
    }
    // Waits (on the user's thread) until `done` holds when looked at on the main thread.
    bool Until(const std::function<bool()>& done, int timeoutMs = PatienceMs)
    {
        return WaitUntil([&] { return OnMain(done); }, timeoutMs);
    }
    // The main thread: serves the user until his steps are over, then stops.
    void Finish()
    {
        while (!done_) {
            RunQueued();
            DialogTestPump(5);
        }
        if (thread_.joinable()) thread_.join();
        RunQueued();
        DialogSetTestTicker(nullptr);
    }

private:
    void RunQueued()
    {
        for (;;) {
            std::function<void()> next;
            {
                std::lock_guard<std::mutex> lock(mu_);
                if (queue_.empty()) return;
                next = std::move(queue_.front());
                queue_.pop_front();
            }
            next();
        }
    }
    std::mutex mu_;
    std::deque<std::function<void()>> queue_;
    std::thread thread_;
    std::atomic<bool> done_{false};
};

// The wizard's and the stage's tests: ports of their own, message boxes recorded rather than
// shown, the code under test made afresh, and nothing left behind for the next test.
class DialogFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        UseOwnPorts();
        ASSERT_TRUE(PlatformInit());
        PlatformRecordMessageBoxes(true);
        PlatformClearRecordedMessageBoxes();
        ut = std::make_unique<UnderTest>();
    }
    void TearDown() override
    {
        DialogSetTestDriver(nullptr);
        DialogSetTestTicker(nullptr);
        ut.reset();
        PlatformRecordMessageBoxes(false);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
    }
    static bool HasBox(const std::string& text)
    {
        for (const PlatformMessageBox& b : PlatformRecordedMessageBoxes())
            if (text == b.text) return true;
        return false;
    }
    std::unique_ptr<UnderTest> ut;
};

// The dialog as drawn, into BUILD_ROOT/screens/<name> for a look at it.
inline bool SaveDialogPicture(HWND d, const std::string& name)
{
    int w, h;
    std::vector<uint8_t> rgb;
    if (!DialogTestRenderFramed(d, w, h, rgb)) return false;
    std::filesystem::create_directories(std::string(BUILD_ROOT) + "/screens");
    return PlatformWriteRgbPng(std::string(BUILD_ROOT) + "/screens/" + name, w, h, rgb);
}

}  // namespace net_b
