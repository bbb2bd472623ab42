#include "fenwolt/Game/FrontEnd/TeamStats.h"

#include "fenwolt/Game/Unfinished.h"

uint8_t StatsViewCareer = 0;
const StatsColumn StatsColumns[STATS_COLUMN_COUNT] = {};

int32_t StatsValue(const SquadPlayer& player, int32_t column, bool career)
{
    UNFINISHED();
}

void BuildTeamStatsScreen()
{
    UNFINISHED();
}

void ShowTeamStats()
{
    UNFINISHED();
}

void OnTeamStatsMessage(int32_t message)
{
    UNFINISHED();
}

