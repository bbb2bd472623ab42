// Checks of the generated data set, read back from the two packs with the readers of Readers.h.
#include "skerrow/data/Flood.h"
#include "skerrow/tests/data/Readers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>

namespace {

using namespace testread;

struct Packs {
    std::map<std::string, std::vector<uint8_t>> files;  // lower-case name without prefix
    std::map<std::string, std::string> prefix;
    std::string error;
};

const Packs& Load() {
    static Packs p = [] {
        Packs p;
        const std::string dir = std::string(BUILD_ROOT) + "/data/skerrow/";
        for (const char* pack : {"Ombrelit.dat", "Ombrelit.lng"}) {
            std::vector<PackFile> files;
            std::string why;
            if (!ParsePack(ReadFile(dir + pack), files, why)) {
                p.error += std::string(pack) + ": " + why + "; ";
                continue;
            }
            for (PackFile& f : files) {
                const size_t slash = f.name.find('\\');
                const std::string key = Lower(f.name.substr(slash + 1));
                p.prefix[key] = f.name.substr(0, slash + 1);
                p.files[key] = std::move(f.data);
            }
        }
        return p;
    }();
    return p;
}

bool Has(const std::string& name) { return Load().files.count(Lower(name)) > 0; }
std::string Text(const std::string& name) {
    auto it = Load().files.find(Lower(name));
    return it == Load().files.end() ? std::string() : std::string(it->second.begin(), it->second.end());
}
const std::vector<uint8_t>& Bin(const std::string& name) {
    static const std::vector<uint8_t> none;
    auto it = Load().files.find(Lower(name));
    return it == Load().files.end() ? none : it->second;
}
std::string Fmt(const char* f, int v) {
    char b[128];
    std::snprintf(b, sizeof b, f, v);
    return b;
}

struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
};

// Frame lists: "Sprite %d" sections from 1 until the first missing one.
std::map<std::string, Rect> FrmFrames(const std::string& text) {
    std::map<std::string, Rect> frames;
    for (int i = 1;; ++i) {
        const std::string sec = "Sprite " + std::to_string(i);
        bool found = false;
        for (const std::string& l : Lines(text))
            found = found || (l.find(sec) != std::string::npos && l.find('[') != std::string::npos && l.find(']') != std::string::npos);
        if (!found) break;
        const std::string name = Ini(text, sec, "name"), r = Ini(text, sec, "rectsx");
        Rect rc;
        std::sscanf(r.c_str(), "%d , %d , %d , %d", &rc.x, &rc.y, &rc.w, &rc.h);
        if (!name.empty() && !r.empty()) frames.emplace(Lower(name), rc);
    }
    return frames;
}

struct AnmSet {
    std::map<std::string, Rect> frames;
    std::map<std::string, std::vector<std::string>> anims;  // lower-case name -> frame names
    std::set<std::string> looping;
};

// Keywords are '*' plus a word; a block runs from the next '{' to its matching '}'.
AnmSet ParseAnm(const std::string& t) {
    AnmSet s;
    auto keyword = [&](size_t from, std::string& word) -> size_t {
        for (size_t i = t.find('*', from); i != std::string::npos; i = t.find('*', i + 1)) {
            size_t j = i + 1;
            while (j < t.size() && (isalnum(uint8_t(t[j])) || t[j] == '_')) ++j;
            if (j > i + 1) {
                word = t.substr(i + 1, j - i - 1);
                return j;
            }
        }
        return std::string::npos;
    };
    auto blockEnd = [&](size_t open) {
        int depth = 0;
        for (size_t i = open; i < t.size(); ++i) {
            if (t[i] == '{') ++depth;
            if (t[i] == '}' && --depth == 0) return i;
        }
        return t.size();
    };
    auto items = [&](size_t at) {
        std::vector<std::string> out;
        std::string cur;
        for (size_t i = at; i < t.size() && t[i] != '\n' && t[i] != '\r'; ++i) {
            if (t[i] == ',' || t[i] == ' ' || t[i] == '\t') {
                if (!cur.empty()) out.push_back(cur);
                cur.clear();
            } else {
                cur += t[i];
            }
        }
        if (!cur.empty()) out.push_back(cur);
        return out;
    };
    std::string word;
    for (size_t at = keyword(0, word); at != std::string::npos; at = keyword(at, word)) {
        if (Lower(word) == "all_frames") {
            const size_t open = t.find('{', at), close = blockEnd(open);
            for (size_t k = keyword(open, word); k != std::string::npos && k < close; k = keyword(k, word)) {
                auto it = items(k);
                Rect r;
                if (it.size() >= 5) r = {atoi(it[1].c_str()), atoi(it[2].c_str()), atoi(it[3].c_str()), atoi(it[4].c_str())};
                if (!it.empty()) s.frames[Lower(it[0])] = r;
            }
            at = close;
        } else if (Lower(word) == "animation") {
            const auto name = items(at);
            const size_t open = t.find('{', at), close = blockEnd(open);
            std::vector<std::string> frames;
            for (size_t k = keyword(open, word); k != std::string::npos && k < close; k = keyword(k, word)) {
                if (Lower(word) == "loop") s.looping.insert(name.empty() ? "" : Lower(name[0]));
                if (Lower(word) != "frame") continue;
                for (const std::string& item : items(k))
                    if (!(isdigit(uint8_t(item[0])) || item[0] == '-')) {
                        frames.push_back(Lower(item));
                        break;
                    }
            }
            if (!name.empty()) s.anims[Lower(name[0])] = frames;
            at = close;
        }
    }
    return s;
}

