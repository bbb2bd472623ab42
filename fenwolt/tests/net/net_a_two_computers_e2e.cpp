// Two copies of the program on one machine, over loopback, each driven by its own script: they
// find each other in the connection wizard, meet in the staging area, set up an exhibition, edit
// and exchange their squads, load and play some twenty turns with scripted orders. At every
// hand-over of a planning phase both trace a hash of the shared match state; the two lists must
// be the same. Then the guest closes its window and the host shows that the other player is no
// longer connected.
//
// The scripts run by frame number. Up to the staging area the steps that depend on the other
// computer wait for their dialog controls (and the script with them), so both leave the stage
// together; from there on the two are kept in step every hundred frames (InStep), as two programs
// on one machine otherwise keep no common pace. Within a hundred frames each program still runs at
// its own pace: a step that depends on the other computer is repeated over a stretch of frames
// wider than that (a repeat that comes too early or too late does nothing), and what one program
// looks for after the other has done something comes late enough. The host's look at the guest's
// departure waits for its log to say it has been told.
#include "platform/tests/support/test_ports.h"
#include "platform/tests/support/file_contents.h"
#include "platform/tests/support/png_reading.h"
#include "two_computer_runs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
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

// Pixels of a strip of an 800 x 600 screenshot that `keep(r, g, b)` holds for (-1 when the
// screenshot cannot be read).
template <class Keep>
int ScreenshotPixels(const fs::path& png, int x0, int y0, int x1, int y1, Keep keep)
{
    std::vector<uint8_t> rgb;
    int w = 0, h = 0;
    if (!ReadRgbPng(png, rgb, w, h) || w != 800 || h != 600) return -1;
    return CountPixels(rgb, w, x0, y0, x1, y1, keep);
}

// White text pixels in a strip of a screenshot.
int WhitePixels(const fs::path& png, int x0, int y0, int x1, int y1)
{
    return ScreenshotPixels(png, x0, y0, x1, y1, IsWhiteText);
}

// The match from both sides: orders all over the pitch and Space to end the turn, on both
// computers, from frame `from` to `to`; only the side that plans takes them.
std::string MatchOrders(int from, int to)
{
    std::ostringstream s;
    const int points[][2] = {{300, 200}, {500, 350}, {250, 420}, {620, 260}, {420, 150}, {180, 300}};
    int i = 0;
    for (int f = from; f < to; f += 30, ++i) {
        s << f << " click " << points[i % 6][0] << " " << points[i % 6][1] << "\n";
        if (i % 5 == 2) s << f + 5 << " click 200 300 right\n";
        if (i % 17 == 9) s << f + 8 << " click 750 425\n" << f + 10 << " click 350 250\n";  // a pass
        s << f + 15 << " key VK_SPACE\n";
    }
    return s.str();
}

class TwoComputers : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = NewTwoComputerRoot("match");
        ASSERT_FALSE(root.empty()) << "no run folder under " << BUILD_ROOT;
        ASSERT_TRUE(MakeTwoComputerFolders(root)) << "build the fenwolt-data target first";
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
        s << ScriptIntoTheStage(host);
        if (host) {
            // The exhibition: difficulty 3 and 3 minutes a half, told to the guest.
            for (int f : {1300, 1310, 1320}) s << f << " click 426 140\n";
            s << "1330 click 428 170\n";
            // START MATCH, which works once the guest said it is ready; later presses edit the
            // home squad before its own START MATCH sends it.
            for (int f = 1800; f <= 2000; f += 50) s << f << " click 400 240\n";
            for (int f = 2100; f <= 3300; f += 100) s << f << " click 670 546\n";
        } else {
            for (int f = 1500; f <= 1700; f += 50) s << f << " click 400 240\n";
            // The away squad: a few abilities up and down, then START MATCH until it starts (a press
        // that comes once the match runs is an order like any other).
            s << "2000 click 233 118\n2010 click 263 138 right\n2020 click 293 158\n";
            for (int f = 2150; f <= 3350; f += 100) s << f << " click 670 546\n";
        }
        s << MatchOrders(2900, 7600) << InStep(host ? "guest" : "host", 1000, 7600);
        if (host) {
            s << "4000 key VK_F7\n4002 text hello\n4004 key VK_RETURN\n";
            s << "5000 screenshot playing.png\n";
            s << "7700 wait told\n7750 screenshot left.png\n7800 quit\n";
        } else {
            s << "7700 quit\n";
        }
        return s.str();
    }

    // Runs both programs at once, each with its script, on a port range of this run's own (so
    // that nothing else on the machine answers the search), laying "told" for a program whose log
    // says the other computer has gone; their exit codes, and their logs in hostLog and guestLog.
    std::pair<int, int> Run(const std::string& hostScript, const std::string& guestScript, int portOffset = 0)
    {
        TwoProgramRun run(root, OwnPortText(portOffset));
        EXPECT_TRUE(run.Launch(0, hostScript)) << run.Why(0);
        EXPECT_TRUE(run.Launch(1, guestScript)) << run.Why(1);
        run.Wait([&] {
            for (int who : {0, 1})
                if (FileText(run.Dir(who) / "run.log").find("Net: the other computer has gone") != std::string::npos)
                    Cue(run.Dir(who), "told");
        });
        hostLog = FileText(root / "host/run.log");
        guestLog = FileText(root / "guest/run.log");
        for (const std::string* log : {&hostLog, &guestLog}) {
            EXPECT_EQ(log->find("runtime error"), std::string::npos) << *log;
            EXPECT_EQ(log->find("not written yet"), std::string::npos) << *log;
            EXPECT_EQ(log->find("LeakSanitizer"), std::string::npos) << *log;
            EXPECT_EQ(log->find("stopped as hung"), std::string::npos) << *log;
        }
        return {run.Code(0), run.Code(1)};
    }

    fs::path root;
    std::string hostLog, guestLog;
};

