// Team statistics: the 16 players of one squad, over their career or for the last match.
#pragma once

#include "fenwolt/Game/Match/MatchRecords.h"

#include <cstdint>

// 0 the last match, 1 the career; kept between visits.
extern uint8_t StatsViewCareer;

constexpr int32_t STATS_COLUMN_COUNT = 11;
struct StatsColumn {
    const char* head;
    const char* help;
};
extern const StatsColumn StatsColumns[STATS_COLUMN_COUNT];
// The value of a column ("P.", "G.", ... "Pg.") for a player in the career or last-match view.
int32_t StatsValue(const SquadPlayer& player, int32_t column, bool career);

void BuildTeamStatsScreen();
void ShowTeamStats();
void OnTeamStatsMessage(int32_t message);
