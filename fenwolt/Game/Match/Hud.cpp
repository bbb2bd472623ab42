#include "fenwolt/Game/Match/Hud.h"

#include "fenwolt/Game/Engine/Camera.h"
#include "fenwolt/Game/FrontEnd/Competition.h"
#include "fenwolt/Game/FrontEnd/Options.h"
#include "fenwolt/Game/GameApp.h"
#include "fenwolt/Game/Engine/Instances.h"
#include "fenwolt/Game/Match/Banners.h"
#include "fenwolt/Game/Match/MatchScreen.h"
#include "fenwolt/Game/Match/Previews.h"
#include "fenwolt/Game/Match/Rules.h"
#include "fenwolt/Game/Match/Squads.h"
#include "fenwolt/Game/Match/TurnEngine.h"
#include "fenwolt/Game/Network/GameMessages.h"
#include "fenwolt/Game/Network/NetState.h"
#include "fenwolt/Game/Engine/Sprites.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>

using namespace matchgeo;

int32_t SavedInfoPanelSize = 1;
uint8_t InfoPanelShown = 0;
int32_t BenchSlot = FIRST_BENCH_SLOT;
int32_t SubstitutionsMade[2] = {0, 0};
int32_t BenchSlotUsed[2][SQUAD_SIZE] = {};
int32_t NumberTextures[SQUAD_SIZE] = {};
int32_t EdgeScrollDirection = 0;
float DistanceOrderDistance[SIDE_SIZE] = {};
float HudPanelX = PANEL_X;
float HudPanelY = PANEL_Y;

