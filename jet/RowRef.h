// Positions of rows: a page number plus a row number (docs/jet-format-notes.md
// §ptr). On disk a RowRef is 4 bytes: row u8, then page u24 LE.
#pragma once

#include "jet/Bytes.h"
#include "jet/Format.h"

#include <compare>
#include <string>

namespace jet {

struct RowId {
    PageNumber page = 0;
    std::uint8_t row = 0;

    auto operator<=>(const RowId &) const = default;
    bool isNull() const { return page == 0 && row == 0; }
    // The 4-byte little-endian RowRef form (row in the low byte).
    static RowId fromRowRef(std::uint32_t packed) { return {packed >> 8, static_cast<std::uint8_t>(packed & 0xFF)}; }
    std::uint32_t toRowRef() const { return (page << 8) | row; }
    std::string describe() const { return "ページ " + std::to_string(page) + " 行 " + std::to_string(row); }
};

}  // namespace jet
