#include "fenwolt/common/AppFramework.h"
#include "fenwolt/common/AppTimer.h"
#include "framework_test_support.h"

#include <cstring>
#include <vector>

namespace {
// The framework as a game sees it, with the depth buffer the game asks for.
class TestFramework : public AppFramework {
public:
    TestFramework() { UseDepthBuffer = TRUE; }
    HRESULT RestoreVideoResources() override
    {
        ++restores;
        if (failNextRestoreInFullScreen && !Windowed) {
            failNextRestoreInFullScreen = false;
            return E_FAIL;
        }
        return S_OK;
    }
    int restores = 0;
    bool failNextRestoreInFullScreen = false;

    // What the loop hands over, what it is told of frames, and a message the game refuses.
    LRESULT HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        if (msg == WM_LBUTTONDOWN || msg == WM_LBUTTONUP) handled.push_back(msg);
        return AppFramework::HandleMessage(hwnd, msg, wParam, lParam);
    }
    bool AcceptQueuedMessage(const MSG& msg) override { return msg.message != refused; }
    void FrameDrawn() override
    {
        framesPresentedWhenDrawn.push_back(PlatformFrameCount());
        if (framesPresentedWhenDrawn.size() == quitAfterFrames) PostQuitMessage(0);
    }
    std::vector<UINT> handled;
    UINT refused = 0;
    std::vector<uint64_t> framesPresentedWhenDrawn;
    size_t quitAfterFrames = 0;
};

class EnumerationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        D3D8ResetStandInSettings();
        ASSERT_TRUE(PlatformInit());
        PlatformRecordMessageBoxes(true);
        PlatformClearRecordedMessageBoxes();
    }
    void TearDown() override
    {
        if (fw.Direct3D) fw.Direct3D->Release();
        fw.Direct3D = nullptr;
        PlatformRecordMessageBoxes(false);
        D3D8ResetStandInSettings();
    }
    HRESULT Enumerate()
    {
        fw.Direct3D = Direct3DCreate8(120);
        return fw.EnumerateDevices();
    }
    const DeviceRecord& Current() { return fw.Adapters[fw.CurrentAdapter].Devices[fw.Adapters[fw.CurrentAdapter].CurrentDevice]; }
    ScratchDirectory dir;
    TestFramework fw;
};
}  // namespace

TEST_F(EnumerationTest, HardwareDeviceIsChosenWindowedWith16BitModeFirst)
{
    ASSERT_EQ(Enumerate(), S_OK);
    EXPECT_EQ(fw.AdapterCount, 1u);
    EXPECT_EQ(Current().DeviceType, D3DDEVTYPE_HAL);
    EXPECT_TRUE(fw.Windowed);
    EXPECT_TRUE(Current().CanRenderWindowed);
    ASSERT_EQ(Current().ModeCount, 2u);
    EXPECT_EQ(Current().Modes[0].Format, D3DFMT_R5G6B5);  // the highest format value sorts first
    EXPECT_EQ(Current().Modes[1].Format, D3DFMT_X8R8G8B8);
    EXPECT_EQ(Current().Modes[0].Width, 800u);
    EXPECT_EQ(Current().Modes[0].BehaviorFlags, (uint32_t)D3DCREATE_HARDWARE_VERTEXPROCESSING);
    EXPECT_EQ(Current().Modes[1].DepthStencilFormat, D3DFMT_D32);
    EXPECT_EQ(fw.Adapters[0].DeviceCount, 2u);
    EXPECT_TRUE(PlatformRecordedMessageBoxes().empty());
}

TEST_F(EnumerationTest, DepthChoiceFallsFromD32ToD24S8ToD16)
{
    D3D8StandInSettings().offerD32 = false;
    ASSERT_EQ(Enumerate(), S_OK);
    EXPECT_EQ(Current().Modes[0].DepthStencilFormat, D3DFMT_D24S8);
    EXPECT_EQ(fw.DepthStencilFormat, (uint32_t)D3DFMT_D24S8);
    fw.Direct3D->Release();
    D3D8StandInSettings().offerD24S8 = false;
    ASSERT_EQ(Enumerate(), S_OK);
    EXPECT_EQ(Current().Modes[0].DepthStencilFormat, D3DFMT_D16);
}

