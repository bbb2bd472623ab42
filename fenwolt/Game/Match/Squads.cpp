#include "fenwolt/Game/Match/Squads.h"

#include "fenwolt/Game/Engine/Instances.h"
#include "fenwolt/Game/Match/MatchHelpers.h"
#include "fenwolt/common/Utilities.h"
#include "fenwolt/data/ClubNames.h"

#include <cstring>

namespace {

// The attributes a squad player starts with by his role, in PlayerAttributes order: Speed,
// Dribble, Turn, Close Control, Pass Short / Medium / Long, Shoot Short / Medium / Long, Control,
// Bend, Heading, Volley, Tackling, Shielding, Throw-in, Dead Ball, Stamina.
constexpr float kRoleAttributes[4][ATTR_COUNT] = {
    {5.f, 3.f, .5f, .4f, 60.f, 50.f, 40.f, 10.f, 10.f, 10.f, 50.f, 1.f, .1f, .1f, 80.f, 30.f, 50.f, 10.f, 50.f},  // keeper
    {5.f, 3.f, .5f, .4f, 60.f, 50.f, 40.f, 20.f, 15.f, 10.f, 30.f, 1.f, .7f, .3f, 80.f, 30.f, 70.f, 10.f, 70.f},  // defender
    {5.f, 3.f, .5f, .4f, 80.f, 70.f, 60.f, 40.f, 20.f, 10.f, 50.f, 1.f, .2f, .3f, 70.f, 30.f, 50.f, 50.f, 90.f},  // midfielder
    {5.f, 3.f, .5f, .4f, 60.f, 50.f, 40.f, 80.f, 50.f, 25.f, 70.f, 1.f, .6f, .5f, 25.f, 30.f, 50.f, 30.f, 70.f},  // any other
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

// The role's attributes; a wide defender or midfielder is quicker and a better dribbler.
void ApplyRoleAttributes(SquadPlayer& s)
{
    const int32_t row = s.role == ROLE_KEEPER ? 0 : s.role == ROLE_DEF ? 1 : s.role == ROLE_MID ? 2 : 3;
    std::memcpy(s.attributes, kRoleAttributes[row], sizeof(s.attributes));
    if (!s.wingFlag) return;
    if (s.role == ROLE_DEF) {
        s.attributes[ATTR_SPEED] = 6.0f;
        s.attributes[ATTR_DRIBBLE] = 3.5f;
    } else if (s.role == ROLE_MID) {
        s.attributes[ATTR_SPEED] = 7.0f;
        s.attributes[ATTR_DRIBBLE] = 4.0f;
    }
}

// Default attributes and formation for one team. Every bench slot draws its position, so the
// sequence of draws does not depend on which slots keep a fixed one.
void DefaultAttributesAndFormation(int32_t team)
{
    for (int32_t slot = 0; slot < SQUAD_SIZE; ++slot) {
        SquadPlayer& s = TeamSquads[team].players[slot];
        int32_t position = slot;
        if (slot >= SIDE_SIZE) {
            position = RandomBelow(9) + 1;
            if (slot == 11) position = 0;   // a second keeper
            if (slot == 15) position = 9;   // a second striker
        }
        ApplyFormationPosition(s, position);
        ApplyRoleAttributes(s);
    }
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
}

void ResetSquadAttributes(int32_t team)
{
    if (!ValidTeam(team)) return;
    DefaultAttributesAndFormation(team);
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
