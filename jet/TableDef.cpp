#include "jet/TableDef.h"

#include "jet/Error.h"
#include "jet/Text.h"

#include <unordered_set>

namespace jet {

namespace {

class TableDefParser {
public:
    TableDefParser(const PageFile &file, TableDef &def, const std::string &tableName)
        : file_(file), def_(def), format_(file.format()),
          reader_(def.bytes, "テーブル '" + tableName + "' の定義（" + file.describePage(def.firstPage) + "）"),
          jet3_(file.version() == JetVersion::Jet3)
    {
    }

    void parse()
    {
        parseHeader();
        std::size_t at = format_.tdefHeaderLength;
        at = parseIndexStatistics(at);
        at = parseColumns(at);
        at = parseRealIndexes(at);
        at = parseLogicalIndexes(at);
        parseLongValueList(at);
    }

private:
    void parseHeader()
    {
        reader_.require(0, format_.tdefHeaderLength);
        def_.definitionLength = reader_.u32(8);
        def_.offsets.rowCount = format_.tdefRowCountOffset;
        def_.offsets.autoNumber = format_.tdefAutoNumberOffset;
        def_.offsets.ownedPages = format_.tdefOwnedMapOffset;
        def_.offsets.freePages = format_.tdefFreeMapOffset;
        def_.rowCount = reader_.u32(format_.tdefRowCountOffset);
        def_.autoNumber = reader_.u32(format_.tdefAutoNumberOffset);
        def_.tableType = reader_.u8(format_.tdefTableTypeOffset);
        def_.maxColumns = reader_.u16(format_.tdefMaxColsOffset);
        def_.variableColumns = reader_.u16(format_.tdefNumVarColsOffset);
        def_.columnCount = reader_.u16(format_.tdefNumColsOffset);
        def_.logicalIndexCount = reader_.u32(format_.tdefNumIdxOffset);
        def_.realIndexCount = reader_.u32(format_.tdefNumRealIdxOffset);
        def_.ownedPages = RowId::fromRowRef(reader_.u32(format_.tdefOwnedMapOffset));
        def_.freePages = RowId::fromRowRef(reader_.u32(format_.tdefFreeMapOffset));
    }

    // Refuses counts whose blocks cannot fit before reserving memory for them.
    void requireBlocks(std::size_t at, std::uint64_t count, std::size_t blockLength)
    {
        if (count * blockLength > reader_.size())
            reader_.require(at, reader_.size() + 1);
        reader_.require(at, static_cast<std::size_t>(count * blockLength));
    }

    std::size_t parseIndexStatistics(std::size_t at)
    {
        requireBlocks(at, def_.realIndexCount, format_.realIndexStatsLength);
        def_.realIndexes.resize(def_.realIndexCount);
        for (std::size_t i = 0; i < def_.realIndexCount; ++i) {
            RealIndexDef &index = def_.realIndexes[i];
            index.number = i;
            index.uniqueCountOffset = at + format_.realIndexStatsCountOffset;
            index.uniqueCount = reader_.u32(index.uniqueCountOffset);
            at += format_.realIndexStatsLength;
        }
        return at;
    }

    std::size_t parseColumns(std::size_t at)
    {
        requireBlocks(at, def_.columnCount, format_.columnDefLength);
        def_.columns.resize(def_.columnCount);
        for (std::size_t i = 0; i < def_.columnCount; ++i) {
            parseColumn(at, def_.columns[i]);
            def_.columns[i].position = i;
            at += format_.columnDefLength;
        }
        for (ColumnDef &column : def_.columns)
            at = parseName(at, column.name);
        return at;
    }

    void parseColumn(std::size_t at, ColumnDef &column)
    {
        column.definitionOffset = at;
        column.type = static_cast<ColumnType>(reader_.u8(at));
        if (jet3_) {
            column.number = reader_.u16(at + 0x01);
            column.varIndex = reader_.u16(at + 0x03);
            column.collation = reader_.u16(at + 0x09);
            column.codePage = reader_.u16(at + 0x0B);
            column.flags = reader_.u8(at + 0x0D);
            column.fixedOffset = reader_.u16(at + 0x0E);
            column.length = reader_.u16(at + 0x10);
        } else {
            column.number = reader_.u16(at + 0x05);
            column.varIndex = reader_.u16(at + 0x07);
            if (column.type == ColumnType::Decimal) {
                column.precision = reader_.u8(at + 0x0B);
                column.scale = reader_.u8(at + 0x0C);
            } else {
                column.collation = reader_.u16(at + 0x0B);
            }
            column.flags = reader_.u8(at + 0x0F);
            column.extFlags = reader_.u8(at + 0x10);
            column.fixedOffset = reader_.u16(at + 0x15);
            column.length = reader_.u16(at + 0x17);
        }
    }

    std::size_t parseName(std::size_t at, std::string &name)
    {
        if (jet3_) {
            const std::size_t length = reader_.u8(at);
            name = codePageToUtf8(reader_.slice(at + 1, length), file_.header().codePage);
            return at + 1 + length;
        }
        const std::size_t length = reader_.u16(at);
        name = utf16leToUtf8(reader_.slice(at + 2, length));
        return at + 2 + length;
    }

