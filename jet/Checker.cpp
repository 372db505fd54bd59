#include "jet/Checker.h"

#include "jet/Error.h"
#include "jet/IndexPage.h"
#include "jet/LiveRowSlots.h"
#include "jet/UsageMap.h"

#include <algorithm>
#include <unordered_map>

namespace jet {

namespace {

// §check.notes: Access lets the stored row count of these drift.
bool rowCountMayDrift(const std::string &table)
{
    return table == "MSysACEs" || table == "MSysQueries" || table == "MSysObjects" || table == "MSysAccessStorage";
}

bool allZero(ByteSpan bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0; });
}

// Types a Jet 3 / Jet 4 database can hold (§types); the rest are ACE types.
// 0x11 is Jet 4's own: MSysAccessObjects.Data, a fixed 3992-byte binary.
bool isJetColumnType(ColumnType type)
{
    const auto code = static_cast<unsigned>(type);
    return (code >= 0x01 && code <= 0x0C) || type == ColumnType::Guid || type == ColumnType::Decimal ||
           type == ColumnType::Unknown11;
}

class Checker {
public:
    Checker(const Database &db, const CheckOptions &options)
        : db_(db), file_(db.file()), options_(options), owner_(file_.pageCount(), kNoOwner), rows_(file_.pageCount())
    {
    }

    CheckReport run()
    {
        ownerNames_.push_back("データベースの見出し");
        owner_[0] = 0;
        mapHolder_ = ownerId("使用マップ");
        owner_[1] = mapHolder_;
        if (file_.hasPartialLastPage())
            problem("", file_.pageCount(), std::nullopt,
                    "ファイルの最後のページが途中で切れています（" + std::to_string(file_.fileSize()) + " バイト）。");
        const auto &tables = db_.catalog().tables;
        for (std::size_t i = 0; i < tables.size(); ++i) {
            checkTable(tables[i]);
            if (options_.progress)
                options_.progress(static_cast<int>(90 * (i + 1) / tables.size()));
        }
        guarded("", [&] { checkPageAccounting(); });
        if (options_.progress)
            options_.progress(100);
        return std::move(report_);
    }

private:
    static constexpr std::uint32_t kNoOwner = 0xFFFFFFFF;

    void add(Finding::Severity severity, const std::string &table, std::optional<PageNumber> page,
             std::optional<std::size_t> offset, const std::string &message)
    {
        report_.findings.push_back({severity, table, page, offset, message});
    }
    void problem(const std::string &table, std::optional<PageNumber> page, std::optional<std::size_t> offset,
                 const std::string &message)
    {
        add(Finding::Severity::Problem, table, page, offset, message);
    }
    void note(const std::string &table, std::optional<PageNumber> page, const std::string &message)
    {
        add(Finding::Severity::Note, table, page, std::nullopt, message);
    }

    // Runs `step`; damage it throws becomes a problem and the check goes on.
    template <typename Step>
    bool guarded(const std::string &table, Step step)
    {
        try {
            step();
            return true;
        } catch (const Error &error) {
            add(error.kind() == ErrorKind::Unsupported ? Finding::Severity::Unsupported : Finding::Severity::Problem,
                table, std::nullopt, std::nullopt, error.what());
            return false;
        }
    }

    std::uint32_t ownerId(const std::string &name)
    {
        ownerNames_.push_back(name);
        return static_cast<std::uint32_t>(ownerNames_.size() - 1);
    }

    // §check.pages: every page has exactly one owner.
    void claim(PageNumber page, std::uint32_t owner, const std::string &table)
    {
        if (page >= owner_.size())
            return;
        if (owner_[page] == kNoOwner || owner_[page] == owner) {
            owner_[page] = owner;
            return;
        }
        problem(table, page, std::nullopt,
                "ページが " + ownerNames_[owner_[page]] + " と " + ownerNames_[owner] + " の両方に使われています。");
    }

    // A null reference means "no map" (seen for free-space maps of tables that never had one).
    UsageMap readMap(RowId location, const std::string &what, std::uint32_t owner, const std::string &table)
    {
        if (location.isNull())
            return {};
        UsageMap map = readUsageMap(file_, location, what);
        claim(location.page, mapHolder_, table);
        if (map.bitsPastEnd > 0)
            problem(table, location.page, std::nullopt,
                    what + "（" + location.describe() + "）に、ファイルの終わりを越えるページが " +
                        std::to_string(map.bitsPastEnd) + " ページ登録されています。");
        for (PageNumber page : map.bitmapPages)
            if (page != 0)
                claim(page, mapHolder_, table);
        for (PageNumber page : map.pages)
            claim(page, owner, table);
        return map;
    }

