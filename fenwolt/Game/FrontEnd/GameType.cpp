#include "fenwolt/Game/FrontEnd/GameType.h"

#include "fenwolt/Game/FrontEnd/Competition.h"
#include "fenwolt/Game/FrontEnd/ConfirmBox.h"
#include "fenwolt/Game/FrontEnd/SquadEditor.h"
#include "fenwolt/Game/FrontEnd/TextEntry.h"
#include "fenwolt/Game/GameApp.h"
#include "fenwolt/Game/Match/MatchRecords.h"
#include "fenwolt/Game/Match/Squads.h"
#include "fenwolt/Game/Network/GameMessages.h"
#include "fenwolt/Game/Network/NetState.h"
#include "fenwolt/Game/Screens.h"
#include "fenwolt/Game/Engine/Sound.h"
#include "fenwolt/Game/Engine/Sprites.h"
#include "fenwolt/common/Utilities.h"

#include <cstdio>

namespace {
enum : unsigned {
    TYPE_TITLE = 20,
    TYPE_EXHIBITION = 130,
    TYPE_CUP = 131,
    TYPE_LEAGUE = 132,
    TYPE_NETWORK = 134,
    EXH_TITLE = 20,
    EXH_SWAPPING_LABEL = 22,
    EXH_DIFFICULTY_LABEL = 23,
    EXH_MANAGERS_LABEL = 24,
    EXH_HOME_LABEL = 25,
    EXH_AWAY_LABEL = 26,
    EXH_MINUTES_LABEL = 27,
    RESULT_TITLE = 7,
    RESULT_VERDICT = 31,
    RESULT_HOME_STATS = 197,
    RESULT_AWAY_STATS = 198,
    RESULT_CONTINUE = 199,
    SCORE_HOME_NAME = 10,
    SCORE_HOME_GOALS = 11,
    SCORE_AWAY_NAME = 20,
    SCORE_AWAY_GOALS = 21,
};

unsigned g_hovered = SPRITE_NONE;

int32_t Wrap(int32_t value, int32_t lowest, int32_t highest)
{
    if (value > highest) return lowest;
    if (value < lowest) return highest;
    return value;
}

void StartExhibition()
{
    Competition.currentManager = 0;
    SetStartingPoints();
    SetScreen(ScreenId::TeamDetails);
}
}  // namespace

void BeginMenuScreen(void (*handler)(int32_t), const char* background)
{
    ResetHover();
    SetScreenMessageHandler(handler);
    if (TheAppConstructed()) TheApp.SetBackground(background);
    UseWhiteTextColours();
}

void CreateLabel(unsigned handle, float x, float y, int font, const char* text, int alignment)
{
    CreateTextSprite(handle, x, y, font, text, alignment);
    DeactivateSprite(handle);
}

void CreateLabel(unsigned handle, float x, float y, const char* text, int alignment)
{
    CreateLabel(handle, x, y, 0, text, alignment);
}

void SetValueText(unsigned handle, const char* text)
{
    if (Sprite* s = SpriteAt(handle); s && s->Device) SetSpriteText(handle, text);
}

void ResetHover() { g_hovered = SPRITE_NONE; }

void HoverSprite(unsigned hit, bool eligible)
{
    if (eligible && hit == g_hovered) return;
    if (g_hovered != SPRITE_NONE) UnhighlightTextSprite(g_hovered);
    g_hovered = SPRITE_NONE;
    if (eligible && hit != SPRITE_NONE) {
        HighlightTextSprite(hit);
        g_hovered = hit;
    }
}

void RefreshHover()
{
    if (g_hovered != SPRITE_NONE) HighlightTextSprite(g_hovered);
}

void FormatVerdict(char* out, size_t size, const char* winFormat, int32_t homeGoals, int32_t awayGoals,
                   const char* homeName, const char* awayName)
{
    if (!out || size == 0) return;
    if (homeGoals > awayGoals)
        std::snprintf(out, size, winFormat, homeName);
    else if (awayGoals > homeGoals)
        std::snprintf(out, size, winFormat, awayName);
    else
        std::snprintf(out, size, "A draw.");
}

void CreateScoreLine(float y, const char* leftName, int32_t leftGoals, int32_t rightGoals, const char* rightName)
{
    char goals[16];
    UseWhiteTextColours();
    CreateLabel(SCORE_HOME_NAME, 330, y, leftName, 32);
    std::snprintf(goals, sizeof goals, "%d", leftGoals);
    CreateLabel(SCORE_HOME_GOALS, 340, y, goals, 0);
    std::snprintf(goals, sizeof goals, "%d", rightGoals);
    CreateLabel(SCORE_AWAY_GOALS, 400, y, goals, 0);
    CreateLabel(SCORE_AWAY_NAME, 450, y, rightName, 0);
}

void CreateMatchResult(float y)
{
    char home[13], away[13], verdict[64];
    std::snprintf(home, sizeof home, "%.11s", TeamNames[0]);
    std::snprintf(away, sizeof away, "%.11s", TeamNames[1]);
    CreateScoreLine(y, home, HomeGoals, AwayGoals, away);
    FormatVerdict(verdict, sizeof verdict, "Victory for %s.", HomeGoals, AwayGoals, home, away);
    CreateLabel(RESULT_VERDICT, 400, 110, verdict, 1);
}

