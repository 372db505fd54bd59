// How a settings file's bytes become text and back: a byte-order mark picks
// UTF-8 or UTF-16; anything else is the ANSI code page (the locale's).
#pragma once

#include <QByteArray>
#include <QString>

enum class TIniEncoding {
    Unset,  // the file did not exist; saved like Ansi
    Ansi,
    Utf8,
    Utf16LE,
    Utf16BE,
};

struct TDecodedText {
    TIniEncoding encoding = TIniEncoding::Unset;
    QString text;
};

// Chooses the encoding by the mark, skips the mark and decodes the rest.
// UTF-8 after its mark is decoded strictly: any ill-formed sequence gives an
// empty text. ANSI text never fails (invalid bytes become U+FFFD).
TDecodedText DecodeIniBytes(const QByteArray &bytes, const QByteArray &ansiCodePage);

// The bytes of a whole file: UTF-8 and UTF-16 with their mark first, Ansi and
// Unset without a mark (characters the code page lacks become "?").
QByteArray EncodeIniText(const QString &text, TIniEncoding encoding, const QByteArray &ansiCodePage);

// True when the bytes are well-formed UTF-8 (no overlong forms, no encoded
// surrogates, nothing above U+10FFFF, no truncated sequence).
bool IsWellFormedUtf8(const QByteArray &bytes);
