#include "fenwolt/Game/FrontEnd/SquadEditor.h"

#include "fenwolt/Game/FrontEnd/Competition.h"
#include "fenwolt/Game/FrontEnd/GameType.h"
#include "fenwolt/Game/FrontEnd/League.h"
#include "fenwolt/Game/FrontEnd/Saves.h"
#include "fenwolt/Game/FrontEnd/TextEntry.h"
#include "fenwolt/Game/GameApp.h"
#include "fenwolt/Game/Match/Squads.h"
#include "fenwolt/Game/Network/GameMessages.h"
#include "fenwolt/Game/Network/NetState.h"
#include "fenwolt/Game/Screens.h"
#include "fenwolt/Game/Engine/Sprites.h"
#include "fenwolt/Game/Engine/VertexAnimation.h"
#include "fenwolt/common/Utilities.h"
#include "platform/win32/win32.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <strings.h>
#include <vector>

const AbilityColumn AbilityColumns[ABILITY_COLUMN_COUNT] = {
    {"Sp.", ATTR_SPEED, 281, 10.f, 0.5f, 5.f, 10.f, "Adjust Speed..."},
    {"Tr.", ATTR_TURN, 301, 100.f, 0.05f, 0.5f, 1.0f, "Adjust Turning Speed..."},
    {"Cn.", ATTR_CONTROL, 321, 1.f, 5.f, 10.f, 100.f, "Adjust Ball Control..."},
    {"St.", ATTR_STAMINA, 341, 1.f, 5.f, 50.f, 100.f, "Adjust Stamina..."},
    {"Tk.", ATTR_TACKLING, 361, 1.f, 5.f, 10.f, 100.f, "Adjust Tackling..."},
    {"Hd.", ATTR_HEADING, 381, 100.f, 0.05f, 0.1f, 1.0f, "Adjust Heading..."},
    {"Vl.", ATTR_VOLLEY, 401, 100.f, 0.05f, 0.1f, 1.0f, "Adjust Volley..."},
    {"Th", ATTR_THROW_IN, 421, 1.f, 5.f, 10.f, 100.f, "Adjust Throw-in..."},
    {"Dr.", ATTR_DRIBBLE, 441, 10.f, 0.5f, 5.f, 10.f, "Adjust Dribble..."},
    {"PS.", ATTR_PASS_SHORT, 461, 1.f, 5.f, 10.f, 100.f, "Adjust Passing, short range..."},
    {"PM.", ATTR_PASS_MEDIUM, 481, 1.f, 5.f, 10.f, 100.f, "Adjust Passing, medium range..."},
    {"PL.", ATTR_PASS_LONG, 501, 1.f, 5.f, 10.f, 100.f, "Adjust Passing, long range..."},
    {"Cl.", ATTR_CLOSE_CONTROL, 521, 100.f, 0.05f, 0.5f, 1.0f, "Adjust Close Control..."},
    {"SS.", ATTR_SHOOT_SHORT, 541, 1.f, 5.f, 10.f, 100.f, "Adjust Shooting, short range..."},
    {"SM.", ATTR_SHOOT_MEDIUM, 561, 1.f, 5.f, 10.f, 100.f, "Adjust Shooting, medium range..."},
    {"SL.", ATTR_SHOOT_LONG, 581, 1.f, 5.f, 10.f, 100.f, "Adjust Shooting, long range..."},
};

int32_t SelectedMarker = 0;

namespace {
enum : unsigned {
    EDITOR_TITLE = 20,
    EDITOR_TEAM_LABEL = 25,
    EDITOR_TEAM_NAME = 34,
    EDITOR_POINTS = 36,
    EDITOR_KIT_LABEL = 37,
    EDITOR_SAVE_TEAM = 193,
    EDITOR_LOAD_TEAM = 194,
    EDITOR_RATING = 195,
    EDITOR_KIT = 196,
    EDITOR_KIT_DOWN = 197,
    EDITOR_KIT_UP = 198,
    EDITOR_START = 199,
    EDITOR_RETURN = 200,
    EDITOR_ORDER = 201,   // "No.": orders the squad
    EDITOR_HEADS = 202,   // 202..217 the ability heads
    EDITOR_NUMBERS = 221,
    EDITOR_NAMES = 241,
    EDITOR_ROLES = 261,
    EDITOR_PITCH = 680,
    EDITOR_PITCH_LINES = 681,  // 681..688, drawn over the grass

