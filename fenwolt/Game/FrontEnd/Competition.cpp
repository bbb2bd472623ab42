#include "fenwolt/Game/FrontEnd/Competition.h"

CompetitionState Competition;
MatchSettings MatchSetup;
KitList KitTable;

int32_t HomeStartingPoints() { return (DIFFICULTY_MAX - MatchSetup.difficulty) * 100; }

void SetStartingPoints()
{
    Competition.pointsToSpend[0] = HomeStartingPoints();
    Competition.pointsToSpend[1] = ABILITY_POINTS_TOTAL - Competition.pointsToSpend[0];
}
