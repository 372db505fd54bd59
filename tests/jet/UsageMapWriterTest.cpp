#include "jet/Error.h"
#include "jet/write/UsageMapWriter.h"

#include "IndexTreeWriterTestSupport.h"
#include "support/TestData.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>

using indextest::Bytes;
using jet::JetVersion;
using jet::write::PageNumber;

namespace {

// Decodes a usage-map row (docs/jet-format-writer.md §umap.writer) into its set
// bits, reading bitmap pages through `read`. Written from the format notes, not
// from the writer.
std::set<std::uint64_t> decodeMap(const Bytes &row, const indextest::PageReader &read, std::size_t pageSize)
{
    std::set<std::uint64_t> pages;
    if (row.at(0) == 0x00) {
        const std::uint32_t start = jet::loadLE32(row.data() + 1);
        for (std::size_t bit = 0; bit < (row.size() - 5) * 8; ++bit)
            if (row[5 + bit / 8] & (1u << (bit % 8)))
                pages.insert(start + bit);
        return pages;
    }
    EXPECT_EQ(row.at(0), 0x01);
    const std::size_t perPage = (pageSize - 4) * 8;
    for (std::size_t slot = 0; slot < (row.size() - 1) / 4; ++slot) {
        const std::uint32_t number = jet::loadLE32(row.data() + 1 + 4 * slot);
        if (number == 0)
            continue;
        const Bytes page = read(number);
        EXPECT_EQ(Bytes(page.begin(), page.begin() + 4), (Bytes{0x05, 0x01, 0x00, 0x00})) << "bitmap page " << number;
        for (std::size_t bit = 0; bit < perPage; ++bit)
            if (page[4 + bit / 8] & (1u << (bit % 8)))
                pages.insert(slot * perPage + bit);
    }
    return pages;
}

// Rows of a data page (docs/jet-format-notes.md §page.data, §page.rows),
// skipping deleted ones.
std::vector<Bytes> dataPageRows(const Bytes &page, bool jet4)
{
    const std::size_t count = jet::loadLE16(page.data() + (jet4 ? 0x0C : 0x08));
    const std::size_t table = jet4 ? 0x0E : 0x0A;
    std::vector<Bytes> rows;
    std::size_t end = page.size();
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint16_t entry = jet::loadLE16(page.data() + table + 2 * i);
        const std::size_t start = entry & 0x1FFF;
        if (!(entry & 0xC000) && start < end)
            rows.emplace_back(page.begin() + start, page.begin() + end);
        else
            rows.emplace_back();
        end = std::min(end, start);
    }
    return rows;
}

class UsageMapWriterTest : public ::testing::TestWithParam<JetVersion> {
protected:
    bool jet4() const { return GetParam() == JetVersion::Jet4; }
    const jet::FormatConstants &format() const { return jet::formatConstants(GetParam()); }
    std::size_t pageSize() const { return format().pageSize; }
    std::size_t rowBytes() const { return jet4() ? 69 : 133; }
    std::size_t pagesPerBitmap() const { return (pageSize() - 4) * 8; }

    std::set<std::uint64_t> roundTrip(const std::vector<PageNumber> &pages, jet::write::UsageMapRow *out = nullptr)
    {
        file_ = std::make_unique<indextest::MemoryPages>(pageSize(), 9000);
        const auto row = jet::write::encodeUsageMap(format(), pages, file_->sink());
        EXPECT_TRUE(file_->allWritten());
        EXPECT_EQ(row.bytes.size(), rowBytes());
        if (out)
            *out = row;
        return decodeMap(row.bytes, file_->reader(), pageSize());
    }

    std::unique_ptr<indextest::MemoryPages> file_;
};

std::set<std::uint64_t> asSet(const std::vector<PageNumber> &pages) { return {pages.begin(), pages.end()}; }

}  // namespace

