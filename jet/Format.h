// The two Jet file formats this engine reads, and the per-format layout
// constants every parser takes from one table (see docs/jet-format-notes.md
// §hdr and the section named beside each constant).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace jet {

using PageNumber = std::uint32_t;

enum class JetVersion : std::uint8_t { Jet3, Jet4 };

struct FormatConstants {
    JetVersion version;
    std::uint32_t pageSize;

    // Page 0 (§hdr).
    std::size_t headerRc4Length;       // bytes obscured from 0x18
    std::size_t passwordLength;        // bytes of the password field at 0x42
    std::size_t passwordCharacters;    // longest password we write (docs/jet-format-writer.md §hdr.write)
    std::size_t sortOrderOffset;       // LCID of the database sort order

    // Data pages (§page.data): the row-offset table starts where the header ends.
    std::size_t dataRowCountOffset;
    std::size_t dataRowTableOffset;
    std::size_t maxDataRowLength;      // an empty page less its header and one row-table slot

    // Rows (§rows.j3, §rows.j4): the column count that starts every row.
    std::size_t rowColumnCountLength;

    // Table definitions (§tdef).
    std::size_t tdefHeaderLength;
    std::size_t tdefRowCountOffset;
    std::size_t tdefAutoNumberOffset;
    std::size_t tdefTableTypeOffset;
    std::size_t tdefMaxColsOffset;
    std::size_t tdefNumVarColsOffset;
    std::size_t tdefNumColsOffset;
    std::size_t tdefNumIdxOffset;
    std::size_t tdefNumRealIdxOffset;
    std::size_t tdefOwnedMapOffset;
    std::size_t tdefFreeMapOffset;
    std::size_t realIndexStatsLength;
    std::size_t realIndexStatsCountOffset;
    std::size_t columnDefLength;
    std::size_t realIndexDefLength;
    std::size_t logicalIndexDefLength;

    // Index pages (§index.page; writer side docs/jet-format-writer.md §index.page.layout).
    std::size_t indexPrevOffset;       // u32 same-level predecessor
    std::size_t indexNextOffset;       // u32 same-level successor
    std::size_t indexTailOffset;       // u32 last child of a node page
    std::size_t indexPrefixOffset;     // shared-prefix length
    std::size_t indexPrefixLength;     // 1 byte (J3) or 2 bytes (J4)
    std::size_t indexLevelOffset;      // u8 height above the leaves
    std::size_t indexMaskOffset;       // entry-end bitmask
    std::size_t indexMaskLength;
    std::size_t indexEntriesOffset;
    std::size_t indexMaxStoredBytes;   // min(page room, bits in the mask)
    std::size_t indexMaxPrefix;        // largest value the prefix field holds

    // Usage maps (§umap): the standard map row a table definition points at,
    // and the bitmap pages of reference maps (bits after a 4-byte header).
    std::size_t usageMapRowLength;
    std::size_t usageBitmapPageHeaderLength;
    std::size_t usagePagesPerBitmapPage;

    // Long values (§lval).
    std::size_t maxLongValueRow;       // bytes one LVAL row may hold
};

inline constexpr FormatConstants kJet3Format{
    .version = JetVersion::Jet3,
    .pageSize = 2048,
    .headerRc4Length = 126,
    .passwordLength = 20,
    .passwordCharacters = 14,
    .sortOrderOffset = 0x3A,
    .dataRowCountOffset = 0x08,
    .dataRowTableOffset = 0x0A,
    .maxDataRowLength = 2036,
    .rowColumnCountLength = 1,
    .tdefHeaderLength = 43,
    .tdefRowCountOffset = 12,
    .tdefAutoNumberOffset = 16,
    .tdefTableTypeOffset = 20,
    .tdefMaxColsOffset = 21,
    .tdefNumVarColsOffset = 23,
    .tdefNumColsOffset = 25,
    .tdefNumIdxOffset = 27,
    .tdefNumRealIdxOffset = 31,
    .tdefOwnedMapOffset = 35,
    .tdefFreeMapOffset = 39,
    .realIndexStatsLength = 8,
    .realIndexStatsCountOffset = 4,
    .columnDefLength = 18,
    .realIndexDefLength = 39,
    .logicalIndexDefLength = 20,
    .indexPrevOffset = 0x08,
    .indexNextOffset = 0x0C,
    .indexTailOffset = 0x10,
    .indexPrefixOffset = 0x14,
    .indexPrefixLength = 1,
    .indexLevelOffset = 0x15,
    .indexMaskOffset = 0x16,
    .indexMaskLength = 226,
    .indexEntriesOffset = 0xF8,
    .indexMaxStoredBytes = 1800,
    .indexMaxPrefix = 0xFF,
    .usageMapRowLength = 133,
    .usageBitmapPageHeaderLength = 4,
    .usagePagesPerBitmapPage = 16352,
    .maxLongValueRow = 2032,
};

