#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <string>

#include "GameTestUtil.h"
#include "skerrow/Src/ResourceLocator.h"
#include "skerrow/Src/game/GameScreen.h"

namespace {

class Levels : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetPlay();
        g_resourceLocator.Clear();
        AddSearchPath("missing.dat", "DATA\\", 3);
        g_levelSeed = 77;
        FreeResources();
    }
    void TearDown() override
    {
        g_resourceLocator.Clear();
        g_levelSeed = 0;
        FreeResources();
    }
    ScratchDir dir_;
};

std::string LevelText(const std::string& height, int types = 2)
{
    std::string t = "[Level data]\nName = Test\nText = A level\nHeight = " + height +
                    "\nScroll speed = 2\nRequires = 3,4\nMax blocks types = " + std::to_string(types) + "\n\n";
    for (int i = 1; i <= types; ++i) t += "[Block type " + std::to_string(i) + "]\nHit counter = " + std::to_string(i) + "\nScore = 5\n\n";
    return t;
}

TEST_F(Levels, NamesFollowTheEpisodes)
{
    char name[64];
    LevelFileName(1, name, sizeof name);
    EXPECT_STREQ(name, "Episode1\\Levels\\Level01");
    LevelFileName(50, name, sizeof name);
    EXPECT_STREQ(name, "Episode1\\Levels\\Level50");
    LevelFileName(51, name, sizeof name);
    EXPECT_STREQ(name, "Episode2\\Levels\\Level01");
    LevelFileName(100, name, sizeof name);
    EXPECT_STREQ(name, "Episode2\\Levels\\Level50");
}

TEST_F(Levels, LoadReadsKeysGridAndStartsAtTheBottom)
{
    WriteFileText("Episode2/Levels/Level02", LevelText("200"));
    std::vector<uint8_t> grid(200 * 20, 0);
    grid[199 * 20 + 3] = 1;
    grid[0] = 2;
    grid[5] = 9;  // no such type
    WriteFileBytes("Episode2/Levels/Level02.map", grid);
    LoadLevel(52);
    EXPECT_EQ(g_level.height, 200);
    EXPECT_EQ(g_level.scrollOffset, 2864);
    EXPECT_EQ(g_level.scrollSpeed, 2);
    EXPECT_STREQ(g_level.name, "Test");
    EXPECT_EQ(GetBlockCell(3, 199)->type, 1);
    EXPECT_EQ(GetBlockCell(0, 0)->hits, 2);
    EXPECT_EQ(GetBlockCell(5, 0)->type, 0);
    EXPECT_EQ(g_level.ballOnPaddle, 1);
    EXPECT_EQ(g_level.paddleY, 380);
    EXPECT_EQ(LevelProgress(), 0);
    g_level.scrollOffset = 0;
    EXPECT_EQ(LevelProgress(), 99);
    // Every cell's capsule lies with a block only; the same seed gives the same level.
    std::vector<uint16_t> capsules;
    for (const BlockCell& c : g_level.grid) {
        if (!c.type) {
            EXPECT_EQ(c.capsule, 0);
        }
        capsules.push_back(c.capsule);
    }
    LoadLevel(52);
    for (size_t i = 0; i < capsules.size(); ++i) ASSERT_EQ(g_level.grid[i].capsule, capsules[i]);
}

TEST_F(Levels, HostileHeightsAndTypesAreContained)
{
    for (const char* h : {"0", "-5", "25", "999999999", "abc"}) {
        WriteFileText("Episode1/Levels/Level03", LevelText(h, 1000));
        WriteFileBytes("Episode1/Levels/Level03.map", std::vector<uint8_t>(70000, 0xFF));
        LoadLevel(3);
        EXPECT_GE(g_level.height, kMinLevelHeight) << h;
        EXPECT_LE(g_level.height, kMaxLevelHeight) << h;
        EXPECT_EQ(g_level.grid.size(), static_cast<size_t>(g_level.height) * 20);
        EXPECT_GE(LevelProgress(), 0);
        EXPECT_LE(g_level.blockTypeCount, kMaxBlockTypes);
        g_level.scrollOffset = 0;
        EXPECT_EQ(LevelProgress(), 99);
    }
}

TEST_F(Levels, MissingFilesGiveDefaults)
{
    LoadLevel(7);
    EXPECT_EQ(g_level.height, 500);
    EXPECT_EQ(g_level.blockTypeCount, 1);
    for (const BlockCell& c : g_level.grid) ASSERT_EQ(c.type, 0);
    EXPECT_EQ(g_level.scrollOffset, (500 * 16 / 64 + 1) * 64 - 400);
}

