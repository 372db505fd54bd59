#include "jet/write/CopyVerifier.h"

#include "jet/Checker.h"
#include "jet/Database.h"
#include "jet/Error.h"

namespace jet::write {

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
    const auto copy = Database::open(path, password);
    const CheckReport report = checkDatabase(*copy);
    for (const Finding &finding : report.findings)
        if (finding.severity == Finding::Severity::Problem)
            throw Error(ErrorKind::Damaged, "最適化したデータベースの検査に失敗しました: " +
                                                (finding.table.empty() ? "" : "テーブル '" + finding.table + "': ") +
                                                finding.message);
    for (const ExpectedTable &expected : tables) {
        const TableDigest found = digestTable(*copy, expected.name, expected.definitionPage);
        if (found.rows != expected.digest.rows)
            throw Error(ErrorKind::Damaged, "最適化したデータベースの検査に失敗しました: テーブル '" + expected.name + "' の行数が " +
                                                std::to_string(found.rows) + " です（元は " +
                                                std::to_string(expected.digest.rows) + "）。");
        if (found.sum != expected.digest.sum)
            throw Error(ErrorKind::Damaged, "最適化したデータベースの検査に失敗しました: テーブル '" + expected.name +
                                                "' の内容が元のデータベースと一致しません。");
    }
}

}  // namespace jet::write
