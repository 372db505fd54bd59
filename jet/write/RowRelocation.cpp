#include "jet/write/RowRelocation.h"

namespace jet::write {

void RowRelocation::addPage(std::uint32_t page, unsigned rowSlots)
{
    if (base_.count(page))
        return;
    base_[page] = {slots_.size(), rowSlots};
    slots_.resize(slots_.size() + rowSlots, kUnset);
}

std::optional<std::size_t> RowRelocation::slotOf(std::uint32_t page, unsigned row) const
{
    const auto it = base_.find(page);
    if (it == base_.end() || row >= it->second.count)
        return std::nullopt;
    return it->second.first + row;
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
