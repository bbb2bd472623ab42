// Saved games and saved teams: ten slots of each in the "saves" folder. A file is the program's
// records written one after the other, little-endian, field by field in the stored layout (no
// magic, no version, no checksum). Reading checks every field before anything is changed: a short,
// long or damaged file is refused and leaves the game as it was.
#pragma once

#include "fenwolt/Game/Match/MatchRecords.h"

#include <cstddef>
#include <cstdint>

constexpr int32_t SAVE_SLOT_COUNT = 10;
constexpr int32_t SLOT_LABEL_SIZE = 260;

// First in both files (272 bytes).
struct SaveHeader {
    char timeText[260];  // ctime of the moment of saving, zero-terminated
    int32_t slot;        // 0..9
    uint8_t matchInProgress;
    int32_t gameMode;  // 0 exhibition, 1 cup, 2 league (0 in a team file)
};
constexpr size_t SAVE_HEADER_SIZE = 272;

// "saves\sav%d.sav": 84 blocks, 23,924 bytes.
struct SavedGameFile {
    static constexpr size_t kSize = 23924;
    uint8_t bytes[kSize];
};

// "saves\sav%d.tem": one team, 4,896 bytes.
struct TeamFile {
    static constexpr size_t kSize = 4896;
    SaveHeader header;
    char teamName[TEAM_NAME_SIZE];
    TeamSquad squad;
    int32_t kitChoice;
};

// One team on its way to or from a team slot: the squad editor fills it before saving and takes
// it after loading.
struct TeamStagingCopy {
    char name[TEAM_NAME_SIZE];
    TeamSquad squad;
    int32_t kitChoice;
};
extern TeamStagingCopy TeamStaging;

// The labels of the ten slots of the screen shown, and whether each slot holds a file.
extern char SlotLabels[SAVE_SLOT_COUNT][SLOT_LABEL_SIZE];
extern int32_t SlotUsed[SAVE_SLOT_COUNT];

// Set by the load-game screen; the match screen's builder loads LoadSlot when it is set.
extern uint8_t LoadRequested;
extern int32_t LoadSlot;

// Writes the game into a slot; false (and the slot's old file untouched) when it cannot.
bool SaveGame(int32_t slot);
// Reads a slot into the game; false, and nothing changed, when the file is missing or unusable.
bool LoadSavedGame(int32_t slot);
// The team staging copy to and from a team slot; the same rules.
bool SaveTeam(int32_t slot);
bool LoadTeam(int32_t slot);
void ReadSaveSlotNames();
void ReadTeamSlotNames();

// The file images themselves (the slot functions and the tests use them).
void EncodeSavedGame(SavedGameFile& file, int32_t slot, const char* timeText);
bool DecodeSavedGame(const uint8_t* data, size_t size);
void EncodeTeamFile(uint8_t (&out)[TeamFile::kSize], int32_t slot, const char* timeText, const TeamStagingCopy& team);
bool DecodeTeamFile(const uint8_t* data, size_t size, TeamFile& out);
// A header's label parts, checked; false for a header that is not usable.
bool DecodeSaveHeader(const uint8_t* data, size_t size, SaveHeader& out);

void BuildLoadGameScreen();
void OnLoadGameMessage(int32_t message);
void BuildSaveTeamScreen();
void OnSaveTeamMessage(int32_t message);
void BuildLoadTeamScreen();
void OnLoadTeamMessage(int32_t message);
