// A game ended from outside (kill, Ctrl+C in its terminal, the terminal closing) ends as it does
// when its window is closed: the window receives WM_CLOSE, and the game saves what it saves on
// that way out. On Windows a console's Ctrl+C and a log-off reach a windowed program as the
// close of its window too.
//
// The handler only records the signal; the main thread, which polls its queue every few
// milliseconds even while it waits, turns it into the close. SDL is told to install no handlers
// of its own (PlatformInit), so these are the only ones.
#include "platform/win32/detail.h"

#include <signal.h>

namespace {

volatile sig_atomic_t pendingSignal = 0;

void RecordSignal(int number) { pendingSignal = number; }

void Install()
{
    for (int number : {SIGTERM, SIGINT, SIGHUP}) {
        struct sigaction old {};
        if (sigaction(number, nullptr, &old) != 0) continue;
        // A signal the starter told us to ignore stays ignored (nohup; a job started in the
        // background of a shell script, which does not take the terminal's Ctrl+C).
        if (!(old.sa_flags & SA_SIGINFO) && old.sa_handler == SIG_IGN) continue;
        struct sigaction action {};
        action.sa_handler = RecordSignal;
        sigemptyset(&action.sa_mask);
        // The handler serves once: a second signal, while a game that is stuck never gets to
        // its close, ends the process as signals always do.
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
