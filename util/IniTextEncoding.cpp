#include "util/IniTextEncoding.h"

#include "platform/AnsiCodePage.h"

namespace {

const QByteArray kUtf8Mark("\xEF\xBB\xBF", 3);
const QByteArray kUtf16LEMark("\xFF\xFE", 2);
const QByteArray kUtf16BEMark("\xFE\xFF", 2);

// A trailing odd byte cannot form a code unit and is dropped. Unpaired
// surrogates are kept as they are, so they survive a save unchanged.
QString decodeUtf16(const QByteArray &bytes, qsizetype from, bool bigEndian)
{
    QString text;
    text.reserve((bytes.size() - from) / 2);
    for (qsizetype i = from; i + 1 < bytes.size(); i += 2) {
        const auto lo = static_cast<unsigned char>(bytes[bigEndian ? i + 1 : i]);
        const auto hi = static_cast<unsigned char>(bytes[bigEndian ? i : i + 1]);
        text.append(QChar(static_cast<char16_t>(lo | (hi << 8))));
    }
    return text;
}

QByteArray encodeUtf16(const QString &text, bool bigEndian)
{
    QByteArray bytes;
    bytes.reserve(text.size() * 2 + 2);
    bytes.append(bigEndian ? kUtf16BEMark : kUtf16LEMark);
    for (const QChar c : text) {
        const char lo = static_cast<char>(c.unicode() & 0xFF);
        const char hi = static_cast<char>(c.unicode() >> 8);
        bytes.append(bigEndian ? hi : lo);
        bytes.append(bigEndian ? lo : hi);
    }
    return bytes;
}

// Checks the sequence at `p` against Unicode's table of well-formed UTF-8
// byte sequences and gives its length.
bool checkSequence(const unsigned char *p, qsizetype left, qsizetype &length)
{
    const unsigned char b0 = p[0];
    unsigned char lo = 0x80, hi = 0xBF;
    if (b0 < 0x80) {
        length = 1;
        return true;
    }
    if (b0 >= 0xC2 && b0 <= 0xDF)
        length = 2;
    else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3;
        if (b0 == 0xE0)
            lo = 0xA0;  // no overlong forms
        else if (b0 == 0xED)
            hi = 0x9F;  // no surrogates
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4;
        if (b0 == 0xF0)
            lo = 0x90;
        else if (b0 == 0xF4)
            hi = 0x8F;  // nothing above U+10FFFF
    } else
        return false;
    if (left < length || p[1] < lo || p[1] > hi)
        return false;
    for (qsizetype i = 2; i < length; ++i) {
        if (p[i] < 0x80 || p[i] > 0xBF)
            return false;
    }
    return true;
}

}  // namespace

bool IsWellFormedUtf8(const QByteArray &bytes)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData());
    qsizetype left = bytes.size();
    while (left > 0) {
        qsizetype length = 0;
        if (!checkSequence(p, left, length))
            return false;
        p += length;
        left -= length;
    }
    return true;
}

TDecodedText DecodeIniBytes(const QByteArray &bytes, const QByteArray &ansiCodePage)
{
    if (bytes.startsWith(kUtf8Mark)) {
        const QByteArray body = bytes.mid(kUtf8Mark.size());
        return {TIniEncoding::Utf8, IsWellFormedUtf8(body) ? QString::fromUtf8(body) : QString()};
    }
    if (bytes.startsWith(kUtf16LEMark))
        return {TIniEncoding::Utf16LE, decodeUtf16(bytes, kUtf16LEMark.size(), false)};
    if (bytes.startsWith(kUtf16BEMark))
        return {TIniEncoding::Utf16BE, decodeUtf16(bytes, kUtf16BEMark.size(), true)};
    return {TIniEncoding::Ansi, AnsiToUnicode(bytes, ansiCodePage)};
}

QByteArray EncodeIniText(const QString &text, TIniEncoding encoding, const QByteArray &ansiCodePage)
{
    switch (encoding) {
    case TIniEncoding::Utf8:
        return kUtf8Mark + text.toUtf8();
    case TIniEncoding::Utf16LE:
        return encodeUtf16(text, false);
    case TIniEncoding::Utf16BE:
        return encodeUtf16(text, true);
    case TIniEncoding::Unset:
    case TIniEncoding::Ansi:
        break;
    }
    return UnicodeToAnsi(text, ansiCodePage);
}
