// A fingerprint of a table's content that does not depend on where rows and
// long values live: each row's bytes with the pointers of moved long values
// left out and the values themselves put in, summed over the rows so that
// the order rows are written in does not matter. The copy must match the
// source before it may take the target's name.
#pragma once

#include "jet/Bytes.h"

#include <cstdint>
#include <vector>

namespace jet::write {

struct MovedLongValue {
    std::size_t offsetInRow;        // of the 12-byte header, left out of the row bytes
    std::vector<std::uint8_t> value;
};

std::uint64_t digestRow(ByteSpan row, const std::vector<MovedLongValue> &movedValues);

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