    void checkTable(const TableEntry &entry)
    {
        if (entry.kind == TableKind::Linked)
            return;
        ++report_.tables;
        TableDef def;
        if (!guarded(entry.name, [&] { def = db_.tableDef(entry); }))
            return;
        const std::uint32_t definition = ownerId("テーブル '" + entry.name + "' の定義");
        tableAt_[def.firstPage] = entry.name;
        for (PageNumber page : def.pages)
            claim(page, definition, entry.name);
        if (def.definitionLength > def.bytes.size() || def.offsets.end > def.definitionLength)
            problem(entry.name, def.firstPage, def.offsets.end,
                    "定義の長さ " + std::to_string(def.definitionLength) + " が内容（" +
                        std::to_string(def.offsets.end) + " バイト）と合いません。");
        for (const ColumnDef &column : def.columns)
            if (!isJetColumnType(column.type))
                add(Finding::Severity::Unsupported, entry.name, def.firstPage, column.definitionOffset,
                    "列 '" + column.name + "' の型 " + std::to_string(static_cast<unsigned>(column.type)) +
                        " は Jet 3 / Jet 4 の型ではないため、値を確かめられません。");
        if (entry.kind == TableKind::LinkedOdbc)
            return;
        rows_.clear();
        TableCheck(*this, entry.name, def).run();
    }

    class TableCheck {
    public:
        TableCheck(Checker &checker, const std::string &name, const TableDef &def)
            : c_(checker), name_(name), def_(def)
        {
        }

        void run()
        {
            const std::uint32_t data = c_.ownerId("テーブル '" + name_ + "' のデータ");
            UsageMap owned;
            if (!c_.guarded(name_, [&] {
                    owned = c_.readMap(def_.ownedPages, "テーブル '" + name_ + "' のデータページの使用マップ", data, name_);
                }))
                return;
            c_.guarded(name_, [&] { checkFreeMap(owned); });
            c_.guarded(name_, [&] { claimLongValuePages(); });
            scanRows();
            c_.report_.rows += rowCount_;
            checkRowCount();
            for (const RealIndexDef &index : def_.realIndexes)
                c_.guarded(name_, [&] { checkIndex(index); });
        }

    private:
        void checkFreeMap(const UsageMap &owned)
        {
            if (def_.freePages.isNull())
                return;
            const UsageMap free = readUsageMap(c_.file_, def_.freePages, "テーブル '" + name_ + "' の空きページの使用マップ");
            c_.claim(def_.freePages.page, c_.mapHolder_, name_);
            for (PageNumber page : free.pages)
                if (!owned.contains(page))
                    c_.problem(name_, page, std::nullopt, "空き領域のあるページとして登録されていますが、テーブルのページではありません。");
        }

        void claimLongValuePages()
        {
            for (const LongValueMaps &maps : def_.longValueMaps) {
                const ColumnDef *column = def_.columnByNumber(maps.columnNumber);
                const std::string label = "列 " + (column ? "'" + column->name + "'" : std::to_string(maps.columnNumber));
                const std::uint32_t owner = c_.ownerId("テーブル '" + name_ + "' の" + label + " の長い値");
                const UsageMap map = c_.readMap(maps.ownedPages, "テーブル '" + name_ + "' の" + label + " の長い値の使用マップ",
                                                owner, name_);
                for (PageNumber page : map.pages) {
                    PageHandle handle = c_.file_.page(page);
                    if (handle->bytes[0] != static_cast<std::uint8_t>(PageType::Data) ||
                        loadLE32(handle->bytes.data() + 4) != kLongValueOwner)
                        c_.problem(name_, page, std::nullopt, label + " の長い値のページとして登録されていますが、LVAL ページではありません。");
                }
                c_.readMap(maps.freePages, "テーブル '" + name_ + "' の" + label + " の長い値の空きページの使用マップ", owner,
                           name_);
                longValuePages_[maps.columnNumber] = map;
            }
        }

