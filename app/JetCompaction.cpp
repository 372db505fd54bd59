#include "app/JetCompaction.h"

#include "app/ProjectFile.h"
#include "platform/Automation.h"
#include "platform/ConnectionString.h"
#include "platform/JetEngineObject.h"

// Paths and passwords go in verbatim unless they would change the meaning of
// the string (a ";", blanks at either end, a leading quote): a password such
// as "x;Data Source=/etc/passwd" must not redirect the target. Such values are
// quoted by the connection-string rules, which the engine object reads back.

QString MakeSourceConnectionString(const QString &sourceMdbPath, const QString &sourceMdbPassword)
{
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%1;Jet OLEDB:Database Password=%2")
        .arg(QuoteConnectionStringValue(sourceMdbPath), QuoteConnectionStringValue(sourceMdbPassword));
}

QString MakeTargetConnectionString(const QString &targetMdbPath, const QString &targetMdbPassword,
                                   std::int32_t engineType)
{
    CheckEngineType(engineType);
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%1;Jet OLEDB:Engine Type=%2;"
                          "Jet OLEDB:Database Password=%3")
        .arg(QuoteConnectionStringValue(targetMdbPath), QString::number(engineType),
             QuoteConnectionStringValue(targetMdbPassword));
}

void CompactJetDatabase(const QString &sourceMdbPath, const QString &sourceMdbPassword,
                        const QString &targetMdbPath, const QString &targetMdbPassword,
                        std::int32_t engineType)
{
    const AutomationObjectRef engine = CreateOleObject(QString::fromLatin1(JetEngineProgId));
    const QString target = MakeTargetConnectionString(targetMdbPath, targetMdbPassword, engineType);
    const QString source = MakeSourceConnectionString(sourceMdbPath, sourceMdbPassword);
    InvokeMethod(*engine, QStringLiteral("CompactDatabase"), {source, target});
}
