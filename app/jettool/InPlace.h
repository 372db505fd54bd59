// Compacting a database in place: the engine writes and verifies the copy in
// a private folder beside the file, and only then does one rename put it
// over the original, with the original's owner, group and mode. A crash or
// a failure at any step leaves the original as it was.
#pragma once

#include "jet/Compact.h"

#include <optional>
#include <string>

namespace jettool {

struct InPlaceOutcome {
    jet::CompactResult result;
    std::optional<std::string> backupPath;  // the original under its new name
};

// `request` carries everything but the two paths. With a backup suffix the
// original stays as path+suffix (an older file of that name is replaced).
// Refuses a file another program has open, before and after the copy, and
// one that changed while it was copied. Throws jet::Error.
InPlaceOutcome compactInPlace(const std::string &path, jet::CompactRequest request,
                              const std::optional<std::string> &backupSuffix);

}  // namespace jettool
