#include "fenwolt/Game/Match/Squads.h"

#include "fenwolt/Game/Unfinished.h"

void CreateDefaultSquads() { UNFINISHED(); }
void ResetSquadAttributes(int32_t) { UNFINISHED(); }
void SetClubSquadNames(int32_t, int32_t) { UNFINISHED(); }
void SetClubName(int32_t, int32_t) { UNFINISHED(); }
void CopySquadToPitch(int32_t, int32_t) { UNFINISHED(); }
void DeriveAttributes(int32_t) { UNFINISHED(); }
void UseEnergy(int32_t, int32_t) { UNFINISHED(); }
void EnergyMinuteDrain(int32_t, int32_t) { UNFINISHED(); }
void AccumulateSeasonStats() { UNFINISHED(); }
