// The screen table: a screen is an id, a builder that lays out its sprites (and scene) and the
// handlers it registers in the three slots. SetScreen tears the current screen down and builds
// the next; the system menu and the in-match options open as pop-ups over the current screen.
#pragma once

#include "fenwolt/Game/ScreenSlots.h"

#include <cstdint>

enum class ScreenId : int32_t {
    Intro = 2,
    StartMenu = 3,
    LoadGame = 8,
    Loading = 9,
    Options = 10,
    Match = 12,
    ExhibitionSetup = 13,
    CupSetup = 14,
    NetExhibitionSetup = 15,
    TeamDetails = 16,
    SystemMenu = 17,
    LeagueSetup = 18,
    InfoPage1 = 19,
    InfoPage2 = 20,
    GameType = 21,
    SaveTeam = 23,
    LoadTeam = 24,
    ExhibitionResult = 25,
    CupResult = 26,
    LeagueResult = 27,
    GameOptions = 28,
    Credits = 29,
    TeamStats = 30,
};

constexpr int32_t SCREEN_ID_LIMIT = 31;

typedef void (*ScreenBuilderFn)();

extern int32_t CurrentScreenId;
extern bool PopupOpen;
extern int32_t SavedSpriteFlags[2000];
extern ScreenMessageHandlerFn SavedMessageHandler;
extern ScreenUpdateHandlerFn SavedUpdateHandler;

// The builder of an id (null for an id that names no screen).
ScreenBuilderFn GetScreenBuilder(int32_t id);
// A builder in place of a screen's own; null restores its own.
void SetScreenBuilder(ScreenId id, ScreenBuilderFn builder);

void SetScreen(int32_t id);
inline void SetScreen(ScreenId id) { SetScreen((int32_t)id); }
// Pop-ups 17 and 28; other ids are refused with a trace.
void OpenPopupScreen(int32_t id);
inline void OpenPopupScreen(ScreenId id) { OpenPopupScreen((int32_t)id); }
void ClosePopupScreen();
void FrozenUpdateHandler(float step);

// Clicks and keys go to one owner at a time: the current screen, or the pop-up or the confirm
// box over it. Every change of owner (SetScreen, a pop-up or the box opened or closed) counts
// one on, and a new owner is not yet shown: until a frame of it has been drawn, what the player
// does is aimed at what was shown before. A press goes to the owner of its moment, and its
// release (or a key's repeats) reach the screen only while that owner still has the input
// (GameApp::HandleMessage), so that one click acts on one screen.
extern uint32_t InputOwner;
extern bool InputOwnerShown;
void ChangeInputOwner();

void PostScreenCommand(int32_t command, uint32_t parameter);
void SendScreenCommand(int32_t command);

// Binds the screen table to the code that posts commands to screens (sound notifications).
void InitScreenTable();
