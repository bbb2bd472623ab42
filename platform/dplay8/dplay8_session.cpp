// The peer's I/O thread: the session's TCP connections and their frames, host search over UDP,
// keep-alives and time-outs.
//
// Session frames: uint32 length (of what follows), uint8 type, payload. Search datagrams start
// with a four-byte tag ("DP8Q" query, "DP8R" answer) and a version.
#include "platform/dplay8/dplay8_internal.h"

#include <arpa/inet.h>
#include <linux/filter.h>
#include <netinet/tcp.h>
#include <netinet/udp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace dplay8_detail {

namespace {
constexpr uint32_t SESSION_MAGIC = 0x53385044;  // "DP8S"
constexpr uint32_t QUERY_MAGIC = 0x51385044;    // "DP8Q"
constexpr uint32_t ANSWER_MAGIC = 0x52385044;   // "DP8R"
constexpr uint32_t PROTOCOL_VERSION = 1;
constexpr size_t OUT_LIMIT = 64u << 20;  // a peer that reads nothing for this long is gone
constexpr size_t QUERY_SIZE = 28;        // magic, version, application, stamp
constexpr size_t DATAGRAM_SLOT = 2048;   // longer than any search datagram
}  // namespace

void PeerImpl::WakeIo()
{
    if (wake_[1] < 0) return;
    char c = 1;
    ssize_t n = write(wake_[1], &c, 1);  // a full pipe already means "wake up"
    (void)n;
}

int PeerImpl::AddConnLocked(int fd, bool connecting)
{
    const int id = nextConn_++;
    Conn& c = conns_[id];
    c.fd = fd;
    c.connecting = connecting;
    c.opened = c.lastRecv = c.lastSend = NowMs();
    return id;
}

void PeerImpl::QueueFrameLocked(int conn, uint8_t type, const std::vector<uint8_t>& payload)
{
    auto it = conns_.find(conn);
    if (it == conns_.end()) return;
    Conn& c = it->second;
    const uint32_t length = (uint32_t)payload.size() + 1;
    uint8_t head[5] = {(uint8_t)length, (uint8_t)(length >> 8), (uint8_t)(length >> 16), (uint8_t)(length >> 24), type};
    c.out.insert(c.out.end(), head, head + 5);
    c.out.insert(c.out.end(), payload.begin(), payload.end());
    if (c.out.size() - c.outPos > OUT_LIMIT) c.broken = true;
    if (!c.connecting) FlushLocked(c);
    if (c.outPos < c.out.size() || c.broken) WakeIo();
}

void PeerImpl::FlushLocked(Conn& c)
{
    while (c.outPos < c.out.size() && !c.broken) {
        ssize_t n = send(c.fd, c.out.data() + c.outPos, c.out.size() - c.outPos, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            c.outPos += (size_t)n;
            c.lastSend = NowMs();
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            break;
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            c.broken = true;
        }
    }
    if (c.outPos == c.out.size()) {
        c.out.clear();
        c.outPos = 0;
    }
}

void PeerImpl::DropConnLocked(int conn)
{
    auto it = conns_.find(conn);
    if (it == conns_.end()) return;
    close(it->second.fd);
    conns_.erase(it);
    acceptPausedUntil_ = 0;  // a descriptor is free again
    if (conn == hostConn_) hostConn_ = -1;
    for (auto& [id, p] : players_)
        if (p.conn == conn) p.conn = -1;
}

void PeerImpl::BroadcastToGuestsLocked(uint8_t type, const std::vector<uint8_t>& payload, int exceptConn)
{
    for (auto& [id, c] : conns_)
        if (c.player && id != exceptConn) QueueFrameLocked(id, type, payload);
}

void PeerImpl::FlushAllBeforeClose(uint64_t deadline)
{
    for (;;) {
        std::vector<pollfd> fds;
        for (auto& [id, c] : conns_) {
            if (!c.connecting && !c.broken) FlushLocked(c);
            if (!c.connecting && !c.broken && c.outPos < c.out.size()) fds.push_back({c.fd, POLLOUT, 0});
        }
        const uint64_t now = NowMs();
        if (fds.empty() || now >= deadline) return;
        poll(fds.data(), fds.size(), (int)(deadline - now));
    }
}

