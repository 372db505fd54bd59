// The last check before a converted copy may take the target's name. Its
// bytes differ from the source's everywhere, so tables are compared by
// decoded values (ValueDigest.h) instead of raw rows: the copy is opened
// afresh, its structure and index keys are checked, and every table must
// hold the source's rows, value for value.
#pragma once

#include "jet/Database.h"
#include "jet/convert/ValueDigest.h"
#include "jet/write/RowDigest.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace jet::convert {

struct ExpectedConvertedTable {
    std::string name;
    PageNumber definitionPage = 0;  // in the copy
    // Of the source's values, brought by the converter's own normaliser into
    // the form the copy's normaliser gives (see verifyConvertedCopy).
    write::TableDigest digest;
    // The source's stored row count where it is binding (StoredRowCount.h).
    std::optional<std::uint64_t> storedRows;
    // Columns left out of the comparison, by number (a column the target
    // format adds or drops). The source's digest must leave out the same.
    std::vector<std::uint16_t> skippedColumns;
};

// `openCopy` opens the copy afresh on each call (the checker reads a table's
// indexes on a second database). `normaliserFor` gives the normaliser for
// the copy's values of a table (may return an empty one). Throws
// jet::Error(Damaged) naming the checker's problem or the table whose row
// count or content differs.
void verifyConvertedCopy(const std::function<std::unique_ptr<Database>()> &openCopy,
                         const std::vector<ExpectedConvertedTable> &tables,
                         const std::function<Normaliser(const std::string &table)> &normaliserFor);

}  // namespace jet::convert
