// Lays out one index page (docs/jet-format-writer.md §index.page.layout) from
// its entries: the header, the entry-end bitmask, the shared prefix and the
// stored entries. Used by IndexTreeWriter; knows nothing about trees.
#pragma once

#include "jet/Bytes.h"
#include "jet/write/PageSink.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace jet::write {

// Byte offsets of the index page header, per format (§index.page.layout).
struct IndexPageLayout {
    std::size_t pageSize;
    std::size_t prevOffset;      // u32 same-level predecessor
    std::size_t nextOffset;      // u32 same-level successor
    std::size_t tailOffset;      // u32 last child of a node page
    std::size_t prefixOffset;    // shared-prefix length
    std::size_t prefixWidth;     // 1 byte (Jet 3) or 2 (Jet 4)
    std::size_t levelOffset;     // u8 height above the leaves
    std::size_t maskOffset;      // entry-end bitmask
    std::size_t maskBytes;
    std::size_t entriesStart;
    std::size_t maxStoredBytes;  // min(page room, bits in the mask)
    std::size_t maxPrefix;       // largest value the prefix field holds
};

const IndexPageLayout &indexPageLayout(PageFormat format);

struct IndexPageContent {
    bool leaf = true;
    PageNumber owner = 0;
    PageNumber prev = 0;
    PageNumber next = 0;
    PageNumber tail = 0;
    std::uint8_t level = 0;
    std::size_t prefix = 0;                  // bytes every entry shares with the first; 0 with < 2 entries
    ByteSpan stored;                         // entries as stored: the first whole, the others without the prefix
    std::span<const std::uint32_t> ends;     // end of each entry within `stored`, increasing
};

// Fills `page` (layout.pageSize bytes). REQUIRES: stored.size() <=
// maxStoredBytes, prefix <= maxPrefix, every entry at least one byte.
void encodeIndexPage(const IndexPageLayout &layout, const IndexPageContent &content, MutableByteSpan page);

}  // namespace jet::write
