#include "skerrow/Src/game/SaveFile.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "skerrow/Src/Digest.h"
#include "skerrow/Src/FileSystem.h"
#include "skerrow/Src/ResourceLocator.h"

RandomGenerator g_saveRandom;

int RandomGenerator::Next(int n)
{
    seed_ = seed_ * 214013u + 2531011u;
    if (n <= 0) return 0;
    return static_cast<int>((seed_ >> 16) & 0x7FFF) % n;
}

void ScrambleRecord(uint8_t* bytes)
{
    g_saveRandom.SetSeed(kSaveScrambleSeed);
    for (int i = 0; i < kSaveRecordSize; ++i)
        bytes[i] = static_cast<uint8_t>(bytes[i] ^ (g_saveRandom.NextInRange(1, kSaveRecordSize) & 0xFF));
}

void BuildSaveRecord(const GameState& game, const char* title, SaveGameRecord* out)
{
    std::memset(out, 0, sizeof *out);
    if (title) {
        const size_t n = std::min(std::strlen(title), static_cast<size_t>(kSaveTitleMax));
        std::memcpy(out->title, title, n);
    }
    out->score = game.score;
    out->lives = game.lives;
    out->money = game.money;
    std::memcpy(out->inventory, game.inventory, sizeof out->inventory);
    for (int i = 0; i < kLevelCount; ++i) out->completed[i] = static_cast<uint8_t>(game.levels[i].completed & 0xFF);
}

namespace {
void Md5(const uint8_t* data, size_t size, uint8_t* out)
{
    DigestContext context;
    DigestInit(&context, DIGEST_MD5);
    DigestUpdate(&context, data, size);
    int32_t length = 0;
    DigestFinal(&context, out, &length);
}
}  // namespace

void EncodeSaveFile(const SaveGameRecord& record, uint8_t* out)
{
    uint8_t* body = out + 16;
    std::memcpy(body, &record, kSaveRecordSize);
    ScrambleRecord(body);
    Md5(body, kSaveRecordSize, out);
}

void SanitiseSaveRecord(SaveGameRecord* r)
{
    r->title[kSaveTitleMax] = 0;
    const size_t n = std::strlen(r->title);
    std::memset(r->title + n, 0, sizeof r->title - n);
    r->score = std::max(r->score, 0);
    r->lives = std::max(r->lives, 0);
    r->money = std::max(r->money, 0);
    for (InventorySlot& s : r->inventory) {
        // Credits and extra lives never enter the inventory; anything outside the item table is
        // no item at all.
        const bool realItem = s.id > ITEM_BALL && s.id < ITEM_COUNT && s.count > 0;
        if (!realItem) {
            s = InventorySlot{};
            continue;
        }
        s.active = s.active ? 1 : 0;
        s.duration = std::max<int16_t>(s.duration, 0);
        s.ticksLeft = std::clamp<int16_t>(s.ticksLeft, 0, s.duration);
        s.elapsed = std::clamp<int16_t>(s.elapsed, 0, s.duration);
        if (s.active && s.ticksLeft == 0) s.active = 0;
    }
    for (uint8_t& c : r->completed) c = c ? 1 : 0;
}

int DecodeSaveFile(const uint8_t* data, size_t size, SaveGameRecord* out)
{
    if (!data || size != static_cast<size_t>(kSaveFileSize)) return 0;
    uint8_t digest[16];
    Md5(data + 16, kSaveRecordSize, digest);
    if (std::memcmp(digest, data, 16) != 0) return 0;
    uint8_t body[kSaveRecordSize];
    std::memcpy(body, data + 16, sizeof body);
    ScrambleRecord(body);
    std::memcpy(out, body, sizeof body);
    SanitiseSaveRecord(out);
    return 1;
}

void ApplySaveRecord(const SaveGameRecord& record, GameState& game)
{
    game.lives = record.lives;
    game.score = record.score;
    game.money = record.money;
    std::memcpy(game.inventory, record.inventory, sizeof game.inventory);
    std::memset(game.levels, 0, sizeof game.levels);
    for (int i = 0; i < kLevelCount; ++i) {
        game.levels[i].completed = record.completed[i];
        if (record.completed[i]) game.levels[i].revealed = 1;
    }
}

void SaveFileName(int slot, char* out, size_t size) { std::snprintf(out, size, "game%d.sav", slot + 1); }

int ReadSaveSlot(int slot, SaveGameRecord* out)
{
    if (slot < 0 || slot >= kSaveSlots) return 0;
    char name[32];
    SaveFileName(slot, name, sizeof name);
    char* data = LoadResourceFile(name, 0);
    if (!data) return 0;
    const int size = GetLastResourceSize();
    const int ok = size > 0 ? DecodeSaveFile(reinterpret_cast<const uint8_t*>(data), static_cast<size_t>(size), out) : 0;
    FreeResourceBuffer(data);
    return ok;
}

int WriteSaveSlot(int slot, const SaveGameRecord& record)
{
    if (slot < 0 || slot >= kSaveSlots) return 0;
    char name[32];
    SaveFileName(slot, name, sizeof name);
    uint8_t bytes[kSaveFileSize];
    EncodeSaveFile(record, bytes);
    return WriteGameFileWhole(name, bytes, sizeof bytes);
}
