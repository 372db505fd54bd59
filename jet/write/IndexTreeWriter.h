// Bulk-builds one index B-tree (docs/jet-format-writer.md §index.build)
// from entries that arrive already in index order. Leaves are packed full
// with a shared prefix per page; node pages hold the last leaf entry of each
// child but the last one, which is reached through the tail link.
//
// The builder streams: it keeps one page under construction per tree level
// (plus one finished, not yet written page per node level, so the last node
// of a level can take a child from its neighbour instead of being left with
// a single child). Memory therefore grows with the tree's height only, and
// millions of entries go through without the tree ever being held.
//
// Where the format leaves a choice open:
// - the shared prefix of a leaf is the longest run of key bytes common to all
//   its entries (never row-pointer bytes); node pages use none, as Access's do;
// - the level byte is the height above the leaves (0 leaf, 1, 2, ...), which
//   is what Access's two-level trees show;
// - node pages are linked prev/next along their whole level, like leaves;
// - a node left with one child (only when keys are so long that a node holds
//   a single entry) lists it as an entry with tail 0.
#pragma once

#include "jet/Bytes.h"
#include "jet/write/PageSink.h"

#include <compare>
#include <cstdint>
#include <memory>
#include <vector>

namespace jet::write {

// Where an indexed row lives in the output file. Compared page first, then
// row, which is how entries with equal key bytes are ordered (§index.order).
struct RowLocation {
    PageNumber page = 0;    // data page; must fit in 24 bits
    std::uint8_t row = 0;   // row number on that page
    // From a RowRef as the copiers hand them on (page << 8 | row).
    static RowLocation fromRowRef(std::uint32_t rowRef)
    {
        return {rowRef >> 8, static_cast<std::uint8_t>(rowRef & 0xFF)};
    }
    auto operator<=>(const RowLocation &) const = default;
};

// The index order of §index.order: key bytes as unsigned byte strings (a proper
// prefix first), then row location. Callers sort with this before adding.
std::strong_ordering compareIndexEntries(ByteSpan keyA, RowLocation rowA, ByteSpan keyB, RowLocation rowB);

// Longest key (entry bytes before the row pointer) a tree can hold: a node
// entry (key + 4-byte row pointer + 4-byte child page) must fit on one page.
// 1792 bytes on Jet 3, 3608 on Jet 4.
std::size_t maxIndexKeyBytes(const FormatConstants &format);

struct IndexTreeResult {
    PageNumber root = 0;                // for the real-index definition in the TDEF
    std::vector<PageNumber> pages;      // every page of the tree, in allocation order (its usage map)
    std::uint64_t entries = 0;          // leaf entries written
    std::uint64_t distinctKeys = 0;     // distinct key byte strings (the TDEF's unique-entry count)
    unsigned levels = 0;                // 1 when the root is a leaf
    bool rebuiltBySorting = false;      // the source tree was out of key order
};

class IndexTreeWriter {
public:
    // ownerTdefPage: first TDEF page of the table, stored in every index page.
    // All pages come from sink.allocate and go out through sink.write.
    IndexTreeWriter(const FormatConstants &format, PageNumber ownerTdefPage, PageSink sink);
    ~IndexTreeWriter();
    IndexTreeWriter(const IndexTreeWriter &) = delete;
    IndexTreeWriter &operator=(const IndexTreeWriter &) = delete;

    // Adds the next leaf entry. REQUIRES: (key, row) is strictly greater than
    // the previous entry by compareIndexEntries, key.size() <=
    // maxIndexKeyBytes(format), row.page < 2^24; otherwise throws
    // jet::Error(Argument) and the tree must be abandoned.
    // Returns true when key equals the previous entry's key: a unique index
    // that is not allowed this (all-null keys are) must fail the build.
    bool add(ByteSpan key, RowLocation row);

    // Writes the remaining pages and reports the tree. An index without
    // entries becomes a single empty leaf. Call once; add() is refused after.
    IndexTreeResult finish();

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace jet::write
