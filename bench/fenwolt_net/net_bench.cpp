// The network on loopback: the time from one computer's end of turn to the other computer's start
// of its phase, through the game's messages, DirectPlay's threads and each main thread's queue;
// and messages per second through the DirectPlay stand-in alone.
//
// The hand-over runs between this process and a child of its own (each with its own game state,
// as two computers have), forked before anything starts a thread. Both main threads poll their
// queue continuously, as the game's loop does between frames. Times are wall-clock, read from the
// one monotonic clock both processes share.
// Run headless: SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy ./fenwolt_net_bench
#include "bench/support/bench_main.h"
#include "fenwolt/Game/Network/GameMessages.h"
#include "fenwolt/Game/Network/NetState.h"
#include "fenwolt/Game/ScreenSlots.h"
#include "fenwolt/Game/GameApp.h"
#include "platform/dplay8/dplay8.h"
#include "platform/tests/support/test_ports.h"

#include <benchmark/benchmark.h>

#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <random>
#include <string>
#include <thread>

namespace {

uint64_t NowNs()
{
    return (uint64_t)std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// What the two processes share.
struct Shared {
    GUID application;
    std::atomic<uint32_t> port;              // the host's port, once it hosts
    std::atomic<uint64_t> phaseStarts;       // the child's count of phases begun
    std::atomic<uint64_t> lastPhaseStartNs;  // when the last one began
    std::atomic<bool> joined;
    std::atomic<bool> stop;
};
Shared* g_shared = nullptr;

IDirectPlay8Address* NewAddress()
{
    IDirectPlay8Address* a = nullptr;
    CoCreateInstance(CLSID_DirectPlay8Address, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectPlay8Address,
                     reinterpret_cast<void**>(&a));
    a->SetSP(&CLSID_DP8SP_TCPIP);
    return a;
}

bool MakeGamePeer()
{
    InitializeCriticalSection(&Net.playerListLock);
    Net.playerListLockMade = true;
    if (FAILED(CoCreateInstance(CLSID_DirectPlay8Peer, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectPlay8Peer,
                                reinterpret_cast<void**>(&Net.peer))))
        return false;
    NetworkGameActive = true;
    Net.sessionSetUp = 1;
    return SUCCEEDED(Net.peer->Initialize(nullptr, DirectPlayMessageHandler, 0));
}

// --- The other computer (the child) ---------------------------------------------------------------
// It agrees to every end-turn request and begins its phase when the hand-over arrives.
void OtherComputerHandler(int32_t message)
{
    if (message != (int32_t)WM_NET_NOTIFY) return;
    if (LastMessageParam == NOTIFY_END_TURN && IncomingEndTurnCode == END_TURN_REQUEST) {
        OutgoingEndTurnCode = END_TURN_AGREE;
        SendGameMessage(GAME_MSGID_END_TURN);
    } else if (LastMessageParam == NOTIFY_PHASE_DONE) {
        g_shared->lastPhaseStartNs = NowNs();
        ++g_shared->phaseStarts;
    }
}

int RunOtherComputer()
{
    if (!MakeGamePeer()) return 1;
    Net.isHost = 0;
    SetScreenMessageHandler(OtherComputerHandler);
    while (!g_shared->port) {
        if (g_shared->stop) return 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    IDirectPlay8Address* device = NewAddress();
    IDirectPlay8Address* host = NewAddress();
    DWORD port = g_shared->port;
    host->AddComponent(DPNA_KEY_PORT, &port, sizeof port, DPNA_DATATYPE_DWORD);
    DPN_APPLICATION_DESC desc{};
    desc.dwSize = sizeof desc;
    desc.guidApplication = g_shared->application;
    DPNHANDLE handle = 0;
    if (Net.peer->Connect(&desc, host, device, nullptr, nullptr, nullptr, 0, nullptr, nullptr, &handle, 0) !=
        DPNSUCCESS_PENDING)
        return 1;
    device->Release();
    host->Release();
    while (!g_shared->stop) {
        ProcessNetworkMessages();
        if (Net.playerCount == 2) g_shared->joined = true;
    }
    Net.closing = true;
    Net.peer->Close(0);
    Net.peer->Release();
    return 0;
}

// --- This computer ---------------------------------------------------------------------------------
std::atomic<int> g_agreements{0};

void ThisComputerHandler(int32_t message)
{
    if (message == (int32_t)WM_NET_NOTIFY && LastMessageParam == NOTIFY_END_TURN &&
        IncomingEndTurnCode == END_TURN_AGREE)
        ++g_agreements;
}

bool g_sessionUp = false;

bool HostSession()
{
    if (g_sessionUp) return true;
    if (!MakeGamePeer()) return false;
    Net.isHost = 1;
    SetScreenMessageHandler(ThisComputerHandler);
    IDirectPlay8Address* device = NewAddress();
    DPN_APPLICATION_DESC desc{};
    desc.dwSize = sizeof desc;
    desc.guidApplication = g_shared->application;
    desc.dwMaxPlayers = NET_SESSION_PLAYERS;
    if (FAILED(Net.peer->Host(&desc, &device, 1, nullptr, nullptr, nullptr, 0))) return false;
    device->Release();
    // The port the host took: the first of this run's range, which nothing else uses.
    g_shared->port = (uint32_t)std::atoi(getenv("PLATFORM_DPLAY8_PORT"));
    // A ceiling for a guest that never comes: a loaded machine may take many seconds to start it.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (!g_shared->joined || Net.playerCount < 2) {
        ProcessNetworkMessages();
        if (std::chrono::steady_clock::now() > until) return false;
    }
    g_sessionUp = true;
    return true;
}

void BM_EndOfTurnToOtherSidesPhase(benchmark::State& state)
{
    if (!HostSession()) {
        state.SkipWithError("the two computers did not meet");
        return;
    }
    for (auto _ : state) {
        const uint64_t phases = g_shared->phaseStarts;
        const int agreed = g_agreements;
        const uint64_t start = NowNs();
        // End of turn: ask, hear the agreement, hand over the ball, the table and the phase.
        OutgoingEndTurnCode = END_TURN_REQUEST;
        SendGameMessage(GAME_MSGID_END_TURN);
        while (g_agreements == agreed) ProcessNetworkMessages();
        SendGameMessage(GAME_MSGID_BALL_STATE);
        SendGameMessage(GAME_MSGID_RANDOM_TABLE);
        SendGameMessage(GAME_MSGID_PHASE_DONE);
        while (g_shared->phaseStarts == phases) ProcessNetworkMessages();
        state.SetIterationTime((double)(g_shared->lastPhaseStartNs - start) * 1e-9);
    }
}
BENCHMARK(BM_EndOfTurnToOtherSidesPhase)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(2000);

// --- The stand-in alone ------------------------------------------------------------------------------
struct Counter {
    std::atomic<uint64_t> received{0};
    std::atomic<int> players{0};
    static HRESULT Handler(void* context, DWORD id, void*)
    {
        if (id == DPN_MSGID_RECEIVE) ++static_cast<Counter*>(context)->received;
        if (id == DPN_MSGID_CREATE_PLAYER) ++static_cast<Counter*>(context)->players;
        return S_OK;
    }
};

// Until host and guest have each seen both players, and so can send: what is sent before is lost,
// and its count never comes. A ceiling for a guest that never joins; a loaded machine may take
// seconds.
bool BothKnowBoth(const Counter& host, const Counter& guest)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (host.players < 2 || guest.players < 2) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

void BM_StandInMessagesPerSecond(benchmark::State& state)
{
    const size_t size = (size_t)state.range(0);
    Counter hostSeen, guestSeen;
    IDirectPlay8Peer *host = nullptr, *guest = nullptr;
    CoCreateInstance(CLSID_DirectPlay8Peer, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectPlay8Peer,
                     reinterpret_cast<void**>(&host));
    CoCreateInstance(CLSID_DirectPlay8Peer, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectPlay8Peer,
                     reinterpret_cast<void**>(&guest));
    host->Initialize(&hostSeen, Counter::Handler, 0);
    guest->Initialize(&guestSeen, Counter::Handler, 0);
    GUID application = g_shared->application;
    application.Data1 ^= 0x5A5A5A5A;
    IDirectPlay8Address* device = NewAddress();
    DPN_APPLICATION_DESC desc{};
    desc.dwSize = sizeof desc;
    desc.guidApplication = application;
    DWORD port = (DWORD)std::atoi(getenv("PLATFORM_DPLAY8_PORT")) + 7;
    device->AddComponent(DPNA_KEY_PORT, &port, sizeof port, DPNA_DATATYPE_DWORD);
    IDirectPlay8Address* where = NewAddress();
    where->AddComponent(DPNA_KEY_PORT, &port, sizeof port, DPNA_DATATYPE_DWORD);
    DPNHANDLE handle = 0;
    if (FAILED(host->Host(&desc, &device, 1, nullptr, nullptr, nullptr, 0)) ||
        guest->Connect(&desc, where, device, nullptr, nullptr, nullptr, 0, nullptr, nullptr, &handle, 0) !=
            DPNSUCCESS_PENDING) {
        state.SkipWithError("no session");
    } else if (!BothKnowBoth(hostSeen, guestSeen)) {
        state.SkipWithError("the guest never joined");
    } else {
        std::vector<uint8_t> message(size, 0x33);
        DPN_BUFFER_DESC buffer{(DWORD)size, message.data()};
        constexpr int BATCH = 10000;
        for (auto _ : state) {
            const uint64_t target = hostSeen.received + BATCH;
            for (int i = 0; i < BATCH; ++i) guest->SendTo(DPNID_ALL_PLAYERS_GROUP, &buffer, 1, 0, nullptr, &handle,
                                                          DPNSEND_NOLOOPBACK);
            while (hostSeen.received < target) std::this_thread::yield();
        }
        state.SetItemsProcessed(state.iterations() * BATCH);
        state.SetBytesProcessed(state.iterations() * BATCH * (int64_t)size);
    }
    device->Release();
    where->Release();
    guest->Close(0);
    host->Close(0);
    guest->Release();
    host->Release();
}
BENCHMARK(BM_StandInMessagesPerSecond)->Arg(12)->Arg(76)->Arg(4632)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv)
{
    g_shared = static_cast<Shared*>(
        mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    new (g_shared) Shared{};
    std::random_device rd;
    g_shared->application = GUID{rd(), (uint16_t)rd(), (uint16_t)rd(), {1, 2, 3, 4, 5, 6, 7, 8}};
    setenv("PLATFORM_DPLAY8_PORT", OwnPortText().c_str(), 1);
    unsetenv("PLATFORM_DPLAY8_LAN");
    const pid_t child = fork();
    if (child == 0) _exit(RunOtherComputer());
    const int status = benchmain::Main(argc, argv);
    g_shared->stop = true;
    waitpid(child, nullptr, 0);
    if (Net.peer) {
        Net.closing = true;
        Net.peer->Close(0);
        Net.peer->Release();
        Net.peer = nullptr;
    }
    return status;
}
