#include "fenwolt/Game/Engine/Instances.h"
#include "fenwolt/Game/Engine/Scene.h"
#include "fenwolt/Game/Screens.h"
#include "fenwolt/Game/Engine/Sprites.h"
#include "engine_test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
class SpriteTest : public EngineAppTest {
protected:
    void SetUp() override
    {
        EngineAppTest::SetUp();
        UseWhiteTextColours();
        SpriteImageWidth = SpriteImageHeight = 256;
    }
    static std::vector<ScreenVertex> Vertices(const Sprite* s)
    {
        std::vector<ScreenVertex> out;
        BYTE* data = nullptr;
        if (!s->VertexBuffer || FAILED(s->VertexBuffer->Lock(0, 0, &data, D3DLOCK_READONLY))) return out;
        const ScreenVertex* v = reinterpret_cast<const ScreenVertex*>(data);
        out.assign(v, v + s->TriangleCount * 3);
        s->VertexBuffer->Unlock();
        return out;
    }
    static void MouseAt(int x, int y)
    {
        MouseX = x;
        MouseY = y;
    }
};
}  // namespace

TEST_F(SpriteTest, HitTestTakesTheLowestActiveHandleWithInclusiveEdges)
{
    CreateTextSprite(30, 100, 100, 0, "Menu", 0);
    CreateTextSprite(20, 100, 100, 1, "Menu", 0);
    const RECT r = TheApp.SpriteTable[20]->ScreenRect;
    ASSERT_LT(r.left, r.right);
    MouseAt(r.left, r.top);
    EXPECT_EQ(HitTestSprites(), 20);
    MouseAt(r.right, r.bottom);
    EXPECT_EQ(HitTestSprites(), 20);
    MouseAt(r.right + 1, r.top);
    EXPECT_NE(HitTestSprites(), 20);
    MouseAt(r.left, r.top);
    // Not ACTIVE: never hit, even when VISIBLE. ACTIVE but hidden: still hit.
    ShowSpriteInactive(20);
    EXPECT_EQ(HitTestSprites(), 30);
    SetSpriteActive(20, 1);
    TheApp.SpriteTable[20]->SetVisible(false);
    EXPECT_EQ(HitTestSprites(), 20);
    HideSprite(20);
    HideSprite(30);
    EXPECT_EQ(HitTestSprites(), SPRITE_NONE);
    // An empty text covers nothing.
    CreateTextSprite(5, 0, 0, 0, "", 0);
    EXPECT_EQ(TheApp.SpriteTable[5]->ScreenRect.left, 6000);
    MouseAt(0, 0);
    EXPECT_EQ(HitTestSprites(), SPRITE_NONE);
}

TEST_F(SpriteTest, AlignmentAndLaterTextChanges)
{
    CreateTextSprite(1, 400, 50, 0, "Centred", 1);
    Sprite* s = TheApp.SpriteTable[1];
    const int width = s->ScreenRect.right - s->ScreenRect.left;
    EXPECT_NEAR(s->ScreenRect.left, 400 - width / 2, 1);
    CreateTextSprite(2, 400, 90, 2, "Right", 32);
    EXPECT_NEAR(TheApp.SpriteTable[2]->ScreenRect.right, 400, 1);
    // New text keeps the left edge until re-centred.
    const LONG left = s->ScreenRect.left;
    SetSpriteText(1, "A much longer text");
    EXPECT_EQ(s->ScreenRect.left, left);
    CentreSpriteOn(1, 400);
    EXPECT_NEAR((s->ScreenRect.left + s->ScreenRect.right) / 2.0, 400, 1);
    // Advances are the table widths: "MM" in font 0 starts the second M 27 pixels on.
    CreatePlainTextSprite(3, 10, 10, 0, "MM", 0);
    EXPECT_EQ(TheApp.SpriteTable[3]->ScreenRect.right, 10 + 27 + 32);
    std::vector<ScreenVertex> v = Vertices(TheApp.SpriteTable[3]);
    ASSERT_EQ(v.size(), 12u);
    EXPECT_FLOAT_EQ(v[6].x - v[0].x, 27.f);
    EXPECT_FLOAT_EQ(v[1].x, 9.5f);  // texel-centre offset
}

