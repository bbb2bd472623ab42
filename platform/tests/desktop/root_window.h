#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writes the root window of `display` (":N") to `path` as a PNG and hands back its RGB rows;
// false when the display or the file cannot be used.
bool RootWindowScreenshot(const std::string& display, const std::string& path, std::vector<uint8_t>* rgb = nullptr);

// True when some client of `display` holds the pointer grabbed (a grab of our own is refused).
bool PointerGrabbed(const std::string& display);

// A plain top-level window of another client, mapped while the object lives: something for the
// focus to go to, as to another program on the desktop.
class OtherClientWindow {
public:
    explicit OtherClientWindow(const std::string& display);
    ~OtherClientWindow();
    OtherClientWindow(const OtherClientWindow&) = delete;
    OtherClientWindow& operator=(const OtherClientWindow&) = delete;
    unsigned long Id() const { return window_; }

private:
    void* display_ = nullptr;
    unsigned long window_ = 0;
};

// Watches where the keyboard focus of `display` goes while the object lives: whether it was ever
// left with no window of a client (none, the pointer's root, the root itself), where keys typed
// at that moment reach no program.
class FocusWatch {
public:
    explicit FocusWatch(const std::string& display);
    ~FocusWatch();
    FocusWatch(const FocusWatch&) = delete;
    FocusWatch& operator=(const FocusWatch&) = delete;
    bool FocusWentNowhere();

private:
    void* display_ = nullptr;
    bool nowhere_ = false;
};
