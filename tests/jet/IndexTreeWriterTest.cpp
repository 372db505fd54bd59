#include "jet/Error.h"
#include "jet/write/IndexTreeWriter.h"

#include "IndexTreeWriterTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>

using jet::write::IndexTreeResult;
using jet::write::IndexTreeWriter;
using jet::JetVersion;
using jet::write::RowLocation;
using indextest::Bytes;

namespace {

constexpr std::uint32_t kOwner = 0x2A;
constexpr std::uint32_t kFirstPage = 100;

struct Entry {
    Bytes key;
    RowLocation row;
};

Bytes leafEntryBytes(const Entry &e)
{
    Bytes bytes = e.key;
    bytes.push_back(static_cast<std::uint8_t>(e.row.page >> 16));
    bytes.push_back(static_cast<std::uint8_t>(e.row.page >> 8));
    bytes.push_back(static_cast<std::uint8_t>(e.row.page));
    bytes.push_back(e.row.row);
    return bytes;
}

// Keys of `length` bytes that share a long common start, like text keys of
// one column often do, with the distinguishing bytes near the front.
Bytes syntheticKey(std::size_t i, std::size_t length)
{
    Bytes key(length, 0x41);
    key[0] = 0x7F;
    for (std::size_t b = 0; b < 4 && b + 1 < length; ++b)
        key[1 + b] = static_cast<std::uint8_t>(i >> (24 - 8 * b));
    return key;
}

std::vector<Entry> syntheticEntries(std::size_t count, std::size_t keyLength)
{
    std::vector<Entry> entries;
    for (std::size_t i = 0; i < count; ++i)
        entries.push_back({syntheticKey(i, keyLength), RowLocation{static_cast<std::uint32_t>(1000 + i / 7), static_cast<std::uint8_t>(i % 7)}});
    return entries;
}

class IndexTreeWriterTest : public ::testing::TestWithParam<JetVersion> {
protected:
    bool jet4() const { return GetParam() == JetVersion::Jet4; }
    const jet::FormatConstants &format() const { return jet::formatConstants(GetParam()); }
    std::size_t pageSize() const { return format().pageSize; }

    IndexTreeResult build(const std::vector<Entry> &entries)
    {
        pages_ = std::make_unique<indextest::MemoryPages>(pageSize(), kFirstPage);
        IndexTreeWriter writer(format(), kOwner, pages_->sink());
        for (const Entry &e : entries)
            writer.add(e.key, e.row);
        return writer.finish();
    }

    // Builds, walks the result and checks it holds exactly `entries`.
    indextest::WalkedTree buildAndWalk(const std::vector<Entry> &entries, IndexTreeResult *out = nullptr)
    {
        const IndexTreeResult result = build(entries);
        EXPECT_TRUE(pages_->allWritten());
        indextest::TreeWalker walker(pages_->reader(), jet4(), kOwner, pageSize());
        indextest::WalkedTree tree = walker.walk(result.root);
        std::vector<Bytes> expected;
        for (const Entry &e : entries)
            expected.push_back(leafEntryBytes(e));
        EXPECT_EQ(tree.leafEntries, expected);
        EXPECT_EQ(result.entries, entries.size());
        EXPECT_EQ(result.levels, tree.levels);
        auto walkedPages = tree.pages;
        auto resultPages = result.pages;
        std::sort(walkedPages.begin(), walkedPages.end());
        std::sort(resultPages.begin(), resultPages.end());
        EXPECT_EQ(walkedPages, resultPages) << "usage-map pages differ from the tree's pages";
        if (out)
            *out = result;
        return tree;
    }

    std::unique_ptr<indextest::MemoryPages> pages_;
};

}  // namespace

