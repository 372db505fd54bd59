#include "jet/write/CopyVerifier.h"

#include "jet/Database.h"
#include "jet/Error.h"
#include "jet/check/Checker.h"
#include "jet/write/DigestThread.h"

#include <map>

namespace jet::write {

namespace {

const std::string kFailed = "最適化したデータベースの検査に失敗しました: ";

// The digest of every table, taken from the rows the checker reads anyway.
class DigestingObserver : public RowObserver {
public:
    void tableStarts(const std::string &, const TableDef &def) override { digests_.startTable(def.firstPage); }
    void row(ByteSpan bytes, std::span<const OutOfRowValue> outOfRow) override { digests_.addRow(bytes, outOfRow); }
    std::map<std::uint32_t, TableDigest> finish() { return digests_.finish(); }

private:
    DigestThread digests_;
};

}  // namespace

void requireNoProblems(const CheckReport &report, const std::string &failed)
{
    for (const Finding &finding : report.findings)
        if (finding.severity == Finding::Severity::Problem)
            throw Error(ErrorKind::Damaged,
                        failed + (finding.table.empty() ? "" : "テーブル '" + finding.table + "': ") + finding.message);
}

void requireSameRows(const std::string &failed, const std::string &table, const std::optional<std::uint64_t> &storedRows,
                     const TableDigest &expected, const TableDigest &found)
{
    const std::string rows = failed + "テーブル '" + table + "' の行数が " + std::to_string(found.rows) + " です";
    if (storedRows && found.rows != *storedRows)
        throw Error(ErrorKind::Damaged, rows + "（元の定義の行数は " + std::to_string(*storedRows) + "）。");
    if (found.rows != expected.rows)
        throw Error(ErrorKind::Damaged, rows + "（元は " + std::to_string(expected.rows) + "）。");
    if (found.sum != expected.sum)
        throw Error(ErrorKind::Damaged, failed + "テーブル '" + table + "' の内容が元のデータベースと一致しません。");
}

TableDigest digestTable(const Database &database, const std::string &tableName, std::uint32_t definitionPage)
{
    TableEntry entry;
    entry.name = tableName;
    entry.definitionPage = definitionPage;
    const TableDef def = database.tableDef(entry);
    TableDigest digest;
    std::vector<MovedLongValue> moved;
    database.forEachRow(def, tableName, [&](const LiveRow &row, RowDecoder &decoder, const std::string &where) {
        moved.clear();
        for (const LongValueField &field : decoder.longValueFields(where))
            if (field.header.kind != LongValueHeader::Kind::Inline)
                moved.push_back(MovedLongValue{field.offsetInRow, readLongValue(database.file(), field.header, where)});
        digest.add(digestRow(row.bytes, moved));
    });
    return digest;
}

void verifyCopy(const std::string &path, const std::string &password, const std::vector<ExpectedTable> &tables)
{
    verifyCopy([&] { return Database::open(path, password); }, tables);
}

void verifyCopy(const std::function<std::unique_ptr<Database>()> &openCopy, const std::vector<ExpectedTable> &tables)
{
    const auto copy = openCopy();
    DigestingObserver observer;
    CheckOptions options;
    options.rows = &observer;
    options.reopen = openCopy;
    requireNoProblems(checkDatabase(*copy, options), kFailed);
    const std::map<std::uint32_t, TableDigest> digests = observer.finish();
    for (const ExpectedTable &expected : tables) {
        // A table the catalog of the copy does not list is read on its own;
        // its absence from the catalog would be a finding of its own.
        const auto seen = digests.find(expected.definitionPage);
        requireSameRows(kFailed, expected.name, expected.storedRows, expected.digest,
                        seen != digests.end() ? seen->second : digestTable(*copy, expected.name, expected.definitionPage));
    }
}

}  // namespace jet::write