    EDITOR_HELP = 700,
    EDITOR_MARKERS = 701,        // 701..711 starters, 712..716 the bench
    EDITOR_SELECTED_MARK = 721,  // 721..731
};

constexpr float kButtonX = 670.f;
constexpr float kRowTop = 108.f;
constexpr float kRowStep = 20.f;
constexpr float kPointsEpsilon = 0.0001f;
constexpr int32_t kBenchFirst = 11;
constexpr int32_t kStarters = 11;

// Pitch units of the editor's pitch: the own half, goal line at the top.
constexpr float kPitchZ0 = 4.58f, kPitchZSpan = 74.96f;
constexpr float kPitchX0 = 4.5f, kPitchXSpan = 55.025f;

// A network game's hand-shake in the editor. It outlives the editor's rebuilding after a SAVE
// TEAM or LOAD TEAM detour: what was sent and heard before the detour still stands after it.
bool g_awaitingPeer = false;  // START MATCH pressed, waiting for the other computer
bool g_peerReady = false;     // the host heard that the guest's squad is there
// The detour screens have no use for the other computer's news: it waits until the editor is back.
bool g_heldForDetour = false;

int32_t Team() { return Competition.currentManager == 1 ? 1 : 0; }

float RoundToStep(float value, float step)
{
    const float grid = std::round(value / step) * step;
    return std::fabs(grid - value) < step * 0.01f ? grid : value;
}

struct AutoStep {
    int32_t role;
    int32_t attribute;
};

const AutoStep kPhase1[] = {
    {ROLE_KEEPER, ATTR_SPEED},       {ROLE_KEEPER, ATTR_TURN},         {ROLE_MID, ATTR_SPEED},
    {ROLE_DEF, ATTR_SPEED},          {ROLE_ATT, ATTR_SPEED},           {ROLE_MID, ATTR_SPEED},
    {ROLE_DEF, ATTR_SPEED},          {ROLE_ATT, ATTR_SPEED},           {ROLE_MID, ATTR_STAMINA},
    {ROLE_DEF, ATTR_STAMINA},        {ROLE_ATT, ATTR_STAMINA},         {ROLE_DEF, ATTR_TACKLING},
    {ROLE_DEF, ATTR_TACKLING},       {ROLE_MID, ATTR_TACKLING},        {ROLE_MID, ATTR_PASS_MEDIUM},
    {ROLE_ATT, ATTR_PASS_MEDIUM},    {ROLE_DEF, ATTR_PASS_MEDIUM},     {ROLE_DEF, ATTR_PASS_MEDIUM},
    {ROLE_MID, ATTR_PASS_MEDIUM},    {ROLE_DEF, ATTR_PASS_LONG},       {ROLE_MID, ATTR_PASS_LONG},
    {ROLE_ATT, ATTR_CONTROL},        {ROLE_ATT, ATTR_SHOOT_MEDIUM},    {ROLE_MID, ATTR_PASS_SHORT},
    {ROLE_ATT, ATTR_PASS_SHORT},     {ROLE_DEF, ATTR_PASS_SHORT},      {ROLE_MID, ATTR_SHOOT_MEDIUM},
    {ROLE_MID, ATTR_DRIBBLE},        {ROLE_ATT, ATTR_DRIBBLE},
};
const AutoStep kPhase2[] = {
    {ROLE_ATT, ATTR_TACKLING},       {ROLE_KEEPER, ATTR_TACKLING},     {ROLE_MID, ATTR_PASS_SHORT},
    {ROLE_ATT, ATTR_PASS_SHORT},     {ROLE_DEF, ATTR_PASS_SHORT},      {ROLE_DEF, ATTR_DRIBBLE},
    {ROLE_MID, ATTR_TURN},           {ROLE_ATT, ATTR_TURN},            {ROLE_DEF, ATTR_TURN},
    {ROLE_MID, ATTR_CONTROL},        {ROLE_MID, ATTR_SHOOT_LONG},      {ROLE_MID, ATTR_PASS_SHORT},
    {ROLE_ATT, ATTR_PASS_SHORT},     {ROLE_DEF, ATTR_PASS_SHORT},      {ROLE_DEF, ATTR_HEADING},
    {ROLE_ATT, ATTR_HEADING},        {ROLE_ATT, ATTR_VOLLEY},          {ROLE_MID, ATTR_VOLLEY},
    {ROLE_MID, ATTR_CLOSE_CONTROL},  {ROLE_ATT, ATTR_CLOSE_CONTROL},
};
const AutoStep kPhase3[] = {
    {ROLE_KEEPER, ATTR_SPEED}, {ROLE_ATT, ATTR_SHOOT_SHORT}, {ROLE_DEF, ATTR_CLOSE_CONTROL},
    {ROLE_DEF, ATTR_SHOOT_LONG}, {ROLE_ATT, ATTR_PASS_LONG}, {ROLE_MID, ATTR_PASS_LONG},
    {ROLE_DEF, ATTR_PASS_LONG},
};

template <size_t N>
void RunAutoSpendPhase(int32_t team, const AutoStep (&steps)[N])
{
    int32_t& points = Competition.pointsToSpend[team];
    bool spent = true;
    while (points >= ABILITY_STEP_COST && spent) {
        spent = false;
        for (const AutoStep& step : steps) {
            const int32_t column = AbilityColumnOf(step.attribute);
            for (int32_t slot = 0; slot < kStarters && points >= ABILITY_STEP_COST; ++slot) {
                if (TeamSquads[team].players[slot].role != step.role) continue;
                if (AdjustAbility(team, column, slot, true)) spent = true;
            }
            if (points < ABILITY_STEP_COST) break;
        }
    }
}

bool EndsWithTga(const std::string& name)
{
    return name.size() >= 4 && strcasecmp(name.c_str() + name.size() - 4, ".tga") == 0;
}

int32_t FindKit(const char* name)
{
    for (int32_t i = 0; i < KitTable.count; ++i)
        if (strcasecmp(KitTable.names[i], name) == 0) return i;
    return -1;
}

void SetImageSize(int32_t width, int32_t height)
{
    SpriteImageWidth = width;
    SpriteImageHeight = height;
}

void CreatePicture(unsigned handle, float x, float y, int32_t width, int32_t height, const char* file)
{
    SetImageSize(width, height);
    CreateImageSprite(handle, x, y, (float)width, (float)height, file,
                      MakeRect(0.f, 0.f, (float)width, (float)height), 0);
    SetImageSize(256, 256);
}

// Draws part of a picture (u0, v0)..(u1, v1), in pixels of a picture `pictureSize` wide and high,
// stretched over width x height pixels at (x, y).
void CreatePicturePart(unsigned handle, float x, float y, float width, float height, const char* file,
                       float pictureSize, float u0, float v0, float u1, float v1)
{
    const float textureW = width * pictureSize / (u1 - u0);
    const float textureH = height * pictureSize / (v1 - v0);
    SetImageSize((int32_t)std::lround(textureW), (int32_t)std::lround(textureH));
    const float left = u0 / pictureSize * textureW, top = v0 / pictureSize * textureH;
    CreateImageSprite(handle, x, y, width, height, file, MakeRect(left, top, left + width, top + height), 0);
    SetImageSize(256, 256);
    DeactivateSprite(handle);
}

// The own half of the pitch with the goal at the top: grass from the pitch texture's margin and the
// lines from its chalk, laid out in the editor's pitch units.
void CreateEditorPitch()
{
    const char* file = "textures\\pitch.jpg";
    const float x0 = EDITOR_PITCH_LEFT, y0 = EDITOR_PITCH_TOP;
    const float w = EDITOR_PITCH_WIDTH, h = EDITOR_PITCH_HEIGHT;
    CreatePicturePart(EDITOR_PITCH, x0, y0, w, h, file, 1024.f, 120.f, 2.f, 900.f, 92.f);
    auto screenX = [&](float z) { return x0 + (z - kPitchZ0) / kPitchZSpan * w; };
    auto screenY = [&](float x) { return y0 + (x - kPitchX0) / kPitchXSpan * h; };
    // A horizontal chalk line from the texture's touchline, a vertical one from its halfway line.
    auto across = [&](unsigned handle, float z0, float z1, float x) {
        CreatePicturePart(handle, screenX(z0), screenY(x), screenX(z1) - screenX(z0), 2.f, file, 1024.f, 200.f, 111.f,
                          400.f, 114.f);
    };
    auto along = [&](unsigned handle, float z, float xa, float xb) {
        CreatePicturePart(handle, screenX(z), screenY(xa), 2.f, screenY(xb) - screenY(xa), file, 1024.f, 510.f, 150.f,
                          513.f, 400.f);
    };
    across(EDITOR_PITCH_LINES + 0, TOUCHLINE_LOW_Z, TOUCHLINE_HIGH_Z, GOAL_LINE_LOW_X);
    across(EDITOR_PITCH_LINES + 1, TOUCHLINE_LOW_Z, TOUCHLINE_HIGH_Z, CENTRE_X - 0.4f);
    along(EDITOR_PITCH_LINES + 2, TOUCHLINE_LOW_Z, GOAL_LINE_LOW_X, CENTRE_X);
    along(EDITOR_PITCH_LINES + 3, TOUCHLINE_HIGH_Z - 0.6f, GOAL_LINE_LOW_X, CENTRE_X);
    across(EDITOR_PITCH_LINES + 4, PENALTY_AREA_LOW_Z, PENALTY_AREA_HIGH_Z, PENALTY_AREA_LOW_X);
    along(EDITOR_PITCH_LINES + 5, PENALTY_AREA_LOW_Z, GOAL_LINE_LOW_X, PENALTY_AREA_LOW_X);
    along(EDITOR_PITCH_LINES + 6, PENALTY_AREA_HIGH_Z, GOAL_LINE_LOW_X, PENALTY_AREA_LOW_X);
    across(EDITOR_PITCH_LINES + 7, GOAL_MOUTH_LOW_Z, GOAL_MOUTH_HIGH_Z, GOAL_LINE_LOW_X - 1.0f);
}

void ShowKitPicture()
{
    const int32_t kit = MatchSetup.kitChoice[Team()];
    if (kit < 0 || kit >= KitTable.count) {
        HideSprite(EDITOR_KIT);
        return;
    }
    char file[280];
    std::snprintf(file, sizeof file, "kit\\%s", KitTable.names[kit]);
    CreatePicture(EDITOR_KIT, 300, 462, 64, 64, file);
    DeactivateSprite(EDITOR_KIT);
}

void FormatAbility(char* out, size_t size, const SquadPlayer& p, const AbilityColumn& c)
{
    std::snprintf(out, size, "%.0f", (double)(p.attributes[c.attribute] * c.shownScale));
}

void PlaceMarkers()
{
    const TeamSquad& squad = TeamSquads[Team()];
    for (int32_t i = 0; i < kStarters; ++i) {
        const SquadPlayer& p = squad.players[i];
        const float x = MarkerScreenX(p), y = MarkerScreenY(p);
        PlaceSprite(EDITOR_MARKERS + (unsigned)i, x, y);
        PlaceSprite(EDITOR_SELECTED_MARK + (unsigned)i, x, y);
        if (SelectedMarker == i + 1)
            ShowSpriteInactive(EDITOR_SELECTED_MARK + (unsigned)i);
        else
            HideSprite(EDITOR_SELECTED_MARK + (unsigned)i);
    }
}

// Every value of the screen drawn again from the squad.
void ShowSquadValues()
{
    const int32_t team = Team();
    const TeamSquad& squad = TeamSquads[team];
    char text[64];
    UseWhiteTextColours();
    std::snprintf(text, sizeof text, "Points to Spend: %d", Competition.pointsToSpend[team]);
    SetSpriteText(EDITOR_POINTS, text);
    std::snprintf(text, sizeof text, "Rating: %d%%", SquadRating(team));
    SetSpriteText(EDITOR_RATING, text);
    for (int32_t i = 0; i < SQUAD_SIZE; ++i) {
        char role[4];
        SetSpriteText(EDITOR_ROLES + (unsigned)i, RoleText(squad.players[i], role));
    }
    UseGreenTextColours();
    std::snprintf(text, sizeof text, "%.11s", TeamNames[team]);
    SetSpriteText(EDITOR_TEAM_NAME, text);
    for (int32_t i = 0; i < SQUAD_SIZE; ++i) {
        const SquadPlayer& p = squad.players[i];
        std::snprintf(text, sizeof text, "%.14s", p.name);
        SetSpriteText(EDITOR_NAMES + (unsigned)i, text);
        for (const AbilityColumn& c : AbilityColumns) {
            FormatAbility(text, sizeof text, p, c);
            SetSpriteText(c.spriteBase + (unsigned)i, text);
        }
    }
    PlaceMarkers();
    RefreshHover();
}

int32_t ColumnOfValueSprite(unsigned handle, int32_t* slot)
{
    for (int32_t c = 0; c < ABILITY_COLUMN_COUNT; ++c) {
        const unsigned base = AbilityColumns[c].spriteBase;
        if (handle >= base && handle < base + SQUAD_SIZE) {
            if (slot) *slot = (int32_t)(handle - base);
            return c;
        }
    }
    return -1;
}

bool InPitch(int32_t x, int32_t y)
{
    return x >= EDITOR_PITCH_LEFT && x <= EDITOR_PITCH_LEFT + EDITOR_PITCH_WIDTH && y >= EDITOR_PITCH_TOP &&
           y <= EDITOR_PITCH_TOP + EDITOR_PITCH_HEIGHT;
}

void ShowAwaiting()
{
    UseGreenTextColours();
    SetSpriteText(EDITOR_START, "AWAITING PLAYER");
    CentreSpriteOn(EDITOR_START, kButtonX);
    DeactivateSprite(EDITOR_START);
}

void ShowStartButton()
{
    UseGreenTextColours();
    SetSpriteText(EDITOR_START, "START MATCH");
    CentreSpriteOn(EDITOR_START, kButtonX);
    ShowSprite(EDITOR_START);
}

void GoToLoadingScreen()
{
    TheApp.DestroyMeshes();
    FreeAllAnimations();
    SetScreen(ScreenId::Loading);
}

// Both squads are already set (the other computer's arrived by message): onto the pitch and away.
void StartNetworkMatch()
{
    LoadRequested = 0;
    CopySquadToPitch(0, 0);
    CopySquadToPitch(1, 1);
    g_awaitingPeer = false;
    GoToLoadingScreen();
}

// The guest's squad went to the host with START MATCH: from then on it is the one both play, so
// nothing may change it.
bool SquadSentToHost() { return IsNetworkGuest() && g_awaitingPeer; }

// SAVE TEAM or LOAD TEAM: in a network game the other computer's messages wait for the editor.
void LeaveForDetour(ScreenId screen)
{
    if (IsNetworkGame() && Net.sessionSetUp && !g_heldForDetour) {
        HoldNetworkMessages(true);
        g_heldForDetour = true;
    }
    SetScreen(screen);
}

void PressStartMatch()
{
    if (IsNetworkGame()) {
        if (!Net.sessionSetUp) return;
        SendGameMessage(GAME_MSGID_TEAM_SQUAD);
        // The host's ready word starts the guest; sent before the guest is ready it would be
        // followed by a second one that the guest's loading screen takes for "loaded".
        if (!IsNetworkHost() || g_peerReady) SendGameMessage(GAME_MSGID_READY);
        if (IsNetworkHost() && g_peerReady) {
            StartNetworkMatch();
            return;
        }
        g_awaitingPeer = true;
        ShowAwaiting();
        return;
    }
    if (MatchSetup.managers == 2 && Competition.currentManager == 0) {
        Competition.currentManager = 1;
        SetScreen(ScreenId::TeamDetails);
        return;
    }
    StartMatchFromEditor();
}

void OnNetworkNotification(uint32_t code)
{
    if (!IsNetworkGame() && code != NOTIFY_PLAYER_LEFT) return;
    if (code == NOTIFY_PLAYER_LEFT) {
        g_awaitingPeer = false;
        g_peerReady = false;
        UseGreenTextColours();
        SetSpriteText(EDITOR_START, "OTHER PLAYER IS NO LONGER CONNECTED");
        CentreSpriteOn(EDITOR_START, 400);
        ShowSpriteInactive(EDITOR_START);
        if (Net.sessionSetUp) CleanupDirectPlay();
        return;
    }
    if (code != NOTIFY_READY) return;
    if (IsNetworkHost()) {
        g_peerReady = true;
        if (g_awaitingPeer) {
            g_awaitingPeer = false;
            ShowStartButton();
        }
    } else if (g_awaitingPeer) {
        StartNetworkMatch();
    }
}

void EditPlayerName(int32_t slot)
{
    const Sprite* s = SpriteAt(EDITOR_NAMES + (unsigned)slot);
    if (!s || !s->Device) return;
    SquadPlayer& p = TeamSquads[Team()].players[slot];
    p.name[sizeof p.name - 1] = 0;
    TextEntry.editedSprite = (int32_t)(EDITOR_NAMES + (unsigned)slot);
    BeginTextEntry(s->X, s->Y, 1, p.name, 12, p.name);
}
}  // namespace

