// A compaction from memory into memory, verified like a real one but without
// touching the file system: the seam that lets tests and the fuzzer drive the
// whole writer. Real runs go through jet::compactDatabase.
#pragma once

#include "jet/write/DatabaseCompactor.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace jet::write {

struct MemoryCompactionRequest {
    std::string sourcePassword;  // UTF-8
    std::string targetPassword;  // UTF-8
    // There is no folder for sort runs: index sorting past this fails.
    std::size_t sortMemoryBudget = 128u << 20;
    // Writes past this many bytes fail as on a full disk (0 = no limit).
    std::uint64_t outputSizeLimit = 0;
};

struct MemoryCompaction {
    std::vector<std::uint8_t> copy;
    CompactionOutcome outcome;
};

// Throws jet::Error as compactDatabase does (the copy failing verification included).
MemoryCompaction compactInMemory(std::vector<std::uint8_t> source, const MemoryCompactionRequest &request);

}  // namespace jet::write
