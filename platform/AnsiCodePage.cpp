#include "platform/AnsiCodePage.h"

#include <QFile>
#include <QVector>

#include <cerrno>
#include <optional>
#include <string>
#include <iconv.h>
#include <langinfo.h>

namespace {

class Iconv {
public:
    Iconv(const char *to, const char *from) : FHandle(::iconv_open(to, from)) {}
    ~Iconv()
    {
        if (valid())
            ::iconv_close(FHandle);
    }
    Iconv(const Iconv &) = delete;
    Iconv &operator=(const Iconv &) = delete;
    bool valid() const { return FHandle != reinterpret_cast<iconv_t>(-1); }

    // Converts as much as possible; returns false with errno set at the first
    // sequence that cannot be converted, leaving `in` pointing at it.
    bool convert(const char *&in, size_t &inLeft, QByteArray &out)
    {
        char buffer[4096];
        while (inLeft > 0) {
            char *dst = buffer;
            size_t dstLeft = sizeof buffer;
            char *src = const_cast<char *>(in);
            const size_t rc = ::iconv(FHandle, &src, &inLeft, &dst, &dstLeft);
            const int error = errno;
            in = src;
            out.append(buffer, static_cast<qsizetype>(dst - buffer));
            if (rc == static_cast<size_t>(-1) && error != E2BIG) {
                errno = error;
                return false;
            }
        }
        return true;
    }

private:
    iconv_t FHandle;
};

QByteArray toUtf32(const QString &text)
{
    QByteArray bytes;
    const QVector<uint> codePoints = text.toUcs4();
    bytes.reserve(codePoints.size() * 4);
    for (uint cp : codePoints) {
        for (int i = 0; i < 4; ++i)
            bytes.append(static_cast<char>((cp >> (8 * i)) & 0xFF));
    }
    return bytes;
}

std::optional<QByteArray> &keptCharacterSet()
{
    static std::optional<QByteArray> name;
    return name;
}

}  // namespace

void KeepUserCharacterSet()
{
    keptCharacterSet() = QByteArray(::nl_langinfo(CODESET));
}

QByteArray AnsiCodePageName()
{
    QByteArray name = keptCharacterSet().value_or(QByteArray(::nl_langinfo(CODESET))).toUpper();
    if (name == "SHIFT_JIS" || name == "SJIS" || name == "SHIFT-JIS" || name == "WINDOWS-31J")
        return "CP932";
    if (name.isEmpty())
        return "ANSI_X3.4-1968";
    return name;
}

QByteArray UnicodeToAnsi(const QString &text, const QByteArray &codePage)
{
    Iconv cd(codePage.constData(), "UTF-32LE");
    if (!cd.valid())
        return text.toLatin1();
    const QByteArray utf32 = toUtf32(text);
    const char *in = utf32.constData();
    size_t inLeft = static_cast<size_t>(utf32.size());
    QByteArray out;
    while (!cd.convert(in, inLeft, out)) {
        // One "?" per character the code page lacks, as Windows does.
        out.append('?');
        in += 4;
        inLeft -= 4;
    }
    return out;
}

QString AnsiToUnicode(const QByteArray &bytes, const QByteArray &codePage)
{
    Iconv cd("UTF-32LE", codePage.constData());
    if (!cd.valid())
        return QString::fromLatin1(bytes);
    const char *in = bytes.constData();
    size_t inLeft = static_cast<size_t>(bytes.size());
    QByteArray utf32;
    while (!cd.convert(in, inLeft, utf32)) {
        utf32.append("\xFD\xFF\x00\x00", 4);
        ++in;
        --inLeft;
    }
    // One conversion for the whole text: appending character by character
    // made large files crawl.
    std::u32string codePoints;
    codePoints.reserve(static_cast<size_t>(utf32.size() / 4));
    for (qsizetype i = 0; i + 3 < utf32.size(); i += 4) {
        const auto *p = reinterpret_cast<const unsigned char *>(utf32.constData() + i);
        codePoints.push_back(p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<char32_t>(p[3]) << 24));
    }
    return QString::fromUcs4(codePoints.data(), static_cast<qsizetype>(codePoints.size()));
}

namespace {

// Under the plain C locale (cron, a bare ssh) Qt's UTF-8 stays: names there
// are UTF-8 in practice, and ASCII would turn every other character into "?".
bool systemTextIsUtf8()
{
    const QByteArray codePage = AnsiCodePageName();
    return codePage == "UTF-8" || codePage == "ANSI_X3.4-1968";
}

}  // namespace

QByteArray EncodeSystemText(const QString &text)
{
    return systemTextIsUtf8() ? QFile::encodeName(text) : UnicodeToAnsi(text);
}

QString DecodeSystemText(const QByteArray &bytes)
{
    return systemTextIsUtf8() ? QFile::decodeName(bytes) : AnsiToUnicode(bytes);
}
