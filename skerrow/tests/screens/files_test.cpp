// The player's files and the data set when they are not what the game wrote: a save that cannot
// be written, texts from damaged files, a data set with a piece missing or damaged.
#include <gtest/gtest.h>

#include <signal.h>
#include <strings.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "GameProcess.h"
#include "platform/tests/support/png_reading.h"
#include "ScreenHarness.h"
#include "skerrow/Src/ResourceLocator.h"
#include "skerrow/Src/game/ScreenCommon.h"
#include "skerrow/data/PackWriter.h"

namespace {

class Files : public ScreensSuite {
protected:
    void SetUp() override
    {
        ScreensSuite::SetUp();
        if (HasFatalFailure()) return;
        ResetCampaign();
        g_clickedButtonId = 0;
    }
};

std::string Bytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Back-buffer pixels of a rectangle whose 8-bit channels pass `test`.
template <typename Test>
int CountPixels(int x0, int y0, int x1, int y1, Test test)
{
    uint16_t* pixels = nullptr;
    int pitch = 0;
    if (!LockSurface(g_display.backBuffer, &pixels, &pitch)) return -1;
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            const uint16_t p = pixels[y * pitch + x];
            const int r = (g_display.is555 ? (p >> 10 & 31) : (p >> 11 & 31)) * 255 / 31;
            const int g = g_display.is555 ? (p >> 5 & 31) * 255 / 31 : (p >> 5 & 63) * 255 / 63;
            const int b = (p & 31) * 255 / 31;
            n += test(r, g, b) ? 1 : 0;
        }
    UnlockSurface(g_display.backBuffer);
    return n;
}

// Types a title into slot 3 of the save screen and presses Enter.
void SaveIntoSlotThree(const char* title)
{
    g_saveScreen.SwitchScreen(0);
    Frame();
    ClickAt(260, 170 + 16 * 2 + 5);
    ASSERT_EQ(g_saveScreen.editedSlot, 2);
    g_saveScreen.title[0] = 0;
    for (const char* c = title; *c; ++c) SendKeyToScreen(static_cast<WPARAM>(*c), 0);
    SendKeyToScreen(13, 0);
    Frame();
}

// Runs `action` as on a full disk: no byte may be added to any file.
template <typename Action>
void OnAFullDisk(Action action)
{
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    const rlimit full{0, limit.rlim_max};
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &full);
    action();
    setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, previous);
}

// Red lettering (the notice of a file not saved) within a rectangle of the back buffer.
int RedPixels(int x0, int y0, int x1, int y1)
{
    return CountPixels(x0, y0, x1, y1, [](int r, int g, int b) { return r > 190 && g < 140 && b < 120; });
}

}  // namespace

// A save that cannot be written is told on the save screen, under the slots and in the screen's
// own lettering, with its cause; the slot leaves its editing and keeps its old file and title.
TEST_F(Files, AFailedSaveIsToldAndTheOldFileKept)
{
    StartAt(&g_menuScreenInstance);
    SaveGameRecord old;
    BuildSaveRecord(g_game, "Old", &old);
    ASSERT_EQ(WriteSaveSlot(2, old), 1);
    const std::string before = Bytes("game3.sav");

    OnAFullDisk([] { SaveIntoSlotThree("Pilot"); });
    EXPECT_EQ(GetCurrentScreen(), &g_saveScreen);
    EXPECT_EQ(g_saveScreen.editedSlot, -1);
    ASSERT_NE(g_saveScreen.notice, nullptr);
    EXPECT_STREQ(g_saveScreen.notice, "Not saved: the disk is full");
    EXPECT_STREQ(g_saveScreen.listing[2], "Old");
    EXPECT_EQ(Bytes("game3.sav"), before);
    EXPECT_FALSE(std::filesystem::exists("game3.sav.tmp"));
    Frame();
    SaveShot("save-not-saved");
    // The line is drawn in red under the ten slots.
    EXPECT_GT(RedPixels(120, 340, 520, 366), 20);
    // Escape now leaves the screen: nothing is still being edited.
    Key(DIK_ESCAPE);
    EXPECT_NE(GetCurrentScreen(), &g_saveScreen);

    // A folder the player may not write in. Root writes anywhere, so only another user sees it.
    if (geteuid() != 0) {
        const auto here = std::filesystem::current_path();
        std::filesystem::permissions(here, std::filesystem::perms::owner_write, std::filesystem::perm_options::remove);
        SaveIntoSlotThree("Pilot");
        std::filesystem::permissions(here, std::filesystem::perms::owner_write, std::filesystem::perm_options::add);
        ASSERT_NE(g_saveScreen.notice, nullptr);
        EXPECT_STREQ(g_saveScreen.notice, "Not saved: no permission to write here");
        EXPECT_EQ(Bytes("game3.sav"), before);
    }
    // Once the disk takes it again, the next try saves and the line goes.
    SaveIntoSlotThree("Pilot");
    EXPECT_EQ(g_saveScreen.notice, nullptr);
    SaveGameRecord now;
    ASSERT_EQ(ReadSaveSlot(2, &now), 1);
    EXPECT_STREQ(now.title, "Pilot");
    std::remove("game3.sav");
}

