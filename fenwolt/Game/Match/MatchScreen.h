// The match screen (screen 12): its builder lays out the HUD and loads the 3D scene, its
// message handler turns clicks and keys into orders, camera moves and HUD actions, and its
// update handler runs one match step per frame. The pitch, players and ball are model
// instances drawn by the scene engine; the HUD is sprites.
//
// The step runs the same with or without a device: with no device the sprites stay uncreated
// and the instances carry positions without meshes, so a test or benchmark can step the match
// thousands of times a second.
#pragma once

#include "fenwolt/Game/Engine/EngineTables.h"
#include "fenwolt/Game/Match/MatchHelpers.h"
#include "fenwolt/Game/Match/MatchRecords.h"

#include <cstdint>

// HUD buttons: caption and picture of each pair.
enum MatchButtonSprite : uint32_t {
    SPRITE_CAPTION_END_TURN = 100,
    SPRITE_CAPTION_PASS = 101,
    SPRITE_CAPTION_SYSTEM = 102,
    SPRITE_BUTTON_END_TURN = 1000,
    SPRITE_BUTTON_PASS = 1001,
    SPRITE_BUTTON_SYSTEM = 1002,
    SPRITE_CAPTION_SUBSTITUTE = 1003,
    SPRITE_BUTTON_SUBSTITUTE = 1004,
    SPRITE_LOGO = 23,
    SPRITE_DISCONNECTED = 50,
    SPRITE_CHAT_IN = 70,
    SPRITE_CHAT_LINE = 71,
    SPRITE_CHAT_SEND = 72,
};

// Notification codes of WM_USER + 1 that the match acts on, and the typed chat line's message.
constexpr uint32_t WM_MATCH_CHAT_TYPED = 0x0400 + 10;

// The chat of a network match, in font 1: the line received ("In>...") one row above the line
// being typed or last sent ("Send>" and the line), both clear of the info panel below them (its
// top is at y 467 in every size) and of the event ticker along the bottom edge.
constexpr float CHAT_LABEL_X = 3.f;
constexpr float CHAT_LINE_X = 64.f;  // after "Send>" (59 pixels wide in font 1) and a gap
constexpr float CHAT_SEND_Y = 448.f;
constexpr float CHAT_IN_Y = 430.f;

// Seconds of the pauses.
constexpr float GOAL_PAUSE_SECONDS = 3.1f;
constexpr float WALK_IN_SECONDS = 13.7f;
constexpr float FULL_TIME_SECONDS = 5.1f;
constexpr float NET_FIXED_STEP = 0.033333f;
constexpr float CONSTANT_TIME_STEP = 0.05f;

// --- Model instances made by the scene load (INSTANCE_NONE until then) ---------------------
extern int32_t SelectionMarkerModel;
extern int32_t MoveTargetMarkerModels[SIDE_SIZE];  // by index within the side
extern int32_t AimMarkerModel;
extern int32_t JumpMarkerModels[PLAYER_COUNT];
extern int32_t FacingArrowModels[PLAYER_COUNT];
// Box 0 the low-x goal interior, 1 the high-x one; 2, 3, 4 left post, right post and crossbar of
// the low-x goal; 5, 6, 7 those of the high-x goal. Loaded for their bounding boxes, not drawn.
extern int32_t GoalFrameModels[8];
extern int32_t SkyDomeModel;
// Every instance above, the preview dots and arrows and the shirt-number textures back to none,
// as before any scene load.
void ForgetMatchInstances();

// --- The wanted camera that UpdateCamera eases CameraEye and CameraTarget toward -----------
// It is the view as chosen (a preset, a focus, a manual move), wherever that puts the eye; what
// the camera eases to is that view brought within the field camera's bounds, so that a view
// squeezed against the stands is never taken for the chosen one.
extern D3DVECTOR WantedCameraEye, WantedCameraTarget;

// The walk-in to the kick-off follows a goal (the side that scored celebrates); a half's walk-in
// does not.
extern uint8_t WalkInAfterGoal;

// The sprite handle last highlighted by the mouse (SPRITE_NONE when none).
extern SpriteHandle HoveredSprite;
// A chat line is being typed (network game).
extern uint8_t ChatEntryActive;
// The other computer has left this network match: the match stands where it was, nobody gives
// orders or ends a turn, and only the system menu (the System button or Esc) leads on: save,
// restart, options, leave. The full-time pause still runs on to the result screen.
extern uint8_t OtherComputerLeft;

void BuildMatchScreen();
void LoadMatchScene();
void OnMatchScreenFrame(float frameTime);
void UpdateMatch();
void HandleMatchMessage(int32_t messageId);
void SetUpKickOff(int32_t scoringSide);
void StartHalfKickOff();
void PlaceSelectionMarker(int32_t player);
void ShowAimMarker();
void ShowMoveTargetMarker(int32_t player);
void RefreshSelectedPlayer();
void CyclePlayerSelection(int32_t direction);
void FocusCamera(int32_t target);
void UpdateCamera();
void KeepCameraWhereItIs();
// After a pan: the wanted look-at point is where the camera looks now, and the chosen view (the
// wanted eye's offset from it) is kept.
void KeepCameraLookingWhereItIs();
void CameraBehindPlayer(int32_t player);
void SetCameraHeading(int32_t player, uint32_t key);
void CancelKick();

