#include "jet/convert/ConvertedCopyCheck.h"

#include "jet/Error.h"
#include "jet/check/Checker.h"

namespace jet::convert {

namespace {

const std::string kFailed = "変換したデータベースの検査に失敗しました: ";

Error failure(const std::string &table, const std::string &what)
{
    return Error(ErrorKind::Damaged, kFailed + (table.empty() ? "" : "テーブル '" + table + "' ") + what);
}

void requireNoProblems(const CheckReport &report)
{
    for (const Finding &finding : report.findings)
        if (finding.severity == Finding::Severity::Problem)
            throw Error(ErrorKind::Damaged,
                        kFailed + (finding.table.empty() ? "" : "テーブル '" + finding.table + "': ") + finding.message);
}

void requireSameRows(const ExpectedConvertedTable &expected, const write::TableDigest &found)
{
    const std::string rows = "の行数が " + std::to_string(found.rows) + " です";
    if (expected.storedRows && found.rows != *expected.storedRows)
        throw failure(expected.name, rows + "（元の定義の行数は " + std::to_string(*expected.storedRows) + "）。");
    if (found.rows != expected.digest.rows)
        throw failure(expected.name, rows + "（元は " + std::to_string(expected.digest.rows) + "）。");
    if (found.sum != expected.digest.sum)
        throw failure(expected.name, "の内容が元のデータベースと一致しません。");
}

}  // namespace

void verifyConvertedCopy(const std::function<std::unique_ptr<Database>()> &openCopy,
                         const std::vector<ExpectedConvertedTable> &tables,
                         const std::function<Normaliser(const std::string &table)> &normaliserFor)
{
    const auto copy = openCopy();
    CheckOptions options;
    options.reopen = openCopy;
    requireNoProblems(checkDatabase(*copy, options));
    // The checker has read every row once already, but as raw bytes; values
    // need a decoding pass of their own.
    for (const ExpectedConvertedTable &expected : tables) {
        const Normaliser normalise = normaliserFor ? normaliserFor(expected.name) : Normaliser();
        requireSameRows(expected, digestTableValues(*copy, expected.name, expected.definitionPage, normalise,
                                                    expected.skippedColumns));
    }
}

}  // namespace jet::convert
