// SKIP_WITHOUT: a skip on a developer's machine, a failure that names what was missing where
// TESTS_REQUIRE_EVERYTHING is set. Checked on a copy of this program that runs a test needing a
// data set that is not there, once each way.
#include "platform/tests/support/program_run.h"
#include "platform/tests/support/scratch_directory.h"
#include "platform/tests/support/test_requirements.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {
namespace fs = std::filesystem;

// Run only by the test below, in a copy of this program, with HARNESS_DATA_SET naming a folder.
TEST(DISABLED_NeedsADataSet, ReadsItsFirstFile)
{
    const char* where = std::getenv("HARNESS_DATA_SET");
    const fs::path data = where ? where : "";
    if (!fs::exists(data / "interface" / "start.jpg")) SKIP_WITHOUT("the generated data set") << "looked in " << data;
    SUCCEED();
}

struct Outcome {
    int code = -1;
    std::string output;
};

Outcome RunTheDataSetTest(const fs::path& dir, const fs::path& dataSet, const char* requireEverything)
{
    ProgramRun run;
    const bool started = run.Start(fs::read_symlink("/proc/self/exe"), dir,
                                   {"HARNESS_DATA_SET=" + dataSet.string(),
                                    std::string("TESTS_REQUIRE_EVERYTHING=") + requireEverything},
                                   CpuBudgetForFrames(0), "run.log",
                                   {"--gtest_also_run_disabled_tests", "--gtest_filter=DISABLED_NeedsADataSet.*"});
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
    ScratchDirectory dir;
    const fs::path missing = fs::current_path() / "no-data-set";

    const Outcome developer = RunTheDataSetTest(fs::current_path(), missing, "0");
    EXPECT_EQ(developer.code, 0) << developer.output;
    EXPECT_NE(developer.output.find("[  SKIPPED ]"), std::string::npos) << developer.output;
    EXPECT_NE(developer.output.find("skipped: the generated data set is missing"), std::string::npos)
        << developer.output;

    const Outcome ci = RunTheDataSetTest(fs::current_path(), missing, "1");
    EXPECT_NE(ci.code, 0) << ci.output;
    EXPECT_NE(ci.output.find("[  FAILED  ]"), std::string::npos) << ci.output;
    EXPECT_EQ(ci.output.find("[  SKIPPED ]"), std::string::npos) << ci.output;
    EXPECT_NE(ci.output.find("the generated data set is missing, where every test must run"), std::string::npos)
        << ci.output;
    EXPECT_NE(ci.output.find("looked in"), std::string::npos) << "the detail follows: " << ci.output;

    // Where the data set is, the test runs either way.
    fs::create_directories(missing / "interface");
    std::ofstream(missing / "interface" / "start.jpg") << "x";
    const Outcome present = RunTheDataSetTest(fs::current_path(), missing, "1");
    EXPECT_EQ(present.code, 0) << present.output;
    EXPECT_NE(present.output.find("[  PASSED  ] 1 test"), std::string::npos) << present.output;
}