// --- Events of the session --------------------------------------------------------------------------

void PeerImpl::FinishConnectLocked(HRESULT result)
{
    if (!connectPending_) return;
    connectPending_ = false;
    if (FAILED(result)) {
        if (hostConn_ >= 0) DropConnLocked(hostConn_);
        hostConn_ = -1;
        players_.clear();
        joinOrder_.clear();
        localId_ = hostId_ = 0;
        desc_ = Desc();
        state_ = State::Idle;
    }
    const DPNHANDLE handle = connect_.handle;
    void* context = connect_.asyncContext;
    Post([this, handle, context, result] {
        DPNMSG_CONNECT_COMPLETE m{sizeof(DPNMSG_CONNECT_COMPLETE), handle, context, result, nullptr, 0};
        Deliver(DPN_MSGID_CONNECT_COMPLETE, &m);
    });
}

void PeerImpl::CompleteEnumLocked(size_t index, HRESULT result)
{
    EnumOp op = enums_[index];
    enums_.erase(enums_.begin() + (ptrdiff_t)index);
    close(op.fd);
    if (op.device) op.device->Release();
    Post([this, op, result] {
        DPNMSG_ASYNC_OP_COMPLETE m{sizeof(DPNMSG_ASYNC_OP_COMPLETE), op.handle, op.userContext, result};
        Deliver(DPN_MSGID_ASYNC_OP_COMPLETE, &m);
    });
}

void PeerImpl::TerminateLocked(HRESULT why, DWORD reason)
{
    if (state_ != State::Connected && state_ != State::Hosting) return;
    for (int id : std::vector<int>([&] {
             std::vector<int> ids;
             for (auto& [cid, c] : conns_) ids.push_back(cid);
             return ids;
         }()))
        DropConnLocked(id);
    for (DPNID id : std::vector<DPNID>(joinOrder_))
        if (id != localId_) QueueDestroyPlayerLocked(id, reason);
    state_ = State::Terminated;
    Post([this, why] {
        DPNMSG_TERMINATE_SESSION m{sizeof(DPNMSG_TERMINATE_SESSION), why, nullptr, 0};
        Deliver(DPN_MSGID_TERMINATE_SESSION, &m);
    });
}

void PeerImpl::HostLostGuestLocked(int conn, DWORD reason)
{
    auto it = conns_.find(conn);
    if (it == conns_.end()) return;
    const DPNID id = it->second.player;
    DropConnLocked(conn);
    if (!id) return;  // never got as far as being a player
    Writer w;
    w.U32(id);
    w.U32(reason);
    BroadcastToGuestsLocked(FRAME_PLAYER_LEFT, w.bytes, -1);
    QueueDestroyPlayerLocked(id, reason);
}

void PeerImpl::ConnLostLocked(int conn)
{
    if (isHost_) {
        HostLostGuestLocked(conn, DPNDESTROYPLAYERREASON_CONNECTIONLOST);
    } else if (conn == hostConn_) {
        if (state_ == State::Connecting)
            FinishConnectLocked(DPNERR_NORESPONSE);
        else
            TerminateLocked(DPNERR_CONNECTIONLOST, DPNDESTROYPLAYERREASON_CONNECTIONLOST);
    } else {
        DropConnLocked(conn);
    }
}

// --- Frames ------------------------------------------------------------------------------------

