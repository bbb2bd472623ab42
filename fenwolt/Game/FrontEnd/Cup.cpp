#include "fenwolt/Game/FrontEnd/Cup.h"

#include "fenwolt/Game/Unfinished.h"

const char* CupRoundName(int32_t round)
{
    UNFINISHED();
}

const char* CupOpponentName(int32_t round)
{
    UNFINISHED();
}

void StartCupMatchPoints()
{
    UNFINISHED();
}

CupOutcome DecideCupResult(int32_t homeGoals, int32_t awayGoals)
{
    UNFINISHED();
}

const char* CupOutcomeText(CupOutcome outcome, int32_t round)
{
    UNFINISHED();
}

void BuildCupScreen()
{
    UNFINISHED();
}

void OnCupMessage(int32_t message)
{
    UNFINISHED();
}

void BuildCupResultScreen()
{
    UNFINISHED();
}

void OnCupResultMessage(int32_t message)
{
    UNFINISHED();
}

