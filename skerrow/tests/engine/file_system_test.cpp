// The writers of the player's files: every write goes through a temporary the game creates
// itself (never an existing file, never through a link), and what killed writes left behind is
// cleared.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <set>
#include <string>

#include "TestUtil.h"
#include "skerrow/Src/FileSystem.h"
#include "skerrow/Src/Log.h"

namespace {

namespace fs = std::filesystem;

std::string Text(const std::string& name)
{
    const std::vector<uint8_t> b = ReadFileBytes(name);
    return std::string(b.begin(), b.end());
}

std::set<std::string> Entries()
{
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator("."))
        if (e.path().filename() != "Log.txt") names.insert(e.path().filename().string());
    return names;
}

// A file outside the folder, which a link planted in the folder points at.
struct Outside {
    std::string path = (fs::temp_directory_path() / ("skerrow-outside-" + std::to_string(getpid()))).string();
    Outside() { WriteFileText(path, "someone else's"); }
    ~Outside() { fs::remove(path); }
    bool Untouched() const { return Text(path) == "someone else's"; }
};

}  // namespace

TEST(FileWrites, ExclusiveCreationRefusesFilesAndLinksAlike)
{
    ScratchDir dir;
    Outside outside;
    WriteFileText("taken", "x");
    fs::create_symlink(outside.path, "link");
    fs::create_symlink("nowhere", "dangling");
    for (const char* name : {"taken", "link", "dangling"}) {
        errno = 0;
        EXPECT_EQ(CreateFileExclusively(name), -1) << name;
        EXPECT_EQ(errno, EEXIST) << name;
    }
    EXPECT_TRUE(outside.Untouched());
    EXPECT_FALSE(fs::exists("nowhere"));
    const int fd = CreateFileExclusively("fresh");
    ASSERT_GE(fd, 0);
    close(fd);

    // Temporaries: new files of their own beside the file, a different name each time.
    std::string a, b;
    const int fa = CreateTemporaryFor("game1.sav", &a), fb = CreateTemporaryFor("game1.sav", &b);
    ASSERT_GE(fa, 0);
    ASSERT_GE(fb, 0);
    close(fa);
    close(fb);
    EXPECT_NE(a, b);
    EXPECT_EQ(a.rfind("game1.sav.tmp-", 0), 0u) << a;
}

// The whole-file writer: a link planted at the file's own name or at the name temporaries once
// had is replaced or cleared, never written through; the file ends up a file with the text.
TEST(FileWrites, WholeWritesNeverReachThroughLinks)
{
    ScratchDir dir;
    Outside outside;
    fs::create_symlink(outside.path, "Ombrelit.ini.tmp");
    ASSERT_EQ(WriteGameFileWhole("Ombrelit.ini", "[Settings]\n", 11), 1);
    EXPECT_TRUE(outside.Untouched());
    EXPECT_FALSE(fs::is_symlink("Ombrelit.ini"));
    EXPECT_EQ(Text("Ombrelit.ini"), "[Settings]\n");
    fs::create_symlink(outside.path, "Ombrelit.hsc");
    ASSERT_EQ(WriteGameFileWhole("Ombrelit.hsc", "table", 5), 1);
    EXPECT_TRUE(outside.Untouched());
    EXPECT_FALSE(fs::is_symlink("Ombrelit.hsc"));
    EXPECT_EQ(Entries(), (std::set<std::string>{"Ombrelit.ini", "Ombrelit.hsc"}));
}

// A new file (a screenshot) is written whole under its name only while the name is free: a
// file or a link already there keeps it, and nothing is left of the attempt.
TEST(FileWrites, NewFilesNeverTakeAName)
{
    ScratchDir dir;
    Outside outside;
    WriteFileText("screen00.pcx", "earlier run");
    fs::create_symlink(outside.path, "screen01.pcx");
    for (const char* name : {"screen00.pcx", "screen01.pcx"}) {
        errno = 0;
        EXPECT_EQ(WriteNewGameFile(name, "picture", 7), 0) << name;
        EXPECT_EQ(errno, EEXIST) << name;
    }
    EXPECT_EQ(Text("screen00.pcx"), "earlier run");
    EXPECT_TRUE(outside.Untouched());
    ASSERT_EQ(WriteNewGameFile("screen02.pcx", "picture", 7), 1);
    EXPECT_EQ(Text("screen02.pcx"), "picture");
    EXPECT_EQ(Entries(), (std::set<std::string>{"screen00.pcx", "screen01.pcx", "screen02.pcx"}));
}

TEST(FileWrites, LeftTemporariesGoAndNothingElse)
{
    ScratchDir dir;
    Outside outside;
    for (const char* left : {"game1.sav.tmp", "GAME1.SAV.tmp-a1B2c3", "screen07.pcx.tmp-zzzzzz"}) WriteFileText(left, "");
    fs::create_symlink(outside.path, "game2.sav.tmp");
    const std::set<std::string> kept = {"game1.sav",         "game1.savx.tmp",     "game1.sav.tmp-short", "notes.tmp",
                                        "game1.sav.tmpfile", "screen07.pcx.tmp-toolong"};
    for (const std::string& k : kept) WriteFileText(k, "mine");
    fs::create_directory("game3.sav.tmp");
    ClearStaleTemporaries("game1.sav");
    ClearStaleTemporaries("game*.sav");
    ClearStaleTemporaries("screen*.pcx");
    std::set<std::string> left = kept;
    left.insert("game3.sav.tmp");  // a folder is nothing a write left
    EXPECT_EQ(Entries(), left);
    EXPECT_TRUE(outside.Untouched());
}

// The log is written in place, not through a temporary: a link put at its name is refused
// rather than followed (the lines still reach the debugger).
TEST(FileWrites, TheLogNeverWritesThroughALink)
{
    ScratchDir dir;
    Outside outside;
    fs::create_symlink(outside.path, "Log.txt");
    OpenLog();
    LogMessage("a line\n");
    EXPECT_TRUE(outside.Untouched());
    EXPECT_EQ(OpenGameFile("Log.txt", "a"), nullptr);
    fs::remove("Log.txt");
    OpenLog();
    LogMessage("a line\n");
    EXPECT_NE(Text("Log.txt").find("a line\n"), std::string::npos);
}
