// DirectPlay 8 peer sessions over POSIX sockets: the interfaces, calls, structures, constants and
// messages that the game's network code uses, carried out for real.
//
// Transport
//   - One service provider: TCP/IP (CLSID_DP8SP_TCPIP).
//   - Host search (EnumHosts) sends UDP queries; a hosting peer answers only queries that name
//     its application GUID (a null GUID in the query matches every application). Queries go to
//     the host address's host name (default 127.0.0.1) and port (default: every port of the
//     search range, see below). Broadcast to the local network is off unless the environment
//     sets PLATFORM_DPLAY8_LAN=1; without it every socket is bound to 127.0.0.1 and nothing
//     leaves the machine.
//   - A session is TCP: the host listens, each guest holds one connection to the host, and the
//     host relays what guests send to each other (no host migration: when the host goes, the
//     session ends for everybody). Frames are length-prefixed; delivery is reliable and in
//     order whatever the send flags say.
//   - Ports: a host takes the port of its device address, or else the first port of the search
//     range free for both UDP and TCP. The range is PLATFORM_DPLAY8_PORT (default 31400) and the
//     31 ports after it.
//   - Keep-alives: every connection carries traffic at least every 500 ms; a peer silent for
//     5 s is taken as lost.
//   - Hostile traffic: a host keeps at most 64 connections that have not greeted it yet (a newer
//     one pushes the oldest out). Out of descriptors, a connection that has not greeted within
//     20 ms gives its descriptor up to the next one waiting; with none to let go, the listening
//     socket is left alone until a connection closes, or for 100 ms. Datagrams are read at most
//     128 a pass, and a socket that had any is not polled again for 2 ms: what a flood sends
//     beyond that, the kernel drops. Datagrams that are not search queries are dropped by a
//     kernel filter before they reach the host. A host answers one sender at most every 50 ms
//     and at most 4 senders a pass (2,000 answers a second). A search takes answers only from
//     the addresses and ports it asked; at most 128 wait for the callback at once, and more are
//     dropped (the next round asks again).
//
// Callbacks
//   - Every message of a peer object is delivered on that object's one worker thread, one at a
//     time and in order: a player's DPN_MSGID_CREATE_PLAYER before any DPN_MSGID_RECEIVE from
//     him, his DPN_MSGID_DESTROY_PLAYER after the last. A joining guest sees its own player
//     first, then the players already there in the order they joined (the host first), then
//     DPN_MSGID_CONNECT_COMPLETE. A host sees its own player before Host returns.
//   - When a remote player leaves or is lost: DPN_MSGID_DESTROY_PLAYER for him. When the host
//     is lost or closes: DPN_MSGID_DESTROY_PLAYER for every remote player, then
//     DPN_MSGID_TERMINATE_SESSION. Close gives DPN_MSGID_DESTROY_PLAYER for the players left,
//     the local one last, and returns only after every callback has finished; it may not be
//     called from inside a callback (DPNERR_NOTALLOWED).
//   - A DPN_MSGID_RECEIVE callback that returns DPNSUCCESS_PENDING keeps the buffer until
//     ReturnBuffer(hBufferHandle); any other result frees it when the callback returns. Buffers
//     never returned are freed when the object is destroyed.
//   - Sends copy the data at once and always complete at once (S_OK): no DPN_MSGID_SEND_COMPLETE
//     is ever indicated.
//
// Calls that the games do not make, and flags whose behaviour is not provided, fail with an
// error code and a trace (PlatformTrace) instead of pretending to succeed.
#pragma once

#include "platform/win32/win32.h"

#include <cstdint>

#ifndef PLATFORM_WCHAR_DEFINED
#define PLATFORM_WCHAR_DEFINED
typedef wchar_t WCHAR;
typedef WCHAR* PWSTR;
typedef const WCHAR* PCWSTR;
#endif
typedef void* PVOID;
typedef BYTE* PBYTE;

typedef DWORD DPNID;
typedef DWORD DPNHANDLE;

// ---------------------------------------------------------------------------------------------
// Results
#ifndef E_PENDING
#define E_PENDING ((HRESULT)0x8000000AL)
#endif
#ifndef CO_E_NOTINITIALIZED
#define CO_E_NOTINITIALIZED ((HRESULT)0x800401F0L)
#endif

#define MAKE_DPNHRESULT(code) MAKE_HRESULT(1, 0x015, code)

