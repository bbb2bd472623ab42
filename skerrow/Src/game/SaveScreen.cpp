#include <cerrno>
#include <cstdio>
#include <cstring>

#include "skerrow/Src/Graphics/Graphics.h"
#include "skerrow/Src/Input.h"
#include "skerrow/Src/Log.h"
#include "skerrow/Src/game/Gameplay.h"
#include "skerrow/Src/game/Resources.h"
#include "skerrow/Src/game/ScreenCommon.h"
#include "skerrow/Src/game/Screens.h"

SaveScreen g_saveScreen;
LoadScreen g_loadScreen;

namespace {
// A title's column runs from x 270 to the screen's right margin: sixteen of the widest letters
// and the typing cursor fit in it.
const int kTitleColumnWidth = 340;
}  // namespace

int ReadSaveGame(int slot)
{
    SaveGameRecord record;
    if (!ReadSaveSlot(slot, &record)) return 0;
    ApplySaveRecord(record, g_game);
    return 1;
}

void SaveListScreen::BuildListing()
{
    for (int i = 0; i < kSaveSlots; ++i) {
        SaveGameRecord record;
        std::memset(listing[i], 0, sizeof listing[i]);
        valid[i] = ReadSaveSlot(i, &record);
        if (valid[i])
            std::memcpy(listing[i], &record, sizeof listing[i]);
        else
            std::snprintf(listing[i], sizeof listing[i], "<%s>", g_strings.Get("EmptySlot"));
    }
}

int SaveListScreen::RowAt(int x, int y)
{
    if (x < 240 || x >= 340 || y < 170 || y >= 330) return -1;
    return (y - 170) / 16;
}

void SaveListScreen::OnDisplay(Screen*, int32_t) { BuildListing(); }

void SaveListScreen::InitSurfaces()
{
    ReleaseSurfaces();
    LoadPicture("Nodes\\Node.tga", &background_);
    if (g_sprites) quit_.SetFromFrame(g_sprites->headers, "quit", 1);
}

void SaveListScreen::ReleaseSurfaces() { ReleasePicture(&background_); }

void SaveListScreen::DrawRows(int edited, const char* editText, uint32_t hoverTextColour)
{
    DrawPicture(background_, 0, 0);
    DrawHeader("Ombrelit");
    DrawHeader("Load");
    DrawHeader(quit_.IsActive() ? "quits" : "quit");
    if (!g_sprites) return;
    const int hovered = RowAt(g_cursorX, g_cursorY);
    TrueTypeFont& font = SmallFont();
    for (int i = 0; i < kSaveSlots; ++i) {
        const int y = 170 + 16 * i + 14;
        char number[8];
        std::snprintf(number, sizeof number, "%d.", i + 1);
        PrintText(font, 16, 240, y, PrinterColour(i == hovered || i == edited ? 0xFFFF : 0xFFFFFF), number);
        char text[64];
        // A record's title is terminated within its 32 bytes: the listing never runs past it.
        if (i == edited)
            std::snprintf(text, sizeof text, "%s%s", editText, "_");
        else
            std::snprintf(text, sizeof text, "%.32s", listing[i]);
        char shown[64];
        FitToColumn(font, 16, text, kTitleColumnWidth, shown, sizeof shown);
        uint32_t colour = 0xFF;
        if (i == hovered) colour = hoverTextColour;
        if (i == edited) colour = 0xFFFFFF;
        PrintText(font, 16, 270, y, PrinterColour(colour), shown);
    }
}

void SaveScreen::OnDisplay(Screen* previous, int32_t argument)
{
    SaveListScreen::OnDisplay(previous, argument);
    done = 0;
    editedSlot = -1;
    title[0] = 0;
    notice = nullptr;
}

int SaveScreen::WriteSaveGame(int slot)
{
    SaveGameRecord record;
    BuildSaveRecord(g_game, title, &record);
    // Typing on would only fail again the same way: the slot is left as it was and the player
    // is told why, in the screen's own lettering.
    if (!WriteSaveSlot(slot, record)) {
        notice = NotSavedNotice(errno);
        editedSlot = -1;
        return 0;
    }
    notice = nullptr;
    std::memcpy(listing[slot], &record, sizeof listing[slot]);
    valid[slot] = 1;
    editedSlot = -1;
    return 1;
}

void SaveScreen::OnKey(uint8_t character)
{
    if (editedSlot < 0 || editedSlot >= kSaveSlots) return;
    const size_t n = std::strlen(title);
    if (character == 13) {
        if (n > 0 && WriteSaveGame(editedSlot)) done = 1;
    } else if (character == 8) {
        if (n > 0) title[n - 1] = 0;
    } else if (character == 27) {
        // Escape ends the editing through the keyboard poll.
    } else if (character > 31 && n < static_cast<size_t>(kSaveTitleMax)) {
        title[n] = static_cast<char>(character);
        title[n + 1] = 0;
    }
}

int32_t SaveScreen::Process()
{
    if (done) {
        ReturnToPreviousScreen(0);
        return 0;
    }
    MoveCursor();
    int32_t code = PopMouseCode();
    g_clickedButtonId = 0;
    quit_.HandleInput(&code);
    const bool quit = g_clickedButtonId == 1;
    g_clickedButtonId = 0;
    if (FirstKeyDown() == DIK_ESCAPE || quit) {
        if (editedSlot < 0 || quit) {
            ReturnToPreviousScreen(0);
            return 0;
        }
        editedSlot = -1;
    }
    DrawRows(editedSlot, title, 0xFFFF);
    DrawNotSavedNotice(notice, 170 + 16 * kSaveSlots + 30);
    const int row = RowAt(g_cursorX, g_cursorY);
    if ((code == MOUSE_LEFT_DOWN || code == MOUSE_LEFT_DOUBLE) && row >= 0) {
        PlayMenuSound();
        if (editedSlot < 0) {
            notice = nullptr;
            editedSlot = row;
            if (!valid[row])
                title[0] = 0;
            else
                std::snprintf(title, sizeof title, "%.16s", listing[row]);
        }
    }
    DrawCursor();
    return 1;
}

int32_t LoadScreen::Process()
{
    MoveCursor();
    int32_t code = PopMouseCode();
    g_clickedButtonId = 0;
    quit_.HandleInput(&code);
    const bool quit = g_clickedButtonId == 1;
    g_clickedButtonId = 0;
    if (FirstKeyDown() == DIK_ESCAPE || quit) {
        ReturnToPreviousScreen(0);
        return 0;
    }
    DrawRows(-1, "", g_colors[10]);
    const int row = RowAt(g_cursorX, g_cursorY);
    if ((code == MOUSE_LEFT_DOWN || code == MOUSE_LEFT_DOUBLE) && row >= 0) {
        PlayMenuSound();
        if (ReadSaveGame(row)) {
            ReturnToPreviousScreen(0);
            LoadLevelList(0);
            return 0;
        }
    }
    DrawCursor();
    return 1;
}
