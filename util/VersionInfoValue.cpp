#include "util/VersionInfoValue.h"

#include "platform/Exceptions.h"
#include "platform/VersionInfo.h"

#include <QCoreApplication>

namespace {

QString &VersionInfoFileOverride()
{
    static QString fileName;
    return fileName;
}

QString FourHexDigits(std::uint16_t value)
{
    return QStringLiteral("%1").arg(value, 4, 16, QLatin1Char('0')).toUpper();
}

// The path of a string value: "\StringFileInfo\%0.4s%0.4s\" and the key.
QString StringValuePath(const QString &language, const QString &codePage, const char *key)
{
    return QStringLiteral("\\StringFileInfo\\%1%2\\").arg(language.left(4), codePage.left(4))
           + QLatin1StringView(key);
}

// The text of a value `length` characters long, cut at its first NUL.
QString TextOf(QByteArrayView value, std::uint32_t length)
{
    const qsizetype characters = std::min<qsizetype>(length, value.size() / 2);
    const auto *text = reinterpret_cast<const char16_t *>(value.data());
    QString result = QString::fromUtf16(text, characters);
    const qsizetype nul = result.indexOf(QChar(u'\0'));
    return nul < 0 ? result : result.left(nul);
}

}  // namespace

QString GetVersionInfoValue(std::uint8_t keyIndex)
{
    const QString &file = VersionInfoFileOverride();
    return GetVersionInfoValue(file.isEmpty() ? QCoreApplication::applicationFilePath() : file, keyIndex);
}

void SetVersionInfoFile(const QString &fileName)
{
    VersionInfoFileOverride() = fileName;
}

QString GetVersionInfoValue(const QString &fileName, std::uint8_t keyIndex)
{
    const std::uint32_t size = GetFileVersionInfoSizeW(fileName);
    if (size == 0 || keyIndex >= VersionInfoKeys.size())
        return QString();
    QByteArray block;
    if (!GetFileVersionInfoW(fileName, size, block))
        return QString();
    QByteArrayView value;
    std::uint32_t length = 0;
    VerQueryValueW(block, QStringLiteral("\\VarFileInfo\\Translation"), value, length);
    if (length == 0 || value.size() < 4)
        throw Exception(QStringLiteral("情報の取得に失敗しました"));
    const auto byte = [&value](int i) { return std::uint16_t(std::uint8_t(value[i])); };
    const std::uint16_t language = std::uint16_t(byte(0) | byte(1) << 8);
    const std::uint16_t codePage = std::uint16_t(byte(2) | byte(3) << 8);
    const QString path = StringValuePath(FourHexDigits(language), FourHexDigits(codePage), VersionInfoKeys[keyIndex]);
    if (!VerQueryValueW(block, path, value, length) || length == 0)
        return QString();
    return TextOf(value, length);
}
