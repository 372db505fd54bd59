#pragma once
#include "jet/Database.h"
#include "jet/write/RowDigest.h"
#include <functional>
namespace jet::convert {
using Normaliser = std::function<void(const ColumnDef &column, Value &value)>;
std::uint64_t digestValues(const TableDef &def, const std::vector<Value> &values, const Normaliser &normalise,
                           const std::vector<std::uint16_t> &skippedColumns);
}
