// check: one line per finding; exit 1 when any is a problem.
#include "app/jettool/Commands.h"

#include "jet/Checker.h"

namespace jettool {

int runCheck(const Options &options, std::ostream &out)
{
    const jet::CheckReport report = jet::checkFile(options.path, options.password);
    for (const jet::Finding &finding : report.findings)
        out << finding.format() << "\n";
    return report.clean() ? 0 : 1;
}

}  // namespace jettool
