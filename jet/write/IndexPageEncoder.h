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

// Fills `page` (format.pageSize bytes; header offsets from the index-page
// fields of FormatConstants). REQUIRES: stored.size() <= indexMaxStoredBytes,
// prefix <= indexMaxPrefix, every entry at least one byte.
void encodeIndexPage(const FormatConstants &format, const IndexPageContent &content, MutableByteSpan page);

}  // namespace jet::write
