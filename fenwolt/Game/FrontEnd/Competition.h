// What the set-up screens choose and the match, the squad editor and the saved game read: the
// competition being played and the settings of the next match. The kit list lives here too: the
// squad editor fills it, the match dresses the players from it.
#pragma once

#include <cstdint>

enum GameModeValue : int32_t { MODE_EXHIBITION = 0, MODE_CUP = 1, MODE_LEAGUE = 2 };

struct CompetitionState {
    int32_t gameMode = MODE_EXHIBITION;
    int32_t cupRound = 0;     // 0..4
    uint8_t cupReplay = 0;    // the last cup match was drawn and is replayed
    int32_t leagueMatch = 0;  // 0..30
    int32_t currentManager = 0;      // the squad the editor shows: 0 home, 1 away
    int32_t pointsToSpend[2] = {0, 0};
    uint8_t matchInProgress = 0;
};

struct MatchSettings {
    int32_t managers = 1;  // 1 against the computer, 2 on one computer
    int32_t difficulty = 0;       // 0..10
    int32_t minutesPerHalf = 45;  // 3..45
    uint8_t abilitySwapLocked = 0;  // 0 swapping allowed ("On")
    int32_t kitChoice[2] = {0, 1};  // index into KitTable per team
};

extern CompetitionState Competition;
extern MatchSettings MatchSetup;

// The kit files found under "kit\" (names of up to 259 characters), sorted by name so that the
// indices stored in saves and messages mean the same on every machine.
constexpr int32_t KIT_TABLE_SIZE = 64;
struct KitList {
    char names[KIT_TABLE_SIZE][260] = {};
    int32_t count = 0;
};
extern KitList KitTable;

// Limits of the settings, shared by the set-up screens and the checks of loaded files.
constexpr int32_t DIFFICULTY_MAX = 10;
constexpr int32_t MINUTES_PER_HALF_MIN = 3;
constexpr int32_t MINUTES_PER_HALF_MAX = 45;
constexpr int32_t ABILITY_POINTS_TOTAL = 1000;

// Difficulty shifts the 1000 ability points between the sides: at 0 the home side has them all,
// at 10 the away side. Sets both budgets for the first match of a competition.
void SetStartingPoints();
// The home side's share of the 1000 points at the present difficulty.
int32_t HomeStartingPoints();