TEST_P(UsageMapWriterTest, SmallSetsAreInlineFromPageZero)
{
    jet::write::UsageMapRow row;
    EXPECT_TRUE(roundTrip({}, &row).empty());
    EXPECT_EQ(row.bytes, Bytes(rowBytes(), 0));
    const std::vector<PageNumber> pages = {3, 4, 5, 77, static_cast<PageNumber>((rowBytes() - 5) * 8 - 1)};
    EXPECT_EQ(roundTrip(pages, &row), asSet(pages));
    EXPECT_EQ(row.bytes[0], 0x00);
    EXPECT_EQ(jet::loadLE32(row.bytes.data() + 1), 0u);
    EXPECT_TRUE(row.bitmapPages.empty());
    EXPECT_EQ(roundTrip({5, 5, 3}), (std::set<std::uint64_t>{3, 5})) << "duplicates and any order";
}

TEST_P(UsageMapWriterTest, NearbyHighPagesAreInlineFromAnAlignedStart)
{
    const std::size_t window = (rowBytes() - 5) * 8;
    const std::vector<PageNumber> pages = {10'003, 10'004, static_cast<PageNumber>(10'000 + window - 1)};
    jet::write::UsageMapRow row;
    EXPECT_EQ(roundTrip(pages, &row), asSet(pages));
    EXPECT_EQ(row.bytes[0], 0x00);
    EXPECT_EQ(jet::loadLE32(row.bytes.data() + 1), 10'000u);
}

TEST_P(UsageMapWriterTest, SpreadSetsBecomeReferenceMapsWithBitmapPagesOnlyWhereNeeded)
{
    const PageNumber perPage = static_cast<PageNumber>(pagesPerBitmap());
    const std::vector<PageNumber> pages = {1, 2, 3 * perPage + 5, 3 * perPage + 6, 16 * perPage + 1};
    jet::write::UsageMapRow row;
    EXPECT_EQ(roundTrip(pages, &row), asSet(pages));
    EXPECT_EQ(row.bytes[0], 0x01);
    ASSERT_EQ(row.bitmapPages.size(), 3u);
    EXPECT_EQ(jet::loadLE32(row.bytes.data() + 1 + 4 * 3), row.bitmapPages[1]);
    EXPECT_EQ(jet::loadLE32(row.bytes.data() + 1 + 4 * 1), 0u);
}

TEST_P(UsageMapWriterTest, RefusesPagesNoReferenceMapCanReach)
{
    const std::size_t slots = (rowBytes() - 1) / 4;
    indextest::MemoryPages file(pageSize(), 1);
    EXPECT_THROW(jet::write::encodeUsageMap(format(), std::vector<PageNumber>{1, static_cast<PageNumber>(slots * pagesPerBitmap())}, file.sink()),
                 jet::Error);
}

TEST_P(UsageMapWriterTest, GlobalMapMarksFreePagesAndThePastTheEnd)
{
    indextest::MemoryPages file(pageSize(), 1);
    std::vector<PageNumber> used;
    for (PageNumber p = 0; p < 700; ++p)
        if (p != 42)
            used.push_back(p);
    const auto row = jet::write::encodeGlobalUsageMap(format(), 700, used, file.sink());
    EXPECT_TRUE(row.bitmapPages.empty());
    const std::size_t standard = rowBytes() - 5;
    EXPECT_EQ(row.bytes.size(), 5 + std::max<std::size_t>(standard, 88)) << "grows in steps of 4 bytes";
    const auto free = decodeMap(row.bytes, file.reader(), pageSize());
    EXPECT_TRUE(free.count(42));
    EXPECT_FALSE(free.count(0) || free.count(41) || free.count(699));
    EXPECT_TRUE(free.count(700));
    EXPECT_EQ(free.size(), 1 + (row.bytes.size() - 5) * 8 - 700);
}

TEST_P(UsageMapWriterTest, GlobalMapOfAFileTooLargeForPageOneIsAReferenceMap)
{
    const PageNumber perPage = static_cast<PageNumber>(pagesPerBitmap());
    const PageNumber count = 2 * perPage + 100;
    std::vector<PageNumber> used;
    for (PageNumber p = 0; p < count; ++p)
        if (p != perPage + 7)
            used.push_back(p);
    indextest::MemoryPages file(pageSize(), count);
    const auto row = jet::write::encodeGlobalUsageMap(format(), count, used, file.sink());
    EXPECT_TRUE(file.allWritten());
    ASSERT_EQ(row.bytes[0], 0x01);
    ASSERT_EQ(row.bitmapPages, std::vector<PageNumber>{count}) << "only the stretch with a free page has a bitmap";
    const auto free = decodeMap(row.bytes, file.reader(), pageSize());
    EXPECT_TRUE(free.count(perPage + 7));
    EXPECT_FALSE(free.count(perPage + 6) || free.count(perPage));
    EXPECT_EQ(free.size(), 1u);

    // No free page: every pointer stays 0 and nothing is allocated.
    used.push_back(perPage + 7);
    indextest::MemoryPages full(pageSize(), count);
    const auto fullRow = jet::write::encodeGlobalUsageMap(format(), count, used, full.sink());
    EXPECT_TRUE(fullRow.bitmapPages.empty());
    EXPECT_EQ(fullRow.bytes, [&] { Bytes b(rowBytes(), 0); b[0] = 1; return b; }());
}

TEST_P(UsageMapWriterTest, HolderPageStacksRowsFromTheEndAndKeepsFreeSpace)
{
    jet::write::UsageMapHolderPage page(format());
    const std::size_t header = jet4() ? 14 : 10;
    EXPECT_EQ(page.freeSpace(), pageSize() - header);
    const Bytes a(rowBytes(), 0xAA), b(rowBytes(), 0xBB), c(7, 0xCC);
    EXPECT_EQ(page.add(a), 0);
    EXPECT_EQ(page.add(b), 1);
    EXPECT_EQ(page.add(c), 2);
    const Bytes &bytes = page.bytes();
    ASSERT_EQ(bytes.size(), pageSize());
    EXPECT_EQ(bytes[0], 0x01);
    EXPECT_EQ(jet::loadLE32(bytes.data() + 4), 0u) << "holder pages have owner 0";
    EXPECT_EQ(jet::loadLE16(bytes.data() + 2), pageSize() - header - 6 - 2 * rowBytes() - 7);
    EXPECT_EQ(page.freeSpace(), jet::loadLE16(bytes.data() + 2));
    EXPECT_EQ(dataPageRows(bytes, jet4()), (std::vector<Bytes>{a, b, c}));

    while (page.fits(rowBytes()))
        page.add(a);
    EXPECT_THROW(page.add(a), jet::Error);
    EXPECT_LT(page.freeSpace(), rowBytes() + 2);

    jet::write::UsageMapHolderPage many(format(), 1);
    for (int i = 0; i < 255; ++i)
        many.add(Bytes{1});
    EXPECT_FALSE(many.fits(1)) << "row numbers are one byte";
    EXPECT_EQ(jet::loadLE32(many.bytes().data() + 4), 1u);
}

INSTANTIATE_TEST_SUITE_P(Formats, UsageMapWriterTest, ::testing::Values(JetVersion::Jet3, JetVersion::Jet4),
                         [](const auto &info) { return info.param == JetVersion::Jet3 ? "Jet3" : "Jet4"; });

// Page 1 of databases Access wrote: the global map re-encoded from the free
// pages it lists must come out byte for byte, and the page rebuilt from its
// two rows must match Access's page over header, offsets and rows.
class UsageMapWriterRealFiles : public ::testing::TestWithParam<const char *> {
protected:
    void SetUp() override
    {
        SKIP_WITHOUT_TESTDATA();
        std::ifstream in(testdata::database(GetParam()), std::ios::binary);
        file.assign(std::istreambuf_iterator<char>(in), {});
        ASSERT_GT(file.size(), 0x15u);
        jet4 = file[0x14] != 0;
        pageSize = jet4 ? 4096 : 2048;
        format = &jet::formatConstants(jet4 ? JetVersion::Jet4 : JetVersion::Jet3);
        pageCount = static_cast<PageNumber>(file.size() / pageSize);
    }
    Bytes page(PageNumber n) const { return Bytes(file.begin() + n * pageSize, file.begin() + (n + 1) * pageSize); }

    Bytes file;
    bool jet4 = false;
    std::size_t pageSize = 0;
    const jet::FormatConstants *format = &jet::kJet4Format;
    PageNumber pageCount = 0;
};

TEST_P(UsageMapWriterRealFiles, InlineMapsOfTablesAndIndexesComeOutAsAccessWroteThem)
{
    std::size_t compared = 0;
    for (PageNumber n = 2; n < pageCount; ++n) {
        const Bytes holder = page(n);
        if (holder[0] != 0x01 || jet::loadLE32(holder.data() + 4) != 0)
            continue;
        for (const Bytes &row : dataPageRows(holder, jet4)) {
            if (row.size() != (jet4 ? 69u : 133u) || row[0] != 0x00)
                continue;
            const auto pages = decodeMap(row, {}, pageSize);
            const std::vector<PageNumber> list(pages.begin(), pages.end());
            indextest::MemoryPages none(pageSize, pageCount);
            EXPECT_EQ(jet::write::encodeUsageMap(*format, list, none.sink()).bytes, row) << "row on page " << n;
            ++compared;
        }
    }
    EXPECT_GT(compared, 5u);
}

TEST_P(UsageMapWriterRealFiles, PageOneComesOutAsAccessWroteIt)
{
    const Bytes pageOne = page(1);
    const auto rows = dataPageRows(pageOne, jet4);
    ASSERT_EQ(rows.size(), 2u);
    ASSERT_EQ(rows[0].at(0), 0x00) << "inline global map";

    const auto free = decodeMap(rows[0], {}, pageSize);
    std::vector<PageNumber> used;
    for (PageNumber p = 0; p < pageCount; ++p)
        if (!free.count(p))
            used.push_back(p);
    indextest::MemoryPages none(pageSize, pageCount);
    const auto global = jet::write::encodeGlobalUsageMap(*format, pageCount, used, none.sink());
    EXPECT_EQ(global.bytes, rows[0]);

    jet::write::UsageMapHolderPage rebuilt(*format, 1);
    rebuilt.add(rows[0]);
    rebuilt.add(rows[1]);
    const std::size_t tableEnd = (jet4 ? 14 : 10) + 4;
    const std::size_t rowsStart = pageSize - rows[0].size() - rows[1].size();
    EXPECT_EQ(Bytes(rebuilt.bytes().begin(), rebuilt.bytes().begin() + tableEnd),
              Bytes(pageOne.begin(), pageOne.begin() + tableEnd));
    EXPECT_EQ(Bytes(rebuilt.bytes().begin() + rowsStart, rebuilt.bytes().end()), Bytes(pageOne.begin() + rowsStart, pageOne.end()));
}

INSTANTIATE_TEST_SUITE_P(AccessFiles, UsageMapWriterRealFiles,
                         ::testing::Values("jackcess__V1997_compIndexTestV1997.mdb",
                                           "jackcess__V2000_compIndexTestV2000.mdb",
                                           "northwind-glogue__Northwind.mdb",
                                           "jackcess__V2003_testIndexPropertiesV2003.mdb",
                                           "jackcess__V1997_testV1997.mdb",
                                           "jackcess__V2000_testV2000.mdb"),
                         [](const auto &info) {
                             std::string name = info.param;
                             name = name.substr(name.find("__") + 2);
                             return name.substr(0, name.find('.'));
                         });
