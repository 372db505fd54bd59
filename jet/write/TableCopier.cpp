#include "jet/write/TableCopier.h"

#include "jet/DataPage.h"
#include "jet/Error.h"
#include "jet/IndexPage.h"
#include "jet/write/LiveRowAt.h"
#include "jet/write/LongValueWriter.h"
#include "jet/write/PageRun.h"
#include "jet/write/RowDigest.h"
#include "jet/write/RowRelocation.h"
#include "jet/write/SpillSorter.h"

#include <cstring>
#include <map>
#include <memory>

namespace jet::write {

namespace {

std::string tableWhere(const std::string &name) { return "テーブル '" + name + "'"; }

class TableCopier {
public:
    TableCopier(const CopyContext &context, const std::string &name, const TableDef &def)
        : context_(context),
          file_(context.source.file()),
          name_(name),
          def_(def),
          jet3_(def.version == JetVersion::Jet3),
          dataRun_(jet3_, def.pageSize, def.firstPage, context.allocator, context.pages),
          decoder_(file_, def),
          autoNumber_(def.autoNumberColumn())
    {
        for (const LongValueMaps &maps : def.longValueMaps)
            longValues_.emplace(maps.columnNumber, std::make_unique<LongValueWriter>(jet3_, def.pageSize,
                                                                                       context.allocator, context.pages));
    }

    CopiedTable run()
    {
        if (const LogicalIndexDef *key = def_.primaryKey(); key && key->realIndex < def_.realIndexes.size())
            copyInKeyOrder(def_.realIndexes[key->realIndex]);
        copyRemainingInPhysicalOrder();
        dataRun_.flush();
        for (auto &[number, writer] : longValues_)
            writer->finish();
        for (const RealIndexDef &index : def_.realIndexes)
            result_.indexes.push_back(rebuildIndex(index));
        result_.dataPages = dataRun_.pages();
        result_.dataPagesWithRoom = dataRun_.pagesWithRoom(smallestRow_);
        for (const LongValueMaps &maps : def_.longValueMaps) {
            const LongValueWriter &writer = *longValues_.at(maps.columnNumber);
            result_.longValueColumns.push_back({maps.columnNumber, writer.ownedPages(), writer.pagesWithRoom()});
        }
        return std::move(result_);
    }

private:
    void copyInKeyOrder(const RealIndexDef &index)
    {
        PageHandle keepHeader, keepBody;
        const std::string what = tableWhere(name_) + " の主キー";
        walkIndex(file_, index, what, [&](const IndexEntry &entry) {
            const RowId position = entry.row;
            if (relocation_.contains(position.page, position.row))
                return;  // a duplicate entry; the index check below reports it
            const std::string where = tableWhere(name_) + " の" + file_.describePage(position.page) + " 行 " +
                                      std::to_string(position.row);
            const FetchedRow fetched = readLiveRowAt(file_, def_, position, keepHeader, keepBody, where);
            relocation_.addPage(position.page, fetched.rowSlotsOnPage);
            copyRow(fetched.row, where);
        });
    }

    void copyRemainingInPhysicalOrder()
    {
        TableScan scan(file_, def_, name_);
        std::uint32_t lastPage = 0;
        while (scan.next()) {
            const LiveRow &row = scan.row();
            if (row.position.page != lastPage) {
                lastPage = row.position.page;
                if (!relocation_.hasPage(lastPage))
                    relocation_.addPage(lastPage, DataPageView(file_, file_.page(lastPage)).rowCount());
            }
            if (!relocation_.contains(row.position.page, row.position.row))
                copyRow(row, scan.where());
        }
    }

