// compact: each file in turn, in place or to NAME-compact.mdb beside it. A
// file that fails (in use, damaged, wrong password) is reported and the next
// one is taken; the exit status says whether any failed.
#include "app/jettool/Commands.h"
#include "app/jettool/InPlace.h"
#include "app/jettool/Json.h"

#include "app/ByteSize.h"

#include "jet/Error.h"
#include "jet/PageFile.h"

#include <chrono>
#include <cstdio>
#include <unistd.h>

namespace jettool {

namespace {

struct FileOutcome {
    std::string file;
    std::string target;  // where the copy went (the file itself when in place)
    std::optional<std::string> backup;
    std::optional<std::string> error;
    jet::CompactResult result;
    double seconds = 0;
};

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

FileOutcome compactOne(const std::string &path, const Options &options)
{
    FileOutcome outcome;
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

std::string percentText(std::uint64_t before, std::uint64_t after)
{
    char text[32];
    const double percent = PercentSaved(before, after);
    std::snprintf(text, sizeof text, percent < 0 ? "%.1f%% 増加" : "%.1f%% 削減", percent < 0 ? -percent : percent);
    return text;
}

std::string sizesText(std::uint64_t before, std::uint64_t after)
{
    return std::to_string(before) + " -> " + std::to_string(after) + " バイト (" + ReadableByteSize(before) + " -> " +
           ReadableByteSize(after) + ", " + percentText(before, after) + ")";
}

void printLine(const FileOutcome &outcome, std::ostream &out, std::ostream &err)
{
    if (outcome.error) {
        out << "失敗: " << outcome.file << ": " << *outcome.error << "\n";
        err << "tessivar-jet: " << *outcome.error << "\n";
        return;
    }
    out << "最適化しました: " << outcome.file;
    if (outcome.target != outcome.file)
        out << " -> " << outcome.target;
    out << ": " << sizesText(outcome.result.sourceBytes, outcome.result.targetBytes);
    if (outcome.backup)
        out << ", 元のファイル " << *outcome.backup;
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, ", %.2f 秒\n", outcome.seconds);
    out << seconds;
}

void printJson(const FileOutcome &outcome, std::ostream &out)
{
    out << "{\"file\":" << jsonString(outcome.file) << ",\"ok\":" << (outcome.error ? "false" : "true");
    if (outcome.error) {
        out << ",\"error\":" << jsonString(*outcome.error) << "}\n";
        return;
    }
    const jet::CompactResult &r = outcome.result;
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.3f", outcome.seconds);
    out << ",\"target\":" << jsonString(outcome.target)
        << ",\"backup\":" << (outcome.backup ? jsonString(*outcome.backup) : std::string("null"))
        << ",\"sourceBytes\":" << r.sourceBytes << ",\"targetBytes\":" << r.targetBytes
        << ",\"userTables\":" << r.userTables << ",\"userRows\":" << r.userRows << ",\"tables\":" << r.tables
        << ",\"rows\":" << r.rows << ",\"seconds\":" << seconds << "}\n";
}

}  // namespace

int runCompact(const Options &options, std::ostream &out, std::ostream &err)
{
    std::size_t failed = 0;
    std::uint64_t before = 0;
    std::uint64_t after = 0;
    for (const std::string &path : options.files) {
        const FileOutcome outcome = compactOne(path, options);
        if (options.json)
            printJson(outcome, out);
        else
            printLine(outcome, out, err);
        out.flush();
        if (outcome.error) {
            ++failed;
            continue;
        }
        before += outcome.result.sourceBytes;
        after += outcome.result.targetBytes;
    }
    if (!options.json) {
        const std::size_t done = options.files.size() - failed;
        out << "合計: " << done << " ファイルを最適化";
        if (failed)
            out << ", " << failed << " ファイルは失敗";
        out << ": " << sizesText(before, after) << "\n";
    }
    return failed ? kExitProblems : kExitOk;
}

}  // namespace jettool
