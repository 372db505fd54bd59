// Naming the entries of one index whose stored key is not the key computed
// from their row, once the sums have said that some are (docs/index-keys.md
// §check). Only damage leads here; the table is read again and the index
// walked again, holding the digests of no more rows at once than the check's
// scratch allows.
#pragma once

#include "jet/check/IndexCheck.h"
#include "jet/check/KeyCheck.h"

#include <string>

namespace jet {

struct KeyMismatches {
    std::uint64_t count = 0;
    IndexEntry first;    // the first in index order
    keys::Key computed;  // the key of its row
};

// `where` names the index in messages of damage the walk meets.
KeyMismatches findKeyMismatches(const PageFile &file, const std::string &table, const std::string &where,
                                const KeyCheck &keys, const RealIndexDef &index, const CheckedRows &rows);

}  // namespace jet
