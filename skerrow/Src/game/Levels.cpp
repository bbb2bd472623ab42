#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/win32/crt_rand.h"
#include "skerrow/Src/FileSystem.h"
#include "skerrow/Src/IniFile.h"
#include "skerrow/Src/Log.h"
#include "skerrow/Src/ResourceLocator.h"
#include "skerrow/Src/game/Gameplay.h"
#include "skerrow/Src/game/Resources.h"
#include "skerrow/Src/game/Screen.h"

Screen* g_nodeScreen = nullptr;
unsigned g_levelSeed = 0;

namespace {
void SeedLevelRandom()
{
    if (g_levelSeed)
        srand(g_levelSeed);
    else
        SeedRandomFromClock();
}
}  // namespace

void LevelFileName(int n, char* out, int size)
{
    if (n > 50)
        std::snprintf(out, static_cast<size_t>(size), "Episode2\\Levels\\Level%02d", n - 50);
    else
        std::snprintf(out, static_cast<size_t>(size), "Episode1\\Levels\\Level%02d", n);
}

int StartScrollOffset(int height)
{
    const int rows64 = height * kCellHeight / 64 + 1;
    return rows64 * 64 - kViewHeight;
}

void LoadLevelList(int reset)
{
    if (reset) ResetCampaign();
    IniFile coords("Coordinates", 1);
    for (int i = 1; i <= kLevelCount; ++i) {
        LevelInfo& info = g_game.levels[i - 1];
        char key[32], value[64];
        std::snprintf(key, sizeof key, "Level %d", i);
        coords.GetString("Coordinates", key, "0, 0", value, sizeof value);
        info.mapX = static_cast<int32_t>(std::strtol(value, nullptr, 10));
        const char* comma = std::strstr(value, ", ");
        info.mapY = comma ? static_cast<int32_t>(std::strtol(comma + 2, nullptr, 10)) : 0;
        char file[64];
        LevelFileName(i, file, sizeof file);
        IniFile level;
        if (!level.Open(file, 1)) continue;
        info.requirementsMet = 1;
        level.GetString("Level data", "Name", "No name", g_level.name, sizeof g_level.name);
        level.GetString("Level data", "Text", "Description is absent...", g_level.text, sizeof g_level.text);
        std::memcpy(info.name, g_level.name, sizeof info.name);
        info.name[sizeof info.name - 1] = 0;
    }
    if (g_nodeScreen) g_nodeScreen->SwitchScreen(0);
}

namespace {
// Weighted choice: the first index whose running weight passes a draw below the total.
int WeightedPick(const int32_t* weights, int count)
{
    long total = 0;
    for (int i = 0; i < count; ++i) total += std::max(0, weights[i]);
    if (total <= 0) return 0;
    long r = rand() % total;
    for (int i = 0; i < count; ++i) {
        r -= std::max(0, weights[i]);
        if (r < 0) return i;
    }
    return count - 1;
}
}  // namespace

