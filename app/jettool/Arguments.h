// The command line of tessivar-jet: a subcommand, its files and options.
// Passwords may come from the environment instead of the command line, where
// every user of the machine could read them in `ps`.
#pragma once

#include "app/jettool/Commands.h"

#include <string>
#include <vector>

namespace jettool {

struct Invocation {
    enum class Kind { Command, Help, Version };
    Kind kind = Kind::Command;
    std::string command;  // info, check, dump, compact
    Options options;
};

// Throws UsageError with the reason for a command line it cannot take.
struct UsageError {
    std::string reason;
};

// `environment` looks up a variable (nullptr when unset).
Invocation parseArguments(const std::vector<std::string> &args, const char *(*environment)(const char *name));

// The usage text that --help prints.
std::string usageText();

}  // namespace jettool