TEST(DataSet, BothPacksOpenAndEveryEntryInflates) {
    ASSERT_TRUE(Load().error.empty()) << Load().error;
    EXPECT_GT(Load().files.size(), 400u);
    EXPECT_EQ(Load().prefix.at("strings.txt"), "LANG\\");
    EXPECT_EQ(Load().prefix.at("blocks.tga"), "DATA\\");
}

TEST(DataSet, EveryFileTheGameAsksForExists) {
    std::vector<std::string> names = {
        "Logo2.tga", "OmbrelitQRN.tga", "Nodes\\Node.tga", "nodes\\node.tga", "panel.tga", "shelves.tga",
        "options.tga", "Hiscore.tga", "help\\MinPanel.tga", "help\\Items.tga", "OstrevLogo.tga", "Blocks.tga",
        "DarkPlanets.tga", "DarkPlanets.frm", "planet.anm", "Select.tga", "Select.frm", "NodeButtons.tga",
        "NodeButtons.frm", "menu.tga", "menu.frm", "OptionsHL.tga", "OptionsHL.frm", "ShopButtons.tga",
        "ShopButtons.frm", "HelpBtn.tga", "HelpBtn.frm", "headers.tga", "headers.frm", "Cursor.tga", "Ball.tga",
        "Ship.tga", "Misc.tga", "Misc.frm", "Buttons.tga", "TPanel.tga", "Container.tga", "Particles.tga",
        "Boss.tga", "Cursor.anm", "Flag.anm", "Ball.anm", "ball.anm", "Ship.anm", "Buttons.anm", "TPanel.anm",
        "Container.anm", "Boss.anm", "litSmall.tga", "litSmall.frm", "litMedium.tga", "litMedium.frm",
        "litBig.tga", "litBig.frm", "BackTiles\\Tiles.ini", "BackObjects\\ts0back5.anm", "LCDN.ttf",
        "Coordinates", "Strings.txt", "Items.txt", "happy.txt", "HitBlock.wav", "HitSolid.wav", "Spring.wav",
        "Fire.wav", "Activate.wav", "LifeLoss.wav", "KillEnemy.wav", "Explosion.wav", "barrier.wav", "fl1.s3m",
        "fl2.s3m", "fl3.s3m", "fl4.s3m", "arc_z.s3m", "ARC_Z.S3M", "arc3.s3m"};
    for (int i = 0; i < 8; ++i) names.push_back(Fmt("planet%d.tga", i));
    for (int i = 0; i <= 22; ++i) {
        names.push_back(Fmt("Items\\Item%02d.tga", i));
        names.push_back(Fmt("Items\\Item%02d.anm", i));
    }
    for (int i = 0; i < 3; ++i) {
        names.push_back(Fmt("Enemies\\Enemy%02d.tga", i));
        names.push_back(Fmt("Enemies\\Enemy%02d.anm", i));
    }
    for (int i = 0; i < 2; ++i) {
        names.push_back(Fmt("Credits\\Credit%02d.tga", i));
        names.push_back(Fmt("Credits\\Credit%02d.anm", i));
    }
    for (int i = 0; i < 4; ++i) names.push_back(Fmt("help\\help%d.txt", i));
    for (int set = 0; set < 20; ++set) {
        names.push_back("BackObjects\\ts" + std::to_string(set) + "back0.bmp");
        names.push_back("BackObjects\\ts" + std::to_string(set) + "back0.anm");
    }
    for (const std::string& n : names) EXPECT_TRUE(Has(n)) << n;
    // Every background object with a picture has its script (they load in pairs until one is missing).
    for (const auto& [name, bytes] : Load().files) {
        if (name.rfind("backobjects\\", 0) == 0 && name.size() > 4 && name.substr(name.size() - 4) == ".bmp") {
            EXPECT_TRUE(Has(name.substr(0, name.size() - 4) + ".anm")) << name;
        }
    }
}

