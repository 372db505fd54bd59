// What users trust the compaction with: an existing file is never touched,
// the source never changes, and a failure at any point leaves no target and
// no temporary file behind.
#include "CompactTestSupport.h"

#include "jet/Compact.h"
#include "jet/Database.h"
#include "jet/Error.h"
#include "jet/UsageMap.h"
#include "jet/write/LimitedCompaction.h"

#include <functional>

using namespace compacttest;

namespace {

jet::CompactRequest requestFor(const std::string &sourceName, const std::string &target, int engineType = 5)
{
    jet::CompactRequest request;
    request.sourcePath = testdata::database(sourceName).string();
    request.targetPath = target;
    request.engineType = engineType;
    return request;
}

jet::ErrorKind failureKind(const jet::CompactRequest &request, std::string *message = nullptr,
                           std::uint64_t outputSizeLimit = 0)
{
    try {
        jet::write::compactDatabase(request, outputSizeLimit);
    } catch (const jet::Error &e) {
        if (message)
            *message = e.what();
        return e.kind();
    }
    ADD_FAILURE() << "compaction succeeded";
    return jet::ErrorKind::Io;
}

constexpr const char *kNorthwind = "northwind-glogue__Northwind.mdb";

TEST(CompactSafetyTest, ExistingTargetIsNeverTouched)
{
    SKIP_WITHOUT_TESTDATA();
    ScratchFolder scratch("compact-exists");
    const std::string target = scratch.file("exists.mdb");
    std::ofstream(target) << "precious";
    std::string message;
    EXPECT_EQ(failureKind(requestFor(kNorthwind, target), &message), jet::ErrorKind::TargetExists);
    EXPECT_NE(message.find("既に存在します"), std::string::npos) << message;
    EXPECT_EQ(readAll(target), "precious");
    EXPECT_EQ(scratch.entries(), 1u);

    // The source itself, also under another name, is refused the same way.
    fs::create_symlink(testdata::database(kNorthwind), scratch.path() / "link.mdb");
    EXPECT_EQ(failureKind(requestFor(kNorthwind, scratch.file("link.mdb"))), jet::ErrorKind::Argument);
}

TEST(CompactSafetyTest, FullDiskLeavesNoTargetAndNoTemporaryFile)
{
    SKIP_WITHOUT_TESTDATA();
    ScratchFolder scratch("compact-full");
    const std::string before = readAll(testdata::database(kNorthwind));
    for (std::uint64_t limit : {4096ull, 300000ull, 1800000ull}) {  // the copy is 1,884,160 bytes
        SCOPED_TRACE(limit);
        jet::CompactRequest request = requestFor(kNorthwind, scratch.file("out.mdb"));
        request.sortMemoryBudget = 4096;  // spill files too must go away
        std::string message;
        EXPECT_EQ(failureKind(request, &message, limit), jet::ErrorKind::Io);
        EXPECT_NE(message.find("ディスクの空き領域"), std::string::npos) << message;
        EXPECT_EQ(scratch.entries(), 0u);
    }
    EXPECT_EQ(readAll(testdata::database(kNorthwind)), before);
}

TEST(CompactSafetyTest, RefusedRequestsWriteNothing)
{
    SKIP_WITHOUT_TESTDATA();
    ScratchFolder scratch("compact-refused");
    std::string message;

    jet::CompactRequest wrongPassword = requestFor("ucanaccess__password.mdb", scratch.file("a.mdb"));
    wrongPassword.sourcePassword = "not-it";
    EXPECT_EQ(failureKind(wrongPassword), jet::ErrorKind::Password);

    // What a Jet 3 copy cannot hold is refused, naming the table and column.
    EXPECT_EQ(failureKind(requestFor("jackcess__V2000_fixedNumericTestV2000.mdb", scratch.file("b.mdb"), 4), &message),
              jet::ErrorKind::Unsupported);
    EXPECT_NE(message.find("'col2' は十進型 (Decimal)"), std::string::npos) << message;
    EXPECT_EQ(failureKind(requestFor("tika__testAccess2_2000.mdb", scratch.file("c.mdb"), 4), &message),
              jet::ErrorKind::Unsupported);
    EXPECT_NE(message.find("'ShortTextField'"), std::string::npos) << message;
    EXPECT_EQ(failureKind(requestFor(kNorthwind, scratch.file("d.mdb"), 6)), jet::ErrorKind::Argument);
    EXPECT_EQ(failureKind(requestFor("jackcess__V2010_testV2010.accdb", scratch.file("e.mdb")), &message),
              jet::ErrorKind::Format);
    EXPECT_EQ(scratch.entries(), 0u);
}

// A copy of Northwind with one page damaged the way `damage` says.
std::string damagedNorthwind(const ScratchFolder &scratch, const std::function<void(std::string &, std::size_t)> &damage)
{
    const auto db = jet::Database::open(testdata::database(kNorthwind).string(), "");
    const jet::TableDef orders = db->tableDef(*db->catalog().findTable("Orders"));
    const jet::UsageMap owned = jet::readUsageMap(db->file(), orders.ownedPages, "Orders");
    std::string bytes = readAll(testdata::database(kNorthwind));
    damage(bytes, static_cast<std::size_t>(owned.pages.at(1)) * db->file().pageSize());
    const std::string path = scratch.file("damaged-source.mdb");
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

TEST(CompactSafetyTest, DamagedSourceIsReportedAndNothingIsWritten)
{
    SKIP_WITHOUT_TESTDATA();
    ScratchFolder scratch("compact-damaged");
    const std::vector<std::function<void(std::string &, std::size_t)>> damages = {
        // The page claims another owner: the primary key points at rows the table no longer has.
        [](std::string &bytes, std::size_t page) { bytes[page + 4] ^= 0x5A; },
        // The row-offset table runs off the page.
        [](std::string &bytes, std::size_t page) { bytes[page + 12] = bytes[page + 13] = '\xFF'; },
        // The file ends in the middle of the table.
        [](std::string &bytes, std::size_t page) { bytes.resize(page + 100); },
    };
    for (std::size_t i = 0; i < damages.size(); ++i) {
        SCOPED_TRACE(i);
        const std::string source = damagedNorthwind(scratch, damages[i]);
        jet::CompactRequest request;
        request.sourcePath = source;
        request.targetPath = scratch.file("out.mdb");
        std::string message;
        try {
            jet::compactDatabase(request);
            ADD_FAILURE() << "a damaged source compacted";
        } catch (const jet::Error &e) {
            EXPECT_EQ(e.kind(), jet::ErrorKind::Damaged) << e.what();
            message = e.what();
        }
        EXPECT_FALSE(message.empty());
        EXPECT_EQ(scratch.entries(), 1u) << "only the damaged source may be there";
        fs::remove(source);
    }
}

TEST(CompactSafetyTest, ProgressClimbsToOneHundred)
{
    SKIP_WITHOUT_TESTDATA();
    ScratchFolder scratch("compact-progress");
    jet::CompactRequest request = requestFor(kNorthwind, scratch.file("out.mdb"));
    std::vector<int> seen;
    request.progress = [&](int percent) { seen.push_back(percent); };
    const jet::CompactResult result = jet::compactDatabase(request);
    ASSERT_GE(seen.size(), 5u);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_EQ(seen.front(), 0);
    EXPECT_EQ(seen.back(), 100);
    EXPECT_GT(result.rows, 3000u);
    EXPECT_LT(result.targetBytes, result.sourceBytes);
}

}  // namespace
