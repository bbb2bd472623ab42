// Port ranges of the tests' own: no two live processes hold the same range, a range with a port
// in use is not offered, and a range comes free when its process ends, even by a kill.
#include "test_ports.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>

using namespace test_ports_detail;

namespace {

// A child process that claims a range, writes it to `report` and waits to be killed.
pid_t ClaimInAChild(int report[2])
{
    const pid_t child = fork();
    if (child == 0) {
        close(report[0]);
        const int base = ClaimRange();
        if (write(report[1], &base, sizeof base) != sizeof base) _exit(1);
        pause();
        _exit(0);
    }
    close(report[1]);
    return child;
}

}  // namespace

TEST(TestPorts, ARangeIsHeldByOneLiveProcessAndComesFreeWhenItIsKilled)
{
    const int mine = OwnPortBase();
    ASSERT_GE(mine, kFirstPort);
    EXPECT_EQ(OwnPortBase(16), mine + 16) << "one range for the process's life";
    EXPECT_LT(ClaimName(mine), 0) << "claimed once";

    int report[2];
    ASSERT_EQ(pipe(report), 0);
    const pid_t child = ClaimInAChild(report);
    ASSERT_GT(child, 0);
    int theirs = -1;
    ASSERT_EQ(read(report[0], &theirs, sizeof theirs), static_cast<ssize_t>(sizeof theirs));
    close(report[0]);
    EXPECT_NE(theirs, mine);
    EXPECT_LT(ClaimName(theirs), 0) << "held by the child";

    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    const int claim = ClaimName(theirs);
    EXPECT_GE(claim, 0) << "let go with the child";
    if (claim >= 0) close(claim);
}

TEST(TestPorts, ARangeWithAPortInUseIsNotOffered)
{
    const int base = OwnPortBase();
    EXPECT_TRUE(RangeUnused(base));
    const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(base + kRangeSize - 1));
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 1), 0);
    EXPECT_FALSE(RangeUnused(base));
    close(listener);
    EXPECT_TRUE(RangeUnused(base));
}
