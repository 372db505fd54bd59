#include "jet/write/TdefPatcher.h"

#include "jet/Error.h"

#include <algorithm>

namespace jet::write {

TdefPatcher::TdefPatcher(const PageFile &file, const TableDef &def) : def_(def)
{
    const std::size_t pageSize = def.pageSize;
    for (std::size_t i = 0; i < def.pages.size(); ++i) {
        std::vector<std::uint8_t> page = file.page(def.pages[i])->bytes;
        // Zero what lies past the definition: stale bytes from earlier versions.
        const std::size_t logicalStart = i == 0 ? 0 : pageSize + (i - 1) * (pageSize - 8);
        const std::size_t firstData = i == 0 ? 0 : 8;
        const std::size_t end = std::max<std::size_t>(def.offsets.end, def.definitionLength);
        for (std::size_t at = firstData; at < pageSize; ++at)
            if (logicalStart + (at - firstData) >= end)
                page[at] = 0;
        pages_.push_back(std::move(page));
    }
}

std::uint8_t &TdefPatcher::byteAt(std::size_t logicalOffset)
{
    const auto location = def_.locate(logicalOffset);
    if (!location)
        throw Error(ErrorKind::Damaged, "テーブル定義のオフセット " + std::to_string(logicalOffset) + " が範囲外です。");
    const auto it = std::find(def_.pages.begin(), def_.pages.end(), location->page);
    return pages_[static_cast<std::size_t>(it - def_.pages.begin())][location->offsetInPage];
}

void TdefPatcher::setU32(std::size_t logicalOffset, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        byteAt(logicalOffset + i) = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace jet::write
