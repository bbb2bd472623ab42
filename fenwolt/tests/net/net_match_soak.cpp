// Whole network matches, two copies of the program on one machine over loopback: each manager
// presses End Turn, Space, Pass, Substitute, System, the pitch and the chat key at random moments
// 0 to 1.5 s apart, whether or not the button shows, from the kick-off past half time to full
// time. Both programs trace the shared match state at every change of phase and every hand-over;
// the two traces must be the same entry for entry, and every match must reach full time on both.
//
// The set-up is the one players reported the fault from: the guest leaves the staging area and
// joins again, chats there, the host sets difficulty 3, 3 minutes a half and swapping off, the
// guest saves its team on the way, then START MATCH on both.
//
// Run by the "soak" label (FENWOLT_NET_SOAK_MATCHES matches, 20 by default, two pairs of
// programs at a time); FENWOLT_NET_SOAK_FIRST=<seed> replays from that seed.
#include "platform/tests/support/file_contents.h"
#include "platform/tests/support/test_ports.h"
#include "two_computer_runs.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Frames of 20 ms: the match runs from about frame 3500; random presses from here on.
constexpr int PRESSES_FROM = 3900;
// A whole match with 3-minute halves takes some 25000 frames, more when a restart waits long for
// its taker (the clock stands after five turns of a stoppage); by here it has stopped.
constexpr int LAST_FRAME = 150000;
// Every this many frames each program writes a screenshot: the test's measure of how far each
// has gone, and the picture of where it stands.
constexpr int TICK_FRAMES = 1000;
// Ticks on both programs with no new trace on either: the match has stopped. (The longest quiet
// stretch of a match that goes on is a walk-in to a kick-off, under 700 frames.)
constexpr int STALL_TICKS = 4;
constexpr int MOST_FRAMES_BETWEEN_PRESSES = 75;  // 1.5 s
// The host's set-up plays halves of this many minutes.
constexpr int MINUTES_PER_HALF = 3;

// Where the HUD's buttons are pressed (the middle of their pictures), and the system menu's
// "Return" and the substitution panel's "Perform Substitution".
constexpr int END_TURN[2] = {764, 547}, PASS[2] = {764, 427}, SYSTEM[2] = {764, 487}, SUBSTITUTE[2] = {764, 367};
constexpr int SYSTEM_RETURN[2] = {650, 508}, PERFORM_SUBSTITUTION[2] = {380, 290};
// Where the camera looks: the ball, once Backspace has turned the camera to it.
constexpr int SCREEN_CENTRE[2] = {400, 300};

struct Trace {
    std::string point, phase, clock, score, hash;
    bool SameState(const Trace& o) const
    {
        return phase == o.phase && clock == o.clock && score == o.score && hash == o.hash;
    }
    std::string Text() const { return point + " phase " + phase + " " + clock + " " + score + " " + hash; }
    // Past half time: the clock beyond the first half's last second ("m:ss").
    bool InSecondHalf() const
    {
        const size_t colon = clock.find(':');
        return std::stoi(clock.substr(0, colon)) * 60 + std::stoi(clock.substr(colon + 1)) > MINUTES_PER_HALF * 60;
    }
};

// The traces of a log: changes of phase (and full time) in one list, hand-overs in the other;
// returns how many traces there are in all. The guest sets up its kick-off before the host's first
// random table has reached it, so the two hold the same match from the first hand-over on: the
// changes of phase are compared from there.
size_t ReadTraces(const std::string& log, std::vector<Trace>& phases, std::vector<Trace>& handOvers)
{
    static const std::regex line(
        R"(Net (hand-over sent|hand-over received|phase|full time): phase (\d) minute (\d+:\d\d) score (\d+-\d+) hash ([0-9a-f]{16}))");
    phases.clear();
    handOvers.clear();
    size_t all = 0;
    for (auto it = std::sregex_iterator(log.begin(), log.end(), line); it != std::sregex_iterator(); ++it, ++all) {
        Trace t{(*it)[1], (*it)[2], (*it)[3], (*it)[4], (*it)[5]};
        if (t.point.rfind("hand-over", 0) == 0)
            handOvers.push_back(t);
        else if (!handOvers.empty())
            phases.push_back(t);
    }
    return all;
}

