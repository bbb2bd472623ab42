// Two copies of the program on one machine, each driven by a script through the connection
// wizard and the staging area by control id: one creates the session, the other finds it on
// loopback and joins; both tick "Ready?", the host starts, and both reach the set-up screen of
// the two-computer exhibition. The screenshots show the dialogs over the game.
#include "platform/tests/support/test_ports.h"
#include "platform/tests/support/file_contents.h"
#include "platform/tests/support/png_reading.h"
#include "two_computer_runs.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct Picture {
    std::vector<uint8_t> rgb;
    int width = 0, height = 0;
    template <class Test>
    int Count(int x0, int y0, int x1, int y1, Test test) const
    {
        int n = 0;
        for (int y = y0; y < y1 && y < height; ++y)
            for (int x = x0; x < x1 && x < width; ++x)
                if (test(rgb.data() + (static_cast<size_t>(y) * width + x) * 3)) ++n;
        return n;
    }
};

// The dialogs' face colour.
bool DialogFace(const uint8_t* p) { return p[0] == 0xD4 && p[1] == 0xD0 && p[2] == 0xC8; }
bool Whitish(const uint8_t* p) { return p[0] > 200 && p[1] > 200 && p[2] > 200; }

class TwoComputers : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = NewTwoComputerRoot("stage");
        ASSERT_FALSE(root.empty()) << "no run folder under " << BUILD_ROOT;
        ASSERT_TRUE(MakeTwoComputerFolders(root)) << "build the fenwolt-data target first";
    }
    void TearDown() override
    {
        std::error_code ec;
        if (!HasFailure()) std::filesystem::remove_all(root, ec);
    }
    // Runs both programs at once with their scripts; their exit codes.
    std::pair<int, int> Run(const std::string& hostScript, const std::string& guestScript)
    {
        // A port range of this test's own on 127.0.0.1; nothing is broadcast.
        TwoProgramRun run(root, OwnPortText());
        EXPECT_TRUE(run.Launch(0, hostScript)) << run.Why(0);
        EXPECT_TRUE(run.Launch(1, guestScript)) << run.Why(1);
        run.Wait();
        hostLog = FileText(root / "host" / "run.log");
        guestLog = FileText(root / "guest" / "run.log");
        return {run.Code(0), run.Code(1)};
    }
    Picture Shot(const char* who, const char* name)
    {
        Picture p;
        EXPECT_TRUE(ReadRgbPng(root / who / name, p.rgb, p.width, p.height)) << who << " " << name;
        return p;
    }
    std::filesystem::path root;
    std::string hostLog, guestLog;
};

// To the wizard: the intro and the title skipped, START, then the two-computer game.
const char* const ToTheWizard = "10 key VK_SPACE\n"
                                "20 key VK_SPACE\n"
                                "50 click 150 308\n"
                                "80 click 400 200\n";

}  // namespace

// The two programs run side by side, each at the pace the machine gives it, and may come to the
// wizard many seconds apart. Each line that depends on the other computer waits for its control
// (the guest's Join for the host's session, the guest's chat line for its stage, the host's Start
// Game for the guest's tick), and the script stands still while it waits; after the host's start
// the two are kept in step, so that neither looks at the set-up screen before the other's part
// in reaching it is done.
TEST_F(TwoComputers, WizardAndStageByControlIdUntilBothReachTheSetUpScreen)
{
    std::string host = std::string(ToTheWizard) +
                       "100 dialog 11002 text Hosty\n"
                       "101 dialog 1 click\n"
                       "130 dialog 11005 click\n"          // Create
                       "150 dialog 11009 text Kestrel\n"
                       "151 dialog 1 click\n"
                       "210 dialog 21101 click\n"         // Ready?
                       "260 screenshot stage.png\n"
                       "270 dialog 21001 click\n"         // Start Game, once the guest is ready too
                       + InStep("guest", 300, 900) +
                       "1000 screenshot setup.png\n"
                       "1300 quit\n";
    std::string guest = std::string(ToTheWizard) +
                        "100 dialog 11002 text Guesty\n"
                        "101 dialog 1 click\n"
                        "120 dialog 11010 click\n"         // Start Search
                        "130 dialog 11004 click\n"         // Join, once a session is listed
                        "140 dialog 21003 text\n"          // the stage is shown (its chat line left empty)
                        "190 screenshot stage.png\n"
                        "200 dialog 21102 click\n"         // Ready?
                        + InStep("host", 300, 900) +
                        "1000 screenshot setup.png\n"
                        "1100 quit\n";
    auto [hostCode, guestCode] = Run(host, guest);
    EXPECT_EQ(hostCode, 0) << hostLog;
    EXPECT_EQ(guestCode, 0) << guestLog;
    for (const std::string* log : {&hostLog, &guestLog}) {
        EXPECT_EQ(log->find("not written yet"), std::string::npos) << *log;
        EXPECT_EQ(log->find("no open dialog showed"), std::string::npos) << *log;
        EXPECT_EQ(log->find("runtime error"), std::string::npos) << *log;
    }
    // Mid-stage both show the staging dialog over the game.
    for (const char* who : {"host", "guest"}) {
        Picture stage = Shot(who, "stage.png");
        EXPECT_GT(stage.Count(0, 0, stage.width, stage.height, DialogFace), 60000) << who;
        Picture setup = Shot(who, "setup.png");
        EXPECT_EQ(setup.Count(0, 0, setup.width, setup.height, DialogFace), 0) << who << ": the dialogs are gone";
        EXPECT_GT(setup.Count(200, 15, 600, 50, Whitish), 300) << who << ": the set-up screen's title";
    }
}
