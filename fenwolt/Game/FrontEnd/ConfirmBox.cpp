#include "fenwolt/Game/FrontEnd/ConfirmBox.h"

#include "fenwolt/Game/FrontEnd/Saves.h"
#include "fenwolt/Game/GameApp.h"
#include "fenwolt/Game/Match/MatchRecords.h"
#include "fenwolt/Game/Match/Previews.h"
#include "fenwolt/Game/Network/NetState.h"
#include "fenwolt/Game/Screens.h"
#include "fenwolt/Game/Engine/Sprites.h"
#include "fenwolt/Game/Engine/Texts.h"
#include "fenwolt/Game/Engine/VertexAnimation.h"

ConfirmBoxState ConfirmBox{};
SpriteHandle SystemMenuHover = 0;
TextColourScheme ScreenBelowTextColours{};

namespace {

constexpr TextId TEXT_ABANDON_GAME = 280;
constexpr TextId TEXT_QUIT_GAME = 281;
constexpr TextId TEXT_YES = 283;
constexpr TextId TEXT_NO = 284;

void EmptyUpdate(float) {}

// The confirm picture, where it is drawn, and its button wells (in its own pixels, as it is
// drawn): two of this size side by side, the first at this left edge. A box with one well has it
// a little lower, in the middle of the rows below the text.
constexpr float kPictureWidth = 401.f, kPictureHeight = 232.f, kBoxX = 200.f, kBoxY = 184.f;
constexpr float kWellTop = 110.f, kWellHeight = 38.f, kWellWidth = 110.f, kFirstWellLeft = 60.f;
constexpr float kOneWellTop = kWellTop + 6.f;

bool IsSystemMenuButton(SpriteHandle h) { return h >= SYSMENU_RESTART && h <= SYSMENU_FIRST_SLOT + 9; }

// Only the buttons count in the system menu: the labels beside the slots are not buttons.
SpriteHandle SystemMenuHit()
{
    const SpriteHandle hit = TheApp.HitTestSprites();
    return IsSystemMenuButton(hit) ? hit : SPRITE_NONE;
}

}  // namespace

// A screen switch releases the box's sprites with everything else: a box whose picture is gone
// is no longer shown, whatever its kind says.
bool ConfirmBoxShown()
{
    const Sprite* picture = SpriteAt(CONFIRM_PICTURE);
    return ConfirmBox.kind != 0 && picture && picture->Device;
}

namespace {

// A piece of the box's picture, the rectangle (left, top)..(right, bottom) of it, drawn at (x, y)
// of the box.
void CreatePicturePiece(unsigned handle, float left, float top, float right, float bottom, float x, float y)
{
    SpriteImageWidth = (int32_t)kPictureWidth;
    SpriteImageHeight = (int32_t)kPictureHeight;
    CreateImageSprite(handle, kBoxX + x, kBoxY + y, right - left, bottom - top, "interface\\conf.tga",
                      MakeRect(left, top, right, bottom), 0);
    DeactivateSprite(handle);
}

// Takes the screen below out of play (its sprites stay drawn but cannot be clicked, its update
// stands still) and lays the box's picture over it: the whole picture, or for a box with one
// answer the picture without the row of its two button wells.
void OpenBox(int32_t kind)
{
    LastMessageId = 0;
    ConfirmBox.kind = kind;
    for (unsigned h = 0; h < (unsigned)SPRITE_COUNT; ++h) {
        Sprite* s = SpriteAt(h);
        ConfirmBox.savedActive[h] = s && s->IsActive() ? 1 : 0;
        if (s) s->SetActive(false);
    }
    ConfirmBox.savedMessageHandler = ScreenMessageHandler;
    ConfirmBox.savedUpdateHandler = ScreenUpdateHandler;
    SetScreenMessageHandler(ConfirmBoxMessageHandler);
    SetScreenUpdateHandler(EmptyUpdate);
    ChangeInputOwner();

    if (kind != CONFIRM_WRITE_FAILED) {
        CreatePicturePiece(CONFIRM_PICTURE, 0.f, 0.f, kPictureWidth, kPictureHeight, 0.f, 0.f);
        return;
    }
    // The picture's two wells were made for Yes and No: the rows below them are drawn up in
    // their place, and one well in the middle holds the one button.
    CreatePicturePiece(CONFIRM_PICTURE, 0.f, 0.f, kPictureWidth, kWellTop, 0.f, 0.f);
    CreatePicturePiece(CONFIRM_LOWER_PICTURE, 0.f, kWellTop + kWellHeight, kPictureWidth, kPictureHeight, 0.f,
                       kWellTop);
    CreatePicturePiece(CONFIRM_OK_WELL, kFirstWellLeft, kWellTop, kFirstWellLeft + kWellWidth, kWellTop + kWellHeight,
                       (kPictureWidth - kWellWidth) / 2.f, kOneWellTop);
}

void CreateBoxLine(unsigned handle, float y, int font, const char* text)
{
    CreateTextSpriteFixedColours(handle, 400.f, y, font, text, 1);
    DeactivateSprite(handle);
}

}  // namespace