#define DPN_OK S_OK
#define DPNSUCCESS_PENDING E_PENDING
#define DPNSUCCESS_EQUAL ((HRESULT)0x00158005L)
#define DPNSUCCESS_NOTEQUAL ((HRESULT)0x0015800AL)

#define DPNERR_GENERIC E_FAIL
#define DPNERR_INVALIDPARAM E_INVALIDARG
#define DPNERR_INVALIDPOINTER E_POINTER
#define DPNERR_OUTOFMEMORY E_OUTOFMEMORY
#define DPNERR_PENDING DPNSUCCESS_PENDING
#define DPNERR_ABORTED MAKE_DPNHRESULT(0x030)
#define DPNERR_ADDRESSING MAKE_DPNHRESULT(0x040)
#define DPNERR_ALREADYCLOSING MAKE_DPNHRESULT(0x050)
#define DPNERR_ALREADYCONNECTED MAKE_DPNHRESULT(0x060)
#define DPNERR_ALREADYINITIALIZED MAKE_DPNHRESULT(0x080)
#define DPNERR_BUFFERTOOSMALL MAKE_DPNHRESULT(0x100)
#define DPNERR_CANTCREATEPLAYER MAKE_DPNHRESULT(0x130)
#define DPNERR_CONNECTING MAKE_DPNHRESULT(0x140)
#define DPNERR_CONNECTIONLOST MAKE_DPNHRESULT(0x150)
#define DPNERR_DOESNOTEXIST MAKE_DPNHRESULT(0x170)
#define DPNERR_HOSTREJECTEDCONNECTION MAKE_DPNHRESULT(0x1A0)
#define DPNERR_HOSTTERMINATEDSESSION MAKE_DPNHRESULT(0x1B0)
#define DPNERR_INVALIDAPPLICATION MAKE_DPNHRESULT(0x1D0)
#define DPNERR_INVALIDDEVICEADDRESS MAKE_DPNHRESULT(0x210)
#define DPNERR_INVALIDFLAGS MAKE_DPNHRESULT(0x220)
#define DPNERR_INVALIDHANDLE MAKE_DPNHRESULT(0x240)
#define DPNERR_INVALIDHOSTADDRESS MAKE_DPNHRESULT(0x250)
#define DPNERR_INVALIDINSTANCE MAKE_DPNHRESULT(0x260)
#define DPNERR_INVALIDINTERFACE MAKE_DPNHRESULT(0x270)
#define DPNERR_INVALIDPLAYER MAKE_DPNHRESULT(0x2B0)
#define DPNERR_INVALIDSTRING MAKE_DPNHRESULT(0x2E0)
#define DPNERR_NOCONNECTION MAKE_DPNHRESULT(0x300)
#define DPNERR_NOTALLOWED MAKE_DPNHRESULT(0x340)
#define DPNERR_NOTHOST MAKE_DPNHRESULT(0x360)
#define DPNERR_NOTREADY MAKE_DPNHRESULT(0x370)
#define DPNERR_NORESPONSE MAKE_DPNHRESULT(0x3A0)
#define DPNERR_SESSIONFULL MAKE_DPNHRESULT(0x460)
#define DPNERR_TIMEDOUT MAKE_DPNHRESULT(0x4A0)
#define DPNERR_UNINITIALIZED MAKE_DPNHRESULT(0x4B0)
#define DPNERR_UNSUPPORTED MAKE_DPNHRESULT(0x4C0)
#define DPNERR_USERCANCEL MAKE_DPNHRESULT(0x4D0)

// ---------------------------------------------------------------------------------------------
// Messages delivered to the PFNDPNMESSAGEHANDLER (dwMessageType) and their structures
#define DPN_MSGID_OFFSET 0xFFFF0000
#define DPN_MSGID_ASYNC_OP_COMPLETE (DPN_MSGID_OFFSET | 0x0001)
#define DPN_MSGID_CONNECT_COMPLETE (DPN_MSGID_OFFSET | 0x0005)
#define DPN_MSGID_CREATE_PLAYER (DPN_MSGID_OFFSET | 0x0007)
#define DPN_MSGID_DESTROY_PLAYER (DPN_MSGID_OFFSET | 0x0009)
#define DPN_MSGID_ENUM_HOSTS_RESPONSE (DPN_MSGID_OFFSET | 0x000C)
#define DPN_MSGID_RECEIVE (DPN_MSGID_OFFSET | 0x0011)
#define DPN_MSGID_SEND_COMPLETE (DPN_MSGID_OFFSET | 0x0014)
#define DPN_MSGID_TERMINATE_SESSION (DPN_MSGID_OFFSET | 0x0016)

