// Hostile traffic on loopback against the DirectPlay stand-in, and the two programs it is aimed
// at, each reporting the processor time it spends second by second:
//
//   dplay8_flood host SECONDS             hosts a session for SECONDS
//   dplay8_flood burst COUNT SECONDS      opens COUNT silent connections to the host, holds them
//   dplay8_flood join                     a real guest joins the host; prints how long it took
//   dplay8_flood answers RATE SECONDS     answers the first search query it hears with RATE
//                                         made-up sessions a second, for SECONDS
//   dplay8_flood search SECONDS           the game's games dialog searching for SECONDS
//   dplay8_flood measure [SECONDS [CASE]] runs each flood case of the table below against a host
//                                         of its own for SECONDS (default 8), and prints the
//                                         host's processor share and how long a real search
//                                         and a real join took during the flood
//
// Everything goes to 127.0.0.1, ports PLATFORM_DPLAY8_PORT (default 31400; `measure` claims a
// free range of its own, as the tests do) and the 31 after it; the host takes the first of them. Run the victims under `ulimit -n 1024` and /usr/bin/time -v,
// for example:
//   PLATFORM_DPLAY8_PORT=35000 sh -c 'ulimit -n 1024; /usr/bin/time -v dplay8_flood host 15' &
//   PLATFORM_DPLAY8_PORT=35000 dplay8_flood burst 8000 12 &
//   sleep 2; PLATFORM_DPLAY8_PORT=35000 dplay8_flood join
#include "fenwolt/common/netconnect.h"
#include "platform/dialogs/dialogs_testing.h"
#include "platform/dplay8/dplay8.h"
#include "platform/tests/support/test_ports.h"
#include "platform/win32/platform_internal.h"
#include "platform/win32/win32_testing.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <random>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

// The application all of this pretends to be.
const GUID kApplication = {0x6b1d35a4, 0x52c1, 0x4f0e, {0x9d, 0x31, 0x07, 0x5e, 0x88, 0x2a, 0x44, 0x19}};

uint16_t PortBase()
{
    const char* v = std::getenv("PLATFORM_DPLAY8_PORT");
    const long p = v ? std::strtol(v, nullptr, 10) : 31400;
    return p > 0 && p < 65000 ? (uint16_t)p : 31400;
}

double Seconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double CpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return (double)u.ru_utime.tv_sec + u.ru_utime.tv_usec / 1e6 + (double)u.ru_stime.tv_sec + u.ru_stime.tv_usec / 1e6;
}

long PeakRssKb()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

int OpenDescriptors()
{
    int n = 0;
    if (DIR* d = opendir("/proc/self/fd")) {
        while (readdir(d)) ++n;
        closedir(d);
    }
    return n - 3;  // ".", ".." and the directory itself
}

// One line a second: processor seconds spent in that second, open descriptors, and `extra`.
class Meter {
public:
    explicit Meter(const char* who) : who_(who), start_(Seconds()), lastWall_(start_), lastCpu_(CpuSeconds()) {}
    template <class Extra>
    void Tick(Extra extra)
    {
        const double now = Seconds();
        if (now - lastWall_ < 1.0) return;
        const double cpu = CpuSeconds();
        std::printf("%s t=%5.1fs cpu=%.2fs/s fds=%d %s\n", who_, now - start_, (cpu - lastCpu_) / (now - lastWall_),
                    OpenDescriptors(), extra().c_str());
        std::fflush(stdout);
        lastWall_ = now;
        lastCpu_ = cpu;
    }
    void Total() const
    {
        std::printf("%s total: %.1fs wall, %.2fs cpu, peak rss %ld KiB\n", who_, Seconds() - start_, CpuSeconds(),
                    PeakRssKb());
    }

private:
    const char* who_;
    double start_, lastWall_, lastCpu_;
};

IDirectPlay8Address* TcpAddress()
{
    IDirectPlay8Address* a = nullptr;
    if (FAILED(CoCreateInstance(CLSID_DirectPlay8Address, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectPlay8Address,
                                reinterpret_cast<void**>(&a))))
        return nullptr;
    a->SetSP(&CLSID_DP8SP_TCPIP);
    return a;
}

