#include "fenwolt/Game/Match/Computer.h"

#include "fenwolt/Game/Engine/Instances.h"
#include "fenwolt/Game/Match/BallFlight.h"
#include "fenwolt/Game/Match/Hud.h"
#include "fenwolt/Game/Match/MatchScreen.h"
#include "fenwolt/Game/Match/Rules.h"
#include "fenwolt/Game/Match/TurnEngine.h"
#include "fenwolt/common/Utilities.h"

#include <algorithm>
#include <cmath>

using namespace matchgeo;

int32_t NearestToBall = 0;
int32_t NearestComputerToBall = AWAY_KEEPER;
int32_t NearestGoalSideComputer = PLAYER_NONE;
int32_t BallClass = 0;
float AIOffset = 0.f;
PassCandidate PassCandidates[PASS_CANDIDATE_COUNT];
const float ShotTargets[SHOT_TARGET_COUNT] = {39.08f, 40.08f, 41.08f, 42.08f, 43.08f, 44.08f, 45.08f};

namespace {

constexpr int32_t FIRST_COMPUTER = SIDE_SIZE;
constexpr int32_t FIRST_OUTFIELD = SIDE_SIZE + 1;
constexpr float CHASE_DISTANCE = 5.0f;
constexpr float NEAR_OPPONENT = 5.0f, MARKING_OPPONENT = 10.0f;
constexpr float PASSER_DISTANCE = 9999.0f;
constexpr float SHOT_AIM_LOW_X = 3.7f, SHOT_AIM_HIGH_X = 115.57f;
constexpr float CORNER_AIM_LOW_X = 17.5f, CORNER_AIM_HIGH_X = 101.55f;
constexpr float CORNER_AIM_LOW_Z = 22.08f, CORNER_AIM_HIGH_Z = 62.08f;
// Shorter than this, a pass would leave the ball where it lies.
constexpr float MIN_PASS_LENGTH = 0.5f;

const int32_t kGoalRankPoints[PASS_CANDIDATE_COUNT] = {25, 15, 10, 8, 7, 6, 5, 4, 3, 2, 0};
const int32_t kPasserRankPoints[PASS_CANDIDATE_COUNT] = {10, 7, 5, 4, 3, 2, 1, 1, 1, 0, 0};

// The computer attacks the low-x goal when it is the side that scores there.
bool AttacksLow() { return LowGoalScorerSide() == COMPUTER_SIDE; }
bool SideAttacksLow(int32_t side) { return LowGoalScorerSide() == side; }
bool SideAttacksHigh(int32_t side) { return GoalSideTable[1] == side; }

int32_t Holder() { return (BallHolder >= 1 && BallHolder <= PLAYER_COUNT) ? BallHolder - 1 : PLAYER_NONE; }

bool IsComputerPlayer(int32_t p) { return p >= FIRST_COMPUTER && p < PLAYER_COUNT; }

bool KeeperHoldsBall()
{
    const int32_t h = Holder();
    return IsPlayerIndex(h) && MatchPlayers[h].role == ROLE_KEEPER;
}

bool StandingStill(int32_t p) { return Vec3Equal(PlayerPosition(p), MatchPlayers[p].moveTarget); }

bool IsMoving(int32_t p) { return !Vec3EqualXZ(PlayerPosition(p), MatchPlayers[p].moveTarget); }

void SetTarget(int32_t p, float x, float z)
{
    MatchPlayer& m = MatchPlayers[p];
    m.moveTarget.x = x;
    m.moveTarget.z = z;
}

// The player stands where he is.
void StandStill(int32_t p)
{
    const D3DVECTOR pos = PlayerPosition(p);
    MatchPlayers[p].moveTarget = D3DVECTOR{pos.x, 0.f, pos.z};
}

float IndexOffset(int32_t p, float base, float perIndex) { return base - (float)(PLAYER_COUNT - p) * perIndex; }

// Another computer player to give the ball to: the most advanced one, or the nearest to the
// ball when that finds nobody else.
int32_t ForwardTarget(int32_t h, const D3DVECTOR& ball)
{
    int32_t t = FindMostAdvanced(ball, FIRST_COMPUTER, PLAYER_COUNT, COMPUTER_SIDE, h);
    if (!IsComputerPlayer(t) || t == h) t = 20;
    if (t == h) t = FindNearestInRangeExcept(ball, FIRST_COMPUTER, PLAYER_COUNT, h);
    return t;
}

// The rest of the computer's side leaves the area before its penalty is taken.
void KeepOutOfPenaltyArea(int32_t p)
{
    if (MatchStopState != STOP_FOUL || RestartSide != COMPUTER_SIDE) return;
    MatchPlayer& m = MatchPlayers[p];
    if (PenaltyEnd == PENALTY_LOW_END && m.moveTarget.x < PENALTY_AREA_LOW_X + 1.0f)
        m.moveTarget.x = PENALTY_AREA_LOW_X + 3.0f;
    else if (PenaltyEnd == PENALTY_HIGH_END && m.moveTarget.x >= PENALTY_AREA_HIGH_X - 1.0f)
        m.moveTarget.x = PENALTY_AREA_HIGH_X - 3.0f;
}

void BubbleSort(PassCandidate (&c)[PASS_CANDIDATE_COUNT], bool (*before)(const PassCandidate&, const PassCandidate&))
{
    for (int pass = 0; pass < PASS_CANDIDATE_COUNT - 1; ++pass)
        for (int i = 0; i + 1 < PASS_CANDIDATE_COUNT; ++i)
            if (before(c[i + 1], c[i])) std::swap(c[i], c[i + 1]);
}

// Orders for one outfield player by his role while defending.
void DefendByRole(int32_t p, int32_t attackersSoFar, bool inOwnHalf, bool homeKeeperHolds, const D3DVECTOR& ball)
{
    const MatchPlayer& m = MatchPlayers[p];
    const bool nearBall = SpaceDistance(PlayerPosition(p), ball) <= CHASE_DISTANCE;
    switch (m.role) {
    case ROLE_DEF:
        if (!inOwnHalf) {
            AIPosition(p, 0);
        } else if (nearBall) {
            AIPosition(p, 1);
        } else if (IsBallInOwnBoxZone(COMPUTER_SIDE)) {
            AIPosition(p, IsBallAheadOfPlayer(COMPUTER_SIDE, p) ? 4 : 3);
            AIPosition(p, 5);
        } else {
            AIPosition(p, IsBallAheadOfPlayer(COMPUTER_SIDE, p) ? 0 : 3);
        }
        break;
    case ROLE_MID:
        if (!inOwnHalf)
            AIPosition(p, 0);
        else if (nearBall && !homeKeeperHolds)
            AIPosition(p, 1);
        else if (m.wingFlag == 0)
            AIPosition(p, IsBallAheadOfPlayer(COMPUTER_SIDE, p) ? 6 : 7);
        else
            AIPosition(p, IsBallWideOnFlank(p) ? 1 : 7);
        break;
    case ROLE_ATT:
        if (!IsPlayerFresh(p))
            AIPosition(p, 20);
        else if (nearBall && !homeKeeperHolds)
            AIPosition(p, 1);
        else if (!inOwnHalf)
            AIPosition(p, attackersSoFar == 1 && !homeKeeperHolds ? 1 : attackersSoFar == 2 ? 8 : 0);
        else
            AIPosition(p, attackersSoFar >= 2 && IsBallInOwnBoxZone(COMPUTER_SIDE) ? 9 : 0);
        break;
    default:
        AIPosition(p, 0);
        break;
    }
}

void AttackCorner(int32_t p)
{
    const MatchPlayer& m = MatchPlayers[p];
    AIPosition(p, 17);
    const bool sameFlank = IsBallOnSameFlank(p);
    const bool wide = m.wingFlag == 1;
    if (m.role == ROLE_MID && wide && !sameFlank) {
        AIOffset = IndexOffset(p, 10.f, 0.25f);
        AIPosition(p, 14);
        AIOffset = -IndexOffset(p, 10.f, 0.25f);
        AIPosition(p, 13);
    } else if (m.role == ROLE_DEF && wide && sameFlank) {
        AIOffset = IndexOffset(p, 20.f, 0.25f);
        AIPosition(p, 14);
    } else if (m.role == ROLE_DEF && !wide && !sameFlank) {
        AIOffset = IndexOffset(p, 30.f, 0.25f);
        AIPosition(p, 14);
    } else if (m.role == ROLE_DEF && wide && !sameFlank) {
        AIOffset = IndexOffset(p, 15.f, 0.25f);
        AIPosition(p, 13);
    }
    ClampTargetToPitch(p);
}

void AttackOpenPlay(int32_t p, bool inOwnHalf, bool keeperHolds)
{
    const MatchPlayer& m = MatchPlayers[p];
    const bool fresh = IsPlayerFresh(p);
    const bool wide = m.wingFlag == 1;
    switch (m.role) {
    case ROLE_KEEPER:
        AIPosition(p, fresh || inOwnHalf ? 0 : 20);
        break;
    case ROLE_DEF:
        AIPosition(p, 10);
        if (fresh || inOwnHalf) {
            if (inOwnHalf) {
                if (!keeperHolds) {
                    AIOffset = IndexOffset(p, 10.f, 0.25f);
                    AIPosition(p, 11);
                }
            } else if (wide) {
                AIOffset = IndexOffset(p, 15.f, 0.25f);
                AIPosition(p, 11);
            }
        } else {
            AIPosition(p, 20);
        }
        break;
    case ROLE_MID:
        AIPosition(p, 10);
        if (fresh || !wide || IsBallWideOnFlank(p)) {
            if (inOwnHalf) {
                if (keeperHolds) break;
                if (!wide) {
                    if (!fresh) {
                        AIPosition(p, 20);
                    } else {
                        AIOffset = 2.0f;
                        AIPosition(p, 11);
                    }
                } else {
                    AIOffset = IsBallOnSameFlank(p) ? -7.0f : -17.0f;
                    AIPosition(p, 11);
                }
            } else if (wide) {
                if (IsBallWideOnFlank(p)) {
                    AIOffset = 2.0f;
                    AIPosition(p, 11);
                } else if (IsBallInAttackBoxZone(COMPUTER_SIDE)) {
                    AIOffset = 2.0f;
                    AIPosition(p, 12);
                } else if (!IsBallOnSameFlank(p)) {
                    AIOffset = -5.0f;
                    AIPosition(p, 11);
                    AIPosition(p, 13);
                } else {
                    AIOffset = 1.0f;
                    AIPosition(p, 11);
                }
            } else if (!IsBallOnSameFlank(p)) {
                AIOffset = IndexOffset(p, 10.f, 0.25f);
                AIPosition(p, 14);
            }
        } else {
            AIPosition(p, 20);
        }
        break;
    case ROLE_ATT:
        AIPosition(p, 10);
        if (fresh || !inOwnHalf) {
            if (inOwnHalf) {
                if (!keeperHolds) {
                    AIOffset = -25.0f;
                    AIPosition(p, 11);
                }
            } else if (IsBallInAttackBoxZone(COMPUTER_SIDE)) {
                AIOffset = IsBallOnSameFlank(p) ? IndexOffset(p, 17.f, 0.25f) : IndexOffset(p, 21.f, 0.25f);
                AIPosition(p, 14);
            } else if (!IsBallOnSameFlank(p)) {
                AIOffset = -5.0f;
                AIPosition(p, 11);
            } else if (IsBallAheadOfPlayer(COMPUTER_SIDE, p)) {
                AIOffset = IndexOffset(p, 7.f, 0.25f);
                AIPosition(p, 14);
            }
        } else {
            AIPosition(p, 20);
        }
        break;
    default:
        AIPosition(p, 10);
        break;
    }
}

// Shot odds outside the zone nearest the goal: one in n by role (0: never).
int32_t ShotOddsFor(int32_t role, int32_t zone)
{
    if (zone == 2) return role == ROLE_ATT ? 2 : role == ROLE_MID ? 3 : role == ROLE_DEF ? 5 : 0;
    if (zone == 1) return role == ROLE_ATT ? 3 : role == ROLE_MID ? 7 : role == ROLE_DEF ? 11 : 0;
    return 0;
}

}  // namespace