typedef HRESULT (*PFNDPNMESSAGEHANDLER)(PVOID pvUserContext, DWORD dwMessageType, PVOID pMessage);

struct IDirectPlay8Address;
struct IDirectPlay8LobbiedApplication;

struct DPN_APPLICATION_DESC {
    DWORD dwSize;  // sizeof(DPN_APPLICATION_DESC)
    DWORD dwFlags;  // DPNSESSION_*
    GUID guidInstance;  // the session; made by Host
    GUID guidApplication;
    DWORD dwMaxPlayers;  // 0: no limit
    DWORD dwCurrentPlayers;
    WCHAR* pwszSessionName;
    WCHAR* pwszPassword;  // must be null (no passwords here)
    PVOID pvReservedData;
    DWORD dwReservedDataSize;
    PVOID pvApplicationReservedData;  // must be null
    DWORD dwApplicationReservedDataSize;
};
typedef DPN_APPLICATION_DESC* PDPN_APPLICATION_DESC;

struct DPN_PLAYER_INFO {
    DWORD dwSize;  // sizeof(DPN_PLAYER_INFO)
    DWORD dwInfoFlags;  // DPNINFO_NAME (DPNINFO_DATA is not provided)
    PWSTR pwszName;
    PVOID pvData;
    DWORD dwDataSize;
    DWORD dwPlayerFlags;  // DPNPLAYER_LOCAL, DPNPLAYER_HOST (GetPeerInfo fills it)
};
typedef DPN_PLAYER_INFO* PDPN_PLAYER_INFO;

struct DPN_SERVICE_PROVIDER_INFO {
    DWORD dwFlags;
    GUID guid;
    WCHAR* pwszName;
    PVOID pvReserved;
    DWORD dwReserved;
};

struct DPN_SP_CAPS {
    DWORD dwSize;  // sizeof(DPN_SP_CAPS)
    DWORD dwFlags;
    DWORD dwNumThreads;
    DWORD dwDefaultEnumCount;
    DWORD dwDefaultEnumRetryInterval;  // ms
    DWORD dwDefaultEnumTimeout;        // ms
    DWORD dwMaxEnumPayloadSize;
    DWORD dwBuffersPerThread;
    DWORD dwSystemBufferSize;
};

struct DPN_BUFFER_DESC {
    DWORD dwBufferSize;
    BYTE* pBufferData;
};

// Security is not provided: every call that takes these wants null.
struct DPN_SECURITY_DESC;
struct DPN_SECURITY_CREDENTIALS;

struct DPNMSG_ASYNC_OP_COMPLETE {
    DWORD dwSize;
    DPNHANDLE hAsyncOp;
    PVOID pvUserContext;
    HRESULT hResultCode;  // S_OK when an enumeration ran its course, DPNERR_USERCANCEL when cancelled
};

struct DPNMSG_CONNECT_COMPLETE {
    DWORD dwSize;
    DPNHANDLE hAsyncOp;
    PVOID pvUserContext;
    HRESULT hResultCode;  // S_OK, DPNERR_SESSIONFULL, DPNERR_NORESPONSE, DPNERR_USERCANCEL, ...
    PVOID pvApplicationReplyData;
    DWORD dwApplicationReplyDataSize;
};

struct DPNMSG_CREATE_PLAYER {
    DWORD dwSize;
    DPNID dpnidPlayer;
    PVOID pvPlayerContext;  // in: the Connect/Host context for the local player; out: the handler's
};

#define DPNDESTROYPLAYERREASON_NORMAL 0x0001
#define DPNDESTROYPLAYERREASON_CONNECTIONLOST 0x0002
#define DPNDESTROYPLAYERREASON_SESSIONTERMINATED 0x0003
#define DPNDESTROYPLAYERREASON_HOSTDESTROYEDPLAYER 0x0004

struct DPNMSG_DESTROY_PLAYER {
    DWORD dwSize;
    DPNID dpnidPlayer;
    PVOID pvPlayerContext;
    DWORD dwReason;  // DPNDESTROYPLAYERREASON_*
};

