#include "fenwolt/common/AppTimer.h"
#include "fenwolt/common/Utilities.h"
#include "framework_test_support.h"

#include <set>

namespace {
// The clock moves only when the test sleeps, so every reading is exact.
class TimerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        PlatformSetFixedStep(10);
        AppTimerForgetState();
        AppTimer(TIMER_RESET);
        AppTimer(TIMER_START);
    }
    void TearDown() override
    {
        AppTimerForgetState();
        PlatformSetFixedStep(0);
    }
};
}  // namespace

TEST_F(TimerTest, StoppedTimeIsLeftOutOfApplicationTime)
{
    Sleep(500);
    EXPECT_NEAR(AppTimer(TIMER_GETAPPTIME), 0.5, 1e-9);
    EXPECT_EQ(AppTimer(TIMER_STOP), 0.0);
    Sleep(2000);
    EXPECT_NEAR(AppTimer(TIMER_GETAPPTIME), 0.5, 1e-9);
    EXPECT_EQ(AppTimer(TIMER_GETELAPSEDTIME), 0.0);  // a stopped clock has no elapsed time
    AppTimer(TIMER_START);
    Sleep(100);
    EXPECT_NEAR(AppTimer(TIMER_GETAPPTIME), 0.6, 1e-9);
}

TEST_F(TimerTest, ElapsedTimeIsMeasuredFromTheLastReading)
{
    Sleep(40);
    EXPECT_NEAR(AppTimer(TIMER_GETELAPSEDTIME), 0.04, 1e-9);
    EXPECT_EQ(AppTimer(TIMER_GETELAPSEDTIME), 0.0);  // two readings in the same instant
    Sleep(20);
    EXPECT_NEAR(AppTimer(TIMER_GETELAPSEDTIME), 0.02, 1e-9);
}

TEST_F(TimerTest, AdvanceMovesAStoppedClockByATenth)
{
    Sleep(300);
    AppTimer(TIMER_STOP);
    AppTimer(TIMER_ADVANCE);
    AppTimer(TIMER_ADVANCE);
    EXPECT_NEAR(AppTimer(TIMER_GETAPPTIME), 0.5, 1e-9);
    // The absolute time always reads the real clock, stopped or not.
    double absolute = AppTimer(TIMER_GETABSOLUTETIME);
    Sleep(1000);
    EXPECT_NEAR(AppTimer(TIMER_GETABSOLUTETIME) - absolute, 1.0, 1e-9);
    EXPECT_NEAR(AppTimer(TIMER_GETAPPTIME), 0.5, 1e-9);
}

TEST_F(TimerTest, ResetPutsApplicationTimeBackToZero)
{
    Sleep(700);
    AppTimer(TIMER_RESET);
    EXPECT_EQ(AppTimer(TIMER_GETAPPTIME), 0.0);
    Sleep(10);
    EXPECT_NEAR(AppTimer(TIMER_GETAPPTIME), 0.01, 1e-9);
}

TEST_F(TimerTest, UnknownCommandReturnsMinusOneAndChangesNothing)
{
    Sleep(250);
    EXPECT_EQ(AppTimer(7), -1.0);
    EXPECT_EQ(AppTimer(0xFFFFFFFFu), -1.0);
    EXPECT_NEAR(AppTimer(TIMER_GETAPPTIME), 0.25, 1e-9);
    EXPECT_NEAR(AppTimer(TIMER_GETELAPSEDTIME), 0.25, 1e-9);
}

// ---------------------------------------------------------------------------------------------
namespace {
class RandomTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        UseSharedRandom = false;
        NetworkGameActive = false;
        SharedRandomIndex = 0;
    }
    void TearDown() override { SetUp(); }
};
}  // namespace

TEST_F(RandomTest, LocalDrawsCoverTheRangeAndNeverLeaveIt)
{
    PlatformSrand(1);
    std::set<int32_t> seen;
    for (int i = 0; i < 5000; ++i) {
        int32_t r = RandomBelow(10);
        ASSERT_GE(r, 0);
        ASSERT_LT(r, 10);
        EXPECT_EQ(LastRandom, r);
        seen.insert(r);
    }
    // With a 31-bit rand scaled by 32768 nearly every draw would be 0: all ten values must come.
    EXPECT_EQ(seen.size(), 10u);
    EXPECT_EQ(RandomBelow(1), 0);
    EXPECT_EQ(RandomBelow(0), 0);
    EXPECT_EQ(RandomBelow(-5), 0);
    int32_t big = LocalRandomBelow(2000000000);
    EXPECT_GE(big, 0);
}

TEST_F(RandomTest, LocalDrawsFollowTheFifteenBitGenerator)
{
    // seed 1 gives 41, 18467, 6334 from the 15-bit generator: x * 100 / 32768 = 0, 56, 19.
    PlatformSrand(1);
    EXPECT_EQ(LocalRandomBelow(100), 0);
    EXPECT_EQ(LocalRandomBelow(100), 56);
    EXPECT_EQ(LocalRandomBelow(100), 19);
}

TEST_F(RandomTest, SharedDrawsWalkTheTableAndWrap)
{
    for (int i = 0; i < SHARED_RANDOM_COUNT; ++i) SharedRandomTable[i] = i * 600;
    UseSharedRandom = true;
    NetworkGameActive = true;
    EXPECT_EQ(RandomBelow(32768), 0);
    EXPECT_EQ(RandomBelow(32768), 600);
    EXPECT_EQ(SharedRandomIndex, 2);
    EXPECT_EQ(RandomBelow(1), 0);  // no table value consumed
    EXPECT_EQ(RandomBelow(0), 0);
    EXPECT_EQ(SharedRandomIndex, 2);
    for (int i = 2; i < SHARED_RANDOM_COUNT; ++i) RandomBelow(32768);
    EXPECT_EQ(SharedRandomIndex, 0);
    EXPECT_EQ(RandomBelow(32768), 0);
    EXPECT_EQ(SharedRandomBelow(4), 0);  // 600 * 4 / 32768
    // Two computers holding the same table and index draw the same sequence.
    int32_t index = SharedRandomIndex;
    std::vector<int32_t> first, second;
    for (int i = 0; i < 60; ++i) first.push_back(SharedRandomBelow(7));
    SharedRandomIndex = index;
    for (int i = 0; i < 60; ++i) second.push_back(SharedRandomBelow(7));
    EXPECT_EQ(first, second);
}

TEST_F(RandomTest, SharedTableIsUsedOnlyInANetworkGame)
{
    for (int i = 0; i < SHARED_RANDOM_COUNT; ++i) SharedRandomTable[i] = 32767;
    UseSharedRandom = true;
    PlatformSrand(1);
    EXPECT_EQ(RandomBelow(100), 0);  // local: first draw 41
    EXPECT_EQ(SharedRandomIndex, 0);
    NetworkGameActive = true;
    EXPECT_EQ(RandomBelow(100), 99);
}

TEST_F(RandomTest, FillingTheSharedTableRestartsItAndSendsIt)
{
    static int sentCount = 0;
    SetSharedRandomTableSender([](const int32_t*, int count) { sentCount = count; });
    SharedRandomIndex = 17;
    FillSharedRandomTable();
    SetSharedRandomTableSender(nullptr);
    EXPECT_EQ(SharedRandomIndex, 0);
    EXPECT_EQ(sentCount, SHARED_RANDOM_COUNT);
    for (int v : SharedRandomTable) {
        EXPECT_GE(v, 0);
        EXPECT_LE(v, 32767);
    }
}
