// What the game reads once at start and every screen shares: the settings file, the interface
// texts, the sound effects and the music switcher, the shared sheets, animations and fonts, and
// the background tile sets.
#pragma once

#include <cstdint>

#include "skerrow/Src/Animation.h"
#include "skerrow/Src/Sprite.h"
#include "skerrow/Src/TrueTypeFont.h"

struct GameSettings {
    int32_t fullscreen = 1;
    int32_t soundEnable = 0;
    int32_t soundVolume = 70;
    int32_t musicVolume = 50;
    int32_t reverseStereo = 0;
    int32_t scrollSpeed = 1;
    int32_t vanishing = 0;
};
extern GameSettings g_settings;

const int kStringCount = 41;
extern const char* const g_stringKeys[kStringCount];
struct StringTable {
    char text[kStringCount][64];
    // The text of a key ("PressKey"), empty for an unknown one.
    const char* Get(const char* key) const;
};
extern StringTable g_strings;

enum SoundSlot {
    SND_HIT_BLOCK,
    SND_HIT_SOLID,
    SND_SPRING,
    SND_FIRE,
    SND_ACTIVATE,
    SND_LIFE_LOSS,
    SND_KILL_ENEMY,
    SND_EXPLOSION,
    SND_BARRIER,
    SND_MENU,
    SND_COUNT
};
struct SoundBank {
    int handles[SND_COUNT] = {};
    char musicName[260] = {};
    int32_t soundReady = 0;
};
extern SoundBank g_sounds;

// Plays a sound of the bank at volume 100; pan 0 (left) .. 100 (right). Handle 0 is silence.
void PlayGameSound(int slot, int pan);
// Pan of a view x coordinate.
int PanFromX(float x);

int LoadSettings();
int SaveSettings();
// Removes what writes of the player's files (settings, hiscores, saves, screenshots) left in the
// game's folder when a run was ended in the middle of one.
void ClearLeftTemporaries();
// Keeps a volume percent inside what the sound engine takes.
int ClampVolume(int percent);
int LoadStrings();
// Starts the sound engine when "Sound enable" is on and loads the bank and the first music.
int InitGameSound();
int LoadSoundEffect(const char* name);
int LoadMusic(const char* name);
int PlayMusic(const char* name);
// Music volume through the engine when it runs, else the settings value.
int GetGameMusicVolume();
void SetGameMusicVolume(int percent);

struct TileSet {
    int32_t loaded = 0;
    CSprite image;
    int32_t weights[32] = {};
    RECT rects[32] = {};
    int32_t rectCount = 0;
};
const int kMaxTileSets = 20;
const int kMaxBackObjects = 8;

struct GameSprites {
    TrueTypeFont fonts[2];
    CSprite items[23];
    AnimationSet itemAnims[23];
    CSprite enemies[3];
    AnimationSet enemyAnims[3];
    CSprite credits[2];
    AnimationSet creditAnims[2];
    CSprite litSmall, litMedium, litBig;
    CSprite blocks;
    CSprite darkPlanets;
    CSprite planets[8];
    TileSet tileSets[kMaxTileSets];
    int32_t tileSetCount = 0;
    CSprite backObjects[kMaxTileSets][kMaxBackObjects];
    AnimationSet backObjectAnims[kMaxTileSets][kMaxBackObjects];
    int32_t backObjectCount[kMaxTileSets] = {};
    CSprite cursor, ball, ship, misc, buttons, tpanel, container, particles, boss, headers;
    AnimationSet cursorAnim, flagAnim, ballAnim, shipAnim, buttonsAnim, tpanelAnim, containerAnim, bossAnim;
};
extern GameSprites* g_sprites;

// Reads "BackTiles\Tiles.ini" into the tile sets (images too, when `images` is set).
int LoadTileSets(int images);
// A tile set a level can be drawn over: its picture loaded, tiles described and weighted.
int TileSetUsable(const TileSet& set);
int LoadResources();
void ShowLoadingMessage();
void ReleaseGameSprites();
void LoadGameSprites();
// Frees every shared resource (the end of the process, or a test).
void FreeResources();
