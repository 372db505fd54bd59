// The three subcommands of tessivar-jet. Each writes to `out` and returns the
// process exit status.
#pragma once

#include <ostream>
#include <string>

namespace jettool {

struct Options {
    std::string path;
    std::string password;
    bool includeSystemTables = false;  // dump: system tables too
};

int runInfo(const Options &options, std::ostream &out);
int runCheck(const Options &options, std::ostream &out);
int runDump(const Options &options, std::ostream &out);

}  // namespace jettool