// --- Zone tests ---------------------------------------------------------------------------------------
bool IsBallNearGoalLine(int32_t side)
{
    const float x = BallPosition().x;
    return SideAttacksLow(side) ? x < 10.94f : x > 108.07f;
}

int32_t ShootingZone(int32_t player, int32_t side)
{
    const D3DVECTOR at = player == BALL_TARGET ? BallPosition() : IsPlayerIndex(player) ? PlayerPosition(player)
                                                                                         : D3DVECTOR{CENTRE_X, 0, CENTRE_Z};
    if (!(at.z >= 27.63f && at.z <= 55.18f)) return 0;
    if (SideAttacksLow(side)) {
        if (at.x < 15.06f) return 3;
        if (at.x < 25.06f) return 2;
        if (at.x < 35.06f) return 1;
        return 0;
    }
    if (at.x > 107.44f) return 3;
    if (at.x > 97.44f) return 2;
    if (at.x > 87.44f) return 1;
    return 0;
}

bool IsBallAheadOfPlayer(int32_t side, int32_t player)
{
    if (!IsPlayerIndex(player)) return false;
    if (BallPosition().x < PlayerPosition(player).x) return SideAttacksLow(side);
    return SideAttacksHigh(side);
}

bool IsBallInOwnBoxZone(int32_t side)
{
    const float x = BallPosition().x;
    return (x < PENALTY_AREA_LOW_X && !SideAttacksLow(side)) || (x >= PENALTY_AREA_HIGH_X && !SideAttacksHigh(side));
}

