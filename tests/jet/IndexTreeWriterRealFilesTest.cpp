// Rebuilds the index trees of databases Access wrote and compares the
// entries the rebuilt trees hold with the originals. The page bytes may
// differ (prefix choice, fill); the decoded entries in order may not.
#include "jet/write/IndexTreeWriter.h"

#include "IndexTreeWriterTestSupport.h"
#include "support/TestData.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>

using indextest::Bytes;
using jet::write::PageFormat;

namespace {

struct Database {
    Bytes bytes;
    bool jet4 = false;
    std::size_t pageSize = 0;

    std::size_t pageCount() const { return bytes.size() / pageSize; }
    Bytes page(std::uint32_t number) const
    {
        if (number >= pageCount()) {
            ADD_FAILURE() << "page " << number << " beyond the end of the file";
            return Bytes(pageSize, 0);
        }
        return Bytes(bytes.begin() + number * pageSize, bytes.begin() + (number + 1) * pageSize);
    }
};

Database load(const std::string &name)
{
    std::ifstream in(testdata::database(name), std::ios::binary);
    Database db;
    db.bytes.assign(std::istreambuf_iterator<char>(in), {});
    db.jet4 = db.bytes.size() > 0x14 && db.bytes[0x14] != 0;
    db.pageSize = db.jet4 ? 4096 : 2048;
    return db;
}

// Roots are the index pages no node page points at and that have no
// same-level neighbours. Good enough for files without stale index pages,
// which is what Access leaves after compacting.
std::vector<std::uint32_t> indexRoots(const Database &db)
{
    std::set<std::uint32_t> indexPages, referenced;
    for (std::uint32_t n = 1; n < db.pageCount(); ++n) {
        const Bytes page = db.page(n);
        if (page[0] != 0x03 && page[0] != 0x04)
            continue;
        indexPages.insert(n);
        const auto parsed = indextest::parseIndexPage(page, db.jet4);
        if (parsed.prev || parsed.next)
            referenced.insert(n);
        if (page[0] == 0x03) {
            referenced.insert(parsed.tail);
            for (const Bytes &entry : parsed.entries)
                referenced.insert(jet::loadBE32(entry.data() + entry.size() - 4));
        }
    }
    std::vector<std::uint32_t> roots;
    for (const auto page : indexPages)
        if (!referenced.count(page))
            roots.push_back(page);
    return roots;
}

class IndexTreeWriterRealFiles : public ::testing::TestWithParam<const char *> {};

}  // namespace

TEST_P(IndexTreeWriterRealFiles, RebuiltTreesHoldTheOriginalEntries)
{
    SKIP_WITHOUT_TESTDATA();
    const Database db = load(GetParam());
    ASSERT_GT(db.pageCount(), 2u);
    const auto roots = indexRoots(db);
    ASSERT_FALSE(roots.empty());
    std::size_t nonEmpty = 0;
    for (const auto root : roots) {
        SCOPED_TRACE("index rooted at page " + std::to_string(root));
        const std::uint32_t owner = indextest::parseIndexPage(db.page(root), db.jet4).owner;
        indextest::TreeWalker original([&db](std::uint32_t n) { return db.page(n); }, db.jet4, owner, db.pageSize);
        const auto before = original.walk(root);

        indextest::MemoryPages rebuilt(db.pageSize, static_cast<std::uint32_t>(db.pageCount()));
        jet::write::IndexTreeWriter writer(db.jet4 ? PageFormat::Jet4 : PageFormat::Jet3, owner, rebuilt.sink());
        for (const Bytes &entry : before.leafEntries) {
            const Bytes key(entry.begin(), entry.end() - 4);
            writer.add(key, {jet::loadBE24(entry.data() + entry.size() - 4), entry.back()});
        }
        const auto result = writer.finish();
        indextest::TreeWalker walker(rebuilt.reader(), db.jet4, owner, db.pageSize);
        const auto after = walker.walk(result.root);
        EXPECT_EQ(after.leafEntries, before.leafEntries);
        EXPECT_LE(after.pages.size(), before.pages.size()) << "rebuilt tree is larger than Access's";
        EXPECT_LE(after.levels, before.levels);
        nonEmpty += before.leafEntries.empty() ? 0 : 1;
    }
    EXPECT_GT(nonEmpty, 0u);
}

INSTANTIATE_TEST_SUITE_P(AccessFiles, IndexTreeWriterRealFiles,
                         ::testing::Values("jackcess__V1997_compIndexTestV1997.mdb",
                                           "jackcess__V2000_compIndexTestV2000.mdb",
                                           "jackcess__V2000_bigIndexTestV2000.mdb",
                                           "jackcess__V1997_indexTestV1997.mdb",
                                           "jackcess__V2000_indexTestV2000.mdb",
                                           "northwind-glogue__Northwind.mdb"),
                         [](const auto &info) {
                             std::string name = info.param;
                             name = name.substr(name.find("__") + 2);
                             name = name.substr(0, name.find('.'));
                             return name;
                         });
