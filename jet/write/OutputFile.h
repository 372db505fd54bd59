// The compacted copy on its way to the target path. It is written to a new
// temporary file beside the target (so the final rename stays on one file
// system), gets the source's permission bits, and only replaces nothing:
// commit() moves it to the target name and fails if a file appeared there
// meanwhile. Destroying an OutputFile that was not committed removes the
// temporary file, so every failure path leaves no trace.
#pragma once

#include "jet/Bytes.h"

#include <cstdint>
#include <string>

namespace jet::write {

// Refuses a target that exists (any kind of file, a dangling link included)
// or that is the source itself under another name. Throws jet::Error
// (TargetExists / Argument).
void checkTargetPath(const std::string &sourcePath, const std::string &targetPath);

class OutputFile {
public:
    // `sizeLimit` > 0 makes writes past that many bytes fail as a full disk
    // would, so tests can prove the failure paths.
    OutputFile(const std::string &targetPath, const std::string &sourcePath, std::uint64_t sizeLimit = 0);
    ~OutputFile();
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    void write(std::uint64_t offset, ByteSpan bytes);
    // Makes the file exactly `size` bytes long (zero-filled past what was written).
    void resize(std::uint64_t size);
    std::uint64_t size() const { return size_; }
    const std::string &temporaryPath() const { return temporaryPath_; }
    const std::string &targetPath() const { return targetPath_; }

    // Forces the bytes to disk; call before verification reads them back.
    void flush();
    // Renames the flushed file to the target path without replacing anything.
    void commit();
    // Removes the temporary file now (also done by the destructor).
    void discard() noexcept;

private:
    [[noreturn]] void fail(int errorNumber) const;

    std::string targetPath_;
    std::string temporaryPath_;
    int fd_ = -1;
    std::uint64_t sizeLimit_ = 0;
    std::uint64_t size_ = 0;
    bool committed_ = false;
};

}  // namespace jet::write
