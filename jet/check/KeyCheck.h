// Checking stored index keys against keys computed from the rows' values
// (docs/index-keys.md §check). The table scan adds up, per index, a digest of
// each row's computed key together with the row's slot; the index walk adds up
// the same digest of each entry's stored key. Equal sums mean every entry holds
// its row's key; unequal ones send the check back to find the rows that differ.
// Memory stays a few words per index however large the table.
#pragma once

#include "jet/Header.h"
#include "jet/check/CheckSink.h"
#include "jet/check/IndexCheck.h"
#include "jet/keys/IndexKey.h"

#include <functional>
#include <optional>
#include <unordered_map>
#include <string>
#include <vector>

namespace jet {

// Row slots `from` up to, not including, `to`.
struct SlotRange {
    std::uint32_t from = 0, to = 0;
    bool contains(std::uint32_t slot) const { return slot >= from && slot < to; }
};

class KeyCheck {
public:
    // `scratchBytes`: what the search for keys that differ may hold at once.
    KeyCheck(const DatabaseHeader &header, const TableDef &def, std::size_t scratchBytes);

    // The table scan: a row whose columns were read whole, and one that was not.
    void row(std::uint32_t slot, const RowColumns &columns, const ValueContext &context);
    void rowNotRead() { ++unreadRows_; }

    // Why the keys of real index `index` are not compared, or nullopt when they are.
    std::optional<std::string> skipReason(std::size_t index) const;
    // The sum the stored keys must add up to.
    std::uint64_t expectedSum(std::size_t index) const { return indexes_[index].sum; }
    // The key of a row whose key columns are all null.
    const keys::Key &nullKey(std::size_t index) const { return indexes_[index].nullKey; }
    bool ignoresNullRows(std::size_t index) const { return indexes_[index].ignoreNullRows; }

    static std::uint64_t digest(std::uint32_t slot, ByteSpan key);
    // The digest the sums count for an entry whose stored key has `digest`:
    // for a row whose key ACE would write differently from Jet 4.0, ACE's
    // key counts as Jet 4.0's.
    std::uint64_t counted(std::size_t index, std::uint32_t slot, std::uint64_t digest) const
    {
        const auto &alternatives = indexes_[index].aceKeys;
        if (alternatives.empty())
            return digest;
        const auto found = alternatives.find(slot);
        return found != alternatives.end() && found->second.ace == digest ? found->second.jet40 : digest;
    }

    // The slots whose computed keys' digests the search for mismatches holds at once.
    std::uint32_t slotsPerPass() const { return slotsPerPass_; }

    // The computed key of every row the sums count with a slot in `range`,
    // for finding mismatches: `visit(slot, key)` for each. Reads the table
    // again through `file`.
    void forEachComputedKey(const PageFile &file, const std::string &table, const LiveRowSlots &slots,
                            std::size_t index, SlotRange range,
                            const std::function<void(std::uint32_t, const keys::Key &)> &visit) const;

private:
    struct Part {
        const ColumnDef *column;
        keys::KeyColumn key;
    };
    struct Alternative {
        std::uint64_t jet40, ace;  // digests
    };
    struct IndexKeys {
        std::vector<Part> parts;
        // Rows whose key differs between the writers, by slot: few (text with ß).
        std::unordered_map<std::uint32_t, Alternative> aceKeys;
        std::optional<std::string> skip;  // set once the keys cannot be compared
        bool ignoreNullRows = false;       // rows with all key columns null may have no entry
        keys::Key nullKey;
        std::uint64_t sum = 0;
    };

    void prepare(const DatabaseHeader &header);
    struct Scratch {
        keys::Key key;
        Value value;
        std::u16string text;
        bool writerMatters = false;  // the text held a character the writers count differently
    };
    // The key into scratch.key; false when a value's key cannot be computed here.
    static bool computeKey(const IndexKeys &index, const RowColumns &columns, const ValueContext &context,
                           keys::Jet4Writer writer, Scratch &scratch);
    static bool allNull(const IndexKeys &index, const RowColumns &columns);

    const TableDef &def_;
    std::vector<IndexKeys> indexes_;
    std::uint64_t unreadRows_ = 0;
    std::uint32_t slotsPerPass_;
    Scratch scratch_;
};

// What the walk of one index adds up, and the verdict afterwards (IndexCheck).
class IndexKeyTally {
public:
    IndexKeyTally(const KeyCheck *keys, const RealIndexDef &index);

    // The first entry of each live row; `nullRow`: every key column of the row is null.
    void entry(std::uint32_t slot, const std::vector<std::uint8_t> &key, bool nullRow, RowId row);

    // `covered`: the walk found each live row once (else the sums cannot agree
    // and the coverage problems already say why).
    void finish(const PageFile &file, CheckSink &sink, const std::string &table, const std::string &label,
                const CheckedRows &rows, bool covered);

private:
    void findMismatches(const PageFile &file, CheckSink &sink, const std::string &table, const std::string &label,
                        const CheckedRows &rows);

    const KeyCheck *keys_;
    const RealIndexDef &index_;
    bool active_ = false;
    std::uint64_t sum_ = 0;
    std::uint64_t badNullKeys_ = 0;
    RowId firstBadNullKey_;
};

}  // namespace jet
