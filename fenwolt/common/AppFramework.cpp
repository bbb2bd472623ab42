#include "fenwolt/common/AppFramework.h"

#include "fenwolt/common/AppTimer.h"
#include "fenwolt/common/Utilities.h"
#include "platform/dialogs/dialogs.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

AppFramework* AppInstancePointer = nullptr;
bool DebugMode = false;
bool DevStatistics = false;

namespace {
// Shared by every caller of Pause: Ready holds exactly while nobody has paused.
int g_pauseCount = 0;

// Where a switch of mode or size ends: frames start again unless somebody paused them (the device
// dialog switches to the window inside its pause, and the window is then painted on exposure
// until the dialog closes).
BOOL NobodyPaused() { return g_pauseCount == 0; }

constexpr DWORD kWindowedStyle = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_MINIMIZEBOX;  // 0x90C20000
constexpr DWORD kFullscreenStyle = WS_POPUP | WS_VISIBLE | WS_SYSMENU;                 // 0x90080000

// What the device made of the asked back buffer (a new device or a reset may round it).
void ReadBackBufferDesc(IDirect3DDevice8* device, D3DSURFACE_DESC& desc)
{
    IDirect3DSurface8* backBuffer = nullptr;
    if (SUCCEEDED(device->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &backBuffer))) {
        backBuffer->GetDesc(&desc);
        backBuffer->Release();
    }
}
}  // namespace

LRESULT CALLBACK AppWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (!AppInstancePointer) return DefWindowProcA(hwnd, msg, wParam, lParam);
    return AppInstancePointer->HandleMessage(hwnd, msg, wParam, lParam);
}

AppFramework::AppFramework()
{
    AppInstancePointer = this;
    std::memset(Adapters, 0, sizeof(Adapters));
    AdapterCount = 0;
    CurrentAdapter = 0;
    Windowed = FALSE;
    Active = FALSE;
    Ready = FALSE;
    FrameMoving = TRUE;
    SingleStep = FALSE;
    std::memset(&PresentParams, 0, sizeof(PresentParams));
    MainWindow = nullptr;
    FocusWindow = nullptr;
    Direct3D = nullptr;
    Device = nullptr;
    std::memset(&DeviceCaps, 0, sizeof(DeviceCaps));
    std::memset(&BackBufferDesc, 0, sizeof(BackBufferDesc));
    BehaviorFlags = 0;
    WindowStyle = 0;
    WindowBounds = RECT{0, 0, 0, 0};
    ClientRect = RECT{0, 0, 0, 0};
    AppTime = 0.f;
    ElapsedTime = 0.f;
    FramesPerSecond = 0.f;
    DeviceStats[0] = 0;
    FrameStats[0] = 0;
    WindowTitle = "D3D8 Application";
    UseDepthBuffer = FALSE;
    MinDepthBits = 16;
    MinStencilBits = 0;
    CreationWidth = 800;
    CreationHeight = 600;
    ShowCursorWhenFullscreen = FALSE;
    Instance = nullptr;
    g_pauseCount = 0;
}

AppFramework::~AppFramework()
{
    if (AppInstancePointer == this) AppInstancePointer = nullptr;
}

HRESULT AppFramework::ApplyWindowStyle()
{
    if (!MainWindow) return S_OK;
    SetWindowLongA(MainWindow, GWL_STYLE, (LONG)(Windowed ? WindowStyle : kFullscreenStyle));
    return S_OK;
}

HRESULT AppFramework::CheckDeviceCaps(const D3DCAPS8*, DWORD, D3DFORMAT) { return S_OK; }
HRESULT AppFramework::InitApp() { return S_OK; }
HRESULT AppFramework::CreateDeviceResources() { return S_OK; }
HRESULT AppFramework::RestoreVideoResources() { return S_OK; }
HRESULT AppFramework::UpdateFrame() { return S_OK; }
HRESULT AppFramework::RenderFrame() { return S_OK; }
HRESULT AppFramework::ReleaseVideoResources() { return S_OK; }
HRESULT AppFramework::DestroyDeviceResources() { return S_OK; }
HRESULT AppFramework::ShutdownApp() { return S_OK; }
void AppFramework::StartRun() {}
void AppFramework::ReleaseGameOnClose() {}
void AppFramework::FormatFrameStats() {}
void AppFramework::PollEvents() {}
void AppFramework::FrameDrawn() {}
bool AppFramework::AcceptQueuedMessage(const MSG&) { return true; }

// ---------------------------------------------------------------------------------------------
HRESULT AppFramework::Create(HINSTANCE instance)
{
    Direct3D = Direct3DCreate8(120);
    if (!Direct3D) return ShowError(ErrDirect3DUnavailable, MSGERR_FATAL);

    HRESULT hr = EnumerateDevices();
    if (FAILED(hr)) {
        Direct3D->Release();
        Direct3D = nullptr;
        return ShowError(hr, MSGERR_FATAL);
    }

    if (!MainWindow) {
        WNDCLASSA wc{};
        wc.style = 0;
        wc.lpfnWndProc = AppWindowProc;
        wc.hInstance = instance;
        wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(101));
        wc.hCursor = nullptr;
        wc.hbrBackground = GetStockObject(GRAY_BRUSH);
        wc.lpszMenuName = nullptr;
        wc.lpszClassName = "D3D Window";
        RegisterClassA(&wc);
        WindowStyle = kWindowedStyle;
        RECT rc{0, 0, (LONG)CreationWidth, (LONG)CreationHeight};
        AdjustWindowRectEx(&rc, WindowStyle, FALSE, 0);
        MainWindow = CreateWindowExA(0, "D3D Window", WindowTitle, WindowStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                                     rc.right - rc.left, rc.bottom - rc.top, nullptr, nullptr, instance, nullptr);
        if (!MainWindow) {
            Direct3D->Release();
            Direct3D = nullptr;
            return ShowError(E_FAIL, MSGERR_FATAL);
        }
        CentreWindow(MainWindow, GetDesktopWindow());
        Instance = instance;
    }

    if (!FocusWindow) FocusWindow = MainWindow;
    WindowStyle = (uint32_t)GetWindowLongA(MainWindow, GWL_STYLE);
    GetWindowRect(MainWindow, &WindowBounds);
    GetClientRect(MainWindow, &ClientRect);
    CentreCursorInWindow(MainWindow);

    hr = InitApp();
    if (SUCCEEDED(hr)) hr = InitDevice();
    if (FAILED(hr)) {
        if (Direct3D) {
            Direct3D->Release();
            Direct3D = nullptr;
        }
        return ShowError(hr, MSGERR_FATAL);
    }

    if (!FileExists("dat\\window.dat") && !FileExists("dat\\multi.dat")) ToggleFullscreen();
    DebugMode = FileExists("dat\\debug.dat");
    DevStatistics = FileExists("dat\\dev.dat");

    AppTimer(TIMER_START);

    if (DeviceCaps.MaxTextureBlendStages > 1) MultiStageFlag = 1;
    Ready = TRUE;
    return S_OK;
}

