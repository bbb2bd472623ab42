// What a window manager's desktop looks like from outside, for the desktop tests that run one:
// whether it is up, and where a window is and in which state. Kept apart from the tests (the X
// headers' macros clash with GoogleTest's names).
#pragma once

#include <atomic>
#include <string>
#include <thread>

// A connection to `display` (":N") held while the object lives: an X server left by its last
// client resets, refusing the clients that connect meanwhile (a window manager starting while the
// test looks whether one runs yet).
class DisplayHold {
public:
    explicit DisplayHold(const std::string& display);
    ~DisplayHold();
    DisplayHold(const DisplayHold&) = delete;
    DisplayHold& operator=(const DisplayHold&) = delete;
    bool Held() const { return display_ != nullptr; }

private:
    void* display_;
};

// True once a window manager runs on `display` and has announced itself.
bool WindowManagerRunning(const std::string& display);

// A top-level client window as the person sees it.
struct WindowPlace {
    int x = 0, y = 0;           // its client area's top-left corner on the screen
    int width = 0, height = 0;  // of its client area
    bool viewable = false;      // mapped, with every parent mapped: on the screen
    bool minimised = false;     // iconic (in the task bar)
    // The frame the manager drew around it, as it says (0 until it has framed the window).
    int frameLeft = 0, frameTop = 0, frameRight = 0, frameBottom = 0;
};

// False when the window (an id as xdotool prints it) is unknown.
bool FindWindowPlace(const std::string& display, unsigned long window, WindowPlace& place);

// Asks the manager to maximise the window (as its frame's maximise button does) or to restore it.
void AskToMaximise(const std::string& display, unsigned long window, bool maximise);

// Whether the manager has the window maximised both ways.
bool Maximised(const std::string& display, unsigned long window);

// The desktop's usable area as the manager announces it (the screen less its panels); false
// before it has.
struct UsableArea {
    int x = 0, y = 0, width = 0, height = 0;
};
bool FindUsableArea(const std::string& display, UsableArea& area);

// A panel along the bottom of the screen, `height` pixels tall, as a task bar is: the manager
// keeps other windows off it. Mapped while the object lives.
class BottomPanel {
public:
    BottomPanel(const std::string& display, int height);
    ~BottomPanel();
    BottomPanel(const BottomPanel&) = delete;
    BottomPanel& operator=(const BottomPanel&) = delete;
    // Asks for it to be mapped unless it is on the screen: a manager that is starting up may drop
    // the first request.
    void Show();

private:
    void* display_ = nullptr;
    unsigned long window_ = 0;
    int height_;
};

// A window manager of the test's own, as one is while it starts up: it has the requests of the
// root's children sent to it but has not announced itself yet, and drops the first map request
// of each window (openbox now and then does, at that time); it grants the others. It runs on a thread of its own while the object lives.
class ForgetfulWindowManager {
public:
    explicit ForgetfulWindowManager(const std::string& display);
    ~ForgetfulWindowManager();
    ForgetfulWindowManager(const ForgetfulWindowManager&) = delete;
    ForgetfulWindowManager& operator=(const ForgetfulWindowManager&) = delete;
    // False when another manager holds the display (or it cannot be reached).
    bool Running() const { return running_; }
    // Map requests received, the dropped ones included.
    int MapRequests() const { return mapRequests_; }

private:
    void Serve();

    void* display_;
    bool running_ = false;
    std::atomic<bool> stop_{false};
    std::atomic<int> mapRequests_{0};
    std::thread thread_;
};
