// Writes handed to a thread of their own. Copying pages into the kernel's
// cache is about a tenth of a compaction's copying; done here, the copier
// goes on filling the next pages meanwhile. Writes reach the output in the
// order they were handed over, one at a time.
#pragma once

#include "jet/write/PageOutput.h"

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace jet::write {

class BackgroundWriter {
public:
    explicit BackgroundWriter(PageOutput &output);
    // Lets the write under way end and drops those not started: a writer
    // destroyed before wait() belongs to a copy that failed.
    ~BackgroundWriter();
    BackgroundWriter(const BackgroundWriter &) = delete;
    BackgroundWriter &operator=(const BackgroundWriter &) = delete;

    // Hands `bytes` over to be written at `offset` and returns an empty
    // buffer to fill next (one written before, its capacity kept). Rethrows
    // the failure of an earlier write, after which nothing more is written.
    std::vector<std::uint8_t> submit(std::uint64_t offset, std::vector<std::uint8_t> bytes);
    // Returns once everything handed over is written; rethrows a failure.
    void wait();

private:
    struct Job {
        std::uint64_t offset;
        std::vector<std::uint8_t> bytes;
    };

    void run();
    void rethrowFailure();  // with the lock held

    PageOutput &output_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::optional<Job> pending_;
    bool writing_ = false;
    bool stopping_ = false;
    std::exception_ptr failure_;
    std::vector<std::vector<std::uint8_t>> spare_;
    std::thread thread_;  // last: started once everything it uses exists
};

}  // namespace jet::write
