// A peer in a process of its own, for the tests that kill or stop the other side:
//   dplay8_probe host <guid>   hosts a session of that application and prints "READY"
//   dplay8_probe join <guid>   finds that application's session, joins it and prints "READY"
// then sends a keep-alive message to everybody every 100 ms until it is killed.
// <guid> is the 32 hex digits of the GUID's 16 bytes in memory order.
#include "dplay8_test_support.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    if (argc != 3 || strlen(argv[2]) != 32) {
        fprintf(stderr, "usage: dplay8_probe host|join <guid>\n");
        return 2;
    }
    GUID application;
    uint8_t* bytes = reinterpret_cast<uint8_t*>(&application);
    for (int i = 0; i < 16; ++i) {
        unsigned v = 0;
        sscanf(argv[2] + 2 * i, "%2x", &v);
        bytes[i] = (uint8_t)v;
    }
    dplay8_test::TestPeer peer;
    peer.SetName(L"Probe");
    HRESULT hr = strcmp(argv[1], "host") == 0 ? peer.Host(application, 0) : peer.Join(application);
    if (hr != S_OK) {
        fprintf(stderr, "dplay8_probe: %s failed 0x%08x\n", argv[1], (unsigned)hr);
        return 1;
    }
    printf("READY\n");
    fflush(stdout);
    for (;;) {
        peer.Send(DPNID_ALL_PLAYERS_GROUP, dplay8_test::Bytes("tick"));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}