void PeerImpl::HandleReadable(int conn)
{
    uint8_t chunk[65536];
    bool ended = false;
    for (;;) {
        auto it = conns_.find(conn);
        if (it == conns_.end()) return;
        Conn& c = it->second;
        ssize_t n = recv(c.fd, chunk, sizeof chunk, MSG_DONTWAIT);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        if (n <= 0) {
            ended = true;
            break;
        }
        c.lastRecv = NowMs();
        c.in.insert(c.in.end(), chunk, chunk + n);
        if ((size_t)n < sizeof chunk) break;
    }
    // Frames that arrived before the end still count: a farewell may be among them.
    size_t pos = 0;
    for (;;) {
        auto it = conns_.find(conn);
        if (it == conns_.end()) return;
        Conn& c = it->second;
        if (c.in.size() - pos < 5) break;
        const uint32_t len = LoadLe32(&c.in[pos]);
        if (len == 0 || len > MAX_FRAME_PAYLOAD + 64) {
            PlatformTrace("DirectPlay: a peer sent a frame of %u bytes; dropping the connection", len);
            ConnLostLocked(conn);
            return;
        }
        if (c.in.size() - pos - 4 < len) break;
        std::vector<uint8_t> frame(c.in.begin() + (ptrdiff_t)pos + 5, c.in.begin() + (ptrdiff_t)(pos + 4 + len));
        const uint8_t type = c.in[pos + 4];
        pos += 4 + len;
        Reader r(frame.data(), frame.size());
        HandleFrame(conn, type, r);
    }
    auto it = conns_.find(conn);
    if (it == conns_.end()) return;
    if (pos) it->second.in.erase(it->second.in.begin(), it->second.in.begin() + (ptrdiff_t)pos);
    if (ended) ConnLostLocked(conn);
}

void PeerImpl::HandleFrame(int conn, uint8_t type, Reader& r)
{
    if (isHost_)
        HandleHostFrame(conn, type, r);
    else
        HandleGuestFrame(conn, type, r);
}

void PeerImpl::HandleHostFrame(int connId, uint8_t type, Reader& r)
{
    Conn& c = conns_[connId];
    if (c.closeAfterFlush) return;  // refused; only the refusal is still going out
    if (!c.player) {
        if (type != FRAME_HELLO) {
            DropConnLocked(connId);
            return;
        }
        const uint32_t magic = r.U32();
        const uint32_t version = r.U32();
        const GUID application = r.Guid();
        const GUID instance = r.Guid();
        std::wstring name = r.Text();
        if (!r.AtEnd() || magic != SESSION_MAGIC || version != PROTOCOL_VERSION) {
            DropConnLocked(connId);
            return;
        }
        HRESULT refusal = S_OK;
        if (state_ != State::Hosting)
            refusal = DPNERR_NOCONNECTION;
        else if (application != desc_.application)
            refusal = DPNERR_INVALIDAPPLICATION;
        else if (instance != kGuidNull && instance != desc_.instance)
            refusal = DPNERR_INVALIDINSTANCE;
        else if (desc_.maxPlayers && CurrentPlayersLocked() >= desc_.maxPlayers)
            refusal = DPNERR_SESSIONFULL;
        if (refusal != S_OK) {
            Writer w;
            w.U32((uint32_t)refusal);
            QueueFrameLocked(connId, FRAME_REFUSE, w.bytes);
            auto it = conns_.find(connId);
            if (it != conns_.end()) it->second.closeAfterFlush = true;
            WakeIo();
            return;
        }
        Player p;
        p.id = NewPlayerIdLocked();
        p.name = name;
        p.conn = connId;
        Writer welcome;
        welcome.U32(p.id);
        welcome.U32(localId_);
        const std::vector<uint8_t> description = DescPayloadLocked();
        welcome.Raw(description.data(), description.size());
        std::vector<DPNID> present;
        for (DPNID id : joinOrder_)
            if (!players_[id].leaving) present.push_back(id);
        welcome.U32((uint32_t)present.size());
        for (DPNID id : present) WritePlayerEntry(welcome, players_[id]);
        Writer joined;
        WritePlayerEntry(joined, p);
        c.player = p.id;
        AddPlayerLocked(p);
        QueueFrameLocked(connId, FRAME_WELCOME, welcome.bytes);
        BroadcastToGuestsLocked(FRAME_PLAYER_JOINED, joined.bytes, connId);
        QueueCreatePlayerLocked(p.id, nullptr);
        return;
    }
    const DPNID from = c.player;
    switch (type) {
    case FRAME_DATA: {
        r.U32();  // the guest's own idea of its id: the connection says who it is
        const DPNID to = r.U32();
        if (!r.ok) break;
        const uint8_t* data = r.data + r.pos;
        const size_t size = r.size - r.pos;
        if (to == DPNID_ALL_PLAYERS_GROUP) {
            QueueReceiveLocked(from, data, size);
            std::vector<uint8_t> payload = DataPayload(from, to, data, size);
            for (auto& [id, other] : conns_)
                if (other.player && id != connId) QueueFrameLocked(id, FRAME_DATA, payload);
        } else if (to == localId_) {
            QueueReceiveLocked(from, data, size);
        } else {
            auto p = players_.find(to);
            if (p != players_.end() && p->second.conn >= 0 && to != from && !p->second.leaving)
                QueueFrameLocked(p->second.conn, FRAME_DATA, DataPayload(from, to, data, size));
        }
        return;
    }
    case FRAME_KEEPALIVE:
        if (!r.AtEnd()) break;
        return;
    case FRAME_LEAVE:
        HostLostGuestLocked(connId, DPNDESTROYPLAYERREASON_NORMAL);
        return;
    case FRAME_INFO: {
        r.U32();
        std::wstring name = r.Text();
        if (!r.AtEnd()) break;
        players_[from].name = name;
        Writer w;
        w.U32(from);
        w.Text(name);
        BroadcastToGuestsLocked(FRAME_INFO, w.bytes, connId);
        return;
    }
    default:
        break;
    }
    PlatformTrace("DirectPlay: player %08X sent a malformed frame (type %u); dropping him", from, type);
    HostLostGuestLocked(connId, DPNDESTROYPLAYERREASON_CONNECTIONLOST);
}