TEST_F(SpriteTest, FixedColoursSurviveAlignmentAndLeaveTheFontAlone)
{
    BitmapFont* font = TheApp.FontTable[1];
    font->TextColour = 0xFF123456;
    font->ShadowColour = 0xFF654321;
    CreateTextSpriteFixedColours(4, 400, 300, 1, "Fixed", 1);
    Sprite* s = TheApp.SpriteTable[4];
    std::vector<ScreenVertex> v = Vertices(s);
    ASSERT_EQ(v.size(), 60u);
    EXPECT_EQ(v[0].colour, 0xFF000000u);   // shadow pass
    EXPECT_EQ(v.back().colour, 0xFFFFFF00u);  // text pass
    const int width = s->ScreenRect.right - s->ScreenRect.left;
    EXPECT_NEAR(s->ScreenRect.left, 400 - width / 2, 1);
    EXPECT_EQ(font->TextColour, 0xFF123456u);
    EXPECT_EQ(font->ShadowColour, 0xFF654321u);
}

TEST_F(SpriteTest, HighlightDrawsInTheSchemesHighlightColours)
{
    UseYellowTextColours();
    CreateTextSprite(8, 10, 10, 0, "Start", 0);
    HighlightTextSprite(8);
    std::vector<ScreenVertex> v = Vertices(TheApp.SpriteTable[8]);
    ASSERT_FALSE(v.empty());
    EXPECT_EQ(v.front().colour, 0xFFFFFF00u);  // shadow in the bright colour
    EXPECT_EQ(v.back().colour, 0xFF000000u);   // dark letters
    UnhighlightTextSprite(8);
    v = Vertices(TheApp.SpriteTable[8]);
    EXPECT_EQ(v.back().colour, 0xFFFFFF00u);
    SetTextSpriteColour(8, 1, 2, 3);
    EXPECT_EQ(Vertices(TheApp.SpriteTable[8]).back().colour, 0xFF010203u);
    PlaceSprite(8, 10, 10);
    EXPECT_EQ(Vertices(TheApp.SpriteTable[8]).back().colour, 0xFFFFFF00u);
}

TEST_F(SpriteTest, TextLimitsAndGlyphsBelowTheSheet)
{
    // 200 printable characters, shadowed: the 300 quads hold the whole shadow and 100 letters.
    CreateTextSprite(9, 0, 0, 2, std::string(200, 'a').c_str(), 0);
    Sprite* s = TheApp.SpriteTable[9];
    EXPECT_EQ(s->TriangleCount, 600u);
    // Line feeds only: nothing drawn, the rectangle stays empty.
    SetSpriteText(9, "\n\n");
    EXPECT_EQ(s->TriangleCount, 0u);
    EXPECT_EQ(s->ScreenRect.left, 6000);
    EXPECT_EQ(s->ScreenRect.bottom, 0);
    // Codes 200 and above of the large font lie below its 256-pixel sheet: not drawn.
    CreateTextSprite(10, 0, 0, 0, "\xC8\xE0\xFE", 0);
    EXPECT_EQ(TheApp.SpriteTable[10]->TriangleCount, 0u);
    CreateTextSprite(11, 0, 0, 1, "\xC8", 0);
    EXPECT_EQ(TheApp.SpriteTable[11]->TriangleCount, 4u);
    // Texts longer than the record keep their first 299 characters.
    CreateTextSprite(12, 0, 0, 2, std::string(400, 'b').c_str(), 0);
    EXPECT_EQ(std::string(TheApp.SpriteTable[12]->Text).size(), 299u);
}

TEST_F(SpriteTest, HandlesOfTwoThousandAndMoreAreIgnored)
{
    for (unsigned h : {2000u, 2001u, 65535u}) {
        CreateTextSprite(h, 0, 0, 0, "x", 1);
        CreatePlainTextSprite(h, 0, 0, 0, "x", 32);
        CreateTextSpriteFixedColours(h, 0, 0, 0, "x", 1);
        CreateImageSprite(h, 0, 0, 10, 10, "interface\\conf.tga", MakeRect(0, 0, 10, 10), 0);
        CreateFullScreenSprite(h, "interface\\plain.jpg");
        SetSpriteText(h, "y");
        PlaceSprite(h, 1, 1);
        CentreSpriteOn(h, 1);
        RightAlignSpriteOn(h, 1);
        SetSpriteActive(h, 1);
        SetTextSpriteColour(h, 1, 1, 1);
        RefreshSpriteImage(h, "interface\\conf.tga");
        HighlightTextSprite(h);
        ShowSprite(h);
    }
    CreateTextSprite(0, 0, 0, 7, "bad font", 0);
    EXPECT_EQ(TheApp.SpriteTable[0]->Device, nullptr);
}

