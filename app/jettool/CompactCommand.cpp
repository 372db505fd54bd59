// compact: each file in turn, in place or to NAME-compact.mdb beside it. A
// file that fails (in use, damaged, wrong password) is reported and the next
// one is taken; the exit status says whether any failed.
#include "app/jettool/Commands.h"
#include "app/jettool/CompactReport.h"
#include "app/jettool/InPlace.h"

#include "jet/Error.h"
#include "jet/PageFile.h"

#include <chrono>
#include <cstdio>
#include <unistd.h>

namespace jettool {

namespace {

// "sales.mdb" -> "sales-compact.mdb"; the extension is kept as it is written.
std::string besideTarget(const std::string &path)
{
    const auto slash = path.find_last_of('/');
    const auto dot = path.find_last_of('.');
    const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
    return hasExtension ? path.substr(0, dot) + "-compact" + path.substr(dot) : path + "-compact.mdb";
}

// The copy keeps the source's format and password unless asked otherwise: a
// database replaced in place must not lose its password by omission.
jet::CompactRequest requestFor(const std::string &path, const Options &options)
{
    jet::CompactRequest request;
    request.sourcePassword = options.password.value_or(std::string());
    request.targetPassword = options.targetPassword.value_or(request.sourcePassword);
    if (options.engineType) {
        request.engineType = *options.engineType;
    } else {
        const auto file = jet::PageFile::openWithoutPassword(path);
        request.engineType = file->version() == jet::JetVersion::Jet3 ? 4 : 5;
    }
    return request;
}

// A line on the terminal that the next one overwrites; nothing when the
// output goes to a file or a mail.
std::function<void(int)> terminalProgress(const std::string &path)
{
    if (!::isatty(STDERR_FILENO))
        return {};
    return [path](int percent) {
        std::fprintf(stderr, "\r%s: %d%%\033[K", path.c_str(), percent);
        std::fflush(stderr);
    };
}

void clearProgressLine()
{
    if (::isatty(STDERR_FILENO))
        std::fputs("\r\033[K", stderr);
}

CompactOutcome compactOne(const std::string &path, const Options &options)
{
    CompactOutcome outcome;
    outcome.file = path;
    const auto start = std::chrono::steady_clock::now();
    try {
        jet::CompactRequest request = requestFor(path, options);
        request.progress = terminalProgress(path);
        if (options.inPlace) {
            outcome.target = path;
            InPlaceOutcome done = compactInPlace(path, std::move(request), options.backupSuffix);
            outcome.result = done.result;
            outcome.backup = done.backupPath;
        } else {
            outcome.target = besideTarget(path);
            request.sourcePath = path;
            request.targetPath = outcome.target;
            outcome.result = jet::compactDatabase(request);
        }
    } catch (const jet::Error &error) {
        outcome.error = error.what();
    }
    clearProgressLine();
    outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return outcome;
}

}  // namespace

int runCompact(const Options &options, std::ostream &out, std::ostream &err)
{
    std::size_t failed = 0;
    std::uint64_t before = 0;
    std::uint64_t after = 0;
    for (const std::string &path : options.files) {
        const CompactOutcome outcome = compactOne(path, options);
        if (options.json)
            printCompactJson(outcome, out);
        else
            printCompactLine(outcome, out, err);
        out.flush();
        if (outcome.error) {
            ++failed;
            continue;
        }
        before += outcome.result.sourceBytes;
        after += outcome.result.targetBytes;
    }
    if (!options.json)
        printCompactTotal(options.files.size() - failed, failed, before, after, out);
    return failed ? kExitProblems : kExitOk;
}

}  // namespace jettool
