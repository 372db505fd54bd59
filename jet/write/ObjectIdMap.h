// Object ids are table-definition page numbers (§catalog). The copy gives
// every definition a new page, so every stored id that names a table is
// rewritten through this map: MSysObjects.Id and ParentId, MSysACEs.ObjectId,
// MSysQueries.ObjectId, the navigation-pane tables and the other-table page
// of foreign-key indexes (docs/object-ids.md). Ids that name no definition
// (containers, queries, forms, …: high bits set) are kept.
#pragma once

#include "jet/Catalog.h"
#include "jet/Database.h"
#include "jet/TableDef.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace jet::write {

class ObjectIdMap {
public:
    void add(PageNumber oldPage, PageNumber newPage) { map_[oldPage] = newPage; }

    bool namesTable(std::uint32_t id) const { return map_.count(id) != 0; }
    std::uint32_t map(std::uint32_t id) const
    {
        if (const auto it = map_.find(id); it != map_.end())
            return it->second;
        if (const auto it = stale_.find(id); it != stale_.end())
            return it->second;
        return id;
    }

    // Before anything is written: every local or ODBC table of the catalog has
    // a definition in the map, and no two objects end up with one id.
    void requireComplete(const Catalog &catalog) const;

    // Ids in the source's id columns that name no object (rows left behind
    // when an object was deleted) keep their number, unless a table of the
    // copy now has it: then they get a number that names nothing and can be
    // no page of a Jet file (just under 2^24), so they go on naming nothing.
    void settleStaleIds(const Database &source);

private:
    std::unordered_map<std::uint32_t, std::uint32_t> map_;
    std::unordered_map<std::uint32_t, std::uint32_t> stale_;
};

// The columns of `table` that hold object ids, in definition order (none
// for user tables).
std::vector<const ColumnDef *> objectIdColumns(const std::string &table, const TableDef &def);

}  // namespace jet::write
