// The whole copy of one database into an output, its pages numbered in
// one sequence without gaps: page 0, page 1 (the global map), every table
// definition (MSysObjects first, on page 2), then table after table its data,
// long-value and index pages together, then the usage maps. Definitions are
// placed first so that the new object ids are known before the first row of
// MSysObjects (which holds them all) is copied.
#pragma once

#include "jet/Database.h"
#include "jet/write/CopyVerifier.h"
#include "jet/write/ObjectIdMap.h"
#include "jet/write/PageOutput.h"
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
    std::uint32_t freePages = 0;  // none: every page is used
    std::uint32_t repairs = 0;    // faults of the source the copy does not repeat
    std::vector<ExpectedTable> expected;
};

struct CompactionSettings {
    std::string targetPassword;
    std::string spillFolder;
    std::size_t sortBudget;
    std::function<void(double fraction)> progress;  // 0..1 over the copying
    std::size_t relocationBudget = kDefaultRelocationBudget;  // see CopyContext
};

CompactionOutcome writeCompactedCopy(const Database &source, PageOutput &out, const CompactionSettings &settings);

// The steps of a copy, for writers that fill tables their own way (the
// benchmark's database generator).
struct SourceTable {
    std::string name;
    TableDef def;
    TableKind kind = TableKind::System;
};
std::vector<SourceTable> tablesWithDefinitions(const Database &source);
// The new definition pages, one chain per table, and the id map they make.
struct DefinitionPlan {
    ObjectIdMap ids;
    std::vector<std::vector<std::uint32_t>> pages;  // per table, chain order
};
// Hands the next pages of `allocator` to the definitions, in table order,
// checks the map against the source's catalog and settles ids that name
// nothing (ObjectIdMap::requireComplete, settleStaleIds).
DefinitionPlan placeDefinitions(const Database &source, const std::vector<SourceTable> &tables,
                                PageAllocator &allocator);
// Usage maps of every table, then the definitions patched to point at them.
void writeMapsAndDefinitions(const PageFile &source, const std::vector<SourceTable> &tables, const DefinitionPlan &plan,
                             const std::vector<CopiedTable> &copies, PageAllocator &allocator, EncodedPageWriter &pages);
// Page 1, the pages the allocator left unused (blank), and `headerPage` as
// page 0, then every page gathered for writing is in the file; returns the
// number of free pages (the unused ones).
std::uint32_t writeGlobalMapAndHeader(const FormatConstants &format, PageAllocator &allocator, EncodedPageWriter &pages,
                                      ByteSpan headerPage);

}  // namespace jet::write