TEST(DataSet, PicturesAreDecodableAndSizedAsDrawn) {
    for (const auto& [name, bytes] : Load().files) {
        const std::string ext = name.size() > 4 ? name.substr(name.size() - 4) : "";
        if (ext != ".tga" && ext != ".bmp") continue;
        const Image im = ImageInfo(bytes);
        EXPECT_TRUE(im.ok) << name;
        EXPECT_GT(im.w, 0) << name;
        EXPECT_EQ(im.w % 2, 0) << name;  // even widths, as the display layer expects
    }
    const std::pair<const char*, std::pair<int, int>> sizes[] = {
        {"Logo2.tga", {640, 480}}, {"Nodes\\Node.tga", {640, 480}}, {"panel.tga", {640, 80}},
        {"Blocks.tga", {256, 256}}, {"Particles.tga", {26, 35}}};
    for (const auto& [name, wh] : sizes) {
        const Image im = ImageInfo(Bin(name));
        EXPECT_EQ(im.w, wh.first) << name;
        EXPECT_EQ(im.h, wh.second) << name;
    }
}

TEST(DataSet, WholePicturesHaveNoHolesOfTheKeyColour) {
    // Drawn with black as the colour key, a pixel that becomes 0 in 565 or 555 would show
    // whatever lay below it.
    std::vector<std::string> names = {"Logo2.tga", "Nodes\\Node.tga", "Blocks.tga"};
    for (int set = 0; set < 20; ++set) names.push_back(Fmt("BackTiles\\Tiles%02d.tga", set));
    for (const std::string& name : names) {
        const std::vector<uint8_t>& b = Bin(name);
        const Image im = ImageInfo(b);
        ASSERT_TRUE(im.ok) << name;
        ASSERT_EQ(b[16], 24) << name;
        size_t holes = 0;
        const size_t start = 18 + b[0];
        for (size_t i = 0; i < size_t(im.w) * im.h; ++i) {
            const uint8_t* p = &b[start + 3 * i];
            holes += (p[0] >> 3) == 0 && (p[1] >> 3) == 0 && (p[2] >> 3) == 0;
        }
        if (name == "Blocks.tga") continue;  // its frames are fully painted; checked below
        EXPECT_EQ(holes, 0u) << name;
    }
    // Every block frame the levels can draw is painted edge to edge.
    const std::vector<uint8_t>& b = Bin("Blocks.tga");
    for (int f = 1; f <= 41; ++f)
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 32; ++x) {
                const int px = (f / 16) * 32 + x, py = 255 - ((f % 16) * 16 + y);  // rows stored bottom-up
                const uint8_t* p = &b[18 + 3 * (size_t(py) * 256 + px)];
                ASSERT_FALSE((p[0] >> 3) == 0 && (p[1] >> 3) == 0 && (p[2] >> 3) == 0) << "frame " << f;
            }
}

TEST(DataSet, FrameListsHoldTheFramesTheScreensUse) {
    const std::map<std::string, std::vector<std::string>> need = {
        {"menu", {"newgame_up", "newgame_down", "loadgame_up", "loadgame_down", "hiscores_up", "hiscores_down",
                  "options_up", "options_down", "instruction_up", "instruction_down", "quit_up", "quit_down"}},
        {"OptionsHL", {"mvol", "svol", "reverse", "vanishing", "slow", "fast", "m0", "m100", "s0", "s100", "r",
                       "v", "music", "sound", "quit", "quits"}},
        {"headers", {"Ombrelit", "Options", "hiscores", "Load", "quit", "quits"}},
        {"ShopButtons", {"buy_rel", "buy_push", "sell_rel", "sell_push", "back_rel", "back_push"}},
        {"HelpBtn", {"Prev", "Next", "prevs", "nexts"}},
        {"NodeButtons", {"down", "up"}},
        {"Select", {"Select"}},
        {"Misc", {"Bullet"}},
        {"litSmall", {"0", "9", "A", "Z", "%", ".", ":"}},
        {"litMedium", {"0", "9", "A", "Z", "%"}},
        {"litBig", {"0", "9", "A", "Z", "%"}},
    };
    for (const auto& [sheet, frames] : need) {
        const auto table = FrmFrames(Text(sheet + ".frm"));
        const Image im = ImageInfo(Bin(sheet + ".tga"));
        for (const std::string& f : frames) EXPECT_TRUE(table.count(Lower(f))) << sheet << ": " << f;
        for (const auto& [name, r] : table) {
            EXPECT_TRUE(r.w > 0 && r.h > 0 && r.x + r.w <= im.w && r.y + r.h <= im.h) << sheet << ": " << name;
            EXPECT_LE(name.size(), 31u);
        }
    }
    EXPECT_GE(FrmFrames(Text("DarkPlanets.frm")).size(), 8u);  // drawn by index 1..8
}

