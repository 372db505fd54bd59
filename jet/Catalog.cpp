#include "jet/Catalog.h"

#include "jet/Error.h"
#include "jet/RowDecoder.h"
#include "jet/TableScan.h"

namespace jet {

namespace {

const char kCatalogName[] = "MSysObjects";

struct CatalogColumns {
    const ColumnDef *id, *parentId, *name, *type, *flags, *database, *foreignName, *connect;
};

const ColumnDef *requireColumn(const TableDef &def, const char *name, const PageFile &file)
{
    const ColumnDef *column = def.columnByName(name);
    if (!column)
        throw Error(ErrorKind::Damaged, "システム カタログ（" + file.describePage(kCatalogTableDefPage) + "）に列 '" +
                                            name + "' がありません。");
    return column;
}

std::string textOf(const Value &value) { return value.kind == Value::Kind::Text ? value.text : std::string(); }

TableEntry tableEntryFor(const CatalogObject &object)
{
    TableEntry entry;
    entry.name = object.name;
    entry.flags = object.flags;
    switch (object.type) {
    case 1:
        entry.kind = (object.flags & kSystemObjectFlags) ? TableKind::System : TableKind::User;
        entry.definitionPage = object.id & 0x00FFFFFF;
        break;
    case 4:
        entry.kind = TableKind::LinkedOdbc;
        entry.definitionPage = object.id & 0x00FFFFFF;
        break;
    default:
        entry.kind = TableKind::Linked;
        break;
    }
    return entry;
}

}  // namespace

const TableEntry *Catalog::findTable(const std::string &name) const
{
    for (const TableEntry &table : tables)
        if (table.name == name)
            return &table;
    return nullptr;
}

Catalog readCatalog(const PageFile &file)
{
    const TableDef def = readTableDef(file, kCatalogTableDefPage, kCatalogName);
    const CatalogColumns columns{
        requireColumn(def, "Id", file),          requireColumn(def, "ParentId", file),
        requireColumn(def, "Name", file),        requireColumn(def, "Type", file),
        requireColumn(def, "Flags", file),       def.columnByName("Database"),
        def.columnByName("ForeignName"),         def.columnByName("Connect"),
    };
    Catalog catalog;
    RowDecoder decoder(file, def);
    TableScan scan(file, def, kCatalogName);
    while (scan.next()) {
        const std::string where = scan.where();
        decoder.split(scan.row().bytes, where);
        CatalogObject object;
        object.position = scan.row().position;
        object.id = static_cast<std::uint32_t>(decoder.value(*columns.id, where).integer);
        object.parentId = static_cast<std::uint32_t>(decoder.value(*columns.parentId, where).integer);
        object.name = textOf(decoder.value(*columns.name, where));
        object.type = static_cast<std::int16_t>(decoder.value(*columns.type, where).integer);
        object.flags = static_cast<std::uint32_t>(decoder.value(*columns.flags, where).integer);
        if (columns.database)
            object.database = textOf(decoder.value(*columns.database, where));
        if (columns.foreignName)
            object.foreignName = textOf(decoder.value(*columns.foreignName, where));
        if (columns.connect)
            object.connect = textOf(decoder.value(*columns.connect, where));
        if (object.type == 1 || object.type == 4 || object.type == 6)
            catalog.tables.push_back(tableEntryFor(object));
        catalog.objects.push_back(std::move(object));
    }
    return catalog;
}

}  // namespace jet
