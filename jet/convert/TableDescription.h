// A table definition in format-neutral terms, read from a stored TDEF and
// written as the TDEF bytes of either format (docs/jet-format-notes.md §tdef,
// docs/conversion-notes.md). Column numbers, variable slots, fixed offsets,
// display order and index numbering are kept as given; page references are
// left to a TablePlacement, which the writer fills once it knows its pages.
#pragma once

#include "jet/TableDef.h"

#include <string>
#include <vector>

namespace jet::convert {

struct ColumnDescription {
    std::string name;
    ColumnType type = ColumnType::Long;
    std::uint16_t number = 0;
    std::uint16_t varIndex = 0;
    std::uint16_t fixedOffset = 0;
    std::uint16_t size = 0;            // Text: characters; other types: bytes as stored
    std::uint8_t flags = 0;
    std::uint8_t extFlags = 0;         // Jet 4 extended flags (0x01 Unicode compression)
    std::uint16_t collation = 0;       // LCID
    std::uint8_t collationVersion = 0; // Jet 4 Text/Memo
    std::uint16_t codePage = 0;        // Jet 3; 0 = the database's
    std::uint8_t precision = 0;        // Decimal
    std::uint8_t scale = 0;
};

struct RealIndexDescription {
    std::vector<IndexKeyColumn> columns;
    std::uint8_t flags = 0;            // unique, ignore nulls, required; without Jet 4's 0x80
    std::uint32_t uniqueCount = 0;
};

struct LogicalIndexDescription {
    std::string name;
    std::uint32_t number = 0;
    std::uint32_t realIndex = 0;
    std::uint8_t foreignKeyRole = 0;
    std::int32_t otherIndex = -1;
    std::uint8_t cascadeUpdates = 0;
    std::uint8_t cascadeDeletes = 0;
    std::uint8_t kind = 0;
};

struct TableDescription {
    std::string name;                  // for messages
    std::uint8_t tableType = 'N';
    std::uint32_t rowCount = 0;
    std::uint32_t autoNumber = 0;
    std::uint16_t maxColumns = 0;
    std::uint16_t variableColumns = 0;
    std::vector<ColumnDescription> columns;          // display order
    std::vector<RealIndexDescription> realIndexes;
    std::vector<LogicalIndexDescription> logicalIndexes;
    std::vector<std::uint16_t> longValueColumns;     // order of the long-value map list
};

// What only the writer knows: the rows holding the usage maps, the index
// roots, and the definition page of each foreign-key index's other table.
struct TablePlacement {
    RowId ownedPages;
    RowId freePages;
    std::vector<RowId> indexMaps;           // per real index
    std::vector<PageNumber> indexRoots;     // per real index
    std::vector<PageNumber> otherTables;    // per logical index (0 when not a foreign key)
    struct LongValue {
        RowId ownedPages;
        RowId freePages;
    };
    std::vector<LongValue> longValueMaps;   // per entry of longValueColumns
};

TableDescription describeTable(const TableDef &def, const std::string &tableName);
TablePlacement placementOf(const TableDef &def);

// The logical TDEF buffer (tdef_len bytes, §tdef) in `version`. Bytes 2..7 are
// those of a single page (Jet 3 "VC", Jet 4 free space 0, no next page): the
// writer sets them when it splits the buffer into pages. Jet 3 names are
// written in `codePage`; throws jet::Error(Unsupported) naming the table when
// a name cannot be, and jet::Error(Argument) when the placement does not fit
// the description.
std::vector<std::uint8_t> buildTableDef(const TableDescription &table, const TablePlacement &placement,
                                        JetVersion version, unsigned codePage);

}  // namespace jet::convert