void PeerImpl::HandleGuestFrame(int connId, uint8_t type, Reader& r)
{
    if (connId != hostConn_) {
        DropConnLocked(connId);
        return;
    }
    if (state_ == State::Connecting) {
        if (type == FRAME_REFUSE) {
            const HRESULT why = (HRESULT)r.U32();
            FinishConnectLocked(r.AtEnd() && FAILED(why) ? why : DPNERR_HOSTREJECTEDCONNECTION);
            return;
        }
        if (type != FRAME_WELCOME) {
            FinishConnectLocked(DPNERR_NORESPONSE);
            return;
        }
        const DPNID me = r.U32();
        const DPNID host = r.U32();
        const Desc d = ReadDesc(r);
        const uint32_t count = r.U32();
        std::vector<Player> others;
        for (uint32_t i = 0; i < count && r.ok && i < 4096; ++i) others.push_back(ReadPlayerEntry(r));
        bool sane = r.AtEnd() && me && me != DPNID_ALL_PLAYERS_GROUP && host && host != me;
        bool hostListed = false;
        for (const Player& p : others) {
            if (!p.id || p.id == me) sane = false;
            if (p.id == host) hostListed = true;
        }
        if (!sane || !hostListed) {
            PlatformTrace("DirectPlay: the host's welcome is malformed");
            FinishConnectLocked(DPNERR_NORESPONSE);
            return;
        }
        localId_ = me;
        hostId_ = host;
        desc_ = d;
        Player self;
        self.id = me;
        self.name = localName_;
        self.flags = DPNPLAYER_LOCAL;
        AddPlayerLocked(self);
        for (const Player& p : others)
            if (!players_.count(p.id)) AddPlayerLocked(p);
        state_ = State::Connected;
        QueueCreatePlayerLocked(me, connect_.playerContext);
        for (const Player& p : others) QueueCreatePlayerLocked(p.id, nullptr);
        FinishConnectLocked(S_OK);
        return;
    }
    if (state_ != State::Connected) return;
    switch (type) {
    case FRAME_DATA: {
        const DPNID from = r.U32();
        const DPNID to = r.U32();
        if (!r.ok) break;
        auto p = players_.find(from);
        if (p == players_.end() || from == localId_ || p->second.leaving) return;  // not (or no longer) a player
        if (to != DPNID_ALL_PLAYERS_GROUP && to != localId_) return;
        QueueReceiveLocked(from, r.data + r.pos, r.size - r.pos);
        return;
    }
    case FRAME_PLAYER_JOINED: {
        const Player p = ReadPlayerEntry(r);
        if (!r.AtEnd() || !p.id || p.id == DPNID_ALL_PLAYERS_GROUP) break;
        if (players_.count(p.id)) return;
        AddPlayerLocked(p);
        QueueCreatePlayerLocked(p.id, nullptr);
        return;
    }
    case FRAME_PLAYER_LEFT: {
        const DPNID id = r.U32();
        DWORD reason = r.U32();
        if (!r.AtEnd()) break;
        if (id == localId_ || id == hostId_) return;
        if (reason < DPNDESTROYPLAYERREASON_NORMAL || reason > DPNDESTROYPLAYERREASON_HOSTDESTROYEDPLAYER)
            reason = DPNDESTROYPLAYERREASON_NORMAL;
        QueueDestroyPlayerLocked(id, reason);
        return;
    }
    case FRAME_APPDESC: {
        const Desc d = ReadDesc(r);
        if (!r.AtEnd()) break;
        desc_ = d;
        return;
    }
    case FRAME_INFO: {
        const DPNID id = r.U32();
        std::wstring name = r.Text();
        if (!r.AtEnd()) break;
        auto p = players_.find(id);
        if (p != players_.end() && id != localId_) p->second.name = name;
        return;
    }
    case FRAME_TERMINATE:
        TerminateLocked(DPNERR_HOSTTERMINATEDSESSION, DPNDESTROYPLAYERREASON_SESSIONTERMINATED);
        return;
    case FRAME_KEEPALIVE:
        if (!r.AtEnd()) break;
        return;
    default:
        break;
    }
    PlatformTrace("DirectPlay: the host sent a malformed frame (type %u); leaving the session", type);
    TerminateLocked(DPNERR_CONNECTIONLOST, DPNDESTROYPLAYERREASON_CONNECTIONLOST);
}

