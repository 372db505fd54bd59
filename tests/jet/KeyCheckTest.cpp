// The checker's key check on every test file, and on a key damaged on purpose.
#include "ReadEverything.h"

#include "jet/DataPage.h"
#include "jet/Row.h"
#include "jet/TableScan.h"

#include <gtest/gtest.h>

#include <algorithm>

using testdata::loadBytes;
using testdata::openBytes;

namespace {

// Key findings: a stored key that differs, or an index whose keys were not compared.
std::string keyFindings(const jet::CheckReport &report)
{
    std::string text;
    for (const jet::Finding &finding : report.findings)
        if (finding.message.find("計算したキー") != std::string::npos ||
            finding.message.find("値と照合していません") != std::string::npos)
            text += finding.format() + "\n";
    return text;
}

}  // namespace

// The one file whose keys are not compared: its text columns use the Japanese
// sort order, whose keys this engine cannot compute (docs/index-keys.md §exceptions).
TEST(KeyCheck, EveryStoredKeyOfTheTestFilesIsComputedFromItsRow)
{
    SKIP_WITHOUT_TESTDATA();
    for (const testdata::JetFile &file : testdata::jetFiles()) {
        SCOPED_TRACE(file.name);
        const std::string findings = keyFindings(jet::checkFile(file.path(), file.password));
        if (file.name != "satoh-accessreader__TestDataBase_Test.mdb") {
            EXPECT_EQ(findings, "");
            continue;
        }
        EXPECT_EQ(findings.find("problem"), std::string::npos) << findings;
        EXPECT_NE(findings.find("並べ替え順序 0x0411"), std::string::npos) << findings;
    }
}

namespace {

// Replaces the only occurrence of `from` in the file's bytes.
void replaceOnce(std::vector<std::uint8_t> &bytes, const std::vector<std::uint8_t> &from,
                 const std::vector<std::uint8_t> &to)
{
    const auto at = std::search(bytes.begin(), bytes.end(), from.begin(), from.end());
    ASSERT_NE(at, bytes.end());
    ASSERT_EQ(std::search(at + 1, bytes.end(), from.begin(), from.end()), bytes.end());
    std::copy(to.begin(), to.end(), at);
}

}  // namespace

// Products "NuNuCa Nuß-Nougat-Creme": Jet 4.0 stored its hyphens at positions
// 11 and 17 (ß counted twice); a file ACE wrote would have 10 and 16. Both
// are sound; any other position is not.
TEST(KeyCheck, KeysOfEitherJet4WriterAreSound)
{
    SKIP_WITHOUT_TESTDATA();
    const auto pristine = loadBytes("northwind-glogue__Northwind.mdb");
    const std::vector<std::uint8_t> jet40 = {0x80, 0x33, 0x06, 0x82, 0x80, 0x4B, 0x06, 0x82};
    auto ace = pristine;
    replaceOnce(ace, jet40, {0x80, 0x2F, 0x06, 0x82, 0x80, 0x47, 0x06, 0x82});
    EXPECT_EQ(keyFindings(jet::checkDatabase(*openBytes(ace))), "");
    auto neither = pristine;
    replaceOnce(neither, jet40, {0x80, 0x37, 0x06, 0x82, 0x80, 0x4F, 0x06, 0x82});
    EXPECT_NE(keyFindings(jet::checkDatabase(*openBytes(neither))).find("problem\tProducts"), std::string::npos);
}

