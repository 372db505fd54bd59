#include "jet/write/TableCopier.h"

#include "jet/DataPage.h"
#include "jet/Error.h"
#include "jet/IndexPage.h"
#include "jet/LongValue.h"
#include "jet/StoredRowCount.h"
#include "jet/write/DigestThread.h"
#include "jet/write/IdKeyRewriter.h"
#include "jet/write/LiveRowAt.h"
#include "jet/write/LongValueWriter.h"
#include "jet/write/IndexRebuilder.h"
#include "jet/write/KeyOrderCopy.h"
#include "jet/write/PageRun.h"
#include "jet/write/RowDigest.h"
#include "jet/write/RowRelocation.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <optional>

namespace jet::write {

namespace {

std::string tableWhere(const std::string &name) { return "テーブル '" + name + "'"; }

class TableCopier {
public:
    TableCopier(const CopyContext &context, const std::string &name, const TableDef &def)
        : context_(context),
          file_(context.source.file()),
          name_(name),
          where_(tableWhere(name)),
          def_(def),
          format_(formatConstants(def.version)),
          dataRun_(format_, context.definitionPage, context.allocator, context.pages),
          decoder_(file_, def),
          autoNumber_(def.autoNumberColumn()),
          relocation_(file_.pageCount(), context.spillFolder, context.relocationBudget),
          idColumns_(objectIdColumns(name, def))
    {
        for (const LongValueMaps &maps : def.longValueMaps)
            longValues_.emplace(maps.columnNumber, std::make_unique<LongValueWriter>(format_, context.allocator,
                                                                                       context.pages));
        for (std::size_t i = 0; i < def.columns.size(); ++i)
            if (def.columns[i].isLongValue())
                longValueColumns_.push_back(i);
        rowDigests_.startTable(0);
    }

    CopiedTable run()
    {
        if (const LogicalIndexDef *key = def_.primaryKey(); key && key->realIndex < def_.realIndexes.size())
            copyInKeyOrder(def_.realIndexes[key->realIndex]);
        copyRemainingInPhysicalOrder();
        // A row the map or a page lost (or one found twice) shows here, where
        // the source still says how many rows the table holds.
        requireRowsAsStored(name_, def_.rowCount, result_.rows);
        const TableDigest handedOver = rowDigests_.finish().at(0);
        result_.digest.rows += handedOver.rows;
        result_.digest.sum += handedOver.sum;
        dataRun_.flush();
        for (auto &[number, writer] : longValues_)
            writer->finish();
        const IndexRebuildContext indexContext{file_,
                                               def_,
                                               where_,
                                               relocation_,
                                               result_.rows,
                                               context_.allocator,
                                               context_.pages,
                                               context_.spillFolder,
                                               context_.sortBudget,
                                               context_.definitionPage,
                                               idColumns_,
                                               context_.ids,
                                               keyOrder_ ? &*keyOrder_ : nullptr};
        for (const RealIndexDef &index : def_.realIndexes) {
            result_.indexes.push_back(rebuildIndex(indexContext, index));
            if (result_.indexes.back().rebuiltBySorting)
                ++result_.repairs;
        }
        if (def_.autoNumberColumn() && result_.largestAutoNumber.value_or(0) > static_cast<std::int64_t>(def_.autoNumber))
            ++result_.repairs;  // the copy's seed follows the largest value
        result_.dataPages = dataRun_.pages();
        result_.dataPagesWithRoom = dataRun_.pagesWithRoom(smallestRow_);
        for (const LongValueMaps &maps : def_.longValueMaps) {
            const LongValueWriter &writer = *longValues_.at(maps.columnNumber);
            result_.longValueColumns.push_back({maps.columnNumber, writer.ownedPages(), writer.pagesWithRoom()});
        }
        return std::move(result_);
    }

private:
    // ---- rows ----

    // A long value of the row being copied that lives outside the row.
    struct MovedField {
        std::size_t offsetInRow;  // of its 12-byte header
        LongValueHeader header;
        const ColumnDef *column;
    };
    static bool byOffset(const MovedField &a, const MovedField &b) { return a.offsetInRow < b.offsetInRow; }


    // Messages about a row name it in full; building that text for every row
    // would cost more than copying most rows, so it is built only for an error.
    std::string rowWhere(RowId position) const
    {
        return where_ + " の" + file_.describePage(position.page) + " 行 " + std::to_string(position.row);
    }

    // A read that names only the table, repeated naming the row if it fails.
    template <typename Read>
    auto namingRow(RowId position, Read read) const
    {
        return withPlaceNamedOnError(where_, read, [&] { return rowWhere(position); });
    }

