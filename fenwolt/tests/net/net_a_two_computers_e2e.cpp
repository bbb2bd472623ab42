// Two copies of the program on one machine, over loopback, each driven by its own script: they
// find each other in the connection wizard, meet in the staging area, set up an exhibition, edit
// and exchange their squads, load and play some twenty turns with scripted orders. At every
// hand-over of a planning phase both trace a hash of the shared match state; the two lists must
// be the same. Then the guest closes its window and the host shows that the other player is no
// longer connected.
//
// The scripts run by frame number, and each program's frames run at its own pace, so every step
// that depends on the other computer is repeated over a stretch of frames; a repeat that comes
// too early or too late does nothing.
#include "platform/tests/support/file_contents.h"
#include "platform/tests/support/png_reading.h"
#include "platform/tests/support/program_folder.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct HandOver {
    std::string phase, clock, score, hash;
    bool operator==(const HandOver& o) const
    {
        return phase == o.phase && clock == o.clock && score == o.score && hash == o.hash;
    }
};

std::vector<HandOver> HandOvers(const std::string& log)
{
    static const std::regex line(
        R"(Net hand-over (sent|received): phase (\d) minute (\d+:\d\d) score (\d+-\d+) hash ([0-9a-f]{16}))");
    std::vector<HandOver> out;
    for (auto it = std::sregex_iterator(log.begin(), log.end(), line); it != std::sregex_iterator(); ++it)
        out.push_back({(*it)[2], (*it)[3], (*it)[4], (*it)[5]});
    return out;
}

// White text pixels in a strip of a screenshot.
int WhitePixels(const fs::path& png, int x0, int y0, int x1, int y1)
{
    std::vector<uint8_t> rgb;
    int w = 0, h = 0;
    if (!ReadRgbPng(png, rgb, w, h) || w != 800 || h != 600) return -1;
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            const uint8_t* p = &rgb[((size_t)y * w + x) * 3];
            if (p[0] > 220 && p[1] > 220 && p[2] > 220) ++n;
        }
    return n;
}

class TwoComputers : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/fenwolt-net-e2e-XXXXXX";
        root = mkdtemp(pattern);
        const fs::path data = fs::path(BUILD_ROOT) / "data/fenwolt";
        ASSERT_TRUE(fs::exists(data / "interface/start.jpg")) << "build the fenwolt-data target first";
        for (const char* who : {"host", "guest"}) {
            const fs::path dir = root / who;
            fs::create_directories(dir / "saves");
            fs::create_directories(dir / "dat");
            // The switch that offers the two-computer game (and keeps the window).
            std::ofstream(dir / "dat" / "multi.dat");
            FillProgramFolder(data, dir);
        }
    }
    void TearDown() override
    {
        std::error_code ec;
        if (!HasFailure()) fs::remove_all(root, ec);
    }

    // The steps both computers take to the games dialog, then each its own way into the stage.
    static std::string Script(bool host)
    {
        std::ostringstream s;
        s << "860 key VK_SPACE\n"   // the title, to the start menu
             "890 click 170 308\n"  // START
             "920 click 400 190\n"  // Single Exhibition Match - Two Computers
             "921 dialog 11002 text "
          << (host ? "Hosty" : "Guesty")
          << "\n"
             "922 dialog 1 click\n";
        if (host) {
            s << "923 dialog 11005 click\n"   // Create
                 "924 dialog 1 click\n"       // the session's name as offered
                 "925 dialog 21101 click\n"   // ready
                 "926 dialog 21001 click\n";  // Start Game, once the guest is in and ready
            // The exhibition: difficulty 3 and 3 minutes a half, told to the guest.
            for (int f : {1300, 1310, 1320}) s << f << " click 426 140\n";
            s << "1330 click 428 170\n";
            // START MATCH, which works once the guest said it is ready; later presses edit the
            // home squad before its own START MATCH sends it.
            for (int f = 1800; f <= 2000; f += 50) s << f << " click 400 240\n";
            for (int f = 2100; f <= 3300; f += 100) s << f << " click 670 546\n";
        } else {
            s << "923 dialog 11010 click\n"  // Start Search
                 "924 dialog 11004 click\n"  // Join, once the host's game is listed
                 "925 dialog 21102 click\n"; // ready
            for (int f = 1500; f <= 1700; f += 50) s << f << " click 400 240\n";
            // The away squad: a few abilities up and down, then START MATCH until it starts (a press
        // that comes once the match runs is an order like any other).
            s << "2000 click 233 118\n2010 click 263 138 right\n2020 click 293 158\n";
            for (int f = 2150; f <= 3350; f += 100) s << f << " click 670 546\n";
        }
        // The match: orders all over the pitch and Space to end the turn, on both computers;
        // only the side that plans takes them.
        const int points[][2] = {{300, 200}, {500, 350}, {250, 420}, {620, 260}, {420, 150}, {180, 300}};
        int i = 0;
        for (int f = 2900; f < 6800; f += 30, ++i) {
            s << f << " click " << points[i % 6][0] << " " << points[i % 6][1] << "\n";
            if (i % 5 == 2) s << f + 5 << " click 200 300 right\n";
            if (i % 17 == 9) s << f + 8 << " click 750 425\n" << f + 10 << " click 350 250\n";  // a pass
            s << f + 15 << " key VK_SPACE\n";
        }
        if (host) {
            s << "4000 key VK_F7\n4002 text hello\n4004 key VK_RETURN\n";
            s << "5000 screenshot playing.png\n";
            s << "8000 screenshot left.png\n8100 quit\n";
        } else {
            s << "6900 quit\n";
        }
        return s.str();
    }

    fs::path root;
};

}  // namespace

