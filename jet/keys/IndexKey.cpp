// One column's part of an index key (docs/index-keys.md §layout, §values):
// a flag byte, then value bytes that compare bytewise in the column's order.
#include "jet/keys/IndexKey.h"

#include "jet/Text.h"

#include <array>
#include <bit>
#include <cstdio>
#include <cstring>

namespace jet::keys {

std::string lcidText(std::uint16_t lcid)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(lcid));
    return text;
}

namespace {

// Code page 1252 bytes 0x80..0x9F as Unicode; the five Windows leaves
// undefined are the C1 controls, as the reader decodes them.
constexpr std::array<char16_t, 32> kCodePage1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

bool toCodePage1252(std::u16string_view text, std::vector<std::uint8_t> &out)
{
    out.clear();
    for (char16_t unit : text) {
        if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) {
            out.push_back(static_cast<std::uint8_t>(unit));
            continue;
        }
        const auto *found = std::find(kCodePage1252High.begin(), kCodePage1252High.end(), unit);
        if (found == kCodePage1252High.end())
            return false;
        out.push_back(static_cast<std::uint8_t>(0x80 + (found - kCodePage1252High.begin())));
    }
    return true;
}

void appendBigEndian(Key &key, std::uint64_t value, unsigned bytes, bool flipSign)
{
    for (unsigned i = bytes; i-- > 0;)
        key.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    if (flipSign)
        key[key.size() - bytes] ^= 0x80;
}

// IEEE bits in an order that compares like the numbers: positive values
// with the sign bit set, negative ones complemented.
void appendFloatBits(Key &key, std::uint64_t bits, unsigned bytes)
{
    const std::uint64_t sign = 1ull << (8 * bytes - 1);
    const std::uint64_t mask = bytes == 8 ? ~0ull : (1ull << (8 * bytes)) - 1;
    appendBigEndian(key, (bits & sign) ? ~bits & mask : bits | sign, bytes, false);
}

// Eight-byte chunks, each but the last followed by 0x09; the last padded
// with zeros and followed by its length. Descending: the data bytes and the
// last length complemented, the 0x09 markers kept.
void appendBinary(Key &key, ByteSpan bytes, bool ascending)
{
    const std::uint8_t invert = ascending ? 0x00 : 0xFF;
    for (std::size_t at = 0; at < bytes.size(); at += 8) {
        const std::size_t length = std::min<std::size_t>(8, bytes.size() - at);
        for (std::size_t i = 0; i < 8; ++i)
            key.push_back(static_cast<std::uint8_t>((i < length ? bytes[at + i] : 0) ^ invert));
        const bool last = at + 8 >= bytes.size();
        key.push_back(last ? static_cast<std::uint8_t>(length ^ invert) : 0x09);
    }
}

// The stored GUID (three little-endian groups, then eight bytes) in the
// order of its text form.
void appendGuid(Key &key, ByteSpan stored, bool ascending)
{
    const std::array<std::uint8_t, 16> text = {stored[3], stored[2],  stored[1],  stored[0],  stored[5],  stored[4],
                                               stored[7], stored[6],  stored[8],  stored[9],  stored[10], stored[11],
                                               stored[12], stored[13], stored[14], stored[15]};
    appendBinary(key, text, ascending);
}

// "-12.340" to sign and the unscaled magnitude, 16 bytes big-endian.
bool parseDecimal(const std::string &text, bool &negative, std::array<std::uint8_t, 16> &magnitude)
{
    magnitude.fill(0);
    negative = !text.empty() && text[0] == '-';
    bool digits = false;
    for (char c : text.substr(negative ? 1 : 0)) {
        if (c == '.')
            continue;
        if (c < '0' || c > '9')
            return false;
        digits = true;
        unsigned carry = static_cast<unsigned>(c - '0');
        for (std::size_t i = magnitude.size(); i-- > 0;) {
            const unsigned product = magnitude[i] * 10u + carry;
            magnitude[i] = static_cast<std::uint8_t>(product);
            carry = product >> 8;
        }
        if (carry)
            return false;
    }
    return digits;
}

// Jet 4 .mdb files order Decimal keys by this rule even where it sorts
// descending indexes oddly; a key must match what Jet stored, so it is kept.
bool appendDecimal(Key &key, const std::string &text, bool ascending)
{
    bool negative = false;
    std::array<std::uint8_t, 16> magnitude;
    if (!parseDecimal(text, negative, magnitude))
        return false;
    std::array<std::uint8_t, 17> bytes;
    bytes[0] = negative ? 0x80 : 0x00;
    std::copy(magnitude.begin(), magnitude.end(), bytes.begin() + 1);
    if (negative == ascending)
        for (std::uint8_t &b : bytes)
            b = static_cast<std::uint8_t>(~b);
    bytes[0] = negative ? 0x00 : 0xFF;
    key.insert(key.end(), bytes.begin(), bytes.end());
    return true;
}

void invertFrom(Key &key, std::size_t start)
{
    for (std::size_t i = start; i < key.size(); ++i)
        key[i] = static_cast<std::uint8_t>(~key[i]);
}

bool appendText(Key &key, const KeyColumn &column, const std::string &utf8)
{
    const std::u16string text = utf8ToUtf16(utf8);
    if (column.sortOrder == TextSortOrder::Jet4General)
        return appendJet4GeneralText(key, text, column.ascending);
    std::vector<std::uint8_t> bytes;
    if (!toCodePage1252(text, bytes))
        return false;
    appendJet3GeneralText(key, bytes, column.ascending);
    return true;
}

