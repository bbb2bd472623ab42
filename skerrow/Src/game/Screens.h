// The screens around play: menu, options, help, ending, level map, boss fight, shop, hiscores,
// save and load. One global instance of each.
#pragma once

#include <cstdint>

#include "platform/ddraw/ddraw.h"
#include "skerrow/Src/Animation.h"
#include "skerrow/Src/Button.h"
#include "skerrow/Src/Sprite.h"
#include "skerrow/Src/game/GameState.h"
#include "skerrow/Src/game/HiscoreTable.h"
#include "skerrow/Src/game/SaveFile.h"
#include "skerrow/Src/game/Screen.h"
#include "skerrow/Src/Tables.h"

class MenuScreen : public Screen {
public:
    const char* GetName() override { return "MenuScreen"; }
    void InitSurfaces() override;
    void ReleaseSurfaces() override;
    void OnDisplay(Screen*, int32_t) override {}
    int32_t Process() override;

private:
    LPDIRECTDRAWSURFACE7 background_ = nullptr;
    CSprite sheet_;
    Button buttons_[6];
};

class OptionsScreen : public Screen {
public:
    const char* GetName() override { return "OptionsScreen"; }
    void InitSurfaces() override;
    void ReleaseSurfaces() override;
    void OnDisplay(Screen*, int32_t) override {}
    int32_t Process() override;

private:
    // Back to the screen under the options, with the settings written: a game ended from
    // outside later on (a signal, a crash) keeps what the player chose here.
    void Leave();
    LPDIRECTDRAWSURFACE7 background_ = nullptr;
    CSprite sheet_;
    Button buttons_[11];
};

// The volume a slider click at `cursorX` gives: (x - 320) x 100 / width, kept within 0..100.
int SliderVolume(int cursorX, int width);

class HelpScreen : public Screen {
public:
    const char* GetName() override { return "HelpScreen"; }
    void InitSurfaces() override;
    void ReleaseSurfaces() override;
    void OnDisplay(Screen*, int32_t) override { LoadPage(0); }
    int32_t Process() override;
    void LoadPage(int n);

    int32_t page = 0;
    char text[1025] = {};

private:
    LPDIRECTDRAWSURFACE7 background_ = nullptr, minPanel_ = nullptr, items_ = nullptr, logo_ = nullptr;
    CSprite sheet_;
    Button buttons_[2];
};

class HappyScreen : public Screen {
public:
    const char* GetName() override { return "HappyScreen"; }
    void InitSurfaces() override;
    void ReleaseSurfaces() override;
    void OnDisplay(Screen*, int32_t) override;
    int32_t Process() override;

    char text[1025] = {};
    int32_t textY = 480;

private:
    LPDIRECTDRAWSURFACE7 background_ = nullptr;
};

struct LevelStartSnapshot {
    int32_t lives, money, score;
    InventorySlot inventory[kInventorySlots];
};

class NodeScreen : public Screen {
public:
    const char* GetName() override { return "NodeScreen"; }
    void InitSurfaces() override;
    void ReleaseSurfaces() override;
    void OnDisplay(Screen* previous, int32_t argument) override;
    int32_t Process() override;
    void StartLevel(int n);
    // The fight against the boss, from the campaign as it stands: leaving it brings that back.
    void StartBossFight();
    void SaveLevelStartState();
    void RestoreLevelStartState();
    // Every level's availability from its file's "Requires" and the completed flags; the number
    // of completed levels.
    static int ComputeLevelStates();
    // Where a node of the map appears for a scroll; 0 when it is outside the visible band.
    static int NodePosition(const LevelInfo& level, int scroll, int* x, int* y, float* scale);
    // A node's picture (0..7): an open level turns on its planet sheet, a locked one is this
    // frame of the dark sheet.
    static int32_t DarkPlanetFrame(int32_t picture);
    void DrawPlanet(int32_t picture, bool available, int x, int y, float scale, float angle);
    // The line the map shows under its header when no message runs.
    const char* PromptText() const;

    int32_t selected = -1, hovered = -1;
    // Every level is completed: no planet is left to pick, and START leads to the boss.
    int32_t allCompleted = 0;
    int32_t scroll = 0, scrollMin = 0;
    static constexpr int32_t kScrollMax = 1755;
    int32_t musicIndex = 0;
    LevelStartSnapshot snapshot{};
    int32_t messageTimer = 0;
    int32_t labelNode = -1, labelStart = 0;
    // A level that could not be started because its files are damaged: what the map says about
    // it, and for how many more frames.
    char levelFault[160] = {};
    int32_t levelFaultTimer = 0;

private:
    void DrawNodes();
    void HandleNodeInput(int32_t code);
    // The hovered node's name starts being typed out at (283, 35) from this frame on.
    void SelectNodeLabel(int32_t node);
    // One more character of the name per frame since it was selected, after 75 frames.
    void DrawNodeLabel();
    void DrawLabels();

    int32_t picture_[kLevelCount] = {};
    float angle_[kLevelCount] = {}, speed_[kLevelCount] = {};
    LPDIRECTDRAWSURFACE7 background_ = nullptr;
    CSprite select_, sheet_;
    AnimationSet planetAnim_;
    AnimationSet decorations_[4];
    CSprite decorationSheet_;
    Button buttons_[6];
};

struct BossBullet {
    int32_t active;
    Vector2 position, velocity;
    uint32_t colour;
};

