// The checker on real files (clean apart from what Access itself leaves) and
// on files damaged on purpose (each damage found, with table and page).
#include "ReadEverything.h"

#include "jet/DataPage.h"

#include <gtest/gtest.h>

#include <random>

using testdata::loadBytes;
using testdata::openBytes;

namespace {

std::string problems(const jet::CheckReport &report)
{
    std::string text;
    for (const jet::Finding &finding : report.findings)
        if (finding.severity != jet::Finding::Severity::Note)
            text += finding.format() + "\n";
    return text;
}

jet::TableDef definitionOf(const jet::Database &db, const std::string &table)
{
    const jet::TableEntry *entry = db.catalog().findTable(table);
    EXPECT_NE(entry, nullptr) << table;
    return db.tableDef(*entry);
}

}  // namespace

// psc-adoexamples__db2.mdb is clean too: the oracle error the manifest took for
// damage comes from a reader that keeps the flag bits of a deleted row's offset
// entry when it computes where the next row ends.
TEST(Checker, RealFilesAreCleanApartFromNotes)
{
    SKIP_WITHOUT_TESTDATA();
    for (const testdata::JetFile &file : testdata::jetFiles()) {
        SCOPED_TRACE(file.name);
        const jet::CheckReport report = jet::checkFile(file.path(), file.password);
        EXPECT_TRUE(report.clean()) << problems(report);
        EXPECT_EQ(report.count(jet::Finding::Severity::Unsupported), 0u) << problems(report);
        EXPECT_GT(report.tables, 0u);
    }
}

TEST(Checker, FindsRowCountIndexAndPageDamage)
{
    SKIP_WITHOUT_TESTDATA();
    const std::string name = "northwind-glogue__Northwind.mdb";
    auto bytes = loadBytes(name);
    const auto pristine = openBytes(bytes);
    const jet::TableDef orders = definitionOf(*pristine, "Orders");
    const std::uint32_t pageSize = pristine->file().pageSize();

    // Stored row count off by one: a problem for a user table, naming it.
    auto wrongCount = bytes;
    jet::storeLE32(wrongCount.data() + orders.firstPage * pageSize + orders.offsets.rowCount, orders.rowCount + 1);
    auto report = jet::checkDatabase(*openBytes(wrongCount));
    EXPECT_FALSE(report.clean());
    EXPECT_NE(problems(report).find("Orders"), std::string::npos) << problems(report);

    // A data page of Orders marked free in the global map.
    const jet::UsageMap owned = jet::readUsageMap(pristine->file(), orders.ownedPages, "Orders");
    ASSERT_FALSE(owned.pages.empty());
    auto markedFree = bytes;
    {
        jet::PageHandle keep;
        const jet::ByteSpan row = jet::readRow(pristine->file(), jet::RowId{1, 0}, keep, "global");
        const std::size_t rowStart = static_cast<std::size_t>(row.data() - keep->bytes.data());
        const jet::PageNumber page = owned.pages.front();
        ASSERT_EQ(row[0], 0) << "inline global map expected";
        const std::uint32_t start = jet::loadLE32(row.data() + 1);
        const std::size_t bit = page - start;
        markedFree[pageSize + rowStart + 5 + bit / 8] |= static_cast<std::uint8_t>(1u << (bit % 8));
    }
    report = jet::checkDatabase(*openBytes(markedFree));
    EXPECT_NE(problems(report).find("page " + std::to_string(owned.pages.front())), std::string::npos)
        << problems(report);

    // An index entry's row pointer moved to a row that does not exist.
    const jet::RealIndexDef &index = orders.realIndexes.front();
    const auto leafEntries = jet::readIndexEntries(pristine->file(), index, "Orders");
    ASSERT_FALSE(leafEntries.empty());
    auto dangling = bytes;
    const jet::IndexPage leaf = jet::readIndexPage(pristine->file(), leafEntries.front().leafPage, "Orders");
    const std::size_t rowByte = pageSize * leaf.number + pristine->file().format().indexEntriesOffset +
                                leaf.entries.front().size() - 1;
    dangling[rowByte] = 0xEE;
    report = jet::checkDatabase(*openBytes(dangling));
    EXPECT_NE(problems(report).find("存在しない行"), std::string::npos) << problems(report);

    // A leaf whose next link skips its sibling.
    for (const jet::RealIndexDef &candidate : orders.realIndexes) {
        const jet::IndexWalk walk = jet::walkIndex(pristine->file(), candidate, "Orders", [](const jet::IndexEntry &) {});
        if (walk.leaves.size() < 2)
            continue;
        auto brokenLink = bytes;
        jet::storeLE32(brokenLink.data() + walk.leaves[0].page * pageSize + pristine->file().format().indexNextOffset, 0);
        report = jet::checkDatabase(*openBytes(brokenLink));
        EXPECT_NE(problems(report).find("つながり"), std::string::npos) << problems(report);
        return;
    }
    ADD_FAILURE() << "no index of Orders has two leaves";
}

namespace {

std::string wholeReport(const jet::CheckReport &report)
{
    std::string text = std::to_string(report.tables) + " tables, " + std::to_string(report.rows) + " rows, " +
                       std::to_string(report.indexEntries) + " index entries\n";
    for (const jet::Finding &finding : report.findings)
        text += finding.format() + "\n";
    return text;
}

// The report of one thread and of two must be the same, findings in the same
// order: on damaged files too, where the threads' findings interleave.
void expectSameOnTwoThreads(const std::vector<std::uint8_t> &bytes, const std::string &password)
{
    std::unique_ptr<jet::Database> db;
    try {
        db = openBytes(bytes, password);
    } catch (const jet::Error &) {
        return;  // damage the catalog already refuses
    }
    jet::CheckOptions twoThreads;
    twoThreads.reopen = [&] { return openBytes(bytes, password); };
    EXPECT_EQ(wholeReport(jet::checkDatabase(*db, twoThreads)), wholeReport(jet::checkDatabase(*db)));
}

}  // namespace

TEST(Checker, TwoThreadsReportWhatOneThreadReports)
{
    SKIP_WITHOUT_TESTDATA();
    for (const testdata::JetFile &file : testdata::jetFiles()) {
        SCOPED_TRACE(file.name);
        expectSameOnTwoThreads(loadBytes(file.name), file.password);
    }
    std::mt19937 random(20261209);
    for (const char *name : {"northwind-glogue__Northwind.mdb", "jackcess__V2000_indexTestV2000.mdb",
                             "jackcess__V2000_bigIndexTestV2000.mdb"}) {
        const auto pristine = loadBytes(name);
        const std::uint32_t pageSize = openBytes(pristine)->file().pageSize();
        std::vector<std::size_t> indexPages;
        for (std::size_t page = 1; page < pristine.size() / pageSize; ++page)
            if (pristine[page * pageSize] == 0x03 || pristine[page * pageSize] == 0x04)
                indexPages.push_back(page);
        ASSERT_FALSE(indexPages.empty()) << name;
        for (int round = 0; round < 25; ++round) {
            SCOPED_TRACE(std::string(name) + " round " + std::to_string(round));
            auto bytes = pristine;
            for (int i = 0; i < 3; ++i) {
                const std::size_t page = indexPages[random() % indexPages.size()];
                bytes[page * pageSize + random() % pageSize] = static_cast<std::uint8_t>(random());
            }
            expectSameOnTwoThreads(bytes, "");
        }
    }
}
