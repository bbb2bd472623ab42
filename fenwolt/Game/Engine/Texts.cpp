#include "fenwolt/Game/Engine/Texts.h"

#include "fenwolt/common/Utilities.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

TextEntry TextTable[TEXT_ENTRY_COUNT];
int32_t TextEntryCount = 0;
char LanguageFileName[264] = "english.txt";
char GlobalTextArrayA[2][32];
char GlobalTextArrayB[5][32];
int32_t GlobalTextOverruns = 0;

namespace {
// The language file is read whole into a buffer of this size: it holds at most one byte less.
constexpr size_t FILE_BUFFER_SIZE = 1000000;

std::vector<char>& Pool()
{
    static std::vector<char> pool(TEXT_POOL_SIZE, '0');
    return pool;
}
size_t g_poolCursor = 0;
char g_result[TEXT_MAX_LENGTH + 1];

}  // namespace

const char* const LANGUAGE_FILES[LANGUAGE_COUNT] = {"english.txt", "usa.txt", "french.txt", "german.txt"};

void ResetTextPools()
{
    std::vector<char>& pool = Pool();
    std::fill(pool.begin(), pool.end(), '0');
    g_poolCursor = 0;
    TextEntryCount = 0;
    for (auto& e : TextTable) e = TextEntry{0, nullptr};
}

int ReadLanguageSetting()
{
    DWORD size = 0;
    HGLOBAL block = ReadWholeFile("lang.txt", &size);
    if (!block) return 0;
    const char* text = static_cast<const char*>(GlobalLock(block));
    std::string name;
    for (DWORD i = 0; text && i < size && name.size() < 258; ++i) {
        char c = text[i];
        if (c == '.' || c == 0 || c == '\n') break;
        name += c;
    }
    if (text) GlobalUnlock(block);
    GlobalFree(block);
    name += ".txt";
    for (int i = 0; i < LANGUAGE_COUNT; ++i)
        if (name == LANGUAGE_FILES[i]) return FileExists(LANGUAGE_FILES[i]) ? i : 0;
    return 0;
}

void LoadLanguageText(int language)
{
    std::snprintf(LanguageFileName, sizeof(LanguageFileName), "%s",
                  language >= 0 && language < LANGUAGE_COUNT ? LANGUAGE_FILES[language] : LANGUAGE_FILES[0]);
    LoadTextResourceFile(LanguageFileName);
    LoadGlobalTextArrays();
}

int LoadTextResource(const char* data, size_t size)
{
    // The text ends at its first NUL byte, and the buffer holds no more than its size allows.
    size_t length = 0;
    while (length < size && length < FILE_BUFFER_SIZE - 1 && data[length] != 0) ++length;
    if (length < size && length == FILE_BUFFER_SIZE - 1) DebugOutLine("Language file too large: the rest is ignored");

    // Count the lines: past the id field's space, then to the line feed outside quotes. A last
    // line without a line feed counts too.
    size_t lines = 0;
    for (size_t pos = 0; pos < length;) {
        size_t i = pos;
        while (i < length && data[i] != ' ') ++i;
        if (i >= length) break;
        bool quoted = false;
        for (++i; i < length; ++i) {
            if (data[i] == '"') quoted = !quoted;
            if (data[i] == '\n' && !quoted) break;
        }
        ++lines;
        pos = i + 1;
    }

    std::vector<char>& pool = Pool();
    int stored = 0;
    size_t pos = 0;
    for (size_t n = 0; n < lines && pos < length; ++n) {
        if (TextEntryCount >= TEXT_ENTRY_COUNT) {
            DebugOutLine("Text table full: further texts ignored");
            break;
        }
        while (pos < length && data[pos] != '"') ++pos;
        if (pos >= length) break;
        ++pos;
        const size_t start = g_poolCursor;
        bool full = false;
        // An unterminated last text runs to the end of the file.
        while (pos < length && data[pos] != '"') {
            char c = data[pos++];
            if (c == '\\' && pos < length) {
                char e = data[pos];
                if (e == 'n' || e == 'r' || e == 't') {
                    c = e == 'n' ? '\n' : e == 'r' ? '\r' : '\t';
                    ++pos;
                }
            }
            if (g_poolCursor + 1 >= pool.size()) {
                full = true;
                break;
            }
            pool[g_poolCursor++] = c;
        }
        if (full) {
            g_poolCursor = start;
            DebugOutLine("Text pool full: further texts ignored");
            break;
        }
        pool[g_poolCursor++] = 0;
        if (pos < length) ++pos;  // the closing quote
        TextTable[TextEntryCount] = TextEntry{(TextId)TextEntryCount, pool.data() + start};
        ++TextEntryCount;
        ++stored;
    }
    return stored;
}

int LoadTextResourceFile(const char* file)
{
    DWORD size = 0;
    HGLOBAL block = file ? ReadWholeFile(file, &size) : nullptr;
    if (!block) return 0;
    DebugTrace("\n\nLoading Text Resource < %s >.\n", file);
    const char* text = static_cast<const char*>(GlobalLock(block));
    int stored = text ? LoadTextResource(text, size) : 0;
    if (text) GlobalUnlock(block);
    GlobalFree(block);
    DebugTrace("Loading Text Resource - Complete.\n");
    DebugTrace("Resource Strings Loaded : %d\n\n", TextEntryCount);
    return stored;
}

int FindTextEntry(TextId id)
{
    for (int i = 0; i < TextEntryCount; ++i)
        if (TextTable[i].Id == id) return i;
    return TEXT_ENTRY_COUNT;
}

const char* GetText(TextId id)
{
    int index = FindTextEntry(id);
    if (index >= TEXT_ENTRY_COUNT || !TextTable[index].Text) {
        g_result[0] = 0;
        return g_result;
    }
    std::snprintf(g_result, sizeof(g_result), "%s", TextTable[index].Text);
    return g_result;
}

void LoadGlobalTextArrays()
{
    GlobalTextOverruns = 0;
    DebugTrace("\n\nLoading text into global arrays..................\n");
    auto store = [](char* slot, TextId id) {
        const char* text = GetText(id);
        std::snprintf(slot, 32, "%s", text);
        if (std::strlen(text) > 31) {
            DebugTrace("SID%06u %s - TOO LONG.\n", id, text);
            ++GlobalTextOverruns;
        }
    };
    for (int i = 0; i < 2; ++i) store(GlobalTextArrayA[i], 384 + i);
    for (int i = 0; i < 5; ++i) store(GlobalTextArrayB[i], 386 + i);
    DebugTrace("\n\nLoading text into global arrays complete.\n");
    DebugTrace("Global Text Overruns : %d\n\n", GlobalTextOverruns);
}

void InitLanguageTexts()
{
    ResetTextPools();
    LoadLanguageText(ReadLanguageSetting());
    LoadGlobalTextArrays();
}
