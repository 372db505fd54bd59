#include "jet/write/DatabaseCompactor.h"

#include "jet/Error.h"
#include "jet/StoredRowCount.h"
#include "jet/write/EncodedPageWriter.h"
#include "jet/write/HeaderPage.h"
#include "jet/write/PageAllocator.h"
#include "jet/write/PageRun.h"
#include "jet/write/TableCopier.h"
#include "jet/write/TdefPatcher.h"
#include "jet/write/UsageMapPlacer.h"

#include <algorithm>
#include <map>
#include <set>

namespace jet::write {

// Every table with a definition in this file (local and ODBC-linked), each
// definition once, MSysObjects included, in definition-page order.
std::vector<SourceTable> tablesWithDefinitions(const Database &source)
{
    std::map<PageNumber, TableEntry> entries;
    for (const TableEntry &entry : source.catalog().tables)
        if (entry.definitionPage != 0 && !entries.count(entry.definitionPage))
            entries[entry.definitionPage] = entry;
    if (!entries.count(kCatalogTableDefPage)) {
        TableEntry catalog;
        catalog.name = "MSysObjects";
        catalog.kind = TableKind::System;
        catalog.definitionPage = kCatalogTableDefPage;
        entries[kCatalogTableDefPage] = catalog;
    }
    std::vector<SourceTable> tables;
    std::set<PageNumber> claimed;
    for (const auto &[page, entry] : entries) {
        const std::string &name = entry.name;
        SourceTable table{name, source.tableDef(entry), entry.kind};
        for (PageNumber p : table.def.pages)
            if (p < 2 || !claimed.insert(p).second)
                throw Error(ErrorKind::Damaged, "テーブル '" + name + "' の定義ページ " + std::to_string(p) +
                                                    " は別の構造と重なっています。");
        tables.push_back(std::move(table));
    }
    return tables;
}

DefinitionPlan placeDefinitions(const Database &source, const std::vector<SourceTable> &tables, PageAllocator &allocator)
{
    DefinitionPlan plan;
    for (const SourceTable &table : tables) {
        std::vector<std::uint32_t> chain;
        for (std::size_t i = 0; i < table.def.pages.size(); ++i)
            chain.push_back(allocator.allocate());
        plan.ids.add(table.def.firstPage, chain.front());
        plan.pages.push_back(std::move(chain));
    }
    if (plan.pages.empty() || plan.pages.front().front() != kCatalogTableDefPage)
        throw Error(ErrorKind::Damaged, "MSysObjects の定義を 2 ページ目に置けません。");
    plan.ids.requireComplete(source.catalog());
    plan.ids.settleStaleIds(source);
    return plan;
}

namespace {

class Compactor {
public:
    Compactor(const Database &source, PageOutput &out, const CompactionSettings &settings)
        : source_(source),
          file_(source.file()),
          settings_(settings),
          tables_(tablesWithDefinitions(source)),
          allocator_({0, 1}),
          pages_(out, file_.pageSize(), file_.header().encodingKey)
    {
    }