TEST_F(SpriteTest, PicturesTextsAndBuffersChangePlaces)
{
    SpriteImageWidth = 512;
    SpriteImageHeight = 64;
    CreateImageSprite(7, 20, 30, 200, 40, "interface\\controls.tga", MakeRect(0, 0, 200, 40), 0);
    Sprite* s = TheApp.SpriteTable[7];
    ASSERT_NE(s->Device, nullptr);
    EXPECT_EQ(s->TriangleCount, 2u);
    EXPECT_EQ(s->ScreenRect.right, 220);
    EXPECT_EQ(s->ScreenRect.bottom, 70);
    // The picture's six-vertex buffer grows to hold a text.
    CreateTextSprite(7, 0, 0, 2, std::string(120, 'c').c_str(), 0);
    EXPECT_EQ(s->VertexCapacity, 1800u);
    EXPECT_EQ(s->TriangleCount, 480u);
    // Centred on x with flags 1: a wide picture starts at 0.
    CreateImageSprite(6, 50, 0, 200, 40, "interface\\controls.tga", MakeRect(0, 0, 200, 40), 1);
    EXPECT_EQ(TheApp.SpriteTable[6]->ScreenRect.left, 0);
    // A mesh-slot picture that the table does not hold is never created.
    CreateImageSprite(5, 0, 0, 16, 16, "textures\\nothing.tga", MakeRect(0, 0, 16, 16), 256);
    EXPECT_EQ(TheApp.SpriteTable[5]->Device, nullptr);
    MouseX = MouseY = 1;
    EXPECT_NE(HitTestSprites(), 5);
}

TEST_F(SpriteTest, ReloadedTexturesAndResetsLeaveSpritesDrawable)
{
    SpriteImageWidth = 512;
    SpriteImageHeight = 64;
    CreateImageSprite(3, 0, 0, 100, 20, "interface\\controls.tga", MakeRect(0, 0, 100, 20), 0);
    CreateTextSprite(4, 0, 100, 0, "Reset", 0);
    RefreshSpriteImage(3, "interface\\conf.tga");
    ASSERT_NE(TheApp.SpriteTable[3]->Texture, nullptr);
    D3DSURFACE_DESC desc{};
    TheApp.SpriteTable[3]->Texture->GetLevelDesc(0, &desc);
    EXPECT_EQ((int)desc.Width, TheApp.SpriteTable[3]->TexInfo.TextureWidth);
    EXPECT_EQ(TheApp.SpriteTable[3]->TexInfo.FromOwnLoader, 1u);
    // Drawing after the reload applies only live textures (a freed one would crash or trace).
    ScreenReady = true;
    RenderEngineFrame();
    EXPECT_EQ(TheApp.DrawCallCount, 2);
    // A reset drops every vertex buffer; restoring writes the quads again.
    ReleaseEngineVideoResources();
    EXPECT_EQ(TheApp.SpriteTable[4]->TriangleCount, 0u);
    RestoreEngineVideoResources();
    EXPECT_GT(TheApp.SpriteTable[4]->TriangleCount, 0u);
    EXPECT_EQ(TheApp.SpriteTable[3]->TriangleCount, 2u);
    RenderEngineFrame();
    EXPECT_EQ(TheApp.DrawCallCount, 2);
}

// ---------------------------------------------------------------------------------------------
namespace {
int g_messages = 0;
int g_updates = 0;
void CountMessage(int32_t) { ++g_messages; }
void CountUpdate(float) { ++g_updates; }
void BuildTestScreen()
{
    CreateTextSprite(1, 10, 10, 0, "One", 0);
    CreateTextSprite(2, 10, 40, 0, "Two", 0);
    DeactivateSprite(2);
    SetScreenMessageHandler(CountMessage);
    SetScreenUpdateHandler(CountUpdate);
}
void BuildTestPopup()
{
    CreateTextSprite(1500, 300, 300, 1, "Popup", 0);
    CreateTextSprite(1949, 300, 330, 1, "Last", 0);
}
}  // namespace

