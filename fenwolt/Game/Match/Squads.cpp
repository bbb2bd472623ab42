#include "fenwolt/Game/Match/Squads.h"

#include "fenwolt/Game/Instances.h"
#include "fenwolt/Game/Match/MatchHelpers.h"
#include "fenwolt/common/Utilities.h"
#include "fenwolt/data/ClubNames.h"

#include <cstring>

namespace {

// The attributes every squad player starts from, in PlayerAttributes order.
constexpr float kDefaultAttributes[ATTR_COUNT] = {
    5.0f,   // Speed
    3.0f,   // Dribble
    0.5f,   // Turn
    0.4f,   // Close Control
    60.0f,  // Pass Short
    50.0f,  // Pass Medium
    40.0f,  // Pass Long
    40.0f,  // Shoot Short
    20.0f,  // Shoot Medium
    10.0f,  // Shoot Long
    50.0f,  // Control
    1.0f,   // Bend
    0.5f,   // Heading
    0.3f,   // Volley
    50.0f,  // Tackling
    30.0f,  // Shielding
    50.0f,  // Throw-in
    10.0f,  // Dead Ball
    70.0f,  // Stamina
};

bool ValidTeam(int32_t team) { return team == 0 || team == 1; }

// Copies at most `size` - 1 characters and always terminates; the rest of the field is zeroed so
// that stored records carry no stale bytes.
void CopyName(char* out, size_t size, const char* in)
{
    std::memset(out, 0, size);
    if (!in) return;
    size_t n = std::strlen(in);
    if (n > size - 1) n = size - 1;
    std::memcpy(out, in, n);
}

void ApplyFormationPosition(SquadPlayer& s, int32_t position)
{
    s.role = FormationTables.role[position];
    s.wingFlag = FormationTables.wingFlag[position];
    s.wingSide = FormationTables.wingSide[position];
    s.formationX = FormationTables.x[position];
    s.formationZ = FormationTables.z[position];
}

void ApplyRoleAdjustments(SquadPlayer& s)
{
    float* a = s.attributes;
    switch (s.role) {
    case ROLE_KEEPER:
        a[ATTR_SHOOT_SHORT] = a[ATTR_SHOOT_MEDIUM] = a[ATTR_SHOOT_LONG] = 10.0f;
        a[ATTR_HEADING] = 0.1f;
        a[ATTR_VOLLEY] = 0.1f;
        a[ATTR_DEAD_BALL] = 10.0f;
        a[ATTR_TACKLING] = 80.0f;
        a[ATTR_STAMINA] = 50.0f;
        break;
    case ROLE_DEF:
        a[ATTR_SHOOT_SHORT] = 20.0f;
        a[ATTR_SHOOT_MEDIUM] = 15.0f;
        a[ATTR_SHOOT_LONG] = 10.0f;
        a[ATTR_DEAD_BALL] = 10.0f;
        a[ATTR_HEADING] = 0.7f;
        a[ATTR_TACKLING] = 80.0f;
        a[ATTR_THROW_IN] = 70.0f;
        a[ATTR_CONTROL] = 30.0f;
        if (s.wingFlag) {
            a[ATTR_SPEED] = 6.0f;
            a[ATTR_DRIBBLE] = 3.5f;
        }
        break;
    case ROLE_MID:
        a[ATTR_DEAD_BALL] = 50.0f;
        a[ATTR_HEADING] = 0.2f;
        a[ATTR_TACKLING] = 70.0f;
        a[ATTR_STAMINA] = 90.0f;
        a[ATTR_PASS_SHORT] = 80.0f;
        a[ATTR_PASS_MEDIUM] = 70.0f;
        a[ATTR_PASS_LONG] = 60.0f;
        if (s.wingFlag) {
            a[ATTR_SPEED] = 7.0f;
            a[ATTR_DRIBBLE] = 4.0f;
        }
        break;
    default:
        a[ATTR_DEAD_BALL] = 30.0f;
        a[ATTR_HEADING] = 0.6f;
        a[ATTR_VOLLEY] = 0.5f;
        a[ATTR_TACKLING] = 25.0f;
        a[ATTR_SHOOT_SHORT] = 80.0f;
        a[ATTR_SHOOT_MEDIUM] = 50.0f;
        a[ATTR_SHOOT_LONG] = 25.0f;
        a[ATTR_CONTROL] = 70.0f;
        break;
    }
}

// Default attributes and formation for one team. Every bench slot draws its position, so the
// sequence of draws does not depend on which slots keep a fixed one.
void DefaultAttributesAndFormation(int32_t team)
{
    for (int32_t slot = 0; slot < SQUAD_SIZE; ++slot) {
        SquadPlayer& s = TeamSquads[team].players[slot];
        std::memcpy(s.attributes, kDefaultAttributes, sizeof(s.attributes));
        int32_t position = slot;
        if (slot >= SIDE_SIZE) {
            position = RandomBelow(9) + 1;
            if (slot == 11) position = 0;   // a second keeper
            if (slot == 15) position = 9;   // a second striker
        }
        ApplyFormationPosition(s, position);
    }
}

void ApplyRoleAdjustments(int32_t team)
{
    for (SquadPlayer& s : TeamSquads[team].players) ApplyRoleAdjustments(s);
}

float RecoveryInPlay()
{
    if (Minute < 71) return 0.75f;
    if (Minute < 78) return 0.5f;
    return 0.25f;
}

float RecoveryInStoppage()
{
    if (Minute < 71) return 1.5f;
    if (Minute < 78) return 1.0f;
    return 0.5f;
}

void AddStats(SquadStats& into, const SquadStats& from)
{
    into.tacklesWon += from.tacklesWon;
    into.tackleAttemptsLost += from.tackleAttemptsLost;
    into.haveBeenTackled += from.haveBeenTackled;
    into.preventedBeingTackled += from.preventedBeingTackled;
    into.foulsDone += from.foulsDone;
    into.haveBeenFouled += from.haveBeenFouled;
    for (int k = 0; k < 3; ++k) {
        into.passAttempts[k] += from.passAttempts[k];
        into.goodPasses[k] += from.goodPasses[k];
    }
    into.attemptsOnGoal += from.attemptsOnGoal;
    into.goalsScored += from.goalsScored;
    into.timeOnBall += from.timeOnBall;
}

}  // namespace