const char* RoleText(const SquadPlayer& p, char (&out)[4])
{
    const char letter = p.role == ROLE_DEF ? 'D' : p.role == ROLE_MID ? 'M' : p.role == ROLE_ATT ? 'A' : 'G';
    const char wing = p.wingSide == 2 ? 'L' : p.wingSide == 3 ? 'R' : 0;
    out[0] = letter;
    out[1] = wing;
    out[2] = 0;
    return out;
}

int32_t AbilityColumnOf(int32_t attribute)
{
    for (int32_t c = 0; c < ABILITY_COLUMN_COUNT; ++c)
        if (AbilityColumns[c].attribute == attribute) return c;
    return -1;
}

bool AdjustAbility(int32_t team, int32_t column, int32_t slot, bool raise)
{
    if (team < 0 || team > 1 || column < 0 || column >= ABILITY_COLUMN_COUNT || slot < 0 || slot >= SQUAD_SIZE)
        return false;
    const AbilityColumn& c = AbilityColumns[column];
    float& value = TeamSquads[team].players[slot].attributes[c.attribute];
    int32_t& points = Competition.pointsToSpend[team];
    if (raise) {
        // A step costs its full price: the budget never goes below zero.
        if (points < ABILITY_STEP_COST) return false;
        if (!(value < c.highest - kPointsEpsilon)) return false;
        value = std::min(RoundToStep(value + c.step, c.step), c.highest);
        points -= ABILITY_STEP_COST;
        return true;
    }
    if (!(value > c.lowest + kPointsEpsilon)) return false;
    value = std::max(RoundToStep(value - c.step, c.step), c.lowest);
    points += ABILITY_STEP_COST;
    return true;
}