void ShowSetupValues(bool opponentFixed)
{
    char text[32];
    UseGreenTextColours();
    std::snprintf(text, sizeof text, "%d", MatchSetup.minutesPerHalf);
    SetValueText(SETUP_MINUTES, text);
    SetValueText(SETUP_SWAPPING, MatchSetup.abilitySwapLocked == 0 ? "On" : "Off");
    std::snprintf(text, sizeof text, "%d", MatchSetup.difficulty);
    SetValueText(SETUP_DIFFICULTY, text);
    std::snprintf(text, sizeof text, "%d", MatchSetup.managers);
    SetValueText(SETUP_MANAGERS, text);
    std::snprintf(text, sizeof text, "%.11s", TeamNames[0]);
    SetValueText(SETUP_HOME_NAME, text);
    std::snprintf(text, sizeof text, "%.11s", TeamNames[1]);
    if (opponentFixed) UseWhiteTextColours();
    SetValueText(SETUP_AWAY_NAME, text);
    UseGreenTextColours();
}

bool StepSetupValue(unsigned handle, bool up)
{
    const int32_t step = up ? 1 : -1;
    switch (handle) {
    case SETUP_MINUTES:
        MatchSetup.minutesPerHalf =
            Wrap(MatchSetup.minutesPerHalf + step, MINUTES_PER_HALF_MIN, MINUTES_PER_HALF_MAX);
        return true;
    case SETUP_SWAPPING:
        if (!up) return false;
        MatchSetup.abilitySwapLocked = MatchSetup.abilitySwapLocked ? 0 : 1;
        return true;
    case SETUP_DIFFICULTY:
        MatchSetup.difficulty = Wrap(MatchSetup.difficulty + step, 0, DIFFICULTY_MAX);
        return true;
    case SETUP_MANAGERS:
        MatchSetup.managers = Wrap(MatchSetup.managers + step, 1, 2);
        return true;
    default:
        return false;
    }
}

void EditTeamName(unsigned handle, int32_t team)
{
    if (team < 0 || team > 1) return;
    const Sprite* s = SpriteAt(handle);
    if (!s || !s->Device) return;
    TextEntry.editedSprite = (int32_t)handle;
    BeginTextEntry(s->X, s->Y, 0, TeamNames[team], TEAM_NAME_SIZE - 1, TeamNames[team]);
}

void AskToAbandon() { ShowConfirmBox(CONFIRM_ABANDON_GAME); }

void BuildGameTypeScreen()
{
    BeginMenuScreen(OnGameTypeMessage, "interface\\plain.jpg");
    CreateLabel(TYPE_TITLE, 400, 30, "SELECT TYPE OF GAME", 1);
    UseGreenTextColours();
    CreateTextSprite(TYPE_EXHIBITION, 400, 100, 0, "Single Exhibition Match", 1);
    CreateTextSprite(TYPE_CUP, 400, 130, 0, "Knockout Cup", 1);
    CreateTextSprite(TYPE_LEAGUE, 400, 160, 0, "League", 1);
    CreateTextSprite(TYPE_NETWORK, 400, 190, 0, "Single Exhibition Match - Two Computers", 1);
    CreateTextSprite(SETUP_RETURN, 707, 567, 0, "Return", 1);
    if (!FileExists("dat\\multi.dat")) HideSprite(TYPE_NETWORK);
    Competition.matchInProgress = 0;
}

void OnGameTypeMessage(int32_t message)
{
    const SpriteHandle hit = TheApp.HitTestSprites();
    if (message == MSG_MOUSE_MOVE) {
        HoverSprite(hit, hit == TYPE_EXHIBITION || hit == TYPE_CUP || hit == TYPE_LEAGUE || hit == TYPE_NETWORK ||
                             hit == SETUP_RETURN);
        return;
    }
    if (message != MSG_LEFT_DOWN) return;
    switch (hit) {
    case TYPE_EXHIBITION:
        Competition.gameMode = MODE_EXHIBITION;
        Competition.cupReplay = 0;
        NetworkGameActive = false;
        SetScreen(ScreenId::ExhibitionSetup);
        return;
    case TYPE_CUP:
        Competition.gameMode = MODE_CUP;
        Competition.cupReplay = 0;
        Competition.cupRound = 0;
        NetworkGameActive = false;
        SetScreen(ScreenId::CupSetup);
        return;
    case TYPE_LEAGUE:
        Competition.gameMode = MODE_LEAGUE;
        Competition.cupReplay = 0;
        Competition.leagueMatch = 0;
        NetworkGameActive = false;
        SetScreen(ScreenId::LeagueSetup);
        return;
    case TYPE_NETWORK:
        Competition.gameMode = MODE_EXHIBITION;
        Competition.cupReplay = 0;
        NetworkGameActive = true;
        // Nothing of an earlier session's hand-shake is taken into the new one.
        Net.sessionEndedResult = 0;
        OutgoingEndTurnCode = OutgoingEndTurnValue = 0;
        IncomingEndTurnCode = IncomingEndTurnValue = 0;
        SetScreen(ScreenId::NetExhibitionSetup);
        return;
    case SETUP_RETURN:
        SetScreen(ScreenId::StartMenu);
        return;
    default:
        return;
    }
}

