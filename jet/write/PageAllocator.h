// Hands out the page numbers of the new file in ascending order, stepping
// around the pages reserved for fixed places (page 0 and the global map on
// page 1).
#pragma once

#include <cstdint>
#include <set>
#include <vector>

namespace jet::write {

class PageAllocator {
public:
    explicit PageAllocator(std::vector<std::uint32_t> pinned);

    std::uint32_t allocate();
    // A page after every page allocated or pinned so far (gaps stay gaps).
    std::uint32_t allocateAtEnd();
    // Pages 0 .. pageCount()-1 make up the file: everything allocated and pinned.
    std::uint32_t pageCount() const;
    bool isPinned(std::uint32_t page) const { return pinned_.count(page) != 0; }
    // Pinned pages past the last allocated one leave free pages between them.
    std::vector<std::uint32_t> unusedPages() const;
    std::uint32_t allocatedCount() const { return allocated_; }

    // Lets a writer that gave up hand back every page allocated since mark(),
    // provided nothing else allocated meanwhile: the pages are handed out
    // again, so whatever was written to them gets overwritten.
    struct Mark {
        std::uint32_t next;
        std::uint32_t allocated;
    };
    Mark mark() const { return {next_, allocated_}; }
    void rewind(const Mark &mark)
    {
        next_ = mark.next;
        allocated_ = mark.allocated;
    }

private:
    std::set<std::uint32_t> pinned_;
    std::uint32_t next_ = 0;
    std::uint32_t allocated_ = 0;
};

}  // namespace jet::write