int32_t SquadRating(int32_t team)
{
    if (team < 0 || team > 1) return 0;
    int32_t total = 0;
    for (int32_t i = 0; i < kStarters; ++i) {
        const float* a = TeamSquads[team].players[i].attributes;
        const float sum = a[ATTR_SPEED] * 10.f + a[ATTR_DRIBBLE] * 10.f + a[ATTR_TURN] * 100.f +
                          a[ATTR_CLOSE_CONTROL] * 100.f + a[ATTR_HEADING] * 100.f + a[ATTR_VOLLEY] * 100.f +
                          a[ATTR_CONTROL] + a[ATTR_STAMINA] + a[ATTR_TACKLING] + a[ATTR_THROW_IN] +
                          a[ATTR_PASS_SHORT] + a[ATTR_PASS_MEDIUM] + a[ATTR_PASS_LONG] + a[ATTR_SHOOT_SHORT] +
                          a[ATTR_SHOOT_MEDIUM] + a[ATTR_SHOOT_LONG];
        total = (int32_t)((float)total + sum);
    }
    return total / 176;
}

float MarkerScreenX(const SquadPlayer& player)
{
    return (player.formationZ - kPitchZ0) / kPitchZSpan * (float)EDITOR_PITCH_WIDTH + (float)EDITOR_PITCH_LEFT - 8.f;
}