// The reported set-up, by frame (dialog lines wait, in order, for their control).
std::string SetUpScript(bool host)
{
    std::ostringstream s;
    if (host) {
        s << ScriptIntoTheStage(true);
        // Difficulty 3, 3 minutes a half (45 steps round to 3), swapping off, told to the guest.
        for (int f : {1750, 1760, 1770}) s << f << " click 426 140\n";
        s << "1780 click 428 170\n1790 click 428 200\n";
        // START MATCH once the guest is ready, then the squad editor's START MATCH.
        for (int f = 2100; f <= 2300; f += 50) s << f << " click 400 240\n";
        for (int f = 2900; f <= 3400; f += 100) s << f << " click 670 546\n";
    } else {
        s << "860 key VK_SPACE\n890 click 170 308\n920 click 400 190\n"
             "921 dialog 11002 text Guesty\n"
             "922 dialog 1 click\n"
             "923 dialog 11010 click\n"        // Start Search
             "924 dialog 11004 click\n"        // Join
             "925 dialog 21003 text back soon\n"
             "926 dialog 1017 click\n"         // the chat line, sent
             "927 dialog 11007 click\n"        // Cancel: back to the games dialog
             "928 dialog 11010 click\n"
             "929 dialog 11004 click\n"        // Join again
             "930 dialog 21102 click\n";       // ready
        for (int f = 1900; f <= 2050; f += 50) s << f << " click 400 240\n";
        // SAVE TEAM into slot 1 and back, then START MATCH.
        s << "2450 click 470 470\n2480 click 60 200\n2520 click 680 560\n";
        for (int f = 2600; f <= 3450; f += 50) s << f << " click 670 546\n";
    }
    return s.str();
}

// One manager's presses from PRESSES_FROM to the last frame: random moments, random buttons,
// whether his side plans or not; and the ticks.
std::string PressesScript(std::mt19937& rng)
{
    std::ostringstream s;
    auto below = [&rng](int n) { return (int)(rng() % (uint32_t)n); };
    auto click = [&s](int frame, const int at[2], const char* button = "") {
        s << frame << " click " << at[0] << " " << at[1] << button << "\n";
    };
    for (int f = PRESSES_FROM; f < LAST_FRAME;) {
        const int roll = below(100);
        int after = 0;  // frames the press takes before the next may come
        if (roll < 35) {
            click(f, END_TURN);
        } else if (roll < 47) {
            s << f << " key VK_SPACE\n";
        } else if (roll < 60) {
            const int at[2] = {20 + below(660), 110 + below(330)};
            click(f, at);
        } else if (roll < 65) {
            const int at[2] = {20 + below(660), 110 + below(330)};
            click(f, at, " right");
        } else if (roll < 75) {
            // The camera to the ball, and the selected player sent onto it: how a restart's taker
            // gets there.
            s << f << " key VK_BACK\n";
            after = 25 + below(25);
            click(f + after, SCREEN_CENTRE);
        } else if (roll < 85) {
            // Pass, and mostly a kick aimed at the pitch right after.
            click(f, PASS);
            if (below(2) == 0) {
                after = 1 + below(10);
                const int at[2] = {20 + below(660), 110 + below(330)};
                click(f + after, at);
            }
        } else if (roll < 89) {
            click(f, SUBSTITUTE);
            after = 2 + below(20);
            click(f + after, PERFORM_SUBSTITUTION);
        } else if (roll < 93) {
            click(f, SYSTEM);
            after = 10 + below(50);
            click(f + after, SYSTEM_RETURN);
        } else if (roll < 96) {
            s << f << " key VK_F7\n" << f + 1 << " text gg\n" << f + 2 << " key VK_RETURN\n";
            after = 3;
        } else {
            s << f << " key " << (below(2) ? "N" : "M") << "\n";
        }
        f += after + 1 + below(MOST_FRAMES_BETWEEN_PRESSES);
    }
    for (int f = TICK_FRAMES; f < LAST_FRAME; f += TICK_FRAMES) s << f << " screenshot tick" << f / TICK_FRAMES << ".png\n";
    s << LAST_FRAME << " quit\n";
    return s.str();
}