TEST(DataSet, AnimationScriptsHoldTheAnimationsTheCodeNames) {
    struct Need {
        std::string anm, image;
        std::vector<std::string> anims;
    };
    std::vector<Need> need = {
        {"Ship.anm", "Ship.tga", {"Normal", "Wide"}},
        {"Ball.anm", "Ball.tga", {"Ball", "BallFire", "AssignedBall", "AssignedBallFire", "BallBoss"}},
        {"Boss.anm", "Boss.tga", {"Wait", "Arm", "Freeze", "Fire", "Reload"}},
        {"TPanel.anm", "TPanel.tga", {"Appear"}},
        {"Cursor.anm", "Cursor.tga", {"Cursor"}},
        {"Container.anm", "Container.tga", {"Rotation"}},
        {"planet.anm", "planet0.tga", {"Rotation"}},
        {"Flag.anm", "Misc.tga", {}},
        {"Buttons.anm", "Buttons.tga", {"quit"}},
        {"BackObjects\\ts0back5.anm", "BackObjects\\ts0back5.bmp", {"Rotation"}},
    };
    for (int i = 0; i <= 22; ++i) need.push_back({Fmt("Items\\Item%02d.anm", i), Fmt("Items\\Item%02d.tga", i), {"Rotation", "Stop"}});
    for (int i = 0; i < 3; ++i) need.push_back({Fmt("Enemies\\Enemy%02d.anm", i), Fmt("Enemies\\Enemy%02d.tga", i), {"Rotation"}});
    for (int i = 0; i < 2; ++i) need.push_back({Fmt("Credits\\Credit%02d.anm", i), Fmt("Credits\\Credit%02d.tga", i), {"Rotation"}});
    for (const Need& n : need) {
        const AnmSet s = ParseAnm(Text(n.anm));
        const Image im = ImageInfo(Bin(n.image));
        EXPECT_FALSE(s.anims.empty()) << n.anm;
        EXPECT_LE(s.frames.size(), 128u) << n.anm;
        for (const std::string& a : n.anims) EXPECT_TRUE(s.anims.count(Lower(a))) << n.anm << ": " << a;
        for (const auto& [name, frames] : s.anims) {
            EXPECT_FALSE(frames.empty()) << n.anm << ": " << name;
            for (const std::string& f : frames) EXPECT_TRUE(s.frames.count(f)) << n.anm << ": " << name << " -> " << f;
        }
        for (const auto& [name, r] : s.frames)
            EXPECT_TRUE(r.w > 0 && r.h > 0 && r.x + r.w <= im.w && r.y + r.h <= im.h) << n.anm << ": " << name;
    }
    // The boss waits for these to finish before its next state; the message panel stays open.
    const AnmSet boss = ParseAnm(Text("Boss.anm"));
    for (const char* a : {"arm", "freeze", "fire", "reload"}) EXPECT_FALSE(boss.looping.count(a)) << a;
    EXPECT_TRUE(boss.looping.count("wait"));
    EXPECT_FALSE(ParseAnm(Text("TPanel.anm")).looping.count("appear"));
}

TEST(DataSet, StringsResolveToTheirOwnLinesUnderTheSubstringRule) {
    const std::string text = Text("Strings.txt");
    const char* keys[] = {"PressKey", "Loading", "Select", "Score", "Completed", "Buy", "Sell", "Back", "Musvol",
                          "Sndvol", "Reverse", "Start", "Upgrade", "Save", "Quit", "NewGame", "LoadGame",
                          "HiScore", "Options", "Help", "QuitGame", "ScrollSpeed", "Fast", "Slow", "F10game",
                          "Continue", "Vanish", "Donthave1", "Donthave2", "Descript", "ActiveTime", "SellPrice",
                          "BuyPrice", "Exchange", "Instant", "EmptySlot", "Pause", "Version", "Page", "Level",
                          "Closelevel"};
    const std::vector<std::string> lines = Lines(text);
    for (const char* key : keys) {
        const auto found = IniFind(text, "All strings", key);
        ASSERT_TRUE(found) << key;
        const std::string& line = lines[size_t(found->second)];
        std::string own = line.substr(0, line.find('='));
        while (!own.empty() && own.back() == ' ') own.pop_back();
        EXPECT_EQ(own, key) << "answered by: " << line;
        EXPECT_LE(found->first.size(), 63u) << key;
        const size_t percents = std::count(found->first.begin(), found->first.end(), '%');
        if (std::string(key) == "Exchange") {
            EXPECT_EQ(percents, 1u);
            EXPECT_NE(found->first.find("%d"), std::string::npos);
        } else {
            EXPECT_EQ(percents, 0u) << key;
        }
    }
}

