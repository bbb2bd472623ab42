#include "fenwolt/Game/FrontEnd/League.h"

#include "fenwolt/Game/FrontEnd/Competition.h"
#include "fenwolt/Game/FrontEnd/GameType.h"
#include "fenwolt/Game/FrontEnd/SquadEditor.h"
#include "fenwolt/Game/GameApp.h"
#include "fenwolt/Game/Match/MatchRecords.h"
#include "fenwolt/Game/Match/Squads.h"
#include "fenwolt/Game/Screens.h"
#include "fenwolt/Game/Engine/Sound.h"
#include "fenwolt/Game/Engine/Sprites.h"
#include "fenwolt/common/Utilities.h"
#include "fenwolt/data/ClubNames.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

// Before any league the table is empty with every team in its own place, so that a game saved
// outside the league still holds a well-formed table.
LeagueTable League = [] {
    LeagueTable t{};
    for (int32_t i = 0; i < LEAGUE_TEAMS; ++i) t.rows[i].position = i;
    return t;
}();
int32_t RoundPairs[LEAGUE_TEAMS];
int32_t RoundGoals[LEAGUE_TEAMS];

namespace {
// Sprites of the league screens.
enum : unsigned {
    LEAGUE_TITLE = 20,
    LEAGUE_MATCH_NO = 21,
    LEAGUE_SWAPPING_LABEL = 22,
    LEAGUE_DIFFICULTY_LABEL = 23,
    LEAGUE_TEAM_LABEL = 25,
    LEAGUE_OPPONENT_LABEL = 26,
    LEAGUE_MINUTES_LABEL = 27,
    LEAGUE_TABLE_TITLE = 300,
    LEAGUE_TABLE_HEADS = 301,   // 301..307
    LEAGUE_TABLE_ROWS = 310,    // 9 sprites a row from here
    RESULT_TITLE = 7,
    RESULT_MATCH_NO = 8,
    RESULT_VERDICT = 31,
    RESULT_OTHERS = 39,
    RESULT_OTHER_LINES = 40,    // 4 sprites a line from here
    RESULT_STATS = 197,
    RESULT_CONTINUE = 199,
};

constexpr int32_t kRowSprites = 9;
const float kColumnX[7] = {367, 407, 447, 487, 527, 567, 607};

void CopyName(char (&out)[12], const char* name) { std::snprintf(out, sizeof out, "%s", name ? name : ""); }

// The club list entry that plays as league team t (1..15).
const char* ClubNameOfTeam(int32_t t)
{
    const int32_t club = t - 1;
    return club >= 0 && club < CLUB_COUNT ? fwdata::kClubNames[club] : "";
}

void AddResult(int32_t team, int32_t scored, int32_t conceded)
{
    if (team < 0 || team >= LEAGUE_TEAMS) return;
    LeagueTableRow& row = League.rows[team];
    row.goalsFor += scored;
    row.goalsAgainst += conceded;
    if (scored > conceded)
        ++row.won;
    else if (scored == conceded)
        ++row.drawn;
    else
        ++row.lost;
}

// The team in a table place (0 = top); the table's own position fields say where each team is.
int32_t TeamInPlace(int32_t place)
{
    for (int32_t t = 0; t < LEAGUE_TEAMS; ++t)
        if (League.rows[t].position == place) return t;
    return place;
}

int32_t ClampedMatch() { return Competition.leagueMatch < 0 ? 0 : Competition.leagueMatch; }

void CreateIntSprite(unsigned handle, float x, float y, int font, int32_t value, int alignment)
{
    char text[16];
    std::snprintf(text, sizeof text, "%d", value);
    CreateLabel(handle, x, y, font, text, alignment);
}

void DrawLeagueTable()
{
    UseWhiteTextColours();
    CreateLabel(LEAGUE_TABLE_TITLE, 157, 223, 1, "LEAGUE TABLE", 0);
    const char* heads[7] = {"P", "W", "D", "L", "F", "A", "Pts"};
    for (int c = 0; c < 7; ++c) CreateLabel(LEAGUE_TABLE_HEADS + c, kColumnX[c], 223, 1, heads[c], 0);
    for (int32_t place = 0; place < LEAGUE_TEAMS; ++place) {
        const int32_t team = TeamInPlace(place);
        const LeagueTableRow& row = League.rows[team];
        if (team == 0)
            SetTextColours(255, 255, 0, 0, 0, 0);
        else
            UseWhiteTextColours();
        const unsigned base = LEAGUE_TABLE_ROWS + (unsigned)place * kRowSprites;
        const float y = 243.f + 20.f * (float)place;
        CreateIntSprite(base, 157, y, 1, place + 1, 0);
        char name[13];
        std::snprintf(name, sizeof name, "%.11s", row.name);
        CreateLabel(base + 1, 182, y, 1, name, 0);
        const int32_t values[7] = {row.played, row.won, row.drawn, row.lost, row.goalsFor, row.goalsAgainst, row.points};
        for (int c = 0; c < 7; ++c) CreateIntSprite(base + 2 + (unsigned)c, kColumnX[c], y, 1, values[c], 0);
    }
    UseWhiteTextColours();
}

void StartLeagueMatch()
{
    MatchSetup.managers = 1;
    Competition.currentManager = 0;
    StartLeagueMatchPoints();
    SetScreen(ScreenId::TeamDetails);
}
}  // namespace

