#include "platform/FileKind.h"

#include "platform/AnsiCodePage.h"

#include <sys/stat.h>

QString NonRegularFileKind(const QString &path)
{
    struct stat st {};
    if (path.isEmpty() || ::stat(EncodeSystemText(path).constData(), &st) != 0 || S_ISREG(st.st_mode))
        return QString();
    if (S_ISDIR(st.st_mode))
        return QStringLiteral("フォルダー");
    if (S_ISFIFO(st.st_mode))
        return QStringLiteral("名前付きパイプ (FIFO)");
    if (S_ISSOCK(st.st_mode))
        return QStringLiteral("ソケット");
    return QStringLiteral("デバイス");
}
