#include "jet/Value.h"

#include "jet/Error.h"
#include "jet/Text.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace jet {

namespace {

std::int64_t loadSigned(ByteSpan bytes)
{
    std::uint64_t value = 0;
    for (std::size_t i = bytes.size(); i-- > 0;)
        value = (value << 8) | bytes[i];
    const unsigned bits = static_cast<unsigned>(bytes.size() * 8);
    if (bits < 64 && (value >> (bits - 1)) & 1)
        value |= ~0ull << bits;
    return static_cast<std::int64_t>(value);
}

// §types.decimal: sign byte, then four u32 LE words, most significant first.
std::string decimalText(ByteSpan bytes, unsigned scale)
{
    std::uint32_t words[4];
    for (int i = 0; i < 4; ++i)
        words[i] = loadLE32(bytes.data() + 1 + 4 * i);
    std::string digits;
    bool nonZero = true;
    while (nonZero) {  // repeated division of the 128-bit magnitude by 10
        std::uint64_t remainder = 0;
        nonZero = false;
        for (int i = 0; i < 4; ++i) {
            const std::uint64_t current = (remainder << 32) | words[i];
            words[i] = static_cast<std::uint32_t>(current / 10);
            remainder = current % 10;
            nonZero = nonZero || words[i] != 0;
        }
        digits.insert(digits.begin(), static_cast<char>('0' + remainder));
    }
    if (scale > 0) {
        if (digits.size() <= scale)
            digits.insert(0, scale + 1 - digits.size(), '0');
        digits.insert(digits.size() - scale, 1, '.');
    }
    if (bytes[0] & 0x80)
        digits.insert(0, 1, '-');
    return digits;
}

void decodeFixedSize(const ColumnDef &column, ByteSpan bytes, const std::string &where, Value &value)
{
    const std::size_t need = column.fixedSize();
    if (bytes.size() < need)
        throw Error(ErrorKind::Damaged, where + ": 列 '" + column.name + "' の値が " + std::to_string(bytes.size()) +
                                            " バイトしかありません（" + std::to_string(need) + " バイト必要）。");
    bytes = bytes.first(need);
    switch (column.type) {
    case ColumnType::Byte:
        value.kind = Value::Kind::Integer;
        value.integer = bytes[0];
        break;
    case ColumnType::Integer:
    case ColumnType::Long:
    case ColumnType::Complex:
    case ColumnType::BigInt:
        value.kind = Value::Kind::Integer;
        value.integer = loadSigned(bytes);
        break;
    case ColumnType::Currency:
        value.kind = Value::Kind::Currency;
        value.integer = loadSigned(bytes);
        break;
    case ColumnType::Single: {
        float f;
        std::memcpy(&f, bytes.data(), 4);
        value.kind = Value::Kind::Float;
        value.real = f;
        break;
    }
    case ColumnType::Double:
    case ColumnType::DateTime:
        value.kind = column.type == ColumnType::Double ? Value::Kind::Float : Value::Kind::DateTime;
        std::memcpy(&value.real, bytes.data(), 8);
        break;
    case ColumnType::Guid:
        value.kind = Value::Kind::Guid;
        value.bytes.assign(bytes.begin(), bytes.end());
        break;
    case ColumnType::Decimal:
        value.kind = Value::Kind::Decimal;
        value.text = decimalText(bytes, column.scale);
        break;
    default:
        break;
    }
}

bool isFixedSizeType(ColumnType type)
{
    switch (type) {
    case ColumnType::Byte:
    case ColumnType::Integer:
    case ColumnType::Long:
    case ColumnType::Currency:
    case ColumnType::Single:
    case ColumnType::Double:
    case ColumnType::DateTime:
    case ColumnType::Guid:
    case ColumnType::Decimal:
    case ColumnType::Complex:
    case ColumnType::BigInt:
        return true;
    default:
        return false;
    }
}

}  // namespace

