// The league's other results and the computer's spending, result for result: each is compared
// with the rule worked through independently here from the same seeded draws, over whole
// seasons and many budgets and formations, so that a changed chance, score or step shows at once.
#include "fenwolt/Game/FrontEnd/Competition.h"
#include "fenwolt/Game/FrontEnd/League.h"
#include "fenwolt/Game/FrontEnd/SquadEditor.h"
#include "fenwolt/Game/Match/MatchRecords.h"
#include "fenwolt/common/Utilities.h"
#include "fenwolt/tests/frontend/fe_b_support.h"
#include "platform/win32/crt_rand.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

namespace {

// --- The other results of a round -------------------------------------------------------------------
// Pairs 1..7 of RoundPairs with the table's places before the round: the goals of each team.
std::vector<int> OtherResultsByTheRule(const int places[LEAGUE_TEAMS], uint32_t seed)
{
    srand(seed);
    std::vector<int> goals;
    for (int pair = 1; pair < LEAGUE_TEAMS / 2; ++pair) {
        const int a = RoundPairs[2 * pair], b = RoundPairs[2 * pair + 1];
        const int d = places[a] - places[b];
        const bool aBetter = places[a] < places[b];
        int better = 0, worse = 0;
        if (RandomBelow(100) < std::abs(d) * 5 + 25) {
            int w = 1 + RandomBelow(4);
            const int l = RandomBelow(3);
            if (w <= l) w = l + 1;
            better = w, worse = l;
        } else if (RandomBelow(100) < 25) {
            better = 0, worse = 1;
        } else {
            const int r = RandomBelow(100);
            better = worse = r < 60 ? 0 : r < 90 ? 1 : 2;
        }
        goals.push_back(aBetter ? better : worse);
        goals.push_back(aBetter ? worse : better);
    }
    return goals;
}

// --- The computer's spending ----------------------------------------------------------------------------
struct Step {
    int32_t role, attribute;
};
const std::vector<std::vector<Step>> kPhases = {
    {{ROLE_KEEPER, ATTR_SPEED}, {ROLE_KEEPER, ATTR_TURN}, {ROLE_MID, ATTR_SPEED}, {ROLE_DEF, ATTR_SPEED},
     {ROLE_ATT, ATTR_SPEED}, {ROLE_MID, ATTR_SPEED}, {ROLE_DEF, ATTR_SPEED}, {ROLE_ATT, ATTR_SPEED},
     {ROLE_MID, ATTR_STAMINA}, {ROLE_DEF, ATTR_STAMINA}, {ROLE_ATT, ATTR_STAMINA}, {ROLE_DEF, ATTR_TACKLING},
     {ROLE_DEF, ATTR_TACKLING}, {ROLE_MID, ATTR_TACKLING}, {ROLE_MID, ATTR_PASS_MEDIUM}, {ROLE_ATT, ATTR_PASS_MEDIUM},
     {ROLE_DEF, ATTR_PASS_MEDIUM}, {ROLE_DEF, ATTR_PASS_MEDIUM}, {ROLE_MID, ATTR_PASS_MEDIUM}, {ROLE_DEF, ATTR_PASS_LONG},
     {ROLE_MID, ATTR_PASS_LONG}, {ROLE_ATT, ATTR_CONTROL}, {ROLE_ATT, ATTR_SHOOT_MEDIUM}, {ROLE_MID, ATTR_PASS_SHORT},
     {ROLE_ATT, ATTR_PASS_SHORT}, {ROLE_DEF, ATTR_PASS_SHORT}, {ROLE_MID, ATTR_SHOOT_MEDIUM}, {ROLE_MID, ATTR_DRIBBLE},
     {ROLE_ATT, ATTR_DRIBBLE}},
    {{ROLE_ATT, ATTR_TACKLING}, {ROLE_KEEPER, ATTR_TACKLING}, {ROLE_MID, ATTR_PASS_SHORT}, {ROLE_ATT, ATTR_PASS_SHORT},
     {ROLE_DEF, ATTR_PASS_SHORT}, {ROLE_DEF, ATTR_DRIBBLE}, {ROLE_MID, ATTR_TURN}, {ROLE_ATT, ATTR_TURN},
     {ROLE_DEF, ATTR_TURN}, {ROLE_MID, ATTR_CONTROL}, {ROLE_MID, ATTR_SHOOT_LONG}, {ROLE_MID, ATTR_PASS_SHORT},
     {ROLE_ATT, ATTR_PASS_SHORT}, {ROLE_DEF, ATTR_PASS_SHORT}, {ROLE_DEF, ATTR_HEADING}, {ROLE_ATT, ATTR_HEADING},
     {ROLE_ATT, ATTR_VOLLEY}, {ROLE_MID, ATTR_VOLLEY}, {ROLE_MID, ATTR_CLOSE_CONTROL}, {ROLE_ATT, ATTR_CLOSE_CONTROL}},
    {{ROLE_KEEPER, ATTR_SPEED}, {ROLE_ATT, ATTR_SHOOT_SHORT}, {ROLE_DEF, ATTR_CLOSE_CONTROL}, {ROLE_DEF, ATTR_SHOOT_LONG},
     {ROLE_ATT, ATTR_PASS_LONG}, {ROLE_MID, ATTR_PASS_LONG}, {ROLE_DEF, ATTR_PASS_LONG}},
};

const AbilityColumn& ColumnOf(int32_t attribute)
{
    for (const AbilityColumn& c : AbilityColumns)
        if (c.attribute == attribute) return c;
    ADD_FAILURE() << "no column for attribute " << attribute;
    return AbilityColumns[0];
}

// A raise as the editor's left press makes it: a step up, not beyond the highest, for 5 points.
bool Raise(SquadPlayer& p, int32_t attribute, int& points)
{
    const AbilityColumn& c = ColumnOf(attribute);
    float& value = p.attributes[attribute];
    if (points < 5 || !(value < c.highest - 1e-4f)) return false;
    value = std::fmin(value + c.step, c.highest);
    points -= 5;
    return true;
}

void SpendByTheRule(TeamSquad& squad, int& points)
{
    for (const std::vector<Step>& phase : kPhases) {
        bool spent = true;
        while (points >= 5 && spent) {
            spent = false;
            for (const Step& step : phase)
                for (int slot = 0; slot < 11 && points >= 5; ++slot)
                    if (squad.players[slot].role == step.role && Raise(squad.players[slot], step.attribute, points))
                        spent = true;
        }
    }
}

}  // namespace

