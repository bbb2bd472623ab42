// The device-selection dialog driven by control id over the real framework and device.
#include "fenwolt/common/AppFramework.h"
#include "fenwolt/common/AppTimer.h"
#include "platform/d3d8/d3d8_testing.h"
#include "platform/dialogs/dialogs_testing.h"
#include "platform/tests/support/scratch_directory.h"
#include "platform/win32/platform_internal.h"
#include "platform/win32/win32_testing.h"
#include "platform/tests/support/test_requirements.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>

namespace {

constexpr int kDeviceList = 1000, kAdapterList = 1002, kModeList = 1003, kMultisampleList = 1004, kWindowButton = 1016,
              kFullscreenButton = 1018;

class DialogFramework : public AppFramework {
public:
    DialogFramework() { UseDepthBuffer = TRUE; }
    HRESULT CreateDeviceResources() override
    {
        ++creations;
        return S_OK;
    }
    int creations = 0;
};

void Drain()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
}

class DeviceDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        D3D8ResetStandInSettings();
        PlatformRecordMessageBoxes(true);
        PlatformClearRecordedMessageBoxes();
    }
    void TearDown() override
    {
        DialogSetTestDriver(nullptr);
        if (fw && fw->MainWindow) SendMessageA(fw->MainWindow, WM_CLOSE, 0, 0);
        delete fw;
        Drain();
        PlatformRecordMessageBoxes(false);
        D3D8ResetStandInSettings();
        AppTimerForgetState();
    }
    void Start(bool windowed)
    {
        if (windowed) dir.Write("dat/window.dat", "");
        fw = new DialogFramework();
        ASSERT_EQ(fw->Create(nullptr), S_OK);
    }
    DeviceRecord& CurrentDevice()
    {
        AdapterRecord& adapter = fw->Adapters[fw->CurrentAdapter];
        return adapter.Devices[adapter.CurrentDevice];
    }
    // A full-screen mode of the current device in another format than the current one.
    int OtherMode()
    {
        DeviceRecord& device = CurrentDevice();
        for (uint32_t m = 0; m < device.ModeCount; ++m)
            if (device.Modes[m].Format != device.Modes[device.CurrentMode].Format) return (int)m;
        return -1;
    }
    ScratchDirectory dir;
    DialogFramework* fw = nullptr;
};

TEST_F(DeviceDialogTest, ListsShowTheTablesAndOkWithNothingChangedIsACancel)
{
    Start(true);
    IDirect3DDevice8* before = fw->Device;
    int creations = fw->creations;
    bool opened = false;
    DialogSetTestDriver([&](HWND d) {
        opened = true;
        auto adapters = DialogTestEntries(d, kAdapterList);
        ASSERT_EQ(adapters.size(), fw->AdapterCount);
        EXPECT_EQ(adapters[0], fw->Adapters[0].Identifier.Description);
        // Every name is read whole, in the box and in its list.
        EXPECT_EQ(DialogTestCutEntries(d, kAdapterList), std::vector<std::string>{});
        EXPECT_EQ(DialogTestCutEntries(d, kDeviceList), std::vector<std::string>{});
        EXPECT_EQ(DialogTestEntries(d, kDeviceList).size(), fw->Adapters[fw->CurrentAdapter].DeviceCount);

        // Every mode as width x height x depth, the current one chosen.
        DeviceRecord& device = CurrentDevice();
        auto modes = DialogTestEntries(d, kModeList);
        ASSERT_EQ(modes.size(), device.ModeCount);
        for (uint32_t m = 0; m < device.ModeCount; ++m) {
            char expected[64];
            D3DFORMAT f = device.Modes[m].Format;
            int depth = (f == D3DFMT_X8R8G8B8 || f == D3DFMT_A8R8G8B8 || f == D3DFMT_R8G8B8) ? 32 : 16;
            std::snprintf(expected, sizeof(expected), "%u x %u x %d", device.Modes[m].Width, device.Modes[m].Height,
                          depth);
            EXPECT_EQ(modes[m], expected);
        }
        EXPECT_EQ(SendDlgItemMessageA(d, kModeList, CB_GETCURSEL, 0, 0), (LRESULT)device.CurrentMode);

        // The stand-in device only takes single-sample buffers: one entry, so the list is off.
        EXPECT_EQ(DialogTestEntries(d, kMultisampleList), (std::vector<std::string>{"none"}));
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(d, kMultisampleList)));
        // Windowed: the window button is checked and the mode list is off.
        EXPECT_EQ(IsDlgButtonChecked(d, kWindowButton), (UINT)BST_CHECKED);
        EXPECT_EQ(IsDlgButtonChecked(d, kFullscreenButton), (UINT)BST_UNCHECKED);
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(d, kModeList)));

        // Going full screen and back again is no change at all.
        EXPECT_TRUE(DialogTestClick(d, kFullscreenButton));
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(d, kModeList)));
        EXPECT_TRUE(DialogTestClick(d, kWindowButton));
        EXPECT_TRUE(DialogTestClick(d, IDOK));
    });
    EXPECT_EQ(fw->ChooseDeviceDialog(), S_OK);
    EXPECT_TRUE(opened);
    EXPECT_EQ(fw->Device, before);
    EXPECT_EQ(fw->creations, creations);
    EXPECT_TRUE(fw->Windowed);
}