// A new hiscore whose table cannot be written is told under the table; the file keeps the old
// table, and the next name that can be written clears the notice.
TEST_F(Files, AFailedHiscoreWriteIsToldAndTheOldTableKept)
{
    StartAt(&g_menuScreenInstance);
    HiscoreEntry table[kHiscoreRows];
    DefaultHiscores(table);
    ASSERT_EQ(WriteHiscores(table), 1);
    const std::string before = Bytes(kHiscoreFileName);
    const auto enterHiscore = [](const char* name) {
        g_game.score = 999999;
        HiscoreScreen::SetScorePending(1);
        g_hiscoreScreen.SwitchScreen(0);
        Frame();
        ASSERT_EQ(g_hiscoreScreen.editedRow, 0);
        for (const char* c = name; *c; ++c) SendKeyToScreen(static_cast<WPARAM>(*c), 0);
        SendKeyToScreen(13, 0);
        Frame();
    };

    OnAFullDisk([&] { enterHiscore("Ace"); });
    ASSERT_NE(g_hiscoreScreen.notice, nullptr);
    EXPECT_STREQ(g_hiscoreScreen.notice, "Not saved: the disk is full");
    EXPECT_STREQ(g_hiscoreScreen.table[0].name, "Ace") << "the screen still shows the new name";
    EXPECT_EQ(Bytes(kHiscoreFileName), before);
    SaveShot("hiscore-not-saved");
    EXPECT_GT(RedPixels(120, 330, 520, 370), 20);

    enterHiscore("Ace");
    EXPECT_EQ(g_hiscoreScreen.notice, nullptr);
    HiscoreEntry now[kHiscoreRows];
    LoadHiscores(now);
    EXPECT_STREQ(now[0].name, "Ace");
    Frame();
    EXPECT_EQ(RedPixels(120, 330, 520, 370), 0);
    std::remove(kHiscoreFileName);
}

// Texts from files stay on their row and in their column: control bytes are not drawn, and a
// name is cut before it reaches the score.
TEST_F(Files, TextsFromDamagedFilesStayInTheirColumns)
{
    TrueTypeFont& font = SmallFont();
    char out[64];
    FitToColumn(font, 16, "Li\nne\r\t\x1b[2J\x7f", 500, out, sizeof out);
    EXPECT_STREQ(out, "Line[2J");
    FitToColumn(font, 16, "WWWWWWWWWWWWWWWWWWW", 100, out, sizeof out);
    EXPECT_LE(TextWidth(font, 16, out), 100);
    EXPECT_GT(TextWidth(font, 16, out), 100 - TextWidth(font, 16, "W"));
    FitToColumn(font, 16, "Dot", 100, out, sizeof out);
    EXPECT_STREQ(out, "Dot");

    // The first name (white) holds seven line feeds: drawn as they stand they would put its
    // letters in white among the red rows further down. The second (cyan) is 19 letters wide.
    uint8_t file[kHiscoreFileSize] = {};
    HiscoreEntry table[kHiscoreRows];
    DefaultHiscores(table);
    std::memcpy(table[0].name, "\n\n\n\n\n\n\nWWWW", 12);
    std::memcpy(table[1].name, "WWWWWWWWWWWWWWWWWWW", 19);
    for (int i = 0; i < kHiscoreRows; ++i) {
        std::memcpy(file + 24 * i, table[i].name, 20);
        std::memcpy(file + 24 * i + 20, &table[i].score, 4);
    }
    std::ofstream(kHiscoreFileName, std::ios::binary).write(reinterpret_cast<const char*>(file), sizeof file);
    StartAt(&g_menuScreenInstance);
    HiscoreScreen::SetScorePending(0);
    g_hiscoreScreen.SwitchScreen(0);
    Frames(2);
    SaveShot("hiscores-damaged-names");
    // Rows 7 to 9 are red: nothing white or blue may stand among them.
    EXPECT_EQ(CountPixels(210, 165 + 16 * 6, 431, 165 + 16 * 9 + 3, [](int, int, int b) { return b > 190; }), 0);
    // Between the end of the name's column and the score, row 1 shows only the background.
    const int scoreLeft = 430 - TextWidth(font, 16, "90000");
    EXPECT_EQ(CountPixels(scoreLeft - 6, 165 + 16 - 13, scoreLeft - 1, 165 + 16 + 3, [](int, int g, int) { return g > 150; }),
              0);
    std::remove(kHiscoreFileName);
}

