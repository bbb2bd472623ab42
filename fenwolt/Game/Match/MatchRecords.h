// The match lives in plain global records that every part of the match reads and writes: 22
// on-pitch players, the ball, the two squads and a set of scalar globals (turn phase, stop state,
// clock, score, selection, restart). Saved games and the network copy these records byte for
// byte, so their layouts are storage and wire layouts: every size and offset is pinned below.
//
// Player indices: 0..10 home, 11..21 away, 0 and 11 the goalkeepers, 22 no player. Globals that
// name a holder store the index + 1 (0 = none); 27 stands for the ball where a player or the ball
// may be meant.
#pragma once

#include "platform/d3d8/d3d8types.h"

#include <cstddef>
#include <cstdint>

constexpr int32_t PLAYER_COUNT = 22;
constexpr int32_t SIDE_SIZE = 11;
constexpr int32_t PLAYER_NONE = 22;
constexpr int32_t BALL_TARGET = 27;
constexpr int32_t HOME_KEEPER = 0;
constexpr int32_t AWAY_KEEPER = 11;
constexpr int32_t SQUAD_SIZE = 16;
constexpr int32_t TEAM_NAME_SIZE = 12;

// --- Player attributes (indices into the 19 floats of MatchPlayer and SquadPlayer) -----------
enum PlayerAttributes : int32_t {
    ATTR_SPEED = 0,          // 0..10, printed x10
    ATTR_DRIBBLE = 1,        // 0..10, x10
    ATTR_TURN = 2,           // 0..1, x100
    ATTR_CLOSE_CONTROL = 3,  // 0..1, x100
    ATTR_PASS_SHORT = 4,
    ATTR_PASS_MEDIUM = 5,
    ATTR_PASS_LONG = 6,
    ATTR_SHOOT_SHORT = 7,
    ATTR_SHOOT_MEDIUM = 8,
    ATTR_SHOOT_LONG = 9,
    ATTR_CONTROL = 10,
    ATTR_BEND = 11,     // 0.1..10, x10
    ATTR_HEADING = 12,  // 0..1, x100
    ATTR_VOLLEY = 13,   // 0..1, x100
    ATTR_TACKLING = 14,
    ATTR_SHIELDING = 15,
    ATTR_THROW_IN = 16,
    ATTR_DEAD_BALL = 17,
    ATTR_STAMINA = 18,
    ATTR_COUNT = 19,
};

enum PlayerRole : int32_t { ROLE_KEEPER = 0, ROLE_DEF = 1, ROLE_MID = 2, ROLE_ATT = 3 };

// Animation slots of the player mesh (loaded in this order by the scene load).
enum PlayerAnimation : int32_t {
    ANIM_STAND = 0,
    ANIM_RUN = 1,
    ANIM_PASS = 2,
    ANIM_JUMP = 3,
    ANIM_TACKLE = 4,
    ANIM_SHOOT = 5,
    ANIM_VOLLEY = 6,
    ANIM_CELEBRATE = 7,
    ANIM_THROW_IN = 8,
    ANIM_DIVE_RIGHT = 9,
    ANIM_DIVE_LEFT = 10,
    ANIM_TURN = 11,
};

