// The live rows of one table by position, for checking index entries against
// them. A row is found through a per-page table (page -> its first slot)
// instead of a search, and costs one byte; there is no node per row. Slots
// are numbered in the order rows are added: a table scan adds them in
// position order (owned pages ascend, rows ascend on a page), so slot order
// is position order.
#pragma once

#include "jet/RowRef.h"

#include <cstdint>
#include <vector>

namespace jet {

class LiveRowSlots {
public:
    static constexpr std::uint32_t kNone = 0xFFFFFFFFu;

    // Positions may name pages below `pageCount`; others are never live.
    explicit LiveRowSlots(PageNumber pageCount);

    // Forgets the rows of the previous table, keeping the memory.
    void clear();

    // Records a live row and returns its slot. Rows must come in ascending
    // position order; a position out of order or on a page past the end gets
    // no slot (kNone).
    std::uint32_t add(RowId position);

    // The slot of the live row at `position`, or kNone.
    std::uint32_t find(RowId position) const
    {
        if (position.page >= firstSlot_.size())
            return kNone;
        const std::uint32_t first = firstSlot_[position.page];
        if (first == kNone || position.row >= slotsOnPage_[position.page] || !live_[first + position.row])
            return kNone;
        return first + position.row;
    }

    std::size_t slotCount() const { return live_.size(); }
    std::uint64_t rowCount() const { return rows_; }

    // Calls `visit(slot, position)` for every live row in position order.
    template <typename Visit>
    void forEachRow(Visit visit) const
    {
        for (PageNumber page : pages_) {
            const std::uint32_t first = firstSlot_[page];
            for (unsigned row = 0; row < slotsOnPage_[page]; ++row)
                if (live_[first + row])
                    visit(first + row, RowId{page, static_cast<std::uint8_t>(row)});
        }
    }

private:
    std::vector<std::uint32_t> firstSlot_;   // per page of the file
    std::vector<std::uint16_t> slotsOnPage_; // per page of the file: highest live row + 1
    std::vector<PageNumber> pages_;          // pages with live rows, ascending
    std::vector<std::uint8_t> live_;         // per slot
    std::uint64_t rows_ = 0;
};

}  // namespace jet
