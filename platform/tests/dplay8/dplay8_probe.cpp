// A peer in a process of its own, for the tests that kill or stop the other side:
//   dplay8_probe host <guid>   hosts a session of that application and prints "READY"
//   dplay8_probe join <guid>   finds that application's session, joins it and prints "READY"
// (with "on-cue" after the GUID, only once a line has come in on its standard input),
// then sends a keep-alive message to everybody every 100 ms until it is killed.
// <guid> is the 32 hex digits of the GUID's 16 bytes in memory order.
//   dplay8_probe churn <port>  opens silent connections to 127.0.0.1:<port>, two every 2 ms,
//                              each held until the host hangs up or a thousand newer ones are
//                              open, and prints "READY" once the host has hung up on fifty
#include "dplay8_test_support.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <deque>

namespace {

int Churn(uint16_t port)
{
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    to.sin_port = htons(port);
    std::deque<int> open;
    int hungUp = 0;
    for (;;) {
        for (int i = 0; i < 2; ++i) {
            const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            if (fd < 0) break;
            connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to);
            open.push_back(fd);
        }
        while (open.size() > 1000) {
            close(open.front());
            open.pop_front();
        }
        std::vector<pollfd> wait;
        for (int c : open) wait.push_back({c, POLLIN, 0});
        poll(wait.data(), wait.size(), 2);
        for (const pollfd& p : wait) {
            char b[16];
            if ((p.revents & (POLLIN | POLLHUP | POLLERR)) && recv(p.fd, b, sizeof b, MSG_DONTWAIT) <= 0) {
                if (++hungUp == 50) {
                    printf("READY\n");
                    fflush(stdout);
                }
                close(p.fd);
                open.erase(std::find(open.begin(), open.end(), p.fd));
            }
        }
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && strcmp(argv[1], "churn") == 0) return Churn((uint16_t)atoi(argv[2]));
    const bool onCue = argc == 4 && strcmp(argv[3], "on-cue") == 0;
    if ((argc != 3 && !onCue) || strlen(argv[2]) != 32) {
        fprintf(stderr, "usage: dplay8_probe host|join <guid> [on-cue]\n");
        return 2;
    }
    GUID application;
    uint8_t* bytes = reinterpret_cast<uint8_t*>(&application);
    for (int i = 0; i < 16; ++i) {
        unsigned v = 0;
        sscanf(argv[2] + 2 * i, "%2x", &v);
        bytes[i] = (uint8_t)v;
    }
    char cue[8];
    if (onCue && !fgets(cue, sizeof cue, stdin)) return 1;
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
