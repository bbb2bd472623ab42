// Two copies of the program on one machine, over loopback, each driven by its own script, until
// one of them goes in the middle of the match: killed outright while the host plans, killed
// while the guest plans, or leaving through Esc and its question. The one left behind must be
// told, see its match stand still whatever it clicks or presses, and reach the system menu (with
// the System button or Esc) to save the game or leave for the start menu.
//
// The scripts run by frame number, kept in step until the match has begun; the kill comes from
// the test once the victim has shown (by a screenshot of its own) that it stands where it should,
// and the one left behind goes on only once its log says it has been told ("told", laid by the
// test): each program's pace is the machine's to give, and neither may run ahead of what it
// answers.
#include "platform/tests/support/test_ports.h"
#include "platform/tests/support/file_contents.h"
#include "platform/tests/support/png_reading.h"
#include "two_computer_runs.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// --- Screenshots ------------------------------------------------------------------------------
struct Shot {
    std::vector<uint8_t> rgb;
    int w = 0, h = 0;
    bool ok = false;
    const uint8_t* At(int x, int y) const { return &rgb[((size_t)y * w + x) * 3]; }
};

Shot Load(const fs::path& png)
{
    Shot s;
    s.ok = ReadRgbPng(png, s.rgb, s.w, s.h) && s.w == 800 && s.h == 600;
    return s;
}

// White text pixels in a rectangle.
int WhitePixels(const Shot& s, int x0, int y0, int x1, int y1)
{
    return s.ok ? CountPixels(s.rgb, s.w, x0, y0, x1, y1, IsWhiteText) : -1;
}

// The share of pixels of a rectangle that differ between two screenshots.
double ChangedShare(const Shot& a, const Shot& b, int x0, int y0, int x1, int y1)
{
    if (!a.ok || !b.ok) return 1.0;
    int changed = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            const uint8_t *p = a.At(x, y), *q = b.At(x, y);
            if (std::abs(p[0] - q[0]) > 40 || std::abs(p[1] - q[1]) > 40 || std::abs(p[2] - q[2]) > 40) ++changed;
        }
    return (double)changed / ((x1 - x0) * (y1 - y0));
}

// Mean colour of a rectangle.
void Mean(const Shot& s, int x0, int y0, int x1, int y1, double out[3])
{
    out[0] = out[1] = out[2] = 0;
    if (!s.ok) return;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            for (int c = 0; c < 3; ++c) out[c] += s.At(x, y)[c];
    for (int c = 0; c < 3; ++c) out[c] /= (double)((x1 - x0) * (y1 - y0));
}

// The HUD as the survivor must see it, and the pitch region that must stand still (above the
// info panel and the ticker, left of the buttons).
int MessagePixels(const Shot& s) { return WhitePixels(s, 200, 0, 600, 13); }
int SystemCaptionPixels(const Shot& s) { return WhitePixels(s, 700, 500, 800, 522); }
int EndTurnCaptionPixels(const Shot& s) { return WhitePixels(s, 695, 560, 800, 580); }
constexpr int PITCH[4] = {0, 100, 690, 460};

// The start menu: blue sky over the stands in its top left corner, where a match has its adverts
// and its pitch.
bool LooksLikeTheStartMenu(const Shot& s)
{
    double m[3];
    Mean(s, 10, 20, 200, 80, m);
    return s.ok && m[2] > m[1] + 30 && m[2] > 100;
}

// --- The two programs -------------------------------------------------------------------------
// Both computers' way to the match: the title, the two-computer exhibition, the wizard and the
// staging area, the set-up screen, the squad editor. The match runs from frame 3350 or so.
std::string SetUpScript(bool host)
{
    std::ostringstream s;
    s << ScriptIntoTheStage(host);
    if (host) {
        // START MATCH once the guest is ready, then START MATCH of the squad editor.
        for (int f = 1800; f <= 2000; f += 50) s << f << " click 400 240\n";
        for (int f = 2100; f <= 3300; f += 100) s << f << " click 670 546\n";
    } else {
        for (int f = 1500; f <= 1700; f += 50) s << f << " click 400 240\n";
        for (int f = 2150; f <= 3350; f += 100) s << f << " click 670 546\n";
    }
    return s.str();
}

// The host ends its first turn (the guest agrees by itself); Space is pressed over a stretch of
// frames until the guest is there to agree, and does nothing once the turn has gone.
std::string EndTheHostsTurn(int from)
{
    std::ostringstream s;
    for (int f = from; f <= from + 300; f += 30) s << f << " key VK_SPACE\n";
    return s.str();
}

