// The save file "game%d.sav" (slots 1..10): an MD5 of the scrambled record, then the record
// scrambled by the program's own linear congruential generator. The digest has no key, so a
// record that passes it is still only trusted after its fields are brought into range.
#pragma once

#include <cstddef>
#include <cstdint>

#include "skerrow/Src/game/GameState.h"

const int kSaveSlots = 10;
const int kSaveTitleMax = 16;
const int kSaveRecordSize = 264;
const int kSaveFileSize = 280;
const uint32_t kSaveScrambleSeed = 0x2F6B1D83u;

struct SaveGameRecord {
    char title[32];
    int32_t score;
    int32_t lives;
    int32_t money;
    InventorySlot inventory[kInventorySlots];
    uint8_t completed[kLevelCount];
};
static_assert(sizeof(SaveGameRecord) == kSaveRecordSize, "the record is stored byte for byte");

class RandomGenerator {
public:
    void SetSeed(uint32_t s) { seed_ = s; }
    uint32_t Seed() const { return seed_; }
    // seed := seed x 214013 + 2531011; ((seed >> 16) & 0x7FFF) mod n (0 for n <= 0).
    int Next(int n);
    int NextInRange(int lo, int hi) { return lo + Next(hi - lo); }

private:
    uint32_t seed_ = 1;
};
extern RandomGenerator g_saveRandom;

// XORs the 264 record bytes with the keystream; the same call undoes it.
void ScrambleRecord(uint8_t* bytes);

// The record of a campaign: the title (cut to 16 characters), score, lives, money, the
// inventory and one completed byte per level.
void BuildSaveRecord(const GameState& game, const char* title, SaveGameRecord* out);
// The 280 file bytes of a record.
void EncodeSaveFile(const SaveGameRecord& record, uint8_t* out);
// 1 when `data` is exactly one intact save file; the record is then unscrambled and brought
// into range. 0 leaves `out` untouched.
int DecodeSaveFile(const uint8_t* data, size_t size, SaveGameRecord* out);
// Brings a record's fields into range: a terminated title of at most 16 characters, no negative
// score, lives or money, only real inventory items with sane counters, completed flags 0 or 1.
void SanitiseSaveRecord(SaveGameRecord* record);
// Restores the campaign: score, lives, money, inventory, and every level record cleared with
// its completed flag (a completed level is also revealed).
void ApplySaveRecord(const SaveGameRecord& record, GameState& game);

// "game%d.sav" of slot 0..9 (file number slot + 1).
void SaveFileName(int slot, char* out, size_t size);
// Reads a slot's file through the resource locator (a plain file first). 1 when valid.
int ReadSaveSlot(int slot, SaveGameRecord* out);
// Writes a slot's file through a temporary file and a rename, so a failed write leaves the old
// save whole. 1 only when every byte reached the disk.
int WriteSaveSlot(int slot, const SaveGameRecord& record);
