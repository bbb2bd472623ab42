#include "fenwolt/Game/Match/TurnEngine.h"

#include "fenwolt/Game/GameApp.h"
#include "fenwolt/Game/Match/Banners.h"
#include "fenwolt/Game/Match/BallFlight.h"
#include "fenwolt/Game/Match/Computer.h"
#include "fenwolt/Game/Match/Hud.h"
#include "fenwolt/Game/Match/MatchScreen.h"
#include "fenwolt/Game/Match/Movement.h"
#include "fenwolt/Game/Match/Previews.h"
#include "fenwolt/Game/Match/Rules.h"
#include "fenwolt/Game/Match/Squads.h"
#include "fenwolt/Game/FrontEnd/Competition.h"
#include "fenwolt/Game/FrontEnd/Options.h"
#include "fenwolt/Game/Network/GameMessages.h"
#include "fenwolt/Game/Network/NetState.h"
#include "fenwolt/Game/Engine/Sprites.h"
#include "fenwolt/common/Utilities.h"

#include <cmath>

using namespace matchgeo;

D3DVECTOR PickedPoint{0, 0, 0};

namespace {

constexpr float BACK_BUFFER_WIDTH = 800.0f;
constexpr float BACK_BUFFER_HEIGHT = 600.0f;
constexpr float PICK_RAY_LENGTH = 10000.0f;
constexpr float TIME_ON_BALL_PER_TURN = 5.0f;

// Does `side` attack the low-x goal (the goal-side table names the side that scores there)?
bool AttacksLowGoal(int32_t side) { return (side != 0 ? 1 : 0) == LowGoalScorerSide(); }

void PlaceMarkerOver(int32_t model, int32_t player, float aboveHead)
{
    ModelInstance* marker = InstanceAt(model);
    const ModelInstance* body = PlayerModel(player);
    if (!marker || !body) return;
    marker->Position = D3DVECTOR{body->Position.x, body->Position.y + MatchPlayers[player].headHeight + aboveHead,
                                 body->Position.z};
    MarkModelMoved(*marker);
}

// The kick aim ends: the System and End Turn buttons come back.
void LeaveKickAim()
{
    KickAimMode = 0;
    BendAiming = 0;
    if (IsLocalSideToPlan(TurnPhase)) {
        EnableButtonPair(SPRITE_CAPTION_SYSTEM, true);
        EnableButtonPair(SPRITE_CAPTION_END_TURN, true);
    }
}

// Which nearest-player query filter applies.
enum class Filter { None, NotAhead, Ahead };

int32_t FindNearestFiltered(const D3DVECTOR& point, int32_t first, int32_t end, int32_t except, Filter filter,
                            int32_t side, float margin, bool skipDowned, bool alwaysCandidate, float* distance)
{
    ClampRange(first, end);
    int32_t best = PLAYER_NONE;
    float bestDistance = NO_DISTANCE;
    const bool low = AttacksLowGoal(side);
    for (int32_t i = first; i < end; ++i) {
        if (i == except) continue;
        const ModelInstance* m = PlayerModel(i);
        if (!m) continue;
        const float x = m->Position.x;
        if (filter == Filter::NotAhead && (low ? x < point.x - margin : x >= point.x + margin)) continue;
        if (filter == Filter::Ahead) {
            if (!(low ? x + margin < point.x : x - margin >= point.x)) continue;
            if (skipDowned && MatchPlayers[i].turnsDown > 0) continue;
        }
        // A candidate is always found for these ranges; a point that is not a number still
        // answers with the first of them.
        if (alwaysCandidate && best == PLAYER_NONE) best = i;
        const float d = SpaceDistance(point, m->Position);
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    if (distance) *distance = bestDistance;
    return best;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
float MatchStepSeconds()
{
    if (!TheAppConstructed()) return 0.f;
    const float step = TheApp.ElapsedTime;
    if (!std::isfinite(step) || step < 0.f) return 0.f;
    return step;
}

// --- Picking -----------------------------------------------------------------------------------
bool PickPitchPoint()
{
    if (!(FieldOfView > 0.f && FieldOfView < PI) || !(ProjectionAspect > 0.f)) return false;
    const float yScale = 1.0f / std::tan(FieldOfView * 0.5f);
    const float xScale = yScale / ProjectionAspect;
    // The ray through the pixel in view space (near plane at 1.0, z forward).
    const float vx = (2.0f * (float)MouseX / BACK_BUFFER_WIDTH - 1.0f) / xScale;
    const float vy = (1.0f - 2.0f * (float)MouseY / BACK_BUFFER_HEIGHT) / yScale;

    // The camera's axes as the left-handed look-at view builds them.
    D3DVECTOR zAxis{CameraTarget.x - CameraEye.x, CameraTarget.y - CameraEye.y, CameraTarget.z - CameraEye.z};
    float len = std::sqrt(zAxis.x * zAxis.x + zAxis.y * zAxis.y + zAxis.z * zAxis.z);
    if (!(len > 1e-6f) || !std::isfinite(len)) return false;
    zAxis = D3DVECTOR{zAxis.x / len, zAxis.y / len, zAxis.z / len};
    D3DVECTOR xAxis = CrossProduct(CameraUp, zAxis);
    len = std::sqrt(xAxis.x * xAxis.x + xAxis.y * xAxis.y + xAxis.z * xAxis.z);
    if (!(len > 1e-6f) || !std::isfinite(len)) return false;
    xAxis = D3DVECTOR{xAxis.x / len, xAxis.y / len, xAxis.z / len};
    const D3DVECTOR yAxis = CrossProduct(zAxis, xAxis);

    D3DVECTOR dir{vx * xAxis.x + vy * yAxis.x + zAxis.x, vx * xAxis.y + vy * yAxis.y + zAxis.y,
                  vx * xAxis.z + vy * yAxis.z + zAxis.z};
    len = std::sqrt(dir.x * dir.x + dir.y * dir.y + dir.z * dir.z);
    if (!(len > 1e-6f)) return false;
    dir = D3DVECTOR{dir.x / len, dir.y / len, dir.z / len};

    // The ground plane y = 0, reached within the ray's length.
    if (!(dir.y < 0.f)) return false;
    const float t = -CameraEye.y / dir.y;
    if (!(t >= 0.f && t <= PICK_RAY_LENGTH)) return false;
    const D3DVECTOR hit{CameraEye.x + dir.x * t, 0.f, CameraEye.z + dir.z * t};
    if (!IsFinite(hit)) return false;
    PickedPoint = hit;
    return true;
}

int32_t ClassifyTarget(const D3DVECTOR& point)
{
    const bool inMouthZ = point.z >= SHOT_BOX_Z0 && point.z <= SHOT_BOX_Z1;
    if (inMouthZ && point.x >= SHOT_BOX_HIGH_X0 && point.x <= SHOT_BOX_HIGH_X1) return 1;
    if (inMouthZ && point.x >= SHOT_BOX_LOW_X0 && point.x <= SHOT_BOX_LOW_X1) return 2;
    return 0;
}

// --- Nearest-player queries ------------------------------------------------------------------
int32_t FindNearestPlayer(const D3DVECTOR& point, float* distance)
{
    return FindNearestFiltered(point, 0, PLAYER_COUNT, -1, Filter::None, 0, 0.f, false, true, distance);
}

int32_t FindNearestInRange(const D3DVECTOR& point, int32_t first, int32_t end, float* distance)
{
    return FindNearestFiltered(point, first, end, -1, Filter::None, 0, 0.f, false, true, distance);
}

int32_t FindNearestInRangeExcept(const D3DVECTOR& point, int32_t first, int32_t end, int32_t except, float* distance)
{
    return FindNearestFiltered(point, first, end, except, Filter::None, 0, 0.f, false, true, distance);
}

int32_t FindNearestNotAhead(const D3DVECTOR& point, int32_t first, int32_t end, int32_t side, float margin,
                            float* distance)
{
    return FindNearestFiltered(point, first, end, -1, Filter::NotAhead, side, margin, false, false, distance);
}

int32_t FindNearestAhead(const D3DVECTOR& point, int32_t first, int32_t end, int32_t side, float margin,
                         bool skipDowned, float* distance)
{
    return FindNearestFiltered(point, first, end, -1, Filter::Ahead, side, margin, skipDowned, false, distance);
}

int32_t FindMostAdvanced(const D3DVECTOR& point, int32_t first, int32_t end, int32_t side, int32_t except,
                         float* distance)
{
    ClampRange(first, end);
    const bool low = AttacksLowGoal(side);
    int32_t best = PLAYER_NONE;
    float bestX = 0.f;
    for (int32_t i = first; i < end; ++i) {
        if (i == except) continue;
        const ModelInstance* m = PlayerModel(i);
        if (!m) continue;
        const float x = m->Position.x;
        if (best == PLAYER_NONE || (low ? x < bestX : x > bestX)) {
            best = i;
            bestX = x;
        }
    }
    if (distance) *distance = best == PLAYER_NONE ? NO_DISTANCE : SpaceDistance(point, PlayerPosition(best));
    return best;
}

int32_t FindMostAdvancedInRange(const D3DVECTOR& point, int32_t first, int32_t end, int32_t side, float* distance)
{
    return FindMostAdvanced(point, first, end, side, -1, distance);
}

// --- Phases ------------------------------------------------------------------------------------
void InitPhaseDurations()
{
    PhaseDuration[0] = PLANNING_PHASE_SECONDS;
    PhaseDuration[1] = MOVING_PHASE_SECONDS;
    PhaseDuration[2] = PLANNING_PHASE_SECONDS;
    PhaseDuration[3] = MOVING_PHASE_SECONDS;
}

bool PlanningPhaseStands()
{
    // The walk-in to a kick-off borrows the phase it will start from (and half time leaves the
    // home side's): nobody plans until the kick-off has been set up.
    return (TurnPhase == PHASE_HOME_PLANS || TurnPhase == PHASE_AWAY_PLANS) && !GoalInProgress &&
           MatchStopState != STOP_KICK_OFF && MatchStopState != STOP_FULL_TIME;
}

bool OtherComputerPlans() { return IsNetworkGame() && PlanningPhaseStands() && !IsLocalSideToPlan(TurnPhase); }

bool LocalTurnMayEnd()
{
    return PlanningPhaseStands() && IsLocalSideToPlan(TurnPhase) && !KickAimMode && !SubstitutionMode;
}

void EndTurnIfAllowed()
{
    if (!PlanningPhaseStands() || KickAimMode) return;
    EndPhase(0);
}

void RequestEndTurn()
{
    if (!LocalTurnMayEnd()) return;
    OutgoingEndTurnCode = END_TURN_REQUEST;
    SendGameMessage(GAME_MSGID_END_TURN);
}

void EndTurnBothAgreed()
{
    if (!LocalTurnMayEnd()) return;
    SendGameMessage(GAME_MSGID_BALL_STATE);
    if (IsNetworkHost()) FillSharedRandomTable();  // refills and sends it (message 6)
    SendGameMessage(GAME_MSGID_PHASE_DONE);
    EndPhase(0);
}

void EndPhase(int32_t advance)
{
    const bool oneManager = MatchSetup.managers != 2 && !IsNetworkGame();

    // 1. The next phase; a full turn steps the clock and the holder's time on the ball.
    if (advance == 0) {
        ++TurnPhase;
        if (TurnPhase > PHASE_AWAY_MOVES) {
            ClockStep();
            TurnPhase = PHASE_HOME_PLANS;
            if (BallHolder > 0 && BallHolder <= PLAYER_COUNT) {
                if (SquadPlayer* s = SquadPlayerOf(BallHolder - 1)) s->lastMatch.timeOnBall += TIME_ON_BALL_PER_TURN;
            }
        }
    }
    if (TurnPhase < 0 || TurnPhase > PHASE_AWAY_MOVES) TurnPhase = PHASE_HOME_PLANS;
    const bool moving = TurnPhase == PHASE_HOME_MOVES || TurnPhase == PHASE_AWAY_MOVES;

    // 2. Ticker flags, distance order, the kick-off pass, the waiting flag, the throw-in mark.
    ClearEventFlags();
    ClearTackleAttempts();
    SortByDistanceToBall();
    if (KickOffPending) PlayKickOffPass();
    WaitingForBall = 0;
    if (MatchStopState != STOP_THROW_IN) ThrowInPending = 0;
    // A kick sets off with the moving phase: its kicker is the one a goal from it is credited to,
    // its side touched the ball last, a restart's taker may not play the ball again until
    // somebody else has, and the kicker's pass or shot counts in his statistics. All are settled
    // here, from the state both computers hold alike, not where the kick was ordered: only the
    // ordering computer passes there.
    if (advance == 0 && moving && BallInFlight && IsPlayerIndex(BallHolder - 1)) {
        LastKicker = BallHolder - 1;
        SettleKickStatistics();
        LastTouchSide = IsAwaySide(BallHolder - 1) + 1;
        if (IsRestartState(MatchStopState)) SetPieceTaker = BallHolder;
    }

    // 3. The side that starts moving settles its energy (once per moving phase).
    if (advance == 0 && TurnPhase == PHASE_HOME_MOVES) UseEnergy(0, SIDE_SIZE);
    if (advance == 0 && TurnPhase == PHASE_AWAY_MOVES) UseEnergy(SIDE_SIZE, PLAYER_COUNT);

    // 4. The selection of the side that now plans.
    if (IsPlayerIndex(SelectedPlayer)) {
        if (SelectedPlayer < SIDE_SIZE)
            LastSelectedHome = SelectedPlayer;
        else
            LastSelectedAway = SelectedPlayer;
    }
    if (!moving) {
        LandAllPlayers();
        SelectedPlayer = TurnPhase == PHASE_HOME_PLANS ? LastSelectedHome : LastSelectedAway;
        ShotClass = 0;
        if (!Options.BeginnersCamera && IsPlayerIndex(DistanceOrder[0])) SelectedPlayer = DistanceOrder[0];
        if (!IsPlayerIndex(SelectedPlayer)) SelectedPlayer = TurnPhase == PHASE_HOME_PLANS ? 9 : 20;
        CyclePlayerSelection(0);
    }

    // 5. The buttons and the ball arrow.
    ShowTurnButtons();
    if (moving || (TurnPhase == PHASE_AWAY_PLANS && oneManager)) {
        PhaseTimer = 0.f;
        if (ShowBallMarker) ShowBallArrow(false);
        if (moving && KickOffPending && MatchStopState == STOP_IN_PLAY) {
            KickOffPending = 0;
            ShowRefereeBanner();
            LogMatchEvent(EVENT_KICK_OFF, SelectedPlayer, SelectedPlayer);
        }
    } else {
        if (ShowBallMarker) ShowBallArrow(true);
    }

    // 6.
    ShowTurnBanner();

    // 7. The side that now plans: downed players count a turn off, jumps come back. (The Pass
    // button went with the others in step 5, for the selected player as he is now.)
    if (!moving) {
        const bool home = TurnPhase == PHASE_HOME_PLANS;
        BallInFlight = 0;
        // A refresh of the phase (advance 1) is no new turn: nobody gets up a turn early.
        const int32_t first = home ? 0 : SIDE_SIZE;
        if (advance == 0) CountDownDowned(first, first + SIDE_SIZE);
        RefreshSelectedPlayer();
        ShowKickPreview(KickAimMode == 0);
        RestoreJumps();
    }
    // The path dots start from where the players stand now (and go in a moving phase).
    ShowMoveRange(false);

    // 8.
    SetSideAnimating(false);
    if (BallHolder > 0 && BallHolder <= PLAYER_COUNT) {
        const int32_t holder = BallHolder - 1;
        const ModelInstance* m = PlayerModel(holder);
        if (m && m->AnimationSlot == ANIM_TACKLE) {
            SetPlayerAnimation(holder, ANIM_STAND);
            if (IsNetworkGame()) SendGameMessageFor(GAME_MSGID_PLAYER_OUT, holder);
        }
    }
    // Both computers pass every change of phase alike: the trace lets the two be compared.
    if (IsNetworkGame()) TraceSharedState(MatchStopState == STOP_FULL_TIME ? "full time" : "phase");
}

bool PassButtonAvailable()
{
    const int32_t p = SelectedPlayer;
    return IsPlayerIndex(p) && BallHolder == p + 1 && MatchStopState != STOP_FULL_TIME && CanGiveOrders() &&
           IsMovingSidePlayer(p) && IsLocalSideToPlan(TurnPhase);
}

void ShowTurnButtons()
{
    const bool oneManager = MatchSetup.managers != 2 && !IsNetworkGame();
    const bool moving = TurnPhase == PHASE_HOME_MOVES || TurnPhase == PHASE_AWAY_MOVES;
    // Nobody plans here while the sides move and while the computer thinks: no End Turn, no Pass,
    // no Substitute, and the System caption goes with End Turn. Full time comes with the turn that
    // hands the home side its planning, and its End Turn and System stay as every planning
    // phase has them, pictures with their captions, for the seconds before the result.
    if (moving || (TurnPhase == PHASE_AWAY_PLANS && oneManager)) {
        EnableButtonPair(SPRITE_CAPTION_SUBSTITUTE, false);
        EnableButtonPair(SPRITE_CAPTION_PASS, false);
        HideSprite(SPRITE_CAPTION_SYSTEM);
        HideSprite(SPRITE_CAPTION_END_TURN);
        DeactivateSprite(SPRITE_BUTTON_SYSTEM);
        DeactivateSprite(SPRITE_BUTTON_END_TURN);
        return;
    }
    const bool local = IsLocalSideToPlan(TurnPhase);
    EnableButtonPair(SPRITE_CAPTION_SUBSTITUTE, IsRestartWaitingState(MatchStopState) && local);
    EnableButtonPair(SPRITE_CAPTION_SYSTEM, local);
    EnableButtonPair(SPRITE_CAPTION_END_TURN, local);
    EnableButtonPair(SPRITE_CAPTION_PASS, PassButtonAvailable());
}

void UpdatePhaseTimers()
{
    if (GoalInProgress) return;
    const float step = MatchStepSeconds();
    // The walk-in to a kick-off leaves the phase at 3 and is timed by PhaseTimer: count on, but
    // no phase may end until the kick-off is set up.
    if (MatchStopState == STOP_KICK_OFF) {
        PhaseTimer += step;
        return;
    }
    if (TurnPhase == PHASE_HOME_MOVES || TurnPhase == PHASE_AWAY_MOVES) {
        PhaseTimer += step;
        if (PhaseTimer <= PhaseDuration[TurnPhase]) return;
        const ModelInstance* ball = BallModel();
        if (BallInFlight && ball && !Vec3EqualXZ(ball->Position, TheBall.destination)) {
            WaitingForBall = 1;
            return;
        }
        EndPhase(0);
        return;
    }
    if (TurnPhase == PHASE_AWAY_PLANS && MatchSetup.managers != 2 && !IsNetworkGame()) {
        PhaseTimer += step;
        if (PhaseTimer > PhaseDuration[PHASE_AWAY_PLANS]) {
            RunComputerTurn();
            EndPhase(0);
        }
    }
}

void SetSideAnimating(bool all)
{
    for (int32_t i = 0; i < PLAYER_COUNT; ++i) {
        ModelInstance* m = PlayerModel(i);
        if (!m) continue;
        const bool movingSide =
            (TurnPhase == PHASE_HOME_MOVES && i < SIDE_SIZE) || (TurnPhase == PHASE_AWAY_MOVES && i >= SIDE_SIZE);
        m->Animating = (all || movingSide) ? 1 : 0;
    }
}

void CountDownDowned(int32_t first, int32_t end)
{
    ClampRange(first, end);
    for (int32_t i = first; i < end; ++i) {
        MatchPlayer& p = MatchPlayers[i];
        bool changed = false;
        if (p.turnsDown >= 1) {
            --p.turnsDown;
            if (p.turnsDown == 0) SetPlayerAnimation(i, ANIM_STAND);
            changed = true;
        } else {
            const ModelInstance* m = PlayerModel(i);
            if (m && m->AnimationSlot == ANIM_TACKLE) {
                if (p.turnsDown < 0) p.turnsDown = 0;
                SetPlayerAnimation(i, ANIM_STAND);
                changed = true;
            }
        }
        if (changed && IsNetworkGame()) SendGameMessageFor(GAME_MSGID_PLAYER_OUT, i);
    }
}

// --- Orders ------------------------------------------------------------------------------------
int32_t PlayerUnderPoint(const D3DVECTOR& point)
{
    int32_t best = PLAYER_NONE;
    float bestDistance = CLICK_PLAYER_RADIUS;
    for (int32_t i = 0; i < PLAYER_COUNT; ++i) {
        if (!IsMovingSidePlayer(i)) continue;
        const ModelInstance* m = PlayerModel(i);
        if (!m) continue;
        const float d = GroundDistance(point, m->Position);
        if (d <= bestDistance && (best == PLAYER_NONE || d < bestDistance)) {
            best = i;
            bestDistance = d;
        }
    }
    return best;
}

bool HandlePitchClick(uint32_t message)
{
    if (message != WM_LBUTTONDOWN && message != WM_LBUTTONUP) return false;
    if (!IsLocalSideToPlan(TurnPhase)) return false;
    if (!PickPitchPoint()) return false;
    if (message == WM_LBUTTONDOWN)
        OrderPitchPress(PickedPoint, MouseX, MouseY);
    else
        OrderPitchRelease(PickedPoint, MouseX, MouseY);
    return true;
}

bool HandlePitchDrag()
{
    if (!PickPitchPoint()) return false;
    if (!IsLocalSideToPlan(TurnPhase)) return PlayerUnderPoint(PickedPoint) != PLAYER_NONE;
    return OrderPitchDrag(PickedPoint, MouseX, MouseY);
}

void OrderPitchPress(const D3DVECTOR& point, int32_t mouseX, int32_t mouseY)
{
    if (!IsFinite(point)) return;
    const ModelInstance* ball = BallModel();
    if (KickAimMode) {
        if (!ball) return;
        TheBall.aimPoint.x = point.x;
        TheBall.aimPoint.z = point.z;
        TheBall.loft = TheBall.bendX = TheBall.bendZ = 0.f;
        TheBall.kickStart = ball->Position;
        TheBall.groundPoint = ball->Position;
        TheBall.bendRefMouseX = TheBall.bendMouseX = mouseX;
        TheBall.bendRefMouseY = TheBall.bendMouseY = mouseY;
        BendAiming = 1;
        ShowAimMarker();
        ShowKickPreview(false);
        return;
    }

    const int32_t clicked = PlayerUnderPoint(point);
    if (IsPlayerIndex(clicked)) {
        MatchPlayer& p = MatchPlayers[clicked];
        if (clicked == SelectedPlayer) {
            if (BallHolder == clicked + 1) {
                if (!KickOffPending) ToggleKickAim();
            } else if (p.stance != 2) {
                if (p.turnsDown == 0) {
                    const D3DVECTOR here = PlayerPosition(clicked);
                    p.moveTarget.x = here.x;
                    p.moveTarget.z = here.z;
                    StartJump(clicked);
                    p.facePoint = point;
                    SetFacing(clicked);
                    FacingMode = 1;
                }
            } else {
                CancelJump(clicked);
            }
        }
        SelectedPlayer = clicked;
        PlaceSelectionMarker(clicked);
        if (Options.CentrePlayerWhenSelected && CanGiveOrders()) FocusCamera(clicked);
        RefreshSelectedPlayer();
        ShowMoveRange(false);
        return;
    }

    // Open pitch: the selected player runs there.
    const int32_t s = SelectedPlayer;
    if (!IsPlayerIndex(s) || !IsMovingSidePlayer(s)) return;
    if (KickOffPending && (s == BallHolder - 1 || s == KickOffPartner - 1)) return;
    MatchPlayer& p = MatchPlayers[s];
    // The taker of a waiting restart kicks or throws it from where it lies: he is not sent away.
    const bool restartTaker = RestartPending && s == BallHolder - 1;
    if (p.turnsDown == 0 && !restartTaker) {
        CancelJump(s);
        p.moveTarget.x = point.x;
        p.moveTarget.z = point.z;
        ShowMoveTargetMarker(s);
    }
    if (BallInFlight && LastKicker == s) CancelKick();
    ShowMoveRange(false);
    if (!Options.BeginnersCamera) CyclePlayerSelection(+1);
}

bool OrderPitchDrag(const D3DVECTOR& point, int32_t mouseX, int32_t mouseY)
{
    if (!IsFinite(point)) return false;
    if (KickAimMode) {
        if (BendAiming) {
            TheBall.bendMouseX = mouseX;
            ClampBend();
            TheBall.bendMouseY = mouseY;
        } else {
            TheBall.aimPoint.x = point.x;
            TheBall.aimPoint.z = point.z;
            ShotClass = ClassifyTarget(TheBall.aimPoint);
            ShowTurnBanner();
            ShowAimMarker();
        }
        ShowKickPreview(false);
    }
    if (FacingMode && IsPlayerIndex(SelectedPlayer)) {
        MatchPlayers[SelectedPlayer].facePoint = point;
        SetFacing(SelectedPlayer);
    }
    return PlayerUnderPoint(point) != PLAYER_NONE;
}

void OrderPitchRelease(const D3DVECTOR& point, int32_t mouseX, int32_t mouseY)
{
    if (!IsFinite(point)) return;
    const int32_t s = SelectedPlayer;
    if (KickAimMode) {
        if (!IsPlayerIndex(s)) return;
        if (PlayerUnderPoint(point) == s && BallHolder == s + 1) {
            BendAiming = 0;
            TheBall.bendRefMouseX = TheBall.bendMouseX;
            TheBall.bendRefMouseY = TheBall.bendMouseY;
            ShowKickPreview(false);
            return;
        }
        if (BendAiming != 1) return;
        // The selection may have moved off the ball holder while aiming (selection keys): only
        // the holder kicks; anyone else's aim is dropped.
        if (BallHolder != s + 1) {
            LeaveKickAim();
            ShowKickPreview(true);
            SetInstanceVisible(AimMarkerModel, false);
            ShowTurnBanner();
            return;
        }
        MatchPlayer& p = MatchPlayers[s];
        CancelJump(s);
        TheBall.bendMouseX = mouseX;
        ClampBend();
        TheBall.bendMouseY = mouseY;
        ShowAimMarker();
        // The preview turns the final mouse offsets into the kick's loft and bend.
        ShowKickPreview(false);
        p.action = MatchStopState == STOP_THROW_IN ? ANIM_THROW_IN : ANIM_PASS;
        {
            // The kick is graded here alone and reaches the other computer whole (the ball's
            // message); drawing it from the shared table would move this computer's place in the
            // table and not the other's, and the next moving phase would roll differently on each.
            const bool shared = UseSharedRandom;
            UseSharedRandom = false;
            ExecuteKick(s);
            UseSharedRandom = shared;
        }
        BallInFlight = 1;
        BendAiming = 0;
        LeaveKickAim();
        ShotClass = ClassifyTarget(TheBall.aimPoint);
        if (ShotClass > 0) p.action = ANIM_SHOOT;
        ShowTurnBanner();
        if (MatchStopState == STOP_FOUL && PenaltyEnd != 0 && PenaltyAreaCrowded()) {
            CancelKick();
            LogMatchEvent(EVENT_CLEAR_BOX, s, s);
        }
        if (!Options.BeginnersCamera) CyclePlayerSelection(+1);
        return;
    }
    if (FacingMode && IsPlayerIndex(s)) {
        MatchPlayers[s].facePoint = point;
        SetFacing(s);
        FacingMode = 0;
    }
}

void ToggleKickAim()
{
    if (KickOffPending) return;
    if (KickAimMode) {
        LeaveKickAim();
        ShowKickPreview(true);
        ShowTurnBanner();
        return;
    }
    const int32_t s = SelectedPlayer;
    // Only the selected ball holder of the side to move can kick.
    const bool canAim = IsPlayerIndex(s) && BallHolder == s + 1 && IsMovingSidePlayer(s) &&
                        MatchPlayers[s].turnsDown == 0 && PlayerModel(s) != nullptr;
    if (canAim) {
        EnableButtonPair(SPRITE_CAPTION_SYSTEM, false);
        EnableButtonPair(SPRITE_CAPTION_END_TURN, false);
        KickAimMode = 1;
        const D3DVECTOR here = PlayerPosition(s);
        TheBall.aimPoint.x = here.x;
        TheBall.aimPoint.z = here.z;
        ShotClass = 0;
        MatchPlayers[s].moveTarget.x = here.x;
        MatchPlayers[s].moveTarget.z = here.z;
        ShowMoveTargetMarker(s);
        TheBall.loft = TheBall.bendX = TheBall.bendZ = 0.f;
        TheBall.bendRefMouseX = TheBall.bendMouseX;
        TheBall.bendRefMouseY = TheBall.bendMouseY;
        ShowAimMarker();
        ShowKickPreview(false);
    }
    ShowTurnBanner();
}

// --- Jumps and facing --------------------------------------------------------------------------
void StartJump(int32_t player)
{
    if (!IsPlayerIndex(player)) return;
    MatchPlayer& p = MatchPlayers[player];
    p.moveTarget.y = JUMP_HEIGHT_PER_HEADING * p.attributes[ATTR_HEADING];
    if (!std::isfinite(p.moveTarget.y) || p.moveTarget.y < 0.f) p.moveTarget.y = 0.f;
    p.stance = 2;
    PlaceMarkerOver(JumpMarkerModels[player], player, 0.5f);
    SetInstanceVisible(JumpMarkerModels[player], true);
    PlaceMarkerOver(FacingArrowModels[player], player, 0.2f);
    SetInstanceVisible(FacingArrowModels[player], true);
}

float FacingArrowHeading(int32_t player)
{
    if (!IsPlayerIndex(player)) return 0.f;
    const ModelInstance* body = PlayerModel(player);
    if (!body) return 0.f;
    const D3DVECTOR& face = MatchPlayers[player].facePoint;
    float dx = 0.f, dz = 0.f;
    // A point on the player himself gives no direction: the arrow shows the way he faces now.
    if (!GroundDirection(body->Position, face, dx, dz)) return ReduceAngle(body->Rotation.y + PI);
    // The angle between +z and the direction, the other way round when the point does not lie
    // to the +x side of him: its bearing.
    return BearingAlong(dx, dz);
}

void SetFacing(int32_t player)
{
    if (!IsPlayerIndex(player)) return;
    ModelInstance* arrow = InstanceAt(FacingArrowModels[player]);
    if (!arrow) return;
    PlaceMarkerOver(FacingArrowModels[player], player, 0.2f);
    arrow->Rotation.y = FacingArrowHeading(player);
    MarkModelMoved(*arrow);
}

void CancelJump(int32_t player)
{
    if (!IsPlayerIndex(player)) return;
    MatchPlayer& p = MatchPlayers[player];
    SetInstanceVisible(JumpMarkerModels[player], false);
    SetInstanceVisible(FacingArrowModels[player], false);
    p.moveTarget.y = 0.f;
    if (ModelInstance* m = PlayerModel(player)) {
        m->Position.y = 0.f;
        MarkModelMoved(*m);
    }
    SetPlayerAnimation(player, ANIM_STAND);
    FacingMode = 0;
    p.stance = 0;
}

void RestoreJumps()
{
    for (int32_t i = 0; i < PLAYER_COUNT; ++i) {
        MatchPlayer& p = MatchPlayers[i];
        if (p.stance != 2) continue;
        p.moveTarget.y = JUMP_HEIGHT_PER_HEADING * p.attributes[ATTR_HEADING];
        if (!std::isfinite(p.moveTarget.y) || p.moveTarget.y < 0.f) p.moveTarget.y = 0.f;
        if (ModelInstance* m = PlayerModel(i)) {
            m->Position.y = 0.f;
            m->Animating = 1;
            MarkModelMoved(*m);
        }
    }
}

void SetOverviewCamera()
{
    if (!Options.BeginnersCamera) {
        WantedCameraEye = D3DVECTOR{WantedCameraTarget.x, WantedCameraTarget.y + 11.0f, WantedCameraTarget.z - 21.0f};
        Options.CentrePlayerWhenSelected = 1;
    } else {
        Options.CentrePlayerWhenSelected = 0;
    }
    Options.FollowBallAtEndTurn = 1;
}