namespace {
constexpr int PANEL_FONT = 2;
constexpr float NUMBER_MARKER_LIFT = 1.27f;
// Sprite crowds: instances of this kind are the spectators.
constexpr int32_t CROWD_KIND = 31;
constexpr int LINE_COUNT = SPRITE_INFO_LAST - SPRITE_INFO_FIRST + 1;  // 21

struct LineSpot {
    float x, y;
    bool dark;  // black with a white shadow (name, energy, bottom row)
};
// Where each of the 21 lines of a panel sits relative to the panel's origin.
LineSpot LineLayout(int line)
{
    if (line <= 5) {
        static const float ys[6] = {17.f, 38.f, 51.f, 64.f, 77.f, 99.f};
        return LineSpot{4.f, ys[line], line == 0 || line == 5};
    }
    if (line <= 17) {
        const int column = (line - 6) / 4, row = (line - 6) % 4;
        static const float xs[3] = {123.f, 246.f, 369.f};
        static const float ys[4] = {38.f, 51.f, 64.f, 77.f};
        return LineSpot{xs[column], ys[row], false};
    }
    static const float xs[3] = {123.f, 246.f, 369.f};
    return LineSpot{xs[line - 18], 99.f, true};
}

void UseDarkText() { SetTextColours(0, 0, 0, 255, 255, 255); }

// Text last written into each line of the info panel and the substitution panel: a line is
// drawn again only when its text changes.
char g_lineText[2][LINE_COUNT][48];

void ForgetLineTexts() { std::memset(g_lineText, 0, sizeof g_lineText); }

// The size whose group is on screen (the option may change under a pop-up).
int32_t g_shownSize = 0;

void WriteLine(int panel, int line, const char* text)
{
    char* last = g_lineText[panel][line];
    if (std::strncmp(last, text, sizeof g_lineText[0][0] - 1) == 0 && last[0]) return;
    std::snprintf(last, sizeof g_lineText[0][0], "%s", text);
    const unsigned handle = (panel == 0 ? SPRITE_INFO_FIRST : SPRITE_SUB_INFO_FIRST) + (unsigned)line;
    if (LineLayout(line).dark)
        UseDarkText();
    else
        UseWhiteTextColours();
    SetSpriteText(handle, text);
    UseWhiteTextColours();
}

// The 19 attributes in the order and scale of the panels' lines 1..4, 6..20.
void WriteAttributeLines(int panel, const float* a, float stamina)
{
    char t[48];
    auto line = [&](int n, const char* format, float value) {
        std::snprintf(t, sizeof t, format, (double)value);
        WriteLine(panel, n, t);
    };
    line(1, "Speed> %.0f", a[ATTR_SPEED] * 10.f);
    line(2, "Turn> %.0f", a[ATTR_TURN] * 100.f);
    line(3, "Control> %.0f", a[ATTR_CONTROL]);
    line(4, "Stamina> %.0f", stamina);
    line(6, "Tackling> %.0f", a[ATTR_TACKLING]);
    line(7, "Heading> %.0f", a[ATTR_HEADING] * 100.f);
    line(8, "Volley> %.0f", a[ATTR_VOLLEY] * 100.f);
    line(9, "Throw-in> %.0f", a[ATTR_THROW_IN]);
    line(10, "Dribble> %.0f", a[ATTR_DRIBBLE] * 10.f);
    line(11, "Pass Short> %.0f", a[ATTR_PASS_SHORT]);
    line(12, "Medium> %.0f", a[ATTR_PASS_MEDIUM]);
    line(13, "Long> %.0f", a[ATTR_PASS_LONG]);
    line(14, "Close Control> %.0f", a[ATTR_CLOSE_CONTROL] * 100.f);
    line(15, "Shoot Short> %.0f", a[ATTR_SHOOT_SHORT]);
    line(16, "Medium> %.0f", a[ATTR_SHOOT_MEDIUM]);
    line(17, "Long> %.0f", a[ATTR_SHOOT_LONG]);
    line(18, "Shielding> %.0f", a[ATTR_SHIELDING]);
    line(19, "Bend> %.0f", a[ATTR_BEND] * 10.f);
    line(20, "Dead Ball> %.0f", a[ATTR_DEAD_BALL]);
}

void CreatePanelPicture(unsigned handle, float x, float y, const char* file, int width, int height)
{
    SpriteImageWidth = width;
    SpriteImageHeight = height;
    CreateImageSprite(handle, x, y, (float)width, (float)height, file,
                      MakeRect(0.f, 0.f, (float)width, (float)height), 0);
    HideSprite(handle);
}

void CreatePanelFrame(unsigned first, float x, float y, int width)
{
    char file[64];
    static const char* const parts[3] = {"top", "mid", "bot"};
    static const float offsets[3] = {0.f, 32.f, 96.f};
    static const int heights[3] = {32, 64, 32};
    for (int i = 0; i < 3; ++i) {
        std::snprintf(file, sizeof file, "textures\\%d%s.tga", width, parts[i]);
        CreatePanelPicture(first + (unsigned)i, x, y + offsets[i], file, width, heights[i]);
    }
}

void CreatePanelLines(unsigned first, float x, float y)
{
    for (int line = 0; line < LINE_COUNT; ++line) {
        const LineSpot spot = LineLayout(line);
        if (spot.dark)
            UseDarkText();
        else
            UseWhiteTextColours();
        CreateTextSprite(first + (unsigned)line, x + spot.x, y + spot.y, PANEL_FONT, " ", 0);
        HideSprite(first + (unsigned)line);
    }
    UseWhiteTextColours();
}

// Bench slots are 11..15; anything else wraps into that range.
int32_t WrapBenchSlot(int32_t slot)
{
    const int32_t span = LAST_BENCH_SLOT - FIRST_BENCH_SLOT + 1;
    return FIRST_BENCH_SLOT + (((slot - FIRST_BENCH_SLOT) % span) + span) % span;
}

bool IsBenchSlot(int32_t slot) { return slot >= FIRST_BENCH_SLOT && slot <= LAST_BENCH_SLOT; }
}  // namespace

int32_t NextUnusedBenchSlot(int32_t side, int32_t from, int32_t direction)
{
    const int32_t s = side != 0 ? 1 : 0;
    const int32_t step = direction < 0 ? -1 : 1;
    const int32_t span = LAST_BENCH_SLOT - FIRST_BENCH_SLOT + 1;
    for (int32_t k = 1; k <= span; ++k) {
        const int32_t slot = WrapBenchSlot(from + k * step);
        if (BenchSlotUsed[s][slot] == 0) return slot;
    }
    return -1;
}

void ResetSubstitutions()
{
    SubstitutionsMade[0] = SubstitutionsMade[1] = 0;
    std::memset(BenchSlotUsed, 0, sizeof BenchSlotUsed);
    BenchSlot = FIRST_BENCH_SLOT;
    SubstitutionMode = 0;
}

