// The application framework: the window, the table of adapters, devices and modes, the choice
// of device and depth buffer, device creation, reset and loss, the windowed/full-screen switch,
// the message loop, frame pacing and the framework's error boxes. The game derives from it.
#pragma once

#include "platform/d3d8/d3d8.h"
#include "platform/win32/win32.h"

#include <cstdint>

// Framework error codes; ShowError knows their messages.
constexpr HRESULT ErrDirect3DUnavailable = (HRESULT)0x82000001;
constexpr HRESULT ErrNoUsableDevice = (HRESULT)0x82000003;
constexpr HRESULT ErrNoWindowedDevice = (HRESULT)0x82000004;
constexpr HRESULT ErrNoHardwareDevice = (HRESULT)0x82000005;
constexpr HRESULT ErrHardwareLacksFeatures = (HRESULT)0x82000006;
constexpr HRESULT ErrHardwareNotWindowed = (HRESULT)0x82000007;
constexpr HRESULT ErrHardwareNotWindowedInDesktopFormat = (HRESULT)0x82000008;
constexpr HRESULT ErrHardwareLacksFeaturesInDesktopFormat = (HRESULT)0x82000009;
constexpr HRESULT ErrObjectsStillReferenced = (HRESULT)0x8200000A;
constexpr HRESULT ErrMediaMissing = (HRESULT)0x8200000B;
constexpr HRESULT ErrResetFailed = (HRESULT)0x8200000C;

// Kinds of error box.
constexpr uint32_t MSGERR_WARNING = 0;
constexpr uint32_t MSGERR_FATAL = 1;
constexpr uint32_t MSGERR_REFERENCE = 2;

// Menu commands of the accelerator table 113.
constexpr WORD IDM_CHANGEDEVICE = 40002;
constexpr WORD IDM_TOGGLEFULLSCREEN = 40003;
constexpr WORD IDM_TOGGLESTART = 40004;
constexpr WORD IDM_SINGLESTEP = 40005;
constexpr WORD IDM_EXIT = 40006;
constexpr int IDR_MAIN_ACCEL = 113;

constexpr int MAX_ADAPTERS = 10;
constexpr int MAX_DEVICES = 5;
constexpr int MAX_DISPLAY_MODES = 150;

struct DisplayModeRecord {
    uint32_t Width;
    uint32_t Height;
    D3DFORMAT Format;
    uint32_t BehaviorFlags;
    D3DFORMAT DepthStencilFormat;
};

struct DeviceRecord {
    D3DDEVTYPE DeviceType;
    D3DCAPS8 Caps;
    const char* Description;
    BOOL CanRenderWindowed;
    uint32_t ModeCount;
    DisplayModeRecord Modes[MAX_DISPLAY_MODES];
    uint32_t CurrentMode;
    BOOL Windowed;
    D3DMULTISAMPLE_TYPE MultiSampleType;
};

struct AdapterRecord {
    D3DADAPTER_IDENTIFIER8 Identifier;
    D3DDISPLAYMODE DesktopMode;
    uint32_t DeviceCount;
    DeviceRecord Devices[MAX_DEVICES];
    uint32_t CurrentDevice;
};

class AppFramework {
public:
    AppFramework();
    virtual ~AppFramework();

    AdapterRecord Adapters[MAX_ADAPTERS];
    uint32_t AdapterCount;
    uint32_t CurrentAdapter;
    BOOL Windowed;
    BOOL Active;
    BOOL Ready;
    BOOL FrameMoving;
    BOOL SingleStep;
    D3DPRESENT_PARAMETERS PresentParams;
    HWND MainWindow;
    HWND FocusWindow;
    IDirect3D8* Direct3D;
    IDirect3DDevice8* Device;
    D3DCAPS8 DeviceCaps;
    D3DSURFACE_DESC BackBufferDesc;
    uint32_t BehaviorFlags;
    uint32_t WindowStyle;
    RECT WindowBounds;
    RECT ClientRect;
    float AppTime;
    float ElapsedTime;
    float FramesPerSecond;
    char DeviceStats[90];
    char FrameStats[502];
    const char* WindowTitle;
    BOOL UseDepthBuffer;
    uint32_t MinDepthBits;
    uint32_t MinStencilBits;
    uint32_t CreationWidth, CreationHeight;
    BOOL ShowCursorWhenFullscreen;
    HINSTANCE Instance;

