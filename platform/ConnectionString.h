// OLE DB connection strings: "keyword=value" pairs separated by ";".
// Values that would otherwise change the string's meaning (a ";", blanks at
// either end, a leading quote) are enclosed in double quotes, with every
// double quote inside doubled; all other values stand verbatim.
#pragma once

#include <QList>
#include <QString>

#include <optional>

// The value as it must stand after "keyword=" so that it reads back unchanged.
QString QuoteConnectionStringValue(const QString &value);

struct ConnectionStringPair {
    QString keyword;  // up to the first "=", blanks at either end removed
    QString value;    // unquoted; blanks at either end of an unquoted value removed
};

// The pairs in order of appearance. Throws EArgumentException naming the
// fault when a quoted value is not closed or is followed by anything but
// blanks before the next ";", or when a pair has no "=".
QList<ConnectionStringPair> ParseConnectionString(const QString &text);

// The value of the last pair with this keyword (ASCII letter case ignored),
// or nothing when the keyword is absent.
std::optional<QString> ConnectionStringValue(const QList<ConnectionStringPair> &pairs,
                                             const QString &keyword);