        void scanRows()
        {
            RowDecoder decoder(c_.file_, def_);
            TableScan scan(c_.file_, def_, name_);
            prepareRowInspection();
            const ColumnDef *autoNumber = def_.autoNumberColumn();
            RowObserver *observer = c_.options_.rows;
            if (observer)
                observer->tableStarts(name_, def_);
            std::string where;
            const bool scanned = c_.guarded(name_, [&] {
                while (scan.next()) {
                    ++rowCount_;
                    const std::uint32_t slot = c_.rows_.add(scan.row().position);
                    if (!inspectRow(scan, decoder, where))
                        continue;
                    const RowColumns &columns = decoder.columns();
                    recordNullKeys(columns, slot);
                    if (autoNumber && columns.columns[autoNumber->position].present) {
                        decodeValueInto(decoder.context(), *autoNumber, columns.columns[autoNumber->position], where,
                                        scratch_);
                        maxAutoNumber_ = std::max(maxAutoNumber_, scratch_.integer);
                    }
                    if (observer)
                        observer->row(scan.row().bytes, std::span(outOfRow_.data(), outOfRowCount_));
                }
            });
            for (const SkippedPage &skipped : scan.skippedPages())
                c_.problem(name_, skipped.page, std::nullopt, "データページの使用マップにありますが、" + skipped.reason + "。");
            if (scanned && autoNumber && maxAutoNumber_ > static_cast<std::int64_t>(def_.autoNumber))
                c_.problem(name_, def_.firstPage, def_.offsets.autoNumber,
                           "オートナンバーの最終値 " + std::to_string(def_.autoNumber) + " が列 '" + autoNumber->name +
                               "' の最大値 " + std::to_string(maxAutoNumber_) + " より小さくなっています。");
        }

        void prepareRowInspection()
        {
            for (const ColumnDef &column : def_.columns)
                columnLabels_.push_back(" 列 '" + column.name + "'");
            // Null keys matter to the duplicate check of unique indexes and to
            // the coverage of indexes that leave null keys out.
            nullKeys_.resize(std::min<std::size_t>(def_.realIndexes.size(), 64));
            for (std::size_t i = 0; i < nullKeys_.size(); ++i) {
                const RealIndexDef &index = def_.realIndexes[i];
                if (!index.unique() && !index.ignoreNulls())
                    continue;
                NullKeyMarks &marks = nullKeys_[i];
                marks.wanted = true;
                for (const IndexKeyColumn &key : index.columns)
                    if (const ColumnDef *column = def_.columnByNumber(key.columnNumber))
                        marks.columns.push_back(column);
            }
        }

        // Messages name the row (table, file, page, row). Building that name
        // for each of millions of rows would cost more than checking them, so
        // a row is checked unnamed first and, only when something is wrong,
        // once more with its name for the message; the check only reads, so
        // the second run finds the same. False when the row is damaged.
        bool inspectRow(const TableScan &scan, RowDecoder &decoder, std::string &where)
        {
            static const std::string unnamed;
            try {
                inspectRowContent(scan.row().bytes, decoder, unnamed);
            } catch (const Error &) {
                scan.where(where);
                if (!c_.guarded(name_, [&] { inspectRowContent(scan.row().bytes, decoder, where); }))
                    return false;
            }
            if (!misplaced_.empty()) {
                scan.where(where);
                for (const MisplacedLongValue &misplaced : misplaced_)
                    c_.problem(name_, misplaced.row.page, std::nullopt,
                               where + " 列 '" + misplaced.column->name + "' の長い値の行 " + misplaced.row.describe() +
                                   " が列の使用マップにないページにあります。");
            }
            return true;
        }

        // Everything decoding the row's values would find wrong, without
        // converting text: fixed-size values must be whole, long values
        // readable and on their column's pages.
        void inspectRowContent(ByteSpan bytes, RowDecoder &decoder, const std::string &where)
        {
            misplaced_.clear();
            outOfRowCount_ = 0;
            const RowColumns &columns = decoder.split(bytes, where);
            for (std::size_t i = 0; i < def_.columns.size(); ++i) {
                const ColumnDef &column = def_.columns[i];
                const ColumnSlice &slice = columns.columns[i];
                if (column.type == ColumnType::Boolean || !slice.present || column.type == ColumnType::Text)
                    continue;
                if (column.isLongValue())
                    inspectLongValue(column, slice, where + columnLabels_[i]);
                else
                    decodeValueInto(decoder.context(), column, slice, where, scratch_);
            }
        }

