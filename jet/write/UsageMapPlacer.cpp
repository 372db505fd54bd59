#include "jet/write/UsageMapPlacer.h"

#include "jet/Error.h"

#include <algorithm>

namespace jet::write {

namespace {

constexpr std::uint32_t kGlobalMapOwner = 1;

std::size_t inlineBitmapBytes(bool jet3) { return jet3 ? 128 : 64; }
std::size_t referenceSlots(bool jet3) { return jet3 ? 33 : 17; }
std::uint32_t pagesPerBitmapPage(std::uint32_t pageSize) { return (pageSize - 4) * 8; }

void setBit(std::uint8_t *bitmap, std::uint32_t bit) { bitmap[bit / 8] |= static_cast<std::uint8_t>(1u << (bit % 8)); }

std::vector<std::uint8_t> inlineMap(std::uint32_t start, std::size_t bitmapBytes, const std::vector<std::uint32_t> &pages)
{
    std::vector<std::uint8_t> row(5 + bitmapBytes, 0);
    storeLE32(row.data() + 1, start);
    for (std::uint32_t page : pages)
        setBit(row.data() + 5, page - start);
    return row;
}

// A reference map: bitmap pages for the windows that hold any of `pages`.
std::vector<std::uint8_t> referenceMap(bool jet3, std::uint32_t pageSize, const std::vector<std::uint32_t> &pages,
                                       PageAllocator &allocator, EncodedPageWriter &out)
{
    const std::uint32_t perPage = pagesPerBitmapPage(pageSize);
    const std::size_t slots = referenceSlots(jet3);
    std::vector<std::uint8_t> row(1 + 4 * slots, 0);
    row[0] = 0x01;
    std::vector<std::uint8_t> bitmap;
    std::size_t i = 0;
    while (i < pages.size()) {
        const std::uint32_t window = pages[i] / perPage;
        if (window >= slots)
            throw Error(ErrorKind::Unsupported, "使用マップが扱えるページ数を超えました。");
        bitmap.assign(pageSize, 0);
        bitmap[0] = 0x05;
        bitmap[1] = 0x01;
        for (; i < pages.size() && pages[i] / perPage == window; ++i)
            setBit(bitmap.data() + 4, pages[i] - window * perPage);
        const std::uint32_t bitmapPage = allocator.allocate();
        out.write(bitmapPage, bitmap);
        storeLE32(row.data() + 1 + 4 * window, bitmapPage);
    }
    return row;
}

}  // namespace

UsageMapPlacer::UsageMapPlacer(bool jet3, std::uint32_t pageSize, PageAllocator &allocator, EncodedPageWriter &pages)
    : jet3_(jet3), pageSize_(pageSize), allocator_(allocator), pages_(pages), holders_(jet3, pageSize, 0, allocator, pages)
{
}

std::uint32_t UsageMapPlacer::place(std::vector<std::uint32_t> pages)
{
    std::sort(pages.begin(), pages.end());
    pages.erase(std::unique(pages.begin(), pages.end()), pages.end());
    const std::size_t bytes = inlineBitmapBytes(jet3_);
    const std::uint32_t start = pages.empty() ? 0 : pages.front() / 8 * 8;
    if (pages.empty() || pages.back() - start < bytes * 8)
        return holders_.add(inlineMap(start, bytes, pages));
    return holders_.add(referenceMap(jet3_, pageSize_, pages, allocator_, pages_));
}

void UsageMapPlacer::writeGlobalMap(bool jet3, std::uint32_t pageSize, PageAllocator &allocator, EncodedPageWriter &pages)
{
    DataPageBuilder page(jet3, pageSize, kGlobalMapOwner);
    const std::vector<std::uint8_t> emptyMap = inlineMap(0, inlineBitmapBytes(jet3), {});
    // Row 0 may take what row 1 (always an empty map) leaves of the page.
    const std::size_t roomForRow0 = page.freeSpace() - 2 - (emptyMap.size() + 2);
    const std::size_t largestInline = (roomForRow0 - 5) / 4 * 4;
    const std::uint32_t count = allocator.pageCount();
    std::vector<std::uint8_t> global;
    if ((count + 7) / 8 <= largestInline) {
        // Bits past the end of the file are set (free) up to the row's end.
        const std::size_t bytes = std::max<std::size_t>(inlineBitmapBytes(jet3), (count + 31) / 32 * 4);
        global.assign(5 + bytes, 0);
        for (std::uint32_t p : allocator.unusedPages())
            setBit(global.data() + 5, p);
        for (std::uint32_t p = count; p < bytes * 8; ++p)
            setBit(global.data() + 5, p);
    } else {
        // Reference form: the bitmap pages are pages of the file too, so take
        // them first and then describe the whole file.
        const std::uint32_t perPage = pagesPerBitmapPage(pageSize);
        std::uint32_t windows = (count + perPage - 1) / perPage;
        while ((count + windows + perPage - 1) / perPage > windows)
            ++windows;
        if (windows > referenceSlots(jet3))
            throw Error(ErrorKind::Unsupported, "全体の使用マップが扱えるページ数を超えました。");
        std::vector<std::uint32_t> bitmapPages;
        for (std::uint32_t w = 0; w < windows; ++w)
            bitmapPages.push_back(allocator.allocate());
        const std::uint32_t total = allocator.pageCount();
        const std::vector<std::uint32_t> unused = allocator.unusedPages();
        global.assign(1 + 4 * referenceSlots(jet3), 0);
        global[0] = 0x01;
        std::vector<std::uint8_t> bitmap;
        for (std::uint32_t w = 0; w < windows; ++w) {
            bitmap.assign(pageSize, 0);
            bitmap[0] = 0x05;
            bitmap[1] = 0x01;
            const std::uint32_t first = w * perPage;
            for (std::uint32_t p : unused)
                if (p >= first && p < first + perPage)
                    setBit(bitmap.data() + 4, p - first);
            for (std::uint32_t p = std::max(first, total); p < first + perPage; ++p)
                setBit(bitmap.data() + 4, p - first);
            pages.write(bitmapPages[w], bitmap);
            storeLE32(global.data() + 1 + 4 * w, bitmapPages[w]);
        }
    }
    page.add(global);
    page.add(emptyMap);
    pages.write(1, page.bytes());
}

}  // namespace jet::write
