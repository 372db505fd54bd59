// Compaction speed and memory next to plain copying of the same file, in the
// same run:
//
//   compact_bench [--compaction-only] DATABASE.mdb... [--password PASSWORD]
//
// For each database: copies the file with cp (once to warm the page cache,
// once timed, once followed by a sync of the copy), then compacts it in a
// child process and reports its time by phase, throughput (source bytes per
// second) and peak resident memory, of the whole run and of its two halves
// (copying; flushing and verifying, which run side by side), and its processor
// time over all threads with the least wall time that time allows on this
// machine's cores. Then, unless --compaction-only, the
// same figures for the conversions: the database into the other format, and
// that copy back into the database's own format (so a Jet 4 input, as
// make_big_database makes, gives Jet 4 -> Jet 3 and Jet 3 -> Jet 4). A
// conversion that fails is reported and the run goes on; a Jet 3 copy cannot
// pass 1 GB, so for the way down take an input below that. Make large inputs
// with make_big_database, or all of them with bench/speed.sh. Nothing here
// runs in CI.
#include "jet/Compact.h"
#include "jet/Error.h"
#include "jet/PageFile.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>
#include <optional>
#include <string>
#include <thread>
#include <vector>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct ChildRun {
    double seconds = 0;
    double userSeconds = 0, systemSeconds = 0;  // of all the child's threads
    long peakKiB = 0;
    int status = -1;
};

