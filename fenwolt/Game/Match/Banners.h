// What the match tells the manager in words: the turn banner (whose turn, what the selected
// player is about to do), the scoreboard, the referee banner for stoppages and the event ticker
// whose reports scroll along the bottom of the screen. The sprites are made by the match
// screen's builder; this code only writes them.
#pragma once

#include <cstdint>

// Ticker report codes. 0..7 and 10 only set their once-per-turn flag; 8..23 write a line.
enum MatchEventCode : int32_t {
    EVENT_KICK_OFF_PASS = 0,
    EVENT_OFFSIDE = 8,
    EVENT_FOULED = 9,
    EVENT_NOT_READY = 11,
    EVENT_MINOR_KNOCK = 12,
    EVENT_INJURED = 13,
    EVENT_NO_MORE_SUBS = 14,
    EVENT_NOW_ON = 15,
    EVENT_KICK_OFF = 16,
    EVENT_CLEAR_BOX = 17,
    EVENT_VOLLEY = 18,
    EVENT_CONTROLLED = 19,
    EVENT_HEADED = 20,
    EVENT_TACKLED = 21,
    EVENT_SHOOTS = 22,
    EVENT_PASSES = 23,
};

// Sprite handles of the texts.
enum BannerSprite : uint32_t {
    SPRITE_HOME_NAME = 10,
    SPRITE_HOME_GOALS = 11,
    SPRITE_AWAY_NAME = 20,
    SPRITE_AWAY_GOALS = 21,
    SPRITE_CLOCK = 31,
    SPRITE_TURN_BANNER = 32,
    SPRITE_TURN_DETAIL = 33,
    SPRITE_REFEREE_BANNER = 34,
    SPRITE_TICKER_FIRST = 37,  // 37..46
};

constexpr int32_t EVENT_FLAG_COUNT = 24;
constexpr int32_t TICKER_LINE_COUNT = 10;
constexpr float TICKER_START_X = 800.0f;
constexpr float TICKER_Y = 583.0f;
constexpr float TICKER_SPEED = 60.0f;  // pixels a second

// The ten ticker lines: in use, and the left edge in pixels (saved with a game).
extern uint8_t TickerLineInUse[TICKER_LINE_COUNT];
extern float TickerLineX[TICKER_LINE_COUNT];
// Width in pixels of each line's text (font 1), kept beside the sprite so that the queueing
// works the same with or without a device.
extern float TickerLineWidth[TICKER_LINE_COUNT];
// Once-per-turn flags, indexed by event code.
extern uint8_t EventFlags[EVENT_FLAG_COUNT];

// "(H%d) %s" / "(A%d) %s" for a player, the two sides swapped in a league match away from home.
void FormatPlayerLabel(char* out, int size, int32_t player);
// True in a league match in which the manager's team plays away: the home side is shown as
// the away side and the other way round.
bool ScoreboardSwapped();

void ShowTurnBanner();
void ShowScoreboard();
void ShowRefereeBanner();
// Play resumes through this: the banner goes, the stop state returns to in play and the
// restart no longer waits.
void HideRefereeBanner();
void LogMatchEvent(int32_t code, int32_t playerA, int32_t playerB);
void ScrollEventTicker();
void ClearEventFlags();
// Width in pixels that a text sprite of font 1 takes (its screen rectangle).
float TickerTextWidth(const char* text);
// Frees every ticker line and clears every flag (a new match).
void ResetEventTicker();
