// The engine object registered under the ProgID "JRO.JetEngine". Its one
// method, CompactDatabase(source, target), reads the two OLE DB connection
// strings and hands the job to the native Jet engine.
#pragma once

#include "platform/Automation.h"

#include "jet/Compact.h"

#include <functional>

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

// What a CompactDatabase call that succeeded did: the two paths, the engine's
// figures and the time it took. JRO's method returns nothing, so a caller
// that wants the figures (a headless run's summary line) sets a sink for the
// duration of the call, per thread like the progress sink.
struct CompactionReport {
    QString SourcePath;
    QString TargetPath;
    jet::CompactResult Result;
    double Seconds = 0;
};
using CompactionReportSink = std::function<void(const CompactionReport &)>;

class ScopedCompactionReport {
public:
    explicit ScopedCompactionReport(CompactionReportSink sink);
    ~ScopedCompactionReport();
    ScopedCompactionReport(const ScopedCompactionReport &) = delete;
    ScopedCompactionReport &operator=(const ScopedCompactionReport &) = delete;

private:
    CompactionReportSink FPrevious;
};

// The sink currently in force (may be empty); a caller that sets its own
// passes the report on to the one it replaced.
const CompactionReportSink &CurrentCompactionReport();