        void inspectLongValue(const ColumnDef &column, const ColumnSlice &slice, const std::string &where)
        {
            const auto header = parseLongValueHeader(slice.bytes, where);
            if (!header)
                return;
            OutOfRowValue *value = nullptr;
            if (c_.options_.rows && header->kind != LongValueHeader::Kind::Inline) {
                if (outOfRowCount_ == outOfRow_.size())
                    outOfRow_.emplace_back();
                value = &outOfRow_[outOfRowCount_++];
                value->offsetInRow = slice.offset;
                value->bytes.clear();
            }
            const auto map = longValuePages_.find(column.number);
            visitLongValueRows(c_.file_, *header, where, [&](RowId row, ByteSpan data) {
                if (map != longValuePages_.end() && !map->second.contains(row.page))
                    misplaced_.push_back({&column, row});
                if (value)
                    value->bytes.insert(value->bytes.end(), data.begin(), data.end());
            });
        }

        void recordNullKeys(const RowColumns &columns, std::uint32_t slot)
        {
            if (slot == LiveRowSlots::kNone)
                return;
            for (NullKeyMarks &marks : nullKeys_) {
                if (!marks.wanted)
                    continue;
                bool allNull = true;
                for (const ColumnDef *column : marks.columns)
                    if (column->type == ColumnType::Boolean || columns.columns[column->position].present)
                        allNull = false;
                if (marks.bits.size() <= slot)
                    marks.bits.resize(slot + 1);
                marks.bits[slot] = allNull;
            }
        }

        // Whether every key column of real index `number` is null in the row at `slot`.
        bool hasNullKey(std::size_t number, std::uint32_t slot) const
        {
            if (number >= nullKeys_.size())
                return false;
            const std::vector<bool> &bits = nullKeys_[number].bits;
            return slot < bits.size() && bits[slot];
        }

        void checkRowCount()
        {
            if (def_.rowCount == rowCount_)
                return;
            const std::string message = "定義の行数 " + std::to_string(def_.rowCount) + " と実際の行数 " +
                                        std::to_string(rowCount_) + " が違います。";
            if (rowCountMayDrift(name_))
                c_.note(name_, def_.firstPage, message);
            else
                c_.problem(name_, def_.firstPage, def_.offsets.rowCount, message);
        }

        void checkIndex(const RealIndexDef &index)
        {
            const std::string label = "索引 " + std::to_string(index.number);
            const std::string where = "テーブル '" + name_ + "' の" + label;
            const std::uint32_t owner = c_.ownerId(where);
            const UsageMap map = c_.readMap(index.usageMap, where + " の使用マップ", owner, name_);
            const LiveRowSlots &rows = c_.rows_;
            hits_.assign(rows.slotCount(), 0);
            std::vector<std::uint8_t> previousKey;
            RowId previousRow;
            bool first = true;
            std::uint64_t distinct = 0;
            std::uint64_t disorder = 0, dangling = 0, duplicates = 0;
            const IndexWalk walk = walkIndex(c_.file_, index, where, [&](const IndexEntry &entry) {
                const bool sameKey = !first && entry.key == previousKey;
                if (!first && (entry.key < previousKey || (sameKey && !(previousRow < entry.row))))
                    if (disorder++ == 0)
                        c_.problem(name_, entry.leafPage, std::nullopt, label + " の項目が順序どおりではありません（" +
                                                                            entry.row.describe() + "）。");
                const std::uint32_t slot = rows.find(entry.row);
                if (slot == LiveRowSlots::kNone) {
                    if (dangling++ == 0)
                        c_.problem(name_, entry.leafPage, std::nullopt,
                                   label + " の項目が存在しない行 " + entry.row.describe() + " を指しています。");
                } else {
                    if (sameKey && index.unique() && !hasNullKey(index.number, slot) && duplicates++ == 0)
                        c_.problem(name_, entry.leafPage, std::nullopt,
                                   label + " は一意ですが、" + entry.row.describe() + " のキーが重複しています。");
                    if (hits_[slot] < 2)
                        ++hits_[slot];
                }
                if (!sameKey)
                    ++distinct;
                previousKey = entry.key;
                previousRow = entry.row;
                first = false;
            });
            c_.report_.indexEntries += walk.entries;
            if (disorder > 1 || dangling > 1 || duplicates > 1)
                c_.problem(name_, index.rootPage, std::nullopt,
                           label + ": 順序違い " + std::to_string(disorder) + " 件、存在しない行 " + std::to_string(dangling) +
                               " 件、一意違反 " + std::to_string(duplicates) + " 件。");
            checkIndexPages(index, label, walk, map, owner);
            checkLeafLinks(label, walk);
            checkIndexCoverage(index, label);
            if (distinct != index.uniqueCount)
                c_.note(name_, def_.firstPage, label + " の異なるキーの数 " + std::to_string(index.uniqueCount) +
                                                   " が実際（" + std::to_string(distinct) + "）と違います。");
        }

