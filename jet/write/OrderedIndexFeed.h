// Puts the entries of a source index, re-keyed to their new row positions,
// into a new tree in index order without sorting them all. The source tree
// already yields its entries in key order; only entries with equal keys
// (ordered by row position, which the copy changed) need reordering. Each run
// of equal keys is sorted on its own: in memory, or through a SpillSorter
// when the run is too large for the memory budget (a Yes/No column over
// millions of rows).
//
// A damaged source tree may not be in key order. The feed notices when a key
// sorts before the previous one and refuses the entry; the caller then
// abandons the tree and sorts the whole index instead.
#pragma once

#include "jet/Bytes.h"
#include "jet/write/IndexTreeWriter.h"
#include "jet/write/SpillSorter.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace jet::write {

// Key bytes compared as unsigned byte strings, a proper prefix first: the
// order of index keys (docs/jet-format-writer.md §index.order).
int compareKeys(ByteSpan a, ByteSpan b);

class OrderedIndexFeed {
public:
    OrderedIndexFeed(IndexTreeWriter &tree, std::string spillFolder, std::size_t memoryBudget);

    // Adds the next entry of the source index. False when `key` sorts before
    // the previous key: the source is out of order and the feed takes nothing more.
    bool add(ByteSpan key, std::uint32_t rowRef);
    // Puts the last run into the tree. The tree itself is the caller's to finish.
    void finish();
    std::uint64_t count() const { return count_; }
    // Runs that were too large for memory.
    std::size_t runsSpilled() const { return runsSpilled_; }

private:
    void flushRun();
    void moveRunToDisk();

    IndexTreeWriter &tree_;
    std::string spillFolder_;
    std::size_t budget_;
    std::size_t maxRefsInMemory_;
    std::vector<std::uint8_t> runKey_;
    std::vector<std::uint32_t> runRefs_;
    std::unique_ptr<SpillSorter> largeRun_;
    bool outOfOrder_ = false;
    std::uint64_t count_ = 0;
    std::size_t runsSpilled_ = 0;
};

}  // namespace jet::write
