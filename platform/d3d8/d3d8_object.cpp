// The Direct3D object: one adapter, its modes, the HAL and REF device types and their caps.
#include "platform/d3d8/d3d8_internal.h"
#include "platform/win32/platform_internal.h"

#include <SDL.h>

#include <cstring>

namespace {
D3D8StandInConfig g_config;

bool IsDisplayFormat(D3DFORMAT f) { return f == D3DFMT_X8R8G8B8 || f == D3DFMT_R5G6B5; }

// A back buffer may be the display format or, for 32-bit displays, its alpha twin.
bool BackBufferMatches(D3DFORMAT display, D3DFORMAT backBuffer)
{
    if (backBuffer == display) return true;
    return display == D3DFMT_X8R8G8B8 && backBuffer == D3DFMT_A8R8G8B8;
}

bool TextureFormatSupported(D3DFORMAT f)
{
    switch (f) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4:
        return true;
    default:
        return false;
    }
}
}  // namespace

D3D8StandInConfig& D3D8StandInSettings() { return g_config; }
void D3D8ResetStandInSettings() { g_config = D3D8StandInConfig(); }

HRESULT D3D8Fail(HRESULT code, const char* call, const char* why)
{
    PlatformTrace("Direct3D8: %s failed (0x%08X): %s", call, (unsigned)code, why);
    return code;
}

UINT D3D8BytesPerPixel(D3DFORMAT format)
{
    switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
        return 4;
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4:
    case D3DFMT_D16:
    case D3DFMT_D16_LOCKABLE:
        return 2;
    default:
        return 0;
    }
}

bool D3D8IsDepthFormat(D3DFORMAT f)
{
    return f == D3DFMT_D16 || f == D3DFMT_D16_LOCKABLE || f == D3DFMT_D24S8 || f == D3DFMT_D24X8 ||
           f == D3DFMT_D32 || f == D3DFMT_D15S1 || f == D3DFMT_D24X4S4;
}

IDirect3D8* Direct3DCreate8(UINT sdkVersion)
{
    if (sdkVersion != 120 && sdkVersion != D3D_SDK_VERSION) {
        D3D8Fail(D3DERR_INVALIDCALL, "Direct3DCreate8", "unknown SDK version");
        return nullptr;
    }
    if (!PlatformInit()) {
        D3D8Fail(D3DERR_NOTAVAILABLE, "Direct3DCreate8", "the platform's video could not start");
        return nullptr;
    }
    return new Direct3D8Impl();
}

Direct3D8Impl::Direct3D8Impl()
{
    offer_.config = g_config;
    SDL_DisplayMode dm{};
    offer_.desktop.Width = 1024;
    offer_.desktop.Height = 768;
    if (SDL_WasInit(SDL_INIT_VIDEO) && SDL_GetDesktopDisplayMode(0, &dm) == 0 && dm.w > 0 && dm.h > 0) {
        offer_.desktop.Width = (UINT)dm.w;
        offer_.desktop.Height = (UINT)dm.h;
    }
    offer_.desktop.RefreshRate = 60;
    offer_.desktop.Format = D3DFMT_X8R8G8B8;
    const UINT sizes[][2] = {{640, 480}, {800, 600}, {1024, 768}};
    for (D3DFORMAT f : {D3DFMT_X8R8G8B8, D3DFMT_R5G6B5}) {
        if (f == D3DFMT_R5G6B5 && !offer_.config.offer16BitMode) continue;
        for (auto& s : sizes) {
            if (s[0] == 800 && !offer_.config.offer800x600) continue;
            offer_.modes.push_back(D3DDISPLAYMODE{s[0], s[1], 60, f});
        }
    }
}

HRESULT Direct3D8Impl::RegisterSoftwareDevice(void*)
{
    return D3D8Fail(D3DERR_INVALIDCALL, "RegisterSoftwareDevice", "pluggable software devices are not offered");
}

HRESULT Direct3D8Impl::GetAdapterIdentifier(UINT adapter, DWORD, D3DADAPTER_IDENTIFIER8* id)
{
    if (adapter != 0 || !id) return D3D8Fail(D3DERR_INVALIDCALL, "GetAdapterIdentifier", "bad adapter or null");
    std::memset(id, 0, sizeof(*id));
    std::snprintf(id->Driver, sizeof(id->Driver), "opengl21");
    // Short enough for the one line the device dialog gives an adapter's name.
    std::snprintf(id->Description, sizeof(id->Description), "OpenGL 2.1 display adapter");
    id->DriverVersion.QuadPart = 0x0001000200030004LL;
    id->VendorId = 0;
    id->DeviceId = 0;
    id->DeviceIdentifier = GUID{0x6f70656e, 0x676c, 0x2101, {0, 0, 0, 0, 0, 0, 0, 1}};
    return D3D_OK;
}

