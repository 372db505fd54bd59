#include "jet/StoredRowCount.h"

#include "jet/Error.h"

namespace jet {

bool storedRowCountMayDrift(const std::string &table)
{
    return table == "MSysACEs" || table == "MSysQueries" || table == "MSysObjects" || table == "MSysAccessStorage";
}

std::optional<std::uint64_t> bindingRowCount(const std::string &table, std::uint32_t storedRowCount)
{
    if (storedRowCountMayDrift(table))
        return std::nullopt;
    return storedRowCount;
}

void requireRowsAsStored(const std::string &table, std::uint32_t storedRowCount, std::uint64_t rowsRead)
{
    const auto binding = bindingRowCount(table, storedRowCount);
    if (binding && *binding != rowsRead)
        throw Error(ErrorKind::Damaged, "テーブル '" + table + "' の定義の行数は " + std::to_string(*binding) +
                                            " ですが、読めた行は " + std::to_string(rowsRead) +
                                            " 行です。行が失われているおそれがあるため、写すことができません。");
}

}  // namespace jet
