// The folder of the player's own that ./run.sh starts each game in: made on first start under
// the XDG data home, reaching the generated data set through links, and keeping the player's
// settings, saves, screenshots and log when the build is deleted and the data set made again.
// Everything happens under a scratch HOME in the build tree.
#include <gtest/gtest.h>

#include "desktop_process.h"

namespace fs = std::filesystem;
using namespace desktop;

namespace {

const char kDefaultSettings[] =
    "[Settings]\nFullscreen = 1\nSound enable = 1\nSound volume = 70\nMusic volume = 50\n"
    "Reverse stereo = 1\nScroll speed = 1\nVanishing = 0\n";

class PlayerFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = fs::path(BUILD_ROOT) / "desktop-runs" /
               (std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "-" +
                std::to_string(getpid()));
        fs::remove_all(root);
        home = root / "home";
        fs::create_directories(home);
    }
    void TearDown() override
    {
        std::error_code ec;
        if (!HasFailure()) fs::remove_all(root, ec);
    }

    // tools/player-folder.sh as run.sh runs it; the folder it printed.
    std::string Prepare(const std::string& game, const fs::path& data, const std::string& xdgDataHome = "")
    {
        const fs::path out = root / "prepare.out";
        const int code = desktop::Run({"/bin/bash", std::string(SOURCE_ROOT) + "/tools/player-folder.sh", game, data.string()},
                             Environment({{"HOME", home.string()}, {"XDG_DATA_HOME", xdgDataHome}}), {}, out.string());
        std::string text = FileText(out);
        EXPECT_EQ(code, 0) << text;
        while (!text.empty() && text.back() == '\n') text.pop_back();
        return text;
    }

    int Generate(const fs::path& data)
    {
        return desktop::Run({SKERROW_DATA_GENERATOR, "--out", data.string()}, Environment({}), {}, (root / "gen.out").string());
    }

    // The game in `folder` headless, driven by `script`, its sound captured to `root`/sound.raw
    // by SDL's disk driver; its exit code.
    int PlaySkerrow(const fs::path& folder, const std::string& script, const std::string& audio = "disk",
                    const std::string& debugOutput = "")
    {
        WriteText(root / "script.txt", script);
        return desktop::Run({SKERROW_BINARY},
                   Environment({{"SDL_VIDEODRIVER", "offscreen"},
                                {"PLATFORM_DEBUG_OUTPUT", debugOutput},
                                {"SDL_AUDIODRIVER", audio},
                                {"SDL_DISKAUDIOFILE", (root / "sound.raw").string()},
                                {"PLATFORM_FIXED_STEP_MS", "20"},
                                {"PLATFORM_SCRIPT", (root / "script.txt").string()},
                                {"XDG_RUNTIME_DIR", root.string()},
                                {"HOME", home.string()}}),
                   folder.string(), (root / "game.out").string(), 120);
    }

    fs::path root, home;
};

}  // namespace