HRESULT AppFramework::EnumerateDevices()
{
    AdapterCount = 0;
    bool halExists = false, halWindowedCompatible = false, halDesktopCompatible = false, halSampleCompatible = false;
    const D3DDEVTYPE types[2] = {D3DDEVTYPE_HAL, D3DDEVTYPE_REF};
    const char* typeNames[2] = {"HAL", "REF"};

    UINT reported = Direct3D->GetAdapterCount();
    for (UINT a = 0; a < reported && AdapterCount < (uint32_t)MAX_ADAPTERS; ++a) {
        AdapterRecord& adapter = Adapters[AdapterCount];
        std::memset(&adapter, 0, sizeof(adapter));
        Direct3D->GetAdapterIdentifier(a, D3DENUM_NO_WHQL_LEVEL, &adapter.Identifier);
        Direct3D->GetAdapterDisplayMode(a, &adapter.DesktopMode);

        // The 800 x 600 modes, once per format, and the formats to try (desktop first).
        D3DDISPLAYMODE modes[MAX_DISPLAY_MODES];
        uint32_t modeCount = 0;
        D3DFORMAT formats[20];
        uint32_t formatCount = 0;
        formats[formatCount++] = adapter.DesktopMode.Format;
        UINT total = Direct3D->GetAdapterModeCount(a);
        for (UINT m = 0; m < total; ++m) {
            D3DDISPLAYMODE mode;
            if (FAILED(Direct3D->EnumAdapterModes(a, m, &mode))) continue;
            if (mode.Width != 800 || mode.Height != 600) continue;
            bool seen = false;
            for (uint32_t k = 0; k < modeCount; ++k)
                if (modes[k].Width == mode.Width && modes[k].Height == mode.Height && modes[k].Format == mode.Format)
                    seen = true;
            if (seen || modeCount >= (uint32_t)MAX_DISPLAY_MODES) continue;
            mode.RefreshRate = 0;
            modes[modeCount++] = mode;
            bool formatSeen = false;
            for (uint32_t k = 0; k < formatCount; ++k)
                if (formats[k] == mode.Format) formatSeen = true;
            if (!formatSeen && formatCount < 20) formats[formatCount++] = mode.Format;
        }
        std::sort(modes, modes + modeCount, [](const D3DDISPLAYMODE& x, const D3DDISPLAYMODE& y) {
            if (x.Format != y.Format) return (uint32_t)x.Format > (uint32_t)y.Format;
            if (x.Width != y.Width) return x.Width < y.Width;
            return x.Height < y.Height;
        });

        for (int t = 0; t < 2 && adapter.DeviceCount < (uint32_t)MAX_DEVICES; ++t) {
            DeviceRecord& device = adapter.Devices[adapter.DeviceCount];
            std::memset(&device, 0, sizeof(device));
            device.DeviceType = types[t];
            if (FAILED(Direct3D->GetDeviceCaps(a, types[t], &device.Caps))) continue;
            device.Description = typeNames[t];
            device.MultiSampleType = D3DMULTISAMPLE_NONE;

            bool usable[20] = {};
            DWORD behaviour[20] = {};
            D3DFORMAT depth[20] = {};
            for (uint32_t f = 0; f < formatCount; ++f) {
                if (FAILED(Direct3D->CheckDeviceType(a, types[t], formats[f], formats[f], FALSE))) continue;
                if (types[t] == D3DDEVTYPE_HAL) {
                    halExists = true;
                    if (device.Caps.Caps2 & D3DCAPS2_CANRENDERWINDOWED) {
                        halWindowedCompatible = true;
                        if (f == 0) halDesktopCompatible = true;
                    }
                }
                DWORD chosen = 0;
                bool accepted = false;
                if (device.Caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT) {
                    if (device.Caps.DevCaps & D3DDEVCAPS_PUREDEVICE) {
                        chosen = D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_PUREDEVICE;
                        accepted = SUCCEEDED(CheckDeviceCaps(&device.Caps, chosen, formats[f]));
                    }
                    if (!accepted) {
                        chosen = D3DCREATE_HARDWARE_VERTEXPROCESSING;
                        accepted = SUCCEEDED(CheckDeviceCaps(&device.Caps, chosen, formats[f]));
                    }
                    if (!accepted) {
                        chosen = D3DCREATE_MIXED_VERTEXPROCESSING;
                        accepted = SUCCEEDED(CheckDeviceCaps(&device.Caps, chosen, formats[f]));
                    }
                }
                if (!accepted) {
                    chosen = D3DCREATE_SOFTWARE_VERTEXPROCESSING;
                    accepted = SUCCEEDED(CheckDeviceCaps(&device.Caps, chosen, formats[f]));
                }
                if (!accepted) continue;
                if (UseDepthBuffer && !ChooseDepthStencilFormat(a, types[t], formats[f], &depth[f])) continue;
                usable[f] = true;
                behaviour[f] = chosen;
            }

            for (uint32_t m = 0; m < modeCount; ++m) {
                for (uint32_t f = 0; f < formatCount; ++f) {
                    if (formats[f] != modes[m].Format || !usable[f]) continue;
                    if (device.ModeCount >= (uint32_t)MAX_DISPLAY_MODES) break;
                    DisplayModeRecord& rec = device.Modes[device.ModeCount++];
                    rec.Width = modes[m].Width;
                    rec.Height = modes[m].Height;
                    rec.Format = modes[m].Format;
                    rec.BehaviorFlags = behaviour[f];
                    rec.DepthStencilFormat = depth[f];
                    if (types[t] == D3DDEVTYPE_HAL) halSampleCompatible = true;
                }
            }
            device.CurrentMode = 0;
            if (usable[0] && (device.Caps.Caps2 & D3DCAPS2_CANRENDERWINDOWED)) {
                device.CanRenderWindowed = TRUE;
                device.Windowed = TRUE;
            }
            if (device.ModeCount > 0) ++adapter.DeviceCount;
        }
        if (adapter.DeviceCount > 0) ++AdapterCount;
    }

    if (AdapterCount == 0) return ErrNoUsableDevice;

    for (uint32_t a = 0; a < AdapterCount; ++a) {
        for (uint32_t d = 0; d < Adapters[a].DeviceCount; ++d) {
            if (!Adapters[a].Devices[d].Windowed) continue;
            Adapters[a].CurrentDevice = d;
            CurrentAdapter = a;
            Windowed = TRUE;
            if (Adapters[a].Devices[d].DeviceType == D3DDEVTYPE_REF) {
                if (!halExists)
                    ShowError(ErrNoHardwareDevice, MSGERR_REFERENCE);
                else if (!halSampleCompatible)
                    ShowError(ErrHardwareLacksFeatures, MSGERR_REFERENCE);
                else if (!halWindowedCompatible)
                    ShowError(ErrHardwareNotWindowed, MSGERR_REFERENCE);
                else if (!halDesktopCompatible)
                    ShowError(ErrHardwareNotWindowedInDesktopFormat, MSGERR_REFERENCE);
                else
                    ShowError(ErrHardwareLacksFeaturesInDesktopFormat, MSGERR_REFERENCE);
            }
            return S_OK;
        }
    }
    return ErrNoWindowedDevice;
}