TEST(DataSet, ItemCatalogueHasEverySection) {
    const char* ids[] = {"ITEM_CREDIT1", "ITEM_CREDIT2", "ITEM_BALL", "ITEM_WIDE_BUSTER", "ITEM_INCREASE_SPEED",
                         "ITEM_DECREASE_SPEED", "ITEM_ADD_BALL", "ITEM_CANNON", "ITEM_FREE_FLY", "ITEM_PIERCING",
                         "ITEM_CREDITS_ATTRACTOR", "ITEM_SCREAMER", "ITEM_SNIPER", "ITEM_TIMEZIP",
                         "ITEM_BALL_ATTRACTOR", "ITEM_RUBBER", "ITEM_SHADOW", "ITEM_BOMB", "ITEM_TIMEBOMB",
                         "ITEM_INVISIBLE", "ITEM_DETONATOR", "ITEM_SHIELD"};
    const std::string text = Text("Items.txt");
    std::set<std::string> names;
    for (const char* id : ids) {
        // The section found must be the item's own: "ITEM_BALL" must not land on ITEM_BALL_ATTRACTOR.
        const auto name = IniFind(text, id, "Name");
        ASSERT_TRUE(name) << id;
        const std::string header = Lines(text)[size_t(name->second) - 3];
        EXPECT_EQ(header, std::string("[") + id + "]");
        const int active = atoi(Ini(text, id, "Active time").c_str()), price = atoi(Ini(text, id, "Price").c_str());
        // An active time of 0 would never count down to its end in the effect timers.
        EXPECT_GT(active, 0) << id;
        EXPECT_LE(active, 32767) << id;
        EXPECT_GT(price, 0) << id;
        EXPECT_LE(name->first.size(), 31u) << id;
        EXPECT_LE(Ini(text, id, "Description").size(), 127u) << id;
        EXPECT_TRUE(names.insert(name->first).second) << id;
    }
}

TEST(DataSet, HelpPagesAndEndingFitTheirBuffers) {
    for (int i = 0; i < 4; ++i) {
        const std::string t = Text(Fmt("help\\help%d.txt", i));
        EXPECT_FALSE(t.empty());
        EXPECT_LT(t.size(), 1024u);
        EXPECT_EQ(t.find('%'), std::string::npos);
        for (const std::string& l : Lines(t)) EXPECT_LE(l.size(), 62u) << l;
        EXPECT_LE(Lines(t).size(), 16u);
    }
    const std::string happy = Text("happy.txt");
    EXPECT_LT(happy.size(), 1024u);
    EXPECT_EQ(happy.find('%'), std::string::npos);
}

// The game calls itself OMBRELIT QRN everywhere (window, menu, headers): so do the texts it
// shows (the version, the help, the ending) and the titles of its music.
TEST(DataSet, TextsNameTheGameAsItNamesItself) {
    EXPECT_EQ(Ini(Text("Strings.txt"), "All strings", "Version"), "Ombrelit QRN 1.0");
    EXPECT_NE(Text("help\\help0.txt").find("Ombrelit QRN is a brick-breaker"), std::string::npos);
    EXPECT_NE(Text("happy.txt").find("Thank you for playing Ombrelit QRN."), std::string::npos);
    int modules = 0;
    for (const auto& [name, bytes] : Load().files) {
        const std::string text(bytes.begin(), bytes.end());
        EXPECT_EQ(Lower(text).find("skerrow"), std::string::npos) << name;
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".s3m") == 0) {
            EXPECT_EQ(text.rfind("Ombrelit QRN - ", 0), 0u) << name;
            ++modules;
        }
    }
    EXPECT_EQ(modules, 6);
}

struct LevelFile {
    int height = 0, types = 0;
    std::vector<int> hits;
    std::vector<uint8_t> grid;
    std::vector<int> prerequisites;
};

std::string LevelName(int n) {
    return n <= 50 ? Fmt("Episode1\\Levels\\Level%02d", n) : Fmt("Episode2\\Levels\\Level%02d", n - 50);
}

LevelFile ReadLevel(int n) {
    LevelFile lv;
    const std::string t = Text(LevelName(n));
    lv.height = atoi(Ini(t, "Level data", "Height").c_str());
    lv.types = atoi(Ini(t, "Level data", "Max blocks types").c_str());
    for (int k = 1; k <= lv.types; ++k) lv.hits.push_back(atoi(Ini(t, "Block type " + std::to_string(k), "Hit counter").c_str()));
    lv.grid = Bin(LevelName(n) + ".map");
    // The map's rule: numbers of the levels after 51 are counted within the second episode.
    const std::string req = Ini(t, "Level data", "Requires");
    size_t at = 0;
    while (at < req.size()) {
        const size_t comma = req.find(',', at);
        const int b = atoi(req.substr(at, comma - at).c_str());
        if (b) lv.prerequisites.push_back(n - 1 > 50 ? b + 50 : b);
        at = comma == std::string::npos ? req.size() : comma + 1;
    }
    return lv;
}

