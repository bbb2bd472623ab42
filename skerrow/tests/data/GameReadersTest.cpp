// The generated data set read through the game's own readers: the resource locator with both
// packs mounted as the process entry mounts them, the INI reader, the image decoder and the
// animation scripts.
#include "skerrow/Src/Animation.h"
#include "skerrow/Src/Bitmap.h"
#include "skerrow/Src/IniFile.h"
#include "skerrow/Src/ResourceLocator.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class GameReaders : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        g_resourceLocator.Clear();
        const std::string dir = std::string(BUILD_ROOT) + "/data/skerrow/";
        data = static_cast<PackArchive*>(AddSearchPath((dir + "Ombrelit.dat").c_str(), "DATA\\", 1));
        lang = static_cast<PackArchive*>(AddSearchPath((dir + "Ombrelit.lng").c_str(), "LANG\\", 1));
    }
    static void TearDownTestSuite() { g_resourceLocator.Clear(); }
    static PackArchive* data;
    static PackArchive* lang;
};
PackArchive* GameReaders::data = nullptr;
PackArchive* GameReaders::lang = nullptr;

TEST_F(GameReaders, EveryEntryOfBothPacksLoadsThroughTheLocator) {
    ASSERT_NE(data, nullptr);
    ASSERT_NE(lang, nullptr);
    size_t count = 0;
    for (PackArchive* pack : {data, lang}) {
        for (const PackEntry& e : pack->Entries()) {
            const std::string name = e.name.substr(e.name.find('\\') + 1);
            char* buf = LoadResourceFile(name.c_str(), 1);
            ASSERT_NE(buf, nullptr) << name;
            EXPECT_EQ(GetLastResourceSize(), e.unpackedSize) << name;
            FreeResourceBuffer(buf);
            ++count;
        }
    }
    EXPECT_GT(count, 400u);
}

TEST_F(GameReaders, TextFilesAnswerTheKeysTheGameReads) {
    IniFile strings("Strings.txt", 1);
    ASSERT_TRUE(strings.IsOpen());
    char buf[256];
    for (const char* key : {"PressKey", "Score", "HiScore", "Sell", "SellPrice", "Exchange", "EmptySlot", "Closelevel"})
        EXPECT_GT(strings.GetString("All strings", key, nullptr, buf, 64), 0) << key;
    strings.GetString("All strings", "Score", nullptr, buf, 64);
    EXPECT_STREQ(buf, "Score");

    IniFile items("Items.txt", 1);
    ASSERT_TRUE(items.IsOpen());
    EXPECT_EQ(items.GetInt("ITEM_BALL", "Price", -1), 120);
    EXPECT_GT(items.GetInt("ITEM_SHIELD", "Active time", -1), 0);

    for (int n : {1, 50, 51, 100}) {
        char name[64];
        std::snprintf(name, sizeof name, "Episode%d\\Levels\\Level%02d", n <= 50 ? 1 : 2, n <= 50 ? n : n - 50);
        IniFile level(name, 1);
        ASSERT_TRUE(level.IsOpen()) << name;
        const int height = level.GetInt("Level data", "Height", 0);
        EXPECT_GE(height, 150);
        char* grid = LoadResourceFile((std::string(name) + ".map").c_str(), 1);
        ASSERT_NE(grid, nullptr);
        EXPECT_EQ(GetLastResourceSize(), height * 20);
        FreeResourceBuffer(grid);
    }
    IniFile tiles("BackTiles\\Tiles.ini", 1);
    EXPECT_TRUE(tiles.HasSection("Tileset 19"));
}

TEST_F(GameReaders, EveryPictureDecodes) {
    size_t pictures = 0;
    for (const PackEntry& e : data->Entries()) {
        const std::string name = e.name.substr(5);
        const std::string ext = name.size() > 4 ? name.substr(name.size() - 4) : "";
        if (ext != ".tga" && ext != ".bmp") continue;
        Bitmap bmp;
        ASSERT_EQ(bmp.Load(name.c_str()), 1) << name;
        EXPECT_GT(bmp.width, 0) << name;
        EXPECT_GT(bmp.height, 0) << name;
        ++pictures;
    }
    EXPECT_GT(pictures, 150u);
    Bitmap blocks;
    ASSERT_EQ(blocks.Load("Blocks.tga"), 1);
    EXPECT_EQ(blocks.width, 256);
    EXPECT_EQ(blocks.height, 256);
}

TEST_F(GameReaders, AnimationScriptsNameTheirAnimations) {
    const std::pair<const char*, std::vector<const char*>> need[] = {
        {"Ship.anm", {"Normal", "Wide"}},
        {"ball.anm", {"Ball", "BallFire", "AssignedBall", "AssignedBallFire", "BallBoss"}},
        {"Boss.anm", {"Wait", "Arm", "Freeze", "Fire", "Reload"}},
        {"TPanel.anm", {"Appear"}},
        {"Cursor.anm", {"Cursor"}},
        {"Container.anm", {"Rotation"}},
        {"planet.anm", {"Rotation"}},
        {"Items\\Item19.anm", {"Rotation", "Stop"}},
        {"Enemies\\Enemy02.anm", {"Rotation"}},
        {"Credits\\Credit01.anm", {"Rotation"}},
        {"BackObjects\\ts0back5.anm", {"Rotation"}},
    };
    for (const auto& [file, anims] : need) {
        AnimationSet set;
        ASSERT_EQ(set.Load(file), 1) << file;
        EXPECT_GT(set.FrameCount(), 0) << file;
        for (const char* a : anims) {
            EXPECT_GE(set.FindAnimation(a), 0) << file << ": " << a;
            // The first tick shows a real frame.
            set.Animate(a, 1);
            EXPECT_GE(set.CurrentFrame(), 0) << file << ": " << a;
        }
    }
    // The ship's deck sits on the line where balls bounce (above the paddle's centre).
    AnimationSet ship;
    ASSERT_EQ(ship.Load("Ship.anm"), 1);
    ship.Animate("Wide", 1);
    EXPECT_EQ(ship.GetOffsetY(), -9);
    // The boss's arm animation ends, so its state machine moves on.
    AnimationSet boss;
    ASSERT_EQ(boss.Load("Boss.anm"), 1);
    boss.Animate("Arm", 1);
    int ticks = 1;
    while (!boss.IsFinished() && ticks < 1000) {
        boss.Animate(nullptr, 0);
        ++ticks;
    }
    EXPECT_LT(ticks, 200);
}

}  // namespace
