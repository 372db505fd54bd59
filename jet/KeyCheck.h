// Checking stored index keys against keys computed from the rows' values
// (docs/index-keys.md §check). The table scan adds up, per index, a digest of
// each row's computed key together with the row's slot; the index walk adds up
// the same digest of each entry's stored key. Equal sums mean every entry holds
// its row's key; unequal ones send the check back to find the rows that differ.
// Memory stays a few words per index however large the table.
#pragma once

#include "jet/CheckSink.h"
#include "jet/Header.h"
#include "jet/IndexCheck.h"
#include "jet/keys/IndexKey.h"

#include <optional>
#include <string>
#include <vector>

namespace jet {

class KeyCheck {
public:
    KeyCheck(const DatabaseHeader &header, const TableDef &def);

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

    // The computed key of every row the sums count, for finding mismatches:
    // `visit(slot, key)` for each. Reads the table again through `file`.
    void forEachComputedKey(const PageFile &file, const std::string &table, const LiveRowSlots &slots,
                            std::size_t index, const std::function<void(std::uint32_t, const keys::Key &)> &visit) const;

private:
    struct Part {
        const ColumnDef *column;
        keys::KeyColumn key;
    };
    struct IndexKeys {
        std::vector<Part> parts;
        std::optional<std::string> skip;  // set once the keys cannot be compared
        bool ignoreNullRows = false;       // rows with all key columns null may have no entry
        keys::Key nullKey;
        std::uint64_t sum = 0;
    };

    void prepare(const DatabaseHeader &header);
    // False when a value's key cannot be computed here.
    bool computeKey(const IndexKeys &index, const RowColumns &columns, const ValueContext &context, keys::Key &key,
                    Value &scratch, std::u16string &text) const;
    static bool allNull(const IndexKeys &index, const RowColumns &columns);

    const TableDef &def_;
    std::vector<IndexKeys> indexes_;
    std::uint64_t unreadRows_ = 0;
    keys::Key key_;
    Value scratch_;
    std::u16string text_;
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
