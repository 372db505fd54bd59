// Hand-built bytes for the format corners real test files exercise little:
// Jet 3 jump tables, Jet 4 compressed text, index prefixes, decimals, dates.
#include "ReadEverything.h"

#include "jet/DataPage.h"
#include "jet/IndexPage.h"
#include "jet/UsageMap.h"
#include "jet/Row.h"
#include "jet/Text.h"
#include "jet/Value.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// A Jet 3 table with one variable Text column (number 0, slot 0).
jet::TableDef jet3TextTable()
{
    jet::TableDef def;
    def.version = jet::JetVersion::Jet3;
    def.pageSize = 2048;
    def.variableColumns = 1;
    jet::ColumnDef text;
    text.name = "T";
    text.type = jet::ColumnType::Text;
    text.flags = 0x02;
    def.columns.push_back(text);
    return def;
}

}  // namespace

TEST(Jet3Rows, JumpTableCarriesOffsetsPast256)
{
    // C=1 | 300 data bytes | eod low | offset[0] low | jump[0] | V | null mask
    std::vector<std::uint8_t> row(306, 'x');
    row[0] = 1;                // column count
    row[301] = 301 & 0xFF;     // eod (301) low byte, stored at position eod
    row[302] = 1;              // offset[0] = 1
    row[303] = 1;              // jump: slot 1 (eod) is the first at or past 256
    row[304] = 1;              // V
    row[305] = 0x01;           // column 0 present
    jet::RowColumns columns;
    jet::splitRow(jet3TextTable(), row, columns, "test");
    ASSERT_TRUE(columns.columns[0].present);
    EXPECT_EQ(columns.columns[0].bytes.size(), 300u);
    EXPECT_EQ(columns.columns[0].offset, 1u);
}

TEST(Jet3Rows, FillerJumpByteIsIgnored)
{
    // Row length 258 needs one jump byte by its length, but no offset reaches
    // 256, so the byte is a 0xFF filler.
    std::vector<std::uint8_t> row(258, 'y');
    row[0] = 1;
    row[253] = 253;            // eod
    row[254] = 1;              // offset[0]
    row[255] = 0xFF;           // filler
    row[256] = 1;              // V
    row[257] = 0x01;
    jet::RowColumns columns;
    jet::splitRow(jet3TextTable(), row, columns, "test");
    EXPECT_EQ(columns.columns[0].bytes.size(), 252u);
}

TEST(Jet3Rows, OffsetsOutsideTheRowAreDamage)
{
    std::vector<std::uint8_t> row = {1, 'a', 'b', 200, 1, 1, 0x01};  // eod says 200
    jet::RowColumns columns;
    EXPECT_THROW(jet::splitRow(jet3TextTable(), row, columns, "test"), jet::Error);
}

TEST(Text, Jet4CompressedRunsToggleOnZero)
{
    const std::uint8_t bytes[] = {0xFF, 0xFE, 'a', 'b', 0x00, 0x78, 0x30, 0x00, 'c'};
    EXPECT_EQ(jet::jet4TextToUtf8(bytes), "ab\xE3\x81\xB8" "c");
    const std::uint8_t plain[] = {'h', 0, 'i', 0};
    EXPECT_EQ(jet::jet4TextToUtf8(plain), "hi");
    const std::uint8_t sjis[] = {0x82, 0xA0};  // "あ" in code page 932
    EXPECT_EQ(jet::codePageToUtf8(sjis, 932), "\xE3\x81\x82");
    const std::uint8_t cp1252[] = {0x80, 0xE9};
    EXPECT_EQ(jet::codePageToUtf8(cp1252, 1252), "\xE2\x82\xAC\xC3\xA9");
}

TEST(Values, DecimalsCurrencyAndDates)
{
    jet::ColumnDef decimal;
    decimal.type = jet::ColumnType::Decimal;
    decimal.scale = 2;
    decimal.flags = 0x01;
    std::uint8_t bytes[17] = {0x80};
    jet::storeLE32(bytes + 13, 12345);  // least significant word last
    jet::ColumnSlice slice{true, jet::ByteSpan(bytes, 17), 0};
    EXPECT_EQ(jet::decodeValue({}, decimal, slice, "test").text, "-123.45");
    bytes[0] = 0;
    jet::storeLE32(bytes + 13, 5);
    EXPECT_EQ(jet::decodeValue({}, decimal, slice, "test").text, "0.05");

    EXPECT_EQ(jet::formatDateTime(0.0), "1899-12-30 00:00:00");
    EXPECT_EQ(jet::formatDateTime(36526.5), "2000-01-01 12:00:00");
    EXPECT_EQ(jet::formatDateTime(-1.25), "1899-12-29 06:00:00") << "the fraction is the time whatever the sign";
}

