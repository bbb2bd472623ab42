// Received bytes through the staging area's checks and its receiver on a guest: nothing outside
// the ten slots and the message may be touched, whatever arrives.
#include "fenwolt/Game/Network/NetStage.h"
#include "fenwolt/Game/Network/NetState.h"
#include "platform/dplay8/dplay8.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

// Just enough of a peer for a guest's receiver: buffers handed back are counted, nothing else
// is reached by received messages.
struct QuietPeer : IDirectPlay8Peer {
    int returned = 0;
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT Initialize(PVOID, PFNDPNMESSAGEHANDLER, DWORD) override { return E_NOTIMPL; }
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
    HRESULT ReturnBuffer(DPNHANDLE, DWORD) override
    {
        ++returned;
        return S_OK;
    }
    HRESULT Close(DWORD) override { return S_OK; }
    HRESULT RegisterLobby(DPNHANDLE, IDirectPlay8LobbiedApplication*, DWORD) override { return E_NOTIMPL; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QuietPeer peer;
    static NetStage* stage = new NetStage(nullptr, "fuzz");

    // The checks alone: a sound message of the stage is exactly its size with its fields in range.
    StageMessageCheck check;
    bool sound = CheckStageMessage(data, size, check);
    if (sound && check.id != 0) {
        if (size != StageMessageSize(check.id)) __builtin_trap();
        if ((check.id == STAGE_MSGID_SETSLOTID || check.id == STAGE_MSGID_SETREADY ||
             check.id == STAGE_MSGID_CLEARREADY) &&
            !IsValidStageSlot(check.slot))
            __builtin_trap();
    }

    // The receiver of a guest between the wizard and the stage: the bytes stay where they are
    // until the next message or the next session gives them back.
    static std::vector<uint8_t> kept[2];
    static int turn = 0;
    std::vector<uint8_t>& bytes = kept[turn ^= 1];
    bytes.assign(data, data + size);
    stage->Init(&peer);
    DPNMSG_RECEIVE receive{sizeof receive, 0x1001, nullptr, bytes.empty() ? nullptr : bytes.data(),
                           static_cast<DWORD>(bytes.size()), 7};
    stage->MessageHandler(nullptr, DPN_MSGID_RECEIVE, &receive);
    int32_t slot = stage->LocalSlotNumber();
    if (slot != -1 && !IsValidStageSlot(slot)) __builtin_trap();
    return 0;
}