// --- MatchPlayer: one footballer on the pitch (260 bytes) ------------------------------------
struct MatchPlayer {
    int32_t model;              // ModelInstance index
    int32_t numberMarkerModel;  // instance of the floating shirt number (outfield only)
    int32_t numberTexture;      // 0..15: which number texture the marker shows
    D3DVECTOR moveTarget;       // x, z the run target; y the ordered jump height (0 = none)
    float heading;              // the heading he turns toward while moving
    D3DVECTOR facePoint;        // the point he was told to face (x, z)
    float spare;                // not used by the match; carried by the messages
    float bodySize;             // 30 x model scale: contact size
    float headHeight;           // 61 x model scale
    float attributes[ATTR_COUNT];
    float energy;         // 0..energyCeiling
    int32_t action;       // 0 none, 2 pass, 5 shot, 8 throw-in (the one-shot animation)
    int32_t stance;       // 0 none, 1 turn to face, 2 jump ordered
    int32_t turnsDown;    // turns he stays down; takes no orders while > 0
    int32_t contacts;     // body contacts this frame
    int32_t moveCounterA; // consecutive moving steps ending in a contact
    int32_t moveCounterB; // moving steps in contact, wrapping to 0 after 12
    int32_t aiCounter;    // the computer's ball-holder decision counter
    int32_t role;         // PlayerRole
    int32_t wingFlag;     // 1 = plays on a wing
    int32_t wingSide;     // 0 centre, 3 or 2 the wing
    float formationX;     // formation spot, home orientation
    float formationZ;
    uint8_t offside;      // stood offside when the last pass was played
    char name[15];        // NUL-terminated, at most 14 characters
    int32_t squadSlot;    // 0..15 in the side's TeamSquad
    uint8_t reserved0[4];
    uint8_t sceneFlag;    // set when the scene is loaded; no reader
    uint8_t reserved1[3];
    float energyCeiling;  // the most energy he can regain (100; lowered by injuries)
    uint8_t reserved2[48];
};
static_assert(sizeof(MatchPlayer) == 260, "MatchPlayer is a 260-byte stored record");
static_assert(offsetof(MatchPlayer, moveTarget) == 12);
static_assert(offsetof(MatchPlayer, heading) == 24);
static_assert(offsetof(MatchPlayer, facePoint) == 28);
static_assert(offsetof(MatchPlayer, spare) == 40);
static_assert(offsetof(MatchPlayer, bodySize) == 44);
static_assert(offsetof(MatchPlayer, headHeight) == 48);
static_assert(offsetof(MatchPlayer, attributes) == 52);
static_assert(offsetof(MatchPlayer, energy) == 128);
static_assert(offsetof(MatchPlayer, action) == 132);
static_assert(offsetof(MatchPlayer, stance) == 136);
static_assert(offsetof(MatchPlayer, turnsDown) == 140);
static_assert(offsetof(MatchPlayer, contacts) == 144);
static_assert(offsetof(MatchPlayer, moveCounterA) == 148);
static_assert(offsetof(MatchPlayer, moveCounterB) == 152);
static_assert(offsetof(MatchPlayer, aiCounter) == 156);
static_assert(offsetof(MatchPlayer, role) == 160);
static_assert(offsetof(MatchPlayer, wingFlag) == 164);
static_assert(offsetof(MatchPlayer, wingSide) == 168);
static_assert(offsetof(MatchPlayer, formationX) == 172);
static_assert(offsetof(MatchPlayer, formationZ) == 176);
static_assert(offsetof(MatchPlayer, offside) == 180);
static_assert(offsetof(MatchPlayer, name) == 181);
static_assert(offsetof(MatchPlayer, squadSlot) == 196);
static_assert(offsetof(MatchPlayer, sceneFlag) == 204);
static_assert(offsetof(MatchPlayer, energyCeiling) == 208);

// --- MatchBall (92 bytes) ---------------------------------------------------------------------
struct MatchBall {
    int32_t model;        // "xdata\ball.x"
    int32_t markerModel;  // the arrow kept 2.5 above the ball
    D3DVECTOR aimPoint;
    float bendX;
    float loft;  // peak height above rest; 0 = a ground ball
    float bendZ;
    D3DVECTOR destination;  // where the ball comes to rest
    D3DVECTOR kickStart;
    D3DVECTOR groundPoint;  // current point of the straight ground track
    float rotation;         // spin angle copied to the model
    float radius;           // 4.9 x model scale
    int32_t bendRefMouseX;
    int32_t bendRefMouseY;
    int32_t bendMouseX;
    int32_t bendMouseY;
};
static_assert(sizeof(MatchBall) == 92, "MatchBall is a 92-byte stored record");
static_assert(offsetof(MatchBall, aimPoint) == 8);
static_assert(offsetof(MatchBall, bendX) == 20);
static_assert(offsetof(MatchBall, loft) == 24);
static_assert(offsetof(MatchBall, bendZ) == 28);
static_assert(offsetof(MatchBall, destination) == 32);
static_assert(offsetof(MatchBall, kickStart) == 44);
static_assert(offsetof(MatchBall, groundPoint) == 56);
static_assert(offsetof(MatchBall, rotation) == 68);
static_assert(offsetof(MatchBall, radius) == 72);
static_assert(offsetof(MatchBall, bendRefMouseX) == 76);
static_assert(offsetof(MatchBall, bendMouseY) == 88);

// --- Squads (SquadPlayer 288 bytes, TeamSquad 4608) ---------------------------------------------
// The fifteen counters kept once for the career and once for the last match.
struct SquadStats {
    int32_t tacklesWon;
    int32_t tackleAttemptsLost;
    int32_t haveBeenTackled;
    int32_t preventedBeingTackled;
    int32_t foulsDone;
    int32_t haveBeenFouled;
    int32_t passAttempts[3];  // short, medium, long
    int32_t goodPasses[3];
    int32_t attemptsOnGoal;
    int32_t goalsScored;
    float timeOnBall;  // seconds
};
static_assert(sizeof(SquadStats) == 60);