void BuildMatchPanels()
{
    ForgetLineTexts();
    HudPanelX = PANEL_X;
    CreatePanelFrame(SPRITE_PANEL_SMALL, PANEL_X, PANEL_Y, 128);
    CreatePanelFrame(SPRITE_PANEL_MEDIUM, PANEL_X, PANEL_Y, 256);
    CreatePanelFrame(SPRITE_PANEL_LARGE, PANEL_X, PANEL_Y, 512);
    HudPanelY = SUB_PANEL_Y;
    CreatePanelFrame(SPRITE_PANEL_SUB, SUB_PANEL_X, SUB_PANEL_Y, 512);
    CreatePanelPicture(SPRITE_ICON_BALL, PANEL_X + 111.f, PANEL_Y + 14.f, "textures\\infball.tga", 32, 32);
    CreatePanelPicture(SPRITE_ICON_DOWN, PANEL_X + 111.f, PANEL_Y + 14.f, "textures\\infstun.tga", 32, 32);
    CreatePanelPicture(SPRITE_ICON_TIRED, PANEL_X + 101.f, PANEL_Y + 97.f, "textures\\inftire.tga", 32, 32);
    CreatePanelLines(SPRITE_INFO_FIRST, PANEL_X, PANEL_Y);
    CreatePanelLines(SPRITE_SUB_INFO_FIRST, SUB_PANEL_X, SUB_PANEL_Y);
    UseDarkText();
    struct Button {
        unsigned handle;
        float x, y;
        const char* text;
    };
    static const Button buttons[] = {{SPRITE_SUB_PREV_BENCH, 194.f, 17.f, "<"},
                                     {SPRITE_SUB_NEXT_BENCH, 224.f, 17.f, ">"},
                                     {SPRITE_SUB_CANCEL, 254.f, 17.f, "Cancel"},
                                     {SPRITE_SUB_PERFORM, 354.f, 17.f, "Perform Substitution"},
                                     {SPRITE_SUB_PREV_PLAYER, 194.f, 217.f, "<"},
                                     {SPRITE_SUB_NEXT_PLAYER, 224.f, 217.f, ">"}};
    for (const Button& b : buttons) {
        CreateTextSprite(b.handle, SUB_PANEL_X + b.x, SUB_PANEL_Y + b.y, PANEL_FONT, b.text, 0);
        HideSprite(b.handle);
    }
    UseWhiteTextColours();
    HudPanelY = PANEL_Y;
    InfoPanelShown = 0;
    ShowInfoPanelGroup(Options.PlayerInfoPanel);
    HideSubstitutionPanel();
}

void HideInfoPanelGroups()
{
    for (unsigned h = SPRITE_PANEL_SMALL; h < SPRITE_PANEL_SUB; ++h) HideSprite(h);
    for (unsigned h = SPRITE_ICON_BALL; h <= SPRITE_ICON_DOWN; ++h) HideSprite(h);
    for (unsigned h = SPRITE_INFO_FIRST; h <= SPRITE_INFO_LAST; ++h) HideSprite(h);
    InfoPanelShown = 0;
}

void ShowInfoPanelGroup(int32_t size)
{
    HideInfoPanelGroups();
    if (size <= 0) return;
    if (size > 3) size = 3;
    g_shownSize = size;
    const unsigned frame = SPRITE_PANEL_SMALL + 3u * (unsigned)(size - 1);
    for (unsigned h = frame; h < frame + 3; ++h) ShowSpriteInactive(h);
    for (unsigned h = SPRITE_INFO_FIRST; h <= SPRITE_INFO_FIRST + 5; ++h) ShowSpriteInactive(h);
    if (size == 2)
        for (unsigned h = SPRITE_INFO_FIRST + 6; h <= SPRITE_INFO_FIRST + 9; ++h) ShowSpriteInactive(h);
    if (size == 3)
        for (unsigned h = SPRITE_INFO_FIRST + 6; h <= SPRITE_INFO_LAST; ++h) ShowSpriteInactive(h);
    InfoPanelShown = 1;
}

void ShowSubstitutionPanel()
{
    for (unsigned h = SPRITE_PANEL_SUB; h < SPRITE_PANEL_SUB + 3; ++h) ShowSpriteInactive(h);
    for (unsigned h = SPRITE_SUB_INFO_FIRST; h <= SPRITE_SUB_INFO_LAST; ++h) ShowSpriteInactive(h);
    for (unsigned h = SPRITE_SUB_PREV_BENCH; h <= SPRITE_SUB_NEXT_PLAYER; ++h) ShowSprite(h);
}