TEST(DataSet, LevelsAreWellFormedVariedAndCompletable) {
    std::set<std::vector<uint8_t>> grids;
    int early = 0, late = 0;
    for (int n = 1; n <= 100; ++n) {
        SCOPED_TRACE("level " + std::to_string(n));
        const std::string t = Text(LevelName(n));
        ASSERT_FALSE(t.empty());
        EXPECT_FALSE(Ini(t, "Level data", "Name").empty());
        EXPECT_LE(Ini(t, "Level data", "Name").size(), 31u);
        EXPECT_LE(Ini(t, "Level data", "Text").size(), 255u);
        const LevelFile lv = ReadLevel(n);
        EXPECT_GE(lv.height, 150);
        EXPECT_LE(lv.height, 500);
        ASSERT_GE(lv.types, 1);
        ASSERT_EQ(lv.grid.size(), size_t(lv.height) * 20);
        for (uint8_t v : lv.grid) ASSERT_LE(v, lv.types);
        for (int c = 0; c < 20; ++c) EXPECT_EQ(lv.grid[size_t(lv.height - 1) * 20 + c], 0);
        if (n <= 20) early += lv.height;
        if (n > 80) late += lv.height;
        EXPECT_TRUE(grids.insert(lv.grid).second) << "two levels alike";
        size_t blocks = 0;
        for (uint8_t v : lv.grid) blocks += v != 0;
        EXPECT_GT(blocks, size_t(lv.height) * 3);

        // From the bottom row, every block that can break and the top row must be reachable
        // without crossing an indestructible block.
        auto wall = [&](int r, int c) {
            const uint8_t v = lv.grid[size_t(r) * 20 + c];
            return v && lv.hits[v - 1] == 0;
        };
        const std::vector<uint8_t> cells = FloodFromBottom(lv.height, 20, [&](int r, int c) { return !wall(r, c); });
        size_t sealed = 0;
        for (int r = 0; r < lv.height; ++r)
            for (int c = 0; c < 20; ++c) sealed += !wall(r, c) && !cells[size_t(r) * 20 + c];
        EXPECT_EQ(sealed, 0u);
        EXPECT_NE(std::count(cells.begin(), cells.begin() + 20, 1), 0);

        // The same for a ball that needs an opening two cells wide, as every gate in the levels
        // is: a way that leads only through a one-cell slot, such as one along a side wall, is
        // a way a ball all but never finds. Window c covers columns c and c + 1.
        auto clear = [&](int r, int c) { return !wall(r, c) && !wall(r, c + 1); };
        const std::vector<uint8_t> wide = FloodFromBottom(lv.height, 19, clear);
        size_t shut = 0;
        for (int r = 0; r < lv.height; ++r)
            for (int c = 0; c < 19; ++c) shut += clear(r, c) && !wide[size_t(r) * 19 + c];
        EXPECT_EQ(shut, 0u) << "places two cells wide shut off but through narrower slots";
        EXPECT_NE(std::count(wide.begin(), wide.begin() + 19, 1), 0) << "the top only through a one-cell slot";
    }
    EXPECT_GT(late, early + 20 * 150);  // levels grow longer across the campaign
}

TEST(DataSet, RequirementsFormABranchingGraphThatReachesEveryLevel) {
    std::vector<std::vector<int>> req(101);
    std::map<int, int> children;
    for (int n = 1; n <= 100; ++n) {
        req[n] = ReadLevel(n).prerequisites;
        for (int b : req[n]) {
            EXPECT_GE(b, 1) << n;
            EXPECT_LT(b, n) << "level " << n << " prerequisites a later level: no order could open both";
            ++children[b];
        }
    }
    EXPECT_TRUE(req[1].empty());
    // Open levels in rounds as the player would: all prerequisites completed.
    std::vector<bool> done(101, false);
    for (bool changed = true; changed;) {
        changed = false;
        for (int n = 1; n <= 100; ++n) {
            if (done[n]) continue;
            bool ok = true;
            for (int b : req[n]) ok = ok && b >= 1 && b <= 100 && done[b];
            if (ok) done[n] = changed = true;
        }
    }
    for (int n = 1; n <= 100; ++n) EXPECT_TRUE(done[n]) << "level " << n << " can never open";
    int forks = 0;
    for (const auto& [b, count] : children) forks += count >= 2;
    EXPECT_GE(forks, 10);
}

