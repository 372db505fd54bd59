// The copying phase of a compaction on its own: reads the source and writes
// the compacted copy to a temporary file, which is then thrown away (no
// flush, no verification). Prints the time, the peak resident memory of the
// process doing it and the temporary spill space the sorts needed, so changes
// to the copier can be judged without the other phases' figures mixed in.
// With KEEP_AS the copy is kept under that name instead (unverified: for
// comparing the output of two builds byte for byte).
//
//   build/bench/copy_phase_bench DATABASE.mdb [SORT_BUDGET_MIB [KEEP_AS]]
#include "jet/Compact.h"
#include "jet/Database.h"
#include "jet/Error.h"
#include "jet/FilePath.h"
#include "jet/write/DatabaseCompactor.h"
#include "jet/write/OutputFile.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: copy_phase_bench DATABASE.mdb [SORT_BUDGET_MIB [KEEP_AS]]\n");
        return 2;
    }
    const std::string source = argv[1];
    const std::size_t budget = argc > 2 ? std::strtoull(argv[2], nullptr, 10) << 20 : jet::CompactRequest{}.sortMemoryBudget;
    const std::string keepAs = argc > 3 ? argv[3] : "";
    const std::string target = !keepAs.empty() ? keepAs
                                               : (fs::path(source).parent_path() /
                                                  ("copy-phase-" + std::to_string(::getpid()) + ".mdb")).string();

    const auto started = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        // The copy's temporary file goes with its OutputFile: let it go out of
        // scope before _exit, which skips destructors.
        const auto copy = [&]() -> int {
            try {
                const auto database = jet::Database::open(source, "");
                jet::write::OutputFile out(target, source);
                jet::write::CompactionSettings settings{"", jet::folderOf(target), budget, {}};
                const auto outcome = jet::write::writeCompactedCopy(*database, out, settings);
                if (!keepAs.empty()) {
                    out.resize(static_cast<std::uint64_t>(outcome.pageCount) * database->file().pageSize());
                    out.flush();
                    out.commit();
                }
                std::printf("tables %u, rows %llu, pages %u\n", outcome.tables,
                            static_cast<unsigned long long>(outcome.rows), outcome.pageCount);
                return 0;
            } catch (const jet::Error &e) {
                std::fprintf(stderr, "copy failed: %s\n", e.what());
                return 1;
            }
        };
        const int result = copy();
        std::fflush(stdout);
        ::_exit(result);
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("copy phase %8.2f s  user %6.2f s  sys %6.2f s  peak %6.1f MiB  sort budget %zu MiB  (%s)\n",
                seconds, usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6,
                usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6, usage.ru_maxrss / 1024.0, budget >> 20,
                WIFEXITED(status) && WEXITSTATUS(status) == 0 ? "ok" : "FAILED");
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
