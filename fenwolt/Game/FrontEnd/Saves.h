// Saved games and saved teams: ten slots of each in the "saves" folder. A file is the program's
// records written one after the other, little-endian, field by field in the stored layout (no
// magic, no version, no checksum). Reading checks every field before anything is changed: a short,
// long or damaged file is refused and leaves the game as it was.
#pragma once

#include "fenwolt/Game/FrontEnd/FileReplace.h"
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

// Writes the game into a slot; false (and the slot's old file untouched) when it cannot, with
// what stopped it in `why` when given.
bool SaveGame(int32_t slot, WriteFault* why = nullptr);
// Reads a slot into the game; false, and nothing changed, when the file is missing or unusable.
bool LoadSavedGame(int32_t slot);
// The team staging copy to and from a team slot; the same rules.
bool SaveTeam(int32_t slot, WriteFault* why = nullptr);
bool LoadTeam(int32_t slot);
void ReadSaveSlotNames();
void ReadTeamSlotNames();
// At start: the temporaries that writes stopped midway (the program killed, the machine off)
// left in the saves folder, those of the options and of every slot, are removed. A folder at
// such a name is left alone.
void ClearLeftoverTemporaries();
// One slot's label again, once that slot has been written or found unusable.
void ReadSaveSlotName(int32_t slot);
void ReadTeamSlotName(int32_t slot);

// One model instance's pose as a saved game keeps it (300 bytes in the file): records 0..21 the
// players' instances in MatchPlayer order, record 22 the ball's (position and rotation only).
constexpr int32_t INSTANCE_SNAPSHOT_COUNT = 23;
constexpr int32_t SNAPSHOT_CHANNELS = 17;
struct InstanceSnapshot {
    D3DVECTOR position;
    float rotationY;
    int32_t animationSlot;
    int32_t currentFrame[SNAPSHOT_CHANNELS];
    int32_t nextFrame[SNAPSHOT_CHANNELS];
    float blend[SNAPSHOT_CHANNELS];
    float timeInFrame[SNAPSHOT_CHANNELS];
};

// Everything a saved game holds, in the order of its blocks. Capture fills it from the game,
// Apply puts it back; Encode and Parse turn it into the file's bytes and back.
struct SavedGameState;
SavedGameState* NewSavedGameState();
void DeleteSavedGameState(SavedGameState* state);
void CaptureSavedGame(SavedGameState& state, int32_t slot, const char* timeText);
void EncodeSavedGame(const SavedGameState& state, SavedGameFile& file);
// Checks every field; false (and `state` not to be used) for a file that is short, long or
// damaged. Reads nothing of the game.
bool ParseSavedGame(const uint8_t* data, size_t size, SavedGameState& state);
void ApplySavedGame(const SavedGameState& state);
// The header of a saved game or team file image.
bool ParseSaveHeader(const uint8_t* data, size_t size, SaveHeader& out);

void EncodeTeamFile(const TeamFile& team, uint8_t (&out)[TeamFile::kSize]);
bool ParseTeamFile(const uint8_t* data, size_t size, TeamFile& out);

// The label of a game slot ("EXH ", "CUP " or "LGE " and the saving time) and of a team slot
// (the team name and the saving time), cut to the label size.
void FormatGameSlotLabel(char (&out)[SLOT_LABEL_SIZE], const SaveHeader& header);
void FormatTeamSlotLabel(char (&out)[SLOT_LABEL_SIZE], const TeamFile& team);

// The list of the ten slots that the slot screens and the system menu's save list show: the
// "Slot %d" buttons from `firstButton` on at `buttonX`, and the labels (sprites 1524..1533, plain
// text that takes no press) at `labelX`, one row of 20 pixels a slot from y 190, in green.
void CreateSlotList(unsigned firstButton, float buttonX, float labelX);
// The labels written again after a slot's file changed.
void RedrawSlotLabels();

void BuildLoadGameScreen();
void OnLoadGameMessage(int32_t message);
void BuildSaveTeamScreen();
void OnSaveTeamMessage(int32_t message);
void BuildLoadTeamScreen();
void OnLoadTeamMessage(int32_t message);
