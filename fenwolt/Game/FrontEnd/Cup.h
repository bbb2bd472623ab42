// The knockout cup: five rounds against fixed opponents, a draw replayed, a loss the end.
#pragma once

#include <cstdint>

constexpr int32_t CUP_ROUNDS = 5;

enum CupOutcome : int32_t {
    CUP_THROUGH = 0,  // a home win before the final
    CUP_WON = 1,      // a home win of the final
    CUP_OUT = 2,      // an away win
    CUP_REPLAY = 3,   // a draw: the round is played again
};

// "FIRST ROUND" .. "FINAL" (round 0..4; any other round reads as the final's neighbour clamped).
const char* CupRoundName(int32_t round);
// The club met in a round.
const char* CupOpponentName(int32_t round);

// The ability budgets and the away kit before a cup match starts (START MATCH): the first round
// splits the 1000 points by difficulty; a later round adds 100 at home and cupRound x 250 away
// and dresses the opponent in the next kit; a replay changes nothing.
void StartCupMatchPoints();
// The outcome of the finished match in the current round; sets cupReplay for a draw.
CupOutcome DecideCupResult(int32_t homeGoals, int32_t awayGoals);
// The second line of the result screen for an outcome in a round.
const char* CupOutcomeText(CupOutcome outcome, int32_t round);

void BuildCupScreen();
void OnCupMessage(int32_t message);
void BuildCupResultScreen();
void OnCupResultMessage(int32_t message);
