// Shared between the DirectPlay stand-in's own files; not an interface for games.
#pragma once

#include "platform/dplay8/dplay8.h"
#include "platform/win32/byte_order.h"
#include "platform/win32/platform_internal.h"

#include <netinet/in.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace dplay8_detail {

extern const GUID kIidUnknown;
extern const GUID kGuidNull;

// --- Settings read from the environment each time they are needed ---------------------------
constexpr int PORT_RANGE = 32;
constexpr uint16_t DEFAULT_PORT_BASE = 31400;
uint16_t PortBase();  // PLATFORM_DPLAY8_PORT, else DEFAULT_PORT_BASE
bool LanEnabled();    // PLATFORM_DPLAY8_LAN=1

// --- Timing --------------------------------------------------------------------------------
// Real time, whatever clock the games run on: keep-alives and time-outs are about the wire.
inline uint64_t NowMs()
{
    return (uint64_t)std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
constexpr uint32_t KEEPALIVE_INTERVAL_MS = 500;
constexpr uint32_t PEER_TIMEOUT_MS = 5000;
constexpr uint32_t CONNECT_TIMEOUT_MS = 5000;
constexpr uint32_t DEFAULT_ENUM_COUNT = 5;
constexpr uint32_t DEFAULT_ENUM_RETRY_MS = 1000;
constexpr uint32_t DEFAULT_ENUM_TIMEOUT_MS = 1500;
constexpr uint32_t MAX_FRAME_PAYLOAD = 1u << 20;  // a longer frame is a broken peer

// --- Limits against hostile traffic ----------------------------------------------------------------
// A host keeps at most this many connections that have not greeted it yet; a newer one pushes
// the oldest out, so that a burst of silent connections never starves a real guest or the
// process's descriptors.
constexpr size_t MAX_UNGREETED = 64;
// Connections accepted in one pass of the I/O thread: those of the last pass say hello before
// any of them can be pushed out.
constexpr int ACCEPT_BATCH = MAX_UNGREETED / 2;
// Connections the kernel completes and queues for the host between two passes; a real guest's
// connection that finds the queue full waits a second for the next try of its handshake.
constexpr int LISTEN_BACKLOG = 128;
// Out of descriptors, a connection that has not greeted the host in this long gives up its
// descriptor to the next one waiting (a real guest greets as soon as it is connected).
constexpr uint32_t GREETING_GRACE_MS = 20;
// Out of descriptors with no stranger to let go, the listening socket stays readable; it is left
// alone until a connection closes, or this long.
constexpr uint32_t ACCEPT_PAUSE_MS = 100;
// Datagrams are read in batches of this many, at most DATAGRAMS_PER_PASS from one socket in one
// pass, and a socket that had any rests this long before it is polled again: a flood costs a
// bounded number of wake-ups and reads a second (what is not read, the kernel drops).
constexpr int DATAGRAM_BATCH = 64;
constexpr int DATAGRAMS_PER_PASS = 2 * DATAGRAM_BATCH;
constexpr uint32_t DATAGRAM_REST_MS = 2;
// A host answers one sender (address and port) at most once in this long, and at most this many
// senders in one pass, which bounds its answers to ANSWERS_PER_PASS * 1000 / DATAGRAM_REST_MS a
// second. A real search asks each host once a round.
constexpr uint32_t ANSWER_INTERVAL_MS = 50;
constexpr int ANSWERS_PER_PASS = 4;
// Search answers of one search waiting for the callback; more are dropped (the next round asks again).
constexpr int MAX_QUEUED_ANSWERS = 128;

// The senders a host answered lately, so that one sender repeating its query is not answered
// each time. A fixed table: a sender pushed out by others is merely answered sooner.
class AnsweredLately {
public:
    // Whether `from` may be answered at `now`; if so, it is noted as answered.
    bool Allow(const sockaddr_in& from, uint64_t now);

private:
    struct Sender {
        uint32_t address = 0;
        uint16_t port = 0;  // 0: a free place (no sender has port 0)
        uint64_t at = 0;
    };
    static constexpr size_t SETS = 64, WAYS = 4;
    Sender senders_[SETS][WAYS];
};

// Has the kernel drop, before they reach the socket, datagrams that cannot be search queries,
// so that noise neither wakes the host nor takes room from real queries. Without the filter
// (the kernel refuses it) the host reads and drops them itself.
void KeepOnlyQueries(int udpFd);

// --- Text ------------------------------------------------------------------------------------
std::string ToUtf8(const WCHAR* text);
std::string ToUtf8(const std::wstring& text);
std::wstring FromUtf8(const std::string& text);
std::string GuidText(const GUID& g);

void Trace(const char* call, HRESULT hr, const char* detail = "");

// --- Wire encoding (little-endian) -------------------------------------------------------------
struct Writer {
    std::vector<uint8_t> bytes;
    void U8(uint8_t v) { bytes.push_back(v); }
    void U16(uint16_t v)
    {
        U8((uint8_t)v);
        U8((uint8_t)(v >> 8));
    }
    void U32(uint32_t v)
    {
        for (int i = 0; i < 4; ++i) U8((uint8_t)(v >> (8 * i)));
    }
    void Guid(const GUID& g)
    {
        U32(g.Data1);
        U16(g.Data2);
        U16(g.Data3);
        Raw(g.Data4, 8);
    }
    void Raw(const void* p, size_t n)
    {
        const uint8_t* b = static_cast<const uint8_t*>(p);
        bytes.insert(bytes.end(), b, b + n);
    }
    // UTF-8 with a 16-bit length; longer text is cut at 65535 bytes.
    void Text(const std::wstring& s)
    {
        std::string u = ToUtf8(s);
        if (u.size() > 0xFFFF) u.resize(0xFFFF);
        U16((uint16_t)u.size());
        Raw(u.data(), u.size());
    }
};

struct Reader {
    const uint8_t* data;
    size_t size;
    size_t pos = 0;
    bool ok = true;
    Reader(const uint8_t* d, size_t n) : data(d), size(n) {}
    bool Need(size_t n)
    {
        if (!ok || size - pos < n) ok = false;
        return ok;
    }
    uint8_t U8() { return Need(1) ? data[pos++] : 0; }
    uint16_t U16()
    {
        if (!Need(2)) return 0;
        pos += 2;
        return LoadLe16(data + pos - 2);
    }
    uint32_t U32()
    {
        if (!Need(4)) return 0;
        pos += 4;
        return LoadLe32(data + pos - 4);
    }
    GUID Guid()
    {
        GUID g{};
        g.Data1 = U32();
        g.Data2 = U16();
        g.Data3 = U16();
        if (Need(8)) {
            std::memcpy(g.Data4, data + pos, 8);
            pos += 8;
        }
        return g;
    }
    std::wstring Text()
    {
        uint16_t n = U16();
        if (!Need(n)) return std::wstring();
        std::string u(reinterpret_cast<const char*>(data + pos), n);
        pos += n;
        return FromUtf8(u);
    }
    bool AtEnd() const { return ok && pos == size; }
};

// --- Addresses ---------------------------------------------------------------------------------
class AddressImpl : public RefCounted<IDirectPlay8Address> {
public:
    HRESULT QueryInterface(REFIID iid, void** out) override;
    HRESULT Duplicate(IDirectPlay8Address** out) override;
    HRESULT Clear() override;
    HRESULT SetSP(const GUID* sp) override;
    HRESULT GetSP(GUID* sp) override;
    HRESULT AddComponent(const WCHAR* name, const void* data, DWORD size, DWORD type) override;
    HRESULT GetComponentByName(const WCHAR* name, void* buffer, DWORD* size, DWORD* type) override;

    bool HasSP() const { return hasSp_; }
    const GUID& SP() const { return sp_; }
    // The "hostname" component as 8-bit text; false when absent.
    bool HostName(std::string& out) const;
    // The "port" component; false when absent.
    bool Port(uint16_t& out) const;

private:
    struct Component {
        DWORD type;
        std::vector<uint8_t> data;
    };
    mutable std::mutex mu_;
    bool hasSp_ = false;
    GUID sp_{};
    std::map<std::wstring, Component> components_;
};
// The stand-in's own object behind an interface pointer, or null for a foreign one.
AddressImpl* AsAddressImpl(IDirectPlay8Address* address);
// A new TCP/IP address naming an IPv4 host and port.
AddressImpl* MakeHostAddress(const sockaddr_in& where);

// --- The peer ----------------------------------------------------------------------------------
class PeerImpl : public IDirectPlay8Peer {
public:
    PeerImpl();
    ~PeerImpl() override;

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override;

    HRESULT Initialize(PVOID context, PFNDPNMESSAGEHANDLER handler, DWORD flags) override;
    HRESULT EnumServiceProviders(const GUID* sp, const GUID* application, DPN_SERVICE_PROVIDER_INFO* buffer,
                                 DWORD* size, DWORD* returned, DWORD flags) override;
    HRESULT CancelAsyncOperation(DPNHANDLE handle, DWORD flags) override;
    HRESULT Connect(const DPN_APPLICATION_DESC* desc, IDirectPlay8Address* host, IDirectPlay8Address* device,
                    const DPN_SECURITY_DESC* security, const DPN_SECURITY_CREDENTIALS* credentials,
                    const void* userData, DWORD userDataSize, void* playerContext, void* asyncContext,
                    DPNHANDLE* handle, DWORD flags) override;
    HRESULT SendTo(DPNID to, const DPN_BUFFER_DESC* buffers, DWORD count, DWORD timeOut, void* asyncContext,
                   DPNHANDLE* handle, DWORD flags) override;
    HRESULT GetSPCaps(const GUID* sp, DPN_SP_CAPS* caps, DWORD flags) override;
    HRESULT Host(const DPN_APPLICATION_DESC* desc, IDirectPlay8Address** devices, DWORD deviceCount,
                 const DPN_SECURITY_DESC* security, const DPN_SECURITY_CREDENTIALS* credentials,
                 void* playerContext, DWORD flags) override;
    HRESULT GetApplicationDesc(DPN_APPLICATION_DESC* buffer, DWORD* size, DWORD flags) override;
    HRESULT SetApplicationDesc(const DPN_APPLICATION_DESC* desc, DWORD flags) override;
    HRESULT SetPeerInfo(const DPN_PLAYER_INFO* info, PVOID asyncContext, DPNHANDLE* handle, DWORD flags) override;
    HRESULT GetPeerInfo(DPNID id, DPN_PLAYER_INFO* info, DWORD* size, DWORD flags) override;
    HRESULT GetPlayerContext(DPNID id, PVOID* context, DWORD flags) override;
    HRESULT EnumHosts(PDPN_APPLICATION_DESC desc, IDirectPlay8Address* host, IDirectPlay8Address* device,
                      PVOID userData, DWORD userDataSize, DWORD count, DWORD retryInterval, DWORD timeOut,
                      PVOID userContext, DPNHANDLE* handle, DWORD flags) override;
    HRESULT ReturnBuffer(DPNHANDLE handle, DWORD flags) override;
    HRESULT Close(DWORD flags) override;
    HRESULT RegisterLobby(DPNHANDLE handle, IDirectPlay8LobbiedApplication* lobby, DWORD flags) override;

    // Passes of the I/O thread's loop so far: what the tests count to show that no flood makes
    // it spin.
    uint64_t IoPasses() const { return ioPasses_.load(); }

private:
    enum class State { Uninitialized, Idle, Hosting, Connecting, Connected, Terminated };

    // Frame types of a session connection.
    enum Frame : uint8_t {
        FRAME_HELLO = 1,
        FRAME_WELCOME = 2,
        FRAME_REFUSE = 3,
        FRAME_PLAYER_JOINED = 4,
        FRAME_PLAYER_LEFT = 5,
        FRAME_DATA = 6,
        FRAME_KEEPALIVE = 7,
        FRAME_LEAVE = 8,
        FRAME_TERMINATE = 9,
        FRAME_APPDESC = 10,
        FRAME_INFO = 11,
    };

    struct Player {
        DPNID id = 0;
        std::wstring name;
        DWORD flags = 0;  // DPNPLAYER_LOCAL, DPNPLAYER_HOST
        void* context = nullptr;
        bool created = false;  // DPN_MSGID_CREATE_PLAYER has been handled
        bool leaving = false;  // DPN_MSGID_DESTROY_PLAYER is queued
        int conn = -1;         // the host's connection to this guest
    };

    struct Conn {
        int fd = -1;
        std::vector<uint8_t> in;
        std::vector<uint8_t> out;
        size_t outPos = 0;
        uint64_t lastRecv = 0;
        uint64_t lastSend = 0;
        uint64_t opened = 0;
        DPNID player = 0;         // 0 until the guest's hello was accepted (host side)
        bool connecting = false;  // guest: the TCP connect is under way
        bool closeAfterFlush = false;
        bool broken = false;  // a write failed; the I/O thread treats it as lost
    };

    struct EnumOp {
        DPNHANDLE handle = 0;
        int fd = -1;
        GUID application{};
        std::vector<sockaddr_in> targets;
        DWORD count = 0;  // INFINITE: until cancelled
        DWORD retry = 0;
        DWORD timeOut = 0;
        DWORD sent = 0;
        uint64_t nextSend = 0;
        uint64_t endAt = 0;  // after the last round
        void* userContext = nullptr;
        IDirectPlay8Address* device = nullptr;  // owned duplicate
        bool anyAddress = false;  // a broadcast goes out: answers come from addresses not named
        uint64_t restUntil = 0;   // the socket is not polled before then (see DATAGRAM_REST_MS)
        std::shared_ptr<std::atomic<int>> queued = std::make_shared<std::atomic<int>>(0);  // answers posted, not yet delivered

        // An answer can come only from where a query went.
        bool Asked(const sockaddr_in& from) const;
    };

    struct ConnectOp {
        DPNHANDLE handle = 0;
        void* asyncContext = nullptr;
        void* playerContext = nullptr;
        int conn = -1;
        GUID application{};
        GUID instance{};
    };

    // The session's description as the host keeps it and sends it.
    struct Desc {
        DWORD flags = 0;
        GUID instance{};
        GUID application{};
        DWORD maxPlayers = 0;
        std::wstring name;
    };

    struct HeldBuffer {
        std::vector<uint8_t> data;
        bool callbackDone = false;
        bool returned = false;
    };

    // --- session state, under mu_ ---
    HRESULT CheckSessionLocked(bool& local) const;
    DPNHANDLE NewHandleLocked();
    void WakeIo();
    int AddConnLocked(int fd, bool connecting);
    void QueueFrameLocked(int conn, uint8_t type, const std::vector<uint8_t>& payload);
    void FlushLocked(Conn& c);
    void DropConnLocked(int conn);
    void BroadcastToGuestsLocked(uint8_t type, const std::vector<uint8_t>& payload, int exceptConn);
    std::vector<uint8_t> DescPayloadLocked() const;
    static Desc ReadDesc(Reader& r);  // what DescPayloadLocked wrote
    // A player as the welcome and the join announcement carry him: id, host flag, name.
    static void WritePlayerEntry(Writer& w, const Player& p);
    static Player ReadPlayerEntry(Reader& r);
    DWORD CurrentPlayersLocked() const;  // those not leaving
    void AddPlayerLocked(const Player& p);
    void QueueCreatePlayerLocked(DPNID id, void* initialContext, std::function<void()> after = nullptr);
    void QueueDestroyPlayerLocked(DPNID id, DWORD reason);
    void QueueReceiveLocked(DPNID from, const uint8_t* data, size_t size);
    std::vector<uint8_t> DataPayload(DPNID from, DPNID to, const uint8_t* data, size_t size) const;
    bool ResolveIPv4(const std::string& host, in_addr& out) const;
    DPNID NewPlayerIdLocked();
    void TerminateLocked(HRESULT why, DWORD reason);
    void FinishConnectLocked(HRESULT result);
    void CompleteEnumLocked(size_t index, HRESULT result);
    void ResetSessionLocked();

    // --- the I/O thread ---
    void IoLoop();
    void HandleReadable(int conn);
    void HandleFrame(int conn, uint8_t type, Reader& r);
    void HandleHostFrame(int conn, uint8_t type, Reader& r);
    void HandleGuestFrame(int conn, uint8_t type, Reader& r);
    void AcceptLocked();
    int OldestUngreetedLocked() const;  // -1 when every connection has greeted
    size_t UngreetedLocked() const;
    // Reads what waits on a datagram socket, in batches and at most DATAGRAMS_PER_PASS, handing
    // each datagram and its sender to `each`; the number read.
    template <class Each>
    int ReadDatagrams(int fd, Each&& each);
    void HandleEnumQuery();
    void HandleEnumResponse(size_t index);
    void SendEnumRound(EnumOp& op);
    void RunTimersLocked(uint64_t now);
    void HostLostGuestLocked(int conn, DWORD reason);
    void ConnLostLocked(int conn);
    void FlushAllBeforeClose(uint64_t deadline);

    // --- the worker thread ---
    void Post(std::function<void()> event);
    void DispatchLoop();
    bool OnDispatchThread() const;
    void Deliver(DWORD id, void* message);

    std::atomic<ULONG> refs_{1};

    mutable std::mutex mu_;
    State state_ = State::Uninitialized;
    bool closing_ = false;
    PFNDPNMESSAGEHANDLER handler_ = nullptr;
    void* userContext_ = nullptr;
    std::wstring localName_;
    bool isHost_ = false;
    DPNID localId_ = 0;
    DPNID hostId_ = 0;
    DPNID nextId_ = 0;
    Desc desc_;
    std::map<DPNID, Player> players_;
    std::vector<DPNID> joinOrder_;
    std::map<int, Conn> conns_;
    int nextConn_ = 1;
    int hostConn_ = -1;  // guest: the connection to the host
    int listenFd_ = -1;
    uint64_t acceptPausedUntil_ = 0;  // out of descriptors: the listening socket rests until then
    int udpFd_ = -1;
    uint64_t queryRestUntil_ = 0;  // the search socket is not polled before then
    AnsweredLately answeredLately_;
    std::vector<uint8_t> datagrams_;  // the I/O thread's receive buffers
    uint16_t port_ = 0;
    std::vector<EnumOp> enums_;
    ConnectOp connect_;
    bool connectPending_ = false;
    DPNHANDLE nextHandle_ = 1;
    int wake_[2] = {-1, -1};
    bool stopIo_ = false;
    std::atomic<uint64_t> ioPasses_{0};
    std::thread io_;

    std::mutex bufMu_;
    std::map<DPNHANDLE, HeldBuffer> held_;
    DPNHANDLE nextBuffer_ = 1;

    std::mutex qmu_;
    std::condition_variable qcv_;
    std::deque<std::function<void()>> queue_;
    bool stopDispatch_ = false;
    std::thread dispatch_;
    std::thread::id dispatchId_;
};

}  // namespace dplay8_detail
