// The whole copy of one database into an output file: pins page 0, page 1 and
// every table definition page at their numbers, copies the tables one after
// another (data, long-value and index pages of each table together), writes
// the usage maps, the patched definitions, the global map and page 0.
#pragma once

#include "jet/Compact.h"
#include "jet/Database.h"
#include "jet/write/CopyVerifier.h"
#include "jet/write/OutputFile.h"

#include <functional>
#include <string>
#include <vector>

namespace jet::write {

struct CompactionOutcome {
    std::uint32_t tables = 0;
    std::uint64_t rows = 0;
    std::uint32_t pageCount = 0;
    std::uint32_t freePages = 0;  // gaps left by pinned definition pages
    std::vector<ExpectedTable> expected;
};

struct CompactionSettings {
    std::string targetPassword;
    std::string spillFolder;
    std::size_t sortBudget;
    std::function<void(double fraction)> progress;  // 0..1 over the copying
};

CompactionOutcome writeCompactedCopy(const Database &source, OutputFile &out, const CompactionSettings &settings);

}  // namespace jet::write