    CompactionOutcome run()
    {
        std::uint64_t expectedRows = 0;
        for (const SourceTable &table : tables_)
            expectedRows += table.def.rowCount;
        expectedRows = std::max<std::uint64_t>(expectedRows, 1);
        const DefinitionPlan plan = placeDefinitions(source_, tables_, allocator_);
        std::uint64_t rowsBefore = 0;
        std::vector<CopiedTable> copies;
        for (std::size_t t = 0; t < tables_.size(); ++t) {
            const SourceTable &table = tables_[t];
            const std::uint32_t definitionPage = plan.pages[t].front();
            CopyContext context{source_, allocator_, pages_, settings_.spillFolder, settings_.sortBudget,
                                definitionPage, plan.ids,
                                [&](std::uint64_t done) {
                                    if ((done & 0x3FF) == 0 && settings_.progress)
                                        settings_.progress(std::min(1.0, double(rowsBefore + done) / expectedRows));
                                },
                                settings_.relocationBudget};
            copies.push_back(copyTable(context, table.name, table.def));
            rowsBefore += copies.back().rows;
            outcome_.rows += copies.back().rows;
            outcome_.repairs += copies.back().repairs;
            if (table.kind != TableKind::System) {
                ++outcome_.userTables;
                outcome_.userRows += copies.back().rows;
            }
            outcome_.expected.push_back({table.name, definitionPage, copies.back().digest,
                                         bindingRowCount(table.name, table.def.rowCount)});
        }
        writeMapsAndDefinitions(file_, tables_, plan, copies, allocator_, pages_);
        outcome_.freePages = writeGlobalMapAndHeader(file_.format(), allocator_, pages_,
                                                     buildHeaderPage(file_, settings_.targetPassword));
        outcome_.pageCount = allocator_.pageCount();
        outcome_.tables = static_cast<std::uint32_t>(tables_.size());
        return outcome_;
    }

private:
    const Database &source_;
    const PageFile &file_;
    const CompactionSettings &settings_;
    std::vector<SourceTable> tables_;
    PageAllocator allocator_;
    EncodedPageWriter pages_;
    CompactionOutcome outcome_;
};

}  // namespace

void writeMapsAndDefinitions(const PageFile &file, const std::vector<SourceTable> &tables, const DefinitionPlan &plan,
                             const std::vector<CopiedTable> &copies, PageAllocator &allocator, EncodedPageWriter &pages)
{
    UsageMapPlacer maps(file.format(), allocator, pages);
    for (std::size_t t = 0; t < tables.size(); ++t) {
        const TableDef &def = tables[t].def;
        const CopiedTable &copy = copies[t];
        TdefPatcher patch(file, def, plan.pages[t], plan.ids);
        // The true count, system tables too: Access lets theirs drift, a compaction sets it right.
        patch.setU32(def.offsets.rowCount, static_cast<std::uint32_t>(copy.rows));
        if (def.autoNumberColumn()) {
            // As Microsoft's compaction does: the next number follows the largest one left.
            const std::int64_t largest = std::max<std::int64_t>(0, copy.largestAutoNumber.value_or(0));
            patch.setU32(def.offsets.autoNumber, static_cast<std::uint32_t>(largest));
        }
        patch.setRowRef(def.offsets.ownedPages, maps.place(copy.dataPages));
        patch.setRowRef(def.offsets.freePages, maps.place(copy.dataPagesWithRoom));
        for (std::size_t i = 0; i < def.realIndexes.size(); ++i) {
            const RealIndexDef &index = def.realIndexes[i];
            const IndexTreeResult &tree = copy.indexes[i];
            patch.setRowRef(index.usageMapOffset, maps.place(tree.pages));
            patch.setU32(index.rootPageOffset, tree.root);
            patch.setU32(index.uniqueCountOffset, static_cast<std::uint32_t>(tree.distinctKeys));
        }
        for (std::size_t i = 0; i < def.longValueMaps.size(); ++i) {
            const CopiedLongValueColumn &column = copy.longValueColumns[i];
            patch.setRowRef(def.longValueMaps[i].entryOffset + 2, maps.place(column.ownedPages));
            patch.setRowRef(def.longValueMaps[i].entryOffset + 6, maps.place(column.pagesWithRoom));
        }
        for (std::size_t i = 0; i < patch.pages().size(); ++i)
            pages.write(patch.pageNumbers()[i], patch.pages()[i]);
    }
    maps.finish();
}

std::uint32_t writeGlobalMapAndHeader(const FormatConstants &format, PageAllocator &allocator, EncodedPageWriter &pages,
                                      ByteSpan headerPage)
{
    // The global map goes last: it must know every page of the file.
    UsageMapPlacer::writeGlobalMap(format, allocator, pages);
    const std::vector<std::uint32_t> gaps = allocator.unusedPages();
    const std::vector<std::uint8_t> empty(format.pageSize, 0);
    for (std::uint32_t page : gaps)
        pages.write(page, empty);
    pages.write(0, headerPage);
    pages.flush();
    return static_cast<std::uint32_t>(gaps.size());
}

CompactionOutcome writeCompactedCopy(const Database &source, PageOutput &out, const CompactionSettings &settings)
{
    return Compactor(source, out, settings).run();
}

}  // namespace jet::write
