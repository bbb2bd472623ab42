// Settings and tile-set files from outside: "Ombrelit.ini", then the same bytes as
// "BackTiles\Tiles.ini" with a level drawing its tile set and background from them.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "skerrow/Src/ResourceLocator.h"
#include "skerrow/Src/game/Gameplay.h"
#include "skerrow/Src/game/Resources.h"

namespace {
void WriteFile(const char* name, const uint8_t* data, size_t size)
{
    std::FILE* f = std::fopen(name, "wb");
    if (!f) return;
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
}

std::filesystem::path g_scratch;

void RemoveScratch()
{
    std::error_code ec;
    std::filesystem::current_path("/", ec);
    std::filesystem::remove_all(g_scratch, ec);
}

bool Setup()
{
    char tmpl[] = "/tmp/skerrow_fuzz_settings_XXXXXX";
    if (!mkdtemp(tmpl)) return false;
    g_scratch = tmpl;
    std::atexit(RemoveScratch);
    std::filesystem::current_path(tmpl);
    std::filesystem::create_directories("BackTiles");
    AddSearchPath("missing.dat", "DATA\\", 3);
    BuildStartupTables();
    g_sprites = new GameSprites;
    return true;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static bool ready = Setup();
    if (!ready) return 0;
    WriteFile("Ombrelit.ini", data, size);
    LoadSettings();
    if (g_settings.soundVolume < 0 || g_settings.soundVolume > 100 || g_settings.musicVolume < 0 ||
        g_settings.musicVolume > 100)
        std::abort();
    SaveSettings();
    WriteFile("BackTiles/Tiles.ini", data, size);
    LoadTileSets(0);
    LoadLevel(1);
    if (g_level.backTileSet < 0 || (g_sprites->tileSetCount && g_level.backTileSet >= g_sprites->tileSetCount)) std::abort();
    for (uint8_t t : g_level.backMap)
        if (t >= 32) std::abort();
    return 0;
}
