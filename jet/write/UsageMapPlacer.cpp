#include "jet/write/UsageMapPlacer.h"

#include "jet/write/UsageMapWriter.h"

namespace jet::write {

namespace {

constexpr std::uint32_t kGlobalMapOwner = 1;

}  // namespace

UsageMapPlacer::UsageMapPlacer(const FormatConstants &format, PageAllocator &allocator, EncodedPageWriter &pages)
    : format_(format), allocator_(allocator), pages_(pages), holders_(format, 0, allocator, pages)
{
}

std::uint32_t UsageMapPlacer::place(std::vector<std::uint32_t> pages)
{
    const PageSink sink{[this] { return allocator_.allocate(); },
                        [this](PageNumber page, ByteSpan bytes) { pages_.write(page, bytes); }};
    const UsageMapRow row = encodeUsageMap(format_, pages, sink);
    return holders_.add(row.bytes);
}

void UsageMapPlacer::writeGlobalMap(const FormatConstants &format, PageAllocator &allocator, EncodedPageWriter &pages)
{
    const PageNumber pageCount = allocator.pageCount();
    std::vector<PageNumber> used;
    used.reserve(pageCount);
    const std::vector<std::uint32_t> unused = allocator.unusedPages();
    std::size_t u = 0;
    for (PageNumber page = 0; page < pageCount; ++page) {
        if (u < unused.size() && unused[u] == page)
            ++u;
        else
            used.push_back(page);
    }
    // Bitmap pages of a reference-form map go after everything else.
    const PageSink sink{[&allocator] { return allocator.allocateAtEnd(); },
                        [&pages](PageNumber page, ByteSpan bytes) { pages.write(page, bytes); }};
    const UsageMapRow global = encodeGlobalUsageMap(format, pageCount, used, sink);
    UsageMapHolderPage page1(format, kGlobalMapOwner);
    page1.add(global.bytes);
    page1.add(emptyInlineUsageMap(format));
    pages.write(1, page1.bytes());
}

}  // namespace jet::write
