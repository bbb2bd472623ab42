// Hostile traffic on loopback: bursts of silent connections, a host out of descriptors, and
// floods of made-up search answers cost the stand-in little and never keep a real peer out.
#include "dplay8_test_support.h"

#include "platform/dplay8/dplay8_internal.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <random>

using namespace dplay8_test;

namespace {

class DirectPlayFlood : public ::testing::Test {
protected:
    void SetUp() override
    {
        UseOwnPortRange();
        CoInitialize(nullptr);
    }
    void TearDown() override
    {
        for (int fd : strangers_) close(fd);
        for (int fd : senders_) close(fd);
        CoUninitialize();
    }

    // The host's port, as a search finds it.
    static DWORD FindPort(TestPeer& searcher, const GUID& app)
    {
        DPNHANDLE search = searcher.Search(app);
        EXPECT_TRUE(searcher.WaitFor([](const Seen& s) { return s.id == DPN_MSGID_ENUM_HOSTS_RESPONSE; }));
        searcher.peer->CancelAsyncOperation(search, 0);
        EXPECT_TRUE(searcher.WaitFor([](const Seen& s) { return s.id == DPN_MSGID_ASYNC_OP_COMPLETE; }));
        return searcher.Last(DPN_MSGID_ENUM_HOSTS_RESPONSE).port;
    }

    // Connections that never say a word, made a few at a time so that each lands in the host's
    // queue before the next (none is left waiting for a SYN to be sent again).
    void Strangers(DWORD port, int count, int batch = 8)
    {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        to.sin_port = htons((uint16_t)port);
        // Every socket is made before the first connects: the host takes descriptors as it accepts.
        const size_t first = strangers_.size();
        for (int i = 0; i < count; ++i) {
            int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            ASSERT_GE(fd, 0);
            strangers_.push_back(fd);
        }
        for (size_t made = first; made < strangers_.size();) {
            std::vector<pollfd> wait;
            for (int i = 0; i < batch && made < strangers_.size(); ++i, ++made) {
                connect(strangers_[made], reinterpret_cast<sockaddr*>(&to), sizeof to);
                wait.push_back({strangers_[made], POLLOUT, 0});
            }
            for (pollfd& p : wait) ASSERT_EQ(1, poll(&p, 1, 3000)) << "a connection did not complete";
        }
    }

    // Whether the host hung up on stranger i.
    bool HungUp(size_t i)
    {
        char b[16];
        const ssize_t n = recv(strangers_[i], b, sizeof b, MSG_DONTWAIT);
        return n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
    }
    size_t HungUpCount()
    {
        size_t n = 0;
        for (size_t i = 0; i < strangers_.size(); ++i) n += HungUp(i);
        return n;
    }
    static sockaddr_in Loopback(DWORD port)
    {
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        at.sin_port = htons((uint16_t)port);
        return at;
    }

    // Datagram sockets on loopback ports of their own.
    std::vector<int> Senders(int count)
    {
        std::vector<int> fds;
        const sockaddr_in any = Loopback(0);
        for (int i = 0; i < count; ++i) {
            int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            EXPECT_EQ(0, bind(fd, reinterpret_cast<const sockaddr*>(&any), sizeof any));
            fds.push_back(fd);
            senders_.push_back(fd);
        }
        return fds;
    }

    static size_t Waiting(int fd)
    {
        size_t n = 0;
        uint8_t b[2048];
        while (recv(fd, b, sizeof b, MSG_DONTWAIT) >= 0) ++n;
        return n;
    }

    // Passes of the peer's I/O loop so far.
    static uint64_t Passes(TestPeer& p) { return static_cast<dplay8_detail::PeerImpl*>(p.peer)->IoPasses(); }

    static double MsSince(std::chrono::steady_clock::time_point start)
    {
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    }

