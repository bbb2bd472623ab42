#include "fenwolt/Game/GameApp.h"
#include "fenwolt/common/AppTimer.h"
#include "fenwolt/common/DeviceCursor.h"
#include "platform/d3d8/d3d8_internal.h"
#include "framework_test_support.h"

#include <cstring>
#include <string>
#include <vector>

namespace {
std::vector<std::string> g_loadedMeshes, g_loadedTextures;
bool g_failTextures = false;

HRESULT RecordMesh(int slot, const char* file)
{
    g_loadedMeshes.push_back(std::to_string(slot) + ":" + file);
    return S_OK;
}
HRESULT RecordTexture(int slot, const char* file)
{
    if (g_failTextures) return E_FAIL;
    g_loadedTextures.push_back(std::to_string(slot) + ":" + file);
    return S_OK;
}
const ResourceListLoader kRecorder = {RecordMesh, RecordTexture};

class GameAppTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ConstructTheApp();
        SetResourceListLoader(&kRecorder);
        g_loadedMeshes.clear();
        g_loadedTextures.clear();
        g_failTextures = false;
        TextureQuality = 0;
    }
    void TearDown() override
    {
        SetResourceListLoader(nullptr);
        DestroyTheApp();
        ResetScreenHandlers();
        TextureQuality = 0;
    }
    ScratchDirectory dir;
};

std::vector<int32_t> g_screenMessages;
void RecordScreenMessage(int32_t id) { g_screenMessages.push_back(id); }
float g_lastStep = -1.f;
void RecordStep(float step) { g_lastStep = step; }
}  // namespace

TEST_F(GameAppTest, TablesHaveTheirSizesAndDefaults)
{
    EXPECT_STREQ(TheApp.WindowTitle, "Dorvanix: Quillane");
    EXPECT_TRUE(TheApp.UseDepthBuffer);
    for (auto* m : TheApp.MeshTable) {
        ASSERT_NE(m, nullptr);
        EXPECT_STREQ(m->Name, "CD3DFile_Mesh");
    }
    for (auto* s : TheApp.SpriteTable) ASSERT_NE(s, nullptr);
    EXPECT_EQ(sizeof(TheApp.InstanceTable) / sizeof(TheApp.InstanceTable[0]), 2500u);
    EXPECT_EQ(TheApp.FindMeshByName("nothing.x"), 1000);
    EXPECT_EQ(AppInstancePointer, &TheApp);
}

TEST_F(GameAppTest, ResourceListLinesEndAtCarriageReturnOrLineFeed)
{
    dir.Write("level/cr.txt", "a.x\rb.tga\rlast.x");
    dir.Write("level/lf.txt", "c.x\nd.tga\n");
    dir.Write("level/crlf.txt", "e.x\r\nf.jpg\r\n");
    TheApp.ResourceLoadProgress.ListsPending = 3;
    ASSERT_EQ(TheApp.LoadResourceList("level\\cr.txt", false), S_OK);
    ASSERT_EQ(TheApp.LoadResourceList("level\\lf.txt", false), S_OK);
    ASSERT_EQ(TheApp.LoadResourceList("level\\crlf.txt", false), S_OK);
    // The last line of the first list has no line end and is not read.
    EXPECT_EQ(g_loadedMeshes, (std::vector<std::string>{"0:a.x", "2:c.x", "4:e.x"}));
    EXPECT_EQ(g_loadedTextures, (std::vector<std::string>{"1:b.tga", "3:d.tga", "5:f.jpg"}));
    EXPECT_EQ(TheApp.MeshCount, 6);
    EXPECT_EQ(TheApp.ResourceLoadProgress.StepsDone, 6u);
    EXPECT_EQ(TheApp.ResourceLoadProgress.ResourcesLoaded, 1);
}

TEST_F(GameAppTest, EmptyAndOverlongLinesAreSkipped)
{
    std::string longName(300, 'q');
    dir.Write("list.txt", "\r\r\n" + longName + ".x\rok.x\r" + std::string(259, 'w') + "\r");
    TheApp.ResourceLoadProgress.ListsPending = 1;
    ASSERT_EQ(TheApp.LoadResourceList("list.txt", false), S_OK);
    ASSERT_EQ(g_loadedMeshes.size(), 1u);
    EXPECT_EQ(g_loadedMeshes[0], "0:ok.x");
    ASSERT_EQ(g_loadedTextures.size(), 1u);  // 259 characters is still a name
    EXPECT_EQ(g_loadedTextures[0].size(), 2u + 259u);
}

