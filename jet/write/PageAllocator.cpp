#include "jet/write/PageAllocator.h"

#include "jet/Error.h"

#include <algorithm>

namespace jet::write {

namespace {
constexpr std::uint32_t kMaxPages = 1u << 24;  // 24-bit page numbers in row pointers
}

PageAllocator::PageAllocator(std::vector<std::uint32_t> pinned) : pinned_(pinned.begin(), pinned.end()) {}

std::uint32_t PageAllocator::allocate()
{
    while (pinned_.count(next_))
        ++next_;
    if (next_ >= kMaxPages)
        throw Error(ErrorKind::Unsupported, "最適化後のデータベースがページ数の上限を超えます。");
    ++allocated_;
    return next_++;
}

std::uint32_t PageAllocator::allocateAtEnd()
{
    next_ = std::max(next_, pageCount());
    return allocate();
}

std::uint32_t PageAllocator::pageCount() const
{
    std::uint32_t count = next_;
    if (!pinned_.empty() && *pinned_.rbegin() + 1 > count)
        count = *pinned_.rbegin() + 1;
    return count;
}

std::vector<std::uint32_t> PageAllocator::unusedPages() const
{
    std::vector<std::uint32_t> unused;
    for (std::uint32_t page = next_; page < pageCount(); ++page)
        if (!pinned_.count(page))
            unused.push_back(page);
    return unused;
}

}  // namespace jet::write
