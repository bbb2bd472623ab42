// A save that cannot be written, from the system menu and from SAVE TEAM, into a read-only saves
// folder and onto a full disk: the player is told so in the game's own box, with the reason; the
// slot's old file and its label stay as they were; OK gives the screen back.
#include "fe_b_support.h"

#include "fenwolt/Game/FrontEnd/ConfirmBox.h"
#include "fenwolt/Game/FrontEnd/Saves.h"
#include "fenwolt/Game/Screens.h"

#include <linux/capability.h>
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
    EXPECT_EQ(FileBytes("saves/sav2.sav"), old);
    EXPECT_FALSE(std::filesystem::exists("saves/sav2.sav.tmp"));
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
    ASSERT_TRUE(SaveTeam(0));
    const std::string old = FileBytes("saves/sav0.tem");
    SetScreen(ScreenId::SaveTeam);
    const std::string label = SpriteText(kSlotLabels);
    {
        FullDisk full;
        ClickSprite(kSlotButtons);
    }
    ExpectBox("The team was not saved.", "There is no space left on the disk.", "The slot keeps its old team.",
              kSlotButtons);
    EXPECT_EQ(FileBytes("saves/sav0.tem"), old);
    EXPECT_FALSE(std::filesystem::exists("saves/sav0.tem.tmp"));
    EXPECT_EQ(SpriteText(kSlotLabels), label);
    PressOk();
    EXPECT_FALSE(ConfirmBoxShown());
    EXPECT_TRUE(SpriteActive(kSlotButtons));

    // And into the read-only folder, the other reason.
    {
        ReadOnlyFolder readOnly("saves");
        ClickSprite(kSlotButtons + 1);
    }
    ExpectBox("The team was not saved.", "There is no permission to write it.", "The slot keeps its old team.",
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
    ExpectBox("The team was not saved.", "There is no permission to write it.", "The slot keeps its old team.",
              kSlotButtons + 2);
    EXPECT_FALSE(std::filesystem::exists("saves"));
    PressOk();
}
