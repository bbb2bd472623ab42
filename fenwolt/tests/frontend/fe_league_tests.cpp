// The league: fixtures, home and away, the table order, the other results of a round and the
// budgets before each match.
#include "fenwolt/Game/FrontEnd/Competition.h"
#include "fenwolt/Game/FrontEnd/League.h"
#include "fenwolt/Game/Match/MatchRecords.h"
#include "fenwolt/common/Utilities.h"
#include "fenwolt/tests/frontend/fe_b_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {
void SetRow(int team, int won, int drawn, int lost, int goalsFor, int goalsAgainst)
{
    LeagueTableRow& r = League.rows[team];
    r.won = won;
    r.drawn = drawn;
    r.lost = lost;
    r.goalsFor = goalsFor;
    r.goalsAgainst = goalsAgainst;
}

int TotalPoints()
{
    int points = 0;
    for (const LeagueTableRow& r : League.rows) points += r.points;
    return points;
}
}  // namespace

TEST(LeagueFixtures, EveryPairMeetsOnceAndEveryTeamPlaysOnceARound)
{
    std::set<std::pair<int, int>> met;
    for (int round = 1; round <= LEAGUE_ROUNDS; ++round) {
        int games[LEAGUE_TEAMS] = {};
        for (int a = 0; a < LEAGUE_TEAMS; ++a)
            for (int b = a + 1; b < LEAGUE_TEAMS; ++b)
                if (LeagueFixtureRound(a, b) == round) {
                    ++games[a];
                    ++games[b];
                    EXPECT_TRUE(met.insert({a, b}).second) << a << " v " << b << " twice";
                }
        for (int t = 0; t < LEAGUE_TEAMS; ++t) EXPECT_EQ(games[t], 1) << "team " << t << " round " << round;
    }
    EXPECT_EQ(met.size(), (size_t)(LEAGUE_TEAMS * (LEAGUE_TEAMS - 1) / 2));
    for (int a = 0; a < LEAGUE_TEAMS; ++a)
        for (int b = 0; b < LEAGUE_TEAMS; ++b)
            if (a != b) {
                EXPECT_EQ(LeagueFixtureRound(a, b), LeagueFixtureRound(b, a));
            }
}

TEST(LeagueFixtures, RoundPairsStartWithTheManagersMatchAndCoverEveryTeam)
{
    for (int n = 0; n < LEAGUE_MATCHES; ++n) {
        MakeRoundPairs(n);
        EXPECT_EQ(RoundPairs[0], 0);
        EXPECT_EQ(RoundPairs[1], LeagueOpponent(n));
        EXPECT_EQ(LeagueOpponent(n), n % 15 + 1);
        std::set<int> seen(RoundPairs, RoundPairs + LEAGUE_TEAMS);
        EXPECT_EQ(seen.size(), (size_t)LEAGUE_TEAMS) << "match " << n;
        for (int p = 0; p < LEAGUE_TEAMS / 2; ++p)
            EXPECT_EQ(LeagueFixtureRound(RoundPairs[2 * p], RoundPairs[2 * p + 1]), n % 15 + 1);
    }
    // The manager meets every other team once in each half of the season.
    std::set<int> firstHalf, secondHalf;
    for (int n = 0; n < 15; ++n) firstHalf.insert(LeagueOpponent(n));
    for (int n = 15; n < 30; ++n) secondHalf.insert(LeagueOpponent(n));
    EXPECT_EQ(firstHalf.size(), 15u);
    EXPECT_EQ(secondHalf, firstHalf);
}

TEST(LeagueFixtures, HomeAndAwayAlternateAndSwapInTheSecondHalf)
{
    EXPECT_TRUE(IsLeagueHomeMatch(0));
    EXPECT_FALSE(IsLeagueHomeMatch(1));
    EXPECT_TRUE(IsLeagueHomeMatch(2));
    EXPECT_FALSE(IsLeagueHomeMatch(15));
    EXPECT_TRUE(IsLeagueHomeMatch(16));
    EXPECT_EQ(LeagueOpponent(0), 1);
    EXPECT_EQ(LeagueOpponent(1), 2);
    EXPECT_EQ(LeagueOpponent(15), 1);
    int home = 0;
    for (int n = 0; n < 15; ++n) {
        EXPECT_NE(IsLeagueHomeMatch(n), IsLeagueHomeMatch(n + 15)) << "the return match of " << n;
        home += IsLeagueHomeMatch(n) + IsLeagueHomeMatch(n + 15);
    }
    EXPECT_EQ(home, 15);
}

