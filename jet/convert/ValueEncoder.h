// Decoded values back into the bytes a row stores for them, in either
// format: the inverse of jet/Value.h for everything but long values, whose
// placement on LVAL pages is the writer's (docs/conversion-notes.md).
#pragma once

#include "jet/Format.h"
#include "jet/Value.h"

#include <string>
#include <vector>

namespace jet::convert {

// Where a value is going: the target format and, for Jet 3 text, its code page.
struct TextTarget {
    JetVersion version = JetVersion::Jet4;
    unsigned codePage = 1252;
};

// Text (UTF-8) as `column` stores it in the target format, appended to `out`.
// Throws jet::Error(Unsupported) naming the table, the column and the
// character when the target code page cannot hold it: never a silent "?".
void appendStoredText(const TextTarget &target, const ColumnDef &column, const std::string &text,
                      const std::string &tableName, std::vector<std::uint8_t> &out);

// The stored bytes of a non-null value that is not a long value and not a
// Boolean (whose value lives in the null mask). Fixed-size types give their
// fixed size whether the column is fixed or variable.
void appendStoredValue(const TextTarget &target, const ColumnDef &column, const Value &value,
                       const std::string &tableName, std::vector<std::uint8_t> &out);

// A long value kept in the row itself (12-byte header, kind "inline").
std::vector<std::uint8_t> inlineLongValueField(ByteSpan data);

// "U+4E2D" for messages.
std::string codePointName(char32_t c);

}  // namespace jet::convert
