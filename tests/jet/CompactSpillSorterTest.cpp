// Index entries must come out in index order whether or not the sorter had to
// spill runs to disk.
#include "jet/write/SpillSorter.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

using jet::write::SpillSorter;

namespace {

std::vector<std::pair<std::vector<std::uint8_t>, std::uint32_t>> drainAll(SpillSorter &sorter)
{
    std::vector<std::pair<std::vector<std::uint8_t>, std::uint32_t>> out;
    sorter.drain([&](jet::ByteSpan key, std::uint32_t pointer) {
        out.emplace_back(std::vector<std::uint8_t>(key.begin(), key.end()), pointer);
    });
    return out;
}

TEST(CompactSpillSorterTest, OrdersByKeyBytesPrefixFirstThenPointer)
{
    SpillSorter sorter(std::filesystem::temp_directory_path().string());
    const std::vector<std::uint8_t> ab = {0x41, 0x42}, a = {0x41}, b = {0x42}, high = {0xFF};
    sorter.add(b, 1);
    sorter.add(ab, 2);
    sorter.add(a, 9);
    sorter.add(a, 3);
    sorter.add(high, 0);
    const auto out = drainAll(sorter);
    ASSERT_EQ(out.size(), 5u);
    EXPECT_EQ(out[0].first, a);
    EXPECT_EQ(out[0].second, 3u);
    EXPECT_EQ(out[1].second, 9u);
    EXPECT_EQ(out[2].first, ab);
    EXPECT_EQ(out[3].first, b);
    EXPECT_EQ(out[4].first, high);
    EXPECT_EQ(sorter.count(), 0u);
}

TEST(CompactSpillSorterTest, SpilledRunsMergeToTheSameOrder)
{
    std::mt19937 random(42);
    SpillSorter small(std::filesystem::temp_directory_path().string(), 4096);
    SpillSorter large(std::filesystem::temp_directory_path().string());
    for (int i = 0; i < 20000; ++i) {
        std::vector<std::uint8_t> key(random() % 12);
        for (auto &byte : key)
            byte = static_cast<std::uint8_t>(random() % 4);
        const std::uint32_t pointer = random();
        small.add(key, pointer);
        large.add(key, pointer);
    }
    EXPECT_GT(small.runsSpilled(), 10u);
    EXPECT_EQ(large.runsSpilled(), 0u);
    EXPECT_EQ(drainAll(small), drainAll(large));
}

}  // namespace