bool AppFramework::ChooseDepthStencilFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT backBuffer, D3DFORMAT* out)
{
    auto tryFormat = [&](D3DFORMAT f) {
        return SUCCEEDED(Direct3D->CheckDeviceFormat(adapter, type, backBuffer, D3DUSAGE_DEPTHSTENCIL,
                                                     D3DRTYPE_SURFACE, f)) &&
               SUCCEEDED(Direct3D->CheckDepthStencilMatch(adapter, type, backBuffer, backBuffer, f));
    };
    if (MinDepthBits <= 16) {
        if (MinStencilBits == 0) {
            const D3DFORMAT normal[3] = {D3DFMT_D32, D3DFMT_D24S8, D3DFMT_D16};
            const D3DFORMAT low[1] = {D3DFMT_D16};
            bool lowOnly = FileExists("dat\\low.dat");
            const D3DFORMAT* list = lowOnly ? low : normal;
            int count = lowOnly ? 1 : 3;
            for (int i = 0; i < count; ++i) {
                if (tryFormat(list[i])) {
                    *out = list[i];
                    DepthStencilFormat = list[i];
                    return true;
                }
            }
        } else {
            bool d24s8Offered = SUCCEEDED(Direct3D->CheckDeviceFormat(adapter, type, backBuffer, D3DUSAGE_DEPTHSTENCIL,
                                                                      D3DRTYPE_SURFACE, D3DFMT_D24S8));
            if (!d24s8Offered) {
                if (tryFormat(D3DFMT_D16)) {
                    *out = D3DFMT_D16;
                    D24S8Flag = 0;
                    MinStencilBits = 0;
                    return true;
                }
            } else if (tryFormat(D3DFMT_D24S8)) {
                *out = D3DFMT_D24S8;
                D24S8Flag = 1;
                DepthStencilFormat = D3DFMT_D24S8;
                return true;
            }
        }
    }
    struct Candidate {
        D3DFORMAT format;
        bool wanted;
    };
    const Candidate candidates[5] = {
        {D3DFMT_D15S1, MinDepthBits < 16 && MinStencilBits < 2},
        {D3DFMT_D24X8, MinDepthBits < 25 && MinStencilBits == 0},
        {D3DFMT_D24S8, MinDepthBits < 25 && MinStencilBits < 9},
        {D3DFMT_D24X4S4, MinDepthBits < 25 && MinStencilBits < 5},
        {D3DFMT_D32, MinDepthBits < 33 && MinStencilBits == 0},
    };
    for (const Candidate& c : candidates) {
        if (c.wanted && tryFormat(c.format)) {
            *out = c.format;
            return true;
        }
    }
    return false;
}

void AppFramework::FillPresentParams()
{
    AdapterRecord& adapter = Adapters[CurrentAdapter];
    DeviceRecord& device = adapter.Devices[adapter.CurrentDevice];
    DisplayModeRecord& mode = device.Modes[device.CurrentMode];
    std::memset(&PresentParams, 0, sizeof(PresentParams));
    PresentParams.Windowed = device.Windowed;
    PresentParams.MultiSampleType = device.MultiSampleType;
    PresentParams.EnableAutoDepthStencil = UseDepthBuffer;
    PresentParams.AutoDepthStencilFormat = mode.DepthStencilFormat;
    PresentParams.hDeviceWindow = MainWindow;
    if (device.Windowed) {
        PresentParams.BackBufferWidth = (UINT)(ClientRect.right - ClientRect.left);
        PresentParams.BackBufferHeight = (UINT)(ClientRect.bottom - ClientRect.top);
        PresentParams.BackBufferFormat = adapter.DesktopMode.Format;
        PresentParams.BackBufferCount = 2;
        PresentParams.SwapEffect = D3DSWAPEFFECT_DISCARD;
    } else {
        PresentParams.BackBufferWidth = mode.Width;
        PresentParams.BackBufferHeight = mode.Height;
        PresentParams.BackBufferFormat = mode.Format;
        PresentParams.BackBufferCount = 1;
        PresentParams.SwapEffect = D3DSWAPEFFECT_FLIP;
        PresentParams.FullScreen_RefreshRateInHz = D3DPRESENT_RATE_DEFAULT;
        PresentParams.FullScreen_PresentationInterval = D3DPRESENT_INTERVAL_ONE;
    }
}