void LoadLevel(int n)
{
    SeedLevelRandom();
    g_game.levelNumber = n;
    g_level.scrollSpeed = 1;
    g_level.height = 200;
    FrameCounter() = 0;
    // The backdrop times its objects by that counter: one left timed by the last level's
    // frames would keep the sky empty for as long as that level lasted.
    ClearBackdrop();
    g_level.enemyPeriod = 500;
    char file[64];
    LevelFileName(n, file, sizeof file);
    IniFile ini;
    ini.Open(file, 1);
    int height = ini.GetInt("Level data", "Height", 500);
    if (height < kMinLevelHeight || height > kMaxLevelHeight)
        LogMessage("Level %d: Height %d out of range\n", n, height);
    g_level.backTileSet = ini.GetInt("Level data", "Back tiles set", 1);
    if (g_sprites && g_sprites->tileSetCount > 0) {
        int32_t weights[kMaxTileSets] = {};
        for (int i = 0; i < g_sprites->tileSetCount; ++i)
            weights[i] = TileSetUsable(g_sprites->tileSets[i]) ? g_sprites->tileSets[i].rectCount : 0;
        g_level.backTileSet = WeightedPick(weights, g_sprites->tileSetCount);
    } else {
        g_level.backTileSet = 0;
    }
    g_level.scrollSpeed = std::clamp(ini.GetInt("Level data", "Scroll speed", 1), 0, 16);
    ini.GetString("Level data", "Name", "", g_level.name, sizeof g_level.name);
    ini.GetString("Level data", "Text", "", g_level.text, sizeof g_level.text);
    ini.GetString("Level data", "Requires", "", g_level.requiresText, sizeof g_level.requiresText);
    int images[5];
    for (int i = 0; i < 5; ++i) {
        bool repeat;
        do {
            images[i] = rand() % 41 + 1;
            repeat = false;
            for (int k = 0; k < i; ++k) repeat = repeat || images[k] == images[i];
        } while (repeat);
    }
    const int types = ini.GetInt("Level data", "Max blocks types", 1);
    if (types < 0 || types > kMaxBlockTypes) LogMessage("Level %d: %d block types, %d kept\n", n, types, kMaxBlockTypes);
    g_level.blockTypeCount = std::clamp(types, 0, kMaxBlockTypes);
    std::memset(g_blockTypes, 0, sizeof g_blockTypes);
    for (int t = 1; t <= g_level.blockTypeCount; ++t) {
        char section[32];
        std::snprintf(section, sizeof section, "Block type %d", t);
        g_blockTypes[t - 1].hitCounter = std::clamp(ini.GetInt(section, "Hit counter", 1), 0, 32);
        g_blockTypes[t - 1].score = ini.GetInt(section, "Score", 0);
        for (int i = 0; i < 5; ++i) g_blockTypes[t - 1].images[i] = static_cast<uint16_t>(images[i]);
    }
    ResizeGrid(height);
    const int start = StartScrollOffset(g_level.height);
    // The background covers the blocks' travel at half speed plus one view and a spare row.
    g_level.backMapRows = start / 2 / kBackTileSize + kViewHeight / kBackTileSize + 2;
    g_level.backMap.assign(static_cast<size_t>(g_level.backMapRows) * kBackTilesPerRow, 0);
    char mapName[80];
    std::snprintf(mapName, sizeof mapName, "%s.map", file);
    if (char* grid = LoadResourceFile(mapName, 1)) {
        const int size = GetLastResourceSize();
        for (int i = 0; i < size && i / kGridColumns < g_level.height; ++i)
            SetBlock(i % kGridColumns, i / kGridColumns, static_cast<unsigned char>(grid[i]));
        FreeResourceBuffer(grid);
    }
    SeedLevelRandom();
    for (BlockCell& cell : g_level.grid) {
        const int r = rand() % 100;
        uint16_t id = 0;
        if (r >= 99)
            id = static_cast<uint16_t>(4 + rand() % 18);
        else if (r >= 80)
            id = ITEM_CREDIT1;
        else if (r >= 50)
            id = ITEM_CREDIT2;
        cell.capsule = cell.type ? id : 0;
    }
    const TileSet* tiles = (g_sprites && g_level.backTileSet < g_sprites->tileSetCount) ? &g_sprites->tileSets[g_level.backTileSet] : nullptr;
    for (uint8_t& t : g_level.backMap) t = tiles ? static_cast<uint8_t>(WeightedPick(tiles->weights, 32)) : 0;
    g_level.scrollOffset = start;
    g_level.paddleX = 640 / 2;
    g_level.paddleY = 380;
    g_level.paddleHeight = 10;
    g_level.paddleWidth = 80;
    g_level.freeFly = g_level.levelOver = g_level.exitPrompt = g_level.levelFailed = 0;
    g_level.paused = g_level.leaveRequested = 0;
    g_level.paddleFreeze = 0;
    g_level.savedMusicVolume = -1;
    for (Ball& b : g_balls) b = Ball{};
    std::memset(g_capsules, 0, sizeof g_capsules);
    for (Enemy& e : g_enemies) e = Enemy{};
    std::memset(g_bullets, 0, sizeof g_bullets);
    for (InventorySlot& s : g_game.inventory) s.active = 0;
    std::memset(g_pickedEffects, 0, sizeof g_pickedEffects);
    g_level.ballOnPaddle = 1;
}

