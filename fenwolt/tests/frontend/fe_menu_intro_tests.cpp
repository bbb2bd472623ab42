// The intro's timeline (blocks, title picture, start menu), the skip by key or click, the
// settling of the blocks, and the start menu, credits and information pages' buttons.
#include "fe_a_support.h"

#include "fenwolt/Game/Engine/Fade.h"
#include "fenwolt/Game/FrontEnd/Competition.h"
#include "fenwolt/Game/FrontEnd/Intro.h"
#include "fenwolt/Game/FrontEnd/Options.h"
#include "fenwolt/Game/FrontEnd/StartMenu.h"
#include "fenwolt/Game/GameApp.h"
#include "fenwolt/Game/Engine/Instances.h"
#include "fenwolt/Game/Engine/Sound.h"
#include "fenwolt/Game/Engine/Sprites.h"
#include "fenwolt/data/Scene.h"
#include "platform/d3dx8/d3dx8.h"

#include <cstring>
#include <filesystem>

namespace {

class IntroTest : public FrontEndATest {
protected:
    static ModelInstance& Block(int i) { return *InstanceAt(Intro.blocks[i]); }
    static bool IsTitlePicture() { return Created(0) && std::strcmp(SpriteAt(0)->Name, "interface\\title.jpg") == 0; }
};

}  // namespace

TEST_F(IntroTest, WithoutInputTheBlocksStand11Point7SecondsThenTheTitle10ThenTheStartMenu)
{
    SetScreen(ScreenId::Intro);
    ASSERT_EQ(Intro.stage, 0);
    EXPECT_TRUE(SceneVisible);
    EXPECT_EQ(TheApp.MeshCount, 3);
    for (int i = 0; i < INTRO_BLOCK_COUNT; ++i) {
        ASSERT_LT(Intro.blocks[i], INSTANCE_NONE);
        EXPECT_GE(Block(i).Position.y, 50.f);
        EXPECT_LT(Block(i).Position.y, 60.f);
    }
    EXPECT_FLOAT_EQ(Block(0).Position.x, -66.f);
    EXPECT_FLOAT_EQ(Block(5).Position.x, -9.f);
    EXPECT_FLOAT_EQ(Block(10).Position.x, 48.f);
    EXPECT_FALSE(Visible(3));
    EXPECT_EQ(TextOf(3), "Click to continue");

    RunFor(11.6f);
    EXPECT_EQ(Intro.stage, 0);
    EXPECT_TRUE(Visible(3));
    EXPECT_FALSE(Active(3));
    RunFor(0.2f);
    EXPECT_EQ(Intro.stage, 1);
    EXPECT_TRUE(IsTitlePicture());
    EXPECT_FALSE(Visible(3));
    EXPECT_FALSE(SceneVisible);
    EXPECT_EQ(TheApp.MeshCount, 0);
    EXPECT_EQ(MusicTempo, 170u);
    EXPECT_GT(FadeTimer, 0.f);
    EXPECT_FLOAT_EQ(FadeDuration, 5.f);

    RunFor(9.8f);
    EXPECT_EQ(CurrentScreenId, (int32_t)ScreenId::Intro);
    RunFor(0.3f);
    EXPECT_EQ(CurrentScreenId, (int32_t)ScreenId::StartMenu);
    EXPECT_EQ(TextOf(STARTMENU_START), "START");
}