void AppFramework::ComposeDeviceStats()
{
    AdapterRecord& adapter = Adapters[CurrentAdapter];
    D3DDEVTYPE type = adapter.Devices[adapter.CurrentDevice].DeviceType;
    const char* name = type == D3DDEVTYPE_REF ? "REF" : type == D3DDEVTYPE_HAL ? "HAL" : "SW";
    const char* vp = "";
    bool pure = (BehaviorFlags & D3DCREATE_PUREDEVICE) != 0;
    if (type == D3DDEVTYPE_HAL) {
        if ((BehaviorFlags & D3DCREATE_HARDWARE_VERTEXPROCESSING) && pure)
            vp = " (pure hw vp)";
        else if (BehaviorFlags & D3DCREATE_HARDWARE_VERTEXPROCESSING)
            vp = " (hw vp)";
        else if (BehaviorFlags & D3DCREATE_MIXED_VERTEXPROCESSING)
            vp = " (mixed vp)";
        else
            vp = " (sw vp)";
    } else if (type == D3DDEVTYPE_REF) {
        if ((BehaviorFlags & D3DCREATE_HARDWARE_VERTEXPROCESSING) && pure)
            vp = " (simulated pure hw vp)";
        else if (BehaviorFlags & D3DCREATE_HARDWARE_VERTEXPROCESSING)
            vp = " (simulated hw vp)";
        else if (BehaviorFlags & D3DCREATE_MIXED_VERTEXPROCESSING)
            vp = " (simulated mixed vp)";
    }
    // The adapter's description can be far longer than the 90 characters kept: cut it to fit.
    if (type == D3DDEVTYPE_HAL)
        std::snprintf(DeviceStats, sizeof(DeviceStats), "%s%s: %s", name, vp, adapter.Identifier.Description);
    else
        std::snprintf(DeviceStats, sizeof(DeviceStats), "%s%s", name, vp);
}

void AppFramework::ApplyFullscreenCursor()
{
    // The device cursor image needs the cursor's bitmaps, which this build's Win32 layer does not
    // expose; the game shows its own cursor sprite in full screen.
    if (ShowCursorWhenFullscreen && !Windowed && Device) Device->ShowCursor(TRUE);
}

HRESULT AppFramework::InitDevice()
{
    AdapterRecord& adapter = Adapters[CurrentAdapter];
    DeviceRecord& device = adapter.Devices[adapter.CurrentDevice];
    DisplayModeRecord& mode = device.Modes[device.CurrentMode];

    ApplyWindowStyle();
    FillPresentParams();
    HRESULT hr = Direct3D->CreateDevice(CurrentAdapter, device.DeviceType, FocusWindow,
                                        mode.BehaviorFlags | D3DCREATE_MULTITHREADED, &PresentParams, &Device);
    if (SUCCEEDED(hr)) {
        if (Windowed)
            SetWindowPos(MainWindow, HWND_NOTOPMOST, WindowBounds.left, WindowBounds.top,
                         WindowBounds.right - WindowBounds.left, WindowBounds.bottom - WindowBounds.top,
                         SWP_SHOWWINDOW);
        Device->GetDeviceCaps(&DeviceCaps);
        BehaviorFlags = mode.BehaviorFlags;
        ComposeDeviceStats();
        ReadBackBufferDesc(Device, BackBufferDesc);
        ApplyFullscreenCursor();
        hr = CreateDeviceResources();
        if (SUCCEEDED(hr)) {
            hr = RestoreVideoResources();
            if (SUCCEEDED(hr)) {
                Active = TRUE;
                return S_OK;
            }
        }
        ReleaseVideoResources();
        DestroyDeviceResources();
        Device->Release();
        Device = nullptr;
    }

    if (device.DeviceType == D3DDEVTYPE_HAL) {
        ShowError(hr, MSGERR_REFERENCE);
        CurrentAdapter = 0;
        AdapterRecord& first = Adapters[0];
        for (uint32_t d = 0; d < first.DeviceCount; ++d) {
            if (first.Devices[d].DeviceType == D3DDEVTYPE_REF) {
                first.CurrentDevice = d;
                Windowed = first.Devices[d].Windowed;
                return InitDevice();
            }
        }
    }
    return hr;
}

HRESULT AppFramework::ResetDevice()
{
    ReleaseVideoResources();
    HRESULT hr = Device->Reset(&PresentParams);
    if (FAILED(hr)) return hr;
    ReadBackBufferDesc(Device, BackBufferDesc);
    ApplyFullscreenCursor();
    hr = RestoreVideoResources();
    if (FAILED(hr)) return hr;
    if (!FrameMoving) {
        SingleStep = TRUE;
        AppTimer(TIMER_START);
        AppTimer(TIMER_STOP);
    }
    return S_OK;
}

HRESULT AppFramework::ToggleFullscreen()
{
    AdapterRecord& adapter = Adapters[CurrentAdapter];
    DeviceRecord& device = adapter.Devices[adapter.CurrentDevice];
    if (!Device) return E_FAIL;
    if (!Windowed && !device.CanRenderWindowed) return SwitchToWindowed();

    Ready = FALSE;
    Windowed = !Windowed;
    device.Windowed = Windowed;
    ApplyWindowStyle();
    FillPresentParams();
    HRESULT hr = ResetDevice();
    if (FAILED(hr)) {
        if (Windowed) return SwitchToWindowed();
        // The switch to full screen failed: go back to the window rather than leave the flag
        // flipped and the device without a back buffer.
        Windowed = TRUE;
        device.Windowed = TRUE;
        ApplyWindowStyle();
        FillPresentParams();
        if (FAILED(ResetDevice()) && FAILED(SwitchToWindowed())) return E_FAIL;
        SetWindowPos(MainWindow, HWND_NOTOPMOST, WindowBounds.left, WindowBounds.top,
                     WindowBounds.right - WindowBounds.left, WindowBounds.bottom - WindowBounds.top, SWP_SHOWWINDOW);
        Ready = NobodyPaused();
        return E_FAIL;
    }
    if (Windowed)
        SetWindowPos(MainWindow, HWND_NOTOPMOST, WindowBounds.left, WindowBounds.top,
                     WindowBounds.right - WindowBounds.left, WindowBounds.bottom - WindowBounds.top, SWP_SHOWWINDOW);
    Ready = NobodyPaused();
    return S_OK;
}

HRESULT AppFramework::SwitchToWindowed()
{
    AdapterRecord* adapter = &Adapters[CurrentAdapter];
    DeviceRecord* device = &adapter->Devices[adapter->CurrentDevice];
    if (!device->CanRenderWindowed) {
        bool found = false;
        for (uint32_t a = 0; a < AdapterCount && !found; ++a)
            for (uint32_t d = 0; d < Adapters[a].DeviceCount && !found; ++d)
                if (Adapters[a].Devices[d].CanRenderWindowed) {
                    CurrentAdapter = a;
                    Adapters[a].CurrentDevice = d;
                    found = true;
                }
        if (!found) return E_FAIL;
        adapter = &Adapters[CurrentAdapter];
        device = &adapter->Devices[adapter->CurrentDevice];
    }
    device->Windowed = TRUE;
    Windowed = TRUE;
    Ready = FALSE;
    HRESULT hr = RecreateDevice();
    if (FAILED(hr)) return hr;
    Ready = NobodyPaused();
    return S_OK;
}

