#include "jet/convert/TableRetarget.h"

namespace jet::convert {

namespace {

void retargetColumn(ColumnDef &column, JetVersion from, JetVersion to)
{
    const bool text = column.type == ColumnType::Text;
    if (from == JetVersion::Jet3 && to == JetVersion::Jet4) {
        if (text)
            column.length = static_cast<std::uint16_t>(column.length * 2);
        if (text || column.type == ColumnType::Memo)
            column.extFlags |= kColumnExtCompressedUnicode;
        if (column.type != ColumnType::Guid)
            column.flags &= static_cast<std::uint8_t>(~kColumnAutoGuid);
    } else if (from == JetVersion::Jet4 && to == JetVersion::Jet3) {
        if (text)
            column.length = static_cast<std::uint16_t>(column.length / 2);
        column.extFlags = 0;
    }
}

}  // namespace

TableDef retargetTableDef(const TableDef &source, JetVersion target)
{
    TableDef def = source;
    def.version = target;
    def.pageSize = formatConstants(target).pageSize;
    def.bytes.clear();
    for (ColumnDef &column : def.columns)
        retargetColumn(column, source.version, target);
    return def;
}

}  // namespace jet::convert