struct DPNMSG_ENUM_HOSTS_RESPONSE {
    DWORD dwSize;
    IDirectPlay8Address* pAddressSender;  // the host: host name and port; valid during the callback
    IDirectPlay8Address* pAddressDevice;  // the local device the answer came through
    const DPN_APPLICATION_DESC* pApplicationDescription;
    PVOID pvResponseData;
    DWORD dwResponseDataSize;
    PVOID pvUserContext;
    DWORD dwRoundTripLatencyMS;
};

struct DPNMSG_RECEIVE {
    DWORD dwSize;
    DPNID dpnidSender;
    PVOID pvPlayerContext;
    PBYTE pReceiveData;
    DWORD dwReceiveDataSize;
    DPNHANDLE hBufferHandle;  // for ReturnBuffer after the handler returned DPNSUCCESS_PENDING
};

struct DPNMSG_SEND_COMPLETE {
    DWORD dwSize;
    DPNHANDLE hAsyncOp;
    PVOID pvUserContext;
    HRESULT hResultCode;
    DWORD dwSendTime;
};

struct DPNMSG_TERMINATE_SESSION {
    DWORD dwSize;
    HRESULT hResultCode;  // DPNERR_CONNECTIONLOST or DPNERR_HOSTTERMINATEDSESSION
    PVOID pvTerminateData;
    DWORD dwTerminateDataSize;
};

// ---------------------------------------------------------------------------------------------
// Constants
#define DPNID_ALL_PLAYERS_GROUP 0

#define DPNPLAYER_LOCAL 0x0002
#define DPNPLAYER_HOST 0x0004

#define DPNINFO_NAME 0x0001
#define DPNINFO_DATA 0x0002

#define DPNSESSION_CLIENT_SERVER 0x0001
#define DPNSESSION_MIGRATE_HOST 0x0004  // accepted; the host never migrates here
#define DPNSESSION_NODPNSVR 0x0040
#define DPNSESSION_REQUIREPASSWORD 0x0080  // not provided

#define DPNSEND_SYNC 0x80000000
#define DPNSEND_NOCOPY 0x0001
#define DPNSEND_NOCOMPLETE 0x0002
#define DPNSEND_COMPLETEONPROCESS 0x0004
#define DPNSEND_GUARANTEED 0x0008
#define DPNSEND_NONSEQUENTIAL 0x0010
#define DPNSEND_NOLOOPBACK 0x0020
#define DPNSEND_PRIORITY_LOW 0x0040
#define DPNSEND_PRIORITY_HIGH 0x0080

#define DPNENUMHOSTS_SYNC 0x80000000
#define DPNENUMHOSTS_OKTOQUERYFORADDRESSING 0x0001
#define DPNENUMHOSTS_NOBROADCASTFALLBACK 0x0002

#define DPNCONNECT_SYNC 0x80000000
#define DPNCONNECT_OKTOQUERYFORADDRESSING 0x0001

#define DPNHOST_OKTOQUERYFORADDRESSING 0x0001

#define DPNSETPEERINFO_SYNC 0x80000000

#define DPNCANCEL_CONNECT 0x0001
#define DPNCANCEL_ENUM 0x0002
#define DPNCANCEL_SEND 0x0004
#define DPNCANCEL_ALL_OPERATIONS 0x8000

#define DPNCLOSE_IMMEDIATE 0x0001

#define DPNLOBBY_REGISTER 0x0001
#define DPNLOBBY_UNREGISTER 0x0002

// The service provider and the classes (CoCreateInstance finds the classes; CLSCTX_INPROC_SERVER).
extern const GUID CLSID_DP8SP_TCPIP;
extern const GUID CLSID_DirectPlay8Peer;
extern const GUID IID_IDirectPlay8Peer;
extern const GUID CLSID_DirectPlay8Address;
extern const GUID IID_IDirectPlay8Address;
extern const GUID CLSID_DirectPlay8LobbiedApplication;
extern const GUID IID_IDirectPlay8LobbiedApplication;
// The name EnumServiceProviders gives the one provider.
#define DPLAY8_TCPIP_PROVIDER_NAME L"DirectPlay8 TCP/IP Service Provider"

// ---------------------------------------------------------------------------------------------
// Addresses: a service provider plus named components. Host names are IPv4 dotted quads or
// names the resolver knows ("localhost"); ports are DWORDs.
#define DPNA_KEY_HOSTNAME L"hostname"
#define DPNA_KEY_PORT L"port"
#define DPNA_DATATYPE_STRING 0x0001       // WCHAR text with its terminator
#define DPNA_DATATYPE_DWORD 0x0002
#define DPNA_DATATYPE_GUID 0x0003
#define DPNA_DATATYPE_BINARY 0x0004
#define DPNA_DATATYPE_STRING_ANSI 0x0005  // char text with its terminator