HRESULT AppFramework::RecreateDevice()
{
    ReleaseVideoResources();
    DestroyDeviceResources();
    if (Device) {
        ULONG left = Device->Release();
        Device = nullptr;
        if (left > 0) return ShowError(ErrObjectsStillReferenced, MSGERR_FATAL);
    }
    HRESULT hr = InitDevice();
    if (FAILED(hr)) return ShowError(hr, MSGERR_FATAL);
    return S_OK;
}

HRESULT FindMediaFile(const char* name, char* path)
{
    if (!name || !path) return E_INVALIDARG;
    if (FileExists(name)) {
        std::snprintf(path, MAX_PATH, "%s", name);
        return S_OK;
    }
    char media[MAX_PATH] = "";
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\DirectX", 0, KEY_READ, &key) == ERROR_SUCCESS) {
        DWORD type = 0, size = sizeof(media) - 8;
        if (RegQueryValueExA(key, "DX8SDK Samples Path", nullptr, &type, reinterpret_cast<LPBYTE>(media), &size) ==
                ERROR_SUCCESS &&
            type == REG_SZ) {
            media[sizeof(media) - 8] = 0;
            std::strncat(media, "\\Media\\", sizeof(media) - std::strlen(media) - 1);
        } else {
            media[0] = 0;
        }
        RegCloseKey(key);
    }
    char joined[2 * MAX_PATH];
    std::snprintf(joined, sizeof(joined), "%s%s", media, name);
    if (std::strlen(joined) < MAX_PATH && FileExists(joined)) {
        std::snprintf(path, MAX_PATH, "%s", joined);
        return S_OK;
    }
    std::snprintf(path, MAX_PATH, "%s", name);
    return E_FAIL;
}

