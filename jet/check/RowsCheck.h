// Checking the live rows of one table: each row must split, its fixed-size
// values be whole and its long values readable from their column's pages;
// the AutoNumber seed must not lag behind the column. Leaves behind what the
// index checks need: the live rows by position and which have null keys.
#pragma once

#include "jet/RowDecoder.h"
#include "jet/TableScan.h"
#include "jet/check/CheckSink.h"
#include "jet/check/Checker.h"
#include "jet/check/LiveRowSlots.h"

#include <unordered_map>

namespace jet {

class KeyCheck;

class RowsCheck {
public:
    // `longValuePages`: per column number, the column's LVAL pages. `rows`
    // must be empty; `observer` may be null.
    RowsCheck(const PageFile &file, CheckSink &sink, const std::string &table, const TableDef &def,
              const std::unordered_map<std::uint16_t, UsageMap> &longValuePages, RowObserver *observer,
              LiveRowSlots &rows);

    void run();
    // Gives every live row to `keys` (may be null) as well.
    void computeKeysWith(KeyCheck *keys) { keys_ = keys; }

    // Every live row the scan reached, damaged or not.
    std::uint64_t rowCount() const { return rowCount_; }
    // Per real index (the first 64) that asks (needsNullKeys), per row slot:
    // every key column is null.
    const std::vector<std::vector<bool>> &nullKeys() const { return nullKeyBits_; }

private:
    // What a row's value in a column must pass: nothing (Boolean, Text),
    // its size (types stored at a fixed size: anything shorter is cut; other
    // types decode whatever their bytes are), or a readable long value.
    struct ColumnCheck {
        enum class Kind : std::uint8_t { None, Size, LongValue } kind;
        std::size_t size;
    };
    struct MisplacedLongValue {
        const ColumnDef *column;
        RowId row;
    };

    void prepare();
    bool inspectRow(const TableScan &scan, std::string &where);
    void inspectRowContent(ByteSpan bytes, const std::string &where);
    void inspectLongValue(const ColumnDef &column, const ColumnSlice &slice, const std::string &where);
    void recordNullKeys(std::uint32_t slot);
    void checkAutoNumber(const ColumnDef &column);

    const PageFile &file_;
    CheckSink &sink_;
    const std::string &table_;
    const TableDef &def_;
    const std::unordered_map<std::uint16_t, UsageMap> &longValuePages_;
    RowObserver *observer_;
    KeyCheck *keys_ = nullptr;
    LiveRowSlots &rows_;
    RowDecoder decoder_;

    std::uint64_t rowCount_ = 0;
    std::int64_t maxAutoNumber_ = 0;
    std::vector<std::string> columnLabels_;                 // " 列 'name'" per column
    std::vector<ColumnCheck> columnChecks_;                 // per column
    std::vector<std::size_t> askingIndexes_;                      // real indexes that ask for null keys
    std::vector<std::vector<const ColumnDef *>> nullKeyColumns_;  // per real index that asks
    std::vector<std::vector<bool>> nullKeyBits_;
    std::vector<MisplacedLongValue> misplaced_;  // of the row being inspected
    std::vector<OutOfRowValue> outOfRow_;        // of the row being inspected (capacity kept)
    std::size_t outOfRowCount_ = 0;
    Value scratch_;
};

}  // namespace jet
