// Settings and tile-set files from outside: "Ombrelit.ini", then the same bytes as
// "BackTiles\Tiles.ini" with a level drawing its tile set and background from them.

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "FuzzScratch.h"
#include "skerrow/Src/ResourceLocator.h"
#include "skerrow/Src/game/Gameplay.h"
#include "skerrow/Src/game/Resources.h"

namespace {
bool Setup()
{
    EnterFuzzScratch("settings", "BackTiles");
    g_sprites = new GameSprites;
    return true;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static bool ready = Setup();
    if (!ready) return 0;
    WriteFuzzFile("Ombrelit.ini", data, size);
    LoadSettings();
    const GameSettings& s = g_settings;
    if (s.soundVolume < 0 || s.soundVolume > 100 || s.musicVolume < 0 || s.musicVolume > 100) std::abort();
    for (int32_t flag : {s.fullscreen, s.soundEnable, s.reverseStereo, s.scrollSpeed, s.vanishing})
        if (flag != 0 && flag != 1) std::abort();
    SaveSettings();
    WriteFuzzFile("BackTiles/Tiles.ini", data, size);
    LoadTileSets(0);
    LoadLevel(1);
    if (g_level.backTileSet < 0 || (g_sprites->tileSetCount && g_level.backTileSet >= g_sprites->tileSetCount)) std::abort();
    for (uint8_t t : g_level.backMap)
        if (t >= 32) std::abort();
    return 0;
}
