// The C runtime's generator: the sequences the games' random draws were written against.
#include "platform/win32/crt_rand.h"

#include <gtest/gtest.h>

#include <set>

TEST(CrtRand, DefaultSeedIsOne)
{
    // Without srand the runtime behaves as if seeded with 1.
    PlatformSrand(1);
    const int expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
    for (int value : expected) EXPECT_EQ(PlatformRand(), value);
}

TEST(CrtRand, KnownSeeds)
{
    PlatformSrand(0);
    const int zero[] = {38, 7719, 21238, 2437, 8855, 11797, 8365, 32285};
    for (int value : zero) EXPECT_EQ(PlatformRand(), value);

    // The full 32-bit state wraps; only bits 16..30 are returned.
    PlatformSrand(0xFFFFFFFFu);
    uint32_t state = 0xFFFFFFFFu;
    for (int i = 0; i < 1000; ++i) {
        state = state * 214013u + 2531011u;
        ASSERT_EQ(PlatformRand(), static_cast<int>((state >> 16) & 0x7FFF)) << "draw " << i;
    }
}

TEST(CrtRand, ReseedingRepeatsTheSequence)
{
    PlatformSrand(12345);
    std::vector<int> first;
    for (int i = 0; i < 50; ++i) first.push_back(PlatformRand());
    PlatformSrand(12345);
    for (int i = 0; i < 50; ++i) EXPECT_EQ(PlatformRand(), first[i]);
}

TEST(CrtRand, GameSpellingReachesThePlatformGenerator)
{
    // Game code writes rand()/srand()/RAND_MAX; they must be the 15-bit generator.
    static_assert(RAND_MAX == 32767, "the games scale by a 15-bit RAND_MAX");
    srand(1);
    EXPECT_EQ(rand(), 41);
    EXPECT_EQ(rand(), 18467);
    std::set<int> seen;
    srand(7);
    for (int i = 0; i < 100000; ++i) {
        int v = rand();
        ASSERT_GE(v, 0);
        ASSERT_LE(v, RAND_MAX);
        seen.insert(v);
    }
    // A wide spread: glibc's 31-bit values would fail the bound above; a stuck state this one.
    EXPECT_GT(seen.size(), 30000u);
}
