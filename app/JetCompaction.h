// The one call that does the program's work: the engine object registered
// under "JRO.JetEngine" compacts the source into the target.
#pragma once

#include <QString>

#include <cstdint>

// "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=<path>;Jet OLEDB:Database Password=<password>"
QString MakeSourceConnectionString(const QString &sourceMdbPath, const QString &sourceMdbPassword);

// "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=<path>;Jet OLEDB:Engine Type=<type>;
// Jet OLEDB:Database Password=<password>". Checks the engine type first
// (EArgumentException "EngineTypeが不正な値です。").
QString MakeTargetConnectionString(const QString &targetMdbPath, const QString &targetMdbPassword,
                                   std::int32_t engineType);

// Creates the engine object, builds the target and then the source string,
// calls CompactDatabase(source, target) and releases the object on every
// path. Returns only when the engine has written the compacted copy; every
// failure is an exception whose message is meant for the user.
void CompactJetDatabase(const QString &sourceMdbPath, const QString &sourceMdbPassword,
                        const QString &targetMdbPath, const QString &targetMdbPassword,
                        std::int32_t engineType);
