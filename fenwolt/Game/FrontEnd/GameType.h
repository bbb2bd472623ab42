// The game-type menu, the exhibition set-up and its result screen, and what the set-up screens of
// the three competitions share: the value sprites and their presses, the team-name edit, the
// highlight that follows the mouse, and the verdict line of a result.
#pragma once

#include <cstddef>
#include <cstdint>

// Sprites of the set-up screens (exhibition, cup, league).
enum SetupSprite : unsigned {
    SETUP_MINUTES = 30,
    SETUP_SWAPPING = 31,
    SETUP_DIFFICULTY = 32,
    SETUP_MANAGERS = 33,
    SETUP_HOME_NAME = 34,
    SETUP_AWAY_NAME = 35,
    SETUP_START = 199,
    SETUP_RETURN = 200,
};

// Window messages the screens act on.
constexpr int32_t MSG_MOUSE_MOVE = 512;
constexpr int32_t MSG_LEFT_DOWN = 513;
constexpr int32_t MSG_LEFT_UP = 514;
constexpr int32_t MSG_RIGHT_DOWN = 516;
constexpr int32_t MSG_NET_NOTIFY = 1025;

void BuildGameTypeScreen();
void OnGameTypeMessage(int32_t message);
void BuildExhibitionScreen();
void OnExhibitionMessage(int32_t message);
void BuildExhibitionResultScreen();
void OnExhibitionResultMessage(int32_t message);

// Writes the value sprites 30..35 from the settings (a screen that lacks one skips it); the cup
// and the league show their fixed opponent (35) in white, the exhibition's editable one in green.
void ShowSetupValues(bool opponentFixed = false);
// A press on value 30 (minutes), 31 (swapping), 32 (difficulty) or 33 (managers): left steps up,
// right steps down, each wrapping. False for any other sprite.
bool StepSetupValue(unsigned handle, bool up);
// Edits a team name in place: the name sprite hides and the text entry runs at its position.
void EditTeamName(unsigned handle, int32_t team);

// A menu screen begins: no highlight, `handler` takes the screen's messages, the background
// picture (where there is an application to show it), white text for the labels that follow.
void BeginMenuScreen(void (*handler)(int32_t), const char* background);
// A label: a text sprite in the current colours that takes no clicks, in font 0 unless given.
void CreateLabel(unsigned handle, float x, float y, const char* text, int alignment);
void CreateLabel(unsigned handle, float x, float y, int font, const char* text, int alignment);
// Rewrites a value sprite's text; a screen without that sprite skips it.
void SetValueText(unsigned handle, const char* text);

// "Abandon the game?" (the confirm box of kind 5) from the cup and league screens.
void AskToAbandon();

// The highlight that follows the mouse over a screen's buttons. A builder forgets the last
// highlight; the handler passes the hit sprite and whether it may be highlighted.
void ResetHover();
void HoverSprite(unsigned hit, bool eligible);
// Draws the highlighted sprite highlighted again after its text was rewritten.
void RefreshHover();

// "Victory for %s." (or another winner format) with the side that scored more, else "A draw.".
void FormatVerdict(char* out, size_t size, const char* winFormat, int32_t homeGoals, int32_t awayGoals,
                   const char* homeName, const char* awayName);
// Creates the white, unclickable score line of a result screen at height y: home name (10)
// right-aligned on 330, home goals (11) at 340, away goals (21) at 400, away name (20) at 450.
void CreateScoreLine(float y, const char* leftName, int32_t leftGoals, int32_t rightGoals, const char* rightName);
// The score line of the match just played at height y, home on the left, and "Victory for %s."
// or "A draw." under it (sprite 31).
void CreateMatchResult(float y);
