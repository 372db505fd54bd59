// Splitting one stored row into its columns: the column count, fixed area,
// variable-offset table (Jet 3 with its jump table), and null mask
// (docs/jet-format-notes.md §rows.j4, §rows.j3, §rows.nulls).
#pragma once

#include "jet/TableDef.h"

#include <vector>

namespace jet {

struct ColumnSlice {
    bool present = false;  // the null-mask bit (for Boolean columns: the value)
    ByteSpan bytes;        // the stored bytes (empty for Boolean and null values)
    std::size_t offset = 0;  // where `bytes` start in the row
};

struct RowColumns {
    std::uint16_t storedColumnCount = 0;   // the row's own column count
    std::uint16_t storedVariableCount = 0; // the row's own variable-slot count
    std::vector<ColumnSlice> columns;      // in TableDef::columns order
};

// Splits `row` by the layout of `def`. Throws jet::Error(Damaged), with
// `where` (table, page, row) in the message, when the row's own counts or
// offsets do not fit inside it.
void splitRow(const TableDef &def, ByteSpan row, RowColumns &out, const std::string &where);

}  // namespace jet
