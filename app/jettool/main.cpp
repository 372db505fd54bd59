// tessivar-jet: inspect, check and compact Jet databases from the command
// line (no Qt). `tessivar-jet --help` lists the subcommands.
#include "app/jettool/Arguments.h"
#include "app/jettool/Commands.h"

#include "jet/Error.h"
#include "platform/ProcessSignals.h"

#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

namespace {

const char *environmentVariable(const char *name) { return std::getenv(name); }

int dispatch(const jettool::Invocation &invocation)
{
    const std::string &command = invocation.command;
    if (command == "info")
        return jettool::runInfo(invocation.options, std::cout, std::cerr);
    if (command == "check")
        return jettool::runCheck(invocation.options, std::cout, std::cerr);
    if (command == "compact")
        return jettool::runCompact(invocation.options, std::cout, std::cerr);
    return jettool::runDump(invocation.options, std::cout);
}

}  // namespace

int main(int argc, char **argv)
{
    // Only a compaction has anything to clean up; SIGPIPE keeps its default
    // so that "dump | head" stops reading as soon as head has enough.
    InstallInterruptHandlers(InterruptScope::WhileCompacting);
    jettool::Invocation invocation;
    try {
        invocation = jettool::parseArguments(std::vector<std::string>(argv + 1, argv + argc), &environmentVariable);
    } catch (const jettool::UsageError &error) {
        std::cerr << "tessivar-jet: " << error.reason << "\n" << jettool::usageText();
        return jettool::kExitUnusable;
    }
    if (invocation.kind == jettool::Invocation::Kind::Help) {
        std::cout << jettool::usageText();
        return jettool::kExitOk;
    }
    if (invocation.kind == jettool::Invocation::Kind::Version) {
        std::cout << "tessivar-jet " TESSIVAR_VERSION "\n";
        return jettool::kExitOk;
    }
    try {
        return dispatch(invocation);
    } catch (const jet::Error &error) {
        std::cerr << "tessivar-jet: " << error.what() << "\n";
        return jettool::kExitUnusable;
    }
}
