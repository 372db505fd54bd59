// Every live row of a table as decoded values, for readers that need the
// values rather than the bytes (the converter, its checks, its verification).
// A row is named in full in a message only when it cannot be read: building
// that text for every row would cost more than decoding most rows.
#pragma once

#include "jet/TableScan.h"
#include "jet/Value.h"

#include <functional>
#include <string>
#include <vector>

namespace jet {

// `visit` gets the scan (for the row's position and its full name) and the
// values in TableDef::columns order, which it may move from. Throws
// jet::Error(Damaged) naming the row for one that cannot be decoded.
void forEachRowValues(const PageFile &file, const TableDef &def, const std::string &tableName,
                      ForeignPages foreignPages,
                      const std::function<void(const TableScan &, std::vector<Value> &)> &visit);

}  // namespace jet