// ---------------------------------------------------------------------------------------------
// The device-selection dialog (Ctrl+F2).
namespace {
constexpr int IDD_SELECTDEVICE = 144;
constexpr int IDC_DEVICE_COMBO = 1000;
constexpr int IDC_ADAPTER_COMBO = 1002;
constexpr int IDC_FULLSCREENMODES_COMBO = 1003;
constexpr int IDC_MULTISAMPLE_COMBO = 1004;
constexpr int IDC_WINDOW = 1016;
constexpr int IDC_FULLSCREEN = 1018;
constexpr int IDC_LABEL = -1;

DialogTemplate SelectDeviceTemplate()
{
    using K = DialogControlKind;
    DialogTemplate t{"Select Device", 460, 312, {}};
    t.Items = {
        {K::GroupBox, IDC_LABEL, "Rendering device", 10, 8, 440, 90},
        {K::Static, IDC_LABEL, "&Adapter:", 22, 30, 110, 24},
        {K::ComboBox, IDC_ADAPTER_COMBO, "", 140, 30, 300, 24},
        {K::Static, IDC_LABEL, "D&evice:", 22, 62, 110, 24},
        {K::ComboBox, IDC_DEVICE_COMBO, "", 140, 62, 300, 24},
        {K::GroupBox, IDC_LABEL, "Rendering mode", 10, 106, 440, 150},
        {K::RadioButton, IDC_WINDOW, "Use desktop &window", 22, 128, 300, 22},
        {K::RadioButton, IDC_FULLSCREEN, "&Fullscreen mode", 22, 154, 300, 22},
        {K::Static, IDC_LABEL, "Display mode:", 42, 184, 158, 24},
        {K::ComboBox, IDC_FULLSCREENMODES_COMBO, "", 200, 184, 240, 24},
        {K::Static, IDC_LABEL, "&Multisample:", 42, 218, 158, 24},
        {K::ComboBox, IDC_MULTISAMPLE_COMBO, "", 200, 218, 240, 24},
        {K::DefButton, IDOK, "OK", 250, 270, 95, 30},
        {K::Button, IDCANCEL, "Cancel", 355, 270, 95, 30},
    };
    return t;
}

bool IsThirtyTwoBit(D3DFORMAT format)
{
    return format == D3DFMT_R8G8B8 || format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8;
}

// The working choice, and what it was when the dialog opened.
struct DeviceChoice {
    uint32_t Adapter, Device, Mode;
    BOOL Windowed;
    D3DMULTISAMPLE_TYPE MultiSample;
    bool operator==(const DeviceChoice&) const = default;
};
DeviceChoice g_choice{}, g_entryChoice{};
AppFramework* g_dialogFramework = nullptr;

void AddEntry(HWND dialog, int id, const char* text, LPARAM data, bool select)
{
    LRESULT index = SendDlgItemMessageA(dialog, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    SendDlgItemMessageA(dialog, id, CB_SETITEMDATA, (WPARAM)index, data);
    if (select) SendDlgItemMessageA(dialog, id, CB_SETCURSEL, (WPARAM)index, 0);
}

// Refills every list from the working choice.
void RefillDeviceDialog(HWND dialog)
{
    AppFramework& app = *g_dialogFramework;
    AdapterRecord& adapter = app.Adapters[g_choice.Adapter];
    DeviceRecord& device = adapter.Devices[g_choice.Device];
    // A device that cannot draw into a window can only run full screen.
    if (!device.CanRenderWindowed) g_choice.Windowed = FALSE;

    for (int id : {IDC_ADAPTER_COMBO, IDC_DEVICE_COMBO, IDC_FULLSCREENMODES_COMBO, IDC_MULTISAMPLE_COMBO})
        SendDlgItemMessageA(dialog, id, CB_RESETCONTENT, 0, 0);

    for (uint32_t a = 0; a < app.AdapterCount; ++a)
        AddEntry(dialog, IDC_ADAPTER_COMBO, app.Adapters[a].Identifier.Description, a, a == g_choice.Adapter);
    for (uint32_t d = 0; d < adapter.DeviceCount; ++d)
        AddEntry(dialog, IDC_DEVICE_COMBO, adapter.Devices[d].Description ? adapter.Devices[d].Description : "",
                 d, d == g_choice.Device);

    EnableWindow(GetDlgItem(dialog, IDC_WINDOW), device.CanRenderWindowed);
    CheckRadioButton(dialog, IDC_WINDOW, IDC_FULLSCREEN, g_choice.Windowed ? IDC_WINDOW : IDC_FULLSCREEN);

    for (uint32_t m = 0; m < device.ModeCount; ++m) {
        const DisplayModeRecord& mode = device.Modes[m];
        char text[80];
        std::snprintf(text, sizeof(text), "%ld x %ld x %ld", (long)mode.Width, (long)mode.Height,
                      IsThirtyTwoBit(mode.Format) ? 32L : 16L);
        AddEntry(dialog, IDC_FULLSCREENMODES_COMBO, text, m, m == g_choice.Mode);
    }
    EnableWindow(GetDlgItem(dialog, IDC_FULLSCREENMODES_COMBO), !g_choice.Windowed);

    D3DFORMAT format = g_choice.Windowed || g_choice.Mode >= device.ModeCount ? adapter.DesktopMode.Format
                                                                              : device.Modes[g_choice.Mode].Format;
    bool currentOffered = false;
    for (int type = 0; type <= 16; ++type) {
        if (type == 1) continue;
        if (!app.Direct3D ||
            FAILED(app.Direct3D->CheckDeviceMultiSampleType(g_choice.Adapter, device.DeviceType, format,
                                                             g_choice.Windowed, (D3DMULTISAMPLE_TYPE)type)))
            continue;
        char text[32];
        if (type == 0) std::snprintf(text, sizeof(text), "none");
        else std::snprintf(text, sizeof(text), "%d samples", type);
        bool select = type == 0 || type == (int)g_choice.MultiSample;
        if (type == (int)g_choice.MultiSample) currentOffered = true;
        AddEntry(dialog, IDC_MULTISAMPLE_COMBO, text, type, select);
    }
    // A type the new device or format does not take would fail the device creation.
    if (!currentOffered) g_choice.MultiSample = D3DMULTISAMPLE_NONE;
    LRESULT samples = SendDlgItemMessageA(dialog, IDC_MULTISAMPLE_COMBO, CB_GETCOUNT, 0, 0);
    EnableWindow(GetDlgItem(dialog, IDC_MULTISAMPLE_COMBO), samples > 1);
}

LPARAM SelectedData(HWND dialog, int id)
{
    LRESULT index = SendDlgItemMessageA(dialog, id, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR) return CB_ERR;
    return SendDlgItemMessageA(dialog, id, CB_GETITEMDATA, (WPARAM)index, 0);
}

// Takes a device's own mode and windowed flag after the adapter or device changed.
void TakeDeviceSettings()
{
    DeviceRecord& device = g_dialogFramework->Adapters[g_choice.Adapter].Devices[g_choice.Device];
    g_choice.Mode = device.CurrentMode;
    g_choice.Windowed = device.Windowed;
}
}  // namespace

INT_PTR CALLBACK AppFramework::DeviceDialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_INITDIALOG) {
        g_dialogFramework = reinterpret_cast<AppFramework*>(lParam);
        AppFramework& app = *g_dialogFramework;
        AdapterRecord& adapter = app.Adapters[app.CurrentAdapter];
        DeviceRecord& device = adapter.Devices[adapter.CurrentDevice];
        g_choice = {app.CurrentAdapter, adapter.CurrentDevice, device.CurrentMode, app.Windowed,
                    device.MultiSampleType};
        RefillDeviceDialog(dialog);
        // Taken after the refill has settled the choice, so that OK untouched changes nothing.
        g_entryChoice = g_choice;
        return TRUE;
    }
    if (msg != WM_COMMAND || !g_dialogFramework) return FALSE;
    AppFramework& app = *g_dialogFramework;
    const WORD id = LOWORD(wParam), code = HIWORD(wParam);
    switch (id) {
    case IDOK:
        if (g_choice == g_entryChoice) {
            EndDialog(dialog, IDCANCEL);
        } else {
            AdapterRecord& adapter = app.Adapters[g_choice.Adapter];
            DeviceRecord& device = adapter.Devices[g_choice.Device];
            app.CurrentAdapter = g_choice.Adapter;
            adapter.CurrentDevice = g_choice.Device;
            device.CurrentMode = g_choice.Mode;
            device.Windowed = g_choice.Windowed;
            device.MultiSampleType = g_choice.MultiSample;
            EndDialog(dialog, IDOK);
        }
        return TRUE;
    case IDCANCEL: EndDialog(dialog, IDCANCEL); return TRUE;
    case IDC_ADAPTER_COMBO:
        if (code == CBN_SELCHANGE) {
            LPARAM a = SelectedData(dialog, id);
            if (a < 0 || (uint32_t)a >= app.AdapterCount) return TRUE;
            g_choice.Adapter = (uint32_t)a;
            g_choice.Device = app.Adapters[a].CurrentDevice;
            TakeDeviceSettings();
            RefillDeviceDialog(dialog);
        }
        return TRUE;
    case IDC_DEVICE_COMBO:
        if (code == CBN_SELCHANGE) {
            LPARAM d = SelectedData(dialog, id);
            if (d < 0 || (uint32_t)d >= app.Adapters[g_choice.Adapter].DeviceCount) return TRUE;
            g_choice.Device = (uint32_t)d;
            TakeDeviceSettings();
            RefillDeviceDialog(dialog);
        }
        return TRUE;
    case IDC_FULLSCREENMODES_COMBO:
        if (code == CBN_SELCHANGE) {
            LPARAM m = SelectedData(dialog, id);
            if (m < 0 || (uint32_t)m >= app.Adapters[g_choice.Adapter].Devices[g_choice.Device].ModeCount) return TRUE;
            g_choice.Mode = (uint32_t)m;
            RefillDeviceDialog(dialog);
        }
        return TRUE;
    case IDC_MULTISAMPLE_COMBO:
        if (code == CBN_SELCHANGE) {
            LPARAM t = SelectedData(dialog, id);
            if (t < 0 || t > 16) return TRUE;
            g_choice.MultiSample = (D3DMULTISAMPLE_TYPE)t;
            RefillDeviceDialog(dialog);
        }
        return TRUE;
    case IDC_WINDOW:
    case IDC_FULLSCREEN:
        if (code == BN_CLICKED) {
            g_choice.Windowed = id == IDC_WINDOW;
            RefillDeviceDialog(dialog);
        }
        return TRUE;
    default: return FALSE;
    }
}

