// Received bytes through the staging area's checks and its receiver on a guest: nothing outside
// the ten slots and the message may be touched, whatever arrives.
#include "fenwolt/Game/Network/NetStage.h"
#include "fenwolt/Game/Network/NetState.h"
#include "fenwolt/tests/net/offline_peer.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

// Just enough of a peer for a guest's receiver: buffers handed back are counted, nothing else
// is reached by received messages.
struct QuietPeer : OfflinePeer {
    int returned = 0;
    HRESULT ReturnBuffer(DPNHANDLE, DWORD) override
    {
        ++returned;
        return S_OK;
    }
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