TEST_F(Levels, TileSetsWithoutWeightsDoNotDivideByZero)
{
    g_sprites = new GameSprites;
    WriteFileText("BackTiles/Tiles.ini", "[Tileset 00]\nTileFreq 00 = 0\n\n[Tileset 01]\n\n");
    EXPECT_EQ(LoadTileSets(0), 1);
    EXPECT_EQ(g_sprites->tileSetCount, 2);
    LoadLevel(1);
    EXPECT_GE(g_level.backTileSet, 0);
    EXPECT_LT(g_level.backTileSet, 2);
    WriteFileText("BackTiles/Tiles.ini", "");
    LoadTileSets(0);
    LoadLevel(1);
    EXPECT_EQ(g_level.backTileSet, 0);
}

TEST_F(Levels, ListReadsNamesAndCoordinates)
{
    WriteFileText("Coordinates", "[Coordinates]\nLevel 1 = 120, 340\nLevel 2 = 7, 8\n");
    WriteFileText("Episode1/Levels/Level02", LevelText("100"));
    g_game.money = 3;
    LoadLevelList(1);
    EXPECT_EQ(g_game.money, 150);
    EXPECT_EQ(g_game.lives, 8);
    EXPECT_EQ(g_game.levels[0].mapX, 120);
    EXPECT_EQ(g_game.levels[0].mapY, 340);
    EXPECT_EQ(g_game.levels[0].requirementsMet, 0);
    EXPECT_EQ(g_game.levels[1].requirementsMet, 1);
    EXPECT_STREQ(g_game.levels[1].name, "Test");
}

TEST_F(Levels, SavedLevelReadsBack)
{
    std::filesystem::create_directories("Episode1/Levels");
    WriteFileText("Episode1/Levels/Level04", LevelText("60", 3));
    std::vector<uint8_t> grid(60 * 20, 0);
    grid[20 * 59 + 7] = 3;
    WriteFileBytes("Episode1/Levels/Level04.map", grid);
    LoadLevel(4);
    SetBlock(1, 1, 2);
    ASSERT_EQ(SaveLevel(0), 1);
    const std::vector<uint8_t> saved = ReadFileBytes("Episode1/Levels/Level04.map");
    ASSERT_EQ(saved.size(), 1200u);
    EXPECT_EQ(saved[21], 2);
    EXPECT_EQ(saved[20 * 59 + 7], 3);
    LoadLevel(4);
    EXPECT_EQ(g_level.height, 60);
    EXPECT_EQ(g_level.blockTypeCount, 3);
    EXPECT_EQ(g_blockTypes[2].hitCounter, 3);
    EXPECT_EQ(GetBlockCell(1, 1)->type, 2);
    const std::vector<uint8_t> text = ReadFileBytes("Episode1/Levels/Level04");
    const std::string s(text.begin(), text.end());
    EXPECT_NE(s.find("Image pack 3 = "), std::string::npos);
}

TEST_F(Levels, SettingsWrittenWholeWithLineFeeds)
{
    g_settings = GameSettings{};
    EXPECT_EQ(LoadSettings(), 0);
    EXPECT_EQ(g_settings.fullscreen, 1);
    EXPECT_EQ(g_settings.soundEnable, 0);
    WriteFileText("Ombrelit.ini", "[Settings]\r\nSound volume = 250\r\nMusic volume = -5\r\nVanishing = 1\r\n");
    EXPECT_EQ(LoadSettings(), 1);
    EXPECT_EQ(g_settings.soundVolume, 100);
    EXPECT_EQ(g_settings.musicVolume, 0);
    EXPECT_EQ(g_settings.soundEnable, 1);
    EXPECT_EQ(g_settings.reverseStereo, 1);
    EXPECT_EQ(g_settings.vanishing, 1);
    ASSERT_EQ(SaveSettings(), 1);
    const std::vector<uint8_t> b = ReadFileBytes("Ombrelit.ini");
    const std::string s(b.begin(), b.end());
    EXPECT_EQ(s, "[Settings]\nFullscreen = 1\nSound enable = 1\nSound volume = 100\nMusic volume = 0\n"
                 "Reverse stereo = 1\nScroll speed = 1\nVanishing = 1\n");
}

