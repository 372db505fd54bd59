#include "platform/ConnectionString.h"

#include "platform/Exceptions.h"

namespace {

// Blanks around keywords and plain values are not part of them.
bool isBlank(QChar c)
{
    return c.isSpace();
}

bool isQuote(QChar c)
{
    return c == QLatin1Char('"') || c == QLatin1Char('\'');
}

bool needsQuoting(const QString &value)
{
    if (value.isEmpty())
        return false;
    return value.contains(QLatin1Char(';')) || isBlank(value.front()) || isBlank(value.back()) ||
           isQuote(value.front());
}

[[noreturn]] void malformed(const QString &what)
{
    throw EArgumentException(QStringLiteral("接続文字列が正しくありません: %1").arg(what));
}

QString foldAscii(const QString &text)
{
    QString folded = text;
    for (QChar &c : folded) {
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - 'a' + 'A');
    }
    return folded;
}

// Reads from `pos` up to the first "=". None of the keywords we know holds
// an "=", so the first one always ends the keyword and a value may begin
// with "=" without quoting.
QString readKeyword(const QString &text, qsizetype &pos)
{
    const qsizetype equals = text.indexOf(QLatin1Char('='), pos);
    const qsizetype semicolon = text.indexOf(QLatin1Char(';'), pos);
    if (equals < 0 || (semicolon >= 0 && semicolon < equals)) {
        const qsizetype end = semicolon < 0 ? text.size() : semicolon;
        malformed(QStringLiteral("「=」のない項目 \"%1\" があります").arg(text.mid(pos, end - pos).trimmed()));
    }
    const QString keyword = text.mid(pos, equals - pos).trimmed();
    pos = equals + 1;
    return keyword;
}

// A quoted value: the quote doubled inside stands for itself; after the
// closing quote only blanks may come before the ";" or the end.
QString readQuotedValue(const QString &text, qsizetype &pos, const QString &keyword)
{
    const QChar quote = text[pos++];
    QString value;
    for (;;) {
        if (pos >= text.size())
            malformed(QStringLiteral("\"%1\" の値の引用符が閉じていません").arg(keyword));
        const QChar c = text[pos++];
        if (c != quote) {
            value += c;
            continue;
        }
        if (pos < text.size() && text[pos] == quote) {
            value += quote;
            ++pos;
            continue;
        }
        break;
    }
    while (pos < text.size() && isBlank(text[pos]))
        ++pos;
    if (pos < text.size() && text[pos] != QLatin1Char(';'))
        malformed(QStringLiteral("\"%1\" の値の引用符の後に文字があります").arg(keyword));
    ++pos;
    return value;
}

QString readPlainValue(const QString &text, qsizetype &pos)
{
    const qsizetype end = text.indexOf(QLatin1Char(';'), pos);
    const qsizetype stop = end < 0 ? text.size() : end;
    const QString value = text.mid(pos, stop - pos).trimmed();
    pos = stop + 1;
    return value;
}

}  // namespace

QString QuoteConnectionStringValue(const QString &value)
{
    if (!needsQuoting(value))
        return value;
    QString quoted = value;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QList<ConnectionStringPair> ParseConnectionString(const QString &text)
{
    QList<ConnectionStringPair> pairs;
    qsizetype pos = 0;
    while (pos < text.size()) {
        while (pos < text.size() && (isBlank(text[pos]) || text[pos] == QLatin1Char(';')))
            ++pos;
        if (pos >= text.size())
            break;
        ConnectionStringPair pair;
        pair.keyword = readKeyword(text, pos);
        while (pos < text.size() && isBlank(text[pos]))
            ++pos;
        if (pos < text.size() && isQuote(text[pos]))
            pair.value = readQuotedValue(text, pos, pair.keyword);
        else
            pair.value = readPlainValue(text, pos);
        pairs.append(pair);
    }
    return pairs;
}

std::optional<QString> ConnectionStringValue(const QList<ConnectionStringPair> &pairs,
                                             const QString &keyword)
{
    const QString wanted = foldAscii(keyword);
    std::optional<QString> found;
    for (const ConnectionStringPair &pair : pairs) {
        if (foldAscii(pair.keyword) == wanted)
            found = pair.value;
    }
    return found;
}
