#include "jet/convert/RowEncoder.h"

#include "jet/Error.h"

#include <algorithm>

namespace jet::convert {

namespace {

// Longest row a data page can hold: the page less its header and one slot
// entry (§page.data).
std::size_t maxRowLength(const TableDef &def) { return formatConstants(def.version).maxDataRowLength; }

}  // namespace

RowShape tableRowShape(const TableDef &def)
{
    std::uint16_t columnCount = def.maxColumns;
    for (const ColumnDef &column : def.columns)
        columnCount = std::max<std::uint16_t>(columnCount, static_cast<std::uint16_t>(column.number + 1));
    return {columnCount, def.variableColumns};
}

RowEncoder::RowEncoder(const TableDef &def, unsigned codePage, std::string tableName)
    : def_(def), layout_(def), target_{def.version, codePage}, tableName_(std::move(tableName))
{
    for (const RowLayout::Place &place : layout_.places()) {
        if (place.kind != RowLayout::Place::Kind::Variable)
            continue;
        if (place.varIndex >= bySlot_.size())
            bySlot_.resize(place.varIndex + 1, nullptr);
        bySlot_[place.varIndex] = &place;
    }
}

bool RowEncoder::present(const RowLayout::Place &place, const std::vector<Value> &values, std::size_t i) const
{
    const Value &value = values[i];
    if (place.kind == RowLayout::Place::Kind::Boolean)
        return value.kind == Value::Kind::Boolean && value.boolean;
    return !value.isNull();
}

void RowEncoder::encode(const std::vector<Value> &values, const std::vector<std::vector<std::uint8_t>> &longValueFields,
                        RowShape shape, std::vector<std::uint8_t> &out)
{
    out.clear();
    if (values.size() != layout_.places().size() || longValueFields.size() != values.size())
        throw Error(ErrorKind::Argument, "テーブル '" + tableName_ + "': 行の値の数が列の数と違います。");
    requireShapeHolds(values, shape);
    if (layout_.jet3() && (shape.columnCount > 0xFF || shape.variableCount > 0xFF))
        throw Error(ErrorKind::Unsupported, "テーブル '" + tableName_ + "' の列が " +
                                                std::to_string(std::max(shape.columnCount, shape.variableCount)) +
                                                " 個あり、Jet 3.x 形式の行に収まりません（上限 255）。");
    if (layout_.jet3())
        out.push_back(static_cast<std::uint8_t>(shape.columnCount));
    else
        out.resize(2), storeLE16(out.data(), shape.columnCount);
    writeFixedArea(values, shape.columnCount, out);
    const std::size_t maskLength = (static_cast<std::size_t>(shape.columnCount) + 7) / 8;
    if (layout_.hasVariableColumns()) {
        writeVariableData(values, longValueFields, shape, out);
        if (layout_.jet3())
            writeJet3Table(maskLength, out);
        else
            writeJet4Table(out);
    }
    writeNullMask(values, shape, out);
    if (out.size() > maxRowLength(def_))
        throw Error(ErrorKind::Unsupported, "テーブル '" + tableName_ + "' の行が " + std::to_string(out.size()) +
                                                " バイトになり、" + (layout_.jet3() ? "Jet 3.x" : "Jet 4.x") +
                                                " 形式の行の上限 " + std::to_string(maxRowLength(def_)) +
                                                " バイトを超えます。");
}

// A value the row's counts leave no room for would be lost without a word.
void RowEncoder::requireShapeHolds(const std::vector<Value> &values, RowShape shape) const
{
    const std::vector<RowLayout::Place> &places = layout_.places();
    for (std::size_t i = 0; i < places.size(); ++i) {
        const RowLayout::Place &place = places[i];
        const bool outside = place.number >= shape.columnCount ||
                             (place.kind == RowLayout::Place::Kind::Variable && place.varIndex >= shape.variableCount);
        if (outside && present(place, values, i))
            throw Error(ErrorKind::Argument, "テーブル '" + tableName_ + "' の列 '" + place.column->name +
                                                 "' の値が、行の列数に含まれていません。");
    }
}

// Every fixed column the row has a bit for takes its place, null or not.
void RowEncoder::writeFixedArea(const std::vector<Value> &values, std::uint16_t columnCount,
                                std::vector<std::uint8_t> &out)
{
    const std::vector<RowLayout::Place> &places = layout_.places();
    for (std::size_t i = 0; i < places.size(); ++i) {
        const RowLayout::Place &place = places[i];
        if (place.kind != RowLayout::Place::Kind::Fixed || place.number >= columnCount)
            continue;
        const std::size_t end = place.fixedStart + place.fixedSize;
        if (out.size() < end)
            out.resize(end, 0);
        if (values[i].isNull())
            continue;
        scratch_.clear();
        appendStoredValue(target_, *place.column, values[i], tableName_, scratch_);
        std::copy(scratch_.begin(), scratch_.begin() + static_cast<std::ptrdiff_t>(place.fixedSize),
                  out.begin() + static_cast<std::ptrdiff_t>(place.fixedStart));
    }
}

void RowEncoder::writeVariableData(const std::vector<Value> &values,
                                   const std::vector<std::vector<std::uint8_t>> &longValueFields, RowShape shape,
                                   std::vector<std::uint8_t> &out)
{
    offsets_.clear();
    const RowLayout::Place *first = layout_.places().data();
    for (std::uint16_t slot = 0; slot < shape.variableCount; ++slot) {
        offsets_.push_back(static_cast<std::uint16_t>(out.size()));
        const RowLayout::Place *place = slot < bySlot_.size() ? bySlot_[slot] : nullptr;
        if (!place || place->number >= shape.columnCount)
            continue;  // a deleted column's slot, or one the row predates: empty
        const std::size_t i = static_cast<std::size_t>(place - first);
        if (values[i].isNull())
            continue;
        if (place->column->isLongValue())
            out.insert(out.end(), longValueFields[i].begin(), longValueFields[i].end());
        else
            appendStoredValue(target_, *place->column, values[i], tableName_, out);
    }
    offsets_.push_back(static_cast<std::uint16_t>(std::min<std::size_t>(out.size(), 0xFFFF)));
}

// §rows.j4: eod, then the offsets from the last slot down to slot 0, then V.
void RowEncoder::writeJet4Table(std::vector<std::uint8_t> &out) const
{
    for (std::size_t i = offsets_.size(); i-- > 0;) {
        out.push_back(static_cast<std::uint8_t>(offsets_[i] & 0xFF));
        out.push_back(static_cast<std::uint8_t>(offsets_[i] >> 8));
    }
    const auto count = static_cast<std::uint16_t>(offsets_.size() - 1);
    out.push_back(static_cast<std::uint8_t>(count & 0xFF));
    out.push_back(static_cast<std::uint8_t>(count >> 8));
}

// §rows.j3: the low offset bytes (eod first), then the jump bytes, the one
// for the lowest 256-byte boundary nearest V, then V. The number of jump
// bytes follows from the row's length; one the offsets do not need is a
// 0xFF filler farthest from V.
void RowEncoder::writeJet3Table(std::size_t maskLength, std::vector<std::uint8_t> &out) const
{
    const std::size_t variableCount = offsets_.size() - 1;
    const std::size_t fixedPart = out.size() + offsets_.size() + 1 + maskLength;
    std::size_t jumps = 0;
    while ((fixedPart + jumps - 1) / 256 > jumps)
        ++jumps;
    const std::size_t needed = offsets_.back() / 256;
    for (std::size_t i = offsets_.size(); i-- > 0;)
        out.push_back(static_cast<std::uint8_t>(offsets_[i] & 0xFF));
    std::vector<std::uint8_t> jumpBytes;  // nearest V first
    for (std::size_t boundary = 1; boundary <= needed; ++boundary) {
        std::size_t slot = 0;
        while (slot < offsets_.size() && offsets_[slot] < 256 * boundary)
            ++slot;
        jumpBytes.push_back(static_cast<std::uint8_t>(slot));
    }
    while (jumpBytes.size() < jumps)
        jumpBytes.push_back(0xFF);
    for (std::size_t i = jumpBytes.size(); i-- > 0;)
        out.push_back(jumpBytes[i]);
    out.push_back(static_cast<std::uint8_t>(variableCount));
}

void RowEncoder::writeNullMask(const std::vector<Value> &values, RowShape shape, std::vector<std::uint8_t> &out) const
{
    const std::size_t maskStart = out.size();
    out.resize(maskStart + (static_cast<std::size_t>(shape.columnCount) + 7) / 8, 0);
    const std::vector<RowLayout::Place> &places = layout_.places();
    for (std::size_t i = 0; i < places.size(); ++i) {
        const RowLayout::Place &place = places[i];
        if (place.number >= shape.columnCount || !present(place, values, i))
            continue;
        if (place.kind == RowLayout::Place::Kind::Variable && place.varIndex >= shape.variableCount)
            continue;
        out[maskStart + place.maskByte] |= place.maskBit;
    }
}

}  // namespace jet::convert