float MarkerScreenY(const SquadPlayer& player)
{
    return (player.formationX - kPitchX0) / kPitchXSpan * (float)EDITOR_PITCH_HEIGHT + (float)EDITOR_PITCH_TOP - 4.f;
}

bool MoveSelectedStarter(int32_t team, int32_t mouseX, int32_t mouseY)
{
    if (team < 0 || team > 1) return false;
    // The keeper (marker 1) keeps his spot.
    if (SelectedMarker < 2 || SelectedMarker > kStarters) return false;
    if (!InPitch(mouseX, mouseY)) return false;
    SquadPlayer& p = TeamSquads[team].players[SelectedMarker - 1];
    p.formationZ = (float)(mouseX - EDITOR_PITCH_LEFT) / (float)EDITOR_PITCH_WIDTH * kPitchZSpan + kPitchZ0;
    p.formationX = (float)(mouseY - EDITOR_PITCH_TOP) / (float)EDITOR_PITCH_HEIGHT * kPitchXSpan + kPitchX0;
    p.role = mouseY < 497 ? ROLE_DEF : (mouseY < 563 ? ROLE_MID : ROLE_ATT);
    if (mouseX < 73) {
        p.wingSide = 3;
        p.wingFlag = 1;
    } else if (mouseX < 174) {
        p.wingSide = 0;
        p.wingFlag = 0;
    } else {
        p.wingSide = 2;
        p.wingFlag = 1;
    }
    return true;
}

bool SwapWithSubstitute(int32_t team, int32_t starter, int32_t benchSlot)
{
    if (team < 0 || team > 1 || starter < 0 || starter >= kStarters || benchSlot < kBenchFirst ||
        benchSlot >= SQUAD_SIZE)
        return false;
    SquadPlayer& a = TeamSquads[team].players[starter];
    SquadPlayer& b = TeamSquads[team].players[benchSlot];
    if ((a.role == ROLE_KEEPER) != (b.role == ROLE_KEEPER)) return false;
    const SquadPlayer keepA = a, keepB = b;
    std::swap(a, b);
    // The players change places; each slot keeps its position on the pitch.
    a.formationX = keepA.formationX;
    a.formationZ = keepA.formationZ;
    a.role = keepA.role;
    a.wingSide = keepA.wingSide;
    a.wingFlag = keepA.wingFlag;
    b.formationX = keepB.formationX;
    b.formationZ = keepB.formationZ;
    b.role = keepB.role;
    b.wingSide = keepB.wingSide;
    b.wingFlag = keepB.wingFlag;
    return true;
}

void OrderSquad(int32_t team)
{
    if (team < 0 || team > 1) return;
    SquadPlayer* p = TeamSquads[team].players;
    for (int pass = 0; pass < 11; ++pass) {
        for (int32_t i = 1; i < 10; ++i) {
            const SquadPlayer& a = p[i];
            const SquadPlayer& b = p[i + 1];
            if (b.role < a.role || (b.role == a.role && b.wingSide > a.wingSide)) std::swap(p[i], p[i + 1]);
        }
    }
}