TEST_F(EnumerationTest, LowSwitchFileLimitsTheDepthBufferToD16)
{
    dir.Write("dat/low.dat", "");
    ASSERT_EQ(Enumerate(), S_OK);
    EXPECT_EQ(Current().Modes[0].DepthStencilFormat, D3DFMT_D16);
    EXPECT_EQ(fw.DepthStencilFormat, (uint32_t)D3DFMT_D16);
}

TEST_F(EnumerationTest, StencilWantedWithoutD24S8SettlesForD16)
{
    D3D8StandInSettings().offerD24S8 = false;
    fw.MinStencilBits = 1;
    ASSERT_EQ(Enumerate(), S_OK);
    // The desktop format is tried first and settles for D16; the stencil wish is then dropped,
    // so the 16-bit format gets the plain search's D32.
    EXPECT_EQ(Current().Modes[1].DepthStencilFormat, D3DFMT_D16);
    EXPECT_EQ(Current().Modes[0].DepthStencilFormat, D3DFMT_D32);
    EXPECT_EQ(fw.MinStencilBits, 0u);
    EXPECT_EQ(fw.D24S8Flag, 0);
}

TEST_F(EnumerationTest, StencilWantedTakesD24S8AndSetsItsFlag)
{
    fw.MinStencilBits = 1;
    ASSERT_EQ(Enumerate(), S_OK);
    EXPECT_EQ(Current().Modes[0].DepthStencilFormat, D3DFMT_D24S8);
    EXPECT_EQ(fw.D24S8Flag, 1);
}

TEST_F(EnumerationTest, HardwareThatCannotRenderWindowedFallsBackToReferenceWithAWarning)
{
    D3D8StandInSettings().halCanRenderWindowed = false;
    ASSERT_EQ(Enumerate(), S_OK);
    EXPECT_EQ(Current().DeviceType, D3DDEVTYPE_REF);
    auto boxes = PlatformRecordedMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_STREQ(boxes[0].text,
                 "Your Direct3D hardware accelerator cannot\nrender into a window.\nPress F2 while the app is running "
                 "to see a\nlist of available devices and modes.\n\nSwitching to the reference rasterizer,\na software "
                 "device that implements the entire\nDirect3D feature set, but runs very slowly.");
    EXPECT_EQ(boxes[0].type & MB_ICONWARNING, (UINT)MB_ICONWARNING);
}

TEST_F(EnumerationTest, NoHardwareAtAllIsNamedAsTheReason)
{
    D3D8StandInSettings().offerHal = false;
    ASSERT_EQ(Enumerate(), S_OK);
    EXPECT_EQ(Current().DeviceType, D3DDEVTYPE_REF);
    auto boxes = PlatformRecordedMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(std::strncmp(boxes[0].text, "No hardware-accelerated Direct3D devices\nwere found.", 52), 0);
}

TEST_F(EnumerationTest, NoReferenceAndNoWindowedHardwareCannotRun)
{
    D3D8StandInSettings().offerRef = false;
    D3D8StandInSettings().halCanRenderWindowed = false;
    EXPECT_EQ(Enumerate(), ErrNoWindowedDevice);
}

TEST_F(EnumerationTest, AnAdapterWithout800x600ContributesNothing)
{
    D3D8StandInSettings().offer800x600 = false;
    EXPECT_EQ(Enumerate(), ErrNoUsableDevice);
    EXPECT_EQ(fw.AdapterCount, 0u);
}

TEST_F(EnumerationTest, WithoutAnyDepthFormatNoDeviceIsUsable)
{
    D3D8StandInSettings().offerD16 = false;
    D3D8StandInSettings().offerD24S8 = false;
    D3D8StandInSettings().offerD32 = false;
    // D24X8 remains: the general search finds it.
    ASSERT_EQ(Enumerate(), S_OK);
    EXPECT_EQ(Current().Modes[0].DepthStencilFormat, D3DFMT_D24X8);
}

