// A peer under test: records every message its handler sees, with waits, and the few steps every
// session test takes (host, find, join).
#pragma once

#include "platform/tests/support/test_ports.h"
#include "platform/dplay8/dplay8.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace dplay8_test {

struct Seen {
    DWORD id = 0;
    DPNID player = 0;
    void* context = nullptr;
    std::vector<uint8_t> data;
    HRESULT hr = S_OK;
    DWORD reason = 0;
    DPNHANDLE handle = 0;
    GUID instance{}, application{};
    DWORD maxPlayers = 0, currentPlayers = 0;
    std::wstring name;
    std::wstring hostName;
    DWORD port = 0;
    std::thread::id thread;
};

inline GUID NewGuid()
{
    std::random_device rd;
    GUID g;
    g.Data1 = rd();
    g.Data2 = (uint16_t)rd();
    g.Data3 = (uint16_t)rd();
    for (auto& b : g.Data4) b = (uint8_t)rd();
    return g;
}

// Each test runs in a process of its own (CTest), possibly beside others: a port range per process.
inline void UseOwnPortRange()
{
    char text[16];
    snprintf(text, sizeof text, "%d", OwnPortBase());
    setenv("PLATFORM_DPLAY8_PORT", text, 1);
    unsetenv("PLATFORM_DPLAY8_LAN");
}

inline IDirectPlay8Address* NewAddress()
{
    IDirectPlay8Address* a = nullptr;
    EXPECT_EQ(S_OK, CoCreateInstance(CLSID_DirectPlay8Address, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_IDirectPlay8Address, reinterpret_cast<void**>(&a)));
    EXPECT_EQ(S_OK, a->SetSP(&CLSID_DP8SP_TCPIP));
    return a;
}

class TestPeer {
public:
    // Runs inside the handler before it records; its result is the handler's (S_OK when unset).
    std::function<HRESULT(DWORD id, void* message)> hook;
    IDirectPlay8Peer* peer = nullptr;
    void* contextForPlayers = nullptr;  // what CREATE_PLAYER hands back as the player context

    TestPeer()
    {
        EXPECT_EQ(S_OK, CoCreateInstance(CLSID_DirectPlay8Peer, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectPlay8Peer,
                                         reinterpret_cast<void**>(&peer)));
        EXPECT_EQ(S_OK, peer->Initialize(this, &TestPeer::Handler, 0));
    }
    ~TestPeer()
    {
        if (peer) {
            peer->Close(0);
            peer->Release();
        }
    }
    TestPeer(const TestPeer&) = delete;
    TestPeer& operator=(const TestPeer&) = delete;

    void SetName(const wchar_t* name)
    {
        DPN_PLAYER_INFO info{};
        info.dwSize = sizeof info;
        info.dwInfoFlags = DPNINFO_NAME;
        info.pwszName = const_cast<wchar_t*>(name);
        EXPECT_EQ(S_OK, peer->SetPeerInfo(&info, nullptr, nullptr, DPNSETPEERINFO_SYNC));
    }

    HRESULT Host(const GUID& application, DWORD maxPlayers, const wchar_t* session = L"Session")
    {
        IDirectPlay8Address* device = NewAddress();
        DPN_APPLICATION_DESC desc{};
        desc.dwSize = sizeof desc;
        desc.guidApplication = application;
        desc.dwMaxPlayers = maxPlayers;
        desc.pwszSessionName = const_cast<wchar_t*>(session);
        HRESULT hr = peer->Host(&desc, &device, 1, nullptr, nullptr, nullptr, 0);
        device->Release();
        return hr;
    }

    // Starts a search; the responses and the completion are recorded.
    DPNHANDLE Search(const GUID& application, DWORD count = INFINITE, DWORD retry = 100, DWORD timeOut = 300)
    {
        IDirectPlay8Address* device = NewAddress();
        IDirectPlay8Address* host = NewAddress();
        DPN_APPLICATION_DESC desc{};
        desc.dwSize = sizeof desc;
        desc.guidApplication = application;
        DPNHANDLE handle = 0;
        EXPECT_EQ(DPNSUCCESS_PENDING, peer->EnumHosts(&desc, host, device, nullptr, 0, count, retry, timeOut, nullptr,
                                                      &handle, DPNENUMHOSTS_OKTOQUERYFORADDRESSING));
        device->Release();
        host->Release();
        return handle;
    }

    // Finds the session of that application and joins it; the connect result.
    HRESULT Join(const GUID& application, const GUID* instance = nullptr)
    {
        DPNHANDLE search = Search(application);
        bool found = WaitFor([&](const Seen& s) {
            return s.id == DPN_MSGID_ENUM_HOSTS_RESPONSE && (!instance || s.instance == *instance);
        });
        peer->CancelAsyncOperation(search, 0);
        if (!found) return DPNERR_NORESPONSE;
        Seen answer = Last(DPN_MSGID_ENUM_HOSTS_RESPONSE);
        return ConnectTo(answer.application, answer.instance, answer.port);
    }

