// A table definition as the other format describes the same table: the
// column layout is kept (numbers, variable slots, fixed offsets, deleted-
// column gaps), which is what Microsoft's own upgrade did and what keeps the
// readers' view of the table equal (docs/conversion-notes.md).
#pragma once

#include "jet/TableDef.h"

namespace jet::convert {

// Text lengths become characters × 2 in Jet 4 and characters in Jet 3;
// upward, Text and Memo columns get Unicode compression and non-GUID
// columns lose flag 0x40; downward the Jet 4 extended flags are dropped.
// Page references (maps, roots, chain) are left as the source had them.
TableDef retargetTableDef(const TableDef &source, JetVersion target);

}  // namespace jet::convert
