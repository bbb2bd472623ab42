#include "fenwolt/Game/FrontEnd/Intro.h"

#include "fenwolt/Game/Engine/Fade.h"
#include "fenwolt/Game/FrontEnd/GameType.h"
#include "fenwolt/Game/FrontEnd/Options.h"
#include "fenwolt/Game/GameApp.h"
#include "fenwolt/Game/Engine/Instances.h"
#include "fenwolt/Game/Engine/Lighting.h"
#include "fenwolt/Game/Screens.h"
#include "fenwolt/Game/Engine/Sound.h"
#include "fenwolt/Game/Engine/Sprites.h"
#include "fenwolt/Game/Engine/Texts.h"
#include "fenwolt/common/Utilities.h"
#include "platform/d3dx8/d3dx8math.h"

IntroState Intro{0, 0.f, 0.f, {}, {}, {}, 0, INTRO_TITLE_SECONDS};

namespace {

constexpr float kPi = 3.14159265358979f;
constexpr TextId TEXT_CLICK_TO_CONTINUE = 411;
constexpr unsigned SPRITE_INTRO_LABEL = 3;
constexpr unsigned SPRITE_BACK = 70;
constexpr unsigned SPRITE_CREDITS_RETURN = 220;

const char* const kFrontBlock = "xdata\\bvorne.x";
const char* const kBackBlock = "xdata\\btulst.x";
const char* const kBlockTexture = "textures\\blocktex.jpg";

// Each block's start turn in quarter turns about x and y. The spin adds whole turns, so the
// blocks come to rest as they started, spelling the game's own name between balls: the ball,
// Q, U, I, L on the front blocks, L, A, N, E on the back blocks, and the ball twice more.
struct BlockTurn {
    int quartersX, quartersY;
};
const BlockTurn kStartTurns[INTRO_BLOCK_COUNT] = {
    {1, 0}, {0, 0}, {0, 2}, {0, 3}, {0, 1},  // ball Q U I L (front block faces)
    {0, 0}, {0, 2}, {0, 3}, {0, 1},          // L A N E (back block faces)
    {1, 0}, {1, 0},                          // the ball on the underside
};

D3DVECTOR StartRotation(int block)
{
    return D3DVECTOR{kStartTurns[block].quartersX * kPi / 2.f, kStartTurns[block].quartersY * kPi / 2.f, 0.f};
}

float BlockX(int block, float targetX)
{
    const float offset = block < 5 ? -59.f : block == 5 ? -57.f : -55.f;
    return targetX + 11.f * (float)block + offset;
}

const char* BlockMesh(int block) { return (block <= 4 || block == 9) ? kFrontBlock : kBackBlock; }

void SetIntroCamera()
{
    FieldOfView = kPi / 4.f;
    FarPlane = 5000.f;
    CameraTarget = D3DVECTOR{-7.f, 0.f, 120.f};
    CameraEye = D3DVECTOR{0.f, 10.f, 0.f};
    if (!TheAppConstructed() || !TheApp.Device) return;
    D3DXVECTOR3 eye(CameraEye.x, CameraEye.y, CameraEye.z);
    D3DXVECTOR3 at(CameraTarget.x, CameraTarget.y, CameraTarget.z);
    D3DXVECTOR3 up(CameraUp.x, CameraUp.y, CameraUp.z);
    D3DXMATRIX view, projection;
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    D3DXMatrixPerspectiveFovLH(&projection, FieldOfView, 0.75f, 1.f, FarPlane);
    TheApp.SceneMatrices[1] = view;
    TheApp.SceneMatrices[2] = projection;
    TheApp.Device->SetTransform(D3DTS_VIEW, &TheApp.SceneMatrices[1]);
    TheApp.Device->SetTransform(D3DTS_PROJECTION, &TheApp.SceneMatrices[2]);
}

void LoadIntroMeshes()
{
    TheApp.DestroyMeshes();
    IDirect3DDevice8* device = TheApp.Device;
    if (FAILED(TheApp.MeshTable[0]->CreateWithTextParse(device, kFrontBlock))) DebugOutPair(GetText(74), kFrontBlock);
    if (FAILED(TheApp.MeshTable[1]->CreateWithTextParse(device, kBackBlock))) DebugOutPair(GetText(74), kBackBlock);
    if (TheApp.MeshTable[2]->CreatePlaceholder(device, kBlockTexture) != 0) DebugOutPair(GetText(75), kBlockTexture);
    TheApp.MeshCount = 3;
    if (!device) return;
    for (XFileMesh* mesh : TheApp.MeshTable)
        if (mesh && mesh->Loaded) mesh->RestoreVideoResources(device);
}

void ShowTitlePicture()
{
    TheApp.DestroyMeshes();
    HideSprite(SPRITE_INTRO_LABEL);
    SceneVisible = false;
    CreateFullScreenSprite(0, "interface\\title.jpg");
    StopSound(SOUND_TITLE_MUSIC);
    MusicTempo = 170;
    PlayPrimarySound(SOUND_MATCH_MUSIC_2, true);
    PlaySecondarySound(SOUND_WHISTLE_LONG, false);
    Intro.stage = 1;
    SetFadeRectFullScreen();
    StartFadeIn(0.0001f, 5.0f);
}

// What a key release or a click does, and what the timeline does when its time is up.
void AdvanceIntro()
{
    if (Intro.stage == 0)
        ShowTitlePicture();
    else
        SetScreen(ScreenId::StartMenu);
}

// The highlight that follows the mouse over the one button of a page.
void HoverSingleButton(unsigned button)
{
    const SpriteHandle hit = TheApp.HitTestSprites();
    HoverSprite(hit, hit == button);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
void BuildIntroScreen()
{
    Intro.stage = 0;
    Intro.elapsed = 0.f;
    Intro.spin = 0.f;
    UseYellowTextColours();
    SetScreenMessageHandler(IntroMessageHandler);
    SetScreenUpdateHandler(IntroUpdateHandler);
    TheApp.SetSceneViewport(0);
    if (TheApp.Device) InitLights(TheApp.Device);
    SetTextureQualityOption(0);
    ClearColour = 0xFF000000;
    SetIntroCamera();
    LoadIntroMeshes();

    for (int i = 0; i < INTRO_BLOCK_COUNT; ++i) {
        const D3DVECTOR r = StartRotation(i);
        const float y = CameraTarget.y + 50.f + (float)RandomBelow(10);
        Intro.blocks[i] = CreateModelInstance(BlockMesh(i), kBlockTexture, BlockX(i, CameraTarget.x), y,
                                              CameraTarget.z, r.x, r.y, r.z, 1.f);
        Intro.fallAcceleration[i] = 0.f;
        Intro.fallSpeed[i] = 0.1f;
    }
    Intro.labelShown = 0;

    CreateTextSprite(SPRITE_INTRO_LABEL, 320.f, 470.f, 0, GetText(TEXT_CLICK_TO_CONTINUE), 0);
    HideSprite(SPRITE_INTRO_LABEL);
    SceneVisible = true;
    PlayPrimarySound(SOUND_TITLE_MUSIC, false);
}

void StepIntroBlocks(float step)
{
    Intro.elapsed += step;
    Intro.spin = Intro.labelShown ? 0.f : step * kPi;
    bool settleTurn = false;
    if (Intro.elapsed > INTRO_SPIN_SECONDS && !Intro.labelShown) {
        Intro.spin = 0.f;
        // The spin ends on whole turns however the frames fell, so the letters face the camera.
        settleTurn = true;
        ShowSpriteInactive(SPRITE_INTRO_LABEL);
        SetFadeRect(300.f, 400.f, 500.f, 500.f);
        StartFadeIn(0.0001f, 3.0f);
        Intro.labelShown = 1;
    }
    if (Intro.elapsed > INTRO_BLOCK_SECONDS) return;
    for (int i = 0; i < INTRO_BLOCK_COUNT; ++i) {
        ModelInstance* block = InstanceAt(Intro.blocks[i]);
        if (!block || !block->InUse) continue;
        block->MatrixValid = 0;
        float& y = block->Position.y;
        if (Intro.labelShown) {
            // After the spin the blocks only sink, 0.1 a frame, faster only where a block high
            // in a bounce would otherwise not reach the ground before the title comes.
            const float left = INTRO_BLOCK_SECONDS - Intro.elapsed;
            float sink = 0.1f;
            if (left > 0.f && y * step / left > sink) sink = y * step / left;
            if (left <= 0.f) sink = y;
            if (y > 0.f) y -= sink;
            if (y <= 0.f) {
                y = 0.f;
                Intro.fallSpeed[i] = 0.f;
                Intro.fallAcceleration[i] = 0.f;
            }
        } else {
            Intro.fallAcceleration[i] += 0.01f;
            Intro.fallSpeed[i] += Intro.fallAcceleration[i];
            y -= Intro.fallSpeed[i] * step;
            if (y < 0.f) {
                y = 0.f;
                Intro.fallSpeed[i] *= -0.5f;
                Intro.fallAcceleration[i] = 0.01f;
            }
        }
        if (settleTurn) {
            block->Rotation = StartRotation(i);
        } else {
            block->Rotation.x += Intro.spin;
            block->Rotation.y += Intro.spin;
        }
        block->Moved = 1;
    }
}

void IntroUpdateHandler(float step)
{
    if (Intro.stage == 0) {
        StepIntroBlocks(step);
        if (Intro.elapsed > INTRO_BLOCK_SECONDS) AdvanceIntro();
        return;
    }
    Intro.titleCountdown -= step;
    if (Intro.titleCountdown <= 0.f) AdvanceIntro();
}

void IntroMessageHandler(int32_t message)
{
    if (message == WM_KEYUP || message == WM_LBUTTONUP) AdvanceIntro();
}

// ---------------------------------------------------------------------------------------------
void BuildCreditsScreen()
{
    ResetHover();
    SetScreenMessageHandler(CreditsMessageHandler);
    CreateFullScreenSprite(0, "interface\\plain.jpg");
    UseWhiteTextColours();
    CreateLabel(10, 40.f, 120.f, 0, "CREDITS", 0);
    CreateLabel(11, 40.f, 150.f, 0, "Design:", 0);
    CreateLabel(12, 260.f, 150.f, 0, "Orla Brennick", 0);
    CreateLabel(13, 40.f, 180.f, 0, "Art:", 0);
    CreateLabel(14, 260.f, 180.f, 0, "Tamsin Vell", 0);
    CreateLabel(15, 260.f, 200.f, 0, "Ivo Marchetti", 0);
    CreateLabel(16, 40.f, 230.f, 0, "With thanks to:", 0);
    CreateLabel(17, 260.f, 230.f, 0, "Every manager who tested a turn", 0);
    CreateLabel(18, 400.f, 260.f, 1, "Eleven players, five seconds a turn,", 1);
    CreateLabel(19, 400.f, 280.f, 1, "and every order is yours.", 1);
    CreateLabel(20, 400.f, 300.f, 1, "Thank you for playing.", 1);
    UseGreenTextColours();
    CreateTextSprite(SPRITE_CREDITS_RETURN, 650.f, 550.f, 0, "Return", 0);
    SetTextSpriteColour(SPRITE_CREDITS_RETURN, 255, 255, 0);
}

void CreditsMessageHandler(int32_t message)
{
    if (message == WM_MOUSEMOVE) {
        HoverSingleButton(SPRITE_CREDITS_RETURN);
    } else if (message == WM_LBUTTONDOWN && TheApp.HitTestSprites() == SPRITE_CREDITS_RETURN) {
        SetScreen(ScreenId::StartMenu);
    }
}

void BuildInfoPage1Screen()
{
    ResetHover();
    SetScreenMessageHandler(InfoPageMessageHandler);
    CreateFullScreenSprite(0, "interface\\plain.jpg");
    UseGreenTextColours();
    const float ys[6] = {90.f, 120.f, 140.f, 160.f, 180.f, 210.f};
    for (int i = 0; i < 6; ++i) {
        const TextId id = 393 + (TextId)i;
        CreateLabel(10 + (unsigned)i, 110.f, ys[i], (id == 393 || id == 398) ? 0 : 1, GetText(id), 0);
    }
    CreateLabel(16, 110.f, 240.f, 1, "Give every order you want, then end your turn.", 0);
    CreateLabel(17, 110.f, 270.f, 0, GetText(401), 0);
    CreateLabel(18, 110.f, 300.f, 1, GetText(402), 0);
    CreateTextSprite(SPRITE_BACK, 620.f, 542.f, 0, GetText(289), 0);
}

void BuildInfoPage2Screen()
{
    ResetHover();
    SetScreenMessageHandler(InfoPageMessageHandler);
    CreateFullScreenSprite(0, "interface\\plain.jpg");
    UseGreenTextColours();
    const float ys[6] = {90.f, 120.f, 150.f, 200.f, 230.f, 260.f};
    for (int i = 0; i < 6; ++i) {
        const TextId id = 405 + (TextId)i;
        CreateLabel(10 + (unsigned)i, 400.f, ys[i], id == 405 ? 0 : 1, GetText(id), 1);
    }
    CreateTextSprite(SPRITE_BACK, 620.f, 542.f, 0, GetText(289), 0);
}

void InfoPageMessageHandler(int32_t message)
{
    if (message == WM_MOUSEMOVE) {
        HoverSingleButton(SPRITE_BACK);
    } else if (message == WM_LBUTTONUP && TheApp.HitTestSprites() == SPRITE_BACK) {
        SetScreen(ScreenId::StartMenu);
    }
}