TEST(LeagueOtherResults, EveryResultOfASeasonIsTheOneItsDrawsGive)
{
    for (uint32_t seed : {3u, 11u, 2024u}) {
        ResetFrontEndState(seed);
        InitLeague();
        SortLeagueTable();
        int clear = 0, upsets = 0, draws = 0;
        for (int n = 0; n < LEAGUE_MATCHES; ++n) {
            MakeRoundPairs(n);
            HomeGoals = n % 4;
            AwayGoals = (n + 1) % 3;
            int places[LEAGUE_TEAMS];
            for (int t = 0; t < LEAGUE_TEAMS; ++t) places[t] = League.rows[t].position;
            const uint32_t roundSeed = seed * 1000 + (uint32_t)n;
            const std::vector<int> expected = OtherResultsByTheRule(places, roundSeed);
            srand(roundSeed);
            PlayOtherLeagueResults();
            EXPECT_EQ(RoundGoals[0], HomeGoals);
            EXPECT_EQ(RoundGoals[1], AwayGoals);
            for (int i = 0; i < (int)expected.size(); ++i)
                ASSERT_EQ(RoundGoals[2 + i], expected[i]) << "seed " << seed << " round " << n << " pair " << 1 + i / 2;
            for (int pair = 1; pair < LEAGUE_TEAMS / 2; ++pair) {
                const int a = RoundGoals[2 * pair], b = RoundGoals[2 * pair + 1];
                (a == b ? draws : (a + b == 1 ? upsets : clear))++;
            }
        }
        // Every branch of the rule was taken.
        EXPECT_GT(clear, 0);
        EXPECT_GT(upsets, 0);
        EXPECT_GT(draws, 0);
    }
}

TEST(EditorComputer, AutoSpendBuysExactlyWhatItsThreePhasesListInTheirOrder)
{
    // Every budget from nothing to more than the starters can take, a raise at a time, so that
    // the money runs out at every step of every phase; over the formation variants.
    for (uint32_t seed = 1; seed <= 8; ++seed) {
        ResetFrontEndState(seed);
        MakeDefaultSquads();
        SetComputerFormation(1);
        const TeamSquad start = TeamSquads[1];
        TeamSquad everything = start;
        int unspent = 100000;
        SpendByTheRule(everything, unspent);
        const int all = 100000 - unspent;
        ASSERT_GT(all, 1000);
        int wrong = 0;
        for (int budget = 0; budget <= all + 10 && wrong == 0; budget += 5) {
            TeamSquad expected = start;
            int expectedLeft = budget;
            SpendByTheRule(expected, expectedLeft);
            TeamSquads[1] = start;
            Competition.pointsToSpend[1] = budget;
            AutoSpend(1);
            if (Competition.pointsToSpend[1] != expectedLeft) {
                ADD_FAILURE() << "seed " << seed << " budget " << budget << ": " << Competition.pointsToSpend[1]
                              << " left, not " << expectedLeft;
                ++wrong;
            }
            for (int slot = 0; slot < SQUAD_SIZE && wrong == 0; ++slot)
                for (int a = 0; a < ATTR_COUNT && wrong == 0; ++a) {
                    const float got = TeamSquads[1].players[slot].attributes[a];
                    const float want = expected.players[slot].attributes[a];
                    if (std::fabs(got - want) > 1e-3f) {
                        ADD_FAILURE() << "seed " << seed << " budget " << budget << " slot " << slot << " attribute "
                                      << a << ": " << got << ", not " << want;
                        ++wrong;
                    }
                }
        }
    }
}
