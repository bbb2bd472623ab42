// Two small overlays of the front end: the Yes/No confirm box drawn over whatever screen is
// current (leave the program, abandon the game), and the system menu, the pop-up that the match
// opens to save into a slot, restart, leave, open the in-match options or return.
#pragma once

#include "fenwolt/Game/Engine/EngineTables.h"
#include "fenwolt/Game/FrontEnd/FileReplace.h"
#include "fenwolt/Game/Engine/Sprites.h"

#include <cstdint>

enum ConfirmKind : int32_t {
    CONFIRM_EXIT_PROGRAM = 4,
    CONFIRM_ABANDON_GAME = 5,
    CONFIRM_WRITE_FAILED = 6,  // no question: a file was not written, and OK
};

// Sprites are drawn in handle order: a box that only tells lays its pieces over the picture in
// the order of these handles.
enum ConfirmBoxSprite : SpriteHandle {
    CONFIRM_PICTURE = 1960,
    CONFIRM_QUESTION = 1961,  // of a box that only tells: what was not done
    CONFIRM_YES = 1962,
    CONFIRM_LOWER_PICTURE = 1962,  // a box that only tells: its picture's rows below the wells
    CONFIRM_OK_WELL = 1963,        // and one well in the middle for its one button
    CONFIRM_REASON = 1964,
    CONFIRM_KEPT = 1965,
    CONFIRM_OK = 1966,  // the one button of a box that only tells
    CONFIRM_NO = 1967,
    CONFIRM_FIRST = 1960,
    CONFIRM_LAST = 1967,
};

enum SystemMenuSprite : SpriteHandle {
    SYSMENU_BACKGROUND = 1500,
    SYSMENU_RESTART = 1501,
    SYSMENU_EXIT = 1502,
    SYSMENU_OPTIONS = 1503,
    SYSMENU_RETURN = 1504,
    SYSMENU_FIRST_SLOT = 1514,   // 1514..1523 "Slot 1".."Slot 10"
    SYSMENU_FIRST_LABEL = 1524,  // 1524..1533 the slot labels
    SYSMENU_TITLE = 1535,
    SYSMENU_PROMPT = 1536,
};

struct ConfirmBoxState {
    int32_t kind;    // 0 while no box is shown
    uint8_t savedActive[SPRITE_COUNT];
    void (*savedMessageHandler)(int32_t);
    void (*savedUpdateHandler)(float);
};
extern ConfirmBoxState ConfirmBox;

void ShowConfirmBox(int32_t kind);
void CloseConfirmBox();
// The same box telling that a file was not written (`what`), why, and what was kept; OK closes it.
void ShowWriteFailedBox(const char* what, WriteFault why, const char* kept);
void ConfirmBoxMessageHandler(int32_t message);
bool ConfirmBoxShown();

// Builder of the pop-up ScreenId::SystemMenu (OpenPopupScreen(17) calls it).
void BuildSystemMenuScreen();
void SystemMenuMessageHandler(int32_t message);
// Closes the pop-up and gives the match back its scene and its activity.
void CloseSystemMenu();
// The handle of the system menu's button highlighted last (0 = none).
extern SpriteHandle SystemMenuHover;
// The text colours of the screen below a pop-up, taken when a pop-up is built and given back
// when it closes (the colours are global and the pop-ups choose their own).
extern TextColourScheme ScreenBelowTextColours;
