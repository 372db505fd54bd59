// The whole copy of one database into an output file: pins page 0, page 1 and
// every table definition page at their numbers, copies the tables one after
// another (data, long-value and index pages of each table together), writes
// the usage maps, the patched definitions, the global map and page 0.
#pragma once

#include "jet/Compact.h"
#include "jet/Database.h"
#include "jet/write/CopyVerifier.h"
#include "jet/write/OutputFile.h"
#include "jet/write/TableCopier.h"

#include <functional>
#include <string>
#include <vector>

namespace jet::write {

struct CompactionOutcome {
    std::uint32_t tables = 0;
    std::uint64_t rows = 0;
    std::uint32_t userTables = 0;  // of the above, those that are not system tables
    std::uint64_t userRows = 0;
    std::uint32_t pageCount = 0;
    std::uint32_t freePages = 0;  // gaps left by pinned definition pages
    std::uint32_t repairs = 0;    // faults of the source the copy does not repeat
    std::vector<ExpectedTable> expected;
};

struct CompactionSettings {
    std::string targetPassword;
    std::string spillFolder;
    std::size_t sortBudget;
    std::function<void(double fraction)> progress;  // 0..1 over the copying
};

CompactionOutcome writeCompactedCopy(const Database &source, OutputFile &out, const CompactionSettings &settings);

// The steps of a copy, for writers that fill tables their own way (the
// benchmark's database generator).
struct SourceTable {
    std::string name;
    TableDef def;
    TableKind kind = TableKind::System;
};
std::vector<SourceTable> tablesWithDefinitions(const Database &source);
std::vector<std::uint32_t> pinnedPages(const std::vector<SourceTable> &tables);
// Usage maps of every table, then the definitions patched to point at them.
void writeMapsAndDefinitions(const PageFile &source, const std::vector<SourceTable> &tables,
                             const std::vector<CopiedTable> &copies, PageAllocator &allocator, EncodedPageWriter &pages);
// Page 1, the free gaps and page 0, then every page gathered for writing is
// in the file; returns the number of free pages.
std::uint32_t writeGlobalMapAndHeader(const PageFile &source, PageAllocator &allocator, EncodedPageWriter &pages,
                                      const std::string &targetPassword);

}  // namespace jet::write