TEST_F(SpriteTest, SetScreenLeavesNoSpriteVisibleAndNoInstanceInUse)
{
    ASSERT_LT(LoadMesh("xdata\\ball.x"), MESH_NONE);
    for (int i = 0; i < 10; ++i) CreateModelInstance("xdata\\ball.x", "", 0, 0, (float)i, 0, 0, 0, 1);
    CreateTextSprite(100, 0, 0, 0, "Old", 0);
    LeftButtonDown = RightButtonDown = true;
    SceneVisible = true;
    for (int id : {5, 11, 22, 45}) {
        SetScreen(id);
        EXPECT_EQ(CurrentScreenId, id);
        EXPECT_TRUE(ScreenReady);
        EXPECT_FALSE(SceneVisible);
        EXPECT_FALSE(LeftButtonDown || RightButtonDown);
        for (Sprite* s : TheApp.SpriteTable) EXPECT_FALSE(s->IsVisible());
        for (const ModelInstance& m : TheApp.InstanceTable) EXPECT_FALSE(m.InUse);
    }
    EXPECT_EQ(TheApp.SpriteTable[100]->Device, nullptr);
    // A registered builder runs with default handlers and its sprites appear.
    SetScreenBuilder(ScreenId::StartMenu, BuildTestScreen);
    SetScreen(ScreenId::StartMenu);
    EXPECT_TRUE(TheApp.SpriteTable[1]->IsVisible());
    g_messages = 0;
    PostScreenCommand(1124, 7);
    EXPECT_EQ(g_messages, 1);
    EXPECT_EQ(LastMessageParam, 7u);
    SetScreenBuilder(ScreenId::StartMenu, nullptr);
    // The intro builds its scene: the blocks are placed and the scene is drawn.
    SetScreen(ScreenId::Intro);
    EXPECT_TRUE(SceneVisible);
    int blocks = 0;
    for (const ModelInstance& m : TheApp.InstanceTable) blocks += m.InUse;
    EXPECT_EQ(blocks, 11);
}

TEST_F(SpriteTest, PopupRestoresExactlyTheSavedFlags)
{
    SetScreenBuilder(ScreenId::StartMenu, BuildTestScreen);
    SetScreenBuilder(ScreenId::SystemMenu, BuildTestPopup);
    SetScreen(ScreenId::StartMenu);
    HideSprite(1);
    SetSpriteActive(1, 1);  // active, hidden
    std::vector<uint32_t> before;
    for (Sprite* s : TheApp.SpriteTable) before.push_back(s->Flags);
    OpenPopupScreen(ScreenId::SystemMenu);
    EXPECT_TRUE(PopupOpen);
    EXPECT_FALSE(TheApp.SpriteTable[1]->IsActive());
    EXPECT_FALSE(TheApp.SpriteTable[2]->IsVisible());
    EXPECT_TRUE(TheApp.SpriteTable[1500]->IsVisible());
    g_updates = 0;
    ScreenUpdateHandler(0.1f);
    EXPECT_EQ(g_updates, 0);  // the screen below stands still
    ClosePopupScreen();
    EXPECT_FALSE(PopupOpen);
    for (int h = 0; h < SPRITE_COUNT; ++h)
        if (h < 1500 || h > 1949) {
            EXPECT_EQ(TheApp.SpriteTable[h]->Flags, before[h]) << h;
        }
    EXPECT_EQ(TheApp.SpriteTable[1500]->Device, nullptr);
    EXPECT_EQ(TheApp.SpriteTable[1949]->Device, nullptr);
    ScreenUpdateHandler(0.1f);
    EXPECT_EQ(g_updates, 1);
    // Only 17 and 28 open as pop-ups.
    OpenPopupScreen(ScreenId::StartMenu);
    EXPECT_FALSE(PopupOpen);
    SetScreenBuilder(ScreenId::StartMenu, nullptr);
    SetScreenBuilder(ScreenId::SystemMenu, nullptr);
}

TEST_F(SpriteTest, APaddedPictureScalesItsCoordinatesAndKeepsItsSize)
{
    SpriteImageWidth = 512;
    SpriteImageHeight = 64;
    CreateImageSprite(9, 0, 0, 100, 20, "interface\\controls.tga", MakeRect(0, 0, 100, 20), 0);
    Sprite* s = TheApp.SpriteTable[9];
    // As if the loader had placed a 512 x 64 picture in a 1024 x 128 texture.
    s->TexInfo.Padded = 1;
    s->TexInfo.ScaleU = 0.5f;
    s->TexInfo.ScaleV = 0.5f;
    ASSERT_EQ(s->SetPosition(10, 10), S_OK);
    std::vector<ScreenVertex> v = Vertices(s);
    ASSERT_EQ(v.size(), 6u);
    EXPECT_FLOAT_EQ(v[2].tu, 100.f / 512.f * 0.5f);
    EXPECT_FLOAT_EQ(v[0].tv, 20.f / 64.f * 0.5f);
    EXPECT_FLOAT_EQ(v[2].x - v[0].x, 100.f);
    EXPECT_EQ(s->ScreenRect.bottom, 30);
}