TEST_P(IndexTreeWriterTest, EmptyIndexIsOneEmptyLeaf)
{
    IndexTreeResult result;
    const auto tree = buildAndWalk({}, &result);
    ASSERT_EQ(result.pages.size(), 1u);
    EXPECT_EQ(result.root, kFirstPage);
    EXPECT_EQ(result.levels, 1u);
    EXPECT_EQ(result.distinctKeys, 0u);
    const auto page = indextest::parseIndexPage(pages_->pages().at(kFirstPage), jet4());
    EXPECT_EQ(page.type, 0x04);
    EXPECT_EQ(page.freeSpace, jet4() ? 3616 : 1800);
    EXPECT_EQ(page.prev | page.next | page.tail, 0u);
}

TEST_P(IndexTreeWriterTest, SmallIndexIsOneLeafThatIsTheRoot)
{
    IndexTreeResult result;
    buildAndWalk(syntheticEntries(20, 5), &result);
    EXPECT_EQ(result.pages.size(), 1u);
    EXPECT_EQ(result.levels, 1u);
    EXPECT_EQ(result.distinctKeys, 20u);
    const auto page = indextest::parseIndexPage(pages_->pages().at(result.root), jet4());
    EXPECT_EQ(page.prefix, 4u) << "the flag byte and the three high bytes of the numbers";
}

TEST_P(IndexTreeWriterTest, LargeIndexIsBalancedWellFilledAndLinked)
{
    // 200-byte keys give few entries per page, so four levels come quickly.
    const auto entries = syntheticEntries(jet4() ? 8000 : 5000, 200);
    IndexTreeResult result;
    const auto tree = buildAndWalk(entries, &result);
    EXPECT_GE(result.levels, 4u);
    EXPECT_EQ(tree.singleChildNodes, 0u);

    // Every leaf but the last is full: the next entry would not have fitted.
    const auto &leaves = tree.pagesByLevel.at(0);
    const std::size_t maxStored = jet4() ? 3616 : 1800;
    for (std::size_t i = 0; i + 1 < leaves.size(); ++i) {
        const auto leaf = indextest::parseIndexPage(pages_->pages().at(leaves[i]), jet4());
        const auto next = indextest::parseIndexPage(pages_->pages().at(leaves[i + 1]), jet4());
        const std::size_t withNext = leaf.storedBytes + next.entries.front().size() - leaf.prefix;
        EXPECT_GT(withNext, maxStored) << "leaf " << leaves[i] << " could have held one more entry";
    }
}

