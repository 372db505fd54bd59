// Copies one table into the new file: its live rows packed onto fresh data
// pages (primary-key order when it has one, docs/jet-format-writer.md
// §copy.order), each long value written anew into LVAL pages of its column, and
// every real index rebuilt from the source's entries re-keyed to the new row
// positions (§index.rekey). Object ids in the rows of system tables are mapped
// to the new definition pages, and the indexes over them re-keyed. Reports what
// the table's definition and usage maps must now say.
#pragma once

#include "jet/Database.h"
#include "jet/write/EncodedPageWriter.h"
#include "jet/write/IndexTreeWriter.h"
#include "jet/write/ObjectIdMap.h"
#include "jet/write/PageAllocator.h"
#include "jet/write/RowDigest.h"
#include "jet/write/RowRelocation.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace jet::write {

struct CopiedLongValueColumn {
    std::uint16_t columnNumber = 0;
    std::vector<std::uint32_t> ownedPages;
    std::vector<std::uint32_t> pagesWithRoom;
};

struct CopiedTable {
    std::uint64_t rows = 0;
    std::optional<std::int64_t> largestAutoNumber;  // of the incrementing Long AutoNumber column
    std::vector<std::uint32_t> dataPages;
    std::vector<std::uint32_t> dataPagesWithRoom;
    std::vector<CopiedLongValueColumn> longValueColumns;  // one per entry of TableDef::longValueMaps
    std::vector<IndexTreeResult> indexes;                  // one per TableDef::realIndexes
    TableDigest digest;                                    // of the source's rows, object ids mapped
    // Faults of the source the copy does not repeat: an index out of key
    // order (rebuilt by sorting), an AutoNumber seed behind the column.
    std::uint32_t repairs = 0;
};

struct CopyContext {
    const Database &source;
    PageAllocator &allocator;
    EncodedPageWriter &pages;
    std::string spillFolder;
    std::size_t sortBudget;
    PageNumber definitionPage;  // the table's in the new file: owner of its pages
    const ObjectIdMap &ids;
    // Called after each row with the rows copied so far in this table.
    std::function<void(std::uint64_t rowsDone)> rowProgress;
    // Bytes of new row positions held in memory (RowRelocation); with a
    // spill folder, a table with more rows goes through partitions on disk.
    std::size_t relocationBudget = kDefaultRelocationBudget;
};

CopiedTable copyTable(const CopyContext &context, const std::string &tableName, const TableDef &def);

}  // namespace jet::write