// The survivor tries to play on, then goes through the system menu: "stranded.png" when it has
// been told, "tried.png" after clicks all over the pitch, Space and the HUD's buttons, then Esc
// ("menu.png") and a save into slot 1; with `restart`, Return, the System button, "Restart game"
// and Yes ("start.png").
std::string SurvivorScript(int from, bool restart)
{
    std::ostringstream s;
    s << from << " screenshot stranded.png\n";
    const int points[][2] = {{400, 300}, {250, 200}, {560, 360}, {120, 260}, {640, 180}};
    int f = from + 10;
    for (const auto& p : points) {
        s << f << " click " << p[0] << " " << p[1] << "\n" << f + 3 << " click " << p[0] << " " << p[1] << " right\n";
        s << f + 6 << " key VK_SPACE\n";
        f += 10;
    }
    s << f << " click 760 545\n" << f + 10 << " click 760 425\n" << f + 20 << " key N\n" << f + 25 << " key 0\n";
    s << f + 30 << " move 400 300\n";
    s << from + 200 << " screenshot tried.png\n";
    s << from + 220 << " key VK_ESCAPE\n" << from + 240 << " screenshot menu.png\n";
    s << from + 250 << " click 160 200\n";  // Slot 1
    if (restart) {
        s << from + 270 << " click 650 510\n"   // Return
          << from + 300 << " click 760 487\n"   // the System button
          << from + 320 << " click 150 510\n"   // Restart game
          << from + 340 << " click 300 312\n"   // Yes
          << from + 400 << " screenshot start.png\n";
    }
    s << from + 450 << " quit\n";
    return s.str();
}

// What the survivor's log says once its match has heard that the other computer went.
constexpr const char* kTold = "Net: the other computer has gone";

class LeavingMidMatch : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = NewTwoComputerRoot("leave");
        ASSERT_FALSE(root.empty()) << "no run folder under " << BUILD_ROOT;
        ASSERT_TRUE(MakeTwoComputerFolders(root)) << "build the fenwolt-data target first";
        // A port range of this run's own, apart from the other two-computer tests' ranges.
        run = std::make_unique<TwoProgramRun>(root, OwnPortText());
    }
    void TearDown() override
    {
        run.reset();  // kills what still runs
        std::error_code ec;
        if (!HasFailure()) fs::remove_all(root, ec);
    }

    fs::path Dir(int who) const { return root / (who == 0 ? "host" : "guest"); }
    std::string Log(int who) const { return FileText(Dir(who) / "run.log"); }
    Shot ShotOf(int who, const char* name) const { return Load(Dir(who) / name); }

    void Launch(int who, const std::string& script) { ASSERT_TRUE(run->Launch(who, script)) << run->Why(who); }

    // Waits for both programs to end, killing `victim` (0 host, 1 guest, -1 none) once `ready`
    // says so, and laying "told" for a program whose log says it has been told. Exit codes: the
    // program's, or -1 for a kill or a signal. Their scripts end them; each is bounded by the
    // processor time its frames may take, however long a busy machine stretches them.
    void Run(int victim, const std::function<bool()>& ready, const std::function<void()>& eachPoll = {})
    {
        bool killed = false;
        run->Wait([&] {
            if (eachPoll) eachPoll();
            if (victim >= 0 && !killed && ready()) {
                run->Program(victim).Kill();
                killed = true;
            }
            for (int who : {0, 1})
                if (Log(who).find(kTold) != std::string::npos) Cue(Dir(who), "told");
        });
        for (int who : {0, 1}) codes[who] = run->Code(who);
        if (victim >= 0) {
            EXPECT_TRUE(killed) << "the victim never reached the point to be killed at";
        }
        for (int who : {0, 1})
            if (run->Program(who).Hung()) ADD_FAILURE() << (who == 0 ? "host " : "guest ") << run->Why(who);
    }

    void ExpectCleanExit(int who)
    {
        const std::string log = Log(who);
        EXPECT_EQ(log.find("runtime error"), std::string::npos) << log;
        EXPECT_EQ(log.find("LeakSanitizer"), std::string::npos) << log;
        EXPECT_EQ(codes[who], 0) << log;
    }

    // The survivor's screens: told, standing still whatever it tried, with the System button
    // only, and its system menu saving the game.
    void ExpectStrandedSurvivor(int who, const Shot& before)
    {
        const Shot stranded = ShotOf(who, "stranded.png"), tried = ShotOf(who, "tried.png");
        ASSERT_TRUE(stranded.ok && tried.ok && before.ok);
        EXPECT_GT(MessagePixels(stranded), MessagePixels(before) + 300) << "OTHER PLAYER IS NO LONGER CONNECTED";
        EXPECT_GT(SystemCaptionPixels(stranded), 40) << "the System button";
        EXPECT_LT(EndTurnCaptionPixels(stranded), 5) << "no End Turn";
        EXPECT_LT(ChangedShare(stranded, tried, PITCH[0], PITCH[1], PITCH[2], PITCH[3]), 0.002)
            << "the match moved after the other computer left";
        EXPECT_GT(SystemCaptionPixels(tried), 40);
        EXPECT_LT(EndTurnCaptionPixels(tried), 5);
        EXPECT_GT(ChangedShare(tried, ShotOf(who, "menu.png"), 0, 0, 800, 600), 0.5) << "Esc opened the system menu";
        EXPECT_TRUE(fs::exists(Dir(who) / "saves" / "sav0.sav")) << "the game saved from the system menu";
    }

    fs::path root;
    std::unique_ptr<TwoProgramRun> run;
    int codes[2] = {-1, -1};
};

}  // namespace

