#include "jet/write/LongValueWriter.h"

#include "jet/Error.h"

#include <algorithm>
#include <vector>

namespace jet::write {

namespace {

// Leave a page's last scraps alone rather than start a chain with a sliver.
constexpr std::size_t kSmallestFirstFragment = 64;

std::array<std::uint8_t, 12> header(std::uint32_t lengthAndKind, std::uint32_t rowRef)
{
    std::array<std::uint8_t, 12> h{};
    storeLE32(h.data(), lengthAndKind);
    storeLE32(h.data() + 4, rowRef);
    return h;
}

}  // namespace

LongValueWriter::LongValueWriter(bool jet3, std::uint32_t pageSize, PageAllocator &allocator, EncodedPageWriter &sink)
    : jet3_(jet3),
      pageSize_(pageSize),
      maxRow_(DataPageBuilder::maxRowLength(jet3, pageSize) - 4),
      allocator_(allocator),
      run_(jet3, pageSize, kLvalOwner, allocator, sink)
{
}

std::array<std::uint8_t, 12> LongValueWriter::write(ByteSpan value)
{
    if (value.size() > kLongValueLengthMask)
        throw Error(ErrorKind::Unsupported, "長いデータが大きすぎます。");
    ++values_;
    const auto length = static_cast<std::uint32_t>(value.size());
    if (value.empty())
        return header(kLongValueInline, 0);
    if (value.size() <= maxRow_)
        return header(length | kLongValueSingleRow, run_.add(value));
    return writeChain(value);
}

std::array<std::uint8_t, 12> LongValueWriter::writeChain(ByteSpan value)
{
    // Fragment i = RowRef of fragment i+1 (0 for the last) + data. The first
    // fragment may use the rest of the page in progress; the others get
    // fresh pages, numbered before any byte is written so each link is known.
    const std::size_t fullData = maxRow_ - 4;
    std::vector<std::size_t> sizes;
    std::size_t remaining = value.size();
    bool firstOnCurrent = false;
    if (run_.isOpen() && run_.builder().rowCount() < kMaxRowsPerPage) {
        const std::size_t free = run_.currentFree();
        if (free >= 2 + 4 + kSmallestFirstFragment) {
            const std::size_t take = std::min(remaining, std::min(free - 2 - 4, fullData));
            sizes.push_back(take);
            remaining -= take;
            firstOnCurrent = true;
        }
    }
    while (remaining > 0) {
        const std::size_t take = std::min(remaining, fullData);
        sizes.push_back(take);
        remaining -= take;
    }
    std::vector<std::uint32_t> refs(sizes.size());
    std::vector<std::uint32_t> freshPages;
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        if (i == 0 && firstOnCurrent) {
            refs[i] = makeRowRef(run_.currentPage(), run_.builder().rowCount());
        } else {
            freshPages.push_back(allocator_.allocate());
            refs[i] = makeRowRef(freshPages.back(), 0);
        }
    }
    std::vector<std::uint8_t> fragment;
    std::size_t offset = 0;
    std::size_t fresh = 0;
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        fragment.assign(4 + sizes[i], 0);
        storeLE32(fragment.data(), i + 1 < sizes.size() ? refs[i + 1] : 0);
        std::copy_n(value.data() + offset, sizes[i], fragment.data() + 4);
        offset += sizes[i];
        if (!(i == 0 && firstOnCurrent))
            run_.startPage(freshPages[fresh++]);
        run_.builder().add(fragment);
    }
    return header(static_cast<std::uint32_t>(value.size()), refs[0]);
}

}  // namespace jet::write