    HRESULT ConnectTo(const GUID& application, const GUID& instance, DWORD port)
    {
        IDirectPlay8Address* device = NewAddress();
        IDirectPlay8Address* host = NewAddress();
        const wchar_t* loopback = L"127.0.0.1";
        host->AddComponent(DPNA_KEY_HOSTNAME, loopback, (DWORD)((wcslen(loopback) + 1) * sizeof(wchar_t)),
                           DPNA_DATATYPE_STRING);
        host->AddComponent(DPNA_KEY_PORT, &port, sizeof port, DPNA_DATATYPE_DWORD);
        DPN_APPLICATION_DESC desc{};
        desc.dwSize = sizeof desc;
        desc.guidApplication = application;
        desc.guidInstance = instance;
        DPNHANDLE handle = 0;
        const size_t before = Count(DPN_MSGID_CONNECT_COMPLETE);
        HRESULT hr = peer->Connect(&desc, host, device, nullptr, nullptr, nullptr, 0, nullptr, nullptr, &handle, 0);
        device->Release();
        host->Release();
        if (hr != DPNSUCCESS_PENDING) return hr;
        if (!WaitUntil([&] { return Count(DPN_MSGID_CONNECT_COMPLETE) > before; })) return DPNERR_TIMEDOUT;
        return Last(DPN_MSGID_CONNECT_COMPLETE).hr;
    }

    HRESULT Send(DPNID to, const std::vector<uint8_t>& bytes, DWORD flags = DPNSEND_NOLOOPBACK)
    {
        DPN_BUFFER_DESC b{(DWORD)bytes.size(), const_cast<uint8_t*>(bytes.data())};
        DPNHANDLE h = 0;
        return peer->SendTo(to, &b, 1, 0, nullptr, &h, flags);
    }

    DPNID LocalId()
    {
        std::lock_guard<std::mutex> lock(mu_);
        for (auto& s : seen_)
            if (s.id == DPN_MSGID_CREATE_PLAYER && s.context == &localMarker_) return s.player;
        return 0;
    }

    std::vector<Seen> All()
    {
        std::lock_guard<std::mutex> lock(mu_);
        return seen_;
    }
    std::vector<Seen> Of(DWORD id)
    {
        std::vector<Seen> out;
        for (auto& s : All())
            if (s.id == id) out.push_back(s);
        return out;
    }
    size_t Count(DWORD id)
    {
        std::lock_guard<std::mutex> lock(mu_);
        return counts_[id];
    }
    Seen Last(DWORD id)
    {
        auto v = Of(id);
        return v.empty() ? Seen() : v.back();
    }
    void Forget()
    {
        std::lock_guard<std::mutex> lock(mu_);
        seen_.clear();
        counts_.clear();
    }

    bool WaitUntil(const std::function<bool()>& done, int ms = 5000)
    {
        auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        for (;;) {
            uint64_t generation;
            {
                std::lock_guard<std::mutex> lock(mu_);
                generation = generation_;
            }
            if (done()) return true;
            std::unique_lock<std::mutex> lock(mu_);
            if (generation_ == generation && cv_.wait_until(lock, until) == std::cv_status::timeout &&
                generation_ == generation) {
                lock.unlock();
                return done();
            }
        }
    }
    bool WaitFor(const std::function<bool(const Seen&)>& match, int ms = 5000)
    {
        return WaitUntil(
            [&] {
                for (auto& s : All())
                    if (match(s)) return true;
                return false;
            },
            ms);
    }
    // The marker that the local player's CREATE_PLAYER carries (Host and Connect pass none, so
    // the handler tells the local player apart through GetPeerInfo).
    void* LocalMarker() { return &localMarker_; }

private:
    static HRESULT Handler(void* context, DWORD id, void* message)
    {
        auto* self = static_cast<TestPeer*>(context);
        Seen s;
        s.id = id;
        s.thread = std::this_thread::get_id();
        switch (id) {
        case DPN_MSGID_CREATE_PLAYER: {
            auto* m = static_cast<DPNMSG_CREATE_PLAYER*>(message);
            s.player = m->dpnidPlayer;
            DWORD size = 0;
            self->peer->GetPeerInfo(m->dpnidPlayer, nullptr, &size, 0);
            std::vector<uint8_t> buffer(size);
            auto* info = reinterpret_cast<DPN_PLAYER_INFO*>(buffer.data());
            info->dwSize = sizeof(DPN_PLAYER_INFO);
            if (self->peer->GetPeerInfo(m->dpnidPlayer, info, &size, 0) == S_OK) {
                s.name = info->pwszName ? info->pwszName : L"";
                s.reason = info->dwPlayerFlags;
                m->pvPlayerContext = (info->dwPlayerFlags & DPNPLAYER_LOCAL) ? self->LocalMarker()
                                                                             : self->contextForPlayers;
            }
            s.context = m->pvPlayerContext;
            break;
        }
        case DPN_MSGID_DESTROY_PLAYER: {
            auto* m = static_cast<DPNMSG_DESTROY_PLAYER*>(message);
            s.player = m->dpnidPlayer;
            s.context = m->pvPlayerContext;
            s.reason = m->dwReason;
            break;
        }
        case DPN_MSGID_RECEIVE: {
            auto* m = static_cast<DPNMSG_RECEIVE*>(message);
            s.player = m->dpnidSender;
            s.context = m->pvPlayerContext;
            s.data.assign(m->pReceiveData, m->pReceiveData + m->dwReceiveDataSize);
            s.handle = m->hBufferHandle;
            break;
        }
        case DPN_MSGID_TERMINATE_SESSION:
            s.hr = static_cast<DPNMSG_TERMINATE_SESSION*>(message)->hResultCode;
            break;
        case DPN_MSGID_CONNECT_COMPLETE:
            s.hr = static_cast<DPNMSG_CONNECT_COMPLETE*>(message)->hResultCode;
            s.handle = static_cast<DPNMSG_CONNECT_COMPLETE*>(message)->hAsyncOp;
            break;
        case DPN_MSGID_ASYNC_OP_COMPLETE:
            s.hr = static_cast<DPNMSG_ASYNC_OP_COMPLETE*>(message)->hResultCode;
            s.handle = static_cast<DPNMSG_ASYNC_OP_COMPLETE*>(message)->hAsyncOp;
            break;
        case DPN_MSGID_ENUM_HOSTS_RESPONSE: {
            auto* m = static_cast<DPNMSG_ENUM_HOSTS_RESPONSE*>(message);
            s.instance = m->pApplicationDescription->guidInstance;
            s.application = m->pApplicationDescription->guidApplication;
            s.maxPlayers = m->pApplicationDescription->dwMaxPlayers;
            s.currentPlayers = m->pApplicationDescription->dwCurrentPlayers;
            s.name = m->pApplicationDescription->pwszSessionName ? m->pApplicationDescription->pwszSessionName : L"";
            wchar_t host[64] = {};
            DWORD size = sizeof host, type = 0;
            m->pAddressSender->GetComponentByName(DPNA_KEY_HOSTNAME, host, &size, &type);
            s.hostName = host;
            size = sizeof s.port;
            m->pAddressSender->GetComponentByName(DPNA_KEY_PORT, &s.port, &size, &type);
            break;
        }
        default:
            break;
        }
        HRESULT result = self->hook ? self->hook(id, message) : S_OK;
        {
            std::lock_guard<std::mutex> lock(self->mu_);
            ++self->counts_[id];
            ++self->generation_;
            self->seen_.push_back(std::move(s));
        }
        self->cv_.notify_all();
        return result;
    }

