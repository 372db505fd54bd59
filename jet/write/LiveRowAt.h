// The bytes of the live row whose identity is `position` (an index entry's
// row pointer), following an overflow stub to its moved body the way a table
// scan does. A compactor that writes rows in primary-key order fetches rows
// this way instead of scanning.
#pragma once

#include "jet/PageFile.h"
#include "jet/TableDef.h"
#include "jet/TableScan.h"

#include <string>

namespace jet::write {

struct FetchedRow {
    LiveRow row;
    unsigned rowSlotsOnPage = 0;  // of the page holding `position`
};

// Throws jet::Error(Damaged) naming `where` when the position is not a live
// row of the table (deleted, another table's page, broken overflow chain).
FetchedRow readLiveRowAt(const PageFile &file, const TableDef &def, RowId position, PageHandle &keepHeader,
                         PageHandle &keepBody, const std::string &where);

}  // namespace jet::write
