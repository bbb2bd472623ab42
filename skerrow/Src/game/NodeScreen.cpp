#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/win32/crt_rand.h"
#include "platform/winmm/mmsystem.h"
#include "skerrow/Src/IniFile.h"
#include "skerrow/Src/Graphics/Graphics.h"
#include "skerrow/Src/Input.h"
#include "skerrow/Src/Log.h"
#include "skerrow/Src/game/Gameplay.h"
#include "skerrow/Src/game/GameScreen.h"
#include "skerrow/Src/game/Resources.h"
#include "skerrow/Src/game/ScreenCommon.h"
#include "skerrow/Src/game/Screens.h"

NodeScreen g_nodeScreenInstance;

namespace {
const char* const kMusicRotation[4] = {"fl3.s3m", "fl1.s3m", "fl2.s3m", "fl4.s3m"};
const int kDecorationX[4] = {108, 231, 397, 535};
const int kDecorationY[4] = {404, 441, 441, 404};
const char* const kNodeLabels[4] = {"START", "SHOP", "SAVE", "QUIT"};
// The band of the map's messages: the planet of "Nodes\Node.tga" begins at x 498.
const int kPromptLeft = 10, kPromptRight = 490;
}  // namespace

void NodeScreen::SaveLevelStartState()
{
    snapshot.lives = g_game.lives;
    snapshot.money = g_game.money;
    snapshot.score = g_game.score;
    std::memcpy(snapshot.inventory, g_game.inventory, sizeof snapshot.inventory);
}

void NodeScreen::RestoreLevelStartState()
{
    g_game.lives = snapshot.lives;
    g_game.money = snapshot.money;
    g_game.score = snapshot.score;
    std::memcpy(g_game.inventory, snapshot.inventory, sizeof g_game.inventory);
}

int NodeScreen::ComputeLevelStates()
{
    int completed = 0;
    for (int i = 1; i <= kLevelCount; ++i) {
        LevelInfo& level = g_game.levels[i - 1];
        if (level.completed) ++completed;
        char file[64];
        LevelFileName(i, file, sizeof file);
        IniFile ini;
        if (!ini.Open(file, 1)) {
            level.requirementsMet = 0;
            level.available = level.completed ? 1 : 0;
            continue;
        }
        char requiresText[256];
        ini.GetString("Level data", "Requires", "", requiresText, sizeof requiresText);
        level.requirementsMet = 1;
        level.prerequisiteCount = 0;
        for (const char* p = requiresText; *p;) {
            long b = std::strtol(p, nullptr, 10);
            // Episode 2 counts its prerequisites from its own first level.
            if (b != 0 && i - 1 > 50) b += 50;
            if (b >= 1 && b <= kLevelCount) {
                if (level.prerequisiteCount < kMaxPrerequisites)
                    level.prerequisites[level.prerequisiteCount++] = static_cast<uint8_t>(b - 1);
                if (!g_game.levels[b - 1].completed) level.requirementsMet = 0;
            }
            const char* comma = std::strchr(p, ',');
            if (!comma) break;
            p = comma + 1;
        }
        level.available = level.requirementsMet || level.completed;
        if (level.available && !level.opening && !level.revealed) {
            level.opening = 1;
            level.available = 0;
        }
        // A node waiting for its reveal is not yet available.
        if (level.opening) level.available = 0;
    }
    return completed;
}

int NodeScreen::NodePosition(const LevelInfo& level, int scrollValue, int* x, int* y, float* scale)
{
    const float yy = static_cast<float>(480 + scrollValue - level.mapY);
    const float xx = static_cast<float>(level.mapX - 329) * (yy - 94.5f) / 157.5f + 320.0f;
    *x = static_cast<int>(xx);
    *y = static_cast<int>(yy);
    *scale = 1.0f - (315.0f - yy) / 135.0f * 0.6f;
    return yy >= 180.0f && yy <= 314.0f;
}

