#include "fenwolt/Game/FrontEnd/TeamStats.h"

#include "fenwolt/Game/FrontEnd/Competition.h"
#include "fenwolt/Game/FrontEnd/GameType.h"
#include "fenwolt/Game/FrontEnd/SquadEditor.h"
#include "fenwolt/Game/GameApp.h"
#include "fenwolt/Game/Screens.h"
#include "fenwolt/Game/Engine/Sprites.h"
#include "fenwolt/common/Utilities.h"

#include <cstdio>

uint8_t StatsViewCareer = 0;

const StatsColumn StatsColumns[STATS_COLUMN_COUNT] = {
    {"P.", "Games Played..."},
    {"G.", "Goals Scored..."},
    {"Ga.", "Attempts on Goal..."},
    {"Tkw.", "Tackles Won..."},
    {"Tkl.", "Tackle Attempts Lost..."},
    {"Di.", "Have been Tackled..."},
    {"Dip.", "Prevented Being Tackled..."},
    {"Fls.", "Fouls Done..."},
    {"Fld.", "Have Been Fouled..."},
    {"Pa.", "Pass Attempts..."},
    {"Pg.", "Good Passes..."},
};

namespace {
enum : unsigned {
    STATS_TITLE = 20,
    STATS_TEAM_LABEL = 25,
    STATS_TEAM_NAME = 34,
    STATS_RETURN = 200,
    STATS_NUMBER_HEAD = 201,
    STATS_HEADS = 202,  // 202..212
    STATS_VIEW = 219,
    STATS_NUMBERS = 221,
    STATS_NAMES = 241,
    STATS_ROLES = 261,
    STATS_VALUES = 281,  // column c, player i: 281 + 20 c + i
    STATS_HELP = 700,
};

constexpr float kRowTop = 108.f;
constexpr float kRowStep = 20.f;
constexpr float kFirstColumnX = 203.f;
constexpr float kColumnStep = 30.f;

int32_t Team() { return Competition.currentManager == 1 ? 1 : 0; }

int32_t Sum3(const int32_t (&v)[3]) { return v[0] + v[1] + v[2]; }

// The column under the mouse, heads and values alike, or -1.
int32_t ColumnUnderMouse()
{
    for (int32_t c = 0; c < STATS_COLUMN_COUNT; ++c) {
        const int left = (int)(kFirstColumnX + kColumnStep * (float)c);
        if (IsMouseInRect(left, 90, left + (int)kColumnStep - 1, (int)(kRowTop + kRowStep * SQUAD_SIZE))) return c;
    }
    return -1;
}
}  // namespace

int32_t StatsValue(const SquadPlayer& player, int32_t column, bool career)
{
    const SquadStats& s = career ? player.career : player.lastMatch;
    switch (column) {
    case 0: return player.gamesPlayed;
    case 1: return s.goalsScored;
    case 2: return s.attemptsOnGoal;
    case 3: return s.tacklesWon;
    case 4: return s.tackleAttemptsLost;
    case 5: return s.haveBeenTackled;
    case 6: return s.preventedBeingTackled;
    case 7: return s.foulsDone;
    case 8: return s.haveBeenFouled;
    case 9: return Sum3(s.passAttempts);
    case 10: return Sum3(s.goodPasses);
    default: return 0;
    }
}

void ShowTeamStats()
{
    const int32_t team = Team();
    const bool career = StatsViewCareer != 0;
    char text[32];
    UseWhiteTextColours();
    std::snprintf(text, sizeof text, "%.11s", TeamNames[team]);
    SetSpriteText(STATS_TEAM_NAME, text);
    for (int32_t i = 0; i < SQUAD_SIZE; ++i) {
        const SquadPlayer& p = TeamSquads[team].players[i];
        char role[4];
        SetSpriteText(STATS_ROLES + (unsigned)i, RoleText(p, role));
        for (int32_t c = 0; c < STATS_COLUMN_COUNT; ++c) {
            std::snprintf(text, sizeof text, "%d", StatsValue(p, c, career));
            SetSpriteText(STATS_VALUES + 20u * (unsigned)c + (unsigned)i, text);
        }
    }
    // The rows are highlighted under the mouse, so the names take the buttons' colours.
    UseGreenTextColours();
    for (int32_t i = 0; i < SQUAD_SIZE; ++i) {
        std::snprintf(text, sizeof text, "%.14s", TeamSquads[team].players[i].name);
        SetSpriteText(STATS_NAMES + (unsigned)i, text);
    }
}