IDirectPlay8Peer* NewPeer(PFNDPNMESSAGEHANDLER handler, void* context)
{
    IDirectPlay8Peer* peer = nullptr;
    if (FAILED(CoCreateInstance(CLSID_DirectPlay8Peer, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectPlay8Peer,
                                reinterpret_cast<void**>(&peer))))
        return nullptr;
    if (FAILED(peer->Initialize(context, handler, 0))) {
        peer->Release();
        return nullptr;
    }
    return peer;
}

std::atomic<int> g_players{0};
std::atomic<int> g_connectDone{0};
std::atomic<HRESULT> g_connectResult{S_OK};
std::atomic<int> g_hostsFound{0};

HRESULT CountingHandler(void*, DWORD id, void* message)
{
    if (id == DPN_MSGID_ENUM_HOSTS_RESPONSE) ++g_hostsFound;
    if (id == DPN_MSGID_CREATE_PLAYER) ++g_players;
    if (id == DPN_MSGID_DESTROY_PLAYER) --g_players;
    if (id == DPN_MSGID_CONNECT_COMPLETE) {
        g_connectResult = static_cast<DPNMSG_CONNECT_COMPLETE*>(message)->hResultCode;
        g_connectDone = 1;
    }
    return S_OK;
}

// --- host ------------------------------------------------------------------------------------------
int RunHost(double seconds)
{
    IDirectPlay8Peer* peer = NewPeer(CountingHandler, nullptr);
    IDirectPlay8Address* device = TcpAddress();
    if (!peer || !device) return 1;
    DPN_APPLICATION_DESC desc{};
    desc.dwSize = sizeof desc;
    desc.guidApplication = kApplication;
    desc.dwMaxPlayers = 2;
    wchar_t name[] = L"Flooded";
    desc.pwszSessionName = name;
    HRESULT hr = peer->Host(&desc, &device, 1, nullptr, nullptr, nullptr, 0);
    device->Release();
    if (FAILED(hr)) {
        std::fprintf(stderr, "host: Host failed 0x%08X\n", (unsigned)hr);
        return 1;
    }
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    std::printf("host: hosting on port %u, descriptor limit %lu\n", PortBase(), (unsigned long)limit.rlim_cur);
    Meter meter("host");
    const double end = Seconds() + seconds;
    while (Seconds() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        meter.Tick([] { return "players=" + std::to_string(g_players.load()); });
    }
    meter.Total();
    peer->Close(0);
    peer->Release();
    return 0;
}

// --- join ------------------------------------------------------------------------------------------
IDirectPlay8Address* LoopbackHost(DWORD port)
{
    IDirectPlay8Address* host = TcpAddress();
    if (!host) return nullptr;
    const wchar_t* loopback = L"127.0.0.1";
    host->AddComponent(DPNA_KEY_HOSTNAME, loopback, (DWORD)((wcslen(loopback) + 1) * sizeof(wchar_t)),
                       DPNA_DATATYPE_STRING);
    host->AddComponent(DPNA_KEY_PORT, &port, sizeof port, DPNA_DATATYPE_DWORD);
    return host;
}

// A real guest's asynchronous call toward the host on PortBase() (a Connect or an EnumHosts),
// then the seconds until `done` holds, or a negative number when the call is refused or `done`
// does not come within `limit` seconds.
double GuestSeconds(const char* what, double limit,
                    const std::function<HRESULT(IDirectPlay8Peer*, DPN_APPLICATION_DESC*, IDirectPlay8Address* host,
                                                IDirectPlay8Address* device, DPNHANDLE*)>& call,
                    const std::function<bool()>& done)
{
    IDirectPlay8Peer* peer = NewPeer(CountingHandler, nullptr);
    IDirectPlay8Address* device = TcpAddress();
    IDirectPlay8Address* host = LoopbackHost(PortBase());
    double took = -1;
    if (peer && device && host) {
        DPN_APPLICATION_DESC desc{};
        desc.dwSize = sizeof desc;
        desc.guidApplication = kApplication;
        DPNHANDLE handle = 0;
        const double start = Seconds();
        const HRESULT hr = call(peer, &desc, host, device, &handle);
        if (hr != DPNSUCCESS_PENDING) std::printf("%s: the call failed 0x%08X\n", what, (unsigned)hr);
        while (hr == DPNSUCCESS_PENDING && !done() && Seconds() - start < limit)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (hr == DPNSUCCESS_PENDING && done()) took = Seconds() - start;
    }
    if (host) host->Release();
    if (device) device->Release();
    if (peer) {
        peer->Close(0);
        peer->Release();
    }
    return took;
}

