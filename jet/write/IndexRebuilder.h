// Rebuilds one real index of a copied table (docs/jet-format-writer.md
// §index.rekey): the source index's entries, re-keyed through the relocation to
// the rows' new positions, go into a fresh tree. The source tree yields them in
// key order, so only runs of equal keys are reordered (OrderedIndexFeed); a
// source tree out of key order is caught and the index rebuilt by sorting all
// its entries instead. An index over object-id columns has its id segments
// mapped and is rebuilt by sorting, since new ids need not keep the old order.
// Entries naming no copied row, two entries for one row, and an entry count
// that does not fit the row count are damage and fail the copy.
#pragma once

#include "jet/PageFile.h"
#include "jet/TableDef.h"
#include "jet/write/EncodedPageWriter.h"
#include "jet/write/IndexTreeWriter.h"
#include "jet/write/KeyOrderCopy.h"
#include "jet/write/ObjectIdMap.h"
#include "jet/write/PageAllocator.h"
#include "jet/write/RowRelocation.h"

#include <cstdint>
#include <string>

namespace jet::write {

struct IndexRebuildContext {
    const PageFile &file;
    const TableDef &def;
    std::string tableWhere;       // "テーブル 'T'" for messages
    RowRelocation &relocation;    // every copied row recorded
    std::uint64_t rowsCopied;
    PageAllocator &allocator;
    EncodedPageWriter &pages;
    const std::string &spillFolder;
    std::size_t sortBudget;
    PageNumber ownerPage;                               // the table's new definition page
    const std::vector<const ColumnDef *> &idColumns;    // object-id columns of the table
    const ObjectIdMap &ids;
    const KeyOrderCopy *keyOrder = nullptr;             // the order rows were copied in, if through an index
};

IndexTreeResult rebuildIndex(const IndexRebuildContext &context, const RealIndexDef &index);

}  // namespace jet::write
