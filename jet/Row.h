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
    // The row's variable offsets; kept here so that splitting row after row
    // reuses one buffer instead of allocating for each row.
    std::vector<std::uint16_t> variableOffsets;
};

// Where each column of a table lives in its rows, worked out once per table
// rather than once per row.
class RowLayout {
public:
    explicit RowLayout(const TableDef &def);

    struct Place {
        enum class Kind : std::uint8_t { Boolean, Fixed, Variable };
        const ColumnDef *column = nullptr;
        Kind kind = Kind::Variable;
        std::uint16_t number = 0;
        std::uint16_t maskByte = 0;  // the null-mask bit of `number`
        std::uint8_t maskBit = 0;
        std::uint16_t varIndex = 0;
        std::size_t fixedStart = 0;  // from the row's start: after the column count
        std::size_t fixedSize = 0;
    };

    const FormatConstants &format() const { return *format_; }
    bool jet3() const { return format_->version == JetVersion::Jet3; }
    bool hasVariableColumns() const { return hasVariableColumns_; }
    const std::vector<Place> &places() const { return places_; }

private:
    const FormatConstants *format_;
    bool hasVariableColumns_ = false;
    std::vector<Place> places_;  // in TableDef::columns order
};

// Splits `row` by the layout of `def`. Throws jet::Error(Damaged), with
// `where` (table, page, row) in the message, when the row's own counts or
// offsets do not fit inside it.
void splitRow(const TableDef &def, ByteSpan row, RowColumns &out, const std::string &where);
void splitRow(const RowLayout &layout, ByteSpan row, RowColumns &out, const std::string &where);

}  // namespace jet