#ifdef SKERROW_MENU_WIRED
namespace {

// A copy of a pack of the build with the stored name `name` spoilt, so that the game cannot
// find that file in it.
void CopyPackWithout(const std::string& pack, const std::string& name, const std::string& to)
{
    std::string bytes = Bytes(std::string(BUILD_ROOT) + "/data/skerrow/" + pack);
    const size_t at = bytes.find(name + std::string(1, '\0'));
    ASSERT_NE(at, std::string::npos) << name;
    bytes[at + name.size() - 1] = '#';
    std::ofstream(to, std::ios::binary) << bytes;
}

// A copy of a pack of the build whose stored file `name` holds `bytes` instead.
void CopyPackReplacing(const std::string& pack, const std::string& name, const std::string& bytes, const std::string& to)
{
    PackArchive archive;
    ASSERT_EQ(archive.Open((std::string(BUILD_ROOT) + "/data/skerrow/" + pack).c_str()), 1);
    std::vector<PackWriterEntry> entries;
    bool found = false;
    for (const PackEntry& e : archive.Entries()) {
        PackWriterEntry out{e.name, {}};
        if (strcasecmp(e.name.c_str(), name.c_str()) == 0) {
            out.data.assign(bytes.begin(), bytes.end());
            found = true;
        } else {
            int size = 0;
            char* data = archive.FindEntry(e.name.c_str(), &size);
            ASSERT_NE(data, nullptr) << e.name;
            out.data.assign(data, data + size);
            FreeResourceBuffer(data);
        }
        entries.push_back(out);
    }
    ASSERT_TRUE(found) << name;
    std::string error;
    ASSERT_TRUE(WritePackArchive(to, entries, "", &error)) << error;
}

// Bytes that are no text and no grid: a file overwritten with noise.
std::string Noise(size_t size, uint32_t seed)
{
    std::string bytes(size, '\0');
    for (char& c : bytes) {
        seed = seed * 1664525u + 1013904223u;
        c = static_cast<char>(seed >> 24);
    }
    return bytes;
}

}  // namespace

