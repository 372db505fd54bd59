#include "jet/Row.h"

#include "jet/Error.h"

namespace jet {

namespace {

struct VariableTable {
    std::uint16_t count = 0;
    // offsets[i] for i in [0, count], offsets[count] being the end of the data
    std::vector<std::uint16_t> &offsets;
};

[[noreturn]] void throwBadRow(const std::string &where, const std::string &detail)
{
    throw Error(ErrorKind::Damaged, where + ": 行が壊れています（" + detail + "）。");
}

// §rows.j4: u16 offsets stored backwards before the u16 slot count.
void readJet4Variables(ByteSpan row, std::size_t maskLength, VariableTable &table, const std::string &where)
{
    if (row.size() < maskLength + 2 + 2)
        throwBadRow(where, "可変長列の表がありません");
    const std::size_t countAt = row.size() - maskLength - 2;
    table.count = loadLE16(row.data() + countAt);
    if (2 * (static_cast<std::size_t>(table.count) + 1) + 2 > countAt)
        throwBadRow(where, "可変長列の数 " + std::to_string(table.count) + " が行に収まりません");
    table.offsets.resize(table.count + 1);
    for (std::size_t i = 0; i <= table.count; ++i)
        table.offsets[i] = loadLE16(row.data() + countAt - 2 - 2 * i);
}

// §rows.j3: one-byte offsets whose high parts come from the jump table.
void readJet3Variables(ByteSpan row, std::size_t maskLength, VariableTable &table, const std::string &where)
{
    const std::size_t length = row.size();
    if (length < maskLength + 1 + 1 + 1)
        throwBadRow(where, "可変長列の表がありません");
    const std::size_t countAt = length - maskLength - 1;
    table.count = row[countAt];
    std::size_t jumps = (length - 1) / 256;
    if (countAt < jumps + 1 + table.count + 1)
        throwBadRow(where, "可変長列の数 " + std::to_string(table.count) + " が行に収まりません");
    const std::size_t firstOffsetAt = countAt - jumps - 1;
    if ((firstOffsetAt - table.count) / 256 < jumps)
        --jumps;  // the farthest jump byte is a filler
    table.offsets.resize(table.count + 1);
    std::size_t used = 0;
    for (std::size_t i = 0; i <= table.count; ++i) {
        while (used < jumps && row[countAt - 1 - used] == i)
            ++used;
        table.offsets[i] = static_cast<std::uint16_t>(row[firstOffsetAt - i] + 256 * used);
    }
}

}  // namespace

RowLayout::RowLayout(const TableDef &def)
    : format_(&formatConstants(def.version)), hasVariableColumns_(def.variableColumns > 0)
{
    const std::size_t countLength = format_->rowColumnCountLength;
    places_.reserve(def.columns.size());
    for (const ColumnDef &column : def.columns) {
        Place place;
        place.column = &column;
        place.number = column.number;
        place.maskByte = column.number / 8;
        place.maskBit = static_cast<std::uint8_t>(1u << (column.number % 8));
        place.varIndex = column.varIndex;
        if (column.type == ColumnType::Boolean) {
            place.kind = Place::Kind::Boolean;
        } else if (column.isFixed()) {
            place.kind = Place::Kind::Fixed;
            place.fixedStart = countLength + column.fixedOffset;
            place.fixedSize = column.fixedSize();
        }
        places_.push_back(place);
    }
}

void splitRow(const TableDef &def, ByteSpan row, RowColumns &out, const std::string &where)
{
    splitRow(RowLayout(def), row, out, where);
}

void splitRow(const RowLayout &layout, ByteSpan row, RowColumns &out, const std::string &where)
{
    const bool jet3 = layout.jet3();
    const std::size_t countLength = layout.format().rowColumnCountLength;
    if (row.size() < countLength + 1)
        throwBadRow(where, "長さ " + std::to_string(row.size()));
    const std::uint16_t count = jet3 ? row[0] : loadLE16(row.data());
    const std::size_t maskLength = (static_cast<std::size_t>(count) + 7) / 8;
    if (maskLength + countLength > row.size())
        throwBadRow(where, "列数 " + std::to_string(count) + " が行に収まりません");
    const std::uint8_t *mask = row.data() + (row.size() - maskLength);

    VariableTable variables{0, out.variableOffsets};
    std::size_t dataEnd = row.size() - maskLength;
    if (layout.hasVariableColumns()) {
        if (jet3)
            readJet3Variables(row, maskLength, variables, where);
        else
            readJet4Variables(row, maskLength, variables, where);
        const std::size_t tableStart =
            jet3 ? row.size() - maskLength - 1 - ((row.size() - 1) / 256) - 1 - variables.count
                 : row.size() - maskLength - 2 - 2 * (static_cast<std::size_t>(variables.count) + 1);
        dataEnd = tableStart;
    }
    out.storedColumnCount = count;
    out.storedVariableCount = variables.count;
    const std::vector<RowLayout::Place> &places = layout.places();
    out.columns.resize(places.size());

    for (std::size_t i = 0; i < places.size(); ++i) {
        const RowLayout::Place &place = places[i];
        ColumnSlice &slice = out.columns[i];
        slice = ColumnSlice{};
        if (place.number >= count)
            continue;  // added after this row was written: null
        slice.present = (mask[place.maskByte] & place.maskBit) != 0;
        if (!slice.present || place.kind == RowLayout::Place::Kind::Boolean)
            continue;
        if (place.kind == RowLayout::Place::Kind::Fixed) {
            const std::size_t start = place.fixedStart;
            const std::size_t size = place.fixedSize;
            if (start + size > dataEnd)
                throwBadRow(where, "固定長列 '" + place.column->name + "' が行の外にあります");
            slice.bytes = ByteSpan(row.data() + start, size);
            slice.offset = start;
        } else {
            if (place.varIndex >= variables.count) {
                slice.present = false;
                continue;
            }
            const std::size_t start = variables.offsets[place.varIndex];
            const std::size_t end = variables.offsets[place.varIndex + 1];
            if (start > end || end > dataEnd || start < countLength)
                throwBadRow(where, "可変長列 '" + place.column->name + "' の位置 " + std::to_string(start) + "–" +
                                       std::to_string(end) + " が不正です");
            slice.bytes = ByteSpan(row.data() + start, end - start);
            slice.offset = start;
        }
    }
}

}  // namespace jet