template <typename Work>
ChildRun inChild(Work work)
{
    const auto started = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(work());
    int status = 0;
    struct rusage usage {};
    ::wait4(pid, &status, 0, &usage);
    ChildRun run;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    run.peakKiB = usage.ru_maxrss;
    const auto inSeconds = [](const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    run.userSeconds = inSeconds(usage.ru_utime);
    run.systemSeconds = inSeconds(usage.ru_stime);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

ChildRun copyWithCp(const std::string &from, const std::string &to)
{
    return inChild([&] {
        ::execlp("cp", "cp", from.c_str(), to.c_str(), static_cast<char *>(nullptr));
        return 127;
    });
}

// The same copy made durable, as the compaction makes its own before renaming it.
ChildRun copyWithCpAndSync(const std::string &from, const std::string &to)
{
    return inChild([&] {
        ::execlp("sh", "sh", "-c", "cp \"$1\" \"$2\" && sync \"$2\"", "sh", from.c_str(), to.c_str(),
                 static_cast<char *>(nullptr));
        return 127;
    });
}

// The process's peak resident memory so far (VmHWM), and its reset: writing 5
// to clear_refs starts the peak again from the present use.
long residentPeakKiB()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}

void resetResidentPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

struct Compaction {
    ChildRun run;
    double sourceMiB = 0;
    double targetMiB = 0;
};

double mebibytes(const std::string &path)
{
    return fs::exists(path) ? static_cast<double>(fs::file_size(path)) / 1048576.0 : 0.0;
}

// One compaction in a child, so that its peak memory is its own; the child
// prints its phases, indented under `label`, or why it failed.
Compaction timedCompaction(const char *label, const std::string &source, const std::string &password,
                           const std::string &target, int engineType)
{
    std::printf("%s\n", label);
    std::fflush(stdout);
    Compaction compaction;
    compaction.sourceMiB = mebibytes(source);
    // The child's phase peaks come back through memory it shares with us: the
    // reset between them hides the first from the rusage the parent gets.
    struct PhasePeaks {
        long copyPeakKiB = -1, verifyPeakKiB = -1;
    };
    void *mapped = ::mmap(nullptr, sizeof(PhasePeaks), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    PhasePeaks *shared = new (mapped) PhasePeaks;
    compaction.run = inChild([&] {
        try {
            jet::CompactRequest request;
            request.sourcePath = source;
            request.sourcePassword = password;
            request.targetPath = target;
            request.targetPassword = password;
            request.engineType = engineType;
            // The copy reports 88 % once it is written: the peak so far is the
            // copying's, and that of the flush and verification starts from nothing.
            long &copyPeakKiB = shared->copyPeakKiB;
            request.progress = [&](int percent) {
                if (percent >= 88 && copyPeakKiB < 0) {
                    copyPeakKiB = residentPeakKiB();
                    resetResidentPeak();
                }
            };
            const jet::CompactResult result = jet::compactDatabase(request);
            const long verifyPeakKiB = shared->verifyPeakKiB = residentPeakKiB();
            // The child's own lines come first; _exit does not flush stdio.
            std::printf("  copying        %10.2f s  peak %6.1f MiB\n"
                        "  flushing       %10.2f s  (beside the verification)\n"
                        "  verifying      %10.2f s  peak %6.1f MiB\n",
                        result.copySeconds, copyPeakKiB / 1024.0, result.flushSeconds, result.verifySeconds,
                        verifyPeakKiB / 1024.0);
            for (const std::string &notice : result.notices)
                std::printf("  notice: %s\n", notice.c_str());
            std::fflush(stdout);
            return 0;
        } catch (const std::exception &e) {  // jet::Error, or memory running out
            std::printf("  failed: %s\n", e.what());
            std::fflush(stdout);
            return 1;
        }
    });
    compaction.run.peakKiB = std::max({compaction.run.peakKiB, shared->copyPeakKiB, shared->verifyPeakKiB});
    ::munmap(mapped, sizeof(PhasePeaks));
    compaction.targetMiB = mebibytes(target);
    return compaction;
}

void printCompaction(const char *name, const Compaction &c)
{
    if (c.run.status != 0) {
        std::printf("%-16s %10.2f s  FAILED\n", name, c.run.seconds);
        return;
    }
    std::printf("%-16s %10.2f s  %8.1f MB/s  peak %6.1f MiB  (ok)  target %.1f MiB\n", name, c.run.seconds,
                c.sourceMiB / c.run.seconds, c.run.peakKiB / 1024.0, c.targetMiB);
}

// The same-format compaction keeps the source's format, whatever it is.
int engineTypeOf(const std::string &path)
{
    try {
        return jet::PageFile::openWithoutPassword(path)->version() == jet::JetVersion::Jet3 ? 4 : 5;
    } catch (const jet::Error &e) {
        std::printf("format unknown (%s); taken as Jet 4\n", e.what());
        return 5;
    }
}

const char *conversionTo(int engineType) { return engineType == 4 ? "Jet 4 -> Jet 3" : "Jet 3 -> Jet 4"; }

struct Options {
    std::vector<std::string> databases;
    std::string password;
    bool conversions = true;
};

std::optional<Options> parseOptions(int argc, char **argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--compaction-only")
            options.conversions = false;
        else if (arg == "--password" && i + 1 < argc)
            options.password = argv[++i];
        else if (arg.rfind("--", 0) == 0)
            return std::nullopt;
        else
            options.databases.push_back(arg);
    }
    if (options.databases.empty())
        return std::nullopt;
    return options;
}

// One database's figures; false when its compaction failed.
bool benchDatabase(const std::string &source, const Options &options)
{
    const std::string &password = options.password;
    const fs::path work = fs::path(source).parent_path() / ("compact-bench-" + std::to_string(::getpid()));
    fs::create_directories(work);
    const std::string copy = (work / "copy.mdb").string();
    const std::string target = (work / "compacted.mdb").string();
    const std::string converted = (work / "converted.mdb").string();
    const std::string back = (work / "converted-back.mdb").string();
    const double mib = static_cast<double>(fs::file_size(source)) / 1048576.0;

    std::printf("== %s\n", source.c_str());
    copyWithCp(source, copy);  // warms the page cache for both runs
    fs::remove(copy);
    const ChildRun cp = copyWithCp(source, copy);
    fs::remove(copy);
    const ChildRun cpSync = copyWithCpAndSync(source, copy);
    fs::remove(copy);

    const int ownType = engineTypeOf(source);
    const int otherType = ownType == 5 ? 4 : 5;
    const Compaction compaction = timedCompaction("compaction (same format)", source, password, target, ownType);
    fs::remove(target);
    std::optional<Compaction> there, backAgain;
    if (options.conversions) {
        there = timedCompaction(conversionTo(otherType), source, password, converted, otherType);
        // The way back starts from the converted copy; without one there is nothing to time.
        if (there->run.status == 0)
            backAgain = timedCompaction(conversionTo(ownType), converted, password, back, ownType);
    }

    std::printf("source           %10.1f MiB\n", mib);
    std::printf("cp               %10.2f s  %8.1f MB/s  peak %6.1f MiB\n", cp.seconds, mib / cp.seconds,
                cp.peakKiB / 1024.0);
    std::printf("cp + sync        %10.2f s  %8.1f MB/s\n", cpSync.seconds, mib / cpSync.seconds);
    std::printf("compaction       %10.2f s  %8.1f MB/s  peak %6.1f MiB  (%s)\n", compaction.run.seconds,
                mib / compaction.run.seconds, compaction.run.peakKiB / 1024.0,
                compaction.run.status == 0 ? "ok" : "FAILED");
    std::printf("compaction / cp  %10.2f x\n", compaction.run.seconds / cp.seconds);
    std::printf("compaction / (cp + sync) %6.2f x\n", compaction.run.seconds / cpSync.seconds);
    // No schedule of the same work over these cores can finish sooner than
    // its processor time shared evenly among them.
    const double cpuSeconds = compaction.run.userSeconds + compaction.run.systemSeconds;
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    std::printf("compaction CPU   %10.2f s  (user %.2f, system %.2f): on %u cores at least %.2f s, %.2f x cp + sync\n",
                cpuSeconds, compaction.run.userSeconds, compaction.run.systemSeconds, cores, cpuSeconds / cores,
                cpuSeconds / cores / cpSync.seconds);
    std::printf("target           %10.1f MiB (%.1f %% of the source)\n", compaction.targetMiB,
                100.0 * compaction.targetMiB / mib);
    if (there) {
        printCompaction(conversionTo(otherType), *there);
        if (backAgain)
            printCompaction(conversionTo(ownType), *backAgain);
        else
            std::printf("%-16s not run: no converted copy to start from\n", conversionTo(ownType));
    }
    fs::remove_all(work);
    return compaction.run.status == 0;
}

}  // namespace

int main(int argc, char **argv)
{
    const std::optional<Options> options = parseOptions(argc, argv);
    if (!options) {
        std::fprintf(stderr, "usage: compact_bench [--compaction-only] DATABASE.mdb... [--password PASSWORD]\n");
        return 2;
    }
    bool allCompacted = true;
    for (const std::string &database : options->databases)
        allCompacted = benchDatabase(database, *options) && allCompacted;
    return allCompacted ? 0 : 1;
}
