// Turns of a match: the planning and moving phases with their timers and end-of-phase
// bookkeeping, the orders a manager gives by clicking the pitch (run, pass, shoot, jump, turn to
// face), the movement of the players toward their targets (turning, tiredness, the goalkeepers'
// own rule), body contact, tackles and fouls, and the nearest-player queries the rules and the
// computer opponent use.
//
// Everything here works on the plain match records (MatchRecords.h) and on the players' and the
// ball's model instances, which are plain memory: the match runs without a device or sprites, so
// a test or a benchmark can step it with a fixed ElapsedTime and a seeded generator, giving
// orders through the same Order... functions that the click handlers call.
#pragma once

#include "fenwolt/Game/Engine/EngineTables.h"
#include "fenwolt/Game/Match/MatchRecords.h"

#include <cstdint>

// The moving phases last this long, the planning phases (computer's turn) this long.
constexpr float MOVING_PHASE_SECONDS = 1.0f;
constexpr float PLANNING_PHASE_SECONDS = 0.25f;
// Distance within which a click counts as a click on a player.
constexpr float CLICK_PLAYER_RADIUS = 0.5f;
// "None" answer of the queries that may find nobody.
constexpr float NO_DISTANCE = 99999.0f;
// An ordered jump rises to this times the player's Heading.
constexpr float JUMP_HEIGHT_PER_HEADING = 0.87f;
// A jumper rises and falls at this many units a second.
constexpr float JUMP_SPEED = 10.0f;
// Turns a tackled player stays down.
constexpr int32_t TACKLED_TURNS_DOWN = 2;

// The last pitch point under the mouse (PickPitchPoint).
extern D3DVECTOR PickedPoint;

// --- The step ------------------------------------------------------------------------------------
// The match step in seconds: the application's ElapsedTime, 0 when there is none or it is not a
// usable number.
float MatchStepSeconds();

// --- Pitch picking ----------------------------------------------------------------------------
// Casts the mouse ray through the camera into the ground plane; the hit goes to PickedPoint.
// False when the ray misses the ground (PickedPoint unchanged).
bool PickPitchPoint();
// 1 the high-x goal mouth, 2 the low-x goal mouth, 0 elsewhere (the kick is a pass).
int32_t ClassifyTarget(const D3DVECTOR& point);

// --- Nearest-player queries ----------------------------------------------------------------------
// Each returns a player index and, through `distance` when given, the 3D distance from the point
// to him; ties keep the lower index. `side` is 0 home or 1 away; "ahead" is toward the goal that
// side attacks (GoalSideTable). The queries that may find nobody return PLAYER_NONE and NO_DISTANCE.
int32_t FindNearestPlayer(const D3DVECTOR& point, float* distance = nullptr);
int32_t FindNearestInRange(const D3DVECTOR& point, int32_t first, int32_t end, float* distance = nullptr);
int32_t FindNearestInRangeExcept(const D3DVECTOR& point, int32_t first, int32_t end, int32_t except,
                                 float* distance = nullptr);
// Skips players more than `margin` ahead of the point.
int32_t FindNearestNotAhead(const D3DVECTOR& point, int32_t first, int32_t end, int32_t side, float margin,
                            float* distance = nullptr);
// Keeps only players at least `margin` ahead of the point; with skipDowned, no downed players.
int32_t FindNearestAhead(const D3DVECTOR& point, int32_t first, int32_t end, int32_t side, float margin,
                         bool skipDowned, float* distance = nullptr);
// The player of [first, end) furthest toward the goal `side` attacks (x only), not `except`.
int32_t FindMostAdvanced(const D3DVECTOR& point, int32_t first, int32_t end, int32_t side, int32_t except,
                         float* distance = nullptr);
int32_t FindMostAdvancedInRange(const D3DVECTOR& point, int32_t first, int32_t end, int32_t side,
                                float* distance = nullptr);

