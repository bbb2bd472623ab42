// The ball: a kick decides at once where the ball comes to rest (its destination), graded by the
// kicker's skill; the flight then carries it along a straight ground track from the kick's start
// to that point, with a sine height profile from the loft and a sideways swing from the bend.
// Players who reach it in flight try to control it, head or volley it on, or let it glance off;
// the goal frame turns it back.
#pragma once

#include <cstdint>

// Speeds of the ball in units per second.
constexpr float BALL_PASS_SPEED = 20.0f;
constexpr float BALL_SHOT_SPEED = 25.0f;
// Kicks of at most this length are short, of at most KICK_MEDIUM_LIMIT medium, longer ones long.
constexpr float KICK_SHORT_LIMIT = 10.0f;
constexpr float KICK_MEDIUM_LIMIT = 30.0f;
// Beyond this length every kick is a poor one.
constexpr float KICK_MAX_GOOD_LENGTH = 61.0f;

// The statistics of the last kick, counted once on its first flight step: -1 none, 0..2 a short,
// medium or long pass, 3..5 a shot of those lengths.
extern int32_t PendingKickKind;
// The last kick was not a poor one.
extern uint8_t PendingKickGood;

// Settles the statistics of the kick that sets off now from the ball's state: its length from
// where the ball lies to the aim point, a shot when it is aimed at goal, good when the ball is
// sent where it was aimed. Both computers of a network match hold that state alike, while only
// the one that ordered the kick graded it.
void SettleKickStatistics();
// Grades the kick of `kicker` at TheBall.aimPoint and sets the ball's destination; true when it
// is a good kick (the ball lands on the aim point).
bool ExecuteKick(int32_t kicker);
// One step of a kicked ball during a moving phase. A step whose course crosses a goal line is
// ruled on where the course meets the line: a goal, or the ball out of play there.
void UpdateBall();
// Keeps the bend mouse x inside its window and scales its offset by the kicker's Bend.
void ClampBend();
// The ball glances off a player who failed to control it.
void DeflectBall();
// The ball bounces off a post or the crossbar.
void ReboundFromGoalFrame();
// A jumping player sends the ball on with his head or a volley.
void HeadOrVolley(int32_t player);
