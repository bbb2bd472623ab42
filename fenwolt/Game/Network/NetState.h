// The state of a two-computer game that the rest of the game reads: whether this is a network
// game (NetworkGameActive, which also routes random draws through the shared table), whether
// this computer hosts (and so plays the home side), and whether the session is up.
#pragma once

#include "fenwolt/common/Utilities.h"

#include <cstdint>

struct NetState {
    uint8_t sessionSetUp = 0;  // the session exists and has not been cleaned up
    int32_t isHost = 0;        // this computer created the session and plays home
    uint8_t displaySwitched = 0;
    volatile int32_t playerCount = 0;  // players in the session, this computer included
};
extern NetState Net;

inline bool IsNetworkGame() { return NetworkGameActive; }
inline bool IsNetworkHost() { return NetworkGameActive && Net.isHost != 0; }
inline bool IsNetworkGuest() { return NetworkGameActive && Net.isHost == 0; }
// In a network game the computer whose side plans now: the host in phase 0, the guest in phase 2.
// Always true on one computer.
bool IsLocalSideToPlan(int32_t turnPhase);

// Closes and releases everything of the session; clears the networked-game flag.
void CleanupDirectPlay();
