// tessivar-jet: inspect and check Jet databases from the command line.
//   tessivar-jet info FILE [--password PW]
//   tessivar-jet check FILE [--password PW]
//   tessivar-jet dump FILE [--password PW] [--system]
#include "app/jettool/Commands.h"

#include "jet/Error.h"
#include "platform/ProcessSignals.h"

#include <cstring>
#include <iostream>
#include <string>

namespace {

int usage()
{
    std::cerr << "使い方: tessivar-jet info|check|dump FILE [--password PW] [--system]\n";
    return 2;
}

}  // namespace

int main(int argc, char **argv)
{
    // Only a compaction has anything to clean up; SIGPIPE keeps its default
    // so that "dump | head" stops reading as soon as head has enough.
    InstallInterruptHandlers(InterruptScope::WhileCompacting);
    if (argc < 3)
        return usage();
    jettool::Options options;
    const std::string command = argv[1];
    options.path = argv[2];
    for (int i = 3; i < argc; ++i) {
        if (std::strcmp(argv[i], "--password") == 0 && i + 1 < argc)
            options.password = argv[++i];
        else if (std::strcmp(argv[i], "--system") == 0)
            options.includeSystemTables = true;
        else
            return usage();
    }
    try {
        if (command == "info")
            return jettool::runInfo(options, std::cout);
        if (command == "check")
            return jettool::runCheck(options, std::cout);
        if (command == "dump")
            return jettool::runDump(options, std::cout);
    } catch (const jet::Error &error) {
        std::cerr << "tessivar-jet: " << error.what() << "\n";
        return 2;
    }
    return usage();
}
