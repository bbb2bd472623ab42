// The peer's calls and its worker thread. The socket side (the I/O thread, frames, host search)
// is in dplay8_session.cpp.
#include "platform/dplay8/dplay8_internal.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cwchar>
#include <future>
#include <random>

namespace dplay8_detail {

namespace {

GUID RandomGuid()
{
    std::random_device rd;
    GUID g;
    g.Data1 = rd();
    uint32_t v = rd();
    g.Data2 = (uint16_t)v;
    g.Data3 = (uint16_t)((v >> 16 & 0x0FFF) | 0x4000);
    uint32_t a = rd(), b = rd();
    memcpy(g.Data4, &a, 4);
    memcpy(g.Data4 + 4, &b, 4);
    g.Data4[0] = (uint8_t)((g.Data4[0] & 0x3F) | 0x80);
    return g;
}

HRESULT Fail(const char* call, HRESULT hr, const char* detail)
{
    Trace(call, hr, detail);
    return hr;
}

}  // namespace

PeerImpl::PeerImpl() = default;

PeerImpl::~PeerImpl()
{
    bool open;
    {
        std::lock_guard<std::mutex> lock(mu_);
        open = state_ != State::Uninitialized;
    }
    if (open) Close(0);
}

HRESULT PeerImpl::QueryInterface(REFIID iid, void** out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid == IID_IDirectPlay8Peer || iid == kIidUnknown) {
        AddRef();
        *out = static_cast<IDirectPlay8Peer*>(this);
        return S_OK;
    }
    return E_NOINTERFACE;
}

ULONG PeerImpl::Release()
{
    ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
}

// --- The worker thread ---------------------------------------------------------------------------

void PeerImpl::Post(std::function<void()> event)
{
    {
        std::lock_guard<std::mutex> lock(qmu_);
        queue_.push_back(std::move(event));
    }
    qcv_.notify_one();
}

void PeerImpl::DispatchLoop()
{
    for (;;) {
        std::function<void()> event;
        {
            std::unique_lock<std::mutex> lock(qmu_);
            qcv_.wait(lock, [&] { return !queue_.empty() || stopDispatch_; });
            if (queue_.empty()) return;  // stopping, and everything queued has been delivered
            event = std::move(queue_.front());
            queue_.pop_front();
        }
        event();
    }
}

bool PeerImpl::OnDispatchThread() const { return std::this_thread::get_id() == dispatchId_; }

void PeerImpl::Deliver(DWORD id, void* message) { handler_(userContext_, id, message); }

void PeerImpl::QueueCreatePlayerLocked(DPNID id, void* initialContext, std::function<void()> after)
{
    Post([this, id, initialContext, after] {
        DPNMSG_CREATE_PLAYER m{sizeof(DPNMSG_CREATE_PLAYER), id, initialContext};
        Deliver(DPN_MSGID_CREATE_PLAYER, &m);
        {
            std::lock_guard<std::mutex> lock(mu_);
            auto it = players_.find(id);
            if (it != players_.end()) {
                it->second.context = m.pvPlayerContext;
                it->second.created = true;
            }
        }
        if (after) after();
    });
}

void PeerImpl::QueueDestroyPlayerLocked(DPNID id, DWORD reason)
{
    auto it = players_.find(id);
    if (it == players_.end() || it->second.leaving) return;
    it->second.leaving = true;
    Post([this, id, reason] {
        void* context = nullptr;
        {
            std::lock_guard<std::mutex> lock(mu_);
            auto p = players_.find(id);
            if (p != players_.end()) context = p->second.context;
        }
        DPNMSG_DESTROY_PLAYER m{sizeof(DPNMSG_DESTROY_PLAYER), id, context, reason};
        Deliver(DPN_MSGID_DESTROY_PLAYER, &m);
        std::lock_guard<std::mutex> lock(mu_);
        players_.erase(id);
        for (size_t i = 0; i < joinOrder_.size(); ++i)
            if (joinOrder_[i] == id) {
                joinOrder_.erase(joinOrder_.begin() + (ptrdiff_t)i);
                break;
            }
    });
}

void PeerImpl::QueueReceiveLocked(DPNID from, const uint8_t* data, size_t size)
{
    auto copy = std::make_shared<std::vector<uint8_t>>();
    copy->reserve(size ? size : 1);  // a non-null pointer even for an empty message
    copy->assign(data, data + size);
    Post([this, from, copy] {
        void* context = nullptr;
        {
            std::lock_guard<std::mutex> lock(mu_);
            auto p = players_.find(from);
            if (p != players_.end()) context = p->second.context;
        }
        DPNHANDLE handle;
        uint8_t* bytes;
        const DWORD size = (DWORD)copy->size();
        {
            std::lock_guard<std::mutex> lock(bufMu_);
            handle = nextBuffer_++;
            if (nextBuffer_ == 0) nextBuffer_ = 1;
            HeldBuffer& held = held_[handle];
            held.data = std::move(*copy);
            bytes = held.data.data();
        }
        DPNMSG_RECEIVE m{sizeof(DPNMSG_RECEIVE), from, context, bytes, size, handle};
        HRESULT result = handler_(userContext_, DPN_MSGID_RECEIVE, &m);
        std::lock_guard<std::mutex> lock(bufMu_);
        auto it = held_.find(handle);
        if (it == held_.end()) return;
        if (result == DPNSUCCESS_PENDING && !it->second.returned)
            it->second.callbackDone = true;
        else
            held_.erase(it);
    });
}