// --- Host search ------------------------------------------------------------------------------------

void PeerImpl::SendEnumRound(EnumOp& op)
{
    Writer w;
    w.U32(QUERY_MAGIC);
    w.U32(PROTOCOL_VERSION);
    w.Guid(op.application);
    w.U32((uint32_t)NowMs());
    for (const sockaddr_in& t : op.targets)
        sendto(op.fd, w.bytes.data(), w.bytes.size(), MSG_DONTWAIT, reinterpret_cast<const sockaddr*>(&t), sizeof t);
}

bool AnsweredLately::Allow(const sockaddr_in& from, uint64_t now)
{
    const uint32_t address = from.sin_addr.s_addr;
    const uint16_t port = from.sin_port;
    Sender* set = senders_[(address * 2654435761u ^ port * 40503u) % SETS];
    Sender* oldest = &set[0];
    for (size_t i = 0; i < WAYS; ++i) {
        Sender& s = set[i];
        if (s.port == port && s.address == address) {
            if (now - s.at < ANSWER_INTERVAL_MS) return false;
            s.at = now;
            return true;
        }
        if (s.port == 0 || (oldest->port != 0 && s.at < oldest->at)) oldest = &s;
    }
    *oldest = Sender{address, port, now};
    return true;
}

void KeepOnlyQueries(int udpFd)
{
    // The program sees the datagram from its UDP header on; words are loaded big-endian.
    constexpr uint32_t at = sizeof(udphdr);
    sock_filter code[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_LEN, 0),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, at + QUERY_SIZE, 0, 5),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, at),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, htonl(QUERY_MAGIC), 0, 3),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, at + 4),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, htonl(PROTOCOL_VERSION), 0, 1),
        BPF_STMT(BPF_RET | BPF_K, 0xFFFFFFFF),
        BPF_STMT(BPF_RET | BPF_K, 0),
    };
    sock_fprog program{(unsigned short)(sizeof code / sizeof code[0]), code};
    if (setsockopt(udpFd, SOL_SOCKET, SO_ATTACH_FILTER, &program, sizeof program) != 0)
        PlatformTrace("DirectPlay: no datagram filter (%s); the host sorts out noise itself", strerror(errno));
}

