// Hostile traffic on loopback against the DirectPlay stand-in, and the two programs it is aimed
// at, each reporting the processor time it spends second by second:
//
//   dplay8_flood host SECONDS             hosts a session for SECONDS
//   dplay8_flood burst COUNT SECONDS      opens COUNT silent connections to the host, holds them
//   dplay8_flood join                     a real guest joins the host; prints how long it took
//   dplay8_flood answers RATE SECONDS     answers the first search query it hears with RATE
//                                         made-up sessions a second, for SECONDS
//   dplay8_flood search SECONDS           the game's games dialog searching for SECONDS
//
// Everything goes to 127.0.0.1, ports PLATFORM_DPLAY8_PORT (default 31400) and the 31 after it;
// the host takes the first of them. Run the victims under `ulimit -n 1024` and /usr/bin/time -v,
// for example:
//   PLATFORM_DPLAY8_PORT=35000 sh -c 'ulimit -n 1024; /usr/bin/time -v dplay8_flood host 15' &
//   PLATFORM_DPLAY8_PORT=35000 dplay8_flood burst 8000 12 &
//   sleep 2; PLATFORM_DPLAY8_PORT=35000 dplay8_flood join
#include "fenwolt/common/netconnect.h"
#include "platform/dialogs/dialogs.h"
#include "platform/dplay8/dplay8.h"
#include "platform/win32/platform_internal.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
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

HRESULT CountingHandler(void*, DWORD id, void* message)
{
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
int RunJoin()
{
    IDirectPlay8Peer* peer = NewPeer(CountingHandler, nullptr);
    IDirectPlay8Address* device = TcpAddress();
    IDirectPlay8Address* host = TcpAddress();
    if (!peer || !device || !host) return 1;
    const wchar_t* loopback = L"127.0.0.1";
    host->AddComponent(DPNA_KEY_HOSTNAME, loopback, (DWORD)((wcslen(loopback) + 1) * sizeof(wchar_t)),
                       DPNA_DATATYPE_STRING);
    DWORD port = PortBase();
    host->AddComponent(DPNA_KEY_PORT, &port, sizeof port, DPNA_DATATYPE_DWORD);
    DPN_APPLICATION_DESC desc{};
    desc.dwSize = sizeof desc;
    desc.guidApplication = kApplication;
    DPNHANDLE handle = 0;
    const double start = Seconds();
    HRESULT hr = peer->Connect(&desc, host, device, nullptr, nullptr, nullptr, 0, nullptr, nullptr, &handle, 0);
    host->Release();
    device->Release();
    if (hr != DPNSUCCESS_PENDING) {
        std::printf("join: Connect failed 0x%08X\n", (unsigned)hr);
        return 1;
    }
    while (!g_connectDone && Seconds() - start < 30.0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::printf("join: %s after %.2fs (0x%08X)\n", g_connectDone && SUCCEEDED(g_connectResult.load()) ? "joined" : "failed",
                Seconds() - start, (unsigned)g_connectResult.load());
    peer->Close(0);
    peer->Release();
    return g_connectDone && SUCCEEDED(g_connectResult.load()) ? 0 : 1;
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

int Usage()
{
    std::fprintf(stderr,
                 "usage: dplay8_flood host SECONDS | burst COUNT SECONDS | join | answers RATE SECONDS | "
                 "search SECONDS\n");
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
    return Usage();
}
