// The "ANSI code page" of the original design is, on Linux, the character
// set of the user's locale (LC_CTYPE). Files the program writes without a
// byte-order mark are in this encoding.
#pragma once

#include <QByteArray>
#include <QString>

// The locale's character set as iconv names it ("UTF-8", "CP932", ...).
// A Shift_JIS locale maps to "CP932", whose table matches Windows'.
QByteArray AnsiCodePageName();

// Fixes AnsiCodePageName to the character set in force now, for the rest of
// the process. The program's start calls it right after setlocale(LC_ALL, ""),
// before the application object exists: newer Qt versions switch LC_CTYPE to
// UTF-8 there, but the user's files, arguments and names stay as they are.
void KeepUserCharacterSet();

// Encodes text in the ANSI code page; each character it lacks becomes one "?".
QByteArray UnicodeToAnsi(const QString &text, const QByteArray &codePage = AnsiCodePageName());

// Decodes ANSI text; each invalid byte sequence becomes U+FFFD.
QString AnsiToUnicode(const QByteArray &bytes, const QByteArray &codePage = AnsiCodePageName());

// Text the system hands over as bytes: file names, process arguments, the
// lines of standard output and error. They are in the locale's character
// set, which Qt 6 takes for UTF-8 whatever the locale says; under EUC-JP or
// Shift_JIS these convert through the code page instead. Under UTF-8 and the
// plain C locale Qt's own conversion stays, so UTF-8 names keep working
// where no locale is set (cron).
QByteArray EncodeSystemText(const QString &text);
QString DecodeSystemText(const QByteArray &bytes);