TEST(DataSet, CoordinatesPlaceEveryNodeRisingAlongThePath) {
    const std::string t = Text("Coordinates");
    int lastY = -1;
    for (int n = 1; n <= 100; ++n) {
        const auto v = IniFind(t, "Coordinates", "Level " + std::to_string(n));
        ASSERT_TRUE(v) << n;
        EXPECT_EQ(v->second, n) << "\"Level " << n << "\" answered by another line";
        int x = -1, y = -1;
        ASSERT_EQ(std::sscanf(v->first.c_str(), "%d, %d", &x, &y), 2);
        EXPECT_GT(y, lastY);
        EXPECT_LE(y, 1755 + 300);  // reachable with the map's largest scroll
        // On screen x' = (x - 329) * f + 320 with f up to 1.39 at the bottom of the view.
        EXPECT_GT((x - 329) * 1.39 + 320, 20);
        EXPECT_LT((x - 329) * 1.39 + 320, 620);
        lastY = y;
    }
}

TEST(DataSet, TileSetsDescribeTheirPictures) {
    const std::string ini = Text("BackTiles\\Tiles.ini");
    for (int set = 0; set < 20; ++set) {
        const std::string sec = Fmt("Tileset %02d", set);
        const std::string file = Ini(ini, sec, "TGA File");
        ASSERT_TRUE(Has(file)) << sec << " " << file;
        const Image im = ImageInfo(Bin(file));
        int weight = 0;
        for (int k = 0; k < 32; ++k) {
            weight += atoi(Ini(ini, sec, Fmt("TileFreq %02d", k)).c_str());
            Rect r;
            ASSERT_EQ(std::sscanf(Ini(ini, sec, Fmt("TileRect %02d", k)).c_str(), "%d, %d, %d, %d", &r.x, &r.y, &r.w, &r.h), 4);
            EXPECT_EQ(r.w, 80);
            EXPECT_EQ(r.h, 80);
            EXPECT_LE(r.x + r.w, im.w);
            EXPECT_LE(r.y + r.h, im.h);
        }
        EXPECT_GT(weight, 0) << sec;
    }
}

TEST(DataSet, SoundEffectsAreWavesTheLoaderAccepts) {
    for (const char* name : {"HitBlock.wav", "HitSolid.wav", "Spring.wav", "Fire.wav", "Activate.wav",
                             "LifeLoss.wav", "KillEnemy.wav", "Explosion.wav", "barrier.wav"}) {
        const std::vector<uint8_t>& b = Bin(name);
        ASSERT_GE(b.size(), 44u) << name;
        EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "RIFF");
        EXPECT_EQ(std::string(b.begin() + 8, b.begin() + 16), "WAVEfmt ");
        const uint32_t fmt = Le32(b, 16);
        EXPECT_EQ(Le16(b, 20), 1) << name;  // PCM
        const size_t data = 20 + fmt;
        EXPECT_EQ(std::string(b.begin() + data, b.begin() + data + 4), "data") << name;
        const uint32_t size = Le32(b, data + 4);
        EXPECT_EQ(data + 8 + size, b.size()) << name;
        const double seconds = double(size) / Le32(b, 28);
        EXPECT_GT(seconds, 0.05) << name;
        EXPECT_LT(seconds, 2.0) << name;
    }
}

