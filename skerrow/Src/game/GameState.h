// The play state shared by the screens and the gameplay code: campaign progress, the level
// list, the item ids and the fixed tables of balls, enemies, capsules, bullets, particles and
// blocks. Only the block grid and the background map are sized at run time (by the level's
// height when it loads).
#pragma once

#include <cstdint>
#include <vector>

#include "skerrow/Src/Tables.h"

enum ItemId : int {
    ITEM_NONE = 0,
    ITEM_CREDIT1,
    ITEM_CREDIT2,
    ITEM_BALL,
    ITEM_WIDE_BUSTER,
    ITEM_INCREASE_SPEED,
    ITEM_DECREASE_SPEED,
    ITEM_ADD_BALL,
    ITEM_CANNON,
    ITEM_FREE_FLY,
    ITEM_PIERCING,
    ITEM_CREDITS_ATTRACTOR,
    ITEM_SCREAMER,
    ITEM_SNIPER,
    ITEM_TIMEZIP,
    ITEM_BALL_ATTRACTOR,
    ITEM_RUBBER,
    ITEM_SHADOW,
    ITEM_BOMB,
    ITEM_TIMEBOMB,
    ITEM_INVISIBLE,
    ITEM_DETONATOR,
    ITEM_SHIELD,
    ITEM_COUNT
};
extern const char* const g_itemNames[ITEM_COUNT];

struct InventorySlot {
    int16_t id;
    int16_t count;
    int16_t active;
    int16_t ticksLeft;
    int16_t duration;
    int16_t elapsed;
};

const int kInventorySlots = 10;
const int kLevelCount = 100;
// Far more than any level lists; a longer "Requires" keeps its first entries.
const int kMaxPrerequisites = 100;

struct LevelInfo {
    int32_t available;
    int32_t opening;
    int32_t revealed;
    int32_t completed;
    int32_t requirementsMet;
    int32_t mapX, mapY;
    char name[32];
    uint8_t prerequisiteCount;
    uint8_t prerequisites[kMaxPrerequisites];
};

struct GameState {
    int32_t score;
    int32_t lives;
    int32_t money;
    int32_t levelNumber;
    InventorySlot inventory[kInventorySlots];
    LevelInfo levels[kLevelCount];
};
extern GameState g_game;
// Filled by nothing; consulted and cleared like the inventory.
extern InventorySlot g_pickedEffects[kInventorySlots];

struct Ball {
    int16_t active;
    Vector2 position;
    Vector2 previous;
    float angle;
    float speed;
    int32_t lastColumn, lastRow;
};

struct Enemy {
    int32_t type;
    Vector2 position;
    float angle;
    int32_t counter;
    int32_t reserved;
    int32_t state;
};
enum EnemyState { ENEMY_MOVING = 0, ENEMY_DYING = 1, ENEMY_LEAVING = 2 };

struct Capsule {
    uint16_t id;
    int32_t timer;
    int32_t x, y, dx, dy;
};

struct Bullet {
    int32_t active, x, y;
};

struct Particle {
    int32_t type;
    float x, y, dx, dy;
    int16_t life;
    int16_t behaviour;
    int16_t column;
};

struct BlockCell {
    uint16_t type;
    uint16_t hits;
    uint16_t capsule;
};

struct BlockType {
    int32_t hitCounter;
    int32_t score;
    uint16_t images[32];
};

const int kMaxBalls = 8;
const int kMaxEnemies = 8;
const int kMaxCapsules = 50;
const int kMaxBullets = 40;
const int kMaxParticles = 250;
const int kMaxBlockTypes = 32;
const int kGridColumns = 20;
const int kCellWidth = 32;
const int kCellHeight = 16;
// Heights outside this range are clamped when a level loads: below it the view would reach past
// the top of the level (and the HUD's progress divides by height - 25), above it the grid would
// take absurd memory.
const int kMinLevelHeight = 26;
const int kMaxLevelHeight = 4000;
const int kViewHeight = 400;
// The background map: 80-pixel tiles, 8 to a row, drawn at half the speed of the blocks.
const int kBackTileSize = 80;
const int kBackTilesPerRow = 8;

extern Ball g_balls[kMaxBalls];
extern Enemy g_enemies[kMaxEnemies];
extern Capsule g_capsules[kMaxCapsules];
extern Bullet g_bullets[kMaxBullets];
extern Particle g_particles[kMaxParticles];
extern BlockType g_blockTypes[kMaxBlockTypes];

struct LevelState {
    int32_t height = 200;
    int32_t scrollOffset = 0;
    int32_t scrollSpeed = 1;
    int32_t blockTypeCount = 0;
    int32_t backTileSet = 0;
    int32_t enemyPeriod = 500;
    int32_t paddleX = 320, paddleY = 375;
    int32_t previousPaddleX = 320, previousPaddleY = 375;
    Vector2 paddleMotion;
    int32_t paddleWidth = 80, paddleHeight = 10;
    int32_t paddleFreeze = 0;
    int32_t freeFly = 0;
    int32_t ballOnPaddle = 0;
    float aimAngle = 45.0f;
    int32_t ballsInPlay = 0;
    int32_t levelOver = 0;
    int32_t levelFailed = 0;
    int32_t exitPrompt = 0;
    int32_t paused = 0;
    int32_t editorOn = 0;
    int32_t leaveRequested = 0;
    int32_t savedMusicVolume = -1;
    int32_t newItem = 0;
    uint32_t tickTime = 0;
    char name[32] = {};
    char text[256] = {};
    char requiresText[256] = {};
    std::vector<BlockCell> grid;
    std::vector<uint8_t> backMap;
    int32_t backMapRows = 0;
};
extern LevelState g_level;

// The global frame counter of the main loop.
int32_t& FrameCounter();

int IsEffectActive(int id);
void DeactivateEffect(int id);
int AddToInventory(int id);
// Null outside the grid (callers are meant to check, but a stray index must not reach memory).
BlockCell* GetBlockCell(int column, int row);
void SetBlock(int column, int row, int type);
int FramePingPong(int period);
// A fresh campaign: score 0, lives 8, money 150, empty inventory and level records.
void ResetCampaign();
// Sizes the grid for `height` rows (clamped), all cells empty.
void ResizeGrid(int height);