struct SquadPlayer {
    float attributes[ATTR_COUNT];
    int32_t role;
    int32_t wingFlag;
    int32_t wingSide;
    float formationX;
    float formationZ;
    char name[28];  // NUL-terminated; at most 14 characters are used
    int32_t gamesPlayed;
    SquadStats career;
    SquadStats lastMatch;
    int32_t reserved[10];
};
static_assert(sizeof(SquadPlayer) == 288, "SquadPlayer is 72 four-byte fields");
static_assert(offsetof(SquadPlayer, role) == 19 * 4);
static_assert(offsetof(SquadPlayer, formationX) == 22 * 4);
static_assert(offsetof(SquadPlayer, name) == 24 * 4);
static_assert(offsetof(SquadPlayer, gamesPlayed) == 31 * 4);
static_assert(offsetof(SquadPlayer, career) == 32 * 4);
static_assert(offsetof(SquadPlayer, lastMatch) == 47 * 4);
static_assert(offsetof(SquadPlayer, reserved) == 62 * 4);

struct TeamSquad {
    SquadPlayer players[SQUAD_SIZE];  // 0..10 the starting eleven (0 the keeper), 11..15 the bench
};
static_assert(sizeof(TeamSquad) == 4608);

// --- Turn phase and stop state ------------------------------------------------------------------
enum TurnPhaseValue : int32_t { PHASE_HOME_PLANS = 0, PHASE_HOME_MOVES = 1, PHASE_AWAY_PLANS = 2, PHASE_AWAY_MOVES = 3 };

enum MatchStopStateValue : int32_t {
    STOP_IN_PLAY = 0,
    STOP_GOAL = 1,
    STOP_THROW_IN = 2,
    STOP_GOAL_KICK = 3,
    STOP_CORNER = 4,
    STOP_UNUSED_5 = 5,  // never set; a few tests treat it like a restart
    STOP_KICK_OFF = 6,
    STOP_FULL_TIME = 7,
    STOP_OFFSIDE = 8,
    STOP_FOUL = 9,  // a penalty when PenaltyEnd is 213 or 214
};

constexpr int32_t PENALTY_LOW_END = 213;
constexpr int32_t PENALTY_HIGH_END = 214;

// --- Pitch geometry (pitch units) -----------------------------------------------------------------
constexpr float GOAL_LINE_LOW_X = 4.5f;
constexpr float GOAL_LINE_HIGH_X = 114.55f;
constexpr float TOUCHLINE_LOW_Z = 4.58f;
constexpr float TOUCHLINE_HIGH_Z = 79.54f;
constexpr float GOAL_MOUTH_LOW_Z = 38.29f;
constexpr float GOAL_MOUTH_HIGH_Z = 47.09f;
constexpr float CROSSBAR_HEIGHT = 2.56f;
constexpr float PENALTY_AREA_LOW_X = 20.94f;   // low-x area: x below this
constexpr float PENALTY_AREA_HIGH_X = 98.07f;  // high-x area: x above this
constexpr float PENALTY_AREA_LOW_Z = 21.94f;
constexpr float PENALTY_AREA_HIGH_Z = 62.14f;
constexpr float CENTRE_X = 59.47f;  // the halfway line
constexpr float CENTRE_Z = 42.08f;
constexpr float PENALTY_SPOT_LOW_X = 15.51f;
constexpr float PENALTY_SPOT_HIGH_X = 103.45f;
constexpr float BALL_REST_HEIGHT = 0.11907f;
constexpr float SHOT_BOX_LOW_X0 = 2.43f, SHOT_BOX_LOW_X1 = 4.47f;
constexpr float SHOT_BOX_HIGH_X0 = 114.51f, SHOT_BOX_HIGH_X1 = 116.58f;
constexpr float SHOT_BOX_Z0 = 38.31f, SHOT_BOX_Z1 = 45.65f;
constexpr float FORMATION_MIRROR_X = 118.0f;  // away spot x' = 118 - x

// --- Formation tables (a 4-4-2, home 0..10 then away 11..21) -------------------------------------
// Saved whole with a game (x, z, role and wing flag), so they are mutable globals.
struct FormationTableSet {
    int32_t role[PLAYER_COUNT];
    int32_t wingFlag[PLAYER_COUNT];
    int32_t wingSide[PLAYER_COUNT];
    float x[PLAYER_COUNT];
    float z[PLAYER_COUNT];
};
extern FormationTableSet FormationTables;
// The 4-4-2 as the game ships it.
void ResetFormationTables();