bool IsBallInAttackBoxZone(int32_t side)
{
    const float x = BallPosition().x;
    return (x < PENALTY_AREA_LOW_X && SideAttacksLow(side)) || (x >= PENALTY_AREA_HIGH_X && SideAttacksHigh(side));
}

bool IsBallWideOnFlank(int32_t player)
{
    if (!IsPlayerIndex(player)) return false;
    const float bz = BallPosition().z, pz = PlayerPosition(player).z;
    return (bz < PENALTY_AREA_LOW_Z && pz < CENTRE_Z) || (bz > PENALTY_AREA_HIGH_Z && pz > CENTRE_Z);
}

bool IsBallOnSameFlank(int32_t player)
{
    if (!IsPlayerIndex(player)) return false;
    const float bz = BallPosition().z, pz = PlayerPosition(player).z;
    return (bz >= CENTRE_Z && pz > CENTRE_Z) || (bz < CENTRE_Z && pz < CENTRE_Z);
}

bool IsPlayerFresh(int32_t player) { return IsPlayerIndex(player) && !IsTired(MatchPlayers[player]); }

bool IsOutOfPlay(int32_t player) { return IsPlayerIndex(player) && MatchPlayers[player].turnsDown > 0; }

// --- Turn -------------------------------------------------------------------------------------------------
void RunComputerTurn()
{
    const D3DVECTOR ball = BallPosition();
    NearestToBall = FindNearestPlayer(ball);
    NearestComputerToBall = FindNearestInRange(ball, FIRST_COMPUTER, PLAYER_COUNT);
    NearestGoalSideComputer = FindNearestNotAhead(ball, FIRST_COMPUTER, PLAYER_COUNT, COMPUTER_SIDE, 1.0f);
    if (NearestGoalSideComputer == AWAY_KEEPER && (ball.z < 27.94f || ball.z > 56.14f))
        NearestGoalSideComputer = FindNearestNotAhead(ball, FIRST_OUTFIELD, PLAYER_COUNT, COMPUTER_SIDE, 1.0f);

    // The ball is looked at, never refereed, from here: a goal is given by the match step.
    BallClass = ClassifyPosition(ball);
    BallInBox = PenaltyAreaAt(ball);

    // The decision counter counts one holder's turns: whoever does not hold the ball starts
    // again from 0, so a new taker always waits his full number of turns.
    const int32_t holder = Holder();
    for (int32_t p = FIRST_COMPUTER; p < PLAYER_COUNT; ++p)
        if (p != holder) MatchPlayers[p].aiCounter = 0;

    if (holder == PLAYER_NONE) {
        // Every restart of the computer's own is attacked (and so taken), goal kicks included.
        if (RestartSide == COMPUTER_SIDE && IsRestartState(MatchStopState))
            AIAttack();
        else if (NearestToBall <= 12)
            AIDefend();
        else
            AIAttack();
    } else if (holder < SIDE_SIZE) {
        AIDefend();
    } else {
        AIAttack();
    }
    ClampComputerTargets();
}

