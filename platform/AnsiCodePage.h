// The "ANSI code page" of the original design is, on Linux, the character
// set of the user's locale (LC_CTYPE). Files the program writes without a
// byte-order mark are in this encoding.
#pragma once

#include <QByteArray>
#include <QString>

// The locale's character set as iconv names it ("UTF-8", "CP932", ...).
// A Shift_JIS locale maps to "CP932", whose table matches Windows'.
QByteArray AnsiCodePageName();

// Encodes text in the ANSI code page; each character it lacks becomes one "?".
QByteArray UnicodeToAnsi(const QString &text, const QByteArray &codePage = AnsiCodePageName());

// Decodes ANSI text; each invalid byte sequence becomes U+FFFD.
QString AnsiToUnicode(const QByteArray &bytes, const QByteArray &codePage = AnsiCodePageName());