TEST_F(PlayerFolder, SkerrowFolderIsMadeOnFirstStartAndKeptAcrossARebuild)
{
    const fs::path build = root / "build";
    const fs::path data = build / "data" / "skerrow";
    ASSERT_EQ(Generate(data), 0) << FileText(root / "gen.out");

    const fs::path folder = Prepare("skerrow", data);
    EXPECT_EQ(folder, home / ".local" / "share" / "skerrow");
    ASSERT_TRUE(fs::is_directory(folder));
    for (const char* pack : {"Ombrelit.dat", "Ombrelit.lng"}) {
        EXPECT_TRUE(fs::is_symlink(folder / pack)) << pack;
        EXPECT_EQ(fs::canonical(folder / pack), fs::canonical(data / pack)) << pack;
    }
    // The default settings are the player's own copy, with the sound on.
    ASSERT_TRUE(fs::is_regular_file(fs::symlink_status(folder / "Ombrelit.ini")));
    EXPECT_EQ(FileText(folder / "Ombrelit.ini"), kDefaultSettings);

    // A session: a new game saved into slot 3, a screenshot, out through the menu.
    const int code = PlaySkerrow(folder, "15 click 456 199\n"
                                         "65 click 397 441\n"
                                         "80 click 260 207\n"
                                         "85 text Pilot\n"
                                         "90 key VK_RETURN\n"
                                         "100 key VK_SNAPSHOT\n"
                                         "110 key VK_ESCAPE\n"
                                         "130 key VK_ESCAPE\n"
                                         "400 quit\n");
    ASSERT_EQ(code, 0) << FileText(root / "game.out");
    // The first start is not silent: the music plays.
    const std::string sound = FileText(root / "sound.raw");
    EXPECT_GT(sound.size(), 44100u) << "less than a quarter second of sound was captured";
    size_t loud = 0;
    for (size_t i = 0; i + 1 < sound.size(); i += 2) {
        const int16_t sample = static_cast<int16_t>(static_cast<uint8_t>(sound[i]) | static_cast<uint8_t>(sound[i + 1]) << 8);
        loud += sample > 500 || sample < -500;
    }
    EXPECT_GT(loud, sound.size() / 100) << "the captured sound is silent";
    for (const char* own : {"game3.sav", "screen00.pcx", "Log.txt", "Ombrelit.ini"})
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(folder / own))) << own;
    // Nothing of the session went into the build.
    for (const char* own : {"game3.sav", "screen00.pcx", "Log.txt"}) EXPECT_FALSE(fs::exists(data / own)) << own;
    const std::string save = FileText(folder / "game3.sav");
    ASSERT_EQ(save.size(), 280u);

    // The player's own settings, then `rm -rf build` and a new data set.
    const std::string own = "[Settings]\nFullscreen = 0\nSound enable = 1\nSound volume = 20\nMusic volume = 33\n"
                            "Reverse stereo = 0\nScroll speed = 0\nVanishing = 1\n";
    WriteText(folder / "Ombrelit.ini", own);
    fs::remove_all(build);
    EXPECT_FALSE(fs::exists(folder / "Ombrelit.dat"));  // a dangling link until the data set is back
    ASSERT_EQ(Generate(data), 0);
    EXPECT_EQ(Prepare("skerrow", data), folder.string());
    EXPECT_EQ(FileText(folder / "Ombrelit.ini"), own);
    EXPECT_EQ(FileText(folder / "game3.sav"), save);
    EXPECT_TRUE(fs::exists(folder / "screen00.pcx"));
    EXPECT_TRUE(fs::exists(folder / "Ombrelit.dat"));

    // The game plays on from the folder and keeps the player's settings at its exit.
    ASSERT_EQ(PlaySkerrow(folder, "20 key VK_ESCAPE\n200 quit\n"), 0) << FileText(root / "game.out");
    const std::string after = FileText(folder / "Ombrelit.ini");
    EXPECT_NE(after.find("Fullscreen = 0\n"), std::string::npos) << after;
    EXPECT_NE(after.find("Music volume = 33\n"), std::string::npos) << after;
    EXPECT_NE(after.find("Sound volume = 20\n"), std::string::npos) << after;
}

TEST_F(PlayerFolder, LinksFollowTheDataSetAndNeverReplaceThePlayersFiles)
{
    const fs::path data = root / "build" / "data" / "skerrow";
    fs::create_directories(data / "Extra");
    WriteText(data / "Ombrelit.dat", "pack");
    WriteText(data / "Notes.txt", "from the data set");
    const fs::path folder = Prepare("skerrow", data);
    EXPECT_TRUE(fs::is_symlink(folder / "Extra"));
    EXPECT_TRUE(fs::is_symlink(folder / "Notes.txt"));
    // No settings in the data set: the game's own start values apply; nothing is invented.
    EXPECT_FALSE(fs::exists(fs::symlink_status(folder / "Ombrelit.ini")));

    // A file of the player's that bears a data set's name stays theirs.
    fs::remove(folder / "Notes.txt");
    WriteText(folder / "Notes.txt", "the player's");
    // A data set without "Extra": its link goes; a new entry gets one.
    fs::remove_all(data / "Extra");
    WriteText(data / "New.txt", "new");
    Prepare("skerrow", data);
    EXPECT_FALSE(fs::exists(fs::symlink_status(folder / "Extra")));
    EXPECT_TRUE(fs::is_symlink(folder / "New.txt"));
    EXPECT_EQ(FileText(folder / "Notes.txt"), "the player's");
    EXPECT_FALSE(fs::is_symlink(folder / "Notes.txt"));

    // XDG_DATA_HOME decides where the folder is; a relative one is not valid and is ignored.
    EXPECT_EQ(Prepare("skerrow", data, (root / "xdg").string()), (root / "xdg" / "skerrow").string());
    EXPECT_EQ(Prepare("skerrow", data, "relative/place"), folder.string());
}

