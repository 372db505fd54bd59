#include "jet/write/RowDigest.h"

#include <algorithm>

namespace jet::write {

namespace {

struct Fnv {
    std::uint64_t h = 0xcbf29ce484222325ull;
    void add(const std::uint8_t *p, std::size_t n)
    {
        for (std::size_t i = 0; i < n; ++i)
            h = (h ^ p[i]) * 0x100000001b3ull;
    }
    void addSize(std::uint64_t n)
    {
        std::uint8_t bytes[8];
        for (int i = 0; i < 8; ++i)
            bytes[i] = static_cast<std::uint8_t>(n >> (8 * i));
        add(bytes, 8);
    }
};

std::uint64_t mix(std::uint64_t x)
{
    x ^= x >> 30;
    x *= 0xbf58476d1ce4e5b9ull;
    x ^= x >> 27;
    x *= 0x94d049bb133111ebull;
    return x ^ (x >> 31);
}

}  // namespace

RowDigester::RowDigester(ByteSpan row) : row_(row)
{
    Fnv fnv;
    fnv.addSize(row.size());
    hash_ = fnv.h;
}

bool RowDigester::beginValue(std::size_t offsetInRow, std::uint64_t length)
{
    if (offsetInRow < at_ || offsetInRow + 12 > row_.size())
        return false;
    Fnv fnv{hash_};
    fnv.add(row_.data() + at_, offsetInRow - at_);
    fnv.addSize(length);
    hash_ = fnv.h;
    at_ = offsetInRow + 12;
    return true;
}

void RowDigester::addValueBytes(ByteSpan piece)
{
    Fnv fnv{hash_};
    fnv.add(piece.data(), piece.size());
    hash_ = fnv.h;
}

std::uint64_t RowDigester::finish()
{
    Fnv fnv{hash_};
    fnv.add(row_.data() + at_, row_.size() - at_);
    return mix(fnv.h);
}

std::uint64_t digestRow(ByteSpan row, const std::vector<MovedLongValue> &movedValues)
{
    Fnv fnv;
    fnv.addSize(row.size());
    std::size_t at = 0;
    auto addMoved = [&](const MovedLongValue &moved) {
        if (moved.offsetInRow < at || moved.offsetInRow + 12 > row.size())
            return;  // overlapping fields cannot occur in a row that split; leave the bytes in
        fnv.add(row.data() + at, moved.offsetInRow - at);
        fnv.addSize(moved.value.size());
        fnv.add(moved.value.data(), moved.value.size());
        at = moved.offsetInRow + 12;
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
    fnv.add(row.data() + at, row.size() - at);
    return mix(fnv.h);
}

}  // namespace jet::write
