// Converts one table into the other format: every live row decoded to
// values, transformed where the conversion changes a value on purpose (object
// ids, SIDs, property blobs), encoded in the target's row layout onto fresh
// data pages, its long values written anew, and every real index built from
// keys computed from the converted values (docs/conversion-notes.md
// §convert.table). Reports what the table's new definition must say.
#pragma once

#include "jet/Database.h"
#include "jet/Header.h"
#include "jet/write/EncodedPageWriter.h"
#include "jet/write/IndexTreeWriter.h"
#include "jet/write/PageAllocator.h"
#include "jet/write/RowDigest.h"
#include "jet/write/TableCopier.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace jet::convert {

struct TableConversion {
    const Database &source;
    const std::string &name;
    const TableDef &sourceDef;
    const TableDef &targetDef;  // the same table as the target format lays it out
    PageNumber definitionPage;  // the table's in the new file
    write::PageAllocator &allocator;
    write::EncodedPageWriter &pages;
    std::string spillFolder;
    std::size_t sortBudget;
    // Rows the conversion leaves out on purpose (false = leave out); may be empty.
    std::function<bool(const std::vector<Value> &sourceValues)> keepRow;
    // Turns a source value into what the copy stores (ids mapped, SIDs
    // re-obscured, property blobs re-encoded); may be empty.
    std::function<void(const ColumnDef &sourceColumn, Value &value)> transform;
    // Called with each source row's values before transform, for the
    // verification's digest of what the source holds.
    std::function<void(const std::vector<Value> &sourceValues)> sourceRow;
    std::function<void(std::uint64_t rowsDone)> rowProgress;
};

struct ConvertedTable {
    std::uint64_t rows = 0;
    std::uint64_t rowsLeftOut = 0;
    std::optional<std::int64_t> largestAutoNumber;
    std::vector<std::uint32_t> dataPages;
    std::vector<std::uint32_t> dataPagesWithRoom;
    std::vector<write::CopiedLongValueColumn> longValueColumns;  // per targetDef.longValueMaps
    std::vector<write::IndexTreeResult> indexes;                 // per targetDef.realIndexes
};

ConvertedTable convertTable(const TableConversion &conversion);

// The indexed text columns of `target` whose sort order has no weights here:
// their keys are computed the General way, which only ASCII text allows.
std::vector<const ColumnDef *> textKeysOfUnknownOrder(const TableDef &target, const DatabaseHeader &header);
// Whether a text value may be keyed that way.
bool keyableUnderUnknownOrder(const Value &value);

}  // namespace jet::convert