// ---------------------------------------------------------------------------------------------
namespace {
class ErrorBoxTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        PlatformRecordMessageBoxes(true);
        PlatformClearRecordedMessageBoxes();
    }
    void TearDown() override { PlatformRecordMessageBoxes(false); }
    PlatformMessageBox Show(HRESULT code, uint32_t kind)
    {
        PlatformClearRecordedMessageBoxes();
        EXPECT_EQ(fw.ShowError(code, kind), code);
        auto boxes = PlatformRecordedMessageBoxes();
        EXPECT_EQ(boxes.size(), 1u);
        return boxes.empty() ? PlatformMessageBox{} : boxes[0];
    }
    TestFramework fw;
};
}  // namespace

TEST_F(ErrorBoxTest, FatalErrorsSayTheProgramWillExit)
{
    fw.WindowTitle = "Title";
    PlatformMessageBox box = Show(ErrMediaMissing, MSGERR_FATAL);
    EXPECT_STREQ(box.text, "Could not load required media.\n\nThis sample will now exit.");
    EXPECT_STREQ(box.caption, "Title");
    EXPECT_EQ(box.type & 0xF0, (UINT)MB_ICONERROR);
    EXPECT_EQ(box.owner, nullptr);
}

TEST_F(ErrorBoxTest, OtherKindsAreWarnings)
{
    PlatformMessageBox box = Show(ErrResetFailed, MSGERR_WARNING);
    EXPECT_STREQ(box.text, "Could not reset the Direct3D device.");
    EXPECT_EQ(box.type & 0xF0, (UINT)MB_ICONWARNING);
    EXPECT_STREQ(box.caption, "D3D8 Application");
    box = Show(ErrNoUsableDevice, 7);
    EXPECT_STREQ(box.text, "Could not find any compatible Direct3D\ndevices.");
}

TEST_F(ErrorBoxTest, MemoryAndUnknownCodesHaveTheirTexts)
{
    EXPECT_STREQ(Show(E_OUTOFMEMORY, MSGERR_WARNING).text, "Not enough memory.");
    EXPECT_STREQ(Show(D3DERR_OUTOFVIDEOMEMORY, MSGERR_WARNING).text, "Not enough video memory.");
    EXPECT_STREQ(Show((HRESULT)0x80001234, MSGERR_WARNING).text,
                 "Generic application error. Enable\ndebug output for detailed information.");
    EXPECT_STREQ(Show(ErrObjectsStillReferenced, MSGERR_WARNING).text,
                 "A D3D object has a non-zero reference\ncount (meaning things were not properly\ncleaned up).");
}

TEST_F(ErrorBoxTest, TheLongestMessageFitsWithItsReferenceSuffix)
{
    PlatformMessageBox box = Show(ErrHardwareLacksFeaturesInDesktopFormat, MSGERR_REFERENCE);
    const char* tail = "but runs very slowly.";
    size_t len = std::strlen(box.text);
    ASSERT_GT(len, std::strlen(tail));
    EXPECT_STREQ(box.text + len - std::strlen(tail), tail);
}

// ---------------------------------------------------------------------------------------------
namespace {
class CreateTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        D3D8ResetStandInSettings();
        PlatformRecordMessageBoxes(true);
        PlatformClearRecordedMessageBoxes();
        DebugMode = DevStatistics = false;
    }
    void TearDown() override
    {
        if (fw && fw->MainWindow) SendMessageA(fw->MainWindow, WM_CLOSE, 0, 0);
        delete fw;
        DrainMessages();
        PlatformRecordMessageBoxes(false);
        D3D8ResetStandInSettings();
        AppTimerForgetState();
    }
    ScratchDirectory dir;
    TestFramework* fw = nullptr;
};
}  // namespace

TEST_F(CreateTest, WithoutSwitchFilesTheProgramGoesFullScreen)
{
    fw = new TestFramework();
    ASSERT_EQ(fw->Create(nullptr), S_OK);
    EXPECT_FALSE(fw->Windowed);
    EXPECT_TRUE(PlatformIsFullscreen(fw->MainWindow));
    EXPECT_TRUE(fw->Ready);
    EXPECT_TRUE(fw->Active);
    EXPECT_FALSE(DebugMode);
    EXPECT_EQ(fw->PresentParams.SwapEffect, D3DSWAPEFFECT_FLIP);
    EXPECT_EQ(fw->PresentParams.BackBufferFormat, D3DFMT_R5G6B5);
    EXPECT_EQ(fw->MultiStageFlag, 1);
    EXPECT_STREQ(fw->WindowTitle, "D3D8 Application");
}

