// The referee: goals, the ball leaving the pitch and the restart that follows (throw-in, corner,
// goal kick, offside and foul free kicks, penalties), where the ball and the players stand for a
// restart, offside positions, what a foul costs the fouled player, the match clock with the half
// and full time, and each player's formation spot in either half.
//
// The restart record, GoalSideTable, LastKicker and InjuryCount live in MatchRecords.h; the
// eight goal-frame instances (GoalFrameModels) are made by the scene load in MatchScreen.
// Nothing here needs a device: a missing instance leaves its test without an answer of "yes".
#pragma once

#include "fenwolt/Game/Match/MatchRecords.h"

#include <cstdint>

// --- Results of ClassifyBallPosition ---------------------------------------------------------
enum BallPositionClass : int32_t {
    BALL_IN_PLAY = 0,
    BALL_OVER_TOUCHLINE = 1,
    BALL_OVER_LOW_GOAL_LINE = 2,
    BALL_OVER_HIGH_GOAL_LINE = 3,
    BALL_GOAL_GIVEN = 6,
};

// BallInBox values: the tested point lies in the low-x or the high-x penalty area.
constexpr int32_t BOX_NONE = 0;
constexpr int32_t BOX_LOW = 4;
constexpr int32_t BOX_HIGH = 5;

// Goal numbers of CheckGoal: the entry of GoalSideTable that scores there.
constexpr int32_t GOAL_HIGH_X = 1;
constexpr int32_t GOAL_LOW_X = 2;

// Keep-away distances of the restarts.
constexpr float KEEP_AWAY_THROW_IN = 3.0f;
constexpr float KEEP_AWAY_CORNER = 5.0f;
constexpr float KEEP_AWAY_GOAL_KICK = 15.0f;
constexpr float KEEP_AWAY_FREE_KICK = 10.0f;

// Where restarts are taken.
constexpr float CORNER_LOW_Z = 4.88f, CORNER_HIGH_Z = 79.24f;
constexpr float CORNER_STEP_IN = 0.3f;
constexpr float GOAL_KICK_LOW_X = 9.63f, GOAL_KICK_HIGH_X = 109.36f;
constexpr float GOAL_KICK_LOW_Z = 33.47f, GOAL_KICK_HIGH_Z = 50.73f;

// A stoppage adds time for this many full turns.
constexpr int32_t STOPPAGE_TURNS_WITH_TIME = 5;
// Seconds a full turn adds to the clock.
constexpr int32_t SECONDS_PER_TURN = 5;
// Injuries dealt to one side in a match at most.
constexpr int32_t MAX_INJURIES = 3;

// --- The restart record ------------------------------------------------------------------------------
// The record as one value. The match keeps its fields as the separate globals of MatchRecords.h
// (saved and sent field by field); every award builds one and writes it whole.
struct RestartState {
    int32_t restartSide;  // 0 home, 1 away
    int32_t restrictedFirst, restrictedEnd;
    D3DVECTOR restartSpot;  // y always 0
    float keepAwayDistance;
    uint8_t restartPending;
    uint8_t takerHasBall;
    uint8_t deadBallKickPending;
    uint8_t throwInPending;
    int32_t penaltyEnd;
};
RestartState CurrentRestartState();
void ApplyRestartState(const RestartState& restart);

// --- Goal frames -----------------------------------------------------------------------------------
struct GoalFrameBox {
    D3DVECTOR min;
    D3DVECTOR max;
    // The box was built from an existing instance; an invalid box is never entered or touched.
    bool valid;
};
// 0 the low-x goal's interior, 1 the high-x goal's; 2, 3, 4 the low-x goal's left post, right
// post and crossbar; 5, 6, 7 those of the high-x goal.
extern GoalFrameBox GoalFrameBoxes[8];