TEST_F(GameAppTest, CountPassAndLoadPassBothFinish)
{
    dir.Write("level/e_mesh.txt", "a.x\rb.x\r");
    dir.Write("level/e_tex.txt", "t.tga\r");
    TheApp.ResourceLoadProgress.TotalSteps = 0;
    TheApp.ResourceLoadProgress.ListsPending = 2;
    TheApp.LoadResourceList("level\\e_mesh.txt", true);
    TheApp.LoadResourceList("level\\e_tex.txt", true);
    EXPECT_EQ(TheApp.ResourceLoadProgress.TotalSteps, 6u);
    EXPECT_TRUE(g_loadedMeshes.empty());
    EXPECT_EQ(TheApp.ResourceLoadProgress.ListsPending, 2);
    TheApp.LoadResourceList("level\\e_mesh.txt", false);
    EXPECT_EQ(TheApp.ResourceLoadProgress.ResourcesLoaded, 0);
    TheApp.LoadResourceList("level\\e_tex.txt", false);
    EXPECT_EQ(TheApp.ResourceLoadProgress.ListsPending, 0);
    EXPECT_EQ(TheApp.ResourceLoadProgress.ResourcesLoaded, 1);
}

TEST_F(GameAppTest, AMissingListReportsItsErrorAndDoesNotHangTheLoader)
{
    TheApp.ResourceLoadProgress.ListsPending = 1;
    EXPECT_EQ(TheApp.LoadResourceList("level\\missing.txt", false), ErrMediaMissing);
    EXPECT_EQ(TheApp.ResourceLoadProgress.ResourcesLoaded, 1);
}

TEST_F(GameAppTest, FailedFilesDoNotTakeASlot)
{
    dir.Write("list.txt", "t1.tga\rm.x\r");
    g_failTextures = true;
    TheApp.ResourceLoadProgress.ListsPending = 1;
    TheApp.LoadResourceList("list.txt", false);
    EXPECT_EQ(g_loadedMeshes, (std::vector<std::string>{"0:m.x"}));
    EXPECT_EQ(TheApp.MeshCount, 1);
}

TEST_F(GameAppTest, LowTextureQualityReadsTheTwinWithoutChangingTheCallersName)
{
    TextureQuality = 1;
    dir.Write("list.txt", "textures\\grass.tga\rtex.tga\rother\\tex.tga\r");
    TheApp.ResourceLoadProgress.ListsPending = 1;
    TheApp.LoadResourceList("list.txt", false);
    EXPECT_EQ(g_loadedTextures,
              (std::vector<std::string>{"0:texture2\\grass.tga", "1:tex.tga", "2:other\\tex.tga"}));
    std::snprintf(TheApp.MeshTable[3]->Name, 260, "texture2\\pitch.tga");
    const char name[] = "textures\\pitch.tga";
    char copy[sizeof(name)];
    std::memcpy(copy, name, sizeof(name));
    EXPECT_EQ(TheApp.FindMeshByName(copy), 3);
    EXPECT_STREQ(copy, name);
}