UINT Direct3D8Impl::GetAdapterModeCount(UINT adapter) { return adapter == 0 ? (UINT)offer_.modes.size() : 0; }

HRESULT Direct3D8Impl::EnumAdapterModes(UINT adapter, UINT mode, D3DDISPLAYMODE* out)
{
    if (adapter != 0 || !out || mode >= offer_.modes.size())
        return D3D8Fail(D3DERR_INVALIDCALL, "EnumAdapterModes", "bad adapter, mode index or null");
    *out = offer_.modes[mode];
    return D3D_OK;
}

HRESULT Direct3D8Impl::GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* out)
{
    if (adapter != 0 || !out) return D3D8Fail(D3DERR_INVALIDCALL, "GetAdapterDisplayMode", "bad adapter or null");
    *out = offer_.desktop;
    return D3D_OK;
}

bool Direct3D8Impl::DeviceTypeOffered(D3DDEVTYPE type) const
{
    if (type == D3DDEVTYPE_HAL) return offer_.config.offerHal;
    if (type == D3DDEVTYPE_REF) return offer_.config.offerRef;
    return false;
}

HRESULT Direct3D8Impl::CheckDeviceType(UINT adapter, D3DDEVTYPE type, D3DFORMAT display, D3DFORMAT backBuffer,
                                       BOOL windowed)
{
    // Answers are expected to be "no" often during enumeration: no trace for them.
    if (adapter != 0) return D3DERR_INVALIDCALL;
    if (!DeviceTypeOffered(type)) return D3DERR_NOTAVAILABLE;
    if (!IsDisplayFormat(display) || !BackBufferMatches(display, backBuffer)) return D3DERR_NOTAVAILABLE;
    if (display == D3DFMT_R5G6B5 && !offer_.config.offer16BitMode) return D3DERR_NOTAVAILABLE;
    if (windowed) {
        if (display != offer_.desktop.Format) return D3DERR_NOTAVAILABLE;
        if (type == D3DDEVTYPE_HAL && !offer_.config.halCanRenderWindowed) return D3DERR_NOTAVAILABLE;
    }
    return D3D_OK;
}

HRESULT Direct3D8Impl::CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, DWORD usage,
                                         D3DRESOURCETYPE resourceType, D3DFORMAT format)
{
    if (adapter != 0) return D3DERR_INVALIDCALL;
    if (!DeviceTypeOffered(type) || !IsDisplayFormat(adapterFormat)) return D3DERR_NOTAVAILABLE;
    if (usage & D3DUSAGE_DEPTHSTENCIL) {
        if (resourceType != D3DRTYPE_SURFACE) return D3DERR_NOTAVAILABLE;
        switch (format) {
        case D3DFMT_D16: return offer_.config.offerD16 ? D3D_OK : D3DERR_NOTAVAILABLE;
        case D3DFMT_D24S8: return offer_.config.offerD24S8 ? D3D_OK : D3DERR_NOTAVAILABLE;
        case D3DFMT_D24X8: return D3D_OK;
        case D3DFMT_D32: return offer_.config.offerD32 ? D3D_OK : D3DERR_NOTAVAILABLE;
        default: return D3DERR_NOTAVAILABLE;
        }
    }
    if (usage & D3DUSAGE_RENDERTARGET)
        return BackBufferMatches(D3DFMT_X8R8G8B8, format) ? D3D_OK : D3DERR_NOTAVAILABLE;
    if (resourceType == D3DRTYPE_TEXTURE || resourceType == D3DRTYPE_SURFACE)
        return TextureFormatSupported(format) ? D3D_OK : D3DERR_NOTAVAILABLE;
    if (resourceType == D3DRTYPE_VERTEXBUFFER && format == D3DFMT_VERTEXDATA) return D3D_OK;
    if (resourceType == D3DRTYPE_INDEXBUFFER && (format == D3DFMT_INDEX16 || format == D3DFMT_INDEX32))
        return D3D_OK;
    return D3DERR_NOTAVAILABLE;
}

