#include "fenwolt/Game/Match/Banners.h"

#include "fenwolt/Game/Engine/EngineTables.h"
#include "fenwolt/Game/FrontEnd/Competition.h"
#include "fenwolt/Game/FrontEnd/League.h"
#include "fenwolt/Game/GameApp.h"
#include "fenwolt/Game/Match/MatchHelpers.h"
#include "fenwolt/Game/Match/MatchRecords.h"
#include "fenwolt/Game/Match/MatchScreen.h"
#include "fenwolt/Game/Match/TurnEngine.h"
#include "fenwolt/Game/Network/NetState.h"
#include "fenwolt/Game/Engine/Sprites.h"

#include <cstdio>

uint8_t TickerLineInUse[TICKER_LINE_COUNT];
float TickerLineX[TICKER_LINE_COUNT];
float TickerLineWidth[TICKER_LINE_COUNT];
uint8_t EventFlags[EVENT_FLAG_COUNT];

namespace {
constexpr float BANNER_CENTRE_X = 400.0f;
constexpr float END_TURN_RIGHT_X = 799.0f;
constexpr int TICKER_FONT = 1;
// Cell width of font 1: the screen rectangle of a text reaches to the end of its last cell.
constexpr float TICKER_CELL_WIDTH = 24.0f;

const char* TeamName(int32_t side) { return TeamNames[side != 0 ? 1 : 0]; }

// The text of a ticker code with its player labels; false for codes that only set their flag.
bool EventText(int32_t code, const char* a, const char* b, char* out, int size)
{
    switch (code) {
    case EVENT_OFFSIDE: std::snprintf(out, (size_t)size, "%s Offside...", a); return true;
    case EVENT_FOULED: std::snprintf(out, (size_t)size, "%s Fouled by %s...", a, b); return true;
    case EVENT_NOT_READY: std::snprintf(out, (size_t)size, "Ref: Other Player Not Ready..."); return true;
    case EVENT_MINOR_KNOCK: std::snprintf(out, (size_t)size, "Ref: %s suffered minor knock...", a); return true;
    case EVENT_INJURED: std::snprintf(out, (size_t)size, "Ref: %s injured...", a); return true;
    case EVENT_NO_MORE_SUBS: std::snprintf(out, (size_t)size, "Ref: No more than 3 subs allowed..."); return true;
    case EVENT_NOW_ON: std::snprintf(out, (size_t)size, "Ref: %s is now on...", a); return true;
    case EVENT_KICK_OFF: std::snprintf(out, (size_t)size, "Ref: Kick off..."); return true;
    case EVENT_CLEAR_BOX: std::snprintf(out, (size_t)size, "Ref: Clear the Penalty box..."); return true;
    case EVENT_VOLLEY: std::snprintf(out, (size_t)size, "Volley by %s...", a); return true;
    case EVENT_CONTROLLED: std::snprintf(out, (size_t)size, "Ball Controlled by %s...", a); return true;
    case EVENT_HEADED: std::snprintf(out, (size_t)size, "Headed by %s...", a); return true;
    case EVENT_TACKLED: std::snprintf(out, (size_t)size, "%s Tackled by %s...", a, b); return true;
    case EVENT_SHOOTS: std::snprintf(out, (size_t)size, "%s Shoots...", a); return true;
    case EVENT_PASSES: std::snprintf(out, (size_t)size, "%s Passes...", a); return true;
    default: return false;
    }
}
}  // namespace

bool ScoreboardSwapped()
{
    return Competition.gameMode == MODE_LEAGUE && !IsLeagueHomeMatch(Competition.leagueMatch);
}

void FormatPlayerLabel(char* out, int size, int32_t player)
{
    if (!out || size <= 0) return;
    if (!IsPlayerIndex(player)) {
        out[0] = 0;
        return;
    }
    // In a league match away from home the manager's side is shown as the away side.
    bool home = player < SIDE_SIZE;
    if (ScoreboardSwapped()) home = !home;
    const int32_t number = matchgeo::ShirtNumber(player);
    char name[sizeof(MatchPlayers[0].name)];
    std::snprintf(name, sizeof name, "%.*s", (int)sizeof(name) - 1, MatchPlayers[player].name);
    std::snprintf(out, (size_t)size, home ? "(H%d) %s" : "(A%d) %s", (int)number, name);
}