TEST(LeagueTableOrder, PointsThenGoalDifferenceThenGoalsForThenTeamOrder)
{
    ResetFrontEndState();
    InitLeague();
    SetRow(5, 3, 0, 0, 3, 0);   // 9 points, +3
    SetRow(2, 2, 3, 0, 9, 2);   // 9 points, +7
    SetRow(9, 2, 3, 0, 12, 5);  // 9 points, +7, more goals: above team 2
    SetRow(7, 2, 3, 0, 12, 5);  // level with team 9 on everything: below it by team order
    SetRow(1, 0, 0, 3, 0, 9);   // no points, -9: bottom
    SortLeagueTable();
    EXPECT_EQ(League.rows[7].points, 9);
    EXPECT_EQ(League.rows[7].played, 5);
    EXPECT_EQ(League.rows[7].goalDifference, 7);
    EXPECT_EQ(League.rows[7].position, 0);
    EXPECT_EQ(League.rows[9].position, 1);
    EXPECT_EQ(League.rows[2].position, 2);
    EXPECT_EQ(League.rows[5].position, 3);
    EXPECT_EQ(League.rows[1].position, 15);
    // The teams without a result keep their order between.
    EXPECT_EQ(League.rows[0].position, 4);
    EXPECT_EQ(League.rows[3].position, 5);
    EXPECT_EQ(League.rows[15].position, 14);
}

TEST(LeagueTableOrder, InitialTableNamesTheManagerAndTheClubs)
{
    ResetFrontEndState();
    MakeDefaultSquads();
    std::strcpy(TeamNames[0], "Our Lads");
    InitLeague();
    SortLeagueTable();
    EXPECT_STREQ(League.rows[0].name, "Our Lads");
    for (int t = 0; t < LEAGUE_TEAMS; ++t) {
        EXPECT_EQ(League.rows[t].position, t);
        EXPECT_EQ(League.rows[t].played, 0);
        EXPECT_LT(std::strlen(League.rows[t].name), 12u);
        EXPECT_GT(std::strlen(League.rows[t].name), 0u);
    }
    EXPECT_STRNE(League.rows[1].name, League.rows[2].name);
}

TEST(LeagueOtherResults, EveryRoundAddsThreePointsPerDecidedMatchAndTwoPerDraw)
{
    ResetFrontEndState(7);
    InitLeague();
    SortLeagueTable();
    int scorelines[6][6] = {};
    int oneNil = 0, others = 0, betterWon = 0, worseWon = 0;
    for (int n = 0; n < LEAGUE_MATCHES; ++n) {
        MakeRoundPairs(n);
        HomeGoals = n % 3;
        AwayGoals = 1;
        int positions[LEAGUE_TEAMS];
        for (int t = 0; t < LEAGUE_TEAMS; ++t) positions[t] = League.rows[t].position;
        const int before = TotalPoints();
        int expected = 0;
        PlayOtherLeagueResults();
        for (int p = 0; p < 8; ++p) {
            const int a = RoundGoals[2 * p], b = RoundGoals[2 * p + 1];
            expected += a == b ? 2 : 3;
            if (p == 0) {
                EXPECT_EQ(a, HomeGoals);
                EXPECT_EQ(b, AwayGoals);
                continue;
            }
            ASSERT_LE(a, 5);
            ASSERT_LE(b, 5);
            ++scorelines[a][b];
            if ((a == 1 && b == 0) || (a == 0 && b == 1))
                ++oneNil;
            else
                ++others;
            if (a != b) {
                const bool aBetter = positions[RoundPairs[2 * p]] < positions[RoundPairs[2 * p + 1]];
                ((a > b) == aBetter ? betterWon : worseWon)++;
            }
        }
        EXPECT_EQ(TotalPoints() - before, expected) << "round " << n;
        int goalsFor = 0, goalsAgainst = 0;
        for (const LeagueTableRow& r : League.rows) {
            goalsFor += r.goalsFor;
            goalsAgainst += r.goalsAgainst;
            EXPECT_EQ(r.played, n + 1);
        }
        EXPECT_EQ(goalsFor, goalsAgainst);
    }
    // A season of other results is varied: draws, clear wins and narrow ones, weighted toward the
    // better-placed team.
    EXPECT_GT(others, oneNil);
    EXPECT_GT(scorelines[0][0] + scorelines[1][1] + scorelines[2][2], 0);
    int bigWins = 0;
    for (int a = 0; a < 6; ++a)
        for (int b = 0; b < 6; ++b)
            if (a - b >= 2 || b - a >= 2) bigWins += scorelines[a][b];
    EXPECT_GT(bigWins, 0);
    EXPECT_GT(betterWon, worseWon);
    // The table stays a ranking of the 16 teams.
    std::set<int> places;
    for (const LeagueTableRow& r : League.rows) places.insert(r.position);
    EXPECT_EQ(places.size(), (size_t)LEAGUE_TEAMS);
}