struct IDirectPlay8Address : public IUnknown {
    virtual HRESULT Duplicate(IDirectPlay8Address** ppdpaNewAddress) = 0;
    virtual HRESULT Clear() = 0;
    virtual HRESULT SetSP(const GUID* pguidSP) = 0;
    virtual HRESULT GetSP(GUID* pguidSP) = 0;
    // Keeps any component; "hostname" must be text and "port" a DWORD.
    virtual HRESULT AddComponent(const WCHAR* pwszName, const void* lpvData, DWORD dwDataSize,
                                 DWORD dwDataType) = 0;
    // DPNERR_DOESNOTEXIST when absent; DPNERR_BUFFERTOOSMALL (size in *pdwBufferSize) when short.
    virtual HRESULT GetComponentByName(const WCHAR* pwszName, void* pvBuffer, DWORD* pdwBufferSize,
                                       DWORD* pdwDataType) = 0;
};
typedef IDirectPlay8Address* PDIRECTPLAY8ADDRESS;

// ---------------------------------------------------------------------------------------------
// The peer
struct IDirectPlay8Peer : public IUnknown {
    // Starts the worker threads; messages go to pfn with pvUserContext. Again after Close to reuse.
    virtual HRESULT Initialize(PVOID pvUserContext, PFNDPNMESSAGEHANDLER pfn, DWORD dwFlags) = 0;
    // Size first: null buffer or short *pcbEnumData gives DPNERR_BUFFERTOOSMALL and the size.
    virtual HRESULT EnumServiceProviders(const GUID* pguidServiceProvider, const GUID* pguidApplication,
                                         DPN_SERVICE_PROVIDER_INFO* pSPInfoBuffer, DWORD* pcbEnumData,
                                         DWORD* pcReturned, DWORD dwFlags) = 0;
    // Cancels the enumeration or connection with that handle; handle 0 with DPNCANCEL_ENUM,
    // DPNCANCEL_CONNECT or DPNCANCEL_ALL_OPERATIONS cancels all of those.
    virtual HRESULT CancelAsyncOperation(DPNHANDLE hAsyncHandle, DWORD dwFlags) = 0;
    // Asynchronous: DPNSUCCESS_PENDING and *phAsyncHandle; DPN_MSGID_CONNECT_COMPLETE follows.
    virtual HRESULT Connect(const DPN_APPLICATION_DESC* pdnAppDesc, IDirectPlay8Address* pHostAddr,
                            IDirectPlay8Address* pDeviceInfo, const DPN_SECURITY_DESC* pdnSecurity,
                            const DPN_SECURITY_CREDENTIALS* pdnCredentials, const void* pvUserConnectData,
                            DWORD dwUserConnectDataSize, void* pvPlayerContext, void* pvAsyncContext,
                            DPNHANDLE* phAsyncHandle, DWORD dwFlags) = 0;
    // To one player, or to DPNID_ALL_PLAYERS_GROUP (the sender included unless DPNSEND_NOLOOPBACK).
    virtual HRESULT SendTo(DPNID dpnid, const DPN_BUFFER_DESC* prgBufferDesc, DWORD cBufferDesc, DWORD dwTimeOut,
                           void* pvAsyncContext, DPNHANDLE* phAsyncHandle, DWORD dwFlags) = 0;
    virtual HRESULT GetSPCaps(const GUID* pguidSP, DPN_SP_CAPS* pdpspCaps, DWORD dwFlags) = 0;
    virtual HRESULT Host(const DPN_APPLICATION_DESC* pdnAppDesc, IDirectPlay8Address** prgpDeviceInfo,
                         DWORD cDeviceInfo, const DPN_SECURITY_DESC* pdnSecurity,
                         const DPN_SECURITY_CREDENTIALS* pdnCredentials, void* pvPlayerContext, DWORD dwFlags) = 0;
    // Size first, as EnumServiceProviders; the session name follows the structure in the buffer.
    virtual HRESULT GetApplicationDesc(DPN_APPLICATION_DESC* pAppDescBuffer, DWORD* pcbDataSize, DWORD dwFlags) = 0;
    // Host only (DPNERR_NOTHOST): the maximum players and the session name.
    virtual HRESULT SetApplicationDesc(const DPN_APPLICATION_DESC* pad, DWORD dwFlags) = 0;
    // The local player's name, before Host/Connect or during a session (then told to the others).
    virtual HRESULT SetPeerInfo(const DPN_PLAYER_INFO* pdpnPlayerInfo, PVOID pvAsyncContext,
                                DPNHANDLE* phAsyncHandle, DWORD dwFlags) = 0;
    // Size first, as EnumServiceProviders; the name follows the structure in the buffer.
    virtual HRESULT GetPeerInfo(DPNID dpnid, DPN_PLAYER_INFO* pdpnPlayerInfo, DWORD* pdwSize, DWORD dwFlags) = 0;
    // DPNERR_NOTREADY before the player's DPN_MSGID_CREATE_PLAYER has been handled,
    // DPNERR_INVALIDPLAYER after his DPN_MSGID_DESTROY_PLAYER.
    virtual HRESULT GetPlayerContext(DPNID dpnid, PVOID* ppvPlayerContext, DWORD dwFlags) = 0;
    // Asynchronous: DPNSUCCESS_PENDING and *pAsyncHandle; DPN_MSGID_ENUM_HOSTS_RESPONSE for every
    // answer, DPN_MSGID_ASYNC_OP_COMPLETE at the end (dwEnumCount INFINITE: until cancelled).
    virtual HRESULT EnumHosts(PDPN_APPLICATION_DESC pApplicationDesc, IDirectPlay8Address* pAddrHost,
                              IDirectPlay8Address* pDeviceInfo, PVOID pUserEnumData, DWORD dwUserEnumDataSize,
                              DWORD dwEnumCount, DWORD dwRetryInterval, DWORD dwTimeOut, PVOID pvUserContext,
                              DPNHANDLE* pAsyncHandle, DWORD dwFlags) = 0;
    virtual HRESULT ReturnBuffer(DPNHANDLE hBufferHandle, DWORD dwFlags) = 0;
    virtual HRESULT Close(DWORD dwFlags) = 0;
    // No lobby ever hands over a connection here: every handle is DPNERR_INVALIDHANDLE.
    virtual HRESULT RegisterLobby(DPNHANDLE dpnHandle, IDirectPlay8LobbiedApplication* pIDP8LobbiedApplication,
                                  DWORD dwFlags) = 0;
};
typedef IDirectPlay8Peer* PDIRECTPLAY8PEER;

