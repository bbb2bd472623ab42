#include "fenwolt/Game/Match/Banners.h"

#include "fenwolt/Game/Unfinished.h"

TickerLine TickerLines[TICKER_LINE_COUNT];
uint8_t EventFlags[EVENT_FLAG_COUNT];

void FormatPlayerLabel(char* out, int size, int32_t player) { UNFINISHED(); }
bool ScoreboardSwapped() { UNFINISHED(); }
void ShowTurnBanner() { UNFINISHED(); }
void ShowScoreboard() { UNFINISHED(); }
void ShowRefereeBanner() { UNFINISHED(); }
void HideRefereeBanner() { UNFINISHED(); }
void LogMatchEvent(int32_t code, int32_t playerA, int32_t playerB) { UNFINISHED(); }
void ScrollEventTicker() { UNFINISHED(); }
void ClearEventFlags() { UNFINISHED(); }
void ResetEventTicker() { UNFINISHED(); }