int32_t LeagueFixtureRound(int32_t a, int32_t b)
{
    if (a == b || a < 0 || b < 0 || a >= LEAGUE_TEAMS || b >= LEAGUE_TEAMS) return 0;
    int32_t r;
    if (a < LEAGUE_ROUNDS && b < LEAGUE_ROUNDS)
        r = (a + b) % LEAGUE_ROUNDS;
    else
        r = (2 * (a < LEAGUE_ROUNDS ? a : b)) % LEAGUE_ROUNDS;
    return r == 0 ? LEAGUE_ROUNDS : r;
}

int32_t LeagueOpponent(int32_t n)
{
    if (n < 0) n = 0;
    return n % LEAGUE_ROUNDS + 1;
}

bool IsLeagueHomeMatch(int32_t n)
{
    if (n < 0) n = 0;
    const int32_t m = n < LEAGUE_ROUNDS ? n : n - LEAGUE_ROUNDS;
    const bool even = (m % 2) == 0;
    return n < LEAGUE_ROUNDS ? even : !even;
}

void MakeRoundPairs(int32_t n)
{
    if (n < 0) n = 0;
    const int32_t round = n % LEAGUE_ROUNDS + 1;
    bool paired[LEAGUE_TEAMS] = {};
    int32_t count = 0;
    for (int32_t a = 0; a < LEAGUE_TEAMS; ++a) {
        if (paired[a]) continue;
        for (int32_t b = a + 1; b < LEAGUE_TEAMS; ++b) {
            if (!paired[b] && LeagueFixtureRound(a, b) == round) {
                paired[a] = paired[b] = true;
                RoundPairs[count++] = a;
                RoundPairs[count++] = b;
                break;
            }
        }
    }
}

void InitLeague()
{
    for (int32_t i = 0; i < LEAGUE_TEAMS; ++i) {
        LeagueTableRow& row = League.rows[i];
        std::memset(&row, 0, sizeof row);
        row.position = i;
        CopyName(row.name, i == 0 ? TeamNames[0] : ClubNameOfTeam(i));
    }
}

