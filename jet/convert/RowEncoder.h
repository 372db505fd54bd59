// Rows built from decoded values in the row layout of either format: fixed
// area, variable data, variable-offset table (Jet 3 with its jump table),
// null mask (docs/jet-format-notes.md §rows.j4, §rows.j3, §rows.nulls). The
// inverse of splitRow() and decodeValue().
#pragma once

#include "jet/Row.h"
#include "jet/convert/ValueEncoder.h"

#include <string>
#include <vector>

namespace jet::convert {

// The row's own column and variable-slot counts. A row keeps the counts it
// was written with (columns added later read as null), so a copy keeps them;
// a new row takes the table's.
struct RowShape {
    std::uint16_t columnCount = 0;
    std::uint16_t variableCount = 0;
};
RowShape tableRowShape(const TableDef &def);

class RowEncoder {
public:
    // `def` is the target table (its format, columns, numbers, slots, offsets).
    RowEncoder(const TableDef &def, unsigned codePage, std::string tableName);

    // `values` in def.columns order. Long-value columns take their stored
    // in-row field (header and any inline data) from `longValueFields` at the
    // same position, since only the writer knows where their LVAL rows go.
    // Throws jet::Error naming the table and column for a value the target
    // cannot hold, or a row longer than the format allows.
    void encode(const std::vector<Value> &values, const std::vector<std::vector<std::uint8_t>> &longValueFields,
                RowShape shape, std::vector<std::uint8_t> &out);

private:
    void writeFixedArea(const std::vector<Value> &values, std::uint16_t columnCount, std::vector<std::uint8_t> &out);
    void writeVariableData(const std::vector<Value> &values,
                           const std::vector<std::vector<std::uint8_t>> &longValueFields, RowShape shape,
                           std::vector<std::uint8_t> &out);
    void writeJet4Table(std::vector<std::uint8_t> &out) const;
    void writeJet3Table(std::size_t maskLength, std::vector<std::uint8_t> &out) const;
    void writeNullMask(const std::vector<Value> &values, RowShape shape, std::vector<std::uint8_t> &out) const;
    void requireShapeHolds(const std::vector<Value> &values, RowShape shape) const;
    bool present(const RowLayout::Place &place, const std::vector<Value> &values, std::size_t i) const;

    const TableDef &def_;
    RowLayout layout_;
    TextTarget target_;
    std::string tableName_;
    std::vector<const RowLayout::Place *> bySlot_;  // variable places by slot
    std::vector<std::uint16_t> offsets_;           // this row's variable offsets, eod last
    std::vector<std::uint8_t> scratch_;
};

}  // namespace jet::convert