    static bool Eventually(const std::function<bool()>& done, int ms)
    {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (!done()) {
            if (std::chrono::steady_clock::now() >= until) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return true;
    }

    std::vector<int> strangers_;
    std::vector<int> senders_;
};

int OpenDescriptors()
{
    int n = 0;
    if (DIR* d = opendir("/proc/self/fd")) {
        while (readdir(d)) ++n;
        closedir(d);
    }
    return n - 3;
}

// A search query as a searcher sends it, for any application.
std::vector<uint8_t> AnyQuery()
{
    dplay8_detail::Writer w;
    w.U32(0x51385044);  // "DP8Q"
    w.U32(1);
    w.Guid(GUID{});
    w.U32(0);  // stamp
    return w.bytes;
}

// A search answer as a host sends it, for the session `instance` named `name`.
std::vector<uint8_t> Answer(const uint8_t* query, const GUID& instance, const std::string& name, uint16_t port)
{
    dplay8_detail::Writer w;
    w.U32(0x52385044);  // "DP8R"
    w.U32(1);
    w.U32(0);
    w.Guid(instance);
    w.Raw(query + 8, 16);  // the application the query asked for
    w.U32(2);
    w.U32(1);
    w.U32(port);
    w.Raw(query + 24, 4);  // the query's stamp
    w.Text(std::wstring(name.begin(), name.end()));
    return w.bytes;
}

}  // namespace

TEST_F(DirectPlayFlood, SilentConnectionsBeyondTheLimitPushOutTheOldestAndARealGuestStillJoins)
{
    const GUID app = NewGuid();
    TestPeer host, guest;
    ASSERT_EQ(S_OK, host.Host(app, 2));
    const DWORD port = FindPort(guest, app);
    const int count = 200;
    Strangers(port, count);
    const size_t kept = dplay8_detail::MAX_UNGREETED;
    // Long before their greeting time runs out, all but the newest few have been let go.
    EXPECT_TRUE(Eventually([&] { return HungUpCount() >= count - kept; }, 3000)) << HungUpCount();
    EXPECT_TRUE(HungUp(0)) << "the oldest goes first";
    EXPECT_FALSE(HungUp(count - 1)) << "the newest is still given its chance to greet";
    EXPECT_EQ(S_OK, guest.ConnectTo(app, GUID{}, port));
    EXPECT_TRUE(host.WaitUntil([&] { return host.Count(DPN_MSGID_CREATE_PLAYER) >= 2; }));
    EXPECT_EQ(2u, host.Count(DPN_MSGID_CREATE_PLAYER)) << "no stranger became a player";
}

TEST_F(DirectPlayFlood, OutOfDescriptorsTheHostRestsAndMakesRoomInsteadOfSpinning)
{
    const GUID app = NewGuid();
    TestPeer host, guest;
    ASSERT_EQ(S_OK, host.Host(app, 2));
    const DWORD port = FindPort(guest, app);

    // Every descriptor taken, and nobody the host could let go: the strangers wait in its queue.
    const int strangers = 4;
    for (int i = 0; i < strangers; ++i)
        strangers_.push_back(socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    rlimit normal{};
    ASSERT_EQ(0, getrlimit(RLIMIT_NOFILE, &normal));
    rlimit tight = normal;
    tight.rlim_cur = (rlim_t)(OpenDescriptors() + 8);
    ASSERT_EQ(0, setrlimit(RLIMIT_NOFILE, &tight));
    std::vector<int> placeholders;
    for (int fd; (fd = dup(0)) >= 0;) placeholders.push_back(fd);
    const sockaddr_in to = Loopback(port);
    for (int fd : strangers_) connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to);

    // The listening socket stays readable all along; polling it at once each time would make
    // the loop spin through thousands of passes a second. Resting, it takes a few.
    const uint64_t passes = Passes(host);
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_LE(Passes(host) - passes, 20 + MsSince(start) / 20);
    EXPECT_EQ(0u, HungUpCount());

    // One descriptor free: the host takes the strangers in turn, each letting the next one in.
    close(placeholders.back());
    placeholders.pop_back();
    EXPECT_TRUE(Eventually([&] { return HungUpCount() >= strangers - 1; }, 5000)) << HungUpCount();
    for (int fd : placeholders) close(fd);
    ASSERT_EQ(0, setrlimit(RLIMIT_NOFILE, &normal));

    EXPECT_EQ(S_OK, guest.ConnectTo(app, GUID{}, port));
    EXPECT_TRUE(host.WaitUntil([&] { return host.Count(DPN_MSGID_CREATE_PLAYER) >= 2; }));
}

TEST_F(DirectPlayFlood, OutOfDescriptorsUnderAFloodOfConnectionsARealGuestStillJoins)
{
    const GUID app = NewGuid();
    TestPeer host, finder;
    ASSERT_EQ(S_OK, host.Host(app, 2));
    const DWORD port = FindPort(finder, app);
    // The guest and the flood are other computers: their descriptors are their own.
    Probe guest("join", app, true);
    Probe flood(port);

    // Room for a few dozen connections: the flood keeps the host out of descriptors, and it
    // keeps letting strangers go to take the ones waiting.
    rlimit normal{};
    ASSERT_EQ(0, getrlimit(RLIMIT_NOFILE, &normal));
    rlimit tight = normal;
    tight.rlim_cur = (rlim_t)(OpenDescriptors() + 48);
    ASSERT_EQ(0, setrlimit(RLIMIT_NOFILE, &tight));
    ASSERT_TRUE(flood.Ready());

    // The guest's connection gets into the host's queue between the strangers' and is taken in
    // before its time to connect runs out.
    guest.Cue();
    EXPECT_TRUE(guest.Ready()) << "the guest could not join";
    EXPECT_TRUE(host.WaitUntil([&] { return host.Count(DPN_MSGID_CREATE_PLAYER) >= 2; }, 20000));
    ASSERT_EQ(0, setrlimit(RLIMIT_NOFILE, &normal));
}

TEST_F(DirectPlayFlood, ABurstOfQueriesWakesTheHostAndIsAnsweredOnlyAsOftenAsTheLimitsAllow)
{
    const GUID app = NewGuid();
    TestPeer host, searcher;
    ASSERT_EQ(S_OK, host.Host(app, 2));
    const DWORD port = FindPort(searcher, app);

    // Sends `count` queries from `senders` in turn, as fast as it can; afterwards a real search
    // is still heard, and by then the host has read what it kept of the burst.
    struct Heard {
        size_t total = 0, most = 0;  // answers, all told and to the sender answered most
        uint64_t passes = 0;         // of the host's loop, from the first query to the search's answer
        double ms = 0;               // the same span
    };
    auto burst = [&](const std::vector<int>& senders, int count) {
        const std::vector<uint8_t> query = AnyQuery();
        const sockaddr_in to = Loopback(port);
        const uint64_t before = Passes(host);
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < count; ++i)
            sendto(senders[i % senders.size()], query.data(), query.size(), 0,
                   reinterpret_cast<const sockaddr*>(&to), sizeof to);
        // Read in batches with a rest between them, not a pass or more for every datagram.
        EXPECT_LE(Passes(host) - before, 20 + 2 * MsSince(start));
        searcher.Forget();
        const DPNHANDLE search = searcher.Search(app);
        EXPECT_TRUE(searcher.WaitFor([](const Seen& s) { return s.id == DPN_MSGID_ENUM_HOSTS_RESPONSE; }, 15000));
        searcher.peer->CancelAsyncOperation(search, 0);
        Heard heard;
        heard.passes = Passes(host) - before;
        heard.ms = MsSince(start);
        for (int fd : senders) {
            const size_t n = Waiting(fd);
            heard.total += n;
            heard.most = std::max(heard.most, n);
        }
        return heard;
    };

