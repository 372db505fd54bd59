// A damaged or changing source either fails the compaction with a message and
// leaves nothing behind, or gives a copy that lost no row: single-page faults
// on the data pages of user tables (Jet 3 and Jet 4, with and without
// indexes), and a source written to while it is read.
#include "CompactTestSupport.h"

#include "jet/Compact.h"
#include "jet/DataPage.h"
#include "jet/Database.h"
#include "jet/Error.h"
#include "jet/UsageMap.h"

#include <functional>
#include <map>

using namespace compacttest;

namespace {

using RowCounts = std::map<std::string, std::uint64_t>;

RowCounts userTableRows(const std::string &path)
{
    const auto db = jet::Database::open(path, "");
    RowCounts rows;
    for (const jet::TableEntry &entry : db->catalog().tables)
        if (entry.kind == jet::TableKind::User)
            rows[entry.name] = db->countRows(db->tableDef(entry), entry.name);
    return rows;
}

// Where in the file the usage-map bit of `page` is (byte offset, bit).
std::pair<std::size_t, unsigned> usageMapBit(const jet::PageFile &file, const jet::UsageMap &map, jet::PageNumber page)
{
    if (map.kind == jet::UsageMap::Kind::Inline) {
        jet::PageHandle keep;
        const jet::ByteSpan row = jet::readRow(file, map.location, keep, "map");
        const std::size_t inPage = static_cast<std::size_t>(row.data() - keep->bytes.data()) + 5 + (page - map.start) / 8;
        return {std::size_t{map.location.page} * file.pageSize() + inPage, (page - map.start) % 8};
    }
    const std::size_t perBitmap = (file.pageSize() - 4) * 8;
    const jet::PageNumber bitmap = map.bitmapPages.at(page / perBitmap);
    return {std::size_t{bitmap} * file.pageSize() + 4 + (page % perBitmap) / 8, (page % perBitmap) % 8};
}

struct FaultSite {
    std::string table;
    jet::PageNumber page;
    std::size_t pageOffset;
    std::pair<std::size_t, unsigned> mapBit;
};

// The first and the last data page of each user table.
std::vector<FaultSite> faultSites(const std::string &path)
{
    const auto db = jet::Database::open(path, "");
    const jet::PageFile &file = db->file();
    std::vector<FaultSite> sites;
    for (const jet::TableEntry &entry : db->catalog().tables) {
        if (entry.kind != jet::TableKind::User)
            continue;
        const jet::TableDef def = db->tableDef(entry);
        const jet::UsageMap owned = jet::readUsageMap(file, def.ownedPages, entry.name);
        for (jet::PageNumber page : {owned.pages.front(), owned.pages.back()})
            if (sites.empty() || sites.back().page != page)
                sites.push_back({entry.name, page, std::size_t{page} * file.pageSize(), usageMapBit(file, owned, page)});
    }
    return sites;
}

struct PageFault {
    const char *name;
    std::function<void(std::string &bytes, const FaultSite &site, std::size_t pageSize)> apply;
};

const std::vector<PageFault> &pageFaults()
{
    static const std::vector<PageFault> faults = {
        {"zeroed page",
         [](std::string &b, const FaultSite &s, std::size_t size) { std::fill_n(b.begin() + s.pageOffset, size, '\0'); }},
        {"page type of an index leaf", [](std::string &b, const FaultSite &s, std::size_t) { b[s.pageOffset] = 0x04; }},
        {"owned by another table", [](std::string &b, const FaultSite &s, std::size_t) { b[s.pageOffset + 4] ^= 0x01; }},
        {"usage-map bit cleared",
         [](std::string &b, const FaultSite &s, std::size_t) {
             b[s.mapBit.first] = static_cast<char>(b[s.mapBit.first] & ~(1 << s.mapBit.second));
         }},
    };
    return faults;
}

TEST(CompactSourceFaultTest, EveryPageFaultFailsCleanlyOrLosesNoRow)
{
    SKIP_WITHOUT_TESTDATA();
    ScratchFolder scratch("compact-page-fault");
    const struct {
        const char *file;
        int engineType;
    } sources[] = {
        {"jackcess__V1997_delTestV1997.mdb", 4},       // Jet 3, no index
        {"jackcess__V1997_indexTestV1997.mdb", 4},     // Jet 3, indexes
        {"jackcess__V2000_overflowTestV2000.mdb", 5},  // Jet 4, no index, overflowed rows
        {"jackcess__V2000_compIndexTestV2000.mdb", 5}, // Jet 4, compound indexes
    };
    int failures = 0, faithful = 0;
    for (const auto &source : sources) {
        const std::string original = testdata::database(source.file).string();
        const RowCounts expected = userTableRows(original);
        const std::string pristine = readAll(original);
        const std::size_t pageSize = source.engineType == 4 ? 2048 : 4096;
        for (const FaultSite &site : faultSites(original))
            for (const PageFault &fault : pageFaults()) {
                SCOPED_TRACE(std::string(source.file) + " table " + site.table + " page " + std::to_string(site.page) +
                             ": " + fault.name);
                std::string bytes = pristine;
                fault.apply(bytes, site, pageSize);
                const std::string damaged = scratch.file("damaged.mdb");
                std::ofstream(damaged, std::ios::binary) << bytes;
                jet::CompactRequest request;
                request.sourcePath = damaged;
                request.targetPath = scratch.file("out.mdb");
                request.engineType = source.engineType;
                try {
                    const jet::CompactResult result = jet::compactDatabase(request);
                    EXPECT_EQ(userTableRows(request.targetPath), expected);
                    EXPECT_GT(result.repairs, 0u) << "a fault passed over without a word";
                    ++faithful;
                    fs::remove(request.targetPath);
                } catch (const jet::Error &e) {
                    EXPECT_GT(std::string(e.what()).size(), 20u);
                    EXPECT_EQ(scratch.entries(), 1u) << "only the damaged source may be there: " << e.what();
                    ++failures;
                }
                fs::remove(damaged);
            }
    }
    // The faults hit pages holding rows: most must be refused.
    EXPECT_GT(failures, faithful);
}

TEST(CompactSourceFaultTest, FaultNamesTableAndPage)
{
    SKIP_WITHOUT_TESTDATA();
    ScratchFolder scratch("compact-fault-message");
    const std::string original = testdata::database("jackcess__V1997_delTestV1997.mdb").string();
    const FaultSite site = faultSites(original).front();
    std::string bytes = readAll(original);
    bytes[site.pageOffset] = 0x04;
    const std::string damaged = scratch.file("damaged.mdb");
    std::ofstream(damaged, std::ios::binary) << bytes;
    jet::CompactRequest request;
    request.sourcePath = damaged;
    request.targetPath = scratch.file("out.mdb");
    request.engineType = 4;
    try {
        jet::compactDatabase(request);
        ADD_FAILURE() << "a table with an unreadable page compacted";
    } catch (const jet::Error &e) {
        EXPECT_EQ(e.kind(), jet::ErrorKind::Damaged);
        EXPECT_NE(std::string(e.what()).find("テーブル '" + site.table + "' のページ " + std::to_string(site.page) + " は"),
                  std::string::npos)
            << e.what();
    }
}

TEST(CompactSourceFaultTest, SourceChangedDuringTheCopyWritesNothing)
{
    SKIP_WITHOUT_TESTDATA();
    ScratchFolder scratch("compact-changed-source");
    const std::string source = scratch.file("source.mdb");
    fs::copy_file(testdata::database("northwind-glogue__Northwind.mdb"), source);
    jet::CompactRequest request;
    request.sourcePath = source;
    request.targetPath = scratch.file("out.mdb");
    bool appended = false;
    request.progress = [&](int percent) {
        if (percent >= 50 && !appended) {
            std::ofstream(source, std::ios::binary | std::ios::app) << std::string(4096, '\0');
            appended = true;
        }
    };
    try {
        jet::compactDatabase(request);
        ADD_FAILURE() << "a source changed during the copy compacted";
    } catch (const jet::Error &e) {
        EXPECT_EQ(e.kind(), jet::ErrorKind::InUse);
        EXPECT_NE(std::string(e.what()).find("途中でほかのプログラムによって変更されました"), std::string::npos) << e.what();
    }
    EXPECT_TRUE(appended);
    EXPECT_EQ(scratch.entries(), 1u);
}

}  // namespace
