#include "skerrow/Src/game/Resources.h"

#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "skerrow/Src/FileSystem.h"
#include "skerrow/Src/Graphics/Graphics.h"
#include "skerrow/Src/IniFile.h"
#include "skerrow/Src/Log.h"
#include "skerrow/Src/ResourceLocator.h"
#ifdef SKERROW_HAVE_SOUND
#include "skerrow/Src/Sound/SoundEngine.h"
#endif

GameSettings g_settings;
StringTable g_strings;
SoundBank g_sounds;
GameSprites* g_sprites = nullptr;

const char* const g_stringKeys[kStringCount] = {
    "PressKey", "Loading",   "Select",    "Score",    "Completed", "Buy",      "Sell",      "Back",
    "Musvol",   "Sndvol",    "Reverse",   "Start",    "Upgrade",   "Save",     "Quit",      "NewGame",
    "LoadGame", "HiScore",   "Options",   "Help",     "QuitGame",  "ScrollSpeed", "Fast",   "Slow",
    "F10game",  "Continue",  "Vanish",    "Donthave1", "Donthave2", "Descript", "ActiveTime", "SellPrice",
    "BuyPrice", "Exchange",  "Instant",   "EmptySlot", "Pause",    "Version",  "Page",      "Level",
    "Closelevel"};

const char* StringTable::Get(const char* key) const
{
    for (int i = 0; i < kStringCount; ++i)
        if (std::strcmp(g_stringKeys[i], key) == 0) return text[i];
    return "";
}

int ClampVolume(int percent) { return std::clamp(percent, 0, 100); }

int PanFromX(float x)
{
    int pan = static_cast<int>(x * 100.0f / 640.0f);
    return std::clamp(pan, 0, 100);
}

void PlayGameSound(int slot, int pan)
{
    if (slot < 0 || slot >= SND_COUNT || !g_sounds.soundReady || !g_sounds.handles[slot]) return;
#ifdef SKERROW_HAVE_SOUND
    PlaySample(g_sounds.handles[slot], 100, std::clamp(pan, 0, 100));
#endif
}

int GetGameMusicVolume()
{
#ifdef SKERROW_HAVE_SOUND
    if (g_sounds.soundReady) return GetMusicVolume();
#endif
    return g_settings.musicVolume;
}

void SetGameMusicVolume(int percent)
{
    percent = ClampVolume(percent);
#ifdef SKERROW_HAVE_SOUND
    if (g_sounds.soundReady) SetMusicVolume(percent);
#endif
    g_settings.musicVolume = percent;
}

namespace {

// The keys of "Ombrelit.ini" in the order they are written, each with the value it takes when
// the file lacks it and the range the game can use: a value outside it, from a damaged or
// hand-edited file, is brought to the nearest bound before it is used or written back.
struct SettingKey {
    const char* name;
    int32_t GameSettings::*field;
    int32_t missing;
    int32_t low, high;
};
const SettingKey kSettingKeys[] = {
    {"Fullscreen", &GameSettings::fullscreen, 1, 0, 1},
    {"Sound enable", &GameSettings::soundEnable, 1, 0, 1},
    {"Sound volume", &GameSettings::soundVolume, 70, 0, 100},
    {"Music volume", &GameSettings::musicVolume, 50, 0, 100},
    {"Reverse stereo", &GameSettings::reverseStereo, 1, 0, 1},
    {"Scroll speed", &GameSettings::scrollSpeed, 1, 0, 1},
    {"Vanishing", &GameSettings::vanishing, 0, 0, 1},
};

void KeepSettingsInRange()
{
    for (const SettingKey& k : kSettingKeys) g_settings.*k.field = std::clamp(g_settings.*k.field, k.low, k.high);
}

}  // namespace

int LoadSettings()
{
    IniFile ini;
    if (!ini.Open("Ombrelit.ini", 0)) {
        // Without a file the game starts full screen and silent; the volumes stay as they are.
        g_settings.fullscreen = 1;
        g_settings.soundEnable = 0;
        g_settings.reverseStereo = 0;
        g_settings.scrollSpeed = 1;
        g_settings.vanishing = 0;
        return 0;
    }
    for (const SettingKey& k : kSettingKeys) g_settings.*k.field = ini.GetInt("Settings", k.name, k.missing);
    KeepSettingsInRange();
#ifdef SKERROW_HAVE_SOUND
    if (g_sounds.soundReady) {
        SetMusicVolume(g_settings.musicVolume);
        SetSampleVolume(g_settings.soundVolume);
    }
#endif
    return 1;
}

