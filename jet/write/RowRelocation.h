// Where each live row of one table went: old position (the row's identity,
// the overflow stub if it had one) -> new RowRef. Index entries are re-keyed
// through it (§14 A). Memory is four bytes per row slot of the pages the
// table actually uses, not per possible position.
#pragma once

#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

namespace jet::write {

class RowRelocation {
public:
    // Must be called once per source page before rows of it are recorded.
    void addPage(std::uint32_t page, unsigned rowSlots);
    bool hasPage(std::uint32_t page) const { return base_.count(page) != 0; }

    // Records the new place of the row at (page, row); false if it was already recorded.
    bool record(std::uint32_t page, unsigned row, std::uint32_t newRowRef);
    bool contains(std::uint32_t page, unsigned row) const { return lookup(page, row).has_value(); }
    std::optional<std::uint32_t> lookup(std::uint32_t page, unsigned row) const;

    std::uint64_t rowsRecorded() const { return recorded_; }
    std::size_t memoryBytes() const { return slots_.capacity() * sizeof(std::uint32_t) + base_.size() * 32; }

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
    struct PageSlots {
        std::size_t first;
        unsigned count;
    };
    std::unordered_map<std::uint32_t, PageSlots> base_;
    std::vector<std::uint32_t> slots_;
    std::uint64_t recorded_ = 0;
};

}  // namespace jet::write
