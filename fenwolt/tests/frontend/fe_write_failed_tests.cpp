// A save that cannot be written, from the system menu and from SAVE TEAM, into a read-only saves
// folder and onto a full disk: the player is told so in the game's own box, with the reason; the
// slot's old file and its label stay as they were; OK gives the screen back.
#include "fe_b_support.h"

#include "fenwolt/Game/FrontEnd/FileReplace.h"
#include "fenwolt/Game/FrontEnd/ConfirmBox.h"
#include "fenwolt/Game/FrontEnd/Saves.h"
#include "fenwolt/Game/Match/MatchRecords.h"
#include "fenwolt/Game/Screens.h"

#include <fcntl.h>
#include <linux/capability.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

// The slot screens' buttons and labels.
constexpr unsigned kSlotButtons = 230, kSlotLabels = 1524;

std::string FileBytes(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A folder made read-only for as long as this lives. The superuser writes through permissions:
// for it the calling thread (the one that saves) gives up overriding them meanwhile.
class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(const char* folder) : folder_(folder)
    {
        chmod(folder_, 0555);
        if (geteuid() != 0) return;
        header_.version = _LINUX_CAPABILITY_VERSION_3;
        if (syscall(SYS_capget, &header_, kept_) != 0) return;
        __user_cap_data_struct lowered[2] = {kept_[0], kept_[1]};
        lowered[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER));
        lowered_ = syscall(SYS_capset, &header_, lowered) == 0;
    }
    ~ReadOnlyFolder()
    {
        if (lowered_) syscall(SYS_capset, &header_, kept_);
        chmod(folder_, 0755);
    }
    ReadOnlyFolder(const ReadOnlyFolder&) = delete;
    ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;

private:
    const char* folder_;
    __user_cap_header_struct header_{};
    __user_cap_data_struct kept_[2]{};
    bool lowered_ = false;
};

// A disk with room for no more than a few bytes in any one file, for as long as this lives.
class FullDisk {
public:
    FullDisk()
    {
        getrlimit(RLIMIT_FSIZE, &kept_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit tight = kept_;
        tight.rlim_cur = 64;
        setrlimit(RLIMIT_FSIZE, &tight);
    }
    ~FullDisk()
    {
        setrlimit(RLIMIT_FSIZE, &kept_);
        std::signal(SIGXFSZ, previous_);
    }
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;

private:
    rlimit kept_{};
    void (*previous_)(int) = nullptr;
};

// A folder on a disk that takes no writing, for as long as this lives: the folder bound over
// itself read-only. It is done in a mount namespace of the calling thread's own, which it leaves
// again at the end, so that nothing of it is seen outside the test (or outlives it).
class ReadOnlyDisk {
public:
    explicit ReadOnlyDisk(const char* folder)
    {
        original_ = open("/proc/self/ns/mnt", O_RDONLY | O_CLOEXEC);
        workingFolder_ = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (original_ < 0 || workingFolder_ < 0 || unshare(CLONE_NEWNS) != 0) return;
        entered_ = true;
        const std::string path = std::filesystem::absolute(folder).string();
        mounted_ = mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
                   mount(path.c_str(), path.c_str(), nullptr, MS_BIND, nullptr) == 0 &&
                   mount(nullptr, path.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }
    ~ReadOnlyDisk()
    {
        // Back to the system's mounts; the namespace goes, with the binding in it.
        if (entered_ && setns(original_, CLONE_NEWNS) == 0) fchdir(workingFolder_);
        if (original_ >= 0) close(original_);
        if (workingFolder_ >= 0) close(workingFolder_);
    }
    ReadOnlyDisk(const ReadOnlyDisk&) = delete;
    ReadOnlyDisk& operator=(const ReadOnlyDisk&) = delete;
    bool Mounted() const { return mounted_; }

private:
    int original_ = -1, workingFolder_ = -1;
    bool entered_ = false, mounted_ = false;
};

// Pixels of a button well's near-black fill in a rectangle of the frame.
int WellPixels(const RgbImage& frame, int x0, int y0, int x1, int y1)
{
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            const uint8_t* p = frame.At(x, y);
            if (p[0] < 4 && p[1] < 14 && p[2] < 30) ++n;
        }
    return n;
}

class FailedSaves : public FrontEndAppTest {
protected:
    void SetUp() override
    {
        FrontEndAppTest::SetUp();
        if (HasFatalFailure()) return;
        std::filesystem::create_directories("saves");
    }
    // The box stands over the screen: what it says, and nothing below it can be clicked.
    void ExpectBox(const char* what, const char* why, const char* kept, unsigned coveredButton)
    {
        ASSERT_TRUE(ConfirmBoxShown());
        EXPECT_EQ(SpriteText(CONFIRM_QUESTION), what);
        EXPECT_EQ(SpriteText(CONFIRM_REASON), why);
        EXPECT_EQ(SpriteText(CONFIRM_KEPT), kept);
        EXPECT_EQ(SpriteText(CONFIRM_OK), "OK");
        EXPECT_TRUE(SpriteVisible(CONFIRM_PICTURE));
        EXPECT_FALSE(SpriteActive(coveredButton));
    }
    // OK acts on the release, as the box's other buttons do.
    void PressOk()
    {
        ClickSprite(CONFIRM_OK);
        const RECT& r = SpriteAt(CONFIRM_OK)->ScreenRect;
        Send(WM_LBUTTONUP, (int)(r.left + r.right) / 2, (int)(r.top + r.bottom) / 2);
    }
};

}  // namespace