void SortLeagueTable()
{
    struct Key {
        int32_t team, points, goalDifference, goalsFor;
    } order[LEAGUE_TEAMS];
    for (int32_t i = 0; i < LEAGUE_TEAMS; ++i) {
        LeagueTableRow& row = League.rows[i];
        row.played = row.won + row.drawn + row.lost;
        row.goalDifference = row.goalsFor - row.goalsAgainst;
        row.points = 3 * row.won + row.drawn;
        order[i] = Key{i, row.points, row.goalDifference, row.goalsFor};
    }
    for (int pass = 0; pass < LEAGUE_TEAMS; ++pass) {
        for (int i = 0; i < LEAGUE_TEAMS - 1; ++i) {
            const Key& a = order[i];
            const Key& b = order[i + 1];
            const bool swap = a.points < b.points || (a.points == b.points && a.goalDifference < b.goalDifference) ||
                              (a.points == b.points && a.goalDifference == b.goalDifference && a.goalsFor < b.goalsFor);
            if (swap) {
                const Key t = order[i];
                order[i] = order[i + 1];
                order[i + 1] = t;
            }
        }
    }
    for (int32_t place = 0; place < LEAGUE_TEAMS; ++place) League.rows[order[place].team].position = place;
}

void PlayOtherLeagueResults()
{
    RoundGoals[0] = HomeGoals;
    RoundGoals[1] = AwayGoals;
    for (int32_t pair = 1; pair < LEAGUE_TEAMS / 2; ++pair) {
        const int32_t a = RoundPairs[2 * pair], b = RoundPairs[2 * pair + 1];
        if (a < 0 || a >= LEAGUE_TEAMS || b < 0 || b >= LEAGUE_TEAMS) {
            RoundGoals[2 * pair] = RoundGoals[2 * pair + 1] = 0;
            continue;
        }
        const int32_t d = League.rows[a].position - League.rows[b].position;
        // The better-placed team has the smaller position.
        const bool aBetter = d < 0;
        int32_t goalsA = 0, goalsB = 0;
        if (RandomBelow(100) < std::abs(d) * 5 + 25) {
            int32_t w = 1 + RandomBelow(4);
            const int32_t l = RandomBelow(3);
            if (w <= l) w = l + 1;
            goalsA = aBetter ? w : l;
            goalsB = aBetter ? l : w;
        } else if (RandomBelow(100) < 25) {
            goalsA = aBetter ? 0 : 1;
            goalsB = aBetter ? 1 : 0;
        } else {
            const int32_t r = RandomBelow(100);
            goalsA = goalsB = r < 60 ? 0 : (r < 90 ? 1 : 2);
        }
        RoundGoals[2 * pair] = goalsA;
        RoundGoals[2 * pair + 1] = goalsB;
    }
    for (int32_t pair = 0; pair < LEAGUE_TEAMS / 2; ++pair) {
        const int32_t a = RoundPairs[2 * pair], b = RoundPairs[2 * pair + 1];
        AddResult(a, RoundGoals[2 * pair], RoundGoals[2 * pair + 1]);
        AddResult(b, RoundGoals[2 * pair + 1], RoundGoals[2 * pair]);
    }
    SortLeagueTable();
}

int32_t LeagueAwayPoints(int32_t n, int32_t difficulty, int32_t p)
{
    int32_t points = ABILITY_POINTS_TOTAL - (DIFFICULTY_MAX - difficulty) * 100 + n * 10 + (15 - p) * 50;
    if (p < 10) points += (10 - p) * 100;
    if (p < 5) points += (5 - p) * 100;
    return points;
}

void StartLeagueMatchPoints()
{
    const int32_t n = ClampedMatch();
    if (n == 0) {
        SetStartingPoints();
        return;
    }
    const int32_t p = League.rows[LeagueOpponent(n)].position;
    Competition.pointsToSpend[0] += 10;
    Competition.pointsToSpend[1] = LeagueAwayPoints(n, MatchSetup.difficulty, p);
    MatchSetup.kitChoice[1] = StepKitIndex(MatchSetup.kitChoice[1], +1);
}