// Pixels that differ between the same strip of two screenshots (-1 when one cannot be read).
int DifferingPixels(const fs::path& a, const fs::path& b, int x0, int y0, int x1, int y1)
{
    std::vector<uint8_t> pa, pb;
    int wa = 0, ha = 0, wb = 0, hb = 0;
    if (!ReadRgbPng(a, pa, wa, ha) || !ReadRgbPng(b, pb, wb, hb) || wa != 800 || wb != 800 || ha != 600 || hb != 600)
        return -1;
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            if (std::memcmp(&pa[((size_t)y * 800 + x) * 3], &pb[((size_t)y * 800 + x) * 3], 3) != 0) ++n;
    return n;
}

// Bright green text pixels in a strip of a screenshot.
int GreenPixels(const fs::path& png, int x0, int y0, int x1, int y1)
{
    return ScreenshotPixels(png, x0, y0, x1, y1,
                            [](uint8_t r, uint8_t g, uint8_t b) { return g > 180 && r < 120 && b < 120; });
}

size_t Occurrences(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

}  // namespace

TEST_F(TwoComputers, FindMeetSetUpPlayInStepAndNoticeTheOtherLeaving)
{
    const auto [hostCode, guestCode] = Run(Script(true), Script(false));
    ASSERT_EQ(0, hostCode) << hostLog;
    ASSERT_EQ(0, guestCode) << guestLog;

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
    if (!host.empty()) {
        EXPECT_NE(host.back().clock, "0:00");
    }

    // The guest has gone: the host says so where the adverts were.
    const int before = WhitePixels(root / "host/playing.png", 200, 0, 600, 13);
    const int after = WhitePixels(root / "host/left.png", 200, 0, 600, 13);
    EXPECT_GE(before, 0);
    EXPECT_GT(after, before + 300) << "before " << before << " after " << after;
}

