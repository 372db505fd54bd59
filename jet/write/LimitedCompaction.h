// jet::compactDatabase with the copy's writes failing past `outputSizeLimit`
// bytes (0 = no limit) as on a full disk, so tests can prove that a full disk
// leaves neither a target nor a temporary file behind.
#pragma once

#include "jet/Compact.h"

#include <cstdint>

namespace jet::write {

CompactResult compactDatabase(const CompactRequest &request, std::uint64_t outputSizeLimit);

}  // namespace jet::write
