// Index rebuilds take the source index's entries in its key order and only
// reorder runs of equal keys by their new row positions. The rebuilt tree
// must still hold every entry in full index order when runs are long, when
// one is too large for memory, and when the source index is not in key order
// at all (a damaged source: the whole index is then sorted). A table whose
// row slots outgrow the relocation's budget is re-keyed through partitions
// on disk, with the same copy and the same refusals as the flat map.
#include "CompactTestSupport.h"
#include "IndexTreeWriterTestSupport.h"

#include "jet/Compact.h"
#include "jet/Database.h"
#include "jet/IndexPage.h"
#include "jet/check/Checker.h"
#include "jet/write/DatabaseCompactor.h"
#include "jet/write/OrderedIndexFeed.h"
#include "jet/write/PageOutput.h"
#include "jet/write/RowRelocation.h"

#include <algorithm>
#include <functional>
#include <random>

using namespace compacttest;
using jet::write::IndexTreeWriter;
using jet::write::OrderedIndexFeed;
using indextest::Bytes;

namespace {

struct FeedEntry {
    Bytes key;
    std::uint32_t rowRef;
};

Bytes leafEntry(const FeedEntry &e)
{
    Bytes bytes = e.key;
    bytes.push_back(static_cast<std::uint8_t>(e.rowRef >> 24));
    bytes.push_back(static_cast<std::uint8_t>(e.rowRef >> 16));
    bytes.push_back(static_cast<std::uint8_t>(e.rowRef >> 8));
    bytes.push_back(static_cast<std::uint8_t>(e.rowRef));
    return bytes;
}

// Runs of equal keys as a source index yields them: keys ascending, the rows
// of a run in their old order, which the copy scrambled.
std::vector<FeedEntry> runsOfEqualKeys(const std::vector<std::size_t> &runLengths)
{
    std::mt19937 random(7);
    std::vector<std::uint32_t> refs;
    std::size_t total = 0;
    for (std::size_t length : runLengths)
        total += length;
    for (std::uint32_t i = 0; i < total; ++i)
        refs.push_back(((1000 + i / 200) << 8) | (i % 200));
    std::shuffle(refs.begin(), refs.end(), random);
    std::vector<FeedEntry> entries;
    for (std::size_t run = 0; run < runLengths.size(); ++run)
        for (std::size_t i = 0; i < runLengths[run]; ++i)
            entries.push_back({Bytes{0x7F, static_cast<std::uint8_t>(run), 0x00}, refs[entries.size()]});
    return entries;
}

TEST(CompactIndexRebuildTest, LongRunsOfEqualKeysComeOutOrderedAndComplete)
{
    // A 4 KiB budget holds runs of up to 128 entries in memory: the runs of
    // 20000 and 2500 go through the spilling sorter (which spills in turn).
    const std::vector<FeedEntry> entries = runsOfEqualKeys({1, 100, 3, 20000, 1, 1, 2500});
    indextest::MemoryPages pages(4096, 50);
    IndexTreeWriter tree(jet::kJet4Format, 0x2A, pages.sink());
    OrderedIndexFeed feed(tree, fs::temp_directory_path().string(), 4096);
    for (const FeedEntry &entry : entries)
        ASSERT_TRUE(feed.add(entry.key, entry.rowRef));
    feed.finish();
    const auto result = tree.finish();
    EXPECT_EQ(feed.runsSpilled(), 2u);
    EXPECT_EQ(feed.count(), entries.size());
    EXPECT_EQ(result.entries, entries.size());
    EXPECT_EQ(result.distinctKeys, 7u);

    std::vector<Bytes> expected;
    for (const FeedEntry &entry : entries)
        expected.push_back(leafEntry(entry));
    std::sort(expected.begin(), expected.end(), indextest::entryLess);
    const auto walked = indextest::TreeWalker(pages.reader(), true, 0x2A, 4096).walk(result.root);
    EXPECT_EQ(walked.leafEntries, expected);
}

TEST(CompactIndexRebuildTest, FeedRefusesAKeyBelowThePreviousOne)
{
    indextest::MemoryPages pages(4096, 50);
    IndexTreeWriter tree(jet::kJet4Format, 0x2A, pages.sink());
    OrderedIndexFeed feed(tree, fs::temp_directory_path().string(), 1u << 20);
    EXPECT_TRUE(feed.add(Bytes{0x10, 0x20}, 0x500));
    EXPECT_TRUE(feed.add(Bytes{0x10, 0x20}, 0x400));  // same key: reordered later, fine
    EXPECT_FALSE(feed.add(Bytes{0x10}, 0x600));       // a proper prefix sorts first
    EXPECT_FALSE(feed.add(Bytes{0x30}, 0x700));       // and nothing is taken after that
}

// ---- a source index out of key order ----

constexpr const char *kNorthwind = "northwind-glogue__Northwind.mdb";

struct SwapSite {
    std::uint64_t offset = 0;  // in the file, of the first of two stored entries
    std::size_t length = 0;    // stored length of each
};

// A leaf of a secondary index (rows are copied in primary-key order, which
// must not change) whose second and third entries are stored with the same
// length and have different keys: swapping their bytes leaves the entries
// intact but out of key order.
std::optional<SwapSite> findSwappableEntries(const fs::path &path)
{
    const auto database = jet::Database::open(path.string(), "");
    const jet::PageFile &file = database->file();
    for (const jet::TableEntry &table : database->catalog().tables) {
        if (table.kind != jet::TableKind::User)
            continue;
        const jet::TableDef def = database->tableDef(table);
        const jet::LogicalIndexDef *primary = def.primaryKey();
        for (const jet::RealIndexDef &index : def.realIndexes) {
            if (primary && primary->realIndex == index.number)
                continue;
            const jet::IndexWalk walk = jet::walkIndex(file, index, table.name, [](const jet::IndexEntry &) {});
            for (const auto &leaf : walk.leaves) {
                const jet::PageHandle page = file.page(leaf.page);
                const auto parsed = indextest::parseIndexPage(page->bytes, true);
                if (parsed.entries.size() < 3 || parsed.entries[1].size() != parsed.entries[2].size() ||
                    Bytes(parsed.entries[1].begin(), parsed.entries[1].end() - 4) ==
                        Bytes(parsed.entries[2].begin(), parsed.entries[2].end() - 4))
                    continue;
                // Entry k > 0 is stored without the page's prefix.
                const std::size_t stored = parsed.entries[1].size() - parsed.prefix;
                const std::size_t firstStored = parsed.entries[0].size();
                return SwapSite{std::uint64_t(leaf.page) * file.pageSize() + 0x1E0 + firstStored, stored};
            }
        }
    }
    return std::nullopt;
}

// A copy of Northwind in the scratch folder with `change` applied to the
// bytes of the two entries (each `length` long, stored one after the other).
fs::path damagedNorthwind(const ScratchFolder &scratch, const std::string &name,
                          const std::function<void(std::string &bothEntries, std::size_t length)> &change)
{
    const fs::path damaged = scratch.file(name);
    fs::copy_file(testdata::database(kNorthwind), damaged);
    const auto site = findSwappableEntries(damaged);
    if (!site) {
        ADD_FAILURE() << "no leaf to damage in " << kNorthwind;
        return damaged;
    }
    std::fstream file(damaged, std::ios::in | std::ios::out | std::ios::binary);
    std::string both(2 * site->length, '\0');
    file.seekg(static_cast<std::streamoff>(site->offset));
    file.read(both.data(), static_cast<std::streamsize>(both.size()));
    change(both, site->length);
    file.seekp(static_cast<std::streamoff>(site->offset));
    file.write(both.data(), static_cast<std::streamsize>(both.size()));
    return damaged;
}

std::string compactToFile(const std::string &source, const std::string &target, std::uint32_t *repairs = nullptr)
{
    jet::CompactRequest request;
    request.sourcePath = source;
    request.targetPath = target;
    request.engineType = 5;
    const jet::CompactResult result = jet::compactDatabase(request);
    if (repairs)
        *repairs = result.repairs;
    return readAll(target);
}

TEST(CompactIndexRebuildTest, SourceIndexOutOfKeyOrderIsRebuiltBySorting)
{
    SKIP_WITHOUT_TESTDATA();
    ScratchFolder scratch("compact-disorder");
    const fs::path damaged = damagedNorthwind(scratch, "damaged.mdb", [](std::string &both, std::size_t length) {
        std::rotate(both.begin(), both.begin() + static_cast<std::ptrdiff_t>(length), both.end());
    });

    // The same entries sorted give the same tree on the same pages: the
    // copy equals that of the undamaged file byte for byte.
    std::uint32_t repairedDamaged = 0, repairedSound = 0;
    const std::string fromDamaged = compactToFile(damaged.string(), scratch.file("from-damaged.mdb"), &repairedDamaged);
    const std::string fromSound =
        compactToFile(testdata::database(kNorthwind).string(), scratch.file("from-sound.mdb"), &repairedSound);
    EXPECT_TRUE(fromDamaged == fromSound);
    EXPECT_EQ(repairedDamaged, 1u);
    EXPECT_EQ(repairedSound, 0u);
    const jet::CheckReport report = jet::checkFile(scratch.file("from-damaged.mdb"), "");
    for (const jet::Finding &finding : report.findings)
        EXPECT_NE(finding.severity, jet::Finding::Severity::Problem) << finding.format();
}

// Four row slots: any table larger than that is relocated through partitions.
constexpr std::size_t kTinyRelocationBudget = 16;
// 1024 row slots: the larger tables' partitions span many blocks of their streams.
constexpr std::size_t kSmallRelocationBudget = 4096;

// The copy written to memory, index sorts and relocation partitions spilled
// to `spillFolder`.
std::vector<std::uint8_t> copyWithRelocationBudget(const TestDatabase &source, const std::string &spillFolder,
                                                   std::size_t relocationBudget)
{
    const auto database = jet::Database::open(source.path.string(), source.password);
    jet::write::MemoryPageOutput out;
    jet::write::CompactionSettings settings{source.password, spillFolder, 1u << 20, {}};
    settings.relocationBudget = relocationBudget;
    const jet::write::CompactionOutcome outcome = jet::write::writeCompactedCopy(*database, out, settings);
    out.resize(static_cast<std::uint64_t>(outcome.pageCount) * database->file().pageSize());
    return out.release();
}

// Entries for rows that do not exist, or two entries for one row, are damage
// the copy must not paper over: the compaction fails and writes nothing.
TEST(CompactIndexRebuildTest, EntriesForMissingOrRepeatedRowsFailTheCopy)
{
    SKIP_WITHOUT_TESTDATA();
    ScratchFolder scratch("compact-bad-entries");
    const struct {
        const char *name;
        std::function<void(std::string &, std::size_t)> change;
        const char *message;
    } cases[] = {
        {"missing-row.mdb", [](std::string &both, std::size_t length) { both[length - 1] = char(250); },
         "存在しない行"},
        {"repeated-row.mdb",
         [](std::string &both, std::size_t length) {
             std::copy_n(both.begin() + static_cast<std::ptrdiff_t>(length - 4), 4,
                         both.begin() + static_cast<std::ptrdiff_t>(2 * length - 4));
         },
         "エントリが二つあります"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path damaged = damagedNorthwind(scratch, c.name, c.change);
        const std::string target = scratch.file(std::string("out-") + c.name);
        const auto expectRefused = [&](const std::function<void()> &compact) {
            try {
                compact();
                ADD_FAILURE() << "compaction succeeded";
            } catch (const jet::Error &e) {
                EXPECT_EQ(e.kind(), jet::ErrorKind::Damaged);
                EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
            }
        };
        expectRefused([&] { compactToFile(damaged.string(), target); });
        EXPECT_FALSE(fs::exists(target));
        ScratchFolder spill("compact-bad-entries-spill");
        expectRefused([&] {
            copyWithRelocationBudget({"", "", damaged}, spill.path().string(), kTinyRelocationBudget);
        });
        EXPECT_EQ(spill.entries(), 0u);
    }
}

// An entry may name a slot of a copied page that held no live row (a deleted
// one): partitioned, only the pass's lookup can tell, and it must.
TEST(CompactIndexRebuildTest, PartitionedPassRefusesASlotWithoutACopiedRow)
{
    ScratchFolder spill("relocation-pass");
    jet::write::RowRelocation relocation(8, spill.path().string(), kTinyRelocationBudget);
    relocation.addPage(5, 10);
    for (unsigned row : {0, 1, 2, 3, 4, 5, 7, 8, 9})  // row 6 was deleted
        ASSERT_TRUE(relocation.record(5, row, 0x200 + row));
    jet::write::RelocationPartitions *partitions = relocation.partitions();
    ASSERT_NE(partitions, nullptr);
    jet::write::RelocationPass pass(*partitions, spill.path().string());
    for (unsigned row : {9, 2, 6, 0})
        pass.note(relocation.slotOf(5, row));
    const auto fault = pass.resolve();
    ASSERT_TRUE(fault.has_value());
    EXPECT_FALSE(fault->claimedBefore);
    EXPECT_EQ(relocation.positionOf(fault->slot), (jet::RowId{5, 6}));
}

// Rows recorded in slot order outgrow the flat map into bits and runs: every
// row is found again by its rank, once per pass; a row recorded out of slot
// order sends the table to the partitions instead.
TEST(CompactIndexRebuildTest, RowsRecordedInSlotOrderAreFoundByRank)
{
    using Claim = jet::write::RowRelocation::Claim;
    ScratchFolder spill("relocation-in-order");
    const auto newRef = [](std::uint32_t page, unsigned row) { return 0x1000 + page * 0x100 + row; };
    jet::write::RowRelocation relocation(8, spill.path().string(), 256);
    for (std::uint32_t page : {2u, 3u}) {
        relocation.addPage(page, 100);
        for (unsigned row = 0; row < 100; ++row)
            if (page != 2 || row != 6) {  // row 6 of page 2 was deleted
                ASSERT_TRUE(relocation.record(page, row, newRef(page, row)));
            }
    }
    ASSERT_EQ(relocation.partitions(), nullptr);
    for (int pass = 0; pass < 2; ++pass) {
        for (std::uint32_t page : {3u, 2u})
            for (unsigned row = 0; row < 100; ++row) {
                std::uint32_t found = 0;
                const Claim claim = relocation.claim(relocation.slotOf(page, row), found);
                if (page == 2 && row == 6) {
                    EXPECT_EQ(claim, Claim::NoRow);
                    continue;
                }
                ASSERT_EQ(claim, Claim::Claimed) << page << ":" << row;
                EXPECT_EQ(found, newRef(page, row));
            }
        std::uint32_t found = 0;
        EXPECT_EQ(relocation.claim(relocation.slotOf(3, 42), found), Claim::ClaimedBefore);
        relocation.clearClaims();
    }

    jet::write::RowRelocation outOfOrder(8, spill.path().string(), 256);
    outOfOrder.addPage(2, 100);
    ASSERT_TRUE(outOfOrder.record(2, 50, newRef(2, 50)));
    ASSERT_TRUE(outOfOrder.record(2, 10, newRef(2, 10)));
    EXPECT_NE(outOfOrder.partitions(), nullptr);
}

// Small relocation budgets put the tables into partitions on disk: the copies
// must not change by a byte, the same files must fail the same way, and the
// partitions leave no file behind.
TEST(CompactIndexRebuildTest, RelocationPartitionsGiveTheSameCopy)
{
    SKIP_WITHOUT_TESTDATA();
    ScratchFolder spill("compact-partitions");
    const auto copyOrFailure = [&](const TestDatabase &database, std::size_t budget) {
        try {
            const std::vector<std::uint8_t> copy = copyWithRelocationBudget(database, spill.path().string(), budget);
            return std::string(copy.begin(), copy.end());
        } catch (const jet::Error &e) {
            return std::string("failed: ") + e.what();
        }
    };
    const auto failed = [](const std::string &outcome) { return outcome.rfind("failed: ", 0) == 0; };
    const auto summary = [&](const std::string &outcome) {
        return failed(outcome) ? outcome : std::to_string(outcome.size()) + " bytes";
    };
    std::size_t compared = 0;
    for (const TestDatabase &database : jetDatabases()) {
        SCOPED_TRACE(database.name);
        const std::string flat = copyOrFailure(database, jet::write::kDefaultRelocationBudget);
        for (const std::size_t budget : {kTinyRelocationBudget, kSmallRelocationBudget}) {
            const std::string partitioned = copyOrFailure(database, budget);
            EXPECT_TRUE(partitioned == flat) << budget << ": " << summary(partitioned) << " vs " << summary(flat);
        }
        compared += !failed(flat);
    }
    EXPECT_GE(compared, 60u);  // every Jet file of the test data
    EXPECT_EQ(spill.entries(), 0u);
}

}  // namespace
