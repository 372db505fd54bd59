// The live rows of one table by position, for checking index entries against
// them. A row is found through a per-page table (page -> its first slot)
// instead of a search, and costs one bit; there is no node per row. Slots
// are numbered in the order rows are added: a table scan adds them in
// position order (owned pages ascend, rows ascend on a page), so slot order
// is position order.
#pragma once

#include "jet/RowRef.h"
#include "jet/check/SlotBits.h"

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

    // The slot `position` would have, live or not; kNone when its page has no
    // live rows at or after it.
    std::uint32_t slotOf(RowId position) const
    {
        if (position.page >= pages_.size())
            return kNone;
        const PageSlots &page = pages_[position.page];
        return position.row < page.count ? page.first + position.row : kNone;
    }
    // The slot of the live row at `position`, or kNone.
    std::uint32_t find(RowId position) const
    {
        const std::uint32_t slot = slotOf(position);
        return slot != kNone && live_.test(slot) ? slot : kNone;
    }
    // False for a deleted row between live ones; `slot` below slotCount().
    bool isLive(std::uint32_t slot) const { return live_.test(slot); }

    std::size_t slotCount() const { return live_.size(); }
    std::uint64_t rowCount() const { return rows_; }

    // Calls `visit(slot, position)` for every live row in position order.
    template <typename Visit>
    void forEachRow(Visit visit) const
    {
        for (PageNumber number : usedPages_) {
            const PageSlots &page = pages_[number];
            for (unsigned row = 0; row < page.count; ++row)
                if (live_.test(page.first + row))
                    visit(page.first + row, RowId{number, static_cast<std::uint8_t>(row)});
        }
    }

private:
    struct PageSlots {
        std::uint32_t first = kNone;
        std::uint32_t count = 0;  // highest live row + 1
    };

    std::vector<PageSlots> pages_;        // per page of the file
    std::vector<PageNumber> usedPages_;   // pages with live rows, ascending
    SlotBits live_;                       // per slot
    std::uint64_t rows_ = 0;
};

}  // namespace jet
