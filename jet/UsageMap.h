// Usage maps: sets of page numbers stored as one row, inline (type 0) with a
// start page and a bitmap, or by reference (type 1) to bitmap pages of type
// 0x05 (docs/jet-format-notes.md §umap). Page 1 row 0 is the global map, in
// which a set bit means the page is free.
#pragma once

#include "jet/PageFile.h"
#include "jet/RowRef.h"

#include <vector>

namespace jet {

struct UsageMap {
    enum class Kind : std::uint8_t { Inline = 0, Reference = 1 };
    RowId location;                       // the row holding the map
    Kind kind = Kind::Inline;
    PageNumber start = 0;                 // inline maps: page of bit 0
    std::size_t bitmapBytes = 0;          // inline maps: length of the bitmap
    std::vector<PageNumber> bitmapPages;  // reference maps: the type-0x05 pages (0 = none)
    std::vector<PageNumber> pages;        // set bits for pages inside the file, ascending
    std::size_t bitsPastEnd = 0;          // set bits for pages past the end of the file

    bool contains(PageNumber page) const;
};

// Reads the map stored at `location`. Throws jet::Error(Damaged) naming the
// map (`what`) when the row or a bitmap page is unreadable. Bits for pages past
// the end of the file are counted, not listed. A null location (page 0 row 0)
// gives an empty map.
UsageMap readUsageMap(const PageFile &file, RowId location, const std::string &what);

// The global usage map (page 1, row 0): its set bits are the free pages.
UsageMap readGlobalUsageMap(const PageFile &file);

}  // namespace jet
