#include "jet/convert/TargetTables.h"

#include "jet/convert/Jet3Limits.h"
#include "jet/convert/TableDescription.h"
#include "jet/convert/TableRetarget.h"

#include <algorithm>

namespace jet::convert {

namespace {

// System Binary columns whose size differs between the formats (§convert.tables).
struct SizedColumn {
    const char *table;
    const char *column;
    std::uint16_t jet3Bytes;
    std::uint16_t jet4Bytes;
};
constexpr SizedColumn kSystemBinaries[] = {
    {"MSysObjects", "Owner", 255, 510},
    {"MSysObjects", "RmtInfoShort", 255, 510},
    {"MSysACEs", "SID", 255, 510},
    {"MSysQueries", "Order", 255, 510},
};

void renumberPositions(TableDef &def)
{
    for (std::size_t i = 0; i < def.columns.size(); ++i)
        def.columns[i].position = i;
    def.columnCount = static_cast<std::uint16_t>(def.columns.size());
}

// Jet 4's MSysQueries has an eighth column, a fixed Long that Microsoft's
// own upgrade left null in every row.
void addLvExtra(TableDef &def)
{
    if (def.columnByName("LvExtra"))
        return;
    std::uint16_t number = 0;
    std::size_t fixedEnd = 0;
    for (const ColumnDef &column : def.columns) {
        number = std::max<std::uint16_t>(number, static_cast<std::uint16_t>(column.number + 1));
        if (column.isFixed())
            fixedEnd = std::max<std::size_t>(fixedEnd, column.fixedOffset + column.fixedSize());
    }
    ColumnDef extra;
    extra.name = "LvExtra";
    extra.type = ColumnType::Long;
    extra.number = number;
    extra.fixedOffset = static_cast<std::uint16_t>(fixedEnd);
    extra.length = 4;
    extra.flags = 0x13;  // fixed, updatable, as in every Jet 4 file's MSysQueries
    extra.collation = def.columns.empty() ? 0 : def.columns.front().collation;
    def.columns.push_back(extra);
    def.maxColumns = std::max<std::uint16_t>(def.maxColumns, static_cast<std::uint16_t>(number + 1));
    renumberPositions(def);
}

void dropColumn(TableDef &def, const std::string &name)
{
    const auto it = std::find_if(def.columns.begin(), def.columns.end(),
                                 [&](const ColumnDef &column) { return column.name == name; });
    if (it == def.columns.end())
        return;
    def.columns.erase(it);
    renumberPositions(def);
}

}  // namespace

TableDef targetDefinition(const std::string &name, const TableDef &source, JetVersion target)
{
    TableDef def = retargetTableDef(source, target);
    for (const SizedColumn &sized : kSystemBinaries)
        if (name == sized.table)
            for (ColumnDef &column : def.columns)
                if (column.name == sized.column && column.type == ColumnType::Binary)
                    column.length = target == JetVersion::Jet3 ? sized.jet3Bytes : sized.jet4Bytes;
    if (name == "MSysQueries") {
        if (target == JetVersion::Jet4)
            addLvExtra(def);
        else
            dropColumn(def, "LvExtra");
    }
    return def;
}

bool leftOutOfJet3(const std::string &name, const TableDef &source, unsigned codePage)
{
    if (name.rfind("MSys", 0) != 0)
        return false;
    const TableDef jet3 = targetDefinition(name, source, JetVersion::Jet3);
    return !checkJet3Definition(describeTable(jet3, name), codePage).empty();
}

bool isAccessApplicationObject(std::int16_t type)
{
    switch (type) {
    case -32768:  // form
    case -32764:  // report
    case -32766:  // macro
    case -32761:  // module
    case -32756:  // data access page
        return true;
    default: return false;
    }
}

std::vector<std::uint16_t> columnsOnlyIn(const TableDef &def, const TableDef &other)
{
    std::vector<std::uint16_t> numbers;
    for (const ColumnDef &column : def.columns)
        if (!other.columnByNumber(column.number))
            numbers.push_back(column.number);
    return numbers;
}

}  // namespace jet::convert
