// One tick of play and the moving parts it drives: balls, paddle, blocks, scrolling, capsules,
// items, enemies, bullets, particles and background objects.
#pragma once

#include "skerrow/Src/game/GameState.h"

class Screen;
// Screens the play code hands over to; null while the program has no such screen.
extern Screen* g_bossScreen;

int IsBossScreenCurrent();

// Simulation
int UpdateGame();
int MoveBalls();
void BounceOffPaddle(Ball& ball);
void Reflect(Ball& ball, int kind, int chance);
float AngleOf(Vector2 v);
Vector2 Direction(float angle);
void AddBall(Vector2 position, float angle, float speed);
void HitBlock(BlockCell& cell, Ball& ball, int column, int row, int stepColumn, int stepRow);
void DestroyBlock(BlockCell& cell, int particleType, int column, int row);
void ExplodeAt(int x, int y);
void LoseBall();
void EndLevel(int completed);
void LeaveLevel();

// Capsules and items
void SpawnCapsule(int x, int y, int id, int timer);
void UpdateCapsules();
void CollectCapsule(int id);
void UseInventorySlot(int slot);
void UpdateEffectTimers();
void ChangeBallSpeed(int delta);
void AddBallBeside();
void AddShadowBall();
void DetonateView();
// Active time of an item from "Items.txt" (1000 when absent; never below 1).
int ItemActiveTime(int id);
void LoadItemTimes();
void SetItemActiveTime(int id, int ticks);

// Enemies, bullets, particles, background objects
void UpdateEnemies(int spawnAllowed);
void SpawnEnemy(int x, int y, int type);
void KillEnemy(Enemy& enemy);
void FireCannon();
void UpdateBullets();
int SpawnParticles(float x, float y, int count, int type, float divisor);
Particle* AddParticle(float x, float y, int type, int column);
int SpawnEngineParticles(float x, float y, int count, int ignored, int side);
// Moves every particle; draws it too when `draw` is set (the game screen's frames).
void UpdateParticles(int draw = 1);
void UpdateBackdrop();
void ClearBackdrop();
struct BackObject {
    int32_t active;
    int32_t smashes;
    int32_t animation;
    Vector2 position;
    float dx, dy;
};
struct BackObjects {
    BackObject slots[8];
    int32_t lastSpawnFrame;
    int32_t lastTileSet;
};
extern BackObjects g_backObjects;

// Level files
// "Episode1\Levels\Level07" style name of level n (1..100), without ".map".
void LevelFileName(int n, char* out, int size);
void LoadLevelList(int reset);
void LoadLevel(int n);
// 1 when level n can be played as its files say: the level file with its [Level data] (a height
// within bounds, block types that are all described), a grid of those types holding blocks, and
// a background tile set to draw it over. Otherwise 0 with what is wrong in `why` (logged by the
// caller): a damaged file is told, never played as an empty level.
int CheckLevelFiles(int n, std::string* why);
int SaveLevel(int asTemplate);
int SaveLevelCoordinates();
// The scroll offset at which a level of `height` rows starts.
int StartScrollOffset(int height);
extern Screen* g_nodeScreen;
// Replays and tests fix the level's random choices with this seed; 0 seeds from the clock.
extern unsigned g_levelSeed;