// One program of a pair, started in its folder with its script.
struct Program {
    fs::path dir;
    pid_t pid = -1;
    int exitCode = -1;
    int ticks = 0;          // screenshots written so far
    int ticksAtNews = 0;    // ticks when the last new trace came
    size_t tracesSeen = 0;
    std::string log;

    void Start(const std::string& script, const std::string& port)
    {
        std::ofstream(dir / "script.txt") << script;
        const std::string command = "cd '" + dir.string() +
                                    "' && SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy PLATFORM_SCRIPT=script.txt "
                                    "PLATFORM_FIXED_STEP_MS=20 PLATFORM_DEBUG_OUTPUT=1 PLATFORM_DPLAY8_PORT=" +
                                    port + " exec timeout 3600 '" FENWOLT_BINARY "' > run.log 2>&1";
        pid = fork();
        if (pid == 0) {
            // A soak stopped from outside takes its programs with it.
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            execl("/bin/sh", "sh", "-c", command.c_str(), (char*)nullptr);
            _exit(127);
        }
    }
    bool Running()
    {
        if (pid <= 0) return false;
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) != pid) return true;
        exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        pid = -1;
        return false;
    }
    void Stop()
    {
        if (!Running()) return;
        kill(pid, SIGTERM);
        int status = 0;
        waitpid(pid, &status, 0);
        pid = -1;
    }
    // Counts the ticks written since the last look (keeping only the newest picture).
    void CountTicks()
    {
        while (fs::exists(dir / ("tick" + std::to_string(ticks + 1) + ".png"))) {
            std::error_code ec;
            if (ticks > 0) fs::remove(dir / ("tick" + std::to_string(ticks) + ".png"), ec);
            ++ticks;
        }
    }
};

struct MatchResult {
    uint32_t seed = 0;
    bool fullTime[2] = {false, false};
    bool halfTimeCrossed = false;  // both computers, in step, past half time
    size_t phases = 0, handOvers = 0;
    std::string failure;  // empty when both reached full time in step
    std::string score;
    int frames = 0;  // the host's frames when the match was left, to the last thousand
    double seconds = 0;
};

// Plays one match between two fresh programs in `root`; returns how it went.
MatchResult PlayOneMatch(const fs::path& root, uint32_t seed, int portShift)
{
    MatchResult r;
    r.seed = seed;
    const auto started = std::chrono::steady_clock::now();
    if (!MakeTwoComputerFolders(root)) {
        r.failure = "no data set: build the fenwolt-data target first";
        return r;
    }
    std::mt19937 rng(seed);
    Program programs[2];
    const std::string port = OwnPortText(portShift);
    for (int k = 0; k < 2; ++k) {
        programs[k].dir = root / (k == 0 ? "host" : "guest");
        programs[k].Start(SetUpScript(k == 0) + PressesScript(rng), port);
    }
    std::vector<Trace> phases[2], handOvers[2];
    for (;;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
        bool running[2];
        for (int k = 0; k < 2; ++k) {
            Program& p = programs[k];
            running[k] = p.Running();
            p.CountTicks();
            p.log = FileText(p.dir / "run.log");
            const size_t seen = ReadTraces(p.log, phases[k], handOvers[k]);
            if (seen != p.tracesSeen) {
                p.tracesSeen = seen;
                programs[0].ticksAtNews = programs[0].ticks;
                programs[1].ticksAtNews = programs[1].ticks;
            }
            r.fullTime[k] = !phases[k].empty() && phases[k].back().point == "full time";
        }
        // Entry for entry, as far as both have gone.
        for (const auto* lists : {phases, handOvers}) {
            const size_t n = std::min(lists[0].size(), lists[1].size());
            for (size_t i = 0; i < n && r.failure.empty(); ++i)
                if (!lists[0][i].SameState(lists[1][i]))
                    r.failure = "out of step at entry " + std::to_string(i) + ": host " + lists[0][i].Text() +
                                ", guest " + lists[1][i].Text();
        }
        if (!r.failure.empty() || (r.fullTime[0] && r.fullTime[1])) break;
        // The match is watched from its kick-off on both (the set-up takes as long as it takes).
        const bool quiet = programs[0].tracesSeen > 0 && programs[1].tracesSeen > 0 &&
                           programs[0].ticks - programs[0].ticksAtNews >= STALL_TICKS &&
                           programs[1].ticks - programs[1].ticksAtNews >= STALL_TICKS;
        if (quiet || !running[0] || !running[1]) {
            r.failure = std::string(quiet ? "stopped" : "a program ended") + " before full time: host at " +
                        (phases[0].empty() ? "-" : phases[0].back().Text()) + ", guest at " +
                        (phases[1].empty() ? "-" : phases[1].back().Text());
            break;
        }
    }
    for (Program& p : programs) p.Stop();
    r.phases = std::min(phases[0].size(), phases[1].size());
    for (size_t i = 0; i < r.phases && !r.halfTimeCrossed; ++i)
        r.halfTimeCrossed = phases[0][i].InSecondHalf() && phases[0][i].SameState(phases[1][i]);
    r.handOvers = std::min(handOvers[0].size(), handOvers[1].size());
    if (r.failure.empty() && (phases[0].size() != phases[1].size() || handOvers[0].size() != handOvers[1].size()))
        r.failure = "traces of different lengths at full time";
    if (!phases[0].empty()) r.score = phases[0].back().score;
    r.frames = programs[0].ticks * TICK_FRAMES;
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return r;
}

