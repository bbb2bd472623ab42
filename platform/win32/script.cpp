// PLATFORM_SCRIPT: timed input and screenshots by presented-frame number, and the frame count
// that drives them. See ARCHITECTURE.md ("Running without a screen") for the format.
//
// Details of this implementation:
// - '#' begins a comment at the start of a line or after a blank, so `text C#` types "C#".
// - `key K` presses K at frame N and releases it at N + 1; modifiers (`ctrl+`, `alt+`,
//   `shift+`) go down before the key and up after it.
// - `text` sends every character as WM_CHAR at frame N; for DirectInput, the key of character
//   i goes down at frame N + 2i and up at N + 2i + 1, so that a state read once a frame sees
//   each press. Characters outside Windows-1252 are dropped.
// - Events wait for the program's first window; an event whose frame has passed when the
//   script is loaded happens at once.
// - Frame numbers count the frames that move the script on: every presented frame, but for
//   those presented while a `dialog` line waits for its control (they do move the fixed-step
//   clock). A line after a dialog line thus comes as many frames after it as the script says,
//   however long the dialog line waited.
// - `wait FILE` stands the script still, in the same way, until FILE exists: a test driving two
//   programs lets one of them go on only once the other has done what the next lines answer.
#include "platform/win32/detail.h"
#include "platform/win32/png_file.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fstream>
#include <mutex>
#include <sstream>
#include <vector>

using namespace platform_detail;

namespace {

struct ScriptEvent {
    enum class Type { KeyDown, KeyUp, Text, Scancode, Move, ButtonDown, ButtonUp, Screenshot, Quit, Dialog, Wait };
    uint64_t frame = 0;
    Type type = Type::Quit;
    int value = 0;  // vk, scancode or button
    bool down = false;
    int x = 0, y = 0;
    std::string text;  // characters or file name (screenshot, wait)
    int line = 0;
    std::string action;  // dialog: click, text, select, dblclick, key
};

std::mutex scriptMutex;
std::vector<ScriptEvent> events;  // sorted by frame, file order within a frame
size_t nextEvent = 0;
std::vector<ScriptEvent> screenshots;
std::atomic<uint64_t> frameCount{0};   // presented frames
std::atomic<uint64_t> scriptFrame{0};  // the frames that moved the script on (its frame numbers)
std::function<bool(int&, int&, std::vector<uint8_t>&)> frameReader;
int failedScreenshots = 0;
std::string awaitedFile;  // a `wait` line's file, until it exists

// A `wait` line's file has not come yet.
bool WaitingForFile()
{
    std::lock_guard<std::mutex> lock(scriptMutex);
    return !awaitedFile.empty();
}

std::string Trim(const std::string& s)
{
    size_t a = s.find_first_not_of(" \t\r\n");
    if (a == std::string::npos) return std::string();
    size_t b = s.find_last_not_of(" \t\r\n");
    return s.substr(a, b - a + 1);
}

std::string StripComment(const std::string& line)
{
    for (size_t i = 0; i < line.size(); ++i)
        if (line[i] == '#' && (i == 0 || line[i - 1] == ' ' || line[i - 1] == '\t')) return line.substr(0, i);
    return line;
}

bool ParseInt(const std::string& s, long long lo, long long hi, long long& out)
{
    if (s.empty()) return false;
    size_t i = (s[0] == '-' || s[0] == '+') ? 1 : 0;
    if (i == s.size()) return false;
    for (size_t j = i; j < s.size(); ++j)
        if (s[j] < '0' || s[j] > '9') return false;
    if (s.size() - i > 18) return false;
    errno = 0;
    long long v = strtoll(s.c_str(), nullptr, 10);
    if (errno || v < lo || v > hi) return false;
    out = v;
    return true;
}

std::string Lower(std::string s)
{
    for (auto& c : s) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return s;
}

// "alt+VK_RETURN" -> modifiers (in order) and the key.
bool ParseKey(const std::string& spec, std::vector<int>& modifiers, int& vk, std::string& why)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t plus = spec.find('+', start);
        // A '+' that is the last character is the key itself ("shift++" is not a thing here).
        if (plus == std::string::npos) {
            parts.push_back(spec.substr(start));
            break;
        }
        parts.push_back(spec.substr(start, plus - start));
        start = plus + 1;
    }
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
        std::string m = Lower(parts[i]);
        int mvk = m == "ctrl" ? VK_CONTROL : m == "alt" ? VK_MENU : m == "shift" ? VK_SHIFT : 0;
        if (!mvk) {
            why = "unknown modifier \"" + parts[i] + "\" (ctrl, alt, shift)";
            return false;
        }
        if (std::find(modifiers.begin(), modifiers.end(), mvk) != modifiers.end()) {
            why = "modifier \"" + parts[i] + "\" given twice";
            return false;
        }
        modifiers.push_back(mvk);
    }
    vk = VkFromName(parts.back());
    if (vk < 0) {
        why = "unknown key \"" + parts.back() + "\"";
        return false;
    }
    return true;
}