void SetComputerFormation(int32_t team)
{
    if (team < 0 || team > 1) return;
    const int32_t v = RandomBelow(6);
    SquadPlayer* p = TeamSquads[team].players;
    for (int32_t s = 1; s < kStarters; ++s) {
        p[s].role = FormationTables.role[s];
        p[s].wingFlag = FormationTables.wingFlag[s];
        p[s].wingSide = FormationTables.wingSide[s];
        p[s].formationX = FormationTables.x[s];
        p[s].formationZ = FormationTables.z[s];
    }
    switch (v) {
    case 1:
        p[1].formationX += 7.7f;
        p[2].formationX += 7.7f;
        p[3].formationX += 1.7f;
        p[4].formationX += 1.7f;
        for (int32_t s = 5; s <= 8; ++s) p[s].formationX += 3.7f;
        p[5].formationZ += 3.1f;
        p[6].formationZ -= 3.1f;
        p[7].formationZ += 3.1f;
        p[8].formationZ -= 3.1f;
        break;
    case 2:
        p[1].formationX += 1.7f;
        p[2].formationX += 1.7f;
        p[5].formationZ += 13.1f;
        p[6].formationZ -= 13.1f;
        p[7].formationX -= 10.7f;
        p[7].formationZ += 7.1f;
        p[8].formationZ -= 7.1f;
        p[10].formationX -= 3.1f;
        break;
    case 3:
        p[1].formationX += 11.7f;
        p[2].formationX += 11.7f;
        p[5].formationZ += 13.1f;
        p[6].formationZ -= 13.1f;
        p[7].formationX -= 18.7f;
        p[7].formationZ += 7.1f;
        p[7].role = ROLE_DEF;
        p[8].formationZ -= 7.1f;
        break;
    case 4:
        p[1].formationX += 17.7f;
        p[2].formationX += 17.7f;
        p[1].role = ROLE_MID;
        p[2].role = ROLE_MID;
        p[5].formationZ += 13.1f;
        p[6].formationZ -= 13.1f;
        p[5].wingFlag = p[6].wingFlag = 0;
        p[5].wingSide = p[6].wingSide = 0;
        p[7].formationX -= 18.7f;
        p[7].formationZ += 7.1f;
        p[7].role = ROLE_DEF;
        p[8].formationZ -= 7.1f;
        break;
    case 5:
        p[1].formationX += 7.7f;
        p[2].formationX += 7.7f;
        p[3].formationX += 1.7f;
        p[4].formationX += 1.7f;
        p[5].formationZ += 13.1f;
        p[6].formationZ -= 13.1f;
        p[8].formationZ -= 7.1f;
        p[7].formationX += 17.7f;
        p[7].formationZ -= 7.1f;
        p[7].role = ROLE_ATT;
        break;
    default:
        break;
    }
    for (int32_t s = 1; s < kStarters; ++s) {
        if (p[s].formationX >= GOAL_LINE_HIGH_X) p[s].formationX = 109.55f;
        if (p[s].formationX <= GOAL_LINE_LOW_X) p[s].formationX = 9.5f;
        if (p[s].formationZ >= TOUCHLINE_HIGH_Z) p[s].formationZ = 76.54f;
        if (p[s].formationZ <= TOUCHLINE_LOW_Z) p[s].formationZ = 7.58f;
    }
}

void AutoSpend(int32_t team)
{
    if (team < 0 || team > 1) return;
    RunAutoSpendPhase(team, kPhase1);
    RunAutoSpendPhase(team, kPhase2);
    RunAutoSpendPhase(team, kPhase3);
}

void ListKits()
{
    std::vector<std::string> names;
    const std::string dir = PlatformMapPath("kit", false);
    std::error_code ec;
    for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() > 259 || name.size() < 7 || strncasecmp(name.c_str(), "kit", 3) != 0 || !EndsWithTga(name))
            continue;
        std::error_code fileError;
        if (!it->is_regular_file(fileError)) continue;
        names.push_back(name);
    }
    // Directory order differs between machines, while the indices travel in files and messages.
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        const int c = strcasecmp(a.c_str(), b.c_str());
        return c != 0 ? c < 0 : a < b;
    });
    KitTable = KitList{};
    for (const std::string& name : names) {
        if (KitTable.count >= KIT_TABLE_SIZE) break;
        std::snprintf(KitTable.names[KitTable.count++], sizeof KitTable.names[0], "%s", name.c_str());
    }
    for (int32_t team = 0; team < 2; ++team) {
        const int32_t kit = MatchSetup.kitChoice[team];
        if (kit < 0 || (KitTable.count > 0 && kit >= KitTable.count)) {
            SetDefaultKits();
            break;
        }
    }
}

void SetDefaultKits()
{
    const int32_t home = FindKit("kitbbpb.tga");
    const int32_t away = FindKit("kitwwpw.tga");
    MatchSetup.kitChoice[0] = home >= 0 ? home : 0;
    if (away >= 0 && away != MatchSetup.kitChoice[0])
        MatchSetup.kitChoice[1] = away;
    else
        MatchSetup.kitChoice[1] = StepKitIndex(MatchSetup.kitChoice[0], +1);
}

int32_t StepKitIndex(int32_t kit, int32_t direction)
{
    const int32_t count = KitTable.count;
    if (count <= 0) return 0;
    int32_t k = kit + (direction < 0 ? -1 : 1);
    k %= count;
    if (k < 0) k += count;
    return k;
}

