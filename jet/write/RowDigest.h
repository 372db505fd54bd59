// A fingerprint of a table's content that does not depend on where rows and
// long values live: each row's bytes with the pointers of moved long values
// left out and the values themselves put in, summed over the rows so that
// the order rows are written in does not matter. The copy must match the
// source before it may take the target's name.
#pragma once

#include "jet/Bytes.h"

#include <cstdint>
#include <span>
#include <vector>

namespace jet::write {

struct MovedLongValue {
    std::size_t offsetInRow;        // of the 12-byte header, left out of the row bytes
    std::vector<std::uint8_t> value;
};

// Bytes hashed sixteen at a time in two lanes (a byte at a time was a fifth
// of a whole compaction). Bytes may arrive in pieces of any size: the value
// depends only on the bytes, never on how they were cut.
class DigestStream {
public:
    void add(const std::uint8_t *p, std::size_t n);
    void addSize(std::uint64_t n);  // eight bytes, little-endian
    std::uint64_t value() const;
    // The value of a stream given addSize(bytes.size()) and then the bytes:
    // most rows, hashed without the stream's buffering (a row of a few dozen
    // bytes spent more time in it than in the hashing).
    static std::uint64_t valueOfSizedBytes(ByteSpan bytes);

private:
    static constexpr std::size_t kBlock = 16;
    static std::uint64_t load64(const std::uint8_t *p);
    static void mixBlock(std::uint64_t &a, std::uint64_t &b, const std::uint8_t *p);

    std::uint64_t a_ = 0xcbf29ce484222325ull;
    std::uint64_t b_ = 0x84222325cbf29ce4ull;
    std::uint64_t total_ = 0;
    std::uint8_t buffer_[kBlock] = {};
    std::size_t pending_ = 0;
};

// Row digests are summed, so each is spread over all 64 bits first: rows a
// bit apart must not give digests whose differences cancel in the sum.
std::uint64_t spreadDigest(std::uint64_t x);

std::uint64_t digestRow(ByteSpan row, std::span<const MovedLongValue> movedValues);

// digestRow with the moved values streamed instead of held: values are
// announced in row order (ascending offsets), their bytes in pieces, and the
// result is what digestRow gives for the same row and values.
class RowDigester {
public:
    explicit RowDigester(ByteSpan row);
    // False when digestRow would leave this value out (it overlaps the one
    // before it or runs past the row); its bytes must not be added then.
    bool beginValue(std::size_t offsetInRow, std::uint64_t length);
    void addValueBytes(ByteSpan piece);
    std::uint64_t finish();

private:
    ByteSpan row_;
    DigestStream hash_;  // started by the first value; a row without any takes the short road
    bool streaming_ = false;
    std::size_t at_ = 0;
};

struct TableDigest {
    std::uint64_t rows = 0;
    std::uint64_t sum = 0;
    void add(std::uint64_t rowDigest)
    {
        ++rows;
        sum += rowDigest;
    }
    bool operator==(const TableDigest &) const = default;
};

}  // namespace jet::write
