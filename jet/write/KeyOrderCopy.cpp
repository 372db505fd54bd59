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
    refs_.append(newRowRef);
    hash_ = chain(hash_, slot);
}

bool KeyOrderCopy::Replay::next(std::size_t slot, std::uint32_t &newRowRef)
{
    if (!refs_.next(newRowRef))
        return false;
    hash_ = chain(hash_, slot);
    ++entries_;
    return true;
}

bool KeyOrderCopy::Replay::matched() const
{
    return order_.usable_ && entries_ == order_.refs_.count() && hash_ == order_.hash_;
}

}  // namespace jet::write
