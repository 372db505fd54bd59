#include "platform/Exceptions.h"

#include "platform/FileSystem.h"

Exception::Exception(const QString &message) : FMessage(message), FUtf8(message.toUtf8()) {}

EFOpenError EFOpenError::ForFile(const QString &fileName, int errorCode)
{
    return EFOpenError(QStringLiteral("ファイル %1 は開けません。 %2 ")
                           .arg(ExpandFileName(fileName), SysErrorMessage(errorCode)));
}

EFCreateError EFCreateError::ForFile(const QString &fileName, int errorCode)
{
    return EFCreateError(QStringLiteral("ファイル \"%1\" を作成できません。%2")
                             .arg(ExpandFileName(fileName), SysErrorMessage(errorCode)));
}