void CreateDefaultSquads()
{
    CopyName(TeamNames[0], TEAM_NAME_SIZE, "HomeTeam");
    CopyName(TeamNames[1], TEAM_NAME_SIZE, "AwayTeam");
    for (int32_t team = 0; team < 2; ++team) {
        DefaultAttributesAndFormation(team);
        for (SquadPlayer& s : TeamSquads[team].players) {
            s.gamesPlayed = 0;
            s.career = SquadStats{};
            s.lastMatch = SquadStats{};
        }
    }
    SetClubSquadNames(0, 0);
    SetClubSquadNames(1, 1);
    ApplyRoleAdjustments(0);
    ApplyRoleAdjustments(1);
}

void ResetSquadAttributes(int32_t team)
{
    if (!ValidTeam(team)) return;
    DefaultAttributesAndFormation(team);
    ApplyRoleAdjustments(team);
}

void SetClubSquadNames(int32_t team, int32_t club)
{
    if (!ValidTeam(team)) return;
    if (club < 0 || club >= CLUB_COUNT) club = 1;
    for (int32_t slot = 0; slot < SQUAD_SIZE; ++slot) {
        SquadPlayer& s = TeamSquads[team].players[slot];
        CopyName(s.name, sizeof(s.name), fwdata::kClubSurnames[club][slot]);
    }
}

void SetClubName(int32_t team, int32_t club)
{
    if (!ValidTeam(team)) return;
    if (club < 0 || club > 16) club = CLUB_COUNT - 1;
    CopyName(TeamNames[team], TEAM_NAME_SIZE, fwdata::kClubNames[club]);
}

