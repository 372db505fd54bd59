// Usage maps of the new file (docs/jet-format-writer.md §umap.writer): each map
// becomes one row on a holder page (a data page owned by no table) and is
// inline when its pages fit one window, by reference to bitmap pages otherwise.
// The global map on page 1 says which pages are free: none, every page of the
// copy is used.
#pragma once

#include "jet/write/EncodedPageWriter.h"
#include "jet/write/PageAllocator.h"
#include "jet/write/PageRun.h"

#include <cstdint>
#include <vector>

namespace jet::write {

class UsageMapPlacer {
public:
    UsageMapPlacer(const FormatConstants &format, PageAllocator &allocator, EncodedPageWriter &pages);

    // Stores a map of `pages` (any order) and returns the RowRef of its row.
    std::uint32_t place(std::vector<std::uint32_t> pages);
    void finish() { holders_.flush(); }

    // Writes page 1. Call after every other page has been allocated.
    static void writeGlobalMap(const FormatConstants &format, PageAllocator &allocator, EncodedPageWriter &pages);

private:
    const FormatConstants &format_;
    PageAllocator &allocator_;
    EncodedPageWriter &pages_;
    PageRun holders_;
};

}  // namespace jet::write
