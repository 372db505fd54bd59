#include "jet/Rc4.h"

#include <gtest/gtest.h>

#include <vector>

TEST(Rc4, HeaderKeystreamMatchesKnownBytes)
{
    std::vector<std::uint8_t> zeros(128, 0);
    jet::rc4Apply(jet::ByteSpan(jet::kHeaderRc4Key, 4), zeros);
    const std::uint8_t start[] = {0xB5, 0x6F, 0x03, 0x62, 0x61, 0x08, 0xC2, 0x55, 0xEB, 0xA9};
    for (std::size_t i = 0; i < sizeof start; ++i)
        EXPECT_EQ(zeros[i], start[i]) << "byte " << i;
    EXPECT_EQ(zeros[124], 0xE9);
    EXPECT_EQ(zeros[127], 0xD4);
}

TEST(Rc4, PageEncodingIsItsOwnInverse)
{
    std::vector<std::uint8_t> page(4096);
    for (std::size_t i = 0; i < page.size(); ++i)
        page[i] = static_cast<std::uint8_t>(i * 7);
    const auto original = page;
    jet::rc4ApplyPage(0x12345678, 42, page);
    EXPECT_NE(page, original);
    jet::rc4ApplyPage(0x12345678, 42, page);
    EXPECT_EQ(page, original);
}

TEST(CheckedReader, RefusesToReadPastTheEnd)
{
    const std::uint8_t bytes[] = {1, 2, 3, 4};
    jet::CheckedReader reader(jet::ByteSpan(bytes, 4), "テスト");
    EXPECT_EQ(reader.u32(0), 0x04030201u);
    EXPECT_THROW(reader.u16(3), jet::Error);
    EXPECT_THROW(reader.slice(2, SIZE_MAX), jet::Error);
}