void ShowConfirmBox(int32_t kind)
{
    // One question at a time: a second request while the box stands would lose what it saved.
    if (ConfirmBoxShown()) return;
    OpenBox(kind);
    if (kind == CONFIRM_EXIT_PROGRAM)
        CreateTextSpriteFixedColours(CONFIRM_QUESTION, 319.f, 194.f, 0, GetText(TEXT_QUIT_GAME), 0);
    else
        CreateTextSpriteFixedColours(CONFIRM_QUESTION, 280.f, 194.f, 0, GetText(TEXT_ABANDON_GAME), 0);
    DeactivateSprite(CONFIRM_QUESTION);
    CreateTextSpriteFixedColours(CONFIRM_YES, 280.f, 302.f, 0, GetText(TEXT_YES), 0);
    CreateTextSpriteFixedColours(CONFIRM_NO, 460.f, 302.f, 0, GetText(TEXT_NO), 0);
}

void ShowWriteFailedBox(const char* what, WriteFault why, const char* kept)
{
    if (ConfirmBoxShown()) return;
    OpenBox(CONFIRM_WRITE_FAILED);
    CreateBoxLine(CONFIRM_QUESTION, 200.f, 0, what);
    CreateBoxLine(CONFIRM_REASON, 238.f, 1, WriteFaultText(why));
    CreateBoxLine(CONFIRM_KEPT, 262.f, 1, kept);
    CreateTextSpriteFixedColours(CONFIRM_OK, 400.f, kBoxY + kOneWellTop + 8.f, 0, "OK", 1);
}

void CloseConfirmBox()
{
    if (!ConfirmBoxShown()) return;
    for (unsigned h = CONFIRM_FIRST; h <= CONFIRM_LAST; ++h) {
        HideSprite(h);
        if (Sprite* s = SpriteAt(h)) s->Destroy();
    }
    for (unsigned h = 0; h < (unsigned)SPRITE_COUNT; ++h)
        if (ConfirmBox.savedActive[h]) SetSpriteActive(h, 1);
    SetScreenMessageHandler(ConfirmBox.savedMessageHandler);
    SetScreenUpdateHandler(ConfirmBox.savedUpdateHandler);
    ConfirmBox.kind = 0;
    ChangeInputOwner();
}

void ConfirmBoxMessageHandler(int32_t message)
{
    if (message != WM_LBUTTONUP) return;
    const SpriteHandle hit = TheApp.HitTestSprites();
    // A box that only tells has no Yes: its handle holds a piece of the picture there.
    if (hit == CONFIRM_YES && ConfirmBox.kind != CONFIRM_WRITE_FAILED) {
        const int32_t kind = ConfirmBox.kind;
        // The screen below goes with the box; nothing of it is given back.
        ConfirmBox.kind = 0;
        if (kind == CONFIRM_EXIT_PROGRAM) {
            ScreenReady = false;
            PostMessageA(TheApp.MainWindow, WM_CLOSE, 0, 0);
        } else {
            MatchScreenActive = 0;
            // Abandoning a two-computer game leaves its session: the other computer hears of it
            // as of any player who quits, instead of waiting on a match nobody plays here.
            if (Net.sessionSetUp) CleanupDirectPlay();
            TheApp.DestroyMeshes();
            FreeAllAnimations();
            SetScreen(ScreenId::StartMenu);
        }
    } else if (hit == CONFIRM_NO || hit == CONFIRM_OK) {
        CloseConfirmBox();
    }
}

