// A fingerprint of a table's content by decoded values, the same in Jet 3 and
// Jet 4: a converted copy stores every row in other bytes (text in another
// encoding, other offsets), so the raw-row digest of a same-format copy
// (jet/write/RowDigest.h) cannot compare it with its source.
//
// Each column counts by its number, not its place in the definition, with
// the kind of its value and the payload: text (Text, Memo, Decimal) as the
// UTF-8 the reader gives, integers and currency as 64-bit numbers, reals and
// dates as the bits of the double, booleans, and the bytes of Binary, OLE and
// GUID values. Nulls count. A table's digest is the sum of its rows' digests,
// so the order rows are stored in does not matter.
#pragma once

#include "jet/Database.h"
#include "jet/TableDef.h"
#include "jet/Value.h"
#include "jet/write/RowDigest.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace jet::convert {

// Brings a value into the form both sides share before it is digested, for
// columns a conversion changes on purpose (object ids, SIDs, property
// blobs). Called for every digested value, nulls included; may be empty.
using Normaliser = std::function<void(const ColumnDef &column, Value &value)>;

// The row digest for many rows of one table: the column order is worked out
// once. Columns numbered in `skippedColumns` are left out (a column one
// format has and the other lacks). `def` must outlive the digester.
class ValueDigester {
public:
    explicit ValueDigester(const TableDef &def, std::span<const std::uint16_t> skippedColumns = {});

    // `values` in TableDef::columns order, as RowDecoder::values gives them.
    std::uint64_t digest(const std::vector<Value> &values, const Normaliser &normalise);

private:
    struct Digested {
        std::size_t index;  // into TableDef::columns and the values
        const ColumnDef *column;
    };
    std::vector<Digested> order_;  // by column number
    std::size_t columnCount_;
    Value scratch_;                   // the normalised copy of one value
};

std::uint64_t digestValues(const TableDef &def, const std::vector<Value> &values, const Normaliser &normalise,
                           std::span<const std::uint16_t> skippedColumns = {});

// Every live row of the table read back and digested. Long values are read
// whole, one row at a time. Throws jet::Error(Damaged) for a row or a page
// that cannot be read, including a page of the table's map that is not its
// data page (rows would be missing).
write::TableDigest digestTableValues(const Database &db, const std::string &tableName, PageNumber definitionPage,
                                     const Normaliser &normalise, std::span<const std::uint16_t> skippedColumns = {});

}  // namespace jet::convert