TEST_P(IndexTreeWriterTest, PagesLeaveAsSoonAsTheyAreFinished)
{
    // The builder streams: by the time the last entry is added, all but the
    // pages still open (one per level, plus one held per node level) are out.
    std::size_t written = 0, allocated = 0;
    jet::write::PageSink sink{[&] { return static_cast<std::uint32_t>(++allocated); },
                              [&](std::uint32_t, jet::ByteSpan) { ++written; }};
    IndexTreeWriter writer(format(), kOwner, sink);
    for (const Entry &e : syntheticEntries(50'000, 12))
        writer.add(e.key, e.row);
    const std::size_t beforeFinish = written;
    const auto result = writer.finish();
    EXPECT_EQ(written, allocated);
    EXPECT_EQ(result.pages.size(), allocated);
    EXPECT_GE(beforeFinish + 2 * result.levels, written) << "pages were held back until the end";
}

TEST_P(IndexTreeWriterTest, LastNodeOfALevelNeverKeepsASingleChild)
{
    // Probe how many entries a leaf and children a node take, then build
    // trees whose leaf count crosses a node boundary one leaf at a time.
    const auto probe = buildAndWalk(syntheticEntries(4000, 60));
    const auto &leaves = probe.pagesByLevel.at(0);
    const std::size_t perLeaf = indextest::parseIndexPage(pages_->pages().at(leaves[0]), jet4()).entries.size();
    const auto firstNode = indextest::parseIndexPage(pages_->pages().at(probe.pagesByLevel.at(1)[0]), jet4());
    const std::size_t perNode = firstNode.entries.size() + 1;
    ASSERT_GT(probe.pagesByLevel.at(1).size(), 1u);
    std::set<std::size_t> leafCounts;
    for (std::size_t count = (perNode - 1) * perLeaf; count <= (perNode + 2) * perLeaf; count += perLeaf / 2) {
        const auto tree = buildAndWalk(syntheticEntries(count, 60));
        EXPECT_EQ(tree.singleChildNodes, 0u) << count << " entries";
        leafCounts.insert(tree.pagesByLevel.at(0).size());
    }
    EXPECT_TRUE(leafCounts.count(perNode + 1)) << "no build left one leaf over for a second node";
}

TEST_P(IndexTreeWriterTest, EntriesOfTheLargestKeySizeBuildAValidTree)
{
    const std::size_t maxKey = jet::write::maxIndexKeyBytes(format());
    EXPECT_EQ(maxKey, jet4() ? 3608u : 1792u);
    for (const std::size_t count : {1, 2, 3, 5, 8}) {
        IndexTreeResult result;
        const auto tree = buildAndWalk(syntheticEntries(count, maxKey), &result);
        EXPECT_EQ(tree.pagesByLevel.at(0).size(), count) << "one entry per leaf";
        for (const auto page : tree.pagesByLevel.at(0))
            EXPECT_EQ(indextest::parseIndexPage(pages_->pages().at(page), jet4()).freeSpace, 4u);
    }
    indextest::MemoryPages pages(pageSize(), 1);
    IndexTreeWriter writer(format(), kOwner, pages.sink());
    EXPECT_THROW(writer.add(Bytes(maxKey + 1, 1), RowLocation{1, 0}), jet::Error);
}

TEST_P(IndexTreeWriterTest, SharedPrefixStaysWithinTheKeyAndIsCapped)
{
    // Keys with 300 shared bytes: Jet 3 can record at most 255.
    std::vector<Entry> entries;
    for (std::size_t i = 0; i < 6; ++i) {
        Bytes key(310, 0x55);
        key[305] = static_cast<std::uint8_t>(i);
        entries.push_back({key, RowLocation{7, static_cast<std::uint8_t>(i)}});
    }
    // Equal keys: the pointer bytes would be common too, but are not shared.
    entries.push_back({entries.back().key, RowLocation{7, 9}});
    IndexTreeResult result;
    buildAndWalk(entries, &result);
    const auto page = indextest::parseIndexPage(pages_->pages().at(result.root), jet4());
    EXPECT_EQ(page.prefix, jet4() ? 305u : 255u);
    EXPECT_EQ(result.distinctKeys, 6u);
}

TEST_P(IndexTreeWriterTest, KeyThatIsAPrefixOfTheNextSortsFirstAndRoundTrips)
{
    const std::vector<Entry> entries = {
        {{0x7F, 0x10}, RowLocation{0xFFFFFF, 0xFF}},
        {{0x7F, 0x10, 0x00}, RowLocation{1, 0}},
        {{0x7F, 0x10, 0x00}, RowLocation{1, 1}},
        {{0x7F, 0x10, 0x00}, RowLocation{2, 0}},
        {{0x7F, 0x11}, RowLocation{0, 0}},
    };
    buildAndWalk(entries);
}

TEST_P(IndexTreeWriterTest, RandomKeysOfMixedLengthsRoundTrip)
{
    // Keys of 0..400 bytes from a small alphabet, so that prefixes of all
    // lengths, keys that are prefixes of others and repeated keys all occur.
    for (const unsigned seed : {1u, 2u, 3u}) {
        std::mt19937 random(seed);
        std::vector<Entry> entries;
        for (int i = 0; i < 3000; ++i) {
            Bytes key(random() % 401);
            for (auto &b : key)
                b = static_cast<std::uint8_t>(random() % 3 == 0 ? random() % 256 : 0x41);
            entries.push_back({key, RowLocation{static_cast<std::uint32_t>(random() % 0x1000000), static_cast<std::uint8_t>(random())}});
            if (random() % 4 == 0)
                entries.push_back({key, RowLocation{static_cast<std::uint32_t>(random() % 0x1000000), static_cast<std::uint8_t>(random())}});
        }
        std::sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) {
            return jet::write::compareIndexEntries(a.key, a.row, b.key, b.row) == std::strong_ordering::less;
        });
        entries.erase(std::unique(entries.begin(), entries.end(),
                                  [](const Entry &a, const Entry &b) { return a.key == b.key && a.row == b.row; }),
                      entries.end());
        IndexTreeResult result;
        buildAndWalk(entries, &result);
        std::set<Bytes> distinct;
        for (const Entry &e : entries)
            distinct.insert(e.key);
        EXPECT_EQ(result.distinctKeys, distinct.size()) << "seed " << seed;
    }
}