void StepKit(int32_t team, int32_t direction)
{
    if (team < 0 || team > 1) return;
    int32_t& kit = MatchSetup.kitChoice[team];
    kit = StepKitIndex(kit, direction);
    if (team == 1 && kit == MatchSetup.kitChoice[0] && KitTable.count > 1) kit = StepKitIndex(kit, direction);
}

void CopyTeamToStaging(int32_t team)
{
    if (team < 0 || team > 1) return;
    std::memcpy(TeamStaging.name, TeamNames[team], sizeof TeamStaging.name);
    TeamStaging.name[TEAM_NAME_SIZE - 1] = 0;
    TeamStaging.squad = TeamSquads[team];
    TeamStaging.kitChoice = MatchSetup.kitChoice[team];
}

int64_t SquadAbilityCost(const TeamSquad& squad)
{
    int64_t steps = 0;
    for (const SquadPlayer& player : squad.players)
        for (const AbilityColumn& c : AbilityColumns) {
            const float above = player.attributes[c.attribute] - c.lowest;
            // A value the editor could not have reached (a damaged file is refused before this)
            // counts for nothing rather than for a huge or negative price.
            if (!(above > 0.f) || !(c.step > 0.f)) continue;
            steps += std::lround(std::min(above, c.highest - c.lowest) / c.step);
        }
    return steps * ABILITY_STEP_COST;
}

void CopyStagingToTeam(int32_t team)
{
    if (team < 0 || team > 1) return;
    std::memcpy(TeamNames[team], TeamStaging.name, sizeof TeamStaging.name);
    TeamNames[team][TEAM_NAME_SIZE - 1] = 0;
    // The team file holds no budget: what the loaded abilities cost beyond the present ones
    // comes out of the points, and what they cost less goes back, so that loading a team never
    // hands out points (and never takes the budget below zero).
    const int64_t points = int64_t{Competition.pointsToSpend[team]} + SquadAbilityCost(TeamSquads[team]) -
                           SquadAbilityCost(TeamStaging.squad);
    Competition.pointsToSpend[team] = (int32_t)std::clamp<int64_t>(points, 0, INT32_MAX);
    TeamSquads[team] = TeamStaging.squad;
    const int32_t kit = TeamStaging.kitChoice;
    if (kit >= 0 && kit < KitTable.count) MatchSetup.kitChoice[team] = kit;
}

void StartMatchFromEditor()
{
    LoadRequested = 0;
    CopySquadToPitch(0, 0);
    if (MatchSetup.managers == 1) {
        SetComputerFormation(1);
        AutoSpend(1);
        if (MatchSetup.kitChoice[1] == MatchSetup.kitChoice[0])
            MatchSetup.kitChoice[1] = StepKitIndex(MatchSetup.kitChoice[1], +1);
    }
    CopySquadToPitch(1, 1);
    if (Competition.gameMode == MODE_LEAGUE)
        std::snprintf(League.rows[0].name, sizeof League.rows[0].name, "%.11s", TeamNames[0]);
    GoToLoadingScreen();
}

void BuildSquadScreen()
{
    const int32_t team = Team();
    const TeamSquad& squad = TeamSquads[team];
    SelectedMarker = 0;
    BeginMenuScreen(OnSquadMessage, "interface\\plain.jpg");
    CreateLabel(EDITOR_TITLE, 400, 8, "SET TEAM DETAILS", 1);
    CreateLabel(EDITOR_TEAM_LABEL, 10, 44, team == 0 ? "Home Team:" : "Away Team:", 0);
    CreateLabel(EDITOR_POINTS, 420, 50, 1, " ", 0);
    CreateLabel(EDITOR_RATING, 660, 50, 1, " ", 0);
    for (int32_t c = 0; c < ABILITY_COLUMN_COUNT; ++c)
        CreateLabel(EDITOR_HEADS + (unsigned)c, 203.f + 30.f * (float)c, 90, 2, AbilityColumns[c].head, 0);
    for (int32_t i = 0; i < SQUAD_SIZE; ++i) {
        const float y = kRowTop + kRowStep * (float)i;
        char number[8];
        std::snprintf(number, sizeof number, "%d", i + 1);
        CreateLabel(EDITOR_NUMBERS + (unsigned)i, 3, y, 1, number, 0);
        CreateLabel(EDITOR_ROLES + (unsigned)i, ROLE_COLUMN_X, y, 1, " ", 0);
    }
    CreateLabel(EDITOR_HELP, 440, 436, 2, " ", 0);
    CreateLabel(EDITOR_KIT_LABEL, 332, 440, 2, "Kit", 1);

    UseGreenTextColours();
    CreateTextSprite(EDITOR_ORDER, 3, 90, 2, "No.", 0);
    CreateTextSprite(EDITOR_TEAM_NAME, 200, 44, 0, " ", 0);
    for (int32_t i = 0; i < SQUAD_SIZE; ++i) {
        const float y = kRowTop + kRowStep * (float)i;
        CreateTextSprite(EDITOR_NAMES + (unsigned)i, NAME_COLUMN_X, y, 1, " ", 0);
        for (int32_t c = 0; c < ABILITY_COLUMN_COUNT; ++c)
            CreateTextSprite(AbilityColumns[c].spriteBase + (unsigned)i, 203.f + 30.f * (float)c, y + 2.f, 2, " ", 0);
    }
    CreateTextSprite(EDITOR_KIT_DOWN, 280, 482, 0, "<", 0);
    CreateTextSprite(EDITOR_KIT_UP, 372, 482, 0, ">", 0);
    CreateTextSprite(EDITOR_SAVE_TEAM, 440, 460, 0, "SAVE TEAM", 0);
    CreateTextSprite(EDITOR_LOAD_TEAM, 440, 492, 0, "LOAD TEAM", 0);
    CreateTextSprite(EDITOR_START, kButtonX, 537, 0, "START MATCH", 1);
    if (Competition.gameMode == MODE_EXHIBITION) CreateTextSprite(EDITOR_RETURN, kButtonX, 567, 0, "Return", 1);

    // The formation: the own half of the pitch, the starters' markers on it, the bench beside it.
    CreateEditorPitch();
    for (int32_t i = 0; i < kStarters; ++i) {
        CreatePicture(EDITOR_MARKERS + (unsigned)i, MarkerScreenX(squad.players[i]), MarkerScreenY(squad.players[i]),
                      16, 8, "textures\\marker.tga");
        CreatePicture(EDITOR_SELECTED_MARK + (unsigned)i, MarkerScreenX(squad.players[i]),
                      MarkerScreenY(squad.players[i]), 16, 8, "textures\\markerxr.tga");
        HideSprite(EDITOR_SELECTED_MARK + (unsigned)i);
    }
    for (int32_t s = kBenchFirst; s < SQUAD_SIZE; ++s)
        CreatePicture(EDITOR_MARKERS + (unsigned)s, 251, 457.f + 20.f * (float)(s - kBenchFirst), 16, 8,
                      "textures\\markerx.tga");

    ShowKitPicture();
    ShowSquadValues();
    if (IsNetworkGame() && g_awaitingPeer) ShowAwaiting();
    if (g_heldForDetour) {
        g_heldForDetour = false;
        HoldNetworkMessages(false);
    }
}

