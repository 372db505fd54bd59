#include "platform/AppPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {

bool hasHelp(const QString &dataDir)
{
    return QFileInfo(dataDir + QStringLiteral("/help")).isDir();
}

}  // namespace

QString AppDataDirFor(const QString &executableDir)
{
    const QString installed = QDir::cleanPath(executableDir + QStringLiteral("/../share/tessivar"));
    const QString portable = QDir::cleanPath(executableDir);
    if (hasHelp(installed))
        return installed;
    if (hasHelp(portable))
        return portable;
    return installed;
}

QString AppDataDir()
{
    return AppDataDirFor(QCoreApplication::applicationDirPath());
}

QString AppHelpFile()
{
    return AppDataDir() + QStringLiteral("/help/index.html");
}

QString AppTranslationsDir()
{
    return AppDataDir() + QStringLiteral("/translations");
}