// Both come to the two-computer game from a game on one computer with settings of their own; the
// guest joins, leaves the stage with Cancel, searches and joins again before the host starts.
// Before anybody presses anything on the set-up screen both show the host's settings; neither is
// told that the other has gone. In the squad editor each goes to the team slots and back (the
// guest before its START MATCH, the host while the guest's word that it is ready comes), and the
// match starts and runs in step on both.
TEST_F(TwoComputers, AGuestWhoLeftAndCameBackAndTeamSlotDetoursStillReachTheMatchInStep)
{
    std::ostringstream host, guest;
    // To the exhibition on one computer, some settings there, back and on to two computers.
    const char* toOneComputer = "860 key VK_SPACE\n890 click 170 308\n920 click 400 105\n";
    const char* toTwoComputers = "1000 click 700 577\n1030 click 170 308\n1060 click 400 190\n";
    host << toOneComputer;
    for (int f : {950, 960, 970, 980, 990}) host << f << " click 426 170\n";  // difficulty 5
    host << toTwoComputers
         << "1061 dialog 11002 text Hosty\n"
            "1062 dialog 1 click\n"
            "1063 dialog 11005 click\n"   // Create
            "1064 dialog 1 click\n"
            "1065 dialog 21101 click\n"   // ready
            "1066 dialog 21001 click\n";  // Start Game, once the guest is back and ready
    guest << toOneComputer;
    for (int f : {950, 960, 970}) guest << f << " click 426 170\n";  // difficulty 3 (7 from the guest's side)
    guest << "980 click 428 230\n"                                 // swapping off
          << toTwoComputers
          << "1061 dialog 11002 text Guesty\n"
             "1062 dialog 1 click\n"
             "1063 dialog 11010 click\n"       // Start Search
             "1064 dialog 11004 click\n"       // Join
             "1065 dialog 21003 text back soon\n"  // in the stage
             "1066 dialog 11007 click\n"       // Cancel: back to the games dialog
             "1067 dialog 11010 click\n"
             "1068 dialog 11004 click\n"       // Join again
             "1069 dialog 21102 click\n";      // ready
    // The set-up screen before any press, then 3 minutes a half from the host; the guest's START
    // MATCH, then the host's.
    host << "1400 screenshot values.png\n1600 click 428 170\n1700 screenshot values-after.png\n";
    guest << "1400 screenshot values.png\n";
    for (int f = 1800; f <= 1950; f += 50) guest << f << " click 400 240\n";
    for (int f = 2100; f <= 2500; f += 50) host << f << " click 400 240\n";
    // The guest saves its team and comes back, then presses START MATCH. The host saves, loads
    // its team back, and only then presses START MATCH.
    guest << "2800 click 470 470\n2830 click 60 200\n2870 click 680 560\n";
    for (int f = 2950; f <= 3100; f += 50) guest << f << " click 670 546\n";
    host << "2900 click 470 470\n2930 click 60 200\n3000 click 680 560\n3050 click 470 502\n3300 click 60 200\n";
    for (int f = 3400; f <= 4000; f += 100) host << f << " click 670 546\n";
    host << MatchOrders(4100, 6000) << InStep("guest", 1100, 6000) << "6500 quit\n";
    guest << MatchOrders(4100, 6000) << InStep("host", 1100, 6000) << "6100 quit\n";

    const auto [hostCode, guestCode] = Run(host.str(), guest.str(), 16);
    ASSERT_EQ(0, hostCode) << hostLog;
    ASSERT_EQ(0, guestCode) << guestLog;

    // The guest came twice; its first departure was no concern of the game it then joined.
    EXPECT_EQ(2u, Occurrences(hostLog, "NetStage: adding player (name=Guesty")) << hostLog;
    EXPECT_NE(hostLog.find("dropped: not of the other manager"), std::string::npos) << hostLog;

    // Both set-up screens show the same values (difficulty 5 reads 5 from either side), and
    // neither says that the other player has gone. The two programs keep no common pace, so the
    // guest's picture may come before or after the host's change of the minutes has reached it:
    // it is one of the host's two.
    const fs::path hostValues = root / "host/values.png", guestValues = root / "guest/values.png";
    const fs::path hostValuesAfter = root / "host/values-after.png";
    EXPECT_GT(GreenPixels(hostValues, 415, 62, 700, 218), 500);
    EXPECT_GT(DifferingPixels(hostValues, hostValuesAfter, 415, 62, 700, 218), 0);
    EXPECT_EQ(0, std::min(DifferingPixels(hostValues, guestValues, 415, 62, 700, 218),
                          DifferingPixels(hostValuesAfter, guestValues, 415, 62, 700, 218)));
    EXPECT_EQ(0, GreenPixels(hostValues, 0, 530, 800, 560));
    EXPECT_EQ(0, GreenPixels(guestValues, 0, 530, 800, 560));

    // Both went to the team slots, and the match started and ran in step.
    EXPECT_TRUE(fs::exists(root / "host/saves/sav0.tem"));
    EXPECT_TRUE(fs::exists(root / "guest/saves/sav0.tem"));
    const std::vector<HandOver> handOversHost = HandOvers(hostLog), handOversGuest = HandOvers(guestLog);
    std::printf("hand-overs in step after the detours: %zu\n", handOversHost.size());
    EXPECT_GE(handOversHost.size(), 6u) << hostLog;
    EXPECT_TRUE(handOversHost == handOversGuest) << hostLog << guestLog;
}
