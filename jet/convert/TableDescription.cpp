#include "jet/convert/TableDescription.h"

#include "jet/Error.h"
#include "jet/convert/TextTranscode.h"

namespace jet::convert {

namespace {

constexpr std::uint32_t kJet4Constant = 1625;
constexpr std::uint32_t kJet4RealIndexConstant = 1923;
constexpr std::uint8_t kJet4IndexFlag = 0x80;

bool isText(ColumnType type) { return type == ColumnType::Text; }

// Appends little-endian fields and zero runs to the TDEF buffer.
class TdefBuffer {
public:
    void u8(std::uint8_t v) { bytes_.push_back(v); }
    void u16(std::uint16_t v) { u8(static_cast<std::uint8_t>(v)); u8(static_cast<std::uint8_t>(v >> 8)); }
    void u32(std::uint32_t v) { u16(static_cast<std::uint16_t>(v)); u16(static_cast<std::uint16_t>(v >> 16)); }
    void zeros(std::size_t n) { bytes_.insert(bytes_.end(), n, 0); }
    void append(const std::vector<std::uint8_t> &more) { bytes_.insert(bytes_.end(), more.begin(), more.end()); }
    std::size_t size() const { return bytes_.size(); }
    std::vector<std::uint8_t> &bytes() { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
};

class TdefWriter {
public:
    TdefWriter(const TableDescription &table, const TablePlacement &placement, JetVersion version, unsigned codePage)
        : table_(table), placement_(placement), jet3_(version == JetVersion::Jet3), codePage_(codePage)
    {
    }

    std::vector<std::uint8_t> write()
    {
        checkPlacement();
        writeHeader();
        for (const RealIndexDescription &index : table_.realIndexes)
            writeStatistics(index);
        for (const ColumnDescription &column : table_.columns)
            writeColumn(column);
        for (const ColumnDescription &column : table_.columns)
            writeName(column.name);
        for (std::size_t i = 0; i < table_.realIndexes.size(); ++i)
            writeRealIndex(table_.realIndexes[i], i);
        for (std::size_t i = 0; i < table_.logicalIndexes.size(); ++i)
            writeLogicalIndex(table_.logicalIndexes[i], i);
        for (const LogicalIndexDescription &index : table_.logicalIndexes)
            writeName(index.name);
        writeLongValueList();
        storeLE32(out_.bytes().data() + 8, static_cast<std::uint32_t>(out_.size()));
        return std::move(out_.bytes());
    }

private:
    void checkPlacement() const
    {
        if (placement_.indexMaps.size() != table_.realIndexes.size() ||
            placement_.indexRoots.size() != table_.realIndexes.size() ||
            placement_.otherTables.size() != table_.logicalIndexes.size() ||
            placement_.longValueMaps.size() != table_.longValueColumns.size())
            throw Error(ErrorKind::Argument, "テーブル '" + table_.name + "' の定義: ページの割り当てが索引や列の数と合いません。");
    }

    void writeHeader()
    {
        out_.u8(static_cast<std::uint8_t>(PageType::TableDef));
        out_.u8(0x01);
        if (jet3_)
            out_.u8('V'), out_.u8('C');
        else
            out_.u16(0);
        out_.u32(0);  // next page
        out_.u32(0);  // tdef_len, set at the end
        if (!jet3_)
            out_.u32(kJet4Constant);
        out_.u32(table_.rowCount);
        out_.u32(table_.autoNumber);
        if (!jet3_) {
            out_.u8(0x01);  // AutoNumber enable: set in every Jet 4 file we have
            out_.zeros(15);
        }
        out_.u8(table_.tableType);
        out_.u16(table_.maxColumns);
        out_.u16(table_.variableColumns);
        out_.u16(static_cast<std::uint16_t>(table_.columns.size()));
        out_.u32(static_cast<std::uint32_t>(table_.logicalIndexes.size()));
        out_.u32(static_cast<std::uint32_t>(table_.realIndexes.size()));
        out_.u32(placement_.ownedPages.toRowRef());
        out_.u32(placement_.freePages.toRowRef());
    }

    void writeStatistics(const RealIndexDescription &index)
    {
        out_.u32(0);
        out_.u32(index.uniqueCount);
        if (!jet3_)
            out_.u32(0);
    }

    std::uint16_t storedLength(const ColumnDescription &column) const
    {
        if (!isText(column.type))
            return column.size;
        return static_cast<std::uint16_t>(jet3_ ? column.size : column.size * 2);
    }

    void writeColumn(const ColumnDescription &column)
    {
        out_.u8(static_cast<std::uint8_t>(column.type));
        if (jet3_) {
            out_.u16(column.number);
            out_.u16(column.varIndex);
            out_.u16(0);
            out_.u16(1);
            out_.u16(column.collation);
            out_.u16(column.codePage != 0 ? column.codePage : static_cast<std::uint16_t>(codePage_));
            out_.u8(column.flags);
        } else {
            out_.u32(kJet4Constant);
            out_.u16(column.number);
            out_.u16(column.varIndex);
            out_.u16(0);
            if (column.type == ColumnType::Decimal) {
                out_.u8(column.precision);
                out_.u8(column.scale);
                out_.u16(0);
            } else {
                out_.u16(column.collation);
                out_.u8(0);
                out_.u8(column.collationVersion);
            }
            out_.u8(column.flags);
            out_.u8(column.extFlags);
            out_.u32(0);
        }
        out_.u16(column.fixedOffset);
        out_.u16(storedLength(column));
    }