bool ParseLine(const std::string& raw, int lineNo, std::vector<ScriptEvent>& out, std::string& why)
{
    std::string line = Trim(StripComment(raw));
    if (line.empty()) return true;
    std::istringstream in(line);
    std::string frameText, command;
    in >> frameText >> command;
    long long frame;
    if (!ParseInt(frameText, 0, LLONG_MAX / 4, frame)) {
        why = "the line must begin with a frame number (0 or more), not \"" + frameText + "\"";
        return false;
    }
    std::vector<std::string> args;
    std::string rest;
    {
        size_t pos = line.find(command, frameText.size()) + command.size();
        rest = Trim(line.substr(std::min(pos, line.size())));
        std::istringstream a(rest);
        std::string word;
        while (a >> word) args.push_back(word);
    }
    ScriptEvent e;
    e.frame = static_cast<uint64_t>(frame);
    e.line = lineNo;
    auto add = [&](ScriptEvent ev) { out.push_back(ev); };
    if (command == "key") {
        if (args.empty() || args.size() > 2) {
            why = "key wants a key and optionally down or up";
            return false;
        }
        std::vector<int> mods;
        int vk;
        if (!ParseKey(args[0], mods, vk, why)) return false;
        std::string mode = args.size() == 2 ? args[1] : "";
        if (!mode.empty() && mode != "down" && mode != "up") {
            why = "key state must be down or up, not \"" + mode + "\"";
            return false;
        }
        auto press = [&](uint64_t f) {
            for (int m : mods) {
                ScriptEvent k = e;
                k.frame = f;
                k.type = ScriptEvent::Type::KeyDown;
                k.value = m;
                add(k);
            }
            ScriptEvent k = e;
            k.frame = f;
            k.type = ScriptEvent::Type::KeyDown;
            k.value = vk;
            add(k);
        };
        auto release = [&](uint64_t f) {
            ScriptEvent k = e;
            k.frame = f;
            k.type = ScriptEvent::Type::KeyUp;
            k.value = vk;
            add(k);
            for (auto it = mods.rbegin(); it != mods.rend(); ++it) {
                ScriptEvent m = e;
                m.frame = f;
                m.type = ScriptEvent::Type::KeyUp;
                m.value = *it;
                add(m);
            }
        };
        if (mode.empty() || mode == "down") press(e.frame);
        if (mode.empty()) release(e.frame + 1);
        if (mode == "up") release(e.frame);
        return true;
    }
    if (command == "text") {
        if (rest.empty()) {
            why = "text wants the characters to type";
            return false;
        }
        ScriptEvent t = e;
        t.type = ScriptEvent::Type::Text;
        t.text = rest;
        add(t);
        uint64_t i = 0;
        for (unsigned char c : rest) {
            int sc = ScancodeFromChar(c);
            if (sc) {
                ScriptEvent d = e;
                d.type = ScriptEvent::Type::Scancode;
                d.value = sc;
                d.down = true;
                d.frame = e.frame + 2 * i;
                add(d);
                d.down = false;
                d.frame = e.frame + 2 * i + 1;
                add(d);
            }
            ++i;
        }
        return true;
    }
    if (command == "move" || command == "click") {
        size_t maxArgs = command == "click" ? 3 : 2;
        if (args.size() < 2 || args.size() > maxArgs) {
            why = command + " wants x and y" + (command == "click" ? " and optionally left or right" : "");
            return false;
        }
        long long x, y;
        if (!ParseInt(args[0], -32768, 32767, x) || !ParseInt(args[1], -32768, 32767, y)) {
            why = command + ": x and y must be whole numbers from -32768 to 32767";
            return false;
        }
        ScriptEvent m = e;
        m.type = ScriptEvent::Type::Move;
        m.x = static_cast<int>(x);
        m.y = static_cast<int>(y);
        add(m);
        if (command == "click") {
            int button = 0;
            if (args.size() == 3) {
                if (args[2] == "right")
                    button = 1;
                else if (args[2] != "left") {
                    why = "click button must be left or right, not \"" + args[2] + "\"";
                    return false;
                }
            }
            ScriptEvent b = e;
            b.type = ScriptEvent::Type::ButtonDown;
            b.value = button;
            add(b);
            b.type = ScriptEvent::Type::ButtonUp;
            b.frame = e.frame + 1;
            add(b);
        }
        return true;
    }
    if (command == "screenshot") {
        if (args.size() != 1) {
            why = "screenshot wants one file name";
            return false;
        }
        ScriptEvent s = e;
        s.type = ScriptEvent::Type::Screenshot;
        s.text = args[0];
        add(s);
        return true;
    }
    if (command == "dialog") {
        // <control-id> click | text <characters...> | select <n> | dblclick <n> | key <KEY>
        std::istringstream a(rest);
        std::string idText, action;
        a >> idText >> action;
        long long id;
        if (!ParseInt(idText, 1, 65535, id)) {
            why = "dialog wants a control id from 1 to 65535, then click, text, select, dblclick or key";
            return false;
        }
        size_t at = rest.find(action, rest.find(idText) + idText.size());
        std::string argument = action.empty() ? std::string() : Trim(rest.substr(at + action.size()));
        ScriptEvent d = e;
        d.type = ScriptEvent::Type::Dialog;
        d.value = static_cast<int>(id);
        d.action = action;
        d.text = argument;
        if (action == "click") {
            if (!argument.empty()) {
                why = "dialog click takes nothing more";
                return false;
            }
        } else if (action == "select" || action == "dblclick") {
            long long index;
            if (!ParseInt(argument, 0, 32767, index)) {
                why = "dialog " + action + " wants an entry number from 0";
                return false;
            }
        } else if (action == "key") {
            if (VkFromName(argument) < 0) {
                why = "dialog key wants one key name (VK_RETURN, VK_ESCAPE, VK_TAB, A, ...), not \"" + argument + "\"";
                return false;
            }
        } else if (action != "text") {
            why = "dialog action must be click, text, select, dblclick or key, not \"" + action + "\"";
            return false;
        }
        add(d);
        return true;
    }
    if (command == "wait") {
        if (args.size() != 1) {
            why = "wait wants one file name";
            return false;
        }
        ScriptEvent w = e;
        w.type = ScriptEvent::Type::Wait;
        w.text = args[0];
        add(w);
        return true;
    }
    if (command == "quit") {
        if (!args.empty()) {
            why = "quit takes nothing more";
            return false;
        }
        ScriptEvent q = e;
        q.type = ScriptEvent::Type::Quit;
        add(q);
        return true;
    }
    why = command.empty() ? "a command must follow the frame number"
                          : "unknown command \"" + command + "\" (key, text, move, click, screenshot, wait, quit, dialog)";
    return false;
}

}  // namespace

