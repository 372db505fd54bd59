// Sorts (key bytes, row pointer) pairs in the order index entries take:
// key bytes as unsigned byte strings (a proper prefix first), then the row
// pointer. Memory stays within a fixed budget: above it, sorted runs go to an
// unnamed temporary file in a chosen folder and are merged at the end.
#pragma once

#include "jet/Bytes.h"
#include "jet/write/SpillFile.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace jet::write {

class SpillSorter {
public:
    static constexpr std::size_t kDefaultBudget = 128u << 20;

    // `spillFolder` is where run files go (the target's folder: the space is
    // needed there anyway, and a full disk is reported like any write); an
    // empty one allows no run files, so sorting past the budget fails.
    explicit SpillSorter(std::string spillFolder, std::size_t memoryBudget = kDefaultBudget);
    SpillSorter(const SpillSorter &) = delete;
    SpillSorter &operator=(const SpillSorter &) = delete;

    void add(ByteSpan key, std::uint32_t rowPointer);
    std::uint64_t count() const { return count_; }
    std::size_t runsSpilled() const { return runs_.size(); }

    // Calls `visit` once per pair in order, then leaves the sorter empty.
    void drain(const std::function<void(ByteSpan key, std::uint32_t rowPointer)> &visit);

private:
    struct Run {
        std::uint64_t offset;
        std::uint64_t length;
    };
    void spill();
    void sortMemory();
    void reserveBudget();

    SpillFile file_;  // the runs, one after the other
    std::size_t budget_;
    std::vector<std::uint8_t> arena_;           // u16 length, key bytes, u32 pointer
    std::vector<std::uint32_t> records_;        // arena offsets
    std::vector<Run> runs_;
    std::uint64_t spillSize_ = 0;
    std::uint64_t count_ = 0;
    bool arrivedInOrder_ = true;  // then the in-memory sort has nothing to do
};

}  // namespace jet::write