HRESULT AppFramework::ChooseDeviceDialog()
{
    // The dialog is a window of its own: it cannot sit over an exclusive full-screen device.
    if (!Windowed) {
        if (FAILED(ToggleFullscreen())) {
            ShowError(ErrResetFailed, MSGERR_FATAL);
            return E_FAIL;
        }
        // The window under the dialog shows the game at the window's size, not a piece of the
        // last full-screen picture.
        if (Device && SUCCEEDED(RenderFrame())) Device->Present(nullptr, nullptr, nullptr, nullptr);
    }
    DialogTemplate dialogTemplate = SelectDeviceTemplate();
    INT_PTR result = DialogBoxIndirectParamA(Instance, &dialogTemplate, MainWindow, DeviceDialogProc,
                                             reinterpret_cast<LPARAM>(this));
    if (result == -1) {
        DebugTrace("Fenwolt: the device-selection dialog could not be shown\n");
        return E_FAIL;
    }
    if (result != IDOK) return S_OK;

    AdapterRecord& adapter = Adapters[CurrentAdapter];
    Windowed = adapter.Devices[adapter.CurrentDevice].Windowed;
    HRESULT hr = RecreateDevice();
    if (FAILED(hr)) return hr;
    if (!FrameMoving) {
        SingleStep = TRUE;
        AppTimer(TIMER_START);
        AppTimer(TIMER_STOP);
    }
    return S_OK;
}

// ---------------------------------------------------------------------------------------------
int AppFramework::Run()
{
    StartRun();
    HACCEL accel = LoadAcceleratorsA(nullptr, MAKEINTRESOURCEA(IDR_MAIN_ACCEL));
    MSG msg{};
    bool gotQuit = false;
    while (!gotQuit) {
        // After WM_CLOSE has released everything, nothing of the game is polled any more.
        if (!shutDown_) PollEvents();
        bool gotMessage;
        if (Active) {
            gotMessage = PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE) != 0;
        } else {
            BOOL r = GetMessageA(&msg, nullptr, 0, 0);
            gotMessage = true;
            if (r == 0) msg.message = WM_QUIT;
            if (r < 0) break;
        }
        if (gotMessage) {
            if (msg.message == WM_QUIT) {
                gotQuit = true;
                break;
            }
            if ((!accel || !MainWindow || !TranslateAcceleratorA(MainWindow, accel, &msg)) &&
                AcceptQueuedMessage(msg)) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
        } else if (Active && Ready) {
            if (FAILED(RenderOneFrame())) SendMessageA(MainWindow, WM_CLOSE, 0, 0);
        }
    }
    if (accel) DestroyAcceleratorTable(accel);
    return (int)msg.wParam;
}

HRESULT AppFramework::RenderOneFrame()
{
    if (!Device) return S_OK;
    HRESULT hr = Device->TestCooperativeLevel();
    if (FAILED(hr)) {
        if (hr == D3DERR_DEVICELOST) return S_OK;
        if (hr == D3DERR_DEVICENOTRESET) {
            if (Windowed) {
                AdapterRecord& adapter = Adapters[CurrentAdapter];
                Direct3D->GetAdapterDisplayMode(CurrentAdapter, &adapter.DesktopMode);
                PresentParams.BackBufferFormat = adapter.DesktopMode.Format;
            }
            return ResetDevice();
        }
        return hr;
    }
    float appTime = (float)AppTimer(TIMER_GETAPPTIME);
    float elapsed = (float)AppTimer(TIMER_GETELAPSEDTIME);
    if (elapsed == 0.f && FrameMoving) return S_OK;
    if (FrameMoving || SingleStep) {
        AppTime = appTime;
        ElapsedTime = elapsed;
        hr = UpdateFrame();
        if (FAILED(hr)) return hr;
        SingleStep = FALSE;
    }
    hr = RenderFrame();
    if (FAILED(hr)) return hr;

    double now = AppTimer(TIMER_GETABSOLUTETIME);
    ++framesCounted_;
    if (now - lastFpsTime_ > 1.0) {
        FramesPerSecond = (float)(framesCounted_ / (now - lastFpsTime_));
        framesCounted_ = 0;
        lastFpsTime_ = now;
        if (DevStatistics) FormatFrameStats();
    }
    FrameDrawn();
    Device->Present(nullptr, nullptr, nullptr, nullptr);
    return S_OK;
}

void AppFramework::Pause(bool pause)
{
    if (pause) {
        if (g_pauseCount++ == 0 && FrameMoving) AppTimer(TIMER_STOP);
    } else if (g_pauseCount > 0) {
        if (--g_pauseCount == 0 && FrameMoving) AppTimer(TIMER_START);
    }
    Ready = NobodyPaused();
}

void AppFramework::ReleaseDevice()
{
    Active = FALSE;
    Ready = FALSE;
    if (Device) {
        ReleaseVideoResources();
        DestroyDeviceResources();
        Device->Release();
        Device = nullptr;
        if (Direct3D) Direct3D->Release();
        Direct3D = nullptr;
    }
    ShutdownApp();
}

const char* AppFramework::ErrorMessage(HRESULT code)
{
    switch (code) {
    case ErrDirect3DUnavailable:
        return "Could not initialize Direct3D. You may\nwant to check that the latest version of\nDirectX is correctly "
               "installed on your\nsystem.  Also make sure that this program\nwas compiled with header files that "
               "match\nthe installed DirectX DLLs.";
    case ErrNoUsableDevice: return "Could not find any compatible Direct3D\ndevices.";
    case ErrNoWindowedDevice:
        return "This sample cannot run in a desktop\nwindow with the current display settings.\nPlease change your "
               "desktop settings to a\n16- or 32-bit display mode and re-run this\nsample.";
    case ErrNoHardwareDevice: return "No hardware-accelerated Direct3D devices\nwere found.";
    case ErrHardwareLacksFeatures:
        return "This sample requires functionality that is\nnot available on your Direct3D hardware\naccelerator.";
    case ErrHardwareNotWindowed:
        return "Your Direct3D hardware accelerator cannot\nrender into a window.\nPress F2 while the app is running to "
               "see a\nlist of available devices and modes.";
    case ErrHardwareNotWindowedInDesktopFormat:
        return "Your Direct3D hardware accelerator cannot\nrender into a window with the current\ndesktop display "
               "settings.\nPress F2 while the app is running to see a\nlist of available devices and modes.";
    case ErrHardwareLacksFeaturesInDesktopFormat:
        return "This sample requires functionality that is\nnot available on your Direct3D hardware\naccelerator with "
               "the current desktop display\nsettings.\nPress F2 while the app is running to see a\nlist of available "
               "devices and modes.";
    case ErrObjectsStillReferenced:
        return "A D3D object has a non-zero reference\ncount (meaning things were not properly\ncleaned up).";
    case ErrMediaMissing: return "Could not load required media.";
    case ErrResetFailed: return "Could not reset the Direct3D device.";
    case E_OUTOFMEMORY: return "Not enough memory.";
    case D3DERR_OUTOFVIDEOMEMORY: return "Not enough video memory.";
    default: return "Generic application error. Enable\ndebug output for detailed information.";
    }
}