HRESULT Direct3D8Impl::CheckDeviceMultiSampleType(UINT adapter, D3DDEVTYPE type, D3DFORMAT format, BOOL windowed,
                                                  D3DMULTISAMPLE_TYPE multiSample)
{
    if (adapter != 0) return D3DERR_INVALIDCALL;
    if (!DeviceTypeOffered(type) || !IsDisplayFormat(format)) return D3DERR_NOTAVAILABLE;
    // The back buffer is a single-sample framebuffer object.
    return multiSample == D3DMULTISAMPLE_NONE ? D3D_OK : D3DERR_NOTAVAILABLE;
}

HRESULT Direct3D8Impl::CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                              D3DFORMAT renderTarget, D3DFORMAT depthStencil)
{
    if (adapter != 0) return D3DERR_INVALIDCALL;
    if (!BackBufferMatches(adapterFormat, renderTarget) && !BackBufferMatches(D3DFMT_X8R8G8B8, renderTarget))
        return D3DERR_NOTAVAILABLE;
    return CheckDeviceFormat(adapter, type, adapterFormat, D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, depthStencil);
}

HRESULT Direct3D8Impl::GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS8* caps)
{
    if (adapter != 0 || !caps) return D3D8Fail(D3DERR_INVALIDCALL, "GetDeviceCaps", "bad adapter or null");
    if (!DeviceTypeOffered(type)) return D3DERR_NOTAVAILABLE;
    const D3D8StandInConfig& c = offer_.config;
    std::memset(caps, 0, sizeof(*caps));
    caps->DeviceType = type;
    caps->AdapterOrdinal = 0;
    caps->Caps2 = D3DCAPS2_CANMANAGERESOURCE | D3DCAPS2_DYNAMICTEXTURES;
    if (type == D3DDEVTYPE_REF || c.halCanRenderWindowed) caps->Caps2 |= D3DCAPS2_CANRENDERWINDOWED;
    caps->PresentationIntervals = D3DPRESENT_INTERVAL_IMMEDIATE | D3DPRESENT_INTERVAL_ONE;
    caps->CursorCaps = D3DCURSORCAPS_COLOR;
    caps->DevCaps = D3DDEVCAPS_EXECUTESYSTEMMEMORY | D3DDEVCAPS_TLVERTEXSYSTEMMEMORY |
                    D3DDEVCAPS_TEXTURESYSTEMMEMORY | D3DDEVCAPS_DRAWPRIMTLVERTEX | D3DDEVCAPS_CANRENDERAFTERFLIP |
                    D3DDEVCAPS_DRAWPRIMITIVES2 | D3DDEVCAPS_DRAWPRIMITIVES2EX | D3DDEVCAPS_HWRASTERIZATION;
    if (type == D3DDEVTYPE_REF || c.halHardwareTnL) caps->DevCaps |= D3DDEVCAPS_HWTRANSFORMANDLIGHT;
    caps->PrimitiveMiscCaps = D3DPMISCCAPS_MASKZ | D3DPMISCCAPS_CULLNONE | D3DPMISCCAPS_CULLCW |
                              D3DPMISCCAPS_CULLCCW | D3DPMISCCAPS_COLORWRITEENABLE | D3DPMISCCAPS_BLENDOP;
    caps->RasterCaps = D3DPRASTERCAPS_ZTEST | D3DPRASTERCAPS_FOGVERTEX | D3DPRASTERCAPS_FOGTABLE |
                       D3DPRASTERCAPS_ZBIAS | D3DPRASTERCAPS_MIPMAPLODBIAS;
    caps->ZCmpCaps = caps->AlphaCmpCaps = 0xFF;
    caps->SrcBlendCaps = caps->DestBlendCaps = 0x1FFF;
    caps->ShadeCaps = D3DPSHADECAPS_COLORGOURAUDRGB | D3DPSHADECAPS_SPECULARGOURAUDRGB |
                      D3DPSHADECAPS_ALPHAGOURAUDBLEND | D3DPSHADECAPS_FOGGOURAUD;
    // OpenGL 2.1 takes textures of any size: no power-of-two requirement.
    caps->TextureCaps = D3DPTEXTURECAPS_PERSPECTIVE | D3DPTEXTURECAPS_ALPHA | D3DPTEXTURECAPS_MIPMAP |
                        D3DPTEXTURECAPS_PROJECTED;
    caps->TextureFilterCaps = D3DPTFILTERCAPS_MINFPOINT | D3DPTFILTERCAPS_MINFLINEAR | D3DPTFILTERCAPS_MIPFPOINT |
                              D3DPTFILTERCAPS_MIPFLINEAR | D3DPTFILTERCAPS_MAGFPOINT | D3DPTFILTERCAPS_MAGFLINEAR;
    caps->TextureAddressCaps = D3DPTADDRESSCAPS_WRAP | D3DPTADDRESSCAPS_MIRROR | D3DPTADDRESSCAPS_CLAMP |
                               D3DPTADDRESSCAPS_INDEPENDENTUV;
    caps->LineCaps = D3DLINECAPS_TEXTURE | D3DLINECAPS_ZTEST | D3DLINECAPS_BLEND | D3DLINECAPS_ALPHACMP;
    caps->MaxTextureWidth = caps->MaxTextureHeight = 2048;
    caps->MaxTextureRepeat = 8192;
    caps->MaxTextureAspectRatio = 2048;
    caps->MaxAnisotropy = 1;
    caps->MaxVertexW = 1e10f;
    caps->GuardBandLeft = caps->GuardBandTop = -8192.f;
    caps->GuardBandRight = caps->GuardBandBottom = 8192.f;
    caps->StencilCaps = 0xFF;
    caps->FVFCaps = 8;
    caps->TextureOpCaps = D3DTEXOPCAPS_DISABLE | D3DTEXOPCAPS_SELECTARG1 | D3DTEXOPCAPS_SELECTARG2 |
                          D3DTEXOPCAPS_MODULATE | D3DTEXOPCAPS_MODULATE2X | D3DTEXOPCAPS_MODULATE4X |
                          D3DTEXOPCAPS_ADD | D3DTEXOPCAPS_ADDSIGNED | D3DTEXOPCAPS_SUBTRACT;
    // Every OpenGL 2.1 implementation has at least four fixed-function texture units in practice.
    caps->MaxTextureBlendStages = 4;
    caps->MaxSimultaneousTextures = 4;
    caps->VertexProcessingCaps = D3DVTXPCAPS_TEXGEN | D3DVTXPCAPS_MATERIALSOURCE7 | D3DVTXPCAPS_DIRECTIONALLIGHTS |
                                 D3DVTXPCAPS_POSITIONALLIGHTS | D3DVTXPCAPS_LOCALVIEWER;
    caps->MaxActiveLights = 8;
    caps->MaxUserClipPlanes = 6;
    caps->MaxVertexBlendMatrices = 1;
    caps->MaxPointSize = 64.f;
    caps->MaxPrimitiveCount = 0xFFFFF;
    caps->MaxVertexIndex = 0xFFFFF;
    caps->MaxStreams = 16;
    caps->MaxStreamStride = 255;
    caps->VertexShaderVersion = type == D3DDEVTYPE_REF ? D3DVS_VERSION(1, 1) : c.halVertexShaderVersion;
    caps->MaxVertexShaderConst = 96;
    caps->PixelShaderVersion = 0;
    caps->MaxPixelShaderValue = 1.f;
    return D3D_OK;
}

