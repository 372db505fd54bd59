#include "jet/write/RowDigest.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

using jet::write::DigestStream;

namespace {

std::vector<std::uint8_t> sampleBytes(std::size_t n)
{
    std::vector<std::uint8_t> bytes(n);
    std::uint32_t x = 12345;
    for (auto &b : bytes) {
        x = x * 1103515245u + 12345u;
        b = static_cast<std::uint8_t>(x >> 16);
    }
    return bytes;
}

std::uint64_t hashInPieces(const std::vector<std::uint8_t> &bytes, std::size_t piece)
{
    DigestStream stream;
    for (std::size_t at = 0; at < bytes.size(); at += piece)
        stream.add(bytes.data() + at, std::min(piece, bytes.size() - at));
    return stream.value();
}

}  // namespace

// Long values reach the digest fragment by fragment on one side and whole on
// the other; both must give the same value.
TEST(DigestStream, ValueDoesNotDependOnHowTheBytesAreCut)
{
    const auto bytes = sampleBytes(1000);
    const std::uint64_t whole = hashInPieces(bytes, bytes.size());
    for (std::size_t piece : {1u, 3u, 7u, 15u, 16u, 17u, 31u, 64u, 999u})
        EXPECT_EQ(hashInPieces(bytes, piece), whole) << "pieces of " << piece;
}

TEST(DigestStream, EveryByteAndTheLengthCount)
{
    auto bytes = sampleBytes(100);
    const std::uint64_t original = hashInPieces(bytes, 100);
    for (std::size_t i : {0u, 7u, 8u, 15u, 16u, 50u, 99u}) {
        auto changed = bytes;
        changed[i] ^= 1;
        EXPECT_NE(hashInPieces(changed, 100), original) << "byte " << i;
    }
    auto longer = bytes;
    longer.push_back(0);
    EXPECT_NE(hashInPieces(longer, 101), original);
    EXPECT_NE(hashInPieces({}, 1), hashInPieces(std::vector<std::uint8_t>(16, 0), 16));
}

// Rows without moved values take a road of their own; it must end where the stream does.
TEST(DigestStream, ARowHashedWholeEqualsTheStreamOfItsSizeAndBytes)
{
    for (std::size_t n = 0; n <= 70; ++n) {
        const auto bytes = sampleBytes(n);
        DigestStream stream;
        stream.addSize(n);
        stream.add(bytes.data(), bytes.size());
        EXPECT_EQ(DigestStream::valueOfSizedBytes(bytes), stream.value()) << n << " bytes";
    }
}
