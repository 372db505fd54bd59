#include "jet/check/RowsCheck.h"

#include "jet/check/IndexCheck.h"
#include "jet/check/KeyCheck.h"

#include <algorithm>

namespace jet {

RowsCheck::RowsCheck(const PageFile &file, CheckSink &sink, const std::string &table, const TableDef &def,
                     const std::unordered_map<std::uint16_t, UsageMap> &longValuePages, RowObserver *observer,
                     LiveRowSlots &rows)
    : file_(file), sink_(sink), table_(table), def_(def), longValuePages_(longValuePages), observer_(observer),
      rows_(rows), decoder_(file, def)
{
}

void RowsCheck::run()
{
    TableScan scan(file_, def_, table_);
    prepare();
    const ColumnDef *autoNumber = def_.autoNumberColumn();
    if (observer_)
        observer_->tableStarts(table_, def_);
    std::string where;
    const bool scanned = sink_.guarded(table_, [&] {
        while (scan.next()) {
            ++rowCount_;
            const std::uint32_t slot = rows_.add(scan.row().position);
            if (!inspectRow(scan, where)) {
                if (keys_)
                    keys_->rowNotRead();
                continue;
            }
            recordNullKeys(slot);
            if (keys_)
                keys_->row(slot, decoder_.columns(), decoder_.context());
            if (autoNumber)
                checkAutoNumber(*autoNumber);
            if (observer_)
                observer_->row(scan.row().bytes, std::span(outOfRow_.data(), outOfRowCount_));
        }
    });
    for (const SkippedPage &skipped : scan.skippedPages())
        sink_.problem(table_, skipped.page, std::nullopt, "データページの使用マップにありますが、" + skipped.reason + "。");
    if (scanned && autoNumber && maxAutoNumber_ > static_cast<std::int64_t>(def_.autoNumber))
        sink_.problem(table_, def_.firstPage, def_.offsets.autoNumber,
                      "オートナンバーの最終値 " + std::to_string(def_.autoNumber) + " が列 '" + autoNumber->name +
                          "' の最大値 " + std::to_string(maxAutoNumber_) + " より小さくなっています。");
}

void RowsCheck::prepare()
{
    for (const ColumnDef &column : def_.columns) {
        columnLabels_.push_back(" 列 '" + column.name + "'");
        if (column.type == ColumnType::Boolean || column.type == ColumnType::Text)
            columnChecks_.push_back({ColumnCheck::Kind::None, 0});
        else if (column.isLongValue())
            columnChecks_.push_back({ColumnCheck::Kind::LongValue, 0});
        else
            columnChecks_.push_back({ColumnCheck::Kind::Size, column.fixedSize()});
    }
    const std::size_t marked = std::min<std::size_t>(def_.realIndexes.size(), 64);
    nullKeyColumns_.resize(marked);
    nullKeyBits_.resize(marked);
    for (std::size_t i = 0; i < marked; ++i) {
        if (!needsNullKeys(def_.realIndexes[i]))
            continue;
        askingIndexes_.push_back(i);
        for (const IndexKeyColumn &key : def_.realIndexes[i].columns)
            if (const ColumnDef *column = def_.columnByNumber(key.columnNumber))
                nullKeyColumns_[i].push_back(column);
    }
}

// The row is checked unnamed (see withPlaceNamedOnError). False when it is damaged.
bool RowsCheck::inspectRow(const TableScan &scan, std::string &where)
{
    static const std::string unnamed;
    const bool sound = sink_.guarded(table_, [&] {
        withPlaceNamedOnError(
            unnamed, [&](const std::string &place) { inspectRowContent(scan.row().bytes, place); },
            [&]() -> const std::string & {
                scan.where(where);
                return where;
            });
    });
    if (!sound)
        return false;
    if (!misplaced_.empty()) {
        scan.where(where);
        for (const MisplacedLongValue &misplaced : misplaced_)
            sink_.problem(table_, misplaced.row.page, std::nullopt,
                          where + " 列 '" + misplaced.column->name + "' の長い値の行 " + misplaced.row.describe() +
                              " が列の使用マップにないページにあります。");
    }
    return true;
}

// Everything decoding the row's values would find wrong, without converting
// text: fixed-size values must be whole, long values readable and on their
// column's pages. Values of other types decode whatever their bytes are.
void RowsCheck::inspectRowContent(ByteSpan bytes, const std::string &where)
{
    misplaced_.clear();
    outOfRowCount_ = 0;
    const RowColumns &columns = decoder_.split(bytes, where);
    for (std::size_t i = 0; i < def_.columns.size(); ++i) {
        const ColumnCheck check = columnChecks_[i];
        const ColumnSlice &slice = columns.columns[i];
        if (check.kind == ColumnCheck::Kind::None || !slice.present)
            continue;
        if (check.kind == ColumnCheck::Kind::LongValue && where.empty())  // unnamed: see inspectRow()
            inspectLongValue(def_.columns[i], slice, columnLabels_[i]);
        else if (check.kind == ColumnCheck::Kind::LongValue)
            inspectLongValue(def_.columns[i], slice, where + columnLabels_[i]);
        else if (slice.bytes.size() < check.size)
            decodeValueInto(decoder_.context(), def_.columns[i], slice, where, scratch_);  // throws for a cut fixed-size value
    }
}

void RowsCheck::inspectLongValue(const ColumnDef &column, const ColumnSlice &slice, const std::string &where)
{
    const auto header = parseLongValueHeader(slice.bytes, where);
    if (!header)
        return;
    OutOfRowValue *value = nullptr;
    if (observer_ && header->kind != LongValueHeader::Kind::Inline) {
        if (outOfRowCount_ == outOfRow_.size())
            outOfRow_.emplace_back();
        value = &outOfRow_[outOfRowCount_++];
        value->offsetInRow = slice.offset;
        value->bytes.clear();
    }
    const auto pages = longValuePages_.find(column.number);
    visitLongValueRows(file_, *header, where, [&](RowId row, ByteSpan data) {
        if (pages != longValuePages_.end() && !pages->second.contains(row.page))
            misplaced_.push_back({&column, row});
        if (value)
            value->bytes.insert(value->bytes.end(), data.begin(), data.end());
    });
}

void RowsCheck::recordNullKeys(std::uint32_t slot)
{
    if (slot == LiveRowSlots::kNone)
        return;
    const RowColumns &columns = decoder_.columns();
    for (std::size_t i : askingIndexes_) {
        bool allNull = true;
        for (const ColumnDef *column : nullKeyColumns_[i])
            if (column->type == ColumnType::Boolean || columns.columns[column->position].present)
                allNull = false;
        if (!allNull)
            continue;  // slots past the end are "not null": an index without null keys takes no memory
        std::vector<bool> &bits = nullKeyBits_[i];
        if (bits.size() <= slot)
            bits.resize(std::max<std::size_t>(slot + 1, 2 * bits.size()));
        bits[slot] = true;
    }
}

void RowsCheck::checkAutoNumber(const ColumnDef &column)
{
    const ColumnSlice &slice = decoder_.columns().columns[column.position];
    static const std::string unnamed;  // the row is whole: decoding cannot fail
    if (const auto number = integerValue(decoder_.context(), column, slice, unnamed))
        maxAutoNumber_ = std::max(maxAutoNumber_, *number);
}

}  // namespace jet