HMONITOR Direct3D8Impl::GetAdapterMonitor(UINT) { return nullptr; }

HRESULT Direct3D8Impl::CheckPresentParameters(D3DDEVTYPE type, D3DPRESENT_PARAMETERS& p, const char* call)
{
    if (p.MultiSampleType != D3DMULTISAMPLE_NONE)
        return D3D8Fail(D3DERR_INVALIDCALL, call, "multisampling is not offered");
    if (p.BackBufferCount > 3) return D3D8Fail(D3DERR_INVALIDCALL, call, "more than 3 back buffers");
    if (p.SwapEffect < D3DSWAPEFFECT_DISCARD || p.SwapEffect > D3DSWAPEFFECT_COPY_VSYNC)
        return D3D8Fail(D3DERR_INVALIDCALL, call, "bad swap effect");
    if (p.Windowed) {
        if (p.BackBufferFormat == D3DFMT_UNKNOWN) p.BackBufferFormat = offer_.desktop.Format;
        if (CheckDeviceType(0, type, offer_.desktop.Format, p.BackBufferFormat, TRUE) != D3D_OK)
            return D3D8Fail(D3DERR_INVALIDCALL, call, "this device cannot render windowed in that format");
        if (p.BackBufferWidth == 0 || p.BackBufferHeight == 0) {
            RECT rc{0, 0, 800, 600};
            if (p.hDeviceWindow) GetClientRect(p.hDeviceWindow, &rc);
            if (p.BackBufferWidth == 0) p.BackBufferWidth = (UINT)(rc.right - rc.left);
            if (p.BackBufferHeight == 0) p.BackBufferHeight = (UINT)(rc.bottom - rc.top);
        }
        if (p.BackBufferWidth == 0 || p.BackBufferHeight == 0 || p.BackBufferWidth > 4096 || p.BackBufferHeight > 4096)
            return D3D8Fail(D3DERR_INVALIDCALL, call, "bad windowed back-buffer size");
    } else {
        bool found = false;
        for (auto& m : offer_.modes)
            if (m.Width == p.BackBufferWidth && m.Height == p.BackBufferHeight && m.Format == p.BackBufferFormat)
                found = true;
        if (!found) return D3D8Fail(D3DERR_INVALIDCALL, call, "no such full-screen mode");
        if (CheckDeviceType(0, type, p.BackBufferFormat, p.BackBufferFormat, FALSE) != D3D_OK)
            return D3D8Fail(D3DERR_INVALIDCALL, call, "device type not offered in that format");
    }
    if (p.EnableAutoDepthStencil &&
        CheckDepthStencilMatch(0, type, p.Windowed ? offer_.desktop.Format : p.BackBufferFormat, p.BackBufferFormat,
                               p.AutoDepthStencilFormat) != D3D_OK)
        return D3D8Fail(D3DERR_INVALIDCALL, call, "depth/stencil format not offered");
    if (p.BackBufferCount == 0) p.BackBufferCount = 1;
    return D3D_OK;
}