bool PlatformWriteRgbPng(const std::string& path, int w, int h, const std::vector<uint8_t>& rgb)
{
    std::string why;
    if (PlatformWritePng(path, w, h, 3, rgb, why)) return true;
    PlatformTrace("png: %s", why.c_str());
    return false;
}

bool PlatformLoadScript(const std::string& text, const std::string& sourceName, std::string& error)
{
    std::vector<ScriptEvent> parsed;
    std::istringstream in(text);
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        std::string why;
        if (!ParseLine(line, lineNo, parsed, why)) {
            error = sourceName + ":" + std::to_string(lineNo) + ": " + why;
            return false;
        }
    }
    std::stable_sort(parsed.begin(), parsed.end(),
                     [](const ScriptEvent& a, const ScriptEvent& b) { return a.frame < b.frame; });
    std::lock_guard<std::mutex> lock(scriptMutex);
    events.clear();
    screenshots.clear();
    for (auto& e : parsed) {
        if (e.type == ScriptEvent::Type::Screenshot)
            screenshots.push_back(e);
        else
            events.push_back(e);
    }
    nextEvent = 0;
    failedScreenshots = 0;
    awaitedFile.clear();
    return true;
}

void PlatformClearScript()
{
    std::lock_guard<std::mutex> lock(scriptMutex);
    events.clear();
    screenshots.clear();
    nextEvent = 0;
    failedScreenshots = 0;
    awaitedFile.clear();
    frameCount = 0;
    scriptFrame = 0;
}

bool PlatformLoadScriptFromEnvironment()
{
    if (const char* step = getenv("PLATFORM_FIXED_STEP_MS")) {
        long long ms;
        if (!ParseInt(Trim(step), 1, 60000, ms)) {
            fprintf(stderr, "PLATFORM_FIXED_STEP_MS must be a whole number of milliseconds from 1 to 60000, not \"%s\"\n",
                    step);
            return false;
        }
        PlatformSetFixedStep(static_cast<uint32_t>(ms));
    }
    const char* file = getenv("PLATFORM_SCRIPT");
    if (!file || !*file) return true;
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        fprintf(stderr, "PLATFORM_SCRIPT %s: cannot be read\n", file);
        return false;
    }
    std::stringstream all;
    all << in.rdbuf();
    std::string error;
    if (!PlatformLoadScript(all.str(), file, error)) {
        fprintf(stderr, "PLATFORM_SCRIPT %s\n", error.c_str());
        return false;
    }
    return true;
}