int SaveSettings()
{
    LogMessage("Save config\n");
#ifdef SKERROW_HAVE_SOUND
    if (g_sounds.soundReady) {
        g_settings.soundVolume = GetSampleVolume();
        g_settings.musicVolume = GetMusicVolume();
    }
#endif
    KeepSettingsInRange();
    std::string text = "[Settings]\n";
    for (const SettingKey& k : kSettingKeys) text += std::string(k.name) + " = " + std::to_string(g_settings.*k.field) + "\n";
    // Written aside and renamed over the old file: a write cut short leaves the old settings.
    return WriteGameFileWhole("Ombrelit.ini", text.data(), text.size());
}

void ClearLeftTemporaries()
{
    for (const char* files : {"Ombrelit.ini", "Ombrelit.hsc", "game*.sav", "screen*.pcx"}) ClearStaleTemporaries(files);
}

int LoadStrings()
{
    std::memset(&g_strings, 0, sizeof g_strings);
    IniFile ini;
    if (!ini.Open("Strings.txt", 1)) return 0;
    for (int i = 0; i < kStringCount; ++i) ini.GetString("All strings", g_stringKeys[i], "", g_strings.text[i], 64);
    return 1;
}

int LoadSoundEffect(const char* name)
{
#ifdef SKERROW_HAVE_SOUND
    char* data = LoadResourceFile(name, 1);
    if (!data) return 0;
    const int size = GetLastResourceSize();
    int handle = LoadSample(data, static_cast<size_t>(size), 0);
    FreeResourceBuffer(data);
    return handle > 0 ? handle : 0;
#else
    (void)name;
    return 0;
#endif
}

int LoadMusic(const char* name)
{
#ifdef SKERROW_HAVE_SOUND
    if (!g_sounds.soundReady) return 0;
    StopModule();
    char* data = LoadResourceFile(name, 1);
    if (!data) return 0;
    const int size = GetLastResourceSize();
    PlayModule(data, static_cast<size_t>(size));
    FreeResourceBuffer(data);
    std::snprintf(g_sounds.musicName, sizeof g_sounds.musicName, "%s", name);
    return 1;
#else
    (void)name;
    return 0;
#endif
}

int PlayMusic(const char* name)
{
    if (!name) return 0;
    if (g_sounds.musicName[0] && strcasecmp(name, g_sounds.musicName) == 0) return 1;
    return LoadMusic(name);
}

int InitGameSound()
{
    if (g_settings.soundEnable != 1) return 1;
#ifdef SKERROW_HAVE_SOUND
    if (InitSoundEngine() != 0) {
        // The game plays on silent (nothing asks the engine while the bank is not ready), and
        // "Sound enable" stays as the player left it: a device that is busy or missing now may
        // well be there at the next start.
        LogMessage("Sound init failed: %s, playing without sound\n", GetSoundError());
        return 0;
    }
    g_sounds.soundReady = 1;
    SetOutputFormat(44100, 1, 1, 1);
    // The volumes read at start are applied now that the engine exists to keep them.
    SetMusicVolume(g_settings.musicVolume);
    SetSampleVolume(g_settings.soundVolume);
    SetReverseStereo(g_settings.reverseStereo);
    static const char* const kSamples[9] = {"HitBlock.wav", "HitSolid.wav",  "Spring.wav",    "Fire.wav",   "Activate.wav",
                                            "LifeLoss.wav", "KillEnemy.wav", "Explosion.wav", "barrier.wav"};
    for (int i = 0; i < 9; ++i) g_sounds.handles[i] = LoadSoundEffect(kSamples[i]);
    LoadMusic("fl3.s3m");
    SetModuleOption(42);
    return 1;
#else
    LogMessage("Sound init failed: no sound engine, playing without sound\n");
    return 0;
#endif
}

