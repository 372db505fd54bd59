#include "jet/write/RowDigest.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace jet::write {

std::uint64_t spreadDigest(std::uint64_t x)
{
    x ^= x >> 30;
    x *= 0xbf58476d1ce4e5b9ull;
    x ^= x >> 27;
    x *= 0x94d049bb133111ebull;
    return x ^ (x >> 31);
}

// Little-endian whatever the host; one load rather than the eight byte loads
// and shifts the compiler left a byte-by-byte loop as.
inline std::uint64_t DigestStream::load64(const std::uint8_t *p)
{
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    if constexpr (std::endian::native == std::endian::big)
        v = __builtin_bswap64(v);
    return v;
}

inline void DigestStream::mixBlock(std::uint64_t &a, std::uint64_t &b, const std::uint8_t *p)
{
    a = std::rotl(a ^ (load64(p) * 0x87c37b91114253d5ull), 31) * 0x4cf5ad432745937full;
    b = std::rotl(b ^ (load64(p + 8) * 0x4cf5ad432745937full), 33) * 0x87c37b91114253d5ull;
}

void DigestStream::add(const std::uint8_t *p, std::size_t n)
{
    if (n == 0)
        return;
    total_ += n;
    if (pending_ > 0) {
        const std::size_t take = std::min(n, kBlock - pending_);
        std::memcpy(buffer_ + pending_, p, take);
        pending_ += take;
        p += take;
        n -= take;
        if (pending_ < kBlock)
            return;
        mixBlock(a_, b_, buffer_);
        pending_ = 0;
    }
    for (; n >= kBlock; p += kBlock, n -= kBlock)
        mixBlock(a_, b_, p);
    if (n > 0)
        std::memcpy(buffer_, p, n);
    pending_ = n;
}

void DigestStream::addSize(std::uint64_t n)
{
    std::uint8_t bytes[8];
    for (int i = 0; i < 8; ++i)
        bytes[i] = static_cast<std::uint8_t>(n >> (8 * i));
    add(bytes, 8);
}

std::uint64_t DigestStream::value() const
{
    std::uint8_t last[kBlock] = {};
    std::memcpy(last, buffer_, pending_);
    std::uint64_t a = a_, b = b_;
    mixBlock(a, b, last);
    return a ^ std::rotl(b, 29) ^ (total_ * 0x9e3779b97f4a7c15ull);
}

std::uint64_t DigestStream::valueOfSizedBytes(ByteSpan bytes)
{
    const std::uint8_t *p = bytes.data();
    std::size_t n = bytes.size();
    std::uint64_t a = 0xcbf29ce484222325ull, b = 0x84222325cbf29ce4ull;
    // The first block holds the size and up to eight bytes; a shorter row
    // ends there, as the stream's last block.
    std::uint8_t block[kBlock] = {};
    for (int i = 0; i < 8; ++i)
        block[i] = static_cast<std::uint8_t>(static_cast<std::uint64_t>(n) >> (8 * i));
    if (n < 8) {
        for (std::size_t i = 0; i < n; ++i)
            block[8 + i] = p[i];
    } else {
        std::memcpy(block + 8, p, 8);
        mixBlock(a, b, block);
        for (p += 8, n -= 8; n >= kBlock; p += kBlock, n -= kBlock)
            mixBlock(a, b, p);
        std::memset(block, 0, kBlock);
        for (std::size_t i = 0; i < n; ++i)
            block[i] = p[i];
    }
    mixBlock(a, b, block);
    return a ^ std::rotl(b, 29) ^ ((8 + bytes.size()) * 0x9e3779b97f4a7c15ull);
}

RowDigester::RowDigester(ByteSpan row) : row_(row) {}

bool RowDigester::beginValue(std::size_t offsetInRow, std::uint64_t length)
{
    if (offsetInRow < at_ || offsetInRow + 12 > row_.size())
        return false;
    if (!streaming_) {
        hash_.addSize(row_.size());
        streaming_ = true;
    }
    hash_.add(row_.data() + at_, offsetInRow - at_);
    hash_.addSize(length);
    at_ = offsetInRow + 12;
    return true;
}

void RowDigester::addValueBytes(ByteSpan piece)
{
    hash_.add(piece.data(), piece.size());
}

std::uint64_t RowDigester::finish()
{
    if (!streaming_)
        return spreadDigest(DigestStream::valueOfSizedBytes(row_));
    hash_.add(row_.data() + at_, row_.size() - at_);
    return spreadDigest(hash_.value());
}

std::uint64_t digestRow(ByteSpan row, std::span<const MovedLongValue> movedValues)
{
    RowDigester digest(row);
    auto addMoved = [&](const MovedLongValue &moved) {
        // Overlapping fields cannot occur in a row that split; their bytes stay in.
        if (digest.beginValue(moved.offsetInRow, moved.value.size()))
            digest.addValueBytes(moved.value);
    };
    // Values come in row order from every row reader; only others need sorting.
    const bool inRowOrder = std::adjacent_find(movedValues.begin(), movedValues.end(),
                                               [](const MovedLongValue &a, const MovedLongValue &b) {
                                                   return a.offsetInRow >= b.offsetInRow;
                                               }) == movedValues.end();
    if (inRowOrder) {
        for (const MovedLongValue &moved : movedValues)
            addMoved(moved);
    } else {
        std::vector<const MovedLongValue *> sorted;
        for (const MovedLongValue &moved : movedValues)
            sorted.push_back(&moved);
        std::sort(sorted.begin(), sorted.end(),
                  [](const MovedLongValue *a, const MovedLongValue *b) { return a->offsetInRow < b->offsetInRow; });
        for (const MovedLongValue *moved : sorted)
            addMoved(*moved);
    }
    return digest.finish();
}

}  // namespace jet::write
