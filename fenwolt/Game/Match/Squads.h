// Squads of sixteen players: the default squads every competition starts from, the club names and
// surnames that dress them, the copy of the first eleven onto the pitch with the attributes
// derived there, the energy rules of a match and the season totals a finished match adds to.
// The records themselves (SquadPlayer, TeamSquad, TeamSquads, TeamNames) are in MatchRecords.h.
#pragma once

#include "fenwolt/Game/Match/MatchRecords.h"

#include <cstdint>

constexpr int32_t CLUB_COUNT = 18;
// A player is tired while his energy is below 100 - Stamina.
constexpr float ENERGY_FULL = 100.0f;

// Both teams: default attributes, formation, zero statistics, club surnames 0 and 1, role
// adjustments, team names "HomeTeam" and "AwayTeam".
void CreateDefaultSquads();
// One team (0 home, 1 away): default attributes, formation and role adjustments; its names and
// statistics stay as they are.
void ResetSquadAttributes(int32_t team);
// Slot n of the team gets surname n of the club's list; a club above 17 (or below 0) counts as
// club 1.
void SetClubSquadNames(int32_t team, int32_t club);
// Clubs 0..16 give their own name, any other number the eighteenth.
void SetClubName(int32_t team, int32_t club);
// The team's 11 starters become the side's pitch players (side x 11 + slot).
void CopySquadToPitch(int32_t side, int32_t team);
// Dead Ball, Shielding and Bend of a pitch player from his other attributes.
void DeriveAttributes(int32_t player);
// The energy change of the players [first, end) whose moving phase is settled.
void UseEnergy(int32_t first, int32_t end);
// One match minute of tiredness for the players [first, end).
void EnergyMinuteDrain(int32_t first, int32_t end);
// Adds both teams' last-match counters into their career totals (after full time).
void AccumulateSeasonStats();