        void checkIndexPages(const RealIndexDef &index, const std::string &label, const IndexWalk &walk,
                             const UsageMap &map, std::uint32_t owner)
        {
            std::vector<PageNumber> pages = walk.pages;
            std::sort(pages.begin(), pages.end());
            for (PageNumber page : pages) {
                c_.claim(page, owner, name_);
                if (!map.contains(page))
                    c_.problem(name_, page, std::nullopt, label + " のページが索引の使用マップにありません。");
                const PageHandle handle = c_.file_.page(page);
                if (loadLE32(handle->bytes.data() + 4) != def_.firstPage)
                    c_.problem(name_, page, 4, label + " のページの所有者が別のテーブル定義を指しています。");
            }
            for (PageNumber page : map.pages)
                if (!std::binary_search(pages.begin(), pages.end(), page))
                    c_.problem(name_, page, std::nullopt, label + " の使用マップにありますが、索引の木にないページです。");
            (void)index;
        }

        // §index.tree: leaves are chained both ways in key order, ends at 0.
        void checkLeafLinks(const std::string &label, const IndexWalk &walk)
        {
            const auto &leaves = walk.leaves;
            for (std::size_t i = 0; i < leaves.size(); ++i) {
                const PageNumber expectedPrevious = i == 0 ? 0 : leaves[i - 1].page;
                const PageNumber expectedNext = i + 1 == leaves.size() ? 0 : leaves[i + 1].page;
                if (leaves[i].previous != expectedPrevious || leaves[i].next != expectedNext) {
                    c_.problem(name_, leaves[i].page, std::nullopt,
                               label + " の葉ページの前後のつながり（前 " + std::to_string(leaves[i].previous) + "、次 " +
                                   std::to_string(leaves[i].next) + "）が木の順序（前 " +
                                   std::to_string(expectedPrevious) + "、次 " + std::to_string(expectedNext) +
                                   "）と合いません。");
                    return;
                }
            }
        }

        void checkIndexCoverage(const RealIndexDef &index, const std::string &label)
        {
            std::uint64_t missing = 0, repeated = 0;
            RowId firstMissing, firstRepeated;
            c_.rows_.forEachRow([&](std::uint32_t slot, RowId position) {
                const unsigned count = hits_[slot];
                const bool mayBeAbsent = index.ignoreNulls() && hasNullKey(index.number, slot);
                if (count == 0 && !mayBeAbsent && missing++ == 0)
                    firstMissing = position;
                if (count > 1 && repeated++ == 0)
                    firstRepeated = position;
            });
            if (missing)
                c_.problem(name_, firstMissing.page, std::nullopt,
                           label + " に項目のない行が " + std::to_string(missing) + " 行あります（最初は " +
                               firstMissing.describe() + "）。");
            if (repeated)
                c_.problem(name_, firstRepeated.page, std::nullopt,
                           label + " に複数の項目がある行が " + std::to_string(repeated) + " 行あります（最初は " +
                               firstRepeated.describe() + "）。");
        }

        struct NullKeyMarks {
            bool wanted = false;
            std::vector<const ColumnDef *> columns;  // the key columns the table has
            std::vector<bool> bits;                  // per row slot
        };
        struct MisplacedLongValue {
            const ColumnDef *column;
            RowId row;
        };

        Checker &c_;
        const std::string &name_;
        const TableDef &def_;
        std::uint64_t rowCount_ = 0;
        std::unordered_map<std::uint16_t, UsageMap> longValuePages_;
        std::int64_t maxAutoNumber_ = 0;
        std::vector<std::string> columnLabels_;
        std::vector<NullKeyMarks> nullKeys_;          // per real index (the first 64)
        std::vector<MisplacedLongValue> misplaced_;   // of the row being inspected
        std::vector<OutOfRowValue> outOfRow_;         // of the row being inspected (capacity kept)
        std::size_t outOfRowCount_ = 0;
        Value scratch_;
        std::vector<std::uint8_t> hits_;              // per row slot, for the index being checked; 2 = more than one
    };

