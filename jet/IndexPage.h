// Index pages (0x03 node, 0x04 leaf): the entry bitmask, prefix compression,
// and the walk of a whole index tree yielding every leaf entry's key bytes and
// row pointer in tree order (docs/jet-format-notes.md §index.page,
// §index.entries, §index.tree).
#pragma once

#include "jet/PageFile.h"
#include "jet/RowRef.h"
#include "jet/TableDef.h"

#include <functional>
#include <vector>

namespace jet {

struct IndexPage {
    PageNumber number = 0;
    bool leaf = true;
    std::uint32_t owner = 0;        // TDEF page of the table
    PageNumber previous = 0;
    PageNumber next = 0;
    PageNumber tail = 0;            // node pages: the last child, not listed as an entry
    std::size_t prefixLength = 0;
    std::uint8_t level = 0;
    std::uint16_t freeSpace = 0;
    std::size_t usedBytes = 0;      // stored entry bytes (up to the last mask bit)
    // Every entry in full (prefix restored): key bytes, then the 4-byte row
    // pointer (page u24 BE, row u8), then for node pages the child u32 BE.
    std::vector<std::vector<std::uint8_t>> entries;
};

// Parses index page `number`. Throws jet::Error(Damaged) naming `where` for a
// wrong page type, a mask that runs past the page, or entries shorter than
// their prefix or their pointers.
IndexPage readIndexPage(const PageFile &file, PageNumber number, const std::string &where);

struct IndexEntry {
    std::vector<std::uint8_t> key;  // key bytes without the row pointer
    RowId row;                      // the row the entry points at
    PageNumber leafPage = 0;        // where the entry was found
};

struct IndexWalk {
    std::vector<PageNumber> pages;  // every page of the tree, in visiting order
    struct Leaf {
        PageNumber page, previous, next;
    };
    std::vector<Leaf> leaves;       // the leaves in key order, with their sibling links
    unsigned depth = 0;             // levels (1 = the root is a leaf)
    std::uint64_t entries = 0;
};

// Walks the tree of `index` depth-first (node entries in order, then the
// tail child) and calls `visit` for every leaf entry, i.e. in key order for a
// sound index. Throws jet::Error(Damaged) for cycles, trees deeper than 32
// levels, or unreadable pages. `where` names the index in messages.
IndexWalk walkIndex(const PageFile &file, const RealIndexDef &index, const std::string &where,
                    const std::function<void(const IndexEntry &)> &visit);

// All leaf entries of `index`, in tree order.
std::vector<IndexEntry> readIndexEntries(const PageFile &file, const RealIndexDef &index, const std::string &where);

}  // namespace jet
