// GoogleTest fixture over the network bench.
#pragma once

#include "net_a_support.h"

#include <gtest/gtest.h>

namespace net_a {

class NetGlobalsTest : public ::testing::Test {
protected:
    void SetUp() override { ResetNetGlobals(); }
    void TearDown() override { ReleaseNetGlobals(); }

    std::vector<uint32_t>& notifications = Notifications();
    std::function<void(uint32_t)>& onNotify = OnNotify();
};

}  // namespace net_a
