// Test-only reading of index pages and whole index trees, written from the
// format reference independently of jet/write (its own offsets), so the
// writer's pages are checked against the rules rather than against itself.
// It also reads index trees Access wrote, for comparison with rebuilt ones.
#pragma once

#include "jet/Bytes.h"
#include "jet/write/PageSink.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace indextest {

using Bytes = std::vector<std::uint8_t>;

struct ParsedIndexPage {
    std::uint8_t type = 0;
    std::uint16_t freeSpace = 0;
    std::uint32_t owner = 0;
    std::uint32_t prev = 0;
    std::uint32_t next = 0;
    std::uint32_t tail = 0;
    std::size_t prefix = 0;
    std::uint8_t level = 0;
    std::size_t storedBytes = 0;
    std::vector<Bytes> entries;  // complete entries, prefix restored
};

inline ParsedIndexPage parseIndexPage(jet::ByteSpan page, bool jet4)
{
    const jet::CheckedReader r(page, "index page");
    const std::size_t maskAt = jet4 ? 0x1B : 0x16;
    const std::size_t maskBytes = jet4 ? 453 : 226;
    const std::size_t dataAt = jet4 ? 0x1E0 : 0xF8;
    ParsedIndexPage p;
    p.type = r.u8(0);
    p.freeSpace = r.u16(2);
    p.owner = r.u32(4);
    p.prev = r.u32(jet4 ? 0x0C : 0x08);
    p.next = r.u32(jet4 ? 0x10 : 0x0C);
    p.tail = r.u32(jet4 ? 0x14 : 0x10);
    p.prefix = jet4 ? r.u16(0x18) : r.u8(0x14);
    p.level = r.u8(jet4 ? 0x1A : 0x15);
    std::size_t start = 0;
    for (std::size_t bit = 0; bit < maskBytes * 8; ++bit) {
        if (!(r.u8(maskAt + bit / 8) & (1u << (bit % 8))))
            continue;
        const jet::ByteSpan stored = r.slice(dataAt + start, bit - start);
        Bytes entry;
        if (!p.entries.empty())
            entry.assign(p.entries.front().begin(), p.entries.front().begin() + p.prefix);
        entry.insert(entry.end(), stored.begin(), stored.end());
        p.entries.push_back(std::move(entry));
        start = bit;
    }
    p.storedBytes = start;
    return p;
}

// Entries compare as key bytes (all but the last 4), then BE24 page, then
// row: exactly bytewise on the pointer, key first as a byte string.
inline bool entryLess(const Bytes &a, const Bytes &b)
{
    const Bytes keyA(a.begin(), a.end() - 4), keyB(b.begin(), b.end() - 4);
    if (keyA != keyB)
        return keyA < keyB;
    return Bytes(a.end() - 4, a.end()) < Bytes(b.end() - 4, b.end());
}

using PageReader = std::function<Bytes(std::uint32_t)>;

struct WalkedTree {
    std::vector<Bytes> leafEntries;          // in tree order
    std::vector<std::uint32_t> pages;        // every page reached
    std::map<unsigned, std::vector<std::uint32_t>> pagesByLevel;  // in key order
    unsigned levels = 0;
    std::size_t singleChildNodes = 0;
};

// Walks the tree from `root`, checking with gtest expectations every rule of
// a freshly built tree: page types, levels, owner, free space, node entries
// equal to their child's last leaf entry, tail rules, strictly increasing
// entries, and prev/next links in key order at every level.
class TreeWalker {
public:
    TreeWalker(PageReader read, bool jet4, std::uint32_t owner, std::size_t pageSize)
        : read_(std::move(read)), jet4_(jet4), owner_(owner), pageSize_(pageSize) {}

