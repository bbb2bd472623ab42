// The league: 16 teams, a season of 30 matches for the manager's team 0, every other team met once
// at home and once away; the other seven results of a round are drawn at random.
#pragma once

#include <cstdint>

constexpr int32_t LEAGUE_TEAMS = 16;
constexpr int32_t LEAGUE_ROUNDS = 15;
constexpr int32_t LEAGUE_MATCHES = 30;

// One row of the table, stored whole in a saved game (48 bytes).
struct LeagueTableRow {
    int32_t position;  // place in the table, 0 = top (SortLeagueTable)
    int32_t played;
    int32_t won;
    int32_t drawn;
    int32_t lost;
    int32_t goalsFor;
    int32_t goalsAgainst;
    int32_t points;          // 3 x won + drawn
    int32_t goalDifference;  // goalsFor - goalsAgainst
    char name[12];
};
static_assert(sizeof(LeagueTableRow) == 48, "a league row is 48 bytes");

// Row i is team i, always in team order.
struct LeagueTable {
    LeagueTableRow rows[LEAGUE_TEAMS];
};
extern LeagueTable League;

// The pairs of the current round, one after the other (pair 0 = the manager's team and its
// opponent), and the goals each team of RoundPairs scored, in the same order.
extern int32_t RoundPairs[LEAGUE_TEAMS];
extern int32_t RoundGoals[LEAGUE_TEAMS];

// The round 1..15 in which two different teams meet.
int32_t LeagueFixtureRound(int32_t a, int32_t b);
// The opponent of league match n (0..29): team (n mod 15) + 1.
int32_t LeagueOpponent(int32_t n);
// Whether the manager's team plays league match n at home.
bool IsLeagueHomeMatch(int32_t n);
// Fills RoundPairs for league match n.
void MakeRoundPairs(int32_t n);

void InitLeague();
void SortLeagueTable();
// Enters the manager's match (HomeGoals, AwayGoals) and draws the other seven results of the
// round in RoundPairs, then sorts the table.
void PlayOtherLeagueResults();
// The ability budgets and the away kit before a league match starts (START MATCH).
void StartLeagueMatchPoints();
// The away side's budget for league match n (n >= 1) against the team in place p.
int32_t LeagueAwayPoints(int32_t n, int32_t difficulty, int32_t p);

void BuildLeagueScreen();
void OnLeagueMessage(int32_t message);
void BuildLeagueResultScreen();
void OnLeagueResultMessage(int32_t message);