void ShowTurnBanner()
{
    char text[128];
    // The End Turn caption names its button whenever the button is offered.
    SetSpriteText(SPRITE_CAPTION_END_TURN, "End Turn");
    RightAlignSpriteOn(SPRITE_CAPTION_END_TURN, END_TURN_RIGHT_X);
    // Once the match is over nobody is to move: the referee banner says so, the turn lines are
    // blank.
    if (MatchStopState == STOP_FULL_TIME) {
        SetSpriteText(SPRITE_TURN_BANNER, " ");
        SetSpriteText(SPRITE_TURN_DETAIL, " ");
        return;
    }
    switch (TurnPhase) {
    case PHASE_HOME_PLANS: std::snprintf(text, sizeof text, "%s to Move...", TeamName(0)); break;
    case PHASE_HOME_MOVES: std::snprintf(text, sizeof text, "%s Moving...", TeamName(0)); break;
    case PHASE_AWAY_PLANS:
        std::snprintf(text, sizeof text, MatchSetup.managers == 2 ? "%s to Move..." : "%s Thinking...", TeamName(1));
        break;
    default: std::snprintf(text, sizeof text, "%s Moving...", TeamName(1)); break;
    }
    SetSpriteText(SPRITE_TURN_BANNER, text);
    CentreSpriteOn(SPRITE_TURN_BANNER, BANNER_CENTRE_X);

    const int32_t p = IsPlayerIndex(SelectedPlayer) ? SelectedPlayer : 0;
    const char* doing;
    if (KickAimMode)
        doing = ShotClass > 0 ? "to Shoot" : "to Pass";
    else if (BallHolder == p + 1)
        doing = "with Ball";
    else
        doing = "to Move";
    std::snprintf(text, sizeof text, "%d:%.14s %s", (int)matchgeo::ShirtNumber(p), MatchPlayers[p].name, doing);
    SetSpriteText(SPRITE_TURN_DETAIL, text);
    CentreSpriteOn(SPRITE_TURN_DETAIL, BANNER_CENTRE_X);
}

void ShowScoreboard()
{
    const bool swapped = ScoreboardSwapped();
    const int32_t left = swapped ? 1 : 0, right = swapped ? 0 : 1;
    char text[32];
    std::snprintf(text, sizeof text, "%d", (int)TeamGoals[left]);
    SetSpriteText(SPRITE_HOME_GOALS, text);
    std::snprintf(text, sizeof text, "%d", (int)TeamGoals[right]);
    SetSpriteText(SPRITE_AWAY_GOALS, text);
    SetSpriteText(SPRITE_HOME_NAME, TeamName(left));
    RightAlignSpriteOn(SPRITE_HOME_NAME, 330.0f);
    SetSpriteText(SPRITE_AWAY_NAME, TeamName(right));
}

void ShowRefereeBanner()
{
    char text[96];
    if (MatchStopState == STOP_IN_PLAY) {
        HideSprite(SPRITE_REFEREE_BANNER);
        if (!KickOffPending) return;
        if (IsNetworkGame()) EndPhase(1);
        // The phase refresh may have played the kick-off pass already.
        if (!KickOffPending) return;
        std::snprintf(text, sizeof text, "AUTOMATIC KICK OFF PASS");
        LogMatchEvent(EVENT_KICK_OFF_PASS, PLAYER_NONE, PLAYER_NONE);
    } else {
        const char* awarded = TeamName(RestartSide);
        const char* other = TeamName(RestartSide != 0 ? 0 : 1);
        switch (MatchStopState) {
        case STOP_GOAL: std::snprintf(text, sizeof text, "GOAL!"); break;
        case STOP_THROW_IN: std::snprintf(text, sizeof text, "THROW IN FOR %s", awarded); break;
        case STOP_GOAL_KICK: std::snprintf(text, sizeof text, "GOAL KICK FOR %s", awarded); break;
        case STOP_CORNER:
        case STOP_UNUSED_5: std::snprintf(text, sizeof text, "CORNER FOR %s", awarded); break;
        case STOP_KICK_OFF: std::snprintf(text, sizeof text, "KICK OFF"); break;
        case STOP_FULL_TIME: std::snprintf(text, sizeof text, "FULL TIME"); break;
        case STOP_OFFSIDE: std::snprintf(text, sizeof text, "%s OFFSIDE", other); break;
        case STOP_FOUL:
            if (PenaltyEnd != 0)
                std::snprintf(text, sizeof text, "PENALTY FOR %s", awarded);
            else
                std::snprintf(text, sizeof text, "FOUL BY %s", other);
            break;
        default: HideSprite(SPRITE_REFEREE_BANNER); return;
        }
    }
    SetSpriteText(SPRITE_REFEREE_BANNER, text);
    CentreSpriteOn(SPRITE_REFEREE_BANNER, BANNER_CENTRE_X);
    ShowSpriteInactive(SPRITE_REFEREE_BANNER);
}

