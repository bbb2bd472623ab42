// Ctrl+F2 with the game's tables full: the device dialog replaces the device (window to full
// screen in 16 and 32 bits and back), and everything the screens and the match made on the old
// device is made again on the new one, while nothing keeps the old device referenced.
#include "fenwolt/common/AppTimer.h"
#include "fenwolt/Game/Engine/Instances.h"
#include "fenwolt/Game/Engine/Shadows.h"
#include "fenwolt/Game/Engine/Sprites.h"
#include "fenwolt/Game/Engine/VertexAnimation.h"
#include "fenwolt/tests/engine/engine_test_support.h"
#include "platform/dialogs/dialogs_testing.h"
#include "platform/tests/support/test_requirements.h"

#include <cstdlib>

namespace {

constexpr int kModeList = 1003, kFullscreenButton = 1018;
constexpr unsigned kPicture = 0, kText = 10, kMeshPicture = 11, kNeverMade = 12, kReleased = 13;

class DeviceChangeTest : public EngineAppTest {
protected:
    void SetUp() override
    {
        EngineAppTest::SetUp();
        if (HasFatalFailure()) return;
        PlatformClearRecordedMessageBoxes();
        ScreenReady = true;
        SceneVisible = false;
        ClearColour = 0xFF000000;
    }
    void TearDown() override
    {
        DialogSetTestDriver(nullptr);
        FreeAllAnimations();
        ReleaseAllInstances();
        EngineAppTest::TearDown();
        AppTimerForgetState();
    }

    // What a match leaves behind: its meshes and texture holders, a player's animation, an
    // instance with a shadow buffer; and the sprites of a screen.
    void FillTheTables()
    {
        playerMesh = LoadMesh("xdata\\player.x");
        ASSERT_LT(playerMesh, MESH_NONE);
        skinMesh = LoadTextureHolder("textures\\rplayer.tga");
        ASSERT_LT(skinMesh, MESH_NONE);
        ASSERT_EQ(LoadAnimationFile("xdata\\stand.anx", playerMesh, 0), 1);
        instance = CreateModelInstance("xdata\\player.x", "textures\\rplayer.tga", 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 1.f);
        ASSERT_LT(instance, INSTANCE_NONE);
        ModelInstance& m = TheApp.InstanceTable[instance];
        m.CastsShadow = 1;
        ASSERT_EQ(TheApp.Device->BeginScene(), D3D_OK);
        EXPECT_EQ(DrawInstanceShadows(), 1);
        TheApp.Device->EndScene();
        ASSERT_NE(m.DeviceBuffers[1], nullptr) << "the shadow pass made its buffer";

        LoadCursorSprites();
        CreateFullScreenSprite(kPicture, "interface\\plain.jpg");
        UseWhiteTextColours();
        CreateTextSprite(kText, 60.f, 100.f, 0, "WHITE TEXT STAYS WHITE", 0);
        // A later text in another colour gives the shared font that colour.
        UseGreenTextColours();
        CreateTextSprite(kText + 1, 60.f, 160.f, 0, "GREEN", 0);
        CreateImageSprite(kMeshPicture, 500.f, 300.f, 64.f, 64.f, "textures\\rplayer.tga", MakeRect(0, 0, 64, 64), 256);
        CreateTextSprite(kReleased, 100.f, 300.f, 0, "GONE", 0);
        SpriteAt(kReleased)->Destroy();
        ASSERT_NE(SpriteAt(kMeshPicture)->Device, nullptr);
    }

    int ModeOfFormat(D3DFORMAT format)
    {
        AdapterRecord& adapter = TheApp.Adapters[TheApp.CurrentAdapter];
        DeviceRecord& device = adapter.Devices[adapter.CurrentDevice];
        for (uint32_t m = 0; m < device.ModeCount; ++m)
            if (device.Modes[m].Format == format) return (int)m;
        return -1;
    }

    // Ctrl+F2, full screen in the mode of that format, OK.
    void ChooseFullScreen(D3DFORMAT format)
    {
        const int mode = ModeOfFormat(format);
        ASSERT_GE(mode, 0);
        DialogSetTestDriver([&](HWND d) {
            EXPECT_TRUE(DialogTestClick(d, kFullscreenButton));
            EXPECT_TRUE(DialogTestSelect(d, kModeList, mode));
            EXPECT_TRUE(DialogTestClick(d, IDOK));
        });
        EXPECT_EQ(TheApp.HandleMessage(TheApp.MainWindow, WM_COMMAND, IDM_CHANGEDEVICE, 0), 0);
        DialogSetTestDriver(nullptr);
    }

