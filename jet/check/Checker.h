// The consistency check: walks every structure the reader knows and verifies
// it against itself (docs/jet-format-notes.md §check). Problems are damage;
// notes are oddities Access itself leaves behind; unsupported marks what this
// engine cannot judge.
#pragma once

#include "jet/Database.h"
#include "jet/check/Finding.h"

#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace jet {

// A long value stored outside its row, as the check read it.
struct OutOfRowValue {
    std::size_t offsetInRow = 0;     // of its 12-byte header in the row
    std::vector<std::uint8_t> bytes; // the whole value
};

// Sees the content of every table while the check reads it, so that callers
// can fingerprint a database without reading it a second time.
class RowObserver {
public:
    virtual ~RowObserver() = default;
    // Before the rows of a table (a table read twice starts twice).
    virtual void tableStarts(const std::string &name, const TableDef &def) = 0;
    // Every live row in which the check found no damage, in physical order.
    // Rows with damage are reported as problems instead.
    virtual void row(ByteSpan bytes, std::span<const OutOfRowValue> outOfRow) = 0;
};

struct CheckOptions {
    std::function<void(int)> progress;  // 0..100; may be empty
    RowObserver *rows = nullptr;        // may be null
    // Opens the same database once more (may be empty). A page file serves
    // one thread; with a second one the check reads the indexes of a table on
    // two threads. The report is the same either way.
    std::function<std::unique_ptr<Database>()> reopen;
    // Bytes of scratch the check may take for a table beyond two bits per row
    // slot: the second thread's marks of index entries (an eighth of a byte
    // per slot; a table needing more is checked on one thread) and the search
    // for stored keys that differ from their rows' (eight bytes per slot; a
    // larger table is searched in passes over buckets of slots, holding half
    // as much again for the buckets' sums).
    std::size_t scratchBytes = std::size_t{8} << 20;
};

// Checks an opened database. Never throws for damage it finds; reports it.
// `progress` (may be empty) gets 0..100.
CheckReport checkDatabase(const Database &db, const std::function<void(int)> &progress = {});
CheckReport checkDatabase(const Database &db, const CheckOptions &options);

// Opens and checks `path`; a database whose catalog cannot be read gives a
// report with that problem. Throws jet::Error for files that are not Jet
// databases, wrong passwords and I/O errors.
CheckReport checkFile(const std::string &path, const std::string &password);

}  // namespace jet