TEST_F(IntroTest, AfterSixSecondsTheBlocksStopOnTheirStartFacesAndOnlySinkToTheGround)
{
    SetScreen(ScreenId::Intro);
    D3DVECTOR start[INTRO_BLOCK_COUNT];
    for (int i = 0; i < INTRO_BLOCK_COUNT; ++i) start[i] = Block(i).Rotation;
    // A frame of no time before the six seconds neither sinks nor spins the blocks.
    RunFor(1.f);
    const float y0 = Block(0).Position.y, r0 = Block(0).Rotation.y;
    StepIntroBlocks(0.f);
    EXPECT_EQ(Block(0).Position.y, y0);
    EXPECT_EQ(Block(0).Rotation.y, r0);

    // Uneven frames up to the six seconds: the spin still ends on whole turns.
    while (Intro.elapsed + 0.033f <= INTRO_SPIN_SECONDS) StepIntroBlocks(0.033f);
    EXPECT_FALSE(Intro.labelShown);
    StepIntroBlocks(0.033f);
    ASSERT_TRUE(Intro.labelShown);
    EXPECT_EQ(Intro.spin, 0.f);
    for (int i = 0; i < INTRO_BLOCK_COUNT; ++i) {
        EXPECT_EQ(Block(i).Rotation.x, start[i].x) << i;
        EXPECT_EQ(Block(i).Rotation.y, start[i].y) << i;
    }
    float last[INTRO_BLOCK_COUNT];
    for (int i = 0; i < INTRO_BLOCK_COUNT; ++i) last[i] = Block(i).Position.y;
    while (Intro.elapsed + 0.02f <= INTRO_BLOCK_SECONDS) {
        StepIntroBlocks(0.02f);
        for (int i = 0; i < INTRO_BLOCK_COUNT; ++i) {
            ASSERT_LE(Block(i).Position.y, last[i]) << "block " << i << " rose at " << Intro.elapsed;
            ASSERT_GE(Block(i).Position.y, 0.f);
            last[i] = Block(i).Position.y;
            ASSERT_EQ(Block(i).Rotation.y, start[i].y);
        }
    }
    for (int i = 0; i < INTRO_BLOCK_COUNT; ++i) EXPECT_EQ(Block(i).Position.y, 0.f) << i;
}

// The letter on the face of a resting block that looks at the camera, read from the block's mesh
// as loaded (its quads' normals through the block's world matrix, the face's tile of the
// texture's 4 x 4 letters): what the player reads.
char LetterFacingTheCamera(int block)
{
    ModelInstance& m = *InstanceAt(Intro.blocks[block]);
    ComputeInstanceWorldMatrix(Intro.blocks[block], false);
    ID3DXMesh* mesh = TheApp.GetMesh(m.MeshIndex)->SystemMesh;
    BYTE* bytes = nullptr;
    if (!mesh || FAILED(mesh->LockVertexBuffer(0, &bytes))) return '?';
    const ModelVertex* v = reinterpret_cast<const ModelVertex*>(bytes);
    const D3DMATRIX& w = m.WorldMatrix;
    const D3DVECTOR toEye{CameraEye.x - m.Position.x, CameraEye.y - m.Position.y, CameraEye.z - m.Position.z};
    float best = -1e30f;
    char letter = '?';
    for (DWORD i = 0; i < mesh->GetNumVertices(); ++i) {
        const float nx = v[i].nx * w._11 + v[i].ny * w._21 + v[i].nz * w._31;
        const float ny = v[i].nx * w._12 + v[i].ny * w._22 + v[i].nz * w._32;
        const float nz = v[i].nx * w._13 + v[i].ny * w._23 + v[i].nz * w._33;
        const float facing = nx * toEye.x + ny * toEye.y + nz * toEye.z;
        if (facing > best) {
            best = facing;
            const int tile = (int)(v[i].tu * 4.f) + 4 * (int)(v[i].tv * 4.f);
            letter = fwdata::kBlockAtlas[tile];
        }
    }
    mesh->UnlockVertexBuffer();
    return letter;
}

// The blocks come to rest spelling the game's own name, as its title picture and window do,
// between the ball's faces.
TEST_F(IntroTest, TheRestingBlocksSpellTheGamesOwnName)
{
    SetScreen(ScreenId::Intro);
    RunFor(11.f);
    std::string word;
    for (int i = 0; i < INTRO_BLOCK_COUNT; ++i) word += LetterFacingTheCamera(i);
    EXPECT_EQ(word, "*QUILLANE**");
}

