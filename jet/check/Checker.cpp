#include "jet/check/Checker.h"
#include "jet/check/IdCheck.h"

#include "jet/StoredRowCount.h"
#include "jet/check/CheckSink.h"
#include "jet/check/IndexCheck.h"
#include "jet/check/KeyCheck.h"
#include "jet/check/RowsCheck.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <thread>
#include <unordered_map>

namespace jet {

namespace {

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

class Checker : public CheckSink {
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
        checkObjectIds(db_, *this);
        if (options_.progress)
            options_.progress(100);
        return std::move(report_);
    }

    std::uint32_t ownerId(const std::string &name) override
    {
        ownerNames_.push_back(name);
        return static_cast<std::uint32_t>(ownerNames_.size() - 1);
    }

    void claim(PageNumber page, std::uint32_t owner, const std::string &table) override
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

    void add(Finding finding) override { report_.findings.push_back(std::move(finding)); }
    void countIndexEntries(std::uint64_t entries) override { report_.indexEntries += entries; }

private:
    static constexpr std::uint32_t kNoOwner = 0xFFFFFFFF;

    UsageMap readMap(RowId location, const std::string &what, std::uint32_t owner, const std::string &table)
    {
        return readClaimedMap(file_, *this, mapHolder_, location, what, owner, table);
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
                add({Finding::Severity::Unsupported, entry.name, def.firstPage, column.definitionOffset,
                     "列 '" + column.name + "' の型 " + std::to_string(static_cast<unsigned>(column.type)) +
                         " は Jet 3 / Jet 4 の型ではないため、値を確かめられません。"});
        if (entry.kind == TableKind::LinkedOdbc)
            return;
        rows_.clear();
        TableCheck(*this, entry.name, def).run();
    }

    // A second reading of the same file for a second thread, opened on first
    // use; null when the caller gave no way to open one.
    const PageFile *secondFile()
    {
        if (!second_ && options_.reopen && !reopenFailed_) {
            try {
                second_ = options_.reopen();
            } catch (const Error &) {
                reopenFailed_ = true;  // the check goes on with one thread
            }
        }
        return second_ ? &second_->file() : nullptr;
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
            RowsCheck rows(c_.file_, c_, name_, def_, longValuePages_, c_.options_.rows, c_.rows_);
            KeyCheck keys(c_.db_.header(), def_, c_.options_.scratchBytes);
            rows.computeKeysWith(&keys);
            rows.run();
            c_.report_.rows += rows.rowCount();
            checkRowCount(rows.rowCount());
            checkIndexes(CheckedRows{c_.rows_, rows.nullKeys(), &keys});
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

        void checkRowCount(std::uint64_t rows)
        {
            if (def_.rowCount == rows)
                return;
            const std::string message = "定義の行数 " + std::to_string(def_.rowCount) + " と実際の行数 " +
                                        std::to_string(rows) + " が違います。";
            if (storedRowCountMayDrift(name_))
                c_.note(name_, def_.firstPage, message);
            else
                c_.problem(name_, def_.firstPage, def_.offsets.rowCount, message);
        }

        void checkIndexes(const CheckedRows &rows)
        {
            const bool marksFit = c_.rows_.slotCount() / 8 <= c_.options_.scratchBytes;
            const PageFile *second = def_.realIndexes.size() > 1 && marksFit ? c_.secondFile() : nullptr;
            if (second) {
                checkIndexesOnTwoThreads(rows, *second);
                return;
            }
            for (const RealIndexDef &index : def_.realIndexes)
                IndexCheck(c_.file_, c_, c_.mapHolder_, name_, def_, rows, c_.marks_).run(index);
        }

        // Each thread takes the next index not yet taken and records what it
        // finds; the recordings are played in index order, as one thread
        // would have found them.
        void checkIndexesOnTwoThreads(const CheckedRows &rows, const PageFile &second)
        {
            const auto &indexes = def_.realIndexes;
            std::vector<RecordingSink> recordings(indexes.size());
            std::atomic<std::size_t> next{0};
            const auto work = [&](const PageFile &file, EntryMarks &marks) {
                for (std::size_t i; (i = next++) < indexes.size();)
                    IndexCheck(file, recordings[i], c_.mapHolder_, name_, def_, rows, marks).run(indexes[i]);
            };
            std::exception_ptr helperFailure, ownFailure;
            std::thread helper([&] {
                try {
                    work(second, c_.secondMarks_);
                } catch (...) {
                    helperFailure = std::current_exception();
                }
            });
            try {
                work(c_.file_, c_.marks_);
            } catch (...) {
                ownFailure = std::current_exception();
                next = indexes.size();
            }
            helper.join();
            if (ownFailure)
                std::rethrow_exception(ownFailure);
            if (helperFailure)
                std::rethrow_exception(helperFailure);
            for (const RecordingSink &recording : recordings)
                recording.playInto(c_);
        }

        Checker &c_;
        const std::string &name_;
        const TableDef &def_;
        std::unordered_map<std::uint16_t, UsageMap> longValuePages_;
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
    // Of the table being checked; kept from table to table for their memory.
    LiveRowSlots rows_;
    EntryMarks marks_, secondMarks_;
    std::unique_ptr<Database> second_;
    bool reopenFailed_ = false;
};

}  // namespace

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
    CheckOptions options;
    options.reopen = [&] { return Database::open(path, password); };
    return checkDatabase(*db, options);
}

}  // namespace jet
