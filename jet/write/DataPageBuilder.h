// Builds one data page (a table's rows, long-value fragments or usage maps):
// rows packed from the page end downward, the row-offset table growing up
// from the header, the free-space field kept true (docs/jet-format-writer.md
// §page.build). Unused bytes are zero: a compacted file carries no stale data.
#pragma once

#include "jet/Bytes.h"
#include "jet/Format.h"

#include <cstdint>
#include <vector>

namespace jet::write {

inline constexpr std::uint32_t kLvalOwner = 0x4C41564C;  // "LVAL" read as u32 LE
inline constexpr unsigned kMaxRowsPerPage = 255;

class DataPageBuilder {
public:
    DataPageBuilder(const FormatConstants &format, std::uint32_t owner);

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
    const FormatConstants *format_;
    std::uint32_t owner_;
    std::vector<std::uint8_t> page_;
    unsigned rows_ = 0;
    std::size_t free_ = 0;
    std::size_t rowStart_ = 0;  // where the last row begins
};

}  // namespace jet::write