// ---------------------------------------------------------------------------------------------
void BuildSystemMenuScreen()
{
    ScreenBelowTextColours = TextColours;
    MatchScreenActive = 0;
    SceneVisible = false;
    SystemMenuHover = 0;
    CreateFullScreenSprite(SYSMENU_BACKGROUND, "interface\\plain.jpg");

    UseWhiteTextColours();
    SetScreenMessageHandler(SystemMenuMessageHandler);
    ReadSaveSlotNames();
    CreateTextSprite(SYSMENU_TITLE, 40.f, 120.f, 0, "SAVE GAME", 0);
    CreateTextSprite(SYSMENU_PROMPT, 40.f, 150.f, 0, "Select Slot to Save Game to...", 0);
    DeactivateSprite(SYSMENU_TITLE);
    DeactivateSprite(SYSMENU_PROMPT);

    CreateSlotList(SYSMENU_FIRST_SLOT, 140.f, 240.f);
    CreateTextSprite(SYSMENU_RESTART, 150.f, 500.f, 0, "Restart game", 1);
    CreateTextSprite(SYSMENU_EXIT, 400.f, 500.f, 0, "Exit to Windows", 1);
    CreateTextSprite(SYSMENU_RETURN, 650.f, 500.f, 0, "Return", 1);
    CreateTextSprite(SYSMENU_OPTIONS, 400.f, 470.f, 0, "Options", 1);
}

void SystemMenuMessageHandler(int32_t message)
{
    if (message == WM_MOUSEMOVE || message == WM_LBUTTONUP) {
        const SpriteHandle hit = SystemMenuHit();
        if (hit != SystemMenuHover && SystemMenuHover != 0) UnhighlightTextSprite(SystemMenuHover);
        if (hit != SPRITE_NONE) {
            if (hit != SystemMenuHover) HighlightTextSprite(hit);
            SystemMenuHover = hit;
        } else {
            SystemMenuHover = 0;
        }
        return;
    }
    if (message != WM_LBUTTONDOWN) return;
    const SpriteHandle hit = SystemMenuHit();
    switch (hit) {
    case SYSMENU_RESTART:
        ShowConfirmBox(CONFIRM_ABANDON_GAME);
        return;
    case SYSMENU_EXIT:
        ShowConfirmBox(CONFIRM_EXIT_PROGRAM);
        return;
    case SYSMENU_OPTIONS:
        CloseSystemMenu();
        OpenPopupScreen(ScreenId::GameOptions);
        return;
    case SYSMENU_RETURN:
        CloseSystemMenu();
        return;
    default:
        break;
    }
    if (hit >= SYSMENU_FIRST_SLOT && hit < SYSMENU_FIRST_SLOT + SAVE_SLOT_COUNT) {
        const int32_t slot = (int32_t)(hit - SYSMENU_FIRST_SLOT);
        WriteFault why = WriteFault::None;
        const bool saved = SaveGame(slot, &why);
        ReadSaveSlotName(slot);
        RedrawSlotLabels();
        // The slot as it is read now, after the failed save: a game it held is still there.
        if (!saved)
            ShowWriteFailedBox("The game was not saved.", why,
                               SlotUsed[slot] ? "The slot keeps its old game." : "The slot stays empty.");
    }
}

void CloseSystemMenu()
{
    ClosePopupScreen();
    TextColours = ScreenBelowTextColours;
    SystemMenuHover = 0;
    SceneVisible = true;
    MatchScreenActive = 1;
    ForceSceneResort();
}