void HideSubstitutionPanel()
{
    for (unsigned h = SPRITE_PANEL_SUB; h < SPRITE_PANEL_SUB + 3; ++h) HideSprite(h);
    for (unsigned h = SPRITE_SUB_INFO_FIRST; h <= SPRITE_SUB_NEXT_PLAYER; ++h) HideSprite(h);
}

void ShowPlayerInfoPanel()
{
    const int32_t size = Options.PlayerInfoPanel;
    // Against the computer the panel belongs to the manager's own planning phase.
    const bool hidden = size <= 0 || (MatchSetup.managers != 2 && TurnPhase != PHASE_HOME_PLANS);
    if (hidden) {
        if (InfoPanelShown) HideInfoPanelGroups();
        return;
    }
    if (!InfoPanelShown || g_shownSize != (size > 3 ? 3 : size)) ShowInfoPanelGroup(size);
    const int32_t p = IsPlayerIndex(SelectedPlayer) ? SelectedPlayer : 0;
    const MatchPlayer& m = MatchPlayers[p];
    char t[48];
    std::snprintf(t, sizeof t, "%d:%.14s", (int)ShirtNumber(p), m.name);
    WriteLine(0, 0, t);
    std::snprintf(t, sizeof t, "Energy> %.0f", (double)m.energy);
    WriteLine(0, 5, t);
    WriteAttributeLines(0, m.attributes, m.attributes[ATTR_STAMINA]);
    if (m.turnsDown <= 0) {
        HideSprite(SPRITE_ICON_DOWN);
        if (BallHolder == p + 1)
            ShowSpriteInactive(SPRITE_ICON_BALL);
        else
            HideSprite(SPRITE_ICON_BALL);
    } else {
        ShowSpriteInactive(SPRITE_ICON_DOWN);
        HideSprite(SPRITE_ICON_BALL);
    }
    if (IsTired(m))
        ShowSpriteInactive(SPRITE_ICON_TIRED);
    else
        HideSprite(SPRITE_ICON_TIRED);
    InfoPanelShown = 1;
}

void ShowSubstitutePanel()
{
    const int32_t p = IsPlayerIndex(SelectedPlayer) ? SelectedPlayer : 0;
    if (!IsBenchSlot(BenchSlot)) return;
    const SquadPlayer& b = TeamSquads[IsAwaySide(p)].players[BenchSlot];
    char t[48];
    std::snprintf(t, sizeof t, "%d:%.14s", (int)(BenchSlot + 1), b.name);
    WriteLine(1, 0, t);
    WriteLine(1, 5, "Substitute");
    WriteAttributeLines(1, b.attributes, b.attributes[ATTR_STAMINA]);
}

void ToggleSubstitutionMode(bool on)
{
    const int32_t side = IsAwaySide(IsPlayerIndex(SelectedPlayer) ? SelectedPlayer : 0);
    int32_t offered = -1;
    if (on && SubstitutionsMade[side] < MAX_SUBSTITUTIONS) {
        // Offer the present slot unless its player has come on already.
        offered = NextUnusedBenchSlot(side, IsBenchSlot(BenchSlot) ? BenchSlot - 1 : LAST_BENCH_SLOT, +1);
    }
    if (offered < 0) {
        const bool wasOpen = SubstitutionMode != 0;
        SubstitutionMode = 0;
        EnableButtonPair(SPRITE_CAPTION_END_TURN, true);
        EnableButtonPair(SPRITE_CAPTION_SYSTEM, true);
        if (wasOpen) Options.PlayerInfoPanel = SavedInfoPanelSize;
        ShowInfoPanelGroup(Options.PlayerInfoPanel);
        HideSubstitutionPanel();
        if (on) LogMatchEvent(EVENT_NO_MORE_SUBS, PLAYER_NONE, PLAYER_NONE);
        return;
    }
    BenchSlot = offered;
    HideSprite(SPRITE_CAPTION_END_TURN);
    HideSprite(SPRITE_CAPTION_SYSTEM);
    DeactivateSprite(SPRITE_BUTTON_END_TURN);
    DeactivateSprite(SPRITE_BUTTON_SYSTEM);
    if (!SubstitutionMode) SavedInfoPanelSize = Options.PlayerInfoPanel;
    SubstitutionMode = 1;
    Options.PlayerInfoPanel = 3;
    ShowInfoPanelGroup(3);
    ShowSubstitutionPanel();
    ShowSubstitutePanel();
}