// Seconds a real guest takes to join the host on PortBase(), or a negative number when it fails.
double JoinSeconds()
{
    g_connectDone = 0;
    const double took = GuestSeconds(
        "join", 30.0,
        [](IDirectPlay8Peer* peer, DPN_APPLICATION_DESC* desc, IDirectPlay8Address* host, IDirectPlay8Address* device,
           DPNHANDLE* handle) {
            return peer->Connect(desc, host, device, nullptr, nullptr, nullptr, 0, nullptr, nullptr, handle, 0);
        },
        [] { return g_connectDone != 0; });
    if (took < 0 || FAILED(g_connectResult.load())) {
        if (g_connectDone) std::printf("join: failed (0x%08X)\n", (unsigned)g_connectResult.load());
        return -1;
    }
    return took;
}

int RunJoin()
{
    const double took = JoinSeconds();
    if (took >= 0) std::printf("join: joined after %.2fs\n", took);
    return took >= 0 ? 0 : 1;
}

// --- burst -----------------------------------------------------------------------------------------
int RunBurst(int count, double seconds)
{
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    to.sin_port = htons(PortBase());
    std::vector<int> fds;
    int refused = 0, failed = 0;
    const double start = Seconds();
    for (int i = 0; i < count; ++i) {
        int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            ++failed;
            continue;
        }
        if (connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0 && errno != EINPROGRESS) {
            if (errno == ECONNREFUSED) ++refused;
            close(fd);
            continue;
        }
        fds.push_back(fd);
    }
    std::printf("burst: %zu connections under way after %.2fs (%d refused, %d without a socket)\n", fds.size(),
                Seconds() - start, refused, failed);
    std::fflush(stdout);
    // Hold them, silently, reading away whatever comes (nothing should) and noting who hung up.
    const double end = start + seconds;
    size_t closedByHost = 0;
    std::vector<char> gone(fds.size(), 0);
    while (Seconds() < end) {
        std::vector<pollfd> p;
        std::vector<size_t> index;
        for (size_t i = 0; i < fds.size(); ++i)
            if (!gone[i]) {
                p.push_back({fds[i], POLLIN, 0});
                index.push_back(i);
            }
        if (poll(p.data(), p.size(), 200) > 0)
            for (size_t k = 0; k < p.size(); ++k)
                if (p[k].revents & (POLLIN | POLLHUP | POLLERR)) {
                    char b[256];
                    if (recv(p[k].fd, b, sizeof b, MSG_DONTWAIT) <= 0) {
                        gone[index[k]] = 1;
                        ++closedByHost;
                    }
                }
    }
    std::printf("burst: %zu of %zu connections were closed by the host within %.0fs\n", closedByHost, fds.size(),
                seconds);
    for (int fd : fds) close(fd);
    return 0;
}