void NodeScreen::OnDisplay(Screen* previous, int32_t argument)
{
    hovered = -1;
    labelNode = -1;
    messageTimer = 0;
    levelFaultTimer = 0;
    PlayMusic("arc_z.s3m");
    const int completed = ComputeLevelStates();
    allCompleted = completed == kLevelCount && g_bossScreen ? 1 : 0;
    const bool fromBoss = previous && previous == g_bossScreen;
    const bool fromGame = previous && previous == static_cast<Screen*>(&g_gameScreen);
    // A fight left without beating the boss costs nothing, like a level that is not won.
    if (fromBoss) RestoreLevelStartState();
    if (fromGame) {
        const int n = g_game.levelNumber;
        const bool won = n >= 1 && n <= kLevelCount && g_game.levels[n - 1].completed && argument == 1;
        if (!won) RestoreLevelStartState();
        if (argument == 1) {
            // The shop comes first; coming back from it leads on to the boss when every level
            // is done.
            g_shopScreen.SwitchScreen(1);
            return;
        }
    }
    // Back from the fight the player stays on the map, whose START leads to the boss again.
    if (allCompleted && !fromBoss) {
        StartBossFight();
        return;
    }
    int lowest = 10000;
    for (const LevelInfo& level : g_game.levels)
        if ((level.available || level.opening) && !level.completed) lowest = std::min(lowest, level.mapY - 180);
    scroll = scrollMin = lowest;
    srand(timeGetTime());
    for (int i = 0; i < kLevelCount; ++i) {
        angle_[i] = static_cast<float>(rand() % 360) * 2.0f * 3.1415f / 360.0f;
        speed_[i] = static_cast<float>(rand() % 5 + 1) * 0.003f;
    }
}

void NodeScreen::InitSurfaces()
{
    LogMessage("Call NodeScreen::InitSurfaces()\n");
    ReleaseSurfaces();
    if (!LoadPicture("Nodes\\Node.tga", &background_)) return;
    for (int32_t& p : picture_) p = rand() & 7;
    planetAnim_.Load("planet.anm");
    select_.LoadWithFrames("Select.tga", "Select.frm");
    select_.SetAlignment(0);
    sheet_.LoadWithFrames("NodeButtons.tga", "NodeButtons.frm");
    buttons_[0].Set(68, 364, 80, 80, 1);
    buttons_[1].Set(191, 401, 80, 80, 2);
    buttons_[2].Set(357, 401, 80, 80, 3);
    buttons_[3].Set(515, 364, 80, 80, 4);
    buttons_[4].Set(269 + 50, 359, 28, 23, 5);
    buttons_[5].Set(269, 359, 28, 23, 6);
    buttons_[4].SetType(BUTTON_REPEAT);
    buttons_[5].SetType(BUTTON_REPEAT);
    decorationSheet_.Load("BackObjects\\ts0back5.bmp");
    decorationSheet_.SetAlignment(0);
    for (AnimationSet& d : decorations_) {
        d.Load("BackObjects\\ts0back5.anm");
        d.Animate("Rotation", 1);
    }
}

void NodeScreen::ReleaseSurfaces()
{
    ReleasePicture(&background_);
    select_.Destroy();
    sheet_.Destroy();
    decorationSheet_.Destroy();
}

void NodeScreen::StartLevel(int n)
{
    std::string why;
    if (!CheckLevelFiles(n, &why)) {
        LogMessage("Level %d cannot be played: %s\n", n, why.c_str());
        std::snprintf(levelFault, sizeof levelFault,
                      "Level %d cannot be read: build the data set again", n);
        levelFaultTimer = 400;
        return;
    }
    levelFaultTimer = 0;
    SaveLevelStartState();
    LoadLevel(n);
    LoadShopItems();
    musicIndex = (musicIndex + 1) % 4;
    LoadMusic(kMusicRotation[musicIndex]);
    g_gameScreen.SwitchScreen(0);
}