HRESULT Direct3D8Impl::CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focus, DWORD behavior,
                                    D3DPRESENT_PARAMETERS* params, IDirect3DDevice8** device)
{
    if (!device || !params) return D3D8Fail(D3DERR_INVALIDCALL, "CreateDevice", "null argument");
    *device = nullptr;
    if (adapter != 0) return D3D8Fail(D3DERR_INVALIDCALL, "CreateDevice", "no such adapter");
    if (!DeviceTypeOffered(type)) return D3D8Fail(D3DERR_NOTAVAILABLE, "CreateDevice", "device type not offered");
    if (type == D3DDEVTYPE_HAL && offer_.config.failCreateHal)
        return D3D8Fail(D3DERR_NOTAVAILABLE, "CreateDevice", "the hardware device is configured to fail");
    DWORD vp = behavior & (D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_HARDWARE_VERTEXPROCESSING |
                           D3DCREATE_MIXED_VERTEXPROCESSING);
    if (vp != D3DCREATE_SOFTWARE_VERTEXPROCESSING && vp != D3DCREATE_HARDWARE_VERTEXPROCESSING &&
        vp != D3DCREATE_MIXED_VERTEXPROCESSING)
        return D3D8Fail(D3DERR_INVALIDCALL, "CreateDevice", "exactly one vertex processing flag is needed");
    D3DCAPS8 caps;
    GetDeviceCaps(0, type, &caps);
    if (vp != D3DCREATE_SOFTWARE_VERTEXPROCESSING && !(caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT))
        return D3D8Fail(D3DERR_INVALIDCALL, "CreateDevice", "hardware vertex processing without the caps");
    if ((behavior & D3DCREATE_PUREDEVICE) && !(caps.DevCaps & D3DDEVCAPS_PUREDEVICE))
        return D3D8Fail(D3DERR_INVALIDCALL, "CreateDevice", "pure device not offered");
    D3DPRESENT_PARAMETERS p = *params;
    if (!p.hDeviceWindow) p.hDeviceWindow = focus;
    if (!p.hDeviceWindow) return D3D8Fail(D3DERR_INVALIDCALL, "CreateDevice", "no window");
    HRESULT hr = CheckPresentParameters(type, p, "CreateDevice");
    if (FAILED(hr)) return hr;
    auto* dev = new Direct3DDevice8Impl(this, type, focus, behavior);
    hr = dev->Initialise(p);
    if (FAILED(hr)) {
        dev->Release();
        return hr;
    }
    *params = p;
    *device = dev;
    return D3D_OK;
}
