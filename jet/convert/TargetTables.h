// Which tables a converted copy holds and how the target format lays each
// out (docs/conversion-notes.md §convert.tables): user tables keep their
// layout; the system tables both formats have take the target's column
// sizes (SIDs and names twice as long in Jet 4) and columns (MSysQueries'
// LvExtra exists in Jet 4 only); tables only Jet 4 has that a Jet 3 file
// cannot hold (MSysAccessObjects, whose Data column has a type Jet 3
// lacks) are left out of a Jet 3 copy, with the Access objects they store.
#pragma once

#include "jet/Catalog.h"
#include "jet/TableDef.h"

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace jet::convert {

// The table as the target format lays it out.
TableDef targetDefinition(const std::string &name, const TableDef &source, JetVersion target);

// A system table a Jet 3 copy cannot hold. Access 2000's MSysAccessObjects
// (Data of type 0x11) is one; the Binary(241) one a later Access adds to an
// Access 97 file is not.
bool leftOutOfJet3(const std::string &name, const TableDef &source, unsigned codePage);

// MSysObjects types of the Access objects kept in MSysAccessObjects from
// Access 2000 on: forms, reports, macros, modules, data access pages.
bool isAccessApplicationObject(std::int16_t type);

// Columns of the target the source table has no value for (compared by column number).
std::vector<std::uint16_t> columnsOnlyIn(const TableDef &def, const TableDef &other);

}  // namespace jet::convert
