#include "jet/convert/ValueEncoder.h"

#include "jet/Error.h"
#include "jet/convert/TextTranscode.h"

#include <cstdio>
#include <cstring>

namespace jet::convert {

namespace {

[[noreturn]] void throwBadValue(const ColumnDef &column, const std::string &tableName, const std::string &detail)
{
    throw Error(ErrorKind::Argument, "テーブル '" + tableName + "' の列 '" + column.name + "': " + detail);
}

void appendLittleEndian(std::uint64_t value, std::size_t size, std::vector<std::uint8_t> &out)
{
    for (std::size_t i = 0; i < size; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// The inverse of the reader's decimal text: sign byte, then the 96-bit
// magnitude as four u32 words, most significant first (§types.decimal).
void appendDecimal(const ColumnDef &column, const std::string &text, const std::string &tableName,
                   std::vector<std::uint8_t> &out)
{
    std::uint32_t words[4] = {0, 0, 0, 0};
    std::size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (negative)
        ++i;
    std::size_t fraction = 0;
    bool afterPoint = false;
    for (; i < text.size(); ++i) {
        if (text[i] == '.' && !afterPoint) {
            afterPoint = true;
            continue;
        }
        if (text[i] < '0' || text[i] > '9')
            throwBadValue(column, tableName, "十進数 '" + text + "' を読めません。");
        fraction += afterPoint ? 1 : 0;
        std::uint64_t carry = static_cast<std::uint64_t>(text[i] - '0');
        for (int w = 3; w >= 0; --w) {
            const std::uint64_t current = static_cast<std::uint64_t>(words[w]) * 10 + carry;
            words[w] = static_cast<std::uint32_t>(current);
            carry = current >> 32;
        }
        if (carry != 0)
            throwBadValue(column, tableName, "十進数 '" + text + "' が大きすぎます。");
    }
    if (fraction != column.scale)
        throwBadValue(column, tableName, "十進数 '" + text + "' の小数点以下の桁数が列の桁数 " +
                                             std::to_string(column.scale) + " と違います。");
    out.push_back(negative ? 0x80 : 0x00);
    for (std::uint32_t word : words)
        appendLittleEndian(word, 4, out);
}

void appendFixedBytes(const ColumnDef &column, const std::vector<std::uint8_t> &bytes, std::vector<std::uint8_t> &out)
{
    const std::size_t size = column.fixedSize();
    for (std::size_t i = 0; i < size; ++i)
        out.push_back(i < bytes.size() ? bytes[i] : 0);
}

}  // namespace

std::string codePointName(char32_t c)
{
    char text[16];
    std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(c));
    return text;
}

void appendStoredText(const TextTarget &target, const ColumnDef &column, const std::string &text,
                      const std::string &tableName, std::vector<std::uint8_t> &out)
{
    const std::u16string units = utf8ToUtf16(text);
    if (target.version == JetVersion::Jet4) {
        appendJet4Text(units, column.compressedUnicode(), out);
        return;
    }
    const auto bad = appendJet3Text(units, target.codePage, out);
    if (!bad)
        return;
    char32_t c = units[*bad];
    if (c >= 0xD800 && c <= 0xDBFF && *bad + 1 < units.size())
        c = 0x10000 + ((c - 0xD800) << 10) + (units[*bad + 1] - 0xDC00);
    throw Error(ErrorKind::Unsupported, "テーブル '" + tableName + "' の列 '" + column.name + "' に、Jet 3.x 形式の" +
                                            "コード ページ " + std::to_string(target.codePage) + " で表せない文字 " +
                                            codePointName(c) + " があります。");
}

void appendStoredValue(const TextTarget &target, const ColumnDef &column, const Value &value,
                       const std::string &tableName, std::vector<std::uint8_t> &out)
{
    switch (column.type) {
    case ColumnType::Byte:
    case ColumnType::Integer:
    case ColumnType::Long:
    case ColumnType::Complex:
    case ColumnType::BigInt:
    case ColumnType::Currency:
        appendLittleEndian(static_cast<std::uint64_t>(value.integer), column.fixedSize(), out);
        return;
    case ColumnType::Single: {
        const float f = static_cast<float>(value.real);
        std::uint32_t bits;
        std::memcpy(&bits, &f, 4);
        appendLittleEndian(bits, 4, out);
        return;
    }
    case ColumnType::Double:
    case ColumnType::DateTime: {
        std::uint64_t bits;
        std::memcpy(&bits, &value.real, 8);
        appendLittleEndian(bits, 8, out);
        return;
    }
    case ColumnType::Guid:
        appendFixedBytes(column, value.bytes, out);
        return;
    case ColumnType::Decimal:
        appendDecimal(column, value.text, tableName, out);
        return;
    case ColumnType::Text:
        appendStoredText(target, column, value.text, tableName, out);
        return;
    default:
        if (column.isFixed())
            appendFixedBytes(column, value.bytes, out);
        else
            out.insert(out.end(), value.bytes.begin(), value.bytes.end());
        return;
    }
}

std::vector<std::uint8_t> inlineLongValueField(ByteSpan data)
{
    std::vector<std::uint8_t> field(kLongValueHeaderLength + data.size(), 0);
    storeLE32(field.data(), static_cast<std::uint32_t>(data.size()) | 0x80000000u);
    if (!data.empty())
        std::memcpy(field.data() + kLongValueHeaderLength, data.data(), data.size());
    return field;
}

}  // namespace jet::convert
