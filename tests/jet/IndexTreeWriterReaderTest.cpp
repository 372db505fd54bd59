// The engine's own index reader must walk what the tree builder writes:
// the built pages are placed in a file behind a real page 0 and read back
// through PageFile and walkIndex.
#include "jet/IndexPage.h"
#include "jet/PageFile.h"
#include "jet/write/IndexTreeWriter.h"

#include "IndexTreeWriterTestSupport.h"
#include "support/TestData.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

using indextest::Bytes;
using jet::JetVersion;

namespace {

struct Case {
    const char *headerFrom;  // a database whose page 0 is borrowed
    JetVersion version;
    std::size_t entries;
    std::size_t keyBytes;
    unsigned levels;
};

Bytes pageZero(const std::string &name, std::size_t pageSize)
{
    std::ifstream in(testdata::database(name), std::ios::binary);
    Bytes bytes(pageSize);
    in.read(reinterpret_cast<char *>(bytes.data()), static_cast<std::streamsize>(pageSize));
    EXPECT_TRUE(in) << name;
    return bytes;
}

class IndexTreeWriterReader : public ::testing::TestWithParam<Case> {};

}  // namespace

TEST_P(IndexTreeWriterReader, EngineReaderWalksTheBuiltTree)
{
    SKIP_WITHOUT_TESTDATA();
    const Case &c = GetParam();
    const jet::FormatConstants &format = jet::formatConstants(c.version);
    const std::size_t pageSize = format.pageSize;
    constexpr std::uint32_t kFirstPage = 3;
    indextest::MemoryPages pages(pageSize, kFirstPage);
    jet::write::IndexTreeWriter writer(format, 2, pages.sink());
    std::vector<Bytes> keys;
    for (std::size_t i = 0; i < c.entries; ++i) {
        Bytes key(c.keyBytes, 0x5A);
        key[0] = 0x7F;
        jet::storeBE32(key.data() + 1, static_cast<std::uint32_t>(i / 2));
        writer.add(key, {static_cast<std::uint32_t>(50 + i / 100), static_cast<std::uint8_t>(i % 100)});
        keys.push_back(key);
    }
    const auto result = writer.finish();
    EXPECT_EQ(result.levels, c.levels);

    Bytes file = pageZero(c.headerFrom, pageSize);
    file.resize(pageSize * (kFirstPage + result.pages.size()), 0);
    for (const auto &[number, bytes] : pages.pages())
        std::copy(bytes.begin(), bytes.end(), file.begin() + static_cast<std::ptrdiff_t>(number * pageSize));
    const auto db = jet::PageFile::open(std::make_unique<jet::MemoryPageSource>(std::move(file), "built index"), "");

    jet::RealIndexDef index;
    index.rootPage = result.root;
    std::size_t i = 0;
    const auto walk = jet::walkIndex(*db, index, "built index", [&](const jet::IndexEntry &entry) {
        ASSERT_LT(i, keys.size());
        EXPECT_EQ(entry.key, keys[i]) << "entry " << i;
        EXPECT_EQ(entry.row.page, 50 + i / 100) << "entry " << i;
        EXPECT_EQ(entry.row.row, i % 100) << "entry " << i;
        ++i;
    });
    EXPECT_EQ(i, keys.size());
    EXPECT_EQ(walk.entries, c.entries);
    EXPECT_EQ(walk.depth, result.levels);
    EXPECT_EQ(walk.pages.size(), result.pages.size());
}

INSTANTIATE_TEST_SUITE_P(Shapes, IndexTreeWriterReader,
                         ::testing::Values(Case{"jackcess__V1997_testV1997.mdb", JetVersion::Jet3, 0, 5, 1},
                                           Case{"jackcess__V1997_testV1997.mdb", JetVersion::Jet3, 3000, 120, 3},
                                           Case{"jackcess__V2000_testV2000.mdb", JetVersion::Jet4, 1, 5, 1},
                                           Case{"jackcess__V2000_testV2000.mdb", JetVersion::Jet4, 20000, 9, 2},
                                           Case{"jackcess__V2000_testV2000.mdb", JetVersion::Jet4, 6000, 300, 4}));