    WalkedTree walk(std::uint32_t root)
    {
        tree_ = {};
        visited_.clear();
        links_.clear();
        visit(root, std::nullopt);
        checkEntryOrder();
        checkSameLevelLinks();
        return tree_;
    }

private:
    Bytes visit(std::uint32_t page, std::optional<unsigned> expectedLevel)
    {
        if (!visited_.insert(page).second) {
            ADD_FAILURE() << "page " << page << " reached twice";
            return {};
        }
        tree_.pages.push_back(page);
        const Bytes bytes = read_(page);
        const ParsedIndexPage p = parseIndexPage(bytes, jet4_);
        const std::size_t dataAt = jet4_ ? 0x1E0 : 0xF8;
        EXPECT_EQ(p.freeSpace, pageSize_ - dataAt - p.storedBytes) << "page " << page;
        EXPECT_EQ(p.owner, owner_) << "page " << page;
        if (expectedLevel)
            EXPECT_EQ(p.level, *expectedLevel) << "page " << page;
        else
            tree_.levels = p.level + 1u;
        tree_.pagesByLevel[p.level].push_back(page);
        links_[page] = {p.prev, p.next};
        if (p.type == 0x04) {
            EXPECT_EQ(p.level, 0) << "leaf " << page;
            EXPECT_EQ(p.tail, 0u) << "leaf " << page;
            tree_.leafEntries.insert(tree_.leafEntries.end(), p.entries.begin(), p.entries.end());
            return p.entries.empty() ? Bytes{} : p.entries.back();
        }
        EXPECT_EQ(p.type, 0x03) << "page " << page;
        EXPECT_GE(p.level, 1) << "node " << page;
        EXPECT_FALSE(p.entries.empty()) << "node " << page;
        if (p.type != 0x03 || p.level == 0 || p.entries.empty())
            return {};
        if (p.tail == 0) {
            EXPECT_EQ(p.entries.size(), 1u) << "node " << page << " without tail";
            ++tree_.singleChildNodes;
        }
        Bytes last;
        for (const Bytes &entry : p.entries) {
            const std::uint32_t child = jet::loadBE32(entry.data() + entry.size() - 4);
            last = visit(child, p.level - 1u);
            EXPECT_EQ(Bytes(entry.begin(), entry.end() - 4), last) << "node " << page << " entry for child " << child;
        }
        if (p.tail != 0)
            last = visit(p.tail, p.level - 1u);
        return last;
    }

    void checkEntryOrder() const
    {
        for (std::size_t i = 1; i < tree_.leafEntries.size(); ++i)
            if (!entryLess(tree_.leafEntries[i - 1], tree_.leafEntries[i])) {
                ADD_FAILURE() << "leaf entries " << i - 1 << " and " << i << " out of order";
                return;
            }
    }

    void checkSameLevelLinks() const
    {
        for (const auto &[level, pages] : tree_.pagesByLevel)
            for (std::size_t i = 0; i < pages.size(); ++i) {
                const auto [prev, next] = links_.at(pages[i]);
                EXPECT_EQ(prev, i == 0 ? 0u : pages[i - 1]) << "prev of page " << pages[i] << " at level " << level;
                EXPECT_EQ(next, i + 1 == pages.size() ? 0u : pages[i + 1]) << "next of page " << pages[i];
            }
    }

    PageReader read_;
    bool jet4_;
    std::uint32_t owner_;
    std::size_t pageSize_;
    WalkedTree tree_;
    std::set<std::uint32_t> visited_;
    std::map<std::uint32_t, std::pair<std::uint32_t, std::uint32_t>> links_;
};

// An output file in memory: hands out page numbers from `firstPage` on and
// checks that every allocated page is written once, at the right size.
class MemoryPages {
public:
    MemoryPages(std::size_t pageSize, std::uint32_t firstPage) : pageSize_(pageSize), next_(firstPage) {}

    jet::write::PageSink sink()
    {
        return jet::write::PageSink{
            [this] { allocated_.insert(next_); return next_++; },
            [this](std::uint32_t page, jet::ByteSpan bytes) {
                EXPECT_TRUE(allocated_.count(page)) << "page " << page << " written but never allocated";
                EXPECT_EQ(bytes.size(), pageSize_);
                EXPECT_TRUE(pages_.emplace(page, Bytes(bytes.begin(), bytes.end())).second) << "page " << page << " written twice";
            }};
    }
    PageReader reader() const
    {
        return [this](std::uint32_t page) {
            const auto it = pages_.find(page);
            if (it == pages_.end()) {
                ADD_FAILURE() << "page " << page << " was never written";
                return Bytes(pageSize_, 0);
            }
            return it->second;
        };
    }
    bool allWritten() const { return pages_.size() == allocated_.size(); }
    const std::map<std::uint32_t, Bytes> &pages() const { return pages_; }

private:
    std::size_t pageSize_;
    std::uint32_t next_;
    std::set<std::uint32_t> allocated_;
    std::map<std::uint32_t, Bytes> pages_;
};

}  // namespace indextest
