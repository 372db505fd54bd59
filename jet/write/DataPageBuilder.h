// Builds one data page (a table's rows, long-value fragments or usage maps):
// rows packed from the page end downward, the row-offset table growing up
// from the header, the free-space field kept true (docs/jet-format-writer.md
// §page.build). Unused bytes are zero: a compacted file carries no stale data.
#pragma once

#include "jet/Bytes.h"

#include <cstdint>
#include <vector>

namespace jet::write {

inline constexpr std::uint32_t kLvalOwner = 0x4C41564C;  // "LVAL" read as u32 LE
inline constexpr unsigned kMaxRowsPerPage = 255;

class DataPageBuilder {
public:
    // `jet3` selects the 10-byte header (row count at 0x08) over Jet 4's 14.
    DataPageBuilder(bool jet3, std::uint32_t pageSize, std::uint32_t owner);

    static std::size_t headerLength(bool jet3) { return jet3 ? 10 : 14; }
    // The longest row an empty page can take.
    static std::size_t maxRowLength(bool jet3, std::uint32_t pageSize) { return pageSize - headerLength(jet3) - 2; }

    bool empty() const { return rows_ == 0; }
    unsigned rowCount() const { return rows_; }
    std::size_t freeSpace() const { return free_; }
    bool fits(std::size_t rowLength) const { return rows_ < kMaxRowsPerPage && rowLength + 2 <= free_; }

    // Appends a row and returns its row number; the caller checked fits().
    unsigned add(ByteSpan row);
    // Flags a row deleted the way Access leaves one behind: slot kept, bytes stale (§page.deleted).
    void markDeleted(unsigned number);
    // The bytes of a row already added, for patching pointers inside it.
    MutableByteSpan row(unsigned number);

    const std::vector<std::uint8_t> &bytes() const { return page_; }
    // Starts over with an empty page for the same owner.
    void reset();

private:
    bool jet3_;
    std::uint32_t pageSize_;
    std::uint32_t owner_;
    std::vector<std::uint8_t> page_;
    unsigned rows_ = 0;
    std::size_t free_ = 0;
    std::size_t rowStart_ = 0;  // where the last row begins
};

}  // namespace jet::write