int LoadTileSets(int images)
{
    if (!g_sprites) return 0;
    IniFile ini;
    g_sprites->tileSetCount = 0;
    if (!ini.Open("BackTiles\\Tiles.ini", 1)) {
        LogMessage("Can't read BackTiles\\Tiles.ini\n");
        return 0;
    }
    for (int s = 0; s < kMaxTileSets; ++s) {
        char section[32];
        std::snprintf(section, sizeof section, "Tileset %02d", s);
        if (!ini.HasSection(section)) break;
        TileSet& t = g_sprites->tileSets[s];
        t.rectCount = 0;
        char value[256];
        for (int k = 0; k < 32; ++k) {
            char key[32];
            std::snprintf(key, sizeof key, "TileFreq %02d", k);
            t.weights[k] = std::max(0, ini.GetInt(section, key, 0));
            std::snprintf(key, sizeof key, "TileRect %02d", k);
            t.rects[k] = RECT{0, 0, 0, 0};
            if (!ini.GetString(section, key, "", value, sizeof value) || !value[0]) continue;
            int v[4] = {};
            const char* p = value;
            for (int i = 0; i < 4 && *p; ++i) {
                while (*p == ' ' || *p == ',' || *p == '\t') ++p;
                v[i] = static_cast<int>(std::strtol(p, nullptr, 10));
                while (*p && *p != ' ' && *p != ',') ++p;
            }
            t.rects[k] = RECT{v[0], v[1], v[0] + v[2], v[1] + v[3]};
            ++t.rectCount;
        }
        if (images && ini.GetString(section, "TGA File", "", value, sizeof value) && value[0]) t.image.Load(value);
        t.loaded = 1;
        g_sprites->tileSetCount = s + 1;
    }
    return g_sprites->tileSetCount > 0 ? 1 : 0;
}

int TileSetUsable(const TileSet& set)
{
    if (!set.loaded || !set.image.IsLoaded() || set.rectCount <= 0) return 0;
    for (int k = 0; k < 32; ++k)
        if (set.weights[k] > 0 && set.rects[k].right > set.rects[k].left && set.rects[k].bottom > set.rects[k].top) return 1;
    return 0;
}

void ShowLoadingMessage()
{
    if (!g_display.backBuffer) return;
    DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    fx.dwFillColor = 0;
    g_display.backBuffer->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
    if (g_sprites && g_sprites->fonts[0].IsLoaded()) {
        BeginText(&g_sprites->fonts[0], 16);
        g_sprites->fonts[0].Print(280, 240, MakePixelColorRgb(0xFFFFFF), "Loading...");
        EndText();
    }
    DXFlip(0);
}

namespace {
void LoadSheets()
{
    GameSprites& g = *g_sprites;
    char name[64], anim[64];
    for (int i = 0; i < 23; ++i) {
        std::snprintf(name, sizeof name, "Items\\Item%02d.tga", i);
        g.items[i].Load(name);
    }
    g.litSmall.LoadWithFrames("litSmall.tga", "litSmall.frm");
    g.litMedium.LoadWithFrames("litMedium.tga", "litMedium.frm");
    g.litBig.LoadWithFrames("litBig.tga", "litBig.frm");
    for (int i = 0; i < 3; ++i) {
        std::snprintf(name, sizeof name, "Enemies\\Enemy%02d.tga", i);
        g.enemies[i].Load(name);
    }
    for (int i = 0; i < 2; ++i) {
        std::snprintf(name, sizeof name, "Credits\\Credit%02d.tga", i);
        g.credits[i].Load(name);
    }
    LoadTileSets(1);
    g.blocks.Load("Blocks.tga");
    for (int i = 0; i < 8; ++i)
        for (int j = 0; j < 16; ++j) {
            char frame[16];
            std::snprintf(frame, sizeof frame, "Block%02d", 16 * i + j);
            g.blocks.AddFrame(frame, RECT{32 * i, 16 * j, 32 * i + 32, 16 * j + 16}, 0, 0);
        }
    g.darkPlanets.LoadWithFrames("DarkPlanets.tga", "DarkPlanets.frm");
    for (int i = 0; i < 8; ++i) {
        std::snprintf(name, sizeof name, "planet%d.tga", i);
        g.planets[i].Load(name);
    }
    for (int s = 0; s < kMaxTileSets; ++s) {
        g.backObjectCount[s] = 0;
        for (int o = 0; o < kMaxBackObjects; ++o) {
            std::snprintf(name, sizeof name, "BackObjects\\ts%dback%d.bmp", s, o);
            std::snprintf(anim, sizeof anim, "BackObjects\\ts%dback%d.anm", s, o);
            if (!g.backObjects[s][o].Load(name)) break;
            if (!g.backObjectAnims[s][o].IsLoaded()) g.backObjectAnims[s][o].Load(anim);
            g.backObjectCount[s] = o + 1;
            LogMessage("Tileset %d,Object %d loaded\n", s, o);
        }
    }
    g.cursor.Load("Cursor.tga");
    g.ball.Load("Ball.tga");
    g.ship.Load("Ship.tga");
    g.misc.LoadWithFrames("Misc.tga", "Misc.frm");
    g.buttons.Load("Buttons.tga");
    g.tpanel.Load("TPanel.tga");
    g.container.Load("Container.tga");
    g.particles.Load("Particles.tga");
    g.boss.Load("Boss.tga");
    g.headers.LoadWithFrames("headers.tga", "headers.frm");
}
}  // namespace

