// A table definition as it goes into the new file: the source's TDEF pages,
// kept at their page numbers and byte for byte, with only the fields of §10.10
// changed (row count, AutoNumber, usage-map pointers, index roots and
// distinct-key counts) and the bytes past the definition zeroed.
#pragma once

#include "jet/TableDef.h"

#include <cstdint>
#include <vector>

namespace jet::write {

class TdefPatcher {
public:
    TdefPatcher(const PageFile &file, const TableDef &def);

    void setU32(std::size_t logicalOffset, std::uint32_t value);
    void setRowRef(std::size_t logicalOffset, std::uint32_t rowRef) { setU32(logicalOffset, rowRef); }

    // The pages in chain order, paired with their page numbers.
    const std::vector<std::uint32_t> &pageNumbers() const { return def_.pages; }
    const std::vector<std::vector<std::uint8_t>> &pages() const { return pages_; }

private:
    std::uint8_t &byteAt(std::size_t logicalOffset);

    const TableDef &def_;
    std::vector<std::vector<std::uint8_t>> pages_;
};

}  // namespace jet::write