// Value bytes of a non-null value, ascending or descending as the column says.
bool appendValue(Key &key, const KeyColumn &column, const Value &value)
{
    using K = Value::Kind;
    const std::size_t start = key.size();
    switch (column.type) {
    case ColumnType::Byte:
        if (value.kind != K::Integer)
            return false;
        key.push_back(static_cast<std::uint8_t>(value.integer));
        break;
    case ColumnType::Integer:
    case ColumnType::Long:
    case ColumnType::Currency:
    case ColumnType::BigInt:
        if (value.kind != K::Integer && value.kind != K::Currency)
            return false;
        appendBigEndian(key, static_cast<std::uint64_t>(value.integer),
                        column.type == ColumnType::Integer ? 2 : column.type == ColumnType::Long ? 4 : 8, true);
        break;
    case ColumnType::Single:
        if (value.kind != K::Float)
            return false;
        appendFloatBits(key, std::bit_cast<std::uint32_t>(static_cast<float>(value.real)), 4);
        break;
    case ColumnType::Double:
    case ColumnType::DateTime:
        if (value.kind != K::Float && value.kind != K::DateTime)
            return false;
        appendFloatBits(key, std::bit_cast<std::uint64_t>(value.real), 8);
        break;
    case ColumnType::Boolean:
        // The ascending byte already sorts True first, and a descending
        // index stores the reverse: neither is complemented below.
        key.push_back((value.boolean == column.ascending) ? 0x00 : 0xFF);
        return value.kind == K::Boolean;
    case ColumnType::Guid:
        if (value.kind != K::Guid || value.bytes.size() != 16)
            return false;
        appendGuid(key, value.bytes, column.ascending);
        return true;
    case ColumnType::Binary:
        if (value.kind != K::Binary)
            return false;
        appendBinary(key, value.bytes, column.ascending);
        return true;
    case ColumnType::Decimal:
        return value.kind == K::Decimal && appendDecimal(key, value.text, column.ascending);
    case ColumnType::Text:
    case ColumnType::Memo:
        return value.kind == K::Text && appendText(key, column, value.text);
    default:
        return false;
    }
    if (!column.ascending)
        invertFrom(key, start);
    return true;
}

}  // namespace

TextSortOrder textSortOrder(JetVersion version, std::uint16_t columnLcid, std::uint16_t databaseLcid,
                            std::uint16_t codePage, std::uint8_t sortVersion)
{
    const std::uint16_t lcid = columnLcid != 0 ? columnLcid : databaseLcid;
    if (lcid != kGeneralLcid)
        return TextSortOrder::Unknown;
    if (version == JetVersion::Jet3)
        return codePage == 1252 ? TextSortOrder::Jet3General : TextSortOrder::Unknown;
    return sortVersion == 0 ? TextSortOrder::Jet4General : TextSortOrder::Unknown;
}

bool computable(const KeyColumn &column)
{
    switch (column.type) {
    case ColumnType::Boolean:
    case ColumnType::Byte:
    case ColumnType::Integer:
    case ColumnType::Long:
    case ColumnType::Currency:
    case ColumnType::Single:
    case ColumnType::Double:
    case ColumnType::DateTime:
    case ColumnType::Binary:
    case ColumnType::Guid:
    case ColumnType::Decimal:
    case ColumnType::BigInt:
        return true;
    case ColumnType::Text:
    case ColumnType::Memo:
        return column.sortOrder != TextSortOrder::Unknown;
    default:
        return false;
    }
}

bool appendStoredNumber(Key &key, const KeyColumn &column, ByteSpan stored)
{
    std::size_t size = 0;
    bool real = false;
    switch (column.type) {
    case ColumnType::Byte: size = 1; break;
    case ColumnType::Integer: size = 2; break;
    case ColumnType::Long: size = 4; break;
    case ColumnType::Currency: size = 8; break;
    case ColumnType::Single: size = 4; real = true; break;
    case ColumnType::Double:
    case ColumnType::DateTime: size = 8; real = true; break;
    default: return false;
    }
    if (stored.size() < size)
        return false;
    appendFlag(key, true, column.ascending);
    const std::size_t start = key.size();
    key.resize(start + size);
    for (std::size_t i = 0; i < size; ++i)
        key[start + i] = stored[size - 1 - i];
    const bool negative = key[start] & 0x80;
    if (real && negative)
        invertFrom(key, start);
    else if (column.type != ColumnType::Byte)
        key[start] ^= 0x80;
    if (!column.ascending)
        invertFrom(key, start);
    return true;
}

void appendFlag(Key &key, bool present, bool ascending)
{
    key.push_back(present ? (ascending ? 0x7F : 0x80) : (ascending ? 0x00 : 0xFF));
}

bool appendKeyColumn(Key &key, const KeyColumn &column, const Value &value)
{
    if (!computable(column))
        return false;
    // A Yes/No value lives in the null mask: it is never null.
    const bool present = !value.isNull() || column.type == ColumnType::Boolean;
    appendFlag(key, present, column.ascending);
    return !present || appendValue(key, column, value);
}

}  // namespace jet::keys