// Numbers too large for 32 bits saturate instead of wrapping round, and every key is brought to
// the nearest end of its range before it is used and before it is written back.
TEST_F(Levels, SettingsSaturateAndKeepToTheirRanges)
{
    const std::string millionDigits(1000000, '9');
    WriteFileText("Ombrelit.ini", "[Settings]\nFullscreen = 99999999999999999999\nSound enable = -7\n"
                                  "Sound volume = 99999999999\nMusic volume = 2147483648\nReverse stereo = 77\n"
                                  "Scroll speed = -100\nVanishing = " + millionDigits + "\n");
    ASSERT_EQ(LoadSettings(), 1);
    EXPECT_EQ(g_settings.fullscreen, 1);
    EXPECT_EQ(g_settings.soundEnable, 0);
    EXPECT_EQ(g_settings.soundVolume, 100);
    EXPECT_EQ(g_settings.musicVolume, 100);
    EXPECT_EQ(g_settings.reverseStereo, 1);
    EXPECT_EQ(g_settings.scrollSpeed, 0);
    EXPECT_EQ(g_settings.vanishing, 1);
    WriteFileText("Ombrelit.ini", "[Settings]\nMusic volume = -2147483649\nSound volume = " + millionDigits + "\n");
    ASSERT_EQ(LoadSettings(), 1);
    EXPECT_EQ(g_settings.musicVolume, 0);
    EXPECT_EQ(g_settings.soundVolume, 100);

    // Whatever was put into the settings while the game ran is written within range.
    g_settings.fullscreen = -3;
    g_settings.vanishing = 9;
    g_settings.scrollSpeed = 1 << 30;
    ASSERT_EQ(SaveSettings(), 1);
    const std::vector<uint8_t> b = ReadFileBytes("Ombrelit.ini");
    EXPECT_EQ(std::string(b.begin(), b.end()), "[Settings]\nFullscreen = 0\nSound enable = 1\nSound volume = 100\n"
                                                "Music volume = 0\nReverse stereo = 1\nScroll speed = 1\nVanishing = 1\n");
}

// A write that fails part way (here the file-size limit, as a quota or a full disk would) leaves
// the settings of the last good exit, byte for byte, and no stray file beside them.
TEST_F(Levels, SettingsSurviveAWriteThatFails)
{
    const std::string before = "[Settings]\nFullscreen = 0\nSound enable = 1\nMusic volume = 33\n";
    WriteFileText("Ombrelit.ini", before);
    ASSERT_EQ(LoadSettings(), 1);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Without the signal ignored the limit would kill the writer, which leaves the same
        // question: is the old file still whole?
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit none{0, 0};
        setrlimit(RLIMIT_FSIZE, &none);
        g_settings.musicVolume = 90;
        _exit(SaveSettings() == 0 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the failed write was reported as written";
    const std::vector<uint8_t> b = ReadFileBytes("Ombrelit.ini");
    EXPECT_EQ(std::string(b.begin(), b.end()), before);
    EXPECT_FALSE(std::filesystem::exists("Ombrelit.ini.tmp"));
}

TEST_F(Levels, StringsAndMusicNames)
{
    WriteFileText("Strings.txt", "[All strings]\nPressKey = Press a key\nEmptySlot = (empty)\n");
    EXPECT_EQ(LoadStrings(), 1);
    EXPECT_STREQ(g_strings.Get("PressKey"), "Press a key");
    EXPECT_STREQ(g_strings.Get("EmptySlot"), "(empty)");
    EXPECT_STREQ(g_strings.Get("Closelevel"), "");
    std::snprintf(g_sounds.musicName, sizeof g_sounds.musicName, "arc_z.s3m");
    EXPECT_EQ(PlayMusic("ARC_Z.S3M"), 1);
    EXPECT_STREQ(g_sounds.musicName, "arc_z.s3m");
    g_sounds.musicName[0] = 0;
}

TEST_F(Levels, VanishingClearsTheRowBelow)
{
    ResetPlay(100);
    g_settings.vanishing = 1;
    g_level.scrollOffset = 320;
    for (int c = 0; c < 20; ++c) SetBlock(c, 40, 1);
    SetBlock(0, 41, 1);
    g_level.ballOnPaddle = 1;
    FeedInput({});
    UpdateGame();
    for (int c = 0; c < 20; ++c) EXPECT_EQ(GetBlockCell(c, 40)->type, 0);
    EXPECT_EQ(GetBlockCell(0, 41)->type, 1);
}

}  // namespace
