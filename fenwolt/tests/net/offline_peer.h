// A peer with no session behind it, for tests that drive the game's receivers and senders in one
// process: it sends into nothing, answers for no player and supports nothing else. Tests override
// what they watch.
#pragma once

#include "platform/dplay8/dplay8.h"

struct OfflinePeer : IDirectPlay8Peer {
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT Initialize(PVOID, PFNDPNMESSAGEHANDLER, DWORD) override { return S_OK; }
    HRESULT EnumServiceProviders(const GUID*, const GUID*, DPN_SERVICE_PROVIDER_INFO*, DWORD*, DWORD*, DWORD) override
    {
        return E_NOTIMPL;
    }
    HRESULT CancelAsyncOperation(DPNHANDLE, DWORD) override { return E_NOTIMPL; }
    HRESULT Connect(const DPN_APPLICATION_DESC*, IDirectPlay8Address*, IDirectPlay8Address*, const DPN_SECURITY_DESC*,
                    const DPN_SECURITY_CREDENTIALS*, const void*, DWORD, void*, void*, DPNHANDLE*, DWORD) override
    {
        return E_NOTIMPL;
    }
    HRESULT SendTo(DPNID, const DPN_BUFFER_DESC*, DWORD, DWORD, void*, DPNHANDLE*, DWORD) override { return S_OK; }
    HRESULT GetSPCaps(const GUID*, DPN_SP_CAPS*, DWORD) override { return E_NOTIMPL; }
    HRESULT Host(const DPN_APPLICATION_DESC*, IDirectPlay8Address**, DWORD, const DPN_SECURITY_DESC*,
                 const DPN_SECURITY_CREDENTIALS*, void*, DWORD) override
    {
        return E_NOTIMPL;
    }
    HRESULT GetApplicationDesc(DPN_APPLICATION_DESC*, DWORD*, DWORD) override { return E_NOTIMPL; }
    HRESULT SetApplicationDesc(const DPN_APPLICATION_DESC*, DWORD) override { return E_NOTIMPL; }
    HRESULT SetPeerInfo(const DPN_PLAYER_INFO*, PVOID, DPNHANDLE*, DWORD) override { return E_NOTIMPL; }
    HRESULT GetPeerInfo(DPNID, DPN_PLAYER_INFO*, DWORD*, DWORD) override { return E_NOTIMPL; }
    HRESULT GetPlayerContext(DPNID, PVOID*, DWORD) override { return DPNERR_INVALIDPLAYER; }
    HRESULT EnumHosts(PDPN_APPLICATION_DESC, IDirectPlay8Address*, IDirectPlay8Address*, PVOID, DWORD, DWORD, DWORD,
                      DWORD, PVOID, DPNHANDLE*, DWORD) override
    {
        return E_NOTIMPL;
    }
    HRESULT ReturnBuffer(DPNHANDLE, DWORD) override { return S_OK; }
    HRESULT Close(DWORD) override { return S_OK; }
    HRESULT RegisterLobby(DPNHANDLE, IDirectPlay8LobbiedApplication*, DWORD) override { return E_NOTIMPL; }
};