HRESULT AppFramework::ShowError(HRESULT code, uint32_t kind)
{
    char text[512];
    std::snprintf(text, sizeof(text), "%s", ErrorMessage(code));
    // The box may be answered by nobody (a scripted run): the debugger hears of it as well.
    DebugTrace("%s: %s\n", WindowTitle ? WindowTitle : "", text);
    if (kind == MSGERR_FATAL) {
        std::strncat(text, "\n\nThis sample will now exit.", sizeof(text) - std::strlen(text) - 1);
        MessageBoxA(nullptr, text, WindowTitle, MB_ICONERROR | MB_OK);
        if (MainWindow && IsWindow(MainWindow)) SendMessageA(MainWindow, WM_CLOSE, 0, 0);
    } else if (kind == MSGERR_REFERENCE) {
        std::strncat(text,
                     "\n\nSwitching to the reference rasterizer,\na software device that implements the entire\n"
                     "Direct3D feature set, but runs very slowly.",
                     sizeof(text) - std::strlen(text) - 1);
        MessageBoxA(nullptr, text, WindowTitle, MB_ICONWARNING | MB_OK);
    } else {
        MessageBoxA(nullptr, text, WindowTitle, MB_ICONWARNING | MB_OK);
    }
    return code;
}

// ---------------------------------------------------------------------------------------------
LRESULT AppFramework::HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_PAINT:
        if (Device && !Ready && Windowed) Device->Present(nullptr, nullptr, nullptr, nullptr);
        break;
    case WM_SIZE:
        // Active also needs a device: a late resize must not start frames without one.
        if (wParam == SIZE_MINIMIZED || wParam == SIZE_MAXHIDE)
            Active = FALSE;
        else
            Active = Device != nullptr;
        break;
    case WM_SETCURSOR:
        if (Active && Ready && !Windowed) {
            SetCursor(nullptr);
            if (ShowCursorWhenFullscreen && Device) Device->ShowCursor(TRUE);
            return TRUE;
        }
        break;
    case WM_CLOSE:
        ReleaseGameOnClose();
        ReleaseDevice();
        shutDown_ = true;
        if (HMENU menu = GetMenu(hwnd)) DestroyMenu(menu);
        DestroyWindow(hwnd);
        if (hwnd == MainWindow) MainWindow = nullptr;
        PostQuitMessage(0);
        return 0;
    case WM_GETMINMAXINFO:
        if (lParam) {
            reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize.x = 100;
            reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize.y = 100;
        }
        break;
    case WM_NCHITTEST:
        if (!Windowed) return HTCLIENT;
        break;
    case WM_SYSCOMMAND:
        if (!Windowed) {
            switch (wParam & 0xFFF0) {
            case SC_MOVE:
            case SC_SIZE:
            case SC_MAXIMIZE:
            case SC_KEYMENU:
            case SC_MONITORPOWER:
                return 1;
            default:
                break;
            }
        }
        break;
    case WM_ENTERMENULOOP: Pause(true); break;
    case WM_EXITMENULOOP: Pause(false); break;
    case WM_POWERBROADCAST:
        if (wParam == PBT_APMQUERYSUSPEND || wParam == PBT_APMRESUMESUSPEND) return TRUE;
        break;
    case WM_ENTERSIZEMOVE:
        if (FrameMoving) AppTimer(TIMER_STOP);
        break;
    case WM_EXITSIZEMOVE:
        if (FrameMoving) AppTimer(TIMER_START);
        if (Active && Windowed && Device) {
            RECT oldClient = ClientRect;
            GetWindowRect(MainWindow, &WindowBounds);
            GetClientRect(MainWindow, &ClientRect);
            if (oldClient.right - oldClient.left != ClientRect.right - ClientRect.left ||
                oldClient.bottom - oldClient.top != ClientRect.bottom - ClientRect.top) {
                Ready = FALSE;
                PresentParams.BackBufferWidth = (UINT)(ClientRect.right - ClientRect.left);
                PresentParams.BackBufferHeight = (UINT)(ClientRect.bottom - ClientRect.top);
                if (FAILED(ResetDevice())) {
                    ShowError(ErrResetFailed, MSGERR_FATAL);
                    return 0;
                }
                Ready = NobodyPaused();
            }
        }
        break;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDM_CHANGEDEVICE:
            if (Active && Ready) {
                Pause(true);
                HRESULT hr = ChooseDeviceDialog();
                // Unpause on failure too, or the game would stay frozen.
                Pause(false);
                if (FAILED(hr)) return 0;
            }
            return 0;
        case IDM_TOGGLEFULLSCREEN:
            if (Active && Ready) {
                if (FAILED(ToggleFullscreen())) {
                    // A switch that fell back to the window leaves a working device: warn only.
                    bool usable = Device != nullptr && Ready && Windowed;
                    ShowError(ErrResetFailed, usable ? MSGERR_WARNING : MSGERR_FATAL);
                }
            }
            return 0;
        case IDM_TOGGLESTART:
            FrameMoving = !FrameMoving;
            AppTimer(FrameMoving ? TIMER_START : TIMER_STOP);
            break;
        case IDM_SINGLESTEP:
            if (!FrameMoving)
                AppTimer(TIMER_ADVANCE);
            else
                AppTimer(TIMER_STOP);
            FrameMoving = FALSE;
            SingleStep = TRUE;
            break;
        case IDM_EXIT:
            // WM_CLOSE clears ScreenReady before anything else goes.
            SendMessageA(hwnd, WM_CLOSE, 0, 0);
            return 0;
        default:
            break;
        }
        break;
    default:
        break;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}
