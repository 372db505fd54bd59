#include "jet/LiveRowSlots.h"

namespace jet {

LiveRowSlots::LiveRowSlots(PageNumber pageCount) : firstSlot_(pageCount, kNone), slotsOnPage_(pageCount, 0) {}

void LiveRowSlots::clear()
{
    for (PageNumber page : pages_) {
        firstSlot_[page] = kNone;
        slotsOnPage_[page] = 0;
    }
    pages_.clear();
    live_.clear();
    rows_ = 0;
}

std::uint32_t LiveRowSlots::add(RowId position)
{
    if (position.page >= firstSlot_.size())
        return kNone;
    if (pages_.empty() || pages_.back() != position.page) {
        // Only the last page may still grow: its slots are the last ones.
        if (!pages_.empty() && pages_.back() > position.page)
            return kNone;
        pages_.push_back(position.page);
        firstSlot_[position.page] = static_cast<std::uint32_t>(live_.size());
    } else if (position.row < slotsOnPage_[position.page]) {
        return kNone;
    }
    const std::uint32_t slot = firstSlot_[position.page] + position.row;
    live_.resize(slot + 1, 0);
    live_[slot] = 1;
    slotsOnPage_[position.page] = static_cast<std::uint16_t>(position.row + 1);
    ++rows_;
    return slot;
}

}  // namespace jet