// --- answers ---------------------------------------------------------------------------------------
int RunAnswers(int rate, double seconds)
{
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in me{};
    me.sin_family = AF_INET;
    me.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    // The last port of the search range: every query of a search reaches it.
    bool bound = false;
    for (int i = 31; i >= 0 && !bound; --i) {
        me.sin_port = htons((uint16_t)(PortBase() + i));
        bound = bind(fd, reinterpret_cast<sockaddr*>(&me), sizeof me) == 0;
    }
    if (!bound) {
        std::fprintf(stderr, "answers: no free port in the search range\n");
        return 1;
    }
    std::printf("answers: listening on port %u\n", ntohs(me.sin_port));
    std::fflush(stdout);
    uint8_t query[64];
    sockaddr_in searcher{};
    socklen_t len = sizeof searcher;
    ssize_t n;
    do {
        n = recvfrom(fd, query, sizeof query, 0, reinterpret_cast<sockaddr*>(&searcher), &len);
    } while (n != 28 || std::memcmp(query, "DP8Q", 4) != 0);
    std::mt19937 random(12345);
    std::vector<uint8_t> answer;
    auto put32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i) answer.push_back((uint8_t)(v >> (8 * i)));
    };
    const double start = Seconds();
    long sent = 0;
    const int perTick = rate / 100 > 0 ? rate / 100 : 1;
    while (Seconds() - start < seconds) {
        // Catch the newest query's time stamp, so that the latencies look right.
        sockaddr_in from{};
        socklen_t fromLen = sizeof from;
        uint8_t fresh[64];
        if (recvfrom(fd, fresh, sizeof fresh, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), &fromLen) == 28 &&
            std::memcmp(fresh, "DP8Q", 4) == 0) {
            std::memcpy(query, fresh, 28);
            searcher = from;
        }
        for (int k = 0; k < perTick; ++k) {
            answer.clear();
            put32(0x52385044);  // "DP8R"
            put32(1);
            put32(0);  // flags
            for (int i = 0; i < 4; ++i) put32(random());  // a session nobody has seen
            answer.insert(answer.end(), query + 8, query + 24);  // the application asked for
            put32(2);                                            // max players
            put32(1);                                            // current
            put32(PortBase());
            answer.insert(answer.end(), query + 24, query + 28);  // the query's stamp
            char name[32];
            const int l = std::snprintf(name, sizeof name, "Fake %ld", sent);
            answer.push_back((uint8_t)l);
            answer.push_back(0);
            answer.insert(answer.end(), name, name + l);
            sendto(fd, answer.data(), answer.size(), 0, reinterpret_cast<sockaddr*>(&searcher), sizeof searcher);
            ++sent;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::printf("answers: %ld made-up sessions sent in %.1fs\n", sent, Seconds() - start);
    close(fd);
    return 0;
}

// --- search ----------------------------------------------------------------------------------------
ConnectionWizard* g_wizard = nullptr;

HRESULT WizardHandler(void*, DWORD id, void* message) { return g_wizard->MessageHandler(nullptr, id, message); }

int RunSearch(double seconds)
{
    if (!PlatformInit()) return 1;
    PlatformRecordMessageBoxes(true);
    ConnectionWizard wizard(nullptr, "Flood", &kApplication);
    g_wizard = &wizard;
    IDirectPlay8Peer* peer = NewPeer(WizardHandler, nullptr);
    if (!peer) return 1;
    wizard.Init(peer, nullptr);
    wizard.SetPlayerName("Searcher");
    wizard.SetSessionName("Searcher");
    wizard.SetMaxPlayers(2);
    Meter meter("search");
    size_t mostLines = 0;
    DialogSetTestDriver([&](HWND d) {
        const std::string title = DialogTestTitle(d);
        if (title.find("Connect") != std::string::npos) {
            DialogTestClick(d, IDOK);
            return;
        }
        if (!DialogTestClick(d, IDC_SEARCH_CHECK) || DialogTestText(d, IDC_SEARCH_CHECK) != "Searching...") {
            std::fprintf(stderr, "search: the search did not start (%s)\n", title.c_str());
            return;
        }
        const double end = Seconds() + seconds;
        while (Seconds() < end) {
            DialogTestPump(50);
            meter.Tick([&] {
                const size_t lines = DialogTestEntries(d, IDC_GAMES_LIST).size();
                if (lines > mostLines) mostLines = lines;
                return "listed=" + std::to_string(lines) + " valid=" + std::to_string(wizard.ValidHostCount());
            });
        }
        DialogTestKey(d, DialogKey::Escape);
    });
    const HRESULT result = wizard.DoConnectWizard(FALSE);
    DialogSetTestDriver(nullptr);
    for (const PlatformMessageBox& box : PlatformRecordedMessageBoxes())
        std::printf("search: message box \"%s\"\n", box.text);
    std::printf("search: the wizard ended with 0x%08X\n", (unsigned)result);
    // What is left queued is still worked off before the peer can close.
    const double closing = Seconds();
    peer->Close(0);
    std::printf("search: closing the peer took %.2fs; the list showed at most %zu lines\n", Seconds() - closing,
                mostLines);
    meter.Total();
    peer->Release();
    wizard.Shutdown();
    return 0;
}

