// The subcommands of tessivar-jet. Each writes to `out` (and its complaints
// to `err`) and returns the process exit status.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace jettool {

struct Options {
    std::vector<std::string> files;        // dump takes exactly one
    std::optional<std::string> password;   // --password, else TESSIVAR_PASSWORD
    std::optional<std::string> targetPassword;  // --target-password, else TESSIVAR_TARGET_PASSWORD
    std::optional<int> engineType;         // compact --format: 4 = jet3, 5 = jet4
    bool inPlace = false;                  // compact
    std::optional<std::string> backupSuffix;  // compact --in-place --backup
    bool json = false;                     // info, check, compact
    bool includeSystemTables = false;      // dump: system tables too
};

// Exit statuses shared by the subcommands.
inline constexpr int kExitOk = 0;
inline constexpr int kExitProblems = 1;  // check: problems found; compact: a file failed
inline constexpr int kExitUnusable = 2;  // a usage error, or a file that cannot be read

int runInfo(const Options &options, std::ostream &out, std::ostream &err);
int runCheck(const Options &options, std::ostream &out, std::ostream &err);
int runDump(const Options &options, std::ostream &out);
int runCompact(const Options &options, std::ostream &out, std::ostream &err);

}  // namespace jettool