TEST_F(IntroTest, AKeyReleaseSkipsToTheTitleAndAClickGoesOnToTheStartMenu)
{
    SetScreen(ScreenId::Intro);
    RunFor(1.f);
    KeyDown(VK_SPACE);
    EXPECT_EQ(Intro.stage, 0) << "the press alone does nothing";
    KeyUp(VK_SPACE);
    EXPECT_EQ(Intro.stage, 1);
    EXPECT_TRUE(IsTitlePicture());
    EXPECT_TRUE(IsSoundPlaying(SOUND_MATCH_MUSIC_2) || GetSoundSegment(SOUND_MATCH_MUSIC_2) == nullptr);
    LeftDown(400, 300);
    EXPECT_EQ(CurrentScreenId, (int32_t)ScreenId::Intro);
    LeftUp(400, 300);
    EXPECT_EQ(CurrentScreenId, (int32_t)ScreenId::StartMenu);
}

TEST_F(IntroTest, StartMenuButtonsActOnThePressAndLeadWhereTheySay)
{
    Competition.matchInProgress = 1;
    SetScreen(ScreenId::StartMenu);
    EXPECT_EQ(Competition.matchInProgress, 0);
    NetworkGameActive = true;
    SendToScreen(WM_LBUTTONDOWN, CentreX(STARTMENU_START), CentreY(STARTMENU_START));
    EXPECT_EQ(CurrentScreenId, (int32_t)ScreenId::GameType);
    EXPECT_FALSE(NetworkGameActive);

    SetScreen(ScreenId::StartMenu);
    OptionsOpenedFromStartMenu = 0;
    SendToScreen(WM_LBUTTONDOWN, CentreX(STARTMENU_OPTIONS), CentreY(STARTMENU_OPTIONS));
    EXPECT_EQ(CurrentScreenId, (int32_t)ScreenId::Options);
    EXPECT_EQ(OptionsOpenedFromStartMenu, 1);

    SetScreen(ScreenId::StartMenu);
    SendToScreen(WM_LBUTTONDOWN, CentreX(STARTMENU_LOAD), CentreY(STARTMENU_LOAD));
    EXPECT_EQ(CurrentScreenId, (int32_t)ScreenId::LoadGame);
}

TEST_F(IntroTest, CreditsAndInformationPagesLeadBackToTheStartMenu)
{
    SetScreen(ScreenId::Options);
    SendToScreen(WM_LBUTTONDOWN, CentreX(219), CentreY(219));
    EXPECT_EQ(CurrentScreenId, (int32_t)ScreenId::Credits);
    EXPECT_TRUE(std::filesystem::exists("saves/fenwolt.opt")) << "leaving the options writes them";
    EXPECT_EQ(TextOf(10), "CREDITS");
    EXPECT_FALSE(Active(10));
    SendToScreen(WM_MOUSEMOVE, CentreX(220), CentreY(220));
    SendToScreen(WM_LBUTTONDOWN, CentreX(220), CentreY(220));
    EXPECT_EQ(CurrentScreenId, (int32_t)ScreenId::StartMenu);

    SetScreen(ScreenId::InfoPage1);
    EXPECT_EQ(TextOf(10), "HOW TO PLAY");
    EXPECT_EQ(TextOf(70), "Back");
    SendToScreen(WM_LBUTTONDOWN, CentreX(70), CentreY(70));
    EXPECT_EQ(CurrentScreenId, (int32_t)ScreenId::InfoPage1) << "the page's button acts on the release";
    SendToScreen(WM_LBUTTONUP, CentreX(70), CentreY(70));
    EXPECT_EQ(CurrentScreenId, (int32_t)ScreenId::StartMenu);

    SetScreen(ScreenId::InfoPage2);
    EXPECT_EQ(TextOf(10), "YOUR SQUAD");
    SendToScreen(WM_LBUTTONUP, CentreX(70), CentreY(70));
    EXPECT_EQ(CurrentScreenId, (int32_t)ScreenId::StartMenu);
}