// Plays a module's order list as the player does (rows, speed, tempo, B and C jumps) and
// returns the seconds until it loops (or ends).
double ModuleSeconds(const std::vector<uint8_t>& b, std::string& fault) {
    if (b.size() < 96 || std::string(b.begin() + 44, b.begin() + 48) != "SCRM") return fault = "no SCRM", 0;
    const int orders = Le16(b, 32), ins = Le16(b, 34), pats = Le16(b, 36);
    int channels = 0;
    for (int c = 0; c < 32; ++c) channels += b[64 + c] < 16;
    for (int i = 0; i < ins; ++i) {
        const size_t at = size_t(Le16(b, 96 + orders + 2 * i)) * 16;
        if (at + 80 > b.size() || std::string(b.begin() + at + 76, b.begin() + at + 80) != "SCRS") return fault = "instrument", 0;
        const size_t data = ((size_t(b[at + 13]) << 16) + Le16(b, at + 14)) * 16;
        if (data + Le32(b, at + 16) > b.size()) return fault = "sample beyond the file", 0;
    }
    std::vector<std::vector<uint8_t>> cmd(pats), info(pats);
    for (int p = 0; p < pats; ++p) {
        const size_t at = size_t(Le16(b, 96 + orders + 2 * ins + 2 * p)) * 16;
        cmd[p].assign(64 * 32, 0);
        info[p].assign(64 * 32, 0);
        size_t i = at + 2;
        for (int row = 0; row < 64 && i < b.size();) {
            const uint8_t what = b[i++];
            if (!what) {
                ++row;
                continue;
            }
            if ((what & 31) >= channels) return fault = "cell beyond the channels", 0;
            if (what & 0x20) {
                const uint8_t note = b[i], inst = b[i + 1];
                if (note != 254 && note != 255 && ((note & 15) > 11)) return fault = "bad note", 0;
                if (inst > ins) return fault = "missing instrument", 0;
                i += 2;
            }
            if (what & 0x40) {
                if (b[i] > 64) return fault = "volume above 64", 0;
                ++i;
            }
            if (what & 0x80) {
                const char letter = char('A' + b[i] - 1);
                if (std::string("ABCDEFGHJKLORSTUV").find(letter) == std::string::npos) return fault = std::string("unsupported command ") + letter, 0;
                cmd[p][size_t(row) * 32 + (what & 31)] = b[i];
                info[p][size_t(row) * 32 + (what & 31)] = b[i + 1];
                i += 2;
            }
        }
    }
    int speed = b[49], tempo = b[50], order = 0, row = 0;
    double seconds = 0;
    std::set<std::pair<int, int>> visited;
    while (order < orders) {
        const int pat = b[96 + order];
        if (pat == 254) {
            ++order;
            continue;
        }
        if (pat >= pats) break;
        if (!visited.insert({order, row}).second) break;  // looped
        int nextOrder = -1, nextRow = 0;
        for (int ch = 0; ch < channels; ++ch) {
            const int c = cmd[pat][size_t(row) * 32 + ch], v = info[pat][size_t(row) * 32 + ch];
            if (c == 1 && v >= 1 && v < 32) speed = v;
            if ((c == 1 && v >= 32) || (c == 20 && v >= 32)) tempo = v;
            if (c == 2) nextOrder = v;
            if (c == 3) {
                nextOrder = order + 1;
                nextRow = (v >> 4) * 10 + (v & 15);
            }
        }
        seconds += speed * 2.5 / tempo;
        if (nextOrder >= 0) {
            order = nextOrder;
            row = nextRow;
        } else if (++row == 64) {
            row = 0;
            ++order;
        }
    }
    return seconds;
}

TEST(DataSet, ModulesUseOnlyWhatThePlayerSupportsAndLastSensibly) {
    for (const char* name : {"fl1.s3m", "fl2.s3m", "fl3.s3m", "fl4.s3m", "arc_z.s3m", "arc3.s3m"}) {
        std::string fault;
        const double s = ModuleSeconds(Bin(name), fault);
        EXPECT_TRUE(fault.empty()) << name << ": " << fault;
        EXPECT_GT(s, 30.0) << name;
        EXPECT_LT(s, 240.0) << name;
    }
}

// The data set ships the settings a player starts with (sound on, the game's defaults), and a
// new data set never writes over a settings file that is already there.
TEST(DataSet, DefaultSettingsAreWrittenOnceAndNeverOverAnExistingFile) {
    const std::string shipped =
        "[Settings]\nFullscreen = 1\nSound enable = 1\nSound volume = 70\nMusic volume = 50\n"
        "Reverse stereo = 1\nScroll speed = 1\nVanishing = 0\n";
    const std::string dir = std::string(BUILD_ROOT) + "/skerrow-data-settings";
    std::filesystem::remove_all(dir);
    const std::string cmd = std::string("\"") + GENERATOR + "\" --out \"" + dir + "\" > /dev/null";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    EXPECT_EQ(FileText(dir + "/Ombrelit.ini"), shipped);
    EXPECT_FALSE(std::filesystem::exists(dir + "/Ombrelit.ini.tmp"));

    const std::string own = "[Settings]\nFullscreen = 0\nSound enable = 0\nSound volume = 12\n";
    { std::ofstream(dir + "/Ombrelit.ini", std::ios::binary | std::ios::trunc) << own; }
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    EXPECT_EQ(FileText(dir + "/Ombrelit.ini"), own);
    std::filesystem::remove_all(dir);
}

TEST(DataSet, GeneratorIsDeterministic) {
    const std::string dir = std::string(BUILD_ROOT) + "/skerrow-data-determinism";
    const std::string cmd = std::string("\"") + GENERATOR + "\" --out \"" + dir + "\" > /dev/null";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    for (const char* pack : {"Ombrelit.dat", "Ombrelit.lng"}) {
        const auto a = ReadFile(dir + "/" + pack), b = ReadFile(std::string(BUILD_ROOT) + "/data/skerrow/" + pack);
        EXPECT_FALSE(a.empty());
        EXPECT_TRUE(a == b) << pack;
    }
}

}  // namespace
