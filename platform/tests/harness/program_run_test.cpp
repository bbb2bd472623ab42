// ProgramRun bounds a run by its processor time: a program that goes round in circles is stopped
// once over its budget, one blocked for good once its processor time has stood still, and one
// that ends by itself is left to end, however long the clock says it took.
#include "platform/tests/support/program_run.h"
#include "platform/tests/support/scratch_directory.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {
namespace fs = std::filesystem;

std::string Text(const fs::path& file)
{
    std::ifstream in(file);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
}  // namespace

TEST(ProgramRun, AProgramThatEndsByItselfGivesItsCodeAndItsOutput)
{
    ScratchDirectory dir;
    ProgramRun run;
    ASSERT_TRUE(run.Start("/bin/sh", fs::current_path(), {"GREETING=hello"}, 30, "out.log",
                          {"-c", "echo $GREETING; echo to-error >&2; exit 3"}));
    EXPECT_EQ(run.Wait(), 3);
    EXPECT_FALSE(run.Hung());
    EXPECT_TRUE(run.Why().empty()) << run.Why();
    EXPECT_EQ(Text("out.log"), "hello\nto-error\n");

    ASSERT_TRUE(run.Start("/bin/sh", fs::current_path(), {}, 30, "out.log", {"-c", "kill -9 $$"}));
    EXPECT_EQ(run.Wait(), -1) << "a signal";
    EXPECT_NE(run.Why().find("signal 9"), std::string::npos) << run.Why();

    EXPECT_FALSE(run.Start("/no/such/program", fs::current_path(), {}, 30));
    EXPECT_FALSE(run.Why().empty());
}

TEST(ProgramRun, AProgramGoingRoundInCirclesIsStoppedOverItsBudget)
{
    ScratchDirectory dir;
    ProgramRun run;
    ASSERT_TRUE(run.Start("/bin/sh", fs::current_path(), {}, 1.0, "run.log", {"-c", "while :; do :; done"}));
    EXPECT_EQ(run.Wait(), ProgramRun::kHungCode);
    EXPECT_TRUE(run.Hung());
    EXPECT_NE(run.Why().find("over its budget of 1 s"), std::string::npos) << run.Why();
    EXPECT_NE(Text("run.log").find("stopped as hung"), std::string::npos) << "the log says why";
}

TEST(ProgramRun, AProgramBlockedForGoodIsStoppedOnceItsProcessorTimeStandsStill)
{
    ScratchDirectory dir;
    ProgramRun run;
    run.SetStandstill(std::chrono::milliseconds(1500));
    ASSERT_TRUE(run.Start("/bin/sleep", fs::current_path(), {}, 1000, "run.log", {"600"}));
    EXPECT_EQ(run.Wait(), ProgramRun::kHungCode);
    EXPECT_NE(run.Why().find("stood still"), std::string::npos) << run.Why();
}

TEST(ProgramRun, AScriptsLastFrameSetsItsBudget)
{
    EXPECT_EQ(LastScriptFrame(""), 0);
    EXPECT_EQ(LastScriptFrame("# 9000 in a comment\n5 click 1 2\n  7100 screenshot a.png\n40 key alt+X\n"), 7100);
    EXPECT_GT(CpuBudgetForFrames(7100), CpuBudgetForFrames(100));
}
