// One stream of data pages with the same owner (a table's rows, or one
// long-value column's fragments): keeps the page being filled, takes a new
// page number when it is full, and remembers every page it wrote (for the
// owner's usage maps).
#pragma once

#include "jet/write/DataPageBuilder.h"
#include "jet/write/PageAllocator.h"
#include "jet/write/EncodedPageWriter.h"

#include <cstdint>
#include <vector>

namespace jet::write {

// A row position: row number in the low byte, page number above (RowRef,
// docs/jet-format-notes.md §ptr).
inline std::uint32_t makeRowRef(std::uint32_t page, unsigned row) { return (page << 8) | (row & 0xFF); }

class PageRun {
public:
    PageRun(const FormatConstants &format, std::uint32_t owner, PageAllocator &allocator, EncodedPageWriter &sink)
        : builder_(format, owner), allocator_(allocator), sink_(sink)
    {
    }

    // Places a row (starting a new page if it does not fit) and returns its RowRef.
    std::uint32_t add(ByteSpan row);
    // The page in progress and whether `rowLength` still fits on it.
    bool fitsOnCurrent(std::size_t rowLength) const { return open_ && builder_.fits(rowLength); }
    bool isOpen() const { return open_; }
    std::uint32_t currentPage() const { return current_; }
    std::size_t currentFree() const { return open_ ? builder_.freeSpace() : 0; }
    DataPageBuilder &builder() { return builder_; }
    // Writes the page in progress and starts the next one at `page`.
    void startPage(std::uint32_t page);
    void flush();

    const std::vector<std::uint32_t> &pages() const { return pages_; }
    // The last page, when it still has room for more rows (a hint for the
    // owner's free-space map, docs/jet-format-writer.md §umap.writer).
    std::vector<std::uint32_t> pagesWithRoom(std::size_t minimumRoom) const;

private:
    DataPageBuilder builder_;
    PageAllocator &allocator_;
    EncodedPageWriter &sink_;
    std::vector<std::uint32_t> pages_;
    std::uint32_t current_ = 0;
    bool open_ = false;
    std::size_t lastFree_ = 0;
};

}  // namespace jet::write