TEST(IndexPages, PrefixIsRestoredFromTheFirstEntry)
{
    SKIP_WITHOUT_TESTDATA();
    auto bytes = testdata::loadBytes("jackcess__V2000_indexTestV2000.mdb");
    const std::size_t pageSize = 4096;
    const jet::PageNumber spare = static_cast<jet::PageNumber>(bytes.size() / pageSize - 1);
    std::uint8_t *page = bytes.data() + spare * pageSize;
    std::memset(page, 0, pageSize);
    page[0] = 0x04;                                  // leaf
    page[1] = 0x01;
    jet::storeLE16(page + 0x18, 2);                  // prefix length 2
    const std::uint8_t first[] = {0x7F, 0x01, 0x02, 0x03, 0x00, 0x00, 0x10, 0x05};
    const std::uint8_t second[] = {0x09, 0x09, 0x00, 0x00, 0x11, 0x00};  // 7F 01 dropped
    std::memcpy(page + 0x1E0, first, sizeof first);
    std::memcpy(page + 0x1E0 + sizeof first, second, sizeof second);
    page[0x1B + 1] = 0x01 | 0x40;                    // entries end at 8 and at 14
    const auto db = testdata::openBytes(bytes);
    const jet::IndexPage leaf = jet::readIndexPage(db->file(), spare, "test");
    ASSERT_EQ(leaf.entries.size(), 2u);
    EXPECT_EQ(leaf.entries[1], (std::vector<std::uint8_t>{0x7F, 0x01, 0x09, 0x09, 0x00, 0x00, 0x11, 0x00}));
    page[0x1B + 1] = 0x01;
    page[0x1B] = 0x02;                               // an entry ending at 1: shorter than a row pointer
    const auto damaged = testdata::openBytes(bytes);
    EXPECT_THROW(jet::readIndexPage(damaged->file(), spare, "test"), jet::Error);
}

// No test file has a table whose page map is a reference map (type 1), so one
// is made: Orders' inline map row (69 bytes = 1 + 17 slots) becomes a
// reference map whose first window is a type-5 page at the end of the file.
TEST(UsageMaps, ReferenceMapsListTheSamePages)
{
    SKIP_WITHOUT_TESTDATA();
    auto bytes = testdata::loadBytes("northwind-glogue__Northwind.mdb");
    const auto pristine = testdata::openBytes(bytes);
    const jet::TableDef orders = pristine->tableDef(*pristine->catalog().findTable("Orders"));
    const jet::UsageMap inlineMap = jet::readUsageMap(pristine->file(), orders.ownedPages, "Orders");
    ASSERT_EQ(inlineMap.kind, jet::UsageMap::Kind::Inline);
    const std::uint64_t rows = pristine->countRows(orders, "Orders");

    const std::size_t pageSize = 4096;
    const jet::PageNumber spare = static_cast<jet::PageNumber>(bytes.size() / pageSize - 1);
    std::uint8_t *bitmapPage = bytes.data() + spare * pageSize;
    std::memset(bitmapPage, 0, pageSize);
    bitmapPage[0] = 0x05;
    bitmapPage[1] = 0x01;
    for (jet::PageNumber page : inlineMap.pages)
        bitmapPage[4 + page / 8] |= static_cast<std::uint8_t>(1u << (page % 8));
    jet::PageHandle keep;
    const jet::ByteSpan row = jet::readRow(pristine->file(), orders.ownedPages, keep, "Orders");
    ASSERT_EQ(row.size(), 69u);
    std::uint8_t *stored = bytes.data() + orders.ownedPages.page * pageSize + (row.data() - keep->bytes.data());
    std::memset(stored, 0, row.size());
    stored[0] = 0x01;
    jet::storeLE32(stored + 1, spare);

    const auto changed = testdata::openBytes(bytes);
    const jet::UsageMap referenceMap = jet::readUsageMap(changed->file(), orders.ownedPages, "Orders");
    EXPECT_EQ(referenceMap.kind, jet::UsageMap::Kind::Reference);
    EXPECT_EQ(referenceMap.pages, inlineMap.pages);
    EXPECT_EQ(changed->countRows(orders, "Orders"), rows);

    bitmapPage[0] = 0x01;  // a window that is not a bitmap page
    EXPECT_THROW(jet::readUsageMap(testdata::openBytes(bytes)->file(), orders.ownedPages, "Orders"), jet::Error);
}
