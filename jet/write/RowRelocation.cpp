#include "jet/write/RowRelocation.h"

#include "jet/Error.h"

namespace jet::write {

void RowRelocation::addPage(std::uint32_t page, unsigned rowSlots)
{
    if (page >= pages_.size() || pages_[page].known)
        return;
    rowSlots = rowSlots > 255 ? 255 : rowSlots;  // row numbers are one byte
    pages_[page] = {static_cast<std::uint32_t>(slots_.size()), static_cast<std::uint8_t>(rowSlots), true};
    slots_.resize(slots_.size() + rowSlots, kUnset);
}

bool RowRelocation::record(std::uint32_t page, unsigned row, std::uint32_t newRowRef)
{
    if (newRowRef >= kUnset)
        throw Error(ErrorKind::Unsupported, "最適化後のデータベースがページ数の上限を超えます。");
    const std::size_t slot = slotOf(page, row);
    if (slot == kNoSlot || slots_[slot] != kUnset)
        return false;
    slots_[slot] = newRowRef;
    ++recorded_;
    return true;
}

std::optional<std::uint32_t> RowRelocation::lookup(std::uint32_t page, unsigned row) const
{
    const std::size_t slot = slotOf(page, row);
    if (slot == kNoSlot || (slots_[slot] & ~kClaimedBit) == kUnset)
        return std::nullopt;
    return slots_[slot] & ~kClaimedBit;
}

void RowRelocation::clearClaims()
{
    for (std::uint32_t &value : slots_)
        value &= ~kClaimedBit;
}

}  // namespace jet::write