void AIDefend()
{
    const D3DVECTOR ball = BallPosition();
    const bool inOwnHalf = IsBallInYourHalf(COMPUTER_SIDE);

    if (!IsOutOfPlay(AWAY_KEEPER)) {
        const int32_t k = AWAY_KEEPER;
        const bool mayChase = MatchStopState < STOP_GOAL || RestartSide != 0;
        if (!inOwnHalf) {
            AIPosition(k, 0);
        } else if (NearestToBall == k || NearestComputerToBall == k) {
            AIPosition(k, mayChase ? 1 : 0);
        } else if (NearestGoalSideComputer == k) {
            if (mayChase) AIPosition(k, 1);
        } else if (BallInBox == BOX_LOW || BallInBox == BOX_HIGH) {
            AIPosition(k, SpaceDistance(PlayerPosition(k), ball) > 7.0f ? 2 : 1);
        } else {
            AIPosition(k, ball.z > PENALTY_AREA_HIGH_Z || ball.z < PENALTY_AREA_LOW_Z ? 2 : 0);
        }
    }

    const bool homeKeeperHolds = BallHolder == HOME_KEEPER + 1;
    const int32_t chaser = NearestGoalSideComputer != PLAYER_NONE ? NearestGoalSideComputer : NearestComputerToBall;
    int32_t attackers = 0;
    for (int32_t p = FIRST_OUTFIELD; p < PLAYER_COUNT; ++p) {
        const MatchPlayer& m = MatchPlayers[p];
        if (m.role == ROLE_ATT) ++attackers;
        if (IsOutOfPlay(p)) continue;
        if (MatchStopState == STOP_GOAL_KICK) {
            AIPosition(p, 10);
        } else if (MatchStopState == STOP_OFFSIDE) {
            AIPosition(p, 0);
        } else if (MatchStopState == STOP_FOUL) {
            if (ShootingZone(BALL_TARGET, 0) == 0) {
                AIPosition(p, 0);
                if (m.role == ROLE_ATT && inOwnHalf) AIPosition(p, 21);
            } else if (m.role >= ROLE_DEF && m.role <= ROLE_ATT) {
                AIPosition(p, 19);
            }
        } else if (!homeKeeperHolds && p == chaser) {
            AIPosition(p, 1);
        } else {
            DefendByRole(p, attackers, inOwnHalf, homeKeeperHolds, ball);
        }
    }

    AIFaceUpfield();
    AISidestep();
    AIPrepareHeaders();
}

void AIAttack()
{
    const int32_t holder = Holder();
    const int32_t holderAtStart = IsComputerPlayer(holder) ? holder : PLAYER_NONE;
    const bool inOwnHalf = IsBallInYourHalf(COMPUTER_SIDE);
    const bool keeperHolds = KeeperHoldsBall();

    // One order per player, the first case that applies.
    for (int32_t p = FIRST_COMPUTER; p < PLAYER_COUNT; ++p) {
        if (IsOutOfPlay(p) || p == holder) continue;
        const MatchPlayer& m = MatchPlayers[p];
        if (holder == PLAYER_NONE && MatchStopState != STOP_GOAL_KICK && p == NearestComputerToBall) {
            AIPosition(p, 1);
        } else if (MatchStopState == STOP_CORNER) {
            AttackCorner(p);
        } else if (MatchStopState == STOP_THROW_IN) {
            AIPosition(p, 10);
            if (m.role == ROLE_MID && IsBallOnSameFlank(p)) {
                AIOffset = m.wingFlag == 1 ? -3.0f : 3.0f;
                AIPosition(p, 18);
            }
        } else if (MatchStopState == STOP_GOAL_KICK) {
            AIPosition(p, m.role == ROLE_KEEPER ? 1 : 0);
        } else if (MatchStopState == STOP_OFFSIDE || MatchStopState == STOP_FOUL) {
            AIPosition(p, m.role == ROLE_KEEPER ? 0 : 10);
            KeepOutOfPenaltyArea(p);
        } else {
            if (KickOffPending && (p == BallHolder - 1 || p == KickOffPartner - 1)) continue;
            AttackOpenPlay(p, inOwnHalf, keeperHolds);
        }
    }

    AIStayOnside();
    AIFaceUpfield();
    AISidestep();
    if (holderAtStart != PLAYER_NONE && Holder() == holderAtStart) AIBallHolderDecision(holderAtStart);
    AIPrepareHeaders();
}