    std::mutex mu_;
    std::condition_variable cv_;
    std::vector<Seen> seen_;
    std::map<DWORD, size_t> counts_;
    uint64_t generation_ = 0;
    int localMarker_ = 0;
};

inline std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

#ifdef DPLAY8_PROBE
// A child process running dplay8_probe; on cue, it waits for Cue() before it hosts or joins.
class Probe {
public:
    Probe(const char* mode, const GUID& application, bool onCue = false)
    {
        char guid[33];
        const uint8_t* b = reinterpret_cast<const uint8_t*>(&application);
        for (int i = 0; i < 16; ++i) snprintf(guid + 2 * i, 3, "%02x", b[i]);
        char cue[] = "on-cue";
        Spawn({mode, guid, onCue ? cue : nullptr});
    }
    // dplay8_probe churn: silent connections to that port, opened and closed.
    explicit Probe(DWORD churnPort)
    {
        const std::string port = std::to_string(churnPort);
        Spawn({"churn", port.c_str(), nullptr});
    }
    ~Probe()
    {
        kill(pid_, SIGKILL);
        int status;
        waitpid(pid_, &status, 0);
        if (out_) fclose(out_);
        close(cue_);
    }
    Probe(const Probe&) = delete;
    Probe& operator=(const Probe&) = delete;

    void Cue() { EXPECT_EQ(1, write(cue_, "\n", 1)); }
    // Whether it is under way: hosted, joined, or flooding (false when it gave up).
    bool Ready()
    {
        char line[64] = {};
        return fgets(line, sizeof line, out_) && strncmp(line, "READY", 5) == 0;
    }
    void Signal(int sig) { kill(pid_, sig); }

private:
    void Spawn(std::vector<const char*> args)
    {
        int fromChild[2], toChild[2];
        EXPECT_EQ(0, pipe(fromChild));
        EXPECT_EQ(0, pipe(toChild));
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fromChild[1], 1);
        posix_spawn_file_actions_adddup2(&actions, toChild[0], 0);
        posix_spawn_file_actions_addclose(&actions, fromChild[0]);
        posix_spawn_file_actions_addclose(&actions, toChild[1]);
        args.insert(args.begin(), DPLAY8_PROBE);
        args.push_back(nullptr);  // the list ends at the first null
        EXPECT_EQ(0, posix_spawn(&pid_, DPLAY8_PROBE, &actions, nullptr, const_cast<char* const*>(args.data()),
                                 environ));
        posix_spawn_file_actions_destroy(&actions);
        close(fromChild[1]);
        close(toChild[0]);
        out_ = fdopen(fromChild[0], "r");
        cue_ = toChild[1];
    }

    pid_t pid_ = -1;
    FILE* out_ = nullptr;
    int cue_ = -1;
};
#endif

}  // namespace dplay8_test