template <class Each>
int PeerImpl::ReadDatagrams(int fd, Each&& each)
{
    datagrams_.resize(DATAGRAM_BATCH * DATAGRAM_SLOT);
    mmsghdr messages[DATAGRAM_BATCH];
    iovec parts[DATAGRAM_BATCH];
    sockaddr_in from[DATAGRAM_BATCH];
    int total = 0;
    while (total < DATAGRAMS_PER_PASS) {
        for (int i = 0; i < DATAGRAM_BATCH; ++i) {
            parts[i] = {&datagrams_[i * DATAGRAM_SLOT], DATAGRAM_SLOT};
            messages[i] = {};
            messages[i].msg_hdr.msg_name = &from[i];
            messages[i].msg_hdr.msg_namelen = sizeof from[i];
            messages[i].msg_hdr.msg_iov = &parts[i];
            messages[i].msg_hdr.msg_iovlen = 1;
        }
        const int n = recvmmsg(fd, messages, (unsigned)std::min(DATAGRAM_BATCH, DATAGRAMS_PER_PASS - total),
                               MSG_DONTWAIT, nullptr);
        if (n <= 0) break;
        total += n;
        for (int i = 0; i < n; ++i) {
            if (messages[i].msg_hdr.msg_flags & MSG_TRUNC) continue;  // nobody sends that much
            Reader r(&datagrams_[i * DATAGRAM_SLOT], messages[i].msg_len);
            each(r, from[i]);
        }
        if (n < DATAGRAM_BATCH) break;
    }
    return total;
}

void PeerImpl::HandleEnumQuery()
{
    const uint64_t now = NowMs();
    int answered = 0;
    const int read = ReadDatagrams(udpFd_, [&](Reader& r, const sockaddr_in& from) {
        const uint32_t magic = r.U32();
        const uint32_t version = r.U32();
        const GUID application = r.Guid();
        const uint32_t stamp = r.U32();
        if (!r.AtEnd() || magic != QUERY_MAGIC || version != PROTOCOL_VERSION) return;
        if (state_ != State::Hosting) return;
        if (application != kGuidNull && application != desc_.application) return;
        if (answered == ANSWERS_PER_PASS || !answeredLately_.Allow(from, now)) return;
        ++answered;
        Writer w;
        w.U32(ANSWER_MAGIC);
        w.U32(PROTOCOL_VERSION);
        w.U32(desc_.flags);
        w.Guid(desc_.instance);
        w.Guid(desc_.application);
        w.U32(desc_.maxPlayers);
        w.U32(CurrentPlayersLocked());
        w.U32(port_);
        w.U32(stamp);
        w.Text(desc_.name.size() > 255 ? desc_.name.substr(0, 255) : desc_.name);
        sendto(udpFd_, w.bytes.data(), w.bytes.size(), MSG_DONTWAIT, reinterpret_cast<const sockaddr*>(&from),
               sizeof from);
    });
    if (read) queryRestUntil_ = now + DATAGRAM_REST_MS;
}

bool PeerImpl::EnumOp::Asked(const sockaddr_in& from) const
{
    for (const sockaddr_in& t : targets)
        if (t.sin_port == from.sin_port && (anyAddress || t.sin_addr.s_addr == from.sin_addr.s_addr)) return true;
    return false;
}

void PeerImpl::HandleEnumResponse(size_t index)
{
    EnumOp& op = enums_[index];
    const int read = ReadDatagrams(op.fd, [&](Reader& r, const sockaddr_in& from) {
        const uint32_t magic = r.U32();
        const uint32_t version = r.U32();
        Desc d;
        d.flags = r.U32();
        d.instance = r.Guid();
        d.application = r.Guid();
        d.maxPlayers = r.U32();
        const uint32_t current = r.U32();
        const uint32_t port = r.U32();
        const uint32_t stamp = r.U32();
        d.name = r.Text();
        if (!r.AtEnd() || magic != ANSWER_MAGIC || version != PROTOCOL_VERSION || port == 0 || port > 65535) return;
        if (op.application != kGuidNull && op.application != d.application) return;
        if (!op.Asked(from)) return;
        // Answers come faster than the callback takes them: what cannot wait is dropped.
        if (op.queued->load() >= MAX_QUEUED_ANSWERS) return;
        ++*op.queued;
        auto queued = op.queued;
        sockaddr_in host = from;
        host.sin_port = htons((uint16_t)port);
        const DWORD latency = (DWORD)((uint32_t)NowMs() - stamp);
        IDirectPlay8Address* device = nullptr;
        if (op.device) op.device->Duplicate(&device);
        void* userContext = op.userContext;
        Post([this, d, current, host, latency, device, userContext, queued]() mutable {
            DPN_APPLICATION_DESC desc{};
            desc.dwSize = sizeof desc;
            desc.dwFlags = d.flags;
            desc.guidInstance = d.instance;
            desc.guidApplication = d.application;
            desc.dwMaxPlayers = d.maxPlayers;
            desc.dwCurrentPlayers = current;
            desc.pwszSessionName = d.name.data();
            AddressImpl* sender = MakeHostAddress(host);
            DPNMSG_ENUM_HOSTS_RESPONSE m{sizeof(DPNMSG_ENUM_HOSTS_RESPONSE), sender, device, &desc, nullptr, 0,
                                         userContext, latency};
            Deliver(DPN_MSGID_ENUM_HOSTS_RESPONSE, &m);
            sender->Release();
            if (device) device->Release();
            --*queued;
        });
    });
    if (read) op.restUntil = NowMs() + DATAGRAM_REST_MS;
}

