#pragma once
// The port range a test process opens its sessions in, on 127.0.0.1. Every test that hosts or
// searches takes its range from here: 64 ports of its own (a session range is 32, and a test may
// shift its range by up to 32 to keep two runs of its own apart). Programs a test starts are given
// the range through PLATFORM_DPLAY8_PORT and take none themselves.
//
// A range is claimed for the life of the process, on the whole machine: by binding an abstract
// local socket named after it, which every process that takes a range through here asks for
// first, and which the kernel lets go of when the process ends, however it ends (nothing is left
// behind to clean up). A range some of whose ports are in use already (a game started by hand, a
// service) is passed over as well. The ranges lie between 12000 and 20000, below the ports the
// kernel hands out for outgoing connections and apart from the games' own default range, so that
// nothing but a test's own sessions ever binds there.
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace test_ports_detail {

constexpr int kFirstPort = 12000, kRangeSize = 64, kRanges = (20000 - kFirstPort) / kRangeSize;

// Nothing is bound to any port of the range on loopback, for TCP or UDP. TCP is asked as a host
// asks (SO_REUSEADDR), so that a port an earlier session left in TIME_WAIT does not count as taken.
inline bool RangeUnused(int base)
{
    for (int port = base; port < base + kRangeSize; ++port)
        for (int type : {SOCK_STREAM, SOCK_DGRAM}) {
            const int fd = socket(AF_INET, type | SOCK_CLOEXEC, 0);
            if (fd < 0) return false;
            const int one = 1;
            if (type == SOCK_STREAM) setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            address.sin_port = htons(static_cast<uint16_t>(port));
            const bool unused = bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
            close(fd);
            if (!unused) return false;
        }
    return true;
}

// The claim on the range at `base`, held by the open socket that is returned (-1: another process
// holds it).
inline int ClaimName(int base)
{
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    // sun_path[0] stays 0: a name in the abstract namespace, not a file.
    const int length = std::snprintf(address.sun_path + 1, sizeof address.sun_path - 1, "platform-test-ports-%d", base);
    const socklen_t size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), size) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// The first port of a range claimed for this process, looking from a place of the process id's
// choosing so that processes starting together do not all ask for the same range first.
inline int ClaimRange()
{
    const int start = static_cast<int>(getpid() % kRanges);
    for (int i = 0; i < kRanges; ++i) {
        const int base = kFirstPort + (start + i) % kRanges * kRangeSize;
        const int claim = ClaimName(base);
        if (claim < 0) continue;
        if (RangeUnused(base)) return base;  // the claim stays open until the process ends
        close(claim);
    }
    std::fprintf(stderr, "no free range of %d ports on 127.0.0.1 between %d and %d for this test's sessions\n",
                 kRangeSize, kFirstPort, kFirstPort + kRanges * kRangeSize);
    std::abort();
}

}  // namespace test_ports_detail

inline int OwnPortBase(int shift = 0)
{
    static const int base = test_ports_detail::ClaimRange();
    return base + shift;
}

inline std::string OwnPortText(int shift = 0) { return std::to_string(OwnPortBase(shift)); }