void NodeScreen::StartBossFight()
{
    // A loaded game may never have started a level: the snapshot is the campaign of now.
    SaveLevelStartState();
    g_bossScreen->SwitchScreen(0);
}

int32_t NodeScreen::DarkPlanetFrame(int32_t picture)
{
    // Frame 0 of every sheet is its empty "Null frame": the dark planets start at frame 1.
    return (picture & 7) + 1;
}

void NodeScreen::DrawPlanet(int32_t picture, bool available, int x, int y, float scale, float angle)
{
    if (!g_sprites) return;
    GameSprites& g = *g_sprites;
    if (available)
        g.planets[picture & 7].DrawAnimationEx(planetAnim_, x, y, 0xFFFFFFFF, 0, scale, angle);
    else
        g.darkPlanets.DrawFrameByIndexEx(DarkPlanetFrame(picture), x, y, 0x505050, 0, scale, angle);
}

void NodeScreen::DrawNodes()
{
    if (!g_sprites) return;
    planetAnim_.Animate("Rotation", 0);
    for (int i = 0; i < kLevelCount; ++i) {
        LevelInfo& level = g_game.levels[i];
        int x, y;
        float scale;
        const int visible = NodePosition(level, scroll, &x, &y, &scale);
        if (level.opening) {
            // The reveal: the node appears once the map has been up a moment, and never again.
            if (frameCounter > 30) {
                level.opening = 0;
                level.available = 1;
                level.revealed = 1;
            }
            continue;
        }
        angle_[i] += speed_[i];
        if (!visible || level.completed) continue;
        DrawPlanet(picture_[i], level.available != 0, x, y, scale, angle_[i]);
        if (i == selected) select_.DrawFrameEx("Select", x, y, 0xFFFFFFFF, 0, scale - 0.15f, 0.0f);
    }
}

void NodeScreen::HandleNodeInput(int32_t code)
{
    const int before = hovered;
    for (int i = 0; i < kLevelCount; ++i) {
        const LevelInfo& level = g_game.levels[i];
        int x, y;
        float scale;
        if (!NodePosition(level, scroll, &x, &y, &scale) || level.completed || level.opening) continue;
        if (g_cursorX >= x - 26 && g_cursorX < x + 14 && g_cursorY >= y - 31 && g_cursorY < y + 9) {
            if (hovered != i) {
                hovered = i;
                SelectNodeLabel(i);
            }
            const bool open = level.available && !level.completed;
            if (code == MOUSE_LEFT_DOWN && open) selected = i;
            if (code == MOUSE_LEFT_DOUBLE && open) {
                StartLevel(i + 1);
                return;
            }
            break;
        }
    }
    if (code == MOUSE_RIGHT_DOWN) hovered = -1;
    if (hovered != before && hovered >= 0 && !g_game.levels[hovered].available && messageTimer <= 0) messageTimer = 300;
}

void NodeScreen::SelectNodeLabel(int32_t node)
{
    labelNode = node;
    labelStart = frameCounter;
}

void NodeScreen::DrawNodeLabel()
{
    if (labelNode < 0 || hovered != labelNode || frameCounter <= 75) return;
    const LevelInfo& level = g_game.levels[labelNode];
    const int shown = std::clamp(frameCounter - labelStart, 0, 31);
    char name[32];
    std::snprintf(name, sizeof name, "%.*s", shown, level.name);
    uint16_t colour = MakePixelColorRgb(0xFFFFFF);
    if (!level.available) colour = level.completed ? g_colors[4] : g_colors[2];
    PrintText(TextFont(), 16, 283, 35, colour, name);
}

const char* NodeScreen::PromptText() const { return g_strings.Get(allCompleted ? "Continue" : "Level"); }