// --- measure ---------------------------------------------------------------------------------------
struct FloodCase {
    const char* name;
    rlim_t hostLimit;        // the host's descriptor limit
    int held;                // silent connections opened at the start and held to the end
    int connectsPerSecond;   // connections opened, held a second and closed
    int datagramsPerSecond;  // to the host's search port
    bool queries;            // the datagrams are well-formed queries for any session, else noise
};

const FloodCase kCases[] = {
    {"idle", 1024, 0, 0, 0, false},
    {"tcp, 64 fds", 64, 4000, 700, 0, false},
    {"udp queries, 64 fds", 64, 0, 0, 200000, true},
    {"tcp + udp queries, 64 fds", 64, 4000, 700, 200000, true},
    {"udp queries", 1024, 0, 0, 130000, true},
    {"udp noise", 1024, 0, 0, 130000, false},
};

sockaddr_in HostAddress()
{
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    to.sin_port = htons(PortBase());
    return to;
}

// A search query for any application, as a searcher sends it.
std::vector<uint8_t> AnyQuery(uint32_t stamp)
{
    std::vector<uint8_t> q = {'D', 'P', '8', 'Q', 1, 0, 0, 0};
    q.resize(24, 0);  // the null application: every host answers it
    for (int i = 0; i < 4; ++i) q.push_back((uint8_t)(stamp >> (8 * i)));
    return q;
}

// The host process: processor ticks and voluntary context switches (one per blocking wait,
// summed over its threads), read from /proc.
struct ProcessSample {
    double cpuSeconds = 0;
    long waits = 0;
};

ProcessSample SampleProcess(pid_t pid)
{
    ProcessSample out;
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/stat", (int)pid);
    if (FILE* f = std::fopen(path, "r")) {
        char line[1024] = {};
        const size_t n = std::fread(line, 1, sizeof line - 1, f);
        std::fclose(f);
        line[n] = 0;
        // After the command's closing parenthesis: state is field 3, utime 14 and stime 15.
        if (const char* p = std::strrchr(line, ')')) {
            unsigned long long utime = 0, stime = 0;
            if (std::sscanf(p + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &utime, &stime) == 2)
                out.cpuSeconds = (double)(utime + stime) / (double)sysconf(_SC_CLK_TCK);
        }
    }
    std::snprintf(path, sizeof path, "/proc/%d/task", (int)pid);
    if (DIR* d = opendir(path)) {
        while (dirent* e = readdir(d)) {
            if (e->d_name[0] == '.') continue;
            char status[320];
            std::snprintf(status, sizeof status, "/proc/%d/task/%s/status", (int)pid, e->d_name);
            if (FILE* f = std::fopen(status, "r")) {
                char line[256];
                long v;
                while (std::fgets(line, sizeof line, f))
                    if (std::sscanf(line, "voluntary_ctxt_switches: %ld", &v) == 1) out.waits += v;
                std::fclose(f);
            }
        }
        closedir(d);
    }
    return out;
}