void ResetSquadHandshake()
{
    g_awaitingPeer = false;
    g_peerReady = false;
}

void OnSquadMessage(int32_t message)
{
    const int32_t team = Team();
    if (message == MSG_NET_NOTIFY) {
        OnNetworkNotification(LastMessageParam);
        return;
    }
    const SpriteHandle hit = TheApp.HitTestSprites();
    int32_t slot = 0;
    const int32_t column = ColumnOfValueSprite(hit, &slot);
    if (message == MSG_MOUSE_MOVE) {
        if (column >= 0) {
            SetSpriteText(EDITOR_HELP, AbilityColumns[column].help);
        } else if (hit == SPRITE_NONE) {
            SetSpriteText(EDITOR_HELP, " ");
        }
        const bool button = hit == EDITOR_TEAM_NAME || hit == EDITOR_ORDER || (hit >= EDITOR_SAVE_TEAM &&
                            hit <= EDITOR_RETURN && hit != EDITOR_RATING && hit != EDITOR_KIT) ||
                            (hit >= EDITOR_NAMES && hit < EDITOR_NAMES + SQUAD_SIZE) || column >= 0 ||
                            (hit >= EDITOR_MARKERS && hit < EDITOR_MARKERS + SQUAD_SIZE);
        HoverSprite(hit, button);
        return;
    }
    if (message == MSG_RIGHT_DOWN) {
        if (SquadSentToHost()) return;
        if (column >= 0 && MatchSetup.abilitySwapLocked == 0 && AdjustAbility(team, column, slot, false))
            ShowSquadValues();
        return;
    }
    if (message != MSG_LEFT_DOWN) return;
    if (SquadSentToHost() && hit != EDITOR_SAVE_TEAM && hit != EDITOR_RETURN) return;
    if (column >= 0) {
        if (AdjustAbility(team, column, slot, true)) ShowSquadValues();
        return;
    }
    if (hit >= EDITOR_NAMES && hit < EDITOR_NAMES + SQUAD_SIZE) {
        EditPlayerName((int32_t)(hit - EDITOR_NAMES));
        return;
    }
    if (hit >= EDITOR_MARKERS && hit < EDITOR_MARKERS + kStarters) {
        SelectedMarker = (int32_t)(hit - EDITOR_MARKERS) + 1;
        PlaceMarkers();
        return;
    }
    if (hit >= EDITOR_MARKERS + kBenchFirst && hit < EDITOR_MARKERS + SQUAD_SIZE) {
        if (SelectedMarker > 0 &&
            SwapWithSubstitute(team, SelectedMarker - 1, (int32_t)(hit - EDITOR_MARKERS))) {
            SelectedMarker = 0;
            ShowSquadValues();
        }
        return;
    }
    switch (hit) {
    case SPRITE_NONE:
        if (MoveSelectedStarter(team, MouseX, MouseY)) ShowSquadValues();
        return;
    case EDITOR_TEAM_NAME:
        EditTeamName(EDITOR_TEAM_NAME, team);
        return;
    case EDITOR_ORDER:
        OrderSquad(team);
        SelectedMarker = 0;
        ShowSquadValues();
        return;
    case EDITOR_KIT_DOWN:
    case EDITOR_KIT_UP:
        StepKit(team, hit == EDITOR_KIT_UP ? +1 : -1);
        ShowKitPicture();
        return;
    case EDITOR_SAVE_TEAM:
        CopyTeamToStaging(team);
        LeaveForDetour(ScreenId::SaveTeam);
        return;
    case EDITOR_LOAD_TEAM:
        LeaveForDetour(ScreenId::LoadTeam);
        return;
    case EDITOR_RETURN:
        SetScreen(ScreenId::StartMenu);
        return;
    case EDITOR_START:
        PressStartMatch();
        return;
    default:
        return;
    }
}
