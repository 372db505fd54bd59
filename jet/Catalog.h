// The system catalog: the rows of MSysObjects (TDEF always on page 2), and
// the tables it lists (docs/jet-format-notes.md §catalog).
#pragma once

#include "jet/PageFile.h"
#include "jet/RowRef.h"

#include <string>
#include <vector>

namespace jet {

inline constexpr PageNumber kCatalogTableDefPage = 2;
inline constexpr std::uint32_t kSystemObjectFlags = 0x80000002;

struct CatalogObject {
    std::uint32_t id = 0;
    std::uint32_t parentId = 0;
    std::string name;
    std::int16_t type = 0;          // 1 table, 4 ODBC link, 5 query, 6 linked table, ...
    std::uint32_t flags = 0;
    std::string database;           // linked tables: the other file
    std::string foreignName;        // linked tables: the name there
    std::string connect;
    RowId position;                 // the MSysObjects row
};

enum class TableKind : std::uint8_t {
    User,        // local table made by the user
    System,      // local table with a system flag (MSys*)
    Linked,      // linked Jet/ISAM table (no definition here)
    LinkedOdbc,  // ODBC-linked table (a definition, no rows here)
};

struct TableEntry {
    std::string name;
    TableKind kind = TableKind::User;
    PageNumber definitionPage = 0;  // TDEF first page; 0 for Linked
    std::uint32_t flags = 0;
    bool isLocal() const { return kind == TableKind::User || kind == TableKind::System; }
};

struct Catalog {
    std::vector<CatalogObject> objects;  // every MSysObjects row, in physical order
    std::vector<TableEntry> tables;      // tables of every kind, in physical order
    const TableEntry *findTable(const std::string &name) const;
};

// Reads MSysObjects. Throws jet::Error(Damaged) if it cannot be read.
Catalog readCatalog(const PageFile &file);

}  // namespace jet
