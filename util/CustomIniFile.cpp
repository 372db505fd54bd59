#include "util/CustomIniFile.h"

namespace {

int hexDigitValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    return -1;
}

// Length of the hexadecimal lead-in at `pos` ("$", "x", "X", "0x", "0X"), or 0.
qsizetype hexPrefixLength(const QString &text, qsizetype pos)
{
    const QChar c = text[pos];
    if (c == u'$' || c == u'x' || c == u'X')
        return 1;
    if (c == u'0' && pos + 1 < text.size() && (text[pos + 1] == u'x' || text[pos + 1] == u'X'))
        return 2;
    return 0;
}

std::optional<std::uint32_t> parseHexDigits(const QString &text, qsizetype pos)
{
    if (pos >= text.size())
        return std::nullopt;
    std::uint64_t value = 0;
    for (; pos < text.size(); ++pos) {
        const int digit = hexDigitValue(text[pos]);
        if (digit < 0)
            return std::nullopt;
        value = value * 16 + static_cast<std::uint64_t>(digit);
        if (value > 0xFFFFFFFFu)
            return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

// Decimal magnitude; at most 2^31 so that the most negative value fits.
std::optional<std::uint32_t> parseDecimalDigits(const QString &text, qsizetype pos)
{
    if (pos >= text.size())
        return std::nullopt;
    std::uint64_t value = 0;
    for (; pos < text.size(); ++pos) {
        const char16_t u = text[pos].unicode();
        if (u < '0' || u > '9')
            return std::nullopt;
        value = value * 10 + (u - '0');
        if (value > 0x80000000u)
            return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

}  // namespace

std::optional<std::int32_t> ParseIniInteger(const QString &input)
{
    QString text = input;
    if (text.size() >= 3 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X'))
        text.replace(0, 2, QStringLiteral("$"));
    if (text.isEmpty())
        return std::nullopt;

    qsizetype pos = 0;
    const bool negative = text[0] == u'-';
    if (text[0] == u'-' || text[0] == u'+')
        ++pos;
    if (pos >= text.size())
        return std::nullopt;

    std::uint32_t magnitude = 0;
    if (const qsizetype prefix = hexPrefixLength(text, pos)) {
        const auto hex = parseHexDigits(text, pos + prefix);
        if (!hex)
            return std::nullopt;
        magnitude = *hex;
    } else {
        const auto decimal = parseDecimalDigits(text, pos);
        if (!decimal || (!negative && *decimal > 0x7FFFFFFFu))
            return std::nullopt;
        magnitude = *decimal;
    }
    // Two's-complement arithmetic: hexadecimal values are bit patterns, and
    // negating 2^31 gives the most negative value.
    const std::uint32_t bits = negative ? 0u - magnitude : magnitude;
    return static_cast<std::int32_t>(bits);
}

std::int32_t TCustomIniFile::ReadInteger(const QString &section, const QString &ident,
                                         std::int32_t defaultValue) const
{
    return ParseIniInteger(ReadString(section, ident, QString())).value_or(defaultValue);
}

bool TCustomIniFile::ReadBool(const QString &section, const QString &ident, bool defaultValue) const
{
    return ReadInteger(section, ident, defaultValue ? 1 : 0) != 0;
}

void TCustomIniFile::WriteInteger(const QString &section, const QString &ident, std::int32_t value)
{
    WriteString(section, ident, QString::number(value));
}

void TCustomIniFile::WriteBool(const QString &section, const QString &ident, bool value)
{
    WriteString(section, ident, value ? QStringLiteral("1") : QStringLiteral("0"));
}