TEST_F(FailedSaves, TheSystemMenuSaysTheGameWasNotSavedAndKeepsTheOldOne)
{
    ASSERT_TRUE(SaveGame(2));
    const std::string old = FileBytes("saves/sav2.sav");
    SetScreen(ScreenId::StartMenu);
    OpenPopupScreen(ScreenId::SystemMenu);
    const std::string label = SpriteText(SYSMENU_FIRST_LABEL + 2);
    ASSERT_NE(label.find("EXH"), std::string::npos);
    {
        ReadOnlyFolder readOnly("saves");
        HomeGoals = 7;
        ClickSprite(SYSMENU_FIRST_SLOT + 2);
    }
    ExpectBox("The game was not saved.", "There is no permission to write it.", "The slot keeps its old game.",
              SYSMENU_FIRST_SLOT + 2);
    // One answer, one button: the picture's two wells for Yes and No are gone, one well stands in
    // the middle with OK in it.
    EXPECT_EQ(SpriteText(CONFIRM_NO), "");
    const RgbImage frame = DrawScreen();
    const RECT& ok = SpriteAt(CONFIRM_OK)->ScreenRect;
    EXPECT_LT(std::abs((int)(ok.left + ok.right) / 2 - 400), 3);
    EXPECT_GT(WellPixels(frame, 350, ok.top - 4, 450, ok.bottom + 4), 1500);
    EXPECT_EQ(WellPixels(frame, 262, 280, 340, 350), 0) << "the well on the left";
    EXPECT_EQ(WellPixels(frame, 462, 280, 548, 350), 0) << "the well on the right";
    EXPECT_EQ(FileBytes("saves/sav2.sav"), old);
    EXPECT_FALSE(std::filesystem::exists(TemporaryNameOf("saves/sav2.sav")));
    EXPECT_EQ(SpriteText(SYSMENU_FIRST_LABEL + 2), label);
    EXPECT_EQ(SpriteText(SYSMENU_FIRST_LABEL + 3), "--- ----------");

    // A click beside OK leaves the box standing; OK gives the menu back, still a pop-up.
    Send(WM_LBUTTONUP, 10, 10);
    EXPECT_TRUE(ConfirmBoxShown());
    PressOk();
    EXPECT_FALSE(ConfirmBoxShown());
    EXPECT_FALSE(SpriteVisible(CONFIRM_PICTURE));
    EXPECT_TRUE(SpriteActive(SYSMENU_FIRST_SLOT + 2));
    EXPECT_TRUE(PopupOpen);
    EXPECT_EQ(ScreenMessageHandler, SystemMenuMessageHandler);

    // With room again the same slot saves, and no box comes.
    ClickSprite(SYSMENU_FIRST_SLOT + 2);
    EXPECT_FALSE(ConfirmBoxShown());
    EXPECT_NE(FileBytes("saves/sav2.sav"), old);
    ClosePopupScreen();
}