// --- Guests arriving ---------------------------------------------------------------------------------

size_t PeerImpl::UngreetedLocked() const
{
    size_t n = 0;
    for (const auto& [id, c] : conns_)
        if (!c.player) ++n;
    return n;
}

int PeerImpl::OldestUngreetedLocked() const
{
    // Connection ids only grow: the first one without a player is the oldest.
    for (const auto& [id, c] : conns_)
        if (!c.player) return id;
    return -1;
}

void PeerImpl::AcceptLocked()
{
    for (int i = 0; i < ACCEPT_BATCH; ++i) {
        int fd = accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED) continue;
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                // Out of descriptors, the connection stays queued and the listening socket
                // readable. The oldest stranger gives his descriptor up to it once he has had
                // time to greet; polling the socket again before then would spin, so it rests.
                const uint64_t now = NowMs();
                const int oldest = OldestUngreetedLocked();
                if (oldest < 0) {
                    acceptPausedUntil_ = now + ACCEPT_PAUSE_MS;
                } else if (now - conns_[oldest].opened < GREETING_GRACE_MS) {
                    acceptPausedUntil_ = conns_[oldest].opened + GREETING_GRACE_MS;
                } else {
                    DropConnLocked(oldest);
                    continue;
                }
            }
            return;
        }
        int one = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        AddConnLocked(fd, false);
        if (UngreetedLocked() > MAX_UNGREETED) DropConnLocked(OldestUngreetedLocked());
    }
}

// --- The loop ---------------------------------------------------------------------------------------

void PeerImpl::RunTimersLocked(uint64_t now)
{
    for (size_t i = 0; i < enums_.size();) {
        EnumOp& op = enums_[i];
        const bool endless = op.count == INFINITE;
        if ((endless || op.sent < op.count) && now >= op.nextSend) {
            SendEnumRound(op);
            ++op.sent;
            op.nextSend = now + op.retry;
            if (!endless && op.sent == op.count) op.endAt = now + op.timeOut;
        }
        if (!endless && op.sent == op.count && now >= op.endAt) {
            CompleteEnumLocked(i, S_OK);
            continue;
        }
        ++i;
    }
    std::vector<int> lost, stale;
    for (auto& [id, c] : conns_) {
        if (c.broken) {
            lost.push_back(id);
            continue;
        }
        const bool established = isHost_ ? c.player != 0 : (state_ == State::Connected && id == hostConn_);
        if (established) {
            if (now - c.lastRecv > PEER_TIMEOUT_MS) {
                lost.push_back(id);
                continue;
            }
            if (now - c.lastSend >= KEEPALIVE_INTERVAL_MS && c.outPos == c.out.size())
                QueueFrameLocked(id, FRAME_KEEPALIVE, {});
        } else if (now - c.opened > CONNECT_TIMEOUT_MS) {
            stale.push_back(id);
        }
    }
    for (int id : lost) ConnLostLocked(id);
    for (int id : stale) {
        if (!isHost_ && id == hostConn_)
            FinishConnectLocked(DPNERR_NORESPONSE);
        else
            DropConnLocked(id);
    }
}