void PerformSubstitution()
{
    const int32_t p = SelectedPlayer;
    const int32_t s = BenchSlot;
    if (!IsPlayerIndex(p) || !IsBenchSlot(s)) return;
    const int32_t side = IsAwaySide(p);
    if (SubstitutionsMade[side] >= MAX_SUBSTITUTIONS) {
        LogMatchEvent(EVENT_NO_MORE_SUBS, PLAYER_NONE, PLAYER_NONE);
        return;
    }
    // A bench player comes on once a match.
    if (BenchSlotUsed[side][s] > 0) return;
    MatchPlayer& m = MatchPlayers[p];
    SquadPlayer& b = TeamSquads[side].players[s];
    m.squadSlot = s;
    ++b.gamesPlayed;
    for (int i = 0; i < ATTR_COUNT; ++i) m.attributes[i] = b.attributes[i];
    m.formationX = b.formationX;
    m.formationZ = b.formationZ;
    std::memset(m.name, 0, sizeof m.name);
    std::snprintf(m.name, sizeof m.name, "%.14s", b.name);
    m.energy = 100.0f;
    m.energyCeiling = 100.0f;
    DeriveAttributes(p);
    LogMatchEvent(EVENT_NOW_ON, p, PLAYER_NONE);
    if (p != HOME_KEEPER && p != AWAY_KEEPER) {
        if (ModelInstance* marker = InstanceAt(m.numberMarkerModel)) marker->TextureMeshIndex = NumberTextures[s];
        m.numberTexture = s;
        PlaceNumberMarker(p, true);
    }
    ++SubstitutionsMade[side];
    ++BenchSlotUsed[side][s];
    if (IsNetworkGame() && IsNetworkHost() == (side == 0)) SendGameMessage(GAME_MSGID_SUBSTITUTION);
    const int32_t next = NextUnusedBenchSlot(side, s, +1);
    if (next >= 0) BenchSlot = next;
    AddClockSteps(30);
}

void AISubstitutions()
{
    constexpr int32_t side = 1;
    if (MatchSetup.managers != 1 || SubstitutionsMade[side] >= MAX_SUBSTITUTIONS) return;
    int32_t off = PLAYER_NONE;
    for (int32_t p = AWAY_KEEPER + 1; p < PLAYER_COUNT && off == PLAYER_NONE; ++p)
        if (MatchPlayers[p].energyCeiling < 20.0f) off = p;
    if (off == PLAYER_NONE) {
        static const int32_t fromMinute[MAX_SUBSTITUTIONS] = {70, 75, 80};
        if (Minute < fromMinute[SubstitutionsMade[side]]) return;
        for (int32_t p = PLAYER_COUNT - 1; p > AWAY_KEEPER && off == PLAYER_NONE; --p) {
            const MatchPlayer& m = MatchPlayers[p];
            if (IsTired(m) && m.energy < m.attributes[ATTR_STAMINA]) off = p;
        }
        if (off == PLAYER_NONE) return;
    }
    int32_t slot = -1;
    for (int32_t s = FIRST_BENCH_SLOT; s <= LAST_BENCH_SLOT && slot < 0; ++s)
        if (BenchSlotUsed[side][s] == 0 && TeamSquads[side].players[s].role == MatchPlayers[off].role) slot = s;
    for (int32_t s = LAST_BENCH_SLOT; s >= FIRST_BENCH_SLOT && slot < 0; --s)
        if (BenchSlotUsed[side][s] == 0) slot = s;
    if (slot < 0) return;
    const int32_t keepSelected = SelectedPlayer, keepBench = BenchSlot;
    SelectedPlayer = off;
    BenchSlot = slot;
    PerformSubstitution();
    SelectedPlayer = keepSelected;
    BenchSlot = keepBench;
}

