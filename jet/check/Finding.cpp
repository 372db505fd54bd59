#include "jet/check/Finding.h"

#include <algorithm>

namespace jet {

namespace {

const char *severityName(Finding::Severity severity)
{
    switch (severity) {
    case Finding::Severity::Problem: return "problem";
    case Finding::Severity::Note: return "note";
    case Finding::Severity::Unsupported: return "unsupported";
    }
    return "problem";
}

}  // namespace

std::string Finding::format() const
{
    std::string line = severityName(severity);
    line += "\t" + (table.empty() ? std::string("-") : table);
    line += "\t" + (page ? "page " + std::to_string(*page) : std::string("-"));
    line += "\t" + (offset ? "offset " + std::to_string(*offset) : std::string("-"));
    line += "\t" + message;
    return line;
}

std::size_t CheckReport::count(Finding::Severity severity) const
{
    return static_cast<std::size_t>(std::count_if(findings.begin(), findings.end(),
                                                  [&](const Finding &f) { return f.severity == severity; }));
}

}  // namespace jet