TEST_F(CreateTest, SwitchFilesKeepTheWindowAndSetTheDeveloperFlags)
{
    for (const char* keep : {"dat/window.dat", "dat/multi.dat"}) {
        ScratchDirectory inner;
        inner.Write(keep, "");
        inner.Write("dat/debug.dat", "");
        inner.Write("dat/dev.dat", "");
        fw = new TestFramework();
        ASSERT_EQ(fw->Create(nullptr), S_OK);
        EXPECT_TRUE(fw->Windowed) << keep;
        EXPECT_FALSE(PlatformIsFullscreen(fw->MainWindow));
        EXPECT_TRUE(DebugMode);
        EXPECT_TRUE(DevStatistics);
        RECT client;
        GetClientRect(fw->MainWindow, &client);
        EXPECT_EQ(client.right - client.left, 800);
        EXPECT_EQ(client.bottom - client.top, 600);
        EXPECT_EQ(fw->BackBufferDesc.Width, 800u);
        EXPECT_EQ(std::strncmp(fw->DeviceStats, "HAL (hw vp): ", 13), 0);
        EXPECT_LT(std::strlen(fw->DeviceStats), sizeof(fw->DeviceStats));
        SendMessageA(fw->MainWindow, WM_CLOSE, 0, 0);
        EXPECT_EQ(fw->Device, nullptr);
        delete fw;
        fw = nullptr;
        DrainMessages();
    }
}

TEST_F(CreateTest, ToggleFullscreenFlipsBothWaysAndRestoresTheDevice)
{
    dir.Write("dat/window.dat", "");
    fw = new TestFramework();
    ASSERT_EQ(fw->Create(nullptr), S_OK);
    int restores = fw->restores;
    for (int i = 0; i < 4; ++i) {
        ASSERT_EQ(fw->ToggleFullscreen(), S_OK);
        EXPECT_EQ(fw->Windowed != 0, i % 2 == 1);
        EXPECT_EQ(PlatformIsFullscreen(fw->MainWindow), i % 2 == 0);
        EXPECT_TRUE(fw->Ready);
    }
    EXPECT_EQ(fw->restores, restores + 4);
}

TEST_F(CreateTest, AFailedSwitchToFullScreenLeavesAWorkingWindow)
{
    dir.Write("dat/window.dat", "");
    fw = new TestFramework();
    ASSERT_EQ(fw->Create(nullptr), S_OK);
    fw->failNextRestoreInFullScreen = true;
    EXPECT_EQ(fw->ToggleFullscreen(), E_FAIL);
    EXPECT_TRUE(fw->Windowed);
    EXPECT_TRUE(fw->Adapters[0].Devices[0].Windowed);
    EXPECT_TRUE(fw->Ready);
    EXPECT_FALSE(PlatformIsFullscreen(fw->MainWindow));
    ASSERT_NE(fw->Device, nullptr);
    EXPECT_EQ(fw->RenderOneFrame(), S_OK);
}

TEST_F(CreateTest, AFailingHardwareDeviceFallsBackToReference)
{
    dir.Write("dat/window.dat", "");
    D3D8StandInSettings().failCreateHal = true;
    fw = new TestFramework();
    ASSERT_EQ(fw->Create(nullptr), S_OK);
    D3DDEVICE_CREATION_PARAMETERS cp{};
    fw->Device->GetCreationParameters(&cp);
    EXPECT_EQ(cp.DeviceType, D3DDEVTYPE_REF);
    EXPECT_EQ(std::strncmp(fw->DeviceStats, "REF (simulated hw vp)", 21), 0);
    auto boxes = PlatformRecordedMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(std::strstr(boxes[0].text, "Switching to the reference rasterizer"), nullptr);
}