// The program started on a data set with its pack, a picture, the font or the texts missing, or
// its pack cut or zeroed: a message box names the file and how to mend it, and the program ends
// with a code that is not 0, instead of a black window or a menu without buttons or text.
TEST_F(Files, AMissingOrDamagedDataSetIsToldAndEndsTheProgram)
{
    const std::string data = std::string(BUILD_ROOT) + "/data/skerrow/";
    struct Case {
        const char* name;
        const char* told;  // what the box must name
    };
    const Case cases[] = {{"no-pack", "Ombrelit.dat is missing"},
                          {"cut-pack", "Ombrelit.dat is damaged"},
                          {"zeroed-pack", "Ombrelit.dat is damaged"},
                          {"no-logo", "Logo2.tga is missing from Ombrelit.dat"},
                          {"no-font", "LCDN.ttf is missing from Ombrelit.dat"},
                          {"no-texts", "Strings.txt is missing from Ombrelit.lng"},
                          {"damaged-texts", "Strings.txt is missing from Ombrelit.lng or damaged"}};
    for (const Case& c : cases) {
        const std::string dir = MakeGameFolder(std::string("data-") + c.name);
        const std::string pack = dir + "/Ombrelit.dat";
        const std::string name = c.name;
        std::filesystem::remove(pack);
        if (name == "cut-pack") {
            const std::string whole = Bytes(data + "Ombrelit.dat");
            std::ofstream(pack, std::ios::binary) << whole.substr(0, whole.size() / 2);
        } else if (name == "zeroed-pack") {
            std::ofstream(pack, std::ios::binary) << std::string(std::filesystem::file_size(data + "Ombrelit.dat"), '\0');
        } else if (name == "no-logo") {
            CopyPackWithout("Ombrelit.dat", "DATA\\Logo2.tga", pack);
        } else if (name == "no-font") {
            CopyPackWithout("Ombrelit.dat", "DATA\\LCDN.ttf", pack);
        } else if (name == "no-texts") {
            std::filesystem::create_symlink(data + "Ombrelit.dat", pack);
            std::filesystem::remove(dir + "/Ombrelit.lng");
            CopyPackWithout("Ombrelit.lng", "LANG\\Strings.txt", dir + "/Ombrelit.lng");
        } else if (name == "damaged-texts") {
            // Without the check every label and message of the game would be blank.
            std::filesystem::create_symlink(data + "Ombrelit.dat", pack);
            std::filesystem::remove(dir + "/Ombrelit.lng");
            CopyPackReplacing("Ombrelit.lng", "LANG\\Strings.txt", Noise(1500, 7), dir + "/Ombrelit.lng");
        }
        // Escape on the menu would end a game that started anyway, with 0.
        const int code = RunGame(dir, "40 key VK_ESCAPE\n200 quit\n");
        EXPECT_EQ(code, 255) << c.name;
        const std::string out = ReadText(dir + "/out.txt");
        EXPECT_NE(out.find("[message box] Ombrelit QRN: "), std::string::npos) << c.name << ": " << out;
        EXPECT_NE(out.find(c.told), std::string::npos) << c.name << ": " << out;
        EXPECT_NE(out.find("./run.sh skerrow"), std::string::npos) << c.name << ": " << out;
        EXPECT_NE(ReadText(dir + "/Log.txt").find(c.told), std::string::npos) << c.name;
    }
    // The whole data set starts as ever, without a box.
    const std::string dir = MakeGameFolder("data-whole");
    EXPECT_EQ(RunGame(dir, "40 key VK_ESCAPE\n200 quit\n"), 0);
    EXPECT_EQ(ReadText(dir + "/out.txt").find("[message box]"), std::string::npos);
}
#endif