    // Written by the depth choice and device creation; read by the game (render list, clear,
    // options).
    uint8_t MultiStageFlag = 0;
    uint8_t D24S8Flag = 0;
    uint32_t DepthStencilFormat = 0;

    // Virtual operations, in slot order.
    virtual HRESULT ApplyWindowStyle();
    virtual HRESULT CheckDeviceCaps(const D3DCAPS8* caps, DWORD behavior, D3DFORMAT format);
    virtual HRESULT InitApp();
    virtual HRESULT CreateDeviceResources();
    virtual HRESULT RestoreVideoResources();
    virtual HRESULT UpdateFrame();
    virtual HRESULT RenderFrame();
    virtual HRESULT ReleaseVideoResources();
    virtual HRESULT DestroyDeviceResources();
    virtual HRESULT ShutdownApp();
    virtual HRESULT Create(HINSTANCE instance);
    virtual int Run();
    virtual LRESULT HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    virtual void Pause(bool pause);

    HRESULT RenderOneFrame();
    HRESULT ToggleFullscreen();
    HRESULT ShowError(HRESULT code, uint32_t kind);
    HRESULT EnumerateDevices();
    bool ChooseDepthStencilFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT backBufferFormat, D3DFORMAT* out);
    HRESULT InitDevice();
    HRESULT ResetDevice();
    HRESULT SwitchToWindowed();
    // The device and the game's device objects go, and a new device is made with the current
    // choice; a failure is shown as fatal.
    HRESULT RecreateDevice();
    HRESULT ChooseDeviceDialog();
    // The procedure of the device-selection dialog (WM_INITDIALOG's lParam is the framework).
    static INT_PTR CALLBACK DeviceDialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam);
    void ReleaseDevice();
    // The message text ShowError uses for a code (kind suffix not included).
    static const char* ErrorMessage(HRESULT code);

    // True once WM_CLOSE has released the device and the game's objects.
    bool IsShutDown() const { return shutDown_; }

protected:
    // What the game does at the start of Run, before the loop (cursor sprites, first screen).
    virtual void StartRun();
    // The game's part of WM_CLOSE before the device goes (screens, sounds, meshes, animations).
    virtual void ReleaseGameOnClose();
    // Per-frame statistics line for developers.
    virtual void FormatFrameStats();
    // Called by Run once per loop pass before a message is taken.
    virtual void PollEvents();
    // A frame is drawn and about to be shown (RenderOneFrame, just before Present).
    virtual void FrameDrawn();
    // Whether Run passes on a message it took from the queue (accelerators aside); false drops it.
    virtual bool AcceptQueuedMessage(const MSG& msg);
    void FillPresentParams();
    void ComposeDeviceStats();
    void ApplyFullscreenCursor();

    bool shutDown_ = false;

private:
    double lastFpsTime_ = 0.0;
    uint32_t framesCounted_ = 0;
};

// Finds a media file: the name itself when it opens for reading, else the SDK media directory
// from the registry joined with the name. `path` has room for MAX_PATH characters and receives
// the path found, or the name as given with E_FAIL. Null arguments give E_INVALIDARG.
HRESULT FindMediaFile(const char* name, char* path);

extern AppFramework* AppInstancePointer;
// Window procedure of the main window: forwards to AppInstancePointer's HandleMessage.
LRESULT CALLBACK AppWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Developer switches, read from the switch files at creation.
extern bool DebugMode;
extern bool DevStatistics;
