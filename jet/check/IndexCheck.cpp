#include "jet/check/IndexCheck.h"

#include "jet/check/KeyCheck.h"

#include <algorithm>
#include <cstring>

namespace jet {

namespace {

// Byte-wise, a shorter key first when it is a prefix of the longer one.
// Keys are short and compared once per entry: eight bytes at a time, inline.
int compareKeys(const std::vector<std::uint8_t> &a, const std::vector<std::uint8_t> &b)
{
    const std::uint8_t *p = a.data(), *q = b.data();
    std::size_t common = std::min(a.size(), b.size());
    for (; common >= 8; common -= 8, p += 8, q += 8) {
        std::uint64_t x, y;
        std::memcpy(&x, p, 8);
        std::memcpy(&y, q, 8);
        if (x != y)
            return __builtin_bswap64(x) < __builtin_bswap64(y) ? -1 : 1;
    }
    for (; common > 0; --common, ++p, ++q)
        if (*p != *q)
            return *p < *q ? -1 : 1;
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

}  // namespace

bool needsNullKeys(const RealIndexDef &index)
{
    // Null keys may repeat in a unique index, and may be left out of an index that ignores nulls.
    return index.unique() || index.ignoreNulls();
}

IndexCheck::IndexCheck(const PageFile &file, CheckSink &sink, std::uint32_t mapHolder, const std::string &table,
                       const TableDef &def, const CheckedRows &rows, EntryMarks &marks)
    : file_(file), sink_(sink), mapHolder_(mapHolder), table_(table), def_(def), rows_(rows), marks_(marks)
{
}

void IndexCheck::run(const RealIndexDef &index)
{
    sink_.guarded(table_, [&] { check(index); });
}

void IndexCheck::check(const RealIndexDef &index)
{
    const std::string label = "索引 " + std::to_string(index.number);
    const std::string where = "テーブル '" + table_ + "' の" + label;
    const std::uint32_t owner = sink_.ownerId(where);
    const UsageMap map = readClaimedMap(file_, sink_, mapHolder_, index.usageMap, where + " の使用マップ", owner, table_);
    marks_.entered.reset(rows_.slots.slotCount());
    marks_.repeated.clear();
    std::vector<std::uint8_t> previousKey;
    RowId previousRow;
    bool first = true;
    std::uint64_t distinct = 0;
    std::uint64_t disorder = 0, dangling = 0, duplicates = 0;
    IndexKeyTally keys(rows_.keys, index);
    const IndexWalk walk = walkIndex(file_, index, where, [&](const IndexEntry &entry) {
        const int order = first ? 1 : compareKeys(entry.key, previousKey);
        const bool sameKey = order == 0;
        if (order < 0 || (sameKey && !(previousRow < entry.row)))
            if (disorder++ == 0)
                sink_.problem(table_, entry.leafPage, std::nullopt,
                              label + " の項目が順序どおりではありません（" + entry.row.describe() + "）。");
        const std::uint32_t slot = rows_.slots.slotOf(entry.row);
        if (slot == LiveRowSlots::kNone || !rows_.slots.isLive(slot)) {
            if (dangling++ == 0)
                sink_.problem(table_, entry.leafPage, std::nullopt,
                              label + " の項目が存在しない行 " + entry.row.describe() + " を指しています。");
        } else {
            if (sameKey && index.unique() && !rows_.hasNullKey(index.number, slot) && duplicates++ == 0)
                sink_.problem(table_, entry.leafPage, std::nullopt,
                              label + " は一意ですが、" + entry.row.describe() + " のキーが重複しています。");
            if (mark(slot))
                keys.entry(slot, entry.key, rows_.hasNullKey(index.number, slot), entry.row);
        }
        if (!sameKey)
            ++distinct;
        previousKey = entry.key;
        previousRow = entry.row;
        first = false;
    });
    sink_.countIndexEntries(walk.entries);
    if (disorder > 1 || dangling > 1 || duplicates > 1)
        sink_.problem(table_, index.rootPage, std::nullopt,
                      label + ": 順序違い " + std::to_string(disorder) + " 件、存在しない行 " + std::to_string(dangling) +
                          " 件、一意違反 " + std::to_string(duplicates) + " 件。");
    checkPages(label, walk, map, owner);
    checkLeafLinks(label, walk);
    keys.finish(file_, sink_, table_, label, rows_, checkCoverage(index, label));
    if (distinct != index.uniqueCount)
        sink_.note(table_, def_.firstPage, label + " の異なるキーの数 " + std::to_string(index.uniqueCount) +
                                               " が実際（" + std::to_string(distinct) + "）と違います。");
}

void IndexCheck::checkPages(const std::string &label, const IndexWalk &walk, const UsageMap &map, std::uint32_t owner)
{
    std::vector<PageNumber> pages = walk.pages;
    std::sort(pages.begin(), pages.end());
    for (PageNumber page : pages) {
        sink_.claim(page, owner, table_);
        if (!map.contains(page))
            sink_.problem(table_, page, std::nullopt, label + " のページが索引の使用マップにありません。");
        const PageHandle handle = file_.page(page);
        if (loadLE32(handle->bytes.data() + 4) != def_.firstPage)
            sink_.problem(table_, page, 4, label + " のページの所有者が別のテーブル定義を指しています。");
    }
    for (PageNumber page : map.pages)
        if (!std::binary_search(pages.begin(), pages.end(), page))
            sink_.problem(table_, page, std::nullopt, label + " の使用マップにありますが、索引の木にないページです。");
}

// §index.tree: leaves are chained both ways in key order, ends at 0.
void IndexCheck::checkLeafLinks(const std::string &label, const IndexWalk &walk)
{
    const auto &leaves = walk.leaves;
    for (std::size_t i = 0; i < leaves.size(); ++i) {
        const PageNumber expectedPrevious = i == 0 ? 0 : leaves[i - 1].page;
        const PageNumber expectedNext = i + 1 == leaves.size() ? 0 : leaves[i + 1].page;
        if (leaves[i].previous != expectedPrevious || leaves[i].next != expectedNext) {
            sink_.problem(table_, leaves[i].page, std::nullopt,
                          label + " の葉ページの前後のつながり（前 " + std::to_string(leaves[i].previous) + "、次 " +
                              std::to_string(leaves[i].next) + "）が木の順序（前 " + std::to_string(expectedPrevious) +
                              "、次 " + std::to_string(expectedNext) + "）と合いません。");
            return;
        }
    }
}

bool IndexCheck::mark(std::uint32_t slot)
{
    if (!marks_.entered.testAndSet(slot))
        return true;
    if (marks_.repeated.size() == 0)
        marks_.repeated.reset(rows_.slots.slotCount());
    marks_.repeated.set(slot);
    return false;
}

bool IndexCheck::checkCoverage(const RealIndexDef &index, const std::string &label)
{
    std::uint64_t missing = 0, repeated = 0;
    RowId firstMissing, firstRepeated;
    rows_.slots.forEachRow([&](std::uint32_t slot, RowId position) {
        const bool mayBeAbsent = index.ignoreNulls() && rows_.hasNullKey(index.number, slot);
        if (!marks_.entered.test(slot) && !mayBeAbsent && missing++ == 0)
            firstMissing = position;
        if (marks_.repeated.size() != 0 && marks_.repeated.test(slot) && repeated++ == 0)
            firstRepeated = position;
    });
    if (missing)
        sink_.problem(table_, firstMissing.page, std::nullopt,
                      label + " に項目のない行が " + std::to_string(missing) + " 行あります（最初は " +
                          firstMissing.describe() + "）。");
    if (repeated)
        sink_.problem(table_, firstRepeated.page, std::nullopt,
                      label + " に複数の項目がある行が " + std::to_string(repeated) + " 行あります（最初は " +
                          firstRepeated.describe() + "）。");
    return missing == 0 && repeated == 0;
}

}  // namespace jet