void BuildTeamStatsScreen()
{
    BeginMenuScreen(OnTeamStatsMessage, "interface\\stats.jpg");
    CreateLabel(STATS_TITLE, 400, 30, StatsViewCareer ? "TEAM STATS - CAREER" : "TEAM STATS - LAST MATCH", 1);
    CreateLabel(STATS_TEAM_LABEL, 10, 60, "Team:", 0);
    CreateLabel(STATS_TEAM_NAME, 100, 60, " ", 0);
    CreateLabel(STATS_NUMBER_HEAD, 3, 90, 2, "No.", 0);
    for (int32_t c = 0; c < STATS_COLUMN_COUNT; ++c)
        CreateLabel(STATS_HEADS + (unsigned)c, kFirstColumnX + kColumnStep * (float)c, 90, 2, StatsColumns[c].head, 0);
    CreateLabel(STATS_HELP, 10, 440, 2, "Help Text", 0);
    for (int32_t i = 0; i < SQUAD_SIZE; ++i) {
        const float y = kRowTop + kRowStep * (float)i;
        char number[8];
        std::snprintf(number, sizeof number, "%d", i + 1);
        CreateLabel(STATS_NUMBERS + (unsigned)i, 3, y, 1, number, 0);
        CreateLabel(STATS_ROLES + (unsigned)i, ROLE_COLUMN_X, y, 1, " ", 0);
        for (int32_t c = 0; c < STATS_COLUMN_COUNT; ++c)
            CreateLabel(STATS_VALUES + 20u * (unsigned)c + (unsigned)i, kFirstColumnX + kColumnStep * (float)c, y + 2.f,
                        2, " ", 0);
    }
    UseGreenTextColours();
    for (int32_t i = 0; i < SQUAD_SIZE; ++i)
        CreateTextSprite(STATS_NAMES + (unsigned)i, NAME_COLUMN_X, kRowTop + kRowStep * (float)i, 1, " ", 0);
    if (MatchSetup.managers != 2)
        CreateTextSprite(STATS_VIEW, 701, 537, 0, StatsViewCareer ? "For Last Match" : "Career Stats", 1);
    CreateTextSprite(STATS_RETURN, 707, 567, 0, "Return", 1);
    ShowTeamStats();
}

void OnTeamStatsMessage(int32_t message)
{
    const SpriteHandle hit = TheApp.HitTestSprites();
    if (message == MSG_MOUSE_MOVE) {
        const int32_t column = ColumnUnderMouse();
        UseWhiteTextColours();
        SetSpriteText(STATS_HELP, column >= 0 ? StatsColumns[column].help : "Help Text");
        UseGreenTextColours();
        HoverSprite(hit, hit == STATS_RETURN || hit == STATS_VIEW ||
                             (hit >= STATS_NAMES && hit < STATS_NAMES + SQUAD_SIZE));
        return;
    }
    if (message != MSG_LEFT_DOWN) return;
    if (hit == STATS_RETURN) {
        if (Competition.gameMode == MODE_CUP)
            SetScreen(ScreenId::CupResult);
        else if (Competition.gameMode == MODE_LEAGUE)
            SetScreen(ScreenId::LeagueSetup);
        else
            SetScreen(ScreenId::ExhibitionResult);
    } else if (hit == STATS_VIEW) {
        StatsViewCareer = StatsViewCareer ? 0 : 1;
        SetScreen(ScreenId::TeamStats);
    }
}