    const Heard one = burst(Senders(1), 5000);
    EXPECT_GE(one.total, 1u);
    EXPECT_LE(one.total, 1 + one.ms / dplay8_detail::ANSWER_INTERVAL_MS) << "one sender, answered again and again";

    const Heard many = burst(Senders(64), 20000);
    EXPECT_GE(many.total, 1u);
    EXPECT_LE(many.total, dplay8_detail::ANSWERS_PER_PASS * many.passes);
}

TEST_F(DirectPlayFlood, NoiseOnTheSearchPortNeitherWakesNorAnswersTheHost)
{
    const GUID app = NewGuid();
    TestPeer host, searcher;
    ASSERT_EQ(S_OK, host.Host(app, 2));
    const DWORD port = FindPort(searcher, app);
    searcher.Forget();

    // Bytes at random, and queries one detail off.
    std::vector<std::vector<uint8_t>> noise;
    std::mt19937 random(99);
    for (int i = 0; i < 60; ++i) {
        std::vector<uint8_t> bytes(1 + random() % 100);
        for (uint8_t& b : bytes) b = (uint8_t)random();
        noise.push_back(bytes);
    }
    for (size_t at : {0, 4}) {
        std::vector<uint8_t> off = AnyQuery();
        off[at] ^= 1;  // the magic, the version
        noise.push_back(off);
    }
    std::vector<uint8_t> longer = AnyQuery();
    longer.push_back(0);
    noise.push_back(longer);

    const std::vector<int> senders = Senders(4);
    const sockaddr_in to = Loopback(port);
    const uint64_t before = Passes(host);
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 20000; ++i) {
        const std::vector<uint8_t>& bytes = noise[i % noise.size()];
        sendto(senders[i % senders.size()], bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to),
               sizeof to);
    }
    // The kernel drops it before it reaches the host: the loop wakes only on its own timers.
    EXPECT_LE(Passes(host) - before, 10 + MsSince(start) / 20);

    searcher.Search(app);
    EXPECT_TRUE(searcher.WaitFor([](const Seen& s) { return s.id == DPN_MSGID_ENUM_HOSTS_RESPONSE; }, 15000));
    for (int fd : senders) EXPECT_EQ(0u, Waiting(fd));
}