TEST(KeyCheck, AStoredKeyThatDiffersIsAProblemNamingTableIndexAndRow)
{
    SKIP_WITHOUT_TESTDATA();
    auto bytes = loadBytes("northwind-glogue__Northwind.mdb");
    const auto pristine = openBytes(bytes);
    const jet::TableDef customers = pristine->tableDef(*pristine->catalog().findTable("Customers"));
    // The last entry of the last leaf: changing its last key byte keeps the order.
    const jet::RealIndexDef &index = customers.realIndexes.front();
    const auto entries = jet::readIndexEntries(pristine->file(), index, "Customers");
    ASSERT_FALSE(entries.empty());
    const jet::IndexEntry &last = entries.back();
    const jet::IndexPage leaf = jet::readIndexPage(pristine->file(), last.leafPage, "Customers");
    ASSERT_FALSE(leaf.entries.empty());
    const std::uint32_t pageSize = pristine->file().pageSize();
    std::size_t end = pristine->file().format().indexEntriesOffset;  // where the last stored entry ends
    end += leaf.usedBytes;
    bytes[pageSize * leaf.number + end - 5] ^= 0x01;  // the key byte before the row pointer

    const jet::CheckReport report = jet::checkDatabase(*openBytes(bytes));
    const std::string findings = keyFindings(report);
    EXPECT_FALSE(report.clean());
    EXPECT_NE(findings.find("problem\tCustomers"), std::string::npos) << findings;
    EXPECT_NE(findings.find("索引 " + std::to_string(index.number)), std::string::npos) << findings;
    EXPECT_NE(findings.find(last.row.describe()), std::string::npos) << findings;
}

// With scratch for 64 slots at a time, Orders (830 rows) is searched in
// batches of slots and checked on one thread: the report must be the one a
// single pass gives. Rows of employees 3 and up change early in the table, one
// of employee 1 late: that one is first in index order, in the last batch.
TEST(KeyCheck, ASmallScratchSearchesBatchByBatchAndReportsTheSame)
{
    SKIP_WITHOUT_TESTDATA();
    auto bytes = loadBytes("northwind-glogue__Northwind.mdb");
    const auto pristine = openBytes(bytes);
    const jet::TableDef orders = pristine->tableDef(*pristine->catalog().findTable("Orders"));
    const jet::ColumnDef *employee = orders.columnByName("EmployeeID");
    ASSERT_NE(employee, nullptr);
    std::size_t changed = 0;
    bool lateChanged = false;
    jet::TableScan scan(pristine->file(), orders, "Orders");
    for (std::size_t i = 0; scan.next(); ++i) {
        jet::PageHandle keep;
        const jet::RowId row = scan.row().dataAt;
        const jet::ByteSpan stored = jet::readRow(pristine->file(), row, keep, "Orders");
        jet::RowColumns columns;
        jet::splitRow(orders, stored, columns, "Orders");
        const jet::ColumnSlice &slice = columns.columns[employee->position];
        ASSERT_TRUE(slice.present);
        const std::uint32_t id = jet::loadLE32(slice.bytes.data());
        const bool early = i < 700 && i % 23 == 5 && id >= 3, late = i >= 700 && !lateChanged && id == 1;
        if (!early && !late)
            continue;
        lateChanged = lateChanged || late;
        ++changed;  // another employee: the row's keys of EmployeeID change
        const std::size_t at = row.page * std::size_t{pristine->file().pageSize()} +
                               static_cast<std::size_t>(slice.bytes.data() - keep->bytes.data());
        bytes[at] ^= 0x10;
    }
    ASSERT_TRUE(lateChanged);
    ASSERT_GE(changed, 5u);
    const auto damaged = openBytes(bytes);
    jet::CheckOptions wide, narrow;
    wide.reopen = narrow.reopen = [&] { return openBytes(bytes); };
    narrow.scratchBytes = 64;
    const auto everyFinding = [](const jet::CheckReport &report) {
        std::string text;
        for (const jet::Finding &finding : report.findings)
            text += finding.format() + "\n";
        return text;
    };
    const std::string findings = everyFinding(jet::checkDatabase(*damaged, wide));
    EXPECT_NE(findings.find("の " + std::to_string(changed) + " 項目のキーが行の値から計算したキーと違います"),
              std::string::npos)
        << findings;
    EXPECT_EQ(everyFinding(jet::checkDatabase(*damaged, narrow)), findings);
}
