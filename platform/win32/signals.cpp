// A game ended from outside (kill, Ctrl+C in its terminal, the terminal closing) ends as it does
// when its window is closed: the window receives WM_CLOSE, and the game saves what it saves on
// that way out. On Windows a console's Ctrl+C and a log-off reach a windowed program as the
// close of its window too.
//
// The handler only records the signal and writes it to a pipe; the main thread, which polls its
// queue every few milliseconds even while it waits, turns it into the close. A watchdog reading
// the pipe ends a program whose main thread never gets to that close (a hang) the way the signal
// would have, so that kill and timeout keep working on it. SDL is told to install no handlers of
// its own (PlatformInit), so these are the only ones.
#include "platform/win32/detail.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

namespace {

volatile sig_atomic_t pendingSignal = 0;
int signalPipe[2] = {-1, -1};

// How long a closing program may take before the watchdog ends it.
constexpr auto kCloseGrace = std::chrono::seconds(10);

void RecordSignal(int number)
{
    const int saved = errno;
    pendingSignal = number;
    const unsigned char byte = static_cast<unsigned char>(number);
    if (signalPipe[1] >= 0) (void)!write(signalPipe[1], &byte, 1);
    errno = saved;
}

void Watch()
{
    unsigned char number = 0;
    while (read(signalPipe[0], &number, 1) != 1) {
        if (errno != EINTR) return;
    }
    std::this_thread::sleep_for(kCloseGrace);
    PlatformTrace("signal %d: the program did not close in time; ending it", number);
    signal(number, SIG_DFL);
    kill(getpid(), number);
}

void Install()
{
    if (pipe2(signalPipe, O_CLOEXEC) == 0)
        std::thread(Watch).detach();
    else
        signalPipe[0] = signalPipe[1] = -1;
    for (int number : {SIGTERM, SIGINT, SIGHUP}) {
        struct sigaction old {};
        if (sigaction(number, nullptr, &old) != 0) continue;
        // A signal the starter told us to ignore stays ignored (nohup; a job started in the
        // background of a shell script, which does not take the terminal's Ctrl+C).
        if (!(old.sa_flags & SA_SIGINFO) && old.sa_handler == SIG_IGN) continue;
        struct sigaction action {};
        action.sa_handler = RecordSignal;
        sigemptyset(&action.sa_mask);
        // The handler serves once: a second signal ends the process as signals always do.
        action.sa_flags = SA_RESTART | SA_RESETHAND;
        sigaction(number, &action, nullptr);
    }
}

}  // namespace

namespace platform_detail {

void DeliverSignals()
{
    static bool installed = false;
    if (!installed) {
        installed = true;
        Install();
    }
    const int number = pendingSignal;
    if (!number) return;
    pendingSignal = 0;
    HWND main = PlatformMainWindow();
    if (!main) {
        // Nothing to close: the signal's own way out (its handler is spent by now).
        signal(number, SIG_DFL);
        raise(number);
        return;
    }
    PlatformTrace("signal %d: closing the window", number);
    PostMessageA(main, WM_CLOSE, 0, 0);
}

}  // namespace platform_detail
