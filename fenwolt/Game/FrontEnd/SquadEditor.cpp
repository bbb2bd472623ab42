#include "fenwolt/Game/FrontEnd/SquadEditor.h"

#include "fenwolt/Game/Unfinished.h"

const AbilityColumn AbilityColumns[ABILITY_COLUMN_COUNT] = {};
int32_t SelectedMarker = 0;

int32_t AbilityColumnOf(int32_t attribute)
{
    UNFINISHED();
}

bool AdjustAbility(int32_t team, int32_t column, int32_t slot, bool raise)
{
    UNFINISHED();
}

int32_t SquadRating(int32_t team)
{
    UNFINISHED();
}

float MarkerScreenX(const SquadPlayer& player)
{
    UNFINISHED();
}

float MarkerScreenY(const SquadPlayer& player)
{
    UNFINISHED();
}

bool MoveSelectedStarter(int32_t team, int32_t mouseX, int32_t mouseY)
{
    UNFINISHED();
}

bool SwapWithSubstitute(int32_t team, int32_t starter, int32_t benchSlot)
{
    UNFINISHED();
}

void OrderSquad(int32_t team)
{
    UNFINISHED();
}

void SetComputerFormation(int32_t team)
{
    UNFINISHED();
}

void AutoSpend(int32_t team)
{
    UNFINISHED();
}

void ListKits()
{
    UNFINISHED();
}

void SetDefaultKits()
{
    UNFINISHED();
}

int32_t StepKitIndex(int32_t kit, int32_t direction)
{
    UNFINISHED();
}

void StepKit(int32_t team, int32_t direction)
{
    UNFINISHED();
}

void CopyTeamToStaging(int32_t team)
{
    UNFINISHED();
}

void CopyStagingToTeam(int32_t team)
{
    UNFINISHED();
}

void StartMatchFromEditor()
{
    UNFINISHED();
}

void BuildSquadScreen()
{
    UNFINISHED();
}

void OnSquadMessage(int32_t message)
{
    UNFINISHED();
}

