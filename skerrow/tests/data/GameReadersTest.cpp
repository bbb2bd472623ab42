// The generated data set read through the game's own readers: the resource locator with both
// packs mounted as the process entry mounts them, the INI reader, the image decoder and the
// animation scripts.
#include "skerrow/Src/Animation.h"
#include "skerrow/Src/Bitmap.h"
#include "skerrow/Src/IniFile.h"
#include "skerrow/Src/ResourceLocator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

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
        {"Credits\\Credit00.anm", {"Rotation", "Stop"}},
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

// A pixel the game draws: not the black key colour once taken to the display's 16 bits.
bool Shown(const Bitmap& sheet, int x, int y) {
    const uint32_t p = sheet.Pixel32(x, y);
    return (p >> 19 & 31) != 0 || (p >> 10 & 63) != 0 || (p >> 3 & 31) != 0;
}

// The box of the shown pixels of a rectangle of a sheet, relative to the rectangle; empty when
// nothing shows.
RECT ShownBox(const Bitmap& sheet, const RECT& r) {
    RECT box{r.right - r.left, r.bottom - r.top, 0, 0};
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            if (Shown(sheet, x, y)) {
                box.left = std::min<int32_t>(box.left, x - r.left);
                box.top = std::min<int32_t>(box.top, y - r.top);
                box.right = std::max<int32_t>(box.right, x - r.left + 1);
                box.bottom = std::max<int32_t>(box.bottom, y - r.top + 1);
            }
    return box;
}

// The shop shows each item centred in a 50 x 50 shelf place, its name written on the line at
// y 5 and its price (size 9) on the line at y 47: the picture standing on the shelf keeps between
// the two lines, and stands face on (as wide as it ever turns).
TEST_F(GameReaders, ShopPicturesFitBetweenNameAndPriceAndStandFaceOn) {
    std::vector<std::string> pictures = {"Credits\\Credit00"};
    for (int id = 3; id <= 22; ++id) {
        char name[32];
        std::snprintf(name, sizeof name, "Items\\Item%02d", id);
        pictures.push_back(name);
    }
    for (const std::string& base : pictures) {
        Bitmap sheet;
        ASSERT_EQ(sheet.Load((base + ".tga").c_str()), 1) << base;
        AnimationSet set;
        ASSERT_EQ(set.Load((base + ".anm").c_str()), 1) << base;
        int widest = 0;
        set.Animate("Rotation", 1);
        for (int tick = 0; tick < 100; ++tick, set.Animate(nullptr, 0)) {
            RECT r;
            set.GetFrameRect(&r);
            const RECT box = ShownBox(sheet, r);
            widest = std::max<int>(widest, box.right - box.left);
        }
        ASSERT_EQ(set.Animate("Stop", 1), 1) << base;
        RECT r;
        set.GetFrameRect(&r);
        const int w = r.right - r.left, h = r.bottom - r.top;
        const RECT box = ShownBox(sheet, r);
        ASSERT_LT(box.left, box.right) << base << ": nothing shows standing still";
        EXPECT_EQ(box.right - box.left, widest) << base << ": not face on";
        // Centred on (25, 25) of the place, as the shop draws it.
        const int left = 25 - w / 2, top = 25 - h / 2;
        EXPECT_GE(left + box.left, 0) << base;
        EXPECT_LE(left + box.right, 50) << base;
        EXPECT_GE(top + box.top, 5 + 3) << base << ": over the name";
        EXPECT_LE(top + box.bottom, 47 - 7) << base << ": over the price";
    }
}

// The level map types a level's name (size 16) on the line at y 35; the title picture drawn on
// every screen keeps below that line and above the screens' own headers at y 75.
TEST_F(GameReaders, TitleKeepsClearOfTheLevelNameLine) {
    IniFile frm("headers.frm", 1);
    ASSERT_TRUE(frm.IsOpen());
    Bitmap sheet;
    ASSERT_EQ(sheet.Load("headers.tga"), 1);
    bool found = false;
    for (int i = 1; i < 100 && !found; ++i) {
        char section[32], name[32], rect[64], offset[64];
        std::snprintf(section, sizeof section, "Sprite %d", i);
        if (!frm.GetString(section, "name", "", name, sizeof name)) break;
        if (std::string(name) != "Ombrelit") continue;
        found = true;
        frm.GetString(section, "rectsx", "", rect, sizeof rect);
        frm.GetString(section, "offsxy", "0, 0", offset, sizeof offset);
        int x = 0, y = 0, w = 0, h = 0, ox = 0, oy = 0;
        ASSERT_EQ(std::sscanf(rect, "%d, %d, %d, %d", &x, &y, &w, &h), 4) << rect;
        ASSERT_EQ(std::sscanf(offset, "%d, %d", &ox, &oy), 2) << offset;
        const RECT box = ShownBox(sheet, RECT{x, y, x + w, y + h});
        ASSERT_LT(box.top, box.bottom);
        EXPECT_GE(oy + box.top, 35 + 5) << "the title reaches the name's line";
        EXPECT_LE(oy + box.bottom, 75);
    }
    EXPECT_TRUE(found);
}

}  // namespace