// --- Set-up and tear-down --------------------------------------------------------------------------

HRESULT PeerImpl::Initialize(PVOID context, PFNDPNMESSAGEHANDLER handler, DWORD flags)
{
    if (!handler) return Fail("IDirectPlay8Peer::Initialize", DPNERR_INVALIDPARAM, "no message handler");
    if (flags != 0) return Fail("IDirectPlay8Peer::Initialize", DPNERR_INVALIDFLAGS, "no flags are provided");
    std::lock_guard<std::mutex> lock(mu_);
    if (state_ != State::Uninitialized) return DPNERR_ALREADYINITIALIZED;
    if (pipe2(wake_, O_NONBLOCK | O_CLOEXEC) != 0)
        return Fail("IDirectPlay8Peer::Initialize", DPNERR_OUTOFMEMORY, "no pipe for the I/O thread");
    handler_ = handler;
    userContext_ = context;
    state_ = State::Idle;
    stopIo_ = false;
    {
        std::lock_guard<std::mutex> q(qmu_);
        stopDispatch_ = false;
    }
    dispatch_ = std::thread([this] { DispatchLoop(); });
    dispatchId_ = dispatch_.get_id();
    io_ = std::thread([this] { IoLoop(); });
    return S_OK;
}

HRESULT PeerImpl::Close(DWORD flags)
{
    if (flags & ~(DWORD)DPNCLOSE_IMMEDIATE) return Fail("IDirectPlay8Peer::Close", DPNERR_INVALIDFLAGS, "");
    if (OnDispatchThread())
        return Fail("IDirectPlay8Peer::Close", DPNERR_NOTALLOWED, "called from inside a message callback");
    {
        std::lock_guard<std::mutex> lock(mu_);
        if (state_ == State::Uninitialized) return DPNERR_UNINITIALIZED;
        if (closing_) return DPNERR_ALREADYCLOSING;
        closing_ = true;
        stopIo_ = true;
    }
    WakeIo();
    io_.join();
    {
        std::lock_guard<std::mutex> lock(mu_);
        while (!enums_.empty()) CompleteEnumLocked(enums_.size() - 1, DPNERR_USERCANCEL);
        if (connectPending_) FinishConnectLocked(DPNERR_USERCANCEL);
        // Tell the others, so that they see a departure rather than a lost connection.
        if (isHost_ && state_ == State::Hosting) {
            for (auto& [id, c] : conns_)
                if (c.player) QueueFrameLocked(id, FRAME_TERMINATE, {});
        } else if (!isHost_ && state_ == State::Connected && hostConn_ >= 0) {
            QueueFrameLocked(hostConn_, FRAME_LEAVE, {});
        }
        if (!(flags & DPNCLOSE_IMMEDIATE)) FlushAllBeforeClose(NowMs() + 1000);
        for (auto& [id, c] : conns_) {
            shutdown(c.fd, SHUT_RDWR);
            close(c.fd);
        }
        conns_.clear();
        hostConn_ = -1;
        for (DPNID id : std::vector<DPNID>(joinOrder_))
            if (id != localId_) QueueDestroyPlayerLocked(id, DPNDESTROYPLAYERREASON_NORMAL);
        if (localId_) QueueDestroyPlayerLocked(localId_, DPNDESTROYPLAYERREASON_NORMAL);
    }
    {
        std::lock_guard<std::mutex> q(qmu_);
        stopDispatch_ = true;
    }
    qcv_.notify_one();
    dispatch_.join();
    std::lock_guard<std::mutex> lock(mu_);
    ResetSessionLocked();
    state_ = State::Uninitialized;
    handler_ = nullptr;
    userContext_ = nullptr;
    dispatchId_ = std::thread::id();
    close(wake_[0]);
    close(wake_[1]);
    wake_[0] = wake_[1] = -1;
    closing_ = false;
    return S_OK;
}

void PeerImpl::ResetSessionLocked()
{
    for (auto& [id, c] : conns_) close(c.fd);
    conns_.clear();
    for (auto& op : enums_) {
        close(op.fd);
        if (op.device) op.device->Release();
    }
    enums_.clear();
    if (listenFd_ >= 0) close(listenFd_);
    if (udpFd_ >= 0) close(udpFd_);
    listenFd_ = udpFd_ = -1;
    acceptPausedUntil_ = queryRestUntil_ = 0;
    answeredLately_ = AnsweredLately();
    port_ = 0;
    players_.clear();
    joinOrder_.clear();
    desc_ = Desc();
    isHost_ = false;
    localId_ = hostId_ = 0;
    hostConn_ = -1;
    connectPending_ = false;
    connect_ = ConnectOp();
    state_ = State::Idle;
}

// --- Providers, capabilities, addresses -------------------------------------------------------------

