// The match HUD at the bottom left: the information panel about the selected player in three
// sizes, the substitution panel and the substitutions of managers and computer, the shirt-number
// markers over the players, the kits, the crowd, edge scrolling and the moving side's players
// ordered by their distance to the ball.
#pragma once

#include "fenwolt/Game/Match/MatchRecords.h"

#include <cstdint>

constexpr int32_t MAX_SUBSTITUTIONS = 3;
constexpr int32_t FIRST_BENCH_SLOT = 11;
constexpr int32_t LAST_BENCH_SLOT = 15;

// Sprite handles of the panels (all made by BuildMatchPanels).
enum HudSprite : uint32_t {
    SPRITE_PANEL_SMALL = 1100,    // 1100..1102
    SPRITE_PANEL_MEDIUM = 1103,   // 1103..1105
    SPRITE_PANEL_LARGE = 1106,    // 1106..1108
    SPRITE_PANEL_SUB = 1109,      // 1109..1111
    SPRITE_ICON_BALL = 1113,
    SPRITE_ICON_TIRED = 1114,
    SPRITE_ICON_DOWN = 1115,
    SPRITE_INFO_FIRST = 1150,     // 1150..1170
    SPRITE_INFO_LAST = 1170,
    SPRITE_SUB_INFO_FIRST = 1250, // 1250..1270
    SPRITE_SUB_INFO_LAST = 1270,
    SPRITE_SUB_PREV_BENCH = 1273,
    SPRITE_SUB_NEXT_BENCH = 1274,
    SPRITE_SUB_CANCEL = 1275,
    SPRITE_SUB_PERFORM = 1276,
    SPRITE_SUB_PREV_PLAYER = 1277,
    SPRITE_SUB_NEXT_PLAYER = 1278,
};

constexpr float PANEL_X = 10.0f, PANEL_Y = 467.0f;
constexpr float SUB_PANEL_X = 10.0f, SUB_PANEL_Y = 267.0f;

// The panels' layout origin (saved with a game): 10, 467; y is 267 while the substitution
// panel is laid out.
extern float HudPanelX, HudPanelY;
// The info-panel size kept while the substitution panel forces the large one.
extern int32_t SavedInfoPanelSize;
extern uint8_t InfoPanelShown;
// The bench player (squad slot 11..15) offered for a substitution.
extern int32_t BenchSlot;
extern int32_t SubstitutionsMade[2];
// Per side and squad slot: how many times that bench player came on.
extern int32_t BenchSlotUsed[2][SQUAD_SIZE];
// Per squad slot, the mesh slot of its shirt-number texture (MESH_NONE when not loaded).
extern int32_t NumberTextures[SQUAD_SIZE];
// 0 none, 8 up, 2 down, 4 left, 6 right.
extern int32_t EdgeScrollDirection;
// Ground distances of DistanceOrder's players to the ball.
extern float DistanceOrderDistance[SIDE_SIZE];

void BuildMatchPanels();
void ShowInfoPanelGroup(int32_t size);
void HideInfoPanelGroups();
void ShowSubstitutionPanel();
void HideSubstitutionPanel();
void ShowPlayerInfoPanel();
void ShowSubstitutePanel();
void ToggleSubstitutionMode(bool on);
void PerformSubstitution();
void AISubstitutions();
void RefreshShirtNumbers();
void PlaceNumberMarker(int32_t player, bool force);
void PlaceNumberMarkers(bool force);
void LoadKitTexture();
void ApplyModelKindVisibility();
void UpdateEdgeScroll();
void ApplyEdgeScroll();
void SortByDistanceToBall();

// The next bench slot of a side after `from` in `direction` (+1 or -1, 15 wrapping to 11 and
// back) whose player has not come on; -1 when every bench player of the side has played.
int32_t NextUnusedBenchSlot(int32_t side, int32_t from, int32_t direction);
// Substitution counts, used bench slots and the offered slot back to a new match.
void ResetSubstitutions();