void AIBallHolderDecision(int32_t h)
{
    if (!IsComputerPlayer(h) || IsOutOfPlay(h) || BallHolder != h + 1 || KickOffPending) return;
    MatchPlayer& m = MatchPlayers[h];
    int32_t& counter = m.aiCounter;
    const D3DVECTOR ball = BallPosition();

    switch (MatchStopState) {
    case STOP_CORNER:
        if (++counter > 3) {
            counter = 0;
            AIPass(h, 20, 3);
        }
        return;
    case STOP_GOAL_KICK:
    case STOP_OFFSIDE:
        if (++counter > 3) {
            counter = 0;
            AIPass(h, ForwardTarget(h, ball), 1);
        }
        return;
    case STOP_FOUL:
        if (++counter > 5) {
            // A penalty waits until the area is clear of the taker's team-mates, who are sent out.
            if (PenaltyEnd > 0 && PenaltyAreaCrowded()) return;
            counter = 0;
            if (ShootingZone(BALL_TARGET, COMPUTER_SIDE) == 0)
                AIPass(h, ForwardTarget(h, ball), 1);
            else
                AIShoot(h);
        }
        return;
    case STOP_THROW_IN:
        if (++counter < 3) {
            if (ModelInstance* model = PlayerModel(h)) {
                model->Rotation.y = PlayerPosition(h).z <= CENTRE_Z ? PI : 0.f;
                model->MatrixValid = 0;
            }
            PlaceNumberMarker(h, true);
        } else {
            counter = 0;
            AIPass(h, FindNearestInRangeExcept(ball, FIRST_COMPUTER, PLAYER_COUNT, h), 1);
            m.action = ANIM_THROW_IN;
        }
        return;
    default:
        break;
    }

    if (m.role == ROLE_KEEPER && MatchStopState == STOP_IN_PLAY) {
        if (++counter > 2) {
            counter = 0;
            AIPass(h, ForwardTarget(h, ball), 1);
            return;
        }
    }

    const int32_t zone = ShootingZone(BALL_TARGET, COMPUTER_SIDE);
    if (zone == 3) {
        AIShoot(h);
        return;
    }
    const int32_t odds = ShotOddsFor(m.role, zone);
    if (odds > 0 && RandomBelow(odds) == 0) {
        AIShoot(h);
        return;
    }

    if (IsBallNearGoalLine(COMPUTER_SIDE)) {
        int32_t t = FindMostAdvanced(ball, FIRST_COMPUTER, PLAYER_COUNT, COMPUTER_SIDE, h);
        if (t == h || t >= PLAYER_NONE || t < 0) t = FindNearestInRangeExcept(ball, FIRST_COMPUTER, PLAYER_COUNT, h);
        AIPass(h, t, ShootingZone(t, COMPUTER_SIDE) >= 2 ? 2 : 1);
        return;
    }

    float d = NO_DISTANCE;
    const int32_t opponent = FindNearestAhead(ball, 0, SIDE_SIZE, COMPUTER_SIDE, 0.0f, true, &d);
    if (m.role == ROLE_DEF && IsBallInYourHalf(COMPUTER_SIDE)) {
        if (d <= 15.0f) {
            AICleverPass(h);
        } else {
            AIOffset = 10.0f;
            AIPosition(h, 15);
        }
    } else if (d > 15.0f) {
        AIOffset = m.role == ROLE_ATT ? 10.0f : 7.0f;
        AIPosition(h, 15);
        if (m.wingFlag == 1 && !IsBallWideOnFlank(h)) {
            AIOffset = -5.0f;
            AIPosition(h, 16);
        } else if (m.wingFlag == 0 && IsBallWideOnFlank(h)) {
            AIOffset = 5.0f;
            AIPosition(h, 16);
        }
    } else if (d >= 7.0f) {
        if (++counter < 4) {
            AIOffset = 10.0f;
            AIPosition(h, 15);
            const float opponentZ = IsPlayerIndex(opponent) ? PlayerPosition(opponent).z : ball.z;
            AIOffset = PlayerPosition(h).z <= opponentZ ? 5.0f : -5.0f;
            AIPosition(h, 16);
        } else {
            counter = 0;
            if (zone == 0)
                AICleverPass(h);
            else
                AIShoot(h);
        }
    } else if (zone < 2) {
        AICleverPass(h);
    } else {
        AIShoot(h);
    }
}

void AICleverPass(int32_t passer)
{
    if (!IsComputerPlayer(passer)) return;
    const D3DVECTOR ball = BallPosition();
    const bool low = AttacksLow();
    const D3DVECTOR goal{low ? GOAL_LINE_LOW_X : GOAL_LINE_HIGH_X, 0.f, CENTRE_Z};
    const D3DVECTOR from = PlayerPosition(passer);

    for (int32_t i = 0; i < PASS_CANDIDATE_COUNT; ++i) {
        PassCandidate& c = PassCandidates[i];
        const int32_t p = FIRST_COMPUTER + i;
        const D3DVECTOR at = PlayerPosition(p);
        c.player = p;
        c.score = 0;
        if (p == passer) {
            c.distanceToGoal = c.distanceToPasser = PASSER_DISTANCE;
            c.ahead = 0;
        } else {
            c.distanceToGoal = SpaceDistance(at, goal);
            c.distanceToPasser = SpaceDistance(at, from);
            c.ahead = low ? at.x <= ball.x : at.x >= ball.x;
        }
        c.opponentsWithin5 = c.opponentsWithin10 = 0;
        for (int32_t q = 0; q < SIDE_SIZE; ++q) {
            const float d = SpaceDistance(PlayerPosition(q), at);
            if (d <= NEAR_OPPONENT) ++c.opponentsWithin5;
            if (d <= MARKING_OPPONENT) ++c.opponentsWithin10;
        }
    }

    BubbleSort(PassCandidates, [](const PassCandidate& a, const PassCandidate& b) {
        return a.distanceToGoal < b.distanceToGoal;
    });
    for (int32_t i = 0; i < PASS_CANDIDATE_COUNT; ++i) PassCandidates[i].score += kGoalRankPoints[i];
    BubbleSort(PassCandidates, [](const PassCandidate& a, const PassCandidate& b) {
        return a.distanceToPasser < b.distanceToPasser;
    });
    for (int32_t i = 0; i < PASS_CANDIDATE_COUNT; ++i) PassCandidates[i].score += kPasserRankPoints[i];

    MarkOffsidePlayers();
    for (PassCandidate& c : PassCandidates) {
        if (!c.ahead) c.score -= 5;
        c.score -= 5 * c.opponentsWithin5 + 2 * c.opponentsWithin10;
        if (MatchPlayers[c.player].offside) c.score -= 10;
    }
    BubbleSort(PassCandidates, [](const PassCandidate& a, const PassCandidate& b) { return a.score > b.score; });

    // The passer is never his own target, however low the others scored.
    int32_t best = PLAYER_NONE;
    int32_t tried = 0;
    for (const PassCandidate& c : PassCandidates) {
        if (c.player == passer) continue;
        if (best == PLAYER_NONE) best = c.player;
        if (tried++ >= 5) break;
        if (!IsPassBlocked(passer, c.player, true)) {
            AIPass(passer, c.player, 1);
            return;
        }
    }
    if (best != PLAYER_NONE) AIPass(passer, best, 1);
}