void CopySquadToPitch(int32_t side, int32_t team)
{
    if (!ValidTeam(side) || !ValidTeam(team)) return;
    for (int32_t slot = 0; slot < SIDE_SIZE; ++slot) {
        const SquadPlayer& s = TeamSquads[team].players[slot];
        const int32_t index = side * SIDE_SIZE + slot;
        MatchPlayer& p = MatchPlayers[index];
        std::memcpy(p.attributes, s.attributes, sizeof(p.attributes));
        p.energy = ENERGY_FULL;
        p.role = s.role;
        p.wingFlag = s.wingFlag;
        p.wingSide = s.wingSide;
        p.formationX = s.formationX;
        p.formationZ = s.formationZ;
        // The squad's field is wider than the pitch player's and may come from a file or the
        // other computer without a terminator within it: bound the read, cut, terminate.
        char surname[sizeof(s.name) + 1] = {};
        std::memcpy(surname, s.name, sizeof(s.name));
        CopyName(p.name, sizeof(p.name), surname);
        DeriveAttributes(index);
    }
}

void DeriveAttributes(int32_t player)
{
    if (!IsPlayerIndex(player)) return;
    float* a = MatchPlayers[player].attributes;
    a[ATTR_DEAD_BALL] = (a[ATTR_VOLLEY] * 100.0f + a[ATTR_PASS_SHORT] + a[ATTR_PASS_MEDIUM] + a[ATTR_PASS_LONG] +
                         a[ATTR_SHOOT_SHORT] + a[ATTR_SHOOT_MEDIUM] + a[ATTR_SHOOT_LONG]) /
                        7.0f;
    a[ATTR_SHIELDING] = (a[ATTR_CLOSE_CONTROL] * 100.0f + a[ATTR_TACKLING] + a[ATTR_CONTROL]) / 3.0f;
    float b = (a[ATTR_PASS_LONG] * 3.0f + a[ATTR_PASS_MEDIUM] * 2.0f + a[ATTR_PASS_SHORT] + a[ATTR_SHOOT_SHORT] +
               a[ATTR_SHOOT_MEDIUM] + a[ATTR_SHOOT_LONG]) /
              9.0f;
    if (b < 50.0f) {
        b = 1.0f;
    } else {
        if (b > 100.0f) b = 100.0f;
        b = (b - 50.0f) * 2.0f;
    }
    // Also catches a NaN from damaged attributes: the bend stays in its range.
    if (!(b >= 1.0f)) b = 1.0f;
    if (b > 100.0f) b = 100.0f;
    a[ATTR_BEND] = b * 0.1f;
}

void UseEnergy(int32_t first, int32_t end)
{
    matchgeo::ClampRange(first, end);
    for (int32_t i = first; i < end; ++i) {
        MatchPlayer& p = MatchPlayers[i];
        if (MatchStopState == STOP_IN_PLAY) {
            const ModelInstance* m = InstanceAt(p.model);
            if (m && !Vec3EqualXZ(p.moveTarget, m->Position)) {
                p.energy -= 1.0f;
                if (p.energy < 0.0f) p.energy = 0.0f;
            } else {
                p.energy += RecoveryInPlay();
                if (p.energy > ENERGY_FULL) p.energy = ENERGY_FULL;
            }
        } else if (StoppageTurns < 5) {
            p.energy += RecoveryInStoppage();
            if (p.energy > ENERGY_FULL) p.energy = ENERGY_FULL;
        }
        if (p.energy > p.energyCeiling) p.energy = p.energyCeiling;
    }
}

void EnergyMinuteDrain(int32_t first, int32_t end)
{
    matchgeo::ClampRange(first, end);
    for (int32_t i = first; i < end; ++i) {
        MatchPlayer& p = MatchPlayers[i];
        p.energy -= 1.0f;
        if (p.energy < 0.0f) p.energy = 0.0f;
    }
}

void AccumulateSeasonStats()
{
    for (TeamSquad& team : TeamSquads) {
        for (int32_t slot = 0; slot < SQUAD_SIZE; ++slot) {
            SquadPlayer& s = team.players[slot];
            AddStats(s.career, s.lastMatch);
            if (slot < SIDE_SIZE) ++s.gamesPlayed;
        }
    }
}