int CheckLevelFiles(int n, std::string* why)
{
    char file[64];
    LevelFileName(n, file, sizeof file);
    auto fail = [&](const std::string& what) {
        if (why) *why = what;
        return 0;
    };
    IniFile ini;
    if (!ini.Open(file, 1)) return fail(std::string(file) + " is missing");
    char value[64];
    const bool hasHeight = ini.GetString("Level data", "Height", nullptr, value, sizeof value) > 0;
    const int height = ini.GetInt("Level data", "Height", 0);
    const int types = ini.GetInt("Level data", "Max blocks types", 1);
    if (!ini.HasSection("Level data") || !hasHeight || height < kMinLevelHeight || height > kMaxLevelHeight ||
        types < 1 || types > kMaxBlockTypes)
        return fail(std::string(file) + " is damaged");
    for (int t = 1; t <= types; ++t) {
        char section[32];
        std::snprintf(section, sizeof section, "Block type %d", t);
        if (!ini.HasSection(section)) return fail(std::string(file) + " is damaged (no [" + section + "])");
    }
    const std::string grid = std::string(file) + ".map";
    char* bytes = LoadResourceFile(grid.c_str(), 1);
    if (!bytes) return fail(grid + " is missing");
    const int size = GetLastResourceSize();
    int blocks = 0, strange = 0;
    for (int i = 0; i < size; ++i) {
        const int type = static_cast<unsigned char>(bytes[i]);
        blocks += type != 0;
        strange += type > types;
    }
    FreeResourceBuffer(bytes);
    if (strange || !blocks || size > height * kGridColumns) return fail(grid + " is damaged");
    bool tiles = false;
    for (int s = 0; g_sprites && s < g_sprites->tileSetCount; ++s) tiles = tiles || TileSetUsable(g_sprites->tileSets[s]);
    if (!tiles) return fail("the background tiles (BackTiles\\Tiles.ini and its pictures) are missing or damaged");
    return 1;
}

int SaveLevel(int asTemplate)
{
    LogMessage("Save Level\n");
    char file[64];
    if (asTemplate)
        std::snprintf(file, sizeof file, "Level");
    else
        LevelFileName(g_game.levelNumber, file, sizeof file);
    std::string path = ResolveGamePath(file);
    // The levels normally come from the pack: the first save makes their folder on disk.
    std::error_code ec;
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    if (!parent.empty()) std::filesystem::create_directories(parent, ec);
    std::string text;
    char line[1024];
    std::snprintf(line, sizeof line,
                  "[Level data]\nName = %s\nText = %s\nHeight = %d\nBack tiles set = %d\nMax blocks types = %d\n"
                  "Scroll speed = %d\nRequires = %s\n\n",
                  g_level.name, g_level.text, g_level.height, g_level.backTileSet, g_level.blockTypeCount,
                  g_level.scrollSpeed, g_level.requiresText);
    text += line;
    for (int t = 1; t <= g_level.blockTypeCount; ++t) {
        const BlockType& bt = g_blockTypes[t - 1];
        std::snprintf(line, sizeof line, "[Block type %d]\nScore = %d\nHit counter = %d\n", t, bt.score, bt.hitCounter);
        text += line;
        const int levels = std::clamp(bt.hitCounter, 1, 32);
        for (int i = 1; i <= levels; ++i) {
            std::snprintf(line, sizeof line, "Image pack %d = %d\n", i, bt.images[i - 1]);
            text += line;
        }
        text += "\n";
    }
    // Each file through a temporary, as every file the game writes.
    if (!WriteGameFileWhole(path.c_str(), text.data(), text.size())) return 0;
    std::vector<uint8_t> bytes(g_level.grid.size());
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(g_level.grid[i].type);
    return WriteGameFileWhole((path + ".map").c_str(), bytes.data(), bytes.size());
}

int SaveLevelCoordinates()
{
    std::string text = "[Coordinates]\n";
    char line[64];
    for (int i = 0; i < kLevelCount; ++i) {
        std::snprintf(line, sizeof line, "Level %d = %d, %d\n", i + 1, g_game.levels[i].mapX, g_game.levels[i].mapY);
        text += line;
    }
    return WriteGameFileWhole("Data\\Levels\\xy", text.data(), text.size());
}