bool IsPassBlocked(int32_t passer, int32_t target, bool useTarget)
{
    if (!IsPlayerIndex(target)) return false;
    const D3DVECTOR ball = BallPosition();
    const D3DVECTOR aim = useTarget ? MatchPlayers[target].moveTarget : PlayerPosition(target);
    float ux = 0.f, uz = 0.f;
    if (!GroundDirection(ball, aim, ux, uz)) return false;
    const float r = TheBall.radius;
    for (int32_t step = 1; step <= 5; ++step) {
        const float s = 0.5f * (float)step;
        const D3DVECTOR point{ball.x + ux * s, ball.y, ball.z + uz * s};
        for (int32_t q = 0; q < PLAYER_COUNT; ++q) {
            if (q == passer || q == target) continue;
            if (SpaceDistance(PlayerPosition(q), point) <= r + MatchPlayers[q].bodySize) return true;
        }
    }
    return false;
}

void AIPass(int32_t passer, int32_t target, int32_t kind)
{
    if (!IsPlayerIndex(passer) || !IsPlayerIndex(target)) return;
    const D3DVECTOR ball = BallPosition();
    TheBall.loft = TheBall.bendX = TheBall.bendZ = 0.f;
    TheBall.kickStart = ball;
    TheBall.groundPoint = ball;
    CancelJump(passer);

    const MatchPlayer& t = MatchPlayers[target];
    const D3DVECTOR tpos = PlayerPosition(target);
    D3DVECTOR aim{tpos.x, 0.f, tpos.z};
    switch (kind) {
    case 1: {
        aim = D3DVECTOR{t.moveTarget.x, 0.f, t.moveTarget.z};
        const float reach = t.attributes[ATTR_SPEED] * PhaseDuration[PHASE_AWAY_PLANS];
        const float d = GroundDistance(tpos, aim);
        if (d > reach && reach >= 0.f) {
            aim.x = tpos.x + (aim.x - tpos.x) / d * reach;
            aim.z = tpos.z + (aim.z - tpos.z) / d * reach;
        }
        break;
    }
    case 2: {
        float ux = 0.f, uz = 0.f;
        if (GroundDirection(ball, tpos, ux, uz)) {
            const float far = 2.0f * SpaceDistance(ball, tpos);
            aim = D3DVECTOR{ball.x + ux * far, 0.f, ball.z + uz * far};
        }
        TheBall.loft = 1.57f;
        break;
    }
    case 3:
        aim.x = ball.x >= CENTRE_X ? CORNER_AIM_HIGH_X : CORNER_AIM_LOW_X;
        aim.z = ball.z >= CENTRE_Z ? CORNER_AIM_LOW_Z : CORNER_AIM_HIGH_Z;
        TheBall.loft = 5.0f;
        break;
    default:
        break;
    }
    if (!IsFinite(aim)) aim = D3DVECTOR{tpos.x, 0.f, tpos.z};
    // A team-mate running onto the ball's own spot (two players may share a formation spot) would
    // be passed a ball that never leaves it: a restart taken that way is never taken. The pass
    // goes to where he stands instead.
    if (GroundDistance(ball, aim) < MIN_PASS_LENGTH) aim = D3DVECTOR{tpos.x, 0.f, tpos.z};
    if (kind == 0 || kind == 1) {
        const float d = SpaceDistance(ball, aim);
        TheBall.loft = d > 30.0f ? 15.0f : d > 10.0f ? 7.0f : 0.f;
    }
    TheBall.aimPoint = aim;

    MatchPlayer& p = MatchPlayers[passer];
    p.action = ANIM_PASS;
    if (MatchStopState == STOP_THROW_IN) {
        p.action = ANIM_THROW_IN;
        SetPieceTaker = passer + 1;
        TheBall.loft = 7.0f;
    } else if (IsRestartState(MatchStopState)) {
        SetPieceTaker = passer + 1;
    }

    ShotClass = 0;
    const bool good = ExecuteKick(passer);
    BallInFlight = 1;
    LastTouchSide = passer < SIDE_SIZE ? 1 : 2;
    if (kind == 1 && good) {
        MatchPlayer& receiver = MatchPlayers[target];
        receiver.moveTarget = D3DVECTOR{aim.x, 0.f, aim.z};
    }
    StandStill(passer);
}

void AIShoot(int32_t shooter)
{
    if (!IsPlayerIndex(shooter)) return;
    const int32_t pick = RandomBelow(SHOT_TARGET_COUNT);
    const D3DVECTOR ball = BallPosition();
    ShotClass = 2;
    TheBall.loft = TheBall.bendX = TheBall.bendZ = 0.f;
    TheBall.kickStart = ball;
    TheBall.groundPoint = ball;
    CancelJump(shooter);

    const D3DVECTOR aim{AttacksLow() ? SHOT_AIM_LOW_X : SHOT_AIM_HIGH_X, 0.f, ShotTargets[pick]};
    TheBall.aimPoint = aim;
    const float d = SpaceDistance(ball, aim);
    TheBall.loft = d > 30.0f ? 1.5f : d > 10.0f ? 0.7f : 0.f;
    MatchPlayer& p = MatchPlayers[shooter];
    if (p.attributes[ATTR_BEND] > 0.f) TheBall.bendZ = ball.z <= CENTRE_Z ? 1.0f : -1.0f;
    p.action = ANIM_SHOOT;
    // A shot from a restart is its taker's kick like a pass: he may not play the ball again at once.
    if (IsRestartState(MatchStopState)) SetPieceTaker = shooter + 1;

    ExecuteKick(shooter);
    BallInFlight = 1;
    LastTouchSide = shooter < SIDE_SIZE ? 1 : 2;
    StandStill(shooter);
}

