#include "jet/StoredRowCount.h"

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

}  // namespace jet
