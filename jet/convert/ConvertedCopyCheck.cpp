#include "jet/convert/ConvertedCopyCheck.h"

#include "jet/check/Checker.h"
#include "jet/write/CopyVerifier.h"

namespace jet::convert {

namespace {

const std::string kFailed = "変換したデータベースの検査に失敗しました: ";

}  // namespace

void verifyConvertedCopy(const std::function<std::unique_ptr<Database>()> &openCopy,
                         const std::vector<ExpectedConvertedTable> &tables,
                         const std::function<Normaliser(const std::string &table)> &normaliserFor)
{
    const auto copy = openCopy();
    CheckOptions options;
    options.reopen = openCopy;
    write::requireNoProblems(checkDatabase(*copy, options), kFailed);
    // The checker has read every row once already, but as raw bytes; values
    // need a decoding pass of their own.
    for (const ExpectedConvertedTable &expected : tables) {
        const Normaliser normalise = normaliserFor ? normaliserFor(expected.name) : Normaliser();
        write::requireSameRows(kFailed, expected.name, expected.storedRows, expected.digest,
                               digestTableValues(*copy, expected.name, expected.definitionPage, normalise,
                                                 expected.skippedColumns));
    }
}

}  // namespace jet::convert
