// The order a table's rows were copied in when the copy walked its primary
// key: the walk's row slots (as a chained hash) and the rows' new RowRefs (as
// runs of consecutive RowRefs, about one per data page written). A rebuild of
// that index walks the same entries again, and each entry's new place is the
// next one of this order: no lookup in the relocation and, on a table too
// large for the flat map, none of the two walks and the partition pass. The
// rebuild compares its walk's slots with the copy's at the end and falls
// back to the relocation when they differ.
#pragma once

#include "jet/write/RowRefRuns.h"

#include <cstddef>
#include <cstdint>

namespace jet::write {

class KeyOrderCopy {
public:
    explicit KeyOrderCopy(std::size_t indexNumber) : indexNumber_(indexNumber) {}

    std::size_t indexNumber() const { return indexNumber_; }
    // The next entry of the copy's walk: its row's slot and new RowRef.
    void add(std::size_t slot, std::uint32_t newRowRef);
    // An entry of the walk copied no row (it named one already copied): the
    // walk and the copied rows no longer pair one to one.
    void spoil() { usable_ = false; }
    bool usable() const { return usable_; }

    // The same walk again, entry by entry.
    class Replay {
    public:
        explicit Replay(const KeyOrderCopy &order) : order_(order), refs_(order.refs_) {}
        // The new RowRef of the next entry, whose row has `slot`; false when
        // the copy's walk had no more entries.
        bool next(std::size_t slot, std::uint32_t &newRowRef);
        // Whether the replay took exactly the copy's walk.
        bool matched() const;

    private:
        const KeyOrderCopy &order_;
        RowRefRuns::Cursor refs_;
        std::uint64_t entries_ = 0;
        std::uint64_t hash_ = 0;
    };

private:
    static std::uint64_t chain(std::uint64_t hash, std::size_t slot);

    std::size_t indexNumber_;
    RowRefRuns refs_;
    std::uint64_t hash_ = 0;
    bool usable_ = true;
};

}  // namespace jet::write