void AISidestep()
{
    const int32_t holder = Holder();
    for (int32_t p = FIRST_COMPUTER; p < PLAYER_COUNT; ++p) {
        MatchPlayer& m = MatchPlayers[p];
        if (IsOutOfPlay(p) || m.moveCounterA <= 0) continue;
        const D3DVECTOR pos = PlayerPosition(p);
        int32_t other = PLAYER_NONE;
        for (int32_t q = 0; q < PLAYER_COUNT && other == PLAYER_NONE; ++q)
            if (q != p && IsMoving(q) && SpaceDistance(PlayerPosition(q), pos) <= 3.0f) other = q;
        if (other == PLAYER_NONE) continue;
        float ux = 0.f, uz = 0.f;
        // Nowhere to go round to: a player without a way to walk keeps his target.
        if (!GroundDirection(pos, m.moveTarget, ux, uz)) continue;
        const float step = (other == holder && other < SIDE_SIZE) ? 2.5f : 5.0f;
        const ModelInstance* model = PlayerModel(p);
        const float facing = model ? model->Rotation.y : 0.f;
        // The detour step turns the way to the target by its own angle.
        const float turn = TurnAngleFor(facing, m.moveCounterB) - facing;
        const float c = std::cos(turn), s = std::sin(turn);
        const float rx = ux * c + uz * s, rz = -ux * s + uz * c;
        if (!std::isfinite(rx) || !std::isfinite(rz)) continue;
        SetTarget(p, pos.x + rx * step, pos.z + rz * step);
    }
}

void AIStayOnside()
{
    if (MatchStopState != STOP_IN_PLAY && MatchStopState != STOP_FOUL) return;
    const float line = OffsideLine(0, BallPosition().x);
    const bool low = AttacksLow();
    const int32_t holder = Holder();
    for (int32_t p = FIRST_COMPUTER; p < PLAYER_COUNT; ++p) {
        if (IsOutOfPlay(p) || p == holder) continue;
        MatchPlayer& m = MatchPlayers[p];
        if (low && m.moveTarget.x < line)
            m.moveTarget.x = line + 0.2f;
        else if (!low && m.moveTarget.x > line)
            m.moveTarget.x = line - 0.2f;
    }
}

void AIPosition(int32_t player, int32_t mode)
{
    if (!IsPlayerIndex(player)) return;
    MatchPlayer& m = MatchPlayers[player];
    const D3DVECTOR before = m.moveTarget;
    m.moveTarget.y = 0.f;
    const D3DVECTOR ball = BallPosition();
    const D3DVECTOR pos = PlayerPosition(player);
    const float fx = FormationX(player), fz = FormationZ(player);
    const float O = AIOffset;
    const bool low = AttacksLow();
    const float towardAttack = LowGoalScorerSide() == 1 ? -1.f : 1.f;
    D3DVECTOR& t = m.moveTarget;

    switch (mode) {
    case 0:
        t.x = fx, t.z = fz;
        break;
    case 1:
        t.x = ball.x, t.z = ball.z;
        break;
    case 2:
        t.x = fx, t.z = fz;
        if (std::fabs(ball.z - fz) > 2.0f) t.z += ball.z > fz ? 1.5f : -1.5f;
        break;
    case 3:
        t.x = std::clamp(ball.x, 6.5f, 112.55f), t.z = fz;
        break;
    case 4:
        t.x = ball.x, t.z = fz;
        break;
    case 5: {
        const float shift = m.wingFlag == 1 ? 12.0f : 5.0f;
        // Towards the centre line, never across it.
        t.z = fz < CENTRE_Z ? std::min(fz + shift, CENTRE_Z) : std::max(fz - shift, CENTRE_Z);
        break;
    }
    case 6:
    case 7: {
        const float shift = mode == 6 ? 7.0f : 10.0f;
        t.x = fx, t.z = fz;
        if (ball.z < PENALTY_AREA_LOW_Z) t.z -= shift;
        else if (ball.z > PENALTY_AREA_HIGH_Z) t.z += shift;
        if (mode == 7) {
            if (ball.x <= CENTRE_X && ball.x < fx - 7.0f) t.x = fx + 7.0f;
            else if (ball.x > CENTRE_X && ball.x > fx + 7.0f) t.x = fx - 7.0f;
        }
        break;
    }
    case 8:
        t.x = fx, t.z = ball.z;
        break;
    case 9:
        t.x = fx >= CENTRE_X ? fx + 19.0f : fx - 19.0f, t.z = fz;
        break;
    case 10:
        t.x = fx <= CENTRE_X ? fx + 35.0f : fx - 35.0f, t.z = fz;
        break;
    case 11:
        if (LowGoalScorerSide() == 1)
            t.x = std::min(ball.x + O, GOAL_LINE_HIGH_X - O);
        else
            t.x = std::max(ball.x - O, GOAL_LINE_LOW_X + O);
        break;
    case 12:
        t.z = pos.z <= CENTRE_Z ? 33.47f + O : 50.73f - O;
        t.x = pos.x <= CENTRE_X ? 9.63f : 109.36f;
        break;
    case 13:
        t.z = pos.z <= CENTRE_Z ? 33.47f + O : 50.73f - O;
        break;
    case 14:
        t.x += towardAttack * O;
        break;
    case 15:
        // Carrying the ball starts from where he stands.
        t.x = pos.x + towardAttack * O, t.z = pos.z;
        break;
    case 16:
        t.z += ball.z >= CENTRE_Z ? -O : O;
        break;
    case 17: {
        float d = IndexOffset(player, 35.f, 0.25f);
        if (m.role == ROLE_MID) d = IndexOffset(player, 55.f, 0.5f);
        if (m.role == ROLE_ATT) d = IndexOffset(player, 65.f, 1.5f);
        t.x = fx <= CENTRE_X ? fx + d : fx - d, t.z = fz;
        break;
    }
    case 18:
        t.z = t.z <= CENTRE_Z ? ball.z + 5.0f : ball.z - 5.0f;
        t.x = ball.x + O;
        break;
    case 19: {
        const D3DVECTOR own{low ? GOAL_LINE_HIGH_X : GOAL_LINE_LOW_X, 0.f, CENTRE_Z};
        float dx = low ? 1.f : -1.f, dz = 0.f;
        GroundDirection(ball, own, dx, dz);
        t.x = ball.x + dx * 11.0f, t.z = ball.z + dz * 11.0f;
        break;
    }
    case 20:
        t.x = pos.x, t.z = pos.z;
        break;
    case 21: {
        const int32_t opposite = player >= SIDE_SIZE ? player - SIDE_SIZE : player + SIDE_SIZE;
        const D3DVECTOR o = PlayerPosition(opposite);
        t.x = ball.x <= CENTRE_X ? o.x + 2.0f : o.x - 2.0f, t.z = o.z;
        break;
    }
    default:
        break;
    }
    // A target from damaged records is no order at all.
    if (!IsFinite(t)) t = D3DVECTOR{std::isfinite(before.x) ? before.x : pos.x, 0.f, std::isfinite(before.z) ? before.z : pos.z};
    if (!IsFinite(t)) t = D3DVECTOR{CENTRE_X, 0.f, CENTRE_Z};
}

