// Long values (Memo, OLE): the 12-byte header in the row and the value bytes
// it leads to, inline, in one LVAL row, or in a chain of LVAL rows
// (docs/jet-format-notes.md §lval).
#pragma once

#include "jet/PageFile.h"
#include "jet/RowRef.h"

#include <functional>
#include <vector>

namespace jet {

inline constexpr std::size_t kLongValueHeaderLength = 12;

struct LongValueHeader {
    enum class Kind : std::uint8_t { Inline = 0x80, SingleRow = 0x40, Chained = 0x00, Unknown = 0xFF };
    std::uint32_t length = 0;  // value length in bytes (30 bits)
    Kind kind = Kind::Unknown;
    RowId firstRow;            // SingleRow and Chained
    ByteSpan inlineData;       // Inline: the bytes after the header (possibly longer than length)
};

// Parses the stored bytes of a long-value column. Returns nullopt for a
// zero-length field (an empty value stored without a header). Throws
// jet::Error(Damaged) naming `where` for a field shorter than 12 bytes.
std::optional<LongValueHeader> parseLongValueHeader(ByteSpan field, const std::string &where);

// Visits each LVAL row a long value occupies, in order (none for inline
// values), with the bytes of that fragment's data part. Stops with
// jet::Error(Damaged) on a cycle, a missing row, a row on a page that is not an
// LVAL page, or a chain that ends before `length` bytes were found.
void visitLongValueRows(const PageFile &file, const LongValueHeader &header, const std::string &where,
                        const std::function<void(RowId row, ByteSpan data)> &visit);

// The full value bytes (exactly header.length of them).
std::vector<std::uint8_t> readLongValue(const PageFile &file, const LongValueHeader &header,
                                        const std::string &where);
// The same into `out`, reusing its memory (for readers of many values).
void readLongValueInto(const PageFile &file, const LongValueHeader &header, const std::string &where,
                       std::vector<std::uint8_t> &out);

}  // namespace jet