// --- Phases ----------------------------------------------------------------------------------------
void InitPhaseDurations();
// A planning phase stands: no moving phase, goal pause, walk-in to a kick-off or full time. A turn
// ends only here, and in a network game what the other computer does while its side plans belongs
// only to its own planning phase as it stands here.
bool PlanningPhaseStands();
// Network: this computer stands in the planning phase of the other computer's side.
bool OtherComputerPlans();
// This computer's manager may end his turn now: his side plans here, a planning phase stands, and
// he is neither aiming a kick nor choosing a substitute.
bool LocalTurnMayEnd();
// Ends the planning phase while one stands, unless a kick is being aimed.
void EndTurnIfAllowed();
// Network: asks the other computer to agree to end the turn (only while LocalTurnMayEnd).
void RequestEndTurn();
// Network: the other computer agreed to end this computer's planning phase. While it still may
// end, the ball, the random table and the end of the phase are sent and the turn ends; an answer
// that finds the turn gone, or the manager aiming a kick since he asked, ends nothing (he asks
// again).
void EndTurnBothAgreed();
// advance 0: the next phase with all its bookkeeping; 1: the bookkeeping of the present phase only.
void EndPhase(int32_t advance);
// The HUD buttons as the phase and the match now stand: System, End Turn and (while a restart
// waits) Substitute for the manager who plans on this computer, Pass while his selected player
// holds the ball; none of them while the sides move, while the computer plans or at full time.
void ShowTurnButtons();
// The Pass button is offered: the selected player holds the ball and his manager plans here.
bool PassButtonAvailable();
// Once per match step (the match screen does not call it during a goal pause). Moving phases end
// after their 1.0 s, or later while a kicked ball is still on its way; the computer's planning
// phase runs the computer after 0.25 s. During the walk-in to a kick-off (MatchStopState 6) it
// only counts PhaseTimer on (the walk-in is timed by it) and never ends a phase; during a goal
// pause it does nothing.
void UpdatePhaseTimers();
// all: every player model animates; else only the moving side's.
void SetSideAnimating(bool all);
// Network: the players [first, end) who are down count one turn off.
void CountDownDowned(int32_t first, int32_t end);

// --- Orders ------------------------------------------------------------------------------------------
// The match screen's mouse handlers. HandlePitchClick takes WM_LBUTTONDOWN or WM_LBUTTONUP and
// reports whether it handled it; HandlePitchDrag runs on mouse moves over the pitch and reports
// whether an own player is under the mouse. Both pick the pitch point and call the order
// functions below with it and the mouse position.
bool HandlePitchClick(uint32_t message);
bool HandlePitchDrag();
// The same orders from a pitch point and a mouse position (pixels), as the handlers give them.
void OrderPitchPress(const D3DVECTOR& point, int32_t mouseX, int32_t mouseY);
void OrderPitchRelease(const D3DVECTOR& point, int32_t mouseX, int32_t mouseY);
bool OrderPitchDrag(const D3DVECTOR& point, int32_t mouseX, int32_t mouseY);
// The player of the side to move nearest the point within CLICK_PLAYER_RADIUS; PLAYER_NONE if none.
int32_t PlayerUnderPoint(const D3DVECTOR& point);
// The Pass button: the selected ball holder's order becomes a kick, or a run again.
void ToggleKickAim();

// --- Jumps and facing -------------------------------------------------------------------------
void StartJump(int32_t player);
void SetFacing(int32_t player);
void CancelJump(int32_t player);
// Every player with an ordered jump gets his jump height back (start of a planning phase).
void RestoreJumps();
// The camera's overview position for the turn.
void SetOverviewCamera();

// --- Movement -----------------------------------------------------------------------------------------
// One step of a moving phase (or of the walk-in): the moving side, then the other side's keeper
// and jumpers; with tackles, body contact, tackles and fouls.
void MovePlayers(bool tackles);
bool TryPickUpBall(int32_t player);
// player + 1 of the first player touching `player`, BALL_TARGET for the ball, 0 nothing; for
// BALL_TARGET itself the player + 1 who reaches the ball, or 0.
int32_t FindContact(int32_t player);
bool IsTackleFromBehind(int32_t tackler, int32_t victim);
void CountContacts();
void SetPlayerAnimation(int32_t player, int32_t slot);
// The ball at the player's feet at rest height, shown.
void GiveBallToPlayer(int32_t player);
// Tackler `tackler` goes in on the ball holder `holder`: success, failure or foul.
void ResolveTackle(int32_t tackler, int32_t holder);
// Forgets every failed tackle of the present phase (a new phase is a new chance).
void ClearTackleAttempts();
// A new match starts the movement code's own counters afresh (the start frames of the looping
// animations, the failed tackles), so that every match from the same seed plays the same.
void ResetMovementState();