// Starts `dplay8_flood host` with that descriptor limit and waits until it answers a search.
pid_t StartHost(rlim_t limit, double seconds)
{
    const pid_t pid = fork();
    if (pid == 0) {
        rlimit l{};
        getrlimit(RLIMIT_NOFILE, &l);
        l.rlim_cur = limit;
        setrlimit(RLIMIT_NOFILE, &l);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        char span[32];
        std::snprintf(span, sizeof span, "%.0f", seconds);
        execl("/proc/self/exe", "dplay8_flood", "host", span, (char*)nullptr);
        _exit(127);
    }
    if (pid < 0) return -1;
    int probe = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const sockaddr_in to = HostAddress();
    const std::vector<uint8_t> query = AnyQuery(0);
    for (int tries = 0; tries < 1200; ++tries) {  // a minute: a loaded machine is slow to start it
        sendto(probe, query.data(), query.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
        pollfd p{probe, POLLIN, 0};
        if (poll(&p, 1, 50) == 1) {
            close(probe);
            return pid;
        }
    }
    close(probe);
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return -1;
}

// Silent connections: `held` opened at once and kept, and `perSecond` more each second, each
// closed a second after it was opened.
void FloodConnections(const FloodCase& c, const std::atomic<bool>& stop)
{
    const sockaddr_in to = HostAddress();
    auto open = [&] {
        int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd >= 0) connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to);
        return fd;
    };
    std::vector<int> held;
    for (int i = 0; i < c.held; ++i) held.push_back(open());
    std::deque<std::pair<double, int>> churn;
    const double start = Seconds();
    long opened = 0;
    while (!stop) {
        const double now = Seconds();
        for (; opened < (long)((now - start) * c.connectsPerSecond); ++opened) churn.push_back({now, open()});
        while (!churn.empty() && now - churn.front().first >= 1.0) {
            if (churn.front().second >= 0) close(churn.front().second);
            churn.pop_front();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    for (auto& [when, fd] : churn)
        if (fd >= 0) close(fd);
    for (int fd : held)
        if (fd >= 0) close(fd);
}

// Datagrams to the host's search port from 64 source ports, paced to the case's rate; the
// answers that come back are counted.
void FloodDatagrams(const FloodCase& c, const std::atomic<bool>& stop, std::atomic<long>& sent,
                    std::atomic<long>& answered)
{
    constexpr int SOURCES = 64, BATCH = 64;
    sockaddr_in to = HostAddress();
    std::vector<int> sources;
    for (int i = 0; i < SOURCES; ++i) {
        int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        sockaddr_in me{};
        me.sin_family = AF_INET;
        me.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(fd, reinterpret_cast<sockaddr*>(&me), sizeof me);
        sources.push_back(fd);
    }
    std::mt19937 random(777);
    std::vector<std::vector<uint8_t>> packets;
    for (int i = 0; i < BATCH; ++i) {
        if (c.queries) {
            packets.push_back(AnyQuery(random()));
        } else {
            std::vector<uint8_t> noise(1 + random() % 64);
            for (uint8_t& b : noise) b = (uint8_t)random();
            packets.push_back(noise);
        }
    }
    iovec iov[BATCH];
    mmsghdr out[BATCH];
    for (int i = 0; i < BATCH; ++i) {
        iov[i] = {packets[i].data(), packets[i].size()};
        out[i] = {};
        out[i].msg_hdr.msg_name = &to;
        out[i].msg_hdr.msg_namelen = sizeof to;
        out[i].msg_hdr.msg_iov = &iov[i];
        out[i].msg_hdr.msg_iovlen = 1;
    }
    uint8_t replies[BATCH][256];
    iovec replyIov[BATCH];
    mmsghdr in[BATCH];
    for (int i = 0; i < BATCH; ++i) {
        replyIov[i] = {replies[i], sizeof replies[i]};
        in[i] = {};
        in[i].msg_hdr.msg_iov = &replyIov[i];
        in[i].msg_hdr.msg_iovlen = 1;
    }
    const double start = Seconds();
    double lastDrain = start;
    long count = 0;
    size_t next = 0;
    while (!stop) {
        const double now = Seconds();
        const long due = (long)((now - start) * c.datagramsPerSecond);
        while (count < due) {
            const int n = sendmmsg(sources[next++ % SOURCES], out, (unsigned)std::min<long>(BATCH, due - count), 0);
            if (n <= 0) break;
            count += n;
        }
        sent = count;
        if (now - lastDrain >= 0.01) {
            lastDrain = now;
            for (int fd : sources)
                for (int n; (n = recvmmsg(fd, in, BATCH, MSG_DONTWAIT, nullptr)) > 0;) answered += n;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    for (int fd : sources) close(fd);
}

// Seconds until a real search hears the host (one query a second, as the games dialog asks),
// or a negative number when it hears nothing in 10 s.
double SearchSeconds()
{
    g_hostsFound = 0;
    return GuestSeconds(
        "search", 10.0,
        [](IDirectPlay8Peer* peer, DPN_APPLICATION_DESC* desc, IDirectPlay8Address* host, IDirectPlay8Address* device,
           DPNHANDLE* handle) {
            return peer->EnumHosts(desc, host, device, nullptr, 0, INFINITE, 0, INFINITE, nullptr, handle, 0);
        },
        [] { return g_hostsFound != 0; });
}

int RunMeasure(double seconds, const std::string& only)
{
    // The flood's own ends: thousands of connections.
    rlimit l{};
    getrlimit(RLIMIT_NOFILE, &l);
    l.rlim_cur = l.rlim_max;
    setrlimit(RLIMIT_NOFILE, &l);
    std::printf("%-27s %6s %6s %7s %9s %8s %9s %9s %9s %8s\n", "case", "limit", "held", "conn/s", "udp/s",
                "host cpu", "waits/s", "answers/s", "search", "join");
    int failed = 0, measured = 0;
    for (const FloodCase& c : kCases) {
        if (!only.empty() && only != c.name) continue;
        const pid_t host = StartHost(c.hostLimit, seconds + 5);
        if (host < 0) {
            std::printf("%-27s the host did not start\n", c.name);
            ++failed;
            continue;
        }
        std::atomic<bool> stop{false};
        std::atomic<long> sent{0}, answered{0};
        std::thread tcp, udp;
        if (c.held || c.connectsPerSecond) tcp = std::thread([&] { FloodConnections(c, stop); });
        if (c.datagramsPerSecond) udp = std::thread([&] { FloodDatagrams(c, stop, sent, answered); });
        std::this_thread::sleep_for(std::chrono::seconds(1));  // the flood under way
        const double wall0 = Seconds();
        const ProcessSample before = SampleProcess(host);
        const long sent0 = sent, answered0 = answered;
        const double search = SearchSeconds();
        const double join = JoinSeconds();
        while (Seconds() - wall0 < seconds) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const ProcessSample after = SampleProcess(host);
        const double wall = Seconds() - wall0;
        const long sentIn = sent - sent0, answeredIn = answered - answered0;
        stop = true;
        if (tcp.joinable()) tcp.join();
        if (udp.joinable()) udp.join();
        kill(host, SIGKILL);
        waitpid(host, nullptr, 0);
        auto ms = [](double s) {
            char text[16];
            if (s < 0)
                std::snprintf(text, sizeof text, "failed");
            else
                std::snprintf(text, sizeof text, "%.0f ms", s * 1000);
            return std::string(text);
        };
        std::printf("%-27s %6lu %6d %7d %9.0f %7.1f%% %9.0f %9.0f %9s %8s\n", c.name, (unsigned long)c.hostLimit,
                    c.held, c.connectsPerSecond, sentIn / wall, 100 * (after.cpuSeconds - before.cpuSeconds) / wall,
                    (after.waits - before.waits) / wall, answeredIn / wall, ms(search).c_str(), ms(join).c_str());
        std::fflush(stdout);
        ++measured;
        std::this_thread::sleep_for(std::chrono::seconds(1));  // what the kernel still holds of the case drains
    }
    if (!measured && !failed) std::fprintf(stderr, "dplay8_flood: no case \"%s\"\n", only.c_str());
    return failed || !measured ? 1 : 0;
}

int Usage()
{
    std::fprintf(stderr,
                 "usage: dplay8_flood host SECONDS | burst COUNT SECONDS | join | answers RATE SECONDS | "
                 "search SECONDS | measure [SECONDS [CASE]]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) return Usage();
    const std::string what = argv[1];
    auto num = [&](int i, double fallback) { return argc > i ? std::atof(argv[i]) : fallback; };
    if (what == "host") return RunHost(num(2, 15));
    if (what == "burst") return RunBurst((int)num(2, 8000), num(3, 12));
    if (what == "join") return RunJoin();
    if (what == "answers") return RunAnswers((int)num(2, 2000), num(3, 20));
    if (what == "search") return RunSearch(num(2, 20));
    if (what == "measure") {
        // Its hosts and guests are its own children: no range need be agreed with anyone.
        if (!std::getenv("PLATFORM_DPLAY8_PORT")) setenv("PLATFORM_DPLAY8_PORT", OwnPortText().c_str(), 1);
        return RunMeasure(num(2, 8), argc > 3 ? argv[3] : "");
    }
    return Usage();
}
