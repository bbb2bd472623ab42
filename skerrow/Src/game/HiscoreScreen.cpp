#include <cerrno>
#include <cstdio>

#include "skerrow/Src/Graphics/Graphics.h"
#include "skerrow/Src/Input.h"
#include "skerrow/Src/Log.h"
#include "skerrow/Src/game/Resources.h"
#include "skerrow/Src/game/ScreenCommon.h"
#include "skerrow/Src/game/Screens.h"

HiscoreScreen g_hiscoreScreen;

namespace {
int32_t g_scorePending = 0;
// 0xRRGGBB, best rank first: white, cyans, yellows, oranges, reds.
const uint32_t kRowColours[kHiscoreRows] = {0xFFFFFF, 0xFFFF,   0x9FFF,   0xFFFF00, 0xFFFF00,
                                            0xFFCF00, 0xFFAF00, 0xFF003F, 0xFF003F, 0xFF003F};
const int kColumnGap = 8;
}  // namespace

void HiscoreScreen::SetScorePending(int pending) { g_scorePending = pending; }

void HiscoreScreen::OnDisplay(Screen*, int32_t)
{
    LoadHiscores(table);
    editedRow = InsertHiscore(table, g_scorePending ? g_game.score : 0);
    g_scorePending = 0;
    swallowEnter = 0;
    notice = nullptr;
}

void HiscoreScreen::OnKey(uint8_t character)
{
    if (editedRow < 0 || editedRow >= kHiscoreRows) return;
    if (EditHiscoreName(table[editedRow], character)) {
        editedRow = -1;
        swallowEnter = 1;
        // The table on the screen holds the new name either way; the player is told when it
        // will not be there the next time.
        notice = nullptr;
        if (!WriteHiscores(table)) {
            notice = NotSavedNotice(errno);
            LogMessage("The hiscore table was not saved\n");
        }
    }
}

void HiscoreScreen::InitSurfaces()
{
    ReleaseSurfaces();
    if (LoadPicture("Nodes\\Node.tga", &background_)) CopyPictureOnto("Hiscore.tga", background_, 45, 122);
}

void HiscoreScreen::ReleaseSurfaces() { ReleasePicture(&background_); }

int32_t HiscoreScreen::Process()
{
    MoveCursor();
    DrawPicture(background_, 0, 0);
    DrawHeader("hiscores");
    DrawHeader("Ombrelit");
    int key = FirstKeyDown();
    // The Enter that ended the name entry is still seen as going down by the keyboard poll.
    if (swallowEnter) {
        if (key == DIK_RETURN || key == DIK_NUMPADENTER) key = 0;
        if (!IsKeyHeld(DIK_RETURN) && !IsKeyHeld(DIK_NUMPADENTER)) swallowEnter = 0;
    }
    if (key != 0 && editedRow < 0) {
        ResetToFirstScreen();
        return 0;
    }
    if (g_sprites) {
        TrueTypeFont& font = SmallFont();
        for (int i = 0; i < kHiscoreRows; ++i) {
            const uint16_t colour = MakePixelColorRgb(kRowColours[i]);
            const int y = 165 + 16 * i;
            char score[16];
            std::snprintf(score, sizeof score, "%d", table[i].score);
            char name[24];
            if (i == editedRow && (frameCounter / 4) % 2 == 0)
                std::snprintf(name, sizeof name, "%s_", table[i].name);
            else
                std::snprintf(name, sizeof name, "%s", table[i].name);
            // The name keeps to its column, which ends a little before the score begins.
            char shown[24];
            FitToColumn(font, 16, name, 430 - TextWidth(font, 16, score) - kColumnGap - 210, shown, sizeof shown);
            PrintText(font, 16, 210, y, colour, shown);
            PrintRight(font, 16, 430, y, colour, score);
        }
        DrawNotSavedNotice(notice, 165 + 16 * kHiscoreRows + 20);
        if (frameCounter > 80 && editedRow < 0) PrintCentred(TextFont(), 16, 320, 460, MakePixelColorRgb(0xFFFFFF), g_strings.Get("PressKey"));
    }
    const int32_t code = PopMouseCode();
    if (code == MOUSE_LEFT_DOWN || code == MOUSE_RIGHT_DOWN || code == MOUSE_LEFT_DOUBLE || code == MOUSE_RIGHT_DOUBLE) {
        PlayMenuSound();
        if (editedRow < 0) {
            ResetToFirstScreen();
            return 0;
        }
    }
    DrawCursor();
    return 1;
}
