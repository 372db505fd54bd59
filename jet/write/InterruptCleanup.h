// What a signal handler may do to end a compaction cleanly. A named
// temporary copy (only made where the file system has no unnamed files) is
// registered here for its lifetime, so a handler for SIGTERM and the like can
// remove it before the process ends; compactDatabase marks the time it runs,
// so a program with a window can tell an interrupted compaction from an
// ordinary end. Everything a handler calls here is async-signal-safe.
#pragma once

#include <cstddef>
#include <string>

namespace jet::write {

// Registers `path` for removal by removeRegisteredTemporaryFiles() until
// destroyed or released. Holds no registration when all slots are taken
// (then the file is only removed on the ordinary paths).
class RegisteredTemporaryFile {
public:
    explicit RegisteredTemporaryFile(const std::string &path) noexcept;
    ~RegisteredTemporaryFile() { release(); }
    RegisteredTemporaryFile(const RegisteredTemporaryFile &) = delete;
    RegisteredTemporaryFile &operator=(const RegisteredTemporaryFile &) = delete;

    // Ends the registration: the file was renamed into place or removed.
    void release() noexcept;

private:
    int slot_ = -1;
};

// Unlinks every registered file. Async-signal-safe.
void removeRegisteredTemporaryFiles() noexcept;

// Marks a running compaction for its lifetime.
class CompactionInProgress {
public:
    CompactionInProgress() noexcept;
    ~CompactionInProgress();
    CompactionInProgress(const CompactionInProgress &) = delete;
    CompactionInProgress &operator=(const CompactionInProgress &) = delete;
};

// True while a compaction runs in this process. Async-signal-safe.
bool compactionInProgress() noexcept;

}  // namespace jet::write
