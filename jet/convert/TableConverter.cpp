#include "jet/convert/TableConverter.h"

#include "jet/Error.h"
#include "jet/Header.h"
#include "jet/RowValues.h"
#include "jet/StoredRowCount.h"
#include "jet/TableScan.h"
#include "jet/convert/RowEncoder.h"
#include "jet/convert/TextTranscode.h"
#include "jet/convert/ValueEncoder.h"
#include "jet/keys/IndexKey.h"
#include "jet/write/LongValueWriter.h"
#include "jet/write/PageRun.h"
#include "jet/write/SpillSorter.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>

namespace jet::convert {

namespace {

std::string tableWhere(const std::string &name)
{
    return "テーブル '" + name + "'";
}

// Text keys of a sort order we have no weights for are still those of the
// General order for ASCII text (docs/index-keys.md §sortorders): such a key
// is computed the General way, any other is refused.
bool asciiOnly(const Value &value)
{
    return std::all_of(value.text.begin(), value.text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

struct KeyPart {
    const ColumnDef *column;  // of the target table
    std::size_t position;     // in targetDef.columns
    keys::KeyColumn key;
    keys::TextSortOrder fallback;  // General of the target, for ASCII text under an unknown order
    std::uint16_t lcid;
};

class IndexKeys {
public:
    IndexKeys(const TableDef &def, const RealIndexDef &index, const DatabaseHeader &header, std::string where)
        : index_(index), where_(std::move(where))
    {
        const keys::TextSortOrder general =
            def.version == JetVersion::Jet3 ? keys::TextSortOrder::Jet3General : keys::TextSortOrder::Jet4General;
        for (const IndexKeyColumn &slot : index.columns) {
            const ColumnDef *column = def.columnByNumber(slot.columnNumber);
            if (!column)
                throw Error(ErrorKind::Damaged,
                            where_ + " のキー列 " + std::to_string(slot.columnNumber) + " がありません。");
            keys::KeyColumn key{column->type, slot.ascending, keys::TextSortOrder::Unknown};
            if (column->type == ColumnType::Text || column->type == ColumnType::Memo)
                key.sortOrder =
                    keys::textSortOrder(def.version, column->collation, header.sortOrder, header.codePage, 0);
            parts_.push_back({column, column->position, key, general,
                              column->collation != 0 ? column->collation : header.sortOrder});
        }
    }

    // False when the row has no entry (an index that ignores nulls, every key column null).
    bool keyOf(const std::vector<Value> &values, keys::Key &key) const
    {
        key.clear();
        if (index_.ignoreNulls() && std::all_of(parts_.begin(), parts_.end(), [&](const KeyPart &part) {
                return part.column->type != ColumnType::Boolean && values[part.position].isNull();
            }))
            return false;
        for (const KeyPart &part : parts_) {
            const Value &value = values[part.position];
            keys::KeyColumn column = part.key;
            if (column.sortOrder == keys::TextSortOrder::Unknown && isText(column.type) && !value.isNull()) {
                if (!asciiOnly(value))
                    throw Error(ErrorKind::Unsupported,
                                where_ + " の列 '" + part.column->name + "' に、並べ替え順序 " +
                                    keys::lcidText(part.lcid) +
                                    " では索引のキーを計算できない文字があるため、形式を変換できません。");
                column.sortOrder = part.fallback;
            }
            if (!keys::appendKeyColumn(key, column, value))
                throw Error(ErrorKind::Unsupported,
                            where_ + " の列 '" + part.column->name +
                                "' の値から索引のキーを計算できないため、形式を変換できません。");
        }
        return true;
    }

private:
    static bool isText(ColumnType type) { return type == ColumnType::Text || type == ColumnType::Memo; }

    const RealIndexDef &index_;
    std::string where_;
    std::vector<KeyPart> parts_;
};

class TableConverter {
public:
    explicit TableConverter(const TableConversion &c)
        : c_(c),
          file_(c.source.file()),
          where_(tableWhere(c.name)),
          format_(formatConstants(c.targetDef.version)),
          dataRun_(format_, c.definitionPage, c.allocator, c.pages),
          encoder_(c.targetDef, c.source.header().codePage, c.name),
          shape_(tableRowShape(c.targetDef)),
          text_{c.targetDef.version, c.source.header().codePage}
    {
        for (const ColumnDef &column : c.targetDef.columns) {
            const ColumnDef *from = c.sourceDef.columnByNumber(column.number);
            sourcePosition_.push_back(from ? static_cast<std::ptrdiff_t>(from->position) : -1);
        }
        for (const LongValueMaps &maps : c.targetDef.longValueMaps)
            longValues_.emplace(maps.columnNumber,
                                std::make_unique<write::LongValueWriter>(format_, c.allocator, c.pages));
        const std::size_t budget =
            std::max<std::size_t>(c.sortBudget / std::max<std::size_t>(1, c.targetDef.realIndexes.size()), 1u << 20);
        for (const RealIndexDef &index : c.targetDef.realIndexes) {
            indexKeys_.emplace_back(c.targetDef, index, c.source.header(),
                                    where_ + " の索引 " + std::to_string(index.number));
            sorters_.push_back(std::make_unique<write::SpillSorter>(c.spillFolder, budget));
        }
        if (const ColumnDef *autoNumber = c.targetDef.autoNumberColumn())
            autoNumber_ = autoNumber->position;
    }

    ConvertedTable run()
    {
        std::uint64_t rowsRead = 0;
        forEachRowValues(file_, c_.sourceDef, c_.name, ForeignPages::Fail,
                         [&](const TableScan &scan, std::vector<Value> &values) {
                             ++rowsRead;
                             convertRow(scan, values);
                         });
        requireRowsAsStored(c_.name, c_.sourceDef.rowCount, rowsRead);
        dataRun_.flush();
        for (auto &[number, writer] : longValues_)
            writer->finish();
        for (std::size_t i = 0; i < c_.targetDef.realIndexes.size(); ++i)
            result_.indexes.push_back(buildIndex(i));
        result_.dataPages = dataRun_.pages();
        result_.dataPagesWithRoom = dataRun_.pagesWithRoom(smallestRow_);
        for (const LongValueMaps &maps : c_.targetDef.longValueMaps) {
            const write::LongValueWriter &writer = *longValues_.at(maps.columnNumber);
            result_.longValueColumns.push_back({maps.columnNumber, writer.ownedPages(), writer.pagesWithRoom()});
        }
        return std::move(result_);
    }

private:
    void convertRow(const TableScan &scan, std::vector<Value> &sourceValues)
    {
        scan_ = &scan;
        if (c_.keepRow && !c_.keepRow(sourceValues)) {
            ++result_.rowsLeftOut;
            return;
        }
        if (c_.sourceRow)
            c_.sourceRow(sourceValues);
        targetValues_.assign(c_.targetDef.columns.size(), Value{});
        for (std::size_t i = 0; i < targetValues_.size(); ++i) {
            if (sourcePosition_[i] < 0)
                continue;
            const auto from = static_cast<std::size_t>(sourcePosition_[i]);
            targetValues_[i] = std::move(sourceValues[from]);
            if (c_.transform)
                c_.transform(c_.sourceDef.columns[from], targetValues_[i]);
        }
        writeLongValues();
        encoder_.encode(targetValues_, longFields_, shape_, row_);
        if (row_.size() > format_.maxDataRowLength)
            throw Error(ErrorKind::Unsupported, scan_->where() + ": 変換した行の長さ " + std::to_string(row_.size()) +
                                                    " バイトが変換先の形式のページに収まりません。");
        const std::uint32_t ref = dataRun_.add(row_);
        smallestRow_ = std::min(smallestRow_, row_.size());
        noteAutoNumber();
        addIndexEntries(ref);
        ++result_.rows;
        if (c_.rowProgress)
            c_.rowProgress(result_.rows);
    }

    void writeLongValues()
    {
        longFields_.assign(targetValues_.size(), {});
        for (std::size_t i = 0; i < targetValues_.size(); ++i) {
            const ColumnDef &column = c_.targetDef.columns[i];
            const Value &value = targetValues_[i];
            if (!column.isLongValue() || value.isNull())
                continue;
            valueBytes_.clear();
            if (column.type == ColumnType::Memo && value.kind == Value::Kind::Text)
                appendStoredText(text_, column, value.text, c_.name, valueBytes_);
            else
                valueBytes_ = value.bytes;
            if (valueBytes_.empty())
                continue;  // an empty value is stored without a header
            const write::LongValueWriter::Header header = writerFor(column).write(valueBytes_);
            longFields_[i].assign(header.begin(), header.end());
        }
    }

    write::LongValueWriter &writerFor(const ColumnDef &column)
    {
        auto it = longValues_.find(column.number);
        if (it == longValues_.end())
            throw Error(ErrorKind::Damaged,
                        where_ + " の列 '" + column.name + "' の長い値のページの一覧が定義にありません。");
        return *it->second;
    }

    void noteAutoNumber()
    {
        if (!autoNumber_)
            return;
        const Value &value = targetValues_[*autoNumber_];
        if (value.kind == Value::Kind::Integer &&
            (!result_.largestAutoNumber || value.integer > *result_.largestAutoNumber))
            result_.largestAutoNumber = value.integer;
    }

    void addIndexEntries(std::uint32_t ref)
    {
        for (std::size_t i = 0; i < indexKeys_.size(); ++i)
            if (indexKeys_[i].keyOf(targetValues_, key_)) {
                if (key_.size() > write::maxIndexKeyBytes(format_))
                    throw Error(ErrorKind::Unsupported, scan_->where() + ": 索引のキーが変換先の形式には長すぎます。");
                sorters_[i]->add(key_, ref);
            }
    }

    write::IndexTreeResult buildIndex(std::size_t i)
    {
        const RealIndexDef &index = c_.targetDef.realIndexes[i];
        write::IndexTreeWriter tree(
            format_, c_.definitionPage,
            write::PageSink{[this] { return c_.allocator.allocate(); },
                            [this](PageNumber page, ByteSpan bytes) { c_.pages.write(page, bytes); }});
        sorters_[i]->drain([&](ByteSpan key, std::uint32_t ref) {
            const bool repeated = tree.add(key, write::RowLocation::fromRowRef(ref));
            if (repeated && index.unique() && !allNull(key))
                throw Error(ErrorKind::Unsupported, where_ + " の一意の索引 " + std::to_string(index.number) +
                                                        " で、変換後のキーが重複します。");
        });
        sorters_[i].reset();
        return tree.finish();
    }

    // A key whose every column is null: flag bytes 0x00 (ascending) or 0xFF only.
    static bool allNull(ByteSpan key)
    {
        return std::all_of(key.begin(), key.end(), [](std::uint8_t b) { return b == 0x00 || b == 0xFF; });
    }

    const TableConversion &c_;
    const PageFile &file_;
    const std::string where_;
    const FormatConstants &format_;
    write::PageRun dataRun_;
    RowEncoder encoder_;
    RowShape shape_;
    TextTarget text_;
    std::vector<std::ptrdiff_t> sourcePosition_;  // per target column: its source column, -1 for none
    std::map<std::uint16_t, std::unique_ptr<write::LongValueWriter>> longValues_;
    std::vector<IndexKeys> indexKeys_;
    std::vector<std::unique_ptr<write::SpillSorter>> sorters_;
    std::optional<std::size_t> autoNumber_;
    const TableScan *scan_ = nullptr;  // of the row being converted, to name it in messages
    std::vector<Value> targetValues_;
    std::vector<std::vector<std::uint8_t>> longFields_;
    std::vector<std::uint8_t> valueBytes_;
    std::vector<std::uint8_t> row_;
    keys::Key key_;
    std::size_t smallestRow_ = 0xFFFF;
    ConvertedTable result_;
};

}  // namespace

ConvertedTable convertTable(const TableConversion &conversion)
{
    return TableConverter(conversion).run();
}

std::vector<const ColumnDef *> textKeysOfUnknownOrder(const TableDef &target, const DatabaseHeader &header)
{
    std::vector<const ColumnDef *> columns;
    for (const RealIndexDef &index : target.realIndexes)
        for (const IndexKeyColumn &slot : index.columns) {
            const ColumnDef *column = target.columnByNumber(slot.columnNumber);
            if (!column || (column->type != ColumnType::Text && column->type != ColumnType::Memo))
                continue;
            if (keys::textSortOrder(target.version, column->collation, header.sortOrder, header.codePage, 0) ==
                    keys::TextSortOrder::Unknown &&
                std::find(columns.begin(), columns.end(), column) == columns.end())
                columns.push_back(column);
        }
    return columns;
}

bool keyableUnderUnknownOrder(const Value &value)
{
    return value.kind != Value::Kind::Text || asciiOnly(value);
}

}  // namespace jet::convert
