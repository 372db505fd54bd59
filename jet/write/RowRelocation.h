// Where each live row of one table went: old position (the row's identity, the
// overflow stub if it had one) -> new RowRef. Index entries are re-keyed
// through it (docs/jet-format-writer.md §index.rekey). Memory is four bytes per
// row slot of the pages the table actually uses plus eight per source page, not
// per possible position.
//
// Index rebuilds look rows up in key order, i.e. all over the table; callers
// that look up many positions can find their slots first, prefetch them and
// claim them afterwards, so the cache misses overlap instead of queueing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
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

private:
    std::uint32_t *data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

class RowRelocation {
public:
    static constexpr std::size_t kNoSlot = static_cast<std::size_t>(-1);

    // `sourcePages`: pages in the source file; positions name pages below it.
    explicit RowRelocation(std::uint32_t sourcePages) : pages_(sourcePages), slots_(std::size_t(sourcePages) * 255) {}

    // Must be called once per source page before rows of it are recorded.
    void addPage(std::uint32_t page, unsigned rowSlots);
    bool hasPage(std::uint32_t page) const { return page < pages_.size() && pages_[page].known; }

    // Records the new place of the row at (page, row); false if it was
    // already recorded or the position is unknown. Throws jet::Error when
    // the new RowRef does not fit (a copy beyond any Jet file's size).
    bool record(std::uint32_t page, unsigned row, std::uint32_t newRowRef);
    bool contains(std::uint32_t page, unsigned row) const { return lookup(page, row).has_value(); }
    std::optional<std::uint32_t> lookup(std::uint32_t page, unsigned row) const;

    // The slot of a position, kNoSlot when no row can be there.
    std::size_t slotOf(std::uint32_t page, unsigned row) const
    {
        if (page >= pages_.size())
            return kNoSlot;
        const PageSlots &p = pages_[page];
        return row < p.count ? static_cast<std::size_t>(p.first) + row : kNoSlot;
    }
    // Unconditional on purpose: GCC 12 drops a prefetch inside this branch.
    void prefetch(std::size_t slot) const { __builtin_prefetch(slots_.data() + (slot == kNoSlot ? 0 : slot)); }

    // One index's pass over the rows: each recorded row may be claimed once.
    enum class Claim { Claimed, NoRow, ClaimedBefore };
    Claim claim(std::size_t slot, std::uint32_t &newRowRef)
    {
        if (slot == kNoSlot)
            return Claim::NoRow;
        std::uint32_t &value = slots_[slot];
        if ((value & ~kClaimedBit) == kUnset)
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
    std::size_t memoryBytes() const
    {
        return slots_.size() * sizeof(std::uint32_t) + pages_.capacity() * sizeof(PageSlots);
    }

private:
    struct PageSlots {
        std::uint32_t first = 0;
        std::uint8_t count = 0;
        bool known = false;
    };

    // New RowRefs stay below 2^31 (page numbers of a Jet file need far fewer
    // bits), which leaves the top bit of a slot for the claim of an index pass.
    static constexpr std::uint32_t kClaimedBit = 0x80000000u;
    static constexpr std::uint32_t kUnset = 0x7FFFFFFFu;
    std::vector<PageSlots> pages_;  // indexed by source page number
    SlotArray slots_;
    std::uint64_t recorded_ = 0;
};

}  // namespace jet::write