int PlatformPendingScreenshots()
{
    std::lock_guard<std::mutex> lock(scriptMutex);
    return static_cast<int>(screenshots.size()) + failedScreenshots;
}

void PlatformSetFrameReader(std::function<bool(int&, int&, std::vector<uint8_t>&)> reader)
{
    std::lock_guard<std::mutex> lock(scriptMutex);
    frameReader = std::move(reader);
}

uint64_t PlatformFrameCount() { return frameCount.load(); }

int PlatformPendingScriptEvents()
{
    std::lock_guard<std::mutex> lock(scriptMutex);
    return static_cast<int>(events.size() - nextEvent);
}

void platform_detail::TakeDueScreenshots(uint64_t frame)
{
    std::vector<ScriptEvent> due;
    std::function<bool(int&, int&, std::vector<uint8_t>&)> reader;
    {
        std::lock_guard<std::mutex> lock(scriptMutex);
        auto split = std::stable_partition(screenshots.begin(), screenshots.end(),
                                           [&](const ScriptEvent& s) { return s.frame > frame; });
        due.assign(split, screenshots.end());
        screenshots.erase(split, screenshots.end());
        reader = frameReader;
    }
    for (auto& s : due) {
        int w = 0, h = 0;
        std::vector<uint8_t> rgb;
        bool ok = false;
        bool haveFrame = reader && reader(w, h, rgb) && w > 0 && h > 0 && rgb.size() >= static_cast<size_t>(w) * h * 3;
        if (!haveFrame) {
            w = h = 0;
            rgb.clear();
        }
        bool havePicture = OverlayScreenshot(w, h, rgb, haveFrame) && w > 0 && h > 0 &&
                           rgb.size() >= static_cast<size_t>(w) * h * 3;
        if (!havePicture && !reader) {
            PlatformTrace("screenshot %s (script line %d): nothing presents frames", s.text.c_str(), s.line);
        } else if (!havePicture) {
            PlatformTrace("screenshot %s (script line %d): the frame could not be read", s.text.c_str(), s.line);
        } else {
            ok = PlatformWriteRgbPng(PlatformMapPath(s.text.c_str(), true), w, h, rgb);
        }
        if (!ok) {
            std::lock_guard<std::mutex> lock(scriptMutex);
            ++failedScreenshots;
        }
    }
}

void PlatformFramePresented()
{
    TakeDueScreenshots(scriptFrame.load());
    ++frameCount;
    if (!ScriptDialogWaiting() && !WaitingForFile()) ++scriptFrame;
    NoteFramePresented();
}

void platform_detail::DeliverScriptEvents()
{
    if (!PlatformMainWindow()) return;
    for (;;) {
        ScriptEvent e;
        {
            std::lock_guard<std::mutex> lock(scriptMutex);
            // The lines after a wait, its own frame's too, come once its file has.
            if (!awaitedFile.empty()) {
                if (access(awaitedFile.c_str(), F_OK) != 0) return;
                awaitedFile.clear();
            }
            if (nextEvent >= events.size() || events[nextEvent].frame > scriptFrame.load()) return;
            e = events[nextEvent++];
        }
        switch (e.type) {
        case ScriptEvent::Type::KeyDown: InjectKey(e.value, true); break;
        case ScriptEvent::Type::KeyUp: InjectKey(e.value, false); break;
        case ScriptEvent::Type::Text: InjectText(e.text); break;
        case ScriptEvent::Type::Scancode: InjectScancode(e.value, e.down); break;
        case ScriptEvent::Type::Move: InjectMouseMove(e.x, e.y); break;
        case ScriptEvent::Type::ButtonDown: InjectMouseButton(e.value, true); break;
        case ScriptEvent::Type::ButtonUp: InjectMouseButton(e.value, false); break;
        case ScriptEvent::Type::Quit: InjectQuit(); break;
        case ScriptEvent::Type::Dialog: HandScriptDialogAction(e.line, e.value, e.action, e.text); break;
        case ScriptEvent::Type::Wait: {
            const std::string path = PlatformMapPath(e.text.c_str(), false);
            std::lock_guard<std::mutex> lock(scriptMutex);
            awaitedFile = path;
            break;
        }
        case ScriptEvent::Type::Screenshot: break;
        }
    }
}