void appendText(const ValueContext &context, ByteSpan bytes, std::string &out)
{
    if (context.version == JetVersion::Jet3)
        appendCodePageText(out, bytes, context.codePage);
    else
        appendJet4Text(out, bytes);
}

std::string decodeText(const ValueContext &context, ByteSpan bytes)
{
    std::string text;
    appendText(context, bytes, text);
    return text;
}

Value decodeValue(const ValueContext &context, const ColumnDef &column, const ColumnSlice &slice,
                  const std::string &where)
{
    Value value;
    decodeValueInto(context, column, slice, where, value);
    return value;
}

void decodeValueInto(const ValueContext &context, const ColumnDef &column, const ColumnSlice &slice,
                     const std::string &where, Value &value)
{
    value.kind = Value::Kind::Null;
    value.text.clear();
    value.bytes.clear();
    if (column.type == ColumnType::Boolean) {
        value.kind = Value::Kind::Boolean;
        value.boolean = slice.present;
        return;
    }
    if (!slice.present)
        return;
    if (isFixedSizeType(column.type)) {
        decodeFixedSize(column, slice.bytes, where, value);
        return;
    }
    if (column.type == ColumnType::Text) {
        value.kind = Value::Kind::Text;
        appendText(context, slice.bytes, value.text);
        return;
    }
    if (column.isLongValue()) {
        const std::string at = where + " 列 '" + column.name + "'";
        const auto header = parseLongValueHeader(slice.bytes, at);
        std::vector<std::uint8_t> bytes;
        if (header)
            bytes = readLongValue(*context.file, *header, at);
        if (column.type == ColumnType::Memo) {
            value.kind = Value::Kind::Text;
            appendText(context, bytes, value.text);
        } else {
            value.kind = Value::Kind::Binary;
            value.bytes = std::move(bytes);
        }
        return;
    }
    value.kind = Value::Kind::Binary;
    value.bytes.assign(slice.bytes.begin(), slice.bytes.end());
}

std::optional<std::int64_t> integerValue(const ValueContext &context, const ColumnDef &column,
                                         const ColumnSlice &slice, const std::string &where)
{
    if (column.type == ColumnType::Long && slice.present && slice.bytes.size() >= 4)
        return static_cast<std::int32_t>(loadLE32(slice.bytes.data()));
    Value value;
    decodeValueInto(context, column, slice, where, value);
    if (value.kind != Value::Kind::Integer)
        return std::nullopt;
    return value.integer;
}

std::string formatGuid(ByteSpan b)
{
    if (b.size() < 16)
        return "{}";
    char text[40];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", loadLE32(b.data()),
                  loadLE16(b.data() + 4), loadLE16(b.data() + 6), b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
    return text;
}

std::string formatDateTime(double days)
{
    if (!std::isfinite(days) || std::fabs(days) > 3000000.0)
        return "invalid";
    const double day = std::trunc(days);
    const double fraction = std::fabs(days - day);
    long long seconds = std::llround(fraction * 86400.0);
    long long dayNumber = static_cast<long long>(day);
    if (seconds >= 86400) {
        seconds -= 86400;
        dayNumber += days < 0 ? -1 : 1;
    }
    const CivilDate date = civilDateOf(dayNumber - 25569);  // 1970-01-01 is day 25569
    char text[128];
    std::snprintf(text, sizeof text, "%04lld-%02lld-%02lld %02lld:%02lld:%02lld", date.year, date.month, date.day,
                  seconds / 3600, (seconds / 60) % 60, seconds % 60);
    return text;
}

// Howard Hinnant's days-to-civil algorithm.
CivilDate civilDateOf(long long daysSince1970)
{
    const long long z = daysSince1970 + 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    const long long day = doy - (153 * mp + 2) / 5 + 1;
    const long long month = mp < 10 ? mp + 3 : mp - 9;
    return {yoe + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

}  // namespace jet
