// The engine's one job: write a compacted copy of a database.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace jet {

struct CompactRequest {
    std::string sourcePath;      // file-system bytes
    std::string sourcePassword;  // UTF-8
    std::string targetPath;      // file-system bytes
    std::string targetPassword;  // UTF-8
    int engineType = 5;          // 4 = Jet 3.x format, 5 = Jet 4.x format
    // Called now and then with 0..100; may be empty.
    std::function<void(int percent)> progress;
    // Memory for sorting index entries before they spill to a temporary file
    // in the target's folder. Indexes are rebuilt in the source index's key
    // order, so only a run of equal keys (or a whole index whose source is
    // out of order) is sorted. This default leaves room for the rest of the
    // compaction within 64 MiB whatever the database's size; a conversion
    // sorts every index and spills more with it, at little cost in time.
    std::size_t sortMemoryBudget = 24u << 20;
};

struct CompactResult {
    std::uint64_t sourceBytes = 0;
    std::uint64_t targetBytes = 0;
    std::uint32_t tables = 0;  // tables copied, system tables included
    std::uint64_t rows = 0;    // rows copied, system tables included
    std::uint32_t userTables = 0;  // of `tables`, those that are not system tables
    std::uint64_t userRows = 0;    // of `rows`, those in user tables
    std::uint32_t pageCount = 0;
    std::uint32_t freePages = 0;  // pages of the copy marked free (none: the pages are numbered without gaps)
    // Faults of the source that the copy does not repeat, none of them losing
    // data (an index out of key order, usage maps naming pages past the end
    // of the file or of no table, ...); faults that would lose data fail instead.
    std::uint32_t repairs = 0;
    // What the copy leaves out on purpose, for the user (UTF-8, one sentence
    // each): a conversion to Jet 3.x cannot hold Access 2000 application
    // objects. Empty for every same-format compaction.
    std::vector<std::string> notices;
    // Wall-clock seconds of the phases, for benchmarks. The flush and the
    // verification run side by side, so their sum is more than they took.
    double copySeconds = 0;    // reading the source and writing the copy
    double flushSeconds = 0;   // getting the copy onto the disk
    double verifySeconds = 0;  // reading the copy back and checking it
};

// Reads the source read-only and writes a complete, verified copy at the
// target path, or throws jet::Error and leaves no target behind.
CompactResult compactDatabase(const CompactRequest &request);

}  // namespace jet