// Each band of the other results' draws, at both sides of each of its edges: the chance of a clear
// result (|d| x 5 + 25 in 100), of a 1-0 upset (25), and the three draws' split (60, 90). The
// draws are fed in through the shared table a network game draws from.
TEST(LeagueOtherResults, EachDrawnValueAtABandsEdgeGivesThatBandsResult)
{
    struct Draw {
        int value, below;  // RandomBelow(below) gives value
    };
    struct Case {
        int clearBy;  // the first draw, less the clear-result chance: below 0 is a clear result
        std::vector<Draw> more;
        int better, worse;  // the goals of the better- and the worse-placed team
    };
    const Case cases[] = {
        {-1, {{3, 4}, {2, 3}}, 4, 2},      // clear: 1 + 3 against 2
        {-1, {{0, 4}, {2, 3}}, 3, 2},      // clear, the winner's draw below the loser's: one goal more
        {-1, {{1, 4}, {2, 3}}, 3, 2},      // and level with it
        {0, {{24, 100}}, 0, 1},            // the upset
        {0, {{25, 100}, {59, 100}}, 0, 0}, // a draw
        {0, {{25, 100}, {60, 100}}, 1, 1},
        {0, {{25, 100}, {89, 100}}, 1, 1},
        {0, {{25, 100}, {90, 100}}, 2, 2},
        {0, {{99, 100}, {0, 100}}, 0, 0},
        {0, {{99, 100}, {99, 100}}, 2, 2},
    };
    // The shared table's value that RandomBelow(below) turns into `value`.
    auto drawOf = [](Draw d) { return (d.value * 32768 + d.below - 1) / d.below; };
    for (const Case& c : cases) {
        ResetFrontEndState();
        InitLeague();
        SortLeagueTable();
        MakeRoundPairs(0);
        HomeGoals = AwayGoals = 0;
        int index = 0;
        bool firstBetter[LEAGUE_TEAMS / 2] = {};
        for (int pair = 1; pair < LEAGUE_TEAMS / 2; ++pair) {
            const int d = League.rows[RoundPairs[2 * pair]].position - League.rows[RoundPairs[2 * pair + 1]].position;
            firstBetter[pair] = d < 0;
            ASSERT_LE(std::abs(d) * 5 + 25 + c.clearBy, 99) << "the band must be reachable";
            SharedRandomTable[index++] = drawOf({std::abs(d) * 5 + 25 + c.clearBy, 100});
            for (Draw more : c.more) SharedRandomTable[index++] = drawOf(more);
        }
        SharedRandomIndex = 0;
        UseSharedRandom = NetworkGameActive = true;
        PlayOtherLeagueResults();
        UseSharedRandom = NetworkGameActive = false;
        EXPECT_EQ(SharedRandomIndex, index) << "every draw fed in was taken, no more";
        for (int pair = 1; pair < LEAGUE_TEAMS / 2; ++pair) {
            const int better = RoundGoals[2 * pair + (firstBetter[pair] ? 0 : 1)];
            const int worse = RoundGoals[2 * pair + (firstBetter[pair] ? 1 : 0)];
            std::string draws = std::to_string(c.clearBy);
            for (Draw more : c.more) draws += " " + std::to_string(more.value);
            EXPECT_EQ(better, c.better) << "draws " << draws << ", pair " << pair;
            EXPECT_EQ(worse, c.worse) << "draws " << draws << ", pair " << pair;
        }
    }
}

TEST(LeagueBudgets, FirstMatchSplitsByDifficultyLaterMatchesFollowTheOpponentsPlace)
{
    ResetFrontEndState();
    SetKitNames({"kita.tga", "kitb.tga", "kitc.tga"});
    InitLeague();
    SortLeagueTable();
    MatchSetup.difficulty = 3;
    Competition.leagueMatch = 0;
    StartLeagueMatchPoints();
    EXPECT_EQ(Competition.pointsToSpend[0], 700);
    EXPECT_EQ(Competition.pointsToSpend[1], 300);

    Competition.pointsToSpend[0] = 12;  // what the manager left unspent
    Competition.leagueMatch = 4;        // against team 5
    MatchSetup.kitChoice[1] = 2;
    League.rows[5].position = 2;
    StartLeagueMatchPoints();
    EXPECT_EQ(Competition.pointsToSpend[0], 22);
    // 1000 - 700 + 4 x 10 + 13 x 50 + 8 x 100 + 3 x 100
    EXPECT_EQ(Competition.pointsToSpend[1], 300 + 40 + 650 + 800 + 300);
    EXPECT_EQ(MatchSetup.kitChoice[1], 0) << "the away kit moves on, wrapping";

    EXPECT_EQ(LeagueAwayPoints(20, 3, 12), 300 + 200 + 150);
    EXPECT_EQ(LeagueAwayPoints(20, 3, 9), 300 + 200 + 300 + 100);
    EXPECT_EQ(LeagueAwayPoints(1, 0, 15), 0 + 10 + 0);
}
