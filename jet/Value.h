// Decoded column values (docs/jet-format-notes.md §types).
#pragma once

#include "jet/Column.h"
#include "jet/LongValue.h"
#include "jet/Row.h"

#include <optional>
#include <string>
#include <vector>

namespace jet {

struct Value {
    enum class Kind : std::uint8_t {
        Null,
        Boolean,   // boolean
        Integer,   // integer: Byte, Integer, Long, BigInt, Complex
        Currency,  // integer: value × 10,000
        Float,     // real: Single (widened), Double
        DateTime,  // real: days since 1899-12-30 as stored
        Text,      // text: UTF-8 (Text, Memo)
        Binary,    // bytes: Binary, OLE, unknown types
        Guid,      // bytes: 16 bytes as stored
        Decimal,   // text: exact decimal digits, e.g. "-12.340"
    };
    Kind kind = Kind::Null;
    bool boolean = false;
    std::int64_t integer = 0;
    double real = 0.0;
    std::string text;
    std::vector<std::uint8_t> bytes;

    bool isNull() const { return kind == Kind::Null; }
};

struct ValueContext {
    const PageFile *file = nullptr;
    std::uint16_t codePage = 1252;  // Jet 3 text
    JetVersion version = JetVersion::Jet4;
};

// Decodes one column of a split row; long values are read through the file.
// Throws jet::Error(Damaged) naming `where` for values that cannot be read.
Value decodeValue(const ValueContext &context, const ColumnDef &column, const ColumnSlice &slice,
                  const std::string &where);

// The same, into `out`, reusing the capacity of its text and bytes.
void decodeValueInto(const ValueContext &context, const ColumnDef &column, const ColumnSlice &slice,
                     const std::string &where, Value &out);

// The value of an integer column (Byte, Integer, Long, BigInt); nullopt for
// a null value or a column of another kind. A Long stored whole (a table's
// AutoNumber, which the copy and the check read in every row) is taken
// straight from its bytes: building a Value for it cost a tenth of the copy of
// a table of short rows. Throws as decodeValue does.
std::optional<std::int64_t> integerValue(const ValueContext &context, const ColumnDef &column,
                                         const ColumnSlice &slice, const std::string &where);

// Text of a stored Text/Memo value in the file's format.
std::string decodeText(const ValueContext &context, ByteSpan bytes);

// GUID bytes as "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
std::string formatGuid(ByteSpan bytes);

// A Date/Time value as "YYYY-MM-DD HH:MM:SS" by Jet's rule (the fraction is the
// time of day whatever the sign of the day).
std::string formatDateTime(double days);

// The proleptic Gregorian date of a day counted from 1970-01-01 (negative before it).
struct CivilDate {
    long long year;
    long long month;  // 1..12
    long long day;    // 1..31
};
CivilDate civilDateOf(long long daysSince1970);

}  // namespace jet
