// Whole matches against the computer from many seeds, with a passive, a chasing and a random
// home side: every step keeps the match sound, every restart is taken within a bounded number
// of turns, full time comes, and the results spread as football results do. The normal pass
// plays a few seeds; FENWOLT_SOAK_SEEDS=200 (the "soak" CTest label) plays them all.
#include "fenwolt/tests/match/match_screen_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>

using namespace matchdrive;

namespace {

// A manager who walks his taker a long way (the random home side) needs a few turns more.
constexpr int32_t RESTART_TURN_LIMIT = 20;

TEST(MatchSoak, WholeMatchesAgainstTheComputerEndSoundly)
{
    MatchApp app;
    if (!app.Open(false)) GTEST_SKIP() << app.error;
    const char* env = std::getenv("FENWOLT_SOAK_SEEDS");
    const int seeds = env && std::atoi(env) > 0 ? std::atoi(env) : 3;
    const bool whole = seeds >= 30;
    int goals = 0, homeWins = 0, awayWins = 0, draws = 0, goalless = 0;
    std::map<int, int> totals;
    int64_t steps = 0;
    for (int s = 0; s < seeds; ++s) {
        MatchOptions o;
        o.seed = 1000u + (uint32_t)s;
        // The normal pass plays short halves; the soak plays the whole 45 minutes.
        o.minutesPerHalf = whole ? 45 : 8;
        const HomeScript script = s % 3 == 0 ? HomeScript::Passive : (s % 3 == 1 ? HomeScript::Chasing : HomeScript::Random);
        const MatchReport r = PlayMatch(o, script, 0.02f, 4000000, true);
        ASSERT_EQ(r.failure, "") << "seed " << o.seed << " script " << (int)script;
        ASSERT_TRUE(r.fullTime) << "seed " << o.seed;
        EXPECT_LE(r.longestRestart, RESTART_TURN_LIMIT) << "seed " << o.seed << ": a restart waited too long";
        steps += r.steps;
        goals += r.homeGoals + r.awayGoals;
        ++totals[r.homeGoals + r.awayGoals];
        if (r.homeGoals > r.awayGoals)
            ++homeWins;
        else if (r.homeGoals < r.awayGoals)
            ++awayWins;
        else
            ++draws;
        goalless += r.homeGoals + r.awayGoals == 0;
        if (whole)
            std::printf("seed %u script %d: %d-%d, %d turns, %d restarts (longest %d turns)\n", o.seed, (int)script,
                        r.homeGoals, r.awayGoals, r.fullTurns, r.restarts, r.longestRestart);
    }
    std::printf("%d matches, %lld steps: %d goals, home %d, away %d, drawn %d, goalless %d\n", seeds,
                (long long)steps, goals, homeWins, awayWins, draws, goalless);
    if (whole) {
        const double perMatch = (double)goals / seeds;
        EXPECT_GT(perMatch, 0.5) << "hardly any goals";
        EXPECT_LT(perMatch, 12.0) << "a goal fest";
        EXPECT_GT(awayWins, 0) << "the computer never wins";
        EXPECT_GT(homeWins + draws, 0);
        EXPECT_LT(goalless, seeds) << "no goals in any match";
        EXPECT_GT(totals.size(), 2u) << "every match ends the same";
    }
}

}  // namespace
