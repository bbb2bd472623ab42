#include "fenwolt/Game/FrontEnd/League.h"

#include "fenwolt/Game/Unfinished.h"

LeagueTable League;
int32_t RoundPairs[LEAGUE_TEAMS];
int32_t RoundGoals[LEAGUE_TEAMS];

int32_t LeagueFixtureRound(int32_t a, int32_t b)
{
    UNFINISHED();
}

int32_t LeagueOpponent(int32_t n)
{
    UNFINISHED();
}

bool IsLeagueHomeMatch(int32_t n)
{
    UNFINISHED();
}

void MakeRoundPairs(int32_t n)
{
    UNFINISHED();
}

void InitLeague()
{
    UNFINISHED();
}

void SortLeagueTable()
{
    UNFINISHED();
}

void PlayOtherLeagueResults()
{
    UNFINISHED();
}

void StartLeagueMatchPoints()
{
    UNFINISHED();
}

int32_t LeagueAwayPoints(int32_t n, int32_t difficulty, int32_t p)
{
    UNFINISHED();
}

void BuildLeagueScreen()
{
    UNFINISHED();
}

void OnLeagueMessage(int32_t message)
{
    UNFINISHED();
}

void BuildLeagueResultScreen()
{
    UNFINISHED();
}

void OnLeagueResultMessage(int32_t message)
{
    UNFINISHED();
}