int LoadResources()
{
    if (!g_sprites) g_sprites = new GameSprites;
    GameSprites& g = *g_sprites;
    g.fonts[0].Load("LCDN.ttf");
    g.fonts[1].Load("LCDN.ttf");
    ShowLoadingMessage();
    LoadSheets();
    char name[64];
    for (int i = 0; i < 23; ++i) {
        std::snprintf(name, sizeof name, "Items\\Item%02d.anm", i);
        g.itemAnims[i].Load(name);
    }
    for (int i = 0; i < 3; ++i) {
        std::snprintf(name, sizeof name, "Enemies\\Enemy%02d.anm", i);
        g.enemyAnims[i].Load(name);
    }
    for (int i = 0; i < 2; ++i) {
        std::snprintf(name, sizeof name, "Credits\\Credit%02d.anm", i);
        g.creditAnims[i].Load(name);
    }
    g.cursorAnim.Load("Cursor.anm");
    g.flagAnim.Load("Flag.anm");
    g.ballAnim.Load("Ball.anm");
    g.shipAnim.Load("Ship.anm");
    g.buttonsAnim.Load("Buttons.anm");
    g.tpanelAnim.Load("TPanel.anm");
    g.containerAnim.Load("Container.anm");
    g.bossAnim.Load("Boss.anm");
    g.blocks.SetAlignment(0x10001);
    g.ship.SetAlignment(1);
    g.ball.SetAlignment(0);
    for (CSprite& s : g.items) s.SetAlignment(0);
    for (CSprite& s : g.enemies) s.SetAlignment(0);
    for (auto& set : g.backObjects)
        for (CSprite& s : set) s.SetAlignment(0);
    return 1;
}

void ReleaseGameSprites()
{
    if (!g_sprites) return;
    GameSprites& g = *g_sprites;
    for (CSprite& s : g.items) s.ReleaseSurface();
    for (CSprite& s : g.enemies) s.ReleaseSurface();
    for (CSprite& s : g.credits) s.ReleaseSurface();
    for (CSprite* s : {&g.litSmall, &g.litMedium, &g.litBig, &g.blocks, &g.darkPlanets, &g.cursor, &g.ball, &g.ship,
                       &g.misc, &g.buttons, &g.tpanel, &g.container, &g.particles, &g.boss, &g.headers})
        s->ReleaseSurface();
    for (CSprite& s : g.planets) s.ReleaseSurface();
    for (TileSet& t : g.tileSets) t.image.ReleaseSurface();
    for (auto& set : g.backObjects)
        for (CSprite& s : set) s.ReleaseSurface();
}

void LoadGameSprites()
{
    if (!g_sprites) return;
    ShowLoadingMessage();
    LoadSheets();
}

void FreeResources()
{
    delete g_sprites;
    g_sprites = nullptr;
}