void BuildLeagueScreen()
{
    const int32_t n = ClampedMatch();
    const bool seasonOver = n >= LEAGUE_MATCHES;
    if (n == 0) {
        CreateDefaultSquads();
        InitLeague();
        SetClubName(1, 0);
    } else if (!seasonOver) {
        const bool secondHalf = n >= LEAGUE_ROUNDS;
        SetClubSquadNames(1, secondHalf ? n - 14 : n + 1);
        SetClubName(1, secondHalf ? n - 15 : n);
        ResetSquadAttributes(1);
    }
    SortLeagueTable();

    BeginMenuScreen(OnLeagueMessage, "interface\\ldet.jpg");
    if (!seasonOver) {
        CreateLabel(LEAGUE_TITLE, 400, 30, "LEAGUE DETAILS", 1);
        char text[32];
        std::snprintf(text, sizeof text, "Match No: %d", n + 1);
        CreateLabel(LEAGUE_MATCH_NO, 400, 50, text, 1);
        CreateLabel(LEAGUE_TEAM_LABEL, 400, 90, "Your Team:", 32);
        CreateLabel(LEAGUE_OPPONENT_LABEL, 400, 120, IsLeagueHomeMatch(n) ? "Home Against:" : "Away Against:", 32);
        CreateLabel(LEAGUE_DIFFICULTY_LABEL, 300, 150, "Difficulty Level:", 32);
        CreateLabel(LEAGUE_MINUTES_LABEL, 650, 150, "Minutes per Half:", 32);
        CreateLabel(LEAGUE_SWAPPING_LABEL, 400, 173, "Allow Ability Swapping:", 32);
        CreateLabel(SETUP_AWAY_NAME, 420, 120, " ", 0);
        UseGreenTextColours();
        CreateTextSprite(SETUP_HOME_NAME, 420, 90, 0, " ", 0);
        CreateTextSprite(SETUP_DIFFICULTY, 320, 150, 0, " ", 0);
        CreateTextSprite(SETUP_MINUTES, 670, 150, 0, " ", 0);
        CreateTextSprite(SETUP_SWAPPING, 420, 173, 0, " ", 0);
        CreateTextSprite(SETUP_START, 400, 196, 0, "START MATCH", 1);
        if (n > 0) {
            const unsigned chosenOnce[] = {LEAGUE_DIFFICULTY_LABEL, SETUP_DIFFICULTY, LEAGUE_MINUTES_LABEL,
                                           SETUP_MINUTES, LEAGUE_SWAPPING_LABEL, SETUP_SWAPPING};
            for (unsigned h : chosenOnce) HideSprite(h);
        }
    } else {
        CreateLabel(LEAGUE_TITLE, 400, 93, "LEAGUE DETAILS", 1);
        CreateLabel(LEAGUE_MATCH_NO, 400, 113, "END OF SEASON", 1);
    }
    ListKits();
    DrawLeagueTable();
    UseGreenTextColours();
    CreateTextSprite(SETUP_RETURN, 707, 567, 0, "End League", 1);
    if (!seasonOver) ShowSetupValues(true);
    Competition.matchInProgress = 0;
}

void OnLeagueMessage(int32_t message)
{
    const SpriteHandle hit = TheApp.HitTestSprites();
    const bool seasonOver = ClampedMatch() >= LEAGUE_MATCHES;
    if (message == MSG_MOUSE_MOVE) {
        const bool eligible = hit == SETUP_RETURN ||
                              (!seasonOver && (hit == SETUP_START || hit == SETUP_MINUTES || hit == SETUP_SWAPPING ||
                                               hit == SETUP_DIFFICULTY || hit == SETUP_HOME_NAME));
        HoverSprite(hit, eligible);
        return;
    }
    if (message != MSG_LEFT_DOWN && message != MSG_RIGHT_DOWN) return;
    if (hit == SPRITE_NONE) return;
    const bool left = message == MSG_LEFT_DOWN;
    if (left && hit == SETUP_RETURN) {
        AskToAbandon();
        return;
    }
    if (seasonOver) return;
    if (left && hit == SETUP_START) {
        StartLeagueMatch();
        return;
    }
    if (left && hit == SETUP_HOME_NAME) {
        EditTeamName(SETUP_HOME_NAME, 0);
        return;
    }
    if (hit == SETUP_MINUTES || hit == SETUP_SWAPPING || hit == SETUP_DIFFICULTY) {
        if (StepSetupValue(hit, left)) ShowSetupValues(true);
    }
}

