#include "jet/write/UsageMapPlacer.h"

#include "jet/write/UsageMapWriter.h"

namespace jet::write {

namespace {

constexpr std::uint32_t kGlobalMapOwner = 1;

PageFormat formatOf(bool jet3) { return jet3 ? PageFormat::Jet3 : PageFormat::Jet4; }

}  // namespace

UsageMapPlacer::UsageMapPlacer(bool jet3, std::uint32_t pageSize, PageAllocator &allocator, EncodedPageWriter &pages)
    : jet3_(jet3), pageSize_(pageSize), allocator_(allocator), pages_(pages), holders_(jet3, pageSize, 0, allocator, pages)
{
}

std::uint32_t UsageMapPlacer::place(std::vector<std::uint32_t> pages)
{
    const PageSink sink{[this] { return allocator_.allocate(); },
                        [this](PageNumber page, ByteSpan bytes) { pages_.write(page, bytes); }};
    const UsageMapRow row = encodeUsageMap(formatOf(jet3_), pages, sink);
    return holders_.add(row.bytes);
}

void UsageMapPlacer::writeGlobalMap(bool jet3, std::uint32_t pageSize, PageAllocator &allocator, EncodedPageWriter &pages)
{
    (void)pageSize;
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
    const UsageMapRow global = encodeGlobalUsageMap(formatOf(jet3), pageCount, used, sink);
    UsageMapHolderPage page1(formatOf(jet3), kGlobalMapOwner);
    page1.add(global.bytes);
    page1.add(emptyInlineUsageMap(formatOf(jet3)));
    pages.write(1, page1.bytes());
}

}  // namespace jet::write
