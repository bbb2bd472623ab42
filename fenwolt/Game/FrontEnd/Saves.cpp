#include "fenwolt/Game/FrontEnd/Saves.h"

#include "fenwolt/Game/Unfinished.h"

TeamStagingCopy TeamStaging;
char SlotLabels[SAVE_SLOT_COUNT][SLOT_LABEL_SIZE];
int32_t SlotUsed[SAVE_SLOT_COUNT];
uint8_t LoadRequested = 0;
int32_t LoadSlot = 0;

bool SaveGame(int32_t slot)
{
    UNFINISHED();
}

bool LoadSavedGame(int32_t slot)
{
    UNFINISHED();
}

bool SaveTeam(int32_t slot)
{
    UNFINISHED();
}

bool LoadTeam(int32_t slot)
{
    UNFINISHED();
}

void ReadSaveSlotNames()
{
    UNFINISHED();
}

void ReadTeamSlotNames()
{
    UNFINISHED();
}

void EncodeSavedGame(SavedGameFile& file, int32_t slot, const char* timeText)
{
    UNFINISHED();
}

bool DecodeSavedGame(const uint8_t* data, size_t size)
{
    UNFINISHED();
}

void EncodeTeamFile(uint8_t (&out)[TeamFile::kSize], int32_t slot, const char* timeText, const TeamStagingCopy& team)
{
    UNFINISHED();
}

bool DecodeTeamFile(const uint8_t* data, size_t size, TeamFile& out)
{
    UNFINISHED();
}

bool DecodeSaveHeader(const uint8_t* data, size_t size, SaveHeader& out)
{
    UNFINISHED();
}

void BuildLoadGameScreen()
{
    UNFINISHED();
}

void OnLoadGameMessage(int32_t message)
{
    UNFINISHED();
}

void BuildSaveTeamScreen()
{
    UNFINISHED();
}

void OnSaveTeamMessage(int32_t message)
{
    UNFINISHED();
}

void BuildLoadTeamScreen()
{
    UNFINISHED();
}

void OnLoadTeamMessage(int32_t message)
{
    UNFINISHED();
}