    RgbImage Frame()
    {
        Sleep(2);
        EXPECT_EQ(TheApp.RenderOneFrame(), S_OK);
        return ReadBack();
    }

    // Everything made again on the device there is now; no box (the old device's release left
    // no reference behind, or the framework would have said so and closed).
    void ExpectEverythingOnTheNewDevice()
    {
        for (const PlatformMessageBox& box : PlatformRecordedMessageBoxes()) ADD_FAILURE() << box.text;
        ASSERT_NE(TheApp.Device, nullptr);
        ASSERT_FALSE(TheApp.IsShutDown());
        EXPECT_TRUE(TheApp.Active && TheApp.Ready);
        IDirect3DDevice8* device = TheApp.Device;

        Sprite* picture = SpriteAt(kPicture);
        EXPECT_EQ(picture->Device, device);
        EXPECT_NE(picture->Texture, nullptr);
        EXPECT_NE(picture->VertexBuffer, nullptr);
        Sprite* text = SpriteAt(kText);
        EXPECT_EQ(text->Device, device);
        EXPECT_NE(text->GlyphSheet, nullptr);
        EXPECT_EQ(text->CurrentTexture(), TheApp.FontTable[0]->Texture);
        EXPECT_GT(text->TriangleCount, 0u) << "the text's quads are written again";
        Sprite* meshPicture = SpriteAt(kMeshPicture);
        EXPECT_EQ(meshPicture->Device, device);
        EXPECT_NE(meshPicture->CurrentTexture(), nullptr);
        EXPECT_EQ(SpriteAt(kNeverMade)->Device, nullptr);
        EXPECT_EQ(SpriteAt(kReleased)->Device, nullptr) << "a sprite released by its screen stays released";
        for (Sprite* cursor : TheApp.CursorSprites) EXPECT_EQ(cursor->Device, device);

        XFileMesh& player = *TheApp.MeshTable[playerMesh];
        EXPECT_TRUE(player.Loaded);
        EXPECT_STREQ(player.Name, "xdata\\player.x");
        EXPECT_NE(player.SystemMesh, nullptr);
        EXPECT_NE(player.DeviceMesh, nullptr);
        EXPECT_NE(player.VertexBuffer, nullptr);
        EXPECT_NE(player.IndexBuffer, nullptr);
        XFileMesh& skin = *TheApp.MeshTable[skinMesh];
        EXPECT_STREQ(skin.Name, "textures\\rplayer.tga");
        EXPECT_NE(skin.Texture0(), nullptr);
        EXPECT_NE(skin.DeviceMesh, nullptr);
        EXPECT_EQ(TheApp.FindMeshByName("textures\\rplayer.tga"), skinMesh);
        EXPECT_NE(AnimationFrameBuffer(0, 0), nullptr);
        EXPECT_NE(AnimationFrameVertices(0, 0), nullptr);
        // The shadow buffer went with the old device and comes back when next drawn.
        ModelInstance& m = TheApp.InstanceTable[instance];
        EXPECT_EQ(m.DeviceBuffers[1], nullptr);
        EXPECT_TRUE(m.InUse);
        ASSERT_EQ(device->BeginScene(), D3D_OK);
        EXPECT_EQ(DrawInstanceShadows(), 1);
        device->EndScene();
    }

    // The pixels that differ clearly between two frames, in a band of rows.
    static int Changed(const RgbImage& a, const RgbImage& b, int top = 0, int bottom = 600)
    {
        if (a.rgb.size() != b.rgb.size() || a.rgb.empty()) return 800 * 600;
        int off = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = 0; x < a.width; ++x)
                for (int c = 0; c < 3; ++c)
                    if (std::abs((int)a.At(x, y)[c] - (int)b.At(x, y)[c]) > 24) {
                        ++off;
                        break;
                    }
        return off;
    }
    // The frame looks as it did: its picture, its texts in their colours.
    static void ExpectSameFrame(const RgbImage& before, const RgbImage& after)
    {
        EXPECT_LT(Changed(before, after), 800 * 600 / 100);
        EXPECT_LT(Changed(before, after, 95, 130), 20) << "the white text changed";
    }
    static int Lit(const RgbImage& image)
    {
        int lit = 0;
        for (size_t i = 0; i < image.rgb.size(); i += 3) lit += image.rgb[i] + image.rgb[i + 1] + image.rgb[i + 2] > 40;
        return lit;
    }

