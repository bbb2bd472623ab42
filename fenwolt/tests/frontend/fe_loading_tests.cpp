// The loading screen: the progress line, the wait, the pass over the resource lists, the start
// delay, the two-computer hand-shake, and that it never waits for ever.
#include "fe_a_support.h"

#include "fenwolt/Game/FrontEnd/Loading.h"
#include "fenwolt/Game/GameApp.h"
#include "fenwolt/Game/Network/GameMessages.h"
#include "fenwolt/Game/Network/NetState.h"
#include "fenwolt/Game/Engine/Sprites.h"

#include <cstring>
#include <filesystem>
#include <string>

TEST(LoadingPercentTest, NinetyNineShowsAsAHundredAndNothingToLoadIsDone)
{
    EXPECT_EQ(LoadingPercent(0, 200), 0);
    EXPECT_EQ(LoadingPercent(1, 3), 33);
    EXPECT_EQ(LoadingPercent(98, 100), 98);
    EXPECT_EQ(LoadingPercent(197, 200), 98);
    EXPECT_EQ(LoadingPercent(198, 200), 100);
    EXPECT_EQ(LoadingPercent(99, 100), 100);
    EXPECT_EQ(LoadingPercent(150, 100), 100) << "restored meshes may count past the total";
    EXPECT_EQ(LoadingPercent(0, 0), 100);
    EXPECT_EQ(LoadingPercent(5, 0), 100);
}

TEST(LoadingLineTest, OnlyTheNumberIsFilledInAndTheLineFitsItsSprite)
{
    char line[300];
    FormatLoadingLine(line, sizeof(line), "Loading %d", 3);
    EXPECT_STREQ(line, "Loading 3...");
    FormatLoadingLine(line, sizeof(line), "%s%n %x 100%% %d%%, again %d", 2);
    EXPECT_STREQ(line, "%s%n %x 100% 2%, again %d..");
    FormatLoadingLine(line, sizeof(line), "", 0);
    EXPECT_STREQ(line, "");
    const std::string longText(999, 'a');
    FormatLoadingLine(line, sizeof(line), (longText + "%d").c_str(), 100);
    EXPECT_EQ(std::strlen(line), 299u);
    FormatLoadingLine(line, sizeof(line), "%d", 100);
    EXPECT_EQ(std::string(line), "100" + std::string(100, '.'));
    char tiny[4];
    FormatLoadingLine(tiny, sizeof(tiny), "%d", 100);
    EXPECT_STREQ(tiny, "100");
}

namespace {

int g_matchBuilt = 0;
void MatchBuilt() { ++g_matchBuilt; }

std::vector<std::string> g_loaded;
HRESULT RecordLoad(int slot, const char* file)
{
    g_loaded.push_back(file);
    return S_OK;
}
const ResourceListLoader kRecorder = {RecordLoad, RecordLoad};

class LoadingScreenTest : public FrontEndATest {
protected:
    void SetUp() override
    {
        FrontEndATest::SetUp();
        if (HasFatalFailure()) return;
        // Lists of our own in place of the data set's folder.
        std::filesystem::remove(dir.Path() / "level");
        std::filesystem::create_directories(dir.Path() / "level");
        WriteLists("a.x\rb.x\rc.x\r", "t1.tga\rt2.jpg\r");
        SetResourceListLoader(&kRecorder);
        SetScreenBuilder(ScreenId::Match, MatchBuilt);
        g_matchBuilt = 0;
        g_loaded.clear();
        NetworkGameActive = false;
        Net.isHost = 0;
        FrameTimeFactor = 0.5f;
    }
    void TearDown() override
    {
        SetResourceListLoader(nullptr);
        NetworkGameActive = false;
        FrontEndATest::TearDown();
    }
    void WriteLists(const std::string& meshes, const std::string& textures)
    {
        dir.Write("level/e_mesh.txt", meshes);
        dir.Write("level/e_tex.txt", textures);
    }
    // Past the two seconds of waiting: the lists are loaded inside the frame that ends them.
    void WaitAndLoad()
    {
        g_loaded.clear();
        SetScreen(ScreenId::Loading);
        RunFor(1.9f);
        EXPECT_TRUE(g_loaded.empty()) << "loading begins after two seconds";
        for (int i = 0; i < 20 && ScreenUpdateHandler == LoadingWaitHandler; ++i) ScreenUpdateHandler(0.02f);
        EXPECT_EQ(ScreenUpdateHandler, LoadingProgressHandler);
    }
    // Frames of the progress handler until the match is set, at most `limit`.
    static int FramesUntilMatch(int limit)
    {
        for (int frame = 1; frame <= limit; ++frame) {
            FrameTimeFactor = 0.5f;
            if (ScreenUpdateHandler) ScreenUpdateHandler(0.02f);
            if (g_matchBuilt) return frame;
        }
        return -1;
    }
    static void Notify(uint32_t code)
    {
        LastMessageParam = code;
        if (ScreenMessageHandler) ScreenMessageHandler(WM_USER + 1);
    }
};

}  // namespace

