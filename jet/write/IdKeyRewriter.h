// Index keys over object-id columns after the ids change: the integer
// segment of each id column is decoded, mapped and encoded again; every
// other byte of the key (a text segment after it, say) is kept as it was.
// An integer key segment is a flag byte (0x7F ascending / 0x80 descending;
// 0x00 / 0xFF for null, then nothing follows) and the value big-endian with
// the sign bit flipped, all bits inverted when descending.
#pragma once

#include "jet/Bytes.h"
#include "jet/write/ObjectIdMap.h"

#include <cstdint>
#include <string>
#include <vector>

namespace jet::write {

class IdKeyRewriter {
public:
    // Throws jet::Error(Unsupported) when an id segment follows a segment
    // whose length the key alone does not tell (text, memo, …).
    IdKeyRewriter(const TableDef &def, const RealIndexDef &index, const std::vector<const ColumnDef *> &idColumns,
                  const ObjectIdMap &ids, std::string where);

    bool rewritesAnything() const { return !segments_.empty(); }
    // `key` with its id segments mapped. Throws jet::Error(Damaged) for a
    // key too short for its segments or with an unknown flag byte.
    void rewrite(ByteSpan key, std::vector<std::uint8_t> &out) const;

private:
    struct Segment {
        std::size_t keySlot;  // position among the index's key columns
        bool ascending;
    };
    struct Slot {
        std::size_t valueSize;  // bytes after a non-null flag
        bool ascending;
    };

    std::vector<Slot> slots_;        // the key columns up to the last id segment
    std::vector<Segment> segments_;  // the id segments
    const ObjectIdMap &ids_;
    std::string where_;
};

// The integer key segment of `value` (a Long), for tests and the rewriter.
std::vector<std::uint8_t> longKeySegment(std::int32_t value, bool ascending);

}  // namespace jet::write
