#include "fenwolt/Game/Match/BallFlight.h"

#include "fenwolt/Game/Match/Banners.h"
#include "fenwolt/Game/Match/MatchScreen.h"
#include "fenwolt/Game/Match/Movement.h"
#include "fenwolt/Game/Match/Previews.h"
#include "fenwolt/Game/Match/Rules.h"
#include "fenwolt/Game/Match/TurnEngine.h"
#include "fenwolt/Game/Engine/Sound.h"
#include "fenwolt/common/Utilities.h"

#include <algorithm>
#include <cmath>

using namespace matchgeo;

int32_t PendingKickKind = -1;
uint8_t PendingKickGood = 0;

namespace {

constexpr float DIRECTION_NO_PENALTY = 0.78f;
constexpr float DIRECTION_MILD = 1.7f;
constexpr float POOR_SPREAD_START = 0.3926991f;  // a poor kick lands up to about 22.5 degrees off
constexpr float POOR_SPREAD_STEP = 0.7853982f / 179.0f;
constexpr int32_t ROLL_ALWAYS_POOR = 100;
constexpr float SLOW_DOWN_DISTANCE = 15.0f;
constexpr float SLOW_DOWN_FLOOR = 5.0f;
constexpr float SPIN_RATE = 20.0f;
constexpr float SPIN_SLOW_DISTANCE = 19.0f;
constexpr float THROW_IN_ARC = 2.0f;
constexpr int32_t BEND_WINDOW = 25;
constexpr float BEND_FULL_WINDOW_DISTANCE = 24.0f;
// Halvings of a step that find where its course meets a goal line: more than a float's worth.
constexpr int32_t CROSSING_SEARCH_STEPS = 32;
// Ground length of the straight pieces the course is followed in when it is tested against the
// goal frame: well under a post's 0.12 and the ball's 0.26, and short enough that the curve of
// the loft and the bend departs from a piece by far less than a hair.
constexpr float FRAME_SWEEP_PIECE = 0.05f;
// A step of any length within reason (200 units) is followed in such pieces.
constexpr int32_t FRAME_SWEEP_MOST_PIECES = 4000;

// Any component that is not a number is replaced by the fallback's.
D3DVECTOR Sanitised(const D3DVECTOR& v, const D3DVECTOR& fallback)
{
    return D3DVECTOR{std::isfinite(v.x) ? v.x : fallback.x, std::isfinite(v.y) ? v.y : fallback.y,
                     std::isfinite(v.z) ? v.z : fallback.z};
}

float FiniteOr(float v, float fallback) { return std::isfinite(v) ? v : fallback; }

void HideAimMarker() { SetInstanceVisible(AimMarkerModel, false); }

// The ball's course ends: the flight stops where the ball is.
void StopBallAt(ModelInstance& ball, const D3DVECTOR& at)
{
    ball.Position = at;
    TheBall.destination = at;
    TheBall.kickStart = at;
    TheBall.groundPoint = at;
    TheBall.loft = TheBall.bendX = TheBall.bendZ = 0.f;
}

// Statistics of the kick, counted on its first flight step.
void CountKickStatistics()
{
    if (PendingKickKind < 0) return;
    if (SquadPlayer* s = SquadPlayerOf(LastKicker)) {
        if (PendingKickKind <= 2) {
            ++s->lastMatch.passAttempts[PendingKickKind];
            if (PendingKickGood) ++s->lastMatch.goodPasses[PendingKickKind];
        } else {
            ++s->lastMatch.attemptsOnGoal;
        }
    }
    PendingKickKind = -1;
}

// The kicked ball leaves its holder: the pass or shot is reported, the offside positions are
// judged, and a restart kick is no longer pending.
void ReleaseFromKicker()
{
    if (BallHolder > 0 && BallHolder <= PLAYER_COUNT) {
        const int32_t holder = BallHolder - 1;
        if (ShotClass == 0) {
            LogMatchEvent(EVENT_PASSES, holder, holder);
            PlaySecondarySound(SOUND_KICK, true);
        } else {
            LogMatchEvent(EVENT_SHOOTS, holder, holder);
            PlaySecondarySound(SOUND_SHOOT, true);
        }
        MarkOffsidePlayers();
    }
    BallHolder = 0;
    DeadBallKickPending = 0;
}

// The flight is over with the ball at `at`; it has no course left.
void EndFlightAt(ModelInstance& ball, const D3DVECTOR& at)
{
    ball.Position = at;
    TheBall.groundPoint = at;
    TheBall.loft = TheBall.bendX = TheBall.bendZ = 0.f;
    BallInFlight = 0;
    HideAimMarker();
    RefreshPreviews();
    ForceSceneResort();
    MarkModelMoved(ball);
    PlaceBallMarker();
}

// The flight is over: the ball lies on its destination, on the ground. Whatever the curve, this
// is where the flight ends, so that no ball is ever left up in the air once it has arrived.
void LandOnDestination(ModelInstance& ball)
{
    TheBall.destination.y = BALL_REST_HEIGHT;
    EndFlightAt(ball, TheBall.destination);
}

// A shot's course keeps rising to its end only while that end lies over a goal line: the ball
// crosses the line on the way up and the referee takes it there (a goal, or over the bar). Any
// other course, a poor shot that falls short on the pitch or a shot sent back into play off a
// player or the frame, comes down onto its destination like a pass, where players can reach it.
bool RisesToItsEnd()
{
    if (ShotClass <= 0) return false;
    const float r = std::isfinite(TheBall.radius) && TheBall.radius >= 0.f ? TheBall.radius : 0.f;
    return TheBall.destination.x - r < GOAL_LINE_LOW_X || TheBall.destination.x + r >= GOAL_LINE_HIGH_X;
}

// Position along the remaining track as a fraction folded about the turning point: rising to 1
// at the turning point and falling after it.
float ProfileFraction(float remaining, float total, float turningPoint)
{
    if (!(total > 0.f)) return 0.f;
    float f = remaining / total;
    // At the turning point both halves agree; a course that rises to its end is at its top there.
    if (remaining >= total * turningPoint) f = 1.0f - f;
    return std::fmax(0.f, std::fmin(1.f, f));
}

// The ball on its course where its ground track has reached `ground`: the loft's height profile
// (and a throw's arc) above it, the bend's swing beside it.
D3DVECTOR CoursePoint(const D3DVECTOR& ground)
{
    D3DVECTOR p = ground;
    const float total = GroundDistance(TheBall.kickStart, TheBall.destination);
    const float remaining = GroundDistance(ground, TheBall.destination);
    if (TheBall.loft > 0.f) {
        const float f = ProfileFraction(remaining, total, RisesToItsEnd() ? 0.f : 0.5f);
        p.y = TheBall.loft * std::sin(f * HALF_PI) + BALL_REST_HEIGHT;
    }
    // A thrown ball starts from the thrower's hands, whatever its loft.
    if (ThrowInPending && total > 0.f) p.y += THROW_IN_ARC * remaining / total;
    // Bend: out most half way, back onto the destination at the end.
    if (TheBall.bendX != 0.f || TheBall.bendZ != 0.f) {
        const float swing = std::sin(ProfileFraction(remaining, total, 0.5f) * HALF_PI);
        p.x -= TheBall.bendX * swing;
        p.z -= TheBall.bendZ * swing;
    }
    return p;
}

// The straight ground track of one step: from the ground point, `length` to the destination.
struct GroundTrack {
    D3DVECTOR from;
    float ux, uz, length;
    D3DVECTOR At(float s) const
    {
        if (s >= length) return D3DVECTOR{TheBall.destination.x, from.y, TheBall.destination.z};
        return D3DVECTOR{from.x + ux * s, from.y, from.z + uz * s};
    }
};

bool OverAGoalLine(const D3DVECTOR& p)
{
    const int32_t where = ClassifyPosition(p);
    return where == BALL_OVER_LOW_GOAL_LINE || where == BALL_OVER_HIGH_GOAL_LINE;
}

// A step from the pitch whose course ends over a goal line crosses it on the way: where, found by
// halving the step's stretch of track, is the first point of the course over the line. There the
// ball's height and its place between the posts decide a goal, whatever step the match runs at.
bool FindGoalLineCrossing(const D3DVECTOR& from, const D3DVECTOR& end, const GroundTrack& track, float travel,
                          D3DVECTOR& crossing, float& at)
{
    if (ClassifyPosition(from) != BALL_IN_PLAY || !OverAGoalLine(end)) return false;
    crossing = end;
    float before = 0.f, after = travel;
    for (int32_t i = 0; i < CROSSING_SEARCH_STEPS; ++i) {
        const float s = (before + after) * 0.5f;
        const D3DVECTOR p = CoursePoint(track.At(s));
        if (OverAGoalLine(p)) {
            after = s;
            crossing = p;
        } else {
            before = s;
        }
    }
    at = after;
    return true;
}

// Where on this step's course the ball first meets a post or the crossbar: the course followed
// from where the ball is in pieces short beside a post's thickness and the ball's size, so that
// no step, however long, carries the ball through the frame between two of its ends.
bool FindGoalFrameContactOnCourse(const D3DVECTOR& from, const GroundTrack& track, float travel, D3DVECTOR& contact,
                                  float& at)
{
    // Far from both goals nothing is followed: the course strays from the line between its ends
    // by no more than the steepest slope of its sines over the step's length.
    const D3DVECTOR ends[3] = {from, CoursePoint(track.At(0.f)), CoursePoint(track.At(travel))};
    const float total = GroundDistance(TheBall.kickStart, TheBall.destination);
    const float slope = HALF_PI *
                        (std::fabs(TheBall.loft) + std::fabs(TheBall.bendX) + std::fabs(TheBall.bendZ) + THROW_IN_ARC) /
                        std::fmax(total, 0.001f);
    if (!GoalFrameWithinReach(ends, 3, travel * slope + FRAME_SWEEP_PIECE)) return false;

    // A step of no sensible length is followed in as many pieces as a long one.
    int32_t pieces = 1;
    const float wanted = std::ceil(travel / FRAME_SWEEP_PIECE);
    if (wanted >= (float)FRAME_SWEEP_MOST_PIECES)
        pieces = FRAME_SWEEP_MOST_PIECES;
    else if (wanted > 1.f)
        pieces = (int32_t)wanted;
    D3DVECTOR a = from;
    float sa = 0.f;
    for (int32_t i = 1; i <= pieces; ++i) {
        const float sb = i == pieces ? travel : travel * (float)i / (float)pieces;
        const D3DVECTOR b = CoursePoint(track.At(sb));
        float along;
        if (FindGoalFrameContact(a, b, along)) {
            contact = D3DVECTOR{a.x + (b.x - a.x) * along, a.y + (b.y - a.y) * along, a.z + (b.z - a.z) * along};
            at = sa + (sb - sa) * along;
            return true;
        }
        a = b;
        sa = sb;
    }
    return false;
}

// The control roll of a receiver and what follows from it: the ball glances off him, stops at his
// feet, or goes on from his head or a volley; an offside receiver stops play instead.
void ReceiveBall(int32_t receiver, ModelInstance& ball)
{
    const MatchPlayer& p = MatchPlayers[receiver];
    const ModelInstance* body = PlayerModel(receiver);

    // The nearest opponent crowds the receiver.
    float opponentDistance = NO_DISTANCE;
    const int32_t opponentFirst = receiver < SIDE_SIZE ? SIDE_SIZE : 0;
    FindNearestInRange(ball.Position, opponentFirst, opponentFirst + SIDE_SIZE, &opponentDistance);
    if (CallOffsideOnReceive(receiver)) return;

    int32_t roll = RandomBelow(100);
    const float toDestination = GroundDistance(ball.Position, TheBall.destination);
    if (toDestination <= 5.0f)
        roll -= 25;
    else if (toDestination <= 10.0f)
        roll -= 15;
    else if (toDestination <= 20.0f)
        roll -= 5;
    // A receiver with room around him controls the ball more easily.
    if (opponentDistance >= 5.0f) roll -= 5;

    const bool jumping = p.moveTarget.y > 0.f;
    float threshold = p.attributes[ATTR_CONTROL];
    if (jumping && ball.Position.y > p.headHeight * 0.75f)
        threshold = p.attributes[ATTR_HEADING] * 0.5f + 50.0f;
    else if (jumping && ball.Position.y < p.headHeight * 0.5f)
        threshold = p.attributes[ATTR_VOLLEY] * 0.5f + 50.0f;
    if (CheatControl == 1) roll = 100;
    if (CheatControl == 2) roll = 0;

    if (!(threshold >= (float)roll)) {
        DeflectBall();
    } else if (!jumping) {
        LogMatchEvent(EVENT_CONTROLLED, receiver, receiver);
        const D3DVECTOR feet{body ? body->Position.x : ball.Position.x, BALL_REST_HEIGHT,
                             body ? body->Position.z : ball.Position.z};
        StopBallAt(ball, feet);
        BallInFlight = 0;
        HideAimMarker();
        RefreshPreviews();
        ForceSceneResort();
    } else {
        HeadOrVolley(receiver);
    }
    PlaySecondarySound(SOUND_HEAD, true);
}

int32_t KickLengthClass(float distance)
{
    return distance <= KICK_SHORT_LIMIT ? 0 : distance <= KICK_MEDIUM_LIMIT ? 1 : 2;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
void ClampBend()
{
    const int32_t kicker = SelectedPlayer;
    if (!IsPlayerIndex(kicker)) return;
    const int32_t ref = TheBall.bendRefMouseX;
    int32_t low = ref - BEND_WINDOW, high = ref + BEND_WINDOW;
    const float d = SpaceDistance(TheBall.aimPoint, TheBall.kickStart);
    if (d <= BEND_FULL_WINDOW_DISTANCE) {
        const int32_t inward = TruncToInt(BEND_FULL_WINDOW_DISTANCE - d);
        low += inward;
        high -= inward;
    }
    int32_t x = TheBall.bendMouseX;
    if (x < low) x = low;
    if (x > high) x = high;
    const float bend = FiniteOr(MatchPlayers[kicker].attributes[ATTR_BEND], 0.f);
    const float scale = bend / (float)BEND_WINDOW;
    if (x < ref)
        x = ref - TruncToInt(scale * (float)(ref - x));
    else
        x = ref + TruncToInt(scale * (float)(x - ref));
    TheBall.bendMouseX = x;
}

void SettleKickStatistics()
{
    const ModelInstance* ball = BallModel();
    if (!ball) return;
    PendingKickKind = KickLengthClass(SpaceDistance(ball->Position, TheBall.aimPoint)) + (ShotClass > 0 ? 3 : 0);
    const D3DVECTOR& to = TheBall.destination;
    const D3DVECTOR& aim = TheBall.aimPoint;
    PendingKickGood = to.x == aim.x && to.y == aim.y && to.z == aim.z ? 1 : 0;
}

bool ExecuteKick(int32_t kicker)
{
    ModelInstance* ball = BallModel();
    if (!IsPlayerIndex(kicker) || !ball) {
        PendingKickKind = -1;
        PendingKickGood = 0;
        return false;
    }
    const MatchPlayer& k = MatchPlayers[kicker];
    const ModelInstance* body = PlayerModel(kicker);
    const D3DVECTOR from = ball->Position;
    TheBall.aimPoint = Sanitised(TheBall.aimPoint, from);
    const D3DVECTOR aim = TheBall.aimPoint;

    // 1. Kind by length.
    const float dist = SpaceDistance(from, aim);
    const int32_t kind = KickLengthClass(dist);
    PendingKickKind = kind;
    LastKicker = kicker;
    DebugPrintInt("Pass Class", kind);

    // 2. Skill.
    const bool throwIn = MatchStopState == STOP_THROW_IN;
    float skill;
    if (throwIn) {
        skill = k.attributes[ATTR_THROW_IN];
    } else if (ShotClass == 0) {
        skill = k.attributes[ATTR_PASS_SHORT + kind];
        if (kind == 0) skill = skill * 0.5f + 50.0f;
        if (kind == 1) skill = skill * 0.75f + 25.0f;
    } else {
        skill = k.attributes[ATTR_SHOOT_SHORT + kind];
        PendingKickKind += 3;
    }
    if (MatchStopState == STOP_CORNER) skill = (skill + k.attributes[ATTR_DEAD_BALL]) * 0.5f;

    // 3. Direction: the kick's bearing against the way the kicker faces.
    const float kickBearing = BearingAlong(aim.x - from.x, aim.z - from.z);
    const float facing = ReduceAngle((body ? body->Rotation.y : 0.f) + PI);
    const float difference = AngleGap(kickBearing, facing);
    if (difference <= DIRECTION_NO_PENALTY) {
        if (kind == 2 && KickCrossesGoalMouth()) skill = 1.0f;
    } else {
        if (kind == 2) skill = 1.0f;
        if (kind == 1) skill -= dist * (difference <= DIRECTION_MILD ? 0.5f : 2.5f);
        if (kind == 0) skill -= dist * (difference <= DIRECTION_MILD ? 2.0f : 5.0f);
        if (!(skill >= 1.0f)) skill = 1.0f;
    }

    // 4. A throw beyond the thrower's reach.
    const bool overlongThrow = throwIn && dist > 0.6f * k.attributes[ATTR_THROW_IN];
    if (overlongThrow) skill = 1.0f;

    // 5. The roll; 100 is always a poor kick, whatever the skill.
    int32_t roll = RandomBelow(100);
    if (dist > KICK_MAX_GOOD_LENGTH) roll = ROLL_ALWAYS_POOR;
    if (CheatPass == 1) roll = ROLL_ALWAYS_POOR;
    if (CheatPass == 2) roll = 0;

    bool good = roll < ROLL_ALWAYS_POOR && roll <= TruncToInt(skill);
    if (good) {
        TheBall.destination = aim;
        DebugPrintInt("Pass Good", roll);
    } else {
        DebugPrintInt("Poor Pass", roll);
        const float bearing = kickBearing - POOR_SPREAD_START + (float)RandomBelow(180) * POOR_SPREAD_STEP;
        float length = dist <= KICK_MAX_GOOD_LENGTH ? dist * 0.75f : KICK_MAX_GOOD_LENGTH * 0.5f;
        length += (float)RandomBelow(TruncToInt(length));
        if (overlongThrow) length *= 0.5f;
        TheBall.destination = D3DVECTOR{from.x + std::sin(bearing) * length, aim.y, from.z + std::cos(bearing) * length};
        if (TheBall.loft > 0.f) {
            const float loft = TheBall.loft;
            TheBall.loft = (float)RandomBelow(TruncToInt(loft * 100.0f)) * 0.01f + loft * 0.25f;
        }
    }
    TheBall.destination = Sanitised(TheBall.destination, from);
    if (!std::isfinite(TheBall.loft) || TheBall.loft < 0.f) TheBall.loft = 0.f;
    PendingKickGood = good ? 1 : 0;
    return good;
}

void UpdateBall()
{
    if ((TurnPhase != PHASE_HOME_MOVES && TurnPhase != PHASE_AWAY_MOVES) || !BallInFlight) return;
    ModelInstance* ball = BallModel();
    if (!ball) return;
    const float dt = MatchStepSeconds();

    // A course that is not a number would never end: the ball stops where it is.
    if (!IsFinite(ball->Position)) ball->Position = Sanitised(ball->Position, TheBall.groundPoint);
    if (!IsFinite(ball->Position)) ball->Position = D3DVECTOR{CENTRE_X, BALL_REST_HEIGHT, CENTRE_Z};
    TheBall.destination = Sanitised(TheBall.destination, ball->Position);
    TheBall.kickStart = Sanitised(TheBall.kickStart, ball->Position);
    TheBall.groundPoint = Sanitised(TheBall.groundPoint, ball->Position);
    if (!std::isfinite(TheBall.loft)) TheBall.loft = 0.f;
    if (!std::isfinite(TheBall.bendX)) TheBall.bendX = 0.f;
    if (!std::isfinite(TheBall.bendZ)) TheBall.bendZ = 0.f;

    // 1.
    CountKickStatistics();

    // The ball leaves its holder on the kick's first step, however short the kick: a kick that
    // ends within one step (or where it starts) is still the kick that was ordered, and a restart
    // taken with it is taken.
    ReleaseFromKicker();

    // 2. Already there.
    if (Vec3EqualXZ(ball->Position, TheBall.destination)) {
        TheBall.destination.y = BALL_REST_HEIGHT;
        ball->Position = TheBall.destination;
        TheBall.rotation = 0.f;
        ball->Rotation.z = 0.f;
        TheBall.loft = TheBall.bendX = TheBall.bendZ = 0.f;
        HideAimMarker();
        ForceSceneResort();
        MarkModelMoved(*ball);
        return;
    }

    // 3. Speed: a shot keeps its pace; a pass slows down over its last stretch.
    const float d = GroundDistance(TheBall.groundPoint, TheBall.destination);
    float speed = BALL_PASS_SPEED;
    if (ShotClass > 0)
        speed = BALL_SHOT_SPEED;
    else if (d <= SLOW_DOWN_DISTANCE)
        speed = d + SLOW_DOWN_FLOOR;
    const float step = speed * dt;

    // 5a. Along the ground track, and where the course stands at the step's end.
    float ux = 0.f, uz = 0.f;
    if (!GroundDirection(TheBall.kickStart, TheBall.destination, ux, uz))
        GroundDirection(TheBall.groundPoint, TheBall.destination, ux, uz);
    const GroundTrack track{TheBall.groundPoint, ux, uz, d};
    const D3DVECTOR next = track.At(step);

    // 4. The last step: the track reaches the destination, or ends so near it that the ball
    // counts as standing there (the test that lets the moving phase end), or the bend swings the
    // ball onto it before the track gets there. A step that stopped a hair short would leave the
    // ball at the height of its curve with the phase over.
    const bool reaches = step >= d || Vec3EqualXZ(next, TheBall.destination);
    const float travel = reaches ? d : step;
    const D3DVECTOR end = CoursePoint(track.At(travel));
    const bool last = reaches || Vec3EqualXZ(end, TheBall.destination);

    // The course meets a goal line on this step: the referee rules where it meets it, not where
    // the step happens to end (the last step lays the ball on the ground, in the net or not).
    D3DVECTOR crossing{};
    float crossingAt = 0.f;
    const bool crosses = FindGoalLineCrossing(ball->Position, end, track, travel, crossing, crossingAt);

    // 5f. The goal frame: a ball that meets a post or the bar on this step's course, before it
    // crosses a line if it does, rebounds from where it met it, whichever step the match runs at.
    D3DVECTOR contact{};
    float contactAt = 0.f;
    if (FindGoalFrameContactOnCourse(ball->Position, track, travel, contact, contactAt) &&
        (!crosses || contactAt <= crossingAt)) {
        const D3DVECTOR ground = track.At(contactAt);
        TheBall.groundPoint.x = ground.x;
        TheBall.groundPoint.z = ground.z;
        ball->Position = contact;
        PlaySecondarySound(SOUND_GASP, false);
        PlaySecondarySound(SOUND_POST, true);
        ReboundFromGoalFrame();
        ball->Rotation.z = TheBall.rotation;
        MarkModelMoved(*ball);
        ball->Animating = 1;
        PlaceBallMarker();
        return;
    }

    int32_t goal = 0;
    if (crosses) {
        goal = GoalMouthAt(crossing);
        if (!goal) {
            // Over the bar or wide of the posts: out of play there, whatever follows.
            EndFlightAt(*ball, crossing);
            CheckBallOut();
            return;
        }
    }
    if (last) {
        LandOnDestination(*ball);
        if (goal) CheckGoal(goal);
        return;
    }
    TheBall.groundPoint.x = next.x;
    TheBall.groundPoint.z = next.z;
    ball->Rotation.z = TheBall.rotation;
    ball->Position = end;

    if (goal) {
        // In between the posts and under the bar: the ball goes on into the net and the goal stands.
        CheckGoal(goal);
    } else {
        // 5e. Spin, slower as it comes to rest.
        const float rate = d <= SPIN_SLOW_DISTANCE ? d + 1.0f : SPIN_RATE;
        TheBall.rotation += (TheBall.destination.x <= ball->Position.x ? rate : -rate) * dt;
        TheBall.rotation = ReduceAngle(TheBall.rotation);
        ball->Rotation.z = TheBall.rotation;

        // 5g. A player reaching it.
        const int32_t reached = FindContact(BALL_TARGET);
        if (reached > 0 && reached <= PLAYER_COUNT) {
            const int32_t receiver = reached - 1;
            BallHolder = LastHolder = reached;
            LastTouchSide = IsAwaySide(receiver) + 1;
            ReceiveBall(receiver, *ball);
        }
    }

    // 5h.
    MarkModelMoved(*ball);
    ball->Animating = 1;
    PlaceBallMarker();
}

void DeflectBall()
{
    ModelInstance* ball = BallModel();
    if (!ball) return;
    const D3DVECTOR at = ball->Position;
    // Measured along the ball's present course, not the aim of the kick that started it.
    float length = SpaceDistance(at, TheBall.destination) * 0.5f;
    if (!(length >= 5.0f)) length = 5.0f;
    const float bearing = (float)RandomBelow(628) * 0.01f;
    TheBall.destination = D3DVECTOR{at.x + std::sin(bearing) * length, BALL_REST_HEIGHT, at.z + std::cos(bearing) * length};
    TheBall.bendX = TheBall.bendZ = 0.f;
    TheBall.loft *= 0.5f;
    TheBall.kickStart = D3DVECTOR{at.x, BALL_REST_HEIGHT, at.z};
    TheBall.groundPoint = TheBall.kickStart;
}

void ReboundFromGoalFrame()
{
    ModelInstance* ball = BallModel();
    if (!ball) return;
    const D3DVECTOR at = ball->Position;
    float length = SpaceDistance(at, TheBall.destination);
    if (!(length >= 5.0f)) length = (std::isfinite(length) ? length : 0.f) * 2.0f;
    if (!(length > 0.f)) length = 5.0f;

    const float axisX = at.z <= CENTRE_Z ? 1.0f : -1.0f;
    // The angle between the ball's course and the axis; a ball without a course (standing on
    // its destination) takes the way its kick came.
    float cx = 0.f, cz = 0.f;
    if (!GroundDirection(at, TheBall.destination, cx, cz) && !GroundDirection(TheBall.kickStart, at, cx, cz)) {
        cx = axisX;
        cz = 0.f;
    }
    const float a = std::acos(std::fmax(-1.f, std::fmin(1.f, cx * axisX)));
    D3DMATRIX turn;
    SetRotateYMatrix(turn, PI - a);
    D3DVECTOR dir{axisX, 0.f, 0.f};
    D3DVECTOR turned{axisX, 0.f, 0.f};
    if (VectorMatrixMultiply(turned, dir, turn) != S_OK || !IsFinite(turned)) turned = D3DVECTOR{-axisX, 0.f, 0.f};
    TheBall.destination = D3DVECTOR{at.x + turned.x * length, BALL_REST_HEIGHT, at.z + turned.z * length};
    TheBall.bendX = TheBall.bendZ = 0.f;
    TheBall.loft *= 0.75f;
    TheBall.kickStart = D3DVECTOR{at.x, BALL_REST_HEIGHT, at.z};
    TheBall.groundPoint = TheBall.kickStart;
}

void HeadOrVolley(int32_t player)
{
    ModelInstance* ball = BallModel();
    const ModelInstance* body = PlayerModel(player);
    if (!ball || !body) return;
    const MatchPlayer& p = MatchPlayers[player];
    const D3DVECTOR at = ball->Position;
    const float dist = SpaceDistance(at, TheBall.destination);
    float factor = 1.75f;
    if (at.y > p.headHeight * 0.75f) {
        factor = p.attributes[ATTR_HEADING] + 2.5f;
        LogMatchEvent(EVENT_HEADED, player, player);
    } else if (at.y < p.headHeight * 0.5f) {
        factor = p.attributes[ATTR_VOLLEY] + 3.0f;
        LogMatchEvent(EVENT_VOLLEY, player, player);
    }
    float length = dist * factor;
    if (!(length >= 1.5f)) length = 1.5f;

    // On from the player through the ball; a ball straight above him goes the way he faces.
    float dx = 0.f, dz = 0.f;
    if (!GroundDirection(body->Position, at, dx, dz)) {
        const float bearing = ReduceAngle(body->Rotation.y + PI);
        dx = std::sin(bearing);
        dz = std::cos(bearing);
    }
    TheBall.destination = D3DVECTOR{at.x + dx * length, BALL_REST_HEIGHT, at.z + dz * length};
    TheBall.bendX = TheBall.bendZ = 0.f;
    TheBall.kickStart = D3DVECTOR{at.x - dx * length, BALL_REST_HEIGHT, at.z - dz * length};
    TheBall.groundPoint = D3DVECTOR{at.x, BALL_REST_HEIGHT, at.z};
    LastKicker = player;
}
