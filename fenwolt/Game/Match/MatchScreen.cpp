#include "fenwolt/Game/Match/MatchScreen.h"

#include "fenwolt/Game/Unfinished.h"

int32_t SelectionMarkerModel = INSTANCE_NONE;
int32_t MoveTargetMarkerModels[SIDE_SIZE];
int32_t AimMarkerModel = INSTANCE_NONE;
int32_t JumpMarkerModels[PLAYER_COUNT];
int32_t FacingArrowModels[PLAYER_COUNT];
int32_t GoalFrameModels[8];
int32_t SkyDomeModel = INSTANCE_NONE;
D3DVECTOR WantedCameraEye, WantedCameraTarget;
SpriteHandle HoveredSprite = SPRITE_NONE;
uint8_t ChatEntryActive = 0;

void BuildMatchScreen() { UNFINISHED(); }
void LoadMatchScene() { UNFINISHED(); }
void OnMatchScreenFrame(float frameTime) { UNFINISHED(); }
void UpdateMatch() { UNFINISHED(); }
void HandleMatchMessage(int32_t messageId) { UNFINISHED(); }
void SetUpKickOff(int32_t scoringSide) { UNFINISHED(); }
void StartHalfKickOff() { UNFINISHED(); }
void PlaceSelectionMarker(int32_t player) { UNFINISHED(); }
void ShowAimMarker() { UNFINISHED(); }
void ShowMoveTargetMarker(int32_t player) { UNFINISHED(); }
void RefreshSelectedPlayer() { UNFINISHED(); }
void CyclePlayerSelection(int32_t direction) { UNFINISHED(); }
void FocusCamera(int32_t target) { UNFINISHED(); }
void UpdateCamera() { UNFINISHED(); }
void KeepCameraWhereItIs() { UNFINISHED(); }
void CameraBehindPlayer(int32_t player) { UNFINISHED(); }
void SetCameraHeading(int32_t player, uint32_t key) { UNFINISHED(); }
void CancelKick() { UNFINISHED(); }
ModelInstance* PlayerModel(int32_t player) { UNFINISHED(); }
ModelInstance* BallModel() { UNFINISHED(); }