TEST_F(PlayerFolder, FenwoltSavesAreAFolderOfThePlayers)
{
    const fs::path data = root / "build" / "data" / "fenwolt";
    fs::create_directories(data / "level");
    fs::create_directories(data / "saves");
    WriteText(data / "level" / "e_mesh.txt", "meshes");
    WriteText(data / "english.txt", "texts");
    const fs::path folder = Prepare("fenwolt", data);
    EXPECT_EQ(folder, home / ".local" / "share" / "fenwolt");
    EXPECT_TRUE(fs::is_symlink(folder / "level"));
    EXPECT_EQ(FileText(folder / "level" / "e_mesh.txt"), "meshes");
    EXPECT_TRUE(fs::is_symlink(folder / "english.txt"));
    ASSERT_TRUE(fs::is_directory(fs::symlink_status(folder / "saves")));
    WriteText(folder / "saves" / "sav1.sav", "a saved game");
    WriteText(folder / "saves" / "fenwolt.opt", "options");
    EXPECT_TRUE(fs::is_empty(data / "saves"));

    // A new data set, even one without the empty "saves" folder, keeps the player's saves.
    fs::remove_all(root / "build");
    fs::create_directories(data / "level");
    WriteText(data / "level" / "e_mesh.txt", "meshes 2");
    Prepare("fenwolt", data);
    EXPECT_EQ(FileText(folder / "saves" / "sav1.sav"), "a saved game");
    EXPECT_EQ(FileText(folder / "saves" / "fenwolt.opt"), "options");
    EXPECT_EQ(FileText(folder / "level" / "e_mesh.txt"), "meshes 2");
    EXPECT_FALSE(fs::exists(fs::symlink_status(folder / "english.txt")));

    // Nothing else is accepted as a game.
    EXPECT_NE(desktop::Run({"/bin/bash", std::string(SOURCE_ROOT) + "/tools/player-folder.sh", "other", data.string()},
                  Environment({{"HOME", home.string()}}), {}, (root / "x.out").string()),
              0);
}

// A computer whose sound device cannot be opened: the start with the default settings (sound on)
// reaches the menu and plays silent, says so once on the terminal and why in the log, and leaves the sound on in the player's
// settings, so that the next start, with the device back, has its music again.
TEST_F(PlayerFolder, WithoutASoundDeviceTheGamePlaysSilentAndTriesAgainNextStart)
{
    const fs::path data = root / "build" / "data" / "skerrow";
    ASSERT_EQ(Generate(data), 0) << FileText(root / "gen.out");
    const fs::path folder = Prepare("skerrow", data);
    // The menu, NEW GAME, the map, back out to the menu and QUIT.
    const std::string session = "20 screenshot menu.png\n"
                                "25 click 456 199\n"
                                "70 screenshot map.png\n"
                                "80 key VK_ESCAPE\n"
                                "100 click 456 439\n"
                                "400 quit\n";
    ASSERT_EQ(PlaySkerrow(folder, session, "no-such-device"), 0) << FileText(root / "game.out");
    // The terminal has one plain line for it; the sound layer's complaints are the debugger's.
    EXPECT_EQ(FileText(root / "game.out"), "No sound device could be opened: the game runs without sound.\n");
    const std::string log = FileText(folder / "Log.txt");
    EXPECT_NE(log.find("Sound init failed"), std::string::npos) << log;
    const size_t menu = log.find("Call MenuScreen::InitSurfaces()");
    ASSERT_NE(menu, std::string::npos) << log;
    EXPECT_NE(log.find("Call NodeScreen::InitSurfaces()", menu), std::string::npos) << log;
    for (const char* shot : {"menu.png", "map.png"}) EXPECT_TRUE(fs::exists(folder / shot)) << shot;
    const std::string settings = FileText(folder / "Ombrelit.ini");
    EXPECT_NE(settings.find("Sound enable = 1\n"), std::string::npos) << settings;
    EXPECT_NE(settings.find("Music volume = 50\n"), std::string::npos) << settings;

    ASSERT_EQ(PlaySkerrow(folder, "30 key VK_ESCAPE\n200 quit\n"), 0) << FileText(root / "game.out");
    EXPECT_EQ(FileText(folder / "Log.txt").find("Sound init failed"), std::string::npos);
    EXPECT_GT(FileText(root / "sound.raw").size(), 44100u) << "the second start opened no sound device";
}

// The log's lines are for the log file and a debugger: a start from a terminal prints nothing,
// unless the terminal is asked to be the debugger.
TEST_F(PlayerFolder, SkerrowStartsQuietlyUnlessDebuggerOutputIsAskedFor)
{
    const fs::path data = root / "build" / "data" / "skerrow";
    ASSERT_EQ(Generate(data), 0) << FileText(root / "gen.out");
    const fs::path folder = Prepare("skerrow", data);
    ASSERT_EQ(PlaySkerrow(folder, "30 key VK_ESCAPE\n200 quit\n", "dummy"), 0);
    EXPECT_EQ(FileText(root / "game.out"), "");
    const std::string log = FileText(folder / "Log.txt");
    EXPECT_NE(log.find("Graphics::Init( 640,480,16 )"), std::string::npos) << log;
    ASSERT_EQ(PlaySkerrow(folder, "30 key VK_ESCAPE\n200 quit\n", "dummy", "1"), 0);
    const std::string out = FileText(root / "game.out");
    EXPECT_NE(out.find("Graphics::Init( 640,480,16 )"), std::string::npos) << out;
    EXPECT_NE(out.find("Save config"), std::string::npos) << out;
}
