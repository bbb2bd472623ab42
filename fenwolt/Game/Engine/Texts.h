// The texts of the chosen language file, addressed by their position in the file.
#pragma once

#include <cstddef>
#include <cstdint>

typedef uint32_t TextId;

constexpr int TEXT_ENTRY_COUNT = 10000;
constexpr size_t TEXT_POOL_SIZE = 1000000;
// Longest text GetText hands out (its buffer holds this and a NUL).
constexpr size_t TEXT_MAX_LENGTH = 999;

struct TextEntry {
    TextId Id;
    const char* Text;  // into the pool; null when unset
};

extern TextEntry TextTable[TEXT_ENTRY_COUNT];
extern int32_t TextEntryCount;
extern char LanguageFileName[264];
extern char GlobalTextArrayA[2][32];  // texts 384, 385
extern char GlobalTextArrayB[5][32];  // texts 386 to 390
extern int32_t GlobalTextOverruns;

void ResetTextPools();
// 0 English, 1 American English, 2 French, 3 German, from "lang.txt".
int ReadLanguageSetting();
constexpr int LANGUAGE_COUNT = 4;
// The language files by that number.
extern const char* const LANGUAGE_FILES[LANGUAGE_COUNT];
void LoadLanguageText(int language);
// Appends the file's texts; returns how many were stored.
int LoadTextResourceFile(const char* file);
// The same over a file image in memory.
int LoadTextResource(const char* data, size_t size);
int FindTextEntry(TextId id);
// The text in one shared buffer that the next call overwrites; "" for an unknown id.
const char* GetText(TextId id);
void LoadGlobalTextArrays();
// The start-up sequence: reset, choose, load, fill the fixed-width arrays.
void InitLanguageTexts();
