// The network tests' bench: the game's globals with the application object but no window or
// device, notifications recorded as the current screen would get them, and received bytes fed
// through DirectPlay's message handler as DirectPlay would.
#pragma once

#include "fenwolt/Game/GameApp.h"
#include "fenwolt/Game/Instances.h"
#include "fenwolt/Game/Match/MatchRecords.h"
#include "fenwolt/Game/Network/GameMessages.h"
#include "fenwolt/Game/Network/NetState.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <vector>

namespace net_a {

class NetGlobalsTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

public:
    // Every notification that reached the screen, in order.
    static std::vector<uint32_t> notifications;
    // Called at each notification, while the globals are as the screen then sees them.
    static std::function<void(uint32_t)> onNotify;
};

// Hands bytes to DirectPlayMessageHandler as a DPN_MSGID_RECEIVE from player `from`.
HRESULT Receive(const std::vector<uint8_t>& bytes, DPNID from = 0x1234);
// A hash of everything a game message may write.
uint64_t GlobalsHash();

}  // namespace net_a