    void writeName(const std::string &name)
    {
        const std::u16string units = utf8ToUtf16(name);
        std::vector<std::uint8_t> bytes;
        if (!jet3_) {
            appendJet4Text(units, false, bytes);
            out_.u16(static_cast<std::uint16_t>(bytes.size()));
        } else {
            if (appendJet3Text(units, codePage_, bytes) || bytes.size() > 0xFF)
                throw Error(ErrorKind::Unsupported, "テーブル '" + table_.name + "' の名前 '" + name +
                                                        "' は Jet 3.x 形式のコード ページ " + std::to_string(codePage_) +
                                                        " で表せません。");
            out_.u8(static_cast<std::uint8_t>(bytes.size()));
        }
        out_.append(bytes);
    }

    void writeRealIndex(const RealIndexDescription &index, std::size_t i)
    {
        if (index.columns.size() > 10)
            throw Error(ErrorKind::Argument, "テーブル '" + table_.name + "' の索引の列が 10 を超えます。");
        if (!jet3_)
            out_.u32(kJet4RealIndexConstant);
        for (std::size_t slot = 0; slot < 10; ++slot) {
            const bool used = slot < index.columns.size();
            out_.u16(used ? index.columns[slot].columnNumber : 0xFFFF);
            out_.u8(used && index.columns[slot].ascending ? 0x01 : 0x00);
        }
        out_.u32(placement_.indexMaps[i].toRowRef());
        out_.u32(placement_.indexRoots[i]);
        if (jet3_) {
            out_.u8(static_cast<std::uint8_t>(index.flags & ~kJet4IndexFlag));
        } else {
            out_.u32(0);
            out_.u8(static_cast<std::uint8_t>(index.flags | kJet4IndexFlag));
            out_.zeros(5);
        }
    }

    void writeLogicalIndex(const LogicalIndexDescription &index, std::size_t i)
    {
        if (!jet3_)
            out_.u32(kJet4Constant);
        out_.u32(index.number);
        out_.u32(index.realIndex);
        out_.u8(index.foreignKeyRole);
        out_.u32(static_cast<std::uint32_t>(index.otherIndex));
        out_.u32(placement_.otherTables[i]);
        out_.u8(index.cascadeUpdates);
        out_.u8(index.cascadeDeletes);
        out_.u8(index.kind);
        if (!jet3_)
            out_.u32(0);
    }

    void writeLongValueList()
    {
        for (std::size_t i = 0; i < table_.longValueColumns.size(); ++i) {
            out_.u16(table_.longValueColumns[i]);
            out_.u32(placement_.longValueMaps[i].ownedPages.toRowRef());
            out_.u32(placement_.longValueMaps[i].freePages.toRowRef());
        }
        out_.u16(0xFFFF);
    }

    const TableDescription &table_;
    const TablePlacement &placement_;
    bool jet3_;
    unsigned codePage_;
    TdefBuffer out_;
};

ColumnDescription describeColumn(const TableDef &def, const ColumnDef &column)
{
    ColumnDescription out;
    out.name = column.name;
    out.type = column.type;
    out.number = column.number;
    out.varIndex = column.varIndex;
    out.fixedOffset = column.fixedOffset;
    const bool jet4 = def.version == JetVersion::Jet4;
    out.size = isText(column.type) && jet4 ? static_cast<std::uint16_t>(column.length / 2) : column.length;
    out.flags = column.flags;
    out.extFlags = column.extFlags;
    out.collation = column.collation;
    out.codePage = column.codePage;
    out.precision = column.precision;
    out.scale = column.scale;
    const std::size_t versionAt = column.definitionOffset + 0x0E;
    if (jet4 && column.type != ColumnType::Decimal && versionAt < def.bytes.size())
        out.collationVersion = def.bytes[versionAt];
    return out;
}

}  // namespace

TableDescription describeTable(const TableDef &def, const std::string &tableName)
{
    TableDescription table;
    table.name = tableName;
    table.tableType = def.tableType;
    table.rowCount = def.rowCount;
    table.autoNumber = def.autoNumber;
    table.maxColumns = def.maxColumns;
    table.variableColumns = def.variableColumns;
    for (const ColumnDef &column : def.columns)
        table.columns.push_back(describeColumn(def, column));
    for (const RealIndexDef &index : def.realIndexes)
        table.realIndexes.push_back(
            {index.columns, static_cast<std::uint8_t>(index.flags & ~kJet4IndexFlag), index.uniqueCount});
    for (const LogicalIndexDef &index : def.logicalIndexes)
        table.logicalIndexes.push_back({index.name, index.number, index.realIndex, index.foreignKeyRole,
                                        index.otherIndex, index.cascadeUpdates, index.cascadeDeletes, index.kind});
    for (const LongValueMaps &maps : def.longValueMaps)
        table.longValueColumns.push_back(maps.columnNumber);
    return table;
}

TablePlacement placementOf(const TableDef &def)
{
    TablePlacement placement;
    placement.ownedPages = def.ownedPages;
    placement.freePages = def.freePages;
    for (const RealIndexDef &index : def.realIndexes) {
        placement.indexMaps.push_back(index.usageMap);
        placement.indexRoots.push_back(index.rootPage);
    }
    for (const LogicalIndexDef &index : def.logicalIndexes)
        placement.otherTables.push_back(index.otherTable);
    for (const LongValueMaps &maps : def.longValueMaps)
        placement.longValueMaps.push_back({maps.ownedPages, maps.freePages});
    return placement;
}

std::vector<std::uint8_t> buildTableDef(const TableDescription &table, const TablePlacement &placement,
                                        JetVersion version, unsigned codePage)
{
    return TdefWriter(table, placement, version, codePage).write();
}

}  // namespace jet::convert
