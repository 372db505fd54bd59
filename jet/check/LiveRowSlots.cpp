#include "jet/check/LiveRowSlots.h"

namespace jet {

LiveRowSlots::LiveRowSlots(PageNumber pageCount) : pages_(pageCount) {}

void LiveRowSlots::clear()
{
    for (PageNumber page : usedPages_)
        pages_[page] = PageSlots{};
    usedPages_.clear();
    live_.clear();
    rows_ = 0;
}

std::uint32_t LiveRowSlots::add(RowId position)
{
    if (position.page >= pages_.size())
        return kNone;
    PageSlots &page = pages_[position.page];
    if (usedPages_.empty() || usedPages_.back() != position.page) {
        // Only the last page may still grow: its slots are the last ones.
        if (!usedPages_.empty() && usedPages_.back() > position.page)
            return kNone;
        usedPages_.push_back(position.page);
        page.first = static_cast<std::uint32_t>(live_.size());
    } else if (position.row < page.count) {
        return kNone;
    }
    const std::uint32_t slot = page.first + position.row;
    live_.grow(slot + std::size_t{1});  // deleted rows between live ones stay clear
    live_.set(slot);
    page.count = position.row + 1u;
    ++rows_;
    return slot;
}

}  // namespace jet
