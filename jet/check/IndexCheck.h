// Checking one index of a table against the table's live rows: entries in
// order, each pointing at a live row, unique keys unique, every row covered
// once, the tree's pages mapped, owned and linked (docs/jet-format-notes.md
// §index.tree, §check).
#pragma once

#include "jet/IndexPage.h"
#include "jet/check/CheckSink.h"
#include "jet/check/LiveRowSlots.h"
#include "jet/check/SlotBits.h"

#include <vector>

namespace jet {

// The live rows of a table as its index checks see them (read only, so that
// several indexes can be checked at once).
class KeyCheck;

struct CheckedRows {
    const LiveRowSlots &slots;
    // Per real index (the first 64), per row slot: every key column is null.
    // Empty for indexes whose check does not ask.
    const std::vector<std::vector<bool>> &nullKeys;
    // The keys computed from the rows; null when keys are not checked.
    const KeyCheck *keys = nullptr;

    bool hasNullKey(std::size_t index, std::uint32_t slot) const
    {
        return index < nullKeys.size() && slot < nullKeys[index].size() && nullKeys[index][slot];
    }
};

// Whether the check of `index` asks which rows have null keys.
bool needsNullKeys(const RealIndexDef &index);

// What the walk of one index found per row slot: an entry, and a second one.
// Scratch memory, a bit per slot; the second bit per slot is taken only once a
// row has a second entry, which only damage gives.
struct EntryMarks {
    SlotBits entered;
    SlotBits repeated;
};

class IndexCheck {
public:
    IndexCheck(const PageFile &file, CheckSink &sink, std::uint32_t mapHolder, const std::string &table,
               const TableDef &def, const CheckedRows &rows, EntryMarks &marks);

    // Damage that stops the check becomes a finding.
    void run(const RealIndexDef &index);

private:
    void check(const RealIndexDef &index);
    void checkPages(const std::string &label, const IndexWalk &walk, const UsageMap &map, std::uint32_t owner);
    void checkLeafLinks(const std::string &label, const IndexWalk &walk);
    // Marks the entry's live row; true for its first entry.
    bool mark(std::uint32_t slot);
    // True when every live row that must have an entry has exactly one.
    bool checkCoverage(const RealIndexDef &index, const std::string &label);

    const PageFile &file_;
    CheckSink &sink_;
    std::uint32_t mapHolder_;
    const std::string &table_;
    const TableDef &def_;
    const CheckedRows &rows_;
    EntryMarks &marks_;
};

}  // namespace jet
