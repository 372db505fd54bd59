// The last check before the copy may take the target's name: it is opened
// again from disk with the target password, its structure is checked, and
// every table must hold the rows the source held (same count, same digest)
// and, where the source's stored row count is binding, that many rows.
#pragma once

#include "jet/write/RowDigest.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace jet {
class Database;
struct CheckReport;
}

namespace jet::write {

struct ExpectedTable {
    std::string name;
    std::uint32_t definitionPage = 0;
    TableDigest digest;  // of the rows the copier read
    // The source's stored row count where it is binding (see StoredRowCount.h):
    // the copy must hold that many rows, whatever the copier counted.
    std::optional<std::uint64_t> storedRows;
};

// Throws jet::Error(Damaged) naming the table or the checker's finding.
void verifyCopy(const std::string &path, const std::string &password, const std::vector<ExpectedTable> &tables);
// The same for a copy that is no file: `openCopy` opens it afresh on each call
// (the checker reads the indexes of a table on a second database).
void verifyCopy(const std::function<std::unique_ptr<Database>()> &openCopy, const std::vector<ExpectedTable> &tables);

// What every verification of a copy ends with, its messages led by `failed`
// (which kind of copy failed its check): no problem among the checker's
// findings, and each table holding the rows the source held (its stored
// count where that is binding, and the digest).
void requireNoProblems(const CheckReport &report, const std::string &failed);
void requireSameRows(const std::string &failed, const std::string &table, const std::optional<std::uint64_t> &storedRows,
                     const TableDigest &expected, const TableDigest &found);

// The digest of a table read back from a database (used by verifyCopy and tests).
TableDigest digestTable(const Database &database, const std::string &tableName, std::uint32_t definitionPage);

}  // namespace jet::write