TEST_F(GameAppTest, MouseAndKeyMessagesReachTheScreenWithTheirParameter)
{
    g_screenMessages.clear();
    SetScreenMessageHandler(RecordScreenMessage);
    TheApp.HandleMessage(nullptr, WM_MOUSEMOVE, 0x1234, MAKELPARAM(5, 6));
    EXPECT_EQ(LastMessageParam, 0x1234u);
    EXPECT_EQ(LastMessageId, (uint32_t)WM_MOUSEMOVE);
    TheApp.HandleMessage(nullptr, WM_LBUTTONDOWN, 1, 0);
    EXPECT_TRUE(LeftButtonDown);
    TheApp.HandleMessage(nullptr, WM_LBUTTONUP, 0, 0);
    EXPECT_FALSE(LeftButtonDown);
    TheApp.HandleMessage(nullptr, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(LastMessageParam, (uint32_t)VK_ESCAPE);
    TheApp.HandleMessage(nullptr, WM_CHAR, 'a', 0);  // not one of the screen's messages
    EXPECT_EQ(g_screenMessages,
              (std::vector<int32_t>{WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_KEYDOWN}));
}

TEST_F(GameAppTest, UpdateStepIsFixedWithTheReferenceDevice)
{
    SetScreenUpdateHandler(RecordStep);
    TheApp.Adapters[0].DeviceCount = 1;
    TheApp.Adapters[0].Devices[0].DeviceType = D3DDEVTYPE_REF;
    TheApp.ElapsedTime = 0.5f;
    TheApp.UpdateFrame();
    EXPECT_FLOAT_EQ(g_lastStep, 0.05f);
    EXPECT_FLOAT_EQ(FrameTimeFactor, 1.25f);
    TheApp.Adapters[0].Devices[0].DeviceType = D3DDEVTYPE_HAL;
    TheApp.UpdateFrame();
    EXPECT_FLOAT_EQ(g_lastStep, 0.5f);
    EXPECT_FLOAT_EQ(FrameTimeFactor, 12.5f);
}

TEST_F(GameAppTest, HardwareVertexProcessingNeedsVertexShaders)
{
    D3DCAPS8 caps{};
    caps.VertexShaderVersion = D3DVS_VERSION(0, 0);
    EXPECT_EQ(TheApp.CheckDeviceCaps(&caps, D3DCREATE_HARDWARE_VERTEXPROCESSING, D3DFMT_X8R8G8B8), E_FAIL);
    EXPECT_EQ(TheApp.CheckDeviceCaps(&caps, D3DCREATE_MIXED_VERTEXPROCESSING, D3DFMT_X8R8G8B8), E_FAIL);
    EXPECT_EQ(TheApp.CheckDeviceCaps(&caps, D3DCREATE_SOFTWARE_VERTEXPROCESSING, D3DFMT_X8R8G8B8), S_OK);
    caps.VertexShaderVersion = D3DVS_VERSION(1, 0);
    EXPECT_EQ(TheApp.CheckDeviceCaps(&caps, D3DCREATE_HARDWARE_VERTEXPROCESSING, D3DFMT_X8R8G8B8), S_OK);
}

TEST_F(GameAppTest, CursorSpritesStartWithTheNormalOneShown)
{
    LoadCursorSprites();
    EXPECT_TRUE(TheApp.CursorSprites[0]->IsVisible());
    EXPECT_FALSE(TheApp.CursorSprites[1]->IsVisible());
    EXPECT_STREQ(TheApp.CursorSprites[1]->PictureFile, "interface\\cursor2.tga");
    SelectCursorSprite(1);
    EXPECT_FALSE(TheApp.CursorSprites[0]->IsVisible());
    EXPECT_TRUE(TheApp.CursorSprites[1]->IsVisible());
}

// ---------------------------------------------------------------------------------------------
namespace {
class GameRunTest : public RunningAppTest {
protected:
    void TearDown() override
    {
        RunningAppTest::TearDown();
        AppTimerForgetState();
    }
};

}  // namespace

TEST_F(GameRunTest, AFrameShowsTheClearColourAndAClosedGameTouchesNothing)
{
    ClearColour = 0xFF2040C0;
    ScreenReady = true;
    Sleep(5);
    ASSERT_EQ(TheApp.RenderOneFrame(), S_OK);
    D3DVIEWPORT8 vp{};
    TheApp.Device->GetViewport(&vp);
    EXPECT_EQ(vp.Width, 800u);
    std::vector<uint8_t> rgb;
    int w = 0, h = 0;
    ASSERT_TRUE(dynamic_cast<Direct3DDevice8Impl*>(TheApp.Device)->ReadBackBuffer(w, h, rgb));
    ASSERT_EQ(w, 800);
    size_t centre = (size_t)(300 * w + 400) * 3;
    EXPECT_EQ(rgb[centre], 0x20);
    EXPECT_EQ(rgb[centre + 1], 0x40);
    EXPECT_EQ(rgb[centre + 2], 0xC0);
    // Alt+X: the screen stops drawing, the window closes, the quit message follows.
    g_screenMessages.clear();
    SetScreenMessageHandler(RecordScreenMessage);
    TheApp.HandleMessage(TheApp.MainWindow, WM_COMMAND, IDM_EXIT, 0);
    EXPECT_FALSE(ScreenReady);
    EXPECT_EQ(TheApp.Device, nullptr);
    EXPECT_EQ(TheApp.SpriteTable[0], nullptr);
    EXPECT_TRUE(TheApp.IsShutDown());
    // Late messages after the shutdown reach nothing of the game.
    TheApp.HandleMessage(nullptr, WM_MOUSEMOVE, 0, 0);
    TheApp.HandleMessage(nullptr, WM_SIZE, SIZE_RESTORED, 0);
    EXPECT_TRUE(g_screenMessages.empty());
    EXPECT_FALSE(TheApp.Active);
    EXPECT_EQ(TheApp.RenderOneFrame(), S_OK);
    MSG msg;
    bool quit = false;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        if (msg.message == WM_QUIT) quit = true;
    EXPECT_TRUE(quit);
    TheApp.DestroyMeshes();  // twice is harmless
}

TEST_F(GameRunTest, AFrameWhileTheScreenIsNotReadyPresentsBlack)
{
    ClearColour = 0xFFFFFFFF;
    ScreenReady = true;
    Sleep(5);
    ASSERT_EQ(TheApp.RenderOneFrame(), S_OK);
    ScreenReady = false;
    Sleep(5);
    ASSERT_EQ(TheApp.RenderOneFrame(), S_OK);
    std::vector<uint8_t> rgb;
    int w = 0, h = 0;
    ASSERT_TRUE(dynamic_cast<Direct3DDevice8Impl*>(TheApp.Device)->ReadBackBuffer(w, h, rgb));
    EXPECT_EQ(rgb[0], 0);
    EXPECT_EQ(rgb[(size_t)(300 * w + 400) * 3 + 1], 0);
}

// ---------------------------------------------------------------------------------------------
TEST(DeviceCursorTest, MonochromeMaskOfDoubleHeightGivesASquareImage)
{
    CursorBitmaps b;
    b.width = 32;
    b.maskHeight = 64;
    b.mask.assign(32 * 64, 0);
    // Bottom-up rows: rows 0..31 are the XOR image, 32..63 the AND mask.
    for (uint32_t row = 32; row < 64; ++row)
        for (uint32_t x = 16; x < 32; ++x) b.mask[row * 32 + x] = 0x00FFFFFF;  // right half transparent
    b.mask[31 * 32 + 0] = 0x00FFFFFF;  // XOR image, top row (bottom-up row 31), first pixel white
    uint32_t h = 0;
    std::vector<uint32_t> image = BuildDeviceCursorImage(b, h);
    ASSERT_EQ(h, 32u);
    ASSERT_EQ(image.size(), 32u * 32u);
    EXPECT_EQ(image[0], 0xFFFFFFFFu);       // top-left: opaque white
    EXPECT_EQ(image[1], 0xFF000000u);       // opaque black
    EXPECT_EQ(image[20], 0x00000000u);      // masked: transparent
    EXPECT_EQ(image[31 * 32 + 31], 0u);
}

TEST(DeviceCursorTest, ColourCursorUsesItsColourBitmapAndRejectsBadSizes)
{
    CursorBitmaps b;
    b.width = 2;
    b.maskHeight = 2;
    b.mask = {0, 0x00FFFFFF, 0, 0};
    b.colour = {0x00112233, 0x00445566, 0x00778899, 0x00AABBCC};
    uint32_t h = 0;
    std::vector<uint32_t> image = BuildDeviceCursorImage(b, h);
    ASSERT_EQ(h, 2u);
    EXPECT_EQ(image[0], 0xFF778899u);  // top row is the last bottom-up row
    EXPECT_EQ(image[2], 0xFF112233u);
    EXPECT_EQ(image[3], 0u);
    b.colour.pop_back();
    EXPECT_TRUE(BuildDeviceCursorImage(b, h).empty());
    EXPECT_EQ(SetDeviceCursor(nullptr, nullptr), E_FAIL);
}
