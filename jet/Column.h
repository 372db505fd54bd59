// Column types and definitions as a table definition stores them
// (docs/jet-format-notes.md §types, §tdef.columns).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace jet {

enum class ColumnType : std::uint8_t {
    Boolean = 0x01,
    Byte = 0x02,
    Integer = 0x03,
    Long = 0x04,
    Currency = 0x05,
    Single = 0x06,
    Double = 0x07,
    DateTime = 0x08,
    Binary = 0x09,
    Text = 0x0A,
    Ole = 0x0B,
    Memo = 0x0C,
    Unknown0D = 0x0D,
    Guid = 0x0F,
    Decimal = 0x10,
    Unknown11 = 0x11,  // fixed binary: MSysAccessObjects.Data in Jet 4 (3992 bytes)
    Complex = 0x12,
    BigInt = 0x13,
};

// Column flags (§tdef.columns).
inline constexpr std::uint8_t kColumnFixed = 0x01;
inline constexpr std::uint8_t kColumnAutoNumber = 0x04;
inline constexpr std::uint8_t kColumnAutoGuid = 0x40;
inline constexpr std::uint8_t kColumnExtCompressedUnicode = 0x01;

struct ColumnDef {
    std::string name;               // UTF-8
    ColumnType type = ColumnType::Long;
    std::uint16_t number = 0;       // null-mask bit; stable across deleted columns
    std::uint16_t varIndex = 0;     // slot in the variable-offset table (variable columns)
    std::uint16_t fixedOffset = 0;  // offset in the fixed area (fixed columns)
    std::uint16_t length = 0;       // bytes (Text: 2 per character in Jet 4)
    std::uint8_t flags = 0;
    std::uint8_t extFlags = 0;      // Jet 4 only
    std::uint16_t collation = 0;    // LCID of text columns
    std::uint16_t codePage = 0;     // Jet 3 text columns
    std::uint8_t precision = 0;     // Decimal
    std::uint8_t scale = 0;         // Decimal
    std::size_t definitionOffset = 0;  // of the column block in the TDEF buffer
    std::size_t position = 0;       // index in TableDef::columns (display order)

    bool isFixed() const { return flags & kColumnFixed; }
    bool isLongValue() const { return type == ColumnType::Memo || type == ColumnType::Ole; }
    bool isAutoNumber() const { return (flags & kColumnAutoNumber) && type == ColumnType::Long; }
    bool isAutoGuid() const { return flags & kColumnAutoGuid; }
    bool compressedUnicode() const { return extFlags & kColumnExtCompressedUnicode; }
    // Bytes a fixed column takes in the fixed area.
    std::size_t fixedSize() const;
};

// Name of a column type for messages and dumps ("Long", "Text", ...).
std::string columnTypeName(ColumnType type);

}  // namespace jet
