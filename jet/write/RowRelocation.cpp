#include "jet/write/RowRelocation.h"

namespace jet::write {

void RowRelocation::addPage(std::uint32_t page, unsigned rowSlots)
{
    if (page >= firstSlot_.size() || firstSlot_[page] != kNoPage)
        return;
    rowSlots = rowSlots > 255 ? 255 : rowSlots;  // row numbers are one byte
    firstSlot_[page] = static_cast<std::uint32_t>(slots_.size());
    slotCount_[page] = static_cast<std::uint8_t>(rowSlots);
    slots_.resize(slots_.size() + rowSlots, kUnset);
}

std::optional<std::size_t> RowRelocation::slotOf(std::uint32_t page, unsigned row) const
{
    if (page >= firstSlot_.size() || firstSlot_[page] == kNoPage || row >= slotCount_[page])
        return std::nullopt;
    return static_cast<std::size_t>(firstSlot_[page]) + row;
}

bool RowRelocation::record(std::uint32_t page, unsigned row, std::uint32_t newRowRef)
{
    const auto slot = slotOf(page, row);
    if (!slot || slots_[*slot] != kUnset)
        return false;
    slots_[*slot] = newRowRef;
    ++recorded_;
    return true;
}

std::optional<std::uint32_t> RowRelocation::lookup(std::uint32_t page, unsigned row) const
{
    const auto slot = slotOf(page, row);
    if (!slot || slots_[*slot] == kUnset)
        return std::nullopt;
    return slots_[*slot];
}

bool RowRelocation::Marks::mark(std::uint32_t page, unsigned row)
{
    const auto slot = relocation_.slotOf(page, row);
    if (!slot || bits_[*slot])
        return false;
    bits_[*slot] = true;
    return true;
}

}  // namespace jet::write
