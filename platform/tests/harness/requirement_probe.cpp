// A test that needs a data set where HARNESS_DATA_SET says, run by requirements_test.cpp as CI
// and a developer would run it; not a test of the suite itself.
#include "platform/tests/support/test_requirements.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

TEST(NeedsADataSet, ReadsItsFirstFile)
{
    const char* where = std::getenv("HARNESS_DATA_SET");
    const std::filesystem::path data = where ? where : "";
    if (!std::filesystem::exists(data / "interface" / "start.jpg"))
        SKIP_WITHOUT("the generated data set") << "looked in " << data;
    SUCCEED();
}