    void copyInKeyOrder(const RealIndexDef &index)
    {
        PageHandle keepHeader, keepBody;
        // False for a duplicate entry, which the index's rebuild reports.
        const auto copyAt = [&](RowId position, std::uint32_t &newRef) {
            if (relocation_.contains(position.page, position.row))
                return false;
            const FetchedRow fetched = namingRow(position, [&](const std::string &where) {
                return readLiveRowAt(file_, def_, position, keepHeader, keepBody, where);
            });
            if (!relocation_.hasPage(position.page))
                keyOrderPages_.push_back(position.page);
            relocation_.addPage(position.page, fetched.rowSlotsOnPage);
            newRef = copyRow(fetched.row);
            return true;
        };
        std::uint32_t newRef = 0;
        const IdKeyRewriter idKeys(def_, index, idColumns_, context_.ids, where_ + " の主キー");
        if (!idKeys.rewritesAnything()) {
            KeyOrderCopy &order = keyOrder_.emplace(index.number);
            walkIndex(file_, index, where_ + " の主キー", [&](const IndexEntry &entry) {
                if (copyAt(entry.row, newRef))
                    order.add(relocation_.slotOf(entry.row.page, entry.row.row), newRef);
                else
                    order.spoil();
            });
            return;
        }
        // A key over object ids (a system table, small): the new ids decide the order.
        std::vector<std::pair<std::vector<std::uint8_t>, RowId>> entries;
        walkIndex(file_, index, where_ + " の主キー", [&](const IndexEntry &entry) {
            entries.emplace_back();
            idKeys.rewrite(entry.key, entries.back().first);
            entries.back().second = entry.row;
        });
        std::stable_sort(entries.begin(), entries.end(),
                         [](const auto &a, const auto &b) { return a.first < b.first; });
        for (const auto &entry : entries)
            copyAt(entry.second, newRef);
    }

    void copyRemainingInPhysicalOrder()
    {
        TableScan scan(file_, def_, name_, ForeignPages::Fail);
        // Rows the primary key reached on a page the map lost are copied all
        // the same; the copy's map lists the page again.
        if (std::any_of(keyOrderPages_.begin(), keyOrderPages_.end(),
                        [&](std::uint32_t page) { return !scan.ownedPages().contains(page); }))
            ++result_.repairs;
        std::uint32_t lastPage = 0;
        while (scan.next()) {
            const LiveRow &row = scan.row();
            if (row.position.page != lastPage) {
                lastPage = row.position.page;
                if (!relocation_.hasPage(lastPage))
                    relocation_.addPage(lastPage, DataPageView(file_, file_.page(lastPage)).rowCount());
            }
            if (!relocation_.contains(row.position.page, row.position.row))
                copyRow(row);
        }
    }

    // Splits the row and finds its long values outside the row, in row
    // order. Only reads: it may run twice (see namingRow).
    void readRow(const LiveRow &row, const std::string &where)
    {
        decoder_.split(row.bytes, where);
        movedFields_.clear();
        const RowColumns &columns = decoder_.columns();
        for (std::size_t i : longValueColumns_) {
            const ColumnSlice &slice = columns.columns[i];
            if (!slice.present)
                continue;
            const auto header = parseLongValueHeader(slice.bytes, where);
            if (header && header->kind != LongValueHeader::Kind::Inline)
                movedFields_.push_back({slice.offset, *header, &def_.columns[i]});
        }
        if (!std::is_sorted(movedFields_.begin(), movedFields_.end(), byOffset))
            std::stable_sort(movedFields_.begin(), movedFields_.end(), byOffset);
        if (autoNumber_) {
            const auto number =
                integerValue(decoder_.context(), *autoNumber_, columns.columns[autoNumber_->position], where);
            if (number && (!result_.largestAutoNumber || *number > *result_.largestAutoNumber))
                result_.largestAutoNumber = number;
        }
    }

    // The row with its object ids mapped (the row itself when none changes).
    ByteSpan withMappedIds(const LiveRow &row)
    {
        bool changed = false;
        for (const ColumnDef *column : idColumns_) {
            const ColumnSlice &slice = decoder_.columns().columns[static_cast<std::size_t>(column - def_.columns.data())];
            if (!slice.present || slice.bytes.size() != 4)
                continue;
            const std::uint32_t id = loadLE32(slice.bytes.data());
            const std::uint32_t mapped = context_.ids.map(id);
            if (mapped == id)
                continue;
            if (!changed)
                idMapped_.assign(row.bytes.begin(), row.bytes.end());
            changed = true;
            for (int i = 0; i < 4; ++i)
                idMapped_[slice.offset + i] = static_cast<std::uint8_t>(mapped >> (8 * i));
        }
        return changed ? ByteSpan(idMapped_) : row.bytes;
    }

