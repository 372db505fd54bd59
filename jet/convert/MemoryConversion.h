// A conversion into the other format from memory into memory, verified like
// a real one but without touching the file system: the seam that lets tests
// and the fuzzer drive the whole converter. Real runs go through
// jet::compactDatabase with the other format's engine type.
#pragma once

#include "jet/convert/DatabaseConverter.h"
#include "jet/write/MemoryCompaction.h"

#include <cstdint>
#include <vector>

namespace jet::convert {

// The same request as a compaction in memory (passwords, sort budget, size limit).
using MemoryConversionRequest = write::MemoryCompactionRequest;

struct MemoryConversion {
    std::vector<std::uint8_t> copy;
    ConversionOutcome outcome;
};

// The target is the format the source is not in. Throws jet::Error as a
// file-backed conversion does (the copy failing verification included).
MemoryConversion convertInMemory(std::vector<std::uint8_t> source, const MemoryConversionRequest &request);

}  // namespace jet::convert