#ifdef SKERROW_MENU_WIRED
// The program ended from outside (kill, Ctrl+C, the terminal closing) ends as QUIT does: the
// options the player chose are kept, on the options screen itself, after leaving it, and under a
// level (F10); the saves and hiscores are as they were. A link planted at the settings'
// temporary never receives them, and the empty temporary of a save killed earlier is cleared.
TEST_F(Files, EndedFromOutsideTheProgramKeepsItsOptions)
{
    // Where level 1 lies on the map of a new campaign, as the program will show it.
    StartAt(&g_menuScreenInstance);
    ClickAt(456, 199);
    Frames(31);
    int nodeX = 0, nodeY = 0;
    float scale = 0;
    ASSERT_TRUE(NodeScreen::NodePosition(g_game.levels[0], g_nodeScreenInstance.scroll, &nodeX, &nodeY, &scale));
    const std::string node = std::to_string(nodeX - 6) + " " + std::to_string(nodeY - 10);
    Key(DIK_ESCAPE);

    const std::string options = "20 click 456 343\n"  // OPTIONS
                                "35 click 329 269\n";  // Vanishing blocks
    struct Case {
        const char* name;
        int signal;
        std::string script;
    };
    const Case cases[] = {
        {"on-options", SIGTERM, options + "50 screenshot ready.png\n"},
        {"after-options", SIGHUP, options + "45 click 320 444\n60 screenshot ready.png\n"},
        {"in-a-level", SIGINT,
         "20 click 456 199\n80 click " + node + "\n82 click " + node +
             "\n120 key VK_F10\n140 click 329 269\n150 key VK_ESCAPE\n170 screenshot ready.png\n"},
    };
    for (const Case& c : cases) {
        const std::string dir = MakeGameFolder(std::string("signal-") + c.name);
        const std::string outside = dir + "-outside";
        std::ofstream(outside) << "not the game's";
        std::filesystem::create_symlink(outside, dir + "/Ombrelit.ini.tmp");
        std::ofstream(dir + "/game1.sav.tmp");
        std::ofstream(dir + "/game3.sav", std::ios::binary) << "a saved campaign";
        std::ofstream(dir + "/Ombrelit.hsc", std::ios::binary) << "a hiscore table";
        EXPECT_EQ(RunGameUntilSignalled(dir, c.script, "ready.png", c.signal), 0) << c.name;
        const std::string ini = ReadText(dir + "/Ombrelit.ini");
        EXPECT_NE(ini.find("Vanishing = 1\n"), std::string::npos) << c.name << ": " << ini;
        EXPECT_NE(ini.find("Fullscreen = 0\n"), std::string::npos) << c.name << ": " << ini;
        EXPECT_FALSE(std::filesystem::is_symlink(dir + "/Ombrelit.ini")) << c.name;
        EXPECT_EQ(ReadText(outside), "not the game's") << c.name;
        EXPECT_FALSE(std::filesystem::exists(dir + "/game1.sav.tmp")) << c.name;
        EXPECT_EQ(ReadText(dir + "/game3.sav"), "a saved campaign") << c.name;
        EXPECT_EQ(ReadText(dir + "/Ombrelit.hsc"), "a hiscore table") << c.name;
        const std::string log = ReadText(dir + "/Log.txt");
        EXPECT_NE(log.find("Save config\n"), std::string::npos) << c.name;
        if (std::string(c.name) == "in-a-level") {
            EXPECT_NE(log.find("Screen switched to GameScreen"), std::string::npos) << log;
        }
        std::filesystem::remove(outside);
    }
}
#endif

#ifdef SKERROW_MENU_WIRED
// A level file, its grid or the background tiles overwritten with noise: the map says the level
// cannot be played and stays, instead of playing an empty level (or one over the map's picture).
TEST_F(Files, ADamagedLevelOrTileFileIsToldOnTheMap)
{
    StartAt(&g_menuScreenInstance);
    ClickAt(456, 199);
    Frames(31);
    int nodeX = 0, nodeY = 0;
    float scale = 0;
    ASSERT_TRUE(NodeScreen::NodePosition(g_game.levels[0], g_nodeScreenInstance.scroll, &nodeX, &nodeY, &scale));
    const std::string node = std::to_string(nodeX - 6) + " " + std::to_string(nodeY - 10);
    Key(DIK_ESCAPE);
    const char* const damaged[] = {"DATA\\Episode1\\Levels\\Level01", "DATA\\Episode1\\Levels\\Level01.map",
                                   "DATA\\BackTiles\\Tiles.ini"};
    for (int i = 0; i < 3; ++i) {
        const char* file = damaged[i];
        const std::string dir = MakeGameFolder("damaged-" + std::to_string(i));
        std::filesystem::remove(dir + "/Ombrelit.dat");
        CopyPackReplacing("Ombrelit.dat", file, Noise(4000, 11), dir + "/Ombrelit.dat");
        // NEW GAME, a double click on level 1, a look at the map.
        const int code = RunGame(dir, "20 click 456 199\n80 click " + node + "\n82 click " + node +
                                          "\n100 screenshot map.png\n120 quit\n");
        EXPECT_EQ(code, 0) << file;
        const std::string log = ReadText(dir + "/Log.txt");
        EXPECT_NE(log.find("Level 1 cannot be played: "), std::string::npos) << file << "\n" << log;
        EXPECT_EQ(log.find("Screen switched to GameScreen"), std::string::npos) << file;
        // The message stands in red left of the map's planet.
        std::vector<uint8_t> rgb;
        int width = 0, height = 0;
        ASSERT_TRUE(ReadRgbPng(dir + "/map.png", rgb, width, height)) << file;
        int red = 0;
        for (int y = 130; y < 180; ++y)
            for (int x = 0; x < 498; ++x) {
                const uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
                red += p[0] > 190 && p[1] < 140 && p[2] < 120;
            }
        EXPECT_GT(red, 100) << file;
    }
}
#endif
