// Every real index of every readable Jet 3 / Jet 4 test database, found
// through the catalog and table definitions and read with the engine's
// reader, rebuilt with the tree builder: Access's entry order must be the
// builder's order (else add() refuses), and the rebuilt tree, checked by the
// independent test walker, must hold the same entries in no more pages and
// levels than Access used.
#include "jet/Database.h"
#include "jet/Error.h"
#include "jet/IndexPage.h"
#include "jet/UsageMap.h"
#include "jet/write/IndexTreeWriter.h"
#include "jet/write/UsageMapWriter.h"

#include "IndexTreeWriterTestSupport.h"
#include "support/TestData.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

using indextest::Bytes;

namespace {

std::unique_ptr<jet::Database> openUnprotected(const std::filesystem::path &path)
{
    try {
        return jet::Database::open(path.string(), "");
    } catch (const jet::Error &) {
        return nullptr;  // ACE, passwords, damage: not what this test is about
    }
}

struct Totals {
    std::size_t databases = 0, indexes = 0, entries = 0, originalPages = 0, rebuiltPages = 0;
};

void rebuildIndex(const jet::Database &db, const jet::TableDef &def, const jet::RealIndexDef &index,
                  const std::string &where, Totals &totals)
{
    const auto original = jet::readIndexEntries(db.file(), index, where);
    const auto originalWalk = jet::walkIndex(db.file(), index, where, [](const jet::IndexEntry &) {});
    const bool jet4 = db.file().version() == jet::JetVersion::Jet4;
    indextest::MemoryPages pages(db.file().pageSize(), db.file().pageCount());
    jet::write::IndexTreeWriter writer(db.file().format(), def.firstPage, pages.sink());
    std::vector<Bytes> expected;
    for (const jet::IndexEntry &entry : original) {
        ASSERT_NO_THROW(writer.add(entry.key, {entry.row.page, entry.row.row})) << where << ": Access order differs";
        expected.push_back(entry.key);
        expected.back().insert(expected.back().end(), {static_cast<std::uint8_t>(entry.row.page >> 16),
                                                       static_cast<std::uint8_t>(entry.row.page >> 8),
                                                       static_cast<std::uint8_t>(entry.row.page), entry.row.row});
    }
    const auto result = writer.finish();
    indextest::TreeWalker walker(pages.reader(), jet4, def.firstPage, db.file().pageSize());
    const auto rebuilt = walker.walk(result.root);
    EXPECT_EQ(rebuilt.leafEntries, expected) << where;
    EXPECT_LE(result.pages.size(), originalWalk.pages.size()) << where;
    EXPECT_LE(result.levels, originalWalk.depth) << where;

    // The index's usage map lists exactly its tree; the map built from the
    // tree's pages sits on the same start page as Access's
    // (docs/jet-format-writer.md §umap.writer).
    const jet::UsageMap map = jet::readUsageMap(db.file(), index.usageMap, where);
    std::vector<std::uint32_t> treePages = originalWalk.pages;
    std::sort(treePages.begin(), treePages.end());
    EXPECT_EQ(map.pages, treePages) << where;
    const auto row = jet::write::encodeUsageMap(db.file().format(), treePages, pages.sink());
    if (map.kind == jet::UsageMap::Kind::Inline && map.bitmapBytes + 5 == row.bytes.size()) {
        EXPECT_EQ(jet::loadLE32(row.bytes.data() + 1), map.start) << where;
    }
    ++totals.indexes;
    totals.entries += original.size();
    totals.originalPages += originalWalk.pages.size();
    totals.rebuiltPages += result.pages.size();
}

}  // namespace

TEST(IndexTreeWriterAllFiles, EveryIndexOfTheTestDatabasesRebuildsWithTheSameEntries)
{
    SKIP_WITHOUT_TESTDATA();
    Totals totals;
    for (const auto &item : std::filesystem::directory_iterator(testdata::databasesDir())) {
        if (item.path().extension() != ".mdb")
            continue;
        const auto db = openUnprotected(item.path());
        if (!db)
            continue;
        ++totals.databases;
        for (const jet::TableEntry &table : db->catalog().tables) {
            if (!table.isLocal())
                continue;
            const jet::TableDef def = db->tableDef(table);
            for (const jet::RealIndexDef &index : def.realIndexes)
                rebuildIndex(*db, def, index,
                             item.path().filename().string() + " / " + table.name + " / index " + std::to_string(index.number),
                             totals);
        }
    }
    EXPECT_GT(totals.databases, 20u);
    EXPECT_GT(totals.indexes, 200u);
    RecordProperty("indexes", static_cast<int>(totals.indexes));
    RecordProperty("entries", static_cast<int>(totals.entries));
    std::printf("rebuilt %zu indexes (%zu entries) of %zu databases: %zu pages, Access had %zu\n", totals.indexes,
                totals.entries, totals.databases, totals.rebuiltPages, totals.originalPages);
}
