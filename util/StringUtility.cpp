#include "util/StringUtility.h"

#include <limits>

namespace {

QChar upperCaseAscii(QChar c)
{
    if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
        return QChar(c.unicode() - 'a' + 'A');
    return c;
}

int digitValue(QChar c, int base)
{
    int value = -1;
    if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
        value = c.unicode() - '0';
    else if (base == 16 && upperCaseAscii(c) >= QLatin1Char('A') && upperCaseAscii(c) <= QLatin1Char('F'))
        value = upperCaseAscii(c).unicode() - 'A' + 10;
    return value < base ? value : -1;
}

// Length of the hexadecimal prefix at `pos` ("$", "x", "X", "0x", "0X"), or 0.
qsizetype hexPrefixLength(const QString &text, qsizetype pos)
{
    const auto at = [&](qsizetype i) { return i < text.size() ? text[i] : QChar(); };
    if (at(pos) == QLatin1Char('$') || at(pos) == QLatin1Char('x') || at(pos) == QLatin1Char('X'))
        return 1;
    if (at(pos) == QLatin1Char('0') && (at(pos + 1) == QLatin1Char('x') || at(pos + 1) == QLatin1Char('X')))
        return 2;
    return 0;
}

bool isTokenEnd(QChar c)
{
    return c.unicode() <= 32;
}

// One token from `pos` on; empty when the line is used up.
QString cutToken(const QString &line, qsizetype &pos)
{
    for (;;) {
        while (pos < line.size() && line[pos].unicode() >= 1 && line[pos].unicode() <= 32)
            ++pos;
        if (pos + 1 < line.size() && line[pos] == QLatin1Char('"') && line[pos + 1] == QLatin1Char('"'))
            pos += 2;
        else
            break;
    }
    QString token;
    bool quoted = false;
    while (pos < line.size() && (quoted || !isTokenEnd(line[pos]))) {
        if (line[pos] == QLatin1Char('"'))
            quoted = !quoted;
        else
            token += line[pos];
        ++pos;
    }
    return token;
}

}  // namespace

QString UpperCaseAscii(const QString &text)
{
    QString folded = text;
    for (QChar &c : folded)
        c = upperCaseAscii(c);
    return folded;
}

void TArgsParser::Add(const QString &arg)
{
    FArgs.append(arg);
}

const QString *TArgsParser::FirstMatch(const QString &switchName) const
{
    if (switchName.isEmpty())
        return nullptr;
    const QString name = UpperCaseAscii(switchName);
    const QString dashHead = QLatin1Char('-') + name;
    const QString slashHead = QLatin1Char('/') + name;
    const qsizetype headLength = dashHead.size();
    for (const QString &arg : FArgs) {
        const QString head = UpperCaseAscii(arg.left(headLength));
        if (head == dashHead || head == slashHead)
            return &arg;
    }
    return nullptr;
}

bool TArgsParser::Has(const QString &switchName) const
{
    return FirstMatch(switchName) != nullptr;
}

QString TArgsParser::Get(const QString &switchName) const
{
    const QString *arg = FirstMatch(switchName);
    if (!arg)
        return QString();
    QString rest = arg->mid(switchName.size() + 1);
    if (rest.startsWith(QLatin1Char(':')))
        rest.remove(0, 1);
    return rest;
}

std::optional<std::int32_t> StrToInt32(const QString &text)
{
    qsizetype pos = 0;
    while (pos < text.size() && text[pos] == QLatin1Char(' '))
        ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == QLatin1Char('+') || text[pos] == QLatin1Char('-'))) {
        negative = text[pos] == QLatin1Char('-');
        ++pos;
    }
    const qsizetype prefix = hexPrefixLength(text, pos);
    const int base = prefix > 0 ? 16 : 10;
    pos += prefix;
    if (pos >= text.size())
        return std::nullopt;

    // Magnitude up to 2^31 (the most negative value); anything larger fails.
    const std::int64_t limit = std::int64_t(std::numeric_limits<std::int32_t>::max()) + (negative ? 1 : 0);
    std::int64_t magnitude = 0;
    for (; pos < text.size(); ++pos) {
        const int digit = digitValue(text[pos], base);
        if (digit < 0)
            return std::nullopt;
        magnitude = magnitude * base + digit;
        if (magnitude > limit)
            return std::nullopt;
    }
    return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

QStringList CommandLineTokens(const QString &commandLine)
{
    QStringList tokens;
    qsizetype pos = 0;
    for (;;) {
        QString token = cutToken(commandLine, pos);
        if (token.isEmpty())
            return tokens;
        tokens.append(token);
    }
}

QStringList CommandLineArguments(const QString &commandLine)
{
    QStringList tokens = CommandLineTokens(commandLine);
    if (!tokens.isEmpty())
        tokens.removeFirst();
    return tokens;
}
