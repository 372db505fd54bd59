// Index keys computed from values (docs/index-keys.md): the bytes a Jet
// engine stores in an index entry for a row, built from the row's decoded
// values alone. The checker recomputes stored keys with these; a writer that
// changes the format builds its keys with them.
#pragma once

#include "jet/Bytes.h"
#include "jet/Column.h"
#include "jet/Format.h"
#include "jet/Value.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace jet::keys {

using Key = std::vector<std::uint8_t>;

// The text sort orders whose keys are computed here (§sortorders).
enum class TextSortOrder : std::uint8_t {
    Unknown,      // any other: its keys cannot be computed
    Jet3General,  // Jet 3, LCID 0x0409, text in code page 1252
    Jet4General,  // Jet 4, LCID 0x0409, sort version 0
};

inline constexpr std::uint16_t kGeneralLcid = 0x0409;

// The sort order of a text column: its LCID (0 means the database's), the
// database's code page (Jet 3) and the column's sort version (Jet 4).
TextSortOrder textSortOrder(JetVersion version, std::uint16_t columnLcid, std::uint16_t databaseLcid,
                            std::uint16_t codePage, std::uint8_t sortVersion);

// A sort order's LCID as messages show it ("0x0411").
std::string lcidText(std::uint16_t lcid);

// One key column as an index and its column define it.
struct KeyColumn {
    ColumnType type = ColumnType::Long;
    bool ascending = true;
    TextSortOrder sortOrder = TextSortOrder::Unknown;  // Text and Memo only
};

// Whether keys of this column can be computed at all (its type is indexable
// and, for text, its sort order known).
bool computable(const KeyColumn &column);

// Appends the column's part of a key for `value`: the flag byte, then the
// value bytes (none for null). Text comes as UTF-8 (Value::text). Returns
// false when the key cannot be computed: not computable(column), a value of
// the wrong kind, or a character the sort order has no weight for here (Jet 3:
// outside code page 1252; Jet 4: beyond U+00FF but for the 27 of code page
// 1252). `key` is then left with a partial part.
bool appendKeyColumn(Key &key, const KeyColumn &column, const Value &value);

// The same for a number as the row stores it (little-endian; Byte, Integer,
// Long, Currency, Single, Double, Date/Time), without decoding it first: the
// check recomputes millions of keys. False for other types or a short value.
bool appendStoredNumber(Key &key, const KeyColumn &column, ByteSpan stored);

// The flag byte alone: a present value or a null one (docs/index-keys.md §layout).
void appendFlag(Key &key, bool present, bool ascending);

// Jet 4.0 counts ß as two characters where a Jet 4 key records positions; the
// later ACE engine, writing the same format, counts it as one
// (docs/index-keys.md §evidence). Keys either engine wrote are sound.
enum class Jet4Writer : std::uint8_t { Jet40, Ace };

// Value bytes of text already in the sort order's alphabet, without the flag.
// Trailing spaces are dropped and at most 255 characters are used. Jet 3:
// stored code-page 1252 bytes (always computable). Jet 4: UTF-16 code units;
// false for a unit without a weight here.
void appendJet3GeneralText(Key &key, ByteSpan codePage1252, bool ascending);
bool appendJet4GeneralText(Key &key, std::u16string_view text, bool ascending,
                           Jet4Writer writer = Jet4Writer::Jet40);

}  // namespace jet::keys
