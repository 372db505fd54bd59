// Compaction speed and memory next to plain copying of the same file, in the
// same run:
//
//   compact_bench DATABASE.mdb [PASSWORD]
//
// Copies the file with cp (once to warm the page cache, once timed, once
// followed by a sync of the copy), then compacts it in a child process and
// reports its time by phase, throughput (source bytes per second) and peak
// resident memory. Make a large input with
// make_big_database. Nothing here runs in CI.
#include "jet/Compact.h"
#include "jet/Error.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct ChildRun {
    double seconds = 0;
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

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: compact_bench DATABASE.mdb [PASSWORD]\n");
        return 2;
    }
    const std::string source = argv[1];
    const std::string password = argc > 2 ? argv[2] : "";
    const fs::path work = fs::path(source).parent_path() / ("compact-bench-" + std::to_string(::getpid()));
    fs::create_directories(work);
    const std::string copy = (work / "copy.mdb").string();
    const std::string target = (work / "compacted.mdb").string();
    const double mib = static_cast<double>(fs::file_size(source)) / 1048576.0;

    copyWithCp(source, copy);  // warms the page cache for both runs
    fs::remove(copy);
    const ChildRun cp = copyWithCp(source, copy);
    fs::remove(copy);
    const ChildRun cpSync = copyWithCpAndSync(source, copy);
    fs::remove(copy);

    std::string failure;
    const ChildRun compaction = inChild([&] {
        try {
            jet::CompactRequest request;
            request.sourcePath = source;
            request.sourcePassword = password;
            request.targetPath = target;
            request.targetPassword = password;
            request.engineType = 5;
            const jet::CompactResult result = jet::compactDatabase(request);
            // The child's own lines come first; _exit does not flush stdio.
            std::printf("  copying        %10.2f s\n  flushing       %10.2f s\n  verifying      %10.2f s\n",
                        result.copySeconds, result.flushSeconds, result.verifySeconds);
            std::fflush(stdout);
            return 0;
        } catch (const jet::Error &e) {
            std::fprintf(stderr, "compaction failed: %s\n", e.what());
            return 1;
        }
    });
    const double targetMiB = fs::exists(target) ? static_cast<double>(fs::file_size(target)) / 1048576.0 : 0.0;

    std::printf("source           %10.1f MiB\n", mib);
    std::printf("cp               %10.2f s  %8.1f MB/s  peak %6.1f MiB\n", cp.seconds, mib / cp.seconds,
                cp.peakKiB / 1024.0);
    std::printf("cp + sync        %10.2f s  %8.1f MB/s\n", cpSync.seconds, mib / cpSync.seconds);
    std::printf("compaction       %10.2f s  %8.1f MB/s  peak %6.1f MiB  (%s)\n", compaction.seconds,
                mib / compaction.seconds, compaction.peakKiB / 1024.0, compaction.status == 0 ? "ok" : "FAILED");
    std::printf("compaction / cp  %10.2f x\n", compaction.seconds / cp.seconds);
    std::printf("compaction / (cp + sync) %6.2f x\n", compaction.seconds / cpSync.seconds);
    std::printf("target           %10.1f MiB (%.1f %% of the source)\n", targetMiB, 100.0 * targetMiB / mib);
    fs::remove_all(work);
    return compaction.status == 0 ? 0 : 1;
}
