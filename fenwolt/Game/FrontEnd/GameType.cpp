#include "fenwolt/Game/FrontEnd/GameType.h"

#include "fenwolt/Game/Unfinished.h"

void BuildGameTypeScreen()
{
    UNFINISHED();
}

void OnGameTypeMessage(int32_t message)
{
    UNFINISHED();
}

void BuildExhibitionScreen()
{
    UNFINISHED();
}

void OnExhibitionMessage(int32_t message)
{
    UNFINISHED();
}

void BuildExhibitionResultScreen()
{
    UNFINISHED();
}

void OnExhibitionResultMessage(int32_t message)
{
    UNFINISHED();
}

void ShowSetupValues()
{
    UNFINISHED();
}

bool StepSetupValue(unsigned handle, bool up)
{
    UNFINISHED();
}

void EditTeamName(unsigned handle, int32_t team)
{
    UNFINISHED();
}

void ResetHover()
{
    UNFINISHED();
}

void HoverSprite(unsigned hit, bool eligible)
{
    UNFINISHED();
}

void FormatVerdict(char* out, size_t size, const char* winFormat, int32_t homeGoals, int32_t awayGoals, const char* homeName, const char* awayName)
{
    UNFINISHED();
}

void CreateScoreLine(float y, const char* leftName, int32_t leftGoals, int32_t rightGoals, const char* rightName)
{
    UNFINISHED();
}

