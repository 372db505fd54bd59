#include "jet/write/OrderedIndexFeed.h"

#include <algorithm>
#include <cstring>

namespace jet::write {

int compareKeys(ByteSpan a, ByteSpan b)
{
    const std::size_t common = std::min(a.size(), b.size());
    if (const int c = common ? std::memcmp(a.data(), b.data(), common) : 0; c != 0)
        return c;
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

OrderedIndexFeed::OrderedIndexFeed(IndexTreeWriter &tree, std::string spillFolder, std::size_t memoryBudget)
    : tree_(tree),
      spillFolder_(std::move(spillFolder)),
      budget_(memoryBudget),
      // A growing vector may hold twice its size, and its old copy while it
      // grows; handing a run to the sorter briefly needs both. A run of
      // budget/32 entries keeps all of that near half the budget.
      maxRefsInMemory_(std::max<std::size_t>(memoryBudget / 32, 1))
{
}

bool OrderedIndexFeed::add(ByteSpan key, std::uint32_t rowRef)
{
    if (outOfOrder_)
        return false;
    if (count_ > 0) {
        const int order = compareKeys(key, runKey_);
        if (order < 0) {
            outOfOrder_ = true;
            return false;
        }
        if (order > 0) {
            flushRun();
            runKey_.assign(key.begin(), key.end());
        }
    } else {
        runKey_.assign(key.begin(), key.end());
    }
    ++count_;
    if (largeRun_) {
        largeRun_->add({}, rowRef);
        return true;
    }
    runRefs_.push_back(rowRef);
    if (runRefs_.size() >= maxRefsInMemory_)
        moveRunToDisk();
    return true;
}

// Every entry of the run has the same key, so the sorter only orders row
// positions; the key goes back on as the entries come out.
void OrderedIndexFeed::moveRunToDisk()
{
    largeRun_ = std::make_unique<SpillSorter>(spillFolder_, budget_);
    for (std::uint32_t ref : runRefs_)
        largeRun_->add({}, ref);
    std::vector<std::uint32_t>().swap(runRefs_);
    ++runsSpilled_;
}

void OrderedIndexFeed::flushRun()
{
    if (largeRun_) {
        largeRun_->drain([this](ByteSpan, std::uint32_t ref) { tree_.add(runKey_, RowLocation::fromRowRef(ref)); });
        largeRun_.reset();
        return;
    }
    if (runRefs_.size() > 1)
        std::sort(runRefs_.begin(), runRefs_.end());
    for (std::uint32_t ref : runRefs_)
        tree_.add(runKey_, RowLocation::fromRowRef(ref));
    runRefs_.clear();
}

void OrderedIndexFeed::finish()
{
    if (!outOfOrder_ && count_ > 0)
        flushRun();
}

}  // namespace jet::write