TEST_F(FailedSaves, SaveTeamOnAFullDiskSaysSoAndKeepsTheOldTeam)
{
    MakeDefaultSquads();
    std::snprintf(TeamStaging.name, sizeof TeamStaging.name, "Larks");
    TeamStaging.squad = TeamSquads[0];
    ASSERT_TRUE(SaveTeam(0));
    const std::string old = FileBytes("saves/sav0.tem");
    SetScreen(ScreenId::SaveTeam);
    const std::string label = SpriteText(kSlotLabels);
    ASSERT_EQ(label.rfind("Larks ", 0), 0u) << label;
    {
        FullDisk full;
        ClickSprite(kSlotButtons);
    }
    ExpectBox("The team was not saved.", "There is no space left on the disk.", "The slot keeps its old team.",
              kSlotButtons);
    EXPECT_EQ(FileBytes("saves/sav0.tem"), old);
    EXPECT_FALSE(std::filesystem::exists(TemporaryNameOf("saves/sav0.tem")));
    EXPECT_EQ(SpriteText(kSlotLabels), label);
    PressOk();
    EXPECT_FALSE(ConfirmBoxShown());
    EXPECT_TRUE(SpriteActive(kSlotButtons));

    // And into the read-only folder, the other reason.
    {
        ReadOnlyFolder readOnly("saves");
        ClickSprite(kSlotButtons + 1);
    }
    ExpectBox("The team was not saved.", "There is no permission to write it.", "The slot stays empty.",
              kSlotButtons + 1);
    EXPECT_FALSE(std::filesystem::exists("saves/sav1.tem"));
    EXPECT_EQ(SpriteText(kSlotLabels + 1), "----------");
    PressOk();

    // No saves folder, and the game's folder will not take one: the same reason.
    std::filesystem::remove_all("saves");
    {
        ReadOnlyFolder readOnly(".");
        ClickSprite(kSlotButtons + 2);
    }
    ExpectBox("The team was not saved.", "There is no permission to write it.", "The slot stays empty.",
              kSlotButtons + 2);
    EXPECT_FALSE(std::filesystem::exists("saves"));
    PressOk();
}

// The box that asks keeps the picture's two wells, Yes in one and No in the other.
TEST_F(FailedSaves, TheBoxThatAsksHasItsTwoButtons)
{
    SetScreen(ScreenId::StartMenu);
    ShowConfirmBox(CONFIRM_EXIT_PROGRAM);
    const RgbImage frame = DrawScreen();
    EXPECT_GT(WellPixels(frame, 262, 296, 368, 330), 1500) << "the well of Yes";
    EXPECT_GT(WellPixels(frame, 442, 296, 548, 330), 1500) << "the well of No";
    EXPECT_EQ(SpriteText(CONFIRM_OK), "");
    CloseConfirmBox();
}

// A disk mounted read-only is told as such, and a slot that held nothing is told it stays so.
TEST_F(FailedSaves, AReadOnlyDiskIsToldAsSuch)
{
    ASSERT_TRUE(SaveGame(5));
    SetScreen(ScreenId::SaveTeam);
    {
        ReadOnlyDisk disk("saves");
        if (!disk.Mounted()) GTEST_SKIP() << "no read-only mount can be made here (it needs CAP_SYS_ADMIN)";
        ClickSprite(kSlotButtons + 4);
        ExpectBox("The team was not saved.", "The disk is read-only.", "The slot stays empty.", kSlotButtons + 4);
        PressOk();
        SetScreen(ScreenId::StartMenu);
        OpenPopupScreen(ScreenId::SystemMenu);
        HomeGoals = 4;
        ClickSprite(SYSMENU_FIRST_SLOT + 5);
        ExpectBox("The game was not saved.", "The disk is read-only.", "The slot keeps its old game.",
                  SYSMENU_FIRST_SLOT + 5);
        PressOk();
        ClosePopupScreen();
    }
    EXPECT_FALSE(std::filesystem::exists("saves/sav4.tem"));
    EXPECT_TRUE(SaveTeam(4)) << "the disk takes writing again";
}

// Something that is not a file where the new file is written first: the save fails, told as a
// file that could not be written (not as a permission the player lacks).
TEST_F(FailedSaves, AFolderInTheWayOfTheNewFileIsAFileThatCouldNotBeWritten)
{
    const std::string inside = TemporaryNameOf("saves/sav8.tem") + "/inside";
    std::filesystem::create_directories(inside);
    SetScreen(ScreenId::SaveTeam);
    ClickSprite(kSlotButtons + 8);
    ExpectBox("The team was not saved.", "The file could not be written.", "The slot stays empty.",
              kSlotButtons + 8);
    EXPECT_TRUE(std::filesystem::is_directory(inside));
    PressOk();
}
