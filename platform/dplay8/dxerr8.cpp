#include "platform/dplay8/dxerr8.h"

#include "platform/dplay8/dplay8.h"

#include <cstdio>

const char* DXGetErrorString8(HRESULT hr)
{
    switch (hr) {
#define NAME(x) \
    case x: return #x;
    NAME(S_OK)
    NAME(S_FALSE)
    NAME(E_FAIL)
    NAME(E_NOTIMPL)
    NAME(E_NOINTERFACE)
    NAME(E_POINTER)
    NAME(E_ABORT)
    NAME(E_UNEXPECTED)
    NAME(E_OUTOFMEMORY)
    NAME(E_INVALIDARG)
    NAME(E_ACCESSDENIED)
    NAME(E_PENDING)
    NAME(CO_E_NOTINITIALIZED)
    NAME(REGDB_E_CLASSNOTREG)
    NAME(CLASS_E_NOAGGREGATION)
    NAME(DPNSUCCESS_EQUAL)
    NAME(DPNSUCCESS_NOTEQUAL)
    NAME(DPNERR_ABORTED)
    NAME(DPNERR_ADDRESSING)
    NAME(DPNERR_ALREADYCLOSING)
    NAME(DPNERR_ALREADYCONNECTED)
    NAME(DPNERR_ALREADYINITIALIZED)
    NAME(DPNERR_BUFFERTOOSMALL)
    NAME(DPNERR_CANTCREATEPLAYER)
    NAME(DPNERR_CONNECTING)
    NAME(DPNERR_CONNECTIONLOST)
    NAME(DPNERR_DOESNOTEXIST)
    NAME(DPNERR_HOSTREJECTEDCONNECTION)
    NAME(DPNERR_HOSTTERMINATEDSESSION)
    NAME(DPNERR_INVALIDAPPLICATION)
    NAME(DPNERR_INVALIDDEVICEADDRESS)
    NAME(DPNERR_INVALIDFLAGS)
    NAME(DPNERR_INVALIDHANDLE)
    NAME(DPNERR_INVALIDHOSTADDRESS)
    NAME(DPNERR_INVALIDINSTANCE)
    NAME(DPNERR_INVALIDINTERFACE)
    NAME(DPNERR_INVALIDPLAYER)
    NAME(DPNERR_INVALIDSTRING)
    NAME(DPNERR_NOCONNECTION)
    NAME(DPNERR_NOTALLOWED)
    NAME(DPNERR_NOTHOST)
    NAME(DPNERR_NOTREADY)
    NAME(DPNERR_NORESPONSE)
    NAME(DPNERR_SESSIONFULL)
    NAME(DPNERR_TIMEDOUT)
    NAME(DPNERR_UNINITIALIZED)
    NAME(DPNERR_UNSUPPORTED)
    NAME(DPNERR_USERCANCEL)
#undef NAME
    default: return "Unknown";
    }
}

HRESULT DXTrace(const char* file, DWORD line, HRESULT hr, const char* msg, BOOL popMsgBox)
{
    char text[1024];
    snprintf(text, sizeof text, "%s(%u): %s hr=%s (0x%08x)\n", file ? file : "?", (unsigned)line, msg ? msg : "",
             DXGetErrorString8(hr), (unsigned)hr);
    OutputDebugStringA(text);
    if (popMsgBox) {
        char box[1024];
        snprintf(box, sizeof box, "File: %s\nLine: %u\nError Code: %s (0x%08x)\nCalling: %s", file ? file : "?",
                 (unsigned)line, DXGetErrorString8(hr), (unsigned)hr, msg ? msg : "");
        MessageBoxA(nullptr, box, "Unexpected error encountered", MB_OK | MB_ICONERROR);
    }
    return hr;
}
