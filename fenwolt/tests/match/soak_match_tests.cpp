// Whole matches against the computer from many seeds, with a passive, a chasing and a random
// home side: every step keeps the match sound, every restart is taken within a bounded number
// of turns, full time comes, and the results spread as football results do. The normal pass
// plays six seeds with short halves; FENWOLT_SOAK_SEEDS=200 (the "soak" CTest label) plays them all.
#include "fenwolt/tests/match/match_screen_support.h"
#include "platform/tests/support/test_requirements.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <map>

using namespace matchdrive;

namespace {

// Full turns a restart may wait. The computer's taker walks to the ball (tired players slowly)
// and then waits three to six planning turns; a scripted manager's taker may have to walk the
// length of the pitch first, and the random manager scatters his side.
constexpr int32_t COMPUTER_RESTART_LIMIT = 30;
constexpr int32_t HOME_RESTART_LIMIT = 36;

TEST(MatchSoak, WholeMatchesAgainstTheComputerEndSoundly)
{
    MatchApp app;
    if (!app.Open(false)) SKIP_WITHOUT("a GL device") << app.error;
    const char* env = std::getenv("FENWOLT_SOAK_SEEDS");
    const int seeds = env && std::atoi(env) > 0 ? std::atoi(env) : 6;
    // FENWOLT_SOAK_FIRST=1037 FENWOLT_SOAK_SEEDS=1 plays one seed of the soak again.
    const char* firstEnv = std::getenv("FENWOLT_SOAK_FIRST");
    const uint32_t first = firstEnv && std::atoi(firstEnv) > 0 ? (uint32_t)std::atoi(firstEnv) : 1000u;
    // Asked for by name, the soak plays whole 45-minute halves; the normal pass plays short ones.
    const bool whole = env != nullptr;
    int goals = 0, homeWins = 0, awayWins = 0, draws = 0, goalless = 0;
    std::map<int, int> totals;
    int64_t steps = 0;
    int32_t longest[2] = {0, 0};
    int32_t longestOfKind[2][10] = {};
    // Per home script: matches, goals for and against, wins, draws and losses of the home side.
    struct ScriptTally {
        int matches = 0, scored = 0, conceded = 0, won = 0, drawn = 0, lost = 0;
    } tally[3];
    for (int s = 0; s < seeds; ++s) {
        MatchOptions o;
        o.seed = first + (uint32_t)s;
        // The normal pass plays short halves; the soak plays the whole 45 minutes.
        o.minutesPerHalf = whole ? 45 : 8;
        const uint32_t k = o.seed - 1000u;
        const HomeScript script = k % 3 == 0 ? HomeScript::Passive : (k % 3 == 1 ? HomeScript::Chasing : HomeScript::Random);
        const MatchReport r = PlayMatch(o, script, 0.02f, 4000000, true);
        // Every seed is played, so that one run names every seed that fails.
        EXPECT_EQ(r.failure, "") << "seed " << o.seed << " script " << (int)script;
        EXPECT_TRUE(r.fullTime) << "seed " << o.seed;
        if (!r.failure.empty() || !r.fullTime) continue;
        for (int side = 0; side < 2; ++side) {
            longest[side] = std::max(longest[side], r.longestRestartOf[side]);
            for (int kind = 0; kind < 10; ++kind)
                longestOfKind[side][kind] = std::max(longestOfKind[side][kind], r.longestRestartOfKind[side][kind]);
        }
        EXPECT_LE(r.longestRestartOf[1], COMPUTER_RESTART_LIMIT) << "seed " << o.seed << ": the computer's restart";
        EXPECT_LE(r.longestRestartOf[0], HOME_RESTART_LIMIT) << "seed " << o.seed << ": the home side's restart";
        steps += r.steps;
        goals += r.homeGoals + r.awayGoals;
        ++totals[r.homeGoals + r.awayGoals];
        ScriptTally& t = tally[(int)script];
        ++t.matches;
        t.scored += r.homeGoals;
        t.conceded += r.awayGoals;
        t.won += r.homeGoals > r.awayGoals;
        t.drawn += r.homeGoals == r.awayGoals;
        t.lost += r.homeGoals < r.awayGoals;
        if (r.homeGoals > r.awayGoals)
            ++homeWins;
        else if (r.homeGoals < r.awayGoals)
            ++awayWins;
        else
            ++draws;
        goalless += r.homeGoals + r.awayGoals == 0;
        if (whole)
            std::printf("seed %u script %d: %d-%d, %d turns, %d restarts (longest: home %d, computer %d turns)\n",
                        o.seed, (int)script, r.homeGoals, r.awayGoals, r.fullTurns, r.restarts,
                        r.longestRestartOf[0], r.longestRestartOf[1]);
    }
    std::printf("%d matches, %lld steps: %d goals, home %d, away %d, drawn %d, goalless %d; longest restart: "
                "home %d, computer %d turns\n",
                seeds, (long long)steps, goals, homeWins, awayWins, draws, goalless, (int)longest[0], (int)longest[1]);
    static const struct {
        int state;
        const char* name;
    } kinds[] = {{STOP_THROW_IN, "throw-in"}, {STOP_GOAL_KICK, "goal kick"}, {STOP_CORNER, "corner"},
                 {STOP_OFFSIDE, "offside free kick"}, {STOP_FOUL, "foul free kick"}};
    for (int side = 0; side < 2; ++side) {
        std::printf("  longest waits of the %s side's restarts (full turns):", side ? "computer" : "home");
        for (const auto& k : kinds) std::printf(" %s %d", k.name, (int)longestOfKind[side][k.state]);
        std::printf("\n");
    }
    static const char* const names[3] = {"passive", "chasing", "random"};
    for (int k = 0; k < 3; ++k)
        if (tally[k].matches)
            std::printf("  %s home side: %d matches, goals %d-%d, won %d, drawn %d, lost %d\n", names[k],
                        tally[k].matches, tally[k].scored, tally[k].conceded, tally[k].won, tally[k].drawn,
                        tally[k].lost);
    if (whole && seeds >= 30) {
        const double perMatch = (double)goals / seeds;
        EXPECT_GT(perMatch, 0.5) << "hardly any goals";
        EXPECT_LT(perMatch, 12.0) << "a goal fest";
        EXPECT_GT(awayWins, 0) << "the computer never wins";
        EXPECT_GT(homeWins + draws, 0);
        EXPECT_LT(goalless, seeds) << "no goals in any match";
        EXPECT_GT(totals.size(), 2u) << "every match ends the same";
        // A side that chases the ball and shoots scores now and then.
        EXPECT_GT(tally[(int)HomeScript::Chasing].scored, 0) << "the chasing side never scores";
    }
}

}  // namespace
