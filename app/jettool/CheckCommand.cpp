// check: one line per finding, or one JSON object per file. Exit 0 when every
// file is clean, 1 when one has problems, 2 when one could not be read.
#include "app/jettool/Commands.h"
#include "app/jettool/Json.h"

#include "jet/Error.h"
#include "jet/check/Checker.h"

#include <algorithm>

namespace jettool {

namespace {

const char *severityName(jet::Finding::Severity severity)
{
    switch (severity) {
    case jet::Finding::Severity::Problem: return "problem";
    case jet::Finding::Severity::Note: return "note";
    case jet::Finding::Severity::Unsupported: return "unsupported";
    }
    return "problem";
}

std::string optionalNumber(const auto &value) { return value ? std::to_string(*value) : std::string("null"); }

void printJson(const std::string &path, const jet::CheckReport &report, std::ostream &out)
{
    out << "{\"file\":" << jsonString(path) << ",\"clean\":" << (report.clean() ? "true" : "false")
        << ",\"problems\":" << report.count(jet::Finding::Severity::Problem) << ",\"tables\":" << report.tables
        << ",\"rows\":" << report.rows << ",\"indexEntries\":" << report.indexEntries << ",\"findings\":[";
    for (std::size_t i = 0; i < report.findings.size(); ++i) {
        const jet::Finding &finding = report.findings[i];
        out << (i ? "," : "") << "{\"severity\":\"" << severityName(finding.severity) << "\",\"table\":"
            << (finding.table.empty() ? std::string("null") : jsonString(finding.table))
            << ",\"page\":" << optionalNumber(finding.page) << ",\"offset\":" << optionalNumber(finding.offset)
            << ",\"message\":" << jsonString(finding.message) << "}";
    }
    out << "]}\n";
}

}  // namespace

int runCheck(const Options &options, std::ostream &out, std::ostream &err)
{
    int status = kExitOk;
    for (const std::string &path : options.files) {
        try {
            const jet::CheckReport report = jet::checkFile(path, options.password.value_or(std::string()));
            if (!report.clean())
                status = std::max(status, kExitProblems);
            if (options.json) {
                printJson(path, report, out);
                continue;
            }
            for (const jet::Finding &finding : report.findings)
                out << (options.files.size() > 1 ? path + "\t" : std::string()) << finding.format() << "\n";
        } catch (const jet::Error &error) {
            reportUnreadableFile(path, error.what(), options.json, out, err);
            status = kExitUnusable;
        }
    }
    return status;
}

}  // namespace jettool
