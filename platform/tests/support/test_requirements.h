// What a test cannot run without and a machine may lack: a GL device, the generated data sets, the
// shared test modules, an X server with its tools. A test that finds one missing ends through
// SKIP_WITHOUT, which skips it, saying what was missing:
//
//     if (!app.Open(true)) SKIP_WITHOUT("a GL device") << app.error;
//
// Where TESTS_REQUIRE_EVERYTHING is set (CI sets it: its scripts have installed and built all of
// these), a missing one is a fault, not a property of the machine, and the same line fails the
// test instead, saying what was missing; a run that skipped half its tests cannot pass.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

inline bool TestsRequireEverything()
{
    const char* value = std::getenv("TESTS_REQUIRE_EVERYTHING");
    return value && *value && std::strcmp(value, "0") != 0;
}

inline std::string MissingRequirement(const char* what)
{
    return TestsRequireEverything()
               ? std::string(what) + " is missing, where every test must run (TESTS_REQUIRE_EVERYTHING is set)"
               : std::string("skipped: ") + what + " is missing";
}

// Ends the test, or the fixture's SetUp, for want of `what`; a detail may follow with <<.
#define SKIP_WITHOUT(what)                                                                                   \
    return GTEST_MESSAGE_AT_(__FILE__, __LINE__, MissingRequirement(what).c_str(),                           \
                             TestsRequireEverything() ? ::testing::TestPartResult::kFatalFailure             \
                                                      : ::testing::TestPartResult::kSkip)
