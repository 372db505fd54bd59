// Which stored row counts must equal a table's live rows. Access lets the
// count of a few system tables drift (docs/jet-format-notes.md §check.notes)
// and tolerates it; for every other table a count that differs from the live
// rows means rows were lost or a page was damaged.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace jet {

bool storedRowCountMayDrift(const std::string &table);

// The count the live rows of `table` must match, or none for a drifting table.
std::optional<std::uint64_t> bindingRowCount(const std::string &table, std::uint32_t storedRowCount);

// A copy that read fewer or more rows than a binding count says lost or
// doubled some: throws jet::Error(Damaged) naming the table and both counts.
void requireRowsAsStored(const std::string &table, std::uint32_t storedRowCount, std::uint64_t rowsRead);

}  // namespace jet
