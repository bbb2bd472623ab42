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

#include <cstring>

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

double CpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return (double)u.ru_utime.tv_sec + u.ru_utime.tv_usec / 1e6 + (double)u.ru_stime.tv_sec + u.ru_stime.tv_usec / 1e6;
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

    rlimit normal{};
    ASSERT_EQ(0, getrlimit(RLIMIT_NOFILE, &normal));
    // Room for the strangers' own ends and two accepted by the host; the rest wait in its queue.
    const int strangers = 12;
    rlimit tight = normal;
    tight.rlim_cur = (rlim_t)(OpenDescriptors() + strangers + 2);
    ASSERT_EQ(0, setrlimit(RLIMIT_NOFILE, &tight));
    Strangers(port, strangers, strangers);
    // The host gives up the oldest stranger for each one waiting, a few a second, rather than
    // keeping them until their greeting time runs out.
    EXPECT_TRUE(Eventually([&] { return HungUpCount() >= 3; }, 3000)) << HungUpCount();
    // ... and meanwhile does not poll a socket it cannot serve over and over (that would be a
    // whole core; resting, it is next to nothing).
    const double before = CpuSeconds();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_LT(CpuSeconds() - before, 0.5);
    ASSERT_EQ(0, setrlimit(RLIMIT_NOFILE, &normal));

    for (int fd : strangers_) close(fd);
    strangers_.clear();
    EXPECT_EQ(S_OK, guest.ConnectTo(app, GUID{}, port));
    EXPECT_TRUE(host.WaitUntil([&] { return host.Count(DPN_MSGID_CREATE_PLAYER) >= 2; }));
}

TEST_F(DirectPlayFlood, AnswersFromNowhereAreIgnoredAndAFloodWaitsInABoundedQueue)
{
    const GUID app = NewGuid();
    TestPeer searcher;
    // The callback is held up while the flood arrives, as a slow program would be.
    std::mutex gateMu;
    std::condition_variable gateCv;
    bool gateOpen = false;
    searcher.hook = [&](DWORD id, void*) {
        if (id == DPN_MSGID_ENUM_HOSTS_RESPONSE) {
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
    openGate();
    searcher.peer->CancelAsyncOperation(search, 0);
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