void PeerImpl::IoLoop()
{
    enum : int { TAG_WAKE = -1, TAG_LISTEN = -2, TAG_QUERY = -3 };
    std::vector<pollfd> fds;
    std::vector<std::pair<int, DPNHANDLE>> tags;  // connection id, or a negative tag; enum handle
    for (;;) {
        int timeout = 100;
        {
            std::lock_guard<std::mutex> lock(mu_);
            if (stopIo_) return;
            RunTimersLocked(NowMs());
            fds.clear();
            tags.clear();
            fds.push_back({wake_[0], POLLIN, 0});
            tags.push_back({TAG_WAKE, 0});
            // A socket resting after a flood is left out until its rest is over.
            const uint64_t now = NowMs();
            auto pollUnlessResting = [&](int fd, uint64_t restUntil, int tag, DPNHANDLE search) {
                if (now >= restUntil) {
                    fds.push_back({fd, POLLIN, 0});
                    tags.push_back({tag, search});
                } else {
                    timeout = std::min<int>(timeout, (int)(restUntil - now));
                }
            };
            if (listenFd_ >= 0) pollUnlessResting(listenFd_, acceptPausedUntil_, TAG_LISTEN, 0);
            if (udpFd_ >= 0) pollUnlessResting(udpFd_, queryRestUntil_, TAG_QUERY, 0);
            for (auto& op : enums_) {
                pollUnlessResting(op.fd, op.restUntil, 0, op.handle);
                const uint64_t next = (op.count == INFINITE || op.sent < op.count) ? op.nextSend : op.endAt;
                timeout = std::min<int>(timeout, next > now ? (int)(next - now) : 0);
            }
            for (auto& [id, c] : conns_) {
                short events = POLLIN;
                if (c.connecting || c.outPos < c.out.size()) events |= POLLOUT;
                fds.push_back({c.fd, events, 0});
                tags.push_back({id, 0});
                if (c.broken) timeout = 0;
            }
        }
        int ready = poll(fds.data(), fds.size(), timeout);
        ++ioPasses_;
        if (ready <= 0) continue;
        std::lock_guard<std::mutex> lock(mu_);
        if (stopIo_) return;
        bool accepting = false;
        for (size_t i = 0; i < fds.size(); ++i) {
            const short got = fds[i].revents;
            if (!got) continue;
            const int tag = tags[i].first;
            if (tag == TAG_WAKE) {
                char drain[64];
                while (read(wake_[0], drain, sizeof drain) > 0) {
                }
            } else if (tag == TAG_LISTEN) {
                accepting = true;  // after the connections, so that those already there greet first
            } else if (tag == TAG_QUERY) {
                HandleEnumQuery();
            } else if (tag == 0) {
                for (size_t k = 0; k < enums_.size(); ++k)
                    if (enums_[k].handle == tags[i].second) {
                        HandleEnumResponse(k);
                        break;
                    }
            } else {
                auto it = conns_.find(tag);
                if (it == conns_.end()) continue;
                Conn& c = it->second;
                if (c.connecting) {
                    if (!(got & (POLLOUT | POLLERR | POLLHUP))) continue;
                    int err = 0;
                    socklen_t len = sizeof err;
                    getsockopt(c.fd, SOL_SOCKET, SO_ERROR, &err, &len);
                    if (err || (got & (POLLERR | POLLHUP))) {
                        FinishConnectLocked(DPNERR_NORESPONSE);
                        continue;
                    }
                    c.connecting = false;
                    c.lastRecv = NowMs();
                    Writer hello;
                    hello.U32(SESSION_MAGIC);
                    hello.U32(PROTOCOL_VERSION);
                    hello.Guid(connect_.application);
                    hello.Guid(connect_.instance);
                    hello.Text(localName_);
                    QueueFrameLocked(tag, FRAME_HELLO, hello.bytes);
                    continue;
                }
                if (got & POLLOUT) {
                    FlushLocked(c);
                    if (c.closeAfterFlush && c.outPos == c.out.size()) {
                        DropConnLocked(tag);
                        continue;
                    }
                }
                if (got & (POLLIN | POLLHUP | POLLERR)) HandleReadable(tag);
            }
        }
        if (accepting && listenFd_ >= 0) AcceptLocked();
    }
}

}  // namespace dplay8_detail
