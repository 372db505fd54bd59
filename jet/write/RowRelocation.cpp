#include "jet/write/RowRelocation.h"

#include "jet/Error.h"

#include <algorithm>
#include <sys/mman.h>

namespace jet::write {

namespace {

constexpr std::size_t kMostRowSlots = 255;  // row numbers are one byte

std::size_t bitWords(std::size_t bits) { return (bits + 31) / 32; }

}  // namespace

SlotArray::SlotArray(std::size_t capacity) : capacity_(std::max<std::size_t>(capacity, 1))
{
    void *p = ::mmap(nullptr, reservedBytes(), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (p == MAP_FAILED)
        throw Error(ErrorKind::Io, "行の移動先を記録するメモリを確保できません。");
#ifdef MADV_HUGEPAGE
    ::madvise(p, reservedBytes(), MADV_HUGEPAGE);  // a hint: without it, small pages
#endif
    data_ = static_cast<std::uint32_t *>(p);
}

SlotArray::~SlotArray() { release(); }

void SlotArray::release()
{
    if (data_)
        ::munmap(data_, reservedBytes());
    data_ = nullptr;
    size_ = capacity_ = 0;
}

void SlotArray::grow(std::size_t count, std::uint32_t value)
{
    if (count > capacity_ - size_)
        throw Error(ErrorKind::Damaged, "行の数がファイルのページ数に合いません。");
    std::fill_n(data_ + size_, count, value);
    size_ += count;
}

RowRelocation::RowRelocation(std::uint32_t sourcePages, std::string spillFolder, std::size_t memoryBudget)
    : pages_(sourcePages),
      slots_(std::size_t(sourcePages) * kMostRowSlots),
      spillFolder_(std::move(spillFolder)),
      slotsInMemory_(std::max<std::size_t>(memoryBudget / sizeof(std::uint32_t), 1)),
      memoryBudget_(memoryBudget)
{
}

void RowRelocation::addPage(std::uint32_t page, unsigned rowSlots)
{
    if (page >= pages_.size() || pages_[page].known)
        return;
    rowSlots = std::min<unsigned>(rowSlots, kMostRowSlots);
    pages_[page] = {static_cast<std::uint32_t>(slotCount_), static_cast<std::uint8_t>(rowSlots), true};
    slotCount_ += rowSlots;
    if (partitions_ || inOrder_) {
        if (bits_)
            bits_->grow(bitWords(slotCount_) - bits_->size(), 0);
        return;
    }
    slots_.grow(rowSlots, kNoNewRow);
    if (slotCount_ > slotsInMemory_ && !spillFolder_.empty())
        leaveFlatMap();
}

// The rows recorded so far move from the flat map into bits and runs, or
// into the partitions when they were not recorded in slot order, and the
// flat map's memory goes back.
void RowRelocation::leaveFlatMap()
{
    bits_ = std::make_unique<SlotArray>(bitWords(pages_.size() * kMostRowSlots));
    bits_->grow(bitWords(slotCount_), 0);
    if (inSlotOrder_)
        inOrder_ = std::make_unique<InOrderRefs>();
    else
        partitions_ = std::make_unique<RelocationPartitions>(spillFolder_, slotsInMemory_);
    for (std::size_t slot = 0; slot < slotCount_; ++slot)
        if (slots_[slot] != kNoNewRow) {
            markRecorded(slot);
            if (inOrder_)
                inOrder_->append(slots_[slot]);
            else
                partitions_->record(slot, slots_[slot]);
        }
    slots_.release();
}

// A row recorded out of slot order (or runs and ranks beyond the budget):
// the rows recorded so far go to the partitions, in slot order.
void RowRelocation::leaveSlotOrder()
{
    partitions_ = std::make_unique<RelocationPartitions>(spillFolder_, slotsInMemory_);
    RowRefRuns::Cursor refs(inOrder_->refs());
    std::uint32_t newRowRef = 0;
    for (std::size_t slot = 0; slot < slotCount_; ++slot)
        if (recordedAt(slot) && refs.next(newRowRef))
            partitions_->record(slot, newRowRef);
    inOrder_.reset();
}

RowRelocation::Claim RowRelocation::claimInOrder(std::size_t slot, std::uint32_t &newRowRef)
{
    if (!recordedAt(slot))
        return Claim::NoRow;
    const std::uint32_t ordinal = inOrder_->ordinalOf(bits_->data(), slot);
    if (!inOrder_->claim(ordinal))
        return Claim::ClaimedBefore;
    newRowRef = inOrder_->refAt(ordinal);
    return Claim::Claimed;
}

bool RowRelocation::record(std::uint32_t page, unsigned row, std::uint32_t newRowRef)
{
    if (newRowRef >= kNoNewRow)
        throw Error(ErrorKind::Unsupported, "最適化後のデータベースがページ数の上限を超えます。");
    const std::size_t slot = slotOf(page, row);
    if (slot == kNoSlot || recordedAt(slot))
        return false;
    if (inOrder_ || partitions_) {
        if (!bits_ || (inOrder_ && inOrder_->finished()))
            return false;  // the recording ended with the first index pass
        if (inOrder_ && slot < nextSlotInOrder_)
            leaveSlotOrder();
        markRecorded(slot);
        if (inOrder_)
            inOrder_->append(newRowRef);
        else
            partitions_->record(slot, newRowRef);
    } else {
        slots_[slot] = newRowRef;
    }
    inSlotOrder_ = inSlotOrder_ && slot >= nextSlotInOrder_;
    nextSlotInOrder_ = slot + 1;
    ++recorded_;
    return true;
}

RowId RowRelocation::positionOf(std::size_t slot) const
{
    for (std::uint32_t page = 0; page < pages_.size(); ++page) {
        const PageSlots &p = pages_[page];
        if (p.known && slot >= p.first && slot - p.first < p.count)
            return RowId{page, static_cast<std::uint8_t>(slot - p.first)};
    }
    return RowId{};
}

RelocationPartitions *RowRelocation::partitions()
{
    if (inOrder_ && !inOrder_->finished()) {
        // The bits are not counted: the partitions need them as long while
        // the rows are copied, and then hold a budget's worth of values.
        inOrder_->finish(bits_->data(), bits_->size());
        if (inOrder_->bytes() > memoryBudget_)
            leaveSlotOrder();
    }
    if (partitions_ && !partitions_->finished()) {
        partitions_->finish();
        bits_.reset();
    }
    return partitions_.get();
}

void RowRelocation::clearClaims()
{
    if (inOrder_)
        inOrder_->clearClaims();
    if (partitions_ || inOrder_)
        return;  // a pass over partitions claims rows in its own copy of them
    std::uint32_t *value = slots_.data();
    for (std::size_t i = 0; i < slots_.size(); ++i)
        value[i] &= ~kClaimedBit;
}

}  // namespace jet::write
