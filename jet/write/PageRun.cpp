#include "jet/write/PageRun.h"

namespace jet::write {

std::uint32_t PageRun::add(ByteSpan row)
{
    if (!fitsOnCurrent(row.size()))
        startPage(allocator_.allocate());
    const unsigned number = builder_.add(row);
    return makeRowRef(current_, number);
}

void PageRun::startPage(std::uint32_t page)
{
    flush();
    builder_.reset();
    current_ = page;
    open_ = true;
    pages_.push_back(page);
}

void PageRun::flush()
{
    if (!open_)
        return;
    sink_.write(current_, builder_.bytes());
    lastFree_ = builder_.freeSpace();
    open_ = false;
}

std::vector<std::uint32_t> PageRun::pagesWithRoom(std::size_t minimumRoom) const
{
    if (pages_.empty())
        return {};
    const std::size_t room = open_ ? builder_.freeSpace() : lastFree_;
    if (room < minimumRoom + 2 || (open_ && builder_.rowCount() >= kMaxRowsPerPage))
        return {};
    return {pages_.back()};
}

}  // namespace jet::write