TEST_F(DirectPlayFlood, AnswersFromNowhereAreIgnoredAndAFloodWaitsInABoundedQueue)
{
    const GUID app = NewGuid();
    TestPeer searcher;
    // The callback is held up while the flood arrives, as a slow program would be.
    std::mutex gateMu;
    std::condition_variable gateCv;
    bool gateOpen = false;
    std::atomic<bool> held{false};
    searcher.hook = [&](DWORD id, void*) {
        if (id == DPN_MSGID_ENUM_HOSTS_RESPONSE) {
            held = true;
            std::unique_lock<std::mutex> lock(gateMu);
            gateCv.wait(lock, [&] { return gateOpen; });
        }
        return S_OK;
    };
    auto openGate = [&] {
        {
            std::lock_guard<std::mutex> lock(gateMu);
            gateOpen = true;
        }
        gateCv.notify_all();
    };

    // A fake host on the last port of the search range, and a stranger on a port nobody asked.
    const uint16_t last = (uint16_t)(dplay8_detail::PortBase() + dplay8_detail::PORT_RANGE - 1);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    at.sin_port = htons(last);
    int fake = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ASSERT_EQ(0, bind(fake, reinterpret_cast<sockaddr*>(&at), sizeof at));
    int stranger = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    at.sin_port = 0;
    ASSERT_EQ(0, bind(stranger, reinterpret_cast<sockaddr*>(&at), sizeof at));
    timeval tv{3, 0};
    setsockopt(fake, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);

    DPNHANDLE search = searcher.Search(app);
    uint8_t query[64];
    sockaddr_in from{};
    socklen_t fromLen = sizeof from;
    ASSERT_EQ(28, recvfrom(fake, query, sizeof query, 0, reinterpret_cast<sockaddr*>(&from), &fromLen));

    for (int i = 0; i < 20; ++i) {
        auto bytes = Answer(query, NewGuid(), "Stranger", last);
        sendto(stranger, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&from), fromLen);
    }
    const int flood = 2000;
    for (int i = 0; i < flood; ++i) {
        auto bytes = Answer(query, NewGuid(), "Fake " + std::to_string(i), last);
        sendto(fake, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&from), fromLen);
        if (i % 32 == 31) std::this_thread::sleep_for(std::chrono::milliseconds(1));  // let the reader keep up
    }
    // Ended while the callback is still held: what is delivered is what waited for it.
    ASSERT_TRUE(Eventually([&] { return held.load(); }, 5000));
    searcher.peer->CancelAsyncOperation(search, 0);
    openGate();
    ASSERT_TRUE(searcher.WaitFor([](const Seen& s) { return s.id == DPN_MSGID_ASYNC_OP_COMPLETE; }));
    close(fake);
    close(stranger);

    const auto answers = searcher.Of(DPN_MSGID_ENUM_HOSTS_RESPONSE);
    EXPECT_GE(answers.size(), 1u);
    EXPECT_LE(answers.size(), (size_t)dplay8_detail::MAX_QUEUED_ANSWERS) << "the waiting answers are bounded";
    size_t fromStranger = 0;
    for (const Seen& s : answers) fromStranger += s.name == L"Stranger";
    EXPECT_EQ(0u, fromStranger) << "answers from a port never asked";
}