void PlaceNumberMarker(int32_t player, bool force)
{
    if (!IsPlayerIndex(player) || player == HOME_KEEPER || player == AWAY_KEEPER) return;
    const ModelInstance* body = PlayerModel(player);
    ModelInstance* marker = InstanceAt(MatchPlayers[player].numberMarkerModel);
    if (!body || !marker || !marker->InUse) return;
    if (body->MatrixValid && !force) return;
    marker->Position = D3DVECTOR{body->Position.x, body->Position.y + NUMBER_MARKER_LIFT, body->Position.z};
    marker->Rotation.y = body->Rotation.y + PI;
    marker->MatrixValid = 0;
    marker->Moved = 1;
}

void PlaceNumberMarkers(bool force)
{
    for (int32_t p = 0; p < PLAYER_COUNT; ++p) PlaceNumberMarker(p, force);
}

void RefreshShirtNumbers()
{
    for (int32_t p = 0; p < PLAYER_COUNT; ++p) {
        if (p == HOME_KEEPER || p == AWAY_KEEPER) continue;
        const int32_t number = MatchPlayers[p].numberTexture;
        if (number <= 0 || number >= SQUAD_SIZE) continue;
        if (ModelInstance* marker = InstanceAt(MatchPlayers[p].numberMarkerModel))
            marker->TextureMeshIndex = NumberTextures[number];
        PlaceNumberMarker(p, true);
    }
}

void LoadKitTexture()
{
    const int32_t home = MatchSetup.kitChoice[0], away = MatchSetup.kitChoice[1];
    const int32_t count = KitTable.count < KIT_TABLE_SIZE ? KitTable.count : KIT_TABLE_SIZE;
    if (home < 0 || away < 0 || home >= count || away >= count) return;
    if (!TheAppConstructed() || !TheApp.Device) return;
    const struct {
        const char* defaultTexture;
        int32_t kit;
    } kits[2] = {{"textures\\rplayer.tga", home}, {"textures\\yplayer.tga", away}};
    for (const auto& k : kits) {
        const int slot = TheApp.FindMeshByName(k.defaultTexture);
        if (slot < 0 || slot >= MESH_COUNT || !TheApp.MeshTable[slot]) continue;
        char file[300];
        std::snprintf(file, sizeof file, "kit\\%.259s", KitTable.names[k.kit]);
        TheApp.MeshTable[slot]->ReplaceTexture(TheApp.Device, file);
    }
}

void ApplyModelKindVisibility()
{
    if (!TheAppConstructed()) return;
    for (int i = 0; i < INSTANCE_COUNT; ++i) {
        ModelInstance& m = TheApp.InstanceTable[i];
        if (!m.InUse || m.Kind != CROWD_KIND) continue;
        SetInstanceVisible(i, Options.ShowCrowd != 0);
        if (Options.ShowCrowd) m.MatrixValid = 0;
    }
    ForceSceneResort();
}

void UpdateEdgeScroll()
{
    EdgeScrollDirection = 0;
    if (MouseY < 3) EdgeScrollDirection = 8;
    if (MouseY > 597) EdgeScrollDirection = 2;
    if (MouseX < 3) EdgeScrollDirection = 4;
    if (MouseX > 797) EdgeScrollDirection = 6;
}

void ApplyEdgeScroll()
{
    if (EdgeScrollDirection == 0) return;
    PanCamera(EdgeScrollDirection);
    KeepCameraLookingWhereItIs();
}

void SortByDistanceToBall()
{
    const int32_t first = (TurnPhase == PHASE_HOME_PLANS || TurnPhase == PHASE_HOME_MOVES) ? 0 : SIDE_SIZE;
    const D3DVECTOR at = BallPosition();
    for (int32_t i = 0; i < SIDE_SIZE; ++i) {
        const int32_t p = first + i;
        const ModelInstance* m = PlayerModel(p);
        DistanceOrder[i] = p;
        DistanceOrderDistance[i] = m ? GroundDistance(m->Position, at) : NO_DISTANCE;
    }
    for (int pass = 0; pass < SIDE_SIZE; ++pass)
        for (int i = 0; i + 1 < SIDE_SIZE; ++i)
            if (DistanceOrderDistance[i] > DistanceOrderDistance[i + 1]) {
                std::swap(DistanceOrderDistance[i], DistanceOrderDistance[i + 1]);
                std::swap(DistanceOrder[i], DistanceOrder[i + 1]);
            }
    SelectionCycleIndex = 0;
}