TEST_F(DeviceDialogTest, AnotherFullScreenModeIsAppliedThroughANewDevice)
{
    Start(true);
    int mode = OtherMode();
    ASSERT_GE(mode, 0);
    int creations = fw->creations;
    DialogSetTestDriver([&](HWND d) {
        EXPECT_FALSE(DialogTestSelect(d, kModeList, mode));  // disabled while windowed
        ASSERT_TRUE(DialogTestClick(d, kFullscreenButton));
        ASSERT_TRUE(DialogTestSelect(d, kModeList, mode));
        DialogTestKey(d, DialogKey::Enter);  // Enter means OK
    });
    ASSERT_EQ(fw->ChooseDeviceDialog(), S_OK);
    EXPECT_FALSE(fw->Windowed);
    EXPECT_TRUE(PlatformIsFullscreen(fw->MainWindow));
    EXPECT_EQ(CurrentDevice().CurrentMode, (uint32_t)mode);
    EXPECT_FALSE(CurrentDevice().Windowed);
    EXPECT_EQ(fw->creations, creations + 1);
    EXPECT_EQ(fw->BackBufferDesc.Width, CurrentDevice().Modes[mode].Width);
    EXPECT_EQ(fw->BackBufferDesc.Format, CurrentDevice().Modes[mode].Format);
    EXPECT_TRUE(PlatformRecordedMessageBoxes().empty());
}

TEST_F(DeviceDialogTest, CtrlF2InFullScreenGoesWindowedFirstAndCanStayWindowed)
{
    Start(false);
    ASSERT_FALSE(fw->Windowed);
    bool windowedWhileOpen = false;
    bool readyWhileOpen = true;
    DialogSetTestDriver([&](HWND d) {
        windowedWhileOpen = fw->Windowed && !PlatformIsFullscreen(fw->MainWindow);
        // Frames stay stopped until the dialog closes, so the window under it is painted again
        // whenever it is uncovered.
        readyWhileOpen = fw->Ready;
        // The working choice starts from the window the dialog now sits over.
        EXPECT_EQ(IsDlgButtonChecked(d, kWindowButton), (UINT)BST_CHECKED);
        DialogTestKey(d, DialogKey::Escape);
    });
    EXPECT_EQ(fw->HandleMessage(fw->MainWindow, WM_COMMAND, IDM_CHANGEDEVICE, 0), 0);
    EXPECT_TRUE(windowedWhileOpen);
    EXPECT_FALSE(readyWhileOpen);
    EXPECT_TRUE(fw->Windowed);
    EXPECT_TRUE(fw->Ready);

    // Choosing full screen again from the dialog takes the program back there.
    DialogSetTestDriver([&](HWND d) {
        DialogTestClick(d, kFullscreenButton);
        DialogTestClick(d, IDOK);
    });
    EXPECT_EQ(fw->HandleMessage(fw->MainWindow, WM_COMMAND, IDM_CHANGEDEVICE, 0), 0);
    EXPECT_FALSE(fw->Windowed);
    EXPECT_TRUE(PlatformIsFullscreen(fw->MainWindow));
    EXPECT_TRUE(fw->Ready);
}