float TurnAngleFor(float angle, int32_t detourStep)
{
    switch (detourStep) {
    case 1: return angle + PI / 4;
    case 2: return angle - PI / 4;
    case 3: return angle - 3 * PI / 4;
    case 4: return angle + 3 * PI / 4;
    case 5: return angle + 5 * PI / 8;
    case 6: return angle - 5 * PI / 8;
    case 7: return angle + PI;
    case 8: return angle + PI / 2;
    case 9: return angle - PI / 2;
    case 10: return angle - 3 * PI / 8;
    case 11: return angle + 3 * PI / 8;
    default: return angle;
    }
}

void ClampTargetToPitch(int32_t player)
{
    if (!IsPlayerIndex(player)) return;
    D3DVECTOR& t = MatchPlayers[player].moveTarget;
    if (!std::isfinite(t.x) || !std::isfinite(t.z)) {
        const D3DVECTOR pos = PlayerPosition(player);
        t.x = std::isfinite(pos.x) ? pos.x : CENTRE_X;
        t.z = std::isfinite(pos.z) ? pos.z : CENTRE_Z;
    }
    if (t.x >= GOAL_LINE_HIGH_X) t.x = GOAL_LINE_HIGH_X - 5.0f;
    if (t.x <= GOAL_LINE_LOW_X) t.x = GOAL_LINE_LOW_X + 5.0f;
    if (t.z >= TOUCHLINE_HIGH_Z) t.z = TOUCHLINE_HIGH_Z - 3.0f;
    if (t.z <= TOUCHLINE_LOW_Z) t.z = TOUCHLINE_LOW_Z + 3.0f;
}

void ClampComputerTargets()
{
    if (MatchStopState != STOP_IN_PLAY) return;
    for (int32_t p = FIRST_OUTFIELD; p < PLAYER_COUNT; ++p) ClampTargetToPitch(p);
}

void AIFaceUpfield()
{
    const D3DVECTOR ball = BallPosition();
    const bool low = AttacksLow();
    const int32_t holder = Holder();
    for (int32_t p = FIRST_COMPUTER; p < PLAYER_COUNT; ++p) {
        if (IsOutOfPlay(p) || p == holder || !StandingStill(p)) continue;
        ModelInstance* model = PlayerModel(p);
        if (!model) continue;
        model->Rotation.y = ReduceAngle(model->Rotation.y);
        const D3DVECTOR pos = model->Position;
        // The wanted facing is the bearing he is to look along; he turns his back to it.
        float wanted;
        if (low)
            wanted = pos.x < ball.x ? PI / 2 : 3 * PI / 2;
        else
            wanted = ball.x < pos.x ? 3 * PI / 2 : PI / 2;
        if (AngleGap(model->Rotation.y + PI, wanted) <= 0.001f) continue;
        MatchPlayer& m = MatchPlayers[p];
        m.facePoint = D3DVECTOR{pos.x + std::sin(wanted), 0.f, pos.z + std::cos(wanted)};
        if (ModelInstance* arrow = InstanceAt(FacingArrowModels[p])) {
            arrow->Rotation.y = wanted;
            arrow->MatrixValid = 0;
        }
        m.stance = 1;
        model->MatrixValid = 0;
    }
}

void AIPrepareHeaders()
{
    const int32_t holder = Holder();
    const float towardAttack = LowGoalScorerSide() == 0 ? 1.f : -1.f;
    for (int32_t p = FIRST_OUTFIELD; p < PLAYER_COUNT; ++p) {
        MatchPlayer& m = MatchPlayers[p];
        m.moveTarget.y = 0.f;
        if (IsOutOfPlay(p) || p == holder || !StandingStill(p)) continue;
        const D3DVECTOR pos = PlayerPosition(p);
        const int32_t area = PenaltyAreaAt(pos);
        if (area != BOX_LOW && area != BOX_HIGH) continue;
        m.moveTarget.y = m.attributes[ATTR_HEADING] * JUMP_HEIGHT_PER_HEADING;
        m.facePoint = D3DVECTOR{pos.x + towardAttack, 0.f, pos.z};
    }
}

void LandAllPlayers()
{
    for (int32_t p = 0; p < PLAYER_COUNT; ++p) {
        ModelInstance* model = PlayerModel(p);
        if (!model || !(model->Position.y > 0.f)) continue;
        model->Position.y = 0.f;
        SetPlayerAnimation(p, ANIM_STAND);
        model->MatrixValid = 0;
    }
}

void PlayKickOffPass()
{
    if (BallHolder < 1 || BallHolder > PLAYER_COUNT || KickOffPartner < 1 || KickOffPartner > PLAYER_COUNT) return;
    AIPass(BallHolder - 1, KickOffPartner - 1, 0);
}
