#include "jet/write/KeyOrderCopy.h"

#include "jet/write/RowDigest.h"

namespace jet::write {

// Each step is a bijection of the hash, so two walks that differ anywhere
// end with the same value only by a 64-bit coincidence.
std::uint64_t KeyOrderCopy::chain(std::uint64_t hash, std::size_t slot)
{
    return spreadDigest(hash ^ (static_cast<std::uint64_t>(slot) + 0x9e3779b97f4a7c15ull)) + 1;
}

void KeyOrderCopy::add(std::size_t slot, std::uint32_t newRowRef)
{
    if (!runs_.empty() && runs_.back().first + runs_.back().count == newRowRef)
        ++runs_.back().count;
    else
        runs_.push_back({newRowRef, 1});
    hash_ = chain(hash_, slot);
    ++entries_;
}

bool KeyOrderCopy::Replay::next(std::size_t slot, std::uint32_t &newRowRef)
{
    if (run_ >= order_.runs_.size())
        return false;
    const Run &run = order_.runs_[run_];
    newRowRef = run.first + inRun_;
    if (++inRun_ == run.count) {
        ++run_;
        inRun_ = 0;
    }
    hash_ = chain(hash_, slot);
    ++entries_;
    return true;
}

bool KeyOrderCopy::Replay::matched() const
{
    return order_.usable_ && entries_ == order_.entries_ && hash_ == order_.hash_;
}

}  // namespace jet::write
