// Data pages (type 0x01): the row-offset table and the bytes of each row
// (docs/jet-format-notes.md §page.data, §page.rows). Also used for long-value
// (LVAL) pages and usage-map holder pages, which are data pages too.
#pragma once

#include "jet/PageFile.h"
#include "jet/RowRef.h"

#include <optional>

namespace jet {

inline constexpr std::uint16_t kRowDeleted = 0x8000;   // or: body of an overflow row
inline constexpr std::uint16_t kRowOverflow = 0x4000;  // stub pointing at the moved body
inline constexpr std::uint16_t kRowOffsetMask = 0x1FFF;
inline constexpr std::uint32_t kLongValueOwner = 0x4C41564C;  // "LVAL" read as u32 LE

struct RowSlot {
    std::uint16_t raw = 0;    // the offset-table entry as stored
    std::uint16_t start = 0;  // first byte of the row on the page
    std::uint16_t end = 0;    // one past its last byte
    bool deletedFlag() const { return raw & kRowDeleted; }
    bool overflowFlag() const { return raw & kRowOverflow; }
    // A row a table scan visits: neither deleted nor the moved body of an overflow row.
    bool isHeader() const { return !deletedFlag(); }
    std::uint16_t length() const { return static_cast<std::uint16_t>(end - start); }
};

// A checked view of one data page. The constructor verifies the page type and
// that the offset table fits; slot() verifies each row's bounds.
class DataPageView {
public:
    DataPageView(const PageFile &file, PageHandle page);

    PageNumber number() const { return page_->number; }
    std::uint32_t owner() const { return loadLE32(page_->bytes.data() + 4); }
    std::uint16_t freeSpace() const { return loadLE16(page_->bytes.data() + 2); }
    unsigned rowCount() const { return rowCount_; }
    // Where the offset table ends; rows may not start before it.
    std::size_t rowTableEnd() const { return rowTableOffset_ + 2 * rowCount_; }

    // Row `row` with its bounds checked; throws jet::Error(Damaged) naming page and row.
    RowSlot slot(unsigned row) const;
    // The raw entry without bounds checks (for flags of rows that are skipped).
    std::uint16_t rawEntry(unsigned row) const;
    ByteSpan rowBytes(const RowSlot &slot) const { return ByteSpan(page_->bytes).subspan(slot.start, slot.length()); }
    ByteSpan bytes() const { return page_->bytes; }
    const PageHandle &handle() const { return page_; }

private:
    const PageFile *file_;
    PageHandle page_;
    std::size_t rowTableOffset_;
    unsigned rowCount_ = 0;
};

// The bytes of row `id` (which must not be deleted), for usage maps, long
// values and overflow bodies. Keeps the page alive through `keep`.
ByteSpan readRow(const PageFile &file, RowId id, PageHandle &keep, const std::string &what);

}  // namespace jet
