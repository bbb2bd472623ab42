// The Direct3D 7 device that the 2D game creates on its back buffer and configures, but never
// draws through: it keeps the states it is given and answers the queries, nothing more.
#pragma once

#include "platform/ddraw/ddraw.h"

#define D3DRENDERSTATE_ANTIALIAS 2
#define D3DRENDERSTATE_ZENABLE 7
#define D3DRENDERSTATE_SHADEMODE 9
#define D3DRENDERSTATE_DITHERENABLE 26
#define D3DRENDERSTATE_ALPHABLENDENABLE 27
#define D3DRENDERSTATE_SPECULARENABLE 29
#define D3DRENDERSTATE_EDGEANTIALIAS 40
#define D3DRENDERSTATE_ALPHATESTENABLE 15
#define D3DRENDERSTATE_LIGHTING 137
#define D3DRENDERSTATE_AMBIENT 139
#define D3DSHADE_GOURAUD 2

#define D3DTSS_ADDRESSU 13
#define D3DTSS_ADDRESSV 14
#define D3DTSS_MAGFILTER 16
#define D3DTSS_MINFILTER 17
#define D3DTFG_LINEAR 2
#define D3DTFN_LINEAR 2
#define D3DTADDRESS_MIRROR 2

#define D3DENUMRET_CANCEL 0
#define D3DENUMRET_OK 1

struct D3DDEVICEDESC7 {
    DWORD dwDevCaps;
    DWORD dwMinTextureWidth, dwMinTextureHeight;
    DWORD dwMaxTextureWidth, dwMaxTextureHeight;
    DWORD wMaxTextureBlendStages;
    DWORD wMaxSimultaneousTextures;
};

typedef HRESULT(CALLBACK* LPD3DENUMPIXELFORMATSCALLBACK)(LPDDPIXELFORMAT format, LPVOID context);

struct IDirect3DDevice7 : IUnknown {
    virtual HRESULT GetCaps(D3DDEVICEDESC7* desc) = 0;
    virtual HRESULT SetRenderState(DWORD state, DWORD value) = 0;
    virtual HRESULT GetRenderState(DWORD state, LPDWORD value) = 0;
    virtual HRESULT SetTextureStageState(DWORD stage, DWORD type, DWORD value) = 0;
    virtual HRESULT GetTextureStageState(DWORD stage, DWORD type, LPDWORD value) = 0;
    virtual HRESULT EnumTextureFormats(LPD3DENUMPIXELFORMATSCALLBACK callback, LPVOID context) = 0;
};
typedef IDirect3DDevice7* LPDIRECT3DDEVICE7;

struct IDirect3D7 : IUnknown {
    // The surface must have been created with DDSCAPS_3DDEVICE.
    virtual HRESULT CreateDevice(REFCLSID type, LPDIRECTDRAWSURFACE7 surface, LPDIRECT3DDEVICE7* out) = 0;
};
typedef IDirect3D7* LPDIRECT3D7;