HRESULT PeerImpl::EnumServiceProviders(const GUID* sp, const GUID*, DPN_SERVICE_PROVIDER_INFO* buffer, DWORD* size,
                                       DWORD* returned, DWORD flags)
{
    if (!size || !returned) return DPNERR_INVALIDPOINTER;
    if (sp) return Fail("IDirectPlay8Peer::EnumServiceProviders", DPNERR_UNSUPPORTED, "listing a provider's devices");
    if (flags) return Fail("IDirectPlay8Peer::EnumServiceProviders", DPNERR_INVALIDFLAGS, "");
    {
        std::lock_guard<std::mutex> lock(mu_);
        if (state_ == State::Uninitialized) return DPNERR_UNINITIALIZED;
    }
    const WCHAR* name = DPLAY8_TCPIP_PROVIDER_NAME;
    const DWORD need = (DWORD)(sizeof(DPN_SERVICE_PROVIDER_INFO) + (wcslen(name) + 1) * sizeof(WCHAR));
    if (!buffer || *size < need) {
        *size = need;
        *returned = 1;
        return DPNERR_BUFFERTOOSMALL;
    }
    WCHAR* text = reinterpret_cast<WCHAR*>(reinterpret_cast<BYTE*>(buffer) + sizeof(DPN_SERVICE_PROVIDER_INFO));
    wcscpy(text, name);
    buffer->dwFlags = 0;
    buffer->guid = CLSID_DP8SP_TCPIP;
    buffer->pwszName = text;
    buffer->pvReserved = nullptr;
    buffer->dwReserved = 0;
    *size = need;
    *returned = 1;
    return S_OK;
}

HRESULT PeerImpl::GetSPCaps(const GUID* sp, DPN_SP_CAPS* caps, DWORD flags)
{
    if (!sp || !caps) return DPNERR_INVALIDPOINTER;
    if (*sp != CLSID_DP8SP_TCPIP) return Fail("IDirectPlay8Peer::GetSPCaps", DPNERR_DOESNOTEXIST, GuidText(*sp).c_str());
    if (caps->dwSize != sizeof(DPN_SP_CAPS)) return Fail("IDirectPlay8Peer::GetSPCaps", DPNERR_INVALIDPARAM, "dwSize");
    if (flags) return Fail("IDirectPlay8Peer::GetSPCaps", DPNERR_INVALIDFLAGS, "");
    {
        std::lock_guard<std::mutex> lock(mu_);
        if (state_ == State::Uninitialized) return DPNERR_UNINITIALIZED;
    }
    caps->dwFlags = 0;
    caps->dwNumThreads = 2;
    caps->dwDefaultEnumCount = DEFAULT_ENUM_COUNT;
    caps->dwDefaultEnumRetryInterval = DEFAULT_ENUM_RETRY_MS;
    caps->dwDefaultEnumTimeout = DEFAULT_ENUM_TIMEOUT_MS;
    caps->dwMaxEnumPayloadSize = 0;  // no user data travels with a search here
    caps->dwBuffersPerThread = 0;
    caps->dwSystemBufferSize = 0;
    return S_OK;
}

bool PeerImpl::ResolveIPv4(const std::string& host, in_addr& out) const
{
    if (inet_pton(AF_INET, host.c_str(), &out) == 1) return true;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found) return false;
    out = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr;
    freeaddrinfo(found);
    return true;
}

DPNHANDLE PeerImpl::NewHandleLocked()
{
    DPNHANDLE h = nextHandle_++;
    if (nextHandle_ == 0) nextHandle_ = 1;
    return h;
}

DPNID PeerImpl::NewPlayerIdLocked()
{
    DPNID id = nextId_++;
    if (nextId_ == 0xFFFFFFFF) nextId_ = 0x00200001;
    return id;
}

// --- Hosting and joining -------------------------------------------------------------------------

