// The two Jet file formats this engine reads, and the per-format layout
// constants every parser takes from one table (see docs/jet-format-notes.md
// §hdr and the section named beside each constant).
#pragma once

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
    std::size_t sortOrderOffset;       // LCID of the database sort order

    // Data pages (§page.data).
    std::size_t dataRowCountOffset;
    std::size_t dataRowTableOffset;

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

    // Index pages (§index.page).
    std::size_t indexPrevOffset;
    std::size_t indexNextOffset;
    std::size_t indexTailOffset;
    std::size_t indexPrefixOffset;
    std::size_t indexPrefixLength;     // 1 byte (J3) or 2 bytes (J4)
    std::size_t indexLevelOffset;
    std::size_t indexMaskOffset;
    std::size_t indexMaskLength;
    std::size_t indexEntriesOffset;

    // Long values (§lval).
    std::size_t maxLongValueRow;       // bytes one LVAL row may hold
};

inline constexpr FormatConstants kJet3Format{
    JetVersion::Jet3, 2048,
    126, 20, 0x3A,
    0x08, 0x0A,
    43, 12, 16, 20, 21, 23, 25, 27, 31, 35, 39, 8, 4, 18, 39, 20,
    0x08, 0x0C, 0x10, 0x14, 1, 0x15, 0x16, 226, 0xF8,
    2032,
};

inline constexpr FormatConstants kJet4Format{
    JetVersion::Jet4, 4096,
    128, 40, 0x6E,
    0x0C, 0x0E,
    63, 16, 20, 40, 41, 43, 45, 47, 51, 55, 59, 12, 4, 25, 52, 28,
    0x0C, 0x10, 0x14, 0x18, 2, 0x1A, 0x1B, 453, 0x1E0,
    4076,
};

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