    std::size_t parseRealIndexes(std::size_t at)
    {
        requireBlocks(at, def_.realIndexCount, format_.realIndexDefLength);
        const std::size_t base = jet3_ ? 0 : 4;
        for (RealIndexDef &index : def_.realIndexes) {
            index.definitionOffset = at;
            for (std::size_t slot = 0; slot < 10; ++slot) {
                const std::uint16_t number = reader_.u16(at + base + 3 * slot);
                if (number != 0xFFFF)
                    index.columns.push_back({number, reader_.u8(at + base + 3 * slot + 2) == 0x01});
            }
            index.usageMapOffset = at + base + 30;
            index.usageMap = RowId::fromRowRef(reader_.u32(index.usageMapOffset));
            index.rootPageOffset = at + base + 34;
            index.rootPage = reader_.u32(index.rootPageOffset);
            index.flagsOffset = at + (jet3_ ? 38 : 46);
            index.flags = reader_.u8(index.flagsOffset);
            at += format_.realIndexDefLength;
        }
        return at;
    }

    std::size_t parseLogicalIndexes(std::size_t at)
    {
        requireBlocks(at, def_.logicalIndexCount, format_.logicalIndexDefLength);
        def_.logicalIndexes.resize(def_.logicalIndexCount);
        const std::size_t base = jet3_ ? 0 : 4;
        for (LogicalIndexDef &index : def_.logicalIndexes) {
            index.definitionOffset = at;
            index.number = reader_.u32(at + base);
            index.realIndex = reader_.u32(at + base + 0x04);
            index.foreignKeyRole = reader_.u8(at + base + 0x08);
            index.otherIndex = static_cast<std::int32_t>(reader_.u32(at + base + 0x09));
            index.otherTableOffset = at + base + 0x0D;
            index.otherTable = reader_.u32(index.otherTableOffset);
            index.cascadeUpdates = reader_.u8(at + base + 0x11);
            index.cascadeDeletes = reader_.u8(at + base + 0x12);
            index.kind = reader_.u8(at + base + 0x13);
            at += format_.logicalIndexDefLength;
        }
        for (LogicalIndexDef &index : def_.logicalIndexes)
            at = parseName(at, index.name);
        return at;
    }

    void parseLongValueList(std::size_t at)
    {
        def_.offsets.longValueList = at;
        for (;;) {
            const std::uint16_t number = reader_.u16(at);
            if (number == 0xFFFF)
                break;
            LongValueMaps maps;
            maps.columnNumber = number;
            maps.entryOffset = at;
            maps.ownedPages = RowId::fromRowRef(reader_.u32(at + 2));
            maps.freePages = RowId::fromRowRef(reader_.u32(at + 6));
            def_.longValueMaps.push_back(maps);
            at += 10;
        }
        def_.offsets.end = at + 2;
    }

    const PageFile &file_;
    TableDef &def_;
    const FormatConstants &format_;
    CheckedReader reader_;
    bool jet3_;
};

void readChain(const PageFile &file, TableDef &def, const std::string &tableName)
{
    std::unordered_set<PageNumber> seen;
    PageNumber next = def.firstPage;
    while (next != 0) {
        if (!seen.insert(next).second)
            throw Error(ErrorKind::Damaged, "テーブル '" + tableName + "' の定義のページの連鎖が " +
                                                file.describePage(next) + " で循環しています。");
        PageHandle page = file.page(next);
        if (page->bytes[0] != static_cast<std::uint8_t>(PageType::TableDef))
            throw Error(ErrorKind::Damaged, "テーブル '" + tableName + "' の定義: " + file.describePage(next) +
                                                " はテーブル定義のページではありません（種類 " +
                                                std::to_string(page->bytes[0]) + "）。");
        def.pages.push_back(next);
        const std::size_t from = def.pages.size() == 1 ? 0 : 8;
        def.bytes.insert(def.bytes.end(), page->bytes.begin() + static_cast<std::ptrdiff_t>(from), page->bytes.end());
        next = loadLE32(page->bytes.data() + 4);
    }
}

}  // namespace

TableDef readTableDef(const PageFile &file, PageNumber firstPage, const std::string &tableName)
{
    TableDef def;
    def.firstPage = firstPage;
    def.version = file.version();
    def.pageSize = file.pageSize();
    if (firstPage == 0)
        throw Error(ErrorKind::Damaged, "テーブル '" + tableName + "' の定義のページ番号が 0 です。");
    readChain(file, def, tableName);
    TableDefParser(file, def, tableName).parse();
    return def;
}

std::optional<TableDef::Location> TableDef::locate(std::size_t offset) const
{
    if (offset < pageSize)
        return Location{pages.front(), offset};
    const std::size_t perPage = pageSize - 8;
    const std::size_t index = 1 + (offset - pageSize) / perPage;
    if (index >= pages.size())
        return std::nullopt;
    return Location{pages[index], 8 + (offset - pageSize) % perPage};
}

const ColumnDef *TableDef::columnByNumber(std::uint16_t number) const
{
    for (const ColumnDef &column : columns)
        if (column.number == number)
            return &column;
    return nullptr;
}

const ColumnDef *TableDef::columnByName(const std::string &name) const
{
    for (const ColumnDef &column : columns)
        if (column.name == name)
            return &column;
    return nullptr;
}

const ColumnDef *TableDef::autoNumberColumn() const
{
    for (const ColumnDef &column : columns)
        if (column.isAutoNumber())
            return &column;
    return nullptr;
}

const LogicalIndexDef *TableDef::primaryKey() const
{
    for (const LogicalIndexDef &index : logicalIndexes)
        if (index.isPrimaryKey())
            return &index;
    return nullptr;
}

}  // namespace jet
