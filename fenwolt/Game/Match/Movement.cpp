#include "fenwolt/Game/Match/Movement.h"

#include "fenwolt/Game/Match/Banners.h"
#include "fenwolt/Game/Match/Computer.h"
#include "fenwolt/Game/Match/MatchScreen.h"
#include "fenwolt/Game/Match/Previews.h"
#include "fenwolt/Game/Match/Rules.h"
#include "fenwolt/Game/Match/Squads.h"
#include "fenwolt/Game/Match/TurnEngine.h"
#include "fenwolt/Game/Engine/Sound.h"
#include "fenwolt/Game/Engine/VertexAnimation.h"
#include "fenwolt/common/Utilities.h"

#include <cmath>

using namespace matchgeo;

namespace {

// Start frames of the looping animations, used in turn so that players do not run in step.
constexpr int32_t kLoopStartFrames[24] = {0, 3, 2, 1, 1, 2, 2, 0, 3, 2, 1, 1, 0, 0, 2, 1, 3, 0, 2, 1, 3, 1, 0, 3};
int32_t loopStartIndex = 0;

// Tackles are rolled once per tackler and holder within a phase: a tackler who failed against
// the present holder does not roll again every step he stays against him (which would make the
// odds depend on the frame rate). Holds holder + 1, 0 none.
int32_t failedTackleOn[PLAYER_COUNT] = {};
int32_t tackleHolderSeen = 0;

constexpr float KEEPER_REACH = 17.1f;
constexpr float KEEPER_GRAB = 1.7f;
constexpr float KEEPER_LANE_LOW_Z = 38.0f;
constexpr float KEEPER_LANE_HIGH_Z = 46.0f;
constexpr float JUMP_BALL_RANGE = 1.7f;
constexpr float DRIBBLE_FACTOR = 0.7f;
constexpr float LANDED_JUMP_HEIGHT = 0.01f;
constexpr float BALL_SPIN_PER_SECOND = 10.0f;
constexpr int32_t ROLL_ALWAYS_FOUL = 10000;

bool IsOneShot(int32_t slot) { return slot == ANIM_PASS || slot == ANIM_SHOOT || slot == ANIM_THROW_IN; }
bool IsLooping(int32_t slot) { return slot == ANIM_RUN || slot == ANIM_CELEBRATE || slot == ANIM_TURN; }

bool OnGround(const ModelInstance& m) { return std::fabs(m.Position.y) < 0.001f; }

bool BallAtRestHeight(const ModelInstance& ball) { return ball.Position.y <= BALL_REST_HEIGHT + 0.001f; }

bool BallIsMoving(const ModelInstance& ball) { return !Vec3EqualXZ(ball.Position, TheBall.destination); }

// Keeper 0 follows the ball only while he stands between it and the goal he defends.
bool HomeKeeperGoalSide(const ModelInstance& keeper, const ModelInstance& ball)
{
    const bool defendsLow = LowGoalScorerSide() != 0;
    return defendsLow ? !(keeper.Position.x > ball.Position.x) : !(keeper.Position.x < ball.Position.x);
}

bool BodiesTouch(int32_t a, int32_t b)
{
    const ModelInstance* ma = PlayerModel(a);
    const ModelInstance* mb = PlayerModel(b);
    if (!ma || !mb) return false;
    return SpaceDistance(ma->Position, mb->Position) <= (MatchPlayers[a].bodySize + MatchPlayers[b].bodySize) * 0.5f;
}

bool ReachesBallWithBody(int32_t p)
{
    const ModelInstance* m = PlayerModel(p);
    const ModelInstance* ball = BallModel();
    if (!m || !ball) return false;
    if (p == SetPieceTaker - 1) return false;
    return SpaceDistance(m->Position, ball->Position) <= (TheBall.radius + MatchPlayers[p].bodySize) * 0.5f;
}

void TakeHold(int32_t p)
{
    BallHolder = p + 1;
    SetPieceTaker = 0;
    LastTouchSide = IsAwaySide(p) + 1;
    LastHolder = BallHolder;
}

SquadStats* LastMatchStats(int32_t p)
{
    SquadPlayer* s = SquadPlayerOf(p);
    return s ? &s->lastMatch : nullptr;
}

enum class StepResult { Done, StopAll };

// One player's step of MovePlayers. `otherSide`: handled in the second pass.
StepResult MoveOnePlayer(int32_t i, float step, bool tackles, bool otherSide)
{
    MatchPlayer& p = MatchPlayers[i];
    ModelInstance* m = PlayerModel(i);
    ModelInstance* ball = BallModel();
    if (!m) return StepResult::Done;
    // Orders and positions may come from a saved game or the other computer: a value that is
    // not a number stops the player where he is rather than spreading into the match.
    if (!IsFinite(m->Position)) m->Position = IsFinite(p.moveTarget) ? p.moveTarget : D3DVECTOR{CENTRE_X, 0.f, CENTRE_Z};
    if (!IsFinite(p.moveTarget)) p.moveTarget = m->Position;
    if (!std::isfinite(m->Rotation.y)) m->Rotation.y = 0.f;
    const D3DVECTOR before = m->Position;
    const bool walkIn = MatchStopState == STOP_KICK_OFF;
    const bool isHolder = BallHolder == i + 1;
    bool turningOnSpot = false;
    bool instantTurn = false;
    bool moved = false;

    auto finish = [&](int32_t slot) {
        if (slot >= 0) SetPlayerAnimation(i, slot);
        MarkModelMoved(*m);
        m->Animating = 1;
        if (i == SelectedPlayer) PlaceSelectionMarker(i);
        if (BallHolder == i + 1 && !BallInFlight && !RestartPending && ball) {
            const float previousX = before.x;
            GiveBallToPlayer(i);
            TheBall.rotation += (ball->Position.x < previousX ? 1.f : -1.f) * BALL_SPIN_PER_SECOND * step;
            TheBall.rotation = ReduceAngle(TheBall.rotation);
            ball->Rotation.z = TheBall.rotation;
        }
    };

    // 1. Down after a tackle: he lies there.
    if (p.turnsDown >= 1) {
        finish(ANIM_TACKLE);
        return StepResult::Done;
    }

    // The taker of a waiting restart stays on its ball: the ball is not carried at a restart,
    // and a taker who walked on would leave it lying on the spot while he still held it.
    if (isHolder && RestartPending && !BallInFlight) {
        p.moveTarget.x = m->Position.x;
        p.moveTarget.z = m->Position.z;
    }

    // 2. The keepers' own rule while the ball is loose and moving near them.
    int32_t dive = -1;
    if (otherSide && MatchStopState == STOP_IN_PLAY && IsKeeperIndex(i) && ball && BallHolder == 0 &&
        BallIsMoving(*ball)) {
        const float toBall = GroundDistance(m->Position, ball->Position);
        const bool guards = i != HOME_KEEPER || HomeKeeperGoalSide(*m, *ball);
        if (toBall <= KEEPER_REACH && guards) {
            p.moveTarget = D3DVECTOR{m->Position.x, 0.f,
                                     std::fmax(KEEPER_LANE_LOW_Z, std::fmin(KEEPER_LANE_HIGH_Z, ball->Position.z))};
            instantTurn = true;
            if (toBall <= KEEPER_GRAB) {
                p.moveTarget = D3DVECTOR{ball->Position.x, 0.f, ball->Position.z};
                if (!BallAtRestHeight(*ball)) dive = ball->Position.z <= m->Position.z ? ANIM_DIVE_LEFT : ANIM_DIVE_RIGHT;
            }
        }
    }

    // 3. On his target.
    if (Vec3Equal(m->Position, p.moveTarget)) {
        if (p.action == ANIM_PASS && ball) {
            float dx = 0.f, dz = 0.f;
            if (GroundDirection(m->Position, TheBall.aimPoint, dx, dz)) m->Rotation.y = HeadingAlong(dx, dz);
        }
        m->Position = p.moveTarget;
        const bool takerOfLiveBall = i == SetPieceTaker - 1 && MatchStopState == STOP_IN_PLAY;
        if (BallHolder == 0 && !KickAimMode && !takerOfLiveBall) {
            if (TryPickUpBall(i) && CallOffsideOnReceive(i)) {
                finish(-1);
                return StepResult::StopAll;
            }
        }
        int32_t slot = p.action != 0 ? p.action : ANIM_STAND;
        if (dive >= 0) slot = dive;
        if (p.stance == 1) {
            const float wanted = ReduceAngle(FacingArrowHeading(i) + PI);
            const float turn = WrapAngle(wanted - m->Rotation.y);
            const float turnStep = TurnRate(i) * step;
            if (std::fabs(turn) <= turnStep) {
                m->Rotation.y = wanted;
                CancelJump(i);
                slot = ANIM_STAND;
            } else {
                m->Rotation.y = ReduceAngle(m->Rotation.y + (turn > 0.f ? turnStep : -turnStep));
                slot = ANIM_TURN;
            }
        }
        finish(slot);
        return StepResult::Done;
    }

    // 4. Toward his target.
    const bool jumper = p.moveTarget.y > 0.f;
    if (jumper && OnGround(*m) && !walkIn) {
        if (ball && BallHolder == 0 && BallAtRestHeight(*ball)) TryPickUpBall(i);
        if (!ball || GroundDistance(m->Position, ball->Position) > JUMP_BALL_RANGE || BallAtRestHeight(*ball)) {
            finish(ANIM_STAND);
            return StepResult::Done;
        }
    }

    float length;
    if (isHolder) {
        length = p.attributes[ATTR_DRIBBLE] * step * DRIBBLE_FACTOR;
        LastKicker = i;
    } else if (jumper) {
        length = JUMP_SPEED * step;
    } else {
        length = p.attributes[ATTR_SPEED] * step;
    }
    length *= TirednessFactor(i);
    if (!std::isfinite(length) || length < 0.f) length = 0.f;

    const bool clearBefore = RestartPending ? ClearPenaltyBox(i) : false;
    const float distance = SpaceDistance(m->Position, p.moveTarget);
    if (distance > length) {
        float wanted = m->Rotation.y;
        float dx = 0.f, dz = 0.f;
        if (!jumper && GroundDirection(m->Position, p.moveTarget, dx, dz)) wanted = HeadingAlong(dx, dz);
        p.heading = wanted;
        const float turn = WrapAngle(wanted - m->Rotation.y);
        const float turnStep = TurnRate(i) * step;
        if (std::fabs(turn) <= turnStep || instantTurn) {
            m->Rotation.y = wanted;
            if (distance > 0.f && std::isfinite(distance)) {
                const float k = length / distance;
                m->Position.x += (p.moveTarget.x - m->Position.x) * k;
                m->Position.y += (p.moveTarget.y - m->Position.y) * k;
                m->Position.z += (p.moveTarget.z - m->Position.z) * k;
            }
            moved = true;
        } else {
            m->Rotation.y = ReduceAngle(m->Rotation.y + (turn > 0.f ? turnStep : -turnStep));
            turningOnSpot = true;
        }
    } else {
        m->Position = p.moveTarget;
        moved = true;
        if (!otherSide) SetInstanceVisible(MoveTargetMarkerModels[i % SIDE_SIZE], false);
        // At the top of a jump he comes down again to just above the ground.
        if (jumper && p.moveTarget.y > LANDED_JUMP_HEIGHT) p.moveTarget.y = LANDED_JUMP_HEIGHT;
    }

    if (RestartPending && !clearBefore && ClearPenaltyBox(i)) {
        m->Position = before;
        p.moveTarget = before;
        moved = false;
    }

    // 5. Body contact.
    bool tackled = false;
    if (tackles) {
        int32_t contact = FindContact(i);
        if (p.contacts > 0 && contact != BALL_TARGET && contact != BallHolder) {
            // Already pressed against someone: only the ball or its holder still counts.
            if (BallHolder > 0 && BallHolder != i + 1 && BodiesTouch(i, BallHolder - 1))
                contact = BallHolder;
            else
                contact = ReachesBallWithBody(i) ? BALL_TARGET : 0;
        }
        if (contact == BALL_TARGET && RestartPending && MatchStopState != STOP_IN_PLAY && ClearPenaltyBox(i)) contact = 0;
        // While a restart waits, players do not block each other's way (the one side walks
        // clear of the spot, the other to the ball): a defender standing in the taker's path,
        // team-mates crowding the ball, or a taker waiting beside a team-mate who must leave the
        // area before a penalty, would otherwise hold the restart for ever. Nor does the side
        // that keeps away tackle the taker on his way out: it cannot win the ball, and a foul
        // on the taker would start the restart over as a free kick.
        if (RestartPending && contact > 0 && contact <= PLAYER_COUNT &&
            (contact != BallHolder || SameSide(i, contact - 1) || KeepsAwayFromRestart(i)))
            contact = 0;
        const bool playerContact = contact != 0 && contact != BALL_TARGET;
        p.moveCounterA = playerContact ? p.moveCounterA + 1 : 0;
        if (playerContact && ++p.moveCounterB > 12) p.moveCounterB = 0;

        if (contact == BALL_TARGET) {
            // A loose ball at rest is taken; a kicked ball is received through the control roll
            // of the flight, and a held ball only through a tackle on its holder.
            if (BallHolder == 0 && !(BallInFlight && ball && BallIsMoving(*ball))) {
                TakeHold(i);
                if (CallOffsideOnReceive(i)) {
                    finish(-1);
                    return StepResult::StopAll;
                }
            }
        } else if (playerContact) {
            m->Position = before;
            moved = false;
            const int32_t other = contact - 1;
            if (BallHolder == contact && !SameSide(i, other)) {
                if (BallHolder != tackleHolderSeen) {
                    ClearTackleAttempts();
                    tackleHolderSeen = BallHolder;
                }
                if (failedTackleOn[i] != BallHolder) {
                    ResolveTackle(i, other);
                    tackled = true;
                }
            }
        }
    }

    // 6. The animation of the step.
    int32_t slot;
    if (walkIn) {
        // After a goal the side that scored (the other one kicks off) celebrates on its way back.
        const bool homeScored = KickOffPhase != 0;
        slot = WalkInAfterGoal && (IsAwaySide(i) == 0) == homeScored ? ANIM_CELEBRATE : ANIM_RUN;
    } else if (dive >= 0) {
        slot = dive;
    } else if (tackled) {
        slot = ANIM_TACKLE;
    } else if (!OnGround(*m)) {
        slot = (ball && ball->Position.y >= p.headHeight * 0.5f) ? ANIM_JUMP : ANIM_VOLLEY;
    } else if (turningOnSpot) {
        slot = ANIM_TURN;
    } else {
        slot = moved ? ANIM_RUN : ANIM_STAND;
    }
    finish(slot);
    return StepResult::Done;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
float TirednessFactor(int32_t player)
{
    if (!IsPlayerIndex(player)) return 1.f;
    const MatchPlayer& p = MatchPlayers[player];
    if (!IsTired(p)) return 1.f;
    if (p.energy < 10.f) return 0.5f;
    if (p.energy < 25.f) return 0.67f;
    if (p.energy < 50.f) return 0.75f;
    return 0.9f;
}

float TurnRate(int32_t player)
{
    if (!IsPlayerIndex(player)) return 0.f;
    const MatchPlayer& p = MatchPlayers[player];
    const float ability = BallHolder == player + 1 ? p.attributes[ATTR_CLOSE_CONTROL] : p.attributes[ATTR_TURN];
    const float rate = TWO_PI * ability;
    return std::isfinite(rate) && rate > 0.f ? rate : 0.f;
}

void ClearTackleAttempts()
{
    for (int32_t& f : failedTackleOn) f = 0;
    tackleHolderSeen = BallHolder;
}

void MovePlayers(bool tackles)
{
    if (TurnPhase != PHASE_HOME_MOVES && TurnPhase != PHASE_AWAY_MOVES) return;
    const float step = MatchStepSeconds();
    const int32_t movingFirst = TurnPhase == PHASE_HOME_MOVES ? 0 : SIDE_SIZE;
    const int32_t otherFirst = SIDE_SIZE - movingFirst;
    if (BallHolder != tackleHolderSeen) ClearTackleAttempts();

    // Pass 1: the moving side, for exactly the phase's time (never a negative step once the
    // phase has run its time and only waits for the ball). A wait left over from the phase in
    // which a goal fell does not hold up the walk-in to the kick-off.
    if (!WaitingForBall || MatchStopState == STOP_KICK_OFF) {
        float first = step;
        if (MatchStopState != STOP_GOAL && MatchStopState != STOP_KICK_OFF && MatchStopState != STOP_FULL_TIME &&
            PhaseTimer + step >= PhaseDuration[TurnPhase]) {
            first = PhaseDuration[TurnPhase] - PhaseTimer;
            if (!(first > 0.f)) first = 0.f;
        }
        for (int32_t i = movingFirst; i < movingFirst + SIDE_SIZE; ++i) {
            if (MoveOnePlayer(i, first, tackles, false) == StepResult::StopAll) return;
        }
    }

    // Pass 2: the other side's keeper (ball in play) and its ordered jumpers.
    for (int32_t i = otherFirst; i < otherFirst + SIDE_SIZE; ++i) {
        const bool keeper = IsKeeperIndex(i) && MatchStopState == STOP_IN_PLAY;
        if (!keeper && MatchPlayers[i].stance != 2) continue;
        if (MoveOnePlayer(i, step, tackles, true) == StepResult::StopAll) return;
    }

    if (tackles) CountContacts();
}

bool TryPickUpBall(int32_t player)
{
    if (!IsPlayerIndex(player)) return false;
    if (KeepsAwayFromRestart(player)) return false;
    // The kick-off ball waits on the centre spot for its taker; nobody walking in collects it.
    if (MatchStopState == STOP_KICK_OFF) return false;
    const ModelInstance* m = PlayerModel(player);
    const ModelInstance* ball = BallModel();
    if (!m || !ball) return false;
    // A kicked ball on its way is received through the control roll of its flight.
    if (BallInFlight && BallIsMoving(*ball)) return false;
    if (!(SpaceDistance(m->Position, ball->Position) <= TheBall.radius + MatchPlayers[player].bodySize)) return false;
    TakeHold(player);
    return true;
}

int32_t FindContact(int32_t player)
{
    const ModelInstance* ball = BallModel();
    if (player == BALL_TARGET) {
        if (!ball) return 0;
        for (int32_t q = 0; q < PLAYER_COUNT; ++q) {
            if (q == LastHolder - 1) continue;
            const ModelInstance* m = PlayerModel(q);
            if (!m) continue;
            const MatchPlayer& p = MatchPlayers[q];
            const float ground = GroundDistance(m->Position, ball->Position);
            if (IsKeeperIndex(q)) {
                if (ground <= (p.bodySize + TheBall.radius) * 0.75f &&
                    ball->Position.y <= p.headHeight * 1.71f + m->Position.y + TheBall.radius)
                    return q + 1;
            } else if (ground <= (p.bodySize + TheBall.radius) * 0.5f &&
                       ball->Position.y <= p.headHeight + m->Position.y) {
                return q + 1;
            }
        }
        return 0;
    }
    if (!IsPlayerIndex(player)) return 0;
    for (int32_t q = 0; q < PLAYER_COUNT; ++q) {
        if (q != player && BodiesTouch(player, q)) return q + 1;
    }
    return ReachesBallWithBody(player) ? BALL_TARGET : 0;
}

bool IsTackleFromBehind(int32_t tackler, int32_t victim)
{
    const ModelInstance* a = PlayerModel(tackler);
    const ModelInstance* b = PlayerModel(victim);
    if (!a || !b) return false;
    // Compared the short way round: 0.1 and 6.2 face alike.
    return AngleGap(a->Rotation.y, b->Rotation.y) < HALF_PI;
}

void CountContacts()
{
    if (TurnPhase != PHASE_HOME_MOVES && TurnPhase != PHASE_AWAY_MOVES) return;
    for (MatchPlayer& p : MatchPlayers) p.contacts = 0;
    const int32_t first = TurnPhase == PHASE_HOME_MOVES ? 0 : SIDE_SIZE;
    for (int32_t i = first; i < first + SIDE_SIZE; ++i) {
        if (MatchPlayers[i].turnsDown > 0 || BallHolder == i + 1) continue;
        const int32_t c = FindContact(i);
        if (c == 0 || c == BALL_TARGET) continue;
        ++MatchPlayers[i].contacts;
        ++MatchPlayers[c - 1].contacts;
    }
}

void SetPlayerAnimation(int32_t player, int32_t slot)
{
    if (!IsPlayerIndex(player) || slot < 0 || slot > ANIM_TURN) return;
    ModelInstance* m = PlayerModel(player);
    if (!m) return;
    if (m->AnimationSlot == slot) {
        if (IsOneShot(slot) && m->AnimationLoopLimit > 0 && m->AnimationLoopsDone >= m->AnimationLoopLimit)
            MatchPlayers[player].action = 0;
        return;
    }
    ResetInstanceAnimations(*m);
    m->AnimationSlot = slot;
    m->AnimationLoopsDone = 0;
    m->AnimationLoopLimit = IsOneShot(slot) ? 1 : 0;
    if (IsLooping(slot)) {
        const int32_t start = kLoopStartFrames[loopStartIndex];
        loopStartIndex = (loopStartIndex + 1) % 24;
        const int32_t frames = (int32_t)AnimationStore[slot].FrameCount;
        m->AnimCurrentFrame[slot] = frames > 0 ? start % frames : start;
        m->AnimNextFrame[slot] = frames > 0 ? (start + 1) % frames : start + 1;
    } else {
        m->AnimCurrentFrame[slot] = 0;
    }
}

void GiveBallToPlayer(int32_t player)
{
    ModelInstance* m = PlayerModel(player);
    ModelInstance* ball = BallModel();
    if (!m || !ball) return;
    ball->Position = D3DVECTOR{m->Position.x, BALL_REST_HEIGHT, m->Position.z};
    SetInstanceVisible(TheBall.model, true);
    MarkModelMoved(*ball);
    ball->Animating = 1;
    PlaceBallMarker();
}

void ResolveTackle(int32_t tackler, int32_t holder)
{
    if (!IsPlayerIndex(tackler) || !IsPlayerIndex(holder)) return;
    const float* t = MatchPlayers[tackler].attributes;
    const float* h = MatchPlayers[holder].attributes;
    const bool behind = IsTackleFromBehind(tackler, holder);
    float chance = t[ATTR_TACKLING] + 150.0f - h[ATTR_SHIELDING];
    if (behind) chance *= 0.25f;

    int32_t roll = RandomBelow(300);
    if (CheatControl == 1) roll = ROLL_ALWAYS_FOUL;
    if (CheatControl == 2) roll = 0;
    const ModelInstance* ball = BallModel();
    if (IsKeeperIndex(tackler) && ball && PenaltyAreaAt(ball->Position) != BOX_NONE) roll = 0;
    if ((holder == HOME_KEEPER && ShootingZone(HOME_KEEPER, 1) > 0) ||
        (holder == AWAY_KEEPER && ShootingZone(AWAY_KEEPER, 0) > 0))
        roll = ROLL_ALWAYS_FOUL;

    SquadStats* ts = LastMatchStats(tackler);
    SquadStats* hs = LastMatchStats(holder);
    if (TruncToInt(chance) < roll) {
        failedTackleOn[tackler] = holder + 1;
        if (ts) ++ts->tackleAttemptsLost;
        if (hs) ++hs->preventedBeingTackled;
        PlaySecondarySound(SOUND_HEAD, true);
        bool foul = roll == ROLL_ALWAYS_FOUL;
        if (!foul && behind) {
            const int32_t second = RandomBelow(200);
            foul = TruncToInt(t[ATTR_TACKLING] + 100.0f - h[ATTR_SHIELDING]) < second;
        }
        if (foul) {
            LogMatchEvent(EVENT_FOULED, holder, tackler);
            AwardFoul(tackler, holder);
        }
        return;
    }

    LogMatchEvent(EVENT_TACKLED, holder, tackler);
    PlaySecondarySound(SOUND_KICK, true);
    PlaySecondarySound(tackler < SIDE_SIZE ? SOUND_CHEER : SOUND_GASP, false);
    if (ts) ++ts->tacklesWon;
    if (hs) ++hs->haveBeenTackled;
    TakeHold(tackler);
    tackleHolderSeen = BallHolder;
    // Counted down at the start of each of his side's turns: down for the next two of them.
    MatchPlayers[holder].turnsDown = TACKLED_TURNS_DOWN + 1;
}

void ResetMovementState()
{
    loopStartIndex = 0;
    ClearTackleAttempts();
}