TEST_F(CreateTest, NoUsableAdapterFailsCreateWithAFatalBox)
{
    D3D8StandInSettings().offer800x600 = false;
    fw = new TestFramework();
    EXPECT_EQ(fw->Create(nullptr), ErrNoUsableDevice);
    auto boxes = PlatformRecordedMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_STREQ(boxes[0].text,
                 "Could not find any compatible Direct3D\ndevices.\n\nThis sample will now exit.");
    EXPECT_EQ(fw->Direct3D, nullptr);
}

TEST_F(CreateTest, PauseIsCountedAcrossCallers)
{
    dir.Write("dat/window.dat", "");
    fw = new TestFramework();
    ASSERT_EQ(fw->Create(nullptr), S_OK);
    fw->Pause(true);
    fw->Pause(true);
    EXPECT_FALSE(fw->Ready);
    fw->Pause(false);
    EXPECT_FALSE(fw->Ready);
    fw->Pause(false);
    EXPECT_TRUE(fw->Ready);
    fw->Pause(false);  // one too many does not unbalance the next pause
    fw->Pause(true);
    EXPECT_FALSE(fw->Ready);
    fw->Pause(false);
}

TEST_F(CreateTest, DeviceDialogCommandDoesNotLeaveTheGamePaused)
{
    dir.Write("dat/window.dat", "");
    fw = new TestFramework();
    ASSERT_EQ(fw->Create(nullptr), S_OK);
    EXPECT_EQ(fw->HandleMessage(fw->MainWindow, WM_COMMAND, IDM_CHANGEDEVICE, 0), 0);
    EXPECT_TRUE(fw->Ready);
}

TEST_F(CreateTest, AltEnterWhileNotReadyDoesNothing)
{
    dir.Write("dat/window.dat", "");
    fw = new TestFramework();
    ASSERT_EQ(fw->Create(nullptr), S_OK);
    fw->Pause(true);
    fw->HandleMessage(fw->MainWindow, WM_COMMAND, IDM_TOGGLEFULLSCREEN, 0);
    EXPECT_TRUE(fw->Windowed);
    fw->Pause(false);
    fw->HandleMessage(fw->MainWindow, WM_COMMAND, IDM_TOGGLEFULLSCREEN, 0);
    EXPECT_FALSE(fw->Windowed);
}

TEST_F(CreateTest, AFrameWithZeroElapsedTimeIsNotPresented)
{
    dir.Write("dat/window.dat", "");
    PlatformSetFixedStep(10);
    fw = new TestFramework();
    ASSERT_EQ(fw->Create(nullptr), S_OK);
    uint64_t frames = PlatformFrameCount();
    AppTimer(TIMER_GETELAPSEDTIME);
    EXPECT_EQ(fw->RenderOneFrame(), S_OK);  // no time has passed since the reading
    EXPECT_EQ(PlatformFrameCount(), frames);
    Sleep(20);
    EXPECT_EQ(fw->RenderOneFrame(), S_OK);
    EXPECT_EQ(PlatformFrameCount(), frames + 1);
    EXPECT_NEAR(fw->ElapsedTime, 0.02f, 1e-6f);
    PlatformSetFixedStep(0);
}

// The loop gives the game every message it takes, but for those the game refuses; and it tells
// the game of each frame once it is drawn, before it is shown.
TEST_F(CreateTest, TheLoopPassesWhatTheGameTakesAndTellsItOfEachFrameBeforeItIsShown)
{
    dir.Write("dat/window.dat", "");
    fw = new TestFramework();
    ASSERT_EQ(fw->Create(nullptr), S_OK);
    fw->refused = WM_LBUTTONDOWN;
    fw->quitAfterFrames = 3;
    PostMessageA(fw->MainWindow, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    PostMessageA(fw->MainWindow, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
    const uint64_t before = PlatformFrameCount();
    EXPECT_EQ(fw->Run(), 0);
    EXPECT_EQ(fw->handled, std::vector<UINT>{WM_LBUTTONUP});
    ASSERT_EQ(fw->framesPresentedWhenDrawn.size(), 3u);
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(fw->framesPresentedWhenDrawn[i], before + i) << "not yet shown";
    EXPECT_EQ(PlatformFrameCount(), before + 3);
}
