#include "jet/write/TdefPatcher.h"

#include "jet/Error.h"

#include <algorithm>

namespace jet::write {

namespace {
constexpr std::size_t kNextPageOffset = 4;  // §tdef: the chain link of each page
}

TdefPatcher::TdefPatcher(const PageFile &file, const TableDef &def, std::vector<std::uint32_t> newPages,
                         const ObjectIdMap &ids)
    : def_(def), newPages_(std::move(newPages))
{
    if (newPages_.size() != def.pages.size())
        throw Error(ErrorKind::Damaged, "テーブル定義のページ数が合いません。");
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
    linkChain();
    mapForeignTables(ids);
}

void TdefPatcher::linkChain()
{
    for (std::size_t i = 0; i < pages_.size(); ++i) {
        const std::uint32_t next = i + 1 < newPages_.size() ? newPages_[i + 1] : 0;
        for (std::size_t b = 0; b < 4; ++b)
            pages_[i][kNextPageOffset + b] = static_cast<std::uint8_t>(next >> (8 * b));
    }
}

// Only indexes that take part in a relationship name another table; the
// field is meaningless (and kept) elsewhere.
void TdefPatcher::mapForeignTables(const ObjectIdMap &ids)
{
    for (const LogicalIndexDef &index : def_.logicalIndexes) {
        if (index.foreignKeyRole == 0)
            continue;
        if (!ids.namesTable(index.otherTable))
            throw Error(ErrorKind::Damaged, "索引 '" + index.name + "' の相手テーブルのページ " +
                                                std::to_string(index.otherTable) + " はテーブル定義ではありません。");
        setU32(index.otherTableOffset, ids.map(index.otherTable));
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
