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
    if (g_settings.soundVolume < 0 || g_settings.soundVolume > 100 || g_settings.musicVolume < 0 ||
        g_settings.musicVolume > 100)
        std::abort();
    SaveSettings();
    WriteFuzzFile("BackTiles/Tiles.ini", data, size);
    LoadTileSets(0);
    LoadLevel(1);
    if (g_level.backTileSet < 0 || (g_sprites->tileSetCount && g_level.backTileSet >= g_sprites->tileSetCount)) std::abort();
    for (uint8_t t : g_level.backMap)
        if (t >= 32) std::abort();
    return 0;
}
