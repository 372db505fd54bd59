#include "jet/write/IdKeyRewriter.h"

#include "jet/Error.h"

#include <algorithm>

namespace jet::write {

namespace {

constexpr std::uint8_t kAscendingPresent = 0x7F;
constexpr std::uint8_t kDescendingPresent = 0x80;
constexpr std::uint8_t kAscendingNull = 0x00;
constexpr std::uint8_t kDescendingNull = 0xFF;

// Bytes of a key segment after its flag for the fixed-size types whose key
// has the length of the value; 0 where the key alone cannot tell.
std::size_t fixedKeySize(ColumnType type)
{
    switch (type) {
    case ColumnType::Byte: return 1;
    case ColumnType::Integer: return 2;
    case ColumnType::Long: return 4;
    case ColumnType::Currency:
    case ColumnType::DateTime:
    case ColumnType::Double:
    case ColumnType::BigInt: return 8;
    default: return 0;
    }
}

}  // namespace

std::vector<std::uint8_t> longKeySegment(std::int32_t value, bool ascending)
{
    const auto bits = static_cast<std::uint32_t>(value) ^ 0x80000000u;
    std::vector<std::uint8_t> segment{ascending ? kAscendingPresent : kDescendingPresent};
    for (int shift = 24; shift >= 0; shift -= 8) {
        const auto byte = static_cast<std::uint8_t>(bits >> shift);
        segment.push_back(ascending ? byte : static_cast<std::uint8_t>(~byte));
    }
    return segment;
}

IdKeyRewriter::IdKeyRewriter(const TableDef &def, const RealIndexDef &index,
                             const std::vector<const ColumnDef *> &idColumns, const ObjectIdMap &ids, std::string where)
    : ids_(ids), where_(std::move(where))
{
    std::vector<Slot> slots;
    bool lengthKnown = true;
    for (std::size_t k = 0; k < index.columns.size(); ++k) {
        const IndexKeyColumn &keyColumn = index.columns[k];
        const bool isId = std::any_of(idColumns.begin(), idColumns.end(),
                                      [&](const ColumnDef *c) { return c->number == keyColumn.columnNumber; });
        if (isId) {
            if (!lengthKnown)
                throw Error(ErrorKind::Unsupported, where_ + " の ID 列はキーの中の位置が決まらないため、作り直せません。");
            segments_.push_back({k, keyColumn.ascending});
            slots_ = slots;
            slots_.push_back({4, keyColumn.ascending});
        }
        const ColumnDef *column = def.columnByNumber(keyColumn.columnNumber);
        const std::size_t size = column ? fixedKeySize(column->type) : 0;
        lengthKnown = lengthKnown && size != 0;
        slots.push_back({size, keyColumn.ascending});
    }
}

void IdKeyRewriter::rewrite(ByteSpan key, std::vector<std::uint8_t> &out) const
{
    out.assign(key.begin(), key.end());
    std::size_t at = 0;
    std::size_t nextSegment = 0;
    for (std::size_t k = 0; k < slots_.size(); ++k) {
        if (at >= key.size())
            throw Error(ErrorKind::Damaged, where_ + " のキーが短すぎます。");
        const std::uint8_t flag = key[at];
        const Slot &slot = slots_[k];
        if (flag == (slot.ascending ? kAscendingNull : kDescendingNull)) {
            at += 1;
        } else if (flag == (slot.ascending ? kAscendingPresent : kDescendingPresent)) {
            if (at + 1 + slot.valueSize > key.size())
                throw Error(ErrorKind::Damaged, where_ + " のキーが短すぎます。");
            if (nextSegment < segments_.size() && segments_[nextSegment].keySlot == k) {
                std::uint32_t bits = 0;
                for (std::size_t i = 1; i <= 4; ++i)
                    bits = (bits << 8) | static_cast<std::uint8_t>(slot.ascending ? key[at + i] : ~key[at + i]);
                const auto value = static_cast<std::int32_t>(bits ^ 0x80000000u);
                const auto mapped = static_cast<std::int32_t>(ids_.map(static_cast<std::uint32_t>(value)));
                const std::vector<std::uint8_t> segment = longKeySegment(mapped, slot.ascending);
                std::copy(segment.begin(), segment.end(), out.begin() + static_cast<std::ptrdiff_t>(at));
            }
            at += 1 + slot.valueSize;
        } else {
            throw Error(ErrorKind::Damaged, where_ + " のキーの列 " + std::to_string(k + 1) + " の印 " +
                                                std::to_string(flag) + " が不正です。");
        }
        if (nextSegment < segments_.size() && segments_[nextSegment].keySlot == k)
            ++nextSegment;
    }
}

}  // namespace jet::write
