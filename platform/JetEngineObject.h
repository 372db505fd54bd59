// The engine object registered under the ProgID "JRO.JetEngine". Its one
// method, CompactDatabase(source, target), reads the two OLE DB connection
// strings and hands the job to the native Jet engine.
#pragma once

#include "platform/Automation.h"

#include "jet/Compact.h"

inline constexpr char JetEngineProgId[] = "JRO.JetEngine";
inline constexpr char JetOleDbProvider[] = "Microsoft.Jet.OLEDB.4.0";
// Source name carried by the errors the engine object reports.
inline constexpr char JetEngineErrorSource[] = "JRO.JetEngine";

AutomationObjectRef CreateJetEngineObject();

// What the two connection strings ask of the engine: paths, passwords and
// engine type (progress is left empty). Keywords are matched without regard
// to letter case and unknown ones are ignored; the target's
// "Jet OLEDB:Engine Type" defaults to 5. Throws EOleException with a
// Japanese description when a string is malformed, names no or another
// provider, has no data source, or asks for an engine type other than 4 or 5.
jet::CompactRequest CompactRequestFromConnectionStrings(const QString &source, const QString &target);