inline constexpr FormatConstants kJet4Format{
    .version = JetVersion::Jet4,
    .pageSize = 4096,
    .headerRc4Length = 128,
    .passwordLength = 40,
    .passwordCharacters = 20,
    .sortOrderOffset = 0x6E,
    .dataRowCountOffset = 0x0C,
    .dataRowTableOffset = 0x0E,
    .maxDataRowLength = 4080,
    .rowColumnCountLength = 2,
    .tdefHeaderLength = 63,
    .tdefRowCountOffset = 16,
    .tdefAutoNumberOffset = 20,
    .tdefTableTypeOffset = 40,
    .tdefMaxColsOffset = 41,
    .tdefNumVarColsOffset = 43,
    .tdefNumColsOffset = 45,
    .tdefNumIdxOffset = 47,
    .tdefNumRealIdxOffset = 51,
    .tdefOwnedMapOffset = 55,
    .tdefFreeMapOffset = 59,
    .realIndexStatsLength = 12,
    .realIndexStatsCountOffset = 4,
    .columnDefLength = 25,
    .realIndexDefLength = 52,
    .logicalIndexDefLength = 28,
    .indexPrevOffset = 0x0C,
    .indexNextOffset = 0x10,
    .indexTailOffset = 0x14,
    .indexPrefixOffset = 0x18,
    .indexPrefixLength = 2,
    .indexLevelOffset = 0x1A,
    .indexMaskOffset = 0x1B,
    .indexMaskLength = 453,
    .indexEntriesOffset = 0x1E0,
    .indexMaxStoredBytes = 3616,
    .indexMaxPrefix = 0xFFFF,
    .usageMapRowLength = 69,
    .usageBitmapPageHeaderLength = 4,
    .usagePagesPerBitmapPage = 32736,
    .maxLongValueRow = 4076,
};

// A long-value row is a data row less the 4-byte RowRef of the next fragment.
static_assert(kJet3Format.maxDataRowLength == kJet3Format.pageSize - kJet3Format.dataRowTableOffset - 2);
static_assert(kJet4Format.maxDataRowLength == kJet4Format.pageSize - kJet4Format.dataRowTableOffset - 2);
static_assert(kJet3Format.maxLongValueRow == kJet3Format.maxDataRowLength - 4);
static_assert(kJet4Format.maxLongValueRow == kJet4Format.maxDataRowLength - 4);

static_assert(kJet3Format.usagePagesPerBitmapPage == (kJet3Format.pageSize - kJet3Format.usageBitmapPageHeaderLength) * 8);
static_assert(kJet4Format.usagePagesPerBitmapPage == (kJet4Format.pageSize - kJet4Format.usageBitmapPageHeaderLength) * 8);

// The index-page fields are tied together: the mask ends where the entries
// begin, and an entry can end at most at the page end or the mask's last bit.
static_assert(kJet3Format.indexMaskOffset + kJet3Format.indexMaskLength == kJet3Format.indexEntriesOffset);
static_assert(kJet4Format.indexMaskOffset + kJet4Format.indexMaskLength == kJet4Format.indexEntriesOffset);
static_assert(kJet3Format.indexMaxStoredBytes ==
              std::min<std::size_t>(kJet3Format.pageSize - kJet3Format.indexEntriesOffset, 8 * kJet3Format.indexMaskLength));
static_assert(kJet4Format.indexMaxStoredBytes ==
              std::min<std::size_t>(kJet4Format.pageSize - kJet4Format.indexEntriesOffset, 8 * kJet4Format.indexMaskLength));

inline const FormatConstants &formatConstants(JetVersion version)
{
    return version == JetVersion::Jet3 ? kJet3Format : kJet4Format;
}

// Page types (byte 0 of every page, §page.types).
enum class PageType : std::uint8_t {
    Header = 0x00,
    Data = 0x01,
    TableDef = 0x02,
    IndexNode = 0x03,
    IndexLeaf = 0x04,
    UsageMap = 0x05,
};

}  // namespace jet