void BuildLeagueResultScreen()
{
    const int32_t n = ClampedMatch();
    PlayPrimarySound(SOUND_MATCH_MUSIC_2, true);
    MakeRoundPairs(n);
    PlayOtherLeagueResults();

    BeginMenuScreen(OnLeagueResultMessage, "interface\\lres.jpg");
    CreateLabel(RESULT_TITLE, 400, 30, "LEAGUE RESULT", 1);
    char text[64];
    std::snprintf(text, sizeof text, "Match No: %d", n + 1);
    CreateLabel(RESULT_MATCH_NO, 400, 50, text, 1);

    const bool home = IsLeagueHomeMatch(n);
    const int32_t opponent = RoundPairs[1];
    const char* opponentName = opponent > 0 && opponent < LEAGUE_TEAMS ? League.rows[opponent].name : TeamNames[1];
    char ownName[13], otherName[13];
    std::snprintf(ownName, sizeof ownName, "%.11s", TeamNames[0]);
    std::snprintf(otherName, sizeof otherName, "%.11s", opponentName);
    if (home)
        CreateScoreLine(90, ownName, HomeGoals, AwayGoals, otherName);
    else
        CreateScoreLine(90, otherName, AwayGoals, HomeGoals, ownName);
    FormatVerdict(text, sizeof text, "A win for %s.", HomeGoals, AwayGoals, ownName, otherName);
    CreateLabel(RESULT_VERDICT, 400, 110, text, 1);

    CreateLabel(RESULT_OTHERS, 100, 150, "Other Results...", 0);
    for (int32_t pair = 1; pair < LEAGUE_TEAMS / 2; ++pair) {
        int32_t first = 2 * pair, second = 2 * pair + 1;
        if (!home) {
            first = 2 * pair + 1;
            second = 2 * pair;
        }
        const int32_t a = RoundPairs[first], b = RoundPairs[second];
        if (a < 0 || a >= LEAGUE_TEAMS || b < 0 || b >= LEAGUE_TEAMS) continue;
        const unsigned base = RESULT_OTHER_LINES + 4u * (unsigned)(pair - 1);
        const float y = 170.f + 23.f * (float)(pair - 1);
        char nameA[13], nameB[13];
        std::snprintf(nameA, sizeof nameA, "%.11s", League.rows[a].name);
        std::snprintf(nameB, sizeof nameB, "%.11s", League.rows[b].name);
        CreateLabel(base, 330, y, nameA, 32);
        CreateIntSprite(base + 1, 340, y, 0, RoundGoals[first], 0);
        CreateIntSprite(base + 2, 400, y, 0, RoundGoals[second], 0);
        CreateLabel(base + 3, 450, y, nameB, 0);
    }
    UseGreenTextColours();
    CreateTextSprite(RESULT_STATS, 707, 537, 0, "Team Stats", 1);
    CreateTextSprite(RESULT_CONTINUE, 400, 567, 0, "Continue", 1);
}

void OnLeagueResultMessage(int32_t message)
{
    const SpriteHandle hit = TheApp.HitTestSprites();
    if (message == MSG_MOUSE_MOVE) {
        HoverSprite(hit, hit == RESULT_STATS || hit == RESULT_CONTINUE);
        return;
    }
    if (message != MSG_LEFT_DOWN) return;
    if (hit == RESULT_STATS) {
        ++Competition.leagueMatch;
        SetScreen(ScreenId::TeamStats);
    } else if (hit == RESULT_CONTINUE) {
        ++Competition.leagueMatch;
        SetScreen(ScreenId::LeagueSetup);
    }
}
