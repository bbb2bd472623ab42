// The confirm box over the start menu and the system menu over a match: what is clickable and
// drawn before, during and after, and what the answers do.
#include "fe_a_support.h"

#include "fenwolt/Game/FrontEnd/Competition.h"
#include "fenwolt/Game/FrontEnd/ConfirmBox.h"
#include "fenwolt/Game/FrontEnd/Options.h"
#include "fenwolt/Game/FrontEnd/Saves.h"
#include "fenwolt/Game/FrontEnd/StartMenu.h"
#include "fenwolt/Game/GameApp.h"
#include "fenwolt/Game/Match/MatchRecords.h"
#include "fenwolt/Game/Engine/Sprites.h"
#include "fenwolt/Game/Engine/VertexAnimation.h"

#include <filesystem>

namespace {

class ConfirmBoxTest : public FrontEndATest {
protected:
    static bool ClosePosted()
    {
        MSG msg;
        return PeekMessageA(&msg, nullptr, WM_CLOSE, WM_CLOSE, PM_REMOVE) != 0;
    }
};

float g_frozenSteps = 0.f;
void CountingUpdate(float step) { g_frozenSteps += step; }
void MatchLikeHandler(int32_t) {}

// A stand-in for the match below a pop-up: some buttons, a hidden sprite, an inactive label.
class SystemMenuTest : public FrontEndATest {
protected:
    void SetUp() override
    {
        FrontEndATest::SetUp();
        if (HasFatalFailure()) return;
        SetScreen(4);
        UseWhiteTextColours();
        CreateFullScreenSprite(0, "interface\\plain.jpg");
        CreateTextSprite(100, 700.f, 560.f, 0, "End Turn", 0);
        CreateTextSprite(101, 20.f, 20.f, 0, "Score", 0);
        DeactivateSprite(101);
        CreateTextSprite(102, 600.f, 560.f, 0, "System", 0);
        HideSprite(102);
        SetScreenMessageHandler(MatchLikeHandler);
        SetScreenUpdateHandler(CountingUpdate);
        MatchScreenActive = 1;
        SceneVisible = true;
        g_frozenSteps = 0.f;
    }
};

}  // namespace

TEST_F(ConfirmBoxTest, TheBoxOverTheStartMenuGivesBackExactlyTheClickableSprites)
{
    SetScreen(ScreenId::StartMenu);
    DeactivateSprite(STARTMENU_LOAD);  // one entry that was not clickable before
    const std::vector<int> before = SpriteFlags();

    // EXIT acts on the release, not on the press.
    LeftDown(CentreX(STARTMENU_EXIT), CentreY(STARTMENU_EXIT));
    EXPECT_FALSE(ConfirmBoxShown());
    LeftUp(CentreX(STARTMENU_EXIT), CentreY(STARTMENU_EXIT));
    ASSERT_TRUE(ConfirmBoxShown());
    EXPECT_EQ(TextOf(CONFIRM_QUESTION), "Quit the game?");
    EXPECT_EQ(TextOf(CONFIRM_YES), "Yes");
    EXPECT_EQ(TextOf(CONFIRM_NO), "No");
    for (unsigned h = 0; h < CONFIRM_FIRST; ++h) {
        EXPECT_FALSE(Active(h)) << h;
        EXPECT_EQ(Visible(h), (before[h] & 2) != 0) << h << ": the menu stays drawn";
    }
    EXPECT_FALSE(Active(CONFIRM_PICTURE));
    EXPECT_FALSE(Active(CONFIRM_QUESTION));
    // A second request while the box stands changes nothing.
    ShowConfirmBox(CONFIRM_ABANDON_GAME);
    EXPECT_EQ(ConfirmBox.kind, CONFIRM_EXIT_PROGRAM);

    // The press alone does nothing; the release on No closes.
    LeftDown(CentreX(CONFIRM_NO), CentreY(CONFIRM_NO));
    EXPECT_TRUE(ConfirmBoxShown());
    LeftUp(CentreX(CONFIRM_NO), CentreY(CONFIRM_NO));
    EXPECT_FALSE(ConfirmBoxShown());
    for (unsigned h = CONFIRM_FIRST; h <= CONFIRM_LAST; ++h) EXPECT_FALSE(Created(h)) << h;
    EXPECT_EQ(SpriteFlags(), before);
    EXPECT_EQ(ScreenMessageHandler, StartMenuMessageHandler);
    EXPECT_FALSE(ClosePosted());
}

TEST_F(ConfirmBoxTest, YesToLeavingClosesTheWindowAndYesToAbandoningUnloadsTheGame)
{
    SetScreen(ScreenId::StartMenu);
    ShowConfirmBox(CONFIRM_EXIT_PROGRAM);
    SendToScreen(WM_LBUTTONUP, CentreX(CONFIRM_YES), CentreY(CONFIRM_YES));
    EXPECT_FALSE(ScreenReady);
    EXPECT_TRUE(ClosePosted());
    ScreenReady = true;

    // A game with its meshes and an animation loaded.
    ASSERT_NE(LoadMesh("xdata\\player.x"), MESH_NONE);
    ASSERT_EQ(LoadAnimationFile("xdata\\stand.anx", 0, 0), 1);
    ASSERT_GT(AnimationStore[0].StoredFrames(), 0u);
    SetScreen(4);
    ShowConfirmBox(CONFIRM_ABANDON_GAME);
    EXPECT_EQ(TextOf(CONFIRM_QUESTION), "Abandon this game?");
    SendToScreen(WM_LBUTTONUP, CentreX(CONFIRM_YES), CentreY(CONFIRM_YES));
    EXPECT_EQ(CurrentScreenId, (int32_t)ScreenId::StartMenu);
    EXPECT_EQ(TheApp.MeshCount, 0);
    EXPECT_FALSE(TheApp.MeshTable[0]->Loaded);
    EXPECT_EQ(AnimationStore[0].StoredFrames(), 0u);
    EXPECT_FALSE(ConfirmBoxShown());
    // The start menu's EXIT still asks.
    ShowConfirmBox(CONFIRM_EXIT_PROGRAM);
    EXPECT_TRUE(ConfirmBoxShown());
}