// ---------------------------------------------------------------------------------------------
// The lobbied application. No lobby program exists here: Initialize hands over no connection
// (handle 0), SetAppAvailable succeeds and then nothing ever arrives.
#define DPL_MSGID_CONNECT 0x8002
#define DPLCONNECTSETTINGS_HOST 0x0001

struct DPL_CONNECTION_SETTINGS {
    DWORD dwSize;
    DWORD dwFlags;  // DPLCONNECTSETTINGS_HOST
    DPN_APPLICATION_DESC dpnAppDesc;
    IDirectPlay8Address* pdp8HostAddress;
    IDirectPlay8Address** ppdp8DeviceAddresses;
    DWORD cNumDeviceAddresses;
    PWSTR pwszPlayerName;
};

struct DPL_MESSAGE_CONNECT {
    DWORD dwSize;
    DPNHANDLE hConnectId;
    DPL_CONNECTION_SETTINGS* pdplConnectionSettings;
    PVOID pvLobbyConnectData;
    DWORD dwLobbyConnectDataSize;
    PVOID pvConnectionContext;
};

struct IDirectPlay8LobbiedApplication : public IUnknown {
    virtual HRESULT Initialize(PVOID pvUserContext, PFNDPNMESSAGEHANDLER pfn, DPNHANDLE* pdpnhConnection,
                               DWORD dwFlags) = 0;
    virtual HRESULT SetAppAvailable(BOOL fAvailable, DWORD dwFlags) = 0;
    // There is never a connection: DPNERR_INVALIDHANDLE.
    virtual HRESULT GetConnectionSettings(DPNHANDLE hLobbyClient, DPL_CONNECTION_SETTINGS* pdplSessionInfo,
                                          DWORD* pdwInfoSize, DWORD dwFlags) = 0;
    virtual HRESULT Close(DWORD dwFlags) = 0;
};
typedef IDirectPlay8LobbiedApplication* PDIRECTPLAY8LOBBIEDAPPLICATION;
