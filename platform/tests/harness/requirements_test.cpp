// SKIP_WITHOUT: a skip on a developer's machine, a failure that names what was missing where
// TESTS_REQUIRE_EVERYTHING is set (as in CI). Checked on a program whose one test needs a data set
// that is not there (requirement_probe.cpp), run each way.
#include "platform/tests/support/program_run.h"
#include "platform/tests/support/scratch_directory.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {
namespace fs = std::filesystem;

struct Outcome {
    int code = -1;
    std::string output;
};

Outcome RunTheProbe(const fs::path& dir, const fs::path& dataSet, const char* requireEverything)
{
    ProgramRun run;
    const bool started = run.Start(REQUIREMENT_PROBE, dir,
                                   {"HARNESS_DATA_SET=" + dataSet.string(),
                                    std::string("TESTS_REQUIRE_EVERYTHING=") + requireEverything},
                                   CpuBudgetForFrames(0));
    EXPECT_TRUE(started) << run.Why();
    Outcome o;
    o.code = run.Wait();
    std::ifstream in(dir / "run.log");
    o.output.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return o;
}
}  // namespace

TEST(Requirements, AMissingDataSetSkipsOnADevelopersMachineAndFailsWhereEverythingIsRequired)
{
    ScratchDirectory scratch;
    const fs::path missing = fs::current_path() / "no-data-set";

    const Outcome developer = RunTheProbe(fs::current_path(), missing, "0");
    EXPECT_EQ(developer.code, 0) << developer.output;
    EXPECT_NE(developer.output.find("[  SKIPPED ]"), std::string::npos) << developer.output;
    EXPECT_NE(developer.output.find("skipped: the generated data set is missing"), std::string::npos)
        << developer.output;

    const Outcome ci = RunTheProbe(fs::current_path(), missing, "1");
    EXPECT_NE(ci.code, 0) << ci.output;
    EXPECT_NE(ci.output.find("[  FAILED  ]"), std::string::npos) << ci.output;
    EXPECT_EQ(ci.output.find("[  SKIPPED ]"), std::string::npos) << ci.output;
    EXPECT_NE(ci.output.find("the generated data set is missing, where every test must run"), std::string::npos)
        << ci.output;
    EXPECT_NE(ci.output.find("looked in"), std::string::npos) << "the detail follows: " << ci.output;

    // Where the data set is, the test runs either way.
    fs::create_directories(missing / "interface");
    std::ofstream(missing / "interface" / "start.jpg") << "x";
    const Outcome present = RunTheProbe(fs::current_path(), missing, "1");
    EXPECT_EQ(present.code, 0) << present.output;
    EXPECT_NE(present.output.find("[  PASSED  ] 1 test"), std::string::npos) << present.output;
}