    // Returns the row's new RowRef.
    std::uint32_t copyRow(const LiveRow &row)
    {
        namingRow(row.position, [&](const std::string &where) { readRow(row, where); });
        const ByteSpan source = idColumns_.empty() ? row.bytes : withMappedIds(row);
        ByteSpan copied = source;  // unchanged unless long values moved
        if (movedFields_.empty()) {
            rowDigests_.addRow(source, {});
        } else {
            // The values are digested as they stream past, never held whole.
            RowDigester digest(source);
            copy_.assign(source.begin(), source.end());
            for (const MovedField &field : movedFields_) {
                const auto header = moveLongValue(row.position, field, digest);
                std::memcpy(copy_.data() + field.offsetInRow, header.data(), header.size());
            }
            copied = copy_;
            result_.digest.add(digest.finish());
        }
        if (copied.size() > format_.maxDataRowLength)
            throw Error(ErrorKind::Damaged, rowWhere(row.position) + ": 行の長さ " + std::to_string(copied.size()) +
                                                " がページに収まりません。");
        const std::uint32_t newRef = dataRun_.add(copied);
        if (!relocation_.record(row.position.page, row.position.row, newRef))
            throw Error(ErrorKind::Damaged, rowWhere(row.position) + ": 同じ行が二度現れました。");
        if (copied.size() < smallestRow_)
            smallestRow_ = copied.size();
        ++result_.rows;
        if (context_.rowProgress)
            context_.rowProgress(result_.rows);
        return newRef;
    }

    // Streams one long value from its source rows into the column's LVAL
    // pages and the row's digest, one fragment at a time, so that no value
    // is ever held whole. Returns the header that points at the new place.
    LongValueWriter::Header moveLongValue(RowId position, const MovedField &field, RowDigester &digest)
    {
        struct Target {
            LongValueWriter &writer;
            RowDigester &digest;
            bool digested;
        } target{writerFor(*field.column), digest, digest.beginValue(field.offsetInRow, field.header.length)};
        target.writer.beginValue(field.header.length);
        try {
            visitLongValueRows(file_, field.header, where_, [&target](RowId, ByteSpan piece) {
                target.writer.appendValue(piece);
                if (target.digested)
                    target.digest.addValueBytes(piece);
            });
        } catch (const Error &) {
            // The same read again, now naming the row and column (as withPlaceNamedOnError
            // does, but the first read also wrote the value and cannot be repeated as it was).
            visitLongValueRows(file_, field.header, rowWhere(position) + " 列 '" + field.column->name + "'",
                               [](RowId, ByteSpan) {});
            throw;
        }
        return target.writer.endValue();
    }

    LongValueWriter &writerFor(const ColumnDef &column)
    {
        auto it = longValues_.find(column.number);
        if (it == longValues_.end())
            it = longValues_.emplace(column.number, std::make_unique<LongValueWriter>(format_, context_.allocator,
                                                                                       context_.pages)).first;
        return *it->second;
    }

    const CopyContext &context_;
    const PageFile &file_;
    const std::string &name_;
    const std::string where_;
    const TableDef &def_;
    const FormatConstants &format_;
    PageRun dataRun_;
    RowDecoder decoder_;
    const ColumnDef *autoNumber_;
    std::vector<std::size_t> longValueColumns_;  // positions in def_.columns
    std::map<std::uint16_t, std::unique_ptr<LongValueWriter>> longValues_;
    RowRelocation relocation_;
    std::optional<KeyOrderCopy> keyOrder_;  // when the rows were copied through the primary key
    std::vector<const ColumnDef *> idColumns_;
    std::vector<std::uint8_t> idMapped_;
    std::vector<std::uint8_t> copy_;
    std::vector<MovedField> movedFields_;  // of the row being copied
    std::vector<std::uint32_t> keyOrderPages_;  // data pages reached through the primary key
    std::size_t smallestRow_ = 0xFFFF;
    // The rows without moved long values, digested beside the copy (the
    // others are digested in copyRow as their values stream); together they
    // make result_.digest.
    DigestThread rowDigests_;
    CopiedTable result_;
};

}  // namespace

CopiedTable copyTable(const CopyContext &context, const std::string &tableName, const TableDef &def)
{
    return TableCopier(context, tableName, def).run();
}

}  // namespace jet::write