HRESULT PeerImpl::Host(const DPN_APPLICATION_DESC* desc, IDirectPlay8Address** devices, DWORD deviceCount,
                       const DPN_SECURITY_DESC* security, const DPN_SECURITY_CREDENTIALS* credentials,
                       void* playerContext, DWORD flags)
{
    const char* call = "IDirectPlay8Peer::Host";
    if (!desc || !devices) return DPNERR_INVALIDPOINTER;
    if (desc->dwSize != sizeof(DPN_APPLICATION_DESC)) return Fail(call, DPNERR_INVALIDPARAM, "dwSize");
    if (deviceCount < 1 || !devices[0]) return Fail(call, DPNERR_INVALIDDEVICEADDRESS, "no device address");
    if (security || credentials) return Fail(call, DPNERR_UNSUPPORTED, "secure sessions");
    if (flags & ~(DWORD)DPNHOST_OKTOQUERYFORADDRESSING) return Fail(call, DPNERR_INVALIDFLAGS, "");
    if (desc->dwFlags & DPNSESSION_CLIENT_SERVER) return Fail(call, DPNERR_INVALIDFLAGS, "a client/server session");
    if ((desc->dwFlags & DPNSESSION_REQUIREPASSWORD) || desc->pwszPassword)
        return Fail(call, DPNERR_UNSUPPORTED, "session passwords");
    if (desc->pvApplicationReservedData) return Fail(call, DPNERR_UNSUPPORTED, "application reserved data");
    AddressImpl* device = AsAddressImpl(devices[0]);
    if (!device || !device->HasSP()) return Fail(call, DPNERR_INVALIDDEVICEADDRESS, "no service provider");

    in_addr bindAddr{};
    std::string hostName;
    if (device->HostName(hostName)) {
        if (!ResolveIPv4(hostName, bindAddr)) return Fail(call, DPNERR_INVALIDDEVICEADDRESS, hostName.c_str());
    } else {
        bindAddr.s_addr = htonl(LanEnabled() ? INADDR_ANY : INADDR_LOOPBACK);
    }
    uint16_t fixedPort = 0;
    const bool hasPort = device->Port(fixedPort);
    const uint16_t base = PortBase();

    auto created = std::make_shared<std::promise<void>>();
    {
        std::lock_guard<std::mutex> lock(mu_);
        if (state_ == State::Uninitialized) return DPNERR_UNINITIALIZED;
        if (state_ == State::Connecting) return DPNERR_CONNECTING;
        if (state_ != State::Idle) return DPNERR_ALREADYCONNECTED;
        int tcp = -1, udp = -1;
        uint16_t port = 0;
        for (int i = 0; i < (hasPort ? 1 : PORT_RANGE); ++i) {
            port = hasPort ? fixedPort : (uint16_t)(base + i);
            sockaddr_in sa{};
            sa.sin_family = AF_INET;
            sa.sin_addr = bindAddr;
            sa.sin_port = htons(port);
            tcp = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            if (tcp < 0) break;
            // A port left in TIME_WAIT by an earlier session may be listened on again.
            int one = 1;
            setsockopt(tcp, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
            if (bind(tcp, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0 && listen(tcp, LISTEN_BACKLOG) == 0) {
                udp = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
                if (udp >= 0 && bind(udp, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0) break;
                if (udp >= 0) close(udp);
                udp = -1;
            }
            close(tcp);
            tcp = -1;
        }
        if (tcp < 0) {
            char detail[96];
            if (hasPort)
                snprintf(detail, sizeof detail, "port %u is taken", fixedPort);
            else
                snprintf(detail, sizeof detail, "no free port from %u to %u", base, base + PORT_RANGE - 1);
            return Fail(call, DPNERR_ADDRESSING, detail);
        }
        KeepOnlyQueries(udp);
        listenFd_ = tcp;
        udpFd_ = udp;
        port_ = port;
        desc_.flags = desc->dwFlags;
        desc_.instance = RandomGuid();
        desc_.application = desc->guidApplication;
        desc_.maxPlayers = desc->dwMaxPlayers;
        desc_.name = desc->pwszSessionName ? desc->pwszSessionName : L"";
        isHost_ = true;
        std::random_device rd;
        nextId_ = 0x00200001 + (rd() & 0xFFFF) * 0x100;
        localId_ = hostId_ = NewPlayerIdLocked();
        Player me;
        me.id = localId_;
        me.name = localName_;
        me.flags = DPNPLAYER_LOCAL | DPNPLAYER_HOST;
        AddPlayerLocked(me);
        state_ = State::Hosting;
        QueueCreatePlayerLocked(localId_, playerContext, [created] { created->set_value(); });
    }
    WakeIo();
    if (!OnDispatchThread()) created->get_future().wait();
    return S_OK;
}

HRESULT PeerImpl::Connect(const DPN_APPLICATION_DESC* desc, IDirectPlay8Address* host, IDirectPlay8Address* device,
                          const DPN_SECURITY_DESC* security, const DPN_SECURITY_CREDENTIALS* credentials,
                          const void* userData, DWORD userDataSize, void* playerContext, void* asyncContext,
                          DPNHANDLE* handle, DWORD flags)
{
    const char* call = "IDirectPlay8Peer::Connect";
    if (!desc || !host) return DPNERR_INVALIDPOINTER;
    if (desc->dwSize != sizeof(DPN_APPLICATION_DESC)) return Fail(call, DPNERR_INVALIDPARAM, "dwSize");
    if (security || credentials) return Fail(call, DPNERR_UNSUPPORTED, "secure sessions");
    if (userData || userDataSize) return Fail(call, DPNERR_UNSUPPORTED, "user connect data");
    if (desc->pwszPassword) return Fail(call, DPNERR_UNSUPPORTED, "session passwords");
    if (flags & DPNCONNECT_SYNC) return Fail(call, DPNERR_UNSUPPORTED, "synchronous connection");
    if (flags & ~(DWORD)DPNCONNECT_OKTOQUERYFORADDRESSING) return Fail(call, DPNERR_INVALIDFLAGS, "");
    AddressImpl* hostAddr = AsAddressImpl(host);
    if (!hostAddr || !hostAddr->HasSP()) return Fail(call, DPNERR_INVALIDHOSTADDRESS, "no service provider");
    if (device) {
        AddressImpl* dev = AsAddressImpl(device);
        if (!dev || !dev->HasSP()) return Fail(call, DPNERR_INVALIDDEVICEADDRESS, "no service provider");
    }
    std::string hostName = "127.0.0.1";
    hostAddr->HostName(hostName);
    uint16_t port = PortBase();
    hostAddr->Port(port);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    if (!ResolveIPv4(hostName, sa.sin_addr)) return Fail(call, DPNERR_INVALIDHOSTADDRESS, hostName.c_str());

    {
        std::lock_guard<std::mutex> lock(mu_);
        if (state_ == State::Uninitialized) return DPNERR_UNINITIALIZED;
        if (state_ == State::Connecting) return DPNERR_CONNECTING;
        if (state_ != State::Idle) return DPNERR_ALREADYCONNECTED;
        int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0) return Fail(call, DPNERR_OUTOFMEMORY, "no socket");
        int one = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        int r = connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
        // A refusal shows as a failed connection on the I/O thread, as any other outcome.
        (void)r;
        hostConn_ = AddConnLocked(fd, true);
        connect_ = ConnectOp();
        connect_.handle = NewHandleLocked();
        connect_.asyncContext = asyncContext;
        connect_.playerContext = playerContext;
        connect_.conn = hostConn_;
        connect_.application = desc->guidApplication;
        connect_.instance = desc->guidInstance;
        connectPending_ = true;
        isHost_ = false;
        state_ = State::Connecting;
        if (handle) *handle = connect_.handle;
    }
    WakeIo();
    return DPNSUCCESS_PENDING;
}

HRESULT PeerImpl::EnumHosts(PDPN_APPLICATION_DESC desc, IDirectPlay8Address* host, IDirectPlay8Address* device,
                            PVOID userData, DWORD userDataSize, DWORD count, DWORD retryInterval, DWORD timeOut,
                            PVOID userContext, DPNHANDLE* handle, DWORD flags)
{
    const char* call = "IDirectPlay8Peer::EnumHosts";
    if (!desc || !handle) return DPNERR_INVALIDPOINTER;
    if (desc->dwSize != sizeof(DPN_APPLICATION_DESC)) return Fail(call, DPNERR_INVALIDPARAM, "dwSize");
    if (userData || userDataSize) return Fail(call, DPNERR_UNSUPPORTED, "user data with a search");
    if (flags & DPNENUMHOSTS_SYNC) return Fail(call, DPNERR_UNSUPPORTED, "synchronous search");
    if (flags & ~(DWORD)(DPNENUMHOSTS_OKTOQUERYFORADDRESSING | DPNENUMHOSTS_NOBROADCASTFALLBACK))
        return Fail(call, DPNERR_INVALIDFLAGS, "");
    AddressImpl* dev = device ? AsAddressImpl(device) : nullptr;
    if (!dev || !dev->HasSP()) return Fail(call, DPNERR_INVALIDDEVICEADDRESS, "no service provider");
    AddressImpl* hostAddr = host ? AsAddressImpl(host) : nullptr;
    if (host && (!hostAddr || !hostAddr->HasSP()))
        return Fail(call, DPNERR_INVALIDHOSTADDRESS, "no service provider");

    std::vector<in_addr> hosts;
    std::string hostName;
    const bool lan = LanEnabled();
    if (hostAddr && hostAddr->HostName(hostName)) {
        in_addr a;
        if (!ResolveIPv4(hostName, a)) return Fail(call, DPNERR_INVALIDHOSTADDRESS, hostName.c_str());
        hosts.push_back(a);
    } else {
        in_addr a;
        a.s_addr = htonl(INADDR_LOOPBACK);
        hosts.push_back(a);
        if (lan && !(flags & DPNENUMHOSTS_NOBROADCASTFALLBACK)) {
            a.s_addr = htonl(INADDR_BROADCAST);
            hosts.push_back(a);
        }
    }
    std::vector<uint16_t> ports;
    uint16_t port;
    if (hostAddr && hostAddr->Port(port)) {
        ports.push_back(port);
    } else {
        const uint16_t base = PortBase();
        for (int i = 0; i < PORT_RANGE; ++i) ports.push_back((uint16_t)(base + i));
    }

    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return Fail(call, DPNERR_OUTOFMEMORY, "no socket");
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(lan ? INADDR_ANY : INADDR_LOOPBACK);
    if (lan) {
        int one = 1;
        setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
    }
    if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        close(fd);
        return Fail(call, DPNERR_ADDRESSING, "cannot bind the search socket");
    }

    std::lock_guard<std::mutex> lock(mu_);
    if (state_ == State::Uninitialized) {
        close(fd);
        return DPNERR_UNINITIALIZED;
    }
    EnumOp op;
    op.handle = NewHandleLocked();
    op.fd = fd;
    op.application = desc->guidApplication;
    for (const in_addr& a : hosts) {
        if (a.s_addr == htonl(INADDR_BROADCAST)) op.anyAddress = true;
        for (uint16_t p : ports) {
            sockaddr_in t{};
            t.sin_family = AF_INET;
            t.sin_addr = a;
            t.sin_port = htons(p);
            op.targets.push_back(t);
        }
    }
    op.count = count ? count : DEFAULT_ENUM_COUNT;
    op.retry = retryInterval ? retryInterval : DEFAULT_ENUM_RETRY_MS;
    op.timeOut = timeOut ? timeOut : DEFAULT_ENUM_TIMEOUT_MS;
    op.nextSend = NowMs();
    op.userContext = userContext;
    device->Duplicate(&op.device);
    *handle = op.handle;
    enums_.push_back(std::move(op));
    WakeIo();
    return DPNSUCCESS_PENDING;
}

HRESULT PeerImpl::CancelAsyncOperation(DPNHANDLE handle, DWORD flags)
{
    const char* call = "IDirectPlay8Peer::CancelAsyncOperation";
    std::lock_guard<std::mutex> lock(mu_);
    if (state_ == State::Uninitialized) return DPNERR_UNINITIALIZED;
    if (handle) {
        for (size_t i = 0; i < enums_.size(); ++i)
            if (enums_[i].handle == handle) {
                CompleteEnumLocked(i, DPNERR_USERCANCEL);
                return S_OK;
            }
        if (connectPending_ && connect_.handle == handle) {
            FinishConnectLocked(DPNERR_USERCANCEL);
            return S_OK;
        }
        char detail[48];
        snprintf(detail, sizeof detail, "no operation %u is running", (unsigned)handle);
        return Fail(call, DPNERR_INVALIDHANDLE, detail);
    }
    if (!(flags & (DPNCANCEL_ENUM | DPNCANCEL_CONNECT | DPNCANCEL_SEND | DPNCANCEL_ALL_OPERATIONS)))
        return Fail(call, DPNERR_INVALIDFLAGS, "no handle and nothing to cancel");
    if (flags & (DPNCANCEL_ENUM | DPNCANCEL_ALL_OPERATIONS))
        while (!enums_.empty()) CompleteEnumLocked(enums_.size() - 1, DPNERR_USERCANCEL);
    if ((flags & (DPNCANCEL_CONNECT | DPNCANCEL_ALL_OPERATIONS)) && connectPending_)
        FinishConnectLocked(DPNERR_USERCANCEL);
    // Sends complete as they are made: none is ever left to cancel.
    return S_OK;
}

// --- Sending and receiving -------------------------------------------------------------------------

std::vector<uint8_t> PeerImpl::DataPayload(DPNID from, DPNID to, const uint8_t* data, size_t size) const
{
    Writer w;
    w.U32(from);
    w.U32(to);
    w.Raw(data, size);
    return std::move(w.bytes);
}

HRESULT PeerImpl::SendTo(DPNID to, const DPN_BUFFER_DESC* buffers, DWORD count, DWORD, void*, DPNHANDLE* handle,
                         DWORD flags)
{
    const char* call = "IDirectPlay8Peer::SendTo";
    const DWORD known = DPNSEND_SYNC | DPNSEND_NOCOPY | DPNSEND_NOCOMPLETE | DPNSEND_COMPLETEONPROCESS |
                        DPNSEND_GUARANTEED | DPNSEND_NONSEQUENTIAL | DPNSEND_NOLOOPBACK | DPNSEND_PRIORITY_LOW |
                        DPNSEND_PRIORITY_HIGH;
    if (flags & ~known) return Fail(call, DPNERR_INVALIDFLAGS, "");
    if (!buffers || count == 0) return DPNERR_INVALIDPOINTER;
    std::vector<uint8_t> message;
    for (DWORD i = 0; i < count; ++i) {
        if (!buffers[i].pBufferData && buffers[i].dwBufferSize) return DPNERR_INVALIDPOINTER;
        if (message.size() + buffers[i].dwBufferSize > MAX_FRAME_PAYLOAD)
            return Fail(call, DPNERR_INVALIDPARAM, "message larger than 1 MiB");
        message.insert(message.end(), buffers[i].pBufferData, buffers[i].pBufferData + buffers[i].dwBufferSize);
    }
    if (message.empty()) return Fail(call, DPNERR_INVALIDPARAM, "empty message");
    if (handle) *handle = 0;

    std::lock_guard<std::mutex> lock(mu_);
    if (state_ == State::Uninitialized) return DPNERR_UNINITIALIZED;
    if (state_ != State::Hosting && state_ != State::Connected) return DPNERR_NOCONNECTION;
    if (to == DPNID_ALL_PLAYERS_GROUP) {
        std::vector<uint8_t> payload = DataPayload(localId_, to, message.data(), message.size());
        if (isHost_)
            BroadcastToGuestsLocked(FRAME_DATA, payload, -1);
        else
            QueueFrameLocked(hostConn_, FRAME_DATA, payload);
        if (!(flags & DPNSEND_NOLOOPBACK)) QueueReceiveLocked(localId_, message.data(), message.size());
        return S_OK;
    }
    if (to == localId_) {
        QueueReceiveLocked(localId_, message.data(), message.size());
        return S_OK;
    }
    auto it = players_.find(to);
    if (it == players_.end() || it->second.leaving) return DPNERR_INVALIDPLAYER;
    std::vector<uint8_t> payload = DataPayload(localId_, to, message.data(), message.size());
    if (isHost_) {
        if (it->second.conn < 0) return DPNERR_INVALIDPLAYER;
        QueueFrameLocked(it->second.conn, FRAME_DATA, payload);
    } else {
        QueueFrameLocked(hostConn_, FRAME_DATA, payload);
    }
    return S_OK;
}

HRESULT PeerImpl::ReturnBuffer(DPNHANDLE handle, DWORD flags)
{
    if (flags) return Fail("IDirectPlay8Peer::ReturnBuffer", DPNERR_INVALIDFLAGS, "");
    std::lock_guard<std::mutex> lock(bufMu_);
    auto it = held_.find(handle);
    if (it == held_.end() || it->second.returned) {
        char detail[48];
        snprintf(detail, sizeof detail, "buffer %u is not held", (unsigned)handle);
        return Fail("IDirectPlay8Peer::ReturnBuffer", DPNERR_INVALIDHANDLE, detail);
    }
    if (it->second.callbackDone)
        held_.erase(it);
    else
        it->second.returned = true;  // the callback is still running; freed when it returns
    return S_OK;
}

// --- Players and the session description ----------------------------------------------------------

HRESULT PeerImpl::SetPeerInfo(const DPN_PLAYER_INFO* info, PVOID, DPNHANDLE* handle, DWORD flags)
{
    const char* call = "IDirectPlay8Peer::SetPeerInfo";
    if (!info) return DPNERR_INVALIDPOINTER;
    if (info->dwSize != sizeof(DPN_PLAYER_INFO)) return Fail(call, DPNERR_INVALIDPARAM, "dwSize");
    if (flags & ~(DWORD)DPNSETPEERINFO_SYNC) return Fail(call, DPNERR_INVALIDFLAGS, "");
    if (info->dwInfoFlags & DPNINFO_DATA) return Fail(call, DPNERR_UNSUPPORTED, "player data");
    if (handle) *handle = 0;
    std::lock_guard<std::mutex> lock(mu_);
    if (state_ == State::Uninitialized) return DPNERR_UNINITIALIZED;
    if (!(info->dwInfoFlags & DPNINFO_NAME)) return S_OK;
    localName_ = info->pwszName ? info->pwszName : L"";
    auto me = players_.find(localId_);
    if (localId_ && me != players_.end()) {
        me->second.name = localName_;
        Writer w;
        w.U32(localId_);
        w.Text(localName_);
        if (isHost_ && state_ == State::Hosting)
            BroadcastToGuestsLocked(FRAME_INFO, w.bytes, -1);
        else if (!isHost_ && state_ == State::Connected)
            QueueFrameLocked(hostConn_, FRAME_INFO, w.bytes);
    }
    return S_OK;
}

HRESULT PeerImpl::GetPeerInfo(DPNID id, DPN_PLAYER_INFO* info, DWORD* size, DWORD flags)
{
    if (!size) return DPNERR_INVALIDPOINTER;
    if (flags) return Fail("IDirectPlay8Peer::GetPeerInfo", DPNERR_INVALIDFLAGS, "");
    std::lock_guard<std::mutex> lock(mu_);
    if (state_ == State::Uninitialized) return DPNERR_UNINITIALIZED;
    auto it = players_.find(id);
    if (it == players_.end()) return DPNERR_INVALIDPLAYER;
    const Player& p = it->second;
    const DWORD need = (DWORD)(sizeof(DPN_PLAYER_INFO) + (p.name.size() + 1) * sizeof(WCHAR));
    if (!info || *size < need) {
        *size = need;
        return DPNERR_BUFFERTOOSMALL;
    }
    if (info->dwSize != sizeof(DPN_PLAYER_INFO)) return Fail("IDirectPlay8Peer::GetPeerInfo", DPNERR_INVALIDPARAM, "dwSize");
    WCHAR* text = reinterpret_cast<WCHAR*>(reinterpret_cast<BYTE*>(info) + sizeof(DPN_PLAYER_INFO));
    memcpy(text, p.name.c_str(), (p.name.size() + 1) * sizeof(WCHAR));
    info->dwInfoFlags = DPNINFO_NAME | DPNINFO_DATA;
    info->pwszName = text;
    info->pvData = nullptr;
    info->dwDataSize = 0;
    info->dwPlayerFlags = p.flags;
    *size = need;
    return S_OK;
}

HRESULT PeerImpl::GetPlayerContext(DPNID id, PVOID* context, DWORD flags)
{
    if (!context) return DPNERR_INVALIDPOINTER;
    if (flags) return Fail("IDirectPlay8Peer::GetPlayerContext", DPNERR_INVALIDFLAGS, "");
    std::lock_guard<std::mutex> lock(mu_);
    if (state_ == State::Uninitialized) return DPNERR_UNINITIALIZED;
    auto it = players_.find(id);
    if (it == players_.end()) return DPNERR_INVALIDPLAYER;
    if (!it->second.created) return DPNERR_NOTREADY;
    *context = it->second.context;
    return S_OK;
}

HRESULT PeerImpl::GetApplicationDesc(DPN_APPLICATION_DESC* buffer, DWORD* size, DWORD flags)
{
    if (!size) return DPNERR_INVALIDPOINTER;
    if (flags) return Fail("IDirectPlay8Peer::GetApplicationDesc", DPNERR_INVALIDFLAGS, "");
    std::lock_guard<std::mutex> lock(mu_);
    if (state_ == State::Uninitialized) return DPNERR_UNINITIALIZED;
    if (state_ != State::Hosting && state_ != State::Connected) return DPNERR_NOCONNECTION;
    const DWORD need = (DWORD)(sizeof(DPN_APPLICATION_DESC) + (desc_.name.size() + 1) * sizeof(WCHAR));
    if (!buffer || *size < need) {
        *size = need;
        return DPNERR_BUFFERTOOSMALL;
    }
    if (buffer->dwSize != sizeof(DPN_APPLICATION_DESC))
        return Fail("IDirectPlay8Peer::GetApplicationDesc", DPNERR_INVALIDPARAM, "dwSize");
    WCHAR* text = reinterpret_cast<WCHAR*>(reinterpret_cast<BYTE*>(buffer) + sizeof(DPN_APPLICATION_DESC));
    memcpy(text, desc_.name.c_str(), (desc_.name.size() + 1) * sizeof(WCHAR));
    *buffer = DPN_APPLICATION_DESC{};
    buffer->dwSize = sizeof(DPN_APPLICATION_DESC);
    buffer->dwFlags = desc_.flags;
    buffer->guidInstance = desc_.instance;
    buffer->guidApplication = desc_.application;
    buffer->dwMaxPlayers = desc_.maxPlayers;
    buffer->dwCurrentPlayers = CurrentPlayersLocked();
    buffer->pwszSessionName = text;
    *size = need;
    return S_OK;
}

HRESULT PeerImpl::SetApplicationDesc(const DPN_APPLICATION_DESC* desc, DWORD flags)
{
    const char* call = "IDirectPlay8Peer::SetApplicationDesc";
    if (!desc) return DPNERR_INVALIDPOINTER;
    if (desc->dwSize != sizeof(DPN_APPLICATION_DESC)) return Fail(call, DPNERR_INVALIDPARAM, "dwSize");
    if (flags) return Fail(call, DPNERR_INVALIDFLAGS, "");
    std::lock_guard<std::mutex> lock(mu_);
    if (state_ == State::Uninitialized) return DPNERR_UNINITIALIZED;
    if (state_ == State::Connected) return DPNERR_NOTHOST;
    if (state_ != State::Hosting) return DPNERR_NOCONNECTION;
    if (desc->guidApplication != desc_.application) return Fail(call, DPNERR_INVALIDAPPLICATION, "");
    if (desc->dwFlags != desc_.flags) return Fail(call, DPNERR_UNSUPPORTED, "changing the session flags");
    if (desc->pwszPassword || desc->pvApplicationReservedData)
        return Fail(call, DPNERR_UNSUPPORTED, "passwords and reserved data");
    desc_.maxPlayers = desc->dwMaxPlayers;
    desc_.name = desc->pwszSessionName ? desc->pwszSessionName : L"";
    BroadcastToGuestsLocked(FRAME_APPDESC, DescPayloadLocked(), -1);
    return S_OK;
}

std::vector<uint8_t> PeerImpl::DescPayloadLocked() const
{
    Writer w;
    w.U32(desc_.flags);
    w.Guid(desc_.instance);
    w.Guid(desc_.application);
    w.U32(desc_.maxPlayers);
    w.Text(desc_.name);
    return std::move(w.bytes);
}

PeerImpl::Desc PeerImpl::ReadDesc(Reader& r)
{
    Desc d;
    d.flags = r.U32();
    d.instance = r.Guid();
    d.application = r.Guid();
    d.maxPlayers = r.U32();
    d.name = r.Text();
    return d;
}

void PeerImpl::WritePlayerEntry(Writer& w, const Player& p)
{
    w.U32(p.id);
    w.U32(p.flags & DPNPLAYER_HOST);
    w.Text(p.name);
}

PeerImpl::Player PeerImpl::ReadPlayerEntry(Reader& r)
{
    Player p;
    p.id = r.U32();
    p.flags = r.U32() & DPNPLAYER_HOST;
    p.name = r.Text();
    return p;
}

DWORD PeerImpl::CurrentPlayersLocked() const
{
    DWORD current = 0;
    for (const auto& [id, p] : players_)
        if (!p.leaving) ++current;
    return current;
}

void PeerImpl::AddPlayerLocked(const Player& p)
{
    players_[p.id] = p;
    joinOrder_.push_back(p.id);
}

HRESULT PeerImpl::RegisterLobby(DPNHANDLE handle, IDirectPlay8LobbiedApplication*, DWORD)
{
    char detail[80];
    snprintf(detail, sizeof detail, "no lobby connection %u exists", (unsigned)handle);
    return Fail("IDirectPlay8Peer::RegisterLobby", DPNERR_INVALIDHANDLE, detail);
}

}  // namespace dplay8_detail