TEST_F(SystemMenuTest, ThePopUpFreezesTheMatchAndReturnGivesItBackUnchanged)
{
    const std::vector<int> before = SpriteFlags();
    OpenPopupScreen(ScreenId::SystemMenu);
    EXPECT_TRUE(PopupOpen);
    EXPECT_EQ(MatchScreenActive, 0);
    EXPECT_FALSE(SceneVisible);
    EXPECT_EQ(ScreenMessageHandler, SystemMenuMessageHandler);
    EXPECT_EQ(TextOf(SYSMENU_FIRST_SLOT), "Slot 1");
    EXPECT_EQ(TextOf(SYSMENU_FIRST_SLOT + 9), "Slot 10");
    EXPECT_EQ(TextOf(SYSMENU_TITLE), "SAVE GAME");
    RunFor(1.f);
    EXPECT_EQ(g_frozenSteps, 0.f);

    // The hover follows the buttons only: a label is no button.
    SendToScreen(WM_MOUSEMOVE, CentreX(SYSMENU_RETURN), CentreY(SYSMENU_RETURN));
    EXPECT_EQ(SystemMenuHover, SYSMENU_RETURN);
    SendToScreen(WM_MOUSEMOVE, CentreX(SYSMENU_FIRST_LABEL), CentreY(SYSMENU_FIRST_LABEL));
    EXPECT_EQ(SystemMenuHover, 0);

    SendToScreen(WM_LBUTTONDOWN, CentreX(SYSMENU_RETURN), CentreY(SYSMENU_RETURN));
    EXPECT_FALSE(PopupOpen);
    EXPECT_EQ(SpriteFlags(), before);
    for (unsigned h = 1500; h <= 1949; ++h) ASSERT_FALSE(Created(h)) << h;
    EXPECT_EQ(ScreenMessageHandler, MatchLikeHandler);
    EXPECT_EQ(MatchScreenActive, 1);
    EXPECT_TRUE(SceneVisible);
    RunFor(0.1f);
    EXPECT_GT(g_frozenSteps, 0.f);
}

TEST_F(SystemMenuTest, SavingIntoASlotShowsItsNewLabelAtOnceAndAClickOnALabelSavesNothing)
{
    OpenPopupScreen(ScreenId::SystemMenu);
    EXPECT_EQ(TextOf(SYSMENU_FIRST_LABEL + 2), "--- ----------");
    SendToScreen(WM_LBUTTONDOWN, CentreX(SYSMENU_FIRST_LABEL + 3), CentreY(SYSMENU_FIRST_LABEL + 3));
    EXPECT_FALSE(std::filesystem::exists("saves/sav3.sav"));

    Competition.gameMode = MODE_CUP;
    SendToScreen(WM_LBUTTONDOWN, CentreX(SYSMENU_FIRST_SLOT + 2), CentreY(SYSMENU_FIRST_SLOT + 2));
    EXPECT_TRUE(std::filesystem::exists("saves/sav2.sav"));
    EXPECT_EQ(TextOf(SYSMENU_FIRST_LABEL + 2).substr(0, 4), "CUP ");
    // The game stays in the menu.
    EXPECT_TRUE(PopupOpen);
    EXPECT_EQ(ScreenMessageHandler, SystemMenuMessageHandler);
    Competition.gameMode = MODE_EXHIBITION;
}

TEST_F(SystemMenuTest, RestartAsksAndNoGoesBackToTheMenuWhileOptionsOpensTheInMatchOptions)
{
    OpenPopupScreen(ScreenId::SystemMenu);
    const std::vector<int> menu = SpriteFlags();
    SendToScreen(WM_LBUTTONDOWN, CentreX(SYSMENU_RESTART), CentreY(SYSMENU_RESTART));
    ASSERT_TRUE(ConfirmBoxShown());
    EXPECT_EQ(ConfirmBox.kind, CONFIRM_ABANDON_GAME);
    SendToScreen(WM_LBUTTONUP, CentreX(CONFIRM_NO), CentreY(CONFIRM_NO));
    EXPECT_FALSE(ConfirmBoxShown());
    EXPECT_EQ(SpriteFlags(), menu);
    EXPECT_EQ(ScreenMessageHandler, SystemMenuMessageHandler);

    SendToScreen(WM_LBUTTONDOWN, CentreX(SYSMENU_OPTIONS), CentreY(SYSMENU_OPTIONS));
    EXPECT_TRUE(PopupOpen);
    EXPECT_EQ(ScreenMessageHandler, GameOptionsMessageHandler);
    EXPECT_EQ(TextOf(1518), "Player Info Panel");
    RunFor(0.5f);
    EXPECT_EQ(g_frozenSteps, 0.f) << "the match stays frozen under the options";
}