// The guest is killed while the host plans: the host, in its own turn, cannot end it alone.
TEST_F(LeavingMidMatch, AGuestKilledWhileTheHostPlansLeavesTheHostTheSystemMenuOnly)
{
    Launch(0, SetUpScript(true) + InStep("guest", 1000, 3600) + "3700 screenshot playing.png\n3701 wait told\n" +
                  SurvivorScript(3750, true));
    Launch(1, SetUpScript(false) + InStep("host", 1000, 3600) + "3900 screenshot ready.png\n");
    ASSERT_FALSE(HasFatalFailure());
    // Killed once both stand in the host's planning and the host has shown how it looked then.
    const fs::path ready = Dir(1) / "ready.png", shown = Dir(0) / "playing.png";
    Run(1, [&] { return fs::exists(ready) && fs::exists(shown); });

    ExpectCleanExit(0);
    const Shot playing = ShotOf(0, "playing.png");
    EXPECT_GT(EndTurnCaptionPixels(playing), 40) << "the host planned when the guest went";
    ExpectStrandedSurvivor(0, playing);
    EXPECT_TRUE(LooksLikeTheStartMenu(ShotOf(0, "start.png"))) << "Restart game and Yes lead to the start menu";
    EXPECT_EQ(Log(0).find("Net hand-over"), std::string::npos) << "no turn was handed over";
}

// The guest is killed while it plans: the host, waiting in the other side's turn, gets the
// System button it had not.
TEST_F(LeavingMidMatch, AGuestKilledWhileItPlansLeavesTheWaitingHostTheSystemMenu)
{
    Launch(0, SetUpScript(true) + InStep("guest", 1000, 4000) + EndTheHostsTurn(3700) +
                  "4000 screenshot playing.png\n4010 wait told\n" + SurvivorScript(4050, false));
    Launch(1, SetUpScript(false) + InStep("host", 1000, 4000) + "4100 screenshot ready.png\n");
    ASSERT_FALSE(HasFatalFailure());
    const fs::path ready = Dir(1) / "ready.png", shown = Dir(0) / "playing.png";
    // Killed once the host has handed its turn over and shown how it waited, and the guest has
    // taken the turn over for its planning.
    Run(1, [&] {
        return fs::exists(ready) && fs::exists(shown) &&
               Log(0).find("Net hand-over sent: phase 0") != std::string::npos &&
               Log(1).find("Net hand-over received: phase 0") != std::string::npos;
    });

    ExpectCleanExit(0);
    const Shot playing = ShotOf(0, "playing.png");
    EXPECT_LT(SystemCaptionPixels(playing), 5) << "the host waited for the guest's orders";
    ExpectStrandedSurvivor(0, playing);
}

// The host presses Esc: No keeps both computers playing (the turn is handed over as usual);
// later, while the guest plans, Esc and Yes leave the match, and the guest is told.
TEST_F(LeavingMidMatch, EscAndNoKeepsTheMatchAndEscAndYesTellsTheOtherComputer)
{
    // The host leaves once the guest has taken the turn over, and the guest plays on once it has
    // been told that the host has gone.
    Launch(0, SetUpScript(true) + InStep("guest", 1000, 4100) +
                  "3700 key VK_ESCAPE\n3720 screenshot question.png\n3730 click 480 312\n" +  // No
                  EndTheHostsTurn(3760) +
                  "4140 wait guest-plans\n4150 key VK_ESCAPE\n4170 click 300 312\n"  // Yes
                  "4250 screenshot start.png\n4300 quit\n");
    Launch(1, SetUpScript(false) + InStep("host", 1000, 4100) + "3600 screenshot playing.png\n4540 wait told\n" +
                  SurvivorScript(4590, false));
    ASSERT_FALSE(HasFatalFailure());
    Run(-1, [] { return false; }, [&] {
        if (Log(1).find("Net hand-over received: phase 0") != std::string::npos) Cue(Dir(0), "guest-plans");
    });

    ExpectCleanExit(0);
    ExpectCleanExit(1);
    // The question stood over the match: the box's dark blue where the pitch was green.
    double box[3];
    Mean(ShotOf(0, "question.png"), 230, 240, 570, 400, box);
    EXPECT_GT(box[2], box[1]) << "Abandon this game?";
    // After No the turn went over to the guest as usual.
    EXPECT_NE(Log(0).find("Net hand-over sent: phase 0"), std::string::npos);
    EXPECT_NE(Log(1).find("Net hand-over received: phase 0"), std::string::npos);
    EXPECT_TRUE(LooksLikeTheStartMenu(ShotOf(0, "start.png")));
    ExpectStrandedSurvivor(1, ShotOf(1, "playing.png"));
}