// --- The records ------------------------------------------------------------------------------------
extern MatchPlayer MatchPlayers[PLAYER_COUNT];
extern MatchBall TheBall;
extern TeamSquad TeamSquads[2];                 // 0 home, 1 away
extern char TeamNames[2][TEAM_NAME_SIZE];       // stored side by side: home, then away

// --- MatchState: the scalar globals of the match ----------------------------------------------
extern int32_t TurnPhase;
extern int32_t MatchStopState;
extern int32_t SelectedPlayer;
extern int32_t LastSelectedHome, LastSelectedAway;
extern int32_t BallHolder;    // player + 1, 0 none
extern int32_t LastHolder;    // copy of BallHolder taken whenever the holder is set
extern int32_t LastTouchSide; // 1 home, 2 away, 0 nobody yet
extern int32_t TeamGoals[2];  // the score, indexed by side
extern int32_t& HomeGoals;
extern int32_t& AwayGoals;
extern int32_t LastScoringSide;  // 0 home, 1 away
extern uint8_t GoalInProgress;
extern uint8_t KickAimMode;
extern int32_t BendAiming;
extern int32_t ShotClass;  // ClassifyTarget of the aim point: 0 pass, 1 or 2 a shot
extern uint8_t BallInFlight;
extern uint8_t WaitingForBall;
extern uint8_t FacingMode;
extern uint8_t FacingDrag;
extern uint8_t KickOffPending;
extern int32_t KickOffPartner;  // player + 1
extern int32_t KickOffPhase;
extern int32_t FirstKickOffSide;
extern int32_t SetPieceTaker;  // player + 1
extern int32_t PenaltyEnd;     // 213, 214 or 0
extern int32_t BallInBox;      // 4 low-x area, 5 high-x area, else 0
extern float PhaseTimer;
extern float PhaseDuration[4];
extern int32_t Minute, Second;
extern int32_t Half;  // 1, 2, or 3 once the match is over
extern int32_t StoppageTurns;
extern int32_t SelectionCycleIndex;
extern int32_t DistanceOrder[SIDE_SIZE];
extern uint8_t SubstitutionMode;
extern uint8_t ShowBallMarker;
extern uint8_t MatchScreenActive;
extern int32_t CheatControl, CheatPass;
extern uint8_t ConstantTime;
extern float NetStepAccumulator;

// --- The restart record and the rules' own state -------------------------------------------------
extern int32_t RestartSide;  // side awarded the restart: 0 home, 1 away
extern int32_t RestrictedFirst, RestrictedEnd;  // [first, end) of the side that keeps away
extern D3DVECTOR RestartSpot;
extern float KeepAwayDistance;
extern uint8_t RestartPending;
extern uint8_t TakerHasBall;
extern uint8_t DeadBallKickPending;
extern uint8_t ThrowInPending;
// [0] unused, [1] the side that scores in the high-x goal, [2] the side that scores in the low-x
// goal (LowGoalScorerSide).
extern int32_t GoalSideTable[3];
inline int32_t LowGoalScorerSide() { return GoalSideTable[2]; }
extern int32_t LastKicker;  // player index credited with a goal
extern int32_t InjuryCount[2];

// --- Side and index helpers -------------------------------------------------------------------------
inline int32_t IsAwaySide(int32_t index) { return index >= SIDE_SIZE ? 1 : 0; }
inline bool IsPlayerOfSide(int32_t side, int32_t index) { return side == 0 ? index < SIDE_SIZE : index >= SIDE_SIZE; }
inline bool SameSide(int32_t a, int32_t b) { return (a < SIDE_SIZE) == (b < SIDE_SIZE); }
inline bool IsPlayerIndex(int32_t index) { return index >= 0 && index < PLAYER_COUNT; }
inline int32_t SquadSlotOf(int32_t player) { return MatchPlayers[player].squadSlot; }
// The side that gives orders now: home in phase 0, away in phase 2.
bool IsMovingSidePlayer(int32_t index);
// Two managers may always order; against the computer only in the home side's phases.
bool CanGiveOrders();
// The squad record that a pitch player is (through his side and squad slot), null when the slot
// is out of range.
SquadPlayer* SquadPlayerOf(int32_t player);

// Every global above back to the state before any match: scores, clock, stop state, restart,
// flags. The scene load calls it so that a second match never inherits the first one's state.
void ResetMatchGlobals();
