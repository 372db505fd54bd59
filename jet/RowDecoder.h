// Decoding live rows of one table into values, and finding the long-value
// fields inside a row (what a compactor rewrites when it moves long values).
#pragma once

#include "jet/LongValue.h"
#include "jet/Row.h"
#include "jet/TableDef.h"
#include "jet/Value.h"

#include <optional>
#include <string>
#include <vector>

namespace jet {

struct LongValueField {
    const ColumnDef *column = nullptr;
    std::size_t offsetInRow = 0;   // where the 12-byte header starts in the row
    LongValueHeader header;
};

class RowDecoder {
public:
    RowDecoder(const PageFile &file, const TableDef &def);

    // Splits `row` (kept by reference until the next split); `where` names the
    // row in error messages.
    const RowColumns &split(ByteSpan row, const std::string &where);
    const RowColumns &columns() const { return columns_; }

    // Value of `column` (which must belong to the table) in the last split row.
    Value value(const ColumnDef &column, const std::string &where) const;
    // All values, in TableDef::columns order.
    void values(std::vector<Value> &out, const std::string &where) const;
    // The non-null long-value fields of the last split row, with their headers.
    std::vector<LongValueField> longValueFields(const std::string &where) const;

    const ValueContext &context() const { return context_; }

private:
    const TableDef &def_;
    RowLayout layout_;
    ValueContext context_;
    RowColumns columns_;
};

}  // namespace jet
