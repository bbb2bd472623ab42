#include "fenwolt/Game/Match/Hud.h"

#include "fenwolt/Game/Unfinished.h"

int32_t SavedInfoPanelSize = 1;
uint8_t InfoPanelShown = 0;
int32_t BenchSlot = FIRST_BENCH_SLOT;
int32_t SubstitutionsMade[2] = {0, 0};
int32_t BenchSlotUsed[2][SQUAD_SIZE] = {};
int32_t NumberTextures[SQUAD_SIZE] = {};
int32_t EdgeScrollDirection = 0;
float DistanceOrderDistance[SIDE_SIZE] = {};

void BuildMatchPanels() { UNFINISHED(); }
void ShowInfoPanelGroup(int32_t size) { UNFINISHED(); }
void HideInfoPanelGroups() { UNFINISHED(); }
void ShowSubstitutionPanel() { UNFINISHED(); }
void HideSubstitutionPanel() { UNFINISHED(); }
void ShowPlayerInfoPanel() { UNFINISHED(); }
void ShowSubstitutePanel() { UNFINISHED(); }
void ToggleSubstitutionMode(bool on) { UNFINISHED(); }
void PerformSubstitution() { UNFINISHED(); }
void AISubstitutions() { UNFINISHED(); }
void RefreshShirtNumbers() { UNFINISHED(); }
void PlaceNumberMarker(int32_t player, bool force) { UNFINISHED(); }
void PlaceNumberMarkers(bool force) { UNFINISHED(); }
void LoadKitTexture() { UNFINISHED(); }
void ApplyModelKindVisibility() { UNFINISHED(); }
void UpdateEdgeScroll() { UNFINISHED(); }
void ApplyEdgeScroll() { UNFINISHED(); }
void SortByDistanceToBall() { UNFINISHED(); }
int32_t NextUnusedBenchSlot(int32_t side, int32_t from, int32_t direction) { UNFINISHED(); }
void ResetSubstitutions() { UNFINISHED(); }
