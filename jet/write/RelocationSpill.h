// The relocation of a table whose row slots outgrow the memory budget
// (docs/jet-format-writer.md §index.rekey): the slots are cut into partitions
// of a fixed number of consecutive slots, one partition's values filling the
// budget. Each recorded row appends (its slot within the partition, its new
// RowRef) to the partition's stream in a temporary file; an index pass then
// resolves the index's entries one partition at a time, so no more than one
// partition's values are ever held.
#pragma once

#include "jet/write/SpillStreams.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace jet::write {

// New RowRefs stay below 2^31 (page numbers of a Jet file need far fewer
// bits): the value below marks a slot without a copied row, and the top bit
// the claim of a row by the index pass under way.
inline constexpr std::uint32_t kNoNewRow = 0x7FFFFFFFu;
inline constexpr std::uint32_t kClaimedBit = 0x80000000u;

class RelocationPartitions {
public:
    RelocationPartitions(const std::string &folder, std::size_t slotsPerPartition);

    std::size_t slotsPerPartition() const { return slotsPerPartition_; }
    std::size_t partitions() const { return pairs_.streams(); }
    std::size_t blockValues() const { return blockValues_; }

    void record(std::size_t slot, std::uint32_t newRowRef)
    {
        const std::size_t partition = slot / slotsPerPartition_;
        if (partition >= pairs_.streams())
            pairs_.reserveStreams(partition + 1);
        pairs_.append(partition, static_cast<std::uint32_t>(slot % slotsPerPartition_));
        pairs_.append(partition, newRowRef);
    }
    // Ends the recording; passes read the partitions from then on.
    void finish();
    bool finished() const { return finished_; }
    // The partition's values by slot within it, kNoNewRow where no row went.
    void load(std::size_t partition, std::vector<std::uint32_t> &values);

private:
    std::size_t slotsPerPartition_;
    std::size_t blockValues_;
    SpillStreams pairs_;
    bool finished_ = false;
};

// One index's pass over partitioned rows: every entry's slot is noted in the
// order of the walk over the index, then each partition's noted slots are
// resolved in place to new RowRefs (each row claimed once), and a second walk
// in the same order takes them back entry by entry.
class RelocationPass {
public:
    RelocationPass(RelocationPartitions &partitions, const std::string &folder);

    void note(std::size_t slot)
    {
        const std::size_t partition = slot / partitions_.slotsPerPartition();
        if (partition >= slots_.streams())
            slots_.reserveStreams(partition + 1);
        slots_.append(partition, static_cast<std::uint32_t>(slot % partitions_.slotsPerPartition()));
        ++noted_;
    }

    struct Fault {
        std::size_t slot;
        bool claimedBefore;  // else no row was copied from there
    };
    // The first fault found, partition by partition; none once all resolve.
    std::optional<Fault> resolve();

    // The new RowRef of the next entry of the second walk, which has `slot`;
    // false when the walks disagree.
    bool take(std::size_t slot, std::uint32_t &newRowRef)
    {
        const std::size_t partition = slot / partitions_.slotsPerPartition();
        if (partition >= readers_.size() || !readers_[partition].next(newRowRef))
            return false;
        ++taken_;
        return true;
    }
    bool tookAll() const { return taken_ == noted_; }

private:
    std::optional<Fault> resolvePartition(std::size_t partition, std::vector<std::uint32_t> &values);

    RelocationPartitions &partitions_;
    SpillStreams slots_;
    std::vector<SpillStreams::Reader> readers_;
    std::uint64_t noted_ = 0;
    std::uint64_t taken_ = 0;
};

}  // namespace jet::write
