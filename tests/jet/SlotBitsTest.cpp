// The checker's bits per row slot, where they cross from one word to the next.
#include "jet/check/SlotBits.h"

#include <gtest/gtest.h>

TEST(SlotBits, BitsAtWordBoundariesAreTheirOwnAndGrowingOrResettingLeavesNewBitsClear)
{
    jet::SlotBits bits;
    bits.grow(63);
    for (std::size_t bit : {0u, 62u})
        EXPECT_FALSE(bits.testAndSet(bit));
    bits.grow(130);  // the set bits stay, the new ones are clear
    EXPECT_EQ(bits.size(), 130u);
    for (std::size_t bit : {63u, 64u, 127u, 128u})
        EXPECT_FALSE(bits.testAndSet(bit)) << bit;
    for (std::size_t bit = 0; bit < bits.size(); ++bit) {
        const bool set = bit == 0 || bit == 62 || bit == 63 || bit == 64 || bit == 127 || bit == 128;
        EXPECT_EQ(bits.test(bit), set) << bit;
    }
    EXPECT_TRUE(bits.testAndSet(64));
    bits.reset(70);
    for (std::size_t bit = 0; bit < bits.size(); ++bit)
        EXPECT_FALSE(bits.test(bit)) << bit;
    bits.set(69);
    bits.clear();
    bits.grow(128);  // grown again after clear(): nothing left from before
    EXPECT_FALSE(bits.test(69));
}
