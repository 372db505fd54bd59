// Writes usage maps (docs/jet-format-writer.md §umap.writer): the rows that
// list a table's or an index's pages, the global map of page 1 that lists free
// pages, and the data pages that hold such rows (§umap.global, §umap.holder).
#pragma once

#include "jet/Bytes.h"
#include "jet/write/PageSink.h"

#include <cstdint>
#include <span>
#include <vector>

namespace jet::write {

struct UsageMapRow {
    std::vector<std::uint8_t> bytes;      // the row, ready for a holder page
    std::vector<PageNumber> bitmapPages;  // type-0x05 pages written for a reference map; in use
};

// Encodes a set of pages (any order, duplicates allowed) as the map of a
// table's or an index's pages, bit set = page in the set.
// Inline (type 0x00, 69 bytes Jet 4 / 133 Jet 3) when the pages fit one
// window: starting at page 0 if they can, else at the lowest page rounded
// down to a multiple of 8. Otherwise a reference map (type 0x01, same row
// length) with one bitmap page per 32,736 (Jet 4) / 16,352 (Jet 3) pages
// that holds any of them, allocated from `sink` and written to it.
UsageMapRow encodeUsageMap(const FormatConstants &format, std::span<const PageNumber> pages, const PageSink &sink);

// Encodes the global map of page 1, row 0: bit set = page free. Pages below
// pageCount are free unless listed in usedPages; pages from pageCount on are
// free (past the end of the file).
// Inline while one row on page 1 can cover the file (the row grows past the
// standard size in steps of 4 bitmap bytes, as Access grows it); beyond
// that a reference map whose bitmap pages exist only for stretches of the
// file that have free pages (a stretch without one keeps page number 0).
// Bitmap pages come from `sink`; they must lie at or after pageCount and
// count as used, and the file then ends after the last of them.
UsageMapRow encodeGlobalUsageMap(const FormatConstants &format, PageNumber pageCount, std::span<const PageNumber> usedPages,
                                 const PageSink &sink);

// The inline map of page 1, row 1: always empty in the files we know.
std::vector<std::uint8_t> emptyInlineUsageMap(const FormatConstants &format);

// A data page of usage-map rows (§page.build): rows packed from the end of the
// page down, row-offset table after the header, free-space field, owner.
// Holder pages have owner 0; page 1 (the global maps) has owner 1.
class UsageMapHolderPage {
public:
    explicit UsageMapHolderPage(const FormatConstants &format, std::uint32_t owner = 0);

    // Whether a row of this many bytes still fits (and a row number is left).
    bool fits(std::size_t rowBytes) const;
    // Places the row and returns its row number. Throws jet::Error(Argument)
    // when it does not fit.
    std::uint8_t add(ByteSpan row);
    std::size_t freeSpace() const;
    // The page image, format.pageSize bytes, unused bytes zero.
    const std::vector<std::uint8_t> &bytes() const { return page_; }

private:
    std::size_t headerBytes() const;
    std::size_t rowCountOffset() const;

    const FormatConstants &format_;
    std::vector<std::uint8_t> page_;
    std::size_t rows_ = 0;
    std::size_t rowsStart_;  // offset of the lowest row placed so far
};

}  // namespace jet::write
