// The checks that catch object ids naming the wrong thing (a renumbered copy
// with a faulty id map): every local table's MSysObjects.Id is its
// definition page and no two tables share one, every MSysACEs.ObjectId names
// an object, every foreign key names a table's definition. Free pages are
// noted: a compacted copy has none, files Access wrote usually do.
#pragma once

#include "jet/Database.h"
#include "jet/check/CheckSink.h"

namespace jet {

void checkObjectIds(const Database &db, CheckSink &sink);

}  // namespace jet