    // §check.pages: owned pages must not be free; other pages must be.
    void checkPageAccounting()
    {
        const UsageMap global = readGlobalUsageMap(file_);
        std::vector<bool> isFree(file_.pageCount(), false);
        for (PageNumber page : global.pages)
            isFree[page] = true;
        std::uint64_t blank = 0;
        std::vector<PageNumber> unused;
        for (PageNumber page = 0; page < file_.pageCount(); ++page) {
            const bool owned = owner_[page] != kNoOwner;
            if (owned && isFree[page]) {
                problem("", page, std::nullopt, ownerNames_[owner_[page]] + " のページが空きページとして登録されています。");
            } else if (!owned && !isFree[page]) {
                const PageHandle handle = file_.page(page);
                if (allZero(handle->bytes))
                    ++blank;
                else if (!reportOrphan(page, handle->bytes))
                    unused.push_back(page);
            }
        }
        // §check.notes: Access leaves stale LVAL and type-9 pages behind without freeing them.
        if (!unused.empty()) {
            std::string list;
            for (std::size_t i = 0; i < unused.size() && i < 10; ++i)
                list += (i ? ", " : "") + std::to_string(unused[i]);
            note("", unused.front(), "どこからも使われていないのに空きページとして登録されていないページが " +
                                         std::to_string(unused.size()) + " ページあります（" + list +
                                         (unused.size() > 10 ? ", …" : "") + "）。");
        }
        if (blank)
            note("", std::nullopt, "空白のまま空きページとして登録されていないページが " + std::to_string(blank) + " ページあります。");
    }

    // A data or index page that names a table as its owner but that none of
    // the table's maps lists. Northwind has four such pages of
    // MSysNavPaneObjectIDs full of rows while the table's row count and indexes
    // agree with its mapped pages: stale copies Access left behind. Rows the
    // map lost would show as row-count and index problems, so this is a note.
    bool reportOrphan(PageNumber page, const std::vector<std::uint8_t> &bytes)
    {
        const std::uint8_t type = bytes[0];
        if (type != static_cast<std::uint8_t>(PageType::Data) && type != static_cast<std::uint8_t>(PageType::IndexLeaf) &&
            type != static_cast<std::uint8_t>(PageType::IndexNode))
            return false;
        const auto table = tableAt_.find(loadLE32(bytes.data() + 4));
        if (table == tableAt_.end())
            return false;
        note(table->second, page,
             std::string(type == static_cast<std::uint8_t>(PageType::Data) ? "データ" : "索引") +
                 "ページの所有者はこのテーブルですが、テーブルの使用マップにも索引の木にもない古いページです。");
        return true;
    }

    const Database &db_;
    const PageFile &file_;
    const CheckOptions &options_;
    std::unordered_map<PageNumber, std::string> tableAt_;
    CheckReport report_;
    std::vector<std::uint32_t> owner_;
    std::vector<std::string> ownerNames_;
    std::uint32_t mapHolder_ = 0;
    LiveRowSlots rows_;  // of the table being checked; kept for its memory
};

const char *severityName(Finding::Severity severity)
{
    switch (severity) {
    case Finding::Severity::Problem: return "problem";
    case Finding::Severity::Note: return "note";
    case Finding::Severity::Unsupported: return "unsupported";
    }
    return "problem";
}

}  // namespace

std::string Finding::format() const
{
    std::string line = severityName(severity);
    line += "\t" + (table.empty() ? std::string("-") : table);
    line += "\t" + (page ? "page " + std::to_string(*page) : std::string("-"));
    line += "\t" + (offset ? "offset " + std::to_string(*offset) : std::string("-"));
    line += "\t" + message;
    return line;
}

std::size_t CheckReport::count(Finding::Severity severity) const
{
    return static_cast<std::size_t>(std::count_if(findings.begin(), findings.end(),
                                                  [&](const Finding &f) { return f.severity == severity; }));
}

CheckReport checkDatabase(const Database &db, const std::function<void(int)> &progress)
{
    CheckOptions options;
    options.progress = progress;
    return checkDatabase(db, options);
}

CheckReport checkDatabase(const Database &db, const CheckOptions &options)
{
    return Checker(db, options).run();
}

CheckReport checkFile(const std::string &path, const std::string &password)
{
    std::unique_ptr<Database> db;
    try {
        db = Database::open(path, password);
    } catch (const Error &error) {
        if (error.kind() != ErrorKind::Damaged)
            throw;
        CheckReport report;
        report.findings.push_back({Finding::Severity::Problem, "", std::nullopt, std::nullopt, error.what()});
        return report;
    }
    return checkDatabase(*db);
}

}  // namespace jet
