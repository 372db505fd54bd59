// Where each live row of one table went: old position (the row's identity,
// the overflow stub if it had one) -> new RowRef. Index entries are re-keyed
// through it (§14 A). Memory is four bytes per row slot of the pages the
// table actually uses, not per possible position.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace jet::write {

class RowRelocation {
public:
    // `sourcePages`: pages in the source file; positions name pages below it.
    explicit RowRelocation(std::uint32_t sourcePages) : firstSlot_(sourcePages, kNoPage), slotCount_(sourcePages, 0) {}

    // Must be called once per source page before rows of it are recorded.
    void addPage(std::uint32_t page, unsigned rowSlots);
    bool hasPage(std::uint32_t page) const { return page < firstSlot_.size() && firstSlot_[page] != kNoPage; }

    // Records the new place of the row at (page, row); false if it was already recorded.
    bool record(std::uint32_t page, unsigned row, std::uint32_t newRowRef);
    bool contains(std::uint32_t page, unsigned row) const { return lookup(page, row).has_value(); }
    std::optional<std::uint32_t> lookup(std::uint32_t page, unsigned row) const;

    std::uint64_t rowsRecorded() const { return recorded_; }
    std::size_t memoryBytes() const { return (slots_.capacity() + firstSlot_.size()) * sizeof(std::uint32_t) + slotCount_.size(); }

    // Per-position marks, e.g. "an index already has an entry for this row".
    class Marks {
    public:
        explicit Marks(const RowRelocation &relocation) : relocation_(relocation), bits_(relocation.slots_.size()) {}
        // False if the position is unknown or was marked before.
        bool mark(std::uint32_t page, unsigned row);

    private:
        const RowRelocation &relocation_;
        std::vector<bool> bits_;
    };

private:
    std::optional<std::size_t> slotOf(std::uint32_t page, unsigned row) const;

    static constexpr std::uint32_t kUnset = 0xFFFFFFFFu;
    static constexpr std::uint32_t kNoPage = 0xFFFFFFFFu;
    // Indexed by source page number: a few bytes per page of the source.
    std::vector<std::uint32_t> firstSlot_;
    std::vector<std::uint8_t> slotCount_;
    std::vector<std::uint32_t> slots_;
    std::uint64_t recorded_ = 0;
};

}  // namespace jet::write
