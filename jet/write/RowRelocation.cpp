#include "jet/write/RowRelocation.h"

#include "jet/Error.h"

#include <algorithm>
#include <sys/mman.h>

namespace jet::write {

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

SlotArray::~SlotArray() { ::munmap(data_, reservedBytes()); }

void SlotArray::grow(std::size_t count, std::uint32_t value)
{
    if (count > capacity_ - size_)
        throw Error(ErrorKind::Damaged, "行の数がファイルのページ数に合いません。");
    std::fill_n(data_ + size_, count, value);
    size_ += count;
}

void RowRelocation::addPage(std::uint32_t page, unsigned rowSlots)
{
    if (page >= pages_.size() || pages_[page].known)
        return;
    rowSlots = rowSlots > 255 ? 255 : rowSlots;  // row numbers are one byte
    pages_[page] = {static_cast<std::uint32_t>(slots_.size()), static_cast<std::uint8_t>(rowSlots), true};
    slots_.grow(rowSlots, kUnset);
}

bool RowRelocation::record(std::uint32_t page, unsigned row, std::uint32_t newRowRef)
{
    if (newRowRef >= kUnset)
        throw Error(ErrorKind::Unsupported, "最適化後のデータベースがページ数の上限を超えます。");
    const std::size_t slot = slotOf(page, row);
    if (slot == kNoSlot || slots_[slot] != kUnset)
        return false;
    slots_[slot] = newRowRef;
    ++recorded_;
    return true;
}

std::optional<std::uint32_t> RowRelocation::lookup(std::uint32_t page, unsigned row) const
{
    const std::size_t slot = slotOf(page, row);
    if (slot == kNoSlot || (slots_[slot] & ~kClaimedBit) == kUnset)
        return std::nullopt;
    return slots_[slot] & ~kClaimedBit;
}

void RowRelocation::clearClaims()
{
    std::uint32_t *value = slots_.data();
    for (std::size_t i = 0; i < slots_.size(); ++i)
        value[i] &= ~kClaimedBit;
}

}  // namespace jet::write