void BuildExhibitionScreen()
{
    CreateDefaultSquads();
    MatchSetup.minutesPerHalf = MINUTES_PER_HALF_MAX;
    BeginMenuScreen(OnExhibitionMessage, "interface\\plain.jpg");
    CreateLabel(EXH_TITLE, 400, 30, "SET EXHIBITION MATCH DETAILS", 1);
    CreateLabel(EXH_MANAGERS_LABEL, 400, 70, "Number of Managers:", 32);
    CreateLabel(EXH_HOME_LABEL, 400, 100, "Home Team:", 32);
    CreateLabel(EXH_AWAY_LABEL, 400, 130, "Away Team:", 32);
    CreateLabel(EXH_DIFFICULTY_LABEL, 400, 160, "Difficulty Level:", 32);
    CreateLabel(EXH_MINUTES_LABEL, 400, 190, "Minutes per Half:", 32);
    CreateLabel(EXH_SWAPPING_LABEL, 400, 220, "Allow Ability Swapping:", 32);
    UseGreenTextColours();
    CreateTextSprite(SETUP_MANAGERS, 420, 70, 0, " ", 0);
    CreateTextSprite(SETUP_HOME_NAME, 420, 100, 0, " ", 0);
    CreateTextSprite(SETUP_AWAY_NAME, 420, 130, 0, " ", 0);
    CreateTextSprite(SETUP_DIFFICULTY, 420, 160, 0, " ", 0);
    CreateTextSprite(SETUP_MINUTES, 420, 190, 0, " ", 0);
    CreateTextSprite(SETUP_SWAPPING, 420, 220, 0, " ", 0);
    CreateTextSprite(SETUP_START, 400, 260, 0, "START MATCH", 1);
    CreateTextSprite(SETUP_RETURN, 707, 567, 0, "Return", 1);
    ListKits();
    SetDefaultKits();
    ShowSetupValues();
    Competition.matchInProgress = 0;
}

void OnExhibitionMessage(int32_t message)
{
    const SpriteHandle hit = TheApp.HitTestSprites();
    if (message == MSG_MOUSE_MOVE) {
        HoverSprite(hit, (hit >= SETUP_MINUTES && hit <= SETUP_AWAY_NAME) || hit == SETUP_START || hit == SETUP_RETURN);
        return;
    }
    if (message != MSG_LEFT_DOWN && message != MSG_RIGHT_DOWN) return;
    if (hit == SPRITE_NONE) return;
    const bool left = message == MSG_LEFT_DOWN;
    if (left) {
        if (hit == SETUP_START) {
            StartExhibition();
            return;
        }
        if (hit == SETUP_RETURN) {
            SetScreen(ScreenId::StartMenu);
            return;
        }
        if (hit == SETUP_HOME_NAME || hit == SETUP_AWAY_NAME) {
            EditTeamName(hit, hit == SETUP_HOME_NAME ? 0 : 1);
            return;
        }
    }
    if (hit == SETUP_SWAPPING && !left) return;
    if (StepSetupValue(hit, left)) ShowSetupValues();
}

void BuildExhibitionResultScreen()
{
    PlayPrimarySound(SOUND_MATCH_MUSIC_2, true);
    BeginMenuScreen(OnExhibitionResultMessage, "interface\\plain.jpg");
    CreateLabel(RESULT_TITLE, 400, 30, "EXHIBITION MATCH RESULT", 1);
    CreateMatchResult(70);
    UseGreenTextColours();
    if (MatchSetup.managers == 2) {
        CreateTextSprite(RESULT_HOME_STATS, 677, 507, 0, "Home Team Stats", 1);
        CreateTextSprite(RESULT_AWAY_STATS, 677, 537, 0, "Away Team Stats", 1);
    } else {
        CreateTextSprite(RESULT_HOME_STATS, 707, 537, 0, "Team Stats", 1);
    }
    CreateTextSprite(RESULT_CONTINUE, 707, 567, 0, "Continue", 1);
}

void OnExhibitionResultMessage(int32_t message)
{
    const SpriteHandle hit = TheApp.HitTestSprites();
    if (message == MSG_MOUSE_MOVE) {
        HoverSprite(hit, hit >= RESULT_HOME_STATS && hit <= RESULT_CONTINUE);
        return;
    }
    if (message != MSG_LEFT_DOWN) return;
    if (hit == RESULT_HOME_STATS || hit == RESULT_AWAY_STATS) {
        Competition.currentManager = hit == RESULT_HOME_STATS ? 0 : 1;
        SetScreen(ScreenId::TeamStats);
    } else if (hit == RESULT_CONTINUE) {
        SetScreen(ScreenId::StartMenu);
    }
}
