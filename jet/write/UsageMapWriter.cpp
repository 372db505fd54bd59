// Usage maps, docs/jet-format-writer.md §umap.writer (global §umap.global),
// and the data pages that hold them (§page.build, §umap.holder).
#include "jet/write/UsageMapWriter.h"

#include "jet/Error.h"
#include "jet/Format.h"

#include <algorithm>
#include <map>
#include <string>

namespace jet::write {

namespace {

constexpr std::uint8_t kInlineMap = 0x00;
constexpr std::uint8_t kReferenceMap = 0x01;
constexpr auto kBitmapPageType = static_cast<std::uint8_t>(PageType::UsageMap);
constexpr auto kDataPageType = static_cast<std::uint8_t>(PageType::Data);
constexpr std::size_t kInlineHeader = 5;        // type + u32 start page
constexpr std::size_t kMaxRowsPerPage = 255;    // row numbers are one byte

std::size_t standardRowBytes(const FormatConstants &format) { return format.usageMapRowLength; }
std::size_t standardBitmapBytes(const FormatConstants &format) { return standardRowBytes(format) - kInlineHeader; }
std::size_t referenceSlots(const FormatConstants &format) { return (standardRowBytes(format) - 1) / 4; }
std::size_t pagesPerBitmapPage(const FormatConstants &format) { return format.usagePagesPerBitmapPage; }
std::size_t dataPageHeaderBytes(const FormatConstants &format) { return format.dataRowTableOffset; }

void setBit(std::uint8_t *bitmap, std::size_t bit) { bitmap[bit / 8] |= static_cast<std::uint8_t>(1u << (bit % 8)); }

std::vector<PageNumber> sortedUnique(std::span<const PageNumber> pages)
{
    std::vector<PageNumber> sorted(pages.begin(), pages.end());
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    return sorted;
}

std::vector<std::uint8_t> inlineRow(PageNumber start, std::size_t bitmapBytes)
{
    std::vector<std::uint8_t> row(kInlineHeader + bitmapBytes, 0);
    row[0] = kInlineMap;
    storeLE32(row.data() + 1, start);
    return row;
}

// Writes one type-0x05 page covering segment `segment`, with a bit set for
// every page `isSet` accepts, and returns its number.
template <typename IsSet>
PageNumber writeBitmapPage(const FormatConstants &format, std::size_t segment, IsSet isSet, const PageSink &sink)
{
    const std::size_t perPage = pagesPerBitmapPage(format);
    std::vector<std::uint8_t> page(format.pageSize, 0);
    page[0] = kBitmapPageType;
    page[1] = 0x01;
    const std::uint64_t first = static_cast<std::uint64_t>(segment) * perPage;
    for (std::size_t bit = 0; bit < perPage; ++bit)
        if (isSet(first + bit))
            setBit(page.data() + format.usageBitmapPageHeaderLength, bit);
    const PageNumber number = sink.allocate();
    sink.write(number, page);
    return number;
}

void checkSegment(const FormatConstants &format, std::size_t segment)
{
    if (segment >= referenceSlots(format))
        throw Error(ErrorKind::Argument, "使用マップに収まらないページ番号があります (ページ " +
                                             std::to_string(segment * pagesPerBitmapPage(format)) + " 以降)。");
}

UsageMapRow referenceMap(const FormatConstants &format, const std::vector<PageNumber> &pages, const PageSink &sink)
{
    const std::size_t perPage = pagesPerBitmapPage(format);
    UsageMapRow result;
    result.bytes.assign(1 + 4 * referenceSlots(format), 0);
    result.bytes[0] = kReferenceMap;
    auto from = pages.begin();
    while (from != pages.end()) {
        const std::size_t segment = *from / perPage;
        checkSegment(format, segment);
        const auto to = std::lower_bound(from, pages.end(), static_cast<PageNumber>((segment + 1) * perPage));
        const auto isSet = [&](std::uint64_t page) { return std::binary_search(from, to, page); };
        const PageNumber bitmap = writeBitmapPage(format, segment, isSet, sink);
        storeLE32(result.bytes.data() + 1 + 4 * segment, bitmap);
        result.bitmapPages.push_back(bitmap);
        from = to;
    }
    return result;
}

// Largest inline global map that still leaves room on page 1 for the
// empty second map, rounded down to whole groups of 4 bitmap bytes.
std::size_t maxGlobalInlineBitmapBytes(const FormatConstants &format)
{
    const std::size_t room = format.pageSize - dataPageHeaderBytes(format) - 2 * 2 - standardRowBytes(format);
    return (room - kInlineHeader) / 4 * 4;
}

}  // namespace

UsageMapRow encodeUsageMap(const FormatConstants &format, std::span<const PageNumber> pages, const PageSink &sink)
{
    const std::vector<PageNumber> sorted = sortedUnique(pages);
    const std::size_t window = standardBitmapBytes(format) * 8;
    PageNumber start = 0;
    if (!sorted.empty() && sorted.back() >= window)
        start = sorted.front() / 8 * 8;
    if (!sorted.empty() && sorted.back() - start >= window)
        return referenceMap(format, sorted, sink);

    UsageMapRow result{inlineRow(start, standardBitmapBytes(format)), {}};
    for (const PageNumber page : sorted)
        setBit(result.bytes.data() + kInlineHeader, page - start);
    return result;
}

UsageMapRow encodeGlobalUsageMap(const FormatConstants &format, PageNumber pageCount, std::span<const PageNumber> usedPages,
                                 const PageSink &sink)
{
    std::vector<bool> used(pageCount, false);
    for (const PageNumber page : usedPages)
        if (page < pageCount)
            used[page] = true;

    const std::size_t neededBytes = std::max<std::size_t>(standardBitmapBytes(format), (pageCount + 31) / 32 * 4);
    if (neededBytes <= maxGlobalInlineBitmapBytes(format)) {
        UsageMapRow result{inlineRow(0, neededBytes), {}};
        for (std::size_t page = 0; page < neededBytes * 8; ++page)
            if (page >= pageCount || !used[page])
                setBit(result.bytes.data() + kInlineHeader, page);
        return result;
    }

    // Allocating bitmap pages lengthens the file, which can put free pages
    // into another stretch; repeat until every stretch with a free page has
    // its bitmap page.
    const std::size_t perPage = pagesPerBitmapPage(format);
    std::map<std::size_t, PageNumber> bitmaps;
    std::vector<bool> allocated;
    PageNumber fileEnd = pageCount;
    const auto isFree = [&](std::uint64_t page) {
        if (page >= fileEnd)
            return true;
        return page < pageCount ? !used[page] : !allocated[page - pageCount];
    };
    for (;;) {
        std::vector<std::size_t> missing;
        for (std::uint64_t page = 0; page < fileEnd; ++page)
            if (isFree(page) && !bitmaps.count(page / perPage)) {
                missing.push_back(page / perPage);
                page = (page / perPage + 1) * perPage - 1;
            }
        if (missing.empty())
            break;
        for (const std::size_t segment : missing) {
            checkSegment(format, segment);
            const PageNumber page = sink.allocate();
            if (page < pageCount)
                throw Error(ErrorKind::Argument, "全体使用マップのページは既存のページの後に置く必要があります。");
            bitmaps[segment] = page;
            fileEnd = std::max<PageNumber>(fileEnd, page + 1);
            allocated.resize(fileEnd - pageCount, false);
            allocated[page - pageCount] = true;
        }
    }

    UsageMapRow result;
    result.bytes.assign(1 + 4 * referenceSlots(format), 0);
    result.bytes[0] = kReferenceMap;
    std::vector<std::uint8_t> page(format.pageSize);
    for (const auto &[segment, number] : bitmaps) {
        std::fill(page.begin(), page.end(), 0);
        page[0] = kBitmapPageType;
        page[1] = 0x01;
        for (std::size_t bit = 0; bit < perPage; ++bit)
            if (isFree(static_cast<std::uint64_t>(segment) * perPage + bit))
                setBit(page.data() + format.usageBitmapPageHeaderLength, bit);
        sink.write(number, page);
        storeLE32(result.bytes.data() + 1 + 4 * segment, number);
        result.bitmapPages.push_back(number);
    }
    return result;
}

std::vector<std::uint8_t> emptyInlineUsageMap(const FormatConstants &format) { return inlineRow(0, standardBitmapBytes(format)); }

UsageMapHolderPage::UsageMapHolderPage(const FormatConstants &format, std::uint32_t owner)
    : format_(format), page_(format.pageSize, 0), rowsStart_(format.pageSize)
{
    page_[0] = kDataPageType;
    page_[1] = 0x01;
    storeLE32(page_.data() + 4, owner);
    storeLE16(page_.data() + 2, static_cast<std::uint16_t>(freeSpace()));
}

std::size_t UsageMapHolderPage::headerBytes() const { return dataPageHeaderBytes(format_); }
std::size_t UsageMapHolderPage::rowCountOffset() const { return format_.dataRowCountOffset; }

std::size_t UsageMapHolderPage::freeSpace() const { return rowsStart_ - headerBytes() - 2 * rows_; }

bool UsageMapHolderPage::fits(std::size_t rowBytes) const
{
    return rows_ < kMaxRowsPerPage && rowBytes + 2 <= freeSpace();
}

std::uint8_t UsageMapHolderPage::add(ByteSpan row)
{
    if (row.empty() || !fits(row.size()))
        throw Error(ErrorKind::Argument, "使用マップの行がページに収まりません (" + std::to_string(row.size()) + " バイト)。");
    rowsStart_ -= row.size();
    std::copy(row.begin(), row.end(), page_.begin() + static_cast<std::ptrdiff_t>(rowsStart_));
    storeLE16(page_.data() + headerBytes() + 2 * rows_, static_cast<std::uint16_t>(rowsStart_));
    ++rows_;
    storeLE16(page_.data() + rowCountOffset(), static_cast<std::uint16_t>(rows_));
    storeLE16(page_.data() + 2, static_cast<std::uint16_t>(freeSpace()));
    return static_cast<std::uint8_t>(rows_ - 1);
}

}  // namespace jet::write