    void copyRow(const LiveRow &row, const std::string &where)
    {
        copy_.assign(row.bytes.begin(), row.bytes.end());
        decoder_.split(row.bytes, where);
        moved_.clear();
        for (const LongValueField &field : decoder_.longValueFields(where)) {
            if (field.header.kind == LongValueHeader::Kind::Inline)
                continue;
            std::vector<std::uint8_t> value = readLongValue(file_, field.header, where);
            const auto header = writerFor(*field.column).write(value);
            std::memcpy(copy_.data() + field.offsetInRow, header.data(), header.size());
            moved_.push_back({field.offsetInRow, std::move(value)});
        }
        result_.digest.add(digestRow(row.bytes, moved_));
        if (autoNumber_) {
            const Value value = decoder_.value(*autoNumber_, where);
            if (value.kind == Value::Kind::Integer && (!result_.largestAutoNumber || value.integer > *result_.largestAutoNumber))
                result_.largestAutoNumber = value.integer;
        }
        if (copy_.size() > DataPageBuilder::maxRowLength(jet3_, def_.pageSize))
            throw Error(ErrorKind::Damaged, where + ": 行の長さ " + std::to_string(copy_.size()) + " がページに収まりません。");
        const std::uint32_t newRef = dataRun_.add(copy_);
        if (!relocation_.record(row.position.page, row.position.row, newRef))
            throw Error(ErrorKind::Damaged, where + ": 同じ行が二度現れました。");
        if (copy_.size() < smallestRow_)
            smallestRow_ = copy_.size();
        ++result_.rows;
        if (context_.rowProgress)
            context_.rowProgress(result_.rows);
    }

    LongValueWriter &writerFor(const ColumnDef &column)
    {
        auto it = longValues_.find(column.number);
        if (it == longValues_.end())
            it = longValues_.emplace(column.number, std::make_unique<LongValueWriter>(jet3_, def_.pageSize, context_.allocator,
                                                                                       context_.pages)).first;
        return *it->second;
    }

    IndexTreeResult rebuildIndex(const RealIndexDef &index)
    {
        const std::string what = tableWhere(name_) + " の索引 " + std::to_string(index.number);
        SpillSorter sorter(context_.spillFolder, context_.sortBudget);
        RowRelocation::Marks seen(relocation_);
        walkIndex(file_, index, what, [&](const IndexEntry &entry) {
            const RowId old = entry.row;
            const ByteSpan key = entry.key;
            const auto moved = relocation_.lookup(old.page, old.row);
            if (!moved)
                throw Error(ErrorKind::Damaged, what + " のエントリが存在しない行 " + old.describe() + " を指しています。");
            if (!seen.mark(old.page, old.row))
                throw Error(ErrorKind::Damaged, what + " に行 " + old.describe() + " のエントリが二つあります。");
            sorter.add(key, *moved);
        });
        if (sorter.count() > result_.rows || (!index.ignoreNulls() && sorter.count() != result_.rows))
            throw Error(ErrorKind::Damaged, what + " のエントリ数 " + std::to_string(sorter.count()) + " が行数 " +
                                                std::to_string(result_.rows) + " と合いません。");
        PageSink sink{[this] { return context_.allocator.allocate(); },
                      [this](PageNumber page, ByteSpan bytes) { context_.pages.write(page, bytes); }};
        IndexTreeWriter tree(jet3_ ? PageFormat::Jet3 : PageFormat::Jet4, def_.firstPage, sink);
        sorter.drain([&](ByteSpan key, std::uint32_t ref) {
            tree.add(key, RowLocation{ref >> 8, static_cast<std::uint8_t>(ref & 0xFF)});
        });
        return tree.finish();
    }

    const CopyContext &context_;
    const PageFile &file_;
    const std::string &name_;
    const TableDef &def_;
    bool jet3_;
    PageRun dataRun_;
    RowDecoder decoder_;
    const ColumnDef *autoNumber_;
    std::map<std::uint16_t, std::unique_ptr<LongValueWriter>> longValues_;
    RowRelocation relocation_;
    std::vector<std::uint8_t> copy_;
    std::vector<MovedLongValue> moved_;
    std::size_t smallestRow_ = 0xFFFF;
    CopiedTable result_;
};

}  // namespace

CopiedTable copyTable(const CopyContext &context, const std::string &tableName, const TableDef &def)
{
    return TableCopier(context, tableName, def).run();
}

}  // namespace jet::write
