#include "jet/write/ObjectIdMap.h"

#include "jet/Error.h"
#include "jet/RowDecoder.h"
#include "jet/TableScan.h"

#include <algorithm>
#include <array>
#include <unordered_set>

namespace jet::write {

namespace {

struct IdColumn {
    const char *table;
    const char *column;
};

// Where the test files store ids of tables (docs/object-ids.md gives the
// evidence). Other integer columns of system tables that happen to hold
// such numbers (MSysAccessStorage.Id, MSysNavPaneGroupToObjects.Id,
// MSysACEs.ACM, …) are their own counters or bit sets.
constexpr std::array<IdColumn, 7> kIdColumns{{
    {"MSysObjects", "Id"},
    {"MSysObjects", "ParentId"},
    {"MSysACEs", "ObjectId"},
    {"MSysQueries", "ObjectId"},
    {"MSysNavPaneObjectIDs", "Id"},
    {"MSysNavPaneGroupToObjects", "ObjectID"},
    {"MSysNavPaneGroups", "ObjectID"},
}};

bool isTable(std::int16_t type) { return type == 1 || type == 4; }

}  // namespace

void ObjectIdMap::requireComplete(const Catalog &catalog) const
{
    std::unordered_set<std::uint32_t> ids;
    for (const CatalogObject &object : catalog.objects) {
        if (isTable(object.type) && !namesTable(object.id))
            throw Error(ErrorKind::Damaged, "テーブル '" + object.name + "' の ID " + std::to_string(object.id) +
                                                " がテーブル定義を指していません。");
        if (!ids.insert(map(object.id)).second)
            throw Error(ErrorKind::Damaged, "オブジェクト '" + object.name + "' の ID " + std::to_string(map(object.id)) +
                                                " は別のオブジェクトと同じです。");
    }
}

void ObjectIdMap::settleStaleIds(const Database &source)
{
    std::unordered_set<std::uint32_t> known, newIds;
    for (const CatalogObject &object : source.catalog().objects)
        known.insert(object.id);
    for (const auto &[from, to] : map_)
        newIds.insert(to);
    std::uint32_t unused = 0x00FFFFFF;
    for (const TableEntry &table : source.catalog().tables) {
        if (!table.isLocal())
            continue;
        const TableDef def = source.tableDef(table);
        const std::vector<const ColumnDef *> columns = objectIdColumns(table.name, def);
        if (columns.empty())
            continue;
        source.forEachRow(def, table.name, [&](const LiveRow &, RowDecoder &decoder, const std::string &where) {
            for (const ColumnDef *column : columns) {
                const Value value = decoder.value(*column, where);
                if (value.kind != Value::Kind::Integer)
                    continue;
                const auto id = static_cast<std::uint32_t>(value.integer);
                if (known.count(id) || !newIds.count(id) || stale_.count(id))
                    continue;
                while (known.count(unused) || newIds.count(unused))
                    --unused;
                stale_[id] = unused--;
            }
        });
    }
}

std::vector<const ColumnDef *> objectIdColumns(const std::string &table, const TableDef &def)
{
    std::vector<const ColumnDef *> columns;
    for (const IdColumn &id : kIdColumns) {
        if (table != id.table)
            continue;
        const ColumnDef *column = def.columnByName(id.column);
        if (column && column->type == ColumnType::Long)
            columns.push_back(column);
    }
    return columns;
}

}  // namespace jet::write
