// Table definitions (TDEF, page type 0x02): the chain of pages, the logical
// buffer they form, and the parsed model with the byte offsets of every field
// a compactor rewrites (docs/jet-format-notes.md §tdef, §tdef.rewrite).
//
// All *Offset fields are offsets into TableDef::bytes, the logical buffer:
// the whole first page followed by bytes [8, page size) of each continuation
// page. TableDef::locate() turns such an offset into a page and an offset on it.
#pragma once

#include "jet/Column.h"
#include "jet/PageFile.h"
#include "jet/RowRef.h"

#include <optional>
#include <vector>

namespace jet {

inline constexpr std::uint8_t kIndexUnique = 0x01;
inline constexpr std::uint8_t kIndexIgnoreNulls = 0x02;
inline constexpr std::uint8_t kIndexRequired = 0x08;

struct IndexKeyColumn {
    std::uint16_t columnNumber = 0;
    bool ascending = true;
};

struct RealIndexDef {
    std::size_t number = 0;                // position among the real indexes
    std::vector<IndexKeyColumn> columns;   // used key slots, in order
    RowId usageMap;                        // the map of this index's pages
    PageNumber rootPage = 0;
    std::uint8_t flags = 0;
    std::uint32_t uniqueCount = 0;         // the stored distinct-key counter

    std::size_t definitionOffset = 0;      // of the 39/52-byte block
    std::size_t usageMapOffset = 0;        // RowRef
    std::size_t rootPageOffset = 0;        // u32
    std::size_t flagsOffset = 0;           // u8
    std::size_t uniqueCountOffset = 0;     // u32, in the statistics block

    bool unique() const { return flags & kIndexUnique; }
    bool ignoreNulls() const { return flags & kIndexIgnoreNulls; }
};

struct LogicalIndexDef {
    std::string name;                      // UTF-8
    std::uint32_t number = 0;
    std::uint32_t realIndex = 0;           // which RealIndexDef backs it
    std::uint8_t foreignKeyRole = 0;       // 0 none, 1 referenced side, 2 referencing side
    std::int32_t otherIndex = -1;          // FK: logical index in the other table
    PageNumber otherTable = 0;             // FK: TDEF page of the other table
    std::uint8_t cascadeUpdates = 0;
    std::uint8_t cascadeDeletes = 0;
    std::uint8_t kind = 0;                 // 0 normal, 1 primary key, 2 foreign key

    std::size_t definitionOffset = 0;      // of the 20/28-byte block
    std::size_t otherTableOffset = 0;      // u32, the embedded TDEF page number

    bool isPrimaryKey() const { return kind == 1; }
};

struct LongValueMaps {
    std::uint16_t columnNumber = 0;
    RowId ownedPages;                      // LVAL pages of this column
    RowId freePages;                       // LVAL pages with free space
    std::size_t entryOffset = 0;           // of the 10-byte entry; maps at +2 and +6
};

struct TableDef {
    PageNumber firstPage = 0;
    std::vector<PageNumber> pages;         // the chain, first page first
    std::vector<std::uint8_t> bytes;       // the logical buffer (see above)
    JetVersion version = JetVersion::Jet4;
    std::uint32_t pageSize = 4096;

    std::uint32_t definitionLength = 0;    // tdef_len: meaningful bytes of `bytes`
    std::uint32_t rowCount = 0;
    std::uint32_t autoNumber = 0;          // last Long AutoNumber handed out
    std::uint8_t tableType = 0;            // 'N' user, 'S' system
    std::uint16_t maxColumns = 0;
    std::uint16_t variableColumns = 0;     // variable slots ever assigned
    std::uint16_t columnCount = 0;
    std::uint32_t logicalIndexCount = 0;
    std::uint32_t realIndexCount = 0;
    RowId ownedPages;                      // the table's data pages
    RowId freePages;                       // its data pages with free space

    std::vector<ColumnDef> columns;        // definition (display) order
    std::vector<RealIndexDef> realIndexes;
    std::vector<LogicalIndexDef> logicalIndexes;
    std::vector<LongValueMaps> longValueMaps;

    struct Offsets {
        std::size_t definitionLength = 8;
        std::size_t rowCount = 0;
        std::size_t autoNumber = 0;
        std::size_t ownedPages = 0;
        std::size_t freePages = 0;
        std::size_t longValueList = 0;     // first 10-byte entry (or the 0xFFFF terminator)
        std::size_t end = 0;               // just after the terminator
    } offsets;

    // The page and in-page offset of logical offset `offset`.
    struct Location {
        PageNumber page;
        std::size_t offsetInPage;
    };
    std::optional<Location> locate(std::size_t offset) const;

    const ColumnDef *columnByNumber(std::uint16_t number) const;
    const ColumnDef *columnByName(const std::string &name) const;
    // The incrementing Long AutoNumber column, if the table has one.
    const ColumnDef *autoNumberColumn() const;
    // The logical primary-key index, if any.
    const LogicalIndexDef *primaryKey() const;
    bool isSystemType() const { return tableType == 'S'; }
};

// Reads and parses the TDEF chain starting at `firstPage`. `tableName` is
// used in messages. Throws jet::Error(Damaged) for a broken chain (wrong page
// type, cycle, page past the end) or fields that run off the definition.
TableDef readTableDef(const PageFile &file, PageNumber firstPage, const std::string &tableName);

}  // namespace jet
