// The new RowRefs of a table whose rows were copied in the order of their
// slots, as a copy in physical order does: the k-th row copied is the k-th
// slot that holds a row, so a slot's new place follows from how many slots
// before it hold one (a rank over the relocation's bit per slot) and from the
// runs of consecutive RowRefs the copy wrote (about one per data page). That
// is a little over two bits per row slot, where the flat map takes four bytes
// and a table too large for it would otherwise go through partitions on disk.
#pragma once

#include "jet/check/SlotBits.h"
#include "jet/write/RowRefRuns.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace jet::write {

class InOrderRefs {
public:
    // The next row's new RowRef, rows in slot order.
    void append(std::uint32_t newRowRef) { refs_.append(newRowRef); }
    const RowRefRuns &refs() const { return refs_; }
    // Ends the recording. `bits`: one per slot (`words` of them, 32 slots
    // each), set where a row was recorded, as many as append() was called.
    void finish(const std::uint32_t *bits, std::size_t words);
    bool finished() const { return finished_; }
    // Memory held once finished, the bits excluded.
    std::size_t bytes() const;

    // The rank of the row at `slot` (whose bit is set) among the rows.
    std::uint32_t ordinalOf(const std::uint32_t *bits, std::size_t slot) const;
    std::uint32_t refAt(std::uint32_t ordinal) const { return refs_.refAt(ordinal); }
    // One index's pass claims each row once: false when claimed before.
    bool claim(std::uint32_t ordinal) { return !claims_.testAndSet(ordinal); }
    void clearClaims() { claims_.reset(claims_.size()); }

private:
    static constexpr std::size_t kWordsPerBlock = 16;  // 512 slots: one cache line of bits

    RowRefRuns refs_;
    std::vector<std::uint32_t> blockRanks_;  // rows in the blocks before each block
    SlotBits claims_;                        // by ordinal
    bool finished_ = false;
};

}  // namespace jet::write