void HideRefereeBanner()
{
    HideSprite(SPRITE_REFEREE_BANNER);
    MatchStopState = STOP_IN_PLAY;
    RestartPending = 0;
}

float TickerTextWidth(const char* text)
{
    // The same rule as the sprite's screen rectangle: glyph advances, the last glyph a whole cell.
    float x = 0.f, right = 0.f;
    bool any = false;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text ? text : ""); *p; ++p) {
        const int c = *p;
        if (c < 32 || c == 255) continue;
        right = x + TICKER_CELL_WIDTH > right ? x + TICKER_CELL_WIDTH : right;
        x += (float)GetGlyphWidth(TICKER_FONT, c);
        any = true;
    }
    return any ? right : 0.f;
}

void LogMatchEvent(int32_t code, int32_t playerA, int32_t playerB)
{
    if (code < 0 || code >= EVENT_FLAG_COUNT) return;
    if (EventFlags[code]) return;
    EventFlags[code] = 1;
    char a[48], b[48], text[160];
    FormatPlayerLabel(a, sizeof a, playerA);
    FormatPlayerLabel(b, sizeof b, playerB);
    if (!EventText(code, a, b, text, sizeof text)) return;

    int32_t line = 0;
    while (line < TICKER_LINE_COUNT && TickerLineInUse[line]) ++line;
    if (line == TICKER_LINE_COUNT) line = 0;
    // Queue behind whatever is still on its way across the screen.
    float x = TICKER_START_X;
    for (int32_t i = 0; i < TICKER_LINE_COUNT; ++i) {
        if (i == line || !TickerLineInUse[i]) continue;
        const float after = TickerLineX[i] + TickerLineWidth[i] + 10.0f;
        if (after > x) x = after;
    }
    TickerLineInUse[line] = 1;
    TickerLineX[line] = x;
    TickerLineWidth[line] = TickerTextWidth(text);
    const unsigned sprite = SPRITE_TICKER_FIRST + (unsigned)line;
    SetSpriteText(sprite, text);
    PlaceSprite(sprite, x, TICKER_Y);
    ShowSpriteInactive(sprite);
}

void ScrollEventTicker()
{
    const float step = MatchStepSeconds();
    for (int32_t i = 0; i < TICKER_LINE_COUNT; ++i) {
        if (!TickerLineInUse[i]) continue;
        TickerLineX[i] -= TICKER_SPEED * step;
        const unsigned sprite = SPRITE_TICKER_FIRST + (unsigned)i;
        if (TickerLineX[i] + TickerLineWidth[i] < 0.f) {
            TickerLineInUse[i] = 0;
            HideSprite(sprite);
            continue;
        }
        PlaceSprite(sprite, TickerLineX[i], TICKER_Y);
    }
}

void ClearEventFlags()
{
    for (uint8_t& f : EventFlags) f = 0;
}

void ResetEventTicker()
{
    ClearEventFlags();
    for (int32_t i = 0; i < TICKER_LINE_COUNT; ++i) {
        TickerLineInUse[i] = 0;
        TickerLineX[i] = TICKER_START_X;
        TickerLineWidth[i] = 0.f;
    }
}
