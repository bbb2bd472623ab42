#include "fenwolt/Game/Match/MatchRecords.h"

#include "fenwolt/Game/FrontEnd/Competition.h"

#include <cstring>

FormationTableSet FormationTables;

MatchPlayer MatchPlayers[PLAYER_COUNT];
MatchBall TheBall;
TeamSquad TeamSquads[2];
char TeamNames[2][TEAM_NAME_SIZE];

int32_t TurnPhase = 0;
int32_t MatchStopState = 0;
int32_t SelectedPlayer = 9;
int32_t LastSelectedHome = 9, LastSelectedAway = 20;
int32_t BallHolder = 0;
int32_t LastHolder = 0;
int32_t LastTouchSide = 0;
int32_t TeamGoals[2] = {0, 0};
int32_t& HomeGoals = TeamGoals[0];
int32_t& AwayGoals = TeamGoals[1];
int32_t LastScoringSide = 0;
uint8_t GoalInProgress = 0;
uint8_t KickAimMode = 0;
int32_t BendAiming = 0;
int32_t ShotClass = 0;
uint8_t BallInFlight = 0;
uint8_t WaitingForBall = 0;
uint8_t FacingMode = 0;
uint8_t FacingDrag = 0;
uint8_t KickOffPending = 0;
int32_t KickOffPartner = 0;
int32_t KickOffPhase = 0;
int32_t FirstKickOffSide = 0;
int32_t SetPieceTaker = 0;
int32_t PenaltyEnd = 0;
int32_t BallInBox = 0;
float PhaseTimer = 0.f;
float PhaseDuration[4] = {0.25f, 1.0f, 0.25f, 1.0f};
int32_t Minute = 0, Second = 0;
int32_t Half = 1;
int32_t StoppageTurns = 0;
int32_t SelectionCycleIndex = 0;
int32_t DistanceOrder[SIDE_SIZE] = {};
uint8_t SubstitutionMode = 0;
uint8_t ShowBallMarker = 1;
uint8_t MatchScreenActive = 0;
int32_t CheatControl = 0, CheatPass = 0;
uint8_t ConstantTime = 0;
float NetStepAccumulator = 0.f;

int32_t RestartSide = 0;
int32_t RestrictedFirst = 0, RestrictedEnd = 0;
D3DVECTOR RestartSpot{0, 0, 0};
float KeepAwayDistance = 0.f;
uint8_t RestartPending = 0;
uint8_t TakerHasBall = 0;
uint8_t DeadBallKickPending = 0;
uint8_t ThrowInPending = 0;
int32_t GoalSideTable[3] = {0, 0, 1};
int32_t LastKicker = 0;
int32_t InjuryCount[2] = {0, 0};

namespace {
struct FormationDefaults {
    int32_t role[SIDE_SIZE] = {0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3};
    int32_t wingFlag[SIDE_SIZE] = {0, 1, 1, 0, 0, 1, 1, 0, 0, 0, 0};
    int32_t wingSide[SIDE_SIZE] = {0, 3, 2, 0, 0, 3, 2, 0, 0, 0, 0};
    float homeX[SIDE_SIZE] = {6, 23, 23, 23, 23, 43, 43, 40, 40, 50, 50};
    float awayX[SIDE_SIZE] = {112, 95, 95, 95, 95, 75, 75, 78, 78, 68, 68};
    float z[SIDE_SIZE] = {42, 23, 60, 34, 49, 21, 66, 34, 53, 40, 50};
};

struct FormationInit {
    FormationInit() { ResetFormationTables(); }
} formationInit;
}  // namespace

void ResetFormationTables()
{
    static const FormationDefaults d;
    for (int32_t i = 0; i < PLAYER_COUNT; ++i) {
        const int32_t k = i % SIDE_SIZE;
        FormationTables.role[i] = d.role[k];
        FormationTables.wingFlag[i] = d.wingFlag[k];
        FormationTables.wingSide[i] = d.wingSide[k];
        FormationTables.x[i] = i < SIDE_SIZE ? d.homeX[k] : d.awayX[k];
        FormationTables.z[i] = d.z[k];
    }
}

bool IsMovingSidePlayer(int32_t index)
{
    return (TurnPhase == PHASE_HOME_PLANS && index < SIDE_SIZE) || (TurnPhase == PHASE_AWAY_PLANS && index >= SIDE_SIZE);
}

bool CanGiveOrders()
{
    return MatchSetup.managers == 2 || TurnPhase == PHASE_HOME_PLANS || TurnPhase == PHASE_HOME_MOVES;
}

SquadPlayer* SquadPlayerOf(int32_t player)
{
    if (!IsPlayerIndex(player)) return nullptr;
    const int32_t slot = MatchPlayers[player].squadSlot;
    if (slot < 0 || slot >= SQUAD_SIZE) return nullptr;
    return &TeamSquads[IsAwaySide(player)].players[slot];
}

void ResetMatchGlobals()
{
    TurnPhase = 0;
    MatchStopState = STOP_IN_PLAY;
    SelectedPlayer = 9;
    LastSelectedHome = 9;
    LastSelectedAway = 20;
    BallHolder = LastHolder = LastTouchSide = 0;
    TeamGoals[0] = TeamGoals[1] = 0;
    LastScoringSide = 0;
    GoalInProgress = KickAimMode = 0;
    BendAiming = ShotClass = 0;
    BallInFlight = WaitingForBall = FacingMode = FacingDrag = KickOffPending = 0;
    KickOffPartner = KickOffPhase = FirstKickOffSide = SetPieceTaker = 0;
    PenaltyEnd = BallInBox = 0;
    PhaseTimer = 0.f;
    PhaseDuration[0] = 0.25f;
    PhaseDuration[1] = 1.0f;
    PhaseDuration[2] = 0.25f;
    PhaseDuration[3] = 1.0f;
    Minute = Second = 0;
    Half = 1;
    StoppageTurns = 0;
    SelectionCycleIndex = 0;
    for (int32_t& d : DistanceOrder) d = 0;
    SubstitutionMode = 0;
    ShowBallMarker = 1;
    NetStepAccumulator = 0.f;
    RestartSide = RestrictedFirst = RestrictedEnd = 0;
    RestartSpot = D3DVECTOR{0, 0, 0};
    KeepAwayDistance = 0.f;
    RestartPending = TakerHasBall = DeadBallKickPending = ThrowInPending = 0;
    GoalSideTable[0] = 0;
    GoalSideTable[1] = 0;
    GoalSideTable[2] = 1;
    LastKicker = 0;
    InjuryCount[0] = InjuryCount[1] = 0;
}
