// The squad editor ("SET TEAM DETAILS"): one TeamSquad before a match. Abilities are bought from
// the team's budget of points, the formation is set by dragging markers on a small pitch, starters
// are swapped with the bench, the kit is chosen from the kit files; the computer's squad is set up
// by SetComputerFormation and AutoSpend.
#pragma once

#include "fenwolt/Game/Match/MatchRecords.h"

#include <cstdint>

// An editable ability: its column head, the attribute it changes, the first value sprite (one per
// squad slot after it), how it is shown, its step and its limits.
struct AbilityColumn {
    const char* head;
    int32_t attribute;
    unsigned spriteBase;
    float shownScale;
    float step;
    float lowest;
    float highest;
    const char* help;
};
constexpr int32_t ABILITY_COLUMN_COUNT = 16;
extern const AbilityColumn AbilityColumns[ABILITY_COLUMN_COUNT];
// What one step of an ability costs, and gives back when lowered.
constexpr int32_t ABILITY_STEP_COST = 5;

// A player's role letter (G, D, M, A) and his wing (L, R) if he has one, into `out`.
const char* RoleText(const SquadPlayer& player, char (&out)[4]);
// Where the name and the role stand on the squad editor's and the team statistics' rows (the
// shirt number at x 3 before them, the first value at x 203 after): each ends a space of its font
// before the next, so that "10" and a name, or "MR" and its first value, never read as one word.
constexpr float NAME_COLUMN_X = 34.f;
constexpr float ROLE_COLUMN_X = 160.f;
// The column that edits an attribute, or -1.
int32_t AbilityColumnOf(int32_t attribute);
// Raises (or lowers) one ability of one player of a team by its column's step; a raise costs
// ABILITY_STEP_COST points of the team's budget and needs them, a lowering gives them back. True
// when the value changed.
bool AdjustAbility(int32_t team, int32_t column, int32_t slot, bool raise);
// "Rating: %d%%": the average of the 16 scaled abilities of the 11 starters.
int32_t SquadRating(int32_t team);

// The small pitch of the formation: 240 x 160 pixels at (5, 437).
constexpr int32_t EDITOR_PITCH_LEFT = 5;
constexpr int32_t EDITOR_PITCH_TOP = 437;
constexpr int32_t EDITOR_PITCH_WIDTH = 240;
constexpr int32_t EDITOR_PITCH_HEIGHT = 160;
// Top-left corner of a starter's marker for his formation spot.
float MarkerScreenX(const SquadPlayer& player);
float MarkerScreenY(const SquadPlayer& player);

// 0 none, else 1 + the starter whose marker was picked.
extern int32_t SelectedMarker;
// Moves the selected starter (never the keeper) to the pitch point under the mouse, with the
// role and wing that the point gives. True when he moved.
bool MoveSelectedStarter(int32_t team, int32_t mouseX, int32_t mouseY);
// The starter and the bench player change places; each slot keeps its spot, role and wing. Only
// two keepers or two outfield players swap. True when they swapped.
bool SwapWithSubstitute(int32_t team, int32_t starter, int32_t benchSlot);
// Slots 1..10 sorted by role, then by wing side (keeper and bench stay).
void OrderSquad(int32_t team);

// The computer's formation: the 4-4-2 with one of six variants, kept on the pitch.
void SetComputerFormation(int32_t team);
// Spends the team's budget on its starters in three phases of fixed priorities.
void AutoSpend(int32_t team);

// Fills KitTable with the "kit\kit*.tga" files, sorted by name.
void ListKits();
// Home "kitbbpb.tga", away "kitwwpw.tga" when they are there; otherwise kits 0 and 1 (as far as
// there are any).
void SetDefaultKits();
// The kit after (direction +1) or before (-1) a kit, wrapping; 0 when there are no kits.
int32_t StepKitIndex(int32_t kit, int32_t direction);
// "<" / ">" for a team; the away team never lands on the home team's kit when there is another.
void StepKit(int32_t team, int32_t direction);

// The points a squad's abilities stand for in the editor: ABILITY_STEP_COST for every step of
// every column above its lowest value, over the whole squad.
int64_t SquadAbilityCost(const TeamSquad& squad);

// The team being edited when "SAVE TEAM" goes to the slots and "LOAD TEAM" comes back.
// Loading keeps the points plus the squad's ability cost as they were (the points never below 0).
void CopyTeamToStaging(int32_t team);
void CopyStagingToTeam(int32_t team);

// START MATCH on one computer: the squads to the pitch (the computer's set up first), the meshes
// released and the loading screen next.
void StartMatchFromEditor();

// A network game's hand-shake in the editor starts afresh (the set-up screen hands over to the
// editor, or the session ends). Rebuilding the editor after SAVE TEAM or LOAD TEAM keeps it.
void ResetSquadHandshake();

void BuildSquadScreen();
void OnSquadMessage(int32_t message);