TEST_F(DeviceDialogTest, AnotherDeviceBringsItsOwnSettingsAndCancelKeepsTheTables)
{
    Start(true);
    AdapterRecord& adapter = fw->Adapters[fw->CurrentAdapter];
    if (adapter.DeviceCount < 2) SKIP_WITHOUT("a second device");
    uint32_t current = adapter.CurrentDevice, other = current == 0 ? 1 : 0;
    DeviceRecord& otherDevice = adapter.Devices[other];
    otherDevice.Windowed = FALSE;
    otherDevice.CurrentMode = otherDevice.ModeCount - 1;
    DialogSetTestDriver([&](HWND d) {
        ASSERT_TRUE(DialogTestSelect(d, kDeviceList, (int)other));
        EXPECT_EQ(IsDlgButtonChecked(d, kFullscreenButton), (UINT)BST_CHECKED);
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(d, kModeList)));
        EXPECT_EQ(SendDlgItemMessageA(d, kModeList, CB_GETCURSEL, 0, 0), (LRESULT)otherDevice.CurrentMode);
        EXPECT_EQ(DialogTestEntries(d, kModeList).size(), otherDevice.ModeCount);
        DialogTestClick(d, IDCANCEL);
    });
    IDirect3DDevice8* before = fw->Device;
    EXPECT_EQ(fw->ChooseDeviceDialog(), S_OK);
    EXPECT_EQ(adapter.CurrentDevice, current);
    EXPECT_EQ(fw->Device, before);
    EXPECT_TRUE(fw->Windowed);
}

TEST_F(DeviceDialogTest, ADeviceThatCannotRenderWindowedIsOfferedFullScreenOnly)
{
    D3D8StandInSettings().halCanRenderWindowed = false;
    Start(true);
    AdapterRecord& adapter = fw->Adapters[fw->CurrentAdapter];
    int hal = -1;
    for (uint32_t d = 0; d < adapter.DeviceCount; ++d)
        if (adapter.Devices[d].DeviceType == D3DDEVTYPE_HAL) hal = (int)d;
    if (hal < 0 || (uint32_t)hal == adapter.CurrentDevice) SKIP_WITHOUT("a windowed device to fall back on");
    adapter.Devices[hal].Windowed = TRUE;  // a stale flag must not reach the device creation
    DialogSetTestDriver([&](HWND d) {
        ASSERT_TRUE(DialogTestSelect(d, kDeviceList, hal));
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(d, kWindowButton)));
        EXPECT_EQ(IsDlgButtonChecked(d, kFullscreenButton), (UINT)BST_CHECKED);
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(d, kModeList)));
        EXPECT_FALSE(DialogTestClick(d, kWindowButton));
        DialogTestClick(d, IDOK);
    });
    ASSERT_EQ(fw->ChooseDeviceDialog(), S_OK);
    EXPECT_EQ(adapter.CurrentDevice, (uint32_t)hal);
    EXPECT_FALSE(fw->Windowed);
    EXPECT_FALSE(adapter.Devices[hal].Windowed);
    EXPECT_TRUE(PlatformIsFullscreen(fw->MainWindow));
}

}  // namespace