TEST_F(LoadingScreenTest, TheFirstMatchWaitsAboutEightTenthsOfASecondAfterLoadingAndLaterOnesDoNot)
{
    SetScreen(ScreenId::Loading);
    EXPECT_EQ(TextOf(1), "Preparing the stadium...");
    EXPECT_EQ(TextOf(2), "Get ready for kick-off");
    EXPECT_FALSE(Active(1));
    EXPECT_FALSE(TheApp.CursorSprites[0]->IsVisible());
    WaitAndLoad();
    EXPECT_EQ(g_loaded, (std::vector<std::string>{"a.x", "b.x", "c.x", "t1.tga", "t2.jpg"}));
    EXPECT_EQ(TheApp.ResourceLoadProgress.TotalSteps, 10u);
    EXPECT_EQ(Loading.loadersPending, 0);
    // Five files counted twice each, five loaded (no mesh of the recorder needs restoring).
    FrameTimeFactor = 0.5f;
    RunFor(0.02f);
    EXPECT_EQ(TextOf(1), "Loading 50" + std::string(50, '.'));
    // 10.0 of start delay at 12.5 a second (0.25 a frame of 0.02 s): 40 frames.
    EXPECT_EQ(FramesUntilMatch(100), 39);
    EXPECT_TRUE(TheApp.CursorSprites[0]->IsVisible());
    EXPECT_EQ(Loading.switched, 1);
    EXPECT_EQ(CurrentScreenId, (int32_t)ScreenId::Match);

    g_matchBuilt = 0;
    g_loaded.clear();
    WaitAndLoad();
    EXPECT_EQ(FramesUntilMatch(100), 1);
}

TEST_F(LoadingScreenTest, TheProgressLineNeverShowsNinetyNineAndNothingToLoadStillEnds)
{
    Loading.startDelay = 0.f;
    WriteLists("", "");
    WaitAndLoad();
    EXPECT_EQ(TheApp.ResourceLoadProgress.TotalSteps, 0u);
    EXPECT_EQ(FramesUntilMatch(1), 1);

    g_matchBuilt = 0;
    std::filesystem::remove(dir.Path() / "level" / "e_mesh.txt");
    std::filesystem::remove(dir.Path() / "level" / "e_tex.txt");
    WaitAndLoad();
    EXPECT_EQ(FramesUntilMatch(5), 1) << "missing lists never keep the screen waiting";

    // 99 of 100 steps shows as 100.
    g_matchBuilt = 0;
    SetScreen(ScreenId::Loading);
    SetScreenUpdateHandler(LoadingProgressHandler);
    TheApp.ResourceLoadProgress.TotalSteps = 100;
    TheApp.ResourceLoadProgress.StepsDone = 99;
    TheApp.ResourceLoadProgress.ResourcesLoaded = 0;
    RunFor(0.02f);
    EXPECT_EQ(TextOf(1), "Loading 100" + std::string(100, '.'));
    TheApp.ResourceLoadProgress.StepsDone = 49;
    RunFor(0.02f);
    EXPECT_EQ(TextOf(1), "Loading 49" + std::string(49, '.'));
    EXPECT_FALSE(Active(1));
    EXPECT_EQ(g_matchBuilt, 0) << "not before the loader says it is done";
}

TEST_F(LoadingScreenTest, TheGuestWaitsForTheHostAndTheHostForTheGuest)
{
    Loading.startDelay = 0.f;
    NetworkGameActive = true;
    Net.isHost = 0;
    WaitAndLoad();
    EXPECT_EQ(FramesUntilMatch(200), -1);
    EXPECT_EQ(Loading.peerReady, 1);
    Notify(NOTIFY_READY);
    EXPECT_EQ(g_matchBuilt, 1);
    EXPECT_TRUE(TheApp.CursorSprites[0]->IsVisible());

    g_matchBuilt = 0;
    NetworkGameActive = true;
    Net.isHost = 1;
    WaitAndLoad();
    EXPECT_EQ(FramesUntilMatch(200), -1);
    EXPECT_EQ(Loading.peerReady, 0);
    Notify(NOTIFY_READY);
    EXPECT_EQ(g_matchBuilt, 0) << "the host switches from its own frame";
    EXPECT_EQ(FramesUntilMatch(5), 1);

    // A host's word that arrives before the guest has loaded is kept.
    g_matchBuilt = 0;
    Net.isHost = 0;
    SetScreen(ScreenId::Loading);
    Notify(NOTIFY_READY);
    EXPECT_EQ(g_matchBuilt, 0);
    RunFor(2.1f);
    EXPECT_EQ(g_matchBuilt, 1);
}

TEST_F(LoadingScreenTest, TheOtherPlayerLeavingIsShownAndTheMatchGoesOnAlone)
{
    Loading.startDelay = 0.f;
    NetworkGameActive = true;
    Net.isHost = 1;
    Net.sessionSetUp = 0;
    SetScreen(ScreenId::Loading);
    Notify(NOTIFY_PLAYER_LEFT);
    EXPECT_EQ(TextOf(2), "OTHER PLAYER IS NO LONGER CONNECTED");
    EXPECT_TRUE(Visible(2));
    EXPECT_FALSE(Active(2));
    const Sprite* s = SpriteAt(2);
    EXPECT_NEAR((s->ScreenRect.left + s->ScreenRect.right) / 2.0, 400.0, 1.5);
    EXPECT_FALSE(NetworkGameActive);
    RunFor(2.1f);
    EXPECT_EQ(g_matchBuilt, 1);
    // Notifications of a one-computer game mean nothing here.
    g_matchBuilt = 0;
    SetScreen(ScreenId::Loading);
    Notify(NOTIFY_READY);
    EXPECT_EQ(g_matchBuilt, 0);
}
