#include "jet/Compact.h"

#include "jet/Database.h"
#include "jet/Error.h"
#include "jet/FilePath.h"
#include "jet/LockFile.h"
#include "jet/SourceWatch.h"
#include "jet/check/MapSurvey.h"
#include "jet/convert/ConvertedHeader.h"
#include "jet/convert/DatabaseConverter.h"
#include "jet/write/DatabaseCompactor.h"
#include "jet/write/HeaderPage.h"
#include "jet/write/InterruptCleanup.h"
#include "jet/write/LimitedCompaction.h"
#include "jet/write/OutputFile.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <thread>

namespace jet {

namespace {

constexpr int kEngineJet3 = 4;
constexpr int kEngineJet4 = 5;

void checkEngineType(int engineType)
{
    if (engineType != kEngineJet3 && engineType != kEngineJet4)
        throw Error(ErrorKind::Argument, "エンジンの種類 " + std::to_string(engineType) +
                                             " には対応していません（4 = Jet 3.x、5 = Jet 4.x）。");
}

JetVersion targetVersion(int engineType)
{
    return engineType == kEngineJet3 ? JetVersion::Jet3 : JetVersion::Jet4;
}

class Progress {
public:
    explicit Progress(const std::function<void(int)> &callback) : callback_(callback) {}
    void report(int percent)
    {
        percent = std::clamp(percent, 0, 100);
        if (callback_ && percent != last_) {
            last_ = percent;
            callback_(percent);
        }
    }

private:
    const std::function<void(int)> &callback_;
    int last_ = -1;
};

class Stopwatch {
public:
    double lap()
    {
        const auto now = std::chrono::steady_clock::now();
        const double seconds = std::chrono::duration<double>(now - last_).count();
        last_ = now;
        return seconds;
    }

private:
    std::chrono::steady_clock::time_point last_ = std::chrono::steady_clock::now();
};

// fsync on a thread of its own; waitSeconds() returns how long it took and
// rethrows its failure. A flush left unwaited (the verification failed) is
// waited for all the same before the output may go.
class BackgroundFlush {
public:
    explicit BackgroundFlush(write::OutputFile &out)
        : thread_([this, &out] {
              Stopwatch watch;
              try {
                  out.flush();
              } catch (...) {
                  failure_ = std::current_exception();
              }
              seconds_ = watch.lap();
          })
    {
    }
    ~BackgroundFlush()
    {
        if (thread_.joinable())
            thread_.join();
    }
    BackgroundFlush(const BackgroundFlush &) = delete;
    BackgroundFlush &operator=(const BackgroundFlush &) = delete;

    double waitSeconds()
    {
        thread_.join();
        if (failure_)
            std::rethrow_exception(failure_);
        return seconds_;
    }

private:
    std::exception_ptr failure_;
    double seconds_ = 0;
    std::thread thread_;
};

// The road every copy takes, compaction or conversion: written into the
// unnamed output, sized, flushed and verified, and linked under the
// target's name only then, the source unchanged all along.
template <typename Write, typename Verify>
CompactResult writeVerifyAndCommit(const CompactRequest &request, const Database &source,
                                   const SourceWatch &sourceWatch, std::uint64_t outputSizeLimit, Progress &progress,
                                   std::uint32_t pageSize, Write writeCopy, Verify verify)
{
    write::OutputFile out(request.targetPath, request.sourcePath, outputSizeLimit);
    const std::function<void(double)> copying = [&](double fraction) {
        progress.report(2 + static_cast<int>(fraction * 83));
    };
    CompactResult result;
    Stopwatch phase;
    const auto outcome = writeCopy(out, copying);
    out.resize(static_cast<std::uint64_t>(outcome.pageCount) * pageSize);
    result.copySeconds = phase.lap();
    progress.report(88);
    {
        // The flush and the verification overlap: the verification reads the
        // copy back through the page cache whether or not it is on the disk
        // yet, and the copy takes its name only after both have succeeded.
        BackgroundFlush flush(out);
        verify(out.readBackPath(), outcome);
        result.verifySeconds = phase.lap();
        result.flushSeconds = flush.waitSeconds();
    }
    result.repairs = outcome.repairs + countMapFaultsRepairedByCopy(source);
    progress.report(98);
    sourceWatch.requireUnchanged();
    out.commit();
    progress.report(100);

    result.sourceBytes = source.file().fileSize();
    result.targetBytes = out.size();
    result.tables = outcome.tables;
    result.rows = outcome.rows;
    result.userTables = outcome.userTables;
    result.userRows = outcome.userRows;
    result.pageCount = outcome.pageCount;
    if constexpr (requires { outcome.freePages; })
        result.freePages = outcome.freePages;
    if constexpr (requires { outcome.notices; })
        result.notices = outcome.notices;
    return result;
}

// The copy in the other format, its content compared with the source's by decoded values.
CompactResult convertDatabase(const CompactRequest &request, const Database &source, const SourceWatch &sourceWatch,
                              JetVersion target, std::uint64_t outputSizeLimit, Progress &progress)
{
    convert::checkConvertedPassword(source.header(), target, request.targetPassword);
    progress.report(2);
    return writeVerifyAndCommit(
        request, source, sourceWatch, outputSizeLimit, progress, formatConstants(target).pageSize,
        [&](write::PageOutput &out, const std::function<void(double)> &copying) {
            const convert::ConversionSettings settings{target, request.targetPassword, folderOf(request.targetPath),
                                                       request.sortMemoryBudget, copying};
            return convert::writeConvertedCopy(source, out, settings);
        },
        [&](const std::string &copyPath, const convert::ConversionOutcome &outcome) {
            convert::verifyConvertedCopy([&] { return Database::open(copyPath, request.targetPassword); },
                                         outcome.expected, outcome.copyNormaliser);
        });
}

// The copy in the source's own format, its rows compared with the source's by their bytes.
CompactResult compactInSameFormat(const CompactRequest &request, const Database &source, const SourceWatch &sourceWatch,
                                  std::uint64_t outputSizeLimit, Progress &progress)
{
    write::checkTargetPassword(source.header(), request.targetPassword);
    progress.report(2);
    return writeVerifyAndCommit(
        request, source, sourceWatch, outputSizeLimit, progress, source.file().pageSize(),
        [&](write::PageOutput &out, const std::function<void(double)> &copying) {
            const write::CompactionSettings settings{request.targetPassword, folderOf(request.targetPath),
                                                     request.sortMemoryBudget, copying};
            return write::writeCompactedCopy(source, out, settings);
        },
        [&](const std::string &copyPath, const write::CompactionOutcome &outcome) {
            write::verifyCopy(copyPath, request.targetPassword, outcome.expected);
        });
}

}  // namespace

CompactResult compactDatabase(const CompactRequest &request)
{
    return write::compactDatabase(request, 0);
}

CompactResult write::compactDatabase(const CompactRequest &request, std::uint64_t outputSizeLimit)
{
    const write::CompactionInProgress running;
    Progress progress(request.progress);
    progress.report(0);
    checkEngineType(request.engineType);
    const SourceLock sourceLock = checkNotInUse(request.sourcePath);
    write::checkTargetPath(request.sourcePath, request.targetPath);

    const auto source = Database::open(request.sourcePath, request.sourcePassword);
    const SourceWatch sourceWatch(source->file(), request.sourcePath);
    const JetVersion target = targetVersion(request.engineType);
    if (target != source->header().version)
        return convertDatabase(request, *source, sourceWatch, target, outputSizeLimit, progress);
    return compactInSameFormat(request, *source, sourceWatch, outputSizeLimit, progress);
}

}  // namespace jet
