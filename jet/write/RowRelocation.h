// Where each live row of one table went: old position (the row's identity, the
// overflow stub if it had one) -> new RowRef. Index entries are re-keyed
// through it (docs/jet-format-writer.md §index.rekey). Memory is four bytes per
// row slot of the pages the table actually uses plus eight per source page, not
// per possible position, up to a budget. A table with more slots than that
// keeps one bit per slot; if its rows were copied in slot order (no primary
// key led the copy), the new RowRefs follow from the bits and the runs the
// copy wrote (InOrderRefs), while that fits the budget. Otherwise the new
// RowRefs go to partitions on disk (RelocationSpill), which index passes read
// one at a time.
//
// Index rebuilds look rows up in key order, i.e. all over the table; callers
// that look up many positions in the flat map can find their slots first,
// prefetch them and claim them afterwards, so the cache misses overlap
// instead of queueing.
#pragma once

#include "jet/RowRef.h"
#include "jet/write/InOrderRefs.h"
#include "jet/write/RelocationSpill.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace jet::write {

// The slots: room for every row slot the source could have is reserved as
// address space up front, so the array never moves while it grows, and is
// backed by huge pages where the system offers them: lookups in key order
// land all over it, and with small pages most would miss the TLB as well.
class SlotArray {
public:
    explicit SlotArray(std::size_t capacity);
    ~SlotArray();
    SlotArray(const SlotArray &) = delete;
    SlotArray &operator=(const SlotArray &) = delete;

    std::size_t size() const { return size_; }
    std::uint32_t *data() { return data_; }
    const std::uint32_t *data() const { return data_; }
    std::uint32_t &operator[](std::size_t i) { return data_[i]; }
    std::uint32_t operator[](std::size_t i) const { return data_[i]; }
    // Appends `count` slots holding `value`.
    void grow(std::size_t count, std::uint32_t value);
    std::size_t reservedBytes() const { return capacity_ * sizeof(std::uint32_t); }
    // Gives the memory back; the array is empty and cannot grow any more.
    void release();

private:
    std::uint32_t *data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

// The budget for the new RowRefs held in memory. 16 MiB keep the flat map,
// and its speed, for tables of up to four million row slots. Past it the map
// would grow to 540 MiB at the Jet 4 file limit (524288 pages of up to 255
// slots); partitioned, a table at that limit costs one bit per slot (16 MiB)
// while it is copied, then one partition's values (this budget) while its
// indexes are rebuilt, and a 64 KiB block per partition (32 of them) either
// way: under a third of a 64 MiB compaction, which leaves the rest to the
// page reads and the index sorts.
inline constexpr std::size_t kDefaultRelocationBudget = 16u << 20;

class RowRelocation {
public:
    static constexpr std::size_t kNoSlot = static_cast<std::size_t>(-1);

    // `sourcePages`: pages in the source file; positions name pages below it.
    // `spillFolder` takes the partitions once the slots outgrow `memoryBudget`
    // bytes of new RowRefs; an empty one (a compaction in memory, which must
    // not touch the file system) keeps the flat map whatever its size.
    explicit RowRelocation(std::uint32_t sourcePages, std::string spillFolder = {},
                           std::size_t memoryBudget = kDefaultRelocationBudget);

    // Must be called once per source page before rows of it are recorded.
    void addPage(std::uint32_t page, unsigned rowSlots);
    bool hasPage(std::uint32_t page) const { return page < pages_.size() && pages_[page].known; }

    // Records the new place of the row at (page, row); false if it was
    // already recorded or the position is unknown. Throws jet::Error when
    // the new RowRef does not fit (a copy beyond any Jet file's size).
    bool record(std::uint32_t page, unsigned row, std::uint32_t newRowRef);
    bool contains(std::uint32_t page, unsigned row) const
    {
        const std::size_t slot = slotOf(page, row);
        return slot != kNoSlot && recordedAt(slot);
    }
    // While rows are copied: partitioned, the bits of recorded rows go with
    // the first index pass, which finds the slots without a row by itself.
    bool recordedAt(std::size_t slot) const
    {
        if (bits_)
            return (*bits_)[slot / 32] >> (slot % 32) & 1u;
        return !partitions_ && (slots_[slot] & ~kClaimedBit) != kNoNewRow;
    }

    // The slot of a position, kNoSlot when no row can be there.
    std::size_t slotOf(std::uint32_t page, unsigned row) const
    {
        if (page >= pages_.size())
            return kNoSlot;
        const PageSlots &p = pages_[page];
        return row < p.count ? static_cast<std::size_t>(p.first) + row : kNoSlot;
    }
    // The position a slot stands for (slow: for messages).
    RowId positionOf(std::size_t slot) const;

    // Ends the recording (nothing is recorded after the first index pass)
    // and gives the partitions, if the slots outgrew the budget and the rows
    // were not copied in slot order; null while the calls below serve.
    RelocationPartitions *partitions();

    // Unconditional on purpose: GCC 12 drops a prefetch inside this branch.
    void prefetch(std::size_t slot) const
    {
        const std::size_t s = slot == kNoSlot ? 0 : slot;
        __builtin_prefetch(inOrder_ ? static_cast<const void *>(bits_->data() + s / 32)
                                    : static_cast<const void *>(slots_.data() + s));
    }

    // One index's pass over the rows: each recorded row may be claimed once.
    enum class Claim { Claimed, NoRow, ClaimedBefore };
    Claim claim(std::size_t slot, std::uint32_t &newRowRef)
    {
        if (slot == kNoSlot)
            return Claim::NoRow;
        if (inOrder_)
            return claimInOrder(slot, newRowRef);
        std::uint32_t &value = slots_[slot];
        if ((value & ~kClaimedBit) == kNoNewRow)
            return Claim::NoRow;
        if (value & kClaimedBit)
            return Claim::ClaimedBefore;
        newRowRef = value;
        value |= kClaimedBit;
        return Claim::Claimed;
    }
    // Ends a pass: no row is claimed any more.
    void clearClaims();

    std::uint64_t rowsRecorded() const { return recorded_; }

private:
    struct PageSlots {
        std::uint32_t first = 0;
        std::uint8_t count = 0;
        bool known = false;
    };
    void markRecorded(std::size_t slot) { (*bits_)[slot / 32] |= 1u << (slot % 32); }
    void leaveFlatMap();
    void leaveSlotOrder();
    Claim claimInOrder(std::size_t slot, std::uint32_t &newRowRef);

    std::vector<PageSlots> pages_;  // indexed by source page number
    std::size_t slotCount_ = 0;
    SlotArray slots_;  // the flat map; released once partitioned
    std::string spillFolder_;
    std::size_t slotsInMemory_;
    std::size_t memoryBudget_;
    std::unique_ptr<RelocationPartitions> partitions_;
    std::unique_ptr<InOrderRefs> inOrder_;
    // Past the flat map: bit per slot, set when recorded (partitioned, until the first index pass).
    std::unique_ptr<SlotArray> bits_;
    bool inSlotOrder_ = true;  // every row so far recorded after the one before in slot order
    std::size_t nextSlotInOrder_ = 0;
    std::uint64_t recorded_ = 0;
};

}  // namespace jet::write
