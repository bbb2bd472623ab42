// The temporaries through which the options, saved games and saved teams are replaced: a link
// planted at a temporary's name is never written through, what a killed save left behind is
// cleared at the next start and at the next save, and a save killed at any moment leaves the
// slot's old file or its new one, whole.
#include "fenwolt/Game/FrontEnd/FileReplace.h"
#include "fenwolt/Game/FrontEnd/Options.h"
#include "fenwolt/Game/FrontEnd/Saves.h"
#include "fenwolt/Game/Match/MatchRecords.h"
#include "fenwolt/tests/frontend/fe_b_support.h"
#include "platform/tests/support/file_contents.h"
#include "platform/tests/support/scratch_directory.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

namespace {
namespace fs = std::filesystem;

// One file the game writes, the temporary this process writes it through, its size and how it
// is saved.
struct WrittenFile {
    std::string file;
    std::string temporary;
    uintmax_t size;
    std::function<bool()> save;
};

std::vector<WrittenFile> EveryWrittenFile()
{
    const auto of = [](const char* file) { return TemporaryNameOf(file); };
    return {
        {"saves/fenwolt.opt", of("saves/fenwolt.opt"), 56, [] { return SaveOptions(); }},
        {"saves/sav3.sav", of("saves/sav3.sav"), 23924, [] { return SaveGame(3); }},
        {"saves/sav6.tem", of("saves/sav6.tem"), 4896, [] { return SaveTeam(6); }},
    };
}

class Temporaries : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetFrontEndState();
        MakeDefaultSquads();
        Options = OptionsRecord{};
        fs::create_directories("saves");
    }
    void TearDown() override { Options = OptionsRecord{}; }
    // Outside the game's folder: where a planted link points.
    ScratchDirectory outside{"fe-outside"};
    ScratchDirectory dir{"fe-temporaries"};
};

}  // namespace

TEST_F(Temporaries, ALinkAtATemporarysNameIsNeverWrittenThrough)
{
    for (const WrittenFile& w : EveryWrittenFile()) {
        SCOPED_TRACE(w.file);
        const fs::path target = outside.Path() / "precious.txt";
        std::ofstream(target) << "the player's own words";
        fs::create_symlink(target, w.temporary);
        ASSERT_TRUE(w.save());
        EXPECT_EQ(FileText(target), "the player's own words");
        EXPECT_FALSE(fs::is_symlink(w.file));
        EXPECT_EQ(fs::file_size(w.file), w.size);
        EXPECT_FALSE(fs::exists(fs::symlink_status(w.temporary)));

        // A link to nowhere: nothing is made where it points.
        const fs::path nowhere = outside.Path() / "made-through-the-link";
        fs::create_symlink(nowhere, w.temporary);
        ASSERT_TRUE(w.save());
        EXPECT_FALSE(fs::exists(nowhere));
        EXPECT_FALSE(fs::is_symlink(w.file));
        EXPECT_EQ(fs::file_size(w.file), w.size);
        EXPECT_FALSE(fs::exists(fs::symlink_status(w.temporary)));
    }
}

TEST_F(Temporaries, WhatAKilledSaveLeftIsClearedAtStartAndAtTheNextSave)
{
    const fs::path target = outside.Path() / "precious.txt";
    std::ofstream(target) << "kept";
    // Left by other copies of the game, by this one and by an earlier version that named its
    // temporaries without a process: a whole new game that was never renamed, an empty team
    // file, half an options file, a link, and a folder, which is not a temporary the game made
    // and stays; the slots' own files and a file of another name that begins alike stay too.
    std::ofstream("saves/sav0.sav.tmp.4242", std::ios::binary) << std::string(23924, 'g');
    std::ofstream("saves/sav9.tem.tmp", std::ios::binary);
    std::ofstream(TemporaryNameOf("saves/fenwolt.opt"), std::ios::binary) << std::string(20, 'o');
    fs::create_symlink(target, "saves/sav4.tem.tmp.77");
    fs::create_directory("saves/sav2.sav.tmp.5");
    std::ofstream("saves/sav1.sav", std::ios::binary) << "not a game";
    std::ofstream("saves/sav1.savings", std::ios::binary) << "not ours";
    ClearLeftoverTemporaries();
    for (const std::string& name : {std::string("saves/sav0.sav.tmp.4242"), std::string("saves/sav9.tem.tmp"),
                                    TemporaryNameOf("saves/fenwolt.opt"), std::string("saves/sav4.tem.tmp.77")})
        EXPECT_FALSE(fs::exists(fs::symlink_status(name))) << name;
    EXPECT_EQ(FileText(target), "kept");
    EXPECT_TRUE(fs::is_directory("saves/sav2.sav.tmp.5"));
    EXPECT_TRUE(fs::exists("saves/sav1.sav"));
    EXPECT_TRUE(fs::exists("saves/sav1.savings"));
    // The slots with leftovers are free, as they were.
    ReadSaveSlotNames();
    EXPECT_EQ(SlotUsed[0], 0);

    // Left again, and the next save of each file finds it there.
    for (const WrittenFile& w : EveryWrittenFile()) {
        SCOPED_TRACE(w.file);
        std::ofstream(w.temporary, std::ios::binary) << std::string((size_t)w.size, 'x');
        ASSERT_TRUE(w.save());
        EXPECT_FALSE(fs::exists(w.temporary));
        EXPECT_EQ(fs::file_size(w.file), w.size);
        EXPECT_NE(FileText(w.file), std::string((size_t)w.size, 'x'));
        std::ofstream(w.temporary, std::ios::binary);
        ASSERT_TRUE(w.save());
        EXPECT_FALSE(fs::exists(w.temporary));
    }
}

// A save killed at any moment: the slot holds the team it held or the new one, never a part of
// either, and the next start clears what the killed save left.
TEST_F(Temporaries, ASaveKilledAtAnyMomentLeavesTheOldOrTheNewFileWhole)
{
    std::snprintf(TeamStaging.name, sizeof TeamStaging.name, "Alderby");
    TeamStaging.squad = TeamSquads[0];
    ASSERT_TRUE(SaveTeam(0));
    const std::string first = FileText("saves/sav0.tem");
    std::snprintf(TeamStaging.name, sizeof TeamStaging.name, "Brackwater");
    ASSERT_TRUE(SaveTeam(1));
    const std::string second = FileText("saves/sav1.tem");
    // The time of saving is part of the file: the copies keep their own.
    auto teamName = [](const std::string& bytes) { return std::string(bytes.c_str() + 272, strnlen(bytes.c_str() + 272, 12)); };

    for (int round = 0; round < 12; ++round) {
        SCOPED_TRACE(round);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // Saves over and over, one team, then the other.
            for (int i = 0;; ++i) {
                std::snprintf(TeamStaging.name, sizeof TeamStaging.name, "%s", i % 2 ? "Alderby" : "Brackwater");
                SaveTeam(0);
            }
        }
        usleep((useconds_t)(200 + 700 * round));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        const std::string now = FileText("saves/sav0.tem");
        ASSERT_EQ(now.size(), 4896u);
        EXPECT_TRUE(teamName(now) == teamName(first) || teamName(now) == teamName(second)) << teamName(now);
        ClearLeftoverTemporaries();
        EXPECT_FALSE(fs::exists("saves/sav0.tem.tmp." + std::to_string(child)));
        EXPECT_TRUE(LoadTeam(0));
    }
}