// Builds GoalFrameBoxes from GoalFrameModels once the scene is loaded.
void BuildGoalFrames();
// GOAL_LOW_X when the ball lies inside box 0, else GOAL_HIGH_X inside box 1, else 0.
int32_t FindGoalEntered();
// The ball's cube (half-size its radius) lies inside the box; the bottom face is not tested.
bool IsBallInsideGoalBox(int32_t box);
// The ball's cube overlaps the box.
bool IsBallTouchingBox(int32_t box);
// The ball touches a post or the crossbar of the goal it is near.
bool CheckGoalFrameHit();
// The same for a ball at `point`. A goal is near within 10 units of the middle of the ground its
// boxes cover.
bool GoalFrameTouchedAt(const D3DVECTOR& point);
// Where a ball moving straight from `from` to `to` first touches a post or a crossbar: the
// fraction of the way in `along`. A ball that touches the frame at `from` is coming off it and
// meets nothing.
bool FindGoalFrameContact(const D3DVECTOR& from, const D3DVECTOR& to, float& along);
// Whether a post or a crossbar comes within `reach` of the box around the points: a ball that
// keeps that close to them cannot meet the frame otherwise.
bool GoalFrameWithinReach(const D3DVECTOR* points, int32_t count, float reach);

// --- Goals and the ball out of play -------------------------------------------------------------
// Gives the goal at goal number 1 or 2 (0: the goal the ball lies in, if any), unless a goal is
// already in progress.
void CheckGoal(int32_t goal);
// The ball at `point`: a BallPositionClass. Sets BallInBox; a ball in a goal mouth beyond the
// goal line gives the goal (CheckGoal) and the result 6.
int32_t ClassifyBallPosition(const D3DVECTOR& point);
// The same lines for any point (a player's position, or the ball where no goal may be given):
// 0, 1, 2 or 3, a point in a goal mouth beyond the line counting as over that line. Never gives
// a goal and never touches BallInBox.
int32_t ClassifyPosition(const D3DVECTOR& point);
// BOX_LOW, BOX_HIGH or BOX_NONE for a point (with the ball's radius), without side effects.
int32_t PenaltyAreaAt(const D3DVECTOR& point);
// The goal number whose mouth the point lies in beyond its line: a ball whose course crosses the
// line there goes in between the posts and under the bar. 0 for a point on the pitch or over a
// line anywhere else. Never gives a goal.
int32_t GoalMouthAt(const D3DVECTOR& point);
// Awards the restart for a ball that left the pitch: called while the ball is in play, and by the
// flight when a kick's course leaves over a goal line, a restart kick's included.
void CheckBallOut();

// --- Restarts --------------------------------------------------------------------------------------
void AwardThrowIn();
void AwardCorner();
void AwardGoalKick();
void AwardOffside(int32_t offendingSide, int32_t offender);
void AwardFoul(int32_t fouler, int32_t fouled);
// Stops the ball where it lies.
void ResetBallForRestart();
// A throw-in whose ball came to rest, or was caught, without coming back onto the pitch is
// taken again from its spot (the ball back there, nobody holding it); true when it was.
bool RetakeThrowInOffThePitch();
// The player must keep clear at the current restart.
bool ClearPenaltyBox(int32_t player);
// A restart waits and the player belongs to the side that must keep away from it: he can
// neither take the ball nor win it from its taker.
bool KeepsAwayFromRestart(int32_t player);
// Move targets of the restricted side's players while a restart waits.
void PositionForSetPiece();
// More than one player of the awarded side stands in the penalty area at a penalty.
bool PenaltyAreaCrowded();

// --- Offside ----------------------------------------------------------------------------------------
void MarkOffsidePlayers();
bool CallOffsideOnReceive(int32_t player);
// The offside line of the side defending (0 home, 1 away) with the ball at ballX: its
// second-last player's x, moved up to the ball, never beyond the halfway line.
float OffsideLine(int32_t defendingSide, float ballX);
// The ball lies in the half that `side` defends.
bool IsBallInYourHalf(int32_t side);

// --- Clock ------------------------------------------------------------------------------------------
// The clock rule at the end of a full turn; ends the half or the match when its time is up.
void ClockStep();
void AddClockSteps(int32_t seconds);
void ShowMatchClock();
// "MM:SS" of a clock reading (at least two digits each) into out.
void FormatMatchClock(char* out, int size, int32_t minute, int32_t second);
// The half's last minute: minutesPerHalf in half 1, twice that in half 2.
int32_t HalfEndMinute(int32_t half);
// Half time: the sides change ends (GoalSideTable swaps, formation spots mirror) and the side
// that did not kick off the match walks in for the second half's kick-off.
void StartSecondHalf();
// Full time: half 3, stop state 7, "FULL TIME"; the match screen then shows the result.
void EndMatch();

// --- Formation spots -------------------------------------------------------------------------------
float FormationX(int32_t player);
float FormationZ(int32_t player);
