#include "jet/UsageMap.h"

#include "jet/DataPage.h"
#include "jet/Error.h"

#include <algorithm>

namespace jet {

namespace {

void collectBits(ByteSpan bitmap, std::uint64_t firstPage, PageNumber pageCount, UsageMap &map)
{
    for (std::size_t i = 0; i < bitmap.size(); ++i) {
        std::uint8_t byte = bitmap[i];
        while (byte) {
            const int bit = __builtin_ctz(byte);
            byte = static_cast<std::uint8_t>(byte & (byte - 1));
            const std::uint64_t page = firstPage + i * 8 + static_cast<unsigned>(bit);
            if (page < pageCount)
                map.pages.push_back(static_cast<PageNumber>(page));
            else
                ++map.bitsPastEnd;
        }
    }
}

void readReferenceMap(const PageFile &file, ByteSpan row, const std::string &what, UsageMap &map)
{
    const std::size_t pagesPerBitmap = file.format().usagePagesPerBitmapPage;
    for (std::size_t offset = 1; offset + 4 <= row.size(); offset += 4) {
        const PageNumber bitmapPage = loadLE32(row.data() + offset);
        map.bitmapPages.push_back(bitmapPage);
        const std::uint64_t first = static_cast<std::uint64_t>((offset - 1) / 4) * pagesPerBitmap;
        // §umap.reference: slots covering only pages past the end hold leftovers.
        if (bitmapPage == 0 || first >= file.pageCount())
            continue;
        PageHandle page = file.page(bitmapPage);
        if (page->bytes[0] != static_cast<std::uint8_t>(PageType::UsageMap))
            throw Error(ErrorKind::Damaged, what + ": " + file.describePage(bitmapPage) +
                                                " は使用マップのページではありません（種類 " +
                                                std::to_string(page->bytes[0]) + "）。");
        collectBits(ByteSpan(page->bytes).subspan(file.format().usageBitmapPageHeaderLength), first, file.pageCount(), map);
    }
}

}  // namespace

bool UsageMap::contains(PageNumber page) const { return std::binary_search(pages.begin(), pages.end(), page); }

UsageMap readUsageMap(const PageFile &file, RowId location, const std::string &what)
{
    if (location.isNull())
        return {};  // §umap: a table that never had the map points at page 0
    PageHandle keep;
    const ByteSpan row = readRow(file, location, keep, what);
    UsageMap map;
    map.location = location;
    if (row.empty())
        throw Error(ErrorKind::Damaged, what + ": 使用マップの行（" + location.describe() + "）が空です。");
    switch (row[0]) {
    case 0x00:
        if (row.size() < 5)
            throw Error(ErrorKind::Damaged, what + ": 使用マップの行（" + location.describe() + "）が短すぎます。");
        map.kind = UsageMap::Kind::Inline;
        map.start = loadLE32(row.data() + 1);
        map.bitmapBytes = row.size() - 5;
        collectBits(row.subspan(5), map.start, file.pageCount(), map);
        break;
    case 0x01:
        map.kind = UsageMap::Kind::Reference;
        readReferenceMap(file, row, what, map);
        break;
    default:
        throw Error(ErrorKind::Damaged, what + ": 使用マップ（" + location.describe() + "）の種類 " +
                                            std::to_string(row[0]) + " は不明です。");
    }
    std::sort(map.pages.begin(), map.pages.end());
    map.pages.erase(std::unique(map.pages.begin(), map.pages.end()), map.pages.end());
    return map;
}

UsageMap readGlobalUsageMap(const PageFile &file)
{
    return readUsageMap(file, RowId{1, 0}, "全体の使用マップ");
}

}  // namespace jet