void NodeScreen::DrawLabels()
{
    if (!g_sprites) return;
    TrueTypeFont& font = TextFont();
    DrawNodeLabel();
    // Every line keeps left of the planet at the top right of the map's picture.
    if (levelFaultTimer > 0) {
        --levelFaultTimer;
        PrintInBand(font, 16, 130, 150, kPromptLeft, kPromptRight, 18, MakePixelColorRgb(0xFF5F3F), levelFault);
    } else if (messageTimer > 0) {
        --messageTimer;
        PrintInBand(font, 16, 200, 150, kPromptLeft, kPromptRight, 18, MakePixelColorRgb(0xFFFFFF),
                    g_strings.Get("Closelevel"));
    } else {
        PrintInBand(font, 16, 130, 150, kPromptLeft, kPromptRight, 18, MakePixelColorRgb(0xFFFFFF), PromptText());
    }
    for (int i = 0; i < 4; ++i) {
        if (buttons_[i].hovered)
            PrintCentred(font, 18, kDecorationX[i], kDecorationY[i] + 4, g_colors[10], kNodeLabels[i]);
        else
            PrintCentred(font, 16, kDecorationX[i], kDecorationY[i] + 4, PackPixelRgb(0x969696), kNodeLabels[i]);
    }
}

int32_t NodeScreen::Process()
{
    if (WasKeyPressed(DIK_ESCAPE)) {
        ReturnToPreviousScreen(0);
        return 1;
    }
    const int wheel = MoveCursor();
    scroll = std::clamp(scroll + wheel / 10, std::min(scrollMin, kScrollMax), kScrollMax);
    const bool startable = selected >= 0 && selected < kLevelCount && g_game.levels[selected].available &&
                           g_game.levels[selected].requirementsMet && !g_game.levels[selected].completed;
    buttons_[0].SetEnabled(startable || allCompleted);
    DrawPicture(background_, 0, 0);
    int32_t code = PopMouseCode();
    g_clickedButtonId = 0;
    const int32_t flags = ALIGN_LEFT | ALIGN_TOP;
    static const char* const frames[4] = {"start", "shop", "save", "quit"};
    for (int i = 0; i < 4; ++i) {
        buttons_[i].HandleInput(&code);
        if (buttons_[i].IsActive()) decorations_[i].Animate("Rotation", 1);
        const int d = buttons_[i].IsActive() ? 1 : 0;
        sheet_.DrawFrame(frames[i], d, d, flags);
    }
    for (int i = 0; i < 4; ++i) {
        decorations_[i].Animate("Rotation", 0);
        decorationSheet_.DrawAnimation(decorations_[i], kDecorationX[i], kDecorationY[i], 0);
    }
    DrawHeader("Ombrelit");
    for (int i = 4; i < 6; ++i) buttons_[i].HandleInput(&code);
    sheet_.DrawFrame("down", buttons_[5].IsActive(), buttons_[5].IsActive(), flags);
    sheet_.DrawFrame("up", buttons_[4].IsActive(), buttons_[4].IsActive(), flags);
    const int clicked = g_clickedButtonId;
    g_clickedButtonId = 0;
    const int low = std::min(scrollMin, kScrollMax);
    switch (clicked) {
    case 1:
        if (allCompleted) {
            StartBossFight();
            return 1;
        }
        if (startable) {
            StartLevel(selected + 1);
            return 1;
        }
        break;
    case 2: g_shopScreen.SwitchScreen(0); return 1;
    case 3: g_saveScreen.SwitchScreen(0); return 1;
    case 4: ReturnToPreviousScreen(0); return 1;
    case 5: scroll = std::clamp(scroll - 1, low, kScrollMax); break;
    case 6: scroll = std::clamp(scroll + 1, low, kScrollMax); break;
    default: break;
    }
    // The arrow keys move the map as the arrow buttons beside them do (up lowers the scroll),
    // twice as fast.
    if (IsKeyHeld(DIK_UP)) scroll = std::clamp(scroll - 2, low, kScrollMax);
    if (IsKeyHeld(DIK_DOWN)) scroll = std::clamp(scroll + 2, low, kScrollMax);
    DrawNodes();
    HandleNodeInput(code);
    if (g_currentScreen != this) return 1;
    DrawLabels();
    DrawCursor();
    return 1;
}