    int playerMesh = MESH_NONE, skinMesh = MESH_NONE, instance = INSTANCE_NONE;
};

}  // namespace

TEST_F(DeviceChangeTest, FullScreenIn16And32BitsAndBackKeepsEveryScreenObjectDrawn)
{
    FillTheTables();
    if (HasFatalFailure()) return;
    const RgbImage before = Frame();
    ASSERT_GT(Lit(before), 800 * 600 / 2) << "the screen's picture is drawn";

    ChooseFullScreen(D3DFMT_R5G6B5);
    EXPECT_FALSE(TheApp.Windowed);
    EXPECT_TRUE(PlatformIsFullscreen(TheApp.MainWindow));
    EXPECT_EQ(TheApp.BackBufferDesc.Format, D3DFMT_R5G6B5);
    ExpectEverythingOnTheNewDevice();
    ExpectSameFrame(before, Frame());

    // From full screen the dialog first goes back to the window, then makes the 32-bit device.
    ChooseFullScreen(D3DFMT_X8R8G8B8);
    EXPECT_FALSE(TheApp.Windowed);
    EXPECT_EQ(TheApp.BackBufferDesc.Format, D3DFMT_X8R8G8B8);
    ExpectEverythingOnTheNewDevice();
    ExpectSameFrame(before, Frame());

    // Back to the window: Ctrl+F2 goes there, and Cancel stays.
    DialogSetTestDriver([](HWND d) { EXPECT_TRUE(DialogTestClick(d, IDCANCEL)); });
    EXPECT_EQ(TheApp.HandleMessage(TheApp.MainWindow, WM_COMMAND, IDM_CHANGEDEVICE, 0), 0);
    EXPECT_TRUE(TheApp.Windowed);
    EXPECT_FALSE(PlatformIsFullscreen(TheApp.MainWindow));
    ExpectSameFrame(before, Frame());
}

TEST_F(DeviceChangeTest, AnotherDeviceInTheWindowAlsoGetsEverything)
{
    AdapterRecord& adapter = TheApp.Adapters[TheApp.CurrentAdapter];
    int other = -1;
    for (uint32_t d = 0; d < adapter.DeviceCount; ++d)
        if (d != adapter.CurrentDevice && adapter.Devices[d].CanRenderWindowed) other = (int)d;
    if (other < 0) SKIP_WITHOUT("a second device that renders in a window");
    FillTheTables();
    if (HasFatalFailure()) return;
    const RgbImage before = Frame();
    DialogSetTestDriver([&](HWND d) {
        EXPECT_TRUE(DialogTestSelect(d, 1000, other));
        EXPECT_TRUE(DialogTestClick(d, 1016));
        EXPECT_TRUE(DialogTestClick(d, IDOK));
    });
    EXPECT_EQ(TheApp.HandleMessage(TheApp.MainWindow, WM_COMMAND, IDM_CHANGEDEVICE, 0), 0);
    EXPECT_EQ(adapter.CurrentDevice, (uint32_t)other);
    EXPECT_TRUE(TheApp.Windowed);
    ExpectEverythingOnTheNewDevice();
    ExpectSameFrame(before, Frame());
}

// A match ended and its meshes destroyed by the screen switch: the device change then has only
// the animations the next match reuses, and they come along.
TEST_F(DeviceChangeTest, AnimationsKeptBetweenMatchesComeAlong)
{
    FillTheTables();
    if (HasFatalFailure()) return;
    ReleaseAllInstances();
    TheApp.DestroyMeshes();
    ChooseFullScreen(D3DFMT_X8R8G8B8);
    for (const PlatformMessageBox& box : PlatformRecordedMessageBoxes()) ADD_FAILURE() << box.text;
    ASSERT_NE(TheApp.Device, nullptr);
    EXPECT_NE(AnimationFrameBuffer(0, 0), nullptr);
    EXPECT_FALSE(TheApp.MeshTable[playerMesh]->Loaded);
    EXPECT_EQ(TheApp.MeshTable[playerMesh]->SystemMesh, nullptr) << "an emptied slot is not loaded again";
}
