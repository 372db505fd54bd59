#include "app/CommandLineJob.h"

#include "util/StringUtility.h"

#include <QCoreApplication>

#include <optional>

std::int32_t EngineTypeFromSwitch(const QString &value)
{
    const std::optional<std::int32_t> number = StrToInt32(value);
    if (number == 4 || number == 5)
        return *number;
    return DefaultEngineType;
}

TProjectFile ArgsToProjectFile(const QStringList &args)
{
    TArgsParser parser;
    for (const QString &arg : args)
        parser.Add(arg);
    const QString sourceMdbPath = parser.Get(QStringLiteral("sf"));
    const QString sourceMdbPassword = parser.Get(QStringLiteral("sp"));
    const QString targetMdbPath = parser.Get(QStringLiteral("tf"));
    const QString targetMdbPassword = parser.Get(QStringLiteral("tp"));
    const std::int32_t engineType = EngineTypeFromSwitch(parser.Get(QStringLiteral("et")));
    const bool optionAutoExit = parser.Has(QStringLiteral("oe"));
    const bool autoStart = parser.Has(QStringLiteral("as"));
    return MakeProjectFile(sourceMdbPath, sourceMdbPassword, targetMdbPath, targetMdbPassword, engineType,
                           optionAutoExit, autoStart);
}

namespace {

std::optional<QStringList> &recordedArguments()
{
    static std::optional<QStringList> args;
    return args;
}

}  // namespace

QStringList ProcessArguments()
{
    if (recordedArguments())
        return *recordedArguments();
    return QCoreApplication::arguments().mid(1);
}

void SetProcessArguments(const QStringList &args)
{
    recordedArguments() = args;
}