TEST(NetMatchSoak, WholeMatchesWithRandomPressesStayInStepToFullTime)
{
    const char* countEnv = std::getenv("FENWOLT_NET_SOAK_MATCHES");
    const int matches = countEnv && std::atoi(countEnv) > 0 ? std::atoi(countEnv) : 20;
    const char* firstEnv = std::getenv("FENWOLT_NET_SOAK_FIRST");
    const uint32_t first = firstEnv && std::atoi(firstEnv) > 0 ? (uint32_t)std::atoi(firstEnv) : 5000u;
    // Two pairs of programs at a time, each pair on its own half of this process's ports.
    constexpr int PAIRS = 2;
    const fs::path root = NewTwoComputerRoot("soak");
    ASSERT_FALSE(root.empty());
    const auto started = std::chrono::steady_clock::now();
    std::vector<MatchResult> results(matches);
    for (int next = 0; next < matches; next += PAIRS) {
        std::vector<std::thread> pairs;
        for (int k = 0; k < PAIRS && next + k < matches; ++k)
            pairs.emplace_back([&, k] {
                const int i = next + k;
                results[i] = PlayOneMatch(root / ("match" + std::to_string(i)), first + (uint32_t)i, 32 * k);
            });
        for (auto& t : pairs) t.join();
        for (int i = next; i < next + PAIRS && i < matches; ++i) {
            const MatchResult& r = results[i];
            std::printf("seed %u: %s, %zu changes of phase and %zu hand-overs compared, %d frames, %.0f s%s%s\n",
                        r.seed, r.failure.empty() ? ("full time " + r.score).c_str() : "FAILED", r.phases,
                        r.handOvers, r.frames, r.seconds, r.failure.empty() ? "" : ": ", r.failure.c_str());
            std::fflush(stdout);
            EXPECT_EQ("", r.failure) << "seed " << r.seed << " in " << (root / ("match" + std::to_string(i)));
            std::error_code ec;
            if (r.failure.empty()) fs::remove_all(root / ("match" + std::to_string(i)), ec);
        }
    }
    size_t phases = 0, handOvers = 0;
    int inStep = 0, halfTimes = 0;
    for (const MatchResult& r : results) {
        phases += r.phases;
        handOvers += r.handOvers;
        inStep += r.failure.empty() ? 1 : 0;
        halfTimes += r.halfTimeCrossed ? 1 : 0;
    }
    std::printf("%d matches, %d in step to full time, %d stopped or out of step, %d half times crossed in step; "
                "%zu changes of phase and %zu hand-overs compared (a state hash each); %.0f s\n",
                matches, inStep, matches - inStep, halfTimes, phases, handOvers,
                std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
    std::error_code ec;
    if (!HasFailure()) fs::remove_all(root, ec);
}

}  // namespace
