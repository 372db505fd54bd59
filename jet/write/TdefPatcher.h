// A table definition as it goes into the new file: the source's TDEF pages byte
// for byte on the pages the copy gave them, with only the fields of
// docs/jet-format-writer.md §tdef.patch changed (row count, AutoNumber,
// usage-map pointers, index roots and distinct-key counts), the chain links and
// foreign-key table pages pointing at the new definition pages, and the bytes
// past the definition zeroed.
#pragma once

#include "jet/TableDef.h"
#include "jet/write/ObjectIdMap.h"

#include <cstdint>
#include <vector>

namespace jet::write {

class TdefPatcher {
public:
    // `newPages` is the chain in the new file, as long as def.pages. Throws
    // jet::Error(Damaged) for a foreign key naming no table definition.
    TdefPatcher(const PageFile &file, const TableDef &def, std::vector<std::uint32_t> newPages,
                const ObjectIdMap &ids);

    void setU32(std::size_t logicalOffset, std::uint32_t value);
    void setRowRef(std::size_t logicalOffset, std::uint32_t rowRef) { setU32(logicalOffset, rowRef); }

    // The pages in chain order, paired with their new page numbers.
    const std::vector<std::uint32_t> &pageNumbers() const { return newPages_; }
    const std::vector<std::vector<std::uint8_t>> &pages() const { return pages_; }

private:
    std::uint8_t &byteAt(std::size_t logicalOffset);
    void linkChain();
    void mapForeignTables(const ObjectIdMap &ids);

    const TableDef &def_;
    std::vector<std::uint32_t> newPages_;
    std::vector<std::vector<std::uint8_t>> pages_;
};

}  // namespace jet::write