class BossScreen : public Screen {
public:
    const char* GetName() override { return "BossScreen"; }
    void InitSurfaces() override;
    void ReleaseSurfaces() override;
    void OnDisplay(Screen* previous, int32_t argument) override;
    int32_t Process() override;
    void MoveBoss();
    // 1 when the fight has handed over to the ending.
    int RunBossState();
    void BossCollisions();
    void UpdateShots(int draw);

    int32_t bossX = 320, bossY = 240;
    Vector2 velocity{2.0f, 1.0f};
    int32_t movedX = 0, movedY = 0;  // how far the last move took the boss
    int32_t state = 0;
    int32_t health = 300;
    int32_t backgroundCounter = 10000000;
    int32_t countdown = 0;
    BossBullet shots[16] = {};
    uint8_t shotOnPaddle[16] = {};

private:
    void DrawBackground();
    // A ball at `p` inside the boss's box, come in by `motion` relative to the box, is put out on
    // that side and, when heading in, bounced off it at the cost of 1 health.
    void StrikeBoss(Ball& ball, Vector2& p, Vector2 motion);
    LPDIRECTDRAWSURFACE7 panel_ = nullptr;
    AnimationSet shotAnim_;
};
enum BossState { BOSS_WAIT, BOSS_ARM, BOSS_FIRE, BOSS_RELOAD, BOSS_FREEZE, BOSS_DEFEATED };

struct ShopItem {
    int16_t id;
    int16_t activeTime;
    int16_t price;
    int16_t sellPrice;
    int16_t available;
    char name[32];
    char description[128];
};
extern ShopItem g_shopItems[ITEM_COUNT];
// Reads "Items.txt" into the catalogue; 0 when the file is missing.
int LoadShopItems();
// The shop's rules over the campaign state, apart from the screen.
int CanBuy(int item);
// 1 when the item was bought (a life, a credit for score, or an inventory item).
int BuyItem(int item);
// Sells one unit of an inventory slot for its sell price; 1 when something was sold.
int SellInventorySlot(int slot);
// The shelf place (0..20) of an item, -1 for an item not sold.
int ShelfPlace(int item);
int ShelfItem(int place);

class ShopScreen : public Screen {
public:
    const char* GetName() override { return "ShopScreen"; }
    void InitSurfaces() override;
    void ReleaseSurfaces() override;
    void OnDisplay(Screen* previous, int32_t argument) override;
    int32_t Process() override;

    int32_t selectedItem = -1, selectedSlot = -1, hoveredItem = -1;
    int32_t typingStart = 0;
    // Opened after a won level (argument 1), whose DONE figure the panel then shows as 100%;
    // opened from the map the panel has no level to give one, and shows none.
    int32_t afterWin = 0;

private:
    void DrawInfoPanel(int item, int slot);
    LPDIRECTDRAWSURFACE7 background_ = nullptr;
    CSprite sheet_;
    Button buttons_[3];
};

class HiscoreScreen : public Screen {
public:
    const char* GetName() override { return "HiscoreScreen"; }
    void OnKey(uint8_t character) override;
    void InitSurfaces() override;
    void ReleaseSurfaces() override;
    void OnDisplay(Screen* previous, int32_t argument) override;
    int32_t Process() override;
    static void SetScorePending(int pending);

    HiscoreEntry table[kHiscoreRows] = {};
    int32_t editedRow = -1;
    // Set when name entry ends: the Enter that ended it must not also leave the screen.
    int32_t swallowEnter = 0;
    // Why the table could not be written, while the screen shows it (null when it was).
    const char* notice = nullptr;

private:
    LPDIRECTDRAWSURFACE7 background_ = nullptr;
};

class SaveListScreen : public Screen {
public:
    void InitSurfaces() override;
    void ReleaseSurfaces() override;
    void OnDisplay(Screen* previous, int32_t argument) override;
    void BuildListing();
    // The row under the pointer, -1 none.
    static int RowAt(int x, int y);

    char listing[kSaveSlots][kSaveRecordSize] = {};
    int32_t valid[kSaveSlots] = {};

protected:
    void DrawRows(int edited, const char* editText, uint32_t hoverTextColour);
    LPDIRECTDRAWSURFACE7 background_ = nullptr;
    Button quit_;
};

class SaveScreen : public SaveListScreen {
public:
    const char* GetName() override { return "SaveScreen"; }
    void OnKey(uint8_t character) override;
    void OnDisplay(Screen* previous, int32_t argument) override;
    int32_t Process() override;
    // Writes the campaign into a slot; the listing shows the new title only when the file was
    // written. 1 on success; else the editing ends, the slot keeps its old file and listing,
    // and `notice` says why the game was not saved.
    int WriteSaveGame(int slot);

    int32_t editedSlot = -1;
    char title[kSaveTitleMax + 1] = {};
    int32_t done = 0;
    // The line under the slots after a save that failed; null when there is nothing to tell.
    const char* notice = nullptr;
};

class LoadScreen : public SaveListScreen {
public:
    const char* GetName() override { return "LoadScreen"; }
    int32_t Process() override;
};
// Restores a slot into the campaign; 1 when the slot was valid.
int ReadSaveGame(int slot);

extern MenuScreen g_menuScreenInstance;
extern OptionsScreen g_optionsScreenInstance;
extern HelpScreen g_helpScreen;
extern HappyScreen g_happyScreen;
extern NodeScreen g_nodeScreenInstance;
extern BossScreen g_bossScreenInstance;
extern ShopScreen g_shopScreen;
extern HiscoreScreen g_hiscoreScreen;
extern SaveScreen g_saveScreen;
extern LoadScreen g_loadScreen;

// Points the play code's hand-over pointers (map, boss, options) at these screens.
void InstallScreens();