TEST_P(IndexTreeWriterTest, ReportsDuplicateKeysAndCountsDistinctOnes)
{
    pages_ = std::make_unique<indextest::MemoryPages>(pageSize(), kFirstPage);
    IndexTreeWriter writer(format(), kOwner, pages_->sink());
    EXPECT_FALSE(writer.add(Bytes{1, 2}, RowLocation{5, 0}));
    EXPECT_TRUE(writer.add(Bytes{1, 2}, RowLocation{5, 1}));
    EXPECT_TRUE(writer.add(Bytes{1, 2}, RowLocation{6, 0}));
    EXPECT_FALSE(writer.add(Bytes{1, 2, 0}, RowLocation{1, 0}));
    const auto result = writer.finish();
    EXPECT_EQ(result.entries, 4u);
    EXPECT_EQ(result.distinctKeys, 2u);
}

TEST_P(IndexTreeWriterTest, RefusesEntriesOutOfOrderOrOutOfRange)
{
    indextest::MemoryPages pages(pageSize(), 1);
    IndexTreeWriter writer(format(), kOwner, pages.sink());
    writer.add(Bytes{5}, RowLocation{10, 3});
    EXPECT_THROW(writer.add(Bytes{5}, RowLocation{10, 3}), jet::Error) << "same entry twice";
    EXPECT_THROW(writer.add(Bytes{5}, RowLocation{10, 2}), jet::Error) << "row order";
    EXPECT_THROW(writer.add(Bytes{4, 9}, RowLocation{99, 0}), jet::Error) << "key order";
    EXPECT_THROW(writer.add(Bytes{6}, RowLocation{0x1000000, 0}), jet::Error) << "page beyond 24 bits";
    writer.finish();
    EXPECT_THROW(writer.add(Bytes{7}, RowLocation{1, 0}), jet::Error);
    EXPECT_THROW(writer.finish(), jet::Error);
}

INSTANTIATE_TEST_SUITE_P(Formats, IndexTreeWriterTest, ::testing::Values(JetVersion::Jet3, JetVersion::Jet4),
                         [](const auto &info) { return info.param == JetVersion::Jet3 ? "Jet3" : "Jet4"; });

TEST(IndexEntryOrder, KeyBytesThenPageThenRow)
{
    const auto less = [](const Bytes &keyA, RowLocation rowA, const Bytes &keyB, RowLocation rowB) {
        return jet::write::compareIndexEntries(keyA, rowA, keyB, rowB) == std::strong_ordering::less;
    };
    const Bytes a{0x41}, ab{0x41, 0x42}, b{0x42};
    EXPECT_TRUE(less(a, {9, 9}, ab, {1, 1})) << "a proper prefix sorts first";
    EXPECT_TRUE(less(ab, {9, 9}, b, {1, 1}));
    EXPECT_TRUE(less(a, {1, 9}, a, {2, 0}));
    EXPECT_TRUE(less(a, {2, 0}, a, {2, 1}));
    EXPECT_FALSE(less(a, {2, 1}, a, {2, 1}));
    EXPECT_TRUE(less(Bytes{0x01}, {0, 0}, Bytes{0xFF}, {0, 0})) << "bytes compare unsigned";
}
