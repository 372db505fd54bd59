#include "app/ProjectFile.h"

#include "platform/Exceptions.h"

TProjectFile MakeProjectFile(const QString &sourceMdbPath, const QString &sourceMdbPassword,
                             const QString &targetMdbPath, const QString &targetMdbPassword,
                             std::int32_t engineType, bool optionAutoExit, bool autoStart)
{
    return TProjectFile{sourceMdbPath, sourceMdbPassword, targetMdbPath, targetMdbPassword,
                        engineType,    optionAutoExit,    autoStart};
}

TProjectFile DefaultProjectFile()
{
    return MakeProjectFile(QString(), QString(), QString(), QString(), DefaultEngineType, false, false);
}

void CheckEngineType(std::int32_t engineType)
{
    if (engineType != 4 && engineType != 5)
        throw EArgumentException(QStringLiteral("EngineTypeが不正な値です。"));
}

std::int32_t EngineTypeFromListIndex(int index)
{
    return index == 1 ? 5 : 4;
}

int ListIndexFromEngineType(std::int32_t engineType)
{
    CheckEngineType(engineType);
    return engineType - 4;
}