TEST_F(TwoComputers, FindMeetSetUpPlayInStepAndNoticeTheOtherLeaving)
{
    // A port range of this run's own, so that nothing else on the machine answers the search.
    const std::string port = std::to_string(21000 + (getpid() % 400) * 32);
    int codes[2] = {-1, -1};
    std::vector<std::thread> runs;
    for (int k = 0; k < 2; ++k) {
        const fs::path dir = root / (k == 0 ? "host" : "guest");
        std::ofstream(dir / "script.txt") << Script(k == 0);
        runs.emplace_back([&, k, dir] {
            const std::string command =
                "cd '" + dir.string() +
                "' && SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy PLATFORM_SCRIPT=script.txt "
                "PLATFORM_FIXED_STEP_MS=20 PLATFORM_DEBUG_OUTPUT=1 PLATFORM_DPLAY8_PORT=" +
                port + " LSAN_OPTIONS=suppressions=" SOURCE_ROOT
                       "/fenwolt/tests/framework/lsan.supp:print_suppressions=0 timeout 280 '" FENWOLT_BINARY
                       "' > run.log 2>&1";
            const int status = std::system(command.c_str());
            codes[k] = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        });
    }
    for (auto& t : runs) t.join();
    const std::string hostLog = FileText(root / "host/run.log"), guestLog = FileText(root / "guest/run.log");
    for (const std::string* log : {&hostLog, &guestLog}) {
        EXPECT_EQ(log->find("runtime error"), std::string::npos) << *log;
        EXPECT_EQ(log->find("not written yet"), std::string::npos) << *log;
        EXPECT_EQ(log->find("LeakSanitizer"), std::string::npos) << *log;
    }
    ASSERT_EQ(0, codes[0]) << hostLog;
    ASSERT_EQ(0, codes[1]) << guestLog;

    // They met: the guest's set-up screen shows the host's game.
    EXPECT_NE(hostLog.find("NetStage: adding player (name=Guesty"), std::string::npos) << hostLog;
    EXPECT_NE(guestLog.find("NetStage: Got STAGE_MSGID_STARTGAME"), std::string::npos) << guestLog;

    // Twenty turns or so, and at every hand-over both held the same match.
    const std::vector<HandOver> host = HandOvers(hostLog), guest = HandOvers(guestLog);
    std::printf("hand-overs in step: %zu\n", host.size());
    EXPECT_GE(host.size(), 36u) << hostLog;
    ASSERT_EQ(host.size(), guest.size());
    for (size_t i = 0; i < host.size(); ++i)
        ASSERT_TRUE(host[i] == guest[i]) << "hand-over " << i << ": host phase " << host[i].phase << " "
                                         << host[i].clock << " " << host[i].hash << ", guest phase "
                                         << guest[i].phase << " " << guest[i].clock << " " << guest[i].hash;
    // The clock went on, five seconds a turn.
    if (!host.empty()) EXPECT_NE(host.back().clock, "0:00");

    // The guest has gone: the host says so where the adverts were.
    const int before = WhitePixels(root / "host/playing.png", 200, 0, 600, 13);
    const int after = WhitePixels(root / "host/left.png", 200, 0, 600, 13);
    EXPECT_GE(before, 0);
    EXPECT_GT(after, before + 300) << "before " << before << " after " << after;
}
